#ifndef DD_PARALLELPASS_H
#define DD_PARALLELPASS_H

#include <algorithm>
#include <chrono>
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

// How one kind of pass (the same visitor over the same kind of tree) shares
// its queries, from the time passes of that kind took on the caller alone.
// The word counts of a search say little of its cost (a leaf that an index
// or its slices answer counts all its patterns). And threads run a pass
// slower than the caller alone would, a query at a time: they read a tree
// built on another core, and their new rays are then filed, and read by the
// next step, on another; measured, a pass pays for that only from about a
// millisecond on, and on some cones (the moment curves) not even then. So a
// shared pass that ran little faster than the estimate alone doubles the
// time from which passes are shared, and one that paid halves it again.
class PassSharing {
public:
  // The least time on the caller alone of a pass that is shared, at first.
  static constexpr double SHARED_NANOS = 1e6;
  // The speed-up over the estimate alone that a shared pass must show.
  static constexpr double PAID_SPEEDUP = 1.25;
  // The time from which passes are shared rises no further: a pass of a
  // second alone is shared whatever the passes before it showed.
  static constexpr double MAX_SHARED_NANOS = 1e9;

  // The chunks of a pass of queries over positives patterns of words words.
  std::size_t chunks(SharingPolicy const& policy, std::uint64_t queries, std::uint64_t positives,
                     std::uint64_t words) const;
  // Notes that the pass of queries, cut into chunks run on threads, took
  // nanos in all.
  void record(std::size_t chunks, unsigned threads, std::uint64_t queries, std::int64_t nanos);

private:
  double mSharedNanos = SHARED_NANOS;
  // Nanoseconds a query of the passes on the caller alone; negative before
  // the first.
  double mNanos = -1;
};

inline std::size_t PassSharing::chunks(SharingPolicy const& policy, std::uint64_t queries,
                                       std::uint64_t positives, std::uint64_t words) const {
  const double alone = static_cast<double>(queries) * mNanos;
  // Before the first pass the pattern words of every pair, as a bound.
  const std::uint64_t work =
      mNanos < 0 ? queries * positives * words
                 : static_cast<std::uint64_t>(alone * SharingPolicy::WORK_PER_NANOSECOND);
  // Enough chunks for the threads to even out uneven queries.
  const std::size_t chunks = policy.chunks(queries, work, 16);
  return mNanos < 0 || alone >= mSharedNanos || policy.forced() ? chunks : 1;
}

inline void PassSharing::record(std::size_t chunks, unsigned threads, std::uint64_t queries,
                                std::int64_t nanos) {
  if (queries == 0)
    return;
  const double now = static_cast<double>(nanos) / static_cast<double>(queries);
  if (chunks <= 1) {
    mNanos = mNanos < 0 ? now : (mNanos + now) / 2;
    return;
  }
  if (mNanos >= 0) {
    const double alone = mNanos * static_cast<double>(queries);
    mSharedNanos = static_cast<double>(nanos) * PAID_SPEEDUP > alone
                       ? std::min(2 * mSharedNanos, MAX_SHARED_NANOS)
                       : std::max(mSharedNanos / 2, SHARED_NANOS);
  }
  // A shared pass is no measure of the time alone, as threads take longer a
  // query; but the threads' time bounds it, and lowers an estimate that an
  // odd pass left too high, which would otherwise have every pass shared.
  const double bound = now * static_cast<double>(std::min<std::size_t>(chunks, threads));
  if (mNanos < 0 || bound < mNanos)
    mNanos = mNanos < 0 ? bound : (mNanos + bound) / 2;
}

// Times what f() does and notes it in sharing.
template <class F>
auto timedPass(PassSharing& sharing, SharingPolicy const& policy, std::size_t chunks,
               std::uint64_t queries, F f) {
  const auto start = std::chrono::steady_clock::now();
  auto result = f();
  sharing.record(
      chunks, policy.threads(), queries,
      std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start)
          .count());
  return result;
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

// One visitor pass over a reference set, cut into chunks by policy (one
// runs on the caller): each chunk is visited by a visitor of its thread, the
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
                           std::size_t chunks, Cache& cache, MakeVisitor makeVisitor,
                           BeforeFiling beforeFiling = {}) {
  using Visitor = decltype(makeVisitorFor(makeVisitor, 0));
  std::vector<RayReference> const& references = set.references();
  const std::size_t n = references.size();
  const unsigned threads = policy.pool() == nullptr ? 1 : policy.pool()->size();

  std::vector<std::unique_ptr<Visitor>> visitors(threads);
  // Rays are still the pass's own until filed.
  auto prepare = [&](R& ray) { beforeFiling(ray); };
  using Created = CreatedRays<R, decltype(prepare)>;
  Created all;
  all.mPrepare = &prepare;
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
  for (std::unique_ptr<R const>& ray : all.mRays) {
    prepare(const_cast<R&>(*ray));
    cache.insert(ray.release());
  }
  all.mRays.clear();
  return total;
}

} // namespace double_description

#endif
