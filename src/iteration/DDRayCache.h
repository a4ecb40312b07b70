#ifndef DD_RAYCACHE_H
#define DD_RAYCACHE_H

#include "core/DDAssert.h"
#include "core/DDMatrix.h"
#include "core/DDRayReference.h"
#include "core/DDSingleSetRay.h"
#include "core/DDSlackCalculator.h"
#include "core/DDWorkerPool.h"
#include "settings/DDOptions.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <type_traits>
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
  // finishStep(r). Shares the patterns' writing among workers when there
  // are enough rays.
  E& entry(unsigned r, WorkerPool* workers = nullptr) {
    const std::size_t n = mRays.size();
    mEntry.clear(static_cast<std::uint16_t>(r), n);
    if (workers != nullptr && workers->size() > 1 && n >= PARALLEL_RAYS)
      fileShared(r, *workers);
    else
      fileInTurn(r);
    return mEntry;
  }

  // Deletes the rays negative on row r, whose step is over, on the workers
  // when there are many.
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
    const std::size_t n = mEliminated.size();
    if (DELETED_APART && workers != nullptr && workers->size() > 1 && n >= PARALLEL_RAYS) {
      // Freeing rays with their exact coordinates is much of a step's serial
      // rest; the heap serves threads apart.
      const std::size_t chunk = chunkSize(n, workers->size());
      workers->run((n + chunk - 1) / chunk, [&](std::size_t c, unsigned) {
        const std::size_t end = std::min(n, (c + 1) * chunk);
        for (std::size_t i = c * chunk; i < end; ++i)
          mEliminated[i].reset();
      });
    }
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
  // Below this many rays a step's filing or deletion is over before threads
  // would have started.
  static constexpr std::size_t PARALLEL_RAYS = 4096;
  // Whether threads may delete rays at once: dual-set rays share counted
  // entries of linear dependences.
  static constexpr bool DELETED_APART = std::is_base_of_v<SingleSetRay, R>;

  // Chunks enough for the threads to even out uneven rays.
  static std::size_t chunkSize(std::size_t n, unsigned threads) {
    return std::max<std::size_t>(1024, n / (8 * threads));
  }

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

  void fileInTurn(unsigned r) {
    forEachLive(0, mRays.size(), r,
                [&](std::size_t i, R const* ray) { mEntry.insert(i, ray, mZeroToo); });
  }

  // The patterns and references are made in chunks on the workers, then
  // filed in order, as fileInTurn files them.
  void fileShared(unsigned r, WorkerPool& workers) {
    using Filing = typename E::Filing;
    const std::size_t n = mRays.size();
    mFilings.resize(n);
    mReferences.resize(n);
    const std::size_t chunk = chunkSize(n, workers.size());
    workers.run((n + chunk - 1) / chunk, [&](std::size_t c, unsigned) {
      forEachLive(c * chunk, std::min(n, (c + 1) * chunk), r, [&](std::size_t i, R const* ray) {
        const Filing filing = mEntry.filingOf(*ray, mZeroToo);
        mFilings[i] = filing;
        if (filing != Filing::NONE)
          mReferences[i] = mEntry.reference(i, ray);
      });
    });
    for (std::size_t i = 0; i < n; ++i)
      if (mFilings[i] != Filing::NONE)
        mEntry.file(mFilings[i], mReferences[i]);
  }

  Matrix const& mWorkingMatrix;
  SlackCalculator mSlacks;
  bool mZeroToo;
  std::vector<std::unique_ptr<R const>> mRays;
  // The first negative row of each live ray, which a step reads without
  // visiting the ray.
  std::vector<std::uint16_t> mFirstNegativeRows;
  std::vector<std::unique_ptr<R const>> mEliminated;
  std::vector<typename E::Filing> mFilings;
  std::vector<RayReference> mReferences;
  E mEntry;
};

} // namespace double_description

#endif
