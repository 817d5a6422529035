// The configurator on a terminal: options fill the window's controls, the
// port is opened, Set is pressed, the exit code tells how the board took it.
#include <unistd.h>

#include <iostream>

#include "configurator/app/torvik_terminal.h"
#include "framework/command_line.h"

int main(int argc, char** argv) {
  torvik::TorvikTerminalRun run{isatty(STDOUT_FILENO) == 1, isatty(STDERR_FILENO) == 1, isatty(STDIN_FILENO) == 1,
                                &std::cin};
  return torvik::RunTorvikTerminal(fw::CommandLineArguments(argc, argv), run, std::cout, std::cerr);
}
