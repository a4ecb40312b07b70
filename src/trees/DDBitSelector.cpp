#include "trees/DDBitSelector.h"

#include "core/DDBitOps.h"

namespace double_description {

bool BitSelector::select(unsigned int i, BitList const& bits) const {
  if (static_cast<std::uint64_t>(i) + 1 >= mMapping.size())
    return false;
  return !bits.test(mMapping[i]);
}

std::uint32_t BitSelector::getNextBit(BitList const& bits) {
  mHistory.push_back(mPosition);
  while (select(mPosition, bits))
    ++mPosition;
  if (mPosition < mMapping.size())
    return mMapping[mPosition++];
  return 0;
}

bool BitSelector::checkNextBit(BitList const& bits) const {
  std::uint32_t p = mPosition;
  while (select(p, bits))
    ++p;
  return p < mMapping.size();
}

} // namespace double_description
