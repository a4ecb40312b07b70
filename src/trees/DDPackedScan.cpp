#include "trees/DDPackedScan.h"

#include <algorithm>
#include <utility>

#include "core/DDBitOps.h"

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
      shared +=
          static_cast<std::uint32_t>(__builtin_popcountll(block[w * count + from + j] & query[w]));
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

bool intersect(std::uint64_t const* chunk, std::uint32_t length, std::uint64_t tail,
               std::uint64_t const* face, std::uint64_t const* common, std::uint32_t words,
               std::uint64_t* out) {
  for (std::uint32_t i = 0; i < length; ++i)
    out[i] = ~std::uint64_t(0);
  out[length - 1] = tail;
  // A hand loop over the bits: it stops at the first empty intersection.
  for (std::uint32_t x = 0; x < words; ++x)
    for (std::uint64_t bits = face[x] & ~common[x]; bits != 0; bits &= bits - 1) {
      const std::uint64_t c = 64 * x + static_cast<std::uint64_t>(__builtin_ctzll(bits));
      std::uint64_t const* column = chunk + c * SLICE_CHUNK;
      std::uint64_t left = 0;
      for (std::uint32_t i = 0; i < length; ++i)
        left |= out[i] &= column[i];
      if (left == 0)
        return false;
    }
  return true;
}

#include "trees/DDPackedScanBody.h"

} // namespace

std::uint64_t appendSlices(std::vector<std::uint64_t>& slices, std::uint64_t const* block,
                           std::uint32_t count, std::uint32_t words) {
  const auto padded = [](std::uint64_t size) {
    return (size + SLICE_CHUNK - 1) / SLICE_CHUNK * SLICE_CHUNK;
  };
  const std::uint64_t common = padded(slices.size());
  const std::uint64_t chunks = common + padded(words);
  const std::uint64_t chunkSize = 64 * std::uint64_t(words) * SLICE_CHUNK;
  slices.resize(chunks + sliceChunks(count) * chunkSize);
  for (std::uint64_t w = 0; w < words; ++w) {
    std::uint64_t all = ~std::uint64_t(0);
    for (std::uint64_t k = 0; k < count; ++k) {
      const std::uint64_t pattern = block[w * count + k];
      all &= pattern;
      const std::uint64_t chunk = chunks + k / (64 * SLICE_CHUNK) * chunkSize;
      const std::uint64_t word = k / 64 % SLICE_CHUNK;
      forEachSetBitOf(pattern, 64 * w, [&](std::uint64_t c) {
        slices[chunk + c * SLICE_CHUNK + word] |= std::uint64_t(1) << (k % 64);
      });
    }
    slices[common + w] = all;
  }
  return common;
}

std::uint32_t indexedPartners(Image const& image, std::uint64_t const* query, std::uint32_t* hits) {
  RowIndex const& index = *image.rows;
  const std::uint32_t t = image.threshold;
  // Per bit of the query: its list's length and the bit.
  thread_local std::vector<std::pair<std::uint32_t, std::uint32_t>> lists;
  lists.clear();
  for (std::uint32_t x = 0; x < image.words; ++x)
    forEachSetBitOf(query[x], 64 * x, [&](std::uint64_t c) {
      lists.emplace_back(index.rowStarts[c + 1] - index.rowStarts[c],
                         static_cast<std::uint32_t>(c));
    });
  if (t == 0)
    return NOT_INDEXED;
  if (lists.size() < t)
    return 0;
  const std::size_t read = lists.size() - t + 1;
  std::nth_element(lists.begin(), lists.begin() + (read - 1), lists.end());
  std::uint64_t entries = 0;
  for (std::size_t i = 0; i < read; ++i)
    entries += lists[i].first;
  const std::uint64_t patterns = index.patternStarts.size() - 1;
  if (entries * INDEX_GAIN > patterns)
    return NOT_INDEXED;
  std::uint32_t n = 0;
  for (std::size_t i = 0; i < read; ++i) {
    const std::uint32_t c = lists[i].second;
    for (std::uint32_t e = index.rowStarts[c]; e < index.rowStarts[c + 1]; ++e)
      hits[n++] = index.byRow[e];
  }
  std::sort(hits, hits + n);
  n = static_cast<std::uint32_t>(std::unique(hits, hits + n) - hits);
  std::uint32_t found = 0;
  for (std::uint32_t i = 0; i < n; ++i) {
    const std::uint32_t k = hits[i];
    std::uint32_t shared = 0;
    for (std::uint32_t e = index.patternStarts[k]; e < index.patternStarts[k + 1]; ++e) {
      const std::uint32_t c = index.byPattern[e];
      shared += static_cast<std::uint32_t>(query[c / 64] >> (c % 64) & 1);
    }
    if (shared >= t)
      hits[found++] = k;
  }
  return found;
}

std::uint32_t narrow(Image const& image, std::uint64_t const* query, std::uint32_t* hits,
                     std::uint64_t& visits) {
  return narrowAny(image, query, hits, visits);
}

bool avx512Runs() {
#ifdef REDIVEZ_AVX512_SCANS
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
         __builtin_cpu_supports("avx512vpopcntdq") && __builtin_cpu_supports("popcnt");
#else
  return false;
#endif
}

bool verify(Image const& image, std::uint64_t const* face, std::uint64_t const* first,
            std::uint64_t const* second, std::uint64_t& nodes, std::uint64_t& tests) {
  return verifyAny(image, face, first, second, nodes, tests);
}

} // namespace packed_scan
} // namespace double_description
