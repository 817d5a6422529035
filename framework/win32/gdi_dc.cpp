#include "framework/win32/gdi_dc.h"

#include <string>

#include "framework/win32/wide_text.h"

namespace fw::win32 {
namespace {

RECT RectOf(const Box& b) { return {b.left, b.top, b.right, b.bottom}; }

int GdiPenStyle(PenStyle s) {
  switch (s) {
    case PenStyle::InsideFrame: return PS_INSIDEFRAME;
    case PenStyle::Null: return PS_NULL;
    case PenStyle::Solid: break;
  }
  return PS_SOLID;
}

bool SamePen(const Pen& a, const Pen& b) {
  return a.style == b.style && a.colour == b.colour && (a.style == PenStyle::Null || a.width == b.width);
}
bool SameBrush(const Brush& a, const Brush& b) { return a.hollow == b.hollow && (a.hollow || a.colour == b.colour); }

Pen DescribePen(HGDIOBJ pen) {
  LOGPEN lp{};
  if (pen == nullptr || GetObjectW(pen, sizeof(lp), &lp) != sizeof(lp)) return {};
  Pen p;
  switch (lp.lopnStyle & PS_STYLE_MASK) {
    case PS_NULL: p.style = PenStyle::Null; break;
    case PS_INSIDEFRAME: p.style = PenStyle::InsideFrame; break;
    default: p.style = PenStyle::Solid; break;
  }
  p.width = lp.lopnWidth.x > 0 ? static_cast<int>(lp.lopnWidth.x) : 1;
  p.colour = static_cast<Colour>(lp.lopnColor);
  return p;
}

Brush DescribeBrush(HGDIOBJ brush) {
  LOGBRUSH lb{};
  if (brush == nullptr || GetObjectW(brush, sizeof(lb), &lb) != sizeof(lb)) return {};
  if (lb.lbStyle == BS_NULL) return {true, 0};
  return {false, static_cast<Colour>(lb.lbColor)};
}

// A solid brush for the length of one call.
class TempBrush {
 public:
  explicit TempBrush(Colour c) : m_brush(CreateSolidBrush(c)) {}
  ~TempBrush() {
    if (m_brush) DeleteObject(m_brush);
  }
  TempBrush(const TempBrush&) = delete;
  TempBrush& operator=(const TempBrush&) = delete;
  HBRUSH get() const { return m_brush; }

 private:
  HBRUSH m_brush;
};

}  // namespace

GdiDC::GdiDC(HDC dc, Release release, HWND hwnd) : m_dc(dc), m_release(release), m_hwnd(hwnd) {
  if (m_dc == nullptr) return;
  if (m_release == Release::Borrowed) m_savedState = SaveDC(m_dc);
  m_originalPen = GetCurrentObject(m_dc, OBJ_PEN);
  m_originalBrush = GetCurrentObject(m_dc, OBJ_BRUSH);
  m_pen = m_originalPenDesc = DescribePen(m_originalPen);
  m_brush = m_originalBrushDesc = DescribeBrush(m_originalBrush);
}

std::unique_ptr<GdiDC> GdiDC::Borrow(HDC dc) {
  if (dc == nullptr) return nullptr;
  return std::unique_ptr<GdiDC>(new GdiDC(dc, Release::Borrowed, nullptr));
}

std::unique_ptr<GdiDC> GdiDC::ForClient(HWND hwnd) {
  HDC dc = ::GetDC(hwnd);
  if (dc == nullptr) return nullptr;
  return std::unique_ptr<GdiDC>(new GdiDC(dc, Release::ReleaseDC, hwnd));
}

std::unique_ptr<GdiDC> GdiDC::ForWindow(HWND hwnd) {
  HDC dc = ::GetWindowDC(hwnd);
  if (dc == nullptr) return nullptr;
  return std::unique_ptr<GdiDC>(new GdiDC(dc, Release::ReleaseDC, hwnd));
}

std::unique_ptr<GdiDC> GdiDC::ForPaint(HWND hwnd) {
  PAINTSTRUCT ps{};
  HDC dc = ::BeginPaint(hwnd, &ps);
  if (dc == nullptr) {
    // BeginPaint validated the region even without a context; nothing to end.
    return nullptr;
  }
  auto result = std::unique_ptr<GdiDC>(new GdiDC(dc, Release::EndPaint, hwnd));
  result->m_paint = ps;
  return result;
}

GdiDC::~GdiDC() {
  if (m_dc == nullptr) return;
  // The context's own objects go back in before the made ones are deleted.
  if (m_madePen) {
    SelectObject(m_dc, m_originalPen);
    DeleteObject(m_madePen);
  }
  if (m_madeBrush) {
    SelectObject(m_dc, m_originalBrush);
    DeleteObject(m_madeBrush);
  }
  if (m_bitmap) {
    SelectObject(m_dc, m_oldBitmap);
    DeleteObject(m_bitmap);
  }
  switch (m_release) {
    case Release::Borrowed:
      if (m_savedState != 0) RestoreDC(m_dc, m_savedState);
      break;
    case Release::ReleaseDC: ::ReleaseDC(m_hwnd, m_dc); break;
    case Release::EndPaint: ::EndPaint(m_hwnd, &m_paint); break;
    case Release::DeleteDC: DeleteDC(m_dc); break;
  }
}

Pen GdiDC::SelectPen(const Pen& pen) {
  const Pen previous = m_pen;
  HGDIOBJ next = nullptr;
  HGDIOBJ made = nullptr;
  if (SamePen(pen, m_originalPenDesc)) {
    next = m_originalPen;  // back to the context's own pen, nothing to make
  } else if (pen.style == PenStyle::Null) {
    next = GetStockObject(NULL_PEN);  // what CreatePen would hand out anyway; never deleted
  } else {
    made = CreatePen(GdiPenStyle(pen.style), pen.width, pen.colour);
    if (made == nullptr) return previous;
    next = made;
  }
  SelectObject(m_dc, next);
  if (m_madePen) DeleteObject(m_madePen);  // deselected just now
  m_madePen = made;
  m_pen = pen;
  return previous;
}

Brush GdiDC::SelectBrush(const Brush& brush) {
  const Brush previous = m_brush;
  HGDIOBJ next = nullptr;
  HGDIOBJ made = nullptr;
  if (SameBrush(brush, m_originalBrushDesc)) {
    next = m_originalBrush;
  } else if (brush.hollow) {
    next = GetStockObject(NULL_BRUSH);  // stock: never deleted
  } else {
    made = CreateSolidBrush(brush.colour);
    if (made == nullptr) return previous;
    next = made;
  }
  SelectObject(m_dc, next);
  if (m_madeBrush) DeleteObject(m_madeBrush);
  m_madeBrush = made;
  m_brush = brush;
  return previous;
}

void GdiDC::Rectangle(const Box& box) { ::Rectangle(m_dc, box.left, box.top, box.right, box.bottom); }

void GdiDC::RoundRect(const Box& box, int ellipseWidth, int ellipseHeight) {
  ::RoundRect(m_dc, box.left, box.top, box.right, box.bottom, ellipseWidth, ellipseHeight);
}

void GdiDC::FillRect(const Box& box, const Brush& brush) {
  if (brush.hollow) return;
  const TempBrush b(brush.colour);
  if (b.get() == nullptr) return;
  const RECT r = RectOf(box);
  ::FillRect(m_dc, &r, b.get());
}

void GdiDC::FillSolid(const RECT& r, Colour colour) {
  const COLORREF old = SetBkColor(m_dc, colour);
  ExtTextOutW(m_dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
  SetBkColor(m_dc, old);
}

void GdiDC::Draw3dRect(const Box& box, Colour topLeft, Colour bottomRight) {
  const LONG x = box.left, y = box.top, cx = box.right - box.left, cy = box.bottom - box.top;
  // Top and left without the far corners, then right and bottom in full.
  FillSolid({x, y, x + cx - 1, y + 1}, topLeft);
  FillSolid({x, y, x + 1, y + cy - 1}, topLeft);
  FillSolid({x + cx - 1, y, x + cx, y + cy}, bottomRight);
  FillSolid({x, y + cy - 1, x + cx, y + cy}, bottomRight);
}

void GdiDC::DrawEdge(const Box& box, unsigned edge, unsigned flags) {
  RECT r = RectOf(box);
  ::DrawEdge(m_dc, &r, edge, flags);
}

Point GdiDC::MoveTo(Point p) {
  POINT old{};
  MoveToEx(m_dc, p.x, p.y, &old);
  return {old.x, old.y};
}

void GdiDC::LineTo(Point p) { ::LineTo(m_dc, p.x, p.y); }

Point GdiDC::CurrentPosition() const {
  POINT p{};
  GetCurrentPositionEx(m_dc, &p);
  return {p.x, p.y};
}

BkMode GdiDC::SetBkMode(BkMode mode) {
  const int old = ::SetBkMode(m_dc, mode == BkMode::Transparent ? TRANSPARENT : OPAQUE);
  return old == TRANSPARENT ? BkMode::Transparent : BkMode::Opaque;
}

Colour GdiDC::SetTextColor(Colour colour) { return static_cast<Colour>(::SetTextColor(m_dc, colour)); }

Colour GdiDC::GetTextColor() const { return static_cast<Colour>(::GetTextColor(m_dc)); }

Size GdiDC::GetTextExtent(std::string_view text) const {
  const std::wstring wide = Widen(text);
  SIZE s{};
  if (!GetTextExtentPoint32W(m_dc, wide.c_str(), static_cast<int>(wide.size()), &s)) return {};
  return {s.cx, s.cy};
}

void GdiDC::TextOut(int x, int y, std::string_view text) {
  const std::wstring wide = Widen(text);
  TextOutW(m_dc, x, y, wide.c_str(), static_cast<int>(wide.size()));
}

void GdiDC::DrawText(std::string_view text, const Box& box, unsigned format) {
  std::wstring wide = Widen(text);
  RECT r = RectOf(box);
  DrawTextW(m_dc, wide.data(), static_cast<int>(wide.size()), &r, format);
}

void GdiDC::DrawDisabledText(int x, int y, int cx, int cy, std::string_view text) {
  const std::wstring wide = Widen(text);
  DrawStateW(m_dc, nullptr, nullptr, reinterpret_cast<LPARAM>(wide.c_str()), static_cast<WPARAM>(wide.size()), x, y,
             cx, cy, DST_TEXT | DSS_DISABLED);
}

Box GdiDC::GetClipBox() const {
  RECT r{};
  ::GetClipBox(m_dc, &r);
  return {r.left, r.top, r.right, r.bottom};
}

bool GdiDC::IsPrinting() const { return GetDeviceCaps(m_dc, TECHNOLOGY) == DT_RASPRINTER; }

Point GdiDC::SetWindowOrg(Point origin) {
  POINT old{};
  SetWindowOrgEx(m_dc, origin.x, origin.y, &old);
  return {old.x, old.y};
}

std::unique_ptr<CDC> GdiDC::CreateCompatibleMemoryDC(int width, int height) {
  if (width <= 0 || height <= 0) return nullptr;  // a 0-sized bitmap would be a 1x1 monochrome one
  HDC mem = CreateCompatibleDC(m_dc);
  if (mem == nullptr) return nullptr;
  // Compatible with this context, not the memory one, which starts monochrome.
  HBITMAP bitmap = CreateCompatibleBitmap(m_dc, width, height);
  if (bitmap == nullptr) {
    DeleteDC(mem);
    return nullptr;
  }
  const HGDIOBJ old = SelectObject(mem, bitmap);
  auto result = std::unique_ptr<GdiDC>(new GdiDC(mem, Release::DeleteDC, nullptr));
  result->m_bitmap = bitmap;
  result->m_oldBitmap = old;
  return result;
}

void GdiDC::BitBlt(int x, int y, int width, int height, CDC& source, int sx, int sy) {
  auto* src = dynamic_cast<GdiDC*>(&source);
  if (src == nullptr) return;
  ::BitBlt(m_dc, x, y, width, height, src->m_dc, sx, sy, SRCCOPY);
}

}  // namespace fw::win32
