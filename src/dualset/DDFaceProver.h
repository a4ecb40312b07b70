#ifndef DD_FACEPROVER_H
#define DD_FACEPROVER_H

#include "core/DDBitRegister.h"
#include "dualset/DDDualSetRay.h"

#include <gmpxx.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace double_description {

// Decides whether the common zero set (the face) of two dual-set rays has the
// rank T = d - 2 of an edge. Rows primary in either ray count as independent
// at once; the rest are settled by subset tests on certificate supports or by
// a sparse fraction-free elimination of their certificates over the first
// ray's primary rows outside the face, which stops as soon as the answer is
// known. One prover serves a whole run; every pair rewrites its state. Its
// integer temporaries are the scratch bank's, in the roles of the elimination
// kernel.
class FaceProver final {
public:
  FaceProver(unsigned short m, unsigned short T);
  FaceProver(FaceProver const&) = delete;
  FaceProver& operator=(FaceProver const&) = delete;

  // The partitioned-sets test of a positive and a negative ray. When it holds,
  // known() is the face's greedy basis and spare() the face's other rows.
  bool isAdjacent(DualSetRay const& positive, DualSetRay const& negative);

  BitList const& known() const { return mKnown; }
  BitList const& spare() const { return mSpare; }
  // The rows whose certificates the last test loaded for elimination.
  BitList const& loaded() const { return mLoaded; }
  // The ray of the last pair whose primary rows are the elimination's
  // columns (the one with fewer secondary rows), and the other one.
  DualSetRay const* basisRay() const { return mBasisRay; }
  DualSetRay const* otherRay() const { return mOtherRay; }

private:
  // Resolves the rows of mPending, set up by isAdjacent.
  void calcUnknownDependencies();
  // V(r, c): working coefficient of face row r on column c, a primary row of
  // the first ray. Rows get a slot of d - 1 values when first loaded, and
  // columns are numbered by their rank in the first ray's primary set, so the
  // storage is (loaded rows) x (d - 1) rather than m x m.
  mpz_class* row(unsigned r) { return mRowCoefficients[mRowSlot[r]].get(); }
  void load(unsigned r);
  // Eliminates column p of the pending rows against pivot row r.
  void eliminate(unsigned r, unsigned p);

  std::uint16_t mTargetRank;
  // Face rows that may still turn out dependent; 32 bits so that faces of any
  // size fit.
  std::int32_t mSlack;
  std::uint16_t mIndependentCount;
  BitRegister mKnown;
  BitRegister mFree;
  BitRegister mPending;
  BitRegister mSpare;
  BitRegister mLoaded;
  std::vector<BitRegister> mSupports;
  DualSetRay const* mBasisRay;
  DualSetRay const* mOtherRay;
  std::vector<std::unique_ptr<mpz_class[]>> mRowCoefficients;
  std::vector<std::uint32_t> mRowSlot;
  std::vector<std::uint16_t> mColumnIndex;
  std::uint32_t mLoadedCount;
};

} // namespace double_description

#endif
