#include "framework/headless/headless_clock.h"

#include <algorithm>
#include <thread>

namespace fw {

HeadlessClock::HeadlessClock(HostClock kind) : m_kind(kind), m_start(std::chrono::steady_clock::now()) {}

std::uint64_t HeadlessClock::SteadyNow() const {
  return static_cast<std::uint64_t>(
      std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - m_start).count());
}

void HeadlessClock::MoveTo(std::uint64_t at) { m_now = std::max(m_now, at); }

void HeadlessClock::Sleep(unsigned ms) {
  if (Real()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    m_now = std::max(m_now, SteadyNow());
  } else {
    m_now += std::uint64_t{ms} * 1000;
  }
}

std::uint32_t HeadlessClock::TickCount() const {
  const std::uint64_t now = Real() ? SteadyNow() : m_now;
  return static_cast<std::uint32_t>(now / 1000);
}

std::uint64_t HeadlessClock::NextDue(std::uint64_t due, std::uint64_t period, std::uint64_t now) const {
  if (!Real() || period == 0) return m_now + period;
  // Ticks missed while the UI thread could not run fold into the one just
  // fired, as the platform's pending WM_TIMER does; the schedule keeps its phase.
  const std::uint64_t missed = now > due ? (now - due) / period : 0;
  return due + (missed + 1) * period;
}

}  // namespace fw
