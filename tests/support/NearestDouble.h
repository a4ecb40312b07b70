#ifndef DD_NEARESTDOUBLE_H
#define DD_NEARESTDOUBLE_H

#include <gmpxx.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

// The double nearest to q, ties to even, by a road of its own: GMP's
// truncating conversion and the next double away from zero, compared
// exactly. For |q| in the range of normal doubles.
inline double nearestDouble(mpq_class q) {
  q.canonicalize();
  const double truncated = q.get_d();
  if (mpq_class(truncated) == q)
    return truncated;
  const double away = std::nextafter(truncated, sgn(q) * std::numeric_limits<double>::infinity());
  const mpq_class below = abs(q - mpq_class(truncated));
  const mpq_class above = abs(mpq_class(away) - q);
  if (below != above)
    return below < above ? truncated : away;
  std::uint64_t bits;
  std::memcpy(&bits, &truncated, sizeof bits);
  return bits % 2 == 0 ? truncated : away;
}

#endif
