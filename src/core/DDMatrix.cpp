#include "core/DDMatrix.h"

#include <algorithm>
#include <sstream>
#include <utility>

#include "core/DDUtilsFactory.h"

namespace double_description {

Matrix::Matrix(unsigned rows, unsigned cols) : mRows(rows, CalculationVector(cols)) {
  mRowOrder.reserve(rows);
  for (unsigned i = 0; i < rows; ++i)
    mRowOrder.push_back(i);
}

Matrix::Matrix(unsigned rows, unsigned cols, std::vector<unsigned> const& order)
    : mRows(rows, CalculationVector(cols)), mRowOrder(order) {}

unsigned Matrix::getColumns() const {
  return mRows.empty() ? 0 : static_cast<unsigned>(mRows.front().size());
}

void Matrix::insert(CalculationVector const& row) {
  mRowOrder.push_back(static_cast<unsigned>(mRows.size()));
  mRows.push_back(row);
}

Matrix Matrix::getSubMatrix(unsigned from, unsigned to) const {
  Matrix sub;
  for (unsigned i = from; i < to; ++i)
    sub.insert(row(i));
  return sub;
}

namespace {

// The positions of a selection sort, each holding the rank of its row, with
// the first position of the least rank at the root.
class RankTournament {
public:
  explicit RankTournament(std::vector<unsigned> ranks) : mRank(std::move(ranks)) {
    while (mLeaves < mRank.size())
      mLeaves *= 2;
    mRank.resize(mLeaves, REMOVED);
    mWinner.resize(2 * mLeaves);
    for (unsigned i = 0; i < mLeaves; ++i)
      mWinner[mLeaves + i] = i;
    for (unsigned node = mLeaves; node-- > 1;)
      mWinner[node] = better(mWinner[2 * node], mWinner[2 * node + 1]);
  }

  unsigned first() const { return mWinner[1]; }
  unsigned rank(unsigned position) const { return mRank[position]; }
  void set(unsigned position, unsigned rank) {
    mRank[position] = rank;
    for (unsigned node = (mLeaves + position) / 2; node >= 1; node /= 2)
      mWinner[node] = better(mWinner[2 * node], mWinner[2 * node + 1]);
  }

  static constexpr unsigned REMOVED = ~0u;

private:
  unsigned better(unsigned a, unsigned b) const {
    return mRank[b] < mRank[a] || (mRank[b] == mRank[a] && b < a) ? b : a;
  }

  std::vector<unsigned> mRank;
  std::vector<unsigned> mWinner;
  unsigned mLeaves = 1;
};

} // namespace

void Matrix::sort(SortCriteria const& criteria, unsigned short from, unsigned short to, int want) {
  if (from >= to)
    return;
  if (want != 1 && want != -1) {
    for (unsigned a = from; a < to; ++a) {
      unsigned pick = a;
      for (unsigned i = a + 1; i < to; ++i)
        if (criteria.cmp(row(i), row(pick)) == want)
          pick = i;
      std::swap(mRowOrder[a], mRowOrder[pick]);
    }
    return;
  }
  // Rank the rows so that a row beats another exactly when its rank is
  // smaller; equal rows share a rank.
  const unsigned n = static_cast<unsigned>(to - from);
  std::vector<unsigned> order(n);
  for (unsigned i = 0; i < n; ++i)
    order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](unsigned x, unsigned y) {
    return criteria.cmp(row(from + x), row(from + y)) == want;
  });
  std::vector<unsigned> ranks(n);
  unsigned rank = 0;
  for (unsigned k = 0; k < n; ++k) {
    if (k > 0 && criteria.cmp(row(from + order[k]), row(from + order[k - 1])) != 0)
      ++rank;
    ranks[order[k]] = rank;
  }
  // The selection sort itself: position a takes the first remaining position
  // of the least rank, and the row it held moves there.
  RankTournament tournament(std::move(ranks));
  for (unsigned a = 0; a < n; ++a) {
    const unsigned pick = tournament.first();
    std::swap(mRowOrder[from + a], mRowOrder[from + pick]);
    if (pick != a)
      tournament.set(pick, tournament.rank(a));
    tournament.set(a, RankTournament::REMOVED);
  }
}

namespace {
unsigned nonzeroCount(CalculationVector const& v) {
  unsigned count = 0;
  for (std::size_t i = 0; i < v.size(); ++i)
    if (sgn(v[i]) != 0)
      ++count;
  return count;
}
} // namespace

void Matrix::optimizeRowsOrder() {
  const unsigned d = getColumns();
  const unsigned m = getRowCount();
  if (d >= m)
    return;
  for (unsigned p = d; p + 1 < m; ++p) {
    unsigned pick = p;
    for (unsigned i = p + 1; i < m; ++i)
      if (nonzeroCount(row(pick)) >= nonzeroCount(row(i)))
        pick = i;
    std::swap(mRowOrder[p], mRowOrder[pick]);
  }
}

Matrix& Matrix::operator*=(Matrix const& other) {
  const unsigned w = other.getColumns();
  const unsigned c = getColumns();
  mpz_class& product = UtilsFactory::CALC_UTILS.entryFactor();
  CalculationVector t(w);
  for (unsigned i = 0; i < getRowCount(); ++i) {
    CalculationVector& r = row(i);
    for (unsigned j = 0; j < w; ++j) {
      t[j] = 0;
      for (unsigned k = 0; k < c; ++k) {
        const mpz_class& b = other.row(k)[j];
        if (sgn(r[k]) != 0 && sgn(b) != 0) {
          mpz_mul(product.get_mpz_t(), r[k].get_mpz_t(), b.get_mpz_t());
          t[j] += product;
        }
      }
    }
    for (unsigned j = 0; j < w; ++j)
      r[j] = t[j];
  }
  return *this;
}

Matrix Matrix::operator*(Matrix const& other) const {
  Matrix result(*this);
  result *= other;
  return result;
}

std::string Matrix::toString() const {
  std::ostringstream out;
  for (unsigned i = 0; i < getRowCount(); ++i) {
    if (i > 0)
      out << '\n';
    out << row(i).toString();
  }
  return out.str();
}

std::string Matrix::getMapping() const {
  std::ostringstream out;
  out << '[';
  for (std::size_t i = 0; i < mRowOrder.size(); ++i) {
    if (i > 0)
      out << ", ";
    out << mRowOrder[i];
  }
  out << ']';
  return out.str();
}

std::string Matrix::to4ti2Format() const {
  std::ostringstream out;
  const unsigned c = getColumns();
  out << getRowCount() << ' ' << c << '\n';
  for (unsigned i = 0; i < getRowCount(); ++i) {
    for (unsigned j = 0; j < c; ++j) {
      if (j > 0)
        out << ' ';
      out << row(i)[j];
    }
    out << '\n';
  }
  return out.str();
}

std::string Matrix::to4ti2RelFormat() const {
  std::ostringstream out;
  out << "1 " << getRowCount() << '\n';
  for (unsigned i = 1; i < getRowCount(); ++i)
    out << "> ";
  out << ">\n";
  return out.str();
}

std::string Matrix::to4ti2SignFormat() const {
  std::ostringstream out;
  out << "1 " << getColumns() << '\n';
  for (unsigned j = 1; j < getColumns(); ++j)
    out << "0 ";
  out << "0\n";
  return out.str();
}

std::string Matrix::toPortaFormat(mpz_class const& c, bool leading) const {
  std::ostringstream out;
  if (c == 1) {
    if (!leading)
      out << '+';
  } else if (c == -1) {
    out << '-';
  } else if (c > 1) {
    if (!leading)
      out << '+';
    out << c;
  } else {
    out << c;
  }
  return out.str();
}

std::string Matrix::toPortaFormat() const {
  std::ostringstream out;
  const unsigned c = getColumns();
  out << "DIM = " << c << '\n' << "INEQUALITIES_SECTION\n";
  for (unsigned i = 0; i < getRowCount(); ++i) {
    bool leading = true;
    for (unsigned j = 0; j < c; ++j) {
      const mpz_class& e = row(i)[j];
      if (sgn(e) == 0)
        continue;
      out << toPortaFormat(e, leading) << 'x' << (j + 1);
      leading = false;
    }
    out << ">=0\n";
  }
  out << "END";
  return out.str();
}

} // namespace double_description
