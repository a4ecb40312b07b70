#ifndef REDIVEZ_APP_DD_CLASSIC_H
#define REDIVEZ_APP_DD_CLASSIC_H

#include <iostream>

#include "app/DDInput.h"
#include "settings/DDOptions.h"

namespace double_description {

class SingleSetRayGenerator;
class DualSetRayGenerator;

// Exit status of every failure (main's -1).
constexpr int FAILURE_STATUS = 255;

void printBanner();
void printComputationBox();

// True when the argument asks for help ("--help", "-help", "-h" prefixes).
bool isHelpRequest(const char* argument);

// Everything main does. Failures of the matrix file leave as InputError.
int classicMain(int argc, const char* const* argv);

} // namespace double_description

// One whole run over the matrix file.
template <class G> int generate(const char* matrixFile) {
  using namespace double_description;
  Input input(matrixFile);
  Options* options = Options::current();
  std::cout << options->toString() << std::endl;
  printComputationBox();
  return 0;
}

#endif
