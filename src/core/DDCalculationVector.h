#ifndef DD_CALCULATIONVECTOR_H
#define DD_CALCULATIONVECTOR_H

#include <cstddef>
#include <string>
#include <vector>

#include <gmpxx.h>

namespace double_description {

class Vector {
public:
  Vector() = default;
  Vector(Vector const&) = default;
  Vector(Vector&&) noexcept = default;
  Vector& operator=(Vector const&) = default;
  Vector& operator=(Vector&&) noexcept = default;
  virtual ~Vector() = default;

  // Divides every entry by the non-negative gcd of the entries; signs are
  // kept. Needs a nonzero entry.
  void simplify();

  std::vector<mpz_class> mValues;
};

// A full row of exact integers, one entry per column.
class CalculationVector : public Vector {
public:
  explicit CalculationVector(std::size_t n = 0) { mValues.resize(n); }
  CalculationVector(CalculationVector const&) = default;
  CalculationVector(CalculationVector&&) noexcept = default;
  CalculationVector& operator=(CalculationVector const&) = default;
  CalculationVector& operator=(CalculationVector&&) noexcept = default;
  ~CalculationVector() override = default;

  mpz_class& operator[](std::size_t i) { return mValues[i]; }
  const mpz_class& operator[](std::size_t i) const { return mValues[i]; }
  std::size_t size() const { return mValues.size(); }

  // The entries separated by single blanks.
  std::string toString() const;
};

} // namespace double_description

#endif
