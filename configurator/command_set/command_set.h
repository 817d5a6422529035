#pragma once
// The receiver command set: every command the configurator sends, composed
// from the window's values, with its log label and whether a reply is
// awaited; and the direct-link preparation queued at port open and at Set.
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "configurator/type_file/receiver_type.h"
#include "framework/string_table.h"

namespace torvik {

enum class ApnKind { Mobile, Custom, Cdma };
enum class WorkMode { Heron, Vrs, Ntrip, Gsm };

// The values a Set sends, as the window holds them when Set is pressed.
struct SettingsValues {
  ApnKind apnKind = ApnKind::Mobile;
  WorkMode mode = WorkMode::Heron;
  bool networkOn = true;
  bool useDns = false;
  bool fixedUpload = false;
  std::string user, password, apn;
  std::string localId, baseId, localPhone, basePhone;
  std::string serverIp;
  int port = 0;
  std::string mountPoint, userPass, dns, gga;
  int uploadInterval = 0;
  std::string serialNo;
  ReceiverType type;
};

// The fields a command can carry, for naming the one a refusal is about.
enum class Field {
  User, Password, Apn, LocalId, BaseId, LocalPhone, BasePhone, ServerIp, MountPoint, UserPass, Dns, Gga, SerialNo,
  Led1, Led2, TypeRate,
};

struct ComposedCommand {
  std::string bytes;  // as they go on the line
  std::string label;
  bool expectReply = true;
};

struct Refusal {
  enum class Reason { TooLong, BadCharacter, BadRate };
  Reason reason;
  Field field;
};

// What composing gives: the commands in queue order, or why not one of them may go.
struct Composition {
  std::vector<ComposedCommand> commands;
  std::optional<Refusal> refusal;
};

inline constexpr std::size_t kMaxCommandBytes = 255;

// A field's text as the bytes the line carries (the ANSI code page on
// Windows, UTF-8 elsewhere); false when a character cannot be sent. The
// type's LED parameters do not pass through it: they go as the file has them.
using ToLineBytes = std::function<bool(std::string_view text, std::string& bytes)>;

// The receiver's binary command frame that opens the direct link.
inline constexpr std::array<std::uint8_t, 8> kDirectLinkFrame = {0x24, 0x35, 0xCA, 0x02, 0x00, 0x01, 0x01, 0xD9};

// The link preparation: the frame, "KAVEL,CLOSE," and "KAVEL,DIRECT,ON", or
// the last two only. labels: the link entry's lines, one per command.
std::vector<ComposedCommand> DirectOpenCommands(const fw::MessageLines& labels);
std::vector<ComposedCommand> DirectResumeCommands(const fw::MessageLines& labels);

// The settings commands and then the finish (serial number, module rate and
// echo, saving), labelled from the settings and finish entries' lines (the
// finish's rate label holds %1); refused as a whole, before anything is
// queued, when a field cannot go on the line.
Composition ComposeSettings(const SettingsValues& values, const fw::MessageLines& settingsLabels,
                            const fw::MessageLines& finishLabels, const ToLineBytes& toLine);

// The rate broadcast's command for the type's rate.
std::string RateBroadcastCommand(int rate);
// The type's rate as the broadcast and row 16 send it; nullopt when its text
// does not read as a usable rate.
std::optional<int> TypeRate(const ReceiverType& type);

// The serial number for a date and count: "%02d%02d%02d%02d" of year - 2000,
// month, day and count mod 100.
std::string SerialNumber(int year, int month, int day, int count);

}  // namespace torvik
