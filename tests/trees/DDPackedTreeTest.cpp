// The packed image of a tree must search exactly as its nodes do: the same
// candidates in the same order, the same answers and the same counts.

#include <deque>
#include <iostream>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "TreeTestSupport.h"
#include "trees/DDPackedTree.h"
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
    for (int strategy : {0, 1, 2, 3, 5, 6})
      for (unsigned long capacity : {0ul, 1ul, 5ul, 40ul})
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
          const TreePointer narrowing =
              narrowingTree(set, querySet, settings, threshold, bits, words);
          const TreePointer verification =
              verificationTree(set, set, querySet, settings, threshold, bits, words);
          SCOPED_TRACE("words " + std::to_string(words) + " strategy " + std::to_string(strategy) +
                       " capacity " + std::to_string(capacity) + " depth " + std::to_string(depth));
          ASSERT_NE(narrowing->mPacked, nullptr);
          ASSERT_NE(verification->mPacked, nullptr);

          for (RayReference const& q : querySet.mReferences) {
            resetCounters();
            std::deque<EdgeCandidate> expected;
            narrowing->preliminaryTraverse(q, expected);
            const Counts nodeCounts = counts();
            resetCounters();
            std::vector<Ray const*> got;
            narrowing->mPacked->searchPartners(
                q, [&](RayReference const& r) { got.push_back(r.mRay); });
            ASSERT_TRUE(counts() == nodeCounts);
            ASSERT_EQ(got.size(), expected.size());
            for (std::size_t i = 0; i < got.size(); ++i)
              ASSERT_EQ(got[i], expected[i].mFirst.mRay);

            for (RayReference const& stored : set.mReferences) {
              const EdgeCandidate pair(stored, q);
              const ExtVerificationCondition question(pair.mCommon, pair.mFirst.bits(),
                                                      pair.mSecond.bits());
              resetCounters();
              const bool nodeAnswer = verification->verificationTraverse(question);
              const Counts nodeVerification = counts();
              resetCounters();
              ASSERT_EQ(verification->mPacked->verificationTraverse(question), nodeAnswer);
              ASSERT_TRUE(counts() == nodeVerification);
            }
          }
        }
}

TEST(PackedTree, SearchesAsTheNodesDo) { withBothScans(searchesAsTheNodesDo); }

// A tree built for a single query keeps neither an image nor copies of the
// patterns in its leaves; its search must still find the same partners in
// the same order with the same counts as the packed tree over the same set.
TEST(PackedTree, UnpackedTreesSearchAsPackedOnes) {
  std::mt19937 random(7);
  for (unsigned long words : {1ul, 3ul})
    for (unsigned long capacity : {0ul, 5ul, 100ul}) {
      const unsigned bits = static_cast<unsigned>(64 * words - 3);
      std::vector<BitList> stored;
      for (int i = 0; i < 50; ++i)
        stored.push_back(randomPattern(random, words, bits, 0.5));
      std::vector<BitList> queries;
      for (int i = 0; i < 12; ++i)
        queries.push_back(randomPattern(random, words, bits, 0.5));
      const RayReferenceContainer set = container(stored);
      const RayReferenceContainer querySet = container(queries, 1000);
      const TreeSettings settings{0, 15, capacity, false};
      const unsigned threshold = bits / 4;
      const TreePointer packed = narrowingTree(set, querySet, settings, threshold, bits, words);
      ASSERT_NE(packed->mPacked, nullptr);
      for (RayReference const& q : querySet.mReferences) {
        RayReferenceContainer single;
        single.insert(q);
        const TreePointer plain = narrowingTree(set, single, settings, threshold, bits, words);
        ASSERT_EQ(plain->mPacked, nullptr);
        std::vector<Ray const*> expected, got;
        resetCounters();
        searchPartners(*packed, q, [&](RayReference const& r) { expected.push_back(r.mRay); });
        const Counts packedCounts = counts();
        resetCounters();
        searchPartners(*plain, q, [&](RayReference const& r) { got.push_back(r.mRay); });
        EXPECT_TRUE(counts() == packedCounts);
        EXPECT_EQ(got, expected);
      }
    }
}

// Vantage-point trees keep their node searches, and so do trees that only a
// query or two will search: packing them would cost more than it saves.
TEST(PackedTree, OnlyPlainTreesWithSeveralQueriesArePacked) {
  const RayReferenceContainer set = container({bits({0, 1, 2}), bits({1, 2}), bits({0, 3})});
  std::vector<BitList> queries;
  for (unsigned k = 0; k < 64; ++k)
    queries.push_back(bits({k % 10}));
  const RayReferenceContainer many = container(queries, 1000);
  const RayReferenceContainer one = container({bits({0, 2})}, 1000);
  TreeSettings settings{7, 15, 0, false};
  EXPECT_EQ(narrowingTree(set, many, settings, 1, 10, 1)->mPacked, nullptr);
  settings.strategy = 0;
  EXPECT_NE(narrowingTree(set, many, settings, 1, 10, 1)->mPacked, nullptr);
  EXPECT_EQ(narrowingTree(set, one, settings, 1, 10, 1)->mPacked, nullptr);
}

} // namespace
} // namespace tree_test
