#pragma once
// `torvik records serve`'s socket: the address it listens on, and the loop
// that hands each request to a LineSite until SIGINT or SIGTERM.
#include <optional>
#include <string>
#include <string_view>

#include "frontend/console.h"
#include "records/web/line_site.h"

namespace records::web {

inline constexpr std::string_view kDefaultListen = "127.0.0.1:8470";

struct ListenAddress {
  std::string host;  // "127.0.0.1", "::1", "0.0.0.0"
  int port = 0;
};

// "ADDR:PORT", "[V6]:PORT"; none when it is not one.
std::optional<ListenAddress> ParseListen(std::string_view text);
// Whether only this computer can reach the address (127.0.0.0/8, ::1, localhost).
bool IsLoopback(std::string_view host);

// Serves until SIGINT or SIGTERM: 0 then, with a message; kExitPortFailed
// when the address cannot be listened on. storeName: for the message.
int ServeLine(LineSite& site, const ListenAddress& address, std::string_view storeName, const fe::Console& console);

}  // namespace records::web
