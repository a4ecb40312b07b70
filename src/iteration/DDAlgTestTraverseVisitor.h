#ifndef DD_ALGTESTTRAVERSEVISITOR_H
#define DD_ALGTESTTRAVERSEVISITOR_H

#include "core/DDBitList.h"
#include "core/DDMatrix.h"
#include "core/DDRankCalculator.h"
#include "iteration/DDSingleSetTraverseVisitor.h"

namespace double_description {

// A pair is adjacent when the rows of its common zero set have rank d - 2.
class AlgTestTraverseVisitor : public SingleSetTraverseVisitor {
public:
  AlgTestTraverseVisitor(TreeNode const& tree, unsigned short step, Matrix const& working,
                         SingleSetRayCache& cache);
  ~AlgTestTraverseVisitor() override = default;

  void onVisit(RayReference const& ref) override;

  // Whether the rows of face have rank at least d - 2.
  bool isAdjacent(BitList const& face);

  Matrix const* mWorkingMatrix;
  RankCalculator mRankCalculator;
};

} // namespace double_description

#endif
