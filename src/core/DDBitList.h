#ifndef DD_BITLIST_H
#define DD_BITLIST_H

#include <cstdint>
#include <cstring>
#include <string>

#include "core/DDAssert.h"
#include "core/DDBitOps.h"

namespace double_description {

// A fixed-size bit set of 64-bit words; bit i is bit (i mod 64) of word i / 64.
// Lists of up to INLINE_WORDS words (up to 128 rows) keep their words inside the
// object, so copying them allocates nothing; longer lists own one heap array.
// A list keeps no bit length: a pattern keeps the bits of its last word past
// its rows clear (noneFrom(rows), asserted where patterns are made and in the
// packed trees), as counts, comparisons and scans run over whole words.
class BitList {
public:
  static constexpr std::uint64_t INLINE_WORDS = 2;
  // What the searches return when they find no bit.
  static constexpr std::uint64_t NO_BIT = ~std::uint64_t(0);

  BitList() : mWordCount(1), mWords(mInline) { mInline[0] = 0; }
  explicit BitList(unsigned long n);
  BitList(unsigned long n, unsigned long fill);
  BitList(BitList const& other);
  BitList(BitList&& other) noexcept;
  ~BitList() { release(); }

  BitList& operator=(BitList const& other);
  BitList& operator=(BitList&& other) noexcept;

  // Words needed for bits 0..bits - 1; at least one.
  static constexpr std::uint64_t wordsFor(std::uint64_t bits) {
    return bits == 0 ? 1 : (bits + 63) / 64;
  }

  // Gives the arrays of n words that freed lists left to this thread back to
  // the heap. Those arrays are kept for the next lists of n words; once no
  // more lists of that size will come, they are only held memory.
  static void releasePooled(std::uint64_t n);

  // Set difference over this list's words: this AND NOT other.
  BitList operator-(BitList const& other) const;

  // Keeps the first min(n, wordCount()) words; new words are zero.
  void resize(unsigned long n);

  bool test(std::uint64_t k) const { return testBit(mWords, k); }
  void set(std::uint64_t k) { setBit(mWords, k); }
  void reset(std::uint64_t k) { clearBit(mWords, k); }
  // Clears every bit, keeping the word count.
  void clear() { std::memset(mWords, 0, mWordCount * sizeof(std::uint64_t)); }
  // Bits 0..bits - 1 set, all others clear.
  void setFirst(std::uint64_t bits);
  bool none() const;
  // No bit at or after position bits is set.
  bool noneFrom(std::uint64_t bits) const;

  // Set bits, as the 16-bit count that pattern sizes use everywhere.
  std::uint16_t count() const { return popcount(mWords, mWordCount); }
  // |this AND other| and |this AND NOT other|, over this list's words.
  std::uint16_t countAnd(BitList const& other) const {
    DD_ASSERT(other.mWordCount >= mWordCount);
    return popcountAnd(mWords, other.mWords, mWordCount);
  }
  std::uint16_t countAndNot(BitList const& other) const {
    DD_ASSERT(other.mWordCount >= mWordCount);
    return popcountAndNot(mWords, other.mWords, mWordCount);
  }
  // Set bits below bit k in k's word: with per-word prefix counts, the rank
  // of k among the set bits.
  unsigned countInWordBelow(std::uint64_t k) const {
    DD_ASSERT(k / 64 < mWordCount);
    return countBelowBit(mWords[k / 64], std::uint64_t(1) << (k % 64));
  }
  // Set bits below bit k: the rank of k among the set bits.
  std::size_t countBelow(std::uint64_t k) const {
    DD_ASSERT(k / 64 < mWordCount);
    std::size_t rank = 0;
    for (std::uint64_t w = 0; w < k / 64; ++w)
      rank += static_cast<std::size_t>(__builtin_popcountll(mWords[w]));
    return rank + countInWordBelow(k);
  }
  // The words ORed together: every bit k of the list sets bit k % 64.
  std::uint64_t foldedWords() const {
    std::uint64_t folded = 0;
    for (std::uint64_t w = 0; w < mWordCount; ++w)
      folded |= mWords[w];
    return folded;
  }
  // Starts loading the word that holds bit k.
  void prefetchBit(std::uint64_t k) const { __builtin_prefetch(mWords + k / 64); }
  // |other AND NOT this|, over this list's words.
  std::uint16_t countOutside(BitList const& other) const {
    DD_ASSERT(other.mWordCount >= mWordCount);
    return popcountAndNot(other.mWords, mWords, mWordCount);
  }
  // this is a subset of other, over this list's words.
  bool isSubsetOf(BitList const& other) const {
    DD_ASSERT(other.mWordCount >= mWordCount);
    return isSubset(mWords, other.mWords, mWordCount);
  }
  // other is a subset of this, over this list's words.
  bool contains(BitList const& other) const {
    DD_ASSERT(other.mWordCount >= mWordCount);
    return isSubset(other.mWords, mWords, mWordCount);
  }
  // Equal words over this list's words; other may be longer.
  bool sameWordsAs(BitList const& other) const {
    DD_ASSERT(other.mWordCount >= mWordCount);
    return equalWords(mWords, other.mWords, mWordCount);
  }
  bool operator==(BitList const& other) const {
    return mWordCount == other.mWordCount && equalWords(mWords, other.mWords, mWordCount);
  }
  bool operator!=(BitList const& other) const { return !(*this == other); }

  // In place, word by word; both lists have the same word count.
  BitList& operator&=(BitList const& other);
  BitList& operator|=(BitList const& other);
  BitList& andNot(BitList const& other);
  // this = a AND b, taking a's word count.
  void assignAnd(BitList const& a, BitList const& b);
  // f(w-th word of each list) for every word index w of the first list in
  // turn; the others have at least as many words. Lists passed non-const give
  // their words by reference.
  // One pass computes several set expressions at once where hot loops
  // cannot afford a pass per operator.
  template <class F, class First, class... Rest>
  static void forEachWord(F&& f, First&& first, Rest&&... rest) {
    const std::uint64_t n = first.wordCount();
    DD_ASSERT(((rest.wordCount() >= n) && ...));
    for (std::uint64_t w = 0; w < n; ++w)
      f(first.words()[w], rest.words()[w]...);
  }
  // The first set bit at or after k, or NO_BIT. Loops that clear bits ahead
  // of their cursor step with findNext(k + 1) where forEachSetBit would not
  // see the clearing.
  std::uint64_t findNext(std::uint64_t k) const;
  // The last set bit, or NO_BIT.
  std::uint64_t findLast() const;
  // The first bit set in both lists, over this list's words, or NO_BIT.
  std::uint64_t findFirstAnd(BitList const& other) const;

  // f(k) for every set bit k, in increasing order.
  template <class F> void forEachSetBit(F&& f) const {
    double_description::forEachSetBit(mWords, mWordCount, f);
  }

  // The first set bit k, in increasing order, for which stop(k) holds, or
  // NO_BIT. Later bits are not visited.
  template <class F> std::uint64_t findSetBit(F&& stop) const {
    for (std::uint64_t w = 0; w < mWordCount; ++w)
      for (std::uint64_t bits = mWords[w]; bits != 0; bits &= bits - 1) {
        const std::uint64_t k = 64 * w + static_cast<std::uint64_t>(__builtin_ctzll(bits));
        if (stop(k))
          return k;
      }
    return NO_BIT;
  }

  // The first n bits, '1' or '0' each, bit 0 first.
  std::string toString(unsigned short n) const;
  // Every bit of every word.
  std::string toString() const;

  std::uint64_t wordCount() const { return mWordCount; }
  std::uint64_t* words() { return mWords; }
  const std::uint64_t* words() const { return mWords; }

private:
  bool isInline() const { return mWords == mInline; }
  void release() {
    if (!isInline())
      freeWords(mWords, mWordCount);
  }
  static void freeWords(std::uint64_t* words, std::uint64_t n);
  // Gives the list storage for n words without keeping the old contents.
  void reshape(std::uint64_t n);
  std::string render(std::uint64_t n) const;

  std::uint64_t mWordCount;
  std::uint64_t* mWords;
  std::uint64_t mInline[INLINE_WORDS];
};

inline bool BitList::none() const {
  for (std::uint64_t i = 0; i < mWordCount; ++i)
    if (mWords[i] != 0)
      return false;
  return true;
}

inline bool BitList::noneFrom(std::uint64_t bits) const {
  for (std::uint64_t w = bits / 64; w < mWordCount; ++w) {
    const std::uint64_t tail = w == bits / 64 ? mWords[w] >> (bits % 64) : mWords[w];
    if (tail != 0)
      return false;
  }
  return true;
}

inline std::uint64_t BitList::findNext(std::uint64_t k) const {
  std::uint64_t w = k >> 6;
  if (w >= mWordCount)
    return NO_BIT;
  std::uint64_t bits = mWords[w] & (~std::uint64_t(0) << (k & 63));
  while (bits == 0) {
    if (++w == mWordCount)
      return NO_BIT;
    bits = mWords[w];
  }
  return 64 * w + static_cast<std::uint64_t>(__builtin_ctzll(bits));
}

inline std::uint64_t BitList::findLast() const {
  for (std::uint64_t w = mWordCount; w-- > 0;)
    if (mWords[w] != 0)
      return 64 * w + 63 - static_cast<std::uint64_t>(__builtin_clzll(mWords[w]));
  return NO_BIT;
}

inline std::uint64_t BitList::findFirstAnd(BitList const& other) const {
  DD_ASSERT(other.mWordCount >= mWordCount);
  for (std::uint64_t w = 0; w < mWordCount; ++w)
    if (const std::uint64_t bits = mWords[w] & other.mWords[w])
      return 64 * w + static_cast<std::uint64_t>(__builtin_ctzll(bits));
  return NO_BIT;
}

// The word loops below tell the compiler that the two lists do not overlap,
// so that it vectorises them; a list combined with itself is left alone.

inline BitList& BitList::operator&=(BitList const& other) {
  DD_ASSERT(other.mWordCount == mWordCount);
  if (&other == this)
    return *this;
  std::uint64_t* __restrict out = mWords;
  const std::uint64_t* __restrict in = other.mWords;
  const std::uint64_t n = mWordCount;
  for (std::uint64_t i = 0; i < n; ++i)
    out[i] &= in[i];
  return *this;
}

inline BitList& BitList::operator|=(BitList const& other) {
  DD_ASSERT(other.mWordCount == mWordCount);
  if (&other == this)
    return *this;
  std::uint64_t* __restrict out = mWords;
  const std::uint64_t* __restrict in = other.mWords;
  const std::uint64_t n = mWordCount;
  for (std::uint64_t i = 0; i < n; ++i)
    out[i] |= in[i];
  return *this;
}

inline BitList& BitList::andNot(BitList const& other) {
  DD_ASSERT(other.mWordCount == mWordCount);
  if (&other == this) {
    clear();
    return *this;
  }
  std::uint64_t* __restrict out = mWords;
  const std::uint64_t* __restrict in = other.mWords;
  const std::uint64_t n = mWordCount;
  for (std::uint64_t i = 0; i < n; ++i)
    out[i] &= ~in[i];
  return *this;
}

} // namespace double_description

#endif
