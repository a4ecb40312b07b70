#ifndef DD_NODESTACK_H
#define DD_NODESTACK_H

#include <algorithm>
#include <cstddef>
#include <memory>
#include <type_traits>

namespace double_description {

// The stack of a tree walk. Trees may be as deep as the settings allow, far
// deeper than the call stack could follow; the first N entries live inside
// the object, so walks of trees of ordinary depth allocate nothing.
template <class T, std::size_t N = 64> class NodeStack {
  static_assert(std::is_trivially_copyable_v<T>, "entries are copied as bytes");

public:
  NodeStack() = default;
  NodeStack(NodeStack const&) = delete;
  NodeStack& operator=(NodeStack const&) = delete;

  bool empty() const { return mSize == 0; }
  void push(T const& entry) {
    if (mSize == mCapacity)
      grow();
    mData[mSize++] = entry;
  }
  T pop() { return mData[--mSize]; }

private:
  void grow() {
    auto larger = std::make_unique<T[]>(2 * mCapacity);
    std::copy(mData, mData + mSize, larger.get());
    mCapacity *= 2;
    mHeap = std::move(larger);
    mData = mHeap.get();
  }

  T mInline[N];
  T* mData = mInline;
  std::size_t mSize = 0;
  std::size_t mCapacity = N;
  std::unique_ptr<T[]> mHeap;
};

} // namespace double_description

#endif
