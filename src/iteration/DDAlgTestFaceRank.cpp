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
  mEchelon.resize(d * d);
  mLower.resize(d * d);
  mInverseDiagonal.resize(d);
  mInverse.resize(d * d);
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

void AlgTestFaceRank::setZeroSet(BitList const& zero) {
  mZero = &zero;
  mPrepared = false;
  mFaceCount = 0;
}

void AlgTestFaceRank::addFace(BitList const& face) {
  DD_ASSERT(!mPrepared && face.wordCount() <= mZero->wordCount());
  if (mFaceCount == mFaces.size())
    mFaces.emplace_back(face);
  else
    mFaces[mFaceCount] = face;
  ++mFaceCount;
}

unsigned AlgTestFaceRank::slotOf(unsigned r) const {
  return mSlotsBefore[r / 64] + mZero->countInWordBelow(r);
}

void AlgTestFaceRank::prepare() {
  mPrepared = true;
  mSlotRows.clear();
  mZero->forEachSetBit([&](std::uint64_t r) { mSlotRows.push_back(static_cast<unsigned>(r)); });
  const auto slots = static_cast<unsigned>(mSlotRows.size());
  mSlotsBefore.resize(mZero->wordCount());
  for (unsigned w = 0, slot = 0; w < mSlotsBefore.size(); ++w) {
    mSlotsBefore[w] = slot;
    while (slot < slots && mSlotRows[slot] / 64 == w)
      ++slot;
  }

  // Rows of more faces first; rows of no face are never needed.
  mSearchOrder.clear();
  if (mFaceCount == 0) {
    for (unsigned i = 0; i < slots; ++i)
      mSearchOrder.push_back(i);
  } else {
    mSlotFaces.assign(slots, 0);
    for (unsigned f = 0; f < mFaceCount; ++f) {
      mFaces[f].forEachSetBit(
          [&](std::uint64_t r) { ++mSlotFaces[slotOf(static_cast<unsigned>(r))]; });
    }
    for (unsigned i = 0; i < slots; ++i)
      if (mSlotFaces[i] > 0)
        mSearchOrder.push_back(i);
    std::stable_sort(mSearchOrder.begin(), mSearchOrder.end(),
                     [&](unsigned a, unsigned b) { return mSlotFaces[a] > mSlotFaces[b]; });
  }

  selectBasis();
  factorBasis();
  mKnown.assign(slots, 0);
  mCoordinates.resize(static_cast<std::size_t>(slots) * mColumns);

  // The inverse costs about as much as placing r rows without it.
  const auto toPlace = static_cast<unsigned>(mSearchOrder.size()) - mRank;
  mInverted = toPlace > mRank;
  if (mInverted) {
    std::fill(mValues.begin(), mValues.end(), 0);
    for (unsigned k = 0; k < mRank; ++k) {
      mValues[k] = 1;
      solve(mValues.data(), &mInverse[static_cast<std::size_t>(k) * mColumns]);
      mValues[k] = 0;
    }
  }
}

// The kernel starts as the whole space and loses a dimension with every row
// taken; a row is independent of those taken exactly when it is not
// orthogonal to the kernel. The basis never exceeds d - 1 rows, as the ray
// lies in the kernel; it then spans every row of the zero set.
void AlgTestFaceRank::selectBasis() {
  const unsigned d = mColumns;
  std::uint32_t* kernel = mKernel.data();
  setIdentity(kernel, d, d);
  unsigned t = d;
  mBasisMask.resize(mZero->wordCount());
  mBasisIndexOfRow.resize(64 * mZero->wordCount());
  mBasisMask.clear();
  mBasisRows.clear();
  for (unsigned slot : mSearchOrder) {
    if (t == 1)
      break;
    const unsigned r = mSlotRows[slot];
    const std::int64_t* a = mMachine->row(r);
    DD_ASSERT(a != nullptr); // every row fits when the test is exact
    std::int64_t* sums = mSums.data();
    std::fill(sums, sums + t, 0);
    for (unsigned c = 0; c < d; ++c) {
      const std::int64_t ac = a[c];
      if (ac == 0)
        continue;
      std::uint32_t const* column = kernel + static_cast<std::size_t>(c) * d;
      for (unsigned j = 0; j < t; ++j)
        sums[j] += ac * column[j];
    }
    std::uint32_t* v = mValues.data();
    for (unsigned j = 0; j < t; ++j)
      v[j] = F::of(sums[j]);
    const unsigned pivot = firstNonzero(v, t);
    if (pivot == t)
      continue;
    t = narrowKernel(kernel, d, d, t, v, pivot);
    mBasisRows.push_back(r);
    mBasisMask.set(r);
    mBasisIndexOfRow[r] = static_cast<unsigned>(mBasisRows.size() - 1);
  }
  mRank = static_cast<unsigned>(mBasisRows.size());
}

void AlgTestFaceRank::factorBasis() {
  const unsigned d = mColumns;
  mPivotColumns.clear();
  for (unsigned i = 0; i < mRank; ++i) {
    const std::int64_t* a = mMachine->row(mBasisRows[i]);
    std::uint32_t* x = mRow.data();
    std::uint32_t* lower = &mLower[static_cast<std::size_t>(i) * d];
    for (unsigned c = 0; c < d; ++c)
      x[c] = F::of(a[c]);
    for (unsigned j = 0; j < i; ++j) {
      const unsigned col = mPivotColumns[j];
      const std::uint32_t f = x[col];
      lower[j] = f;
      if (f == 0)
        continue;
      // E_j is 0 before its pivot column and 1 in it.
      std::uint32_t const* e = &mEchelon[static_cast<std::size_t>(j) * d];
      x[col] = 0;
      for (unsigned c = col + 1; c < d; ++c)
        x[c] = F::subMul(x[c], f, e[c]);
    }
    const unsigned pivot = firstNonzero(x, d);
    DD_ASSERT(pivot < d);
    const std::uint32_t diagonal = x[pivot];
    const std::uint32_t inverse = diagonal == 1 ? 1 : F::inverse(diagonal);
    std::uint32_t* e = &mEchelon[static_cast<std::size_t>(i) * d];
    for (unsigned c = 0; c < d; ++c)
      e[c] = inverse == 1 ? x[c] : F::mul(x[c], inverse);
    lower[i] = diagonal;
    mInverseDiagonal[i] = inverse;
    mPivotColumns.push_back(pivot);
  }
}

// With E_P[i][k] = E_i[P_k], unit upper triangular, c L E_P = y: first
// z E_P = y from the front, then c L = z from the back.
void AlgTestFaceRank::solve(std::uint32_t const* onPivots, std::uint32_t* c) const {
  const unsigned d = mColumns;
  std::uint32_t z[64];
  std::vector<std::uint32_t> spill;
  std::uint32_t* zs = z;
  if (mRank > 64) {
    spill.resize(mRank);
    zs = spill.data();
  }
  for (unsigned k = 0; k < mRank; ++k) {
    const unsigned col = mPivotColumns[k];
    F::Wide taken = 0;
    for (unsigned i = 0; i < k; ++i)
      taken += static_cast<std::uint64_t>(zs[i]) * mEchelon[static_cast<std::size_t>(i) * d + col];
    zs[k] = F::reduce(std::uint64_t(F::P) + onPivots[k] - F::reduce(taken));
  }
  for (unsigned i = mRank; i-- > 0;) {
    F::Wide taken = 0;
    for (unsigned j = i + 1; j < mRank; ++j)
      taken += static_cast<std::uint64_t>(c[j]) * mLower[static_cast<std::size_t>(j) * d + i];
    const std::uint32_t rest = F::reduce(std::uint64_t(F::P) + zs[i] - F::reduce(taken));
    c[i] = F::mul(rest, mInverseDiagonal[i]);
  }
}

std::uint32_t const* AlgTestFaceRank::coordinates(unsigned r) {
  const unsigned d = mColumns;
  const unsigned slot = slotOf(r);
  std::uint32_t* c = &mCoordinates[static_cast<std::size_t>(slot) * d];
  if (mKnown[slot])
    return c;
  mKnown[slot] = 1;
  const std::int64_t* a = mMachine->row(r);
  if (mInverted) {
    std::int64_t* sums = mSums.data();
    std::fill(sums, sums + mRank, 0);
    for (unsigned k = 0; k < mRank; ++k) {
      const std::int64_t ak = a[mPivotColumns[k]];
      if (ak == 0)
        continue;
      std::uint32_t const* inverse = &mInverse[static_cast<std::size_t>(k) * d];
      for (unsigned b = 0; b < mRank; ++b)
        sums[b] += ak * inverse[b];
    }
    for (unsigned b = 0; b < mRank; ++b)
      c[b] = F::of(sums[b]);
  } else {
    std::uint32_t* y = mValues.data();
    for (unsigned k = 0; k < mRank; ++k)
      y[k] = F::of(a[mPivotColumns[k]]);
    solve(y, c);
  }
  return c;
}

bool AlgTestFaceRank::favours(BitList const& face) {
  if (!mPrepared)
    prepare();
  const unsigned inside = face.wordCount() <= mBasisMask.wordCount() ? face.countAnd(mBasisMask)
                                                                     : mBasisMask.countAnd(face);
  const std::uint64_t width = mRank - inside;
  const std::uint64_t rows = face.count();
  // Measured on the reference cones: twice the direct reduction's rows
  // times columns is where the two meet.
  constexpr std::uint64_t DIRECT_COST_FACTOR = 2;
  return (rows - inside) * width * width <= DIRECT_COST_FACTOR * rows * mColumns;
}

bool AlgTestFaceRank::hasRankDMinusTwo(BitList const& face) {
  DD_ASSERT(mZero != nullptr && face.wordCount() <= mZero->wordCount());
  if (!mPrepared)
    prepare();
  const unsigned d = mColumns;
  const unsigned need = d - 2;
  // The basis rows outside the face, in row order: the order of the
  // coordinates changes no rank.
  std::uint64_t const* faceWords = face.words();
  std::uint64_t const* basisWords = mBasisMask.words();
  mOutside.clear();
  for (std::uint64_t w = 0; w < mBasisMask.wordCount(); ++w) {
    const std::uint64_t outside = basisWords[w] & ~(w < face.wordCount() ? faceWords[w] : 0);
    forEachSetBitOf(outside, 64 * w,
                    [&](std::uint64_t r) { mOutside.push_back(mBasisIndexOfRow[r]); });
  }
  const auto width = static_cast<unsigned>(mOutside.size());
  const unsigned inside = mRank - width;
  if (inside >= need)
    return true;
  // The other rows of the face need this much rank in the coordinates of
  // the basis rows outside it, that is a kernel of this size there.
  const unsigned target = need - inside;
  if (width < target)
    return false;
  const unsigned goal = width - target;
  unsigned others = face.count() - inside;
  std::uint32_t* kernel = mKernel.data();
  setIdentity(kernel, d, width);
  unsigned t = width;
  std::uint32_t* x = mRow.data();
  std::uint32_t* v = mValues.data();
  bool reached = false;
  // The face's rows outside the basis, in order, until the answer is known.
  auto test = [&](std::uint64_t row) {
    const auto r = static_cast<unsigned>(row);
    if (others < t - goal)
      return true;
    --others;
    std::uint32_t const* c = coordinates(r);
    for (unsigned s = 0; s < width; ++s)
      x[s] = c[mOutside[s]];
    productsWithKernel(x, kernel, d, width, t, mProducts.data(), v);
    const unsigned pivot = firstNonzero(v, t);
    if (pivot == t)
      return false;
    t = narrowKernel(kernel, d, width, t, v, pivot);
    reached = t == goal;
    return reached;
  };
  for (std::uint64_t w = 0; w < face.wordCount(); ++w)
    for (std::uint64_t bits = faceWords[w] & ~basisWords[w]; bits != 0; bits &= bits - 1)
      if (test(64 * w + lowestBit(bits)))
        return reached;
  return reached;
}

} // namespace double_description
