#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "TreeTestSupport.h"

namespace tree_test {
namespace {

// A first-available single-bit tree over the patterns.
std::unique_ptr<PlainNode> firstBitTree(std::vector<BitList> const& patterns, unsigned bitCount,
                                        unsigned short maxDepth, unsigned short capacity) {
  const RayReferenceContainer set = container(patterns);
  SingleBitSplitVisitor visitor(maxDepth, capacity, FirstAvailableBitStrategy(bitCount));
  return std::unique_ptr<PlainNode>(dynamic_cast<PlainNode*>(partitionedTree(set, visitor, 1, 1)));
}

const PlainLeaf* asLeaf(const TreeNode* node) { return dynamic_cast<const PlainLeaf*>(node); }
const PlainNode* asNode(const TreeNode* node) { return dynamic_cast<const PlainNode*>(node); }

std::vector<const void*> stored(const PlainLeaf* leaf) {
  std::vector<const void*> out;
  for (std::uint64_t i = 0; i < leaf->mRayCount; ++i)
    out.push_back(leaf->mRays[i].mRay);
  return out;
}

std::vector<BitList> singles(unsigned count) {
  std::vector<BitList> patterns;
  for (unsigned k = 0; k < count; ++k)
    patterns.push_back(bits({k}));
  return patterns;
}

TEST(Partition, DepthLimitZeroOrOneGivesARootOverLeaves) {
  for (unsigned short depth : {0, 1}) {
    const auto root = firstBitTree(singles(8), 8, depth, 0);
    ASSERT_NE(asLeaf(root->child(0)), nullptr);
    ASSERT_NE(asLeaf(root->child(1)), nullptr);
    EXPECT_EQ(stored(asLeaf(root->child(1))), std::vector<const void*>{ray(0)});
    EXPECT_EQ(root->getRaysCount(), 8u);
  }
  const auto deeper = firstBitTree(singles(8), 8, 2, 0);
  EXPECT_NE(asNode(deeper->child(0)), nullptr);
}

TEST(Partition, LeafCapacityIsInclusive) {
  // Bit 0 puts the first reference alone into bucket 1 and four into bucket 0.
  const auto atCapacity = firstBitTree(singles(5), 5, 15, 4);
  EXPECT_NE(asLeaf(atCapacity->child(0)), nullptr);
  const auto above = firstBitTree(singles(5), 5, 15, 3);
  EXPECT_NE(asNode(above->child(0)), nullptr);
}

TEST(Partition, ChildrenInBucketOrderAndLeavesInVisitOrder) {
  // Siblings continue the order from the same position: both split on bit 1.
  const auto root =
      firstBitTree({bits({0, 1}), bits({1}), bits({0}), BitList(), bits({0, 1, 2})}, 3, 15, 1);
  const PlainNode* without = asNode(root->child(0));
  const PlainNode* with = asNode(root->child(1));
  ASSERT_NE(without, nullptr);
  ASSERT_NE(with, nullptr);
  EXPECT_EQ(stored(asLeaf(without->child(0))), std::vector<const void*>{ray(3)});
  EXPECT_EQ(stored(asLeaf(without->child(1))), std::vector<const void*>{ray(1)});
  EXPECT_EQ(stored(asLeaf(with->child(0))), std::vector<const void*>{ray(2)});
  const PlainNode* withBoth = asNode(with->child(1));
  ASSERT_NE(withBoth, nullptr); // {0,1} and {0,1,2}, split on bit 2
  EXPECT_EQ(stored(asLeaf(withBoth->child(0))), std::vector<const void*>{ray(0)});
  EXPECT_EQ(stored(asLeaf(withBoth->child(1))), std::vector<const void*>{ray(4)});
  EXPECT_EQ(with->mCondition.mMask.words()[0], bits({0, 1, 2}).words()[0]);
  EXPECT_EQ(with->mCondition.mThreshold, 1u);
}

TEST(Partition, BitThatSplitsNothingSendsEverythingToOneBucket) {
  // No bit splits equal patterns; the last bit of the order is taken anyway.
  const auto root = firstBitTree({bits({0, 1}), bits({0, 1}), bits({0, 1})}, 2, 15, 0);
  const PlainLeaf* empty = asLeaf(root->child(0));
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(empty->mRayCount, 0u);
  EXPECT_EQ(empty->mUnion.words()[0], 0u);
  // The order is used up, so the full bucket becomes a leaf above capacity.
  const PlainLeaf* full = asLeaf(root->child(1));
  ASSERT_NE(full, nullptr);
  EXPECT_EQ(full->mRayCount, 3u);
}

TEST(Partition, BucketsNobodyCanSplitBecomeLeaves) {
  const auto root = firstBitTree({bits({0}), bits({1}), bits({0}), bits({1})}, 2, 15, 1);
  for (unsigned short i = 0; i < 2; ++i) {
    const PlainNode* child = asNode(root->child(i));
    ASSERT_NE(child, nullptr); // split on bit 1, the last of the order
    EXPECT_NE(asLeaf(child->child(i == 0 ? 1 : 0)), nullptr);
    EXPECT_EQ(asLeaf(child->child(i == 0 ? 1 : 0))->mRayCount, 2u);
  }
}

TEST(Partition, StaticVisitorHandsTheFourthLevelToItsSuccessor) {
  // Cardinalities 1..12, each twice: the static visitor splits by cardinality.
  std::vector<BitList> patterns;
  for (unsigned c = 1; c <= 12; ++c)
    for (int copy = 0; copy < 2; ++copy) {
      BitList p(1);
      for (unsigned k = 0; k < c; ++k)
        setBit(p.words(), (k * 5 + c + copy) % 40);
      patterns.push_back(p);
    }
  const RayReferenceContainer set = container(patterns);
  BinaryStaticVantagePointVisitor visitor(15, 0, std::vector<BitList>(3, BitList(1, ~0ul)));
  visitor.setSuccessor(std::make_unique<BinaryDynamicVantagePointVisitor>(15, 0, false, false));
  std::unique_ptr<TreeNode> root(partitionedTree(set, visitor, 2, 1));
  EXPECT_EQ(root->getRaysCount(), patterns.size());

  // Walk the rightmost path (largest cardinalities).
  const TreeNode* node = root.get();
  for (int level = 1; level <= 4; ++level) {
    const VpNode* inner = dynamic_cast<const VpNode*>(dynamic_cast<const VpNode*>(node)->child(1));
    ASSERT_NE(inner, nullptr) << level;
    const bool fromStatic = level <= 3;
    EXPECT_EQ(inner->mCondition.mUseVantagePoint, !fromStatic) << level;
    EXPECT_EQ(inner->mCondition.mVantagePoint.words()[0] == ~0ul, fromStatic) << level;
    node = inner;
  }
  EXPECT_TRUE(visitor.hasSuccessorToProceed(set));
  EXPECT_FALSE(visitor.successor()->hasSuccessorToProceed(set));
}

TEST(Partition, SuccessorThatCannotTakeABucketLeavesItALeaf) {
  // Equal cardinalities: the static visitor, as a successor, cannot split them.
  std::vector<BitList> patterns = {bits({0, 1}), bits({2, 3}), bits({4, 5}), bits({6, 7})};
  const RayReferenceContainer set = container(patterns);
  BinaryStaticVantagePointVisitor fixed(15, 0, std::vector<BitList>(3, BitList(1, ~0ul)));
  EXPECT_FALSE(fixed.can_proceed(set));
  BinaryStaticVantagePointVisitor head(15, 0, std::vector<BitList>(1, BitList(1, ~0ul)));
  head.setSuccessor(std::make_unique<BinaryStaticVantagePointVisitor>(
      15, 0, std::vector<BitList>(3, BitList(1, ~0ul))));
  std::unique_ptr<TreeNode> root(partitionedTree(set, head, 1, 1));
  const VpNode* top = dynamic_cast<const VpNode*>(root.get());
  EXPECT_NE(dynamic_cast<const VpLeaf*>(top->child(1)), nullptr);
  EXPECT_EQ(top->child(1)->getRaysCount(), 4u);
}

} // namespace
} // namespace tree_test
