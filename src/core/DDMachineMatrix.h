#ifndef DD_MACHINEMATRIX_H
#define DD_MACHINEMATRIX_H

#include <cstdint>
#include <utility>
#include <vector>

#include "core/DDMatrix.h"

namespace double_description {

// The logical rows of a matrix in 64-bit integers, for kernels that try
// machine arithmetic before exact arithmetic. A row with an entry outside
// the signed 64-bit range has no machine form.
class MachineMatrix {
public:
  explicit MachineMatrix(Matrix const& matrix);

  unsigned getColumns() const { return mColumns; }
  // Row i in machine integers, or null when it does not fit.
  const std::int64_t* row(unsigned i) const {
    return mFits[i] ? &mValues[static_cast<std::size_t>(i) * mColumns] : nullptr;
  }

private:
  unsigned mColumns;
  std::vector<std::int64_t> mValues;
  std::vector<bool> mFits;
};

// Non-negative gcd of two machine integers.
inline std::int64_t gcd64(std::int64_t a, std::int64_t b) {
  std::uint64_t x = a < 0 ? 0 - static_cast<std::uint64_t>(a) : static_cast<std::uint64_t>(a);
  std::uint64_t y = b < 0 ? 0 - static_cast<std::uint64_t>(b) : static_cast<std::uint64_t>(b);
  // Unit entries are the rule in constraint matrices.
  if (x == 1 || y == 1)
    return 1;
  if (x == y || y == 0)
    return static_cast<std::int64_t>(x);
  if (x == 0)
    return static_cast<std::int64_t>(y);
  // Binary gcd: no division.
  const int shift = __builtin_ctzll(x | y);
  x >>= __builtin_ctzll(x);
  do {
    y >>= __builtin_ctzll(y);
    if (x > y)
      std::swap(x, y);
    y -= x;
  } while (y != 0);
  return static_cast<std::int64_t>(x << shift);
}

// Divides the row by the gcd of its entries; the rank is unchanged.
inline void removeContent(std::int64_t* row, unsigned d) {
  std::int64_t g = 0;
  for (unsigned j = 0; j < d && g != 1; ++j)
    if (row[j] != 0)
      g = gcd64(g, row[j]);
  if (g > 1)
    for (unsigned j = 0; j < d; ++j)
      row[j] /= g;
}

} // namespace double_description

#endif
