#include "framework/drawing/raster/raster_surface.h"

#include <algorithm>

#include "framework/png_file.h"

namespace fw {

Box Intersect(const Box& box, const Box& limit) {
  return {std::max(box.left, limit.left), std::max(box.top, limit.top), std::min(box.right, limit.right),
          std::min(box.bottom, limit.bottom)};
}

bool IsEmpty(const Box& box) { return box.right <= box.left || box.bottom <= box.top; }

RasterSurface::RasterSurface(int width, int height, Colour fill)
    : m_width(std::max(width, 0)), m_height(std::max(height, 0)) {
  if (m_width == 0 || m_height == 0) m_width = m_height = 0;
  m_pixels.assign(static_cast<std::size_t>(m_width) * static_cast<std::size_t>(m_height), fill);
}

Colour RasterSurface::Pixel(int x, int y) const {
  if (!Contains(x, y)) return kOutside;
  return m_pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(m_width) + static_cast<std::size_t>(x)];
}

void RasterSurface::SetPixel(int x, int y, Colour colour) {
  if (!Contains(x, y)) return;
  m_pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(m_width) + static_cast<std::size_t>(x)] =
      colour & 0xFFFFFFu;
}

void RasterSurface::Fill(const Box& box, Colour colour) {
  const Box b = Intersect(box, Bounds());
  if (IsEmpty(b)) return;
  for (int y = b.top; y < b.bottom; ++y) {
    auto row = m_pixels.begin() + static_cast<std::ptrdiff_t>(y) * m_width;
    std::fill(row + b.left, row + b.right, colour & 0xFFFFFFu);
  }
  DropTextRunsIn(box);
}

void RasterSurface::DropTextRunsIn(const Box& box) {
  std::erase_if(m_runs, [&box](const TextRun& run) {
    const Box r = run.Bounds();
    return r.left >= box.left && r.top >= box.top && r.right <= box.right && r.bottom <= box.bottom;
  });
}

std::vector<std::uint8_t> RasterSurface::RgbBytes() const {
  std::vector<std::uint8_t> out;
  out.reserve(m_pixels.size() * 3);
  for (Colour c : m_pixels) {
    out.push_back(static_cast<std::uint8_t>(RedOf(c)));
    out.push_back(static_cast<std::uint8_t>(GreenOf(c)));
    out.push_back(static_cast<std::uint8_t>(BlueOf(c)));
  }
  return out;
}

bool RasterSurface::WritePng(const std::string& path) const {
  if (m_width == 0) return false;
  const std::vector<std::uint8_t> rgb = RgbBytes();
  return WritePngFile(path, m_width, m_height, rgb);
}

}  // namespace fw
