#ifndef DD_PARALLELPASS_H
#define DD_PARALLELPASS_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <type_traits>
#include <vector>

#include "core/DDRayReferenceContainer.h"
#include "core/DDSharingPolicy.h"
#include "core/DDWorkerPool.h"
#include "trees/DDPreliminaryCondition.h"
#include "trees/DDVerificationCondition.h"

namespace double_description {

// The operation counts of the tree searches made on one thread.
struct SearchCounts {
  std::uint64_t mNarrowing = 0;
  std::uint64_t mVerification = 0;
  std::uint64_t mOps = 0;
  std::uint64_t mCandidates = 0;

  static SearchCounts ofThisThread() {
    return {PreliminaryCondition::NARROWING_OPS, PreliminaryCondition::VERIFICATION_OPS,
            VerificationCondition::OPS, VerificationCondition::CANDIDATES};
  }
  void addToThisThread() const {
    PreliminaryCondition::NARROWING_OPS += mNarrowing;
    PreliminaryCondition::VERIFICATION_OPS += mVerification;
    VerificationCondition::OPS += mOps;
    VerificationCondition::CANDIDATES += mCandidates;
  }
  SearchCounts& operator+=(SearchCounts const& o) {
    mNarrowing += o.mNarrowing;
    mVerification += o.mVerification;
    mOps += o.mOps;
    mCandidates += o.mCandidates;
    return *this;
  }
  SearchCounts operator-(SearchCounts const& o) const {
    return {mNarrowing - o.mNarrowing, mVerification - o.mVerification, mOps - o.mOps,
            mCandidates - o.mCandidates};
  }
};

// Tree operations a query of the latest pass on this thread cost, with its
// new rays; negative before the first. Steps in a row search alike, and
// the pairs alone say nothing of how well the trees prune.
inline thread_local double tOpsPerQuery = -1;

// The work of a pass of queries over a tree of positives: the pattern words
// the latest pass compared for as many queries, or those of every pair
// before the first. An operation reads a node's or a candidate's words,
// misses the cache on many, and a candidate that passes costs a test and a
// new ray: measured, sharing paid from 64 words an operation on.
inline std::uint64_t passWork(std::uint64_t queries, std::uint64_t positives,
                              std::uint64_t words) {
  if (tOpsPerQuery < 0)
    return queries * positives * words;
  return static_cast<std::uint64_t>(static_cast<double>(queries) * (64 * tOpsPerQuery + 1)) * words;
}

// A visitor from makeVisitor(thread), or from makeVisitor() when it takes no
// thread.
template <class MakeVisitor> auto makeVisitorFor(MakeVisitor& makeVisitor, unsigned thread) {
  if constexpr (std::is_invocable_v<MakeVisitor&, unsigned>)
    return makeVisitor(thread);
  else
    return makeVisitor();
}

// Files the rays as they were made.
struct FileAsCreated {
  template <class R> void operator()(R&) const {}
};

// The rays a chunk of a pass made, not yet filed. Those left when the pass
// fails are prepared all the same, so that they are deleted as filed ones.
template <class R, class Prepare> struct CreatedRays {
  std::vector<std::unique_ptr<R const>> mRays;
  Prepare* mPrepare = nullptr;
  CreatedRays() = default;
  CreatedRays(CreatedRays&&) = default;
  CreatedRays& operator=(CreatedRays&&) = default;
  ~CreatedRays() {
    if (mPrepare != nullptr)
      for (std::unique_ptr<R const>& ray : mRays)
        (*mPrepare)(const_cast<R&>(*ray));
  }
};

// One visitor pass over a reference set, cut by policy for the work the
// caller estimates: each chunk is visited by a visitor of its thread, the
// rays a chunk creates are kept aside and filed chunk by chunk when all are
// done, and the threads' search counts are added to the calling thread's.
// The cache and the counts end up exactly as after one visitor's pass over
// the whole set.
//
// makeVisitor(thread) or makeVisitor() builds a visitor; the visitor puts its
// new rays into *mCreated when that is set (PreliminaryTraverseVisitor::file).
// beforeFiling(ray) sees each new ray, in filing order, just before it is
// filed. Returns the number of rays created.
template <class R, class Cache, class MakeVisitor, class BeforeFiling = FileAsCreated>
std::uint64_t parallelPass(RayReferenceContainer const& set, SharingPolicy const& policy,
                           std::uint64_t work, Cache& cache, MakeVisitor makeVisitor,
                           BeforeFiling beforeFiling = {}) {
  using Visitor = decltype(makeVisitorFor(makeVisitor, 0));
  std::vector<RayReference> const& references = set.references();
  const std::size_t n = references.size();
  const unsigned threads = policy.pool() == nullptr ? 1 : policy.pool()->size();
  // Enough chunks for the threads to even out uneven queries.
  const std::size_t chunks = policy.chunks(n, work, 16);

  std::vector<std::unique_ptr<Visitor>> visitors(threads);
  // Rays are still the pass's own until filed.
  auto prepare = [&](R& ray) { beforeFiling(ray); };
  using Created = CreatedRays<R, decltype(prepare)>;
  Created all;
  all.mPrepare = &prepare;
  const SearchCounts before = SearchCounts::ofThisThread();
  policy.template run<Created, SearchCounts>(
      n, chunks, all,
      [&](std::size_t begin, std::size_t end, Created& created, unsigned thread) {
        created.mPrepare = &prepare;
        if (!visitors[thread])
          visitors[thread] = std::make_unique<Visitor>(makeVisitorFor(makeVisitor, thread));
        Visitor& visitor = *visitors[thread];
        // A lone chunk files its rays as it makes them, unless they are to
        // be prepared.
        const bool direct = &created == &all && std::is_same_v<BeforeFiling, FileAsCreated>;
        visitor.mCreated = direct ? nullptr : &created.mRays;
        visitor.onStart();
        for (std::size_t i = begin; i < end; ++i)
          visitor.onVisit(references[i]);
        visitor.onFinish();
      },
      [](Created& whole, Created& part) {
        for (std::unique_ptr<R const>& ray : part.mRays)
          whole.mRays.push_back(std::move(ray));
        part.mRays.clear();
      });

  std::uint64_t total = 0;
  for (std::unique_ptr<Visitor> const& visitor : visitors)
    if (visitor)
      total += visitor->mCreatedCount;
  if (n != 0) {
    // A new ray costs about as much as a few nodes' words.
    const SearchCounts made = SearchCounts::ofThisThread() - before;
    tOpsPerQuery = static_cast<double>(made.mNarrowing + made.mVerification + made.mOps +
                                       made.mCandidates + 16 * total) /
                   static_cast<double>(n);
  }
  for (std::unique_ptr<R const>& ray : all.mRays) {
    prepare(const_cast<R&>(*ray));
    cache.insert(ray.release());
  }
  all.mRays.clear();
  return total;
}

} // namespace double_description

#endif
