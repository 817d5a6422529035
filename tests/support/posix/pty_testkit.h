#pragma once
// For the tests and benchmarks of the POSIX port, not the programs: a
// pseudo-terminal pair whose master plays the far end, a plain `cat` reading
// a pty as the baseline, process figures, and running code without root's
// privileges. The header stays free of platform headers.
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "serial/posix/posix_line.h"

namespace serial::posix::testkit {

// What a line image says, decoded independently of the mapping under test.
struct LineFacts {
  std::uint32_t inRate = 0, outRate = 0;
  bool anyRate = false;  // the rate is given in numbers, not a Bnnn code
  int dataBits = 0;
  bool parity = false, oddParity = false, markSpace = false;
  bool twoStopBits = false, rtsCts = false;
  bool xonOutput = false, xonInput = false, parityCheck = false;
  bool raw = false;  // no echo, no line editing, no signals, no output processing, no input mapping
  bool local = false, receiverOn = false;
  std::uint8_t startChar = 0, stopChar = 0, vmin = 0, vtime = 0;
};
LineFacts Describe(const LineImage& image);
// A line as a freshly opened terminal has it: cooked, 38400 baud, 8 bits.
LineImage CookedLine();
void SetStandardRate(LineImage& image, std::uint32_t rate);  // 9600, 19200, 38400, 57600 or 115200
void SetMinChars(LineImage& image, std::uint8_t count);     // VMIN

class CPtyPair {
 public:
  CPtyPair();
  ~CPtyPair();
  CPtyPair(const CPtyPair&) = delete;
  CPtyPair& operator=(const CPtyPair&) = delete;

  bool Ok() const { return m_master >= 0; }
  const std::string& SlavePath() const { return m_slavePath; }

  // Writes `bytes` from the far end, waiting for room up to timeoutMs in
  // all; the count written (less when the time ran out or the pty failed).
  std::size_t Send(std::span<const std::uint8_t> bytes, int timeoutMs);
  // What reaches the far end: returns when `count` bytes came, timeoutMs
  // passed, or (quietMs >= 0) nothing came for quietMs.
  std::vector<std::uint8_t> Receive(std::size_t count, int timeoutMs, int quietMs = -1);
  void CloseMaster();

  // The slave's line as the kernel holds it (the master reaches it).
  bool ReadSlaveLine(LineImage& image) const;
  bool WriteSlaveLine(const LineImage& image) const;
  bool ChmodSlave(unsigned mode) const;
  bool SetSlaveGroup(const std::string& groupName) const;
  // How another program may hold the port: TIOCEXCL alone, or flock alone.
  enum class Hold { None, Exclusive, Lock };
  // The slave opened raw for a plain reader; -1 on failure. The caller closes it.
  int OpenSlaveRaw(Hold hold = Hold::None) const;
  static void CloseFd(int fd);

 private:
  int m_master = -1;
  std::string m_slavePath;
};

// `cat` reading an open pty slave on its standard input, its output piped back.
class CCatReader {
 public:
  explicit CCatReader(int inputFd);
  ~CCatReader();
  CCatReader(const CCatReader&) = delete;
  CCatReader& operator=(const CCatReader&) = delete;

  bool Ok() const { return m_pid > 0; }
  // Reads what cat passes on until `count` bytes came or timeoutMs passed; the count.
  std::size_t Drain(std::size_t count, int timeoutMs);

 private:
  int m_pid = -1;
  int m_out = -1;
};

// A program started with its standard output piped back; stopped and reaped
// when destroyed.
class CChildProcess {
 public:
  explicit CChildProcess(const std::vector<std::string>& argv);
  ~CChildProcess();
  CChildProcess(const CChildProcess&) = delete;
  CChildProcess& operator=(const CChildProcess&) = delete;

  bool Ok() const { return m_pid > 0; }
  // The next line it prints within timeoutMs, without the newline; empty if none came.
  std::string ReadLine(int timeoutMs);
  void Kill();  // at once (SIGKILL), as a crash would
  void Stop();  // asked to end (SIGTERM)
  void Signal(int signal) const;  // sent, not waited for

 private:
  void End(int signal);
  int m_pid = -1;
  int m_out = -1;
  std::string m_buffered;
};

std::uint64_t ProcessCpuMicros();  // user + system time of the whole process
int ThreadNice();                  // of the calling thread
bool IsRoot();
std::string PrimaryGroupName();
// Runs `body` in a child process that holds no privileges (as root: user and
// group 65534, no supplementary groups); its result (0..255), or -1 when the
// child could not be made or did not end normally.
int RunUnprivileged(const std::function<int()>& body);

}  // namespace serial::posix::testkit
