// The searches over a packed image, included inside an anonymous namespace of
// each file that compiles them for one instruction set, after it defines
//   std::uint64_t sharing(block, count, words, from, query, threshold) and
//   std::uint64_t containing(block, count, words, from, face),
// the scans of up to 64 patterns of a leaf (bit j for pattern from + j), and
//   bool intersect(chunk, length, tail, face, common, words, out),
// the candidates of a chunk of slices: the first length words of the slices
// of the bits of face outside common ANDed into out (all ones at first, the
// last word tail); false when all end up zero, and
//   void countShared(chunk, length, tail, query, mask, common, words, count,
//                    need, out),
// the patterns of a chunk of slices that have at least need of the count
// bits of the query in mask outside common, need in [1, count], counted in
// min(need, count - need + 1) levels, at most SLICE_LEVELS: the first length
// words, the last masked by tail, into out; and, where it defines
// PACKED_SCAN_FACES for the search of a batch of faces,
//   std::uint64_t passing(byWord, words, mask, active),
// the faces of a batch among active (bit j for face j) that mask contains.
// No include guard: every including file gets its own copy. Of the word
// helpers only templates instantiated with this file's own lambdas may be
// used here: an inline function could be kept from the AVX-512 copy. The
// loops over candidates that stop at the first find stay hand loops.

// visit(chunk, from, length, tail) for the chunks of slices of a leaf of n
// patterns of w words, in order, while it returns true: the chunk's slice
// words for the patterns from 64 * from on, length of them, the last masked
// by tail. Whether every chunk was visited.
template <class Visit>
bool eachSliceChunk(std::uint64_t const* common, std::uint32_t n, std::uint32_t w, Visit visit) {
  const std::uint32_t s = (n + 63) / 64;
  std::uint64_t const* chunk = common + (w + SLICE_CHUNK - 1) / SLICE_CHUNK * SLICE_CHUNK;
  const std::uint64_t chunkSize = 64 * std::uint64_t(w) * SLICE_CHUNK;
  for (std::uint32_t from = 0; from < s; from += SLICE_CHUNK, chunk += chunkSize) {
    const std::uint32_t length = s - from < SLICE_CHUNK ? s - from : SLICE_CHUNK;
    const std::uint64_t tail =
        from + length == s && n % 64 != 0 ? (std::uint64_t(1) << (n % 64)) - 1 : ~std::uint64_t(0);
    if (!visit(chunk, from, length, tail))
      return false;
  }
  return true;
}

// The partners of query in a leaf with slices, hit(pattern index) for each in
// order; false, having done nothing, where scanning the patterns costs less.
// mask: the leaf's, the union of its patterns. A pattern shares the bits of
// the query that all the leaf's patterns have, and needs the rest from the
// query's other bits in the mask: the slices of those count, per pattern,
// its hits or its misses, whichever may be fewer before it is decided.
template <class Hit>
bool slicedPartners(std::uint64_t const* common, std::uint32_t n, std::uint32_t w,
                    std::uint64_t const* mask, std::uint64_t const* q, std::uint32_t t,
                    std::uint32_t first, Hit hit) {
  std::uint32_t shared = 0;
  std::uint32_t count = 0;
  for (std::uint32_t x = 0; x < w; ++x) {
    shared += static_cast<std::uint32_t>(__builtin_popcountll(q[x] & common[x]));
    count += static_cast<std::uint32_t>(__builtin_popcountll(q[x] & mask[x] & ~common[x]));
  }
  // The walk let the leaf pass: shared + count >= t.
  const std::uint32_t need = shared >= t ? 0 : t - shared;
  const std::uint32_t levels = need == 0 ? 0 : need < count - need + 1 ? need : count - need + 1;
  // A slice is one word for 64 patterns and a level two operations on it;
  // a scan reads w words of each pattern, eight at a time where it can, and
  // measured, wins on patterns of a word or two but for the fewest levels.
  if (levels > SLICE_LEVELS || std::uint64_t(count) * (2 * levels + 1) > 32 * std::uint64_t(w))
    return false;
  if (need == 0) {
    for (std::uint32_t k = 0; k < n; ++k)
      hit(first + k);
    return true;
  }
  std::uint64_t partners[SLICE_CHUNK];
  eachSliceChunk(common, n, w,
                 [&](std::uint64_t const* chunk, std::uint32_t from, std::uint32_t length,
                     std::uint64_t tail) {
                   countShared(chunk, length, tail, q, mask, common, w, count, need, partners);
                   for (std::uint32_t i = 0; i < length; ++i)
                     forEachSetBitOf(partners[i], first + 64 * (from + i), hit);
                   return true;
                 });
  return true;
}

template <unsigned W>
std::uint32_t narrowWith(Image const& image, std::uint64_t const* q, std::uint32_t* hits,
                         std::uint64_t& visits, std::uint32_t indexed) {
  const std::uint32_t w = W != 0 ? W : image.words;
  const std::uint32_t t = image.threshold;
  std::uint64_t const* nodes = image.nodes;
  std::uint64_t ops = 0;
  // With the partners from the index the walk only counts: a passing leaf
  // adds its size, tested or not.
  std::uint32_t found = indexed;
  const bool test = found == NOT_INDEXED;
  if (test)
    found = 0;
  // A query of fewer bits than words tests the masks bit by bit.
  std::uint32_t sparse[SPARSE_QUERY];
  std::uint32_t bits = 0;
  for (std::uint32_t x = 0; x < w && bits <= SPARSE_QUERY; ++x)
    for (std::uint64_t word = q[x]; word != 0 && bits <= SPARSE_QUERY; word &= word - 1)
      if (bits++ < SPARSE_QUERY)
        sparse[bits - 1] = 64 * x + static_cast<std::uint32_t>(__builtin_ctzll(word));
  const bool bitwise = bits < w && bits <= SPARSE_QUERY;
  for (std::uint64_t i = 0; i < image.end;) {
    std::uint64_t const* node = nodes + i;
    ++ops;
    std::uint32_t shared = 0;
    if (bitwise)
      for (std::uint32_t b = 0; b < bits; ++b)
        shared += static_cast<std::uint32_t>(node[HEADER + sparse[b] / 64] >> (sparse[b] % 64) & 1);
    else
      for (std::uint32_t x = 0; x < w; ++x)
        shared += static_cast<std::uint32_t>(__builtin_popcountll(q[x] & node[HEADER + x]));
    // Pattern sizes are 16-bit counts.
    if (static_cast<std::uint16_t>(shared) < t) {
      i = node[0];
      continue;
    }
    const auto n = static_cast<std::uint32_t>(node[1] >> 32);
    if (n == NOT_A_LEAF) {
      i += HEADER + w;
      continue;
    }
    ops += n;
    if (!test) {
      i = node[0];
      continue;
    }
    const auto first = static_cast<std::uint32_t>(node[1]);
    const auto hit = [&](std::uint64_t k) { hits[found++] = static_cast<std::uint32_t>(k); };
    if (image.slices != nullptr && node[HEADER + w] != NO_SLICES &&
        slicedPartners(image.slices + node[HEADER + w], n, w, node + HEADER, q, t, first, hit)) {
      i = node[0];
      continue;
    }
    std::uint64_t const* block = image.patterns + static_cast<std::uint64_t>(w) * first;
    for (std::uint32_t from = 0; from < n; from += 64)
      forEachSetBitOf(sharing(block, n, w, from, q, t), first + from, hit);
    i = node[0];
  }
  visits = ops;
  return found;
}

// Whether pattern k of the n word-major patterns at block is neither first
// nor second.
bool otherThanPair(std::uint64_t const* block, std::uint32_t n, std::uint32_t w, std::uint32_t k,
                   std::uint64_t const* firstPair, std::uint64_t const* secondPair) {
  bool isFirst = true, isSecond = true;
  for (std::uint32_t x = 0; x < w; ++x) {
    isFirst = isFirst && block[x * n + k] == firstPair[x];
    isSecond = isSecond && block[x * n + k] == secondPair[x];
  }
  return !isFirst && !isSecond;
}

// The first pattern of a leaf with slices that contains face and is neither
// first nor second, into at; false when there is none. The candidates go
// 64 * SLICE_CHUNK patterns at a time, so that the first found is the
// earliest.
bool slicedLeaf(std::uint64_t const* block, std::uint64_t const* common, std::uint32_t n,
                std::uint32_t w, std::uint64_t const* face, std::uint64_t const* firstPair,
                std::uint64_t const* secondPair, std::uint32_t& at) {
  std::uint64_t candidates[SLICE_CHUNK];
  return !eachSliceChunk(common, n, w,
                         [&](std::uint64_t const* chunk, std::uint32_t from, std::uint32_t length,
                             std::uint64_t tail) {
                           if (!intersect(chunk, length, tail, face, common, w, candidates))
                             return true;
                           for (std::uint32_t i = 0; i < length; ++i)
                             for (std::uint64_t bits = candidates[i]; bits != 0; bits &= bits - 1) {
                               const std::uint32_t k = 64 * (from + i) + static_cast<std::uint32_t>(
                                                                             __builtin_ctzll(bits));
                               if (otherThanPair(block, n, w, k, firstPair, secondPair)) {
                                 at = k;
                                 return false;
                               }
                             }
                           return true;
                         });
}

// Whether the leaf at node, of n patterns, holds a pattern that contains face
// and is neither first nor second; tests gets the patterns it counts: up to
// that pattern, or all of them.
bool leafHas(Image const& image, std::uint64_t const* node, std::uint32_t n, std::uint32_t w,
             std::uint64_t const* face, std::uint64_t const* firstPair,
             std::uint64_t const* secondPair, std::uint64_t& tests) {
  std::uint64_t const* block =
      image.patterns + static_cast<std::uint64_t>(w) * static_cast<std::uint32_t>(node[1]);
  std::uint32_t at = n;
  bool found = false;
  if (image.slices != nullptr && node[HEADER + w] != NO_SLICES) {
    found =
        slicedLeaf(block, image.slices + node[HEADER + w], n, w, face, firstPair, secondPair, at);
    tests += found ? at + 1 : n;
    return found;
  }
  for (std::uint32_t from = 0; from < n && !found; from += 64)
    for (std::uint64_t bits = containing(block, n, w, from, face); bits != 0; bits &= bits - 1) {
      const std::uint32_t k = from + static_cast<std::uint32_t>(__builtin_ctzll(bits));
      if (otherThanPair(block, n, w, k, firstPair, secondPair)) {
        found = true;
        at = k;
        break;
      }
    }
  tests += found ? at + 1 : n;
  return found;
}

template <unsigned W>
bool verifyWith(Image const& image, std::uint64_t const* face, std::uint64_t const* firstPair,
                std::uint64_t const* secondPair, std::uint64_t& nodeVisits,
                std::uint64_t& patternTests) {
  const std::uint32_t w = W != 0 ? W : image.words;
  std::uint64_t const* nodes = image.nodes;
  std::uint64_t visits = 0;
  std::uint64_t tests = 0;
  bool found = false;
  for (std::uint64_t i = 0; i < image.end && !found;) {
    std::uint64_t const* node = nodes + i;
    ++visits;
    std::uint64_t missing = 0;
    for (std::uint32_t x = 0; x < w; ++x)
      missing |= face[x] & ~node[HEADER + x];
    if (missing != 0) {
      i = node[0];
      continue;
    }
    const auto n = static_cast<std::uint32_t>(node[1] >> 32);
    if (n == NOT_A_LEAF) {
      i += HEADER + w;
      continue;
    }
    found = leafHas(image, node, n, w, face, firstPair, secondPair, tests);
    i = node[0];
  }
  nodeVisits = visits;
  patternTests = tests;
  return found;
}

std::uint32_t narrowAny(Image const& image, std::uint64_t const* query, std::uint32_t* hits,
                        std::uint64_t& visits, std::uint32_t indexed) {
  switch (image.words) {
  case 1:
    return narrowWith<1>(image, query, hits, visits, indexed);
  case 2:
    return narrowWith<2>(image, query, hits, visits, indexed);
  case 3:
    return narrowWith<3>(image, query, hits, visits, indexed);
  case 4:
    return narrowWith<4>(image, query, hits, visits, indexed);
  default:
    return narrowWith<0>(image, query, hits, visits, indexed);
  }
}

bool verifyAny(Image const& image, std::uint64_t const* face, std::uint64_t const* first,
               std::uint64_t const* second, std::uint64_t& nodes, std::uint64_t& tests) {
  switch (image.words) {
  case 1:
    return verifyWith<1>(image, face, first, second, nodes, tests);
  case 2:
    return verifyWith<2>(image, face, first, second, nodes, tests);
  case 3:
    return verifyWith<3>(image, face, first, second, nodes, tests);
  case 4:
    return verifyWith<4>(image, face, first, second, nodes, tests);
  default:
    return verifyWith<0>(image, face, first, second, nodes, tests);
  }
}

#ifdef PACKED_SCAN_FACES
// The faces walk the tree together, each counted as verifyWith counts it: a
// node is visited by the faces that passed its ancestors and are not yet
// found, and each that it passes goes on below it.
template <unsigned W>
bool verifyFacesWith(Image const& image, Faces const& batch, std::uint64_t& foundFaces,
                     std::uint64_t& nodeVisits, std::uint64_t& patternTests) {
  const std::uint32_t w = W != 0 ? W : image.words;
  std::uint64_t const* nodes = image.nodes;
  // Per open level: the offset after its subtree and the faces that go below.
  std::uint64_t* open = batch.open;
  std::uint32_t depth = 1;
  const std::uint64_t all =
      batch.count == 64 ? ~std::uint64_t(0) : (std::uint64_t(1) << batch.count) - 1;
  open[0] = image.end;
  open[1] = all;
  std::uint64_t found = 0;
  std::uint64_t visits = 0;
  std::uint64_t tests = 0;
  for (std::uint64_t i = 0; i < image.end && found != all;) {
    while (open[2 * depth - 2] <= i)
      --depth;
    const std::uint64_t active = open[2 * depth - 1] & ~found;
    if (active == 0) {
      i = open[2 * depth - 2];
      continue;
    }
    std::uint64_t const* node = nodes + i;
    visits += static_cast<std::uint64_t>(__builtin_popcountll(active));
    const std::uint64_t pass = passing(batch.byWord, w, node + HEADER, active);
    if (pass == 0) {
      i = node[0];
      continue;
    }
    const auto n = static_cast<std::uint32_t>(node[1] >> 32);
    if (n == NOT_A_LEAF) {
      if (depth == batch.levels)
        return false;
      open[2 * depth] = node[0];
      open[2 * depth + 1] = pass;
      ++depth;
      i += HEADER + w;
      continue;
    }
    for (std::uint64_t bits = pass; bits != 0; bits &= bits - 1) {
      const auto j = static_cast<std::uint32_t>(__builtin_ctzll(bits));
      if (leafHas(image, node, n, w, batch.faces + j * w, batch.firsts[j], batch.second, tests))
        found |= std::uint64_t(1) << j;
    }
    i = node[0];
  }
  foundFaces = found;
  nodeVisits = visits;
  patternTests = tests;
  return true;
}

bool verifyFacesAny(Image const& image, Faces const& batch, std::uint64_t& found,
                    std::uint64_t& nodes, std::uint64_t& tests) {
  switch (image.words) {
  case 1:
    return verifyFacesWith<1>(image, batch, found, nodes, tests);
  case 2:
    return verifyFacesWith<2>(image, batch, found, nodes, tests);
  default:
    return verifyFacesWith<0>(image, batch, found, nodes, tests);
  }
}
#endif
