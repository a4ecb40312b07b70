#include "iteration/DDSingleSetRayEnumerator.h"

#include "iteration/DDAlgTestTraverseVisitor.h"
#include "iteration/DDCombTestTraverseVisitor.h"
#include "iteration/DDParallelPass.h"

namespace double_description {

template <class MakeVisitor> std::uint64_t SingleSetRayEnumerator::pass(MakeVisitor makeVisitor) {
  // Each kind of pass, one a visitor, times its own.
  thread_local PassSharing sharing;
  const SharingPolicy policy(mWorkers);
  const std::uint64_t queries = mNegative->size();
  const std::size_t chunks = sharing.chunks(
      policy, queries, mPosDegenerate->size() + mPosNondegenerate->size(), mWordCount);
  return timedPass(sharing, policy, chunks, queries, [&] {
    return parallelPass<SingleSetRay>(*mNegative, policy, chunks, *mRayCache, makeVisitor);
  });
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
