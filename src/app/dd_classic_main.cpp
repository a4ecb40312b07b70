#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <iostream>
#include <new>

#include "app/dd_classic.h"
#include "core/DDControlGroup.h"
#include "core/DDGmpMemory.h"
#include "core/DDSanitizers.h"

namespace {

// Allocations beyond the memory the process may have fail, so that a problem
// too large ends with the memory error instead of swapping the machine to a
// halt or meeting the kernel's out-of-memory killer. Only where no limit is
// set: any limit the user set stays. The sanitizers reserve far more address
// space than they use.
void capAddressSpace() {
  if (double_description::SANITIZED_BUILD)
    return;
  rlimit limit;
  if (getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur != RLIM_INFINITY)
    return;
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long pageSize = sysconf(_SC_PAGESIZE);
  if (pages <= 0 || pageSize <= 0)
    return;
  std::uint64_t cap = static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
  if (const auto group = double_description::ControlGroup::ofThisProcess().memoryLimit())
    cap = std::min(cap, *group);
  limit.rlim_cur = static_cast<rlim_t>(cap);
  setrlimit(RLIMIT_AS, &limit);
}

} // namespace

int main(int argc, char** argv) {
  capAddressSpace();
  // Every step allocates and frees its trees and patterns, often in blocks
  // of megabytes; handing them back to the system each time and faulting
  // them in again costs more than the step itself.
  mallopt(M_TRIM_THRESHOLD, 1 << 30);
  mallopt(M_TOP_PAD, 64 << 20);
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  double_description::throwBadAllocFromGmp();
  try {
    return double_description::classicMain(argc, argv);
  } catch (const double_description::InputError& error) {
    std::cout << error.what() << std::endl;
    return double_description::FAILURE_STATUS;
  } catch (const std::bad_alloc&) {
    // A problem too large for this machine's memory ends like every other
    // failure: one line and status 255, not an abort.
    std::cout << "Error: Not enough memory for this problem!" << std::endl;
    return double_description::FAILURE_STATUS;
  }
}
