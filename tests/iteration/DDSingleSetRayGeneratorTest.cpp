#include "ConeSupport.h"
#include "IterationTestSupport.h"

#include "iteration/DDSingleSetRayGenerator.h"

namespace dd_test {
namespace {

using SingleSetRayGeneratorTest = NoGlobalSettings;

// The cone over the square [-1, 1]^2 at height 1, with the redundant row
// z >= 0 in between: rows x+z, -x+z, y+z (basis), z, -y+z.
Matrix squareCone() { return matrixOf({{1, 0, 1}, {-1, 0, 1}, {0, 1, 1}, {0, 0, 1}, {0, -1, 1}}); }

TEST_F(SingleSetRayGeneratorTest, InitialRaysAreTheSimplicialConeOfTheBasis) {
  for (AdjacencyTest test : {COMBINATIONAL_TEST, ALGEBRAIC_TEST}) {
    const Matrix working = squareCone();
    const Matrix base = identity(3);
    OpenGenerator generator(working, working, base, settingsWith(test));
    generator.calculateBase();
    auto const& cache = generator.cache();

    // Rays 0 and 1 are positive on every later row; ray 2 = (0, 1, 0) is
    // zero on row 3 and negative on row 4.
    ASSERT_EQ(cache.mFinalRays.size(), 2u);
    EXPECT_EQ(coordinateLines(working, cache.mFinalRays),
              (std::vector<std::string>{"1 -1 1", "-1 -1 1"}));
    EXPECT_EQ(bitIndices(cache.mFinalRays[0]->mActiveSet, 64), (std::vector<unsigned>{1, 2}));
    EXPECT_EQ(generator.slacksOf(*cache.mFinalRays[1], 3), (std::vector<long>{1, 2}));

    auto const& row3 = generator.entry(3);
    EXPECT_EQ(row3.mPosNondegenerate.size(), 2u);
    EXPECT_TRUE(row3.mNegative.empty());
    EXPECT_EQ(row3.mVerification.size(), test == COMBINATIONAL_TEST ? 1u : 0u);
    auto const& row4 = generator.entry(4);
    ASSERT_EQ(row4.mNegative.size(), 1u);
    auto const* ray2 = row4.mNegative.references()[0].ray<SingleSetRay>();
    EXPECT_EQ(bitIndices(ray2->mActiveSet, 64), (std::vector<unsigned>{0, 1, 3}));
    EXPECT_EQ(generator.slacksOf(*ray2, 3), (std::vector<long>{0, -1}));
    EXPECT_EQ(ray2->firstNegativeRow(), 4u);
    EXPECT_EQ(ray2->firstSecondaryRow(), 3);
    EXPECT_EQ(ray2->creationRow(), 2);
    EXPECT_EQ(row4.mNegative.references()[0].mCardinality, 3);
    EXPECT_EQ(row4.mVerification.size(), 1u); // degenerate negative ray
  }
}

TEST_F(SingleSetRayGeneratorTest, ZeroRowsAfterTheFirstNegativeRowAreNotMarked) {
  // Ray 0 = (1, 0): row 2 negative, row 3 zero.
  const Matrix working = matrixOf({{1, 0}, {0, 1}, {-1, 1}, {0, 1}});
  const Matrix base = identity(2);
  OpenGenerator generator(working, working, base, RunSettings());
  generator.calculateBase();
  auto const& ray0 = *generator.entry(2).mNegative.references()[0].ray<SingleSetRay>();
  EXPECT_EQ(bitIndices(ray0.mActiveSet, 64), (std::vector<unsigned>{1}));
  EXPECT_EQ(generator.slacksOf(ray0, 2), (std::vector<long>{-1, 0}));
}

TEST_F(SingleSetRayGeneratorTest, SquareBasisGivesItsInitialRaysAsFinalRays) {
  const Matrix working = matrixOf({{0, 2, 0}, {1, 1, 0}, {0, 0, -3}});
  const Matrix base = identity(3);
  OpenGenerator generator(working, working, base, RunSettings());
  generator.calculateBase();
  testing::internal::CaptureStdout();
  generator.run();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(coordinateLines(working, generator.cache().mFinalRays),
            (std::vector<std::string>{"-1 1 0", "1 0 0", "0 0 -1"}));
}

TEST_F(SingleSetRayGeneratorTest, OneColumn) {
  const Matrix working = matrixOf({{-2}, {0}, {-1}});
  const Matrix base = identity(1);
  OpenGenerator generator(working, working, base, RunSettings());
  generator.calculateBase();
  testing::internal::CaptureStdout();
  generator.run();
  testing::internal::GetCapturedStdout();
  auto const& rays = generator.cache().mFinalRays;
  ASSERT_EQ(rays.size(), 1u);
  EXPECT_EQ(coordinateLines(working, rays), (std::vector<std::string>{"-1"}));
  EXPECT_EQ(bitIndices(rays[0]->mActiveSet, 64), (std::vector<unsigned>{1}));
}

// Step lines and final order of the square cone, checked by hand: the row
// z >= 0 has no negative ray; the last row pairs the degenerate negative ray
// (0, 1, 0) with both nondegenerate positive rays, one leaf visit and two
// comparisons: 1 + (3 - 1) / (2 - 1) = 3.
TEST_F(SingleSetRayGeneratorTest, SquareConeStepLinesAndFinalOrder) {
  for (AdjacencyTest test : {COMBINATIONAL_TEST, ALGEBRAIC_TEST}) {
    const Matrix working = squareCone();
    const Matrix base = identity(3);
    OpenGenerator generator(working, working, base, settingsWith(test));
    generator.calculateBase();
    testing::internal::CaptureStdout();
    generator.run();
    EXPECT_EQ(withoutTimes(testing::internal::GetCapturedStdout()),
              "[1/2] " + STEP_LINE_HEADER + "2(0)/0(0)/0/0/0/-/-/2, dt=?ms\n" + "[2/2] " +
                  STEP_LINE_HEADER + "2(0)/1(1)/3/0/0/-/-/4, dt=?ms\n");
    auto const& rays = generator.cache().mFinalRays;
    EXPECT_EQ(coordinateLines(working, rays),
              (std::vector<std::string>{"1 -1 1", "-1 -1 1", "1 1 1", "-1 1 1"}));
    EXPECT_EQ(bitIndices(rays[2]->mActiveSet, 64), (std::vector<unsigned>{1, 4}));
    EXPECT_EQ(rays[2]->creationRow(), 4);
    EXPECT_EQ(generator.cache().liveCount(), 4u); // the final rays
  }
}

} // namespace
} // namespace dd_test
