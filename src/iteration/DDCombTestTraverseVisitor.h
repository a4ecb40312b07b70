#ifndef DD_COMBTESTTRAVERSEVISITOR_H
#define DD_COMBTESTTRAVERSEVISITOR_H

#include "iteration/DDSingleSetTraverseVisitor.h"

namespace double_description {

// A pair is adjacent when no third pattern of the verification tree contains
// its common zero set.
class CombTestTraverseVisitor : public SingleSetTraverseVisitor {
public:
  CombTestTraverseVisitor(TreeNode const& tree, unsigned short threshold, unsigned short step,
                          unsigned short rowCount, SingleSetRayCache& cache, TreeNode* verTree)
      : SingleSetTraverseVisitor(tree, threshold, step, rowCount, cache), mVerTree(verTree) {}
  ~CombTestTraverseVisitor() override = default;

  void onVisit(RayReference const& ref) override;

  TreeNode* mVerTree;
};

} // namespace double_description

#endif
