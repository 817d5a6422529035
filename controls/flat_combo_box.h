#pragma once
// A drop-down combo box with a flat look that turns three-dimensional while
// the mouse is over it. The box paints itself first; this class paints its
// borders over the standard ones. Where the mouse is comes from a 10 ms poll
// that runs only while the mouse has recently moved over the control.
#include <cstdint>

#include "framework/control_class.h"

namespace controls {

class CFlatComboBox : public fw::CControlClass {
 public:
  // Border looks (the style argument of DrawBorder).
  static constexpr int kFlat = 1;
  static constexpr int kRaised = 2;
  static constexpr int kPressed = 4;
  static constexpr unsigned kPollTimer = 1;
  static constexpr unsigned kPollMs = 10;

  CFlatComboBox();
  ~CFlatComboBox() override;

  std::intptr_t WindowProc(unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) override;

  std::uint8_t Pressed() const { return m_pressed; }
  // One flag for every flat combo box of the program: the hover look is on screen.
  static std::uint8_t Highlighted() { return m_highlighted; }

  // Draws the borders in a look, with the outer ring's colours.
  void DrawBorder(int style, fw::Colour outerTopLeft, fw::Colour outerBottomRight);

 private:
  std::intptr_t OnMouseMove(std::uintptr_t wparam, std::intptr_t lparam);
  std::intptr_t OnLButtonDown(std::uintptr_t wparam, std::intptr_t lparam);
  std::intptr_t OnLButtonUp(std::uintptr_t wparam, std::intptr_t lparam);
  std::intptr_t OnTimer(std::uintptr_t wparam, std::intptr_t lparam);
  std::intptr_t OnPaint(std::uintptr_t wparam, std::intptr_t lparam);

  std::uint8_t m_pressed = 0;
  static inline std::uint8_t m_highlighted = 0;
};

}  // namespace controls
