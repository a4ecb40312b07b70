#ifndef DD_TREESEARCH_H
#define DD_TREESEARCH_H

#include <deque>

#include "core/DDRayReference.h"
#include "trees/DDIntermediateBitSetNode.h"
#include "trees/DDLeafNode.h"
#include "trees/DDPreliminaryCondition.h"
#include "trees/DDTreeNode.h"
#include "trees/DDVantagePointPreliminaryCondition.h"

namespace double_description {

// The narrowing search of tree for query, calling found(stored reference) for
// each partner in candidate order instead of collecting candidates; the
// reference lives at least until found returns.
template <class F>
void searchPartners(TreeNode const& tree, RayReference const& query, F&& found) {
  using Plain = PreliminaryCondition;
  using Vantage = VantagePointPreliminaryCondition;
  if (auto* node = dynamic_cast<IntermediateBitSetNode<Plain> const*>(&tree))
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

} // namespace double_description

#endif
