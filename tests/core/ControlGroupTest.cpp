#include "core/DDControlGroup.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

using namespace double_description;

TEST(ControlGroupTest, ParsesTheKernelsTexts) {
  const struct {
    const char* text;
    std::optional<std::string> path;
  } cgroups[] = {
      {"0::/user.slice/user-1000.slice/session-2.scope\n",
       "/user.slice/user-1000.slice/session-2.scope"},
      {"0::/\n", "/"},
      // A hybrid layout: the version 1 lines are not the group's.
      {"4:memory:/docker/abc\n1:cpu:/docker/abc\n0::/docker/abc\n", "/docker/abc"},
      {"4:memory:/docker/abc\n1:cpu:/docker/abc\n", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& c : cgroups)
    EXPECT_EQ(ControlGroup::pathIn(c.text), c.path) << c.text;

  const struct {
    const char* text;
    std::optional<std::uint64_t> bytes;
  } memories[] = {
      {"max\n", std::nullopt},
      {"1073741824\n", 1073741824u},
      {"0\n", 0u},
      {"", std::nullopt},
      {"12ab\n", std::nullopt},
      {"-5\n", std::nullopt},
      {"1 2\n", std::nullopt},
      {"99999999999999999999999\n", std::nullopt},
      {"18446744073709551615\n", UINT64_MAX},
  };
  for (const auto& c : memories)
    EXPECT_EQ(ControlGroup::parseMemoryMax(c.text), c.bytes) << c.text;

  const struct {
    const char* text;
    std::optional<unsigned> processors;
  } cpus[] = {
      {"max 100000\n", std::nullopt}, {"100000 100000\n", 1u},    {"150000 100000\n", 2u},
      {"50000 100000\n", 1u},         {"400000 100000\n", 4u},    {"1000 100000\n", 1u},
      {"200000 0\n", std::nullopt},   {"200000\n", std::nullopt}, {"", std::nullopt},
      {"x 100000\n", std::nullopt},   {"max\n", std::nullopt},
  };
  for (const auto& c : cpus)
    EXPECT_EQ(ControlGroup::parseCpuMax(c.text), c.processors) << c.text;
}

// A group's limits are the lowest of its own and those of the groups above it.
TEST(ControlGroupTest, TheLowestLimitOnTheWayUpHolds) {
  namespace fs = std::filesystem;
  const std::string root = tempDir("cgroup");
  fs::create_directories(root + "/outer/inner/leaf");
  std::ofstream(root + "/outer/memory.max") << "2000000\n";
  std::ofstream(root + "/outer/inner/memory.max") << "max\n";
  std::ofstream(root + "/outer/inner/leaf/memory.max") << "3000000\n";
  std::ofstream(root + "/outer/cpu.max") << "max 100000\n";
  std::ofstream(root + "/outer/inner/cpu.max") << "250000 100000\n";
  std::ofstream(root + "/outer/inner/leaf/cpu.max") << "max 100000\n";

  const ControlGroup leaf(root, "/outer/inner/leaf");
  EXPECT_EQ(leaf.memoryLimit(), std::optional<std::uint64_t>(2000000));
  EXPECT_EQ(leaf.processorLimit(), std::optional<unsigned>(3));
  const ControlGroup inner(root, "/outer/inner/");
  EXPECT_EQ(inner.processorLimit(), std::optional<unsigned>(3));
  EXPECT_EQ(ControlGroup(root, "/outer").processorLimit(), std::nullopt);
  // The root's own files count too; a group that is not there has no limit.
  std::ofstream(root + "/memory.max") << "1000000\n";
  EXPECT_EQ(leaf.memoryLimit(), std::optional<std::uint64_t>(1000000));
  EXPECT_EQ(ControlGroup(root + "/missing", "/outer").memoryLimit(), std::nullopt);
  EXPECT_EQ(ControlGroup(root, "").memoryLimit(), std::nullopt);
}
