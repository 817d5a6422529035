#include "controls/hover_edit.h"

#include <memory>

namespace controls {

CHoverEdit::CHoverEdit() = default;
CHoverEdit::~CHoverEdit() = default;

std::intptr_t CHoverEdit::WindowProc(unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) {
  if (msg == fw::kWmNcPaint) {
    OnNcPaint();  // the default frame is not drawn
    return 0;
  }
  return CTrackControl::WindowProc(msg, wparam, lparam);
}

void CHoverEdit::OnHoverEnter() { Site().RedrawWindow(fw::kRdwInvalidate | fw::kRdwFrame); }
void CHoverEdit::OnHoverLeave() { Site().RedrawWindow(fw::kRdwInvalidate | fw::kRdwFrame); }

void CHoverEdit::OnNcPaint() {
  std::unique_ptr<fw::CDC> dc = Site().GetWindowDC();
  if (!dc) return;
  const fw::Box window = Site().GetWindowRect();
  const fw::Box all{0, 0, window.Width(), window.Height()};
  if (m_hovering == 1) dc->Rectangle(all);  // the fresh context's pen and brush: black outline, white inside
  else dc->DrawEdge(all, fw::kEdgeSunken, fw::kBfRect | fw::kBfFlat);
}

}  // namespace controls
