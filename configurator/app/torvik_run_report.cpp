#include "configurator/app/torvik_run_report.h"

#include <array>
#include <cstdio>

#include "configurator/app/torvik_terminal.h"
#include "configurator/resources/torvik_strings.h"
#include "framework/text_format.h"

namespace torvik {
namespace {

void ReportUnanswered(fw::RunOutput& output, const BoardRecord& record, int awaited, int timedOut, bool noneAcked) {
  std::vector<std::string> lines{
      fw::FormatText(TorvikString(IDS_TERMINAL_UNANSWERED), {std::to_string(timedOut), std::to_string(awaited)})};
  nlohmann::ordered_json commands = nlohmann::ordered_json::array();
  for (const SentRecord& r : record.items) {
    if (r.outcome != SentRecord::Outcome::TimedOut) continue;
    const std::uint32_t waited = r.endedAt - r.writtenAt;
    const std::uint64_t bytes = r.rxAtEnd >= r.rxAtWrite ? r.rxAtEnd - r.rxAtWrite : 0;
    std::string line = fw::FormatText(TorvikString(IDS_TERMINAL_WAITED), {r.label, fw::SecondsText(waited)});
    nlohmann::ordered_json command{{"label", r.label}, {"waited_ms", waited}, {"bytes_back", bytes}};
    if (bytes == 0) {
      line += TorvikString(IDS_TERMINAL_NOTHING_BACK);
    } else {
      const std::string looked = fw::HexAndText(r.rxTail);
      line += fw::FormatText(TorvikString(IDS_TERMINAL_BYTES_BACK), {std::to_string(bytes), looked});
      command["last_bytes"] = looked;
    }
    lines.push_back(std::move(line));
    commands.push_back(std::move(command));
  }
  if (noneAcked) lines.emplace_back(TorvikString(IDS_TERMINAL_NONE_ACKED));
  output.Diagnosis("unanswered", lines, {{"board", record.board}, {"commands", std::move(commands)}});
}

}  // namespace

std::string_view TorvikOutcomeWord(int exitCode) { return fe::OutcomeWord(kTorvikOutcomeWords, exitCode); }

void ReportBoardEnd(fw::RunOutput& output, const BoardRecord& record) {
  int awaited = 0;
  int acknowledged = 0;
  int timedOut = 0;
  for (const SentRecord& r : record.items) {
    if (r.expectReply) ++awaited;
    if (r.outcome == SentRecord::Outcome::Acknowledged) ++acknowledged;
    if (r.outcome == SentRecord::Outcome::TimedOut) ++timedOut;
  }
  if (timedOut > 0) ReportUnanswered(output, record, awaited, timedOut, acknowledged == 0);
  const std::string summary = fw::FormatText(
      TorvikString(record.label.empty() ? IDS_TERMINAL_SUMMARY : IDS_TERMINAL_SUMMARY_LABEL),
      {std::to_string(record.board), std::to_string(acknowledged), std::to_string(timedOut), record.serialNo,
       record.localId, record.userPass, record.label});
  nlohmann::ordered_json fields{{"board", record.board},
                                {"acknowledged", acknowledged},
                                {"timed_out", timedOut},
                                {"serial_no", record.serialNo},
                                {"local_id", record.localId},
                                {"user_pass", record.userPass}};
  if (!record.label.empty()) fields["label"] = record.label;
  output.Result(record.exitCode, TorvikOutcomeWord(record.exitCode), {summary}, std::move(fields));
}

}  // namespace torvik
