#include "DualSetTestSupport.h"

#include "dualset/DDFaceProver.h"
#include "dualset/DDLinearDependenceCache.h"
#include "iteration/IterationTestSupport.h"

#include <memory>
#include <random>
#include <set>

namespace dualset_test {
namespace {

using dd_test::bitsOf;
using dd_test::matrixOf;

// Dual-set rays built straight from zero sets over all m rows, with greedy
// primary sets and certificates from a store of their own.
class RayFactory {
public:
  explicit RayFactory(Matrix const& working) : mWorking(working), mCache(working) {}
  ~RayFactory() {
    mRays.clear(); // before the store
  }

  DualSetRay const& make(std::vector<unsigned> const& zeroRows) {
    const unsigned m = mWorking.getRowCount(), d = mWorking.getColumns();
    BitList primary(BitList::wordsFor(m));
    std::vector<unsigned> secondary;
    Echelon echelon(d);
    for (unsigned r : zeroRows) {
      if (echelon.add(mWorking.row(r)))
        primary.set(r);
      else
        secondary.push_back(r);
    }
    mRays.push_back(std::make_unique<DualSetRay>(d, m - 1, RayCoordinates(makeMachineValues(d), d),
                                                 std::move(primary), m));
    DualSetRay& ray = *mRays.back();
    std::vector<LinearDependenceEntry*> certificates;
    for (unsigned r : secondary)
      certificates.push_back(mCache.getLinearDependenceEntry(ray.primary(), r));
    mCache.update();
    for (LinearDependenceEntry* e : certificates) {
      expectValidCertificate(mWorking, *e, e->row(), ray.primary());
      mExactOnly += e->machineValues() == nullptr ? 1 : 0;
      ray.addSecondary(e->row(), e);
    }
    return ray;
  }
  // Certificates looked up whose values do not fit machine integers.
  unsigned exactOnly() const { return mExactOnly; }

private:
  Matrix const& mWorking;
  LinearDependenceCache mCache;
  std::vector<std::unique_ptr<DualSetRay>> mRays;
  unsigned mExactOnly = 0;
};

std::vector<unsigned> intersection(BitList const& a, BitList const& b, unsigned m) {
  BitList both = a;
  both &= b;
  return bitIndices(both, m);
}

BitList zeroSet(DualSetRay const& ray) {
  BitList z(ray.primary());
  z |= ray.secondary();
  return z;
}

// Every row of a random 0/+-1 matrix, unit rows first, on which the kernel of
// d - 1 random rows vanishes: many degenerate zero sets that share rows. With
// a group size g, the kernels of g sets at a time share d - 2 of their rows,
// so that those sets' faces have rank d - 2 at least.
std::vector<std::vector<unsigned>> randomZeroSets(Matrix const& working, unsigned count,
                                                  std::mt19937& rng, unsigned group = 1) {
  const unsigned m = working.getRowCount(), d = working.getColumns();
  ExtremeRayUncompressor uncompressor(m, d, (m + 63) / 64);
  std::set<std::vector<unsigned>> sets;
  std::vector<unsigned> shared;
  for (unsigned attempt = 0; attempt < 50 * count && sets.size() < count; ++attempt) {
    if (group > 1 && attempt % group == 0) {
      shared.clear();
      Echelon echelon(d);
      while (shared.size() + 2 < d) {
        const unsigned r = rng() % m;
        if (echelon.add(working.row(r)))
          shared.push_back(r);
      }
    }
    std::vector<unsigned> chosen = group > 1 ? shared : std::vector<unsigned>();
    Echelon echelon(d);
    for (unsigned r : chosen)
      echelon.add(working.row(r));
    while (chosen.size() + 1 < d) {
      const unsigned r = rng() % m;
      if (echelon.add(working.row(r)))
        chosen.push_back(r);
    }
    BitList z(uncompressor.mSetWords);
    for (unsigned r : chosen)
      z.set(r);
    RepresentationVector x(d);
    uncompressor.calcExtremeRay(working, z, x);
    std::vector<unsigned> zero;
    for (unsigned k = 0; k < m; ++k) {
      mpz_class product;
      x.calcScalarProduct(working.row(k), product);
      if (sgn(product) == 0)
        zero.push_back(k);
    }
    sets.insert(zero);
  }
  return {sets.begin(), sets.end()};
}

// Unit rows, then random 0/+-1 rows of which every other is multiplied by
// scale: the zero sets stay, and a large scale puts certificate values and
// reductions beyond machine integers.
Matrix randomMatrix(unsigned m, unsigned d, long scale, std::mt19937& rng) {
  Matrix working(m, d);
  for (unsigned k = 0; k < m; ++k)
    for (unsigned j = 0; j < d; ++j) {
      working.row(k)[j] = k < d ? (k == j ? 1 : 0) : static_cast<long>(rng() % 3) - 1;
      if (k >= d && k % 2 == 1)
        working.row(k)[j] *= scale;
    }
  return working;
}

// The prover against exact ranks, over all pairs and both roles; on an
// adjacent pair it leaves the face's greedy basis and its other rows, and
// each ray's free mask tells which of its certificates fit the new ray.
// Large scales take the prover's reductions, and at 2^62 the certificates
// themselves, beyond machine integers.
TEST(FaceProverTest, AgreesWithTheExactRankOfTheFace) {
  std::mt19937 rng(20261210);
  unsigned counts[3] = {}; // adjacent by primaries, adjacent by elimination, not adjacent
  for (long scale : {1L, (1L << 40) + 1, (1L << 62) + 3}) {
    for (unsigned d : {4u, 5u, 6u}) {
      SCOPED_TRACE("scale " + std::to_string(scale) + " d " + std::to_string(d));
      const unsigned m = 70;
      const Matrix working = randomMatrix(m, d, scale, rng);
      RayFactory factory(working);
      std::vector<DualSetRay const*> rays;
      for (std::vector<unsigned> const& zero : randomZeroSets(working, 40, rng))
        rays.push_back(&factory.make(zero));
      if (scale > (1L << 62)) {
        EXPECT_GT(factory.exactOnly(), 0u);
      }
      FaceProver prover(static_cast<unsigned short>(m), static_cast<unsigned short>(d - 2));
      for (DualSetRay const* p : rays)
        for (DualSetRay const* n : rays) {
          if (p == n)
            continue;
          const BitList zp = zeroSet(*p), zn = zeroSet(*n);
          const std::vector<unsigned> face = intersection(zp, zn, m);
          Echelon echelon(d);
          std::vector<unsigned> greedy;
          for (unsigned r : face)
            if (echelon.add(working.row(r)))
              greedy.push_back(r);
          const bool adjacent = prover.isAdjacent(*p, *n);
          ASSERT_EQ(adjacent, greedy.size() == d - 2) << "d " << d;

          const unsigned sp = p->secondary().count();
          const unsigned sn = n->secondary().count();
          EXPECT_EQ(prover.basisRay(), sn < sp ? n : p);
          DualSetRay const& a = *prover.basisRay();
          DualSetRay const& b = *prover.otherRay();
          const unsigned primaries =
              static_cast<unsigned>(intersection(zeroSet(b), a.primary(), m).size() +
                                    intersection(b.primary(), a.secondary(), m).size());
          EXPECT_LE(primaries, d - 2);
          if (!adjacent) {
            ++counts[2];
            continue;
          }
          EXPECT_EQ(bitIndices(prover.known(), m), greedy);
          std::vector<unsigned> rest;
          for (unsigned r : face)
            if (std::find(greedy.begin(), greedy.end(), r) == greedy.end())
              rest.push_back(r);
          EXPECT_EQ(bitIndices(prover.spare(), m), rest);
          for (DualSetRay const* ray : {p, n})
            for (unsigned r : rest) {
              const std::uint64_t free = *prover.freeMask(*ray) & *ray->supportMask(r);
              EXPECT_EQ(free == 0, ray->dependency(r)->isSupportedBy(prover.known()))
                  << "row " << r;
            }
          if (primaries == d - 2) {
            ++counts[0];
            EXPECT_EQ(prover.reducedRows(), 0u) << "no elimination needed";
            EXPECT_EQ(bitIndices(prover.spare(), m), intersection(a.secondary(), b.secondary(), m));
          } else {
            ++counts[1];
          }
        }
    }
  }
  // The fixture reaches every outcome.
  for (unsigned c : counts)
    EXPECT_GT(c, 0u);
}

// A pair with a ray whose zero rows are all primary: the prover that reads
// only primary rows leaves the state of the full test, known rows, spare rows,
// free masks and roles alike.
TEST(FaceProverTest, IndependentFacesNeedOnlyThePrimaryRows) {
  std::mt19937 rng(7);
  unsigned compared = 0;
  for (unsigned d : {4u, 5u, 6u}) {
    // Rows of small entries, whose kernels meet many of them, then rows of
    // larger ones, whose kernels meet only the rows that span them; more
    // words of rows than primary rows, where the prover reads the latter.
    const unsigned m = 600;
    Matrix working = randomMatrix(m, d, 1, rng);
    for (unsigned k = m / 3; k < m; ++k)
      for (unsigned j = 0; j < d; ++j)
        working.row(k)[j] = static_cast<long>(rng() % 41) - 20;
    RayFactory factory(working);
    std::vector<DualSetRay const*> rays;
    for (std::vector<unsigned> const& zero : randomZeroSets(working, 60, rng, 4))
      rays.push_back(&factory.make(zero));
    FaceProver full(static_cast<unsigned short>(m), static_cast<unsigned short>(d - 2));
    FaceProver primaryOnly(static_cast<unsigned short>(m), static_cast<unsigned short>(d - 2));
    for (DualSetRay const* p : rays)
      for (DualSetRay const* n : rays) {
        if (p == n || (p->secondaryCount() != 0 && n->secondaryCount() != 0) ||
            !full.isAdjacent(*p, *n))
          continue;
        primaryOnly.takeIndependentFace(*p, *n);
        ++compared;
        ASSERT_EQ(primaryOnly.basisRay(), full.basisRay());
        EXPECT_EQ(bitIndices(primaryOnly.known(), m), bitIndices(full.known(), m));
        EXPECT_EQ(bitIndices(primaryOnly.spare(), m), bitIndices(full.spare(), m));
        for (DualSetRay const* ray : {p, n})
          for (unsigned w = 0; w < ray->maskWords(); ++w)
            EXPECT_EQ(primaryOnly.freeMask(*ray)[w], full.freeMask(*ray)[w]);
      }
  }
  EXPECT_GT(compared, 50u);
}

// d = 4, T = 2, with closed zero sets: the kernels of three unit rows.
TEST(FaceProverCaseTest, FewerSecondaryRowsChooseTheBasisRayAndTiesTakeThePositive) {
  const Matrix working = matrixOf({{1, 0, 0, 0},
                                   {0, 1, 0, 0},
                                   {0, 0, 1, 0},
                                   {0, 0, 0, 1},
                                   {1, 1, 0, 0},
                                   {1, 0, 1, 0},
                                   {0, 1, 1, 0},
                                   {1, 1, 1, 0}});
  RayFactory factory(working);
  DualSetRay const& e1 = factory.make({0, 2, 3, 5});          // secondary {5}
  DualSetRay const& e2 = factory.make({0, 1, 3, 4});          // secondary {4}
  DualSetRay const& e3 = factory.make({0, 1, 2, 4, 5, 6, 7}); // secondary {4, 5, 6, 7}
  FaceProver prover(8, 2);
  EXPECT_TRUE(prover.isAdjacent(e1, e2)); // face {0, 3}, primary in both
  EXPECT_EQ(prover.basisRay(), &e1);
  EXPECT_TRUE(prover.isAdjacent(e2, e1));
  EXPECT_EQ(prover.basisRay(), &e2);
  EXPECT_TRUE(prover.isAdjacent(e3, e2)); // face {0, 1, 4}
  EXPECT_EQ(prover.basisRay(), &e2);
  EXPECT_EQ(bitIndices(prover.known(), 8), std::vector<unsigned>({0, 1}));
  EXPECT_EQ(bitIndices(prover.spare(), 8), std::vector<unsigned>({4}));
}

// The prover reads only the words where a pair's rays have zero rows: what
// an earlier pair left in its other words must be gone. The rows of the case
// above, spread over four words; the rows between are in no zero set.
TEST(FaceProverCaseTest, RegistersHoldOnlyTheLastPairsFace) {
  Matrix working(200, 4);
  for (unsigned k = 0; k < 200; ++k)
    for (unsigned j = 0; j < 4; ++j)
      working.row(k)[j] = k < 4 ? (k == j ? 1 : 0) : 1;
  const std::pair<unsigned, std::vector<long>> sums[] = {
      {70, {1, 1, 0, 0}}, {140, {1, 0, 1, 0}}, {150, {0, 1, 1, 0}}, {199, {1, 1, 1, 0}}};
  for (auto const& sum : sums)
    for (unsigned j = 0; j < 4; ++j)
      working.row(sum.first)[j] = sum.second[j];
  RayFactory factory(working);
  DualSetRay const& e1 = factory.make({0, 2, 3, 140});
  DualSetRay const& e2 = factory.make({0, 1, 3, 70});
  DualSetRay const& e3 = factory.make({0, 1, 2, 70, 140, 150, 199});
  DualSetRay const& low1 = factory.make({0, 2, 3});
  DualSetRay const& low2 = factory.make({0, 1, 3});
  FaceProver prover(200, 2);
  ASSERT_TRUE(prover.isAdjacent(e3, e2)); // face {0, 1, 70}
  EXPECT_EQ(bitIndices(prover.known(), 200), std::vector<unsigned>({0, 1}));
  EXPECT_EQ(bitIndices(prover.spare(), 200), std::vector<unsigned>({70}));
  ASSERT_TRUE(prover.isAdjacent(e3, e1)); // face {0, 2, 140}
  EXPECT_EQ(bitIndices(prover.spare(), 200), std::vector<unsigned>({140}));
  ASSERT_TRUE(prover.isAdjacent(low1, low2)); // face {0, 3}, all in word 0
  EXPECT_EQ(bitIndices(prover.known(), 200), std::vector<unsigned>({0, 3}));
  EXPECT_TRUE(prover.spare().none());
}

} // namespace
} // namespace dualset_test
