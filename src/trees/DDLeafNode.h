#ifndef DD_LEAFNODE_H
#define DD_LEAFNODE_H

#include <algorithm>
#include <cstdint>
#include <deque>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

#include "core/DDBitOps.h"
#include "core/DDRayReference.h"
#include "core/DDRayReferenceContainer.h"
#include "trees/DDPreliminaryCondition.h"
#include "trees/DDRayRefContainerToArrayTransformer.h"
#include "trees/DDTreeNode.h"
#include "trees/DDVantagePointPreliminaryCondition.h"
#include "trees/DDVerificationCondition.h"

namespace double_description {

// A leaf: copies of its bucket's references in one contiguous array.
template <class C>
class LeafNode final : public virtual TreeNode {
  static constexpr bool VANTAGE_POINT = std::is_same_v<C, VantagePointPreliminaryCondition>;

public:
  LeafNode(RayReferenceContainer const& set, C const& condition)
      : TreeNode(set.mUnion), mCondition(condition), mRayCount(set.size()), mRays(nullptr) {
    RayRefContainerToArrayTransformer transformer(static_cast<std::uint32_t>(mRayCount));
    set.iterate(transformer);
    mRays = transformer.mArray;
    packPatterns();
  }
  // The empty leaf: holds on nothing and stores nothing.
  LeafNode() : TreeNode(BitList()), mCondition(), mRayCount(0), mRays(nullptr) {
    mJoinCondition = &PreliminaryCondition::TRIVIAL_FAIL;
  }
  ~LeafNode() override {
    delete[] mRays;
    delete[] mPatterns;
  }

  void preliminaryTraverse(TreeNode const* other,
                           std::vector<EdgeCandidate>& candidates) const override {
    const PreliminaryCondition* join = other->mJoinCondition;
    if (join != nullptr && mJoinCondition != nullptr && join->holdsOnFace(mUnion))
      other->preliminaryTraverse(mRays, static_cast<unsigned int>(mRayCount), *mJoinCondition,
                                 candidates);
  }

  void preliminaryTraverse(RayReference const* references, unsigned int count,
                           PreliminaryCondition const& condition,
                           std::vector<EdgeCandidate>& candidates) const override {
    if (mJoinCondition == nullptr || !condition.holdsOnFace(mUnion) || mRayCount == 0)
      return;
    const std::uint32_t t = mJoinCondition->mThreshold;
    for (std::uint64_t i = 0; i < mRayCount; ++i) {
      const RayReference& stored = mRays[i];
      if (stored.mCardinality < t)
        continue;
      for (unsigned int j = 0; j < count; ++j) {
        const RayReference& given = references[j];
        if (popcountAnd(stored.mBits.words(), given.mBits.words(), stored.mBits.wordCount()) >= t)
          candidates.emplace_back(stored, given);
      }
    }
  }

  void preliminaryTraverse(RayReference const& query,
                           std::deque<EdgeCandidate>& candidates) const override {
    searchPartners(query, [&](RayReference const& stored) { candidates.emplace_back(stored, query); });
  }

  // The narrowing search with found(stored reference) for each partner, in
  // stored order.
  template <class F> void searchPartners(RayReference const& query, F&& found) const {
    const BitList& q = query.mBits;
    if constexpr (VANTAGE_POINT) {
      if (!mCondition.holdsOnFace(q)) // counts the visit
        return;
    } else {
      ++PreliminaryCondition::NARROWING_OPS;
      // The mask read through the member itself: its offset is static here.
      const BitList& mask = mCondition.mMask;
      if (popcountAnd(q.words(), mask.words(), mask.wordCount()) < mCondition.mThreshold)
        return;
    }
    const std::uint32_t n = mCondition.mThreshold;
    const std::uint64_t words = q.wordCount();
    PreliminaryCondition::NARROWING_OPS += mRayCount;
    if (words == mPatternWords) {
      const std::uint64_t* p = mPatterns;
      for (std::uint64_t i = 0; i < mRayCount; ++i, p += words)
        if (popcountAnd(p, q.words(), words) >= n)
          found(mRays[i]);
      return;
    }
    for (std::uint64_t i = 0; i < mRayCount; ++i)
      if (popcountAnd(mRays[i].mBits.words(), q.words(), words) >= n)
        found(mRays[i]);
  }

  bool verificationTraverse(ExtVerificationCondition const& question) const override {
    ++PreliminaryCondition::VERIFICATION_OPS;
    if constexpr (VANTAGE_POINT) {
      if (mCondition.isRedundant(question))
        return true;
      if (!mCondition.proceed_verification(question.mMask))
        return false;
    } else {
      const BitList& mask = mCondition.mMask;
      if (!isSubset(question.mMask.words(), mask.words(), mask.wordCount()))
        return false;
    }
    if (mPatternWords == 0 || question.mMask.wordCount() < mPatternWords) {
      for (std::uint64_t i = 0; i < mRayCount; ++i)
        if (question.holdsOnRay(mRays[i].mBits))
          return true;
      return false;
    }
    // question.holdsOnRay on each pattern, over the packed copies.
    const std::uint64_t words = mPatternWords;
    const std::uint64_t* face = question.mMask.words();
    const std::uint64_t* first = question.mFirst->words();
    const std::uint64_t* second = question.mSecond->words();
    const std::uint64_t* p = mPatterns;
    for (std::uint64_t i = 0; i < mRayCount; ++i, p += words) {
      // Every word at once: a branch per word mispredicts more than it saves.
      std::uint64_t missing = 0;
      for (std::uint64_t w = 0; w < words; ++w)
        missing |= face[w] & ~p[w];
      if (missing == 0 && !equalWords(p, first, words) && !equalWords(p, second, words)) {
        VerificationCondition::OPS += i + 1;
        return true;
      }
    }
    VerificationCondition::OPS += mRayCount;
    return false;
  }

  void enumerateLeafNodes(std::vector<TreeNode const*>& leaves) const override {
    if (mRayCount > 0)
      leaves.push_back(this);
  }
  std::uint64_t getSubNodesCount() const override { return 0; }
  std::uint64_t getRaysCount() const override { return mRayCount; }
  std::uint64_t getLeafNodesCount() const override { return mRayCount > 0 ? 1 : 0; }
  bool isEmpty() const override { return getRaysCount() == 0; }

  std::string toString(unsigned short) const override {
    std::ostringstream out;
    out << "p" << static_cast<const TreeNode*>(this) << " [label=\"|V|=" << getRaysCount()
        << ", " << mCondition.toString() << "\"];\n";
    return out.str();
  }

  C mCondition;
  std::uint64_t mRayCount;
  RayReference* mRays;
  // The patterns of mRays back to back, mPatternWords words each, so that a
  // search scans one array. Null (and 0 words) when the leaf is empty or its
  // patterns differ in word count.
  std::uint64_t* mPatterns = nullptr;
  std::uint64_t mPatternWords = 0;

  static LeafNode EMPTY_NODE;

private:
  void packPatterns() {
    if (mRayCount == 0)
      return;
    const std::uint64_t words = mRays[0].mBits.wordCount();
    for (std::uint64_t i = 1; i < mRayCount; ++i)
      if (mRays[i].mBits.wordCount() != words)
        return;
    mPatterns = new std::uint64_t[mRayCount * words];
    for (std::uint64_t i = 0; i < mRayCount; ++i)
      std::copy(mRays[i].mBits.words(), mRays[i].mBits.words() + words, mPatterns + i * words);
    mPatternWords = words;
  }
};

// The one shared empty leaf, handed out as the tree of an empty set.
template <>
LeafNode<PreliminaryCondition> LeafNode<PreliminaryCondition>::EMPTY_NODE;

extern template class LeafNode<PreliminaryCondition>;
extern template class LeafNode<VantagePointPreliminaryCondition>;

} // namespace double_description

#endif
