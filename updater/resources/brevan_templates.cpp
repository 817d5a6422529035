#include "updater/resources/brevan_templates.h"

namespace brevan {
namespace {

using fw::ControlKind;
using fw::kIdStatic;

constexpr unsigned kVersionBox = fw::kEditReadOnly | fw::kBorder | fw::kAutoHScroll;
constexpr unsigned kStatusBox = fw::kEditMultiLine | fw::kBorder | fw::kAutoHScroll | fw::kAutoVScroll;
constexpr unsigned kWindow = fw::kDlgSysMenu | fw::kDlgModalFrame | fw::kDlgAppWindow | fw::kDlgMinimizeBox;

const std::vector<std::string_view> kBaudItems = {"9600", "19200", "38400", "57600", "115200", "BREAK"};

// One row of the layout table: the same control in both variants.
struct Row {
  int id;
  ControlKind kind;
  unsigned style;
  std::string_view chinese, english;
  fw::Rect chineseRect, englishRect;
};

const Row kRows[] = {
    {fw::kIdOk, ControlKind::Button, fw::kDefaultButton | fw::kTabStop, "在线升级", "UPDATE", {26, 278, 41, 17}, {42, 274, 41, 17}},
    {fw::kIdCancel, ControlKind::Button, fw::kTabStop, "取消升级", "CANCEL", {205, 278, 41, 17}, {232, 274, 41, 17}},
    {IDC_COMBO_PORT, ControlKind::ComboBox, fw::kVScroll | fw::kTabStop, "", "", {58, 9, 51, 84}, {75, 16, 51, 32}},
    {kIdStatic, ControlKind::Static, 0, "串口选择", "COM PORT", {20, 11, 34, 11}, {21, 17, 52, 12}},
    {IDC_PROGRESS, ControlKind::Progress, 0, "", "", {58, 252, 200, 11}, {64, 252, 257, 11}},
    {kIdStatic, ControlKind::Static, 0, "升级进度", "STATUS", {10, 254, 36, 11}, {11, 253, 36, 11}},
    {IDC_EDIT_STATUS, ControlKind::Edit, kStatusBox, "", "", {5, 186, 289, 54}, {3, 179, 327, 65}},
    {kIdStatic, ControlKind::Static, 0, "GPRS机号", "GPRS S/N", {143, 12, 36, 11}, {143, 12, 74, 13}},
    {IDC_EDIT_SERIAL_NO, ControlKind::Edit, kVersionBox, "", "", {188, 10, 95, 14}, {225, 13, 65, 14}},
    {kIdStatic, ControlKind::Static, 0, "硬件版本", "HARDWARE VERSION", {143, 28, 36, 11}, {143, 33, 74, 8}},
    {IDC_EDIT_HARDWARE_VERSION, ControlKind::Edit, kVersionBox, "", "", {188, 26, 96, 14}, {225, 30, 65, 14}},
    {kIdStatic, ControlKind::Static, 0, "机内软件版本", "SOFTWARE VERSION", {129, 45, 51, 11}, {143, 52, 74, 11}},
    {IDC_EDIT_SOFTWARE_VERSION, ControlKind::Edit, kVersionBox, "", "", {188, 43, 96, 14}, {225, 49, 65, 14}},
    {IDC_COMBO_BAUD, ControlKind::ComboBox, fw::kComboDropDownList | fw::kVScroll | fw::kTabStop, "", "",
     {58, 27, 51, 84}, {75, 34, 51, 14}},
    {kIdStatic, ControlKind::Static, 0, "连接波特率", "BAUD RATE", {9, 29, 45, 11}, {27, 36, 45, 11}},
    {kIdStatic, ControlKind::GroupBox, 0, "机内情况", "current module info", {119, 2, 171, 59}, {138, 2, 158, 68}},
    {kIdStatic, ControlKind::GroupBox, 0, "升级软件情况", "", {5, 65, 287, 112}, {1, 79, 329, 91}},
    {kIdStatic, ControlKind::GroupBox, 0, "通讯口", "serial port", {5, 0, 109, 45}, {6, 2, 126, 68}},
    {IDC_EDIT_VERSION_0, ControlKind::Edit, kVersionBox, "", "", {65, 75, 76, 12}, {72, 83, 51, 12}},
    {kIdStatic, ControlKind::Static, 0, "GTM900-2(GSM)", "GTM900-2(GSM)", {8, 78, 56, 8}, {13, 85, 56, 11}},
    {IDC_EDIT_VERSION_0 + 1, ControlKind::Edit, kVersionBox, "", "", {210, 74, 75, 12}, {72, 95, 51, 12}},
    {kIdStatic, ControlKind::Static, 0, "CM320-2(CDMA)", "CM320-2(CDMA)", {153, 76, 54, 8}, {13, 99, 56, 11}},
    {IDC_EDIT_VERSION_0 + 2, ControlKind::Edit, kVersionBox, "", "", {65, 94, 75, 12}, {194, 83, 51, 12}},
    {kIdStatic, ControlKind::Static, 0, "EM310(GSM)", "EM310(GSM)", {8, 97, 43, 8}, {143, 85, 48, 10}},
    {IDC_EDIT_VERSION_0 + 3, ControlKind::Edit, kVersionBox, "", "", {210, 92, 75, 12}, {194, 96, 51, 12}},
    {kIdStatic, ControlKind::Static, 0, "EM200(CDMA)", "EM200(GSM)", {153, 95, 46, 8}, {143, 98, 48, 10}},
    {IDC_EDIT_VERSION_0 + 4, ControlKind::Edit, kVersionBox, "", "", {65, 113, 76, 12}, {71, 112, 51, 12}},
    {kIdStatic, ControlKind::Static, 0, "GC864(GSM)", "GC864(GSM)", {8, 116, 43, 8}, {21, 114, 48, 10}},
    {IDC_EDIT_VERSION_5, ControlKind::Edit, kVersionBox, "", "", {65, 153, 75, 12}, {194, 114, 51, 12}},
    {kIdStatic, ControlKind::Static, 0, "MC75i(GSM)", "MC75(GSM)", {8, 154, 44, 8}, {143, 114, 48, 10}},
    {kIdStatic, ControlKind::Static, 0, "CC864(CDMA)", "CC864(CDMA)", {153, 114, 45, 8}, {20, 131, 45, 8}},
    {kIdStatic, ControlKind::Static, 0, "NET100(双模)", "NET100", {153, 133, 48, 9}, {159, 132, 25, 8}},
    {IDC_EDIT_VERSION_6, ControlKind::Edit, kVersionBox, "", "", {210, 110, 76, 14}, {71, 129, 52, 14}},
    {IDC_EDIT_VERSION_7, ControlKind::Edit, kVersionBox, "", "", {210, 130, 75, 14}, {194, 129, 51, 14}},
    {kIdStatic, ControlKind::Static, 0, "UC864(WCDMA)", "UC864(WCDMA)", {153, 153, 49, 8}, {17, 151, 49, 8}},
    {IDC_EDIT_VERSION_8, ControlKind::Edit, kVersionBox, "", "", {210, 150, 76, 14}, {70, 148, 53, 14}},
    // English: the fifth row of the right-hand column, beside UC864's.
    {kIdStatic, ControlKind::Static, 0, "GL868(GSM)", "GL868(GSM)", {8, 135, 41, 8}, {143, 151, 48, 10}},
    {IDC_EDIT_VERSION_9, ControlKind::Edit, kVersionBox, "", "", {65, 132, 76, 14}, {194, 148, 51, 14}},
};

}  // namespace

fw::DialogTemplate BrevanMainTemplate(fw::UiLanguage language) {
  const bool chinese = language == fw::UiLanguage::Chinese;
  fw::DialogTemplate t;
  t.caption = chinese ? "GSM-CDMA在线升级程序 2011.08.23" : "GPRS-CDMA2011.05.03";
  t.width = chinese ? 353 : 331;
  t.height = chinese ? 305 : 313;
  t.font = chinese ? fw::DialogFont{"宋体", 9} : fw::DialogFont{"MS Sans Serif", 10};
  t.style = kWindow;
  for (const Row& row : kRows) {
    fw::ControlTemplate c{row.id, row.kind, chinese ? row.chinese : row.english, row.style,
                          chinese ? row.chineseRect : row.englishRect};
    if (row.id == IDC_COMBO_BAUD) c.items = kBaudItems;
    t.controls.push_back(std::move(c));
  }
  return t;
}

fw::DialogTemplate BrevanAboutTemplate() {
  fw::DialogTemplate t;
  t.caption = "关于 Brevan";
  t.width = 190;
  t.height = 55;
  t.font = {"宋体", 9};
  t.style = fw::kDlgSysMenu | fw::kDlgModalFrame;
  t.controls = {
      {kIdStatic, ControlKind::Icon, "", 0, {11, 17, 20, 20}, {}, IDR_MAINFRAME},
      {kIdStatic, ControlKind::Static, "Brevan 1.0 版", 0, {61, 10, 72, 8}},
      {kIdStatic, ControlKind::Static, "Kavel 测绘仪器 版权所有 (C) 2008-2011", 0, {36, 25, 139, 8}},
      {kIdStatic, ControlKind::Static, "本程序仅用于 Kavel 接收机", 0, {57, 39, 113, 13}},
  };
  return t;
}

}  // namespace brevan
