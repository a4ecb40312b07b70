#ifndef DD_PACKEDSCAN_H
#define DD_PACKEDSCAN_H

// The two searches over a packed tree image, as plain functions over plain
// data. Each exists twice: compiled for every x86-64 processor and, in a
// file of its own, for processors with AVX-512 and its population count; the
// image picks one when the program starts. This header holds nothing but
// declarations, so that no inline code is compiled for both.

#include <cstdint>

namespace double_description {
namespace packed_scan {

// The image: the nodes in the order the searches visit them (preorder,
// children from the last to the first). A node is HEADER words, its mask's
// words words and, for a leaf, its patterns, word-major (word w of pattern k
// at patterns[w * count + k]). Header word 0: the offset of the node after
// the node's subtree; word 1: the leaf's first pattern index in the low 32
// bits and its pattern count in the high ones (NOT_A_LEAF for inner nodes).
struct Image {
  std::uint64_t const* nodes;
  std::uint64_t end; // offset after the last node
  std::uint32_t words;
  std::uint32_t threshold;
};

constexpr std::uint64_t HEADER = 2;
constexpr std::uint32_t NOT_A_LEAF = ~0u;

// The narrowing search: writes the pattern indices of the stored patterns
// that share at least the threshold of bits with query, in candidate order,
// to hits (room for every pattern of the image) and returns how many;
// visits gets the node and pattern visits.
std::uint32_t narrow(Image const& image, std::uint64_t const* query, std::uint32_t* hits,
                     std::uint64_t& visits);

// The verification search for a face and the two patterns of its pair: is a
// stored pattern other than first and second a superset of face? nodes and
// tests get the node visits and the pattern tests.
bool verify(Image const& image, std::uint64_t const* face, std::uint64_t const* first,
            std::uint64_t const* second, std::uint64_t& nodes, std::uint64_t& tests);

// The same, compiled for AVX-512; only to be called where it runs.
std::uint32_t narrowAvx512(Image const& image, std::uint64_t const* query, std::uint32_t* hits,
                           std::uint64_t& visits);
bool verifyAvx512(Image const& image, std::uint64_t const* face, std::uint64_t const* first,
                  std::uint64_t const* second, std::uint64_t& nodes, std::uint64_t& tests);
bool avx512Runs();

} // namespace packed_scan
} // namespace double_description

#endif
