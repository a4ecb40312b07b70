#include "dualset/DDFaceProver.h"

#include "core/DDArithmetic.h"
#include "core/DDBitOps.h"

#include <algorithm>

namespace double_description {

namespace {

using Word = std::uint64_t;

// Sets bit (rank of each bit of bits among the set bits of primary, counted
// from base) in mask: the primary indices of some rows of one word.
void markIndices(Word bits, Word primary, unsigned base, std::uint64_t* mask) {
  forEachSetBitOf(
      bits, 0, [&](std::uint64_t k) { setBit(mask, base + countBelowBit(primary, Word(1) << k)); });
}

// The certificate's values in either arithmetic; machine values may be
// missing.
std::int64_t const* valuesOf(LinearDependenceEntry const& e, MachineArithmetic const&) {
  return e.machineValues();
}
LinearDependenceEntry const* valuesOf(LinearDependenceEntry const& e, ExactArithmetic const&) {
  return &e;
}
void read(std::int64_t const* values, unsigned i, std::int64_t& out) { out = values[i]; }
void read(LinearDependenceEntry const* e, unsigned i, mpz_class& out) { e->value(i, out); }

} // namespace

FaceProver::FaceProver(unsigned short m, unsigned short T)
    : mTargetRank(T), mKnown(BitList::wordsFor(m)), mSpare(BitList::wordsFor(m)) {}

void FaceProver::choose(DualSetRay const& positive, DualSetRay const& negative,
                        std::uint64_t firstWord, std::uint64_t endWord) {
  const bool negativeFirst = negative.secondaryCount() < positive.secondaryCount();
  mBasisRay = negativeFirst ? &negative : &positive;
  mOtherRay = negativeFirst ? &positive : &negative;
  mReducedRows = 0;
  const unsigned maskWords = mBasisRay->maskWords();
  if (mFreeA.size() != maskWords) {
    mFreeA.resize(maskWords);
    mFreeB.resize(maskWords);
  }
  std::fill(mFreeA.begin(), mFreeA.end(), 0);
  std::fill(mFreeB.begin(), mFreeB.end(), 0);
  // The last pair's words outside those about to be written are cleared.
  auto clear = [&](std::uint64_t from, std::uint64_t to) {
    if (from < to) {
      std::fill(mKnown.words() + from, mKnown.words() + to, 0);
      std::fill(mSpare.words() + from, mSpare.words() + to, 0);
    }
  };
  clear(mFirstWord, std::min(mEndWord, firstWord));
  clear(std::max(mFirstWord, endWord), mEndWord);
}

// The face is the independent ray's primary rows on which the other ray is
// zero; every other primary row of either ray is free.
void FaceProver::takeIndependentFace(DualSetRay const& positive, DualSetRay const& negative) {
  // The test reads the pair's zero words, this a few bit tests a primary row
  // of either ray: the test is quicker where those words are few.
  const std::uint64_t words =
      std::max(positive.zeroEndWord(), negative.zeroEndWord()) -
      std::min(positive.zeroFirstWord(), negative.zeroFirstWord());
  if (words <= std::uint64_t(positive.primaryCount())) {
    const bool adjacent = isAdjacent(positive, negative);
    DD_ASSERT(adjacent);
    static_cast<void>(adjacent);
    return;
  }
  choose(positive, negative, 0, 0);
  // The registers' words written are those of the face's rows.
  mFirstWord = mKnown.wordCount();
  mEndWord = 0;
  auto mark = [&](DualSetRay const& ray, DualSetRay const& other, std::uint64_t* free) {
    std::uint64_t const* primary = other.primary().words();
    std::uint64_t const* secondary = other.secondary().words();
    for (unsigned t = 0; t < ray.primaryCount(); ++t) {
      const unsigned r = ray.primaryRows()[t];
      if (testBit(primary, r) || testBit(secondary, r)) {
        mKnown.set(r);
        mFirstWord = std::min<std::uint64_t>(mFirstWord, r / 64);
        mEndWord = std::max<std::uint64_t>(mEndWord, r / 64 + 1);
      } else {
        setBit(free, t);
      }
    }
  };
  mark(*mBasisRay, *mOtherRay, mFreeA.data());
  mark(*mOtherRay, *mBasisRay, mFreeB.data());
  mFirstWord = std::min(mFirstWord, mEndWord);
  mIndependentCount = mTargetRank;
  mSpareWords = {0, 0};
}

bool FaceProver::isAdjacent(DualSetRay const& positive, DualSetRay const& negative) {
  // Only the words where either ray has zero rows are read.
  const std::uint64_t firstWord = std::min(positive.zeroFirstWord(), negative.zeroFirstWord());
  const std::uint64_t endWord = std::max(positive.zeroEndWord(), negative.zeroEndWord());
  choose(positive, negative, firstWord, endWord);
  DualSetRay const& A = *mBasisRay;
  DualSetRay const& B = *mOtherRay;
  const unsigned maskWords = A.maskWords();

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
  mFirstWord = firstWord;
  mEndWord = endWord;
  DD_ASSERT(mEndWord <= mKnown.wordCount());
  mSpareWords = {mFirstWord, mEndWord};
  unsigned C = 0;
  unsigned S = 0;
  unsigned primaryA = 0;
  unsigned primaryB = 0;
  for (std::uint64_t w = mFirstWord; w < mEndWord; ++w) {
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
  for (std::uint64_t w = mFirstWord; w < mEndWord; ++w) {
    const Word pending = (bp[w] | bs[w]) & as[w];
    // A hand loop: the pair can be decided halfway through.
    for (Word bits = pending; bits != 0; bits &= bits - 1) {
      const Word bit = bits & (~bits + 1);
      const auto row = static_cast<std::uint32_t>(64 * w + lowestBit(bits));
      const std::uint32_t rank = rankA + countBelowBit(as[w], bit);
      const bool both = (bs[w] & bit) != 0;
      if (both && (disjoint(A.supportMaskAt(rank), mFreeA.data(), maskWords) ||
                   disjoint(B.supportMaskAt(rankB + countBelowBit(bs[w], bit)), mFreeB.data(),
                            maskWords))) {
        if (--slack < 0)
          return false;
        continue;
      }
      __builtin_prefetch(A.certificateAt(rank));
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
  forEachSetBit(mFreeA.data(), maskWords,
                [&](std::uint64_t i) { mColumnOf[i] = static_cast<std::uint16_t>(k++); });
  DD_ASSERT(k > 0);
  mColumns = k - 1;

  mPromoted.clear();
  MachineArithmetic machine;
  Outcome outcome = reduce(machine, mMachineRows, slack);
  if (outcome == Outcome::OVERFLOW) {
    ++mExactRestarts;
    for (std::uint32_t r : mPromoted) {
      mKnown.reset(r);
      mSpare.set(r);
    }
    mPromoted.clear();
    mIndependentCount = static_cast<std::uint16_t>(C);
    ExactArithmetic exact;
    outcome = reduce(exact, mExactRows, slack);
  }
  return outcome == Outcome::ADJACENT;
}

template <class Arithmetic>
bool FaceProver::load(Arithmetic const& arithmetic, Candidate const& c,
                      typename Arithmetic::Value* row, unsigned& count, std::uint64_t& bound) {
  const auto values = valuesOf(*mBasisRay->certificateAt(c.mRank), arithmetic);
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
    forEachSetBitOf(support & mFreeA[w], 64 * w, [&](std::uint64_t i) {
      const unsigned column = mColumnOf[i];
      if (column == mColumns)
        return;
      read(values, base + countBelowBit(support, Word(1) << (i % 64)), row[column]);
      mNonzero[count++] = static_cast<std::uint16_t>(column);
      bound |= Arithmetic::magnitude(row[column]);
    });
    base += static_cast<unsigned>(__builtin_popcountll(support));
  }
  return true;
}

// A row is independent of the rows taken before it exactly when it is not
// orthogonal to the null space of theirs, kept as a basis: a dependent row,
// the common case, costs one dot product per basis vector and no division.
template <class Arithmetic>
FaceProver::Outcome FaceProver::reduce(Arithmetic& arithmetic,
                                       std::vector<typename Arithmetic::Value>& rows,
                                       std::int32_t slack) {
  using Value = typename Arithmetic::Value;
  const unsigned n = mColumns;
  // The basis, n vectors at most, then the row being tested with a spare slot.
  const std::size_t cells = static_cast<std::size_t>(n + 1) * (n + 1);
  if (rows.size() < cells)
    rows.resize(cells);
  Value* basis = rows.data();
  // The unit vectors to start with.
  for (unsigned i = 0; i < n; ++i)
    for (unsigned j = 0; j < n; ++j)
      basis[i * (n + 1) + j] = i == j ? 1 : 0;
  unsigned dimension = n;
  const unsigned T = mTargetRank;
  // The loaded row's nonzero columns: the products run over them alone.
  unsigned nonzeroCount = 0;
  if (mNonzero.size() < n)
    mNonzero.resize(n);
  Value pivot = 0;
  Value dot = 0;

  for (std::size_t ci = 0; ci < mCandidates.size(); ++ci) {
    Candidate const& c = mCandidates[ci];
    // The next certificate's values are loaded while this row is reduced.
    if (ci + 1 < mCandidates.size())
      mBasisRay->certificateAt(mCandidates[ci + 1].mRank)->prefetchValues();
    ++mReducedRows;
    Value* row = basis + static_cast<std::size_t>(dimension) * (n + 1);
    std::uint64_t rowBound = 0;
    if (!load(arithmetic, c, row, nonzeroCount, rowBound))
      return Outcome::OVERFLOW;
    arithmetic.boundProducts(rowBound, nonzeroCount);
    // The first basis vector not orthogonal to the row, and its product.
    unsigned first = dimension;
    for (unsigned i = 0; i < dimension && first == dimension; ++i) {
      if (!arithmetic.dot(row, basis + i * (n + 1), mNonzero.data(), nonzeroCount, dot))
        return Outcome::OVERFLOW;
      if (dot != 0) {
        pivot = dot;
        first = i;
      }
    }
    if (first == dimension) {
      // Dependent on the rows before it; only rows secondary in B can be.
      DD_ASSERT(c.mSpare);
      if (--slack < 0)
        return Outcome::NOT_ADJACENT;
      continue;
    }

    // The later basis vectors become orthogonal to the row: v := v * pivot -
    // w * (v . row), over their gcd, stays orthogonal to what v and w both
    // were. The first one leaves the basis, its place taken by the last.
    // Later vectors are read before they change, so the bound taken with the
    // row holds for them.
    Value const* w = basis + first * (n + 1);
    for (unsigned i = first + 1; i < dimension; ++i) {
      Value* v = basis + i * (n + 1);
      if (!arithmetic.dot(row, v, mNonzero.data(), nonzeroCount, dot))
        return Outcome::OVERFLOW;
      if (dot != 0 && !arithmetic.combine(v, w, pivot, dot, n))
        return Outcome::OVERFLOW;
    }
    --dimension;
    if (first != dimension)
      Arithmetic::moveRow(basis + first * (n + 1), basis + dimension * (n + 1), n);
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

} // namespace double_description
