#ifndef DD_DUALSETRAYGENERATOR_H
#define DD_DUALSETRAYGENERATOR_H

#include "core/DDBitList.h"
#include "core/DDMatrix.h"
#include "core/DDRepresentationVector.h"
#include "dualset/DDCertificateAssigner.h"
#include "dualset/DDDualSetRay.h"
#include "dualset/DDFaceProver.h"
#include "dualset/DDLinearDependenceCache.h"
#include "dualset/DDPartTestWorker.h"
#include "iteration/DDExtremeRayGenerator.h"

#include <memory>
#include <vector>

namespace double_description {

// The generator of the partitioned-sets adjacency test. It owns the run's
// certificate store and face prover; every ray is deleted before them. Its
// steps run on the calling thread whatever the thread count.
class DualSetRayGenerator : public ExtremeRayGenerator<DualSetRay> {
public:
  DualSetRayGenerator(Matrix const& original, Matrix const& working, Matrix const& base,
                      RunSettings const& settings,
                      unsigned threads = WorkerPool::availableProcessors());
  ~DualSetRayGenerator() override;

  StepStatistics enumerate(unsigned long step, Entry& entry) override;
  void calculateBase() override;

  LinearDependenceCache const& dependencyCache() const { return mDependencyCache; }
  // The prover of the pairs tested on the calling thread.
  FaceProver const& faceProver() const { return mFaceProver; }

private:
  // Coordinates of initial ray i into the all-zero x of dimension d; Z
  // becomes the basis rows other than i.
  void getInitialVector(Matrix const& base, unsigned long i, BitList& Z,
                        RepresentationVector& x) const;

  LinearDependenceCache mDependencyCache;
  CertificateAssigner mAssigner;
  FaceProver mFaceProver;
  // Per thread of a shared pass; deleted before the store they draft on.
  std::vector<std::unique_ptr<PartTestWorker>> mThreadWorkers;
};

} // namespace double_description

#endif
