// The terminal updater's diagnosis of a page left unanswered, on the headless
// host: what came after the loader's last acknowledgement is told exactly.
#include <gtest/gtest.h>

#include <sstream>

#include "brevan_dialog_harness.h"
#include "updater/app/brevan_run_report.h"
#include "updater/app/brevan_terminal.h"

using namespace brevantest;

namespace {

// The loader takes five pages and falls silent; bytes may reach the PC after its last answer.
nlohmann::json DiagnosisAfterPageFive(const std::string& afterLastAck) {
  sim::ModelOptions options;
  options.module = "GTM900-2";
  options.softwareVersion = "0";
  options.stopAfterPage = 5;
  Rig rig(options);
  rig.Start();
  rig.host.Click(fw::kIdOk);
  // Until page 6 has gone out once.
  for (int ms = 0; ms < 30'000 && rig.dialog->Pages().offset < 5 * 128; ++ms) rig.Run(1);
  EXPECT_EQ(rig.dialog->Pages().offset, 5 * 128);
  if (!afterLastAck.empty()) {
    // As the monitor thread hands a received chunk on.
    rig.dialog->m_tty.OnDataReceived(reinterpret_cast<const std::uint8_t*>(afterLastAck.data()),
                                     static_cast<int>(afterLastAck.size()));
  }
  rig.RunUntilIdle(60'000);
  EXPECT_EQ(rig.dialog->Outcome(), brevan::UpgradeOutcome::TimedOut);

  std::ostringstream human, json;
  {
    fw::RunOutput output(human, false, fw::ProgressMode::None, &json);
    brevan::ReportUpgradeEnd(output, rig.dialog->m_run.Summary(),
                             {fw::UiLanguage::English, brevan::kExitTimedOut, 20'000, "COM1", "9600"});
  }
  std::istringstream lines(json.str());
  std::string line;
  while (std::getline(lines, line)) {
    const nlohmann::json event = nlohmann::json::parse(line);
    if (event["event"] == "diagnosis") return event;
  }
  ADD_FAILURE() << "no diagnosis in " << json.str();
  return {};
}

}  // namespace

TEST(BrevanRunReport, APageLeftUnansweredTellsWhetherAnythingCameAfterTheLastAcknowledgement) {
  const nlohmann::json quiet = DiagnosisAfterPageFive("");
  EXPECT_EQ(quiet["cause"], "page-unanswered");
  EXPECT_EQ(quiet["page"], 6);
  EXPECT_EQ(quiet["address"], 0x2000 + 5 * 128);
  EXPECT_EQ(quiet["sendings"], 7);
  EXPECT_EQ(quiet["bytes_after_ack"], 0);
  EXPECT_FALSE(quiet.contains("last_bytes"));

  // A half frame and noise: bytes, but no acknowledgement among them.
  const std::string junk = std::string("\x24\x31\xCE", 3) + "noise";
  const nlohmann::json noisy = DiagnosisAfterPageFive(junk);
  EXPECT_EQ(noisy["cause"], "page-unanswered");
  EXPECT_EQ(noisy["bytes_after_ack"], junk.size());
  EXPECT_EQ(noisy["last_bytes"], "24 31 CE 6E 6F 69 73 65 |$1.noise|");
  EXPECT_NE(noisy["text"].get<std::string>().find("8 bytes came back after the loader's last acknowledgement"),
            std::string::npos)
      << noisy["text"];
}
