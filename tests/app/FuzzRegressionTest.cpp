// Matrix files the fuzzer once found troublesome, each run by the program as
// a user runs it, under a time limit. NAME.expected beside each input holds
// what the run must print after the banner, times shown as "#ms", and then
// "exit status N".
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

namespace {

const std::filesystem::path REGRESSIONS =
    std::filesystem::path(REDIVEZ_TEST_DATA_DIR) / ".." / "fuzz" / "regressions" / "matrix";
const std::string EXPECTED = ".expected";
// Each input takes milliseconds; a sanitizer build on a busy machine stays
// far below this.
constexpr int LIMIT_SECONDS = 10;
constexpr std::size_t BANNER_LINES = 6;

bool isExpectation(const std::filesystem::path& path) { return path.extension() == EXPECTED; }

// The console after the banner, times masked, and the exit status.
std::string outcomeOf(const std::string& console, int status) {
  const std::vector<std::string> printed = linesOf(console);
  std::string text;
  for (std::size_t i = BANNER_LINES; i < printed.size(); ++i)
    text += printed[i] + "\n";
  return masked(text) + "exit status " + std::to_string(status) + "\n";
}

} // namespace

TEST(FuzzRegressionTest, EachInputPrintsWhatIsKeptBesideIt) {
  for (const auto& entry : std::filesystem::directory_iterator(REGRESSIONS)) {
    if (isExpectation(entry.path()))
      continue;
    const std::string name = entry.path().filename().string();
    SCOPED_TRACE(name);
    const std::filesystem::path expected = entry.path().string() + EXPECTED;
    if (!std::filesystem::exists(expected)) {
      ADD_FAILURE() << "keep what it prints in " << expected;
      continue;
    }

    // In a directory of its own: the result file lands beside the input.
    const std::string dir = tempDir(name);
    std::filesystem::copy_file(entry.path(), dir + "/m.txt");
    const std::string command = "cd '" + dir + "' && timeout -k 1 " +
                                std::to_string(LIMIT_SECONDS) + " '" + REDIVEZ_BINARY +
                                "' m.txt > console 2>&1";
    const auto start = std::chrono::steady_clock::now();
    const int raw = std::system(command.c_str());
    const long elapsedMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                               std::chrono::steady_clock::now() - start)
                               .count();
    const int status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;

    EXPECT_LT(elapsedMs, LIMIT_SECONDS * 1000L) << "ran into the time limit";
    EXPECT_EQ(outcomeOf(readFile(dir + "/console"), status), readFile(expected.string()));
  }
}
