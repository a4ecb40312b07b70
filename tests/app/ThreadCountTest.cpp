// REDIVEZ_THREADS caps the threads of a run; a value that is not a positive
// integer ends the run after the banner with one line and status 255.
#include "TestFiles.h"

#include "core/DDControlGroup.h"
#include "core/DDWorkerPool.h"

#include <gtest/gtest.h>

#include <sched.h>

#include <cstdlib>
#include <set>
#include <string>
#include <vector>

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

// Restores the calling thread's affinity mask when it goes.
class AffinityKept {
public:
  AffinityKept() { EXPECT_EQ(sched_getaffinity(0, sizeof mSaved, &mSaved), 0); }
  ~AffinityKept() { sched_setaffinity(0, sizeof mSaved, &mSaved); }
  cpu_set_t const& saved() const { return mSaved; }

private:
  cpu_set_t mSaved;
};

// The count itself: the processors of the affinity mask, fewer where the
// control group's cpu.max (the fixture root's, so it counts whatever the
// group's path) allows fewer, at most what REDIVEZ_THREADS gives.
TEST(ThreadCountTest, TheAffinityMaskTheQuotaAndTheVariableCapTheCount) {
  using double_description::ControlGroup;
  using double_description::threadCount;
  using double_description::WorkerPool;
  const AffinityKept kept;
  std::vector<int> cpus;
  for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu)
    if (CPU_ISSET(cpu, &kept.saved()))
      cpus.push_back(cpu);
  const bool grouped = ControlGroup::pathIn(readFile("/proc/self/cgroup")).has_value();
  const struct {
    unsigned cpus;
    const char* cpuMax; // none: no cpu.max file
    const char* setting;
    unsigned threads;
  } cases[] = {
      {2, nullptr, nullptr, 2},
      {2, nullptr, "8", 2},
      {2, nullptr, "1", 1},
      {1, nullptr, "8", 1},
      {3, "150000 100000", nullptr, 2},
      {3, "150000 100000", "8", 2},
      {2, "50000 100000", nullptr, 1},
      {2, "400000 100000", "8", 2},
      {3, "max 100000", nullptr, 3},
      {3, "250000 100000", "2", 2},
  };
  unsigned tested = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.cpus) + " processors, cpu.max " + (c.cpuMax ? c.cpuMax : "none") +
                 ", REDIVEZ_THREADS " + (c.setting ? c.setting : "unset"));
    if (c.cpus > cpus.size() || (c.cpuMax != nullptr && !grouped))
      continue;
    const std::string root = tempDir("cgroup");
    if (c.cpuMax != nullptr)
      std::ofstream(root + "/cpu.max") << c.cpuMax << "\n";
    cpu_set_t set;
    CPU_ZERO(&set);
    for (unsigned i = 0; i < c.cpus; ++i)
      CPU_SET(cpus[i], &set);
    ASSERT_EQ(sched_setaffinity(0, sizeof set, &set), 0);
    EXPECT_EQ(threadCount(c.setting, WorkerPool::availableProcessors(root)),
              std::optional<unsigned>(c.threads));
    ++tested;
  }
  EXPECT_GT(tested, 0u);
}

} // namespace
