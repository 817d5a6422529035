// The line view's requests: the token, the language, the route, and the
// store opened again after it failed. Every answer comes from line_render.
#include "records/web/line_site.h"

#include <cctype>
#include <ctime>
#include <optional>
#include <tuple>

#include "framework/text_format.h"
#include "records/records_strings.h"
#include "records/web/html_text.h"
#include "records/web/line_render.h"
#include "records/web/line_strings.h"
#include "records/web/line_summary.h"

namespace records::web {
namespace {

constexpr std::size_t kMaxQuery = 200;   // bytes of a search text or a board's key
constexpr std::size_t kMaxFound = 100;   // boards a search lists
constexpr std::int64_t kSearched = 500;  // boards asked of the store for them (a masked login may drop some)
constexpr std::string_view kHtml = "text/html; charset=utf-8";
constexpr std::string_view kJson = "application/json; charset=utf-8";

// The first language the browser asks for decides: zh... is Chinese.
fw::UiLanguage LanguageOf(std::string_view header) {
  while (!header.empty() && (header.front() == ' ' || header.front() == '\t')) header.remove_prefix(1);
  if (header.size() >= 2 && std::tolower(static_cast<unsigned char>(header[0])) == 'z' &&
      std::tolower(static_cast<unsigned char>(header[1])) == 'h' &&
      (header.size() == 2 || header[2] == '-' || header[2] == '_' || header[2] == ',' || header[2] == ';'))
    return fw::UiLanguage::Chinese;
  return fw::UiLanguage::English;
}

// Whether two texts are equal, in a time that does not depend on where they differ.
bool SameSecret(std::string_view a, std::string_view b) {
  unsigned diff = a.size() == b.size() ? 0u : 1u;
  const std::size_t n = std::max(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const auto x = static_cast<unsigned char>(i < a.size() ? a[i] : 0);
    const auto y = static_cast<unsigned char>(i < b.size() ? b[i] : 0);
    diff |= static_cast<unsigned>(x ^ y);
  }
  return diff == 0;
}

std::string First(const WebRequest& r, const std::string& name) {
  const auto it = r.query.find(name);
  return it == r.query.end() ? std::string() : it->second;
}

bool HasQuery(const WebRequest& r, const std::string& name) { return r.query.find(name) != r.query.end(); }

// YYYY-MM-DD naming a day that exists.
std::optional<LocalDate> ParseDay(std::string_view text) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
  for (std::size_t i = 0; i < text.size(); ++i)
    if (i != 4 && i != 7 && !std::isdigit(static_cast<unsigned char>(text[i]))) return std::nullopt;
  const auto num = [&](std::size_t at, std::size_t len) {
    int v = 0;
    for (std::size_t i = at; i < at + len; ++i) v = v * 10 + (text[i] - '0');
    return v;
  };
  const LocalDate d{num(0, 4), num(5, 2), num(8, 2)};
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (d.year < 1970 || d.month < 1 || d.month > 12 || d.day < 1) return std::nullopt;
  const bool leap = (d.year % 4 == 0 && d.year % 100 != 0) || d.year % 400 == 0;
  const int last = kDays[d.month - 1] + (d.month == 2 && leap ? 1 : 0);
  if (d.day > last) return std::nullopt;
  return d;
}

bool Before(const LocalDate& a, const LocalDate& b) {
  return std::tie(a.year, a.month, a.day) < std::tie(b.year, b.month, b.day);
}

LocalDate Today() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool Contains(std::string_view text, std::string_view q) {
  if (q.size() > text.size()) return false;
  for (std::size_t at = 0; at + q.size() <= text.size(); ++at) {
    std::size_t i = 0;
    while (i < q.size() && Lower(text[at + i]) == Lower(q[i])) ++i;
    if (i == q.size()) return true;
  }
  return false;
}

// What the store found, as the page may show it: a login's hidden password
// part is no reason to list its board (the whole login still is).
bool Matches(const BoardRow& b, std::string_view q, bool showLogins) {
  return Contains(b.label, q) || Contains(b.serialNumber, q) || Contains(b.localId, q) ||
         Contains(ShownLogin(b.login, showLogins), q) || b.login == q;
}

// At most kMaxQuery bytes, cut where a UTF-8 character begins.
std::string Capped(std::string text) {
  if (text.size() <= kMaxQuery) return text;
  std::size_t end = kMaxQuery;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  text.resize(end);
  return text;
}

// What outlives a request: the store stays open until a call on it fails.
struct SiteCore {
  StoreOpener open;
  SiteOptions options;
  std::unique_ptr<RecordStore> store;
};

// One request's answer, with what it needs to word it.
class Answer {
 public:
  Answer(const WebRequest& request, SiteCore& state) : m_r(request), m_s(state) {
    m_api = m_r.path.starts_with("/api/");
    m_c.language = LanguageOf(m_r.acceptLanguage);
    m_c.showLogins = m_s.options.showLogins;
  }

  WebResponse Run() {
    if (!Authorised()) return Fail(401, Word(IDS_LINE_TOKEN_NEEDED));
    if (HasQuery(m_r, "token")) m_c.token = First(m_r, "token");
    m_c.day = First(m_r, "day");
    m_c.from = First(m_r, "from");
    m_c.to = First(m_r, "to");
    // A longer search text is cut: what no board holds in its first 200 bytes it holds in none.
    const std::string q = Capped(First(m_r, "q"));

    const std::string& p = m_r.path;
    if (p == "/" && !q.empty()) return Search(q);
    if (p == "/" || p == "/api/summary") return Summary();
    if (p == "/search" || p == "/api/boards") return Search(q);
    for (const std::string_view prefix : {"/board/", "/api/board/"})
      if (p.starts_with(prefix) && (p.starts_with("/api/") == m_api)) return Board(p.substr(prefix.size()));
    return Fail(404, fw::FormatText(Word(IDS_LINE_NO_PAGE), {p.substr(0, kMaxQuery)}));
  }

 private:
  bool Authorised() const {
    const std::string& token = m_s.options.token;
    if (token.empty()) return true;
    bool ok = false;
    const auto range = m_r.query.equal_range("token");
    for (auto it = range.first; it != range.second; ++it) ok = SameSecret(it->second, token) || ok;
    constexpr std::string_view kBearer = "Bearer ";
    if (m_r.authorization.starts_with(kBearer))
      ok = SameSecret(std::string_view(m_r.authorization).substr(kBearer.size()), token) || ok;
    return ok;
  }

  std::string Word(int id) const { return std::string(LineString(m_c.language, id)); }

  WebResponse Fail(int status, const std::string& message) const {
    if (m_api) return {status, std::string(kJson), ErrorJson(status, message)};
    return {status, std::string(kHtml), MessagePage(message, m_c, status == 503)};
  }

  // A failed store call: a missing board is 404, a day the store refuses 400,
  // anything else 503 with the connection dropped, so the next request opens it anew.
  WebResponse StoreFailed(const StoreError& e) {
    if (e.kind == ErrorKind::NotFound) return Fail(404, fw::FormatText(Word(IDS_LINE_NO_BOARD), {e.value}));
    if (e.kind == ErrorKind::BadDate) return Fail(400, fw::FormatText(Word(IDS_LINE_BAD_DAY), {e.value}));
    m_s.store.reset();
    return Fail(503, fw::FormatText(Word(IDS_LINE_STORE_DOWN), {Describe(e, m_c.language)}));
  }

  // The store, opened when the last request left none; nullptr after answering.
  RecordStore* Store(WebResponse& failed) {
    if (m_s.store) return m_s.store.get();
    Result<std::unique_ptr<RecordStore>> opened = m_s.open();
    if (!opened.Ok()) {
      failed = StoreFailed(opened.Error());
      return nullptr;
    }
    if (!opened.Value()) {
      failed = StoreFailed(MakeError(ErrorKind::Unreachable, {}));
      return nullptr;
    }
    m_s.store = std::move(opened.Value());
    return m_s.store.get();
  }

  std::optional<DaySpan> Span(WebResponse& failed) const {
    const auto bad = [&](const std::string& v) {
      failed = Fail(400, fw::FormatText(Word(IDS_LINE_BAD_DAY), {v.substr(0, 40)}));
      return std::nullopt;
    };
    if (!m_c.day.empty()) {
      const std::optional<LocalDate> d = ParseDay(m_c.day);
      if (!d) return bad(m_c.day);
      return DaySpan{*d, *d};
    }
    if (m_c.from.empty() && m_c.to.empty()) return DaySpan{Today(), Today()};
    const std::optional<LocalDate> from = ParseDay(m_c.from.empty() ? m_c.to : m_c.from);
    if (!from) return bad(m_c.from);
    const std::optional<LocalDate> to = ParseDay(m_c.to.empty() ? m_c.from : m_c.to);
    if (!to) return bad(m_c.to);
    if (Before(*to, *from)) return DaySpan{*to, *from};
    return DaySpan{*from, *to};
  }

  WebResponse Summary() {
    WebResponse failed;
    const std::optional<DaySpan> span = Span(failed);
    if (!span) return failed;
    RecordStore* store = Store(failed);
    if (!store) return failed;
    Result<LineSummary> s = Summarize(*store, *span);
    if (!s.Ok()) return StoreFailed(s.Error());
    if (m_api) return {200, std::string(kJson), SummaryJson(s.Value())};
    return {200, std::string(kHtml), OverviewPage(s.Value(), m_c)};
  }

  WebResponse Search(const std::string& q) {
    WebResponse failed;
    std::vector<BoardRow> found;
    if (!q.empty()) {
      RecordStore* store = Store(failed);
      if (!store) return failed;
      const StoreError e = store->SearchBoards(q, kSearched, [&](const BoardRow& row) {
        if (found.size() < kMaxFound && Matches(row, q, m_c.showLogins)) found.push_back(row);
      });
      if (!e.Ok()) return StoreFailed(e);
    }
    if (m_api) return {200, std::string(kJson), BoardsJson(found, m_c.showLogins)};
    return {200, std::string(kHtml), SearchPage(q, found, m_c)};
  }

  WebResponse Board(const std::string& key) {
    if (key.empty() || key.size() > kMaxQuery)
      return Fail(404, fw::FormatText(Word(IDS_LINE_NO_BOARD), {key.substr(0, kMaxQuery)}));
    WebResponse failed;
    RecordStore* store = Store(failed);
    if (!store) return failed;
    Result<BoardDetail> found = store->FindBoard(key);
    if (!found.Ok()) {
      StoreError e = found.Error();
      if (e.kind == ErrorKind::NotFound) e.value = key;
      return StoreFailed(e);
    }
    // The login's password also stands in the settings and in the bytes sent.
    if (!m_c.showLogins) MaskPassword(found.Value());
    if (m_api) return {200, std::string(kJson), BoardJson(found.Value(), m_c.showLogins)};
    return {200, std::string(kHtml), BoardPage(found.Value(), m_c)};
  }

  const WebRequest& m_r;
  SiteCore& m_s;
  PageContext m_c;
  bool m_api = false;
};

}  // namespace

struct LineSite::State {
  SiteCore core;
};

LineSite::LineSite(StoreOpener open, SiteOptions options)
    : m_state(std::make_unique<State>(State{SiteCore{std::move(open), std::move(options), nullptr}})) {}
LineSite::~LineSite() = default;

WebResponse LineSite::Handle(const WebRequest& request) {
  Answer answer(request, m_state->core);
  return answer.Run();
}

}  // namespace records::web
