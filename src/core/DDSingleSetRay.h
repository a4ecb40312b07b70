#ifndef DD_SINGLESETRAY_H
#define DD_SINGLESETRAY_H

#include <string>

#include "core/DDBitList.h"
#include "core/DDRay.h"

namespace double_description {

// A ray with its zero set: the rows up to its creation row on which it is
// tight, and the later zero rows before its first negative slack.
class SingleSetRay : public Ray {
public:
  SingleSetRay(unsigned firstSecondaryRow, unsigned creationRow, unsigned count,
               BitList activeSet)
      : Ray(firstSecondaryRow, creationRow, count), mActiveSet(std::move(activeSet)) {}
  // The combination of p and n on row a; the zero set is the parents' common
  // zero set plus row a and the new zero rows before the first negative slack.
  SingleSetRay(SingleSetRay const* p, SingleSetRay const* n, unsigned long a, unsigned long m);
  ~SingleSetRay() override = default;

  std::string toString() const;

  BitList mActiveSet;
};

// The zero set that a result line of type T reads from a ray: every format
// reads the active set.
template <class T> BitList const& resultZeroSet(SingleSetRay const& ray, BitList& /*scratch*/) {
  return ray.mActiveSet;
}

} // namespace double_description

#endif
