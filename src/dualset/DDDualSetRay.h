#ifndef DD_DUALSETRAY_H
#define DD_DUALSETRAY_H

#include "core/DDAssert.h"
#include "core/DDBitList.h"
#include "core/DDRay.h"
#include "core/DDRepresentationVector.h"
#include "dualset/DDLinearDependenceVector.h"

#include <cstdint>
#include <memory>
#include <type_traits>
#include <utility>

namespace double_description {

// A ray whose zero set is kept in two disjoint parts: the primary set, the
// greedy basis of the zero set in row order (d - 1 rows), and the secondary
// set of the other zero rows (all from row d on), each backed by a
// certificate over primary rows in which the ray counts one reference.
class DualSetRay final : public Ray {
public:
  // A ray with its coordinates; the secondary rows join afterwards, through
  // reserveSlots() and addSecondary().
  DualSetRay(unsigned firstSecondaryRow, unsigned creationRow, RayCoordinates coordinates,
             BitList primary, unsigned firstNegativeRow)
      : Ray(firstSecondaryRow, creationRow, std::move(coordinates), firstNegativeRow),
        mPrimary(std::move(primary)), mSecondary(mPrimary.wordCount()) {
    DD_ASSERT(mPrimary.count() + 1u == firstSecondaryRow);
  }
  ~DualSetRay() override;

  BitList const& primary() const { return mPrimary; }
  BitList const& secondary() const { return mSecondary; }
  // The certificate of secondary row r.
  LinearDependenceEntry* dependency(unsigned r) const {
    DD_ASSERT(mSecondary.test(r));
    return mDependencies[r - firstSecondaryRow()];
  }

  // Gives the ray certificate slots for the rows firstSecondaryRow() .. last;
  // once, before the first addSecondary().
  void reserveSlots(unsigned last);
  // Makes row r secondary, backed by e; the ray counts its reference.
  void addSecondary(unsigned r, LinearDependenceEntry* e);

private:
  BitList mPrimary;
  BitList mSecondary;
  // Slot of row r at index r - firstSecondaryRow(); null while no row is
  // secondary.
  std::unique_ptr<LinearDependenceEntry*[]> mDependencies;
};

// The ray's zero set restricted to the rows of mask, for the ray cache.
BitList maskedZeroSet(DualSetRay const& ray, BitList const& mask);

// Whether a ray is zero on a row after the one that created it.
inline bool isZeroOn(DualSetRay const& ray, unsigned row) {
  return ray.secondary().test(row) || ray.primary().test(row);
}

// Starts loading the words of the zero sets that filing the ray for the step
// of row reads first.
inline void prefetchZeroSet(DualSetRay const& ray, unsigned row) {
  __builtin_prefetch(ray.secondary().words() + row / 64);
  __builtin_prefetch(ray.primary().words() + row / 64);
}

// The zero set that a result line of type T reads from a ray, put together in
// scratch where needed: the primary set alone fixes the integer vector; the
// other formats show the whole zero set.
template <class T> BitList const& resultZeroSet(DualSetRay const& ray, BitList& scratch) {
  if (std::is_same<T, RepresentationVector>::value)
    return ray.primary();
  scratch = ray.primary();
  scratch |= ray.secondary();
  return scratch;
}

} // namespace double_description

#endif
