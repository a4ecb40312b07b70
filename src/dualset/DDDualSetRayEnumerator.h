#ifndef DD_DUALSETRAYENUMERATOR_H
#define DD_DUALSETRAYENUMERATOR_H

#include "dualset/DDCertificateAssigner.h"
#include "dualset/DDDualSetRay.h"
#include "dualset/DDFaceProver.h"
#include "iteration/DDExtremeRayEnumerator.h"

#include <cstdint>

namespace double_description {

// The adjacency search of one partitioned-sets step: both positive trees get
// the full partitioned-sets test.
class DualSetRayEnumerator final : public ExtremeRayEnumerator<DualSetRay> {
public:
  DualSetRayEnumerator(Matrix const& working, unsigned short step, Entry const& entry, Cache& cache,
                       CertificateAssigner& assigner, FaceProver& prover)
      : ExtremeRayEnumerator<DualSetRay>(working, step, entry, cache), mAssigner(&assigner),
        mFaceProver(&prover) {}

  std::uint64_t enumerate_pos_deg(SearchTree const* tree) override;
  std::uint64_t enumerate_pos_nondeg(SearchTree const* tree) override;

private:
  CertificateAssigner* mAssigner;
  FaceProver* mFaceProver;
};

} // namespace double_description

#endif
