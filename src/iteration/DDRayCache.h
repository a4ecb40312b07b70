#ifndef DD_RAYCACHE_H
#define DD_RAYCACHE_H

#include "core/DDMatrix.h"
#include "settings/DDOptions.h"

#include <gmpxx.h>

#include <cstdint>
#include <deque>
#include <vector>

namespace double_description {

// The ray store of a run: one entry per row still to be processed, in row
// order, and the list of rays negative on no later row. A ray is owned by the
// entry of its first negative row, or by the final list.
template <class R, class E> class RayCache {
public:
  Matrix const& mWorkingMatrix;
  std::deque<E> mRowEntries;
  std::vector<R const*> mFinalRays;

  // The base matrix plays no part in the cache.
  RayCache(Matrix const& working, Matrix const& /*base*/) : mWorkingMatrix(working) {
    const std::uint16_t d = static_cast<std::uint16_t>(working.getColumns());
    const std::uint32_t m = working.getRowCount();
    const std::uint16_t rowCount = static_cast<std::uint16_t>(m);
    for (std::uint16_t r = d; r < m; ++r)
      mRowEntries.emplace_back(rowCount, r, static_cast<std::uint32_t>(d - 2));
  }

  RayCache(RayCache const&) = delete;
  RayCache& operator=(RayCache const&) = delete;

  ~RayCache() {
    for (R const* ray : mFinalRays)
      delete ray;
  }

  // Files a ray into the entries from j on, up to its first negative row.
  void insert(R const* ray, unsigned long j) {
    const bool zeroToo =
        Options::current()->mAdjacencyTest == AdjacencyTest::COMBINATIONAL_TEST;
    const unsigned long entries = mRowEntries.size();
    for (unsigned long k = j; k < entries; ++k)
      if (insert_local(ray, k, zeroToo) < 0)
        return;
    mFinalRays.push_back(ray);
  }

  std::int16_t insert_local(R const* ray, unsigned long k, bool zeroToo) {
    const std::uint32_t entries = static_cast<std::uint16_t>(mRowEntries.size());
    const std::uint32_t row = mWorkingMatrix.getRowCount() - entries + static_cast<std::uint32_t>(k);
    const int sign = sgn(ray->slack(row));
    E& entry = mRowEntries[k];
    if (sign > 0) {
      entry.insertPositive(ray);
      return 1;
    }
    if (sign < 0) {
      entry.insertNegative(ray);
      return -1;
    }
    if (zeroToo)
      entry.insertZero(ray);
    return 0;
  }
};

} // namespace double_description

#endif
