#include "dualset/DDCertificateSolver.h"

#include "core/DDArithmetic.h"
#include "core/DDAssert.h"
#include "core/DDMachineMatrix.h"

#include <algorithm>

#include <utility>

namespace double_description {

CertificateSolver::CertificateSolver(MachineMatrix const& rows, unsigned d)
    : mRows(rows), mColumns(d), mWidth(d > 0 ? 2 * d - 1 : 0) {
  const unsigned n = d > 0 ? d - 1 : 0;
  mReduced.resize(static_cast<std::size_t>(n) * mWidth);
  mSetRows.reserve(n);
  mPivotColumns.reserve(n);
}

bool CertificateSolver::prepare(BitList const& set) {
  const unsigned d = mColumns;
  mSetRows.clear();
  set.forEachSetBit([&](std::uint64_t r) { mSetRows.push_back(static_cast<unsigned>(r)); });
  const unsigned n = setSize();
  DD_ASSERT(n + 1 == d);
  for (unsigned i = 0; i < n; ++i) {
    std::int64_t const* row = mRows.row(mSetRows[i]);
    if (row == nullptr)
      return false;
    for (unsigned j = 0; j < d; ++j)
      at(i, j) = row[j];
    for (unsigned j = 0; j < n; ++j)
      at(i, d + j) = i == j ? 1 : 0;
  }

  // Gauss-Jordan by integer row combinations, each row over the gcd of its
  // two multipliers: unlike a fraction-free scheme, a row with a zero in the
  // pivot column is left alone, and the matrices are sparse. Row t then reads
  // E_t * A_S = D_t at pivot column J_t and 0 at the other pivot columns.
  // Columns up to the pivot's are read no more, so only later ones are kept
  // up; the pivot values of earlier rows are tracked aside.
  const MachineArithmetic machine;
  mPivotColumns.clear();
  mPivotValues.clear();
  unsigned t = 0;
  for (unsigned c = 0; c < d && t < n; ++c) {
    unsigned i = t;
    while (i < n && at(i, c) == 0)
      ++i;
    if (i == n)
      continue;
    if (i != t)
      for (unsigned j = c; j < mWidth; ++j)
        std::swap(at(i, j), at(t, j));
    const std::int64_t p = at(t, c);
    std::int64_t const* pivotRow = &at(t, 0);
    for (unsigned u = 0; u < n; ++u) {
      std::int64_t* row = &at(u, 0);
      const std::int64_t e = row[c];
      if (u == t || e == 0)
        continue;
      const auto g = static_cast<std::int64_t>(gcd64(p, e));
      const std::int64_t factor = p / g;
      const std::int64_t multiple = e / g;
      std::uint64_t magnitudes = 0;
      // The rows of E start as unit vectors.
      if (!MachineArithmetic::update<true>(row, pivotRow, factor, multiple, c + 1, mWidth,
                                           magnitudes))
        return false;
      if (u < t) {
        std::int64_t& pivot = mPivotValues[u];
        if (!machine.multiply(pivot, factor, pivot))
          return false;
        magnitudes |= abs64(pivot);
      }
      // Small rows stay as they are: the gcds would cost more than the
      // growth they prevent.
      if (magnitudes >> 24) {
        std::uint64_t content = u < t ? abs64(mPivotValues[u]) : 0;
        for (unsigned j = c + 1; j < mWidth && content != 1; ++j)
          if (row[j] != 0)
            content = gcdUnsigned(content, abs64(row[j]));
        if (content > 1) {
          const auto divisor = static_cast<std::int64_t>(content);
          for (unsigned j = c + 1; j < mWidth; ++j)
            row[j] /= divisor;
          if (u < t)
            mPivotValues[u] /= divisor;
        }
      }
    }
    mPivotColumns.push_back(c);
    mPivotValues.push_back(p);
    ++t;
  }
  DD_ASSERT(t == n);

  // D = lcm of the pivot values; row t of E is scaled by D / D_t, so that
  // D * a_r = sum over t of a_r[J_t] * (row t of E) * A_S.
  mDeterminant = 1;
  for (std::int64_t v : mPivotValues)
    if (!machine.lcm(mDeterminant, v))
      return false;
  mLargestE = 0;
  for (unsigned i = 0; i < n; ++i) {
    const std::int64_t scale = mDeterminant / mPivotValues[i];
    for (unsigned j = d; j < mWidth; ++j) {
      std::int64_t& v = at(i, j);
      if (!machine.multiply(v, scale, v))
        return false;
      mLargestE = std::max(mLargestE, abs64(v));
    }
  }
  return true;
}

bool CertificateSolver::certify(unsigned r, std::int64_t* values) const {
  std::int64_t const* row = mRows.row(r);
  if (row == nullptr)
    return false;
  const unsigned n = setSize();
  const unsigned d = mColumns;
  values[0] = mDeterminant;
  // When the sum of the row's magnitudes times E's largest one fits, no sum
  // can overflow and the products need no checks.
  std::uint64_t weight = 0;
  for (unsigned t = 0; t < n; ++t)
    if (__builtin_add_overflow(weight, abs64(row[mPivotColumns[t]]), &weight))
      weight = UINT64_MAX;
  std::uint64_t bound;
  if (!__builtin_mul_overflow(weight, mLargestE, &bound) && bound <= INT64_MAX) {
    std::int64_t* out = values + 1;
    std::fill(out, out + n, 0);
    for (unsigned t = 0; t < n; ++t) {
      const std::int64_t a = row[mPivotColumns[t]];
      if (a == 0)
        continue;
      std::int64_t const* e = &mReduced[t * mWidth + d];
      for (unsigned i = 0; i < n; ++i)
        out[i] += a * e[i];
    }
    return true;
  }
  for (unsigned i = 0; i < n; ++i) {
    WideInteger sum = 0;
    for (unsigned t = 0; t < n; ++t) {
      const std::int64_t a = row[mPivotColumns[t]];
      if (a == 0)
        continue;
      if (__builtin_add_overflow(sum, static_cast<WideInteger>(a) * at(t, d + i), &sum))
        return false;
    }
    if (!MachineArithmetic::narrow(sum, values[i + 1]))
      return false;
  }
  return true;
}

} // namespace double_description
