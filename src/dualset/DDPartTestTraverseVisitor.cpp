#include "dualset/DDPartTestTraverseVisitor.h"

#include <memory>

namespace double_description {

void PartTestTraverseVisitor::onVisit(RayReference const& ref) {
  mState = 2;
  mTree->preliminaryTraverse(ref, mCandidates);
  for (EdgeCandidate const& candidate : mCandidates) {
    auto const& positive = *candidate.mFirst.ray<DualSetRay>();
    auto const& negative = *candidate.mSecond.ray<DualSetRay>();
    if (mFaceProver->isAdjacent(positive, negative))
      createRay(positive, negative);
  }
  mCandidates.clear();
}

void PartTestTraverseVisitor::createRay(DualSetRay const& positive, DualSetRay const& negative) {
  BitList primary(mFaceProver->known());
  primary.set(mStep);
  auto ray = std::make_unique<DualSetRay>(&positive, &negative, mStep, mRowCount,
                                          std::move(primary));
  ray->reduceSlacks();

  // Slots are needed up to the last zero row only: the face's other rows
  // and the zero rows after the step that come before the first negative one.
  // The face lies before the step, since the negative parent is negative on it.
  BitList const& spare = mFaceProver->spare();
  const unsigned end = ray->firstNegativeRow();
  std::uint64_t last = ray->lastZeroRow(end);
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
  for (unsigned k = mStep + 1u; k < end; ++k)
    if (sgn(ray->slack(k)) == 0)
      ray->addSecondary(k, mDependencyCache->getLinearDependenceEntry(rayPrimary, k));
  mDependencyCache->update();
  mRayCache->insert(ray.release(), 1);
  ++mCreatedCount;
}

} // namespace double_description
