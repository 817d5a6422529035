#pragma once
// The bank as the updater would show it, one line per slot.
#include <ostream>

#include "framework/ui_language.h"
#include "updater/image_bank/image_bank.h"

namespace brevan {

// "<slot> <module> <version or -> <length>" per slot, then the load mode line.
void PrintBankListing(std::ostream& out, fw::UiLanguage language, const CImageBank& bank);

// Version texts are 8-bit protocol bytes: printable ASCII as it is, the rest as \xNN.
std::string PrintableVersion(const std::string& text);

// Runs the start-up steps of the bank: the overlay of programPath, or, with
// imagePath given, that file. False with a message on stderr when loading
// stopped.
bool LoadBankAtStartUp(CImageBank& bank, fw::UiLanguage language, const std::string& programPath,
                       const std::string* imagePath, std::ostream& err);

}  // namespace brevan
