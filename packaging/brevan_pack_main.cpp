// brevan-pack: see brevan_pack.h and --help.
#include <iostream>
#include <string>
#include <vector>

#include "framework/command_line.h"
#include "packaging/brevan_pack.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args = fw::CommandLineArguments(argc, argv);
  return brevan::pack::RunBrevanPack(args, std::cout, std::cerr);
}
