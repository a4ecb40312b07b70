#include "core/DDRayReferenceContainer.h"

#include <algorithm>
#include <cstring>

namespace double_description {

const BitList RayReference::EMPTY_PATTERN;

void RayReferenceContainer::resizeTo(std::uint64_t n) {
  const auto words = static_cast<std::uint32_t>(n);
  mUnion.resize(n);
  mUnionEnd = std::min(mUnionEnd, words);
  mUnionFirst = std::min(mUnionFirst, mUnionEnd);
  mIntersection.resize(n);
  mIntersectionEnd = std::min(mIntersectionEnd, words);
  mIntersectionFirst = std::min(mIntersectionFirst, mIntersectionEnd);
}

void RayReferenceContainer::iterate(RayRefVisitor& visitor) const {
  do {
    visitor.onStart();
    for (const RayReference& reference : mReferences)
      visitor.onVisit(reference);
    visitor.onFinish();
  } while (visitor.mState == 3);
}

void RayReferenceContainer::fileRun(std::size_t begin, std::size_t end, std::uint64_t bit,
                                    RayReferenceContainer& without,
                                    RayReferenceContainer& with) const {
  const std::uint64_t word = bit / 64;
  const std::uint64_t mask = std::uint64_t(1) << (bit % 64);
  const std::size_t start = without.mReferences.size();
  for (std::size_t i = begin; i < end; ++i) {
    RayReference const& reference = mReferences[i];
    if (hasBit(reference, word, mask)) {
      with.insert(reference);
      continue;
    }
    // The patterns of a set have its words: most references of a sparse
    // split are filed without reading theirs.
    DD_ASSERT(reference.bits().wordCount() == mUnion.wordCount());
    without.mReferences.push_back(reference);
  }
  without.accountFiledFrom(start);
}

void RayReferenceContainer::accountFiledFrom(std::size_t begin) {
  const std::size_t n = mReferences.size();
  std::size_t i = begin;
  for (; i < n && (i == 0 || mIntersectionFirst < mIntersectionEnd); ++i)
    accountExceptUnion(mReferences[i], i == 0);
  if (i == n)
    return;
  // Once the intersection is empty, only ranges and cardinalities change:
  // kept apart from the members, so that the loop runs in registers.
  std::uint32_t first = mUnionFirst;
  std::uint32_t last = mUnionEnd;
  std::uint32_t least = mMinCardinality;
  std::uint32_t most = mMaxCardinality;
  bool empty = first == last;
  for (; i < n; ++i) {
    RayReference const& r = mReferences[i];
    if (r.mFirstWord < r.mEndWord) {
      first = empty ? r.mFirstWord : std::min<std::uint32_t>(first, r.mFirstWord);
      last = empty ? r.mEndWord : std::max<std::uint32_t>(last, r.mEndWord);
      empty = false;
    }
    least = std::min<std::uint32_t>(least, r.mCardinality);
    most = std::max<std::uint32_t>(most, r.mCardinality);
  }
  mUnionFirst = first;
  mUnionEnd = last;
  mMinCardinality = least;
  mMaxCardinality = most;
}

void RayReferenceContainer::fileByBitInPlace(std::uint64_t bit, RayReferenceContainer& without,
                                             RayReferenceContainer& with) {
  DD_ASSERT(without.empty() && with.empty());
  const std::uint64_t word = bit / 64;
  const std::uint64_t mask = std::uint64_t(1) << (bit % 64);
  // The references without the bit move down over those taken out.
  without.mReferences.swap(mReferences);
  std::vector<RayReference>& references = without.mReferences;
  std::size_t kept = 0;
  RayReference* all = references.data();
  const std::size_t n = references.size();
  for (std::size_t i = 0; i < n; ++i) {
    // Copied in place, not through a local: the copy's shape would defeat
    // store forwarding.
    RayReference const& reference = all[i];
    if (hasBit(reference, word, mask)) {
      with.insert(reference);
      continue;
    }
    DD_ASSERT(reference.bits().wordCount() == mUnion.wordCount());
    if (kept != i)
      all[kept] = reference;
    ++kept;
  }
  references.resize(kept);
  without.accountFiledFrom(0);
  uniteWithout(bit, without, with);
}

void RayReferenceContainer::uniteWithout(std::uint64_t bit, RayReferenceContainer& without,
                                         RayReferenceContainer const& with) const {
  if (without.empty())
    return;
  std::uint64_t* out = without.mUnion.words();
  std::uint64_t const* all = mUnion.words();
  std::uint64_t const* taken = with.mUnion.words();
  const std::uint32_t first = without.mUnionFirst;
  const std::uint32_t end = without.mUnionEnd;
  std::copy(all + first, all + end, out + first);
  const std::uint32_t lo = std::max(first, with.mUnionFirst);
  const std::uint32_t hi = std::max(lo, std::min(end, with.mUnionEnd));
  if (lo == hi)
    return;
  for (std::uint32_t w = lo; w < hi; ++w)
    out[w] &= ~taken[w];
  // The bit filed on is in no pattern of without; once every other bit of
  // the set is found, the rest cannot add any.
  const auto complete = [&] {
    for (std::uint32_t w = lo; w < hi; ++w)
      if (out[w] != (w == bit / 64 ? all[w] & ~(std::uint64_t(1) << (bit % 64)) : all[w]))
        return false;
    return true;
  };
  for (RayReference const& reference : without.mReferences) {
    const std::uint32_t from = std::max<std::uint32_t>(lo, reference.mFirstWord);
    const std::uint32_t to = std::min<std::uint32_t>(hi, reference.mEndWord);
    const std::uint64_t* in = reference.bits().words();
    bool grew = false;
    for (std::uint32_t w = from; w < to; ++w) {
      grew |= (in[w] & ~out[w]) != 0;
      out[w] |= in[w];
    }
    if (grew && complete())
      return;
  }
}

void RayReferenceContainer::join(RayReferenceContainer const& run, bool withUnion) {
  if (run.empty())
    return;
  const std::uint64_t n = run.mUnion.wordCount();
  if (mUnion.wordCount() != n || mIntersection.wordCount() != n)
    resizeTo(n);
  std::uint64_t* intersection = mIntersection.words();
  std::uint64_t const* other = run.mIntersection.words();
  if (mReferences.empty()) {
    std::copy(other + run.mIntersectionFirst, other + run.mIntersectionEnd,
              intersection + run.mIntersectionFirst);
    mIntersectionFirst = run.mIntersectionFirst;
    mIntersectionEnd = run.mIntersectionEnd;
  } else {
    intersect(other, run.mIntersectionFirst, run.mIntersectionEnd);
  }
  if (run.mUnionFirst < run.mUnionEnd) {
    if (withUnion) {
      std::uint64_t* unionWords = mUnion.words();
      std::uint64_t const* in = run.mUnion.words();
      for (std::uint32_t w = run.mUnionFirst; w < run.mUnionEnd; ++w)
        unionWords[w] |= in[w];
    }
    if (mUnionFirst == mUnionEnd) {
      mUnionFirst = run.mUnionFirst;
      mUnionEnd = run.mUnionEnd;
    } else {
      mUnionFirst = std::min(mUnionFirst, run.mUnionFirst);
      mUnionEnd = std::max(mUnionEnd, run.mUnionEnd);
    }
  }
  mMinCardinality = std::min(mMinCardinality, run.mMinCardinality);
  mMaxCardinality = std::max(mMaxCardinality, run.mMaxCardinality);
  mReferences.insert(mReferences.end(), run.mReferences.begin(), run.mReferences.end());
}

std::size_t RayReferenceContainer::filingRuns(SharingPolicy const& policy, std::size_t n) {
  // A reference costs a bit test and a copy, and as much again to join the
  // runs: only very large sets pay for threads. Two runs a thread even out
  // the threads' speeds.
  return policy.chunks(n, n, 2);
}

void RayReferenceContainer::fileByBit(std::uint64_t bit, RayReferenceContainer& without,
                                      RayReferenceContainer& with,
                                      SharingPolicy const& policy) const {
  DD_ASSERT(without.empty() && with.empty());
  using Runs = std::pair<RayReferenceContainer, RayReferenceContainer>;
  using Buckets = std::pair<RayReferenceContainer&, RayReferenceContainer&>;
  Buckets buckets{without, with};
  const std::size_t n = mReferences.size();
  policy.run<Runs>(
      n, filingRuns(policy, n), buckets,
      [&](std::size_t begin, std::size_t end, auto& runs, unsigned) {
        fileRun(begin, end, bit, runs.first, runs.second);
      },
      [](Buckets& all, Runs& runs) {
        all.second.join(runs.second, true);
        all.first.join(runs.first, false);
      });
  uniteWithout(bit, without, with);
}

void RayReferenceContainer::clear() {
  mReferences.clear();
  std::memset(mUnion.words() + mUnionFirst, 0, (mUnionEnd - mUnionFirst) * sizeof(std::uint64_t));
  std::memset(mIntersection.words() + mIntersectionFirst, 0,
              (mIntersectionEnd - mIntersectionFirst) * sizeof(std::uint64_t));
  mUnionFirst = mUnionEnd = 0;
  mIntersectionFirst = mIntersectionEnd = 0;
  mMinCardinality = EMPTY_MIN_CARDINALITY;
  mMaxCardinality = 0;
}

} // namespace double_description
