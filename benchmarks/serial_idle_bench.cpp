// CPU time used by a process that holds a port open through the engine while
// nothing arrives: the monitor must sleep in poll, never wake on a timer.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "support/posix/pty_testkit.h"
#include "serial/engine.h"

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
  if (seconds <= 0) {
    std::fprintf(stderr, "usage: serial-idle-bench [SECONDS]\n");
    return 2;
  }
  serial::posix::testkit::CPtyPair pty;
  if (!pty.Ok()) {
    std::fprintf(stderr, "serial-idle-bench: no pseudo-terminal\n");
    return 1;
  }
  serial::CPlainEngineOwner owner;
  serial::Engine<CTTYnew> engine(owner);
  CommSettings settings;
  settings.portName = pty.SlavePath();
  settings.baudRate = 115200;
  if (engine.Open(settings) == 0) {
    std::fprintf(stderr, "serial-idle-bench: open %s: %s\n", settings.portName.c_str(),
                 engine.LastOpenError().detail.c_str());
    return 1;
  }
  const auto cpu0 = serial::posix::testkit::ProcessCpuMicros();
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  const auto cpu1 = serial::posix::testkit::ProcessCpuMicros();
  const bool stillOpen = engine.IsConnected();
  engine.Close();
  const double ms = static_cast<double>(cpu1 - cpu0) / 1000.0;
  std::printf("idle port through the engine: %.2f ms CPU (user+sys) over %.1f s (target: under 10 ms per 10 s)%s\n",
              ms, seconds, stillOpen ? "" : " -- the port closed meanwhile");
  return stillOpen ? 0 : 1;
}
