#pragma once
// The configurator's dialog templates as data: the main window and the
// about box (Chinese only, as all of the program's texts).
#include "configurator/resources/torvik_ids.h"
#include "framework/dialog_host.h"

namespace torvik {

fw::DialogTemplate TorvikMainTemplate();
fw::DialogTemplate TorvikAboutTemplate();

}  // namespace torvik
