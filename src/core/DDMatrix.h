#ifndef DD_MATRIX_H
#define DD_MATRIX_H

#include <string>
#include <vector>

#include "core/DDCalculationVector.h"
#include "core/DDLexSortCriteria.h"

namespace double_description {

// Stored rows plus a row order. Rows never move: sorting and pivoting permute
// the order, and logical row i is the stored row named at position i of it.
class Matrix {
public:
  Matrix() = default;
  Matrix(unsigned rows, unsigned cols);
  Matrix(unsigned rows, unsigned cols, std::vector<unsigned> const& order);
  Matrix(Matrix const&) = default;
  Matrix(Matrix&&) = default;
  Matrix& operator=(Matrix const&) = default;
  Matrix& operator=(Matrix&&) = default;
  virtual ~Matrix() = default;

  // Length of the first stored row, 0 without rows.
  virtual unsigned getColumns() const;
  unsigned getRowCount() const { return static_cast<unsigned>(mRows.size()); }

  CalculationVector& row(unsigned i) { return mRows[mRowOrder[i]]; }
  const CalculationVector& row(unsigned i) const { return mRows[mRowOrder[i]]; }
  CalculationVector& storedRow(unsigned i) { return mRows[i]; }
  const CalculationVector& storedRow(unsigned i) const { return mRows[i]; }
  std::vector<unsigned>& getRowOrder() { return mRowOrder; }
  const std::vector<unsigned>& getRowOrder() const { return mRowOrder; }

  // Appends a copy as a new stored row and as the last logical row.
  void insert(CalculationVector const& row);
  // Copies of logical rows from .. to - 1, with the identity order.
  Matrix getSubMatrix(unsigned from, unsigned to) const;
  // Selection sort of positions from .. to - 1: each position in turn
  // receives, by an exchange of two positions, the first remaining row that
  // no later one beats (cmp(later, pick) == want). The same permutation is
  // reached in O(n log n) comparisons when want is 1 or -1.
  void sort(SortCriteria const& criteria, unsigned short from, unsigned short to, int want);
  // Orders positions getColumns() .. onward by ascending nonzero count.
  void optimizeRowsOrder();

  Matrix& operator*=(Matrix const& other);
  Matrix operator*(Matrix const& other) const;

  std::string toString() const;
  std::string getMapping() const;
  std::string to4ti2Format() const;
  std::string to4ti2RelFormat() const;
  std::string to4ti2SignFormat() const;
  std::string toPortaFormat() const;
  std::string toPortaFormat(mpz_class const& c, bool leading) const;

protected:
  std::vector<CalculationVector> mRows;
  std::vector<unsigned> mRowOrder;
};

} // namespace double_description

#endif
