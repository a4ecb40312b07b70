#include "settings/DDTextUtils.h"

namespace double_description {

std::string trim(const std::string& text) {
  constexpr const char* WHITE_SPACE = " \t\n\v\f\r";
  const std::size_t first = text.find_first_not_of(WHITE_SPACE);
  if (first == std::string::npos)
    return std::string();
  const std::size_t last = text.find_last_not_of(WHITE_SPACE);
  return text.substr(first, last - first + 1);
}

} // namespace double_description
