#ifndef DD_PACKEDSCAN_H
#define DD_PACKEDSCAN_H

// The two searches over a packed tree image, as plain functions over plain
// data. Each exists twice: compiled for every x86-64 processor and, in a
// file of its own, for processors with AVX-512 and its population count; the
// image picks one when the program starts. This header holds nothing but
// declarations, so that no inline code is compiled for both.

#include <cstdint>
#include <vector>

namespace double_description {
namespace packed_scan {

// The image: the nodes in the order the searches visit them (preorder,
// children from the last to the first), apart from the leaves' patterns, so
// that the nodes a search walks lie close together. A node is HEADER words
// and its mask's words words; a leaf of an image with slices adds the offset
// of its slices (NO_SLICES for none). Header word 0: the offset of the node
// after the node's subtree; word 1: the leaf's first pattern index f in the
// low 32 bits and its pattern count n in the high ones (NOT_A_LEAF for inner
// nodes). The patterns of a leaf are word-major at patterns + f * words (word
// w of pattern k at [w * n + k]).
// Slices: the intersection of the leaf's patterns (words words, padded to
// SLICE_CHUNK), then their bit slices, SLICE_CHUNK words per bit position and
// chunk of 64 * SLICE_CHUNK patterns: bit k of word i of position c in chunk
// j tells whether pattern 64 * (SLICE_CHUNK * j + i) + k has bit c. A chunk
// keeps its 64 * words positions together (position c at chunk + c *
// SLICE_CHUNK); with slices aligned to 64 bytes, each is one cache line.
struct Image {
  std::uint64_t const* nodes;
  std::uint64_t end;             // offset after the last node
  std::uint64_t const* patterns; // null where no search reads them
  std::uint64_t const* slices;   // null: leaves have no slice word
  std::uint32_t words;
  std::uint32_t threshold;
  struct RowIndex const* rows; // null: patterns too dense for one
};

// For images of sparse patterns: per bit position the increasing indices of
// the patterns with that bit (byRow[rowStarts[c]] up to rowStarts[c + 1]),
// and per pattern its bit positions (byPattern[patternStarts[k]] up to
// patternStarts[k + 1]). A pattern sharing threshold bits with a query has
// one of the query's bits outside any threshold - 1 of them, so the lists of
// the shortest bits give every partner.
struct RowIndex {
  std::vector<std::uint32_t> rowStarts;
  std::vector<std::uint32_t> byRow;
  std::vector<std::uint32_t> patternStarts;
  std::vector<std::uint32_t> byPattern;
};

// The partners of query from the image's index into hits, increasing, and
// their number; NOT_INDEXED where testing the leaves' patterns is cheaper:
// where the lists to read hold more than one entry per INDEX_GAIN patterns.
// Compiled for every processor.
constexpr std::uint32_t INDEX_GAIN = 8;
constexpr std::uint32_t NOT_INDEXED = ~0u;
std::uint32_t indexedPartners(Image const& image, std::uint64_t const* query, std::uint32_t* hits);

// Slice words of a position per chunk: 512 patterns, one AVX-512 register.
constexpr std::uint32_t SLICE_CHUNK = 8;
constexpr std::uint32_t sliceChunks(std::uint32_t count) {
  return (count + 64 * SLICE_CHUNK - 1) / (64 * SLICE_CHUNK);
}

// The most counter levels of a narrowing over slices: beyond, the patterns
// are scanned.
constexpr std::uint32_t SLICE_LEVELS = 16;

constexpr std::uint64_t HEADER = 2;
// The most bits of a query that narrowing tests bit by bit.
constexpr std::uint32_t SPARSE_QUERY = 16;
constexpr std::uint32_t NOT_A_LEAF = ~0u;
constexpr std::uint64_t NO_SLICES = ~std::uint64_t(0);

// Appends to slices, from an offset that is a multiple of SLICE_CHUNK, the
// intersection and the slices of the count word-major patterns of words words
// at block; returns that offset.
std::uint64_t appendSlices(std::vector<std::uint64_t>& slices, std::uint64_t const* block,
                           std::uint32_t count, std::uint32_t words);

// The narrowing search: writes the pattern indices of the stored patterns
// that share at least the threshold of bits with query, in candidate order,
// to hits (room for every pattern of the image) and returns how many;
// visits gets the node and pattern visits. With indexed the count of
// partners indexedPartners already wrote, the walk only counts; with
// NOT_INDEXED it tests the leaves' patterns.
std::uint32_t narrow(Image const& image, std::uint64_t const* query, std::uint32_t* hits,
                     std::uint64_t& visits, std::uint32_t indexed = NOT_INDEXED);

// The verification search for a face and the two patterns of its pair: is a
// stored pattern other than first and second a superset of face? nodes and
// tests get the node visits and the pattern tests: a leaf counts the
// patterns up to the first such superset, or all of them. Leaves with slices
// find that superset by intersecting the slices of the face's bits, which
// mostly runs empty after a few bits, instead of testing every pattern.
bool verify(Image const& image, std::uint64_t const* face, std::uint64_t const* first,
            std::uint64_t const* second, std::uint64_t& nodes, std::uint64_t& tests);

// Faces of one query for verifyFacesAvx512: count of them, at most
// FACE_BATCH, of words words; face j at faces + j * words and word by word in
// byWord (word x at x * FACE_BATCH + j, room for FACE_BATCH faces), the
// pair's patterns firsts[j] and second. open: room for levels pairs of
// words, one per open level of the search.
constexpr std::uint32_t FACE_BATCH = 64;
struct Faces {
  std::uint64_t const* faces;
  std::uint64_t const* byWord;
  std::uint64_t const* const* firsts;
  std::uint64_t const* second;
  std::uint32_t count;
  std::uint64_t* open;
  std::uint32_t levels;
};

// The same, compiled for AVX-512; only to be called where avx512Runs.
std::uint32_t narrowAvx512(Image const& image, std::uint64_t const* query, std::uint32_t* hits,
                           std::uint64_t& visits, std::uint32_t indexed = NOT_INDEXED);
bool verifyAvx512(Image const& image, std::uint64_t const* face, std::uint64_t const* first,
                  std::uint64_t const* second, std::uint64_t& nodes, std::uint64_t& tests);
// The verification search for a batch of faces at once, compiled for
// AVX-512 alone, counted as verify counts each face, summed: bit j of found
// tells whether face j has a superset. The faces go down the tree together,
// so that a node's mask is read once for all and a leaf's patterns stay
// cached for every face that reaches it; plain scans gain nothing by it.
// False, having set nothing, where the tree has more levels than the room in
// open.
bool verifyFacesAvx512(Image const& image, Faces const& batch, std::uint64_t& found,
                       std::uint64_t& nodes, std::uint64_t& tests);
// Whether the AVX-512 searches were built and this processor runs them;
// compiled for every processor.
bool avx512Runs();

} // namespace packed_scan
} // namespace double_description

#endif
