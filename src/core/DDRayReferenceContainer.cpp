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
