#pragma once
// What the shared skeleton has set up when a program's run begins: the run's
// output, the traffic trace when asked for, the terminal host on it, and
// interrupts (Ctrl-C and the polite requests to end) turned into the Cancel
// command. The program opens its dialog on Host(), pre-fills and presses, and
// ends through the helpers here so every ending is worded from one table.
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "frontend/exit_codes.h"
#include "framework/terminal/run_output.h"
#include "framework/terminal/terminal_host.h"
#include "framework/terminal/traffic_trace.h"
#include "framework/ui_language.h"
#include "serial/serial_port.h"

namespace fe {

class RunContext {
 public:
  // badOption: %1 the option, for options refused once the window is up.
  RunContext(fw::RunOutput& output, fw::TrafficTrace* trace, std::ostream& err, const OutcomeWords& words,
             std::string_view badOption);
  RunContext(const RunContext&) = delete;
  RunContext& operator=(const RunContext&) = delete;

  fw::TerminalHost& Host() { return m_host; }
  fw::RunOutput& Output() { return m_output; }
  fw::TrafficTrace* Trace() { return m_trace; }  // null without --trace
  std::ostream& Err() { return m_err; }

  // The result line with the code's outcome word; the code.
  int End(int exitCode, const std::vector<std::string>& lines = {},
          nlohmann::ordered_json fields = nlohmann::ordered_json::object());
  // A signal or Cancel ended the run: 128 + the signal, or 130.
  int Interrupted(nlohmann::ordered_json fields = nlohmann::ordered_json::object());
  // An option the window refused (a receiver type it does not list): usage.
  int Refuse(std::string_view option);
  // Why the port did not open and what to do, as a diagnosis naming the port.
  void AdviseOnPort(const serial::OpenError& error, fw::UiLanguage language);

 private:
  fw::RunOutput& m_output;
  fw::TrafficTrace* m_trace;
  std::ostream& m_err;
  OutcomeWords m_words;
  std::string_view m_badOption;
  fw::TerminalHost m_host;
  fw::CancelOnInterrupt m_interrupts;  // after the host: ends first
};

}  // namespace fe
