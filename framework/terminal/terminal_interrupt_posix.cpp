// Ctrl-C, and the polite requests to end (SIGTERM, SIGHUP, SIGQUIT), as the
// Cancel command: the program winds down as if the user pressed Cancel, so
// files such as a traffic trace are completed. A station runs several hosts,
// each on its thread: a signal cancels every one of them. A signal handler can
// only reach the hosts through process-wide pointers; it touches nothing but atomics.
#include <signal.h>

#include <array>
#include <atomic>
#include <mutex>

#include "framework/terminal/terminal_host.h"

namespace fw {
namespace {

constexpr std::array<int, 4> kSignals = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
constexpr std::size_t kMaxHosts = 16;  // a station's slots and a spare

std::array<std::atomic<HeadlessCore*>, kMaxHosts> g_cancelTargets{};
std::atomic<int> g_signal{0};
std::array<struct sigaction, kSignals.size()> g_previous{};
std::mutex g_registration;  // never taken in the handler
int g_registered = 0;

void OnInterrupt(int signal) {
  int none = 0;
  g_signal.compare_exchange_strong(none, signal);  // the first one tells the exit code
  for (std::atomic<HeadlessCore*>& target : g_cancelTargets)
    if (HeadlessCore* host = target.load()) host->RequestCancel();
}

}  // namespace

CancelOnInterrupt::CancelOnInterrupt(HeadlessCore& host) {
  const std::lock_guard<std::mutex> lock(g_registration);
  std::atomic<HeadlessCore*>* free = nullptr;
  for (std::atomic<HeadlessCore*>& target : g_cancelTargets) {
    if (target.load() == &host) return;
    if (free == nullptr && target.load() == nullptr) free = &target;
  }
  if (free == nullptr) return;
  if (g_registered == 0) {
    g_signal = 0;
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    for (const int s : kSignals) sigaddset(&action.sa_mask, s);
    for (std::size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &action, &g_previous[i]);
  }
  free->store(&host);
  m_target = free;
  ++g_registered;
  m_active = true;
}

CancelOnInterrupt::~CancelOnInterrupt() {
  if (!m_active) return;
  const std::lock_guard<std::mutex> lock(g_registration);
  static_cast<std::atomic<HeadlessCore*>*>(m_target)->store(nullptr);
  if (--g_registered == 0)
    for (std::size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &g_previous[i], nullptr);
}

bool CancelOnInterrupt::Interrupted() { return g_signal.load() != 0; }

int CancelOnInterrupt::Signal() { return g_signal.load(); }

}  // namespace fw
