#include "configurator/app/torvik_report.h"

#include <fstream>
#include <nlohmann/json.hpp>

namespace torvik {
namespace {

// Bytes as text where they are printable, the binary frame as hex.
std::string Printable(const std::string& bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    if (c == '\r') out += "\\r";
    else if (c == '\n') out += "\\n";
    else if (c == '\\') out += "\\\\";
    else if (c >= 0x20 && c < 0x7F) out += static_cast<char>(c);
    else {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

}  // namespace

std::string BoardRecordJson(const BoardRecord& r) {
  nlohmann::ordered_json j;
  j["board"] = r.board;
  j["startedAt"] = r.startedAt;
  j["serialNumber"] = r.serialNo;
  j["localId"] = r.localId;
  j["userPass"] = r.userPass;
  j["receiverType"] = r.typeName;
  j["receiverRate"] = r.typeBaud;
  if (!r.label.empty()) j["label"] = r.label;
  if (!r.profile.empty()) {
    j["profile"] = r.profile;
    j["profileSha256"] = r.profileSha256;
  }
  j["exitCode"] = r.exitCode;
  nlohmann::ordered_json items = nlohmann::ordered_json::array();
  for (const SentRecord& s : r.items) {
    nlohmann::ordered_json item;
    item["label"] = s.label;
    item["bytes"] = Printable(s.bytes);
    item["replyAwaited"] = s.expectReply;
    item["outcome"] = std::string(SentOutcomeName(s.outcome));
    item["writtenMs"] = static_cast<std::int32_t>(s.writtenAt - r.setAtTick);
    if (s.outcome == SentRecord::Outcome::Acknowledged || s.outcome == SentRecord::Outcome::TimedOut)
      item["endedMs"] = static_cast<std::int32_t>(s.endedAt - r.setAtTick);
    items.push_back(std::move(item));
  }
  j["items"] = std::move(items);
  // Field texts are the operator's: anything not valid UTF-8 is replaced, never refused.
  return j.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

bool AppendBoardRecord(const std::string& path, const BoardRecord& record) {
  std::ofstream out(path, std::ios::app | std::ios::binary);
  if (!out) return false;
  out << BoardRecordJson(record) << '\n';
  out.flush();
  return static_cast<bool>(out);
}

}  // namespace torvik
