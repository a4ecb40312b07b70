#include "iteration/DDAlgTestTraverseVisitor.h"

#include "core/DDBitOps.h"
#include "core/DDUtilsFactory.h"
#include "trees/DDTreeSearch.h"

#include <algorithm>
#include <utility>

namespace double_description {

AlgTestTraverseVisitor::AlgTestTraverseVisitor(TreeNode const& tree, unsigned short step,
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
  searchPartners(*mTree, ref, [&](RayReference const& stored) {
    const std::uint64_t n = stored.mBits.wordCount();
    if (mFace.wordCount() != n)
      mFace = BitList(n);
    const std::uint64_t* a = stored.mBits.words();
    const std::uint64_t* b = ref.mBits.words();
    std::uint64_t* common = mFace.words();
    for (std::uint64_t i = 0; i < n; ++i)
      common[i] = a[i] & b[i];
    if (isAdjacent(mFace))
      createRay(stored, ref);
  });
}

bool AlgTestTraverseVisitor::isAdjacentByColumnSweep(BitList const& face) {
  const unsigned d = mWorkingMatrix->getColumns();
  RankCalculator& calc = rankCalculator();

  unsigned k = 0;
  const std::uint64_t* words = face.words();
  for (std::uint64_t w = 0, n = face.wordCount(); w < n; ++w) {
    for (std::uint64_t bits = words[w]; bits != 0; bits &= bits - 1) {
      const unsigned r = static_cast<unsigned>(64 * w + __builtin_ctzll(bits));
      CalculationVector const& source = mWorkingMatrix->row(r);
      CalculationVector& target = calc.row(k);
      for (unsigned j = 0; j < d; ++j)
        target[j] = source[j];
      ++k;
    }
  }
  calc.setRowsInUse(k);
  calc.setColsInUse(d);
  if (k == 0)
    return true;

  // At most two columns may stay without a pivot.
  int allowance = static_cast<int>(d) - static_cast<int>(mThreshold);
  std::vector<unsigned>& order = calc.getRowOrder();
  mpz_class& g = UtilsFactory::CALC_UTILS[2];
  mpz_class& b = UtilsFactory::CALC_UTILS[5];
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
      if (sgn(row[j]) == 0)
        continue;
      mpz_gcd(g.get_mpz_t(), pivot[j].get_mpz_t(), row[j].get_mpz_t());
      mpz_divexact(b.get_mpz_t(), row[j].get_mpz_t(), g.get_mpz_t());
      mpz_divexact(g.get_mpz_t(), pivot[j].get_mpz_t(), g.get_mpz_t());
      row[j] = 0;
      for (unsigned l = j + 1; l < d; ++l) {
        mpz_mul(row[l].get_mpz_t(), row[l].get_mpz_t(), g.get_mpz_t());
        if (sgn(pivot[l]) != 0)
          mpz_submul(row[l].get_mpz_t(), b.get_mpz_t(), pivot[l].get_mpz_t());
      }
    }
    // d - 2 pivots already decide the test: the remaining columns cannot
    // add a third pivot-free one.
    if (++p >= mThreshold)
      return true;
  }
  return true;
}

namespace {

// Cancels entry col of row against the pivot row, whose entries before col
// are zero: row = row * (p/g) - pivot * (a/g), g = gcd(p, a).
void eliminate(CalculationVector& row, CalculationVector const& pivot, unsigned col, unsigned d) {
  mpz_class& g = UtilsFactory::CALC_UTILS[2];
  mpz_class& b = UtilsFactory::CALC_UTILS[5];
  mpz_gcd(g.get_mpz_t(), pivot[col].get_mpz_t(), row[col].get_mpz_t());
  mpz_divexact(b.get_mpz_t(), row[col].get_mpz_t(), g.get_mpz_t());
  mpz_divexact(g.get_mpz_t(), pivot[col].get_mpz_t(), g.get_mpz_t());
  row[col] = 0;
  for (unsigned l = col + 1; l < d; ++l) {
    mpz_mul(row[l].get_mpz_t(), row[l].get_mpz_t(), g.get_mpz_t());
    if (sgn(pivot[l]) != 0)
      mpz_submul(row[l].get_mpz_t(), b.get_mpz_t(), pivot[l].get_mpz_t());
  }
}

} // namespace

// Every candidate face has at least d - 2 rows, and for those the answer is
// whether their rank reaches d - 2. The rows are reduced one at a time
// against the pivot rows found so far, so a face of many rows is accepted as
// soon as d - 2 independent rows are seen and rejected as soon as too few
// rows remain. Machine integers serve while nothing overflows; the exact
// integers take over when something would.
bool AlgTestTraverseVisitor::isAdjacent(BitList const& face) {
  const unsigned k = popcount(face.words(), face.wordCount());
  if (k < mThreshold)
    return isAdjacentByColumnSweep(face);
  if (mThreshold == 0)
    return true;
  const int fast = rankReachesThresholdFast(face, k);
  return fast >= 0 ? fast == 1 : rankReachesThreshold(face, k);
}


int AlgTestTraverseVisitor::rankReachesThresholdFast(BitList const& face, unsigned k) {
  constexpr std::int64_t LARGE = std::int64_t(1) << 40;
  const unsigned d = mWorkingMatrix->getColumns();
  const unsigned need = mThreshold;
  MachineMatrix const& machine = machineMatrix();
  mFastRows.resize(static_cast<std::size_t>(need + 1) * d);
  mPivotOfColumn.assign(d, -1);
  const std::uint64_t* words = face.words();
  unsigned pivots = 0;
  unsigned seen = 0;
  for (std::uint64_t w = 0, n = face.wordCount(); w < n; ++w) {
    for (std::uint64_t bits = words[w]; bits != 0; bits &= bits - 1) {
      if (pivots + (k - seen) < need)
        return 0;
      ++seen;
      const std::int64_t* source =
          machine.row(static_cast<unsigned>(64 * w + __builtin_ctzll(bits)));
      if (source == nullptr)
        return -1;
      std::int64_t* row = &mFastRows[static_cast<std::size_t>(pivots) * d];
      std::copy(source, source + d, row);
      for (unsigned col = 0; col < d; ++col) {
        if (row[col] == 0)
          continue;
        const int pivotIndex = mPivotOfColumn[col];
        if (pivotIndex < 0) {
          mPivotOfColumn[col] = static_cast<int>(pivots);
          if (++pivots >= need)
            return 1;
          break;
        }
        const std::int64_t* pivot = &mFastRows[static_cast<std::size_t>(pivotIndex) * d];
        // Two nonzero entries of the symmetric range: g fits.
        const auto g = static_cast<std::int64_t>(gcd64(pivot[col], row[col]));
        const std::int64_t a = pivot[col] / g;
        const std::int64_t b = row[col] / g;
        row[col] = 0;
        bool large = false;
        if (a == 1) {
          for (unsigned l = col + 1; l < d; ++l) {
            std::int64_t y;
            if (__builtin_mul_overflow(pivot[l], b, &y) || __builtin_sub_overflow(row[l], y, &row[l]))
              return -1;
            large = large || row[l] > LARGE || row[l] < -LARGE;
          }
        } else {
          for (unsigned l = col + 1; l < d; ++l) {
            std::int64_t x, y;
            if (__builtin_mul_overflow(row[l], a, &x) || __builtin_mul_overflow(pivot[l], b, &y) ||
                __builtin_sub_overflow(x, y, &row[l]))
              return -1;
            large = large || row[l] > LARGE || row[l] < -LARGE;
          }
        }
        if (large) {
          // A difference may land on -2^63, which has no negation; only a
          // large row can hold it.
          if (std::find(row + col + 1, row + d, INT64_MIN) != row + d)
            return -1;
          removeContent(row, d);
        }
      }
    }
  }
  return 0;
}

bool AlgTestTraverseVisitor::rankReachesThreshold(BitList const& face, unsigned k) {
  const std::uint64_t* words = face.words();
  const std::uint64_t wordCount = face.wordCount();
  const unsigned need = mThreshold;
  const unsigned d = mWorkingMatrix->getColumns();
  RankCalculator& calc = rankCalculator();
  calc.setColsInUse(d);
  mPivotOfColumn.assign(d, -1);
  unsigned pivots = 0;
  unsigned seen = 0;
  for (std::uint64_t w = 0; w < wordCount; ++w) {
    for (std::uint64_t bits = words[w]; bits != 0; bits &= bits - 1) {
      if (pivots + (k - seen) < need)
        return false;
      ++seen;
      CalculationVector const& source =
          mWorkingMatrix->row(static_cast<unsigned>(64 * w + __builtin_ctzll(bits)));
      CalculationVector& row = calc.row(pivots);
      for (unsigned j = 0; j < d; ++j)
        row[j] = source[j];
      for (unsigned col = 0; col < d; ++col) {
        if (sgn(row[col]) == 0)
          continue;
        const int pivot = mPivotOfColumn[col];
        if (pivot < 0) { // a new independent row
          mPivotOfColumn[col] = static_cast<int>(pivots);
          if (++pivots >= need) {
            calc.setRowsInUse(pivots);
            return true;
          }
          break;
        }
        eliminate(row, calc.row(static_cast<unsigned>(pivot)), col, d);
      }
    }
  }
  calc.setRowsInUse(pivots);
  return false;
}

} // namespace double_description
