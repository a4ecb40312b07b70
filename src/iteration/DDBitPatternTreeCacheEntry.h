#ifndef DD_BITPATTERNTREECACHEENTRY_H
#define DD_BITPATTERNTREECACHEENTRY_H

#include "core/DDAssert.h"
#include "core/DDBitList.h"
#include "core/DDRayReference.h"
#include "core/DDRayReferenceContainer.h"
#include "core/DDSingleSetRay.h"

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

namespace double_description {

// The words outside which maskedZeroSet(ray, mask) has no bit; other ray
// types may supply their own overload in this namespace.
template <class R>
std::pair<std::uint64_t, std::uint64_t> maskedZeroSetWords(R const&, BitList const& mask) {
  return {0, mask.wordCount()};
}
inline std::pair<std::uint64_t, std::uint64_t> maskedZeroSetWords(SingleSetRay const& ray,
                                                                  BitList const& mask) {
  const std::uint64_t end = std::min<std::uint64_t>(ray.mZeroEndWord, mask.wordCount());
  return {std::min<std::uint64_t>(ray.mZeroFirstWord, end), end};
}

// A ray's zero set restricted to the rows of mask, over the mask's words.
// Other ray types supply their own overload in this namespace.
inline BitList maskedZeroSet(SingleSetRay const& ray, BitList const& mask) {
  DD_ASSERT(ray.mActiveSet.wordCount() >= mask.wordCount());
  BitList pattern(mask.wordCount());
  const auto words = maskedZeroSetWords(ray, mask);
  for (std::uint64_t w = words.first; w < words.second; ++w)
    pattern.words()[w] = mask.words()[w] & ray.mActiveSet.words()[w];
  return pattern;
}

// Writes maskedZeroSet(ray, mask) into pattern, of the mask's words and all
// zero; other ray types may supply their own overload in this namespace.
template <class R> void writeMaskedZeroSet(BitList& pattern, R const& ray, BitList const& mask) {
  pattern = maskedZeroSet(ray, mask);
}
inline void writeMaskedZeroSet(BitList& pattern, SingleSetRay const& ray, BitList const& mask) {
  DD_ASSERT(pattern.wordCount() == mask.wordCount() && pattern.none());
  const auto words = maskedZeroSetWords(ray, mask);
  for (std::uint64_t w = words.first; w < words.second; ++w)
    pattern.words()[w] = mask.words()[w] & ray.mActiveSet.words()[w];
}

// Whether a ray is zero on a row after the one that created it.
inline bool isZeroOn(SingleSetRay const& ray, unsigned row) { return ray.mActiveSet.test(row); }

// Starts loading the words of the zero set that filing the ray for the step
// of row reads first.
inline void prefetchZeroSet(SingleSetRay const& ray, unsigned row) {
  ray.mActiveSet.prefetchBit(0);
  ray.mActiveSet.prefetchBit(row);
}

// The rays the step of one row needs, each referenced with its zero set among
// the rows before that row.
template <class R> class BitPatternTreeCacheEntry {
public:
  std::uint16_t mRowCount;
  std::uint16_t mRow;
  std::uint16_t mWordCount;
  std::uint32_t mThreshold;
  RayReferenceContainer mPosDegenerate;
  RayReferenceContainer mPosNondegenerate;
  RayReferenceContainer mVerification;
  RayReferenceContainer mNegative;
  BitList mMask;

  BitPatternTreeCacheEntry(std::uint16_t rowCount, std::uint32_t threshold)
      : mRowCount(rowCount), mRow(0),
        mWordCount(static_cast<std::uint16_t>(BitList::wordsFor(rowCount))), mThreshold(threshold),
        mMask(mWordCount) {}

  BitPatternTreeCacheEntry(BitPatternTreeCacheEntry const&) = delete;
  BitPatternTreeCacheEntry& operator=(BitPatternTreeCacheEntry const&) = delete;

  // Empty, for the step of row with room for the patterns of rays rays.
  // The patterns of the step cover only the rows before it, so they get only
  // the words those rows need.
  void clear(std::uint16_t row, std::size_t rays) {
    mRow = row;
    const std::uint64_t words = BitList::wordsFor(row);
    const std::uint64_t previous = mMask.wordCount();
    for (RayReferenceContainer* set :
         {&mPosDegenerate, &mPosNondegenerate, &mVerification, &mNegative})
      set->clear();
    mPatternCount = 0;
    if (previous != words) {
      mPatterns.clear();
      mPatternWords.clear();
      mMask = BitList(words);
      // Rows only grow: the patterns, trees and candidates of later steps
      // have more words, and the arrays kept for the old size would stay
      // unused until the end of the run.
      BitList::releasePooled(previous);
    }
    mMask.setFirst(row);
    mPatterns.reserve(rays);
  }

  // Files a live ray by its sign on the entry's row: positive into a
  // positive set (degenerate ones also into the verification set), negative
  // into the negative set (degenerate ones also into the verification set),
  // zero into the verification set when zeroToo.
  void insert(R const* ray, bool zeroToo) {
    if (ray->firstNegativeRow() == mRow)
      insertNegative(ray);
    else if (!isZeroOn(*ray, mRow))
      insertPositive(ray);
    else if (zeroToo)
      insertZero(ray);
  }

  void insertPositive(R const* ray) {
    RayReference ref = reference(ray);
    DD_ASSERT(ref.bits().noneFrom(mRow));
    if (ref.mCardinality == mThreshold + 1) {
      mPosNondegenerate.insert(std::move(ref));
    } else {
      mPosDegenerate.insert(ref);
      mVerification.insert(std::move(ref));
    }
  }

  void insertNegative(R const* ray) {
    RayReference ref = reference(ray);
    DD_ASSERT(ref.bits().noneFrom(mRow));
    if (ref.mCardinality > mThreshold + 1) {
      mNegative.insert(ref);
      mVerification.insert(std::move(ref));
    } else {
      mNegative.insert(std::move(ref));
    }
  }

  void insertZero(R const* ray) { mVerification.insert(reference(ray)); }

private:
  // The ray's pattern in this step, kept for the step's references.
  BitList const& pattern(R const& ray) {
    // Within the reserved room, so no earlier pattern moves.
    DD_ASSERT(mPatternCount < mPatterns.capacity());
    const auto words = maskedZeroSetWords(ray, mMask);
    if (mPatternCount == mPatterns.size()) {
      mPatterns.push_back(maskedZeroSet(ray, mMask));
      mPatternWords.push_back(words);
      return mPatterns[mPatternCount++];
    }
    BitList& slot = mPatterns[mPatternCount];
    auto& held = mPatternWords[mPatternCount];
    std::fill(slot.words() + held.first, slot.words() + held.second, 0);
    writeMaskedZeroSet(slot, ray, mMask);
    held = words;
    return mPatterns[mPatternCount++];
  }

  // The ray with its pattern, which only its nonzero words are read for.
  RayReference reference(R const* ray) {
    const auto words = maskedZeroSetWords(*ray, mMask);
    return RayReference(ray, pattern(*ray), words.first, words.second);
  }

  // The patterns of the step come first; those after mPatternCount are kept
  // from earlier steps of the same word count, zero outside mPatternWords,
  // so that a step clears and writes only the words its rays occupy
  // instead of allocating and clearing whole patterns.
  std::vector<BitList> mPatterns;
  std::vector<std::pair<std::uint64_t, std::uint64_t>> mPatternWords;
  std::size_t mPatternCount = 0;
};

} // namespace double_description

#endif
