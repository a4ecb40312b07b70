#include "app/dd_classic.h"

#include <cstring>
#include <string>

namespace double_description {

namespace {

const std::string STARS(83, '*');
const std::string DASHES(83, '-');

} // namespace

void printBanner() {
  std::cout << STARS << std::endl
            << "* Redivez" << std::string(73, ' ') << '*' << std::endl
            << '*' << std::string(81, ' ') << '*' << std::endl
            << '*' << std::string(81, ' ') << '*' << std::endl
            << STARS << std::endl
            << std::endl;
}

void printComputationBox() {
  std::cout << DASHES << std::endl
            << '|' << std::string(34, ' ') << "COMPUTATION" << std::string(36, ' ') << '|'
            << std::endl
            << DASHES << std::endl;
}

// strncmp stops at the argument's terminating zero, so nothing past it is read.
bool isHelpRequest(const char* argument) {
  return std::strncmp(argument, "--help", 6) == 0 || std::strncmp(argument, "-help", 5) == 0 ||
         std::strncmp(argument, "-h", 2) == 0;
}

int classicMain(int argc, const char* const* argv) {
  printBanner();
  if (argc <= 1 || isHelpRequest(argv[1])) {
    std::cout << "Usage: redivez MATRIX_FILE [CONFIGURATION_FILE]" << std::endl;
    return FAILURE_STATUS;
  }
  Options* options = Options::current();
  if (argc > 2 && !options->readSettingsFile(argv[2])) {
    std::cout << "Error: The configuration file either doesn't exist or is corrupt!" << std::endl;
    return FAILURE_STATUS;
  }
  if (options->mAdjacencyTest == PARTITIONED_SETS_TEST)
    return generate<DualSetRayGenerator>(argv[1]);
  return generate<SingleSetRayGenerator>(argv[1]);
}

} // namespace double_description
