#pragma once
// What the system tells about a port that did not open, gathered by the
// platform's file and put into words by ComposePortAdvice (frontend/port_advice.h).
#include <string>
#include <vector>

#include "serial/serial_port.h"

namespace serial {

enum class NodeKind { Unknown, Missing, CharDevice, Terminal, Regular, Directory, Other };

struct PortHolder {
  long pid = 0;
  std::string name;  // the process's command name; empty when unreadable
};

struct PortFacts {
  NodeKind node = NodeKind::Unknown;
  std::vector<std::string> ports;  // serial ports present, for a path that is none

  // Permission: the node's group (name, or number when it has none), its
  // mode bits, the user, and where the user stands with the group.
  std::string group;
  bool modeKnown = false;
  unsigned mode = 0;
  std::string user;
  bool userListedInGroup = false;  // by the account database
  bool sessionHasGroup = false;    // among this process's groups

  // In use: who holds the device; holdersComplete when every process could be looked at.
  std::vector<PortHolder> holders;
  bool holdersComplete = false;
};

// Platform: gathers what the error's kind calls for.
PortFacts GatherPortFacts(const OpenError& error);

}  // namespace serial
