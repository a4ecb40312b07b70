#include "iteration/DDCombTestTraverseVisitor.h"

#include "core/DDBitOps.h"
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
    if (!mVerTree->verificationTraverse(question))
      createRay(stored, ref);
  });
}

ExtVerificationCondition& CombTestTraverseVisitor::question(RayReference const& stored,
                                                            RayReference const& query) {
  const std::uint64_t n = stored.mBits.wordCount();
  if (!mQuestion)
    mQuestion.emplace(BitList(n), stored.mBits, query.mBits);
  BitList& face = mQuestion->mMask;
  if (face.wordCount() != n)
    face = BitList(n);
  const std::uint64_t* a = stored.mBits.words();
  const std::uint64_t* b = query.mBits.words();
  std::uint64_t* common = face.words();
  for (std::uint64_t i = 0; i < n; ++i)
    common[i] = a[i] & b[i];
  mQuestion->mFaceCardinality = popcount(common, n);
  mQuestion->mFirst = &stored.mBits;
  mQuestion->mSecond = &query.mBits;
  return *mQuestion;
}

} // namespace double_description
