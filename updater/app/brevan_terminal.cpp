#include "updater/app/brevan_terminal.h"

#include <memory>
#include <optional>

#include "framework/terminal/terminal_host.h"
#include "updater/app/bank_listing.h"
#include "updater/app/brevan_dlg.h"
#include "updater/resources/brevan_strings.h"
#include "updater/resources/brevan_templates.h"

namespace brevan {
namespace {

struct Options {
  bool list = false;
  std::optional<std::string> port;
  std::optional<std::string> baud;
  std::optional<std::string> image;
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

  fw::TerminalHost host(out, run.outIsTerminal);
  auto dialog = std::make_unique<CBrevanDlg>(run.language, run.profile);  // the bank is large: on the heap
  host.WatchStatus(IDC_EDIT_STATUS);
  // The bar as the window paints it, once pages are written; before that it carries the
  // countdown, which the status lines tell.
  host.WatchProgress(IDC_PROGRESS, [dlg = dialog.get()]() -> std::optional<int> {
    const controls::CGradientProgressCtrl* bar = &dlg->m_progress;
    if (dlg->m_tty.m_bProbing.load() != 0 && dlg->UpgradeRunning()) return std::nullopt;
    if (dlg->m_nPageOffset < 0) return std::nullopt;
    if (bar->Pos() >= bar->Upper()) return 100;
    if (bar->Pos() <= bar->Lower() || bar->Upper() <= 0) return 0;
    return static_cast<int>(static_cast<long long>(bar->Pos()) * 100 / bar->Upper());
  });
  host.SetModuleFileName(run.modulePath);
  if (options->image) host.QueueOpenFileAnswer(*options->image);
  fw::CancelOnInterrupt cancelOnCtrlC(host);

  host.Start(*dialog);
  if (dialog->StartUpStopped()) {
    if (!options->image) err << usage << '\n';
    return kExitNoFirmware;
  }
  // As a person would: type the port, pick the rate, press UPDATE.
  if (options->port) host.Type(IDC_COMBO_PORT, *options->port);
  if (options->baud) host.SelectItem(IDC_COMBO_BAUD, BaudIndex(dialog->Template(), *options->baud));
  host.Click(fw::kIdOk);
  host.RunUntil([&dialog] { return !dialog->UpgradeRunning(); });
  if (host.Ended()) return kExitCancelled;
  return ExitCodeFor(dialog->Outcome());
}

}  // namespace brevan
