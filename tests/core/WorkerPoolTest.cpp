#include "core/DDWorkerPool.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <atomic>
#include <stdexcept>
#include <vector>

using namespace double_description;

namespace {

TEST(WorkerPool, EveryIndexOnceOnEveryPoolSize) {
  for (unsigned threads : {1u, 2u, 5u}) {
    WorkerPool pool(threads);
    EXPECT_EQ(pool.size(), threads);
    for (std::size_t count : {0u, 1u, 7u, 1000u}) {
      std::vector<std::atomic<int>> calls(count);
      std::atomic<unsigned> badThread{0};
      pool.run(count, [&](std::size_t i, unsigned thread) {
        ++calls[i];
        if (thread >= threads)
          ++badThread;
      });
      for (auto const& c : calls)
        ASSERT_EQ(c.load(), 1) << threads << " threads, " << count << " indices";
      EXPECT_EQ(badThread.load(), 0u);
    }
  }
  EXPECT_GE(WorkerPool::availableProcessors(), 1u);
}

// A failing task ends the job; run rethrows once every thread has stopped,
// and the pool serves the next job.
TEST(WorkerPool, FailureIsRethrownAndThePoolGoesOn) {
  WorkerPool pool(4);
  EXPECT_THROW(pool.run(100,
                        [](std::size_t i, unsigned) {
                          if (i == 37)
                            throw std::runtime_error("task");
                        }),
               std::runtime_error);
  std::atomic<int> calls{0};
  pool.run(50, [&](std::size_t, unsigned) { ++calls; });
  EXPECT_EQ(calls.load(), 50);
}

// Signals sent to the process reach the thread that made the pool, whose
// handlers clean up pending files.
TEST(WorkerPool, WorkersLeaveProcessSignalsToTheCallingThread) {
  WorkerPool pool(3);
  std::atomic<int> blocked{0}, workerTasks{0};
  pool.run(300, [&](std::size_t, unsigned thread) {
    if (thread == 0)
      return;
    ++workerTasks;
    sigset_t mask;
    pthread_sigmask(SIG_BLOCK, nullptr, &mask);
    if (sigismember(&mask, SIGTERM) && sigismember(&mask, SIGINT) && !sigismember(&mask, SIGSEGV))
      ++blocked;
  });
  EXPECT_EQ(blocked.load(), workerTasks.load());
  sigset_t mine;
  pthread_sigmask(SIG_BLOCK, nullptr, &mine);
  EXPECT_FALSE(sigismember(&mine, SIGTERM));
}

} // namespace
