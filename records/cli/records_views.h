#pragma once
// How `records list` and `records show` put rows before a person: an aligned
// table on a terminal, tab-separated lines with a heading row otherwise.
#include <ostream>
#include <string>
#include <vector>

#include "framework/ui_language.h"
#include "records/record_store.h"

namespace records {

class RowTable {
 public:
  RowTable(std::vector<std::string> headings, bool aligned, std::ostream& out);
  void Row(std::vector<std::string> cells);  // streamed at once unless aligned
  void Finish();                             // the aligned table, when it is one

 private:
  void Write(const std::vector<std::string>& cells);

  std::vector<std::string> m_headings;
  bool m_aligned;
  std::ostream& m_out;
  std::vector<std::vector<std::string>> m_rows;
  std::vector<std::size_t> m_widths;
};

std::vector<std::string> BoardCells(const BoardRow& row);
std::vector<std::string> UpgradeCells(const UpgradeRow& row);

void PrintBoard(const BoardDetail& detail, fw::UiLanguage language, std::ostream& out);
void PrintUpgrade(const UpgradeRecord& upgrade, fw::UiLanguage language, std::ostream& out);

// An entry of one line per item, split.
std::vector<std::string> Lines(std::string_view text);

}  // namespace records
