#include "framework/headless/headless_core.h"

#include <algorithm>
#include <chrono>
#include <optional>
#include <utility>

#include "framework/controls.h"
#include "framework/platform_paths.h"

namespace fw {
namespace {

constexpr std::uint64_t kMinimumTimerUs = 10'000;
constexpr int kBaseUnitX = 6;
constexpr int kBaseUnitY = 13;
// Sent messages and the cancel request are looked at this often while the real clock waits.
constexpr auto kRealWaitSlice = std::chrono::milliseconds(20);

int MulDivRounded(int value, int numerator, int denominator) {
  return (value * numerator + (value >= 0 ? denominator / 2 : -denominator / 2)) / denominator;
}

}  // namespace

Rect DialogUnitsToPixels(Rect du) {
  return {MulDivRounded(du.x, kBaseUnitX, 4), MulDivRounded(du.y, kBaseUnitY, 8),
          MulDivRounded(du.cx, kBaseUnitX, 4), MulDivRounded(du.cy, kBaseUnitY, 8)};
}

// The window behind a control class on this host.
class HeadlessCore::Site final : public IControlSite {
 public:
  Site(HeadlessCore& host, int id, CControlClass& cls) : m_host(host), m_id(id), m_class(&cls) {}
  CControlClass& Class() { return *m_class; }

  int Id() const override { return m_id; }
  std::intptr_t DefaultProc(unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) override {
    return m_host.DefaultControlProc(m_id, msg, wparam, lparam);
  }
  bool TrackMouseEvent(unsigned flags, unsigned hoverMs) override { return m_host.TrackMouse(m_id, flags, hoverMs); }
  void Invalidate(bool erase) override { m_host.Changed(m_id, kRepaintClient | (erase ? kRepaintErase : 0u)); }
  void RedrawWindow(unsigned flags) override {
    if (!(flags & kRdwInvalidate)) return;
    m_host.Changed(m_id, kRepaintClient | ((flags & kRdwErase) ? kRepaintErase : 0u) |
                             ((flags & kRdwFrame) ? kRepaintFrame : 0u));
  }
  void SetTimer(unsigned id, unsigned ms) override {
    m_host.StartTimer(TimerKind::Control, m_id, id, std::max(std::uint64_t{ms} * 1000, kMinimumTimerUs));
  }
  void KillTimer(unsigned id) override { m_host.StopTimer(TimerKind::Control, m_id, id); }
  Point GetCursorPos() const override { return m_host.CursorPos(); }
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
  std::unique_ptr<CDC> GetDC() override { return m_host.ControlDC(m_id); }
  // The window is the client area on these hosts.
  std::unique_ptr<CDC> GetWindowDC() override { return GetDC(); }
  std::intptr_t SendMessage(unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) override {
    return m_class ? m_class->WindowProc(msg, wparam, lparam) : DefaultProc(msg, wparam, lparam);
  }
  void ClassGone() override { m_class = nullptr; }
  bool Live() const { return m_class != nullptr; }

 private:
  HeadlessCore& m_host;
  int m_id;
  CControlClass* m_class;
  unsigned m_style = 0;
};

HeadlessCore::HeadlessCore(HostClock clock)
    : m_clock(clock), m_uiThread(std::this_thread::get_id()), m_modulePath(ModuleFilePath()) {}

HeadlessCore::~HeadlessCore() { Shutdown(); }

void HeadlessCore::Shutdown() {
  if (m_shutDown) return;
  m_shutDown = true;
  // The dialog outlives its host: its engines close while sends are still served.
  if (m_dialog != nullptr) m_dialog->Detach();
  Close();
  DetachSites();
}

void HeadlessCore::Start(CDialog& dialog) {
  DetachSites();
  if (m_dialog != nullptr && m_dialog != &dialog) m_dialog->Detach();
  m_dialog = &dialog;
  m_controls.clear();
  m_timers.clear();
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
  ControlsMade();
  m_ended = false;
  m_result = 0;
  m_focus = 0;
  if (RealClock()) m_clock.Set(m_clock.SteadyNow());
  dialog.Attach(*this);
  dialog.OnInitDialog();
}

int HeadlessCore::RunModal(CDialog& dialog) {
  Start(dialog);
  RunUntil([] { return false; });
  // The window goes with the modal run.
  dialog.Detach();
  m_dialog = nullptr;
  return m_result;
}

void HeadlessCore::ForgetDialog(CDialog& dialog) {
  if (m_dialog == &dialog) m_dialog = nullptr;
}

void HeadlessCore::JoinServingSentMessages(std::intptr_t, const std::function<void()>& join) {
  fw::JoinServingSentMessages(*this, join);
}

bool HeadlessCore::RunUntil(const std::function<bool()>& done) {
  while (!m_ended) {
    CheckCancelRequest();
    Serve(false);
    if (m_ended) break;
    if (done()) return true;
    if (!m_queue.Empty()) continue;
    std::optional<std::uint64_t> next;
    for (const Timer& t : m_timers) next = std::min(next.value_or(t.due), t.due);
    if (RealClock()) {
      WaitRealUntil(next.value_or(UINT64_MAX));
      AdvanceTo(m_clock.SteadyNow());
      continue;
    }
    if (next) {
      AdvanceTo(std::max(*next, m_clock.Now()));
      continue;
    }
    m_queue.WaitForMessage(kRealWaitSlice, false);
  }
  return false;
}

void HeadlessCore::WaitRealUntil(std::uint64_t due) {
  for (;;) {
    if (!m_queue.Empty() || m_cancelRequested.load() != 0) return;
    const std::uint64_t now = m_clock.SteadyNow();
    if (now >= due) return;
    const auto left = std::chrono::microseconds(due - now);
    m_queue.WaitForMessage(std::min<std::chrono::microseconds>(left, kRealWaitSlice), false);
  }
}

void HeadlessCore::CheckCancelRequest() {
  if (m_cancelRequested.exchange(0) != 0 && m_dialog && !m_ended) m_dialog->DispatchCommand(kIdCancel, fw::Notify::Clicked);
}

void HeadlessCore::Close() { m_queue.Close(); }

HeadlessControl* HeadlessCore::Find(int id) {
  for (HeadlessControl& c : m_controls)
    if (c.id == id) return &c;
  return nullptr;
}

const HeadlessControl* HeadlessCore::Find(int id) const {
  for (const HeadlessControl& c : m_controls)
    if (c.id == id) return &c;
  return nullptr;
}

const HeadlessControl& HeadlessCore::Control(int id) const {
  const HeadlessControl* c = Find(id);
  return c ? *c : m_none;
}

HeadlessControl* HeadlessCore::Usable(int id) {
  if (!m_dialog || m_ended) return nullptr;
  HeadlessControl* c = Find(id);
  return c && c->enabled ? c : nullptr;
}

void HeadlessCore::Notify(int id, fw::Notify code) {
  if (m_dialog && !m_ended) m_dialog->DispatchCommand(id, code);
  Idle();
}

// --- Control classes ---------------------------------------------------------

HeadlessCore::Site* HeadlessCore::SiteOf(int id) {
  for (auto& site : m_sites)
    if (site->Id() == id && site->Live()) return site.get();
  return nullptr;
}

CControlClass* HeadlessCore::LiveClass(int id) {
  Site* site = SiteOf(id);
  return site ? &site->Class() : nullptr;
}

IControlSite* HeadlessCore::LiveSite(int id) { return SiteOf(id); }

std::intptr_t HeadlessCore::SendToClass(int id, unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) {
  if (!Find(id)) return 0;
  std::intptr_t result = 0;
  if (Site* site = SiteOf(id)) result = site->Class().WindowProc(msg, wparam, lparam);
  Idle();
  return result;
}

void HeadlessCore::DetachSites() {
  for (auto& site : m_sites)
    if (site->Live()) site->Class().Detach();
  m_sites.clear();
}

bool HeadlessCore::SubclassControl(int id, CControlClass& controlClass) {
  if (!Find(id)) return false;
  std::erase_if(m_sites, [id](const std::unique_ptr<Site>& s) {
    if (s->Id() != id) return false;
    if (s->Live()) s->Class().Detach();
    return true;
  });
  ClassChanged(id);
  m_sites.push_back(std::make_unique<Site>(*this, id, controlClass));
  controlClass.Attach(*m_sites.back());
  return true;
}

std::intptr_t HeadlessCore::DefaultControlProc(int id, unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) {
  const HeadlessControl& c = Control(id);
  if (c.kind != ControlKind::Progress) return 0;
  switch (msg) {
    case kPbmSetRange: {
      const std::intptr_t old = (c.lower & 0xFFFF) | ((c.upper & 0xFFFF) << 16);
      SetRange(id, static_cast<int>(lparam & 0xFFFF), static_cast<int>((lparam >> 16) & 0xFFFF));
      return old;
    }
    case kPbmSetPos: return SetPos(id, static_cast<int>(wparam));
    case kPbmSetStep: {
      const int old = c.step;
      SetStep(id, static_cast<int>(wparam));
      return old;
    }
    case kPbmStepIt: return StepIt(id);
    default: return 0;
  }
}

// --- Timers ------------------------------------------------------------------

void HeadlessCore::AdvanceTo(std::uint64_t target) {
  for (;;) {
    Serve(false);
    if (m_ended) break;
    const Timer* next = nullptr;
    for (const Timer& t : m_timers)
      if (t.due <= target && (!next || t.due < next->due || (t.due == next->due && t.order < next->order)))
        next = &t;
    if (!next) break;
    // An overdue timer (the UI thread slept past it) fires once, now.
    m_clock.MoveTo(next->due);
    const Timer fired = *next;
    if (fired.kind == TimerKind::Hover) {
      StopTimer(TimerKind::Hover, fired.owner, 0);
    } else {
      for (Timer& t : m_timers)
        if (t.kind == fired.kind && t.owner == fired.owner && t.id == fired.id)
          t.due = m_clock.NextDue(t.due, t.period, target);
    }
    FireTimer(fired);
    Idle();
  }
  m_clock.MoveTo(target);
  Idle();
}

void HeadlessCore::FireTimer(const Timer& timer) {
  switch (timer.kind) {
    case TimerKind::Dialog:
      if (m_dialog) m_dialog->OnTimer(timer.id);
      break;
    case TimerKind::Control:
      SendToClass(timer.owner, kWmTimer, timer.id, 0);
      break;
    case TimerKind::Hover:
      HoverTimeUp(timer.owner);
      break;
  }
}

void HeadlessCore::StartTimer(TimerKind kind, int owner, unsigned id, std::uint64_t periodUs) {
  for (Timer& t : m_timers) {
    if (t.kind == kind && t.owner == owner && t.id == id) {
      t.period = periodUs;
      t.due = m_clock.Now() + periodUs;
      t.order = m_timerOrder++;
      return;
    }
  }
  m_timers.push_back({kind, owner, id, periodUs, m_clock.Now() + periodUs, m_timerOrder++});
}

void HeadlessCore::StopTimer(TimerKind kind, int owner, unsigned id) {
  std::erase_if(m_timers, [&](const Timer& t) { return t.kind == kind && t.owner == owner && t.id == id; });
}

void HeadlessCore::SetTimer(unsigned id, unsigned ms) {
  StartTimer(TimerKind::Dialog, 0, id, std::max(std::uint64_t{ms} * 1000, kMinimumTimerUs));
}

void HeadlessCore::KillTimer(unsigned id) { StopTimer(TimerKind::Dialog, 0, id); }

void HeadlessCore::Sleep(unsigned ms) { m_clock.Sleep(ms); }

// --- Messages ----------------------------------------------------------------

void HeadlessCore::Serve(bool sentOnly) {
  m_queue.Serve(sentOnly, [this](unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) -> std::intptr_t {
    return (m_dialog && !m_ended) ? m_dialog->DispatchMessage(msg, wparam, lparam) : 0;
  });
}

void HeadlessCore::WaitServingSentMessages(const std::function<bool()>& done) {
  for (;;) {
    Serve(true);
    if (done()) return;
    // The condition may change without a notification (a thread ending), so the wait is sliced.
    m_queue.WaitForMessage(std::chrono::milliseconds(1), true);
  }
}

std::intptr_t HeadlessCore::SendMessage(unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) {
  if (OnUiThread()) return (m_dialog && !m_ended) ? m_dialog->DispatchMessage(msg, wparam, lparam) : 0;
  return m_queue.Send(msg, wparam, lparam);
}

void HeadlessCore::PostMessage(unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) {
  m_queue.Post(msg, wparam, lparam);
}

void JoinServingSentMessages(HeadlessCore& host, const std::function<void()>& join) {
  std::atomic<int> joined{0};
  std::thread helper([&] {
    join();
    joined = 1;
  });
  host.WaitServingSentMessages([&joined] { return joined.load() != 0; });
  helper.join();
}

// --- Dialog ------------------------------------------------------------------

void HeadlessCore::EndDialog(int result) {
  if (m_ended) return;
  m_ended = true;
  m_result = result;
  m_timers.clear();
}

int HeadlessCore::MessageBox(std::string_view) { return kIdOk; }

bool HeadlessCore::GetOpenFileName(const OpenFileRequest&, std::string&) { return false; }

int HeadlessCore::DoModal(CDialog& child) {
  HeadlessCore childHost(m_clock.Kind());
  return RunChild(childHost, child, [] {});
}

int HeadlessCore::RunChild(HeadlessCore& childHost, CDialog& child, const std::function<void()>& drive) {
  childHost.m_clock.Set(m_clock.Now());
  childHost.m_modulePath = m_modulePath;
  childHost.Start(child);
  drive();
  if (!childHost.Ended()) child.DispatchCommand(kIdCancel, fw::Notify::Clicked);
  if (!childHost.Ended()) childHost.EndDialog(kIdCancel);
  m_clock.MoveTo(childHost.m_clock.Now());
  return childHost.Result();
}

}  // namespace fw
