#include "DualSetTestSupport.h"

#include "dualset/DDLinearDependenceCache.h"
#include "iteration/IterationTestSupport.h"

#include <algorithm>
#include <random>

namespace dualset_test {
namespace {

using dd_test::bitsOf;
using dd_test::matrixOf;

// d = 3; rows 3 and 5 depend on the basis in several ways.
class CertificateStoreTest : public ::testing::Test {
protected:
  Matrix mWorking = matrixOf({{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {2, 0, 0}, {1, -1, 0}, {1, 1, 0}});
  LinearDependenceCache mCache{mWorking};

  // One ray's worth of lookups, counted as the rays count them.
  std::vector<LinearDependenceEntry*> lookUp(BitList const& primary,
                                             std::vector<unsigned> const& rows) {
    std::vector<LinearDependenceEntry*> found;
    for (unsigned r : rows) {
      found.push_back(mCache.getLinearDependenceEntry(primary, r));
      found.back()->addReference();
    }
    mCache.update();
    return found;
  }
  std::size_t patternCount(unsigned r) const { return mCache.certificatesOf(r).patternCount(); }
  std::vector<LinearDependenceEntry*> entriesOf(unsigned r) const {
    std::vector<LinearDependenceEntry*> entries;
    for (auto const& e : mCache.certificatesOf(r).certificates())
      entries.push_back(e.get());
    return entries;
  }
};

TEST_F(CertificateStoreTest, OneUpdateComputesAllPendingCertificates) {
  const BitList primary = bitsOf(1, {0, 1});
  EXPECT_FALSE(mCache.getLinearDependenceEntry(primary, 3)->isComputed());
  mCache.getLinearDependenceEntry(primary, 5);
  EXPECT_TRUE(mCache.isDirty());
  EXPECT_EQ(mCache.pendingCount(), 2u);
  mCache.update();
  EXPECT_FALSE(mCache.isDirty());
  EXPECT_EQ(mCache.pendingCount(), 0u);

  // A multiple of one primary row: a one-row support.
  LinearDependenceEntry const& multiple = *entriesOf(3).front();
  EXPECT_EQ(supportOf(multiple), std::vector<unsigned>({0}));
  EXPECT_EQ(valuesOf(multiple), std::vector<mpz_class>({1, 2}));
  LinearDependenceEntry const& sum = *entriesOf(5).front();
  EXPECT_EQ(supportOf(sum), std::vector<unsigned>({0, 1}));
  expectValidCertificate(mWorking, multiple, 3, primary);
  expectValidCertificate(mWorking, sum, 5, primary);
  EXPECT_EQ(patternCount(3), 1u);
  EXPECT_EQ(patternCount(4), 0u);
  EXPECT_EQ(patternCount(5), 1u);
  EXPECT_EQ(mCache.getSize(), 2u);
  EXPECT_EQ(mCache.toString(), "Cell 0:1 entries.\nCell 1:0 entries.\nCell 2:1 entries.\n");
}

TEST_F(CertificateStoreTest, ScaledCertificatesStayExactAndCoprime) {
  // Primary rows with non-unit pivots: the common diagonal is scaled out.
  Matrix working = matrixOf({{2, 1, 0}, {0, 3, 0}, {0, 0, 1}, {4, 5, 0}, {6, -3, 0}});
  LinearDependenceCache cache(working);
  const BitList primary = bitsOf(1, {0, 1});
  LinearDependenceEntry* a = cache.getLinearDependenceEntry(primary, 3);
  LinearDependenceEntry* b = cache.getLinearDependenceEntry(primary, 4);
  cache.update();
  expectValidCertificate(working, *a, 3, primary);
  expectValidCertificate(working, *b, 4, primary);
}

TEST_F(CertificateStoreTest, LookupReusesTheFirstFittingCertificate) {
  const LinearDependenceEntry* multiple = lookUp(bitsOf(1, {0, 1}), {3})[0];
  // The support {0} fits any primary set holding row 0; nothing is computed.
  EXPECT_EQ(lookUp(bitsOf(1, {0, 2}), {3})[0], multiple);
  EXPECT_EQ(multiple->referenceCount(), 2u);
  EXPECT_EQ(mCache.getSize(), 1u);
  EXPECT_EQ(patternCount(3), 1u);
}

TEST_F(CertificateStoreTest, EarlierOfTwoFittingPatternsIsTaken) {
  LinearDependenceEntry* first = lookUp(bitsOf(1, {0, 1}), {5})[0];
  LinearDependenceEntry* second = lookUp(bitsOf(1, {1, 4}), {5})[0];
  ASSERT_NE(first, second);
  EXPECT_EQ(supportOf(*second), std::vector<unsigned>({1, 4}));
  expectValidCertificate(mWorking, *second, 5, bitsOf(1, {1, 4}));
  EXPECT_EQ(patternCount(5), 2u);
  // The scan alone decides, so a set holding both supports finds the first.
  EXPECT_EQ(mCache.getLinearDependenceEntry(bitsOf(1, {0, 1, 4}), 5), first);
  EXPECT_FALSE(mCache.isDirty());
}

TEST_F(CertificateStoreTest, UpdateOnACleanStoreDoesNothing) {
  lookUp(bitsOf(1, {0, 1}), {3, 5});
  const unsigned columns = mCache.solver().getColsInUse();
  mCache.update();
  EXPECT_EQ(mCache.solver().getColsInUse(), columns);
  EXPECT_EQ(mCache.getSize(), 2u);
  EXPECT_EQ(patternCount(3) + patternCount(5), 2u);
}

TEST_F(CertificateStoreTest, ReleaseFreesUnreferencedCertificatesOfProcessedRowsOnly) {
  LinearDependenceEntry* unused3 = lookUp(bitsOf(1, {0, 1}), {3})[0];
  LinearDependenceEntry* kept4 = lookUp(bitsOf(1, {0, 1}), {4})[0];
  LinearDependenceEntry* unused5 = lookUp(bitsOf(1, {0, 1}), {5})[0];
  unused3->release();
  unused5->release();

  mCache.releaseUnusedReferences(5); // rows 3 and 4 are processed
  EXPECT_TRUE(entriesOf(3).empty());
  EXPECT_EQ(patternCount(3), 0u);
  EXPECT_EQ(entriesOf(4), std::vector<LinearDependenceEntry*>({kept4}));
  EXPECT_EQ(patternCount(4), 1u);
  // Row 5 is still to come: its unreferenced certificate stays for reuse.
  EXPECT_EQ(entriesOf(5), std::vector<LinearDependenceEntry*>({unused5}));
  EXPECT_EQ(mCache.getLinearDependenceEntry(bitsOf(1, {0, 1}), 5), unused5);

  // An emptied row creates a new certificate on its next lookup.
  mCache.getLinearDependenceEntry(bitsOf(1, {0, 1}), 3);
  EXPECT_TRUE(mCache.isDirty());
  mCache.update();
  EXPECT_EQ(patternCount(3), 1u);
}

// With one column the primary set is empty and only a zero row can be
// dependent: its certificate reads 1 * a_r = 0.
TEST(CertificateStoreEdgeTest, ZeroRowOfAOneColumnMatrix) {
  const Matrix working = matrixOf({{3}, {0}});
  LinearDependenceCache cache(working);
  LinearDependenceEntry* e = cache.getLinearDependenceEntry(BitList(1), 1);
  cache.update();
  EXPECT_EQ(valuesOf(*e), std::vector<mpz_class>({1}));
  EXPECT_TRUE(supportOf(*e).empty());
  expectValidCertificate(working, *e, 1, BitList(1));
}

// A zero row is dependent on any primary set, with an empty support.
TEST(CertificateStoreEdgeTest, ZeroRowHasAnEmptySupport) {
  const Matrix working = matrixOf({{2, 1}, {0, 3}, {0, 0}});
  LinearDependenceCache cache(working);
  LinearDependenceEntry* e = cache.getLinearDependenceEntry(bitsOf(1, {0}), 2);
  cache.update();
  EXPECT_EQ(valuesOf(*e), std::vector<mpz_class>({1}));
  expectValidCertificate(working, *e, 2, bitsOf(1, {0}));
}

// Certificates of a_3 over a_0 and a_1 whose values or determinant leave
// machine integers, from the reduction or from a row without a machine form:
// they are computed and kept exactly, the others in machine integers as well.
// a_3 = e_0 over (K, 1, 0) and (0, K, 0): K^2 * a_3 = K * a_0 - a_1. a_3 =
// (1, 1, 0) over (p, 0, 0) and (0, q, 0) for coprime p and q: p q * a_3 = q *
// a_0 + p * a_1, a determinant between 2^63 and 2^64 for the larger p q.
TEST(CertificateStoreEdgeTest, ValuesBeyondMachineIntegersStayExact) {
  struct Case {
    mpz_class a0[3], a1[3], a3[3];
    std::vector<mpz_class> values;
    bool machine;
  };
  auto k = [](mpz_class const& k) -> Case {
    return {{k, 1, 0}, {0, k, 0}, {1, 0, 0}, {k * k, k, -1}, k * k <= INT64_MAX};
  };
  auto pq = [](mpz_class const& p, mpz_class const& q) -> Case {
    return {{p, 0, 0}, {0, q, 0}, {1, 1, 0}, {p * q, q, p}, p * q <= INT64_MAX};
  };
  const Case cases[] = {k((1L << 20) + 1),
                        k((1L << 40) + 1),
                        k((mpz_class(1) << 70) + 1),
                        pq((1L << 31) - 1, (1L << 32) + 1),
                        pq(1L << 31, (1L << 32) + 1),
                        pq((1L << 32) + 1, (1L << 32) - 1)};
  for (Case const& c : cases) {
    Matrix working(4, 3);
    for (unsigned j = 0; j < 3; ++j) {
      working.row(0)[j] = c.a0[j];
      working.row(1)[j] = c.a1[j];
      working.row(2)[j] = j == 2 ? 1 : 0;
      working.row(3)[j] = c.a3[j];
    }
    LinearDependenceCache cache(working);
    const BitList primary = bitsOf(1, {0, 1});
    LinearDependenceEntry* e = cache.getLinearDependenceEntry(primary, 3);
    cache.update();
    expectValidCertificate(working, *e, 3, primary);
    EXPECT_EQ(valuesOf(*e), c.values);
    EXPECT_EQ(e->machineValues() != nullptr, c.machine) << c.values[0].get_str();
  }
}

// Random independent primary sets and random combinations of their rows:
// every combination gets a valid certificate, with sparse supports where
// coefficients vanish, whichever arithmetic computes it.
TEST(CertificateStoreEdgeTest, RandomCombinationsGetValidCertificates) {
  std::mt19937 rng(7);
  const unsigned d = 6, m = 2 * d + 8;
  for (long scale : {1L, 1000L, (1L << 31) + 1}) {
    for (unsigned trial = 0; trial < 10; ++trial) {
      Matrix working(m, d);
      Echelon echelon(d);
      for (unsigned k = 0; k < 2 * d - 1; ++k) {
        do {
          for (unsigned j = 0; j < d; ++j)
            working.row(k)[j] = k < d ? (k == j ? 1 : 0) : static_cast<long>(rng() % 7) - 3;
          if (k >= d && k % 2 == 0)
            working.row(k)[0] *= scale;
        } while (k >= d && !echelon.add(working.row(k)));
      }
      for (unsigned k = 2 * d - 1; k < m; ++k)
        for (unsigned i = d; i < 2 * d - 1; ++i) {
          const long c = static_cast<long>(rng() % 5) - 2;
          for (unsigned j = 0; j < d; ++j)
            working.row(k)[j] += c * working.row(i)[j];
        }
      BitList primary(1);
      for (unsigned k = d; k < 2 * d - 1; ++k)
        primary.set(k);
      LinearDependenceCache cache(working);
      std::vector<LinearDependenceEntry*> found;
      for (unsigned r = 2 * d - 1; r < m; ++r)
        found.push_back(cache.getLinearDependenceEntry(primary, r));
      cache.update();
      for (unsigned r = 2 * d - 1; r < m; ++r)
        expectValidCertificate(working, *found[r - (2 * d - 1)], r, primary);
    }
  }
}

} // namespace
} // namespace dualset_test
