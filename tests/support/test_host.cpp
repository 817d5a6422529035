#include "support/test_host.h"

#include <algorithm>
#include <utility>

namespace fw {
namespace {

constexpr unsigned kScClose = 0xF060;

}  // namespace

HeadlessHost::~HeadlessHost() {
  // Held boxes close, then the dialog's engines close while this host still
  // serves (and paints) as it did while the dialog ran.
  m_boxes.Release();
  Shutdown();
}

void HeadlessHost::ControlsMade() {
  m_cursorOn = 0;
  m_tracking.clear();
  m_paint.clear();
  m_mouseDownOn = 0;
  for (const HeadlessControl& c : Controls())
    m_paint[c.id].surface = RasterSurface(c.rect.cx, c.rect.cy, m_look.GetSysColor(kColorBtnFace));
}

bool HeadlessHost::PressEnter() {
  if (!Dialog() || Ended()) return false;
  const HeadlessControl* ok = Find(kIdOk);
  if (ok && !ok->enabled) return false;
  Dialog()->DispatchCommand(kIdOk, fw::Notify::Clicked);
  return true;
}

bool HeadlessHost::PressEscape() {
  if (!Dialog() || Ended()) return false;
  const HeadlessControl* cancel = Find(kIdCancel);
  if (cancel && !cancel->enabled) return false;
  Dialog()->DispatchCommand(kIdCancel, fw::Notify::Clicked);
  return true;
}

bool HeadlessHost::SystemCommand(unsigned commandId) {
  if (!Dialog() || Ended()) return false;
  if (Dialog()->OnSysCommand(commandId)) return true;
  if ((commandId & 0xFFF0u) == kScClose) Dialog()->DispatchCommand(kIdCancel, fw::Notify::Clicked);
  return true;
}

// --- Mouse -------------------------------------------------------------------

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
  if (!LiveClass(was)) return;
  auto it = m_tracking.find(was);
  if (it == m_tracking.end()) return;
  // A leave notification ends every request of that window.
  const bool leave = (std::exchange(it->second, 0u) & kTmeLeave) != 0;
  if (leave) SendToControl(was, kWmMouseLeave);
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

bool HeadlessHost::TrackMouse(int id, unsigned flags, unsigned hoverMs) {
  if (m_refuseTracking || m_cursorOn != id) return false;
  m_tracking[id] |= flags & (kTmeHover | kTmeLeave);
  if (flags & kTmeHover) StartTimer(TimerKind::Hover, id, 0, std::uint64_t{hoverMs} * 1000);
  return true;
}

void HeadlessHost::HoverTimeUp(int id) {
  auto it = m_tracking.find(id);
  if (!LiveClass(id) || it == m_tracking.end() || !(it->second & kTmeHover) || m_cursorOn != id) return;
  it->second &= ~kTmeHover;
  SendToControl(id, kWmMouseHover);
}

bool HeadlessHost::IsTrackingMouse(int id, unsigned flag) const {
  auto it = m_tracking.find(id);
  return it != m_tracking.end() && (it->second & flag) != 0;
}

Point HeadlessHost::CursorPos() const { return m_cursorOn ? ControlCentre(m_cursorOn) : Point{-10000, -10000}; }

Point HeadlessHost::ControlCentre(int id) const {
  const Rect r = Control(id).rect;
  return {r.x + r.cx / 2, r.y + r.cy / 2};
}

// --- Observation -------------------------------------------------------------

bool HeadlessHost::HasTimer(unsigned id) const {
  return std::any_of(Timers().begin(), Timers().end(),
                     [id](const Timer& t) { return t.kind == TimerKind::Dialog && t.id == id; });
}

bool HeadlessHost::HasControlTimer(int controlId, unsigned id) const {
  return std::any_of(Timers().begin(), Timers().end(), [&](const Timer& t) {
    return t.kind == TimerKind::Control && t.owner == controlId && t.id == id;
  });
}

// --- IDialogHost -------------------------------------------------------------

int HeadlessHost::MessageBox(std::string_view text) {
  if (m_boxes.Show(text, OnUiThread())) SendMessage(kWmEnable, 1, 0);
  return kIdOk;
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

int HeadlessHost::DoModal(CDialog& child) {
  HeadlessHost childHost(ClockKind());
  childHost.m_refuseTracking = m_refuseTracking;
  return RunChild(childHost, child, [&] {
    if (m_childDriver) m_childDriver(childHost);
  });
}

}  // namespace fw
