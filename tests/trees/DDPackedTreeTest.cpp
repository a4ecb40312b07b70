// The image of a plain tree, built straight from the split, must search
// exactly as the nodes the same split builds: the same candidates in the same
// order, the same answers and the same counts, with either scans.

#include <deque>
#include <iostream>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "TreeTestSupport.h"
#include "core/DDWorkerPool.h"
#include "trees/DDPackedTree.h"
#include "trees/DDPackedTreeBuilder.h"
#include "trees/DDSearchTree.h"
#include "trees/DDTreeSearch.h"

namespace tree_test {
namespace {

struct Counts {
  std::uint64_t narrowing, verification, ops;
  bool operator==(Counts const& o) const {
    return narrowing == o.narrowing && verification == o.verification && ops == o.ops;
  }
};

Counts counts() {
  return {PreliminaryCondition::NARROWING_OPS, PreliminaryCondition::VERIFICATION_OPS,
          VerificationCondition::OPS};
}

// The image's narrowing search for q finds what the nodes find, in their
// order, and counts what they count.
void expectNarrowsAsTheNodes(SearchTree const& image, TreeNode const& nodes,
                             RayReference const& q) {
  resetCounters();
  std::deque<EdgeCandidate> expected;
  nodes.preliminaryTraverse(q, expected);
  const Counts nodeCounts = counts();
  resetCounters();
  std::vector<Ray const*> got;
  searchPartners(image, q, [&](RayReference const& r) { got.push_back(r.mRay); });
  EXPECT_TRUE(counts() == nodeCounts);
  ASSERT_EQ(got.size(), expected.size());
  for (std::size_t i = 0; i < got.size(); ++i)
    ASSERT_EQ(got[i], expected[i].mFirst.mRay);
}

// The image's verification search answers and counts as the nodes do.
void expectVerifiesAsTheNodes(SearchTree const& image, TreeNode const& nodes,
                              ExtVerificationCondition const& question) {
  resetCounters();
  const bool nodeAnswer = nodes.verificationTraverse(question);
  const Counts nodeCounts = counts();
  resetCounters();
  EXPECT_EQ(verificationTraverse(image, question), nodeAnswer);
  EXPECT_TRUE(counts() == nodeCounts);
}

// The faces of q's pairs with every pattern of set, verified a batch at a
// time, answer as one by one, with the same counts summed.
void expectBatchesVerifyAsOneByOne(SearchTree const& tree, RayReferenceContainer const& set,
                                   RayReference const& q) {
  resetCounters();
  std::vector<bool> expected;
  for (RayReference const& stored : set.references()) {
    const EdgeCandidate pair(stored, q);
    const ExtVerificationCondition question(pair.mCommon, stored.bits(), q.bits());
    expected.push_back(verificationTraverse(tree, question));
  }
  const Counts oneByOne = counts();
  resetCounters();
  PackedTree const& image = *tree.image();
  FaceBatch batch(image.wordCount());
  std::vector<bool> got;
  const auto verify = [&] {
    const std::uint64_t found = image.verifyFaces(batch, q.bits());
    for (std::uint32_t j = 0; j < batch.size(); ++j)
      got.push_back((found >> j & 1) != 0);
    batch.clear();
  };
  for (RayReference const& stored : set.references()) {
    const EdgeCandidate pair(stored, q);
    batch.add(stored, pair.mCommon);
    if (batch.full())
      verify();
  }
  verify();
  EXPECT_EQ(got, expected);
  EXPECT_TRUE(counts() == oneByOne);
}

BitList randomPattern(std::mt19937& random, unsigned long words, unsigned bits, double density) {
  BitList p(words);
  std::bernoulli_distribution bit(density);
  for (unsigned k = 0; k < bits; ++k)
    if (bit(random))
      p.set(k);
  return p;
}

// Runs body with the plain scans and, where the processor has them, the
// AVX-512 ones; says when it cannot run the second.
template <class F> void withBothScans(F&& body) {
  for (bool vectors : {false, true}) {
    if (PackedTree::useVectorScans(vectors) != vectors) {
      std::cout << "[ SKIPPED  ] the AVX-512 leg: this processor does not run it\n";
      continue;
    }
    SCOPED_TRACE(vectors ? "AVX-512 scans" : "plain scans");
    body();
  }
  PackedTree::useVectorScans(true);
}

void searchesAsTheNodesDo() {
  std::mt19937 random(3);
  for (unsigned long words : {1ul, 2ul, 3ul})
    for (int strategy = 0; strategy <= 6; ++strategy)
      for (unsigned long capacity : {0ul, 1ul, 5ul, 40ul, 61ul})
        for (unsigned long depth : {1ul, 4ul, 15ul}) {
          const unsigned bits = static_cast<unsigned>(64 * words - 7);
          std::vector<BitList> stored;
          // Depth 1 leaves leaves large enough for slices.
          const int count = depth == 1 ? 1100 : 60;
          for (int i = 0; i < count; ++i)
            stored.push_back(randomPattern(random, words, bits, 0.6));
          stored.push_back(stored[5]); // equal patterns
          std::vector<BitList> queries;
          for (int i = 0; i < 15; ++i)
            queries.push_back(randomPattern(random, words, bits, 0.6));
          const RayReferenceContainer set = container(stored);
          const RayReferenceContainer querySet = container(queries, 1000);
          TreeSettings settings{strategy, depth, capacity, false};
          const unsigned threshold = static_cast<unsigned>(0.3 * bits);
          const SearchTree narrowing =
              narrowingTree(set, querySet, settings, threshold, bits, words);
          const TreePointer narrowingReference =
              narrowingNodes(set, querySet, settings, threshold, bits, words);
          const SearchTree verification =
              verificationTree(set, set, querySet, settings, threshold, bits, words);
          const TreePointer verificationReference =
              verificationNodes(set, set, querySet, settings, threshold, bits, words);
          SCOPED_TRACE("words " + std::to_string(words) + " strategy " + std::to_string(strategy) +
                       " capacity " + std::to_string(capacity) + " depth " + std::to_string(depth));
          ASSERT_NE(narrowing.image(), nullptr);
          ASSERT_NE(verification.image(), nullptr);

          for (RayReference const& q : querySet.references()) {
            expectNarrowsAsTheNodes(narrowing, *narrowingReference, q);
            expectBatchesVerifyAsOneByOne(verification, set, q);

            for (RayReference const& stored : set.references()) {
              const EdgeCandidate pair(stored, q);
              const ExtVerificationCondition question(pair.mCommon, pair.mFirst.bits(),
                                                      pair.mSecond.bits());
              expectVerifiesAsTheNodes(verification, *verificationReference, question);
            }
          }
        }
}

TEST(PackedTree, SearchesAsTheNodesDo) { withBothScans(searchesAsTheNodesDo); }

// The hits and counts of one search of an image.
struct Search {
  std::vector<Ray const*> hits;
  Counts counts;
};

Search search(PackedTree const& image, RayReference const& query) {
  resetCounters();
  Search s;
  image.searchPartners(query, [&](RayReference const& r) { s.hits.push_back(r.mRay); });
  s.counts = counts();
  return s;
}

// An image built only where its few queries go answers each of them as the
// whole image does: the same hits in the same order, the same counts. The
// split visitor must choose the same bits for every node built, whatever it
// skipped before; the sparse sets make most subtrees unreached, and the
// check on the closed visitor holds the skipped levels to their balance.
void partialImagesSearchAsTheWholeOne() {
  std::mt19937 random(11);
  std::uint64_t wholeRays = 0, partialRays = 0;
  for (unsigned long words : {1ul, 3ul})
    for (int strategy = 0; strategy <= 6; ++strategy)
      for (double density : {0.05, 0.5})
        for (unsigned long depth : {4ul, 15ul, 200ul})
          for (std::size_t queryCount : {1u, 2u, 3u}) {
            const unsigned bits = static_cast<unsigned>(64 * words - 5);
            std::vector<BitList> stored, queries;
            for (int i = 0; i < 300; ++i)
              stored.push_back(randomPattern(random, words, bits, density));
            stored.push_back(stored[7]); // equal patterns
            for (std::size_t i = 0; i < queryCount; ++i)
              queries.push_back(randomPattern(random, words, bits, density));
            const RayReferenceContainer set = container(stored);
            const RayReferenceContainer querySet = container(queries, 1000);
            const TreeSettings settings{strategy, depth, 3, false};
            const unsigned threshold = density < 0.1 ? 1 : static_cast<unsigned>(0.3 * bits);
            const TreeContext context = contextOf(threshold, bits, words);
            SCOPED_TRACE("words " + std::to_string(words) + " strategy " +
                         std::to_string(strategy) + " density " + std::to_string(density) +
                         " depth " + std::to_string(depth) + " queries " +
                         std::to_string(queryCount));
            const auto visitor = createBitSplitVisitor(settings.options(), context, set, querySet);
            const auto whole =
                PackedTreeBuilder(threshold, words, bits, false).split(set, *visitor);
            expectClosed(*visitor);
            const SearchTree program =
                narrowingTree(set, querySet, settings, threshold, bits, words);
            ASSERT_NE(program.image(), nullptr);
            for (RayReference const& q : querySet.references()) {
              const Search expected = search(*whole, q);
              const Search got = search(*program.image(), q);
              ASSERT_TRUE(got.counts == expected.counts);
              ASSERT_EQ(got.hits, expected.hits);
            }
            wholeRays += whole->rayCount();
            partialRays += program.image()->rayCount();
          }
  // The partial images do leave out what their queries never reach.
  EXPECT_LT(partialRays, wholeRays);
}

TEST(PackedTree, PartialImagesSearchAsTheWholeOne) {
  withBothScans(partialImagesSearchAsTheWholeOne);
}

// Images built on four threads are those one thread builds, word for word,
// and search alike: whole and partial narrowing images and verification
// images, over sets large enough that the top levels' filing is shared too,
// through deep chains of sparse splits and shallow dense ones.
TEST(PackedTree, ThreadsBuildTheImageOfOneThread) {
  std::mt19937 random(17);
  WorkerPool workers(4);
  const SharingPolicy::ScopedChunkWork shared(1);
  for (unsigned long words : {1ul, 3ul})
    for (int strategy = 0; strategy <= 6; ++strategy)
      for (double density : {0.05, 0.5}) {
        const unsigned bits = static_cast<unsigned>(64 * words - 5);
        std::vector<BitList> stored, queries;
        for (std::size_t i = 0; i < std::size_t(5000); ++i)
          stored.push_back(randomPattern(random, words, bits, density));
        for (int i = 0; i < 6; ++i)
          queries.push_back(randomPattern(random, words, bits, density));
        const RayReferenceContainer set = container(stored);
        const RayReferenceContainer all = container(queries, 100000);
        const RayReferenceContainer few = container({queries[0], queries[1]}, 100000);
        const TreeSettings settings{strategy, density < 0.1 ? 200ul : 8ul, 20, false};
        const unsigned threshold = density < 0.1 ? 1 : static_cast<unsigned>(0.3 * bits);
        const TreeContext one = contextOf(threshold, bits, words);
        TreeContext shared = one;
        shared.mWorkers = &workers;
        SCOPED_TRACE("words " + std::to_string(words) + " strategy " + std::to_string(strategy) +
                     " density " + std::to_string(density));
        for (RayReferenceContainer const* querySet : {&all, &few}) {
          const SearchTree expected = createNarrowingTree(settings.options(), one, set, *querySet);
          const SearchTree got = createNarrowingTree(settings.options(), shared, set, *querySet);
          ASSERT_NE(got.image(), nullptr);
          EXPECT_TRUE(got.image()->sameImageAs(*expected.image()));
          for (RayReference const& q : querySet->references()) {
            const Search a = search(*expected.image(), q);
            const Search b = search(*got.image(), q);
            ASSERT_TRUE(b.counts == a.counts);
            ASSERT_EQ(b.hits, a.hits);
          }
        }
        const SearchTree expected = createVerTree(settings.options(), one, set, set, all);
        const SearchTree got = createVerTree(settings.options(), shared, set, set, all);
        ASSERT_NE(got.image(), nullptr);
        EXPECT_TRUE(got.image()->sameImageAs(*expected.image()));
        for (std::size_t i = 0; i < set.size(); i += 97) {
          const EdgeCandidate pair(set.references()[i], all.references()[i % queries.size()]);
          const ExtVerificationCondition question(pair.mCommon, pair.mFirst.bits(),
                                                  pair.mSecond.bits());
          resetCounters();
          const bool answer = verificationTraverse(expected, question);
          const Counts expectedCounts = counts();
          resetCounters();
          EXPECT_EQ(verificationTraverse(got, question), answer);
          EXPECT_TRUE(counts() == expectedCounts);
        }
      }
}

// Sparse patterns (a few bits, one of them often a hub shared by half of
// them, as the tight rows of a cyclic polytope) get a row index: the
// partners it gives, their order and the counts are the nodes' for queries
// that read it, that fall back to the leaves or that have too few bits.
void sparseImagesSearchAsTheNodesDo() {
  std::mt19937 random(11);
  for (unsigned long words : {2ul, 3ul})
    for (unsigned threshold : {1u, 2u, 3u})
      for (int strategy : {0, 2, 4})
        for (unsigned long capacity : {1ul, 20ul})
          for (unsigned long depth : {4ul, 15ul}) {
            const unsigned bits = static_cast<unsigned>(64 * words - 3);
            std::uniform_int_distribution<unsigned> bit(1, bits - 1);
            const auto sparse = [&](unsigned size, bool hub) {
              BitList p(words);
              if (hub)
                p.set(0);
              for (unsigned k = 0; k < size; ++k)
                p.set(bit(random));
              return p;
            };
            std::vector<BitList> stored;
            for (int i = 0; i < 400; ++i)
              stored.push_back(sparse(i % 3 + 1, i % 2 == 0));
            stored.push_back(stored[7]); // equal patterns
            std::vector<BitList> queries = {BitList(words), sparse(0, true), stored[3], stored[8]};
            for (int i = 0; i < 30; ++i)
              queries.push_back(sparse(i % 4 + 1, i % 3 == 0));
            queries.push_back(randomPattern(random, words, bits, 0.5)); // reads long lists
            const RayReferenceContainer set = container(stored);
            const RayReferenceContainer querySet = container(queries, 1000);
            const TreeSettings settings{strategy, depth, capacity, false};
            const SearchTree tree = narrowingTree(set, querySet, settings, threshold, bits, words);
            const TreePointer nodes =
                narrowingNodes(set, querySet, settings, threshold, bits, words);
            SCOPED_TRACE("words " + std::to_string(words) + " threshold " +
                         std::to_string(threshold) + " strategy " + std::to_string(strategy) +
                         " capacity " + std::to_string(capacity) + " depth " +
                         std::to_string(depth));
            ASSERT_NE(tree.image(), nullptr);
            ASSERT_TRUE(tree.image()->rowIndexed());
            for (RayReference const& q : querySet.references()) {
              resetCounters();
              std::deque<EdgeCandidate> expected;
              nodes->preliminaryTraverse(q, expected);
              const Counts nodeCounts = counts();
              const Search got = search(*tree.image(), q);
              ASSERT_TRUE(got.counts == nodeCounts);
              ASSERT_EQ(got.hits.size(), expected.size());
              for (std::size_t i = 0; i < expected.size(); ++i)
                ASSERT_EQ(got.hits[i], expected[i].mFirst.mRay);
            }
          }
}

TEST(PackedTree, SparseImagesSearchAsTheNodesDo) { withBothScans(sparseImagesSearchAsTheNodesDo); }

// Large leaves of patterns too dense for a row index narrow over their
// slices, counting each pattern's hits or misses, or scan their patterns
// where that costs less: the partners, their order and the counts are the
// nodes' either way, from thresholds every leaf meets to thresholds that
// leave a pattern no miss.
void slicedLeavesNarrowAsTheNodesDo() {
  std::mt19937 random(23);
  for (unsigned long words : {2ul, 3ul})
    for (unsigned long depth : {1ul, 2ul})
      for (unsigned threshold : {0u, 1u, 3u, 6u, 9u}) {
        const unsigned bits = static_cast<unsigned>(64 * words - 7);
        std::vector<BitList> stored;
        for (int i = 0; i < 1500; ++i)
          stored.push_back(randomPattern(random, words, bits, 0.08));
        std::vector<BitList> queries;
        for (int i = 0; i < 20; ++i)
          queries.push_back(i % 2 == 0
                                ? stored[static_cast<std::size_t>(i * 37)]
                                : randomPattern(random, words, bits, i % 3 == 0 ? 0.5 : 0.1));
        const RayReferenceContainer set = container(stored);
        const RayReferenceContainer querySet = container(queries, 10000);
        const TreeSettings settings{0, depth, 20, false};
        const SearchTree tree = narrowingTree(set, querySet, settings, threshold, bits, words);
        const TreePointer nodes = narrowingNodes(set, querySet, settings, threshold, bits, words);
        SCOPED_TRACE("words " + std::to_string(words) + " depth " + std::to_string(depth) +
                     " threshold " + std::to_string(threshold));
        ASSERT_NE(tree.image(), nullptr);
        ASSERT_FALSE(tree.image()->rowIndexed());
        ASSERT_TRUE(tree.image()->sliced());
        for (RayReference const& q : querySet.references())
          expectNarrowsAsTheNodes(tree, *nodes, q);
      }
}

TEST(PackedTree, SlicedLeavesNarrowAsTheNodesDo) { withBothScans(slicedLeavesNarrowAsTheNodesDo); }

// Dense patterns keep testing the leaves: no index.
TEST(PackedTree, DenseImagesHaveNoRowIndex) {
  std::mt19937 random(5);
  std::vector<BitList> stored;
  for (int i = 0; i < 400; ++i)
    stored.push_back(randomPattern(random, 1, 60, 0.2));
  const RayReferenceContainer set = container(stored);
  const RayReferenceContainer query = container({stored[0]}, 1000);
  const SearchTree tree = narrowingTree(set, query, TreeSettings{0, 15, 20, false}, 2, 60, 1);
  ASSERT_NE(tree.image(), nullptr);
  EXPECT_FALSE(tree.image()->rowIndexed());
}

// Nested patterns split into a chain about as deep as there are patterns:
// the image, built without recursion, finds all of them for a query holding
// every bit, in the order and with the counts of the nodes.
TEST(PackedTree, ChainAsDeepAsThePatternsSearchesAsTheNodes) {
  const unsigned n = 2000;
  const unsigned long words = BitList::wordsFor(n + 1);
  std::vector<BitList> stored;
  BitList pattern(words);
  for (unsigned i = 0; i < n; ++i) {
    pattern.set(i);
    stored.push_back(pattern);
  }
  const RayReferenceContainer set = container(stored);
  pattern.set(n);
  const RayReferenceContainer query = container({pattern}, 200000);
  RayReference const& all = query.references()[0];
  const TreeSettings settings{0, 65535, 0, false};
  const SearchTree tree = narrowingTree(set, query, settings, 1, n + 1, words);
  const TreePointer nodes = narrowingNodes(set, query, settings, 1, n + 1, words);
  ASSERT_NE(tree.image(), nullptr);
  ASSERT_GE(nodes->getSubNodesCount(), 2 * n);
  std::deque<EdgeCandidate> expected;
  nodes->preliminaryTraverse(all, expected);
  ASSERT_EQ(expected.size(), n);
  expectNarrowsAsTheNodes(tree, *nodes, all);
  // Faces go down such a chain together as well.
  const SearchTree verification = verificationTree(set, set, query, settings, 1, n + 1, words);
  expectBatchesVerifyAsOneByOne(verification, set, all);
}

// The empty verification tree is one empty leaf: each question costs the one
// visit that the shared empty leaf counts.
TEST(PackedTree, EmptyVerificationTreeCountsAsTheEmptyLeaf) {
  const RayReferenceContainer none;
  const RayReferenceContainer negative = container({bits({0, 1}), bits({1, 2})}, 1000);
  const TreeSettings settings{0, 15, 1, false};
  const SearchTree tree = verificationTree(none, none, negative, settings, 1, 10, 1);
  const TreePointer nodes = verificationNodes(none, none, negative, settings, 1, 10, 1);
  for (BitList const& face : {bits({1}), BitList(1)}) {
    const ExtVerificationCondition question(face, negative.references()[0].bits(),
                                            negative.references()[1].bits());
    expectVerifiesAsTheNodes(tree, *nodes, question);
  }
}

// Plain trees are images whatever the number of queries; vantage-point trees
// keep their nodes, except a single leaf, which is a plain one.
TEST(PackedTree, OnlyVantagePointTreesKeepTheirNodes) {
  const RayReferenceContainer set = container({bits({0, 1, 2}), bits({1, 2}), bits({0, 3})});
  std::vector<BitList> queries;
  for (unsigned k = 0; k < 64; ++k)
    queries.push_back(bits({k % 10}));
  const RayReferenceContainer many = container(queries, 1000);
  const RayReferenceContainer one = container({bits({0, 2})}, 1000);
  TreeSettings settings{7, 15, 0, false};
  EXPECT_EQ(narrowingTree(set, many, settings, 1, 10, 1).image(), nullptr);
  EXPECT_EQ(verificationTree(set, set, many, settings, 1, 10, 1).image(), nullptr);
  settings.leafCapacity = 3;
  EXPECT_NE(narrowingTree(set, many, settings, 1, 10, 1).image(), nullptr);
  settings = {0, 15, 0, false};
  EXPECT_NE(narrowingTree(set, many, settings, 1, 10, 1).image(), nullptr);
  EXPECT_NE(narrowingTree(set, one, settings, 1, 10, 1).image(), nullptr);
}

} // namespace
} // namespace tree_test
