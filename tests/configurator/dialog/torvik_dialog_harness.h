#pragma once
// The configurator window on the headless host, its link wired to a far end
// in-process (the receiver model or a scripted one), all on the host's
// virtual clock.
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "configurator/app/torvik_dlg.h"
#include "configurator/resources/torvik_ids.h"
#include "configurator/set_run/set_records.h"
#include "serial/loopback/model_far_end.h"
#include "support/loopback_rig.h"
#include "support/temp_dir.h"
#include "support/test_host.h"

namespace torviktest {

using namespace torvik;

// A receiver that answers each line it hears (CR LF ended; the direct-link
// frame counts as a line) with the chunks its script gives, each after a delay.
class ScriptedFarEnd : public serial::IFarEnd {
 public:
  struct Answer {
    std::uint32_t afterMs;
    std::string bytes;
  };
  std::function<std::vector<Answer>(const std::string& line)> script = [](const std::string&) {
    return std::vector<Answer>{};
  };
  std::vector<std::pair<std::uint64_t, std::string>> heard;  // time and line, as they arrived

  void FromPc(std::span<const std::uint8_t> bytes, std::uint32_t, std::uint64_t nowUs) override {
    for (std::uint8_t b : bytes) {
      m_line += static_cast<char>(b);
      if (!m_line.ends_with("\r\n") && m_line != std::string("\x24\x35\xCA\x02\x00\x01\x01\xD9", 8)) continue;
      heard.emplace_back(nowUs, m_line);
      for (const Answer& a : script(m_line)) m_out.insert({nowUs + a.afterMs * 1000ull, a.bytes});
      m_line.clear();
    }
  }
  std::vector<std::vector<std::uint8_t>> ToPc(std::uint64_t nowUs, std::uint32_t) override {
    std::vector<std::vector<std::uint8_t>> chunks;
    while (!m_out.empty() && m_out.begin()->first <= nowUs) {
      chunks.emplace_back(m_out.begin()->second.begin(), m_out.begin()->second.end());
      m_out.erase(m_out.begin());
    }
    return chunks;
  }
  std::uint64_t NextEventUs() const override { return m_out.empty() ? UINT64_MAX : m_out.begin()->first; }

 private:
  std::string m_line;
  std::multimap<std::uint64_t, std::string> m_out;
};

// The headless host with a say in the order of messages: a hook runs on the
// UI thread just before one of its own sends is handled (where another
// thread's send can be made to fall), and the sends other threads have
// begun are counted (their message's facts are stored by then).
class OrderingHost : public fw::HeadlessHost {
 public:
  std::function<void(unsigned msg, std::uintptr_t wparam, std::intptr_t lparam)> beforeOwnSend;
  std::atomic<int> othersSends{0};

  std::intptr_t SendMessage(unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) override {
    if (std::this_thread::get_id() != m_uiThread) othersSends.fetch_add(1);
    else if (beforeOwnSend) beforeOwnSend(msg, wparam, lparam);
    return HeadlessHost::SendMessage(msg, wparam, lparam);
  }

 private:
  std::thread::id m_uiThread = std::this_thread::get_id();
};

struct Write {
  std::uint64_t atMs;
  std::uint32_t rate;
  std::string bytes;
};

struct Rig {
  testing_support::TempDir dir;
  OrderingHost host;
  testing_support::HostClock clock{host};
  std::unique_ptr<serial::IFarEnd> far;
  testing_support::TappedPort* port = nullptr;
  CSendQueue queue;
  CSentRecords records;  // what the Set's run reported, once kept
  std::unique_ptr<CTorvikDlg> dialog;
  std::vector<Write> writes;

  // With no model options, a scripted far end that answers nothing until told.
  explicit Rig(std::optional<sim::ModelOptions> model = sim::ModelOptions{},
               std::string typeFile = "82,9600,HIGH,HIGH,\nX7,115200,LOW,HIGH,\nBAD,fast,A,B,\n") {
    if (model) far = std::make_unique<serial::CModelFarEnd>(*model);
    else far = std::make_unique<ScriptedFarEnd>();
    auto loop = std::make_unique<serial::CLoopbackPort>(*far, clock, std::set<std::string>{"COM1", "COM5"});
    auto tapped = std::make_unique<testing_support::TappedPort>(std::move(loop));
    port = tapped.get();
    port->onWrite = [this](std::span<const std::uint8_t> data) {
      writes.push_back({host.NowMicroseconds() / 1000, port->Inner().CurrentRate(), std::string(data.begin(), data.end())});
    };
    dialog = std::make_unique<CTorvikDlg>(std::move(tapped), queue);
    dialog->m_listPorts = [] { return std::vector<std::string>{"COM1", "COM5"}; };
    dialog->m_localDate = [] { return LocalDate{2026, 12, 8}; };
    dialog->m_seed = [] { return 12345u; };
    dialog->m_typeFilePath = dir.File("gprscdmaset.ini");
    testing_support::WriteFile(dialog->m_typeFilePath, typeFile);
  }
  ~Rig() { dialog.reset(); }  // the link closes before the far end goes

  void Start() {
    host.Start(*dialog);
    // The monitor thread's pause, on the virtual clock.
    dialog->m_link.m_pause = [this](unsigned ms) { host.Sleep(ms); };
  }
  // The written items from now on, as the run reports them.
  void KeepRecords() { dialog->Run().Attach(records); }
  ScriptedFarEnd& Scripted() { return static_cast<ScriptedFarEnd&>(*far); }
  sim::CDeviceModel& Model() { return static_cast<serial::CModelFarEnd&>(*far).Model(); }
  std::uint64_t NowMs() const { return host.NowMicroseconds() / 1000; }

  // Runs ms of virtual time in steps of 1 ms, delivering what the far end
  // sent as a monitor would (the window's pauses move the clock too).
  void Run(int ms) {
    const std::uint64_t until = NowMs() + static_cast<std::uint64_t>(ms);
    while (NowMs() < until && !host.Ended()) Step();
  }
  // Runs until every queued item has gone and the last wait has ended; the time it took.
  int RunUntilIdle(int limitMs = 120000) {
    const std::uint64_t start = NowMs();
    while (NowMs() - start < static_cast<std::uint64_t>(limitMs) && !dialog->QueueIdle() && !host.Ended()) Step();
    return static_cast<int>(NowMs() - start);
  }
  void Step() {
    host.Advance(1);
    port->Inner().Pump();
  }
  void OpenPort() {
    host.Click(IDC_BUTTON_PORT);
    RunUntilIdle();
    writes.clear();
    openLines = static_cast<std::size_t>(host.GetCount(IDC_LIST_LOG));
  }
  std::size_t openLines = 0;
  std::vector<std::string> Log() const {
    std::vector<std::string> lines;
    for (int i = 0; i < host.GetCount(IDC_LIST_LOG); ++i) lines.push_back(host.GetItemText(IDC_LIST_LOG, i));
    return lines;
  }
  // The log's lines after those of the port's opening (Set leaves them).
  std::vector<std::string> LogSinceSet() const {
    std::vector<std::string> lines = Log();
    lines.erase(lines.begin(), lines.begin() + std::min<std::size_t>(lines.size(), openLines));
    return lines;
  }
  std::vector<std::string> Queued() const {
    std::vector<std::string> items;
    for (int i = 0; i < queue.count; ++i) {
      const CSendItem& item = queue.Item(i);
      items.emplace_back(reinterpret_cast<const char*>(item.data.data()), static_cast<std::size_t>(item.length));
    }
    return items;
  }
  std::vector<std::string> Boxes() const {
    std::vector<std::string> texts;
    for (const auto& box : host.MessageBoxes()) texts.push_back(box.text);
    return texts;
  }
};

}  // namespace torviktest
