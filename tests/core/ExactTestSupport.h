#ifndef DD_EXACTTESTSUPPORT_H
#define DD_EXACTTESTSUPPORT_H

#include <cstdint>
#include <initializer_list>
#include <random>
#include <string>
#include <vector>

#include <gmpxx.h>

#include "core/DDBitList.h"
#include "core/DDBitOps.h"
#include "core/DDMatrix.h"
#include "core/DDRepresentationVector.h"

#include "KeptPatterns.h"

namespace redivez_test {

using double_description::BitList;
using double_description::CalculationVector;
using double_description::Matrix;
using double_description::RepresentationVector;

inline CalculationVector vec(std::vector<long> values) {
  CalculationVector v(values.size());
  for (std::size_t i = 0; i < values.size(); ++i)
    v[i] = values[i];
  return v;
}

inline Matrix matrixOf(std::vector<std::vector<long>> rows) {
  Matrix m;
  for (auto& r : rows)
    m.insert(vec(r));
  return m;
}

inline BitList setOf(unsigned long words, std::initializer_list<unsigned> bits) {
  BitList list(words);
  for (unsigned b : bits)
    double_description::setBit(list.words(), b);
  return list;
}

// Dense coordinates of a sparse vector of dimension d.
inline std::vector<mpz_class> dense(RepresentationVector const& x, unsigned d) {
  std::vector<mpz_class> out(d);
  for (unsigned l = 0; l < d; ++l)
    if (x.mPosition[l] != 0)
      out[l] = x.mValues[x.mPosition[l] - 1];
  return out;
}

inline mpz_class dot(CalculationVector const& row, std::vector<mpz_class> const& x) {
  mpz_class s = 0;
  for (std::size_t i = 0; i < x.size(); ++i)
    s += row[i] * x[i];
  return s;
}

inline mpz_class dot(std::vector<mpz_class> const& row, std::vector<mpz_class> const& x) {
  mpz_class s = 0;
  for (std::size_t i = 0; i < x.size(); ++i)
    s += row[i] * x[i];
  return s;
}

// Exact rank over the rationals, independent of the code under test.
inline unsigned rationalRank(std::vector<std::vector<mpz_class>> rows, unsigned d) {
  std::vector<std::vector<mpq_class>> a;
  for (auto& r : rows) {
    std::vector<mpq_class> q(d);
    for (unsigned j = 0; j < d; ++j)
      q[j] = r[j];
    a.push_back(q);
  }
  unsigned rank = 0;
  for (unsigned col = 0; col < d && rank < a.size(); ++col) {
    std::size_t pivot = rank;
    while (pivot < a.size() && a[pivot][col] == 0)
      ++pivot;
    if (pivot == a.size())
      continue;
    std::swap(a[pivot], a[rank]);
    for (std::size_t i = rank + 1; i < a.size(); ++i) {
      if (a[i][col] == 0)
        continue;
      mpq_class f = a[i][col] / a[rank][col];
      for (unsigned j = col; j < d; ++j)
        a[i][j] -= f * a[rank][j];
    }
    ++rank;
  }
  return rank;
}

inline mpz_class randomEntry(std::mt19937_64& rng, bool huge) {
  if (!huge)
    return mpz_class(static_cast<long>(rng() % 2000001) - 1000000);
  std::string digits = (rng() & 1) ? "-" : "";
  digits += char('1' + rng() % 9);
  for (int i = 1; i < 40; ++i)
    digits += char('0' + rng() % 10);
  return mpz_class(digits);
}

// An entry at or next to an edge of the machine integers: +-2^bits plus an
// offset in -2..2 (mostly 0), or else 0 or a small entry. Zeros are frequent
// so that rows whose only nonzero entries are -2^63 occur.
inline mpz_class boundaryEntry(std::mt19937_64& rng, unsigned bits) {
  switch (rng() % 6) {
  case 0:
  case 1:
    return 0;
  case 2:
    return mpz_class(static_cast<long>(rng() % 5) - 2);
  default: {
    mpz_class v = 1;
    v <<= bits;
    if (rng() % 2)
      v = -v;
    if (rng() % 2)
      v += static_cast<long>(rng() % 5) - 2;
    return v;
  }
  }
}

// The primitive integer vector spanning the kernel of rows, up to its sign;
// empty unless the rows have rank d - 1. Independent of the code under test.
inline std::vector<mpz_class> kernelRay(std::vector<std::vector<mpz_class>> const& rows,
                                        unsigned d) {
  std::vector<std::vector<mpq_class>> a;
  for (auto const& r : rows)
    a.emplace_back(r.begin(), r.end());
  std::vector<unsigned> pivotColumn;
  for (unsigned col = 0; col < d && pivotColumn.size() < a.size(); ++col) {
    const std::size_t rank = pivotColumn.size();
    std::size_t pivot = rank;
    while (pivot < a.size() && a[pivot][col] == 0)
      ++pivot;
    if (pivot == a.size())
      continue;
    std::swap(a[pivot], a[rank]);
    const mpq_class lead = a[rank][col];
    for (unsigned j = 0; j < d; ++j)
      a[rank][j] /= lead;
    for (std::size_t i = 0; i < a.size(); ++i) {
      if (i == rank || a[i][col] == 0)
        continue;
      const mpq_class f = a[i][col];
      for (unsigned j = 0; j < d; ++j)
        a[i][j] -= f * a[rank][j];
    }
    pivotColumn.push_back(col);
  }
  if (pivotColumn.size() + 1 != d)
    return {};
  unsigned free = 0;
  while (free < pivotColumn.size() && pivotColumn[free] == free)
    ++free;
  // Reduced echelon form: x_free = 1, x_pivot = -(entry in the free column).
  std::vector<mpq_class> x(d);
  x[free] = 1;
  for (std::size_t i = 0; i < pivotColumn.size(); ++i)
    x[pivotColumn[i]] = -a[i][free];
  mpz_class scale = 1, content = 0;
  for (mpq_class const& v : x)
    scale = lcm(scale, v.get_den());
  std::vector<mpz_class> ray(d);
  for (unsigned j = 0; j < d; ++j) {
    ray[j] = x[j].get_num() * (scale / x[j].get_den());
    content = gcd(content, ray[j]);
  }
  for (mpz_class& v : ray)
    v /= content;
  return ray;
}

} // namespace redivez_test

#endif
