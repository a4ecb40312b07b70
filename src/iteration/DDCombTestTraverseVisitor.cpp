#include "iteration/DDCombTestTraverseVisitor.h"

#include "trees/DDTreeSearch.h"
#include "trees/DDVerificationCondition.h"

namespace double_description {

void CombTestTraverseVisitor::onVisit(RayReference const& ref) {
  if (acceptAllIfNondegenerate(ref))
    return;
  mState = 2;
  searchPartners(*mTree, ref, [&](RayReference const& stored) {
    ExtVerificationCondition& question = this->question(stored, ref);
    ++VerificationCondition::CANDIDATES;
    if (!verificationTraverse(*mVerTree, question))
      createRay(stored, ref);
  });
}

ExtVerificationCondition& CombTestTraverseVisitor::question(RayReference const& stored,
                                                            RayReference const& query) {
  if (!mQuestion)
    mQuestion.emplace(BitList(), stored.bits(), query.bits());
  BitList& face = mQuestion->mMask;
  face.assignAnd(stored.bits(), query.bits());
  mQuestion->mFaceCardinality = face.count();
  mQuestion->mFirst = &stored.bits();
  mQuestion->mSecond = &query.bits();
  return *mQuestion;
}

} // namespace double_description
