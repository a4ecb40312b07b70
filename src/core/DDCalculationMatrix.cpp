#include "core/DDCalculationMatrix.h"

#include <cstdint>
#include <sstream>
#include <utility>

#include "core/DDElimination.h"
#include "core/DDUtilsFactory.h"

namespace double_description {

void CalculationMatrix::transformToUpperTriangularMatrix() {
  const unsigned n = mRowsInUse;
  if (n <= 1)
    return;
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
      const unsigned c = getColumns();
      for (unsigned l = r + 1; l < n; ++l) {
        CalculationVector& target = row(l);
        if (sgn(target[col]) != 0)
          cancelEntry(target, pivot, col, col + 1, c);
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
  mpz_srcptr pivotFactor = UtilsFactory::CALC_UTILS.pivotFactor().get_mpz_t();
  const CalculationVector& pivot = row(p);
  const unsigned c = getColumns();
  const unsigned column = static_cast<unsigned>(col);
  for (unsigned a = static_cast<unsigned>(first); a < p; ++a) {
    CalculationVector& target = row(a);
    if (sgn(target[column]) == 0)
      continue;
    cancelEntry(target, pivot, column, column + 1, c);
    // The pivot row is zero between the diagonal and col: those entries
    // are only scaled.
    if (mpz_cmp_ui(pivotFactor, 1) != 0)
      for (unsigned j = a; j < column; ++j)
        mpz_mul(target[j].get_mpz_t(), target[j].get_mpz_t(), pivotFactor);
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
