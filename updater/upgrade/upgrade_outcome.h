#pragma once
// How an upgrade ended, how its pages are paced, and the page phase as it went.
#include <cstdint>

namespace brevan {

// How the last upgrade ended, for scripts (the window itself only shows messages).
enum class UpgradeOutcome { None, Running, Completed, PortFailed, TimedOut, Refused, WrongFirmware };

// What wakes the next page step. Tick: the 25 ms timer, one step per tick at
// most, an acknowledgement counted only between ticks (the window's pacing).
// Ack: the parsed acknowledgement itself, the page frame in one write; the
// timer still runs the probing and the 1,525 ms waits.
enum class PagePacing { Tick, Ack };

// The page phase as it went, for the terminal's summary and diagnoses.
struct PageRecord {
  int slot = -1;
  int offset = -1;   // of the last page sent
  int address = 0;   // its load address
  int sendings = 0;  // how often it went out
  int pagesResent = 0;  // sendings of any page after its first
  int acksLostInTick = 0;  // tick pacing: acknowledgements that came while a tick ran, cleared with it
  std::uint32_t firstPageTick = 0;  // host tick of the first page's first sending
  std::uint32_t endTick = 0;        // host tick when the upgrade ended
};

}  // namespace brevan
