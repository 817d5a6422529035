#pragma once
// Fills the %1 ... %9 places of a string-table text, as the platform's
// message formatting does; "%%" is a literal percent sign.
#include <initializer_list>
#include <string>
#include <string_view>

namespace fw {

std::string FormatText(std::string_view pattern, std::initializer_list<std::string_view> args);

}  // namespace fw
