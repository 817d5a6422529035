#include "serial/port_list.h"

#include <windows.h>

namespace serial {

std::vector<std::string> ListCommPorts() {
  std::vector<std::string> ports;
  for (int n = 1; n <= 255; ++n) {
    std::string name = "COM";
    name += std::to_string(n);
    COMMCONFIG config{};
    DWORD size = sizeof config;
    // The ANSI call as the programs make it; the names are ASCII.
    if (GetDefaultCommConfigA(name.c_str(), &config, &size)) ports.push_back(std::move(name));
  }
  return ports;
}

}  // namespace serial
