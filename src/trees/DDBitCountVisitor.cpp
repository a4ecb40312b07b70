#include "trees/DDBitCountVisitor.h"

#include <algorithm>

namespace double_description {

void BitCountVisitor::onStart() {
  mState = 1;
  mCounts.assign(mBitCount, 0);
}

void BitCountVisitor::onVisit(RayReference const& reference) {
  const std::uint64_t* words = reference.mBits.words();
  const std::uint64_t wordCount =
      std::min<std::uint64_t>(reference.mBits.wordCount(), (mBitCount + 63) / 64);
  for (std::uint64_t w = 0; w < wordCount; ++w) {
    std::uint64_t bits = words[w];
    while (bits != 0) {
      const std::uint64_t bit = w * 64 + static_cast<std::uint64_t>(__builtin_ctzll(bits));
      if (bit >= mBitCount)
        break;
      ++mCounts[bit];
      bits &= bits - 1;
    }
  }
}

} // namespace double_description
