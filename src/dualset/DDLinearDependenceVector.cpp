#include "dualset/DDLinearDependenceVector.h"

#include <sstream>

namespace double_description {

// A list none of whose counts has fallen to 0 would be rebuilt as it is.
void LinearDependenceVector::compact() {
  mHasUnused = false;
  DD_ASSERT(mPatterns.size() == mCertificates.size());
  // Kept entries move up over the freed ones, their patterns with them.
  std::size_t kept = 0;
  mPatterns.retain([&](std::uint64_t j) {
    if (mCertificates[j]->referenceCount() == 0) {
      mCertificates[j].reset();
      return false;
    }
    if (kept != j)
      mCertificates[kept] = std::move(mCertificates[j]);
    ++kept;
    return true;
  });
  mCertificates.resize(kept);
}

std::string LinearDependenceVector::toString() const {
  std::ostringstream out;
  out << mCertificates.size() << " entries.";
  return out.str();
}

} // namespace double_description
