// The configurator's logic without a window: the acknowledgement test, the
// waits, the receiver-type file and the command set.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "configurator/command_set/command_set.h"
#include "configurator/resources/torvik_strings.h"
#include "configurator/send_queue/ack_watch.h"
#include "configurator/send_queue/reply_wait.h"
#include "configurator/type_file/type_file_reader.h"
#include "framework/protocol_text.h"
#include "support/temp_dir.h"

namespace {

std::span<const std::uint8_t> Bytes(std::string_view s) { return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()}; }

// The rule as first written: keep every byte since the last acknowledgement, search them all.
struct NaiveWatch {
  std::string kept;
  bool Append(std::string_view chunk) {
    kept += chunk;
    if (kept.size() < 10 || kept.find("KAVEL") == std::string::npos || kept.find("OK\r\n") == std::string::npos)
      return false;
    kept.clear();
    return true;
  }
};

TEST(AckWatch, ChunkingsAndOrders) {
  struct Case {
    std::vector<std::string> chunks;
    std::vector<bool> acks;  // after each chunk
  };
  const Case cases[] = {
      {{"KAVEL,APN,OK\r\n"}, {true}},
      {{"xxKAVE", "L,APN,OK\r\n"}, {false, true}},               // the word split across chunks
      {{"OK\r\n"}, {false}},                                      // alone: not an acknowledgement
      {{"OK\r\n", "KAVEL"}, {false, false}},                      // both, but only 9 bytes
      {{"OK\r\n", "KAVEL", "x"}, {false, false, true}},           // either order, once 10 bytes came
      {{"KAV", "EL", "O", "K\r", "\n", "-"}, {false, false, false, false, false, true}},
      {{"KAVEL,OK\r\nKAVEL", ",OK\r\n"}, {true, false}},          // the rest of an acknowledged chunk is dropped
      {{"KAVXEL OK\r\r\n ......"}, {false}},
  };
  for (const Case& c : cases) {
    CAckWatch watch;
    for (std::size_t i = 0; i < c.chunks.size(); ++i)
      EXPECT_EQ(watch.Append(Bytes(c.chunks[i])), c.acks[i]) << "chunk " << i << " of " << c.chunks[0];
  }
}

TEST(AckWatch, AgreesWithTheKeepEverythingRuleOnRandomTraffic) {
  std::mt19937 rng(7);
  const std::vector<std::string> tokens = {"KAVEL", "OK\r\n", "K", "A", "V", "E", "L", "O", "\r", "\n", ",", "xyz"};
  CAckWatch watch;
  NaiveWatch naive;
  int acks = 0;
  std::string stream;
  for (int i = 0; i < 20000; ++i) {
    while (stream.size() < 64) stream += tokens[rng() % tokens.size()];
    const std::string chunk = stream.substr(0, 1 + rng() % 12);  // split anywhere
    stream.erase(0, chunk.size());
    const bool expected = naive.Append(chunk);
    ASSERT_EQ(watch.Append(Bytes(chunk)), expected) << "chunk " << i;
    acks += expected;
  }
  EXPECT_GT(acks, 100);
}

// Chunks with the write in force when each arrived: only bytes after a write count towards it.
TEST(AckWatch, BytesFromBeforeAWriteNeverCountTowardsIt) {
  struct Chunk {
    std::uint32_t write;
    std::string bytes;
    bool ack;
  };
  struct Case {
    const char* what;
    std::vector<Chunk> chunks;
  };
  const Case cases[] = {
      {"a modem's OK to an AT line, then an error naming KAVEL",
       {{1, "\r\nOK\r\n", false}, {2, "KAVEL,COM,ERROR\r\n", false}}},
      {"the same bytes after one write are an acknowledgement", {{2, "\r\nOK\r\n", false}, {2, "KAVEL,COM,ERROR\r\n", true}}},
      {"KAVEL before the write, OK after", {{4, "KAVEL,APN,", false}, {5, "xxOK\r\n", false}, {5, "KAVEL", true}}},
      {"nine bytes carried over are not one short any more", {{1, "KAVELOK\r\n", false}, {2, "x", false}}},
      {"split anywhere after the write", {{3, "OK\r\n", false}, {4, "KAV", false}, {4, "EL,A", false}, {4, "PN,OK", false},
                                          {4, "\r", false}, {4, "\n", true}}},
      {"an acknowledgement, then the next write's own", {{1, "KAVEL,A,OK\r\n", true}, {2, "KAVEL,B,OK\r\n", true}}},
      {"a lower number (the count wrapped) starts afresh too",
       {{0x7FFFFFFFu, "OK\r\nKAVEL", false}, {0, "x", false}, {0, "KAVEL,OK\r\n", true}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CAckWatch watch;
    for (std::size_t i = 0; i < c.chunks.size(); ++i) {
      watch.Follow(c.chunks[i].write);
      EXPECT_EQ(watch.Append(Bytes(c.chunks[i].bytes)), c.chunks[i].ack) << "chunk " << i;
      EXPECT_EQ(watch.Write(), c.chunks[i].write);  // an acknowledgement belongs to the write its bytes followed
    }
  }
}

// The keep-everything rule emptied at every write agrees with the watch on
// random traffic, the writes falling anywhere between chunks.
TEST(AckWatch, AgreesWithTheKeepEverythingRuleEmptiedAtEachWrite) {
  std::mt19937 rng(11);
  const std::vector<std::string> tokens = {"KAVEL", "OK\r\n", "\r\nOK\r\n", "K", "A", "V", "E", "L", "O", "\r", "\n", "x"};
  CAckWatch watch;
  NaiveWatch naive;
  std::uint32_t write = 1;
  int acks = 0, dropped = 0;
  for (int i = 0; i < 20000; ++i) {
    if (rng() % 4 == 0) {
      ++write;
      dropped += naive.kept.find("KAVEL") != std::string::npos || naive.kept.find("OK\r\n") != std::string::npos;
      naive.kept.clear();
    }
    std::string chunk;
    for (auto n = 1 + rng() % 3; n > 0; --n) chunk += tokens[rng() % tokens.size()];
    watch.Follow(write);
    const bool expected = naive.Append(chunk);
    ASSERT_EQ(watch.Append(Bytes(chunk)), expected) << "chunk " << i;
    acks += expected;
  }
  EXPECT_GT(acks, 100);
  EXPECT_GT(dropped, 100);  // the writes did cut partial acknowledgements off
}

TEST(ReplyWait, AWaitEndsOnlyForItsOwnWrite) {
  CReplyWait wait;
  const std::uint32_t first = wait.Begin(true);
  EXPECT_EQ(wait.load(), 1);
  EXPECT_TRUE(wait.End(first));
  EXPECT_FALSE(wait.End(first));  // a time-out after the acknowledgement ends nothing
  const std::uint32_t second = wait.Begin(true);
  EXPECT_FALSE(wait.End(first));  // a late acknowledgement of the first write
  EXPECT_EQ(wait.load(), 1);
  wait.Clear();
  EXPECT_EQ(wait.load(), 0);
  EXPECT_FALSE(wait.End(second));
  EXPECT_EQ(wait.Begin(false), second + 2);
  EXPECT_EQ(wait.load(), 0);
}

TEST(ReplyWait, TickDifferencesDoNotWrap) {
  EXPECT_EQ(TicksSince(1000, 4001), 3001u);
  EXPECT_EQ(TicksSince(0xFFFFFF00u, 0x100u), 0x200u);  // across the tick count's wrap
  EXPECT_EQ(TicksSince(5000, 4990), 0u);  // stored by the monitor thread after "now" was read
}

class TypeFile : public ::testing::Test {
 protected:
  int Read(std::string_view content) {
    testing_support::WriteFile(m_path, content);
    return ReadReceiverTypes(m_path, m_table);
  }
  testing_support::TempDir m_dir;
  std::string m_path = m_dir.File("gprscdmaset.ini");
  ReceiverTypeTable m_table;
};

TEST_F(TypeFile, FieldsAreTakenVerbatim) {
  struct Case {
    std::string line;
    ReceiverType row;
  };
  const Case cases[] = {
      {"82,9600,HIGH,HIGH,\n", {"82", "9600", "HIGH", "HIGH"}},
      {"82,9600,HIGH,HIGH\n", {"82", "9600", "HIGH", "HIGH\n"}},   // the LF stays on the last field present
      {"82,9600,HIGH,HIGH\r\n", {"82", "9600", "HIGH", "HIGH\n"}}, // CR LF reads as LF
      {" A ,x9600,,", {" A ", "x9600", "", ""}},
      {"A,1,2,3,4,5\n", {"A", "1", "2", "3"}},
      {"\n", {"\n", "", "", ""}},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(Read(c.line), 1) << c.line;
    EXPECT_EQ(m_table[0].name, c.row.name) << c.line;
    EXPECT_EQ(m_table[0].baud, c.row.baud) << c.line;
    EXPECT_EQ(m_table[0].led1, c.row.led1) << c.line;
    EXPECT_EQ(m_table[0].led2, c.row.led2) << c.line;
  }
}

TEST_F(TypeFile, Limits) {
  std::string many;
  for (int i = 0; i < 120; ++i) many.append("T").append(std::to_string(i)).append(",9600,A,B,\n");
  EXPECT_EQ(Read(many), 91);
  EXPECT_EQ(m_table[90].name, "T90");

  EXPECT_EQ(Read(std::string(300, 'x') + "\n"), 2);  // pieces of 253 characters
  EXPECT_EQ(m_table[0].name.size(), 253u);
  EXPECT_EQ(m_table[1].name, std::string(47, 'x').append("\n"));
  EXPECT_EQ(Read(std::string(253, 'y') + "\n"), 2);
  EXPECT_EQ(m_table[1].name, "\n");
  EXPECT_EQ(Read(std::string(252, 'y') + "\r\n"), 1);  // its CR LF counts as one character

  EXPECT_EQ(Read(""), 1);  // empty: the built-in row
  EXPECT_EQ(m_table[0].name, "82");
  EXPECT_EQ(ReadReceiverTypes(m_dir.File("missing.ini"), m_table), 1);
  EXPECT_EQ(m_table[0].led2, "HIGH");
}

TEST_F(TypeFile, AGigabyteFileIsReadQuicklyAndGivesAtMost91Rows) {
  struct Case {
    const char* what;
    std::string head;  // written first; the rest of the gigabyte is a hole (NUL bytes, no disk used)
    std::string firstName;
  };
  const Case cases[] = {
      {"a hole", "", ""},  // a field ends at its first NUL
      {"rows, then a hole", "A1,9600,L,H,\nA2,19200,L,H,\n", "A1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testing_support::WriteFile(m_path, c.head);
    std::filesystem::resize_file(m_path, std::uintmax_t{1} << 30);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ReadReceiverTypes(m_path, m_table), 91);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(m_table[0].name, c.firstName);
    EXPECT_EQ(m_table[90].name, "");
  }
}

#ifndef _WIN32
TEST_F(TypeFile, AReadOnlyFileGivesItsRowsToAnUnprivilegedUser) {
  testing_support::WriteFile(m_path, "RO,19200,L1,L2,\n");
  ASSERT_EQ(chmod(m_path.c_str(), 0444), 0);
  ASSERT_EQ(chmod(m_dir.Path().c_str(), 0755), 0);
  // Root opens anything: read as nobody in a child.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (geteuid() == 0 && setuid(65534) != 0) _exit(3);
    ReceiverTypeTable table;
    const int rows = ReadReceiverTypes(m_path, table);
    _exit(rows == 1 && table[0].name == "RO" ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}
#endif

// --- Command set ---------------------------------------------------------------

fw::MessageLines Lines(int id) {
  fw::MessageLines lines;
  fw::LoadMessage(torvik::TorvikStrings(), torvik::kTextLanguage, id, lines);
  return lines;
}

torvik::Composition Compose(const torvik::SettingsValues& v) {
  return torvik::ComposeSettings(v, Lines(torvik::IDS_SETTING_LABELS), Lines(torvik::IDS_FINISH_LABELS),
                                 [](std::string_view t, std::string& b) {
                                   b.assign(t);
                                   return t.find('\x7F') == std::string_view::npos;  // a character the line cannot carry
                                 });
}

torvik::SettingsValues Values() {
  torvik::SettingsValues v;
  v.type = {"82", "9600", "HIGH", "HIGH"};
  v.serverIp = "S";
  v.port = 2010;
  v.mountPoint = "RTCM30";
  v.serialNo = "10012607";
  return v;
}

std::vector<std::string> Texts(const torvik::Composition& c) {
  std::vector<std::string> out;
  for (const auto& command : c.commands) out.push_back(command.bytes);
  return out;
}

TEST(CommandSet, VariantsFollowTheChoices) {
  using torvik::ApnKind;
  using torvik::WorkMode;
  torvik::SettingsValues v = Values();
  v.mode = WorkMode::Vrs;
  std::vector<std::string> vrs = Texts(Compose(v));
  const std::vector<std::string> expected = {
      "KAVEL,APN,cmnet,,,\r\n", "KAVEL,IPSET,S,2010,RTCM30,\r\n", "KAVEL,USER,,\r\n", "KAVEL,MODEGPRS\r\n",
      "KAVEL,MODEVRS\r\n", "KAVEL,LED,HIGH,HIGH\r\n", "KAVEL,OPEN,OFF,ON\r\n", "KAVEL,USEDNS,OFF\r\n",
      "KAVEL,DNS,,\r\n", "KAVEL,USEGGA,OFF,\r\n", "KAVEL,GGA,\"\",\r\n", "KAVEL,SERIAL,10012607\r\n",
      "AT+IPR=115200\r\n", "KAVEL,COM,9600,115200,SAVE\r\n", "ATE0\r\n", "KAVEL,NO.,,\r\n", "KAVEL,SAVECONFIG,\r\n",
      "KAVEL,DIRECT,OFF\r\n"};
  EXPECT_EQ(vrs, expected);

  struct Case {
    ApnKind apn;
    WorkMode mode;
    bool fixedUpload;
    std::string gga;
    std::vector<std::string> present;
  };
  const Case cases[] = {
      {ApnKind::Custom, WorkMode::Heron, false, "", {"KAVEL,APN,A,u,p,\r\n", "KAVEL,SETGPRS,L,B,TEST\r\n", "KAVEL,SETGSM,1,2\r\n", "KAVEL,MODEGPRS\r\n", "KAVEL,MODEKAVEL\r\n"}},
      {ApnKind::Cdma, WorkMode::Ntrip, false, "", {"KAVEL,APN,,u,p,\r\n", "KAVEL,MODECDMA\r\n", "KAVEL,MODENTRIP\r\n"}},
      {ApnKind::Mobile, WorkMode::Gsm, true, "$G", {"KAVEL,MODEGSM\r\n", "KAVEL,MODEKAVEL\r\n", "KAVEL,USEGGA,ON,7\r\n", "KAVEL,GGA,\"$G\",\r\n"}},
      {ApnKind::Mobile, WorkMode::Heron, true, "", {"KAVEL,USEGGA,OFF,\r\n"}},
  };
  for (const Case& c : cases) {
    v = Values();
    v.apnKind = c.apn;
    v.mode = c.mode;
    v.apn = "A";
    v.user = "u";
    v.password = "p";
    v.localId = "L";
    v.baseId = "B";
    v.localPhone = "1";
    v.basePhone = "2";
    v.fixedUpload = c.fixedUpload;
    v.gga = c.gga;
    v.uploadInterval = 7;
    const std::vector<std::string> texts = Texts(Compose(v));
    const bool heronOrGsm = c.mode == WorkMode::Heron || c.mode == WorkMode::Gsm;
    EXPECT_EQ(texts.size(), heronOrGsm ? 20u : 18u);
    for (const std::string& p : c.present)
      EXPECT_NE(std::find(texts.begin(), texts.end(), p), texts.end()) << p;
  }
}

TEST(CommandSet, LabelsAsTabled) {
  torvik::SettingsValues v = Values();
  const torvik::Composition c = Compose(v);
  ASSERT_EQ(c.commands.size(), 20u);
  const std::vector<std::string> labels = {
      "设置APN VPN", "设置本机机号", "设置本机电话号码", "设置用户名密码", "设置工作模式为 GPRS GSM CDMA",
      "设置工作模式 MODEKAVEL  MODEVRS MODENTRIP", "设置指示灯模式", "设置自启动模式 ", "设置是否使用DNS模式 ",
      "设置DNS", "设置GGA", "", "", "SERIAL No. Setting ", "9600 AT+IPR=115200", "COM1==>9600 COM2==>115200",
      "CLOSE GPRS Dispplay..", "KAVEL,NO.,,", "KAVEL,SAVECONFIG", "KAVEL,DIRECT,OFF"};
  for (std::size_t i = 0; i < labels.size(); ++i) EXPECT_EQ(c.commands[i].label, labels[i]) << i;
  const std::vector<bool> replies = {true, true, true, true, true, true, true, true, true, true,
                                     true, true, true, true, false, true, false, true, true, false};
  for (std::size_t i = 0; i < replies.size(); ++i) EXPECT_EQ(c.commands[i].expectReply, replies[i]) << i;

  const auto open = torvik::DirectOpenCommands(Lines(torvik::IDS_LINK_LABELS));
  ASSERT_EQ(open.size(), 3u);
  EXPECT_EQ(open[0].bytes, std::string("\x24\x35\xCA\x02\x00\x01\x01\xD9", 8));
  EXPECT_EQ(open[0].label, "打开直连GPRS..");
  EXPECT_EQ(open[2].bytes, "KAVEL,DIRECT,ON\r\n");
}

TEST(CommandSet, RefusalsNameTheField) {
  using torvik::Field;
  using Reason = torvik::Refusal::Reason;
  struct Case {
    std::function<void(torvik::SettingsValues&)> change;
    Reason reason;
    Field field;
  };
  const Case cases[] = {
      {[](auto& v) { v.dns = std::string(243, 'd'); }, Reason::TooLong, Field::Dns},  // 256 bytes
      {[](auto& v) { v.serverIp = std::string(200, 's'); v.mountPoint = std::string(60, 'm'); }, Reason::TooLong, Field::ServerIp},
      {[](auto& v) { v.user = "a\r\nKAVEL,X"; }, Reason::BadCharacter, Field::User},
      {[](auto& v) { v.gga = std::string("a\0b", 3); }, Reason::BadCharacter, Field::Gga},
      {[](auto& v) { v.userPass = "x\x7F"; }, Reason::BadCharacter, Field::UserPass},
      {[](auto& v) { v.type.led1 = "HIGH\n"; }, Reason::BadCharacter, Field::Led1},
      {[](auto& v) { v.type.baud = "fast"; }, Reason::BadRate, Field::TypeRate},
      {[](auto& v) { v.type.baud = "0"; }, Reason::BadRate, Field::TypeRate},
  };
  for (const Case& c : cases) {
    torvik::SettingsValues v = Values();
    c.change(v);
    const torvik::Composition composed = Compose(v);
    ASSERT_TRUE(composed.refusal.has_value());
    EXPECT_EQ(composed.refusal->reason, c.reason);
    EXPECT_EQ(composed.refusal->field, c.field);
    EXPECT_TRUE(composed.commands.empty());
  }
  torvik::SettingsValues v = Values();
  v.dns = std::string(242, 'd');  // exactly 255 bytes
  v.type.led2 = "HIGH\n";         // the type file's line feed stays
  EXPECT_FALSE(Compose(v).refusal.has_value());
}

TEST(CommandSet, FieldTextGoesInTheLinesEncodingOrNotAtAll) {
  std::string bytes;
  EXPECT_TRUE(fw::ToProtocolBytes("user:pw,1", bytes));
  EXPECT_EQ(bytes, "user:pw,1");
#ifdef _WIN32
  // No ANSI code page holds this character: the field is refused, not sent as '?'.
  EXPECT_FALSE(fw::ToProtocolBytes("a\xF0\x9F\x98\x80", bytes));
#else
  EXPECT_TRUE(fw::ToProtocolBytes("\xE4\xB8\xAD", bytes));  // UTF-8 goes as it is
  EXPECT_EQ(bytes, "\xE4\xB8\xAD");
#endif
}

TEST(CommandSet, SerialNumbersAndBroadcast) {
  EXPECT_EQ(torvik::SerialNumber(2010, 1, 26, 7), "10012607");
  EXPECT_EQ(torvik::SerialNumber(2026, 12, 8, 99), "26120899");
  EXPECT_EQ(torvik::SerialNumber(2026, 12, 8, 100), "26120800");
  EXPECT_EQ(torvik::RateBroadcastCommand(9600), "KAVEL,COM,9600,9600,\r\n");
  EXPECT_EQ(torvik::TypeRate({"x", "115200abc", "", ""}), 115200);
}

}  // namespace
