#include "controls/xp_button.h"

#include <algorithm>
#include <array>
#include <string>

namespace controls {
namespace {

constexpr int kGradientSteps = 64;
constexpr unsigned kHoverTimeMs = 1;
constexpr int kCornerEllipse = 10;

}  // namespace

CXPButton::CXPButton()
    : m_outlinePen{fw::PenStyle::InsideFrame, 1, fw::Rgb(0, 0, 0)},
      m_leftFramePen{fw::PenStyle::InsideFrame, 3, fw::Rgb(250, 196, 88)},
      m_topFramePen{fw::PenStyle::InsideFrame, 2, fw::Rgb(252, 210, 121)},
      m_rightFramePen{fw::PenStyle::InsideFrame, 3, fw::Rgb(251, 202, 106)},
      m_bottomFramePen{fw::PenStyle::InsideFrame, 2, fw::Rgb(229, 151, 0)},
      m_hoverBrush{false, fw::Rgb(222, 223, 236)},
      m_normalBrush{false, fw::Rgb(222, 223, 236)} {}

CXPButton::~CXPButton() = default;

void CXPButton::PreSubclassWindow() {
  Site().ModifyStyle(0, fw::kBsOwnerDraw);
  fw::CControlClass::PreSubclassWindow();
}

std::intptr_t CXPButton::WindowProc(unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) {
  switch (msg) {
    case fw::kWmMouseMove: return OnMouseMove(wparam, lparam);
    case fw::kWmMouseHover: return OnMouseHover();
    case fw::kWmMouseLeave: return OnMouseLeave();
    default: return Default(msg, wparam, lparam);
  }
}

std::intptr_t CXPButton::OnMouseMove(std::uintptr_t wparam, std::intptr_t lparam) {
  if (m_tracking == 0) m_tracking = Site().TrackMouseEvent(fw::kTmeHover | fw::kTmeLeave, kHoverTimeMs) ? 1 : 0;
  return Default(fw::kWmMouseMove, wparam, lparam);
}

std::intptr_t CXPButton::OnMouseHover() {
  m_hovering = 1;
  Site().Invalidate(true);
  return 0;
}

std::intptr_t CXPButton::OnMouseLeave() {
  m_tracking = 0;
  m_hovering = 0;
  Site().Invalidate(false);
  return 0;
}

fw::Colour CXPButton::GradientEntry(int i, bool hovering, bool focused) {
  i = std::clamp(i, 0, kGradientSteps - 1);
  const int rg = 255 - i / (hovering ? 4 : 3);
  const int b = 255 - i / (hovering ? (focused ? 3 : 5) : (focused ? 4 : 5));
  return fw::Rgb(rg, rg, b);
}

void CXPButton::DrawItem(const fw::DrawItemInfo& info) {
  if (!info.dc) return;
  fw::CDC& dc = *info.dc;
  fw::Box r = info.item;
  const std::string caption = Site().GetWindowText();

  m_savedPen = dc.SelectPen(m_outlinePen);
  dc.RoundRect(r, kCornerEllipse, kCornerEllipse);
  dc.SelectPen(m_savedPen);

  m_focused = (info.state & fw::kOdsFocus) ? 1 : 0;

  const int cx = dc.Look().GetSystemMetrics(fw::kSmCxEdge), cy = dc.Look().GetSystemMetrics(fw::kSmCyEdge);
  r = {r.left + cx, r.top + cy, r.right - cx, r.bottom - cy};

  if (m_hovering) {
    m_savedBrush = dc.SelectBrush(m_hoverBrush);
    DrawFaceGradient(dc, r);
    DrawHoverFrame(dc, r);
  } else {
    m_savedBrush = dc.SelectBrush(m_normalBrush);
    DrawFaceGradient(dc, r);
  }
  dc.SelectBrush(m_savedBrush);

  if (caption.empty()) return;
  const fw::Size size = dc.GetTextExtent(caption);
  int x = (r.left + r.right) / 2 - size.cx / 2;
  int y = (r.top + r.bottom) / 2 - size.cy / 2;
  if (info.state & fw::kOdsSelected) {
    ++x;
    ++y;
  }
  const fw::BkMode oldMode = dc.SetBkMode(fw::BkMode::Transparent);
  if (info.state & fw::kOdsDisabled) dc.DrawDisabledText(x, y, size.cx, size.cy, caption);
  else dc.TextOut(x, y, caption);
  dc.SetBkMode(oldMode);
}

void CXPButton::DrawFaceGradient(fw::CDC& dc, const fw::Box& inner) {
  // Made afresh for every paint, as the colours depend on the state.
  std::array<fw::Brush, kGradientSteps> table{};
  for (int i = 0; i < kGradientSteps; ++i)
    table[static_cast<std::size_t>(i)] = {false, GradientEntry(i, m_hovering != 0, m_focused != 0)};
  const int w = inner.Width(), h = inner.Height();
  if (h <= 0) return;
  // Rows count from the item rectangle's top, so the last rows would index
  // past the table; they take its last entry.
  for (int y = inner.top; y < h + 2; ++y) {
    const int entry = std::min(63 * y / h, kGradientSteps - 1);
    dc.FillRect({inner.left, y, w + 2, y + 1}, table[static_cast<std::size_t>(std::max(entry, 0))]);
  }
}

void CXPButton::DrawHoverFrame(fw::CDC& dc, const fw::Box& inner) {
  const int l = inner.left, t = inner.top, r = inner.right, b = inner.bottom;
  m_savedPen = dc.SelectPen(m_leftFramePen);
  const fw::Point oldPosition = dc.MoveTo({l, b - 3});
  dc.LineTo({l, t + 2});
  dc.SelectPen(m_rightFramePen);
  dc.MoveTo({r - 1, b - 3});
  dc.LineTo({r - 1, t + 2});
  dc.SelectPen(m_topFramePen);
  dc.MoveTo({l + 2, t});
  dc.LineTo({r - 2, t});
  dc.SelectPen(m_bottomFramePen);
  dc.MoveTo({l + 2, b});
  dc.LineTo({r - 2, b});
  dc.SelectPen(m_savedPen);
  dc.MoveTo(oldPosition);
}

}  // namespace controls
