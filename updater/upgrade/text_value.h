#pragma once
#include <string_view>

namespace brevan {

// The number formed by a text's leading decimal digits after optional white
// space and sign; 0 when there are none. Clamped to int.
int TextValue(std::string_view text);

}  // namespace brevan
