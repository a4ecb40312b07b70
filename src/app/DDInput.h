#ifndef DD_INPUT_H
#define DD_INPUT_H

#include <istream>
#include <stdexcept>

#include "core/DDMatrix.h"

namespace double_description {

// A matrix file that cannot be used, or a matrix without a basis. The message
// is the one line shown to the user; main prints it and ends with status 255.
class InputError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// Largest problem the rays and caches can index: 16-bit rows, 8-bit columns.
constexpr unsigned long MAX_INPUT_ROWS = 65535;
constexpr unsigned long MAX_INPUT_COLUMNS = 255;

// The matrices of one run, read from a matrix file.
class Input {
public:
  // Throws InputError.
  explicit Input(const char* fileName);

  // The matrix of the file with its rows sorted and d independent rows first.
  Matrix getMatrixFromFile(const char* fileName) const;
  // The data block, from the counts to the last entry.
  Matrix getMatrixFromFile(std::istream& in) const;
  // Permutes the row order so that the first d logical rows are independent.
  void findBasis(Matrix& matrix) const;

  Matrix mOriginalMatrix; // rows in file order, row order = processing order
  Matrix mBaseMatrix;     // d x d identity
  Matrix mWorkingMatrix;  // copy of mOriginalMatrix for the iteration
};

} // namespace double_description

#endif
