#ifndef DD_PATTERNBLOCK_H
#define DD_PATTERNBLOCK_H

#include <cstdint>
#include <memory>

#include "core/DDAssert.h"
#include "core/DDBitList.h"
#include "core/DDBitOps.h"

namespace double_description {

// Bit patterns of one word count stored back to back, so that the scans of
// the tree leaves, the innermost loops of every step, run over one array
// instead of one heap block per pattern.
class PatternBlock {
public:
  PatternBlock() = default;

  // Packs the patterns pattern(i), i < count. Patterns of differing word
  // counts cannot be packed: the block stays empty and false is returned.
  template <class Pattern> bool pack(std::uint64_t count, Pattern&& pattern) {
    mSize = 0;
    mWordCount = 0;
    mWords.reset();
    if (count == 0)
      return false;
    const std::uint64_t words = pattern(0).wordCount();
    for (std::uint64_t i = 1; i < count; ++i)
      if (pattern(i).wordCount() != words)
        return false;
    mWords.reset(new std::uint64_t[count * words]);
    for (std::uint64_t i = 0; i < count; ++i) {
      BitList const& p = pattern(i);
      for (std::uint64_t w = 0; w < words; ++w)
        mWords[i * words + w] = p.words()[w];
    }
    mSize = count;
    mWordCount = words;
    return true;
  }

  std::uint64_t size() const { return mSize; }
  std::uint64_t wordCount() const { return mWordCount; }

  // found(i) for every pattern i that shares at least threshold bits with
  // the query, in order. The query has the block's word count.
  template <class F>
  void forEachSharing(BitList const& query, std::uint32_t threshold, F&& found) const {
    DD_ASSERT(query.wordCount() == mWordCount);
    const std::uint64_t words = mWordCount;
    const std::uint64_t* q = query.words();
    const std::uint64_t* p = mWords.get();
    for (std::uint64_t i = 0; i < mSize; ++i, p += words)
      if (popcountAnd(p, q, words) >= threshold)
        found(i);
  }

  // The first pattern that contains face and whose words differ from both
  // first and second, or size() when there is none. All three lists have at
  // least the block's word count.
  std::uint64_t findSupersetExcept(BitList const& face, BitList const& first,
                                   BitList const& second) const {
    const std::uint64_t words = mWordCount;
    const std::uint64_t* f = face.words();
    const std::uint64_t* p = mWords.get();
    for (std::uint64_t i = 0; i < mSize; ++i, p += words) {
      // Every word at once: a branch per word mispredicts more than it saves.
      std::uint64_t missing = 0;
      for (std::uint64_t w = 0; w < words; ++w)
        missing |= f[w] & ~p[w];
      if (missing == 0 && !equalWords(p, first.words(), words) &&
          !equalWords(p, second.words(), words))
        return i;
    }
    return mSize;
  }

private:
  std::unique_ptr<std::uint64_t[]> mWords;
  std::uint64_t mSize = 0;
  std::uint64_t mWordCount = 0;
};

} // namespace double_description

#endif
