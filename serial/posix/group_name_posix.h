#pragma once
// The account database's name for a group: the one lookup behind the
// engine's OpenError::permissionGroup and the open-failure facts.
#include <sys/types.h>

#include <optional>
#include <string>

namespace serial::posix {

// Nothing when the group has no name (or the database cannot be read).
std::optional<std::string> GroupNameOf(gid_t gid);

}  // namespace serial::posix
