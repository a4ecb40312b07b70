#ifndef DD_RAY_H
#define DD_RAY_H

#include <cstdint>
#include <memory>
#include <string>

#include <gmpxx.h>

#include "core/DDAssert.h"

namespace double_description {

// A ray of the iteration, held as its exact slacks a_k . x on the rows k after
// the row that created it; it carries no coordinates.
class Ray {
public:
  // count zero slacks, to be filled by the builder.
  Ray(unsigned firstSecondaryRow, unsigned creationRow, unsigned count);
  // Takes over count slacks (null when count is 0).
  Ray(unsigned firstSecondaryRow, unsigned creationRow, unsigned count,
      std::unique_ptr<mpz_class[]> slacks);
  // The combination of p (positive on row a) and n (negative on row a) on
  // row a's hyperplane, for a working matrix of m rows.
  Ray(Ray const* p, Ray const* n, unsigned a, unsigned m);
  Ray(Ray const&) = delete;
  Ray& operator=(Ray const&) = delete;
  virtual ~Ray() = default;

  // Slack on row k, creationRow() < k < creationRow() + 1 + coefficientCount().
  const mpz_class& slack(unsigned k) const {
    DD_ASSERT(k > mCreationRow && k - mCreationRow - 1 < mCoefficientCount);
    return mCoefficients[k - mCreationRow - 1];
  }
  mpz_class& slack(unsigned k) {
    DD_ASSERT(k > mCreationRow && k - mCreationRow - 1 < mCoefficientCount);
    return mCoefficients[k - mCreationRow - 1];
  }
  unsigned coefficientCount() const { return mCoefficientCount; }
  // d, where the certificate slots of dual-set rays begin.
  unsigned firstSecondaryRow() const { return mFirstSecondaryRow; }
  // The row of the step that created the ray; d - 1 for the initial rays.
  unsigned creationRow() const { return mCreationRow; }

  // Divides the slacks by their positive gcd. Only their signs and ratios
  // matter to the iteration, and unreduced combinations grow from step to
  // step until big-number products dominate the run.
  void reduceSlacks();

  std::string toString() const { return std::string(); }

private:
  std::uint16_t mFirstSecondaryRow;
  std::uint16_t mCreationRow;
  std::uint32_t mCoefficientCount;
  // Slack of row k at index k - mCreationRow - 1; null when empty.
  std::unique_ptr<mpz_class[]> mCoefficients;
};

} // namespace double_description

#endif
