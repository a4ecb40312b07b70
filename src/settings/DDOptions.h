#ifndef DD_OPTIONS_H
#define DD_OPTIONS_H

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace double_description {

// Each enumerated setting holds the index of its name in the matching table.
enum AdjacencyTest : std::int32_t {
  COMBINATIONAL_TEST = 0,
  ALGEBRAIC_TEST = 1,
  PARTITIONED_SETS_TEST = 2
};

enum OutputFormat : std::int32_t { INTEGER_VEC = 0, DOUBLE_VEC = 1, ACTIVE_SET = 2 };

enum BPT_CreationStrategy : std::int32_t {
  BPT_FIRST_AVAILABLE_BIT = 0,
  BPT_MOST_COMMON_BIT_FIRST = 1,
  BPT_LEAST_COMMON_BIT_FIRST = 2,
  BPT_MOST_AVERAGE_BIT_FIRST = 3,
  BPT_CLOSEST_TO_50_BIT_FIRST = 4,
  BPT_QUERY_BITS_NEUTRALIZATION = 5,
  BPT_LEAST_AVERAGE_BIT_FIRST = 6,
  BINARY_DYNAMIC_VANTAGE_POINT = 7,
  BINARY_STATIC_VANTAGE_POINT = 8
};

enum SortType : std::int32_t {
  MAX_SET_BITS = 0,
  MIN_SET_BITS = 1,
  MAX_SET_BITS_LEX = 2,
  MIN_SET_BITS_LEX = 3,
  MAX_BIT_FREQUENCY = 4,
  MIN_BIT_FREQUENCY = 5,
  MAX_SET_BITS_MAX_BIT_FREQUENCY = 6,
  MAX_SET_BITS_MIN_BIT_FREQUENCY = 7,
  MIN_SET_BITS_MAX_BIT_FREQUENCY = 8,
  MIN_SET_BITS_MIN_BIT_FREQUENCY = 9,
  NONE = 10
};

// Constant-initialised, so they are usable from any static initialiser.
inline constexpr std::array<std::string_view, 3> AdjacencyTestNames = {
    "COMBINATIONAL_TEST", "ALGEBRAIC_TEST", "PARTITIONED_SETS_TEST"};

inline constexpr std::array<std::string_view, 3> OutputFormatNames = {"INTEGER_VEC", "DOUBLE_VEC",
                                                                      "ACTIVE_SET"};

inline constexpr std::array<std::string_view, 9> BPT_CreationStrategyNames = {
    "BPT_FIRST_AVAILABLE_BIT",     "BPT_MOST_COMMON_BIT_FIRST",    "BPT_LEAST_COMMON_BIT_FIRST",
    "BPT_MOST_AVERAGE_BIT_FIRST",  "BPT_CLOSEST_TO_50_BIT_FIRST",  "BPT_QUERY_BITS_NEUTRALIZATION",
    "BPT_LEAST_AVERAGE_BIT_FIRST", "BINARY_DYNAMIC_VANTAGE_POINT", "BINARY_STATIC_VANTAGE_POINT"};

inline constexpr std::array<std::string_view, 11> SortTypeNames = {"MAX_SET_BITS",
                                                                   "MIN_SET_BITS",
                                                                   "MAX_SET_BITS_LEX",
                                                                   "MIN_SET_BITS_LEX",
                                                                   "MAX_BIT_FREQUENCY",
                                                                   "MIN_BIT_FREQUENCY",
                                                                   "MAX_SET_BITS_MAX_BIT_FREQUENCY",
                                                                   "MAX_SET_BITS_MIN_BIT_FREQUENCY",
                                                                   "MIN_SET_BITS_MAX_BIT_FREQUENCY",
                                                                   "MIN_SET_BITS_MIN_BIT_FREQUENCY",
                                                                   "NONE"};

inline constexpr std::array<std::string_view, 4> RayContainerTypeNames = {
    "STD_VECTOR", "BIT_PATTERN_TREE", "POPULATION_TREE", "HYBRID_TREE"};

// Settings of one bit-pattern tree.
struct TreeOptions {
  BPT_CreationStrategy mStrategy = BPT_FIRST_AVAILABLE_BIT;
  unsigned long mMaxTreeDepth = 15;
  unsigned long mLeafCapacity = 20;
  SortType mDataSort = NONE;
  unsigned long mBitsPerSplit = 1;
  double mDynamicNarrowingFactor = 1.5;
  double mDynamicBalanceFactor = 0.0;
  unsigned long mVantagePointPopulation = 50;
  double mVantagePointDistanceCoefficient = 0.0;
  bool mUniqueVantagePoint = false;

  void set(const std::string& key, const std::string& value);
  std::string toString() const;
};

// The settings of the run. Reached through current(); filled once from the
// configuration file and only read afterwards, by the driver, which hands
// the computation a RunSettings copy.
class Options {
public:
  AdjacencyTest mAdjacencyTest = COMBINATIONAL_TEST;
  OutputFormat mOutputFormat = INTEGER_VEC;
  std::string mPlotFile = "Don't plot";
  TreeOptions mDegenerateTree;
  TreeOptions mNondegenerateTree;
  TreeOptions mVerificationTree;

  static Options* mCurrent;

  // Creates the settings object with its defaults on the first call.
  static Options* current();

  Options() = default;
  // Destroying the current object clears mCurrent, so nothing can reach it.
  ~Options();

  // False only when the file cannot be opened or read (e.g. a directory).
  bool readSettingsFile(const char* path);
  void set(const std::string& key, const std::string& value);
  std::string toString() const;

  // True when the plot file setting names a file.
  bool plotting() const { return mPlotFile != "Don't plot"; }

  static std::string getCaptionBlock(std::string title);

  // Formatted extraction: leading number converted, rest ignored, 0 when
  // the text does not begin with a number.
  static void write_value(const std::string& text, unsigned long& value);
  static void write_value(const std::string& text, double& value);
  static void write_value(const std::string& text, bool& value);
};

} // namespace double_description

#endif
