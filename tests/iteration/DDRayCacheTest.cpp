#include "IterationTestSupport.h"

#include "iteration/DDBitPatternTreeCacheEntry.h"
#include "iteration/DDRayCache.h"

namespace dd_test {
namespace {

using Cache = RayCache<SingleSetRay, BitPatternTreeCacheEntry<SingleSetRay>>;

int deletedRays = 0;

struct CountedRay : SingleSetRay {
  CountedRay(unsigned d, unsigned m, BitList zero, std::initializer_list<long> slacks)
      : SingleSetRay(d, d - 1, m - d, std::move(zero)) {
    unsigned k = d;
    for (long s : slacks)
      slack(k++) = s;
  }
  ~CountedRay() override { ++deletedRays; }
};

class RayCacheTest : public FreshOptions {
protected:
  void SetUp() override {
    FreshOptions::SetUp();
    deletedRays = 0;
  }
  // 6 rows, 3 columns: entries for rows 3, 4 and 5.
  Matrix mWorking = Matrix(6, 3);
  Matrix mBase = Matrix(3, 3);
};

std::vector<SingleSetRay const*> raysOf(RayReferenceContainer const& set) {
  std::vector<SingleSetRay const*> rays;
  for (RayReference const& ref : set.mReferences)
    rays.push_back(ref.ray<SingleSetRay>());
  return rays;
}

TEST_F(RayCacheTest, EntriesCoverTheRowsAfterTheBasisWithTheirMasks) {
  Cache cache(mWorking, mBase);
  ASSERT_EQ(cache.mRowEntries.size(), 3u);
  for (unsigned j = 0; j < 3; ++j) {
    auto const& entry = cache.mRowEntries[j];
    EXPECT_EQ(entry.mRow, 3 + j);
    EXPECT_EQ(entry.mRowCount, 6);
    EXPECT_EQ(entry.mWordCount, 1);
    EXPECT_EQ(entry.mThreshold, 1u);
    EXPECT_EQ(entry.mMask.words()[0], (1ull << (3 + j)) - 1);
  }
  EXPECT_TRUE(cache.mFinalRays.empty());

  Matrix square(3, 3);
  Cache none(square, mBase);
  EXPECT_TRUE(none.mRowEntries.empty());
  auto* ray = new CountedRay(3, 3, bitsOf(1, {0, 1}), {});
  none.insert(ray, 0);
  ASSERT_EQ(none.mFinalRays.size(), 1u);
  EXPECT_EQ(none.mFinalRays[0], ray);
}

TEST_F(RayCacheTest, MasksSpanSeveralWords) {
  Matrix tall(130, 3);
  Cache cache(tall, mBase);
  auto const& last = cache.mRowEntries.back();
  EXPECT_EQ(last.mRow, 129);
  EXPECT_EQ(last.mWordCount, 3);
  EXPECT_EQ(last.mMask.words()[0], ~0ull);
  EXPECT_EQ(last.mMask.words()[1], ~0ull);
  EXPECT_EQ(last.mMask.words()[2], 1ull);
  auto const& row64 = cache.mRowEntries[64 - 3];
  EXPECT_EQ(row64.mMask.words()[0], ~0ull);
  EXPECT_EQ(row64.mMask.words()[1], 0ull);
  EXPECT_EQ(cache.mRowEntries[65 - 3].mMask.words()[1], 1ull);
}

// Filing by sign: positive into a positive set (degenerate ones also into the
// verification set), zero into the verification set under the combinatorial
// test only, negative into the negative set, which ends the filing.
TEST_F(RayCacheTest, FilesEachRayUpToItsFirstNegativeRow) {
  for (AdjacencyTest test : {COMBINATIONAL_TEST, ALGEBRAIC_TEST}) {
    SCOPED_TRACE(test);
    Options::current()->mAdjacencyTest = test;
    const bool zeroToo = test == COMBINATIONAL_TEST;
    deletedRays = 0;
    {
      Cache cache(mWorking, mBase);
      auto* a = new CountedRay(3, 6, bitsOf(1, {0, 1, 4}), {1, 0, -2});
      auto* b = new CountedRay(3, 6, bitsOf(1, {0, 2}), {-1, 0, 5});
      auto* c = new CountedRay(3, 6, bitsOf(1, {0, 1, 2}), {1, 2, 3});
      auto* z = new CountedRay(3, 6, bitsOf(1, {1, 2, 3, 4, 5}), {0, 0, 0});
      for (SingleSetRay const* ray : {static_cast<SingleSetRay const*>(a), (SingleSetRay const*)b,
                                      (SingleSetRay const*)c, (SingleSetRay const*)z})
        cache.insert(ray, 0);

      using Rays = std::vector<SingleSetRay const*>;
      auto const& row3 = cache.mRowEntries[0];
      EXPECT_EQ(raysOf(row3.mPosNondegenerate), Rays({a}));
      EXPECT_EQ(raysOf(row3.mPosDegenerate), Rays({c}));
      EXPECT_EQ(raysOf(row3.mNegative), Rays({b}));
      EXPECT_EQ(raysOf(row3.mVerification), zeroToo ? Rays({c, z}) : Rays({c}));
      EXPECT_EQ(row3.mVerification.mReferences[0].mBits.words()[0], 0b111u);
      EXPECT_EQ(row3.mPosNondegenerate.mReferences[0].mCardinality, 2);

      auto const& row4 = cache.mRowEntries[1];
      EXPECT_TRUE(row4.mPosNondegenerate.empty());
      EXPECT_EQ(raysOf(row4.mPosDegenerate), Rays({c}));
      EXPECT_TRUE(row4.mNegative.empty());
      EXPECT_EQ(raysOf(row4.mVerification), zeroToo ? Rays({a, c, z}) : Rays({c}));
      if (zeroToo) { // the zero set restricted to rows 0..3
        EXPECT_EQ(row4.mVerification.mReferences[2].mBits.words()[0], 0b1110u);
      }

      auto const& row5 = cache.mRowEntries[2];
      EXPECT_EQ(raysOf(row5.mNegative), Rays({a}));
      EXPECT_EQ(row5.mNegative.mReferences[0].mBits.words()[0], 0b10011u);
      EXPECT_EQ(raysOf(row5.mVerification), zeroToo ? Rays({a, c, z}) : Rays({a, c}));

      EXPECT_EQ(cache.mFinalRays, Rays({c, z}));

      // Dropping an entry deletes exactly the rays it owns.
      cache.mRowEntries.pop_front();
      EXPECT_EQ(deletedRays, 1);
      cache.mRowEntries.pop_front();
      EXPECT_EQ(deletedRays, 1);
      cache.mRowEntries.pop_front();
      EXPECT_EQ(deletedRays, 2);

      // With no entries left a ray goes straight to the final list.
      auto* late = new CountedRay(3, 6, bitsOf(1, {0, 1}), {1, 1, 1});
      cache.insert(late, 1);
      EXPECT_EQ(cache.mFinalRays.back(), late);
    }
    EXPECT_EQ(deletedRays, 5);
  }
}

TEST_F(RayCacheTest, StartEntryLocalFilingAndDestruction) {
  {
    Cache cache(mWorking, mBase);
    // Filed from entry 1: nothing lands in the entry of row 3.
    auto* ray = new CountedRay(3, 6, bitsOf(1, {0, 1}), {-1, 1, -1});
    cache.insert(ray, 1);
    EXPECT_TRUE(cache.mRowEntries[0].mNegative.empty());
    EXPECT_EQ(cache.mRowEntries[1].mPosNondegenerate.size(), 1u);
    EXPECT_EQ(cache.mRowEntries[2].mNegative.size(), 1u);

    auto* local = new CountedRay(3, 6, bitsOf(1, {0, 1, 4}), {1, 0, -1});
    EXPECT_EQ(cache.insert_local(local, 0, false), 1);
    EXPECT_EQ(cache.insert_local(local, 1, false), 0);
    EXPECT_TRUE(cache.mRowEntries[1].mVerification.empty());
    EXPECT_EQ(cache.insert_local(local, 2, false), -1);
    EXPECT_EQ(cache.mRowEntries[2].mNegative.size(), 2u);
  }
  // Entries left at destruction still delete the rays they own.
  EXPECT_EQ(deletedRays, 2);
}

} // namespace
} // namespace dd_test
