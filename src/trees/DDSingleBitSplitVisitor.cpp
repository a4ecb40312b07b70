#include "trees/DDSingleBitSplitVisitor.h"

#include "core/DDBitOps.h"

namespace double_description {

void SingleBitSplitVisitor::onVisit(RayReference const& reference) {
  const bool has = reference.bits().test(mSplitBit);
  mBuckets[has ? 1 : 0].insert(reference);
}

void SingleBitSplitVisitor::distribute(RayReferenceContainer const& set) {
  onStart();
  set.fileByBit(mSplitBit, mBuckets[0], mBuckets[1], SharingPolicy(mWorkers));
  onFinish();
}

void SingleBitSplitVisitor::distributeOwned(RayReferenceContainer& set) {
  if (RayReferenceContainer::filingRuns(SharingPolicy(mWorkers), set.size()) > 1) {
    distribute(set);
    return;
  }
  onStart();
  set.fileByBitInPlace(mSplitBit, mBuckets[0], mBuckets[1]);
  onFinish();
}

void SingleBitSplitVisitor::before(RayReferenceContainer const& set) {
  BitSplitVisitor::before(set);
  // Only bits that some but not all references have can split the set.
  mSplitBit =
      static_cast<std::uint16_t>(mSelector.getNextBit(set.unionBits() - set.intersection()));
}

void SingleBitSplitVisitor::after() {
  BitSplitVisitor::after();
  mSelector.restore();
}

bool SingleBitSplitVisitor::can_proceed(unsigned short bucket) const {
  const RayReferenceContainer& b = mBuckets[bucket];
  return mSelector.checkNextBit(b.unionBits() - b.intersection());
}

} // namespace double_description
