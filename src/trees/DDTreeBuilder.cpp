#include "trees/DDTreeBuilder.h"

#include <vector>

#include "core/DDBitList.h"
#include "trees/DDBitSelectStrategy.h"
#include "trees/DDIntermediateBitSetNode.h"
#include "trees/DDLeafNode.h"
#include "trees/DDPackedTreeBuilder.h"
#include "trees/DDPreliminaryCondition.h"
#include "trees/DDSingleBitSplitVisitor.h"
#include "trees/DDVantagePointPreliminaryCondition.h"
#include "trees/DDVantagePointVisitor.h"

namespace double_description {

void TreeDeleter::operator()(TreeNode* root) const {
  if (root != &LeafNode<PreliminaryCondition>::EMPTY_NODE)
    delete root;
}

namespace {

// Fewest queries of a narrowing tree of nodes for which its leaves copy
// their patterns.
constexpr std::size_t PACKED_QUERIES = 4;
// Fewest queries of a narrowing image for which it is built whole: for
// fewer, building only what they reach costs less than the split of nodes
// they never enter.
constexpr std::size_t WHOLE_IMAGE_QUERIES = 4;

std::uint16_t depthOf(TreeOptions const& options) {
  return static_cast<std::uint16_t>(options.mMaxTreeDepth);
}

// Only the low 16 bits reach the visitors.
std::uint16_t capacityOf(TreeOptions const& options) {
  return static_cast<std::uint16_t>(options.mLeafCapacity);
}

std::unique_ptr<BitSplitVisitor> singleBitVisitor(TreeOptions const& options,
                                                  BitSelectStrategy const& strategy) {
  return std::make_unique<SingleBitSplitVisitor>(depthOf(options), capacityOf(options), strategy);
}

// Dropping references equal to a vantage point is sound in verification
// trees only (see BinaryDynamicVantagePointVisitor).
std::unique_ptr<BitSplitVisitor> vantagePointVisitor(TreeOptions const& options,
                                                     TreeContext const& context,
                                                     RayReferenceContainer const& set,
                                                     bool isStatic, bool verificationTree) {
  auto dynamic = std::make_unique<BinaryDynamicVantagePointVisitor>(
      depthOf(options), capacityOf(options), options.mUniqueVantagePoint, verificationTree);
  if (!isStatic || set.minCardinality() == set.maxCardinality())
    return dynamic;
  const std::vector<BitList> points(3, BitList(context.mWordCount, ~0ul));
  auto visitor = std::make_unique<BinaryStaticVantagePointVisitor>(depthOf(options),
                                                                   capacityOf(options), points);
  visitor->setSuccessor(std::move(dynamic));
  return visitor;
}

template <class C>
TreePointer buildTree(RayReferenceContainer const& set, BitSplitVisitor& visitor,
                      C const& rootCondition, bool packLeaves) {
  auto* root = new IntermediateBitSetNode<C>(set.unionBits(), rootCondition, visitor.mBucketCount);
  TreePointer tree(root);
  root->partition(set, visitor, packLeaves);
  return tree;
}

TreePointer buildTree(TreeContext const& context, RayReferenceContainer const& set,
                      BitSplitVisitor& visitor, bool packLeaves = true) {
  if (visitor.supportsExtendedCondition())
    return buildTree(set, visitor,
                     VantagePointPreliminaryCondition(set.unionBits(), context.mThreshold,
                                                      BitList(context.mWordCount)),
                     packLeaves);
  return buildTree(set, visitor, PreliminaryCondition(set.unionBits(), context.mThreshold),
                   packLeaves);
}

// The sets a strategy reads. Narrowing trees: the most common bits are those
// of the queries, the neutralized ones those of the set against the queries.
// The verification tree: its set for both, the positive degenerate against
// the negative rays for the neutralization.
struct StrategySets {
  RayReferenceContainer const& set;
  RayReferenceContainer const& common;
  RayReferenceContainer const* posDegenerate; // null for narrowing trees
  RayReferenceContainer const& negative;
};

std::unique_ptr<BitSplitVisitor> splitVisitor(TreeOptions const& options,
                                              TreeContext const& context, StrategySets const& s) {
  const unsigned N = context.mStep;
  const bool verification = s.posDegenerate != nullptr;
  switch (options.mStrategy) {
  case BPT_FIRST_AVAILABLE_BIT:
  case BPT_CLOSEST_TO_50_BIT_FIRST:
    break;
  case BPT_MOST_COMMON_BIT_FIRST:
    return singleBitVisitor(options, MostCommonBitFirstStrategy(s.common, N));
  case BPT_LEAST_COMMON_BIT_FIRST:
    return singleBitVisitor(options, LeastCommonBitFirstStrategy(s.set, N));
  case BPT_MOST_AVERAGE_BIT_FIRST:
    return singleBitVisitor(options, MostAverageBitFirstStrategy(s.set, N));
  case BPT_QUERY_BITS_NEUTRALIZATION:
    if (verification)
      return singleBitVisitor(options,
                              VerQueryBitsNeutralizationStrategy(*s.posDegenerate, s.negative, N));
    return singleBitVisitor(options, NarrowQueryBitsNeutralizationStrategy(s.set, s.negative, N));
  case BPT_LEAST_AVERAGE_BIT_FIRST:
    return singleBitVisitor(options, LeastAverageBitFirstStrategy(s.set, N));
  case BINARY_DYNAMIC_VANTAGE_POINT:
    return vantagePointVisitor(options, context, s.set, false, verification);
  case BINARY_STATIC_VANTAGE_POINT:
    return vantagePointVisitor(options, context, s.set, true, verification);
  }
  return singleBitVisitor(options, FirstAvailableBitStrategy(N));
}

} // namespace

std::unique_ptr<BitSplitVisitor> createBitSplitVisitor(TreeOptions const& options,
                                                       TreeContext const& context,
                                                       RayReferenceContainer const& set,
                                                       RayReferenceContainer const& query) {
  return splitVisitor(options, context, {set, query, nullptr, query});
}

std::unique_ptr<BitSplitVisitor> createBitSplitVisitor(TreeOptions const& options,
                                                       TreeContext const& context,
                                                       RayReferenceContainer const& verification,
                                                       RayReferenceContainer const& posDegenerate,
                                                       RayReferenceContainer const& negative) {
  return splitVisitor(options, context, {verification, verification, &posDegenerate, negative});
}

namespace {

// Node trees searched by only a query or two read the patterns through the
// references: the copies would cost more than they save.
bool copiesPatterns(RayReferenceContainer const& query) { return query.size() >= PACKED_QUERIES; }

bool vantagePoint(TreeOptions const& options) {
  return options.mStrategy == BINARY_DYNAMIC_VANTAGE_POINT ||
         options.mStrategy == BINARY_STATIC_VANTAGE_POINT;
}

// The full setting decides here, before the visitors truncate it.
bool fitsOneLeaf(TreeOptions const& options, RayReferenceContainer const& set) {
  return options.mLeafCapacity >= set.size();
}

PackedTreeBuilder imageBuilder(TreeContext const& context, RayReferenceContainer const& set,
                               bool verification) {
  return PackedTreeBuilder(context.mThreshold,
                           set.empty() ? context.mWordCount : set.unionBits().wordCount(),
                           context.mStep, verification, context.mWorkers);
}

} // namespace

TreePointer createNarrowingNodes(TreeOptions const& options, TreeContext const& context,
                                 RayReferenceContainer const& set,
                                 RayReferenceContainer const& query) {
  TreePointer tree;
  if (fitsOneLeaf(options, set))
    tree.reset(new LeafNode<PreliminaryCondition>(
        set, PreliminaryCondition(set.unionBits(), context.mThreshold), copiesPatterns(query)));
  else
    tree = buildTree(context, set, *createBitSplitVisitor(options, context, set, query),
                     copiesPatterns(query));
  // Narrowing trees drop no reference, whatever the settings.
  DD_ASSERT(tree->getRaysCount() == set.size());
  return tree;
}

TreePointer createVerNodes(TreeOptions const& options, TreeContext const& context,
                           RayReferenceContainer const& verification,
                           RayReferenceContainer const& posDegenerate,
                           RayReferenceContainer const& negative) {
  if (verification.empty())
    return TreePointer(&LeafNode<PreliminaryCondition>::EMPTY_NODE);
  return buildTree(context, verification,
                   *createBitSplitVisitor(options, context, verification, posDegenerate, negative));
}

SearchTree createNarrowingTree(TreeOptions const& options, TreeContext const& context,
                               RayReferenceContainer const& set,
                               RayReferenceContainer const& query) {
  // One leaf is a plain leaf whatever the strategy.
  if (fitsOneLeaf(options, set))
    return SearchTree(imageBuilder(context, set, false).leaf(set));
  if (vantagePoint(options))
    return SearchTree(createNarrowingNodes(options, context, set, query));
  return SearchTree(imageBuilder(context, set, false)
                        .split(set, *createBitSplitVisitor(options, context, set, query),
                               query.size() < WHOLE_IMAGE_QUERIES ? &query : nullptr));
}

SearchTree createVerTree(TreeOptions const& options, TreeContext const& context,
                         RayReferenceContainer const& verification,
                         RayReferenceContainer const& posDegenerate,
                         RayReferenceContainer const& negative) {
  // The empty leaf's image counts its visit and holds nothing, as the shared
  // empty leaf does.
  if (verification.empty())
    return SearchTree(imageBuilder(context, verification, true).leaf(verification));
  if (vantagePoint(options))
    return SearchTree(createVerNodes(options, context, verification, posDegenerate, negative));
  return SearchTree(imageBuilder(context, verification, true)
                        .split(verification, *createBitSplitVisitor(options, context, verification,
                                                                    posDegenerate, negative)));
}

} // namespace double_description
