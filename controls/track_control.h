#pragma once
// Mouse-hover tracking for any control class: asks for one hover and one
// leave notification on the first mouse move, keeps a hovering flag, and
// calls OnHoverEnter / OnHoverLeave after the base class has seen the
// notification.
#include <cstdint>

#include "framework/control_class.h"

namespace controls {

template <class T>
class CTrackControl : public T {
 public:
  static constexpr unsigned kHoverTimeMs = 1;

  CTrackControl() = default;
  ~CTrackControl() override = default;

  std::intptr_t WindowProc(unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) override {
    const std::intptr_t result = T::WindowProc(msg, wparam, lparam);
    switch (msg) {
      case fw::kWmMouseMove:
        if (m_tracking == 0 && this->Site().TrackMouseEvent(fw::kTmeHover | fw::kTmeLeave, kHoverTimeMs))
          m_tracking = 1;
        break;
      case fw::kWmMouseHover:
        m_hovering = 1;
        OnHoverEnter();
        break;
      case fw::kWmMouseLeave:
        m_hovering = 0;
        m_tracking = 0;
        OnHoverLeave();
        break;
      default:
        break;
    }
    return result;
  }

  virtual void OnHoverEnter() = 0;
  virtual void OnHoverLeave() = 0;

  std::uint8_t Tracking() const { return m_tracking; }
  std::uint8_t Hovering() const { return m_hovering; }

 protected:
  std::uint8_t m_tracking = 0;
  std::uint8_t m_hovering = 0;
};

extern template class CTrackControl<fw::CControlClass>;

}  // namespace controls
