#ifndef DD_DUALSETRAYGENERATOR_H
#define DD_DUALSETRAYGENERATOR_H

#include "core/DDBitList.h"
#include "core/DDMatrix.h"
#include "core/DDRepresentationVector.h"
#include "dualset/DDDualSetRay.h"
#include "dualset/DDFaceProver.h"
#include "dualset/DDLinearDependenceCache.h"
#include "iteration/DDExtremeRayGenerator.h"

#include <gmpxx.h>

#include <memory>

namespace double_description {

// The generator of the partitioned-sets adjacency test. It owns the run's
// certificate store and face prover; every ray is deleted before them.
class DualSetRayGenerator : public ExtremeRayGenerator<DualSetRay> {
public:
  DualSetRayGenerator(Matrix const& original, Matrix const& working, Matrix const& base);
  ~DualSetRayGenerator();

  StepStatistics enumerate(unsigned long step, Entry& entry) override;
  void calculateBase() override;

  // Coordinates of initial ray i into the all-zero x of dimension d; Z
  // becomes the basis rows other than i.
  void getInitialVector(Matrix const& base, unsigned long i, BitList& Z,
                        RepresentationVector& x) const;
  // Walks the slacks of the ray x on rows d .. m - 1: every zero row before
  // the first negative one, which it returns (m when none), joins the
  // secondary set with its certificate in slots.
  unsigned getPlaneCoeffs(RayCoordinates const& x, BitList const& primary, BitList& secondary,
                          LinearDependenceEntry**& slots);

  LinearDependenceCache mDependencyCache;
  FaceProver mFaceProver;
};

} // namespace double_description

#endif
