#pragma once
// The store's file holds logins: its directories are made for the user alone
// (0700) and the file is created readable by the user alone (0600).
#include <string>

namespace records {

// Creates the missing directories of path's parent and the file itself when
// it does not exist; false with the system's words in error.
bool EnsurePrivateFile(const std::string& path, std::string& error);

}  // namespace records
