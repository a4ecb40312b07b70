#ifndef DD_SINGLESETTRAVERSEVISITOR_H
#define DD_SINGLESETTRAVERSEVISITOR_H

#include "core/DDSingleSetRay.h"
#include "iteration/DDPreliminaryTraverseVisitor.h"

namespace double_description {

using SingleSetRayCache = RayCache<SingleSetRay, BitPatternTreeCacheEntry<SingleSetRay>>;

// Accepts every candidate: the tree holds nondegenerate rays only.
class SingleSetTraverseVisitor : public PreliminaryTraverseVisitor<SingleSetRay> {
public:
  SingleSetTraverseVisitor(SearchTree const& tree, unsigned short threshold, unsigned short step,
                           unsigned short rowCount, SingleSetRayCache& cache)
      : PreliminaryTraverseVisitor<SingleSetRay>(tree, threshold, step, rowCount, cache) {}
  ~SingleSetTraverseVisitor() override = default;

  void onVisit(RayReference const& ref) override;

protected:
  // The exact combination of the pair, filed from the row after the step.
  void createRay(EdgeCandidate const& candidate) { createRay(candidate.mFirst, candidate.mSecond); }
  void createRay(RayReference const& first, RayReference const& second);
  void acceptAll(RayReference const& ref);
  // A negative ray with exactly d - 1 zero rows is adjacent to every
  // candidate: accepts them all and returns true; false for any other ray.
  bool acceptAllIfNondegenerate(RayReference const& ref);
};

} // namespace double_description

#endif
