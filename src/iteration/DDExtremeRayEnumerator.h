#ifndef DD_EXTREMERAYENUMERATOR_H
#define DD_EXTREMERAYENUMERATOR_H

#include "core/DDBitList.h"
#include "core/DDMatrix.h"
#include "core/DDRayReferenceContainer.h"
#include "core/DDWorkerPool.h"
#include "iteration/DDBitPatternTreeCacheEntry.h"
#include "iteration/DDDegeneracyCalcVisitor.h"
#include "iteration/DDRayCache.h"
#include "iteration/DDStepStatistics.h"
#include "settings/DDRunSettings.h"
#include "trees/DDPreliminaryCondition.h"
#include "trees/DDSearchTree.h"
#include "trees/DDTreeBuilder.h"
#include "trees/DDVerificationCondition.h"

#include <cmath>
#include <cstdint>
#include <vector>

namespace double_description {

// The adjacency search of one step: narrowing trees over the positive rays,
// queried by the negative rays in the passes of the subclass.
template <class R> class ExtremeRayEnumerator {
public:
  using Entry = BitPatternTreeCacheEntry<R>;
  using Cache = RayCache<R, Entry>;

  // The trees follow settings, which must outlive the enumerator.
  // workers: the threads that share the tree builds, or null for one.
  ExtremeRayEnumerator(Matrix const& working, unsigned short step, Entry const& entry, Cache& cache,
                       RunSettings const& settings, WorkerPool* workers = nullptr)
      : mWorkingMatrix(&working), mThreshold(static_cast<std::uint16_t>(working.getColumns() - 2)),
        mStep(step), mWordCount(static_cast<std::uint16_t>(entry.mMask.wordCount())),
        mPosNondegenerate(&entry.mPosNondegenerate), mPosDegenerate(&entry.mPosDegenerate),
        mNegative(&entry.mNegative), mVerification(&entry.mVerification), mRayCache(&cache),
        mSettings(&settings), mWorkers(workers) {}

  ExtremeRayEnumerator(ExtremeRayEnumerator const&) = delete;
  ExtremeRayEnumerator& operator=(ExtremeRayEnumerator const&) = delete;

  // Each queries tree with every negative ray, files the new rays and returns
  // how many it created.
  virtual std::uint64_t enumerate_pos_deg(SearchTree const* tree) = 0;
  virtual std::uint64_t enumerate_pos_nondeg(SearchTree const* tree) = 0;

  StepStatistics enumerate();

  // The narrowing tree over set, which query will search.
  SearchTree createNarrowingTree(RayReferenceContainer const& set,
                                 RayReferenceContainer const& query,
                                 TreeOptions const& options) const {
    return double_description::createNarrowingTree(options, treeContext(), set, query);
  }
  // The verification tree of the step.
  SearchTree createVerTree() const {
    return double_description::createVerTree(mSettings->mVerificationTree, treeContext(),
                                             *mVerification, *mPosDegenerate, *mNegative);
  }
  TreeContext treeContext() const { return {mThreshold, mStep, mWordCount, mWorkers}; }

protected:
  ~ExtremeRayEnumerator() = default;

  Matrix const* mWorkingMatrix;
  std::uint16_t mThreshold;
  std::uint16_t mStep;
  std::uint16_t mWordCount;
  RayReferenceContainer const* mPosNondegenerate;
  RayReferenceContainer const* mPosDegenerate;
  RayReferenceContainer const* mNegative;
  RayReferenceContainer const* mVerification;
  Cache* mRayCache;
  RunSettings const* mSettings;
  WorkerPool* mWorkers;
};

template <class R> StepStatistics ExtremeRayEnumerator<R>::enumerate() {
  StepStatistics s;
  const std::uint64_t posDeg = mPosDegenerate->size();
  const std::uint64_t P = posDeg + mPosNondegenerate->size();
  const std::uint64_t Q = mNegative->size();
  if (P == 0 || Q == 0)
    return s;

  PreliminaryCondition::NARROWING_OPS = 0;
  PreliminaryCondition::VERIFICATION_OPS = 0;
  VerificationCondition::OPS = 0;
  VerificationCondition::CANDIDATES = 0;

  if (posDeg != 0) {
    const SearchTree tree =
        createNarrowingTree(*mPosDegenerate, *mNegative, mSettings->mDegenerateTree);
    s.mAccepted = enumerate_pos_deg(&tree);
  }
  if (mPosNondegenerate->size() != 0) {
    const SearchTree tree =
        createNarrowingTree(*mPosNondegenerate, *mNegative, mSettings->mNondegenerateTree);
    enumerate_pos_nondeg(&tree);
  }

  const double p = static_cast<double>(P);
  const double q = static_cast<double>(Q);
  const double qLogP = std::log2(p) * q;
  const std::uint64_t narrowing = PreliminaryCondition::NARROWING_OPS;
  s.mNarrowingOps = narrowing;
  s.mEliminationComplexity =
      1 + (static_cast<double>(narrowing) - qLogP) / (static_cast<double>(P * Q) - qLogP);

  const std::uint64_t ops = PreliminaryCondition::VERIFICATION_OPS + VerificationCondition::OPS;
  const std::uint64_t C = VerificationCondition::CANDIDATES;
  s.mVerificationOps = ops;
  s.mVerificationCandidates = C;
  const std::uint64_t V = mVerification->size();
  if (V != 0 && C > 0) {
    const double c = static_cast<double>(C);
    const double L = std::log2(static_cast<double>(V));
    const double o = static_cast<double>(ops);
    s.mVerificationLogComplexity = 1 + (o - c * L) / (L * L * L * c - c * L);
    s.mVerificationLinearComplexity = 1 + (o - c * L) / (static_cast<double>(V * C) - c * L);
  }

  DegeneracyCalcVisitor degeneracy(static_cast<std::uint16_t>(mThreshold + 1));
  mPosDegenerate->iterate(degeneracy);
  s.mPosDegeneracy = degeneracy.mMean * static_cast<double>(posDeg) / p;
  mNegative->iterate(degeneracy);
  s.mNegDegeneracy = degeneracy.mMean;
  return s;
}

} // namespace double_description

#endif
