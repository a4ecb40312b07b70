#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <vector>

#include "ExactTestSupport.h"
#include "core/DDBitOps.h"
#include "core/DDRayReferenceContainer.h"
#include "core/DDSingleSetRay.h"
#include "core/DDSlackCalculator.h"
#include "core/DDWorkerPool.h"

using namespace double_description;
using namespace redivez_test;

namespace {

// Distinct pointers for references; containers never read the rays.
Ray const* fakeRay(std::uintptr_t i) { return reinterpret_cast<Ray const*>(16 * (i + 1)); }

RayCoordinates coordinatesOf(std::vector<mpz_class> const& x) {
  auto values = std::make_unique<mpz_class[]>(x.size());
  for (std::size_t j = 0; j < x.size(); ++j)
    values[j] = x[j];
  return RayCoordinates(std::move(values), static_cast<unsigned>(x.size()));
}

std::vector<mpz_class> valuesOf(RayCoordinates const& x) {
  std::vector<mpz_class> out;
  for (unsigned j = 0; j < x.size(); ++j)
    out.push_back(x.get(j));
  return out;
}

std::vector<mpz_class> big(std::vector<long> values) {
  return std::vector<mpz_class>(values.begin(), values.end());
}

} // namespace

// The new ray lies on row a's hyperplane, is primitive, and its zero set is
// the parents' common one plus row a and the later zero rows before the
// first negative row, where it dies.
TEST(SingleSetRay, CombinationAndZeroSetRules) {
  // Rows 0..2 form the basis; the parents were created on row 2.
  const Matrix working = matrixOf({{1, 0, 0},
                                   {0, 1, 0},
                                   {0, 0, 1},
                                   {1, -1, 0},
                                   {0, 1, -1},
                                   {1, 0, -1},
                                   {-1, 1, 1},
                                   {2, -1, -1}});
  const SlackCalculator slacks(working);
  struct Case {
    const char* name;
    std::vector<long> p, n, x;
    std::initializer_list<unsigned> zeroSet;
    unsigned firstNegative;
  } cases[] = {
      // p = (2, 1, 0): row 3 slack 1; n = (0, 2, 4): row 3 slack -2.
      {"zero rows after the step are marked", {2, 1, 0}, {0, 2, 4}, {4, 4, 4}, {0, 3, 4, 5, 7}, 8},
      {"stops at the first negative row", {3, 0, 0}, {0, 1, 2}, {1, 1, 2}, {0, 3}, 4},
  };
  for (const Case& c : cases) {
    SingleSetRay p(3, 2, coordinatesOf(big(c.p)), setOf(1, {0, 1, 5}), 8);
    SingleSetRay n(3, 2, coordinatesOf(big(c.n)), setOf(1, {0, 2, 7}), 8);
    SingleSetRay r(&p, &n, 3, slacks);
    EXPECT_EQ(r.creationRow(), 3u) << c.name;
    EXPECT_EQ(r.firstSecondaryRow(), 3u) << c.name;
    EXPECT_EQ(r.firstNegativeRow(), c.firstNegative) << c.name;
    std::vector<mpz_class> expected = big(c.x);
    mpz_class g = 0;
    for (auto const& v : expected)
      g = gcd(g, v);
    for (auto& v : expected)
      v /= g;
    EXPECT_EQ(valuesOf(r.coordinates()), expected) << c.name;
    EXPECT_EQ(r.mActiveSet.toString(8), setOf(1, c.zeroSet).toString(8)) << c.name;
  }
}

TEST(SingleSetRay, CombinationOnLastRowAndWordCounts) {
  const Matrix working = matrixOf({{1, 0}, {0, 1}, {1, -1}});
  const SlackCalculator slacks(working);
  // The result takes the second parent's word count, growing or shrinking.
  SingleSetRay narrow(2, 1, coordinatesOf(big({1, 0})), setOf(1, {1}), 3);
  SingleSetRay wide(2, 1, coordinatesOf(big({0, 1})), setOf(2, {0, 1, 70}), 3);
  SingleSetRay grown(&narrow, &wide, 2, slacks);
  EXPECT_EQ(grown.firstNegativeRow(), 3u);
  ASSERT_EQ(grown.mActiveSet.wordCount(), 2u);
  EXPECT_EQ(grown.mActiveSet.toString(), setOf(2, {1, 2}).toString());

  SingleSetRay widePositive(2, 1, coordinatesOf(big({1, 0})), setOf(2, {1, 70}), 3);
  SingleSetRay narrowNegative(2, 1, coordinatesOf(big({0, 1})), setOf(1, {0, 1}), 3);
  SingleSetRay shrunk(&widePositive, &narrowNegative, 2, slacks);
  ASSERT_EQ(shrunk.mActiveSet.wordCount(), 1u);
  EXPECT_EQ(shrunk.mActiveSet.toString(), setOf(1, {1, 2}).toString());
}

TEST(RayCoordinates, MachineIntegersWhileEveryValueFits) {
  const mpz_class limit("9223372036854775807"); // 2^63 - 1
  struct Case {
    std::vector<mpz_class> values;
    bool machine;
    unsigned bits;
  } cases[] = {
      {{0, 0}, true, 0},           {{5, -3}, true, 3}, {{limit, -limit}, true, 63},
      {{-limit - 1, 1}, false, 0}, // -2^63: no machine form, so negation never wraps
      {{limit + 1, 0}, false, 0},
  };
  for (Case const& c : cases) {
    const RayCoordinates x = coordinatesOf(c.values);
    EXPECT_EQ(x.isMachine(), c.machine) << c.values[0];
    if (c.machine) {
      EXPECT_EQ(x.machineBits(), c.bits) << c.values[0];
    }
    EXPECT_EQ(valuesOf(x), c.values);
  }
}

// Signs, slacks, combinations and the walk to the first negative row agree
// with plain big-integer arithmetic, with entries small, near 2^63 and far
// beyond it, so that every path between machine and exact integers is taken.
TEST(SlackCalculator, AgreesWithExactArithmetic) {
  std::mt19937_64 rng(424242);
  const mpz_class two63 = mpz_class(1) << 63;
  auto entry = [&](int kind) -> mpz_class {
    switch (kind) {
    case 0:
      return static_cast<long>(rng() % 7) - 3;
    case 1: // near the edge of the machine range
      return (rng() & 1 ? 1 : -1) * (two63 - static_cast<long>(rng() % 3) - 1);
    case 2:
      return (rng() & 1 ? 1 : -1) * ((two63 << 10) + static_cast<long>(rng() % 1000));
    default:
      return randomEntry(rng, false);
    }
  };
  for (int trial = 0; trial < 400; ++trial) {
    const unsigned d = 1 + trial % 9;
    const unsigned m = d + 1 + rng() % 12;
    const int rowKind = trial % 4, pointKind = (trial / 4) % 4;
    Matrix working(m, d);
    for (unsigned k = 0; k < m; ++k)
      for (unsigned j = 0; j < d; ++j)
        working.row(k)[j] = rng() % 3 == 0 ? entry(rowKind) : entry(0);
    const SlackCalculator slacks(working);
    auto point = [&] {
      std::vector<mpz_class> x(d);
      for (auto& v : x)
        v = rng() % 2 == 0 ? entry(pointKind) : entry(0);
      return x;
    };
    std::vector<mpz_class> xp = point(), xn = point();
    const unsigned a = rng() % m;
    const mpz_class pa = dot(working.row(a), xp), na = dot(working.row(a), xn);
    const RayCoordinates p = coordinatesOf(xp), n = coordinatesOf(xn);
    for (unsigned k = 0; k < m; ++k) {
      const mpz_class exact = dot(working.row(k), xp);
      mpz_class computed;
      slacks.slack(k, p, computed);
      ASSERT_EQ(computed, exact) << "trial " << trial;
      ASSERT_EQ(slacks.sign(k, p), sgn(exact)) << "trial " << trial;
    }
    bool opposite = true; // parents on one line make no ray, which rays of a run never are
    for (unsigned j = 0; j < d; ++j)
      opposite = opposite && abs(na) * xp[j] + pa * xn[j] == 0;
    if (sgn(pa) > 0 && sgn(na) < 0 && !opposite) {
      const RayCoordinates x = slacks.combine(p, n, a);
      const std::vector<mpz_class> got = valuesOf(x);
      ASSERT_EQ(dot(working.row(a), got), 0) << "trial " << trial;
      // A positive multiple of |n_a| p + p_a n, and primitive.
      mpz_class g = 0;
      for (unsigned j = 0; j < d; ++j) {
        g = gcd(g, got[j]);
        const mpz_class expected = abs(na) * xp[j] + pa * xn[j];
        ASSERT_EQ(sgn(expected), sgn(got[j])) << "trial " << trial;
      }
      ASSERT_EQ(g, 1) << "trial " << trial;
    }
    const unsigned from = rng() % m;
    BitList zero(1);
    const unsigned negative = slacks.markZeroRows(p, from, zero);
    unsigned expectedNegative = m;
    for (unsigned k = from; k < m && expectedNegative == m; ++k) {
      const int s = sgn(dot(working.row(k), xp));
      if (s < 0)
        expectedNegative = k;
      ASSERT_EQ(zero.test(k), s == 0) << "trial " << trial << " row " << k;
    }
    ASSERT_EQ(negative, expectedNegative) << "trial " << trial;
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
  EXPECT_EQ(c.minCardinality(), 0xFFFFFFFFu);
  EXPECT_EQ(c.maxCardinality(), 0u);
  EXPECT_EQ(c.unionBits().wordCount(), 1u);
  c.insert(RayReference(fakeRay(0), kept(setOf(2, {1, 2, 100}))));
  EXPECT_EQ(c.unionBits().toString(), setOf(2, {1, 2, 100}).toString());
  EXPECT_EQ(c.intersection().toString(), setOf(2, {1, 2, 100}).toString());
  EXPECT_EQ(c.minCardinality(), 3u);
  EXPECT_EQ(c.maxCardinality(), 3u);

  c.insert(RayReference(fakeRay(1), kept(setOf(2, {2, 5}))));
  c.insert(RayReference(fakeRay(2), kept(setOf(2, {2, 70, 71, 100, 120}))));
  EXPECT_EQ(c.size(), 3u);
  EXPECT_EQ(c.unionBits().toString(), setOf(2, {1, 2, 5, 70, 71, 100, 120}).toString());
  EXPECT_EQ(c.intersection().toString(), setOf(2, {2}).toString());
  EXPECT_EQ(c.minCardinality(), 2u);
  EXPECT_EQ(c.maxCardinality(), 5u);

  RayReferenceContainer disjoint;
  disjoint.insert(RayReference(fakeRay(0), kept(setOf(1, {1}))));
  disjoint.insert(RayReference(fakeRay(1), kept(setOf(1, {2}))));
  EXPECT_EQ(disjoint.intersection().words()[0], 0u);

  c.clear();
  EXPECT_EQ(c.size(), 0u);
  EXPECT_EQ(c.unionBits().wordCount(), 2u);
  EXPECT_EQ(popcount(c.unionBits().words(), 2) + popcount(c.intersection().words(), 2), 0);
  EXPECT_EQ(c.minCardinality(), 0xFFFFFFFFu);
  EXPECT_EQ(c.maxCardinality(), 0u);
  c.insert(RayReference(fakeRay(1), kept(setOf(2, {5, 64}))));
  EXPECT_EQ(c.intersection().toString(), setOf(2, {5, 64}).toString());
  EXPECT_EQ(c.unionBits().toString(), setOf(2, {5, 64}).toString());
}

// Union and intersection follow only the nonzero words of each pattern; they
// must still equal the word-by-word fold of every pattern, through empty
// patterns, disjoint ranges, an intersection that empties, clear() and reuse
// with patterns of another word count.
TEST(RayReferenceContainer, FoldsMatchWordByWordThroughClearAndResize) {
  std::mt19937 random(12);
  RayReferenceContainer c;
  for (unsigned round = 0; round < 40; ++round) {
    const unsigned words = 1 + round % 7;
    const unsigned count = 1 + round % 9;
    // Sparse patterns in a few words, so ranges differ; every fifth round
    // the patterns share one bit, so the intersection stays nonempty.
    BitList expectedUnion(words);
    BitList expectedIntersection(words, ~0ul);
    std::uint32_t least = 0xFFFFFFFFu, most = 0;
    c.clear();
    for (unsigned i = 0; i < count; ++i) {
      BitList pattern(words);
      const unsigned bits = random() % 4;
      for (unsigned b = 0; b < bits; ++b)
        pattern.set(random() % (64 * words));
      if (round % 5 == 0)
        pattern.set(64 * (words - 1) + 7);
      expectedUnion |= pattern;
      expectedIntersection &= pattern;
      RayReference reference(fakeRay(i), kept(pattern));
      least = std::min<std::uint32_t>(least, reference.mCardinality);
      most = std::max<std::uint32_t>(most, reference.mCardinality);
      c.insert(reference);
      ASSERT_EQ(c.unionBits().toString(), expectedUnion.toString()) << round << " " << i;
      ASSERT_EQ(c.intersection().toString(), expectedIntersection.toString()) << round << " " << i;
    }
    EXPECT_EQ(c.minCardinality(), least);
    EXPECT_EQ(c.maxCardinality(), most);
  }
}

namespace {

// The buckets a filing made are those that inserting in turn made.
void expectFiledAsInserted(RayReferenceContainer const& without, RayReferenceContainer const& with,
                           RayReferenceContainer const& expectedWithout,
                           RayReferenceContainer const& expectedWith) {
  for (auto const& [got, expected] :
       {std::make_pair(&without, &expectedWithout), std::make_pair(&with, &expectedWith)}) {
    SCOPED_TRACE(got == &with ? "with" : "without");
    ASSERT_EQ(got->size(), expected->size());
    for (std::size_t i = 0; i < got->size(); ++i)
      ASSERT_EQ(got->references()[i].mRay, expected->references()[i].mRay);
    if (!expected->empty()) {
      ASSERT_EQ(got->unionBits().toString(), expected->unionBits().toString());
      ASSERT_EQ(got->intersection().toString(), expected->intersection().toString());
    } else {
      ASSERT_TRUE(got->unionBits().none() && got->intersection().none());
    }
    EXPECT_EQ(got->minCardinality(), expected->minCardinality());
    EXPECT_EQ(got->maxCardinality(), expected->maxCardinality());
    RayReferenceContainer copy = *got;
    copy.clear();
    EXPECT_TRUE(copy.unionBits().none() && copy.intersection().none());
  }
}

} // namespace

// Filing by a bit derives most of one bucket's union from the whole set's:
// the buckets must be what inserting the references in turn makes, through
// sparse and dense patterns, empty buckets and buckets reused after clear()
// with another word count (clear() zeroes only the recorded ranges); and
// so must filing a set in place.
TEST(RayReferenceContainer, FilingByABitMatchesInsertingInTurn) {
  std::mt19937 random(5);
  RayReferenceContainer without, with;
  for (unsigned round = 0; round < 300; ++round) {
    const unsigned words = 1 + round % 5;
    const unsigned count = round % 13;
    const unsigned bitsPer = round % 3 == 0 ? 40 * words : 1 + random() % 3;
    std::vector<BitList> patterns;
    for (unsigned i = 0; i < count; ++i) {
      BitList pattern(words);
      for (unsigned b = 0; b < bitsPer; ++b)
        pattern.set(random() % (64 * words));
      patterns.push_back(pattern);
    }
    RayReferenceContainer set, expectedWithout, expectedWith;
    std::vector<RayReference> references;
    for (unsigned i = 0; i < count; ++i)
      references.emplace_back(fakeRay(i), patterns[i]);
    for (RayReference const& reference : references)
      set.insert(reference);
    const unsigned bit = random() % (64 * words);
    for (RayReference const& reference : references)
      (reference.bits().test(bit) ? expectedWith : expectedWithout).insert(reference);
    without.clear();
    with.clear();
    set.fileByBit(bit, without, with);
    SCOPED_TRACE("round " + std::to_string(round));
    expectFiledAsInserted(without, with, expectedWithout, expectedWith);
    // Filing in place leaves the set's storage to without.
    RayReferenceContainer consumed = set, inPlaceWithout, inPlaceWith;
    consumed.fileByBitInPlace(bit, inPlaceWithout, inPlaceWith);
    SCOPED_TRACE("in place");
    expectFiledAsInserted(inPlaceWithout, inPlaceWith, expectedWithout, expectedWith);
  }
}

// Filing shared among threads joins runs filed apart: the joins must make
// what one thread makes, where runs have no reference of a bucket, where
// the intersection empties in one run only and where a run holds the one
// pattern of a word.
TEST(RayReferenceContainer, SharedFilingMatchesInsertingInTurn) {
  struct Case {
    unsigned words;
    unsigned bitsPer; // random bits of a pattern besides the common ones
    unsigned common;  // bits 0..common-1 in every pattern
    bool lone;        // one pattern alone has a bit of the last word
  } cases[] = {
      {1, 3, 0, false}, {3, 2, 1, true}, {4, 60, 0, false}, {5, 1, 5, true}, {2, 0, 7, false},
  };
  std::mt19937 random(11);
  WorkerPool workers(4);
  const SharingPolicy::ScopedChunkWork shared(1);
  const std::size_t count = 5000;
  for (Case const& k : cases) {
    std::vector<BitList> patterns;
    for (std::size_t i = 0; i < count; ++i) {
      BitList pattern(k.words);
      for (unsigned b = 0; b < k.common; ++b)
        pattern.set(b);
      for (unsigned b = 0; b < k.bitsPer; ++b)
        pattern.set(random() % (64 * (k.words - (k.lone ? 1 : 0))));
      patterns.push_back(pattern);
    }
    if (k.lone)
      patterns[count / 3].set(64 * k.words - 1);
    std::vector<RayReference> references;
    for (std::size_t i = 0; i < count; ++i)
      references.emplace_back(fakeRay(i), patterns[i]);
    RayReferenceContainer set;
    for (RayReference const& reference : references)
      set.insert(reference);
    // A common bit, a bit of one pattern, a bit of none and a random one.
    for (unsigned bit : {0u, 64 * k.words - 1, 64 * k.words - 2,
                         static_cast<unsigned>(random() % (64 * k.words))}) {
      RayReferenceContainer expectedWithout, expectedWith, without, with;
      for (RayReference const& reference : references)
        (reference.bits().test(bit) ? expectedWith : expectedWithout).insert(reference);
      set.fileByBit(bit, without, with, SharingPolicy(&workers));
      SCOPED_TRACE("words " + std::to_string(k.words) + " bit " + std::to_string(bit));
      expectFiledAsInserted(without, with, expectedWithout, expectedWith);
    }
  }
}

TEST(RayReference, NonzeroWordRange) {
  struct Case {
    unsigned words;
    std::initializer_list<unsigned> bits;
    std::uint16_t first, end;
  } cases[] = {
      {3, {}, 0, 0}, {1, {0}, 0, 1}, {3, {64}, 1, 2}, {3, {5, 130}, 0, 3}, {4, {129, 191}, 2, 3},
  };
  for (const Case& k : cases) {
    RayReference r(fakeRay(0), kept(setOf(k.words, k.bits)));
    EXPECT_EQ(r.mFirstWord, k.first);
    EXPECT_EQ(r.mEndWord, k.end);
    EXPECT_EQ(r.mCardinality, k.bits.size());
  }
}

TEST(RayReferenceContainer, VisitorPasses) {
  RayReferenceContainer c;
  RecordingVisitor onEmpty;
  c.iterate(onEmpty);
  EXPECT_EQ(onEmpty.passes, 1);
  EXPECT_TRUE(onEmpty.visited.empty());
  EXPECT_EQ(onEmpty.mState, 0);

  c.insert(RayReference(fakeRay(0), kept(setOf(1, {1}))));
  c.insert(RayReference(fakeRay(1), kept(setOf(1, {2}))));
  RecordingVisitor twice;
  twice.passesWanted = 2;
  c.iterate(twice);
  EXPECT_EQ(twice.passes, 2);
  EXPECT_EQ(twice.visited,
            (std::vector<const void*>{fakeRay(0), fakeRay(1), fakeRay(0), fakeRay(1)}));
  EXPECT_EQ(twice.mState, 0);
}

TEST(RayReference, SharesPatternAndCountsBits) {
  BitList bits = setOf(3, {0, 64, 130, 131});
  RayReference r(fakeRay(0), bits);
  EXPECT_EQ(r.mCardinality, 4u);
  EXPECT_EQ(&r.bits(), &bits);
  RayReference empty;
  EXPECT_EQ(empty.mRay, nullptr);
  EXPECT_EQ(empty.mCardinality, 0u);
  EXPECT_EQ(empty.bits().wordCount(), 1u);

  EdgeCandidate e(RayReference(fakeRay(0), kept(setOf(2, {1, 3, 65}))),
                  RayReference(fakeRay(0), kept(setOf(2, {3, 65, 66}))));
  EXPECT_EQ(e.mCommon.toString(), setOf(2, {3, 65}).toString());
}
