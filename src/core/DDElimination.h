#ifndef DD_ELIMINATION_H
#define DD_ELIMINATION_H

#include <gmpxx.h>

#include <cstdint>

#include "core/DDArithmetic.h"
#include "core/DDAssert.h"
#include "core/DDBitList.h"
#include "core/DDBitOps.h"
#include "core/DDCalcModule.h"
#include "core/DDCalculationVector.h"
#include "core/DDMachineMatrix.h"
#include "core/DDUtilsFactory.h"

namespace double_description {

// The row update of every exact elimination. With p = pivot[col], e =
// row[col] (not zero) and g = gcd(p, e): entry col becomes 0 and every entry
// j in [from, to) becomes row[j] * (p / g) - pivot[j] * (e / g), the
// subtraction skipped where pivot[j] is zero. Nothing is divided by an
// earlier pivot and rows are never normalised. p / g is left in the bank's
// pivotFactor and e / g in its entryFactor.
inline void cancelEntry(mpz_class* row, mpz_class const* pivot, unsigned col, unsigned from,
                        unsigned to, CalcModule& bank = UtilsFactory::CALC_UTILS) {
  mpz_ptr factor = bank.pivotFactor().get_mpz_t();
  mpz_ptr multiple = bank.entryFactor().get_mpz_t();
  mpz_ptr e = row[col].get_mpz_t();
  mpz_srcptr p = pivot[col].get_mpz_t();
  DD_ASSERT(mpz_sgn(e) != 0 && mpz_sgn(p) != 0);
  mpz_gcd(factor, p, e);
  mpz_divexact(multiple, e, factor);
  mpz_divexact(factor, p, factor);
  mpz_set_ui(e, 0);
  ExactArithmetic::update(row, pivot, factor, multiple, from, to);
}

inline void cancelEntry(CalculationVector& row, CalculationVector const& pivot, unsigned col,
                        unsigned from, unsigned to, CalcModule& bank = UtilsFactory::CALC_UTILS) {
  DD_ASSERT(to <= row.size() && to <= pivot.size());
  cancelEntry(row.mValues.data(), pivot.mValues.data(), col, from, to, bank);
}

// The same update in machine integers, over [from, to) without col; col
// itself becomes 0. Every value stays within maxMagnitude (at most 2^63 - 1,
// so that negating a result never wraps): false, with the row part updated,
// when a product or a difference would overflow or leave that range.
// magnitudes collects the OR of the magnitudes written.
inline bool cancelEntry(std::int64_t* row, std::int64_t const* pivot, unsigned col, unsigned from,
                        unsigned to, std::uint64_t& magnitudes,
                        std::int64_t maxMagnitude = INT64_MAX) {
  return MachineArithmetic::cancel(row, pivot, col, from, to, magnitudes, maxMagnitude);
}

// cancelEntry on sparse rows. Row and pivot keep the entry of column c at
// [index[c]] and count it only while c is in their support, which holds
// exactly their nonzero entries. col is in the row's support and no longer in
// the pivot's. Column col leaves the row's support; every other column of
// either support gets the update of cancelEntry, columns that cancel leave
// the row's support and columns new to it join. Returns whether the row's
// support is empty now. The factors are left in the bank as by cancelEntry;
// g goes through the bank's accumulator, since a quotient written over its
// own divisor would cost GMP a copy per update.
template <class Slot>
inline bool cancelSparseEntry(mpz_class* row, BitList& rowSupport, mpz_class const* pivot,
                              BitList const& pivotSupport, Slot const* index, unsigned col,
                              CalcModule& bank = UtilsFactory::CALC_UTILS) {
  DD_ASSERT(rowSupport.wordCount() == pivotSupport.wordCount());
  DD_ASSERT(rowSupport.test(col) && !pivotSupport.test(col));
  mpz_ptr g = bank.accumulator().get_mpz_t();
  mpz_ptr factor = bank.pivotFactor().get_mpz_t();
  mpz_ptr multiple = bank.entryFactor().get_mpz_t();
  mpz_srcptr e = row[index[col]].get_mpz_t();
  mpz_srcptr p = pivot[index[col]].get_mpz_t();
  DD_ASSERT(mpz_sgn(e) != 0 && mpz_sgn(p) != 0);
  mpz_gcd(g, p, e);
  mpz_divexact(factor, p, g);
  mpz_divexact(multiple, e, g);
  rowSupport.reset(col);
  const bool unitFactor = mpz_cmp_ui(factor, 1) == 0;

  // Word by word over the union of the supports: the three cases of a column
  // are told apart by its bit in either word, without a lookup per column.
  // Rows of many words are mostly empty words, which cost a test each.
  const std::uint64_t n = rowSupport.wordCount();
  std::uint64_t* rowWords = rowSupport.words();
  const std::uint64_t* pivotWords = pivotSupport.words();
  std::uint64_t remaining = 0;
  for (std::uint64_t x = 0; x < n; ++x) {
    std::uint64_t rowWord = rowWords[x];
    const std::uint64_t pivotWord = pivotWords[x];
    std::uint64_t cols = rowWord | pivotWord;
    if (cols == 0)
      continue;
    forEachSetBitOf(cols, 64 * x, [&](std::uint64_t c) {
      const std::uint64_t bit = std::uint64_t(1) << (c % 64);
      mpz_ptr v = row[index[c]].get_mpz_t();
      if (!(pivotWord & bit)) {
        if (!unitFactor)
          mpz_mul(v, v, factor);
      } else if (rowWord & bit) {
        if (!unitFactor)
          mpz_mul(v, v, factor);
        mpz_submul(v, multiple, pivot[index[c]].get_mpz_t());
        if (mpz_sgn(v) == 0)
          rowWord &= ~bit;
      } else {
        mpz_mul(v, multiple, pivot[index[c]].get_mpz_t());
        mpz_neg(v, v);
        rowWord |= bit;
      }
    });
    rowWords[x] = rowWord;
    remaining |= rowWord;
  }
  return remaining == 0;
}

} // namespace double_description

#endif
