#include "configurator/app/torvik_options.h"

#include <array>
#include <string_view>

#include "framework/controls.h"

namespace torvik {
namespace {

// Texts the window takes at most this many characters of.
constexpr int kLimitedTextChars = 98;

std::optional<bool> OnOff(std::string_view v) {
  if (v == "on") return true;
  if (v == "off") return false;
  return std::nullopt;
}

std::optional<int> Integer(std::string_view v, int low, int high) {
  const std::optional<int> n = fw::ParseDialogInt(v);
  if (!n || *n < low || *n > high) return std::nullopt;
  return n;
}

bool OneOf(std::string_view v, std::initializer_list<std::string_view> choices) {
  for (std::string_view c : choices)
    if (v == c) return true;
  return false;
}

}  // namespace

std::span<const fe::OptionSpec> TorvikOptionTable() {
  static constexpr std::array<fe::OptionSpec, 34> kTable{{
      {"--port"}, {"--type"}, {"--count"}, {"--direct"}, {"--network"}, {"--dns"}, {"--fixed-upload"},
      {"--apn"}, {"--mode"}, {"--server"}, {"--apn-name"}, {"--user"}, {"--password"}, {"--local-id"},
      {"--base-id"}, {"--local-phone"}, {"--base-phone"}, {"--address"}, {"--server-port"}, {"--dns-name"},
      {"--mount"}, {"--user-pass"}, {"--gga"}, {"--interval"}, {"--boards"}, {"--report"},
      {"--db"}, {"--station"}, {"--operator"}, {"--serial-form"},
      // The front end's own: the run's profile and the labels (torvik_profile.h, label_prompt.h).
      {"--profile"}, {"--save-profile"}, {"--scan", fe::Takes::Nothing}, {"--auto", fe::Takes::Nothing},
  }};
  return kTable;
}

bool TakeTorvikOption(TorvikOptions& o, std::string_view name, const std::string& v) {
  auto flag = [&](std::optional<bool>& target) {
    target = OnOff(v);
    return target.has_value();
  };
  auto number = [&](std::optional<int>& target, int low, int high) {
    target = Integer(v, low, high);
    return target.has_value();
  };
  auto limited = [&](std::optional<std::string>& target) {
    target = v;
    return fw::Utf16Length(v) <= kLimitedTextChars;
  };
  bool ok = true;
  if (name == "--port") { o.port = v; ok = !v.empty(); }
  else if (name == "--type") o.type = v;
  else if (name == "--count") ok = number(o.count, 1, 9999);
  else if (name == "--direct") ok = flag(o.direct);
  else if (name == "--network") ok = flag(o.network);
  else if (name == "--dns") ok = flag(o.useDns);
  else if (name == "--fixed-upload") ok = flag(o.fixedUpload);
  else if (name == "--apn") { o.apn = v; ok = OneOf(v, {"mobile", "custom", "cdma"}); }
  else if (name == "--mode") { o.mode = v; ok = OneOf(v, {"heron", "vrs", "ntrip", "gsm"}); }
  else if (name == "--server") { o.server = v; ok = OneOf(v, {"telecom", "netcom", "custom"}); }
  else if (name == "--apn-name") ok = limited(o.apnName);
  else if (name == "--user") o.user = v;
  else if (name == "--password") o.password = v;
  else if (name == "--local-id") o.localId = v;
  else if (name == "--base-id") o.baseId = v;
  else if (name == "--local-phone") o.localPhone = v;
  else if (name == "--base-phone") o.basePhone = v;
  else if (name == "--address") o.address = v;
  else if (name == "--server-port") ok = number(o.serverPort, -2147483647 - 1, 2147483647);
  else if (name == "--dns-name") o.dnsName = v;
  else if (name == "--mount") ok = limited(o.mount);
  else if (name == "--user-pass") ok = limited(o.userPass);
  else if (name == "--gga") o.gga = v;
  else if (name == "--interval") ok = number(o.interval, 0, 255);
  else if (name == "--boards") {
    std::optional<int> boards;
    ok = number(boards, 1, 1000000);
    if (ok) o.boards = *boards;
  } else if (name == "--report") { o.report = v; ok = !v.empty(); }
  else if (name == "--db") { o.db = v; ok = !v.empty(); }
  else if (name == "--station") { o.station = v; ok = !v.empty(); }
  else if (name == "--operator") o.operatorName = v;
  else if (name == "--serial-form") { o.wideSerial = v == "wide"; ok = OneOf(v, {"narrow", "wide"}); }
  else ok = false;
  return ok;
}

}  // namespace torvik
