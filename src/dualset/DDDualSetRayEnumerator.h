#ifndef DD_DUALSETRAYENUMERATOR_H
#define DD_DUALSETRAYENUMERATOR_H

#include "core/DDSharingPolicy.h"
#include "core/DDWorkerPool.h"
#include "dualset/DDCertificateAssigner.h"
#include "dualset/DDDualSetRay.h"
#include "dualset/DDFaceProver.h"
#include "dualset/DDLinearDependenceCache.h"
#include "dualset/DDPartTestWorker.h"
#include "iteration/DDExtremeRayEnumerator.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace double_description {

// The threads a partitioned-sets run shares its passes with, and what each
// of them works with, made when first needed.
struct PartTestThreads {
  WorkerPool* mPool;
  std::vector<std::unique_ptr<PartTestWorker>>* mWorkers;
};

// The adjacency search of one partitioned-sets step: both positive trees get
// the full partitioned-sets test.
class DualSetRayEnumerator final : public ExtremeRayEnumerator<DualSetRay> {
public:
  // store, assigner and prover serve a pass on the calling thread alone;
  // threads share the larger passes.
  DualSetRayEnumerator(Matrix const& working, unsigned short step, Entry const& entry, Cache& cache,
                       RunSettings const& settings, LinearDependenceCache& store,
                       CertificateAssigner& assigner, FaceProver& prover, PartTestThreads threads)
      : ExtremeRayEnumerator<DualSetRay>(working, step, entry, cache, settings, threads.mPool),
        mStore(&store), mAssigner(&assigner), mFaceProver(&prover), mThreads(threads) {}

  std::uint64_t enumerate_pos_deg(SearchTree const* tree) override;
  std::uint64_t enumerate_pos_nondeg(SearchTree const* tree) override;

private:
  // The pass over tree on the threads: each builds rays over a draft store,
  // whose certificates the store adopts in the order of the rays.
  std::uint64_t sharedPass(SearchTree const* tree, SharingPolicy const& policy, std::size_t chunks);

  LinearDependenceCache* mStore;
  CertificateAssigner* mAssigner;
  FaceProver* mFaceProver;
  PartTestThreads mThreads;
};

} // namespace double_description

#endif
