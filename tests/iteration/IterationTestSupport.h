#ifndef DD_ITERATIONTESTSUPPORT_H
#define DD_ITERATIONTESTSUPPORT_H

#include "core/DDBitList.h"
#include "core/DDBitOps.h"
#include "core/DDMatrix.h"
#include "core/DDSingleSetRay.h"
#include "settings/DDOptions.h"
#include "settings/DDRunSettings.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <regex>
#include <string>
#include <vector>

namespace dd_test {

using namespace double_description;

inline Matrix matrixOf(std::initializer_list<std::initializer_list<long>> rows) {
  Matrix matrix;
  for (auto const& values : rows) {
    CalculationVector row(values.size());
    std::size_t j = 0;
    for (long v : values)
      row[j++] = v;
    matrix.insert(row);
  }
  return matrix;
}

inline BitList bitsOf(unsigned words, std::initializer_list<unsigned> bits) {
  BitList list(words);
  for (unsigned b : bits)
    setBit(list.words(), b);
  return list;
}

inline std::vector<unsigned> bitIndices(BitList const& list, unsigned limit) {
  std::vector<unsigned> result;
  for (unsigned k = 0; k < limit; ++k)
    if (testBit(list.words(), k))
      result.push_back(k);
  return result;
}

// Ray coordinates of machine integers.
inline RayCoordinates coordinatesOf(std::vector<long> const& values) {
  MachineValues x = makeMachineValues(static_cast<unsigned>(values.size()));
  for (std::size_t j = 0; j < values.size(); ++j)
    x[j] = values[j];
  return RayCoordinates(std::move(x), static_cast<unsigned>(values.size()));
}

// For a ray of an m-row problem whose slacks on rows d, d + 1, ... have the
// signs of slacks: its first negative row (m when none); the zero rows before
// it join zero.
inline unsigned markSlackSigns(unsigned d, unsigned m, BitList& zero,
                               std::initializer_list<long> slacks) {
  unsigned firstNegative = m;
  unsigned k = d;
  for (long s : slacks) {
    if (s < 0 && firstNegative == m)
      firstNegative = k;
    if (s == 0 && firstNegative == m)
      zero.set(k);
    ++k;
  }
  return firstNegative;
}

// A ray of a d-column, m-row problem created on row d - 1 with slacks of the
// signs of slacks on rows d, d + 1, ... The coordinates matter only where
// the test combines the ray (d zeros by default).
inline SingleSetRay* rayOf(unsigned d, unsigned m, BitList zero, std::initializer_list<long> slacks,
                           std::vector<long> coordinates = {}) {
  const unsigned firstNegative = markSlackSigns(d, m, zero, slacks);
  if (coordinates.empty())
    coordinates.assign(d, 0);
  return new SingleSetRay(d, d - 1, coordinatesOf(coordinates), std::move(zero), firstNegative);
}

// Replaces the milliseconds, the one figure that varies between runs.
inline std::string withoutTimes(std::string const& text) {
  return std::regex_replace(text, std::regex("dt=[0-9]+ms"), "dt=?ms");
}

// What every step line shows before its figures.
inline const std::string STEP_LINE_HEADER =
    "( pos. (deg.)/neg. (deg.)/elim. compl./ver. cand./acc./ver. lg(n)^3/ver. n/extr. rays) = ";

// The computation follows the settings handed to it and reads no
// process-wide ones: each test starts without a settings object, and none
// may have been created when it ends.
class NoGlobalSettings : public ::testing::Test {
protected:
  void SetUp() override { delete Options::mCurrent; }
  void TearDown() override {
    EXPECT_EQ(Options::mCurrent, nullptr) << "the process-wide settings were read";
    delete Options::mCurrent;
  }
};

// The default settings with the given adjacency test.
inline RunSettings settingsWith(AdjacencyTest test) {
  RunSettings settings;
  settings.mAdjacencyTest = test;
  return settings;
}

} // namespace dd_test

#endif
