#include "core/DDWorkerPool.h"

#include "core/DDAssert.h"
#include "core/DDControlGroup.h"

#include <sched.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
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
    mStopping.store(true, std::memory_order_relaxed);
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

namespace {

constexpr unsigned GENERATION_SHIFT = 32;
constexpr std::uint64_t INDEX_MASK = (std::uint64_t(1) << GENERATION_SHIFT) - 1;

// A worker that has just finished a job watches this long for the next
// before it sleeps: the jobs of one step come closer together than a
// sleeping thread wakes.
constexpr std::chrono::microseconds WATCH_TIME{200};

// The pool and thread whose task this thread is running, if any.
struct Job {
  WorkerPool const* mPool = nullptr;
  unsigned mThread = 0;
};
thread_local Job tJob;

void relax() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#else
  std::this_thread::yield();
#endif
}

// Calls done() until it holds or the watch time is over; whether it held.
template <class Done> bool watch(Done done) {
  const auto until = std::chrono::steady_clock::now() + WATCH_TIME;
  for (unsigned spins = 1;; ++spins) {
    if (done())
      return true;
    relax();
    if (spins % 64 == 0 && std::chrono::steady_clock::now() >= until)
      return false;
  }
}

} // namespace

bool WorkerPool::runsTaskHere() const { return tJob.mPool == this; }

void WorkerPool::run(std::size_t count, std::function<void(std::size_t, unsigned)> const& task) {
  // A task of this pool that runs a job of its own has no threads to spare:
  // its indices are its own thread's.
  if (tJob.mPool == this) {
    for (std::size_t i = 0; i < count; ++i)
      task(i, tJob.mThread);
    return;
  }
  if (mThreads == 1 || count <= 1 || count > INDEX_MASK) {
    for (std::size_t i = 0; i < count; ++i)
      task(i, 0);
    return;
  }
  // One caller at a time: a second one would share thread 0's index.
  const bool busy = mRunning.exchange(true, std::memory_order_acquire);
  DD_ASSERT(!busy);
  static_cast<void>(busy);
  struct Running {
    std::atomic<bool>& mFlag;
    ~Running() { mFlag.store(false, std::memory_order_release); }
  } running{mRunning};
  if (mWorkers.empty())
    start();
  if (mThreads == 1) {
    for (std::size_t i = 0; i < count; ++i)
      task(i, 0);
    return;
  }
  const std::uint32_t generation = ++mGeneration;
  mTask.store(&task, std::memory_order_relaxed);
  mJob.store(std::uint64_t(generation) << GENERATION_SHIFT | count, std::memory_order_relaxed);
  mRemaining.store(count, std::memory_order_relaxed);
  // Publishes the job: whoever sees its generation sees its task and size.
  mTicket.store(std::uint64_t(generation) << GENERATION_SHIFT, std::memory_order_release);
  {
    std::lock_guard<std::mutex> lock(mMutex);
    if (mSleeping != 0)
      mStart.notify_all();
  }
  take(generation, 0);
  if (!awaitDone()) {
    std::unique_lock<std::mutex> lock(mMutex);
    mDone.wait(lock, [this] { return mRemaining.load(std::memory_order_acquire) == 0; });
  }
  std::exception_ptr failure;
  {
    std::lock_guard<std::mutex> lock(mMutex);
    failure.swap(mFailure);
  }
  if (failure)
    std::rethrow_exception(failure);
}

bool WorkerPool::awaitJob(std::uint32_t seen) const {
  return watch([&] {
    return mStopping.load(std::memory_order_relaxed) ||
           static_cast<std::uint32_t>(mTicket.load(std::memory_order_relaxed) >>
                                      GENERATION_SHIFT) != seen;
  });
}

bool WorkerPool::awaitDone() const {
  return watch([&] { return mRemaining.load(std::memory_order_acquire) == 0; });
}

void WorkerPool::work(unsigned thread) {
  std::uint32_t seen = 0;
  const auto generation = [this] {
    return static_cast<std::uint32_t>(mTicket.load(std::memory_order_acquire) >> GENERATION_SHIFT);
  };
  for (;;) {
    if (!awaitJob(seen)) {
      std::unique_lock<std::mutex> lock(mMutex);
      ++mSleeping;
      mStart.wait(lock, [&] {
        return mStopping.load(std::memory_order_relaxed) || generation() != seen;
      });
      --mSleeping;
    }
    if (mStopping.load(std::memory_order_relaxed))
      return;
    seen = generation();
    take(seen, thread);
  }
}

// Takes indices of the job of generation until none is left; after a
// failure the others are skipped.
void WorkerPool::take(std::uint32_t generation, unsigned thread) {
  const std::uint64_t job = std::uint64_t(generation) << GENERATION_SHIFT;
  for (;;) {
    std::uint64_t ticket = mTicket.load(std::memory_order_acquire);
    std::size_t count = 0;
    do {
      // The size is read after the ticket: a later job's ends this one.
      const std::uint64_t size = mJob.load(std::memory_order_relaxed);
      count = static_cast<std::size_t>(size & INDEX_MASK);
      if ((size & ~INDEX_MASK) != job || (ticket & ~INDEX_MASK) != job ||
          (ticket & INDEX_MASK) >= count)
        return;
    } while (!mTicket.compare_exchange_weak(ticket, ticket + 1, std::memory_order_acq_rel,
                                            std::memory_order_acquire));
    // The job cannot end, nor its task change, before this index is done.
    std::size_t done = 1;
    const Job outer = tJob;
    tJob = {this, thread};
    try {
      (*mTask.load(std::memory_order_relaxed))(static_cast<std::size_t>(ticket & INDEX_MASK),
                                                thread);
      tJob = outer;
    } catch (...) {
      tJob = outer;
      {
        std::lock_guard<std::mutex> lock(mMutex);
        if (!mFailure)
          mFailure = std::current_exception();
      }
      std::uint64_t rest = mTicket.load(std::memory_order_acquire);
      while ((rest & ~INDEX_MASK) == job && (rest & INDEX_MASK) < count)
        if (mTicket.compare_exchange_weak(rest, job | count, std::memory_order_acq_rel,
                                          std::memory_order_acquire)) {
          done += count - (rest & INDEX_MASK);
          break;
        }
    }
    if (mRemaining.fetch_sub(done, std::memory_order_acq_rel) == done) {
      std::lock_guard<std::mutex> lock(mMutex);
      mDone.notify_one();
    }
  }
}

} // namespace double_description
