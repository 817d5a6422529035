#include <algorithm>
#include <utility>

#include "framework/drawing/raster/raster_dc.h"
#include "support/test_host.h"

namespace fw {

std::intptr_t HeadlessHost::DefaultControlProc(int id, unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) {
  switch (msg) {
    case kWmPaint:
    case kWmNcPaint:
    case kWmEraseBkgnd:
      return DefaultPaint(id, msg);
    // Pressing changes how a button draws; it repaints at the next paint.
    case kWmLButtonDown:
      if (Control(id).kind == ControlKind::Button) m_mouseDownOn = id;
      return 0;
    case kWmLButtonUp:
      if (m_mouseDownOn == id) m_mouseDownOn = 0;
      return 0;
    default:
      return HeadlessCore::DefaultControlProc(id, msg, wparam, lparam);
  }
}

std::unique_ptr<CDC> HeadlessHost::ControlDC(int id) {
  PaintState* p = PaintOf(id);
  return p ? std::make_unique<RasterDC>(p->surface, m_look) : nullptr;
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

void HeadlessHost::Changed(int id, unsigned what) {
  if (PaintState* p = PaintOf(id)) p->pending |= what;
}

bool HeadlessHost::MoveControl(int id, Rect pixels) {
  HeadlessControl* c = Find(id);
  PaintState* p = PaintOf(id);
  if (!c || !p) return false;
  c->rect = pixels;
  p->surface = RasterSurface(pixels.cx, pixels.cy, m_look.GetSysColor(kColorBtnFace));
  p->pending = kRepaintClient | kRepaintErase | kRepaintFrame;
  PaintInvalidated();
  return true;
}

bool HeadlessHost::Paint(int id) {
  PaintState* p = PaintOf(id);
  if (!p) return false;
  p->pending = 0;
  PaintNow(id, kRepaintClient | kRepaintErase | kRepaintFrame);
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
    if (CControlClass* cls = LiveClass(id)) cls->WindowProc(msg, 0, 0);
    else DefaultPaint(id, msg);
  };
  if ((what & kRepaintFrame) && c->kind == ControlKind::Edit) send(kWmNcPaint);
  if (what & kRepaintErase) send(kWmEraseBkgnd);
  if (what & (kRepaintClient | kRepaintErase)) send(kWmPaint);
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
      if (IControlSite* site = LiveSite(id); site && (site->GetStyle() & kBsTypeMask) == kBsOwnerDraw) {
        const unsigned state = (pressed ? kOdsSelected : 0u) | (c->enabled ? 0u : kOdsDisabled) |
                               (GetFocus() == id ? kOdsFocus : 0u);
        LiveClass(id)->DrawItem({&dc, all, state});
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

}  // namespace fw
