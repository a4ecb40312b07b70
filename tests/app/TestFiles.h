#ifndef REDIVEZ_TESTS_APP_TESTFILES_H
#define REDIVEZ_TESTS_APP_TESTFILES_H

#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <iterator>
#include <string>

// Paths unique to the running test and process, so tests may run in parallel.
inline std::string tempPath(const std::string& name) {
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  return ::testing::TempDir() + "redivez_" + test->test_suite_name() + "_" + test->name() + "_" +
         std::to_string(getpid()) + "_" + name;
}

inline std::string writeFile(const std::string& name, const std::string& content) {
  const std::string path = tempPath(name);
  std::ofstream(path, std::ios::binary) << content;
  return path;
}

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

#endif
