// `torvik records` and `brevan records` over a store filled through the
// records API: the filters of list, show by every kind of key, exports parsed
// back, the logins of a date, and the codes of usage faults and bad stores.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "configurator/app/torvik_terminal.h"
#include "records/cli/records_command.h"
#include "records/open_store.h"
#include "support/temp_dir.h"
#include "updater/app/brevan_terminal.h"

namespace {

using records::RecordsFlavour;

struct Ran {
  int code = -1;
  std::string out;
  std::string err;
};

// RFC 4180: quoted fields with doubled quotes, rows ending in CRLF.
std::vector<std::vector<std::string>> ParseCsv(const std::string& text) {
  std::vector<std::vector<std::string>> rows(1);
  std::string field;
  bool quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') field += text[++i];
      else if (c == '"') quoted = false;
      else field += c;
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      rows.back().push_back(std::move(field));
      field.clear();
    } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      rows.back().push_back(std::move(field));
      field.clear();
      rows.emplace_back();
      ++i;
    } else {
      field += c;
    }
  }
  if (rows.back().empty()) rows.pop_back();
  return rows;
}

std::size_t Column(const std::vector<std::string>& header, const std::string& name) {
  const auto it = std::find(header.begin(), header.end(), name);
  EXPECT_NE(it, header.end()) << name;
  return static_cast<std::size_t>(it - header.begin());
}

class RecordsCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    auto opened = records::OpenStore(db);
    ASSERT_TRUE(opened.Ok()) << opened.Error().detail;
    records::RecordStore& store = *opened.Value();
    // Three boards over two days and two stations; the last one with a label a CSV must quote.
    Board(store, "line-1", "L-100", "2026-12-08T09:00:00Z", records::Outcome::Passed);
    Board(store, "line-2", "L-101", "2026-12-09T10:00:00Z", records::Outcome::Failed);
    Board(store, "line-1", "L-102, \"rework\"", "2026-12-09T11:00:00Z", records::Outcome::Passed);
    Upgrade(store, "bench-1", "SN1", "upgraded", "2026-12-08T08:00:00Z");
    Upgrade(store, "bench-2", "SN2", "timed-out", "2026-12-09T08:00:00Z");
    Upgrade(store, "bench-1", "SN1", "upgraded", "2026-12-09T09:00:00Z");
  }
  void Board(records::RecordStore& store, const std::string& station, const std::string& label,
             const std::string& at, records::Outcome outcome) {
    records::IdentityRequest r;
    r.station = station;
    r.port = "/dev/ttyS0";
    r.label = label;
    r.receiverType = "TR5";
    r.rate = 115200;
    r.date = {2026, 12, at[9] == '8' ? 8 : 9};
    r.startedAt = at;
    records::Result<records::Identity> taken = store.TakeIdentity(r);
    ASSERT_TRUE(taken.Ok()) << taken.Error().detail;
    identities.push_back(taken.Value());
    records::BoardResult result;
    result.outcome = outcome;
    result.exitCode = outcome == records::Outcome::Passed ? 0 : 3;
    result.endedAt = at.substr(0, 17) + "30Z";
    result.settings = {{"mode", "ntrip"}, {"caster", "10.0.0.1:2101"}};
    result.items = {{0, "mode", {0x24, 0x4D, 0x0D}, true, "acknowledged", at, at}};
    ASSERT_TRUE(store.FinishBoard(taken.Value().boardId, result).Ok());
  }
  static void Upgrade(records::RecordStore& store, const std::string& station, const std::string& serial,
                      const std::string& outcome, const std::string& at) {
    records::UpgradeRecord u;
    u.station = station;
    u.port = "/dev/ttyS1";
    u.boardSerial = serial;
    u.module = "EM310.00";
    u.softwareVersion = "591021";
    u.slot = 2;
    u.imageVersion = "V2.10";
    u.pages = 40;
    u.pagesResent = outcome == "upgraded" ? 1 : 0;
    u.outcome = outcome;
    u.durationMs = 12345;
    u.startedAt = at;
    u.endedAt = at;
    ASSERT_TRUE(store.RecordUpgrade(u).Ok());
  }

  Ran Run(RecordsFlavour flavour, std::vector<std::string> args, bool withDb = true, bool terminal = false,
          fw::UiLanguage language = fw::UiLanguage::English) {
    if (withDb) args.insert(args.end(), {"--db", db});
    std::ostringstream out, err;
    Ran ran;
    ran.code = records::RunRecordsCommand({flavour == RecordsFlavour::Boards ? "torvik" : "brevan", flavour}, args,
                                          {out, err, terminal, false, language});
    ran.out = out.str();
    ran.err = err.str();
    return ran;
  }
  static std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  testing_support::TempDir dir;
  std::string db = dir.File("records.sqlite3");
  std::vector<records::Identity> identities;
};

TEST_F(RecordsCommand, ListIsNewestFirstAndEachFilterNarrowsIt) {
  Ran all = Run(RecordsFlavour::Boards, {"list"});
  ASSERT_EQ(all.code, 0) << all.err;
  std::vector<std::string> lines = Lines(all.out);
  ASSERT_EQ(lines.size(), 4u) << all.out;
  EXPECT_EQ(lines[0].substr(0, 7), "Started");
  EXPECT_NE(lines[1].find(identities[2].serialNumber), std::string::npos);
  EXPECT_NE(lines[3].find(identities[0].serialNumber), std::string::npos);
  EXPECT_NE(lines[1].find("\t" + identities[2].login + "\t"), std::string::npos) << "tab-separated off a terminal";

  EXPECT_EQ(Lines(Run(RecordsFlavour::Boards, {"list", "--since", "2026-12-09"}).out).size(), 3u);
  EXPECT_EQ(Lines(Run(RecordsFlavour::Boards, {"list", "--since", "2026-12-09T10:30:00Z"}).out).size(), 2u);
  const Ran station = Run(RecordsFlavour::Boards, {"list", "--station", "line-2"});
  ASSERT_EQ(Lines(station.out).size(), 2u);
  EXPECT_NE(station.out.find(identities[1].serialNumber), std::string::npos);
  const Ran passed = Run(RecordsFlavour::Boards, {"list", "--outcome", "passed", "--limit", "1"});
  ASSERT_EQ(Lines(passed.out).size(), 2u);
  EXPECT_NE(passed.out.find(identities[2].serialNumber), std::string::npos);

  const Ran upgrades = Run(RecordsFlavour::Upgrades, {"list", "--station", "bench-1"});
  ASSERT_EQ(upgrades.code, 0) << upgrades.err;
  lines = Lines(upgrades.out);
  ASSERT_EQ(lines.size(), 3u) << upgrades.out;
  EXPECT_EQ(lines[1].substr(0, 20), "2026-12-09T09:00:00Z");
  EXPECT_NE(lines[1].find("EM310.00"), std::string::npos);
  EXPECT_NE(lines[1].find("12.3"), std::string::npos) << "the duration in seconds";
}

TEST_F(RecordsCommand, OnATerminalTheListIsAnAlignedTable) {
  const Ran ran = Run(RecordsFlavour::Boards, {"list"}, true, true);
  ASSERT_EQ(ran.code, 0);
  const std::vector<std::string> lines = Lines(ran.out);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(ran.out.find('\t'), std::string::npos);
  // The serial number column starts at one place on every line.
  const std::size_t at = lines[1].find(identities[2].serialNumber);
  EXPECT_EQ(lines[0].find("Serial number"), at);
  EXPECT_EQ(lines[3].find(identities[0].serialNumber), at);
  const Ran none = Run(RecordsFlavour::Boards, {"list", "--station", "nowhere"}, true, true);
  EXPECT_EQ(none.code, 0);
  EXPECT_NE(none.err.find("no records that match"), std::string::npos) << none.err;
}

TEST_F(RecordsCommand, ShowFindsABoardByEachKindOfKey) {
  const records::Identity& id = identities[2];
  for (const std::string& key : {id.serialNumber, std::string("L-102, \"rework\""), id.localId, id.login}) {
    const Ran ran = Run(RecordsFlavour::Boards, {"show", key});
    ASSERT_EQ(ran.code, 0) << key << ran.err;
    EXPECT_NE(ran.out.find("Serial number:     " + id.serialNumber), std::string::npos) << ran.out;
    EXPECT_NE(ran.out.find("caster = 10.0.0.1:2101"), std::string::npos) << ran.out;
    EXPECT_NE(ran.out.find("24 4D 0D"), std::string::npos) << "every item with its bytes: " << ran.out;
  }
  const Ran json = Run(RecordsFlavour::Boards, {"show", id.login, "--json"});
  ASSERT_EQ(json.code, 0) << json.err;
  const nlohmann::json board = nlohmann::json::parse(json.out);
  EXPECT_EQ(board["serial_number"], id.serialNumber);
  EXPECT_EQ(board["label"], "L-102, \"rework\"");
  ASSERT_EQ(board["items"].size(), 1u);
  EXPECT_EQ(board["items"][0]["reply_awaited"], true);

  const Ran upgrades = Run(RecordsFlavour::Upgrades, {"show", "SN1"});
  ASSERT_EQ(upgrades.code, 0) << upgrades.err;
  EXPECT_EQ(Lines(upgrades.out).size(), 2u * 13 + 1) << "two upgrades of SN1 apart by a blank line: " << upgrades.out;
  EXPECT_LT(upgrades.out.find("2026-12-09T09:00:00Z"), upgrades.out.find("2026-12-08T08:00:00Z")) << "newest first";
}

TEST_F(RecordsCommand, AnUnknownKeyIsToldAndEndsInOne) {
  const Ran board = Run(RecordsFlavour::Boards, {"show", "Z99999999"});
  EXPECT_EQ(board.code, 1);
  EXPECT_EQ(board.out, "");
  EXPECT_NE(board.err.find("has no board for \"Z99999999\""), std::string::npos) << board.err;
  const Ran upgrade = Run(RecordsFlavour::Upgrades, {"show", "SN404"});
  EXPECT_EQ(upgrade.code, 1);
  EXPECT_NE(upgrade.err.find("no upgrade of board \"SN404\""), std::string::npos) << upgrade.err;
}

TEST_F(RecordsCommand, TheCsvExportParsesBackWithItsQuotedLabel) {
  const Ran ran = Run(RecordsFlavour::Boards, {"export", "--format", "csv"});
  ASSERT_EQ(ran.code, 0) << ran.err;
  const auto rows = ParseCsv(ran.out);
  ASSERT_EQ(rows.size(), 4u) << ran.out;
  const std::vector<std::string>& header = rows[0];
  for (const char* name : {"serial_number", "local_id", "login", "label", "station", "outcome", "started_at",
                           "ended_at"})
    Column(header, name);
  const auto label = Column(header, "label");
  const auto serial = Column(header, "serial_number");
  bool quotedLabelSeen = false;
  for (std::size_t i = 1; i < rows.size(); ++i) {
    ASSERT_EQ(rows[i].size(), header.size()) << i;
    if (rows[i][serial] == identities[2].serialNumber) {
      EXPECT_EQ(rows[i][label], "L-102, \"rework\"");
      EXPECT_EQ(rows[i][Column(header, "login")], identities[2].login);
      quotedLabelSeen = true;
    }
  }
  EXPECT_TRUE(quotedLabelSeen);
  EXPECT_NE(ran.out.find("\"L-102, \"\"rework\"\"\""), std::string::npos) << "quoted, quotes doubled";

  const Ran upgrades = Run(RecordsFlavour::Upgrades, {"export", "--format", "csv", "--outcome", "timed-out"});
  const auto up = ParseCsv(upgrades.out);
  ASSERT_EQ(up.size(), 2u) << upgrades.out;
  EXPECT_EQ(up[1][Column(up[0], "board_serial")], "SN2");
  EXPECT_EQ(up[1][Column(up[0], "module")], "EM310.00");
  EXPECT_EQ(up[1][Column(up[0], "image_version")], "V2.10");
  EXPECT_EQ(up[1][Column(up[0], "outcome")], "timed-out");
}

TEST_F(RecordsCommand, TheJsonExportGoesToAFileAndParsesBack) {
  const std::string file = dir.File("boards.json");
  const Ran ran = Run(RecordsFlavour::Boards, {"export", "--format", "json", "--out", file, "--since", "2026-12-09"});
  ASSERT_EQ(ran.code, 0) << ran.err;
  EXPECT_EQ(ran.out, "");
  std::ifstream in(file);
  const nlohmann::json boards = nlohmann::json::parse(in);
  ASSERT_EQ(boards.size(), 2u);
  EXPECT_EQ(boards[0]["serial_number"], identities[2].serialNumber);
  EXPECT_EQ(boards[1]["outcome"], "failed");
  const Ran upgrades = Run(RecordsFlavour::Upgrades, {"export", "--format", "json", "--limit", "2"});
  const nlohmann::json u = nlohmann::json::parse(upgrades.out);
  ASSERT_EQ(u.size(), 2u);
  EXPECT_EQ(u[0]["pages_resent"], 1);
  EXPECT_EQ(u[1]["board_serial"], "SN2");
  const Ran unwritable = Run(RecordsFlavour::Boards, {"export", "--format", "csv", "--out", dir.File("no/such.csv")});
  EXPECT_EQ(unwritable.code, 1);
  EXPECT_NE(unwritable.err.find("cannot write"), std::string::npos);
}

TEST_F(RecordsCommand, LoginsSinceADateAreTheOnesHandedOutFromThen) {
  const Ran ran = Run(RecordsFlavour::Boards, {"logins", "--since", "2026-12-09"});
  ASSERT_EQ(ran.code, 0) << ran.err;
  const auto rows = ParseCsv(ran.out);
  ASSERT_EQ(rows.size(), 3u) << ran.out;
  const auto login = Column(rows[0], "login");
  EXPECT_EQ(rows[1][login], identities[1].login) << "oldest first";
  EXPECT_EQ(rows[2][login], identities[2].login);
  EXPECT_EQ(ParseCsv(Run(RecordsFlavour::Boards, {"logins"}).out).size(), 4u);
}

TEST_F(RecordsCommand, BadUsageEndsInSixtyFourWithTheUsage) {
  const std::vector<std::vector<std::string>> bad = {
      {},         {"frobnicate"}, {"show"},        {"export"},        {"export", "--format", "xml"},
      {"list", "--limit", "0"}, {"list", "--since", "yesterday"}, {"list", "--format", "csv"},
      {"logins", "--station", "x"}, {"list", "--db"}};
  for (const auto& args : bad) {
    const Ran ran = Run(RecordsFlavour::Boards, args, false);
    EXPECT_EQ(ran.code, 64) << testing::PrintToString(args);
    EXPECT_NE(ran.err.find("usage: torvik records"), std::string::npos) << testing::PrintToString(args);
    EXPECT_EQ(ran.out, "");
  }
  const Ran logins = Run(RecordsFlavour::Upgrades, {"logins"});
  EXPECT_EQ(logins.code, 64) << "brevan hands out no logins";
  EXPECT_NE(logins.err.find("usage: brevan records"), std::string::npos);
  EXPECT_EQ(Run(RecordsFlavour::Boards, {"list", "--db", "none"}, false).code, 64);

  const Ran help = Run(RecordsFlavour::Upgrades, {"--help"}, false, false, fw::UiLanguage::Chinese);
  EXPECT_EQ(help.code, 0);
  EXPECT_NE(help.out.find("用法: brevan records"), std::string::npos);
  EXPECT_EQ(Run(RecordsFlavour::Boards, {"show", "--help"}, false).code, 0);
}

TEST_F(RecordsCommand, ABadStoreEndsInSixWithItsMessageAndIsNeverWritten) {
  const std::string corrupt = dir.File("corrupt.sqlite3");
  testing_support::WriteFile(corrupt, std::string(4096, '\x5a'));
  const Ran ran = Run(RecordsFlavour::Boards, {"list", "--db", corrupt}, false);
  EXPECT_EQ(ran.code, 6);
  EXPECT_NE(ran.err.find("damaged or not a record store"), std::string::npos) << ran.err;
  const Ran missing = Run(RecordsFlavour::Upgrades, {"export", "--format", "csv", "--db", dir.File("none.sqlite3")}, false);
  EXPECT_EQ(missing.code, 6) << missing.err;
  EXPECT_FALSE(std::filesystem::exists(dir.File("none.sqlite3"))) << "read-only: nothing is created";
}

// The programs hand "records" to the command with their flavour.
TEST_F(RecordsCommand, BothProgramsDispatchRecordsToIt) {
  std::ostringstream out, err;
  torvik::TorvikTerminalRun run;
  run.language = fw::UiLanguage::English;
  EXPECT_EQ(torvik::RunTorvikTerminal({"records", "logins", "--db", db}, run, out, err), 0) << err.str();
  EXPECT_NE(out.str().find(identities[0].login), std::string::npos);
  std::ostringstream bout, berr;
  const brevan::TerminalRun brun{fw::UiLanguage::English, "/nonexistent/brevan",
                                 fw::CProfile::AtFile(dir.File("b.INI")), false, false};
  EXPECT_EQ(brevan::RunBrevanTerminal({"records", "show", "SN2", "--db", db}, brun, bout, berr), 0) << berr.str();
  EXPECT_NE(bout.str().find("timed-out"), std::string::npos);
}

}  // namespace
