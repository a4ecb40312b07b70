#include "TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string DATA_DIR = REDIVEZ_TEST_DATA_DIR;

std::string lastLine(const std::string& text) {
  const std::vector<std::string> lines = linesOf(text);
  return lines.empty() ? std::string() : lines.back();
}

} // namespace

TEST(RunTest, GoldenConsoleOutput) {
  const std::string dir = tempDir("golden");
  std::ofstream(dir + "/cross_3.txt") << readFile(DATA_DIR + "/cross_3.txt");
  const Outcome outcome = runBinary("cross_3.txt", dir);
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(masked(outcome.output), readFile(DATA_DIR + "/cross_3.console"));
  EXPECT_EQ(readFile(dir + "/cross_3.txt.out"), "Extreme rays:\n"
                                                "1 0 0 1 \n"
                                                "1 0 1 0 \n"
                                                "1 1 0 0 \n"
                                                "1 0 0 -1 \n"
                                                "1 -1 0 0 \n"
                                                "1 0 -1 0 \n");
}

// A cone whose narrowing trees split, with sets of exactly the leaf
// capacity among them: every figure of every step is fixed. By hand, step 1:
// three positive rays in one leaf and two negative ones that pass its mask,
// so 2 * (1 + 3) = 8 narrowing visits and elim. compl. 1 + (8 - 2 lg 3) /
// (6 - 2 lg 3) = 2.7067; the run ends with the 652 reference rays.
TEST(RunTest, GoldenConsoleOfSplittingTrees) {
  const std::string dir = tempDir("golden_split");
  std::ofstream(dir + "/rand01_dual_8_40.txt")
      << readFile(DATA_DIR + "/cones/rand01_dual_8_40.txt");
  const Outcome outcome = runBinary("rand01_dual_8_40.txt", dir);
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(masked(outcome.output), readFile(DATA_DIR + "/rand01_dual_8_40.console"));
}

TEST(RunTest, ResultFileFormats) {
  // Processing order (-1,0,0), (0,0,1), (0,1,0): the rays -e0, e2, e1.
  const std::string simplicial = "begin\n3 3 integer\n0 0 1\n-1 0 0\n0 1 0\nend\n";
  // The rays (-1,1) and (1,1): a negative first coordinate keeps its sign.
  const std::string wedge = "begin\n2 2 integer\n1 1\n-1 1\nend\n";
  // Zero coordinates beside nonzero ones, where a floating-point solve leaves noise.
  const std::string orthant = "begin\n4 4 integer\n1 0 0 0\n0 1 0 0\n0 0 1 0\n1 1 1 1\nend\n";
  const std::string beyond63 =
      "begin\n3 2 integer\n1 1\n12157665459056928801 12157665459056928801\n1 0\nend\n";
  // The ray (3, 10^31): a quotient far beyond machine integers.
  const std::string steep = "begin\n2 2 integer\n0 1\n10000000000000000000000000000000 -3\nend\n";
  const std::string flat = "begin\n2 2 integer\n1 0\n-1 1000000000000000000000000000000\nend\n";
  const std::string rational = "begin\n2 2 rational\n1/2 0\n-1/3 1/7\nend\n";
  const std::string zeros61(61, '0');
  const struct {
    const char* name;
    const std::string& matrix;
    const char* format;
    std::vector<std::string> lines;
  } cases[] = {
      {"integer", simplicial, "INTEGER_VEC", {"-1 0 0 ", "0 0 1 ", "0 1 0 "}},
      {"active set", simplicial, "ACTIVE_SET", {"011" + zeros61, "101" + zeros61, "110" + zeros61}},
      {"double", simplicial, "DOUBLE_VEC", {"-1 0 0 ", "0 0 1 ", "0 1 0 "}},
      {"integer, negative first coordinate", wedge, "INTEGER_VEC", {"-1 1 ", "1 1 "}},
      {"double, negative first coordinate", wedge, "DOUBLE_VEC", {"-1 1 ", "1 1 "}},
      {"double, exact zeros",
       orthant,
       "DOUBLE_VEC",
       {"0 0 1 -1 ", "0 1 0 -1 ", "1 0 0 -1 ", "0 0 0 1 "}},
      {"double, entries beyond 2^63", beyond63, "DOUBLE_VEC", {"1 -1 ", "0 1 "}},
      {"integer, large ratio",
       steep,
       "INTEGER_VEC",
       {"3 10000000000000000000000000000000 ", "1 0 "}},
      {"double, large ratio", steep, "DOUBLE_VEC", {"1 3.33333e+30 ", "1 0 "}},
      {"double, small ratio", flat, "DOUBLE_VEC", {"0 1 ", "1 1e-30 "}},
      {"integer, rational input", rational, "INTEGER_VEC", {"0 1 ", "3 7 "}},
      {"double, rational input", rational, "DOUBLE_VEC", {"0 1 ", "1 2.33333 "}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string dir = tempDir("formats");
    std::ofstream(dir + "/cone.txt.out") << "an older result that must go\n";
    const Outcome outcome = runIn(dir, c.matrix, std::string("Output format = ") + c.format);
    EXPECT_EQ(outcome.status, 0);
    std::vector<std::string> expected = c.lines;
    expected.insert(expected.begin(), "Extreme rays:");
    EXPECT_EQ(linesOf(readFile(dir + "/cone.txt.out")), expected);
  }
}

TEST(RunTest, ActiveSetLinesFillWholeWords) {
  for (unsigned rows : {3u, 64u, 65u}) {
    std::string matrix = "begin\n" + std::to_string(rows) + " 2 integer\n1 0\n0 1\n";
    for (unsigned r = 2; r < rows; ++r)
      matrix += "1 1\n";
    const std::string dir = tempDir("words");
    ASSERT_EQ(runIn(dir, matrix + "end\n", "Output format = ACTIVE_SET").status, 0);
    const std::vector<std::string> lines = linesOf(readFile(dir + "/cone.txt.out"));
    ASSERT_EQ(lines.size(), 3u) << rows;
    for (std::size_t i = 1; i < lines.size(); ++i)
      EXPECT_EQ(lines[i].size(), rows <= 64 ? 64u : 128u) << rows;
  }
}

TEST(RunTest, PlotFiles) {
  const std::string cross = readFile(DATA_DIR + "/cross_3.txt");
  const std::string plotLines = "0 3 0 0\n1 3 0 0\n2 3.41339 1.83333 3.5\n3 2.7067 0 0\n";

  {
    SCOPED_TRACE("plotting on");
    const std::string dir = tempDir("plot_on");
    std::ofstream(dir + "/ver_bit_distribution.plt") << "old";
    std::ofstream(dir + "/complexity.plt") << "old";
    const Outcome outcome = runIn(dir, cross, "Plot file = complexity.plt");
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(readFile(dir + "/complexity.plt"), plotLines);
    EXPECT_EQ(readFile(dir + "/ver_bit_distribution.plt"), "");
    EXPECT_NE(outcome.output.find(" -> Plot file = complexity.plt\n"), std::string::npos);
  }
  {
    SCOPED_TRACE("don't plot");
    const std::string dir = tempDir("plot_off");
    std::ofstream(dir + "/ver_bit_distribution.plt") << "keep";
    EXPECT_EQ(runIn(dir, cross, "Plot file = Don't plot").status, 0);
    EXPECT_EQ(readFile(dir + "/ver_bit_distribution.plt"), "keep");
  }
  {
    SCOPED_TRACE("both plots name one file");
    const std::string dir = tempDir("plot_same");
    EXPECT_EQ(runIn(dir, cross, "Plot file = ./ver_bit_distribution.plt").status, 0);
    EXPECT_EQ(readFile(dir + "/ver_bit_distribution.plt"), plotLines);
  }
  {
    SCOPED_TRACE("unwritable plot file");
    const std::string dir = tempDir("plot_bad");
    const Outcome outcome = runIn(dir, cross, "Plot file = missing/complexity.plt");
    EXPECT_EQ(outcome.status, 255);
    EXPECT_NE(outcome.output.find("\nError: The file 'missing/complexity.plt' could not be "
                                  "written!\nNarrowing and verification time: "),
              std::string::npos);
    EXPECT_EQ(readFile(dir + "/ver_bit_distribution.plt"), "");
    EXPECT_EQ(linesOf(readFile(dir + "/cone.txt.out")).size(), 7u);
  }
}

// The program's own files alone are bound by the limits: its console goes
// through a pipe.
Outcome runLimited(const std::string& dir, const std::string& args, const std::string& limits) {
  const std::string out = tempPath("limited_output.txt");
  const std::string status = tempPath("limited_status");
  const std::string command = "cd '" + dir + "' && (" + limits + "; '" + REDIVEZ_BINARY + "' " +
                              args + "; echo $? > '" + status + "') 2>&1 | cat > '" + out + "'";
  std::system(command.c_str());
  return {std::stoi(readFile(status)), readFile(out)};
}

// A result file that cannot be written ends the run with the error line and
// status 255, and leaves the directory as it was: an earlier result whole,
// no part of the new one, no temporary file.
TEST(RunTest, UnwritableResultFile) {
  const std::string cross = readFile(DATA_DIR + "/cross_3.txt");
  const std::string earlier = "Extreme rays:\n1 2 3 4 \n";
  // Its result name is one character too long for the file system.
  const std::string longName(252, 'm');
  enum class Before { Nothing, Result, Directory };
  const struct {
    const char* name;
    std::string matrixName;
    std::string matrix;
    std::string limits;
    Before before;
  } cases[] = {
      {"a directory stands in the way", "cone.txt", cross, "true", Before::Directory},
      // Writes past the limit fail like writes to a full disk.
      {"the file size limit is reached", "cone.txt", cubeMatrix(8), "trap '' XFSZ; ulimit -f 2",
       Before::Result},
      {"the result name is too long", longName, cross, "true", Before::Nothing},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string dir = tempDir("unwritable");
    const std::string result = c.matrixName + ".out";
    std::ofstream(dir + "/" + c.matrixName) << c.matrix;
    if (c.before == Before::Result)
      std::ofstream(dir + "/" + result) << earlier;
    if (c.before == Before::Directory)
      mkdir((dir + "/" + result).c_str(), 0755);
    const std::set<std::string> entries = entriesOf(dir);

    const Outcome outcome = runLimited(dir, c.matrixName, c.limits);
    EXPECT_EQ(outcome.status, 255);
    const std::vector<std::string> lines = linesOf(outcome.output);
    ASSERT_GE(lines.size(), 3u) << outcome.output;
    EXPECT_EQ(lines[lines.size() - 3], "Error: The file '" + result + "' could not be written!");
    EXPECT_EQ(masked(lastLine(outcome.output)), "Overall time: #ms");
    EXPECT_EQ(entriesOf(dir), entries);
    if (c.before == Before::Result) {
      EXPECT_EQ(readFile(dir + "/" + result), earlier);
    }
    if (c.before == Before::Directory) {
      EXPECT_TRUE(std::filesystem::is_directory(dir + "/" + result));
    }
  }
}
