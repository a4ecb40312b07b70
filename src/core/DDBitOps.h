#ifndef DD_BITOPS_H
#define DD_BITOPS_H

#include <cstdint>

// Word-level operations on bit sets held as arrays of 64-bit words. Bit k is
// bit (k mod 64) of word k / 64. Counts are 16-bit, as everywhere a pattern's
// size is used.
namespace double_description {

inline std::uint16_t popcount(const std::uint64_t* words, std::uint64_t n) {
  std::uint16_t count = 0;
  for (std::uint64_t i = 0; i < n; ++i)
    count = static_cast<std::uint16_t>(count + __builtin_popcountll(words[i]));
  return count;
}

inline std::uint16_t popcountAnd(const std::uint64_t* a, const std::uint64_t* b, std::uint64_t n) {
  std::uint16_t count = 0;
  for (std::uint64_t i = 0; i < n; ++i)
    count = static_cast<std::uint16_t>(count + __builtin_popcountll(a[i] & b[i]));
  return count;
}

inline std::uint16_t popcountAndNot(const std::uint64_t* a, const std::uint64_t* b,
                                    std::uint64_t n) {
  std::uint16_t count = 0;
  for (std::uint64_t i = 0; i < n; ++i)
    count = static_cast<std::uint16_t>(count + __builtin_popcountll(a[i] & ~b[i]));
  return count;
}

// a is a subset of b.
inline bool isSubset(const std::uint64_t* a, const std::uint64_t* b, std::uint64_t n) {
  for (std::uint64_t i = 0; i < n; ++i)
    if (a[i] & ~b[i])
      return false;
  return true;
}

// a and b have no bit in common. Branch-free: the masks it serves are short.
inline bool disjoint(const std::uint64_t* a, const std::uint64_t* b, std::uint64_t n) {
  std::uint64_t common = 0;
  for (std::uint64_t i = 0; i < n; ++i)
    common |= a[i] & b[i];
  return common == 0;
}

// Set bits of word below the single set bit of bit.
inline unsigned countBelowBit(std::uint64_t word, std::uint64_t bit) {
  return static_cast<unsigned>(__builtin_popcountll(word & (bit - 1)));
}

// f(k) for every set bit k of the n words, in increasing order.
template <class F> inline void forEachSetBit(const std::uint64_t* words, std::uint64_t n, F&& f) {
  for (std::uint64_t w = 0; w < n; ++w)
    for (std::uint64_t bits = words[w]; bits != 0; bits &= bits - 1)
      f(64 * w + static_cast<std::uint64_t>(__builtin_ctzll(bits)));
}

// f(base + k) for every set bit k of one word, in increasing order.
template <class F> inline void forEachSetBitOf(std::uint64_t word, std::uint64_t base, F&& f) {
  for (; word != 0; word &= word - 1)
    f(base + static_cast<std::uint64_t>(__builtin_ctzll(word)));
}

// The lowest set bit of a nonzero word.
inline unsigned lowestBit(std::uint64_t word) {
  return static_cast<unsigned>(__builtin_ctzll(word));
}

inline bool equalWords(const std::uint64_t* a, const std::uint64_t* b, std::uint64_t n) {
  for (std::uint64_t i = 0; i < n; ++i)
    if (a[i] != b[i])
      return false;
  return true;
}

inline bool testBit(const std::uint64_t* words, std::uint64_t k) {
  return (words[k >> 6] >> (k & 63)) & 1u;
}

inline void setBit(std::uint64_t* words, std::uint64_t k) {
  words[k >> 6] |= std::uint64_t(1) << (k & 63);
}

inline void clearBit(std::uint64_t* words, std::uint64_t k) {
  words[k >> 6] &= ~(std::uint64_t(1) << (k & 63));
}

} // namespace double_description

#endif
