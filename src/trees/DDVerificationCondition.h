#ifndef DD_VERIFICATIONCONDITION_H
#define DD_VERIFICATIONCONDITION_H

#include <cstdint>

#include "core/DDBitList.h"
#include "core/DDBitOps.h"
#include "trees/DDMapCondition.h"

namespace double_description {

// Holds on the patterns that contain the face held as mask.
class VerificationCondition : public virtual MapCondition {
public:
  explicit VerificationCondition(BitList const& face)
      : MapCondition(face), mFaceCardinality(popcount(face.words(), face.wordCount())) {}
  VerificationCondition(VerificationCondition const& other)
      : MapCondition(other), mFaceCardinality(other.mFaceCardinality) {}
  ~VerificationCondition() override = default;

  bool holdsOnFace(BitList const& x) const override {
    ++OPS;
    return isSubset(mMask.words(), x.words(), x.wordCount());
  }
  bool holdsOnFace(BitList const& x, BitList const&, BitList const&) const override {
    return holdsOnFace(x);
  }
  bool holdsOnRay(BitList const& x) const override {
    ++OPS;
    return isSubset(mMask.words(), x.words(), x.wordCount());
  }

  std::uint16_t mFaceCardinality;

  static std::uint64_t OPS;
  static std::uint64_t CANDIDATES;
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
    const std::uint64_t n = p.wordCount();
    if (!isSubset(mMask.words(), p.words(), n) || n == 0)
      return false;
    return !equalWords(p.words(), mFirst->words(), n) &&
           !equalWords(p.words(), mSecond->words(), n);
  }
  ~ExtVerificationCondition() override = default;

  const BitList* mFirst;
  const BitList* mSecond;
};

} // namespace double_description

#endif
