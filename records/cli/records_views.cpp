#include "records/cli/records_views.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "records/cli/records_cli_strings.h"
#include "records/hex_text.h"

namespace records {
namespace {

// Display width: each UTF-8 lead byte counts once, East Asian text twice.
std::size_t Width(std::string_view text) {
  std::size_t width = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if ((c & 0xC0) == 0x80) continue;
    width += c >= 0xE0 ? 2 : 1;
  }
  return width;
}

void Field(std::ostream& out, const std::vector<std::string>& names, std::size_t index, std::string_view value) {
  const std::string_view name = index < names.size() ? std::string_view(names[index]) : std::string_view();
  out << name << ':' << std::string(name.size() < 18 ? 18 - Width(name) : 1, ' ') << value << '\n';
}

}  // namespace

std::vector<std::string> Lines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    lines.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

RowTable::RowTable(std::vector<std::string> headings, bool aligned, std::ostream& out)
    : m_headings(std::move(headings)), m_aligned(aligned), m_out(out) {
  if (!m_aligned) Write(m_headings);
}

void RowTable::Row(std::vector<std::string> cells) {
  if (m_aligned) m_rows.push_back(std::move(cells));
  else Write(cells);
}

void RowTable::Finish() {
  if (!m_aligned) return;
  m_widths.assign(m_headings.size(), 0);
  auto measure = [this](const std::vector<std::string>& cells) {
    for (std::size_t i = 0; i < cells.size() && i < m_widths.size(); ++i)
      m_widths[i] = std::max(m_widths[i], Width(cells[i]));
  };
  measure(m_headings);
  for (const auto& row : m_rows) measure(row);
  Write(m_headings);
  for (const auto& row : m_rows) Write(row);
  m_rows.clear();
}

void RowTable::Write(const std::vector<std::string>& cells) {
  for (std::size_t i = 0; i < cells.size(); ++i) {
    if (i > 0) m_out << (m_aligned ? "  " : "\t");
    m_out << cells[i];
    const bool last = i + 1 == cells.size();
    if (m_aligned && !last && i < m_widths.size()) m_out << std::string(m_widths[i] - Width(cells[i]), ' ');
  }
  m_out << '\n';
}

std::vector<std::string> BoardCells(const BoardRow& b) {
  return {b.startedAt, b.serialNumber, b.localId, b.login, b.label, b.station, b.outcome};
}

std::vector<std::string> UpgradeCells(const UpgradeRow& row) {
  const UpgradeRecord& u = row.upgrade;
  std::array<char, 32> seconds{};
  std::snprintf(seconds.data(), seconds.size(), "%.1f", static_cast<double>(u.durationMs) / 1000.0);
  return {u.startedAt, u.boardSerial, u.module, u.imageVersion, std::to_string(u.pages), std::to_string(u.pagesResent),
          u.station, u.outcome, seconds.data()};
}

void PrintBoard(const BoardDetail& detail, fw::UiLanguage language, std::ostream& out) {
  const std::vector<std::string> names = Lines(RecordsCliString(language, IDS_RC_BOARD_FIELDS));
  const BoardRow& b = detail.board;
  const std::array<std::string, 13> values{b.serialNumber, b.localId, b.login, b.label, b.station, b.port,
      b.operatorName, b.profileName.empty() ? std::string() : b.profileName + " " + b.profileSha256,
      b.receiverType + (b.rate > 0 ? " " + std::to_string(b.rate) : std::string()), b.outcome,
      b.exitCode ? std::to_string(*b.exitCode) : std::string(), b.startedAt, b.endedAt};
  for (std::size_t i = 0; i < values.size(); ++i) Field(out, names, i, values[i]);
  Field(out, names, 13, std::to_string(detail.settings.size()));
  for (const auto& [name, value] : detail.settings) out << "  " << name << " = " << value << '\n';
  Field(out, names, 14, std::to_string(detail.items.size()));
  for (const ItemRecord& item : detail.items) {
    out << "  " << item.index << ' ' << item.label << "  " << item.outcome
        << "  " << item.sentAt << "  " << SpacedHex(item.bytes) << '\n';
  }
}

void PrintUpgrade(const UpgradeRecord& u, fw::UiLanguage language, std::ostream& out) {
  const std::vector<std::string> names = Lines(RecordsCliString(language, IDS_RC_UPGRADE_FIELDS));
  const std::array<std::string, 13> values{u.boardSerial, u.module, u.softwareVersion, std::to_string(u.slot),
      u.imageVersion, std::to_string(u.pages), std::to_string(u.pagesResent), u.station, u.port, u.outcome,
      std::to_string(u.durationMs), u.startedAt, u.endedAt};
  for (std::size_t i = 0; i < values.size(); ++i) Field(out, names, i, values[i]);
}

}  // namespace records
