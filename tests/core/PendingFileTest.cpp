#include "core/DDPendingFile.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <set>
#include <string>

using namespace double_description;

namespace {

const std::string EARLIER = "Extreme rays:\n1 0 \n";

mode_t modeOf(const std::string& path) {
  struct stat info = {};
  EXPECT_EQ(stat(path.c_str(), &info), 0) << path;
  return info.st_mode & 07777;
}

// Runs body in a child process; its wait status.
template <class Body> int inChild(Body body) {
  const pid_t pid = fork();
  if (pid == 0)
    _exit(body());
  int status = 0;
  waitpid(pid, &status, 0);
  return status;
}

} // namespace

TEST(PendingFileTest, CommitReplacesTheFileWholeWithTheUsualMode) {
  const std::string dir = tempDir("commit");
  const std::string name = dir + "/cone.txt.out";
  std::ofstream(name) << EARLIER;
  chmod(name.c_str(), 0600);
  const mode_t savedMask = umask(027);
  {
    PendingFile file(name);
    ASSERT_TRUE(file.isOpen());
    file.stream() << "Extreme rays:\n";
    // Nothing shows under the final name before the commit.
    EXPECT_EQ(readFile(name), EARLIER);
    EXPECT_EQ(entriesOf(dir).size(), 2u);
    file.stream() << "2 3 \n";
    EXPECT_TRUE(file.commit());
    EXPECT_TRUE(file.temporaryName().empty());
  }
  umask(savedMask);
  EXPECT_EQ(readFile(name), "Extreme rays:\n2 3 \n");
  EXPECT_EQ(modeOf(name), 0640u);
  EXPECT_EQ(entriesOf(dir), std::set<std::string>{"cone.txt.out"});
}

TEST(PendingFileTest, FailuresLeaveTheDirectoryAsItWas) {
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
      PendingFile file(name);
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

TEST(PendingFileTest, OfTwoWritersOfOneNameTheLaterCommitWins) {
  const std::string dir = tempDir("two_writers");
  const std::string name = dir + "/cone.txt.out";
  PendingFile first(name);
  PendingFile second(name);
  ASSERT_TRUE(first.isOpen());
  ASSERT_TRUE(second.isOpen());
  EXPECT_NE(first.temporaryName(), second.temporaryName());
  first.stream() << "first\n";
  second.stream() << "second\n";
  EXPECT_TRUE(second.commit());
  EXPECT_EQ(readFile(name), "second\n");
  EXPECT_TRUE(first.commit());
  EXPECT_EQ(readFile(name), "first\n");
  EXPECT_EQ(entriesOf(dir), std::set<std::string>{"cone.txt.out"});
}

// A process ended by one of these signals while a file is pending dies of
// that signal, and takes its temporary file along.
TEST(PendingFileTest, EndingSignalsRemoveThePendingFile) {
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(strsignal(signal));
    const std::string dir = tempDir("signal");
    const std::string name = dir + "/cone.txt.out";
    std::ofstream(name) << EARLIER;
    const int status = inChild([&] {
      ::signal(signal, SIG_DFL);
      PendingFile file(name);
      file.stream() << "Extreme rays:\n" << std::flush;
      if (access(file.temporaryName().c_str(), F_OK) != 0)
        return 2;
      raise(signal);
      return 3;
    });
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
    EXPECT_EQ(entriesOf(dir), std::set<std::string>{"cone.txt.out"});
    EXPECT_EQ(readFile(name), EARLIER);
  }
}

// As under nohup: a signal ignored before stays ignored.
TEST(PendingFileTest, IgnoredSignalsStayIgnored) {
  const std::string dir = tempDir("ignored");
  const std::string name = dir + "/cone.txt.out";
  const int status = inChild([&] {
    ::signal(SIGHUP, SIG_IGN);
    PendingFile file(name);
    file.stream() << "complete\n";
    raise(SIGHUP);
    return file.commit() ? 0 : 2;
  });
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(readFile(name), "complete\n");
  EXPECT_EQ(entriesOf(dir), std::set<std::string>{"cone.txt.out"});
}
