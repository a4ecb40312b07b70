#ifndef DD_FUZZFILE_H
#define DD_FUZZFILE_H

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

// The readers take file names, so each input goes through one scratch file
// of this process, removed at exit.
inline const std::string& fuzzFilePath() {
  static const std::string path = [] {
    const char* dir = std::getenv("TMPDIR");
    std::string p = std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") + "/redivez_fuzz_" +
                    std::to_string(getpid());
    std::atexit([] { std::remove(fuzzFilePath().c_str()); });
    return p;
  }();
  return path;
}

inline const char* writeFuzzFile(const std::uint8_t* data, std::size_t size) {
  const std::string& path = fuzzFilePath();
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr)
    std::abort();
  if (size != 0 && std::fwrite(data, 1, size, file) != size)
    std::abort();
  std::fclose(file);
  return path.c_str();
}

#endif
