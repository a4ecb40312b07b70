#include "trees/DDBitCountVisitor.h"

namespace double_description {

void BitCountVisitor::onStart() {
  mState = 1;
  mCounts.assign(mBitCount, 0);
}

void BitCountVisitor::onVisit(RayReference const& reference) {
  reference.bits().forEachSetBit([&](std::uint64_t bit) {
    if (bit < mBitCount)
      ++mCounts[bit];
  });
}

} // namespace double_description
