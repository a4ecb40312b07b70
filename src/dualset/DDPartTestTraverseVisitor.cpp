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
  auto ray = std::make_unique<DualSetRay>(positive.firstSecondaryRow(), mStep,
                                          std::move(coordinates), std::move(primary),
                                          firstNegative);

  // Slots are needed up to the last zero row only: the face's other rows
  // and the later zero rows. The face lies before the step, since the
  // negative parent is negative on it.
  BitList const& spare = mFaceProver->spare();
  std::uint64_t last = later.findLast();
  if (last == BitList::NO_BIT)
    last = spare.findLast();
  if (last != BitList::NO_BIT)
    ray->reserveSlots(static_cast<unsigned>(last));

  BitList const& rayPrimary = ray->primary();
  spare.forEachSetBit([&](std::uint64_t k) {
    const unsigned r = static_cast<unsigned>(k);
    LinearDependenceEntry* e = positive.dependency(r);
    if (!e->support().isSubsetOf(rayPrimary)) {
      e = negative.dependency(r);
      if (!e->support().isSubsetOf(rayPrimary))
        e = mDependencyCache->getLinearDependenceEntry(rayPrimary, r);
    }
    ray->addSecondary(r, e);
  });
  later.forEachSetBit([&](std::uint64_t k) {
    const unsigned r = static_cast<unsigned>(k);
    ray->addSecondary(r, mDependencyCache->getLinearDependenceEntry(rayPrimary, r));
  });
  mDependencyCache->update();
  mRayCache->insert(ray.release());
  ++mCreatedCount;
}

} // namespace double_description
