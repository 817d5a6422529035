// The line view's site without a socket, over a SQLite store filled through
// the records API: escaping, the token, masked logins, the language, the
// JSON's numbers, missing boards, a store that goes and comes back, odd
// queries; and `torvik records serve`'s refusals.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>

#include <gtest/gtest.h>

#include "records/cli/records_command.h"
#include "records/open_store.h"
#include "records/web/html_text.h"
#include "records/web/line_server.h"
#include "records/web/line_site.h"
#include "support/temp_dir.h"

namespace {

using records::web::LineSite;
using records::web::WebRequest;
using records::web::WebResponse;

constexpr std::string_view kHostile = "<script>alert(1)</script>";
constexpr std::string_view kQuotes = "a\"b'c&d";

TEST(HtmlText, EscapesEveryCharacterThatEndsTextOrAnAttribute) {
  EXPECT_EQ(records::web::EscapeHtml("<a href=\"x\" title='y'>&amp;</a>"),
            "&lt;a href=&quot;x&quot; title=&#39;y&#39;&gt;&amp;amp;&lt;/a&gt;");
  EXPECT_EQ(records::web::EscapeHtml("plain 板卡"), "plain 板卡");
  EXPECT_EQ(records::web::PercentEncode("L 1/?#&=%\xE6\x9D\xBF~_.-"), "L%201%2F%3F%23%26%3D%25%E6%9D%BF~_.-");
  EXPECT_EQ(records::web::QueryString({{"day", "2026-12-09"}, {"from", ""}, {"token", "a&b c"}}),
            "day=2026-12-09&token=a%26b%20c");
  EXPECT_EQ(records::web::MaskLogin("caster1:s3:cret"), "caster1:\xE2\x80\xA2\xE2\x80\xA2\xE2\x80\xA2\xE2\x80\xA2");
  EXPECT_EQ(records::web::MaskLogin("nopassword"), "nopassword");
}

TEST(ListenAddress, LoopbackAddressesAndTheirPorts) {
  const auto v4 = records::web::ParseListen("127.0.0.1:8470");
  ASSERT_TRUE(v4);
  EXPECT_EQ(v4->host, "127.0.0.1");
  EXPECT_EQ(v4->port, 8470);
  const auto v6 = records::web::ParseListen("[::1]:80");
  ASSERT_TRUE(v6);
  EXPECT_EQ(v6->host, "::1");
  for (const char* bad : {"127.0.0.1", ":8470", "127.0.0.1:", "127.0.0.1:0", "127.0.0.1:65536", "a b:1", "::1:80"})
    EXPECT_FALSE(records::web::ParseListen(bad)) << bad;
  for (const char* loop : {"127.0.0.1", "127.1.2.3", "::1", "localhost"}) EXPECT_TRUE(records::web::IsLoopback(loop));
  for (const char* open : {"0.0.0.0", "10.0.0.1", "127.0.0", "127.0.0.1.5", "127.evil.com", "::", "192.168.1.127"})
    EXPECT_FALSE(records::web::IsLoopback(open)) << open;
}

class LineSiteTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // Local days are UTC days here, so that the boards' day is known.
    setenv("TZ", "UTC", 1);
    tzset();
  }

  void SetUp() override { Fill(db); }

  void Fill(const std::string& path) {
    auto opened = records::OpenStore(path);
    ASSERT_TRUE(opened.Ok()) << opened.Error().detail;
    records::RecordStore& store = *opened.Value();
    Board(store, "line-1", std::string(kHostile), "caster1:s3cret", "2026-12-09T09:00:00Z", records::Outcome::Passed);
    Board(store, "line-1", "L-2", "caster2:pw2", "2026-12-09T09:10:00Z", records::Outcome::Failed);
    Board(store, std::string(kQuotes), "L-3", "caster3:pw3", "2026-12-09T10:00:00Z", records::Outcome::Passed);
    Board(store, "line-1", "L-4", "caster4:pw4", "2026-12-09T10:20:00Z", records::Outcome::Passed);
  }

  void Board(records::RecordStore& store, const std::string& station, const std::string& label,
             const std::string& login, const std::string& at, records::Outcome outcome) {
    records::IdentityRequest r;
    r.station = station;
    r.port = "/dev/ttyS0";
    r.label = label;
    r.operatorName = "op <b>";
    r.receiverType = "TR5";
    r.rate = 115200;
    r.date = {2026, 12, 9};
    r.login = login;
    r.startedAt = at;
    records::Result<records::Identity> taken = store.TakeIdentity(r);
    ASSERT_TRUE(taken.Ok()) << taken.Error().detail;
    serials.push_back(taken.Value().serialNumber);
    records::BoardResult result;
    result.outcome = outcome;
    result.exitCode = outcome == records::Outcome::Passed ? 0 : 3;
    result.endedAt = at.substr(0, 17) + "30Z";
    // The login goes to the receiver as a setting, in an item's bytes.
    result.settings = {{"caster", "<i>10.0.0.1</i>"}, {"user-pass", login}};
    const bool passed = outcome == records::Outcome::Passed;
    const std::string sentLogin = "$USER," + login + "\r";
    result.items = {{0, "mode", {0x24, 0x4D}, true, "acknowledged", at, at},
                    {1, "APN \"x\"", {0x0D}, true, passed ? "acknowledged" : "timed-out", at, at},
                    {2, "user-pass", {sentLogin.begin(), sentLogin.end()}, true, "acknowledged", at, at}};
    ASSERT_TRUE(store.FinishBoard(taken.Value().boardId, result).Ok());
  }

  static records::web::StoreOpener Opener(const std::string& path) {
    return [path] {
      records::OpenOptions o;
      o.readOnly = true;
      o.busyTimeoutMs = 200;
      return records::OpenStore(path, o);
    };
  }

  WebResponse Get(LineSite& site, std::string path, std::multimap<std::string, std::string> query = {},
                  std::string language = "en-US", std::string authorization = {}) {
    return site.Handle(WebRequest{std::move(path), std::move(query), std::move(language), std::move(authorization)});
  }

  static std::multimap<std::string, std::string> Day() { return {{"day", "2026-12-09"}}; }

  testing_support::TempDir dir;
  std::string db = dir.File("records.sqlite3");
  std::vector<std::string> serials;
};

TEST_F(LineSiteTest, StoreTextIsEscapedInTextAndAttributes) {
  LineSite site(Opener(db), {});
  const WebResponse r = Get(site, "/", Day());
  ASSERT_EQ(r.status, 200) << r.body;
  EXPECT_EQ(r.body.find(kHostile), std::string::npos);
  EXPECT_NE(r.body.find("&lt;script&gt;alert(1)&lt;/script&gt;"), std::string::npos);
  EXPECT_NE(r.body.find("data-station=\"a&quot;b&#39;c&amp;d\""), std::string::npos);
  EXPECT_EQ(r.body.find("<script"), std::string::npos);
  EXPECT_NE(r.body.find("<meta http-equiv=\"refresh\" content=\"10\">"), std::string::npos);
  EXPECT_NE(r.body.find("id=\"hours-chart\""), std::string::npos);

  const WebResponse board = Get(site, "/board/" + std::string(kHostile), Day());
  ASSERT_EQ(board.status, 200) << board.body;
  EXPECT_EQ(board.body.find("<i>10.0.0.1"), std::string::npos);
  EXPECT_EQ(board.body.find("op <b>"), std::string::npos);
  EXPECT_NE(board.body.find("APN &quot;x&quot;"), std::string::npos);
  EXPECT_NE(board.body.find("id=\"board-label\">&lt;script&gt;"), std::string::npos);
}

TEST_F(LineSiteTest, TheTotalsAndTheJsonHoldWhatWasPut) {
  LineSite site(Opener(db), {});
  const WebResponse page = Get(site, "/", Day());
  EXPECT_NE(page.body.find("id=\"line-boards\">4<"), std::string::npos);
  EXPECT_NE(page.body.find("id=\"line-passed\">3<"), std::string::npos);
  EXPECT_NE(page.body.find("id=\"line-failed\">1<"), std::string::npos);
  EXPECT_NE(page.body.find("id=\"line-yield\">75.0%<"), std::string::npos);
  EXPECT_NE(page.body.find("APN &quot;x&quot;"), std::string::npos) << "the timed-out item is a cause";
  // Every board of the day links to its own page; links name it by its serial number.
  for (const std::string& serial : serials)
    EXPECT_NE(page.body.find("class=\"board-link\" href=\"/board/" + serial + "?day=2026-12-09\""), std::string::npos);

  const WebResponse r = Get(site, "/api/summary", Day());
  ASSERT_EQ(r.status, 200) << r.body;
  EXPECT_NE(r.contentType.find("json"), std::string::npos);
  const nlohmann::json j = nlohmann::json::parse(r.body);
  EXPECT_EQ(j["from"], "2026-12-09");
  EXPECT_EQ(j["boards"], 4);
  EXPECT_EQ(j["passed"], 3);
  EXPECT_EQ(j["failed"], 1);
  EXPECT_DOUBLE_EQ(j["yield"].get<double>(), 0.75);
  ASSERT_EQ(j["stations"].size(), 2u);
  for (const auto& s : j["stations"]) {
    if (s["station"] == "line-1") {
      EXPECT_EQ(s["boards"], 3);
      EXPECT_EQ(s["failed"], 1);
      EXPECT_DOUBLE_EQ(s["boards_per_hour"].get<double>(), 1.5);  // 3 ended in 2 active hours
    } else {
      EXPECT_EQ(s["station"], kQuotes);
      EXPECT_EQ(s["boards"], 1);
    }
  }
  // Another day has none of them; its yield is no number.
  const nlohmann::json other =
      nlohmann::json::parse(Get(site, "/api/summary", {{"from", "2026-12-10"}, {"to", "2026-12-11"}}).body);
  EXPECT_EQ(other["boards"], 0);
  EXPECT_TRUE(other["yield"].is_null());
}

TEST_F(LineSiteTest, ATokenGuardsEveryPathAndLinksKeepIt) {
  LineSite site(Opener(db), {"s3 cr&t", false});
  for (const std::string path : {"/", "/api/summary", "/board/L-2", "/api/boards", "/nothing"}) {
    EXPECT_EQ(Get(site, path).status, 401) << path;
    EXPECT_EQ(Get(site, path, {{"token", "s3 cr&"}}).status, 401) << path;
    EXPECT_EQ(Get(site, path, {{"token", "s3 cr&tt"}}).status, 401) << path;
    EXPECT_EQ(Get(site, path, {}, "en", "Bearer wrong").status, 401) << path;
  }
  EXPECT_EQ(Get(site, "/api/summary", {}, "en", "Bearer s3 cr&t").status, 200);
  EXPECT_NE(Get(site, "/api/summary").body.find("\"error\""), std::string::npos);

  auto query = Day();
  query.emplace("token", "s3 cr&t");
  const WebResponse r = Get(site, "/", query);
  ASSERT_EQ(r.status, 200) << r.body;
  EXPECT_NE(r.body.find("href=\"/board/" + serials[1] + "?day=2026-12-09&amp;token=s3%20cr%26t\""),
            std::string::npos);
  EXPECT_NE(r.body.find("<input type=\"hidden\" name=\"token\" value=\"s3 cr&amp;t\">"), std::string::npos);
  // With the header alone, links carry no token.
  EXPECT_EQ(Get(site, "/", Day(), "en", "Bearer s3 cr&t").body.find("token="), std::string::npos);
}

TEST_F(LineSiteTest, ALoginsPasswordIsMaskedUnlessAsked) {
  LineSite masked(Opener(db), {});
  const WebResponse page = Get(masked, "/board/L-2");
  ASSERT_EQ(page.status, 200) << page.body;
  EXPECT_EQ(page.body.find("pw2"), std::string::npos);
  EXPECT_NE(page.body.find("caster2:\xE2\x80\xA2\xE2\x80\xA2\xE2\x80\xA2\xE2\x80\xA2"), std::string::npos);
  EXPECT_EQ(Get(masked, "/api/board/L-2").body.find("pw2"), std::string::npos);
  // Nor in the bytes that carried it ("pw2" is 70 77 32).
  EXPECT_EQ(page.body.find("70 77 32"), std::string::npos);
  EXPECT_EQ(Get(masked, "/api/board/L-2").body.find("707732"), std::string::npos);
  // A password is no search key; the whole login is.
  EXPECT_EQ(nlohmann::json::parse(Get(masked, "/api/boards", {{"q", "pw2"}}).body).size(), 0u);
  EXPECT_EQ(nlohmann::json::parse(Get(masked, "/api/boards", {{"q", "caster2:pw2"}}).body).size(), 1u);

  LineSite shown(Opener(db), {"", true});
  EXPECT_NE(Get(shown, "/board/L-2").body.find("caster2:pw2"), std::string::npos);
  EXPECT_NE(Get(shown, "/board/L-2").body.find("70 77 32"), std::string::npos);
  EXPECT_EQ(nlohmann::json::parse(Get(shown, "/api/board/caster2:pw2").body)["login"], "caster2:pw2");
}

TEST_F(LineSiteTest, ChineseForABrowserThatAsksForItFirst) {
  LineSite site(Opener(db), {});
  const WebResponse zh = Get(site, "/", Day(), "zh-CN,zh;q=0.9,en;q=0.8");
  EXPECT_NE(zh.body.find("lang=\"zh\""), std::string::npos);
  EXPECT_NE(zh.body.find("产线概览"), std::string::npos);
  const WebResponse en = Get(site, "/", Day(), "en-GB,zh;q=0.9");
  EXPECT_NE(en.body.find("Line view"), std::string::npos);
  EXPECT_EQ(en.body.find("产线概览"), std::string::npos);
}

TEST_F(LineSiteTest, SearchFindsBoardsByAnyKeyAndMissingBoardsAre404) {
  LineSite site(Opener(db), {});
  const nlohmann::json found = nlohmann::json::parse(Get(site, "/api/boards", {{"q", "l-3"}}).body);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0]["label"], "L-3");
  const WebResponse page = Get(site, "/search", {{"q", serials[3]}});
  EXPECT_NE(page.body.find("href=\"/board/" + serials[3] + "\""), std::string::npos);
  EXPECT_NE(Get(site, "/", {{"q", "L-4"}}).body.find("href=\"/board/" + serials[3] + "\""), std::string::npos);

  EXPECT_EQ(Get(site, "/board/NOPE").status, 404);
  const WebResponse api = Get(site, "/api/board/NOPE");
  EXPECT_EQ(api.status, 404);
  EXPECT_NE(nlohmann::json::parse(api.body)["error"].get<std::string>().find("NOPE"), std::string::npos);
  EXPECT_EQ(Get(site, "/no/such/page").status, 404);
}

TEST_F(LineSiteTest, OddQueriesAndPathsGetAnAnswer) {
  LineSite site(Opener(db), {});
  // A search text past 200 bytes is cut at a character, not refused.
  std::string longQ;
  for (int i = 0; i < 300; ++i) longQ += "\xC3\xBF";
  const WebResponse cut = Get(site, "/search", {{"q", longQ}});
  EXPECT_EQ(cut.status, 200);
  EXPECT_NE(cut.body.find(longQ.substr(0, 200)), std::string::npos);
  EXPECT_EQ(cut.body.find(longQ.substr(0, 202)), std::string::npos);
  EXPECT_EQ(nlohmann::json::parse(Get(site, "/api/boards", {{"q", std::string(100'000, '%')}}).body).size(), 0u);
  EXPECT_EQ(nlohmann::json::parse(Get(site, "/api/boards", {{"q", "' OR '1'='1"}}).body).size(), 0u);

  EXPECT_EQ(Get(site, "/", {{"day", "2026-02-30"}}).status, 400);
  EXPECT_EQ(Get(site, "/api/summary", {{"day", std::string(5000, 'x')}}).status, 400);
  EXPECT_EQ(Get(site, "/", {{"from", "2026-12-09"}, {"to", "9999-99-99"}}).status, 400);
  EXPECT_EQ(Get(site, std::string("/board/\0\xFF\n<", 12)).status, 404);
  EXPECT_EQ(Get(site, "/board/" + std::string(10'000, 'k')).status, 404);
  EXPECT_EQ(Get(site, std::string(70'000, '/')).status, 404);
}

TEST_F(LineSiteTest, AStoreThatIsGoneIs503UntilItIsBack) {
  const std::string later = dir.File("later.sqlite3");
  LineSite site(Opener(later), {});
  const WebResponse gone = Get(site, "/", Day());
  EXPECT_EQ(gone.status, 503);
  EXPECT_NE(gone.body.find("later.sqlite3"), std::string::npos) << "the store's own words";
  const WebResponse api = Get(site, "/api/summary", Day());
  EXPECT_EQ(api.status, 503);
  EXPECT_FALSE(nlohmann::json::parse(api.body)["error"].get<std::string>().empty());
  EXPECT_FALSE(std::filesystem::exists(later)) << "the site created the store";

  Fill(later);
  const WebResponse back = Get(site, "/api/summary", Day());
  ASSERT_EQ(back.status, 200) << back.body;
  EXPECT_EQ(nlohmann::json::parse(back.body)["boards"], 4);
}

struct Ran {
  int code = -1;
  std::string out;
  std::string err;
};

Ran Serve(std::vector<std::string> args) {
  std::ostringstream out, err;
  args.insert(args.begin(), "serve");
  Ran ran;
  ran.code = records::RunRecordsCommand({"torvik", records::RecordsFlavour::Boards}, args,
                                        {out, err, false, false, fw::UiLanguage::English});
  ran.out = out.str();
  ran.err = err.str();
  return ran;
}

TEST_F(LineSiteTest, ServeRefusesAnOpenAddressWithoutATokenAndATakenPort) {
  const Ran open = Serve({"--db", db, "--listen", "0.0.0.0:8470"});
  EXPECT_EQ(open.code, 64);
  EXPECT_NE(open.err.find("--token"), std::string::npos) << open.err;
  EXPECT_EQ(Serve({"--db", db, "--listen", "127.0.0.1"}).code, 64);
  EXPECT_EQ(Serve({"--db", db, "--listen", "127.0.0.1:99999"}).code, 64);
  EXPECT_EQ(Serve({"--db", db, "--token", ""}).code, 64);
  // brevan's records have no line view.
  std::ostringstream out, err;
  EXPECT_EQ(records::RunRecordsCommand({"brevan", records::RecordsFlavour::Upgrades}, {"serve", "--db", db},
                                       {out, err, false, false, fw::UiLanguage::English}),
            64);

  // A port another server holds, one that would share it (as a second line
  // view would): a message and a non-zero end, not a second server on it.
  const int holder = socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_GE(holder, 0);
  const int yes = 1;
  ASSERT_EQ(setsockopt(holder, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes), 0);
  ASSERT_EQ(setsockopt(holder, SOL_SOCKET, SO_REUSEPORT, &yes, sizeof yes), 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(holder, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ASSERT_EQ(listen(holder, 1), 0);
  socklen_t len = sizeof addr;
  ASSERT_EQ(getsockname(holder, reinterpret_cast<sockaddr*>(&addr), &len), 0);
  const std::string port = std::to_string(ntohs(addr.sin_port));
  const Ran taken = Serve({"--db", db, "--listen", "127.0.0.1:" + port});
  close(holder);
  EXPECT_NE(taken.code, 0);
  EXPECT_NE(taken.err.find("127.0.0.1:" + port), std::string::npos) << taken.err;
}

}  // namespace
