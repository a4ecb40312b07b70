// The checked 64-bit arithmetic of the kernels that try machine integers
// first, at the edges where a value stops fitting: every operation either
// gives the exact value or says that it does not fit, never a wrapped one.
#include <gtest/gtest.h>

#include <gmpxx.h>

#include <cstdint>
#include <vector>

#include "core/DDArithmetic.h"

using namespace double_description;

namespace {

using Value = MachineArithmetic::Value;

constexpr Value TWO_31 = Value(1) << 31;
constexpr Value TWO_62 = Value(1) << 62;

__extension__ typedef unsigned __int128 WideMagnitude;

mpz_class exact(WideInteger v) {
  const bool negative = v < 0;
  const WideMagnitude magnitude =
      negative ? -static_cast<WideMagnitude>(v) : static_cast<WideMagnitude>(v);
  mpz_class result = static_cast<unsigned long>(magnitude >> 64);
  result <<= 64;
  result += static_cast<unsigned long>(magnitude);
  return negative ? mpz_class(-result) : result;
}

} // namespace

// -2^63 lies in an int64_t but not in the symmetric range.
TEST(MachineArithmetic, NarrowKeepsTheSymmetricRange) {
  const WideInteger MAX = INT64_MAX;
  const struct {
    WideInteger value;
    bool fits;
  } cases[] = {
      {0, true},
      {MAX, true},
      {-MAX, true},
      {MAX + 1, false},
      {-MAX - 1, false},
      {WideInteger(1) << 64, false},
      {-(WideInteger(1) << 64), false},
      {WideInteger(1) << 100, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(exact(c.value).get_str());
    Value out = 17;
    ASSERT_EQ(MachineArithmetic::narrow(c.value, out), c.fits);
    if (c.fits) {
      EXPECT_EQ(exact(out), exact(c.value));
    }
  }
}

// Products within the arithmetic's magnitude on both sides of zero.
TEST(MachineArithmetic, MultiplyStaysWithinTheMagnitude) {
  const struct {
    Value maxMagnitude, a, b;
    bool fits;
  } cases[] = {
      {INT64_MAX, 3037000499, 3037000499, true},   // just below 2^63
      {INT64_MAX, TWO_31, Value(1) << 32, false},  // 2^63
      {INT64_MAX, -TWO_31, Value(1) << 32, false}, // -2^63
      {INT64_MAX, -3037000499, 3037000499, true},
      {1000, 10, 100, true},
      {1000, 10, -100, true},
      {1000, -1000, 1, true},
      {1000, 1001, 1, false},
      {1000, -11, 100, false},
      {1000, 1, -1001, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.a) + " * " + std::to_string(c.b) + " within " +
                 std::to_string(c.maxMagnitude));
    const MachineArithmetic arithmetic(c.maxMagnitude);
    Value out = 0;
    ASSERT_EQ(arithmetic.multiply(c.a, c.b, out), c.fits);
    if (c.fits) {
      EXPECT_EQ(exact(out), exact(WideInteger(c.a) * c.b));
    }
  }
}

// Before any bound is given the products are checked: sums whose 64-bit
// remainder looks harmless (0, -2^63, small) are found out, and only the
// listed columns count.
TEST(MachineArithmetic, CheckedProductsNeverWrap) {
  const struct {
    std::vector<Value> row, v;
    std::vector<std::uint16_t> columns;
    bool fits;
  } cases[] = {
      {{TWO_62, TWO_62}, {2, 2}, {0, 1}, false},          // 2^64
      {{TWO_62, TWO_62}, {1, 1}, {0, 1}, false},          // 2^63
      {{-TWO_62, -TWO_62}, {1, 1}, {0, 1}, false},        // -2^63
      {{TWO_62, TWO_62, 3}, {4, 4, 5}, {0, 1, 2}, false}, // 2^65 + 15
      {{TWO_62, TWO_62 - 1}, {1, 1}, {0, 1}, true},       // 2^63 - 1
      {{Value(1) << 40, Value(1) << 40}, {TWO_31, -TWO_31}, {0, 1}, true},
      {{5, TWO_62, 7}, {3, 4, 2}, {0, 2}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.row) + " . " + ::testing::PrintToString(c.v));
    const MachineArithmetic arithmetic;
    Value out = 0;
    const auto count = static_cast<unsigned>(c.columns.size());
    ASSERT_EQ(arithmetic.dot(c.row.data(), c.v.data(), c.columns.data(), count, out), c.fits);
    if (!c.fits)
      continue;
    WideInteger sum = 0;
    for (std::uint16_t j : c.columns)
      sum += WideInteger(c.row[j]) * c.v[j];
    EXPECT_EQ(exact(out), exact(sum));
  }
}

// The bound of the vectors combine() wrote (an or of magnitudes, 1 for unit
// vectors), times the row's, times the count of products, decides whether
// products go unchecked: at every edge of that decision a sum beyond 64 bits
// is found out, and one that fits is exact. The worst case: every entry at
// its bound, all of one sign.
TEST(MachineArithmetic, BoundProductsLeavesOnlySumsThatFitUnchecked) {
  const struct {
    const char* edge;
    Value vectorEntry; // what combine() writes
    bool smallerLater; // a second, small combine() follows
    Value rowEntry;
    unsigned count;
  } cases[] = {
      {"vectors beyond the row", Value(1) << 33, false, TWO_31, 2},
      {"the vector bound is kept", Value(1) << 33, true, TWO_31, 2},
      {"many products", TWO_31 + 1, false, TWO_31, 4},
      {"between 2^63 and 2^64", TWO_31 + 1, false, TWO_31, 2},
      {"fits unchecked", (Value(1) << 20) + 1, false, Value(1) << 20, 3},
      {"one product that fits", TWO_62 + 1, false, 1, 1},
      {"a large unit row", 1, false, TWO_62, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.edge);
    const unsigned n = c.count + 1;
    MachineArithmetic arithmetic;
    // v := v - w * vectorEntry: entry vectorEntry in the first count
    // columns and 1 in the last, so that it has no content to divide out.
    std::vector<Value> v(n, 0), w(n, -1);
    v[n - 1] = 1;
    w[n - 1] = 0;
    ASSERT_TRUE(arithmetic.combine(v.data(), w.data(), 1, c.vectorEntry, n));
    std::vector<Value> expected(n, c.vectorEntry);
    expected[n - 1] = 1;
    ASSERT_EQ(v, expected);
    if (c.smallerLater) {
      std::vector<Value> u = {1, 0}, x = {0, -1};
      ASSERT_TRUE(arithmetic.combine(u.data(), x.data(), 1, 3, 2));
    }
    const std::vector<Value> row(n, c.rowEntry);
    std::vector<std::uint16_t> columns(c.count);
    for (unsigned k = 0; k < c.count; ++k)
      columns[k] = static_cast<std::uint16_t>(k);
    arithmetic.boundProducts(static_cast<std::uint64_t>(c.rowEntry), c.count);
    const mpz_class sum = exact(WideInteger(c.rowEntry) * c.vectorEntry) * c.count;
    Value out = 0;
    const bool fits = arithmetic.dot(row.data(), v.data(), columns.data(), c.count, out);
    ASSERT_EQ(fits, sum <= INT64_MAX) << sum;
    if (fits) {
      EXPECT_EQ(exact(out), sum);
    }
  }
}
