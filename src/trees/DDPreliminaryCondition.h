#ifndef DD_PRELIMINARYCONDITION_H
#define DD_PRELIMINARYCONDITION_H

#include <cstdint>
#include <string>

#include "core/DDBitList.h"
#include "trees/DDMapCondition.h"

namespace double_description {

// Narrowing condition of a plain tree node: a pattern can be a partner of the
// node's subtree only if it shares at least mThreshold bits with the mask.
class PreliminaryCondition : public virtual MapCondition {
public:
  PreliminaryCondition() : MapCondition(), mThreshold(1) {}
  PreliminaryCondition(BitList const& mask, unsigned int threshold)
      : MapCondition(mask), mThreshold(threshold) {}
  PreliminaryCondition(PreliminaryCondition const& other)
      : MapCondition(other), mThreshold(other.mThreshold) {}
  ~PreliminaryCondition() override = default;

  bool holdsOnFace(BitList const& x) const override { return sharesThreshold(x); }
  bool holdsOnFace(BitList const& x, BitList const&, BitList const&) const override {
    return holdsOnFace(x);
  }
  bool holdsOnRay(BitList const& x) const override { return sharesThreshold(x); }
  virtual std::string toString() const;

  // The threshold test without dispatch, for the searches.
  bool sharesThreshold(BitList const& x) const { return mMask.countAnd(x) >= mThreshold; }

  std::uint32_t mThreshold;

  // Holds on no list: one zero word, threshold 1.
  static const PreliminaryCondition TRIVIAL_FAIL;
  // Counted per thread: a step that searches on several threads adds their
  // counts up when they are done. Defined inline with a constant initialiser
  // so that no access goes through a TLS wrapper call.
  static inline thread_local std::uint64_t NARROWING_OPS = 0;
  static inline thread_local std::uint64_t VERIFICATION_OPS = 0;
};

} // namespace double_description

#endif
