#ifndef DD_FREELISTPOOL_H
#define DD_FREELISTPOOL_H

#include <cstddef>
#include <cstdint>
#include <new>

namespace double_description {

// Per-thread free lists of word blocks, one list per size up to LARGEST
// words, each threaded through its blocks: the objects they serve are made
// and dropped by the million in a few sizes, faster than the general heap
// serves them. A block freed on a thread joins that thread's list, whichever
// thread took it. When a thread ends its lists go back to the heap; blocks
// taken or freed after that (during exit, say), and larger ones, come from
// and go straight to the heap. Owner keeps the lists of each user apart.
//
// A thread keeps at most KEPT_BYTES of each size: one that frees what other
// threads made, as the filing thread of a shared pass does, would otherwise
// hoard it all while the others keep asking the heap for more.
//
// Heap is where blocks come from and go back to: the general heap, or one
// that counts them.
struct GlobalHeap {
  static void* allocate(std::size_t bytes) { return ::operator new(bytes); }
  static void release(void* block) { ::operator delete(block); }
};

template <class Owner, class Heap = GlobalHeap> class FreeListPool {
public:
  static constexpr std::size_t LARGEST = 1024;
  static constexpr std::size_t KEPT_BYTES = std::size_t(1) << 20;

  FreeListPool(FreeListPool const&) = delete;
  FreeListPool& operator=(FreeListPool const&) = delete;

  static void* take(std::size_t words) {
    if (words <= LARGEST && tState != GONE) {
      FreeListPool& pool = local();
      void*& head = pool.mFree[words];
      if (head != nullptr) {
        void* block = head;
        head = *static_cast<void**>(block);
        pool.mKeptBytes[words] -= words * sizeof(std::uint64_t);
        return block;
      }
    }
    return Heap::allocate(words * sizeof(std::uint64_t));
  }

  static void give(void* block, std::size_t words) {
    if (words <= LARGEST && tState != GONE) {
      FreeListPool& pool = local();
      if (pool.mKeptBytes[words] < KEPT_BYTES) {
        void*& head = pool.mFree[words];
        *static_cast<void**>(block) = head;
        head = block;
        pool.mKeptBytes[words] += words * sizeof(std::uint64_t);
        return;
      }
    }
    Heap::release(block);
  }

  // Gives this thread's blocks of one size back to the heap.
  static void drain(std::size_t words) {
    if (words <= LARGEST && tState == ALIVE)
      local().drainList(words);
  }

private:
  enum State : std::uint8_t { UNUSED, ALIVE, GONE };

  FreeListPool() { tState = ALIVE; }
  ~FreeListPool() {
    tState = GONE;
    for (std::size_t words = 0; words <= LARGEST; ++words)
      drainList(words);
  }

  static FreeListPool& local() {
    thread_local FreeListPool pool;
    return pool;
  }

  void drainList(std::size_t words) {
    void*& head = mFree[words];
    while (head != nullptr) {
      void* next = *static_cast<void**>(head);
      Heap::release(head);
      head = next;
    }
    mKeptBytes[words] = 0;
  }

  // Trivially destructible, so that it still reads GONE once the pool is.
  static thread_local State tState;

  void* mFree[LARGEST + 1] = {};
  std::size_t mKeptBytes[LARGEST + 1] = {};
};

template <class Owner, class Heap>
thread_local typename FreeListPool<Owner, Heap>::State FreeListPool<Owner, Heap>::tState =
    FreeListPool<Owner, Heap>::UNUSED;

} // namespace double_description

#endif
