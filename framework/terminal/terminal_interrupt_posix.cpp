// Ctrl-C, and the polite requests to end (SIGTERM, SIGHUP, SIGQUIT), as the
// Cancel command: the program winds down as if the user pressed Cancel, so
// files such as a traffic trace are completed. A signal handler can only reach
// the host through a process-wide pointer; it touches nothing but atomics.
#include <signal.h>

#include <array>
#include <atomic>

#include "framework/terminal/terminal_host.h"

namespace fw {
namespace {

constexpr std::array<int, 4> kSignals = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

std::atomic<HeadlessCore*> g_cancelTarget{nullptr};
std::atomic<int> g_signal{0};
std::array<struct sigaction, kSignals.size()> g_previous{};

void OnInterrupt(int signal) {
  int none = 0;
  g_signal.compare_exchange_strong(none, signal);  // the first one tells the exit code
  if (HeadlessCore* host = g_cancelTarget.load()) host->RequestCancel();
}

}  // namespace

CancelOnInterrupt::CancelOnInterrupt(HeadlessCore& host) {
  HeadlessCore* expected = nullptr;
  if (!g_cancelTarget.compare_exchange_strong(expected, &host)) return;
  g_signal = 0;
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  for (const int s : kSignals) sigaddset(&action.sa_mask, s);
  for (std::size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &action, &g_previous[i]);
  m_active = true;
}

CancelOnInterrupt::~CancelOnInterrupt() {
  if (!m_active) return;
  for (std::size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &g_previous[i], nullptr);
  g_cancelTarget = nullptr;
}

bool CancelOnInterrupt::Interrupted() { return g_signal.load() != 0; }

int CancelOnInterrupt::Signal() { return g_signal.load(); }

}  // namespace fw
