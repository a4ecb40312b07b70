#ifndef DD_SPLITDECISION_H
#define DD_SPLITDECISION_H

#include "core/DDRayReferenceContainer.h"
#include "trees/DDBitSplitVisitor.h"

namespace double_description {

// What becomes of bucket i of the visitor's current distribution: a leaf, a
// node split further by the visitor, or one split by its first successor
// that can. Taken for every bucket before any child is built, as building a
// child overwrites the visitor's state.
enum class SplitDecision { LEAF, SPLIT, SUCCESSOR };

inline SplitDecision splitDecision(BitSplitVisitor const& visitor, unsigned short i,
                                   RayReferenceContainer const& bucket) {
  const bool ok = visitor.can_proceed(i);
  if (visitor.mDepth >= visitor.mMaxDepth || bucket.size() <= visitor.mLeafCapacity)
    return SplitDecision::LEAF;
  if (ok)
    return SplitDecision::SPLIT;
  if (visitor.hasSuccessorToProceed(bucket))
    return SplitDecision::SUCCESSOR;
  return SplitDecision::LEAF;
}

} // namespace double_description

#endif
