#include "frontend/run_context.h"

#include "frontend/port_advice.h"
#include "framework/text_format.h"

namespace fe {

RunContext::RunContext(fw::RunOutput& output, fw::TrafficTrace* trace, std::ostream& err, const OutcomeWords& words,
                       std::string_view badOption)
    : m_output(output), m_trace(trace), m_err(err), m_words(words), m_badOption(badOption), m_host(output),
      m_interrupts(m_host) {}

int RunContext::End(int exitCode, const std::vector<std::string>& lines, nlohmann::ordered_json fields) {
  m_output.Result(exitCode, OutcomeWord(m_words, exitCode), lines, std::move(fields));
  return exitCode;
}

int RunContext::Interrupted(nlohmann::ordered_json fields) {
  const int code = InterruptedExit(fw::CancelOnInterrupt::Signal());
  m_output.Result(code, m_words.interrupted, {}, std::move(fields));
  return code;
}

int RunContext::Refuse(std::string_view option) {
  m_err << fw::FormatText(m_badOption, {std::string(option)}) << '\n';
  return End(kExitUsage);
}

void RunContext::AdviseOnPort(const serial::OpenError& error, fw::UiLanguage language) {
  const fe::PortAdvice advice = fe::AdviseOnOpenFailure(error, language);
  m_output.Diagnosis(advice.cause, {advice.text}, {{"port", error.path}});
}

}  // namespace fe
