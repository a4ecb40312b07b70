#ifndef DD_TEXTUTILS_H
#define DD_TEXTUTILS_H

#include <string>

namespace double_description {

// The text without the white space (blank, tab, newline, vertical tab, form
// feed, carriage return) at either end, as both file readers take a line.
std::string trim(const std::string& text);

} // namespace double_description

#endif
