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

  // Where a live ray goes in the step of the entry's row.
  enum class Filing : std::uint8_t { NONE, POSITIVE, NEGATIVE, ZERO };

  // Empty, for the step of row, with a pattern for each of rays live rays.
  // The patterns of the step cover only the rows before it, so they get only
  // the words those rows need.
  void clear(std::uint16_t row, std::size_t rays) {
    mRow = row;
    const std::uint64_t words = BitList::wordsFor(row);
    const std::uint64_t previous = mMask.wordCount();
    for (RayReferenceContainer* set :
         {&mPosDegenerate, &mPosNondegenerate, &mVerification, &mNegative})
      set->clear();
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
    if (mPatterns.size() < rays) {
      // The live rays grow by a few a step: room for many more at once.
      mPatterns.reserve(std::max(rays, 2 * mPatterns.size()));
      mPatternWords.reserve(mPatterns.capacity());
      while (mPatterns.size() < rays) {
        mPatterns.emplace_back(words);
        mPatternWords.emplace_back(0, 0);
      }
    }
  }

  // Files a live ray, the slot-th of the step, by its sign on the entry's
  // row: positive into a positive set (degenerate ones also into the
  // verification set), negative into the negative set (degenerate ones also
  // into the verification set), zero into the verification set when zeroToo.
  void insert(std::size_t slot, R const* ray, bool zeroToo) {
    const Filing filing = filingOf(*ray, zeroToo);
    if (filing != Filing::NONE)
      file(filing, reference(slot, ray));
  }

  Filing filingOf(R const& ray, bool zeroToo) const {
    if (ray.firstNegativeRow() == mRow)
      return Filing::NEGATIVE;
    if (!isZeroOn(ray, mRow))
      return Filing::POSITIVE;
    return zeroToo ? Filing::ZERO : Filing::NONE;
  }

  // The ray with its pattern, written into the slot-th pattern of the step.
  // Slots are apart, so that threads may write different ones at once.
  RayReference reference(std::size_t slot, R const* ray) {
    DD_ASSERT(slot < mPatterns.size());
    const auto words = maskedZeroSetWords(*ray, mMask);
    BitList& pattern = mPatterns[slot];
    auto& held = mPatternWords[slot];
    std::fill(pattern.words() + held.first, pattern.words() + held.second, 0);
    writeMaskedZeroSet(pattern, *ray, mMask);
    held = words;
    return RayReference(ray, pattern, words.first, words.second);
  }

  // Files a reference that filingOf and reference made.
  void file(Filing filing, RayReference ref) {
    DD_ASSERT(ref.bits().noneFrom(mRow));
    switch (filing) {
    case Filing::POSITIVE:
      if (ref.mCardinality == mThreshold + 1) {
        mPosNondegenerate.insert(ref);
      } else {
        mPosDegenerate.insert(ref);
        mVerification.insert(ref);
      }
      break;
    case Filing::NEGATIVE:
      mNegative.insert(ref);
      if (ref.mCardinality > mThreshold + 1)
        mVerification.insert(ref);
      break;
    case Filing::ZERO:
      mVerification.insert(ref);
      break;
    case Filing::NONE:
      break;
    }
  }

private:
  // One pattern per live ray of the step, in filing order; each is zero
  // outside its mPatternWords, so that a step clears and writes only the
  // words its ray occupies instead of allocating and clearing whole
  // patterns. Steps of one word count reuse them.
  std::vector<BitList> mPatterns;
  std::vector<std::pair<std::uint64_t, std::uint64_t>> mPatternWords;
};

} // namespace double_description

#endif
