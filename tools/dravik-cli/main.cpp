// dravik-cli: the device library's five exports from the command line.
#include <iostream>

#include "cli_run.hpp"

int main(int argc, char** argv) {
  return dravik::cli::Main(argc, argv, std::cout, std::cerr);
}
