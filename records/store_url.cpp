#include "records/store_url.h"

#include <cstdlib>

namespace records {

namespace {

bool StartsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

// The query without its password parameters.
std::string RedactQuery(std::string_view query) {
  std::string kept;
  while (!query.empty()) {
    const std::size_t amp = query.find('&');
    const std::string_view part = query.substr(0, amp);
    query = amp == std::string_view::npos ? std::string_view{} : query.substr(amp + 1);
    if (StartsWith(part, "password=")) continue;
    if (!kept.empty()) kept += '&';
    kept += part;
  }
  return kept;
}

}  // namespace

std::string RedactUrl(std::string_view url) {
  const std::size_t scheme = url.find("://");
  if (scheme == std::string_view::npos) return std::string(url);
  const std::size_t start = scheme + 3;
  const std::size_t end = url.find_first_of("/?", start);
  const std::string_view authority = url.substr(start, end == std::string_view::npos ? url.npos : end - start);
  std::string out(url.substr(0, start));
  const std::size_t at = authority.rfind('@');
  if (at != std::string_view::npos) {
    const std::string_view user = authority.substr(0, at);
    out += user.substr(0, user.find(':'));
    out += authority.substr(at);
  } else {
    out += authority;
  }
  if (end == std::string_view::npos) return out;
  std::string_view rest = url.substr(end);
  const std::size_t question = rest.find('?');
  out += rest.substr(0, question);
  if (question != std::string_view::npos) {
    const std::string query = RedactQuery(rest.substr(question + 1));
    if (!query.empty()) out += "?" + query;
  }
  return out;
}

StoreUrl ParseStoreUrl(std::string_view value, const std::string& defaultPath) {
  StoreUrl url;
  if (value == "none") return url;
  if (StartsWith(value, "postgresql://") || StartsWith(value, "postgres://")) {
    url.kind = StoreKind::Postgres;
    url.target = std::string(value);
    url.display = RedactUrl(value);
    return url;
  }
  url.kind = StoreKind::Sqlite;
  if (StartsWith(value, "sqlite://")) {
    value.remove_prefix(9);
  } else if (StartsWith(value, "sqlite:")) {
    value.remove_prefix(7);
  }
  url.target = value.empty() ? defaultPath : std::string(value);
  url.display = url.target;
  return url;
}

std::string DefaultStorePath(const char* xdgDataHome, const char* home) {
  static constexpr std::string_view kTail = "/brevan-torvik/records.sqlite3";
  if (xdgDataHome != nullptr && *xdgDataHome == '/') return std::string(xdgDataHome) + std::string(kTail);
  if (home != nullptr && *home != '\0') return std::string(home) + "/.local/share" + std::string(kTail);
  return {};
}

std::string DefaultStorePath() { return DefaultStorePath(std::getenv("XDG_DATA_HOME"), std::getenv("HOME")); }

}  // namespace records
