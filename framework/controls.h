#pragma once
// Controls of a dialog by id: thin handles over the dialog's host, and the
// text rules every host shares.
#include <optional>
#include <string>
#include <string_view>

#include "framework/dialog_host.h"

namespace fw {

// Length of UTF-8 text in UTF-16 units, the unit of the platform's wide controls.
int Utf16Length(std::string_view text);
// The longest prefix of text that fits in units UTF-16 units, cut at a character boundary.
std::string_view Utf16Prefix(std::string_view text, int units);
// Whether item begins with prefix, ASCII letters compared without case.
bool BeginsWithNoCase(std::string_view item, std::string_view prefix);
// The platform's integer reading for data exchange: optional blanks, an
// optional sign, decimal digits, optional blanks. Anything else, or a value
// outside int, is not an integer.
std::optional<int> ParseDialogInt(std::string_view text);

class CWndRef {
 public:
  CWndRef(IDialogHost& host, int id) : m_host(&host), m_id(id) {}
  int Id() const { return m_id; }
  void SetWindowText(std::string_view text) { m_host->SetWindowText(m_id, text); }
  std::string GetWindowText() const { return m_host->GetWindowText(m_id); }
  void EnableWindow(bool enable) { m_host->EnableWindow(m_id, enable); }
  bool IsWindowEnabled() const { return m_host->IsWindowEnabled(m_id); }
  void SetFocus() { m_host->SetFocus(m_id); }

 protected:
  IDialogHost* m_host;
  int m_id;
};

class CButton : public CWndRef {
 public:
  using CWndRef::CWndRef;
  void SetCheck(int state) { m_host->SetCheck(m_id, state); }
  int GetCheck() const { return m_host->GetCheck(m_id); }
};

class CEdit : public CWndRef {
 public:
  using CWndRef::CWndRef;
  void SetLimitText(int units) { m_host->SetLimitText(m_id, units); }
  bool LineScroll(int lines, int columns = 0) { return m_host->LineScroll(m_id, lines, columns); }
  int GetFirstVisibleLine() const { return m_host->GetFirstVisibleLine(m_id); }
};

class CListBox : public CWndRef {
 public:
  using CWndRef::CWndRef;
  int AddString(std::string_view text) { return m_host->AddString(m_id, text); }
  int DeleteString(int index) { return m_host->DeleteString(m_id, index); }
  void ResetContent() { m_host->ResetContent(m_id); }
  int GetCount() const { return m_host->GetCount(m_id); }
  std::string GetText(int index) const { return m_host->GetItemText(m_id, index); }
  int SetCurSel(int index) { return m_host->SetCurSel(m_id, index); }
  int GetCurSel() const { return m_host->GetCurSel(m_id); }
};

class CComboBox : public CListBox {
 public:
  using CListBox::CListBox;
  std::string GetLBText(int index) const { return GetText(index); }
  int SelectString(int startAfter, std::string_view prefix) { return m_host->SelectString(m_id, startAfter, prefix); }
  int FindString(int startAfter, std::string_view prefix) const { return m_host->FindString(m_id, startAfter, prefix); }
};

class CProgressCtrl : public CWndRef {
 public:
  using CWndRef::CWndRef;
  void SetRange(int lower, int upper) { m_host->SetRange(m_id, lower, upper); }
  int SetPos(int pos) { return m_host->SetPos(m_id, pos); }
  int GetPos() const { return m_host->GetPos(m_id); }
  void SetStep(int step) { m_host->SetStep(m_id, step); }
  int StepIt() { return m_host->StepIt(m_id); }
};

}  // namespace fw
