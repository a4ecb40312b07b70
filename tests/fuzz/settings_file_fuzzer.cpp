// Any configuration file is read without failing, and the echo of what was
// read names only known values.
#include <cstdint>
#include <cstdlib>

#include "FuzzFile.h"
#include "settings/DDOptions.h"

using namespace double_description;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const char* path = writeFuzzFile(data, size);
  Options options;
  if (!options.readSettingsFile(path))
    std::abort();
  const std::string echo = options.toString();
  if (echo.empty())
    std::abort();
  return 0;
}
