#include "controls/gradient_progress_ctrl.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "controls/mem_dc.h"

namespace controls {
namespace {

// The classic button face, until the site's look is known.
constexpr fw::Colour kDefaultFace = fw::Rgb(212, 208, 200);

}  // namespace

CGradientProgressCtrl::CGradientProgressCtrl()
    : m_startColour(fw::Rgb(255, 215, 0)),
      m_endColour(fw::Rgb(64, 224, 208)),
      m_backgroundColour(kDefaultFace),
      m_textColour(fw::Rgb(128, 0, 128)) {}

CGradientProgressCtrl::~CGradientProgressCtrl() = default;

void CGradientProgressCtrl::PreSubclassWindow() {
  if (std::unique_ptr<fw::CDC> dc = Site().GetDC()) m_backgroundColour = dc->Look().GetSysColor(fw::kColorBtnFace);
}

std::intptr_t CGradientProgressCtrl::WindowProc(unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) {
  switch (msg) {
    case fw::kWmEraseBkgnd: return 1;  // the paint covers everything; erasing would flash
    case fw::kWmPaint: OnPaint(); return 0;
    default: return Default(msg, wparam, lparam);
  }
}

void CGradientProgressCtrl::SetRange(int lower, int upper) {
  m_lower = lower;
  m_upper = upper;
  m_position = lower;
  if (IsAttached())
    Site().SendMessage(kPbmSetRange, 0,
                       static_cast<std::intptr_t>((static_cast<std::uint32_t>(lower) & 0xFFFFu) |
                                                  ((static_cast<std::uint32_t>(upper) & 0xFFFFu) << 16)));
}

void CGradientProgressCtrl::SetPos(int position) {
  m_position = position;
  if (IsAttached()) Site().SendMessage(kPbmSetPos, static_cast<std::uintptr_t>(position), 0);
}

void CGradientProgressCtrl::SetStep(int step) {
  m_step = step;
  if (IsAttached()) Site().SendMessage(kPbmSetStep, static_cast<std::uintptr_t>(step), 0);
}

void CGradientProgressCtrl::StepIt() {
  m_position += m_step;
  if (IsAttached()) Site().SendMessage(kPbmStepIt, 0, 0);
}

void CGradientProgressCtrl::SetText(std::string_view prefix) { m_textPrefix = std::string(prefix); }

std::string CGradientProgressCtrl::Caption() const {
  if (m_upper == 0) return m_textPrefix;
  char percent[64];
  std::snprintf(percent, sizeof percent, "%.0f%%", m_position * 100.0 / m_upper);
  return m_textPrefix + percent;
}

void CGradientProgressCtrl::OnPaint() {
  std::unique_ptr<fw::CDC> dc = Site().BeginPaint();
  if (!dc) return;
  const fw::Box client = Site().GetClientRect();
  if (m_lower < m_position && m_position < m_upper) {
    // The fraction is of the upper bound, not of the span.
    const float barRight = static_cast<float>(static_cast<double>(m_position) / m_upper * client.right);
    DrawGradient(*dc, client, static_cast<int>(barRight));
    if (m_showText) {
      dc->SetTextColor(m_textColour);
      dc->SetBkMode(fw::BkMode::Transparent);
      dc->DrawText(Caption(), client, fw::kDtCenter | fw::kDtVCenter | fw::kDtSingleLine);
    }
  } else {
    dc->FillSolidRect(client, dc->Look().GetSysColor(fw::kColorBtnFace));
  }
}

void CGradientProgressCtrl::DrawGradient(fw::CDC& dc, const fw::Box& client, int barRight) {
  CMemDC memDC(dc);
  const int dR = fw::RedOf(m_endColour) - fw::RedOf(m_startColour);
  const int dG = fw::GreenOf(m_endColour) - fw::GreenOf(m_startColour);
  const int dB = fw::BlueOf(m_endColour) - fw::BlueOf(m_startColour);
  const int n = std::max({std::abs(dR), std::abs(dG), std::abs(dB), 1});
  const float w = static_cast<float>(client.right) / static_cast<float>(n);
  const float sR = static_cast<float>(dR) / static_cast<float>(n);
  const float sG = static_cast<float>(dG) / static_cast<float>(n);
  const float sB = static_cast<float>(dB) / static_cast<float>(n);
  for (int i = 0; i < n; ++i) {
    const float fi = static_cast<float>(i);
    const fw::Box band{static_cast<int>(fi * w), 0, static_cast<int>((fi + 1.0f) * w), client.bottom + 1};
    const fw::Colour colour = fw::Rgb(static_cast<int>(static_cast<float>(fw::RedOf(m_startColour)) + fi * sR),
                                      static_cast<int>(static_cast<float>(fw::GreenOf(m_startColour)) + fi * sG),
                                      static_cast<int>(static_cast<float>(fw::BlueOf(m_startColour)) + fi * sB));
    memDC.FillSolidRect(band, colour);
    if (band.right > barRight) {
      memDC.FillSolidRect({band.right, 0, client.right, client.bottom}, m_backgroundColour);
      break;
    }
  }
}

}  // namespace controls
