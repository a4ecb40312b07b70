#include "trees/DDPackedTree.h"

#include "trees/DDIntermediateBitSetNode.h"
#include "trees/DDLeafNode.h"

namespace double_description {

std::unique_ptr<PackedTree> PackedTree::pack(TreeNode const& tree) {
  std::uint64_t words = tree.mUnion.wordCount();
  std::uint32_t threshold = 0;
  if (auto const* inner = dynamic_cast<IntermediateBitSetNode<PreliminaryCondition> const*>(&tree))
    threshold = inner->mCondition.mThreshold;
  else if (auto const* leaf = dynamic_cast<LeafNode<PreliminaryCondition> const*>(&tree))
    threshold = leaf->mCondition.mThreshold;
  else
    return nullptr;
  std::unique_ptr<PackedTree> packed(new PackedTree(words, threshold));
  if (!packed->add(tree))
    return nullptr;
  return packed;
}

bool PackedTree::add(TreeNode const& node) {
  PreliminaryCondition const* condition;
  auto const* inner = dynamic_cast<IntermediateBitSetNode<PreliminaryCondition> const*>(&node);
  auto const* leaf = dynamic_cast<LeafNode<PreliminaryCondition> const*>(&node);
  if (inner != nullptr)
    condition = &inner->mCondition;
  else if (leaf != nullptr)
    condition = &leaf->mCondition;
  else
    return false;
  // An empty bucket keeps the one zero word of an empty union; as the mask of
  // an empty leaf it passes and fails the tests exactly as zero words do.
  const std::uint64_t maskWords = condition->mMask.wordCount();
  const bool emptyLeaf = leaf != nullptr && leaf->mRayCount == 0;
  if (condition->mThreshold != mThreshold ||
      (maskWords != mWordCount && !(emptyLeaf && maskWords < mWordCount && condition->mMask.none())))
    return false;

  ++mNodeCount;
  const std::uint64_t at = mNodes.size();
  mNodes.resize(at + mNodeWords);
  for (std::uint64_t w = 0; w < maskWords && w < mWordCount; ++w)
    mNodes[at + HEADER_WORDS + w] = condition->mMask.words()[w];

  std::uint64_t patternCount = NOT_A_LEAF;
  std::uint64_t firstPattern = 0;
  if (leaf != nullptr) {
    patternCount = leaf->mRayCount;
    firstPattern = mReferences.size();
    for (std::uint64_t i = 0; i < leaf->mRayCount; ++i) {
      RayReference const& reference = leaf->mRays[i];
      if (reference.bits().wordCount() != mWordCount)
        return false;
      mReferences.push_back(&reference);
      mPatterns.insert(mPatterns.end(), reference.bits().words(),
                       reference.bits().words() + mWordCount);
    }
  } else {
    // The searches visit the children from the last to the first.
    for (unsigned short i = inner->mChildCount; i-- > 0;)
      if (!add(*inner->child(i)))
        return false;
  }
  // mNodes may have moved while the children were added.
  mNodes[at] = mNodeCount;
  mNodes[at + 1] = firstPattern | patternCount << 32;
  return true;
}

bool PackedTree::verificationTraverse(ExtVerificationCondition const& question) const {
  switch (mWordCount) {
  case 1:
    return verify<1>(question);
  case 2:
    return verify<2>(question);
  case 3:
    return verify<3>(question);
  case 4:
    return verify<4>(question);
  default:
    return verify<0>(question);
  }
}

template <unsigned W> bool PackedTree::verify(ExtVerificationCondition const& question) const {
  const std::uint64_t w = W != 0 ? W : mWordCount;
  const std::uint64_t nodeWords = HEADER_WORDS + w;
  const std::uint64_t* face = question.mMask.words();
  const std::uint64_t* firstPair = question.mFirst->words();
  const std::uint64_t* secondPair = question.mSecond->words();
  std::uint64_t visits = 0;
  std::uint64_t tests = 0;
  bool found = false;
  for (std::uint32_t i = 0; i < mNodeCount && !found;) {
    const std::uint64_t* node = &mNodes[i * nodeWords];
    ++visits;
    if (!isSubset(face, node + HEADER_WORDS, w)) {
      i = next(node);
      continue;
    }
    const std::uint32_t n = count(node);
    if (n != NOT_A_LEAF) {
      const std::uint64_t* p = &mPatterns[first(node) * w];
      std::uint32_t k = 0;
      for (; k < n; ++k, p += w) {
        std::uint64_t missing = 0;
        for (std::uint64_t x = 0; x < w; ++x)
          missing |= face[x] & ~p[x];
        if (missing == 0 && !equalWords(p, firstPair, w) && !equalWords(p, secondPair, w)) {
          found = true;
          break;
        }
      }
      tests += found ? k + 1 : n;
    }
    ++i;
  }
  PreliminaryCondition::VERIFICATION_OPS += visits;
  VerificationCondition::OPS += tests;
  return found;
}

} // namespace double_description
