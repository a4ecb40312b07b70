#include "trees/DDTreeNode.h"

namespace double_description {

TreeNode::~TreeNode() {
  if (mJoinCondition != &PreliminaryCondition::TRIVIAL_FAIL)
    delete mJoinCondition;
}

} // namespace double_description
