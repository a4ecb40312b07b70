#include "dualset/DDPartTestTraverseVisitor.h"

#include "trees/DDTreeSearch.h"

#include <algorithm>
#include <memory>

namespace double_description {

namespace {

void prefetchSetsOf(DualSetRay const& ray) { ray.prefetchSets(); }

} // namespace

void PartTestTraverseVisitor::onVisit(RayReference const& ref) {
  mState = 2;
  auto const& negative = *ref.ray<DualSetRay>();
  // The partners are collected first, so that the rays a test reads can be
  // loaded a few tests ahead: the tests wait on memory more than they
  // compute. New rays go to later rows' entries, never into the tree being
  // searched, and are made in the order found.
  mPartners.clear();
  mAdjacent.clear();
  // A ray whose only zero rows before the step are its d - 1 primary rows
  // has independent zero rows: a candidate face, of at least d - 2 of them,
  // is an edge.
  const auto independent = static_cast<std::uint16_t>(mThreshold + 1);
  const bool negativeIndependent = ref.mCardinality == independent;
  const auto partner = [&](RayReference const& stored) {
    mPartners.push_back(stored.ray<DualSetRay>());
    const bool taken = negativeIndependent || stored.mCardinality == independent;
    mAdjacent.push_back(taken ? INDEPENDENT : UNKNOWN);
    return !taken;
  };
  if (negativeIndependent) {
    searchPartners(*mTree, ref, partner);
    makeRays(negative, true, false);
    return;
  }
  // Kept by the thread across passes: the costs change slowly from step to
  // step, and a pass may be short.
  thread_local FacesPayOff payOff;
  if (payOff.worthTrying())
    payOff.record(settleByFaces(ref, partner));
  else
    settleDirectly(ref, partner);
}

bool PartTestTraverseVisitor::FacesPayOff::worthTrying() {
  if (++mRays % RETRY_EVERY == 0 || mSoFar.mTests == 0)
    return true;
  // Settled pairs priced at the mean test against every pair.
  return mSoFar.mSettled * (mSoFar.mTests + mSoFar.mReducedRows) >= mSoFar.mPairs * mSoFar.mTests;
}

void PartTestTraverseVisitor::FacesPayOff::record(FaceSettling const& settling) {
  // Halved now and then, so that the figures follow the steps.
  if (mSoFar.mPairs >= HALVE_AT) {
    mSoFar.mPairs /= 2;
    mSoFar.mSettled /= 2;
    mSoFar.mTests /= 2;
    mSoFar.mReducedRows /= 2;
  }
  mSoFar.mPairs += settling.mPairs;
  mSoFar.mSettled += settling.mSettled;
  mSoFar.mTests += settling.mTests;
  mSoFar.mReducedRows += settling.mReducedRows;
}

template <class Partner>
PartTestTraverseVisitor::FaceSettling
PartTestTraverseVisitor::settleByFaces(RayReference const& ref, Partner partner) {
  auto const& negative = *ref.ray<DualSetRay>();
  mFaces.setZeroSet(ref.bits(), ref.mFirstWord, ref.mEndWord);
  FaceSettling settling;
  searchFaces(*mTree, ref, [&](RayReference const& stored, BitList const&, BitList const& face) {
    settling.mPairs += partner(stored);
    mFaces.add(face);
  });
  // Tested from the largest down: faces within a face short of rank d - 2
  // are short too.
  std::vector<unsigned> const& order = mFaces.order();
  forEachAhead(
      order.size(), [&](std::size_t k) { return order[k]; }, prefetchSetsOf,
      [&](unsigned i) {
        if (mAdjacent[i] != UNKNOWN)
          return;
        if (mFaces.withinShortFace(i)) {
          ++settling.mSettled;
          return;
        }
        const bool adjacent = mFaceProver->isAdjacent(*mPartners[i], negative);
        ++settling.mTests;
        settling.mReducedRows += mFaceProver->reducedRows();
        if (adjacent)
          mAdjacent[i] = ADJACENT;
        else
          mFaces.markShort(i);
      });
  makeRays(negative, false, true);
  return settling;
}

template <class Partner>
void PartTestTraverseVisitor::settleDirectly(RayReference const& ref, Partner partner) {
  searchPartners(*mTree, ref, partner);
  makeRays(*ref.ray<DualSetRay>(), false, false);
}

void PartTestTraverseVisitor::makeRays(DualSetRay const& negative, bool negativeIndependent,
                                       bool settled) {
  // The prover's state of a pair is made again right before its ray; a pair
  // with independent zero rows reads its partner at the negative ray's
  // primary rows. Once settled, only the adjacent pairs are read again.
  auto rows = [&](DualSetRay const& ray) {
    ray.prefetchRowsAt(negative.primaryRows(), negative.primaryCount());
  };
  mMade.clear();
  for (unsigned i = 0; i < mPartners.size(); ++i)
    if (!settled || mAdjacent[i] != UNKNOWN)
      mMade.push_back(i);
  forEachAhead(
      mMade.size(), [&](std::size_t k) { return mMade[k]; },
      [&](DualSetRay const& ray) { negativeIndependent ? rows(ray) : prefetchSetsOf(ray); },
      [&](unsigned i) {
        DualSetRay const& positive = *mPartners[i];
        if (mAdjacent[i] == INDEPENDENT) {
          mFaceProver->takeIndependentFace(positive, negative);
        } else if (!mFaceProver->isAdjacent(positive, negative)) {
          DD_ASSERT(!settled);
          return;
        }
        createRay(positive, negative);
      });
}

template <class Index, class Sets, class Visit>
void PartTestTraverseVisitor::forEachAhead(std::size_t n, Index index, Sets sets,
                                           Visit visit) const {
  constexpr std::size_t RAY_AHEAD = 4;
  constexpr std::size_t SETS_AHEAD = 2;
  for (std::size_t k = 0; k < std::min(n, RAY_AHEAD); ++k)
    prefetchRay(*mPartners[index(k)]);
  for (std::size_t k = 0; k < std::min(n, SETS_AHEAD); ++k)
    sets(*mPartners[index(k)]);
  for (std::size_t k = 0; k < n; ++k) {
    if (k + RAY_AHEAD < n)
      prefetchRay(*mPartners[index(k + RAY_AHEAD)]);
    if (k + SETS_AHEAD < n)
      sets(*mPartners[index(k + SETS_AHEAD)]);
    visit(index(k));
  }
}

void PartTestTraverseVisitor::createRay(DualSetRay const& positive, DualSetRay const& negative) {
  BitList primary(mFaceProver->known());
  primary.set(mStep);
  SlackCalculator const& slacks = mRayCache->slacks();
  RayCoordinates coordinates =
      slacks.combine(positive.coordinates(), negative.coordinates(), mStep);
  // The zero rows after the step, before the first negative one.
  mLater.clear();
  unsigned firstNegative = slacks.rowCount();
  for (unsigned k = mStep + 1u; k < slacks.rowCount(); ++k) {
    const int sign = slacks.sign(k, coordinates);
    if (sign < 0) {
      firstNegative = k;
      break;
    }
    if (sign == 0)
      mLater.push_back(k);
  }
  const auto known = mFaceProver->knownWords();
  const std::pair<std::uint64_t, std::uint64_t> words = {
      std::min<std::uint64_t>(known.first, mStep / 64u), mStep / 64u + 1};
  auto ray =
      std::make_unique<DualSetRay>(positive.firstSecondaryRow(), mStep, std::move(coordinates),
                                   std::move(primary), firstNegative, words);
  // The face lies before the step, since the negative parent is negative on
  // it, so its rows come before the later ones.
  mAssigner->assign(*ray, mFaceProver->spare(), mFaceProver->spareWords(),
                    {&positive, mFaceProver->freeMask(positive)},
                    {&negative, mFaceProver->freeMask(negative)}, mLater);
  file(ray.release());
}

} // namespace double_description
