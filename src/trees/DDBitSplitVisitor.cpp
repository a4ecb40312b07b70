#include "trees/DDBitSplitVisitor.h"

namespace double_description {

void BitSplitVisitor::onStart() {
  mState = 1;
  for (std::uint16_t i = 0; i < mBucketCount; ++i)
    mBuckets[i].clear();
  mVisited = -1;
}

PreliminaryCondition* BitSplitVisitor::createNarrowingCondition(unsigned short bucket,
                                                                unsigned short threshold) const {
  return new PreliminaryCondition(mBuckets[bucket].unionBits(), threshold);
}

void BitSplitVisitor::refineCondition(unsigned int bucket, unsigned short threshold,
                                      VantagePointPreliminaryCondition& condition) const {
  condition.mMask = mBuckets[bucket].unionBits();
  condition.mThreshold = threshold;
}

} // namespace double_description
