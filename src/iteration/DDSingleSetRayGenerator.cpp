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

    auto* ray = new SingleSetRay(d, d - 1, m - d, std::move(zero));
    // Zero rows count only up to the first negative one.
    bool negativeSeen = false;
    for (unsigned k = d; k < m; ++k) {
      mpz_class& slack = ray->slack(k);
      x.calcScalarProduct(mWorkingMatrix.row(k), slack);
      if (negativeSeen)
        continue;
      const int sign = sgn(slack);
      if (sign == 0)
        ray->mActiveSet.set(k);
      else if (sign < 0)
        negativeSeen = true;
    }
    mRayCache.insert(ray, 0);
  }
}

StepStatistics SingleSetRayGenerator::enumerate(unsigned long step, Entry& entry) {
  if (!mMachineMatrix && Options::current()->mAdjacencyTest == ALGEBRAIC_TEST)
    mMachineMatrix.emplace(mWorkingMatrix);
  SingleSetRayEnumerator enumerator(mWorkingMatrix, static_cast<unsigned short>(step), entry,
                                    mRayCache, mMachineMatrix ? &*mMachineMatrix : nullptr);
  return enumerator.enumerate();
}

} // namespace double_description
