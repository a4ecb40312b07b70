#include "core/DDExtremeRayUncompressor.h"

#include "core/DDElimination.h"
#include "core/DDUtilsFactory.h"

#include <algorithm>

namespace double_description {

void ExtremeRayUncompressor::load(double_description::Matrix const& m, BitList const& set) {
  const unsigned d = m.getColumns();
  const std::uint64_t* words = set.words();
  unsigned k = 0;
  for (std::uint32_t w = 0; w < mSetWords; ++w) {
    for (std::uint64_t bits = words[w]; bits != 0; bits &= bits - 1) {
      const CalculationVector& source = m.row(64 * w + __builtin_ctzll(bits));
      CalculationVector& target = row(k);
      for (unsigned j = 0; j < d; ++j)
        mpz_set(target[j].get_mpz_t(), source[j].get_mpz_t());
      ++k;
    }
  }
  mRowsInUse = k;
  mColsInUse = d;
}

void ExtremeRayUncompressor::calcExtremeRay(RepresentationVector& x) const {
  const unsigned n = mRowsInUse;
  if (n == 0) {
    x.setValue(0, 1L);
    return;
  }
  const unsigned last = getColumns() - 1;
  mpz_class& g = UtilsFactory::CALC_UTILS.accumulator();
  mpz_neg(g.get_mpz_t(), row(0)[0].get_mpz_t());
  x.setValue(last, g);
  for (unsigned i = 0; i < n; ++i) {
    const mpz_class& v = row(i)[last];
    if (sgn(v) != 0) {
      x.setValue(i, v);
      mpz_gcd(g.get_mpz_t(), g.get_mpz_t(), v.get_mpz_t());
    }
  }
  if (mpz_cmp_ui(g.get_mpz_t(), 1) != 0)
    for (mpz_class& value : x.mValues)
      mpz_divexact(value.get_mpz_t(), value.get_mpz_t(), g.get_mpz_t());
}

void ExtremeRayUncompressor::calcExtremeRay(double_description::Matrix const& m, BitList const& z,
                                            RepresentationVector& x) {
  if (mMachine != nullptr && (calcExtremeRayFast(m, z, x) || calcExtremeRayBareiss(m, z, x)))
    return;
  load(m, z);
  transformToUpperTriangularMatrix();
  cut_zero_rows();
  for (unsigned p = mRowsInUse; p-- > 0;)
    if (sgn(row(p)[p]) != 0)
      eliminateColumnUp(0, p + 1, p);
  prepare_for_output(getColumns() - 1);
  calcExtremeRay(x);
  orient(m, z, x);
}

void ExtremeRayUncompressor::orient(double_description::Matrix const& m, BitList const& z,
                                    RepresentationVector& x) {
  const std::uint64_t count = z.wordCount();
  const std::uint64_t* words = z.words();
  std::uint64_t w = 0;
  while (w + 1 < count && words[w] == ~std::uint64_t(0))
    ++w;
  const std::uint64_t outside = ~words[w];
  if (outside == 0)
    return;
  const std::uint64_t position = 64 * w + __builtin_ctzll(outside);
  if (position >= m.getRowCount())
    return;
  mpz_class product;
  x.calcScalarProduct(m.row(static_cast<unsigned>(position)), product);
  if (sgn(product) < 0)
    x.negate();
}

bool ExtremeRayUncompressor::calcExtremeRayBareiss(double_description::Matrix const& m,
                                                   BitList const& z, RepresentationVector& x) {
  const unsigned d = m.getColumns();
  const std::uint64_t* words = z.words();
  unsigned k = 0;
  for (std::uint32_t w = 0; w < mSetWords; ++w)
    k += static_cast<unsigned>(__builtin_popcountll(words[w]));
  if (mExact.size() < static_cast<std::size_t>(k) * d)
    mExact.resize(static_cast<std::size_t>(k) * d);
  mpz_class* a = mExact.data();
  unsigned t = 0;
  for (std::uint32_t w = 0; w < mSetWords; ++w)
    for (std::uint64_t bits = words[w]; bits != 0; bits &= bits - 1, ++t) {
      const CalculationVector& source = m.row(64 * w + __builtin_ctzll(bits));
      for (unsigned j = 0; j < d; ++j)
        a[t * d + j] = source[j];
    }

  // Fraction-free forward elimination; after pivot r every remaining entry is
  // a minor of order r + 1, so the division by the previous pivot is exact.
  mPivotColumn.clear();
  mpz_class previous = 1;
  unsigned r = 0;
  for (unsigned c = 0; c < d && r < k; ++c) {
    unsigned i = r;
    while (i < k && sgn(a[i * d + c]) == 0)
      ++i;
    if (i == k)
      continue;
    if (i != r)
      for (unsigned j = c; j < d; ++j)
        mpz_swap(a[i * d + j].get_mpz_t(), a[r * d + j].get_mpz_t());
    const mpz_class& pivot = a[r * d + c];
    for (i = r + 1; i < k; ++i) {
      mpz_class& lead = a[i * d + c];
      if (sgn(lead) == 0) {
        // Still scaled by the new pivot over the old one, exactly.
        for (unsigned j = c + 1; j < d; ++j) {
          mpz_mul(a[i * d + j].get_mpz_t(), a[i * d + j].get_mpz_t(), pivot.get_mpz_t());
          mpz_divexact(a[i * d + j].get_mpz_t(), a[i * d + j].get_mpz_t(), previous.get_mpz_t());
        }
        continue;
      }
      for (unsigned j = c + 1; j < d; ++j) {
        mpz_ptr e = a[i * d + j].get_mpz_t();
        mpz_mul(e, e, pivot.get_mpz_t());
        mpz_submul(e, lead.get_mpz_t(), a[r * d + j].get_mpz_t());
        mpz_divexact(e, e, previous.get_mpz_t());
      }
      lead = 0;
    }
    previous = pivot;
    mPivotColumn.push_back(c);
    ++r;
  }
  if (r + 1 != d)
    return false;

  // The one column without a pivot spans the kernel: set it to 1 and solve
  // the echelon rows from the bottom up in rationals.
  unsigned free = d - 1;
  for (unsigned p = 0; p < r; ++p)
    if (mPivotColumn[p] != p) {
      free = p;
      break;
    }
  mSolution.assign(d, mpq_class(0));
  mSolution[free] = 1;
  for (unsigned p = r; p-- > 0;) {
    const unsigned c = mPivotColumn[p];
    mpq_class sum = 0;
    for (unsigned j = c + 1; j < d; ++j)
      if (sgn(a[p * d + j]) != 0 && sgn(mSolution[j]) != 0)
        sum += mpq_class(a[p * d + j]) * mSolution[j];
    mSolution[c] = -sum / mpq_class(a[p * d + c]);
  }

  mpz_class scale = 1;
  for (mpq_class const& v : mSolution)
    mpz_lcm(scale.get_mpz_t(), scale.get_mpz_t(), v.get_den_mpz_t());
  mpz_class content = 0;
  for (unsigned j = 0; j < d; ++j) {
    mpz_class value = mSolution[j].get_num() * (scale / mSolution[j].get_den());
    mpz_gcd(content.get_mpz_t(), content.get_mpz_t(), value.get_mpz_t());
    mSolution[j] = value;
  }
  // Only a nonzero product with the first row outside z decides the sign;
  // otherwise the elimination above keeps the final word.
  const std::uint64_t count = z.wordCount();
  std::uint64_t w = 0;
  while (w + 1 < count && words[w] == ~std::uint64_t(0))
    ++w;
  const std::uint64_t outside = ~words[w];
  const std::uint64_t position = 64 * w + (outside == 0 ? 0 : __builtin_ctzll(outside));
  if (outside == 0 || position >= m.getRowCount())
    return false;
  const CalculationVector& orientation = m.row(static_cast<unsigned>(position));
  mpz_class product = 0;
  for (unsigned j = 0; j < d; ++j)
    mpz_addmul(product.get_mpz_t(), orientation[j].get_mpz_t(), mSolution[j].get_num_mpz_t());
  if (sgn(product) == 0)
    return false;
  if (sgn(product) < 0)
    mpz_neg(content.get_mpz_t(), content.get_mpz_t());
  for (unsigned j = 0; j < d; ++j)
    if (sgn(mSolution[j]) != 0)
      x.setValue(j, mpz_class(mSolution[j].get_num() / content));
  return true;
}

namespace {

__extension__ typedef __int128 Wide;

// The whole row updated against the pivot; false on overflow. Entries stay
// below 2^62 in magnitude, so that the coordinates derived from them fit.
bool cancel(std::int64_t* row, const std::int64_t* pivot, unsigned col, unsigned d) {
  std::uint64_t magnitudes = 0;
  return cancelEntry(row, pivot, col, 0, d, magnitudes, (std::int64_t(1) << 62) - 1);
}

// The scalar product in 128 bits; false on overflow.
bool product(const std::int64_t* row, const std::int64_t* x, unsigned d, Wide& out) {
  Wide sum = 0;
  for (unsigned j = 0; j < d; ++j)
    if (__builtin_add_overflow(sum, static_cast<Wide>(row[j]) * x[j], &sum))
      return false;
  out = sum;
  return true;
}

} // namespace

// d - 1 independent rows among the rows of z fix the kernel up to a factor;
// it is read off their reduced form, made primitive, checked against every
// row of z and oriented as the exact path orients it. Anything else (a row
// too large, rank other than d - 1, no orientation row) goes the exact way.
bool ExtremeRayUncompressor::calcExtremeRayFast(double_description::Matrix const& m,
                                                BitList const& z, RepresentationVector& x) {
  const unsigned d = m.getColumns();
  if (d < 2 || mMachine->getColumns() != d || z.wordCount() < mSetWords)
    return false;
  const unsigned need = d - 1;
  mPivotRows.resize(static_cast<std::size_t>(need) * d);
  mRow.resize(d);
  mPivotColumn.resize(need);
  mPivotOfColumn.assign(d, -1);
  unsigned pivots = 0;
  const std::uint64_t* words = z.words();
  for (std::uint32_t w = 0; w < mSetWords && pivots < need; ++w) {
    for (std::uint64_t bits = words[w]; bits != 0 && pivots < need; bits &= bits - 1) {
      const unsigned r = static_cast<unsigned>(64 * w + __builtin_ctzll(bits));
      if (r >= m.getRowCount())
        return false;
      const std::int64_t* source = mMachine->row(r);
      if (source == nullptr)
        return false;
      std::int64_t* row = &mPivotRows[static_cast<std::size_t>(pivots) * d];
      std::copy(source, source + d, row);
      for (unsigned col = 0; col < d; ++col) {
        if (row[col] == 0)
          continue;
        const int p = mPivotOfColumn[col];
        if (p < 0) {
          removeContent(row, d);
          mPivotOfColumn[col] = static_cast<int>(pivots);
          mPivotColumn[pivots++] = col;
          break;
        }
        if (!cancel(row, &mPivotRows[static_cast<std::size_t>(p) * d], col, d))
          return false;
        removeContent(row, d);
      }
    }
  }
  if (pivots != need)
    return false;

  // The rows are in echelon form (zero before their pivot column). Clearing
  // the pivot columns from the last one back leaves each row nonzero only at
  // its pivot and at the free column.
  for (unsigned col = d; col-- > 0;) {
    const int i = mPivotOfColumn[col];
    if (i < 0)
      continue;
    const std::int64_t* pivot = &mPivotRows[static_cast<std::size_t>(i) * d];
    for (unsigned j = 0; j < need; ++j) {
      std::int64_t* row = &mPivotRows[static_cast<std::size_t>(j) * d];
      if (static_cast<int>(j) == i || row[col] == 0)
        continue;
      if (!cancel(row, pivot, col, d))
        return false;
      removeContent(row, d);
    }
  }
  unsigned free = 0;
  while (mPivotOfColumn[free] >= 0)
    ++free;

  // x_free = lcm of the pivots, x_c = -row[free] * lcm / row[c]. The rows
  // hold no -2^63, so |p| and -row[free] are safe; a coordinate of -2^63
  // could not be negated by the orientation below and goes the exact way.
  std::int64_t lcm = 1;
  for (unsigned i = 0; i < need; ++i) {
    const std::int64_t p = mPivotRows[static_cast<std::size_t>(i) * d + mPivotColumn[i]];
    const std::int64_t q = (p < 0 ? -p : p) / static_cast<std::int64_t>(gcd64(lcm, p));
    if (__builtin_mul_overflow(lcm, q, &lcm) || lcm >= (std::int64_t(1) << 62))
      return false;
  }
  std::int64_t* v = mRow.data();
  std::fill(v, v + d, 0);
  v[free] = lcm;
  for (unsigned i = 0; i < need; ++i) {
    const std::int64_t* row = &mPivotRows[static_cast<std::size_t>(i) * d];
    const unsigned c = mPivotColumn[i];
    if (__builtin_mul_overflow(-row[free], lcm / row[c], &v[c]) || v[c] == INT64_MIN)
      return false;
  }
  removeContent(v, d);

  for (std::uint32_t w = 0; w < mSetWords; ++w)
    for (std::uint64_t bits = words[w]; bits != 0; bits &= bits - 1) {
      const unsigned r = static_cast<unsigned>(64 * w + __builtin_ctzll(bits));
      if (r >= m.getRowCount())
        return false;
      const std::int64_t* source = mMachine->row(r);
      Wide sum;
      if (source == nullptr || !product(source, v, d, sum) || sum != 0)
        return false;
    }

  // Orientation, as in the exact path; without a deciding row that path's
  // own sign would stand, so it must run.
  const std::uint64_t count = z.wordCount();
  std::uint64_t w = 0;
  while (w + 1 < count && words[w] == ~std::uint64_t(0))
    ++w;
  const std::uint64_t outside = ~words[w];
  if (outside == 0)
    return false;
  const std::uint64_t position = 64 * w + __builtin_ctzll(outside);
  if (position >= m.getRowCount())
    return false;
  const std::int64_t* orientation = mMachine->row(static_cast<unsigned>(position));
  Wide sum;
  if (orientation == nullptr || !product(orientation, v, d, sum) || sum == 0)
    return false;
  const bool negate = sum < 0;
  for (unsigned j = 0; j < d; ++j)
    if (v[j] != 0)
      x.setValue(j, static_cast<long>(negate ? -v[j] : v[j]));
  return true;
}

} // namespace double_description
