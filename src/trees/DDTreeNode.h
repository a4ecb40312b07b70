#ifndef DD_TREENODE_H
#define DD_TREENODE_H

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "core/DDBitList.h"
#include "core/DDRayReference.h"
#include "trees/DDPreliminaryCondition.h"
#include "trees/DDVerificationCondition.h"

namespace double_description {

// Deletes a join condition unless it is the shared TRIVIAL_FAIL.
struct JoinConditionDeleter {
  void operator()(PreliminaryCondition const* condition) const {
    if (condition != &PreliminaryCondition::TRIVIAL_FAIL)
      delete condition;
  }
};

// A node of a bit-pattern tree. Trees are handled through this part; deleting
// the root deletes the whole tree. Always inherited virtually.
class TreeNode {
public:
  explicit TreeNode(BitList const& unionBits) : mUnion(unionBits) {}
  TreeNode(TreeNode const&) = delete;
  TreeNode& operator=(TreeNode const&) = delete;
  virtual ~TreeNode() = default;

  // Join of another tree against this one.
  virtual void preliminaryTraverse(TreeNode const* other,
                                   std::vector<EdgeCandidate>& candidates) const = 0;
  // Join of an array of references against this tree.
  virtual void preliminaryTraverse(RayReference const* references, unsigned int count,
                                   PreliminaryCondition const& condition,
                                   std::vector<EdgeCandidate>& candidates) const = 0;
  // Narrowing search: appends a candidate for every stored reference that
  // shares at least the threshold of bits with the query.
  virtual void preliminaryTraverse(RayReference const& query,
                                   std::deque<EdgeCandidate>& candidates) const = 0;
  // Verification search: does a stored pattern answer the question?
  virtual bool verificationTraverse(ExtVerificationCondition const& question) const = 0;
  virtual std::uint64_t getSubNodesCount() const = 0;
  virtual std::uint64_t getRaysCount() const = 0;
  virtual std::uint64_t getLeafNodesCount() const = 0;
  virtual bool isEmpty() const = 0;
  virtual void enumerateLeafNodes(std::vector<TreeNode const*>& leaves) const = 0;
  // The subtree down to depth levels in the DOT language.
  virtual std::string toString(unsigned short depth) const = 0;

  BitList mUnion;
  // Null in every built tree.
  std::unique_ptr<const PreliminaryCondition, JoinConditionDeleter> mJoinCondition;
};

} // namespace double_description

#endif
