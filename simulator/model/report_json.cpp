// The report as JSON. Texts are the bytes the far end received; a byte
// outside printable ASCII is written as \u00XX (read as Latin-1), so the
// output is valid JSON whatever came over the line.
#include <cstdio>
#include <string>
#include <string_view>
#include <type_traits>

#include "simulator/model/device_model.h"

namespace sim {

namespace {

class CJson {
 public:
  void Open(char bracket) {
    Separate();
    m_out += bracket;
    m_first = true;
  }
  void Close(char bracket) {
    m_out += bracket;
    m_first = false;
  }
  void Key(std::string_view key) {
    String(key);
    m_out += ':';
    m_first = true;
  }
  void String(std::string_view text) {
    Separate();
    m_out += '"';
    for (const char ch : text) {
      const auto c = static_cast<unsigned char>(ch);
      if (c == '"' || c == '\\') {
        m_out += '\\';
        m_out += ch;
      } else if (c < 0x20 || c >= 0x7F) {
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
        m_out += escaped;
      } else {
        m_out += ch;
      }
    }
    m_out += '"';
  }
  void Number(std::uint64_t value) {
    Separate();
    m_out += std::to_string(value);
  }
  void Bool(bool value) {
    Separate();
    m_out += value ? "true" : "false";
  }
  template <typename T>
  void Field(std::string_view key, const T& value) {
    Key(key);
    if constexpr (std::is_same_v<T, bool>) {
      Bool(value);
    } else if constexpr (std::is_convertible_v<T, std::string_view>) {
      String(value);
    } else {
      Number(value);
    }
  }
  std::string Take() { return std::move(m_out); }

 private:
  void Separate() {
    if (!m_first) m_out += ',';
    m_first = false;
  }
  std::string m_out;
  bool m_first = true;
};

}  // namespace

std::string ReportToJson(const Report& r) {
  CJson j;
  j.Open('{');
  j.Key("commands");
  j.Open('[');
  for (const auto& c : r.commands) {
    j.Open('{');
    j.Field("atUs", c.atUs);
    j.Field("rate", c.rate);
    j.Field("kind", c.kind);
    j.Field("text", c.text);
    j.Close('}');
  }
  j.Close(']');
  j.Field("commandsNotLogged", r.commandsNotLogged);
  j.Key("receiverRates");
  j.Open('[');
  for (const auto rate : r.receiverRates) j.Number(rate);
  j.Close(']');
  j.Key("pcRates");
  j.Open('[');
  for (const auto rate : r.pcRates) j.Number(rate);
  j.Close(']');
  j.Field("directLinkOpen", r.directLinkOpen);
  j.Key("directLink");
  j.Open('[');
  for (const auto& change : r.directLink) {
    j.Open('{');
    j.Field("atUs", change.atUs);
    j.Field("open", change.open);
    j.Field("cause", change.cause);
    j.Close('}');
  }
  j.Close(']');
  j.Key("settings");
  j.Open('{');
  for (const auto& [name, text] : r.settings) j.Field(name, text);
  j.Close('}');
  j.Key("settingsLog");
  j.Open('[');
  for (const auto& text : r.settingsLog) j.String(text);
  j.Close(']');
  j.Field("settingAcks", r.settingAcks);
  j.Key("settingFields");
  j.Open('{');
  for (const auto& [name, fields] : r.settingFields) {
    j.Key(name);
    j.Open('[');
    for (const auto& field : fields) j.String(field);
    j.Close(']');
  }
  j.Close('}');
  j.Key("settingsAcked");
  j.Open('{');
  for (const auto& [name, count] : r.settingsAcked) j.Field(name, count);
  j.Close('}');
  j.Field("serialNumber", r.serialNumber);
  j.Field("savedRate", r.savedRate);
  j.Field("configSaved", r.configSaved);
  j.Field("configSaves", r.configSaves);
  j.Key("atCommands");
  j.Open('[');
  for (const auto& text : r.atCommands) j.String(text);
  j.Close(']');
  j.Field("moduleRate", r.moduleRate);
  j.Field("moduleEcho", r.moduleEcho);
  j.Field("upgradeStarted", r.upgradeStarted);
  j.Field("upgradeAtUs", r.upgradeAtUs);
  j.Field("loaderListensAtUs", r.loaderListensAtUs);
  j.Field("queries", r.queries);
  j.Field("pagesReceived", static_cast<std::uint64_t>(r.pages.size()));
  j.Key("pageWrites");
  j.Open('[');
  for (const auto& [address, count] : r.pageWrites) {
    j.Open('{');
    j.Field("address", address);
    j.Field("count", count);
    j.Close('}');
  }
  j.Close(']');
  j.Key("pages");
  j.Open('[');
  for (const auto& page : r.pages) {
    j.Open('{');
    j.Field("atUs", page.atUs);
    j.Field("address", page.address);
    j.Field("acknowledged", page.acknowledged);
    j.Field("lost", page.lost);
    j.Close('}');
  }
  j.Close(']');
  j.Field("pagesLost", r.pagesLost);
  j.Field("acksSent", r.acksSent);
  j.Field("acksDropped", r.acksDropped);
  j.Key("repliesSent");
  j.Open('{');
  for (const auto& [type, count] : r.repliesSent) j.Field(std::string(1, static_cast<char>(type)), count);
  j.Close('}');
  j.Field("bytesFromPc", r.bytesFromPc);
  j.Field("bytesAssembled", r.bytesAssembled);
  j.Field("bytesLost", r.bytesLost);
  j.Field("framingErrors", r.framingErrors);
  j.Field("loaderSkipped", r.loaderSkipped);
  j.Field("bytesToPc", r.bytesToPc);
  j.Field("babbleLines", r.babbleLines);
  j.Field("babbleLinesDropped", r.babbleLinesDropped);
  j.Field("babbleBytesDropped", r.babbleBytesDropped);
  j.Close('}');
  return j.Take();
}

}  // namespace sim
