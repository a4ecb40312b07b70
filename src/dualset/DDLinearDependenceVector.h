#ifndef DD_LINEARDEPENDENCEVECTOR_H
#define DD_LINEARDEPENDENCEVECTOR_H

#include "core/DDBitList.h"
#include "core/DDCalculationVector.h"

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace double_description {

class LinearDependenceVector;

// A linear-dependence certificate for one row r:
//   mValues[0] * a_r = sum over j in mSupport of mValues[mPosition[j]] * a_j,
// with the coefficients of the support rows in increasing row order and all
// values coprime. Shared by the dual-set rays whose primary set holds the
// support; a pending entry has mValues = {0} and an empty support.
class LinearDependenceEntry final : public Vector {
public:
  // n = r + 1 positions, left unset.
  LinearDependenceEntry(unsigned long words, unsigned long n)
      : mSupport(words), mPosition(new std::uint8_t[n]) {
    mValues.emplace_back(0);
  }
  LinearDependenceEntry(LinearDependenceEntry const&) = delete;
  LinearDependenceEntry& operator=(LinearDependenceEntry const&) = delete;
  ~LinearDependenceEntry() override { delete[] mPosition; }

  // Coefficient of support row j.
  mpz_class const& coefficient(unsigned long j) const { return mValues[mPosition[j]]; }

  BitList mSupport;
  std::uint8_t* mPosition;
  // 32 bits: one certificate may back far more than 65,535 ray slots.
  std::uint32_t mRefCount = 0;
  // The list of the entry's row, told when the count falls to 0 so that only
  // such lists are walked at release time; null outside a store.
  LinearDependenceVector* mOwner = nullptr;

  void release();
};

// The certificates of one row, in creation order, with the supports of the
// computed ones laid out word after word for the lookups' linear scan. Owns
// its entries, but deleting them is the store's work.
class LinearDependenceVector {
public:
  LinearDependenceVector(std::uint64_t row, std::uint64_t wordCount)
      : mRow(row), mWordCount(wordCount) {}
  LinearDependenceVector(LinearDependenceVector const&) = delete;
  LinearDependenceVector& operator=(LinearDependenceVector const&) = delete;
  LinearDependenceVector(LinearDependenceVector&&) noexcept = default;
  LinearDependenceVector& operator=(LinearDependenceVector&&) noexcept = default;
  ~LinearDependenceVector() = default;

  void appendPattern(std::uint64_t const* words) {
    mPatterns.insert(mPatterns.end(), words, words + mWordCount);
    resetScanRange();
  }
  void resetScanRange() {
    mScanBegin = mPatterns.data();
    mScanEnd = mPatterns.data() + mPatterns.size();
  }

  std::string toString() const;

  std::uint64_t mRow;
  std::uint64_t mWordCount;
  std::vector<std::uint64_t> mPatterns;
  std::uint64_t const* mScanBegin = nullptr;
  std::uint64_t const* mScanEnd = nullptr;
  std::deque<LinearDependenceEntry*> mCertificates;
  // Some entry's count has fallen to 0 since the list was last walked.
  bool mHasUnused = false;
};

inline void LinearDependenceEntry::release() {
  if (--mRefCount == 0 && mOwner != nullptr)
    mOwner->mHasUnused = true;
}

} // namespace double_description

#endif
