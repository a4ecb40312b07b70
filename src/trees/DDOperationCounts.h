#ifndef DD_OPERATIONCOUNTS_H
#define DD_OPERATIONCOUNTS_H

#include <cstdint>

#include "trees/DDPreliminaryCondition.h"
#include "trees/DDVerificationCondition.h"

namespace double_description {

// The operation counters of this thread at one moment. A search that meets
// a chain of identical levels tests one of them and repeats its counts.
struct OperationCounts {
  static OperationCounts now() {
    return {PreliminaryCondition::NARROWING_OPS, PreliminaryCondition::VERIFICATION_OPS,
            VerificationCondition::OPS};
  }
  // Adds what was counted since this moment times more.
  void repeatSince(std::uint64_t times) const {
    PreliminaryCondition::NARROWING_OPS +=
        (PreliminaryCondition::NARROWING_OPS - mNarrowing) * times;
    PreliminaryCondition::VERIFICATION_OPS +=
        (PreliminaryCondition::VERIFICATION_OPS - mVerification) * times;
    VerificationCondition::OPS += (VerificationCondition::OPS - mVerificationCondition) * times;
  }

  std::uint64_t mNarrowing;
  std::uint64_t mVerification;
  std::uint64_t mVerificationCondition;
};

} // namespace double_description

#endif
