#pragma once
// The record store's side of the terminal configurator's boards: the store
// opened once before the port, each board's identity taken before its Set
// and typed into the window, and its record written when it ends. Without a
// store (--db none) every call is a no-op and the window makes the
// identities as it always has.
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "configurator/app/torvik_options.h"
#include "configurator/set_run/set_records.h"
#include "framework/terminal/terminal_host.h"
#include "framework/ui_language.h"
#include "records/record_store.h"

namespace torvik {

// What every board's request of a run shares.
struct StoreRunFacts {
  std::string station;  // --station, else host name and port
  std::string port;
  std::string operatorName;
  std::string profileName, profileSha256;
  std::string receiverType;
  std::int64_t rate = 0;
  records::SerialForm form = records::SerialForm::Narrow;
};

// --station, else "host:port" (the port alone when the host has no name).
std::string StationName(const TorvikOptions& o);
// The identity request of one board: the run's facts, the label, today's
// date and, for the first board, the operator's --count, --local-id and --user-pass.
records::IdentityRequest MakeIdentityRequest(const StoreRunFacts& facts, const TorvikOptions& o, const std::string& label,
                                             bool firstBoard, const records::LocalDate& today);
// The count to type into the window's count edit (1..9999) that gives the
// identity's narrow serial number: the count mod 100, 100 for 0.
int WindowCount(std::int64_t count);
// What the options put into the window, as "option = value" pairs in the
// option table's order, then the board's identity. The APN password is left
// out: the store keeps no secret but the logins it hands out.
std::vector<std::pair<std::string, std::string>> AppliedSettings(const TorvikOptions& o, const records::Identity& id);
// The Set's items with their host ticks as UTC times, counted from the
// board's start: startTick was the tick count at startWall.
std::vector<records::ItemRecord> ItemRecords(const std::vector<SentRecord>& items, std::uint32_t startTick,
                                             std::chrono::system_clock::time_point startWall);
// The exit code a store error ends the run with: 4 for a refusal of the
// board's values, 6 for the store itself.
int StoreExitCode(const records::StoreError& error);

// How long Finish keeps trying a store that fails, and how often.
inline constexpr unsigned kFinishRetryMs = 5000;
inline constexpr unsigned kFinishRetryPauseMs = 250;

class CBoardStore {
 public:
  // store null: no records.
  CBoardStore(std::unique_ptr<records::RecordStore> store, fw::UiLanguage language)
      : m_store(std::move(store)), m_language(language) {}

  bool On() const { return m_store != nullptr; }
  const std::string& Name() const;
  // The store named at the start of the run.
  void Announce(fw::RunOutput& output) const;

  // The board's identity from the store, typed into the window; a code
  // (after its diagnosis) when the store refused or failed, nothing sent.
  std::optional<int> TakeAndType(fw::TerminalHost& host, const records::IdentityRequest& request, int board);
  // Whether the window holds the identity (serial number, local id, login);
  // a mismatch is told as a diagnosis and ends the board.
  bool Holds(fw::RunOutput& output, int board, const std::string& serialNo, const std::string& localId,
             const std::string& userPass) const;
  const records::Identity& Identity() const { return m_identity; }
  bool BoardOpen() const { return m_open; }

  // The board's record; retried for a few seconds while the store fails.
  // A code (6, after a diagnosis naming the board) ends the run.
  std::optional<int> Finish(fw::TerminalHost& host, int board, records::BoardResult result);
  // How long Finish keeps trying (kFinishRetryMs).
  void SetFinishRetry(unsigned ms) { m_retryMs = ms; }

 private:
  void Type(fw::TerminalHost& host, int id, const std::string& text) const;

  std::unique_ptr<records::RecordStore> m_store;
  fw::UiLanguage m_language;
  records::Identity m_identity;
  bool m_open = false;  // a board taken and not finished
  unsigned m_retryMs = kFinishRetryMs;
};

}  // namespace torvik
