#include "iteration/DDSingleSetRayEnumerator.h"

#include "iteration/DDAlgTestTraverseVisitor.h"
#include "iteration/DDCombTestTraverseVisitor.h"
#include "iteration/DDParallelPass.h"

namespace double_description {

template <class MakeVisitor> std::uint64_t SingleSetRayEnumerator::pass(MakeVisitor makeVisitor) {
  const std::uint64_t work = passWork(mNegative->size(),
                                      mPosDegenerate->size() + mPosNondegenerate->size(), mWordCount);
  return parallelPass<SingleSetRay>(*mNegative, SharingPolicy(mWorkers), work, *mRayCache,
                                    makeVisitor);
}

std::uint64_t SingleSetRayEnumerator::enumerate_pos_nondeg(SearchTree const* tree) {
  const auto rows = static_cast<unsigned short>(mWorkingMatrix->getRowCount());
  return pass([&] { return SingleSetTraverseVisitor(*tree, mThreshold, mStep, rows, *mRayCache); });
}

std::uint64_t SingleSetRayEnumerator::enumerate_pos_deg(SearchTree const* tree) {
  const auto rows = static_cast<unsigned short>(mWorkingMatrix->getRowCount());
  if (mSettings->mAdjacencyTest == COMBINATIONAL_TEST) {
    const SearchTree verTree = createVerTree();
    return pass([&] {
      return CombTestTraverseVisitor(*tree, mThreshold, mStep, rows, *mRayCache, &verTree);
    });
  }
  return pass([&] {
    return AlgTestTraverseVisitor(*tree, mStep, *mWorkingMatrix, *mRayCache, mMachineMatrix);
  });
}

} // namespace double_description
