#include <vector>

#include <gtest/gtest.h>

#include "TreeTestSupport.h"

namespace tree_test {
namespace {

// One distribution of a set by a visitor, as partition runs it.
struct Distribution {
  Distribution(BinaryVantagePointVisitor& v, RayReferenceContainer const& set) : visitor(v) {
    visitor.mBuckets = buckets;
    visitor.before(set);
    set.iterate(visitor);
  }
  ~Distribution() { visitor.after(); }

  std::vector<const void*> bucket(int b) const {
    std::vector<const void*> out;
    for (const RayReference& r : buckets[b].references())
      out.push_back(r.mRay);
    return out;
  }
  VantagePointPreliminaryCondition condition(unsigned i, unsigned short n) const {
    VantagePointPreliminaryCondition c;
    visitor.refineCondition(i, n, c);
    return c;
  }

  BinaryVantagePointVisitor& visitor;
  RayReferenceContainer buckets[2];
};

// A pattern of the given overlap with {0..19} and cardinality overlap + extra.
BitList pattern(unsigned overlap, unsigned extra = 0, unsigned shift = 0) {
  BitList p(1);
  for (unsigned k = 0; k < overlap; ++k)
    setBit(p.words(), (k + shift) % 20);
  for (unsigned k = 0; k < extra; ++k)
    setBit(p.words(), 20 + k);
  return p;
}

using Refs = std::vector<const void*>;

TEST(VantagePointVisitor, TwoPassesSplitAtTheMeanOverlap) {
  // Overlaps 1, 2, 2 with the all-ones point: mean 5/3.
  const RayReferenceContainer set = container({bits({5}), bits({1, 2}), bits({3, 4})});
  BinaryStaticVantagePointVisitor visitor(15, 0, std::vector<BitList>(3, BitList(1, ~0ul)));
  Distribution d(visitor, set);
  EXPECT_EQ(visitor.mState, 0);
  EXPECT_FALSE(visitor.mInitialPass);
  EXPECT_DOUBLE_EQ(visitor.mMeanOverlap, 5.0 / 3.0);
  EXPECT_EQ(d.bucket(0), Refs{ray(0)});
  EXPECT_EQ(d.bucket(1), (Refs{ray(1), ray(2)}));
  EXPECT_EQ(visitor.mLevel, 1u);
  EXPECT_EQ(visitor.mDepth, 1);
}

TEST(VantagePointVisitor, EqualOverlapsLeaveBucketZeroEmpty) {
  const RayReferenceContainer set = container({pattern(3), pattern(3, 0, 5), pattern(3, 0, 9)});
  BinaryStaticVantagePointVisitor visitor(15, 0, std::vector<BitList>(3, BitList(1, ~0ul)));
  Distribution d(visitor, set);
  EXPECT_TRUE(d.bucket(0).empty());
  EXPECT_EQ(d.bucket(1).size(), 3u);
  const VantagePointPreliminaryCondition empty = d.condition(0, 4);
  EXPECT_EQ(empty.mMinIn, 5);
  EXPECT_EQ(empty.mMinOut, 4);
  EXPECT_EQ(empty.mMaxIn, 0);
  EXPECT_EQ(empty.mMaxOut, -1);
}

TEST(VantagePointVisitor, ChildConditionsCarryTheBucketRanges) {
  // Vantage point {0..5}; overlaps 6, 1, 4, 0 with cardinalities 6, 3, 5, 2.
  const RayReferenceContainer set =
      container({pattern(6), pattern(1, 2), pattern(4, 1), pattern(0, 2)});
  BinaryDynamicVantagePointVisitor visitor(15, 0, false, false);
  Distribution d(visitor, set);
  ASSERT_EQ(d.bucket(0), (Refs{ray(1), ray(3)})); // mean 2.75
  ASSERT_EQ(d.bucket(1), (Refs{ray(0), ray(2)}));
  struct Expected {
    std::int32_t minIn, minOut, maxIn, maxOut;
  };
  const Expected expected[2] = {{3 + 0 - 3, 3 - 1, 1, 3 - 0}, {3 + 4 - 6, 3 - 6, 6, 6 - 4}};
  for (unsigned i = 0; i < 2; ++i) {
    const VantagePointPreliminaryCondition c = d.condition(i, 3);
    EXPECT_EQ(c.mMinIn, expected[i].minIn) << i;
    EXPECT_EQ(c.mMinOut, expected[i].minOut) << i;
    EXPECT_EQ(c.mMaxIn, expected[i].maxIn) << i;
    EXPECT_EQ(c.mMaxOut, expected[i].maxOut) << i;
    EXPECT_TRUE(c.mUseVantagePoint);
    EXPECT_EQ(c.mVantagePoint.words()[0], pattern(6).words()[0]);
    EXPECT_EQ(c.mMask.words()[0], d.buckets[i].unionBits().words()[0]);
    EXPECT_EQ(c.mThreshold, 3u);

    std::unique_ptr<PreliminaryCondition> created(visitor.createNarrowingCondition(i, 3));
    auto* same = dynamic_cast<VantagePointPreliminaryCondition*>(created.get());
    ASSERT_NE(same, nullptr);
    EXPECT_EQ(same->mMinIn, c.mMinIn);
    EXPECT_EQ(same->mMaxOut, c.mMaxOut);
  }
}

TEST(VantagePointVisitor, DynamicSwapOnlyForTwoAdjacentOverlapsInBucketOne) {
  struct Case {
    std::vector<BitList> patterns;
    Refs bucketOne;
  };
  const Case cases[] = {
      {{pattern(6), pattern(5), pattern(0, 1), pattern(0, 2)}, {ray(1), ray(0)}},
      {{pattern(7), pattern(5), pattern(6), pattern(0, 1), pattern(0, 2)},
       {ray(0), ray(1), ray(2)}},
      {{pattern(5), pattern(5), pattern(0, 1)}, {ray(0), ray(1)}},
      {{pattern(5), pattern(0, 1)}, {ray(0)}},
      {{pattern(6), pattern(0, 1), pattern(5), pattern(5, 0, 1)}, {ray(3), ray(2), ray(0)}},
  };
  for (const Case& c : cases) {
    BinaryDynamicVantagePointVisitor visitor(15, 0, false, false);
    Distribution d(visitor, container(c.patterns));
    EXPECT_EQ(d.bucket(1), c.bucketOne);
  }
  // The static visitor never swaps: cardinalities 6 and 5 stay in order.
  BinaryStaticVantagePointVisitor fixed(15, 0, std::vector<BitList>(3, BitList(1, ~0ul)));
  Distribution d(fixed, container({pattern(6), pattern(5), pattern(0, 1), pattern(0, 2)}));
  EXPECT_EQ(d.bucket(1), (Refs{ray(0), ray(1)}));
}

TEST(VantagePointVisitor, StaticVisitorSendsEqualCardinalitiesToBucketOne) {
  BinaryStaticVantagePointVisitor fixed(15, 0, std::vector<BitList>(3, BitList(1, ~0ul)));
  Distribution d(fixed, container({pattern(3), pattern(3, 0, 4), pattern(2, 1)}));
  EXPECT_TRUE(d.bucket(0).empty());
  EXPECT_FALSE(d.condition(1, 2).mUseVantagePoint);
}

TEST(VantagePointVisitor, UniqueVantagePointDropsOnlyInVerificationTrees) {
  const std::vector<BitList> patterns = {pattern(4), pattern(1, 1), pattern(4), pattern(3)};
  {
    BinaryDynamicVantagePointVisitor verification(15, 0, true, true);
    Distribution d(verification, container(patterns));
    EXPECT_EQ(d.bucket(0), Refs{ray(1)});
    EXPECT_EQ(d.bucket(1), Refs{ray(3)});
    for (unsigned i = 0; i < 2; ++i) {
      EXPECT_TRUE(d.condition(i, 1).mUseVantagePoint);
      EXPECT_EQ(d.condition(i, 1).mVantagePoint.words()[0], pattern(4).words()[0]);
    }
  }
  {
    BinaryDynamicVantagePointVisitor narrowing(15, 0, true, false);
    Distribution d(narrowing, container(patterns));
    EXPECT_EQ(d.bucket(0), Refs{ray(1)});
    EXPECT_EQ(d.bucket(1), (Refs{ray(3), ray(2), ray(0)})); // overlaps 3 and 4: swapped
  }
  {
    BinaryDynamicVantagePointVisitor verification(15, 0, true, true);
    Distribution d(verification, container({pattern(2), pattern(2), pattern(2)}));
    EXPECT_TRUE(d.bucket(0).empty());
    EXPECT_TRUE(d.bucket(1).empty());
  }
}

TEST(VantagePointVisitor, DroppedReferencesStillAnswerVerificationThroughTheVantagePoint) {
  // The only pattern containing the face equals the vantage point and is dropped.
  const BitList first = bits({0, 1, 5}), second = bits({0, 1, 6});
  const RayReferenceContainer set = container({bits({0, 1, 2}), bits({0, 1, 2}), first, bits({7})});
  BinaryDynamicVantagePointVisitor visitor(15, 1, true, true);
  std::unique_ptr<TreeNode> tree(partitionedTree(set, visitor, 1, 1));
  EXPECT_EQ(tree->getRaysCount(), 2u);
  const ExtVerificationCondition q(bits({0, 1}), first, second);
  EXPECT_TRUE(tree->verificationTraverse(q));
  const ExtVerificationCondition none(bits({0, 1, 5}), first, second);
  EXPECT_FALSE(tree->verificationTraverse(none));
}

} // namespace
} // namespace tree_test
