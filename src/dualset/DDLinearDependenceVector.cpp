#include "dualset/DDLinearDependenceVector.h"

#include <sstream>

namespace double_description {

std::string LinearDependenceVector::toString() const {
  std::ostringstream out;
  out << mCertificates.size() << " entries.";
  return out.str();
}

} // namespace double_description
