#ifndef DD_PARALLELPASS_H
#define DD_PARALLELPASS_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <type_traits>
#include <vector>

#include "core/DDRayReferenceContainer.h"
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

// Below this many candidate pairs a pass is over before threads would have
// started.
constexpr std::uint64_t PARALLEL_PAIRS = 4096;

// Whether a pass over pairs candidate pairs is worth sharing among workers.
inline bool worthSharing(WorkerPool const* workers, std::uint64_t pairs) {
  return workers != nullptr && workers->size() > 1 && pairs >= PARALLEL_PAIRS;
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

// One visitor pass over a reference set, shared among the threads of a pool:
// the set is cut into chunks in order, each thread visits chunks with a
// visitor of its own, the rays a chunk creates are kept aside, and when all
// chunks are done they are filed chunk by chunk and the threads' search
// counts are added to the calling thread's. The cache and the counts end up
// exactly as after one visitor's pass over the whole set.
//
// makeVisitor(thread) or makeVisitor() builds a visitor; the visitor puts its
// new rays into *mCreated when that is set (PreliminaryTraverseVisitor::file).
// beforeFiling(ray) sees each new ray, in filing order, just before it is
// filed. Returns the number of rays created.
template <class R, class Cache, class MakeVisitor, class BeforeFiling = FileAsCreated>
std::uint64_t parallelPass(RayReferenceContainer const& set, WorkerPool& pool, Cache& cache,
                           MakeVisitor makeVisitor, BeforeFiling beforeFiling = {}) {
  using Visitor = decltype(makeVisitorFor(makeVisitor, 0));
  std::vector<RayReference> const& references = set.references();
  const std::size_t n = references.size();
  const unsigned threads = pool.size();
  // Enough chunks for the threads to even out uneven queries.
  const std::size_t chunkSize = std::max<std::size_t>(1, n / (16 * threads));
  const std::size_t chunks = (n + chunkSize - 1) / chunkSize;

  std::vector<std::unique_ptr<Visitor>> visitors(threads);
  std::vector<std::vector<std::unique_ptr<R const>>> created(chunks);
  std::vector<SearchCounts> counts(threads);
  // Rays are still the pass's own until filed.
  auto prepare = [&](std::unique_ptr<R const>& ray) { beforeFiling(const_cast<R&>(*ray)); };
  auto task = [&](std::size_t chunk, unsigned thread) {
    if (!visitors[thread])
      visitors[thread] = std::make_unique<Visitor>(makeVisitorFor(makeVisitor, thread));
    Visitor& visitor = *visitors[thread];
    const SearchCounts before = SearchCounts::ofThisThread();
    visitor.mCreated = &created[chunk];
    visitor.onStart();
    const std::size_t end = std::min(n, (chunk + 1) * chunkSize);
    for (std::size_t i = chunk * chunkSize; i < end; ++i)
      visitor.onVisit(references[i]);
    visitor.onFinish();
    if (thread != 0)
      counts[thread] += SearchCounts::ofThisThread() - before;
  };
  try {
    pool.run(chunks, task);
  } catch (...) {
    // The rays made so far are prepared all the same, so that they can be
    // deleted as filed ones are.
    for (std::vector<std::unique_ptr<R const>>& rays : created)
      for (std::unique_ptr<R const>& ray : rays)
        prepare(ray);
    throw;
  }

  std::uint64_t total = 0;
  for (std::vector<std::unique_ptr<R const>>& rays : created)
    for (std::unique_ptr<R const>& ray : rays) {
      prepare(ray);
      cache.insert(ray.release());
      ++total;
    }
  for (unsigned thread = 1; thread < threads; ++thread)
    counts[thread].addToThisThread();
  return total;
}

} // namespace double_description

#endif
