#include "trees/DDBitSplitVisitor.h"

namespace double_description {

void BitSplitVisitor::onStart() {
  mState = 1;
  for (std::uint16_t i = 0; i < mBucketCount; ++i)
    mBuckets[i].clear();
  mVisited = -1;
}

std::unique_ptr<BitSplitVisitor> BitSplitVisitor::copyChain() const {
  std::unique_ptr<BitSplitVisitor> copy = copyState();
  if (!copy)
    return nullptr;
  if (mSuccessor) {
    std::unique_ptr<BitSplitVisitor> rest = mSuccessor->copyChain();
    if (!rest)
      return nullptr;
    copy->setSuccessor(std::move(rest));
  }
  return copy;
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
