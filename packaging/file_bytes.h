#pragma once
// Whole-file reads and a write that never leaves a partial target behind,
// with messages naming the file and the cause.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace brevan::pack {

// Reads all of path into bytes; refuses files larger than limit.
[[nodiscard]] bool ReadWholeFile(std::string_view path, std::size_t limit, std::vector<std::uint8_t>& bytes,
                                 std::string& message);

// Writes bytes to a temporary file beside target, gives it the permission bits
// of permissionsFrom (where the system has them) and moves it over target.
// On failure target is as it was and the temporary file is gone.
[[nodiscard]] bool WriteFileReplacing(std::string_view target, std::span<const std::uint8_t> bytes,
                                      std::string_view permissionsFrom, std::string& message);

}  // namespace brevan::pack
