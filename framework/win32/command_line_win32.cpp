#include <windows.h>
#include <shellapi.h>

#include "framework/command_line.h"
#include "framework/win32/wide_text.h"

namespace fw {

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) return argc < 1 ? std::vector<std::string>{} : std::vector<std::string>(argv + 1, argv + argc);
  std::vector<std::string> args;
  for (int i = 1; i < count; ++i) args.push_back(win32::Narrow(wide[i]));
  LocalFree(wide);
  return args;
}

}  // namespace fw
