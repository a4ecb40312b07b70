#include "app/DDInput.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace double_description;

namespace {

using Rows = std::vector<std::vector<long>>;

std::string writeMatrixFile(const std::string& content) {
  static int counter = 0;
  return writeFile("matrix" + std::to_string(counter++) + ".txt", content);
}

Rows rowsOf(const Matrix& matrix, bool logical) {
  Rows rows;
  for (unsigned i = 0; i < matrix.getRowCount(); ++i) {
    const CalculationVector& row = logical ? matrix.row(i) : matrix.storedRow(i);
    std::vector<long> values;
    for (std::size_t c = 0; c < row.size(); ++c)
      values.push_back(row[c].get_si());
    rows.push_back(values);
  }
  return rows;
}

Rows storedRows(const Matrix& matrix) { return rowsOf(matrix, false); }
Rows logicalRows(const Matrix& matrix) { return rowsOf(matrix, true); }

std::string integerBlock(const Rows& rows) {
  std::string text =
      "begin\n" + std::to_string(rows.size()) + " " + std::to_string(rows[0].size()) + " integer\n";
  for (const auto& row : rows) {
    for (long v : row)
      text += std::to_string(v) + " ";
    text += "\n";
  }
  return text + "end\n";
}

const std::string INCORRECT = "Matrix file seems to be incorrect. ";

// What reading the file prints, then its failure or "(no failure)", as lines.
std::string readingOf(const std::string& content) {
  const std::string path = writeMatrixFile(content);
  ::testing::internal::CaptureStdout();
  std::string failure = "(no failure)";
  try {
    Input input(path.c_str());
  } catch (const InputError& error) {
    failure = error.what();
  }
  return ::testing::internal::GetCapturedStdout() + failure + "\n";
}

std::string failureOf(const std::string& content) {
  const std::string path = writeMatrixFile(content);
  try {
    Input input(path.c_str());
  } catch (const InputError& error) {
    return error.what();
  }
  return "(no failure)";
}

} // namespace

TEST(InputTest, EntryNotations) {
  const struct {
    const char* name;
    const char* content;
    Rows stored;
  } cases[] = {
      {"base prefixes", "begin\n4 1 integer\n0x1F -0b101 017 -8\nend\n", {{31}, {-5}, {15}, {-8}}},
      {"words spread over lines", "begin\n2\n2 integer 1\n 0\n\n  0\t1 end", {{1, 0}, {0, 1}}},
      {"all on the begin line's successor", "begin\n2 2 integer 1 0 0 1 end\n", {{1, 0}, {0, 1}}},
      {"rationals scaled by the lcm of their denominators",
       "begin\n3 3 rational\n1/2 -1/3 2\n1 0 0\n0 1/7 0\nend\n",
       {{3, -2, 12}, {1, 0, 0}, {0, 1, 0}}},
      {"fractions taken as written; negative denominators",
       "begin\n2 2 rational\n2/4 1/6\n1/-2 1\nend\n",
       {{6, 2}, {-1, 2}}},
      {"integer and hexadecimal fractions",
       "begin\n2 2 rational\n0x10/0b11 0\n0 -3\nend\n",
       {{16, 0}, {0, -3}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = writeMatrixFile(c.content);
    Input input(path.c_str());
    EXPECT_EQ(storedRows(input.mOriginalMatrix), c.stored);
  }
}

TEST(InputTest, HeaderEndsAtTheBeginLine) {
  const std::string header = "* a cone\nsome words * and a comment\n\nBegin\nBEGIN\n"
                             "begin 2 2 integer\n  begin  * data follows\r\n";
  const std::string path = writeMatrixFile(header + "2 2 integer 0 1 1 0 end");
  Input input(path.c_str());
  EXPECT_EQ(storedRows(input.mOriginalMatrix), (Rows{{0, 1}, {1, 0}}));
}

TEST(InputTest, MatricesOfTheRun) {
  const std::string path =
      writeMatrixFile(integerBlock({{1, 1, 0}, {0, 0, 1}, {1, 0, 0}, {0, 1, 0}}));
  Input input(path.c_str());
  EXPECT_EQ(logicalRows(input.mBaseMatrix), (Rows{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}));
  EXPECT_EQ(storedRows(input.mWorkingMatrix), storedRows(input.mOriginalMatrix));
  EXPECT_EQ(input.mWorkingMatrix.getRowOrder(), input.mOriginalMatrix.getRowOrder());
  EXPECT_EQ(input.mOriginalMatrix.getColumns(), 3u);
}

TEST(InputTest, SortAndBasisSelection) {
  const struct {
    const char* name;
    Rows file;
    Rows processing;
  } cases[] = {
      {"sorted, first rows independent", {{1, 1}, {1, 0}, {0, 1}}, {{0, 1}, {1, 0}, {1, 1}}},
      {"rejected rows cascade to positions d, d + 1",
       {{0, 0, 1}, {0, 0, 2}, {0, 1, 0}, {0, 0, 3}, {1, 0, 0}},
       {{0, 0, 1}, {0, 1, 0}, {1, 0, 0}, {0, 0, 3}, {0, 0, 2}}},
      {"a duplicate is not taken while an independent row remains",
       {{1, 0}, {1, 0}, {2, 1}},
       {{1, 0}, {2, 1}, {1, 0}}},
      {"negative entries sort first", {{0, 1}, {-1, 0}, {1, 1}}, {{-1, 0}, {0, 1}, {1, 1}}},
      // A zero row sorting to the front is tested like any candidate, and a
      // retry never sees what a failed pass left in the workspace.
      {"zero row at the front", {{0, 0}, {0, 1}, {1, 0}, {1, 1}}, {{1, 0}, {0, 1}, {0, 0}, {1, 1}}},
      {"zero row and a dependent candidate",
       {{0, 0, 0}, {0, 0, 1}, {0, 0, 2}, {0, 1, 0}, {1, 0, 0}},
       {{0, 1, 0}, {0, 0, 1}, {1, 0, 0}, {0, 0, 2}, {0, 0, 0}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = writeMatrixFile(integerBlock(c.file));
    Input input(path.c_str());
    EXPECT_EQ(logicalRows(input.mOriginalMatrix), c.processing);
    EXPECT_EQ(storedRows(input.mOriginalMatrix), c.file);
  }
}

TEST(InputTest, FindBasisKeepsTheOrderGiven) {
  const std::string path = writeMatrixFile(integerBlock({{1, 0}, {0, 1}}));
  const Input input(path.c_str());
  const Rows given = {{0, 0, 1}, {0, 0, 2}, {0, 1, 0}, {0, 0, 3}, {1, 0, 0}};
  Matrix matrix(5, 3);
  for (unsigned r = 0; r < 5; ++r)
    for (unsigned c = 0; c < 3; ++c)
      matrix.row(r)[c] = given[r][c];
  input.findBasis(matrix);
  EXPECT_EQ(logicalRows(matrix), (Rows{{0, 0, 1}, {1, 0, 0}, {0, 1, 0}, {0, 0, 2}, {0, 0, 3}}));
  EXPECT_EQ(matrix.getRowOrder(), (std::vector<unsigned>{0, 4, 2, 1, 3}));
}

TEST(InputTest, FailuresSayWhatIsWrong) {
  const struct {
    const char* name;
    std::string content;
    std::string message;
  } cases[] = {
      {"integer entry", "begin\n2 2 integer\n1 0\n0 abc\nend\n",
       "mpz_set_str: 'abc' in row 2, column 2 is not a valid integer."},
      {"octal digit 8", "begin\n1 1 integer 08 end\n",
       "mpz_set_str: '08' in row 1, column 1 is not a valid integer."},
      {"too few entries read the terminator", "begin\n2 2 integer 1 0 0 end\n",
       "mpz_set_str: 'end' in row 2, column 2 is not a valid integer."},
      {"rational entry", "begin\n1 2 rational 1/2 1/x end\n",
       "mpq_set_str: '1/x' in row 1, column 2 is not a valid fraction."},
      {"zero denominator", "begin\n2 2 rational 1 0 0 3/0 end\n",
       "mpq_set_str: '3/0' in row 2, column 2 has the denominator zero."},
      {"no begin line", "Begin\n2 2 integer 1 0 0 1 end\n",
       INCORRECT + "No 'begin' line was found."},
      {"empty file", "", INCORRECT + "No 'begin' line was found."},
      {"row count missing", "begin\n", INCORRECT + "The row count is missing."},
      {"column count missing", "begin\n2", INCORRECT + "The column count is missing."},
      {"type missing", "begin\n2 2\n", INCORRECT + "The number type is missing."},
      {"count not a number", "begin\n2x 2 integer\n",
       INCORRECT + "The row count is not a non-negative decimal number: '2x'."},
      {"negative count", "begin\n2 -2 integer\n",
       INCORRECT + "The column count is not a non-negative decimal number: '-2'."},
      {"zero rows", "begin\n0 2 integer end\n", INCORRECT + "The row count is 0."},
      {"zero columns", "begin\n2 0 integer end\n", INCORRECT + "The column count is 0."},
      {"file ends inside the entries", "begin\n2 2 integer 1 0 0",
       INCORRECT + "The file ends before all entries are read: the entry in row 2, column 2 is "
                   "missing."},
      {"terminator missing", "begin\n1 1 integer 1",
       INCORRECT + "'end' was expected but the file ended."},
      {"too many rows", "begin\n65536 2 integer\n",
       "The matrix is too large: at most 65535 rows and 255 columns are supported."},
      {"too many columns", "begin\n300 256 integer\n",
       "The matrix is too large: at most 65535 rows and 255 columns are supported."},
      {"huge count", "begin\n99999999999999999999999 2 integer\n",
       "The matrix is too large: at most 65535 rows and 255 columns are supported."},
      // 2^64 + 3: read modulo 2^64 it would be a valid 3.
      {"column count beyond 64 bits", "begin\n3 18446744073709551619 integer 1 0 0 0 1 0 0 0 1 end",
       "The matrix is too large: at most 65535 rows and 255 columns are supported."},
      {"row count beyond 64 bits", "begin\n18446744073709551619 3 integer 1 0 0 0 1 0 0 0 1 end",
       "The matrix is too large: at most 65535 rows and 255 columns are supported."},
      {"row count a digit past the limit", "begin\n655350 2 integer 1 0 0 1 end",
       "The matrix is too large: at most 65535 rows and 255 columns are supported."},
      {"fewer rows than columns", integerBlock({{1, 0, 0}, {0, 1, 0}}),
       "Cannot extract a base with rank 3"},
      {"rank deficient", integerBlock({{1, 0, 0}, {0, 1, 0}, {1, 1, 0}, {2, 2, 0}}),
       "Cannot extract a base with rank 3"},
      {"all rows zero", integerBlock({{0, 0}, {0, 0}, {0, 0}}),
       "Cannot extract a base with rank 1"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(failureOf(c.content), c.message) << c.name;
  }
}

TEST(InputTest, UnopenableFile) {
  for (const std::string& path : {std::string("/nonexistent/matrix.txt"), ::testing::TempDir()}) {
    try {
      Input input(path.c_str());
      ADD_FAILURE() << path;
    } catch (const InputError& error) {
      EXPECT_STREQ(error.what(), "Can not open file!") << path;
    }
  }
}

TEST(InputTest, OtherTerminatorWarnsAndGoesOn) {
  const struct {
    const char* content;
    const char* found;
  } cases[] = {
      {"begin\n2 2 integer 1 0 0 1 END\n", "END"},
      {"begin\n2 2 integer 1 0 0 1 7 end\n", "7"},
  };
  for (const auto& c : cases) {
    const std::string path = writeMatrixFile(c.content);
    ::testing::internal::CaptureStdout();
    Input input(path.c_str());
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              std::string("Matrix file seems to be incorrect. 'end' was expected but something "
                          "different was found: ") +
                  c.found + "\n");
    EXPECT_EQ(storedRows(input.mOriginalMatrix), (Rows{{1, 0}, {0, 1}}));
  }
}

// The all-zero matrix of an untyped block fails where the basis search
// would: at the first missing row, or at once.
TEST(InputTest, UnknownNumberTypeReadsNoEntries) {
  const struct {
    const char* counts;
    const char* rank;
  } cases[] = {{"2 2", "1"}, {"2 3", "3"}, {"1 2", "2"}, {"3 3", "1"}, {"4 2", "1"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.counts);
    EXPECT_EQ(readingOf(std::string("begin\n") + c.counts + " real\n5 0\n0 1\nend\n"),
              INCORRECT + "'end' was expected but something different was found: 5\n" +
                  "Cannot extract a base with rank " + c.rank + "\n");
  }
}

// A quoted word shows at most its first 40 bytes, bytes outside printable
// ASCII as \xNN, in every message that quotes one.
TEST(InputTest, QuotedWordsAreShortAndPrintable) {
  const std::string forty(40, '7');
  const std::string cut = forty + "...";
  const std::string controls("\x7f\x00\x1f\x80\xff", 5);
  const std::string controlsShown = "\\x7F\\x00\\x1F\\x80\\xFF";
  const std::string million(1000000, '1');
  auto notInteger = [](const std::string& shown) {
    return "mpz_set_str: '" + shown + "' in row 1, column 2 is not a valid integer.\n";
  };
  auto notFraction = [](const std::string& shown) {
    return "mpq_set_str: '" + shown + "' in row 1, column 2 is not a valid fraction.\n";
  };
  auto notCount = [](const std::string& shown) {
    return INCORRECT + "The row count is not a non-negative decimal number: '" + shown + "'.\n";
  };
  const std::string otherEnd = INCORRECT + "'end' was expected but something different was found: ";
  const struct {
    const char* name;
    std::string content;
    std::string printed; // the warnings, then the failure
  } cases[] = {
      {"entry of 40 bytes whole", "begin\n1 2 integer 1 " + forty.substr(1) + "x end",
       notInteger(forty.substr(1) + "x")},
      {"entry of 41 bytes cut", "begin\n1 2 integer 1 " + forty + "x end", notInteger(cut)},
      {"a million digits", "begin\n1 2 integer 1 " + million + "x end",
       notInteger(std::string(40, '1') + "...")},
      {"control bytes in an entry", "begin\n1 2 integer 1 7" + controls + " end",
       notInteger("7" + controlsShown)},
      {"cut before escaping", "begin\n1 2 integer 1 " + forty.substr(1) + controls + " end",
       notInteger(forty.substr(1) + "\\x7F...")},
      {"fraction", "begin\n1 2 rational 1 1/" + forty + "x end",
       notFraction("1/" + forty.substr(2) + "...")},
      {"control bytes in a fraction", "begin\n1 2 rational 1 1/" + controls + " end",
       notFraction("1/" + controlsShown)},
      {"zero denominator", "begin\n1 2 rational 1 1/" + std::string(50, '0') + " end",
       "mpq_set_str: '1/" + std::string(38, '0') +
           "...' in row 1, column 2 has the denominator zero.\n"},
      {"row count", "begin\n" + forty + "x 2 integer", notCount(cut)},
      {"control bytes in the row count", "begin\n2" + controls + " 2 integer",
       notCount("2" + controlsShown)},
      {"column count", "begin\n2 " + forty + "- integer",
       INCORRECT + "The column count is not a non-negative decimal number: '" + cut + "'.\n"},
      {"terminator", "begin\n1 1 integer 1 " + forty + "x", otherEnd + cut + "\n(no failure)\n"},
      {"control bytes in the terminator", "begin\n1 1 integer 1 " + controls,
       otherEnd + controlsShown + "\n(no failure)\n"},
      {"first entry of an untyped block", "begin\n2 2 real " + million + " 0 0 1 end",
       otherEnd + std::string(40, '1') + "...\nCannot extract a base with rank 1\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(readingOf(c.content), c.printed) << c.name;
  }
}
