#ifndef DD_VERIFICATIONCONDITION_H
#define DD_VERIFICATIONCONDITION_H

#include <cstdint>

#include "core/DDBitList.h"
#include "trees/DDMapCondition.h"

namespace double_description {

// Holds on the patterns that contain the face held as mask.
class VerificationCondition : public virtual MapCondition {
public:
  explicit VerificationCondition(BitList const& face)
      : MapCondition(face), mFaceCardinality(face.count()) {}
  VerificationCondition(VerificationCondition const& other)
      : MapCondition(other), mFaceCardinality(other.mFaceCardinality) {}
  ~VerificationCondition() override = default;

  bool holdsOnFace(BitList const& x) const override {
    ++OPS;
    return x.contains(mMask);
  }
  bool holdsOnFace(BitList const& x, BitList const&, BitList const&) const override {
    return holdsOnFace(x);
  }
  bool holdsOnRay(BitList const& x) const override {
    ++OPS;
    return x.contains(mMask);
  }

  std::uint16_t mFaceCardinality;

  // Counted per thread, as the narrowing and verification operations.
  static inline thread_local std::uint64_t OPS = 0;
  static inline thread_local std::uint64_t CANDIDATES = 0;
};

// The question of one candidate pair: is the face contained in a pattern that
// is neither of the pair's own two?
class ExtVerificationCondition final : public virtual VerificationCondition {
public:
  ExtVerificationCondition(BitList const& face, BitList const& first, BitList const& second)
      : MapCondition(face), VerificationCondition(face), mFirst(&first), mSecond(&second) {}
  ExtVerificationCondition(ExtVerificationCondition const& other)
      : MapCondition(other), VerificationCondition(other), mFirst(other.mFirst),
        mSecond(other.mSecond) {}

  bool holdsOnRay(BitList const& p) const override {
    ++OPS;
    if (!p.contains(mMask) || p.wordCount() == 0)
      return false;
    return !p.sameWordsAs(*mFirst) && !p.sameWordsAs(*mSecond);
  }
  ~ExtVerificationCondition() override = default;

  const BitList* mFirst;
  const BitList* mSecond;
};

} // namespace double_description

#endif
