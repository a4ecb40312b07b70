#include "iteration/DDSingleSetTraverseVisitor.h"

namespace double_description {

void SingleSetTraverseVisitor::createRay(EdgeCandidate const& candidate) {
  auto* ray = new SingleSetRay(static_cast<SingleSetRay const*>(candidate.mFirst.mRay),
                               static_cast<SingleSetRay const*>(candidate.mSecond.mRay), mStep,
                               mRowCount);
  ray->reduceSlacks();
  mRayCache->insert(ray, 1);
  ++mCreatedCount;
}

void SingleSetTraverseVisitor::acceptAll(RayReference const& ref) {
  mState = 2;
  mTree->preliminaryTraverse(ref, mCandidates);
  for (EdgeCandidate const& candidate : mCandidates)
    createRay(candidate);
  mCandidates.clear();
}

void SingleSetTraverseVisitor::onVisit(RayReference const& ref) { acceptAll(ref); }

} // namespace double_description
