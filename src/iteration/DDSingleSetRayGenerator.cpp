#include "iteration/DDSingleSetRayGenerator.h"

#include "core/DDExtremeRayUncompressor.h"
#include "core/DDRepresentationVector.h"
#include "iteration/DDSingleSetRayEnumerator.h"

#include <utility>

namespace double_description {

void SingleSetRayGenerator::calculateBase() {
  const unsigned m = mWorkingMatrix.getRowCount();
  const unsigned words = static_cast<unsigned>(BitList::wordsFor(m));
  ExtremeRayUncompressor uncompressor(m, mWorkingMatrix.getColumns(), words);
  for (unsigned i = 0; i < mWorkingMatrix.getColumns(); ++i) {
    const unsigned d = mWorkingMatrix.getColumns();
    BitList zero(words);
    zero.setFirst(d);
    zero.reset(i);
    RepresentationVector x(d);
    uncompressor.calcExtremeRay(mWorkingMatrix, zero, x);
    RayCoordinates coordinates(x);
    // Zero rows count only up to the first negative one.
    const unsigned firstNegative = mRayCache.slacks().markZeroRows(coordinates, d, zero);
    mRayCache.insert(
        new SingleSetRay(d, d - 1, std::move(coordinates), std::move(zero), firstNegative));
  }
}

StepStatistics SingleSetRayGenerator::enumerate(unsigned long step, Entry& entry) {
  if (!mMachineMatrix && mSettings.mAdjacencyTest == ALGEBRAIC_TEST)
    mMachineMatrix.emplace(mWorkingMatrix);
  SingleSetRayEnumerator enumerator(mWorkingMatrix, static_cast<unsigned short>(step), entry,
                                    mRayCache, mSettings,
                                    mMachineMatrix ? &*mMachineMatrix : nullptr, &mWorkers);
  return enumerator.enumerate();
}

} // namespace double_description
