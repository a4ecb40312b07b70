#ifndef DD_ALGTESTTRAVERSEVISITOR_H
#define DD_ALGTESTTRAVERSEVISITOR_H

#include "core/DDBitList.h"
#include "core/DDMachineMatrix.h"
#include "core/DDMatrix.h"
#include "core/DDRankCalculator.h"
#include "iteration/DDAlgTestFaceRank.h"
#include "iteration/DDSingleSetTraverseVisitor.h"
#include "iteration/DDZeroSetFaces.h"

#include <gmpxx.h>

#include <cstdint>
#include <optional>
#include <vector>

namespace double_description {

// A pair is adjacent when the rows of its common zero set have rank d - 2.
class AlgTestTraverseVisitor final : public SingleSetTraverseVisitor {
public:
  // machine: the working matrix in machine integers, shared by the passes of
  // a run; without it the visitor builds its own on first need.
  AlgTestTraverseVisitor(SearchTree const& tree, unsigned short step, Matrix const& working,
                         SingleSetRayCache& cache, MachineMatrix const* machine = nullptr);
  ~AlgTestTraverseVisitor() override = default;

  void onVisit(RayReference const& ref) override;

  // Whether the rows of face have rank at least d - 2.
  bool isAdjacent(BitList const& face);
  // The same test as one pivot search per column, stopping at the third
  // column without a pivot or once every row is a pivot row; it also decides
  // faces of fewer than d - 2 rows, which no candidate has.
  bool isAdjacentByColumnSweep(BitList const& face);

  Matrix const* mWorkingMatrix;
  // m x d exact workspace of the column sweep, built on first need and reused
  // for the rest of the pass.
  std::optional<RankCalculator> mRankCalculator;

private:
  RankCalculator& rankCalculator();
  MachineMatrix const& machineMatrix();
  // isAdjacent for face i of mFaces.
  bool isAdjacentFace(unsigned i);
  // Whether the rows of mFaceRows, at least d - 2, have rank d - 2.
  bool faceRowsHaveRank();
  // The row-by-row reduction of mFaceRows in one arithmetic, the pivot rows
  // kept in rows: 1 or 0 for the answer, -1 when a value does not fit.
  template <class Arithmetic>
  int rankReachesThreshold(std::vector<typename Arithmetic::Value>& rows);

  MachineMatrix const* mMachineMatrix;
  std::optional<MachineMatrix> mOwnMachineMatrix;
  // The faces of one ray in a prime field, when that is exact for the
  // matrix; decided with the first ray visited.
  std::optional<AlgTestFaceRank> mFaceRank;
  bool mFaceRankDecided = false;
  // The partners of the ray visited, their faces and which are adjacent.
  std::vector<RayReference> mPartners;
  ZeroSetFaces mFaces;
  std::vector<std::uint8_t> mAdjacent;
  std::vector<unsigned> mFaceRows; // of the face being tested
  std::vector<int> mPivotOfColumn;
  std::vector<std::int64_t> mFastRows;
  std::vector<mpz_class> mExactRows;
};

} // namespace double_description

#endif
