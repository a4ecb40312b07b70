#ifndef DD_LOGGING_H
#define DD_LOGGING_H

#include <map>
#include <sstream>
#include <string>

namespace double_description {

// Named plot streams ("COMPLEXITY_PLOT", "VER_BIT_DISTRIBUTION_PLOT").
// The registry does not own the streams: whoever registers one deletes it.
extern std::map<std::string, std::stringstream*> loggers;

} // namespace double_description

#endif
