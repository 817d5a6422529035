#pragma once
// The serial ports present, by the names the programs open them with.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace serial {

// Win32: "COM1" ... "COM255", those the platform holds a default
// configuration for (GetDefaultCommConfig), in rising number.
// POSIX: /dev/ttyS* that answer as a serial port, then /dev/ttyUSB*, then
// /dev/ttyACM*, each group in rising number.
std::vector<std::string> ListCommPorts();

// Answers whether the ttyS node at path is a real port (such nodes exist for
// every possible legacy port, present or not).
using SerialProbe = std::function<bool(const std::string& path)>;

// The POSIX listing over any directory: full paths of the matching entries.
std::vector<std::string> ListSerialDevices(const std::string& dir, const SerialProbe& probeTtyS);

// Whether name is stem followed by one or more digits ("ttyUSB0" of "ttyUSB").
bool IsNumberedName(std::string_view name, std::string_view stem);

// Orders device names by their stem, then by the number that ends them
// ("ttyS2" before "ttyS10"); names with no number come first in their stem.
void SortByPortNumber(std::vector<std::string>& names);

}  // namespace serial
