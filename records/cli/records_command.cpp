#include "records/cli/records_command.h"

#include <array>
#include <charconv>
#include <fstream>
#include <memory>
#include <optional>

#include "framework/text_format.h"
#include "frontend/exit_codes.h"
#include "frontend/option_table.h"
#include "records/cli/records_cli_strings.h"
#include "records/cli/records_views.h"
#include "records/open_store.h"
#include "records/records_strings.h"
#include "records/store_export.h"
#include "records/utc_time.h"
#include "records/web/line_server.h"
#include "records/web/line_strings.h"

namespace records {
namespace {

constexpr int kExitNothing = 1;

enum class Verb { List, Show, Export, Logins, Serve };

struct Request {
  Verb verb = Verb::List;
  std::string key;
  std::string db;  // empty: the default file
  RecordFilter filter;
  std::optional<ExportFormat> format;
  std::optional<std::string> out;
  bool json = false;
  std::string listen{web::kDefaultListen};
  std::string token;
  bool showLogins = false;
};

constexpr std::array<fe::OptionSpec, 11> kOptions{{
    {"--db", fe::Takes::Value},
    {"--since", fe::Takes::Value},
    {"--station", fe::Takes::Value},
    {"--outcome", fe::Takes::Value},
    {"--limit", fe::Takes::Value},
    {"--format", fe::Takes::Value},
    {"--out", fe::Takes::Value},
    {"--json", fe::Takes::Nothing},
    {"--listen", fe::Takes::Value},
    {"--token", fe::Takes::Value},
    {"--show-logins", fe::Takes::Nothing},
}};

// A date (2026-12-09) or a UTC time, as the store compares them.
bool ValidSince(std::string_view text) {
  if (ValidUtc(text)) return true;
  return text.size() == 10 && ValidUtc(std::string(text) + "T00:00:00Z");
}

std::optional<std::int64_t> Positive(std::string_view text) {
  std::int64_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value <= 0) return std::nullopt;
  return value;
}

// Which options each verb takes.
bool Allowed(Verb verb, std::string_view name, RecordsFlavour flavour) {
  if (name == "--db") return true;
  const bool filter = name == "--station" || name == "--outcome" || name == "--limit";
  switch (verb) {
    case Verb::List: return filter || name == "--since";
    case Verb::Show: return name == "--json" && flavour == RecordsFlavour::Boards;
    case Verb::Export: return filter || name == "--since" || name == "--format" || name == "--out";
    case Verb::Logins: return name == "--since" || name == "--out";
    case Verb::Serve: return name == "--listen" || name == "--token" || name == "--show-logins";
  }
  return false;
}

std::optional<Verb> VerbNamed(std::string_view word, RecordsFlavour flavour) {
  if (word == "list") return Verb::List;
  if (word == "show") return Verb::Show;
  if (word == "export") return Verb::Export;
  if (word == "logins" && flavour == RecordsFlavour::Boards) return Verb::Logins;
  if (word == "serve" && flavour == RecordsFlavour::Boards) return Verb::Serve;
  return std::nullopt;
}

class Command {
 public:
  Command(const RecordsProgram& program, const fe::Console& console) : m_program(program), m_console(console) {}

  int Run(const std::vector<std::string>& args) {
    const std::string_view usage = Usage();
    bool help = false;
    const std::optional<std::string> bad = Read(args, help);
    if (help) {
      m_console.out << usage << '\n';
      return fe::kExitDone;
    }
    if (bad) return Usage(*bad);
    std::optional<web::ListenAddress> listen;
    if (m_request.verb == Verb::Serve) {
      listen = web::ParseListen(m_request.listen);
      if (!listen) return ServeRefused(web::IDS_LINE_BAD_LISTEN, m_request.listen);
      // Anyone who can reach the address would see the line's boards and logins.
      if (!web::IsLoopback(listen->host) && m_request.token.empty())
        return ServeRefused(web::IDS_LINE_NEEDS_TOKEN, m_request.listen);
    }
    OpenOptions options;
    options.readOnly = true;
    Result<std::unique_ptr<RecordStore>> opened = OpenStore(m_request.db, options);
    if (!opened.Ok()) return StoreFailed(opened.Error());
    if (!opened.Value()) return Usage("--db");  // none: there is nothing to read
    m_store = std::move(opened.Value());
    if (listen) return Serve(*listen, options);
    return Dispatch();
  }

 private:
  // The argument at fault ("" for a missing verb or key), nullopt when the line is fine.
  std::optional<std::string> Read(const std::vector<std::string>& args, bool& help) {
    if (args.empty()) return std::string();
    if (args.front() == "--help" || args.front() == "-h") {
      help = true;
      return std::nullopt;
    }
    const std::optional<Verb> verb = VerbNamed(args.front(), m_program.flavour);
    if (!verb) return args.front();
    m_request.verb = *verb;
    std::size_t first = 1;
    if (*verb == Verb::Show) {
      if (args.size() < 2 || args[1].starts_with("-")) {
        for (const std::string& a : args) help = help || a == "--help" || a == "-h";
        return std::string();  // no key
      }
      m_request.key = args[1];
      first = 2;
    }
    const std::vector<std::string> rest(args.begin() + static_cast<std::ptrdiff_t>(first), args.end());
    const std::array<std::span<const fe::OptionSpec>, 1> tables{kOptions};
    const fe::ParseVerdict verdict =
        fe::ParseOptions(tables, rest, [this](std::string_view name, const std::string& value) {
          return Take(name, value);
        });
    help = verdict.help;
    if (!verdict.ok) return verdict.badOption;
    if (*verb == Verb::Export && !m_request.format) return std::string("--format");
    return std::nullopt;
  }

  bool Take(std::string_view name, const std::string& value) {
    if (!Allowed(m_request.verb, name, m_program.flavour)) return false;
    RecordFilter& f = m_request.filter;
    if (name == "--db") m_request.db = value;
    else if (name == "--since") {
      if (!ValidSince(value)) return false;
      f.since = value;
    } else if (name == "--station") f.station = value;
    else if (name == "--outcome") f.outcome = value;
    else if (name == "--limit") {
      const std::optional<std::int64_t> n = Positive(value);
      if (!n) return false;
      f.limit = *n;
    } else if (name == "--format") {
      if (value != "csv" && value != "json") return false;
      m_request.format = value == "csv" ? ExportFormat::Csv : ExportFormat::Json;
    } else if (name == "--out") {
      if (value.empty()) return false;
      m_request.out = value;
    } else if (name == "--json") m_request.json = true;
    else if (name == "--listen") m_request.listen = value;
    else if (name == "--token") m_request.token = value;
    else if (name == "--show-logins") m_request.showLogins = true;
    return !value.empty() || name == "--json" || name == "--show-logins";
  }

  int Dispatch() {
    switch (m_request.verb) {
      case Verb::List: return List();
      case Verb::Show: return Show();
      case Verb::Export:
      case Verb::Logins: return Export();
      case Verb::Serve: break;
    }
    return fe::kExitUsage;
  }

  int List() {
    const bool boards = m_program.flavour == RecordsFlavour::Boards;
    RowTable table(Lines(RecordsCliString(m_console.language, boards ? IDS_RC_BOARD_COLUMNS : IDS_RC_UPGRADE_COLUMNS)),
                   m_console.outIsTerminal, m_console.out);
    std::int64_t rows = 0;
    const StoreError e =
        boards ? m_store->ForEachBoard(m_request.filter, [&](const BoardRow& row) { table.Row(BoardCells(row)); ++rows; })
               : m_store->ForEachUpgrade(m_request.filter,
                                         [&](const UpgradeRow& row) { table.Row(UpgradeCells(row)); ++rows; });
    if (!e.Ok()) return StoreFailed(e);
    table.Finish();
    if (rows == 0 && m_console.outIsTerminal)
      m_console.err << fw::FormatText(RecordsCliString(m_console.language, IDS_RC_NONE_LISTED), {m_store->Name()})
                    << '\n';
    return fe::kExitDone;
  }

  int Show() {
    if (m_program.flavour == RecordsFlavour::Boards) {
      Result<BoardDetail> found = m_store->FindBoard(m_request.key);
      if (!found.Ok()) {
        if (found.Error().kind != ErrorKind::NotFound) return StoreFailed(found.Error());
        m_console.err << Describe(found.Error(), m_console.language) << '\n';
        return kExitNothing;
      }
      if (m_request.json) WriteBoardJson(found.Value(), m_console.out);
      else PrintBoard(found.Value(), m_console.language, m_console.out);
      return fe::kExitDone;
    }
    // Newest first, as list gives them; the store keeps no index by board serial.
    std::int64_t shown = 0;
    const StoreError e = m_store->ForEachUpgrade({}, [&](const UpgradeRow& row) {
      if (row.upgrade.boardSerial != m_request.key) return;
      if (shown++ > 0) m_console.out << '\n';
      PrintUpgrade(row.upgrade, m_console.language, m_console.out);
    });
    if (!e.Ok()) return StoreFailed(e);
    if (shown > 0) return fe::kExitDone;
    m_console.err << fw::FormatText(RecordsCliString(m_console.language, IDS_RC_NO_UPGRADES),
                                    {m_store->Name(), m_request.key})
                  << '\n';
    return kExitNothing;
  }

  int Export() {
    std::ofstream file;
    if (m_request.out) {
      file.open(*m_request.out, std::ios::binary | std::ios::trunc);
      if (!file) return OutFailed();
    }
    std::ostream& out = m_request.out ? static_cast<std::ostream&>(file) : m_console.out;
    const ExportFormat format = m_request.format.value_or(ExportFormat::Csv);
    const Result<std::int64_t> written =
        m_request.verb == Verb::Logins ? ExportLogins(*m_store, m_request.filter.since, out)
        : m_program.flavour == RecordsFlavour::Boards ? ExportBoards(*m_store, m_request.filter, format, out)
                                                       : ExportUpgrades(*m_store, m_request.filter, format, out);
    if (!written.Ok()) return StoreFailed(written.Error());
    out.flush();
    if (m_request.out) {
      file.close();
      if (file.fail()) return OutFailed();
    }
    return fe::kExitDone;
  }

  // The store opened at start serves the first request; after a failure the
  // site opens it again, as read-only.
  int Serve(const web::ListenAddress& listen, const OpenOptions& options) {
    const std::string name = m_store->Name();
    auto first = std::make_shared<std::unique_ptr<RecordStore>>(std::move(m_store));
    web::StoreOpener opener = [first, db = m_request.db, options]() -> Result<std::unique_ptr<RecordStore>> {
      if (*first) return std::move(*first);
      return OpenStore(db, options);
    };
    web::LineSite site(std::move(opener), {m_request.token, m_request.showLogins});
    return web::ServeLine(site, listen, name, m_console);
  }
  int ServeRefused(int id, const std::string& value) {
    m_console.err << fw::FormatText(web::LineString(m_console.language, id), {value}) << '\n';
    return fe::kExitUsage;
  }

  int StoreFailed(const StoreError& error) {
    m_console.err << Describe(error, m_console.language) << '\n';
    return fe::kExitStore;
  }
  int OutFailed() {
    m_console.err << fw::FormatText(RecordsCliString(m_console.language, IDS_RC_OUT_FAILED),
                                    {std::string(m_program.name), *m_request.out})
                  << '\n';
    return kExitNothing;
  }
  // The argument at fault ("" when one is missing), then the usage.
  int Usage(std::string_view bad) {
    if (!bad.empty())
      m_console.err << fw::FormatText(RecordsCliString(m_console.language, IDS_RC_BAD_ARGUMENT),
                                      {std::string(m_program.name), std::string(bad)})
                    << '\n';
    m_console.err << Usage() << '\n';
    return fe::kExitUsage;
  }
  std::string_view Usage() const {
    return RecordsCliString(m_console.language,
                            m_program.flavour == RecordsFlavour::Boards ? IDS_RC_USAGE_BOARDS : IDS_RC_USAGE_UPGRADES);
  }

  const RecordsProgram& m_program;
  const fe::Console& m_console;
  Request m_request;
  std::unique_ptr<RecordStore> m_store;
};

}  // namespace

int RunRecordsCommand(const RecordsProgram& program, const std::vector<std::string>& args, const fe::Console& console) {
  Command command(program, console);
  return command.Run(args);
}

}  // namespace records
