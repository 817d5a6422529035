#pragma once
// torvik as a child process of a test, the way a line's station runs it: its
// standard output and error into a log file, input from a file (none by
// default), killed when the test
// ends without having reaped it. The test target defines TORVIK_PATH.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#ifndef TORVIK_PATH
#error "the test target defines TORVIK_PATH, the torvik program to run"
#endif

extern char** environ;

namespace records_testing {

// A torvik process; its output to a file.
class Torvik {
 public:
  Torvik(const std::vector<std::string>& args, const std::string& dir, const std::string& log,
         const std::string& input = "/dev/null") {
    std::vector<std::string> argv{TORVIK_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    m_pid = ::fork();
    if (m_pid == 0) {
      const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      if (fd < 0 || ::dup2(fd, 1) < 0 || ::dup2(fd, 2) < 0 || ::chdir(dir.c_str()) != 0) ::_exit(120);
      const int null = ::open(input.c_str(), O_RDONLY);
      if (null < 0 || ::dup2(null, 0) < 0) ::_exit(121);
      std::vector<char*> raw;
      for (const std::string& a : argv) raw.push_back(const_cast<char*>(a.c_str()));
      raw.push_back(nullptr);
      ::execve(raw[0], raw.data(), environ);
      ::_exit(122);
    }
  }
  ~Torvik() {
    if (m_pid > 0 && !m_reaped) {
      ::kill(m_pid, SIGKILL);
      ::waitpid(m_pid, nullptr, 0);
    }
  }
  Torvik(const Torvik&) = delete;
  Torvik& operator=(const Torvik&) = delete;
  // The exit code; -1 when it did not end within the time.
  int Wait(std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
      int status = 0;
      if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
        m_reaped = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return -1;
  }
  void Signal(int signal) { ::kill(m_pid, signal); }
  void Kill() { Signal(SIGKILL); }

 private:
  pid_t m_pid = -1;
  bool m_reaped = false;
};

inline std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace records_testing
