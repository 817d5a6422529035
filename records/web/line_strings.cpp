#include "records/web/line_strings.h"

namespace records::web {
namespace {

constexpr fw::StringEntry kEnglish[] = {
    {IDS_LINE_TITLE, "Line view"},
    {IDS_LINE_SPAN, "%1 to %2"},
    {IDS_LINE_TOTALS, "Boards\nPassed\nFailed\nYield\nBoards per hour"},
    {IDS_LINE_STATIONS, "Stations"},
    {IDS_LINE_STATION, "Station"},
    {IDS_LINE_WHOLE_LINE, "Whole line"},
    {IDS_LINE_CHART, "Boards per hour"},
    {IDS_LINE_CHART_AXES, "Hour\nBoards\nPassed\nFailed"},
    {IDS_LINE_CAUSES, "Failure causes"},
    {IDS_LINE_CAUSE_COLUMNS, "Item\nOutcome\nCount\nStations"},
    {IDS_LINE_REFUSED_ITEM, "(refused before the Set)"},
    {IDS_LINE_RECENT, "Last boards"},
    {IDS_LINE_RECENT_COLUMNS, "Time\nStation\nLabel\nSerial number\nLocal id\nOutcome"},
    {IDS_LINE_UPGRADES, "Upgrades"},
    {IDS_LINE_UPGRADE_COLUMNS, "Time\nStation\nBoard serial\nModule\nImage version\nOutcome"},
    {IDS_LINE_NONE, "None in this span."},
    {IDS_LINE_FORM, "Day\nFrom\nTo\nShow\nToday"},
    {IDS_LINE_SEARCH, "Search\nLabel, serial number, local id or login"},
    {IDS_LINE_BOARD, "Board %1"},
    {IDS_LINE_BOARD_FIELDS,
     "Serial number\nLocal id\nLogin\nLabel\nStation\nPort\nOperator\nProfile\nReceiver\nOutcome\nExit code\n"
     "Started\nEnded"},
    {IDS_LINE_SETTINGS, "Settings"},
    {IDS_LINE_ITEMS, "Items"},
    {IDS_LINE_ITEM_COLUMNS, "Index\nLabel\nBytes\nReply awaited\nOutcome\nSent\nEnded"},
    {IDS_LINE_YES_NO, "yes\nno"},
    {IDS_LINE_FOUND, "Boards matching \"%1\""},
    {IDS_LINE_NOT_FOUND_ANY, "No board matches \"%1\"."},
    {IDS_LINE_NO_PAGE, "There is no page %1."},
    {IDS_LINE_BAD_DAY, "\"%1\" is not a day: give it as YYYY-MM-DD."},
    {IDS_LINE_TOKEN_NEEDED, "This line view needs its token."},
    {IDS_LINE_STORE_DOWN, "The record store cannot be read now; the next load tries again. %1"},
    {IDS_LINE_BACK, "Back to the line"},
    {IDS_LINE_SERVING, "Line view of the record store %1 at http://%2/ (Ctrl-C ends it)."},
    {IDS_LINE_ENDED, "Line view ended (%1)."},
    {IDS_LINE_NEEDS_TOKEN,
     "torvik records serve: %1 is not a loopback address; give --token TEXT so that only those who know it see "
     "the line."},
    {IDS_LINE_CANNOT_LISTEN, "torvik records serve: cannot listen on %1: %2."},
    {IDS_LINE_BAD_LISTEN, "torvik records serve: \"%1\" is not ADDRESS:PORT (e.g. 127.0.0.1:8470)."},
    {IDS_LINE_ADDRESS_IN_USE, "the address is in use by another program or not this computer's"},
    {IDS_LINE_NO_BOARD, "No board has the serial number, label, local id or login \"%1\"."},
};

constexpr fw::StringEntry kChinese[] = {
    {IDS_LINE_TITLE, "产线概览"},
    {IDS_LINE_SPAN, "%1 至 %2"},
    {IDS_LINE_TOTALS, "板卡\n通过\n失败\n良率\n每小时板数"},
    {IDS_LINE_STATIONS, "工位"},
    {IDS_LINE_STATION, "工位"},
    {IDS_LINE_WHOLE_LINE, "整条产线"},
    {IDS_LINE_CHART, "每小时板数"},
    {IDS_LINE_CHART_AXES, "小时\n板数\n通过\n失败"},
    {IDS_LINE_CAUSES, "失败原因"},
    {IDS_LINE_CAUSE_COLUMNS, "条目\n结果\n次数\n工位"},
    {IDS_LINE_REFUSED_ITEM, "（设置前被拒绝）"},
    {IDS_LINE_RECENT, "最近的板卡"},
    {IDS_LINE_RECENT_COLUMNS, "时间\n工位\n标签\n序列号\n本地 ID\n结果"},
    {IDS_LINE_UPGRADES, "升级"},
    {IDS_LINE_UPGRADE_COLUMNS, "时间\n工位\n板序列号\n模块\n固件版本\n结果"},
    {IDS_LINE_NONE, "此时段内没有记录。"},
    {IDS_LINE_FORM, "日期\n自\n至\n显示\n今天"},
    {IDS_LINE_SEARCH, "搜索\n标签、序列号、本地 ID 或登录名"},
    {IDS_LINE_BOARD, "板卡 %1"},
    {IDS_LINE_BOARD_FIELDS,
     "序列号\n本地 ID\n登录名\n标签\n工位\n串口\n操作员\n配置文件\n接收机\n结果\n退出码\n开始时间\n结束时间"},
    {IDS_LINE_SETTINGS, "设置"},
    {IDS_LINE_ITEMS, "条目"},
    {IDS_LINE_ITEM_COLUMNS, "序号\n标签\n字节\n等待应答\n结果\n发送时间\n结束时间"},
    {IDS_LINE_YES_NO, "是\n否"},
    {IDS_LINE_FOUND, "与“%1”匹配的板卡"},
    {IDS_LINE_NOT_FOUND_ANY, "没有与“%1”匹配的板卡。"},
    {IDS_LINE_NO_PAGE, "没有页面 %1。"},
    {IDS_LINE_BAD_DAY, "“%1”不是日期：请按 YYYY-MM-DD 填写。"},
    {IDS_LINE_TOKEN_NEEDED, "查看此产线概览需要令牌。"},
    {IDS_LINE_STORE_DOWN, "现在无法读取记录库；下次加载时会重试。%1"},
    {IDS_LINE_BACK, "返回产线概览"},
    {IDS_LINE_SERVING, "记录库 %1 的产线概览位于 http://%2/（按 Ctrl-C 结束）。"},
    {IDS_LINE_ENDED, "产线概览已结束（%1）。"},
    {IDS_LINE_NEEDS_TOKEN, "torvik records serve: %1 不是本机回环地址；请用 --token TEXT 给出令牌，只让知道它的人查看产线。"},
    {IDS_LINE_CANNOT_LISTEN, "torvik records serve: 无法在 %1 上监听：%2。"},
    {IDS_LINE_BAD_LISTEN, "torvik records serve: “%1”不是 地址:端口（例如 127.0.0.1:8470）。"},
    {IDS_LINE_ADDRESS_IN_USE, "该地址已被其他程序占用或不属于本机"},
    {IDS_LINE_NO_BOARD, "没有序列号、标签、本地 ID 或登录名为“%1”的板卡。"},
};

constexpr fw::CStringTable kTable(kChinese, kEnglish);

}  // namespace

const fw::CStringTable& LineStrings() { return kTable; }

std::string_view LineString(fw::UiLanguage language, int id) { return kTable.Lookup(language, id); }

std::vector<std::string> LineStringLines(fw::UiLanguage language, int id) {
  std::vector<std::string> lines;
  std::string_view text = kTable.Lookup(language, id);
  while (true) {
    const std::size_t lf = text.find('\n');
    lines.emplace_back(text.substr(0, lf));
    if (lf == std::string_view::npos) break;
    text.remove_prefix(lf + 1);
  }
  return lines;
}

}  // namespace records::web
