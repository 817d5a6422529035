// The line view's HTML: plain, large and high in contrast for a screen seen
// across the line; no script and nothing fetched, the style inline.
#include <cstdio>
#include <ctime>

#include "framework/text_format.h"
#include "records/hex_text.h"
#include "records/web/html_text.h"
#include "records/web/line_render.h"
#include "records/web/line_strings.h"

namespace records::web {
namespace {

constexpr std::string_view kStyle =
    "body{font-family:sans-serif;font-size:22px;background:#fff;color:#000;margin:1em}"
    "h1{font-size:2em;margin:.2em 0}h2{font-size:1.4em;margin:1em 0 .3em}"
    "table{border-collapse:collapse;margin:.3em 0}th,td{border:2px solid #000;padding:.2em .5em;text-align:left}"
    "th{background:#000;color:#fff}td.num,th.num{text-align:right}"
    ".totals{display:flex;flex-wrap:wrap;gap:1em}.total{border:3px solid #000;padding:.3em .8em}"
    ".total b{display:block;font-size:2.2em}.failed b,.outcome-failed{color:#b00000}"
    ".passed b,.outcome-passed{color:#005a00}a{color:#0000b0}"
    "input,button{font-size:1em;padding:.2em}form{margin:.4em 0}pre{font-size:1em;white-space:pre-wrap}";

std::string Esc(std::string_view text) { return EscapeHtml(text); }

std::string Word(const PageContext& c, int id) { return std::string(LineString(c.language, id)); }

// Times as the store keeps them (UTC) shown in the server's local time.
std::string LocalTime(const std::string& utc) {
  std::tm t{};
  if (utc.size() != 20 ||
      std::sscanf(utc.c_str(), "%4d-%2d-%2dT%2d:%2d:%2dZ", &t.tm_year, &t.tm_mon, &t.tm_mday, &t.tm_hour, &t.tm_min,
                  &t.tm_sec) != 6)
    return utc;
  t.tm_year -= 1900;
  t.tm_mon -= 1;
  const std::time_t when = timegm(&t);
  std::tm local{};
  if (when == static_cast<std::time_t>(-1) || localtime_r(&when, &local) == nullptr) return utc;
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

std::string Head(const PageContext& c, std::string_view title, bool refresh) {
  std::string html = "<!DOCTYPE html>\n<html lang=\"";
  html += c.language == fw::UiLanguage::Chinese ? "zh" : "en";
  html += "\"><head><meta charset=\"utf-8\">";
  if (refresh) html += "<meta http-equiv=\"refresh\" content=\"10\">";
  html += "<title>" + Esc(title) + "</title><style>" + std::string(kStyle) + "</style></head><body>\n";
  return html;
}

constexpr std::string_view kFoot = "</body></html>\n";

std::string Header(const std::vector<std::string>& columns, std::size_t numericFrom = 99) {
  std::string html = "<tr>";
  for (std::size_t i = 0; i < columns.size(); ++i)
    html += (i >= numericFrom ? "<th class=\"num\">" : "<th>") + Esc(columns[i]) + "</th>";
  return html + "</tr>\n";
}

std::string Cell(std::string_view text, std::string_view cls = {}) {
  if (cls.empty()) return "<td>" + Esc(text) + "</td>";
  return "<td class=\"" + std::string(cls) + "\">" + Esc(text) + "</td>";
}

std::string BoardHref(std::string_view key, const PageContext& c) {
  return "/board/" + PercentEncode(key) + KeptQuery(c);
}

std::string Hidden(std::string_view name, std::string_view value) {
  if (value.empty()) return {};
  return "<input type=\"hidden\" name=\"" + std::string(name) + "\" value=\"" + Esc(value) + "\">";
}

std::string SearchForm(const PageContext& c, std::string_view q) {
  const std::vector<std::string> words = LineStringLines(c.language, IDS_LINE_SEARCH);
  return "<form method=\"get\" action=\"/search\"><input type=\"search\" name=\"q\" maxlength=\"200\" size=\"30\" "
         "value=\"" + Esc(q) + "\" placeholder=\"" + Esc(words.at(1)) + "\" aria-label=\"" + Esc(words.at(1)) +
         "\">" + Hidden("day", c.day) + Hidden("from", c.from) + Hidden("to", c.to) + Hidden("token", c.token) +
         "<button type=\"submit\">" + Esc(words.at(0)) + "</button></form>\n";
}

std::string DayForm(const PageContext& c) {
  const std::vector<std::string> w = LineStringLines(c.language, IDS_LINE_FORM);
  PageContext today = c;
  today.day = today.from = today.to = "";
  std::string html = "<form method=\"get\" action=\"/\"><label>" + Esc(w.at(0)) +
                     " <input type=\"date\" name=\"day\" value=\"" + Esc(c.day) + "\"></label> " + Hidden("token", c.token) +
                     "<button type=\"submit\">" + Esc(w.at(3)) + "</button> <a href=\"/" + KeptQuery(today) + "\">" +
                     Esc(w.at(4)) + "</a></form>\n";
  html += "<form method=\"get\" action=\"/\"><label>" + Esc(w.at(1)) + " <input type=\"date\" name=\"from\" value=\"" +
          Esc(c.from) + "\"></label> <label>" + Esc(w.at(2)) + " <input type=\"date\" name=\"to\" value=\"" +
          Esc(c.to) + "\"></label> " + Hidden("token", c.token) + "<button type=\"submit\">" + Esc(w.at(3)) +
          "</button></form>\n";
  return html;
}

std::string Total(std::string_view id, std::string_view cls, std::string_view label, std::string_view value) {
  return "<div class=\"total " + std::string(cls) + "\">" + Esc(label) + "<b id=\"" + std::string(id) + "\">" +
         Esc(value) + "</b></div>";
}

std::string Totals(const StationTally& line, const PageContext& c) {
  const std::vector<std::string> w = LineStringLines(c.language, IDS_LINE_TOTALS);
  return "<div class=\"totals\">" + Total("line-boards", "", w.at(0), std::to_string(line.boards)) +
         Total("line-passed", "passed", w.at(1), std::to_string(line.passed)) +
         Total("line-failed", "failed", w.at(2), std::to_string(line.failed)) +
         Total("line-yield", "", w.at(3), YieldText(line)) +
         Total("line-rate", "", w.at(4), RateText(line.boardsPerHour)) + "</div>\n";
}

std::string TallyCells(const StationTally& t) {
  return Cell(std::to_string(t.boards), "boards num") + Cell(std::to_string(t.passed), "passed num") +
         Cell(std::to_string(t.failed), "failed num") + Cell(YieldText(t), "yield num") +
         Cell(RateText(t.boardsPerHour), "rate num");
}

std::string StationsTable(const LineSummary& s, const PageContext& c) {
  std::vector<std::string> columns{Word(c, IDS_LINE_STATION)};
  for (std::string& w : LineStringLines(c.language, IDS_LINE_TOTALS)) columns.push_back(std::move(w));
  std::string html = "<h2>" + Esc(Word(c, IDS_LINE_STATIONS)) + "</h2>\n<table id=\"stations\">" + Header(columns, 1);
  for (const StationTally& t : s.stations)
    html += "<tr data-station=\"" + Esc(t.station) + "\">" + Cell(t.station, "station") + TallyCells(t) + "</tr>\n";
  html += "<tr class=\"line\">" + Cell(Word(c, IDS_LINE_WHOLE_LINE), "station") + TallyCells(s.line) + "</tr>\n";
  return html + "</table>\n";
}

std::string CausesTable(const LineSummary& s, const PageContext& c) {
  std::string html = "<h2>" + Esc(Word(c, IDS_LINE_CAUSES)) + "</h2>\n<table id=\"causes\">" +
                     Header(LineStringLines(c.language, IDS_LINE_CAUSE_COLUMNS));
  for (const FailureCause& cause : s.causes) {
    std::string stations;
    for (const auto& [name, count] : cause.stations)
      stations += (stations.empty() ? "" : ", ") + name + " (" + std::to_string(count) + ")";
    html += "<tr>" + Cell(cause.item.empty() ? Word(c, IDS_LINE_REFUSED_ITEM) : cause.item, "item") +
            Cell(cause.outcome, "outcome") + Cell(std::to_string(cause.count), "count num") +
            Cell(stations, "stations") + "</tr>\n";
  }
  html += "</table>\n";
  if (s.causes.empty()) html += "<p>" + Esc(Word(c, IDS_LINE_NONE)) + "</p>\n";
  return html;
}

std::string BoardKey(const BoardRow& b) { return !b.serialNumber.empty() ? b.serialNumber : b.label; }

std::string BoardRows(const std::vector<BoardRow>& rows, const PageContext& c) {
  std::string html;
  for (const BoardRow& b : rows) {
    const std::string key = BoardKey(b);
    html += "<tr>" + Cell(LocalTime(b.startedAt), "time") + Cell(b.station, "station") +
            "<td class=\"label\"><a class=\"board-link\" href=\"" + Esc(BoardHref(key, c)) + "\">" +
            Esc(b.label.empty() ? key : b.label) + "</a></td>" + Cell(b.serialNumber, "serial") +
            Cell(b.localId, "local-id") + Cell(b.outcome, "outcome outcome-" + Esc(b.outcome)) + "</tr>\n";
  }
  return html;
}

std::string RecentTable(const LineSummary& s, const PageContext& c) {
  std::string html = "<h2>" + Esc(Word(c, IDS_LINE_RECENT)) + "</h2>\n<table id=\"recent\">" +
                     Header(LineStringLines(c.language, IDS_LINE_RECENT_COLUMNS)) + BoardRows(s.recent, c) +
                     "</table>\n";
  if (s.recent.empty()) html += "<p>" + Esc(Word(c, IDS_LINE_NONE)) + "</p>\n";
  return html;
}

std::string UpgradesTable(const LineSummary& s, const PageContext& c) {
  std::string html = "<h2>" + Esc(Word(c, IDS_LINE_UPGRADES)) + "</h2>\n<table id=\"upgrades\">" +
                     Header(LineStringLines(c.language, IDS_LINE_UPGRADE_COLUMNS));
  for (const UpgradeRow& row : s.upgrades) {
    const UpgradeRecord& u = row.upgrade;
    html += "<tr>" + Cell(LocalTime(u.startedAt), "time") + Cell(u.station, "station") +
            Cell(u.boardSerial, "serial") + Cell(u.module, "module") + Cell(u.imageVersion, "image") +
            Cell(u.outcome, "outcome") + "</tr>\n";
  }
  html += "</table>\n";
  if (s.upgrades.empty()) html += "<p>" + Esc(Word(c, IDS_LINE_NONE)) + "</p>\n";
  return html;
}

std::string DayText(const LocalDate& d) {
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", d.year % 10000, d.month % 100, d.day % 100);
  return text;
}

}  // namespace

std::string KeptQuery(const PageContext& c) {
  const std::string q = QueryString({{"day", c.day}, {"from", c.from}, {"to", c.to}, {"token", c.token}});
  return q.empty() ? q : "?" + q;
}

std::string YieldText(const StationTally& t) {
  if (t.passed + t.failed == 0) return "-";
  char text[16];
  std::snprintf(text, sizeof text, "%.1f%%", t.yield * 100.0);
  return text;
}

std::string RateText(double perHour) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", perHour);
  return text;
}

std::string ShownLogin(std::string_view login, bool showLogins) {
  return showLogins ? std::string(login) : MaskLogin(login);
}

std::string OverviewPage(const LineSummary& s, const PageContext& c) {
  const std::string title = Word(c, IDS_LINE_TITLE);
  std::string html = Head(c, title, true);
  html += "<h1>" + Esc(title) + "</h1>\n<p id=\"span\">" +
          Esc(fw::FormatText(Word(c, IDS_LINE_SPAN), {DayText(s.span.first), DayText(s.span.last)})) + "</p>\n";
  html += DayForm(c) + SearchForm(c, {}) + Totals(s.line, c) + StationsTable(s, c);
  html += "<h2>" + Esc(Word(c, IDS_LINE_CHART)) + "</h2>\n" + HoursChart(s.hours, c.language) + "\n";
  html += CausesTable(s, c) + RecentTable(s, c) + UpgradesTable(s, c);
  return html + std::string(kFoot);
}

std::string BoardPage(const BoardDetail& d, const PageContext& c) {
  const BoardRow& b = d.board;
  const std::string name = b.label.empty() ? b.serialNumber : b.label;
  const std::string title = fw::FormatText(Word(c, IDS_LINE_BOARD), {name});
  std::string html = Head(c, title, false);
  html += "<p><a href=\"/" + Esc(KeptQuery(c)) + "\">" + Esc(Word(c, IDS_LINE_BACK)) + "</a></p>\n";
  html += "<h1>" + Esc(fw::FormatText(Word(c, IDS_LINE_BOARD), {""})) + "<span id=\"board-label\">" + Esc(name) +
          "</span></h1>\n<table id=\"board\">";
  const std::vector<std::string> f = LineStringLines(c.language, IDS_LINE_BOARD_FIELDS);
  const std::string values[] = {b.serialNumber, b.localId, ShownLogin(b.login, c.showLogins), b.label, b.station,
                                b.port, b.operatorName, b.profileName, b.receiverType, b.outcome,
                                b.exitCode ? std::to_string(*b.exitCode) : std::string(), LocalTime(b.startedAt),
                                LocalTime(b.endedAt)};
  for (std::size_t i = 0; i < std::size(values) && i < f.size(); ++i)
    html += "<tr><th>" + Esc(f[i]) + "</th>" + Cell(values[i]) + "</tr>\n";
  html += "</table>\n<h2>" + Esc(Word(c, IDS_LINE_SETTINGS)) + "</h2>\n<table id=\"board-settings\">";
  for (const auto& [name_, value] : d.settings) html += "<tr><th>" + Esc(name_) + "</th>" + Cell(value) + "</tr>\n";
  html += "</table>\n<h2>" + Esc(Word(c, IDS_LINE_ITEMS)) + "</h2>\n<table id=\"board-items\">" +
          Header(LineStringLines(c.language, IDS_LINE_ITEM_COLUMNS));
  const std::vector<std::string> yesNo = LineStringLines(c.language, IDS_LINE_YES_NO);
  for (const ItemRecord& item : d.items)
    html += "<tr class=\"item\">" + Cell(std::to_string(item.index), "index num") + Cell(item.label, "label") +
            Cell(SpacedHex(item.bytes), "bytes") + Cell(item.replyAwaited ? yesNo.at(0) : yesNo.at(1), "awaited") +
            Cell(item.outcome, "outcome") + Cell(LocalTime(item.sentAt), "sent") +
            Cell(LocalTime(item.endedAt), "ended") + "</tr>\n";
  html += "</table>\n";
  return html + std::string(kFoot);
}

std::string SearchPage(std::string_view q, const std::vector<BoardRow>& rows, const PageContext& c) {
  const std::string title = fw::FormatText(Word(c, rows.empty() ? IDS_LINE_NOT_FOUND_ANY : IDS_LINE_FOUND), {q});
  std::string html = Head(c, title, false);
  html += "<p><a href=\"/" + Esc(KeptQuery(c)) + "\">" + Esc(Word(c, IDS_LINE_BACK)) + "</a></p>\n";
  html += SearchForm(c, q) + "<h1>" + Esc(title) + "</h1>\n";
  if (!rows.empty())
    html += "<table id=\"found\">" + Header(LineStringLines(c.language, IDS_LINE_RECENT_COLUMNS)) + BoardRows(rows, c) +
            "</table>\n";
  return html + std::string(kFoot);
}

std::string MessagePage(std::string_view message, const PageContext& c, bool refresh) {
  std::string html = Head(c, Word(c, IDS_LINE_TITLE), refresh);
  html += "<p><a href=\"/" + Esc(KeptQuery(c)) + "\">" + Esc(Word(c, IDS_LINE_BACK)) + "</a></p>\n";
  html += "<p id=\"message\">" + Esc(message) + "</p>\n";
  return html + std::string(kFoot);
}

}  // namespace records::web
