#include "dualset/DDPartTestTraverseVisitor.h"

#include "core/DDBitOps.h"

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
  DualSetFace face(positive, negative, mFaceProver->mKnown, mFaceProver->mSpare);
  face.mPrimary.set(mStep);
  SlackCalculator const& slacks = mRayCache->slacks();
  RayCoordinates coordinates =
      slacks.combine(positive.coordinates(), negative.coordinates(), mStep);
  // The zero rows after the step, before the first negative one.
  BitList later(face.mPrimary.wordCount());
  const unsigned firstNegative = slacks.markZeroRows(coordinates, mStep + 1u, later);

  // Slots are needed up to the last zero row only.
  BitList zero = face.mSecondary;
  zero |= later;
  unsigned last = 0;
  zero.forEachSetBit([&](std::uint64_t r) { last = static_cast<unsigned>(r); });
  const unsigned first = positive.firstSecondaryRow();
  LinearDependenceEntry** slots = zero.none() ? nullptr : new LinearDependenceEntry*[last - first + 1];

  face.mSecondary.forEachSetBit([&](std::uint64_t row) {
    const unsigned r = static_cast<unsigned>(row);
    LinearDependenceEntry* e = positive.dependency(r);
    if (!face.mPrimary.contains(e->mSupport)) {
      e = negative.dependency(r);
      if (!face.mPrimary.contains(e->mSupport))
        e = mDependencyCache->getLinearDependenceEntry(face.mPrimary, r);
    }
    slots[r - first] = e;
    ++e->mRefCount;
  });
  later.forEachSetBit([&](std::uint64_t row) {
    const unsigned k = static_cast<unsigned>(row);
    face.mSecondary.set(k);
    LinearDependenceEntry* e = mDependencyCache->getLinearDependenceEntry(face.mPrimary, k);
    slots[k - first] = e;
    ++e->mRefCount;
  });
  mDependencyCache->update();
  mRayCache->insert(new DualSetRay(first, mStep, std::move(coordinates), std::move(face.mPrimary),
                                   std::move(face.mSecondary), slots, firstNegative));
  ++mCreatedCount;
}

} // namespace double_description
