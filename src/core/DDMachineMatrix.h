#ifndef DD_MACHINEMATRIX_H
#define DD_MACHINEMATRIX_H

#include <cstdint>
#include <utility>
#include <vector>

#include "core/DDMatrix.h"

namespace double_description {

// The logical rows of a matrix in 64-bit integers, for kernels that try
// machine arithmetic before exact arithmetic. Only the symmetric range
// |v| <= 2^63 - 1 is admitted, so that negation and absolute value never
// wrap: a row with an entry outside it, -2^63 included, has no machine form.
// The kernels keep that range for every value they derive, and hand a row
// to the exact integers as soon as a value would leave it.
class MachineMatrix {
public:
  explicit MachineMatrix(Matrix const& matrix);

  unsigned getColumns() const { return mColumns; }
  // Row i in machine integers, or null when it does not fit.
  const std::int64_t* row(unsigned i) const {
    return mFits[i] ? &mValues[static_cast<std::size_t>(i) * mColumns] : nullptr;
  }
  // A bit count b with |det| < 2^b for every k x k submatrix: Hadamard's
  // bound, the product of the k longest lengths of independent rows, rounded
  // up. Very large when a row has no machine form.
  unsigned minorBits(unsigned k) const;

private:
  // Keeps the lengths of the rows of a greedy basis taken in order; false
  // when the elimination leaves machine integers.
  bool takeIndependentRows(std::vector<unsigned> const& order,
                           std::vector<double> const& lengthBits);

  unsigned mColumns;
  std::vector<std::int64_t> mValues;
  std::vector<bool> mFits;
  // log2 of the lengths of the rows that bound the minors, longest first:
  // the rows of a greedy basis, or all rows when it could not be found; rows
  // without a machine form count as unbounded.
  std::vector<double> mLengthBits;
};

// |a| in unsigned arithmetic, defined for every a (2^63 for -2^63).
inline std::uint64_t abs64(std::int64_t a) {
  return a < 0 ? 0 - static_cast<std::uint64_t>(a) : static_cast<std::uint64_t>(a);
}

// gcd(x, y), 0 for two zeros.
inline std::uint64_t gcdUnsigned(std::uint64_t x, std::uint64_t y) {
  // Unit entries are the rule in constraint matrices.
  if (x == 1 || y == 1)
    return 1;
  if (x == y || y == 0)
    return x;
  if (x == 0)
    return y;
  // Binary gcd: no division.
  const int shift = __builtin_ctzll(x | y);
  x >>= __builtin_ctzll(x);
  do {
    y >>= __builtin_ctzll(y);
    if (x > y)
      std::swap(x, y);
    y -= x;
  } while (y != 0);
  return x << shift;
}

// gcd(|a|, |b|), defined for every pair: it is 2^63 exactly when one is -2^63
// and the other 0 or -2^63, so within the symmetric range it fits an int64_t.
inline std::uint64_t gcd64(std::int64_t a, std::int64_t b) {
  return gcdUnsigned(abs64(a), abs64(b));
}

// Divides the row by the gcd of its entries, leaving it primitive (or zero);
// the rank is unchanged. Defined for every row, -2^63 included.
inline void removeContent(std::int64_t* row, unsigned d) {
  std::uint64_t g = 0;
  for (unsigned j = 0; j < d && g != 1; ++j)
    if (row[j] != 0)
      g = gcdUnsigned(g, abs64(row[j]));
  if (g <= 1)
    return;
  if (__builtin_expect(g >> 63, 0)) {
    // Content 2^63: every entry is 0 or -2^63.
    for (unsigned j = 0; j < d; ++j)
      row[j] = row[j] < 0 ? -1 : 0;
    return;
  }
  const auto divisor = static_cast<std::int64_t>(g);
  for (unsigned j = 0; j < d; ++j)
    row[j] /= divisor;
}

} // namespace double_description

#endif
