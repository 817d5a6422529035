#include "updater/app/brevan_terminal.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <memory>
#include <optional>

#include "framework/platform_paths.h"
#include "framework/terminal/run_output.h"
#include "framework/terminal/terminal_host.h"
#include "framework/text_format.h"
#include "frontend/front_end.h"
#include "frontend/station.h"
#include "frontend/station_strings.h"
#include "records/cli/records_command.h"
#include "records/open_store.h"
#include "records/records_strings.h"
#include "updater/app/bank_listing.h"
#include "updater/app/brevan_dlg.h"
#include "updater/app/brevan_run_report.h"
#include "updater/app/brevan_upgrade_record.h"
#include "updater/resources/brevan_strings.h"
#include "updater/resources/brevan_templates.h"
#include "updater/upgrade/upgrade_observer.h"
#include "updater/upgrade/upgrade_run.h"

namespace brevan {
namespace {

// The updater's own options; --help, --json, --progress and --trace are the skeleton's.
struct Options {
  bool list = false;
  std::optional<std::string> port;
  std::optional<std::string> baud;
  std::optional<std::string> image;
  PagePacing pace = PagePacing::Tick;
  std::string db;  // empty: the default file
  std::optional<std::string> station;
};

constexpr std::array<fe::OptionSpec, 7> kOptions{{
    {"--list", fe::Takes::Nothing},
    {"--port", fe::Takes::Value},
    {"--baud", fe::Takes::Value},
    {"--image", fe::Takes::Value},
    {"--pace", fe::Takes::Value},
    {"--db", fe::Takes::Value},
    {"--station", fe::Takes::Value},
}};

int ExitCodeFor(UpgradeOutcome outcome) {
  switch (outcome) {
    case UpgradeOutcome::Completed:
      return kExitUpgraded;
    case UpgradeOutcome::PortFailed:
      return kExitPortFailed;
    case UpgradeOutcome::TimedOut:
      return kExitTimedOut;
    case UpgradeOutcome::Refused:
      return kExitRefused;
    case UpgradeOutcome::WrongFirmware:
      return kExitWrongFirmware;
    case UpgradeOutcome::None:
    case UpgradeOutcome::Running:
      break;
  }
  return kExitCancelled;
}

int ListBank(const Options& o, const TerminalRun& run, std::ostream& out, std::ostream& err) {
  auto bank = std::make_unique<CImageBank>();  // 640 KiB: not on the stack
  if (!LoadBankAtStartUp(*bank, run.language, run.modulePath, o.image ? &*o.image : nullptr, err))
    return kExitNoFirmware;
  PrintBankListing(out, run.language, *bank);
  return 0;
}

// The baud list's entries, as the template fills it.
int BaudIndex(const fw::DialogTemplate& t, std::string_view baud) {
  for (const fw::ControlTemplate& c : t.controls) {
    if (c.id != IDC_COMBO_BAUD) continue;
    for (std::size_t i = 0; i < c.items.size(); ++i)
      if (c.items[i] == baud) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace

namespace {

// What the terminal learns of the upgrade, from the run's reports alone.
class RunWatch final : public IUpgradeObserver {
 public:
  void OnStarted() override {
    m_started = true;
    m_ended.reset();
    m_offset = -CUpgradeRun::kPageSize;
  }
  void OnPageStep(const PageStepFacts& step) override {
    m_offset = step.offset;
    m_slot = step.slot;
    m_pages = (step.imageLength + CUpgradeRun::kPageSize - 1) / CUpgradeRun::kPageSize;
    m_percent = step.percent >= 100 ? 100 : std::max(step.percent, 0);
  }
  void OnEnded(const UpgradeSummary& summary) override {
    m_ended = summary;
    m_offset = summary.pageOffset;
  }

  bool Running() const { return m_started && !m_ended; }
  UpgradeOutcome Outcome() const { return m_ended ? m_ended->outcome : UpgradeOutcome::None; }
  const UpgradeSummary& Summary() const { return m_ended ? *m_ended : m_none; }

  // The bar as the window paints it, once pages are written, with the pages
  // counted; before that it carries the countdown, which the status lines tell.
  std::optional<fw::ProgressView> Progress() const {
    if (m_offset < 0) return std::nullopt;
    if (m_slot < 0 || m_slot >= kModuleCount) return fw::ProgressView(m_percent);
    const int done = m_percent == 100 ? m_pages : std::min(m_pages, m_offset / CUpgradeRun::kPageSize);
    return fw::ProgressView(m_percent, done, m_pages);
  }

 private:
  bool m_started = false;
  std::optional<UpgradeSummary> m_ended;
  UpgradeSummary m_none;
  int m_offset = -CUpgradeRun::kPageSize;
  int m_slot = -1;
  int m_pages = 0;
  int m_percent = 0;
};

// The updater's part of the skeleton: its options, its listing, its run.
class BrevanFront final : public fe::IFrontEnd {
 public:
  explicit BrevanFront(const TerminalRun& run) : m_run(run) {}

  fe::ProgramFacts Facts() const override {
    const fw::UiLanguage language = m_run.language;
    // Its usage errors show the usage alone.
    return {"brevan", kBrevanOutcomeWords,
            {BrevanString(language, IDS_LIST_USAGE), {}, BrevanString(language, IDS_TERM_BAD_TRACE),
             BrevanString(language, IDS_TERM_PAGES)},
            kOptions};
  }

  bool Take(std::string_view name, const std::string& value) override {
    if (name == "--list") m_options.list = true;
    else if (name == "--port") {
      m_options.port = value;
      m_ports.push_back(value);
    }
    else if (name == "--baud") m_options.baud = value;
    else if (name == "--image") m_options.image = value;
    else if (name == "--db") {
      if (value.empty()) return false;
      m_options.db = value;
    } else if (name == "--station") {
      if (value.empty()) return false;
      m_options.station = value;
    }
    else if (name == "--pace") {
      if (value != "tick" && value != "ack") return false;
      m_options.pace = value == "ack" ? PagePacing::Ack : PagePacing::Tick;
    }
    return true;
  }

  std::optional<std::string> Complete(bool help) override {
    if (m_options.list && (m_options.port || m_options.baud)) return "--list";
    // A rate the window does not list; --help answers before it is looked at.
    if (!help && m_options.baud && BaudIndex(BrevanMainTemplate(m_run.language), *m_options.baud) < 0)
      return "--baud";
    if (std::optional<std::string> bad = fe::StationPortsFault(m_ports, m_run.language)) return bad;
    return std::nullopt;
  }

  std::optional<int> BeforeRun(const fe::Console& console) override {
    if (!m_options.list) return std::nullopt;
    return ListBank(m_options, m_run, console.out, console.err);
  }

  std::optional<int> RunSeveral(const fe::Console& console, const fe::SharedOptions& shared) override {
    if (m_ports.size() <= 1) return std::nullopt;
    const fe::ProgramFacts facts = Facts();
    if (shared.trace) {
      console.err << fe::StationOnePortOnly("--trace", m_run.language) << '\n';
      fe::PrintUsageError(facts.texts, {}, console.err);
      return kExitUsage;
    }
    const fe::StationSetup setup{console, shared.json, shared.progress, facts, true, fe::kStationUpgrading};
    // One upgrade per slot: no next board to start.
    return fe::RunStation(setup, m_ports, [this](fe::RunContext& context, const std::string& port, const fe::SlotHooks&) {
      Options slot = m_options;
      slot.port = port;
      return Upgrade(context, slot);
    });
  }

  int Run(fe::RunContext& context, const fe::SharedOptions& /*shared*/) override { return Upgrade(context, m_options); }

 private:
  int Upgrade(fe::RunContext& context, const Options& options);
  // The upgrade's record; kExitStore, its result told, when it could not be written.
  std::optional<int> Record(fe::RunContext& context, records::RecordStore* store, const Options& options,
                            const UpgradeTrail& trail, const std::string& port, int code);

  const TerminalRun& m_run;
  Options m_options;
  std::vector<std::string> m_ports;  // every --port, in the order given
};

// The upgrade proper: the window's start-up, UPDATE pressed, and what the
// terminal adds after the window's texts.
int BrevanFront::Upgrade(fe::RunContext& context, const Options& options) {
  fw::RunOutput& output = context.Output();
  fw::TerminalHost& host = context.Host();
  // The store before the port: a run that could not be recorded sends nothing.
  records::Result<std::unique_ptr<records::RecordStore>> opened = records::OpenStore(options.db);
  if (!opened.Ok()) return context.End(fe::kExitStore, {records::Describe(opened.Error(), m_run.language)});
  const std::unique_ptr<records::RecordStore> store = std::move(opened.Value());  // null: no records (--db none)
  RunWatch watch;  // outlives the dialog, which reports to it
  UpgradeTrail trail;  // the record's facts
  auto dialog = std::make_unique<CBrevanDlg>(m_run.language, m_run.profile);  // the bank is large: on the heap
  if (context.Trace() != nullptr) dialog->AddTrafficTap(*context.Trace());
  dialog->SetPagePacing(options.pace);
  dialog->AddObserver(watch);
  dialog->AddObserver(trail);
  host.WatchStatus(IDC_EDIT_STATUS);
  host.WatchProgress(IDC_PROGRESS, [&watch] { return watch.Progress(); });
  host.SetModuleFileName(m_run.modulePath);
  if (options.image) host.AnswerOpenFile(*options.image);

  host.Start(*dialog);
  if (dialog->StartUpStopped()) {
    if (!options.image) output.Say({std::string(BrevanString(m_run.language, IDS_LIST_USAGE))});
    return context.End(kExitNoFirmware);
  }
  // As a person would: type the port, pick the rate, press UPDATE.
  if (options.port) host.Type(IDC_COMBO_PORT, *options.port);
  if (options.baud) host.SelectItem(IDC_COMBO_BAUD, BaudIndex(dialog->Template(), *options.baud));
  const auto pressed = std::chrono::steady_clock::now();
  host.Click(fw::kIdOk);
  host.RunUntil([&watch] { return !watch.Running(); });
  const auto wallMs =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - pressed).count();
  const std::string port = host.GetWindowText(IDC_COMBO_PORT);
  const UpgradeSummary& summary = watch.Summary();
  if (host.Ended()) {
    const int interrupted = fe::InterruptedExit(fw::CancelOnInterrupt::Signal());
    if (const std::optional<int> failed = Record(context, store.get(), options, trail, port, interrupted)) return *failed;
    return context.Interrupted({{"wall_ms", wallMs}});
  }
  const int code = ExitCodeFor(watch.Outcome());
  if (const std::optional<int> failed = Record(context, store.get(), options, trail, port, code)) return *failed;
  UpgradeRunFacts facts{m_run.language, code, wallMs, port, summary.baud};
  if (code == kExitPortFailed) context.AdviseOnPort(summary.openError, m_run.language);
  ReportUpgradeEnd(output, summary, facts);
  return code;
}

std::optional<int> BrevanFront::Record(fe::RunContext& context, records::RecordStore* store, const Options& options,
                                       const UpgradeTrail& trail, const std::string& port, int code) {
  if (store == nullptr) return std::nullopt;
  const std::string station = options.station ? *options.station : fw::HostName() + ":" + port;
  const records::UpgradeRecord record =
      MakeUpgradeRecord(trail, {station, port, std::string(OutcomeWord(code))});
  const records::Result<std::int64_t> written = store->RecordUpgrade(record);
  if (written.Ok()) return std::nullopt;
  const std::string board = record.boardSerial.empty() ? "-" : record.boardSerial;
  return context.End(fe::kExitStore,
                     {fw::FormatText(BrevanString(m_run.language, IDS_TERM_NOT_RECORDED), {board, port}),
                      records::Describe(written.Error(), m_run.language)});
}

}  // namespace

int RunBrevanTerminal(const std::vector<std::string>& args, const TerminalRun& run, std::ostream& out,
                      std::ostream& err) {
  const fe::Console console{out, err, run.outIsTerminal, run.errIsTerminal, run.language};
  if (!args.empty() && args.front() == "records")
    return records::RunRecordsCommand({"brevan", records::RecordsFlavour::Upgrades}, {args.begin() + 1, args.end()},
                                      console);
  BrevanFront front(run);
  return fe::RunFrontEnd(front, args, console);
}

}  // namespace brevan
