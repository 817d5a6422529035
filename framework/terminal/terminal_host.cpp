#include "framework/terminal/terminal_host.h"

#include <algorithm>

namespace fw {
namespace {

constexpr int kBarWidth = 40;

}  // namespace

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  std::string current;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      lines.push_back(std::move(current));
      current.clear();
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      current += c;
    }
  }
  if (!current.empty()) lines.push_back(std::move(current));
  return lines;
}

int ProgressPercent(int lower, int upper, int pos) {
  if (upper <= lower) return 0;
  const long long share = (static_cast<long long>(pos) - lower) * 100 / (static_cast<long long>(upper) - lower);
  return static_cast<int>(std::clamp<long long>(share, 0, 100));
}

TerminalHost::~TerminalHost() {
  std::lock_guard<std::mutex> lock(m_outputLock);
  if (m_barShown && m_isTerminal) m_out << '\n';
  m_out.flush();
}

void TerminalHost::ClearBar() {
  if (m_barShown && m_isTerminal) m_out << "\r\033[K";
}

void TerminalHost::PrintLines(const std::vector<std::string>& lines) {
  std::lock_guard<std::mutex> lock(m_outputLock);
  ClearBar();
  for (const std::string& line : lines) m_out << line << '\n';
  if (m_barShown && m_isTerminal) DrawBar(m_barPercent);
  m_out.flush();
}

void TerminalHost::DrawBar(int percent) {
  m_barPercent = percent;
  m_barShown = true;
  if (m_isTerminal) {
    const int filled = percent * kBarWidth / 100;
    m_out << "\r[" << std::string(static_cast<std::size_t>(filled), '#')
          << std::string(static_cast<std::size_t>(kBarWidth - filled), '.') << "] " << percent << '%';
  } else {
    m_out << "progress " << percent << "%\n";
  }
  m_out.flush();
}

void TerminalHost::SetWindowText(int id, std::string_view text) {
  HeadlessHost::SetWindowText(id, text);
  for (StatusWatch& watch : m_status) {
    if (watch.id != id) continue;
    std::vector<std::string> lines = SplitLines(GetWindowText(id));
    // Lines kept from the last text were read already; everything from the first change on is new.
    std::size_t same = 0;
    while (same < lines.size() && same < watch.shown.size() && lines[same] == watch.shown[same]) ++same;
    for (std::size_t i = same; i < lines.size(); ++i)
      if (!lines[i].empty()) PrintLine(lines[i]);
    watch.shown = std::move(lines);
  }
}

int TerminalHost::AddString(int id, std::string_view text) {
  const int index = HeadlessHost::AddString(id, text);
  if (index >= 0 && std::find(m_logs.begin(), m_logs.end(), id) != m_logs.end()) PrintLine(text);
  return index;
}

void TerminalHost::SetRange(int id, int lower, int upper) {
  HeadlessHost::SetRange(id, lower, upper);
  ProgressChanged(id);
}

int TerminalHost::SetPos(int id, int pos) {
  const int old = HeadlessHost::SetPos(id, pos);
  ProgressChanged(id);
  return old;
}

int TerminalHost::StepIt(int id) {
  const HeadlessControl& before = Control(id);
  const bool pastTheTop = before.kind == ControlKind::Progress && before.pos + before.step > before.upper;
  const int old = HeadlessHost::StepIt(id);
  // The control starts over from the bottom; a reader is better told it is full.
  ProgressChanged(id, pastTheTop);
  return old;
}

void TerminalHost::ProgressChanged(int id, bool full) {
  const HeadlessControl& c = Control(id);
  for (ProgressWatch& watch : m_progress) {
    if (watch.id != id) continue;
    std::optional<int> percent = ProgressPercent(c.lower, c.upper, full ? c.upper : c.pos);
    if (watch.reader) percent = watch.reader();
    if (percent) ShowProgress(watch, std::clamp(*percent, 0, 100));
  }
}

void TerminalHost::ShowProgress(ProgressWatch& watch, int percent) {
  if (percent == watch.shownPercent) return;
  // Plain output gets a line per tenth of the way (and for a bar that starts over), not per step.
  const bool worthALine = watch.shownPercent < 0 || percent / 10 != watch.shownPercent / 10 || percent < watch.shownPercent;
  if (!m_isTerminal && !worthALine) return;
  watch.shownPercent = percent;
  std::lock_guard<std::mutex> lock(m_outputLock);
  ClearBar();
  DrawBar(percent);
}

int TerminalHost::MessageBox(std::string_view text) {
  PrintLines(SplitLines(text));
  return HeadlessHost::MessageBox(text);
}

}  // namespace fw
