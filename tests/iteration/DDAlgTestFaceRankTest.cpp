#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "core/DDMachineMatrix.h"
#include "core/DDMersenne31.h"
#include "core/ExactTestSupport.h"
#include "iteration/DDAlgTestFaceRank.h"

using namespace double_description;
using namespace redivez_test;

namespace {

using F = Mersenne31;

std::vector<std::vector<mpz_class>> rowsOf(Matrix const& m, BitList const& set) {
  std::vector<std::vector<mpz_class>> rows;
  set.forEachSetBit([&](std::uint64_t r) {
    std::vector<mpz_class> row(m.getColumns());
    for (unsigned j = 0; j < m.getColumns(); ++j)
      row[j] = m.row(static_cast<unsigned>(r))[j];
    rows.push_back(row);
  });
  return rows;
}

// Rows orthogonal to a fixed vector q, each a small combination of a few
// generators of q's complement: zero sets of rank at most d - 1 with many
// dependent rows, as the rows tight at a ray.
Matrix randomZeroSetMatrix(std::mt19937_64& rng, unsigned d, unsigned rows, unsigned generators) {
  std::uniform_int_distribution<long> small(-1, 1);
  std::vector<long> q(d);
  for (auto& x : q)
    x = small(rng) * small(rng);
  q[0] = 1;
  std::vector<std::vector<long>> basis;
  for (unsigned g = 0; g < generators; ++g) {
    // Entries 1..d-1 free, entry 0 fixed by orthogonality to q.
    std::vector<long> b(d);
    long dot = 0;
    for (unsigned j = 1; j < d; ++j) {
      b[j] = small(rng);
      dot += b[j] * q[j];
    }
    b[0] = -dot;
    basis.push_back(b);
  }
  std::uniform_int_distribution<unsigned> pick(0, generators - 1);
  std::vector<std::vector<long>> out;
  for (unsigned r = 0; r < rows; ++r) {
    std::vector<long> row(d, 0);
    const unsigned terms = 1 + pick(rng) % 2;
    for (unsigned t = 0; t < terms; ++t) {
      auto const& b = basis[pick(rng)];
      const long c = small(rng) == 0 ? 1 : small(rng);
      for (unsigned j = 0; j < d; ++j)
        row[j] += c * b[j];
    }
    out.push_back(row);
  }
  return matrixOf(out);
}

} // namespace

TEST(Mersenne31, ReducesAndInverts) {
  EXPECT_EQ(F::reduce(std::uint64_t(0)), 0u);
  EXPECT_EQ(F::reduce(std::uint64_t(F::P)), 0u);
  EXPECT_EQ(F::reduce(~std::uint64_t(0)), (~std::uint64_t(0)) % F::P);
  const F::Wide big = (F::Wide(~std::uint64_t(0)) << 64) | ~std::uint64_t(0);
  EXPECT_EQ(F::reduce(big), static_cast<std::uint32_t>(big % F::P));
  EXPECT_EQ(F::of(-1), F::P - 1);
  EXPECT_EQ(F::of(-std::int64_t(F::P)), 0u);
  EXPECT_EQ(F::of(INT64_MAX), static_cast<std::uint32_t>(std::uint64_t(INT64_MAX) % F::P));

  std::mt19937_64 rng(7);
  std::uniform_int_distribution<std::uint32_t> residue(0, F::P - 1);
  for (int i = 0; i < 2000; ++i) {
    const std::uint32_t a = residue(rng), b = residue(rng), x = residue(rng), y = residue(rng);
    const auto expected = static_cast<std::uint32_t>(
        ((F::Wide(a) * x + F::Wide(F::P) * F::P) - F::Wide(b) * y) % F::P);
    EXPECT_EQ(F::mulSub(a, x, b, y), expected);
    if (a != 0) {
      EXPECT_EQ(F::mul(a, F::inverse(a)), 1u) << a;
    }
  }
}

TEST(MachineMatrix, MinorBitsBoundEveryMinor) {
  // Degenerate sizes first.
  const MachineMatrix withZero(matrixOf({{0, 0, 0}, {3, 4, 0}, {0, 0, 0}}));
  EXPECT_EQ(withZero.minorBits(0), 1u);
  EXPECT_EQ(withZero.minorBits(1), 3u); // length 5 < 2^3
  EXPECT_EQ(withZero.minorBits(2), 0u); // one nonzero row: every 2-minor is 0
  EXPECT_EQ(withZero.minorBits(4), 0u);
  // A length of exactly 2^b needs b + 1 bits.
  EXPECT_EQ(MachineMatrix(matrixOf({{4, 0}, {0, 4}})).minorBits(2), 5u);
  // Only independent rows share a minor: the long rows below are multiples
  // of one another, so a 2-minor has one long row at most.
  const MachineMatrix dependent(matrixOf({{0, 100, 0}, {0, 200, 0}, {1, 1, 0}, {0, -300, 0}}));
  EXPECT_EQ(dependent.minorBits(1), 9u); // 300 < 2^9
  EXPECT_EQ(dependent.minorBits(2), 9u); // 300 * sqrt(2) < 2^8.73
  EXPECT_EQ(dependent.minorBits(3), 0u); // rank 2

  std::mt19937_64 rng(11);
  for (int trial = 0; trial < 200; ++trial) {
    const unsigned d = 2 + trial % 6;
    const long range = trial % 3 == 0 ? 1000 : 3;
    std::uniform_int_distribution<long> entry(-range, range);
    std::vector<std::vector<long>> rows(d + 2, std::vector<long>(d));
    for (auto& r : rows)
      for (auto& x : r)
        x = entry(rng);
    const MachineMatrix machine(matrixOf(rows));
    // Every square submatrix of the leading rows and columns, and of
    // the trailing ones.
    for (unsigned k = 1; k <= d; ++k)
      for (unsigned offset : {0u, 2u}) {
        std::vector<std::vector<mpz_class>> sub;
        for (unsigned i = 0; i < k; ++i) {
          std::vector<mpz_class> r;
          for (unsigned j = 0; j < k; ++j)
            r.push_back(rows[i + offset][d - k + j]);
          sub.push_back(r);
        }
        // The determinant by fraction-free elimination.
        int sign = 1;
        mpz_class previous = 1;
        bool singular = false;
        for (unsigned c = 0; c < k && !singular; ++c) {
          unsigned p = c;
          while (p < k && sub[p][c] == 0)
            ++p;
          if (p == k) {
            singular = true;
            break;
          }
          if (p != c) {
            std::swap(sub[p], sub[c]);
            sign = -sign;
          }
          for (unsigned i = c + 1; i < k; ++i) {
            for (unsigned j = c + 1; j < k; ++j)
              sub[i][j] = (sub[c][c] * sub[i][j] - sub[i][c] * sub[c][j]) / previous;
            sub[i][c] = 0;
          }
          previous = sub[c][c];
        }
        if (singular)
          continue;
        const mpz_class det = sign * sub[k - 1][k - 1];
        ASSERT_NE(det, 0);
        // |det| < 2^b: at most b binary digits.
        EXPECT_LE(mpz_sizeinbase(mpz_class(abs(det)).get_mpz_t(), 2), machine.minorBits(k))
            << "d " << d << " k " << k;
      }
  }
}

// The prime field answers exactly when the bound holds; a nonzero minor
// that is a multiple of the prime must keep the matrix on the exact path.
TEST(AlgTestFaceRank, ExactOnlyWhenNoMinorCanVanish) {
  const long p = static_cast<long>(F::P);
  // d = 4: the faces need rank 2. Rows 0 and 1 have the 2-minor p, zero
  // modulo p, and are otherwise independent.
  const Matrix multipleOfPrime = matrixOf({{1, 1, 0, 0}, {0, p, 0, 0}, {0, 0, 0, 1}});
  EXPECT_FALSE(AlgTestFaceRank::exact(MachineMatrix(multipleOfPrime)));
  const Matrix justBelow = matrixOf({{1, 1, 0, 0}, {0, 32767, 0, 0}, {1 << 15, 0, 0, 1}});
  EXPECT_TRUE(AlgTestFaceRank::exact(MachineMatrix(justBelow)));
  const Matrix justAbove = matrixOf({{1, 1, 0, 0}, {0, 32768, 0, 0}, {1 << 15, 0, 0, 1}});
  EXPECT_FALSE(AlgTestFaceRank::exact(MachineMatrix(justAbove)));
  // No row to share the work on: d - 2 = 0.
  EXPECT_FALSE(AlgTestFaceRank::exact(MachineMatrix(matrixOf({{1}}))));
}

// Many faces of one zero set, tested in turn as the visitor does, against
// the rank over the rationals.
TEST(AlgTestFaceRank, AgreesWithTheRationalRank) {
  std::mt19937_64 rng(2024);
  unsigned accepted = 0, rejected = 0, exactTrials = 0;
  for (int trial = 0; trial < 300; ++trial) {
    const unsigned d = 4 + trial % 6;
    const unsigned rows = d + 4 + trial % 60;
    const unsigned generators = d - 1 - (trial % 4 == 0 ? 1 : 0);
    const Matrix m = randomZeroSetMatrix(rng, d, rows, generators);
    const MachineMatrix machine(m);
    if (!AlgTestFaceRank::exact(machine))
      continue;
    ++exactTrials;
    AlgTestFaceRank rank(machine);

    const unsigned words = BitList::wordsFor(rows);
    BitList zero(words);
    std::bernoulli_distribution inZero(0.8);
    for (unsigned r = 0; r < rows; ++r)
      if (inZero(rng))
        zero.set(r);
    std::vector<BitList> faces;
    std::bernoulli_distribution inFace(0.3 + 0.1 * (trial % 6));
    for (int f = 0; f < 12; ++f) {
      BitList face(words);
      zero.forEachSetBit([&](std::uint64_t r) {
        if (inFace(rng))
          face.set(static_cast<unsigned>(r));
      });
      if (face.count() >= d - 2)
        faces.push_back(face);
    }
    // The faces in either order, which changes the basis.
    if (trial % 2 == 0)
      std::reverse(faces.begin(), faces.end());
    ZeroSetFaces held;
    held.setZeroSet(zero);
    for (auto const& face : faces)
      held.add(face);
    rank.setFaces(held);
    for (unsigned i = 0; i < faces.size(); ++i) {
      const bool expected = rationalRank(rowsOf(m, faces[i]), d) >= d - 2;
      EXPECT_EQ(rank.hasRankDMinusTwo(i), expected) << "trial " << trial;
      (expected ? accepted : rejected)++;
    }
  }
  // Both answers must be exercised.
  EXPECT_GT(accepted, 100u);
  EXPECT_GT(rejected, 100u);
  EXPECT_GT(exactTrials, 150u);
}
