#pragma once
// The station's full-screen view on a terminal, drawn with ncurses (the
// terminal's own description from terminfo, redrawn in place): a line of
// totals at the top, then one block per slot with its port, what it does
// now, its board's serial number and label, a large PASS or FAIL and, on a
// failure, its cause in one line. The bell rings on every failed board.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "framework/ui_language.h"
#include "frontend/station.h"

namespace fe {

// A label being typed into the view, and the slot it will go to.
struct LabelEntry {
  std::string typed;
  std::optional<std::size_t> target;
};

class StationScreen {
 public:
  // The view on standard output; null when the terminal cannot take one (no
  // TERM, no terminfo entry). idleTextId: what an idle slot shows (%1 its number).
  static std::unique_ptr<StationScreen> Open(fw::UiLanguage language, int busyTextId, int idleTextId);
  ~StationScreen();  // the terminal as it was
  StationScreen(const StationScreen&) = delete;
  StationScreen& operator=(const StationScreen&) = delete;

  // entry: with labels scanned into the view, its bottom line.
  void Draw(const std::vector<SlotTally>& slots, std::int64_t elapsedMs, const std::optional<LabelEntry>& entry);
  // A key the operator pressed within waitMs; -1 when none.
  int ReadKey(int waitMs);
  static constexpr int kEnter = 0x157;      // the keypad's Enter, as ncurses names it
  static constexpr int kBackspace = 0x107;  // ncurses' KEY_BACKSPACE

 private:
  StationScreen(void* screen, fw::UiLanguage language, int busyTextId, int idleTextId);
  void DrawSlot(const SlotTally& slot, int number, bool target, int top, int left, int width, int height);

  void* m_screen;  // ncurses' SCREEN
  fw::UiLanguage m_language;
  int m_busyTextId;
  int m_idleTextId;
  int m_failedSeen = 0;
};

// The longest start of text that fits in columns (CJK characters take two).
std::string FitColumns(std::string_view text, int columns);

}  // namespace fe
