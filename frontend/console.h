#pragma once
// The terminal a front-end runs on: its two streams, whether each is a
// terminal, and the language people read.
#include <ostream>

#include "framework/ui_language.h"

namespace fe {

struct Console {
  std::ostream& out;
  std::ostream& err;
  bool outIsTerminal = false;
  bool errIsTerminal = false;
  fw::UiLanguage language = fw::UiLanguage::English;
};

}  // namespace fe
