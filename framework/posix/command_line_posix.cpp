#include "framework/command_line.h"

namespace fw {

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  if (argc < 1) return {};
  return {argv + 1, argv + argc};
}

}  // namespace fw
