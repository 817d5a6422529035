#pragma once
// The application object: picks the language, runs its main dialog through
// the host the program's entry point chose, and gives the exit code.
#include "framework/ui_language.h"

namespace fw {

class CDialog;

// Runs a top-level dialog modally; each host provides one.
class IModalRunner {
 public:
  virtual ~IModalRunner() = default;
  virtual int RunModal(CDialog& dialog) = 0;
};

class CWinApp {
 public:
  CWinApp(IModalRunner& runner, UiLanguage language) : m_runner(&runner), m_language(language) {}
  virtual ~CWinApp() = default;
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;

  // false ends the application without a message loop of its own.
  virtual bool InitInstance() = 0;

  // Runs InitInstance and returns the process exit code.
  int Run() {
    InitInstance();
    return m_exitCode;
  }

  int DoModal(CDialog& dialog) { return m_runner->RunModal(dialog); }
  UiLanguage Language() const { return m_language; }
  void SetExitCode(int code) { m_exitCode = code; }
  int ExitCode() const { return m_exitCode; }

  CDialog* m_pMainWnd = nullptr;

 private:
  IModalRunner* m_runner;
  UiLanguage m_language;
  int m_exitCode = 0;
};

}  // namespace fw
