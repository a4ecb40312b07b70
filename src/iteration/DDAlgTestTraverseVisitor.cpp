#include "iteration/DDAlgTestTraverseVisitor.h"

#include "core/DDBitOps.h"
#include "core/DDUtilsFactory.h"

#include <utility>

namespace double_description {

AlgTestTraverseVisitor::AlgTestTraverseVisitor(TreeNode const& tree, unsigned short step,
                                               Matrix const& working, SingleSetRayCache& cache)
    : SingleSetTraverseVisitor(tree, static_cast<std::uint16_t>(working.getColumns() - 2), step,
                               static_cast<std::uint16_t>(working.getRowCount()), cache),
      mWorkingMatrix(&working), mRankCalculator(working.getRowCount(), working.getColumns()) {}

void AlgTestTraverseVisitor::onVisit(RayReference const& ref) {
  const std::uint16_t c = popcount(ref.mBits.words(), ref.mBits.wordCount());
  if (c == static_cast<std::uint16_t>(mThreshold + 1)) {
    acceptAll(ref);
    return;
  }
  mState = 2;
  mTree->preliminaryTraverse(ref, mCandidates);
  for (EdgeCandidate const& candidate : mCandidates)
    if (isAdjacent(candidate.mCommon))
      createRay(candidate);
  mCandidates.clear();
}

bool AlgTestTraverseVisitor::isAdjacent(BitList const& face) {
  const unsigned d = mWorkingMatrix->getColumns();
  RankCalculator& calc = mRankCalculator;

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
  mpz_class& g = UtilsFactory::CALC_UTILS.mInt[2];
  mpz_class& b = UtilsFactory::CALC_UTILS.mInt[5];
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
    ++p;
  }
  return true;
}

} // namespace double_description
