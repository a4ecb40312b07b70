#include "dualset/DDDualSetRayGenerator.h"

#include "core/DDExtremeRayUncompressor.h"
#include "dualset/DDDualSetRayEnumerator.h"

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace double_description {

DualSetRayGenerator::DualSetRayGenerator(Matrix const& original, Matrix const& working,
                                         Matrix const& base, RunSettings const& settings,
                                         unsigned threads)
    : ExtremeRayGenerator<DualSetRay>(original, working, base, settings, threads),
      mDependencyCache(working),
      mAssigner(mDependencyCache, working.getRowCount(), working.getColumns()),
      mFaceProver(static_cast<unsigned short>(working.getRowCount()),
                  static_cast<unsigned short>(working.getColumns() - 2)) {}

// The rays count references in the certificates, so they go first: the final
// ones and, after an interrupted run, those still held by row entries.
DualSetRayGenerator::~DualSetRayGenerator() { mRayCache.clear(); }

void DualSetRayGenerator::calculateBase() {
  const unsigned d = mWorkingMatrix.getColumns();
  const unsigned m = mWorkingMatrix.getRowCount();
  const Matrix base = mWorkingMatrix.getSubMatrix(0, d);
  for (unsigned i = 0; i < d; ++i) {
    BitList primary(BitList::wordsFor(m));
    RepresentationVector x(d);
    getInitialVector(base, i, primary, x);
    // The zero rows before the first negative one are secondary.
    BitList zero(primary.wordCount());
    RayCoordinates coordinates(x);
    const unsigned firstNegative = mRayCache.slacks().markZeroRows(coordinates, d, zero);
    auto ray = std::make_unique<DualSetRay>(x.mLength, x.mLength - 1u, std::move(coordinates),
                                            std::move(primary), firstNegative);
    std::vector<LinearDependenceEntry*> certificates;
    zero.forEachSetBit([&](std::uint64_t k) {
      certificates.push_back(
          mDependencyCache.getLinearDependenceEntry(ray->primary(), static_cast<unsigned>(k)));
    });
    mDependencyCache.update();
    ray->reserveSecondary(certificates.size());
    for (LinearDependenceEntry* e : certificates)
      ray->addSecondary(e->row(), e);
    mRayCache.insert(ray.release());
  }
}

void DualSetRayGenerator::getInitialVector(Matrix const& base, unsigned long i, BitList& Z,
                                           RepresentationVector& x) const {
  const unsigned d = base.getRowCount();
  ExtremeRayUncompressor uncompressor(d, base.getColumns(),
                                      static_cast<unsigned>(BitList::wordsFor(d)));
  Z.setFirst(d);
  Z.reset(i);
  uncompressor.calcExtremeRay(base, Z, x);
  mpz_class s;
  x.calcScalarProduct(mWorkingMatrix.row(static_cast<unsigned>(i)), s);
  if (sgn(s) < 0)
    x.negate();
  x.simplify();
}

StepStatistics DualSetRayGenerator::enumerate(unsigned long step, Entry& entry) {
  DualSetRayEnumerator enumerator(mWorkingMatrix, static_cast<unsigned short>(step), entry,
                                  mRayCache, mSettings, mDependencyCache, mAssigner, mFaceProver,
                                  {&mWorkers, &mThreadWorkers});
  const StepStatistics statistics = enumerator.enumerate();
  mDependencyCache.releaseUnusedReferences(static_cast<unsigned short>(step));
  return statistics;
}

} // namespace double_description
