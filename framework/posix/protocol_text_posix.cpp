#include "framework/protocol_text.h"

namespace fw {

bool ToProtocolBytes(std::string_view utf8, std::string& bytes) {
  bytes.assign(utf8);
  return true;
}

std::string ProtocolBytesToUtf8(std::string_view bytes) { return std::string(bytes); }

}  // namespace fw
