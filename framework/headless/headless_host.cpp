#include "framework/headless/headless_host.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <utility>

#include "framework/controls.h"
#include "framework/drawing/raster/raster_dc.h"
#include "framework/platform_paths.h"

namespace fw {
namespace {

constexpr std::uint64_t kMinimumTimerUs = 10'000;
constexpr int kBaseUnitX = 6;
constexpr int kBaseUnitY = 13;
constexpr unsigned kScClose = 0xF060;
// The platform's progress bar messages.
// Sent messages and the cancel request are looked at this often while the real clock waits.
constexpr auto kRealWaitSlice = std::chrono::milliseconds(20);

bool IsList(const HeadlessControl& c) { return c.kind == ControlKind::ComboBox || c.kind == ControlKind::ListBox; }
bool IsDropList(const HeadlessControl& c) {
  return c.kind == ControlKind::ComboBox && (c.style & kComboDropDownList) != 0;
}
bool HasEditField(const HeadlessControl& c) {
  return c.kind == ControlKind::Edit || (c.kind == ControlKind::ComboBox && !IsDropList(c));
}

int MulDivRounded(int value, int numerator, int denominator) {
  return (value * numerator + (value >= 0 ? denominator / 2 : -denominator / 2)) / denominator;
}

}  // namespace

Rect DialogUnitsToPixels(Rect du) {
  return {MulDivRounded(du.x, kBaseUnitX, 4), MulDivRounded(du.y, kBaseUnitY, 8),
          MulDivRounded(du.cx, kBaseUnitX, 4), MulDivRounded(du.cy, kBaseUnitY, 8)};
}

// The window behind a control class on this host.
class HeadlessHost::Site final : public IControlSite {
 public:
  Site(HeadlessHost& host, int id, CControlClass& cls) : m_host(host), m_id(id), m_class(&cls) {}
  CControlClass& Class() { return *m_class; }
  unsigned tracking = 0;  // registered kTmeHover / kTmeLeave bits
  unsigned hoverMs = 0;
  int invalidations = 0;

  int Id() const override { return m_id; }
  std::intptr_t DefaultProc(unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) override {
    const HeadlessControl& c = m_host.Control(m_id);
    switch (msg) {
      case kWmPaint:
      case kWmNcPaint:
      case kWmEraseBkgnd:
        return m_host.DefaultPaint(m_id, msg);
      // Pressing changes how a button draws; it repaints at the next paint.
      case kWmLButtonDown:
        if (c.kind == ControlKind::Button) m_host.m_mouseDownOn = m_id;
        return 0;
      case kWmLButtonUp:
        if (m_host.m_mouseDownOn == m_id) m_host.m_mouseDownOn = 0;
        return 0;
      default:
        break;
    }
    if (c.kind != ControlKind::Progress) return 0;
    switch (msg) {
      case kPbmSetRange: {
        const std::intptr_t old = (c.lower & 0xFFFF) | ((c.upper & 0xFFFF) << 16);
        m_host.SetRange(m_id, static_cast<int>(lparam & 0xFFFF), static_cast<int>((lparam >> 16) & 0xFFFF));
        return old;
      }
      case kPbmSetPos: return m_host.SetPos(m_id, static_cast<int>(wparam));
      case kPbmSetStep: {
        const int old = c.step;
        m_host.SetStep(m_id, static_cast<int>(wparam));
        return old;
      }
      case kPbmStepIt: return m_host.StepIt(m_id);
      default: return 0;
    }
  }
  bool TrackMouseEvent(unsigned flags, unsigned hoverMs_) override {
    if (m_host.m_refuseTracking || m_host.m_cursorOn != m_id) return false;
    tracking |= flags & (kTmeHover | kTmeLeave);
    hoverMs = hoverMs_;
    if (flags & kTmeHover) m_host.StartTimer(TimerKind::Hover, m_id, 0, std::uint64_t{hoverMs_} * 1000);
    return true;
  }
  void Invalidate(bool erase) override {
    ++invalidations;
    m_host.MarkForPaint(m_id, kPendClient | (erase ? kPendErase : 0u));
  }
  void RedrawWindow(unsigned flags) override {
    ++invalidations;
    if (!(flags & kRdwInvalidate)) return;
    m_host.MarkForPaint(m_id, kPendClient | ((flags & kRdwErase) ? kPendErase : 0u) |
                                  ((flags & kRdwFrame) ? kPendFrame : 0u));
  }
  void SetTimer(unsigned id, unsigned ms) override {
    m_host.StartTimer(TimerKind::Control, m_id, id, std::max(std::uint64_t{ms} * 1000, kMinimumTimerUs));
  }
  void KillTimer(unsigned id) override { m_host.StopTimer(TimerKind::Control, m_id, id); }
  Point GetCursorPos() const override {
    return m_host.m_cursorOn ? m_host.ControlCentre(m_host.m_cursorOn) : Point{-10000, -10000};
  }
  Box GetWindowRect() const override {
    const Rect r = m_host.Control(m_id).rect;
    return {r.x, r.y, r.x + r.cx, r.y + r.cy};
  }
  Box GetClientRect() const override {
    const Rect r = m_host.Control(m_id).rect;
    return {0, 0, r.cx, r.cy};
  }
  unsigned GetStyle() const override { return m_style; }
  void ModifyStyle(unsigned remove, unsigned add) override { m_style = (m_style & ~remove) | add; }
  std::string GetWindowText() const override { return m_host.GetWindowText(m_id); }
  bool IsWindowEnabled() const override { return m_host.IsWindowEnabled(m_id); }
  std::unique_ptr<CDC> BeginPaint() override { return GetDC(); }
  std::unique_ptr<CDC> GetDC() override {
    PaintState* p = m_host.PaintOf(m_id);
    return p ? std::make_unique<RasterDC>(p->surface, m_host.m_look) : nullptr;
  }
  // The window is the client area on this host.
  std::unique_ptr<CDC> GetWindowDC() override { return GetDC(); }
  std::intptr_t SendMessage(unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) override {
    return m_class ? m_class->WindowProc(msg, wparam, lparam) : DefaultProc(msg, wparam, lparam);
  }
  void ClassGone() override { m_class = nullptr; }
  bool Live() const { return m_class != nullptr; }

 private:
  HeadlessHost& m_host;
  int m_id;
  CControlClass* m_class;
  unsigned m_style = 0;
};

HeadlessHost::HeadlessHost(HostClock clock)
    : m_uiThread(std::this_thread::get_id()), m_clock(clock), m_realStart(std::chrono::steady_clock::now()),
      m_modulePath(ModuleFilePath()) {}

HeadlessHost::~HeadlessHost() {
  // Held boxes close, then the dialog's engines (it outlives its host) close
  // while sends are still served.
  HoldMessageBoxes(false);
  AnswerMessageBoxes();
  if (m_dialog != nullptr) m_dialog->Detach();
  Close();
  DetachSites();
}

void HeadlessHost::Start(CDialog& dialog) {
  DetachSites();
  if (m_dialog != nullptr && m_dialog != &dialog) m_dialog->Detach();
  m_dialog = &dialog;
  m_controls.clear();
  m_timers.clear();
  m_cursorOn = 0;
  for (const ControlTemplate& t : dialog.Template().controls) {
    HeadlessControl c;
    c.id = t.id;
    c.kind = t.kind;
    c.style = t.style;
    c.rect = DialogUnitsToPixels(t.rect);
    c.enabled = (t.style & kDisabled) == 0;
    if (t.kind != ControlKind::ComboBox && t.kind != ControlKind::ListBox) c.text = std::string(t.text);
    for (std::string_view item : t.items) c.items.emplace_back(item);
    if (t.style & kSorted) std::stable_sort(c.items.begin(), c.items.end());
    m_controls.push_back(std::move(c));
  }
  m_paint.clear();
  m_mouseDownOn = 0;
  for (const HeadlessControl& c : m_controls)
    m_paint[c.id].surface = RasterSurface(c.rect.cx, c.rect.cy, m_look.GetSysColor(kColorBtnFace));
  m_ended = false;
  m_result = 0;
  m_focus = 0;
  if (RealClock()) m_now = RealNow();
  dialog.Attach(*this);
  dialog.OnInitDialog();
}

int HeadlessHost::RunModal(CDialog& dialog) {
  Start(dialog);
  RunUntil([] { return false; });
  // The window goes with the modal run.
  dialog.Detach();
  m_dialog = nullptr;
  return m_result;
}

void HeadlessHost::ForgetDialog(CDialog& dialog) {
  if (m_dialog == &dialog) m_dialog = nullptr;
}

void HeadlessHost::JoinServingSentMessages(std::intptr_t, const std::function<void()>& join) {
  fw::JoinServingSentMessages(*this, join);
}

bool HeadlessHost::RunUntil(const std::function<bool()>& done) {
  while (!m_ended) {
    CheckCancelRequest();
    Serve(false);
    if (m_ended) break;
    if (done()) return true;
    bool queued;
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      queued = !m_queue.empty();
    }
    if (queued) continue;
    std::optional<std::uint64_t> next;
    for (const Timer& t : m_timers) next = std::min(next.value_or(t.due), t.due);
    if (RealClock()) {
      WaitRealUntil(next.value_or(UINT64_MAX));
      AdvanceTo(RealNow());
      continue;
    }
    if (next) {
      AdvanceTo(std::max(*next, m_now));
      continue;
    }
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait_for(lock, kRealWaitSlice, [this] { return !m_queue.empty(); });
  }
  return false;
}

std::uint64_t HeadlessHost::RealNow() const {
  return static_cast<std::uint64_t>(
      std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - m_realStart).count());
}

void HeadlessHost::WaitRealUntil(std::uint64_t due) {
  std::unique_lock<std::mutex> lock(m_mutex);
  for (;;) {
    if (!m_queue.empty() || m_cancelRequested.load() != 0) return;
    const std::uint64_t now = RealNow();
    if (now >= due) return;
    const auto left = std::chrono::microseconds(due - now);
    m_changed.wait_for(lock, std::min<std::chrono::microseconds>(left, kRealWaitSlice));
  }
}

void HeadlessHost::CheckCancelRequest() {
  if (m_cancelRequested.exchange(0) != 0 && m_dialog && !m_ended) m_dialog->DispatchCommand(kIdCancel, fw::Notify::Clicked);
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
  PaintInvalidated();
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
  SetFocus(id);
  if (c->kind == ControlKind::ComboBox) Notify(id, fw::Notify::SetFocus);
  PaintInvalidated();
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

bool HeadlessHost::Hover(int id) {
  HeadlessControl* c = Usable(id);
  if (!c) return false;
  if (m_cursorOn != id) Leave();
  m_cursorOn = id;
  SendToControl(id, kWmMouseMove);
  return true;
}

void HeadlessHost::Leave() {
  const int was = m_cursorOn;
  if (was == 0) return;
  m_cursorOn = 0;
  StopTimer(TimerKind::Hover, was, 0);
  Site* site = SiteOf(was);
  if (site && (site->tracking & kTmeLeave)) {
    // A leave notification ends every request of that window.
    site->tracking = 0;
    SendToControl(was, kWmMouseLeave);
  } else if (site) {
    site->tracking = 0;
  }
}

bool HeadlessHost::MouseDown(int id) {
  if (!Hover(id)) return false;
  SendToControl(id, kWmLButtonDown);
  return true;
}

bool HeadlessHost::MouseUp(int id) {
  if (!Usable(id)) return false;
  SendToControl(id, kWmLButtonUp);
  return true;
}

bool HeadlessHost::SystemCommand(unsigned commandId) {
  if (!m_dialog || m_ended) return false;
  if (m_dialog->OnSysCommand(commandId)) return true;
  if ((commandId & 0xFFF0u) == kScClose) m_dialog->DispatchCommand(kIdCancel, fw::Notify::Clicked);
  return true;
}

std::intptr_t HeadlessHost::SendToControl(int id, unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) {
  if (!Find(id)) return 0;
  std::intptr_t result = 0;
  if (Site* site = SiteOf(id)) result = site->Class().WindowProc(msg, wparam, lparam);
  PaintInvalidated();
  return result;
}

bool HeadlessHost::IsTrackingMouse(int id, unsigned flag) const {
  for (const auto& site : m_sites)
    if (site->Id() == id) return (site->tracking & flag) != 0;
  return false;
}

HeadlessHost::Site* HeadlessHost::SiteOf(int id) {
  for (auto& site : m_sites)
    if (site->Id() == id && site->Live()) return site.get();
  return nullptr;
}

Point HeadlessHost::ControlCentre(int id) const {
  const Rect r = Control(id).rect;
  return {r.x + r.cx / 2, r.y + r.cy / 2};
}

void HeadlessHost::DetachSites() {
  for (auto& site : m_sites)
    if (site->Live()) site->Class().Detach();
  m_sites.clear();
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
    const Timer fired = *next;
    if (fired.kind == TimerKind::Hover) {
      StopTimer(TimerKind::Hover, fired.owner, 0);
    } else {
      for (Timer& t : m_timers)
        if (t.kind == fired.kind && t.owner == fired.owner && t.id == fired.id) t.due = NextDue(t, target);
    }
    FireTimer(fired);
    PaintInvalidated();
  }
  m_now = std::max(m_now, target);
  PaintInvalidated();
}

std::uint64_t HeadlessHost::NextDue(const Timer& timer, std::uint64_t now) const {
  // Virtual clock: every period of the span gets its tick, in time order.
  if (!RealClock() || timer.period == 0) return m_now + timer.period;
  // Real clock: ticks missed while the UI thread could not run (the process
  // stopped, the machine suspended or loaded) fold into the one just fired,
  // as the platform's pending WM_TIMER does; the schedule keeps its phase.
  const std::uint64_t missed = now > timer.due ? (now - timer.due) / timer.period : 0;
  return timer.due + (missed + 1) * timer.period;
}

void HeadlessHost::FireTimer(const Timer& timer) {
  switch (timer.kind) {
    case TimerKind::Dialog:
      if (m_dialog) m_dialog->OnTimer(timer.id);
      break;
    case TimerKind::Control:
      SendToControl(timer.owner, kWmTimer, timer.id, 0);
      break;
    case TimerKind::Hover:
      if (Site* site = SiteOf(timer.owner); site && (site->tracking & kTmeHover) && m_cursorOn == timer.owner) {
        site->tracking &= ~kTmeHover;
        SendToControl(timer.owner, kWmMouseHover);
      }
      break;
  }
}

void HeadlessHost::StartTimer(TimerKind kind, int owner, unsigned id, std::uint64_t periodUs) {
  for (Timer& t : m_timers) {
    if (t.kind == kind && t.owner == owner && t.id == id) {
      t.period = periodUs;
      t.due = m_now + periodUs;
      t.order = m_timerOrder++;
      return;
    }
  }
  m_timers.push_back({kind, owner, id, periodUs, m_now + periodUs, m_timerOrder++});
}

void HeadlessHost::StopTimer(TimerKind kind, int owner, unsigned id) {
  std::erase_if(m_timers, [&](const Timer& t) { return t.kind == kind && t.owner == owner && t.id == id; });
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
  return std::any_of(m_timers.begin(), m_timers.end(),
                     [id](const Timer& t) { return t.kind == TimerKind::Dialog && t.id == id; });
}

bool HeadlessHost::HasControlTimer(int controlId, unsigned id) const {
  return std::any_of(m_timers.begin(), m_timers.end(), [&](const Timer& t) {
    return t.kind == TimerKind::Control && t.owner == controlId && t.id == id;
  });
}

// --- IDialogHost: controls --------------------------------------------------

void HeadlessHost::SetWindowText(int id, std::string_view text) {
  HeadlessControl* c = Find(id);
  if (!c || IsDropList(*c) || c->kind == ControlKind::ListBox) return;
  c->text = std::string(text);
  c->firstLine = c->firstColumn = 0;
  // The program's own write: no change notification (see IDialogHost::SetWindowText).
  MarkForPaint(id, kPendClient | kPendErase);
}

std::string HeadlessHost::GetWindowText(int id) const {
  const HeadlessControl* c = Find(id);
  if (!c) return {};
  if (IsDropList(*c)) return c->selected >= 0 ? c->items[static_cast<std::size_t>(c->selected)] : std::string();
  return c->text;
}

void HeadlessHost::EnableWindow(int id, bool enable) {
  HeadlessControl* c = Find(id);
  if (!c || c->enabled == enable) return;
  c->enabled = enable;
  MarkForPaint(id, kPendClient | kPendErase | kPendFrame);
}

bool HeadlessHost::IsWindowEnabled(int id) const {
  const HeadlessControl* c = Find(id);
  return c && c->enabled;
}

void HeadlessHost::SetFocus(int id) {
  if (!Find(id) || m_focus == id) return;
  MarkForPaint(m_focus, kPendClient | kPendErase);
  m_focus = id;
  MarkForPaint(id, kPendClient | kPendErase);
}

void HeadlessHost::SetCheck(int id, int state) {
  HeadlessControl* c = Find(id);
  if (c && (c->kind == ControlKind::CheckBox || c->kind == ControlKind::Button)) {
    c->check = state;
    MarkForPaint(id, kPendClient | kPendErase);
  }
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
  MarkForPaint(id, kPendClient | kPendErase);
}

int HeadlessHost::SetPos(int id, int pos) {
  HeadlessControl* c = Find(id);
  if (!c || c->kind != ControlKind::Progress) return 0;
  int old = c->pos;
  c->pos = std::clamp(pos, std::min(c->lower, c->upper), std::max(c->lower, c->upper));
  MarkForPaint(id, kPendClient | kPendErase);
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
  MarkForPaint(id, kPendClient | kPendErase);
  return old;
}

// --- IDialogHost: dialog ----------------------------------------------------

void HeadlessHost::SetTimer(unsigned id, unsigned ms) {
  StartTimer(TimerKind::Dialog, 0, id, std::max(std::uint64_t{ms} * 1000, kMinimumTimerUs));
}

void HeadlessHost::KillTimer(unsigned id) { StopTimer(TimerKind::Dialog, 0, id); }

void HeadlessHost::Sleep(unsigned ms) {
  if (RealClock()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    m_now = std::max(m_now, RealNow());
  } else {
    m_now += std::uint64_t{ms} * 1000;
  }
}

std::uint32_t HeadlessHost::GetTickCount() const {
  const std::uint64_t now = RealClock() ? RealNow() : m_now;
  return static_cast<std::uint32_t>(now / 1000);
}

bool HeadlessHost::GetOpenFileName(const OpenFileRequest& request, std::string& path) {
  m_fileRequests.push_back(request);
  if (m_fileAnswers.empty()) return false;
  std::optional<std::string> answer = std::move(m_fileAnswers.front());
  m_fileAnswers.pop_front();
  if (!answer) return false;
  path = std::move(*answer);
  return true;
}

void HeadlessHost::AppendSystemMenu(unsigned commandId, std::string_view text) {
  m_systemMenu.push_back({text.empty() ? 0u : commandId, std::string(text)});
}

int HeadlessHost::DoModal(CDialog& child) {
  HeadlessHost childHost(m_clock);
  childHost.m_now = m_now;
  childHost.m_modulePath = m_modulePath;
  childHost.m_refuseTracking = m_refuseTracking;
  childHost.Start(child);
  if (m_childDriver) m_childDriver(childHost);
  if (!childHost.Ended()) child.DispatchCommand(kIdCancel, fw::Notify::Clicked);
  if (!childHost.Ended()) childHost.EndDialog(kIdCancel);
  m_now = std::max(m_now, childHost.m_now);
  return childHost.Result();
}

bool HeadlessHost::SubclassControl(int id, CControlClass& controlClass) {
  if (!Find(id)) return false;
  std::erase_if(m_sites, [id](const std::unique_ptr<Site>& s) {
    if (s->Id() != id) return false;
    if (s->Live()) s->Class().Detach();
    return true;
  });
  m_sites.push_back(std::make_unique<Site>(*this, id, controlClass));
  controlClass.Attach(*m_sites.back());
  return true;
}

void HeadlessHost::EndDialog(int result) {
  if (m_ended) return;
  m_ended = true;
  m_result = result;
  m_timers.clear();
}

int HeadlessHost::MessageBox(std::string_view text) {
  std::unique_lock<std::mutex> lock(m_boxMutex);
  m_boxes.push_back({std::string(text), kIdOk});
  if (!m_holdBoxes || OnUiThread()) return kIdOk;
  ++m_openBoxes;
  const std::uint64_t seen = m_answers;
  m_boxAnswered.wait(lock, [&] { return m_answers != seen; });
  --m_openBoxes;
  lock.unlock();
  SendMessage(kWmEnable, 1, 0);
  return kIdOk;
}

void HeadlessHost::HoldMessageBoxes(bool hold) {
  std::lock_guard<std::mutex> lock(m_boxMutex);
  m_holdBoxes = hold;
}

int HeadlessHost::AnswerMessageBoxes() {
  std::lock_guard<std::mutex> lock(m_boxMutex);
  const int open = m_openBoxes;
  ++m_answers;
  m_boxAnswered.notify_all();
  return open;
}

int HeadlessHost::OpenMessageBoxes() const {
  std::lock_guard<std::mutex> lock(m_boxMutex);
  return m_openBoxes;
}

std::vector<RecordedMessageBox> HeadlessHost::MessageBoxes() const {
  std::lock_guard<std::mutex> lock(m_boxMutex);
  return m_boxes;
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

// --- Painting ----------------------------------------------------------------

HeadlessHost::PaintState* HeadlessHost::PaintOf(int id) {
  auto it = m_paint.find(id);
  return it == m_paint.end() ? nullptr : &it->second;
}

const RasterSurface& HeadlessHost::Surface(int id) const {
  auto it = m_paint.find(id);
  return it == m_paint.end() ? m_noSurface : it->second.surface;
}

bool HeadlessHost::IsInvalidated(int id) const {
  auto it = m_paint.find(id);
  return it != m_paint.end() && it->second.pending != 0;
}

void HeadlessHost::MarkForPaint(int id, unsigned what) {
  if (PaintState* p = PaintOf(id)) p->pending |= what;
}

bool HeadlessHost::MoveControl(int id, Rect pixels) {
  HeadlessControl* c = Find(id);
  PaintState* p = PaintOf(id);
  if (!c || !p) return false;
  c->rect = pixels;
  p->surface = RasterSurface(pixels.cx, pixels.cy, m_look.GetSysColor(kColorBtnFace));
  p->pending = kPendClient | kPendErase | kPendFrame;
  PaintInvalidated();
  return true;
}

bool HeadlessHost::Paint(int id) {
  PaintState* p = PaintOf(id);
  if (!p) return false;
  p->pending = 0;
  PaintNow(id, kPendClient | kPendErase | kPendFrame);
  return true;
}

void HeadlessHost::PaintInvalidated() {
  if (m_painting) return;
  // A control that marks itself while painting gets one more round, not an endless loop.
  for (int round = 0; round < 3; ++round) {
    bool any = false;
    for (auto& [id, state] : m_paint) {
      if (state.pending == 0) continue;
      const unsigned what = std::exchange(state.pending, 0u);
      PaintNow(id, what);
      any = true;
    }
    if (!any) return;
  }
}

void HeadlessHost::PaintNow(int id, unsigned what) {
  const HeadlessControl* c = Find(id);
  if (!c || m_painting) return;
  m_painting = true;
  auto send = [&](unsigned msg) {
    if (Site* site = SiteOf(id)) site->Class().WindowProc(msg, 0, 0);
    else DefaultPaint(id, msg);
  };
  if ((what & kPendFrame) && c->kind == ControlKind::Edit) send(kWmNcPaint);
  if (what & kPendErase) send(kWmEraseBkgnd);
  if (what & (kPendClient | kPendErase)) send(kWmPaint);
  m_painting = false;
}

std::intptr_t HeadlessHost::DefaultPaint(int id, unsigned msg) {
  const HeadlessControl* c = Find(id);
  PaintState* p = PaintOf(id);
  if (!c || !p) return 0;
  RasterDC dc(p->surface, m_look);
  const Box all{0, 0, c->rect.cx, c->rect.cy};
  const Colour face = m_look.GetSysColor(kColorBtnFace);
  const Colour white = m_look.GetSysColor(kColorWindow);
  const Colour text = m_look.GetSysColor(c->enabled ? kColorWindowText : kColorGrayText);
  const int edge = m_look.GetSystemMetrics(kSmCxEdge);
  const Box inset{edge, edge, all.right - edge, all.bottom - edge};  // an edit's client area
  const bool whiteField = c->kind == ControlKind::Edit || c->kind == ControlKind::ListBox;
  dc.SetBkMode(BkMode::Transparent);
  dc.SetTextColor(text);

  if (msg == kWmNcPaint) {
    if (c->kind == ControlKind::Edit && (c->style & kBorder)) dc.DrawEdge(all, kEdgeSunken, kBfRect);
    return 0;
  }
  if (msg == kWmEraseBkgnd) {
    const bool grey = !c->enabled || (c->style & kEditReadOnly);
    if (c->kind == ControlKind::Edit) dc.FillSolidRect(inset, grey ? face : white);
    else dc.FillSolidRect(all, whiteField ? white : face);
    return 1;
  }
  if (msg != kWmPaint) return 0;

  const std::string caption = GetWindowText(id);
  auto centred = [&](const Box& box, int shift) {
    const Size ext = dc.GetTextExtent(caption);
    const int x = (box.left + box.right) / 2 - ext.cx / 2 + shift, y = (box.top + box.bottom) / 2 - ext.cy / 2 + shift;
    if (c->enabled) dc.TextOut(x, y, caption);
    else dc.DrawDisabledText(x, y, ext.cx, ext.cy, caption);
  };
  switch (c->kind) {
    case ControlKind::Button: {
      const bool pressed = m_mouseDownOn == id;
      if (Site* site = SiteOf(id); site && (site->GetStyle() & kBsTypeMask) == kBsOwnerDraw) {
        const unsigned state = (pressed ? kOdsSelected : 0u) | (c->enabled ? 0u : kOdsDisabled) |
                               (m_focus == id ? kOdsFocus : 0u);
        site->Class().DrawItem({&dc, all, state});
        return 0;
      }
      dc.FillSolidRect(all, face);
      dc.DrawEdge(all, pressed ? kEdgeSunken : kEdgeRaised, kBfRect);
      dc.SetTextColor(m_look.GetSysColor(kColorBtnText));
      if (!caption.empty()) centred(all, pressed ? 1 : 0);
      return 0;
    }
    case ControlKind::CheckBox: {
      dc.FillSolidRect(all, face);
      const Box box{0, (all.bottom - 13) / 2, 13, (all.bottom - 13) / 2 + 13};
      dc.DrawEdge(box, kEdgeSunken, kBfRect);
      dc.FillSolidRect({box.left + 2, box.top + 2, box.right - 2, box.bottom - 2}, c->enabled ? white : face);
      if (c->check) dc.FillSolidRect({box.left + 4, box.top + 4, box.right - 4, box.bottom - 4}, text);
      dc.DrawText(caption, {17, 0, all.right, all.bottom}, kDtVCenter | kDtSingleLine);
      return 0;
    }
    case ControlKind::Edit: {
      // Its own background (grey when read-only or disabled), then lines from
      // the first visible one, each clipped to the client area.
      dc.FillSolidRect(inset, (!c->enabled || (c->style & kEditReadOnly)) ? face : white);
      int y = inset.top + 1;
      std::string_view rest = c->text;
      for (int line = 0; y < inset.bottom; ++line) {
        const std::size_t end = rest.find('\n');
        const std::string_view row = rest.substr(0, end);
        if (line >= c->firstLine) {
          dc.DrawText(row, {inset.left + 1, y, inset.right, std::min(y + kGlyphHeight, inset.bottom)}, 0);
          y += kGlyphHeight;
        }
        if (end == std::string_view::npos || !(c->style & kEditMultiLine)) break;
        rest.remove_prefix(end + 1);
      }
      return 0;
    }
    case ControlKind::ComboBox:
    case ControlKind::ListBox: {
      dc.DrawEdge(all, kEdgeSunken, kBfRect);
      dc.FillSolidRect(inset, c->enabled ? white : face);
      if (c->kind == ControlKind::ListBox) {
        int y = inset.top;
        for (const std::string& item : c->items) {
          if (y >= inset.bottom) break;
          dc.DrawText(item, {inset.left + 1, y, inset.right, std::min(y + kGlyphHeight, inset.bottom)}, 0);
          y += kGlyphHeight;
        }
        return 0;
      }
      const int thumb = m_look.GetSystemMetrics(kSmCxHThumb);
      const Box button{inset.right - thumb, inset.top, inset.right, inset.bottom};
      dc.FillSolidRect(button, face);
      dc.DrawEdge(button, kEdgeRaised, kBfRect);
      // The arrow: rows of 7, 5, 3 and 1 pixels, centred on the button.
      const int ax = (button.left + button.right) / 2, ay = (button.top + button.bottom) / 2 - 2;
      for (int row = 0; row < 4; ++row) dc.FillSolidRect({ax - 3 + row, ay + row, ax + 4 - row, ay + row + 1}, text);
      dc.DrawText(caption, {inset.left + 2, inset.top, button.left, inset.bottom}, kDtVCenter | kDtSingleLine);
      return 0;
    }
    case ControlKind::Progress: {
      dc.FillSolidRect(all, face);
      dc.DrawEdge(all, kBdrSunkenOuter, kBfRect);
      const Box bar{1, 1, all.right - 1, all.bottom - 1};
      const long long span = static_cast<long long>(c->upper) - c->lower;
      if (span > 0 && bar.right > bar.left) {
        const long long filled = (static_cast<long long>(c->pos) - c->lower) * bar.Width() / span;
        dc.FillSolidRect({bar.left, bar.top, bar.left + static_cast<int>(filled), bar.bottom}, Rgb(10, 36, 106));
      }
      return 0;
    }
    case ControlKind::Static:
    case ControlKind::GroupBox:
    case ControlKind::Icon: {
      dc.FillSolidRect(all, face);
      const unsigned align = (c->style & kCenterText) ? kDtCenter : (c->style & kRightText) ? kDtRight : 0u;
      dc.DrawText(caption, all, align | kDtSingleLine);
      return 0;
    }
  }
  return 0;
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
