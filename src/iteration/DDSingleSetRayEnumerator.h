#ifndef DD_SINGLESETRAYENUMERATOR_H
#define DD_SINGLESETRAYENUMERATOR_H

#include "core/DDMachineMatrix.h"
#include "core/DDSingleSetRay.h"
#include "core/DDWorkerPool.h"
#include "iteration/DDExtremeRayEnumerator.h"

namespace double_description {

class SingleSetRayEnumerator final : public ExtremeRayEnumerator<SingleSetRay> {
public:
  // machine: the working matrix in machine integers for the algebraic test,
  // or null to build it for this step only. workers: threads to share the
  // passes with, or null for one.
  SingleSetRayEnumerator(Matrix const& working, unsigned short step, Entry const& entry,
                         Cache& cache, RunSettings const& settings,
                         MachineMatrix const* machine = nullptr, WorkerPool* workers = nullptr)
      : ExtremeRayEnumerator<SingleSetRay>(working, step, entry, cache, settings, workers),
        mMachineMatrix(machine) {}

  std::uint64_t enumerate_pos_deg(SearchTree const* tree) override;
  std::uint64_t enumerate_pos_nondeg(SearchTree const* tree) override;

private:
  // One pass of the visitors makeVisitor builds over the negative rays.
  template <class MakeVisitor> std::uint64_t pass(MakeVisitor makeVisitor);

  MachineMatrix const* mMachineMatrix;
};

} // namespace double_description

#endif
