#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "core/DDFreeListPool.h"

using namespace double_description;

namespace {

struct Words {};
using Pool = FreeListPool<Words>;

// The general heap, counting the blocks that come from it and go back.
struct CountingHeap {
  static inline std::atomic<std::size_t> allocated{0};
  static inline std::atomic<std::size_t> released{0};
  static inline thread_local std::size_t releasedHere = 0;
  static void* allocate(std::size_t bytes) {
    ++allocated;
    return ::operator new(bytes);
  }
  static void release(void* block) {
    ++released;
    ++releasedHere;
    ::operator delete(block);
  }
};
struct Drained {};
using CountedPool = FreeListPool<Drained, CountingHeap>;

// Gives its block back when destroyed.
struct Holder {
  std::size_t mWords = 0;
  void* mBlock = nullptr;
  ~Holder() {
    if (mBlock != nullptr)
      CountedPool::give(mBlock, mWords);
  }
};

} // namespace

// A freed block serves the next block of its size on the thread that freed
// it, whichever thread took it; other sizes and large blocks keep to the heap.
TEST(FreeListPool, ReusesBlocksPerSizeOnTheFreeingThread) {
  void* a = Pool::take(3);
  Pool::give(a, 3);
  void* other = Pool::take(4);
  EXPECT_NE(other, a);
  EXPECT_EQ(Pool::take(3), a);
  Pool::give(a, 3);
  Pool::give(other, 4);

  void* fromThread = nullptr;
  std::thread([&] { fromThread = Pool::take(5); }).join();
  Pool::give(fromThread, 5);
  EXPECT_EQ(Pool::take(5), fromThread);
  Pool::give(fromThread, 5);

  void* large = Pool::take(Pool::LARGEST + 1);
  static_cast<std::uint64_t*>(large)[Pool::LARGEST] = 1;
  Pool::give(large, Pool::LARGEST + 1);
  Pool::drain(3);
  void* fresh = Pool::take(3);
  EXPECT_NE(fresh, nullptr);
  Pool::give(fresh, 3);
}

// Threads that end with full lists drain them, and a block given while a
// thread ends, after its pool is gone, goes to the heap: every block the
// threads took is back once they are joined, none before they end.
TEST(FreeListPool, ThreadsDrainTheirListsWhenTheyEnd) {
  constexpr unsigned THREADS = 4;
  const std::size_t allocatedBefore = CountingHeap::allocated;
  const std::size_t releasedBefore = CountingHeap::released;
  std::atomic<std::size_t> releasedWhileRunning{0};
  std::vector<std::thread> threads;
  for (unsigned t = 0; t < THREADS; ++t)
    threads.emplace_back([&] {
      // Constructed before the pool, so destroyed after it.
      thread_local Holder late;
      late.mWords = 7;
      late.mBlock = CountedPool::take(7);
      std::vector<void*> blocks;
      for (std::size_t words = 1; words <= CountedPool::LARGEST; ++words)
        blocks.push_back(CountedPool::take(words));
      for (std::size_t words = 1; words <= CountedPool::LARGEST; ++words)
        CountedPool::give(blocks[words - 1], words);
      releasedWhileRunning += CountingHeap::releasedHere;
    });
  for (std::thread& t : threads)
    t.join();
  EXPECT_EQ(releasedWhileRunning.load(), 0u);
  const std::size_t taken = THREADS * (CountedPool::LARGEST + 1);
  EXPECT_EQ(CountingHeap::allocated - allocatedBefore, taken);
  EXPECT_EQ(CountingHeap::released - releasedBefore, taken);
}
