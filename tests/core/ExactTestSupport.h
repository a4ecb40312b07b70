#ifndef REDIVEZ_TESTS_CORE_EXACTTESTSUPPORT_H
#define REDIVEZ_TESTS_CORE_EXACTTESTSUPPORT_H

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

} // namespace redivez_test

#endif
