// Boards per hour as an SVG the server draws: one column per clock hour,
// passed below and failed stacked on it, a count axis and hour labels.
#include <algorithm>
#include <cstdio>

#include "records/web/html_text.h"
#include "records/web/line_render.h"
#include "records/web/line_strings.h"

namespace records::web {
namespace {

constexpr int kWidth = 960;
constexpr int kHeight = 340;
constexpr int kLeft = 70;    // room for the count labels
constexpr int kRight = 20;
constexpr int kTop = 40;     // room for the legend
constexpr int kBottom = 80;  // room for the hour labels, the day and the axis name

std::string Num(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", v);
  return text;
}

std::string Rect(double x, double y, double w, double h, std::string_view fill, const std::string& tip) {
  return "<rect x=\"" + Num(x) + "\" y=\"" + Num(y) + "\" width=\"" + Num(w) + "\" height=\"" + Num(h) +
         "\" fill=\"" + std::string(fill) + "\"><title>" + EscapeHtml(tip) + "</title></rect>";
}

std::string Text(double x, double y, std::string_view anchor, std::string_view text, std::string_view cls = "") {
  std::string svg = "<text x=\"" + Num(x) + "\" y=\"" + Num(y) + "\" text-anchor=\"" + std::string(anchor) + "\"";
  if (!cls.empty()) svg += " class=\"" + std::string(cls) + "\"";
  return svg + ">" + EscapeHtml(text) + "</text>";
}

// A round step for the count axis: about four lines up to the highest column.
std::int64_t AxisStep(std::int64_t highest) {
  std::int64_t step = 1;
  while (highest / step > 5) {
    if (highest / (step * 2) <= 5) return step * 2;
    if (highest / (step * 5) <= 5) return step * 5;
    step *= 10;
  }
  return step;
}

}  // namespace

std::string HoursChart(const std::vector<HourTally>& hours, fw::UiLanguage language) {
  const std::vector<std::string> words = LineStringLines(language, IDS_LINE_CHART_AXES);
  std::int64_t highest = 1;
  for (const HourTally& h : hours) highest = std::max(highest, h.passed + h.failed);
  const std::int64_t step = AxisStep(highest);
  const std::int64_t top = (highest + step - 1) / step * step;
  const double plotW = kWidth - kLeft - kRight;
  const double plotH = kHeight - kTop - kBottom;
  const double baseY = kTop + plotH;

  std::string svg = "<svg id=\"hours-chart\" xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(kWidth) +
                    "\" height=\"" + std::to_string(kHeight) + "\" viewBox=\"0 0 " + std::to_string(kWidth) + " " +
                    std::to_string(kHeight) + "\" role=\"img\" font-size=\"18\" font-family=\"sans-serif\">";
  svg += "<title>" + EscapeHtml(std::string(LineString(language, IDS_LINE_CHART))) + "</title>";
  // Legend.
  svg += Rect(kLeft, 8, 18, 18, "#2e7d32", words.at(2)) + Text(kLeft + 24, 23, "start", words.at(2));
  svg += Rect(kLeft + 160, 8, 18, 18, "#c62828", words.at(3)) + Text(kLeft + 184, 23, "start", words.at(3));
  // Count axis with its grid.
  for (std::int64_t v = 0; v <= top; v += step) {
    const double y = baseY - plotH * static_cast<double>(v) / static_cast<double>(top);
    svg += "<line x1=\"" + Num(kLeft) + "\" y1=\"" + Num(y) + "\" x2=\"" + Num(kWidth - kRight) + "\" y2=\"" + Num(y) +
           "\" stroke=\"#999\" stroke-width=\"1\"/>";
    svg += Text(kLeft - 8, y + 6, "end", std::to_string(v), "axis-count");
  }
  // The count axis's name runs up its side, clear of the counts.
  const std::string nameY = Num(kTop + plotH / 2);
  svg += "<text x=\"18\" y=\"" + nameY + "\" text-anchor=\"middle\" class=\"axis-name\" transform=\"rotate(-90 18 " +
         nameY + ")\">" + EscapeHtml(words.at(1)) + "</text>";
  svg += Text(kLeft + plotW / 2, kHeight - 8, "middle", words.at(0), "axis-name");

  if (!hours.empty()) {
    const double slot = plotW / static_cast<double>(hours.size());
    const double barW = std::max(1.0, slot * 0.8);
    // At most about 24 hour labels, so that they stay legible.
    const std::size_t every = std::max<std::size_t>(1, (hours.size() + 23) / 24);
    for (std::size_t i = 0; i < hours.size(); ++i) {
      const HourTally& h = hours[i];
      const double x = kLeft + slot * static_cast<double>(i) + (slot - barW) / 2;
      const double passedH = plotH * static_cast<double>(h.passed) / static_cast<double>(top);
      const double failedH = plotH * static_cast<double>(h.failed) / static_cast<double>(top);
      const std::string tip = h.hour + ": " + words.at(2) + " " + std::to_string(h.passed) + ", " + words.at(3) + " " +
                              std::to_string(h.failed);
      svg += "<g class=\"hour\" data-hour=\"" + EscapeHtml(h.hour) + "\">";
      if (h.passed > 0) svg += Rect(x, baseY - passedH, barW, passedH, "#2e7d32", tip);
      if (h.failed > 0) svg += Rect(x, baseY - passedH - failedH, barW, failedH, "#c62828", tip);
      svg += "</g>";
      if (i % every == 0) {
        // "2026-12-09 14": the hour, with the day where it changes.
        const bool newDay = i == 0 || hours[i - 1].hour.substr(0, 10) != h.hour.substr(0, 10);
        const std::string label = h.hour.size() >= 13 ? h.hour.substr(11, 2) : h.hour;
        svg += Text(x + barW / 2, baseY + 22, "middle", label, "axis-hour");
        if (newDay && h.hour.size() >= 10) svg += Text(x + barW / 2, baseY + 42, "middle", h.hour.substr(5, 5), "axis-day");
      }
    }
  }
  svg += "<line x1=\"" + Num(kLeft) + "\" y1=\"" + Num(baseY) + "\" x2=\"" + Num(kWidth - kRight) + "\" y2=\"" +
         Num(baseY) + "\" stroke=\"#000\" stroke-width=\"2\"/>";
  return svg + "</svg>";
}

}  // namespace records::web
