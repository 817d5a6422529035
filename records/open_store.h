#pragma once
// Opens the store a --db value names and brings its schema up to date.
//
// A front-end opens it once at start (the --db value, "" for the default
// file), takes each board's identity with TakeIdentity before the Set and
// finishes it with FinishBoard (a killed run leaves it `started`); brevan
// records each port's upgrade with RecordUpgrade. Describe() words an error
// in the user's language; kinds such as DayFull are for the caller's advice.
#include <cstdint>
#include <memory>
#include <string_view>

#include "records/record_store.h"

namespace records {

struct OpenOptions {
  int busyTimeoutMs = 10'000;     // how long to wait for another station's lock (PostgreSQL: lock_timeout)
  int connectTimeoutSeconds = 10; // PostgreSQL
  std::int64_t firstCount = 1;    // an empty store's first count
  // For queries and exports only: nothing is created or migrated, every
  // write is refused (ReadOnly).
  bool readOnly = false;
};

// nullptr with an Ok error for "none": no records are kept.
Result<std::unique_ptr<RecordStore>> OpenStore(std::string_view dbValue, const OpenOptions& options = {});

}  // namespace records
