#include "core/DDSingleSetRay.h"

#include <algorithm>

#include "core/DDFreeListPool.h"

namespace double_description {

namespace {

using RayPool = FreeListPool<SingleSetRay>;

std::size_t wordsOf(std::size_t bytes) {
  return (bytes + sizeof(std::uint64_t) - 1) / sizeof(std::uint64_t);
}

// The parents' common zero set plus row a, over n's word count. Only the
// words where both parents have zero rows are read.
BitList commonZeroSet(SingleSetRay const* p, SingleSetRay const* n, unsigned a) {
  BitList zero(n->mActiveSet.wordCount());
  const std::uint32_t first = std::max(p->mZeroFirstWord, n->mZeroFirstWord);
  const std::uint32_t end = std::min<std::uint32_t>(
      std::min(p->mZeroEndWord, n->mZeroEndWord),
      static_cast<std::uint32_t>(std::min(p->mActiveSet.wordCount(), zero.wordCount())));
  std::uint64_t* out = zero.words();
  for (std::uint32_t w = first; w < end; ++w)
    out[w] = p->mActiveSet.words()[w] & n->mActiveSet.words()[w];
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

void* SingleSetRay::operator new(std::size_t bytes) { return RayPool::take(wordsOf(bytes)); }

void SingleSetRay::operator delete(void* ray, std::size_t bytes) {
  RayPool::give(ray, wordsOf(bytes));
}

std::string SingleSetRay::toString() const {
  return Ray::toString() + "\n" + "\tactive set:" + mActiveSet.toString() + "\n";
}

} // namespace double_description
