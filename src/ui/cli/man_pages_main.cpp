// Writes the manual pages stylor.1 and stylor-cli.1 into the folder given, from
// the tables of the command line's help. Run by the build; not installed.
#include <fstream>
#include <iostream>
#include <string>

#include "ui/cli/manual.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: stylor-man-pages FOLDER\n";
    return 2;
  }
  const std::string folder = argv[1];
  for (const auto& [name, page] : {std::pair{"stylor.1", stylor::ManualPage::Window},
                                   std::pair{"stylor-cli.1", stylor::ManualPage::CommandLine}}) {
    std::ofstream out(folder + "/" + name, std::ios::binary);
    stylor::WriteManualPage(out, page);
    out.close();
    if (!out) {
      std::cerr << "stylor-man-pages: cannot write " << folder << "/" << name << "\n";
      return 1;
    }
  }
  return 0;
}
