#pragma once
// An RGB pixel buffer the software raster draws into, with the text runs
// drawn on it kept as records, so tests can ask what text is where without
// reading glyph pixels. Every write is clipped to the buffer.
#include <cstdint>
#include <string>
#include <vector>

#include "framework/drawing/dc.h"
#include "framework/geometry.h"

namespace fw {

// A piece of text as it was drawn: surface coordinates of its top-left
// corner, its measured extent, and whether it was drawn as disabled
// (embossed; colour is then the shadow colour drawn last).
struct TextRun {
  Point origin;
  Colour colour = 0;
  std::string text;
  Size extent;
  bool disabled = false;
  Box Bounds() const { return {origin.x, origin.y, origin.x + extent.cx, origin.y + extent.cy}; }
  bool operator==(const TextRun&) const = default;
};

class RasterSurface {
 public:
  RasterSurface() = default;
  // Zero or negative sizes give an empty surface.
  RasterSurface(int width, int height, Colour fill = Rgb(255, 255, 255));

  int Width() const { return m_width; }
  int Height() const { return m_height; }
  Box Bounds() const { return {0, 0, m_width, m_height}; }
  bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < m_width && y < m_height; }

  // Outside the surface: kOutside, which no drawn colour equals.
  static constexpr Colour kOutside = 0xFF000000u;
  Colour Pixel(int x, int y) const;
  void SetPixel(int x, int y, Colour colour);
  // Right and bottom exclusive; clipped. Text runs the fill covers whole are dropped.
  void Fill(const Box& box, Colour colour);

  const std::vector<TextRun>& TextRuns() const { return m_runs; }
  void AddTextRun(TextRun run) { m_runs.push_back(std::move(run)); }
  // Drops the runs lying wholly inside box.
  void DropTextRunsIn(const Box& box);
  void ClearTextRuns() { m_runs.clear(); }

  // Rows top to bottom, 3 bytes a pixel, as the PNG writer takes them.
  std::vector<std::uint8_t> RgbBytes() const;
  // false when the surface is empty or the file cannot be written.
  bool WritePng(const std::string& path) const;

 private:
  int m_width = 0;
  int m_height = 0;
  std::vector<Colour> m_pixels;
  std::vector<TextRun> m_runs;
};

// The part of box inside limit; empty (right <= left or bottom <= top) when they miss.
Box Intersect(const Box& box, const Box& limit);
bool IsEmpty(const Box& box);

}  // namespace fw
