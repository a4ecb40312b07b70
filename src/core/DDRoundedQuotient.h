#ifndef DD_ROUNDEDQUOTIENT_H
#define DD_ROUNDEDQUOTIENT_H

#include <gmpxx.h>

namespace double_description {

// numerator / denominator rounded to the nearest double, ties to even, as an
// IEEE division of exact operands would give it: subnormal results keep their
// last bit, results beyond the largest double become infinite, and a negative
// quotient too small for any subnormal becomes -0. The denominator must not
// be zero. (GMP's own conversions truncate.)
double roundedQuotient(mpz_class const& numerator, mpz_class const& denominator);

} // namespace double_description

#endif
