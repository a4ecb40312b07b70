#ifndef DD_SINGLESETRAY_H
#define DD_SINGLESETRAY_H

#include <cstddef>
#include <cstdint>
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
        mActiveSet(std::move(activeSet)) {
    mZeroEndWord = 0;
    mZeroFirstWord = 0;
    for (std::uint32_t w = 0; w < mActiveSet.wordCount(); ++w)
      if (mActiveSet.words()[w] != 0) {
        if (mZeroEndWord == 0)
          mZeroFirstWord = w;
        mZeroEndWord = w + 1;
      }
  }
  // The combination of p and n on row a; the zero set is the parents' common
  // zero set plus row a and the new zero rows before the first negative one.
  SingleSetRay(SingleSetRay const* p, SingleSetRay const* n, unsigned a,
               SlackCalculator const& slacks);
  ~SingleSetRay() override = default;

  // From this thread's word pool, as the rays of a step come and go by the
  // thousand.
  static void* operator new(std::size_t bytes);
  static void operator delete(void* ray, std::size_t bytes);

  std::string toString() const;

  BitList mActiveSet;
  // Every nonzero word of the active set, which never changes, lies in
  // [mZeroFirstWord, mZeroEndWord): each step reads only those.
  std::uint32_t mZeroFirstWord;
  std::uint32_t mZeroEndWord;

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
