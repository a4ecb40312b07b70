#include "settings/DDLogging.h"

namespace double_description {

std::map<std::string, std::stringstream*> loggers;

} // namespace double_description
