#include "iteration/DDAlgTestFaceRank.h"

#include "core/DDAssert.h"
#include "core/DDBitOps.h"
#include "core/DDMersenne31.h"

#include <algorithm>

namespace double_description {

namespace {

using F = Mersenne31;

// Minors below 2^30 are nonzero modulo 2^31 - 1 unless they are zero.
constexpr unsigned EXACT_MINOR_BITS = 30;

unsigned bitLength(unsigned n) { return n == 0 ? 0 : 32 - static_cast<unsigned>(__builtin_clz(n)); }

// Index of the first nonzero of n residues, n when there is none.
unsigned firstNonzero(std::uint32_t const* x, unsigned n) {
  unsigned i = 0;
  while (i < n && x[i] == 0)
    ++i;
  return i;
}

// Kernels kept as columns: vector j of a kernel of size t in n coordinates
// has entry c at [c * stride + j]. A new row with products v_j (v_pivot
// nonzero) against the kernel vectors leaves the kernel of the vectors
// v_pivot w_j - v_j w_pivot, j != pivot; the last vector takes the pivot's
// place. Returns the new size.
unsigned narrowKernel(std::uint32_t* kernel, unsigned stride, unsigned n, unsigned t,
                      std::uint32_t const* v, unsigned pivot) {
  const std::uint32_t vp = v[pivot];
  for (unsigned j = 0; j < t; ++j) {
    if (j == pivot || v[j] == 0)
      continue; // w_j is orthogonal to the row already
    const std::uint32_t vj = v[j];
    for (unsigned c = 0; c < n; ++c) {
      std::uint32_t* column = kernel + static_cast<std::size_t>(c) * stride;
      column[j] = F::mulSub(vp, column[j], vj, column[pivot]);
    }
  }
  --t;
  if (pivot != t)
    for (unsigned c = 0; c < n; ++c) {
      std::uint32_t* column = kernel + static_cast<std::size_t>(c) * stride;
      column[pivot] = column[t];
    }
  return t;
}

// The same for all n vectors of a square array whose first t are a kernel,
// each of the others orthogonal to all but one of the rows taken: every
// vector other than the pivot becomes orthogonal to the new row, and the
// pivot, which alone is not, becomes the last of those others.
unsigned narrowAll(std::uint32_t* vectors, unsigned n, unsigned t, std::uint32_t const* v,
                   unsigned pivot) {
  // Vectors orthogonal to the row already are scaled by vp alike, which
  // keeps what they are orthogonal to: the loop has no branch.
  const std::uint64_t vp = v[pivot];
  for (unsigned c = 0; c < n; ++c) {
    std::uint32_t* __restrict column = vectors + static_cast<std::size_t>(c) * n;
    const std::uint64_t wp = column[pivot];
    for (unsigned j = 0; j < n; ++j)
      column[j] = F::reduce(std::uint64_t(F::P) * F::P + vp * column[j] - v[j] * wp);
    column[pivot] = static_cast<std::uint32_t>(wp);
  }
  --t;
  if (pivot != t)
    for (unsigned c = 0; c < n; ++c)
      std::swap(vectors[static_cast<std::size_t>(c) * n + pivot],
                vectors[static_cast<std::size_t>(c) * n + t]);
  return t;
}

// v_j = sum over s < n of x_s w_j[s] for the t vectors w_j of a kernel,
// accumulated a column at a time in 64 bits: folded after each product, a
// sum stays below 2^33 + 2^62.
void productsWithKernel(std::uint32_t const* x, std::uint32_t const* kernel, unsigned stride,
                        unsigned n, unsigned t, std::uint64_t* sums, std::uint32_t* v) {
  std::fill(sums, sums + t, 0);
  for (unsigned s = 0; s < n; ++s) {
    const std::uint64_t xs = x[s];
    if (xs == 0)
      continue;
    std::uint32_t const* column = kernel + static_cast<std::size_t>(s) * stride;
    for (unsigned j = 0; j < t; ++j) {
      const std::uint64_t sum = sums[j] + xs * column[j];
      sums[j] = (sum & F::P) + (sum >> 31);
    }
  }
  for (unsigned j = 0; j < t; ++j)
    v[j] = F::reduce(sums[j]);
}

void setIdentity(std::uint32_t* kernel, unsigned stride, unsigned n) {
  for (unsigned c = 0; c < n; ++c)
    for (unsigned j = 0; j < n; ++j)
      kernel[static_cast<std::size_t>(c) * stride + j] = c == j ? 1 : 0;
}

} // namespace

AlgTestFaceRank::AlgTestFaceRank(MachineMatrix const& machine)
    : mMachine(&machine), mColumns(machine.getColumns()) {
  DD_ASSERT(exact(machine));
  const std::size_t d = mColumns;
  mVectors.resize(d * d);
  mKernel.resize(d * d);
  mSums.resize(d);
  mProducts.resize(d);
  mValues.resize(d);
  mRow.resize(d);
}

// The sums of products of a row with residues stay within 63 bits.
bool AlgTestFaceRank::exact(MachineMatrix const& machine) {
  const unsigned d = machine.getColumns();
  return d >= 2 && machine.minorBits(d - 2) <= EXACT_MINOR_BITS &&
         machine.minorBits(1) + 31 + bitLength(d) <= 63;
}

void AlgTestFaceRank::setFaces(ZeroSetFaces& faces) {
  mFaces = &faces;
  mPrepared = false;
}

void AlgTestFaceRank::prepare() {
  mPrepared = true;
  const unsigned slots = mFaces->slots();

  // Rows of more faces first; rows of no face are never needed.
  std::vector<unsigned> const& faces = mFaces->facesPerSlot();
  mSearchOrder.clear();
  for (unsigned i = 0; i < slots; ++i)
    if (faces[i] > 0)
      mSearchOrder.push_back(i);
  std::stable_sort(mSearchOrder.begin(), mSearchOrder.end(),
                   [&](unsigned a, unsigned b) { return faces[a] > faces[b]; });

  selectBasis();
  mKnown.assign(slots, 0);
  mCoordinates.resize(static_cast<std::size_t>(slots) * mColumns);
  mSupportWords = static_cast<unsigned>(BitList::wordsFor(mRank));
  mSupports.resize(static_cast<std::size_t>(slots) * mSupportWords);
  mOutsideMask.resize(mSupportWords);
}

// The kernel starts as the whole space and loses a dimension with every row
// taken; a row is independent of those taken exactly when it is not
// orthogonal to the kernel. The basis never exceeds d - 1 rows, as the ray
// lies in the kernel; it then spans every row of the zero set. The vectors
// that leave the kernel stay, kept orthogonal to every basis row but their
// own: a dual basis, whose products with a row are its coordinates in the
// basis up to a fixed factor per basis row, which changes no rank.
void AlgTestFaceRank::selectBasis() {
  const unsigned d = mColumns;
  std::uint32_t* vectors = mVectors.data();
  setIdentity(vectors, d, d);
  unsigned t = d;
  mBasisMask.assign(mFaces->maskWords(), 0);
  mBasisIndexOfSlot.resize(mFaces->slots());
  mBasisSlots.clear();
  std::int64_t* sums = mSums.data();
  std::uint32_t* v = mValues.data();
  for (unsigned slot : mSearchOrder) {
    if (t == 1)
      break;
    const std::int64_t* a = mMachine->row(mFaces->slotRow(slot));
    DD_ASSERT(a != nullptr); // every row fits when the test is exact
    // The kernel first: a dependent row needs no more.
    std::fill(sums, sums + d, 0);
    for (unsigned c = 0; c < d; ++c) {
      const std::int64_t ac = a[c];
      if (ac == 0)
        continue;
      std::uint32_t const* column = vectors + static_cast<std::size_t>(c) * d;
      for (unsigned j = 0; j < t; ++j)
        sums[j] += ac * column[j];
    }
    for (unsigned j = 0; j < t; ++j)
      v[j] = F::of(sums[j]);
    const unsigned pivot = firstNonzero(v, t);
    if (pivot == t)
      continue;
    for (unsigned c = 0; c < d; ++c) {
      const std::int64_t ac = a[c];
      if (ac == 0)
        continue;
      std::uint32_t const* column = vectors + static_cast<std::size_t>(c) * d;
      for (unsigned j = t; j < d; ++j)
        sums[j] += ac * column[j];
    }
    for (unsigned j = t; j < d; ++j)
      v[j] = F::of(sums[j]);
    t = narrowAll(vectors, d, t, v, pivot);
    setBit(mBasisMask.data(), slot);
    mBasisIndexOfSlot[slot] = static_cast<unsigned>(mBasisSlots.size());
    mBasisSlots.push_back(slot);
  }
  mRank = static_cast<unsigned>(mBasisSlots.size());
}

std::uint32_t const* AlgTestFaceRank::coordinates(unsigned s) {
  const unsigned d = mColumns;
  std::uint32_t* c = &mCoordinates[static_cast<std::size_t>(s) * d];
  if (mKnown[s])
    return c;
  mKnown[s] = 1;
  // The dual vector of basis row b is vector d - 1 - b.
  const std::int64_t* a = mMachine->row(mFaces->slotRow(s));
  std::int64_t* sums = mSums.data();
  std::fill(sums, sums + d, 0);
  for (unsigned k = 0; k < d; ++k) {
    const std::int64_t ak = a[k];
    if (ak == 0)
      continue;
    std::uint32_t const* column = &mVectors[static_cast<std::size_t>(k) * d];
    for (unsigned j = d - mRank; j < d; ++j)
      sums[j] += ak * column[j];
  }
  for (unsigned b = 0; b < mRank; ++b)
    c[b] = F::of(sums[d - 1 - b]);
  std::uint64_t* support = &mSupports[static_cast<std::size_t>(s) * mSupportWords];
  std::fill(support, support + mSupportWords, 0);
  for (unsigned b = 0; b < mRank; ++b)
    if (c[b] != 0)
      setBit(support, b);
  return c;
}

bool AlgTestFaceRank::favours(unsigned i) {
  if (!mPrepared)
    prepare();
  std::uint64_t const* face = mFaces->mask(i);
  unsigned inside = 0;
  for (unsigned w = 0; w < mFaces->maskWords(); ++w)
    inside += static_cast<unsigned>(__builtin_popcountll(face[w] & mBasisMask[w]));
  const std::uint64_t width = mRank - inside;
  const std::uint64_t rows = mFaces->rows(i);
  // Measured on the reference cones: twice the direct reduction's rows
  // times columns is where the two meet.
  constexpr std::uint64_t DIRECT_COST_FACTOR = 2;
  return (rows - inside) * width * width <= DIRECT_COST_FACTOR * rows * mColumns;
}

bool AlgTestFaceRank::hasRankDMinusTwo(unsigned i) {
  if (!mPrepared)
    prepare();
  const unsigned d = mColumns;
  const unsigned need = d - 2;
  // The basis positions outside the face, in slot order: the order of the
  // coordinates changes no rank.
  std::uint64_t const* face = mFaces->mask(i);
  const unsigned words = mFaces->maskWords();
  mOutside.clear();
  std::fill(mOutsideMask.begin(), mOutsideMask.end(), 0);
  for (unsigned w = 0; w < words; ++w)
    forEachSetBitOf(mBasisMask[w] & ~face[w], 64 * w, [&](std::uint64_t s) {
      const unsigned b = mBasisIndexOfSlot[s];
      mOutside.push_back(b);
      setBit(mOutsideMask.data(), b);
    });
  const auto width = static_cast<unsigned>(mOutside.size());
  const unsigned inside = mRank - width;
  if (inside >= need)
    return true;
  // The other rows of the face need this much rank in the coordinates of
  // the basis rows outside it, that is a kernel of this size there. Rows
  // whose coordinates vanish there add nothing.
  const unsigned target = need - inside;
  if (width < target)
    return false;
  mUseful.clear();
  for (unsigned w = 0; w < words; ++w)
    forEachSetBitOf(face[w] & ~mBasisMask[w], 64 * w, [&](std::uint64_t s) {
      coordinates(static_cast<unsigned>(s));
      std::uint64_t reach = 0;
      for (unsigned k = 0; k < mSupportWords; ++k)
        reach |= support(static_cast<unsigned>(s))[k] & mOutsideMask[k];
      if (reach != 0)
        mUseful.push_back(static_cast<unsigned>(s));
    });
  if (mUseful.size() < target)
    return false;
  const unsigned goal = width - target;
  auto others = static_cast<unsigned>(mUseful.size());
  std::uint32_t* kernel = mKernel.data();
  setIdentity(kernel, d, width);
  unsigned t = width;
  std::uint32_t* x = mRow.data();
  std::uint32_t* v = mValues.data();
  for (unsigned s : mUseful) {
    if (others < t - goal)
      return false;
    --others;
    std::uint32_t const* c = coordinates(s);
    for (unsigned k = 0; k < width; ++k)
      x[k] = c[mOutside[k]];
    productsWithKernel(x, kernel, d, width, t, mProducts.data(), v);
    const unsigned pivot = firstNonzero(v, t);
    if (pivot == t)
      continue;
    t = narrowKernel(kernel, d, width, t, v, pivot);
    if (t == goal)
      return true;
  }
  return false;
}

} // namespace double_description
