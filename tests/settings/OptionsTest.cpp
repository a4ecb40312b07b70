#include "settings/DDOptions.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <climits>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>

using namespace double_description;

namespace {

std::string writeConfig(const std::string& name, const std::string& content) {
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  const std::string path = ::testing::TempDir() + "redivez_" + test->name() + "_" +
                           std::to_string(getpid()) + "_" + name;
  std::ofstream(path, std::ios::binary) << content;
  return path;
}

void expectDefaultTree(const TreeOptions& tree) {
  EXPECT_EQ(tree.mStrategy, BPT_FIRST_AVAILABLE_BIT);
  EXPECT_EQ(tree.mMaxTreeDepth, 15u);
  EXPECT_EQ(tree.mLeafCapacity, 20u);
  EXPECT_EQ(tree.mDataSort, NONE);
  EXPECT_EQ(tree.mBitsPerSplit, 1u);
  EXPECT_DOUBLE_EQ(tree.mDynamicNarrowingFactor, 1.5);
  EXPECT_DOUBLE_EQ(tree.mDynamicBalanceFactor, 0.0);
  EXPECT_EQ(tree.mVantagePointPopulation, 50u);
  EXPECT_DOUBLE_EQ(tree.mVantagePointDistanceCoefficient, 0.0);
  EXPECT_FALSE(tree.mUniqueVantagePoint);
}

void expectDefaults(const Options& options) {
  EXPECT_EQ(options.mAdjacencyTest, COMBINATIONAL_TEST);
  EXPECT_EQ(options.mOutputFormat, INTEGER_VEC);
  EXPECT_EQ(options.mPlotFile, "Don't plot");
  expectDefaultTree(options.mDegenerateTree);
  expectDefaultTree(options.mNondegenerateTree);
  expectDefaultTree(options.mVerificationTree);
}

} // namespace

TEST(OptionsTest, DefaultsAndEmptyFile) {
  Options options;
  expectDefaults(options);
  const std::string path = writeConfig("empty.conf", "");
  ASSERT_TRUE(options.readSettingsFile(path.c_str()));
  std::remove(path.c_str());
  expectDefaults(options);
}

TEST(OptionsTest, UnreadableFileChangesNothing) {
  Options options;
  EXPECT_FALSE(options.readSettingsFile("/nonexistent/dir/redivez.conf"));
  expectDefaults(options);
}

TEST(OptionsTest, CurrentIsCreatedOnceAndClearedOnDestruction) {
  ASSERT_EQ(Options::mCurrent, nullptr);
  Options* first = Options::current();
  EXPECT_EQ(first, Options::mCurrent);
  EXPECT_EQ(Options::current(), first);
  expectDefaults(*first);
  delete first;
  EXPECT_EQ(Options::mCurrent, nullptr);
}

struct ConfigCase {
  const char* name;
  const char* content;
  std::function<void(const Options&)> check;
};

TEST(OptionsTest, ConfigurationFile) {
  const ConfigCase cases[] = {
      {"plot file with comment", "Plot file = out/plot.txt # comment\n",
       [](const Options& o) { EXPECT_EQ(o.mPlotFile, "out/plot.txt"); }},
      {"value keeps further equals signs", "Plot file = a=b.plt\n",
       [](const Options& o) { EXPECT_EQ(o.mPlotFile, "a=b.plt"); }},
      {"general keys", "AdjacencyTest = ALGEBRAIC_TEST\nOutput format=ACTIVE_SET",
       [](const Options& o) {
         EXPECT_EQ(o.mAdjacencyTest, ALGEBRAIC_TEST);
         EXPECT_EQ(o.mOutputFormat, ACTIVE_SET);
       }},
      {"names are case-sensitive", "AdjacencyTest=algebraic_test\n",
       [](const Options& o) { EXPECT_EQ(o.mAdjacencyTest, COMBINATIONAL_TEST); }},
      {"unknown name keeps the previous value",
       "Output format = DOUBLE_VEC\nOutput format = FLOAT\n"
       "NARROWING DEGENERATE TREE\nStrategy = BPT_MOST_COMMON_BIT_FIRST\nStrategy = X\n"
       "DataSort = MIN_SET_BITS\nDataSort = none\n",
       [](const Options& o) {
         EXPECT_EQ(o.mOutputFormat, DOUBLE_VEC);
         EXPECT_EQ(o.mDegenerateTree.mStrategy, BPT_MOST_COMMON_BIT_FIRST);
         EXPECT_EQ(o.mDegenerateTree.mDataSort, MIN_SET_BITS);
       }},
      {"keys of the other kind of section are ignored",
       "Strategy = BINARY_STATIC_VANTAGE_POINT\nVERIFICATION TREE\nOutput format = DOUBLE_VEC\n",
       [](const Options& o) {
         expectDefaultTree(o.mDegenerateTree);
         expectDefaultTree(o.mVerificationTree);
         EXPECT_EQ(o.mOutputFormat, INTEGER_VEC);
       }},
      {"every tree key in every section",
       "NARROWING DEGENERATE TREE\n"
       "Strategy = BINARY_DYNAMIC_VANTAGE_POINT\nMaxTreeDepth = 70000\nLeafCapacity = 7\n"
       "DataSort = MAX_BIT_FREQUENCY\nBitsPerSplit = 3\nDynamicNarrowingFactor = 2.25\n"
       "DynamicBalanceFactor = -0.5\nVantagePointPopulation = 9\n"
       "VantagePointDistanceCoefficient = 1e-3\nUniqueVantagePoint = 1\n"
       "NARROWING NONDEGENERATE TREE\nLeafCapacity = 8\n"
       "VERIFICATION TREE\nLeafCapacity = 9\n"
       "GENERAL\nPlot file = p.plt\n",
       [](const Options& o) {
         const TreeOptions& t = o.mDegenerateTree;
         EXPECT_EQ(t.mStrategy, BINARY_DYNAMIC_VANTAGE_POINT);
         EXPECT_EQ(t.mMaxTreeDepth, 70000u);
         EXPECT_EQ(t.mLeafCapacity, 7u);
         EXPECT_EQ(t.mDataSort, MAX_BIT_FREQUENCY);
         EXPECT_EQ(t.mBitsPerSplit, 3u);
         EXPECT_DOUBLE_EQ(t.mDynamicNarrowingFactor, 2.25);
         EXPECT_DOUBLE_EQ(t.mDynamicBalanceFactor, -0.5);
         EXPECT_EQ(t.mVantagePointPopulation, 9u);
         EXPECT_DOUBLE_EQ(t.mVantagePointDistanceCoefficient, 1e-3);
         EXPECT_TRUE(t.mUniqueVantagePoint);
         EXPECT_EQ(o.mNondegenerateTree.mLeafCapacity, 8u);
         EXPECT_EQ(o.mVerificationTree.mLeafCapacity, 9u);
         EXPECT_EQ(o.mPlotFile, "p.plt");
       }},
      {"CR-LF line ends",
       "AdjacencyTest = ALGEBRAIC_TEST\r\nVERIFICATION TREE\r\nLeafCapacity = 5\r\n",
       [](const Options& o) {
         EXPECT_EQ(o.mAdjacencyTest, ALGEBRAIC_TEST);
         EXPECT_EQ(o.mVerificationTree.mLeafCapacity, 5u);
       }},
      {"section titles with blanks and comments; wrong case does not select",
       "  VERIFICATION TREE   # the third tree\nLeafCapacity = 5\n"
       "verification tree\nLeafCapacity = 6\n",
       [](const Options& o) { EXPECT_EQ(o.mVerificationTree.mLeafCapacity, 6u); }},
      {"missing values keep the default",
       "NARROWING DEGENERATE TREE\nLeafCapacity =\nLeafCapacity\nMaxTreeDepth = # none\n",
       [](const Options& o) {
         EXPECT_EQ(o.mDegenerateTree.mLeafCapacity, 20u);
         EXPECT_EQ(o.mDegenerateTree.mMaxTreeDepth, 15u);
       }},
      {"unparsable number gives 0", "NARROWING DEGENERATE TREE\nLeafCapacity = ten\n",
       [](const Options& o) { EXPECT_EQ(o.mDegenerateTree.mLeafCapacity, 0u); }},
      {"later value wins; sections may repeat",
       "NARROWING NONDEGENERATE TREE\nMaxTreeDepth = 3\nGENERAL\n"
       "NARROWING NONDEGENERATE TREE\nMaxTreeDepth = 4\n",
       [](const Options& o) { EXPECT_EQ(o.mNondegenerateTree.mMaxTreeDepth, 4u); }},
      {"unknown keys and comment lines", "# Strategy = X\nFoo = bar\n  # only a comment\n\n=\n",
       [](const Options& o) { expectDefaults(o); }},
      {"last line without newline", "Plot file = last.plt",
       [](const Options& o) { EXPECT_EQ(o.mPlotFile, "last.plt"); }},
  };
  int index = 0;
  for (const ConfigCase& c : cases) {
    SCOPED_TRACE(c.name);
    Options options;
    const std::string path = writeConfig("case" + std::to_string(index++) + ".conf", c.content);
    ASSERT_TRUE(options.readSettingsFile(path.c_str()));
    std::remove(path.c_str());
    c.check(options);
  }
}

TEST(OptionsTest, WriteValueUnsigned) {
  const struct {
    const char* text;
    unsigned long expected;
  } cases[] = {
      {"15", 15}, {"15abc", 15},     {"  42", 42},
      {"+7", 7},  {"-1", ULONG_MAX}, {"ten", 0},
      {"", 0},    {"1.9", 1},        {"99999999999999999999999", ULONG_MAX},
  };
  for (const auto& c : cases) {
    unsigned long value = 12345;
    Options::write_value(c.text, value);
    EXPECT_EQ(value, c.expected) << "'" << c.text << "'";
  }
}

TEST(OptionsTest, WriteValueDouble) {
  const struct {
    const char* text;
    double expected;
  } cases[] = {
      {"1.5", 1.5}, {"1.5x", 1.5}, {"-2e3", -2000.0}, {".25", 0.25}, {"abc", 0.0}, {"7", 7.0},
  };
  for (const auto& c : cases) {
    double value = 123.0;
    Options::write_value(c.text, value);
    EXPECT_DOUBLE_EQ(value, c.expected) << "'" << c.text << "'";
  }
}

TEST(OptionsTest, WriteValueFlag) {
  const struct {
    const char* text;
    bool expected;
  } cases[] = {
      {"1", true}, {"0", false}, {"7", true}, {"-1", true}, {"yes", false}, {"true", false},
  };
  for (const auto& c : cases) {
    bool value = !c.expected;
    Options::write_value(c.text, value);
    EXPECT_EQ(value, c.expected) << "'" << c.text << "'";
  }
}
