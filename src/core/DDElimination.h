#ifndef DD_ELIMINATION_H
#define DD_ELIMINATION_H

#include <gmpxx.h>

#include "core/DDAssert.h"
#include "core/DDCalcModule.h"
#include "core/DDCalculationVector.h"
#include "core/DDUtilsFactory.h"

namespace double_description {

// The row update of every exact elimination. With p = pivot[col], e =
// row[col] (not zero) and g = gcd(p, e): entry col becomes 0 and every entry
// j in [from, to) becomes row[j] * (p / g) - pivot[j] * (e / g), the
// subtraction skipped where pivot[j] is zero. Nothing is divided by an
// earlier pivot and rows are never normalised. p / g is left in the bank's
// pivotFactor and e / g in its entryFactor.
inline void cancelEntry(mpz_class* row, mpz_class const* pivot, unsigned col, unsigned from,
                        unsigned to, CalcModule& bank = UtilsFactory::CALC_UTILS) {
  mpz_ptr factor = bank.pivotFactor().get_mpz_t();
  mpz_ptr multiple = bank.entryFactor().get_mpz_t();
  mpz_ptr e = row[col].get_mpz_t();
  mpz_srcptr p = pivot[col].get_mpz_t();
  DD_ASSERT(mpz_sgn(e) != 0 && mpz_sgn(p) != 0);
  mpz_gcd(factor, p, e);
  mpz_divexact(multiple, e, factor);
  mpz_divexact(factor, p, factor);
  mpz_set_ui(e, 0);
  const bool unitFactor = mpz_cmp_ui(factor, 1) == 0;
  for (unsigned j = from; j < to; ++j) {
    mpz_ptr v = row[j].get_mpz_t();
    if (!unitFactor)
      mpz_mul(v, v, factor);
    mpz_srcptr b = pivot[j].get_mpz_t();
    if (mpz_sgn(b) != 0)
      mpz_submul(v, multiple, b);
  }
}

inline void cancelEntry(CalculationVector& row, CalculationVector const& pivot, unsigned col,
                        unsigned from, unsigned to, CalcModule& bank = UtilsFactory::CALC_UTILS) {
  DD_ASSERT(to <= row.size() && to <= pivot.size());
  cancelEntry(row.mValues.data(), pivot.mValues.data(), col, from, to, bank);
}

} // namespace double_description

#endif
