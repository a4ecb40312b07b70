#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "ExactTestSupport.h"
#include "core/DDMachineMatrix.h"

using namespace double_description;
using namespace redivez_test;

namespace {

constexpr std::int64_t MIN = INT64_MIN;
constexpr std::int64_t MAX = INT64_MAX;
constexpr std::uint64_t TWO_63 = std::uint64_t(1) << 63;
constexpr std::int64_t TWO_62 = std::int64_t(1) << 62;

} // namespace

TEST(MachineIntegers, AbsoluteValueAndGcdAtTheEdges) {
  EXPECT_EQ(abs64(MIN), TWO_63);
  EXPECT_EQ(abs64(-MAX), std::uint64_t(MAX));
  EXPECT_EQ(abs64(MAX), std::uint64_t(MAX));
  EXPECT_EQ(abs64(-1), 1u);
  EXPECT_EQ(abs64(0), 0u);

  const struct {
    std::int64_t a, b;
    std::uint64_t gcd;
  } cases[] = {
      {0, 0, 0},
      {MIN, 0, TWO_63},
      {0, MIN, TWO_63},
      {MIN, MIN, TWO_63},
      {MIN, 1, 1},
      {MIN, -1, 1},
      {MIN, MAX, 1},
      {MIN, -MAX, 1},
      {MIN, TWO_62, std::uint64_t(TWO_62)},
      {MIN, -TWO_62, std::uint64_t(TWO_62)},
      {MIN, 6, 2},
      {MIN, 3, 1},
      {MAX, -MAX, std::uint64_t(MAX)},
      {-MAX, 0, std::uint64_t(MAX)},
      {MAX, 98, 49}, // 2^63 - 1 = 7^2 * 73 * 127 * 337 * 92737 * 649657
      {-12, 18, 6},
      {-TWO_62, 3 * (TWO_62 / 2), std::uint64_t(TWO_62 / 2)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(gcd64(c.a, c.b), c.gcd) << c.a << ", " << c.b;
    EXPECT_EQ(gcd64(c.b, c.a), c.gcd) << c.b << ", " << c.a;
  }
}

TEST(MachineIntegers, RemoveContentLeavesEveryRowPrimitive) {
  const struct {
    std::vector<std::int64_t> row, primitive;
  } cases[] = {
      {{MIN, 0, 0}, {-1, 0, 0}},    {{0, MIN, MIN}, {0, -1, -1}}, {{MIN, TWO_62, 0}, {-2, 1, 0}},
      {{MIN, -TWO_62}, {-2, -1}},   {{MIN, 1}, {MIN, 1}},         {{MIN, MAX}, {MIN, MAX}},
      {{MAX, -MAX, 0}, {1, -1, 0}}, {{6, -4, 2}, {3, -2, 1}},     {{0, 0}, {0, 0}},
  };
  for (const auto& c : cases) {
    std::vector<std::int64_t> row = c.row;
    removeContent(row.data(), static_cast<unsigned>(row.size()));
    EXPECT_EQ(row, c.primitive) << ::testing::PrintToString(c.row);
  }
}

// -2^63 has no negation, so a row holding it has no machine form; every
// other value of a long does.
TEST(MachineMatrix, AdmitsOnlyTheSymmetricRange) {
  const struct {
    const char* entry;
    bool fits;
  } cases[] = {
      {"-9223372036854775808", false}, {"-9223372036854775809", false},
      {"9223372036854775808", false},  {"-18446744073709551616", false},
      {"-9223372036854775807", true},  {"9223372036854775807", true},
      {"-4611686018427387904", true},  {"0", true},
  };
  for (const auto& c : cases) {
    Matrix m;
    m.insert(vec({1, 2, 3}));
    CalculationVector row = vec({0, 1, 0});
    row[2] = mpz_class(c.entry);
    m.insert(row);
    const MachineMatrix machine(m);
    ASSERT_NE(machine.row(0), nullptr) << c.entry;
    EXPECT_EQ(machine.row(1) != nullptr, c.fits) << c.entry;
    if (c.fits) {
      EXPECT_EQ(mpz_class(machine.row(1)[2]), row[2]) << c.entry;
    }
  }
}
