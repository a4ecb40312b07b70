#ifndef DD_BITSELECTOR_H
#define DD_BITSELECTOR_H

#include <cstdint>
#include <deque>
#include <vector>

#include "core/DDAssert.h"
#include "core/DDBitList.h"
#include "trees/DDBitSelectStrategy.h"

namespace double_description {

// Walks a strategy's bit order along the recursion of the tree builder: every
// level continues after its parent's bit and takes the first bit that splits.
class BitSelector final {
public:
  explicit BitSelector(BitSelectStrategy const& strategy)
      : mPosition(0), mMapping(strategy.createMapping()) {}

  // Is position i to be skipped for the candidate bits? The last position never is.
  virtual bool select(unsigned int i, BitList const& bits) const;

  // Saves the position, then returns the next bit that splits (the last bit of
  // the order if none does before it), or 0 at the end of the order.
  std::uint32_t getNextBit(BitList const& bits);
  // Would getNextBit find a bit? Changes nothing.
  bool checkNextBit(BitList const& bits) const;
  // Back to the position saved by the last getNextBit: its level is closed.
  void restore() {
    DD_ASSERT(!mHistory.empty());
    mPosition = mHistory.back();
    mHistory.pop_back();
  }

  // The next position of the order to examine.
  std::uint32_t position() const { return mPosition; }
  std::vector<unsigned int> const& mapping() const { return mMapping; }
  // One saved position per open level.
  std::deque<unsigned int> const& history() const { return mHistory; }

private:
  std::uint32_t mPosition;
  std::vector<unsigned int> mMapping;
  std::deque<unsigned int> mHistory;
};

} // namespace double_description

#endif
