// The updater on a terminal: options fill the window's controls, UPDATE is
// pressed, the exit code tells how the upgrade ended.
#include <unistd.h>

#include <iostream>

#include "framework/command_line.h"
#include "framework/platform_paths.h"
#include "updater/app/brevan_terminal.h"

int main(int argc, char** argv) {
  brevan::TerminalRun run{fw::SystemUiLanguage(), fw::ModuleFilePath(), fw::CProfile::ForProgram("brevan"),
                          isatty(STDOUT_FILENO) == 1, isatty(STDERR_FILENO) == 1};
  return brevan::RunBrevanTerminal(fw::CommandLineArguments(argc, argv), run, std::cout, std::cerr);
}
