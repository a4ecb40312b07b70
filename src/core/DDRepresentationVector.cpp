#include "core/DDRepresentationVector.h"

#include <cstring>

namespace double_description {

RepresentationVector::RepresentationVector(unsigned long n)
    : mPosition(new std::uint8_t[n > 0 ? n : 1]()), mLength(static_cast<std::uint8_t>(n)) {
  mValues.reserve(n);
}

RepresentationVector::~RepresentationVector() { delete[] mPosition; }

void RepresentationVector::setValue(unsigned long l, mpz_class const& v) {
  if (mPosition[l] != 0) {
    mValues[mPosition[l] - 1] = v;
  } else if (sgn(v) != 0) {
    mValues.push_back(v);
    mPosition[l] = static_cast<std::uint8_t>(mValues.size());
  }
}

void RepresentationVector::setValue(unsigned long l, long v) {
  if (mPosition[l] != 0) {
    mValues[mPosition[l] - 1] = v;
  } else if (v != 0) {
    mValues.emplace_back(v);
    mPosition[l] = static_cast<std::uint8_t>(mValues.size());
  }
}

void RepresentationVector::negate() {
  for (mpz_class& v : mValues)
    mpz_neg(v.get_mpz_t(), v.get_mpz_t());
}

void RepresentationVector::calcScalarProduct(CalculationVector const& row, mpz_class& out) const {
  mpz_class sum;
  for (unsigned l = 0; l < mLength; ++l)
    if (mPosition[l] != 0)
      mpz_addmul(sum.get_mpz_t(), row[l].get_mpz_t(), mValues[mPosition[l] - 1].get_mpz_t());
  mpz_swap(out.get_mpz_t(), sum.get_mpz_t());
}

void RepresentationVector::reset() {
  std::memset(mPosition, 0, mLength);
  mValues.clear();
}

} // namespace double_description
