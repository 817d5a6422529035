#include "frontend/station_screen.h"

#include <curses.h>

#include <clocale>
#include <cstdio>

#include "framework/text_format.h"
#include "frontend/station_strings.h"

namespace fe {
namespace {

static_assert(StationScreen::kEnter == KEY_ENTER);
static_assert(StationScreen::kBackspace == KEY_BACKSPACE);

enum Colours : short { kPassColour = 1, kFailColour = 2, kCauseColour = 3 };

std::string Text(fw::UiLanguage language, int id, std::initializer_list<std::string_view> args = {}) {
  return fw::FormatText(StationStrings().Lookup(language, id), args);
}

// One UTF-8 sequence at text[i]: its length in bytes and its width in columns.
std::pair<std::size_t, int> Character(std::string_view text, std::size_t i) {
  const auto lead = static_cast<unsigned char>(text[i]);
  std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  if (i + length > text.size()) length = text.size() - i;
  // Three-byte sequences from U+1100 on (CJK, full-width forms) are two columns wide.
  const int width = length >= 3 ? 2 : 1;
  return {length, width};
}

int Columns(std::string_view text) {
  int used = 0;
  for (std::size_t i = 0; i < text.size();) {
    const auto [length, width] = Character(text, i);
    used += width;
    i += length;
  }
  return used;
}

void Put(int row, int column, std::string_view text, int columns) {
  const std::string fitted = FitColumns(text, columns);
  mvaddstr(row, column, fitted.c_str());
}

}  // namespace

std::string FitColumns(std::string_view text, int columns) {
  std::string out;
  int used = 0;
  for (std::size_t i = 0; i < text.size();) {
    const auto [length, width] = Character(text, i);
    if (used + width > columns) break;
    out.append(text.substr(i, length));
    used += width;
    i += length;
  }
  return out;
}

std::unique_ptr<StationScreen> StationScreen::Open(fw::UiLanguage language, int busyTextId, int idleTextId) {
  std::setlocale(LC_CTYPE, "");  // UTF-8 texts drawn as characters
  SCREEN* screen = newterm(nullptr, stdout, stdin);
  if (screen == nullptr) return nullptr;
  set_term(screen);
  cbreak();
  noecho();
  keypad(stdscr, TRUE);
  curs_set(0);
  if (has_colors()) {
    start_color();
    use_default_colors();
    init_pair(kPassColour, COLOR_BLACK, COLOR_GREEN);
    init_pair(kFailColour, COLOR_WHITE, COLOR_RED);
    init_pair(kCauseColour, COLOR_RED, -1);
  }
  return std::unique_ptr<StationScreen>(new StationScreen(screen, language, busyTextId, idleTextId));
}

StationScreen::StationScreen(void* screen, fw::UiLanguage language, int busyTextId, int idleTextId)
    : m_screen(screen), m_language(language), m_busyTextId(busyTextId), m_idleTextId(idleTextId) {}

StationScreen::~StationScreen() {
  endwin();
  delscreen(static_cast<SCREEN*>(m_screen));
  std::fflush(stdout);
}

int StationScreen::ReadKey(int waitMs) {
  timeout(waitMs);
  const int key = getch();
  return key == ERR ? -1 : key;
}

void StationScreen::Draw(const std::vector<SlotTally>& slots, std::int64_t elapsedMs,
                         const std::optional<LabelEntry>& entry) {
  int boards = 0;
  int passed = 0;
  int failed = 0;
  for (const SlotTally& s : slots) {
    boards += s.boards;
    passed += s.passed;
    failed += s.failed;
  }
  const double hours = static_cast<double>(elapsedMs) / 3.6e6;
  const std::string perHour = hours > 0 ? std::to_string(static_cast<int>(boards / hours + 0.5)) : "--";
  const std::string yield = YieldText(passed, boards);
  erase();
  attron(A_BOLD | A_REVERSE);
  mvhline(0, 0, ' ', COLS);
  Put(0, 1,
      Text(m_language, kStationHeader,
           {std::to_string(boards), std::to_string(passed), std::to_string(failed), yield, perHour}),
      COLS - 2);
  attroff(A_BOLD | A_REVERSE);

  const int count = static_cast<int>(slots.size());
  const int columns = count > 4 ? 2 : 1;
  const int perColumn = (count + columns - 1) / columns;
  const int rows = LINES - 1 - (entry ? 1 : 0);
  const int height = perColumn > 0 ? std::min(6, rows / perColumn) : 0;
  const int width = COLS / columns;
  for (int i = 0; i < count; ++i) {
    const int column = i / perColumn;
    const int row = i % perColumn;
    const bool target = entry && entry->target == static_cast<std::size_t>(i);
    DrawSlot(slots[static_cast<std::size_t>(i)], i + 1, target, 1 + row * height, column * width, width, height);
  }
  if (entry) {
    // The label as typed so far, with the slot it goes to.
    const std::string to =
        entry->target ? std::to_string(*entry->target + 1) + " " + slots[*entry->target].port : std::string("-");
    attron(A_BOLD);
    mvhline(LINES - 1, 0, ' ', COLS);
    Put(LINES - 1, 1, Text(m_language, kStationLabelEntry, {entry->typed, to}), COLS - 2);
    attroff(A_BOLD);
  }
  refresh();
  if (failed > m_failedSeen) beep();
  m_failedSeen = failed;
}

void StationScreen::DrawSlot(const SlotTally& slot, int number, bool target, int top, int left, int width,
                             int height) {
  if (height < 2 || width < 20) return;
  const std::optional<bool> decided = slot.Verdict();
  const bool verdict = decided.has_value();
  const bool pass = decided.value_or(false);
  const std::string word = !verdict ? "" : Text(m_language, pass ? kStationPass : kStationFail);
  const int bandWidth = verdict ? std::min(16, width / 3) : 0;
  const int textWidth = width - bandWidth - 2;

  attron(A_BOLD);
  Put(top, left, (target ? ">" : " ") + std::to_string(number) + " " + slot.port + (word.empty() ? "" : "  " + word),
      textWidth + 1);
  attroff(A_BOLD);
  std::string now;
  // Waiting comes first: the count of what was sent before it is stale.
  if (slot.asksLabel)
    now = Text(m_language, kStationAsksLabel);
  else if (slot.idle)
    now = Text(m_language, m_idleTextId, {std::to_string(number)});
  else if (slot.done >= 0 && slot.total > 0)
    now = Text(m_language, m_busyTextId, {std::to_string(slot.done), std::to_string(slot.total)});
  else
    now = Text(m_language, slot.ended ? kStationDone : kStationWaiting);
  if (height > 2) Put(top + 1, left + 3, now, textWidth - 2);
  if (height > 3 && !slot.serialNo.empty())
    Put(top + 2, left + 3, Text(m_language, kStationBoardLine, {slot.serialNo, slot.label.empty() ? "-" : slot.label}),
        textWidth - 2);
  if (verdict && !pass && !slot.lastCause.empty() && height > 4) {
    attron(COLOR_PAIR(kCauseColour));
    Put(top + 3, left + 3, slot.lastCause, textWidth - 2);
    attroff(COLOR_PAIR(kCauseColour));
  } else if (!slot.lastLine.empty() && height > 4) {
    attron(A_DIM);
    Put(top + 3, left + 3, slot.lastLine, textWidth - 2);
    attroff(A_DIM);
  }
  if (verdict) {
    // The verdict large: a band of colour the height of the block, the word in its middle.
    const int bandLeft = left + width - bandWidth - 1;
    const int bandRows = std::max(1, height - 1);
    const chtype colour = has_colors() ? COLOR_PAIR(pass ? kPassColour : kFailColour) : A_REVERSE;
    attron(colour | A_BOLD);
    for (int r = 0; r < bandRows; ++r) mvhline(top + r, bandLeft, ' ', bandWidth);
    const std::string fitted = FitColumns(word, bandWidth);
    Put(top + bandRows / 2, bandLeft + std::max(0, (bandWidth - Columns(fitted)) / 2), fitted, bandWidth);
    attroff(colour | A_BOLD);
  }
}

}  // namespace fe
