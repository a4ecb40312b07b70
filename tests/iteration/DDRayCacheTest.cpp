#include "IterationTestSupport.h"

#include <memory>
#include <random>

#include "core/DDWorkerPool.h"
#include "iteration/DDBitPatternTreeCacheEntry.h"
#include "iteration/DDRayCache.h"

namespace dd_test {
namespace {

using Cache = RayCache<SingleSetRay, BitPatternTreeCacheEntry<SingleSetRay>>;

int deletedRays = 0;

struct CountedRay : SingleSetRay {
  CountedRay(unsigned d, unsigned m, BitList zero, std::initializer_list<long> slacks)
      : CountedRay(d, zero, markSlackSigns(d, m, zero, slacks)) {}
  ~CountedRay() override { ++deletedRays; }

private:
  CountedRay(unsigned d, BitList& zero, unsigned firstNegative)
      : SingleSetRay(d, d - 1, coordinatesOf(std::vector<long>(d, 0)), std::move(zero),
                     firstNegative) {}
};

class RayCacheTest : public NoGlobalSettings {
protected:
  void SetUp() override {
    NoGlobalSettings::SetUp();
    deletedRays = 0;
  }
  // 6 rows, 3 columns: steps for rows 3, 4 and 5.
  Matrix mWorking = Matrix(6, 3);
  Matrix mBase = Matrix(3, 3);
};

std::vector<SingleSetRay const*> raysOf(RayReferenceContainer const& set) {
  std::vector<SingleSetRay const*> rays;
  for (RayReference const& ref : set.references())
    rays.push_back(ref.ray<SingleSetRay>());
  return rays;
}

// Each step sees the live rays by their sign on its row, in filing order:
// positive ones in a positive set (degenerate ones also in the verification
// set), zero ones in the verification set under the combinatorial test
// only, negative ones in the negative set. The step of a ray's first
// negative row deletes it; rays never negative are final from their filing.
TEST_F(RayCacheTest, StepsSeeTheLiveRaysBySign) {
  for (AdjacencyTest test : {COMBINATIONAL_TEST, ALGEBRAIC_TEST, PARTITIONED_SETS_TEST}) {
    SCOPED_TRACE(test);
    const bool zeroToo = test == COMBINATIONAL_TEST;
    deletedRays = 0;
    {
      Cache cache(mWorking, mBase, test);
      auto* a = new CountedRay(3, 6, bitsOf(1, {0, 1}), {1, 0, -2});
      auto* b = new CountedRay(3, 6, bitsOf(1, {0, 2}), {-1, 0, 5});
      auto* c = new CountedRay(3, 6, bitsOf(1, {0, 1, 2}), {1, 2, 3});
      auto* z = new CountedRay(3, 6, bitsOf(1, {1, 2}), {0, 0, 0});
      for (SingleSetRay const* ray : {static_cast<SingleSetRay const*>(a), (SingleSetRay const*)b,
                                      (SingleSetRay const*)c, (SingleSetRay const*)z})
        cache.insert(ray);
      using Rays = std::vector<SingleSetRay const*>;
      EXPECT_EQ(cache.mFinalRays, Rays({c, z}));
      EXPECT_EQ(a->firstNegativeRow(), 5u);
      EXPECT_EQ(bitIndices(a->mActiveSet, 64), (std::vector<unsigned>{0, 1, 4}));

      auto const& row3 = cache.entry(3);
      EXPECT_EQ(row3.mMask.words()[0], 0b111u);
      EXPECT_EQ(raysOf(row3.mPosNondegenerate), Rays({a}));
      EXPECT_EQ(raysOf(row3.mPosDegenerate), Rays({c}));
      EXPECT_EQ(raysOf(row3.mNegative), Rays({b}));
      EXPECT_EQ(raysOf(row3.mVerification), zeroToo ? Rays({c, z}) : Rays({c}));
      EXPECT_EQ(row3.mVerification.references()[0].bits().words()[0], 0b111u);
      EXPECT_EQ(row3.mPosNondegenerate.references()[0].mCardinality, 2);
      cache.finishStep(3);
      EXPECT_EQ(deletedRays, 1);
      EXPECT_EQ(cache.liveCount(), 3u);

      auto const& row4 = cache.entry(4);
      EXPECT_TRUE(row4.mPosNondegenerate.empty());
      EXPECT_EQ(raysOf(row4.mPosDegenerate), Rays({c}));
      EXPECT_TRUE(row4.mNegative.empty());
      EXPECT_EQ(raysOf(row4.mVerification), zeroToo ? Rays({a, c, z}) : Rays({c}));
      if (zeroToo) { // the zero set restricted to rows 0..3
        EXPECT_EQ(row4.mVerification.references()[2].bits().words()[0], 0b1110u);
      }
      cache.finishStep(4);
      EXPECT_EQ(deletedRays, 1);

      auto const& row5 = cache.entry(5);
      EXPECT_EQ(raysOf(row5.mNegative), Rays({a}));
      EXPECT_EQ(row5.mNegative.references()[0].bits().words()[0], 0b10011u);
      EXPECT_EQ(raysOf(row5.mVerification), zeroToo ? Rays({a, c, z}) : Rays({a, c}));
      cache.finishStep(5);
      EXPECT_EQ(deletedRays, 2);
      EXPECT_EQ(cache.mFinalRays, Rays({c, z}));
    }
    // The cache deletes the rays it still holds, final ones included.
    EXPECT_EQ(deletedRays, 4);
  }
}

// The patterns of a step have the words of the rows before it, no more.
TEST_F(RayCacheTest, PatternsSpanTheWordsOfTheRowsBeforeTheStep) {
  Matrix tall(130, 3);
  Cache cache(tall, mBase, COMBINATIONAL_TEST);
  cache.insert(rayOf(3, 130, BitList(3, ~0ul), {}));
  struct Case {
    unsigned row, words;
    std::uint64_t lastWord;
  } cases[] = {{129, 3, 1}, {65, 2, 1}, {64, 1, ~0ull}, {63, 1, ~0ull >> 1}};
  for (Case const& c : cases) {
    auto const& entry = cache.entry(c.row);
    EXPECT_EQ(entry.mRow, c.row);
    ASSERT_EQ(entry.mMask.wordCount(), c.words) << c.row;
    EXPECT_EQ(entry.mMask.words()[c.words - 1], c.lastWord) << c.row;
    RayReference const& zero = entry.mVerification.references()[0];
    EXPECT_EQ(zero.bits().wordCount(), c.words) << c.row;
    EXPECT_EQ(zero.mCardinality, c.row) << c.row;
  }
}

// A step reads only the words where a ray's zero set has bits; its pattern
// is still the zero set cut to the rows before the step, zero words kept,
// for zero sets before, across and after the cut, and its reference counts
// the pattern as a full reading does.
TEST_F(RayCacheTest, PatternsOfSparseZeroSetsAreTheZeroSetCut) {
  struct Case {
    std::initializer_list<unsigned> zero;
    unsigned row;
  } cases[] = {{{}, 100},      {{3}, 100},        {{70, 130}, 129}, {{70, 130}, 65},
               {{10, 70}, 64}, {{127, 128}, 128}, {{0, 191}, 150},  {{150, 191}, 20}};
  for (Case const& c : cases) {
    BitList zero(3);
    for (unsigned k : c.zero)
      zero.set(k);
    const SingleSetRay ray(3, 2, coordinatesOf({0, 0, 0}), zero, 190);
    BitList mask(BitList::wordsFor(c.row));
    mask.setFirst(c.row);
    BitList expected;
    expected.assignAnd(mask, zero);
    const BitList pattern = maskedZeroSet(ray, mask);
    EXPECT_EQ(pattern.toString(), expected.toString()) << c.row;
    // The reference reads only those words, and counts as one reading all.
    const auto words = maskedZeroSetWords(ray, mask);
    const RayReference cut(&ray, pattern, words.first, words.second);
    const RayReference whole(&ray, pattern);
    EXPECT_EQ(cut.mCardinality, whole.mCardinality) << c.row;
    EXPECT_EQ(cut.mFirstWord, whole.mFirstWord) << c.row;
    EXPECT_EQ(cut.mEndWord, whole.mEndWord) << c.row;
  }
}

// Steps of one word count reuse the patterns of the steps before, now for
// other rays as rays die: each pattern must still be its ray's zero set cut
// to the rows before the step, nothing left of the ray it held before.
TEST_F(RayCacheTest, ReusedPatternsHoldOnlyTheirRaysZeroSets) {
  Matrix tall(200, 3);
  Cache cache(tall, mBase, COMBINATIONAL_TEST);
  std::mt19937 random(9);
  for (unsigned i = 0; i < 60; ++i) {
    BitList zero(BitList::wordsFor(200));
    for (unsigned b = random() % 4; b > 0; --b)
      zero.set(random() % 200);
    cache.insert(new SingleSetRay(3, 2, coordinatesOf({0, 0, 0}), std::move(zero),
                                  130 + static_cast<unsigned>(random() % 20)));
  }
  for (unsigned row = 130; row < 140; ++row) {
    auto const& entry = cache.entry(row);
    for (RayReferenceContainer const* set :
         {&entry.mPosDegenerate, &entry.mPosNondegenerate, &entry.mVerification, &entry.mNegative})
      for (RayReference const& reference : set->references()) {
        BitList expected;
        expected.assignAnd(entry.mMask, reference.ray<SingleSetRay>()->mActiveSet);
        ASSERT_EQ(reference.bits().toString(), expected.toString()) << row;
        ASSERT_EQ(reference.mCardinality, expected.count()) << row;
      }
    cache.finishStep(row);
  }
}

// Steps with enough rays file them on the workers and delete them there:
// every set holds the same references in the same order, with the same
// patterns, as when one thread files them, and every eliminated ray is gone.
TEST_F(RayCacheTest, SharedFilingMatchesFilingInTurn) {
  Matrix tall(200, 3);
  WorkerPool workers(4);
  deletedRays = 0;
  std::vector<std::unique_ptr<Cache>> caches;
  for (int k = 0; k < 2; ++k) {
    caches.push_back(std::make_unique<Cache>(tall, mBase, COMBINATIONAL_TEST));
    std::mt19937 random(5);
    for (unsigned i = 0; i < 9000; ++i) {
      BitList zero(BitList::wordsFor(200));
      for (unsigned b = random() % 5; b > 0; --b)
        zero.set(random() % 200);
      zero.set(1 + random() % 3);
      caches.back()->insert(new SingleSetRay(3, 2, coordinatesOf({0, 0, 0}), std::move(zero),
                                             126 + static_cast<unsigned>(random() % 2)));
    }
  }
  for (unsigned row = 126; row < 129; ++row) {
    auto const& inTurn = caches[0]->entry(row);
    auto const& shared = caches[1]->entry(row, &workers);
    auto sets = [](auto const& e) {
      return std::vector<RayReferenceContainer const*>{&e.mPosDegenerate, &e.mPosNondegenerate,
                                                       &e.mVerification, &e.mNegative};
    };
    for (std::size_t s = 0; s < 4; ++s) {
      auto const& a = sets(inTurn)[s]->references();
      auto const& b = sets(shared)[s]->references();
      ASSERT_EQ(a.size(), b.size()) << row;
      for (std::size_t i = 0; i < a.size(); ++i) {
        ASSERT_EQ(bitIndices(a[i].bits(), row), bitIndices(b[i].bits(), row)) << row;
        ASSERT_EQ(bitIndices(a[i].ray<SingleSetRay>()->mActiveSet, 200),
                  bitIndices(b[i].ray<SingleSetRay>()->mActiveSet, 200))
            << row;
      }
      EXPECT_EQ(sets(inTurn)[s]->unionBits().toString(), sets(shared)[s]->unionBits().toString());
    }
    caches[0]->finishStep(row);
    caches[1]->finishStep(row, &workers);
    EXPECT_EQ(caches[0]->liveCount(), caches[1]->liveCount()) << row;
  }
}

} // namespace
} // namespace dd_test
