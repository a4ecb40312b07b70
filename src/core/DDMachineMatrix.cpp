#include "core/DDMachineMatrix.h"

#include "core/DDArithmetic.h"

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
  std::vector<double> lengthBits;
  lengthBits.reserve(matrix.getRowCount());
  for (unsigned i = 0; i < matrix.getRowCount(); ++i) {
    const std::int64_t* values = row(i);
    if (values == nullptr) {
      lengthBits.push_back(UNBOUNDED);
      continue;
    }
    long double squares = 0;
    for (unsigned j = 0; j < mColumns; ++j)
      squares += static_cast<long double>(values[j]) * static_cast<long double>(values[j]);
    lengthBits.push_back(squares == 0 ? -HUGE_VAL : static_cast<double>(std::log2(squares)) / 2);
  }
  std::vector<unsigned> order(matrix.getRowCount());
  for (unsigned i = 0; i < order.size(); ++i)
    order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [&](unsigned a, unsigned b) { return lengthBits[a] > lengthBits[b]; });
  if (!takeIndependentRows(order, lengthBits)) {
    mLengthBits.clear();
    for (unsigned i : order)
      mLengthBits.push_back(lengthBits[i]);
  }
}

// The rows of a nonzero minor are independent, so Hadamard's bound needs
// only the lengths of independent rows: those of the rows taken longest
// first while independent of the rows taken, whose product is the largest
// over all independent sets of each size (the greedy basis of a matroid).
bool MachineMatrix::takeIndependentRows(std::vector<unsigned> const& order,
                                        std::vector<double> const& lengthBits) {
  const unsigned d = mColumns;
  std::vector<std::int64_t> pivots;
  std::vector<unsigned> pivotColumns;
  std::vector<std::int64_t> x(d);
  for (unsigned i : order) {
    if (pivotColumns.size() == d || std::isinf(lengthBits[i]))
      break;
    std::int64_t const* a = row(i);
    if (a == nullptr)
      return false;
    std::copy(a, a + d, x.begin());
    for (unsigned k = 0; k < pivotColumns.size(); ++k) {
      const unsigned col = pivotColumns[k];
      if (x[col] == 0)
        continue;
      std::uint64_t magnitudes = 0;
      if (!MachineArithmetic::cancel(x.data(), &pivots[std::size_t(k) * d], col, 0, d, magnitudes,
                                     INT64_MAX))
        return false;
      removeContent(x.data(), d);
    }
    const auto pivot = std::find_if(x.begin(), x.end(), [](std::int64_t v) { return v != 0; });
    if (pivot == x.end())
      continue;
    pivotColumns.push_back(static_cast<unsigned>(pivot - x.begin()));
    pivots.insert(pivots.end(), x.begin(), x.end());
    mLengthBits.push_back(lengthBits[i]);
  }
  return true;
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
