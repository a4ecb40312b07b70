#include <iostream>
#include <new>

#include "app/dd_classic.h"

int main(int argc, char** argv) {
  try {
    return double_description::classicMain(argc, argv);
  } catch (const double_description::InputError& error) {
    std::cout << error.what() << std::endl;
    return double_description::FAILURE_STATUS;
  } catch (const std::bad_alloc&) {
    // A problem too large for this machine's memory ends like every other
    // failure: one line and status 255, not an abort.
    std::cout << "Error: Not enough memory for this problem!" << std::endl;
    return double_description::FAILURE_STATUS;
  }
}
