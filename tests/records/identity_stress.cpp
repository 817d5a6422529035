// records-identity-stress URL PROCESSES COUNT: PROCESSES processes each take
// COUNT identities from one store at once; then every serial number, local id
// and login must be distinct and the store must hold PROCESSES x COUNT boards.
// Exit 0 when they are, 1 when not, 2 on a store error.
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <set>
#include <string>
#include <vector>

#include "records/open_store.h"
#include "records/records_strings.h"

namespace {

int Child(const std::string& url, const std::string& tag, int index, int count, const std::string& out) {
  records::OpenOptions options;
  options.busyTimeoutMs = 120'000;
  auto opened = records::OpenStore(url, options);
  if (!opened.Ok()) {
    std::cerr << "process " << index << ": " << records::Describe(opened.Error(), fw::UiLanguage::English) << "\n";
    return 2;
  }
  std::ofstream file(out);
  for (int i = 0; i < count; ++i) {
    records::IdentityRequest request;
    request.station = tag + std::to_string(index);
    request.port = "/dev/ttyS" + std::to_string(index);
    request.operatorName = "stress";
    request.date = records::LocalDate{2026, 12, 9};
    request.form = records::SerialForm::Wide;
    auto taken = opened.Value()->TakeIdentity(request);
    if (!taken.Ok()) {
      std::cerr << "process " << index << ": " << records::Describe(taken.Error(), fw::UiLanguage::English) << "\n";
      return 2;
    }
    file << taken.Value().serialNumber << ' ' << taken.Value().localId << ' ' << taken.Value().login << '\n';
  }
  return file.good() ? 0 : 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::cerr << "usage: records-identity-stress URL PROCESSES COUNT WORKDIR\n";
    return 64;
  }
  const std::string url = argv[1];
  const int processes = std::atoi(argv[2]);
  const int count = std::atoi(argv[3]);
  const std::string work = argv[4];
  if (url.empty() || processes < 1 || count < 1) {
    std::cerr << "records-identity-stress: an empty URL (it would mean the default store) or no work\n";
    return 64;
  }
  // Its stations' names: this run's boards told apart from other tests' in a shared store.
  const std::string tag = "stress-" + std::to_string(::getpid()) + "-";
  const auto start = std::chrono::steady_clock::now();
  std::vector<pid_t> children;
  for (int p = 0; p < processes; ++p) {
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(Child(url, tag, p, count, work + "/taken-" + std::to_string(p)));
    children.push_back(pid);
  }
  bool failed = false;
  for (pid_t pid : children) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) failed = true;
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (failed) return 2;

  std::set<std::string> serials, localIds, logins;
  std::size_t lines = 0;
  for (int p = 0; p < processes; ++p) {
    std::ifstream in(work + "/taken-" + std::to_string(p));
    std::string serial, localId, login;
    while (in >> serial >> localId >> login) {
      ++lines;
      serials.insert(serial);
      localIds.insert(localId);
      logins.insert(login);
    }
  }
  auto opened = records::OpenStore(url);
  if (!opened.Ok()) {
    std::cerr << records::Describe(opened.Error(), fw::UiLanguage::English) << "\n";
    return 2;
  }
  std::size_t boards = 0;
  std::set<std::string> stored;
  // The store may be shared with other tests: only this run's stations count.
  const records::StoreError e = opened.Value()->ForEachBoard({}, [&](const records::BoardRow& b) {
    if (!b.station.starts_with(tag)) return;
    ++boards;
    stored.insert(b.serialNumber);
  });
  if (!e.Ok()) return 2;
  const std::size_t expected = static_cast<std::size_t>(processes) * static_cast<std::size_t>(count);
  std::printf("%zu identities in %.2f s (%.0f/s): %zu serial numbers, %zu local ids, %zu logins distinct; "
              "%zu boards in the store\n",
              lines, seconds, static_cast<double>(lines) / seconds, serials.size(), localIds.size(), logins.size(),
              boards);
  const bool ok = lines == expected && serials.size() == expected && localIds.size() == expected &&
                  logins.size() == expected && boards == expected && stored == serials;
  return ok ? 0 : 1;
}
