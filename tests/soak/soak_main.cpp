// Soak: many upgrades and Sets in one process on the headless host, the
// virtual clock and the in-process receiver model, each with a random module
// or settings and a random fault; every outcome must be the one the fault
// allows, and memory and descriptors must stay flat from the 10th run on.
// Usage: soak [--runs N] [--seed S]; exit 0 when every check held.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "configurator/app/torvik_terminal.h"
#include "configurator/dialog/torvik_dialog_harness.h"
#include "updater/dialog/brevan_dialog_harness.h"
#include "updater/image_bank/module_types.h"

namespace {

int g_failures = 0;
std::map<std::string, int> g_tally;  // outcomes seen, for the summary

void Fail(const char* phase, int run, const std::string& fault, const std::string& what) {
  ++g_failures;
  std::fprintf(stderr, "FAIL %s run %d (%s): %s\n", phase, run, fault.c_str(), what.c_str());
}

long ResidentKiB() {
  std::ifstream status("/proc/self/status");
  std::string key;
  while (status >> key) {
    if (key == "VmRSS:") {
      long kib = 0;
      status >> kib;
      return kib;
    }
    status.ignore(4096, '\n');
  }
  return -1;
}

int Entries(const char* dir) {
  int n = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir)) ++n;
  return n;
}

struct Sample {
  long rssKiB = 0;
  int fds = 0;
  int threads = 0;
};
Sample Take() { return {ResidentKiB(), Entries("/proc/self/fd"), Entries("/proc/self/task")}; }

// Growth of resident memory allowed between run 10 and the last run: allocator
// and page-cache noise, far below one leaked bank (640 KiB) or image per run.
constexpr long kRssToleranceKiB = 1024;

// What the fault lets an upgrade end with.
enum class Expect { Completed, TimedOut, Refused, CompletedOrTimedOut };

struct BrevanFault {
  std::string name;
  std::function<void(sim::ModelOptions&)> apply;
  Expect expect;
};

// Module names as boards report them, one per slot.
constexpr const char* kBoardNames[brevan::kModuleCount] = {"GTM900-2", "CM320-2", "EM310.00", "EM200.00", "GC864.QUAD",
                                                           "MC75.00",  "CC864.DUAL", "NET100.1", "UC864-E", "GL868-DUAL"};

BrevanFault RandomBrevanFault(std::mt19937_64& rng) {
  auto pick = [&rng](std::uint64_t lo, std::uint64_t hi) { return lo + rng() % (hi - lo + 1); };
  const std::uint64_t seed = rng();
  switch (rng() % 11) {
    case 0: return {"none", [](sim::ModelOptions&) {}, Expect::Completed};
    case 1: {  // one page's acknowledgement lost n times running: five repeats are allowed
      const auto first = static_cast<std::uint32_t>(pick(2, 60));
      const auto n = static_cast<std::uint32_t>(pick(1, 7));
      return {"lost acks x" + std::to_string(n) + " from frame " + std::to_string(first),
              [=](sim::ModelOptions& o) {
                for (std::uint32_t i = 0; i < n; ++i) o.dropAckPages.insert(first + i);
              },
              n <= 5 ? Expect::Completed : Expect::TimedOut};
    }
    case 2: {
      const auto page = static_cast<std::uint32_t>(pick(1, 60));
      const auto ms = static_cast<std::uint32_t>(pick(1, 3000));
      return {"late ack of page " + std::to_string(page) + " by " + std::to_string(ms) + " ms",
              [=](sim::ModelOptions& o) {
                o.lateAckMs = ms;
                o.lateAckPages = {page};
              },
              Expect::Completed};
    }
    case 3: return {"split replies", [=](sim::ModelOptions& o) { o.split = seed % 2 ? sim::Split::Bytes : sim::Split::Random; o.seed = seed; }, Expect::Completed};
    case 4: return {"garbage", [=](sim::ModelOptions& o) { o.garbage = true; o.seed = seed; }, Expect::Completed};
    case 5: return {"damage", [=](sim::ModelOptions& o) { o.damage = true; o.seed = seed; }, Expect::Completed};
    case 6: {
      const double level = 0.0005 * static_cast<double>(pick(1, 20));
      return {"noise to PC " + std::to_string(level), [=](sim::ModelOptions& o) { o.noise = level; o.seed = seed; },
              Expect::CompletedOrTimedOut};
    }
    case 7: return {"refusal", [](sim::ModelOptions& o) { o.refuse = true; }, Expect::Refused};
    case 8: return {"silence", [](sim::ModelOptions& o) { o.silent = true; }, Expect::TimedOut};
    case 9: {
      const auto ms = static_cast<std::uint32_t>(pick(0, 14000));
      return {"identification late by " + std::to_string(ms) + " ms", [=](sim::ModelOptions& o) { o.lateAnswerMs = ms; },
              Expect::Completed};
    }
    default: {
      const auto ms = static_cast<std::uint32_t>(pick(16000, 30000));
      return {"identification late by " + std::to_string(ms) + " ms", [=](sim::ModelOptions& o) { o.lateAnswerMs = ms; },
              Expect::TimedOut};
    }
  }
}

void BrevanRun(int run, std::mt19937_64& rng) {
  const int slot = static_cast<int>(rng() % brevan::kModuleCount);
  const BrevanFault fault = RandomBrevanFault(rng);
  const std::string what = std::string(kBoardNames[slot]) + ", " + fault.name;
  sim::ModelOptions options;
  options.module = kBoardNames[slot];
  options.softwareVersion = "0";  // no image is older than the board's
  fault.apply(options);
  brevantest::Rig rig(options);
  rig.Start();
  rig.host.Click(fw::kIdOk);
  rig.RunUntilIdle(900'000);
  const brevan::UpgradeOutcome outcome = rig.dialog->Outcome();
  using O = brevan::UpgradeOutcome;
  const bool ok = (fault.expect == Expect::Completed && outcome == O::Completed) ||
                  (fault.expect == Expect::TimedOut && outcome == O::TimedOut) ||
                  (fault.expect == Expect::Refused && outcome == O::Refused) ||
                  (fault.expect == Expect::CompletedOrTimedOut && (outcome == O::Completed || outcome == O::TimedOut));
  if (!ok) Fail("upgrade", run, what, "ended with outcome " + std::to_string(static_cast<int>(outcome)));
  static const char* kOutcomes[] = {"none", "running", "completed", "port failed", "timed out", "refused", "wrong firmware"};
  ++g_tally[std::string("upgrade ") + kOutcomes[static_cast<int>(outcome)]];
  g_tally["upgrade pages written"] += static_cast<int>(rig.Report().pages.size());
  if (outcome == O::Completed) {
    // Success only with the slot's bytes in the board's flash at the slot's base.
    const brevan::CImageBank& bank = rig.dialog->m_bank;
    const auto flash = rig.far.Model().Flash();
    const int base = static_cast<int>(brevan::LoadAddress(slot));
    int wrong = 0;
    for (int o = 0; o < bank.m_nImageLength[static_cast<std::size_t>(slot)]; ++o) {
      if (flash[static_cast<std::size_t>((base + o) & 0xFFFF)] != bank.m_imageBank[static_cast<std::size_t>(slot)][static_cast<std::size_t>(o)]) ++wrong;
    }
    if (wrong != 0) Fail("upgrade", run, what, std::to_string(wrong) + " flash bytes differ from the image");
  }
  if (rig.port->Inner().IsOpen()) Fail("upgrade", run, what, "the port stayed open");
}

struct TorvikFault {
  std::string name;
  std::function<void(sim::ModelOptions&)> apply;
  bool mayTimeOut;   // some awaited item may end timed out
  bool mustTimeOut;  // at least one must
  bool boardHearsExactly = true;
};

TorvikFault RandomTorvikFault(std::mt19937_64& rng) {
  static const char* kNames[] = {"APN", "IPSET", "USER", "MODEGPRS", "LED", "OPEN", "SERIAL", "NO.", "SAVECONFIG"};
  const std::uint64_t seed = rng();
  switch (rng() % 5) {
    case 0: return {"none", [](sim::ModelOptions&) {}, false, false};
    case 1: {
      std::set<std::string> names;
      for (int i = 0, n = 1 + static_cast<int>(rng() % 3); i < n; ++i) names.insert(kNames[rng() % std::size(kNames)]);
      std::string text = "no ack for";
      for (const auto& n : names) text += " " + n;
      return {text, [names](sim::ModelOptions& o) { o.noAck = names; }, true, true};
    }
    case 2: return {"split replies", [=](sim::ModelOptions& o) { o.split = seed % 2 ? sim::Split::Bytes : sim::Split::Random; o.seed = seed; }, false, false};
    case 3: {
      const double level = 0.001 * static_cast<double>(1 + rng() % 10);
      return {"noise to PC " + std::to_string(level), [=](sim::ModelOptions& o) { o.noise = level; o.seed = seed; }, true, false};
    }
    default: {
      const auto ms = static_cast<std::uint32_t>(50 + rng() % 450);
      return {"babble every " + std::to_string(ms) + " ms", [=](sim::ModelOptions& o) { o.babbleMs = ms; o.wireTiming = true; }, false, false};
    }
  }
}

std::string RandomText(std::mt19937_64& rng, std::size_t minLen, std::size_t maxLen, std::string_view alphabet) {
  std::string s(minLen + rng() % (maxLen - minLen + 1), ' ');
  for (char& c : s) c = alphabet[rng() % alphabet.size()];
  return s;
}

void TorvikRun(int run, std::mt19937_64& rng) {
  constexpr std::string_view kWord = "abcdefghijklmnopqrstuvwxyz0123456789.-_";
  const TorvikFault fault = RandomTorvikFault(rng);
  sim::ModelOptions options;
  options.receiverRate = std::array<std::uint32_t, 5>{9600, 19200, 38400, 57600, 115200}[rng() % 5];
  fault.apply(options);
  torviktest::Rig rig(options);
  rig.KeepRecords();
  rig.Start();
  // Random settings, typed as a person would.
  const std::string apn = RandomText(rng, 1, 30, kWord), user = RandomText(rng, 0, 12, kWord),
                    password = RandomText(rng, 0, 12, kWord), mount = RandomText(rng, 1, 20, kWord),
                    ip = std::to_string(1 + rng() % 223) + "." + std::to_string(rng() % 256) + "." +
                         std::to_string(rng() % 256) + "." + std::to_string(1 + rng() % 254),
                    serverPort = std::to_string(1 + rng() % 65535);
  rig.host.Click(torviktest::IDC_CHECK_NTRIP);          // the mount point goes in this mode
  rig.host.SelectItem(torviktest::IDC_COMBO_SERVER, 2);  // a server of one's own
  rig.host.Click(torviktest::IDC_CHECK_CUSTOM_APN);
  rig.host.Type(torviktest::IDC_EDIT_APN, apn);
  rig.host.Type(torviktest::IDC_EDIT_USER, user);
  rig.host.Type(torviktest::IDC_EDIT_PASSWORD, password);
  rig.host.Type(torviktest::IDC_COMBO_MOUNT, mount);
  rig.host.Type(torviktest::IDC_EDIT_SERVER_IP, ip);
  rig.host.Type(torviktest::IDC_EDIT_SERVER_PORT, serverPort);
  const std::string what = fault.name + ", apn " + apn + ", server " + ip + ":" + serverPort + ", mount " + mount;
  rig.OpenPort();
  rig.records.Clear();
  rig.host.Click(torviktest::IDC_BUTTON_SET);
  rig.RunUntilIdle(400'000);
  if (!rig.dialog->QueueIdle()) {
    Fail("set", run, what, "the queue never went idle");
    return;
  }
  if (rig.dialog->LastSet() != torvik::SetResult::Started) {
    Fail("set", run, what, "the Set was refused");
    return;
  }
  // The terminal's exit code, from the records as it takes it.
  int timedOut = 0, waiting = 0;
  for (const auto& r : rig.records.Items()) {
    if (r.outcome == torvik::SentRecord::Outcome::TimedOut) ++timedOut;
    if (r.outcome == torvik::SentRecord::Outcome::Waiting) ++waiting;
  }
  const int code = timedOut > 0 ? torvik::kExitTimedOut : torvik::kExitAcknowledged;
  int acked = 0;
  for (const auto& r : rig.records.Items()) acked += r.outcome == torvik::SentRecord::Outcome::Acknowledged;
  if (acked == 0 && !fault.mayTimeOut) Fail("set", run, what, "nothing was acknowledged");
  ++g_tally["set exit " + std::to_string(code)];
  g_tally["set items acknowledged"] += acked;
  if (waiting != 0) Fail("set", run, what, std::to_string(waiting) + " items still waiting");
  if (code == torvik::kExitTimedOut && !fault.mayTimeOut) Fail("set", run, what, "exit 3 without a fault that allows it");
  if (code == torvik::kExitAcknowledged && fault.mustTimeOut) Fail("set", run, what, "exit 0 though an ack was withheld");
  const sim::Report& report = rig.Model().GetReport();
  if (code == torvik::kExitAcknowledged || fault.mustTimeOut) {
    // The board holds what was entered: every setting as the window composed it, and the typed fields.
    for (const auto& r : rig.records.Items()) {
      if (!r.bytes.starts_with("KAVEL,") || !r.expectReply) continue;
      const std::string name = r.bytes.substr(6, r.bytes.find_first_of(",\r", 6) - 6);
      const auto it = report.settings.find(name);
      if (name == "COM" || name == "SAVECONFIG") continue;
      const std::string sent = r.bytes.substr(0, r.bytes.size() - 2);
      if (it == report.settings.end() || it->second != sent) {
        Fail("set", run, what, name + " on the board is '" + (it == report.settings.end() ? "<none>" : it->second) + "', sent '" + sent + "'");
      }
    }
    const auto fields = [&](const char* name) {
      const auto it = report.settingFields.find(name);
      return it == report.settingFields.end() ? std::vector<std::string>{} : it->second;
    };
    const auto apnFields = fields("APN"), ipFields = fields("IPSET");
    if (apnFields.size() < 3 || apnFields[0] != apn || apnFields[1] != user || apnFields[2] != password) {
      Fail("set", run, what, "APN fields on the board differ from those entered");
    }
    if (ipFields.size() < 3 || ipFields[0] != ip || ipFields[1] != serverPort || ipFields[2] != mount) {
      std::string got;
      for (const auto& f : ipFields) got += f + "|";
      Fail("set", run, what, "IPSET fields on the board differ from those entered: " + got);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 200;
  std::uint64_t seed = 20261208;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string opt = argv[i];
    if (opt == "--runs") runs = std::max(10, std::atoi(argv[i + 1]));
    else if (opt == "--seed") seed = std::strtoull(argv[i + 1], nullptr, 10);
  }
  std::printf("soak: %d upgrades and %d Sets, seed %llu\n", runs, runs, static_cast<unsigned long long>(seed));
  const auto started = std::chrono::steady_clock::now();
  std::mt19937_64 rng(seed);
  struct Phase {
    const char* name;
    std::function<void(int, std::mt19937_64&)> run;
  };
  for (const Phase& phase : {Phase{"upgrade", BrevanRun}, Phase{"set", TorvikRun}}) {
    Sample at10{}, atEnd{};
    const auto phaseStart = std::chrono::steady_clock::now();
    for (int run = 1; run <= runs; ++run) {
      phase.run(run, rng);
      if (run == 10) at10 = Take();
      if (run == runs) atEnd = Take();
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - phaseStart).count();
    std::printf("%-7s runs %d: run 10 VmRSS %ld KiB, fds %d, threads %d; run %d VmRSS %ld KiB, fds %d, threads %d; %.1f s\n",
                phase.name, runs, at10.rssKiB, at10.fds, at10.threads, runs, atEnd.rssKiB, atEnd.fds, atEnd.threads,
                seconds);
    if (atEnd.fds != at10.fds) Fail(phase.name, runs, "descriptors", "open descriptors went from " + std::to_string(at10.fds) + " to " + std::to_string(atEnd.fds));
    if (atEnd.threads != at10.threads) Fail(phase.name, runs, "threads", "threads went from " + std::to_string(at10.threads) + " to " + std::to_string(atEnd.threads));
    if (atEnd.rssKiB - at10.rssKiB > kRssToleranceKiB) {
      Fail(phase.name, runs, "memory", "VmRSS grew by " + std::to_string(atEnd.rssKiB - at10.rssKiB) + " KiB (tolerance " + std::to_string(kRssToleranceKiB) + ")");
    }
  }
  for (const auto& [name, count] : g_tally) std::printf("  %s: %d\n", name.c_str(), count);
  const double total = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::printf("soak: %s, %d failures, %.1f s wall\n", g_failures == 0 ? "passed" : "FAILED", g_failures, total);
  return g_failures == 0 ? 0 : 1;
}
