#include "core/DDMatrixUtils.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace double_description {

namespace {
Matrix identity(unsigned n) {
  Matrix m(n, n);
  for (unsigned i = 0; i < n; ++i)
    m.row(i)[i] = 1;
  return m;
}

// A column operation matrix T that is the identity except where set; apply()
// multiplies a and R by it and restores the identity.
class ColumnOperation {
public:
  ColumnOperation(Matrix& a, Matrix& r) : mA(a), mR(r), mT(identity(a.getRowCount())) {}

  void set(unsigned i, unsigned j, mpz_class const& v) {
    mT.row(i)[j] = v;
    mChanged.emplace_back(i, j);
  }
  void apply() {
    mA *= mT;
    mR *= mT;
    for (auto [i, j] : mChanged)
      mT.row(i)[j] = i == j ? 1 : 0;
    mChanged.clear();
  }

private:
  Matrix& mA;
  Matrix& mR;
  Matrix mT;
  std::vector<std::pair<unsigned, unsigned>> mChanged;
};
} // namespace

Matrix MatrixUtils::applyNemhauserWolsey(Matrix& a) {
  const unsigned n = a.getRowCount();
  Matrix r = identity(n);
  ColumnOperation t(a, r);
  mpz_class& g = mCalcModule.accumulator();
  mpz_class& s = mCalcModule.pivotFactor();
  mpz_class& u = mCalcModule.entryFactor();
  mpz_class& left = mCalcModule.positiveFactor();
  mpz_class& right = mCalcModule.negativeFactor();
  mpz_class q;

  for (unsigned v = 0; v < std::min(a.getColumns(), n); ++v) {
    for (unsigned j = v + 1; j < a.getColumns(); ++j) {
      if (sgn(a.row(v)[j]) == 0)
        continue;
      left = a.row(v)[v];
      right = a.row(v)[j];
      mpz_gcdext(g.get_mpz_t(), s.get_mpz_t(), u.get_mpz_t(), left.get_mpz_t(), right.get_mpz_t());
      t.set(v, v, s);
      t.set(j, v, u);
      t.set(v, j, -(right / g));
      t.set(j, j, left / g);
      t.apply();
    }
    if (sgn(a.row(v)[v]) < 0) {
      t.set(v, v, -1);
      t.apply();
    }
    // A zero diagonal means a singular matrix; there is nothing to reduce by.
    if (v > 0 && sgn(a.row(v)[v]) != 0) {
      for (unsigned k = 0; k < v; ++k) {
        if (sgn(a.row(v)[k]) == 0)
          continue;
        q = a.row(v)[k] / a.row(v)[v];
        t.set(v, k, -(q + 1));
        t.apply();
      }
      for (unsigned k = 0; k < v; ++k) {
        if (sgn(a.row(v)[k]) == 0)
          continue;
        q = abs(a.row(v)[k] / a.row(v)[v]);
        const bool divisible = mpz_divisible_p(a.row(v)[k].get_mpz_t(), a.row(v)[v].get_mpz_t());
        t.set(v, k, divisible ? q : q + 1);
        t.apply();
      }
    }
  }

  for (unsigned v = 0; v < std::min(a.getColumns(), n); ++v) {
    a.row(v)[v] = 1;
    for (unsigned k = 0; k < v; ++k) {
      if (sgn(a.row(v)[k]) == 0)
        continue;
      t.set(v, k, -a.row(v)[k]);
      t.apply();
    }
  }
  return r;
}

Matrix MatrixUtils::applyPositiveBaseTransformation(Matrix const& a) {
  Matrix base = a.getSubMatrix(0, a.getColumns());
  return applyNemhauserWolsey(base);
}

} // namespace double_description
