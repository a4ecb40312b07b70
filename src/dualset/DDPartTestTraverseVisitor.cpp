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
  setBit(face.mPrimary.words(), mStep);
  const std::uint64_t n = face.mPrimary.wordCount();
  const unsigned m = mRowCount;
  auto* ray = new DualSetRay(&positive, &negative, mStep, m, std::move(face.mPrimary),
                             std::move(face.mSecondary), nullptr);
  ray->reduceSlacks();

  // Slots are needed up to the last zero row only: the face's rows and the
  // zero rows after the step that come before the first negative one.
  unsigned end = mStep + 1u;
  while (end < m && sgn(ray->slack(end)) >= 0)
    ++end;
  unsigned last = 0;
  bool zero = false;
  for (unsigned k = end; k-- > mStep + 1u;)
    if (sgn(ray->slack(k)) == 0) {
      last = k;
      zero = true;
      break;
    }
  const std::uint64_t* secondary = ray->mSecondary.words();
  if (!zero)
    for (std::uint64_t w = n; w-- > 0 && !zero;)
      if (secondary[w] != 0) {
        last = static_cast<unsigned>(64 * w + 63 - __builtin_clzll(secondary[w]));
        zero = true;
      }
  const unsigned first = ray->firstSecondaryRow();
  LinearDependenceEntry** slots = zero ? new LinearDependenceEntry*[last - first + 1] : nullptr;
  ray->mDependencies = slots;

  const std::uint64_t* primary = ray->mPrimary.words();
  for (std::uint64_t w = 0; w < n; ++w)
    for (std::uint64_t bits = secondary[w]; bits != 0; bits &= bits - 1) {
      const unsigned r = static_cast<unsigned>(64 * w + __builtin_ctzll(bits));
      LinearDependenceEntry* e = positive.dependency(r);
      if (!isSubset(e->mSupport.words(), primary, n)) {
        e = negative.dependency(r);
        if (!isSubset(e->mSupport.words(), primary, n))
          e = mDependencyCache->getLinearDependenceEntry(ray->mPrimary, r);
      }
      slots[r - first] = e;
      ++e->mRefCount;
    }
  for (unsigned k = mStep + 1u; k < end; ++k)
    if (sgn(ray->slack(k)) == 0) {
      setBit(ray->mSecondary.words(), k);
      LinearDependenceEntry* e = mDependencyCache->getLinearDependenceEntry(ray->mPrimary, k);
      slots[k - first] = e;
      ++e->mRefCount;
    }
  mDependencyCache->update();
  mRayCache->insert(ray, 1);
  ++mCreatedCount;
}

} // namespace double_description
