#ifndef DD_DUALSETRAY_H
#define DD_DUALSETRAY_H

#include "core/DDAssert.h"
#include "core/DDBitList.h"
#include "core/DDRay.h"
#include "dualset/DDLinearDependenceVector.h"

#include <gmpxx.h>

#include <cstdint>
#include <memory>
#include <utility>

namespace double_description {

// A ray whose zero set is kept in two disjoint parts: the primary set, the
// greedy basis of the zero set in row order (d - 1 rows), and the secondary
// set of the other zero rows (all from row d on), each backed by a
// certificate over primary rows in which the ray counts one reference.
class DualSetRay final : public Ray {
public:
  // Takes over coefficients (count slacks, from row creationRow + 1 on). The
  // secondary rows join afterwards, through reserveSlots() and addSecondary().
  DualSetRay(unsigned firstSecondaryRow, unsigned creationRow, unsigned count,
             std::unique_ptr<mpz_class[]> coefficients, BitList primary)
      : Ray(firstSecondaryRow, creationRow, count, std::move(coefficients)),
        mPrimary(std::move(primary)), mSecondary(mPrimary.wordCount()) {
    DD_ASSERT(mPrimary.count() + 1u == firstSecondaryRow);
  }
  // The combination of p and n on row a.
  DualSetRay(DualSetRay const* p, DualSetRay const* n, unsigned a, unsigned m, BitList primary)
      : Ray(p, n, a, m), mPrimary(std::move(primary)), mSecondary(mPrimary.wordCount()) {
    DD_ASSERT(mPrimary.count() + 1u == firstSecondaryRow());
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

  // The first row after the creation row with a negative slack, or the row
  // after the last slack. The zero rows before it belong to the zero set.
  unsigned firstNegativeRow() const;
  // The last row before end, after the creation row, with a zero slack, or
  // BitList::NO_BIT.
  std::uint64_t lastZeroRow(unsigned end) const;

private:
  BitList mPrimary;
  BitList mSecondary;
  // Slot of row r at index r - firstSecondaryRow(); null while no row is
  // secondary.
  std::unique_ptr<LinearDependenceEntry*[]> mDependencies;
};

// The ray's zero set restricted to the rows of mask, for the ray cache.
BitList maskedZeroSet(DualSetRay const& ray, BitList const& mask);

} // namespace double_description

#endif
