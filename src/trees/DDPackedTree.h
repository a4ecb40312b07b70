#ifndef DD_PACKEDTREE_H
#define DD_PACKEDTREE_H

#include <cstdint>
#include <memory>
#include <vector>

#include "core/DDBitList.h"
#include "core/DDBitOps.h"
#include "core/DDRayReference.h"
#include "trees/DDPreliminaryCondition.h"
#include "trees/DDVerificationCondition.h"

namespace double_description {

class TreeNode;

// A built tree of plain nodes laid out for its searches: the nodes in the
// order the searches visit them (preorder, children from the last to the
// first) with their masks in one block, and the patterns of all leaves in
// another, in leaf order. The searches make exactly the visits, tests and
// counts of the node searches; they only read memory in order instead of
// chasing a pointer per node.
class PackedTree {
public:
  // The image of tree, or null when it has a node of another kind or
  // patterns of differing word counts.
  static std::unique_ptr<PackedTree> pack(TreeNode const& tree);

  // The narrowing search: found(stored reference) for every stored
  // reference sharing at least the threshold of bits with the query, in
  // candidate order.
  template <class F> void searchPartners(RayReference const& query, F&& found) const;

  // The verification search: does a stored pattern other than the pair's own
  // two contain the face?
  bool verificationTraverse(ExtVerificationCondition const& question) const;

  std::uint64_t wordCount() const { return mWordCount; }

private:
  // A node: the offset of the node after its subtree, its leaf's first
  // pattern and pattern count (inner nodes: count NOT_A_LEAF), then its
  // mask's words.
  static constexpr std::uint64_t HEADER_WORDS = 2;
  static constexpr std::uint32_t NOT_A_LEAF = ~0u;

  PackedTree(std::uint64_t words, std::uint32_t threshold)
      : mWordCount(words), mNodeWords(HEADER_WORDS + words), mThreshold(threshold) {}
  bool add(TreeNode const& node);

  // The searches for W words, or for mWordCount words when W is 0: short
  // patterns get loops the compiler unrolls.
  template <unsigned W, class F> void search(RayReference const& query, F& found) const;
  template <unsigned W> bool verify(ExtVerificationCondition const& question) const;

  static std::uint32_t next(std::uint64_t const* node) { return static_cast<std::uint32_t>(node[0]); }
  static std::uint32_t first(std::uint64_t const* node) { return static_cast<std::uint32_t>(node[1]); }
  static std::uint32_t count(std::uint64_t const* node) {
    return static_cast<std::uint32_t>(node[1] >> 32);
  }

  std::uint64_t mWordCount;
  std::uint64_t mNodeWords;
  std::uint32_t mThreshold;
  std::uint32_t mNodeCount = 0;
  std::vector<std::uint64_t> mNodes;
  std::vector<std::uint64_t> mPatterns;
  std::vector<RayReference const*> mReferences;
};

template <class F> void PackedTree::searchPartners(RayReference const& query, F&& found) const {
  switch (mWordCount) {
  case 1:
    return search<1>(query, found);
  case 2:
    return search<2>(query, found);
  case 3:
    return search<3>(query, found);
  case 4:
    return search<4>(query, found);
  default:
    return search<0>(query, found);
  }
}

template <unsigned W, class F>
void PackedTree::search(RayReference const& query, F& found) const {
  const std::uint64_t w = W != 0 ? W : mWordCount;
  const std::uint64_t nodeWords = HEADER_WORDS + w;
  const std::uint32_t t = mThreshold;
  const std::uint64_t* q = query.bits().words();
  std::uint64_t ops = 0;
  for (std::uint32_t i = 0; i < mNodeCount;) {
    const std::uint64_t* node = &mNodes[i * nodeWords];
    ++ops;
    if (popcountAnd(q, node + HEADER_WORDS, w) < t) {
      i = next(node);
      continue;
    }
    const std::uint32_t n = count(node);
    if (n != NOT_A_LEAF) {
      ops += n;
      const std::uint32_t begin = first(node);
      const std::uint64_t* p = &mPatterns[begin * w];
      for (std::uint32_t k = 0; k < n; ++k, p += w)
        if (popcountAnd(p, q, w) >= t)
          found(*mReferences[begin + k]);
    }
    ++i;
  }
  PreliminaryCondition::NARROWING_OPS += ops;
}

} // namespace double_description

#endif
