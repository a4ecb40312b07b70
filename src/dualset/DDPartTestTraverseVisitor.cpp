#include "dualset/DDPartTestTraverseVisitor.h"

#include "trees/DDTreeSearch.h"

#include <memory>

namespace double_description {

void PartTestTraverseVisitor::onVisit(RayReference const& ref) {
  mState = 2;
  auto const& negative = *ref.ray<DualSetRay>();
  // New rays go to later rows' entries, never into the tree being searched.
  searchPartners(*mTree, ref, [&](RayReference const& stored) {
    auto const& positive = *stored.ray<DualSetRay>();
    if (mFaceProver->isAdjacent(positive, negative))
      createRay(positive, negative);
  });
}

void PartTestTraverseVisitor::createRay(DualSetRay const& positive, DualSetRay const& negative) {
  BitList primary(mFaceProver->known());
  primary.set(mStep);
  SlackCalculator const& slacks = mRayCache->slacks();
  RayCoordinates coordinates =
      slacks.combine(positive.coordinates(), negative.coordinates(), mStep);
  // The zero rows after the step, before the first negative one.
  BitList later(primary.wordCount());
  const unsigned firstNegative = slacks.markZeroRows(coordinates, mStep + 1u, later);
  auto ray =
      std::make_unique<DualSetRay>(positive.firstSecondaryRow(), mStep, std::move(coordinates),
                                   std::move(primary), firstNegative);
  // The face lies before the step, since the negative parent is negative on
  // it, so its rows come before the later ones.
  mAssigner->assign(*ray, mFaceProver->spare(), {&positive, mFaceProver->freeMask(positive)},
                    {&negative, mFaceProver->freeMask(negative)}, later);
  file(ray.release());
}

} // namespace double_description
