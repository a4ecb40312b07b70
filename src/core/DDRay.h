#ifndef DD_RAY_H
#define DD_RAY_H

#include <cstdint>
#include <string>

#include "core/DDAssert.h"
#include "core/DDRayCoordinates.h"

namespace double_description {

// A ray of the iteration: its exact coordinates, the row of the step that
// created it and the first later row on which it is negative, which is as
// far as the iteration needs it. Its slacks a_k . x are computed from the
// coordinates where a step needs them (SlackCalculator).
class Ray {
public:
  // A ray created on creationRow that turns negative on firstNegativeRow
  // (the row count when it never does).
  Ray(unsigned firstSecondaryRow, unsigned creationRow, RayCoordinates coordinates,
      unsigned firstNegativeRow)
      : mFirstSecondaryRow(static_cast<std::uint16_t>(firstSecondaryRow)),
        mCreationRow(static_cast<std::uint16_t>(creationRow)),
        mFirstNegativeRow(static_cast<std::uint16_t>(firstNegativeRow)),
        mCoordinates(std::move(coordinates)) {
    DD_ASSERT(firstNegativeRow > creationRow);
  }
  Ray(Ray const&) = delete;
  Ray& operator=(Ray const&) = delete;
  virtual ~Ray() = default;

  RayCoordinates const& coordinates() const { return mCoordinates; }
  // d, where the certificate slots of dual-set rays begin.
  unsigned firstSecondaryRow() const { return mFirstSecondaryRow; }
  // The row of the step that created the ray; d - 1 for the initial rays.
  unsigned creationRow() const { return mCreationRow; }
  // The step of this row deletes the ray; the row count for a final ray.
  unsigned firstNegativeRow() const { return mFirstNegativeRow; }

  std::string toString() const { return std::string(); }

private:
  std::uint16_t mFirstSecondaryRow;
  std::uint16_t mCreationRow;
  std::uint16_t mFirstNegativeRow;
  RayCoordinates mCoordinates;
};

} // namespace double_description

#endif
