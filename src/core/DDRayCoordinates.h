#ifndef DD_RAYCOORDINATES_H
#define DD_RAYCOORDINATES_H

#include <cstdint>
#include <memory>

#include <gmpxx.h>

#include "core/DDAssert.h"

namespace double_description {

class RepresentationVector;

// Frees machine values made by makeMachineValues.
struct PooledValuesDelete {
  void operator()(std::int64_t* values) const;
};
// d machine values from this thread's word pool: rays are made and deleted
// by the thousand a step, and the general heap would merge and split their
// small blocks over and over.
using MachineValues = std::unique_ptr<std::int64_t[], PooledValuesDelete>;
MachineValues makeMachineValues(unsigned d);

// The exact coordinates of a ray, in machine integers while every one of them
// fits (|x_j| < 2^63), in big integers otherwise. Only the direction matters:
// the iteration keeps them primitive so that they stay small.
class RayCoordinates {
public:
  RayCoordinates() = default;
  // Takes over d machine integers.
  RayCoordinates(MachineValues values, unsigned d);
  // Takes over d big integers; kept as machine integers when they all fit.
  RayCoordinates(std::unique_ptr<mpz_class[]> values, unsigned d);
  // The d coordinates of x.
  explicit RayCoordinates(RepresentationVector const& x);

  RayCoordinates(RayCoordinates&&) noexcept = default;
  RayCoordinates& operator=(RayCoordinates&&) noexcept = default;

  unsigned size() const { return mSize; }
  bool isMachine() const { return mMachine != nullptr; }
  std::int64_t const* machine() const {
    DD_ASSERT(isMachine());
    return mMachine.get();
  }
  mpz_class const* exact() const {
    DD_ASSERT(!isMachine());
    return mExact.get();
  }
  // An upper bound of the bit length of every machine coordinate.
  unsigned machineBits() const { return mBits; }
  // Coordinate j, exactly.
  mpz_class get(unsigned j) const;

private:
  void measure();

  MachineValues mMachine;
  std::unique_ptr<mpz_class[]> mExact;
  std::uint16_t mSize = 0;
  std::uint8_t mBits = 0;
};

} // namespace double_description

#endif
