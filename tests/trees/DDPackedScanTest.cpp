// The scans compiled for AVX-512 answer and count exactly as the plain ones,
// and leaves with slices as those without, on images of random leaves of
// every length around the vector width and the slice chunk.

#include <algorithm>
#include <iostream>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "trees/DDPackedScan.h"

namespace {

using namespace double_description::packed_scan;

// A root over leaves of the given sizes, masks all ones, patterns random;
// with sliceMin not 0, leaves of at least sliceMin patterns get slices.
struct RandomImage {
  std::vector<std::uint64_t> nodes, patterns, slices;
  Image image;

  RandomImage(std::mt19937_64& random, std::uint32_t words, std::vector<std::uint32_t> leaves,
              std::uint32_t threshold, std::uint32_t sliceMin) {
    const std::uint64_t leafSize = HEADER + words + (sliceMin != 0 ? 1 : 0);
    nodes.assign(HEADER + words, ~std::uint64_t(0));
    std::uint32_t first = 0;
    for (std::uint32_t n : leaves) {
      const std::uint64_t at = nodes.size();
      nodes.resize(at + leafSize, ~std::uint64_t(0));
      const std::uint64_t block = patterns.size();
      patterns.resize(block + n * words);
      for (std::uint64_t i = block; i < patterns.size(); ++i)
        patterns[i] = random() & random(); // a quarter of the bits
      if (sliceMin != 0)
        nodes[at + HEADER + words] =
            n >= sliceMin ? appendSlices(slices, patterns.data() + block, n, words) : NO_SLICES;
      nodes[at] = nodes.size();
      nodes[at + 1] = first | std::uint64_t(n) << 32;
      first += n;
    }
    nodes[0] = nodes.size();
    nodes[1] = std::uint64_t(NOT_A_LEAF) << 32;
    image = {nodes.data(), nodes.size(), patterns.data(), sliceMin != 0 ? slices.data() : nullptr,
             words,        threshold,    nullptr};
  }
};

struct Verification {
  bool found;
  std::uint64_t nodes, tests;
  bool operator==(Verification const& o) const {
    return found == o.found && nodes == o.nodes && tests == o.tests;
  }
};

template <class Search>
Verification verifyWith(Search search, Image const& image, std::vector<std::uint64_t> const& face,
                        std::vector<std::uint64_t> const& first,
                        std::vector<std::uint64_t> const& second) {
  Verification v{false, 0, 0};
  v.found = search(image, face.data(), first.data(), second.data(), v.nodes, v.tests);
  return v;
}

// Every way of searching (plain or AVX-512, leaves with or without slices)
// finds the same partners and the same superset, with the same counts.
TEST(PackedScan, ScansAgreeWithAndWithoutSlicesAndVectors) {
  const bool vectors = avx512Runs();
  if (!vectors)
    std::cout << "[ SKIPPED  ] the AVX-512 leg: this processor does not run it\n";
  std::mt19937_64 random(9);
  for (std::uint32_t words : {1u, 2u, 3u, 5u})
    for (int trial = 0; trial < 40; ++trial) {
      std::vector<std::uint32_t> leaves;
      for (int l = 0; l < 6; ++l)
        leaves.push_back(static_cast<std::uint32_t>(random() % (l == 2 ? 1200 : 140)));
      const std::uint32_t threshold = static_cast<std::uint32_t>(random() % (10 * words));
      const std::uint32_t sliceMin = 1 + static_cast<std::uint32_t>(random() % 100);
      std::mt19937_64 same = random;
      RandomImage tree(random, words, leaves, threshold, 0);
      RandomImage sliced(same, words, leaves, threshold, sliceMin);
      std::vector<std::uint64_t> query(words);
      for (auto& q : query)
        q = random() | random();
      std::vector<std::uint32_t> plain(4000), other(4000);
      std::uint64_t plainVisits = 0, otherVisits = 0;
      const std::uint32_t n = narrow(tree.image, query.data(), plain.data(), plainVisits);
      plain.resize(n);
      for (Image const* image : {&tree.image, &sliced.image})
        for (auto search : {narrow, narrowAvx512}) {
          if (search == narrowAvx512 && !vectors)
            continue;
          other.assign(4000, 0);
          ASSERT_EQ(search(*image, query.data(), other.data(), otherVisits), n);
          ASSERT_EQ(otherVisits, plainVisits);
          other.resize(n);
          ASSERT_EQ(other, plain);
        }

      // Faces of a few bits are contained in many patterns; excluding the
      // first hits makes the search go on.
      std::vector<std::uint64_t> face(words);
      for (auto& f : face)
        f = random() & random() & random() & random();
      std::vector<std::uint64_t> first(words, 0), second(words, 0);
      const std::uint64_t* leaf = tree.patterns.data();
      for (std::uint32_t x = 0; x < words && leaves[0] > 0; ++x)
        first[x] = leaf[x * leaves[0]];
      const Verification expected = verifyWith(verify, tree.image, face, first, second);
      ASSERT_TRUE(verifyWith(verify, sliced.image, face, first, second) == expected);
      if (vectors) {
        ASSERT_TRUE(verifyWith(verifyAvx512, tree.image, face, first, second) == expected);
        ASSERT_TRUE(verifyWith(verifyAvx512, sliced.image, face, first, second) == expected);
      }
    }
}

// Leaves of the given patterns (each its list of bit positions) under a root,
// every node's mask the union of its patterns, and the patterns' row index.
struct IndexedImage {
  std::vector<std::uint64_t> nodes, patterns;
  RowIndex rows;
  Image image;

  IndexedImage(std::uint32_t words,
               std::vector<std::vector<std::vector<std::uint32_t>>> const& leaves,
               std::uint32_t threshold) {
    std::vector<std::vector<std::uint32_t>> lists(64 * words);
    nodes.assign(HEADER + words, 0);
    std::uint32_t first = 0;
    for (auto const& leaf : leaves) {
      const std::uint64_t at = nodes.size();
      const auto n = static_cast<std::uint32_t>(leaf.size());
      nodes.resize(at + HEADER + words, 0);
      patterns.resize(patterns.size() + n * words);
      std::uint64_t* block = patterns.data() + std::uint64_t(first) * words;
      for (std::uint32_t k = 0; k < n; ++k)
        for (std::uint32_t c : leaf[k]) {
          const std::uint64_t bit = std::uint64_t(1) << (c % 64);
          if ((block[c / 64 * n + k] & bit) == 0)
            lists[c].push_back(first + k);
          block[c / 64 * n + k] |= bit;
          nodes[at + HEADER + c / 64] |= bit;
          nodes[HEADER + c / 64] |= bit;
        }
      nodes[at] = nodes.size();
      nodes[at + 1] = first | std::uint64_t(n) << 32;
      first += n;
    }
    nodes[0] = nodes.size();
    nodes[1] = std::uint64_t(NOT_A_LEAF) << 32;
    rows.patterns = first;
    rows.rowStarts.push_back(0);
    for (auto const& list : lists) {
      rows.byRow.insert(rows.byRow.end(), list.begin(), list.end());
      rows.rowStarts.push_back(static_cast<std::uint32_t>(rows.byRow.size()));
    }
    image = {nodes.data(), nodes.size(), patterns.data(), nullptr, words, threshold, &rows};
  }
};

// The partners and visits of query in image, with and without its row index,
// by every search this processor runs, agree.
void expectIndexedAsScanned(Image const& image, std::uint32_t patterns,
                            std::vector<std::uint64_t> const& query) {
  Image plainImage = image;
  plainImage.rows = nullptr;
  std::vector<std::uint32_t> expected(patterns), got(patterns);
  std::uint64_t expectedVisits = 0, visits = 0;
  expected.resize(narrow(plainImage, query.data(), expected.data(), expectedVisits));
  for (auto search : {narrow, narrowAvx512}) {
    if (search == narrowAvx512 && !avx512Runs())
      continue;
    got.assign(patterns, 0);
    got.resize(search(image, query.data(), got.data(), visits));
    ASSERT_EQ(got, expected);
    ASSERT_EQ(visits, expectedVisits);
  }
}

// With a row index, whether the search reads it or scans the leaves, tests
// a leaf's candidates one by one or scans the leaf, it finds what the leaf
// scans find without the index, in the same order, with the same counts:
// for queries of rare bits (short lists, few candidates in large leaves),
// of common bits (many candidates), of too few bits and of many.
TEST(PackedScan, IndexedImagesFindWhatTheLeafScansFind) {
  std::mt19937_64 random(23);
  for (std::uint32_t words : {1u, 3u, 8u})
    for (std::uint32_t threshold : {1u, 2u, 3u})
      for (int trial = 0; trial < 8; ++trial) {
        // A few common bits and many rare ones: the rare bits' lists are short.
        const auto bit = [&]() {
          return static_cast<std::uint32_t>(random() % 4 == 0 ? random() % 6
                                                              : random() % (64 * words));
        };
        std::vector<std::uint32_t> sizes = {0, 1, 2, 64, 65, 3000};
        for (int l = 0; l < 6; ++l)
          sizes.push_back(static_cast<std::uint32_t>(random() % 200));
        std::shuffle(sizes.begin(), sizes.end(), random);
        std::vector<std::vector<std::vector<std::uint32_t>>> leaves;
        std::uint32_t patterns = 0;
        for (std::uint32_t n : sizes) {
          leaves.emplace_back(n);
          for (auto& pattern : leaves.back())
            for (std::uint64_t b = 1 + random() % 4; b-- > 0;)
              pattern.push_back(bit());
          patterns += n;
        }
        const IndexedImage tree(words, leaves, threshold);
        for (std::uint32_t bits : {1u, 2u, 3u, 4u, 6u, 40u}) {
          std::vector<std::uint64_t> query(words);
          for (std::uint32_t b = 0; b < bits; ++b) {
            const std::uint32_t c = b == 0 && trial % 2 == 0 ? bit() % 6 : bit();
            query[c / 64] |= std::uint64_t(1) << (c % 64);
          }
          SCOPED_TRACE("words " + std::to_string(words) + " threshold " +
                       std::to_string(threshold) + " bits " + std::to_string(bits));
          expectIndexedAsScanned(tree.image, patterns, query);
        }
      }
  // The rarest list's patterns lie in a leaf that fails, before one that
  // passes: tested as the passing leaf's, they would share bits of other
  // patterns.
  const std::vector<std::vector<std::uint32_t>> failing(4, {70, 100});
  std::vector<std::vector<std::uint32_t>> passing(2992, {120});
  passing.resize(3000, {1, 2});
  const IndexedImage tree(2, {failing, passing}, 2);
  expectIndexedAsScanned(tree.image, 3004, {0b110, 1u << 6});
}

} // namespace
