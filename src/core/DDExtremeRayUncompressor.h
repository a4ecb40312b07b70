#ifndef DD_EXTREMERAYUNCOMPRESSOR_H
#define DD_EXTREMERAYUNCOMPRESSOR_H

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
  void calcExtremeRay(double_description::Matrix const& m, BitList const& z, RepresentationVector& x);
};

} // namespace double_description

#endif
