#ifndef DD_TREESEARCH_H
#define DD_TREESEARCH_H

#include <deque>

#include "core/DDRayReference.h"
#include "trees/DDIntermediateBitSetNode.h"
#include "trees/DDLeafNode.h"
#include "trees/DDPackedTree.h"
#include "trees/DDPreliminaryCondition.h"
#include "trees/DDTreeNode.h"
#include "trees/DDVantagePointPreliminaryCondition.h"

namespace double_description {

// The narrowing search of tree for query, calling found(stored reference) for
// each partner in candidate order instead of collecting candidates; the
// reference lives at least until found returns.
template <class F> void searchPartners(TreeNode const& tree, RayReference const& query, F&& found) {
  using Plain = PreliminaryCondition;
  using Vantage = VantagePointPreliminaryCondition;
  if (tree.mPacked && tree.mPacked->wordCount() == query.bits().wordCount())
    tree.mPacked->searchPartners(query, found);
  else if (auto* node = dynamic_cast<IntermediateBitSetNode<Plain> const*>(&tree))
    node->searchPartners(query, found);
  else if (auto* vnode = dynamic_cast<IntermediateBitSetNode<Vantage> const*>(&tree))
    vnode->searchPartners(query, found);
  else if (auto* leaf = dynamic_cast<LeafNode<Plain> const*>(&tree))
    leaf->searchPartners(query, found);
  else if (auto* vleaf = dynamic_cast<LeafNode<Vantage> const*>(&tree))
    vleaf->searchPartners(query, found);
  else {
    std::deque<EdgeCandidate> candidates;
    tree.preliminaryTraverse(query, candidates);
    for (EdgeCandidate const& candidate : candidates)
      found(candidate.mFirst);
  }
}

// The narrowing search with found(stored reference, its pattern, the pattern
// AND the query's pattern over the pattern's words) for each partner.
template <class F> void searchFaces(TreeNode const& tree, RayReference const& query, F&& found) {
  if (tree.mPacked && tree.mPacked->wordCount() == query.bits().wordCount()) {
    tree.mPacked->searchFaces(query, found);
    return;
  }
  BitList face;
  searchPartners(tree, query, [&](RayReference const& stored) {
    face.assignAnd(stored.bits(), query.bits());
    found(stored, stored.bits(), static_cast<BitList const&>(face));
  });
}

// The verification search of tree, on its packed image when it has one.
inline bool verificationTraverse(TreeNode const& tree, ExtVerificationCondition const& question) {
  PackedTree const* packed = tree.mPacked.get();
  const std::uint64_t w = packed != nullptr ? packed->wordCount() : 0;
  if (packed != nullptr && question.mMask.wordCount() >= w && question.mFirst->wordCount() >= w &&
      question.mSecond->wordCount() >= w)
    return packed->verificationTraverse(question);
  return tree.verificationTraverse(question);
}

} // namespace double_description

#endif
