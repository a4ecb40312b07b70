// Hostile and malformed input on the real binary, as a user runs it: no input
// may crash, hang, or leave a result file behind after a failure, and no
// failure may leave a file half written or under a temporary name.
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string SQUARE = "begin\n4 2 integer\n1 1\n1 -1\n1 0\n2 1\nend\n";
const std::string SQUARE_RAYS = "1 -1|1 1";
const std::string ECHO_TOP(83, '-');
const std::string INCORRECT = "Matrix file seems to be incorrect. ";
const std::string TOO_LARGE =
    "The matrix is too large: at most 65535 rows and 255 columns are supported.";
const std::string CONFIG_ERROR =
    "Error: The configuration file either doesn't exist or is corrupt!";

// None: no such argument; Missing: an argument naming no file.
enum class File { None, Missing, Directory, Written };

struct BadInputCase {
  const char* name;
  File matrixKind;
  std::string matrix;
  File configKind;
  std::string config;
  int status;
  std::string firstLine; // the first line after the banner
  std::string rays;      // when the run writes its result: its rays, sorted, '|'-separated
  // What stands at the result file's name before the run, and the files the
  // run leaves beside its inputs and that.
  File resultKind = File::None;
  std::set<std::string> leaves = {};
};

std::set<std::string> resultIf(const std::string& rays) {
  return rays.empty() ? std::set<std::string>{} : std::set<std::string>{"m.txt.out"};
}

BadInputCase matrixCase(const char* name, std::string matrix, int status, std::string firstLine,
                        std::string rays = "") {
  const std::set<std::string> leaves = resultIf(rays);
  return {name,   File::Written,        std::move(matrix), File::None, "",
          status, std::move(firstLine), std::move(rays),   File::None, leaves};
}

BadInputCase configCase(const char* name, File kind, std::string config, int status,
                        std::string firstLine, std::string rays) {
  const std::set<std::string> leaves = resultIf(rays);
  return {name,   File::Written,        SQUARE,          kind,       std::move(config),
          status, std::move(firstLine), std::move(rays), File::None, leaves};
}

// A run that fails only when it writes its files: the settings echo comes
// first, and no file may be left half written or under a temporary name.
BadInputCase writeCase(const char* name, File resultKind, std::string config,
                       std::set<std::string> leaves, std::string rays) {
  return {name, File::Written, SQUARE,          File::Written, std::move(config),
          255,  ECHO_TOP,      std::move(rays), resultKind,    std::move(leaves)};
}

std::string entryIn(const std::string& entry, const char* type) {
  return std::string("begin\n3 2 ") + type + "\n1 0\n" + entry + " 1\n0 1\nend\n";
}

std::string notInteger(const std::string& shownEntry) {
  return "mpz_set_str: '" + shownEntry + "' in row 2, column 1 is not a valid integer.";
}

std::string notFraction(const std::string& shownEntry) {
  return "mpq_set_str: '" + shownEntry + "' in row 2, column 1 is not a valid fraction.";
}

// Every tree key with values a user could mistype, in all three sections.
std::string junkTreeSettings(const char* adjacencyTest) {
  const char* const keys[] = {"Strategy",
                              "MaxTreeDepth",
                              "LeafCapacity",
                              "DataSort",
                              "BitsPerSplit",
                              "VantagePointDistanceCoefficient",
                              "VantagePointPopulation",
                              "DynamicNarrowingFactor",
                              "DynamicBalanceFactor",
                              "UniqueVantagePoint"};
  const char* const values[] = {"-1", "0", "99999999999999999999999", "1e999", "nan", "junk"};
  std::string text = std::string("AdjacencyTest = ") + adjacencyTest +
                     "\nOutput format = HEX_VEC\nPlot file = junk\x01plot\n";
  int v = 0;
  for (const char* section :
       {"NARROWING DEGENERATE TREE", "NARROWING NONDEGENERATE TREE", "VERIFICATION TREE"}) {
    text += std::string(section) + "\n";
    for (const char* key : keys)
      text += std::string(key) + " = " + values[v++ % 6] + "\n";
  }
  return text + "GENERAL\nAdjacencyTest = ALGEBRAIC\n";
}

std::vector<BadInputCase> cases() {
  const std::string bigNumber = "1" + std::string(9999, '0');
  const std::string binaryJunk("\x7f"
                               "ELF\x02\x01\x00\x00\xff\xfe\x00begin\x00\n\x01\x02",
                               18);
  std::vector<BadInputCase> rows = {
      {"missing_file", File::Missing, "", File::None, "", 255, "Can not open file!", ""},
      {"directory_as_file", File::Directory, "", File::None, "", 255, "Can not open file!", ""},
      matrixCase("empty_file", "", 255, INCORRECT + "No 'begin' line was found."),
      matrixCase("no_begin", "* header\nBegin\n2 2 integer\n1 0\n0 1\nend\n", 255,
                 INCORRECT + "No 'begin' line was found."),
      matrixCase("begin_with_counts", "begin 2 2 integer\n1 0\n0 1\nend\n", 255,
                 INCORRECT + "No 'begin' line was found."),
      matrixCase("no_counts", "begin\n", 255, INCORRECT + "The row count is missing."),
      matrixCase("no_column_count", "begin\n3", 255, INCORRECT + "The column count is missing."),
      matrixCase("no_type", "begin\n3 3\n", 255, INCORRECT + "The number type is missing."),
      matrixCase("row_count_word", "begin\nthree 3 integer\n", 255,
                 INCORRECT + "The row count is not a non-negative decimal number: 'three'."),
      matrixCase("column_count_negative", "begin\n3 -3 integer\n", 255,
                 INCORRECT + "The column count is not a non-negative decimal number: '-3'."),
      matrixCase("column_count_fraction", "begin\n3 2.0 integer\n", 255,
                 INCORRECT + "The column count is not a non-negative decimal number: '2.0'."),
      matrixCase("row_count_zero", "begin\n0 3 integer\nend\n", 255,
                 INCORRECT + "The row count is 0."),
      matrixCase("column_count_zero", "begin\n3 0 integer\nend\n", 255,
                 INCORRECT + "The column count is 0."),
      matrixCase("rows_70000", "begin\n70000 3 integer\n1 2 3\nend\n", 255, TOO_LARGE),
      matrixCase("columns_300", "begin\n3 300 integer\n1 2 3\nend\n", 255, TOO_LARGE),
      matrixCase("rows_beyond_64_bits", "begin\n99999999999999999999999 2 integer\nend\n", 255,
                 TOO_LARGE),
      matrixCase("claims_60000x255_holds_3", "begin\n60000 255 integer\n1 2 3\nend\n", 255,
                 "mpz_set_str: 'end' in row 1, column 4 is not a valid integer."),
      matrixCase("claims_60000x255_ends_after_3", "begin\n60000 255 integer\n1 2 3\n", 255,
                 INCORRECT + "The file ends before all entries are read: the entry in row 1, "
                             "column 4 is missing."),
      matrixCase("claims_65535x255_real", "begin\n65535 255 real\n1 2 3\nend\n", 255,
                 INCORRECT + "'end' was expected but something different was found: 1"),
      matrixCase("entry_1e5", entryIn("1e5", "integer"), 255, notInteger("1e5")),
      matrixCase("entry_double_minus", entryIn("--3", "integer"), 255, notInteger("--3")),
      matrixCase("entry_bare_hex_prefix", entryIn("0x", "integer"), 255, notInteger("0x")),
      matrixCase("entry_bare_binary_prefix", entryIn("-0b", "integer"), 255, notInteger("-0b")),
      matrixCase("entry_with_nul",
                 entryIn(std::string("7\x00"
                                     "5",
                                     3),
                         "integer"),
                 255, notInteger("7\\x005")),
      matrixCase("entry_of_a_million_digits_and_a_letter",
                 entryIn(std::string(1000000, '9') + "x", "integer"), 255,
                 notInteger(std::string(40, '9') + "...")),
      matrixCase("entry_fraction_as_integer", entryIn("1/0", "integer"), 255, notInteger("1/0")),
      matrixCase("entry_08", entryIn("08", "integer"), 255, notInteger("08")),
      matrixCase("entry_binary_bytes", entryIn(std::string("\x01\x00\xff", 3), "integer"), 255,
                 notInteger("\\x01\\x00\\xFF")),
      matrixCase("entry_denominator_zero", entryIn("1/0", "rational"), 255,
                 "mpq_set_str: '1/0' in row 2, column 1 has the denominator zero."),
      matrixCase("denominator_bare_prefix", entryIn("1/0X", "rational"), 255, notFraction("1/0X")),
      matrixCase("entry_1e5_rational", entryIn("1e5", "rational"), 255, notFraction("1e5")),
      matrixCase("entry_double_slash", entryIn("1//2", "rational"), 255, notFraction("1//2")),
      matrixCase("binary_junk", binaryJunk, 255, INCORRECT + "No 'begin' line was found."),
      matrixCase("crlf_line_ends", "* cone\r\nbegin\r\n2 2 integer\r\n1 0\r\n0 1\r\nend\r\n", 0,
                 ECHO_TOP, "0 1|1 0"),
      matrixCase("entry_of_10000_digits", "begin\n2 2 integer\n1 0\n" + bigNumber + " -1\nend\n", 0,
                 ECHO_TOP, "0 -1|1 " + bigNumber),
      matrixCase("rank_deficient", "begin\n4 3 integer\n1 0 0\n0 1 0\n1 1 0\n2 -1 0\nend\n", 255,
                 "Cannot extract a base with rank 3"),
      matrixCase("fewer_rows_than_columns", "begin\n2 3 integer\n1 0 0\n0 1 0\nend\n", 255,
                 "Cannot extract a base with rank 3"),
      matrixCase("only_zero_rows", "begin\n3 2 integer\n0 0\n0 0\n0 0\nend\n", 255,
                 "Cannot extract a base with rank 1"),
      matrixCase("duplicate_and_zero_rows",
                 "begin\n7 2 integer\n0 0\n1 1\n1 -1\n0 0\n1 1\n1 -1\n2 2\nend\n", 0, ECHO_TOP,
                 SQUARE_RAYS),
      matrixCase("other_terminator", "begin\n2 2 integer\n1 0\n0 1\n5\n", 0,
                 INCORRECT + "'end' was expected but something different was found: 5", "0 1|1 0"),
      configCase("config_missing", File::Missing, "", 255, CONFIG_ERROR, ""),
      configCase("config_directory", File::Directory, "", 255, CONFIG_ERROR, ""),
      configCase("config_binary_junk", File::Written, binaryJunk + "\n=\x01\n\x00=\x00", 0,
                 ECHO_TOP, SQUARE_RAYS),
      configCase("config_line_of_1MB", File::Written,
                 std::string(1 << 20, 'k') + " = " + std::string(1000, '7') + "\n", 0, ECHO_TOP,
                 SQUARE_RAYS),
  };
  for (const char* test : {"COMBINATIONAL_TEST", "ALGEBRAIC_TEST", "PARTITIONED_SETS_TEST"}) {
    rows.push_back(
        configCase(test, File::Written, junkTreeSettings(test), 0, ECHO_TOP, SQUARE_RAYS));
    // Their configuration turns plotting on.
    rows.back().leaves = {"m.txt.out", "junk\x01plot", "ver_bit_distribution.plt"};
  }
  const std::string plotTo = "Plot file = ";
  const std::set<std::string> resultAndEmptyPlot = {"m.txt.out", "ver_bit_distribution.plt"};
  rows.push_back(writeCase("plot_file_in_missing_directory", File::None, plotTo + "missing/plot\n",
                           resultAndEmptyPlot, SQUARE_RAYS));
  rows.push_back(writeCase("plot_file_name_too_long", File::None,
                           plotTo + std::string(300, 'p') + "\n", resultAndEmptyPlot, SQUARE_RAYS));
  rows.push_back(writeCase("plot_file_is_the_directory", File::None, plotTo + ".\n",
                           resultAndEmptyPlot, SQUARE_RAYS));
  rows.push_back(writeCase("result_name_is_a_directory", File::Directory, "", {}, ""));
  rows.push_back(writeCase("result_name_is_a_directory_and_plot_fails", File::Directory,
                           plotTo + "missing/plot\n", {"ver_bit_distribution.plt"}, ""));
  return rows;
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    result.push_back(line);
  return result;
}

// The rays of a result file, trailing blanks dropped, sorted, joined by '|'.
std::string raysOf(const std::string& resultFile) {
  std::vector<std::string> rays = lines(resultFile);
  if (rays.empty() || rays.front() != "Extreme rays:")
    return "(no \"Extreme rays:\" line)";
  rays.erase(rays.begin());
  for (std::string& ray : rays)
    ray.erase(ray.find_last_not_of(' ') + 1);
  std::sort(rays.begin(), rays.end());
  std::string joined;
  for (const std::string& ray : rays)
    joined += (joined.empty() ? "" : "|") + ray;
  return joined;
}

void place(File kind, const std::string& path, const std::string& content) {
  if (kind == File::Directory)
    std::filesystem::create_directory(path);
  else if (kind == File::Written)
    std::ofstream(path, std::ios::binary) << content;
}

} // namespace

TEST(BadInputTest, EveryInputEndsInOrderWithoutStrayFiles) {
  for (const BadInputCase& c : cases()) {
    SCOPED_TRACE(c.name);
    const std::string dir = tempDir(c.name);
    place(c.matrixKind, dir + "/m.txt", c.matrix);
    place(c.resultKind, dir + "/m.txt.out", "");
    std::string args = "m.txt";
    if (c.configKind != File::None) {
      place(c.configKind, dir + "/c.conf", c.config);
      args += " c.conf";
    }
    const std::string out = dir + "/console";
    const std::string command =
        "cd '" + dir + "' && timeout 120 '" + REDIVEZ_BINARY + "' " + args + " > console 2>&1";
    const int raw = std::system(command.c_str());
    const int status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    const std::string console = readFile(out);

    EXPECT_EQ(status, c.status);
    const std::vector<std::string> printed = lines(console);
    ASSERT_GT(printed.size(), 6u) << console.substr(0, 2000);
    EXPECT_EQ(printed[6], c.firstLine);

    const std::string result = dir + "/m.txt.out";
    if (c.firstLine == ECHO_TOP || c.status == 0) {
      EXPECT_EQ(printed.back().rfind("Overall time: ", 0), 0u) << printed.back();
    } else {
      EXPECT_EQ(console.find(ECHO_TOP), std::string::npos) << "settings echo after a failure";
    }
    if (!c.rays.empty()) {
      EXPECT_EQ(raysOf(readFile(result)), c.rays);
    } else if (c.resultKind == File::None) {
      EXPECT_FALSE(std::filesystem::exists(result));
    }
    if (c.resultKind == File::Directory) {
      EXPECT_TRUE(std::filesystem::is_empty(result));
    }
    // Nothing else: no file half written, none under a temporary name.
    std::set<std::string> produced = entriesOf(dir);
    for (const char* input : {"m.txt", "c.conf", "console"})
      produced.erase(input);
    if (c.resultKind != File::None)
      produced.erase("m.txt.out");
    EXPECT_EQ(produced, c.leaves);
  }
}
