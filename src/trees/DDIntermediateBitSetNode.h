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
#include "trees/DDNodeStack.h"
#include "trees/DDOperationCounts.h"
#include "trees/DDPreliminaryCondition.h"
#include "trees/DDSplitDecision.h"
#include "trees/DDTreeNode.h"
#include "trees/DDVantagePointPreliminaryCondition.h"
#include "trees/DDVerificationCondition.h"

namespace double_description {

// An inner node of a bit-pattern tree; it owns its children. Trees may be as
// deep as the settings allow, so building, searching, counting and deleting
// walk them with explicit stacks, never by recursion.
//
// A set that a vantage point leaves as it was splits alike on every level
// down to the depth limit. Such a chain is one node that repeats its level:
// each level has the same condition, the same empty leaf as child 0 and the
// next level as child 1, the last level the set's leaf. Searches and counts
// test one level and count it as often as the chain repeats.
template <class C> class IntermediateBitSetNode final : public virtual TreeNode {
  static constexpr bool VANTAGE_POINT = std::is_same_v<C, VantagePointPreliminaryCondition>;

  // A node on a walk's stack: an inner node, a chain or a leaf of this tree
  // type, or a node of another kind, reached through its virtual functions.
  enum class Kind : std::uint8_t { INNER, CHAIN, LEAF, OTHER };
  struct Pending {
    const void* mNode;
    Kind mKind;
  };
  using Stack = NodeStack<Pending>;

public:
  // Off, chains are built level by level: for the tests that compare both.
  static inline bool FOLD_CHAINS = true;

  IntermediateBitSetNode(BitList const& unionBits, C const& condition, unsigned short childCount)
      : TreeNode(unionBits), mCondition(condition),
        mMoreChildren(childCount > 2 ? std::make_unique<std::unique_ptr<TreeNode>[]>(childCount - 2)
                                     : nullptr),
        mChildCount(childCount) {}
  ~IntermediateBitSetNode() override;

  unsigned short childCount() const { return mChildCount; }
  // The levels this node stands for; more than one in a chain.
  std::uint32_t repeat() const { return mRepeat; }
  TreeNode* child(unsigned short i) const {
    DD_ASSERT(i < mChildCount);
    return i < 2 ? mChildren[i].get() : mMoreChildren[i - 2].get();
  }
  // Takes over node as child i.
  void setChild(unsigned short i, TreeNode* node) {
    setChild(i, node, dynamic_cast<IntermediateBitSetNode*>(node),
             dynamic_cast<LeafNode<C>*>(node));
  }

  // Builds all children of this node, and theirs, from the set. The leaves
  // pack copies of their patterns for their scans only with packLeaves.
  void partition(RayReferenceContainer const& set, BitSplitVisitor& visitor,
                 bool packLeaves = true);

  void preliminaryTraverse(TreeNode const* other,
                           std::vector<EdgeCandidate>& candidates) const override {
    const PreliminaryCondition* join = other->mJoinCondition.get();
    walk(
        [&](IntermediateBitSetNode const& node) {
          return join != nullptr && join->holdsOnFace(node.mUnion);
        },
        [&](TreeNode const& node) { node.preliminaryTraverse(other, candidates); });
  }

  void preliminaryTraverse(RayReference const* references, unsigned int count,
                           PreliminaryCondition const& condition,
                           std::vector<EdgeCandidate>& candidates) const override {
    walk([&](IntermediateBitSetNode const& node) { return condition.holdsOnFace(node.mUnion); },
         [&](TreeNode const& node) {
           node.preliminaryTraverse(references, count, condition, candidates);
         });
  }

  void preliminaryTraverse(RayReference const& query,
                           std::deque<EdgeCandidate>& candidates) const override {
    searchPartners(query,
                   [&](RayReference const& stored) { candidates.emplace_back(stored, query); });
  }

  // The narrowing search with found(stored reference) for each partner, in
  // candidate order: depth first, the children from the last to the first.
  // The reference lives at least until found returns.
  template <class F> void searchPartners(RayReference const& query, F&& found) const {
    Stack stack;
    stack.push(self());
    while (!stack.empty()) {
      const Pending next = stack.pop();
      if (next.mKind == Kind::LEAF) {
        static_cast<LeafNode<C> const*>(next.mNode)->searchPartners(query, found);
      } else if (next.mKind == Kind::OTHER) {
        std::deque<EdgeCandidate> candidates;
        static_cast<TreeNode const*>(next.mNode)->preliminaryTraverse(query, candidates);
        for (EdgeCandidate const& candidate : candidates)
          found(candidate.mFirst);
      } else if (next.mKind == Kind::CHAIN) {
        static_cast<IntermediateBitSetNode const*>(next.mNode)->searchChain(query, found);
      } else {
        auto const* node = static_cast<IntermediateBitSetNode const*>(next.mNode);
        if (node->narrows(query.bits()))
          node->pushChildrenLastOnTop(stack);
      }
    }
  }

  // Flattened: the tests of the levels and leaves are the whole cost.
  __attribute__((flatten)) bool
  verificationTraverse(ExtVerificationCondition const& question) const override {
    Stack stack;
    stack.push(self());
    while (!stack.empty()) {
      const Pending next = stack.pop();
      if (next.mKind == Kind::LEAF) {
        if (static_cast<LeafNode<C> const*>(next.mNode)
                ->LeafNode<C>::verificationTraverse(question))
          return true;
        continue;
      }
      if (next.mKind == Kind::OTHER) {
        if (static_cast<TreeNode const*>(next.mNode)->verificationTraverse(question))
          return true;
        continue;
      }
      auto const* node = static_cast<IntermediateBitSetNode const*>(next.mNode);
      if (next.mKind == Kind::CHAIN) {
        if (node->verifyChain(question))
          return true;
        continue;
      }
      const Step step = node->verificationStep(question);
      if (step == Step::ANSWERS)
        return true;
      if (step == Step::ENTERS)
        node->pushChildrenLastOnTop(stack);
    }
    return false;
  }

  std::uint64_t getSubNodesCount() const override {
    std::uint64_t count = 0;
    walk(
        [&](IntermediateBitSetNode const& node) {
          count += std::uint64_t{node.mChildCount} * node.mRepeat;
          return true;
        },
        [&](TreeNode const& node) { count += node.getSubNodesCount(); });
    return count;
  }
  std::uint64_t getRaysCount() const override {
    std::uint64_t count = 0;
    walk([](IntermediateBitSetNode const&) { return true; },
         [&](TreeNode const& node) { count += node.getRaysCount(); });
    return count;
  }
  std::uint64_t getLeafNodesCount() const override {
    std::uint64_t count = 0;
    walk([](IntermediateBitSetNode const&) { return true; },
         [&](TreeNode const& node) { count += node.getLeafNodesCount(); });
    return count;
  }
  bool isEmpty() const override { return false; }
  void enumerateLeafNodes(std::vector<TreeNode const*>& leaves) const override {
    walk([](IntermediateBitSetNode const&) { return true; },
         [&](TreeNode const& node) { node.enumerateLeafNodes(leaves); });
  }

  std::string toString(unsigned short depth) const override;

  C mCondition;

private:
  using Decision = SplitDecision;
  // What the test of one level tells a verification search.
  enum class Step : std::uint8_t { ANSWERS, STOPS, ENTERS };
  // One open node of the construction: its buckets, and the child to build next.
  struct Level {
    IntermediateBitSetNode* mNode = nullptr;
    BitSplitVisitor* mVisitor = nullptr;
    std::vector<RayReferenceContainer> mBuckets;
    std::vector<C> mConditions;
    std::vector<Decision> mDecisions;
    unsigned short mNext = 0;
    // Levels of the chain that child 1 starts; 0 when it starts none.
    std::uint32_t mChain = 0;
    // The levels this one took over have their after() runs from here on.
    std::size_t mClosersBase = 0;
  };
  // after() due count times from visitor, for levels taken over.
  struct Closer {
    BitSplitVisitor* mVisitor;
    std::size_t mCount;
  };
  // The reference arrays of distributed buckets, kept for the next buckets
  // so that a level of the construction need not allocate its own.
  using SpareArrays = std::vector<std::vector<RayReference>>;
  // Growing the levels moves them: their buckets must stay where they are.
  static_assert(std::is_nothrow_move_constructible_v<Level>);

  void setChild(unsigned short i, TreeNode* node, IntermediateBitSetNode* inner,
                LeafNode<C>* leaf) {
    DD_ASSERT(i < mChildCount && node != nullptr);
    DD_ASSERT(inner == nullptr || inner->mRepeat == 1 || i < 2);
    if (i < 2) {
      mChildren[i].reset(node);
      mInnerChildren[i] = inner;
      mChainChildren[i] = inner != nullptr && inner->mRepeat != 1;
      mLeafChildren[i] = leaf;
    } else {
      mMoreChildren[i - 2].reset(node);
    }
  }
  Pending pending(unsigned short i) const {
    if (i < 2) {
      if (mInnerChildren[i] != nullptr)
        return {mInnerChildren[i], mChainChildren[i] ? Kind::CHAIN : Kind::INNER};
      if (mLeafChildren[i] != nullptr)
        return {mLeafChildren[i], Kind::LEAF};
      return {mChildren[i].get(), Kind::OTHER};
    }
    TreeNode const* node = child(i);
    if (auto const* inner = dynamic_cast<IntermediateBitSetNode const*>(node))
      return {inner, Kind::INNER};
    if (auto const* leaf = dynamic_cast<LeafNode<C> const*>(node))
      return {leaf, Kind::LEAF};
    return {node, Kind::OTHER};
  }
  Pending self() const { return {this, mRepeat != 1 ? Kind::CHAIN : Kind::INNER}; }
  // The test of this node's level by a verification search, counted.
  Step verificationStep(ExtVerificationCondition const& question) const {
    ++PreliminaryCondition::VERIFICATION_OPS;
    if constexpr (VANTAGE_POINT) {
      const bool redundant = mCondition.isRedundant(question);
      const bool proceed = mCondition.proceed_verification(question.mMask); // counts
      if (redundant)
        return Step::ANSWERS;
      return proceed ? Step::ENTERS : Step::STOPS;
    } else {
      return mCondition.mMask.contains(question.mMask) ? Step::ENTERS : Step::STOPS;
    }
  }
  // The searches of a chain: its first level that fails, answers or stops
  // ends it there; else its leaf follows, then its empty leaves, the deepest
  // first, of which one that answers ends the search.
  // Out of line: the ordinary levels' loops stay small.
  template <class F>
  __attribute__((noinline)) void searchChain(RayReference const& query, F&& found) const {
    const OperationCounts level = OperationCounts::now();
    if (!narrows(query.bits()))
      return;
    level.repeatSince(mRepeat - 1);
    mLeafChildren[1]->searchPartners(query, found);
    const OperationCounts empty = OperationCounts::now();
    mLeafChildren[0]->searchPartners(query, found);
    empty.repeatSince(mRepeat - 1);
  }
  __attribute__((noinline)) bool verifyChain(ExtVerificationCondition const& question) const {
    const OperationCounts level = OperationCounts::now();
    const Step step = verificationStep(question);
    if (step != Step::ENTERS)
      return step == Step::ANSWERS;
    level.repeatSince(mRepeat - 1);
    // Through the node interface: the leaf's search stays inlined only where
    // it is called most, in the loop over ordinary levels.
    if (static_cast<TreeNode const*>(mLeafChildren[1])->verificationTraverse(question))
      return true;
    const OperationCounts empty = OperationCounts::now();
    if (static_cast<TreeNode const*>(mLeafChildren[0])->verificationTraverse(question))
      return true;
    empty.repeatSince(mRepeat - 1);
    return false;
  }
  static TreeNode const& asNode(Pending const& entry) {
    if (entry.mKind == Kind::LEAF)
      return *static_cast<LeafNode<C> const*>(entry.mNode);
    if (entry.mKind == Kind::INNER || entry.mKind == Kind::CHAIN)
      return *static_cast<IntermediateBitSetNode const*>(entry.mNode);
    return *static_cast<TreeNode const*>(entry.mNode);
  }

  // The narrowing test of this node, counted as a visit.
  bool narrows(BitList const& query) const {
    if constexpr (VANTAGE_POINT) {
      return mCondition.holdsOnFace(query);
    } else {
      ++PreliminaryCondition::NARROWING_OPS;
      // The mask read through the member itself: its offset is static here.
      return mCondition.mMask.countAnd(query) >= mCondition.mThreshold;
    }
  }
  // The searches visit the children from the last to the first. They are
  // bound by memory latency: the first two children are fetched at once.
  void pushChildrenLastOnTop(Stack& stack) const {
    for (unsigned short i = 0; i < 2 && i < mChildCount; ++i) {
      __builtin_prefetch(mInnerChildren[i]
                             ? static_cast<const void*>(&mInnerChildren[i]->mCondition)
                             : static_cast<const void*>(mLeafChildren[i]));
      if (mLeafChildren[i] != nullptr)
        __builtin_prefetch(&mLeafChildren[i]->mCondition);
    }
    for (unsigned short i = 0; i < mChildCount; ++i)
      stack.push(pending(i));
  }
  // Depth first, the children from the first to the last: descend(inner
  // node) says whether to enter it, visit(node) takes every other node.
  // Both see a chain once, and its operations count for all its levels;
  // what descend adds up itself it must multiply by the node's repeat.
  template <class Descend, class Visit> void walk(Descend&& descend, Visit&& visit) const {
    Stack stack;
    stack.push(self());
    while (!stack.empty()) {
      const Pending next = stack.pop();
      if (next.mKind == Kind::LEAF || next.mKind == Kind::OTHER) {
        visit(asNode(next));
        continue;
      }
      auto const* node = static_cast<IntermediateBitSetNode const*>(next.mNode);
      if (next.mKind == Kind::INNER) {
        if (descend(*node))
          for (unsigned short i = node->mChildCount; i-- > 0;)
            stack.push(node->pending(i));
        continue;
      }
      const OperationCounts level = OperationCounts::now();
      if (!descend(*node))
        continue;
      level.repeatSince(node->mRepeat - 1);
      const OperationCounts empty = OperationCounts::now();
      visit(*node->mLeafChildren[0]);
      empty.repeatSince(node->mRepeat - 1);
      visit(*node->mLeafChildren[1]);
    }
  }
  static void recycle(RayReferenceContainer& bucket, SpareArrays& spare) {
    spare.push_back(bucket.releaseStorage());
    bucket = RayReferenceContainer();
  }
  // Builds the levels below level.mNode that repeat its split down to the
  // depth limit as one node, its child 1.
  void buildChain(Level& level, SpareArrays& spare, bool packLeaves);

  // Files set into the fresh buckets of level; owned, the set's own storage
  // when it may be discarded, is given up as soon as the set is distributed.
  void distribute(RayReferenceContainer const& set, RayReferenceContainer* owned,
                  BitSplitVisitor& visitor, Level& level, SpareArrays& spare, bool packLeaves);
  static std::string name(TreeNode const* node, std::uint32_t level);
  std::string label(std::uint32_t level) const;

  std::unique_ptr<TreeNode> mChildren[2];
  std::unique_ptr<std::unique_ptr<TreeNode>[]> mMoreChildren;
  std::uint16_t mChildCount;
  std::uint32_t mRepeat = 1;
  // The first two children again when they are nodes of this tree type, so
  // that searches descend without virtual dispatch; null otherwise.
  IntermediateBitSetNode* mInnerChildren[2] = {nullptr, nullptr};
  bool mChainChildren[2] = {false, false};
  LeafNode<C>* mLeafChildren[2] = {nullptr, nullptr};
};

// Takes the inner children of inner children apart before deleting them, so
// that no destructor deletes more than one level.
template <class C> IntermediateBitSetNode<C>::~IntermediateBitSetNode() {
  std::vector<IntermediateBitSetNode*> doomed;
  auto release = [&doomed](IntermediateBitSetNode& node) {
    for (unsigned short i = 0; i < node.mChildCount; ++i) {
      std::unique_ptr<TreeNode>& slot = i < 2 ? node.mChildren[i] : node.mMoreChildren[i - 2];
      if (slot == nullptr)
        continue;
      IntermediateBitSetNode* inner =
          i < 2 ? node.mInnerChildren[i] : dynamic_cast<IntermediateBitSetNode*>(slot.get());
      if (inner != nullptr) {
        slot.release();
        doomed.push_back(inner);
      }
    }
  };
  release(*this);
  while (!doomed.empty()) {
    IntermediateBitSetNode* node = doomed.back();
    doomed.pop_back();
    release(*node);
    delete node;
  }
}

template <class C>
void IntermediateBitSetNode<C>::partition(RayReferenceContainer const& set,
                                          BitSplitVisitor& visitor, bool packLeaves) {
  // The open levels, innermost last. A level's slot, with its arrays, is
  // reused by the next level opened at its depth. A level whose last child
  // is to be built has only its after() left: the child takes over its slot,
  // so that a chain of last children, however long, reuses one slot.
  std::vector<Level> levels;
  std::size_t open = 0;
  std::vector<Closer> closers;
  SpareArrays spare;
  RayReferenceContainer input; // the set of a child that took over its parent's slot

  levels.emplace_back();
  levels[0].mNode = this;
  levels[0].mVisitor = &visitor;
  open = 1;
  distribute(set, nullptr, visitor, levels[0], spare, packLeaves);
  while (open > 0) {
    Level& level = levels[open - 1];
    const unsigned short k = level.mNode->mChildCount;
    if (level.mNext == k) {
      level.mVisitor->after();
      while (closers.size() > level.mClosersBase) {
        Closer& run = closers.back();
        run.mVisitor->after();
        if (--run.mCount == 0)
          closers.pop_back();
      }
      --open;
      continue;
    }
    const unsigned short i = level.mNext++;
    if (level.mDecisions[i] == Decision::LEAF)
      continue; // built with the distribution
    if (i == 1 && level.mChain != 0) {
      level.mNode->buildChain(level, spare, packLeaves);
      continue;
    }
    RayReferenceContainer& bucket = level.mBuckets[i];
    BitSplitVisitor& by = *level.mVisitor;
    auto* node =
        new IntermediateBitSetNode<C>(bucket.unionBits(), level.mConditions[i], by.mBucketCount);
    level.mNode->setChild(i, node, node, nullptr);
    BitSplitVisitor* next =
        level.mDecisions[i] == Decision::SUCCESSOR ? by.successorFor(bucket) : &by;

    bool last = true;
    for (unsigned short j = i + 1; j < k; ++j)
      last = last && level.mDecisions[j] == Decision::LEAF;
    if (last) {
      input = std::move(bucket);
      if (closers.size() > level.mClosersBase && closers.back().mVisitor == &by)
        ++closers.back().mCount;
      else
        closers.push_back({&by, 1});
      level.mNode = node;
      level.mVisitor = next;
      level.mNext = 0;
      node->distribute(input, &input, *next, level, spare, packLeaves);
      continue;
    }
    if (open == levels.size())
      levels.emplace_back(); // moving the levels keeps the buckets where they are
    Level& child = levels[open++];
    child.mNode = node;
    child.mVisitor = next;
    child.mNext = 0;
    child.mClosersBase = closers.size();
    node->distribute(bucket, &bucket, *next, child, spare, packLeaves);
  }
}

template <class C>
void IntermediateBitSetNode<C>::distribute(RayReferenceContainer const& set,
                                           RayReferenceContainer* owned, BitSplitVisitor& visitor,
                                           Level& level, SpareArrays& spare, bool packLeaves) {
  const unsigned short k = mChildCount;
  DD_ASSERT(k >= 2);
  level.mBuckets.resize(k);
  level.mConditions.resize(k);
  level.mDecisions.assign(k, Decision::LEAF);
  std::vector<RayReferenceContainer>& buckets = level.mBuckets;

  // Every bucket gets room for the whole set, so filing never reallocates.
  for (RayReferenceContainer& bucket : buckets) {
    bucket = RayReferenceContainer();
    if (!spare.empty()) {
      bucket.adoptStorage(std::move(spare.back()));
      spare.pop_back();
    }
    bucket.reserve(set.size());
  }
  visitor.mBuckets = buckets.data();
  visitor.before(set);
  visitor.distribute(set);
  // A split that leaves the set as it was is repeated by every level below.
  bool unchanged = false;
  if constexpr (VANTAGE_POINT) {
    std::vector<RayReference> const& from = set.references();
    std::vector<RayReference> const& to = buckets[1].references();
    unchanged = FOLD_CHAINS && k == 2 && visitor.repeatsUnchangedSplit() && buckets[0].empty() &&
                to.size() == from.size();
    for (std::size_t i = 0; unchanged && i < to.size(); ++i)
      unchanged = to[i].mRay == from[i].mRay && to[i].mPattern == from[i].mPattern;
  }
#ifdef REDIVEZ_ASSERTIONS
  std::size_t distributed = 0;
  for (RayReferenceContainer const& bucket : buckets)
    distributed += bucket.size();
  // Only vantage points that stand for their equals drop references.
  DD_ASSERT(distributed == set.size() || (VANTAGE_POINT && distributed < set.size()));
#endif
  // A bucket of the parent is no longer needed once it is distributed: only
  // the buckets still to be built stay filled.
  if (owned != nullptr)
    recycle(*owned, spare);

  // Every decision is taken before any child is built: building a child runs
  // the visitor again and overwrites its per-set state.
  const auto threshold = static_cast<unsigned short>(mCondition.mThreshold);
  std::vector<C>& conditions = level.mConditions;
  for (unsigned short i = 0; i < k; ++i) {
    if constexpr (VANTAGE_POINT) {
      visitor.refineCondition(i, threshold, conditions[i]);
    } else {
      conditions[i].mMask = buckets[i].unionBits();
      conditions[i].mThreshold = threshold;
    }
    level.mDecisions[i] = splitDecision(visitor, i, buckets[i]);
  }
  // The chain goes down to the level whose set is a leaf at the depth limit.
  level.mChain = unchanged && level.mDecisions[1] == Decision::SPLIT
                     ? static_cast<std::uint32_t>(visitor.mMaxDepth - visitor.mDepth)
                     : 0;

  // Leaves need nothing of the visitor: they are built at once. A bucket that
  // waits for the subtree of an earlier sibling gives back its unused room.
  bool waits = false;
  for (unsigned short i = 0; i < k; ++i) {
    RayReferenceContainer& bucket = buckets[i];
    if (level.mDecisions[i] == Decision::LEAF) {
      auto* leaf = new LeafNode<C>(bucket, conditions[i], packLeaves);
      setChild(i, leaf, nullptr, leaf);
      if (level.mChain == 0) // else every level of the chain has this leaf again
        recycle(bucket, spare);
      continue;
    }
    if (waits)
      bucket.shrinkToFitWithin(2);
    waits = true;
  }
}

template <class C>
void IntermediateBitSetNode<C>::buildChain(Level& level, SpareArrays& spare, bool packLeaves) {
  RayReferenceContainer& set = level.mBuckets[1];
  auto* chain = new IntermediateBitSetNode<C>(set.unionBits(), level.mConditions[1], 2);
  chain->mRepeat = level.mChain;
  auto* empty = new LeafNode<C>(level.mBuckets[0], level.mConditions[0], packLeaves);
  chain->setChild(0, empty, nullptr, empty);
  auto* bottom = new LeafNode<C>(set, level.mConditions[1], packLeaves);
  chain->setChild(1, bottom, nullptr, bottom);
  setChild(1, chain, chain, nullptr);
  recycle(level.mBuckets[0], spare);
  recycle(set, spare);
}

// The DOT name of a node; level j > 0 of a chain is the node's name and _j.
template <class C>
std::string IntermediateBitSetNode<C>::name(TreeNode const* node, std::uint32_t level) {
  std::ostringstream out;
  out << "p" << node;
  if (level != 0)
    out << "_" << level;
  return out.str();
}

template <class C> std::string IntermediateBitSetNode<C>::label(std::uint32_t level) const {
  std::ostringstream out;
  out << name(this, level) << " [label=\"|V|=" << getRaysCount() << ", " << mCondition.toString()
      << "\"];\n";
  return out.str();
}

// Each node's line, then for each child within depth levels its subtree and
// the edge to it. A chain prints all its levels.
template <class C> std::string IntermediateBitSetNode<C>::toString(unsigned short depth) const {
  struct Open {
    IntermediateBitSetNode const* mNode;
    std::uint32_t mLevel;
    unsigned short mDepth;
    unsigned short mNext;
  };
  std::ostringstream out;
  auto edge = [&out](std::string const& from, std::string const& to) {
    out << from << "->" << to << ";\n";
  };
  out << label(0);
  std::vector<Open> open;
  if (depth != 0)
    open.push_back({this, 0, depth, 0});
  while (!open.empty()) {
    Open& top = open.back();
    if (top.mNext == top.mNode->mChildCount) {
      const std::string done = name(top.mNode, top.mLevel);
      open.pop_back();
      if (!open.empty())
        edge(name(open.back().mNode, open.back().mLevel), done);
      continue;
    }
    const unsigned short i = top.mNext++;
    const auto below = static_cast<unsigned short>(top.mDepth - 1);
    const std::string from = name(top.mNode, top.mLevel);
    if (i == 1 && top.mLevel + 1 < top.mNode->mRepeat) {
      const Open next{top.mNode, top.mLevel + 1, below, 0};
      out << next.mNode->label(next.mLevel);
      if (below != 0)
        open.push_back(next);
      else
        edge(from, name(next.mNode, next.mLevel));
      continue;
    }
    const Pending entry = top.mNode->pending(i);
    if (entry.mKind == Kind::INNER || entry.mKind == Kind::CHAIN) {
      auto const* node = static_cast<IntermediateBitSetNode const*>(entry.mNode);
      out << node->label(0);
      if (below != 0) {
        open.push_back({node, 0, below, 0});
        continue;
      }
      edge(from, name(node, 0));
      continue;
    }
    // The empty leaf of a chain's level below its first.
    const std::uint32_t level = i == 0 ? top.mLevel : 0;
    std::string text = asNode(entry).toString(below);
    if (level != 0)
      text.insert(name(&asNode(entry), 0).size(), "_" + std::to_string(level));
    out << text;
    edge(from, name(&asNode(entry), level));
  }
  return out.str();
}

extern template class IntermediateBitSetNode<PreliminaryCondition>;
extern template class IntermediateBitSetNode<VantagePointPreliminaryCondition>;

} // namespace double_description

#endif
