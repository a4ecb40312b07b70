// REDIVEZ_THREADS caps the threads of a run; a value that is not a positive
// integer ends the run after the banner with one line and status 255.
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>

namespace {

const std::string SQUARE = "begin\n4 2 integer\n1 1\n1 -1\n1 0\n2 1\nend\n";
const std::string ERROR_LINE = "Error: REDIVEZ_THREADS must be a positive integer!";

// The binary on matrix in a directory of its own with REDIVEZ_THREADS set
// to value, or unset for nullptr.
Outcome runWithThreads(const char* value, const std::string& dir,
                       const std::string& matrix = SQUARE) {
  std::ofstream(dir + "/m.txt") << matrix;
  if (value == nullptr)
    unsetenv("REDIVEZ_THREADS");
  else
    setenv("REDIVEZ_THREADS", value, 1);
  Outcome outcome = runBinary("m.txt", dir);
  unsetenv("REDIVEZ_THREADS");
  return outcome;
}

TEST(ThreadCountTest, ABadValueEndsTheRunAfterTheBanner) {
  const std::string banner = linesOf(runWithThreads(nullptr, tempDir("banner")).output).front();
  for (const char* value : {"0", "-1", "abc", "4x", "", " 2", "99999999999999999999"}) {
    SCOPED_TRACE(std::string("\"") + value + "\"");
    const std::string dir = tempDir("bad");
    const Outcome outcome = runWithThreads(value, dir);
    EXPECT_EQ(outcome.status, 255);
    const std::vector<std::string> lines = linesOf(outcome.output);
    ASSERT_EQ(lines.size(), 7u) << outcome.output;
    EXPECT_EQ(lines.front(), banner);
    EXPECT_EQ(lines.back(), ERROR_LINE);
    EXPECT_EQ(entriesOf(dir), std::set<std::string>{"m.txt"});
  }
}

TEST(ThreadCountTest, AnyCountGivesTheSameResult) {
  const std::string dir = tempDir("unset");
  const std::string cube = cubeMatrix(10);
  ASSERT_EQ(runWithThreads(nullptr, dir, cube).status, 0);
  const std::string expected = readFile(dir + "/m.txt.out");
  ASSERT_FALSE(expected.empty());
  for (const char* value : {"1", "4", "007", "1000"}) {
    SCOPED_TRACE(value);
    const std::string other = tempDir("set");
    const Outcome outcome = runWithThreads(value, other, cube);
    EXPECT_EQ(outcome.status, 0) << outcome.output;
    EXPECT_EQ(outcome.output.find("Error"), std::string::npos);
    EXPECT_EQ(readFile(other + "/m.txt.out"), expected);
  }
}

} // namespace
