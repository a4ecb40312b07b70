#ifndef DD_RAYREFERENCE_H
#define DD_RAYREFERENCE_H

#include <cstdint>

#include "core/DDAssert.h"
#include "core/DDBitList.h"
#include "core/DDRay.h"

namespace double_description {

// A non-owning pointer to a ray with a pattern (the ray's zero set restricted
// to the rows of interest), the pattern's bit count and the range of its
// nonzero words. The pattern is shared, not copied, so references are cheap to
// copy into trees and candidates. Patterns of many rows are mostly zero words;
// the range lets containers fold a pattern into their union and intersection
// without touching the rest.
struct RayReference {
  RayReference() = default;
  // The pattern is not copied: it must outlive every copy of the reference.
  // It has at most MAX_WORDS words, as every pattern of a matrix's rows.
  RayReference(Ray const* ray, BitList const& pattern)
      : RayReference(ray, pattern, 0, pattern.wordCount()) {}
  // The same for a pattern known to have no bit outside the words [from, to):
  // only those are read.
  RayReference(Ray const* ray, BitList const& pattern, std::uint64_t from, std::uint64_t to)
      : mRay(ray), mPattern(&pattern) {
    DD_ASSERT(pattern.wordCount() <= MAX_WORDS);
    DD_ASSERT(to <= pattern.wordCount());
    const std::uint64_t* words = pattern.words();
    std::uint64_t count = 0;
    std::uint64_t first = 0;
    std::uint64_t end = 0;
    for (std::uint64_t w = from; w < to; ++w) {
      if (words[w] == 0)
        continue;
      count += static_cast<std::uint64_t>(__builtin_popcountll(words[w]));
      if (end == 0)
        first = w;
      end = w + 1;
    }
    mCardinality = static_cast<std::uint16_t>(count);
    mFirstWord = static_cast<std::uint16_t>(first);
    mEndWord = static_cast<std::uint16_t>(end);
    DD_ASSERT(mCardinality == pattern.count());
  }
  RayReference(Ray const*, BitList&&) = delete;
  RayReference(Ray const*, BitList&&, std::uint64_t, std::uint64_t) = delete;

  // The most words a pattern may have: those of 65535 rows.
  static constexpr std::uint64_t MAX_WORDS = 1024;

  BitList const& bits() const { return *mPattern; }

  // The ray as the ray type R of the run, which every holder knows.
  template <class R> R const* ray() const { return static_cast<R const*>(mRay); }

  Ray const* mRay = nullptr;
  // Owned by whoever made the reference: a step's cache entry, a test.
  BitList const* mPattern = &EMPTY_PATTERN;
  std::uint16_t mCardinality = 0;
  // Every nonzero word of the pattern lies in [mFirstWord, mEndWord); both are
  // 0 for an empty pattern.
  std::uint16_t mFirstWord = 0;
  std::uint16_t mEndWord = 0;

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
