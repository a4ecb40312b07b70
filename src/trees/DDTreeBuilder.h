#ifndef DD_TREEBUILDER_H
#define DD_TREEBUILDER_H

#include <cstdint>
#include <memory>

#include "core/DDRayReferenceContainer.h"
#include "core/DDWorkerPool.h"
#include "settings/DDOptions.h"
#include "trees/DDBitSplitVisitor.h"
#include "trees/DDSearchTree.h"
#include "trees/DDTreeNode.h"

namespace double_description {

// What the trees of one step share.
struct TreeContext {
  // Least number of common bits of a candidate pair: d - 2.
  std::uint16_t mThreshold;
  // The row being processed: patterns hold rows 0..mStep - 1.
  std::uint16_t mStep;
  // Words of a row bit set.
  std::uint16_t mWordCount;
  // The threads that share the builds of plain trees, or null.
  WorkerPool* mWorkers = nullptr;
};

// The split visitor of a narrowing tree over set, which query will search.
std::unique_ptr<BitSplitVisitor> createBitSplitVisitor(TreeOptions const& options,
                                                       TreeContext const& context,
                                                       RayReferenceContainer const& set,
                                                       RayReferenceContainer const& query);

// The split visitor of the verification tree over verification.
std::unique_ptr<BitSplitVisitor> createBitSplitVisitor(TreeOptions const& options,
                                                       TreeContext const& context,
                                                       RayReferenceContainer const& verification,
                                                       RayReferenceContainer const& posDegenerate,
                                                       RayReferenceContainer const& negative);

// A narrowing tree over set, which query will search; one leaf when the set
// fits the leaf capacity. Plain trees come as their image, vantage-point
// trees as nodes. The image for a few queries holds only what they reach and
// answers no other query.
SearchTree createNarrowingTree(TreeOptions const& options, TreeContext const& context,
                               RayReferenceContainer const& set,
                               RayReferenceContainer const& query);

// The verification tree, always split; one empty leaf for an empty set.
SearchTree createVerTree(TreeOptions const& options, TreeContext const& context,
                         RayReferenceContainer const& verification,
                         RayReferenceContainer const& posDegenerate,
                         RayReferenceContainer const& negative);

// The same trees as nodes: the form of vantage-point trees and of joins, and
// the reference the images are tested against.
TreePointer createNarrowingNodes(TreeOptions const& options, TreeContext const& context,
                                 RayReferenceContainer const& set,
                                 RayReferenceContainer const& query);
// The shared empty leaf for an empty set.
TreePointer createVerNodes(TreeOptions const& options, TreeContext const& context,
                           RayReferenceContainer const& verification,
                           RayReferenceContainer const& posDegenerate,
                           RayReferenceContainer const& negative);

} // namespace double_description

#endif
