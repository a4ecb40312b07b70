#include "dualset/DDFaceProver.h"

#include "core/DDElimination.h"

namespace double_description {

namespace {
using Word = std::uint64_t;
} // namespace

FaceProver::FaceProver(unsigned short m, unsigned short T)
    : mTargetRank(T), mSlack(0), mIndependentCount(0), mKnown(BitList::wordsFor(m)),
      mFree(BitList::wordsFor(m)), mPending(BitList::wordsFor(m)), mSpare(BitList::wordsFor(m)),
      mLoaded(BitList::wordsFor(m)), mSupports(m, BitRegister(BitList::wordsFor(m))),
      mBasisRay(nullptr), mOtherRay(nullptr), mRowSlot(m), mColumnIndex(m), mLoadedCount(0) {}

bool FaceProver::isAdjacent(DualSetRay const& positive, DualSetRay const& negative) {
  const bool negativeFirst = negative.secondary().count() < positive.secondary().count();
  DualSetRay const& A = negativeFirst ? negative : positive;
  DualSetRay const& B = negativeFirst ? positive : negative;
  mBasisRay = &A;
  mOtherRay = &B;
  mIndependentCount = 0;
  mSlack = 0;
  mLoadedCount = 0;

  // Known: B's zero rows primary in A and B's primary rows secondary in A.
  // Pending: the rest of the face, to be settled. Free: A's primary rows
  // outside the face, the columns of the elimination. Spare: rows secondary
  // in both, dependent unless shown otherwise. One pass for all of them and
  // the loaded rows: this runs for every candidate pair.
  BitList::forEachWord(
      [](Word& known, Word& pending, Word& free, Word& spare, Word& loaded, Word ap, Word as,
         Word bp, Word bs) {
        const Word zb = bp | bs;
        known = (zb & ap) | (bp & as);
        pending = zb & as;
        free = ap & ~zb;
        spare = as & bs;
        loaded = 0;
      },
      mKnown, mPending, mFree, mSpare, mLoaded, A.primary(), A.secondary(), B.primary(),
      B.secondary());

  const std::uint16_t C = mKnown.count();
  const std::int32_t T = mTargetRank;
  mIndependentCount = C;
  mSlack = static_cast<std::int32_t>(mSpare.count()) + C - T;
  if (C > T)
    return false;
  if (C == T)
    return true;

  // Rows secondary in both rays whose certificate in either lies inside the
  // known rows are dependent without arithmetic. The loop clears only the
  // bit it visits, which forEachSetBit has already read.
  mPending.forEachSetBit([&](std::uint64_t r) {
    if (mSlack < 0)
      return;
    const unsigned row = static_cast<unsigned>(r);
    BitList const& supportA = A.dependency(row)->support();
    if (mSpare.test(r) &&
        (supportA.isSubsetOf(mKnown) || B.dependency(row)->support().isSubsetOf(mKnown))) {
      mPending.reset(r);
      --mSlack;
      return;
    }
    BitList::forEachWord([](Word& s, Word free, Word a) { s = free & a; }, mSupports[r], mFree,
                         supportA);
  });

  calcUnknownDependencies();
  return mIndependentCount == mTargetRank;
}

void FaceProver::calcUnknownDependencies() {
  if (mSlack < 0 || mIndependentCount >= mTargetRank)
    return;

  std::uint16_t column = 0;
  mBasisRay->primary().forEachSetBit([&](std::uint64_t c) { mColumnIndex[c] = column++; });

  for (std::uint64_t r = mPending.findNext(0);
       r != BitList::NO_BIT && mSlack >= 0 && mIndependentCount < mTargetRank;
       r = mPending.findNext(r + 1)) {
    BitList& s = mSupports[r];
    const std::uint64_t p = s.findFirstAnd(mFree);
    // A pending row's support lies in the free columns and is never empty
    // while the greedy-basis invariant holds: a row whose support empties
    // leaves the pending rows at once.
    DD_ASSERT(p != BitList::NO_BIT);
    if (p == BitList::NO_BIT) {
      // A row without a pivot is dependent on the rows before it.
      mPending.reset(r);
      mSpare.set(r);
      --mSlack;
      continue;
    }
    if (mSpare.test(r)) {
      mSpare.reset(r);
      mKnown.set(r);
      if (++mIndependentCount >= mTargetRank)
        return;
    }
    mFree.reset(p);
    mPending.reset(r);
    if (!mLoaded.test(r))
      load(static_cast<unsigned>(r));
    s.reset(p);
    eliminate(static_cast<unsigned>(r), static_cast<unsigned>(p));
  }
}

void FaceProver::load(unsigned r) {
  const std::uint32_t slot = mLoadedCount++;
  if (slot == mRowCoefficients.size())
    mRowCoefficients.push_back(std::make_unique<mpz_class[]>(mTargetRank + 1u));
  mRowSlot[r] = slot;
  LinearDependenceEntry const& certificate = *mBasisRay->dependency(r);
  mpz_class* values = mRowCoefficients[slot].get();
  mSupports[r].forEachSetBit(
      [&](std::uint64_t c) { values[mColumnIndex[c]] = certificate.coefficient(c); });
  mLoaded.set(r);
}

void FaceProver::eliminate(unsigned r, unsigned p) {
  mpz_class const* pivot = row(r);
  BitList const& pivotSupport = mSupports[r];
  for (std::uint64_t u = mPending.findNext(0); u != BitList::NO_BIT && mSlack >= 0;
       u = mPending.findNext(u + 1)) {
    BitList& support = mSupports[u];
    if (!support.test(p))
      continue;
    if (!mLoaded.test(u))
      load(static_cast<unsigned>(u));
    if (cancelSparseEntry(row(static_cast<unsigned>(u)), support, pivot, pivotSupport,
                          mColumnIndex.data(), p)) {
      mPending.reset(u);
      mSpare.set(u);
      --mSlack;
    }
  }
}

} // namespace double_description
