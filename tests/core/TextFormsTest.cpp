#include <gtest/gtest.h>

#include <random>
#include <string>

#include "ExactTestSupport.h"
#include "core/DDCalculationMatrix.h"
#include "core/DDMatrixUtils.h"
#include "core/DDUtilsFactory.h"

using namespace double_description;
using namespace redivez_test;

namespace {
mpq_class determinant(Matrix const& m) {
  const unsigned n = m.getRowCount();
  std::vector<std::vector<mpq_class>> a(n, std::vector<mpq_class>(n));
  for (unsigned i = 0; i < n; ++i)
    for (unsigned j = 0; j < n; ++j)
      a[i][j] = m.row(i)[j];
  mpq_class det = 1;
  for (unsigned c = 0; c < n; ++c) {
    unsigned p = c;
    while (p < n && a[p][c] == 0)
      ++p;
    if (p == n)
      return 0;
    if (p != c) {
      std::swap(a[p], a[c]);
      det = -det;
    }
    det *= a[c][c];
    for (unsigned i = c + 1; i < n; ++i) {
      mpq_class f = a[i][c] / a[c][c];
      for (unsigned j = c; j < n; ++j)
        a[i][j] -= f * a[c][j];
    }
  }
  return det;
}
} // namespace

TEST(TextForms, VectorsAndMatrices) {
  EXPECT_EQ(vec({-1, 0, 12}).toString(), "-1 0 12");
  EXPECT_EQ(vec({}).toString(), "");

  Matrix m = matrixOf({{1, 2}, {3, 4}, {5, 6}});
  m.getRowOrder() = {2, 0, 1};
  EXPECT_EQ(m.getMapping(), "[2, 0, 1]");
  EXPECT_EQ(matrixOf({{7}}).getMapping(), "[0]");
  EXPECT_EQ(m.toString(), "5 6\n1 2\n3 4");
  EXPECT_EQ(m.to4ti2Format(), "3 2\n5 6\n1 2\n3 4\n");
  EXPECT_EQ(m.to4ti2RelFormat(), "1 3\n> > >\n");
  EXPECT_EQ(m.to4ti2SignFormat(), "1 2\n0 0\n");
}

TEST(TextForms, Porta) {
  struct Case {
    std::vector<long> row;
    const char* line;
  } cases[] = {{{0, 3, -1, 1}, "3x2-x3+x4>=0"},
               {{1, 0, 0}, "x1>=0"},
               {{-2, 1}, "-2x1+x2>=0"},
               {{-1, -5, 2}, "-x1-5x2+2x3>=0"}};
  for (const Case& c : cases) {
    Matrix m = matrixOf({c.row});
    EXPECT_EQ(m.toPortaFormat(), "DIM = " + std::to_string(c.row.size()) +
                                     "\nINEQUALITIES_SECTION\n" + c.line + "\nEND");
  }
  Matrix m;
  EXPECT_EQ(m.toPortaFormat(mpz_class(0), true), "0");
  EXPECT_EQ(m.toPortaFormat(mpz_class(1), true), "");
  EXPECT_EQ(m.toPortaFormat(mpz_class(1), false), "+");
}

TEST(TextForms, WorkspaceDump) {
  CalculationMatrix w(3, 3);
  w.row(0)[0] = 4;
  w.row(0)[1] = -1;
  w.row(1)[1] = 2;
  w.setRowsInUse(2);
  w.setColsInUse(2);
  EXPECT_EQ(w.toString(), "################################## r = 2, c = 2"
                          "################################\n"
                          "|\t4\t-1\t|\n|\t0\t2\t|\n" +
                              std::string(73, '#') + "\n");
}

TEST(MatrixProduct, IdentityAndSquare) {
  Matrix a = matrixOf({{1, -2}, {3, 4}});
  Matrix id = matrixOf({{1, 0}, {0, 1}});
  Matrix p = a * id;
  EXPECT_EQ(p.toString(), a.toString());
  EXPECT_EQ(a.toString(), "1 -2\n3 4");
  EXPECT_EQ(id.toString(), "1 0\n0 1");
  EXPECT_EQ((a * a).toString(), "-5 -10\n15 10");
}

TEST(MatrixUtils, NemhauserWolsey) {
  MatrixUtils utils(UtilsFactory::CALC_UTILS);
  Matrix single = matrixOf({{-5}});
  Matrix r = utils.applyNemhauserWolsey(single);
  EXPECT_EQ(r.toString(), "-1");
  EXPECT_EQ(single.toString(), "1");

  std::mt19937_64 rng(99);
  for (int trial = 0; trial < 20; ++trial) {
    const unsigned n = 2 + trial % 4;
    Matrix a(n, n);
    do {
      for (unsigned i = 0; i < n; ++i)
        for (unsigned j = 0; j < n; ++j)
          a.row(i)[j] = static_cast<long>(rng() % 21) - 10;
    } while (determinant(a) == 0);
    Matrix work(a);
    Matrix t = utils.applyNemhauserWolsey(work);
    EXPECT_EQ(abs(determinant(t)), 1) << "unimodular, trial " << trial;
    for (unsigned i = 0; i < n; ++i)
      for (unsigned j = 0; j < n; ++j)
        EXPECT_EQ(work.row(i)[j], i == j ? 1 : 0) << "trial " << trial;
  }

  Matrix tall = matrixOf({{2, 1}, {0, 3}, {9, 9}});
  const std::string before = tall.toString();
  Matrix base = tall.getSubMatrix(0, 2);
  Matrix expected = utils.applyNemhauserWolsey(base);
  EXPECT_EQ(utils.applyPositiveBaseTransformation(tall).toString(), expected.toString());
  EXPECT_EQ(tall.toString(), before);
}
