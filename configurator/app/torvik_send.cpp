// The window as the Set's view: the timers handed to the run, the log list
// it keeps, and the log-line message that reaches it from any thread.
#include "configurator/app/torvik_dlg.h"
#include "configurator/resources/torvik_strings.h"
#include "configurator/resources/torvik_templates.h"

namespace torvik {
namespace {

// The longest prefix of text of at most max bytes that ends on a character boundary.
std::string CutToBytes(std::string text, std::size_t max) {
  if (text.size() <= max) return text;
  std::size_t end = max;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0u) == 0x80u) --end;
  text.resize(end);
  return text;
}

}  // namespace

void CTorvikDlg::OnTimer(unsigned id) {
  if (id == IDT_SEND) m_run.SendTick();
  else if (id == IDT_TIMEOUT) m_run.TimeoutTick();
}

std::uint32_t CTorvikDlg::RunTicks() { return Host().GetTickCount(); }

void CTorvikDlg::RunPause(unsigned ms) { Sleep(ms); }

void CTorvikDlg::ShowSentLabel(std::string_view label) {
  fw::CListBox log = List(IDC_LIST_LOG);
  const int line = log.AddString(label);
  // The line being sent stays in view (the 50-line rule waits for the next log message).
  if (line > 0) log.SetCurSel(line);
}

void CTorvikDlg::ShowLogLine(std::string_view text, bool append) {
  fw::CListBox log = List(IDC_LIST_LOG);
  const int lines = log.GetCount();
  if (append && lines >= 1) {
    const std::string last = log.GetText(lines - 1);
    log.DeleteString(lines - 1);
    log.AddString(CutToBytes(last + std::string(text), kLogLineMax));
  } else {
    log.AddString(CutToBytes(std::string(text), kLogLineMax));
  }
  const int now = log.GetCount();
  if (now > 1) log.SetCurSel(now - 1);
  if (now > kLogLinesKept) log.ResetContent();
  // The other controls are left alone: what the operator is typing for the
  // next board stays as typed.
}

void CTorvikDlg::SendLogLine(const char* text, std::intptr_t mode) {
  SendMessage(WM_LOGLINE, reinterpret_cast<std::uintptr_t>(text), mode);
}

std::string CTorvikDlg::TimeOutText() {
  LoadMessage(IDS_TIMEOUT);
  return m_strMsg[0];
}

}  // namespace torvik
