#ifndef DD_FACEBATCH_H
#define DD_FACEBATCH_H

#include <cstdint>
#include <vector>

#include "core/DDAssert.h"
#include "core/DDBitList.h"
#include "core/DDRayReference.h"
#include "trees/DDPackedScan.h"

namespace double_description {

// The candidate faces of one query, gathered to be verified together by
// PackedTree::verifyFaces, with their stored partners in candidate order.
class FaceBatch {
public:
  static constexpr std::uint32_t CAPACITY = packed_scan::FACE_BATCH;

  // Empty, for faces of words words.
  explicit FaceBatch(std::uint64_t words)
      : mWords(words), mFaces(CAPACITY * words), mByWord(CAPACITY * words) {}

  // Adds the face of the pair of stored and the query; the first words of
  // face are read.
  void add(RayReference const& stored, BitList const& face) {
    DD_ASSERT(mStored.size() < CAPACITY && face.wordCount() >= mWords);
    const std::uint64_t j = mStored.size();
    for (std::uint64_t x = 0; x < mWords; ++x) {
      mFaces[j * mWords + x] = face.words()[x];
      mByWord[x * CAPACITY + j] = face.words()[x];
    }
    mStored.push_back(&stored);
    mFirsts.push_back(stored.bits().words());
  }
  void clear() {
    mStored.clear();
    mFirsts.clear();
  }

  std::uint64_t words() const { return mWords; }
  std::uint32_t size() const { return static_cast<std::uint32_t>(mStored.size()); }
  bool full() const { return mStored.size() == CAPACITY; }
  RayReference const& stored(std::uint32_t j) const { return *mStored[j]; }

  // The batch for the searches, second the query's pattern, without room
  // for the search's levels.
  packed_scan::Faces faces(BitList const& second) const {
    return {mFaces.data(), mByWord.data(), mFirsts.data(), second.words(), size(), nullptr, 0};
  }

private:
  std::uint64_t mWords;
  std::vector<std::uint64_t> mFaces;
  std::vector<std::uint64_t> mByWord;
  std::vector<RayReference const*> mStored;
  std::vector<std::uint64_t const*> mFirsts;
};

} // namespace double_description

#endif
