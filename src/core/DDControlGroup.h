#ifndef DD_CONTROLGROUP_H
#define DD_CONTROLGROUP_H

#include <cstdint>
#include <optional>
#include <string>

namespace double_description {

// The limits that a control group (cgroup v2) and the groups above it set on
// the memory and the processor time of the processes in it.
class ControlGroup {
public:
  // Where the kernel's hierarchy is mounted.
  static constexpr const char* MOUNT_ROOT = "/sys/fs/cgroup";

  // The group of this process, from /proc/self/cgroup, under the hierarchy
  // mounted at mountRoot.
  static ControlGroup ofThisProcess(std::string mountRoot = MOUNT_ROOT);

  // The group at path (as /proc/self/cgroup gives it) under the hierarchy
  // mounted at mountRoot.
  ControlGroup(std::string mountRoot, std::string path);

  // The lowest memory.max on the way up to the root; none where none is set.
  std::optional<std::uint64_t> memoryLimit() const;
  // The fewest processors that the cpu.max quotas on the way up allow
  // (quota over period, rounded up, at least 1); none where none is set.
  std::optional<unsigned> processorLimit() const;

  // The group's path in the text of /proc/PID/cgroup: the "0::PATH" line.
  static std::optional<std::string> pathIn(std::string const& procCgroup);
  // A memory.max text: "max" or a byte count.
  static std::optional<std::uint64_t> parseMemoryMax(std::string const& text);
  // A cpu.max text: "max PERIOD" or "QUOTA PERIOD".
  static std::optional<unsigned> parseCpuMax(std::string const& text);

private:
  template <class Limit, class Parse>
  std::optional<Limit> lowest(const char* file, Parse parse) const;

  std::string mMountRoot;
  std::string mPath;
};

} // namespace double_description

#endif
