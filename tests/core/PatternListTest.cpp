#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "core/DDBitList.h"
#include "core/DDPatternList.h"

using namespace double_description;

namespace {
BitList listOf(unsigned long words, std::initializer_list<unsigned> bits) {
  BitList list(words);
  for (unsigned b : bits)
    list.set(b);
  return list;
}

// The subset scan over patterns of two words: the first pattern inside the
// set wins, also when a later one fits too.
TEST(PatternList, SubsetScanFindsTheFirstFittingPattern) {
  PatternList list(2);
  EXPECT_EQ(list.findSubsetOf(listOf(2, {0, 1})), 0u) << "empty list";
  list.append(listOf(2, {0, 70}));
  list.append(listOf(2, {1}));
  list.append(BitList(2));
  list.append(listOf(2, {0}));
  ASSERT_EQ(list.size(), 4u);
  struct Case {
    std::initializer_list<unsigned> set;
    std::uint64_t found;
  } cases[] = {
      {{0, 70, 100}, 0},
      {{0, 1}, 1},
      {{0}, 2},
      {{}, 2},
  };
  for (Case const& c : cases)
    EXPECT_EQ(list.findSubsetOf(listOf(2, c.set)), c.found);
  PatternList full(1);
  full.append(listOf(1, {2}));
  EXPECT_EQ(full.findSubsetOf(listOf(1, {3})), full.size());
}

// Compaction keeps the order of the kept patterns and asks about each
// pattern once, in order.
TEST(PatternList, RetainKeepsOrderAndVisitsEachPatternOnce) {
  PatternList list(3);
  for (unsigned i = 0; i < 6; ++i)
    list.append(listOf(3, {i, 64 + i, 130 + i}));
  std::vector<std::uint64_t> asked;
  list.retain([&](std::uint64_t i) {
    asked.push_back(i);
    return i % 3 != 0;
  });
  EXPECT_EQ(asked, (std::vector<std::uint64_t>{0, 1, 2, 3, 4, 5}));
  ASSERT_EQ(list.size(), 4u);
  const unsigned kept[] = {1, 2, 4, 5};
  for (unsigned j = 0; j < 4; ++j)
    EXPECT_TRUE(list.equals(j, listOf(3, {kept[j], 64 + kept[j], 130 + kept[j]}))) << j;
  EXPECT_EQ(list.findSubsetOf(listOf(3, {4, 68, 134})), 2u);
  list.retain([](std::uint64_t) { return false; });
  EXPECT_EQ(list.size(), 0u);
}
} // namespace
