#pragma once
// What a store call reports instead of throwing: a kind the caller can act on,
// the store it concerns (path, or URL without its password) and the facts
// behind it. The words the user reads come from records_strings.
#include <optional>
#include <string>
#include <utility>

namespace records {

enum class ErrorKind {
  None,
  Unreachable,  // no server, no such directory, connection lost
  Refused,      // authentication or permission
  Busy,         // locked past the busy time-out
  ReadOnly,
  Corrupt,      // not a store, or a damaged one
  TooNew,       // written by a newer program: value = the store's version
  TooOld,       // opened read-only at an older version: value = the store's version
  DiskFull,
  BadUrl,       // the --db value itself
  DayFull,      // every serial number of the day is taken: value = the day, field = the form
  ValueTaken,   // an operator-given value is held: field, value, holder
  LabelPassed,  // the label's board has passed: value = the label, holder
  NotFound,     // no board for the key
  BadDate,      // a request's local date that does not exist: value = the date
  BadTime,      // a time given that is not UTC ISO-8601 text: value = the text
  Conflict,     // a unique value raced in another transaction (retried inside)
  Other,
};

// Which identity value a refusal is about.
enum class IdField { None, SerialNumber, LocalId, Login, Label, NarrowForm, WideForm };

// The board that already holds a value.
struct Holder {
  std::string serialNumber;
  std::string label;
  std::string station;
};

struct StoreError {
  ErrorKind kind = ErrorKind::None;
  std::string store;
  std::string detail;  // the database's own words for the cause, when it gave some
  IdField field = IdField::None;
  std::string value;
  Holder holder;

  bool Ok() const { return kind == ErrorKind::None; }
};

inline StoreError MakeError(ErrorKind kind, std::string store, std::string detail = {}) {
  StoreError e;
  e.kind = kind;
  e.store = std::move(store);
  e.detail = std::move(detail);
  return e;
}

// A value or the error that kept it away.
template <class T>
class Result {
 public:
  Result(T value) : m_value(std::move(value)) {}
  Result(StoreError error) : m_error(std::move(error)) {
    if (m_error.kind == ErrorKind::None) m_error.kind = ErrorKind::Other;
  }

  bool Ok() const { return m_value.has_value(); }
  T& Value() { return *m_value; }
  const T& Value() const { return *m_value; }
  const StoreError& Error() const { return m_error; }

 private:
  std::optional<T> m_value;
  StoreError m_error;
};

}  // namespace records
