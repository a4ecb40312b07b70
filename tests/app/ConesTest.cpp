#include "app/DDInput.h"

#include "NearestDouble.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <gmpxx.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

using namespace double_description;

namespace {

const std::string CONES_DIR = REDIVEZ_CONES_DIR;

using IntegerRay = std::vector<mpz_class>;

// The zero set of x over the processing order, as the active-set line shows it.
std::string zeroSetLine(const Matrix& matrix, const IntegerRay& x) {
  const unsigned m = matrix.getRowCount();
  std::string line(64 * ((m + 63) / 64), '0');
  mpz_class product;
  for (unsigned k = 0; k < m; ++k) {
    product = 0;
    for (std::size_t j = 0; j < x.size(); ++j)
      product += matrix.row(k)[j] * x[j];
    if (product == 0)
      line[k] = '1';
  }
  return line;
}

// The double format's line of x: each coordinate over the magnitude of the
// first nonzero one, as the nearest double in the stream's default format.
std::string scaledLine(const IntegerRay& x) {
  mpz_class lead;
  for (const mpz_class& v : x)
    if (v != 0) {
      lead = abs(v);
      break;
    }
  std::ostringstream line;
  for (const mpz_class& v : x)
    line << (v == 0 ? 0.0 : nearestDouble(mpq_class(v, lead))) << " ";
  return line.str();
}

class ConesTest : public ::testing::TestWithParam<const char*> {};

} // namespace

// Runs as a user would, in every format, and compares with the reference rays.
TEST_P(ConesTest, ResultFilesAgreeWithReferenceRays) {
  const std::string name = GetParam();
  // The project keeps copies of the public-domain instances for plain clones.
  const std::string cones = access((CONES_DIR + "/" + name + ".txt").c_str(), R_OK) == 0
                                ? CONES_DIR
                                : std::string(REDIVEZ_TEST_DATA_DIR) + "/cones";
  const std::string matrixPath = cones + "/" + name + ".txt";
  const std::string raysPath = cones + "/" + name + ".rays";
  const bool packed = access(raysPath.c_str(), R_OK) != 0;
  if (access(matrixPath.c_str(), R_OK) != 0 ||
      (packed && access((raysPath + ".gz").c_str(), R_OK) != 0))
    GTEST_SKIP() << "no reference cone " << name;

  const std::string dir = tempDir("cone");
  std::ofstream(dir + "/cone.txt") << readFile(matrixPath);
  if (packed) {
    const std::string unpack = "gzip -dc '" + raysPath + ".gz' > '" + dir + "/reference.rays'";
    ASSERT_EQ(std::system(unpack.c_str()), 0);
  }
  std::vector<std::string> reference =
      linesOf(readFile(packed ? dir + "/reference.rays" : raysPath));
  std::sort(reference.begin(), reference.end());
  const Input input((dir + "/cone.txt").c_str());
  const Matrix& processing = input.mOriginalMatrix;

  for (const char* test : {"COMBINATIONAL_TEST", "ALGEBRAIC_TEST", "PARTITIONED_SETS_TEST"}) {
    SCOPED_TRACE(test);
    auto run = [&](const char* format) {
      std::ofstream(dir + "/run.conf") << "AdjacencyTest = " << test << "\n"
                                       << "Output format = " << format << "\n";
      EXPECT_EQ(runBinary("cone.txt run.conf", dir).status, 0) << format;
      return resultLines(dir + "/cone.txt.out");
    };

    const std::vector<std::string> integers = run("INTEGER_VEC");
    std::vector<IntegerRay> rays;
    std::vector<std::string> found;
    for (const std::string& line : integers) {
      ASSERT_EQ(line.back(), ' ') << line;
      found.push_back(line.substr(0, line.size() - 1));
      rays.push_back(parseRay(line));
    }
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, reference);

    const std::vector<std::string> activeSets = run("ACTIVE_SET");
    ASSERT_EQ(activeSets.size(), rays.size());
    for (std::size_t i = 0; i < rays.size(); ++i)
      ASSERT_EQ(activeSets[i], zeroSetLine(processing, rays[i])) << "ray " << i;

    const std::vector<std::string> doubles = run("DOUBLE_VEC");
    ASSERT_EQ(doubles.size(), rays.size());
    for (std::size_t i = 0; i < rays.size(); ++i)
      ASSERT_EQ(doubles[i], scaledLine(rays[i])) << "ray " << i << ": " << integers[i];
  }
}

// The reference instances that run in seconds.
INSTANTIATE_TEST_SUITE_P(
    Reference, ConesTest,
    ::testing::Values("4ti2_magic4x4", "cross_6", "cube_6", "cube_14", "cyclic_dual_20_4",
                      "cyclic_dual_24_10", "cyclic_dual_40_6", "metcone_5", "metpoly_5",
                      "nmz_A443_facets", "nmz_Condorcet", "nmz_FortuneCookie_facets",
                      "nmz_PluralityVsCutoff", "nmz_big_facets", "nmz_hickerson16",
                      "nmz_knapsack_11_60", "nmz_max_polytope_cand", "nmz_medium_facets",
                      "nmz_small_facets", "nmz_small_sh_proj", "nmz_strictBorda", "prodsimplex_5x5",
                      "rand01_dual_8_40", "rand_cone_150_6", "rand_poly_200_5",
                      "rand_poly_deg_120_7", "rand_poly_rat_50_6"),
    [](const ::testing::TestParamInfo<const char*>& info) { return std::string(info.param); });
