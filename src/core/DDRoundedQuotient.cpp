#include "core/DDRoundedQuotient.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <limits>

namespace double_description {

namespace {

// Significand bits of a double, the hidden bit included.
constexpr long PRECISION = std::numeric_limits<double>::digits;
// The smallest subnormal is 2^LOWEST_BIT.
constexpr long LOWEST_BIT = std::numeric_limits<double>::min_exponent - PRECISION;
// No finite double reaches 2^HIGHEST_POWER.
constexpr long HIGHEST_POWER = std::numeric_limits<double>::max_exponent;

} // namespace

double roundedQuotient(mpz_class const& numerator, mpz_class const& denominator) {
  assert(sgn(denominator) != 0);
  const int sign = sgn(numerator) * sgn(denominator);
  if (sign == 0)
    return 0.0;
  const long numeratorBits = static_cast<long>(mpz_sizeinbase(numerator.get_mpz_t(), 2));
  const long denominatorBits = static_cast<long>(mpz_sizeinbase(denominator.get_mpz_t(), 2));
  // Both operands exact in a double: the hardware division rounds correctly.
  if (numeratorBits <= PRECISION && denominatorBits <= PRECISION)
    return numerator.get_d() / denominator.get_d();

  mpz_class a = abs(numerator);
  mpz_class b = abs(denominator);
  // The leading bit of a/b is 2^e, with e one of these two.
  long e = numeratorBits - denominatorBits;
  const bool below = e >= 0 ? cmp(a, mpz_class(b << e)) < 0 : cmp(mpz_class(a << -e), b) < 0;
  if (below)
    --e;
  if (e >= HIGHEST_POWER)
    return sign * std::numeric_limits<double>::infinity();

  // The weight of the last significand bit kept; below the normal range the
  // subnormals' fixed weight.
  const long last = std::max(e - (PRECISION - 1), LOWEST_BIT);
  if (last < 0)
    a <<= static_cast<mp_bitcnt_t>(-last);
  else
    b <<= static_cast<mp_bitcnt_t>(last);
  mpz_class q, r;
  mpz_fdiv_qr(q.get_mpz_t(), r.get_mpz_t(), a.get_mpz_t(), b.get_mpz_t());
  r <<= 1;
  const int half = cmp(r, b);
  if (half > 0 || (half == 0 && mpz_odd_p(q.get_mpz_t())))
    ++q;
  // q <= 2^PRECISION is exact in a double, and so is the scaling unless the
  // rounding carried past the largest double.
  const double magnitude = std::ldexp(q.get_d(), static_cast<int>(last));
  return sign < 0 ? -magnitude : magnitude;
}

} // namespace double_description
