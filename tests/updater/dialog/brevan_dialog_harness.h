#pragma once
// The updater window on the headless host, its serial engine wired to the
// receiver model in-process, all on the host's virtual clock.
#include <memory>
#include <string>
#include <vector>

#include "packaging/demo_firmware.h"
#include "packaging/intel_hex_writer.h"
#include "packaging/overlay_writer.h"
#include "serial/loopback/model_far_end.h"
#include "support/loopback_rig.h"
#include "support/temp_dir.h"
#include "support/test_host.h"
#include "updater/app/brevan_dlg.h"
#include "updater/resources/brevan_templates.h"

namespace brevantest {

using testing_support::HostClock;
using testing_support::TappedPort;

// A program file: some code bytes, then the demo overlay (or none).
inline std::string MakeProgramFile(const testing_support::TempDir& dir, bool withOverlay) {
  std::vector<std::uint8_t> file(4096, 0x90);
  if (withOverlay) {
    std::array<brevan::pack::MemoryImage, 10> images;
    for (int k = 0; k < 10; ++k) images[static_cast<std::size_t>(k)] = brevan::pack::MakeDemoImage(k);
    const std::vector<std::uint8_t> overlay = brevan::pack::BuildOverlay(images);
    file.insert(file.end(), overlay.begin(), overlay.end());
  }
  const std::string path = dir.File(withOverlay ? "Brevan.exe" : "Bare.exe");
  testing_support::WriteFile(path, file);
  return path;
}

struct Rig {
  testing_support::TempDir dir;
  fw::HeadlessHost host;
  HostClock clock{host};
  serial::CModelFarEnd far;
  TappedPort* port = nullptr;
  std::unique_ptr<brevan::CBrevanDlg> dialog;
  std::string programPath;

  explicit Rig(sim::ModelOptions options, fw::UiLanguage language = fw::UiLanguage::English, bool overlay = true)
      : far(std::move(options)) {
    programPath = MakeProgramFile(dir, overlay);
    auto loop = std::make_unique<serial::CLoopbackPort>(far, clock, std::set<std::string>{"COM1", "COM5"});
    auto tapped = std::make_unique<TappedPort>(std::move(loop));
    port = tapped.get();
    dialog = std::make_unique<brevan::CBrevanDlg>(language, fw::CProfile::AtFile(dir.File("Brevan.INI")),
                                                  std::move(tapped), dir.File("pgm.isp"));
    dialog->m_listPorts = [] { return std::vector<std::string>{"COM1", "COM5"}; };
    host.SetModuleFileName(programPath);
  }
  ~Rig() {
    dialog.reset();  // the engine closes before the far end goes
  }

  void Start() { host.Start(*dialog); }
  // Runs ms of virtual time in 1 ms steps, delivering what the far end sent as a monitor would.
  void Run(int ms) {
    for (int i = 0; i < ms && !host.Ended(); ++i) {
      host.Advance(1);
      port->Inner().Pump();
    }
  }
  // Runs until the upgrade has stopped, at most limitMs.
  int RunUntilIdle(int limitMs) {
    int ms = 0;
    while (ms < limitMs && dialog->UpgradeRunning() && !host.Ended()) {
      Run(1);
      ++ms;
    }
    return ms;
  }
  std::string Status() const { return host.GetWindowText(brevan::IDC_EDIT_STATUS); }
  const sim::Report& Report() const { return const_cast<serial::CModelFarEnd&>(far).Model().GetReport(); }
};

}  // namespace brevantest
