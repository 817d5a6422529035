// The report as JSON. Texts are the bytes the far end received, read as
// Latin-1: a byte outside printable ASCII comes out as \u00XX, so the output
// is valid JSON whatever came over the line.
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "simulator/model/device_model.h"

namespace sim {

namespace {

using Json = nlohmann::ordered_json;

// Each byte as the code point of the same value, in UTF-8, so that every text
// is valid for the library and dumps to the escapes above.
std::string Latin1(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (const char ch : bytes) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x80) {
      out += ch;
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

Json Texts(const std::vector<std::string>& texts) {
  Json list = Json::array();
  for (const auto& text : texts) list.push_back(Latin1(text));
  return list;
}

template <typename Number>
Json Numbers(const std::vector<Number>& numbers) {
  Json list = Json::array();
  for (const auto n : numbers) list.push_back(n);
  return list;
}

}  // namespace

std::string ReportToJson(const Report& r, std::uint64_t bytesDroppedByDaemon) {
  Json j;
  Json commands = Json::array();
  for (const auto& c : r.commands) {
    commands.push_back({{"atUs", c.atUs}, {"rate", c.rate}, {"kind", Latin1(c.kind)}, {"text", Latin1(c.text)}});
  }
  j["commands"] = std::move(commands);
  j["commandsNotLogged"] = r.commandsNotLogged;
  j["receiverRates"] = Numbers(r.receiverRates);
  j["pcRates"] = Numbers(r.pcRates);
  j["directLinkOpen"] = r.directLinkOpen;
  Json directLink = Json::array();
  for (const auto& change : r.directLink) {
    directLink.push_back({{"atUs", change.atUs}, {"open", change.open}, {"cause", Latin1(change.cause)}});
  }
  j["directLink"] = std::move(directLink);
  Json settings = Json::object();
  for (const auto& [name, text] : r.settings) settings[Latin1(name)] = Latin1(text);
  j["settings"] = std::move(settings);
  j["settingsLog"] = Texts(r.settingsLog);
  j["settingAcks"] = r.settingAcks;
  Json settingFields = Json::object();
  for (const auto& [name, fields] : r.settingFields) settingFields[Latin1(name)] = Texts(fields);
  j["settingFields"] = std::move(settingFields);
  Json settingsAcked = Json::object();
  for (const auto& [name, count] : r.settingsAcked) settingsAcked[Latin1(name)] = count;
  j["settingsAcked"] = std::move(settingsAcked);
  j["serialNumber"] = Latin1(r.serialNumber);
  j["savedRate"] = r.savedRate;
  j["configSaved"] = r.configSaved;
  j["configSaves"] = r.configSaves;
  j["atCommands"] = Texts(r.atCommands);
  j["moduleRate"] = r.moduleRate;
  j["moduleEcho"] = r.moduleEcho;
  j["upgradeStarted"] = r.upgradeStarted;
  j["upgradeAtUs"] = r.upgradeAtUs;
  j["loaderListensAtUs"] = r.loaderListensAtUs;
  j["queries"] = r.queries;
  j["pagesReceived"] = static_cast<std::uint64_t>(r.pages.size());
  Json pageWrites = Json::array();
  for (const auto& [address, count] : r.pageWrites) pageWrites.push_back({{"address", address}, {"count", count}});
  j["pageWrites"] = std::move(pageWrites);
  Json pages = Json::array();
  for (const auto& page : r.pages) {
    pages.push_back(
        {{"atUs", page.atUs}, {"address", page.address}, {"acknowledged", page.acknowledged}, {"lost", page.lost}});
  }
  j["pages"] = std::move(pages);
  j["pagesLost"] = r.pagesLost;
  j["pagesIgnored"] = r.pagesIgnored;
  j["acksSent"] = r.acksSent;
  j["acksDropped"] = r.acksDropped;
  Json repliesSent = Json::object();
  for (const auto& [type, count] : r.repliesSent) {
    repliesSent[Latin1(std::string(1, static_cast<char>(type)))] = count;
  }
  j["repliesSent"] = std::move(repliesSent);
  j["bytesFromPc"] = r.bytesFromPc;
  j["bytesAssembled"] = r.bytesAssembled;
  j["bytesLost"] = r.bytesLost;
  j["framingErrors"] = r.framingErrors;
  j["loaderSkipped"] = r.loaderSkipped;
  j["pagesCut"] = r.pagesCut;
  j["bytesToPc"] = r.bytesToPc;
  j["babbleLines"] = r.babbleLines;
  j["babbleLinesDropped"] = r.babbleLinesDropped;
  j["babbleBytesDropped"] = r.babbleBytesDropped;
  j["powerOns"] = r.powerOns;
  if (bytesDroppedByDaemon > 0) j["bytesDroppedByDaemon"] = bytesDroppedByDaemon;
  // Every text is valid UTF-8 by now; replace is the guard that keeps this from throwing.
  return j.dump(-1, ' ', true, Json::error_handler_t::replace);
}

}  // namespace sim
