#pragma once
// Where things live on the running platform.
#include <string>

namespace fw {

// Full path of the running program file (UTF-8); empty when unknown.
std::string ModuleFilePath();

// Directory for temporary files, without a trailing separator.
std::string TemporaryDirectory();

// This computer's name (a station's default name); empty when unknown.
std::string HostName();

// Joins a directory and a file name with the platform's separator.
std::string JoinPath(const std::string& dir, const std::string& name);

}  // namespace fw
