#pragma once
// Control classes: objects a dialog puts in front of a control's own
// processing, as the owner-drawn controls do. A class sees the control's
// messages first (numbers as on the platform) and hands what it does not
// take over to Default. The host supplies the window behind it: the site.
#include <cstdint>
#include <memory>
#include <string>

#include "framework/drawing/dc.h"
#include "framework/geometry.h"

namespace fw {

// Message numbers, the platform's own so the Win32 host passes them through.
inline constexpr unsigned kWmEnable = 0x000A;
inline constexpr unsigned kWmPaint = 0x000F;
inline constexpr unsigned kWmEraseBkgnd = 0x0014;
inline constexpr unsigned kWmDrawItem = 0x002B;
inline constexpr unsigned kWmNcPaint = 0x0085;
inline constexpr unsigned kWmTimer = 0x0113;
inline constexpr unsigned kWmSysCommand = 0x0112;
inline constexpr unsigned kWmMouseMove = 0x0200;
inline constexpr unsigned kWmLButtonDown = 0x0201;
inline constexpr unsigned kWmLButtonUp = 0x0202;
inline constexpr unsigned kWmMouseHover = 0x02A1;
inline constexpr unsigned kWmMouseLeave = 0x02A3;

// Progress bar messages (the first program message number and up).
inline constexpr unsigned kPbmSetRange = 0x0400 + 1;
inline constexpr unsigned kPbmSetPos = 0x0400 + 2;
inline constexpr unsigned kPbmSetStep = 0x0400 + 4;
inline constexpr unsigned kPbmStepIt = 0x0400 + 5;

// Mouse tracking requests.
inline constexpr unsigned kTmeHover = 0x1;
inline constexpr unsigned kTmeLeave = 0x2;

// RedrawWindow flags.
inline constexpr unsigned kRdwInvalidate = 0x0001;
inline constexpr unsigned kRdwErase = 0x0004;
inline constexpr unsigned kRdwFrame = 0x0400;

// Owner-draw item state bits.
inline constexpr unsigned kOdsSelected = 0x0001;
inline constexpr unsigned kOdsDisabled = 0x0004;
inline constexpr unsigned kOdsFocus = 0x0010;

// Button style word: the owner-draw type.
inline constexpr unsigned kBsOwnerDraw = 0x000B;
inline constexpr unsigned kBsTypeMask = 0x000F;

// What an owner-drawn control is asked to draw.
struct DrawItemInfo {
  CDC* dc;
  Box item;        // client coordinates
  unsigned state;  // kOds* bits
};

// The window behind a control class, provided by the host.
class IControlSite {
 public:
  virtual ~IControlSite() = default;
  virtual int Id() const = 0;
  // The control's own processing of a message.
  virtual std::intptr_t DefaultProc(unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) = 0;
  // Asks for one hover (after hoverMs at rest) and/or one leave notification;
  // false when the request was not registered.
  virtual bool TrackMouseEvent(unsigned flags, unsigned hoverMs) = 0;
  virtual void Invalidate(bool erase) = 0;
  virtual void RedrawWindow(unsigned flags) = 0;
  // Control timers: their ticks arrive as kWmTimer with the id in wparam.
  virtual void SetTimer(unsigned id, unsigned ms) = 0;
  virtual void KillTimer(unsigned id) = 0;
  virtual Point GetCursorPos() const = 0;  // screen coordinates
  virtual Box GetWindowRect() const = 0;   // screen coordinates
  virtual Box GetClientRect() const = 0;   // client coordinates, from 0,0
  virtual unsigned GetStyle() const = 0;   // the platform's style word
  virtual void ModifyStyle(unsigned remove, unsigned add) = 0;
  virtual std::string GetWindowText() const = 0;
  virtual bool IsWindowEnabled() const = 0;
  // The class goes away while still attached (its dialog object is destroyed
  // before the host): the site must never call it again.
  virtual void ClassGone() = 0;

  // Drawing. Each context is released when the pointer goes; null where the
  // host cannot draw.
  virtual std::unique_ptr<CDC> BeginPaint() { return nullptr; }     // client area, for kWmPaint
  virtual std::unique_ptr<CDC> GetDC() { return nullptr; }          // client area
  virtual std::unique_ptr<CDC> GetWindowDC() { return nullptr; }    // whole window, frame included
  // Sends a message to the control through its whole chain (class first).
  virtual std::intptr_t SendMessage(unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) {
    return DefaultProc(msg, wparam, lparam);
  }
};

class CControlClass {
 public:
  CControlClass() = default;
  virtual ~CControlClass() {
    if (m_site) m_site->ClassGone();
  }
  CControlClass(const CControlClass&) = delete;
  CControlClass& operator=(const CControlClass&) = delete;

  // Called by the host when the class is attached, before any message.
  void Attach(IControlSite& site) {
    m_site = &site;
    PreSubclassWindow();
  }
  // Called by the host when the control goes away.
  void Detach() { m_site = nullptr; }
  bool IsAttached() const { return m_site != nullptr; }
  IControlSite& Site() { return *m_site; }
  const IControlSite& Site() const { return *m_site; }

  // Every message of the control comes here first.
  virtual std::intptr_t WindowProc(unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) {
    return Default(msg, wparam, lparam);
  }
  // An owner-drawn control's painting (the host reflects the parent's draw-item request here).
  virtual void DrawItem(const DrawItemInfo&) {}

 protected:
  // Runs once the site is known: the place to change the control's style.
  virtual void PreSubclassWindow() {}
  std::intptr_t Default(unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) {
    return m_site ? m_site->DefaultProc(msg, wparam, lparam) : 0;
  }

 private:
  IControlSite* m_site = nullptr;
};

}  // namespace fw
