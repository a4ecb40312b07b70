#include "core/DDWorkerPool.h"

#include "core/DDControlGroup.h"

#include <sched.h>
#include <signal.h>

#include <algorithm>
#include <limits>
#include <system_error>

namespace double_description {

WorkerPool::WorkerPool(unsigned threads) : mThreads(threads == 0 ? 1 : threads) {}

void WorkerPool::start() {
  // Signals sent to the process go to the calling thread, which keeps the
  // process's signal handling to itself: the workers start with them blocked.
  // Faults stay with the thread that makes them.
  sigset_t signals, previous;
  sigfillset(&signals);
  for (int fault : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGABRT, SIGSYS})
    sigdelset(&signals, fault);
  pthread_sigmask(SIG_BLOCK, &signals, &previous);
  mWorkers.reserve(mThreads - 1);
  try {
    for (unsigned t = 1; t < mThreads; ++t)
      mWorkers.emplace_back([this, t] { work(t); });
  } catch (std::system_error const&) {
    // Out of threads: the jobs run on those that started.
  }
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  if (mWorkers.empty())
    mThreads = 1;
}

WorkerPool::~WorkerPool() {
  {
    std::lock_guard<std::mutex> lock(mMutex);
    mStopping = true;
  }
  mStart.notify_all();
  for (std::thread& worker : mWorkers)
    worker.join();
}

unsigned WorkerPool::availableProcessors(std::string const& cgroupRoot) {
  cpu_set_t set;
  unsigned count = 1;
  if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0)
    count = static_cast<unsigned>(CPU_COUNT(&set));
  const std::optional<unsigned> quota = ControlGroup::ofThisProcess(cgroupRoot).processorLimit();
  if (quota)
    count = std::min(count, *quota);
  return count;
}

std::optional<unsigned> WorkerPool::parseThreadCount(const char* text) {
  unsigned long long value = 0;
  if (text == nullptr || *text == '\0')
    return std::nullopt;
  for (const char* c = text; *c != '\0'; ++c) {
    if (*c < '0' || *c > '9')
      return std::nullopt;
    value = value * 10 + static_cast<unsigned>(*c - '0');
    if (value > std::numeric_limits<unsigned>::max())
      return std::nullopt;
  }
  if (value == 0)
    return std::nullopt;
  return static_cast<unsigned>(value);
}

void WorkerPool::run(std::size_t count, std::function<void(std::size_t, unsigned)> const& task) {
  if (mThreads == 1 || count <= 1) {
    for (std::size_t i = 0; i < count; ++i)
      task(i, 0);
    return;
  }
  if (mWorkers.empty())
    start();
  {
    std::lock_guard<std::mutex> lock(mMutex);
    mTask = &task;
    mCount = count;
    mNext.store(0, std::memory_order_relaxed);
    mBusy = static_cast<unsigned>(mWorkers.size());
    mFailure = nullptr;
    ++mGeneration;
  }
  mStart.notify_all();
  take(0);
  std::unique_lock<std::mutex> lock(mMutex);
  mDone.wait(lock, [this] { return mBusy == 0; });
  mTask = nullptr;
  if (mFailure)
    std::rethrow_exception(mFailure);
}

void WorkerPool::work(unsigned thread) {
  std::uint64_t seen = 0;
  for (;;) {
    {
      std::unique_lock<std::mutex> lock(mMutex);
      mStart.wait(lock, [&] { return mStopping || mGeneration != seen; });
      if (mStopping)
        return;
      seen = mGeneration;
    }
    take(thread);
    std::lock_guard<std::mutex> lock(mMutex);
    if (--mBusy == 0)
      mDone.notify_one();
  }
}

// Takes indices until none is left; after a failure the others are skipped.
void WorkerPool::take(unsigned thread) {
  for (;;) {
    const std::size_t index = mNext.fetch_add(1, std::memory_order_relaxed);
    if (index >= mCount)
      return;
    try {
      (*mTask)(index, thread);
    } catch (...) {
      std::lock_guard<std::mutex> lock(mMutex);
      if (!mFailure)
        mFailure = std::current_exception();
      mNext.store(mCount, std::memory_order_relaxed);
    }
  }
}

} // namespace double_description
