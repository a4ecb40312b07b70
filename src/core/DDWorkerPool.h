#ifndef DD_WORKERPOOL_H
#define DD_WORKERPOOL_H

#include "core/DDControlGroup.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
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
// task is rethrown by run once every thread has stopped. The threads start
// with the first job that can use them, so small problems never pay for them.
class WorkerPool {
public:
  // A pool of threads threads in all, the calling one included.
  explicit WorkerPool(unsigned threads);
  ~WorkerPool();
  WorkerPool(WorkerPool const&) = delete;
  WorkerPool& operator=(WorkerPool const&) = delete;

  unsigned size() const { return mThreads; }

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
  void take(unsigned thread);

  unsigned mThreads;
  std::vector<std::thread> mWorkers;
  std::mutex mMutex;
  std::condition_variable mStart;
  std::condition_variable mDone;
  // The job: a generation number that wakes the workers, its task and size.
  std::uint64_t mGeneration = 0;
  std::function<void(std::size_t, unsigned)> const* mTask = nullptr;
  std::size_t mCount = 0;
  std::atomic<std::size_t> mNext{0};
  unsigned mBusy = 0;
  bool mStopping = false;
  std::exception_ptr mFailure;
};

} // namespace double_description

#endif
