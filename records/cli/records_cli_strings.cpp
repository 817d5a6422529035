#include "records/cli/records_cli_strings.h"

namespace records {
namespace {

constexpr fw::StringEntry kEnglish[] = {
    {IDS_RC_USAGE_BOARDS,
     "usage: torvik records list [--db URL] [--since DATE|TIME] [--station NAME] [--outcome WORD] [--limit N]\n"
     "       torvik records show KEY [--db URL] [--json]\n"
     "       torvik records export --format csv|json [--out FILE] [--db URL] [--since ...] [--station ...]\n"
     "                             [--outcome ...] [--limit N]\n"
     "       torvik records logins [--since DATE|TIME] [--out FILE] [--db URL]\n"
     "       torvik records serve [--db URL] [--listen ADDR:PORT] [--token TEXT] [--show-logins]\n"
     "What the record store keeps of the boards set; the store is only read.\n"
     "  list            the boards, newest first: start, serial number, local id, login, label, station,\n"
     "                  outcome\n"
     "  show KEY        the latest board of a serial number, label, local id or login, with every setting\n"
     "                  and item sent (--json: one JSON object)\n"
     "  export          every board as CSV (a header row) or JSON, to standard output or --out FILE\n"
     "  logins          a CSV of the logins handed out since a date, for the caster administrator\n"
     "  serve           the line view: a web page of the day's boards per station, yield, boards per hour,\n"
     "                  failure causes, the last boards and upgrades, until Ctrl-C; also /api/summary JSON\n"
     "  --listen A:P    where serve listens (default 127.0.0.1:8470); an address other computers reach\n"
     "                  needs --token\n"
     "  --token TEXT    every request must carry it (Authorization: Bearer TEXT or ?token=TEXT)\n"
     "  --show-logins   show the password part of logins (masked otherwise)\n"
     "  --db URL        the store: a file (or sqlite:FILE) or postgresql://... (default:\n"
     "                  $XDG_DATA_HOME/brevan-torvik/records.sqlite3)\n"
     "  --since T       from a date (2026-12-09) or a UTC time (2026-12-09T08:00:00Z) on\n"
     "  --station NAME  one station's;  --outcome WORD  passed, failed, refused, interrupted or started\n"
     "  --limit N       at most N boards\n"
     "Exit codes: 0 done (serve: ended by Ctrl-C or SIGTERM), 1 no board for the key or the output file\n"
     "cannot be written, 2 serve cannot listen on the address, 6 the record store failed, 64 usage."},
    {IDS_RC_USAGE_UPGRADES,
     "usage: brevan records list [--db URL] [--since DATE|TIME] [--station NAME] [--outcome WORD] [--limit N]\n"
     "       brevan records show BOARD_SERIAL [--db URL]\n"
     "       brevan records export --format csv|json [--out FILE] [--db URL] [--since ...] [--station ...]\n"
     "                             [--outcome ...] [--limit N]\n"
     "What the record store keeps of the upgrades; the store is only read.\n"
     "  list            the upgrades, newest first: start, board serial, module, image version, pages,\n"
     "                  pages sent again, station, outcome, duration\n"
     "  show SERIAL     every upgrade of the board with that serial number\n"
     "  export          every upgrade as CSV (a header row) or JSON, to standard output or --out FILE\n"
     "  --db URL        the store: a file (or sqlite:FILE) or postgresql://... (default:\n"
     "                  $XDG_DATA_HOME/brevan-torvik/records.sqlite3)\n"
     "  --since T       from a date (2026-12-09) or a UTC time (2026-12-09T08:00:00Z) on\n"
     "  --station NAME  one station's;  --outcome WORD  upgraded, timed-out, wrong-firmware, ...\n"
     "  --limit N       at most N upgrades\n"
     "Exit codes: 0 done, 1 no upgrade of that board or the output file cannot be written, 6 the record\n"
     "store failed, 64 usage."},
    {IDS_RC_BAD_ARGUMENT, "%1 records: \"%2\" is not understood here."},
    {IDS_RC_BOARD_COLUMNS, "Started\nSerial number\nLocal id\nLogin\nLabel\nStation\nOutcome"},
    {IDS_RC_UPGRADE_COLUMNS, "Started\nBoard serial\nModule\nImage\nPages\nResent\nStation\nOutcome\nSeconds"},
    {IDS_RC_BOARD_FIELDS,
     "Serial number\nLocal id\nLogin\nLabel\nStation\nPort\nOperator\nProfile\nReceiver\nOutcome\nExit code\n"
     "Started\nEnded\nSettings\nItems"},
    {IDS_RC_UPGRADE_FIELDS,
     "Board serial\nModule\nSoftware version\nSlot\nImage version\nPages\nPages sent again\nStation\nPort\n"
     "Outcome\nDuration (ms)\nStarted\nEnded"},
    {IDS_RC_NO_UPGRADES, "The record store %1 has no upgrade of board \"%2\"."},
    {IDS_RC_OUT_FAILED, "%1 records: cannot write \"%2\"."},
    {IDS_RC_NONE_LISTED, "The record store %1 has no records that match."},
};

constexpr fw::StringEntry kChinese[] = {
    {IDS_RC_USAGE_BOARDS,
     "用法: torvik records list [--db URL] [--since DATE|TIME] [--station NAME] [--outcome WORD] [--limit N]\n"
     "      torvik records show KEY [--db URL] [--json]\n"
     "      torvik records export --format csv|json [--out FILE] [--db URL] [--since ...] [--station ...]\n"
     "                            [--outcome ...] [--limit N]\n"
     "      torvik records logins [--since DATE|TIME] [--out FILE] [--db URL]\n"
     "      torvik records serve [--db URL] [--listen ADDR:PORT] [--token TEXT] [--show-logins]\n"
     "查看记录库中已设置的板卡记录；只读取记录库。\n"
     "  list            板卡列表，最新的在前：开始时间、序列号、本地 ID、登录名、标签、工位、结果\n"
     "  show KEY        按序列号、标签、本地 ID 或登录名显示最近一块板卡及其发送的每项设置和条目\n"
     "                  （--json：一个 JSON 对象）\n"
     "  export          以 CSV（带表头行）或 JSON 导出所有板卡，输出到标准输出或 --out FILE\n"
     "  logins          自某日起分配的登录名（CSV），供差分服务器管理员使用\n"
     "  serve           产线概览网页：当天各工位板数、良率、每小时板数、失败原因、最近的板卡和升级，\n"
     "                  直到按 Ctrl-C；另有 /api/summary JSON\n"
     "  --listen A:P    serve 的监听地址（默认 127.0.0.1:8470）；其他计算机可访问的地址需要 --token\n"
     "  --token TEXT    每个请求都须带上它（Authorization: Bearer TEXT 或 ?token=TEXT）\n"
     "  --show-logins   显示登录名的密码部分（否则以圆点遮住）\n"
     "  --db URL        记录库：文件（或 sqlite:FILE）或 postgresql://...（默认：\n"
     "                  $XDG_DATA_HOME/brevan-torvik/records.sqlite3）\n"
     "  --since T       自某日期（2026-12-09）或 UTC 时间（2026-12-09T08:00:00Z）起\n"
     "  --station NAME  某一工位；  --outcome WORD  passed、failed、refused、interrupted 或 started\n"
     "  --limit N       最多 N 块板卡\n"
     "退出码: 0 完成（serve：由 Ctrl-C 或 SIGTERM 结束），1 没有该键的板卡或无法写入输出文件，\n"
     "2 serve 无法在该地址上监听，6 记录库出错，64 用法错误。"},
    {IDS_RC_USAGE_UPGRADES,
     "用法: brevan records list [--db URL] [--since DATE|TIME] [--station NAME] [--outcome WORD] [--limit N]\n"
     "      brevan records show BOARD_SERIAL [--db URL]\n"
     "      brevan records export --format csv|json [--out FILE] [--db URL] [--since ...] [--station ...]\n"
     "                            [--outcome ...] [--limit N]\n"
     "查看记录库中的升级记录；只读取记录库。\n"
     "  list            升级列表，最新的在前：开始时间、板序列号、模块、固件版本、页数、重发页数、工位、结果、用时\n"
     "  show SERIAL     该序列号板卡的每次升级\n"
     "  export          以 CSV（带表头行）或 JSON 导出所有升级，输出到标准输出或 --out FILE\n"
     "  --db URL        记录库：文件（或 sqlite:FILE）或 postgresql://...（默认：\n"
     "                  $XDG_DATA_HOME/brevan-torvik/records.sqlite3）\n"
     "  --since T       自某日期（2026-12-09）或 UTC 时间（2026-12-09T08:00:00Z）起\n"
     "  --station NAME  某一工位；  --outcome WORD  upgraded、timed-out、wrong-firmware 等\n"
     "  --limit N       最多 N 次升级\n"
     "退出码: 0 完成，1 该板卡没有升级记录或无法写入输出文件，6 记录库出错，64 用法错误。"},
    {IDS_RC_BAD_ARGUMENT, "%1 records: 无法理解“%2”。"},
    {IDS_RC_BOARD_COLUMNS, "开始时间\n序列号\n本地 ID\n登录名\n标签\n工位\n结果"},
    {IDS_RC_UPGRADE_COLUMNS, "开始时间\n板序列号\n模块\n固件\n页数\n重发\n工位\n结果\n秒"},
    {IDS_RC_BOARD_FIELDS,
     "序列号\n本地 ID\n登录名\n标签\n工位\n串口\n操作员\n配置文件\n接收机\n结果\n退出码\n开始时间\n结束时间\n设置\n条目"},
    {IDS_RC_UPGRADE_FIELDS,
     "板序列号\n模块\n软件版本\n槽\n固件版本\n页数\n重发页数\n工位\n串口\n结果\n用时（毫秒）\n开始时间\n结束时间"},
    {IDS_RC_NO_UPGRADES, "记录库 %1 中没有板卡“%2”的升级记录。"},
    {IDS_RC_OUT_FAILED, "%1 records: 无法写入“%2”。"},
    {IDS_RC_NONE_LISTED, "记录库 %1 中没有符合条件的记录。"},
};

constexpr fw::CStringTable kTable(kChinese, kEnglish);

}  // namespace

const fw::CStringTable& RecordsCliStrings() { return kTable; }

std::string_view RecordsCliString(fw::UiLanguage language, int id) { return kTable.Lookup(language, id); }

}  // namespace records
