#ifndef DD_CONEINSTANCESUPPORT_H
#define DD_CONEINSTANCESUPPORT_H

// Test-only helpers for runs on reference instances: loading an instance as
// a run reads it, comparing ray sets, and setting all three trees at once.

#include "ConeSupport.h"

#include "app/DDInput.h"
#include "settings/DDRunSettings.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <vector>

namespace dd_test {

using namespace double_description;

inline bool exists(std::string const& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0;
}

// Instances kept with the tests, and the larger shared ones (which may be
// absent).
inline std::string smallStem(const char* name) {
  return std::string(REDIVEZ_TEST_DATA_DIR) + "/cones/" + name;
}

inline std::string sharedStem(const char* name) {
  return std::string(REDIVEZ_CONES_DIR) + "/" + name;
}

// Reads an instance as a run does (rows sorted, basis first) and loads its
// reference rays.
inline bool loadInstance(std::string const& stem, Matrix& working,
                         std::vector<std::string>& reference) {
  testing::internal::CaptureStdout();
  try {
    working = Input((stem + ".txt").c_str()).mWorkingMatrix;
  } catch (InputError const& error) {
    testing::internal::GetCapturedStdout();
    ADD_FAILURE() << error.what();
    return false;
  }
  testing::internal::GetCapturedStdout();
  reference = sorted(readRayLines(stem + ".rays"));
  return !reference.empty();
}

inline void expectSameRaySet(std::vector<std::string> const& found,
                             std::vector<std::string> const& reference) {
  const std::vector<std::string> rays = sorted(found);
  EXPECT_EQ(std::adjacent_find(rays.begin(), rays.end()), rays.end()) << "duplicate ray";
  EXPECT_EQ(rays.size(), reference.size());
  EXPECT_TRUE(rays == reference) << "ray sets differ";
}

inline void setAllTrees(RunSettings& settings, BPT_CreationStrategy strategy, unsigned long depth,
                        unsigned long capacity) {
  for (TreeOptions* tree :
       {&settings.mDegenerateTree, &settings.mNondegenerateTree, &settings.mVerificationTree}) {
    tree->mStrategy = strategy;
    tree->mMaxTreeDepth = depth;
    tree->mLeafCapacity = capacity;
  }
}

} // namespace dd_test

#endif
