#ifndef DD_STEPSTATISTICS_H
#define DD_STEPSTATISTICS_H

#include <cstdint>

namespace double_description {

// Figures of one iteration step; all zero when the row had no positive or no
// negative ray.
struct StepStatistics {
  std::uint64_t mVerificationOps = 0;
  std::uint64_t mNarrowingOps = 0;
  std::uint64_t mVerificationCandidates = 0;
  std::uint64_t mAccepted = 0;
  double mPosDegeneracy = 0.0;
  double mNegDegeneracy = 0.0;
  double mEliminationComplexity = 0.0;
  double mVerificationLogComplexity = 0.0;
  double mVerificationLinearComplexity = 0.0;
};

} // namespace double_description

#endif
