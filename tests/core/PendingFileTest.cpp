#include "core/DDPendingFile.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>

using namespace double_description;

namespace {

const std::string EARLIER = "Extreme rays:\n1 0 \n";

mode_t modeOf(const std::string& path) {
  struct stat info = {};
  EXPECT_EQ(stat(path.c_str(), &info), 0) << path;
  return info.st_mode & 07777;
}

const PendingFile::Naming NAMELESS = PendingFile::Naming::NamelessWherePossible;
const PendingFile::Naming NAMED = PendingFile::Naming::Named;

// How a test opens its files: nameless, named, or nameless where possible
// where the descriptor directory is missing (as without /proc), which falls
// back to a hidden name by itself. The filesystem of the tests has nameless
// files.
struct Mode {
  const char* name;
  PendingFile::Naming naming;
  const char* descriptorDirectory;
  bool nameless;
  PendingFile open(const std::string& fileName) const {
    return PendingFile(fileName, naming, descriptorDirectory);
  }
};
const Mode NAMELESS_MODE = {"nameless", NAMELESS, PendingFile::DESCRIPTOR_DIRECTORY, true};
const Mode NAMED_MODE = {"named", NAMED, PendingFile::DESCRIPTOR_DIRECTORY, false};
const Mode FALLBACK_MODE = {"fallback", NAMELESS, "/proc/self/no_such_directory", false};

void PrintTo(const Mode& mode, std::ostream* out) { *out << mode.name; }

// Runs body in a child process that dumps no core; its wait status.
template <class Body> int inChild(Body body) {
  const pid_t pid = fork();
  if (pid == 0) {
    const rlimit noCore = {0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    _exit(body());
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return status;
}

} // namespace

class PendingFileTest : public ::testing::TestWithParam<Mode> {};

INSTANTIATE_TEST_SUITE_P(Namings, PendingFileTest,
                         ::testing::Values(NAMELESS_MODE, NAMED_MODE, FALLBACK_MODE),
                         [](const auto& info) { return info.param.name; });

TEST_P(PendingFileTest, CommitReplacesTheFileWholeWithTheUsualMode) {
  const std::string dir = tempDir("commit");
  const std::string name = dir + "/cone.txt.out";
  std::ofstream(name) << EARLIER;
  chmod(name.c_str(), 0600);
  // Read when the file is made, not when the program started.
  const mode_t savedMask = umask(027);
  {
    PendingFile file = GetParam().open(name);
    ASSERT_TRUE(file.isOpen());
    EXPECT_EQ(file.isNameless(), GetParam().nameless);
    EXPECT_EQ(file.temporaryName().empty(), GetParam().nameless);
    file.stream() << "Extreme rays:\n" << std::flush;
    // Nothing shows under the final name before the commit, and a nameless
    // file nowhere.
    EXPECT_EQ(readFile(name), EARLIER);
    EXPECT_EQ(entriesOf(dir).size(), GetParam().nameless ? 1u : 2u);
    file.stream() << "2 3 \n";
    EXPECT_TRUE(file.commit());
    EXPECT_TRUE(file.temporaryName().empty());
  }
  umask(savedMask);
  EXPECT_EQ(readFile(name), "Extreme rays:\n2 3 \n");
  EXPECT_EQ(modeOf(name), 0640u);
  EXPECT_EQ(entriesOf(dir), std::set<std::string>{"cone.txt.out"});
}

TEST_P(PendingFileTest, FailuresLeaveTheDirectoryAsItWas) {
  enum class Failure { Uncommitted, WriteFails, DirectoryInTheWay, NameTooLong, NoDirectory };
  const struct {
    const char* name;
    Failure failure;
  } cases[] = {
      {"destroyed uncommitted", Failure::Uncommitted},
      {"a write failed", Failure::WriteFails},
      {"a directory stands in the way", Failure::DirectoryInTheWay},
      {"the final name is too long", Failure::NameTooLong},
      {"the directory does not exist", Failure::NoDirectory},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string dir = tempDir("failures");
    const std::string earlier = dir + "/cone.txt.out";
    std::ofstream(earlier) << EARLIER;
    std::string name = earlier;
    if (c.failure == Failure::DirectoryInTheWay) {
      name = dir + "/in_the_way";
      mkdir(name.c_str(), 0755);
    }
    if (c.failure == Failure::NameTooLong)
      name = dir + "/" + std::string(256, 'n');
    if (c.failure == Failure::NoDirectory)
      name = dir + "/missing/cone.txt.out";
    const std::set<std::string> entries = entriesOf(dir);
    {
      PendingFile file = GetParam().open(name);
      EXPECT_EQ(file.isOpen(), c.failure != Failure::NoDirectory);
      file.stream() << "Extreme rays:\n3 4 \n";
      if (c.failure == Failure::WriteFails)
        file.stream().setstate(std::ios::badbit);
      if (c.failure != Failure::Uncommitted) {
        EXPECT_FALSE(file.commit());
        EXPECT_TRUE(file.temporaryName().empty());
      }
    }
    EXPECT_EQ(entriesOf(dir), entries);
    EXPECT_EQ(readFile(earlier), EARLIER);
  }
}

TEST_P(PendingFileTest, OfTwoWritersOfOneNameTheLaterCommitWins) {
  const std::string dir = tempDir("two_writers");
  const std::string name = dir + "/cone.txt.out";
  PendingFile first = GetParam().open(name);
  PendingFile second = GetParam().open(name);
  ASSERT_TRUE(first.isOpen());
  ASSERT_TRUE(second.isOpen());
  if (!GetParam().nameless) {
    EXPECT_NE(first.temporaryName(), second.temporaryName());
  }
  first.stream() << "first\n";
  second.stream() << "second\n";
  EXPECT_TRUE(second.commit());
  EXPECT_EQ(readFile(name), "second\n");
  EXPECT_TRUE(first.commit());
  EXPECT_EQ(readFile(name), "first\n");
  EXPECT_EQ(entriesOf(dir), std::set<std::string>{"cone.txt.out"});
}

// A process ended by a signal while a file is pending dies of that signal
// and leaves the earlier file whole and nothing else. The named file is
// removed by the handlers, so SIGKILL is for the nameless one only.
TEST_P(PendingFileTest, EndingSignalsLeaveNothingBehind) {
  std::vector<int> signals = {SIGTERM, SIGINT,  SIGHUP,  SIGQUIT,  SIGPIPE,
                              SIGUSR1, SIGXFSZ, SIGALRM, SIGRTMIN, SIGABRT};
  if (GetParam().nameless)
    signals.push_back(SIGKILL);
  for (int signal : signals) {
    SCOPED_TRACE(strsignal(signal));
    const std::string dir = tempDir("signal");
    const std::string name = dir + "/cone.txt.out";
    std::ofstream(name) << EARLIER;
    const int status = inChild([&] {
      if (signal != SIGKILL)
        ::signal(signal, SIG_DFL);
      PendingFile file = GetParam().open(name);
      file.stream() << "Extreme rays:\n" << std::flush;
      if (!file.isOpen() || file.isNameless() != GetParam().nameless)
        return 2;
      if (!file.isNameless() && access(file.temporaryName().c_str(), F_OK) != 0)
        return 3;
      raise(signal);
      return 4;
    });
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
    EXPECT_EQ(entriesOf(dir), std::set<std::string>{"cone.txt.out"});
    EXPECT_EQ(readFile(name), EARLIER);
  }
}

// A write past the file-size limit (ulimit -f) ends the process by SIGXFSZ.
TEST_P(PendingFileTest, TheFileSizeLimitLeavesNothingBehind) {
  const std::string dir = tempDir("file_size");
  const std::string name = dir + "/cone.txt.out";
  std::ofstream(name) << EARLIER;
  const int status = inChild([&] {
    ::signal(SIGXFSZ, SIG_DFL);
    const rlimit limit = {1 << 16, RLIM_INFINITY};
    setrlimit(RLIMIT_FSIZE, &limit);
    PendingFile file = GetParam().open(name);
    for (int i = 0; i < 100000; ++i)
      file.stream() << "1 -1 1 -1 1 -1 1 -1\n";
    return file.commit() ? 2 : 3;
  });
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ) << status;
  EXPECT_EQ(entriesOf(dir), std::set<std::string>{"cone.txt.out"});
  EXPECT_EQ(readFile(name), EARLIER);
}

// As under nohup: a signal ignored before stays ignored.
TEST_P(PendingFileTest, IgnoredSignalsStayIgnored) {
  const std::string dir = tempDir("ignored");
  const std::string name = dir + "/cone.txt.out";
  const int status = inChild([&] {
    ::signal(SIGHUP, SIG_IGN);
    PendingFile file = GetParam().open(name);
    file.stream() << "complete\n";
    raise(SIGHUP);
    return file.commit() ? 0 : 2;
  });
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(readFile(name), "complete\n");
  EXPECT_EQ(entriesOf(dir), std::set<std::string>{"cone.txt.out"});
}

// The umask is the process's, shared by its threads: reading it by setting
// it would let a file made meanwhile in another thread get mode 0666.
TEST_P(PendingFileTest, TheUmaskStaysAsItIs) {
  const std::string dir = tempDir("umask");
  const mode_t savedMask = umask(022);
  std::atomic<bool> done{false};
  std::atomic<int> otherMasks{0}, reads{0};
  std::thread reader([&] {
    while (!done.load()) {
      std::ifstream status("/proc/self/status");
      std::string line;
      while (std::getline(status, line))
        if (line.rfind("Umask:", 0) == 0) {
          ++reads;
          if (line.find("0022") == std::string::npos)
            ++otherMasks;
        }
    }
  });
  for (int i = 0; i < 300; ++i) {
    PendingFile file = GetParam().open(dir + "/cone.txt.out");
    file.stream() << i << '\n';
    EXPECT_TRUE(file.commit());
  }
  done = true;
  reader.join();
  umask(savedMask);
  if (reads.load() == 0)
    GTEST_SKIP() << "no umask in /proc/self/status";
  EXPECT_EQ(otherMasks.load(), 0);
}
