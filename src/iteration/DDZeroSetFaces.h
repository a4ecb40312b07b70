#ifndef DD_ZEROSETFACES_H
#define DD_ZEROSETFACES_H

#include "core/DDBitList.h"

#include <cstdint>
#include <vector>

namespace double_description {

// The candidate faces of one negative ray, as masks over the slots of its
// zero set (slot s: the s-th row of the zero set in increasing order), and
// what their rank tests have shown so far. A face within a face short of
// rank d - 2 is short too, as a subset of rows has no more rank than the set:
// tested from the largest down, many faces are settled by a few word
// comparisons instead of a test.
class ZeroSetFaces {
public:
  // Starts over with no face, for faces within zero, whose bits all lie in
  // the words [firstWord, endWord).
  void setZeroSet(BitList const& zero, std::uint64_t firstWord, std::uint64_t endWord);
  void setZeroSet(BitList const& zero) { setZeroSet(zero, 0, zero.wordCount()); }
  // Adds the next face, a subset of the zero set.
  void add(BitList const& face);

  unsigned size() const { return static_cast<unsigned>(mRows.size()); }
  // The rows of the zero set, one per slot.
  unsigned slots() const { return static_cast<unsigned>(mSlotRows.size()); }
  unsigned slotRow(unsigned s) const { return mSlotRows[s]; }
  // Words of a face mask.
  unsigned maskWords() const { return mMaskWords; }
  std::uint64_t const* mask(unsigned i) const {
    return &mMasks[static_cast<std::size_t>(i) * mMaskWords];
  }
  unsigned rows(unsigned i) const { return mRows[i]; }
  // The rows of all faces together.
  std::uint64_t totalRows() const { return mTotalRows; }
  // Per slot, the number of faces with its row.
  std::vector<unsigned> const& facesPerSlot();
  // The faces by decreasing row count, those of one count in the order added:
  // every face comes after the faces it lies in.
  std::vector<unsigned> const& order();

  // Whether face i lies within a face marked short; only a bounded number of
  // comparisons is made, so a false answer proves nothing.
  bool withinShortFace(unsigned i) const;
  // Face i has rank below d - 2.
  void markShort(unsigned i);

private:
  BitList const* mZero = nullptr;
  std::uint64_t mFirstWord = 0;
  std::uint64_t mEndWord = 0;
  unsigned mMaskWords = 1;
  std::vector<unsigned> mSlotRows;
  std::vector<std::uint16_t> mRows;
  std::uint64_t mTotalRows = 0;
  std::vector<std::uint64_t> mMasks;
  std::vector<unsigned> mFacesPerSlot;
  std::vector<unsigned> mStarts; // of each row count in the order
  std::vector<unsigned> mOrder;
  // The masks of the faces marked short, in turn.
  std::vector<std::uint64_t> mShortMasks;
};

// Writes the bits of face at the set bits of zero over the words [first,
// end), packed from bit 0 on, into out, whose bits must be clear: by a loop
// over the bits, or by the processor's bit extraction where
// bitExtractionRuns().
void packBits(std::uint64_t const* face, std::uint64_t const* zero, std::uint64_t first,
              std::uint64_t end, std::uint64_t* out, bool extraction);
bool bitExtractionRuns();

} // namespace double_description

#endif
