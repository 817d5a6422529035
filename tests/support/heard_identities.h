#pragma once
// What identity each board got, as the simulator's report heard it: per board,
// in the order set, its SETGPRS (local id), USER (login) and SERIAL commands.
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace testing_support {

struct HeardIdentity {
  std::string serial, localId, login;
  bool operator==(const HeardIdentity&) const = default;
};

// The value of "KAVEL,NAME,value,..." up to the next comma.
inline std::string FirstField(const std::string& text, std::string_view prefix) {
  const std::string rest = text.substr(prefix.size());
  return rest.substr(0, rest.find_first_of(",\r\n"));
}

inline std::vector<HeardIdentity> HeardIdentities(const nlohmann::json& report) {
  std::vector<HeardIdentity> boards;
  HeardIdentity current;
  for (const nlohmann::json& c : report["commands"]) {
    const std::string text = c["text"];
    if (text.starts_with("KAVEL,SETGPRS,")) current.localId = FirstField(text, "KAVEL,SETGPRS,");
    if (text.starts_with("KAVEL,USER,")) current.login = FirstField(text, "KAVEL,USER,");
    if (text.starts_with("KAVEL,SERIAL,")) {
      current.serial = FirstField(text, "KAVEL,SERIAL,");
      boards.push_back(current);
      current = {};
    }
  }
  return boards;
}

}  // namespace testing_support
