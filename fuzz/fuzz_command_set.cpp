// The command composition with arbitrary field texts: every composed command
// fits the receiver's 255 bytes, ends in CR LF, and carries no CR, LF or NUL
// before its end but for the LF that led2 may bring from the type file; a
// refusal queues nothing.
//
// Input = [choices][port 4][interval 4] then the texts, split at '\x01', in
// the order user, password, apn, local id, base id, local phone, base phone,
// server, mount point, user-pass, dns, gga, serial number, type name, rate,
// led1, led2.
#include <cstring>
#include <string>

#include "configurator/command_set/command_set.h"
#include "configurator/resources/torvik_strings.h"
#include "framework/protocol_text.h"
#include "fuzz/fuzz_support.h"

namespace {

fw::MessageLines Lines(int id) {
  fw::MessageLines lines;
  fw::LoadMessage(torvik::TorvikStrings(), torvik::kTextLanguage, id, lines);
  return lines;
}

void CheckCommand(const torvik::ComposedCommand& c, bool mayEndInLf) {
  const std::string& b = c.bytes;
  FUZZ_CHECK(b.size() <= torvik::kMaxCommandBytes);
  FUZZ_CHECK(b.size() >= 2 && b.ends_with("\r\n"));
  std::string_view body(b.data(), b.size() - 2);
  if (mayEndInLf && body.ends_with('\n')) body.remove_suffix(1);
  FUZZ_CHECK(body.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const fw::MessageLines settingLabels = Lines(torvik::IDS_SETTING_LABELS);
  static const fw::MessageLines finishLabels = Lines(torvik::IDS_FINISH_LABELS);
  static const fw::MessageLines linkLabels = Lines(torvik::IDS_LINK_LABELS);
  if (size < 9) return 0;

  torvik::SettingsValues v;
  const std::uint8_t choices = data[0];
  v.apnKind = static_cast<torvik::ApnKind>(choices % 3);
  v.mode = static_cast<torvik::WorkMode>((choices >> 2) % 4);
  v.networkOn = (choices & 0x10) != 0;
  v.useDns = (choices & 0x20) != 0;
  v.fixedUpload = (choices & 0x40) != 0;
  std::memcpy(&v.port, data + 1, 4);
  std::memcpy(&v.uploadInterval, data + 5, 4);

  std::string* texts[] = {&v.user, &v.password, &v.apn, &v.localId, &v.baseId, &v.localPhone,
                          &v.basePhone, &v.serverIp, &v.mountPoint, &v.userPass, &v.dns, &v.gga,
                          &v.serialNo, &v.type.name, &v.type.baud, &v.type.led1, &v.type.led2};
  std::string_view rest(reinterpret_cast<const char*>(data + 9), size - 9);
  for (std::string* text : texts) {
    const std::size_t at = rest.find('\x01');
    text->assign(rest.substr(0, at));
    rest = at == std::string_view::npos ? std::string_view() : rest.substr(at + 1);
  }

  const torvik::Composition c = torvik::ComposeSettings(v, settingLabels, finishLabels, fw::ToProtocolBytes);
  FUZZ_CHECK((c.refusal && c.refusal->reason == torvik::Refusal::Reason::BadRate) == !torvik::TypeRate(v.type));
  if (c.refusal) {
    FUZZ_CHECK(c.commands.empty());
    return 0;
  }
  FUZZ_CHECK(!c.commands.empty());
  for (const torvik::ComposedCommand& command : c.commands)
    CheckCommand(command, command.bytes.starts_with("KAVEL,LED,"));

  // The link preparation: the binary frame first, then text commands.
  const auto link = torvik::DirectOpenCommands(linkLabels);
  FUZZ_CHECK(link.size() == 3 && link[0].bytes.size() == torvik::kDirectLinkFrame.size());
  for (std::size_t i = 1; i < link.size(); ++i) CheckCommand(link[i], false);
  return 0;
}
