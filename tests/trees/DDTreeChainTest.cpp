#include <cctype>
#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TreeTestSupport.h"
#include "trees/DDTreeSearch.h"

namespace tree_test {
namespace {

// A tree built with chains folded, or level by level.
SearchTree build(bool fold, bool verification, RayReferenceContainer const& set,
                 RayReferenceContainer const& queries, TreeSettings const& settings,
                 unsigned threshold) {
  VpNode::FOLD_CHAINS = fold;
  SearchTree tree = verification ? verificationTree(set, set, queries, settings, threshold, 150, 3)
                                 : narrowingTree(set, queries, settings, threshold, 150, 3);
  VpNode::FOLD_CHAINS = true;
  // Vantage-point trees are searched as nodes.
  EXPECT_NE(tree.nodes(), nullptr);
  return tree;
}

std::uint32_t longestChain(TreeNode const& tree) {
  std::uint32_t longest = 0;
  std::vector<TreeNode const*> open{&tree};
  while (!open.empty()) {
    auto const* node = dynamic_cast<VpNode const*>(open.back());
    open.pop_back();
    if (node == nullptr)
      continue;
    longest = std::max(longest, node->repeat());
    for (unsigned short i = 0; i < node->childCount(); ++i)
      open.push_back(node->child(i));
  }
  return longest;
}

// The DOT text with every node name, p0x<hex> with a _<level> perhaps,
// replaced by its order of appearance.
std::string anonymous(std::string const& dot) {
  std::map<std::string, std::size_t> seen;
  std::string out;
  std::size_t at = 0;
  for (std::size_t start; (start = dot.find("p0x", at)) != std::string::npos;) {
    std::size_t end = start + 3;
    while (end < dot.size() && std::isxdigit(static_cast<unsigned char>(dot[end])))
      ++end;
    if (end < dot.size() && dot[end] == '_')
      while (++end < dot.size() && std::isdigit(static_cast<unsigned char>(dot[end])))
        ;
    out.append(dot, at, start - at);
    out += "n" +
           std::to_string(seen.emplace(dot.substr(start, end - start), seen.size()).first->second);
    at = end;
  }
  out.append(dot, at, std::string::npos);
  return out;
}

struct Outcome {
  std::vector<const void*> mFound;
  std::vector<bool> mAnswers;
  std::uint64_t mNarrowing = 0;
  std::uint64_t mVerification = 0;
  std::uint64_t mConditions = 0;
  std::uint64_t mSubNodes = 0;
  std::uint64_t mRays = 0;
  std::uint64_t mLeaves = 0;
  std::vector<std::uint64_t> mListed;
  std::string mDot;

  bool operator==(Outcome const& o) const {
    return mFound == o.mFound && mAnswers == o.mAnswers && mNarrowing == o.mNarrowing &&
           mVerification == o.mVerification && mConditions == o.mConditions &&
           mSubNodes == o.mSubNodes && mRays == o.mRays && mLeaves == o.mLeaves &&
           mListed == o.mListed && mDot == o.mDot;
  }
};

// Every search, in order, with its counts, and every count of the tree.
Outcome outcomeOf(TreeNode const& tree, RayReferenceContainer const& set,
                  RayReferenceContainer const& queries, bool verification, bool dot = true) {
  Outcome out;
  resetCounters();
  for (const RayReference& q : queries.references()) {
    searchNodes(tree, q, [&](RayReference const& stored) { out.mFound.push_back(stored.mRay); });
    out.mFound.push_back(nullptr);
    std::deque<EdgeCandidate> candidates;
    tree.preliminaryTraverse(q, candidates);
    for (EdgeCandidate const& candidate : candidates)
      out.mFound.push_back(candidate.mFirst.mRay);
  }
  if (verification)
    for (const RayReference& first : set.references())
      for (const RayReference& second : queries.references()) {
        const EdgeCandidate pair(first, second);
        const ExtVerificationCondition question(pair.mCommon, first.bits(), second.bits());
        out.mAnswers.push_back(tree.verificationTraverse(question));
      }
  out.mSubNodes = tree.getSubNodesCount();
  out.mRays = tree.getRaysCount();
  out.mLeaves = tree.getLeafNodesCount();
  std::vector<TreeNode const*> leaves;
  tree.enumerateLeafNodes(leaves);
  for (TreeNode const* leaf : leaves)
    out.mListed.push_back(leaf->getRaysCount());
  out.mNarrowing = PreliminaryCondition::NARROWING_OPS;
  out.mVerification = PreliminaryCondition::VERIFICATION_OPS;
  out.mConditions = VerificationCondition::OPS;
  if (dot)
    out.mDot = anonymous(tree.toString(65535));
  return out;
}

// Patterns drawn from a few distinct ones: most of a tree's sets cannot be
// split by their vantage points and run down to the depth limit.
std::vector<BitList> repetitive(std::mt19937& random, std::size_t count, std::size_t kinds) {
  std::vector<BitList> pool;
  std::uniform_int_distribution<unsigned> bit(0, 149);
  for (std::size_t k = 0; k < kinds; ++k) {
    BitList pattern(3);
    for (int b = 0; b < 6; ++b)
      setBit(pattern.words(), bit(random));
    pool.push_back(pattern);
  }
  std::vector<BitList> out;
  std::uniform_int_distribution<std::size_t> pick(0, kinds - 1);
  for (std::size_t i = 0; i < count; ++i)
    out.push_back(pool[pick(random)]);
  return out;
}

TEST(TreeChain, FoldedAndLevelByLevelTreesSearchAndCountAlike) {
  std::mt19937 random(15);
  std::uint32_t longest = 0;
  for (int round = 0; round < 4; ++round) {
    const std::vector<BitList> stored = repetitive(random, 12 + 4 * round, 2 + round % 3);
    std::vector<BitList> asked = repetitive(random, 6, 3);
    asked.insert(asked.end(), stored.begin(), stored.begin() + 3);
    const RayReferenceContainer set = container(stored);
    const RayReferenceContainer queries = container(asked, 1000);
    for (int strategy : {BINARY_DYNAMIC_VANTAGE_POINT, BINARY_STATIC_VANTAGE_POINT})
      for (unsigned long depth : {2ul, 9ul, 300ul})
        for (unsigned long capacity : {0ul, 1ul, 3ul})
          for (bool unique : {false, true})
            for (bool verification : {false, true})
              for (unsigned threshold : {1u, 3u}) {
                SCOPED_TRACE(::testing::Message()
                             << "round " << round << " strategy " << strategy << " depth " << depth
                             << " capacity " << capacity << " unique " << unique << " verification "
                             << verification << " threshold " << threshold);
                const TreeSettings settings{strategy, depth, capacity, unique};
                const SearchTree folded =
                    build(true, verification, set, queries, settings, threshold);
                const SearchTree unfolded =
                    build(false, verification, set, queries, settings, threshold);
                EXPECT_EQ(longestChain(*unfolded.nodes()), 1u);
                longest = std::max(longest, longestChain(*folded.nodes()));
                EXPECT_TRUE(outcomeOf(*folded.nodes(), set, queries, verification) ==
                            outcomeOf(*unfolded.nodes(), set, queries, verification));
              }
  }
  // The cases above do fold long chains.
  EXPECT_GT(longest, 250u);
}

// The settings of the deepest trees: no leaf capacity, the largest depth. The
// trees built level by level take seconds.
TEST(SlowTreeChain, FoldedAndLevelByLevelTreesAlikeDownToTheLargestDepth) {
  std::mt19937 random(65535);
  const std::vector<BitList> stored = repetitive(random, 10, 3);
  std::vector<BitList> asked = repetitive(random, 4, 2);
  asked.insert(asked.end(), stored.begin(), stored.begin() + 2);
  const RayReferenceContainer set = container(stored);
  const RayReferenceContainer queries = container(asked, 1000);
  for (int strategy : {BINARY_DYNAMIC_VANTAGE_POINT, BINARY_STATIC_VANTAGE_POINT})
    for (bool verification : {false, true}) {
      SCOPED_TRACE(::testing::Message()
                   << "strategy " << strategy << " verification " << verification);
      const TreeSettings settings{strategy, 65535, 0, false};
      const SearchTree folded = build(true, verification, set, queries, settings, 2);
      const SearchTree unfolded = build(false, verification, set, queries, settings, 2);
      EXPECT_GT(longestChain(*folded.nodes()), 65000u);
      EXPECT_TRUE(outcomeOf(*folded.nodes(), set, queries, verification, false) ==
                  outcomeOf(*unfolded.nodes(), set, queries, verification, false));
    }
}

} // namespace
} // namespace tree_test
