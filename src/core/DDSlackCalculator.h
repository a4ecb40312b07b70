#ifndef DD_SLACKCALCULATOR_H
#define DD_SLACKCALCULATOR_H

#include <cstdint>
#include <vector>

#include <gmpxx.h>

#include "core/DDBitList.h"
#include "core/DDMachineMatrix.h"
#include "core/DDMatrix.h"
#include "core/DDRayCoordinates.h"

namespace double_description {

// The slacks a_k . x of ray coordinates x on the rows a_k of the working
// matrix, and the combination of two rays, in machine integers wherever
// they cannot overflow and exactly otherwise. Read-only after construction,
// so any number of threads may use one calculator.
class SlackCalculator {
public:
  explicit SlackCalculator(Matrix const& working);
  SlackCalculator(SlackCalculator const&) = delete;
  SlackCalculator& operator=(SlackCalculator const&) = delete;

  unsigned rowCount() const { return mRowCount; }
  unsigned columnCount() const { return mColumns; }

  // The sign of a_k . x.
  int sign(unsigned k, RayCoordinates const& x) const;
  // a_k . x exactly.
  void slack(unsigned k, RayCoordinates const& x, mpz_class& out) const;

  // The primitive coordinates of the ray on row a's hyperplane that p
  // (positive on row a) and n (negative on row a) span.
  RayCoordinates combine(RayCoordinates const& p, RayCoordinates const& n, unsigned a) const;

  // Walks the rows from on: sets the bit of every row with a zero slack in
  // zero, up to the first row with a negative slack, which it returns;
  // rowCount() when there is none.
  unsigned markZeroRows(RayCoordinates const& x, unsigned from, BitList& zero) const;

private:
  __extension__ typedef __int128 Wide;

  // a_k . x in 128 bits; false when a value does not fit.
  bool machineSlack(unsigned k, RayCoordinates const& x, Wide& out) const;
  RayCoordinates combineExactly(RayCoordinates const& p, RayCoordinates const& n, unsigned a) const;

  Matrix const& mWorking;
  MachineMatrix mMachine;
  unsigned mRowCount;
  unsigned mColumns;
  // Bit length of the largest entry of each row; NO_MACHINE_ROW without a
  // machine form.
  std::vector<std::uint8_t> mRowBits;
  // Bits a sum of mColumns products can add.
  unsigned mSumBits;

  static constexpr std::uint8_t NO_MACHINE_ROW = 255;
};

} // namespace double_description

#endif
