// The scans compiled for AVX-512 answer and count exactly as the plain ones,
// on images of random leaves of every length around the vector width.

#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "trees/DDPackedScan.h"

namespace {

using namespace double_description::packed_scan;

// A root over leaves of the given sizes, masks all ones, patterns random.
struct RandomImage {
  std::vector<std::uint64_t> nodes;
  Image image;

  RandomImage(std::mt19937_64& random, std::uint32_t words, std::vector<std::uint32_t> leaves,
              std::uint32_t threshold) {
    nodes.assign(HEADER + words, ~std::uint64_t(0));
    std::uint32_t first = 0;
    for (std::uint32_t n : leaves) {
      const std::uint64_t at = nodes.size();
      nodes.resize(at + HEADER + words + n * words, ~std::uint64_t(0));
      for (std::uint64_t i = at + HEADER + words; i < nodes.size(); ++i)
        nodes[i] = random() & random(); // a quarter of the bits
      nodes[at] = nodes.size();
      nodes[at + 1] = first | std::uint64_t(n) << 32;
      first += n;
    }
    nodes[0] = nodes.size();
    nodes[1] = std::uint64_t(NOT_A_LEAF) << 32;
    image = {nodes.data(), nodes.size(), words, threshold};
  }
};

TEST(PackedScan, VectorScansAgreeWithPlainOnes) {
  if (!avx512Runs())
    GTEST_SKIP() << "no AVX-512 here";
  std::mt19937_64 random(9);
  for (std::uint32_t words : {1u, 2u, 3u, 5u})
    for (int trial = 0; trial < 40; ++trial) {
      std::vector<std::uint32_t> leaves;
      for (int l = 0; l < 6; ++l)
        leaves.push_back(static_cast<std::uint32_t>(random() % 140));
      const std::uint32_t threshold = static_cast<std::uint32_t>(random() % (10 * words));
      RandomImage tree(random, words, leaves, threshold);
      std::vector<std::uint64_t> query(words);
      for (auto& q : query)
        q = random() | random();
      std::vector<std::uint32_t> plain(2000), vector(2000);
      std::uint64_t plainVisits = 0, vectorVisits = 0;
      const std::uint32_t n = narrow(tree.image, query.data(), plain.data(), plainVisits);
      ASSERT_EQ(narrowAvx512(tree.image, query.data(), vector.data(), vectorVisits), n);
      ASSERT_EQ(vectorVisits, plainVisits);
      plain.resize(n);
      vector.resize(n);
      ASSERT_EQ(vector, plain);

      // Faces of a few bits are contained in many patterns; excluding the
      // first hits makes the search go on.
      std::vector<std::uint64_t> face(words);
      for (auto& f : face)
        f = random() & random() & random() & random();
      std::vector<std::uint64_t> first(words, 0), second(words, 0);
      const std::uint64_t* leaf = tree.nodes.data() + HEADER + words + HEADER + words;
      for (std::uint32_t x = 0; x < words && leaves[0] > 0; ++x)
        first[x] = leaf[x * leaves[0]];
      std::uint64_t plainNodes = 0, plainTests = 0, vectorNodes = 0, vectorTests = 0;
      const bool found = verify(tree.image, face.data(), first.data(), second.data(), plainNodes,
                                plainTests);
      ASSERT_EQ(verifyAvx512(tree.image, face.data(), first.data(), second.data(), vectorNodes,
                             vectorTests),
                found);
      ASSERT_EQ(vectorNodes, plainNodes);
      ASSERT_EQ(vectorTests, plainTests);
    }
}

} // namespace
