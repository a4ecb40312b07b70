// Every input must either give a matrix whose first d rows are independent or
// fail with InputError; anything else (crash, sanitizer report) is a bug.
#include <cstdint>
#include <cstdlib>
#include <iostream>

#include "FuzzFile.h"
#include "app/DDInput.h"

using namespace double_description;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::cout.setstate(std::ios::badbit); // the reader's warnings
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const char* path = writeFuzzFile(data, size);
  try {
    Input input(path);
    const unsigned d = input.mOriginalMatrix.getColumns();
    if (d == 0 || input.mOriginalMatrix.getRowCount() < d || input.mBaseMatrix.getRowCount() != d ||
        input.mWorkingMatrix.getColumns() != d)
      std::abort();
  } catch (const InputError&) {
  }
  return 0;
}
