#include "dualset/DDDualSetRay.h"

namespace double_description {

DualSetRay::~DualSetRay() {
  mSecondary.forEachSetBit(
      [this](std::uint64_t r) { dependency(static_cast<unsigned>(r))->release(); });
}

void DualSetRay::reserveSlots(unsigned last) {
  DD_ASSERT(!mDependencies && last >= firstSecondaryRow());
  // Unset: only the slots of secondary rows are read, each set on entry.
  mDependencies.reset(new LinearDependenceEntry*[last - firstSecondaryRow() + 1u]);
}

void DualSetRay::addSecondary(unsigned r, LinearDependenceEntry* e) {
  // The cheap parts of the greedy-basis invariant: secondary rows come after
  // the basis rows and are disjoint from the primary set.
  DD_ASSERT(mDependencies && r >= firstSecondaryRow() && r < 64 * mSecondary.wordCount());
  DD_ASSERT(!mPrimary.test(r) && !mSecondary.test(r));
  mSecondary.set(r);
  mDependencies[r - firstSecondaryRow()] = e;
  e->addReference();
}

BitList maskedZeroSet(DualSetRay const& ray, BitList const& mask) {
  using Word = std::uint64_t;
  BitList pattern(mask.wordCount());
  BitList::forEachWord([](Word& out, Word m, Word p, Word s) { out = (p | s) & m; }, pattern,
                       mask, ray.primary(), ray.secondary());
  return pattern;
}

} // namespace double_description
