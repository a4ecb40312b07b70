#include <malloc.h>

#include <iostream>
#include <new>

#include "app/DDAddressSpace.h"
#include "app/dd_classic.h"
#include "core/DDGmpMemory.h"

int main(int argc, char** argv) {
  double_description::capAddressSpace();
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
