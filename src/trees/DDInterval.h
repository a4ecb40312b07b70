#ifndef DD_INTERVAL_H
#define DD_INTERVAL_H

#include <cstdint>

namespace double_description {

// A closed range of counts; empty while mLow > mHigh.
struct Interval {
  bool isEmpty() const { return mLow > mHigh; }
  void reset() {
    mLow = 1;
    mHigh = 0;
  }
  void widen(std::uint32_t x) {
    if (isEmpty()) {
      mLow = x;
      mHigh = x;
    } else if (x > mHigh) {
      mHigh = x;
    } else if (x < mLow) {
      mLow = x;
    }
  }

  std::uint32_t mLow = 1;
  std::uint32_t mHigh = 0;
};

} // namespace double_description

#endif
