#include "core/DDCalculationMatrix.h"

#include <cstdint>
#include <sstream>
#include <utility>

#include "core/DDUtilsFactory.h"

namespace double_description {

namespace {
// row := row * factor - pivot * multiple, over columns from .. to - 1; the
// subtraction is skipped where the pivot entry is zero.
inline void updateRow(CalculationVector& row, CalculationVector const& pivot,
                      mpz_class const& factor, mpz_class const& multiple, unsigned from,
                      unsigned to) {
  const bool unitFactor = mpz_cmp_ui(factor.get_mpz_t(), 1) == 0;
  for (unsigned j = from; j < to; ++j) {
    mpz_ptr e = row[j].get_mpz_t();
    if (!unitFactor)
      mpz_mul(e, e, factor.get_mpz_t());
    mpz_srcptr b = pivot[j].get_mpz_t();
    if (mpz_sgn(b) != 0)
      mpz_submul(e, multiple.get_mpz_t(), b);
  }
}
} // namespace

void CalculationMatrix::transformToUpperTriangularMatrix() {
  const unsigned n = mRowsInUse;
  if (n <= 1)
    return;
  mpz_class& pivotFactor = UtilsFactory::CALC_UTILS.pivotFactor();
  mpz_class& multiple = UtilsFactory::CALC_UTILS.entryFactor();
  unsigned r = 0;
  unsigned col = 0;
  while (col + 1 < getColumns()) {
    unsigned k = r;
    while (k < n && sgn(row(k)[col]) == 0)
      ++k;
    if (k < n) {
      if (k != r)
        std::swap(mRowOrder[r], mRowOrder[k]);
      const CalculationVector& pivot = row(r);
      mpz_srcptr p = pivot[col].get_mpz_t();
      const unsigned c = getColumns();
      for (unsigned l = r + 1; l < n; ++l) {
        CalculationVector& target = row(l);
        mpz_ptr a = target[col].get_mpz_t();
        if (mpz_sgn(a) == 0)
          continue;
        mpz_gcd(pivotFactor.get_mpz_t(), p, a);
        mpz_divexact(multiple.get_mpz_t(), a, pivotFactor.get_mpz_t());
        mpz_divexact(pivotFactor.get_mpz_t(), p, pivotFactor.get_mpz_t());
        mpz_set_ui(a, 0);
        updateRow(target, pivot, pivotFactor, multiple, col + 1, c);
      }
      ++r;
    }
    ++col;
    if (r >= n - 1)
      break;
  }
}

void CalculationMatrix::eliminateColumnUp(unsigned long first, unsigned long last,
                                          unsigned long col) {
  const unsigned p = static_cast<std::uint16_t>(last - 1);
  if (first >= p)
    return;
  mpz_class& pivotFactor = UtilsFactory::CALC_UTILS.pivotFactor();
  mpz_class& multiple = UtilsFactory::CALC_UTILS.entryFactor();
  const CalculationVector& pivot = row(p);
  mpz_srcptr q = pivot[col].get_mpz_t();
  const unsigned c = getColumns();
  for (unsigned a = static_cast<unsigned>(first); a < p; ++a) {
    CalculationVector& target = row(a);
    mpz_ptr e = target[col].get_mpz_t();
    if (mpz_sgn(e) == 0)
      continue;
    mpz_gcd(pivotFactor.get_mpz_t(), q, e);
    mpz_divexact(multiple.get_mpz_t(), e, pivotFactor.get_mpz_t());
    mpz_divexact(pivotFactor.get_mpz_t(), q, pivotFactor.get_mpz_t());
    mpz_set_ui(e, 0);
    if (mpz_cmp_ui(pivotFactor.get_mpz_t(), 1) != 0)
      for (unsigned j = a; j < col; ++j)
        mpz_mul(target[j].get_mpz_t(), target[j].get_mpz_t(), pivotFactor.get_mpz_t());
    updateRow(target, pivot, pivotFactor, multiple, static_cast<unsigned>(col) + 1, c);
  }
}

std::string CalculationMatrix::toString() const {
  std::ostringstream out;
  out << "################################## r = " << mRowsInUse << ", c = " << mColsInUse
      << "################################\n";
  for (unsigned i = 0; i < mRowsInUse; ++i) {
    out << "|\t";
    for (unsigned j = 0; j < mColsInUse; ++j)
      out << row(i)[j] << '\t';
    out << "|\n";
  }
  out << std::string(73, '#') << '\n';
  return out.str();
}

} // namespace double_description
