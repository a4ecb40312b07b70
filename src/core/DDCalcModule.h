#ifndef DD_CALCMODULE_H
#define DD_CALCMODULE_H

#include <gmpxx.h>

namespace double_description {

// A bank of twelve preallocated big integers that the exact kernels use as
// temporaries in fixed roles, so inner loops create none of their own.
// Scratch integer k is mInt[k]; mI0 .. mI11 name the same integers.
// Roles: 1 running gcd/lcm; 2 g then pivot/g in an elimination step, first
// product of a combination; 5 entry/g, products; 10, 11 combination factors.
class CalcModule {
public:
  CalcModule()
      : mI0(mInt[0]), mI1(mInt[1]), mI2(mInt[2]), mI3(mInt[3]), mI4(mInt[4]),
        mI5(mInt[5]), mI6(mInt[6]), mI7(mInt[7]), mI8(mInt[8]), mI9(mInt[9]),
        mI10(mInt[10]), mI11(mInt[11]) {}
  CalcModule(CalcModule const&) = delete;
  CalcModule& operator=(CalcModule const&) = delete;

  mpz_class mInt[12];
  mpz_class &mI0, &mI1, &mI2, &mI3, &mI4, &mI5, &mI6, &mI7, &mI8, &mI9, &mI10, &mI11;
};

} // namespace double_description

#endif
