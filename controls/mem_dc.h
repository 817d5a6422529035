#pragma once
// Off-screen drawing: a context that draws into a memory bitmap the size of
// the target's clipping box, in the target's coordinates, and copies the
// result to the target in one step when it goes. On a printer context (or a
// backend without memory contexts) drawing goes straight to the target.
#include <cstdint>
#include <memory>

#include "framework/drawing/dc.h"

namespace controls {

class CMemDC final : public fw::CDC {
 public:
  explicit CMemDC(fw::CDC& target);
  ~CMemDC() override;
  CMemDC(const CMemDC&) = delete;
  CMemDC& operator=(const CMemDC&) = delete;

  bool IsOffScreen() const { return m_offScreen != 0; }
  fw::Box Area() const { return m_area; }

  fw::Pen SelectPen(const fw::Pen& pen) override { return Out().SelectPen(pen); }
  fw::Brush SelectBrush(const fw::Brush& brush) override { return Out().SelectBrush(brush); }
  fw::Pen CurrentPen() const override { return Out().CurrentPen(); }
  fw::Brush CurrentBrush() const override { return Out().CurrentBrush(); }
  void Rectangle(const fw::Box& box) override { Out().Rectangle(box); }
  void RoundRect(const fw::Box& box, int w, int h) override { Out().RoundRect(box, w, h); }
  void FillRect(const fw::Box& box, const fw::Brush& brush) override { Out().FillRect(box, brush); }
  void Draw3dRect(const fw::Box& box, fw::Colour tl, fw::Colour br) override { Out().Draw3dRect(box, tl, br); }
  void DrawEdge(const fw::Box& box, unsigned edge, unsigned flags) override { Out().DrawEdge(box, edge, flags); }
  fw::Point MoveTo(fw::Point p) override { return Out().MoveTo(p); }
  void LineTo(fw::Point p) override { Out().LineTo(p); }
  fw::Point CurrentPosition() const override { return Out().CurrentPosition(); }
  fw::BkMode SetBkMode(fw::BkMode mode) override { return Out().SetBkMode(mode); }
  fw::Colour SetTextColor(fw::Colour colour) override { return Out().SetTextColor(colour); }
  fw::Colour GetTextColor() const override { return Out().GetTextColor(); }
  fw::Size GetTextExtent(std::string_view text) const override { return Out().GetTextExtent(text); }
  void TextOut(int x, int y, std::string_view text) override { Out().TextOut(x, y, text); }
  void DrawText(std::string_view text, const fw::Box& box, unsigned format) override {
    Out().DrawText(text, box, format);
  }
  void DrawDisabledText(int x, int y, int cx, int cy, std::string_view text) override {
    Out().DrawDisabledText(x, y, cx, cy, text);
  }
  fw::Box GetClipBox() const override { return Out().GetClipBox(); }
  bool IsPrinting() const override { return Out().IsPrinting(); }
  fw::Point SetWindowOrg(fw::Point origin) override { return Out().SetWindowOrg(origin); }
  std::unique_ptr<fw::CDC> CreateCompatibleMemoryDC(int width, int height) override {
    return Out().CreateCompatibleMemoryDC(width, height);
  }
  void BitBlt(int x, int y, int width, int height, fw::CDC& source, int sx, int sy) override {
    Out().BitBlt(x, y, width, height, source, sx, sy);
  }
  const fw::ISystemLook& Look() const override { return Out().Look(); }

 private:
  fw::CDC& Out() { return m_bitmap ? *m_bitmap : *m_target; }
  const fw::CDC& Out() const { return m_bitmap ? *m_bitmap : *m_target; }

  // The memory context with its compatible bitmap selected; it releases both.
  std::unique_ptr<fw::CDC> m_bitmap;
  fw::CDC* m_target;
  fw::Box m_area;
  std::int32_t m_offScreen = 0;
};

}  // namespace controls
