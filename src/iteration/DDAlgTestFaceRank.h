#ifndef DD_ALGTESTFACERANK_H
#define DD_ALGTESTFACERANK_H

#include "core/DDMachineMatrix.h"
#include "iteration/DDZeroSetFaces.h"

#include <cstdint>
#include <vector>

namespace double_description {

// The rank test of the faces that lie in the zero set Z of one ray, in the
// field of the prime 2^31 - 1. The answer is the exact one when no
// (d-2)-minor of the matrix reaches the prime (exact()): a face whose rows
// have rank d - 2 then keeps a nonzero minor of that size modulo the prime,
// and a rank modulo the prime never exceeds the exact rank.
//
// What the faces of one ray share is done once, before the first test: a
// basis B of the rows of Z that lie in faces, and for every other such row
// its coordinates in B, once a face needs them. A face F keeps its rows in B
// as independent rows for free; its other rows add what their coordinates
// add outside B ∩ F, so the face needs rank d - 2 - |B ∩ F| of those short
// vectors, and rows whose coordinates vanish outside B ∩ F add nothing.
class AlgTestFaceRank {
public:
  explicit AlgTestFaceRank(MachineMatrix const& machine);

  // Whether the test is exact for rank d - 2 of this matrix (and its sums
  // of products fit machine integers).
  static bool exact(MachineMatrix const& machine);

  // The faces of the next tests, all within one zero set; the work on it
  // starts with the first test, and the basis favours rows that many of the
  // faces share. faces must outlive those tests and hold every face by then.
  void setFaces(ZeroSetFaces& faces);
  // Whether hasRankDMinusTwo is likely cheaper for face i than a reduction
  // of its rows: its work grows with the square of the basis rows outside.
  bool favours(unsigned i);
  // Whether the rows of face i, with at least d - 2 rows, have rank d - 2
  // (they cannot have more).
  bool hasRankDMinusTwo(unsigned i);

  // The rank of the rows of the zero set (of the faces) modulo the prime,
  // once the first test has been made.
  unsigned basisSize() const { return mRank; }

private:
  void prepare();
  // Takes slots in search order whose rows are independent of those taken,
  // while keeping the kernel of those taken and a dual basis of them.
  void selectBasis();
  // The coordinates of the row of slot s (not in the basis), and the mask of
  // the basis positions where they are not zero (mSupportWords words).
  std::uint32_t const* coordinates(unsigned s);
  std::uint64_t const* support(unsigned s) const {
    return &mSupports[static_cast<std::size_t>(s) * mSupportWords];
  }

  MachineMatrix const* mMachine;
  unsigned mColumns;
  ZeroSetFaces* mFaces = nullptr;
  bool mPrepared = false;
  // The slots the basis search takes, rows of more faces first.
  std::vector<unsigned> mSearchOrder;

  // The basis: its slots, and d vectors in columns (vector j of column c at
  // [c * d + j]): the kernel, then the dual vector of basis row b at
  // d - 1 - b, orthogonal to every other basis row.
  unsigned mRank = 0;
  std::vector<unsigned> mBasisSlots;
  std::vector<std::uint64_t> mBasisMask;   // over the slots
  std::vector<unsigned> mBasisIndexOfSlot; // for the slots of the basis
  std::vector<std::uint32_t> mVectors;

  // Per slot: whether its coordinates are known, mColumns values and the
  // support over the basis positions.
  std::vector<std::uint8_t> mKnown;
  std::vector<std::uint32_t> mCoordinates;
  unsigned mSupportWords = 1;
  std::vector<std::uint64_t> mSupports;

  // Scratch: a kernel in columns (mColumns values per column), sums and
  // residues, the basis positions outside a face.
  std::vector<std::uint32_t> mKernel;
  std::vector<std::int64_t> mSums;
  std::vector<std::uint64_t> mProducts;
  std::vector<std::uint32_t> mValues;
  std::vector<std::uint32_t> mRow;
  std::vector<unsigned> mOutside;
  std::vector<std::uint64_t> mOutsideMask; // over the basis positions
  std::vector<unsigned> mUseful;           // slots whose rows reach outside
};

} // namespace double_description

#endif
