#include <dirent.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <string_view>
#include <vector>

#include "serial/port_facts.h"
#include "serial/port_list.h"
#include "serial/posix/group_name_posix.h"
#include "serial/posix/port_holders_posix.h"

namespace serial {
namespace {

constexpr std::chrono::milliseconds kHolderScanBudget{400};
constexpr std::size_t kMaxDevEntries = 1u << 16;
constexpr std::size_t kMaxNameBuffer = 1u << 20;
constexpr int kMaxGroups = 1 << 16;

NodeKind KindOf(const struct stat& st) {
  if (S_ISCHR(st.st_mode)) return NodeKind::CharDevice;
  if (S_ISREG(st.st_mode)) return NodeKind::Regular;
  if (S_ISDIR(st.st_mode)) return NodeKind::Directory;
  return NodeKind::Other;
}

// The listing's ports, and the board and Bluetooth ports it leaves out.
std::vector<std::string> SerialPortsPresent() {
  std::vector<std::string> ports = ListCommPorts();
  struct DirCloser {
    void operator()(DIR* d) const { ::closedir(d); }
  };
  const std::unique_ptr<DIR, DirCloser> dev(::opendir("/dev"));
  if (!dev) return ports;
  std::vector<std::string> more;
  std::size_t seen = 0;
  while (const dirent* entry = ::readdir(dev.get())) {
    if (++seen > kMaxDevEntries) break;
    const std::string_view name = entry->d_name;
    if (IsNumberedName(name, "ttyAMA") || IsNumberedName(name, "rfcomm")) more.emplace_back(name);
  }
  SortByPortNumber(more);
  for (const std::string& name : more) ports.push_back("/dev/" + name);
  return ports;
}

struct Account {
  std::string name;
  gid_t primaryGroup = 0;
  bool known = false;
};

Account CurrentAccount() {
  std::vector<char> buffer(1024);
  for (;;) {
    passwd entry{};
    passwd* found = nullptr;
    const int rc = ::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found);
    if (rc == ERANGE && buffer.size() < kMaxNameBuffer) {
      buffer.resize(buffer.size() * 2);
      continue;
    }
    if (rc != 0 || found == nullptr) return {};
    return {found->pw_name, found->pw_gid, true};
  }
}

// Membership by the account database, which a new login would give.
bool ListedInGroup(const Account& account, gid_t gid) {
  if (!account.known) return false;
  if (account.primaryGroup == gid) return true;
  std::vector<gid_t> groups(64);
  for (;;) {
    int count = static_cast<int>(groups.size());
    if (::getgrouplist(account.name.c_str(), account.primaryGroup, groups.data(), &count) >= 0) {
      groups.resize(static_cast<std::size_t>(count));
      return std::find(groups.begin(), groups.end(), gid) != groups.end();
    }
    if (count <= static_cast<int>(groups.size()) || count > kMaxGroups) return false;
    groups.resize(static_cast<std::size_t>(count));
  }
}

bool SessionHasGroup(gid_t gid) {
  if (::getegid() == gid) return true;
  const int count = ::getgroups(0, nullptr);
  if (count <= 0) return false;
  std::vector<gid_t> groups(static_cast<std::size_t>(count));
  const int got = ::getgroups(count, groups.data());
  if (got < 0) return false;
  groups.resize(static_cast<std::size_t>(got));
  return std::find(groups.begin(), groups.end(), gid) != groups.end();
}

}  // namespace

PortFacts GatherPortFacts(const serial::OpenError& error) {
  PortFacts facts;
  struct stat st {};
  const bool present = ::stat(error.path.c_str(), &st) == 0;
  if (present) {
    facts.node = KindOf(st);
  } else if (errno == ENOENT || errno == ENOTDIR) {
    facts.node = NodeKind::Missing;
  }
  switch (error.kind) {
    case serial::OpenFailure::NotFound:
    case serial::OpenFailure::NotSerial:
      facts.ports = SerialPortsPresent();
      break;
    case serial::OpenFailure::AccessDenied: {
      const Account account = CurrentAccount();
      facts.user = account.known ? account.name : std::to_string(::geteuid());
      if (present) {
        facts.group = posix::GroupNameOf(st.st_gid).value_or(std::to_string(st.st_gid));
        facts.modeKnown = true;
        facts.mode = static_cast<unsigned>(st.st_mode & 07777);
        facts.userListedInGroup = ListedInGroup(account, st.st_gid);
        facts.sessionHasGroup = SessionHasGroup(st.st_gid);
      } else {
        facts.group = error.permissionGroup;  // a directory on the way refuses us
      }
      break;
    }
    case serial::OpenFailure::Busy: {
      posix::HolderScan scan = posix::FindPortHolders("/proc", error.path, kHolderScanBudget);
      facts.holders = std::move(scan.holders);
      facts.holdersComplete = scan.complete;
      break;
    }
    case serial::OpenFailure::None:
    case serial::OpenFailure::Other:
      break;
  }
  return facts;
}

}  // namespace serial
