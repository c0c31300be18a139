#include <iostream>
#include <string>
#include <vector>

#include "DsrTool.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  return runDsrTool(args, std::cout, std::cerr);
}
