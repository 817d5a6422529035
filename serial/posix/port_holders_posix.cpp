#include "serial/posix/port_holders_posix.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <memory>

namespace serial::posix {
namespace {

constexpr std::size_t kMaxHolders = 16;
constexpr std::size_t kMaxDescriptorsPerProcess = 1u << 16;
constexpr std::size_t kMaxLocksText = 1u << 20;
constexpr std::size_t kCommBytes = 64;
constexpr int kEntriesPerClockLook = 64;

struct DirCloser {
  void operator()(DIR* d) const { ::closedir(d); }
};
using DirPtr = std::unique_ptr<DIR, DirCloser>;

// A directory under `parent` (a descriptor) opened for reading; null when refused.
DirPtr OpenDirAt(int parent, const char* name) {
  const int fd = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  DIR* dir = ::fdopendir(fd);
  if (dir == nullptr) {
    const int error = errno;
    ::close(fd);
    errno = error;
  }
  return DirPtr(dir);
}

bool ParseNumber(std::string_view text, long& value, int base = 10) {
  if (text.empty()) return false;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  return ec == std::errc{} && end == text.data() + text.size();
}

// Reads a small file whole, up to `limit` bytes.
std::string ReadSmall(const std::string& path, std::size_t limit) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return {};
  std::string text;
  std::array<char, 4096> chunk{};
  while (text.size() < limit) {
    const ssize_t n = ::read(fd, chunk.data(), std::min(chunk.size(), limit - text.size()));
    if (n <= 0) break;
    text.append(chunk.data(), static_cast<std::size_t>(n));
  }
  ::close(fd);
  return text;
}

class Budget {
 public:
  explicit Budget(std::chrono::milliseconds budget) : m_end(std::chrono::steady_clock::now() + budget) {}
  // Looks at the clock every few entries only.
  bool Spent() {
    if (++m_count % kEntriesPerClockLook != 0) return m_spent;
    m_spent = m_spent || std::chrono::steady_clock::now() >= m_end;
    return m_spent;
  }

 private:
  std::chrono::steady_clock::time_point m_end;
  int m_count = 0;
  bool m_spent = false;
};

// Whether one of the process's descriptors links to target; false also when
// its descriptors are hidden from us (then `hidden`).
bool HasDescriptorOn(int procFd, const char* pid, std::string_view target, Budget& budget, bool& hidden) {
  std::string fdDir = pid;
  fdDir += "/fd";
  const DirPtr dir = OpenDirAt(procFd, fdDir.c_str());
  if (!dir) {
    hidden = errno != ENOENT && errno != ESRCH;  // else the process has just ended
    return false;
  }
  const int dirFd = ::dirfd(dir.get());
  std::array<char, PATH_MAX> link{};
  std::size_t seen = 0;
  while (const dirent* entry = ::readdir(dir.get())) {
    if (entry->d_name[0] == '.') continue;
    if (++seen > kMaxDescriptorsPerProcess || budget.Spent()) {
      hidden = true;
      return false;
    }
    const ssize_t n = ::readlinkat(dirFd, entry->d_name, link.data(), link.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= link.size()) continue;
    if (std::string_view(link.data(), static_cast<std::size_t>(n)) == target) return true;
  }
  return false;
}

void AddHolder(HolderScan& scan, const std::string& procRoot, long pid) {
  if (pid <= 0 || scan.holders.size() >= kMaxHolders) return;
  const bool known = std::any_of(scan.holders.begin(), scan.holders.end(),
                                 [pid](const PortHolder& h) { return h.pid == pid; });
  if (!known) scan.holders.push_back({pid, CommandName(procRoot, pid)});
}

}  // namespace

HolderScan FindDescriptorHolders(const std::string& procRoot, std::string_view target,
                                 std::chrono::milliseconds budget) {
  HolderScan scan;
  const int procFd = ::open(procRoot.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (procFd < 0) {
    scan.complete = false;
    return scan;
  }
  const DirPtr proc(::fdopendir(procFd));
  if (!proc) {
    ::close(procFd);
    scan.complete = false;
    return scan;
  }
  Budget clock(budget);
  while (const dirent* entry = ::readdir(proc.get())) {
    long pid = 0;
    if (!ParseNumber(entry->d_name, pid)) continue;
    if (clock.Spent()) {
      scan.complete = false;
      break;
    }
    bool hidden = false;
    if (HasDescriptorOn(procFd, entry->d_name, target, clock, hidden)) AddHolder(scan, procRoot, pid);
    if (hidden) scan.complete = false;
  }
  return scan;
}

std::vector<long> ParseLockHolders(std::string_view locks, unsigned major, unsigned minor, unsigned long long inode) {
  std::vector<long> pids;
  while (!locks.empty() && pids.size() < kMaxHolders) {
    const std::size_t lf = locks.find('\n');
    std::string_view line = locks.substr(0, lf);
    locks.remove_prefix(lf == std::string_view::npos ? locks.size() : lf + 1);
    // "1: FLOCK  ADVISORY  WRITE 1234 00:1a:5 0 EOF"; a waiter has "->" after the number.
    std::array<std::string_view, 8> fields{};
    std::size_t count = 0;
    while (count < fields.size()) {
      const std::size_t start = line.find_first_not_of(' ');
      if (start == std::string_view::npos) break;
      line.remove_prefix(start);
      const std::size_t end = std::min(line.find(' '), line.size());
      fields[count++] = line.substr(0, end);
      line.remove_prefix(end);
    }
    if (count < 6 || fields[1] == "->") continue;
    long pid = 0;
    if (!ParseNumber(fields[4], pid) || pid <= 0) continue;
    const std::string_view file = fields[5];
    const std::size_t c1 = file.find(':');
    const std::size_t c2 = c1 == std::string_view::npos ? c1 : file.find(':', c1 + 1);
    if (c2 == std::string_view::npos) continue;
    long maj = 0, min = 0, ino = 0;
    if (!ParseNumber(file.substr(0, c1), maj, 16) || !ParseNumber(file.substr(c1 + 1, c2 - c1 - 1), min, 16) ||
        !ParseNumber(file.substr(c2 + 1), ino)) {
      continue;
    }
    if (static_cast<unsigned long>(maj) == major && static_cast<unsigned long>(min) == minor &&
        static_cast<unsigned long long>(ino) == inode && std::find(pids.begin(), pids.end(), pid) == pids.end()) {
      pids.push_back(pid);
    }
  }
  return pids;
}

HolderScan FindPortHolders(const std::string& procRoot, const std::string& devicePath,
                           std::chrono::milliseconds budget) {
  HolderScan scan;
  struct stat st {};
  if (::stat(devicePath.c_str(), &st) == 0) {
    const std::string locks = ReadSmall(procRoot + "/locks", kMaxLocksText);
    for (const long pid : ParseLockHolders(locks, ::major(st.st_dev), ::minor(st.st_dev), st.st_ino)) {
      AddHolder(scan, procRoot, pid);
    }
  }
  // Descriptor links read as the resolved path.
  std::string target = devicePath;
  if (const std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(devicePath.c_str(), nullptr), &std::free);
      resolved) {
    target = resolved.get();
  }
  HolderScan byDescriptor = FindDescriptorHolders(procRoot, target, budget);
  for (const PortHolder& holder : byDescriptor.holders) AddHolder(scan, procRoot, holder.pid);
  scan.complete = byDescriptor.complete;
  return scan;
}

std::string CommandName(const std::string& procRoot, long pid) {
  std::string name = ReadSmall(procRoot + "/" + std::to_string(pid) + "/comm", kCommBytes);
  while (!name.empty() && (name.back() == '\n' || name.back() == '\0')) name.pop_back();
  return name;
}

}  // namespace serial::posix
