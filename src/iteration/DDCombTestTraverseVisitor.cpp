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
    mQuestion.emplace(BitList(), stored.mBits, query.mBits);
  BitList& face = mQuestion->mMask;
  face.assignAnd(stored.mBits, query.mBits);
  mQuestion->mFaceCardinality = face.count();
  mQuestion->mFirst = &stored.mBits;
  mQuestion->mSecond = &query.mBits;
  return *mQuestion;
}

} // namespace double_description
