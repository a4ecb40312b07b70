#ifndef DD_ADDRESSSPACE_H
#define DD_ADDRESSSPACE_H

#include "core/DDControlGroup.h"

namespace double_description {

// Allocations beyond the memory the process may have fail, so that a problem
// too large ends with the memory error instead of swapping the machine to a
// halt or meeting the kernel's out-of-memory killer: an unlimited address
// space is capped at the lower of the physical memory and the memory.max of
// the process's control group under cgroupRoot. Any limit the user set
// stays. The sanitizers reserve far more address space than they use, so
// their builds set none.
void capAddressSpace(std::string const& cgroupRoot = ControlGroup::MOUNT_ROOT);

} // namespace double_description

#endif
