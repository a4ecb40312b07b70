#include "dualset/DDLinearDependenceCache.h"

#include "core/DDUtilsFactory.h"

#include <memory>
#include <sstream>

namespace double_description {

LinearDependenceCache::LinearDependenceCache(Matrix const& working)
    : mWorkingMatrix(&working),
      mSolver(working.getColumns(), working.getRowCount(),
              BitList::wordsFor(working.getRowCount())),
      mDirty(false) {
  const unsigned d = working.getColumns();
  const unsigned m = working.getRowCount();
  const std::uint64_t words = BitList::wordsFor(m);
  // Entries point at their row's list, so the lists must never move.
  if (m > d)
    mVectors.reserve(m - d);
  for (unsigned r = d; r < m; ++r)
    mVectors.emplace_back(r, words);
}

LinearDependenceEntry* LinearDependenceCache::getLinearDependenceEntry(BitList const& primary,
                                                                       unsigned long r) {
  LinearDependenceVector& v = mVectors[r - mWorkingMatrix->getColumns()];
  if (LinearDependenceEntry* e = v.find(primary))
    return e;
  LinearDependenceEntry* e =
      v.adopt(std::make_unique<LinearDependenceEntry>(primary.wordCount(), r + 1));
  mPending.push_back(e);
  if (!mDirty) {
    mSolver.load(*mWorkingMatrix, primary);
    mDirty = true;
  }
  mSolver.load(*mWorkingMatrix, static_cast<unsigned>(r));
  return e;
}

void LinearDependenceCache::update() {
  if (!mDirty)
    return;
  mSolver.transformToUpperTriangularMatrix();
  const unsigned R = mSolver.getRowsInUse();
  for (unsigned p = R; p-- > 0;)
    if (sgn(mSolver.row(p)[p]) != 0)
      mSolver.eliminateColumnUp(0, p + 1, p);
  mSolver.prepare_for_output(R - 1);
  mDirty = false;

  BitList const& loaded = mSolver.mLoadedSet;
  mpz_class& g = UtilsFactory::CALC_UTILS.accumulator();
  while (!mPending.empty()) {
    LinearDependenceEntry& e = *mPending.back();
    const unsigned c = mSolver.getColsInUse() - 1;
    e.mValues[0] = mSolver.row(0)[0];
    g = e.mValues[0];
    unsigned i = 0;
    loaded.forEachSetBit([&](std::uint64_t j) {
      mpz_class const& y = mSolver.row(i++)[c];
      if (sgn(y) == 0)
        return;
      e.appendCoefficient(j, y);
      mpz_gcd(g.get_mpz_t(), g.get_mpz_t(), y.get_mpz_t());
    });
    if (sgn(g) == 0) {
      // One column and a zero row: no primary row to pivot on, and 1 * a_r = 0.
      e.mValues[0] = 1;
    } else if (mpz_cmp_ui(g.get_mpz_t(), 1) != 0) {
      for (mpz_class& value : e.mValues)
        mpz_divexact(value.get_mpz_t(), value.get_mpz_t(), g.get_mpz_t());
    }
    mSolver.setColsInUse(c);
    e.owner()->appendPattern(e.support());
    mPending.pop_back();
  }
}

void LinearDependenceCache::releaseUnusedReferences(unsigned short step) {
  const std::uint32_t d = mWorkingMatrix->getColumns();
  for (std::uint16_t i = 0; static_cast<std::uint32_t>(i) + d < step; ++i)
    mVectors[i].freeUnused();
}

std::uint64_t LinearDependenceCache::getSize() const {
  std::uint64_t size = 0;
  for (LinearDependenceVector const& v : mVectors)
    size += v.certificates().size();
  return size;
}

std::string LinearDependenceCache::toString() const {
  std::ostringstream out;
  for (std::size_t i = 0; i < mVectors.size(); ++i)
    out << "Cell " << i << ":" << mVectors[i].toString() << "\n";
  return out.str();
}

} // namespace double_description
