#pragma once
// Text from the store made safe for a page: escaped for HTML text and
// attribute values alike, and percent-encoded for the parts of a URL.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "records/record_store.h"

namespace records::web {

// &, <, >, " and ' as entities: safe in text and in quoted attributes.
std::string EscapeHtml(std::string_view text);

// Every byte but A-Z a-z 0-9 - . _ ~ as %XX: safe as a path segment or a query value.
std::string PercentEncode(std::string_view text);

// name=value pairs joined with '&', each part percent-encoded; empty values are left out.
std::string QueryString(const std::vector<std::pair<std::string, std::string>>& pairs);

// A login with its password part (after the first ':') masked.
std::string MaskLogin(std::string_view login);

// The board's password (its login's part after the first ':') masked wherever
// else the board holds it: in the settings' values and in the bytes of the
// items that carried it to the receiver.
void MaskPassword(BoardDetail& detail);

}  // namespace records::web
