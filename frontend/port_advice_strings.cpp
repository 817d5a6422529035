#include "frontend/port_advice_strings.h"

namespace fe {

namespace {

constexpr fw::StringEntry kChinese[] = {
    {kAdviceMissing, "设备不存在：%1 不存在。本机的串口：%2；请用 --port 指定其中之一。"},
    {kAdviceNoDevice, "设备不存在：%1 存在，但其后没有设备应答（已拔出或驱动未加载）。本机的串口：%2。"},
    {kAdviceNoneFound, "未找到"},
    {kAdviceMorePorts, "%1 等，另有 %2 个"},
    {kAdviceListSeparator, "、"},
    {kAdviceJoinGroup,
     "无权限：%1 属于用户组 %2，而用户 %3 不在该组。请执行 sudo usermod -aG %2 %3 加入该组，然后重新登录。"},
    {kAdviceLogInAgain,
     "无权限：%1 属于用户组 %2；用户 %3 已加入该组，但本次登录早于加入，尚未生效。请注销后重新登录（或用 newgrp %2 "
     "开一个新的 shell）。"},
    {kAdviceGroupHasNoAccess,
     "无权限：%1 的权限为 %3，不给用户组 %2 读写权限，加入该组也无济于事。请管理员为该组开放读写（sudo chmod g+rw "
     "%1，或写一条 udev 规则）。"},
    {kAdviceDeniedInGroup, "无权限：%1：%3。你已在其用户组 %2 中，请向管理员询问还有什么拒绝了访问。"},
    {kAdviceDenied, "无权限：%1：%2。请向管理员申请该串口的读写权限。"},
    {kAdviceHeldBy, "串口被占用：%1 正被 %2 使用。请关闭该程序后重试。"},
    {kAdviceHeldByModemManager,
     "串口被占用：%1 正被调制解调器管理程序 %2 使用，它常会占住看似调制解调器的串口。请停止它（sudo systemctl stop "
     "ModemManager），或用 udev 规则设置 ENV{ID_MM_DEVICE_IGNORE}=\"1\" 让它忽略该串口。"},
    {kAdviceHeldByUnknown, "串口被占用：另一个程序正在使用 %1。请关闭该程序后重试。"},
    {kAdviceHeldByUnknownHint,
     "串口被占用：另一个程序正在使用 %1（以 root 身份运行可查出是哪个程序）。请关闭该程序后重试。"},
    {kAdviceHolder, "%1（进程号 %2）"},
    {kAdviceHolderNoName, "进程号 %1"},
    {kAdviceNotSerial, "不是串口设备：%1 是%2，不是串口。本机的串口：%3。"},
    {kAdviceKindRegular, "普通文件"},
    {kAdviceKindDirectory, "目录"},
    {kAdviceKindDevice, "非终端的设备"},
    {kAdviceKindOther, "其他类型的文件"},
    {kAdviceOpenFailed, "无法打开 %1：%2。"},
    {kAdviceOpenFailedNoText, "无法打开 %1。"},
};

constexpr fw::StringEntry kEnglish[] = {
    {kAdviceMissing, "No such device: %1 does not exist. Serial ports here: %2; name one with --port."},
    {kAdviceNoDevice,
     "No such device: %1 is there but no device answers behind it (unplugged, or its driver is not loaded). Serial "
     "ports here: %2."},
    {kAdviceNoneFound, "none found"},
    {kAdviceMorePorts, "%1 and %2 more"},
    {kAdviceListSeparator, ", "},
    {kAdviceJoinGroup,
     "Permission denied: %1 belongs to group %2, which user %3 is not in. Join it with sudo usermod -aG %2 %3, then "
     "log out and in again."},
    {kAdviceLogInAgain,
     "Permission denied: %1 belongs to group %2; user %3 is in that group now, but this session began before. Log "
     "out and in again (or start a shell with newgrp %2)."},
    {kAdviceGroupHasNoAccess,
     "Permission denied: %1 has mode %3, which gives its group %2 no read and write access, so joining %2 would not "
     "help. Ask an administrator to open it to the group (sudo chmod g+rw %1, or a udev rule)."},
    {kAdviceDeniedInGroup,
     "Permission denied: %1: %3. You are in its group %2 already; ask an administrator what else refuses it."},
    {kAdviceDenied, "Permission denied: %1: %2. Ask an administrator for read and write access to the port."},
    {kAdviceHeldBy, "In use: %1 is held by %2. Close that program and try again."},
    {kAdviceHeldByModemManager,
     "In use: %1 is held by %2, the modem manager, which often takes serial ports that look like modems. Stop it "
     "(sudo systemctl stop ModemManager) or make it ignore the port with a udev rule setting "
     "ENV{ID_MM_DEVICE_IGNORE}=\"1\"."},
    {kAdviceHeldByUnknown, "In use: another program holds %1. Close the other program and try again."},
    {kAdviceHeldByUnknownHint,
     "In use: another program holds %1 (run as root to see which). Close the other program and try again."},
    {kAdviceHolder, "%1 (pid %2)"},
    {kAdviceHolderNoName, "pid %1"},
    {kAdviceNotSerial, "Not a serial device: %1 is %2, not a serial port. Serial ports here: %3."},
    {kAdviceKindRegular, "a regular file"},
    {kAdviceKindDirectory, "a directory"},
    {kAdviceKindDevice, "a device that is no terminal"},
    {kAdviceKindOther, "no device"},
    {kAdviceOpenFailed, "Could not open %1: %2."},
    {kAdviceOpenFailedNoText, "Could not open %1."},
};

constexpr fw::CStringTable kTable(kChinese, kEnglish);

}  // namespace

const fw::CStringTable& PortAdviceStrings() { return kTable; }

}  // namespace fe
