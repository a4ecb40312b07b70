#ifndef DD_WORKERPOOL_H
#define DD_WORKERPOOL_H

#include "core/DDControlGroup.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace double_description {

// Threads that share the work of one job at a time: run(count, task) calls
// task(index, thread) for every index below count, each index exactly once,
// spread over the pool's threads (the calling thread is thread 0) as they
// become free, and returns when all calls are done. An exception thrown by a
// task is rethrown by run once every call has stopped. The threads start
// with the first job that can use them, so small problems never pay for them.
//
// Waking a sleeping thread takes tens of microseconds, so the calling thread
// never waits for one: it takes indices itself, and a worker that wakes late
// finds the job done. Between jobs the workers watch for the next one a
// little while before they sleep. A task that calls run again on its pool
// gets its indices called in turn on its own thread, with its own thread
// number. The pool serves one calling thread at a time.
class WorkerPool {
public:
  // A pool of threads threads in all, the calling one included.
  explicit WorkerPool(unsigned threads);
  ~WorkerPool();
  WorkerPool(WorkerPool const&) = delete;
  WorkerPool& operator=(WorkerPool const&) = delete;

  unsigned size() const { return mThreads; }
  // Whether this thread is running a task of this pool, whose own jobs
  // then run on it alone.
  bool runsTaskHere() const;

  void run(std::size_t count, std::function<void(std::size_t, unsigned)> const& task);

  // The processors this thread may run on (its affinity mask) and the
  // processor quota of the process's control group under cgroupRoot allows,
  // at least 1.
  static unsigned availableProcessors(std::string const& cgroupRoot = ControlGroup::MOUNT_ROOT);
  // A thread count the user gives: a positive decimal integer, nothing else.
  static std::optional<unsigned> parseThreadCount(const char* text);

private:
  void start();
  void work(unsigned thread);
  void take(std::uint32_t generation, unsigned thread);
  // Watches a little while for a job after the one of generation seen.
  bool awaitJob(std::uint32_t seen) const;
  // Watches a little while for the job's last index to be done.
  bool awaitDone() const;

  unsigned mThreads;
  std::vector<std::thread> mWorkers;
  std::mutex mMutex;
  std::condition_variable mStart;
  std::condition_variable mDone;
  // The job: its generation in the high half of mTicket, the next index to
  // take in the low half, so that a late worker cannot take an index of a
  // later job with the task of an earlier one.
  std::atomic<std::uint64_t> mTicket{0};
  std::atomic<std::function<void(std::size_t, unsigned)> const*> mTask{nullptr};
  // The job's generation and size, in the same halves: a late worker must
  // not weigh an old ticket against a new size.
  std::atomic<std::uint64_t> mJob{0};
  std::uint32_t mGeneration = 0;
  // Indices of the job not yet done.
  std::atomic<std::size_t> mRemaining{0};
  unsigned mSleeping = 0;
  std::atomic<bool> mStopping{false};
  std::atomic<bool> mRunning{false};
  std::exception_ptr mFailure;
};

} // namespace double_description

#endif
