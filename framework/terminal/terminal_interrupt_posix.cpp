// Ctrl-C as the Cancel command. A signal handler can only reach the host
// through a process-wide pointer; it touches nothing but an atomic.
#include <signal.h>

#include <atomic>

#include "framework/terminal/terminal_host.h"

namespace fw {
namespace {

std::atomic<HeadlessHost*> g_cancelTarget{nullptr};
std::atomic<int> g_interrupted{0};
struct sigaction g_previous {};

void OnInterrupt(int) {
  g_interrupted = 1;
  if (HeadlessHost* host = g_cancelTarget.load()) host->RequestCancel();
}

}  // namespace

CancelOnInterrupt::CancelOnInterrupt(HeadlessHost& host) {
  HeadlessHost* expected = nullptr;
  if (!g_cancelTarget.compare_exchange_strong(expected, &host)) return;
  g_interrupted = 0;
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, &g_previous);
  m_active = true;
}

CancelOnInterrupt::~CancelOnInterrupt() {
  if (!m_active) return;
  sigaction(SIGINT, &g_previous, nullptr);
  g_cancelTarget = nullptr;
}

bool CancelOnInterrupt::Interrupted() { return g_interrupted.load() != 0; }

}  // namespace fw
