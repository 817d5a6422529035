// The terminal updater as a station: a slot per port, each against its own
// receiver-sim at the wire's pace. Two boards take their images whole while
// a third receiver stays silent, each at the page pace of a slot alone; the
// exit code is the silent slot's, and every event names its port.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

#include "support/posix/pty_testkit.h"
#include "support/temp_dir.h"
#include "updater/app/brevan_terminal.h"
#include "updater/image_bank/image_bank.h"
#include "updater/upgrade/upgrade_replies.h"
#include "updater/image_bank/module_types.h"

using nlohmann::json;
using serial::posix::testkit::CChildProcess;

namespace {

class BrevanStation : public ::testing::Test {
 protected:
  void StartSim(const std::string& name, std::vector<std::string> extra) {
    std::vector<std::string> argv{RECEIVER_SIM_PATH, "--link", dir.File(name), "--wire-timing",
                                  "--flash-out", dir.File(name + ".flash"), "--report", dir.File(name + ".json")};
    argv.insert(argv.end(), extra.begin(), extra.end());
    auto sim = std::make_unique<CChildProcess>(argv);
    ASSERT_TRUE(sim->Ok());
    ASSERT_FALSE(sim->ReadLine(10000).empty()) << "receiver-sim did not come up";
    sims[name] = std::move(sim);
  }
  // The page frames' arrival times at the loader, in ms; complete once it has stopped.
  std::vector<double> PageTimes(const std::string& name) {
    sims.at(name)->Stop();
    const std::vector<std::uint8_t> bytes = testing_support::ReadFile(dir.File(name + ".json"));
    const json report = json::parse(bytes.begin(), bytes.end());
    std::vector<double> times;
    for (const json& page : report["pages"]) times.push_back(static_cast<double>(page["atUs"].get<std::uint64_t>()) / 1000.0);
    return times;
  }
  static double MedianGap(const std::vector<double>& times) {
    std::vector<double> gaps;
    for (std::size_t i = 1; i < times.size(); ++i) gaps.push_back(times[i] - times[i - 1]);
    if (gaps.empty()) return 0;
    std::sort(gaps.begin(), gaps.end());
    return gaps[gaps.size() / 2];
  }
  int Upgrade(const std::vector<std::string>& ports) {
    brevan::TerminalRun run{fw::UiLanguage::English, BREVAN_SHIPPED_PATH, fw::CProfile::AtFile(dir.File("b.INI")),
                            false};
    std::vector<std::string> all;
    for (const std::string& port : ports) all.insert(all.end(), {"--port", dir.File(port)});
    all.insert(all.end(), {"--db", "none", "--json", "--progress", "plain"});
    out.str("");
    err.str("");
    return brevan::RunBrevanTerminal(all, run, out, err);
  }
  // Bytes of the module's slot the board's memory does not hold.
  int WrongBytes(const std::string& name, const std::string& module) {
    brevan::CImageBank bank(dir.File("pgm.isp"));
    bank.m_strExePath = BREVAN_SHIPPED_PATH;
    bank.PrepareSlots();
    EXPECT_TRUE(bank.FindImageBank());
    EXPECT_TRUE(bank.LoadImageBank());
    const int slot = brevan::ModuleTypeForName(module, -1);
    EXPECT_GE(slot, 0) << module;
    if (slot < 0) return -1;
    const std::vector<std::uint8_t> flash = testing_support::ReadFile(dir.File(name + ".flash"));
    if (flash.size() != 65536u) return -1;
    const auto s = static_cast<std::size_t>(slot);
    const int base = static_cast<int>(brevan::LoadAddress(slot));
    int wrong = 0;
    for (int o = 0; o < bank.m_nImageLength[s]; ++o)
      if (flash[static_cast<std::size_t>((base + o) & 0xFFFF)] != bank.m_imageBank[s][static_cast<std::size_t>(o)]) ++wrong;
    return wrong;
  }

  testing_support::TempDir dir;
  std::map<std::string, std::unique_ptr<CChildProcess>> sims;
  std::ostringstream out, err;
};

TEST_F(BrevanStation, TwoBoardsTakeTheirImagesWholeBesideASilentOneAtTheirOwnPace) {
  StartSim("alone", {"--module", "EM310.00"});
  ASSERT_EQ(Upgrade({"alone"}), brevan::kExitUpgraded) << out.str() << err.str();
  const double paceAlone = MedianGap(PageTimes("alone"));

  StartSim("em", {"--module", "EM310.00"});
  StartSim("mc", {"--module", "MC75.i"});
  StartSim("mute", {"--silent"});
  const int code = Upgrade({"em", "mc", "mute"});
  EXPECT_EQ(code, brevan::kExitTimedOut) << err.str();

  std::vector<json> events;
  std::istringstream lines(out.str());
  for (std::string line; std::getline(lines, line);) events.push_back(json::parse(line));
  ASSERT_FALSE(events.empty());
  for (std::size_t i = 0; i + 1 < events.size(); ++i) ASSERT_TRUE(events[i].contains("port")) << events[i].dump();
  const json& end = events.back();
  EXPECT_EQ(end["station"], true);
  EXPECT_EQ(end["boards"], 3);
  EXPECT_EQ(end["passed"], 2);
  std::map<std::string, json> slots;
  for (const json& slot : end["slots"]) slots[slot["port"]] = slot;
  EXPECT_EQ(slots[dir.File("em")]["outcome"], "upgraded");
  EXPECT_EQ(slots[dir.File("mc")]["outcome"], "upgraded");
  EXPECT_EQ(slots[dir.File("mute")]["outcome"], "timed-out");
  // Every slot's lines for people start with its port.
  std::istringstream human(err.str());
  for (std::string line; std::getline(human, line);) {
    if (line.rfind("This run", 0) == 0) continue;
    EXPECT_TRUE(line.rfind(dir.File("em"), 0) == 0 || line.rfind(dir.File("mc"), 0) == 0 ||
                line.rfind(dir.File("mute"), 0) == 0)
        << line;
  }

  std::map<std::string, std::vector<double>> pages;
  for (const auto& [name, module] : std::map<std::string, std::string>{{"em", "EM310.00"}, {"mc", "MC75.i"}}) {
    SCOPED_TRACE(name);
    pages[name] = PageTimes(name);
    ASSERT_GT(pages[name].size(), 20u);
    EXPECT_NEAR(MedianGap(pages[name]), paceAlone, 3.0);
    EXPECT_EQ(WrongBytes(name, module), 0);
  }
  // At the same time, not one after the other (the simulators share the system's monotonic clock).
  EXPECT_LT(pages["em"].front(), pages["mc"].back());
  EXPECT_LT(pages["mc"].front(), pages["em"].back());
}

}  // namespace
