#ifndef DD_SINGLESETRAY_H
#define DD_SINGLESETRAY_H

#include <string>

#include "core/DDBitList.h"
#include "core/DDRay.h"
#include "core/DDSlackCalculator.h"

namespace double_description {

// A ray with its zero set: the rows up to its creation row on which it is
// tight, and the later zero rows before its first negative row.
class SingleSetRay : public Ray {
public:
  SingleSetRay(unsigned firstSecondaryRow, unsigned creationRow, RayCoordinates coordinates,
               BitList activeSet, unsigned firstNegativeRow)
      : Ray(firstSecondaryRow, creationRow, std::move(coordinates), firstNegativeRow),
        mActiveSet(std::move(activeSet)) {}
  // The combination of p and n on row a; the zero set is the parents' common
  // zero set plus row a and the new zero rows before the first negative one.
  SingleSetRay(SingleSetRay const* p, SingleSetRay const* n, unsigned a,
               SlackCalculator const& slacks);
  ~SingleSetRay() override = default;

  std::string toString() const;

  BitList mActiveSet;

private:
  struct Combination {
    RayCoordinates mCoordinates;
    BitList mZeroSet;
    unsigned mFirstNegativeRow;
  };
  static Combination combine(SingleSetRay const* p, SingleSetRay const* n, unsigned a,
                             SlackCalculator const& slacks);
  SingleSetRay(unsigned firstSecondaryRow, unsigned a, Combination&& combination)
      : SingleSetRay(firstSecondaryRow, a, std::move(combination.mCoordinates),
                     std::move(combination.mZeroSet), combination.mFirstNegativeRow) {}
};

// The zero set that a result line of type T reads from a ray: every format
// reads the active set.
template <class T> BitList const& resultZeroSet(SingleSetRay const& ray, BitList& /*scratch*/) {
  return ray.mActiveSet;
}

} // namespace double_description

#endif
