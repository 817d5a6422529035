#pragma once
// The terminal host: the headless core on the real clock, for scripted use.
// It prints what a person would read off the window as it changes: new lines
// of the status boxes, new log lines, message boxes (answered OK), and a
// progress bar: redrawn in place on a terminal, as plain lines at every tenth
// of the way otherwise. It paints nothing.
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "framework/headless/headless_core.h"
#include "framework/terminal/run_output.h"

namespace fw {

class TerminalHost : public HeadlessCore {
 public:
  // Human output only: a bar on a terminal, plain lines otherwise.
  TerminalHost(std::ostream& out, bool isTerminal);
  // Everything goes to output, which outlives the host.
  explicit TerminalHost(RunOutput& output) : HeadlessCore(HostClock::Real), m_output(output) {}
  ~TerminalHost() override;

  RunOutput& Output() { return m_output; }

  // Controls whose changes are printed.
  void WatchStatus(int id) { m_status.push_back({id, {}}); }
  void WatchLog(int id) { m_logs.push_back(id); }
  // What a progress bar shows, nullopt while it shows something else (a
  // countdown); without a reader it is the control's own position.
  using ProgressReader = std::function<std::optional<ProgressView>()>;
  void WatchProgress(int id, ProgressReader reader = {}) { m_progress.push_back({id, std::move(reader)}); }
  // The file the command line names answers the window's next open-file
  // dialog; every other one is cancelled, as there is no one to choose.
  void AnswerOpenFile(std::string path) { m_openFile = std::move(path); }

  void SetWindowText(int id, std::string_view text) override;
  int AddString(int id, std::string_view text) override;
  void SetRange(int id, int lower, int upper) override;
  int SetPos(int id, int pos) override;
  int StepIt(int id) override;
  int MessageBox(std::string_view text) override;
  bool GetOpenFileName(const OpenFileRequest& request, std::string& path) override;

 private:
  struct StatusWatch {
    int id;
    std::vector<std::string> shown;  // lines of the text printed last
  };
  struct ProgressWatch {
    int id;
    ProgressReader reader;
  };

  void ProgressChanged(int id, bool full = false);

  std::unique_ptr<RunOutput> m_ownOutput;  // for the human-only form
  RunOutput& m_output;
  std::vector<StatusWatch> m_status;
  std::vector<int> m_logs;
  std::vector<ProgressWatch> m_progress;
  std::optional<std::string> m_openFile;
};

// The bar's percentage: the position's share of the range, clamped to 0..100.
int ProgressPercent(int lower, int upper, int pos);

// While it lives, Ctrl-C (SIGINT), SIGTERM, SIGHUP and SIGQUIT ask host to run
// the Cancel command, so the program ends normally and every destructor runs.
// Several hosts at once (a station's slots): a signal cancels each. A second
// one for a host already served, or beyond the table's room, is refused (Active false).
class CancelOnInterrupt {
 public:
  explicit CancelOnInterrupt(HeadlessCore& host);
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
  void* m_target = nullptr;  // its entry in the handler's table
};

}  // namespace fw
