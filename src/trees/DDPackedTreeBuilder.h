#ifndef DD_PACKEDTREEBUILDER_H
#define DD_PACKEDTREEBUILDER_H

#include <cstdint>
#include <memory>
#include <vector>

#include "core/DDBitList.h"
#include "core/DDRayReferenceContainer.h"
#include "trees/DDBitSplitVisitor.h"
#include "trees/DDPackedTree.h"

namespace double_description {

// Builds the image of a plain tree straight from the split: the visitor
// distributes the sets exactly as for a tree of nodes (same calls in the same
// order), with an explicit stack instead of recursion, as trees may be as
// deep as there are references. The nodes are kept small until the split is
// done and then laid out in the order of the searches.
class PackedTreeBuilder {
public:
  // The shape of the images: the threshold of their nodes, the words of
  // their patterns, no pattern having a bit at or after bitCount, and
  // whether large leaves get slices (verification trees).
  PackedTreeBuilder(std::uint32_t threshold, std::uint64_t words, std::uint64_t bitCount,
                    bool sliced)
      : mThreshold(threshold), mWordCount(words), mBitCount(bitCount), mSliced(sliced) {}

  // The image of the tree whose root over set the visitor splits. With
  // queries, only the part that they reach: a node whose condition fails
  // for all of them is kept as a stub without its subtree, which the
  // searches of those queries count and skip as they would the full node.
  std::unique_ptr<PackedTree> split(RayReferenceContainer const& set, BitSplitVisitor& visitor,
                                    RayReferenceContainer const* queries = nullptr);
  // The image of one leaf holding set.
  std::unique_ptr<PackedTree> leaf(RayReferenceContainer const& set);

private:
  static constexpr std::uint32_t NO_LEAF = ~0u;
  struct Node {
    std::uint64_t mChildren; // offset in mChildIndices
    std::uint32_t mChildCount;
    std::uint32_t mLeaf; // index in mLeaves, or NO_LEAF
  };
  struct Frame;

  std::uint32_t addNode(BitList const& mask, std::uint32_t childCount);
  std::uint32_t addLeaf(RayReferenceContainer&& bucket);
  std::uint32_t addStub(BitList const& mask);
  // Whether a search of the queries would visit below a node of this mask;
  // always without queries.
  bool reached(BitList const& mask) const;
  Frame open(RayReferenceContainer const& set, RayReferenceContainer* owned,
             BitSplitVisitor& visitor, std::uint32_t node);
  std::unique_ptr<PackedTree> layOut(std::uint64_t rays);
  // The row index of a narrowing tree whose patterns are sparse.
  void indexRows(PackedTree& tree) const;

  std::uint32_t mThreshold;
  std::uint64_t mWordCount;
  std::uint64_t mBitCount;
  bool mSliced;
  std::vector<Node> mNodes;
  std::vector<std::uint64_t> mMasks; // mWordCount words per node
  std::vector<std::uint32_t> mChildIndices;
  std::vector<RayReferenceContainer> mLeaves;
  RayReferenceContainer const* mQueries = nullptr;
};

} // namespace double_description

#endif
