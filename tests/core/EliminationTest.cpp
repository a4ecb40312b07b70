#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "ExactTestSupport.h"
#include "core/DDBitOps.h"
#include "core/DDCalculationMatrix.h"
#include "core/DDElimination.h"
#include "core/DDExtremeRayUncompressor.h"
#include "core/DDMachineMatrix.h"
#include "core/DDSLESolver.h"

using namespace double_description;
using namespace redivez_test;

namespace {
std::vector<mpz_class> rayOf(Matrix const& m, BitList const& z) {
  ExtremeRayUncompressor solver(m.getRowCount(), m.getColumns(), z.wordCount());
  RepresentationVector x(m.getColumns());
  solver.calcExtremeRay(m, z, x);
  return dense(x, m.getColumns());
}

std::vector<mpz_class> ints(std::vector<long> v) { return {v.begin(), v.end()}; }
} // namespace

TEST(ExtremeRayUncompressor, SmallCases) {
  struct Case {
    const char* name;
    std::vector<std::vector<long>> rows;
    std::initializer_list<unsigned> zeroSet;
    std::vector<long> ray;
  } cases[] = {
      {"three rows", {{1, -1, 0}, {0, 1, -1}, {1, 0, 0}}, {0, 1}, {1, 1, 1}},
      {"orientation row negated", {{1, -1, 0}, {0, 1, -1}, {-1, 0, 0}}, {0, 1}, {-1, -1, -1}},
      {"one column", {{3}}, {}, {1}},
      {"one column, negative row", {{-3}}, {}, {-1}},
      {"zero first column", {{0, 2, 1}, {0, 1, 5}, {4, 1, 1}}, {0, 1}, {1, 0, 0}},
      {"zero first column, negative", {{0, 2, 1}, {0, 1, 5}, {-4, 1, 1}}, {0, 1}, {-1, 0, 0}},
      // Pivot-free column 1 of 3: coordinates after it are zero.
      {"free column inside",
       {{2, 4, 0, 0}, {0, 0, 3, 1}, {0, 0, 0, 5}, {1, 1, 1, 1}},
       {0, 1, 2},
       {2, -1, 0, 0}},
      // Surplus rows of the same rank are cut.
      {"degenerate", {{1, 1, 0}, {2, 2, 0}, {0, 0, 1}, {1, 0, 0}}, {0, 1, 2}, {1, -1, 0}},
      {"primitive", {{6, -4}, {1, 0}}, {0}, {2, 3}},
      // Every row is in the zero set: no orientation row, the sign is kept.
      {"no row outside", {{1, 0}, {2, 0}}, {0, 1}, {0, 1}},
      {"orientation by a later row", {{1, 0}, {1, 0}, {1, 0}, {0, -1}}, {0, 1, 2}, {0, -1}},
  };
  for (const Case& c : cases) {
    Matrix m = matrixOf(c.rows);
    EXPECT_EQ(rayOf(m, setOf(1, c.zeroSet)), ints(c.ray)) << c.name;
  }
}

TEST(ExtremeRayUncompressor, ReadsLogicalRowsAndSecondWord) {
  // 70 rows over two words; the zero set's rows lie in both words and the
  // stored order is reversed from the logical one.
  std::vector<std::vector<long>> rows(70, std::vector<long>{5, 7, 9});
  rows[69 - 3] = {1, -1, 0};
  rows[69 - 66] = {0, 1, -1};
  rows[69 - 0] = {-1, 0, 0};
  Matrix m = matrixOf(rows);
  std::reverse(m.getRowOrder().begin(), m.getRowOrder().end());
  EXPECT_EQ(rayOf(m, setOf(2, {3, 66})), ints({-1, -1, -1}));
}

TEST(ExtremeRayUncompressor, OrientationRowInSecondWord) {
  std::vector<std::vector<long>> rows(64, std::vector<long>{3, 0});
  rows.push_back({0, -1});
  rows.push_back({0, 1});
  Matrix m = matrixOf(rows);
  BitList z(2);
  z.words()[0] = ~std::uint64_t(0);
  EXPECT_EQ(rayOf(m, z), ints({0, -1}));
}

TEST(CalculationMatrix, ForwardStepCases) {
  CalculationMatrix one(2, 3);
  one.row(0)[0] = 0;
  one.row(0)[1] = 4;
  one.row(0)[2] = 6;
  one.setRowsInUse(1);
  one.setColsInUse(3);
  one.transformToUpperTriangularMatrix();
  EXPECT_EQ(one.row(0)[1], 4);
  EXPECT_EQ(one.row(0)[2], 6);

  // Pivot for column 0 found at position 3: only entries 0 and 3 swap.
  CalculationMatrix w(5, 3);
  long rows[5][3] = {{0, 1, 1}, {0, 2, 1}, {0, 3, 1}, {2, 1, 1}, {7, 7, 7}};
  for (unsigned i = 0; i < 5; ++i)
    for (unsigned j = 0; j < 3; ++j)
      w.row(i)[j] = rows[i][j];
  w.setRowsInUse(4);
  w.setColsInUse(3);
  w.transformToUpperTriangularMatrix();
  EXPECT_EQ(w.getRowOrder()[0], 3u);
  EXPECT_EQ(w.getRowOrder()[3], 0u);
  EXPECT_EQ(w.getRowOrder()[4], 4u);
  EXPECT_EQ(w.row(4)[0], 7) << "rows outside the block are untouched";
  // Fraction-free update without normalisation: (0,2,1) - 2 (0,1,1) = (0,0,-1).
  EXPECT_EQ(w.row(2)[1], 0);
  EXPECT_EQ(w.row(2)[2], -1);
}

TEST(SLESolver, TransposedLoadsAndCommonDiagonal) {
  Matrix m = matrixOf({{1, 2}, {3, 4}, {5, 6}});
  SLESolver s(2, 4, 1);
  s.load(m, setOf(1, {0, 2}));
  EXPECT_EQ(s.getRowsInUse(), 2u);
  EXPECT_EQ(s.getColsInUse(), 2u);
  EXPECT_TRUE(testBit(s.mLoadedSet.words(), 2));
  EXPECT_EQ(s.row(0)[1], 5);
  EXPECT_EQ(s.row(1)[0], 2);
  s.load(m, 1u);
  EXPECT_EQ(s.getColsInUse(), 3u);
  EXPECT_EQ(s.row(1)[2], 4);

  // Diagonals 2 and -3 become their lcm 6; columns from 2 on are scaled.
  SLESolver p(2, 3, 1);
  long rows[2][3] = {{2, 0, 1}, {0, -3, 1}};
  for (unsigned i = 0; i < 2; ++i)
    for (unsigned j = 0; j < 3; ++j)
      p.row(i)[j] = rows[i][j];
  p.setRowsInUse(2);
  p.setColsInUse(3);
  p.prepare_for_output(2);
  EXPECT_EQ(p.row(0)[0], 6);
  EXPECT_EQ(p.row(0)[2], 3);
  EXPECT_EQ(p.row(1)[1], 6);
  EXPECT_EQ(p.row(1)[2], -2);
}

TEST(ExtremeRayUncompressor, RandomizedKernelCrossCheck) {
  std::mt19937_64 rng(20261210);
  const unsigned maxRows = 72, maxCols = 12;
  // One solver for every case: reuse across loads must not leak state.
  ExtremeRayUncompressor solver(maxRows, maxCols, 2);
  int checked = 0;
  for (int trial = 0; checked < 400 && trial < 4000; ++trial) {
    const unsigned d = 1 + trial % maxCols;
    const bool huge = trial % 23 == 0;
    const unsigned rows = d + 1 + rng() % (trial % 5 == 0 ? maxRows - d - 1 : 12);
    // Rows of the zero set: d - 1 random rows, some columns zeroed, plus a few
    // integer combinations of them for degeneracy.
    std::vector<std::vector<mpz_class>> face;
    const unsigned zeroColumn = rng() % 3 == 0 ? rng() % d : d;
    for (unsigned i = 0; i + 1 < d; ++i) {
      std::vector<mpz_class> r(d);
      for (unsigned j = 0; j < d; ++j)
        r[j] = j == zeroColumn ? mpz_class(0) : randomEntry(rng, huge);
      face.push_back(r);
    }
    const unsigned extra = d > 1 ? rng() % 3 : 0;
    for (unsigned e = 0; e < extra; ++e) {
      std::vector<mpz_class> r(d);
      const mpz_class f = long(rng() % 7) - 3, g = long(rng() % 5) + 1;
      const auto& a = face[rng() % (d - 1)];
      const auto& b = face[rng() % (d - 1)];
      for (unsigned j = 0; j < d; ++j)
        r[j] = f * a[j] + g * b[j];
      face.push_back(r);
    }
    if (rationalRank(face, d) != d - 1 || face.size() > rows)
      continue;

    // Place the face rows at random positions; the rest are random rows.
    std::vector<unsigned> positions(rows);
    for (unsigned i = 0; i < rows; ++i)
      positions[i] = i;
    std::shuffle(positions.begin(), positions.end(), rng);
    positions.resize(face.size());
    std::vector<std::vector<mpz_class>> all(rows);
    BitList z(2);
    for (std::size_t i = 0; i < face.size(); ++i) {
      all[positions[i]] = face[i];
      setBit(z.words(), positions[i]);
    }
    Matrix m;
    for (unsigned i = 0; i < rows; ++i) {
      if (all[i].empty())
        for (unsigned j = 0; j < d; ++j)
          all[i].push_back(randomEntry(rng, huge));
      CalculationVector v(d);
      for (unsigned j = 0; j < d; ++j)
        v[j] = all[i][j];
      m.insert(v);
    }
    // Logical order differs from the stored one.
    std::vector<unsigned> order(rows);
    for (unsigned i = 0; i < rows; ++i)
      order[i] = (i + 5) % rows;
    Matrix permuted(0, 0);
    for (unsigned i = 0; i < rows; ++i)
      permuted.insert(m.row(order[i]));
    permuted.getRowOrder() = std::vector<unsigned>(rows);
    for (unsigned i = 0; i < rows; ++i)
      permuted.getRowOrder()[order[i]] = i;

    RepresentationVector x(d);
    solver.calcExtremeRay(permuted, z, x);
    std::vector<mpz_class> ray = dense(x, d);

    // The machine-integer path must give the same vector, or step aside.
    MachineMatrix machine(permuted);
    ExtremeRayUncompressor fast(maxRows, maxCols, 2);
    fast.setMachineMatrix(&machine);
    RepresentationVector y(d);
    fast.calcExtremeRay(permuted, z, y);
    ASSERT_EQ(dense(y, d), ray) << "trial " << trial;

    mpz_class gcd = 0;
    for (const mpz_class& c : ray)
      gcd = ::gcd(gcd, c);
    ASSERT_EQ(gcd, 1) << "trial " << trial << ": nonzero and primitive";
    unsigned firstOutside = 0;
    while (testBit(z.words(), firstOutside))
      ++firstOutside;
    for (unsigned i = 0; i < rows; ++i) {
      const mpz_class s = dot(permuted.row(i), ray);
      if (testBit(z.words(), i)) {
        ASSERT_EQ(s, 0) << "trial " << trial << " row " << i;
      } else if (i == firstOutside) {
        ASSERT_GT(sgn(s), 0) << "trial " << trial;
      }
    }
    ++checked;
  }
  EXPECT_EQ(checked, 400);
}

// Zero sets of rank other than d - 1 and orientation rows with a zero product:
// whatever the exact path answers, the machine path answers too.
TEST(ExtremeRayUncompressor, MachinePathAgreesOnDegenerateSets) {
  std::mt19937_64 rng(7);
  for (int trial = 0; trial < 300; ++trial) {
    const unsigned d = 2 + trial % 6;
    const unsigned rows = d + 2 + rng() % 6;
    Matrix m;
    for (unsigned i = 0; i < rows; ++i) {
      CalculationVector v(d);
      for (unsigned j = 0; j < d; ++j)
        v[j] = long(rng() % 3) - 1; // small entries: many dependent rows
      m.insert(v);
    }
    BitList z(1);
    const unsigned size = 1 + rng() % rows;
    for (unsigned i = 0; i < size; ++i)
      setBit(z.words(), rng() % rows);
    ExtremeRayUncompressor exact(rows, d, 1);
    ExtremeRayUncompressor fast(rows, d, 1);
    MachineMatrix machine(m);
    fast.setMachineMatrix(&machine);
    RepresentationVector x(d), y(d);
    exact.calcExtremeRay(m, z, x);
    fast.calcExtremeRay(m, z, y);
    ASSERT_EQ(dense(y, d), dense(x, d)) << "trial " << trial;
  }
}

// Entries at and around +-2^31, +-2^62, +-2^63 and +-2^64: the machine path
// either gives the exact path's vector or steps aside, for zero sets of every
// rank, -2^63 and rows whose content is 2^63 included.
TEST(ExtremeRayUncompressor, MachinePathAgreesAtTheEdgesOfMachineIntegers) {
  std::mt19937_64 rng(11);
  for (unsigned bits : {31u, 62u, 63u, 64u}) {
    SCOPED_TRACE("entries near 2^" + std::to_string(bits));
    for (int trial = 0; trial < 300; ++trial) {
      const unsigned d = 2 + trial % 4;
      const unsigned rows = d + 1 + rng() % 4;
      Matrix m;
      for (unsigned i = 0; i < rows; ++i) {
        CalculationVector v(d);
        for (unsigned j = 0; j < d; ++j)
          v[j] = boundaryEntry(rng, bits);
        m.insert(v);
      }
      BitList z(1);
      const unsigned size = d - 1 + rng() % 2;
      for (unsigned i = 0; i < size; ++i)
        setBit(z.words(), rng() % rows);
      ExtremeRayUncompressor exact(rows, d, 1);
      ExtremeRayUncompressor fast(rows, d, 1);
      MachineMatrix machine(m);
      fast.setMachineMatrix(&machine);
      RepresentationVector x(d), y(d);
      exact.calcExtremeRay(m, z, x);
      fast.calcExtremeRay(m, z, y);
      ASSERT_EQ(dense(y, d), dense(x, d)) << "trial " << trial;
    }
  }
}

// The machine row update at the edges of its range: a derived value of
// exactly -2^63 lies in an int64_t but not in the symmetric range, and a
// smaller bound cuts at its own edges. Where it fits, it matches the exact
// update.
TEST(MachineRowUpdate, KeepsTheSymmetricRange) {
  constexpr std::int64_t TWO_61 = std::int64_t(1) << 61, TWO_62 = std::int64_t(1) << 62;
  constexpr std::int64_t MAX = INT64_MAX, BELOW_62 = TWO_62 - 1;
  const struct {
    std::vector<std::int64_t> row, pivot;
    unsigned col, from;
    std::int64_t maxMagnitude;
    bool fits;
  } cases[] = {
      {{1, -TWO_62}, {1, TWO_62}, 0, 1, MAX, false},         // -2^63
      {{1, -TWO_62}, {1, TWO_62 - 1}, 0, 1, MAX, true},      // -(2^63 - 1)
      {{1, TWO_62}, {1, -TWO_62}, 0, 1, MAX, false},         // 2^63
      {{1, TWO_62}, {1, -(TWO_62 - 1)}, 0, 1, MAX, true},    // 2^63 - 1
      {{-TWO_62, 1}, {TWO_62, 1}, 1, 0, MAX, false},         // -2^63 before col
      {{3, 2, -TWO_62}, {3, 1, TWO_61}, 1, 0, MAX, false},   // -2^63 after col
      {{1, -TWO_61}, {1, TWO_61}, 0, 0, BELOW_62, false},    // -2^62, col inside
      {{1, -TWO_61}, {1, TWO_61 - 1}, 0, 0, BELOW_62, true}, // -(2^62 - 1)
      {{1, TWO_61}, {1, -TWO_61}, 0, 0, BELOW_62, false},    // 2^62
  };
  for (auto const& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.row) + " " + ::testing::PrintToString(c.pivot));
    const unsigned n = static_cast<unsigned>(c.row.size());
    std::vector<std::int64_t> row = c.row;
    std::uint64_t magnitudes = 0;
    const bool fits =
        cancelEntry(row.data(), c.pivot.data(), c.col, c.from, n, magnitudes, c.maxMagnitude);
    ASSERT_EQ(fits, c.fits);
    if (!fits)
      continue;
    const mpz_class p = static_cast<long>(c.pivot[c.col]), e = static_cast<long>(c.row[c.col]);
    const mpz_class g = gcd(p, e);
    std::uint64_t expectedMagnitudes = 0;
    for (unsigned j = 0; j < n; ++j) {
      if (j == c.col || j < c.from) {
        EXPECT_EQ(row[j], j == c.col ? 0 : c.row[j]) << "column " << j;
        continue;
      }
      const mpz_class exact = mpz_class(static_cast<long>(c.row[j])) * (p / g) -
                              mpz_class(static_cast<long>(c.pivot[j])) * (e / g);
      EXPECT_EQ(mpz_class(static_cast<long>(row[j])), exact) << "column " << j;
      expectedMagnitudes |= abs64(row[j]);
    }
    EXPECT_EQ(magnitudes, expectedMagnitudes);
  }
}

// Both arithmetics cancel a column of the same small sparse rows alike, with
// col before, inside or after the range updated, and over whole rows; the
// entries outside the range keep their values.
TEST(ArithmeticCancel, MachineAndExactAgree) {
  std::mt19937_64 rng(5);
  auto entry = [&](bool nonzero) {
    const long v = long(rng() % 11) - 5;
    return nonzero && v == 0 ? 7L : v;
  };
  for (int trial = 0; trial < 400; ++trial) {
    const unsigned n = 2 + static_cast<unsigned>(rng() % 7);
    std::vector<std::int64_t> row(n), pivot(n);
    for (unsigned j = 0; j < n; ++j) {
      row[j] = rng() % 3 == 0 ? entry(false) : 0;
      pivot[j] = rng() % 3 == 0 ? entry(false) : 0;
    }
    const auto col = static_cast<unsigned>(rng() % n);
    row[col] = entry(true);
    pivot[col] = entry(true) * 3;
    const bool whole = trial % 4 == 0;
    const auto from = whole ? 0u : static_cast<unsigned>(rng() % n);
    const auto to = whole ? n : from + static_cast<unsigned>(rng() % (n - from + 1));
    const std::vector<std::int64_t> original = row;
    std::vector<mpz_class> exactRow(n), exactPivot(n);
    for (unsigned j = 0; j < n; ++j) {
      exactRow[j] = static_cast<long>(row[j]);
      exactPivot[j] = static_cast<long>(pivot[j]);
    }
    MachineArithmetic machine;
    ExactArithmetic exact;
    std::uint64_t magnitudes = 0;
    if (whole) {
      ASSERT_TRUE(machine.cancel(row.data(), pivot.data(), col, n));
      exact.cancel(exactRow.data(), exactPivot.data(), col, n);
    } else {
      ASSERT_TRUE(machine.cancel(row.data(), pivot.data(), col, from, to, magnitudes));
      exact.cancel(exactRow.data(), exactPivot.data(), col, from, to, magnitudes);
    }
    for (unsigned j = 0; j < n; ++j) {
      SCOPED_TRACE("trial " + std::to_string(trial) + " column " + std::to_string(j));
      EXPECT_EQ(mpz_class(static_cast<long>(row[j])), exactRow[j]);
      if (j != col && (j < from || j >= to)) {
        EXPECT_EQ(row[j], original[j]);
      }
    }
    EXPECT_EQ(row[col], 0);
  }
}

// The sparse row update against the dense kernel on the same rows: columns
// spread over three words and stored in shuffled slots, supports with the
// three kinds of column (row only, pivot only, both), and rows that cancel
// in part or as a whole.
TEST(CancelSparseEntry, AgreesWithTheDenseKernel) {
  std::mt19937_64 rng(11);
  const unsigned universe = 190;
  int emptied = 0, cancelledInPart = 0;
  for (int trial = 0; trial < 400; ++trial) {
    // The columns in use, col first; slot[c] is where a row keeps column c.
    std::vector<unsigned> columns(universe);
    for (unsigned c = 0; c < universe; ++c)
      columns[c] = c;
    std::shuffle(columns.begin(), columns.end(), rng);
    columns.resize(2 + rng() % 12);
    const unsigned col = columns[0];
    std::vector<unsigned> slot(universe, ~0u);
    std::vector<unsigned> slots(columns.size());
    for (unsigned i = 0; i < slots.size(); ++i)
      slots[i] = i;
    std::shuffle(slots.begin(), slots.end(), rng);
    for (unsigned i = 0; i < columns.size(); ++i)
      slot[columns[i]] = slots[i];

    const unsigned k = static_cast<unsigned>(columns.size());
    std::vector<mpz_class> rowDense(k), pivotDense(k);
    std::vector<mpz_class> row(k, mpz_class(99)), pivot(k, mpz_class(-77)); // junk off support
    BitList rowSupport(3), pivotSupport(3);
    const bool multiple = trial % 5 == 0; // the row a multiple of the pivot
    const long scale = long(rng() % 5) + 1;
    for (unsigned i = 0; i < k; ++i) {
      const unsigned c = columns[i];
      auto value = [&] {
        const long v = long(rng() % 7) - 3;
        return mpz_class(v == 0 ? 5 : v);
      };
      const unsigned kind = i == 0 ? 3 : static_cast<unsigned>(rng() % 4);
      if (kind & 1) {
        pivotDense[i] = trial % 7 == 0 ? mpz_class(value() * 1000003) : value();
        pivot[slot[c]] = pivotDense[i];
        if (i != 0)
          pivotSupport.set(c);
      }
      if ((kind & 2) || (multiple && (kind & 1))) {
        rowDense[i] = multiple ? mpz_class(scale * pivotDense[i]) : value();
        if (multiple && !(kind & 1))
          continue;
        row[slot[c]] = rowDense[i];
        rowSupport.set(c);
      }
    }
    // Dense: col at position 0, so that [1, k) is every other column.
    std::vector<mpz_class> expected = rowDense;
    cancelEntry(expected.data(), pivotDense.data(), 0, 1, k);
    const mpz_class pivotFactor = UtilsFactory::CALC_UTILS.pivotFactor();
    const mpz_class entryFactor = UtilsFactory::CALC_UTILS.entryFactor();
    UtilsFactory::CALC_UTILS.pivotFactor() = 0;
    UtilsFactory::CALC_UTILS.entryFactor() = 0;

    const bool empty =
        cancelSparseEntry(row.data(), rowSupport, pivot.data(), pivotSupport, slot.data(), col);
    EXPECT_EQ(UtilsFactory::CALC_UTILS.pivotFactor(), pivotFactor);
    EXPECT_EQ(UtilsFactory::CALC_UTILS.entryFactor(), entryFactor);
    bool allZero = true;
    for (unsigned i = 1; i < k; ++i) {
      const unsigned c = columns[i];
      ASSERT_EQ(rowSupport.test(c), sgn(expected[i]) != 0) << "trial " << trial << " column " << c;
      if (sgn(expected[i]) != 0) {
        allZero = false;
        EXPECT_EQ(row[slot[c]], expected[i]) << "trial " << trial << " column " << c;
      } else if (sgn(rowDense[i]) != 0 && sgn(pivotDense[i]) != 0) {
        ++cancelledInPart;
      }
    }
    EXPECT_FALSE(rowSupport.test(col));
    EXPECT_EQ(empty, allZero) << "trial " << trial;
    EXPECT_EQ(empty, rowSupport.none());
    emptied += empty;
  }
  // The fixture reaches both outcomes.
  EXPECT_GT(emptied, 0);
  EXPECT_GT(cancelledInPart, 0);
}
