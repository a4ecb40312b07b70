#ifndef DD_RAYREFERENCECONTAINER_H
#define DD_RAYREFERENCECONTAINER_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "core/DDRayReference.h"
#include "core/DDSharingPolicy.h"

namespace double_description {

// An append-only list of references that keeps the union and intersection of
// their patterns and the range of their cardinalities as it is filled.
// Inserting costs the nonzero words of the reference's pattern, not the
// pattern's length: trees re-insert every reference once per level, and the
// patterns of many rows are mostly zero words.
class RayReferenceContainer {
public:
  static constexpr std::uint32_t EMPTY_MIN_CARDINALITY = 0xFFFFFFFFu;

  void insert(RayReference const& reference);
  void insert(RayReference&& reference);
  // Room for count references without reallocation.
  void reserve(std::size_t count) { mReferences.reserve(count); }
  // Gives back the room for references when it exceeds factor times the size.
  void shrinkToFitWithin(std::size_t factor) {
    if (mReferences.capacity() > factor * mReferences.size())
      mReferences.shrink_to_fit();
  }
  // Passes of the visitor over all references, while it asks for another.
  void iterate(RayRefVisitor& visitor) const;
  std::size_t size() const { return mReferences.size(); }
  bool empty() const { return mReferences.empty(); }
  // Empties the container in place; union and intersection keep their word
  // counts with all words zero.
  void clear();
  // The storage of an empty container, for reuse by another: its references
  // are dropped, its capacity kept.
  std::vector<RayReference> releaseStorage() {
    mReferences.clear();
    return std::move(mReferences);
  }
  // Takes over storage for the references of this empty container.
  void adoptStorage(std::vector<RayReference>&& storage) {
    DD_ASSERT(mReferences.empty());
    mReferences.swap(storage);
    mReferences.clear();
  }
  // Reordering keeps union, intersection and cardinalities as they are.
  void swapReferences(std::size_t a, std::size_t b) { std::swap(mReferences[a], mReferences[b]); }

  std::vector<RayReference> const& references() const { return mReferences; }
  BitList const& unionBits() const { return mUnion; }
  BitList const& intersection() const { return mIntersection; }
  std::uint32_t minCardinality() const { return mMinCardinality; }
  std::uint32_t maxCardinality() const { return mMaxCardinality; }

  // Files the references that have bit into with and the others into
  // without, both empty, as inserting them in turn would. The union of
  // without is this one's apart from the words where with's lies, so only
  // there are its patterns read: a split that takes few references out of
  // many reads few patterns.
  // The threads of policy may share it, in runs of references filed apart
  // and then joined in order.
  void fileByBit(std::uint64_t bit, RayReferenceContainer& without, RayReferenceContainer& with,
                 SharingPolicy const& policy = SharingPolicy(nullptr)) const;
  // The runs policy cuts a filing of n references into; 1 for one thread.
  static std::size_t filingRuns(SharingPolicy const& policy, std::size_t n);
  // The same filing from a set that is no longer needed: without takes
  // over its storage, and the set keeps only its union and intersection.
  void fileByBitInPlace(std::uint64_t bit, RayReferenceContainer& without,
                        RayReferenceContainer& with);

private:
  // Outside its range a pattern has no bit: no need to read it.
  static bool hasBit(RayReference const& reference, std::uint64_t word, std::uint64_t mask) {
    return word >= reference.mFirstWord && word < reference.mEndWord &&
           (reference.bits().words()[word] & mask) != 0;
  }
  // Files the references [begin, end) as fileByBit does, all but the
  // union of without.
  void fileRun(std::size_t begin, std::size_t end, std::uint64_t bit,
               RayReferenceContainer& without, RayReferenceContainer& with) const;
  // Appends the references of run, filed after this one's; the union is
  // joined only where withUnion.
  void join(RayReferenceContainer const& run, bool withUnion);
  // The union of without, filed from this set by bit, once with's is known.
  void uniteWithout(std::uint64_t bit, RayReferenceContainer& without,
                    RayReferenceContainer const& with) const;

  void account(RayReference const& reference);
  // All of account but the union's words; their range included.
  // empty: whether the reference is the container's first.
  void accountExceptUnion(RayReference const& reference, bool empty);
  // What filing the references from begin on, appended without the bit,
  // changes but the union's words: once the intersection is empty, only the
  // ranges and the cardinalities.
  void accountFiledFrom(std::size_t begin);
  // The union's range and the cardinalities, all that a reference changes
  // once the intersection is empty and the words are sized.
  void accountRanges(RayReference const& reference);
  // ANDs the intersection with words, which are zero outside [first, end).
  void intersect(std::uint64_t const* words, std::uint32_t first, std::uint32_t end);
  // Gives union and intersection n words, as the references' patterns have.
  void resizeTo(std::uint64_t n);

  std::vector<RayReference> mReferences;
  BitList mUnion;
  BitList mIntersection;
  std::uint32_t mMinCardinality = EMPTY_MIN_CARDINALITY;
  std::uint32_t mMaxCardinality = 0;

  // Every nonzero word of mUnion lies in [mUnionFirst, mUnionEnd), every
  // one of mIntersection in [mIntersectionFirst, mIntersectionEnd); an empty
  // range is [0, 0).
  std::uint32_t mUnionFirst = 0;
  std::uint32_t mUnionEnd = 0;
  std::uint32_t mIntersectionFirst = 0;
  std::uint32_t mIntersectionEnd = 0;
};

inline void RayReferenceContainer::accountExceptUnion(RayReference const& r, bool empty) {
  const BitList& bits = r.bits();
  const std::uint64_t n = bits.wordCount();
  if (mUnion.wordCount() != n || mIntersection.wordCount() != n)
    resizeTo(n);
  const std::uint64_t* in = bits.words();
  const std::uint32_t first = r.mFirstWord;
  const std::uint32_t end = r.mEndWord;
  DD_ASSERT(end <= n);

  std::uint64_t* intersection = mIntersection.words();
  if (empty) {
    // An empty container's words are all zero.
    std::copy(in + first, in + end, intersection + first);
    mIntersectionFirst = first;
    mIntersectionEnd = end;
  } else {
    intersect(in, first, end);
  }

  accountRanges(r);
}

inline void RayReferenceContainer::intersect(std::uint64_t const* in, std::uint32_t first,
                                             std::uint32_t end) {
  if (mIntersectionFirst == mIntersectionEnd)
    return;
  std::uint64_t* intersection = mIntersection.words();
  // Words outside [first, end) are zero in the other words.
  const std::uint32_t lo = std::max(mIntersectionFirst, first);
  const std::uint32_t hi = std::max(lo, std::min(mIntersectionEnd, end));
  for (std::uint32_t w = mIntersectionFirst; w < lo; ++w)
    intersection[w] = 0;
  for (std::uint32_t w = hi; w < mIntersectionEnd; ++w)
    intersection[w] = 0;
  mIntersectionFirst = lo;
  mIntersectionEnd = hi;
  for (std::uint32_t w = lo; w < hi; ++w)
    intersection[w] &= in[w];
  while (mIntersectionFirst < mIntersectionEnd && intersection[mIntersectionFirst] == 0)
    ++mIntersectionFirst;
  while (mIntersectionFirst < mIntersectionEnd && intersection[mIntersectionEnd - 1] == 0)
    --mIntersectionEnd;
  if (mIntersectionFirst == mIntersectionEnd)
    mIntersectionFirst = mIntersectionEnd = 0;
}

inline void RayReferenceContainer::accountRanges(RayReference const& r) {
  const std::uint32_t first = r.mFirstWord;
  const std::uint32_t end = r.mEndWord;
  if (first < end) {
    if (mUnionFirst == mUnionEnd) {
      mUnionFirst = first;
      mUnionEnd = end;
    } else {
      mUnionFirst = std::min(mUnionFirst, first);
      mUnionEnd = std::max(mUnionEnd, end);
    }
  }

  if (r.mCardinality < mMinCardinality)
    mMinCardinality = r.mCardinality;
  if (r.mCardinality > mMaxCardinality)
    mMaxCardinality = r.mCardinality;
}

inline void RayReferenceContainer::account(RayReference const& r) {
  accountExceptUnion(r, mReferences.empty());
  const std::uint64_t* in = r.bits().words();
  std::uint64_t* unionWords = mUnion.words();
  for (std::uint32_t w = r.mFirstWord; w < r.mEndWord; ++w)
    unionWords[w] |= in[w];
}

inline void RayReferenceContainer::insert(RayReference const& reference) {
  account(reference);
  mReferences.push_back(reference);
}

inline void RayReferenceContainer::insert(RayReference&& reference) {
  account(reference);
  mReferences.push_back(std::move(reference));
}

} // namespace double_description

#endif
