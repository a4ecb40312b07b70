#include "trees/DDLeafNode.h"

namespace double_description {

template class LeafNode<PreliminaryCondition>;
template class LeafNode<VantagePointPreliminaryCondition>;

// Needs only the address of TRIVIAL_FAIL, so the order of static
// initialisation between translation units does not matter.
template <> LeafNode<PreliminaryCondition> LeafNode<PreliminaryCondition>::EMPTY_NODE{};

} // namespace double_description
