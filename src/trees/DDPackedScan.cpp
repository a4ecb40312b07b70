#include "trees/DDPackedScan.h"

#include <algorithm>

namespace double_description {
namespace packed_scan {

namespace {

std::uint32_t span(std::uint32_t count, std::uint32_t from) {
  return std::min<std::uint32_t>(64, count - from);
}

std::uint64_t sharing(std::uint64_t const* block, std::uint32_t count, std::uint32_t words,
                      std::uint32_t from, std::uint64_t const* query, std::uint32_t threshold) {
  const std::uint32_t n = span(count, from);
  std::uint64_t result = 0;
  for (std::uint32_t j = 0; j < n; ++j) {
    std::uint32_t shared = 0;
    for (std::uint32_t w = 0; w < words; ++w)
      shared += static_cast<std::uint32_t>(
          __builtin_popcountll(block[w * count + from + j] & query[w]));
    if (static_cast<std::uint16_t>(shared) >= threshold)
      result |= std::uint64_t(1) << j;
  }
  return result;
}

std::uint64_t containing(std::uint64_t const* block, std::uint32_t count, std::uint32_t words,
                         std::uint32_t from, std::uint64_t const* face) {
  const std::uint32_t n = span(count, from);
  std::uint64_t result = 0;
  for (std::uint32_t j = 0; j < n; ++j) {
    std::uint64_t missing = 0;
    for (std::uint32_t w = 0; w < words; ++w)
      missing |= face[w] & ~block[w * count + from + j];
    if (missing == 0)
      result |= std::uint64_t(1) << j;
  }
  return result;
}

#include "trees/DDPackedScanBody.h"

} // namespace

std::uint32_t narrow(Image const& image, std::uint64_t const* query, std::uint32_t* hits,
                     std::uint64_t& visits) {
  return narrowAny(image, query, hits, visits);
}

bool verify(Image const& image, std::uint64_t const* face, std::uint64_t const* first,
            std::uint64_t const* second, std::uint64_t& nodes, std::uint64_t& tests) {
  return verifyAny(image, face, first, second, nodes, tests);
}

} // namespace packed_scan
} // namespace double_description
