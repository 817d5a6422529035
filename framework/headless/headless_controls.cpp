#include <algorithm>
#include <string>

#include "framework/controls.h"
#include "framework/headless/headless_core.h"

namespace fw {
namespace {

bool IsList(const HeadlessControl& c) { return c.kind == ControlKind::ComboBox || c.kind == ControlKind::ListBox; }
bool IsDropList(const HeadlessControl& c) {
  return c.kind == ControlKind::ComboBox && (c.style & kComboDropDownList) != 0;
}
bool HasEditField(const HeadlessControl& c) {
  return c.kind == ControlKind::Edit || (c.kind == ControlKind::ComboBox && !IsDropList(c));
}

}  // namespace

// --- Input -------------------------------------------------------------------

bool HeadlessCore::Click(int id) {
  HeadlessControl* c = Usable(id);
  if (!c || (c->kind != ControlKind::Button && c->kind != ControlKind::CheckBox)) return false;
  if (c->kind == ControlKind::CheckBox) c->check = c->check ? 0 : 1;
  Notify(id, fw::Notify::Clicked);
  return true;
}

bool HeadlessCore::Type(int id, std::string_view text) {
  HeadlessControl* c = Usable(id);
  if (!c || !HasEditField(*c) || (c->kind == ControlKind::Edit && (c->style & kEditReadOnly))) return false;
  Focus(id);
  std::string typed;
  for (char ch : text) {
    // A digits-only edit refuses every other key.
    if (c->kind == ControlKind::Edit && (c->style & kEditDigitsOnly) && (ch < '0' || ch > '9')) continue;
    typed += ch;
  }
  if (c->limit > 0) typed = std::string(Utf16Prefix(typed, c->limit));
  c->text = typed;
  c->firstLine = c->firstColumn = 0;
  if (c->kind == ControlKind::Edit) {
    Notify(id, fw::Notify::Change);
  } else {
    c->selected = -1;
    Notify(id, fw::Notify::EditUpdate);
    Notify(id, fw::Notify::EditChange);
  }
  return true;
}

bool HeadlessCore::SelectItem(int id, int index) {
  HeadlessControl* c = Usable(id);
  if (!c || !IsList(*c) || index < 0 || index >= static_cast<int>(c->items.size())) return false;
  Focus(id);
  SetCurSel(id, index);
  Notify(id, fw::Notify::SelChange);
  if (c->kind == ControlKind::ComboBox) Notify(id, fw::Notify::SelEndOk);
  return true;
}

bool HeadlessCore::Focus(int id) {
  HeadlessControl* c = Usable(id);
  if (!c) return false;
  if (m_focus == id) return true;
  SetFocus(id);
  if (c->kind == ControlKind::ComboBox) Notify(id, fw::Notify::SetFocus);
  Idle();
  return true;
}

// --- IDialogHost: controls --------------------------------------------------

void HeadlessCore::SetWindowText(int id, std::string_view text) {
  HeadlessControl* c = Find(id);
  if (!c || IsDropList(*c) || c->kind == ControlKind::ListBox) return;
  c->text = std::string(text);
  c->firstLine = c->firstColumn = 0;
  // The program's own write: no change notification (see IDialogHost::SetWindowText).
  Changed(id, kRepaintClient | kRepaintErase);
}

std::string HeadlessCore::GetWindowText(int id) const {
  const HeadlessControl* c = Find(id);
  if (!c) return {};
  if (IsDropList(*c)) return c->selected >= 0 ? c->items[static_cast<std::size_t>(c->selected)] : std::string();
  return c->text;
}

void HeadlessCore::EnableWindow(int id, bool enable) {
  HeadlessControl* c = Find(id);
  if (!c || c->enabled == enable) return;
  c->enabled = enable;
  Changed(id, kRepaintClient | kRepaintErase | kRepaintFrame);
}

bool HeadlessCore::IsWindowEnabled(int id) const {
  const HeadlessControl* c = Find(id);
  return c && c->enabled;
}

void HeadlessCore::SetFocus(int id) {
  if (!Find(id) || m_focus == id) return;
  Changed(m_focus, kRepaintClient | kRepaintErase);
  m_focus = id;
  Changed(id, kRepaintClient | kRepaintErase);
}

void HeadlessCore::SetCheck(int id, int state) {
  HeadlessControl* c = Find(id);
  if (c && (c->kind == ControlKind::CheckBox || c->kind == ControlKind::Button)) {
    c->check = state;
    Changed(id, kRepaintClient | kRepaintErase);
  }
}

int HeadlessCore::GetCheck(int id) const {
  const HeadlessControl* c = Find(id);
  return c ? c->check : 0;
}

void HeadlessCore::SetLimitText(int id, int units) {
  if (HeadlessControl* c = Find(id)) c->limit = std::max(units, 0);
}

bool HeadlessCore::LineScroll(int id, int lines, int columns) {
  HeadlessControl* c = Find(id);
  if (!c || c->kind != ControlKind::Edit || !(c->style & kEditMultiLine)) return false;
  int lineCount = 1 + static_cast<int>(std::count(c->text.begin(), c->text.end(), '\n'));
  c->firstLine = std::clamp(c->firstLine + lines, 0, lineCount - 1);
  c->firstColumn = std::max(c->firstColumn + columns, 0);
  return true;
}

int HeadlessCore::GetFirstVisibleLine(int id) const {
  const HeadlessControl* c = Find(id);
  return c ? c->firstLine : 0;
}

int HeadlessCore::AddString(int id, std::string_view text) {
  HeadlessControl* c = Find(id);
  if (!c || !IsList(*c)) return -1;
  c->items.emplace_back(text);
  return static_cast<int>(c->items.size()) - 1;
}

int HeadlessCore::DeleteString(int id, int index) {
  HeadlessControl* c = Find(id);
  if (!c || !IsList(*c) || index < 0 || index >= static_cast<int>(c->items.size())) return -1;
  c->items.erase(c->items.begin() + index);
  if (c->selected == index) c->selected = -1;
  else if (c->selected > index) --c->selected;
  return static_cast<int>(c->items.size());
}

void HeadlessCore::ResetContent(int id) {
  HeadlessControl* c = Find(id);
  if (!c || !IsList(*c)) return;
  c->items.clear();
  c->selected = -1;
  c->text.clear();
}

int HeadlessCore::GetCount(int id) const {
  const HeadlessControl* c = Find(id);
  return c && IsList(*c) ? static_cast<int>(c->items.size()) : -1;
}

std::string HeadlessCore::GetItemText(int id, int index) const {
  const HeadlessControl* c = Find(id);
  if (!c || !IsList(*c) || index < 0 || index >= static_cast<int>(c->items.size())) return {};
  return c->items[static_cast<std::size_t>(index)];
}

int HeadlessCore::SetCurSel(int id, int index) {
  HeadlessControl* c = Find(id);
  if (!c || !IsList(*c)) return -1;
  if (index < 0 || index >= static_cast<int>(c->items.size())) {
    // As the platform: a bad index or -1 clears the selection and reports failure.
    c->selected = -1;
    if (c->kind == ControlKind::ComboBox) c->text.clear();
    return -1;
  }
  c->selected = index;
  if (c->kind == ControlKind::ComboBox) c->text = c->items[static_cast<std::size_t>(index)];
  return index;
}

int HeadlessCore::GetCurSel(int id) const {
  const HeadlessControl* c = Find(id);
  return c && IsList(*c) ? c->selected : -1;
}

int HeadlessCore::FindString(int id, int startAfter, std::string_view prefix) const {
  const HeadlessControl* c = Find(id);
  if (!c || !IsList(*c) || c->items.empty()) return -1;
  int n = static_cast<int>(c->items.size());
  int start = (startAfter < 0 || startAfter >= n) ? 0 : startAfter + 1;
  for (int k = 0; k < n; ++k) {
    int i = (start + k) % n;
    if (BeginsWithNoCase(c->items[static_cast<std::size_t>(i)], prefix)) return i;
  }
  return -1;
}

int HeadlessCore::SelectString(int id, int startAfter, std::string_view prefix) {
  int index = FindString(id, startAfter, prefix);
  if (index >= 0) SetCurSel(id, index);
  return index;
}

bool HeadlessCore::IsDropDownList(int id) const {
  const HeadlessControl* c = Find(id);
  return c && IsDropList(*c);
}

void HeadlessCore::SetRange(int id, int lower, int upper) {
  HeadlessControl* c = Find(id);
  if (!c || c->kind != ControlKind::Progress) return;
  c->lower = lower;
  c->upper = upper;
  c->pos = std::clamp(c->pos, std::min(lower, upper), std::max(lower, upper));
  Changed(id, kRepaintClient | kRepaintErase);
}

int HeadlessCore::SetPos(int id, int pos) {
  HeadlessControl* c = Find(id);
  if (!c || c->kind != ControlKind::Progress) return 0;
  int old = c->pos;
  c->pos = std::clamp(pos, std::min(c->lower, c->upper), std::max(c->lower, c->upper));
  Changed(id, kRepaintClient | kRepaintErase);
  return old;
}

int HeadlessCore::GetPos(int id) const {
  const HeadlessControl* c = Find(id);
  return c ? c->pos : 0;
}

void HeadlessCore::SetStep(int id, int step) {
  if (HeadlessControl* c = Find(id)) c->step = step;
}

int HeadlessCore::StepIt(int id) {
  HeadlessControl* c = Find(id);
  if (!c || c->kind != ControlKind::Progress) return 0;
  int old = c->pos;
  int value = c->pos + c->step;
  int span = c->upper - c->lower;
  // Past the top the bar starts over from the bottom.
  if (span > 0 && value > c->upper) value = c->lower + (value - c->lower) % span;
  if (span > 0 && value < c->lower) value = c->lower;
  c->pos = value;
  Changed(id, kRepaintClient | kRepaintErase);
  return old;
}

}  // namespace fw
