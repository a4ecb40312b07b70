#include "trees/DDPackedTree.h"

#include "trees/DDIntermediateBitSetNode.h"
#include "trees/DDLeafNode.h"

#include <algorithm>
#include <cstdint>

namespace double_description {

namespace {

// The searches for the processor the program runs on, chosen once; tests
// switch to the plain ones to run both.
bool AVX512 = packed_scan::avx512Runs();

} // namespace

bool PackedTree::useVectorScans(bool wanted) {
  AVX512 = wanted && packed_scan::avx512Runs();
  return AVX512;
}

std::unique_ptr<PackedTree> PackedTree::pack(TreeNode const& tree, bool verification) {
  std::uint64_t words = tree.mUnion.wordCount();
  std::uint32_t threshold = 0;
  if (auto const* inner = dynamic_cast<IntermediateBitSetNode<PreliminaryCondition> const*>(&tree))
    threshold = inner->mCondition.mThreshold;
  else if (auto const* leaf = dynamic_cast<LeafNode<PreliminaryCondition> const*>(&tree))
    threshold = leaf->mCondition.mThreshold;
  else
    return nullptr;
  std::unique_ptr<PackedTree> packed(
      new PackedTree(words, threshold, verification ? SLICE_MIN : 0));
  std::vector<std::uint64_t> slices;
  if (!packed->add(tree, slices))
    return nullptr;
  if (verification) {
    // Aligned to 64 bytes, every slice word of a chunk is one cache line.
    packed->mSlices.resize(slices.size() + packed_scan::SLICE_CHUNK - 1);
    const auto address = reinterpret_cast<std::uintptr_t>(packed->mSlices.data());
    packed->mSliceShift = (64 - address % 64) % 64 / sizeof(std::uint64_t);
    std::copy(slices.begin(), slices.end(), packed->mSlices.begin() + packed->mSliceShift);
  }
  return packed;
}

bool PackedTree::add(TreeNode const& node, std::vector<std::uint64_t>& slices) {
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
      (maskWords != mWordCount &&
       !(emptyLeaf && maskWords < mWordCount && condition->mMask.none())))
    return false;

  const std::uint64_t at = mNodes.size();
  const bool sliceWord = leaf != nullptr && mSliceMin != 0;
  mNodes.resize(at + packed_scan::HEADER + mWordCount + (sliceWord ? 1 : 0));
  for (std::uint64_t w = 0; w < maskWords && w < mWordCount; ++w)
    mNodes[at + packed_scan::HEADER + w] = condition->mMask.words()[w];

  std::uint64_t patternCount = packed_scan::NOT_A_LEAF;
  std::uint64_t firstPattern = 0;
  if (leaf != nullptr) {
    const std::uint64_t n = leaf->mRayCount;
    patternCount = n;
    firstPattern = mReferences.size();
    const std::uint64_t block = mLeafPatterns.size();
    mLeafPatterns.resize(block + n * mWordCount);
    for (std::uint64_t i = 0; i < n; ++i) {
      BitList const& pattern = leaf->mRays[i].bits();
      if (pattern.wordCount() != mWordCount)
        return false;
      mReferences.push_back(&leaf->mRays[i]);
      for (std::uint64_t w = 0; w < mWordCount; ++w) {
        mLeafPatterns[block + w * n + i] = pattern.words()[w];
        mPatterns.push_back(pattern.words()[w]);
      }
    }
    if (sliceWord)
      mNodes[at + packed_scan::HEADER + mWordCount] =
          n >= mSliceMin ? packed_scan::appendSlices(slices, &mLeafPatterns[block],
                                                     static_cast<std::uint32_t>(n),
                                                     static_cast<std::uint32_t>(mWordCount))
                         : packed_scan::NO_SLICES;
  } else {
    // The searches visit the children from the last to the first.
    for (unsigned short i = inner->mChildCount; i-- > 0;)
      if (!add(*inner->child(i), slices))
        return false;
  }
  mNodes[at] = mNodes.size();
  mNodes[at + 1] = firstPattern | patternCount << 32;
  return true;
}

std::uint32_t PackedTree::partners(RayReference const& query,
                                   std::vector<std::uint32_t>& hits) const {
  if (hits.size() < mReferences.size())
    hits.resize(mReferences.size());
  std::uint64_t visits = 0;
  const packed_scan::Image tree = image();
  const std::uint32_t n =
      AVX512 ? packed_scan::narrowAvx512(tree, query.bits().words(), hits.data(), visits)
             : packed_scan::narrow(tree, query.bits().words(), hits.data(), visits);
  PreliminaryCondition::NARROWING_OPS += visits;
  return n;
}

bool PackedTree::verificationTraverse(ExtVerificationCondition const& question) const {
  std::uint64_t nodes = 0;
  std::uint64_t tests = 0;
  const packed_scan::Image tree = image();
  const bool found =
      AVX512 ? packed_scan::verifyAvx512(tree, question.mMask.words(), question.mFirst->words(),
                                         question.mSecond->words(), nodes, tests)
             : packed_scan::verify(tree, question.mMask.words(), question.mFirst->words(),
                                   question.mSecond->words(), nodes, tests);
  PreliminaryCondition::VERIFICATION_OPS += nodes;
  VerificationCondition::OPS += tests;
  return found;
}

} // namespace double_description
