#include "updater/app/brevan_terminal.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>

#include "framework/terminal/port_advice.h"
#include "framework/terminal/run_output.h"
#include "framework/terminal/terminal_host.h"
#include "framework/terminal/traffic_trace.h"
#include "framework/text_format.h"
#include "updater/app/bank_listing.h"
#include "updater/app/brevan_dlg.h"
#include "updater/app/brevan_run_report.h"
#include "updater/resources/brevan_strings.h"
#include "updater/resources/brevan_templates.h"
#include "updater/upgrade/upgrade_observer.h"
#include "updater/upgrade/upgrade_run.h"

namespace brevan {
namespace {

struct Options {
  bool list = false;
  std::optional<std::string> port;
  std::optional<std::string> baud;
  std::optional<std::string> image;
  PagePacing pace = PagePacing::Tick;
  fw::ProgressMode progress = fw::ProgressMode::Auto;
  bool json = false;
  std::optional<std::string> trace;
};

// nullopt for a command line that is not ours; help sets wantsHelp.
std::optional<Options> ParseOptions(const std::vector<std::string>& args, bool& wantsHelp) {
  Options o;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool hasValue = i + 1 < args.size();
    if (arg == "--help" || arg == "-h") {
      wantsHelp = true;
    } else if (arg == "--list") {
      o.list = true;
    } else if (arg == "--port" && hasValue) {
      o.port = args[++i];
    } else if (arg == "--baud" && hasValue) {
      o.baud = args[++i];
    } else if (arg == "--image" && hasValue) {
      o.image = args[++i];
    } else if (arg == "--progress" && hasValue) {
      const std::optional<fw::ProgressMode> mode = fw::ParseProgressMode(args[++i]);
      if (!mode) return std::nullopt;
      o.progress = *mode;
    } else if (arg == "--pace" && hasValue) {
      const std::string& pace = args[++i];
      if (pace != "tick" && pace != "ack") return std::nullopt;
      o.pace = pace == "ack" ? PagePacing::Ack : PagePacing::Tick;
    } else if (arg == "--json") {
      o.json = true;
    } else if (arg == "--trace" && hasValue) {
      o.trace = args[++i];
    } else {
      return std::nullopt;
    }
  }
  if (o.list && (o.port || o.baud)) return std::nullopt;
  return o;
}

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

// The upgrade proper, once the options are known: the window's start-up,
// UPDATE pressed, and what the terminal adds after the window's texts.
int RunUpgrade(const Options& options, const TerminalRun& run, fw::RunOutput& output, std::ostream& err) {
  const std::string_view usage = BrevanString(run.language, IDS_LIST_USAGE);
  std::unique_ptr<fw::TrafficTrace> trace;  // outlives the dialog's engine
  if (options.trace) {
    std::string error;
    trace = fw::TrafficTrace::Open(*options.trace, "brevan", error);
    if (!trace) {
      err << fw::FormatText(BrevanString(run.language, IDS_TERM_BAD_TRACE), {*options.trace, error}) << '\n';
      output.Result(kExitUsage, OutcomeWord(kExitUsage), {});
      return kExitUsage;
    }
  }
  output.SetProgressWords({std::string(BrevanString(run.language, IDS_TERM_PAGES))});
  fw::TerminalHost host(output);
  RunWatch watch;  // outlives the dialog, which reports to it
  auto dialog = std::make_unique<CBrevanDlg>(run.language, run.profile);  // the bank is large: on the heap
  if (trace) dialog->AddTrafficTap(*trace);
  dialog->SetPagePacing(options.pace);
  dialog->AddObserver(watch);
  host.WatchStatus(IDC_EDIT_STATUS);
  host.WatchProgress(IDC_PROGRESS, [&watch] { return watch.Progress(); });
  host.SetModuleFileName(run.modulePath);
  if (options.image) host.AnswerOpenFile(*options.image);
  fw::CancelOnInterrupt cancelOnCtrlC(host);

  host.Start(*dialog);
  if (dialog->StartUpStopped()) {
    if (!options.image) output.Say({std::string(usage)});
    output.Result(kExitNoFirmware, OutcomeWord(kExitNoFirmware), {});
    return kExitNoFirmware;
  }
  // As a person would: type the port, pick the rate, press UPDATE.
  if (options.port) host.Type(IDC_COMBO_PORT, *options.port);
  if (options.baud) host.SelectItem(IDC_COMBO_BAUD, BaudIndex(dialog->Template(), *options.baud));
  const auto pressed = std::chrono::steady_clock::now();
  host.Click(fw::kIdOk);
  host.RunUntil([&watch] { return !watch.Running(); });
  const auto wallMs =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - pressed).count();
  if (host.Ended()) {
    const int signal = fw::CancelOnInterrupt::Signal();
    const int code = signal > 0 ? 128 + signal : kExitCancelled;
    output.Result(code, OutcomeWord(kExitCancelled), {}, {{"wall_ms", wallMs}});
    return code;
  }
  const UpgradeSummary& summary = watch.Summary();
  const int code = ExitCodeFor(watch.Outcome());
  UpgradeRunFacts facts{run.language, code, wallMs, host.GetWindowText(IDC_COMBO_PORT), summary.baud};
  if (code == kExitPortFailed) {
    const fw::PortAdvice advice = fw::AdviseOnOpenFailure(summary.openError, run.language);
    output.Diagnosis(advice.cause, {advice.text}, {{"port", summary.openError.path}});
  }
  ReportUpgradeEnd(output, summary, facts);
  return code;
}

}  // namespace

int RunBrevanTerminal(const std::vector<std::string>& args, const TerminalRun& run, std::ostream& out,
                      std::ostream& err) {
  const std::string_view usage = BrevanString(run.language, IDS_LIST_USAGE);
  bool wantsHelp = false;
  const std::optional<Options> options = ParseOptions(args, wantsHelp);
  if (wantsHelp && options) {
    out << usage << '\n';
    return 0;
  }
  if (!options || (options->baud && BaudIndex(BrevanMainTemplate(run.language), *options->baud) < 0)) {
    err << usage << '\n';
    return kExitUsage;
  }
  if (options->list) return ListBank(*options, run, out, err);
  // With JSON lines on, standard output carries them and people read standard error.
  fw::RunOutput output(options->json ? err : out, options->json ? run.errIsTerminal : run.outIsTerminal,
                       options->progress, options->json ? &out : nullptr);
  return RunUpgrade(*options, run, output, err);
}

}  // namespace brevan
