#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <iostream>
#include <new>

#include "app/dd_classic.h"
#include "core/DDGmpMemory.h"

namespace {

// Allocations beyond the machine's physical memory fail, so that a problem
// too large ends with the memory error instead of swapping the machine to a
// halt or meeting the kernel's out-of-memory killer. A lower limit set by the
// user stays; the address sanitizer reserves far more than it uses.
void capAddressSpaceAtPhysicalMemory() {
#if defined(__SANITIZE_ADDRESS__)
  return;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
  return;
#endif
#endif
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long pageSize = sysconf(_SC_PAGESIZE);
  rlimit limit;
  if (pages <= 0 || pageSize <= 0 || getrlimit(RLIMIT_AS, &limit) != 0)
    return;
  const rlim_t physical = static_cast<rlim_t>(pages) * static_cast<rlim_t>(pageSize);
  if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur <= physical)
    return;
  limit.rlim_cur = limit.rlim_max == RLIM_INFINITY ? physical : std::min(physical, limit.rlim_max);
  setrlimit(RLIMIT_AS, &limit);
}

} // namespace

int main(int argc, char** argv) {
  capAddressSpaceAtPhysicalMemory();
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
