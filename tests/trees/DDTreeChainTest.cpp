#include <cstdint>
#include <map>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TreeTestSupport.h"
#include "trees/DDTreeSearch.h"

namespace tree_test {
namespace {

// A tree built with chains folded, or level by level.
TreePointer build(bool fold, bool verification, RayReferenceContainer const& set,
                  RayReferenceContainer const& queries, TreeSettings const& settings,
                  unsigned threshold) {
  VpNode::FOLD_CHAINS = fold;
  TreePointer tree = verification ? verificationTree(set, set, queries, settings, threshold, 150, 3)
                                  : narrowingTree(set, queries, settings, threshold, 150, 3);
  VpNode::FOLD_CHAINS = true;
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

// The DOT text with every node name replaced by its order of appearance.
std::string anonymous(std::string const& dot) {
  static const std::regex name("p0x[0-9a-f]+(_[0-9]+)?");
  std::map<std::string, std::size_t> seen;
  std::string out;
  auto last = dot.cbegin();
  for (std::sregex_iterator it(dot.begin(), dot.end(), name), end; it != end; ++it) {
    out.append(last, dot.cbegin() + it->position());
    out += "n" + std::to_string(seen.emplace(it->str(), seen.size()).first->second);
    last = dot.cbegin() + it->position() + it->length();
  }
  out.append(last, dot.cend());
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
                  RayReferenceContainer const& queries, bool verification) {
  Outcome out;
  resetCounters();
  for (const RayReference& q : queries.mReferences) {
    searchPartners(tree, q, [&](RayReference const& stored) { out.mFound.push_back(stored.mRay); });
    out.mFound.push_back(nullptr);
    std::deque<EdgeCandidate> candidates;
    tree.preliminaryTraverse(q, candidates);
    for (EdgeCandidate const& candidate : candidates)
      out.mFound.push_back(candidate.mFirst.mRay);
  }
  if (verification)
    for (const RayReference& first : set.mReferences)
      for (const RayReference& second : queries.mReferences) {
        const EdgeCandidate pair(first, second);
        const ExtVerificationCondition question(pair.mCommon, first.bits(), second.bits());
        out.mAnswers.push_back(verificationTraverse(tree, question));
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
                const TreePointer folded =
                    build(true, verification, set, queries, settings, threshold);
                const TreePointer unfolded =
                    build(false, verification, set, queries, settings, threshold);
                EXPECT_EQ(longestChain(*unfolded), 1u);
                longest = std::max(longest, longestChain(*folded));
                EXPECT_TRUE(outcomeOf(*folded, set, queries, verification) ==
                            outcomeOf(*unfolded, set, queries, verification));
              }
  }
  // The cases above do fold long chains.
  EXPECT_GT(longest, 250u);
}

} // namespace
} // namespace tree_test
