#pragma once
// The terminal host: the headless controls on the real clock, for scripted
// use. It prints what a person would read off the window as it changes: new
// lines of the status boxes, new log lines, message boxes (answered OK), and
// a progress bar: redrawn in place on a terminal, as plain lines at every
// tenth of the way otherwise.
#include <functional>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "framework/headless/headless_host.h"

namespace fw {

class TerminalHost : public HeadlessHost {
 public:
  TerminalHost(std::ostream& out, bool isTerminal) : HeadlessHost(HostClock::Real), m_out(out), m_isTerminal(isTerminal) {}
  ~TerminalHost() override;

  // Controls whose changes are printed.
  void WatchStatus(int id) { m_status.push_back({id, {}}); }
  void WatchLog(int id) { m_logs.push_back(id); }
  // The percentage a progress bar shows, nullopt while it shows something else
  // (a countdown); without a reader it is the control's own position.
  using ProgressReader = std::function<std::optional<int>()>;
  void WatchProgress(int id, ProgressReader reader = {}) { m_progress.push_back({id, -1, std::move(reader)}); }

  void SetWindowText(int id, std::string_view text) override;
  int AddString(int id, std::string_view text) override;
  void SetRange(int id, int lower, int upper) override;
  int SetPos(int id, int pos) override;
  int StepIt(int id) override;
  int MessageBox(std::string_view text) override;

 private:
  struct StatusWatch {
    int id;
    std::vector<std::string> shown;  // lines of the text printed last
  };
  struct ProgressWatch {
    int id;
    int shownPercent;  // -1 before the first drawing
    ProgressReader reader;
  };

  void PrintLines(const std::vector<std::string>& lines);
  void PrintLine(std::string_view line) { PrintLines({std::string(line)}); }
  void ProgressChanged(int id, bool full = false);
  void ShowProgress(ProgressWatch& watch, int percent);
  // With m_outputLock held.
  void DrawBar(int percent);
  void ClearBar();

  // Message boxes print from the monitor thread while the UI thread prints
  // lines and the bar: the stream and the bar's state are used under this lock.
  std::mutex m_outputLock;
  std::ostream& m_out;
  bool m_isTerminal;
  bool m_barShown = false;
  int m_barPercent = 0;
  std::vector<StatusWatch> m_status;
  std::vector<int> m_logs;
  std::vector<ProgressWatch> m_progress;
};

// Splits text into lines at CR LF, LF or CR; an empty last piece is dropped.
std::vector<std::string> SplitLines(std::string_view text);
// The bar's percentage: the position's share of the range, clamped to 0..100.
int ProgressPercent(int lower, int upper, int pos);

// While it lives, Ctrl-C (SIGINT), SIGTERM, SIGHUP and SIGQUIT ask host to run
// the Cancel command, so the program ends normally and every destructor runs.
// One at a time: a second one while the first lives is refused (Active false).
class CancelOnInterrupt {
 public:
  explicit CancelOnInterrupt(HeadlessHost& host);
  ~CancelOnInterrupt();
  CancelOnInterrupt(const CancelOnInterrupt&) = delete;
  CancelOnInterrupt& operator=(const CancelOnInterrupt&) = delete;
  bool Active() const { return m_active; }
  // Whether one of those signals came while it lived.
  static bool Interrupted();
  // The first such signal, 0 while none came; a program ending for it exits
  // with 128 + Signal() (130 for Ctrl-C).
  static int Signal();

 private:
  bool m_active = false;
};

}  // namespace fw
