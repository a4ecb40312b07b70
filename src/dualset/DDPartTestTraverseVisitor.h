#ifndef DD_PARTTESTTRAVERSEVISITOR_H
#define DD_PARTTESTTRAVERSEVISITOR_H

#include "core/DDBitList.h"
#include "dualset/DDDualSetRay.h"
#include "dualset/DDFaceProver.h"
#include "dualset/DDLinearDependenceCache.h"
#include "iteration/DDPreliminaryTraverseVisitor.h"

#include <cstdint>

namespace double_description {

using DualSetRayCache = RayCache<DualSetRay, BitPatternTreeCacheEntry<DualSetRay>>;

// The sets of the new ray of an adjacent pair, taken from the face prover.
struct DualSetFace {
  DualSetFace(DualSetRay const& positive, DualSetRay const& negative, BitList const& primary,
              BitList const& secondary)
      : mPositiveRay(&positive), mNegativeRay(&negative), mPrimary(primary),
        mSecondary(secondary) {}

  DualSetRay const* mPositiveRay;
  DualSetRay const* mNegativeRay;
  BitList mPrimary;
  BitList mSecondary;
};

// One pass over the negative rays: every candidate pair found in the tree
// goes through the partitioned-sets test, and each adjacent pair yields a new
// ray with its sets and certificates.
class PartTestTraverseVisitor final : public PreliminaryTraverseVisitor<DualSetRay> {
public:
  PartTestTraverseVisitor(TreeNode const& tree, unsigned short threshold, unsigned short step,
                          unsigned short rowCount, DualSetRayCache& cache,
                          LinearDependenceCache& dependencies, FaceProver& prover)
      : PreliminaryTraverseVisitor<DualSetRay>(tree, threshold, step, rowCount, cache),
        mDependencyCache(&dependencies), mFaceProver(&prover),
        mWordCount(static_cast<std::uint16_t>((rowCount + 63u) / 64u)) {}
  ~PartTestTraverseVisitor() override = default;

  void onVisit(RayReference const& ref) override;

  LinearDependenceCache* mDependencyCache;
  FaceProver* mFaceProver;
  std::uint16_t mWordCount;

private:
  // Builds and files the new ray of an adjacent pair from the prover's state.
  void createRay(DualSetRay const& positive, DualSetRay const& negative);
};

} // namespace double_description

#endif
