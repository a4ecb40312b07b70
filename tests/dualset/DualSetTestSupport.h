#ifndef DD_DUALSETTESTSUPPORT_H
#define DD_DUALSETTESTSUPPORT_H

// Test-only helpers: an exact checker of the dual-set ray invariants and whole
// in-memory runs of the dual-set generator.

#include "core/DDExtremeRayUncompressor.h"
#include "core/DDMatrix.h"
#include "core/DDRepresentationVector.h"
#include "dualset/DDDualSetRay.h"
#include "dualset/DDDualSetRayGenerator.h"
#include "iteration/ConeSupport.h"
#include "iteration/IterationTestSupport.h"

#include <gtest/gtest.h>

#include <gmpxx.h>

#include <algorithm>
#include <string>
#include <vector>

namespace dualset_test {

using namespace double_description;
using dd_test::bitIndices;

class OpenDualSetGenerator : public DualSetRayGenerator {
public:
  using DualSetRayGenerator::DualSetRayGenerator;
  Cache& cache() { return mRayCache; }
};

// Rows added one by one to a rational echelon form; add() tells whether the
// row was independent of those before it.
class Echelon {
public:
  explicit Echelon(unsigned d) : mColumns(d) {}
  bool add(CalculationVector const& row) {
    std::vector<mpq_class> v(mColumns);
    for (unsigned j = 0; j < mColumns; ++j)
      v[j] = row[j];
    for (std::size_t e = 0; e < mRows.size(); ++e) {
      const unsigned p = mPivots[e];
      if (sgn(v[p]) == 0)
        continue;
      const mpq_class f = v[p] / mRows[e][p];
      for (unsigned j = 0; j < mColumns; ++j)
        v[j] -= f * mRows[e][j];
    }
    unsigned p = 0;
    while (p < mColumns && sgn(v[p]) == 0)
      ++p;
    if (p == mColumns)
      return false;
    mRows.push_back(v);
    mPivots.push_back(p);
    return true;
  }
  std::size_t rank() const { return mRows.size(); }

private:
  unsigned mColumns;
  std::vector<std::vector<mpq_class>> mRows;
  std::vector<unsigned> mPivots;
};

// The support rows and the values of a computed certificate, value(0) first.
inline std::vector<unsigned> supportOf(LinearDependenceEntry const& e) {
  std::vector<unsigned> rows;
  for (unsigned i = 0; i < e.supportSize(); ++i)
    rows.push_back(e.supportRow(i));
  return rows;
}
inline std::vector<mpz_class> valuesOf(LinearDependenceEntry const& e) {
  std::vector<mpz_class> values;
  for (unsigned i = 0; i <= e.supportSize(); ++i)
    values.push_back(e.value(i));
  return values;
}

// value(0) * a_r = sum of the support rows' values times their rows, with
// coprime nonzero values, a positive value(0), increasing support rows inside
// primary, and machine values, where kept, equal to the exact ones.
inline void expectValidCertificate(Matrix const& working, LinearDependenceEntry const& e,
                                   unsigned r, BitList const& primary) {
  ASSERT_TRUE(e.isComputed()) << "row " << r;
  EXPECT_EQ(e.row(), r);
  const std::vector<unsigned> support = supportOf(e);
  const std::vector<mpz_class> values = valuesOf(e);
  ASSERT_GT(sgn(values[0]), 0) << "row " << r;
  EXPECT_TRUE(std::is_sorted(support.begin(), support.end()) &&
              std::adjacent_find(support.begin(), support.end()) == support.end());
  EXPECT_TRUE(e.isSupportedBy(primary)) << "row " << r;
  for (unsigned s : support)
    EXPECT_TRUE(primary.test(s)) << "row " << r;
  mpz_class g = 0;
  for (mpz_class const& v : values) {
    EXPECT_NE(sgn(v), 0) << "row " << r;
    mpz_gcd(g.get_mpz_t(), g.get_mpz_t(), v.get_mpz_t());
  }
  EXPECT_EQ(g, 1) << "row " << r;
  if (std::int64_t const* machine = e.machineValues()) {
    for (std::size_t i = 0; i < values.size(); ++i)
      EXPECT_EQ(values[i], mpz_class(static_cast<long>(machine[i]))) << "row " << r;
  }
  for (unsigned j = 0; j < working.getColumns(); ++j) {
    mpz_class sum = 0;
    for (std::size_t i = 0; i < support.size(); ++i)
      sum += values[i + 1] * working.row(support[i])[j];
    EXPECT_EQ(values[0] * working.row(r)[j], sum) << "row " << r << " column " << j;
  }
}

// The support mask of a ray's certificate names exactly the support rows, by
// their rank among the ray's primary rows.
inline void expectMatchingMask(DualSetRay const& ray, unsigned r) {
  LinearDependenceEntry const* e = ray.dependency(r);
  std::uint64_t const* mask = ray.supportMask(r);
  const std::vector<unsigned> support = supportOf(*e);
  unsigned t = 0;
  std::vector<unsigned> named;
  ray.primary().forEachSetBit([&](std::uint64_t row) {
    if (mask[t / 64] >> (t % 64) & 1)
      named.push_back(static_cast<unsigned>(row));
    ++t;
  });
  for (unsigned w = 0; w < ray.maskWords(); ++w)
    for (unsigned b = 0; b < 64; ++b)
      if (64 * w + b >= t && (mask[w] >> b & 1))
        named.push_back(~0u); // a bit beyond the primary rows
  EXPECT_EQ(named, support) << "row " << r;
}

// Every invariant of a dual-set ray, and that its zero set holds exactly the
// rows up to its first negative one on which its coordinates vanish.
inline void expectConsistent(Matrix const& working, DualSetRay const& ray) {
  const unsigned m = working.getRowCount(), d = working.getColumns();
  ASSERT_EQ(ray.primary().countAnd(ray.secondary()), 0u);
  EXPECT_EQ(ray.primary().count(), d - 1);

  ExtremeRayUncompressor uncompressor(m, d, (m + 63) / 64);
  RepresentationVector x(d);
  uncompressor.calcExtremeRay(working, ray.primary(), x);
  bool negativeSeen = false;
  unsigned firstNegative = m;
  Echelon echelon(d);
  for (unsigned k = 0; k < m; ++k) {
    mpz_class product;
    x.calcScalarProduct(working.row(k), product);
    if (sgn(product) < 0 && !negativeSeen && k > ray.creationRow())
      firstNegative = k;
    negativeSeen = negativeSeen || sgn(product) < 0;
    const bool primary = ray.primary().test(k);
    const bool secondary = ray.secondary().test(k);
    ASSERT_EQ(primary || secondary, !negativeSeen && sgn(product) == 0) << "row " << k;
    if (!primary && !secondary)
      continue;
    EXPECT_EQ(echelon.add(working.row(k)), primary) << "greedy basis, row " << k;
    if (secondary) {
      ASSERT_GE(k, d);
      LinearDependenceEntry const* e = ray.dependency(k);
      EXPECT_GT(e->referenceCount(), 0u);
      expectValidCertificate(working, *e, k, ray.primary());
      expectMatchingMask(ray, k);
    }
  }
  EXPECT_EQ(ray.firstNegativeRow(), firstNegative);
}

// Coordinates of the rays from their primary sets, as the integer writer
// computes them.
inline std::vector<std::string> coordinateLines(Matrix const& working,
                                                std::vector<DualSetRay const*> const& rays) {
  return dd_test::coordinateLines(
      working, rays, [](DualSetRay const& ray) -> BitList const& { return ray.primary(); });
}

// The default settings of a partitioned-sets run.
inline RunSettings partitionedSets() { return dd_test::settingsWith(PARTITIONED_SETS_TEST); }

// A whole run; the final rays' invariants are checked when asked.
inline std::vector<std::string> runDualSet(Matrix const& working, RunSettings const& settings,
                                           bool check = false, std::string* console = nullptr) {
  const Matrix base = dd_test::identity(working.getColumns());
  OpenDualSetGenerator generator(working, working, base, settings);
  testing::internal::CaptureStdout();
  generator.calculateBase();
  generator.run();
  const std::string out = testing::internal::GetCapturedStdout();
  if (console != nullptr)
    *console = out;
  if (check)
    for (DualSetRay const* ray : generator.cache().mFinalRays)
      expectConsistent(working, *ray);
  return coordinateLines(working, generator.cache().mFinalRays);
}

} // namespace dualset_test

#endif
