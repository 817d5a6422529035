// Text rules and the headless controls' behaviour.
#include <gtest/gtest.h>

#include "dialog_testkit.h"
#include "framework/controls.h"

using namespace fwtest;

TEST(ParseDialogInt, AcceptsBlanksSignAndDigits) {
  EXPECT_EQ(fw::ParseDialogInt("42"), 42);
  EXPECT_EQ(fw::ParseDialogInt("  -17\t "), -17);
  EXPECT_EQ(fw::ParseDialogInt("+8"), 8);
  EXPECT_EQ(fw::ParseDialogInt("2147483647"), 2147483647);
  EXPECT_EQ(fw::ParseDialogInt("-2147483648"), -2147483647 - 1);
}

TEST(ParseDialogInt, RefusesEverythingElse) {
  for (const char* text : {"", "   ", "-", "+", "12a", "a12", "1 2", "0x10", "1.5", "--1", "2147483648", "-2147483649",
                           "99999999999999999999"})
    EXPECT_FALSE(fw::ParseDialogInt(text).has_value()) << text;
}

TEST(Utf16, CountsUnitsNotBytes) {
  EXPECT_EQ(fw::Utf16Length("abc"), 3);
  EXPECT_EQ(fw::Utf16Length("整数"), 2);
  EXPECT_EQ(fw::Utf16Length("a\xF0\x9F\x98\x80"), 3);  // a character beyond the basic plane takes two
  EXPECT_EQ(fw::Utf16Prefix("整数abc", 3), "整数a");
  EXPECT_EQ(fw::Utf16Prefix("a\xF0\x9F\x98\x80z", 2), "a");
}

TEST(Utf16, PrefixIgnoresAsciiCaseOnly) {
  EXPECT_TRUE(fw::BeginsWithNoCase("COM10", "com1"));
  EXPECT_FALSE(fw::BeginsWithNoCase("COM", "COM1"));
  EXPECT_TRUE(fw::BeginsWithNoCase("整数", "整"));
}

class ControlsTest : public ::testing::Test {
 protected:
  void SetUp() override { host.Start(dialog); }
  KitDialog dialog;
  fw::HeadlessHost host;
};

TEST_F(ControlsTest, ComboPrefixSelectionWrapsAndMisses) {
  auto combo = dialog.Combo(kDropDown);
  for (const char* item : {"COM1", "COM10", "USB0", "com2"}) combo.AddString(item);
  EXPECT_EQ(combo.SelectString(-1, "com"), 0);
  EXPECT_EQ(combo.SelectString(0, "com"), 1);
  EXPECT_EQ(combo.SelectString(1, "com"), 3);
  EXPECT_EQ(combo.SelectString(3, "com"), 0);  // wraps
  EXPECT_EQ(host.GetWindowText(kDropDown), "COM1");
  EXPECT_EQ(combo.SelectString(-1, "ACM"), -1);
  EXPECT_EQ(combo.GetCurSel(), 0);  // a miss changes nothing
  EXPECT_EQ(combo.FindString(-1, "usb"), 2);
  EXPECT_EQ(combo.GetCurSel(), 0);
}

TEST_F(ControlsTest, DropDownEditAndDropListTexts) {
  auto down = dialog.Combo(kDropDown);
  auto list = dialog.Combo(kDropList);
  down.AddString("A");
  list.AddString("A");
  list.AddString("B");
  down.SetWindowText("free text");
  EXPECT_EQ(down.GetWindowText(), "free text");
  list.SetWindowText("ignored");
  EXPECT_EQ(list.GetWindowText(), "");
  list.SetCurSel(1);
  EXPECT_EQ(list.GetWindowText(), "B");
  EXPECT_EQ(list.SetCurSel(5), -1);
  EXPECT_EQ(list.GetCurSel(), -1);
  EXPECT_FALSE(host.Type(kDropList, "A"));
  EXPECT_TRUE(host.Type(kDropDown, "typed"));
  EXPECT_EQ(down.GetWindowText(), "typed");
  EXPECT_EQ(down.GetCurSel(), -1);
}

TEST_F(ControlsTest, ListAddDeleteKeepsSelectionOnItsItem) {
  auto list = dialog.List(kList);
  EXPECT_EQ(list.AddString("a"), 0);
  EXPECT_EQ(list.AddString("b"), 1);
  EXPECT_EQ(list.AddString("c"), 2);
  list.SetCurSel(2);
  EXPECT_EQ(list.DeleteString(0), 2);
  EXPECT_EQ(list.GetCurSel(), 1);
  EXPECT_EQ(list.GetText(1), "c");
  EXPECT_EQ(list.DeleteString(1), 1);
  EXPECT_EQ(list.GetCurSel(), -1);
  EXPECT_EQ(list.DeleteString(4), -1);
  EXPECT_EQ(list.GetCount(), 1);
  EXPECT_EQ(host.Control(kList).items, std::vector<std::string>{"b"});
}

TEST_F(ControlsTest, EditTypingRules) {
  EXPECT_FALSE(host.Type(kReadOnlyEdit, "x"));
  EXPECT_EQ(host.GetWindowText(kReadOnlyEdit), "fixed");
  EXPECT_TRUE(host.Type(kDigitsEdit, "1a2-3"));
  EXPECT_EQ(host.GetWindowText(kDigitsEdit), "123");
  dialog.Edit(kEdit).SetLimitText(3);
  host.Type(kEdit, "整数abc");
  EXPECT_EQ(host.GetWindowText(kEdit), "整数a");
  dialog.Edit(kEdit).SetWindowText("longer by program");  // the limit is for typing only
  EXPECT_EQ(host.GetWindowText(kEdit), "longer by program");
  dialog.Item(kEdit).EnableWindow(false);
  EXPECT_FALSE(host.Type(kEdit, "x"));
}

TEST_F(ControlsTest, LineScrollClampsToText) {
  auto edit = dialog.Edit(kMultiEdit);
  edit.SetWindowText("1\n2\n3\n4");
  EXPECT_TRUE(edit.LineScroll(2, 5));
  EXPECT_EQ(edit.GetFirstVisibleLine(), 2);
  EXPECT_EQ(host.Control(kMultiEdit).firstColumn, 5);
  edit.LineScroll(10, -9);
  EXPECT_EQ(edit.GetFirstVisibleLine(), 3);
  EXPECT_EQ(host.Control(kMultiEdit).firstColumn, 0);
  edit.LineScroll(-10);
  EXPECT_EQ(edit.GetFirstVisibleLine(), 0);
  EXPECT_FALSE(dialog.Edit(kEdit).LineScroll(1));
}

TEST_F(ControlsTest, ProgressRangeStepAndWrap) {
  auto bar = dialog.Progress(kProgress);
  bar.SetRange(0, 100);
  bar.SetStep(30);
  EXPECT_EQ(bar.StepIt(), 0);
  bar.StepIt();
  bar.StepIt();
  EXPECT_EQ(bar.GetPos(), 90);
  EXPECT_EQ(bar.StepIt(), 90);
  EXPECT_EQ(bar.GetPos(), 20);  // starts over
  EXPECT_EQ(bar.SetPos(150), 20);
  EXPECT_EQ(bar.GetPos(), 100);
  bar.SetRange(10, 50);
  EXPECT_EQ(bar.GetPos(), 50);
}

TEST_F(ControlsTest, CheckBoxClickTogglesAndDisabledRefuses) {
  EXPECT_TRUE(host.Click(kCheck));
  EXPECT_EQ(host.Control(kCheck).check, 1);
  EXPECT_TRUE(host.Click(kCheck));
  EXPECT_EQ(dialog.Button(kCheck).GetCheck(), 0);
  dialog.Item(kCheck).EnableWindow(false);
  EXPECT_FALSE(host.Click(kCheck));
  EXPECT_FALSE(host.Click(kStatic));
  EXPECT_FALSE(host.Click(999));
}
