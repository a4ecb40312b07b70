#ifndef DD_SHARINGPOLICY_H
#define DD_SHARINGPOLICY_H

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/DDWorkerPool.h"

namespace double_description {

// Per-thread totals that a shared piece leaves as one thread would: none.
struct NoThreadTotals {
  static NoThreadTotals ofThisThread() { return {}; }
  void addToThisThread() const {}
  NoThreadTotals operator-(NoThreadTotals const&) const { return {}; }
  NoThreadTotals& operator+=(NoThreadTotals const&) { return *this; }
};

// Decides whether a piece of a step is shared among the threads of a pool
// and how it is cut, and runs it. The work of a piece is an estimate in
// word operations (a word of a pattern read or written, a ray visited);
// a chunk handed to another thread must have CHUNK_WORK of them to pay for
// the job. Below that the same code runs on the caller in one chunk.
class SharingPolicy {
public:
  // A pool job costs a few microseconds while the workers watch for it and
  // tens when they have to wake; about 2^16 word operations take 50 us.
  static constexpr std::uint64_t CHUNK_WORK = std::uint64_t(1) << 16;
  // Word operations a nanosecond, where work is measured in time.
  static constexpr double WORK_PER_NANOSECOND = double(CHUNK_WORK) / 50000;

  explicit SharingPolicy(WorkerPool* pool) : mPool(pool) {}

  // Sets the work a chunk must have while it lives, so that tests see
  // small pieces shared.
  class ScopedChunkWork {
  public:
    explicit ScopedChunkWork(std::uint64_t work) : mSaved(sChunkWork.exchange(work)) {}
    ~ScopedChunkWork() { sChunkWork.store(mSaved); }
    ScopedChunkWork(ScopedChunkWork const&) = delete;
    ScopedChunkWork& operator=(ScopedChunkWork const&) = delete;

  private:
    std::uint64_t mSaved;
  };

  WorkerPool* pool() const { return mPool; }
  // Whether a ScopedChunkWork below CHUNK_WORK has every piece it can
  // shared, whatever else would decide.
  static bool forced() { return sChunkWork.load(std::memory_order_relaxed) < CHUNK_WORK; }
  // The threads a piece may use here: one inside a task of the pool.
  unsigned threads() const { return mPool == nullptr || mPool->runsTaskHere() ? 1 : mPool->size(); }

  // The chunks to cut items into for a piece of work word operations: as
  // many as the work pays for, at most perThread a thread (more even out
  // uneven chunks) and one an item; 1 runs it on the caller.
  std::size_t chunks(std::size_t items, std::uint64_t work, unsigned perThread) const {
    const unsigned t = threads();
    if (t == 1 || items < 2)
      return 1;
    const std::uint64_t paid = work / sChunkWork.load(std::memory_order_relaxed);
    if (paid < 2)
      return 1;
    return static_cast<std::size_t>(
        std::min<std::uint64_t>({paid, std::uint64_t(perThread) * t, items}));
  }

  // Calls body(begin, end, part, thread) for the chunks of [0, items) in
  // order of their start. One chunk is run on the caller straight into
  // whole; several are run on the pool into parts of their own, which are
  // then given to merge(whole, part) in chunk order, and the Totals the
  // other threads made are added to the caller's. Either way whole ends as
  // one call over all items would leave it.
  template <class Part, class Totals = NoThreadTotals, class Whole, class Body, class Merge>
  void run(std::size_t items, std::size_t chunks, Whole& whole, Body body, Merge merge) const {
    if (chunks <= 1) {
      body(std::size_t(0), items, whole, 0u);
      return;
    }
    std::vector<Part> parts(chunks);
    std::vector<Totals> totals(mPool->size());
    mPool->run(chunks, [&](std::size_t c, unsigned thread) {
      const Totals before = Totals::ofThisThread();
      body(items * c / chunks, items * (c + 1) / chunks, parts[c], thread);
      if (thread != 0)
        totals[thread] += Totals::ofThisThread() - before;
    });
    for (Part& part : parts)
      merge(whole, part);
    for (std::size_t t = 1; t < totals.size(); ++t)
      totals[t].addToThisThread();
  }

  // The same without results: body(begin, end, thread) for each chunk.
  template <class Body> void run(std::size_t items, std::size_t chunks, Body body) const {
    struct Nothing {};
    Nothing none;
    run<Nothing>(
        items, chunks, none,
        [&](std::size_t begin, std::size_t end, Nothing&, unsigned thread) {
          body(begin, end, thread);
        },
        [](Nothing&, Nothing&) {});
  }

private:
  static inline std::atomic<std::uint64_t> sChunkWork{CHUNK_WORK};
  WorkerPool* mPool;
};

} // namespace double_description

#endif
