#include "core/DDRay.h"

#include <climits>

#include "core/DDUtilsFactory.h"

namespace double_description {

Ray::Ray(unsigned firstSecondaryRow, unsigned creationRow, unsigned count)
    : Ray(firstSecondaryRow, creationRow, count,
          count > 0 ? std::make_unique<mpz_class[]>(count) : nullptr) {}

Ray::Ray(unsigned firstSecondaryRow, unsigned creationRow, unsigned count,
         std::unique_ptr<mpz_class[]> slacks)
    : mFirstSecondaryRow(static_cast<std::uint16_t>(firstSecondaryRow)),
      mCreationRow(static_cast<std::uint16_t>(creationRow)), mCoefficientCount(count),
      mCoefficients(std::move(slacks)) {
  DD_ASSERT((count == 0) == (mCoefficients == nullptr));
}

Ray::Ray(Ray const* p, Ray const* n, unsigned a, unsigned m)
    : Ray(p->mFirstSecondaryRow, a, m - a - 1) {
  CalcModule& bank = UtilsFactory::CALC_UTILS;
  mpz_ptr g = bank.accumulator().get_mpz_t();
  mpz_ptr cp = bank.positiveFactor().get_mpz_t();
  mpz_ptr cn = bank.negativeFactor().get_mpz_t();
  mpz_srcptr pa = p->slack(a).get_mpz_t();
  mpz_srcptr na = n->slack(a).get_mpz_t();
  mpz_gcd(g, pa, na);
  mpz_divexact(cp, pa, g);
  mpz_divexact(cn, na, g);

  // New slack k = cp * n_k - cn * p_k, written straight into the new array.
  // cp > 0 > cn, so with machine-sized factors this is n_k * cp + p_k * |cn|.
  if (mpz_fits_ulong_p(cp) && mpz_sgn(cn) < 0 && mpz_cmp_si(cn, -LONG_MAX) >= 0) {
    const unsigned long fp = mpz_get_ui(cp);
    const unsigned long fn = static_cast<unsigned long>(-mpz_get_si(cn));
    for (unsigned k = a + 1; k < m; ++k) {
      mpz_ptr v = mCoefficients[k - a - 1].get_mpz_t();
      mpz_mul_ui(v, n->slack(k).get_mpz_t(), fp);
      mpz_addmul_ui(v, p->slack(k).get_mpz_t(), fn);
    }
  } else {
    for (unsigned k = a + 1; k < m; ++k) {
      mpz_ptr v = mCoefficients[k - a - 1].get_mpz_t();
      mpz_mul(v, cp, n->slack(k).get_mpz_t());
      mpz_submul(v, cn, p->slack(k).get_mpz_t());
    }
  }
}

void Ray::reduceSlacks() {
  mpz_ptr g = UtilsFactory::CALC_UTILS.accumulator().get_mpz_t();
  mpz_set_ui(g, 0);
  for (unsigned i = 0; i < mCoefficientCount; ++i) {
    mpz_srcptr v = mCoefficients[i].get_mpz_t();
    if (mpz_sgn(v) == 0)
      continue;
    mpz_gcd(g, g, v);
    if (mpz_cmp_ui(g, 1) == 0)
      return;
  }
  if (mpz_sgn(g) == 0)
    return;
  for (unsigned i = 0; i < mCoefficientCount; ++i)
    mpz_divexact(mCoefficients[i].get_mpz_t(), mCoefficients[i].get_mpz_t(), g);
}

} // namespace double_description
