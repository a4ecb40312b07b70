#include "trees/DDPreliminaryCondition.h"

#include <sstream>

#include "trees/DDVerificationCondition.h"

namespace double_description {

const PreliminaryCondition PreliminaryCondition::TRIVIAL_FAIL;
thread_local std::uint64_t PreliminaryCondition::NARROWING_OPS = 0;
thread_local std::uint64_t PreliminaryCondition::VERIFICATION_OPS = 0;
thread_local std::uint64_t VerificationCondition::OPS = 0;
thread_local std::uint64_t VerificationCondition::CANDIDATES = 0;

std::string PreliminaryCondition::toString() const {
  std::ostringstream out;
  out << "|u|=" << mMask.count();
  return out.str();
}

} // namespace double_description
