// A run that shares its steps among threads prints and keeps exactly what a
// run on one thread does: the same step lines (times aside) and the same
// final rays in the same order.
#include "ConeInstanceSupport.h"
#include "IterationTestSupport.h"

#include <sstream>

namespace dd_test {
namespace {

struct RunRecord {
  std::string steps;
  std::vector<std::string> rays; // coordinates and zero set, in final order
};

RunRecord runWith(Matrix const& working, RunSettings const& settings, unsigned threads) {
  const Matrix base = identity(working.getColumns());
  OpenGenerator generator(working, working, base, settings, threads);
  generator.calculateBase();
  testing::internal::CaptureStdout();
  generator.run();
  RunRecord run{withoutTimes(testing::internal::GetCapturedStdout()), {}};
  auto const& finals = generator.cache().mFinalRays;
  const std::vector<std::string> lines = coordinateLines(working, finals);
  for (std::size_t i = 0; i < finals.size(); ++i)
    run.rays.push_back(lines[i] + " | " + finals[i]->mActiveSet.toString());
  return run;
}

class ParallelRunTest : public NoGlobalSettings,
                        public ::testing::WithParamInterface<const char*> {};

// Cones with steps large enough to be shared out, under both single-set
// tests, with split trees of every kind.
TEST_P(ParallelRunTest, SameStepLinesAndRaysAsOneThread) {
  Matrix working;
  std::vector<std::string> reference;
  ASSERT_TRUE(loadInstance(smallStem(GetParam()), working, reference));
  for (AdjacencyTest test : {COMBINATIONAL_TEST, ALGEBRAIC_TEST})
    for (BPT_CreationStrategy strategy :
         {BPT_FIRST_AVAILABLE_BIT, BPT_QUERY_BITS_NEUTRALIZATION, BINARY_DYNAMIC_VANTAGE_POINT}) {
      SCOPED_TRACE(std::string(AdjacencyTestNames[test]) + " strategy " + std::to_string(strategy));
      RunSettings settings = settingsWith(test);
      setAllTrees(settings, strategy, 15, 2);
      const RunRecord one = runWith(working, settings, 1);
      const RunRecord four = runWith(working, settings, 4);
      EXPECT_EQ(four.steps, one.steps);
      EXPECT_EQ(four.rays, one.rays);
      expectSameRaySet(runSingleSet(working, settings), reference);
    }
}

INSTANTIATE_TEST_SUITE_P(Instances, ParallelRunTest,
                         ::testing::Values("rand01_dual_8_40", "rand_poly_rat_50_6"));

} // namespace
} // namespace dd_test
