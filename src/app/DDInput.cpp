#include "app/DDInput.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "core/DDElimination.h"
#include "core/DDLexSortCriteria.h"
#include "core/DDRankCalculator.h"
#include "core/DDUtilsFactory.h"
#include "settings/DDTextUtils.h"

namespace double_description {

namespace {

const std::string INCORRECT = "Matrix file seems to be incorrect. ";
const std::string NO_BASIS = "Cannot extract a base with rank ";

InputError incorrect(const std::string& what) { return InputError(INCORRECT + what); }

// A word of the file as quoted in a message: at most its first 40 bytes,
// then "...", so a malformed entry of a million digits stays one short line;
// bytes outside printable ASCII (a NUL would cut the line short) are shown
// as \xNN.
std::string quoted(const std::string& word) {
  static const char* const HEX = "0123456789ABCDEF";
  constexpr std::size_t QUOTED_BYTES = 40;
  const std::size_t length = std::min(word.size(), QUOTED_BYTES);
  std::string text;
  for (std::size_t i = 0; i < length; ++i) {
    const char ch = word[i];
    const unsigned char byte = static_cast<unsigned char>(ch);
    if (byte >= 0x20 && byte < 0x7F) {
      text += ch;
    } else {
      text += "\\x";
      text += HEX[byte >> 4];
      text += HEX[byte & 0xF];
    }
  }
  if (length < word.size())
    text += "...";
  return text;
}

// Words GMP would accept for what they are not: a base prefix without digits
// ('0x', '-0b', '1/0X') reads as 0, and a NUL ends the word GMP sees.
bool isMangled(const std::string& word) {
  if (word.find('\0') != std::string::npos)
    return true;
  std::size_t start = 0;
  while (start <= word.size()) {
    std::size_t end = word.find('/', start);
    if (end == std::string::npos)
      end = word.size();
    const std::size_t digits = start + (start < end && word[start] == '-' ? 1 : 0);
    if (end - digits == 2 && word[digits] == '0') {
      const char base = word[digits + 1];
      if (base == 'x' || base == 'X' || base == 'b' || base == 'B')
        return true;
    }
    start = end + 1;
  }
  return false;
}

std::string position(unsigned long row, unsigned long col) {
  return "row " + std::to_string(row + 1) + ", column " + std::to_string(col + 1);
}

// A plain non-negative decimal number; values beyond the limits saturate.
unsigned long readCount(std::istream& in, const char* what) {
  std::string word;
  if (!(in >> word))
    throw incorrect(std::string("The ") + what + " is missing.");
  unsigned long value = 0;
  for (char ch : word) {
    if (!std::isdigit(static_cast<unsigned char>(ch)))
      throw incorrect(std::string("The ") + what + " is not a non-negative decimal number: '" +
                      quoted(word) + "'.");
    if (value <= MAX_INPUT_ROWS)
      value = value * 10 + static_cast<unsigned long>(ch - '0');
  }
  return value;
}

std::string readEntry(std::istream& in, unsigned long row, unsigned long col) {
  std::string word;
  if (!(in >> word))
    throw incorrect("The file ends before all entries are read: the entry in " +
                    position(row, col) + " is missing.");
  return word;
}

void readIntegerRow(std::istream& in, CalculationVector& row, unsigned long r) {
  for (std::size_t c = 0; c < row.size(); ++c) {
    const std::string word = readEntry(in, r, c);
    if (mpz_set_str(row[c].get_mpz_t(), word.c_str(), 0) != 0 || isMangled(word))
      throw InputError("mpz_set_str: '" + quoted(word) + "' in " + position(r, c) +
                       " is not a valid integer.");
  }
}

// Scales the row by the lcm of the denominators as written.
void readRationalRow(std::istream& in, CalculationVector& row, unsigned long r,
                     std::vector<mpq_class>& fractions) {
  for (std::size_t c = 0; c < row.size(); ++c) {
    const std::string word = readEntry(in, r, c);
    mpq_ptr q = fractions[c].get_mpq_t();
    if (mpq_set_str(q, word.c_str(), 0) != 0 || isMangled(word))
      throw InputError("mpq_set_str: '" + quoted(word) + "' in " + position(r, c) +
                       " is not a valid fraction.");
    if (mpz_sgn(mpq_denref(q)) == 0)
      throw InputError("mpq_set_str: '" + quoted(word) + "' in " + position(r, c) +
                       " has the denominator zero.");
  }
  mpz_class& lcm = UtilsFactory::CALC_UTILS.accumulator();
  mpz_set(lcm.get_mpz_t(), mpq_denref(fractions[0].get_mpq_t()));
  for (std::size_t c = 1; c < row.size(); ++c)
    mpz_lcm(lcm.get_mpz_t(), lcm.get_mpz_t(), mpq_denref(fractions[c].get_mpq_t()));
  mpz_abs(lcm.get_mpz_t(), lcm.get_mpz_t());
  for (std::size_t c = 0; c < row.size(); ++c) {
    mpq_srcptr q = fractions[c].get_mpq_t();
    mpz_divexact(row[c].get_mpz_t(), lcm.get_mpz_t(), mpq_denref(q));
    mpz_mul(row[c].get_mpz_t(), row[c].get_mpz_t(), mpq_numref(q));
  }
}

// Fraction-free forward elimination over the first k rows of w. Fails when
// more than budget columns have no pivot, i.e. when the rows are dependent.
bool echelonPass(RankCalculator& w, unsigned k, unsigned d, long budget) {
  std::vector<unsigned>& order = w.getRowOrder();
  unsigned r = 0;
  unsigned c = 0;
  while (r < k && c < d) {
    if (sgn(w.row(r)[c]) == 0) {
      unsigned j = r + 1;
      while (j < k && sgn(w.row(j)[c]) == 0)
        ++j;
      if (j == k) {
        if (--budget < 0)
          return false;
        ++c;
        continue;
      }
      std::swap(order[r], order[j]);
    }
    const CalculationVector& pivot = w.row(r);
    for (unsigned j = r + 1; j < k; ++j) {
      CalculationVector& row = w.row(j);
      if (sgn(row[c]) != 0)
        cancelEntry(row, pivot, c, c + 1, d);
    }
    ++r;
    ++c;
  }
  return true;
}

// Loads logical rows 0 .. p afresh, so the workspace always equals the front
// block whatever an earlier failed pass left behind.
bool frontIsIndependent(const Matrix& matrix, RankCalculator& w, unsigned p) {
  const unsigned k = p + 1;
  const unsigned d = matrix.getColumns();
  std::vector<unsigned>& order = w.getRowOrder();
  for (unsigned j = 0; j < k; ++j) {
    order[j] = j;
    w.row(j) = matrix.row(j);
  }
  w.setRowsInUse(k);
  w.setColsInUse(d);
  return echelonPass(w, k, d, static_cast<long>(d) - static_cast<long>(k));
}

// Counts and number type of a data block.
struct DataHeader {
  unsigned long mRows;
  unsigned long mColumns;
  std::string mType;

  // Any other type word reads no entries: the rows stay zero.
  bool hasEntries() const { return mType == "integer" || mType == "rational"; }
};

DataHeader readDataHeader(std::istream& in) {
  DataHeader header;
  header.mRows = readCount(in, "row count");
  header.mColumns = readCount(in, "column count");
  if (!(in >> header.mType))
    throw incorrect("The number type is missing.");
  if (header.mRows == 0)
    throw incorrect("The row count is 0.");
  if (header.mColumns == 0)
    throw incorrect("The column count is 0.");
  if (header.mRows > MAX_INPUT_ROWS || header.mColumns > MAX_INPUT_COLUMNS)
    throw InputError("The matrix is too large: at most " + std::to_string(MAX_INPUT_ROWS) +
                     " rows and " + std::to_string(MAX_INPUT_COLUMNS) + " columns are supported.");
  return header;
}

// Rows are appended as they are read, so a header that claims more than the
// file holds costs no more memory than the file.
Matrix readEntries(std::istream& in, const DataHeader& header) {
  Matrix matrix;
  CalculationVector row(header.mColumns);
  std::vector<mpq_class> fractions(header.mType == "rational" ? header.mColumns : 0);
  for (unsigned long r = 0; r < header.mRows; ++r) {
    if (fractions.empty())
      readIntegerRow(in, row, r);
    else
      readRationalRow(in, row, r, fractions);
    matrix.insert(row);
  }
  return matrix;
}

} // namespace

Input::Input(const char* fileName) : mOriginalMatrix(getMatrixFromFile(fileName)) {
  const unsigned d = mOriginalMatrix.getColumns();
  mBaseMatrix = Matrix(d, d);
  for (unsigned i = 0; i < d; ++i)
    mBaseMatrix.row(i)[i] = 1;
  mWorkingMatrix = mOriginalMatrix;
}

Matrix Input::getMatrixFromFile(const char* fileName) const {
  std::ifstream in(fileName);
  if (!in.is_open())
    throw InputError("Can not open file!");

  bool begun = false;
  std::string line;
  while (!begun && std::getline(in, line)) {
    const std::size_t star = line.find('*');
    if (star != std::string::npos)
      line.erase(star);
    begun = trim(line) == "begin";
  }
  if (in.bad()) // e.g. a directory: opened, but unreadable
    throw InputError("Can not open file!");
  if (!begun)
    throw incorrect("No 'begin' line was found.");

  const DataHeader header = readDataHeader(in);
  Matrix matrix = header.hasEntries() ? readEntries(in, header) : Matrix();

  std::string word;
  if (!(in >> word))
    throw incorrect("'end' was expected but the file ended.");
  if (word != "end")
    std::cout << INCORRECT
              << "'end' was expected but something different was found: " << quoted(word)
              << std::endl;

  // All rows zero: the answer findBasis would give, without sorting and
  // trying up to 65535 equal rows first.
  if (!header.hasEntries())
    throw InputError(NO_BASIS +
                     std::to_string(header.mRows < header.mColumns ? header.mRows + 1 : 1));

  matrix.sort(LexSortCriteria(), 0, static_cast<unsigned short>(matrix.getRowCount()), -1);
  findBasis(matrix);
  return matrix;
}

Matrix Input::getMatrixFromFile(std::istream& in) const {
  const DataHeader header = readDataHeader(in);
  if (!header.hasEntries())
    return Matrix(static_cast<unsigned>(header.mRows), static_cast<unsigned>(header.mColumns));
  return readEntries(in, header);
}

void Input::findBasis(Matrix& matrix) const {
  const unsigned n = matrix.getRowCount();
  const unsigned d = matrix.getColumns();
  if (d == 0)
    return;
  if (n < d)
    throw InputError(NO_BASIS + std::to_string(n + 1));

  RankCalculator w(n, d);
  std::vector<unsigned>& order = matrix.getRowOrder();
  for (unsigned p = 0; p < d; ++p) {
    if (frontIsIndependent(matrix, w, p))
      continue;
    // Exchange the rejected row with positions d, d + 1, ... until one fits.
    for (unsigned t = d;; ++t) {
      if (t >= n)
        throw InputError(NO_BASIS + std::to_string(p + 1));
      std::swap(order[p], order[t]);
      if (frontIsIndependent(matrix, w, p))
        break;
    }
  }
}

} // namespace double_description
