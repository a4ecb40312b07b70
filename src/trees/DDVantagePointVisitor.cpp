#include "trees/DDVantagePointVisitor.h"

#include <utility>

namespace double_description {

void VantagePointVisitor::onStart() {
  BitSplitVisitor::onStart();
  for (int b = 0; b < 2; ++b) {
    mOverlap[b].reset();
    mCardinality[b].reset();
  }
}

void VantagePointVisitor::onVisit(RayReference const& reference) {
  ++mVisited;
  mState = 2;
  if (mInitialPass)
    onInit(reference);
  else
    onSave(reference);
}

void VantagePointVisitor::onFinish() {
  mState = hasFinished() ? 0 : 3;
  mInitialPass = false;
}

void BinaryVantagePointVisitor::before(RayReferenceContainer const& set) {
  ++mDepth;
  mInitialPass = true;
  mMeanOverlap = 0.0;
  mRayCount = set.size();
}

void BinaryVantagePointVisitor::onInit(RayReference const& reference) {
  const double visited = static_cast<double>(mVisited);
  mMeanOverlap = (visited * mMeanOverlap + overlap(reference)) / (visited + 1.0);
}

void BinaryVantagePointVisitor::onSave(RayReference const& reference) {
  const BitList& bits = reference.bits();
  if (unique_vp() && bits.sameWordsAs(mVantagePoint))
    return;
  const int b = subset_condition(reference) ? 0 : 1;
  mBuckets[b].insert(reference);
  mOverlap[b].widen(overlap(reference));
  mCardinality[b].widen(reference.mCardinality);
}

void BinaryVantagePointVisitor::refineCondition(unsigned int bucket, unsigned short threshold,
                                                VantagePointPreliminaryCondition& condition) const {
  condition.mMask = mBuckets[bucket].unionBits();
  condition.mThreshold = threshold;
  condition.mUseVantagePoint = use_vp_for_verification();
  condition.mVantagePoint = mVantagePoint;
  const int b = bucket == 0 ? 0 : 1;
  condition.setBounds(threshold, mOverlap[b], mCardinality[b]);
}

PreliminaryCondition*
BinaryVantagePointVisitor::createNarrowingCondition(unsigned short bucket,
                                                    unsigned short threshold) const {
  const int b = bucket == 0 ? 0 : 1;
  return new VantagePointPreliminaryCondition(mBuckets[b].unionBits(), threshold, mVantagePoint,
                                              mOverlap[b], mCardinality[b],
                                              use_vp_for_verification());
}

void BinaryStaticVantagePointVisitor::before(RayReferenceContainer const& set) {
  BinaryVantagePointVisitor::before(set);
  mVantagePoint = mVantagePoints[mLevel];
  ++mLevel;
}

void BinaryStaticVantagePointVisitor::after() {
  --mDepth;
  --mLevel;
}

void BinaryDynamicVantagePointVisitor::before(RayReferenceContainer const& set) {
  BinaryVantagePointVisitor::before(set);
  mVantagePoint = set.references().front().bits();
}

void BinaryDynamicVantagePointVisitor::onFinish() {
  VantagePointVisitor::onFinish();
  const Interval& range = mOverlap[1];
  if (!range.isEmpty() && range.mHigh == range.mLow + 1) {
    RayReferenceContainer& bucket = mBuckets[1];
    bucket.swapReferences(0, bucket.size() - 1);
  }
}

} // namespace double_description
