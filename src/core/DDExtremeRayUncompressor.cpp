#include "core/DDExtremeRayUncompressor.h"

#include "core/DDArithmetic.h"
#include "core/DDBitOps.h"
#include "core/DDElimination.h"
#include "core/DDUtilsFactory.h"

#include <algorithm>

namespace double_description {

void ExtremeRayUncompressor::load(double_description::Matrix const& m, BitList const& set) {
  const unsigned d = m.getColumns();
  const std::uint64_t* words = set.words();
  unsigned k = 0;
  forEachSetBit(words, mSetWords, [&](std::uint64_t r) {
    const CalculationVector& source = m.row(static_cast<unsigned>(r));
    CalculationVector& target = row(k++);
    for (unsigned j = 0; j < d; ++j)
      mpz_set(target[j].get_mpz_t(), source[j].get_mpz_t());
  });
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
  if (mMachine != nullptr) {
    // Entries stay below 2^62 in magnitude, so that the coordinates derived
    // from them fit.
    MachineArithmetic machine((std::int64_t(1) << 62) - 1);
    if (kernelVector(machine, m, z, mPivotRows, mRow, x))
      return;
    ExactArithmetic exact;
    if (kernelVector(exact, m, z, mExactPivotRows, mExactRow, x))
      return;
  }
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

namespace {

// The first row of m outside z, the one that decides the sign, or -1.
long firstRowOutside(double_description::Matrix const& m, BitList const& z) {
  const std::uint64_t count = z.wordCount();
  const std::uint64_t* words = z.words();
  std::uint64_t w = 0;
  while (w + 1 < count && words[w] == ~std::uint64_t(0))
    ++w;
  const std::uint64_t outside = ~words[w];
  if (outside == 0)
    return -1;
  const std::uint64_t position = 64 * w + lowestBit(outside);
  return position < m.getRowCount() ? static_cast<long>(position) : -1;
}

// Row r of m in either arithmetic; machine rows may be missing.
std::int64_t const* rowOf(MachineMatrix const& machine, Matrix const&, unsigned r,
                          MachineArithmetic const&) {
  return machine.row(r);
}
mpz_class const* rowOf(MachineMatrix const&, Matrix const& m, unsigned r, ExactArithmetic const&) {
  return m.row(r).mValues.data();
}

} // namespace

void ExtremeRayUncompressor::orient(double_description::Matrix const& m, BitList const& z,
                                    RepresentationVector& x) {
  const long position = firstRowOutside(m, z);
  if (position < 0)
    return;
  mpz_class product;
  x.calcScalarProduct(m.row(static_cast<unsigned>(position)), product);
  if (sgn(product) < 0)
    x.negate();
}

// d - 1 independent rows among the rows of z fix the kernel up to a factor;
// it is read off their reduced form, made primitive, checked against every
// row of z and oriented as the general path orients it. Anything else (a
// value that does not fit, rank other than d - 1, no orientation row) goes
// that way.
template <class Arithmetic>
bool ExtremeRayUncompressor::kernelVector(Arithmetic& arithmetic,
                                          double_description::Matrix const& m, BitList const& z,
                                          std::vector<typename Arithmetic::Value>& pivotRows,
                                          std::vector<typename Arithmetic::Value>& vector,
                                          RepresentationVector& x) {
  using Value = typename Arithmetic::Value;
  const unsigned d = m.getColumns();
  if (d < 2 || mMachine->getColumns() != d || z.wordCount() < mSetWords)
    return false;
  const unsigned need = d - 1;
  pivotRows.resize(static_cast<std::size_t>(need) * d);
  vector.resize(d);
  mPivotColumn.resize(need);
  mPivotOfColumn.assign(d, -1);
  unsigned pivots = 0;
  const std::uint64_t* words = z.words();
  // Hand loops over z here and below: both stop early.
  for (std::uint32_t w = 0; w < mSetWords && pivots < need; ++w) {
    for (std::uint64_t bits = words[w]; bits != 0 && pivots < need; bits &= bits - 1) {
      const unsigned r = static_cast<unsigned>(64 * w + lowestBit(bits));
      if (r >= m.getRowCount())
        return false;
      Value const* source = rowOf(*mMachine, m, r, arithmetic);
      if (source == nullptr)
        return false;
      Value* row = &pivotRows[static_cast<std::size_t>(pivots) * d];
      std::copy(source, source + d, row);
      for (unsigned col = 0; col < d; ++col) {
        if (row[col] == 0)
          continue;
        const int p = mPivotOfColumn[col];
        if (p < 0) {
          arithmetic.removeContent(row, d);
          mPivotOfColumn[col] = static_cast<int>(pivots);
          mPivotColumn[pivots++] = col;
          break;
        }
        if (!arithmetic.cancel(row, &pivotRows[static_cast<std::size_t>(p) * d], col, d))
          return false;
        arithmetic.removeContent(row, d);
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
    Value const* pivot = &pivotRows[static_cast<std::size_t>(i) * d];
    for (unsigned j = 0; j < need; ++j) {
      Value* row = &pivotRows[static_cast<std::size_t>(j) * d];
      if (static_cast<int>(j) == i || row[col] == 0)
        continue;
      if (!arithmetic.cancel(row, pivot, col, d))
        return false;
      arithmetic.removeContent(row, d);
    }
  }
  unsigned free = 0;
  while (mPivotOfColumn[free] >= 0)
    ++free;

  // x_free = lcm of the pivots, x_c = -row[free] * lcm / row[c]. The rows
  // hold no -2^63, so |p| and -row[free] are safe.
  Value lcm = 1;
  for (unsigned i = 0; i < need; ++i)
    if (!arithmetic.lcm(lcm, pivotRows[static_cast<std::size_t>(i) * d + mPivotColumn[i]]))
      return false;
  Value* v = vector.data();
  std::fill(v, v + d, 0);
  v[free] = lcm;
  for (unsigned i = 0; i < need; ++i) {
    Value const* row = &pivotRows[static_cast<std::size_t>(i) * d];
    const unsigned c = mPivotColumn[i];
    const Value negated = -row[free];
    const Value quotient = lcm / row[c];
    if (!arithmetic.multiply(negated, quotient, v[c]))
      return false;
  }
  arithmetic.removeContent(v, d);

  int sign;
  for (std::uint32_t w = 0; w < mSetWords; ++w)
    for (std::uint64_t bits = words[w]; bits != 0; bits &= bits - 1) {
      const unsigned r = static_cast<unsigned>(64 * w + lowestBit(bits));
      if (r >= m.getRowCount())
        return false;
      Value const* source = rowOf(*mMachine, m, r, arithmetic);
      if (source == nullptr || !arithmetic.sign(source, v, d, sign) || sign != 0)
        return false;
    }

  // Orientation, as in the general path; without a deciding row that path's
  // own sign would stand, so it must run.
  const long position = firstRowOutside(m, z);
  if (position < 0)
    return false;
  Value const* orientation = rowOf(*mMachine, m, static_cast<unsigned>(position), arithmetic);
  if (orientation == nullptr || !arithmetic.sign(orientation, v, d, sign) || sign == 0)
    return false;
  for (unsigned j = 0; j < d; ++j)
    if (v[j] != 0) {
      if (sign < 0)
        v[j] = -v[j];
      x.setValue(j, v[j]);
    }
  return true;
}

} // namespace double_description
