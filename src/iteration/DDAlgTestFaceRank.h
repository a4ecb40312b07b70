#ifndef DD_ALGTESTFACERANK_H
#define DD_ALGTESTFACERANK_H

#include "core/DDBitList.h"
#include "core/DDMachineMatrix.h"

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
// vectors.
class AlgTestFaceRank {
public:
  explicit AlgTestFaceRank(MachineMatrix const& machine);

  // Whether the test is exact for rank d - 2 of this matrix (and its sums
  // of products fit machine integers).
  static bool exact(MachineMatrix const& machine);

  // The zero set of the next faces; the work on it starts with the first
  // test. zero must outlive those faces.
  void setZeroSet(BitList const& zero);
  // Keeps a copy of a face of the zero set for the next tests, before the
  // first of them; the basis favours rows that many kept faces share. When
  // faces are kept, only faces within their union may be tested.
  void addFace(BitList const& face);
  unsigned faceCount() const { return mFaceCount; }
  BitList const& face(unsigned i) const { return mFaces[i]; }
  // Whether hasRankDMinusTwo is likely cheaper for face than a reduction of
  // its rows: its work grows with the square of the basis rows outside.
  bool favours(BitList const& face);
  // Whether the rows of face, a subset of the zero set with at least d - 2
  // rows, have rank d - 2 (they cannot have more).
  bool hasRankDMinusTwo(BitList const& face);

  // The rank of the rows of the zero set (of the kept faces) modulo the
  // prime, once the first test has been made.
  unsigned basisSize() const { return mRank; }

private:
  void prepare();
  // Takes rows in search order that are independent of those taken, while
  // keeping the kernel of those taken.
  void selectBasis();
  // The basis rows reduced to row echelon form: B = L E.
  void factorBasis();
  // c with c_0 B_0 + ... + c_{r-1} B_{r-1} equal to a row in the span of B
  // on the pivot columns, given as residues there.
  void solve(std::uint32_t const* onPivots, std::uint32_t* c) const;
  // The coordinates of row r (in the zero set, not in the basis).
  std::uint32_t const* coordinates(unsigned r);
  unsigned slotOf(unsigned r) const;

  MachineMatrix const* mMachine;
  unsigned mColumns;
  BitList const* mZero = nullptr;
  bool mPrepared = false;
  std::vector<BitList> mFaces; // the first mFaceCount are kept
  unsigned mFaceCount = 0;

  // Number of rows of the zero set in the words before each word; the row
  // of each slot.
  std::vector<unsigned> mSlotsBefore;
  std::vector<unsigned> mSlotRows;
  // Per slot, the number of kept faces with its row; the basis search takes
  // the slots of rows in faces in this order.
  std::vector<unsigned> mSlotFaces;
  std::vector<unsigned> mSearchOrder;

  // The basis: its rows; E with pivot entries 1 and pivot columns, and the
  // lower triangle L with B_i = sum_j L[i][j] E_j (d values per row).
  unsigned mRank = 0;
  std::vector<unsigned> mBasisRows;
  BitList mBasisMask;
  std::vector<unsigned> mBasisIndexOfRow; // for the rows of the basis
  std::vector<std::uint32_t> mEchelon;
  std::vector<unsigned> mPivotColumns;
  std::vector<std::uint32_t> mLower;
  std::vector<std::uint32_t> mInverseDiagonal;
  // With many rows to place, the inverse of B on its pivot columns (row k
  // the coordinates of the k-th pivot's unit vector) turns the coordinates
  // of a row into sums of small products.
  bool mInverted = false;
  std::vector<std::uint32_t> mInverse;

  // Per slot: whether its coordinates are known, and mColumns values.
  std::vector<std::uint8_t> mKnown;
  std::vector<std::uint32_t> mCoordinates;

  // Scratch: a kernel in columns (mColumns values per column), sums and
  // residues, the basis positions outside a face.
  std::vector<std::uint32_t> mKernel;
  std::vector<std::int64_t> mSums;
  std::vector<std::uint64_t> mProducts;
  std::vector<std::uint32_t> mValues;
  std::vector<std::uint32_t> mRow;
  std::vector<unsigned> mOutside;
};

} // namespace double_description

#endif
