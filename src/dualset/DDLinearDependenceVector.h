#ifndef DD_LINEARDEPENDENCEVECTOR_H
#define DD_LINEARDEPENDENCEVECTOR_H

#include "core/DDAssert.h"
#include "core/DDBitList.h"
#include "core/DDCalculationVector.h"
#include "core/DDPatternList.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <string>

namespace double_description {

class LinearDependenceVector;

// A linear-dependence certificate for one row r:
//   mValues[0] * a_r = sum over j in support() of coefficient(j) * a_j,
// with the coefficients of the support rows in increasing row order and all
// values coprime. Shared by the dual-set rays whose primary set holds the
// support, each counting one reference; a pending entry has mValues = {0}
// and an empty support.
class LinearDependenceEntry final : public Vector {
public:
  // n = r + 1 positions, left unset.
  LinearDependenceEntry(unsigned long words, unsigned long n)
      : mSupport(words), mPosition(new std::uint8_t[n]) {
    mValues.emplace_back(0);
  }
  LinearDependenceEntry(LinearDependenceEntry const&) = delete;
  LinearDependenceEntry& operator=(LinearDependenceEntry const&) = delete;
  ~LinearDependenceEntry() override = default;

  BitList const& support() const { return mSupport; }
  // Coefficient of support row j.
  mpz_class const& coefficient(unsigned long j) const {
    DD_ASSERT(mSupport.test(j));
    return mValues[mPosition[j]];
  }
  // Adds support row j, after those added before, with coefficient y.
  void appendCoefficient(unsigned long j, mpz_class const& y) {
    DD_ASSERT(!mSupport.test(j));
    mSupport.set(j);
    mPosition[j] = static_cast<std::uint8_t>(mValues.size());
    mValues.push_back(y);
  }

  // 32 bits: one certificate may back far more than 65,535 ray slots.
  std::uint32_t referenceCount() const { return mRefCount; }
  void addReference() { ++mRefCount; }
  // Drops one reference; the list of the entry's row is told when the count
  // falls to 0, so that only such lists are walked at release time.
  void release();

  // The list of the entry's row; null outside a store.
  LinearDependenceVector* owner() const { return mOwner; }

private:
  friend class LinearDependenceVector;

  BitList mSupport;
  std::unique_ptr<std::uint8_t[]> mPosition;
  std::uint32_t mRefCount = 0;
  LinearDependenceVector* mOwner = nullptr;
};

// The certificates of one row, in creation order, with the supports of the
// computed ones packed for the lookups' linear scan. Between two updates of
// the store a row has at most one pending certificate, its last, so the i-th
// pattern is the support of the i-th certificate.
class LinearDependenceVector final {
public:
  LinearDependenceVector(std::uint64_t row, std::uint64_t wordCount)
      : mRow(row), mPatterns(wordCount) {}
  LinearDependenceVector(LinearDependenceVector const&) = delete;
  LinearDependenceVector& operator=(LinearDependenceVector const&) = delete;
  LinearDependenceVector(LinearDependenceVector&&) noexcept = default;
  LinearDependenceVector& operator=(LinearDependenceVector&&) noexcept = default;
  ~LinearDependenceVector() = default;

  std::uint64_t row() const { return mRow; }
  std::deque<std::unique_ptr<LinearDependenceEntry>> const& certificates() const {
    return mCertificates;
  }
  // Computed certificates, whose supports are packed.
  std::uint64_t patternCount() const { return mPatterns.size(); }

  // The first computed certificate whose support lies in primary, or null.
  LinearDependenceEntry* find(BitList const& primary) const {
    const std::uint64_t i = mPatterns.findSubsetOf(primary);
    return i < mPatterns.size() ? mCertificates[i].get() : nullptr;
  }
  // Takes over a pending certificate of the row.
  LinearDependenceEntry* adopt(std::unique_ptr<LinearDependenceEntry> e) {
    DD_ASSERT(mPatterns.size() == mCertificates.size());
    e->mOwner = this;
    mCertificates.push_back(std::move(e));
    return mCertificates.back().get();
  }
  // Packs the support of the pending certificate once it is computed.
  void appendPattern(BitList const& support) {
    DD_ASSERT(mPatterns.size() + 1 == mCertificates.size());
    DD_ASSERT(&support == &mCertificates.back()->support());
    mPatterns.append(support);
  }
  // Some certificate's count has fallen to 0.
  void noteUnused() { mHasUnused = true; }
  // Frees the certificates without references, keeping the others in order;
  // nothing to do unless a count has fallen to 0 since the last call. Asked
  // of every processed row after every step, so the test is inline.
  void freeUnused() {
    if (mHasUnused)
      compact();
  }

  std::string toString() const;

private:
  void compact();

  std::uint64_t mRow;
  PatternList mPatterns;
  std::deque<std::unique_ptr<LinearDependenceEntry>> mCertificates;
  bool mHasUnused = false;
};

inline void LinearDependenceEntry::release() {
  DD_ASSERT(mRefCount > 0);
  if (--mRefCount == 0 && mOwner != nullptr)
    mOwner->noteUnused();
}

} // namespace double_description

#endif
