#include "iteration/DDSingleSetTraverseVisitor.h"

#include "trees/DDTreeSearch.h"

namespace double_description {

void SingleSetTraverseVisitor::createRay(RayReference const& first, RayReference const& second) {
  file(new SingleSetRay(first.ray<SingleSetRay>(), second.ray<SingleSetRay>(), mStep,
                        mRayCache->slacks()));
}

void SingleSetTraverseVisitor::acceptAll(RayReference const& ref) {
  mState = 2;
  // New rays go to later rows' entries, never into the tree being searched.
  searchPartners(*mTree, ref, [&](RayReference const& stored) { createRay(stored, ref); });
}

bool SingleSetTraverseVisitor::acceptAllIfNondegenerate(RayReference const& ref) {
  const std::uint16_t c = ref.bits().count();
  if (c != static_cast<std::uint16_t>(mThreshold + 1))
    return false;
  acceptAll(ref);
  return true;
}

void SingleSetTraverseVisitor::onVisit(RayReference const& ref) { acceptAll(ref); }

} // namespace double_description
