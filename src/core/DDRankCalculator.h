#ifndef DD_RANKCALCULATOR_H
#define DD_RANKCALCULATOR_H

#include "core/DDCalculationMatrix.h"

namespace double_description {

// Workspace of the exact rank tests; its users load rows, set the counts and
// run their own elimination passes with the same row update as the kernel.
class RankCalculator : private CalculationMatrix {
public:
  RankCalculator(unsigned long rows, unsigned long cols)
      : CalculationMatrix(static_cast<unsigned>(rows), static_cast<unsigned>(cols)) {}

  using CalculationMatrix::eliminateColumnUp;
  using CalculationMatrix::getColsInUse;
  using CalculationMatrix::getColumns;
  using CalculationMatrix::getRowCount;
  using CalculationMatrix::getRowOrder;
  using CalculationMatrix::getRowsInUse;
  using CalculationMatrix::row;
  using CalculationMatrix::setColsInUse;
  using CalculationMatrix::setRowsInUse;
  using CalculationMatrix::storedRow;
  using CalculationMatrix::toString;
  using CalculationMatrix::transformToUpperTriangularMatrix;
};

} // namespace double_description

#endif
