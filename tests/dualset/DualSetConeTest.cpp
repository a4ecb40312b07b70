#include "DualSetTestSupport.h"

#include "iteration/ConeInstanceSupport.h"
#include "iteration/IterationTestSupport.h"

namespace dualset_test {
namespace {

using dd_test::exists;
using dd_test::expectSameRaySet;
using dd_test::loadInstance;
using dd_test::setAllTrees;
using dd_test::sharedStem;
using dd_test::smallStem;
using dd_test::sorted;
using dd_test::withoutTimes;

class SmallDualSetConeTest : public dd_test::NoGlobalSettings,
                             public ::testing::WithParamInterface<const char*> {};

// Final rays keep every invariant, and each step line shows the figures of
// the algebraic test, which decides the same pairs.
TEST_P(SmallDualSetConeTest, DefaultTreesKeepInvariantsAndStepFigures) {
  Matrix working;
  std::vector<std::string> reference;
  ASSERT_TRUE(loadInstance(smallStem(GetParam()), working, reference));
  std::string console;
  const std::vector<std::string> rays = runDualSet(working, partitionedSets(), true, &console);
  expectSameRaySet(rays, reference);

  const Matrix base = dd_test::identity(working.getColumns());
  dd_test::OpenGenerator single(working, working, base, dd_test::settingsWith(ALGEBRAIC_TEST));
  testing::internal::CaptureStdout();
  single.calculateBase();
  single.run();
  EXPECT_EQ(withoutTimes(console), withoutTimes(testing::internal::GetCapturedStdout()));
  // New rays come in the same order: negative set first, then candidate order.
  EXPECT_EQ(rays, dd_test::coordinateLines(working, single.cache().mFinalRays));
}

TEST_P(SmallDualSetConeTest, EveryTreeSettingFindsTheReferenceRays) {
  Matrix working;
  std::vector<std::string> reference;
  ASSERT_TRUE(loadInstance(smallStem(GetParam()), working, reference));
  for (int strategy = 0; strategy <= 8; ++strategy)
    for (unsigned long depth : {1ul, 15ul})
      for (unsigned long capacity : {1ul, 20ul}) {
        SCOPED_TRACE("strategy " + std::to_string(strategy) + " depth " + std::to_string(depth) +
                     " capacity " + std::to_string(capacity));
        RunSettings settings = partitionedSets();
        setAllTrees(settings, static_cast<BPT_CreationStrategy>(strategy), depth, capacity);
        expectSameRaySet(runDualSet(working, settings), reference);
      }
}

// Another processing order: file order with the first independent rows in
// front, so primary sets and certificates differ from the sorted run.
TEST_P(SmallDualSetConeTest, FileOrderWithGreedyBasisFindsTheReferenceRays) {
  const std::string stem = smallStem(GetParam());
  Matrix working;
  ASSERT_TRUE(dd_test::readMatrixFile(stem + ".txt", working));
  ASSERT_TRUE(dd_test::moveBasisToFront(working));
  expectSameRaySet(runDualSet(working, partitionedSets(), true),
                   sorted(dd_test::readRayLines(stem + ".rays")));
}

INSTANTIATE_TEST_SUITE_P(Instances, SmallDualSetConeTest,
                         ::testing::Values("cube_6", "cross_6", "metcone_5", "metcone_5_scaled",
                                           "metpoly_5", "cyclic_dual_20_4", "prodsimplex_5x5",
                                           "rand01_dual_8_40", "rand_poly_rat_50_6"));

// The rows of metcone_5 scaled by factors near 2^13: certificates that fit
// machine integers, and face reductions whose sums leave 64 bits where the
// bound of their products said to check them. The prover starts over in
// exact integers and finds the rays of the unscaled cone.
TEST(ScaledDualSetConeTest, FaceReductionsBeyond64BitsStartOverExactly) {
  Matrix working;
  std::vector<std::string> reference;
  ASSERT_TRUE(loadInstance(smallStem("metcone_5_scaled"), working, reference));
  const Matrix base = dd_test::identity(working.getColumns());
  OpenDualSetGenerator generator(working, working, base, partitionedSets(), 1);
  testing::internal::CaptureStdout();
  generator.calculateBase();
  generator.run();
  testing::internal::GetCapturedStdout();
  EXPECT_GT(generator.faceProver().exactRestarts(), 0u);
  expectSameRaySet(coordinateLines(working, generator.cache().mFinalRays), reference);
}

class SharedDualSetConeTest : public SmallDualSetConeTest {};

TEST_P(SharedDualSetConeTest, DefaultSettingsFindTheReferenceRays) {
  const std::string stem = sharedStem(GetParam());
  if (!exists(stem + ".txt") || !exists(stem + ".rays"))
    GTEST_SKIP() << "reference cones not available";
  Matrix working;
  std::vector<std::string> reference;
  ASSERT_TRUE(loadInstance(stem, working, reference));
  expectSameRaySet(runDualSet(working, partitionedSets()), reference);
}

INSTANTIATE_TEST_SUITE_P(Instances, SharedDualSetConeTest,
                         ::testing::Values("nmz_big_facets", "nmz_small_facets",
                                           "nmz_max_polytope_cand", "nmz_Condorcet",
                                           "nmz_medium_facets", "4ti2_magic4x4",
                                           "nmz_PluralityVsCutoff", "rand_poly_deg_120_7",
                                           "rand_poly_200_5", "cyclic_dual_40_6",
                                           "rand_cone_150_6"));

} // namespace
} // namespace dualset_test
