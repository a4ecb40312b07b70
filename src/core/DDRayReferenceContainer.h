#ifndef DD_RAYREFERENCECONTAINER_H
#define DD_RAYREFERENCECONTAINER_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/DDRayReference.h"

namespace double_description {

// An append-only list of references that keeps the union and intersection of
// their patterns and the range of their cardinalities as it is filled.
// Inserting costs the nonzero words of the reference's pattern, not the
// pattern's length: trees re-insert every reference once per level, and the
// patterns of many rows are mostly zero words.
class RayReferenceContainer {
public:
  static constexpr std::uint32_t EMPTY_MIN_CARDINALITY = 0xFFFFFFFFu;

  void insert(RayReference const& reference);
  void insert(RayReference&& reference);
  // Room for count references without reallocation.
  void reserve(std::size_t count) { mReferences.reserve(count); }
  // Passes of the visitor over all references, while it asks for another.
  void iterate(RayRefVisitor& visitor) const;
  std::size_t size() const { return mReferences.size(); }
  bool empty() const { return mReferences.empty(); }
  // Empties the container in place; union and intersection keep their word
  // counts with all words zero.
  void clear();

  std::vector<RayReference> mReferences;
  // Read-only outside the container, which keeps track of their nonzero words.
  BitList mUnion;
  BitList mIntersection;
  std::uint32_t mMinCardinality = EMPTY_MIN_CARDINALITY;
  std::uint32_t mMaxCardinality = 0;

private:
  void account(RayReference const& reference);
  // Gives union and intersection n words, as the references' patterns have.
  void resizeTo(std::uint64_t n);

  // Every nonzero word of mUnion lies in [mUnionFirst, mUnionEnd), every
  // one of mIntersection in [mIntersectionFirst, mIntersectionEnd); an empty
  // range is [0, 0).
  std::uint32_t mUnionFirst = 0;
  std::uint32_t mUnionEnd = 0;
  std::uint32_t mIntersectionFirst = 0;
  std::uint32_t mIntersectionEnd = 0;
};

} // namespace double_description

#endif
