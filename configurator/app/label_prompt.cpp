#include "configurator/app/label_prompt.h"

#include "configurator/resources/torvik_strings.h"
#include "framework/text_format.h"

namespace torvik {
namespace {

// Length of the UTF-8 sequence at text[at] when it is well formed (shortest
// form, no surrogate, at most U+10FFFF), 0 when it is not.
std::size_t Utf8Sequence(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;  // bounds of the byte after the lead
  if (lead >= 0xC2 && lead <= 0xDF) length = 2;
  else if (lead == 0xE0) { length = 3; low = 0xA0; }
  else if (lead == 0xED) { length = 3; high = 0x9F; }
  else if (lead >= 0xE1 && lead <= 0xEF) length = 3;
  else if (lead == 0xF0) { length = 4; low = 0x90; }
  else if (lead == 0xF4) { length = 4; high = 0x8F; }
  else if (lead >= 0xF1 && lead <= 0xF3) length = 4;
  else return 0;
  if (at + length > text.size()) return 0;
  if (byte(at + 1) < low || byte(at + 1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i)
    if (byte(at + i) < 0x80 || byte(at + i) > 0xBF) return 0;
  return length;
}

std::string FaultText(LabelFault fault, std::size_t bytes) {
  switch (fault) {
    case LabelFault::Empty: return std::string(TorvikString(IDS_TERMINAL_LABEL_EMPTY));
    case LabelFault::TooLong:
      return fw::FormatText(TorvikString(IDS_TERMINAL_LABEL_TOO_LONG),
                            {std::to_string(bytes), std::to_string(kLabelMaxBytes)});
    case LabelFault::ControlCharacter: return std::string(TorvikString(IDS_TERMINAL_LABEL_CONTROL));
    case LabelFault::NotUtf8: return std::string(TorvikString(IDS_TERMINAL_LABEL_NOT_UTF8));
    case LabelFault::None: break;
  }
  return {};
}

}  // namespace

std::string_view TrimLineEnd(std::string_view line) {
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
  return line;
}

LabelFault CheckLabel(std::string_view label) {
  if (label.empty()) return LabelFault::Empty;
  if (label.size() > kLabelMaxBytes) return LabelFault::TooLong;
  for (std::size_t at = 0; at < label.size();) {
    const std::size_t length = Utf8Sequence(label, at);
    if (length == 0) return LabelFault::NotUtf8;
    const auto lead = static_cast<unsigned char>(label[at]);
    // C0 controls and DEL; C1 controls (U+0080 to U+009F) as their two bytes.
    const bool control = lead < 0x20 || lead == 0x7F ||
                         (lead == 0xC2 && static_cast<unsigned char>(label[at + 1]) < 0xA0);
    if (control) return LabelFault::ControlCharacter;
    at += length;
  }
  return LabelFault::None;
}

std::string_view LabelFaultName(LabelFault fault) {
  switch (fault) {
    case LabelFault::None: return "none";
    case LabelFault::Empty: return "empty";
    case LabelFault::TooLong: return "too-long";
    case LabelFault::ControlCharacter: return "control-character";
    case LabelFault::NotUtf8: return "not-utf8";
  }
  return "none";
}

std::optional<std::string> AskLabel(std::istream* in, fw::RunOutput& output, int board) {
  if (in == nullptr) return std::nullopt;
  return AskLabel(
      [in]() -> std::optional<std::string> {
        std::string line;
        if (!std::getline(*in, line)) return std::nullopt;
        return line;
      },
      output, board);
}

std::optional<std::string> AskLabel(const std::function<std::optional<std::string>()>& nextLine, fw::RunOutput& output,
                                    int board) {
  if (!nextLine) return std::nullopt;
  const std::string prompt = fw::FormatText(TorvikString(IDS_TERMINAL_LABEL_PROMPT), {std::to_string(board)});
  std::string line;
  while (true) {
    output.Notice("prompt", {prompt}, {{"board", board}, {"asks", "label"}});
    std::optional<std::string> got = nextLine();
    if (!got) return std::nullopt;
    line = std::move(*got);
    const std::string_view label = TrimLineEnd(line);
    const LabelFault fault = CheckLabel(label);
    if (fault == LabelFault::None) return std::string(label);
    output.Notice("label-refused", {FaultText(fault, label.size())},
                  {{"board", board}, {"reason", LabelFaultName(fault)}, {"bytes", label.size()}});
  }
}

void ReportInputEnded(fw::RunOutput& output, int boardsSet) {
  output.Notice("input-ended", {fw::FormatText(TorvikString(IDS_TERMINAL_INPUT_ENDED), {std::to_string(boardsSet)})},
                {{"boards", boardsSet}});
}

}  // namespace torvik
