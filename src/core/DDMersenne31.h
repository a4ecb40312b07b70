#ifndef DD_MERSENNE31_H
#define DD_MERSENNE31_H

#include <cstdint>

#include "core/DDAssert.h"

namespace double_description {

// Arithmetic in the field of the Mersenne prime P = 2^31 - 1 on residues in
// [0, P). Since 2^31 = 1 (mod P), a reduction only folds the high bits onto
// the low ones, and a product of two residues fits 62 bits.
struct Mersenne31 {
  static constexpr std::uint32_t P = 0x7fffffffu;
  __extension__ typedef unsigned __int128 Wide;

  // x mod P for every 64-bit x.
  static std::uint32_t reduce(std::uint64_t x) {
    x = (x & P) + (x >> 31); // below 2^33 + 2^31
    x = (x & P) + (x >> 31); // below 2^31 + 5
    return static_cast<std::uint32_t>(x >= P ? x - P : x);
  }
  // x mod P for every 128-bit x: 2^64 = 4 (mod P).
  static std::uint32_t reduce(Wide x) {
    const auto low = static_cast<std::uint64_t>(x);
    const auto high = static_cast<std::uint64_t>(x >> 64);
    return reduce(static_cast<std::uint64_t>(reduce(low)) +
                  4 * static_cast<std::uint64_t>(reduce(high)));
  }
  // The residue of v, for every v above -2^63.
  static std::uint32_t of(std::int64_t v) {
    DD_ASSERT(v != INT64_MIN);
    if (v >= 0)
      return reduce(static_cast<std::uint64_t>(v));
    const std::uint32_t r = reduce(static_cast<std::uint64_t>(-v));
    return r == 0 ? 0 : P - r;
  }
  static std::uint32_t mul(std::uint32_t a, std::uint32_t b) {
    return reduce(static_cast<std::uint64_t>(a) * b);
  }
  // a * x - b * y.
  static std::uint32_t mulSub(std::uint32_t a, std::uint32_t x, std::uint32_t b, std::uint32_t y) {
    // P^2 + a x - b y is positive and below 2^63.
    return reduce(std::uint64_t(P) * P + static_cast<std::uint64_t>(a) * x -
                  static_cast<std::uint64_t>(b) * y);
  }
  // x - b * y.
  static std::uint32_t subMul(std::uint32_t x, std::uint32_t b, std::uint32_t y) {
    return reduce(std::uint64_t(P) * P + x - static_cast<std::uint64_t>(b) * y);
  }
  static std::uint32_t negate(std::uint32_t a) { return a == 0 ? 0 : P - a; }
  // The inverse of a nonzero residue, by the extended Euclidean algorithm.
  static std::uint32_t inverse(std::uint32_t a) {
    DD_ASSERT(a != 0 && a < P);
    std::int64_t t = 0, nextT = 1;
    std::uint32_t r = P, nextR = a;
    while (nextR != 0) {
      const std::uint32_t q = r / nextR;
      const std::int64_t t2 = t - static_cast<std::int64_t>(q) * nextT;
      t = nextT;
      nextT = t2;
      const std::uint32_t r2 = r - q * nextR;
      r = nextR;
      nextR = r2;
    }
    return static_cast<std::uint32_t>(t < 0 ? t + P : t);
  }
};

} // namespace double_description

#endif
