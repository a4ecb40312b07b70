#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <vector>

#include "core/DDBitOps.h"
#include "core/DDRayReferenceContainer.h"
#include "core/DDSingleSetRay.h"
#include "ExactTestSupport.h"

using namespace double_description;
using namespace redivez_test;

namespace {
// A ray created on row creation of an m-row problem with the given slacks
// for rows creation + 1 .. m - 1.
std::unique_ptr<SingleSetRay> rayWith(unsigned creation, std::vector<long> slacks,
                                      BitList zeroSet) {
  auto r = std::make_unique<SingleSetRay>(3, creation, static_cast<unsigned>(slacks.size()),
                                          std::move(zeroSet));
  for (std::size_t i = 0; i < slacks.size(); ++i)
    r->slack(creation + 1 + static_cast<unsigned>(i)) = slacks[i];
  return r;
}

// Distinct pointers for references; containers never read the rays.
Ray const* fakeRay(std::uintptr_t i) { return reinterpret_cast<Ray const*>(16 * (i + 1)); }

std::vector<long> slacksOf(Ray const& r) {
  std::vector<long> out;
  for (unsigned i = 0; i < r.coefficientCount(); ++i)
    out.push_back(r.slack(r.creationRow() + 1 + i).get_si());
  return out;
}
} // namespace

TEST(SingleSetRay, CombinationAndZeroSetRules) {
  // m = 8; both parents created on row 2; combination on row 3.
  struct Case {
    const char* name;
    std::vector<long> p, n; // slacks on rows 3 .. 7
    std::vector<long> slacks; // rows 4 .. 7
    std::initializer_list<unsigned> zeroSet;
  } cases[] = {
      // g = 2: 3 * p + 1 * n on rows 4..7.
      {"zero after positive is marked", {2, 1, 0, 5, 1}, {-6, -3, 0, 2, -3}, {0, 0, 17, 0}, {0, 3, 4, 5, 7}},
      {"first later slack negative", {1, 0, 0, 0, 0}, {-1, -1, 0, 0, 0}, {-1, 0, 0, 0}, {0, 3}},
      {"stops at first negative", {1, 1, -3, 0, 0}, {-1, 0, 1, 0, 0}, {1, -2, 0, 0}, {0, 3}},
  };
  for (const Case& c : cases) {
    auto p = rayWith(2, c.p, setOf(1, {0, 1, 5}));
    auto n = rayWith(2, c.n, setOf(1, {0, 2, 7}));
    SingleSetRay r(p.get(), n.get(), 3, 8);
    EXPECT_EQ(r.creationRow(), 3u) << c.name;
    EXPECT_EQ(r.firstSecondaryRow(), 3u) << c.name;
    EXPECT_EQ(slacksOf(r), c.slacks) << c.name;
    EXPECT_EQ(r.mActiveSet.toString(8), setOf(1, c.zeroSet).toString(8)) << c.name;
  }
}

TEST(SingleSetRay, CombinationOnLastRowAndWordCounts) {
  // The result takes the second parent's word count, growing or shrinking.
  auto narrow = rayWith(1, {4}, setOf(1, {0}));
  auto wide = rayWith(1, {-2}, setOf(2, {0, 1, 70}));
  SingleSetRay grown(narrow.get(), wide.get(), 2, 3);
  EXPECT_EQ(grown.coefficientCount(), 0u);
  ASSERT_EQ(grown.mActiveSet.wordCount(), 2u);
  EXPECT_EQ(grown.mActiveSet.toString(), setOf(2, {0, 2}).toString());

  auto widePositive = rayWith(1, {3}, setOf(2, {0, 1, 70}));
  auto narrowNegative = rayWith(1, {-1}, setOf(1, {1}));
  SingleSetRay shrunk(widePositive.get(), narrowNegative.get(), 2, 3);
  ASSERT_EQ(shrunk.mActiveSet.wordCount(), 1u);
  EXPECT_EQ(shrunk.mActiveSet.toString(), setOf(1, {1, 2}).toString());
}

TEST(Ray, ReduceSlacksDividesByTheirGcdAndKeepsSigns) {
  const std::vector<std::pair<std::vector<long>, std::vector<long>>> cases = {
      {{6, -4, 0, 10}, {3, -2, 0, 5}},
      {{0, -7, 0}, {0, -1, 0}},
      {{3, 5}, {3, 5}},
      {{0, 0}, {0, 0}},
      {{}, {}},
  };
  for (auto const& [slacks, reduced] : cases) {
    auto ray = rayWith(0, slacks, BitList(1));
    ray->reduceSlacks();
    EXPECT_EQ(slacksOf(*ray), reduced);
  }
}

TEST(Ray, RandomizedCombinationMatchesCoordinates) {
  std::mt19937_64 rng(424242);
  for (int trial = 0; trial < 300; ++trial) {
    const unsigned d = 1 + trial % 12;
    const unsigned m = d + 2 + rng() % 20;
    const bool huge = trial % 17 == 0;
    std::vector<std::vector<mpz_class>> rows(m, std::vector<mpz_class>(d));
    for (auto& r : rows)
      for (auto& e : r)
        e = randomEntry(rng, huge);
    auto randomPoint = [&] {
      std::vector<mpz_class> x(d);
      for (auto& e : x)
        e = randomEntry(rng, huge);
      return x;
    };
    auto slack = [&](std::vector<mpz_class> const& x, unsigned k) {
      mpz_class s = 0;
      for (unsigned j = 0; j < d; ++j)
        s += rows[k][j] * x[j];
      return s;
    };
    const unsigned pc = rng() % (m - 1), nc = rng() % (m - 1);
    const unsigned a = std::max(pc, nc) + 1;
    std::vector<mpz_class> xp, xn;
    mpz_class pa, na;
    do {
      xp = randomPoint();
      xn = randomPoint();
      pa = slack(xp, a);
      na = slack(xn, a);
    } while (sgn(pa) == 0 || sgn(na) == 0 || sgn(pa) == sgn(na));
    if (sgn(pa) < 0)
      std::swap(xp, xn), std::swap(pa, na);

    Ray p(d, pc, m - pc - 1), n(d, nc, m - nc - 1);
    for (unsigned k = pc + 1; k < m; ++k)
      p.slack(k) = slack(xp, k);
    for (unsigned k = nc + 1; k < m; ++k)
      n.slack(k) = slack(xn, k);
    Ray r(&p, &n, a, m);

    const mpz_class g = gcd(pa, na);
    std::vector<mpz_class> x(d);
    for (unsigned j = 0; j < d; ++j)
      x[j] = (abs(na) / g) * xp[j] + (pa / g) * xn[j];
    ASSERT_EQ(r.coefficientCount(), m - a - 1);
    for (unsigned k = a + 1; k < m; ++k)
      ASSERT_EQ(r.slack(k), slack(x, k)) << "trial " << trial << " row " << k;
    ASSERT_EQ(slack(x, a), 0);
  }
}

namespace {
struct RecordingVisitor : RayRefVisitor {
  int passesWanted = 1;
  int passes = 0;
  std::vector<const void*> visited;
  bool hasFinished() const override { return passes >= passesWanted; }
  void onStart() override {
    RayRefVisitor::onStart();
    ++passes;
  }
  void onVisit(RayReference const& r) override {
    RayRefVisitor::onVisit(r);
    visited.push_back(r.mRay);
  }
};
} // namespace

TEST(RayReferenceContainer, UnionIntersectionAndBounds) {
  RayReferenceContainer c;
  EXPECT_EQ(c.mMinCardinality, 0xFFFFFFFFu);
  EXPECT_EQ(c.mMaxCardinality, 0u);
  EXPECT_EQ(c.mUnion.wordCount(), 1u);
  c.insert(RayReference(fakeRay(0), setOf(2, {1, 2, 100})));
  EXPECT_EQ(c.mUnion.toString(), setOf(2, {1, 2, 100}).toString());
  EXPECT_EQ(c.mIntersection.toString(), setOf(2, {1, 2, 100}).toString());
  EXPECT_EQ(c.mMinCardinality, 3u);
  EXPECT_EQ(c.mMaxCardinality, 3u);

  c.insert(RayReference(fakeRay(1), setOf(2, {2, 5})));
  c.insert(RayReference(fakeRay(2), setOf(2, {2, 70, 71, 100, 120})));
  EXPECT_EQ(c.size(), 3u);
  EXPECT_EQ(c.mUnion.toString(), setOf(2, {1, 2, 5, 70, 71, 100, 120}).toString());
  EXPECT_EQ(c.mIntersection.toString(), setOf(2, {2}).toString());
  EXPECT_EQ(c.mMinCardinality, 2u);
  EXPECT_EQ(c.mMaxCardinality, 5u);

  RayReferenceContainer disjoint;
  disjoint.insert(RayReference(fakeRay(0), setOf(1, {1})));
  disjoint.insert(RayReference(fakeRay(1), setOf(1, {2})));
  EXPECT_EQ(disjoint.mIntersection.words()[0], 0u);

  c.clear();
  EXPECT_EQ(c.size(), 0u);
  EXPECT_EQ(c.mUnion.wordCount(), 2u);
  EXPECT_EQ(popcount(c.mUnion.words(), 2) + popcount(c.mIntersection.words(), 2), 0);
  EXPECT_EQ(c.mMinCardinality, 0xFFFFFFFFu);
  EXPECT_EQ(c.mMaxCardinality, 0u);
  c.insert(RayReference(fakeRay(1), setOf(2, {5, 64})));
  EXPECT_EQ(c.mIntersection.toString(), setOf(2, {5, 64}).toString());
  EXPECT_EQ(c.mUnion.toString(), setOf(2, {5, 64}).toString());
}

TEST(RayReferenceContainer, VisitorPasses) {
  RayReferenceContainer c;
  RecordingVisitor onEmpty;
  c.iterate(onEmpty);
  EXPECT_EQ(onEmpty.passes, 1);
  EXPECT_TRUE(onEmpty.visited.empty());
  EXPECT_EQ(onEmpty.mState, 0);

  c.insert(RayReference(fakeRay(0), setOf(1, {1})));
  c.insert(RayReference(fakeRay(1), setOf(1, {2})));
  RecordingVisitor twice;
  twice.passesWanted = 2;
  c.iterate(twice);
  EXPECT_EQ(twice.passes, 2);
  EXPECT_EQ(twice.visited,
            (std::vector<const void*>{fakeRay(0), fakeRay(1), fakeRay(0), fakeRay(1)}));
  EXPECT_EQ(twice.mState, 0);
}

TEST(RayReference, CopiesPatternAndCountsBits) {
  BitList bits = setOf(3, {0, 64, 130, 131});
  RayReference r(fakeRay(0), bits);
  EXPECT_EQ(r.mCardinality, 4u);
  bits.words()[0] = 0;
  EXPECT_TRUE(testBit(r.mBits.words(), 0));
  RayReference empty;
  EXPECT_EQ(empty.mRay, nullptr);
  EXPECT_EQ(empty.mCardinality, 0u);
  EXPECT_EQ(empty.mBits.wordCount(), 1u);

  EdgeCandidate e(RayReference(fakeRay(0), setOf(2, {1, 3, 65})), RayReference(fakeRay(0), setOf(2, {3, 65, 66})));
  EXPECT_EQ(e.mCommon.toString(), setOf(2, {3, 65}).toString());
}
