// Matrix files the fuzzer once found troublesome, read in-process: each must
// give a matrix with a basis or an InputError.
#include "app/DDInput.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

using namespace double_description;

namespace {

const std::filesystem::path REGRESSIONS =
    std::filesystem::path(REDIVEZ_TEST_DATA_DIR) / ".." / "fuzz" / "regressions";

} // namespace

TEST(FuzzRegressionTest, MatrixFilesFailCleanlyOrGiveABasis) {
  for (const auto& entry : std::filesystem::directory_iterator(REGRESSIONS / "matrix")) {
    SCOPED_TRACE(entry.path().filename().string());
    ::testing::internal::CaptureStdout();
    try {
      Input input(entry.path().c_str());
      const unsigned d = input.mOriginalMatrix.getColumns();
      EXPECT_GT(d, 0u);
      EXPECT_GE(input.mOriginalMatrix.getRowCount(), d);
    } catch (const InputError& error) {
      EXPECT_NE(std::string(error.what()), "");
    }
    ::testing::internal::GetCapturedStdout();
  }
}
