#include "updater/resources/brevan_strings.h"

#include <array>

#include "framework/string_table.h"
#include "framework/text_format.h"
#include "updater/image_bank/overlay_format.h"

namespace brevan {

namespace {

constexpr std::array kEnglish{
    fw::StringEntry{IDS_ABOUTBOX, "About Brevan(&A)..."},
    fw::StringEntry{IDS_STATUS_RUNNING, "Status:>>updating software running"},
    fw::StringEntry{IDS_PORT_WRONG, "Status:>>COM port wrong!"},
    fw::StringEntry{IDS_PORT_OPENED, "Status:>>COM port opened!"},
    fw::StringEntry{IDS_POWER_ON, "Status:>>please power on GPRS module!"},
    fw::StringEntry{IDS_COUNTDOWN_CAPTION, "counting down \nS"},
    fw::StringEntry{IDS_COUNTDOWN_LINE, "Status:>>Counting down \nS!"},
    fw::StringEntry{IDS_OVERTIME, "ERROR:>>OVERTIME!"},
    fw::StringEntry{IDS_REFUSED, "ERROR:>>not for this type receiver!"},
    fw::StringEntry{IDS_UPDATING, "Status:>>updating,please wait......"},
    fw::StringEntry{IDS_UPDATED, "Status:>>Congratulations! updated!"},
    fw::StringEntry{IDS_OLD_FIRMWARE, "Status:>>Old Frameware"},
    fw::StringEntry{IDS_WRONG_FIRMWARE, "Status:>>wrong firmware!"},
    fw::StringEntry{IDS_ENGINE_MONITOR_FAILED, "NO"},
    fw::StringEntry{IDS_FILE_OPEN_FAILED, "ERROR:>>cannot open file \"%1\": %2"},
    fw::StringEntry{IDS_FILE_READ_FAILED, "ERROR:>>cannot read file \"%1\": %2"},
    fw::StringEntry{IDS_FILE_CREATE_FAILED, "ERROR:>>cannot create file \"%1\": %2"},
    fw::StringEntry{IDS_FILE_WRITE_FAILED, "ERROR:>>cannot write file \"%1\": %2"},
    fw::StringEntry{IDS_OVERLAY_TRUNCATED, "ERROR:>>the firmware images in \"%1\" are incomplete: %2 of %3 bytes present"},
    fw::StringEntry{IDS_NO_IMAGES, "ERROR:>>\"%1\" carries no firmware images; choose a firmware file with --image FILE"},
    fw::StringEntry{IDS_LIST_LOAD_MODE, "load mode %1, loaded module %2"},
    fw::StringEntry{IDS_LIST_USAGE,
                    "usage: brevan [--port PATH] [--baud RATE] [--image FILE] [--pace MODE] [--progress MODE] [--json]\n"
                    "              [--trace FILE] [--db URL] [--station NAME]\n"
                    "       brevan --list [--image FILE]\n"
                    "       brevan records list|show|export ... (brevan records --help)\n"
                    "Upgrades the modem board's firmware as the window's UPDATE button does, printing the status\n"
                    "lines and a progress bar, and exits once the upgrade has stopped.\n"
                    "  --port PATH     serial port (default: the one remembered from the last upgrade, else COM1); up to\n"
                    "                  8 of them upgrade at once, each in a slot of its own (exit code: the worst slot's)\n"
                    "  --baud RATE     9600, 19200, 38400, 57600, 115200 or BREAK (default: the remembered one)\n"
                    "  --image FILE    firmware file (Intel HEX) when the program carries no built-in images\n"
                    "  --pace MODE     tick (default: one page per 25 ms tick at most, as the window does) or ack (the\n"
                    "                  next page as soon as the last one is acknowledged: about twice as fast)\n"
                    "  --progress MODE auto, bar, plain or none (default auto: a bar with pages, elapsed and remaining\n"
                    "                  time on a terminal, plain lines otherwise)\n"
                    "  --json          one JSON object per line on standard output for every event (status line,\n"
                    "                  progress, diagnosis, result); the human text goes to standard error\n"
                    "  --trace FILE    write every chunk sent and received to FILE: time in ms, direction, line rate,\n"
                    "                  hex and text\n"
                    "  --db URL        the record store that keeps one record per upgrade: a file (or sqlite:FILE),\n"
                    "                  postgresql://..., or none (default: $XDG_DATA_HOME/brevan-torvik/records.sqlite3)\n"
                    "  --station NAME  this station's name in the records (default: host name and port)\n"
                    "  --list          print the firmware image bank: slot, module, version, length\n"
                    "  --help          this text\n"
                    "Ctrl-C cancels at once. Exit codes: 0 upgraded, 1 no firmware loaded, 2 the port did not open,\n"
                    "3 time-out, 4 refused by the receiver, 5 wrong firmware for the board, 6 the record store failed\n"
                    "(nothing sent, or the upgrade's record not written), 64 usage, 130 cancelled."},
    fw::StringEntry{IDS_TERM_PAGES, "%1/%2 pages, %3 elapsed, %4 left"},
    fw::StringEntry{IDS_TERM_NO_REPLY,
                    "Nothing came back from the receiver in %1 s: check the cable, that the receiver is powered and in "
                    "its normal command mode, and that %2 is the port it is connected to."},
    fw::StringEntry{IDS_TERM_NO_LOADER_REPLY,
                    "%1 bytes came back, but never a reply of the board's loader: the receiver is probably not at %2 "
                    "baud (try --baud with its rate, or BREAK), or the line is noisy."},
    fw::StringEntry{IDS_TERM_BYTES_LOOKED, "What came back: %1"},
    fw::StringEntry{IDS_TERM_UNKNOWN_MODULE,
                    "The board's loader answered with the module name \"%1\", for which this program carries no "
                    "firmware image."},
    fw::StringEntry{IDS_TERM_OTHER_MODULE,
                    "The board's module is %1 (slot %2), but the firmware file chosen is for %3: nothing was "
                    "written. Choose the file for %1."},
    fw::StringEntry{IDS_TERM_PAGE_UNANSWERED,
                    "Page %1 of %2 (address 0x%3) went out %4 times without an acknowledgement."},
    fw::StringEntry{IDS_TERM_NOTHING_AFTER_ACK,
                    "Nothing came back after the loader's last acknowledgement (%1 in all): the loader stopped "
                    "answering. Power the receiver off and on, then start the upgrade again."},
    fw::StringEntry{IDS_TERM_BYTES_AFTER_ACK,
                    "%1 bytes came back after the loader's last acknowledgement, none of them an acknowledgement: "
                    "the line is noisy or the loader is in trouble."},
    fw::StringEntry{IDS_TERM_SUMMARY_MODULE, "Module %1 (slot %2), image version %3"},
    fw::StringEntry{IDS_TERM_SUMMARY_BOARD, "The board reported serial number %1, software version %2"},
    fw::StringEntry{IDS_TERM_SUMMARY_WRITTEN, "Wrote %1 bytes in %2 pages from address 0x%3; %4 pages sent again"},
    fw::StringEntry{IDS_TERM_SUMMARY_TIME, "Took %1 s, the pages %2 s: %3 bytes/s"},
    fw::StringEntry{IDS_TERM_ACKS_IN_TICK,
                    "%1 acknowledgements came while a tick ran and were cleared with it; a page that lost its own "
                    "went again (--pace ack takes each as it comes)"},
    fw::StringEntry{IDS_TERM_BAD_TRACE, "brevan: cannot write the trace file \"%1\": %2"},
    fw::StringEntry{IDS_TERM_NOT_RECORDED, "The upgrade of board %1 (%2) was not recorded:"},
};

constexpr std::array kChinese{
    fw::StringEntry{IDS_ABOUTBOX, "关于 Brevan(&A)..."},
    fw::StringEntry{IDS_STATUS_RUNNING, "状态:>>升级程序已经启动"},
    fw::StringEntry{IDS_PORT_WRONG, "状态:>>串口打开错误"},
    fw::StringEntry{IDS_PORT_OPENED, "状态:>>串口打开完毕"},
    fw::StringEntry{IDS_POWER_ON, "状态:>>请重新开启GPRS，以便可以进行固件升级!"},
    fw::StringEntry{IDS_COUNTDOWN_CAPTION, "剩余时间\n秒"},
    fw::StringEntry{IDS_COUNTDOWN_LINE, "状态:>>剩余时间\n秒!"},
    fw::StringEntry{IDS_OVERTIME, "错误:>>超时错误!"},
    fw::StringEntry{IDS_REFUSED, "错误:>>不是此机型升级程序!"},
    fw::StringEntry{IDS_UPDATING, "状态:>>正在升级，请等待......"},
    fw::StringEntry{IDS_UPDATED, "状态:>>恭喜你，升级完成"},
    fw::StringEntry{IDS_OLD_FIRMWARE, "状态:>>升级了旧版本固件"},
    fw::StringEntry{IDS_WRONG_FIRMWARE, "错误:>>不是此机固件"},
    fw::StringEntry{IDS_ENGINE_MONITOR_FAILED, "NO"},
    fw::StringEntry{IDS_FILE_OPEN_FAILED, "错误:>>无法打开文件“%1”：%2"},
    fw::StringEntry{IDS_FILE_READ_FAILED, "错误:>>无法读取文件“%1”：%2"},
    fw::StringEntry{IDS_FILE_CREATE_FAILED, "错误:>>无法创建文件“%1”：%2"},
    fw::StringEntry{IDS_FILE_WRITE_FAILED, "错误:>>无法写入文件“%1”：%2"},
    fw::StringEntry{IDS_OVERLAY_TRUNCATED, "错误:>>“%1”中的固件映像不完整：只有 %2 / %3 字节"},
    fw::StringEntry{IDS_NO_IMAGES, "错误:>>“%1”中没有固件映像，请用 --image FILE 选择固件文件"},
    fw::StringEntry{IDS_LIST_LOAD_MODE, "load mode %1, loaded module %2"},
    fw::StringEntry{IDS_LIST_USAGE,
                    "用法: brevan [--port PATH] [--baud RATE] [--image FILE] [--pace MODE] [--progress MODE] [--json]\n"
                    "             [--trace FILE] [--db URL] [--station NAME]\n"
                    "      brevan --list [--image FILE]\n"
                    "      brevan records list|show|export ...（brevan records --help）\n"
                    "像窗口中的“在线升级”按钮一样升级模块固件，显示状态行和进度条，升级停止后退出。\n"
                    "  --port PATH     串口（默认：上次升级记住的串口，否则 COM1）；最多 8 个同时升级，各占一个工位\n"
                    "                  （退出码取最差的工位）\n"
                    "  --baud RATE     9600、19200、38400、57600、115200 或 BREAK（默认：上次记住的）\n"
                    "  --image FILE    程序不带内置固件时使用的固件文件（Intel HEX）\n"
                    "  --pace MODE     tick（默认：与窗口相同，每 25 毫秒最多写一页）或 ack（上一页得到应答后立即写下一页，\n"
                    "                  约快一倍）\n"
                    "  --progress MODE auto、bar、plain 或 none（默认 auto：终端上显示带页数、已用和剩余时间的进度条，\n"
                    "                  否则逐行输出）\n"
                    "  --json          每个事件（状态行、进度、诊断、结果）在标准输出上输出一行 JSON 对象；\n"
                    "                  供人阅读的文字改到标准错误\n"
                    "  --trace FILE    把收发的每一段数据写入 FILE：毫秒时间、方向、波特率、十六进制和文本\n"
                    "  --db URL        记录库，每次升级记一条：文件（或 sqlite:FILE）、postgresql://... 或 none\n"
                    "                  （默认：$XDG_DATA_HOME/brevan-torvik/records.sqlite3）\n"
                    "  --station NAME  记录中本工位的名称（默认：主机名和串口）\n"
                    "  --list          列出固件映像: 槽号、模块、版本、长度\n"
                    "  --help          显示本说明\n"
                    "Ctrl-C 立即取消。退出码: 0 升级完成，1 没有载入固件，2 串口打开错误，3 超时，\n"
                    "4 接收机拒绝，5 固件与模块不符，6 记录库出错（未发送任何数据，或升级记录未写入），\n"
                    "64 用法错误，130 已取消。"},
    fw::StringEntry{IDS_TERM_PAGES, "%1/%2 页，已用 %3，剩余 %4"},
    fw::StringEntry{IDS_TERM_NO_REPLY,
                    "%1 秒内接收机没有任何回应：请检查数据线、接收机是否已开机并处于正常命令模式，以及 %2 "
                    "是否为所连接的串口。"},
    fw::StringEntry{IDS_TERM_NO_LOADER_REPLY,
                    "收到 %1 字节，但没有模块引导程序的应答：接收机的波特率可能不是 %2（请用 --baud "
                    "指定它的波特率，或用 BREAK），或线路有干扰。"},
    fw::StringEntry{IDS_TERM_BYTES_LOOKED, "收到的数据：%1"},
    fw::StringEntry{IDS_TERM_UNKNOWN_MODULE, "模块引导程序应答的模块名为“%1”，本程序没有该模块的固件。"},
    fw::StringEntry{IDS_TERM_OTHER_MODULE, "板上的模块为 %1（槽 %2），但所选的固件文件是 %3 的：没有写入任何数据。请选择 %1 的固件文件。"},
    fw::StringEntry{IDS_TERM_PAGE_UNANSWERED, "第 %1 页（共 %2 页，地址 0x%3）发送了 %4 次，均未得到应答。"},
    fw::StringEntry{IDS_TERM_NOTHING_AFTER_ACK,
                    "引导程序最后一次应答之后（共应答 %1 次）再没有收到任何数据：引导程序停止了应答。"
                    "请将接收机断电再开机，然后重新升级。"},
    fw::StringEntry{IDS_TERM_BYTES_AFTER_ACK,
                    "引导程序最后一次应答之后收到 %1 字节，但都不是应答：线路有干扰或引导程序出错。"},
    fw::StringEntry{IDS_TERM_SUMMARY_MODULE, "模块 %1（槽 %2），固件版本 %3"},
    fw::StringEntry{IDS_TERM_SUMMARY_BOARD, "模块报告的序列号 %1，软件版本 %2"},
    fw::StringEntry{IDS_TERM_SUMMARY_WRITTEN, "从地址 0x%3 起写入 %1 字节，共 %2 页；重发 %4 页次"},
    fw::StringEntry{IDS_TERM_SUMMARY_TIME, "用时 %1 秒，写页 %2 秒：%3 字节/秒"},
    fw::StringEntry{IDS_TERM_ACKS_IN_TICK, "%1 个应答在定时周期执行中到达，随之被清除；丢失自身应答的页已重发（--pace ack 逐个即时处理应答）"},
    fw::StringEntry{IDS_TERM_BAD_TRACE, "brevan: 无法写入记录文件“%1”：%2"},
    fw::StringEntry{IDS_TERM_NOT_RECORDED, "板 %1（%2）的升级记录未能写入记录库："},
};

constexpr fw::CStringTable kBrevanStrings(kChinese, kEnglish);

}  // namespace

const fw::CStringTable& BrevanStrings() { return kBrevanStrings; }

std::string_view BrevanString(fw::UiLanguage language, int id) { return kBrevanStrings.Lookup(language, id); }

std::string DescribeFileProblem(fw::UiLanguage language, const FileProblem& problem) {
  auto text = [&](int id) { return BrevanString(language, id); };
  switch (problem.step) {
    case FileStep::None:
      return {};
    case FileStep::Open:
      return fw::FormatText(text(IDS_FILE_OPEN_FAILED), {problem.path, problem.cause});
    case FileStep::Read:
      return fw::FormatText(text(IDS_FILE_READ_FAILED), {problem.path, problem.cause});
    case FileStep::Create:
      return fw::FormatText(text(IDS_FILE_CREATE_FAILED), {problem.path, problem.cause});
    case FileStep::Write:
      return fw::FormatText(text(IDS_FILE_WRITE_FAILED), {problem.path, problem.cause});
    case FileStep::OverlayTruncated:
      return fw::FormatText(text(IDS_OVERLAY_TRUNCATED),
                            {problem.path, std::to_string(problem.bytesFound), std::to_string(kOverlayBytesRead)});
  }
  return {};
}

}  // namespace brevan
