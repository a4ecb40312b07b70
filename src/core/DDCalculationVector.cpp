#include "core/DDCalculationVector.h"

#include <sstream>

#include "core/DDUtilsFactory.h"

namespace double_description {

void Vector::simplify() {
  if (mValues.empty())
    return;
  mpz_class& g = UtilsFactory::CALC_UTILS.accumulator();
  g = mValues[0];
  for (std::size_t i = 1; i < mValues.size(); ++i)
    if (sgn(mValues[i]) != 0)
      mpz_gcd(g.get_mpz_t(), g.get_mpz_t(), mValues[i].get_mpz_t());
  mpz_abs(g.get_mpz_t(), g.get_mpz_t());
  if (sgn(g) == 0)
    return;
  for (mpz_class& e : mValues)
    mpz_tdiv_q(e.get_mpz_t(), e.get_mpz_t(), g.get_mpz_t());
}

std::string CalculationVector::toString() const {
  std::ostringstream out;
  for (std::size_t i = 0; i < mValues.size(); ++i) {
    if (i > 0)
      out << ' ';
    out << mValues[i];
  }
  return out.str();
}

} // namespace double_description
