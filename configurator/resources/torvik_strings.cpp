#include "configurator/resources/torvik_strings.h"

namespace torvik {
namespace {

constexpr fw::StringEntry kChinese[] = {
    {IDS_ABOUTBOX, "关于 Torvik(&A)..."},
    {IDS_PORT_BUTTON, "打开串口\n关闭串口"},
    {IDS_TIMEOUT, "超时错误"},
    {IDS_SETTING_LABELS,
     "设置APN VPN\n设置本机机号\n设置本机电话号码\n设置用户名密码\n设置工作模式为 GPRS GSM CDMA\n"
     "设置工作模式 MODEKAVEL  MODEVRS MODENTRIP\n设置指示灯模式\n设置自启动模式 \n设置是否使用DNS模式 \n设置DNS\n设置GGA\n"},
    {IDS_FINISH_LABELS,
     "SERIAL No. Setting \n9600 AT+IPR=115200\nCOM1==>%1 COM2==>115200\nCLOSE GPRS Dispplay..\nKAVEL,NO.,,\n"
     "KAVEL,SAVECONFIG\nKAVEL,DIRECT,OFF"},
    {IDS_LINK_LABELS, "打开直连GPRS..\nKAVEL,CLOSE\nKAVEL,DIRECT,ON"},
    {IDS_CDMA_NO_GSM, "CDMA 无GSM 模式"},
    {IDS_CDMA_NO_DNS, "CDMA 无DNS 模式"},
    {IDS_SET_USER_PASS, "Please set user:password"},
    {IDS_FIELD_TOO_LONG, "%1 太长,命令超过255字节"},
    {IDS_FIELD_BAD_TEXT, "%1 含有不能发送的字符"},
    {IDS_TYPE_RATE_BAD, "仪器类型 %1 的波特率不是数字"},
    {IDS_FIELD_NAMES,
     "用户名\n密码\nAPN\n本机机号\nBASE机号\n本机电话号\nBASE电话号\nIP\n域\n用户名:密码\nDNS\nGGA\n机号\n"
     "指示灯参数1\n指示灯参数2\n仪器类型波特率"},
    {IDS_PORT_NOT_OPEN, "请先打开串口"},
    {IDS_ENGINE_PORT_UNAVAILABLE, "通讯建立错误,串口已被其他程序打开"},
    {IDS_ENGINE_LINE_REJECTED, "连接错误"},
    {IDS_ENGINE_MONITOR_FAILED, "NO"},
    {IDS_TERMINAL_USAGE,
     "usage: torvik --port PATH [options]\n"
     "用法: torvik --port PATH [选项]\n"
     "Writes the production settings into the modem board as the window does: opens the port (打开串口),\n"
     "presses Set (设置) and prints the log until every command has been answered or has timed out.\n"
     "按窗口的方式写入设置: 打开串口, 按设置, 打印日志, 直到每条命令得到应答或超时。\n"
     "\n"
     "  --port PATH              serial port (required) / 串口; given up to 8 times: a station, one slot per port\n"
     "                           at once, each with its own boards, identities and records; on a terminal a\n"
     "                           screen with a block per slot (Enter starts every idle slot, its number one,\n"
     "                           q ends); exit code: the worst slot's / 最多 8 个串口同时设置\n"
     "  --type NAME              receiver type from gprscdmaset.ini (default: the first) / 仪器类型\n"
     "  --count N                board count 1..9999, the serial number's last two digits / 计数\n"
     "  --direct on|off          直通: the receiver's direct link is already open (default on)\n"
     "  --network on|off         网络开启 (default on); always sent\n"
     "  --apn mobile|custom|cdma APN kind 移动APN / 自定义 / CDMA (default mobile)\n"
     "  --apn-name TEXT          APN name, sent with --apn custom only (98 characters at most)\n"
     "  --user TEXT              用户名, sent with every APN kind (cdma sets vnet)\n"
     "  --password TEXT          密码, sent with every APN kind (cdma sets vnet)\n"
     "  --mode heron|vrs|ntrip|gsm  work mode / 工作模式 (default heron)\n"
     "  --local-id TEXT          本机机号, sent in heron and gsm modes (default Z + random digits)\n"
     "  --base-id TEXT           BASE机号, sent in heron and gsm modes\n"
     "  --local-phone TEXT       本机电话号, sent in heron and gsm modes\n"
     "  --base-phone TEXT        BASE电话号, sent in heron and gsm modes\n"
     "  --server telecom|netcom|custom  server preset 电信 / 网通 / 自定义 (default netcom)\n"
     "  --address TEXT           server address, with --server custom; always sent\n"
     "  --server-port N          server port; always sent\n"
     "  --dns on|off             DNS方式 (default off); not with --apn cdma\n"
     "  --dns-name TEXT          DNS name, with --dns on; always sent\n"
     "  --mount TEXT             mount point / 域, always sent (98 characters at most)\n"
     "  --user-pass TEXT         caster login user:password / 用户名:密码, always sent\n"
     "  --gga TEXT               GGA sentence / GGA语句, always sent\n"
     "  --fixed-upload on|off    固定上发: upload the GGA sentence at the interval (needs --gga)\n"
     "  --interval N             upload interval 0..255 / 间隔\n"
     "  --boards N               set N boards one after another (on a terminal: Enter between boards, q ends)\n"
     "  --report FILE            append one JSON object per board to FILE / 记录文件\n"
     "  --db URL                 record store: a file (PATH or sqlite:PATH), postgresql://..., or none (no\n"
     "                           records, identities as the window makes them); default\n"
     "                           $XDG_DATA_HOME/brevan-torvik/records.sqlite3 / 记录库\n"
     "  --station NAME           the station's name in the records (default: host name:port) / 工位\n"
     "  --operator NAME          the operator's name in the records / 操作员\n"
     "  --serial-form narrow|wide  serial number: the date and count mod 100 (narrow, default) or the date\n"
     "                           and a four-digit count (wide, 10 characters) / 序列号格式\n"
     "  --profile FILE           read options from FILE first: key = value lines, the keys the long option names\n"
     "                           (type = TR5, mode = ntrip); the command line wins / 从配置文件读取选项, 命令行优先\n"
     "  --save-profile FILE      write the options in force (profile and command line) to FILE; without --port\n"
     "                           nothing else is done / 保存当前选项到配置文件\n"
     "  --scan                   before each board, read its label from standard input (a barcode scanner's line);\n"
     "                           replaces the Enter between boards; end of input ends the run / 每块板前扫描标签\n"
     "  --auto                   start each board when its port, silent for 2 s, begins to receive (a receiver\n"
     "                           powered on in its fixture talks); a receiver that says nothing when it starts is\n"
     "                           not noticed: press Enter / 接收机上电发送数据时自动开始\n"
     "  --progress auto|bar|plain|none  progress of the commands: a bar on a terminal (auto), plain lines, or none\n"
     "                           / 进度显示\n"
     "  --json                   one JSON object per line on standard output for every event (log line, progress,\n"
     "                           diagnosis, result); the human text goes to standard error / 每个事件输出一行 JSON\n"
     "  --trace FILE             write every chunk sent and received to FILE: time in ms, direction, line rate,\n"
     "                           hex and text / 收发数据记录\n"
     "  --help                   this text / 帮助\n"
     "With --boards, --local-id, --user-pass and --count apply to the first board only. With a record store\n"
     "each board's serial number, local id and login come from it, never repeated; a value given that it holds\n"
     "is refused. 有记录库时序列号、本机机号、用户名:密码由记录库分配, 不会重复。\n"
     "A profile sets any option that takes a value but --profile and --save-profile; --scan, --progress, --json\n"
     "and --trace belong to the command line. 配置文件可设置除 --profile、--save-profile 外带值的选项。\n"
     "Several --port (up to 8) make a station: one slot per port at once; with --scan each slot asks for its\n"
     "labels (typed into the screen, or lines of standard input in the order the slots ask). 多个 --port 为工位。\n"
     "Exit codes / 退出码: 0 every command answered; 3 a command timed out; 2 the port did not open;\n"
     "4 Set refused; 6 the record store failed (unreachable, refused, damaged) or a record not written / 记录库出错;\n"
     "64 usage; 130 interrupted (Ctrl-C).\n"
     "Records / 记录: torvik records list|show|export|logins ... (torvik records --help);\n"
     "line view / 产线概览: torvik records serve [--db URL] [--listen ADDR:PORT] [--token TEXT] [--show-logins]."},
    {IDS_TERMINAL_BAD_OPTION, "torvik: bad option or value: %1 / 选项错误: %1"},
    {IDS_TERMINAL_NEXT_BOARD, "Next board: press Enter, q to end / 下一块板: 按回车, q 结束"},
    {IDS_TERMINAL_COMMANDS, "%1/%2 commands 命令, %3 elapsed 已用, %4 left 剩余"},
    {IDS_TERMINAL_UNANSWERED, "%1 of %2 commands went unanswered / %2 条命令中有 %1 条没有应答:"},
    {IDS_TERMINAL_WAITED, "  %1 (waited %2 s / 等待 %2 秒): "},
    {IDS_TERMINAL_NOTHING_BACK, "nothing came back / 没有收到任何数据"},
    {IDS_TERMINAL_NONE_ACKED,
     "No command was acknowledged: check the cable and the port, that the receiver is powered, and that --type "
     "names its type / 没有任何应答: 请检查数据线、串口、接收机电源, 以及 --type 是否为它的仪器类型"},
    {IDS_TERMINAL_BYTES_BACK,
     "%1 bytes came back, none an acknowledgement (wrong rate or noise?); the last: %2 / "
     "收到 %1 字节, 但不是应答 (波特率不对或有干扰?)"},
    {IDS_TERMINAL_SUMMARY,
     "Board %1: %2 acknowledged, %3 timed out; serial number %4, local id %5, login %6 / "
     "第 %1 块板: 应答 %2, 超时 %3; 序列号 %4, 本机机号 %5, 用户名:密码 %6"},
    {IDS_TERMINAL_BAD_TRACE, "torvik: cannot write the trace file %1: %2 / 无法写入记录文件 %1: %2"},
    {IDS_TERMINAL_LABEL_PROMPT, "Board %1: scan its label / 第 %1 块板: 请扫描标签"},
    {IDS_TERMINAL_LABEL_EMPTY, "The label is empty; scan again / 标签为空, 请重新扫描"},
    {IDS_TERMINAL_LABEL_TOO_LONG,
     "The label has %1 bytes, at most %2 are taken; scan again / 标签有 %1 字节, 最多 %2 字节, 请重新扫描"},
    {IDS_TERMINAL_LABEL_CONTROL, "The label holds a control character; scan again / 标签含有控制字符, 请重新扫描"},
    {IDS_TERMINAL_LABEL_NOT_UTF8, "The label is not UTF-8 text; scan again / 标签不是 UTF-8 文本, 请重新扫描"},
    {IDS_TERMINAL_INPUT_ENDED, "Input ended; boards set: %1 / 输入结束: 已设置 %1 块板"},
    {IDS_TERMINAL_SUMMARY_LABEL,
     "Board %1, label %7: %2 acknowledged, %3 timed out; serial number %4, local id %5, login %6 / "
     "第 %1 块板, 标签 %7: 应答 %2, 超时 %3; 序列号 %4, 本机机号 %5, 用户名:密码 %6"},
    {IDS_PROFILE_IN_USE, "Profile %1 (sha256 %2) / 配置文件 %1 (sha256 %2)"},
    {IDS_PROFILE_CANNOT_READ, "torvik: cannot read the profile %1: %2 / 无法读取配置文件 %1: %2"},
    {IDS_PROFILE_TOO_LARGE, "torvik: the profile %1 is larger than %2 bytes / 配置文件 %1 超过 %2 字节"},
    {IDS_PROFILE_NOT_KEY_VALUE, "torvik: %1:%2: not a key = value line / %1 第 %2 行: 不是 键 = 值"},
    {IDS_PROFILE_SECTION, "torvik: %1:%2: unknown section [%3], only [torvik] / %1 第 %2 行: 未知的节 [%3], 只能是 [torvik]"},
    {IDS_PROFILE_UNKNOWN_KEY, "torvik: %1:%2: unknown key %3 / %1 第 %2 行: 未知的键 %3"},
    {IDS_PROFILE_NOT_IN_PROFILE,
     "torvik: %1:%2: %3 is not taken from a profile, only from the command line / %1 第 %2 行: %3 只能在命令行给出"},
    {IDS_PROFILE_REPEATED, "torvik: %1:%2: %3 again, first given on line %4 / %1 第 %2 行: %3 重复, 第 %4 行已给出"},
    {IDS_PROFILE_OPEN_QUOTE, "torvik: %1:%2: the quoted value of %3 is not closed / %1 第 %2 行: %3 的引号没有结束"},
    {IDS_PROFILE_BAD_VALUE, "torvik: %1:%2: bad value for %3: %4 / %1 第 %2 行: %3 的值错误: %4"},
    {IDS_PROFILE_CANNOT_WRITE, "torvik: cannot write the profile %1: %2 / 无法写入配置文件 %1: %2"},
    {IDS_PROFILE_LINE_BREAK,
     "torvik: cannot save %2 in the profile %1: its value holds a line break / 无法把 %2 保存到配置文件 %1: 值含有换行"},
    {IDS_PROFILE_HEADER,
     "# torvik profile, written by --save-profile: one option per line, key = value, keys the long option names.\n"
     "# Read with --profile FILE; an option given on the command line wins over its line here.\n"
     "# torvik 配置文件: 每行一个选项 (键 = 值); 命令行给出的选项优先。"},
    {IDS_PROFILE_SAVED, "Profile saved to %1 / 配置文件已保存到 %1"},
    {IDS_TERMINAL_STORE, "Record store %1 / 记录库 %1"},
    {IDS_TERMINAL_DAY_FULL,
     "For more than 100 boards a day use --serial-form wide: the date and a four-digit count, 10 characters "
     "(the receivers must take them) / 每天超过 100 块板请用 --serial-form wide: 日期加四位计数, 共 10 个字符 "
     "(接收机须支持)"},
    {IDS_TERMINAL_IDENTITY_DIFFERS,
     "Board %1: the window holds the %2 %3, the record store gave %4; the board is not recorded as set / "
     "第 %1 块板: 窗口中的%2为 %3, 记录库分配的是 %4; 该板不记为已设置"},
    {IDS_TERMINAL_IDENTITY_FIELDS, "serial number 序列号\nlocal id 本机机号\nlogin 用户名:密码"},
    {IDS_TERMINAL_RECORD_MISSING,
     "Board %1 (serial number %2) has no record: %3 / 第 %1 块板 (序列号 %2) 的记录未写入: %3"},
};

constexpr fw::CStringTable kTable(kChinese, kChinese);

}  // namespace

const fw::CStringTable& TorvikStrings() { return kTable; }

std::string_view TorvikString(int id) { return kTable.Lookup(kTextLanguage, id); }

}  // namespace torvik
