#pragma once
// The --db value: a path or sqlite:PATH, postgresql://... (or postgres://), or
// none; empty means the default file.
#include <string>
#include <string_view>

namespace records {

enum class StoreKind { None, Sqlite, Postgres };

struct StoreUrl {
  StoreKind kind = StoreKind::None;
  std::string target;   // the file path, or the URL handed to the client library
  std::string display;  // for messages: the path, or the URL without its password
};

// defaultPath is used for an empty value.
StoreUrl ParseStoreUrl(std::string_view value, const std::string& defaultPath);

// $XDG_DATA_HOME/brevan-torvik/records.sqlite3, else
// $HOME/.local/share/brevan-torvik/records.sqlite3; empty when neither is set.
std::string DefaultStorePath(const char* xdgDataHome, const char* home);
// The same from the environment.
std::string DefaultStorePath();

// A PostgreSQL URL with the password taken out of its user part and its
// query (password=...).
std::string RedactUrl(std::string_view url);

}  // namespace records
