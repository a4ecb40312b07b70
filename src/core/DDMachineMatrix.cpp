#include "core/DDMachineMatrix.h"

namespace double_description {

MachineMatrix::MachineMatrix(Matrix const& matrix)
    : mColumns(matrix.getColumns()),
      mValues(static_cast<std::size_t>(matrix.getRowCount()) * mColumns),
      mFits(matrix.getRowCount(), true) {
  for (unsigned i = 0; i < matrix.getRowCount(); ++i) {
    CalculationVector const& source = matrix.row(i);
    std::int64_t* target = &mValues[static_cast<std::size_t>(i) * mColumns];
    for (unsigned j = 0; j < mColumns; ++j) {
      if (!mpz_fits_slong_p(source[j].get_mpz_t())) {
        mFits[i] = false;
        break;
      }
      target[j] = mpz_get_si(source[j].get_mpz_t());
    }
  }
}

} // namespace double_description
