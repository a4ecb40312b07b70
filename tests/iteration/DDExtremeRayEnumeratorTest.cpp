#include "IterationTestSupport.h"

#include "iteration/DDAlgTestTraverseVisitor.h"
#include "iteration/DDSingleSetRayEnumerator.h"
#include "trees/DDLeafNode.h"

#include <cmath>
#include <memory>
#include <random>

namespace dd_test {
namespace {

// The visitors' adjacency tests below search no tree.
const SearchTree NO_TREE(TreePointer(&LeafNode<PreliminaryCondition>::EMPTY_NODE));

using Cache = RayCache<SingleSetRay, BitPatternTreeCacheEntry<SingleSetRay>>;

// Six rows, three columns; the step is row 4 and the patterns cover rows
// 0..3. The zero sets are made by hand; the coordinates (row4 + row5, row5,
// 0) give the slacks row4 and row5 on rows 4 and 5, which is all that the
// combinations read. The rows also serve the algebraic test.
class EnumeratorTest : public NoGlobalSettings {
protected:
  void SetUp() override {
    NoGlobalSettings::SetUp();
    restart(COMBINATIONAL_TEST);
  }
  // An empty cache for a run under test.
  void restart(AdjacencyTest test) {
    mSettings = settingsWith(test);
    mCache = std::make_unique<Cache>(mWorking, mBase, test);
  }
  StepStatistics step() {
    SingleSetRayEnumerator enumerator(mWorking, 4, mCache->entry(4), *mCache, mSettings);
    const StepStatistics s = enumerator.enumerate();
    mCache->finishStep(4);
    return s;
  }
  void file(std::initializer_list<unsigned> zero, long row4, long row5) {
    mCache->insert(rayOf(3, 6, bitsOf(1, zero), {1, row4, row5}, {row4 + row5, row5, 0}));
  }
  Matrix mWorking = matrixOf({{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 1}, {1, -1, 0}, {0, 1, -1}});
  Matrix mBase = Matrix(3, 3);
  RunSettings mSettings;
  std::unique_ptr<Cache> mCache;
};

TEST_F(EnumeratorTest, NoPositiveOrNoNegativeRayGivesTheZeroRecord) {
  for (bool positive : {true, false}) {
    restart(COMBINATIONAL_TEST);
    PreliminaryCondition::NARROWING_OPS = 77;
    file({0, 1, 3}, positive ? 1 : -1, 1);
    file({0, 2}, positive ? 1 : -1, 1);
    const StepStatistics s = step();
    EXPECT_EQ(s.mAccepted, 0u);
    EXPECT_EQ(s.mNarrowingOps, 0u);
    EXPECT_EQ(s.mEliminationComplexity, 0.0);
    EXPECT_EQ(s.mPosDegeneracy, 0.0);
    EXPECT_EQ(s.mNegDegeneracy, 0.0);
    EXPECT_EQ(PreliminaryCondition::NARROWING_OPS, 77u); // no search ran
    EXPECT_EQ(mCache->mFinalRays.size(), positive ? 2u : 0u);
  }
}

// A degenerate pair whose face only the two parents contain: verification
// tree of two leaves, three node visits and two pattern tests, so ops = 5
// with C = 1 and V = 2: the log figure divides by zero.
TEST_F(EnumeratorTest, DegeneratePairUnderTheCombinatorialTest) {
  file({0, 1, 3}, 1, 1);  // positive, degenerate
  file({0, 1, 2}, -1, 2); // negative, degenerate
  const StepStatistics s = step();
  EXPECT_EQ(s.mAccepted, 1u);
  EXPECT_EQ(s.mVerificationCandidates, 1u);
  EXPECT_EQ(s.mVerificationOps, 5u);
  EXPECT_EQ(s.mNarrowingOps, 2u); // single leaf: one visit, one comparison
  EXPECT_EQ(s.mEliminationComplexity, 3.0);
  EXPECT_TRUE(std::isinf(s.mVerificationLogComplexity));
  EXPECT_EQ(s.mVerificationLinearComplexity, 5.0);
  EXPECT_EQ(s.mPosDegeneracy, 1.0);
  EXPECT_EQ(s.mNegDegeneracy, 1.0);
  // The positive parent was final from its filing; the new ray, filed from
  // row 5 on, is positive there and follows it.
  ASSERT_EQ(mCache->mFinalRays.size(), 2u);
  auto const* ray = mCache->mFinalRays[1];
  EXPECT_EQ(bitIndices(ray->mActiveSet, 64), (std::vector<unsigned>{0, 1, 4}));
  mpz_class slack;
  mCache->slacks().slack(5, ray->coordinates(), slack);
  EXPECT_EQ(slack, 1); // (3, 3, 0) made primitive
}

TEST_F(EnumeratorTest, ThirdRayContainingTheFaceRejectsThePairOnlyCombinatorially) {
  for (AdjacencyTest test : {COMBINATIONAL_TEST, ALGEBRAIC_TEST}) {
    restart(test);
    file({0, 1, 3}, 1, 1);
    file({0, 1, 2}, -1, 2);
    file({0, 1, 2, 3}, 0, -1); // zero on row 4, contains the face {0, 1}
    const StepStatistics s = step();
    if (test == COMBINATIONAL_TEST) {
      EXPECT_EQ(s.mAccepted, 0u);
      EXPECT_EQ(s.mVerificationCandidates, 1u);
      EXPECT_EQ(mCache->mFinalRays.size(), 1u);
    } else { // rows 0 and 1 have rank 2 >= d - 2
      EXPECT_EQ(s.mAccepted, 1u);
      EXPECT_EQ(s.mVerificationCandidates, 0u);
      EXPECT_EQ(s.mVerificationLogComplexity, 0.0);
      EXPECT_EQ(s.mVerificationLinearComplexity, 0.0);
    }
  }
}

TEST_F(EnumeratorTest, NondegenerateRaysArePairedWithoutTest) {
  file({0, 1, 3}, 1, 1); // positive, degenerate
  file({1, 2, 3}, 1, 1); // positive, degenerate
  file({0, 3}, 1, 1);    // positive, nondegenerate
  file({1, 3}, -1, 1);   // negative, nondegenerate
  const StepStatistics s = step();
  // Both degenerate rays share a zero row with the negative one, and so does
  // the nondegenerate one; only the degenerate pass is counted.
  EXPECT_EQ(s.mAccepted, 2u);
  EXPECT_EQ(s.mVerificationCandidates, 0u);
  EXPECT_EQ(s.mVerificationLogComplexity, 0.0);
  EXPECT_EQ(mCache->mFinalRays.size(), 3u + 3u);
  EXPECT_EQ(s.mPosDegeneracy, 2.0 / 3.0);
  EXPECT_EQ(s.mNegDegeneracy, 0.0);
}

TEST_F(EnumeratorTest, OnlyNondegeneratePositiveRays) {
  file({0, 3}, 1, 1);
  file({1, 3}, -1, 1);
  file({0, 1, 2}, -1, 1);
  const StepStatistics s = step();
  EXPECT_EQ(s.mAccepted, 0u);
  EXPECT_EQ(s.mPosDegeneracy, 0.0);
  EXPECT_EQ(s.mNegDegeneracy, 0.5);
  EXPECT_EQ(mCache->mFinalRays.size(), 1u + 2u);
  // P = 1: log2 P = 0, so the figure is 1 + NARROWING_OPS / Q.
  EXPECT_EQ(s.mEliminationComplexity, 1.0 + static_cast<double>(s.mNarrowingOps) / 2.0);
}

// New rays come in the order of the negative set, then of the candidates;
// each pair leaves a distinct common zero row.
TEST_F(EnumeratorTest, CreationOrderFollowsNegativeSetThenTree) {
  file({0, 3}, 1, 1);  // a
  file({1, 2}, 2, 1);  // b
  file({0, 1}, -1, 1); // n1: pairs with a and b
  file({2, 3}, -3, 1); // n2: pairs with a and b
  step();
  std::vector<std::vector<unsigned>> zeroSets;
  for (std::size_t i = 2; i < mCache->mFinalRays.size(); ++i)
    zeroSets.push_back(bitIndices(mCache->mFinalRays[i]->mActiveSet, 64));
  // (a,n1), (b,n1), (a,n2), (b,n2).
  EXPECT_EQ(zeroSets, (std::vector<std::vector<unsigned>>{{0, 4}, {1, 4}, {3, 4}, {2, 4}}));
}

// The rank test accepts a face whose rows have rank at least d - 2.
struct RankCase {
  const char* name;
  std::vector<unsigned> face;
  bool adjacent;
};

TEST(AlgebraicRankTest, AcceptsExactlyTheFacesOfRankAtLeastDMinusTwo) {
  // d = 4: rows 0..2 independent, row 3 = row 0 + row 1, rows 4 and 5
  // multiples of row 0, row 6 zero.
  const Matrix working = matrixOf({{1, 2, 0, 3},
                                   {0, 1, 1, 0},
                                   {2, 0, 1, 1},
                                   {1, 3, 1, 3},
                                   {2, 4, 0, 6},
                                   {-3, -6, 0, -9},
                                   {0, 0, 0, 0}});
  const Matrix base = Matrix(4, 4);
  const RankCase cases[] = {
      {"empty face", {}, true},
      {"two independent rows", {0, 1}, true},
      {"three rows of rank two", {0, 1, 3}, true},
      {"pivot found below", {1, 2}, true},
      {"three multiples: rank one", {0, 4, 5}, false},
      // Fewer rows than d - 2, which no candidate has: the only row becomes
      // the last pivot at once.
      {"one row", {2}, true},
      {"zero row and a row", {6, 1}, false},
      {"zero row first, then two rows", {6, 0, 2}, true},
  };
  Cache cache(working, base, ALGEBRAIC_TEST);
  AlgTestTraverseVisitor visitor(NO_TREE, 7, working, cache);
  EXPECT_EQ(visitor.mThreshold, 2);
  for (RankCase const& c : cases) {
    BitList face(1);
    for (unsigned r : c.face)
      setBit(face.words(), r);
    EXPECT_EQ(visitor.isAdjacent(face), c.adjacent) << c.name;
    EXPECT_EQ(visitor.isAdjacentByColumnSweep(face), c.adjacent) << c.name;
  }
  // d = 2: the empty face is adjacent without elimination.
  const Matrix plane = matrixOf({{1, 0}, {0, 1}, {1, 1}});
  Cache planeCache(plane, base, ALGEBRAIC_TEST);
  AlgTestTraverseVisitor planeVisitor(NO_TREE, 2, plane, planeCache);
  EXPECT_TRUE(planeVisitor.isAdjacent(BitList(1)));
}

// The row-by-row and the column-sweep forms agree on every face of at least
// d - 2 rows, over matrices with many dependent rows; scaled entries make the
// machine integers overflow (2^40), meet -2^63 in rows and in differences
// (2^62), or not fit at all (2^70).
TEST(AlgebraicRankTest, RowAndColumnFormsAgreeOnRandomFaces) {
  std::mt19937 random(5);
  unsigned accepted = 0, rejected = 0;
  for (unsigned scaleBits : {0u, 40u, 62u, 70u})
    for (unsigned d : {3u, 5u, 8u}) {
      SCOPED_TRACE("scale 2^" + std::to_string(scaleBits));
      mpz_class scale = 1;
      scale <<= scaleBits;
      const unsigned m = 70; // two words of rows
      Matrix working(m, d);
      // Most rows lie in the plane of two random vectors; every seventh row is
      // random, so faces of d - 2 or more rows may or may not reach rank d - 2.
      std::vector<long> g0(d), g1(d);
      for (unsigned j = 0; j < d; ++j) {
        g0[j] = static_cast<long>(random() % 7) - 3;
        g1[j] = static_cast<long>(random() % 7) - 3;
      }
      for (unsigned i = 0; i < m; ++i) {
        const long a = static_cast<long>(random() % 5) - 2, b = static_cast<long>(random() % 5) - 2;
        for (unsigned j = 0; j < d; ++j)
          working.row(i)[j] =
              scale * (i % 7 == 0 ? static_cast<long>(random() % 9) - 4 : a * g0[j] + b * g1[j]);
      }
      const Matrix base(d, d);
      Cache cache(working, base, ALGEBRAIC_TEST);
      AlgTestTraverseVisitor visitor(NO_TREE, 69, working, cache);
      for (int trial = 0; trial < 400; ++trial) {
        BitList face(2);
        const unsigned size = d - 2 + random() % (trial % 2 ? 3 : 40);
        for (unsigned n = 0; n < size; ++n)
          setBit(face.words(), random() % m);
        if (popcount(face.words(), 2) < d - 2)
          continue;
        const bool adjacent = visitor.isAdjacent(face);
        (adjacent ? accepted : rejected) += 1;
        ASSERT_EQ(adjacent, visitor.isAdjacentByColumnSweep(face))
            << "d " << d << " trial " << trial;
      }
    }
  EXPECT_GT(accepted, 0u);
  EXPECT_GT(rejected, 0u);
}

} // namespace
} // namespace dd_test
