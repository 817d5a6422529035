// Message boxes from another thread on the Win32 host under Wine: a box the
// serial engine's monitor thread shows, owned by the dialog, while the UI
// thread closes the engine (the box's closing sends to the UI thread, so a
// plain join would never return); boxes asked for as the window goes or after
// it has gone; a box whose owner handle is stale.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "dialog_testkit.h"
#include "framework/win32/message_box.h"
#include "serial/engine.h"
#include "updater/upgrade/updater_engine_profile.h"
#include "win32_gui_driver.h"

using namespace fwtest;
using namespace fwgui;
using namespace std::chrono_literals;

namespace {

// A port whose monitor is a real thread: the first wait reports a character,
// the next ones sleep until the event mask is cleared (Close does that).
class OneCharPort final : public serial::ISerialPort {
 public:
  std::string DevicePath(std::string_view name, bool) const override { return std::string(name); }
  bool OpenDevice(const std::string&) override { return true; }
  const serial::OpenError& LastOpenError() const override { return m_error; }
  bool CloseDevice() override { return true; }
  bool SetCommMask(std::uint32_t mask) override {
    std::lock_guard<std::mutex> lock(m_lock);
    m_mask = mask;
    m_changed.notify_all();
    return true;
  }
  bool SetupComm(std::uint32_t, std::uint32_t) override { return true; }
  bool SetCommTimeouts(const serial::CommTimeouts&) override { return true; }
  bool GetCommState(serial::PortDcb&) override { return true; }
  bool SetCommState(const serial::PortDcb&) override { return true; }
  bool EscapeCommFunction(serial::EscapeCode) override { return true; }
  bool PurgeComm(std::uint32_t) override { return true; }
  void Write(std::span<const std::uint8_t>, std::uint32_t) override {}
  int Read(std::span<std::uint8_t> dest, std::uint32_t) override {
    if (m_read || dest.empty()) return 0;
    m_read = true;
    dest[0] = ',';
    return 1;
  }
  bool PrepareEventWait() override { return true; }
  void EndEventWait() override {}
  std::uint32_t WaitCommEvent() override {
    std::unique_lock<std::mutex> lock(m_lock);
    if (!m_reported) {
      m_reported = true;
      return serial::kEvRxChar;
    }
    m_changed.wait(lock, [&] { return m_mask == 0; });
    return 0;
  }
  std::unique_ptr<serial::IMonitorThread> StartMonitorThread(int, std::function<void()> loop,
                                                             std::function<void()>) override {
    return std::make_unique<Thread>(std::move(loop));
  }

 private:
  class Thread final : public serial::IMonitorThread {
   public:
    explicit Thread(std::function<void()> loop) : m_loop(std::move(loop)) {
      m_handle = CreateThread(
          nullptr, 0, [](void* p) -> DWORD {
            static_cast<Thread*>(p)->m_loop();
            return 0;
          },
          this, 0, nullptr);
    }
    ~Thread() override {
      Join();
      if (m_handle) CloseHandle(m_handle);
    }
    void Join() override {
      if (m_handle) WaitForSingleObject(m_handle, INFINITE);
    }
    std::intptr_t WaitHandle() const override { return reinterpret_cast<std::intptr_t>(m_handle); }

   private:
    std::function<void()> m_loop;
    HANDLE m_handle = nullptr;
  };

  serial::OpenError m_error;
  std::mutex m_lock;
  std::condition_variable m_changed;
  std::uint32_t m_mask = serial::kEvRxChar;
  bool m_reported = false;
  bool m_read = false;
};

// The updater's engine in miniature: a received ',' shows "Upgrade finish!" on the monitor thread.
class BoxTTY : public CTTYnew {
 public:
  BoxTTY(serial::EngineKey key, serial::IEngineOwner& owner, fw::CDialog& dialog)
      : CTTYnew(key, owner, brevan::UpdaterEngineProfile(), std::make_unique<OneCharPort>()), m_dialog(dialog) {}
  void OnDataReceived(const std::uint8_t*, int) override { m_dialog.MessageBox("Upgrade finish!"); }

 private:
  fw::CDialog& m_dialog;
};

constexpr unsigned kWmOpen = fw::kWmUser + 40;
constexpr unsigned kWmClose = fw::kWmUser + 41;

class EngineDialog : public DrivenDialog {
 public:
  EngineDialog() : DrivenDialog(KitTemplate()) {
    OnMessage(kWmOpen, [this](std::uintptr_t, std::intptr_t) -> std::intptr_t {
      CommSettings s;
      s.portName = "COM1";
      return m_tty.Open(s);
    });
    OnMessage(kWmClose, [this](std::uintptr_t, std::intptr_t) -> std::intptr_t {
      const int closed = m_tty.Close();
      closedAt = std::chrono::steady_clock::now().time_since_epoch().count();
      return closed;
    });
  }
  std::atomic<long long> closedAt{0};
  serial::Engine<BoxTTY> m_tty{*this, *this};
};

bool AnswersWithin(HWND hwnd, UINT ms) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutW(hwnd, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, ms, &result) != 0;
}

}  // namespace

TEST(Win32MonitorBox, CloseServesTheBoxItsMonitorThreadHoldsOpen) {
  fw::Win32DialogHost host;
  EngineDialog dialog;
  RunDriven(host, dialog, [&](HWND dlg) {
    ASSERT_EQ(SendMessageW(dlg, kWmOpen, 0, 0), 1);
    HWND box = FindOwnedDialog(dlg, L"Kit");
    ASSERT_NE(box, nullptr) << "the monitor thread's box never came up";
    EXPECT_EQ(MessageBoxText(box), "Upgrade finish!");
    // The upgrade ends while the box is open: the UI thread waits in Close.
    PostMessageW(dlg, kWmClose, 0, 0);
    std::this_thread::sleep_for(1500ms);
    EXPECT_EQ(dialog.closedAt.load(), 0) << "Close returned before the monitor thread ended";
    // It still answers what other threads send it.
    EXPECT_TRUE(AnswersWithin(dlg, 1000));
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitFor([&] { return dialog.closedAt.load() != 0; }, 5s)) << "Close never returned: deadlock";
    EXPECT_FALSE(dialog.m_tty.IsConnected());
    EXPECT_TRUE(AnswersWithin(dlg, 1000));
    EXPECT_TRUE(IsWindowEnabled(dlg));
    PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
  });
  EXPECT_FALSE(dialog.timedOut);
}

TEST(Win32MonitorBox, TheWindowsEndClosesAnOpenEngineServingItsBox) {
  fw::Win32DialogHost host;
  EngineDialog dialog;
  std::atomic<bool> answered{false};
  RunDriven(host, dialog, [&](HWND dlg) {
    ASSERT_EQ(SendMessageW(dlg, kWmOpen, 0, 0), 1);
    HWND box = FindOwnedDialog(dlg, L"Kit");
    ASSERT_NE(box, nullptr);
    // The dialog ends with its engine open and the box up: the window's end closes the engine.
    PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
    std::this_thread::sleep_for(1000ms);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    answered = true;
  });
  EXPECT_TRUE(answered.load());
  EXPECT_FALSE(dialog.m_tty.IsConnected());
  EXPECT_FALSE(dialog.IsAttached());
  EXPECT_FALSE(dialog.timedOut);
}

TEST(Win32MonitorBox, ABoxAfterTheWindowHasGoneStillShowsWithTheDialogsCaption) {
  fw::Win32DialogHost host;
  {
    DrivenDialog dialog(KitTemplate());
    RunDriven(host, dialog, [&](HWND dlg) { PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0); });
  }  // the dialog object is gone too
  std::atomic<int> result{0};
  std::thread late([&] { result = host.MessageBox("late"); });
  HWND box = FindOwnedDialog(nullptr, L"Kit");
  ASSERT_NE(box, nullptr) << "the box vanished";
  EXPECT_EQ(MessageBoxText(box), "late");
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  late.join();
  EXPECT_EQ(result.load(), fw::kIdOk);
}

TEST(Win32MonitorBox, AStaleOwnerHandleStillGivesABox) {
  HWND gone = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(gone, nullptr);
  DestroyWindow(gone);
  std::atomic<int> result{0};
  std::thread shower([&] { result = fw::win32::ShowMessageBox(gone, L"stale owner", L"Stale"); });
  HWND box = FindOwnedDialog(nullptr, L"Stale");
  ASSERT_NE(box, nullptr) << "the box vanished";
  EXPECT_EQ(MessageBoxText(box), "stale owner");
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  shower.join();
  EXPECT_EQ(result.load(), IDOK);
}
