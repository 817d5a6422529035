#pragma once
// fw::CDC over a GDI device context. Pens and brushes are made from the
// framework's descriptions when selected; at most one made pen and one made
// brush are alive per context, each deleted once something else is selected
// in its place, and the context's own objects are selected back when the
// object goes. A borrowed context (a draw-item request's) is also given back
// with its modes, colours and origin as they were.
#include <memory>

#include "framework/drawing/dc.h"
#include "framework/win32/win32_api.h"

#undef TextOut  // the framework's member, not the A/W macro

namespace fw::win32 {

// The running system's colours and metrics.
class GdiSystemLook final : public ISystemLook {
 public:
  Colour GetSysColor(int index) const override { return static_cast<Colour>(::GetSysColor(index)); }
  int GetSystemMetrics(int index) const override { return ::GetSystemMetrics(index); }
};

class GdiDC final : public CDC {
 public:
  // Someone else's context: nothing is released, its state is restored.
  static std::unique_ptr<GdiDC> Borrow(HDC dc);
  // The window's client area (GetDC / ReleaseDC) or whole window (GetWindowDC / ReleaseDC).
  static std::unique_ptr<GdiDC> ForClient(HWND hwnd);
  static std::unique_ptr<GdiDC> ForWindow(HWND hwnd);
  // BeginPaint now, EndPaint when the object goes; null when there is no context.
  static std::unique_ptr<GdiDC> ForPaint(HWND hwnd);

  ~GdiDC() override;
  GdiDC(const GdiDC&) = delete;
  GdiDC& operator=(const GdiDC&) = delete;

  HDC Handle() const { return m_dc; }
  // The paint request's rectangle, for contexts from ForPaint.
  const PAINTSTRUCT& Paint() const { return m_paint; }

  Pen SelectPen(const Pen& pen) override;
  Brush SelectBrush(const Brush& brush) override;
  Pen CurrentPen() const override { return m_pen; }
  Brush CurrentBrush() const override { return m_brush; }

  void Rectangle(const Box& box) override;
  void RoundRect(const Box& box, int ellipseWidth, int ellipseHeight) override;
  void FillRect(const Box& box, const Brush& brush) override;
  void Draw3dRect(const Box& box, Colour topLeft, Colour bottomRight) override;
  void DrawEdge(const Box& box, unsigned edge, unsigned flags) override;

  Point MoveTo(Point p) override;
  void LineTo(Point p) override;
  Point CurrentPosition() const override;

  BkMode SetBkMode(BkMode mode) override;
  Colour SetTextColor(Colour colour) override;
  Colour GetTextColor() const override;
  Size GetTextExtent(std::string_view text) const override;
  void TextOut(int x, int y, std::string_view text) override;
  void DrawText(std::string_view text, const Box& box, unsigned format) override;
  void DrawDisabledText(int x, int y, int cx, int cy, std::string_view text) override;

  Box GetClipBox() const override;
  bool IsPrinting() const override;
  Point SetWindowOrg(Point origin) override;

  std::unique_ptr<CDC> CreateCompatibleMemoryDC(int width, int height) override;
  // source must be a GdiDC (or nothing is copied).
  void BitBlt(int x, int y, int width, int height, CDC& source, int sx, int sy) override;

  const ISystemLook& Look() const override { return m_look; }

 private:
  enum class Release { Borrowed, ReleaseDC, EndPaint, DeleteDC };
  GdiDC(HDC dc, Release release, HWND hwnd);

  // A solid fill of one colour, as ExtTextOut's opaque rectangle does it.
  void FillSolid(const RECT& r, Colour colour);

  HDC m_dc;
  Release m_release;
  HWND m_hwnd;
  PAINTSTRUCT m_paint{};
  int m_savedState = 0;  // SaveDC level of a borrowed context

  // The context's own pen and brush, selected back at the end, and their descriptions.
  HGDIOBJ m_originalPen = nullptr;
  HGDIOBJ m_originalBrush = nullptr;
  Pen m_originalPenDesc;
  Brush m_originalBrushDesc;
  // What this object made and has selected now (null: an original or stock object).
  HGDIOBJ m_madePen = nullptr;
  HGDIOBJ m_madeBrush = nullptr;
  Pen m_pen;
  Brush m_brush;

  // A memory context's bitmap and the one it replaced.
  HBITMAP m_bitmap = nullptr;
  HGDIOBJ m_oldBitmap = nullptr;

  GdiSystemLook m_look;
};

}  // namespace fw::win32
