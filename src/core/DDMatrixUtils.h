#ifndef DD_MATRIXUTILS_H
#define DD_MATRIXUTILS_H

#include "core/DDCalcModule.h"
#include "core/DDMatrix.h"

namespace double_description {

// Hermite transformation of a square matrix by unimodular column operations
// (after Nemhauser and Wolsey), using the scratch integers of a bank.
class MatrixUtils {
public:
  explicit MatrixUtils(CalcModule& module) : mCalcModule(module) {}

  // Transforms a in place and returns the product of all column operations.
  // a must be square and of full rank.
  Matrix applyNemhauserWolsey(Matrix& a);
  // The same on a copy of logical rows 0 .. d - 1 of a; a is unchanged.
  Matrix applyPositiveBaseTransformation(Matrix const& a);

  CalcModule& mCalcModule;
};

} // namespace double_description

#endif
