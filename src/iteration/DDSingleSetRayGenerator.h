#ifndef DD_SINGLESETRAYGENERATOR_H
#define DD_SINGLESETRAYGENERATOR_H

#include "core/DDMachineMatrix.h"
#include "core/DDSingleSetRay.h"
#include "iteration/DDExtremeRayGenerator.h"

#include <optional>

namespace double_description {

// The generator of the combinatorial and the algebraic adjacency test.
class SingleSetRayGenerator : public ExtremeRayGenerator<SingleSetRay> {
public:
  SingleSetRayGenerator(Matrix const& original, Matrix const& working, Matrix const& base,
                        RunSettings const& settings,
                        unsigned threads = WorkerPool::availableProcessors())
      : ExtremeRayGenerator<SingleSetRay>(original, working, base, settings, threads) {}

  StepStatistics enumerate(unsigned long step, Entry& entry) override;
  void calculateBase() override;

private:
  // The working matrix in machine integers, built for the first step that
  // runs the algebraic test.
  std::optional<MachineMatrix> mMachineMatrix;
};

} // namespace double_description

#endif
