#include "settings/DDRunSettings.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

using namespace double_description;

// The run keeps its copy when the settings object is gone.
TEST(RunSettingsTest, CopiesTheTestAndTheThreeTrees) {
  auto options = std::make_unique<Options>();
  options->mAdjacencyTest = ALGEBRAIC_TEST;
  options->mDegenerateTree.mStrategy = BINARY_DYNAMIC_VANTAGE_POINT;
  options->mDegenerateTree.mUniqueVantagePoint = true;
  options->mNondegenerateTree.mMaxTreeDepth = 3;
  options->mVerificationTree.mLeafCapacity = 7;
  const RunSettings settings(*options);
  const std::string degenerate = options->mDegenerateTree.toString();
  const std::string nondegenerate = options->mNondegenerateTree.toString();
  const std::string verification = options->mVerificationTree.toString();
  options.reset();

  EXPECT_EQ(settings.mAdjacencyTest, ALGEBRAIC_TEST);
  EXPECT_EQ(settings.mDegenerateTree.toString(), degenerate);
  EXPECT_EQ(settings.mNondegenerateTree.toString(), nondegenerate);
  EXPECT_EQ(settings.mVerificationTree.toString(), verification);
  EXPECT_NE(degenerate, nondegenerate);
  EXPECT_NE(nondegenerate, verification);
}

TEST(RunSettingsTest, PlotsUnlessThePlotFileIsDontPlot) {
  const struct {
    const char* plotFile;
    bool plotting;
  } cases[] = {{"Don't plot", false}, {"plot.txt", true}, {"don't plot", true}, {"", true}};
  for (const auto& c : cases) {
    Options options;
    options.mPlotFile = c.plotFile;
    EXPECT_EQ(RunSettings(options).mPlotting, c.plotting) << "'" << c.plotFile << "'";
  }
}

TEST(RunSettingsTest, DefaultsAreThoseOfTheSettings) {
  const Options options;
  const RunSettings settings;
  EXPECT_EQ(settings.mAdjacencyTest, options.mAdjacencyTest);
  EXPECT_FALSE(settings.mPlotting);
  for (const TreeOptions* tree :
       {&settings.mDegenerateTree, &settings.mNondegenerateTree, &settings.mVerificationTree})
    EXPECT_EQ(tree->toString(), options.mDegenerateTree.toString());
}
