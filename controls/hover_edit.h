#pragma once
// An edit control that draws its own border: a plain black outline while the
// mouse is over it, a flat sunken edge otherwise.
#include <cstdint>

#include "controls/track_control.h"

namespace controls {

class CHoverEdit : public CTrackControl<fw::CControlClass> {
 public:
  CHoverEdit();
  ~CHoverEdit() override;

  std::intptr_t WindowProc(unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) override;

 protected:
  void OnHoverEnter() override;
  void OnHoverLeave() override;

 private:
  void OnNcPaint();
};

}  // namespace controls
