#ifndef DD_RAYCACHE_H
#define DD_RAYCACHE_H

#include "core/DDAssert.h"
#include "core/DDMatrix.h"
#include "core/DDSlackCalculator.h"
#include "settings/DDOptions.h"

#include <cstdint>
#include <memory>
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
    if (ray->firstNegativeRow() >= mWorkingMatrix.getRowCount())
      mFinalRays.push_back(ray);
  }

  // The live rays by their sign on row r, for the step of row r; valid until
  // finishStep(r).
  E& entry(unsigned r) {
    mEntry.clear(static_cast<std::uint16_t>(r), mRays.size());
    // The rays lie scattered over the heap; fetching them a few places ahead
    // hides most of the misses of a step over many live rays.
    constexpr std::size_t AHEAD = 8;
    const std::size_t n = mRays.size();
    for (std::size_t i = 0; i < n; ++i) {
      if (i + 2 * AHEAD < n)
        __builtin_prefetch(mRays[i + 2 * AHEAD].get());
      if (i + AHEAD < n)
        prefetchZeroSet(*mRays[i + AHEAD], r);
      R const* ray = mRays[i].get();
      DD_ASSERT(ray->creationRow() < r && ray->firstNegativeRow() >= r);
      mEntry.insert(ray, mZeroToo);
    }
    return mEntry;
  }

  // Deletes the rays negative on row r, whose step is over.
  void finishStep(unsigned r) {
    auto kept = mRays.begin();
    for (auto ray = mRays.begin(); ray != mRays.end(); ++ray)
      if ((*ray)->firstNegativeRow() != r)
        *kept++ = std::move(*ray);
    mRays.erase(kept, mRays.end());
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
  }
  // The slacks of rays on the working matrix's rows, which decide the filing.
  SlackCalculator const& slacks() const { return mSlacks; }

  // The final rays in filing order; owned by the cache.
  std::vector<R const*> mFinalRays;

private:
  Matrix const& mWorkingMatrix;
  SlackCalculator mSlacks;
  bool mZeroToo;
  std::vector<std::unique_ptr<R const>> mRays;
  E mEntry;
};

} // namespace double_description

#endif
