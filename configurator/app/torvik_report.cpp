#include "configurator/app/torvik_report.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
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

// One write of the whole line with O_APPEND: the slots of a station, and
// other torvik processes on the same file, never interleave their records.
bool AppendBoardRecord(const std::string& path, const BoardRecord& record) {
  const std::string line = BoardRecordJson(record) + '\n';
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  ssize_t written = -1;
  do {
    written = ::write(fd, line.data(), line.size());
  } while (written < 0 && errno == EINTR);
  const bool closed = ::close(fd) == 0;
  return closed && written == static_cast<ssize_t>(line.size());
}

}  // namespace torvik
