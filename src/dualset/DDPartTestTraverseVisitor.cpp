#include "dualset/DDPartTestTraverseVisitor.h"

#include "core/DDBitOps.h"

namespace double_description {

void PartTestTraverseVisitor::onVisit(RayReference const& ref) {
  mState = 2;
  mTree->preliminaryTraverse(ref, mCandidates);
  for (EdgeCandidate const& candidate : mCandidates) {
    auto const& positive = *static_cast<DualSetRay const*>(candidate.mFirst.mRay);
    auto const& negative = *static_cast<DualSetRay const*>(candidate.mSecond.mRay);
    if (mFaceProver->isAdjacent(positive, negative))
      createRay(positive, negative);
  }
  mCandidates.clear();
}

void PartTestTraverseVisitor::createRay(DualSetRay const& positive, DualSetRay const& negative) {
  DualSetFace face(positive, negative, mFaceProver->mKnown, mFaceProver->mSpare);
  setBit(face.mPrimary.words(), mStep);
  const std::uint64_t* primary = face.mPrimary.words();
  const std::uint64_t n = face.mPrimary.wordCount();

  const unsigned first = positive.mFirstSecondaryRow;
  const unsigned m = mRowCount;
  auto** slots = m > first ? new LinearDependenceEntry*[m - first] : nullptr;
  const std::uint64_t* secondary = face.mSecondary.words();
  for (std::uint64_t w = 0; w < n; ++w)
    for (std::uint64_t bits = secondary[w]; bits != 0; bits &= bits - 1) {
      const unsigned r = static_cast<unsigned>(64 * w + __builtin_ctzll(bits));
      LinearDependenceEntry* e = positive.dependency(r);
      if (!isSubset(e->mSupport.words(), primary, n)) {
        e = negative.dependency(r);
        if (!isSubset(e->mSupport.words(), primary, n))
          e = mDependencyCache->getLinearDependenceEntry(face.mPrimary, r);
      }
      slots[r - first] = e;
      ++e->mRefCount;
    }

  auto* ray = new DualSetRay(&positive, &negative, mStep, m, std::move(face.mPrimary),
                             std::move(face.mSecondary), slots);
  for (unsigned k = mStep + 1u; k < m; ++k) {
    const int sign = sgn(ray->slack(k));
    if (sign < 0)
      break;
    if (sign == 0) {
      setBit(ray->mSecondary.words(), k);
      LinearDependenceEntry* e = mDependencyCache->getLinearDependenceEntry(ray->mPrimary, k);
      slots[k - first] = e;
      ++e->mRefCount;
    }
  }
  mDependencyCache->update();
  mRayCache->insert(ray, 1);
  ++mCreatedCount;
}

} // namespace double_description
