// A problem larger than the memory the process may use ends like every other
// failure: one line and status 255, not an abort, wherever the memory runs
// out (big integers included).
#include "TestFiles.h"

#include "app/DDAddressSpace.h"
#include "core/DDControlGroup.h"
#include "core/DDSanitizers.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <optional>
#include <sstream>

namespace {

using double_description::SANITIZED_BUILD;

// The cone over the n-cube: 2^n extreme rays.
std::string cubeCone(unsigned n) {
  std::ostringstream out;
  out << "begin\n" << 2 * n << ' ' << n + 1 << " integer\n";
  for (unsigned i = 0; i < n; ++i)
    for (int sign : {1, -1}) {
      out << (sign < 0 ? 1 : 0);
      for (unsigned j = 0; j < n; ++j)
        out << ' ' << (j == i ? sign : 0);
      out << '\n';
    }
  out << "end\n";
  return out.str();
}

TEST(MemoryLimit, ExhaustedMemoryEndsWithOneLineAndStatus255) {
  if (SANITIZED_BUILD)
    GTEST_SKIP() << "the sanitizers reserve more address space than the limit";
  const std::string dir = tempDir("run");
  std::ofstream(dir + "/cube.txt") << cubeCone(18);
  // 262,144 rays need far more than 40 MB of address space.
  const std::string out = dir + "/console.txt";
  const int raw = std::system(("cd '" + dir + "' && ulimit -v 40000 && '" +
                               std::string(REDIVEZ_BINARY) + "' cube.txt > console.txt 2>&1")
                                  .c_str());
  ASSERT_TRUE(WIFEXITED(raw));
  EXPECT_EQ(WEXITSTATUS(raw), 255);
  const std::string console = readFile(out);
  // On a line of its own, even when the failure cut a step line short.
  EXPECT_NE(console.find("\nError: Not enough memory for this problem!\n"), std::string::npos)
      << console.substr(console.size() > 400 ? console.size() - 400 : 0);
}

// The limit the running process pid has on its address space, as
// /proc/PID/limits shows it ("unlimited" or a byte count).
std::string addressSpaceLimit(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/limits");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind("Max address space", 0) == 0) {
      std::istringstream fields(line.substr(17));
      std::string soft;
      fields >> soft;
      return soft;
    }
  return "";
}

// The limit of the run on its address space, given the limit it starts with
// (RLIM_INFINITY: none). Without one, it may not reserve more than the
// machine's physical memory or its control group's memory.max, so that a
// problem too large fails with the memory error before it swaps or meets
// the kernel's killer; a limit of the user's stays whatever it is. The limit
// is set before the banner, and the matrix file is a pipe: the run waits on
// it, and its limit can be read before it ends.
std::string limitOfRun(rlim_t start) {
  const std::string dir = tempDir("pipe");
  const std::string matrix = dir + "/cube.txt";
  EXPECT_EQ(mkfifo(matrix.c_str(), 0600), 0);
  int console[2];
  EXPECT_EQ(pipe(console), 0);
  const pid_t pid = fork();
  if (pid == 0) {
    const rlimit limit = {start, RLIM_INFINITY};
    if (dup2(console[1], 1) < 0 || setrlimit(RLIMIT_AS, &limit) != 0)
      _exit(127);
    close(console[0]);
    execl(REDIVEZ_BINARY, REDIVEZ_BINARY, matrix.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(console[1]);
  std::string output;
  char c = 0;
  while (output.find('\n') == std::string::npos && read(console[0], &c, 1) == 1)
    output += c;
  const std::string limit = addressSpaceLimit(pid);
  int status = 0;
  // Opening the pipe for writing waits for a reader: a run that already
  // ended (it could not start) would leave the test hanging there.
  if (waitpid(pid, &status, WNOHANG) == pid) {
    ADD_FAILURE() << "the run ended before it read its matrix file: " << output;
    close(console[0]);
    return "";
  }
  std::ofstream(matrix) << cubeCone(3);
  while (read(console[0], &c, 1) == 1)
    output += c;
  close(console[0]);
  EXPECT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status << output;
  return limit;
}

TEST(MemoryLimit, OnlyAnUnlimitedAddressSpaceIsCapped) {
  std::uint64_t cap = static_cast<std::uint64_t>(sysconf(_SC_PHYS_PAGES)) *
                      static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
  if (const auto group = double_description::ControlGroup::ofThisProcess().memoryLimit())
    cap = std::min(cap, *group);
  rlimit own;
  ASSERT_EQ(getrlimit(RLIMIT_AS, &own), 0);
  if (own.rlim_max != RLIM_INFINITY)
    GTEST_SKIP() << "the tests run under a hard limit on their address space";
  // Under the sanitizers, which reserve far more than they use, no cap.
  EXPECT_EQ(limitOfRun(RLIM_INFINITY), SANITIZED_BUILD ? "unlimited" : std::to_string(cap));
  if (SANITIZED_BUILD)
    return;
  for (const std::uint64_t user : {2 * cap, cap / 2 + 4096 * 1000}) {
    SCOPED_TRACE(user);
    EXPECT_EQ(limitOfRun(static_cast<rlim_t>(user)), std::to_string(user));
  }
}

// A run on matrix in a directory of its own, from a process whose unlimited
// address space was capped with the control groups under cgroupRoot; the
// cap is in the run's cap.txt.
struct CappedRun {
  std::string cap;
  int status;
  std::string console;
};

CappedRun runUnderCap(const std::string& cgroupRoot, const std::string& matrix) {
  const std::string dir = tempDir("capped");
  std::ofstream(dir + "/m.txt") << matrix;
  const pid_t pid = fork();
  if (pid == 0) {
    const rlimit unlimited = {RLIM_INFINITY, RLIM_INFINITY};
    rlimit capped;
    if (setrlimit(RLIMIT_AS, &unlimited) != 0 || chdir(dir.c_str()) != 0)
      _exit(127);
    double_description::capAddressSpace(cgroupRoot);
    if (getrlimit(RLIMIT_AS, &capped) != 0 || !freopen("console.txt", "w", stdout))
      _exit(127);
    std::ofstream("cap.txt") << capped.rlim_cur;
    execl(REDIVEZ_BINARY, REDIVEZ_BINARY, "m.txt", static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  EXPECT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status)) << status;
  return {readFile(dir + "/cap.txt"), WEXITSTATUS(status), readFile(dir + "/console.txt")};
}

// The control group's memory.max caps the address space as physical memory
// does; the fixture's root holds it, so it counts whatever the group's path.
// Under that cap (a run keeps a limit it finds) a small run goes through and
// one that needs more ends with the memory error.
TEST(MemoryLimit, TheControlGroupsMemoryMaxCapsTheAddressSpace) {
  if (SANITIZED_BUILD)
    GTEST_SKIP() << "the sanitizers reserve more address space than the limit";
  if (!double_description::ControlGroup::pathIn(readFile("/proc/self/cgroup")))
    GTEST_SKIP() << "the process is in no control group of version 2";
  rlimit own;
  ASSERT_EQ(getrlimit(RLIMIT_AS, &own), 0);
  if (own.rlim_max != RLIM_INFINITY)
    GTEST_SKIP() << "the tests run under a hard limit on their address space";
  const std::string groupMax = std::to_string(30 << 20);
  const std::string root = tempDir("cgroup");
  std::ofstream(root + "/memory.max") << groupMax << "\n";

  const CappedRun small = runUnderCap(root, cubeCone(3));
  EXPECT_EQ(small.cap, groupMax);
  EXPECT_EQ(small.status, 0) << small.console;
  const CappedRun large = runUnderCap(root, cubeCone(18));
  EXPECT_EQ(large.cap, groupMax);
  EXPECT_EQ(large.status, 255);
  EXPECT_NE(large.console.find("\nError: Not enough memory for this problem!\n"), std::string::npos)
      << large.console.substr(large.console.size() > 400 ? large.console.size() - 400 : 0);
}

} // namespace
