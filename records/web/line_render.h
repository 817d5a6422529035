#pragma once
// The line view's pages, chart and JSON, rendered from what the store gave;
// LineSite decides which one a request gets. Every text from the store is
// escaped here, and every word comes from line_strings.
#include <string>
#include <string_view>
#include <vector>

#include "framework/ui_language.h"
#include "records/record_store.h"
#include "records/web/line_summary.h"

namespace records::web {

struct PageContext {
  fw::UiLanguage language = fw::UiLanguage::English;
  bool showLogins = false;
  // What links and forms keep of the request, unencoded: empty values are left out.
  std::string day;
  std::string from;
  std::string to;
  std::string token;  // only when it came in the query
};

// "?day=..&token=.." for a link that keeps the view, "" when there is nothing to keep.
std::string KeptQuery(const PageContext& context);
// A login as the page may show it.
std::string ShownLogin(std::string_view login, bool showLogins);

std::string OverviewPage(const LineSummary& summary, const PageContext& context);
std::string BoardPage(const BoardDetail& detail, const PageContext& context);
std::string SearchPage(std::string_view q, const std::vector<BoardRow>& rows, const PageContext& context);
// A page of one message (not found, bad day, token needed, store down: that
// one reloads itself like the overview).
std::string MessagePage(std::string_view message, const PageContext& context, bool refresh = false);

// The SVG of boards per hour, passed and failed stacked.
std::string HoursChart(const std::vector<HourTally>& hours, fw::UiLanguage language);

std::string SummaryJson(const LineSummary& summary);
std::string BoardsJson(const std::vector<BoardRow>& rows, bool showLogins);
std::string BoardJson(const BoardDetail& detail, bool showLogins);
std::string ErrorJson(int status, std::string_view message);

// yield as "87.5%", "-" when nothing ended; a rate with one decimal.
std::string YieldText(const StationTally& tally);
std::string RateText(double perHour);

}  // namespace records::web
