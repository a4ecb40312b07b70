#ifndef DD_MAPCONDITION_H
#define DD_MAPCONDITION_H

#include "core/DDBitList.h"

namespace double_description {

// A test applied to patterns while a tree is searched. Always inherited
// virtually, so a condition that is both a narrowing and a verification test
// keeps one mask.
class MapCondition {
public:
  MapCondition() = default;
  explicit MapCondition(BitList const& mask) : mMask(mask) {}
  MapCondition(MapCondition const&) = default;
  virtual ~MapCondition() = default;

  virtual bool holdsOnRay(BitList const& x) const = 0;
  virtual bool holdsOnFace(BitList const& x) const = 0;
  virtual bool holdsOnFace(BitList const& x, BitList const& y, BitList const& z) const = 0;

  BitList mMask;
};

} // namespace double_description

#endif
