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

void countShared(std::uint64_t const* chunk, std::uint32_t length, std::uint64_t tail,
                 std::uint64_t const* query, std::uint64_t const* mask, std::uint64_t const* common,
                 std::uint32_t words, std::uint32_t count, std::uint32_t need, std::uint64_t* out) {
  // Counting misses, a pattern fails at count - need + 1 of them.
  const bool misses = count - need + 1 < need;
  const std::uint32_t levels = misses ? count - need + 1 : need;
  for (std::uint32_t i = 0; i < length; ++i) {
    const std::uint64_t valid = i + 1 == length ? tail : ~std::uint64_t(0);
    // atLeast[j]: the patterns with more than j hits (or misses).
    std::uint64_t atLeast[SLICE_LEVELS] = {};
    for (std::uint32_t x = 0; x < words; ++x)
      for (std::uint64_t bits = query[x] & mask[x] & ~common[x]; bits != 0; bits &= bits - 1) {
        const std::uint64_t c = 64 * x + static_cast<std::uint64_t>(__builtin_ctzll(bits));
        const std::uint64_t has = chunk[c * SLICE_CHUNK + i];
        const std::uint64_t counted = misses ? ~has : has;
        for (std::uint32_t j = levels - 1; j > 0; --j)
          atLeast[j] |= atLeast[j - 1] & counted;
        atLeast[0] |= counted;
      }
    out[i] = (misses ? ~atLeast[levels - 1] : atLeast[levels - 1]) & valid;
  }
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
  // The lists are increasing: one is read as it is, two are merged, and
  // more are marked in a bitmap of the patterns instead of sorted.
  std::uint32_t const* byRow = index.byRow.data();
  std::uint32_t found = 0;
  const auto test = [&](std::uint32_t k) {
    std::uint32_t shared = 0;
    for (std::uint32_t e = index.patternStarts[k]; e < index.patternStarts[k + 1]; ++e) {
      const std::uint32_t c = index.byPattern[e];
      shared += static_cast<std::uint32_t>(query[c / 64] >> (c % 64) & 1);
    }
    if (shared >= t)
      hits[found++] = k;
  };
  if (read == 1) {
    const std::uint32_t c = lists[0].second;
    for (std::uint32_t e = index.rowStarts[c]; e < index.rowStarts[c + 1]; ++e)
      test(byRow[e]);
    return found;
  }
  if (read == 2) {
    std::uint32_t a = index.rowStarts[lists[0].second];
    const std::uint32_t aEnd = index.rowStarts[lists[0].second + 1];
    std::uint32_t b = index.rowStarts[lists[1].second];
    const std::uint32_t bEnd = index.rowStarts[lists[1].second + 1];
    while (a < aEnd && b < bEnd) {
      const std::uint32_t x = byRow[a];
      const std::uint32_t y = byRow[b];
      test(x < y ? x : y);
      a += x <= y ? 1 : 0;
      b += y <= x ? 1 : 0;
    }
    for (; a < aEnd; ++a)
      test(byRow[a]);
    for (; b < bEnd; ++b)
      test(byRow[b]);
    return found;
  }
  thread_local std::vector<std::uint64_t> marks;
  if (marks.size() < (patterns + 63) / 64)
    marks.resize((patterns + 63) / 64);
  std::uint64_t low = patterns;
  std::uint64_t high = 0;
  for (std::size_t i = 0; i < read; ++i) {
    const std::uint32_t c = lists[i].second;
    for (std::uint32_t e = index.rowStarts[c]; e < index.rowStarts[c + 1]; ++e) {
      const std::uint32_t k = byRow[e];
      marks[k / 64] |= std::uint64_t(1) << (k % 64);
      low = std::min<std::uint64_t>(low, k / 64);
      high = std::max<std::uint64_t>(high, k / 64 + 1);
    }
  }
  for (std::uint64_t x = low; x < high; ++x) {
    forEachSetBitOf(marks[x], 64 * x,
                    [&](std::uint64_t k) { test(static_cast<std::uint32_t>(k)); });
    marks[x] = 0;
  }
  return found;
}

std::uint32_t narrow(Image const& image, std::uint64_t const* query, std::uint32_t* hits,
                     std::uint64_t& visits, std::uint32_t indexed) {
  return narrowAny(image, query, hits, visits, indexed);
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
