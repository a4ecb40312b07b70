#include "iteration/DDZeroSetFaces.h"

#include "core/DDBitOps.h"

#include <algorithm>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

namespace double_description {

void ZeroSetFaces::setZeroSet(BitList const& zero, std::uint64_t firstWord, std::uint64_t endWord) {
  DD_ASSERT(endWord <= zero.wordCount());
  mZero = &zero;
  mFirstWord = zero.wordCount();
  mEndWord = 0;
  mSlotRows.clear();
  for (std::uint64_t w = firstWord; w < endWord; ++w)
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
  mShortMasks.clear();
}

namespace {

// Writes the bits of face at the set bits of zero, packed, into out from bit
// base on; returns base plus the bits of zero.
unsigned packWord(std::uint64_t face, std::uint64_t zero, unsigned base, std::uint64_t* out) {
  forEachSetBitOf(face, 0, [&](std::uint64_t k) {
    setBit(out, base + countBelowBit(zero, std::uint64_t(1) << k));
  });
  return base + static_cast<unsigned>(__builtin_popcountll(zero));
}

#if defined(__x86_64__) && defined(__GNUC__)
// The same by the processor's bit extraction, one instruction a word.
__attribute__((target("bmi2"))) void packByExtraction(std::uint64_t const* face,
                                                      std::uint64_t const* zero,
                                                      std::uint64_t first, std::uint64_t end,
                                                      std::uint64_t* out) {
  unsigned base = 0;
  for (std::uint64_t w = first; w < end; ++w) {
    const std::uint64_t bits = _pext_u64(face[w], zero[w]);
    const unsigned shift = base % 64;
    out[base / 64] |= bits << shift;
    const auto n = static_cast<unsigned>(__builtin_popcountll(zero[w]));
    if (shift != 0 && shift + n > 64)
      out[base / 64 + 1] |= bits >> (64 - shift);
    base += n;
  }
}
#endif

} // namespace

bool bitExtractionRuns() {
#if defined(__x86_64__) && defined(__GNUC__)
  // Not on the first two generations of AMD's Zen, which run it in microcode.
  __builtin_cpu_init();
  return __builtin_cpu_supports("bmi2") && !__builtin_cpu_is("znver1") &&
         !__builtin_cpu_is("znver2");
#else
  return false;
#endif
}

void packBits(std::uint64_t const* face, std::uint64_t const* zero, std::uint64_t first,
              std::uint64_t end, std::uint64_t* out, bool extraction) {
#if defined(__x86_64__) && defined(__GNUC__)
  if (extraction) {
    packByExtraction(face, zero, first, end, out);
    return;
  }
#else
  static_cast<void>(extraction);
#endif
  unsigned base = 0;
  for (std::uint64_t w = first; w < end; ++w)
    base = packWord(face[w], zero[w], base, out);
}

void ZeroSetFaces::add(BitList const& face) {
  const std::size_t at = mMasks.size();
  mMasks.resize(at + mMaskWords);
  std::uint64_t* out = &mMasks[at];
  std::uint64_t const* words = face.words();
  const std::uint64_t end = std::min(mEndWord, face.wordCount());
  unsigned rows = 0;
  for (std::uint64_t w = mFirstWord; w < end; ++w) {
    DD_ASSERT((words[w] & ~mZero->words()[w]) == 0);
    rows += static_cast<unsigned>(__builtin_popcountll(words[w]));
  }
  static const bool EXTRACTION = bitExtractionRuns();
  packBits(words, mZero->words(), mFirstWord, end, out, EXTRACTION);
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
  // A counting sort: row counts are at most the slots.
  mStarts.assign(slots() + 2, 0);
  for (unsigned i = 0; i < size(); ++i)
    ++mStarts[slots() - mRows[i] + 1];
  for (unsigned c = 1; c < mStarts.size(); ++c)
    mStarts[c] += mStarts[c - 1];
  mOrder.resize(size());
  for (unsigned i = 0; i < size(); ++i)
    mOrder[mStarts[slots() - mRows[i]]++] = i;
  return mOrder;
}

void ZeroSetFaces::markShort(unsigned i) {
  std::uint64_t const* face = mask(i);
  mShortMasks.insert(mShortMasks.end(), face, face + mMaskWords);
}

namespace {

// Whether face lies within any of masks[0, n), one word each: blocks of
// comparisons without exits, which the compiler widens, and an exit between
// blocks, as the first masks, the largest faces, hold most of those found.
template <class Word>
inline bool withinAnyWordOf(Word face, Word const* masks, std::size_t n) {
  constexpr std::size_t BLOCK = 32;
  std::size_t k = 0;
  for (; k + BLOCK <= n; k += BLOCK) {
    unsigned within = 0;
    for (std::size_t j = 0; j < BLOCK; ++j)
      within |= (face & ~masks[k + j]) == 0;
    if (within != 0)
      return true;
  }
  unsigned within = 0;
  for (; k < n; ++k)
    within |= (face & ~masks[k]) == 0;
  return within != 0;
}

#if defined(__x86_64__) && defined(__GNUC__)
// The same in AVX-512's vectors; picked at run time, as the other wide scans.
__attribute__((target("avx512f"))) bool withinAnyWordAvx512(std::uint64_t face,
                                                            std::uint64_t const* masks,
                                                            std::size_t n) {
  return withinAnyWordOf(face, masks, n);
}
#endif

bool withinAnyWord(std::uint64_t face, std::uint64_t const* masks, std::size_t n) {
#if defined(__x86_64__) && defined(__GNUC__)
  static const bool AVX512 = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f") != 0;
  }();
  if (AVX512)
    return withinAnyWordAvx512(face, masks, n);
#endif
  return withinAnyWordOf(face, masks, n);
}

} // namespace

bool ZeroSetFaces::withinShortFace(unsigned i) const {
  // A rank test costs about as much as this many word comparisons.
  constexpr std::size_t COMPARED_WORDS = 256;
  std::uint64_t const* face = mask(i);
  const std::size_t words = std::min(mShortMasks.size(), COMPARED_WORDS);
  if (mMaskWords == 1)
    return withinAnyWord(face[0], mShortMasks.data(), words);
  for (std::size_t k = 0; k + mMaskWords <= words; k += mMaskWords)
    if (isSubset(face, &mShortMasks[k], mMaskWords))
      return true;
  return false;
}

} // namespace double_description
