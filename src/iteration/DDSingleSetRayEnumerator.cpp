#include "iteration/DDSingleSetRayEnumerator.h"

#include "iteration/DDAlgTestTraverseVisitor.h"
#include "iteration/DDCombTestTraverseVisitor.h"

namespace double_description {

std::uint64_t SingleSetRayEnumerator::enumerate_pos_nondeg(TreeNode const* tree) {
  SingleSetTraverseVisitor visitor(*tree, mThreshold, mStep,
                                   static_cast<unsigned short>(mWorkingMatrix->getRowCount()),
                                   *mRayCache);
  mNegative->iterate(visitor);
  return visitor.mCreatedCount;
}

std::uint64_t SingleSetRayEnumerator::enumerate_pos_deg(TreeNode const* tree) {
  if (Options::current()->mAdjacencyTest == COMBINATIONAL_TEST) {
    const TreePointer verTree = createVerTree();
    CombTestTraverseVisitor visitor(*tree, mThreshold, mStep,
                                    static_cast<unsigned short>(mWorkingMatrix->getRowCount()),
                                    *mRayCache, verTree.get());
    mNegative->iterate(visitor);
    return visitor.mCreatedCount;
  }
  AlgTestTraverseVisitor visitor(*tree, mStep, *mWorkingMatrix, *mRayCache, mMachineMatrix);
  mNegative->iterate(visitor);
  return visitor.mCreatedCount;
}

} // namespace double_description
