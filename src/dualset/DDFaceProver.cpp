#include "dualset/DDFaceProver.h"

#include "core/DDBitOps.h"

namespace double_description {

namespace {
inline unsigned lowest(std::uint64_t w, std::uint64_t bits) {
  return static_cast<unsigned>(64 * w + __builtin_ctzll(bits));
}
} // namespace

FaceProver::FaceProver(unsigned short m, unsigned short T)
    : mRowCount(m), mWordCount(static_cast<std::uint16_t>((m + 63u) / 64u)), mTargetRank(T),
      mSlack(0), mIndependentCount(0), mKnown(mWordCount), mFree(mWordCount),
      mPending(mWordCount), mSpare(mWordCount), mSupports(m, BitRegister(mWordCount)),
      mLoaded(mWordCount), mBasisRay(nullptr), mOtherRay(nullptr), mRowSlot(m),
      mColumnIndex(m), mLoadedCount(0) {}

bool FaceProver::isAdjacent(DualSetRay const& positive, DualSetRay const& negative) {
  const std::uint64_t n = mWordCount;
  const bool negativeFirst = popcount(negative.mSecondary.words(), n) <
                             popcount(positive.mSecondary.words(), n);
  DualSetRay const& A = negativeFirst ? negative : positive;
  DualSetRay const& B = negativeFirst ? positive : negative;
  mBasisRay = &A;
  mOtherRay = &B;
  mIndependentCount = 0;
  mSlack = 0;
  mLoadedCount = 0;

  const std::uint64_t* ap = A.mPrimary.words();
  const std::uint64_t* as = A.mSecondary.words();
  const std::uint64_t* bp = B.mPrimary.words();
  const std::uint64_t* bs = B.mSecondary.words();
  std::uint64_t* known = mKnown.words();
  std::uint64_t* pending = mPending.words();
  std::uint64_t* free = mFree.words();
  std::uint64_t* spare = mSpare.words();
  std::uint64_t* loaded = mLoaded.words();
  for (std::uint64_t w = 0; w < n; ++w) {
    const std::uint64_t zB = bp[w] | bs[w];
    known[w] = (zB & ap[w]) | (bp[w] & as[w]);
    pending[w] = zB & as[w];
    free[w] = ~zB & ap[w];
    spare[w] = as[w] & bs[w];
    loaded[w] = 0;
  }

  const std::uint16_t C = popcount(known, n);
  const std::int32_t T = mTargetRank;
  mIndependentCount = C;
  mSlack = static_cast<std::int32_t>(popcount(spare, n)) + C - T;
  if (C > T)
    return false;
  if (C == T)
    return true;

  // Rows secondary in both rays whose certificate in either lies inside the
  // known rows are dependent without arithmetic.
  for (std::uint64_t w = 0; w < n && mSlack >= 0; ++w) {
    for (std::uint64_t bits = pending[w]; bits != 0 && mSlack >= 0; bits &= bits - 1) {
      const unsigned r = lowest(w, bits);
      BitList const& supportA = A.dependency(r)->mSupport;
      if (testBit(spare, r) && (isSubset(supportA.words(), known, n) ||
                                isSubset(B.dependency(r)->mSupport.words(), known, n))) {
        clearBit(pending, r);
        --mSlack;
        continue;
      }
      std::uint64_t* s = mSupports[r].words();
      const std::uint64_t* a = supportA.words();
      for (std::uint64_t x = 0; x < n; ++x)
        s[x] = free[x] & a[x];
    }
  }

  calcUnknownDependencies();
  return mIndependentCount == mTargetRank;
}

void FaceProver::calcUnknownDependencies() {
  const std::uint64_t n = mWordCount;
  if (n == 0 || mSlack < 0 || mIndependentCount >= mTargetRank)
    return;

  std::uint16_t column = 0;
  const std::uint64_t* ap = mBasisRay->mPrimary.words();
  for (std::uint64_t w = 0; w < n; ++w)
    for (std::uint64_t bits = ap[w]; bits != 0; bits &= bits - 1)
      mColumnIndex[lowest(w, bits)] = column++;

  std::uint64_t* pending = mPending.words();
  std::uint64_t* free = mFree.words();
  std::uint64_t* spare = mSpare.words();
  std::uint64_t* known = mKnown.words();
  for (std::uint64_t w = 0; w < n && mSlack >= 0 && mIndependentCount < mTargetRank; ++w) {
    while (pending[w] != 0 && mSlack >= 0 && mIndependentCount < mTargetRank) {
      const unsigned r = lowest(w, pending[w]);
      std::uint64_t* s = mSupports[r].words();
      unsigned p = 0;
      bool found = false;
      for (std::uint64_t x = 0; x < n && !found; ++x)
        if (const std::uint64_t bits = s[x] & free[x]) {
          p = lowest(x, bits);
          found = true;
        }
      if (!found) {
        // Cannot happen while the greedy-basis invariant holds: a row without
        // a pivot is dependent on the rows before it.
        clearBit(pending, r);
        setBit(spare, r);
        --mSlack;
        continue;
      }
      if (testBit(spare, r)) {
        clearBit(spare, r);
        setBit(known, r);
        if (++mIndependentCount >= mTargetRank)
          return;
      }
      clearBit(free, p);
      clearBit(pending, r);
      if (!testBit(mLoaded.words(), r))
        load(r);
      clearBit(s, p);
      eliminate(r, p);
    }
  }
}

void FaceProver::load(unsigned r) {
  const std::uint32_t slot = mLoadedCount++;
  if (slot == mRowCoefficients.size())
    mRowCoefficients.emplace_back(new mpz_class[mTargetRank + 1u]);
  mRowSlot[r] = slot;
  LinearDependenceEntry const& certificate = *mBasisRay->dependency(r);
  const std::uint64_t* s = mSupports[r].words();
  for (std::uint64_t w = 0; w < mWordCount; ++w)
    for (std::uint64_t bits = s[w]; bits != 0; bits &= bits - 1) {
      const unsigned c = lowest(w, bits);
      value(r, c) = certificate.coefficient(c);
    }
  setBit(mLoaded.words(), r);
}

void FaceProver::eliminate(unsigned r, unsigned p) {
  const std::uint64_t n = mWordCount;
  std::uint64_t* pending = mPending.words();
  const std::uint64_t* sr = mSupports[r].words();
  for (std::uint64_t w = 0; w < n && mSlack >= 0; ++w) {
    for (std::uint64_t bits = pending[w]; bits != 0 && mSlack >= 0; bits &= bits - 1) {
      const unsigned u = lowest(w, bits);
      std::uint64_t* su = mSupports[u].words();
      if (!testBit(su, p))
        continue;
      if (!testBit(mLoaded.words(), u))
        load(u);
      clearBit(su, p);
      mpz_srcptr vr = value(r, p).get_mpz_t();
      mpz_srcptr vu = value(u, p).get_mpz_t();
      mpz_gcd(mPivotGcd.get_mpz_t(), vr, vu);
      mpz_divexact(mPivotFactor.get_mpz_t(), vr, mPivotGcd.get_mpz_t());
      mpz_divexact(mRowFactor.get_mpz_t(), vu, mPivotGcd.get_mpz_t());
      const bool unitFactor = mpz_cmp_ui(mPivotFactor.get_mpz_t(), 1) == 0;

      bool empty = true;
      for (std::uint64_t x = 0; x < n; ++x) {
        std::uint64_t uWord = su[x];
        const std::uint64_t rWord = sr[x];
        for (std::uint64_t cols = uWord | rWord; cols != 0; cols &= cols - 1) {
          const std::uint64_t bit = cols & (~cols + 1);
          const unsigned c = lowest(x, cols);
          mpz_ptr target = value(u, c).get_mpz_t();
          if ((uWord & bit) && (rWord & bit)) {
            if (!unitFactor)
              mpz_mul(target, target, mPivotFactor.get_mpz_t());
            mpz_submul(target, mRowFactor.get_mpz_t(), value(r, c).get_mpz_t());
            if (mpz_sgn(target) == 0)
              uWord &= ~bit;
          } else if (uWord & bit) {
            if (!unitFactor)
              mpz_mul(target, target, mPivotFactor.get_mpz_t());
          } else {
            mpz_mul(target, mRowFactor.get_mpz_t(), value(r, c).get_mpz_t());
            mpz_neg(target, target);
            uWord |= bit;
          }
        }
        su[x] = uWord;
        if (uWord != 0)
          empty = false;
      }
      if (empty) {
        clearBit(pending, u);
        setBit(mSpare.words(), u);
        --mSlack;
      }
    }
  }
}

} // namespace double_description
