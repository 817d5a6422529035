// The line view's JSON: the summary, boards found and one board, with the
// same numbers and masking as the pages.
#include <cstdio>

#include <nlohmann/json.hpp>

#include "records/hex_text.h"
#include "records/web/line_render.h"

namespace records::web {
namespace {

using nlohmann::json;

std::string DayText(const LocalDate& d) {
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", d.year % 10000, d.month % 100, d.day % 100);
  return text;
}

// yield is null when no board ended.
json Tally(const StationTally& t) {
  json j{{"boards", t.boards},   {"passed", t.passed},           {"failed", t.failed},
         {"refused", t.refused}, {"interrupted", t.interrupted}, {"running", t.running},
         {"boards_per_hour", t.boardsPerHour}};
  j["yield"] = t.passed + t.failed > 0 ? json(t.yield) : json(nullptr);
  return j;
}

json Board(const BoardRow& b, bool showLogins) {
  return json{{"serial_number", b.serialNumber},
              {"local_id", b.localId},
              {"login", ShownLogin(b.login, showLogins)},
              {"label", b.label},
              {"station", b.station},
              {"port", b.port},
              {"operator", b.operatorName},
              {"profile", b.profileName},
              {"receiver_type", b.receiverType},
              {"rate", b.rate},
              {"outcome", b.outcome},
              {"exit_code", b.exitCode ? json(*b.exitCode) : json(nullptr)},
              {"started_at", b.startedAt},
              {"ended_at", b.endedAt}};
}

// Store text is not always UTF-8: replaced rather than thrown on.
std::string Dump(const json& j) { return j.dump(-1, ' ', false, json::error_handler_t::replace) + "\n"; }

}  // namespace

std::string SummaryJson(const LineSummary& s) {
  json j = Tally(s.line);
  j["from"] = DayText(s.span.first);
  j["to"] = DayText(s.span.last);
  j["from_utc"] = s.fromUtc;
  j["to_utc"] = s.toUtc;
  json stations = json::array();
  for (const StationTally& t : s.stations) {
    json one = Tally(t);
    one["station"] = t.station;
    stations.push_back(std::move(one));
  }
  j["stations"] = std::move(stations);
  json hours = json::array();
  for (const HourTally& h : s.hours) hours.push_back({{"hour", h.hour}, {"passed", h.passed}, {"failed", h.failed}});
  j["hours"] = std::move(hours);
  json causes = json::array();
  for (const FailureCause& c : s.causes) {
    json stationsOf = json::array();
    for (const auto& [name, count] : c.stations) stationsOf.push_back({{"station", name}, {"count", count}});
    causes.push_back({{"item", c.item}, {"outcome", c.outcome}, {"count", c.count}, {"stations", stationsOf}});
  }
  j["causes"] = std::move(causes);
  return Dump(j);
}

std::string BoardsJson(const std::vector<BoardRow>& rows, bool showLogins) {
  json list = json::array();
  for (const BoardRow& b : rows) list.push_back(Board(b, showLogins));
  return Dump(list);
}

std::string BoardJson(const BoardDetail& d, bool showLogins) {
  json j = Board(d.board, showLogins);
  json settings = json::array();
  for (const auto& [name, value] : d.settings) settings.push_back({{"name", name}, {"value", value}});
  j["settings"] = std::move(settings);
  json items = json::array();
  for (const ItemRecord& item : d.items) {
    items.push_back({{"index", item.index},
                     {"label", item.label},
                     {"bytes", PackedHex(item.bytes)},
                     {"reply_awaited", item.replyAwaited},
                     {"outcome", item.outcome},
                     {"sent_at", item.sentAt},
                     {"ended_at", item.endedAt}});
  }
  j["items"] = std::move(items);
  return Dump(j);
}

std::string ErrorJson(int status, std::string_view message) {
  return Dump(json{{"status", status}, {"error", std::string(message)}});
}

}  // namespace records::web
