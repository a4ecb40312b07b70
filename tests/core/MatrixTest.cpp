#include <gtest/gtest.h>

#include <random>
#include <utility>
#include <vector>

#include "core/DDCalculationMatrix.h"
#include "core/DDLexSortCriteria.h"
#include "core/DDMatrix.h"
#include "core/DDRankCalculator.h"
#include "core/DDRepresentationVector.h"
#include "core/DDUtilsFactory.h"

using namespace double_description;

namespace {
CalculationVector vec(std::vector<long> values) {
  CalculationVector v(values.size());
  for (std::size_t i = 0; i < values.size(); ++i)
    v[i] = values[i];
  return v;
}

Matrix matrixOf(std::vector<std::vector<long>> rows) {
  Matrix m;
  for (auto& r : rows)
    m.insert(vec(r));
  return m;
}

std::vector<long> values(CalculationVector const& v) {
  std::vector<long> out;
  for (std::size_t i = 0; i < v.size(); ++i)
    out.push_back(v[i].get_si());
  return out;
}
} // namespace

TEST(Vector, Simplify) {
  struct Case {
    std::vector<long> in, out;
  } cases[] = {{{-6, 0, 0}, {-1, 0, 0}},
               {{0, 4, -6}, {0, 2, -3}},
               {{0, -4, 6}, {0, -2, 3}},
               {{0, 0, 5}, {0, 0, 1}},
               {{3, 7}, {3, 7}}};
  for (const Case& c : cases) {
    CalculationVector v = vec(c.in);
    v.simplify();
    EXPECT_EQ(values(v), c.out);
  }
}

TEST(RepresentationVector, StoresValuesInFirstGivenOrder) {
  RepresentationVector x(4);
  x.setValue(3, 5L);
  x.setValue(0, mpz_class(-2));
  x.setValue(3, 7L);
  EXPECT_EQ((std::vector<int>{x.mPosition[0], x.mPosition[1], x.mPosition[2], x.mPosition[3]}),
            (std::vector<int>{2, 0, 0, 1}));
  ASSERT_EQ(x.mValues.size(), 2u);
  EXPECT_EQ(x.mValues[0], 7);
  EXPECT_EQ(x.mValues[1], -2);

  x.setValue(1, 0L);
  EXPECT_EQ(x.mPosition[1], 0);
  EXPECT_EQ(x.mValues.size(), 2u);
  x.setValue(3, 0L);
  EXPECT_EQ(x.mPosition[3], 1);
  EXPECT_EQ(x.mValues[0], 0);

  x.setValue(3, 4L);
  mpz_class s;
  x.calcScalarProduct(vec({1, 100, 100, 3}), s);
  EXPECT_EQ(s, 10); // 1 * -2 + 3 * 4
  x.negate();
  x.negate();
  x.calcScalarProduct(vec({1, 100, 100, 3}), s);
  EXPECT_EQ(s, 10);
  x.negate();
  x.calcScalarProduct(vec({1, 100, 100, 3}), s);
  EXPECT_EQ(s, -10);

  x.reset();
  EXPECT_TRUE(x.mValues.empty());
  x.calcScalarProduct(vec({1, 1, 1, 1}), s);
  EXPECT_EQ(s, 0);
  EXPECT_EQ(x.mPosition[0] + x.mPosition[3], 0);
}

TEST(Matrix, ShapesAndColumns) {
  EXPECT_EQ(Matrix().getColumns(), 0u);
  Matrix empty(0, 3);
  EXPECT_EQ(empty.getRowCount(), 0u);
  EXPECT_TRUE(empty.getRowOrder().empty());
  EXPECT_EQ(empty.getColumns(), 0u);

  Matrix m(3, 2);
  EXPECT_EQ(m.getRowOrder(), (std::vector<unsigned>{0, 1, 2}));
  EXPECT_EQ(m.getColumns(), 2u);

  Matrix ordered(2, 4, {1, 0});
  EXPECT_EQ(ordered.getRowOrder(), (std::vector<unsigned>{1, 0}));

  // The first row created decides, whatever the order puts first.
  Matrix ragged = matrixOf({{1, 2, 3}, {4}});
  ragged.getRowOrder() = {1, 0};
  EXPECT_EQ(ragged.getColumns(), 3u);

  CalculationMatrix work(4, 3);
  EXPECT_EQ(work.getColumns(), 0u);
  EXPECT_EQ(work.getRowsInUse(), 0u);
  work.setColsInUse(2);
  EXPECT_EQ(work.getColumns(), 2u);
  RankCalculator rank(5, 2);
  EXPECT_EQ(rank.getColumns(), 0u);
  EXPECT_EQ(rank.getRowCount(), 5u);
}

TEST(Matrix, InsertAndSubMatrixFollowRowOrder) {
  Matrix m = matrixOf({{10}, {11}, {12}});
  m.getRowOrder() = {2, 0, 1};
  m.insert(vec({13}));
  EXPECT_EQ(m.getRowOrder(), (std::vector<unsigned>{2, 0, 1, 3}));
  EXPECT_EQ(values(m.row(3)), (std::vector<long>{13}));

  Matrix n = matrixOf({{10}, {11}, {12}});
  n.getRowOrder() = {2, 0, 1};
  Matrix sub = n.getSubMatrix(1, 3);
  ASSERT_EQ(sub.getRowCount(), 2u);
  EXPECT_EQ(sub.getRowOrder(), (std::vector<unsigned>{0, 1}));
  EXPECT_EQ(values(sub.storedRow(0)), (std::vector<long>{10}));
  EXPECT_EQ(values(sub.storedRow(1)), (std::vector<long>{11}));
  EXPECT_EQ(n.getSubMatrix(3, 3).getRowCount(), 0u);

  Matrix copy(n);
  copy.row(0)[0] = 99;
  EXPECT_EQ(n.row(0)[0], 12);
  Matrix assigned;
  assigned = n;
  EXPECT_EQ(assigned.getRowOrder(), n.getRowOrder());
  EXPECT_EQ(assigned.row(0)[0], 12);
}

TEST(Matrix, LexSortPermutesOnlyTheOrder) {
  Matrix m = matrixOf({{1, 2}, {0, 5}, {1, 2}, {0, 5}});
  LexSortCriteria lex;
  m.sort(lex, 2, 2, -1);
  m.sort(lex, 3, 1, -1);
  EXPECT_EQ(m.getRowOrder(), (std::vector<unsigned>{0, 1, 2, 3}));
  m.sort(lex, 0, 4, -1);
  EXPECT_EQ(m.getRowOrder(), (std::vector<unsigned>{1, 3, 2, 0}));
  EXPECT_EQ(values(m.storedRow(0)), (std::vector<long>{1, 2}));
  EXPECT_EQ(values(m.storedRow(1)), (std::vector<long>{0, 5}));
}

TEST(Comparators, Cases) {
  LexSortCriteria lex;
  ZeroSortCriteria zero;
  struct Case {
    std::vector<long> a, b;
    int lex, zero;
  } cases[] = {
      {{}, {}, 0, 0},         {{1, 2}, {1, 3}, -1, 0},
      {{2, 0}, {1, 9}, 1, 1}, {{0, 0, 1}, {0, 4, 4}, -1, 1},
      {{3, 3}, {3, 3}, 0, 0}, {{-5, 1}, {0, 0}, -1, -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(lex.cmp(vec(c.a), vec(c.b)), c.lex);
    EXPECT_EQ(zero.cmp(vec(c.a), vec(c.b)), c.zero);
  }
}

TEST(Matrix, OptimizeRowsOrderSortsTailByNonzeros) {
  Matrix m = matrixOf({{1, 1}, {1, 1}, {1, 1}, {0, 3}, {0, 0}, {2, 0}});
  m.optimizeRowsOrder();
  EXPECT_EQ(m.getRowOrder()[0], 0u);
  EXPECT_EQ(m.getRowOrder()[1], 1u);
  // Fewest nonzeros first; among equals the last one is picked.
  EXPECT_EQ(m.getRowOrder(), (std::vector<unsigned>{0, 1, 4, 5, 3, 2}));

  Matrix small = matrixOf({{1, 2, 3}, {0, 0, 1}});
  small.optimizeRowsOrder();
  EXPECT_EQ(small.getRowOrder(), (std::vector<unsigned>{0, 1}));
}

// Every role has an integer of its own, zero at the start.
TEST(CalcModule, RolesAreDistinctIntegersStartingAtZero) {
  CalcModule bank;
  mpz_class* roles[] = {&bank.accumulator(), &bank.pivotFactor(), &bank.entryFactor(),
                        &bank.positiveFactor(), &bank.negativeFactor()};
  for (std::size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(*roles[i], 0);
    *roles[i] = static_cast<long>(i + 1);
  }
  for (std::size_t i = 0; i < 5; ++i)
    EXPECT_EQ(*roles[i], static_cast<long>(i + 1));
}

// The fast sort makes exactly the exchanges of the plain selection sort,
// ties included, for both comparators and both directions.
TEST(Matrix, SortPermutesLikeTheSelectionSort) {
  std::mt19937 random(17);
  LexSortCriteria lex;
  ZeroSortCriteria zero;
  for (int trial = 0; trial < 200; ++trial) {
    const unsigned rows = 1 + random() % 40, cols = 1 + random() % 3;
    Matrix m(rows, cols);
    for (unsigned i = 0; i < rows; ++i)
      for (unsigned j = 0; j < cols; ++j)
        m.row(i)[j] = static_cast<long>(random() % 3) - 1; // many equal rows
    const unsigned from = random() % rows, to = from + random() % (rows - from + 1);
    for (SortCriteria const* criteria :
         {static_cast<SortCriteria const*>(&lex), static_cast<SortCriteria const*>(&zero)})
      for (int want : {-1, 1}) {
        Matrix fast = m, plain = m;
        fast.sort(*criteria, static_cast<unsigned short>(from), static_cast<unsigned short>(to),
                  want);
        for (unsigned a = from; a < to; ++a) {
          unsigned pick = a;
          for (unsigned i = a + 1; i < to; ++i)
            if (criteria->cmp(plain.row(i), plain.row(pick)) == want)
              pick = i;
          std::swap(plain.getRowOrder()[a], plain.getRowOrder()[pick]);
        }
        ASSERT_EQ(fast.getRowOrder(), plain.getRowOrder()) << "trial " << trial << " want " << want;
      }
  }
}
