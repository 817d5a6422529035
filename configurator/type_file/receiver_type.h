#pragma once
// The receiver-type table: one row per receiver model the operator can pick.
// The fields hold the type file's bytes (the ANSI code page on Windows, UTF-8
// elsewhere): the LED parameters go on the line as they are, the name is
// shown through fw::ProtocolBytesToUtf8.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

struct ReceiverType {
  std::string name;
  std::string baud;  // decimal text, read from its leading digits
  std::string led1;
  std::string led2;
};

inline constexpr int kTypeTableRows = 100;
inline constexpr int kTypeFileRowsRead = 91;
using ReceiverTypeTable = std::array<ReceiverType, kTypeTableRows>;

// The rate a row's baud text gives: its leading decimal digits, nullopt-like
// -1 when there are none or the number does not fit a rate.
std::int64_t ReceiverTypeRate(std::string_view baud);
