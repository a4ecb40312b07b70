#include "core/DDRayReferenceContainer.h"

#include <algorithm>
#include <cstring>

namespace double_description {

const BitList RayReference::EMPTY_PATTERN;

void RayReferenceContainer::resizeTo(std::uint64_t n) {
  const auto words = static_cast<std::uint32_t>(n);
  mUnion.resize(n);
  mUnionEnd = std::min(mUnionEnd, words);
  mUnionFirst = std::min(mUnionFirst, mUnionEnd);
  mIntersection.resize(n);
  mIntersectionEnd = std::min(mIntersectionEnd, words);
  mIntersectionFirst = std::min(mIntersectionFirst, mIntersectionEnd);
}

void RayReferenceContainer::iterate(RayRefVisitor& visitor) const {
  do {
    visitor.onStart();
    for (const RayReference& reference : mReferences)
      visitor.onVisit(reference);
    visitor.onFinish();
  } while (visitor.mState == 3);
}

void RayReferenceContainer::fileByBit(std::uint64_t bit, RayReferenceContainer& without,
                                      RayReferenceContainer& with) const {
  DD_ASSERT(without.empty() && with.empty());
  const std::uint64_t word = bit / 64;
  const std::uint64_t mask = std::uint64_t(1) << (bit % 64);
  for (RayReference const& reference : mReferences) {
    // Outside its range a pattern has no bit: no need to read it.
    if (word >= reference.mFirstWord && word < reference.mEndWord &&
        (reference.bits().words()[word] & mask) != 0) {
      with.insert(reference);
      continue;
    }
    // The patterns of a set have its words: most references of a sparse
    // split are filed without reading theirs.
    DD_ASSERT(reference.bits().wordCount() == mUnion.wordCount());
    if (without.mReferences.empty() || without.mIntersectionFirst < without.mIntersectionEnd)
      without.accountExceptUnion(reference);
    else
      without.accountRanges(reference);
    without.mReferences.push_back(reference);
  }
  if (without.empty())
    return;
  std::uint64_t* out = without.mUnion.words();
  std::uint64_t const* all = mUnion.words();
  std::uint64_t const* taken = with.mUnion.words();
  const std::uint32_t first = without.mUnionFirst;
  const std::uint32_t end = without.mUnionEnd;
  std::copy(all + first, all + end, out + first);
  const std::uint32_t lo = std::max(first, with.mUnionFirst);
  const std::uint32_t hi = std::max(lo, std::min(end, with.mUnionEnd));
  if (lo == hi)
    return;
  for (std::uint32_t w = lo; w < hi; ++w)
    out[w] &= ~taken[w];
  for (RayReference const& reference : without.mReferences) {
    const std::uint32_t from = std::max<std::uint32_t>(lo, reference.mFirstWord);
    const std::uint32_t to = std::min<std::uint32_t>(hi, reference.mEndWord);
    const std::uint64_t* in = reference.bits().words();
    for (std::uint32_t w = from; w < to; ++w)
      out[w] |= in[w];
  }
}

void RayReferenceContainer::clear() {
  mReferences.clear();
  std::memset(mUnion.words() + mUnionFirst, 0, (mUnionEnd - mUnionFirst) * sizeof(std::uint64_t));
  std::memset(mIntersection.words() + mIntersectionFirst, 0,
              (mIntersectionEnd - mIntersectionFirst) * sizeof(std::uint64_t));
  mUnionFirst = mUnionEnd = 0;
  mIntersectionFirst = mIntersectionEnd = 0;
  mMinCardinality = EMPTY_MIN_CARDINALITY;
  mMaxCardinality = 0;
}

} // namespace double_description
