#include "trees/DDIntermediateBitSetNode.h"

namespace double_description {

template class IntermediateBitSetNode<PreliminaryCondition>;
template class IntermediateBitSetNode<VantagePointPreliminaryCondition>;

} // namespace double_description
