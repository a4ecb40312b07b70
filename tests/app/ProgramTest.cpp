#include "app/dd_classic.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

using namespace double_description;

namespace {

const std::string USAGE = "Usage: redivez MATRIX_FILE [CONFIGURATION_FILE]\n";
const std::string CONFIG_ERROR =
    "Error: The configuration file either doesn't exist or is corrupt!\n";
const std::string COMPUTATION_BOX = std::string(83, '-') + "\n|" + std::string(34, ' ') +
                                    "COMPUTATION" + std::string(36, ' ') + "|\n" +
                                    std::string(83, '-') + "\n";

std::string banner() {
  const std::string stars(83, '*');
  const std::string blankLine = "*" + std::string(81, ' ') + "*\n";
  return stars + "\n* Redivez" + std::string(73, ' ') + "*\n" + blankLine + blankLine + stars +
         "\n\n";
}

const char* const SQUARE = "begin\n4 2 integer\n1 1\n1 -1\n1 0\n2 1\nend\n";

std::size_t lineCount(const std::string& text) {
  std::size_t count = 0;
  for (char ch : text)
    count += ch == '\n';
  return count;
}

} // namespace

TEST(ProgramTest, HelpRequestsAndMissingArgument) {
  const std::string config = writeFile("plain.conf", "");
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"-h"},
      {"-hx", config},
      {"-h.txt"},
      {"--help", config},
      {"--helpme"},
      {"-helpful", "/nonexistent.conf"},
  };
  for (const auto& args : cases) {
    const Outcome outcome = runInProcess(args);
    EXPECT_EQ(outcome.status, 255) << (args.empty() ? "" : args[0]);
    EXPECT_EQ(outcome.output, banner() + USAGE) << (args.empty() ? "" : args[0]);
  }
}

TEST(ProgramTest, NearHelpArgumentsAreMatrixFiles) {
  for (const char* name : {"--hel", "-", "-x"}) {
    ::testing::internal::CaptureStdout();
    const char* argv[] = {"redivez", name};
    EXPECT_THROW(classicMain(2, argv), InputError) << name;
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), banner()) << name;
    delete Options::mCurrent;
  }
}

TEST(ProgramTest, UnreadableConfigurationFile) {
  const std::string matrix = writeFile("square.txt", SQUARE);
  const Outcome outcome = runInProcess({matrix, "/nonexistent/redivez.conf"});
  EXPECT_EQ(outcome.status, 255);
  EXPECT_EQ(outcome.output, banner() + CONFIG_ERROR);
}

TEST(ProgramTest, RunPrintsEchoAndComputationBox) {
  const std::string matrix = writeFile("square.txt", SQUARE);
  const struct {
    const char* config;
    std::size_t echoLines;
  } cases[] = {
      {nullptr, 26},
      {"AdjacencyTest = ALGEBRAIC_TEST\n", 19},
      {"NARROWING DEGENERATE TREE\nStrategy = BINARY_DYNAMIC_VANTAGE_POINT\n", 27},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {matrix};
    Options expected;
    if (c.config != nullptr) {
      args.push_back(writeFile("run.conf", c.config));
      ASSERT_TRUE(expected.readSettingsFile(args.back().c_str()));
    }
    const std::string echo = expected.toString();
    EXPECT_EQ(lineCount(echo), c.echoLines);
    const Outcome outcome = runInProcess(args);
    EXPECT_EQ(outcome.status, 0);
    const std::string head = banner() + echo + "\n" + COMPUTATION_BOX + "[1/2] ";
    EXPECT_EQ(outcome.output.substr(0, head.size()), head);
    EXPECT_EQ(Options::mCurrent, nullptr);
  }
}

TEST(ProgramTest, ExtraArgumentsAreIgnored) {
  const std::string matrix = writeFile("square.txt", SQUARE);
  const std::string config = writeFile("extra.conf", "AdjacencyTest = ALGEBRAIC_TEST\n");
  const Outcome outcome = runInProcess({matrix, config, "/nonexistent", "more"});
  EXPECT_EQ(outcome.status, 0);
  EXPECT_NE(outcome.output.find(" -> AdjacencyTest = ALGEBRAIC_TEST\n"), std::string::npos);
}

TEST(ProgramBinaryTest, ExitStatusesAndMessages) {
  const std::string matrix = writeFile("square.txt", SQUARE);
  const std::string badEntry = writeFile("bad.txt", "begin\n2 2 integer 1 0 0 x end\n");
  const std::string zeroDen = writeFile("zero.txt", "begin\n1 1 rational 1/0 end\n");
  const std::string noBasis = writeFile("flat.txt", "begin\n3 2 integer 1 0 2 0 3 0 end\n");
  const std::string config = writeFile("binary.conf", "");
  const struct {
    std::string args;
    int status;
    std::string after;
  } cases[] = {
      {"", 255, USAGE},
      {"--help " + matrix, 255, USAGE},
      {matrix + " /nonexistent/redivez.conf", 255, CONFIG_ERROR},
      {"/nonexistent/matrix.txt", 255, "Can not open file!\n"},
      {"/nonexistent/matrix.txt " + config, 255, "Can not open file!\n"},
      {badEntry, 255, "mpz_set_str: 'x' in row 2, column 2 is not a valid integer.\n"},
      {zeroDen, 255, "mpq_set_str: '1/0' in row 1, column 1 has the denominator zero.\n"},
      {noBasis, 255, "Cannot extract a base with rank 2\n"},
  };
  for (const auto& c : cases) {
    const Outcome outcome = runBinary(c.args);
    EXPECT_EQ(outcome.status, c.status) << c.args;
    EXPECT_EQ(outcome.output, banner() + c.after) << c.args;
  }
  for (const std::string& failed : {badEntry, zeroDen, noBasis})
    EXPECT_NE(access((failed + ".out").c_str(), F_OK), 0) << failed;
}

TEST(ProgramBinaryTest, EveryAdjacencyTestWritesTheSameRays) {
  const std::string matrix = writeFile("square.txt", SQUARE);
  std::vector<std::string> results;
  for (const char* test : {"COMBINATIONAL_TEST", "ALGEBRAIC_TEST", "PARTITIONED_SETS_TEST"}) {
    const std::string config =
        writeFile("test.conf", std::string("AdjacencyTest = ") + test + "\n");
    const Outcome outcome = runBinary(matrix + " " + config);
    EXPECT_EQ(outcome.status, 0) << test;
    EXPECT_NE(outcome.output.find(COMPUTATION_BOX + "[1/2] "), std::string::npos) << test;
    EXPECT_NE(outcome.output.find("Overall time: "), std::string::npos) << test;
    std::vector<std::string> lines;
    std::istringstream in(readFile(matrix + ".out"));
    for (std::string line; std::getline(in, line);)
      lines.push_back(line);
    std::sort(lines.begin(), lines.end());
    std::string joined;
    for (const std::string& line : lines)
      joined += line + "\n";
    results.push_back(joined);
  }
  EXPECT_EQ(results[0], "1 -1 \n1 1 \nExtreme rays:\n");
  EXPECT_EQ(results[1], results[0]);
  EXPECT_EQ(results[2], results[0]);
}
