#include "core/DDWorkerPool.h"

#include "core/DDPendingFile.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <stdexcept>
#include <thread>
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

// Jobs in quick succession, of changing sizes, while workers come late
// from the one before: every job's indices once, none of another job's.
TEST(WorkerPool, BackToBackJobsOfChangingSizes) {
  WorkerPool pool(4);
  std::vector<std::atomic<int>> calls(16);
  for (int job = 0; job < 20000; ++job) {
    const std::size_t count = 2 + static_cast<std::size_t>(job % 2 == 0 ? job % 13 : job % 3);
    pool.run(count, [&](std::size_t i, unsigned) { ++calls[i]; });
    for (std::size_t i = 0; i < calls.size(); ++i)
      ASSERT_EQ(calls[i].exchange(0), i < count ? 1 : 0) << "job " << job << " index " << i;
  }
}

// A task that runs a job on its own pool gets the indices in turn, on its
// own thread and with its own thread number, so per-thread state stays
// apart; jobs after it are shared again.
TEST(WorkerPool, NestedJobsRunOnTheirCallersThread) {
  for (unsigned threads : {2u, 4u}) {
    WorkerPool pool(threads);
    const std::size_t outer = 64, inner = 16;
    std::vector<std::atomic<int>> calls(outer * inner);
    std::vector<std::atomic<int>> inUse(threads);
    std::atomic<int> strays{0};
    pool.run(outer, [&](std::size_t i, unsigned thread) {
      const std::thread::id self = std::this_thread::get_id();
      if (inUse[thread]++ != 0)
        ++strays;
      pool.run(inner, [&](std::size_t k, unsigned innerThread) {
        if (innerThread != thread || std::this_thread::get_id() != self)
          ++strays;
        ++calls[i * inner + k];
      });
      --inUse[thread];
    });
    EXPECT_EQ(strays.load(), 0) << threads << " threads";
    for (auto const& c : calls)
      ASSERT_EQ(c.load(), 1) << threads << " threads";
    std::atomic<int> later{0};
    pool.run(100, [&](std::size_t, unsigned) { ++later; });
    EXPECT_EQ(later.load(), 100);
  }
}

// Signals sent to the process reach the thread that made the pool, which
// writes the pending files. Each task waits for the others, so every worker
// takes one.
TEST(WorkerPool, WorkersKeepTheEndingSignalsBlocked) {
  const unsigned threads = 3;
  WorkerPool pool(threads);
  sigset_t ending;
  sigemptyset(&ending);
  addAsynchronousEndingSignals(ending);
  std::atomic<unsigned> started{0}, workerTasks{0}, unblocked{0}, faultsBlocked{0};
  pool.run(threads, [&](std::size_t, unsigned thread) {
    ++started;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (started.load() < threads && std::chrono::steady_clock::now() < deadline)
      std::this_thread::yield();
    if (thread == 0)
      return;
    ++workerTasks;
    sigset_t mask;
    pthread_sigmask(SIG_BLOCK, nullptr, &mask);
    for (int signal = 1; signal < NSIG; ++signal)
      if (sigismember(&ending, signal) == 1 && sigismember(&mask, signal) != 1)
        ++unblocked;
    if (sigismember(&mask, SIGSEGV) == 1)
      ++faultsBlocked;
  });
  EXPECT_EQ(workerTasks.load(), threads - 1);
  EXPECT_EQ(unblocked.load(), 0u);
  EXPECT_EQ(faultsBlocked.load(), 0u);
  sigset_t mine;
  pthread_sigmask(SIG_BLOCK, nullptr, &mine);
  EXPECT_FALSE(sigismember(&mine, SIGTERM));
}

// What a user may give as the thread count: a positive decimal integer.
TEST(WorkerPool, ThreadCountsAreParsedStrictly) {
  const struct {
    const char* text;
    std::optional<unsigned> count;
  } cases[] = {
      {"4", 4u},
      {"1", 1u},
      {"007", 7u},
      {"4294967295", 4294967295u},
      {"0", std::nullopt},
      {"-1", std::nullopt},
      {"+4", std::nullopt},
      {"abc", std::nullopt},
      {"4x", std::nullopt},
      {" 4", std::nullopt},
      {"4 ", std::nullopt},
      {"", std::nullopt},
      {"4294967296", std::nullopt},
      {"99999999999999999999999", std::nullopt},
  };
  for (const auto& c : cases)
    EXPECT_EQ(WorkerPool::parseThreadCount(c.text), c.count) << '"' << c.text << '"';
}

} // namespace
