#pragma once
// The test host: the headless core (framework/headless/headless_core.h) on
// the virtual clock, with a driver that acts as the user would, a software
// painter, and recorded message boxes (see message_box_desk.h).
//
// Clock: Advance(ms) fires every timer due within the span in time order;
// Sleep(ms) of the program only moves the clock, and a timer that fell due
// meanwhile fires at the next Advance (Advance(0) will do). Sends from other
// threads are served in Advance, ServeMessages, RunModal and
// WaitServingSentMessages.
//
// Message boxes: closing a held one re-enables its owner with WM_ENABLE sent
// to the UI thread, as the platform's boxes do (a UI thread that waits
// without serving sent messages hangs there).
//
// Driver actions are refused (false) on a missing or disabled control, or
// once the dialog has ended. Enter is the OK command, Esc the Cancel command,
// unless that button is disabled.
//
// Mouse: Hover(id) moves the cursor onto a control (a mouse move reaches its
// control class); a hover request it registered fires after its hover time on
// the clock; Leave() moves the cursor off and delivers a registered leave
// notification.
//
// Painting: every control has a raster surface of its pixel size. Window and
// client rectangles are the same on this host, so GetWindowDC and GetDC draw
// on the same pixels; an edit's own erasing and painting leave its outer two
// pixels (SM_CXEDGE) to its frame, the non-client paint. Invalidate and
// RedrawWindow only mark a control (erase and frame as asked); marked controls
// are painted when the host is idle, as the platform paints when its queue is
// empty: after each driver action, after each timer tick, and on
// PaintInvalidated(). Paint(id) paints at once, as a first show does:
// non-client paint (edits), erase background (wParam carries no context; the
// default erase takes its own), paint. The default processing of these paints
// a plain standard look; an owner-draw button's paint asks its class's
// DrawItem with selected (mouse down on it), disabled and focus bits.
// Controls repaint themselves on text, enable, focus, check and progress
// changes; a button pressed by the driver's mouse draws pressed from its next
// paint on (Paint(id) shows it at once).
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "framework/drawing/raster/raster_look.h"
#include "framework/drawing/raster/raster_surface.h"
#include "framework/headless/headless_core.h"
#include "support/message_box_desk.h"

namespace fw {

struct SystemMenuItem {
  unsigned commandId;
  std::string text;  // empty for a separator
};

class HeadlessHost : public HeadlessCore {
 public:
  // The constructing thread is the UI thread.
  explicit HeadlessHost(HostClock clock = HostClock::Virtual) : HeadlessCore(clock) {}
  ~HeadlessHost() override;

  // Driver (Click, Type, SelectItem and Focus come with the core).
  bool PressEnter();
  bool PressEscape();
  bool Hover(int id);
  void Leave();
  bool MouseDown(int id);
  bool MouseUp(int id);
  // A system-menu command as the user picks it; close runs the Cancel command.
  bool SystemCommand(unsigned commandId);
  // Any message to a control, through its control class when it has one.
  std::intptr_t SendToControl(int id, unsigned msg, std::uintptr_t wparam = 0, std::intptr_t lparam = 0) {
    return SendToClass(id, msg, wparam, lparam);
  }
  // Later TrackMouseEvent requests fail while refused.
  void RefuseMouseTracking(bool refuse) { m_refuseTracking = refuse; }
  // Answers for the open-file dialog, used in order; with none left it is cancelled.
  void QueueOpenFileAnswer(std::optional<std::string> path) { m_fileAnswers.push_back(std::move(path)); }
  // Called with the child's host when a dialog opens another modally; a child
  // still open when it returns is cancelled.
  void OnChildDialog(std::function<void(HeadlessHost& child)> driver) { m_childDriver = std::move(driver); }
  void Advance(unsigned ms) { AdvanceTo(NowMicroseconds() + std::uint64_t{ms} * 1000); }
  void ServeMessages() { Serve(false); }

  // Painting (see above).
  bool Paint(int id);
  void PaintInvalidated();
  // Moves and sizes a control in pixels; its surface starts over and it repaints.
  bool MoveControl(int id, Rect pixels);

  // Observation.
  // An empty surface for a missing control.
  const RasterSurface& Surface(int id) const;
  const std::vector<TextRun>& TextRuns(int id) const { return Surface(id).TextRuns(); }
  bool IsInvalidated(int id) const;
  const ISystemLook& Look() const { return m_look; }
  // Message boxes shown so far (any thread may show one).
  std::vector<RecordedMessageBox> MessageBoxes() const { return m_boxes.Boxes(); }
  void HoldMessageBoxes(bool hold) { m_boxes.Hold(hold); }
  // From any thread: closes every held box with OK; how many were open.
  int AnswerMessageBoxes() { return m_boxes.Answer(); }
  int OpenMessageBoxes() const { return m_boxes.Open(); }
  bool HasTimer(unsigned id) const;
  bool HasControlTimer(int controlId, unsigned id) const;
  const std::vector<SystemMenuItem>& SystemMenu() const { return m_systemMenu; }
  int Icon() const { return m_icon; }
  const std::vector<OpenFileRequest>& OpenFileRequests() const { return m_fileRequests; }
  int CursorControl() const { return m_cursorOn; }
  // Whether control id has a hover or leave request registered.
  bool IsTrackingMouse(int id, unsigned flag) const;

  // IDialogHost.
  int MessageBox(std::string_view text) override;
  bool GetOpenFileName(const OpenFileRequest& request, std::string& path) override;
  void AppendSystemMenu(unsigned commandId, std::string_view text) override {
    m_systemMenu.push_back({text.empty() ? 0u : commandId, std::string(text)});
  }
  void SetIcon(int resourceId) override { m_icon = resourceId; }
  int DoModal(CDialog& child) override;

 protected:
  void Changed(int id, unsigned repaint) override;
  void Idle() override { PaintInvalidated(); }
  void ControlsMade() override;
  void ClassChanged(int id) override { m_tracking.erase(id); }
  std::intptr_t DefaultControlProc(int id, unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) override;
  std::unique_ptr<CDC> ControlDC(int id) override;
  bool TrackMouse(int id, unsigned flags, unsigned hoverMs) override;
  Point CursorPos() const override;
  void HoverTimeUp(int id) override;

 private:
  struct PaintState {
    RasterSurface surface;
    unsigned pending = 0;  // Repaint bits for the next paint
  };
  PaintState* PaintOf(int id);
  void PaintNow(int id, unsigned what);
  // The control's own processing of kWmPaint, kWmNcPaint and kWmEraseBkgnd.
  std::intptr_t DefaultPaint(int id, unsigned msg);
  Point ControlCentre(int id) const;

  std::vector<SystemMenuItem> m_systemMenu;
  int m_icon = 0;
  int m_cursorOn = 0;  // control under the cursor, 0 for none
  bool m_refuseTracking = false;
  std::map<int, unsigned> m_tracking;  // registered kTmeHover / kTmeLeave bits of a control's class
  std::map<int, PaintState> m_paint;
  RasterSurface m_noSurface;
  RasterLook m_look;
  int m_mouseDownOn = 0;  // a button held down by the driver's mouse
  bool m_painting = false;
  std::deque<std::optional<std::string>> m_fileAnswers;
  std::vector<OpenFileRequest> m_fileRequests;
  std::function<void(HeadlessHost&)> m_childDriver;
  MessageBoxDesk m_boxes;
};

}  // namespace fw
