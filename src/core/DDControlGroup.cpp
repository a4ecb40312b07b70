#include "core/DDControlGroup.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <limits>
#include <sstream>
#include <utility>

namespace double_description {

namespace {

std::optional<std::string> contentsOf(std::string const& path) {
  std::ifstream in(path);
  if (!in)
    return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A decimal number without sign that fills the word.
std::optional<std::uint64_t> numberIn(std::string const& word) {
  if (word.empty() || word.find_first_not_of("0123456789") != std::string::npos)
    return std::nullopt;
  errno = 0;
  const unsigned long long value = std::strtoull(word.c_str(), nullptr, 10);
  if (errno == ERANGE)
    return std::nullopt;
  return static_cast<std::uint64_t>(value);
}

} // namespace

ControlGroup ControlGroup::ofThisProcess(std::string mountRoot) {
  const std::optional<std::string> text = contentsOf("/proc/self/cgroup");
  std::optional<std::string> path = text ? pathIn(*text) : std::nullopt;
  return ControlGroup(std::move(mountRoot), path ? *path : "");
}

ControlGroup::ControlGroup(std::string mountRoot, std::string path)
    : mMountRoot(std::move(mountRoot)), mPath(std::move(path)) {}

std::optional<std::string> ControlGroup::pathIn(std::string const& procCgroup) {
  std::istringstream lines(procCgroup);
  std::string line;
  while (std::getline(lines, line))
    if (line.rfind("0::/", 0) == 0)
      return line.substr(3);
  return std::nullopt;
}

std::optional<std::uint64_t> ControlGroup::parseMemoryMax(std::string const& text) {
  std::istringstream in(text);
  std::string word, rest;
  if (!(in >> word) || in >> rest || word == "max")
    return std::nullopt;
  return numberIn(word);
}

std::optional<unsigned> ControlGroup::parseCpuMax(std::string const& text) {
  std::istringstream in(text);
  std::string quotaWord, periodWord, rest;
  if (!(in >> quotaWord >> periodWord) || in >> rest || quotaWord == "max")
    return std::nullopt;
  const std::optional<std::uint64_t> quota = numberIn(quotaWord);
  const std::optional<std::uint64_t> period = numberIn(periodWord);
  if (!quota || !period || *period == 0)
    return std::nullopt;
  const std::uint64_t processors = *quota / *period + (*quota % *period != 0);
  if (processors == 0)
    return 1u;
  return processors > std::numeric_limits<unsigned>::max() ? std::numeric_limits<unsigned>::max()
                                                           : static_cast<unsigned>(processors);
}

// The group's own directory, then each one above it up to the mount root.
template <class Limit, class Parse>
std::optional<Limit> ControlGroup::lowest(const char* file, Parse parse) const {
  if (mPath.empty() || mPath.front() != '/')
    return std::nullopt;
  std::optional<Limit> lowest;
  std::string path = mPath;
  for (;;) {
    while (path.size() > 1 && path.back() == '/')
      path.pop_back();
    const std::string directory = mMountRoot + (path == "/" ? "" : path);
    if (const std::optional<std::string> text = contentsOf(directory + "/" + file))
      if (const std::optional<Limit> limit = parse(*text))
        if (!lowest || *limit < *lowest)
          lowest = limit;
    if (path == "/")
      return lowest;
    path.erase(path.rfind('/') + 1);
  }
}

std::optional<std::uint64_t> ControlGroup::memoryLimit() const {
  return lowest<std::uint64_t>("memory.max", parseMemoryMax);
}

std::optional<unsigned> ControlGroup::processorLimit() const {
  return lowest<unsigned>("cpu.max", parseCpuMax);
}

} // namespace double_description
