#pragma once
// receiver-sim's command line.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "simulator/model/device_model.h"

namespace sim {

struct DaemonOptions {
  std::string link;       // symlink to the pty's slave side
  std::string flashOut;   // the board's memory image, kept up to date
  std::string report;     // JSON record of what happened
  double exitAfterSeconds = 0;  // 0: serve until SIGINT/SIGTERM
  bool help = false;
  ModelOptions model;
};

std::string DaemonUsage();
// Fills options from argv[1..]; on a bad command line returns the message.
std::optional<std::string> ParseDaemonOptions(const std::vector<std::string_view>& args, DaemonOptions& options);

}  // namespace sim
