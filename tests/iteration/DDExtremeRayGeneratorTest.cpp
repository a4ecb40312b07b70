#include "IterationTestSupport.h"

#include "iteration/DDExtremeRayGenerator.h"
#include "settings/DDLogging.h"

#include <deque>
#include <sstream>

namespace dd_test {
namespace {

// Returns prepared figures instead of searching; its initial rays are given
// by the test.
class ScriptedGenerator : public ExtremeRayGenerator<SingleSetRay> {
public:
  using ExtremeRayGenerator<SingleSetRay>::ExtremeRayGenerator;

  StepStatistics enumerate(unsigned long step, Entry& entry) override {
    mSteps.push_back(step);
    mEntryRows.push_back(entry.mRow);
    StepStatistics s = mScript.front();
    mScript.pop_front();
    return s;
  }
  void calculateBase() override {
    for (SingleSetRay const* ray : mInitial)
      mRayCache.insert(ray);
  }

  std::vector<SingleSetRay const*> mInitial;
  std::deque<StepStatistics> mScript;
  std::vector<unsigned long> mSteps;
  std::vector<unsigned> mEntryRows;
  Cache const& cache() const { return mRayCache; }
};

class GeneratorStepTest : public NoGlobalSettings {
protected:
  void TearDown() override {
    delete loggers["COMPLEXITY_PLOT"];
    loggers.erase("COMPLEXITY_PLOT");
    NoGlobalSettings::TearDown();
  }
  static RunSettings plotting() {
    RunSettings settings;
    settings.mPlotting = true;
    return settings;
  }
  Matrix mWorking = Matrix(5, 3);
  Matrix mBase = Matrix(3, 3);
};

TEST_F(GeneratorStepTest, NoStepWhenEveryRowIsInTheBasis) {
  Matrix square(3, 3);
  ScriptedGenerator generator(square, square, mBase, RunSettings());
  generator.mInitial = {rayOf(3, 3, bitsOf(1, {1, 2}), {})};
  generator.calculateBase();
  testing::internal::CaptureStdout();
  generator.run();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_TRUE(generator.mSteps.empty());
  EXPECT_EQ(generator.cache().mFinalRays.size(), 1u);
}

TEST_F(GeneratorStepTest, StepLinesShowTheFiguresOfEachStep) {
  ScriptedGenerator generator(mWorking, mWorking, mBase, RunSettings());
  // Row 3: one positive (degenerate), one negative, one zero ray; row 4: the
  // two others positive, so both are final from the start.
  generator.mInitial = {rayOf(3, 5, bitsOf(1, {0, 1, 2}), {2, 1}),
                        rayOf(3, 5, bitsOf(1, {0, 2}), {-1, 1}),
                        rayOf(3, 5, bitsOf(1, {1, 2, 3}), {0, 4})};
  StepStatistics first;
  first.mVerificationCandidates = 7;
  first.mAccepted = 3;
  first.mPosDegeneracy = 0.5;
  first.mNegDegeneracy = 1.25;
  first.mEliminationComplexity = 1.23456789;
  first.mVerificationLogComplexity = 0.0;
  first.mVerificationLinearComplexity = 2.5;
  StepStatistics second; // the all-zero record of a row without negative rays
  second.mVerificationOps = 99;
  generator.mScript = {first, second};
  generator.calculateBase();

  testing::internal::CaptureStdout();
  generator.run();
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(withoutTimes(out), "[1/2] " + STEP_LINE_HEADER +
                                   "1(0.5)/1(1.25)/1.23457/7/3/-/2.5/2, dt=?ms\n" + "[2/2] " +
                                   STEP_LINE_HEADER + "2(0)/0(0)/0/0/0/-/-/2, dt=?ms\n");
  EXPECT_EQ(generator.mSteps, (std::vector<unsigned long>{3, 4}));
  EXPECT_EQ(generator.mEntryRows, (std::vector<unsigned>{3, 4}));
  EXPECT_EQ(generator.cache().liveCount(), 2u); // the two final rays
}

TEST_F(GeneratorStepTest, PlotLineOnlyWhenPlottingAndEliminationComplexityIsPositive) {
  loggers["COMPLEXITY_PLOT"] = new std::stringstream;
  StepStatistics first;
  first.mEliminationComplexity = 1.5;
  first.mVerificationLinearComplexity = 1e-7;
  StepStatistics second;
  second.mEliminationComplexity = 0.0;
  second.mVerificationLogComplexity = 3.0;
  for (bool on : {false, true}) {
    ScriptedGenerator generator(mWorking, mWorking, mBase, on ? plotting() : RunSettings());
    generator.mScript = {first, second};
    testing::internal::CaptureStdout();
    generator.run();
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(loggers["COMPLEXITY_PLOT"]->str(), on ? "0 1.5 0 1e-07\n" : "") << on;
  }
}

TEST_F(GeneratorStepTest, PlottingWithoutARegisteredStreamStillPrintsTheStepLine) {
  ScriptedGenerator generator(mWorking, mWorking, mBase, plotting());
  StepStatistics s;
  s.mEliminationComplexity = 2.0;
  generator.mScript = {s, s};
  testing::internal::CaptureStdout();
  generator.run();
  EXPECT_EQ(withoutTimes(testing::internal::GetCapturedStdout()),
            "[1/2] " + STEP_LINE_HEADER + "0(0)/0(0)/2/0/0/-/-/0, dt=?ms\n" + "[2/2] " +
                STEP_LINE_HEADER + "0(0)/0(0)/2/0/0/-/-/0, dt=?ms\n");
  EXPECT_EQ(loggers.count("COMPLEXITY_PLOT"), 0u);
}

TEST(ElapsedMilliseconds, RoundsHalfUpAcrossSeconds) {
  EXPECT_EQ(elapsedMilliseconds({5, 999600}, {6, 100}), 1);
  EXPECT_EQ(elapsedMilliseconds({5, 100}, {5, 499}), 0);
  EXPECT_EQ(elapsedMilliseconds({5, 0}, {7, 1500}), 2002);
}

} // namespace
} // namespace dd_test
