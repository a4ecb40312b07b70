#include "ConeInstanceSupport.h"
#include "IterationTestSupport.h"

namespace dd_test {
namespace {

// Small instances: every strategy, depth and leaf capacity of the grid, in
// all three trees at once, under both tests.
class SmallConeTest : public FreshOptions, public ::testing::WithParamInterface<const char*> {};

TEST_P(SmallConeTest, EveryTreeSettingFindsTheReferenceRays) {
  Matrix working;
  std::vector<std::string> reference;
  ASSERT_TRUE(loadInstance(smallStem(GetParam()), working, reference));
  for (AdjacencyTest test : {COMBINATIONAL_TEST, ALGEBRAIC_TEST})
    for (int strategy = 0; strategy <= 8; ++strategy)
      for (unsigned long depth : {1ul, 15ul})
        for (unsigned long capacity : {1ul, 20ul}) {
          SCOPED_TRACE(std::string(AdjacencyTestNames[test]) + " strategy " +
                       std::to_string(strategy) + " depth " + std::to_string(depth) +
                       " capacity " + std::to_string(capacity));
          Options::current()->mAdjacencyTest = test;
          setAllTrees(static_cast<BPT_CreationStrategy>(strategy), depth, capacity);
          expectSameRaySet(runSingleSet(working), reference);
        }
}

INSTANTIATE_TEST_SUITE_P(Instances, SmallConeTest,
                         ::testing::Values("cube_6", "cross_6", "metcone_5", "metpoly_5",
                                           "cyclic_dual_20_4", "prodsimplex_5x5",
                                           "rand01_dual_8_40", "rand_poly_rat_50_6"));

// Unique vantage points drop the references equal to a vantage point from the
// split; every tree must still find all adjacent pairs.
TEST_P(SmallConeTest, UniqueVantagePointsFindTheReferenceRays) {
  Matrix working;
  std::vector<std::string> reference;
  ASSERT_TRUE(loadInstance(smallStem(GetParam()), working, reference));
  for (AdjacencyTest test : {COMBINATIONAL_TEST, ALGEBRAIC_TEST})
    for (BPT_CreationStrategy strategy : {BINARY_DYNAMIC_VANTAGE_POINT, BINARY_STATIC_VANTAGE_POINT})
      for (unsigned long capacity : {1ul, 20ul}) {
        SCOPED_TRACE(std::string(AdjacencyTestNames[test]) + " strategy " +
                     std::to_string(strategy) + " capacity " + std::to_string(capacity));
        Options::current()->mAdjacencyTest = test;
        setAllTrees(strategy, 15, capacity);
        for (TreeOptions* tree : {&Options::current()->mDegenerateTree,
                                  &Options::current()->mNondegenerateTree,
                                  &Options::current()->mVerificationTree})
          tree->mUniqueVantagePoint = true;
        expectSameRaySet(runSingleSet(working), reference);
      }
}

// The rays do not depend on the processing order: rows in file order with the
// first independent rows moved to the front.
TEST_P(SmallConeTest, FileOrderWithGreedyBasisFindsTheReferenceRays) {
  const std::string stem = smallStem(GetParam());
  Matrix working;
  ASSERT_TRUE(readMatrixFile(stem + ".txt", working));
  ASSERT_TRUE(moveBasisToFront(working));
  const std::vector<std::string> reference = sorted(readRayLines(stem + ".rays"));
  for (AdjacencyTest test : {COMBINATIONAL_TEST, ALGEBRAIC_TEST}) {
    SCOPED_TRACE(AdjacencyTestNames[test]);
    Options::current()->mAdjacencyTest = test;
    expectSameRaySet(runSingleSet(working), reference);
  }
}

// Larger instances of the shared collection, default trees only.
class SharedConeTest : public FreshOptions, public ::testing::WithParamInterface<const char*> {};

TEST_P(SharedConeTest, DefaultSettingsFindTheReferenceRays) {
  const std::string stem = sharedStem(GetParam());
  if (!exists(stem + ".txt") || !exists(stem + ".rays"))
    GTEST_SKIP() << "reference cones not available";
  Matrix working;
  std::vector<std::string> reference;
  ASSERT_TRUE(loadInstance(stem, working, reference));
  for (AdjacencyTest test : {COMBINATIONAL_TEST, ALGEBRAIC_TEST}) {
    SCOPED_TRACE(AdjacencyTestNames[test]);
    Options::current()->mAdjacencyTest = test;
    expectSameRaySet(runSingleSet(working), reference);
  }
}

INSTANTIATE_TEST_SUITE_P(Instances, SharedConeTest,
                         ::testing::Values("nmz_big_facets", "nmz_small_facets",
                                           "nmz_max_polytope_cand", "nmz_Condorcet",
                                           "nmz_medium_facets", "4ti2_magic4x4",
                                           "rand_poly_deg_120_7", "rand_poly_200_5",
                                           "cyclic_dual_40_6", "rand_cone_150_6"));

} // namespace
} // namespace dd_test
