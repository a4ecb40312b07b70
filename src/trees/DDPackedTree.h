#ifndef DD_PACKEDTREE_H
#define DD_PACKEDTREE_H

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "core/DDBitList.h"
#include "core/DDRayReference.h"
#include "trees/DDFaceBatch.h"
#include "trees/DDPackedScan.h"
#include "trees/DDPreliminaryCondition.h"
#include "trees/DDVerificationCondition.h"

namespace double_description {

// A plain tree laid out for its searches: the nodes in the order the
// searches visit them in one block, the leaves' patterns in another
// (packed_scan::Image), built straight from the split by PackedTreeBuilder.
// The searches read memory in order instead of chasing a pointer per node,
// and test the patterns of a leaf eight at a time where the processor can.
// The image holds the one copy of the pattern words its scans read, and the
// stored references by pattern index.
class PackedTree {
public:
  // The least pattern count of a leaf with slices: below it, testing the
  // patterns eight at a time is as quick. Verification images slice their
  // large leaves, and narrowing images that have no row index and are
  // searched whole.
  static constexpr std::uint32_t SLICE_MIN = 512;
  // Narrowing images of at least INDEX_MIN patterns with at most one bit in
  // INDEX_SPARSITY on average get a row index: below, or denser, the leaf
  // scans are as quick.
  static constexpr std::uint32_t INDEX_MIN = 256;
  static constexpr std::uint32_t INDEX_SPARSITY = 32;

  // The narrowing search: found(stored reference) for every stored
  // reference sharing at least the threshold of bits with the query, in
  // candidate order.
  template <class F> void searchPartners(RayReference const& query, F&& found) const;
  // The same search, with found(stored reference, its pattern, the pattern
  // AND the query's).
  template <class F> void searchFaces(RayReference const& query, F&& found) const;

  // The verification search: does a stored pattern other than the pair's own
  // two contain the face?
  bool verificationTraverse(ExtVerificationCondition const& question) const;
  // The same for every face of a batch of one query's pairs, whose pattern is
  // second: bit j tells whether face j has such a pattern.
  std::uint64_t verifyFaces(FaceBatch const& batch, BitList const& second) const;

  std::uint64_t wordCount() const { return mWordCount; }
  std::uint64_t rayCount() const { return mReferences.size(); }
  // Whether narrowing takes the partners from a row index.
  bool rowIndexed() const { return !mRows.rowStarts.empty(); }
  // Whether leaves of SLICE_MIN patterns or more have slices.
  bool sliced() const { return mSliceMin != 0; }

  // Whether the image is laid out as packed_scan::Image says, every mask
  // holds the patterns below it and no pattern has a bit at or after
  // bitCount; for the builder's assertions.
  bool wellFormed(std::uint64_t bitCount) const;
  // Whether other is this image word for word, with the same references.
  bool sameImageAs(PackedTree const& other) const;

  // For tests: searches with the AVX-512 scans where wanted and the
  // processor runs them, with the plain ones otherwise; returns which.
  static bool useVectorScans(bool wanted);

private:
  friend class PackedTreeBuilder;
  PackedTree(std::uint64_t words, std::uint32_t threshold, std::uint32_t sliceMin)
      : mWordCount(words), mThreshold(threshold), mSliceMin(sliceMin) {}
  // The image without the leaves' patterns, which leafPatterns() gives.
  packed_scan::Image image() const {
    return {mNodes.data(),
            mNodes.size(),
            nullptr,
            mSliceMin != 0 ? mSlices.data() + mSliceShift : nullptr,
            static_cast<std::uint32_t>(mWordCount),
            mThreshold,
            mRows.rowStarts.empty() ? nullptr : &mRows};
  }
  // The leaves' patterns, written by the first search that reads them: a
  // narrowing image with a row index mostly takes its partners from there
  // and may never read them. Any thread may call it; once they are written
  // it costs a load, as every verification search calls it.
  std::uint64_t const* leafPatterns() const {
    std::uint64_t const* written = mWrittenPatterns.load(std::memory_order_acquire);
    return written != nullptr ? written : writeLeafPatterns();
  }
  std::uint64_t const* writeLeafPatterns() const;
  // The partners of the query, as pattern indices in candidate order.
  std::uint32_t partners(RayReference const& query, std::vector<std::uint32_t>& hits) const;

  std::uint64_t mWordCount;
  std::uint32_t mThreshold;
  std::uint32_t mSliceMin;
  std::vector<std::uint64_t> mNodes;
  mutable std::mutex mPatternsWriting;
  mutable std::vector<std::uint64_t> mLeafPatterns;
  // Set once the patterns are written; never null then.
  mutable std::atomic<std::uint64_t const*> mWrittenPatterns{nullptr};
  // The slices start mSliceShift words in, at 64 bytes.
  std::vector<std::uint64_t> mSlices;
  std::uint64_t mSliceShift = 0;
  // By pattern index.
  std::vector<RayReference> mReferences;
  // Empty unless the patterns are sparse.
  packed_scan::RowIndex mRows;
};

template <class F> void PackedTree::searchPartners(RayReference const& query, F&& found) const {
  thread_local std::vector<std::uint32_t> hits;
  const std::uint32_t n = partners(query, hits);
  for (std::uint32_t i = 0; i < n; ++i)
    found(mReferences[hits[i]]);
}

template <class F> void PackedTree::searchFaces(RayReference const& query, F&& found) const {
  thread_local std::vector<std::uint32_t> hits;
  const std::uint32_t n = partners(query, hits);
  const std::uint64_t w = mWordCount;
  BitList face(w);
  const std::uint64_t* q = query.bits().words();
  // The patterns are read through the references, where the step keeps
  // them: each is fetched while the partner before it is handled, and its
  // list two partners ahead.
  for (std::uint32_t i = 0; i < n && i < 2; ++i)
    __builtin_prefetch(mReferences[hits[i]].mPattern);
  for (std::uint32_t i = 0; i < n; ++i) {
    if (i + 1 < n)
      __builtin_prefetch(mReferences[hits[i + 1]].bits().words());
    if (i + 2 < n)
      __builtin_prefetch(mReferences[hits[i + 2]].mPattern);
    RayReference const& stored = mReferences[hits[i]];
    const std::uint64_t* p = stored.bits().words();
    for (std::uint64_t x = 0; x < w; ++x)
      face.words()[x] = p[x] & q[x];
    found(stored, stored.bits(), static_cast<BitList const&>(face));
  }
}

} // namespace double_description

#endif
