// The scans compiled for AVX-512 answer and count exactly as the plain ones,
// and leaves with slices as those without, on images of random leaves of
// every length around the vector width and the slice chunk.

#include <iostream>
#include <random>
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
          ASSERT_EQ(search(*image, query.data(), other.data(), otherVisits, NOT_INDEXED), n);
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

} // namespace
