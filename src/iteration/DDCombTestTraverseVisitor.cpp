#include "iteration/DDCombTestTraverseVisitor.h"

#include "trees/DDTreeSearch.h"
#include "trees/DDVerificationCondition.h"

namespace double_description {

void CombTestTraverseVisitor::onVisit(RayReference const& ref) {
  if (acceptAllIfNondegenerate(ref))
    return;
  mState = 2;
  if (PackedTree const* image = mVerTree->image()) {
    // The pairs of one query share most of their faces' paths down the
    // verification tree: they go down together, a batch at a time.
    if (!mBatch || mBatch->words() != image->wordCount())
      mBatch.emplace(image->wordCount());
    const auto verify = [&] {
      const std::uint64_t found = image->verifyFaces(*mBatch, ref.bits());
      for (std::uint32_t j = 0; j < mBatch->size(); ++j)
        if ((found >> j & 1) == 0)
          createRay(mBatch->stored(j), ref);
      mBatch->clear();
    };
    searchFaces(*mTree, ref, [&](RayReference const& stored, BitList const&, BitList const& face) {
      ++VerificationCondition::CANDIDATES;
      mBatch->add(stored, face);
      if (mBatch->full())
        verify();
    });
    if (mBatch->size() != 0)
      verify();
    return;
  }
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
