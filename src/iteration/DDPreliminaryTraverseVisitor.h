#ifndef DD_PRELIMINARYTRAVERSEVISITOR_H
#define DD_PRELIMINARYTRAVERSEVISITOR_H

#include "core/DDRayReference.h"
#include "iteration/DDBitPatternTreeCacheEntry.h"
#include "iteration/DDRayCache.h"
#include "trees/DDSearchTree.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

namespace double_description {

// One pass over the negative rays of a step: each negative ray queries the
// positive narrowing tree for candidate partners.
template <class R> class PreliminaryTraverseVisitor : public RayRefVisitor {
public:
  using Cache = RayCache<R, BitPatternTreeCacheEntry<R>>;

  PreliminaryTraverseVisitor(SearchTree const& tree, std::uint16_t threshold, std::uint16_t step,
                             std::uint16_t rowCount, Cache& cache)
      : mStep(step), mRowCount(rowCount), mRayCache(&cache), mThreshold(threshold), mTree(&tree) {
    mState = 0;
  }

  bool hasFinished() const override { return true; }
  void onStart() override {
    mState = 1;
    mCandidates.clear();
  }

  // Files a new ray, or keeps it in mCreated for a pass that files the rays
  // of several visitors in order (parallelPass).
  void file(R const* ray) {
    if (mCreated != nullptr)
      mCreated->emplace_back(ray);
    else
      mRayCache->insert(ray);
    ++mCreatedCount;
  }

  std::uint16_t mStep;
  std::uint16_t mRowCount;
  Cache* mRayCache;
  std::uint64_t mCreatedCount = 0;
  std::uint16_t mThreshold;
  SearchTree const* mTree;
  std::deque<EdgeCandidate> mCandidates;
  std::vector<std::unique_ptr<R const>>* mCreated = nullptr;
};

} // namespace double_description

#endif
