#include "TestFiles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string DATA_DIR = REDIVEZ_TEST_DATA_DIR;

std::string masked(const std::string& console) {
  static const std::regex milliseconds("(dt=|time: )[0-9]+ms");
  return std::regex_replace(console, milliseconds, "$1#ms");
}

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

TEST(RunTest, ResultFileFormats) {
  // Processing order (-1,0,0), (0,0,1), (0,1,0): the rays -e0, e2, e1.
  const std::string simplicial = "begin\n3 3 integer\n0 0 1\n-1 0 0\n0 1 0\nend\n";
  // The rays (-1,1) and (1,1): a negative first coordinate keeps its sign.
  const std::string wedge = "begin\n2 2 integer\n1 1\n-1 1\nend\n";
  const std::string zeros61(61, '0');
  const struct {
    const char* name;
    const std::string& matrix;
    const char* format;
    std::vector<std::string> lines;
  } cases[] = {
      {"integer", simplicial, "INTEGER_VEC", {"-1 0 0 ", "0 0 1 ", "0 1 0 "}},
      {"active set", simplicial, "ACTIVE_SET", {"011" + zeros61, "101" + zeros61, "110" + zeros61}},
      {"double", simplicial, "DOUBLE_VEC", {"-1 0 0", "0 0 1", "0 1 0"}},
      {"integer, negative first coordinate", wedge, "INTEGER_VEC", {"-1 1 ", "1 1 "}},
      {"double, negative first coordinate", wedge, "DOUBLE_VEC", {"-1 1", "1 1"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string dir = tempDir("formats");
    std::ofstream(dir + "/cone.txt.out") << "an older result that must go\n";
    const Outcome outcome = runIn(dir, c.matrix, std::string("Output format = ") + c.format);
    EXPECT_EQ(outcome.status, 0);
    const std::vector<std::string> lines = linesOf(readFile(dir + "/cone.txt.out"));
    ASSERT_EQ(lines.size(), c.lines.size() + 1);
    EXPECT_EQ(lines[0], "Extreme rays:");
    for (std::size_t i = 0; i < c.lines.size(); ++i) {
      if (std::string(c.format) != "DOUBLE_VEC") {
        EXPECT_EQ(lines[i + 1], c.lines[i]);
        continue;
      }
      const std::vector<double> got = numbersOf(lines[i + 1]);
      const std::vector<double> expected = numbersOf(c.lines[i]);
      ASSERT_EQ(got.size(), expected.size()) << lines[i + 1];
      for (std::size_t j = 0; j < got.size(); ++j)
        EXPECT_NEAR(got[j], expected[j], 1e-9) << lines[i + 1];
      EXPECT_EQ(lines[i + 1].back(), ' ');
    }
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

TEST(RunTest, UnwritableResultFile) {
  const std::string cross = readFile(DATA_DIR + "/cross_3.txt");
  {
    SCOPED_TRACE("a directory stands in the way");
    const std::string dir = tempDir("result_dir");
    mkdir((dir + "/cone.txt.out").c_str(), 0755);
    const Outcome outcome = runIn(dir, cross, "");
    EXPECT_EQ(outcome.status, 255);
    const std::vector<std::string> lines = linesOf(outcome.output);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[lines.size() - 3], "Error: The file 'cone.txt.out' could not be written!");
    EXPECT_EQ(masked(lastLine(outcome.output)), "Overall time: #ms");
  }
  {
    SCOPED_TRACE("the device is full");
    const std::string dir = tempDir("result_full");
    if (symlink("/dev/full", (dir + "/cone.txt.out").c_str()) != 0)
      GTEST_SKIP() << "no /dev/full link";
    const Outcome outcome = runIn(dir, cross, "");
    EXPECT_EQ(outcome.status, 255);
    EXPECT_NE(outcome.output.find("Error: The file 'cone.txt.out' could not be written!\n"),
              std::string::npos);
  }
}
