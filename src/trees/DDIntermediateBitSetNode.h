#ifndef DD_INTERMEDIATEBITSETNODE_H
#define DD_INTERMEDIATEBITSETNODE_H

#include <cstdint>
#include <deque>
#include <memory>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

#include "core/DDRayReference.h"
#include "core/DDRayReferenceContainer.h"
#include "trees/DDBitSplitVisitor.h"
#include "trees/DDLeafNode.h"
#include "trees/DDPreliminaryCondition.h"
#include "trees/DDTreeNode.h"
#include "trees/DDVantagePointPreliminaryCondition.h"
#include "trees/DDVerificationCondition.h"

namespace double_description {

// An inner node of a bit-pattern tree; it owns its children.
template <class C> class IntermediateBitSetNode final : public virtual TreeNode {
  static constexpr bool VANTAGE_POINT = std::is_same_v<C, VantagePointPreliminaryCondition>;

public:
  IntermediateBitSetNode(BitList const& unionBits, C const& condition, unsigned short childCount)
      : TreeNode(unionBits), mCondition(condition),
        mMoreChildren(childCount > 2 ? std::make_unique<std::unique_ptr<TreeNode>[]>(childCount - 2)
                                     : nullptr),
        mChildCount(childCount) {}
  ~IntermediateBitSetNode() override = default;

  TreeNode* child(unsigned short i) const {
    DD_ASSERT(i < mChildCount);
    return i < 2 ? mChildren[i].get() : mMoreChildren[i - 2].get();
  }
  // Takes over node as child i.
  void setChild(unsigned short i, TreeNode* node) {
    DD_ASSERT(i < mChildCount && node != nullptr);
    if (i < 2) {
      mChildren[i].reset(node);
      mInnerChildren[i] = dynamic_cast<IntermediateBitSetNode const*>(node);
      mLeafChildren[i] = dynamic_cast<LeafNode<C> const*>(node);
    } else {
      mMoreChildren[i - 2].reset(node);
    }
  }

  // Builds all children of this node, recursively, from the set. The leaves
  // pack copies of their patterns for their scans only with packLeaves.
  void partition(RayReferenceContainer const& set, BitSplitVisitor& visitor,
                 bool packLeaves = true) {
    partition(set, nullptr, visitor, packLeaves);
  }

  void preliminaryTraverse(TreeNode const* other,
                           std::vector<EdgeCandidate>& candidates) const override {
    const PreliminaryCondition* join = other->mJoinCondition.get();
    if (join == nullptr || !join->holdsOnFace(mUnion))
      return;
    for (unsigned short i = 0; i < mChildCount; ++i)
      child(i)->preliminaryTraverse(other, candidates);
  }

  void preliminaryTraverse(RayReference const* references, unsigned int count,
                           PreliminaryCondition const& condition,
                           std::vector<EdgeCandidate>& candidates) const override {
    if (!condition.holdsOnFace(mUnion))
      return;
    for (unsigned short i = 0; i < mChildCount; ++i)
      child(i)->preliminaryTraverse(references, count, condition, candidates);
  }

  void preliminaryTraverse(RayReference const& query,
                           std::deque<EdgeCandidate>& candidates) const override {
    searchPartners(query,
                   [&](RayReference const& stored) { candidates.emplace_back(stored, query); });
  }

  // The narrowing search with found(stored reference) for each partner, in
  // candidate order. The reference lives at least until found returns.
  template <class F> void searchPartners(RayReference const& query, F&& found) const {
    if constexpr (VANTAGE_POINT) {
      if (!mCondition.holdsOnFace(query.bits())) // counts the visit
        return;
    } else {
      ++PreliminaryCondition::NARROWING_OPS;
      // The mask read through the member itself: its offset is static here.
      if (mCondition.mMask.countAnd(query.bits()) < mCondition.mThreshold)
        return;
    }
    // The search is bound by memory latency: fetch both children at once.
    for (unsigned short i = 0; i < 2 && i < mChildCount; ++i) {
      __builtin_prefetch(mInnerChildren[i]
                             ? static_cast<const void*>(&mInnerChildren[i]->mCondition)
                             : static_cast<const void*>(mLeafChildren[i]));
      if (mLeafChildren[i] != nullptr)
        __builtin_prefetch(&mLeafChildren[i]->mCondition);
    }
    for (unsigned short i = mChildCount; i-- > 0;) {
      if (i < 2 && mInnerChildren[i] != nullptr) {
        mInnerChildren[i]->searchPartners(query, found);
      } else if (i < 2 && mLeafChildren[i] != nullptr) {
        mLeafChildren[i]->searchPartners(query, found);
      } else {
        std::deque<EdgeCandidate> candidates;
        child(i)->preliminaryTraverse(query, candidates);
        for (EdgeCandidate const& candidate : candidates)
          found(candidate.mFirst);
      }
    }
  }

  bool verificationTraverse(ExtVerificationCondition const& question) const override {
    ++PreliminaryCondition::VERIFICATION_OPS;
    if constexpr (VANTAGE_POINT) {
      const bool redundant = mCondition.isRedundant(question);
      if (!mCondition.proceed_verification(question.mMask))
        return redundant;
      if (redundant)
        return true;
    } else {
      if (!mCondition.mMask.contains(question.mMask))
        return false;
    }
    for (unsigned short i = mChildCount; i-- > 0;) {
      const bool found =
          i < 2 && mInnerChildren[i] != nullptr
              ? mInnerChildren[i]->IntermediateBitSetNode::verificationTraverse(question)
          : i < 2 && mLeafChildren[i] != nullptr
              ? mLeafChildren[i]->LeafNode<C>::verificationTraverse(question)
              : child(i)->verificationTraverse(question);
      if (found)
        return true;
    }
    return false;
  }

  std::uint64_t getSubNodesCount() const override {
    std::uint64_t count = mChildCount;
    for (unsigned short i = 0; i < mChildCount; ++i)
      count += child(i)->getSubNodesCount();
    return count;
  }
  std::uint64_t getRaysCount() const override {
    std::uint64_t count = 0;
    for (unsigned short i = 0; i < mChildCount; ++i)
      count += child(i)->getRaysCount();
    return count;
  }
  std::uint64_t getLeafNodesCount() const override {
    std::uint64_t count = 0;
    for (unsigned short i = 0; i < mChildCount; ++i)
      count += child(i)->getLeafNodesCount();
    return count;
  }
  bool isEmpty() const override { return false; }
  void enumerateLeafNodes(std::vector<TreeNode const*>& leaves) const override {
    for (unsigned short i = 0; i < mChildCount; ++i)
      child(i)->enumerateLeafNodes(leaves);
  }

  std::string toString(unsigned short depth) const override {
    const TreeNode* self = this;
    std::ostringstream out;
    out << "p" << self << " [label=\"|V|=" << getRaysCount() << ", " << mCondition.toString()
        << "\"];\n";
    if (depth != 0)
      for (unsigned short i = 0; i < mChildCount; ++i) {
        const TreeNode* c = child(i);
        out << c->toString(static_cast<unsigned short>(depth - 1)) << "p" << self << "->p" << c
            << ";\n";
      }
    return out.str();
  }

  C mCondition;
  std::unique_ptr<TreeNode> mChildren[2];
  std::unique_ptr<std::unique_ptr<TreeNode>[]> mMoreChildren;
  std::uint16_t mChildCount;
  // The first two children again when they are nodes of this tree type, so
  // that searches descend without virtual dispatch; null otherwise.
  const IntermediateBitSetNode* mInnerChildren[2] = {nullptr, nullptr};
  const LeafNode<C>* mLeafChildren[2] = {nullptr, nullptr};

private:
  // partition(set, visitor) that empties owned, the set's own storage when
  // this node may discard it, as soon as the set is distributed.
  void partition(RayReferenceContainer const& set, RayReferenceContainer* owned,
                 BitSplitVisitor& visitor, bool packLeaves);
};

template <class C>
void IntermediateBitSetNode<C>::partition(RayReferenceContainer const& set,
                                          RayReferenceContainer* owned, BitSplitVisitor& visitor,
                                          bool packLeaves) {
  enum class Decision { LEAF, SPLIT, SUCCESSOR };
  const unsigned short k = mChildCount;
  std::vector<RayReferenceContainer> buckets(k);
  std::vector<C> conditions(k);
  std::vector<Decision> decisions(k, Decision::LEAF);

  // Every bucket gets room for the whole set, so filing never reallocates;
  // what a bucket leaves unused beyond its own size is given back below.
  for (RayReferenceContainer& bucket : buckets)
    bucket.reserve(set.size());
  visitor.mBuckets = buckets.data();
  visitor.before(set);
  visitor.distribute(set);
  DD_ASSERT(k >= 2);
#ifdef REDIVEZ_ASSERTIONS
  std::size_t distributed = 0;
  for (RayReferenceContainer const& bucket : buckets)
    distributed += bucket.size();
  // Only vantage points that stand for their equals drop references.
  DD_ASSERT(distributed == set.size() || (VANTAGE_POINT && distributed < set.size()));
#endif
  // A bucket of the parent is no longer needed once it is distributed: along
  // the recursion only the buckets still to be built stay alive.
  if (owned != nullptr)
    *owned = RayReferenceContainer();
  for (RayReferenceContainer& bucket : buckets)
    bucket.shrinkToFitWithin(2);

  // Every decision is taken before any child is built: building a child runs
  // the visitor again and overwrites its per-set state.
  const auto threshold = static_cast<unsigned short>(mCondition.mThreshold);
  for (unsigned short i = 0; i < k; ++i) {
    if constexpr (VANTAGE_POINT) {
      visitor.refineCondition(i, threshold, conditions[i]);
    } else {
      conditions[i].mMask = buckets[i].mUnion;
      conditions[i].mThreshold = threshold;
    }
    const bool ok = visitor.can_proceed(i);
    if (visitor.mDepth >= visitor.mMaxDepth || buckets[i].size() <= visitor.mLeafCapacity)
      decisions[i] = Decision::LEAF;
    else if (ok)
      decisions[i] = Decision::SPLIT;
    else if (visitor.hasSuccessorToProceed(buckets[i]))
      decisions[i] = Decision::SUCCESSOR;
    else
      decisions[i] = Decision::LEAF;
  }

  for (unsigned short i = 0; i < k; ++i) {
    RayReferenceContainer& bucket = buckets[i];
    if (decisions[i] == Decision::LEAF) {
      setChild(i, new LeafNode<C>(bucket, conditions[i], packLeaves));
      bucket = RayReferenceContainer();
      continue;
    }
    auto* node = new IntermediateBitSetNode<C>(bucket.mUnion, conditions[i], visitor.mBucketCount);
    setChild(i, node);
    BitSplitVisitor* next =
        decisions[i] == Decision::SUCCESSOR ? visitor.successorFor(bucket) : &visitor;
    node->partition(bucket, &bucket, *next, packLeaves);
  }

  visitor.after();
}

extern template class IntermediateBitSetNode<PreliminaryCondition>;
extern template class IntermediateBitSetNode<VantagePointPreliminaryCondition>;

} // namespace double_description

#endif
