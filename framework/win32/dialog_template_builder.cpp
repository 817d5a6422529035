#include "framework/win32/dialog_template_builder.h"

#include <algorithm>
#include <limits>
#include <string>

#include "framework/win32/wide_text.h"
#include "framework/win32/win32_api.h"

namespace fw::win32 {
namespace {

// Class atoms a DLGITEMTEMPLATE may name instead of a class string.
constexpr std::uint16_t kAtomButton = 0x0080;
constexpr std::uint16_t kAtomEdit = 0x0081;
constexpr std::uint16_t kAtomStatic = 0x0082;
constexpr std::uint16_t kAtomListBox = 0x0083;
constexpr std::uint16_t kAtomComboBox = 0x0085;

class WordWriter {
 public:
  void Word(std::uint16_t w) { m_words.push_back(w); }
  void Dword(std::uint32_t d) {
    Word(static_cast<std::uint16_t>(d & 0xFFFF));
    Word(static_cast<std::uint16_t>(d >> 16));
  }
  void Short(int v) {
    const int clamped = std::clamp(v, int{std::numeric_limits<short>::min()}, int{std::numeric_limits<short>::max()});
    Word(static_cast<std::uint16_t>(static_cast<short>(clamped)));
  }
  // A NUL-terminated UTF-16 string; an embedded NUL would end it early, so it stops there.
  void String(std::wstring_view s) {
    for (wchar_t c : s) {
      if (c == L'\0') break;
      Word(static_cast<std::uint16_t>(c));
    }
    Word(0);
  }
  void AlignDword() {
    if (m_words.size() % 2 != 0) Word(0);
  }
  std::vector<std::uint16_t> Take() { return std::move(m_words); }

 private:
  std::vector<std::uint16_t> m_words;
};

}  // namespace

std::uint32_t DialogWindowStyle(unsigned s) {
  std::uint32_t style = WS_POPUP | WS_CAPTION | DS_SETFONT;
  if (s & kDlgSysMenu) style |= WS_SYSMENU;
  if (s & kDlgModalFrame) style |= DS_MODALFRAME;
  if (s & kDlgMinimizeBox) style |= WS_MINIMIZEBOX;
  if (s & kDlgCentered) style |= DS_CENTER;
  return style;
}

std::uint32_t DialogExtendedStyle(unsigned s) { return (s & kDlgAppWindow) ? WS_EX_APPWINDOW : 0; }

std::uint32_t ControlWindowStyle(const ControlTemplate& c) {
  const unsigned s = c.style;
  std::uint32_t style = WS_CHILD | WS_VISIBLE;
  switch (c.kind) {
    case ControlKind::Static:
      style |= (s & kCenterText) ? SS_CENTER : (s & kRightText) ? SS_RIGHT : SS_LEFT;
      break;
    case ControlKind::Button:
      style |= (s & kDefaultButton) ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
      break;
    case ControlKind::CheckBox:
      style |= BS_AUTOCHECKBOX;
      break;
    case ControlKind::GroupBox:
      style |= BS_GROUPBOX;
      break;
    case ControlKind::Edit:
      style |= ES_LEFT;
      if (s & kEditMultiLine) style |= ES_MULTILINE;
      if (s & kEditReadOnly) style |= ES_READONLY;
      if (s & kEditDigitsOnly) style |= ES_NUMBER;
      if (s & kAutoHScroll) style |= ES_AUTOHSCROLL;
      if (s & kAutoVScroll) style |= ES_AUTOVSCROLL;
      break;
    case ControlKind::ComboBox:
      style |= (s & kComboDropDownList) ? CBS_DROPDOWNLIST : CBS_DROPDOWN;
      if (s & kSorted) style |= CBS_SORT;
      // The combo's edit field scrolls only with CBS_AUTOHSCROLL; without it typing stops at its width.
      if (s & kAutoHScroll) style |= CBS_AUTOHSCROLL;
      break;
    case ControlKind::ListBox:
      // LBS_NOTIFY: without it the list box sends no LBN_SELCHANGE. LBS_NOINTEGRALHEIGHT:
      // the box keeps the template's height instead of shrinking to whole items.
      style |= LBS_NOTIFY | LBS_NOINTEGRALHEIGHT;
      if (s & kSorted) style |= LBS_SORT;
      break;
    case ControlKind::Progress:
      break;
    case ControlKind::Icon:
      style |= SS_ICON;
      break;
  }
  if (s & kBorder) style |= WS_BORDER;
  if (s & kVScroll) style |= WS_VSCROLL;
  if (s & kHScroll) style |= WS_HSCROLL;
  if (s & kDisabled) style |= WS_DISABLED;
  if (s & kTabStop) style |= WS_TABSTOP;
  if (s & kGroupStart) style |= WS_GROUP;
  return style;
}

std::wstring_view ControlClassName(ControlKind kind) {
  switch (kind) {
    case ControlKind::Static:
    case ControlKind::Icon: return L"Static";
    case ControlKind::Button:
    case ControlKind::CheckBox:
    case ControlKind::GroupBox: return L"Button";
    case ControlKind::Edit: return L"Edit";
    case ControlKind::ComboBox: return L"ComboBox";
    case ControlKind::ListBox: return L"ListBox";
    case ControlKind::Progress: return PROGRESS_CLASSW;
  }
  return L"Static";
}

std::vector<std::uint16_t> BuildDialogTemplate(const DialogTemplate& dialog) {
  const std::size_t count = std::min<std::size_t>(dialog.controls.size(), 0xFFFF);
  WordWriter w;
  w.Dword(DialogWindowStyle(dialog.style));
  w.Dword(DialogExtendedStyle(dialog.style));
  w.Word(static_cast<std::uint16_t>(count));
  w.Short(0);
  w.Short(0);
  w.Short(dialog.width);
  w.Short(dialog.height);
  w.Word(0);  // no menu
  w.Word(0);  // the dialog class
  w.String(Widen(dialog.caption));
  w.Word(static_cast<std::uint16_t>(std::clamp(dialog.font.points, 1, 0x7FFF)));
  w.String(Widen(dialog.font.face));

  for (std::size_t i = 0; i < count; ++i) {
    const ControlTemplate& c = dialog.controls[i];
    w.AlignDword();
    w.Dword(ControlWindowStyle(c));
    w.Dword(0);
    w.Short(c.rect.x);
    w.Short(c.rect.y);
    w.Short(c.rect.cx);
    w.Short(c.rect.cy);
    // The item id is a WORD: kIdStatic (-1) becomes 0xFFFF.
    w.Word(static_cast<std::uint16_t>(c.id & 0xFFFF));
    std::uint16_t atom = 0;
    switch (c.kind) {
      case ControlKind::Static:
      case ControlKind::Icon: atom = kAtomStatic; break;
      case ControlKind::Button:
      case ControlKind::CheckBox:
      case ControlKind::GroupBox: atom = kAtomButton; break;
      case ControlKind::Edit: atom = kAtomEdit; break;
      case ControlKind::ComboBox: atom = kAtomComboBox; break;
      case ControlKind::ListBox: atom = kAtomListBox; break;
      case ControlKind::Progress: break;
    }
    if (atom != 0) {
      w.Word(0xFFFF);
      w.Word(atom);
    } else {
      w.String(ControlClassName(c.kind));
    }
    if (c.kind == ControlKind::Icon && c.icon > 0 && c.icon <= 0xFFFF) {
      // An icon static names its resource by ordinal.
      w.Word(0xFFFF);
      w.Word(static_cast<std::uint16_t>(c.icon));
    } else {
      // Combo and list boxes get their items, not a text.
      const bool hasText = c.kind != ControlKind::ComboBox && c.kind != ControlKind::ListBox &&
                           c.kind != ControlKind::Icon;
      w.String(hasText ? Widen(c.text) : std::wstring());
    }
    w.Word(0);  // no creation data
  }
  return w.Take();
}

}  // namespace fw::win32
