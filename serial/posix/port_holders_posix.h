#pragma once
// Who holds a device, as Linux's /proc tells: descriptors open on it and
// flock/POSIX locks on it. Bounded: a scan stops at its time budget.
#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include "serial/port_facts.h"

namespace serial::posix {

struct HolderScan {
  std::vector<PortHolder> holders;  // in pid order of the scan, each pid once
  bool complete = true;             // every process looked at, within the budget
};

// Processes under procRoot with a descriptor whose link reads `target` (a
// resolved path). A process whose descriptors are hidden from us, or the
// budget running out, makes the scan incomplete.
HolderScan FindDescriptorHolders(const std::string& procRoot, std::string_view target,
                                 std::chrono::milliseconds budget);

// Pids holding a granted lock on the file (its device's major:minor and its
// inode) in the text of /proc/locks; waiting locks hold nothing.
std::vector<long> ParseLockHolders(std::string_view locks, unsigned major, unsigned minor, unsigned long long inode);

// The whole scan for a device path: lock holders first, then descriptor holders.
HolderScan FindPortHolders(const std::string& procRoot, const std::string& devicePath,
                           std::chrono::milliseconds budget);

// The command name of a process (its comm), empty when unreadable.
std::string CommandName(const std::string& procRoot, long pid);

}  // namespace serial::posix
