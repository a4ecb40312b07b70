#ifndef DD_EXTREMERAYUNCOMPRESSOR_H
#define DD_EXTREMERAYUNCOMPRESSOR_H

#include <cstdint>
#include <vector>

#include <gmpxx.h>

#include "core/DDMachineMatrix.h"
#include "core/DDRepresentationVector.h"
#include "core/DDSLESolver.h"

namespace double_description {

// Turns a zero set of rank d - 1 back into the primitive integer vector that
// spans the kernel of its rows, signed so that the first row outside the set
// gets a positive product.
class ExtremeRayUncompressor : public SLESolver {
public:
  ExtremeRayUncompressor(unsigned rows, unsigned cols, unsigned words)
      : SLESolver(rows, cols, words) {}
  ~ExtremeRayUncompressor() override = default;

  // The rows of m named by set become the solver's rows, in position order.
  void load(double_description::Matrix const& m, BitList const& set);
  // Reads the kernel vector out of a prepared solver into the all-zero x.
  void calcExtremeRay(RepresentationVector& x) const;
  // The whole computation for zero set z of m; x must be all zero.
  void calcExtremeRay(double_description::Matrix const& m, BitList const& z,
                      RepresentationVector& x);

  // The matrix given to every later calcExtremeRay in machine integers, or
  // null. With it the vector is computed in machine integers whenever they
  // suffice and the answer is unique; the result is the same.
  void setMachineMatrix(MachineMatrix const* machine) { mMachine = machine; }

private:
  // The vector by elimination in one arithmetic, over d - 1 independent rows
  // of z; false, leaving x untouched, when a value does not fit, the rank is
  // not d - 1 or no row outside z decides the sign.
  template <class Arithmetic>
  bool kernelVector(Arithmetic& arithmetic, double_description::Matrix const& m, BitList const& z,
                    std::vector<typename Arithmetic::Value>& pivotRows,
                    std::vector<typename Arithmetic::Value>& vector, RepresentationVector& x);
  // Signs x so that the first row of m outside z gets a positive product.
  static void orient(double_description::Matrix const& m, BitList const& z,
                     RepresentationVector& x);

  MachineMatrix const* mMachine = nullptr;
  std::vector<std::int64_t> mPivotRows;
  std::vector<std::int64_t> mRow;
  std::vector<mpz_class> mExactPivotRows;
  std::vector<mpz_class> mExactRow;
  std::vector<unsigned> mPivotColumn;
  std::vector<int> mPivotOfColumn;
};

} // namespace double_description

#endif
