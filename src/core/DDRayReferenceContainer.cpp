#include "core/DDRayReferenceContainer.h"

namespace double_description {

const BitList RayReference::EMPTY_PATTERN;

void RayReferenceContainer::account(RayReference const& r, bool first) {
  const BitList& bits = r.bits();
  const std::uint64_t n = bits.wordCount();
  if (first) {
    mIntersection = bits;
  } else {
    if (mIntersection.wordCount() != n)
      mIntersection.resize(n);
    mIntersection &= bits;
  }
  if (mUnion.wordCount() != n)
    mUnion.resize(n);
  mUnion |= bits;
  if (r.mCardinality < mMinCardinality)
    mMinCardinality = r.mCardinality;
  if (r.mCardinality > mMaxCardinality)
    mMaxCardinality = r.mCardinality;
}

void RayReferenceContainer::insert(RayReference const& reference) {
  account(reference, mReferences.empty());
  mReferences.push_back(reference);
}

void RayReferenceContainer::insert(RayReference&& reference) {
  account(reference, mReferences.empty());
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
  mUnion.clear();
  mIntersection.clear();
  mMinCardinality = EMPTY_MIN_CARDINALITY;
  mMaxCardinality = 0;
}

} // namespace double_description
