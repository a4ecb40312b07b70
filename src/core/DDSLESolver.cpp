#include "core/DDSLESolver.h"

#include "core/DDBitOps.h"
#include "core/DDUtilsFactory.h"

namespace double_description {

void SLESolver::load(double_description::Matrix const& m, BitList const& set) {
  const unsigned d = m.getColumns();
  const std::uint64_t* words = set.words();
  unsigned t = 0;
  forEachSetBit(words, mSetWords, [&](std::uint64_t r) {
    const CalculationVector& source = m.row(static_cast<unsigned>(r));
    for (unsigned j = 0; j < d; ++j)
      row(j)[t] = source[j];
    ++t;
  });
  mLoadedSet = set;
  mRowsInUse = d;
  mColsInUse = t;
}

void SLESolver::load(double_description::Matrix const& m, unsigned r) {
  const unsigned d = m.getColumns();
  const unsigned t = mColsInUse;
  const CalculationVector& source = m.row(r);
  for (unsigned j = 0; j < d; ++j)
    row(j)[t] = source[j];
  mColsInUse = t + 1;
}

void SLESolver::cut_zero_rows() {
  unsigned n = getColumns() > 0 ? getColumns() - 1 : 0;
  // Never more rows than are stored.
  if (n > getRowCount())
    n = getRowCount();
  mRowsInUse = n;
  while (mRowsInUse > 0 && sgn(row(mRowsInUse - 1)[mRowsInUse - 1]) == 0) {
    --mRowsInUse;
    --mColsInUse;
  }
}

void SLESolver::prepare_for_output(unsigned first) {
  const unsigned n = mRowsInUse;
  if (n == 0)
    return;
  mpz_class& common = UtilsFactory::CALC_UTILS.accumulator();
  mpz_class& factor = UtilsFactory::CALC_UTILS.pivotFactor();
  common = row(0)[0];
  for (unsigned i = 1; i < n; ++i) {
    mpz_srcptr diagonal = row(i)[i].get_mpz_t();
    if (mpz_sgn(diagonal) != 0)
      mpz_lcm(common.get_mpz_t(), common.get_mpz_t(), diagonal);
  }
  const unsigned c = getColumns();
  for (unsigned i = 0; i < n; ++i) {
    CalculationVector& r = row(i);
    mpz_ptr diagonal = r[i].get_mpz_t();
    if (mpz_sgn(diagonal) == 0)
      continue;
    mpz_divexact(factor.get_mpz_t(), common.get_mpz_t(), diagonal);
    if (mpz_cmp_ui(factor.get_mpz_t(), 1) != 0)
      for (unsigned j = first; j < c; ++j)
        mpz_mul(r[j].get_mpz_t(), r[j].get_mpz_t(), factor.get_mpz_t());
    mpz_set(diagonal, common.get_mpz_t());
  }
}

} // namespace double_description
