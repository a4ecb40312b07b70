#include "dualset/DDPartTestTraverseVisitor.h"

#include "trees/DDTreeSearch.h"

#include <algorithm>
#include <memory>

namespace double_description {

void PartTestTraverseVisitor::onVisit(RayReference const& ref) {
  mState = 2;
  auto const& negative = *ref.ray<DualSetRay>();
  // The partners are collected first, so that the rays a test reads can be
  // loaded a few tests ahead: the tests wait on memory more than they
  // compute. New rays go to later rows' entries, never into the tree being
  // searched, and are made in the order found.
  mPartners.clear();
  searchPartners(*mTree, ref, [&](RayReference const& stored) {
    mPartners.push_back(stored.ray<DualSetRay>());
  });
  constexpr std::size_t RAY_AHEAD = 4;
  constexpr std::size_t SETS_AHEAD = 2;
  const std::size_t n = mPartners.size();
  for (std::size_t i = 0; i < std::min(n, RAY_AHEAD); ++i)
    prefetchRay(*mPartners[i]);
  for (std::size_t i = 0; i < std::min(n, SETS_AHEAD); ++i)
    mPartners[i]->prefetchSets();
  for (std::size_t i = 0; i < n; ++i) {
    if (i + RAY_AHEAD < n)
      prefetchRay(*mPartners[i + RAY_AHEAD]);
    if (i + SETS_AHEAD < n)
      mPartners[i + SETS_AHEAD]->prefetchSets();
    DualSetRay const& positive = *mPartners[i];
    if (mFaceProver->isAdjacent(positive, negative))
      createRay(positive, negative);
  }
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
