#include "updater/app/brevan_terminal.h"

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
  auto dialog = std::make_unique<CBrevanDlg>(run.language, run.profile);  // the bank is large: on the heap
  if (trace) dialog->m_tty.AddTrafficTap(*trace);
  dialog->SetPagePacing(options.pace);
  host.WatchStatus(IDC_EDIT_STATUS);
  // The bar as the window paints it, once pages are written, with the pages
  // counted; before that it carries the countdown, which the status lines tell.
  host.WatchProgress(IDC_PROGRESS, [dlg = dialog.get()]() -> std::optional<fw::ProgressView> {
    const controls::CGradientProgressCtrl* bar = &dlg->m_progress;
    if (dlg->m_tty.m_bProbing.load() != 0 && dlg->UpgradeRunning()) return std::nullopt;
    if (dlg->m_nPageOffset < 0) return std::nullopt;
    int percent = 0;
    if (bar->Pos() >= bar->Upper()) percent = 100;
    else if (bar->Pos() > bar->Lower() && bar->Upper() > 0)
      percent = static_cast<int>(static_cast<long long>(bar->Pos()) * 100 / bar->Upper());
    const int slot = dlg->m_tty.m_nModuleType.load();
    if (slot < 0 || slot >= kModuleCount) return fw::ProgressView(percent);
    const int length = dlg->m_bank.m_nImageLength[static_cast<std::size_t>(slot)];
    const int total = (length + CBrevanDlg::kPageSize - 1) / CBrevanDlg::kPageSize;
    const int done = percent == 100 ? total : std::min(total, dlg->m_nPageOffset / CBrevanDlg::kPageSize);
    return fw::ProgressView(percent, done, total);
  });
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
  host.RunUntil([&dialog] { return !dialog->UpgradeRunning(); });
  const auto wallMs =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - pressed).count();
  if (host.Ended()) {
    const int signal = fw::CancelOnInterrupt::Signal();
    const int code = signal > 0 ? 128 + signal : kExitCancelled;
    output.Result(code, OutcomeWord(kExitCancelled), {}, {{"wall_ms", wallMs}});
    return code;
  }
  const int code = ExitCodeFor(dialog->Outcome());
  UpgradeRunFacts facts{run.language, code, wallMs, host.GetWindowText(IDC_COMBO_PORT), dialog->m_strBaud};
  if (code == kExitPortFailed) {
    const fw::PortAdvice advice = fw::AdviseOnOpenFailure(dialog->m_tty.LastOpenError(), run.language);
    output.Diagnosis(advice.cause, {advice.text}, {{"port", dialog->m_tty.LastOpenError().path}});
  }
  ReportUpgradeEnd(output, *dialog, facts);
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
