#include "core/DDPendingFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace double_description {

namespace {

const int OUTSIDE_ENDING_SIGNALS[] = {
    SIGHUP,    SIGINT,  SIGQUIT, SIGUSR1,   SIGUSR2, SIGPIPE, SIGALRM,
    SIGTERM,   SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF, SIGIO,
#ifdef SIGSTKFLT
    SIGSTKFLT,
#endif
#ifdef SIGPWR
    SIGPWR,
#endif
};
const int FAULT_SIGNALS[] = {SIGILL, SIGTRAP, SIGABRT, SIGBUS, SIGFPE, SIGSEGV, SIGSYS};

// Named files pending at once: the handler below removes them. A writer
// keeps one, so a few slots leave room.
std::atomic<const char*> gPending[4] = {};
static_assert(std::atomic<const char*>::is_always_lock_free,
              "the signal handler reads the pending names");

// Only async-signal-safe calls: remove what is pending, then die of the
// signal by its default action, which SA_RESETHAND has put back and which
// takes effect as soon as the handler returns (a fault by coming again).
void removePendingAndDie(int signal) {
  for (std::atomic<const char*>& slot : gPending)
    if (const char* name = slot.load())
      unlink(name);
  raise(signal);
}

// For the signals at their default action only: one the caller ignores
// (nohup) stays ignored, and one with a handler (a sanitizer's) keeps it.
void installSignalHandler(int signal, sigset_t const& blockedMeanwhile) {
  struct sigaction old = {};
  if (sigaction(signal, nullptr, &old) != 0 || (old.sa_flags & SA_SIGINFO) != 0 ||
      old.sa_handler != SIG_DFL)
    return;
  struct sigaction action = {};
  action.sa_handler = removePendingAndDie;
  action.sa_flags = SA_RESETHAND;
  action.sa_mask = blockedMeanwhile;
  sigaction(signal, &action, nullptr);
}

void installSignalHandlers() {
  sigset_t outside;
  sigemptyset(&outside);
  addAsynchronousEndingSignals(outside);
  for (int signal = 1; signal < NSIG; ++signal)
    if (sigismember(&outside, signal) == 1)
      installSignalHandler(signal, outside);
  for (int signal : FAULT_SIGNALS)
    installSignalHandler(signal, outside);
}

// Keeps the ending signals from outside out while a pending file and its
// entry in gPending, or a nameless file's transient name, come or go
// together; a signal arriving meanwhile acts afterwards.
class EndingSignalsBlocked {
public:
  EndingSignalsBlocked() {
    sigset_t blocked;
    sigemptyset(&blocked);
    addAsynchronousEndingSignals(blocked);
    pthread_sigmask(SIG_BLOCK, &blocked, &mSaved);
  }
  ~EndingSignalsBlocked() { pthread_sigmask(SIG_SETMASK, &mSaved, nullptr); }
  EndingSignalsBlocked(EndingSignalsBlocked const&) = delete;
  EndingSignalsBlocked& operator=(EndingSignalsBlocked const&) = delete;

private:
  sigset_t mSaved;
};

void setPending(const char* name, const char* replacement) {
  for (std::atomic<const char*>& slot : gPending) {
    const char* expected = name;
    if (slot.compare_exchange_strong(expected, replacement))
      return;
  }
}

// Read while the program starts, before any thread: the umask can only be
// read by setting it.
const mode_t STARTUP_UMASK = [] {
  const mode_t mask = umask(0);
  umask(mask);
  return mask;
}();

// The umask in force, from the kernel's status line where it has one.
mode_t currentUmask() {
  FILE* status = std::fopen("/proc/self/status", "re");
  if (status == nullptr)
    return STARTUP_UMASK;
  char line[256];
  mode_t mask = STARTUP_UMASK;
  while (std::fgets(line, sizeof line, status) != nullptr)
    if (std::strncmp(line, "Umask:", 6) == 0) {
      char* end = nullptr;
      const unsigned long value = std::strtoul(line + 6, &end, 8);
      if (end != line + 6 && value <= 0777)
        mask = static_cast<mode_t>(value);
      break;
    }
  std::fclose(status);
  return mask;
}

// The mode a plain creation would give: 0666 less the umask.
mode_t creationMode() { return 0666 & ~currentUmask(); }

// Fills the trailing XXXXXX of name with letters and digits that differ
// from call to call.
void makeUnique(std::string& name) {
  static const char DIGITS[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  static std::atomic<unsigned long> calls{0};
  timespec now = {};
  clock_gettime(CLOCK_REALTIME, &now);
  unsigned long long value = static_cast<unsigned long long>(now.tv_nsec) ^
                             (static_cast<unsigned long long>(now.tv_sec) << 30) ^
                             (static_cast<unsigned long long>(getpid()) << 20) ^
                             (calls.fetch_add(1) * 0x9e3779b97f4a7c15ull);
  for (std::size_t i = name.size() - 6; i < name.size(); ++i) {
    name[i] = DIGITS[value % 62];
    value = (value / 62) ^ (value * 0x2545f4914f6cdd1dull);
  }
}

} // namespace

void addAsynchronousEndingSignals(sigset_t& set) {
  for (int signal : OUTSIDE_ENDING_SIGNALS)
    sigaddset(&set, signal);
  for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal)
    sigaddset(&set, signal);
}

PendingFile::PendingFile(std::string finalName, Naming naming, std::string descriptorDirectory)
    : mFinalName(std::move(finalName)), mDescriptorDirectory(std::move(descriptorDirectory)) {
  // Hidden, beside the final name, and short enough for any final name that
  // could exist.
  const std::size_t slash = mFinalName.rfind('/');
  const std::size_t baseStart = slash == std::string::npos ? 0 : slash + 1;
  mHiddenName = "." + mFinalName.substr(baseStart, NAME_MAX - 8) + ".XXXXXX";
  const std::string directory = baseStart == 0 ? "." : mFinalName.substr(0, baseStart);
  if (naming == Naming::Named || !openNameless(directory))
    openNamed(mFinalName.substr(0, baseStart) + mHiddenName);
}

// The file is reopened for the stream through the descriptor directory,
// which the link needs too; without it (no /proc), or without O_TMPFILE, the
// file gets a name.
bool PendingFile::openNameless(std::string const& directory) {
  mDirectory = open(directory.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (mDirectory >= 0)
    mNameless = openat(mDirectory, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
  if (mNameless >= 0)
    mStream.open(descriptorPath(), std::ios::out | std::ios::trunc);
  if (mStream.is_open() && fchmod(mNameless, creationMode()) == 0)
    return true;
  discard();
  return false;
}

void PendingFile::openNamed(std::string name) {
  installSignalHandlers();
  int fd = -1;
  {
    EndingSignalsBlocked blocked;
    fd = mkostemp(&name[0], O_CLOEXEC);
    if (fd < 0)
      return;
    mTemporaryName = std::move(name);
    setPending(nullptr, mTemporaryName.c_str());
  }
  mStream.open(mTemporaryName, std::ios::out | std::ios::trunc);
  const bool prepared = mStream.is_open() && fchmod(fd, creationMode()) == 0;
  if (close(fd) != 0 || !prepared)
    discard();
}

PendingFile::~PendingFile() { discard(); }

bool PendingFile::commit() {
  if (!mStream.is_open())
    return false;
  mStream.close();
  if (mStream.fail()) {
    discard();
    return false;
  }
  if (isNameless())
    return commitNameless();
  EndingSignalsBlocked blocked;
  const bool renamed = std::rename(mTemporaryName.c_str(), mFinalName.c_str()) == 0;
  if (!renamed)
    unlink(mTemporaryName.c_str());
  setPending(mTemporaryName.c_str(), nullptr);
  mTemporaryName.clear();
  return renamed;
}

// linkat with AT_EMPTY_PATH would need a privilege; the link through /proc
// does not. The hidden name lives only between the link and the rename,
// with the ending signals blocked.
bool PendingFile::commitNameless() {
  const std::size_t slash = mFinalName.rfind('/');
  const std::string finalBase = mFinalName.substr(slash == std::string::npos ? 0 : slash + 1);
  const std::string source = descriptorPath();
  std::string hidden = mHiddenName;
  bool renamed = false;
  {
    EndingSignalsBlocked blocked;
    bool linked = false;
    for (int attempt = 0; attempt < 100 && !linked; ++attempt) {
      makeUnique(hidden);
      linked = linkat(AT_FDCWD, source.c_str(), mDirectory, hidden.c_str(), AT_SYMLINK_FOLLOW) == 0;
      if (!linked && errno != EEXIST)
        break;
    }
    renamed = linked && renameat(mDirectory, hidden.c_str(), mDirectory, finalBase.c_str()) == 0;
    if (linked && !renamed)
      unlinkat(mDirectory, hidden.c_str(), 0);
  }
  discard();
  return renamed;
}

std::string PendingFile::descriptorPath() const {
  return mDescriptorDirectory + "/" + std::to_string(mNameless);
}

void PendingFile::discard() {
  if (mStream.is_open())
    mStream.close();
  if (mNameless >= 0)
    close(mNameless);
  if (mDirectory >= 0)
    close(mDirectory);
  mNameless = mDirectory = -1;
  if (mTemporaryName.empty())
    return;
  EndingSignalsBlocked blocked;
  unlink(mTemporaryName.c_str());
  setPending(mTemporaryName.c_str(), nullptr);
  mTemporaryName.clear();
}

} // namespace double_description
