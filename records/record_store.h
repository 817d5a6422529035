#pragma once
// The production record store: identities that never repeat, what every board
// was sent and how it ended, the upgrades. One interface over SQLite (one
// station) and PostgreSQL (several stations); open one with OpenStore.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "records/store_error.h"

namespace records {

enum class SerialForm { Narrow, Wide };  // YYMMDD + count mod 100 / mod 10,000

struct LocalDate {
  int year = 2000;
  int month = 1;
  int day = 1;
};

enum class Outcome { Started, Passed, Failed, Refused, Interrupted };

struct IdentityRequest {
  std::string station;
  std::string port;
  std::string operatorName;
  std::string label;  // empty: none
  std::string profileName;
  std::string profileSha256;
  std::string receiverType;
  std::int64_t rate = 0;
  LocalDate date;  // the station's local date; the serial number's day
  SerialForm form = SerialForm::Narrow;
  // Operator-given values, taken as they are when the store holds none of them.
  std::optional<std::int64_t> count;
  std::optional<std::string> localId;
  std::optional<std::string> login;
  std::string startedAt;  // UTC ISO-8601; empty: now
};

struct Identity {
  std::int64_t boardId = 0;
  std::string serialNumber;
  std::string localId;
  std::string login;
  std::int64_t count = 0;
  bool reused = false;  // the label's earlier board did not pass: its identity again
};

struct ItemRecord {
  std::int64_t index = 0;
  std::string label;
  std::vector<std::uint8_t> bytes;
  bool replyAwaited = false;
  std::string outcome;  // e.g. acknowledged, timed-out, not-sent
  std::string sentAt;
  std::string endedAt;
};

struct BoardResult {
  Outcome outcome = Outcome::Failed;
  std::int64_t exitCode = 0;
  std::string endedAt;  // empty: now
  std::vector<std::pair<std::string, std::string>> settings;  // in the order sent
  std::vector<ItemRecord> items;
};

struct UpgradeRecord {
  std::string station;
  std::string port;
  std::string boardSerial;
  std::string module;
  std::string softwareVersion;
  std::int64_t slot = 0;
  std::string imageVersion;
  std::int64_t pages = 0;
  std::int64_t pagesResent = 0;
  std::string outcome;
  std::int64_t durationMs = 0;
  std::string startedAt;
  std::string endedAt;
};

struct BoardRow {
  std::int64_t id = 0;
  std::string serialNumber;
  std::string localId;
  std::string login;
  std::string label;
  std::string station;
  std::string port;
  std::string operatorName;
  std::string profileName;
  std::string profileSha256;
  std::string receiverType;
  std::int64_t rate = 0;
  std::string outcome;
  std::optional<std::int64_t> exitCode;
  std::string startedAt;
  std::string endedAt;
};

struct BoardDetail {
  BoardRow board;
  std::vector<std::pair<std::string, std::string>> settings;
  std::vector<ItemRecord> items;
};

struct UpgradeRow {
  std::int64_t id = 0;
  UpgradeRecord upgrade;
};

struct LoginRow {
  std::string serialNumber;
  std::string localId;
  std::string login;
  std::string label;
  std::string station;
  std::string handedOutAt;
};

// Empty members filter nothing; limit 0 is no limit. since and until: a UTC
// ISO-8601 time or a date (2026-12-09), compared with the start time
// (since <= start < until). until comes last, with an initializer: callers
// that give the others in order stay as they are.
struct RecordFilter {
  std::string since;
  std::string station;
  std::string outcome;
  std::int64_t limit = 0;
  std::string until = {};
};

// A board's start, for counting: the texts are valid during the callback.
struct BoardStartRow {
  std::string_view station;
  std::string_view outcome;
  std::string_view startedAt;
};

// Boards of one station that did not pass for one reason: an item that was
// not acknowledged (its label and outcome), or, for boards refused before the
// Set, item empty and outcome "refused".
struct FailureCauseRow {
  std::string station;
  std::string item;
  std::string outcome;
  std::int64_t count = 0;
};

// One store object is one connection: for one thread at a time, and its
// callbacks must not call the store back.
class RecordStore {
 public:
  virtual ~RecordStore() = default;

  // The store's name for messages: its path, or its URL without the password.
  virtual const std::string& Name() const = 0;

  // In one transaction: a serial number, local id and login no board has had,
  // and a `started` record of the board.
  virtual Result<Identity> TakeIdentity(const IdentityRequest& request) = 0;
  virtual StoreError FinishBoard(std::int64_t boardId, const BoardResult& result) = 0;
  virtual Result<std::int64_t> RecordUpgrade(const UpgradeRecord& upgrade) = 0;

  // Newest first. The callbacks see one row at a time (exports stream).
  virtual StoreError ForEachBoard(const RecordFilter& filter, const std::function<void(const BoardRow&)>& onRow) = 0;
  virtual StoreError ForEachUpgrade(const RecordFilter& filter,
                                    const std::function<void(const UpgradeRow&)>& onRow) = 0;
  // Identities handed out since (a time or date), oldest first.
  virtual StoreError ForEachLogin(const std::string& since, const std::function<void(const LoginRow&)>& onRow) = 0;
  // The latest board of the identity a key names: serial number, label, local id or login.
  virtual Result<BoardDetail> FindBoard(const std::string& key) = 0;

  // The line view's reads, over boards started in [from, to) (UTC times or
  // dates, as since and until; empty: no bound). A store without them (a stand-in of a test)
  // answers Other. Every board's start, oldest first.
  virtual StoreError ForEachBoardStart(const std::string& from, const std::string& to,
                                       const std::function<void(const BoardStartRow&)>& onRow);
  // Why the span's boards that ended without passing did so, one row per
  // station and reason. An item is a reason when it awaited a reply that did
  // not come (timed-out, waiting) or was not sent as it should have been
  // (not-sent); an item sent without awaiting a reply is not.
  virtual StoreError ForEachFailureCause(const std::string& from, const std::string& to,
                                         const std::function<void(const FailureCauseRow&)>& onRow);
  // The latest board of each identity whose label, serial number, local id or
  // login contains text (ASCII letters in either case), newest first; limit 0
  // is no limit.
  virtual StoreError SearchBoards(const std::string& text, std::int64_t limit,
                                  const std::function<void(const BoardRow&)>& onRow);
};

std::string_view OutcomeName(Outcome outcome);
std::string_view SerialFormName(SerialForm form);

}  // namespace records
