#pragma once
// fw::CDC on a RasterSurface, drawing as the platform's GDI does where the
// controls depend on it. The rules this backend settles itself:
//
// - Rectangle: a pen of width w (solid or inside-frame) frames the box from
//   the inside, w pixels thick; the brush fills what is left. With the null
//   pen the filled area is one pixel smaller on the right and bottom, as GDI.
// - Lines, width 1: every point from the start up to, not including, the end;
//   the minor coordinate is rounded half up along the major axis (GDI agrees
//   on horizontal, vertical and 45-degree lines).
// - Lines, width w > 1 (GDI's geometric pens, round caps, centred on the
//   line): the pixels whose centres lie strictly closer than w/2 to the
//   segment, both ends included. The segment runs through pixel centres for
//   odd w and through pixel corners (top-left of the point) for even w, so a
//   vertical line at x covers x - w/2 .. x - w/2 + w - 1.
// - RoundRect: the pixels whose centres lie in the box with its corners cut by
//   quarter ellipses of radii ew/2 and eh/2 (clamped to half the box); the
//   outline, w pixels thick, is every such pixel with a pixel w away along a
//   row or column that is not in the shape.
// - Text: a fixed glyph metric, every UTF-8 character 6 x 13 pixels. A
//   non-blank character is drawn as a filled 4 x 9 box at (1, 2) in its cell;
//   each call is recorded on the surface as a TextRun. Opaque background mode
//   first fills the extent white. DrawText clips to its box.
// - DrawDisabledText: highlight colour at (x + 1, y + 1), then the shadow
//   colour at (x, y), both clipped to the cx x cy box at their position.
// - DrawEdge: each ring is drawn top and left first, then bottom and right
//   over the corners. Raised outer: 3-D light / dark shadow; raised inner:
//   highlight / shadow; sunken outer: shadow / highlight; sunken inner: dark
//   shadow / 3-D light. BF_FLAT: an outer ring in shadow, an inner ring in face.
// - Memory contexts start black, as a new compatible bitmap does.
// - BitBlt copies pixels and the text runs that lie wholly in the block.
#include <memory>

#include "framework/drawing/dc.h"
#include "framework/drawing/raster/raster_surface.h"

namespace fw {

inline constexpr int kGlyphWidth = 6;
inline constexpr int kGlyphHeight = 13;
inline constexpr unsigned kDtNoClip = 0x100;
inline constexpr unsigned kDtRight = 0x02;
inline constexpr unsigned kDtBottom = 0x08;
inline constexpr unsigned kBfLeft = 0x1;
inline constexpr unsigned kBfTop = 0x2;
inline constexpr unsigned kBfRight = 0x4;
inline constexpr unsigned kBfBottom = 0x8;
inline constexpr unsigned kBfMiddle = 0x0800;

// Characters in UTF-8 text (continuation bytes do not count).
int Utf8Characters(std::string_view text);

class RasterDC final : public CDC {
 public:
  // Draws on surface, which must outlive the context.
  RasterDC(RasterSurface& surface, const ISystemLook& look);
  ~RasterDC() override;
  RasterDC(const RasterDC&) = delete;
  RasterDC& operator=(const RasterDC&) = delete;

  RasterSurface& Surface() { return *m_surface; }
  const RasterSurface& Surface() const { return *m_surface; }

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
  Point CurrentPosition() const override { return m_position; }

  BkMode SetBkMode(BkMode mode) override;
  Colour SetTextColor(Colour colour) override;
  Colour GetTextColor() const override { return m_textColour; }
  Size GetTextExtent(std::string_view text) const override;
  void TextOut(int x, int y, std::string_view text) override;
  void DrawText(std::string_view text, const Box& box, unsigned format) override;
  void DrawDisabledText(int x, int y, int cx, int cy, std::string_view text) override;

  Box GetClipBox() const override;
  bool IsPrinting() const override { return false; }
  Point SetWindowOrg(Point origin) override;

  std::unique_ptr<CDC> CreateCompatibleMemoryDC(int width, int height) override;
  void BitBlt(int x, int y, int width, int height, CDC& source, int sx, int sy) override;

  const ISystemLook& Look() const override { return *m_look; }

 private:
  // A memory context owns its surface.
  RasterDC(std::unique_ptr<RasterSurface> owned, const ISystemLook& look);

  // Device coordinates from logical ones, saturated so far-off shapes stay far off.
  int DevX(long long x) const;
  int DevY(long long y) const;
  Box DevBox(const Box& logical) const;
  void Plot(int x, int y, Colour colour);                // device, clipped
  void FillDev(const Box& device, Colour colour);        // device, clipped
  void FrameDev(const Box& device, int width, Colour colour);
  void ThinLine(Point from, Point to, Colour colour);    // device
  void WideLine(Point from, Point to, int width, Colour colour);  // device
  // Glyph boxes of text with its top-left at device (x, y), inside clip.
  void DrawGlyphs(int x, int y, std::string_view text, Colour colour, const Box& clip);
  void RecordRun(int x, int y, std::string_view text, Colour colour, bool disabled);

  std::unique_ptr<RasterSurface> m_owned;
  RasterSurface* m_surface;
  const ISystemLook* m_look;
  Box m_clip;  // device coordinates
  Point m_origin;
  Pen m_pen{PenStyle::Solid, 1, Rgb(0, 0, 0)};
  Brush m_brush{false, Rgb(255, 255, 255)};
  Point m_position;
  BkMode m_bkMode = BkMode::Opaque;
  Colour m_textColour = Rgb(0, 0, 0);
};

}  // namespace fw
