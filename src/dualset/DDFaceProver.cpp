#include "dualset/DDFaceProver.h"

#include "core/DDBitOps.h"
#include "core/DDMachineMatrix.h"
#include "core/DDUtilsFactory.h"

#include <algorithm>

namespace double_description {

namespace {

using Word = std::uint64_t;

// Sets bit (rank of each bit of bits among the set bits of primary, counted
// from base) in mask: the primary indices of some rows of one word.
void markIndices(Word bits, Word primary, unsigned base, std::uint64_t* mask) {
  for (; bits != 0; bits &= bits - 1) {
    const Word below = (bits & (~bits + 1)) - 1;
    const unsigned index = base + static_cast<unsigned>(__builtin_popcountll(primary & below));
    mask[index / 64] |= Word(1) << (index % 64);
  }
}

__extension__ typedef __int128 Wide;

// The product of a row, nonzero at columns only, with v; unchecked when
// the caller has bounded every partial sum, else false on overflow.
bool sparseDot(std::int64_t const* row, std::uint16_t const* columns, unsigned count,
               std::int64_t const* v, bool bounded, Wide& out) {
  if (bounded) {
    std::int64_t sum = 0;
    for (unsigned k = 0; k < count; ++k)
      sum += row[columns[k]] * v[columns[k]];
    out = sum;
    return true;
  }
  Wide sum = 0;
  for (unsigned k = 0; k < count; ++k)
    if (__builtin_add_overflow(sum, static_cast<Wide>(row[columns[k]]) * v[columns[k]], &sum))
      return false;
  out = sum;
  return true;
}

// v := v * (a / g) - w * (b / g) with g = gcd(a, b), over n entries; false
// when a value would leave the symmetric machine range. The new v is
// orthogonal to whatever both were and to the row that gave v . row = b and
// w . row = a.
bool combineMachine(std::int64_t* v, std::int64_t const* w, std::int64_t a, std::int64_t b,
                    unsigned n, std::uint64_t& bound) {
  const auto g = static_cast<std::int64_t>(gcd64(a, b));
  const std::int64_t factor = a / g;
  const std::int64_t multiple = b / g;
  std::uint64_t magnitudes = 0;
  for (unsigned j = 0; j < n; ++j) {
    std::int64_t scaled = v[j];
    std::int64_t subtracted = 0;
    if (factor != 1 && __builtin_mul_overflow(v[j], factor, &scaled))
      return false;
    if (w[j] != 0 && __builtin_mul_overflow(w[j], multiple, &subtracted))
      return false;
    if (__builtin_sub_overflow(scaled, subtracted, &v[j]) || v[j] == INT64_MIN)
      return false;
    magnitudes |= abs64(v[j]);
  }
  bound |= magnitudes;
  // Small vectors stay as they are: the gcds would cost more than the growth
  // they prevent.
  if (magnitudes >> 24)
    removeContent(v, n);
  return true;
}

void combineExact(mpz_class* v, mpz_class const* w, mpz_class const& a, mpz_class const& b,
                  unsigned n) {
  CalcModule& bank = UtilsFactory::CALC_UTILS;
  mpz_ptr g = bank.accumulator().get_mpz_t();
  mpz_ptr factor = bank.pivotFactor().get_mpz_t();
  mpz_ptr multiple = bank.entryFactor().get_mpz_t();
  mpz_gcd(g, a.get_mpz_t(), b.get_mpz_t());
  mpz_divexact(factor, a.get_mpz_t(), g);
  mpz_divexact(multiple, b.get_mpz_t(), g);
  for (unsigned j = 0; j < n; ++j) {
    mpz_ptr x = v[j].get_mpz_t();
    mpz_mul(x, x, factor);
    if (sgn(w[j]) != 0)
      mpz_submul(x, multiple, w[j].get_mpz_t());
  }
  mpz_set_ui(g, 0);
  for (unsigned j = 0; j < n && mpz_cmp_ui(g, 1) != 0; ++j)
    mpz_gcd(g, g, v[j].get_mpz_t());
  if (mpz_cmp_ui(g, 1) > 0)
    for (unsigned j = 0; j < n; ++j)
      mpz_divexact(v[j].get_mpz_t(), v[j].get_mpz_t(), g);
}

} // namespace

FaceProver::FaceProver(unsigned short m, unsigned short T)
    : mTargetRank(T), mKnown(BitList::wordsFor(m)), mSpare(BitList::wordsFor(m)) {}

bool FaceProver::isAdjacent(DualSetRay const& positive, DualSetRay const& negative) {
  const bool negativeFirst = negative.secondary().count() < positive.secondary().count();
  DualSetRay const& A = negativeFirst ? negative : positive;
  DualSetRay const& B = negativeFirst ? positive : negative;
  mBasisRay = &A;
  mOtherRay = &B;
  mReducedRows = 0;
  const unsigned maskWords = A.maskWords();
  mFreeA.assign(maskWords, 0);
  mFreeB.assign(maskWords, 0);

  // Known: B's zero rows primary in A and B's primary rows secondary in A.
  // Spare: rows secondary in both, dependent unless shown otherwise; with
  // the known rows they make up the face. Free: each ray's primary rows
  // outside the face, as masks over its primary rows. One pass for all of
  // them over the raw words of four lists: this runs for every candidate
  // pair.
  Word const* ap = A.primary().words();
  Word const* as = A.secondary().words();
  Word const* bp = B.primary().words();
  Word const* bs = B.secondary().words();
  Word* known = mKnown.words();
  Word* spare = mSpare.words();
  const std::uint64_t words = mKnown.wordCount();
  unsigned C = 0;
  unsigned S = 0;
  unsigned primaryA = 0;
  unsigned primaryB = 0;
  for (std::uint64_t w = 0; w < words; ++w) {
    const Word za = ap[w] | as[w];
    const Word zb = bp[w] | bs[w];
    known[w] = (zb & ap[w]) | (bp[w] & as[w]);
    spare[w] = as[w] & bs[w];
    C += static_cast<unsigned>(__builtin_popcountll(known[w]));
    S += static_cast<unsigned>(__builtin_popcountll(spare[w]));
    if (const Word freeA = ap[w] & ~zb)
      markIndices(freeA, ap[w], primaryA, mFreeA.data());
    if (const Word freeB = bp[w] & ~za)
      markIndices(freeB, bp[w], primaryB, mFreeB.data());
    primaryA += static_cast<unsigned>(__builtin_popcountll(ap[w]));
    primaryB += static_cast<unsigned>(__builtin_popcountll(bp[w]));
  }

  const unsigned T = mTargetRank;
  mIndependentCount = static_cast<std::uint16_t>(C);
  if (C > T)
    return false;
  if (C == T)
    return true;
  // How many more face rows may turn out dependent with rank T in reach.
  std::int32_t slack = static_cast<std::int32_t>(S + C) - static_cast<std::int32_t>(T);
  if (slack < 0)
    return false;

  // The other face rows, secondary in A, in row order. Those secondary in B
  // too whose certificate from either ray lies in the face's known rows are
  // dependent without arithmetic; the rest are reduced.
  mCandidates.clear();
  std::uint32_t rankA = 0;
  std::uint32_t rankB = 0;
  for (std::uint64_t w = 0; w < words; ++w) {
    const Word pending = (bp[w] | bs[w]) & as[w];
    for (Word bits = pending; bits != 0; bits &= bits - 1) {
      const Word bit = bits & (~bits + 1);
      const auto row = static_cast<std::uint32_t>(64 * w + __builtin_ctzll(bits));
      const std::uint32_t rank = rankA + countBelowBit(as[w], bit);
      const bool both = (bs[w] & bit) != 0;
      if (both && (disjoint(A.supportMaskAt(rank), mFreeA.data(), maskWords) ||
                   disjoint(B.supportMaskAt(rankB + countBelowBit(bs[w], bit)), mFreeB.data(),
                            maskWords))) {
        if (--slack < 0)
          return false;
        continue;
      }
      mCandidates.push_back({row, rank, both});
    }
    rankA += static_cast<std::uint32_t>(__builtin_popcountll(as[w]));
    rankB += static_cast<std::uint32_t>(__builtin_popcountll(bs[w]));
  }

  // The free columns of A, numbered in order. Every face row vanishes on B,
  // whose slack on each free column is not 0, so the restrictions lie in a
  // hyperplane that no coordinate axis lies in: dropping the last free
  // column keeps every rank. Loads write that column into a spare slot.
  mColumnOf.resize(64 * maskWords);
  unsigned k = 0;
  for (unsigned w = 0; w < maskWords; ++w)
    for (Word bits = mFreeA[w]; bits != 0; bits &= bits - 1)
      mColumnOf[64 * w + static_cast<unsigned>(__builtin_ctzll(bits))] =
          static_cast<std::uint16_t>(k++);
  DD_ASSERT(k > 0);
  mColumns = k - 1;

  mPromoted.clear();
  Outcome outcome = reduce<false>(slack);
  if (outcome == Outcome::OVERFLOW) {
    for (std::uint32_t r : mPromoted) {
      mKnown.reset(r);
      mSpare.set(r);
    }
    mPromoted.clear();
    mIndependentCount = static_cast<std::uint16_t>(C);
    outcome = reduce<true>(slack);
  }
  return outcome == Outcome::ADJACENT;
}

bool FaceProver::loadMachine(Candidate const& c, std::int64_t* row, unsigned& count,
                             std::uint64_t& bound) {
  LinearDependenceEntry const& e = *mBasisRay->certificateAt(c.mRank);
  std::int64_t const* values = e.machineValues();
  if (values == nullptr)
    return false;
  count = 0;
  bound = 0;
  std::uint64_t const* mask = mBasisRay->supportMaskAt(c.mRank);
  // Only the support's free rows are visited; each finds its value by its
  // rank in the support.
  unsigned base = 1;
  for (unsigned w = 0; w < mBasisRay->maskWords(); ++w) {
    const Word support = mask[w];
    for (Word bits = support & mFreeA[w]; bits != 0; bits &= bits - 1) {
      const unsigned column = mColumnOf[64 * w + static_cast<unsigned>(__builtin_ctzll(bits))];
      if (column == mColumns)
        continue;
      const std::int64_t value = values[base + countBelowBit(support, bits & (~bits + 1))];
      row[column] = value;
      mNonzero[count++] = static_cast<std::uint16_t>(column);
      bound |= abs64(value);
    }
    base += static_cast<unsigned>(__builtin_popcountll(support));
  }
  return true;
}

void FaceProver::loadExact(Candidate const& c, mpz_class* row) const {
  LinearDependenceEntry const& e = *mBasisRay->certificateAt(c.mRank);
  for (unsigned j = 0; j <= mColumns; ++j)
    row[j] = 0;
  std::uint64_t const* mask = mBasisRay->supportMaskAt(c.mRank);
  unsigned t = 1;
  for (unsigned w = 0; w < mBasisRay->maskWords(); ++w)
    for (Word bits = mask[w]; bits != 0; bits &= bits - 1, ++t)
      if (mFreeA[w] & bits & (~bits + 1))
        e.value(t, row[mColumnOf[64 * w + static_cast<unsigned>(__builtin_ctzll(bits))]]);
}

// A row is independent of the rows taken before it exactly when it is not
// orthogonal to the null space of theirs, kept as a basis: a dependent row,
// the common case, costs one dot product per basis vector and no division.
template <bool EXACT> FaceProver::Outcome FaceProver::reduce(std::int32_t slack) {
  const unsigned n = mColumns;
  // The basis, n vectors at most, then the row being tested with a spare slot.
  const std::size_t cells = static_cast<std::size_t>(n + 1) * (n + 1);
  std::int64_t* machine = nullptr;
  mpz_class* exact = nullptr;
  if constexpr (EXACT) {
    if (mExactRows.size() < cells)
      mExactRows.resize(cells);
    exact = mExactRows.data();
  } else {
    if (mMachineRows.size() < cells)
      mMachineRows.resize(cells);
    machine = mMachineRows.data();
  }
  // The unit vectors to start with.
  for (unsigned i = 0; i < n; ++i)
    for (unsigned j = 0; j < n; ++j) {
      if constexpr (EXACT)
        exact[i * (n + 1) + j] = i == j ? 1 : 0;
      else
        machine[i * (n + 1) + j] = i == j ? 1 : 0;
    }
  unsigned dimension = n;
  const unsigned T = mTargetRank;
  // Machine mode: the magnitudes of every basis vector so far, or-ed (at
  // least the largest), and the loaded row's nonzero columns.
  std::uint64_t basisBound = 1;
  unsigned nonzeroCount = 0;
  bool bounded = false;
  if (mNonzero.size() < n)
    mNonzero.resize(n);
  // Products with the basis vectors, exactly; scratch for both modes.
  mpz_class& exactDot = mExactDot;

  for (Candidate const& c : mCandidates) {
    ++mReducedRows;
    const std::size_t rowAt = static_cast<std::size_t>(dimension) * (n + 1);
    // The first basis vector not orthogonal to the row, and its product.
    unsigned first = dimension;
    std::int64_t pivot = 0;
    if constexpr (EXACT) {
      loadExact(c, exact + rowAt);
      for (unsigned i = 0; i < dimension && first == dimension; ++i) {
        exactDot = 0;
        for (unsigned j = 0; j < n; ++j)
          mpz_addmul(exactDot.get_mpz_t(), exact[rowAt + j].get_mpz_t(),
                     exact[i * (n + 1) + j].get_mpz_t());
        if (sgn(exactDot) != 0)
          first = i;
      }
    } else {
      // The products run over the row's nonzero columns alone, and need no
      // checks while magnitudes times count stay in range.
      std::uint64_t rowBound = 0;
      if (!loadMachine(c, machine + rowAt, nonzeroCount, rowBound))
        return Outcome::OVERFLOW;
      std::int64_t const* row = machine + rowAt;
      std::uint64_t product;
      bounded = !__builtin_mul_overflow(rowBound, basisBound, &product) &&
                !__builtin_mul_overflow(product, std::uint64_t(nonzeroCount) + 1, &product) &&
                product <= INT64_MAX;
      for (unsigned i = 0; i < dimension && first == dimension; ++i) {
        Wide dot;
        if (!sparseDot(row, mNonzero.data(), nonzeroCount, machine + i * (n + 1), bounded, dot))
          return Outcome::OVERFLOW;
        if (dot != 0) {
          if (dot > INT64_MAX || dot < -static_cast<Wide>(INT64_MAX))
            return Outcome::OVERFLOW;
          pivot = static_cast<std::int64_t>(dot);
          first = i;
        }
      }
    }
    if (first == dimension) {
      // Dependent on the rows before it; only rows secondary in B can be.
      DD_ASSERT(c.mSpare);
      if (--slack < 0)
        return Outcome::NOT_ADJACENT;
      continue;
    }

    // The later basis vectors become orthogonal to the row; the first one
    // leaves the basis, its place taken by the last.
    if constexpr (EXACT) {
      mpz_class& a = mExactPivot;
      a = exactDot;
      mpz_class* w = exact + first * (n + 1);
      for (unsigned i = first + 1; i < dimension; ++i) {
        exactDot = 0;
        for (unsigned j = 0; j < n; ++j)
          mpz_addmul(exactDot.get_mpz_t(), exact[rowAt + j].get_mpz_t(),
                     exact[i * (n + 1) + j].get_mpz_t());
        if (sgn(exactDot) != 0)
          combineExact(exact + i * (n + 1), w, a, exactDot, n);
      }
      --dimension;
      if (first != dimension)
        for (unsigned j = 0; j < n; ++j)
          mpz_swap(exact[first * (n + 1) + j].get_mpz_t(),
                   exact[dimension * (n + 1) + j].get_mpz_t());
    } else {
      std::int64_t const* w = machine + first * (n + 1);
      // Later basis vectors are read before they change, so the bound taken
      // with the row holds for them.
      for (unsigned i = first + 1; i < dimension; ++i) {
        Wide dot;
        if (!sparseDot(machine + rowAt, mNonzero.data(), nonzeroCount, machine + i * (n + 1),
                       bounded, dot) ||
            dot > INT64_MAX || dot < -static_cast<Wide>(INT64_MAX))
          return Outcome::OVERFLOW;
        if (dot != 0 && !combineMachine(machine + i * (n + 1), w, pivot,
                                        static_cast<std::int64_t>(dot), n, basisBound))
          return Outcome::OVERFLOW;
      }
      --dimension;
      if (first != dimension)
        std::copy(machine + dimension * (n + 1), machine + dimension * (n + 1) + n,
                  machine + first * (n + 1));
    }
    if (c.mSpare) {
      mSpare.reset(c.mRow);
      mKnown.set(c.mRow);
      mPromoted.push_back(c.mRow);
      if (++mIndependentCount == T)
        return Outcome::ADJACENT;
    }
  }
  return Outcome::NOT_ADJACENT;
}

template FaceProver::Outcome FaceProver::reduce<false>(std::int32_t);
template FaceProver::Outcome FaceProver::reduce<true>(std::int32_t);

} // namespace double_description
