#include "core/DDPendingFile.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace double_description {

namespace {

const int CLEANUP_SIGNALS[] = {SIGTERM, SIGINT, SIGHUP};

// Temporary files pending at once: the handler below removes them. A writer
// keeps one, so a few slots leave room.
std::atomic<const char*> gPending[4] = {};
static_assert(std::atomic<const char*>::is_always_lock_free,
              "the signal handler reads the pending names");

// Only async-signal-safe calls: remove what is pending, then die of the
// signal by its default action, which SA_RESETHAND has put back and which
// takes effect as soon as the handler returns.
void removePendingAndDie(int signal) {
  for (std::atomic<const char*>& slot : gPending)
    if (const char* name = slot.load())
      unlink(name);
  raise(signal);
}

// For the signals at their default action only: one the caller ignores
// (nohup) stays ignored, and one with a handler keeps it.
void installSignalHandlers() {
  struct sigaction action = {};
  action.sa_handler = removePendingAndDie;
  action.sa_flags = SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  for (int signal : CLEANUP_SIGNALS)
    sigaddset(&action.sa_mask, signal);
  for (int signal : CLEANUP_SIGNALS) {
    struct sigaction old = {};
    if (sigaction(signal, nullptr, &old) == 0 && (old.sa_flags & SA_SIGINFO) == 0 &&
        old.sa_handler == SIG_DFL)
      sigaction(signal, &action, nullptr);
  }
}

// Keeps the cleanup signals out while a temporary file and its entry in
// gPending come or go together; a signal arriving meanwhile acts afterwards.
class CleanupSignalsBlocked {
public:
  CleanupSignalsBlocked() {
    sigset_t blocked;
    sigemptyset(&blocked);
    for (int signal : CLEANUP_SIGNALS)
      sigaddset(&blocked, signal);
    sigprocmask(SIG_BLOCK, &blocked, &mSaved);
  }
  ~CleanupSignalsBlocked() { sigprocmask(SIG_SETMASK, &mSaved, nullptr); }
  CleanupSignalsBlocked(CleanupSignalsBlocked const&) = delete;
  CleanupSignalsBlocked& operator=(CleanupSignalsBlocked const&) = delete;

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

// The mode a plain creation would give: 0666 less the umask.
mode_t creationMode() {
  const mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

} // namespace

PendingFile::PendingFile(std::string finalName) : mFinalName(std::move(finalName)) {
  installSignalHandlers();
  // Hidden, beside the final name, and short enough for any final name that
  // could exist; mkstemp makes it unique.
  const std::size_t slash = mFinalName.rfind('/');
  const std::size_t baseStart = slash == std::string::npos ? 0 : slash + 1;
  std::string name = mFinalName.substr(0, baseStart) + "." +
                     mFinalName.substr(baseStart, NAME_MAX - 8) + ".XXXXXX";
  const mode_t mode = creationMode();
  {
    CleanupSignalsBlocked blocked;
    const int fd = mkstemp(&name[0]);
    if (fd < 0)
      return;
    mTemporaryName = std::move(name);
    setPending(nullptr, mTemporaryName.c_str());
    const bool prepared = fchmod(fd, mode) == 0;
    if (close(fd) != 0 || !prepared) {
      discard();
      return;
    }
  }
  mStream.open(mTemporaryName, std::ios::out | std::ios::trunc);
  if (!mStream.is_open())
    discard();
}

PendingFile::~PendingFile() { discard(); }

bool PendingFile::commit() {
  if (!mStream.is_open())
    return false;
  mStream.flush();
  mStream.close();
  if (mStream.fail()) {
    discard();
    return false;
  }
  CleanupSignalsBlocked blocked;
  const bool renamed = std::rename(mTemporaryName.c_str(), mFinalName.c_str()) == 0;
  if (!renamed)
    unlink(mTemporaryName.c_str());
  setPending(mTemporaryName.c_str(), nullptr);
  mTemporaryName.clear();
  return renamed;
}

void PendingFile::discard() {
  if (mStream.is_open())
    mStream.close();
  if (mTemporaryName.empty())
    return;
  CleanupSignalsBlocked blocked;
  unlink(mTemporaryName.c_str());
  setPending(mTemporaryName.c_str(), nullptr);
  mTemporaryName.clear();
}

} // namespace double_description
