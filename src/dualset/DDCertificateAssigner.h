#ifndef DD_CERTIFICATEASSIGNER_H
#define DD_CERTIFICATEASSIGNER_H

#include "core/DDBitList.h"
#include "dualset/DDDualSetRay.h"
#include "dualset/DDLinearDependenceCache.h"

#include <cstdint>
#include <utility>
#include <vector>

namespace double_description {

// A parent of a new ray, with its primary rows outside the pair's face as a
// mask over its own primary rows: its certificate for a face row fits the new
// ray exactly when its support misses them.
struct CertificateParent {
  DualSetRay const* mRay;
  std::uint64_t const* mFree;
};

// Gives a new dual-set ray its secondary rows and their certificates with
// their support masks, working on the store as one ray's construction.
// Without counted references the ray counts them itself later
// (DualSetRay::countReferences), as rays built on several threads must.
class CertificateAssigner {
public:
  CertificateAssigner(LinearDependenceCache& store, unsigned rowCount, unsigned d,
                      bool countReferences = true);
  CertificateAssigner(CertificateAssigner const&) = delete;
  CertificateAssigner& operator=(CertificateAssigner const&) = delete;

  // The face rows of spare, secondary in both parents and all within the
  // words [spareWords.first, spareWords.second) outside of which neither
  // parent has zero rows, take the positive parent's certificate where it
  // fits the ray's primary set, else the negative parent's, else the
  // store's; the later zero rows (after every face row, in increasing order)
  // take the store's.
  void assign(DualSetRay& ray, BitList const& spare,
              std::pair<std::uint64_t, std::uint64_t> spareWords, CertificateParent const& positive,
              CertificateParent const& negative, std::vector<unsigned> const& later);

private:
  struct Item {
    std::uint32_t mRow;
    LinearDependenceEntry* mEntry;
    // The mask is still to be read from the entry's support.
    bool mFromSupport;
  };

  // Primary index, in the new ray, of each row of its primary set.
  void indexPrimary(DualSetRay const& ray);
  // The new ray's primary index of each primary index of parent, or NONE.
  void translate(DualSetRay const& ray, DualSetRay const& parent, std::vector<std::uint16_t>& out);
  // Appends a row whose certificate comes from the store.
  void addFromStore(DualSetRay const& ray, unsigned r);

  static constexpr std::uint16_t NONE = 0xFFFF;

  LinearDependenceCache* mStore;
  unsigned mMaskWords;
  bool mCountReferences;
  std::vector<std::uint16_t> mIndexOf;
  std::vector<std::uint16_t> mPositiveIndex;
  std::vector<std::uint16_t> mNegativeIndex;
  std::vector<Item> mItems;
  std::vector<std::uint64_t> mMasks;
  // The folded primary set of the ray being assigned, for the store.
  std::uint64_t mSignature = 0;
};

} // namespace double_description

#endif
