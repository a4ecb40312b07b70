#ifndef DD_PARTTESTTRAVERSEVISITOR_H
#define DD_PARTTESTTRAVERSEVISITOR_H

#include "dualset/DDCertificateAssigner.h"
#include "dualset/DDDualSetRay.h"
#include "dualset/DDFaceProver.h"
#include "iteration/DDPreliminaryTraverseVisitor.h"
#include "iteration/DDZeroSetFaces.h"

#include <cstddef>
#include <cstdint>
#include <utility>
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
  // What settling by faces did: pairs to settle, those settled without a
  // test, tests made and rows they reduced.
  struct FaceSettling {
    std::uint64_t mPairs = 0;
    std::uint64_t mSettled = 0;
    std::uint64_t mTests = 0;
    std::uint64_t mReducedRows = 0;
  };
  // Two ways to settle the candidates of a negative ray: faces tested from
  // the largest down, those within a face found short settled without a
  // test, or every pair tested in the order found.
  template <class Partner> FaceSettling settleByFaces(RayReference const& ref, Partner partner);
  template <class Partner> void settleDirectly(RayReference const& ref, Partner partner);
  // Collecting, ordering and comparing faces costs about what a test that
  // reduces no row does, a pair; a test costs about that again for each row
  // it reduces. So faces are used while the tests they save, priced so,
  // outweigh the pairs; tried again every so often where they did not.
  class FacesPayOff {
  public:
    bool worthTrying();
    void record(FaceSettling const& settling);

  private:
    static constexpr std::uint64_t RETRY_EVERY = 32;
    static constexpr std::uint64_t HALVE_AT = 1u << 16;
    std::uint64_t mRays = 0;
    FaceSettling mSoFar;
  };
  // Makes the rays of the adjacent pairs in the order found; settled: the
  // pairs left unknown are not adjacent.
  void makeRays(DualSetRay const& negative, bool negativeIndependent, bool settled);
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
  std::vector<unsigned> mMade; // the pairs whose rays are made, in turn
  std::vector<unsigned> mLater; // zero rows of a new ray after the step
};

} // namespace double_description

#endif
