// Whole runs on cones whose entries sit at the edges of the machine integers,
// where the coordinate computation and the algebraic rank test leave their
// 64-bit fast paths for exact arithmetic.

#include "TestFiles.h"
#include "core/ExactTestSupport.h"

#include <gtest/gtest.h>

#include <gmpxx.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

using namespace redivez_test;

namespace {

using Ray = std::vector<mpz_class>;
using Rows = std::vector<std::vector<mpz_class>>;

const char* const ADJACENCY_TESTS[] = {"COMBINATIONAL_TEST", "ALGEBRAIC_TEST",
                                       "PARTITIONED_SETS_TEST"};

std::string settings(const char* test, const char* format) {
  return std::string("AdjacencyTest = ") + test + "\nOutput format = " + format + "\n";
}

// The result lines of the binary.
std::vector<std::string> runRays(const std::string& matrix, const char* test, const char* format) {
  const std::string dir = tempDir("cone");
  const Outcome outcome = runIn(dir, matrix, settings(test, format));
  EXPECT_EQ(outcome.status, 0) << outcome.output;
  return resultLines(dir + "/cone.txt.out");
}

// The same in this process: many runs, no start-up cost.
std::vector<std::string> runRaysInProcess(const std::string& matrix, const char* test,
                                          const char* format) {
  const std::string matrixPath = writeFile("cone.txt", matrix);
  const Outcome outcome = runInProcess({matrixPath, writeFile("run.conf", settings(test, format))});
  EXPECT_EQ(outcome.status, 0) << outcome.output;
  return resultLines(matrixPath + ".out");
}

std::string textOf(Ray const& x) {
  std::string line;
  for (mpz_class const& v : x)
    line += (line.empty() ? "" : " ") + v.get_str();
  return line;
}

// Every extreme ray, by trying the kernel of each d - 1 rows in both
// directions: the oracle for small cones.
std::vector<std::string> bruteForceRays(Rows const& rows, unsigned d) {
  const unsigned m = static_cast<unsigned>(rows.size());
  std::vector<std::string> rays;
  for (unsigned mask = 0; mask < (1u << m); ++mask) {
    if (static_cast<unsigned>(__builtin_popcount(mask)) != d - 1)
      continue;
    Rows face;
    for (unsigned i = 0; i < m; ++i)
      if (mask >> i & 1)
        face.push_back(rows[i]);
    Ray x = kernelRay(face, d);
    if (x.empty())
      continue;
    for (int direction = 0; direction < 2; ++direction) {
      if (std::all_of(rows.begin(), rows.end(),
                      [&](std::vector<mpz_class> const& row) { return dot(row, x) >= 0; }))
        rays.push_back(textOf(x));
      for (mpz_class& v : x)
        v = -v;
    }
  }
  std::sort(rays.begin(), rays.end());
  rays.erase(std::unique(rays.begin(), rays.end()), rays.end());
  return rays;
}

// x lies in the cone, is primitive, and its tight rows have rank d - 1.
void expectExtremeRay(Rows const& rows, unsigned d, Ray const& x) {
  ASSERT_EQ(x.size(), d) << textOf(x);
  mpz_class content = 0;
  for (mpz_class const& v : x)
    content = gcd(content, v);
  EXPECT_EQ(content, 1) << textOf(x);
  Rows tight;
  for (auto const& row : rows) {
    const mpz_class s = dot(row, x);
    EXPECT_GE(sgn(s), 0) << textOf(x);
    if (s == 0)
      tight.push_back(row);
  }
  EXPECT_EQ(rationalRank(tight, d), d - 1) << textOf(x);
}

} // namespace

// -2^63 fits a machine integer but has no negation; the rays are those of the
// same cones with -1 in its place. A row whose content is 2^63 must still be
// made primitive, and a pivot -1 beside it must not divide -2^63 by -1.
TEST(BoundaryEntriesTest, MostNegativeMachineIntegerEntry) {
  const std::string simplicial =
      "begin\n3 3 integer\n-9223372036854775808 0 0\n0 1 0\n0 0 1\nend\n";
  const std::string wedge = "begin\n2 2 integer\n-9223372036854775808 0\n0 1\nend\n";
  const std::string unitPivot =
      "begin\n3 3 integer\n-1 0 0\n0 0 -9223372036854775808\n0 1 0\nend\n";
  const struct {
    const char* name;
    const std::string& matrix;
    const char* format;
    std::vector<std::string> lines;
  } cases[] = {
      {"simplicial, integer", simplicial, "INTEGER_VEC", {"-1 0 0 ", "0 0 1 ", "0 1 0 "}},
      {"simplicial, double", simplicial, "DOUBLE_VEC", {"-1 0 0", "0 0 1", "0 1 0"}},
      {"wedge, integer", wedge, "INTEGER_VEC", {"-1 0 ", "0 1 "}},
      {"wedge, double", wedge, "DOUBLE_VEC", {"-1 0", "0 1"}},
      {"unit pivot, integer", unitPivot, "INTEGER_VEC", {"-1 0 0 ", "0 0 -1 ", "0 1 0 "}},
      {"unit pivot, double", unitPivot, "DOUBLE_VEC", {"-1 0 0", "0 0 -1", "0 1 0"}},
  };
  for (const char* test : ADJACENCY_TESTS)
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(test) + ", " + c.name);
      const std::vector<std::string> lines = runRays(c.matrix, test, c.format);
      ASSERT_EQ(lines.size(), c.lines.size());
      for (std::size_t i = 0; i < lines.size(); ++i) {
        if (std::string(c.format) == "INTEGER_VEC") {
          EXPECT_EQ(lines[i], c.lines[i]);
          continue;
        }
        const std::vector<double> got = numbersOf(lines[i]);
        const std::vector<double> expected = numbersOf(c.lines[i]);
        ASSERT_EQ(got.size(), expected.size()) << lines[i];
        for (std::size_t j = 0; j < got.size(); ++j)
          EXPECT_NEAR(got[j], expected[j], 1e-9) << lines[i];
      }
    }
}

class BoundaryConeTest : public ::testing::TestWithParam<unsigned> {};

// Random small cones with entries at and around +-2^bits (offsets -2..2)
// mixed with small ones. Every ray written under each adjacency test is
// checked exactly and the set is compared with a brute-force enumeration.
// (DOUBLE_VEC lines take their direction from the same exact vectors; their
// least-squares values are not reliable on such ill-conditioned rows.)
TEST_P(BoundaryConeTest, EveryRayIsExactAndNoneIsMissing) {
  const unsigned bits = GetParam();
  std::mt19937_64 rng(bits);
  for (int cone = 0; cone < 150; ++cone) {
    const unsigned d = 2 + cone % 4;
    const unsigned m = d + static_cast<unsigned>(rng() % 4);
    // Drawn again until the matrix has full rank and the cone a ray.
    Rows rows;
    std::vector<std::string> expected;
    while (expected.empty()) {
      rows.assign(m, std::vector<mpz_class>(d));
      for (auto& row : rows) {
        // Half the rows are sparse, so that a lone edge value is often the
        // content of its row.
        const bool sparse = rng() % 2;
        for (mpz_class& v : row)
          v = sparse && rng() % 3 ? mpz_class(0) : boundaryEntry(rng, bits);
      }
      if (rationalRank(rows, d) == d)
        expected = bruteForceRays(rows, d);
    }
    std::string matrix = "begin\n" + std::to_string(m) + " " + std::to_string(d) + " integer\n";
    for (auto const& row : rows)
      matrix += textOf(row) + "\n";
    matrix += "end\n";
    SCOPED_TRACE(matrix);

    for (const char* test : ADJACENCY_TESTS) {
      SCOPED_TRACE(test);
      std::vector<std::string> found;
      for (const std::string& line : runRaysInProcess(matrix, test, "INTEGER_VEC")) {
        const Ray x = parseRay(line);
        expectExtremeRay(rows, d, x);
        found.push_back(textOf(x));
      }
      std::sort(found.begin(), found.end());
      EXPECT_EQ(found, expected);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Edges, BoundaryConeTest, ::testing::Values(31u, 62u, 63u, 64u),
                         [](const ::testing::TestParamInfo<unsigned>& info) {
                           return "Near2To" + std::to_string(info.param);
                         });
