#include "configurator/app/torvik_board_store.h"

#include <algorithm>

#include "configurator/resources/torvik_ids.h"
#include "configurator/resources/torvik_strings.h"
#include "framework/platform_paths.h"
#include "framework/text_format.h"
#include "frontend/exit_codes.h"
#include "records/records_strings.h"
#include "records/utc_time.h"

namespace torvik {
namespace {

std::string OnOffText(bool on) { return on ? "on" : "off"; }

std::string ErrorKindName(records::ErrorKind kind) {
  using records::ErrorKind;
  switch (kind) {
    case ErrorKind::Unreachable: return "unreachable";
    case ErrorKind::Refused: return "refused";
    case ErrorKind::Busy: return "busy";
    case ErrorKind::ReadOnly: return "read-only";
    case ErrorKind::Corrupt: return "corrupt";
    case ErrorKind::TooNew: return "too-new";
    case ErrorKind::TooOld: return "too-old";
    case ErrorKind::DiskFull: return "disk-full";
    case ErrorKind::BadUrl: return "bad-url";
    case ErrorKind::DayFull: return "day-full";
    case ErrorKind::ValueTaken: return "value-taken";
    case ErrorKind::LabelPassed: return "label-passed";
    case ErrorKind::NotFound: return "not-found";
    case ErrorKind::BadDate: return "bad-date";
    case ErrorKind::BadTime: return "bad-time";
    case ErrorKind::Conflict: return "conflict";
    case ErrorKind::None:
    case ErrorKind::Other: break;
  }
  return "other";
}

}  // namespace

std::string StationName(const TorvikOptions& o) {
  if (o.station) return *o.station;
  const std::string host = fw::HostName();
  return host.empty() ? o.port : host + ":" + o.port;
}

records::IdentityRequest MakeIdentityRequest(const StoreRunFacts& facts, const TorvikOptions& o, const std::string& label,
                                             bool firstBoard, const records::LocalDate& today) {
  records::IdentityRequest r;
  r.station = facts.station;
  r.port = facts.port;
  r.operatorName = facts.operatorName;
  r.label = label;
  r.profileName = facts.profileName;
  r.profileSha256 = facts.profileSha256;
  r.receiverType = facts.receiverType;
  r.rate = facts.rate;
  r.date = today;
  r.form = facts.form;
  if (firstBoard) {
    if (o.count) r.count = *o.count;
    r.localId = o.localId;
    r.login = o.userPass;
  }
  return r;
}

int WindowCount(std::int64_t count) {
  const auto rest = static_cast<int>(((count % 100) + 100) % 100);
  return rest == 0 ? 100 : rest;
}

std::vector<std::pair<std::string, std::string>> AppliedSettings(const TorvikOptions& o, const records::Identity& id) {
  std::vector<std::pair<std::string, std::string>> s;
  auto text = [&s](const char* name, const std::optional<std::string>& value) {
    if (value) s.emplace_back(name, *value);
  };
  auto flag = [&s](const char* name, const std::optional<bool>& value) {
    if (value) s.emplace_back(name, OnOffText(*value));
  };
  auto number = [&s](const char* name, const std::optional<int>& value) {
    if (value) s.emplace_back(name, std::to_string(*value));
  };
  text("type", o.type);
  flag("direct", o.direct);
  flag("network", o.network);
  flag("dns", o.useDns);
  flag("fixed-upload", o.fixedUpload);
  text("apn", o.apn);
  text("mode", o.mode);
  text("server", o.server);
  text("apn-name", o.apnName);
  text("user", o.user);
  text("base-id", o.baseId);
  text("local-phone", o.localPhone);
  text("base-phone", o.basePhone);
  text("address", o.address);
  number("server-port", o.serverPort);
  text("dns-name", o.dnsName);
  text("mount", o.mount);
  text("gga", o.gga);
  number("interval", o.interval);
  s.emplace_back("count", std::to_string(id.count));
  s.emplace_back("serial-number", id.serialNumber);
  s.emplace_back("local-id", id.localId);
  s.emplace_back("user-pass", id.login);
  return s;
}

std::vector<records::ItemRecord> ItemRecords(const std::vector<SentRecord>& items, std::uint32_t startTick,
                                             std::chrono::system_clock::time_point startWall) {
  // Ticks wrap; the difference from the start does not.
  auto at = [&](std::uint32_t tick) {
    return records::FormatUtc(startWall + std::chrono::milliseconds(static_cast<std::uint32_t>(tick - startTick)));
  };
  std::vector<records::ItemRecord> out;
  out.reserve(items.size());
  for (std::size_t i = 0; i < items.size(); ++i) {
    const SentRecord& s = items[i];
    records::ItemRecord r;
    r.index = static_cast<std::int64_t>(i);
    r.label = s.label;
    r.bytes.assign(s.bytes.begin(), s.bytes.end());
    r.replyAwaited = s.expectReply;
    r.outcome = SentOutcomeName(s.outcome);
    r.sentAt = at(s.writtenAt);
    if (s.outcome == SentRecord::Outcome::Acknowledged || s.outcome == SentRecord::Outcome::TimedOut)
      r.endedAt = at(s.endedAt);
    out.push_back(std::move(r));
  }
  return out;
}

int StoreExitCode(const records::StoreError& error) {
  using records::ErrorKind;
  switch (error.kind) {
    case ErrorKind::DayFull:
    case ErrorKind::ValueTaken:
    case ErrorKind::LabelPassed: return fe::kExitRefused;
    default: return fe::kExitStore;
  }
}

const std::string& CBoardStore::Name() const {
  static const std::string kNone;
  return m_store ? m_store->Name() : kNone;
}

void CBoardStore::Announce(fw::RunOutput& output) const {
  if (!m_store) return;
  output.Notice("store", {fw::FormatText(TorvikString(IDS_TERMINAL_STORE), {Name()})}, {{"name", Name()}});
}

void CBoardStore::Type(fw::TerminalHost& host, int id, const std::string& text) const {
  // As the window's options are typed: a person gets to a disabled edit by
  // switching a choice and back.
  const bool enabled = host.IsWindowEnabled(id);
  if (!enabled) host.EnableWindow(id, true);
  host.Type(id, text);
  if (!enabled) host.EnableWindow(id, false);
}

std::optional<int> CBoardStore::TakeAndType(fw::TerminalHost& host, const records::IdentityRequest& request, int board) {
  if (!m_store) return std::nullopt;
  records::Result<records::Identity> taken = m_store->TakeIdentity(request);
  if (!taken.Ok()) {
    const records::StoreError& e = taken.Error();
    std::vector<std::string> lines{records::Describe(e, m_language)};
    if (e.kind == records::ErrorKind::DayFull && request.form == records::SerialForm::Narrow)
      lines.emplace_back(TorvikString(IDS_TERMINAL_DAY_FULL));
    host.Output().Diagnosis("store", lines, {{"board", board}, {"store", e.store}, {"kind", ErrorKindName(e.kind)}});
    return StoreExitCode(e);
  }
  m_identity = std::move(taken.Value());
  m_open = true;
  // The count first: its change writes the window's own serial number, which
  // the store's replaces where they differ (the wide form, another day).
  Type(host, IDC_EDIT_COUNT, std::to_string(WindowCount(m_identity.count)));
  if (host.GetWindowText(IDC_EDIT_SERIAL_NO) != m_identity.serialNumber)
    host.SetWindowText(IDC_EDIT_SERIAL_NO, m_identity.serialNumber);
  Type(host, IDC_EDIT_LOCAL_ID, m_identity.localId);
  Type(host, IDC_EDIT_USER_PASS, m_identity.login);
  return std::nullopt;
}

bool CBoardStore::Holds(fw::RunOutput& output, int board, const std::string& serialNo, const std::string& localId,
                        const std::string& userPass) const {
  if (!m_store) return true;
  const std::pair<const char*, std::pair<std::string, std::string>> checks[] = {
      {"serial_no", {serialNo, m_identity.serialNumber}},
      {"local_id", {localId, m_identity.localId}},
      {"user_pass", {userPass, m_identity.login}},
  };
  const std::vector<std::string> names = fw::SplitLines(TorvikString(IDS_TERMINAL_IDENTITY_FIELDS));
  for (std::size_t i = 0; i < std::size(checks); ++i) {
    const auto& [field, values] = checks[i];
    if (values.first == values.second) continue;
    const std::string what = i < names.size() ? names[i] : field;
    output.Diagnosis("identity-differs",
                     {fw::FormatText(TorvikString(IDS_TERMINAL_IDENTITY_DIFFERS),
                                     {std::to_string(board), what, values.first, values.second})},
                     {{"board", board}, {"field", field}, {"window", values.first}, {"store", values.second}});
    return false;
  }
  return true;
}

std::optional<int> CBoardStore::Finish(fw::TerminalHost& host, int board, records::BoardResult result) {
  if (!m_store || !m_open) return std::nullopt;
  m_open = false;
  records::StoreError e = m_store->FinishBoard(m_identity.boardId, result);
  // A store lost mid-board (a server restarting): the board has ended, its
  // record waits for the store a few seconds before the run gives up.
  for (unsigned waited = 0; !e.Ok() && waited < m_retryMs; waited += kFinishRetryPauseMs) {
    host.Sleep(kFinishRetryPauseMs);
    e = m_store->FinishBoard(m_identity.boardId, result);
  }
  if (e.Ok()) return std::nullopt;
  host.Output().Diagnosis("record-missing",
                          {fw::FormatText(TorvikString(IDS_TERMINAL_RECORD_MISSING),
                                          {std::to_string(board), m_identity.serialNumber, records::Describe(e, m_language)})},
                          {{"board", board}, {"serial_no", m_identity.serialNumber}, {"store", e.store},
                           {"kind", ErrorKindName(e.kind)}});
  return fe::kExitStore;
}

}  // namespace torvik
