#pragma once
// Reads the receiver-type file: comma-separated lines of name, rate and the
// two LED parameters, fields taken verbatim (the line's LF stays on the last
// field present), lines longer than 252 characters read in pieces of 253,
// at most 91 rows. The file is only read: a read-only file gives its rows.
// With no row, the built-in row "82", "9600", "HIGH", "HIGH".
#include <string>

#include "configurator/type_file/receiver_type.h"

inline constexpr const char* kTypeFileName = "gprscdmaset.ini";

// Fills table from path; returns the number of rows (at least 1).
int ReadReceiverTypes(const std::string& path, ReceiverTypeTable& table);

// One line (with its LF, if any) split into a row.
ReceiverType SplitTypeLine(std::string_view line);
