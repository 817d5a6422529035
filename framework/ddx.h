#pragma once
// Dialog data exchange: members to controls (load) and back (save and
// validate). A failing check shows its prompt in a message box, puts focus
// back on its control and marks the exchange failed; every later DDX_/DDV_
// call of that exchange then does nothing, so members exchanged before it
// hold their new values and those after it keep theirs. (A range check runs
// after its DDX_Text, so the checked member itself already holds the value
// typed.) Nothing is thrown.
//
// Load writes a control's text only when it differs from what the control
// shows, so re-showing the members while the user types leaves the caret
// and selection where they are. Like every text the program writes
// (IDialogHost::SetWindowText), a load sends the dialog no change
// notification: a Change handler may run UpdateData(true) and then
// UpdateData(false) without running again.
#include <string>

#include "framework/string_table.h"
#include "framework/ui_language.h"

namespace fw {

class CDialog;
class CControlClass;

// The three prompt texts, in the program's language (ids 61712, 61714 with
// %1 lowest and %2 highest, 61716 with %1 the most characters).
struct DdxPrompts {
  std::string integer;
  std::string integerRange;
  std::string maxCharacters;
};

// The prompts from a string table holding ids 61712, 61714 and 61716, such
// as FrameworkPrompts().
DdxPrompts DdxPromptsFor(const CStringTable& table, UiLanguage language);

class CDataExchange {
 public:
  CDataExchange(CDialog& dialog, bool save) : m_pDlgWnd(&dialog), m_bSaveAndValidate(save) {}

  // Marks id as the control the following checks are about.
  void PrepareCtrl(int id) {
    m_idLastControl = id;
    m_bEditLastControl = false;
  }
  // The same for a text exchanged as an edit's: DDV_MaxChars also limits its typing.
  void PrepareEditCtrl(int id) {
    m_idLastControl = id;
    m_bEditLastControl = true;
  }
  // Shows text, focuses the last prepared control and stops the exchange.
  void Fail(const std::string& text);

  CDialog* m_pDlgWnd;
  bool m_bSaveAndValidate;
  int m_idLastControl = 0;
  bool m_bEditLastControl = false;
  bool m_bFailed = false;
};

void DDX_Text(CDataExchange* pDX, int id, std::string& value);
// Load writes the decimal value; save accepts ParseDialogInt's form only.
void DDX_Text(CDataExchange* pDX, int id, int& value);
void DDX_Check(CDataExchange* pDX, int id, int& value);
// The selected index, -1 for none.
void DDX_CBIndex(CDataExchange* pDX, int id, int& index);
// Load: selects the first item beginning with value (ASCII case ignored);
// with none, sets the edit text (a drop-down list has none and stays as it
// is). Save: a drop-down list gives its selected item's text (empty with no
// selection), a drop-down with an edit field gives the edit field's text.
void DDX_CBString(CDataExchange* pDX, int id, std::string& value);
// Load: selects the first item whose text equals value (case counts); with
// none, a drop-down with an edit field loses its selection and shows value as
// given, a drop-down list stays as it is. Save: as DDX_CBString.
void DDX_CBStringExact(CDataExchange* pDX, int id, std::string& value);
// Binds a control class to control id at the first exchange, either way;
// later exchanges leave the binding alone.
void DDX_Control(CDataExchange* pDX, int id, CControlClass& control);
// Save only: value outside [minimum, maximum] fails with the range prompt.
void DDV_MinMaxInt(CDataExchange* pDX, int value, int minimum, int maximum);
// Load: limits an edit (a text exchanged by DDX_Text) to count UTF-16 units;
// a combo box takes any length. Save: a longer value fails.
void DDV_MaxChars(CDataExchange* pDX, const std::string& value, int count);

}  // namespace fw
