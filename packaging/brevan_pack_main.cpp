// brevan-pack: see brevan_pack.h and --help.
#include <iostream>
#include <string>
#include <vector>

#include "packaging/brevan_pack.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  return brevan::pack::RunBrevanPack(args, std::cout, std::cerr);
}
