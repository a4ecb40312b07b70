#include "iteration/DDAlgTestTraverseVisitor.h"

#include "core/DDArithmetic.h"
#include "core/DDBitOps.h"
#include "core/DDElimination.h"
#include "trees/DDTreeSearch.h"

#include <algorithm>
#include <utility>

namespace double_description {

AlgTestTraverseVisitor::AlgTestTraverseVisitor(SearchTree const& tree, unsigned short step,
                                               Matrix const& working, SingleSetRayCache& cache,
                                               MachineMatrix const* machine)
    : SingleSetTraverseVisitor(tree, static_cast<std::uint16_t>(working.getColumns() - 2), step,
                               static_cast<std::uint16_t>(working.getRowCount()), cache),
      mWorkingMatrix(&working), mMachineMatrix(machine) {
  mPivotOfColumn.reserve(working.getColumns());
}

RankCalculator& AlgTestTraverseVisitor::rankCalculator() {
  if (!mRankCalculator)
    mRankCalculator.emplace(mWorkingMatrix->getRowCount(), mWorkingMatrix->getColumns());
  return *mRankCalculator;
}

MachineMatrix const& AlgTestTraverseVisitor::machineMatrix() {
  if (mMachineMatrix == nullptr)
    mMachineMatrix = &mOwnMachineMatrix.emplace(*mWorkingMatrix);
  return *mMachineMatrix;
}

void AlgTestTraverseVisitor::onVisit(RayReference const& ref) {
  if (acceptAllIfNondegenerate(ref))
    return;
  mState = 2;
  if (!mFaceRankDecided) {
    mFaceRankDecided = true;
    if (mThreshold > 0 && AlgTestFaceRank::exact(machineMatrix()))
      mFaceRank.emplace(machineMatrix());
  }
  // The faces of the ray are collected first and tested from the largest
  // down; new rays are made in the order found.
  mFaces.setZeroSet(ref.bits(), ref.mFirstWord, ref.mEndWord);
  mPartners.clear();
  searchFaces(*mTree, ref, [&](RayReference const& stored, BitList const&, BitList const& face) {
    mPartners.push_back(stored);
    mFaces.add(face);
  });
  // The work shared through the zero set of the ray costs about what a few
  // direct tests of its rows cost, so it pays once the faces hold several
  // times those rows.
  constexpr std::uint64_t SHARED_ROWS_FACTOR = 4;
  const bool shared = mFaceRank && mFaces.totalRows() >= SHARED_ROWS_FACTOR * mFaces.slots();
  if (shared)
    mFaceRank->setFaces(mFaces);
  mAdjacent.assign(mPartners.size(), 0);
  for (unsigned i : mFaces.order()) {
    if (mFaces.withinShortFace(i))
      continue;
    const bool adjacent = shared && mFaces.rows(i) >= mThreshold && mFaceRank->favours(i)
                              ? mFaceRank->hasRankDMinusTwo(i)
                              : isAdjacentFace(i);
    if (adjacent)
      mAdjacent[i] = 1;
    else
      mFaces.markShort(i);
  }
  for (unsigned i = 0; i < mPartners.size(); ++i)
    if (mAdjacent[i])
      createRay(mPartners[i], ref);
}

bool AlgTestTraverseVisitor::isAdjacentByColumnSweep(BitList const& face) {
  const unsigned d = mWorkingMatrix->getColumns();
  RankCalculator& calc = rankCalculator();

  unsigned k = 0;
  face.forEachSetBit([&](std::uint64_t r) {
    CalculationVector const& source = mWorkingMatrix->row(static_cast<unsigned>(r));
    CalculationVector& target = calc.row(k++);
    for (unsigned j = 0; j < d; ++j)
      target[j] = source[j];
  });
  calc.setRowsInUse(k);
  calc.setColsInUse(d);
  if (k == 0)
    return true;

  // At most two columns may stay without a pivot.
  int allowance = static_cast<int>(d) - static_cast<int>(mThreshold);
  std::vector<unsigned>& order = calc.getRowOrder();
  unsigned p = 0;
  for (unsigned j = 0; j < d; ++j) {
    if (sgn(calc.row(p)[j]) == 0) {
      unsigned q = p + 1;
      while (q < k && sgn(calc.row(q)[j]) == 0)
        ++q;
      if (q == k) {
        if (--allowance < 0)
          return false;
        continue;
      }
      std::swap(order[p], order[q]);
    }
    if (p + 1 >= k)
      return true;
    CalculationVector const& pivot = calc.row(p);
    for (unsigned q = p + 1; q < k; ++q) {
      CalculationVector& row = calc.row(q);
      if (sgn(row[j]) != 0)
        cancelEntry(row, pivot, j, j + 1, d);
    }
    // d - 2 pivots already decide the test: the remaining columns cannot
    // add a third pivot-free one.
    if (++p >= mThreshold)
      return true;
  }
  return true;
}

bool AlgTestTraverseVisitor::isAdjacent(BitList const& face) {
  mFaceRows.clear();
  face.forEachSetBit([&](std::uint64_t r) { mFaceRows.push_back(static_cast<unsigned>(r)); });
  if (mFaceRows.size() < mThreshold)
    return isAdjacentByColumnSweep(face);
  return faceRowsHaveRank();
}

bool AlgTestTraverseVisitor::isAdjacentFace(unsigned i) {
  mFaceRows.clear();
  forEachSetBit(mFaces.mask(i), mFaces.maskWords(), [&](std::uint64_t s) {
    mFaceRows.push_back(mFaces.slotRow(static_cast<unsigned>(s)));
  });
  DD_ASSERT(mFaceRows.size() >= mThreshold);
  return faceRowsHaveRank();
}

// Every candidate face has at least d - 2 rows, and for those the answer is
// whether their rank reaches d - 2. Machine integers serve while nothing
// overflows; the exact integers take over when something would.
bool AlgTestTraverseVisitor::faceRowsHaveRank() {
  if (mThreshold == 0)
    return true;
  const int fast = rankReachesThreshold<MachineArithmetic>(mFastRows);
  if (fast >= 0)
    return fast == 1;
  return rankReachesThreshold<ExactArithmetic>(mExactRows) == 1;
}

namespace {

// Row r of the working matrix in either arithmetic; machine rows may be
// missing.
std::int64_t const* rowOf(MachineMatrix const& machine, Matrix const&, unsigned r,
                          MachineArithmetic const&) {
  return machine.row(r);
}
mpz_class const* rowOf(MachineMatrix const&, Matrix const& working, unsigned r,
                       ExactArithmetic const&) {
  return working.row(r).mValues.data();
}

} // namespace

// The rows are reduced one at a time against the pivot rows found so far, so
// a face of many rows is accepted as soon as d - 2 independent rows are seen
// and rejected as soon as too few rows remain.
template <class Arithmetic>
int AlgTestTraverseVisitor::rankReachesThreshold(std::vector<typename Arithmetic::Value>& rows) {
  using Value = typename Arithmetic::Value;
  // Local, so that the machine bounds are known constants.
  Arithmetic arithmetic;
  constexpr std::uint64_t LARGE = std::uint64_t(1) << 40;
  const unsigned d = mWorkingMatrix->getColumns();
  const unsigned need = mThreshold;
  const auto k = static_cast<unsigned>(mFaceRows.size());
  MachineMatrix const& machine = machineMatrix();
  const std::size_t cells = static_cast<std::size_t>(need + 1) * d;
  if (rows.size() < cells)
    rows.resize(cells);
  mPivotOfColumn.assign(d, -1);
  unsigned pivots = 0;
  for (unsigned seen = 0; seen < k; ++seen) {
    if (pivots + (k - seen) < need)
      return 0;
    Value const* source = rowOf(machine, *mWorkingMatrix, mFaceRows[seen], arithmetic);
    if (source == nullptr)
      return -1;
    Value* row = &rows[static_cast<std::size_t>(pivots) * d];
    std::copy(source, source + d, row);
    for (unsigned col = 0; col < d; ++col) {
      if (row[col] == 0)
        continue;
      const int pivotIndex = mPivotOfColumn[col];
      if (pivotIndex < 0) { // a new independent row
        mPivotOfColumn[col] = static_cast<int>(pivots);
        if (++pivots >= need)
          return 1;
        break;
      }
      std::uint64_t magnitudes = 0;
      if (!arithmetic.cancel(row, &rows[static_cast<std::size_t>(pivotIndex) * d], col, col + 1, d,
                             magnitudes))
        return -1;
      // Dividing out the content keeps machine entries small.
      if (magnitudes > LARGE)
        arithmetic.removeContent(row, d);
    }
  }
  return 0; // every row seen without enough pivots
}

} // namespace double_description
