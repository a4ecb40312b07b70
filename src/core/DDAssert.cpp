#include "core/DDAssert.h"

#ifdef REDIVEZ_ASSERTIONS

#include <cstdio>
#include <cstdlib>

namespace double_description {

void assertionFailed(const char* condition, const char* file, int line) {
  std::fprintf(stderr, "Internal error: '%s' does not hold at %s:%d\n", condition, file, line);
  std::abort();
}

} // namespace double_description

#endif
