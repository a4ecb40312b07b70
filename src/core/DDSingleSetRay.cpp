#include "core/DDSingleSetRay.h"

#include "core/DDBitOps.h"

namespace double_description {

SingleSetRay::SingleSetRay(SingleSetRay const* p, SingleSetRay const* n, unsigned long a,
                           unsigned long m)
    : Ray(p, n, static_cast<unsigned>(a), static_cast<unsigned>(m)),
      mActiveSet(p->mActiveSet) {
  const BitList& other = n->mActiveSet;
  if (mActiveSet.wordCount() != other.wordCount())
    mActiveSet.resize(other.wordCount());
  std::uint64_t* words = mActiveSet.words();
  const std::uint64_t* otherWords = other.words();
  for (std::uint64_t i = 0; i < mActiveSet.wordCount(); ++i)
    words[i] &= otherWords[i];
  setBit(words, a);
  for (unsigned long k = a + 1; k < m; ++k) {
    const int sign = sgn(mCoefficients[k - a - 1]);
    if (sign < 0)
      break;
    if (sign == 0)
      setBit(words, k);
  }
}

std::string SingleSetRay::toString() const {
  return Ray::toString() + "\n" + "\tactive set:" + mActiveSet.toString() + "\n";
}

} // namespace double_description
