#include "simulator/model/far_end.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>

namespace sim {

namespace {

constexpr std::string_view kKavel = "KAVEL,";
constexpr std::size_t kMaxLine = 1024;
constexpr std::size_t kMaxCommandFramePayload = 256;
constexpr std::size_t kCommandLogLimit = 10000;
constexpr std::uint64_t kLoaderFrameIdleUs = 100000;
constexpr std::uint32_t kMaxBurst = 16U << 20;
constexpr std::uint8_t kQuery[9] = {0x24, 0x2D, 0xD2, 0x01, 0x00, 0x00, 0xDA, 0x0D, 0x0A};
constexpr std::size_t kPageFrameSize = 133;

// The number formed by the leading decimal digits (at most nine), 0 when none.
std::uint32_t LeadingNumber(std::string_view text) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < text.size() && i < 9 && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + static_cast<std::uint32_t>(text[i] - '0');
  }
  return value;
}

// Field k (0 = the command name) of "KAVEL,NAME,f1,f2...", without the word.
std::string_view Field(std::string_view command, std::size_t k) {
  std::string_view rest = command.substr(kKavel.size());
  for (; k > 0; --k) {
    const std::size_t comma = rest.find(',');
    if (comma == std::string_view::npos) return {};
    rest.remove_prefix(comma + 1);
  }
  return rest.substr(0, rest.find(','));
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    char c = text[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != prefix[i]) return false;
  }
  return true;
}

// The fields after the command name, empty ones kept ("KAVEL,APN,a,b," has
// three: a, b and an empty one). A field that starts with '"' and has a '"'
// right before a comma or the end is the text between the two.
std::vector<std::string> SettingFields(std::string_view command) {
  std::vector<std::string> fields;
  std::string_view rest = command.substr(kKavel.size());
  const std::size_t afterName = rest.find(',');
  if (afterName == std::string_view::npos) return fields;
  rest.remove_prefix(afterName + 1);
  for (;;) {
    if (!rest.empty() && rest.front() == '"') {
      std::size_t close = 1;
      while (close < rest.size() && !(rest[close] == '"' && (close + 1 == rest.size() || rest[close + 1] == ','))) ++close;
      if (close < rest.size()) {
        fields.emplace_back(rest.substr(1, close - 1));
        rest.remove_prefix(close + 1);
        if (rest.empty()) return fields;
        rest.remove_prefix(1);
        continue;
      }
    }
    const std::size_t comma = rest.find(',');
    fields.emplace_back(rest.substr(0, comma));
    if (comma == std::string_view::npos) return fields;
    rest.remove_prefix(comma + 1);
  }
}

std::uint64_t LaterUs(std::uint64_t atUs, std::uint32_t ms) {
  const std::uint64_t delay = std::uint64_t{ms} * 1000;
  return atUs > std::numeric_limits<std::uint64_t>::max() - delay ? std::numeric_limits<std::uint64_t>::max() : atUs + delay;
}

std::string Hex(std::span<const std::uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (const std::uint8_t b : bytes) {
    if (!text.empty()) text += ' ';
    text += kDigits[b >> 4];
    text += kDigits[b & 15];
  }
  return text;
}

}  // namespace

std::vector<std::uint8_t> BuildReplyFrame(std::uint8_t type, std::string_view payload) {
  const std::size_t n = std::min<std::size_t>(payload.size(), 0xFFFF);
  std::vector<std::uint8_t> frame(7 + n + 3);
  frame[0] = 0x24;
  frame[1] = type;
  frame[2] = static_cast<std::uint8_t>(0xFF - type);
  frame[3] = static_cast<std::uint8_t>(n & 0xFF);
  frame[4] = static_cast<std::uint8_t>(n >> 8);
  for (std::size_t i = 0; i < n; ++i) frame[7 + i] = static_cast<std::uint8_t>(payload[i]);
  std::uint8_t check = 0;
  for (std::size_t i = 0; i < 7 + n; ++i) check ^= frame[i];
  frame[7 + n] = check;
  frame[8 + n] = 0x0D;
  frame[9 + n] = 0x0A;
  return frame;
}

namespace {
std::string Sentence(std::string_view body) {
  std::uint8_t check = 0;
  for (const char c : body) check ^= static_cast<std::uint8_t>(c);
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string sentence;
  sentence.reserve(body.size() + 6);
  sentence += '$';
  sentence.append(body);
  sentence += '*';
  sentence += kDigits[check >> 4];
  sentence += kDigits[check & 15];
  sentence += "\r\n";
  return sentence;
}
}  // namespace

std::string GgaSentence(std::uint64_t sinceStartUs) {
  const std::uint64_t centis = sinceStartUs / 10000 % (24ULL * 3600 * 100);
  char body[80];
  std::snprintf(body, sizeof body, "GPGGA,%02u%02u%02u.%02u,3150.7814,N,11711.9274,E,1,08,1.0,50.000,M,0.000,M,,",
                static_cast<unsigned>(centis / 360000), static_cast<unsigned>(centis / 6000 % 60),
                static_cast<unsigned>(centis / 100 % 60), static_cast<unsigned>(centis % 100));
  return Sentence(body);
}

std::string StartUpSentence() { return Sentence("GPTXT,01,01,02,RECEIVER STARTED"); }

void CFarEnd::PowerOn(std::uint64_t atUs) {
  ++m_report.powerOns;
  if (m_upgrading) return;  // the loader has the port; its power is the upgrade's own
  SetDirectLink(false, "power-on", atUs);
  Say(atUs, StartUpSentence());
}

CFarEnd::CFarEnd(const ModelOptions& options, Report& report)
    : m_options(options), m_report(report), m_receiverRate(options.receiverRate) {
  m_flash.fill(0xFF);
  m_report.receiverRates.push_back(m_receiverRate);
}

void CFarEnd::Take(std::uint8_t byte, bool framingError, std::uint64_t atUs) {
  ++m_report.bytesAssembled;
  if (framingError) ++m_report.framingErrors;
  if (m_upgrading) {
    LoaderByte(byte, atUs);
  } else if (m_options.echo) {
    const char c = static_cast<char>(byte);
    Say(atUs, std::string_view(&c, 1));
  } else {
    ReceiverByte(byte, atUs);
  }
}

// A '$' starts a binary command frame only if the two bytes after it are a
// command and its complement; otherwise the bytes are text (a GGA sentence in
// a settings line starts with '$').
void CFarEnd::ReceiverByte(std::uint8_t byte, std::uint64_t atUs) {
  if (m_frame.empty()) {
    if (byte == 0x24) {
      m_frame.push_back(byte);
    } else {
      TextByte(byte, atUs);
    }
    return;
  }
  m_frame.push_back(byte);
  bool notAFrame = false;
  if (m_frame.size() == 3) notAFrame = m_frame[1] + m_frame[2] != 0xFF;
  std::size_t payload = 0;
  if (m_frame.size() >= 5) {
    payload = m_frame[3] | static_cast<std::size_t>(m_frame[4]) << 8;
    notAFrame = payload > kMaxCommandFramePayload;
  }
  if (notAFrame) {
    std::vector<std::uint8_t> rest(m_frame.begin() + 1, m_frame.end());
    m_frame.clear();
    TextByte(0x24, atUs);
    for (const std::uint8_t b : rest) ReceiverByte(b, atUs);
    return;
  }
  if (m_frame.size() >= 5 && m_frame.size() == 6 + payload) {
    const std::vector<std::uint8_t> frame = std::move(m_frame);
    m_frame.clear();
    BinaryFrame(frame, atUs);
  }
}

void CFarEnd::BinaryFrame(std::span<const std::uint8_t> frame, std::uint64_t atUs) {
  std::uint8_t check = 0;
  for (std::size_t i = 0; i + 1 < frame.size(); ++i) check ^= frame[i];
  const bool sound = check == frame.back();
  const bool directLink = sound && frame[1] == 0x35 && frame.size() == 8 && frame[5] == 0x01;
  Log(atUs, directLink ? "frame" : "ignored", Hex(frame));
  if (directLink && frame[6] <= 1) SetDirectLink(frame[6] == 1, "direct-link frame", atUs);
}

void CFarEnd::TextByte(std::uint8_t byte, std::uint64_t atUs) {
  if (byte == '\r' || byte == '\n') {
    if (m_lineOverflow) {
      Log(atUs, "ignored", "(line longer than 1024 bytes)");
    } else if (!m_line.empty()) {
      Line(m_line, atUs);
    }
    m_line.clear();
    m_lineOverflow = false;
  } else if (m_line.size() < kMaxLine) {
    m_line += static_cast<char>(byte);
  } else {
    m_lineOverflow = true;
  }
}

void CFarEnd::Line(std::string_view line, std::uint64_t atUs) {
  const std::size_t kavel = line.find(kKavel);
  if (kavel != std::string_view::npos) {
    KavelCommand(line.substr(kavel), atUs);
    return;
  }
  std::size_t start = 0;
  while (start < line.size() && (line[start] < 0x20 || line[start] > 0x7E)) ++start;
  if (StartsWithNoCase(line.substr(start), "AT")) {
    AtCommand(line.substr(start), atUs);
  } else {
    Log(atUs, "ignored", line);
  }
}

void CFarEnd::KavelCommand(std::string_view command, std::uint64_t atUs) {
  const std::string_view name = Field(command, 0);
  const std::string_view first = Field(command, 1);
  if (name == "SOFTWARE") {
    Log(atUs, "receiver", command);
    if (!m_upgrading) {
      m_upgrading = true;
      m_report.upgradeStarted = true;
      m_report.upgradeAtUs = atUs;
      m_report.loaderListensAtUs = atUs + std::uint64_t{m_options.powerOnDelayMs} * 1000;
      m_loaderCount = 0;
    }
  } else if (name == "COM") {
    Log(atUs, "receiver", command);
    const std::uint32_t rate = LeadingNumber(first);
    if (PlausibleRate(rate) && rate != m_receiverRate) {
      m_receiverRate = rate;
      m_report.receiverRates.push_back(rate);
    }
    // The saving form is also the modem board's setting: it answers it
    // through the link. The plain form is the receiver's own and answers nothing.
    const bool save = Field(command, 3) == "SAVE";
    if (PlausibleRate(rate) && save) m_report.savedRate = rate;
    if (save && m_report.directLinkOpen) Acknowledge(name, atUs);
  } else if (name == "CLOSE") {
    Log(atUs, "receiver", command);
    SetDirectLink(true, command, atUs);
  } else if (name == "DIRECT" && (first == "ON" || first == "OFF")) {
    Log(atUs, "receiver", command);
    SetDirectLink(first == "ON", command, atUs);
  } else if (name == "BURST") {
    Log(atUs, "receiver", command);
    const std::uint32_t count = std::min(first.empty() ? m_options.burstBytes : LeadingNumber(first), kMaxBurst);
    std::string bytes(count, '\0');
    for (std::uint32_t i = 0; i < count; ++i) bytes[i] = static_cast<char>(BurstByte(i));
    if (count > 0) Say(atUs, bytes);
  } else if (m_report.directLinkOpen && !name.empty()) {
    Setting(command, name, atUs);
  } else {
    Log(atUs, "ignored", command);
  }
}

void CFarEnd::Setting(std::string_view command, std::string_view name, std::uint64_t atUs) {
  Log(atUs, "setting", command);
  const std::string key(name);
  m_report.settings[key] = std::string(command);
  m_report.settingFields[key] = SettingFields(command);
  if (m_report.settingsLog.size() < kCommandLogLimit) m_report.settingsLog.emplace_back(command);
  if (name == "SERIAL") {
    // The whole rest of the line: the command has one field and no closing comma.
    std::string_view value = command.substr(kKavel.size() + name.size());
    if (!value.empty()) value.remove_prefix(1);
    m_report.serialNumber = std::string(value);
  } else if (name == "SAVECONFIG") {
    m_report.configSaved = true;
    ++m_report.configSaves;
  }
  Acknowledge(name, atUs);
}

void CFarEnd::Acknowledge(std::string_view name, std::uint64_t atUs) {
  const std::string key(name);
  std::uint32_t& acks = m_report.settingsAcked[key];  // present from the first command on, answered or not
  if (m_options.silent || m_options.noAck.count(key) != 0) return;
  if (m_options.errorReply.count(key) != 0) {
    // Names the command but holds no "OK": a refusal, not an acknowledgement.
    Say(LaterUs(atUs, m_options.ackDelayMs), std::string(kKavel) + key + ",ERROR\r\n");
    return;
  }
  ++acks;
  ++m_report.settingAcks;
  Say(LaterUs(atUs, m_options.ackDelayMs), std::string(kKavel) + key + ",OK\r\n");
}

void CFarEnd::AtCommand(std::string_view command, std::uint64_t atUs) {
  if (!m_report.directLinkOpen) {
    Log(atUs, "ignored", command);
    return;
  }
  Log(atUs, "at", command);
  if (m_report.atCommands.size() < kCommandLogLimit) m_report.atCommands.emplace_back(command);
  if (StartsWithNoCase(command, "AT+IPR=")) {
    const std::uint32_t rate = LeadingNumber(command.substr(7));
    if (PlausibleRate(rate)) m_report.moduleRate = rate;
  } else if (StartsWithNoCase(command, "ATE0")) {
    m_report.moduleEcho = false;
  } else if (StartsWithNoCase(command, "ATE1")) {
    m_report.moduleEcho = true;
  }
  Say(atUs, "\r\nOK\r\n");  // as a modem answers: the result code between line ends
}

void CFarEnd::SetDirectLink(bool open, std::string_view cause, std::uint64_t atUs) {
  if (m_report.directLinkOpen == open) return;
  m_report.directLinkOpen = open;
  m_report.directLink.push_back(LinkChange{atUs, open, std::string(cause)});
}

void CFarEnd::Log(std::uint64_t atUs, std::string_view kind, std::string_view text) {
  if (m_report.commands.size() >= kCommandLogLimit) {
    ++m_report.commandsNotLogged;
    return;
  }
  m_report.commands.push_back(CommandRecord{atUs, m_receiverRate, std::string(kind), std::string(text)});
}

void CFarEnd::Say(std::uint64_t atUs, std::string_view text) {
  if (m_options.silent) return;
  Reply reply;
  reply.atUs = atUs;
  reply.frames.emplace_back(text.begin(), text.end());
  m_outbox.push_back(std::move(reply));
}

void CFarEnd::LoaderByte(std::uint8_t byte, std::uint64_t atUs) {
  if (m_loaderCount > 0 && atUs - m_lastLoaderByteUs > kLoaderFrameIdleUs) {
    // A sender that stalls within a page loses it: the page never reaches the
    // flash, and the PC's sending it again is its first arrival.
    if (m_loaderCount >= 2 && m_loaderBuffer[1] == 0x2C) ++m_report.pagesCut;
    m_report.loaderSkipped += m_loaderCount;
    m_loaderCount = 0;
  }
  m_lastLoaderByteUs = atUs;
  m_loaderBuffer[m_loaderCount++] = byte;
  auto consume = [this](std::size_t n) {
    std::copy(m_loaderBuffer.begin() + static_cast<std::ptrdiff_t>(n),
              m_loaderBuffer.begin() + static_cast<std::ptrdiff_t>(m_loaderCount), m_loaderBuffer.begin());
    m_loaderCount -= n;
  };
  while (m_loaderCount > 0) {
    const std::uint8_t* b = m_loaderBuffer.data();
    bool skip = b[0] != 0x24;
    if (!skip && m_loaderCount >= 3) {
      if (b[1] == 0x2D && b[2] == 0xD2) {
        const std::size_t n = std::min<std::size_t>(m_loaderCount, sizeof kQuery);
        if (std::memcmp(b, kQuery, n) != 0) {
          skip = true;
        } else if (n == sizeof kQuery) {
          Query(atUs);
          consume(sizeof kQuery);
          continue;
        }
      } else if (b[1] == 0x2C && b[2] == 0xD3) {
        if (m_loaderCount == kPageFrameSize) {
          Page(atUs);
          consume(kPageFrameSize);
          continue;
        }
      } else {
        skip = true;
      }
    }
    if (!skip) return;  // a frame in the making
    ++m_report.loaderSkipped;
    consume(1);
  }
}

void CFarEnd::Query(std::uint64_t atUs) {
  ++m_report.queries;
  atUs += std::uint64_t{m_options.lateAnswerMs} * 1000;
  if (m_options.refuse) {
    LoaderReply(atUs, {BuildReplyFrame(kReplyRefused, {})});
  } else {
    LoaderReply(atUs, {BuildReplyFrame(kReplyModule, m_options.module), BuildReplyFrame(kReplySerial, m_options.serial),
                       BuildReplyFrame(kReplyVersion, m_options.softwareVersion)});
  }
}

void CFarEnd::Page(std::uint64_t atUs) {
  const auto address = static_cast<std::uint16_t>(m_loaderBuffer[3] << 8 | m_loaderBuffer[4]);
  ++m_pageCount;
  if (m_loaderStopped) {
    // Heard, but neither written nor answered.
    ++m_report.pagesIgnored;
    m_report.pages.push_back(PageRecord{atUs, address, false, false});
    return;
  }
  if (m_options.dropPages.count(m_pageCount) != 0) {
    // Lost on the way in: nothing written, nothing answered.
    ++m_report.pagesLost;
    m_report.pages.push_back(PageRecord{atUs, address, false, true});
    return;
  }
  for (std::size_t i = 0; i < 128; ++i) m_flash[(address + i) & 0xFFFF] = m_loaderBuffer[5 + i];
  const bool firstWrite = ++m_report.pageWrites[address] == 1;
  // The Nth page of the image, however often it or the pages before it went out.
  const auto pagesWritten = static_cast<std::uint32_t>(m_report.pageWrites.size());
  const bool dropped = m_options.dropAckPages.count(m_pageCount) != 0;
  const bool acknowledged = !dropped && !m_options.silent;
  m_report.pages.push_back(PageRecord{atUs, address, acknowledged});
  const bool late = m_options.lateAckPages.empty() || m_options.lateAckPages.count(m_pageCount) != 0;
  const std::uint64_t replyAt = atUs + (late ? std::uint64_t{m_options.lateAckMs} * 1000 : 0);
  if (dropped) ++m_report.acksDropped;
  if (acknowledged) {
    ++m_report.acksSent;
    LoaderReply(replyAt, {BuildReplyFrame(kReplyPageAck, {})});
  }
  if (firstWrite && pagesWritten == m_options.finishAfterPage) LoaderReply(replyAt, {BuildReplyFrame(kReplyFinish, {})});
  if (firstWrite && pagesWritten == m_options.zeroAfterPage) LoaderReply(replyAt, {BuildReplyFrame(kReplyZero, {})});
  if (firstWrite && pagesWritten == m_options.stopAfterPage) m_loaderStopped = true;
}

void CFarEnd::LoaderReply(std::uint64_t atUs, std::vector<std::vector<std::uint8_t>> frames) {
  if (m_options.silent || m_loaderStopped) return;
  for (const auto& frame : frames) ++m_report.repliesSent[frame[1]];
  m_outbox.push_back(Reply{atUs, std::move(frames), true});
}

}  // namespace sim
