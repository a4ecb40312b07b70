#include "dualset/DDDualSetRay.h"

namespace double_description {

DualSetRay::~DualSetRay() {
  const std::uint64_t* words = mSecondary.words();
  for (std::uint64_t w = 0; w < mSecondary.wordCount(); ++w)
    for (std::uint64_t bits = words[w]; bits != 0; bits &= bits - 1)
      dependency(static_cast<unsigned>(64 * w + __builtin_ctzll(bits)))->release();
  delete[] mDependencies;
}

BitList maskedZeroSet(DualSetRay const& ray, BitList const& mask) {
  const std::uint64_t n = mask.wordCount();
  BitList pattern(n);
  std::uint64_t* out = pattern.words();
  const std::uint64_t* p = ray.mPrimary.words();
  const std::uint64_t* s = ray.mSecondary.words();
  const std::uint64_t* m = mask.words();
  for (std::uint64_t i = 0; i < n; ++i)
    out[i] = (p[i] | s[i]) & m[i];
  return pattern;
}

} // namespace double_description
