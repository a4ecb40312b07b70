// The result file of the real binary appears whole or not at all: runs
// ended while writing and runs racing for one name leave no part of a file.
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace {

const std::string EARLIER = "Extreme rays:\n1 2 3 \n";
const unsigned CUBE = 15;
// With the floating-point format, the result file of this cone takes a good
// part of a second to write, time enough to send a signal in between.
const unsigned SLOW_CUBE = 16;
const std::string SLOW_FORMAT = "Output format = DOUBLE_VEC\n";

// Starts the binary in dir with every signal at its default action, no core
// dumps, the given file-size limit and the console discarded; its process id.
pid_t startBinary(const std::string& dir, const std::vector<std::string>& args,
                  rlim_t fileSizeLimit = RLIM_INFINITY) {
  std::vector<char*> argv = {const_cast<char*>(REDIVEZ_BINARY)};
  for (const std::string& arg : args)
    argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    const int null = open("/dev/null", O_WRONLY);
    if (chdir(dir.c_str()) != 0 || null < 0 || dup2(null, 1) < 0 || dup2(null, 2) < 0)
      _exit(127);
    for (int signal = 1; signal < NSIG; ++signal)
      if (signal != SIGKILL && signal != SIGSTOP)
        ::signal(signal, SIG_DFL);
    const rlimit noCore = {0, 0};
    const rlimit fileSize = {fileSizeLimit, RLIM_INFINITY};
    setrlimit(RLIMIT_CORE, &noCore);
    setrlimit(RLIMIT_FSIZE, &fileSize);
    execv(REDIVEZ_BINARY, argv.data());
    _exit(127);
  }
  return pid;
}

// Whether the process holds a file of dir open for writing other than the
// given inputs: the pending result, named or not.
bool writesInto(pid_t pid, const std::string& dir, const std::set<std::string>& inputs) {
  const std::string fds = "/proc/" + std::to_string(pid) + "/fd";
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(fds, error)) {
    const std::string target = std::filesystem::read_symlink(entry.path(), error).string();
    if (target.compare(0, dir.size() + 1, dir + "/") == 0 &&
        inputs.count(target.substr(dir.size() + 1)) == 0)
      return true;
  }
  return false;
}

// The result file of an undisturbed run in a directory of its own.
std::string completeResult(const std::string& matrix, const std::string& config) {
  const std::string dir = tempDir("complete");
  std::ofstream(dir + "/cone.txt") << matrix;
  std::ofstream(dir + "/run.conf") << config;
  EXPECT_EQ(runBinary("cone.txt run.conf", dir).status, 0);
  return readFile(dir + "/cone.txt.out");
}

} // namespace

// The signal comes while the result is pending. The run dies of it and
// leaves the earlier result, or none, and nothing else; only a signal that
// comes after the rename may find the new result whole.
TEST(ResultReplacementTest, ARunEndedWhileWritingLeavesTheEarlierResult) {
  const std::string matrix = cubeMatrix(SLOW_CUBE);
  const std::string complete = completeResult(matrix, SLOW_FORMAT);
  for (int signal : {SIGTERM, SIGINT, SIGHUP, SIGKILL, SIGQUIT, SIGPIPE, SIGUSR1, SIGXFSZ})
    for (bool earlier : {true, false}) {
      SCOPED_TRACE(std::string(strsignal(signal)) + (earlier ? ", earlier result" : ""));
      const std::string dir = tempDir("ended");
      std::ofstream(dir + "/cone.txt") << matrix;
      std::ofstream(dir + "/run.conf") << SLOW_FORMAT;
      if (earlier)
        std::ofstream(dir + "/cone.txt.out") << EARLIER;
      const std::set<std::string> before = entriesOf(dir);

      const pid_t pid = startBinary(dir, {"cone.txt", "run.conf"});
      int status = 0;
      bool pending = false;
      while (!pending && waitpid(pid, &status, WNOHANG) == 0) {
        pending = writesInto(pid, dir, {"cone.txt", "run.conf"});
        if (!pending)
          usleep(200);
      }
      if (pending) {
        kill(pid, signal);
        waitpid(pid, &status, 0);
      }
      ASSERT_TRUE(pending) << "the run ended before its result was pending";

      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
      const std::set<std::string> after = entriesOf(dir);
      const std::set<std::string> withResult = {"cone.txt", "cone.txt.out", "run.conf"};
      EXPECT_TRUE(after == before || after == withResult) << after.size() << " entries";
      if (after.count("cone.txt.out") != 0) {
        const std::string result = readFile(dir + "/cone.txt.out");
        EXPECT_TRUE(result == complete || (earlier && result == EARLIER))
            << result.size() << " bytes";
      }
    }
}

// Under a file-size limit (ulimit -f) below the result's size the run dies
// of SIGXFSZ and leaves the earlier result whole and nothing else.
TEST(ResultReplacementTest, AFileSizeLimitLeavesTheEarlierResult) {
  const std::string dir = tempDir("file_size");
  std::ofstream(dir + "/cone.txt") << cubeMatrix(CUBE);
  std::ofstream(dir + "/cone.txt.out") << EARLIER;
  const std::set<std::string> before = entriesOf(dir);
  const pid_t pid = startBinary(dir, {"cone.txt"}, 1 << 14);
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ) << status;
  EXPECT_EQ(entriesOf(dir), before);
  EXPECT_EQ(readFile(dir + "/cone.txt.out"), EARLIER);
}

// Two runs on one matrix file that write different formats at the same time:
// the result is the whole file of one of them.
TEST(ResultReplacementTest, ConcurrentRunsOnOneMatrixLeaveOneWholeResult) {
  const std::string matrix = cubeMatrix(CUBE);
  const std::string integers = "Output format = INTEGER_VEC\n";
  const std::string activeSets = "Output format = ACTIVE_SET\n";
  const std::set<std::string> wholeResults = {completeResult(matrix, integers),
                                              completeResult(matrix, activeSets)};
  const std::string dir = tempDir("concurrent");
  std::ofstream(dir + "/cone.txt") << matrix;
  std::ofstream(dir + "/integers.conf") << integers;
  std::ofstream(dir + "/sets.conf") << activeSets;

  const pid_t first = startBinary(dir, {"cone.txt", "integers.conf"});
  const pid_t second = startBinary(dir, {"cone.txt", "sets.conf"});
  for (pid_t pid : {first, second}) {
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }
  EXPECT_EQ(wholeResults.count(readFile(dir + "/cone.txt.out")), 1u);
  EXPECT_EQ(entriesOf(dir),
            (std::set<std::string>{"cone.txt", "cone.txt.out", "integers.conf", "sets.conf"}));
}
