#ifndef DD_FACEPROVER_H
#define DD_FACEPROVER_H

#include "core/DDBitRegister.h"
#include "dualset/DDDualSetRay.h"

#include <gmpxx.h>

#include <cstdint>
#include <utility>
#include <vector>

namespace double_description {

// Decides whether the common zero set (the face) of two dual-set rays has the
// rank T = d - 2 of an edge, and finds the face's greedy basis when it does.
//
// The first ray A (the one with fewer secondary rows) gives the coordinates:
// its primary rows inside the face and the face rows primary in the other ray
// B count as independent at once. Every other face row is secondary in A, and
// its certificate from A, restricted to A's primary rows outside the face
// (the free columns), says what it adds: nothing when that restriction is
// empty, which the support masks tell without arithmetic (likewise through
// B), or otherwise whatever survives a reduction against the rows taken
// before it in row order. Rows secondary in both rays that survive join the
// basis. The test stops once the count reaches T or too many rows turned out
// dependent for it to get there.
//
// The reduction runs in machine integers and starts over exactly when a value
// would not fit. One prover serves one thread; every pair rewrites its state.
class FaceProver final {
public:
  FaceProver(unsigned short m, unsigned short T);
  FaceProver(FaceProver const&) = delete;
  FaceProver& operator=(FaceProver const&) = delete;

  // The partitioned-sets test of a positive and a negative ray. When it holds,
  // known() is the face's greedy basis and spare() the face's other rows.
  bool isAdjacent(DualSetRay const& positive, DualSetRay const& negative);
  // The state isAdjacent leaves for a pair of which one ray has only its
  // primary rows among the rows before the step: its face, all before the
  // step, is independent and an edge's, and the face's greedy basis. Reads
  // only the rays' primary rows, where they are fewer than the pair's zero
  // words.
  void takeIndependentFace(DualSetRay const& positive, DualSetRay const& negative);

  BitList const& known() const { return mKnown; }
  BitList const& spare() const { return mSpare; }
  // Words outside which spare() has no bit and neither ray of the last pair
  // a zero row.
  std::pair<std::uint64_t, std::uint64_t> spareWords() const { return mSpareWords; }
  // Words outside which known() has no bit.
  std::pair<std::uint64_t, std::uint64_t> knownWords() const { return {mFirstWord, mEndWord}; }
  // The ray of the last pair whose primary rows are the coordinates (the one
  // with fewer secondary rows), and the other one.
  DualSetRay const* basisRay() const { return mBasisRay; }
  DualSetRay const* otherRay() const { return mOtherRay; }
  // The primary rows outside the face of either ray of the last pair, as a
  // mask over that ray's primary rows; a certificate of the ray fits the new
  // ray's primary set exactly when its support mask misses them.
  std::uint64_t const* freeMask(DualSetRay const& ray) const {
    return &ray == mBasisRay ? mFreeA.data() : mFreeB.data();
  }
  // Rows whose certificates the last test reduced.
  std::uint32_t reducedRows() const { return mReducedRows; }
  // Tests, over the prover's life, whose reduction started over exactly.
  std::uint64_t exactRestarts() const { return mExactRestarts; }

private:
  struct Candidate {
    std::uint32_t mRow;
    std::uint32_t mRank; // among A's secondary rows
    bool mSpare;         // secondary in B too
  };
  enum class Outcome { ADJACENT, NOT_ADJACENT, OVERFLOW };

  // Tests the candidates in row order in one arithmetic, the basis kept in
  // rows.
  template <class Arithmetic>
  Outcome reduce(Arithmetic& arithmetic, std::vector<typename Arithmetic::Value>& rows,
                 std::int32_t slack);
  // Loads the free-column coefficients of A's certificate for a candidate:
  // only the row's nonzero entries, their columns listed in mNonzero and the
  // or of their magnitudes in bound; false when they have no form in the
  // arithmetic.
  template <class Arithmetic>
  bool load(Arithmetic const& arithmetic, Candidate const& c, typename Arithmetic::Value* row,
            unsigned& count, std::uint64_t& bound);

  std::uint16_t mTargetRank;
  std::uint16_t mIndependentCount = 0;
  std::uint32_t mReducedRows = 0;
  std::uint64_t mExactRestarts = 0;
  BitRegister mKnown;
  BitRegister mSpare;
  // Makes the basis ray and the other ray of a pair, the first with fewer
  // secondary rows (the positive on a tie), clears the free masks, and
  // clears the registers but for the words [firstWord, endWord), which the
  // caller writes whole.
  void choose(DualSetRay const& positive, DualSetRay const& negative, std::uint64_t firstWord,
              std::uint64_t endWord);

  // The words of both registers the last pair wrote; the others are zero.
  std::uint64_t mFirstWord = 0;
  std::uint64_t mEndWord = 0;
  std::pair<std::uint64_t, std::uint64_t> mSpareWords{0, 0};
  DualSetRay const* mBasisRay = nullptr;
  DualSetRay const* mOtherRay = nullptr;
  std::vector<std::uint64_t> mFreeA;
  std::vector<std::uint64_t> mFreeB;
  std::vector<Candidate> mCandidates;
  // Rows moved from spare to known by the reduction, undone before an exact
  // restart.
  std::vector<std::uint32_t> mPromoted;
  // Column of each free primary index of A, and the columns kept: all but
  // the last free one.
  std::vector<std::uint16_t> mColumnOf;
  unsigned mColumns = 0;
  // A basis of the null space of the rows taken so far, over the kept free
  // columns, one vector per mColumns + 1 slots; the row being tested follows
  // the last vector.
  std::vector<std::int64_t> mMachineRows;
  // The nonzero columns of the row being tested; its other entries are left
  // unset.
  std::vector<std::uint16_t> mNonzero;
  std::vector<mpz_class> mExactRows;
};

} // namespace double_description

#endif
