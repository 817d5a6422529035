// The updater's window templates: both variants hold the same controls, all
// inside the window, the version boxes apart from each other, the about box
// in Chinese.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "updater/resources/brevan_templates.h"

using namespace brevan;

namespace {

const fw::ControlTemplate* FindId(const fw::DialogTemplate& t, int id) {
  for (const fw::ControlTemplate& c : t.controls)
    if (c.id == id) return &c;
  return nullptr;
}

const fw::ControlTemplate* FindText(const fw::DialogTemplate& t, std::string_view text) {
  for (const fw::ControlTemplate& c : t.controls)
    if (c.text == text) return &c;
  return nullptr;
}

bool Overlap(fw::Rect a, fw::Rect b) {
  return a.x < b.x + b.cx && b.x < a.x + a.cx && a.y < b.y + b.cy && b.y < a.y + a.cy;
}

}  // namespace

TEST(BrevanTemplates, BothVariantsHoldEveryNumberedControlOnceInsideTheWindow) {
  const std::vector<int> ids = {1, 2, 1001, 1002, 1003, 1004, 1005, 1006, 1007, 1013, 1014, 1015, 1016, 1017,
                                1018, 1019, 1020, 1023, 1024};
  for (fw::UiLanguage language : {fw::UiLanguage::Chinese, fw::UiLanguage::English}) {
    const fw::DialogTemplate t = BrevanMainTemplate(language);
    std::multiset<int> seen;
    for (const fw::ControlTemplate& c : t.controls) {
      if (c.id != fw::kIdStatic) seen.insert(c.id);
      EXPECT_GE(c.rect.x, 0) << c.id << " " << c.text;
      EXPECT_LE(c.rect.x + c.rect.cx, t.width) << c.id << " " << c.text;
      // A combo box's rectangle includes its dropped list, which may reach below the window.
      if (c.kind != fw::ControlKind::ComboBox) {
        EXPECT_LE(c.rect.y + c.rect.cy, t.height) << c.id << " " << c.text;
      }
    }
    for (int id : ids) EXPECT_EQ(seen.count(id), 1u) << id;
    EXPECT_EQ(seen.size(), ids.size());
    EXPECT_TRUE(t.style & fw::kDlgAppWindow);
  }
}

TEST(BrevanTemplates, VariantsDifferInCaptionSizeAndFont) {
  const fw::DialogTemplate zh = BrevanMainTemplate(fw::UiLanguage::Chinese);
  const fw::DialogTemplate en = BrevanMainTemplate(fw::UiLanguage::English);
  EXPECT_EQ(zh.caption, "GSM-CDMA在线升级程序 2011.08.23");
  EXPECT_EQ(std::make_pair(zh.width, zh.height), std::make_pair(353, 305));
  EXPECT_EQ(zh.font.face, "宋体");
  EXPECT_EQ(en.caption, "GPRS-CDMA2011.05.03");
  EXPECT_EQ(std::make_pair(en.width, en.height), std::make_pair(331, 313));
  EXPECT_EQ(en.font.face, "MS Sans Serif");
  EXPECT_EQ(en.font.points, 10);
  EXPECT_EQ(FindId(zh, 1)->text, "在线升级");
  EXPECT_EQ(FindId(en, 2)->text, "CANCEL");
  EXPECT_EQ(FindId(en, 1002)->rect, (fw::Rect{64, 252, 257, 11}));
  EXPECT_EQ(FindId(zh, 1003)->rect, (fw::Rect{5, 186, 289, 54}));
}

TEST(BrevanTemplates, BaudListIsFilledUnsortedAndThePortComboHasAnEditField) {
  for (fw::UiLanguage language : {fw::UiLanguage::Chinese, fw::UiLanguage::English}) {
    const fw::DialogTemplate t = BrevanMainTemplate(language);
    const fw::ControlTemplate* baud = FindId(t, IDC_COMBO_BAUD);
    ASSERT_NE(baud, nullptr);
    EXPECT_EQ(baud->items, (std::vector<std::string_view>{"9600", "19200", "38400", "57600", "115200", "BREAK"}));
    EXPECT_TRUE(baud->style & fw::kComboDropDownList);
    EXPECT_FALSE(baud->style & fw::kSorted);
    const fw::ControlTemplate* port = FindId(t, IDC_COMBO_PORT);
    EXPECT_FALSE(port->style & (fw::kComboDropDownList | fw::kSorted));
    EXPECT_TRUE(FindId(t, IDC_EDIT_STATUS)->style & fw::kEditMultiLine);
    for (int id : {1005, 1006, 1007, 1013, 1024}) EXPECT_TRUE(FindId(t, id)->style & fw::kEditReadOnly) << id;
  }
}

TEST(BrevanTemplates, EnglishGl868BoxSitsInTheRightColumnClearOfEverything) {
  const fw::DialogTemplate en = BrevanMainTemplate(fw::UiLanguage::English);
  const fw::ControlTemplate* box = FindId(en, IDC_EDIT_VERSION_9);
  const fw::ControlTemplate* label = FindText(en, "GL868(GSM)");
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(box->rect.x, FindId(en, 1015)->rect.x);  // the column of EM310's box
  EXPECT_EQ(label->rect.x, 143);
  EXPECT_GT(box->rect.y, FindId(en, 1020)->rect.y);  // below the column's last box
  // No two boxes or labels of the version area overlap, in either variant.
  for (fw::UiLanguage language : {fw::UiLanguage::Chinese, fw::UiLanguage::English}) {
    const fw::DialogTemplate t = BrevanMainTemplate(language);
    for (std::size_t i = 0; i < t.controls.size(); ++i)
      for (std::size_t j = i + 1; j < t.controls.size(); ++j) {
        const fw::ControlTemplate &a = t.controls[i], &b = t.controls[j];
        if (a.kind == fw::ControlKind::GroupBox || b.kind == fw::ControlKind::GroupBox) continue;
        if (a.kind == fw::ControlKind::ComboBox || b.kind == fw::ControlKind::ComboBox) continue;
        EXPECT_FALSE(Overlap(a.rect, b.rect)) << a.id << " '" << a.text << "' and " << b.id << " '" << b.text << "'";
      }
  }
}

TEST(BrevanTemplates, AboutBoxIsChineseWithTheIcon) {
  const fw::DialogTemplate about = BrevanAboutTemplate();
  EXPECT_EQ(about.caption, "关于 Brevan");
  EXPECT_EQ(std::make_pair(about.width, about.height), std::make_pair(190, 55));
  ASSERT_FALSE(about.controls.empty());
  EXPECT_EQ(about.controls[0].kind, fw::ControlKind::Icon);
  EXPECT_EQ(about.controls[0].icon, IDR_MAINFRAME);
  EXPECT_NE(FindText(about, "Brevan 1.0 版"), nullptr);
}
