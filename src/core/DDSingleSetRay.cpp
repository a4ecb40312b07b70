#include "core/DDSingleSetRay.h"

namespace double_description {

namespace {

// The parents' common zero set plus row a, over n's word count.
BitList commonZeroSet(SingleSetRay const* p, SingleSetRay const* n, unsigned a) {
  BitList zero = p->mActiveSet;
  if (zero.wordCount() != n->mActiveSet.wordCount())
    zero.resize(n->mActiveSet.wordCount());
  zero &= n->mActiveSet;
  zero.set(a);
  return zero;
}

} // namespace

SingleSetRay::Combination SingleSetRay::combine(SingleSetRay const* p, SingleSetRay const* n,
                                                unsigned a, SlackCalculator const& slacks) {
  Combination c{slacks.combine(p->coordinates(), n->coordinates(), a), commonZeroSet(p, n, a), 0};
  c.mFirstNegativeRow = slacks.markZeroRows(c.mCoordinates, a + 1, c.mZeroSet);
  DD_ASSERT(c.mZeroSet.noneFrom(slacks.rowCount()));
  return c;
}

SingleSetRay::SingleSetRay(SingleSetRay const* p, SingleSetRay const* n, unsigned a,
                           SlackCalculator const& slacks)
    : SingleSetRay(p->firstSecondaryRow(), a, combine(p, n, a, slacks)) {}

std::string SingleSetRay::toString() const {
  return Ray::toString() + "\n" + "\tactive set:" + mActiveSet.toString() + "\n";
}

} // namespace double_description
