#include "settings/DDOptions.h"

#include <fstream>
#include <sstream>

#include "settings/DDTextUtils.h"

namespace double_description {

Options* Options::mCurrent = nullptr;

namespace {

constexpr std::size_t CAPTION_WIDTH = 83;

// Stores the index of value in names; an unknown name keeps the setting.
template <class Enum, std::size_t N>
void lookupName(const std::array<std::string_view, N>& names, const std::string& value,
                Enum& setting) {
  for (std::size_t i = 0; i < N; ++i) {
    if (names[i] == value) {
      setting = static_cast<Enum>(i);
      return;
    }
  }
}

template <class T> void extract(const std::string& text, T& value) {
  value = T();
  std::istringstream in(text);
  in >> value;
}

} // namespace

Options* Options::current() {
  if (mCurrent == nullptr)
    mCurrent = new Options();
  return mCurrent;
}

Options::~Options() {
  if (mCurrent == this)
    mCurrent = nullptr;
}

bool Options::readSettingsFile(const char* path) {
  std::ifstream in(path);
  if (!in.is_open())
    return false;

  TreeOptions* section = nullptr; // null: the general section
  std::string line;
  while (std::getline(in, line)) {
    const std::size_t hash = line.find('#');
    if (hash != std::string::npos)
      line.erase(hash);
    line = trim(line);

    if (line == "GENERAL") {
      section = nullptr;
      continue;
    }
    if (line == "NARROWING DEGENERATE TREE") {
      section = &mDegenerateTree;
      continue;
    }
    if (line == "NARROWING NONDEGENERATE TREE") {
      section = &mNondegenerateTree;
      continue;
    }
    if (line == "VERIFICATION TREE") {
      section = &mVerificationTree;
      continue;
    }

    const std::size_t equals = line.find('=');
    if (equals == std::string::npos || equals + 1 == line.size())
      continue;
    const std::string key = trim(line.substr(0, equals));
    const std::string value = trim(line.substr(equals + 1));
    if (section != nullptr)
      section->set(key, value);
    else
      set(key, value);
  }
  // Opened but unreadable, e.g. a directory: as if it could not be opened.
  return !in.bad();
}

void Options::set(const std::string& key, const std::string& value) {
  if (key == "Plot file")
    mPlotFile = value;
  else if (key == "Output format")
    lookupName(OutputFormatNames, value, mOutputFormat);
  else if (key == "AdjacencyTest")
    lookupName(AdjacencyTestNames, value, mAdjacencyTest);
}

void TreeOptions::set(const std::string& key, const std::string& value) {
  if (key == "Strategy")
    lookupName(BPT_CreationStrategyNames, value, mStrategy);
  else if (key == "MaxTreeDepth")
    Options::write_value(value, mMaxTreeDepth);
  else if (key == "LeafCapacity")
    Options::write_value(value, mLeafCapacity);
  else if (key == "DataSort")
    lookupName(SortTypeNames, value, mDataSort);
  else if (key == "BitsPerSplit")
    Options::write_value(value, mBitsPerSplit);
  else if (key == "VantagePointDistanceCoefficient")
    Options::write_value(value, mVantagePointDistanceCoefficient);
  else if (key == "VantagePointPopulation")
    Options::write_value(value, mVantagePointPopulation);
  else if (key == "DynamicNarrowingFactor")
    Options::write_value(value, mDynamicNarrowingFactor);
  else if (key == "DynamicBalanceFactor")
    Options::write_value(value, mDynamicBalanceFactor);
  else if (key == "UniqueVantagePoint")
    Options::write_value(value, mUniqueVantagePoint);
}

void Options::write_value(const std::string& text, unsigned long& value) { extract(text, value); }

void Options::write_value(const std::string& text, double& value) { extract(text, value); }

void Options::write_value(const std::string& text, bool& value) {
  long number;
  extract(text, number);
  value = number != 0;
}

std::string Options::getCaptionBlock(std::string title) {
  const std::size_t n = title.size();
  const std::size_t half = n / 2;
  const std::size_t halfUp = n - half;
  const std::size_t before = half < 40 ? 40 - half : 0;
  const std::size_t after = halfUp < 41 ? 41 - halfUp : 0;

  std::ostringstream out;
  out << std::string(CAPTION_WIDTH, '-') << '\n'
      << '|' << std::string(before, ' ') << title << std::string(after, ' ') << '|' << '\n'
      << std::string(CAPTION_WIDTH, '-');
  return out.str();
}

std::string TreeOptions::toString() const {
  std::ostringstream out;
  out << " -> Strategy = " << BPT_CreationStrategyNames[mStrategy] << '\n'
      << " -> MaxTreeDepth = " << mMaxTreeDepth << '\n'
      << " -> LeafCapacity = " << mLeafCapacity << '\n'
      << " -> DataSort = " << SortTypeNames[mDataSort];
  if (mStrategy == BINARY_DYNAMIC_VANTAGE_POINT)
    out << '\n' << " -> UniqueVantagePoint = " << (mUniqueVantagePoint ? 1 : 0);
  return out.str();
}

std::string Options::toString() const {
  std::ostringstream out;
  out << getCaptionBlock("GENERAL SETTINGS") << '\n'
      << " -> AdjacencyTest = " << AdjacencyTestNames[mAdjacencyTest] << '\n'
      << " -> Plot file = " << mPlotFile << '\n'
      << getCaptionBlock("NARROWING DEGENERATE TREE") << '\n'
      << mDegenerateTree.toString() << '\n'
      << getCaptionBlock("NARROWING NONDEGENERATE TREE") << '\n'
      << mNondegenerateTree.toString() << '\n';
  if (mAdjacencyTest == COMBINATIONAL_TEST) {
    out << getCaptionBlock("VERIFICATION TREE") << '\n' << mVerificationTree.toString() << '\n';
  }
  return out.str();
}

} // namespace double_description
