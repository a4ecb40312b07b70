#include "settings/DDOptions.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using namespace double_description;

namespace {

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line))
    result.push_back(line);
  return result;
}

const std::string DASHES(83, '-');

} // namespace

TEST(SettingsEchoTest, CaptionBlocksAreCentredIn83Columns) {
  const struct {
    const char* title;
    std::size_t before;
    std::size_t after;
  } cases[] = {
      {"GENERAL SETTINGS", 32, 33},
      {"NARROWING DEGENERATE TREE", 28, 28},
      {"NARROWING NONDEGENERATE TREE", 26, 27},
      {"VERIFICATION TREE", 32, 32},
      {"", 40, 41},
  };
  for (const auto& c : cases) {
    const std::string expected = DASHES + "\n|" + std::string(c.before, ' ') + c.title +
                                 std::string(c.after, ' ') + "|\n" + DASHES;
    EXPECT_EQ(Options::getCaptionBlock(c.title), expected) << c.title;
  }
}

TEST(SettingsEchoTest, DefaultEcho) {
  auto caption = [](const std::string& title) { return Options::getCaptionBlock(title) + "\n"; };
  const std::string tree = " -> Strategy = BPT_FIRST_AVAILABLE_BIT\n"
                           " -> MaxTreeDepth = 15\n"
                           " -> LeafCapacity = 20\n"
                           " -> DataSort = NONE\n";
  const std::string expected = caption("GENERAL SETTINGS") +
                               " -> AdjacencyTest = COMBINATIONAL_TEST\n"
                               " -> Plot file = Don't plot\n" +
                               caption("NARROWING DEGENERATE TREE") + tree +
                               caption("NARROWING NONDEGENERATE TREE") + tree +
                               caption("VERIFICATION TREE") + tree;
  Options options;
  const std::string echo = options.toString();
  EXPECT_EQ(echo, expected);
  EXPECT_EQ(lines(echo).size(), 26u);
}

TEST(SettingsEchoTest, VerificationTreeOnlyForCombinationalTest) {
  for (AdjacencyTest test : {ALGEBRAIC_TEST, PARTITIONED_SETS_TEST}) {
    Options options;
    options.mAdjacencyTest = test;
    const std::string echo = options.toString();
    EXPECT_EQ(lines(echo).size(), 19u);
    EXPECT_EQ(echo.find("VERIFICATION TREE"), std::string::npos);
    EXPECT_NE(echo.find(" -> AdjacencyTest = " + std::string(AdjacencyTestNames[test]) + "\n"),
              std::string::npos);
    EXPECT_EQ(echo.back(), '\n');
  }
}

TEST(SettingsEchoTest, TreeLines) {
  TreeOptions tree;
  tree.mMaxTreeDepth = 70000;
  tree.mDataSort = MIN_SET_BITS_LEX;
  tree.mStrategy = BINARY_STATIC_VANTAGE_POINT;
  EXPECT_EQ(tree.toString(), " -> Strategy = BINARY_STATIC_VANTAGE_POINT\n"
                             " -> MaxTreeDepth = 70000\n"
                             " -> LeafCapacity = 20\n"
                             " -> DataSort = MIN_SET_BITS_LEX");

  tree.mStrategy = BINARY_DYNAMIC_VANTAGE_POINT;
  EXPECT_EQ(lines(tree.toString()).back(), " -> UniqueVantagePoint = 0");
  tree.mUniqueVantagePoint = true;
  EXPECT_EQ(lines(tree.toString()).back(), " -> UniqueVantagePoint = 1");
}

TEST(SettingsEchoTest, OutputFormatIsNotShown) {
  Options plain;
  Options changed;
  changed.mOutputFormat = ACTIVE_SET;
  changed.mDegenerateTree.mBitsPerSplit = 4;
  changed.mDegenerateTree.mDynamicNarrowingFactor = 9.0;
  EXPECT_EQ(plain.toString(), changed.toString());
}

// Tree counts are read as 64-bit values, and the echo shows what was read:
// nothing cut to 16 or 32 bits, overflow and negatives as the reader takes them.
TEST(SettingsEchoTest, WideTreeValuesFromTheFile) {
  const std::string path =
      ::testing::TempDir() + "redivez_wide_tree_values_" + std::to_string(getpid()) + ".conf";
  std::ofstream(path) << "NARROWING DEGENERATE TREE\n"
                         "MaxTreeDepth = 65536\n"
                         "LeafCapacity = 4294967297\n"
                         "NARROWING NONDEGENERATE TREE\n"
                         "MaxTreeDepth = 18446744073709551615\n"
                         "LeafCapacity = 99999999999999999999999\n"
                         "VERIFICATION TREE\n"
                         "MaxTreeDepth = -1\n"
                         "LeafCapacity = 1099511627776\n";
  Options options;
  ASSERT_TRUE(options.readSettingsFile(path.c_str()));
  std::remove(path.c_str());
  auto tree = [](const char* depth, const char* capacity) {
    return std::string(" -> Strategy = BPT_FIRST_AVAILABLE_BIT\n -> MaxTreeDepth = ") + depth +
           "\n -> LeafCapacity = " + capacity + "\n -> DataSort = NONE\n";
  };
  const std::string max = "18446744073709551615";
  EXPECT_EQ(options.toString(),
            Options::getCaptionBlock("GENERAL SETTINGS") +
                "\n -> AdjacencyTest = COMBINATIONAL_TEST\n -> Plot file = Don't plot\n" +
                Options::getCaptionBlock("NARROWING DEGENERATE TREE") + "\n" +
                tree("65536", "4294967297") +
                Options::getCaptionBlock("NARROWING NONDEGENERATE TREE") + "\n" +
                tree(max.c_str(), max.c_str()) + Options::getCaptionBlock("VERIFICATION TREE") +
                "\n" + tree(max.c_str(), "1099511627776"));
}
