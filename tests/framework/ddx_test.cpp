// Data exchange: loads, saves, each check's prompt and the stop at the failing control.
#include <gtest/gtest.h>

#include "dialog_testkit.h"
#include "framework/ddx.h"

using namespace fwtest;

namespace {

class FormDialog : public fw::CDialog {
 public:
  FormDialog() : CDialog(KitTemplate()) {}
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
  std::string name = "ab";
  int rate = 9;
  int verbose = 1;
  int listIndex = 1;
  std::string port = "com2";
  std::string last = "old";
};

class DdxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dialog.SetDdxPrompts(ChinesePrompts());
    host.Start(dialog);  // OnInitDialog loads
    for (const char* item : {"x", "y", "z"}) dialog.Combo(kDropList).AddString(item);
    for (const char* item : {"COM1", "COM2", "COM3"}) dialog.Combo(kDropDown).AddString(item);
    dialog.UpdateData(false);
  }
  FormDialog dialog;
  fw::HeadlessHost host;
};

}  // namespace

TEST_F(DdxTest, LoadFillsEveryControl) {
  EXPECT_EQ(host.GetWindowText(kNameEdit), "ab");
  EXPECT_EQ(host.Control(kNameEdit).limit, 4);
  EXPECT_EQ(host.GetWindowText(kIntEdit), "9");
  EXPECT_EQ(host.GetCheck(kCheck), 1);
  EXPECT_EQ(host.GetCurSel(kDropList), 1);
  EXPECT_EQ(host.GetCurSel(kDropDown), 1);  // "com2" selects the first item beginning with it
  EXPECT_EQ(host.GetWindowText(kDropDown), "COM2");
  EXPECT_EQ(host.GetWindowText(kOther), "old");
}

TEST_F(DdxTest, LoadWithoutMatchingItemSetsTheEditText) {
  dialog.port = "/dev/ttyUSB0";
  dialog.UpdateData(false);
  EXPECT_EQ(host.GetCurSel(kDropDown), 1);
  EXPECT_EQ(host.GetWindowText(kDropDown), "/dev/ttyUSB0");
}

TEST_F(DdxTest, SaveReadsEveryControl) {
  host.Type(kNameEdit, "wxyz");
  host.Type(kIntEdit, " 200 ");
  host.Click(kCheck);
  host.SelectItem(kDropList, 2);
  host.Type(kDropDown, "COM9");
  host.Type(kOther, "new");
  ASSERT_TRUE(dialog.UpdateData(true));
  EXPECT_EQ(dialog.name, "wxyz");
  EXPECT_EQ(dialog.rate, 200);
  EXPECT_EQ(dialog.verbose, 0);
  EXPECT_EQ(dialog.listIndex, 2);
  EXPECT_EQ(dialog.port, "COM9");  // a drop-down gives its edit text
  EXPECT_EQ(dialog.last, "new");
  EXPECT_TRUE(host.MessageBoxes().empty());
}

TEST_F(DdxTest, NotAnIntegerStopsWithEarlierSavedAndLaterKept) {
  host.Type(kNameEdit, "abc");
  host.Type(kIntEdit, "12x");
  host.Click(kCheck);
  host.Type(kOther, "new");
  EXPECT_FALSE(dialog.UpdateData(true));
  ASSERT_EQ(host.MessageBoxes().size(), 1u);
  EXPECT_EQ(host.MessageBoxes()[0].text, "请键入一个整数。");
  EXPECT_EQ(host.GetFocus(), kIntEdit);
  EXPECT_EQ(dialog.name, "abc");  // before the failing control
  EXPECT_EQ(dialog.rate, 9);      // the failing member keeps its value
  EXPECT_EQ(dialog.verbose, 1);   // after it: kept
  EXPECT_EQ(dialog.last, "old");
}

TEST_F(DdxTest, RangePromptFillsBothBounds) {
  host.Type(kIntEdit, "256");
  host.Type(kOther, "new");
  EXPECT_FALSE(dialog.UpdateData(true));
  ASSERT_EQ(host.MessageBoxes().size(), 1u);
  EXPECT_EQ(host.MessageBoxes()[0].text, "“请填入一个在1和255之间的整数。”");
  EXPECT_EQ(host.GetFocus(), kIntEdit);
  EXPECT_EQ(dialog.rate, 256);  // exchanged before its check ran
  EXPECT_EQ(dialog.last, "old");
}

TEST_F(DdxTest, MaxCharsCountsCharactersAndStopsFirst) {
  dialog.SetDdxPrompts(EnglishPrompts());
  host.SetWindowText(kNameEdit, "整数整数整");  // set by program, past the typing limit
  host.Type(kIntEdit, "abc");
  EXPECT_FALSE(dialog.UpdateData(true));
  ASSERT_EQ(host.MessageBoxes().size(), 1u);  // the integer check never ran
  EXPECT_EQ(host.MessageBoxes()[0].text, "Please enter no more than 4 characters.");
  EXPECT_EQ(host.GetFocus(), kNameEdit);
  host.SetWindowText(kNameEdit, "整数整数");
  host.Type(kIntEdit, "-1");
  EXPECT_FALSE(dialog.UpdateData(true));
  EXPECT_EQ(host.MessageBoxes().back().text, "Please enter an integer between 1 and 255.");
  EXPECT_EQ(dialog.name, "整数整数");
}

TEST_F(DdxTest, DropListSavesSelectedItemOrNothing) {
  struct ListForm : fw::CDialog {
    ListForm() : CDialog(KitTemplate()) {}
    void DoDataExchange(fw::CDataExchange& dx) override { fw::DDX_CBString(&dx, kDropList, value); }
    std::string value = "zz";
  } form;
  fw::HeadlessHost other;
  other.Start(form);
  form.Combo(kDropList).AddString("alpha");
  form.Combo(kDropList).AddString("beta");
  form.UpdateData(true);
  EXPECT_EQ(form.value, "");
  form.value = "BE";
  form.UpdateData(false);
  EXPECT_EQ(other.GetCurSel(kDropList), 1);
  form.value.clear();
  form.UpdateData(true);
  EXPECT_EQ(form.value, "beta");
}

namespace {

// A message type chosen from a drop-down and a drop-down list, matched exactly.
class ExactForm : public fw::CDialog {
 public:
  ExactForm() : CDialog(KitTemplate()) {}
  void DoDataExchange(fw::CDataExchange& dx) override {
    fw::DDX_CBStringExact(&dx, kDropDown, type);
    fw::DDX_CBStringExact(&dx, kDropList, listed);
  }
  std::string type = "RTCM23";
  std::string listed = "RTCM23";
};

class DdxExactTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host.Start(form);
    for (int id : {kDropDown, kDropList})
      for (const char* item : {"[RTCM30]", "RTCM30", "RTCM23"}) form.Combo(id).AddString(item);
  }
  // Loads value into both combo boxes, then saves them back.
  void RoundTrip(const std::string& value) {
    form.type = form.listed = value;
    ASSERT_TRUE(form.UpdateData(false));
    ASSERT_TRUE(form.UpdateData(true));
  }
  ExactForm form;
  fw::HeadlessHost host;
};

}  // namespace

TEST_F(DdxExactTest, SelectsOnlyAnItemOfTheSameText) {
  RoundTrip("RTCM30");
  EXPECT_EQ(host.GetCurSel(kDropDown), 1);  // not "[RTCM30]", which merely contains it
  EXPECT_EQ(host.GetCurSel(kDropList), 1);
  EXPECT_EQ(form.type, "RTCM30");
  EXPECT_EQ(form.listed, "RTCM30");
}

TEST_F(DdxExactTest, APrefixOrOtherCaseStaysAsGivenInTheEditField) {
  for (const char* value : {"RTCM3", "rtcm30", "", "[RTCM30"}) {
    SCOPED_TRACE(value);
    RoundTrip("RTCM23");
    RoundTrip(value);
    EXPECT_EQ(host.GetCurSel(kDropDown), -1);
    EXPECT_EQ(host.GetWindowText(kDropDown), value);
    EXPECT_EQ(form.type, value);
    // A drop-down list has no field to show it in and keeps its selection.
    EXPECT_EQ(host.GetCurSel(kDropList), 2);
    EXPECT_EQ(form.listed, "RTCM23");
  }
}

TEST_F(DdxExactTest, SavesTheUsersTextOrSelection) {
  host.Type(kDropDown, "RTCM31");
  host.SelectItem(kDropList, 0);
  ASSERT_TRUE(form.UpdateData(true));
  EXPECT_EQ(form.type, "RTCM31");
  EXPECT_EQ(form.listed, "[RTCM30]");
  host.SelectItem(kDropDown, 2);
  ASSERT_TRUE(form.UpdateData(true));
  EXPECT_EQ(form.type, "RTCM23");
}

TEST(DdxText, LoadWritesOnlyATextThatDiffers) {
  // A host that counts the writes it gets.
  class CountingHost : public fw::HeadlessHost {
   public:
    void SetWindowText(int id, std::string_view text) override {
      ++writes;
      HeadlessHost::SetWindowText(id, text);
    }
    int writes = 0;
  } host;
  class TwoFields : public fw::CDialog {
   public:
    TwoFields() : CDialog(KitTemplate()) {}
    void DoDataExchange(fw::CDataExchange& dx) override {
      fw::DDX_Text(&dx, kNameEdit, name);
      fw::DDX_Text(&dx, kIntEdit, rate);
      fw::DDX_CBString(&dx, kDropDown, port);
    }
    std::string name = "ab";
    int rate = 9;
    std::string port = "/dev/ttyS0";
  } form;
  host.Start(form);
  EXPECT_EQ(host.writes, 3);
  form.UpdateData(false);
  EXPECT_EQ(host.writes, 3);
  form.rate = 10;
  form.UpdateData(false);
  EXPECT_EQ(host.writes, 4);
  EXPECT_EQ(host.GetWindowText(kIntEdit), "10");
  host.Type(kNameEdit, "abc");
  form.UpdateData(false);
  EXPECT_EQ(host.writes, 5);
  EXPECT_EQ(host.GetWindowText(kNameEdit), "ab");
}

TEST(DdxPrompts, FromTheFrameworkTableInBothLanguages) {
  fw::DdxPrompts chinese = fw::DdxPromptsFor(fw::FrameworkPrompts(), fw::UiLanguage::Chinese);
  fw::DdxPrompts english = fw::DdxPromptsFor(fw::FrameworkPrompts(), fw::UiLanguage::English);
  EXPECT_EQ(chinese.integer, ChinesePrompts().integer);
  EXPECT_EQ(chinese.integerRange, ChinesePrompts().integerRange);
  EXPECT_EQ(chinese.maxCharacters, ChinesePrompts().maxCharacters);
  EXPECT_EQ(english.integer, EnglishPrompts().integer);
  EXPECT_EQ(english.integerRange, EnglishPrompts().integerRange);
  EXPECT_EQ(english.maxCharacters, EnglishPrompts().maxCharacters);
}

TEST(DdxControl, BindsTheControlClassOnceWhicheverWayTheFirstExchangeGoes) {
  class Counting : public fw::CControlClass {
   protected:
    void PreSubclassWindow() override { ++attached; }

   public:
    int attached = 0;
  };
  class Bound : public fwtest::KitDialog {
   public:
    void DoDataExchange(fw::CDataExchange& dx) override { fw::DDX_Control(&dx, fwtest::kButton, button); }
    Counting button;
  } dialog;
  fw::HeadlessHost host;
  host.Start(dialog);  // OnInitDialog's exchange binds it
  EXPECT_TRUE(dialog.button.IsAttached());
  EXPECT_TRUE(dialog.UpdateData(true));
  EXPECT_TRUE(dialog.UpdateData(false));
  EXPECT_EQ(dialog.button.attached, 1);
  EXPECT_EQ(dialog.button.Site().Id(), fwtest::kButton);
}
