#pragma once
// The station's full-screen view on a terminal, drawn with ncurses (the
// terminal's own description from terminfo, redrawn in place): a line of
// totals at the top, then one block per slot with its port, what it does
// now, its board's serial number and label, a large PASS or FAIL and, on a
// failure, its cause in one line. The bell rings on every failed board.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "framework/ui_language.h"
#include "frontend/station.h"

namespace fe {

class StationScreen {
 public:
  // The view on standard output; null when the terminal cannot take one (no TERM, no terminfo entry).
  static std::unique_ptr<StationScreen> Open(fw::UiLanguage language, int busyTextId);
  ~StationScreen();  // the terminal as it was
  StationScreen(const StationScreen&) = delete;
  StationScreen& operator=(const StationScreen&) = delete;

  void Draw(const std::vector<SlotTally>& slots, std::int64_t elapsedMs);
  // A key the operator pressed within waitMs; -1 when none.
  int ReadKey(int waitMs);
  static constexpr int kEnter = 0x157;  // the keypad's Enter, as ncurses names it

 private:
  StationScreen(void* screen, fw::UiLanguage language, int busyTextId);
  void DrawSlot(const SlotTally& slot, int number, int top, int left, int width, int height);

  void* m_screen;  // ncurses' SCREEN
  fw::UiLanguage m_language;
  int m_busyTextId;
  int m_failedSeen = 0;
};

// The longest start of text that fits in columns (CJK characters take two).
std::string FitColumns(std::string_view text, int columns);

}  // namespace fe
