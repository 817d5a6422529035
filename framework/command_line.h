#pragma once
// The program's arguments as UTF-8, without the program name. On Windows
// they come from the wide command line, so non-ANSI file names survive.
#include <string>
#include <vector>

namespace fw {

std::vector<std::string> CommandLineArguments(int argc, char** argv);

}  // namespace fw
