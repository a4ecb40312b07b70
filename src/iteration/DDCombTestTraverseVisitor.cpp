#include "iteration/DDCombTestTraverseVisitor.h"

#include "trees/DDTreeSearch.h"
#include "trees/DDVerificationCondition.h"

namespace double_description {

void CombTestTraverseVisitor::onVisit(RayReference const& ref) {
  if (acceptAllIfNondegenerate(ref))
    return;
  mState = 2;
  searchFaces(*mTree, ref,
              [&](RayReference const& stored, BitList const& pattern, BitList const& face) {
                ExtVerificationCondition& question = this->question(pattern, ref.bits(), face);
                ++VerificationCondition::CANDIDATES;
                if (!verificationTraverse(*mVerTree, question))
                  createRay(stored, ref);
              });
}

ExtVerificationCondition& CombTestTraverseVisitor::question(BitList const& stored,
                                                            BitList const& query,
                                                            BitList const& face) {
  if (!mQuestion)
    mQuestion.emplace(face, stored, query);
  mQuestion->mMask = face;
  mQuestion->mFaceCardinality = face.count();
  mQuestion->mFirst = &stored;
  mQuestion->mSecond = &query;
  return *mQuestion;
}

} // namespace double_description
