// The type file's bytes on their way to the line and to the window: the LED
// parameters go into the command as the file holds them, whatever the field
// conversion would make of them; names show through the platform's code page.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "configurator/command_set/command_set.h"
#include "configurator/resources/torvik_strings.h"
#include "framework/protocol_text.h"

namespace {

fw::MessageLines Lines(int id) {
  fw::MessageLines lines;
  fw::LoadMessage(torvik::TorvikStrings(), torvik::kTextLanguage, id, lines);
  return lines;
}

// A conversion that would mangle or refuse any byte above 0x7F, as a wrong
// code page would: the LED parameters must not pass through it.
bool AsciiOnly(std::string_view text, std::string& bytes) {
  bytes.clear();
  for (char c : text) {
    if (static_cast<unsigned char>(c) > 0x7F) return false;
    bytes += c;
  }
  return true;
}

torvik::Composition Compose(ReceiverType type) {
  torvik::SettingsValues v;
  v.type = std::move(type);
  // Whole strings: assigning literals trips a false -Wrestrict of GCC 12 at -O3.
  v.serverIp = std::string("S");
  v.port = 2010;
  v.mountPoint = std::string("RTCM30");
  v.serialNo = std::string("10012607");
  return torvik::ComposeSettings(v, Lines(torvik::IDS_SETTING_LABELS), Lines(torvik::IDS_FINISH_LABELS), AsciiOnly);
}

std::string LedCommand(const torvik::Composition& c) {
  for (const auto& command : c.commands)
    if (command.bytes.starts_with("KAVEL,LED,")) return command.bytes;
  return {};
}

TEST(TypeFileBytes, LedParametersReachTheCommandUnchanged) {
  // "灯" in GBK, a lone high byte, and bytes no code page maps.
  const torvik::Composition gbk = Compose({"\xB2\xE2\xCA\xD4", "9600", "\xB5\xC6", "\xB5\xC6\x80,"});
  ASSERT_FALSE(gbk.refusal.has_value());
  EXPECT_EQ(LedCommand(gbk), "KAVEL,LED,\xB5\xC6,\xB5\xC6\x80,\r\n");
  const torvik::Composition raw = Compose({"82", "9600", "\xFF\xFE", "\x81\n"});  // led2 keeps the file's LF
  ASSERT_FALSE(raw.refusal.has_value());
  EXPECT_EQ(LedCommand(raw), "KAVEL,LED,\xFF\xFE,\x81\n\r\n");
}

TEST(TypeFileBytes, ALineBreakInsideAnLedParameterStillRefusesTheSet) {
  using torvik::Field;
  const std::pair<ReceiverType, Field> cases[] = {
      {{"82", "9600", "\xB5\xC6\n", "HIGH"}, Field::Led1},
      {{"82", "9600", "HIGH", "\xB5\r\xC6"}, Field::Led2},
      {{"82", "9600", "HIGH", std::string("\xB5\0\n", 3)}, Field::Led2},
  };
  for (const auto& [type, field] : cases) {
    const torvik::Composition c = Compose(type);
    ASSERT_TRUE(c.refusal.has_value());
    EXPECT_EQ(c.refusal->reason, torvik::Refusal::Reason::BadCharacter);
    EXPECT_EQ(c.refusal->field, field);
    EXPECT_TRUE(c.commands.empty());
  }
}

TEST(TypeFileBytes, BytesShowInThePlatformsCodePage) {
  EXPECT_EQ(fw::ProtocolBytesToUtf8(""), "");
  EXPECT_EQ(fw::ProtocolBytesToUtf8("T5,9600"), "T5,9600");
#ifdef _WIN32
  // Whatever the system's code page: what ToProtocolBytes made of a text shows as that text again.
  int roundTrips = 0;
  for (const char* text : {"\xE6\xB5\x8B\xE8\xAF\x95", "\xC3\xA9t\xC3\xA9", "\xD0\x96"}) {
    std::string bytes;
    if (!fw::ToProtocolBytes(text, bytes)) continue;
    EXPECT_NE(bytes, text);
    EXPECT_EQ(fw::ProtocolBytesToUtf8(bytes), text);
    ++roundTrips;
  }
  EXPECT_GT(roundTrips, 0) << "the system's code page holds none of the samples";
#else
  EXPECT_EQ(fw::ProtocolBytesToUtf8("\xE6\xB5\x8B"), "\xE6\xB5\x8B");  // UTF-8 shows as it is
#endif
}

}  // namespace
