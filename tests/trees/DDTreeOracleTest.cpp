// Randomized comparison of the tree searches with brute-force scans, over
// every strategy and the interesting construction limits.

#include <algorithm>
#include <deque>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "TreeTestSupport.h"
#include "trees/DDTreeSearch.h"

namespace tree_test {
namespace {

struct Shape {
  unsigned long words;
  unsigned bitCount; // the step: patterns use bits 0..bitCount-1
};
const Shape SHAPES[] = {{1, 50}, {2, 100}, {3, 170}};
const std::size_t SIZES[] = {0, 1, 2, 3, 9, 40, 130, 500};
const unsigned long DEPTHS[] = {0, 1, 3, 15};
const unsigned long CAPACITIES[] = {0, 1, 20};

class PatternSource {
public:
  PatternSource(std::uint64_t seed, Shape shape) : mRng(seed), mShape(shape) {}

  BitList sparse(double density) {
    BitList p(mShape.words);
    std::bernoulli_distribution bit(density);
    for (unsigned k = 0; k < mShape.bitCount; ++k)
      if (bit(mRng))
        setBit(p.words(), k);
    return p;
  }
  BitList ofCardinality(unsigned cardinality) {
    BitList p(mShape.words);
    std::uniform_int_distribution<unsigned> pick(0, mShape.bitCount - 1);
    for (unsigned set = 0; set < cardinality;) {
      const unsigned k = pick(mRng);
      if (!testBit(p.words(), k)) {
        setBit(p.words(), k);
        ++set;
      }
    }
    return p;
  }
  // Patterns near a few centres, so that faces of pairs are often contained
  // in third patterns; some are exact copies of earlier ones.
  std::vector<BitList> clustered(std::size_t count) {
    std::vector<BitList> centres;
    for (int c = 0; c < 4; ++c)
      centres.push_back(sparse(0.5));
    std::vector<BitList> patterns;
    std::uniform_int_distribution<std::size_t> centre(0, centres.size() - 1);
    while (patterns.size() < count) {
      if (!patterns.empty() && chance(0.1)) {
        patterns.push_back(patterns[index(patterns.size())]);
        continue;
      }
      BitList p = centres[centre(mRng)];
      BitList noise = sparse(0.08);
      for (unsigned long w = 0; w < p.wordCount(); ++w)
        p.words()[w] ^= noise.words()[w];
      patterns.push_back(p);
    }
    return patterns;
  }
  std::vector<BitList> narrowing(std::size_t count, unsigned variant) {
    const double densities[] = {0.08, 0.15, 0.25, 0.35};
    const double density = densities[variant % 4];
    const bool equalSize = variant % 5 == 0;
    std::vector<BitList> patterns;
    while (patterns.size() < count) {
      if (!patterns.empty() && chance(0.15))
        patterns.push_back(patterns[index(patterns.size())]);
      else if (equalSize)
        patterns.push_back(ofCardinality(static_cast<unsigned>(density * mShape.bitCount)));
      else
        patterns.push_back(sparse(density));
    }
    return patterns;
  }
  bool chance(double p) { return std::bernoulli_distribution(p)(mRng); }
  std::size_t index(std::size_t size) {
    return std::uniform_int_distribution<std::size_t>(0, size - 1)(mRng);
  }

private:
  std::mt19937_64 mRng;
  Shape mShape;
};

bool strictSubset(BitList const& a, BitList const& b) {
  return isSubset(a.words(), b.words(), a.wordCount()) &&
         !equalWords(a.words(), b.words(), a.wordCount());
}

// Drops every pattern strictly contained in another, as the zero sets of the
// rays of one step never are.
std::vector<BitList> antichain(std::vector<BitList> const& patterns) {
  std::vector<BitList> kept;
  for (const BitList& p : patterns) {
    bool contained = false;
    for (const BitList& q : patterns)
      contained = contained || strictSubset(p, q);
    if (!contained)
      kept.push_back(p);
  }
  return kept;
}

struct Case {
  TreeSettings settings;
  Shape shape;
  std::size_t size;
  unsigned threshold;
  unsigned variant;
};

std::vector<Case> grid() {
  std::vector<Case> cases;
  unsigned i = 0;
  for (int strategy = 0; strategy <= 8; ++strategy)
    for (unsigned long depth : DEPTHS)
      for (unsigned long capacity : CAPACITIES)
        for (bool unique : {false, true})
          for (const Shape& shape : SHAPES) {
            TreeSettings s{strategy, depth, capacity, unique};
            cases.push_back({s, shape, SIZES[i % 8], i % 9, i / 7});
            ++i;
          }
  return cases;
}

std::string describe(Case const& c) {
  return "strategy " + std::to_string(c.settings.strategy) + ", depth " +
         std::to_string(c.settings.maxDepth) + ", capacity " +
         std::to_string(c.settings.leafCapacity) + ", unique " + std::to_string(c.settings.unique) +
         ", words " + std::to_string(c.shape.words) + ", size " + std::to_string(c.size) +
         ", threshold " + std::to_string(c.threshold);
}

TEST(TreeOracle, NarrowingSearchFindsExactlyThePartnersOfEveryQuery) {
  std::uint64_t seed = 1;
  for (const Case& c : grid()) {
    SCOPED_TRACE(describe(c));
    PatternSource source(seed++, c.shape);
    const std::vector<BitList> stored = source.narrowing(c.size, c.variant);
    std::vector<BitList> queries = source.narrowing(12, c.variant + 1);
    for (int k = 0; k < 6 && !stored.empty(); ++k)
      queries.push_back(stored[source.index(stored.size())]);
    const RayReferenceContainer set = container(stored);
    const RayReferenceContainer querySet = container(queries, 100000);

    const SearchTree tree =
        narrowingTree(set, querySet, c.settings, c.threshold, c.shape.bitCount, c.shape.words);
    const TreePointer nodes =
        narrowingNodes(set, querySet, c.settings, c.threshold, c.shape.bitCount, c.shape.words);
    ASSERT_EQ(tree.rayCount(), stored.size());
    ASSERT_EQ(nodes->getRaysCount(), stored.size());

    for (const RayReference& q : querySet.references()) {
      std::vector<const void*> expected;
      for (const RayReference& r : set.references())
        if (popcountAnd(r.bits().words(), q.bits().words(), c.shape.words) >= c.threshold)
          expected.push_back(r.mRay);
      std::deque<EdgeCandidate> found;
      nodes->preliminaryTraverse(q, found);
      std::vector<const void*> got, searched;
      for (const EdgeCandidate& e : found) {
        got.push_back(e.mFirst.mRay);
        EXPECT_EQ(e.mSecond.mRay, q.mRay);
        for (unsigned long w = 0; w < c.shape.words; ++w)
          EXPECT_EQ(e.mCommon.words()[w], e.mFirst.bits().words()[w] & q.bits().words()[w]);
      }
      searchFaces(tree, q, [&](RayReference const& r, BitList const& pattern, BitList const& face) {
        searched.push_back(r.mRay);
        for (unsigned long w = 0; w < c.shape.words; ++w) {
          EXPECT_EQ(pattern.words()[w], r.bits().words()[w]);
          EXPECT_EQ(face.words()[w], r.bits().words()[w] & q.bits().words()[w]);
        }
      });
      std::sort(searched.begin(), searched.end());
      std::sort(expected.begin(), expected.end());
      std::sort(got.begin(), got.end());
      ASSERT_EQ(got, expected);
      ASSERT_EQ(searched, expected);
    }
  }
}

TEST(TreeOracle, VerificationSearchAnswersAsAScanThatSkipsThePairItself) {
  std::uint64_t seed = 1000;
  for (const Case& c : grid()) {
    SCOPED_TRACE(describe(c));
    PatternSource source(seed++, c.shape);
    std::vector<BitList> universe = antichain(source.clustered(c.size + 20));
    const std::vector<BitList> negatives(
        universe.end() - std::min<std::size_t>(20, universe.size()), universe.end());
    universe.resize(universe.size() - negatives.size());
    const RayReferenceContainer verification = container(universe);
    RayReferenceContainer posDegenerate;
    for (const RayReference& r : verification.references())
      if (posDegenerate.size() == 0 || source.chance(0.5))
        posDegenerate.insert(r);
    const RayReferenceContainer negative = container(negatives, 100000);
    if (negative.size() == 0)
      continue;

    const SearchTree tree = verificationTree(verification, posDegenerate, negative, c.settings,
                                             c.threshold, c.shape.bitCount, c.shape.words);
    const TreePointer nodes = verificationNodes(verification, posDegenerate, negative, c.settings,
                                                c.threshold, c.shape.bitCount, c.shape.words);

    for (int k = 0; k < 30; ++k) {
      const bool bothStored = k % 3 == 0 && verification.size() > 0;
      const RayReference& first = verification.size() > 0
                                      ? verification.references()[source.index(verification.size())]
                                      : negative.references()[0];
      const RayReference& second =
          bothStored ? verification.references()[source.index(verification.size())]
                     : negative.references()[source.index(negative.size())];
      const EdgeCandidate pair(first, second);
      const ExtVerificationCondition question(pair.mCommon, pair.mFirst.bits(),
                                              pair.mSecond.bits());
      bool expected = false;
      for (const RayReference& r : verification.references()) {
        const std::uint64_t* p = r.bits().words();
        expected = expected || (isSubset(pair.mCommon.words(), p, c.shape.words) &&
                                !equalWords(p, first.bits().words(), c.shape.words) &&
                                !equalWords(p, second.bits().words(), c.shape.words));
      }
      ASSERT_EQ(verificationTraverse(tree, question), expected) << "question " << k;
      ASSERT_EQ(nodes->verificationTraverse(question), expected) << "question " << k;
    }
  }
}

} // namespace
} // namespace tree_test
