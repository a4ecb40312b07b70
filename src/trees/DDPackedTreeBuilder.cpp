#include "trees/DDPackedTreeBuilder.h"

#include <algorithm>
#include <utility>

#include "core/DDAssert.h"
#include "core/DDBitOps.h"
#include "trees/DDPackedScan.h"
#include "trees/DDSplitDecision.h"

namespace double_description {

// One node being split: its buckets and their decisions, the children built
// so far.
struct PackedTreeBuilder::Frame {
  std::vector<RayReferenceContainer> mBuckets;
  std::vector<SplitDecision> mDecisions;
  BitSplitVisitor* mVisitor;
  std::uint32_t mNode;
  std::uint32_t mNext;
};

std::uint32_t PackedTreeBuilder::addNode(BitList const& mask, std::uint32_t childCount) {
  // The union of an empty bucket may have fewer words, all zero.
  DD_ASSERT(mask.wordCount() == mWordCount || mask.none());
  const auto index = static_cast<std::uint32_t>(mNodes.size());
  mNodes.push_back({mChildIndices.size(), childCount, NO_LEAF});
  mChildIndices.resize(mChildIndices.size() + childCount);
  const std::uint64_t at = mMasks.size();
  mMasks.resize(at + mWordCount);
  std::copy_n(mask.words(), std::min(mask.wordCount(), mWordCount), mMasks.begin() + at);
  return index;
}

std::uint32_t PackedTreeBuilder::addLeaf(RayReferenceContainer&& bucket) {
  const std::uint32_t index = addNode(bucket.unionBits(), 0);
  mNodes[index].mLeaf = static_cast<std::uint32_t>(mLeaves.size());
  mLeaves.push_back(std::move(bucket));
  return index;
}

std::uint32_t PackedTreeBuilder::addStub(BitList const& mask) {
  const std::uint32_t index = addNode(mask, 0);
  mNodes[index].mLeaf = static_cast<std::uint32_t>(mLeaves.size());
  mLeaves.emplace_back();
  return index;
}

bool PackedTreeBuilder::reached(BitList const& mask) const {
  if (mQueries == nullptr)
    return true;
  for (RayReference const& query : mQueries->references())
    if (mask.countAnd(query.bits()) >= mThreshold)
      return true;
  return false;
}

PackedTreeBuilder::Frame PackedTreeBuilder::open(RayReferenceContainer const& set,
                                                 RayReferenceContainer* owned,
                                                 BitSplitVisitor& visitor, std::uint32_t node) {
  const std::uint32_t k = mNodes[node].mChildCount;
  DD_ASSERT(k >= 2);
  Frame frame{std::vector<RayReferenceContainer>(k), std::vector<SplitDecision>(k), &visitor, node,
              0};
  // Room for the whole set in every bucket, so filing never reallocates;
  // filing in place hands one bucket the set's own.
  if (owned == nullptr)
    for (RayReferenceContainer& bucket : frame.mBuckets)
      bucket.reserve(set.size());
  visitor.mBuckets = frame.mBuckets.data();
  visitor.before(set);
  const std::size_t size = set.size();
  if (owned != nullptr)
    visitor.distributeOwned(*owned);
  else
    visitor.distribute(set);
#ifdef REDIVEZ_ASSERTIONS
  std::size_t distributed = 0;
  for (RayReferenceContainer const& bucket : frame.mBuckets)
    distributed += bucket.size();
  DD_ASSERT(distributed == size);
#endif
  static_cast<void>(size);
  // Along the split only the buckets still to be built stay alive.
  if (owned != nullptr)
    *owned = RayReferenceContainer();
  // A bucket the queries do not reach needs no decision: it becomes a stub.
  for (std::uint32_t i = 0; i < k; ++i) {
    frame.mBuckets[i].shrinkToFitWithin(2);
    if (reached(frame.mBuckets[i].unionBits()))
      frame.mDecisions[i] =
          splitDecision(visitor, static_cast<unsigned short>(i), frame.mBuckets[i]);
  }
  return frame;
}

// A subtree left to a thread: the child slot it fills, the children of
// its root, its set and a copy of the visitor that opens it.
struct PackedTreeBuilder::Subtree {
  std::uint64_t mSlot;
  std::uint32_t mChildCount;
  RayReferenceContainer mSet;
  std::unique_ptr<BitSplitVisitor> mVisitor;
};

std::unique_ptr<PackedTree> PackedTreeBuilder::split(RayReferenceContainer const& set,
                                                     BitSplitVisitor& visitor,
                                                     RayReferenceContainer const* queries) {
  mQueries = queries;
  if (!reached(set.unionBits())) {
    addStub(set.unionBits());
    return layOut(set.size());
  }
  const SharingPolicy policy(mWorkers);
  // Every level files each reference and reads its pattern's words; the
  // image for a few queries opens little beyond the top.
  std::uint64_t depth = 1;
  while ((std::uint64_t(1) << depth) < set.size())
    ++depth;
  const std::uint64_t work = queries != nullptr ? set.size() : set.size() * mWordCount * depth;
  const bool shared = policy.chunks(set.size() / SUBTREE_MIN, work, 4) > 1;
  // The visitors of this build may file a large set on the threads; their
  // copies that build the subtrees run on one thread each.
  for (BitSplitVisitor* v = &visitor; v != nullptr; v = v->successor())
    v->mWorkers = mWorkers;
  std::vector<Subtree> subtrees;
  std::vector<Frame> stack;
  stack.push_back(open(set, nullptr, visitor, addNode(set.unionBits(), visitor.mBucketCount)));
  // Enough subtrees for the threads to even out uneven ones.
  const std::size_t cutoff =
      shared ? std::max(SUBTREE_MIN, set.size() / (4 * policy.threads())) : 0;
  grow(stack, shared ? &subtrees : nullptr, cutoff);
  growShared(subtrees);
  return layOut(set.size());
}

void PackedTreeBuilder::grow(std::vector<Frame>& stack, std::vector<Subtree>* subtrees,
                             std::size_t cutoff) {
  while (!stack.empty()) {
    Frame& frame = stack.back();
    if (frame.mNext == frame.mBuckets.size()) {
      frame.mVisitor->after();
      stack.pop_back();
      continue;
    }
    const std::uint32_t i = frame.mNext++;
    RayReferenceContainer& bucket = frame.mBuckets[i];
    const std::uint64_t slot = mNodes[frame.mNode].mChildren + i;
    // Skipping a subtree leaves the visitor as building it would: every
    // level it opens it closes again.
    if (!reached(bucket.unionBits())) {
      mChildIndices[slot] = addStub(bucket.unionBits());
      bucket = RayReferenceContainer();
      continue;
    }
    if (frame.mDecisions[i] == SplitDecision::LEAF) {
      mChildIndices[slot] = addLeaf(std::move(bucket));
      bucket = RayReferenceContainer();
      continue;
    }
    BitSplitVisitor* next = frame.mDecisions[i] == SplitDecision::SUCCESSOR
                                ? frame.mVisitor->successorFor(bucket)
                                : frame.mVisitor;
    // A node has as many children as its parent's visitor has buckets.
    const std::uint32_t children = frame.mVisitor->mBucketCount;
    // The levels above are open as they would be for this subtree, and
    // those of its siblings closed: the copy opens it as next would.
    if (subtrees != nullptr && bucket.size() <= cutoff) {
      if (std::unique_ptr<BitSplitVisitor> copy = next->copyChain()) {
        subtrees->push_back({slot, children, std::move(bucket), std::move(copy)});
        bucket = RayReferenceContainer();
        continue;
      }
    }
    const std::uint32_t child = addNode(bucket.unionBits(), children);
    mChildIndices[slot] = child;
    Frame opened = open(bucket, &bucket, *next, child);
    stack.push_back(std::move(opened));
  }
}

void PackedTreeBuilder::growShared(std::vector<Subtree>& subtrees) {
  std::vector<PackedTreeBuilder> parts(
      subtrees.size(), PackedTreeBuilder(mThreshold, mWordCount, mBitCount, mSliced));
  // The largest first, so that the last to finish are small.
  std::vector<std::size_t> order(subtrees.size());
  for (std::size_t i = 0; i < order.size(); ++i)
    order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return subtrees[a].mSet.size() > subtrees[b].mSet.size();
  });
  // One subtree a chunk, taken as threads become free.
  const std::size_t n = order.size();
  SharingPolicy(mWorkers).run(n, n, [&](std::size_t begin, std::size_t end, unsigned) {
    for (std::size_t k = begin; k < end; ++k) {
      Subtree& subtree = subtrees[order[k]];
      PackedTreeBuilder& part = parts[order[k]];
      part.mQueries = mQueries;
      std::vector<Frame> stack;
      const std::uint32_t root = part.addNode(subtree.mSet.unionBits(), subtree.mChildCount);
      stack.push_back(part.open(subtree.mSet, &subtree.mSet, *subtree.mVisitor, root));
      part.grow(stack, nullptr, 0);
    }
  });
  for (std::size_t i = 0; i < subtrees.size(); ++i)
    adopt(parts[i], subtrees[i].mSlot);
}

void PackedTreeBuilder::adopt(PackedTreeBuilder& part, std::uint64_t slot) {
  const auto nodeBase = static_cast<std::uint32_t>(mNodes.size());
  const std::uint64_t childBase = mChildIndices.size();
  const auto leafBase = static_cast<std::uint32_t>(mLeaves.size());
  for (Node node : part.mNodes) {
    node.mChildren += childBase;
    if (node.mLeaf != NO_LEAF)
      node.mLeaf += leafBase;
    mNodes.push_back(node);
  }
  for (std::uint32_t child : part.mChildIndices)
    mChildIndices.push_back(child + nodeBase);
  mMasks.insert(mMasks.end(), part.mMasks.begin(), part.mMasks.end());
  for (RayReferenceContainer& leaf : part.mLeaves)
    mLeaves.push_back(std::move(leaf));
  mChildIndices[slot] = nodeBase;
  part = PackedTreeBuilder(mThreshold, mWordCount, mBitCount, mSliced);
}

std::unique_ptr<PackedTree> PackedTreeBuilder::leaf(RayReferenceContainer const& set) {
  addLeaf(RayReferenceContainer(set));
  return layOut(set.size());
}

bool PackedTreeBuilder::sparse() const {
  // A reference knows its pattern's bit count: no pattern is read here.
  std::uint64_t count = 0;
  std::uint64_t bits = 0;
  for (RayReferenceContainer const& leaf : mLeaves) {
    count += leaf.size();
    for (RayReference const& r : leaf.references())
      bits += r.mCardinality;
  }
  return count >= PackedTree::INDEX_MIN &&
         bits * PackedTree::INDEX_SPARSITY <= count * 64 * mWordCount;
}

std::unique_ptr<PackedTree> PackedTreeBuilder::layOut(std::uint64_t rays) {
  // Narrowing images of sparse patterns get a row index. The others give
  // their large leaves slices, as verification images do, where every query
  // may search them.
  const bool indexed = !mSliced && sparse();
  const bool sliced =
      mSliced || (!indexed && mQueries == nullptr &&
                  std::any_of(mLeaves.begin(), mLeaves.end(), [](RayReferenceContainer const& l) {
                    return l.size() >= PackedTree::SLICE_MIN;
                  }));
  std::unique_ptr<PackedTree> tree(
      new PackedTree(mWordCount, mThreshold, sliced ? PackedTree::SLICE_MIN : 0));
  const std::uint64_t w = mWordCount;
  const std::uint64_t nodeWords = packed_scan::HEADER + w;
  // Image words of each subtree: children come after their parents.
  std::vector<std::uint64_t> sizes(mNodes.size());
  for (std::size_t n = mNodes.size(); n-- > 0;) {
    Node const& node = mNodes[n];
    std::uint64_t size = nodeWords + (node.mLeaf != NO_LEAF && sliced ? 1 : 0);
    for (std::uint32_t c = 0; c < node.mChildCount; ++c)
      size += sizes[mChildIndices[node.mChildren + c]];
    sizes[n] = size;
  }
  tree->mNodes.reserve(sizes[0]);
  tree->mReferences.reserve(rays);

  // Preorder, the children from the last to the first, as the searches go.
  std::vector<std::uint32_t> stack{0};
  while (!stack.empty()) {
    const std::uint32_t n = stack.back();
    stack.pop_back();
    Node const& node = mNodes[n];
    const std::uint64_t at = tree->mNodes.size();
    tree->mNodes.resize(at + nodeWords);
    std::copy_n(mMasks.begin() + n * w, w, tree->mNodes.begin() + at + packed_scan::HEADER);
    tree->mNodes[at] = at + sizes[n];
    if (node.mLeaf == NO_LEAF) {
      tree->mNodes[at + 1] = std::uint64_t(packed_scan::NOT_A_LEAF) << 32;
      for (std::uint32_t c = 0; c < node.mChildCount; ++c)
        stack.push_back(mChildIndices[node.mChildren + c]);
      continue;
    }
    RayReferenceContainer& leaf = mLeaves[node.mLeaf];
    const std::uint64_t count = leaf.size();
    const std::uint64_t first = tree->mReferences.size();
    tree->mNodes[at + 1] = first | count << 32;
    tree->mReferences.insert(tree->mReferences.end(), leaf.references().begin(),
                             leaf.references().end());
    leaf = RayReferenceContainer();
    if (sliced)
      tree->mNodes.push_back(packed_scan::NO_SLICES);
  }
  if (sliced) {
    // The slices are made from the patterns, which sliced images need anyway.
    std::uint64_t const* patterns = tree->leafPatterns();
    std::vector<std::uint64_t> slices;
    for (std::uint64_t i = 0; i < tree->mNodes.size();) {
      std::uint64_t* node = &tree->mNodes[i];
      const auto count = static_cast<std::uint32_t>(node[1] >> 32);
      if (count == packed_scan::NOT_A_LEAF) {
        i += nodeWords;
        continue;
      }
      if (count >= PackedTree::SLICE_MIN)
        node[nodeWords] =
            packed_scan::appendSlices(slices, patterns + w * static_cast<std::uint32_t>(node[1]),
                                      count, static_cast<std::uint32_t>(w));
      i = node[0];
    }
    // Aligned to 64 bytes, every slice word of a chunk is one cache line.
    tree->mSlices.resize(slices.size() + packed_scan::SLICE_CHUNK - 1);
    const auto address = reinterpret_cast<std::uintptr_t>(tree->mSlices.data());
    tree->mSliceShift = (64 - address % 64) % 64 / sizeof(std::uint64_t);
    std::copy(slices.begin(), slices.end(), tree->mSlices.begin() + tree->mSliceShift);
  }
  if (indexed)
    indexRows(*tree);
  DD_ASSERT(mQueries != nullptr ? tree->rayCount() <= rays : tree->rayCount() == rays);
  DD_ASSERT(tree->wellFormed(mBitCount));
  return tree;
}

void PackedTreeBuilder::indexRows(PackedTree& tree) const {
  const std::vector<RayReference>& stored = tree.mReferences;
  const std::uint64_t count = stored.size();
  const auto wordsOf = [](RayReference const& r) { return r.bits().words(); };
  std::uint64_t bits = 0;
  for (RayReference const& r : stored)
    bits += r.mCardinality;
  packed_scan::RowIndex& index = tree.mRows;
  index.rowStarts.assign(64 * mWordCount + 1, 0);
  index.patternStarts.reserve(count + 1);
  index.byPattern.reserve(bits);
  for (RayReference const& r : stored) {
    index.patternStarts.push_back(static_cast<std::uint32_t>(index.byPattern.size()));
    for (std::uint64_t x = r.mFirstWord; x < r.mEndWord; ++x)
      forEachSetBitOf(wordsOf(r)[x], 64 * x, [&](std::uint64_t c) {
        index.byPattern.push_back(static_cast<std::uint32_t>(c));
        ++index.rowStarts[c + 1];
      });
  }
  index.patternStarts.push_back(static_cast<std::uint32_t>(bits));
  for (std::uint64_t c = 0; c < 64 * mWordCount; ++c)
    index.rowStarts[c + 1] += index.rowStarts[c];
  // Patterns in increasing index order make every row's list increasing.
  std::vector<std::uint32_t> next(index.rowStarts.begin(), index.rowStarts.end() - 1);
  index.byRow.resize(bits);
  for (std::uint32_t k = 0; k < count; ++k)
    for (std::uint32_t e = index.patternStarts[k]; e < index.patternStarts[k + 1]; ++e)
      index.byRow[next[index.byPattern[e]]++] = k;
}

} // namespace double_description
