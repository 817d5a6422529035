// What the terminal updater tells after the window's texts, from real runs
// against receiver-sim: the diagnosis of each kind of time-out, the summary of
// a success, and JSON lines that say the same as the human output.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>

#include "packaging/demo_firmware.h"
#include "packaging/intel_hex_writer.h"
#include "support/posix/pty_testkit.h"
#include "support/json_lines.h"
#include "support/temp_dir.h"
#include "updater/app/brevan_terminal.h"

using serial::posix::testkit::CChildProcess;
using testing_support::EventsNamed;

namespace {

class BrevanReport : public ::testing::Test {
 protected:
  void Start(std::vector<std::string> options) {
    std::vector<std::string> argv = {RECEIVER_SIM_PATH, "--link", link, "--wire-timing", "--flash-out", flash};
    argv.insert(argv.end(), options.begin(), options.end());
    sim = std::make_unique<CChildProcess>(argv);
    ASSERT_TRUE(sim->Ok());
    ASSERT_FALSE(sim->ReadLine(10000).empty()) << "receiver-sim did not come up";
  }
  // A run with JSON lines on; the human text goes to err.
  int Upgrade(std::vector<std::string> args = {}, const std::string& program = BREVAN_SHIPPED_PATH) {
    brevan::TerminalRun run{fw::UiLanguage::English, program, fw::CProfile::AtFile(dir.File("b.INI")),
                            false, false};
    std::vector<std::string> all = {"--port", link, "--baud", "9600", "--json", "--progress", "none", "--db", "none"};
    all.insert(all.end(), args.begin(), args.end());
    const int code = brevan::RunBrevanTerminal(all, run, out, err);
    events = testing_support::ParseJsonLines(out.str());
    testing_support::ExpectHumanTellsTheSame(events, err.str());
    return code;
  }
  nlohmann::json Only(std::string_view name) {
    const std::vector<nlohmann::json> named = EventsNamed(events, name);
    EXPECT_EQ(named.size(), 1u) << name << " in " << out.str();
    return named.empty() ? nlohmann::json::object() : named.front();
  }

  testing_support::TempDir dir;
  std::string link = dir.File("receiver");
  std::string flash = dir.File("flash.bin");
  std::unique_ptr<CChildProcess> sim;
  std::ostringstream out, err;
  std::vector<nlohmann::json> events;
};

TEST_F(BrevanReport, SuccessSummarisesTheRunAndEveryPageStepIsAnEvent) {
  const std::string simReport = dir.File("sim.json");
  Start({"--module", "EM310.00", "--serial", "SN4711", "--software-version", "591021", "--drop-ack", "3", "--report",
         simReport});
  ASSERT_EQ(Upgrade(), brevan::kExitUpgraded) << err.str();
  sim->Stop();
  const std::vector<std::uint8_t> report = testing_support::ReadFile(simReport);
  const nlohmann::json seen = nlohmann::json::parse(report.begin(), report.end(), nullptr, false);
  ASSERT_TRUE(seen.is_object()) << "the simulator's report";
  const nlohmann::json result = Only("result");
  EXPECT_EQ(result["exit"], 0);
  EXPECT_EQ(result["outcome"], "upgraded");
  EXPECT_EQ(result["module"], "EM310.00");
  EXPECT_EQ(result["slot"], 2);
  EXPECT_EQ(result["serial_no"], "SN4711");
  EXPECT_EQ(result["software_version"], "591021");
  EXPECT_EQ(result["address"], 0x2000);
  const int pages = result["pages"];
  EXPECT_EQ(result["bytes"].get<int>(), pages * 128);
  // Page 3's acknowledgement was lost on the line once. A loaded machine may
  // stall within a frame that the loader cuts, or clear a page's own
  // acknowledgement with the tick it came in.
  const int resent = result["pages_resent"].get<int>();
  EXPECT_GE(resent, 1 + seen["pagesCut"].get<int>());
  EXPECT_LE(resent, 1 + seen["pagesCut"].get<int>() + result["acks_lost_in_tick"].get<int>());
  // The rate is what the pages took, and the pages took most of the run.
  const double rate = result["bytes_per_s"];
  EXPECT_NEAR(rate, result["bytes"].get<double>() * 1000.0 / result["page_ms"].get<double>(), 1.0);
  EXPECT_LT(result["page_ms"].get<int>(), result["wall_ms"].get<int>());
  // The human summary says the same.
  EXPECT_NE(err.str().find("Module EM310.00 (slot 2), image version " + result["image_version"].get<std::string>()),
            std::string::npos);
  EXPECT_NE(err.str().find("Wrote " + std::to_string(pages * 128) + " bytes in " + std::to_string(pages) +
                           " pages from address 0x2000; " + std::to_string(resent) + " pages sent again"),
            std::string::npos);

  // Pages counted up one at a time to the whole image, never back.
  const std::vector<nlohmann::json> steps = EventsNamed(events, "progress");
  ASSERT_FALSE(steps.empty());
  int done = -1;
  for (const nlohmann::json& step : steps) {
    EXPECT_EQ(step["total"], pages);
    EXPECT_GE(step["done"].get<int>(), done);
    EXPECT_LE(step["done"].get<int>() - done, 1) << step.dump();
    done = step["done"];
  }
  EXPECT_EQ(done, pages);
  EXPECT_EQ(steps.back()["remaining_ms"], 0);
  EXPECT_TRUE(EventsNamed(events, "diagnosis").empty());
}

TEST_F(BrevanReport, ASilentReceiverIsToldApartFromOneThatTalksAtAnotherRate) {
  Start({"--silent"});
  ASSERT_EQ(Upgrade(), brevan::kExitTimedOut);
  const nlohmann::json silent = Only("diagnosis");
  EXPECT_EQ(silent["cause"], "no-reply");
  EXPECT_EQ(silent["bytes"], 0);
  EXPECT_NE(silent["text"].get<std::string>().find("check the cable"), std::string::npos);
  EXPECT_EQ(Only("result")["outcome"], "timed-out");
}

TEST_F(BrevanReport, AReceiverAtAnotherRateGivesBytesButNoLoaderReply) {
  // The receiver talks (its position output) at 19200 while the PC listens at 9600 and then 57600.
  Start({"--receiver-rate", "19200", "--babble", "100"});
  ASSERT_EQ(Upgrade(), brevan::kExitTimedOut);
  const nlohmann::json d = Only("diagnosis");
  EXPECT_EQ(d["cause"], "no-loader-reply");
  EXPECT_GT(d["bytes"].get<int>(), 100);
  EXPECT_TRUE(std::regex_search(d["first_bytes"].get<std::string>(), std::regex("^([0-9A-F]{2} )+\\|.*\\|")))
      << d["first_bytes"];
  EXPECT_NE(d["text"].get<std::string>().find("not at 9600 baud"), std::string::npos) << d["text"];
}

TEST_F(BrevanReport, ALoaderNamingAModuleWithoutAnImageIsWrongFirmwareAndTheDiagnosisNamesIt) {
  Start({"--module", "LTE900.01", "--serial", "SN0815"});
  ASSERT_EQ(Upgrade(), brevan::kExitWrongFirmware) << err.str();
  const nlohmann::json d = Only("diagnosis");
  EXPECT_EQ(d["cause"], "unknown-module");
  EXPECT_EQ(d["module"], "LTE900.01");
  EXPECT_NE(d["text"].get<std::string>().find("module name \"LTE900.01\""), std::string::npos) << d["text"];
  EXPECT_EQ(Only("result")["outcome"], "wrong-firmware");
  EXPECT_NE(err.str().find("Status:>>wrong firmware!"), std::string::npos) << err.str();
  EXPECT_EQ(err.str().find("OVERTIME"), std::string::npos) << err.str();
}

TEST_F(BrevanReport, AnImageFileForAnotherModuleNamesBothModules) {
  const std::string hex = dir.File("em310.hex");
  testing_support::WriteFile(hex, brevan::pack::FormatIntelHex(brevan::pack::MakeDemoImage(2)));
  // A program without the overlay asks for one image file: the chosen file is the slot-2 image.
  const std::string bare = dir.File("brevan-bare");
  testing_support::WriteFile(bare, std::string(4096, '\x90'));
  Start({"--module", "EM200.00"});
  ASSERT_EQ(Upgrade({"--image", hex}, bare), brevan::kExitWrongFirmware) << err.str();
  const nlohmann::json d = Only("diagnosis");
  EXPECT_EQ(d["cause"], "other-module");
  EXPECT_EQ(d["module"], "EM200.00");
  EXPECT_EQ(d["slot"], 3);
  EXPECT_EQ(d["file_module"], "EM310");
  EXPECT_NE(d["text"].get<std::string>().find("module is EM200.00 (slot 3), but the firmware file chosen is for EM310"),
            std::string::npos)
      << d["text"];
}

TEST_F(BrevanReport, ALoaderThatStopsAnsweringIsNamedWithThePageItLeftUnanswered) {
  Start({"--module", "GTM900-2", "--stop-after", "5"});
  ASSERT_EQ(Upgrade(), brevan::kExitTimedOut);
  const nlohmann::json d = Only("diagnosis");
  EXPECT_EQ(d["cause"], "page-unanswered");
  EXPECT_EQ(d["page"], 6);
  EXPECT_EQ(d["address"], 0x2000 + 5 * 128);
  EXPECT_EQ(d["sendings"], 7) << "the first sending and six more";
  EXPECT_EQ(d["bytes_after_ack"], 0);
  EXPECT_GE(d["acknowledgements"].get<int>(), 5);
  EXPECT_NE(d["text"].get<std::string>().find("Page 6 of "), std::string::npos);
  EXPECT_NE(d["text"].get<std::string>().find("address 0x2280) went out 7 times"), std::string::npos) << d["text"];
  EXPECT_NE(d["text"].get<std::string>().find("Nothing came back after the loader's last acknowledgement"),
            std::string::npos);
}

TEST_F(BrevanReport, UsageAndAnUnwritableTraceAreRefusedBeforeThePortOpens) {
  brevan::TerminalRun run{fw::UiLanguage::English, BREVAN_SHIPPED_PATH, fw::CProfile::AtFile(dir.File("b.INI")),
                          false, false};
  EXPECT_EQ(brevan::RunBrevanTerminal({"--progress", "fancy"}, run, out, err), brevan::kExitUsage);
  EXPECT_EQ(brevan::RunBrevanTerminal({"--port", link, "--trace", dir.File("no/such/dir/t.txt")}, run, out, err),
            brevan::kExitUsage);
  EXPECT_NE(err.str().find("cannot write the trace file"), std::string::npos) << err.str();
}

}  // namespace
