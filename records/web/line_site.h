#pragma once
// The line view's pages and JSON, answered without a socket: the HTTP server
// (line_server.h) hands each request here, and tests and the benchmark can
// call it directly. Read-only: it opens the store it is given read-only and
// never writes.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "records/record_store.h"

namespace records::web {

struct SiteOptions {
  std::string token;        // empty: no token asked (loopback only)
  bool showLogins = false;  // else a login's password part is masked
};

struct WebRequest {
  std::string path;                          // "/", "/board/KEY" (decoded), "/api/summary", ...
  std::multimap<std::string, std::string> query;  // decoded
  std::string acceptLanguage;                // the header as sent
  std::string authorization;                 // the header as sent
};

struct WebResponse {
  int status = 200;
  std::string contentType;  // e.g. "text/html; charset=utf-8"
  std::string body;
};

// Opens the store anew when the last connection failed; a store that is busy,
// locked or gone gives a page that says so (and 503 for the JSON), never a crash.
using StoreOpener = std::function<Result<std::unique_ptr<RecordStore>>()>;

class LineSite {
 public:
  LineSite(StoreOpener open, SiteOptions options);
  ~LineSite();
  LineSite(const LineSite&) = delete;
  LineSite& operator=(const LineSite&) = delete;

  // One request at a time per site (the server serialises them).
  WebResponse Handle(const WebRequest& request);

 private:
  struct State;
  std::unique_ptr<State> m_state;
};

}  // namespace records::web
