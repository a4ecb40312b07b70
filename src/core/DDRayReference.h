#ifndef DD_RAYREFERENCE_H
#define DD_RAYREFERENCE_H

#include <cstdint>

#include "core/DDBitList.h"
#include "core/DDRay.h"

namespace double_description {

// A non-owning pointer to a ray with a pattern (the ray's zero set restricted
// to the rows of interest) and the pattern's bit count. The pattern is shared,
// not copied, so references are cheap to copy into trees and candidates.
struct RayReference {
  RayReference() = default;
  // The pattern is not copied: it must outlive every copy of the reference.
  RayReference(Ray const* ray, BitList const& pattern)
      : mRay(ray), mPattern(&pattern), mCardinality(pattern.count()) {}
  RayReference(Ray const*, BitList&&) = delete;

  BitList const& bits() const { return *mPattern; }

  // The ray as the ray type R of the run, which every holder knows.
  template <class R> R const* ray() const { return static_cast<R const*>(mRay); }

  Ray const* mRay = nullptr;
  // Owned by whoever made the reference: a step's cache entry, a test.
  BitList const* mPattern = &EMPTY_PATTERN;
  std::uint16_t mCardinality = 0;

  // The pattern of a default reference: one zero word.
  static const BitList EMPTY_PATTERN;
};

// A candidate pair: the reference stored in a tree, the querying reference and
// the AND of their patterns over the first one's words.
struct EdgeCandidate {
  EdgeCandidate() = default;
  EdgeCandidate(RayReference const& first, RayReference const& second)
      : mFirst(first), mSecond(second) {
    mCommon.assignAnd(first.bits(), second.bits());
  }

  RayReference mFirst;
  RayReference mSecond;
  BitList mCommon;
};

// A pass-based visitor of a reference container. mState: 0 finished,
// 1 pass started, 2 visiting, 3 another pass wanted.
class RayRefVisitor {
public:
  virtual bool hasFinished() const = 0;
  virtual ~RayRefVisitor() = default;
  virtual void onStart() { mState = 1; }
  virtual void onVisit(RayReference const&) { mState = 2; }
  virtual void onFinish() { mState = hasFinished() ? 0 : 3; }

  int mState = 0;
};

} // namespace double_description

#endif
