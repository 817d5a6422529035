// The Win32 host on real windows under Wine: the template becomes controls of
// the right class, id, text and place; the host's calls and the notifications
// go through the real controls; data exchange with real message boxes; sends
// from another thread served while the UI thread waits; a control class on a
// subclassed control; screenshots of the sample dialog in both languages.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "dialog_testkit.h"
#include "framework/ddx.h"
#include "framework/win32/dialog_template_builder.h"
#include "framework/win32/sent_message_wait.h"
#include "win32_gui_driver.h"

using namespace fwtest;
using namespace fwgui;
using namespace std::chrono_literals;

namespace {

constexpr int kLabel = fw::kIdStatic;

// The kit with a font, list items and an unnamed label.
fw::DialogTemplate SampleTemplate() {
  fw::DialogTemplate t = KitTemplate();
  t.font = {"MS Shell Dlg", 8};
  t.style |= fw::kDlgCentered | fw::kDlgMinimizeBox;
  for (fw::ControlTemplate& c : t.controls) {
    if (c.id == kDropDown) c.items = {"COM1", "COM2", "COM3"};
    if (c.id == kDropList) c.items = {"x", "y", "z"};
    if (c.id == kList) c.items = {"alpha", "beta", "gamma"};
  }
  t.controls.push_back({kLabel, fw::ControlKind::Static, "Rate:", fw::kRightText, {60, 52, 40, 8}});
  return t;
}

fw::DialogTemplate ChineseTemplate() {
  fw::DialogTemplate t = SampleTemplate();
  t.caption = "调制解调器设置";
  t.font = {"宋体", 9};
  for (fw::ControlTemplate& c : t.controls) {
    if (c.id == fw::kIdOk) c.text = "确定";
    if (c.id == fw::kIdCancel) c.text = "取消";
    if (c.id == kStatic) c.text = "状态";
    if (c.id == kButton) c.text = "开始";
    if (c.id == kCheck) c.text = "详细信息";
    if (c.id == kGroup) c.text = "端口";
    if (c.id == kReadOnlyEdit) c.text = "固定";
    if (c.id == kLabel) c.text = "速率：";
  }
  return t;
}

HWND Item(const fw::Win32DialogHost& host, int id) { return static_cast<HWND>(host.ControlWindow(id)); }

void TypeChars(HWND hwnd, std::wstring_view text) {
  for (wchar_t ch : text) SendMessageW(hwnd, WM_CHAR, ch, 1);
}

class Win32Gui : public ::testing::Test {
 protected:
  fw::Win32DialogHost host;
};

}  // namespace

TEST_F(Win32Gui, TemplateBecomesControlsWithClassIdTextAndPlace) {
  const fw::DialogTemplate t = SampleTemplate();
  DrivenDialog dialog(t);
  const int result = RunDriven(host, dialog, [&](HWND dlg) {
    EXPECT_EQ(TextOf(dlg), "Kit");
    const LONG style = GetWindowLongW(dlg, GWL_STYLE);
    EXPECT_TRUE(style & WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    HWND child = GetWindow(dlg, GW_CHILD);
    for (const fw::ControlTemplate& c : t.controls) {
      SCOPED_TRACE(c.id);
      ASSERT_NE(child, nullptr);
      EXPECT_EQ(GetDlgCtrlID(child), c.id & 0xFFFF);
      EXPECT_EQ(ClassOf(child), fw::win32::ControlClassName(c.kind));
      if (c.kind != fw::ControlKind::ComboBox && c.kind != fw::ControlKind::ListBox) {
        EXPECT_EQ(TextOf(child), c.text);
      }
      // The dialog manager maps origin and size each on its own, as MapDialogRect does per edge.
      RECT origin{c.rect.x, c.rect.y, c.rect.cx, c.rect.cy};
      MapDialogRect(dlg, &origin);
      const RECT expected{origin.left, origin.top, origin.left + origin.right, origin.top + origin.bottom};
      RECT actual{};
      GetWindowRect(child, &actual);
      MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&actual), 2);
      EXPECT_EQ(actual.left, expected.left);
      EXPECT_EQ(actual.top, expected.top);
      EXPECT_EQ(actual.right, expected.right);
      // A combo box's height in the template includes its dropped list; the window is the closed field.
      if (c.kind != fw::ControlKind::ComboBox) {
        EXPECT_EQ(actual.bottom, expected.bottom);
      }
      child = GetWindow(child, GW_HWNDNEXT);
    }
    EXPECT_EQ(child, nullptr);
    EXPECT_TRUE(GetWindowLongW(Item(host, kDigitsEdit), GWL_STYLE) & ES_NUMBER);
    EXPECT_TRUE(GetWindowLongW(Item(host, kMultiEdit), GWL_STYLE) & ES_MULTILINE);
    EXPECT_TRUE(GetWindowLongW(Item(host, kReadOnlyEdit), GWL_STYLE) & ES_READONLY);
    EXPECT_EQ(GetWindowLongW(Item(host, kDropList), GWL_STYLE) & 3, CBS_DROPDOWNLIST);
    EXPECT_EQ(GetWindowLongW(Item(host, kDropDown), GWL_STYLE) & 3, CBS_DROPDOWN);
    EXPECT_EQ(GetWindowLongW(Item(host, fw::kIdOk), GWL_STYLE) & 0xF, BS_DEFPUSHBUTTON);
    EXPECT_EQ(GetWindowLongW(Item(host, kCheck), GWL_STYLE) & 0xF, BS_AUTOCHECKBOX);
    OnUi(dlg, [&] {
      // Items from the template were there before OnInitDialog.
      EXPECT_EQ(host.GetCount(kDropDown), 3);
      EXPECT_EQ(host.GetItemText(kList, 2), "gamma");
      EXPECT_EQ(host.GetWindowText(kLabel), "Rate:");
      EXPECT_TRUE(host.HasControl(kProgress));
      EXPECT_FALSE(host.HasControl(kOther + 1));
      host.SetWindowText(kStatic, "Ready");
      host.SetWindowText(kEdit, "COM4");
      host.SetCurSel(kDropList, 1);
      host.SetCurSel(kList, 1);
      host.SetRange(kProgress, 0, 100);
      host.SetPos(kProgress, 40);
      host.SetCheck(kCheck, 1);
      RedrawWindow(dlg, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    });
    std::string png;
    OnUi(dlg, [&] { png = CaptureWindowPng(dlg, "framework-sample-en.png"); });
    EXPECT_FALSE(png.empty()) << "screenshot not written";
    PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
  });
  EXPECT_EQ(result, fw::kIdCancel);
  EXPECT_FALSE(dialog.timedOut);
}

TEST_F(Win32Gui, ChineseTemplateShowsItsTextsAndScreenshot) {
  const fw::DialogTemplate t = ChineseTemplate();
  DrivenDialog dialog(t);
  RunDriven(host, dialog, [&](HWND dlg) {
    EXPECT_EQ(TextOf(dlg), "调制解调器设置");
    EXPECT_EQ(TextOf(Item(host, fw::kIdOk)), "确定");
    OnUi(dlg, [&] {
      EXPECT_EQ(host.GetWindowText(kCheck), "详细信息");
      host.SetWindowText(kEdit, "端口一");
      host.AddString(kList, "第四项");
      host.SetPos(kProgress, 70);
      RedrawWindow(dlg, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    });
    std::string png;
    OnUi(dlg, [&] { png = CaptureWindowPng(dlg, "framework-sample-zh.png"); });
    EXPECT_FALSE(png.empty());
    PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
  });
  EXPECT_FALSE(dialog.timedOut);
}

TEST_F(Win32Gui, ButtonsCheckBoxAndEditNotify) {
  DrivenDialog dialog(SampleTemplate());
  std::atomic<int> goClicks{0}, checkClicks{0}, edits{0};
  dialog.OnClicked(kButton, [&] { ++goClicks; });
  dialog.OnClicked(kCheck, [&] { ++checkClicks; });
  dialog.OnCommand(kDigitsEdit, fw::Notify::Change, [&] { ++edits; });
  RunDriven(host, dialog, [&](HWND dlg) {
    SendMessageW(Item(host, kButton), BM_CLICK, 0, 0);
    SendMessageW(Item(host, kCheck), BM_CLICK, 0, 0);
    EXPECT_EQ(goClicks, 1);
    EXPECT_EQ(checkClicks, 1);
    OnUi(dlg, [&] { EXPECT_EQ(host.GetCheck(kCheck), 1); });
    SendMessageW(Item(host, kCheck), BM_CLICK, 0, 0);
    OnUi(dlg, [&] { EXPECT_EQ(host.GetCheck(kCheck), 0); });

    // Digits only, and the typing limit; a program's text passes both.
    HWND digits = Item(host, kDigitsEdit);
    OnUi(dlg, [&] { host.SetFocus(kDigitsEdit); });
    TypeChars(digits, L"1a2-");
    EXPECT_EQ(edits, 2);  // one per key the edit took
    OnUi(dlg, [&] {
      EXPECT_EQ(host.GetWindowText(kDigitsEdit), "12");
      EXPECT_EQ(host.GetFocus(), kDigitsEdit);
      host.SetLimitText(kDigitsEdit, 3);
    });
    TypeChars(digits, L"3456");
    EXPECT_EQ(TextOf(digits), "123");
    EXPECT_EQ(SendMessageW(digits, EM_GETLIMITTEXT, 0, 0), 3);
    const int before = edits;
    OnUi(dlg, [&] { host.SetWindowText(kDigitsEdit, "12345x"); });
    EXPECT_EQ(TextOf(digits), "12345x");
    EXPECT_EQ(edits, before);  // the program's own text does not notify

    // Multi-line scrolling; a single line does not scroll.
    OnUi(dlg, [&] {
      std::string lines;
      for (int i = 0; i < 30; ++i) lines += "line " + std::to_string(i) + "\r\n";
      host.SetWindowText(kMultiEdit, lines);
      EXPECT_TRUE(host.LineScroll(kMultiEdit, 5, 0));
      EXPECT_EQ(host.GetFirstVisibleLine(kMultiEdit), 5);
      EXPECT_FALSE(host.LineScroll(kEdit, 5, 0));
      EXPECT_EQ(host.GetFirstVisibleLine(kEdit), 0);
      host.EnableWindow(kButton, false);
      EXPECT_FALSE(host.IsWindowEnabled(kButton));
      EXPECT_TRUE(host.IsWindowEnabled(kCheck));
    });
    PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
  });
  EXPECT_FALSE(dialog.timedOut);
}

namespace {

// Saves and re-shows every member on each change of its edits, as a form
// whose fields depend on each other does.
class ReshowDialog : public DrivenDialog {
 public:
  ReshowDialog() : DrivenDialog(SampleTemplate()) {
    OnCommand(kNameEdit, fw::Notify::Change, [this] { Reshow(nameChanges); });
    OnCommand(kIntEdit, fw::Notify::Change, [this] { Reshow(rateChanges); });
    OnCommand(kOther, fw::Notify::Change, [this] { ++otherChanges; });
    OnCommand(kDropDown, fw::Notify::EditUpdate, [this] { ++otherChanges; });
    OnCommand(kDropDown, fw::Notify::EditChange, [this] { ++otherChanges; });
  }
  void DoDataExchange(fw::CDataExchange& dx) override {
    fw::DDX_Text(&dx, kNameEdit, name);
    fw::DDX_Text(&dx, kIntEdit, rate);
    fw::DDX_Text(&dx, kOther, summary);
  }
  void Reshow(std::atomic<int>& counter) {
    ++counter;
    if (++depth > 1) reentered = true;
    if (UpdateData(true)) {
      summary = name + "@" + std::to_string(rate);
      UpdateData(false);
    }
    --depth;
  }
  std::string name = "ab";
  int rate = 9;
  std::string summary;
  std::atomic<int> nameChanges{0}, rateChanges{0}, otherChanges{0};
  int depth = 0;
  std::atomic<bool> reentered{false};
};

}  // namespace

TEST_F(Win32Gui, EachTypedKeyNotifiesOnceTheProgramsTextNever) {
  ReshowDialog form;
  RunDriven(host, form, [&](HWND dlg) {
    HWND name = Item(host, kNameEdit);
    EXPECT_EQ(TextOf(name), "ab");  // loaded without a notification
    EXPECT_EQ(form.nameChanges + form.rateChanges + form.otherChanges, 0);

    // The handler re-shows the same text after every key: not written again,
    // so the caret stays at the end and the keys land in order.
    OnUi(dlg, [&] { host.SetFocus(kNameEdit); });
    SendMessageW(name, EM_SETSEL, 2, 2);
    TypeChars(name, L"COM7");
    EXPECT_EQ(form.nameChanges, 4);
    EXPECT_EQ(TextOf(name), "abCOM7");
    DWORD start = 0, end = 0;
    SendMessageW(name, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 6u);
    EXPECT_EQ(end, 6u);
    EXPECT_EQ(TextOf(Item(host, kOther)), "abCOM7@9");
    EXPECT_EQ(form.otherChanges, 0);

    // A re-show that changes a text ("00" shows as "0") writes it without
    // running the handler inside itself; the next key notifies as before.
    HWND rate = Item(host, kIntEdit);
    OnUi(dlg, [&] { host.SetFocus(kIntEdit); });
    SendMessageW(rate, EM_SETSEL, 0, -1);
    TypeChars(rate, L"00");
    EXPECT_EQ(form.rateChanges, 2);
    EXPECT_EQ(TextOf(rate), "0");
    SendMessageW(rate, EM_SETSEL, 1, 1);
    TypeChars(rate, L"7");
    EXPECT_EQ(form.rateChanges, 3);
    EXPECT_EQ(TextOf(rate), "7");
    SendMessageW(rate, EM_SETSEL, 1, 1);
    TypeChars(rate, L"5");
    EXPECT_EQ(form.rateChanges, 4);
    EXPECT_EQ(form.rate, 75);
    EXPECT_EQ(form.name, "abCOM7");
    EXPECT_EQ(TextOf(Item(host, kOther)), "abCOM7@75");
    EXPECT_FALSE(form.reentered);

    // The program's writes, direct or through a load, notify nobody.
    OnUi(dlg, [&] {
      host.SetWindowText(kNameEdit, "x");
      host.SetWindowText(kOther, "y");
      host.SetWindowText(kDropDown, "COM5");
      form.rate = 4800;
      form.UpdateData(false);
    });
    EXPECT_EQ(TextOf(rate), "4800");
    EXPECT_EQ(TextOf(name), "abCOM7");
    EXPECT_EQ(form.nameChanges, 4);
    EXPECT_EQ(form.rateChanges, 4);
    EXPECT_EQ(form.otherChanges, 0);
    TypeChars(Item(host, kOther), L"z");
    EXPECT_EQ(form.otherChanges, 1);
    PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
  });
  EXPECT_FALSE(form.timedOut);
}

TEST_F(Win32Gui, ComboAndListBoxesThroughTheirMessages) {
  DrivenDialog dialog(SampleTemplate());
  std::atomic<int> selChanges{0}, editUpdates{0}, editChanges{0}, listChanges{0}, lastSel{-2};
  dialog.OnCommand(kDropList, fw::Notify::SelChange, [&] {
    ++selChanges;
    lastSel = dialog.Combo(kDropList).GetCurSel();
  });
  dialog.OnCommand(kDropDown, fw::Notify::EditUpdate, [&] { ++editUpdates; });
  dialog.OnCommand(kDropDown, fw::Notify::EditChange, [&] { ++editChanges; });
  dialog.OnCommand(kList, fw::Notify::SelChange, [&] { ++listChanges; });
  RunDriven(host, dialog, [&](HWND dlg) {
    HWND dropList = Item(host, kDropList);
    SendMessageW(dropList, CB_SETCURSEL, 2, 0);
    SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(kDropList, CBN_SELCHANGE), reinterpret_cast<LPARAM>(dropList));
    EXPECT_EQ(selChanges, 1);
    EXPECT_EQ(lastSel, 2);

    OnUi(dlg, [&] {
      EXPECT_EQ(host.GetWindowText(kDropList), "z");  // a drop-down list's text is its selection
      host.SetWindowText(kDropList, "other");          // and cannot be set
      EXPECT_EQ(host.GetWindowText(kDropList), "z");
      EXPECT_TRUE(host.IsDropDownList(kDropList));
      EXPECT_FALSE(host.IsDropDownList(kDropDown));
      EXPECT_EQ(host.AddString(kDropDown, "COM10"), 3);
      EXPECT_EQ(host.FindString(kDropDown, -1, "com1"), 0);
      EXPECT_EQ(host.FindString(kDropDown, 0, "com1"), 3);  // after index 0
      EXPECT_EQ(host.FindString(kDropDown, 3, "com1"), 0);  // wraps
      EXPECT_EQ(host.FindString(kDropDown, -1, "lpt"), -1);
      EXPECT_EQ(host.SelectString(kDropDown, -1, "com2"), 1);
      EXPECT_EQ(host.GetWindowText(kDropDown), "COM2");
      EXPECT_EQ(host.SelectString(kDropDown, -1, "lpt"), -1);
      EXPECT_EQ(host.GetCurSel(kDropDown), 1);  // a failed search leaves the selection
      host.SetWindowText(kDropDown, "/dev/ttyS0");  // the edit field
      EXPECT_EQ(host.GetWindowText(kDropDown), "/dev/ttyS0");
      EXPECT_EQ(host.DeleteString(kDropDown, 9), -1);
      EXPECT_EQ(host.DeleteString(kDropDown, 0), 3);
      EXPECT_EQ(host.GetItemText(kDropDown, 0), "COM2");
      EXPECT_EQ(host.GetItemText(kDropDown, 7), "");
      EXPECT_EQ(host.SetCurSel(kDropDown, 9), -1);
      EXPECT_EQ(host.GetCurSel(kDropDown), -1);
      host.ResetContent(kDropDown);
      EXPECT_EQ(host.GetCount(kDropDown), 0);
      EXPECT_EQ(host.GetCount(kEdit), -1);
      host.SetFocus(kDropDown);
    });
    // Typing into the drop-down's edit field.
    COMBOBOXINFO info{};
    info.cbSize = sizeof(info);
    ASSERT_TRUE(GetComboBoxInfo(Item(host, kDropDown), &info));
    TypeChars(info.hwndItem, L"COM7");
    EXPECT_EQ(TextOf(Item(host, kDropDown)), "COM7");
    EXPECT_GE(editUpdates, 4);
    EXPECT_GE(editChanges, 4);

    // A real click on the list's second item selects it and notifies.
    HWND list = Item(host, kList);
    RECT item{};
    SendMessageW(list, LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&item));
    const LPARAM at = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
    SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(list, WM_LBUTTONUP, 0, at);
    EXPECT_EQ(listChanges, 1);
    OnUi(dlg, [&] {
      EXPECT_EQ(host.GetCurSel(kList), 1);
      EXPECT_EQ(host.GetItemText(kList, 1), "beta");
      EXPECT_EQ(host.DeleteString(kList, 1), 2);
      EXPECT_EQ(host.GetCurSel(kList), -1);
      EXPECT_EQ(host.SetCurSel(kList, 1), 1);
      EXPECT_EQ(host.SetCurSel(kList, -1), -1);
      EXPECT_EQ(host.GetCurSel(kList), -1);
      EXPECT_EQ(host.SelectString(kList, -1, "GAM"), 1);
    });
    PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
  });
  EXPECT_FALSE(dialog.timedOut);
}

TEST_F(Win32Gui, ProgressBarRangePositionAndStep) {
  DrivenDialog dialog(SampleTemplate());
  RunDriven(host, dialog, [&](HWND dlg) {
    OnUi(dlg, [&] {
      host.SetRange(kProgress, 0, 200);
      EXPECT_EQ(host.SetPos(kProgress, 50), 0);
      EXPECT_EQ(host.GetPos(kProgress), 50);
      host.SetStep(kProgress, 30);
      EXPECT_EQ(host.StepIt(kProgress), 50);
      EXPECT_EQ(host.GetPos(kProgress), 80);
      host.SetPos(kProgress, 190);
      host.StepIt(kProgress);
      EXPECT_EQ(host.GetPos(kProgress), 20);  // past the top it starts over
      host.SetPos(kProgress, 500);
      EXPECT_EQ(host.GetPos(kProgress), 200);  // clamped
      EXPECT_EQ(host.GetPos(kEdit), 0);
    });
    HWND bar = Item(host, kProgress);
    EXPECT_EQ(SendMessageW(bar, PBM_GETRANGE, FALSE, 0), 200);
    PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
  });
  EXPECT_FALSE(dialog.timedOut);
}

TEST_F(Win32Gui, EnterIsOkEscapeIsCancelCloseBoxIsCancel) {
  struct Case {
    WPARAM key;
    int expected;
  };
  for (Case c : {Case{VK_RETURN, fw::kIdOk}, Case{VK_ESCAPE, fw::kIdCancel}, Case{0, fw::kIdCancel}}) {
    SCOPED_TRACE(c.key);
    fw::Win32DialogHost h;
    DrivenDialog dialog(SampleTemplate());
    const int result = RunDriven(h, dialog, [&](HWND dlg) {
      HWND edit = static_cast<HWND>(h.ControlWindow(kEdit));
      OnUi(dlg, [&] { h.SetFocus(kEdit); });
      if (c.key == 0) {
        PostMessageW(dlg, WM_SYSCOMMAND, SC_CLOSE, 0);
      } else {
        // Keys go through the dialog's own loop, as the keyboard's would.
        PostMessageW(edit, WM_KEYDOWN, c.key, 1);
        PostMessageW(edit, WM_KEYUP, c.key, 0xC0000001);
      }
    });
    EXPECT_EQ(result, c.expected);
    EXPECT_FALSE(dialog.timedOut);
  }
}

namespace {

class FormDialog : public DrivenDialog {
 public:
  FormDialog() : DrivenDialog(SampleTemplate()) {
    OnMessage(kWmSave, [this](std::uintptr_t, std::intptr_t) -> std::intptr_t {
      saved = UpdateData(true) ? 1 : 0;
      return 0;
    });
  }
  void DoDataExchange(fw::CDataExchange& dx) override {
    fw::DDX_Text(&dx, kNameEdit, name);
    fw::DDV_MaxChars(&dx, name, 4);
    fw::DDX_Text(&dx, kIntEdit, rate);
    fw::DDV_MinMaxInt(&dx, rate, 1, 255);
    fw::DDX_Check(&dx, kCheck, verbose);
    fw::DDX_CBIndex(&dx, kDropList, listIndex);
    fw::DDX_CBString(&dx, kDropDown, port);
    fw::DDX_Text(&dx, kOther, last);
  }
  static constexpr unsigned kWmSave = fw::kWmUser + 7;
  std::string name = "ab";
  int rate = 9;
  int verbose = 1;
  int listIndex = 1;
  std::string port = "com2";
  std::string last = "old";
  std::atomic<int> saved{-1};
};

// Posts the save (it blocks in its message box), answers the box with a click, returns its text.
std::string SaveAndAnswer(HWND dlg, FormDialog& form) {
  form.saved = -1;
  PostMessageW(dlg, FormDialog::kWmSave, 0, 0);
  std::string text;
  WaitFor([&] { return form.saved != -1 || FindMessageBox(dlg, 50ms) != nullptr; });
  if (HWND box = FindMessageBox(dlg, 100ms)) {
    text = MessageBoxText(box);
    SendMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
  }
  EXPECT_TRUE(WaitFor([&] { return form.saved != -1; }));
  return text;
}

}  // namespace

TEST_F(Win32Gui, DataExchangeOnRealControls) {
  FormDialog form;
  form.SetDdxPrompts(ChinesePrompts());
  RunDriven(host, form, [&](HWND dlg) {
    // Load: every control filled, the name limited.
    EXPECT_EQ(TextOf(Item(host, kNameEdit)), "ab");
    EXPECT_EQ(SendMessageW(Item(host, kNameEdit), EM_GETLIMITTEXT, 0, 0), 4);
    EXPECT_EQ(TextOf(Item(host, kIntEdit)), "9");
    EXPECT_EQ(SendMessageW(Item(host, kCheck), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(SendMessageW(Item(host, kDropList), CB_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(TextOf(Item(host, kDropDown)), "COM2");

    // Not an integer: the prompt, focus back, earlier members saved, later kept.
    SetWindowTextW(Item(host, kNameEdit), L"abc");
    SetWindowTextW(Item(host, kIntEdit), L"12x");
    SendMessageW(Item(host, kCheck), BM_CLICK, 0, 0);
    SetWindowTextW(Item(host, kOther), L"new");
    EXPECT_EQ(SaveAndAnswer(dlg, form), "请键入一个整数。");
    EXPECT_EQ(form.saved, 0);
    OnUi(dlg, [&] { EXPECT_EQ(host.GetFocus(), kIntEdit); });
    EXPECT_EQ(form.name, "abc");
    EXPECT_EQ(form.rate, 9);
    EXPECT_EQ(form.verbose, 1);
    EXPECT_EQ(form.last, "old");

    // Range: both bounds in the prompt; the member already holds the value.
    SetWindowTextW(Item(host, kIntEdit), L"256");
    EXPECT_EQ(SaveAndAnswer(dlg, form), "“请填入一个在1和255之间的整数。”");
    OnUi(dlg, [&] { EXPECT_EQ(host.GetFocus(), kIntEdit); });
    EXPECT_EQ(form.rate, 256);
    EXPECT_EQ(form.last, "old");

    // Most characters, counted in UTF-16 units, checked first.
    OnUi(dlg, [&] { form.SetDdxPrompts(EnglishPrompts()); });
    SetWindowTextW(Item(host, kNameEdit), L"整数整数整");
    SetWindowTextW(Item(host, kIntEdit), L"abc");
    EXPECT_EQ(SaveAndAnswer(dlg, form), "Please enter no more than 4 characters.");
    OnUi(dlg, [&] { EXPECT_EQ(host.GetFocus(), kNameEdit); });

    // All good: no box, everything saved.
    SetWindowTextW(Item(host, kNameEdit), L"整数整数");
    SetWindowTextW(Item(host, kIntEdit), L" 200 ");
    SendMessageW(Item(host, kDropList), CB_SETCURSEL, 2, 0);
    SetWindowTextW(Item(host, kDropDown), L"COM9");
    EXPECT_EQ(SaveAndAnswer(dlg, form), "");
    EXPECT_EQ(form.saved, 1);
    EXPECT_EQ(form.name, "整数整数");
    EXPECT_EQ(form.rate, 200);
    EXPECT_EQ(form.verbose, 0);
    EXPECT_EQ(form.listIndex, 2);
    EXPECT_EQ(form.port, "COM9");
    EXPECT_EQ(form.last, "new");
    PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
  });
  EXPECT_FALSE(form.timedOut);
}

TEST_F(Win32Gui, SendFromAnotherThreadIsServedWhileTheUiThreadWaitsForIt) {
  DrivenDialog dialog(SampleTemplate());
  constexpr unsigned kWmPing = fw::kWmUser + 20, kWmPosted = fw::kWmUser + 21;
  std::atomic<int> pings{0}, posted{0};
  dialog.OnMessage(kWmPing, [&](std::uintptr_t w, std::intptr_t) -> std::intptr_t {
    ++pings;
    return static_cast<std::intptr_t>(w) + 1;
  });
  dialog.OnMessage(kWmPosted, [&](std::uintptr_t, std::intptr_t) -> std::intptr_t {
    ++posted;
    return 0;
  });
  struct Sender {
    fw::Win32DialogHost* host;
    std::intptr_t reply = 0;
    static unsigned __stdcall Run(void* p) {
      auto* s = static_cast<Sender*>(p);
      s->host->PostMessage(kWmPosted, 0, 0);
      s->reply = s->host->SendMessage(kWmPing, 41, 0);
      return 0;
    }
  };
  RunDriven(host, dialog, [&](HWND dlg) {
    OnUi(dlg, [&] {
      Sender sender{&host};
      HANDLE thread = CreateThread(
          nullptr, 0, [](void* p) -> DWORD { return Sender::Run(p); }, &sender, 0, nullptr);
      ASSERT_NE(thread, nullptr);
      // A plain wait cannot finish: the sender waits for this thread.
      EXPECT_EQ(WaitForSingleObject(thread, 300), static_cast<DWORD>(WAIT_TIMEOUT));
      EXPECT_TRUE(fw::win32::WaitServingSentMessages(thread, 10000));
      CloseHandle(thread);
      EXPECT_EQ(sender.reply, 42);
      EXPECT_EQ(pings, 1);
      EXPECT_EQ(posted, 0);  // posted messages wait for the loop

      // Without a handle: the join runs on a helper thread.
      std::thread worker([&] { host.SendMessage(kWmPing, 1, 0); });
      fw::win32::JoinServingSentMessages(-1, [&] { worker.join(); });
      EXPECT_EQ(pings, 2);
      EXPECT_FALSE(fw::win32::WaitServingSentMessages(nullptr, 10));
    });
    EXPECT_TRUE(WaitFor([&] { return posted == 1; }));
    PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
  });
  EXPECT_FALSE(dialog.timedOut);
}

namespace {

class ProbeClass : public fw::CControlClass {
 public:
  static constexpr unsigned kWmProbe = fw::kWmUser + 50;
  std::atomic<int> setTexts{0}, timers{0}, leaves{0}, hovers{0};
  std::atomic<unsigned> styleSeen{0};
  std::intptr_t WindowProc(unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) override {
    if (msg == kWmProbe) return 1234;  // taken here, never reaches the control
    if (msg == WM_SETTEXT) ++setTexts;
    if (msg == fw::kWmTimer && wparam == 7) ++timers;
    if (msg == fw::kWmMouseLeave) ++leaves;
    if (msg == fw::kWmMouseHover) ++hovers;
    return Default(msg, wparam, lparam);
  }

 protected:
  void PreSubclassWindow() override {
    Site().ModifyStyle(0, SS_NOTIFY);
    styleSeen = Site().GetStyle();
  }
};

}  // namespace

TEST_F(Win32Gui, ControlClassSeesTheControlsMessagesFirst) {
  DrivenDialog dialog(SampleTemplate());
  ProbeClass probe;
  std::atomic<int> dialogTimer7{0};
  dialog.onTimer = [&](unsigned id) {
    if (id == 7) ++dialogTimer7;
  };
  RunDriven(host, dialog, [&](HWND dlg) {
    OnUi(dlg, [&] {
      EXPECT_TRUE(host.SubclassControl(kStatic, probe));
      EXPECT_FALSE(host.SubclassControl(kOther + 1, probe));
      EXPECT_TRUE(probe.IsAttached());
      EXPECT_EQ(probe.Site().Id(), kStatic);
    });
    HWND stat = Item(host, kStatic);
    EXPECT_TRUE(probe.styleSeen & SS_NOTIFY);
    EXPECT_TRUE(GetWindowLongW(stat, GWL_STYLE) & SS_NOTIFY);
    EXPECT_EQ(SendMessageW(stat, ProbeClass::kWmProbe, 0, 0), 1234);
    SetWindowTextW(stat, L"Probed");
    EXPECT_EQ(probe.setTexts, 1);
    EXPECT_EQ(TextOf(stat), "Probed");  // Default did the control's own work
    OnUi(dlg, [&] {
      EXPECT_EQ(probe.Site().GetWindowText(), "Probed");
      EXPECT_TRUE(probe.Site().IsWindowEnabled());
      const fw::Box client = probe.Site().GetClientRect();
      const fw::Box window = probe.Site().GetWindowRect();
      EXPECT_EQ(client.left, 0);
      EXPECT_EQ(client.Width(), window.Width());
      probe.Site().Invalidate(true);
      probe.Site().RedrawWindow(fw::kRdwInvalidate | fw::kRdwErase);
      probe.Site().SetTimer(7, 20);
    });
    EXPECT_TRUE(WaitFor([&] { return probe.timers >= 2; }));
    OnUi(dlg, [&] { probe.Site().KillTimer(7); });
    EXPECT_EQ(dialogTimer7, 0);  // control timers tick on the control

    // Mouse tracking: resting over the control brings the hover, moving away the leave.
    OnUi(dlg, [&] {
      const fw::Box r = probe.Site().GetWindowRect();
      SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
      EXPECT_EQ(probe.Site().GetCursorPos(), (fw::Point{(r.left + r.right) / 2, (r.top + r.bottom) / 2}));
      EXPECT_TRUE(probe.Site().TrackMouseEvent(fw::kTmeHover | fw::kTmeLeave, 50));
    });
    EXPECT_TRUE(WaitFor([&] { return probe.hovers >= 1; }, 5s));
    OnUi(dlg, [&] {
      EXPECT_TRUE(probe.Site().TrackMouseEvent(fw::kTmeLeave, 0));
      SetCursorPos(1, 1);
    });
    EXPECT_TRUE(WaitFor([&] { return probe.leaves >= 1; }, 5s));
    PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
  });
  EXPECT_FALSE(dialog.timedOut);
  EXPECT_FALSE(probe.IsAttached());  // the control went away with the dialog
}

TEST_F(Win32Gui, ChildDialogRunsOverItsOwnerAndSystemMenuReachesOnSysCommand) {
  struct MenuDialog : DrivenDialog {
    using DrivenDialog::DrivenDialog;
    bool OnSysCommand(unsigned id) override {
      if (id != 0x0010) return false;
      ++about;
      return true;
    }
    std::atomic<int> about{0};
  } dialog(SampleTemplate());
  std::atomic<int> childResult{0};
  DrivenDialog child(SampleTemplate());
  constexpr unsigned kWmOpenChild = fw::kWmUser + 30;
  dialog.OnMessage(kWmOpenChild, [&](std::uintptr_t, std::intptr_t) -> std::intptr_t {
    childResult = dialog.DoModal(child);
    return 0;
  });
  RunDriven(host, dialog, [&](HWND dlg) {
    OnUi(dlg, [&] {
      host.AppendSystemMenu(0, "");
      host.AppendSystemMenu(0x0010, "About...");
      host.SetIcon(0);  // no icon resource: nothing shown, nothing breaks
      EXPECT_GT(host.GetTickCount(), 0u);
      EXPECT_NE(host.GetModuleFileName().find("framework_win32_gui_test"), std::string::npos);
    });
    HMENU menu = GetSystemMenu(dlg, FALSE);
    const int n = GetMenuItemCount(menu);
    ASSERT_GE(n, 2);
    EXPECT_EQ(GetMenuItemID(menu, n - 1), 0x0010u);
    EXPECT_EQ(GetMenuState(menu, static_cast<UINT>(n - 2), MF_BYPOSITION) & MF_SEPARATOR, static_cast<UINT>(MF_SEPARATOR));
    SendMessageW(dlg, WM_SYSCOMMAND, 0x0010, 0);
    EXPECT_EQ(dialog.about, 1);
    EXPECT_TRUE(IsWindow(dlg));

    PostMessageW(dlg, kWmOpenChild, 0, 0);
    HWND childWindow = FindMessageBox(dlg, 10s);  // any owned dialog window
    ASSERT_NE(childWindow, nullptr);
    EXPECT_FALSE(IsWindowEnabled(dlg));  // modal over its owner
    PostMessageW(childWindow, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitFor([&] { return childResult != 0; }));
    EXPECT_EQ(childResult, fw::kIdOk);
    EXPECT_TRUE(IsWindowEnabled(dlg));
    PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
  });
  EXPECT_FALSE(dialog.timedOut);
}

TEST(Win32Template, BadInputStillGivesAWellFormedTemplate) {
  fw::DialogTemplate t;
  t.caption = std::string_view("a\0b", 3);  // an embedded NUL ends the caption
  t.width = 1 << 20;
  t.font.points = -5;
  t.controls.push_back({fw::kIdStatic, fw::ControlKind::Static, "x", 0, {-100000, 5, 10, 10}});
  const std::vector<std::uint16_t> words = fw::win32::BuildDialogTemplate(t);
  ASSERT_GE(words.size(), 13u);
  EXPECT_EQ(words[4], 1u);                                     // one item
  EXPECT_EQ(static_cast<short>(words[7]), 32767);              // width clamped
  EXPECT_EQ(words[11], static_cast<std::uint16_t>(L'a'));      // caption "a"
  EXPECT_EQ(words[12], 0u);
  EXPECT_EQ(words[13], 1u);                                    // points at least 1
}
