#include "framework/ddx.h"

#include <string>

#include "framework/control_class.h"
#include "framework/controls.h"
#include "framework/dialog.h"
#include "framework/text_format.h"

namespace fw {

DdxPrompts DdxPromptsFor(const CStringTable& table, UiLanguage language) {
  return {std::string(table.Lookup(language, kPromptInteger)), std::string(table.Lookup(language, kPromptIntegerRange)),
          std::string(table.Lookup(language, kPromptMaxCharacters))};
}

void CDataExchange::Fail(const std::string& text) {
  IDialogHost& host = m_pDlgWnd->Host();
  host.MessageBox(text);
  if (m_idLastControl != 0) host.SetFocus(m_idLastControl);
  m_bFailed = true;
}

namespace {

// A control already showing text keeps it untouched: writing it again would
// put the caret back at the start while the user types.
void ShowText(IDialogHost& host, int id, const std::string& text) {
  if (host.GetWindowText(id) != text) host.SetWindowText(id, text);
}

// Save of both combo exchanges: a drop-down list gives its selected item
// (empty with none), a drop-down with an edit field its edit text.
std::string ComboText(IDialogHost& host, int id) {
  if (!host.IsDropDownList(id)) return host.GetWindowText(id);
  int selected = host.GetCurSel(id);
  return selected >= 0 ? host.GetItemText(id, selected) : std::string();
}

}  // namespace

void DDX_Text(CDataExchange* pDX, int id, std::string& value) {
  if (pDX->m_bFailed) return;
  pDX->PrepareEditCtrl(id);
  IDialogHost& host = pDX->m_pDlgWnd->Host();
  if (pDX->m_bSaveAndValidate) value = host.GetWindowText(id);
  else ShowText(host, id, value);
}

void DDX_Text(CDataExchange* pDX, int id, int& value) {
  if (pDX->m_bFailed) return;
  pDX->PrepareEditCtrl(id);
  IDialogHost& host = pDX->m_pDlgWnd->Host();
  if (!pDX->m_bSaveAndValidate) {
    ShowText(host, id, std::to_string(value));
    return;
  }
  std::optional<int> parsed = ParseDialogInt(host.GetWindowText(id));
  if (!parsed) {
    pDX->Fail(pDX->m_pDlgWnd->Prompts().integer);
    return;
  }
  value = *parsed;
}

void DDX_Check(CDataExchange* pDX, int id, int& value) {
  if (pDX->m_bFailed) return;
  pDX->PrepareCtrl(id);
  IDialogHost& host = pDX->m_pDlgWnd->Host();
  if (pDX->m_bSaveAndValidate) value = host.GetCheck(id);
  else host.SetCheck(id, value);
}

void DDX_CBIndex(CDataExchange* pDX, int id, int& index) {
  if (pDX->m_bFailed) return;
  pDX->PrepareCtrl(id);
  IDialogHost& host = pDX->m_pDlgWnd->Host();
  if (pDX->m_bSaveAndValidate) index = host.GetCurSel(id);
  else host.SetCurSel(id, index);
}

void DDX_CBString(CDataExchange* pDX, int id, std::string& value) {
  if (pDX->m_bFailed) return;
  pDX->PrepareCtrl(id);
  IDialogHost& host = pDX->m_pDlgWnd->Host();
  if (!pDX->m_bSaveAndValidate) {
    if (host.SelectString(id, -1, value) < 0 && !host.IsDropDownList(id)) ShowText(host, id, value);
    return;
  }
  value = ComboText(host, id);
}

void DDX_CBStringExact(CDataExchange* pDX, int id, std::string& value) {
  if (pDX->m_bFailed) return;
  pDX->PrepareCtrl(id);
  IDialogHost& host = pDX->m_pDlgWnd->Host();
  if (pDX->m_bSaveAndValidate) {
    value = ComboText(host, id);
    return;
  }
  const int count = host.GetCount(id);
  for (int i = 0; i < count; ++i) {
    if (host.GetItemText(id, i) != value) continue;
    if (host.GetCurSel(id) != i || host.GetWindowText(id) != value) host.SetCurSel(id, i);
    return;
  }
  if (host.IsDropDownList(id)) return;
  // Clearing a selection also clears the edit field; a field already showing
  // value with nothing selected is left alone.
  if (host.GetCurSel(id) >= 0) host.SetCurSel(id, -1);
  ShowText(host, id, value);
}

void DDV_MinMaxInt(CDataExchange* pDX, int value, int minimum, int maximum) {
  if (pDX->m_bFailed || !pDX->m_bSaveAndValidate) return;
  if (value >= minimum && value <= maximum) return;
  std::string low = std::to_string(minimum);
  std::string high = std::to_string(maximum);
  pDX->Fail(FormatText(pDX->m_pDlgWnd->Prompts().integerRange, {low, high}));
}

void DDV_MaxChars(CDataExchange* pDX, const std::string& value, int count) {
  if (pDX->m_bFailed) return;
  if (!pDX->m_bSaveAndValidate) {
    // Only an edit's typing is limited; a combo box's text is checked when it is read.
    if (pDX->m_idLastControl != 0 && pDX->m_bEditLastControl)
      pDX->m_pDlgWnd->Host().SetLimitText(pDX->m_idLastControl, count);
    return;
  }
  if (Utf16Length(value) <= count) return;
  std::string most = std::to_string(count);
  pDX->Fail(FormatText(pDX->m_pDlgWnd->Prompts().maxCharacters, {most}));
}

void DDX_Control(CDataExchange* pDX, int id, CControlClass& control) {
  if (pDX->m_bFailed || control.IsAttached()) return;
  pDX->m_pDlgWnd->Host().SubclassControl(id, control);
}

}  // namespace fw
