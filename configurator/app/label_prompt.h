#pragma once
// --scan: a board's label, typed by a keyboard-wedge barcode scanner (the
// label, then Enter) before its Set. A label is 1 to 64 bytes of printable
// UTF-8; a bad read is named and the scanner asked again.
#include <cstddef>
#include <functional>
#include <istream>
#include <optional>
#include <string>
#include <string_view>

#include "framework/terminal/run_output.h"

namespace torvik {

inline constexpr std::size_t kLabelMaxBytes = 64;

enum class LabelFault { None, Empty, TooLong, ControlCharacter, NotUtf8 };

// The line without its line end (any CR and LF at its end).
std::string_view TrimLineEnd(std::string_view line);
LabelFault CheckLabel(std::string_view label);
// The fault's word in the JSON lines ("too-long").
std::string_view LabelFaultName(LabelFault fault);

// Asks for the board's label until a line is good; nullopt when the input
// ends first (or a signal broke the read).
std::optional<std::string> AskLabel(std::istream* in, fw::RunOutput& output, int board);
// The same with each line from nextLine (a station slot's scanned lines).
std::optional<std::string> AskLabel(const std::function<std::optional<std::string>()>& nextLine, fw::RunOutput& output,
                                    int board);
// The input ended before a label: the run ends with the boards set so far.
void ReportInputEnded(fw::RunOutput& output, int boardsSet);

}  // namespace torvik
