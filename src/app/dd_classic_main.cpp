#include <iostream>

#include "app/dd_classic.h"

int main(int argc, char** argv) {
  try {
    return double_description::classicMain(argc, argv);
  } catch (const double_description::InputError& error) {
    std::cout << error.what() << std::endl;
    return double_description::FAILURE_STATUS;
  }
}
