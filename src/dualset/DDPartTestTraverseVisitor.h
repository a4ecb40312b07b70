#ifndef DD_PARTTESTTRAVERSEVISITOR_H
#define DD_PARTTESTTRAVERSEVISITOR_H

#include "dualset/DDCertificateAssigner.h"
#include "dualset/DDDualSetRay.h"
#include "dualset/DDFaceProver.h"
#include "iteration/DDPreliminaryTraverseVisitor.h"
#include "iteration/DDZeroSetFaces.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace double_description {

using DualSetRayCache = RayCache<DualSetRay, BitPatternTreeCacheEntry<DualSetRay>>;

// One pass over the negative rays: every candidate pair found in the tree
// goes through the partitioned-sets test, and each adjacent pair yields a new
// ray with its sets and certificates.
class PartTestTraverseVisitor final : public PreliminaryTraverseVisitor<DualSetRay> {
public:
  PartTestTraverseVisitor(SearchTree const& tree, unsigned short threshold, unsigned short step,
                          unsigned short rowCount, DualSetRayCache& cache,
                          CertificateAssigner& assigner, FaceProver& prover)
      : PreliminaryTraverseVisitor<DualSetRay>(tree, threshold, step, rowCount, cache),
        mAssigner(&assigner), mFaceProver(&prover) {}
  ~PartTestTraverseVisitor() override = default;

  void onVisit(RayReference const& ref) override;

private:
  // Builds and files the new ray of an adjacent pair from the prover's state.
  void createRay(DualSetRay const& positive, DualSetRay const& negative);
  // visit(index(k)) for k < n in turn, the partners of the next indices
  // loading meanwhile, with what sets(partner) starts loading of them.
  template <class Index, class Sets, class Visit>
  void forEachAhead(std::size_t n, Index index, Sets sets, Visit visit) const;

  CertificateAssigner* mAssigner;
  FaceProver* mFaceProver;
  // The partners of the ray visited, their faces, and which are adjacent:
  // by a test, or for the independent rows of one of the pair.
  enum Pair : std::uint8_t { UNKNOWN, ADJACENT, INDEPENDENT };
  std::vector<DualSetRay const*> mPartners;
  ZeroSetFaces mFaces;
  std::vector<std::uint8_t> mAdjacent;
  std::vector<unsigned> mLater; // zero rows of a new ray after the step
};

} // namespace double_description

#endif
