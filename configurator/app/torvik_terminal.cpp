#include "configurator/app/torvik_terminal.h"

#include <unistd.h>

#include <ctime>
#include <memory>

#include "configurator/app/label_prompt.h"
#include "configurator/app/torvik_board_store.h"
#include "configurator/app/torvik_dlg.h"
#include "configurator/app/torvik_options.h"
#include "configurator/app/torvik_profile.h"
#include "configurator/app/torvik_report.h"
#include "configurator/app/torvik_run_report.h"
#include "configurator/app/torvik_set_watch.h"
#include "configurator/set_run/set_records.h"
#include "configurator/resources/torvik_strings.h"
#include "configurator/resources/torvik_templates.h"
#include "framework/protocol_text.h"
#include "framework/terminal/run_output.h"
#include "framework/terminal/terminal_host.h"
#include "frontend/front_end.h"
#include "frontend/station.h"
#include "frontend/station_strings.h"
#include "records/cli/records_command.h"
#include "records/open_store.h"
#include "records/records_strings.h"

namespace torvik {
namespace {

std::string LocalTimeIso() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
  return text;
}

records::LocalDate LocalToday() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

// The store --db names, opened before the port; a code when it cannot be.
std::optional<int> OpenBoardStore(fe::RunContext& context, const TorvikOptions& o, fw::UiLanguage language,
                                  std::unique_ptr<records::RecordStore>& store) {
  records::Result<std::unique_ptr<records::RecordStore>> opened = records::OpenStore(o.db);
  if (!opened.Ok()) {
    const records::StoreError& e = opened.Error();
    context.Output().Diagnosis("store", {records::Describe(e, language)}, {{"store", e.store}});
    return context.End(fe::kExitStore);
  }
  store = std::move(opened.Value());
  return std::nullopt;
}

// The run's facts every board's record shares: the type the options chose
// (the window's first without --type).
StoreRunFacts RunFacts(const TorvikOptions& o, const std::optional<ProfileIdentity>& profile, const CSetRun& setRun,
                       int typeIndex) {
  StoreRunFacts f;
  f.station = StationName(o);
  f.port = o.port;
  f.operatorName = o.operatorName.value_or("");
  if (profile) {
    f.profileName = profile->name;
    f.profileSha256 = profile->sha256;
  }
  const std::span<const ReceiverType> types = setRun.ReceiverTypes();
  if (!types.empty()) {
    const ReceiverType& type = types[static_cast<std::size_t>(std::max(typeIndex, 0))];
    f.receiverType = fw::ProtocolBytesToUtf8(type.name);
    f.rate = TypeRate(type).value_or(0);
  }
  f.form = o.wideSerial ? records::SerialForm::Wide : records::SerialForm::Narrow;
  return f;
}

// Drives the window as a person would.
class Operator {
 public:
  explicit Operator(fw::TerminalHost& host) : m_host(host) {}

  // A click on a check box only when its state is not the wanted one.
  void SetCheck(int id, bool on) {
    if ((m_host.GetCheck(id) != 0) != on) ClickAnyway(id);
  }
  // An option sets its control whatever its enable state: a person gets
  // there by switching a choice and back.
  void ClickAnyway(int id) { Anyway(id, [&] { m_host.Click(id); }); }
  void SelectAnyway(int id, int index) { Anyway(id, [&] { m_host.SelectItem(id, index); }); }
  void TypeAnyway(int id, const std::string& text) { Anyway(id, [&] { m_host.Type(id, text); }); }

 private:
  template <class F>
  void Anyway(int id, F action) {
    const bool enabled = m_host.IsWindowEnabled(id);
    if (!enabled) m_host.EnableWindow(id, true);
    action();
    if (!enabled) m_host.EnableWindow(id, false);
  }

  fw::TerminalHost& m_host;
};

int IndexOf(const std::vector<std::string_view>& names, std::string_view name) {
  for (std::size_t i = 0; i < names.size(); ++i)
    if (names[i] == name) return static_cast<int>(i);
  return -1;
}

void ApplyChoices(const TorvikOptions& o, Operator& op, int typeIndex) {
  if (typeIndex >= 0) op.SelectAnyway(IDC_COMBO_TYPE, typeIndex);
  if (o.server) op.SelectAnyway(IDC_COMBO_SERVER, IndexOf({"telecom", "netcom", "custom"}, *o.server));
  if (o.apn) {
    static constexpr int kApnIds[] = {IDC_CHECK_MOBILE_APN, IDC_CHECK_CUSTOM_APN, IDC_CHECK_CDMA};
    op.ClickAnyway(kApnIds[IndexOf({"mobile", "custom", "cdma"}, *o.apn)]);
  }
  if (o.mode) {
    static constexpr int kModeIds[] = {IDC_CHECK_HERON, IDC_CHECK_VRS, IDC_CHECK_NTRIP, IDC_CHECK_GSM};
    op.ClickAnyway(kModeIds[IndexOf({"heron", "vrs", "ntrip", "gsm"}, *o.mode)]);
  }
  if (o.direct) op.SetCheck(IDC_CHECK_DIRECT, *o.direct);
  if (o.network) op.SetCheck(IDC_CHECK_NETWORK, *o.network);
  if (o.useDns) op.SetCheck(IDC_CHECK_USE_DNS, *o.useDns);
  if (o.fixedUpload) op.SetCheck(IDC_CHECK_FIXED_UPLOAD, *o.fixedUpload);
}

void TypeTexts(const TorvikOptions& o, Operator& op, bool firstBoard) {
  auto type = [&op](int id, const std::optional<std::string>& text) {
    if (text) op.TypeAnyway(id, *text);
  };
  auto typeNumber = [&op](int id, const std::optional<int>& n) {
    if (n) op.TypeAnyway(id, std::to_string(*n));
  };
  if (firstBoard) {
    typeNumber(IDC_EDIT_COUNT, o.count);
    type(IDC_EDIT_LOCAL_ID, o.localId);
    type(IDC_EDIT_USER_PASS, o.userPass);
  }
  type(IDC_EDIT_APN, o.apnName);
  type(IDC_EDIT_USER, o.user);
  type(IDC_EDIT_PASSWORD, o.password);
  type(IDC_EDIT_BASE_ID, o.baseId);
  type(IDC_EDIT_LOCAL_PHONE, o.localPhone);
  type(IDC_EDIT_BASE_PHONE, o.basePhone);
  type(IDC_EDIT_SERVER_IP, o.address);
  typeNumber(IDC_EDIT_SERVER_PORT, o.serverPort);
  type(IDC_EDIT_DNS, o.dnsName);
  type(IDC_COMBO_MOUNT, o.mount);
  type(IDC_EDIT_GGA, o.gga);
  typeNumber(IDC_EDIT_INTERVAL, o.interval);
}

// The port button pressed twice, closing the port and opening it again; whether it opened.
bool ReopenPort(fw::TerminalHost& host, CSetWatch& watch) {
  if (watch.PortOpen()) host.Click(IDC_BUTTON_PORT);
  watch.ForgetPort();
  host.Click(IDC_BUTTON_PORT);
  return watch.PortOpen();
}

// Serves the window until the queue has gone out and the last wait has
// ended, showing how many of the queued commands are done.
bool RunUntilQueueDone(fw::TerminalHost& host, const CSetWatch& watch, const CSentRecords& records) {
  const std::size_t first = records.Items().size();
  auto showProgress = [&] {
    // Sent in this phase, and still queued.
    const std::vector<SentRecord>& sent = records.Items();
    const int total = static_cast<int>(sent.size() - first) + std::max(0, watch.Queued());
    if (total <= 0) return;
    int done = 0;
    for (std::size_t i = first; i < sent.size(); ++i)
      if (sent[i].outcome != SentRecord::Outcome::Waiting) ++done;
    done = std::min(done, total);
    host.Output().Progress(fw::ProgressView(done * 100 / total, done, total));
  };
  const bool finished = host.RunUntil([&] {
    showProgress();
    return watch.Idle() && !records.AnyWaiting();
  });
  return finished;
}

// The configurator's part of the skeleton: its options and its boards.
class TorvikFront final : public fe::IFrontEnd {
 public:
  explicit TorvikFront(const TorvikTerminalRun& run) : m_run(run) {}

  fe::ProgramFacts Facts() const override {
    return {"torvik", kTorvikOutcomeWords,
            {TorvikString(IDS_TERMINAL_USAGE), TorvikString(IDS_TERMINAL_BAD_OPTION), TorvikString(IDS_TERMINAL_BAD_TRACE),
             TorvikString(IDS_TERMINAL_COMMANDS)},
            TorvikOptionTable()};
  }
  bool Take(std::string_view name, const std::string& value) override {
    bool ok = true;
    if (m_profiles.Take(name, value, ok)) return ok;
    if (name == "--scan") {
      m_scan = true;
      return true;
    }
    if (name == "--auto") {
      m_auto = true;
      return true;
    }
    if (!TakeTorvikOption(m_options, name, value)) return false;
    m_profiles.Given(name, value);
    if (name == "--port") m_ports.push_back(value);
    return true;
  }
  std::optional<std::string> Complete(bool help) override {
    if (help) return std::nullopt;
    m_profiles.Complete(m_options);
    if (m_options.port.empty() && !m_profiles.Faulted() && !m_profiles.SaveOnly(m_options)) return "--port";
    if (std::optional<std::string> bad = fe::StationPortsFault(m_ports, m_run.language)) return bad;
    if (m_ports.size() > 1 && m_profiles.Saves()) return fe::StationOnePortOnly("--save-profile", m_run.language);
    return std::nullopt;
  }
  std::optional<int> RunSeveral(const fe::Console& console, const fe::SharedOptions& shared) override {
    if (m_ports.size() <= 1) return std::nullopt;
    const fe::ProgramFacts facts = Facts();
    if (shared.trace) {
      fe::PrintUsageError(facts.texts, fe::StationOnePortOnly("--trace", m_run.language), console.err);
      return kExitUsage;
    }
    fe::StationSetup setup{console, shared.json, shared.progress, facts, false, fe::kStationSetting};
    setup.autoStart = m_auto;
    setup.scanLabels = m_scan;
    setup.inputFd = m_run.in != nullptr ? STDIN_FILENO : -1;
    return fe::RunStation(setup, m_ports,
                          [this](fe::RunContext& context, const std::string& port, const fe::SlotHooks& hooks) {
                            TorvikOptions slot = m_options;
                            slot.port = port;
                            return RunBoards(context, slot, &hooks);
                          });
  }
  int Run(fe::RunContext& context, const fe::SharedOptions& /*shared*/) override {
    return RunBoards(context, m_options, nullptr);
  }

 private:
  // slot: a station slot's start of each board and its labels (null: one
  // port, asking on a terminal).
  int RunBoards(fe::RunContext& context, const TorvikOptions& o, const fe::SlotHooks* slot);

  const TorvikTerminalRun& m_run;
  TorvikOptions m_options;
  CTorvikProfileOptions m_profiles;
  std::vector<std::string> m_ports;  // every --port, in the order given
  bool m_scan = false;
  bool m_auto = false;
};

}  // namespace

int RunTorvikTerminal(const std::vector<std::string>& args, const TorvikTerminalRun& run, std::ostream& out,
                      std::ostream& err) {
  const fe::Console console{out, err, run.outIsTerminal, run.errIsTerminal, run.language};
  if (!args.empty() && args.front() == "records")
    return records::RunRecordsCommand({"torvik", records::RecordsFlavour::Boards}, {args.begin() + 1, args.end()},
                                      console);
  TorvikFront front(run);
  return fe::RunFrontEnd(front, args, console);
}

namespace {

// The boards on one port, once the options are known.
int TorvikFront::RunBoards(fe::RunContext& context, const TorvikOptions& o, const fe::SlotHooks* slot) {
  const TorvikTerminalRun& run = m_run;
  fw::RunOutput& output = context.Output();
  std::ostream& err = context.Err();
  fw::TerminalHost& host = context.Host();
  if (const std::optional<int> code = m_profiles.Start(context, o)) return *code;
  std::unique_ptr<records::RecordStore> opened;
  if (const std::optional<int> code = OpenBoardStore(context, o, run.language, opened)) return *code;
  CBoardStore store(std::move(opened), run.language);
  store.Announce(output);
  // The run's observers outlive the dialog that tells them.
  CSetWatch watch;
  CSentRecords records;
  // A queue of the run's own, not the process-wide one: a station's slots each send their own.
  CSendQueue queue;
  auto dialog = std::make_unique<CTorvikDlg>(serial::MakePlatformSerialPort(), queue);
  if (context.Trace() != nullptr) dialog->TapTraffic(*context.Trace());
  CSetRun& setRun = dialog->Run();
  setRun.Attach(watch);
  setRun.Attach(records);
  host.WatchLog(IDC_LIST_LOG);
  host.Start(*dialog);

  // The receiver type by name, before anything is typed.
  int typeIndex = -1;
  if (o.type) {
    typeIndex = setRun.FindReceiverType(*o.type);
    if (typeIndex < 0) return context.Refuse("--type " + *o.type);
  }
  // The port as the list shows it, added when the system did not list it.
  int portIndex = -1;
  for (int i = 0; i < host.GetCount(IDC_COMBO_PORT); ++i)
    if (host.GetItemText(IDC_COMBO_PORT, i) == o.port) portIndex = i;
  if (portIndex < 0) portIndex = host.AddString(IDC_COMBO_PORT, o.port);
  host.SelectItem(IDC_COMBO_PORT, portIndex);

  Operator op(host);
  ApplyChoices(o, op, typeIndex);
  TypeTexts(o, op, true);

  host.Click(IDC_BUTTON_PORT);
  if (!watch.PortOpen()) {
    if (host.Ended()) return context.Interrupted();
    context.AdviseOnPort(watch.OpenError(), run.language);
    return context.End(kExitPortFailed);
  }
  if (!RunUntilQueueDone(host, watch, records)) return context.Interrupted();
  const StoreRunFacts storeFacts = RunFacts(o, m_profiles.Profile(), setRun, typeIndex);

  int worst = kExitAcknowledged;
  bool lastFailed = false;
  // Serves the window while a slot waits for its receiver; after a failed
  // board it tries each second to open the port anew (a fixture unplugged
  // and plugged in again), so that its receiver can be heard.
  std::uint32_t reopenDue = host.GetTickCount();
  const fe::PortListen listen = [&](int ms) -> std::optional<std::uint64_t> {
    if (lastFailed && static_cast<std::int32_t>(host.GetTickCount() - reopenDue) >= 0) {
      lastFailed = !ReopenPort(host, watch);
      reopenDue = host.GetTickCount() + 1000;
    }
    const std::uint32_t until = host.GetTickCount() + static_cast<std::uint32_t>(ms);
    if (!host.RunUntil([&] { return static_cast<std::int32_t>(host.GetTickCount() - until) >= 0; })) return std::nullopt;
    return setRun.ReceivedTotal();
  };
  for (int board = 1; board <= o.boards; ++board) {
    // With --scan the label's prompt is the one between boards.
    std::optional<std::string> label;
    if (m_scan) {
      label = slot != nullptr ? AskLabel(slot->label, output, board) : AskLabel(run.in, output, board);
      if (host.Ended() || fw::CancelOnInterrupt::Interrupted()) return context.Interrupted();
      if (!label) {
        ReportInputEnded(output, board - 1);
        break;
      }
    }
    if (slot != nullptr && (board > 1 || m_auto)) {
      if (slot->gate && !slot->gate(listen)) break;
      // A station slot opens its port anew after a failed board: a fixture
      // unplugged and plugged in again is found again. While it cannot be
      // opened the slot says why and, with an operator, waits to try again.
      while (lastFailed && !ReopenPort(host, watch)) {
        if (host.Ended() || fw::CancelOnInterrupt::Interrupted()) return context.Interrupted();
        context.AdviseOnPort(watch.OpenError(), run.language);
        if (!slot->gate || !slot->gate(listen)) return context.End(fe::WorseExit(worst, kExitPortFailed));
      }
      lastFailed = false;
      if (!RunUntilQueueDone(host, watch, records)) return context.Interrupted();
    } else if (slot == nullptr && board > 1 && !m_scan && run.inIsTerminal && run.in != nullptr) {
      output.Say({std::string(TorvikString(IDS_TERMINAL_NEXT_BOARD))});
      std::string answer;
      if (!std::getline(*run.in, answer) || answer == "q" || answer == "Q") break;
    }
    if (board > 1) {
      if (host.Ended()) return context.Interrupted();
      ApplyChoices(o, op, typeIndex);
      TypeTexts(o, op, false);
    }
    BoardRecord record;
    record.board = board;
    record.startedAt = LocalTimeIso();
    records.Clear();
    watch.ForgetOutcome();
    record.setAtTick = host.GetTickCount();
    const auto startWall = std::chrono::system_clock::now();
    record.label = label.value_or("");
    if (const std::optional<ProfileIdentity>& profile = m_profiles.Profile()) {
      record.profile = profile->name;
      record.profileSha256 = profile->sha256;
    }

    // The board's record ends with it, however the board ends.
    auto finish = [&](records::Outcome outcome, int code) {
      records::BoardResult result;
      result.outcome = outcome;
      result.exitCode = code;
      if (store.BoardOpen()) result.settings = AppliedSettings(o, store.Identity());
      result.items = ItemRecords(records.Items(), record.setAtTick, startWall);
      return store.Finish(host, board, std::move(result));
    };
    auto interrupted = [&] {
      const std::optional<int> missing = finish(records::Outcome::Interrupted, kExitInterrupted);
      return missing ? context.End(*missing, {}, {{"board", board}}) : context.Interrupted();
    };
    auto refused = [&](int code) {
      if (const std::optional<int> missing = finish(records::Outcome::Refused, code)) code = *missing;
      return context.End(code, {}, {{"board", board}});
    };
    if (store.On()) {
      const records::IdentityRequest ask = MakeIdentityRequest(storeFacts, o, record.label, board == 1, LocalToday());
      if (const std::optional<int> code = store.TakeAndType(host, ask, board))
        return context.End(*code, {}, {{"board", board}});
      if (!store.Holds(output, board, host.GetWindowText(IDC_EDIT_SERIAL_NO), host.GetWindowText(IDC_EDIT_LOCAL_ID),
                       host.GetWindowText(IDC_EDIT_USER_PASS)))
        return refused(kExitRefused);
    }

    host.Click(IDC_BUTTON_SET);
    if (host.Ended()) return interrupted();
    if (watch.Outcome() == SetOutcome::Refused) return refused(kExitRefused);
    if (!RunUntilQueueDone(host, watch, records)) return interrupted();

    // The board as the window held it when Set was pressed.
    const BoardFacts& facts = watch.Board();
    record.serialNo = facts.serialNo;
    record.localId = facts.localId;
    record.userPass = facts.userPass;
    record.typeName = facts.typeName;
    record.typeBaud = facts.typeBaud;
    record.items = records.Items();
    record.exitCode = watch.Outcome() == SetOutcome::Failed ? kExitTimedOut : kExitAcknowledged;
    // What reached the board is what the store handed out, or the record says it failed.
    const bool holds = store.Holds(output, board, facts.serialNo, facts.localId, facts.userPass);
    if (!holds) record.exitCode = fe::kExitStore;
    const std::optional<int> missing =
        finish(record.exitCode == kExitAcknowledged ? records::Outcome::Passed : records::Outcome::Failed, record.exitCode);
    if (missing) record.exitCode = *missing;
    if (record.exitCode != kExitAcknowledged) worst = record.exitCode;
    lastFailed = record.exitCode != kExitAcknowledged;
    if (o.report && !AppendBoardRecord(*o.report, record))
      err << "torvik: cannot append to " << *o.report << '\n';
    ReportBoardEnd(output, record);
    if (!holds || missing) return worst;
  }
  if (fw::CancelOnInterrupt::Interrupted()) return context.Interrupted();
  return worst;
}

}  // namespace

}  // namespace torvik
