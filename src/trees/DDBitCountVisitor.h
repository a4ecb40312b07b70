#ifndef DD_BITCOUNTVISITOR_H
#define DD_BITCOUNTVISITOR_H

#include <cstdint>
#include <vector>

#include "core/DDRayReference.h"

namespace double_description {

// One pass counting, for each bit index below mBitCount, the references whose
// pattern has that bit.
class BitCountVisitor final : public RayRefVisitor {
public:
  explicit BitCountVisitor(unsigned short bitCount) : mBitCount(bitCount) {}

  bool hasFinished() const override { return true; }
  void onStart() override;
  void onVisit(RayReference const& reference) override;

  std::vector<std::uint64_t> mCounts;
  std::uint64_t mBitCount;
};

} // namespace double_description

#endif
