#ifndef DD_SEARCHTREE_H
#define DD_SEARCHTREE_H

#include <cstdint>
#include <memory>
#include <utility>

#include "trees/DDPackedTree.h"
#include "trees/DDTreeNode.h"

namespace double_description {

// Deletes a tree through its root; the shared empty leaf is never deleted.
struct TreeDeleter {
  void operator()(TreeNode* root) const;
};

// A whole tree of nodes, owned through its root.
using TreePointer = std::unique_ptr<TreeNode, TreeDeleter>;

// A built tree in the form its searches take: the packed image of a plain
// tree, or the nodes of a vantage-point tree.
class SearchTree {
public:
  explicit SearchTree(std::unique_ptr<PackedTree const> image) : mImage(std::move(image)) {}
  explicit SearchTree(TreePointer nodes) : mNodes(std::move(nodes)) {}

  // Exactly one of the two is set.
  PackedTree const* image() const { return mImage.get(); }
  TreeNode const* nodes() const { return mNodes.get(); }

  std::uint64_t rayCount() const { return mImage ? mImage->rayCount() : mNodes->getRaysCount(); }

private:
  std::unique_ptr<PackedTree const> mImage;
  TreePointer mNodes;
};

} // namespace double_description

#endif
