#ifndef DD_SINGLESETRAYGENERATOR_H
#define DD_SINGLESETRAYGENERATOR_H

#include "core/DDSingleSetRay.h"
#include "iteration/DDExtremeRayGenerator.h"

namespace double_description {

// The generator of the combinatorial and the algebraic adjacency test.
class SingleSetRayGenerator : public ExtremeRayGenerator<SingleSetRay> {
public:
  SingleSetRayGenerator(Matrix const& original, Matrix const& working, Matrix const& base)
      : ExtremeRayGenerator<SingleSetRay>(original, working, base) {}

  StepStatistics enumerate(unsigned long step, Entry& entry) override;
  void calculateBase() override;
};

} // namespace double_description

#endif
