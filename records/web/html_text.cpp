#include "records/web/html_text.h"

#include <algorithm>

namespace records::web {

std::string EscapeHtml(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string PercentEncode(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto b = static_cast<unsigned char>(c);
    const bool plain = (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') || b == '-' ||
                       b == '.' || b == '_' || b == '~';
    if (plain) {
      out += c;
    } else {
      out += '%';
      out += kHex[b >> 4];
      out += kHex[b & 0x0F];
    }
  }
  return out;
}

std::string QueryString(const std::vector<std::pair<std::string, std::string>>& pairs) {
  std::string out;
  for (const auto& [name, value] : pairs) {
    if (value.empty()) continue;
    if (!out.empty()) out += '&';
    out += PercentEncode(name);
    out += '=';
    out += PercentEncode(value);
  }
  return out;
}

std::string MaskLogin(std::string_view login) {
  const std::size_t colon = login.find(':');
  if (colon == std::string_view::npos) return std::string(login);
  return std::string(login.substr(0, colon + 1)) + "\xE2\x80\xA2\xE2\x80\xA2\xE2\x80\xA2\xE2\x80\xA2";
}

namespace {

constexpr std::string_view kMask = "\xE2\x80\xA2\xE2\x80\xA2\xE2\x80\xA2\xE2\x80\xA2";

template <class Text>
void MaskIn(Text& text, std::string_view secret) {
  std::size_t from = 0;
  for (;;) {
    const auto at = std::search(text.begin() + from, text.end(), secret.begin(), secret.end());
    if (at == text.end()) return;
    const auto offset = static_cast<std::size_t>(at - text.begin());
    text.erase(at, at + secret.size());
    text.insert(text.begin() + offset, kMask.begin(), kMask.end());
    from = offset + kMask.size();
  }
}

}  // namespace

void MaskPassword(BoardDetail& detail) {
  const std::string& login = detail.board.login;
  const std::size_t colon = login.find(':');
  if (colon == std::string::npos || colon + 1 == login.size()) return;
  const std::string_view secret = std::string_view(login).substr(colon + 1);
  detail.board.login = MaskLogin(login);
  for (auto& setting : detail.settings) MaskIn(setting.second, secret);
  for (ItemRecord& item : detail.items) MaskIn(item.bytes, secret);
}

}  // namespace records::web
