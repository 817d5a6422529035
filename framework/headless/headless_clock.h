#pragma once
// The headless core's clock, in microseconds.
//
// Virtual (the test host): time moves only when the host advances it or the
// program sleeps; every period of an advanced span gets its tick, in order.
// Real (the terminal host): time follows the steady clock, Sleep really
// sleeps, and a timer that fell overdue by several periods (the process was
// stopped, the machine suspended or loaded) fires once and then keeps its
// schedule, as the platform folds pending timer ticks into one.
#include <chrono>
#include <cstdint>

namespace fw {

enum class HostClock { Virtual, Real };

class HeadlessClock {
 public:
  explicit HeadlessClock(HostClock kind);

  HostClock Kind() const { return m_kind; }
  bool Real() const { return m_kind == HostClock::Real; }
  // The host's time: where the last advance, sleep or wait left it.
  std::uint64_t Now() const { return m_now; }
  // The steady clock since this clock was made (the real clock's source).
  std::uint64_t SteadyNow() const;
  // Moves the host's time forward to at (never back).
  void MoveTo(std::uint64_t at);
  // Sets the host's time: a child dialog's host starts at its parent's time,
  // a real clock catches up with the steady clock when a dialog starts.
  void Set(std::uint64_t at) { m_now = at; }
  void Sleep(unsigned ms);
  std::uint32_t TickCount() const;
  // When a periodic timer that was due at due and fired at now falls due next.
  std::uint64_t NextDue(std::uint64_t due, std::uint64_t period, std::uint64_t now) const;

 private:
  HostClock m_kind;
  std::chrono::steady_clock::time_point m_start;
  std::uint64_t m_now = 0;
};

}  // namespace fw
