#include "app/DDAddressSpace.h"

#include "core/DDSanitizers.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>

namespace double_description {

void capAddressSpace(std::string const& cgroupRoot) {
  if (SANITIZED_BUILD)
    return;
  rlimit limit;
  if (getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur != RLIM_INFINITY)
    return;
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long pageSize = sysconf(_SC_PAGESIZE);
  if (pages <= 0 || pageSize <= 0)
    return;
  std::uint64_t cap = static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
  if (const auto group = ControlGroup::ofThisProcess(cgroupRoot).memoryLimit())
    cap = std::min(cap, *group);
  limit.rlim_cur = static_cast<rlim_t>(cap);
  setrlimit(RLIMIT_AS, &limit);
}

} // namespace double_description
