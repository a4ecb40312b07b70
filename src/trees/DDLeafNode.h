#ifndef DD_LEAFNODE_H
#define DD_LEAFNODE_H

#include <cstdint>
#include <deque>
#include <memory>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

#include "core/DDPatternBlock.h"
#include "core/DDRayReference.h"
#include "core/DDRayReferenceContainer.h"
#include "trees/DDPreliminaryCondition.h"
#include "trees/DDRayRefContainerToArrayTransformer.h"
#include "trees/DDTreeNode.h"
#include "trees/DDVantagePointPreliminaryCondition.h"
#include "trees/DDVerificationCondition.h"

namespace double_description {

// A leaf: copies of its bucket's references in one contiguous array.
template <class C> class LeafNode final : public virtual TreeNode {
  static constexpr bool VANTAGE_POINT = std::is_same_v<C, VantagePointPreliminaryCondition>;

public:
  // Without packPatterns the scans read the patterns through the references:
  // for a tree searched once or twice the copy would cost more than it saves.
  LeafNode(RayReferenceContainer const& set, C const& condition, bool packPatterns = true)
      : TreeNode(set.unionBits()), mCondition(condition), mRayCount(set.size()) {
    // Deep trees end in many empty leaves: those allocate nothing.
    if (mRayCount == 0)
      return;
    RayRefContainerToArrayTransformer transformer(static_cast<std::uint32_t>(mRayCount));
    set.iterate(transformer);
    mRays = transformer.release();
    if (packPatterns)
      mPatterns.pack(mRayCount, [&](std::uint64_t i) -> BitList const& { return mRays[i].bits(); });
  }
  // The empty leaf: holds on nothing and stores nothing.
  LeafNode() : TreeNode(BitList()), mCondition(), mRayCount(0) {
    mJoinCondition.reset(&PreliminaryCondition::TRIVIAL_FAIL);
  }
  ~LeafNode() override = default;

  void preliminaryTraverse(TreeNode const* other,
                           std::vector<EdgeCandidate>& candidates) const override {
    const PreliminaryCondition* join = other->mJoinCondition.get();
    if (join != nullptr && mJoinCondition != nullptr && join->holdsOnFace(mUnion))
      other->preliminaryTraverse(mRays.get(), static_cast<unsigned int>(mRayCount), *mJoinCondition,
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
        if (stored.bits().countAnd(given.bits()) >= t)
          candidates.emplace_back(stored, given);
      }
    }
  }

  void preliminaryTraverse(RayReference const& query,
                           std::deque<EdgeCandidate>& candidates) const override {
    searchPartners(query,
                   [&](RayReference const& stored) { candidates.emplace_back(stored, query); });
  }

  // The narrowing search with found(stored reference) for each partner, in
  // stored order.
  template <class F> void searchPartners(RayReference const& query, F&& found) const {
    const BitList& q = query.bits();
    if constexpr (VANTAGE_POINT) {
      if (!mCondition.holdsOnFace(q)) // counts the visit
        return;
    } else {
      ++PreliminaryCondition::NARROWING_OPS;
      // The mask read through the member itself: its offset is static here.
      if (mCondition.mMask.countAnd(q) < mCondition.mThreshold)
        return;
    }
    const std::uint32_t n = mCondition.mThreshold;
    PreliminaryCondition::NARROWING_OPS += mRayCount;
    if (q.wordCount() == mPatterns.wordCount()) {
      mPatterns.forEachSharing(q, n, [&](std::uint64_t i) { found(mRays[i]); });
      return;
    }
    // Over the query's words, as the packed scan.
    for (std::uint64_t i = 0; i < mRayCount; ++i)
      if (q.countAnd(mRays[i].bits()) >= n)
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
      if (!mCondition.mMask.contains(question.mMask))
        return false;
    }
    const std::uint64_t words = mPatterns.wordCount();
    if (words == 0 || question.mMask.wordCount() < words || question.mFirst->wordCount() < words ||
        question.mSecond->wordCount() < words) {
      for (std::uint64_t i = 0; i < mRayCount; ++i)
        if (question.holdsOnRay(mRays[i].bits()))
          return true;
      return false;
    }
    // question.holdsOnRay on each pattern, over the packed copies.
    const std::uint64_t found =
        mPatterns.findSupersetExcept(question.mMask, *question.mFirst, *question.mSecond);
    VerificationCondition::OPS += found < mRayCount ? found + 1 : mRayCount;
    return found < mRayCount;
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
    out << "p" << static_cast<const TreeNode*>(this) << " [label=\"|V|=" << getRaysCount() << ", "
        << mCondition.toString() << "\"];\n";
    return out.str();
  }

  C mCondition;
  std::uint64_t mRayCount;
  std::unique_ptr<RayReference[]> mRays;
  // The patterns of mRays again, packed for the scans; empty when the leaf is
  // or when its patterns differ in word count.
  PatternBlock mPatterns;

  static LeafNode EMPTY_NODE;
};

// The one shared empty leaf, handed out as the tree of an empty set.
template <> LeafNode<PreliminaryCondition> LeafNode<PreliminaryCondition>::EMPTY_NODE;

extern template class LeafNode<PreliminaryCondition>;
extern template class LeafNode<VantagePointPreliminaryCondition>;

} // namespace double_description

#endif
