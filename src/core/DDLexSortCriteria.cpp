#include "core/DDLexSortCriteria.h"

#include <cstdint>

namespace double_description {

int LexSortCriteria::cmp(CalculationVector const& a, CalculationVector const& b) const {
  const std::size_t n = a.size();
  for (std::size_t i = 0; i < n; ++i) {
    const int c = ::cmp(a[i], b[i]);
    if (c > 0)
      return 1;
    if (c < 0)
      return -1;
  }
  return 0;
}

int ZeroSortCriteria::cmp(CalculationVector const& a, CalculationVector const& b) const {
  const std::size_t n = a.size();
  std::int16_t z = 0;
  for (std::size_t i = 0; i < n; ++i) {
    if (sgn(a[i]) == 0)
      ++z;
    if (sgn(b[i]) == 0)
      --z;
  }
  return z > 0 ? 1 : (z < 0 ? -1 : 0);
}

} // namespace double_description
