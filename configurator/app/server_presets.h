#pragma once
// The server addresses the window offers. Placeholders from the address
// ranges and names reserved for documentation: whoever deploys the program
// replaces them with the casters their receivers use, here and nowhere else.
#include <string_view>

namespace torvik {

inline constexpr std::string_view kPresetAddressA = "192.0.2.10";     // item 0 "电信"
inline constexpr int kPresetPortA = 2010;
inline constexpr std::string_view kPresetAddressB = "198.51.100.20";  // item 1 "网通"
inline constexpr int kPresetPortB = 6060;
inline constexpr std::string_view kDefaultCasterAddress = "caster.example.net";  // the DNS name at start

}  // namespace torvik
