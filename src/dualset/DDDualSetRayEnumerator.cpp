#include "dualset/DDDualSetRayEnumerator.h"

#include "dualset/DDPartTestTraverseVisitor.h"
#include "iteration/DDParallelPass.h"

namespace double_description {

std::uint64_t DualSetRayEnumerator::enumerate_pos_deg(SearchTree const* tree) {
  thread_local PassSharing sharing;
  // The threads' drafts of linear dependences are adopted into the store
  // in filing order; one thread uses the enumerator's own.
  const SharingPolicy policy(mThreads.mPool);
  const std::uint64_t queries = mNegative->size();
  const std::size_t chunks =
      mThreads.mWorkers == nullptr
          ? 1
          : sharing.chunks(policy, queries, mPosDegenerate->size() + mPosNondegenerate->size(),
                           mWordCount);
  return timedPass(sharing, policy, chunks, queries, [&]() -> std::uint64_t {
    if (chunks > 1)
      return sharedPass(tree, policy, chunks);
    PartTestTraverseVisitor visitor(*tree, mThreshold, mStep,
                                    static_cast<unsigned short>(mWorkingMatrix->getRowCount()),
                                    *mRayCache, *mAssigner, *mFaceProver);
    mNegative->iterate(visitor);
    return visitor.mCreatedCount;
  });
}

std::uint64_t DualSetRayEnumerator::enumerate_pos_nondeg(SearchTree const* tree) {
  return enumerate_pos_deg(tree);
}

std::uint64_t DualSetRayEnumerator::sharedPass(SearchTree const* tree, SharingPolicy const& policy,
                                               std::size_t chunks) {
  std::vector<std::unique_ptr<PartTestWorker>>& workers = *mThreads.mWorkers;
  workers.resize(mThreads.mPool->size());
  // The drafts are cleared even when the pass fails.
  struct EndOfPass {
    std::vector<std::unique_ptr<PartTestWorker>>& mWorkers;
    LinearDependenceCache& mStore;
    ~EndOfPass() {
      for (std::unique_ptr<PartTestWorker>& worker : mWorkers)
        if (worker)
          worker->mDrafts.clearDrafts();
      mStore.endAdoption();
    }
  } endOfPass{workers, *mStore};

  const auto rows = static_cast<unsigned short>(mWorkingMatrix->getRowCount());
  return parallelPass<DualSetRay>(
      *mNegative, policy, chunks, *mRayCache,
      [&](unsigned thread) {
        std::unique_ptr<PartTestWorker>& worker = workers[thread];
        if (!worker)
          worker = std::make_unique<PartTestWorker>(*mWorkingMatrix, *mStore);
        return PartTestTraverseVisitor(*tree, mThreshold, mStep, rows, *mRayCache,
                                       worker->mAssigner, worker->mFaceProver);
      },
      [&](DualSetRay& ray) {
        ray.countReferences([&](LinearDependenceEntry* e) { return mStore->adopt(e); });
      });
}

} // namespace double_description
