#include "framework/terminal/terminal_host.h"

#include <algorithm>

namespace fw {

int ProgressPercent(int lower, int upper, int pos) {
  if (upper <= lower) return 0;
  const long long share = (static_cast<long long>(pos) - lower) * 100 / (static_cast<long long>(upper) - lower);
  return static_cast<int>(std::clamp<long long>(share, 0, 100));
}

TerminalHost::TerminalHost(std::ostream& out, bool isTerminal)
    : HeadlessCore(HostClock::Real),
      m_ownOutput(std::make_unique<RunOutput>(out, isTerminal, ProgressMode::Auto, nullptr)),
      m_output(*m_ownOutput) {}

TerminalHost::~TerminalHost() = default;

void TerminalHost::SetWindowText(int id, std::string_view text) {
  HeadlessCore::SetWindowText(id, text);
  for (StatusWatch& watch : m_status) {
    if (watch.id != id) continue;
    std::vector<std::string> lines = SplitLines(GetWindowText(id));
    // Lines kept from the last text were read already; everything from the first change on is new.
    std::size_t same = 0;
    while (same < lines.size() && same < watch.shown.size() && lines[same] == watch.shown[same]) ++same;
    for (std::size_t i = same; i < lines.size(); ++i)
      if (!lines[i].empty()) m_output.Status(lines[i]);
    watch.shown = std::move(lines);
  }
}

int TerminalHost::AddString(int id, std::string_view text) {
  const int index = HeadlessCore::AddString(id, text);
  if (index >= 0 && std::find(m_logs.begin(), m_logs.end(), id) != m_logs.end()) m_output.Log(text);
  return index;
}

void TerminalHost::SetRange(int id, int lower, int upper) {
  HeadlessCore::SetRange(id, lower, upper);
  ProgressChanged(id);
}

int TerminalHost::SetPos(int id, int pos) {
  const int old = HeadlessCore::SetPos(id, pos);
  ProgressChanged(id);
  return old;
}

int TerminalHost::StepIt(int id) {
  const HeadlessControl& before = Control(id);
  const bool pastTheTop = before.kind == ControlKind::Progress && before.pos + before.step > before.upper;
  const int old = HeadlessCore::StepIt(id);
  // The control starts over from the bottom; a reader is better told it is full.
  ProgressChanged(id, pastTheTop);
  return old;
}

void TerminalHost::ProgressChanged(int id, bool full) {
  const HeadlessControl& c = Control(id);
  for (ProgressWatch& watch : m_progress) {
    if (watch.id != id) continue;
    std::optional<ProgressView> view = ProgressView(ProgressPercent(c.lower, c.upper, full ? c.upper : c.pos));
    if (watch.reader) view = watch.reader();
    if (view) m_output.Progress(*view);
  }
}

int TerminalHost::MessageBox(std::string_view text) {
  m_output.Message(text);
  return HeadlessCore::MessageBox(text);
}

bool TerminalHost::GetOpenFileName(const OpenFileRequest&, std::string& path) {
  if (!m_openFile) return false;
  path = std::move(*m_openFile);
  m_openFile.reset();
  return true;
}

}  // namespace fw
