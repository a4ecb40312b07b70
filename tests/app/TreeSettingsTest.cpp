#include "TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

using namespace double_description;

namespace {

const std::string CONES_DIR = REDIVEZ_CONES_DIR;

const char* const SECTIONS[] = {"VERIFICATION TREE", "NARROWING DEGENERATE TREE",
                                "NARROWING NONDEGENERATE TREE"};
const unsigned long CAPACITIES[] = {0, 1, 65535};
const unsigned long DEPTHS[] = {0, 1, 65535};

bool vantagePoint(std::string_view strategy) {
  return strategy == "BINARY_DYNAMIC_VANTAGE_POINT" || strategy == "BINARY_STATIC_VANTAGE_POINT";
}

// A vantage-point split may send a whole set to one bucket, so with room for
// at most one reference per leaf the tree goes down to the depth limit: the
// deep cases take seconds each.
bool deepCase(std::string_view strategy, unsigned long depth, unsigned long capacity) {
  return vantagePoint(strategy) && depth == 65535 && capacity <= 1;
}

// The reference rays of a cone, sorted: from the shared cones where present,
// else from the project's copy of the public-domain ones.
std::vector<std::string> referenceRays(const std::string& name, std::string& matrix) {
  if (name == "cross_3") {
    matrix = readFile(std::string(REDIVEZ_TEST_DATA_DIR) + "/cross_3.txt");
    return {"1 -1 0 0", "1 0 -1 0", "1 0 0 -1", "1 0 0 1", "1 0 1 0", "1 1 0 0"};
  }
  const std::string cones = access((CONES_DIR + "/" + name + ".rays").c_str(), R_OK) == 0
                                ? CONES_DIR
                                : std::string(REDIVEZ_TEST_DATA_DIR) + "/cones";
  matrix = readFile(cones + "/" + name + ".txt");
  std::vector<std::string> rays = linesOf(readFile(cones + "/" + name + ".rays"));
  std::sort(rays.begin(), rays.end());
  return rays;
}

// The result rays of a finished run, sorted as the references are.
std::vector<std::string> foundRays(const std::string& dir) {
  std::vector<std::string> rays;
  for (const std::string& line : resultLines(dir + "/cone.txt.out"))
    rays.push_back(line.substr(0, line.size() - 1));
  std::sort(rays.begin(), rays.end());
  return rays;
}

std::string treeSettings(const char* section, std::string_view strategy, unsigned long depth,
                         unsigned long capacity) {
  return std::string(section) + "\nStrategy = " + std::string(strategy) +
         "\nMaxTreeDepth = " + std::to_string(depth) +
         "\nLeafCapacity = " + std::to_string(capacity) + "\n";
}

// Runs the cone with each setting of one tree that takes picks, and checks
// that every run ends with the reference rays.
template <class Pick>
void expectReferenceRays(const std::string& cone, const char* section, Pick&& picks) {
  std::string matrix;
  const std::vector<std::string> reference = referenceRays(cone, matrix);
  ASSERT_FALSE(matrix.empty()) << cone;
  const std::string dir = tempDir("run");
  for (std::string_view strategy : BPT_CreationStrategyNames)
    for (unsigned long depth : DEPTHS)
      for (unsigned long capacity : CAPACITIES) {
        if (!picks(strategy, depth, capacity))
          continue;
        const std::string settings = treeSettings(section, strategy, depth, capacity);
        SCOPED_TRACE(settings);
        const Outcome outcome = runIn(dir, matrix, settings);
        ASSERT_EQ(outcome.status, 0) << outcome.output;
        EXPECT_EQ(foundRays(dir), reference);
      }
}

using ConeAndTree = std::tuple<const char*, const char*>;
using ConeTreeAndStrategy = std::tuple<const char*, const char*, const char*>;

// The parameters joined by underscores, blanks as underscores too.
template <class Tuple> std::string caseName(const ::testing::TestParamInfo<Tuple>& info) {
  std::string name;
  std::apply([&](auto... part) { ((name += std::string(name.empty() ? "" : "_") + part), ...); },
             info.param);
  std::replace(name.begin(), name.end(), ' ', '_');
  return name;
}

void expectReferenceRaysBelowTheDeepCases(const char* cone, const char* section) {
  expectReferenceRays(cone, section,
                      [](std::string_view strategy, unsigned long depth, unsigned long capacity) {
                        return !deepCase(strategy, depth, capacity);
                      });
}

// The sanitizer run keeps the smallest cone; the slow-labelled suites, left
// out of it, take larger ones and the deep vantage-point cases, one strategy
// each.
class TreeSettingsTest : public ::testing::TestWithParam<ConeAndTree> {};
class SlowTreeSettingsTest : public ::testing::TestWithParam<ConeAndTree> {};
class SlowDeepTreeSettingsTest : public ::testing::TestWithParam<ConeTreeAndStrategy> {};

} // namespace

TEST_P(TreeSettingsTest, EverySettingFindsTheReferenceRays) {
  expectReferenceRaysBelowTheDeepCases(std::get<0>(GetParam()), std::get<1>(GetParam()));
}

TEST_P(SlowTreeSettingsTest, EverySettingFindsTheReferenceRays) {
  expectReferenceRaysBelowTheDeepCases(std::get<0>(GetParam()), std::get<1>(GetParam()));
}

TEST_P(SlowDeepTreeSettingsTest, VantagePointTreesDownToTheDepthLimitFindTheReferenceRays) {
  const auto [cone, section, only] = GetParam();
  expectReferenceRays(cone, section,
                      [only = std::string_view(only)](std::string_view strategy,
                                                      unsigned long depth, unsigned long capacity) {
                        return strategy == only && deepCase(strategy, depth, capacity);
                      });
}

INSTANTIATE_TEST_SUITE_P(Cones, TreeSettingsTest,
                         ::testing::Combine(::testing::Values("cross_3"),
                                            ::testing::ValuesIn(SECTIONS)),
                         caseName<ConeAndTree>);
INSTANTIATE_TEST_SUITE_P(Cones, SlowTreeSettingsTest,
                         ::testing::Combine(::testing::Values("cross_6", "metcone_5"),
                                            ::testing::ValuesIn(SECTIONS)),
                         caseName<ConeAndTree>);
INSTANTIATE_TEST_SUITE_P(Cones, SlowDeepTreeSettingsTest,
                         ::testing::Combine(::testing::Values("cross_3", "cross_6", "metcone_5"),
                                            ::testing::ValuesIn(SECTIONS),
                                            ::testing::Values("BINARY_DYNAMIC_VANTAGE_POINT",
                                                              "BINARY_STATIC_VANTAGE_POINT")),
                         caseName<ConeTreeAndStrategy>);

// Deep trees are built and searched without recursion: a run whose trees go
// 20,000 levels down needs no more stack than one with shallow trees.
TEST(DeepTreeStack, RunWithSmallStackFindsTheReferenceRays) {
  std::string matrix;
  const std::vector<std::string> reference = referenceRays("cross_3", matrix);
  const std::string dir = tempDir("run");
  std::ofstream(dir + "/cone.txt") << matrix;
  std::ofstream(dir + "/run.conf")
      << treeSettings("VERIFICATION TREE", "BINARY_DYNAMIC_VANTAGE_POINT", 20000, 0)
      << treeSettings("NARROWING DEGENERATE TREE", "BINARY_STATIC_VANTAGE_POINT", 20000, 0);
  const std::string out = tempPath("output.txt");
  const int raw = std::system(("cd '" + dir + "' && ulimit -s 1024 && '" + REDIVEZ_BINARY +
                               "' cone.txt run.conf > '" + out + "' 2>&1")
                                  .c_str());
  ASSERT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0) << raw << readFile(out);
  EXPECT_EQ(foundRays(dir), reference);
}
