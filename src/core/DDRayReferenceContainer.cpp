#include "core/DDRayReferenceContainer.h"

#include <cstring>

namespace double_description {

void RayReferenceContainer::account(RayReference const& r, bool first) {
  const BitList& bits = r.mBits;
  const std::uint64_t n = bits.wordCount();
  const std::uint64_t* words = bits.words();
  if (first) {
    mIntersection = bits;
  } else {
    if (mIntersection.wordCount() != n)
      mIntersection.resize(n);
    std::uint64_t* meet = mIntersection.words();
    for (std::uint64_t i = 0; i < n; ++i)
      meet[i] &= words[i];
  }
  if (mUnion.wordCount() != n)
    mUnion.resize(n);
  std::uint64_t* join = mUnion.words();
  for (std::uint64_t i = 0; i < n; ++i)
    join[i] |= words[i];
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
  std::memset(mUnion.words(), 0, mUnion.wordCount() * sizeof(std::uint64_t));
  std::memset(mIntersection.words(), 0, mIntersection.wordCount() * sizeof(std::uint64_t));
  mMinCardinality = EMPTY_MIN_CARDINALITY;
  mMaxCardinality = 0;
}

} // namespace double_description
