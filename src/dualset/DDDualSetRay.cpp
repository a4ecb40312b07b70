#include "dualset/DDDualSetRay.h"

#include "core/DDBitOps.h"
#include "core/DDFreeListPool.h"

#include <memory>

namespace double_description {

namespace {

using RowPool = FreeListPool<DualSetRay>;

std::size_t rowWords(unsigned rows) { return (rows + 3u) / 4u; }

std::size_t wordsOf(std::size_t bytes) {
  return (bytes + sizeof(std::uint64_t) - 1) / sizeof(std::uint64_t);
}

} // namespace

void* DualSetRay::operator new(std::size_t bytes) { return RowPool::take(wordsOf(bytes)); }

void DualSetRay::operator delete(void* ray, std::size_t bytes) {
  RowPool::give(ray, wordsOf(bytes));
}

DualSetRay::~DualSetRay() {
  for (LinearDependenceEntry* e : mCertificates)
    e->release();
  RowPool::give(mPrimaryRows, rowWords(primaryCount()));
}

void DualSetRay::listPrimaryRows(std::uint64_t first, std::uint64_t end) {
  mPrimaryRows = static_cast<std::uint16_t*>(RowPool::take(rowWords(primaryCount())));
  unsigned t = 0;
  for (std::uint64_t w = first; w < end; ++w)
    if (const std::uint64_t bits = mPrimary.words()[w]) {
      spanWord(w);
      forEachSetBitOf(bits, 64 * w,
                      [&](std::uint64_t r) { mPrimaryRows[t++] = static_cast<std::uint16_t>(r); });
    }
  DD_ASSERT(t == primaryCount());
}

std::size_t DualSetRay::rankOf(unsigned r) const {
  DD_ASSERT(mSecondary.test(r));
  return mSecondary.countBelow(r);
}

void DualSetRay::addSecondary(unsigned r, LinearDependenceEntry* e) {
  DD_ASSERT(e->isComputed());
  std::uint64_t mask[4] = {};
  std::unique_ptr<std::uint64_t[]> large;
  if (mMaskWords > 4)
    large = std::make_unique<std::uint64_t[]>(mMaskWords);
  std::uint64_t* out = large ? large.get() : mask;
  // The rank of each support row among the primary rows.
  unsigned t = 0;
  unsigned i = 0;
  mPrimary.forEachSetBit([&](std::uint64_t row) {
    if (i < e->supportSize() && e->supportRow(i) == row) {
      out[t / 64] |= std::uint64_t(1) << (t % 64);
      ++i;
    }
    ++t;
  });
  DD_ASSERT(i == e->supportSize());
  addSecondary(r, e, out);
}

void DualSetRay::addUncountedSecondary(unsigned r, LinearDependenceEntry* e,
                                       std::uint64_t const* mask) {
  // The cheap parts of the greedy-basis invariant: secondary rows come after
  // the basis rows, are disjoint from the primary set and join in order.
  DD_ASSERT(r >= firstSecondaryRow() && r < 64 * mSecondary.wordCount());
  DD_ASSERT(!mPrimary.test(r) && mSecondary.noneFrom(r));
  DD_ASSERT(e->row() == r && e->isComputed());
  mSecondary.set(r);
  spanWord(r / 64);
  mCertificates.push_back(e);
  mSupportMasks.insert(mSupportMasks.end(), mask, mask + mMaskWords);
}

void writeMaskedZeroSet(BitList& pattern, DualSetRay const& ray, BitList const& mask) {
  DD_ASSERT(pattern.wordCount() == mask.wordCount() && pattern.none());
  const auto words = maskedZeroSetWords(ray, mask);
  std::uint64_t const* p = ray.primary().words();
  std::uint64_t const* s = ray.secondary().words();
  if (ray.secondaryCount() == 0)
    for (std::uint64_t w = words.first; w < words.second; ++w)
      pattern.words()[w] = p[w] & mask.words()[w];
  else
    for (std::uint64_t w = words.first; w < words.second; ++w)
      pattern.words()[w] = (p[w] | s[w]) & mask.words()[w];
}

BitList maskedZeroSet(DualSetRay const& ray, BitList const& mask) {
  BitList pattern(mask.wordCount());
  writeMaskedZeroSet(pattern, ray, mask);
  return pattern;
}

} // namespace double_description
