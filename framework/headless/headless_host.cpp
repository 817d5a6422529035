#include "framework/headless/headless_host.h"

#include <algorithm>
#include <atomic>
#include <chrono>

#include "framework/controls.h"

namespace fw {
namespace {

constexpr std::uint64_t kMinimumTimerUs = 10'000;

bool IsList(const HeadlessControl& c) { return c.kind == ControlKind::ComboBox || c.kind == ControlKind::ListBox; }
bool IsDropList(const HeadlessControl& c) {
  return c.kind == ControlKind::ComboBox && (c.style & kComboDropDownList) != 0;
}
bool HasEditField(const HeadlessControl& c) {
  return c.kind == ControlKind::Edit || (c.kind == ControlKind::ComboBox && !IsDropList(c));
}

}  // namespace

void HeadlessHost::Start(CDialog& dialog) {
  m_dialog = &dialog;
  m_controls.clear();
  for (const ControlTemplate& t : dialog.Template().controls) {
    HeadlessControl c;
    c.id = t.id;
    c.kind = t.kind;
    c.style = t.style;
    c.enabled = (t.style & kDisabled) == 0;
    if (t.kind != ControlKind::ComboBox && t.kind != ControlKind::ListBox) c.text = std::string(t.text);
    m_controls.push_back(std::move(c));
  }
  m_ended = false;
  m_result = 0;
  m_focus = 0;
  dialog.Attach(*this);
  dialog.OnInitDialog();
}

int HeadlessHost::RunModal(CDialog& dialog) {
  Start(dialog);
  while (!m_ended) {
    Serve(false);
    if (m_ended) break;
    bool queued;
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      queued = !m_queue.empty();
    }
    if (queued) continue;
    if (!m_timers.empty()) {
      std::uint64_t next = m_timers.front().due;
      for (const Timer& t : m_timers) next = std::min(next, t.due);
      AdvanceTo(std::max(next, m_now));
      continue;
    }
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return !m_queue.empty(); });
  }
  return m_result;
}

void HeadlessHost::Close() {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_closed = true;
  for (Queued& q : m_queue)
    if (q.reply) q.reply->done = true;
  m_queue.clear();
  m_changed.notify_all();
}

HeadlessControl* HeadlessHost::Find(int id) {
  for (HeadlessControl& c : m_controls)
    if (c.id == id) return &c;
  return nullptr;
}

const HeadlessControl* HeadlessHost::Find(int id) const {
  for (const HeadlessControl& c : m_controls)
    if (c.id == id) return &c;
  return nullptr;
}

const HeadlessControl& HeadlessHost::Control(int id) const {
  const HeadlessControl* c = Find(id);
  return c ? *c : m_none;
}

HeadlessControl* HeadlessHost::Usable(int id) {
  if (!m_dialog || m_ended) return nullptr;
  HeadlessControl* c = Find(id);
  return c && c->enabled ? c : nullptr;
}

void HeadlessHost::Notify(int id, fw::Notify code) {
  if (m_dialog && !m_ended) m_dialog->DispatchCommand(id, code);
}

// --- Driver -----------------------------------------------------------------

bool HeadlessHost::Click(int id) {
  HeadlessControl* c = Usable(id);
  if (!c || (c->kind != ControlKind::Button && c->kind != ControlKind::CheckBox)) return false;
  if (c->kind == ControlKind::CheckBox) c->check = c->check ? 0 : 1;
  Notify(id, fw::Notify::Clicked);
  return true;
}

bool HeadlessHost::Type(int id, std::string_view text) {
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

bool HeadlessHost::SelectItem(int id, int index) {
  HeadlessControl* c = Usable(id);
  if (!c || !IsList(*c) || index < 0 || index >= static_cast<int>(c->items.size())) return false;
  Focus(id);
  SetCurSel(id, index);
  Notify(id, fw::Notify::SelChange);
  if (c->kind == ControlKind::ComboBox) Notify(id, fw::Notify::SelEndOk);
  return true;
}

bool HeadlessHost::Focus(int id) {
  HeadlessControl* c = Usable(id);
  if (!c) return false;
  if (m_focus == id) return true;
  m_focus = id;
  if (c->kind == ControlKind::ComboBox) Notify(id, fw::Notify::SetFocus);
  return true;
}

bool HeadlessHost::PressEnter() {
  if (!m_dialog || m_ended) return false;
  const HeadlessControl* ok = Find(kIdOk);
  if (ok && !ok->enabled) return false;
  m_dialog->DispatchCommand(kIdOk, fw::Notify::Clicked);
  return true;
}

bool HeadlessHost::PressEscape() {
  if (!m_dialog || m_ended) return false;
  const HeadlessControl* cancel = Find(kIdCancel);
  if (cancel && !cancel->enabled) return false;
  m_dialog->DispatchCommand(kIdCancel, fw::Notify::Clicked);
  return true;
}

void HeadlessHost::Advance(unsigned ms) { AdvanceTo(m_now + std::uint64_t{ms} * 1000); }

void HeadlessHost::AdvanceTo(std::uint64_t target) {
  for (;;) {
    Serve(false);
    if (m_ended) break;
    const Timer* next = nullptr;
    for (const Timer& t : m_timers)
      if (t.due <= target && (!next || t.due < next->due || (t.due == next->due && t.order < next->order)))
        next = &t;
    if (!next) break;
    // An overdue timer (the UI thread slept past it) fires once, now.
    m_now = std::max(m_now, next->due);
    unsigned id = next->id;
    for (Timer& t : m_timers)
      if (t.id == id) t.due = m_now + t.period;
    if (m_dialog) m_dialog->OnTimer(id);
  }
  m_now = std::max(m_now, target);
}

void HeadlessHost::ServeMessages() { Serve(false); }

void HeadlessHost::Serve(bool sentOnly) {
  for (;;) {
    Queued item;
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      auto it = m_queue.begin();
      if (sentOnly)
        while (it != m_queue.end() && !it->reply) ++it;
      if (it == m_queue.end()) return;
      item = *it;
      m_queue.erase(it);
    }
    std::intptr_t result = (m_dialog && !m_ended) ? m_dialog->DispatchMessage(item.msg, item.wparam, item.lparam) : 0;
    if (item.reply) {
      std::lock_guard<std::mutex> lock(m_mutex);
      item.reply->result = result;
      item.reply->done = true;
      m_changed.notify_all();
    }
  }
}

void HeadlessHost::WaitServingSentMessages(const std::function<bool()>& done) {
  for (;;) {
    Serve(true);
    if (done()) return;
    std::unique_lock<std::mutex> lock(m_mutex);
    // The condition may change without a notification (a thread ending), so the wait is sliced.
    m_changed.wait_for(lock, std::chrono::milliseconds(1), [this] {
      return std::any_of(m_queue.begin(), m_queue.end(), [](const Queued& q) { return q.reply != nullptr; });
    });
  }
}

bool HeadlessHost::HasTimer(unsigned id) const {
  return std::any_of(m_timers.begin(), m_timers.end(), [id](const Timer& t) { return t.id == id; });
}

// --- IDialogHost: controls --------------------------------------------------

void HeadlessHost::SetWindowText(int id, std::string_view text) {
  HeadlessControl* c = Find(id);
  if (!c || IsDropList(*c) || c->kind == ControlKind::ListBox) return;
  c->text = std::string(text);
  c->firstLine = c->firstColumn = 0;
  if (c->kind == ControlKind::Edit) Notify(id, fw::Notify::Change);
}

std::string HeadlessHost::GetWindowText(int id) const {
  const HeadlessControl* c = Find(id);
  if (!c) return {};
  if (IsDropList(*c)) return c->selected >= 0 ? c->items[static_cast<std::size_t>(c->selected)] : std::string();
  return c->text;
}

void HeadlessHost::EnableWindow(int id, bool enable) {
  if (HeadlessControl* c = Find(id)) c->enabled = enable;
}

bool HeadlessHost::IsWindowEnabled(int id) const {
  const HeadlessControl* c = Find(id);
  return c && c->enabled;
}

void HeadlessHost::SetFocus(int id) {
  if (Find(id)) m_focus = id;
}

void HeadlessHost::SetCheck(int id, int state) {
  HeadlessControl* c = Find(id);
  if (c && (c->kind == ControlKind::CheckBox || c->kind == ControlKind::Button)) c->check = state;
}

int HeadlessHost::GetCheck(int id) const {
  const HeadlessControl* c = Find(id);
  return c ? c->check : 0;
}

void HeadlessHost::SetLimitText(int id, int units) {
  if (HeadlessControl* c = Find(id)) c->limit = std::max(units, 0);
}

bool HeadlessHost::LineScroll(int id, int lines, int columns) {
  HeadlessControl* c = Find(id);
  if (!c || c->kind != ControlKind::Edit || !(c->style & kEditMultiLine)) return false;
  int lineCount = 1 + static_cast<int>(std::count(c->text.begin(), c->text.end(), '\n'));
  c->firstLine = std::clamp(c->firstLine + lines, 0, lineCount - 1);
  c->firstColumn = std::max(c->firstColumn + columns, 0);
  return true;
}

int HeadlessHost::GetFirstVisibleLine(int id) const {
  const HeadlessControl* c = Find(id);
  return c ? c->firstLine : 0;
}

int HeadlessHost::AddString(int id, std::string_view text) {
  HeadlessControl* c = Find(id);
  if (!c || !IsList(*c)) return -1;
  c->items.emplace_back(text);
  return static_cast<int>(c->items.size()) - 1;
}

int HeadlessHost::DeleteString(int id, int index) {
  HeadlessControl* c = Find(id);
  if (!c || !IsList(*c) || index < 0 || index >= static_cast<int>(c->items.size())) return -1;
  c->items.erase(c->items.begin() + index);
  if (c->selected == index) c->selected = -1;
  else if (c->selected > index) --c->selected;
  return static_cast<int>(c->items.size());
}

void HeadlessHost::ResetContent(int id) {
  HeadlessControl* c = Find(id);
  if (!c || !IsList(*c)) return;
  c->items.clear();
  c->selected = -1;
  c->text.clear();
}

int HeadlessHost::GetCount(int id) const {
  const HeadlessControl* c = Find(id);
  return c && IsList(*c) ? static_cast<int>(c->items.size()) : -1;
}

std::string HeadlessHost::GetItemText(int id, int index) const {
  const HeadlessControl* c = Find(id);
  if (!c || !IsList(*c) || index < 0 || index >= static_cast<int>(c->items.size())) return {};
  return c->items[static_cast<std::size_t>(index)];
}

int HeadlessHost::SetCurSel(int id, int index) {
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

int HeadlessHost::GetCurSel(int id) const {
  const HeadlessControl* c = Find(id);
  return c && IsList(*c) ? c->selected : -1;
}

int HeadlessHost::FindString(int id, int startAfter, std::string_view prefix) const {
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

int HeadlessHost::SelectString(int id, int startAfter, std::string_view prefix) {
  int index = FindString(id, startAfter, prefix);
  if (index >= 0) SetCurSel(id, index);
  return index;
}

bool HeadlessHost::IsDropDownList(int id) const {
  const HeadlessControl* c = Find(id);
  return c && IsDropList(*c);
}

void HeadlessHost::SetRange(int id, int lower, int upper) {
  HeadlessControl* c = Find(id);
  if (!c || c->kind != ControlKind::Progress) return;
  c->lower = lower;
  c->upper = upper;
  c->pos = std::clamp(c->pos, std::min(lower, upper), std::max(lower, upper));
}

int HeadlessHost::SetPos(int id, int pos) {
  HeadlessControl* c = Find(id);
  if (!c || c->kind != ControlKind::Progress) return 0;
  int old = c->pos;
  c->pos = std::clamp(pos, std::min(c->lower, c->upper), std::max(c->lower, c->upper));
  return old;
}

int HeadlessHost::GetPos(int id) const {
  const HeadlessControl* c = Find(id);
  return c ? c->pos : 0;
}

void HeadlessHost::SetStep(int id, int step) {
  if (HeadlessControl* c = Find(id)) c->step = step;
}

int HeadlessHost::StepIt(int id) {
  HeadlessControl* c = Find(id);
  if (!c || c->kind != ControlKind::Progress) return 0;
  int old = c->pos;
  int value = c->pos + c->step;
  int span = c->upper - c->lower;
  // Past the top the bar starts over from the bottom.
  if (span > 0 && value > c->upper) value = c->lower + (value - c->lower) % span;
  if (span > 0 && value < c->lower) value = c->lower;
  c->pos = value;
  return old;
}

// --- IDialogHost: dialog ----------------------------------------------------

void HeadlessHost::SetTimer(unsigned id, unsigned ms) {
  std::uint64_t period = std::max(std::uint64_t{ms} * 1000, kMinimumTimerUs);
  for (Timer& t : m_timers) {
    if (t.id == id) {
      t.period = period;
      t.due = m_now + period;
      t.order = m_timerOrder++;
      return;
    }
  }
  m_timers.push_back({id, period, m_now + period, m_timerOrder++});
}

void HeadlessHost::KillTimer(unsigned id) {
  std::erase_if(m_timers, [id](const Timer& t) { return t.id == id; });
}

void HeadlessHost::EndDialog(int result) {
  if (m_ended) return;
  m_ended = true;
  m_result = result;
  m_timers.clear();
}

int HeadlessHost::MessageBox(std::string_view text) {
  m_boxes.push_back({std::string(text), kIdOk});
  return kIdOk;
}

std::intptr_t HeadlessHost::SendMessage(unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) {
  if (OnUiThread()) return (m_dialog && !m_ended) ? m_dialog->DispatchMessage(msg, wparam, lparam) : 0;
  auto reply = std::make_shared<Reply>();
  std::unique_lock<std::mutex> lock(m_mutex);
  if (m_closed) return 0;
  m_queue.push_back({msg, wparam, lparam, reply});
  m_changed.notify_all();
  m_changed.wait(lock, [&reply] { return reply->done; });
  return reply->result;
}

void HeadlessHost::PostMessage(unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_closed) return;
  m_queue.push_back({msg, wparam, lparam, nullptr});
  m_changed.notify_all();
}

void JoinServingSentMessages(HeadlessHost& host, const std::function<void()>& join) {
  std::atomic<int> joined{0};
  std::thread helper([&] {
    join();
    joined = 1;
  });
  host.WaitServingSentMessages([&joined] { return joined.load() != 0; });
  helper.join();
}

}  // namespace fw
