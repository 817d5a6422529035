#include "framework/drawing/raster/raster_dc.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>
#include <vector>

namespace fw {
namespace {

// Far enough off any surface, and small enough that adding a pen width never overflows.
constexpr long long kFar = 1LL << 28;

int Saturate(long long v) { return static_cast<int>(std::clamp(v, -kFar, kFar)); }

Box Normalised(const Box& b) {
  return {std::min(b.left, b.right), std::min(b.top, b.bottom), std::max(b.left, b.right),
          std::max(b.top, b.bottom)};
}

long long FloorDiv(long long a, long long b) {  // b > 0
  return a >= 0 ? a / b : -((-a + b - 1) / b);
}

// Pen widths beyond this draw as this; far wider than any surface we make.
constexpr int kMaxPenWidth = 4096;
int PenWidth(const Pen& pen) { return std::clamp(pen.width, 1, kMaxPenWidth); }

bool IsBlank(unsigned char c) { return c <= ' '; }

// Whether the pixel at (px, py) has its centre in the box with corners cut
// by quarter ellipses of radii a and b.
bool InRoundedBox(const Box& box, double a, double b, int px, int py) {
  if (px < box.left || px >= box.right || py < box.top || py >= box.bottom) return false;
  const double cx = px + 0.5, cy = py + 0.5;
  double dx = 0, dy = 0;
  if (cx < box.left + a) dx = cx - (box.left + a);
  else if (cx > box.right - a) dx = cx - (box.right - a);
  if (cy < box.top + b) dy = cy - (box.top + b);
  else if (cy > box.bottom - b) dy = cy - (box.bottom - b);
  if (dx == 0 || dy == 0) return true;
  return (dx / a) * (dx / a) + (dy / b) * (dy / b) <= 1.0;
}

}  // namespace

int Utf8Characters(std::string_view text) {
  int n = 0;
  for (char c : text)
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
  return n;
}

RasterDC::RasterDC(RasterSurface& surface, const ISystemLook& look)
    : m_surface(&surface), m_look(&look), m_clip(surface.Bounds()) {}

RasterDC::RasterDC(std::unique_ptr<RasterSurface> owned, const ISystemLook& look)
    : m_owned(std::move(owned)), m_surface(m_owned.get()), m_look(&look), m_clip(m_surface->Bounds()) {}

RasterDC::~RasterDC() = default;

int RasterDC::DevX(long long x) const { return Saturate(x - m_origin.x); }
int RasterDC::DevY(long long y) const { return Saturate(y - m_origin.y); }
Box RasterDC::DevBox(const Box& b) const { return {DevX(b.left), DevY(b.top), DevX(b.right), DevY(b.bottom)}; }

void RasterDC::Plot(int x, int y, Colour colour) {
  if (m_clip.Contains({x, y})) m_surface->SetPixel(x, y, colour);
}

void RasterDC::FillDev(const Box& device, Colour colour) { m_surface->Fill(Intersect(device, m_clip), colour); }

void RasterDC::FrameDev(const Box& d, int width, Colour colour) {
  if (IsEmpty(d)) return;
  FillDev({d.left, d.top, d.right, std::min(d.top + width, d.bottom)}, colour);
  FillDev({d.left, std::max(d.bottom - width, d.top), d.right, d.bottom}, colour);
  FillDev({d.left, d.top, std::min(d.left + width, d.right), d.bottom}, colour);
  FillDev({std::max(d.right - width, d.left), d.top, d.right, d.bottom}, colour);
}

Pen RasterDC::SelectPen(const Pen& pen) { return std::exchange(m_pen, pen); }
Brush RasterDC::SelectBrush(const Brush& brush) { return std::exchange(m_brush, brush); }

void RasterDC::Rectangle(const Box& box) {
  Box d = Normalised(DevBox(box));
  if (m_pen.style == PenStyle::Null) {
    if (!m_brush.hollow) FillDev({d.left, d.top, d.right - 1, d.bottom - 1}, m_brush.colour);
    return;
  }
  const int w = PenWidth(m_pen);
  if (!m_brush.hollow) FillDev({d.left + w, d.top + w, d.right - w, d.bottom - w}, m_brush.colour);
  FrameDev(d, w, m_pen.colour);
}

void RasterDC::RoundRect(const Box& box, int ellipseWidth, int ellipseHeight) {
  Box d = Normalised(DevBox(box));
  if (m_pen.style == PenStyle::Null) {
    d.right -= 1;
    d.bottom -= 1;
  }
  if (IsEmpty(d)) return;
  const double a = std::min(std::max(ellipseWidth, 0), d.Width()) / 2.0;
  const double b = std::min(std::max(ellipseHeight, 0), d.Height()) / 2.0;
  if (a < 1.0 || b < 1.0) {
    Rectangle(box);
    return;
  }
  const bool outline = m_pen.style != PenStyle::Null;
  const int w = PenWidth(m_pen);
  const Box area = Intersect(d, m_clip);
  for (int y = area.top; y < area.bottom; ++y) {
    for (int x = area.left; x < area.right; ++x) {
      if (!InRoundedBox(d, a, b, x, y)) continue;
      const bool edge = outline && (!InRoundedBox(d, a, b, x - w, y) || !InRoundedBox(d, a, b, x + w, y) ||
                                    !InRoundedBox(d, a, b, x, y - w) || !InRoundedBox(d, a, b, x, y + w));
      if (edge) m_surface->SetPixel(x, y, m_pen.colour);
      else if (!m_brush.hollow) m_surface->SetPixel(x, y, m_brush.colour);
    }
  }
  if (!m_brush.hollow) m_surface->DropTextRunsIn(d);
}

void RasterDC::FillRect(const Box& box, const Brush& brush) {
  if (!brush.hollow) FillDev(DevBox(box), brush.colour);
}

void RasterDC::Draw3dRect(const Box& box, Colour topLeft, Colour bottomRight) {
  // Four solid fills whose rectangles are put in order first, as the
  // platform's opaque fill does: the bottom-right colour takes the
  // top-right and bottom-left corners.
  const Box d = DevBox(box);
  const int x = d.left, y = d.top, cx = d.Width(), cy = d.Height();
  FillDev(Normalised({x, y, x + cx - 1, y + 1}), topLeft);
  FillDev(Normalised({x, y, x + 1, y + cy - 1}), topLeft);
  FillDev(Normalised({x + cx, y, x + cx - 1, y + cy}), bottomRight);
  FillDev(Normalised({x, y + cy, x + cx, y + cy - 1}), bottomRight);
}

void RasterDC::DrawEdge(const Box& box, unsigned edge, unsigned flags) {
  const ISystemLook& look = *m_look;
  const bool flat = (flags & kBfFlat) != 0;
  Box d = DevBox(box);
  auto ring = [&](Colour lt, Colour rb) {
    if (flags & kBfTop) FillDev({d.left, d.top, d.right, d.top + 1}, lt);
    if (flags & kBfLeft) FillDev({d.left, d.top, d.left + 1, d.bottom}, lt);
    if (flags & kBfBottom) FillDev({d.left, d.bottom - 1, d.right, d.bottom}, rb);
    if (flags & kBfRight) FillDev({d.right - 1, d.top, d.right, d.bottom}, rb);
    if (flags & kBfTop) ++d.top;
    if (flags & kBfLeft) ++d.left;
    if (flags & kBfBottom) --d.bottom;
    if (flags & kBfRight) --d.right;
  };
  const Colour face = look.GetSysColor(kColorBtnFace), shadow = look.GetSysColor(kColorBtnShadow);
  const Colour light = look.GetSysColor(kColor3dLight), dark = look.GetSysColor(kColor3dDkShadow);
  const Colour highlight = look.GetSysColor(kColorBtnHighlight);
  if (edge & (kBdrRaisedOuter | kBdrSunkenOuter)) {
    if (flat) ring(shadow, shadow);
    else if (edge & kBdrRaisedOuter) ring(light, dark);
    else ring(shadow, highlight);
  }
  if (edge & (kBdrRaisedInner | kBdrSunkenInner)) {
    if (flat) ring(face, face);
    else if (edge & kBdrRaisedInner) ring(highlight, shadow);
    else ring(dark, light);
  }
  if (flags & kBfMiddle) FillDev(d, face);
}

Point RasterDC::MoveTo(Point p) { return std::exchange(m_position, p); }

void RasterDC::LineTo(Point p) {
  const Point from{DevX(m_position.x), DevY(m_position.y)};
  const Point to{DevX(p.x), DevY(p.y)};
  m_position = p;
  if (m_pen.style == PenStyle::Null) return;
  const int w = PenWidth(m_pen);
  if (w == 1) ThinLine(from, to, m_pen.colour);
  else WideLine(from, to, w, m_pen.colour);
}

void RasterDC::ThinLine(Point from, Point to, Colour colour) {
  const long long dx = static_cast<long long>(to.x) - from.x, dy = static_cast<long long>(to.y) - from.y;
  const bool xMajor = std::llabs(dx) >= std::llabs(dy);
  const long long len = std::max(std::llabs(dx), std::llabs(dy));
  if (len == 0) return;  // the end point is left out, so nothing is drawn
  const long long m0 = xMajor ? from.x : from.y, n0 = xMajor ? from.y : from.x;
  const long long dMinor = xMajor ? dy : dx;
  const int step = (xMajor ? dx : dy) > 0 ? 1 : -1;
  const long long lo = xMajor ? m_clip.left : m_clip.top, hi = xMajor ? m_clip.right : m_clip.bottom;
  // Only the steps whose major coordinate falls inside the clip box.
  long long tMin = step > 0 ? lo - m0 : m0 - (hi - 1);
  long long tMax = step > 0 ? hi - 1 - m0 : m0 - lo;
  tMin = std::max(tMin, 0LL);
  tMax = std::min(tMax, len - 1);
  for (long long t = tMin; t <= tMax; ++t) {
    const long long major = m0 + step * t;
    const long long minor = n0 + FloorDiv(2 * t * dMinor + len, 2 * len);
    if (xMajor) Plot(static_cast<int>(major), Saturate(minor), colour);
    else Plot(Saturate(minor), static_cast<int>(major), colour);
  }
}

void RasterDC::WideLine(Point from, Point to, int width, Colour colour) {
  const double c = (width % 2) ? 0.5 : 0.0;
  const double x0 = from.x + c, y0 = from.y + c, x1 = to.x + c, y1 = to.y + c;
  const double half = width / 2.0;
  const double vx = x1 - x0, vy = y1 - y0, len2 = vx * vx + vy * vy;
  const Box reach{std::min(from.x, to.x) - width - 1, std::min(from.y, to.y) - width - 1,
                  std::max(from.x, to.x) + width + 1, std::max(from.y, to.y) + width + 1};
  const Box area = Intersect(reach, m_clip);
  for (int y = area.top; y < area.bottom; ++y) {
    for (int x = area.left; x < area.right; ++x) {
      const double px = x + 0.5 - x0, py = y + 0.5 - y0;
      const double t = len2 > 0 ? std::clamp((px * vx + py * vy) / len2, 0.0, 1.0) : 0.0;
      const double ex = px - t * vx, ey = py - t * vy;
      if (ex * ex + ey * ey < half * half) m_surface->SetPixel(x, y, colour);
    }
  }
}

BkMode RasterDC::SetBkMode(BkMode mode) { return std::exchange(m_bkMode, mode); }
Colour RasterDC::SetTextColor(Colour colour) { return std::exchange(m_textColour, colour); }

Size RasterDC::GetTextExtent(std::string_view text) const {
  return {kGlyphWidth * Utf8Characters(text), kGlyphHeight};
}

void RasterDC::DrawGlyphs(int x, int y, std::string_view text, Colour colour, const Box& clip) {
  long long cell = x;
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if ((c & 0xC0) == 0x80) continue;
    if (!IsBlank(c)) {
      const int left = Saturate(cell);
      m_surface->Fill(Intersect({left + 1, y + 2, left + 5, y + 11}, clip), colour);
    }
    cell += kGlyphWidth;
  }
}

void RasterDC::RecordRun(int x, int y, std::string_view text, Colour colour, bool disabled) {
  m_surface->AddTextRun({{x, y}, colour, std::string(text), GetTextExtent(text), disabled});
}

void RasterDC::TextOut(int x, int y, std::string_view text) {
  const int dx = DevX(x), dy = DevY(y);
  const Size ext = GetTextExtent(text);
  if (m_bkMode == BkMode::Opaque) FillDev({dx, dy, Saturate(1LL * dx + ext.cx), dy + ext.cy}, Rgb(255, 255, 255));
  DrawGlyphs(dx, dy, text, m_textColour, m_clip);
  RecordRun(dx, dy, text, m_textColour, false);
}

void RasterDC::DrawText(std::string_view text, const Box& box, unsigned format) {
  const Box d = DevBox(box);
  const Size ext = GetTextExtent(text);
  int x = d.left, y = d.top;
  if (format & kDtCenter) x = Saturate((1LL * d.left + d.right - ext.cx) / 2);
  else if (format & kDtRight) x = d.right - ext.cx;
  if (format & kDtSingleLine) {
    if (format & kDtVCenter) y = Saturate((1LL * d.top + d.bottom - ext.cy) / 2);
    else if (format & kDtBottom) y = d.bottom - ext.cy;
  }
  const Box clip = (format & kDtNoClip) ? m_clip : Intersect(d, m_clip);
  if (m_bkMode == BkMode::Opaque)
    m_surface->Fill(Intersect({x, y, Saturate(1LL * x + ext.cx), y + ext.cy}, clip), Rgb(255, 255, 255));
  DrawGlyphs(x, y, text, m_textColour, clip);
  RecordRun(x, y, text, m_textColour, false);
}

void RasterDC::DrawDisabledText(int x, int y, int cx, int cy, std::string_view text) {
  const int dx = DevX(x), dy = DevY(y);
  const Size ext = GetTextExtent(text);
  if (cx == 0 && cy == 0) {
    cx = ext.cx;
    cy = ext.cy;
  }
  const Colour highlight = m_look->GetSysColor(kColorBtnHighlight);
  const Colour shadow = m_look->GetSysColor(kColorBtnShadow);
  DrawGlyphs(dx + 1, dy + 1, text, highlight, Intersect({dx + 1, dy + 1, Saturate(1LL * dx + 1 + cx), Saturate(1LL * dy + 1 + cy)}, m_clip));
  DrawGlyphs(dx, dy, text, shadow, Intersect({dx, dy, Saturate(1LL * dx + cx), Saturate(1LL * dy + cy)}, m_clip));
  RecordRun(dx, dy, text, shadow, true);
}

Box RasterDC::GetClipBox() const {
  return {m_clip.left + m_origin.x, m_clip.top + m_origin.y, m_clip.right + m_origin.x, m_clip.bottom + m_origin.y};
}

Point RasterDC::SetWindowOrg(Point origin) {
  origin.x = Saturate(origin.x);
  origin.y = Saturate(origin.y);
  return std::exchange(m_origin, origin);
}

std::unique_ptr<CDC> RasterDC::CreateCompatibleMemoryDC(int width, int height) {
  return std::unique_ptr<CDC>(new RasterDC(std::make_unique<RasterSurface>(width, height, Rgb(0, 0, 0)), *m_look));
}

void RasterDC::BitBlt(int x, int y, int width, int height, CDC& source, int sx, int sy) {
  auto* src = dynamic_cast<RasterDC*>(&source);
  if (!src || width <= 0 || height <= 0) return;
  const int dx = DevX(x), dy = DevY(y);
  const int ox = src->DevX(sx) - dx, oy = src->DevY(sy) - dy;  // source device = dest device + offset
  const Box block{dx, dy, Saturate(1LL * dx + width), Saturate(1LL * dy + height)};
  const Box dest = Intersect(block, m_clip);
  if (IsEmpty(dest)) return;
  // Through a copy, so a block moved within one surface reads the old pixels.
  std::vector<Colour> pixels;
  pixels.reserve(static_cast<std::size_t>(dest.Width()) * static_cast<std::size_t>(dest.Height()));
  for (int py = dest.top; py < dest.bottom; ++py)
    for (int px = dest.left; px < dest.right; ++px) pixels.push_back(src->m_surface->Pixel(px + ox, py + oy));
  std::vector<TextRun> runs;
  const Box srcBlock{block.left + ox, block.top + oy, block.right + ox, block.bottom + oy};
  for (const TextRun& run : src->m_surface->TextRuns()) {
    const Box r = run.Bounds();
    if (r.left >= srcBlock.left && r.top >= srcBlock.top && r.right <= srcBlock.right && r.bottom <= srcBlock.bottom) {
      TextRun moved = run;
      moved.origin = {run.origin.x - ox, run.origin.y - oy};
      runs.push_back(std::move(moved));
    }
  }
  std::size_t i = 0;
  for (int py = dest.top; py < dest.bottom; ++py)
    for (int px = dest.left; px < dest.right; ++px, ++i)
      if (pixels[i] != RasterSurface::kOutside) m_surface->SetPixel(px, py, pixels[i]);
  m_surface->DropTextRunsIn(dest);
  for (TextRun& run : runs) m_surface->AddTextRun(std::move(run));
}

}  // namespace fw
