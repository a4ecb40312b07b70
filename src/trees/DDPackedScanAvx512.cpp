// Compiled with AVX-512 and its population count enabled (see the build):
// the leaf scans take eight patterns per instruction. Nothing here may be
// shared with other files, or it could run on processors without AVX-512.
#include "trees/DDPackedScan.h"

#if defined(__AVX512F__) && defined(__AVX512VPOPCNTDQ__)

#include <immintrin.h>

#include "core/DDBitOps.h"

namespace double_description {
namespace packed_scan {

namespace {

// No std::min: a template shared with other files could be taken from
// here, compiled for AVX-512.
std::uint32_t span(std::uint32_t count, std::uint32_t from) {
  return count - from < 64 ? count - from : 64;
}

__mmask8 lanesOf(std::uint32_t left) {
  return static_cast<__mmask8>(left >= 8 ? 0xFF : (1u << left) - 1);
}

// The patterns of lanes at j that share at least threshold bits with query.
__mmask8 sharingAt(std::uint64_t const* block, std::uint32_t count, std::uint32_t words,
                   std::uint32_t j, std::uint64_t const* query, std::uint32_t threshold,
                   __mmask8 lanes) {
  __m512i shared = _mm512_setzero_si512();
  for (std::uint32_t w = 0; w < words; ++w) {
    const __m512i p = _mm512_maskz_loadu_epi64(lanes, block + w * count + j);
    const __m512i q = _mm512_set1_epi64(static_cast<long long>(query[w]));
    shared = _mm512_add_epi64(shared, _mm512_popcnt_epi64(_mm512_and_si512(p, q)));
  }
  // Pattern sizes are 16-bit counts.
  shared = _mm512_and_si512(shared, _mm512_set1_epi64(0xFFFF));
  return _mm512_mask_cmpge_epu64_mask(lanes, shared, _mm512_set1_epi64(threshold));
}

std::uint64_t sharing(std::uint64_t const* block, std::uint32_t count, std::uint32_t words,
                      std::uint32_t from, std::uint64_t const* query, std::uint32_t threshold) {
  const std::uint32_t n = span(count, from);
  std::uint64_t result = 0;
  // Whole spans unrolled, so that each mask lands by a fixed shift.
  if (n == 64) {
    for (std::uint32_t j = 0; j < 64; j += 8)
      result |= static_cast<std::uint64_t>(
                    sharingAt(block, count, words, from + j, query, threshold, 0xFF))
                << j;
    return result;
  }
  for (std::uint32_t j = 0; j < n; j += 8)
    result |= static_cast<std::uint64_t>(
                  sharingAt(block, count, words, from + j, query, threshold, lanesOf(n - j)))
              << j;
  return result;
}

// The patterns of lanes at j that contain face: f AND NOT p is zero.
__mmask8 containingAt(std::uint64_t const* block, std::uint32_t count, std::uint32_t words,
                      std::uint32_t j, std::uint64_t const* face, __mmask8 lanes) {
  __m512i missing = _mm512_setzero_si512();
  for (std::uint32_t w = 0; w < words; ++w) {
    const __m512i p = _mm512_maskz_loadu_epi64(lanes, block + w * count + j);
    const __m512i f = _mm512_set1_epi64(static_cast<long long>(face[w]));
    missing = _mm512_ternarylogic_epi64(missing, f, p, 0xF4);
  }
  return _mm512_mask_testn_epi64_mask(lanes, missing, missing);
}

std::uint64_t containing(std::uint64_t const* block, std::uint32_t count, std::uint32_t words,
                         std::uint32_t from, std::uint64_t const* face) {
  const std::uint32_t n = span(count, from);
  std::uint64_t result = 0;
  // Whole spans unrolled, so that each mask lands by a fixed shift.
  if (n == 64) {
    for (std::uint32_t j = 0; j < 64; j += 8)
      result |= static_cast<std::uint64_t>(containingAt(block, count, words, from + j, face, 0xFF))
                << j;
    return result;
  }
  for (std::uint32_t j = 0; j < n; j += 8)
    result |= static_cast<std::uint64_t>(
                  containingAt(block, count, words, from + j, face, lanesOf(n - j)))
              << j;
  return result;
}

bool intersect(std::uint64_t const* chunk, std::uint32_t length, std::uint64_t tail,
               std::uint64_t const* face, std::uint64_t const* common, std::uint32_t words,
               std::uint64_t* out) {
  const __mmask8 lanes = lanesOf(length);
  __m512i candidates = _mm512_maskz_set1_epi64(lanes, -1);
  candidates = _mm512_mask_set1_epi64(candidates, static_cast<__mmask8>(1u << (length - 1)),
                                      static_cast<long long>(tail));
  // A hand loop over the bits: it stops at the first empty intersection.
  for (std::uint32_t x = 0; x < words; ++x)
    for (std::uint64_t bits = face[x] & ~common[x]; bits != 0; bits &= bits - 1) {
      const std::uint64_t c = 64 * x + static_cast<std::uint64_t>(__builtin_ctzll(bits));
      candidates =
          _mm512_and_si512(candidates, _mm512_maskz_loadu_epi64(lanes, chunk + c * SLICE_CHUNK));
      if (_mm512_test_epi64_mask(candidates, candidates) == 0)
        return false;
    }
  _mm512_mask_storeu_epi64(out, lanes, candidates);
  return true;
}

// ~a & b; _mm512_andnot_si512 draws a false warning from GCC 12.
__m512i andNot(__m512i a, __m512i b) { return _mm512_ternarylogic_epi64(a, b, b, 0x0C); }

void countShared(std::uint64_t const* chunk, std::uint32_t length, std::uint64_t tail,
                 std::uint64_t const* query, std::uint64_t const* mask, std::uint64_t const* common,
                 std::uint32_t words, std::uint32_t count, std::uint32_t need, std::uint64_t* out) {
  const __mmask8 lanes = lanesOf(length);
  __m512i valid = _mm512_maskz_set1_epi64(lanes, -1);
  valid = _mm512_mask_set1_epi64(valid, static_cast<__mmask8>(1u << (length - 1)),
                                 static_cast<long long>(tail));
  // Counting misses, a pattern fails at count - need + 1 of them, and the
  // chunk is done once all have.
  const bool misses = count - need + 1 < need;
  const std::uint32_t levels = misses ? count - need + 1 : need;
  const __m512i flip = misses ? _mm512_set1_epi64(-1) : _mm512_setzero_si512();
  // atLeast[j]: the patterns with more than j hits (or misses).
  __m512i atLeast[SLICE_LEVELS];
  for (std::uint32_t j = 0; j < levels; ++j)
    atLeast[j] = _mm512_setzero_si512();
  for (std::uint32_t x = 0; x < words; ++x)
    for (std::uint64_t bits = query[x] & mask[x] & ~common[x]; bits != 0; bits &= bits - 1) {
      const std::uint64_t c = 64 * x + static_cast<std::uint64_t>(__builtin_ctzll(bits));
      const __m512i counted =
          _mm512_xor_si512(_mm512_maskz_loadu_epi64(lanes, chunk + c * SLICE_CHUNK), flip);
      // atLeast[j] | (atLeast[j - 1] & counted)
      for (std::uint32_t j = levels - 1; j > 0; --j)
        atLeast[j] = _mm512_ternarylogic_epi64(atLeast[j], atLeast[j - 1], counted, 0xF8);
      atLeast[0] = _mm512_or_si512(atLeast[0], counted);
      if (misses && _mm512_test_epi64_mask(andNot(atLeast[levels - 1], valid), valid) == 0) {
        _mm512_mask_storeu_epi64(out, lanes, _mm512_setzero_si512());
        return;
      }
    }
  const __m512i partners =
      misses ? andNot(atLeast[levels - 1], valid) : _mm512_and_si512(atLeast[levels - 1], valid);
  _mm512_mask_storeu_epi64(out, lanes, partners);
}

std::uint64_t passing(std::uint64_t const* byWord, std::uint32_t words, std::uint64_t const* mask,
                      std::uint64_t active) {
  std::uint64_t pass = 0;
  for (std::uint32_t j = 0; j < FACE_BATCH; j += 8) {
    const auto lanes = static_cast<__mmask8>(active >> j);
    __m512i missing = _mm512_setzero_si512();
    for (std::uint32_t x = 0; x < words; ++x)
      missing = _mm512_ternarylogic_epi64(missing, _mm512_loadu_si512(byWord + x * FACE_BATCH + j),
                                          _mm512_set1_epi64(static_cast<long long>(mask[x])), 0xF4);
    pass |= static_cast<std::uint64_t>(_mm512_mask_testn_epi64_mask(lanes, missing, missing)) << j;
  }
  return pass;
}

#define PACKED_SCAN_FACES
#include "trees/DDPackedScanBody.h"

} // namespace

std::uint32_t narrowAvx512(Image const& image, std::uint64_t const* query, std::uint32_t* hits,
                           std::uint64_t& visits, std::uint32_t indexed) {
  return narrowAny(image, query, hits, visits, indexed);
}

bool verifyAvx512(Image const& image, std::uint64_t const* face, std::uint64_t const* first,
                  std::uint64_t const* second, std::uint64_t& nodes, std::uint64_t& tests) {
  return verifyAny(image, face, first, second, nodes, tests);
}

bool verifyFacesAvx512(Image const& image, Faces const& batch, std::uint64_t& found,
                       std::uint64_t& nodes, std::uint64_t& tests) {
  return verifyFacesAny(image, batch, found, nodes, tests);
}

} // namespace packed_scan
} // namespace double_description

#else

namespace double_description {
namespace packed_scan {

// Built without AVX-512: the plain searches serve every processor.
std::uint32_t narrowAvx512(Image const& image, std::uint64_t const* query, std::uint32_t* hits,
                           std::uint64_t& visits, std::uint32_t indexed) {
  return narrow(image, query, hits, visits, indexed);
}

bool verifyAvx512(Image const& image, std::uint64_t const* face, std::uint64_t const* first,
                  std::uint64_t const* second, std::uint64_t& nodes, std::uint64_t& tests) {
  return verify(image, face, first, second, nodes, tests);
}

bool verifyFacesAvx512(Image const&, Faces const&, std::uint64_t&, std::uint64_t&, std::uint64_t&) {
  return false;
}

} // namespace packed_scan
} // namespace double_description

#endif
