#ifndef DD_LINEARDEPENDENCEVECTOR_H
#define DD_LINEARDEPENDENCEVECTOR_H

#include "core/DDAssert.h"
#include "core/DDBitList.h"

#include <gmpxx.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace double_description {

class LinearDependenceVector;

// A linear-dependence certificate for one row r:
//   value(0) * a_r = sum over i < supportSize() of value(i + 1) * a_(supportRow(i)),
// with the support rows increasing, all values nonzero and coprime, and
// value(0) > 0, so a row and a support have exactly one certificate. Shared by
// the dual-set rays whose primary set holds the support, each counting one
// reference. A pending entry has neither support nor values until its store
// computes it.
//
// Compact: the support rows and, when they fit, the values in machine
// integers share one block; values that do not fit are kept exactly beside it.
class LinearDependenceEntry final {
public:
  explicit LinearDependenceEntry(unsigned row) : mRow(static_cast<std::uint16_t>(row)) {}
  LinearDependenceEntry(LinearDependenceEntry const&) = delete;
  LinearDependenceEntry& operator=(LinearDependenceEntry const&) = delete;
  ~LinearDependenceEntry();

  // Entries and their blocks come and go by the hundred thousand: they are
  // recycled through per-thread free lists.
  static void* operator new(std::size_t bytes);
  static void operator delete(void* p, std::size_t bytes);

  // Computes the entry from candidate support rows in increasing order and
  // their values, values[0] (nonzero) first: rows with a zero value are left
  // out, and the values are made coprime with a positive values[0]. Once, on
  // a pending entry.
  void assign(unsigned const* rows, unsigned n, mpz_class const* values);
  // The same from machine values, none equal to INT64_MIN.
  void assign(unsigned const* rows, unsigned n, std::int64_t const* values);

  unsigned row() const { return mRow; }
  // Starts loading the support rows and values.
  void prefetchValues() const { __builtin_prefetch(mData); }
  bool isComputed() const { return mData != nullptr; }
  unsigned supportSize() const { return mSize; }
  // Support row i, in increasing order.
  unsigned supportRow(unsigned i) const {
    DD_ASSERT(i < mSize);
    const std::uint64_t word = mData[rowsOffset() + i / 4u];
    return static_cast<unsigned>((word >> (16u * (i % 4u))) & 0xFFFFu);
  }
  // Every support row lies in set.
  bool isSupportedBy(BitList const& set) const {
    for (unsigned i = 0; i < mSize; ++i)
      if (!set.test(supportRow(i)))
        return false;
    return true;
  }
  // value(0), value(1), ... in machine integers, or null when one does not fit.
  std::int64_t const* machineValues() const {
    return mMachine ? reinterpret_cast<std::int64_t const*>(mData) : nullptr;
  }
  // value(i) exactly.
  void value(unsigned i, mpz_class& out) const;
  mpz_class value(unsigned i) const {
    mpz_class v;
    value(i, v);
    return v;
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

  unsigned rowsOffset() const { return mMachine ? mSize + 1u : 0u; }
  // Allocates the block for the support and, when machine, its values.
  void allocate(unsigned n, bool machine);
  void setSupportRow(unsigned i, unsigned row) {
    mData[rowsOffset() + i / 4u] |= static_cast<std::uint64_t>(row) << (16u * (i % 4u));
  }

  std::uint16_t mRow;
  std::uint16_t mSize = 0;
  bool mMachine = false;
  std::uint32_t mRefCount = 0;
  LinearDependenceVector* mOwner = nullptr;
  // [values in machine integers when mMachine] [support rows, four to a word],
  // mWords words; null while pending.
  std::uint64_t* mData = nullptr;
  std::uint32_t mWords = 0;
  // The values when they do not fit machine integers.
  std::unique_ptr<mpz_class[]> mExact;
};

// The certificates of one row, in creation order, with the supports of the
// computed ones packed for the lookups' linear scan: one record of width
// slots per certificate, its support size and then its rows. Between two
// updates of the store a row has at most one pending certificate, its last,
// so the i-th record is the support of the i-th certificate.
class LinearDependenceVector final {
public:
  // maxSupport: the most rows a support may have, d - 1.
  LinearDependenceVector(std::uint64_t row, unsigned maxSupport)
      : mRow(row), mRecordWidth(maxSupport + 1u) {}
  LinearDependenceVector(LinearDependenceVector const&) = delete;
  LinearDependenceVector& operator=(LinearDependenceVector const&) = delete;
  LinearDependenceVector(LinearDependenceVector&&) noexcept = default;
  LinearDependenceVector& operator=(LinearDependenceVector&&) noexcept = default;
  ~LinearDependenceVector() = default;

  std::uint64_t row() const { return mRow; }
  std::vector<std::unique_ptr<LinearDependenceEntry>> const& certificates() const {
    return mCertificates;
  }
  // Computed certificates, whose supports are packed.
  std::uint64_t patternCount() const { return mSupports.size() / mRecordWidth; }

  // The first computed certificate whose support lies in primary, or null;
  // signature is signatureOf(primary).
  // A row has one certificate per support, so at most one fits an
  // independent primary set; the scan still takes the first.
  LinearDependenceEntry* find(BitList const& primary, std::uint64_t signature) const {
    const std::size_t count = mSignatures.size();
    for (std::size_t i = 0; i < count; ++i) {
      // Most supports miss a row of primary, and most of those already by
      // their signature.
      if ((mSignatures[i] & ~signature) != 0)
        continue;
      const std::uint16_t* record = &mSupports[i * mRecordWidth];
      const unsigned n = record[0];
      unsigned k = 1;
      while (k <= n && primary.test(record[k]))
        ++k;
      if (k > n)
        return mCertificates[i].get();
    }
    return nullptr;
  }
  // Rows folded onto 64 bits by their residue: the signature of a subset
  // lies in that of the set.
  static std::uint64_t signatureOf(BitList const& rows) { return rows.foldedWords(); }
  // Takes over a pending certificate of the row.
  LinearDependenceEntry* adopt(std::unique_ptr<LinearDependenceEntry> e) {
    DD_ASSERT(patternCount() == mCertificates.size());
    DD_ASSERT(e->row() == mRow && !e->isComputed());
    e->mOwner = this;
    mCertificates.push_back(std::move(e));
    return mCertificates.back().get();
  }
  // Takes over a computed certificate of the row from a draft store's list,
  // which lets it go when the drafts are cleared.
  void take(LinearDependenceEntry* e) {
    DD_ASSERT(patternCount() == mCertificates.size());
    DD_ASSERT(e->row() == mRow && e->isComputed());
    e->mOwner = this;
    mCertificates.emplace_back(e);
    appendPattern(*e);
  }
  // Drops every certificate: those another list took over are let go, the
  // others deleted.
  void clearDrafts() {
    for (std::unique_ptr<LinearDependenceEntry>& e : mCertificates)
      if (e->mOwner != this)
        static_cast<void>(e.release());
    mCertificates.clear();
    mSupports.clear();
    mSignatures.clear();
    mUnused = 0;
  }
  // Packs the support of the pending certificate once it is computed.
  void appendPattern(LinearDependenceEntry const& e) {
    DD_ASSERT(patternCount() + 1 == mCertificates.size());
    DD_ASSERT(&e == mCertificates.back().get() && e.isComputed());
    const std::size_t at = mSupports.size();
    mSupports.resize(at + mRecordWidth);
    mSupports[at] = static_cast<std::uint16_t>(e.supportSize());
    std::uint64_t signature = 0;
    for (unsigned i = 0; i < e.supportSize(); ++i) {
      mSupports[at + 1 + i] = static_cast<std::uint16_t>(e.supportRow(i));
      signature |= std::uint64_t(1) << (e.supportRow(i) % 64);
    }
    mSignatures.push_back(signature);
  }
  // Some certificate's count has fallen to 0.
  void noteUnused() { ++mUnused; }
  // Frees the certificates without references, keeping the others in order;
  // nothing to do unless a count has fallen to 0 since the last call. Asked
  // of every processed row after every step, so the test is inline.
  void freeUnused() {
    if (mUnused != 0)
      compact();
  }

  std::string toString() const;

private:
  void compact();

  std::uint64_t mRow;
  unsigned mRecordWidth;
  std::vector<std::uint16_t> mSupports;
  // The support rows of each record folded by signatureOf().
  std::vector<std::uint64_t> mSignatures;
  std::vector<std::unique_ptr<LinearDependenceEntry>> mCertificates;
  // Counts that have fallen to 0 since the last compaction; a count that
  // rises again and falls twice is counted twice.
  std::uint32_t mUnused = 0;
};

inline void LinearDependenceEntry::release() {
  DD_ASSERT(mRefCount > 0);
  if (--mRefCount == 0 && mOwner != nullptr)
    mOwner->noteUnused();
}

} // namespace double_description

#endif
