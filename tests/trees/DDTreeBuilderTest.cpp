#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "TreeTestSupport.h"

namespace tree_test {
namespace {

// Step 4 of a three-column problem: threshold 1, bits 0..3, one word.
const TreeContext CONTEXT = contextOf(1, 4, 1);

struct Sets {
  RayReferenceContainer posDegenerate = container({bits({0, 1, 3})});
  RayReferenceContainer posNondegenerate = container({bits({0, 1})}, 10);
  RayReferenceContainer negative = container({bits({0, 2})}, 20);
  RayReferenceContainer verification = posDegenerate;
};

TEST(TreeBuilder, SplitVisitorsFollowTheStrategySetting) {
  const Sets sets;
  TreeOptions options;
  options.mMaxTreeDepth = 65536 + 7;
  options.mLeafCapacity = 65536 + 3;
  for (BPT_CreationStrategy strategy : {BPT_FIRST_AVAILABLE_BIT, BPT_CLOSEST_TO_50_BIT_FIRST}) {
    options.mStrategy = strategy;
    const auto v = createBitSplitVisitor(options, CONTEXT, sets.posDegenerate, sets.negative);
    auto* single = dynamic_cast<SingleBitSplitVisitor*>(v.get());
    ASSERT_NE(single, nullptr);
    EXPECT_EQ(single->mSelector.mapping(), (std::vector<unsigned>{0, 1, 2, 3}));
    EXPECT_EQ(single->mMaxDepth, 7);
    EXPECT_EQ(single->mLeafCapacity, 3);
    EXPECT_EQ(single->successor(), nullptr);
  }
  options.mStrategy = BINARY_DYNAMIC_VANTAGE_POINT;
  EXPECT_NE(dynamic_cast<BinaryDynamicVantagePointVisitor*>(
                createBitSplitVisitor(options, CONTEXT, sets.posDegenerate, sets.negative).get()),
            nullptr);

  // The static visitor only for sets of differing cardinalities.
  options.mStrategy = BINARY_STATIC_VANTAGE_POINT;
  EXPECT_NE(
      dynamic_cast<BinaryDynamicVantagePointVisitor*>(
          createBitSplitVisitor(options, CONTEXT, sets.posNondegenerate, sets.negative).get()),
      nullptr);
  EXPECT_NE(dynamic_cast<BinaryDynamicVantagePointVisitor*>(
                createBitSplitVisitor(options, CONTEXT, sets.verification, sets.posDegenerate,
                                      sets.negative)
                    .get()),
            nullptr);
  RayReferenceContainer differing = sets.posDegenerate;
  differing.insert(sets.posNondegenerate.references()[0]);
  const auto chain = createBitSplitVisitor(options, CONTEXT, differing, sets.negative);
  auto* staticVp = dynamic_cast<BinaryStaticVantagePointVisitor*>(chain.get());
  ASSERT_NE(staticVp, nullptr);
  EXPECT_EQ(staticVp->mVantagePoints.size(), 3u);
  EXPECT_EQ(staticVp->mVantagePoints[0].words()[0], ~0ull);
  EXPECT_NE(dynamic_cast<BinaryDynamicVantagePointVisitor*>(staticVp->successor()), nullptr);
}

// Unique vantage points are dropped only while a verification tree is built,
// also by the dynamic successor of the static visitor.
TEST(TreeBuilder, UniqueVantagePointReachesOnlyVerificationVisitors) {
  const Sets sets;
  RayReferenceContainer differing = sets.posDegenerate;
  differing.insert(sets.posNondegenerate.references()[0]);
  TreeOptions options;
  options.mUniqueVantagePoint = true;
  auto drops = [](BitSplitVisitor const* v) {
    for (; v != nullptr; v = v->successor())
      if (auto* d = dynamic_cast<BinaryDynamicVantagePointVisitor const*>(v))
        return d->unique_vp();
    return false;
  };
  for (BPT_CreationStrategy strategy :
       {BINARY_DYNAMIC_VANTAGE_POINT, BINARY_STATIC_VANTAGE_POINT}) {
    options.mStrategy = strategy;
    EXPECT_FALSE(drops(createBitSplitVisitor(options, CONTEXT, differing, sets.negative).get()));
    EXPECT_TRUE(
        drops(createBitSplitVisitor(options, CONTEXT, differing, sets.posDegenerate, sets.negative)
                  .get()));
  }
}

TEST(TreeBuilder, SingleLeafWhenTheSetFitsTheFullLeafCapacity) {
  const RayReferenceContainer set = container({bits({0, 1, 3}), bits({0, 1, 2})});
  const RayReferenceContainer query = container({bits({0, 2})}, 20);
  TreeOptions options;
  options.mLeafCapacity = 65536; // 0 inside the tree, but not for this test
  EXPECT_NE(dynamic_cast<PlainLeaf*>(createNarrowingNodes(options, CONTEXT, set, query).get()),
            nullptr);
  options.mLeafCapacity = 2; // exactly the set: still one leaf
  EXPECT_NE(dynamic_cast<PlainLeaf*>(createNarrowingNodes(options, CONTEXT, set, query).get()),
            nullptr);
  options.mLeafCapacity = 1;
  const TreePointer split = createNarrowingNodes(options, CONTEXT, set, query);
  EXPECT_NE(dynamic_cast<PlainNode*>(split.get()), nullptr);
  EXPECT_EQ(split->getRaysCount(), 2u);
  EXPECT_EQ(createNarrowingTree(options, CONTEXT, set, query).rayCount(), 2u);
  options.mStrategy = BINARY_DYNAMIC_VANTAGE_POINT;
  EXPECT_NE(dynamic_cast<VpNode*>(createNarrowingNodes(options, CONTEXT, set, query).get()),
            nullptr);
}

TEST(TreeBuilder, VerificationTreeOfAnEmptySetIsTheSharedEmptyLeaf) {
  const Sets sets;
  TreeOptions options;
  {
    const TreePointer empty = createVerNodes(options, CONTEXT, RayReferenceContainer(),
                                             sets.posDegenerate, sets.negative);
    EXPECT_EQ(empty.get(), static_cast<TreeNode*>(&PlainLeaf::EMPTY_NODE));
  } // released without deleting the shared leaf
  EXPECT_TRUE(PlainLeaf::EMPTY_NODE.isEmpty());

  // Otherwise a built tree, even when the set would fit one leaf.
  const TreePointer built =
      createVerNodes(options, CONTEXT, sets.verification, sets.posDegenerate, sets.negative);
  EXPECT_NE(dynamic_cast<PlainNode*>(built.get()), nullptr);
}

} // namespace
} // namespace tree_test
