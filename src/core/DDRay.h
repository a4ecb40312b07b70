#ifndef DD_RAY_H
#define DD_RAY_H

#include <cstdint>
#include <string>

#include <gmpxx.h>

namespace double_description {

// A ray of the iteration, held as its exact slacks a_k . x on the rows k after
// the row that created it; it carries no coordinates.
class Ray {
public:
  // count zero slacks, to be filled by the builder.
  Ray(unsigned firstSecondaryRow, unsigned creationRow, unsigned count);
  // The combination of p (positive on row a) and n (negative on row a) on
  // row a's hyperplane, for a working matrix of m rows.
  Ray(Ray const* p, Ray const* n, unsigned a, unsigned m);
  Ray(Ray const&) = delete;
  Ray& operator=(Ray const&) = delete;
  virtual ~Ray();

  // Slack on row k, k > mCreationRow.
  const mpz_class& slack(unsigned k) const { return mCoefficients[k - mCreationRow - 1]; }
  mpz_class& slack(unsigned k) { return mCoefficients[k - mCreationRow - 1]; }
  unsigned coefficientCount() const { return mCoefficientCount; }

  // Divides the slacks by their positive gcd. Only their signs and ratios
  // matter to the iteration, and unreduced combinations grow from step to
  // step until big-number products dominate the run.
  void reduceSlacks();

  std::string toString() const { return std::string(); }

  std::uint16_t mFirstSecondaryRow;
  std::uint16_t mCreationRow;
  std::uint32_t mCoefficientCount;
  // Slack of row k at index k - mCreationRow - 1; null when empty.
  mpz_class* mCoefficients;
};

} // namespace double_description

#endif
