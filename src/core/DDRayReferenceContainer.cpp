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

void RayReferenceContainer::account(RayReference const& r) {
  const BitList& bits = r.bits();
  const std::uint64_t n = bits.wordCount();
  if (mUnion.wordCount() != n || mIntersection.wordCount() != n)
    resizeTo(n);
  const std::uint64_t* in = bits.words();
  const std::uint32_t first = r.mFirstWord;
  const std::uint32_t end = r.mEndWord;
  DD_ASSERT(end <= n);

  std::uint64_t* intersection = mIntersection.words();
  if (mReferences.empty()) {
    // An empty container's words are all zero.
    std::copy(in + first, in + end, intersection + first);
    mIntersectionFirst = first;
    mIntersectionEnd = end;
  } else if (mIntersectionFirst < mIntersectionEnd) {
    // Words outside the reference's range are zero in its pattern.
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

  if (first < end) {
    std::uint64_t* unionWords = mUnion.words();
    for (std::uint32_t w = first; w < end; ++w)
      unionWords[w] |= in[w];
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

void RayReferenceContainer::insert(RayReference const& reference) {
  account(reference);
  mReferences.push_back(reference);
}

void RayReferenceContainer::insert(RayReference&& reference) {
  account(reference);
  mReferences.push_back(std::move(reference));
}

void RayReferenceContainer::iterate(RayRefVisitor& visitor) const {
  do {
    visitor.onStart();
    for (const RayReference& reference : mReferences)
      visitor.onVisit(reference);
    visitor.onFinish();
  } while (visitor.mState == 3);
}

void RayReferenceContainer::clear() {
  mReferences.clear();
  std::memset(mUnion.words() + mUnionFirst, 0,
              (mUnionEnd - mUnionFirst) * sizeof(std::uint64_t));
  std::memset(mIntersection.words() + mIntersectionFirst, 0,
              (mIntersectionEnd - mIntersectionFirst) * sizeof(std::uint64_t));
  mUnionFirst = mUnionEnd = 0;
  mIntersectionFirst = mIntersectionEnd = 0;
  mMinCardinality = EMPTY_MIN_CARDINALITY;
  mMaxCardinality = 0;
}

} // namespace double_description
