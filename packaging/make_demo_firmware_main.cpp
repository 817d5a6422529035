// make-demo-firmware: see demo_firmware.h and --help.
#include <iostream>
#include <string>
#include <vector>

#include "framework/command_line.h"
#include "packaging/demo_firmware.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args = fw::CommandLineArguments(argc, argv);
  return brevan::pack::RunMakeDemoFirmware(args, std::cout, std::cerr);
}
