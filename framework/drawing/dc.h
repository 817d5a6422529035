#pragma once
// The device context the owner-drawn controls paint through, with the
// platform's drawing rules: rectangles exclude their right and bottom edges,
// an inside-frame pen stays inside the shape's box, a line leaves out its
// last point. Backends: GDI on the Win32 host, a software raster elsewhere.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "framework/geometry.h"

namespace fw {

// 0x00BBGGRR, as the platform packs colours.
using Colour = std::uint32_t;
constexpr Colour Rgb(int r, int g, int b) {
  return static_cast<Colour>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr int RedOf(Colour c) { return static_cast<int>(c & 0xFF); }
constexpr int GreenOf(Colour c) { return static_cast<int>((c >> 8) & 0xFF); }
constexpr int BlueOf(Colour c) { return static_cast<int>((c >> 16) & 0xFF); }

struct Size {
  int cx = 0, cy = 0;
  bool operator==(const Size&) const = default;
};

enum class PenStyle { Solid, InsideFrame, Null };
struct Pen {
  PenStyle style = PenStyle::Solid;
  int width = 1;
  Colour colour = 0;
};

struct Brush {
  bool hollow = false;  // the null brush: shapes are not filled
  Colour colour = 0xFFFFFF;
};

enum class BkMode { Transparent = 1, Opaque = 2 };

// System colour and metric indexes, as the platform numbers them.
inline constexpr int kColorWindow = 5;
inline constexpr int kColorWindowText = 8;
inline constexpr int kColorBtnFace = 15;
inline constexpr int kColorBtnShadow = 16;
inline constexpr int kColorGrayText = 17;
inline constexpr int kColorBtnText = 18;
inline constexpr int kColorBtnHighlight = 20;
inline constexpr int kColor3dDkShadow = 21;
inline constexpr int kColor3dLight = 22;
inline constexpr int kSmCxIcon = 11;
inline constexpr int kSmCyIcon = 12;
inline constexpr int kSmCxEdge = 45;
inline constexpr int kSmCyEdge = 46;
inline constexpr int kSmCxHThumb = 10;

// DrawEdge edge types and flags.
inline constexpr unsigned kBdrRaisedOuter = 0x1;
inline constexpr unsigned kBdrSunkenOuter = 0x2;
inline constexpr unsigned kBdrRaisedInner = 0x4;
inline constexpr unsigned kBdrSunkenInner = 0x8;
inline constexpr unsigned kEdgeSunken = kBdrSunkenOuter | kBdrSunkenInner;
inline constexpr unsigned kEdgeRaised = kBdrRaisedOuter | kBdrRaisedInner;
inline constexpr unsigned kBfRect = 0x000F;
inline constexpr unsigned kBfFlat = 0x4000;

// DrawText flags.
inline constexpr unsigned kDtCenter = 0x01;
inline constexpr unsigned kDtVCenter = 0x04;
inline constexpr unsigned kDtSingleLine = 0x20;

// Colours and metrics of the running system (the raster backend has fixed ones).
class ISystemLook {
 public:
  virtual ~ISystemLook() = default;
  virtual Colour GetSysColor(int index) const = 0;
  virtual int GetSystemMetrics(int index) const = 0;
};

class CDC {
 public:
  virtual ~CDC() = default;

  // Selection returns what was selected before, to be selected back.
  virtual Pen SelectPen(const Pen& pen) = 0;
  virtual Brush SelectBrush(const Brush& brush) = 0;
  virtual Pen CurrentPen() const = 0;
  virtual Brush CurrentBrush() const = 0;

  // Outline with the pen, inside with the brush.
  virtual void Rectangle(const Box& box) = 0;
  virtual void RoundRect(const Box& box, int ellipseWidth, int ellipseHeight) = 0;
  // Brush only, no outline.
  virtual void FillRect(const Box& box, const Brush& brush) = 0;
  void FillSolidRect(const Box& box, Colour colour) { FillRect(box, Brush{false, colour}); }
  // One-pixel outline: top and left in topLeft, bottom and right in bottomRight.
  virtual void Draw3dRect(const Box& box, Colour topLeft, Colour bottomRight) = 0;
  virtual void DrawEdge(const Box& box, unsigned edge, unsigned flags) = 0;

  virtual Point MoveTo(Point p) = 0;  // returns the previous position
  virtual void LineTo(Point p) = 0;
  virtual Point CurrentPosition() const = 0;

  virtual BkMode SetBkMode(BkMode mode) = 0;
  virtual Colour SetTextColor(Colour colour) = 0;
  virtual Colour GetTextColor() const = 0;
  virtual Size GetTextExtent(std::string_view text) const = 0;
  virtual void TextOut(int x, int y, std::string_view text) = 0;
  virtual void DrawText(std::string_view text, const Box& box, unsigned format) = 0;
  // The platform's embossed rendering of disabled text at x, y in a cx by cy box.
  virtual void DrawDisabledText(int x, int y, int cx, int cy, std::string_view text) = 0;

  virtual Box GetClipBox() const = 0;
  virtual bool IsPrinting() const = 0;
  virtual Point SetWindowOrg(Point origin) = 0;

  // An off-screen context like this one, with a compatible bitmap of the
  // given size selected into it; null when the backend cannot make one.
  virtual std::unique_ptr<CDC> CreateCompatibleMemoryDC(int width, int height) = 0;
  // Copies a width x height block from source at (sx, sy), in source's
  // logical coordinates, to (x, y) here.
  virtual void BitBlt(int x, int y, int width, int height, CDC& source, int sx, int sy) = 0;

  virtual const ISystemLook& Look() const = 0;
};

}  // namespace fw
