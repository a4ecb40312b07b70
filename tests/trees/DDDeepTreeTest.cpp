#include <pthread.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TreeTestSupport.h"
#include "trees/DDTreeSearch.h"

namespace tree_test {
namespace {

// Runs body on a thread whose stack holds a few thousand frames at most: far
// less than recursion over the trees below would take.
void onSmallStack(std::function<void()> body) {
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setstacksize(&attributes, 256 * 1024);
  pthread_t thread;
  auto run = [](void* f) -> void* {
    (*static_cast<std::function<void()>*>(f))();
    // The word arrays this thread kept for reuse would die with it.
    for (std::uint64_t words = 0; words <= 64; ++words)
      BitList::releasePooled(words);
    return nullptr;
  };
  ASSERT_EQ(pthread_create(&thread, &attributes, run, &body), 0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attributes);
}

std::vector<const void*> sortedRays(std::deque<EdgeCandidate> const& found) {
  std::vector<const void*> out;
  for (const EdgeCandidate& e : found)
    out.push_back(e.mFirst.mRay);
  std::sort(out.begin(), out.end());
  return out;
}

// Every count of a tree agrees with its leaves.
void expectConsistentCounts(TreeNode const& tree, std::size_t stored) {
  EXPECT_EQ(tree.getRaysCount(), stored);
  std::vector<TreeNode const*> leaves;
  tree.enumerateLeafNodes(leaves);
  EXPECT_EQ(leaves.size(), tree.getLeafNodesCount());
  std::uint64_t inLeaves = 0;
  for (TreeNode const* leaf : leaves)
    inLeaves += leaf->getRaysCount();
  EXPECT_EQ(inLeaves, stored);
}

// Patterns of 3 words that a vantage point cannot tell apart by overlap.
std::vector<BitList> vantagePatterns() {
  return {bits({0, 1, 70}, 3), bits({1, 2, 130}, 3), bits({2, 3, 71}, 3), bits({0, 3, 131}, 3),
          bits({5, 64, 140}, 3)};
}

TEST(DeepTree, VantagePointTreesDownToTheDepthLimit) {
  const std::vector<BitList> stored = vantagePatterns();
  const std::vector<BitList> others = {bits({0, 1, 2}, 3), bits({1, 3, 70, 71}, 3),
                                       bits({64, 130, 131}, 3)};
  for (int strategy : {BINARY_DYNAMIC_VANTAGE_POINT, BINARY_STATIC_VANTAGE_POINT}) {
    SCOPED_TRACE(strategy);
    const TreeSettings settings{strategy, 10000, 0, false};
    onSmallStack([&] {
      const RayReferenceContainer set = container(stored);
      const RayReferenceContainer queries = container(others, 100);

      const SearchTree narrowingSearch = narrowingTree(set, queries, settings, 2, 150, 3);
      // Vantage-point trees are searched as nodes.
      ASSERT_NE(narrowingSearch.nodes(), nullptr);
      TreeNode const* narrowing = narrowingSearch.nodes();
      // One reference per leaf is reached only at the depth limit.
      EXPECT_GT(narrowing->getSubNodesCount(), 10000u);
      expectConsistentCounts(*narrowing, stored.size());
      for (const RayReference& q : queries.references()) {
        std::vector<const void*> expected;
        for (const RayReference& r : set.references())
          if (popcountAnd(r.bits().words(), q.bits().words(), 3) >= 2)
            expected.push_back(r.mRay);
        std::sort(expected.begin(), expected.end());
        std::deque<EdgeCandidate> found;
        narrowing->preliminaryTraverse(q, found);
        EXPECT_EQ(sortedRays(found), expected);
      }
      EXPECT_EQ(narrowing->toString(2).rfind("p", 0), 0u);

      const SearchTree verificationSearch =
          verificationTree(set, set, queries, settings, 2, 150, 3);
      ASSERT_NE(verificationSearch.nodes(), nullptr);
      TreeNode const* verification = verificationSearch.nodes();
      EXPECT_GT(verification->getSubNodesCount(), 10000u);
      expectConsistentCounts(*verification, stored.size());
      for (const RayReference& first : set.references())
        for (const RayReference& second : queries.references()) {
          const EdgeCandidate pair(first, second);
          const ExtVerificationCondition question(pair.mCommon, first.bits(), second.bits());
          bool expected = false;
          for (const RayReference& r : set.references())
            expected = expected || (r.mRay != first.mRay && question.holdsOnRay(r.bits()));
          EXPECT_EQ(verificationTraverse(verificationSearch, question), expected);
        }
    });
  }
}

TEST(DeepTree, SingleBitTreesAsDeepAsTheirBits) {
  // First available bit over single-bit patterns: every level splits one off.
  const unsigned n = 4000;
  const unsigned long words = n / 64 + 1;
  std::vector<BitList> stored;
  for (unsigned k = 0; k < n; ++k)
    stored.push_back(bits({k}, words));
  const TreeSettings settings{BPT_FIRST_AVAILABLE_BIT, 65535, 0, false};
  onSmallStack([&] {
    const RayReferenceContainer set = container(stored);
    const RayReferenceContainer queries = container(
        {bits({0}, words), bits({1, n - 1}, words), bits({n / 2}, words), bits({7, 8, 9}, words)},
        100000);
    // Plain trees are searched as packed images.
    const SearchTree tree = narrowingTree(set, queries, settings, 1, n, words);
    ASSERT_NE(tree.image(), nullptr);
    EXPECT_EQ(tree.rayCount(), n);
    for (const RayReference& q : queries.references()) {
      std::vector<const void*> expected;
      std::vector<const void*> found;
      for (const RayReference& r : set.references())
        if (popcountAnd(r.bits().words(), q.bits().words(), words) >= 1)
          expected.push_back(r.mRay);
      searchPartners(tree, q, [&](RayReference const& r) { found.push_back(r.mRay); });
      std::sort(found.begin(), found.end());
      std::sort(expected.begin(), expected.end());
      EXPECT_EQ(found, expected);
    }

    const SearchTree verification = verificationTree(set, set, queries, settings, 1, n, words);
    ASSERT_NE(verification.image(), nullptr);
    const RayReference& first = set.references()[7];
    for (const RayReference& second : queries.references()) {
      const EdgeCandidate pair(first, second);
      const ExtVerificationCondition question(pair.mCommon, first.bits(), second.bits());
      // Bit 7 alone lies only in pattern 7 itself; an empty face in every pattern.
      EXPECT_EQ(verificationTraverse(verification, question), pair.mCommon.none());
    }
  });
}

} // namespace
} // namespace tree_test
