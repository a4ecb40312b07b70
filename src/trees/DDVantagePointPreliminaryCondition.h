#ifndef DD_VANTAGEPOINTPRELIMINARYCONDITION_H
#define DD_VANTAGEPOINTPRELIMINARYCONDITION_H

#include <cstdint>
#include <string>

#include "core/DDBitList.h"
#include "trees/DDInterval.h"
#include "trees/DDPreliminaryCondition.h"
#include "trees/DDVerificationCondition.h"

namespace double_description {

// Narrowing condition of a vantage-point tree node. Besides the mask it bounds
// the overlap of partners with the vantage point vp. The bounds are 32-bit so
// that patterns of more than 32,767 bits cannot wrap them.
class VantagePointPreliminaryCondition : public PreliminaryCondition {
public:
  VantagePointPreliminaryCondition()
      : MapCondition(), PreliminaryCondition(), mMinIn(0), mMinOut(0), mMaxIn(0), mMaxOut(0),
        mUseVantagePoint(false) {}
  // The root condition: no vantage point yet, so the bounds exclude nothing.
  VantagePointPreliminaryCondition(BitList const& mask, unsigned int threshold,
                                   BitList const& vantagePoint);
  // The condition of a subtree whose patterns P have popcount(P AND vp) in
  // overlap and popcount(P) in cardinality.
  VantagePointPreliminaryCondition(BitList const& mask, unsigned int threshold,
                                   BitList const& vantagePoint, Interval const& overlap,
                                   Interval const& cardinality, bool useVantagePoint);
  VantagePointPreliminaryCondition(VantagePointPreliminaryCondition const& other)
      : MapCondition(other), PreliminaryCondition(other), mVantagePoint(other.mVantagePoint),
        mMinIn(other.mMinIn), mMinOut(other.mMinOut), mMaxIn(other.mMaxIn), mMaxOut(other.mMaxOut),
        mUseVantagePoint(other.mUseVantagePoint) {}
  ~VantagePointPreliminaryCondition() override = default;

  bool holdsOnFace(BitList const& x) const override {
    ++NARROWING_OPS;
    return withinBounds(x);
  }
  std::string toString() const override;

  // Must a verification search for face enter the subtree?
  bool proceed_verification(BitList const& face) const {
    const std::int64_t in = mVantagePoint.countAnd(face);
    const std::int64_t out = mVantagePoint.countOutside(face);
    ++VERIFICATION_OPS;
    if (in > mMaxIn || out > mMaxOut)
      return false;
    if (in == mMaxIn && out == mMaxOut)
      return false;
    ++VERIFICATION_OPS;
    return mMask.contains(face);
  }
  // Does the vantage point, a stored pattern, answer the question itself?
  bool isRedundant(VerificationCondition const& question) const {
    return mUseVantagePoint && question.holdsOnRay(mVantagePoint);
  }

  // The bounds test without counting, for the searches.
  bool withinBounds(BitList const& x) const {
    const std::int64_t in = mVantagePoint.countAnd(x);
    const std::int64_t out = mVantagePoint.countOutside(x);
    return in >= mMinIn && out >= mMinOut;
  }

  // Sets the four bounds from the ranges of a subtree (see the constructor).
  void setBounds(unsigned int threshold, Interval const& overlap, Interval const& cardinality);

  BitList mVantagePoint;
  std::int32_t mMinIn;
  std::int32_t mMinOut;
  std::int32_t mMaxIn;
  std::int32_t mMaxOut;
  bool mUseVantagePoint;
};

} // namespace double_description

#endif
