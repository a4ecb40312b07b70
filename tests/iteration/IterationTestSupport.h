#ifndef ITERATION_TEST_SUPPORT_H
#define ITERATION_TEST_SUPPORT_H

#include "core/DDBitList.h"
#include "core/DDBitOps.h"
#include "core/DDMatrix.h"
#include "core/DDSingleSetRay.h"
#include "settings/DDOptions.h"

#include <gtest/gtest.h>

#include <initializer_list>
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

// Gives every test fresh default settings and leaves none behind.
class FreshOptions : public ::testing::Test {
protected:
  void SetUp() override { delete Options::mCurrent; }
  void TearDown() override { delete Options::mCurrent; }
};

} // namespace dd_test

#endif
