#include "dualset/DDDualSetRayEnumerator.h"

#include "dualset/DDPartTestTraverseVisitor.h"

namespace double_description {

std::uint64_t DualSetRayEnumerator::enumerate_pos_deg(SearchTree const* tree) {
  PartTestTraverseVisitor visitor(*tree, mThreshold, mStep,
                                  static_cast<unsigned short>(mWorkingMatrix->getRowCount()),
                                  *mRayCache, *mAssigner, *mFaceProver);
  mNegative->iterate(visitor);
  return visitor.mCreatedCount;
}

std::uint64_t DualSetRayEnumerator::enumerate_pos_nondeg(SearchTree const* tree) {
  return enumerate_pos_deg(tree);
}

} // namespace double_description
