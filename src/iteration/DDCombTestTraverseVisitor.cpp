#include "iteration/DDCombTestTraverseVisitor.h"

#include "core/DDBitOps.h"
#include "trees/DDVerificationCondition.h"

namespace double_description {

void CombTestTraverseVisitor::onVisit(RayReference const& ref) {
  const std::uint16_t c = popcount(ref.mBits.words(), ref.mBits.wordCount());
  if (c == static_cast<std::uint16_t>(mThreshold + 1)) {
    acceptAll(ref);
    return;
  }
  mState = 2;
  mTree->preliminaryTraverse(ref, mCandidates);
  for (EdgeCandidate const& candidate : mCandidates) {
    ExtVerificationCondition question(candidate.mCommon, candidate.mFirst.mBits,
                                      candidate.mSecond.mBits);
    ++VerificationCondition::CANDIDATES;
    if (!mVerTree->verificationTraverse(question))
      createRay(candidate);
  }
  mCandidates.clear();
}

} // namespace double_description
