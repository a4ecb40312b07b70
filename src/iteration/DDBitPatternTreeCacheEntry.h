#ifndef DD_BITPATTERNTREECACHEENTRY_H
#define DD_BITPATTERNTREECACHEENTRY_H

#include "core/DDBitList.h"
#include "core/DDRayReference.h"
#include "core/DDRayReferenceContainer.h"
#include "core/DDSingleSetRay.h"
#include "iteration/DDRayRefModifier.h"

#include <cstdint>
#include <utility>

namespace double_description {

// A ray's zero set restricted to the rows of mask. Other ray types supply
// their own overload in this namespace.
inline BitList maskedZeroSet(SingleSetRay const& ray, BitList const& mask) {
  BitList pattern;
  pattern.assignAnd(ray.mActiveSet, mask);
  return pattern;
}

// The rays one not yet processed row needs for its step, each referenced with
// its zero set among the rows before that row.
template <class R> class BitPatternTreeCacheEntry {
public:
  std::uint16_t mRowCount;
  std::uint16_t mRow;
  std::uint16_t mWordCount;
  std::uint32_t mThreshold;
  RayReferenceContainer mPosDegenerate;
  RayReferenceContainer mPosNondegenerate;
  RayReferenceContainer mVerification;
  RayReferenceContainer mNegative; // owns its rays
  BitList mMask;

  BitPatternTreeCacheEntry(std::uint16_t rowCount, std::uint16_t row, std::uint32_t threshold)
      : mRowCount(rowCount), mRow(row),
        mWordCount(static_cast<std::uint16_t>((rowCount + 63u) / 64u)),
        mThreshold(threshold), mMask(mWordCount) {
    mMask.setFirst(row);
  }

  BitPatternTreeCacheEntry(BitPatternTreeCacheEntry const&) = delete;
  BitPatternTreeCacheEntry& operator=(BitPatternTreeCacheEntry const&) = delete;

  ~BitPatternTreeCacheEntry() {
    RayRefReleaseVisitor<R> release;
    for (RayReference& ref : mNegative.mReferences)
      release.modify(ref);
  }

  void insertPositive(R const* ray) {
    RayReference ref(ray, maskedZeroSet(*ray, mMask));
    DD_ASSERT(ref.mBits.noneFrom(mRow));
    if (ref.mCardinality == mThreshold + 1) {
      mPosNondegenerate.insert(std::move(ref));
    } else {
      mPosDegenerate.insert(ref);
      mVerification.insert(std::move(ref));
    }
  }

  void insertNegative(R const* ray) {
    RayReference ref(ray, maskedZeroSet(*ray, mMask));
    DD_ASSERT(ref.mBits.noneFrom(mRow));
    if (ref.mCardinality > mThreshold + 1) {
      mNegative.insert(ref);
      mVerification.insert(std::move(ref));
    } else {
      mNegative.insert(std::move(ref));
    }
  }

  void insertZero(R const* ray) {
    mVerification.insert(RayReference(ray, maskedZeroSet(*ray, mMask)));
  }
};

} // namespace double_description

#endif
