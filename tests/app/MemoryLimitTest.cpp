// A problem larger than the memory the process may use ends like every other
// failure: one line and status 255, not an abort, wherever the memory runs
// out (big integers included).
#include "TestFiles.h"

#include <sstream>

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool ADDRESS_SANITIZER = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool ADDRESS_SANITIZER = true;
#else
constexpr bool ADDRESS_SANITIZER = false;
#endif
#else
constexpr bool ADDRESS_SANITIZER = false;
#endif

// The cone over the n-cube: 2^n extreme rays.
std::string cubeCone(unsigned n) {
  std::ostringstream out;
  out << "begin\n" << 2 * n << ' ' << n + 1 << " integer\n";
  for (unsigned i = 0; i < n; ++i)
    for (int sign : {1, -1}) {
      out << (sign < 0 ? 1 : 0);
      for (unsigned j = 0; j < n; ++j)
        out << ' ' << (j == i ? sign : 0);
      out << '\n';
    }
  out << "end\n";
  return out.str();
}

TEST(MemoryLimit, ExhaustedMemoryEndsWithOneLineAndStatus255) {
  if (ADDRESS_SANITIZER)
    GTEST_SKIP() << "the address sanitizer reserves more address space than the limit";
  const std::string dir = tempDir("run");
  std::ofstream(dir + "/cube.txt") << cubeCone(18);
  // 262,144 rays need far more than 40 MB of address space.
  const std::string out = dir + "/console.txt";
  const int raw = std::system(("cd '" + dir + "' && ulimit -v 40000 && '" +
                               std::string(REDIVEZ_BINARY) + "' cube.txt > console.txt 2>&1")
                                  .c_str());
  ASSERT_TRUE(WIFEXITED(raw));
  EXPECT_EQ(WEXITSTATUS(raw), 255);
  const std::string console = readFile(out);
  // On a line of its own, even when the failure cut a step line short.
  EXPECT_NE(console.find("\nError: Not enough memory for this problem!\n"), std::string::npos)
      << console.substr(console.size() > 400 ? console.size() - 400 : 0);
}

} // namespace
