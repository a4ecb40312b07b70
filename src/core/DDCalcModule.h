#ifndef DD_CALCMODULE_H
#define DD_CALCMODULE_H

#include <gmpxx.h>

namespace double_description {

// A bank of preallocated big integers that the exact kernels use as
// temporaries in fixed roles, so that inner loops create none of their own.
// Each role has one accessor; a user sets an integer before reading it, so no
// value passes from one kernel to another through the bank.
class CalcModule {
public:
  CalcModule() = default;
  CalcModule(CalcModule const&) = delete;
  CalcModule& operator=(CalcModule const&) = delete;

  // The running gcd or lcm of a sequence; g of a sparse elimination step.
  mpz_class& accumulator() { return mInt[1]; }
  // In an elimination step g = gcd(pivot, entry), then pivot / g; the first
  // product of a ray combination; s of an extended gcd.
  mpz_class& pivotFactor() { return mInt[2]; }
  // In an elimination step entry / g; products; the second product of a ray
  // combination; t of an extended gcd.
  mpz_class& entryFactor() { return mInt[5]; }
  // The factors of the positive and the negative parent of a combination.
  mpz_class& positiveFactor() { return mInt[10]; }
  mpz_class& negativeFactor() { return mInt[11]; }

private:
  mpz_class mInt[12];
};

} // namespace double_description

#endif
