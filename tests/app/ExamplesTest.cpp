// The files under examples/, run as the README shows them.
#include "TestFiles.h"
#include "settings/DDTextUtils.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

using namespace double_description;

namespace {

const std::string DATA_DIR = REDIVEZ_TEST_DATA_DIR;
const std::string EXAMPLES = DATA_DIR + "/../../examples";

const std::string CUBE_RAYS = "Extreme rays:\n"
                              "1 1 1 -1 \n"
                              "1 1 1 1 \n"
                              "1 1 -1 -1 \n"
                              "1 1 -1 1 \n"
                              "1 -1 1 -1 \n"
                              "1 -1 1 1 \n"
                              "1 -1 -1 -1 \n"
                              "1 -1 -1 1 \n";

} // namespace

TEST(ExamplesTest, SettingsFileOnTheCube) {
  const std::string dir = tempDir("run");
  for (const char* name : {"cube_3.txt", "settings.conf"})
    std::ofstream(dir + "/" + name) << readFile(EXAMPLES + "/" + name);
  const Outcome outcome = runBinary("cube_3.txt settings.conf", dir);
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(masked(outcome.output), readFile(DATA_DIR + "/cube_3_settings.console"));
  EXPECT_EQ(readFile(dir + "/cube_3.txt.out"), CUBE_RAYS);
}

// A key or value name the reader does not know, or a key in the wrong kind
// of section, is ignored without a message; the example must hold none.
TEST(ExamplesTest, SettingsFileHoldsOnlyKeysOfItsSections) {
  const std::set<std::string> titles = {"NARROWING DEGENERATE TREE", "NARROWING NONDEGENERATE TREE",
                                        "VERIFICATION TREE"};
  const std::set<std::string> generalKeys = {"AdjacencyTest", "Output format", "Plot file"};
  const std::set<std::string> treeKeys = {"Strategy",
                                          "MaxTreeDepth",
                                          "LeafCapacity",
                                          "DataSort",
                                          "BitsPerSplit",
                                          "DynamicNarrowingFactor",
                                          "DynamicBalanceFactor",
                                          "VantagePointPopulation",
                                          "VantagePointDistanceCoefficient",
                                          "UniqueVantagePoint"};
  const std::map<std::string, std::vector<std::string_view>> names = {
      {"AdjacencyTest", {AdjacencyTestNames.begin(), AdjacencyTestNames.end()}},
      {"Output format", {OutputFormatNames.begin(), OutputFormatNames.end()}},
      {"Strategy", {BPT_CreationStrategyNames.begin(), BPT_CreationStrategyNames.end()}},
      {"DataSort", {SortTypeNames.begin(), SortTypeNames.end()}}};
  const std::set<std::string>* keys = &generalKeys;
  for (std::string line : linesOf(readFile(EXAMPLES + "/settings.conf"))) {
    line = trim(line.substr(0, line.find('#')));
    if (line.empty())
      continue;
    if (line == "GENERAL" || titles.count(line) != 0) {
      keys = line == "GENERAL" ? &generalKeys : &treeKeys;
      continue;
    }
    const std::size_t equals = line.find('=');
    ASSERT_NE(equals, std::string::npos) << line;
    const std::string key = trim(line.substr(0, equals));
    EXPECT_EQ(keys->count(key), 1u) << line;
    const auto table = names.find(key);
    if (table != names.end()) {
      const std::string value = trim(line.substr(equals + 1));
      EXPECT_NE(std::find(table->second.begin(), table->second.end(), value), table->second.end())
          << line;
    }
  }
}
