#include <gtest/gtest.h>

#include <cstdint>
#include <thread>
#include <vector>

#include "core/DDFreeListPool.h"

using namespace double_description;

namespace {

struct Words {};
using Pool = FreeListPool<Words>;

// Gives its block back when destroyed.
struct Holder {
  std::size_t mWords = 0;
  void* mBlock = nullptr;
  ~Holder() {
    if (mBlock != nullptr)
      Pool::give(mBlock, mWords);
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

// Threads that end with full lists drain them (the sanitizer build reports
// what they would leak), and blocks given while a thread ends, after its
// pool is gone, go to the heap.
TEST(FreeListPool, ThreadsDrainTheirListsWhenTheyEnd) {
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([] {
      // Constructed before the pool, so destroyed after it.
      thread_local Holder late;
      late.mWords = 7;
      late.mBlock = Pool::take(7);
      std::vector<void*> blocks;
      for (std::size_t words = 1; words <= Pool::LARGEST; ++words)
        blocks.push_back(Pool::take(words));
      for (std::size_t words = 1; words <= Pool::LARGEST; ++words)
        Pool::give(blocks[words - 1], words);
    });
  for (std::thread& t : threads)
    t.join();
}
