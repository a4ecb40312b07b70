#ifndef DD_TREESEARCH_H
#define DD_TREESEARCH_H

#include <deque>

#include "core/DDAssert.h"
#include "core/DDRayReference.h"
#include "trees/DDIntermediateBitSetNode.h"
#include "trees/DDLeafNode.h"
#include "trees/DDPackedTree.h"
#include "trees/DDSearchTree.h"
#include "trees/DDTreeNode.h"
#include "trees/DDVantagePointPreliminaryCondition.h"

namespace double_description {

// The narrowing search of a tree of nodes, calling found(stored reference)
// for each partner in candidate order; the reference lives at least until
// found returns.
template <class F> void searchNodes(TreeNode const& tree, RayReference const& query, F&& found) {
  using Vantage = VantagePointPreliminaryCondition;
  if (auto* node = dynamic_cast<IntermediateBitSetNode<Vantage> const*>(&tree)) {
    node->searchPartners(query, found);
    return;
  }
  if (auto* leaf = dynamic_cast<LeafNode<Vantage> const*>(&tree)) {
    leaf->searchPartners(query, found);
    return;
  }
  std::deque<EdgeCandidate> candidates;
  tree.preliminaryTraverse(query, candidates);
  for (EdgeCandidate const& candidate : candidates)
    found(candidate.mFirst);
}

// The narrowing search of tree for query, calling found(stored reference) for
// each partner in candidate order instead of collecting candidates; the
// reference lives at least until found returns.
template <class F>
void searchPartners(SearchTree const& tree, RayReference const& query, F&& found) {
  if (PackedTree const* image = tree.image()) {
    DD_ASSERT(image->wordCount() == query.bits().wordCount());
    image->searchPartners(query, found);
    return;
  }
  searchNodes(*tree.nodes(), query, found);
}

// The narrowing search with found(stored reference, its pattern, the pattern
// AND the query's pattern over the pattern's words) for each partner.
template <class F> void searchFaces(SearchTree const& tree, RayReference const& query, F&& found) {
  if (PackedTree const* image = tree.image()) {
    DD_ASSERT(image->wordCount() == query.bits().wordCount());
    image->searchFaces(query, found);
    return;
  }
  BitList face;
  searchNodes(*tree.nodes(), query, [&](RayReference const& stored) {
    face.assignAnd(stored.bits(), query.bits());
    found(stored, stored.bits(), static_cast<BitList const&>(face));
  });
}

// The verification search of tree.
inline bool verificationTraverse(SearchTree const& tree, ExtVerificationCondition const& question) {
  if (PackedTree const* image = tree.image()) {
    DD_ASSERT(question.mMask.wordCount() >= image->wordCount() &&
              question.mFirst->wordCount() >= image->wordCount() &&
              question.mSecond->wordCount() >= image->wordCount());
    return image->verificationTraverse(question);
  }
  return tree.nodes()->verificationTraverse(question);
}

} // namespace double_description

#endif
