#ifndef DD_SINGLESETRAYENUMERATOR_H
#define DD_SINGLESETRAYENUMERATOR_H

#include "core/DDSingleSetRay.h"
#include "iteration/DDExtremeRayEnumerator.h"

namespace double_description {

class SingleSetRayEnumerator : public ExtremeRayEnumerator<SingleSetRay> {
public:
  SingleSetRayEnumerator(Matrix const& working, unsigned short step, Entry const& entry,
                         Cache& cache)
      : ExtremeRayEnumerator<SingleSetRay>(working, step, entry, cache) {}

  std::uint64_t enumerate_pos_deg(TreeNode const* tree) override;
  std::uint64_t enumerate_pos_nondeg(TreeNode const* tree) override;
};

} // namespace double_description

#endif
