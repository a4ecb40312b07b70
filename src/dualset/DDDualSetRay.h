#ifndef DD_DUALSETRAY_H
#define DD_DUALSETRAY_H

#include "core/DDBitList.h"
#include "core/DDRay.h"
#include "core/DDRepresentationVector.h"
#include "dualset/DDLinearDependenceVector.h"

#include <gmpxx.h>

#include <memory>
#include <type_traits>
#include <utility>

namespace double_description {

// A ray whose zero set is kept in two disjoint parts: the primary set, the
// greedy basis of the zero set in row order (d - 1 rows), and the secondary
// set of the other zero rows, each backed by a certificate over primary rows.
class DualSetRay final : public Ray {
public:
  // Takes over dependencies (one slot per row from firstSecondaryRow on, at
  // least up to the last secondary row); the ray counts one reference in the
  // certificate of each secondary row.
  DualSetRay(unsigned firstSecondaryRow, unsigned creationRow, RayCoordinates coordinates,
             BitList primary, BitList secondary, LinearDependenceEntry** dependencies,
             unsigned firstNegativeRow)
      : Ray(firstSecondaryRow, creationRow, std::move(coordinates), firstNegativeRow),
        mPrimary(std::move(primary)), mSecondary(std::move(secondary)),
        mDependencies(dependencies) {}
  ~DualSetRay() override;

  LinearDependenceEntry* dependency(unsigned r) const {
    return mDependencies[r - firstSecondaryRow()];
  }

  BitList mPrimary;
  BitList mSecondary;
  LinearDependenceEntry** mDependencies;
};

// The ray's zero set restricted to the rows of mask, for the ray cache.
BitList maskedZeroSet(DualSetRay const& ray, BitList const& mask);

// Whether a ray is zero on a row after the one that created it.
inline bool isZeroOn(DualSetRay const& ray, unsigned row) {
  return ray.mSecondary.test(row) || ray.mPrimary.test(row);
}

// The zero set that a result line of type T reads from a ray, put together in
// scratch where needed: the primary set alone fixes the integer vector; the
// other formats show the whole zero set.
template <class T> BitList const& resultZeroSet(DualSetRay const& ray, BitList& scratch) {
  if (std::is_same<T, RepresentationVector>::value)
    return ray.mPrimary;
  scratch = ray.mPrimary;
  scratch |= ray.mSecondary;
  return scratch;
}

} // namespace double_description

#endif
