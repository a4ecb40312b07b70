#include "core/DDRoundedQuotient.h"

#include "NearestDouble.h"

#include <gtest/gtest.h>

#include <gmpxx.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>

using namespace double_description;

namespace {

mpz_class pow2(unsigned long k) { return mpz_class(1) << k; }

mpz_class pow10(unsigned long k) {
  mpz_class p;
  mpz_ui_pow_ui(p.get_mpz_t(), 10, k);
  return p;
}

// Equal as bit patterns: -0 differs from 0.
std::uint64_t bitsOf(double x) {
  std::uint64_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  return bits;
}

std::string shown(double x) {
  char text[64];
  std::snprintf(text, sizeof text, "%a", x);
  return text;
}

} // namespace

TEST(RoundedQuotientTest, HardCasesInEverySignAndScale) {
  const double inf = std::numeric_limits<double>::infinity();
  const double tiny = std::numeric_limits<double>::denorm_min();
  const mpz_class beyond63("12157665459056928801");
  const struct {
    const char* name;
    mpz_class numerator;
    mpz_class denominator;
    double expected;
  } cases[] = {
      {"1/3 rounds down", 1, 3, 0x1.5555555555555p-2},
      {"2/3 rounds down", 2, 3, 0x1.5555555555555p-1},
      {"10/3 rounds up", 10, 3, 0x1.aaaaaaaaaaaabp+1},
      {"2^53+1 ties to the even 2^53", pow2(53) + 1, 1, 0x1p53},
      {"2^53+3 ties to the even 2^53+4", pow2(53) + 3, 1, 0x1p53 + 4},
      {"a hair above a tie rounds up", (pow2(53) + 1) * pow2(60) + 1, pow2(60), 0x1p53 + 2},
      {"a hair below a tie rounds down", (pow2(53) + 1) * pow2(60) - 1, pow2(60), 0x1p53},
      {"huge operands, quotient near 1", pow10(400) + 1, pow10(400), 1.0},
      {"huge operands, quotient 10/3", pow10(400), 3 * pow10(399), 0x1.aaaaaaaaaaaabp+1},
      {"entries beyond 2^63", beyond63, beyond63, 1.0},
      {"2^1024 overflows", pow2(1024), 1, inf},
      {"the tie above the largest double overflows", pow2(1024) - pow2(970), 1, inf},
      {"just below that tie is the largest double", pow2(1024) - pow2(970) - 1, 1,
       std::numeric_limits<double>::max()},
      {"the smallest subnormal", 1, pow2(1074), tiny},
      {"half the smallest subnormal ties to 0", 1, pow2(1075), 0.0},
      {"a hair above that half", pow2(80) + 1, pow2(1155), tiny},
      {"three quarters of the smallest subnormal", 3, pow2(1076), tiny},
      {"the tie below the smallest normal goes up", pow2(53) - 1, pow2(1075),
       std::numeric_limits<double>::min()},
      {"a subnormal keeps its last bit", 5, pow2(1074), 5 * tiny},
      {"far below every subnormal", 1, pow10(400), 0.0},
      {"zero", 0, 7, 0.0},
  };
  const mpz_class scale = pow10(50) + 7;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    for (const mpz_class& factor : {mpz_class(1), scale}) {
      const mpz_class n = c.numerator * factor;
      const mpz_class d = c.denominator * factor;
      // A quotient of nonzero operands keeps its sign, even at 0.
      const double negated = sgn(n) == 0 ? c.expected : -c.expected;
      EXPECT_EQ(shown(roundedQuotient(n, d)), shown(c.expected));
      EXPECT_EQ(bitsOf(roundedQuotient(n, d)), bitsOf(c.expected));
      EXPECT_EQ(bitsOf(roundedQuotient(-n, d)), bitsOf(negated));
      EXPECT_EQ(bitsOf(roundedQuotient(n, -d)), bitsOf(negated));
      EXPECT_EQ(bitsOf(roundedQuotient(-n, -d)), bitsOf(c.expected));
    }
  }
}

// Random quotients of every size against the independent oracle, and exact
// midpoints between two doubles, where only ties to even decides.
TEST(RoundedQuotientTest, AgreesWithTheOracleOnRandomAndMidpointQuotients) {
  gmp_randclass random(gmp_randinit_mt);
  random.seed(20240611);
  std::mt19937 engine(7);
  auto upTo = [&](unsigned long most) {
    return std::uniform_int_distribution<unsigned long>(1, most)(engine);
  };
  for (int i = 0; i < 20000; ++i) {
    const mpz_class n = 1 + random.get_z_bits(upTo(300));
    const mpz_class d = 1 + random.get_z_bits(upTo(300));
    const double expected = nearestDouble(mpq_class(n, d));
    if (expected != 0 && std::fabs(expected) < std::numeric_limits<double>::min())
      continue;
    if (std::isinf(expected) || std::fabs(expected) > std::numeric_limits<double>::max() / 2)
      continue; // the oracle's truncation needs the normal range
    ASSERT_EQ(bitsOf(roundedQuotient(n, d)), bitsOf(expected)) << n << " / " << d;
    ASSERT_EQ(bitsOf(roundedQuotient(-n, d)), bitsOf(-expected)) << "-" << n << " / " << d;
  }
  for (int i = 0; i < 5000; ++i) {
    // An odd 54-bit numerator over a power of two lies halfway between doubles.
    const mpz_class odd = (pow2(52) + random.get_z_bits(52)) * 2 + 1;
    const mpz_class factor = 1 + random.get_z_bits(upTo(200));
    const mpz_class n = odd * factor;
    const mpz_class d = pow2(upTo(200)) * factor;
    const double expected = nearestDouble(mpq_class(n, d));
    ASSERT_EQ(bitsOf(roundedQuotient(n, d)), bitsOf(expected)) << n << " / " << d;
  }
}
