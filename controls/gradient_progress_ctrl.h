#pragma once
// A progress bar that paints itself: a gold-to-turquoise gradient spanning the
// whole control width, uncovered from the left as the position grows, and an
// optional caption "<prefix><percent>%". Range and position changes are also
// sent on to the underlying control so that its own values follow.
#include <cstdint>
#include <string>
#include <string_view>

#include "framework/control_class.h"

namespace controls {

// The platform's progress bar messages, as the framework names them.
using fw::kPbmSetRange;
using fw::kPbmSetPos;
using fw::kPbmSetStep;
using fw::kPbmStepIt;

class CGradientProgressCtrl : public fw::CControlClass {
 public:
  CGradientProgressCtrl();
  ~CGradientProgressCtrl() override;

  std::intptr_t WindowProc(unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) override;

  void SetRange(int lower, int upper);
  void SetPos(int position);
  void SetStep(int step);
  void StepIt();
  // Shows from the next repaint on; does not repaint.
  void SetText(std::string_view prefix);
  void SetShowText(std::int32_t show) { m_showText = show; }

  int Lower() const { return m_lower; }
  int Upper() const { return m_upper; }
  int Step() const { return m_step; }
  int Pos() const { return m_position; }
  std::int32_t ShowText() const { return m_showText; }
  const std::string& TextPrefix() const { return m_textPrefix; }
  fw::Colour BackgroundColour() const { return m_backgroundColour; }
  // The caption a paint would show now.
  std::string Caption() const;

 protected:
  // Reads the system's button face through the site, which the constructor cannot reach.
  void PreSubclassWindow() override;

 private:
  void OnPaint();
  void DrawGradient(fw::CDC& dc, const fw::Box& client, int barRight);

  std::int32_t m_lower = 0;
  std::int32_t m_upper = 100;
  std::int32_t m_step = 10;
  std::int32_t m_position = 0;
  fw::Colour m_startColour;
  fw::Colour m_endColour;
  fw::Colour m_backgroundColour;
  fw::Colour m_textColour;
  std::int32_t m_showText = 0;
  std::string m_textPrefix;
};

}  // namespace controls
