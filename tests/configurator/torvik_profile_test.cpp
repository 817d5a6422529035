// The terminal configurator's profiles: the INI text as an operator writes
// it, its faults by line, the command line over it, the merged options
// saved and read back unchanged, and the files as the run meets them.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "configurator/app/torvik_profile.h"
#include "configurator/app/torvik_profile_text.h"
#include "framework/sha256.h"
#include "support/temp_dir.h"

namespace {

using torvik::GivenOption;
using torvik::ProfileFaultKind;

std::vector<GivenOption> Options(const torvik::ParsedProfile& parsed) {
  std::vector<GivenOption> options;
  for (const torvik::ProfileEntry& e : parsed.entries) options.push_back(e.option);
  return options;
}

TEST(TorvikProfileText, CommentsSectionQuotesAndBlanksAreReadAsAnOperatorWritesThem) {
  const torvik::ParsedProfile parsed = torvik::ParseProfile(
      "\xEF\xBB\xBF# the line's settings\r\n"
      "; older comment style\n"
      "\n"
      "   [ Torvik ]\n"
      "type = TR5\n"
      "  Mode=ntrip  \n"
      "user = \"  two blanks kept  \"\n"
      "password = 'p=w;#1'\n"
      "gga = $GPGGA,1;2 # not a comment\n"
      "mount = \"\"\n"
      "address =\n"
      "local-id = \"Z\"9\"\n"
      "boards = 3");  // no line end at the end
  ASSERT_FALSE(parsed.fault) << static_cast<int>(parsed.fault->kind) << " on line " << parsed.fault->line;
  const std::vector<GivenOption> expected{{"--type", "TR5"},
                                          {"--mode", "ntrip"},
                                          {"--user", "  two blanks kept  "},
                                          {"--password", "p=w;#1"},
                                          {"--gga", "$GPGGA,1;2 # not a comment"},
                                          {"--mount", ""},
                                          {"--address", ""},
                                          {"--local-id", "Z\"9"},
                                          {"--boards", "3"}};
  EXPECT_EQ(Options(parsed), expected);
  ASSERT_EQ(parsed.entries.size(), expected.size());
  EXPECT_EQ(parsed.entries[0].line, 5);
  EXPECT_EQ(parsed.entries.back().line, 13);
}

TEST(TorvikProfileText, EachFaultNamesItsLine) {
  struct Case {
    std::string text;
    ProfileFaultKind kind;
    int line;
    std::string key;
  };
  const std::vector<Case> cases{
      {"type = TR5\nbaud = 9600\n", ProfileFaultKind::UnknownKey, 2, "baud"},
      {"# c\n\n--port = /dev/ttyS0\n", ProfileFaultKind::UnknownKey, 3, "--port"},
      {"type = TR5\njust words\n", ProfileFaultKind::NotKeyValue, 2, ""},
      {" = value\n", ProfileFaultKind::NotKeyValue, 1, ""},
      {"[torvik\n", ProfileFaultKind::NotKeyValue, 1, ""},
      {"[brevan]\nport = x\n", ProfileFaultKind::UnknownSection, 1, "brevan"},
      {"mode = vrs\nprofile = other.ini\n", ProfileFaultKind::NotInProfile, 2, "profile"},
      {"save-profile = x.ini\n", ProfileFaultKind::NotInProfile, 1, "save-profile"},
      {"scan = on\n", ProfileFaultKind::NotInProfile, 1, "scan"},
      {"\n\nTRACE = t.txt\n", ProfileFaultKind::NotInProfile, 3, "TRACE"},
      {"json = 1\n", ProfileFaultKind::NotInProfile, 1, "json"},
      {"help = yes\n", ProfileFaultKind::NotInProfile, 1, "help"},
      {"progress = none\n", ProfileFaultKind::NotInProfile, 1, "progress"},
      {"user = \"open\n", ProfileFaultKind::OpenQuote, 1, "user"},
      {"user = 'mixed\"\n", ProfileFaultKind::OpenQuote, 1, "user"},
      {"user = \"\n", ProfileFaultKind::OpenQuote, 1, "user"},
  };
  for (const Case& c : cases) {
    const torvik::ParsedProfile parsed = torvik::ParseProfile(c.text);
    ASSERT_TRUE(parsed.fault) << c.text;
    EXPECT_EQ(parsed.fault->kind, c.kind) << c.text;
    EXPECT_EQ(parsed.fault->line, c.line) << c.text;
    EXPECT_EQ(parsed.fault->key, c.key) << c.text;
  }
  const torvik::ParsedProfile twice = torvik::ParseProfile("mode = vrs\n# x\nMODE = gsm\n");
  ASSERT_TRUE(twice.fault);
  EXPECT_EQ(twice.fault->kind, ProfileFaultKind::Repeated);
  EXPECT_EQ(twice.fault->line, 3);
  EXPECT_EQ(twice.fault->firstLine, 1);
}

TEST(TorvikProfileText, ABadValueIsTheProfilesFaultAtItsLine) {
  const torvik::ParsedProfile parsed = torvik::ParseProfile("type = TR5\n\nmode = fast\n");
  ASSERT_FALSE(parsed.fault);
  const torvik::MergedOptions merged = torvik::MergeOptions(parsed.entries, {});
  ASSERT_TRUE(merged.fault);
  EXPECT_EQ(merged.fault->kind, ProfileFaultKind::BadValue);
  EXPECT_EQ(merged.fault->line, 3);
  EXPECT_EQ(merged.fault->key, "mode");
  EXPECT_EQ(merged.fault->value, "fast");
  for (const std::string text : {"boards = 0\n", "interval = 256\n", "port =\n", "direct = yes\n", "count = x\n"}) {
    const torvik::MergedOptions bad = torvik::MergeOptions(torvik::ParseProfile(text).entries, {});
    EXPECT_TRUE(bad.fault && bad.fault->kind == ProfileFaultKind::BadValue && bad.fault->line == 1) << text;
  }
  // The message names the file and the line, in both languages.
  const std::string text = torvik::ProfileFaultText("line-a.ini", *merged.fault);
  EXPECT_NE(text.find("line-a.ini:3: bad value for mode: fast"), std::string::npos) << text;
  EXPECT_NE(text.find("第 3 行"), std::string::npos) << text;
}

TEST(TorvikProfileText, TheCommandLineWinsOverTheProfile) {
  const torvik::ParsedProfile parsed =
      torvik::ParseProfile("port = /dev/ttyUSB0\nmode = ntrip\nboards = 3\nuser = u1\ninterval = 5\n");
  ASSERT_FALSE(parsed.fault);
  const std::vector<GivenOption> line{{"--mode", "vrs"}, {"--boards", "7"}, {"--gga", "$GPGGA"}, {"--boards", "2"}};
  const torvik::MergedOptions merged = torvik::MergeOptions(parsed.entries, line);
  ASSERT_FALSE(merged.fault);
  EXPECT_EQ(merged.options.port, "/dev/ttyUSB0");
  EXPECT_EQ(merged.options.mode, "vrs");
  EXPECT_EQ(merged.options.boards, 2) << "the line's last";
  EXPECT_EQ(merged.options.user, "u1");
  EXPECT_EQ(merged.options.interval, 5);
  EXPECT_EQ(merged.options.gga, "$GPGGA");
  EXPECT_FALSE(merged.options.apn);
  // What is saved: every option with a value, in the table's order.
  const std::vector<GivenOption> values{{"--port", "/dev/ttyUSB0"}, {"--mode", "vrs"}, {"--user", "u1"},
                                        {"--gga", "$GPGGA"},        {"--interval", "5"}, {"--boards", "2"}};
  EXPECT_EQ(merged.values, values);
}

TEST(TorvikProfileText, SavedOptionsReadBackAsTheSameOptions) {
  const std::vector<GivenOption> line{
      {"--port", "/dev/ttyUSB0"}, {"--type", "TR5"},         {"--count", "42"},         {"--direct", "off"},
      {"--apn", "custom"},        {"--apn-name", "corp.apn"}, {"--user", " lead blank"}, {"--password", "\"quoted\""},
      {"--mode", "ntrip"},        {"--local-id", ""},         {"--mount", "RTCM3 ;#"},   {"--user-pass", "a:b=c"},
      {"--gga", "'"},             {"--server-port", "-1"},    {"--boards", "3"},         {"--report", "boards.jsonl"},
      {"--address", "主机.example"}};
  const torvik::MergedOptions first = torvik::MergeOptions({}, line);
  ASSERT_FALSE(first.fault);
  const torvik::ProfileWriting written = torvik::WriteProfileText(first.values, "# header\n# second");
  ASSERT_TRUE(written.unsavable.empty());
  EXPECT_TRUE(written.text.starts_with("# header\n# second\n")) << written.text;
  const torvik::ParsedProfile parsed = torvik::ParseProfile(written.text);
  ASSERT_FALSE(parsed.fault) << written.text;
  const torvik::MergedOptions again = torvik::MergeOptions(parsed.entries, {});
  ASSERT_FALSE(again.fault);
  EXPECT_EQ(again.values, first.values) << written.text;
  EXPECT_TRUE(again.options == first.options) << written.text;
  EXPECT_EQ(again.options.user, " lead blank");
  EXPECT_EQ(again.options.password, "\"quoted\"");
  EXPECT_EQ(again.options.gga, "'");
  EXPECT_EQ(again.options.localId, "");

  // A line break cannot be written as a line: refused, not cut.
  const torvik::ProfileWriting broken =
      torvik::WriteProfileText(std::vector<GivenOption>{{"--mode", "vrs"}, {"--gga", "a\r\nb"}}, "#");
  EXPECT_EQ(broken.unsavable, "--gga");
  EXPECT_EQ(broken.text, "");
}

class TorvikProfileFile : public ::testing::Test {
 protected:
  testing_support::TempDir dir;
};

TEST_F(TorvikProfileFile, ALoadedProfileIsNamedByItsStemAndTheDigestOfItsBytes) {
  const std::string bytes = "# station 3\r\nmode = vrs\r\n";
  const std::string file = dir.File("station-3.line.ini");
  testing_support::WriteFile(file, bytes);
  const torvik::LoadedProfile loaded = torvik::LoadProfile(file);
  ASSERT_EQ(loaded.fault, "");
  EXPECT_EQ(loaded.identity.name, "station-3.line");
  EXPECT_EQ(loaded.identity.sha256, fw::Sha256Hex(bytes));
  EXPECT_EQ(loaded.identity.ShortDigest(), fw::Sha256Hex(bytes).substr(0, 12));
  ASSERT_EQ(loaded.entries.size(), 1u);
  EXPECT_EQ(loaded.entries[0].line, 2);
}

TEST_F(TorvikProfileFile, AFileThatCannotBeReadIsNamedWithTheCause) {
  const std::string missing = dir.File("missing.ini");
  EXPECT_NE(torvik::LoadProfile(missing).fault.find("cannot read the profile " + missing + ": No such file"),
            std::string::npos)
      << torvik::LoadProfile(missing).fault;
  const torvik::LoadedProfile folder = torvik::LoadProfile(dir.Path().string());
  EXPECT_NE(folder.fault.find("Is a directory"), std::string::npos) << folder.fault;
  const std::string large = dir.File("large.ini");
  testing_support::WriteFile(large, std::string(torvik::kProfileMaxBytes + 1, '#'));
  EXPECT_NE(torvik::LoadProfile(large).fault.find("is larger than"), std::string::npos);
  const std::string bad = dir.File("bad.ini");
  testing_support::WriteFile(bad, "mode = vrs\nbaud = 1\n");
  EXPECT_NE(torvik::LoadProfile(bad).fault.find(bad + ":2: unknown key baud"), std::string::npos)
      << torvik::LoadProfile(bad).fault;
}

TEST_F(TorvikProfileFile, ASavedProfileLoadsAsWritten) {
  const std::string file = dir.File("saved.ini");
  const std::vector<GivenOption> values{{"--port", "/dev/ttyS1"}, {"--mode", "gsm"}};
  ASSERT_FALSE(torvik::SaveProfile(file, values));
  const torvik::LoadedProfile loaded = torvik::LoadProfile(file);
  ASSERT_EQ(loaded.fault, "");
  EXPECT_EQ(torvik::MergeOptions(loaded.entries, {}).values, values);
  const std::optional<std::string> unwritable = torvik::SaveProfile(dir.File("no/such/dir/x.ini"), values);
  ASSERT_TRUE(unwritable);
  EXPECT_NE(unwritable->find("cannot write the profile"), std::string::npos) << *unwritable;
}

}  // namespace
