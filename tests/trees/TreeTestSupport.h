#ifndef DD_TREETESTSUPPORT_H
#define DD_TREETESTSUPPORT_H

// Small fixtures for the tree tests.

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "KeptPatterns.h"

#include "core/DDBitList.h"
#include "core/DDBitOps.h"
#include "core/DDRayReference.h"
#include "core/DDRayReferenceContainer.h"
#include "trees/DDBitSelectStrategy.h"
#include "trees/DDIntermediateBitSetNode.h"
#include "trees/DDLeafNode.h"
#include "trees/DDPreliminaryCondition.h"
#include "trees/DDSingleBitSplitVisitor.h"
#include "trees/DDTreeBuilder.h"
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
inline Ray const* ray(std::uintptr_t id) { return reinterpret_cast<Ray const*>(id * 16 + 16); }

inline RayReferenceContainer container(std::vector<BitList> const& patterns,
                                       std::uintptr_t firstId = 0) {
  RayReferenceContainer set;
  for (std::size_t i = 0; i < patterns.size(); ++i)
    set.insert(RayReference(ray(firstId + i), kept(patterns[i])));
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

  TreeOptions options() const {
    TreeOptions o;
    o.mStrategy = static_cast<BPT_CreationStrategy>(strategy);
    o.mMaxTreeDepth = maxDepth;
    o.mLeafCapacity = leafCapacity;
    o.mUniqueVantagePoint = unique;
    return o;
  }
};

// Every level a construction opens is closed again when it is complete.
inline void expectClosed(BitSplitVisitor const& visitor) {
  for (const BitSplitVisitor* v = &visitor; v != nullptr; v = v->successor()) {
    EXPECT_EQ(v->mDepth, 0);
    if (auto* single = dynamic_cast<const SingleBitSplitVisitor*>(v)) {
      EXPECT_EQ(single->mSelector.position(), 0u);
      EXPECT_TRUE(single->mSelector.history().empty());
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
    VantagePointPreliminaryCondition root(set.unionBits(), threshold, BitList(words));
    auto* node = new IntermediateBitSetNode<VantagePointPreliminaryCondition>(set.unionBits(), root,
                                                                              visitor.mBucketCount);
    node->partition(set, visitor);
    tree = node;
  } else {
    auto* node = new IntermediateBitSetNode<PreliminaryCondition>(
        set.unionBits(), PreliminaryCondition(set.unionBits(), threshold), visitor.mBucketCount);
    node->partition(set, visitor);
    tree = node;
  }
  expectClosed(visitor);
  return tree;
}

inline TreeContext contextOf(unsigned threshold, unsigned bitCount, unsigned long words) {
  return {static_cast<std::uint16_t>(threshold), static_cast<std::uint16_t>(bitCount),
          static_cast<std::uint16_t>(words)};
}

// The tree the program searches: an image for plain strategies.
inline SearchTree narrowingTree(RayReferenceContainer const& set,
                                RayReferenceContainer const& query, TreeSettings const& s,
                                unsigned threshold, unsigned bitCount, unsigned long words) {
  return createNarrowingTree(s.options(), contextOf(threshold, bitCount, words), set, query);
}

// The same tree as nodes, the reference of the image.
inline TreePointer narrowingNodes(RayReferenceContainer const& set,
                                  RayReferenceContainer const& query, TreeSettings const& s,
                                  unsigned threshold, unsigned bitCount, unsigned long words) {
  return createNarrowingNodes(s.options(), contextOf(threshold, bitCount, words), set, query);
}

inline SearchTree verificationTree(RayReferenceContainer const& verification,
                                   RayReferenceContainer const& posDegenerate,
                                   RayReferenceContainer const& negative, TreeSettings const& s,
                                   unsigned threshold, unsigned bitCount, unsigned long words) {
  return createVerTree(s.options(), contextOf(threshold, bitCount, words), verification,
                       posDegenerate, negative);
}

// The shared empty leaf for an empty set.
inline TreePointer verificationNodes(RayReferenceContainer const& verification,
                                     RayReferenceContainer const& posDegenerate,
                                     RayReferenceContainer const& negative, TreeSettings const& s,
                                     unsigned threshold, unsigned bitCount, unsigned long words) {
  return createVerNodes(s.options(), contextOf(threshold, bitCount, words), verification,
                        posDegenerate, negative);
}

} // namespace tree_test

#endif
