#include "frontend/station_strings.h"

namespace fe {
namespace {

constexpr fw::StringEntry kChinese[] = {
    {kStationSlotSummary, "%1：%2 块板，通过 %3，失败 %4；最后 %5"},
    {kStationLineSummary, "本次：%1 块板，通过 %2，失败 %3，良率 %4"},
    {kStationPass, "PASS 通过"},
    {kStationFail, "FAIL 失败"},
    {kStationNoBoard, "未开始"},
    {kStationOnePortOnly, "%1 只能与一个 --port 同用"},
    {kStationTooManyPorts, "--port 最多 %1 个"},
    {kStationSetting, "设置中 %1/%2"},
    {kStationUpgrading, "升级中 %1/%2 页"},
    {kStationWaiting, "开始中"},
    {kStationDone, "结束"},
    {kStationHeader, "板 %1  通过 %2  失败 %3  良率 %4  每小时 %5 块"},
    {kStationBoardLine, "序列号 %1  标签 %2"},
    {kStationIdle, "等待：按回车（全部）或 %1 开始下一块板，q 结束"},
    {kStationAutoIdle, "等待接收机上电（或按回车 / %1），q 结束"},
    {kStationAsksLabel, "请扫描标签"},
    {kStationWaitsReceiver, "等待下一块板：接收机安静 2 秒后一发送数据即开始"},
    {kStationWaitsOperator, "等待操作员开始下一块板"},
    {kStationLabelEntry, "标签：%1_ → %2 （Tab 换工位，Esc 清除，Ctrl-D 结束）"},
};

constexpr fw::StringEntry kEnglish[] = {
    {kStationSlotSummary, "%1: boards %2, passed %3, failed %4; last %5"},
    {kStationLineSummary, "This run: boards %1, passed %2, failed %3, yield %4"},
    {kStationPass, "PASS"},
    {kStationFail, "FAIL"},
    {kStationNoBoard, "no board"},
    {kStationOnePortOnly, "%1 takes a single --port"},
    {kStationTooManyPorts, "at most %1 --port options"},
    {kStationSetting, "setting %1/%2"},
    {kStationUpgrading, "upgrading %1/%2 pages"},
    {kStationWaiting, "starting"},
    {kStationDone, "done"},
    {kStationHeader, "boards %1  passed %2  failed %3  yield %4  boards/h %5"},
    {kStationBoardLine, "serial %1  label %2"},
    {kStationIdle, "waiting: Enter (all) or %1 starts the next board, q ends"},
    {kStationAutoIdle, "waiting for a receiver to power on (or Enter / %1), q ends"},
    {kStationAsksLabel, "scan the label"},
    {kStationWaitsReceiver, "waiting for the next board: it starts when its receiver talks after 2 s of quiet"},
    {kStationWaitsOperator, "waiting for the operator to start the next board"},
    {kStationLabelEntry, "label: %1_ -> %2  (Tab: slot, Esc: clear, Ctrl-D: end)"},
};

constexpr fw::CStringTable kTable(kChinese, kEnglish);

}  // namespace

const fw::CStringTable& StationStrings() { return kTable; }

}  // namespace fe
