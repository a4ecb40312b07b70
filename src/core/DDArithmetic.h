#ifndef DD_ARITHMETIC_H
#define DD_ARITHMETIC_H

#include <gmpxx.h>

#include <algorithm>
#include <cstdint>

#include "core/DDAssert.h"
#include "core/DDCalcModule.h"
#include "core/DDMachineMatrix.h"
#include "core/DDUtilsFactory.h"

namespace double_description {

__extension__ typedef __int128 WideInteger;

// The two arithmetics of the integer kernels that try machine integers
// first. A kernel is written once as a template over them: it runs over
// MachineArithmetic, and over ExactArithmetic from the start when an operation
// reports that a value does not fit. Both hold the same vectors up to
// positive factors, so both give the same answers.
//
// Machine values stay in the symmetric range |v| <= 2^63 - 1, so that
// negation and absolute value never wrap; operations returning bool return
// false, with their output unspecified, when a value would leave it.
class MachineArithmetic {
public:
  using Value = std::int64_t;

  // Every value the row operations derive stays within maxMagnitude.
  explicit MachineArithmetic(Value maxMagnitude = INT64_MAX) : mMaxMagnitude(maxMagnitude) {}

  static std::uint64_t magnitude(Value v) { return abs64(v); }

  // v when it lies in the symmetric range.
  static bool narrow(WideInteger v, Value& out) {
    if (v > INT64_MAX || v < -static_cast<WideInteger>(INT64_MAX))
      return false;
    out = static_cast<Value>(v);
    return true;
  }

  // row[j] := row[j] * factor - pivot[j] * multiple for j in [from, to), each
  // result within maxMagnitude (at most 2^63 - 1); magnitudes collects the or
  // of the magnitudes written. SkipZeros passes over pairs of zeros: that pays
  // on rows that stay mostly zero, and costs a branch on the others.
  template <bool SkipZeros = false>
  static bool update(Value* row, Value const* pivot, Value factor, Value multiple, unsigned from,
                     unsigned to, std::uint64_t& magnitudes, Value maxMagnitude = INT64_MAX) {
    for (unsigned j = from; j < to; ++j) {
      if (SkipZeros && (row[j] | pivot[j]) == 0)
        continue;
      Value scaled = row[j];
      Value subtracted, value;
      if ((factor != 1 && __builtin_mul_overflow(row[j], factor, &scaled)) ||
          __builtin_mul_overflow(pivot[j], multiple, &subtracted) ||
          __builtin_sub_overflow(scaled, subtracted, &value) || value > maxMagnitude ||
          value < -maxMagnitude)
        return false;
      row[j] = value;
      magnitudes |= abs64(value);
    }
    return true;
  }

  // The row update of an elimination over [from, to) without col: with p =
  // pivot[col], e = row[col] (both nonzero) and g = gcd(p, e), row[j] :=
  // row[j] * (p / g) - pivot[j] * (e / g); col itself becomes 0. False, with
  // the row part updated, when a value would leave maxMagnitude.
  static bool cancel(Value* row, Value const* pivot, unsigned col, unsigned from, unsigned to,
                     std::uint64_t& magnitudes, Value maxMagnitude) {
    const Value p = pivot[col];
    const Value e = row[col];
    DD_ASSERT(p != 0 && e != 0 && p != INT64_MIN && e != INT64_MIN);
    // Two nonzero values of the symmetric range: g fits.
    const auto g = static_cast<Value>(gcd64(p, e));
    const Value factor = p / g;
    const Value multiple = e / g;
    auto range = [&](unsigned begin, unsigned end) {
      return update(row, pivot, factor, multiple, begin, end, magnitudes, maxMagnitude);
    };
    const bool fits =
        col < from || col >= to ? range(from, to) : range(from, col) && range(col + 1, to);
    row[col] = 0;
    return fits;
  }

  // The same within this arithmetic's maxMagnitude.
  bool cancel(Value* row, Value const* pivot, unsigned col, unsigned from, unsigned to,
              std::uint64_t& magnitudes) const {
    return cancel(row, pivot, col, from, to, magnitudes, mMaxMagnitude);
  }

  // The update of the whole row of n entries.
  bool cancel(Value* row, Value const* pivot, unsigned col, unsigned n) const {
    std::uint64_t magnitudes = 0;
    return cancel(row, pivot, col, 0, n, magnitudes);
  }

  static void removeContent(Value* row, unsigned n) { double_description::removeContent(row, n); }

  // l := lcm(l, |p|) for positive l and nonzero p.
  bool lcm(Value& l, Value p) const {
    const auto q = static_cast<Value>(abs64(p) / gcd64(l, p));
    return !__builtin_mul_overflow(l, q, &l) && l <= mMaxMagnitude;
  }

  bool multiply(Value a, Value b, Value& out) const {
    return !__builtin_mul_overflow(a, b, &out) && out <= mMaxMagnitude && out >= -mMaxMagnitude;
  }

  // The sign of the product of two vectors of n entries.
  static bool sign(Value const* a, Value const* b, unsigned n, int& out) {
    WideInteger sum = 0;
    for (unsigned j = 0; j < n; ++j)
      if (__builtin_add_overflow(sum, static_cast<WideInteger>(a[j]) * b[j], &sum))
        return false;
    out = (sum > 0) - (sum < 0);
    return true;
  }

  // Tells the products to come that the row's magnitudes or to rowBound over
  // count nonzero entries: while that times the vectors' bound fits, they
  // need no checks.
  void boundProducts(std::uint64_t rowBound, unsigned count) {
    std::uint64_t product;
    mChecked = __builtin_mul_overflow(rowBound, mBound, &product) ||
               __builtin_mul_overflow(product, std::uint64_t(count) + 1, &product) ||
               product > INT64_MAX;
  }

  // The product of a row and a vector over the given columns.
  bool dot(Value const* row, Value const* v, std::uint16_t const* columns, unsigned count,
           Value& out) const {
    if (!mChecked) {
      Value sum = 0;
      for (unsigned k = 0; k < count; ++k)
        sum += row[columns[k]] * v[columns[k]];
      out = sum;
      return true;
    }
    WideInteger sum = 0;
    for (unsigned k = 0; k < count; ++k)
      if (__builtin_add_overflow(sum, static_cast<WideInteger>(row[columns[k]]) * v[columns[k]],
                                 &sum))
        return false;
    return narrow(sum, out);
  }

  // v := v * (a / g) - w * (b / g) over n entries, g = gcd(a, b) for nonzero
  // a and b, the new v reduced by its content once it grows large. The
  // vectors' bound takes in its magnitudes.
  bool combine(Value* v, Value const* w, Value a, Value b, unsigned n) {
    const auto g = static_cast<Value>(gcd64(a, b));
    std::uint64_t magnitudes = 0;
    if (!update(v, w, a / g, b / g, 0, n, magnitudes, mMaxMagnitude))
      return false;
    mBound |= magnitudes;
    // Small vectors stay as they are: the gcds would cost more than the growth
    // they prevent.
    if (magnitudes >> 24)
      removeContent(v, n);
    return true;
  }

  static void moveRow(Value* to, Value* from, unsigned n) { std::copy(from, from + n, to); }

private:
  Value mMaxMagnitude;
  // At least the largest magnitude of every vector combine() wrote, 1 for
  // unit vectors.
  std::uint64_t mBound = 1;
  bool mChecked = true;
};

// Exact integers: every operation succeeds. Scratch values come from the
// thread's bank, whose accumulator, pivotFactor and entryFactor the
// operations overwrite.
class ExactArithmetic {
public:
  using Value = mpz_class;

  explicit ExactArithmetic(CalcModule& bank = UtilsFactory::CALC_UTILS) : mBank(bank) {}

  // Exact products need no bounds.
  static std::uint64_t magnitude(Value const&) { return 0; }

  // row[j] := row[j] * factor - pivot[j] * multiple for j in [from, to); the
  // product is skipped where pivot[j] is zero and the scaling for a unit
  // factor.
  static void update(mpz_class* row, mpz_class const* pivot, mpz_srcptr factor, mpz_srcptr multiple,
                     unsigned from, unsigned to) {
    const bool unitFactor = mpz_cmp_ui(factor, 1) == 0;
    for (unsigned j = from; j < to; ++j) {
      mpz_ptr v = row[j].get_mpz_t();
      if (!unitFactor)
        mpz_mul(v, v, factor);
      mpz_srcptr b = pivot[j].get_mpz_t();
      if (mpz_sgn(b) != 0)
        mpz_submul(v, multiple, b);
    }
  }

  void boundProducts(std::uint64_t, unsigned) {}

  bool dot(Value const* row, Value const* v, std::uint16_t const* columns, unsigned count,
           Value& out) const {
    out = 0;
    for (unsigned k = 0; k < count; ++k)
      mpz_addmul(out.get_mpz_t(), row[columns[k]].get_mpz_t(), v[columns[k]].get_mpz_t());
    return true;
  }

  // v := v * (a / g) - w * (b / g) over n entries, g = gcd(a, b) for nonzero
  // a and b, then divided by its content.
  bool combine(Value* v, Value const* w, Value const& a, Value const& b, unsigned n) {
    setFactors(a.get_mpz_t(), b.get_mpz_t());
    update(v, w, mBank.pivotFactor().get_mpz_t(), mBank.entryFactor().get_mpz_t(), 0, n);
    removeContent(v, n);
    return true;
  }

  // The update of [from, to) without col as MachineArithmetic::cancel().
  bool cancel(Value* row, Value const* pivot, unsigned col, unsigned from, unsigned to,
              std::uint64_t&) {
    setFactors(pivot[col].get_mpz_t(), row[col].get_mpz_t());
    mpz_srcptr factor = mBank.pivotFactor().get_mpz_t();
    mpz_srcptr multiple = mBank.entryFactor().get_mpz_t();
    if (col < from || col >= to) {
      update(row, pivot, factor, multiple, from, to);
    } else {
      update(row, pivot, factor, multiple, from, col);
      update(row, pivot, factor, multiple, col + 1, to);
    }
    row[col] = 0;
    return true;
  }

  // The update of the whole row of n entries.
  bool cancel(Value* row, Value const* pivot, unsigned col, unsigned n) {
    std::uint64_t magnitudes = 0;
    return cancel(row, pivot, col, 0, n, magnitudes);
  }

  // Divides the row by the gcd of its entries.
  void removeContent(Value* row, unsigned n) {
    mpz_ptr g = mBank.accumulator().get_mpz_t();
    mpz_set_ui(g, 0);
    for (unsigned j = 0; j < n && mpz_cmp_ui(g, 1) != 0; ++j)
      mpz_gcd(g, g, row[j].get_mpz_t());
    if (mpz_cmp_ui(g, 1) > 0)
      for (unsigned j = 0; j < n; ++j)
        mpz_divexact(row[j].get_mpz_t(), row[j].get_mpz_t(), g);
  }

  static bool lcm(Value& l, Value const& p) {
    mpz_lcm(l.get_mpz_t(), l.get_mpz_t(), p.get_mpz_t());
    return true;
  }

  static bool multiply(Value const& a, Value const& b, Value& out) {
    mpz_mul(out.get_mpz_t(), a.get_mpz_t(), b.get_mpz_t());
    return true;
  }

  bool sign(Value const* a, Value const* b, unsigned n, int& out) {
    mpz_ptr sum = mBank.accumulator().get_mpz_t();
    mpz_set_ui(sum, 0);
    for (unsigned j = 0; j < n; ++j)
      mpz_addmul(sum, a[j].get_mpz_t(), b[j].get_mpz_t());
    out = mpz_sgn(sum);
    return true;
  }

  static void moveRow(Value* to, Value* from, unsigned n) {
    for (unsigned j = 0; j < n; ++j)
      mpz_swap(to[j].get_mpz_t(), from[j].get_mpz_t());
  }

private:
  // pivotFactor := p / g and entryFactor := e / g for g = gcd(p, e).
  void setFactors(mpz_srcptr p, mpz_srcptr e) {
    mpz_ptr g = mBank.accumulator().get_mpz_t();
    mpz_gcd(g, p, e);
    mpz_divexact(mBank.pivotFactor().get_mpz_t(), p, g);
    mpz_divexact(mBank.entryFactor().get_mpz_t(), e, g);
  }

  CalcModule& mBank;
};

} // namespace double_description

#endif
