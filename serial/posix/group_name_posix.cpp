#include "serial/posix/group_name_posix.h"

#include <grp.h>

#include <cerrno>
#include <cstddef>
#include <vector>

namespace serial::posix {
namespace {

constexpr std::size_t kMaxNameBuffer = 1u << 20;

}  // namespace

std::optional<std::string> GroupNameOf(gid_t gid) {
  std::vector<char> buffer(1024);
  for (;;) {
    group entry{};
    group* found = nullptr;
    const int rc = ::getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found);
    if (rc == ERANGE && buffer.size() < kMaxNameBuffer) {
      buffer.resize(buffer.size() * 2);
      continue;
    }
    if (rc != 0 || found == nullptr) return std::nullopt;
    return std::string(found->gr_name);
  }
}

}  // namespace serial::posix
