#include <iostream>
#include <string>
#include <vector>

#include "ui/cli/command_line.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  return stylor::RunCommandLine(args, std::cout, std::cerr);
}
