#ifndef DD_RAYCACHE_H
#define DD_RAYCACHE_H

#include "core/DDAssert.h"
#include "core/DDMatrix.h"
#include "core/DDRayReference.h"
#include "core/DDSingleSetRay.h"
#include "core/DDSlackCalculator.h"
#include "core/DDSharingPolicy.h"
#include "core/DDWorkerPool.h"
#include "settings/DDOptions.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

namespace double_description {

// The ray store of a run: every live ray in filing order, and the list of
// final rays (those negative on no row after the one that created them).
// A step finds its rays sorted by their sign on its row in the entry the
// cache fills for it, so its cost follows the live rays, not the rows.
template <class R, class E> class RayCache {
public:
  // The base matrix plays no part in the cache. Only the combinatorial test
  // compares candidates with the rays zero on the step's row.
  RayCache(Matrix const& working, Matrix const& /*base*/, AdjacencyTest test)
      : mWorkingMatrix(working), mSlacks(working), mZeroToo(test == COMBINATIONAL_TEST),
        mEntry(static_cast<std::uint16_t>(working.getRowCount()),
               static_cast<std::uint32_t>(working.getColumns() - 2)) {}

  RayCache(RayCache const&) = delete;
  RayCache& operator=(RayCache const&) = delete;

  // Takes over a new ray. It lives until the step of its first negative row
  // is over, and is final when it has none.
  void insert(R const* ray) {
    mRays.emplace_back(ray);
    mFirstNegativeRows.push_back(static_cast<std::uint16_t>(ray->firstNegativeRow()));
    if (ray->firstNegativeRow() >= mWorkingMatrix.getRowCount())
      mFinalRays.push_back(ray);
  }

  // The live rays by their sign on row r, for the step of row r; valid until
  // finishStep(r). The workers may make the patterns in chunks, which are
  // then filed in order.
  E& entry(unsigned r, WorkerPool* workers = nullptr) {
    using Filing = typename E::Filing;
    using Chunk = std::vector<std::pair<Filing, RayReference>>;
    const std::size_t n = mRays.size();
    mEntry.clear(static_cast<std::uint16_t>(r), n);
    const SharingPolicy policy(workers);
    // A ray costs a few misses to fetch and, filed from a chunk in order,
    // as much again to file: sharing pays only on very many rays.
    policy.template run<Chunk>(
        n, policy.chunks(n, n, 8), mEntry,
        [&](std::size_t begin, std::size_t end, auto& part, unsigned) {
          forEachLive(begin, end, r, [&](std::size_t i, R const* ray) {
            if constexpr (std::is_same_v<std::decay_t<decltype(part)>, E>) {
              part.insert(i, ray, mZeroToo);
            } else {
              const Filing filing = mEntry.filingOf(*ray, mZeroToo);
              if (filing != Filing::NONE)
                part.emplace_back(filing, mEntry.reference(i, ray));
            }
          });
        },
        [](E& entry, Chunk& chunk) {
          for (auto const& filed : chunk)
            entry.file(filed.first, filed.second);
        });
    return mEntry;
  }

  // Deletes the rays negative on row r, whose step is over.
  void finishStep(unsigned r, WorkerPool* workers = nullptr) {
    std::size_t kept = 0;
    mEliminated.clear();
    for (std::size_t i = 0; i < mRays.size(); ++i) {
      if (mFirstNegativeRows[i] == r) {
        mEliminated.push_back(std::move(mRays[i]));
      } else {
        mRays[kept] = std::move(mRays[i]);
        mFirstNegativeRows[kept++] = mFirstNegativeRows[i];
      }
    }
    mRays.resize(kept);
    mFirstNegativeRows.resize(kept);
    // Freeing rays with their exact coordinates is much of a step's serial
    // rest, and the heap serves threads apart; but a ray is freed in about
    // the time a job takes to hand over a word.
    const std::size_t n = mEliminated.size();
    const SharingPolicy policy(DELETED_APART ? workers : nullptr);
    policy.run(n, policy.chunks(n, n, 8), [&](std::size_t begin, std::size_t end, unsigned) {
      for (std::size_t i = begin; i < end; ++i)
        mEliminated[i].reset();
    });
    mEliminated.clear();
  }

  std::size_t liveCount() const { return mRays.size(); }
  // f(ray) for every live ray, in filing order.
  template <class F> void forEachLiveRay(F&& f) const {
    for (std::unique_ptr<R const> const& ray : mRays)
      f(*ray);
  }
  // Deletes every ray, final ones included.
  void clear() {
    mFinalRays.clear();
    mRays.clear();
    mFirstNegativeRows.clear();
  }
  // The slacks of rays on the working matrix's rows, which decide the filing.
  SlackCalculator const& slacks() const { return mSlacks; }

  // The final rays in filing order; owned by the cache.
  std::vector<R const*> mFinalRays;

private:
  // Whether threads may delete rays at once: dual-set rays share counted
  // entries of linear dependences.
  static constexpr bool DELETED_APART = std::is_base_of_v<SingleSetRay, R>;

  // Calls visit(i, ray) for the live rays i in [begin, end) in order. The rays
  // lie scattered over the heap; fetching them a few places ahead hides most
  // of the misses of a step over many live rays.
  template <class Visit>
  void forEachLive(std::size_t begin, std::size_t end, unsigned r, Visit visit) const {
    constexpr std::size_t AHEAD = 8;
    for (std::size_t i = begin; i < end; ++i) {
      if (i + 2 * AHEAD < end)
        __builtin_prefetch(mRays[i + 2 * AHEAD].get());
      if (i + AHEAD < end)
        prefetchZeroSet(*mRays[i + AHEAD], r);
      R const* ray = mRays[i].get();
      DD_ASSERT(ray->creationRow() < r && ray->firstNegativeRow() >= r);
      visit(i, ray);
    }
  }

  Matrix const& mWorkingMatrix;
  SlackCalculator mSlacks;
  bool mZeroToo;
  std::vector<std::unique_ptr<R const>> mRays;
  // The first negative row of each live ray, which a step reads without
  // visiting the ray.
  std::vector<std::uint16_t> mFirstNegativeRows;
  std::vector<std::unique_ptr<R const>> mEliminated;
  E mEntry;
};

} // namespace double_description

#endif
