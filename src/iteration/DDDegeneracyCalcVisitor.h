#ifndef DD_DEGENERACYCALCVISITOR_H
#define DD_DEGENERACYCALCVISITOR_H

#include "core/DDRayReference.h"

#include <cstdint>

namespace double_description {

// Running mean of (pattern cardinality - mBase) over one pass.
class DegeneracyCalcVisitor final : public RayRefVisitor {
public:
  std::uint16_t mBase;
  double mMean = 0.0;
  std::uint64_t mCount = 0;

  explicit DegeneracyCalcVisitor(std::uint16_t base) : mBase(base) { mState = 0; }

  bool hasFinished() const override { return true; }
  void onStart() override {
    mState = 1;
    mMean = 0.0;
    mCount = 0;
  }
  void onVisit(RayReference const& ref) override {
    mMean = (static_cast<double>(mCount) * mMean + static_cast<double>(ref.mCardinality) -
             static_cast<double>(mBase)) /
            static_cast<double>(mCount + 1);
    ++mCount;
  }
};

} // namespace double_description

#endif
