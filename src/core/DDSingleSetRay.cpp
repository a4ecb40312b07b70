#include "core/DDSingleSetRay.h"

namespace double_description {

SingleSetRay::SingleSetRay(SingleSetRay const* p, SingleSetRay const* n, unsigned long a,
                           unsigned long m)
    : Ray(p, n, static_cast<unsigned>(a), static_cast<unsigned>(m)),
      mActiveSet(p->mActiveSet) {
  const BitList& other = n->mActiveSet;
  if (mActiveSet.wordCount() != other.wordCount())
    mActiveSet.resize(other.wordCount());
  mActiveSet &= other;
  mActiveSet.set(a);
  for (unsigned long k = a + 1; k < m; ++k) {
    const int sign = sgn(slack(static_cast<unsigned>(k)));
    if (sign < 0)
      break;
    if (sign == 0)
      mActiveSet.set(k);
  }
  DD_ASSERT(mActiveSet.noneFrom(m));
}

std::string SingleSetRay::toString() const {
  return Ray::toString() + "\n" + "\tactive set:" + mActiveSet.toString() + "\n";
}

} // namespace double_description
