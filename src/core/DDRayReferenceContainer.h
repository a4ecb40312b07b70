#ifndef DD_RAYREFERENCECONTAINER_H
#define DD_RAYREFERENCECONTAINER_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/DDRayReference.h"

namespace double_description {

// An append-only list of references that keeps the union and intersection of
// their patterns and the range of their cardinalities as it is filled.
class RayReferenceContainer {
public:
  static constexpr std::uint32_t EMPTY_MIN_CARDINALITY = 0xFFFFFFFFu;

  void insert(RayReference const& reference);
  void insert(RayReference&& reference);
  // Passes of the visitor over all references, while it asks for another.
  void iterate(RayRefVisitor& visitor) const;
  std::size_t size() const { return mReferences.size(); }
  bool empty() const { return mReferences.empty(); }
  // Empties the container in place; union and intersection keep their word
  // counts with all words zero.
  void clear();

  std::vector<RayReference> mReferences;
  BitList mUnion;
  BitList mIntersection;
  std::uint32_t mMinCardinality = EMPTY_MIN_CARDINALITY;
  std::uint32_t mMaxCardinality = 0;

private:
  void account(RayReference const& reference, bool first);
};

} // namespace double_description

#endif
