// make-demo-firmware: see demo_firmware.h and --help.
#include <iostream>
#include <string>
#include <vector>

#include "packaging/demo_firmware.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  return brevan::pack::RunMakeDemoFirmware(args, std::cout, std::cerr);
}
