#include "dualset/DDDualSetRayGenerator.h"

#include "core/DDBitOps.h"
#include "core/DDExtremeRayUncompressor.h"
#include "dualset/DDDualSetRayEnumerator.h"

#include <cstdint>
#include <utility>

namespace double_description {

namespace {
unsigned wordsFor(unsigned rows) { return rows == 0 ? 1 : (rows + 63) / 64; }
} // namespace

DualSetRayGenerator::DualSetRayGenerator(Matrix const& original, Matrix const& working,
                                         Matrix const& base)
    : ExtremeRayGenerator<DualSetRay>(original, working, base), mDependencyCache(working),
      mFaceProver(static_cast<unsigned short>(working.getRowCount()),
                  static_cast<unsigned short>(working.getColumns() - 2)) {}

// The rays count references in the certificates, so they go first: the final
// ones and, after an interrupted run, those still held by row entries.
DualSetRayGenerator::~DualSetRayGenerator() {
  mRayCache.clear();
}

void DualSetRayGenerator::calculateBase() {
  const unsigned d = mWorkingMatrix.getColumns();
  const unsigned m = mWorkingMatrix.getRowCount();
  const unsigned words = wordsFor(m);
  const Matrix base = mWorkingMatrix.getSubMatrix(0, d);
  for (unsigned i = 0; i < d; ++i) {
    BitList primary(words);
    BitList secondary(words);
    LinearDependenceEntry** slots = m > d ? new LinearDependenceEntry*[m - d] : nullptr;
    RepresentationVector x(d);
    getInitialVector(base, i, primary, x);
    RayCoordinates coordinates(x);
    const unsigned firstNegative = getPlaneCoeffs(coordinates, primary, secondary, slots);
    mRayCache.insert(new DualSetRay(x.mLength, x.mLength - 1u, std::move(coordinates),
                                    std::move(primary), std::move(secondary), slots,
                                    firstNegative));
  }
}

void DualSetRayGenerator::getInitialVector(Matrix const& base, unsigned long i, BitList& Z,
                                           RepresentationVector& x) const {
  const unsigned d = base.getRowCount();
  ExtremeRayUncompressor uncompressor(d, base.getColumns(), wordsFor(d));
  for (unsigned k = 0; k < d; ++k)
    setBit(Z.words(), k);
  clearBit(Z.words(), i);
  uncompressor.calcExtremeRay(base, Z, x);
  mpz_class s;
  x.calcScalarProduct(mWorkingMatrix.row(static_cast<unsigned>(i)), s);
  if (sgn(s) < 0)
    x.negate();
  x.simplify();
}

unsigned DualSetRayGenerator::getPlaneCoeffs(RayCoordinates const& x, BitList const& primary,
                                             BitList& secondary, LinearDependenceEntry**& slots) {
  const unsigned d = mWorkingMatrix.getColumns();
  const unsigned firstNegative = mRayCache.slacks().markZeroRows(x, d, secondary);
  secondary.forEachSetBit([&](std::uint64_t k) {
    LinearDependenceEntry* e =
        mDependencyCache.getLinearDependenceEntry(primary, static_cast<unsigned>(k));
    slots[k - d] = e;
    ++e->mRefCount;
  });
  mDependencyCache.update();
  return firstNegative;
}

StepStatistics DualSetRayGenerator::enumerate(unsigned long step, Entry& entry) {
  DualSetRayEnumerator enumerator(mWorkingMatrix, static_cast<unsigned short>(step), entry,
                                  mRayCache, mDependencyCache, mFaceProver);
  const StepStatistics statistics = enumerator.enumerate();
  mDependencyCache.releaseUnusedReferences(static_cast<unsigned short>(step));
  return statistics;
}

} // namespace double_description
