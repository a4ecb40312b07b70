#ifndef DD_SINGLEBITSPLITVISITOR_H
#define DD_SINGLEBITSPLITVISITOR_H

#include <cstdint>
#include <memory>

#include "core/DDRayReference.h"
#include "core/DDRayReferenceContainer.h"
#include "trees/DDBitSelectStrategy.h"
#include "trees/DDBitSelector.h"
#include "trees/DDBitSplitVisitor.h"

namespace double_description {

// Splits a set on one bit: bucket 1 takes the references that have it.
class SingleBitSplitVisitor final : public BitSplitVisitor {
public:
  SingleBitSplitVisitor(unsigned short maxDepth, unsigned short leafCapacity,
                        BitSelectStrategy const& strategy)
      : BitSplitVisitor(maxDepth, leafCapacity), mSelector(strategy), mSplitBit(0) {}

  bool hasFinished() const override { return true; }
  void onVisit(RayReference const& reference) override;
  void onFinish() override {}
  // The one pass of iterate, without a virtual call per reference.
  void distribute(RayReferenceContainer const& set) override;
  void distributeOwned(RayReferenceContainer& set) override;
  void before(RayReferenceContainer const& set) override;
  void after() override;
  bool can_proceed(unsigned short bucket) const override;
  using BitSplitVisitor::can_proceed;
  std::unique_ptr<BitSplitVisitor> copyState() const override {
    return std::unique_ptr<BitSplitVisitor>(new SingleBitSplitVisitor(*this));
  }

  BitSelector mSelector;
  std::uint16_t mSplitBit;

private:
  SingleBitSplitVisitor(SingleBitSplitVisitor const& other)
      : BitSplitVisitor(other, StateOf{}), mSelector(other.mSelector), mSplitBit(other.mSplitBit) {}
};

} // namespace double_description

#endif
