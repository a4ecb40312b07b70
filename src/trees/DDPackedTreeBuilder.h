#ifndef DD_PACKEDTREEBUILDER_H
#define DD_PACKEDTREEBUILDER_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/DDBitList.h"
#include "core/DDRayReferenceContainer.h"
#include "core/DDSharingPolicy.h"
#include "core/DDWorkerPool.h"
#include "trees/DDBitSplitVisitor.h"
#include "trees/DDPackedTree.h"

namespace double_description {

// Builds the image of a plain tree straight from the split: the visitor
// distributes the sets exactly as for a tree of nodes (same calls in the same
// order), with an explicit stack instead of recursion, as trees may be as
// deep as there are references. The nodes are kept small until the split is
// done and then laid out in the order of the searches.
//
// With workers, a large set's top levels are split on the calling thread and
// the subtrees below them on the threads, with copies of the visitors, each
// into nodes of its own, which are then spliced in: the image is the one a
// single thread builds, byte for byte.
class PackedTreeBuilder {
public:
  // The least subtree split on a thread of its own.
  static constexpr std::size_t SUBTREE_MIN = 256;

  // The shape of the images: the threshold of their nodes, the words of
  // their patterns, no pattern having a bit at or after bitCount, and
  // whether large leaves get slices (verification trees); the threads that
  // share the builds, or null for the calling one alone.
  PackedTreeBuilder(std::uint32_t threshold, std::uint64_t words, std::uint64_t bitCount,
                    bool sliced, WorkerPool* workers = nullptr)
      : mThreshold(threshold), mWordCount(words), mBitCount(bitCount), mSliced(sliced),
        mWorkers(workers) {}

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
  struct Subtree;

  std::uint32_t addNode(BitList const& mask, std::uint32_t childCount);
  std::uint32_t addLeaf(RayReferenceContainer&& bucket);
  std::uint32_t addStub(BitList const& mask);
  // Whether a search of the queries would visit below a node of this mask;
  // always without queries.
  bool reached(BitList const& mask) const;
  Frame open(RayReferenceContainer const& set, RayReferenceContainer* owned,
             BitSplitVisitor& visitor, std::uint32_t node);
  // Splits the sets of the stack down to the leaves; a subtree of at most
  // cutoff references goes to subtrees instead, where that is set.
  void grow(std::vector<Frame>& stack, std::vector<Subtree>* subtrees, std::size_t cutoff);
  // Builds the subtrees on the workers and splices them in.
  void growShared(std::vector<Subtree>& subtrees);
  // Appends the nodes of part, whose root becomes child slot.
  void adopt(PackedTreeBuilder& part, std::uint64_t slot);
  std::unique_ptr<PackedTree> layOut(std::uint64_t rays);
  // Whether the leaves' patterns are sparse enough for a row index.
  bool sparse() const;
  // The row index of a narrowing tree whose patterns are sparse.
  void indexRows(PackedTree& tree) const;

  std::uint32_t mThreshold;
  std::uint64_t mWordCount;
  std::uint64_t mBitCount;
  bool mSliced;
  WorkerPool* mWorkers;
  std::vector<Node> mNodes;
  std::vector<std::uint64_t> mMasks; // mWordCount words per node
  std::vector<std::uint32_t> mChildIndices;
  std::vector<RayReferenceContainer> mLeaves;
  RayReferenceContainer const* mQueries = nullptr;
};

} // namespace double_description

#endif
