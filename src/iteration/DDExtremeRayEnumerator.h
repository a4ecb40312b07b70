#ifndef DD_EXTREMERAYENUMERATOR_H
#define DD_EXTREMERAYENUMERATOR_H

#include "core/DDBitList.h"
#include "core/DDMatrix.h"
#include "core/DDRayReferenceContainer.h"
#include "iteration/DDBitPatternTreeCacheEntry.h"
#include "iteration/DDDegeneracyCalcVisitor.h"
#include "iteration/DDRayCache.h"
#include "iteration/DDStepStatistics.h"
#include "settings/DDOptions.h"
#include "trees/DDBitSelectStrategy.h"
#include "trees/DDBitSplitVisitor.h"
#include "trees/DDIntermediateBitSetNode.h"
#include "trees/DDLeafNode.h"
#include "trees/DDPreliminaryCondition.h"
#include "trees/DDSingleBitSplitVisitor.h"
#include "trees/DDTreeNode.h"
#include "trees/DDVantagePointPreliminaryCondition.h"
#include "trees/DDVantagePointVisitor.h"
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

  ExtremeRayEnumerator(Matrix const& working, unsigned short step, Entry const& entry,
                       Cache& cache)
      : mWorkingMatrix(&working),
        mThreshold(static_cast<std::uint16_t>(working.getColumns() - 2)), mStep(step),
        mWordCount(static_cast<std::uint16_t>((working.getRowCount() + 63u) / 64u)),
        mPosNondegenerate(&entry.mPosNondegenerate), mPosDegenerate(&entry.mPosDegenerate),
        mNegative(&entry.mNegative), mVerification(&entry.mVerification), mRayCache(&cache) {}

  ExtremeRayEnumerator(ExtremeRayEnumerator const&) = delete;
  ExtremeRayEnumerator& operator=(ExtremeRayEnumerator const&) = delete;

  // Each queries tree with every negative ray, files the new rays and returns
  // how many it created.
  virtual std::uint64_t enumerate_pos_deg(TreeNode const* tree) = 0;
  virtual std::uint64_t enumerate_pos_nondeg(TreeNode const* tree) = 0;

  StepStatistics enumerate();

  TreeNode* createNarrowingTree(RayReferenceContainer const& set,
                                RayReferenceContainer const& query, TreeOptions const& options);
  BitSplitVisitor* createBitSplitVisitor(TreeOptions const& options,
                                         RayReferenceContainer const& set,
                                         RayReferenceContainer const& query) const;
  BitSplitVisitor* createBitSplitVisitor(TreeOptions const& options,
                                         RayReferenceContainer const& verification,
                                         RayReferenceContainer const& posDegenerate,
                                         RayReferenceContainer const& negative) const;
  // The shared empty leaf for an empty verification set; it must not be
  // deleted (see isSharedEmptyTree).
  TreeNode* createVerTree() const;

  static bool isSharedEmptyTree(TreeNode const* tree);

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

private:
  BitSplitVisitor* createSingleBitSplitVisitor(TreeOptions const& options,
                                               BitSelectStrategy* strategy) const;
  BitSplitVisitor* createVantagePointVisitor(TreeOptions const& options,
                                             RayReferenceContainer const& set, bool isStatic,
                                             bool verificationTree) const;
  TreeNode* buildTree(RayReferenceContainer const& set, BitSplitVisitor* visitor) const;
};

template <class R> StepStatistics ExtremeRayEnumerator<R>::enumerate() {
  StepStatistics s;
  const std::uint64_t posDeg = mPosDegenerate->size();
  const std::uint64_t P = posDeg + mPosNondegenerate->size();
  const std::uint64_t Q = mNegative->size();
  if (P == 0 || Q == 0)
    return s;

  Options const* options = Options::current();
  PreliminaryCondition::NARROWING_OPS = 0;
  PreliminaryCondition::VERIFICATION_OPS = 0;
  VerificationCondition::OPS = 0;
  VerificationCondition::CANDIDATES = 0;

  if (posDeg != 0) {
    TreeNode* tree = createNarrowingTree(*mPosDegenerate, *mNegative, options->mDegenerateTree);
    s.mAccepted = enumerate_pos_deg(tree);
    delete tree;
  }
  if (mPosNondegenerate->size() != 0) {
    TreeNode* tree =
        createNarrowingTree(*mPosNondegenerate, *mNegative, options->mNondegenerateTree);
    enumerate_pos_nondeg(tree);
    delete tree;
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

template <class R>
TreeNode* ExtremeRayEnumerator<R>::createNarrowingTree(RayReferenceContainer const& set,
                                                       RayReferenceContainer const& query,
                                                       TreeOptions const& options) {
  if (options.mLeafCapacity >= set.size())
    return new LeafNode<PreliminaryCondition>(set, PreliminaryCondition(set.mUnion, mThreshold));
  return buildTree(set, createBitSplitVisitor(options, set, query));
}

template <class R>
TreeNode* ExtremeRayEnumerator<R>::buildTree(RayReferenceContainer const& set,
                                             BitSplitVisitor* visitor) const {
  TreeNode* root;
  if (visitor->supportsExtendedCondition()) {
    auto* node = new IntermediateBitSetNode<VantagePointPreliminaryCondition>(
        set.mUnion, VantagePointPreliminaryCondition(set.mUnion, mThreshold, BitList(mWordCount)),
        visitor->mBucketCount);
    node->partition(set, *visitor);
    root = node;
  } else {
    auto* node = new IntermediateBitSetNode<PreliminaryCondition>(
        set.mUnion, PreliminaryCondition(set.mUnion, mThreshold), visitor->mBucketCount);
    node->partition(set, *visitor);
    root = node;
  }
  delete visitor;
  return root;
}

template <class R> TreeNode* ExtremeRayEnumerator<R>::createVerTree() const {
  Options const* options = Options::current();
  if (mVerification->size() == 0)
    return &LeafNode<PreliminaryCondition>::EMPTY_NODE;
  return buildTree(*mVerification, createBitSplitVisitor(options->mVerificationTree,
                                                         *mVerification, *mPosDegenerate,
                                                         *mNegative));
}

template <class R> bool ExtremeRayEnumerator<R>::isSharedEmptyTree(TreeNode const* tree) {
  return tree == &LeafNode<PreliminaryCondition>::EMPTY_NODE;
}

template <class R>
BitSplitVisitor* ExtremeRayEnumerator<R>::createSingleBitSplitVisitor(
    TreeOptions const& options, BitSelectStrategy* strategy) const {
  auto* visitor = new SingleBitSplitVisitor(static_cast<std::uint16_t>(options.mMaxTreeDepth),
                                            static_cast<std::uint16_t>(options.mLeafCapacity),
                                            *strategy);
  delete strategy;
  return visitor;
}

template <class R>
BitSplitVisitor* ExtremeRayEnumerator<R>::createVantagePointVisitor(
    TreeOptions const& options, RayReferenceContainer const& set, bool isStatic,
    bool verificationTree) const {
  const auto depth = static_cast<std::uint16_t>(options.mMaxTreeDepth);
  const auto capacity = static_cast<std::uint16_t>(options.mLeafCapacity);
  if (!isStatic || set.mMinCardinality == set.mMaxCardinality)
    return new BinaryDynamicVantagePointVisitor(depth, capacity, options.mUniqueVantagePoint,
                                                verificationTree);
  const std::vector<BitList> points(3, BitList(mWordCount, ~0ul));
  auto* visitor = new BinaryStaticVantagePointVisitor(depth, capacity, points);
  visitor->mSuccessor = new BinaryDynamicVantagePointVisitor(
      depth, capacity, options.mUniqueVantagePoint, verificationTree);
  return visitor;
}

template <class R>
BitSplitVisitor* ExtremeRayEnumerator<R>::createBitSplitVisitor(
    TreeOptions const& options, RayReferenceContainer const& set,
    RayReferenceContainer const& query) const {
  const unsigned N = mStep;
  switch (options.mStrategy) {
  case BPT_MOST_COMMON_BIT_FIRST:
    return createSingleBitSplitVisitor(options, new MostCommonBitFirstStrategy(query, N));
  case BPT_LEAST_COMMON_BIT_FIRST:
    return createSingleBitSplitVisitor(options, new LeastCommonBitFirstStrategy(set, N));
  case BPT_MOST_AVERAGE_BIT_FIRST:
    return createSingleBitSplitVisitor(options, new MostAverageBitFirstStrategy(set, N));
  case BPT_QUERY_BITS_NEUTRALIZATION:
    return createSingleBitSplitVisitor(options,
                                       new NarrowQueryBitsNeutralizationStrategy(set, query, N));
  case BPT_LEAST_AVERAGE_BIT_FIRST:
    return createSingleBitSplitVisitor(options, new LeastAverageBitFirstStrategy(set, N));
  case BINARY_DYNAMIC_VANTAGE_POINT:
    return createVantagePointVisitor(options, set, false, false);
  case BINARY_STATIC_VANTAGE_POINT:
    return createVantagePointVisitor(options, set, true, false);
  default: // first available bit, also for the closest-to-50 strategy
    return createSingleBitSplitVisitor(options, new FirstAvailableBitStrategy(N));
  }
}

template <class R>
BitSplitVisitor* ExtremeRayEnumerator<R>::createBitSplitVisitor(
    TreeOptions const& options, RayReferenceContainer const& verification,
    RayReferenceContainer const& posDegenerate, RayReferenceContainer const& negative) const {
  const unsigned N = mStep;
  switch (options.mStrategy) {
  case BPT_MOST_COMMON_BIT_FIRST:
    return createSingleBitSplitVisitor(options, new MostCommonBitFirstStrategy(verification, N));
  case BPT_LEAST_COMMON_BIT_FIRST:
    return createSingleBitSplitVisitor(options, new LeastCommonBitFirstStrategy(verification, N));
  case BPT_MOST_AVERAGE_BIT_FIRST:
    return createSingleBitSplitVisitor(options, new MostAverageBitFirstStrategy(verification, N));
  case BPT_QUERY_BITS_NEUTRALIZATION:
    return createSingleBitSplitVisitor(
        options, new VerQueryBitsNeutralizationStrategy(posDegenerate, negative, N));
  case BPT_LEAST_AVERAGE_BIT_FIRST:
    return createSingleBitSplitVisitor(options, new LeastAverageBitFirstStrategy(verification, N));
  case BINARY_DYNAMIC_VANTAGE_POINT:
    return createVantagePointVisitor(options, verification, false, true);
  case BINARY_STATIC_VANTAGE_POINT:
    return createVantagePointVisitor(options, verification, true, true);
  default:
    return createSingleBitSplitVisitor(options, new FirstAvailableBitStrategy(N));
  }
}

} // namespace double_description

#endif
