#include "core/DDMachineMatrix.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <functional>

namespace double_description {

static_assert(LONG_MAX == INT64_MAX && LONG_MIN == INT64_MIN, "entries are read as longs");

namespace {

// The length bits of a row without a machine form: far beyond any bound a
// caller would accept.
constexpr double UNBOUNDED = 1e9;

} // namespace

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
  mLengthBits.reserve(matrix.getRowCount());
  for (unsigned i = 0; i < matrix.getRowCount(); ++i) {
    const std::int64_t* values = row(i);
    if (values == nullptr) {
      mLengthBits.push_back(UNBOUNDED);
      continue;
    }
    long double squares = 0;
    for (unsigned j = 0; j < mColumns; ++j)
      squares += static_cast<long double>(values[j]) * static_cast<long double>(values[j]);
    mLengthBits.push_back(squares == 0 ? -HUGE_VAL : static_cast<double>(std::log2(squares)) / 2);
  }
  std::sort(mLengthBits.begin(), mLengthBits.end(), std::greater<double>());
}

unsigned MachineMatrix::minorBits(unsigned k) const {
  if (k == 0)
    return 1; // the empty minor is 1
  if (k > mLengthBits.size())
    return 0; // no such submatrix
  double bits = 0;
  for (unsigned i = 0; i < k; ++i)
    bits += mLengthBits[i];
  if (std::isinf(bits))
    return 0; // fewer than k nonzero rows: every k x k minor is 0
  // The margin covers the rounding of the logarithms many times over.
  const double bound = std::floor(bits + 1e-6) + 1;
  return bound >= UINT_MAX ? UINT_MAX : static_cast<unsigned>(std::max(bound, 0.0));
}

} // namespace double_description
