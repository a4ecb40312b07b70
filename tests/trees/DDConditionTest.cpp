#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TreeTestSupport.h"
#include "trees/DDInterval.h"
#include "trees/DDPreliminaryCondition.h"
#include "trees/DDVantagePointPreliminaryCondition.h"
#include "trees/DDVerificationCondition.h"

namespace tree_test {
namespace {

BitList range(unsigned from, unsigned to, unsigned long words) {
  BitList list(words);
  for (unsigned k = from; k < to; ++k)
    setBit(list.words(), k);
  return list;
}

Interval interval(std::uint32_t low, std::uint32_t high) {
  Interval i;
  i.mLow = low;
  i.mHigh = high;
  return i;
}

TEST(PreliminaryCondition, TrivialFailHoldsOnNothingAndThresholdZeroOnEverything) {
  const std::vector<BitList> lists = {BitList(), BitList(1, ~0ul), bits({0, 63}), BitList(2, ~0ul)};
  const PreliminaryCondition& fail = PreliminaryCondition::TRIVIAL_FAIL;
  const PreliminaryCondition anything(bits({1, 2}), 0);
  for (const BitList& x : lists) {
    EXPECT_FALSE(fail.holdsOnRay(x));
    EXPECT_FALSE(fail.holdsOnFace(x));
    EXPECT_FALSE(fail.holdsOnFace(x, x, x));
    EXPECT_TRUE(anything.holdsOnRay(x));
    EXPECT_TRUE(anything.holdsOnFace(x));
  }
}

TEST(PreliminaryCondition, ThresholdCountsCommonBitsAcrossWords) {
  const PreliminaryCondition c(bits({3, 64, 70, 127}, 2), 3);
  EXPECT_TRUE(c.holdsOnRay(bits({3, 64, 127}, 2)));
  EXPECT_FALSE(c.holdsOnRay(bits({3, 64, 65, 126}, 2)));
  resetCounters();
  EXPECT_TRUE(c.holdsOnFace(bits({3, 64, 70}, 2)));
  EXPECT_EQ(PreliminaryCondition::NARROWING_OPS, 0u);
}

TEST(PreliminaryCondition, ThreeListFormAnswersFromTheFirstListThroughTheVirtualTable) {
  const PreliminaryCondition plain(bits({1, 2}), 2);
  const BitList all(1, ~0ul), none;
  EXPECT_TRUE(plain.holdsOnFace(bits({1, 2}), none, none));
  EXPECT_FALSE(plain.holdsOnFace(none, all, all));

  // A vantage-point condition answers with its bounds test, and counts it.
  const VantagePointPreliminaryCondition vp(bits({1, 2}), 2, bits({1}), interval(1, 1),
                                            interval(2, 2), true);
  const PreliminaryCondition& base = vp;
  resetCounters();
  EXPECT_TRUE(base.holdsOnFace(bits({1, 2}), none, none)); // in 1 >= 1, out 1 >= 1
  EXPECT_FALSE(base.holdsOnFace(bits({2, 3}), all, all));  // in 0 < 1
  // holdsOnRay stays the mask and threshold test, uncounted.
  EXPECT_FALSE(base.holdsOnRay(bits({1, 5})));
  EXPECT_TRUE(base.holdsOnRay(bits({1, 2})));
  EXPECT_EQ(PreliminaryCondition::NARROWING_OPS, 2u);
}

TEST(PreliminaryCondition, Texts) {
  EXPECT_EQ(PreliminaryCondition().toString(), "|u|=0");
  EXPECT_EQ(PreliminaryCondition(bits({0, 5, 70}, 2), 4).toString(), "|u|=3");
  const VantagePointPreliminaryCondition vp(bits({0, 1, 2}), 3, bits({0, 9}), interval(0, 3),
                                            interval(4, 8), true);
  EXPECT_EQ(vp.toString(), "|u|=3, min_n(d)=(-5,0), max_v=(3,8), |v|=2");
}

struct BoundsCase {
  unsigned n;
  Interval overlap, cardinality;
  std::int32_t minIn, minOut, maxIn, maxOut;
};

TEST(VantagePointPreliminaryCondition, BoundsFromTheRangesOfTheSubtree) {
  const BoundsCase cases[] = {
      {3, interval(0, 3), interval(4, 8), -5, 0, 3, 8},
      {4, interval(2, 5), interval(6, 7), -1, -1, 5, 5},
      {6, interval(1, 0), interval(1, 0), 7, 6, 0, -1}, // empty bucket
      // Beyond 16 bits nothing wraps.
      {10, interval(0, 40000), interval(40000, 40000), -39990, -39990, 40000, 40000},
  };
  for (const BoundsCase& c : cases) {
    const VantagePointPreliminaryCondition vp(BitList(), c.n, BitList(), c.overlap, c.cardinality,
                                              false);
    EXPECT_EQ(vp.mMinIn, c.minIn);
    EXPECT_EQ(vp.mMinOut, c.minOut);
    EXPECT_EQ(vp.mMaxIn, c.maxIn);
    EXPECT_EQ(vp.mMaxOut, c.maxOut);
    EXPECT_EQ(vp.mThreshold, c.n);
  }
  const VantagePointPreliminaryCondition root(bits({1, 4, 80}, 2), 2, BitList(2));
  EXPECT_EQ(root.mMinIn, 0);
  EXPECT_EQ(root.mMinOut, 0);
  EXPECT_EQ(root.mMaxIn, 3);
  EXPECT_EQ(root.mMaxOut, 3);
  EXPECT_FALSE(root.mUseVantagePoint);
}

TEST(VantagePointPreliminaryCondition, NegativeBoundsPassAnEmptyQueryAndCountOnce) {
  const VantagePointPreliminaryCondition vp(bits({0, 1, 2}), 3, bits({0, 9}), interval(0, 3),
                                            interval(4, 8), false);
  ASSERT_EQ(vp.mMinIn, -5);
  ASSERT_EQ(vp.mMinOut, 0);
  resetCounters();
  EXPECT_TRUE(vp.holdsOnFace(BitList()));
  EXPECT_EQ(PreliminaryCondition::NARROWING_OPS, 1u);
}

TEST(VantagePointPreliminaryCondition, WideBoundsKeepPartnersOfLongPatterns) {
  const unsigned long words = 626; // 40,064 bits
  const BitList vpBits = range(0, 40000, words);
  const VantagePointPreliminaryCondition vp(vpBits, 10, vpBits, interval(0, 40000),
                                            interval(40000, 40000), true);
  resetCounters();
  EXPECT_TRUE(vp.holdsOnFace(range(0, 10, words)));
  EXPECT_TRUE(vp.proceed_verification(range(0, 30000, words)));
  EXPECT_EQ(PreliminaryCondition::VERIFICATION_OPS, 2u);
}

TEST(VantagePointPreliminaryCondition, ProceedVerificationStopsAtTheExactBoundsAndCounts) {
  // mMaxIn 2, mMaxOut 3: the face {0, 1, 5, 6, 7} meets both bounds exactly.
  const BitList mask = bits({0, 1, 5, 6, 7, 8});
  const VantagePointPreliminaryCondition vp(mask, 1, bits({0, 1, 2}), interval(1, 2),
                                            interval(3, 4), false);
  ASSERT_EQ(vp.mMaxIn, 2);
  ASSERT_EQ(vp.mMaxOut, 3);
  struct Case {
    BitList face;
    bool proceeds;
    std::uint64_t ops;
  };
  const Case cases[] = {
      {bits({0, 1, 5, 6, 7}), false, 1}, // exact bounds, although inside the mask
      {bits({0, 1, 2}), false, 1},       // in 3 > 2
      {bits({5, 6, 7, 8}), false, 1},    // out 4 > 3
      {bits({0, 5, 6}), true, 2},
      {bits({0, 5, 9}), false, 2}, // bounds pass, not inside the mask
  };
  for (const Case& c : cases) {
    resetCounters();
    EXPECT_EQ(vp.proceed_verification(c.face), c.proceeds) << c.face.toString(10);
    EXPECT_EQ(PreliminaryCondition::VERIFICATION_OPS, c.ops) << c.face.toString(10);
  }
}

TEST(VantagePointPreliminaryCondition, RootProceedsForEveryFaceInsideTheMaskButTheEmptyOne) {
  const BitList mask = bits({2, 3, 70}, 2);
  const VantagePointPreliminaryCondition root(mask, 1, BitList(2));
  EXPECT_TRUE(root.proceed_verification(BitList(2)));
  EXPECT_TRUE(root.proceed_verification(bits({3}, 2)));
  EXPECT_TRUE(root.proceed_verification(mask));
  EXPECT_FALSE(root.proceed_verification(bits({4}, 2)));
  const VantagePointPreliminaryCondition emptyRoot(BitList(2), 1, BitList(2));
  EXPECT_FALSE(emptyRoot.proceed_verification(BitList(2)));
}

TEST(VerificationCondition, SubsetTestsCountEveryCall) {
  const VerificationCondition face(bits({1, 65}, 2));
  EXPECT_EQ(face.mFaceCardinality, 2);
  resetCounters();
  EXPECT_TRUE(face.holdsOnRay(bits({1, 2, 65}, 2)));
  EXPECT_FALSE(face.holdsOnRay(bits({1, 2}, 2)));
  EXPECT_TRUE(face.holdsOnFace(bits({1, 65}, 2)));
  EXPECT_FALSE(face.holdsOnFace(bits({65}, 2), BitList(2, ~0ul), BitList(2, ~0ul)));
  EXPECT_EQ(VerificationCondition::OPS, 4u);
}

TEST(ExtVerificationCondition, ExcludesThePairsOwnPatternsOnlyInHoldsOnRay) {
  const BitList first = bits({1, 2, 3}), second = bits({1, 2, 4}), other = bits({1, 2, 5});
  const BitList face = bits({1, 2});
  const ExtVerificationCondition q(face, first, second);
  resetCounters();
  EXPECT_FALSE(q.holdsOnRay(first));
  EXPECT_FALSE(q.holdsOnRay(second));
  EXPECT_TRUE(q.holdsOnRay(other));
  EXPECT_FALSE(q.holdsOnRay(bits({1, 3})));
  EXPECT_EQ(VerificationCondition::OPS, 4u);
  for (const BitList* p : {&first, &second, &other})
    EXPECT_TRUE(q.holdsOnFace(*p));
}

TEST(VantagePointPreliminaryCondition, IsRedundantAsksTheQuestionOnlyWithTheFlag) {
  const BitList first = bits({1, 2, 3}), second = bits({1, 2, 4});
  const ExtVerificationCondition q(bits({1, 2}), first, second);
  VantagePointPreliminaryCondition vp(BitList(), 1, bits({1, 2, 7}), interval(1, 0), interval(1, 0),
                                      false);
  resetCounters();
  EXPECT_FALSE(vp.isRedundant(q));
  EXPECT_EQ(VerificationCondition::OPS, 0u);
  vp.mUseVantagePoint = true;
  EXPECT_TRUE(vp.isRedundant(q));
  vp.mVantagePoint = first;
  EXPECT_FALSE(vp.isRedundant(q));
  EXPECT_EQ(VerificationCondition::OPS, 2u);
}

} // namespace
} // namespace tree_test
