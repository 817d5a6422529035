#include "configurator/command_set/command_set.h"

#include <climits>
#include <cstdio>
#include <initializer_list>
#include <utility>

#include "framework/text_format.h"

namespace torvik {
namespace {

struct FieldText {
  Field field;
  const std::string* text;
};

// A field's bytes may not end or split a command on the line; the type
// file's led2 keeps the line feed its last field carries.
bool CarriesLineBreak(Field field, std::string_view bytes) {
  if (field == Field::Led2 && !bytes.empty() && bytes.back() == '\n') bytes.remove_suffix(1);
  return bytes.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

// Builds commands one by one; the first field that cannot go stops it.
class Composer {
 public:
  Composer(const ToLineBytes& toLine, Composition& out) : m_toLine(toLine), m_out(out) {}

  // format holds one %s per text field (in order) and at most one %d.
  void Add(std::string_view format, std::initializer_list<FieldText> fields, std::string_view label, bool reply,
           std::optional<int> number = std::nullopt) {
    if (m_out.refusal) return;
    std::vector<std::pair<Field, std::string>> bytes;
    for (const FieldText& f : fields) {
      std::string line;
      // The LED parameters are the type file's bytes, already as the line carries them.
      const bool fileBytes = f.field == Field::Led1 || f.field == Field::Led2;
      if (fileBytes) line = *f.text;
      if ((!fileBytes && !m_toLine(*f.text, line)) || CarriesLineBreak(f.field, line)) {
        m_out.refusal = Refusal{Refusal::Reason::BadCharacter, f.field};
        return;
      }
      bytes.emplace_back(f.field, std::move(line));
    }
    std::string command;
    std::size_t next = 0;
    for (std::size_t i = 0; i < format.size(); ++i) {
      if (format[i] == '%' && i + 1 < format.size() && format[i + 1] == 's') {
        command += bytes[next++].second;
        ++i;
      } else if (format[i] == '%' && i + 1 < format.size() && format[i + 1] == 'd') {
        command += std::to_string(number.value_or(0));
        ++i;
      } else {
        command += format[i];
      }
    }
    if (command.size() > kMaxCommandBytes) {
      // Name the field that takes most of the room.
      std::size_t longest = 0;
      for (std::size_t i = 1; i < bytes.size(); ++i)
        if (bytes[i].second.size() > bytes[longest].second.size()) longest = i;
      m_out.refusal = Refusal{Refusal::Reason::TooLong, bytes.empty() ? Field::TypeRate : bytes[longest].first};
      return;
    }
    m_out.commands.push_back({std::move(command), std::string(label), reply});
  }

 private:
  const ToLineBytes& m_toLine;
  Composition& m_out;
};

}  // namespace

std::vector<ComposedCommand> DirectResumeCommands(const fw::MessageLines& labels) {
  return {{"KAVEL,CLOSE,\r\n", labels[1], false}, {"KAVEL,DIRECT,ON\r\n", labels[2], false}};
}

std::vector<ComposedCommand> DirectOpenCommands(const fw::MessageLines& labels) {
  std::vector<ComposedCommand> commands{{std::string(kDirectLinkFrame.begin(), kDirectLinkFrame.end()), labels[0], false}};
  for (ComposedCommand& c : DirectResumeCommands(labels)) commands.push_back(std::move(c));
  return commands;
}

std::optional<int> TypeRate(const ReceiverType& type) {
  const std::int64_t rate = ReceiverTypeRate(type.baud);
  if (rate <= 0 || rate > INT_MAX) return std::nullopt;
  return static_cast<int>(rate);
}

std::string RateBroadcastCommand(int rate) { return "KAVEL,COM," + std::to_string(rate) + ",9600,\r\n"; }

std::string SerialNumber(int year, int month, int day, int count) {
  std::array<char, 64> text{};
  std::snprintf(text.data(), text.size(), "%02d%02d%02d%02d", year - 2000, month, day, count % 100);
  return text.data();
}

Composition ComposeSettings(const SettingsValues& v, const fw::MessageLines& L, const fw::MessageLines& F,
                            const ToLineBytes& toLine) {
  Composition out;
  const std::optional<int> rate = TypeRate(v.type);
  if (!rate) {
    out.refusal = Refusal{Refusal::Reason::BadRate, Field::TypeRate};
    return out;
  }
  Composer c(toLine, out);
  const bool heronOrGsm = v.mode == WorkMode::Heron || v.mode == WorkMode::Gsm;

  switch (v.apnKind) {
    case ApnKind::Mobile:
      c.Add("KAVEL,APN,cmnet,%s,%s,\r\n", {{Field::User, &v.user}, {Field::Password, &v.password}}, L[0], true);
      break;
    case ApnKind::Custom:
      c.Add("KAVEL,APN,%s,%s,%s,\r\n",
            {{Field::Apn, &v.apn}, {Field::User, &v.user}, {Field::Password, &v.password}}, L[0], true);
      break;
    case ApnKind::Cdma:
      c.Add("KAVEL,APN,,%s,%s,\r\n", {{Field::User, &v.user}, {Field::Password, &v.password}}, L[0], true);
      break;
  }
  if (heronOrGsm) {
    c.Add("KAVEL,SETGPRS,%s,%s,TEST\r\n", {{Field::LocalId, &v.localId}, {Field::BaseId, &v.baseId}}, L[1], true);
    c.Add("KAVEL,SETGSM,%s,%s\r\n", {{Field::LocalPhone, &v.localPhone}, {Field::BasePhone, &v.basePhone}}, L[2],
          true);
  }
  c.Add("KAVEL,IPSET,%s,%d,%s,\r\n", {{Field::ServerIp, &v.serverIp}, {Field::MountPoint, &v.mountPoint}}, L[3], true,
        v.port);
  c.Add("KAVEL,USER,%s,\r\n", {{Field::UserPass, &v.userPass}}, L[4], true);
  if (v.mode == WorkMode::Gsm) c.Add("KAVEL,MODEGSM\r\n", {}, L[5], true);
  else if (v.apnKind == ApnKind::Cdma) c.Add("KAVEL,MODECDMA\r\n", {}, L[5], true);
  else c.Add("KAVEL,MODEGPRS\r\n", {}, L[5], true);
  if (heronOrGsm) c.Add("KAVEL,MODEKAVEL\r\n", {}, L[6], true);
  else if (v.mode == WorkMode::Vrs) c.Add("KAVEL,MODEVRS\r\n", {}, L[6], true);
  else c.Add("KAVEL,MODENTRIP\r\n", {}, L[6], true);
  c.Add("KAVEL,LED,%s,%s\r\n", {{Field::Led1, &v.type.led1}, {Field::Led2, &v.type.led2}}, L[7], true);
  c.Add(v.networkOn ? "KAVEL,OPEN,OFF,ON\r\n" : "KAVEL,OPEN,OFF,OFF\r\n", {}, L[8], true);
  c.Add(v.useDns ? "KAVEL,USEDNS,ON\r\n" : "KAVEL,USEDNS,OFF\r\n", {}, L[9], true);
  c.Add("KAVEL,DNS,%s,\r\n", {{Field::Dns, &v.dns}}, L[10], true);
  if (v.fixedUpload && !v.gga.empty()) c.Add("KAVEL,USEGGA,ON,%d\r\n", {}, L[11], true, v.uploadInterval);
  else c.Add("KAVEL,USEGGA,OFF,\r\n", {}, L[11], true);
  c.Add("KAVEL,GGA,\"%s\",\r\n", {{Field::Gga, &v.gga}}, L[11], true);

  // The finish: serial number, the module's rate and echo, saving.
  const std::string rateText = std::to_string(*rate);
  c.Add("KAVEL,SERIAL,%s\r\n", {{Field::SerialNo, &v.serialNo}}, F[0], true);
  c.Add("AT+IPR=115200\r\n", {}, F[1], false);
  c.Add("KAVEL,COM,%d,115200,SAVE\r\n", {}, fw::FormatText(F[2], {rateText}), true, *rate);
  c.Add("ATE0\r\n", {}, F[3], false);
  c.Add("KAVEL,NO.,,\r\n", {}, F[4], true);
  c.Add("KAVEL,SAVECONFIG,\r\n", {}, F[5], true);
  c.Add("KAVEL,DIRECT,OFF\r\n", {}, F[6], false);
  if (out.refusal) out.commands.clear();
  return out;
}

}  // namespace torvik
