#include "core/DDExtremeRayUncompressor.h"

#include "core/DDUtilsFactory.h"

namespace double_description {

void ExtremeRayUncompressor::load(double_description::Matrix const& m, BitList const& set) {
  const unsigned d = m.getColumns();
  const std::uint64_t* words = set.words();
  unsigned k = 0;
  for (std::uint32_t w = 0; w < mSetWords; ++w) {
    for (std::uint64_t bits = words[w]; bits != 0; bits &= bits - 1) {
      const CalculationVector& source = m.row(64 * w + __builtin_ctzll(bits));
      CalculationVector& target = row(k);
      for (unsigned j = 0; j < d; ++j)
        mpz_set(target[j].get_mpz_t(), source[j].get_mpz_t());
      ++k;
    }
  }
  mRowsInUse = k;
  mColsInUse = d;
}

void ExtremeRayUncompressor::calcExtremeRay(RepresentationVector& x) const {
  const unsigned n = mRowsInUse;
  if (n == 0) {
    x.setValue(0, 1L);
    return;
  }
  const unsigned last = getColumns() - 1;
  mpz_class& g = UtilsFactory::CALC_UTILS.mInt[1];
  mpz_neg(g.get_mpz_t(), row(0)[0].get_mpz_t());
  x.setValue(last, g);
  for (unsigned i = 0; i < n; ++i) {
    const mpz_class& v = row(i)[last];
    if (sgn(v) != 0) {
      x.setValue(i, v);
      mpz_gcd(g.get_mpz_t(), g.get_mpz_t(), v.get_mpz_t());
    }
  }
  if (mpz_cmp_ui(g.get_mpz_t(), 1) != 0)
    for (mpz_class& value : x.mValues)
      mpz_divexact(value.get_mpz_t(), value.get_mpz_t(), g.get_mpz_t());
}

void ExtremeRayUncompressor::calcExtremeRay(double_description::Matrix const& m, BitList const& z,
                                            RepresentationVector& x) {
  load(m, z);
  transformToUpperTriangularMatrix();
  cut_zero_rows();
  for (unsigned p = mRowsInUse; p-- > 0;)
    if (sgn(row(p)[p]) != 0)
      eliminateColumnUp(0, p + 1, p);
  prepare_for_output(getColumns() - 1);
  calcExtremeRay(x);

  // Orientation by the first position outside z.
  const std::uint64_t count = z.wordCount();
  const std::uint64_t* words = z.words();
  std::uint64_t w = 0;
  while (w + 1 < count && words[w] == ~std::uint64_t(0))
    ++w;
  const std::uint64_t outside = ~words[w];
  if (outside == 0)
    return;
  const std::uint64_t position = 64 * w + __builtin_ctzll(outside);
  if (position >= m.getRowCount())
    return;
  mpz_class product;
  x.calcScalarProduct(m.row(static_cast<unsigned>(position)), product);
  if (sgn(product) < 0)
    x.negate();
}

} // namespace double_description
