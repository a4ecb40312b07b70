// A run that shares its steps among threads prints and keeps exactly what a
// run on one thread does: the same step lines (times aside), the same final
// rays in the same order and the same result file. Every piece of work is
// shared, however small, so that a chunk merged out of order shows.
#include "ConeInstanceSupport.h"
#include "IterationTestSupport.h"
#include "TestFiles.h"
#include "core/DDRepresentationVector.h"
#include "core/DDSharingPolicy.h"
#include "core/DDWorkerPool.h"
#include "iteration/DDParallelPass.h"

#include <sstream>

namespace dd_test {
namespace {

struct RunRecord {
  std::string steps;
  std::vector<std::string> rays; // coordinates and zero set, in final order
  std::string result;            // the result file
};

RunRecord runWith(Matrix const& working, RunSettings const& settings, unsigned threads) {
  const SharingPolicy::ScopedChunkWork everyPiece(1);
  const Matrix base = identity(working.getColumns());
  OpenGenerator generator(working, working, base, settings, threads);
  generator.calculateBase();
  testing::internal::CaptureStdout();
  generator.run();
  const std::string file = tempDir("parallel") + "/rays.out";
  generator.writeExtremeRays<RepresentationVector>(file.c_str());
  RunRecord run{withoutTimes(testing::internal::GetCapturedStdout()), {}, readFile(file)};
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
      for (unsigned threads : {2u, 3u, 8u}) {
        SCOPED_TRACE(std::to_string(threads) + " threads");
        const RunRecord shared = runWith(working, settings, threads);
        EXPECT_EQ(shared.steps, one.steps);
        EXPECT_EQ(shared.rays, one.rays);
        EXPECT_EQ(shared.result, one.result);
      }
      expectSameRaySet(runSingleSet(working, settings), reference);
    }
}

INSTANTIATE_TEST_SUITE_P(Instances, ParallelRunTest,
                         ::testing::Values("rand01_dual_8_40", "rand_poly_rat_50_6"));

// One kind of pass on a pool of four, its passes over 1,000 positive
// patterns of 4 words.
class PassSharingTest : public ::testing::Test {
protected:
  std::size_t chunks(std::uint64_t queries) const {
    return mSharing.chunks(mPolicy, queries, 1000, 4);
  }

  WorkerPool mPool{4};
  const SharingPolicy mPolicy{&mPool};
  PassSharing mSharing;
};

// A kind of pass is shared once its passes alone would take a millisecond,
// from the time a query of the last ones alone took; whatever the time
// where the tests have every piece shared. A shared pass cannot raise that
// time, only lower it to what its threads took together.
TEST_F(PassSharingTest, SharesPassesOfAMillisecondAlone) {
  // Half a microsecond a query alone.
  mSharing.record(1, 4, 1000, 500000);
  EXPECT_EQ(chunks(1000), 1u);
  EXPECT_EQ(chunks(1999), 1u);
  EXPECT_GT(chunks(2000), 1u);
  mSharing.record(chunks(2000), 4, 2000, 100000000);
  EXPECT_EQ(chunks(1999), 1u);
  const SharingPolicy::ScopedChunkWork everyPiece(1);
  EXPECT_GT(chunks(1000), 1u);
}

// Shared passes no faster than alone double the time from which passes are
// shared; one that pays halves it again, down to where it started.
TEST_F(PassSharingTest, SharesLongerPassesWhereSharingDidNotPay) {
  // A microsecond a query alone: passes of 1,000 queries are shared.
  mSharing.record(1, 4, 1000, 1000000);
  ASSERT_GT(chunks(1000), 1u);
  // Shared, such a pass takes as long as alone.
  mSharing.record(16, 4, 1000, 1000000);
  EXPECT_EQ(chunks(1000), 1u);
  EXPECT_EQ(chunks(1999), 1u);
  EXPECT_GT(chunks(2000), 1u);
  // A pass of 2,000 queries shared in a third of the time alone.
  mSharing.record(16, 4, 2000, 700000);
  EXPECT_GT(chunks(1000), 1u);
}

// An odd pass of two milliseconds a query has every later pass of two
// queries shared, until shared passes show what the threads take.
TEST_F(PassSharingTest, SharedPassesLowerAnEstimateLeftTooHigh) {
  mSharing.record(1, 4, 1, 2000000);
  ASSERT_GT(chunks(2), 1u);
  for (int pass = 0; pass < 8 && chunks(2) > 1; ++pass)
    mSharing.record(2, 4, 2, 20000);
  EXPECT_EQ(chunks(2), 1u);
}

} // namespace
} // namespace dd_test
