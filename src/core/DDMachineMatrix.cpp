#include "core/DDMachineMatrix.h"

#include <climits>

namespace double_description {

static_assert(LONG_MAX == INT64_MAX && LONG_MIN == INT64_MIN, "entries are read as longs");

MachineMatrix::MachineMatrix(Matrix const& matrix)
    : mColumns(matrix.getColumns()),
      mValues(static_cast<std::size_t>(matrix.getRowCount()) * mColumns),
      mFits(matrix.getRowCount(), true) {
  for (unsigned i = 0; i < matrix.getRowCount(); ++i) {
    CalculationVector const& source = matrix.row(i);
    std::int64_t* target = &mValues[static_cast<std::size_t>(i) * mColumns];
    for (unsigned j = 0; j < mColumns; ++j) {
      mpz_srcptr value = source[j].get_mpz_t();
      // -2^63 fits a long but has no negation.
      if (!mpz_fits_slong_p(value) || mpz_cmp_si(value, -LONG_MAX) < 0) {
        mFits[i] = false;
        break;
      }
      target[j] = mpz_get_si(value);
    }
  }
}

} // namespace double_description
