#include "framework/protocol_text.h"

namespace fw {

bool ToProtocolBytes(std::string_view utf8, std::string& bytes) {
  bytes.assign(utf8);
  return true;
}

}  // namespace fw
