#ifndef DD_VANTAGEPOINTVISITOR_H
#define DD_VANTAGEPOINTVISITOR_H

#include <cstdint>
#include <vector>

#include "core/DDBitList.h"
#include "core/DDBitOps.h"
#include "core/DDRayReference.h"
#include "core/DDRayReferenceContainer.h"
#include "trees/DDBitSplitVisitor.h"
#include "trees/DDInterval.h"
#include "trees/DDVantagePointPreliminaryCondition.h"

namespace double_description {

// Splits a set by the overlap of its patterns with a vantage point, in two
// passes: the first computes the mean overlap, the second distributes.
class VantagePointVisitor : public BitSplitVisitor {
public:
  VantagePointVisitor(unsigned short maxDepth, unsigned short leafCapacity)
      : BitSplitVisitor(maxDepth, leafCapacity), mInitialPass(false), mMeanOverlap(0.0) {}

  bool hasFinished() const override { return !mInitialPass; }
  void onStart() override;
  void onVisit(RayReference const& reference) override;
  void onFinish() override;

  // Second pass: places a reference.
  virtual void onSave(RayReference const& reference) = 0;
  // First pass: adds a reference to the mean overlap.
  virtual void onInit(RayReference const& reference) = 0;

  std::uint16_t overlap(RayReference const& reference) const {
    return mVantagePoint.countAnd(reference.bits());
  }

  BitList mVantagePoint;
  Interval mOverlap[2];
  Interval mCardinality[2];
  bool mInitialPass;
  double mMeanOverlap;
};

// Bucket 0 takes the references whose overlap is strictly below the mean.
class BinaryVantagePointVisitor : public VantagePointVisitor {
public:
  using VantagePointVisitor::VantagePointVisitor;

  void before(RayReferenceContainer const& set) override;
  PreliminaryCondition* createNarrowingCondition(unsigned short bucket,
                                                 unsigned short threshold) const override;
  void refineCondition(unsigned int bucket, unsigned short threshold,
                       VantagePointPreliminaryCondition& condition) const override;
  bool supportsExtendedCondition() override { return true; }
  void onSave(RayReference const& reference) override;
  void onInit(RayReference const& reference) override;

  // Are references equal to the vantage point left out of the buckets?
  virtual bool unique_vp() const { return false; }
  // Is the vantage point a stored pattern that verification searches may count?
  virtual bool use_vp_for_verification() const = 0;

  bool subset_condition(RayReference const& reference) const {
    return mMeanOverlap > static_cast<double>(overlap(reference));
  }
};

// Vantage points from a fixed list, one per level.
class BinaryStaticVantagePointVisitor final : public BinaryVantagePointVisitor {
public:
  BinaryStaticVantagePointVisitor(unsigned short maxDepth, unsigned short leafCapacity,
                                  std::vector<BitList> const& vantagePoints)
      : BinaryVantagePointVisitor(maxDepth, leafCapacity), mVantagePoints(vantagePoints),
        mLevel(0) {}

  void before(RayReferenceContainer const& set) override;
  void after() override;
  bool can_proceed(unsigned short) const override { return mLevel < mVantagePoints.size(); }
  bool can_proceed(RayReferenceContainer const& set) const override {
    return set.minCardinality() != set.maxCardinality();
  }
  bool use_vp_for_verification() const override { return false; }

  std::vector<BitList> mVantagePoints;
  std::uint32_t mLevel;
};

// The vantage point of a set is the pattern of its first reference.
//
// Dropping the references equal to the vantage point ("UniqueVantagePoint")
// is sound only in a verification tree, where the child conditions let the
// vantage point answer for them; a narrowing search has no such counterpart
// and would lose their candidate pairs. So the drop applies only when the
// visitor builds a verification tree.
class BinaryDynamicVantagePointVisitor final : public BinaryVantagePointVisitor {
public:
  BinaryDynamicVantagePointVisitor(unsigned short maxDepth, unsigned short leafCapacity,
                                   bool uniqueVantagePoint, bool verificationTree)
      : BinaryVantagePointVisitor(maxDepth, leafCapacity), mUniqueVantagePoint(uniqueVantagePoint),
        mVerificationTree(verificationTree) {}

  void onFinish() override;
  void before(RayReferenceContainer const& set) override;
  bool unique_vp() const override { return mUniqueVantagePoint && mVerificationTree; }
  bool use_vp_for_verification() const override { return true; }
  // The vantage point and the split depend on the set's references alone.
  bool repeatsUnchangedSplit() const override { return true; }

  bool mUniqueVantagePoint;
  bool mVerificationTree;
};

} // namespace double_description

#endif
