#include "trees/DDVantagePointPreliminaryCondition.h"

#include <sstream>

namespace double_description {

VantagePointPreliminaryCondition::VantagePointPreliminaryCondition(BitList const& mask,
                                                                   unsigned int threshold,
                                                                   BitList const& vantagePoint)
    : MapCondition(mask), PreliminaryCondition(mask, threshold), mVantagePoint(vantagePoint),
      mMinIn(0), mMinOut(0), mMaxIn(mask.count()), mMaxOut(mask.count()), mUseVantagePoint(false) {}

VantagePointPreliminaryCondition::VantagePointPreliminaryCondition(
    BitList const& mask, unsigned int threshold, BitList const& vantagePoint,
    Interval const& overlap, Interval const& cardinality, bool useVantagePoint)
    : MapCondition(mask), PreliminaryCondition(mask, threshold), mVantagePoint(vantagePoint),
      mUseVantagePoint(useVantagePoint) {
  setBounds(threshold, overlap, cardinality);
}

void VantagePointPreliminaryCondition::setBounds(unsigned int threshold, Interval const& a,
                                                 Interval const& b) {
  // Unsigned 32-bit arithmetic, read back as signed: a negative bound passes every query.
  const std::uint32_t n = threshold;
  mMinIn = static_cast<std::int32_t>(n + a.mLow - b.mHigh);
  mMinOut = static_cast<std::int32_t>(n - a.mHigh);
  mMaxIn = static_cast<std::int32_t>(a.mHigh);
  mMaxOut = static_cast<std::int32_t>(b.mHigh - a.mLow);
}

std::string VantagePointPreliminaryCondition::toString() const {
  std::ostringstream out;
  out << PreliminaryCondition::toString() << ", min_n(d)=(" << mMinIn << "," << mMinOut
      << "), max_v=(" << mMaxIn << "," << mMaxOut << "), |v|=" << mVantagePoint.count();
  return out.str();
}

} // namespace double_description
