#include "controls/flat_combo_box.h"

#include <memory>

namespace controls {
namespace {

fw::Box Deflated(const fw::Box& r, int d) { return {r.left + d, r.top + d, r.right - d, r.bottom - d}; }

}  // namespace

CFlatComboBox::CFlatComboBox() = default;
CFlatComboBox::~CFlatComboBox() = default;

std::intptr_t CFlatComboBox::WindowProc(unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) {
  switch (msg) {
    case fw::kWmMouseMove: return OnMouseMove(wparam, lparam);
    case fw::kWmLButtonDown: return OnLButtonDown(wparam, lparam);
    case fw::kWmLButtonUp: return OnLButtonUp(wparam, lparam);
    case fw::kWmTimer: return OnTimer(wparam, lparam);
    case fw::kWmPaint: return OnPaint(wparam, lparam);
    default: return Default(msg, wparam, lparam);
  }
}

std::intptr_t CFlatComboBox::OnMouseMove(std::uintptr_t wparam, std::intptr_t lparam) {
  Site().SetTimer(kPollTimer, kPollMs);
  return Default(fw::kWmMouseMove, wparam, lparam);
}

std::intptr_t CFlatComboBox::OnLButtonDown(std::uintptr_t wparam, std::intptr_t lparam) {
  m_pressed = 1;
  return Default(fw::kWmLButtonDown, wparam, lparam);
}

std::intptr_t CFlatComboBox::OnLButtonUp(std::uintptr_t wparam, std::intptr_t lparam) {
  m_pressed = 0;
  Site().Invalidate(true);
  return Default(fw::kWmLButtonUp, wparam, lparam);
}

std::intptr_t CFlatComboBox::OnTimer(std::uintptr_t wparam, std::intptr_t lparam) {
  const fw::Point cursor = Site().GetCursorPos();
  const fw::Box window = Site().GetWindowRect();
  // The colours are the system's at this moment, through a context's look.
  fw::Colour face = 0, light = 0, shadow = 0;
  if (std::unique_ptr<fw::CDC> dc = Site().GetDC()) {
    face = dc->Look().GetSysColor(fw::kColorBtnFace);
    light = dc->Look().GetSysColor(fw::kColorBtnHighlight);
    shadow = dc->Look().GetSysColor(fw::kColorBtnShadow);
  }
  if (m_pressed == 1) {
    Site().KillTimer(kPollTimer);
    if (m_highlighted == 1) {
      DrawBorder(kPressed, shadow, light);
      m_highlighted = 0;
    }
    return 0;
  }
  if (!window.Contains(cursor)) {
    Site().KillTimer(kPollTimer);
    if (m_highlighted == 1) {
      DrawBorder(kFlat, face, face);
      m_highlighted = 0;
    }
    return 0;
  }
  if (m_highlighted == 1) return 0;
  m_highlighted = 1;
  DrawBorder(kRaised, shadow, light);
  return Default(fw::kWmTimer, wparam, lparam);
}

std::intptr_t CFlatComboBox::OnPaint(std::uintptr_t wparam, std::intptr_t lparam) {
  const std::intptr_t result = Default(fw::kWmPaint, wparam, lparam);
  if (std::unique_ptr<fw::CDC> dc = Site().GetDC()) {
    const fw::Colour face = dc->Look().GetSysColor(fw::kColorBtnFace);
    dc.reset();
    DrawBorder(kFlat, face, face);
  }
  return result;
}

void CFlatComboBox::DrawBorder(int style, fw::Colour outerTopLeft, fw::Colour outerBottomRight) {
  std::unique_ptr<fw::CDC> dc = Site().GetDC();  // released on every path
  if (!dc) return;
  const fw::ISystemLook& look = dc->Look();
  const fw::Colour face = look.GetSysColor(fw::kColorBtnFace);
  const fw::Colour light = look.GetSysColor(fw::kColorBtnHighlight);
  const fw::Colour shadow = look.GetSysColor(fw::kColorBtnShadow);
  const bool enabled = Site().IsWindowEnabled();

  fw::Box r = Site().GetClientRect();
  dc->Draw3dRect(r, outerTopLeft, outerBottomRight);
  r = Deflated(r, 1);
  if (enabled) dc->Draw3dRect(r, face, face);
  else dc->Draw3dRect(r, light, light);
  r = Deflated(r, 1);
  r.left = r.right - look.GetSystemMetrics(fw::kSmCxHThumb);
  dc->Draw3dRect(r, face, face);
  r = Deflated(r, 1);
  dc->Draw3dRect(r, face, face);
  if (!enabled) return;
  switch (style) {
    case kFlat:
      r.top -= 1;
      r.bottom += 1;
      dc->Draw3dRect(r, light, light);
      r.left -= 1;
      dc->Draw3dRect(r, light, light);
      break;
    case kRaised:
      r.top -= 1;
      r.bottom += 1;
      dc->Draw3dRect(r, light, shadow);
      break;
    case kPressed:
      r.top -= 1;
      r.bottom += 1;
      r = {r.left + 1, r.top + 1, r.right + 1, r.bottom + 1};
      dc->Draw3dRect(r, shadow, light);
      break;
    default:
      break;
  }
}

}  // namespace controls
