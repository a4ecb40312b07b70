#ifndef DD_TESTFILES_H
#define DD_TESTFILES_H

#include <gtest/gtest.h>

#include <gmpxx.h>

#include "app/dd_classic.h"
#include "settings/DDOptions.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

// One scratch directory per test process, removed when the tests end.
inline const std::string& scratchRoot() {
  static const std::string root = [] {
    const std::string path = ::testing::TempDir() + "redivez_test_" + std::to_string(getpid());
    mkdir(path.c_str(), 0755);
    return path + "/";
  }();
  return root;
}

class ScratchCleanup : public ::testing::Environment {
public:
  void TearDown() override { std::filesystem::remove_all(scratchRoot()); }
};

inline const bool SCRATCH_CLEANUP_REGISTERED =
    (::testing::AddGlobalTestEnvironment(new ScratchCleanup), true);

// Paths unique to the running test, so tests may run in parallel.
inline std::string tempPath(const std::string& name) {
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string path = std::string(test->test_suite_name()) + "_" + test->name() + "_" + name;
  std::replace(path.begin(), path.end(), '/', '_'); // parameterised test names
  return scratchRoot() + path;
}

inline std::string writeFile(const std::string& name, const std::string& content) {
  const std::string path = tempPath(name);
  std::ofstream(path, std::ios::binary) << content;
  return path;
}

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line))
    lines.push_back(line);
  return lines;
}

// The ray lines of a result file, without the title line.
inline std::vector<std::string> resultLines(const std::string& path) {
  std::vector<std::string> lines = linesOf(readFile(path));
  EXPECT_FALSE(lines.empty());
  EXPECT_EQ(lines.empty() ? "" : lines.front(), "Extreme rays:");
  if (!lines.empty())
    lines.erase(lines.begin());
  return lines;
}

// The numbers of a DOUBLE_VEC line.
inline std::vector<double> numbersOf(const std::string& line) {
  std::vector<double> values;
  std::istringstream in(line);
  double v;
  while (in >> v)
    values.push_back(v);
  return values;
}

// The exact coordinates of an INTEGER_VEC line.
inline std::vector<mpz_class> parseRay(const std::string& line) {
  std::vector<mpz_class> ray;
  std::istringstream in(line);
  std::string word;
  while (in >> word)
    ray.emplace_back(word);
  return ray;
}

// A fresh directory of its own for the running test.
inline std::string tempDir(const std::string& name) {
  const std::string path = tempPath(name);
  std::system(("rm -rf '" + path + "'").c_str());
  mkdir(path.c_str(), 0755);
  return path;
}

// The names in a directory, hidden ones included.
inline std::set<std::string> entriesOf(const std::string& dir) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir))
    names.insert(entry.path().filename().string());
  return names;
}

// The cone over the n-cube, rows x0 + x_i >= 0 and x0 - x_i >= 0: 2^n rays
// found in moments, so its result file grows fast with n.
inline std::string cubeMatrix(unsigned n) {
  std::string text = "begin\n" + std::to_string(2 * n) + " " + std::to_string(n + 1) + " integer\n";
  for (unsigned i = 1; i <= n; ++i)
    for (const char* sign : {"1", "-1"}) {
      text += "1";
      for (unsigned j = 1; j <= n; ++j)
        text += j == i ? std::string(" ") + sign : std::string(" 0");
      text += "\n";
    }
  return text + "end\n";
}

// The console with its times shown as "#ms", the same in every run.
inline std::string masked(const std::string& console) {
  static const std::regex milliseconds("(dt=|time: )[0-9]+ms");
  return std::regex_replace(console, milliseconds, "$1#ms");
}

struct Outcome {
  int status;
  std::string output;
};

// The real binary, as a user runs it, optionally from another working directory.
inline Outcome runBinary(const std::string& args, const std::string& workDir = "") {
  const std::string out = tempPath("binary_output.txt");
  std::string command = std::string(REDIVEZ_BINARY) + " " + args + " > '" + out + "' 2>&1";
  if (!workDir.empty())
    command = "cd '" + workDir + "' && " + command;
  const int raw = std::system(command.c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, readFile(out)};
}

// classicMain in this process, with the settings reset after it.
inline Outcome runInProcess(std::vector<std::string> args) {
  args.insert(args.begin(), "redivez");
  std::vector<const char*> argv;
  for (const std::string& arg : args)
    argv.push_back(arg.c_str());
  ::testing::internal::CaptureStdout();
  int status = double_description::classicMain(static_cast<int>(argv.size()), argv.data());
  Outcome outcome{status, ::testing::internal::GetCapturedStdout()};
  delete double_description::Options::mCurrent;
  return outcome;
}

// The binary on matrix written to dir/cone.txt with the given configuration
// lines; the result lands in dir/cone.txt.out.
inline Outcome runIn(const std::string& dir, const std::string& matrix, const std::string& config) {
  std::ofstream(dir + "/cone.txt") << matrix;
  std::ofstream(dir + "/run.conf") << config;
  return runBinary("cone.txt run.conf", dir);
}

#endif
