#ifndef DD_CALCULATIONMATRIX_H
#define DD_CALCULATIONMATRIX_H

#include <string>

#include "core/DDMatrix.h"

namespace double_description {

// Workspace of the fraction-free elimination: only the block of the first
// mRowsInUse logical rows by mColsInUse columns is worked on. Pivoting swaps
// row-order entries, never rows.
class CalculationMatrix : private Matrix {
public:
  CalculationMatrix(unsigned rows, unsigned cols) : Matrix(rows, cols) {}
  virtual ~CalculationMatrix() = default;

  using Matrix::getRowCount;
  using Matrix::getRowOrder;
  using Matrix::row;
  using Matrix::storedRow;

  // The columns in use.
  unsigned getColumns() const final { return mColsInUse; }
  unsigned getRowsInUse() const { return mRowsInUse; }
  void setRowsInUse(unsigned n) { mRowsInUse = n; }
  unsigned getColsInUse() const { return mColsInUse; }
  void setColsInUse(unsigned n) { mColsInUse = n; }

  // Brings the rows in use to upper triangular form. Each update cancels entry
  // a against pivot p as row * (p/g) - pivot * (a/g), g = gcd(p, a); nothing is
  // divided by an earlier pivot.
  void transformToUpperTriangularMatrix();
  // Clears column col in rows first .. last - 2 against the pivot row last - 1.
  void eliminateColumnUp(unsigned long first, unsigned long last, unsigned long col);

  // A framed dump of the block in use.
  std::string toString() const;

protected:
  unsigned mRowsInUse = 0;
  unsigned mColsInUse = 0;
};

} // namespace double_description

#endif
