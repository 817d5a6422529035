#pragma once
// Owner-drawn push button: black rounded outline, a 64-step white to
// blue-grey face gradient that brightens while the mouse hovers, an orange
// frame while hovered, the caption shifted by a pixel while pressed and
// embossed while disabled.
#include <cstdint>

#include "framework/control_class.h"

namespace controls {

class CXPButton : public fw::CControlClass {
 public:
  CXPButton();
  ~CXPButton() override;

  std::intptr_t WindowProc(unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) override;
  void DrawItem(const fw::DrawItemInfo& info) override;

  std::int32_t Hovering() const { return m_hovering; }
  std::int32_t Tracking() const { return m_tracking; }
  std::int32_t Focused() const { return m_focused; }

  // Colour of face gradient entry i (0..63) in the given state.
  static fw::Colour GradientEntry(int i, bool hovering, bool focused);

 protected:
  void PreSubclassWindow() override;

 private:
  std::intptr_t OnMouseMove(std::uintptr_t wparam, std::intptr_t lparam);
  std::intptr_t OnMouseHover();
  std::intptr_t OnMouseLeave();
  void DrawFaceGradient(fw::CDC& dc, const fw::Box& inner);
  void DrawHoverFrame(fw::CDC& dc, const fw::Box& inner);

  fw::Pen m_outlinePen;
  fw::Pen m_leftFramePen;
  fw::Pen m_topFramePen;
  fw::Pen m_rightFramePen;
  fw::Pen m_bottomFramePen;
  fw::Pen m_savedPen;
  fw::Brush m_hoverBrush;
  fw::Brush m_normalBrush;
  fw::Brush m_savedBrush;
  std::int32_t m_hovering = 0;
  std::int32_t m_tracking = 0;
  std::int32_t m_focused = 0;
};

}  // namespace controls
