#include "configurator/resources/torvik_templates.h"

namespace torvik {
namespace {

using fw::ControlKind;
using fw::kIdStatic;

constexpr unsigned kWindow = fw::kDlgSysMenu | fw::kDlgModalFrame | fw::kDlgAppWindow | fw::kDlgMinimizeBox;
constexpr unsigned kEdit = fw::kBorder | fw::kAutoHScroll | fw::kTabStop;
constexpr unsigned kCheck = fw::kTabStop;
constexpr unsigned kLabel = 0;

}  // namespace

fw::DialogTemplate TorvikMainTemplate() {
  fw::DialogTemplate t;
  t.caption = "GTM900/CM320/EM310/EM200 生产设置 2010年01月26日";
  t.width = 374;
  t.height = 325;
  t.font = {"宋体", 9};
  t.style = kWindow;
  t.controls = {
      // 连接设置: type; port, count, serial number; 网络开启, 直通.
      {kIdStatic, ControlKind::GroupBox, "连接设置", 0, {7, 4, 201, 62}},
      {kIdStatic, ControlKind::Static, "仪器类型", kLabel, {14, 18, 36, 9}},
      {IDC_COMBO_TYPE, ControlKind::ComboBox, "", fw::kComboDropDownList | fw::kVScroll | fw::kTabStop, {52, 16, 90, 100}},
      {kIdStatic, ControlKind::Static, "通讯口", kLabel, {14, 34, 36, 9}},
      {IDC_COMBO_PORT, ControlKind::ComboBox, "", fw::kVScroll | fw::kTabStop, {52, 32, 58, 100}},
      {IDC_EDIT_COUNT, ControlKind::Edit, "", kEdit | fw::kEditDigitsOnly, {114, 32, 28, 12}},
      {IDC_EDIT_SERIAL_NO, ControlKind::Edit, "", kEdit | fw::kEditReadOnly, {146, 32, 56, 12}},
      {IDC_CHECK_NETWORK, ControlKind::CheckBox, "网络开启", kCheck, {14, 50, 52, 10}},
      {IDC_CHECK_DIRECT, ControlKind::CheckBox, "直通", kCheck, {80, 50, 40, 10}},

      // 模式设置 and NTRIP-VRS, top right.
      {kIdStatic, ControlKind::GroupBox, "模式设置", 0, {214, 4, 155, 44}},
      {IDC_CHECK_HERON, ControlKind::CheckBox, "HERON(GPRS/CDMA)", kCheck | fw::kGroupStart, {220, 16, 76, 10}},
      {IDC_CHECK_VRS, ControlKind::CheckBox, "VRS(GPRS/CDMA)", kCheck, {300, 16, 66, 10}},
      {IDC_CHECK_NTRIP, ControlKind::CheckBox, "NTRIP(GPRS/CDMA)", kCheck, {220, 31, 76, 10}},
      {IDC_CHECK_GSM, ControlKind::CheckBox, "GSM", kCheck, {300, 31, 40, 10}},
      {kIdStatic, ControlKind::GroupBox, "NTRIP-VRS", 0, {214, 52, 155, 48}},
      {kIdStatic, ControlKind::Static, "域", kLabel, {221, 66, 40, 9}},
      // Its edit field scrolls sideways: a mount point may be far wider than the box.
      {IDC_COMBO_MOUNT, ControlKind::ComboBox, "", fw::kVScroll | fw::kAutoHScroll | fw::kTabStop, {263, 64, 98, 120},
       {"[RTCA]", "[RTCM23]", "[RTCM30]", "[CMR]", "[RTD]", "RTCM30", "RTCM23", "CMR", "RTD"}},
      {kIdStatic, ControlKind::Static, "用户名:密码", kLabel, {221, 83, 42, 9}},
      {IDC_EDIT_USER_PASS, ControlKind::Edit, "", kEdit, {263, 81, 98, 12}},

      // 网络情况: the APN kinds, APN, user, password.
      {kIdStatic, ControlKind::GroupBox, "网络情况", 0, {7, 70, 100, 96}},
      {IDC_CHECK_MOBILE_APN, ControlKind::CheckBox, "移动APN", kCheck | fw::kGroupStart, {14, 82, 44, 10}},
      {IDC_CHECK_CUSTOM_APN, ControlKind::CheckBox, "自定义", kCheck, {62, 82, 40, 10}},
      {IDC_CHECK_CDMA, ControlKind::CheckBox, "CDMA", kCheck, {14, 96, 40, 10}},
      {kIdStatic, ControlKind::Static, "APN", kLabel, {14, 114, 24, 9}},
      {IDC_EDIT_APN, ControlKind::Edit, "", kEdit, {40, 112, 60, 12}},
      {kIdStatic, ControlKind::Static, "用户名", kLabel, {14, 131, 26, 9}},
      {IDC_EDIT_USER, ControlKind::Edit, "", kEdit, {40, 129, 60, 12}},
      {kIdStatic, ControlKind::Static, "密码", kLabel, {14, 148, 26, 9}},
      {IDC_EDIT_PASSWORD, ControlKind::Edit, "", kEdit, {40, 146, 60, 12}},

      // 网络设置: DNS use, server preset and address, DNS name, port.
      {kIdStatic, ControlKind::GroupBox, "网络设置", 0, {112, 70, 96, 96}},
      {IDC_CHECK_USE_DNS, ControlKind::CheckBox, "DNS方式", kCheck, {119, 82, 50, 10}},
      {kIdStatic, ControlKind::Static, "IP", kLabel, {119, 98, 14, 9}},
      {IDC_COMBO_SERVER, ControlKind::ComboBox, "", fw::kComboDropDownList | fw::kVScroll | fw::kTabStop,
       {137, 96, 64, 60}, {"电信", "网通", "自定义"}},
      {IDC_EDIT_SERVER_IP, ControlKind::Edit, "", kEdit, {119, 112, 82, 12}},
      {kIdStatic, ControlKind::Static, "DNS", kLabel, {119, 131, 16, 9}},
      {IDC_EDIT_DNS, ControlKind::Edit, "", kEdit, {137, 129, 64, 12}},
      {kIdStatic, ControlKind::Static, "PORT", kLabel, {119, 148, 18, 9}},
      {IDC_EDIT_SERVER_PORT, ControlKind::Edit, "", kEdit, {137, 146, 64, 12}},

      // The unit ids and phone numbers, a column at the middle right.
      {kIdStatic, ControlKind::Static, "本机机号", kLabel, {218, 110, 44, 9}},
      {IDC_EDIT_LOCAL_ID, ControlKind::Edit, "", kEdit, {263, 108, 98, 12}},
      {kIdStatic, ControlKind::Static, "BASE机号", kLabel, {218, 125, 44, 9}},
      {IDC_EDIT_BASE_ID, ControlKind::Edit, "", kEdit, {263, 123, 98, 12}},
      {kIdStatic, ControlKind::Static, "本机电话号", kLabel, {218, 140, 44, 9}},
      {IDC_EDIT_LOCAL_PHONE, ControlKind::Edit, "", kEdit, {263, 138, 98, 12}},
      {kIdStatic, ControlKind::Static, "BASE电话号", kLabel, {218, 155, 44, 9}},
      {IDC_EDIT_BASE_PHONE, ControlKind::Edit, "", kEdit, {263, 153, 98, 12}},

      // 上发设置, the full width.
      {kIdStatic, ControlKind::GroupBox, "上发设置", 0, {7, 170, 360, 32}},
      {IDC_EDIT_GGA, ControlKind::Edit, "", kEdit, {14, 183, 232, 12}},
      {IDC_CHECK_FIXED_UPLOAD, ControlKind::CheckBox, "固定上发", kCheck, {253, 184, 46, 10}},
      {kIdStatic, ControlKind::Static, "间隔", kLabel, {303, 185, 18, 9}},
      {IDC_EDIT_INTERVAL, ControlKind::Edit, "", kEdit | fw::kEditDigitsOnly, {323, 183, 38, 12}},

      // The buttons stacked at the bottom left, the log filling the bottom right.
      {IDC_BUTTON_PORT, ControlKind::Button, "打开串口", fw::kTabStop, {7, 212, 60, 18}},
      {IDC_BUTTON_SET, ControlKind::Button, "设置", fw::kTabStop, {7, 240, 60, 18}},
      {fw::kIdOk, ControlKind::Button, "退出", fw::kTabStop, {7, 268, 60, 18}},
      {IDC_LIST_LOG, ControlKind::ListBox, "", fw::kBorder | fw::kVScroll | fw::kTabStop, {74, 208, 293, 110}},
  };
  return t;
}

fw::DialogTemplate TorvikAboutTemplate() {
  fw::DialogTemplate t;
  t.caption = "关于 Torvik";
  t.width = 190;
  t.height = 62;
  t.font = {"宋体", 9};
  t.style = fw::kDlgSysMenu | fw::kDlgModalFrame | fw::kDlgCentered;
  t.controls = {
      {kIdStatic, ControlKind::Icon, "", 0, {11, 14, 20, 20}, {}, IDR_MAINFRAME},
      {kIdStatic, ControlKind::Static, "Torvik 1.0 版", 0, {40, 12, 119, 8}},
      {kIdStatic, ControlKind::Static, "调制解调板生产设置工具  版权所有 (C) 2010", 0, {40, 26, 144, 8}},
      {fw::kIdOk, ControlKind::Button, "确定", fw::kDefaultButton | fw::kTabStop, {133, 41, 50, 14}},
  };
  return t;
}

}  // namespace torvik
