#pragma once
// The terminal configurator's command line: one option per setting, checked
// whole before anything is typed into the window.
#include <optional>
#include <string>
#include <vector>

namespace torvik {

struct TorvikOptions {
  bool help = false;
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
  std::string progress = "auto";  // auto, bar, plain, none
  bool json = false;
  std::optional<std::string> trace;
};

struct ParsedOptions {
  std::optional<TorvikOptions> options;
  std::string badOption;  // the option at fault when options is empty
};

ParsedOptions ParseTorvikOptions(const std::vector<std::string>& args);

}  // namespace torvik
