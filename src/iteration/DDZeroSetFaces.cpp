#include "iteration/DDZeroSetFaces.h"

#include "core/DDBitOps.h"

#include <algorithm>

namespace double_description {

void ZeroSetFaces::setZeroSet(BitList const& zero) {
  mZero = &zero;
  mFirstWord = zero.wordCount();
  mEndWord = 0;
  mSlotRows.clear();
  for (std::uint64_t w = 0; w < zero.wordCount(); ++w)
    if (const std::uint64_t bits = zero.words()[w]) {
      mFirstWord = std::min(mFirstWord, w);
      mEndWord = w + 1;
      forEachSetBitOf(bits, 64 * w,
                      [&](std::uint64_t r) { mSlotRows.push_back(static_cast<unsigned>(r)); });
    }
  mMaskWords = static_cast<unsigned>(BitList::wordsFor(mSlotRows.size()));
  mRows.clear();
  mTotalRows = 0;
  mMasks.clear();
  mFacesPerSlot.clear();
  mShort.clear();
}

void ZeroSetFaces::add(BitList const& face) {
  const std::size_t at = mMasks.size();
  mMasks.resize(at + mMaskWords);
  std::uint64_t* out = &mMasks[at];
  std::uint64_t const* zero = mZero->words();
  const std::uint64_t end = std::min(mEndWord, face.wordCount());
  unsigned base = 0;
  unsigned rows = 0;
  for (std::uint64_t w = mFirstWord; w < end; ++w) {
    const std::uint64_t bits = face.words()[w];
    DD_ASSERT((bits & ~zero[w]) == 0);
    rows += static_cast<unsigned>(__builtin_popcountll(bits));
    forEachSetBitOf(bits, 0, [&](std::uint64_t k) {
      setBit(out, base + countBelowBit(zero[w], std::uint64_t(1) << k));
    });
    base += static_cast<unsigned>(__builtin_popcountll(zero[w]));
  }
  mRows.push_back(static_cast<std::uint16_t>(rows));
  mTotalRows += rows;
}

std::vector<unsigned> const& ZeroSetFaces::facesPerSlot() {
  if (mFacesPerSlot.empty()) {
    mFacesPerSlot.assign(slots(), 0);
    for (unsigned i = 0; i < size(); ++i)
      forEachSetBit(mask(i), mMaskWords, [&](std::uint64_t s) { ++mFacesPerSlot[s]; });
  }
  return mFacesPerSlot;
}

std::vector<unsigned> const& ZeroSetFaces::order() {
  mOrder.resize(size());
  for (unsigned i = 0; i < size(); ++i)
    mOrder[i] = i;
  std::stable_sort(mOrder.begin(), mOrder.end(),
                   [&](unsigned a, unsigned b) { return mRows[a] > mRows[b]; });
  return mOrder;
}

bool ZeroSetFaces::withinShortFace(unsigned i) const {
  // A rank test costs about as much as this many word comparisons.
  constexpr std::size_t COMPARED_WORDS = 256;
  std::uint64_t const* face = mask(i);
  const std::size_t most = std::min(mShort.size(), COMPARED_WORDS / mMaskWords + 1);
  for (std::size_t k = 0; k < most; ++k)
    if (isSubset(face, mask(mShort[k]), mMaskWords))
      return true;
  return false;
}

} // namespace double_description
