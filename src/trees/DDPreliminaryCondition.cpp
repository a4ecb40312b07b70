#include "trees/DDPreliminaryCondition.h"

#include <sstream>

#include "trees/DDVerificationCondition.h"

namespace double_description {

const PreliminaryCondition PreliminaryCondition::TRIVIAL_FAIL;

std::string PreliminaryCondition::toString() const {
  std::ostringstream out;
  out << "|u|=" << mMask.count();
  return out.str();
}

} // namespace double_description
