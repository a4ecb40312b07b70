#ifndef DD_DUALSETRAY_H
#define DD_DUALSETRAY_H

#include "core/DDAssert.h"
#include "core/DDBitList.h"
#include "core/DDRay.h"
#include "core/DDRepresentationVector.h"
#include "dualset/DDLinearDependenceVector.h"

#include <algorithm>
#include <cstdint>
#include <type_traits>
#include <utility>
#include <vector>

namespace double_description {

// A ray whose zero set is kept in two disjoint parts: the primary set, the
// greedy basis of the zero set in row order (d - 1 rows), and the secondary
// set of the other zero rows (all from row d on), each backed by a
// certificate over primary rows in which the ray counts one reference.
//
// Beside each certificate the ray keeps its support as a mask over its own
// primary rows (bit t for the t-th primary row in increasing order), so that
// the adjacency test settles supports with a few word operations whatever
// the row count. Both are stored by the rank of the secondary row.
class DualSetRay final : public Ray {
public:
  // A ray with its coordinates; the secondary rows join afterwards, through
  // addSecondary(). Every primary row lies in the words [primaryWords.first,
  // primaryWords.second), all of them by default.
  DualSetRay(unsigned firstSecondaryRow, unsigned creationRow, RayCoordinates coordinates,
             BitList primary, unsigned firstNegativeRow,
             std::pair<std::uint64_t, std::uint64_t> primaryWords = {0, ~std::uint64_t(0)})
      : Ray(firstSecondaryRow, creationRow, std::move(coordinates), firstNegativeRow),
        mPrimary(std::move(primary)), mSecondary(mPrimary.wordCount()),
        mMaskWords(static_cast<std::uint16_t>(maskWordsFor(firstSecondaryRow))) {
    DD_ASSERT(mPrimary.count() + 1u == firstSecondaryRow);
    listPrimaryRows(primaryWords.first, std::min(primaryWords.second, mPrimary.wordCount()));
  }
  ~DualSetRay() override;

  // Rays come and go by the million: from per-thread pools of word blocks.
  static void* operator new(std::size_t bytes);
  static void operator delete(void* ray, std::size_t bytes);

  // Words of a support mask of a ray with d - 1 primary rows.
  static unsigned maskWordsFor(unsigned d) {
    return static_cast<unsigned>(BitList::wordsFor(d > 0 ? d - 1 : 0));
  }

  BitList const& primary() const { return mPrimary; }
  BitList const& secondary() const { return mSecondary; }
  // The primary rows in increasing order, d - 1 of them.
  unsigned primaryCount() const { return firstSecondaryRow() - 1u; }
  std::uint16_t const* primaryRows() const { return mPrimaryRows; }
  // Every nonzero word of both sets lies in [zeroFirstWord(), zeroEndWord()):
  // the steps and the pair tests read only those.
  std::uint64_t zeroFirstWord() const { return mZeroFirstWord; }
  std::uint64_t zeroEndWord() const { return mZeroEndWord; }
  // The number of secondary rows, without reading the set.
  std::size_t secondaryCount() const { return mCertificates.size(); }
  // Starts loading the list of primary rows, and the words of both sets that
  // hold the given rows.
  void prefetchRowsAt(std::uint16_t const* rows, unsigned count) const {
    __builtin_prefetch(mPrimaryRows);
    for (unsigned t = 0; t < count; ++t) {
      mPrimary.prefetchBit(rows[t]);
      mSecondary.prefetchBit(rows[t]);
    }
  }
  // Starts loading what a pair test reads of the ray, once the ray itself is
  // loaded: the words of both sets and the first certificates and masks.
  void prefetchSets() const {
    prefetchLines(mPrimary.words(), 8 * mPrimary.wordCount());
    prefetchLines(mSecondary.words(), 8 * mSecondary.wordCount());
    prefetchLines(mCertificates.data(), sizeof(LinearDependenceEntry*) * mCertificates.size());
    prefetchLines(mSupportMasks.data(), 8 * mSupportMasks.size());
  }
  unsigned maskWords() const { return mMaskWords; }
  // The certificate and the support mask of the secondary row of rank i.
  LinearDependenceEntry* certificateAt(std::size_t i) const { return mCertificates[i]; }
  std::uint64_t const* supportMaskAt(std::size_t i) const { return &mSupportMasks[i * mMaskWords]; }
  // The certificate of secondary row r.
  LinearDependenceEntry* dependency(unsigned r) const { return mCertificates[rankOf(r)]; }
  std::uint64_t const* supportMask(unsigned r) const { return supportMaskAt(rankOf(r)); }

  // Room for count secondary rows.
  void reserveSecondary(std::size_t count) {
    mCertificates.reserve(count);
    mSupportMasks.reserve(count * mMaskWords);
  }
  // Makes row r secondary, backed by the computed certificate e whose support
  // lies in the primary set; rows join in increasing order. The ray counts
  // its reference. The mask is worked out from the support.
  void addSecondary(unsigned r, LinearDependenceEntry* e);
  // The same with the support mask given.
  void addSecondary(unsigned r, LinearDependenceEntry* e, std::uint64_t const* mask) {
    addUncountedSecondary(r, e, mask);
    e->addReference();
  }
  // The same without counting the reference, for a ray built on another
  // thread: countReferences() counts them once the ray is handed over.
  void addUncountedSecondary(unsigned r, LinearDependenceEntry* e, std::uint64_t const* mask);
  // Replaces each certificate e by final(e), an entry of the same row and
  // support, and counts the ray's references.
  template <class F> void countReferences(F&& final) {
    for (LinearDependenceEntry*& e : mCertificates) {
      e = final(e);
      e->addReference();
    }
  }

private:
  // Starts loading the first lines, at most four, of an array.
  static void prefetchLines(void const* data, std::size_t bytes) {
    constexpr std::size_t LINE = 64;
    constexpr std::size_t MOST_LINES = 4;
    const std::size_t lines = std::min(MOST_LINES, (bytes + LINE - 1) / LINE);
    for (std::size_t l = 0; l < lines; ++l)
      __builtin_prefetch(static_cast<char const*>(data) + l * LINE);
  }
  // The rank of secondary row r among the secondary rows.
  std::size_t rankOf(unsigned r) const;
  // Lists the primary rows, all in the words [first, end), and takes their
  // words into the span.
  void listPrimaryRows(std::uint64_t first, std::uint64_t end);
  // Widens the span of the nonzero words to word w.
  void spanWord(std::uint64_t w) {
    if (mZeroEndWord == 0)
      mZeroFirstWord = static_cast<std::uint16_t>(w);
    mZeroFirstWord = static_cast<std::uint16_t>(std::min<std::uint64_t>(mZeroFirstWord, w));
    mZeroEndWord = static_cast<std::uint16_t>(std::max<std::uint64_t>(mZeroEndWord, w + 1));
  }

  BitList mPrimary;
  BitList mSecondary;
  std::uint16_t mMaskWords;
  std::uint16_t mZeroFirstWord = 0;
  std::uint16_t mZeroEndWord = 0;
  // primaryCount() rows, in a block of a pool of words.
  std::uint16_t* mPrimaryRows = nullptr;
  std::vector<LinearDependenceEntry*> mCertificates;
  std::vector<std::uint64_t> mSupportMasks;
};

// Starts loading the object of a ray that a pair test reads soon.
inline void prefetchRay(DualSetRay const& ray) {
  __builtin_prefetch(&ray);
  __builtin_prefetch(reinterpret_cast<char const*>(&ray) + 64);
}

// The words outside which the ray's zero set restricted to the rows of mask
// has no bit.
inline std::pair<std::uint64_t, std::uint64_t> maskedZeroSetWords(DualSetRay const& ray,
                                                                  BitList const& mask) {
  const std::uint64_t end = std::min<std::uint64_t>(ray.zeroEndWord(), mask.wordCount());
  return {std::min<std::uint64_t>(ray.zeroFirstWord(), end), end};
}
// Writes the ray's zero set restricted to the rows of mask into pattern, of
// the mask's words and all zero.
void writeMaskedZeroSet(BitList& pattern, DualSetRay const& ray, BitList const& mask);
// The same as a new list, for the ray cache.
BitList maskedZeroSet(DualSetRay const& ray, BitList const& mask);

// Whether a ray is zero on a row after the one that created it.
inline bool isZeroOn(DualSetRay const& ray, unsigned row) {
  return ray.secondary().test(row) || ray.primary().test(row);
}

// Starts loading the words of the zero sets that filing the ray for the step
// of row reads first.
inline void prefetchZeroSet(DualSetRay const& ray, unsigned row) {
  ray.secondary().prefetchBit(row);
  ray.primary().prefetchBit(row);
}

// The zero set that a result line of type T reads from a ray, put together in
// scratch where needed: the primary set alone fixes the integer vector; the
// other formats show the whole zero set.
template <class T> BitList const& resultZeroSet(DualSetRay const& ray, BitList& scratch) {
  if (std::is_same<T, RepresentationVector>::value)
    return ray.primary();
  scratch = ray.primary();
  scratch |= ray.secondary();
  return scratch;
}

} // namespace double_description

#endif
