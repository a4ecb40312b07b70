#ifndef DD_PATTERNLIST_H
#define DD_PATTERNLIST_H

#include <algorithm>
#include <cstdint>
#include <vector>

#include "core/DDAssert.h"
#include "core/DDBitList.h"
#include "core/DDBitOps.h"

namespace double_description {

// Bit patterns of one word count appended back to back: a list that grows
// and shrinks, where PatternBlock is packed once. Its subset scan runs over
// one array instead of one heap block per pattern.
class PatternList {
public:
  explicit PatternList(std::uint64_t wordCount) : mWordCount(wordCount) {
    DD_ASSERT(wordCount > 0);
  }

  std::uint64_t size() const { return mSize; }
  std::uint64_t wordCount() const { return mWordCount; }

  void append(BitList const& pattern) {
    DD_ASSERT(pattern.wordCount() == mWordCount);
    mWords.insert(mWords.end(), pattern.words(), pattern.words() + mWordCount);
    ++mSize;
  }

  // Pattern i has the words of other.
  bool equals(std::uint64_t i, BitList const& other) const {
    DD_ASSERT(i < size() && other.wordCount() == mWordCount);
    return equalWords(mWords.data() + i * mWordCount, other.words(), mWordCount);
  }

  // The first pattern that is a subset of set, or size() when there is none.
  // set has at least the list's word count.
  std::uint64_t findSubsetOf(BitList const& set) const {
    DD_ASSERT(set.wordCount() >= mWordCount);
    const std::uint64_t words = mWordCount;
    const std::uint64_t* s = set.words();
    const std::uint64_t* p = mWords.data();
    const std::uint64_t* end = p + mWords.size();
    for (std::uint64_t i = 0; p < end; p += words, ++i)
      if (isSubset(p, s, words))
        return i;
    return mSize;
  }

  // Keeps the patterns i with keep(i), in their order. keep is called once
  // for every pattern, in increasing order, so it may compact lists kept
  // parallel to this one.
  template <class Keep> void retain(Keep&& keep) {
    const std::uint64_t words = mWordCount;
    const std::uint64_t count = mSize;
    std::uint64_t kept = 0;
    for (std::uint64_t i = 0; i < count; ++i) {
      if (!keep(i))
        continue;
      if (kept != i)
        std::copy(mWords.begin() + i * words, mWords.begin() + (i + 1) * words,
                  mWords.begin() + kept * words);
      ++kept;
    }
    mWords.resize(kept * words);
    mSize = kept;
  }

private:
  std::uint64_t mWordCount;
  std::uint64_t mSize = 0;
  std::vector<std::uint64_t> mWords;
};

} // namespace double_description

#endif
