#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "core/DDBitList.h"
#include "core/DDBitOps.h"
#include "core/DDBitRegister.h"

using namespace double_description;

namespace {
constexpr std::uint64_t ALL = ~std::uint64_t(0);

BitList listOf(unsigned long words, std::initializer_list<unsigned> bits) {
  BitList list(words);
  for (unsigned b : bits)
    setBit(list.words(), b);
  return list;
}
} // namespace

TEST(BitList, ConstructorsAndText) {
  EXPECT_EQ(BitList().toString(), std::string(64, '0'));
  EXPECT_EQ(BitList().wordCount(), 1u);
  EXPECT_EQ(BitList(2, ALL).toString(), std::string(128, '1'));
  EXPECT_EQ(BitList(3).toString(), std::string(192, '0'));

  BitList list = listOf(2, {1, 64});
  EXPECT_EQ(list.toString(3), "010");
  EXPECT_EQ(list.toString(0), "");
  std::string expected(128, '0');
  expected[1] = expected[64] = '1';
  EXPECT_EQ(list.toString(), expected);
}

TEST(BitList, TextOfVeryLongListRendersEveryBit) {
  // 1,024 words: 65,536 bits, one more than a 16-bit count holds.
  BitList list = listOf(1024, {0, 65535});
  const std::string text = list.toString();
  ASSERT_EQ(text.size(), 65536u);
  EXPECT_EQ(text.front(), '1');
  EXPECT_EQ(text.back(), '1');
  EXPECT_EQ(text.find('1', 1), 65535u);
}

TEST(BitList, ResizeKeepsLeadingWords) {
  // Growing and shrinking across the inline/heap boundary.
  struct Case {
    unsigned long from, to;
  } cases[] = {{1, 3}, {3, 1}, {2, 5}, {5, 2}, {4, 6}, {6, 4}, {1, 2}, {2, 1}, {3, 3}};
  for (const Case& c : cases) {
    BitList list(c.from, ALL);
    list.resize(c.to);
    ASSERT_EQ(list.wordCount(), c.to);
    for (unsigned long i = 0; i < c.to; ++i)
      EXPECT_EQ(list.words()[i], i < c.from ? ALL : 0u) << c.from << "->" << c.to << " word " << i;
  }
}

TEST(BitList, CopyMoveAndAssignAcrossSizes) {
  for (unsigned long target : {1ul, 2ul, 3ul, 4ul}) {
    for (unsigned long source : {1ul, 2ul, 3ul, 4ul}) {
      BitList src(source);
      for (unsigned long i = 0; i < source; ++i)
        src.words()[i] = 0x1234 + i;
      BitList dst(target, ALL);
      dst = src;
      ASSERT_EQ(dst.wordCount(), source);
      EXPECT_TRUE(equalWords(dst.words(), src.words(), source));

      BitList copy(src);
      EXPECT_TRUE(equalWords(copy.words(), src.words(), source));
      copy.words()[0] = 7;
      EXPECT_EQ(src.words()[0], 0x1234u) << "copies must not share words";

      BitList moved(std::move(copy));
      EXPECT_EQ(moved.wordCount(), source);
      EXPECT_EQ(moved.words()[0], 7u);

      BitList moveAssigned(target, ALL);
      moveAssigned = std::move(moved);
      EXPECT_EQ(moveAssigned.wordCount(), source);
      EXPECT_EQ(moveAssigned.words()[0], 7u);
      if (source > 1) {
        EXPECT_EQ(moveAssigned.words()[source - 1], 0x1234u + source - 1);
      }
    }
  }
  BitList self = listOf(3, {5, 130});
  const BitList& alias = self;
  self = alias;
  EXPECT_EQ(self.wordCount(), 3u);
  EXPECT_TRUE(testBit(self.words(), 130));
}

TEST(BitList, EqualSizeAssignmentKeepsStorage) {
  BitList a(5), b(5, ALL);
  const std::uint64_t* storage = a.words();
  a = b;
  EXPECT_EQ(a.words(), storage);
}

TEST(BitList, Difference) {
  BitList d = listOf(2, {1, 5, 70}) - listOf(2, {5, 6});
  EXPECT_EQ(d.wordCount(), 2u);
  EXPECT_TRUE(equalWords(d.words(), listOf(2, {1, 70}).words(), 2));
}

TEST(BitRegister, DefaultAndResize) {
  BitRegister r;
  EXPECT_EQ(r.wordCount(), 1u);
  EXPECT_EQ(r.words()[0], 0u);
  r.words()[0] = 9;
  r.resize(4);
  EXPECT_EQ(r.wordCount(), 4u);
  EXPECT_EQ(r.words()[0], 9u);
  EXPECT_EQ(r.words()[3], 0u);
  EXPECT_EQ(BitRegister(3).toString(), std::string(192, '0'));
}

TEST(BitOps, WordOperations) {
  BitList a = listOf(3, {0, 63, 64, 150});
  BitList b = listOf(3, {0, 64, 65, 150, 191});
  EXPECT_EQ(popcount(a.words(), 3), 4u);
  EXPECT_EQ(popcountAnd(a.words(), b.words(), 3), 3u);
  EXPECT_EQ(popcountAndNot(a.words(), b.words(), 3), 1u);
  EXPECT_EQ(popcountAndNot(b.words(), a.words(), 3), 2u);
  EXPECT_FALSE(isSubset(a.words(), b.words(), 3));
  BitList c = listOf(3, {0, 150});
  EXPECT_TRUE(isSubset(c.words(), a.words(), 3));
  EXPECT_TRUE(isSubset(c.words(), b.words(), 3));
  EXPECT_FALSE(equalWords(a.words(), b.words(), 3));
  EXPECT_TRUE(equalWords(a.words(), BitList(a).words(), 3));
  EXPECT_TRUE(testBit(a.words(), 63));
  EXPECT_FALSE(testBit(a.words(), 62));
  clearBit(a.words(), 63);
  EXPECT_FALSE(testBit(a.words(), 63));
  EXPECT_EQ(popcount(BitList(4, ALL).words(), 4), 256u);
}

// The set operations against the same word operations, on lists of one to
// four words, across word boundaries.
TEST(BitList, SetOperationsAgreeWithTheWordOperations) {
  for (unsigned long words : {1ul, 2ul, 3ul, 4ul}) {
    const unsigned last = static_cast<unsigned>(64 * words - 1);
    const BitList a = listOf(words, {0, 5, 62, last});
    const BitList b = listOf(words, {5, 6, last});
    SCOPED_TRACE(words);
    EXPECT_EQ(a.count(), 4u);
    EXPECT_EQ(a.countAnd(b), 2u);
    EXPECT_EQ(a.countAndNot(b), 2u);
    EXPECT_EQ(b.countOutside(a), 2u);
    EXPECT_FALSE(a.isSubsetOf(b));
    EXPECT_TRUE(listOf(words, {5, last}).isSubsetOf(a));
    EXPECT_TRUE(a.contains(listOf(words, {5, last})));
    EXPECT_FALSE(b.contains(a));
    EXPECT_TRUE(a.sameWordsAs(BitList(a)));
    EXPECT_FALSE(a.sameWordsAs(b));
    EXPECT_TRUE(a == BitList(a));
    EXPECT_TRUE(a != b);

    BitList meet = a;
    meet &= b;
    EXPECT_EQ(meet, listOf(words, {5, last}));
    BitList join = a;
    join |= b;
    EXPECT_EQ(join, listOf(words, {0, 5, 6, 62, last}));
    BitList rest = a;
    rest.andNot(b);
    EXPECT_EQ(rest, listOf(words, {0, 62}));
    BitList product(1);
    product.assignAnd(a, b);
    EXPECT_EQ(product, meet);

    std::vector<std::uint64_t> seen;
    a.forEachSetBit([&](std::uint64_t k) { seen.push_back(k); });
    EXPECT_EQ(seen, (std::vector<std::uint64_t>{0, 5, 62, last}));
    EXPECT_FALSE(a.none());
    BitList cleared = a;
    cleared.clear();
    EXPECT_TRUE(cleared.none());
    EXPECT_EQ(cleared.wordCount(), words);
    cleared.set(last);
    EXPECT_TRUE(cleared.test(last));
    cleared.reset(last);
    EXPECT_TRUE(cleared.none());
  }
  // Lists of different lengths are not equal, whatever their words.
  EXPECT_FALSE(BitList(1) == BitList(2));
}

TEST(BitList, FirstBitsAndWordCounts) {
  for (unsigned bits : {0u, 1u, 63u, 64u, 65u, 127u, 128u, 130u}) {
    BitList list(3, ALL);
    list.setFirst(bits);
    EXPECT_EQ(list.count(), bits) << bits;
    EXPECT_EQ(list.test(bits == 0 ? 0 : bits - 1), bits != 0) << bits;
    EXPECT_TRUE(list.noneFrom(bits)) << bits;
    if (bits > 0) {
      EXPECT_FALSE(list.noneFrom(bits - 1)) << bits;
    }
  }
  EXPECT_EQ(BitList::wordsFor(0), 1u);
  EXPECT_EQ(BitList::wordsFor(1), 1u);
  EXPECT_EQ(BitList::wordsFor(64), 1u);
  EXPECT_EQ(BitList::wordsFor(65), 2u);
  EXPECT_EQ(BitList::wordsFor(65535), 1024u);
}

// The searches on lists of one to three words, with bits at word edges; a
// cursor loop that clears bits ahead of itself sees each cleared bit gone.
TEST(BitList, SearchesFindTheNextTheLastAndTheFirstCommonBit) {
  const BitList a = listOf(3, {0, 63, 64, 130});
  EXPECT_EQ(a.findNext(0), 0u);
  EXPECT_EQ(a.findNext(1), 63u);
  EXPECT_EQ(a.findNext(64), 64u);
  EXPECT_EQ(a.findNext(65), 130u);
  EXPECT_EQ(a.findNext(131), BitList::NO_BIT);
  EXPECT_EQ(a.findNext(500), BitList::NO_BIT);
  EXPECT_EQ(a.findLast(), 130u);
  EXPECT_EQ(listOf(3, {63}).findLast(), 63u);
  EXPECT_EQ(BitList(3).findLast(), BitList::NO_BIT);
  EXPECT_EQ(BitList(3).findNext(0), BitList::NO_BIT);
  EXPECT_EQ(listOf(1, {63}).findNext(63), 63u);

  EXPECT_EQ(a.findFirstAnd(listOf(3, {1, 64, 130})), 64u);
  EXPECT_EQ(a.findFirstAnd(listOf(3, {130, 191})), 130u);
  EXPECT_EQ(a.findFirstAnd(listOf(3, {1, 65})), BitList::NO_BIT);

  BitList pending = listOf(2, {3, 5, 64, 70, 127});
  std::vector<std::uint64_t> seen;
  for (std::uint64_t k = pending.findNext(0); k != BitList::NO_BIT; k = pending.findNext(k + 1)) {
    seen.push_back(k);
    pending.reset(70); // ahead of the cursor, or already passed
  }
  EXPECT_EQ(seen, (std::vector<std::uint64_t>{3, 5, 64, 127}));
}

// One pass computes several set expressions; each output sees the input
// words of its own index only, and the inputs stay as they were.
TEST(BitList, ForEachWordComputesSeveralSetsInOnePass) {
  for (unsigned long words : {1ul, 3ul}) {
    const unsigned last = static_cast<unsigned>(64 * words - 1);
    const BitList a = listOf(words, {0, 5, 62, last});
    const BitList b = listOf(words, {5, 6, last});
    BitList meet(words, ALL), rest(words, ALL);
    BitList::forEachWord(
        [](std::uint64_t& m, std::uint64_t& r, std::uint64_t x, std::uint64_t y) {
          m = x & y;
          r = x & ~y;
        },
        meet, rest, a, b);
    EXPECT_EQ(meet, listOf(words, {5, last})) << words;
    EXPECT_EQ(rest, listOf(words, {0, 62})) << words;
    EXPECT_EQ(a, listOf(words, {0, 5, 62, last}));
  }
}
