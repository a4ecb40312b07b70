#ifndef DD_REPRESENTATIONVECTOR_H
#define DD_REPRESENTATIONVECTOR_H

#include <cstdint>
#include <vector>

#include "core/DDCalculationVector.h"

namespace double_description {

// A sparse exact vector of at most 255 coordinates. Coordinate l has the value
// mValues[mPosition[l] - 1] when mPosition[l] is not 0, else 0; values are
// stored in the order their coordinates first became nonzero.
class RepresentationVector final : public Vector {
public:
  explicit RepresentationVector(unsigned long n);
  RepresentationVector(RepresentationVector const&) = delete;
  RepresentationVector& operator=(RepresentationVector const&) = delete;
  ~RepresentationVector() override;

  void setValue(unsigned long l, mpz_class const& v);
  void setValue(unsigned long l, long v);
  void negate();
  // out := row . this, over the stored coordinates only.
  void calcScalarProduct(CalculationVector const& row, mpz_class& out) const;
  // Back to all zeros: no stored values, every position 0.
  void reset();

  std::uint8_t* mPosition;
  std::uint8_t mLength;
};

template <typename T> class OutputVector {
public:
  std::vector<T> mValues;
};

} // namespace double_description

#endif
