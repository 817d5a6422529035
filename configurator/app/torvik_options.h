#pragma once
// The terminal configurator's command line: one option per setting, checked
// whole before anything is typed into the window.
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "frontend/option_table.h"

namespace torvik {

// The configurator's own options; --help, --json, --progress and --trace are the skeleton's.
struct TorvikOptions {
  std::string port;
  std::optional<std::string> type;
  std::optional<int> count;
  std::optional<bool> direct, network, useDns, fixedUpload;
  std::optional<std::string> apn;   // mobile, custom, cdma
  std::optional<std::string> mode;  // heron, vrs, ntrip, gsm
  std::optional<std::string> server;  // telecom, netcom, custom
  std::optional<std::string> apnName, user, password, localId, baseId, localPhone, basePhone, address, dnsName, mount,
      userPass, gga;
  std::optional<int> serverPort, interval;
  int boards = 1;
  std::optional<std::string> report;
  // The record store (torvik_board_store.h): --db as OpenStore takes it (empty:
  // the default file), the station and operator recorded with every board.
  std::string db;
  std::optional<std::string> station, operatorName;
  bool wideSerial = false;  // --serial-form wide: date and a four-digit count
  bool operator==(const TorvikOptions&) const = default;
};

std::span<const fe::OptionSpec> TorvikOptionTable();
// One option's value into o, in the order given; false refuses it (and the
// front end's own options, which it takes before).
bool TakeTorvikOption(TorvikOptions& o, std::string_view name, const std::string& v);

}  // namespace torvik
