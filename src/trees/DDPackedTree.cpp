#include "trees/DDPackedTree.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "core/DDAssert.h"
#include "core/DDBitOps.h"

namespace double_description {

namespace {

// The searches for the processor the program runs on, chosen once; tests
// switch to the plain ones to run both.
bool AVX512 = packed_scan::avx512Runs();

} // namespace

bool PackedTree::useVectorScans(bool wanted) {
  AVX512 = wanted && packed_scan::avx512Runs();
  return AVX512;
}

std::uint64_t const* PackedTree::writeLeafPatterns() const {
  // A step builds images by the thousand on small cones: a mutex costs less
  // than the first call of a once flag.
  std::lock_guard<std::mutex> writing(mPatternsWriting);
  if (std::uint64_t const* written = mWrittenPatterns.load(std::memory_order_relaxed))
    return written;
  const std::uint64_t w = mWordCount;
  mLeafPatterns.assign(mReferences.size() * w, 0);
  for (std::uint64_t i = 0; i < mNodes.size();) {
    std::uint64_t const* node = &mNodes[i];
    const auto n = static_cast<std::uint32_t>(node[1] >> 32);
    if (n == packed_scan::NOT_A_LEAF) {
      i += packed_scan::HEADER + w;
      continue;
    }
    const auto first = static_cast<std::uint32_t>(node[1]);
    std::uint64_t* block = mLeafPatterns.data() + w * first;
    for (std::uint32_t k = 0; k < n; ++k) {
      RayReference const& stored = mReferences[first + k];
      DD_ASSERT(stored.bits().wordCount() == w);
      // The block is zero: only the pattern's nonzero words are copied.
      for (std::uint64_t x = stored.mFirstWord; x < stored.mEndWord; ++x)
        block[x * n + k] = stored.bits().words()[x];
    }
    i = node[0];
  }
  // An image without patterns has nothing to read, but must read as written.
  static const std::uint64_t NONE = 0;
  std::uint64_t const* written = mLeafPatterns.empty() ? &NONE : mLeafPatterns.data();
  mWrittenPatterns.store(written, std::memory_order_release);
  return written;
}

bool PackedTree::wellFormed(std::uint64_t bitCount) const {
  leafPatterns();
  const std::uint64_t w = mWordCount;
  const std::uint64_t nodeWords = packed_scan::HEADER + w;
  const auto holds = [&](std::uint64_t const* mask, std::uint64_t const* pattern) {
    return isSubset(pattern, mask, w);
  };
  const auto clearFrom = [&](std::uint64_t const* words) {
    for (std::uint64_t x = bitCount / 64; x < w; ++x)
      if ((64 * x >= bitCount ? words[x] : words[x] >> (bitCount % 64)) != 0)
        return false;
    return true;
  };
  // Per open node: where its subtree ends and its mask.
  std::vector<std::pair<std::uint64_t, std::uint64_t const*>> open;
  std::uint64_t nextPattern = 0;
  for (std::uint64_t i = 0; i < mNodes.size();) {
    while (!open.empty() && open.back().first == i)
      open.pop_back();
    std::uint64_t const* node = &mNodes[i];
    std::uint64_t const* mask = node + packed_scan::HEADER;
    const auto n = static_cast<std::uint32_t>(node[1] >> 32);
    const bool leaf = n != packed_scan::NOT_A_LEAF;
    const std::uint64_t size = nodeWords + (leaf && mSliceMin != 0 ? 1 : 0);
    // Subtrees nest, in preorder; an inner node has a child.
    if (node[0] < i + size || node[0] > (open.empty() ? mNodes.size() : open.back().first) ||
        (leaf ? node[0] != i + size : node[0] == i + size))
      return false;
    for (auto const& ancestor : open)
      if (!holds(ancestor.second, mask))
        return false;
    if (!clearFrom(mask))
      return false;
    if (!leaf) {
      if (static_cast<std::uint32_t>(node[1]) != 0)
        return false;
      open.emplace_back(node[0], mask);
      i += nodeWords;
      continue;
    }
    // Leaves take the pattern indices in visit order.
    if (static_cast<std::uint32_t>(node[1]) != nextPattern)
      return false;
    std::vector<std::uint64_t> pattern(w);
    for (std::uint64_t k = 0; k < n; ++k) {
      for (std::uint64_t x = 0; x < w; ++x)
        pattern[x] = mLeafPatterns[w * nextPattern + x * n + k];
      RayReference const& stored = mReferences[nextPattern + k];
      if (stored.bits().wordCount() != w || !equalWords(pattern.data(), stored.bits().words(), w) ||
          !holds(mask, pattern.data()))
        return false;
    }
    if (mSliceMin != 0) {
      const std::uint64_t slices = node[nodeWords];
      if ((n >= mSliceMin) != (slices != packed_scan::NO_SLICES))
        return false;
      // The slices start with the intersection of the leaf's patterns.
      if (slices != packed_scan::NO_SLICES) {
        std::uint64_t const* common = mSlices.data() + mSliceShift + slices;
        if (slices % packed_scan::SLICE_CHUNK != 0)
          return false;
        for (std::uint64_t x = 0; x < w; ++x) {
          std::uint64_t all = ~std::uint64_t(0);
          for (std::uint64_t k = 0; k < n; ++k)
            all &= mLeafPatterns[w * nextPattern + x * n + k];
          if (common[x] != all)
            return false;
        }
      }
    }
    nextPattern += n;
    i = node[0];
  }
  return nextPattern == mReferences.size() && mLeafPatterns.size() == w * nextPattern;
}

bool PackedTree::sameImageAs(PackedTree const& other) const {
  const auto sameReference = [](RayReference const& a, RayReference const& b) {
    return a.mRay == b.mRay && a.mPattern == b.mPattern && a.mCardinality == b.mCardinality &&
           a.mFirstWord == b.mFirstWord && a.mEndWord == b.mEndWord;
  };
  // The slices' offset in their vector depends on where it was allocated.
  const auto slices = [](PackedTree const& t) {
    return t.mSlices.empty()
               ? std::vector<std::uint64_t>()
               : std::vector<std::uint64_t>(
                     t.mSlices.begin() + static_cast<std::ptrdiff_t>(t.mSliceShift),
                     t.mSlices.end() -
                         static_cast<std::ptrdiff_t>(packed_scan::SLICE_CHUNK - 1 - t.mSliceShift));
  };
  leafPatterns();
  other.leafPatterns();
  return mWordCount == other.mWordCount && mThreshold == other.mThreshold &&
         mSliceMin == other.mSliceMin && mNodes == other.mNodes &&
         mLeafPatterns == other.mLeafPatterns && slices(*this) == slices(other) &&
         std::equal(mReferences.begin(), mReferences.end(), other.mReferences.begin(),
                    other.mReferences.end(), sameReference) &&
         mRows.rowStarts == other.mRows.rowStarts && mRows.byRow == other.mRows.byRow &&
         mRows.patternStarts == other.mRows.patternStarts &&
         mRows.byPattern == other.mRows.byPattern;
}

std::uint32_t PackedTree::partners(RayReference const& query,
                                   std::vector<std::uint32_t>& hits) const {
  if (hits.size() < mReferences.size())
    hits.resize(mReferences.size());
  std::uint64_t visits = 0;
  packed_scan::Image tree = image();
  std::uint64_t const* q = query.bits().words();
  const std::uint32_t indexed =
      rowIndexed() ? packed_scan::indexedPartners(tree, q, hits.data()) : packed_scan::NOT_INDEXED;
  if (indexed == packed_scan::NOT_INDEXED)
    tree.patterns = leafPatterns();
  const std::uint32_t n = AVX512 ? packed_scan::narrowAvx512(tree, q, hits.data(), visits, indexed)
                                 : packed_scan::narrow(tree, q, hits.data(), visits, indexed);
  PreliminaryCondition::NARROWING_OPS += visits;
  return n;
}

bool PackedTree::verificationTraverse(ExtVerificationCondition const& question) const {
  std::uint64_t nodes = 0;
  std::uint64_t tests = 0;
  packed_scan::Image tree = image();
  tree.patterns = leafPatterns();
  const bool found =
      AVX512 ? packed_scan::verifyAvx512(tree, question.mMask.words(), question.mFirst->words(),
                                         question.mSecond->words(), nodes, tests)
             : packed_scan::verify(tree, question.mMask.words(), question.mFirst->words(),
                                   question.mSecond->words(), nodes, tests);
  PreliminaryCondition::VERIFICATION_OPS += nodes;
  VerificationCondition::OPS += tests;
  return found;
}

std::uint64_t PackedTree::verifyFaces(FaceBatch const& batch, BitList const& second) const {
  DD_ASSERT(batch.words() == mWordCount && second.wordCount() >= mWordCount);
  packed_scan::Faces faces = batch.faces(second);
  packed_scan::Image tree = image();
  tree.patterns = leafPatterns();
  std::uint64_t found = 0;
  std::uint64_t nodes = 0;
  std::uint64_t tests = 0;
  if (!AVX512) {
    for (std::uint32_t j = 0; j < faces.count; ++j) {
      std::uint64_t faceNodes = 0;
      std::uint64_t faceTests = 0;
      if (packed_scan::verify(tree, faces.faces + j * mWordCount, faces.firsts[j], faces.second,
                              faceNodes, faceTests))
        found |= std::uint64_t(1) << j;
      nodes += faceNodes;
      tests += faceTests;
    }
  } else {
    // Room for the levels the search opens, grown where the tree is deeper.
    thread_local std::vector<std::uint64_t> open(2 * 64);
    for (;;) {
      faces.open = open.data();
      faces.levels = static_cast<std::uint32_t>(open.size() / 2);
      if (packed_scan::verifyFacesAvx512(tree, faces, found, nodes, tests))
        break;
      open.resize(2 * open.size());
    }
  }
  PreliminaryCondition::VERIFICATION_OPS += nodes;
  VerificationCondition::OPS += tests;
  return found;
}

} // namespace double_description
