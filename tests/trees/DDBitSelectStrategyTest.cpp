#include <memory>
#include <numeric>
#include <vector>

#include <gtest/gtest.h>

#include "TreeTestSupport.h"
#include "trees/DDBitCountVisitor.h"
#include "trees/DDBitSelectStrategy.h"
#include "trees/DDBitSelector.h"

namespace tree_test {
namespace {

using Order = std::vector<unsigned int>;

Order ascending(unsigned n) {
  Order o(n);
  std::iota(o.begin(), o.end(), 0u);
  return o;
}
Order descending(unsigned n) {
  const Order up = ascending(n);
  return Order(up.rbegin(), up.rend());
}

// A set with population[i] references having bit i, over `words` words.
RayReferenceContainer withPopulations(std::vector<unsigned> const& population, unsigned size,
                                      unsigned long words = 1) {
  std::vector<BitList> patterns(size, BitList(words));
  for (unsigned bit = 0; bit < population.size(); ++bit)
    for (unsigned r = 0; r < population[bit]; ++r)
      setBit(patterns[r].words(), bit);
  return container(patterns);
}

std::unique_ptr<BitSelectStrategy> common(int which, RayReferenceContainer const& set, unsigned n) {
  switch (which) {
  case 0:
    return std::make_unique<MostCommonBitFirstStrategy>(set, n);
  case 1:
    return std::make_unique<LeastCommonBitFirstStrategy>(set, n);
  case 2:
    return std::make_unique<MostAverageBitFirstStrategy>(set, n);
  default:
    return std::make_unique<LeastAverageBitFirstStrategy>(set, n);
  }
}

TEST(BitSelectStrategy, CommonAndAverageOrders) {
  struct Case {
    std::vector<unsigned> population;
    unsigned size;
    Order mostCommon, leastCommon, mostAverage, leastAverage;
  };
  const Case cases[] = {
      // all populations equal
      {{2, 2, 2, 2, 2}, 3, descending(5), descending(5), descending(5), ascending(5)},
      {{0, 0, 0}, 1, descending(3), descending(3), descending(3), ascending(3)},
      // populations 3 1 2 1; truncated mean 1
      {{3, 1, 2, 1}, 3, {0, 2, 3, 1}, {3, 1, 2, 0}, {3, 1, 2, 0}, {0, 2, 1, 3}},
  };
  for (const Case& c : cases) {
    const RayReferenceContainer set = withPopulations(c.population, c.size);
    const unsigned n = static_cast<unsigned>(c.population.size());
    const Order* expected[] = {&c.mostCommon, &c.leastCommon, &c.mostAverage, &c.leastAverage};
    for (int which = 0; which < 4; ++which) {
      const auto strategy = common(which, set, n);
      EXPECT_EQ(strategy->mRayCount, c.size);
      EXPECT_EQ(strategy->createMapping(), *expected[which]) << which;
    }
    EXPECT_EQ(FirstAvailableBitStrategy(n).createMapping(), ascending(n));
  }
}

TEST(BitSelectStrategy, PopulationsCountOnlyTheStepsBitsAcrossWords) {
  const RayReferenceContainer set = container({bits({0, 64, 100}, 2), bits({64, 99}, 2)});
  BitCountVisitor counter(100);
  set.iterate(counter);
  EXPECT_EQ(counter.mState, 0);
  ASSERT_EQ(counter.mCounts.size(), 100u);
  EXPECT_EQ(counter.mCounts[0], 1u);
  EXPECT_EQ(counter.mCounts[64], 2u);
  EXPECT_EQ(counter.mCounts[99], 1u);
  EXPECT_EQ(std::accumulate(counter.mCounts.begin(), counter.mCounts.end(), 0ul), 4u);
  EXPECT_EQ(MostCommonBitFirstStrategy(set, 100).createMapping().front(), 64u);
}

TEST(BitSelectStrategy, DifferentialOrders) {
  // Frequencies in ten references each: bit 0 0.7/0.7, bit 1 0.6/0.6,
  // bit 2 0.3/0.5, bit 3 0/0.
  const RayReferenceContainer first = withPopulations({7, 6, 3, 0}, 10);
  const RayReferenceContainer second = withPopulations({7, 6, 5, 0}, 10);
  EXPECT_EQ(VerQueryBitsNeutralizationStrategy(first, second, 4).createMapping(),
            (Order{1, 2, 3, 0}));
  // Query frequency minus own frequency: 0, 0, 0.2, 0.
  EXPECT_EQ(NarrowQueryBitsNeutralizationStrategy(first, second, 4).createMapping(),
            (Order{2, 3, 1, 0}));
  const VerQueryBitsNeutralizationStrategy ver(first, second, 4);
  EXPECT_DOUBLE_EQ(ver.getProbabilityCoeff(0, 0.7, 0.9), 0.0);
  EXPECT_DOUBLE_EQ(ver.getProbabilityCoeff(0, 0.6, 0.9), 0.6);
  EXPECT_DOUBLE_EQ(ver.getProbabilityCoeff(0, 0.9, 0.4), 0.4);
}

TEST(BitSelector, WalksTheOrderSkippingBitsThatDoNotSplit) {
  const FirstAvailableBitStrategy strategy(4);
  BitSelector selector(strategy);
  EXPECT_EQ(selector.position(), 0u);
  EXPECT_TRUE(selector.history().empty());

  EXPECT_EQ(selector.getNextBit(bits({1, 2})), 1u);
  EXPECT_EQ(selector.position(), 2u);
  EXPECT_TRUE(selector.checkNextBit(BitList())); // the last position remains
  // No bit before the last splits: the last one is taken anyway.
  EXPECT_EQ(selector.getNextBit(bits({0})), 3u);
  EXPECT_EQ(selector.position(), 4u);
  EXPECT_FALSE(selector.checkNextBit(BitList(1, ~0ul)));
  // At the end of the order: 0, without advancing.
  EXPECT_EQ(selector.getNextBit(BitList(1, ~0ul)), 0u);
  EXPECT_EQ(selector.position(), 4u);
  EXPECT_EQ(selector.history(), (std::deque<unsigned int>{0, 2, 4}));

  EXPECT_FALSE(selector.select(3, BitList()));
  EXPECT_TRUE(selector.select(2, bits({3})));
  EXPECT_FALSE(selector.select(2, bits({2})));
}

TEST(BitSelector, SplitVisitorRestoresThePositionAfterEachLevel) {
  const RayReferenceContainer set = container({bits({0, 2}), bits({2}), bits({0}), bits({1})});
  SingleBitSplitVisitor visitor(15, 0, FirstAvailableBitStrategy(3));
  RayReferenceContainer buckets[2];
  visitor.mBuckets = buckets;
  visitor.before(set);
  set.iterate(visitor);
  EXPECT_EQ(visitor.mSplitBit, 0);
  EXPECT_EQ(buckets[1].size(), 2u);
  EXPECT_EQ(visitor.mSelector.position(), 1u);
  EXPECT_TRUE(visitor.can_proceed(static_cast<unsigned short>(0)));
  visitor.after();
  EXPECT_EQ(visitor.mSelector.position(), 0u);
  EXPECT_TRUE(visitor.mSelector.history().empty());
  EXPECT_EQ(visitor.mDepth, 0);
}

} // namespace
} // namespace tree_test
