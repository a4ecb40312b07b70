#include "ConeInstanceSupport.h"
#include "IterationTestSupport.h"

#include <sstream>

namespace dd_test {
namespace {

// Small instances: every strategy, depth and leaf capacity of the grid, in
// all three trees at once, under both tests.
class SmallConeTest : public NoGlobalSettings, public ::testing::WithParamInterface<const char*> {};

TEST_P(SmallConeTest, EveryTreeSettingFindsTheReferenceRays) {
  Matrix working;
  std::vector<std::string> reference;
  ASSERT_TRUE(loadInstance(smallStem(GetParam()), working, reference));
  for (AdjacencyTest test : {COMBINATIONAL_TEST, ALGEBRAIC_TEST})
    for (int strategy = 0; strategy <= 8; ++strategy)
      for (unsigned long depth : {1ul, 15ul})
        for (unsigned long capacity : {1ul, 20ul}) {
          SCOPED_TRACE(std::string(AdjacencyTestNames[test]) + " strategy " +
                       std::to_string(strategy) + " depth " + std::to_string(depth) + " capacity " +
                       std::to_string(capacity));
          RunSettings settings = settingsWith(test);
          setAllTrees(settings, static_cast<BPT_CreationStrategy>(strategy), depth, capacity);
          expectSameRaySet(runSingleSet(working, settings), reference);
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
    for (BPT_CreationStrategy strategy :
         {BINARY_DYNAMIC_VANTAGE_POINT, BINARY_STATIC_VANTAGE_POINT})
      for (unsigned long capacity : {1ul, 20ul}) {
        SCOPED_TRACE(std::string(AdjacencyTestNames[test]) + " strategy " +
                     std::to_string(strategy) + " capacity " + std::to_string(capacity));
        RunSettings settings = settingsWith(test);
        setAllTrees(settings, strategy, 15, capacity);
        for (TreeOptions* tree :
             {&settings.mDegenerateTree, &settings.mNondegenerateTree, &settings.mVerificationTree})
          tree->mUniqueVantagePoint = true;
        expectSameRaySet(runSingleSet(working, settings), reference);
      }
}

// The setting drops references only in the verification tree: there it
// changes the verification figures of the step lines, in a narrowing tree
// nothing at all.
TEST_F(NoGlobalSettings, UniqueVantagePointActsOnTheVerificationTreeOnly) {
  Matrix working;
  std::vector<std::string> reference;
  ASSERT_TRUE(loadInstance(smallStem("rand01_dual_8_40"), working, reference));
  auto run = [&](TreeOptions RunSettings::*tree, bool unique) {
    RunSettings settings;
    TreeOptions& options = settings.*tree;
    options.mStrategy = BINARY_DYNAMIC_VANTAGE_POINT;
    options.mLeafCapacity = 2;
    options.mUniqueVantagePoint = unique;
    std::string steps;
    expectSameRaySet(runSingleSet(working, settings, &steps), reference);
    return withoutTimes(steps);
  };
  // The two verification figures of every step line.
  auto verificationFigures = [](std::string const& steps) {
    std::vector<std::string> figures;
    std::istringstream lines(steps);
    for (std::string line; std::getline(lines, line);) {
      std::vector<std::string> fields;
      std::istringstream groups(line.substr(line.find(") = ") + 4));
      for (std::string field; std::getline(groups, field, '/');)
        fields.push_back(field);
      figures.push_back(fields.at(5) + "/" + fields.at(6));
    }
    return figures;
  };

  const std::string verificationOff = run(&RunSettings::mVerificationTree, false);
  const std::string verificationOn = run(&RunSettings::mVerificationTree, true);
  const auto off = verificationFigures(verificationOff);
  const auto on = verificationFigures(verificationOn);
  ASSERT_EQ(off.size(), on.size());
  EXPECT_NE(off, on);
  for (std::size_t i = 0; i < off.size(); ++i) {
    if (off[i] == "-/-") {
      EXPECT_EQ(on[i], "-/-");
    }
  }

  for (TreeOptions RunSettings::*narrowing :
       {&RunSettings::mDegenerateTree, &RunSettings::mNondegenerateTree})
    EXPECT_EQ(run(narrowing, true), run(narrowing, false));
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
    expectSameRaySet(runSingleSet(working, settingsWith(test)), reference);
  }
}

// Larger instances of the shared collection, default trees only.
class SharedConeTest : public NoGlobalSettings,
                       public ::testing::WithParamInterface<const char*> {};

TEST_P(SharedConeTest, DefaultSettingsFindTheReferenceRays) {
  const std::string stem = sharedStem(GetParam());
  if (!exists(stem + ".txt") || !exists(stem + ".rays"))
    GTEST_SKIP() << "reference cones not available";
  Matrix working;
  std::vector<std::string> reference;
  ASSERT_TRUE(loadInstance(stem, working, reference));
  for (AdjacencyTest test : {COMBINATIONAL_TEST, ALGEBRAIC_TEST}) {
    SCOPED_TRACE(AdjacencyTestNames[test]);
    expectSameRaySet(runSingleSet(working, settingsWith(test)), reference);
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
