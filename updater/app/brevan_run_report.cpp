#include "updater/app/brevan_run_report.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "framework/text_format.h"
#include "updater/app/brevan_terminal.h"
#include "updater/image_bank/module_types.h"
#include "updater/resources/brevan_strings.h"
#include "updater/upgrade/upgrade_replies.h"
#include "updater/upgrade/upgrade_run.h"

namespace brevan {
namespace {

constexpr int kProbeSeconds = CUpgradeRun::kCountdownSeconds;
constexpr int kPageSize = CUpgradeRun::kPageSize;

std::string Hex(int value) {
  std::array<char, 16> text{};
  std::snprintf(text.data(), text.size(), "%04X", static_cast<unsigned>(value));
  return text.data();
}

class Report {
 public:
  Report(fw::RunOutput& output, const UpgradeSummary& run, const UpgradeRunFacts& facts)
      : m_out(output), m_run(run), m_facts(facts) {}

  std::string Text(int id, std::initializer_list<std::string_view> args) const {
    return fw::FormatText(BrevanString(m_facts.language, id), args);
  }

  void ProbingTimedOut() const {
    const std::uint64_t bytes = m_run.rxBytes;
    if (bytes == 0) {
      m_out.Diagnosis("no-reply", {Text(IDS_TERM_NO_REPLY, {std::to_string(kProbeSeconds), m_facts.port})},
                      {{"bytes", 0}});
      return;
    }
    const std::string looked = fw::HexAndText(m_run.rxFirst);
    m_out.Diagnosis("no-loader-reply",
                    {Text(IDS_TERM_NO_LOADER_REPLY, {std::to_string(bytes), m_facts.baud}),
                     Text(IDS_TERM_BYTES_LOOKED, {looked})},
                    {{"bytes", bytes}, {"first_bytes", looked}});
  }

  // A board whose loader named only modules the bank lacks, or (one image
  // file loaded) a module other than the file's.
  void WrongFirmware() const {
    const std::string& name = m_run.moduleName;
    if (m_run.otherModuleNamed || !IsKnownModuleName(name)) {
      m_out.Diagnosis("unknown-module", {Text(IDS_TERM_UNKNOWN_MODULE, {name})},
                      {{"module", name}, {"bytes", m_run.rxBytes}});
      return;
    }
    const int slot = m_run.moduleType;
    const int loaded = m_run.loadedModule;
    const std::string_view file =
        loaded >= 0 && loaded < kModuleCount ? kModuleSlots[static_cast<std::size_t>(loaded)].name : "";
    m_out.Diagnosis("other-module", {Text(IDS_TERM_OTHER_MODULE, {name, std::to_string(slot), file})},
                    {{"module", name}, {"slot", slot}, {"file_module", file}});
  }

  void PageTimedOut() const {
    const PageRecord& pages = m_run.pages;
    const int page = pages.offset / kPageSize + 1;
    const int total = m_run.pageCount;
    std::vector<std::string> lines{Text(IDS_TERM_PAGE_UNANSWERED, {std::to_string(page), std::to_string(total),
                                                                  Hex(pages.address), std::to_string(pages.sendings)})};
    const std::uint64_t after = m_run.bytesAfterLastAck;
    const int acks = m_run.acksHeard;
    nlohmann::ordered_json fields{{"page", page},       {"pages", total},          {"address", pages.address},
                          {"sendings", pages.sendings}, {"acknowledgements", acks}, {"bytes_after_ack", after}};
    if (after == 0) {
      lines.push_back(Text(IDS_TERM_NOTHING_AFTER_ACK, {std::to_string(acks)}));
    } else {
      const std::string looked = fw::HexAndText(m_run.rxAfterLastAck);
      lines.push_back(Text(IDS_TERM_BYTES_AFTER_ACK, {std::to_string(after)}));
      lines.push_back(Text(IDS_TERM_BYTES_LOOKED, {looked}));
      fields["last_bytes"] = looked;
    }
    m_out.Diagnosis("page-unanswered", lines, fields);
  }

  void Completed() const {
    const PageRecord& pages = m_run.pages;
    const int slot = pages.slot;
    const std::string& module = m_run.moduleName;
    const std::string& version = m_run.imageVersion;
    const std::string& serialNo = m_run.serialNo;
    const std::string& software = m_run.softwareVersion;
    const int bytes = m_run.imageLength;
    const int pageCount = m_run.pageCount;
    const int address = static_cast<int>(LoadAddress(slot));
    const std::int64_t pageMs = static_cast<std::int32_t>(pages.endTick - pages.firstPageTick);
    const std::int64_t rate = pageMs > 0 ? bytes * std::int64_t{1000} / pageMs : 0;
    std::vector<std::string> lines = {
        Text(IDS_TERM_SUMMARY_MODULE, {module, std::to_string(slot), version}),
        Text(IDS_TERM_SUMMARY_BOARD, {serialNo, software}),
        Text(IDS_TERM_SUMMARY_WRITTEN,
             {std::to_string(bytes), std::to_string(pageCount), Hex(address), std::to_string(pages.pagesResent)}),
        Text(IDS_TERM_SUMMARY_TIME, {fw::SecondsText(m_facts.wallMs), fw::SecondsText(pageMs), std::to_string(rate)})};
    if (pages.acksLostInTick > 0) lines.push_back(Text(IDS_TERM_ACKS_IN_TICK, {std::to_string(pages.acksLostInTick)}));
    m_out.Result(m_facts.exitCode, OutcomeWord(m_facts.exitCode), lines,
                 {{"module", module},
                  {"slot", slot},
                  {"image_version", version},
                  {"serial_no", serialNo},
                  {"software_version", software},
                  {"bytes", bytes},
                  {"pages", pageCount},
                  {"address", address},
                  {"wall_ms", m_facts.wallMs},
                  {"page_ms", pageMs},
                  {"pages_resent", pages.pagesResent},
                  {"acks_lost_in_tick", pages.acksLostInTick},
                  {"bytes_per_s", rate}});
  }

 private:
  fw::RunOutput& m_out;
  const UpgradeSummary& m_run;
  const UpgradeRunFacts& m_facts;
};

}  // namespace

std::string_view OutcomeWord(int exitCode) { return fe::OutcomeWord(kBrevanOutcomeWords, exitCode); }

void ReportUpgradeEnd(fw::RunOutput& output, const UpgradeSummary& run, const UpgradeRunFacts& facts) {
  const Report report(output, run, facts);
  if (facts.exitCode == kExitUpgraded && run.pages.slot >= 0) {
    report.Completed();
    return;
  }
  if (facts.exitCode == kExitWrongFirmware) report.WrongFirmware();
  if (facts.exitCode == kExitTimedOut) {
    if (run.pages.offset < 0) report.ProbingTimedOut();
    else report.PageTimedOut();
  }
  output.Result(facts.exitCode, OutcomeWord(facts.exitCode), {},
                {{"wall_ms", facts.wallMs}, {"pages_sent", run.pages.offset < 0 ? 0 : run.pages.offset / kPageSize + 1}});
}

}  // namespace brevan
