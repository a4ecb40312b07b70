#ifndef TREE_TEST_SUPPORT_H
#define TREE_TEST_SUPPORT_H

// Small fixtures for the tree tests, and tree builders that follow the
// adjacency enumeration's way of building narrowing and verification trees.

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "core/DDBitList.h"
#include "core/DDBitOps.h"
#include "core/DDRayReference.h"
#include "core/DDRayReferenceContainer.h"
#include "trees/DDBitSelectStrategy.h"
#include "trees/DDIntermediateBitSetNode.h"
#include "trees/DDLeafNode.h"
#include "trees/DDPreliminaryCondition.h"
#include "trees/DDSingleBitSplitVisitor.h"
#include "trees/DDVantagePointVisitor.h"
#include "trees/DDVerificationCondition.h"

namespace tree_test {

using namespace double_description;

using PlainLeaf = LeafNode<PreliminaryCondition>;
using PlainNode = IntermediateBitSetNode<PreliminaryCondition>;
using VpLeaf = LeafNode<VantagePointPreliminaryCondition>;
using VpNode = IntermediateBitSetNode<VantagePointPreliminaryCondition>;

inline BitList bits(std::initializer_list<unsigned> set, unsigned long words = 1) {
  BitList list(words);
  for (unsigned k : set)
    setBit(list.words(), k);
  return list;
}

// Distinct fake rays: the trees only carry the pointers.
inline const void* ray(std::uintptr_t id) { return reinterpret_cast<const void*>(id * 16 + 16); }

inline RayReferenceContainer container(std::vector<BitList> const& patterns,
                                       std::uintptr_t firstId = 0) {
  RayReferenceContainer set;
  for (std::size_t i = 0; i < patterns.size(); ++i)
    set.insert(RayReference(ray(firstId + i), patterns[i]));
  return set;
}

inline void resetCounters() {
  PreliminaryCondition::NARROWING_OPS = 0;
  PreliminaryCondition::VERIFICATION_OPS = 0;
  VerificationCondition::OPS = 0;
  VerificationCondition::CANDIDATES = 0;
}

struct TreeSettings {
  int strategy = 0;
  unsigned long maxDepth = 15;
  unsigned long leafCapacity = 1;
  bool unique = false;
};

// The split visitor of a tree over set. first and second are the sets of the
// differential strategy: the tree set and the query set of a narrowing tree,
// the positive degenerate and the negative set of a verification tree.
inline std::unique_ptr<BitSplitVisitor>
makeVisitor(TreeSettings const& s, RayReferenceContainer const& set,
            RayReferenceContainer const& first, RayReferenceContainer const& second,
            unsigned bitCount, unsigned long words, bool verification) {
  const auto depth = static_cast<unsigned short>(s.maxDepth);
  const auto capacity = static_cast<unsigned short>(s.leafCapacity);
  auto dynamic = [&] {
    return std::make_unique<BinaryDynamicVantagePointVisitor>(depth, capacity, s.unique,
                                                              verification);
  };
  std::unique_ptr<BitSelectStrategy> strategy;
  switch (s.strategy) {
  case 1:
    strategy = std::make_unique<MostCommonBitFirstStrategy>(verification ? set : second, bitCount);
    break;
  case 2:
    strategy = std::make_unique<LeastCommonBitFirstStrategy>(set, bitCount);
    break;
  case 3:
    strategy = std::make_unique<MostAverageBitFirstStrategy>(set, bitCount);
    break;
  case 5:
    if (verification)
      strategy = std::make_unique<VerQueryBitsNeutralizationStrategy>(first, second, bitCount);
    else
      strategy = std::make_unique<NarrowQueryBitsNeutralizationStrategy>(first, second, bitCount);
    break;
  case 6:
    strategy = std::make_unique<LeastAverageBitFirstStrategy>(set, bitCount);
    break;
  case 7:
    return dynamic();
  case 8: {
    if (set.mMinCardinality == set.mMaxCardinality)
      return dynamic();
    std::vector<BitList> points(3, BitList(words, ~0ul));
    auto visitor = std::make_unique<BinaryStaticVantagePointVisitor>(depth, capacity, points);
    visitor->mSuccessor = dynamic().release();
    return visitor;
  }
  default:
    strategy = std::make_unique<FirstAvailableBitStrategy>(bitCount);
  }
  return std::make_unique<SingleBitSplitVisitor>(depth, capacity, *strategy);
}

// Every level a construction opens is closed again when it is complete.
inline void expectClosed(BitSplitVisitor const& visitor) {
  for (const BitSplitVisitor* v = &visitor; v != nullptr; v = v->mSuccessor) {
    EXPECT_EQ(v->mDepth, 0);
    if (auto* single = dynamic_cast<const SingleBitSplitVisitor*>(v)) {
      EXPECT_EQ(single->mSelector.mPosition, 0u);
      EXPECT_TRUE(single->mSelector.mHistory.empty());
    }
    if (auto* fixed = dynamic_cast<const BinaryStaticVantagePointVisitor*>(v)) {
      EXPECT_EQ(fixed->mLevel, 0u);
    }
  }
}

// A root over the non-empty set, partitioned with the visitor.
inline TreeNode* partitionedTree(RayReferenceContainer const& set, BitSplitVisitor& visitor,
                                 unsigned threshold, unsigned long words) {
  TreeNode* tree;
  if (visitor.supportsExtendedCondition()) {
    VantagePointPreliminaryCondition root(set.mUnion, threshold, BitList(words));
    auto* node = new IntermediateBitSetNode<VantagePointPreliminaryCondition>(
        set.mUnion, root, visitor.mBucketCount);
    node->partition(set, visitor);
    tree = node;
  } else {
    auto* node = new IntermediateBitSetNode<PreliminaryCondition>(
        set.mUnion, PreliminaryCondition(set.mUnion, threshold), visitor.mBucketCount);
    node->partition(set, visitor);
    tree = node;
  }
  expectClosed(visitor);
  return tree;
}

inline std::unique_ptr<TreeNode> narrowingTree(RayReferenceContainer const& set,
                                               RayReferenceContainer const& query,
                                               TreeSettings const& s, unsigned threshold,
                                               unsigned bitCount, unsigned long words) {
  if (s.leafCapacity >= set.size())
    return std::make_unique<LeafNode<PreliminaryCondition>>(
        set, PreliminaryCondition(set.mUnion, threshold));
  auto visitor = makeVisitor(s, set, set, query, bitCount, words, false);
  return std::unique_ptr<TreeNode>(partitionedTree(set, *visitor, threshold, words));
}

// The verification tree; an empty set gives the shared empty leaf, which
// must not be deleted, so the result is a plain pointer owned through holder.
inline const TreeNode* verificationTree(RayReferenceContainer const& verification,
                                        RayReferenceContainer const& posDegenerate,
                                        RayReferenceContainer const& negative,
                                        TreeSettings const& s, unsigned threshold,
                                        unsigned bitCount, unsigned long words,
                                        std::unique_ptr<TreeNode>& holder) {
  if (verification.size() == 0)
    return &LeafNode<PreliminaryCondition>::EMPTY_NODE;
  auto visitor = makeVisitor(s, verification, posDegenerate, negative, bitCount, words, true);
  holder.reset(partitionedTree(verification, *visitor, threshold, words));
  return holder.get();
}

} // namespace tree_test

#endif
