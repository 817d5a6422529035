// Drives a running Brevan.exe from a second process, as a person at the
// window would: waits for the window, checks its language and start-up
// texts, clicks UPDATE, follows the countdown and the page writes through the
// status box and the progress bar, closes the window with CANCEL, and keeps a
// screenshot of each stage. Every wait is bounded; exit 0 only when all held,
// 3 when the upgrade ended with the loader's box of --box-when last never read.
//
//   brevan_gui_driver --lang en|zh --program Z:\...\Brevan.exe --shots Z:\dir
//                     --module NAME --serial TEXT --software-version TEXT
//                     [--shot-name NAME] [--box TEXT --box-when early|last]
//                     [--end overtime|port-wrong]
//                     [--remember choose|recall --port NAME --baud TEXT]
// With --box, the loader's message box with that text comes up from the
// program's monitor thread (early: after a few pages; last: after the last
// page, while the upgrade ends): it is left open for 3 s, the window must
// answer meanwhile, then OK is clicked; CANCEL must then end the program
// within 2 s.
// With --end the upgrade is to end in that failure instead (overtime: the far
// end dies while pages go; port-wrong: COM1 does not open), and CANCEL must
// then end the program within 2 s.
// With --remember choose the port and speed are picked and UPDATE pressed (the
// program saves them then); once the port is open CANCEL ends it. With
// --remember recall the window must start showing that port and speed.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "framework/string_table.h"
#include "framework/win32/wide_text.h"
#include "tests/support/win32/foreign_window.h"
#include "updater/image_bank/image_bank.h"
#include "updater/resources/brevan_strings.h"
#include "updater/resources/brevan_templates.h"

namespace {

using drive::Clock;
using drive::Fail;
using drive::ForeignDialogs;
using drive::Note;
using drive::Send;
using drive::TextOf;
using std::chrono::milliseconds;
using std::chrono::seconds;

struct Options {
  std::string lang;
  std::string program;
  std::string shots;
  std::string shotName;  // file names: <shotName>-<stage>.png
  std::string module;
  std::string serial;
  std::string softwareVersion;
  std::string box;      // text of the loader's box to expect, empty for none
  std::string boxWhen;  // early or last
  std::string end;      // overtime or port-wrong: the failure the upgrade must end in; empty for success
  std::string remember;  // choose or recall: the remembered port and speed, empty for an upgrade
  std::string port;      // the port to choose or to find remembered
  std::string baud;      // the speed's text, the same
};

constexpr auto kBoxHold = std::chrono::seconds(3);

// What the window must show in each language. The captions and the final
// line are written out here rather than read from the tables, so a wrong
// table entry is seen.
struct Expected {
  fw::UiLanguage language;
  WORD primaryLanguage;
  std::string caption, update, cancel, done;
};

Expected ExpectedFor(const std::string& lang) {
  if (lang == "zh") {
    return {fw::UiLanguage::Chinese, LANG_CHINESE, "GSM-CDMA在线升级程序 2011.08.23", "在线升级", "取消升级",
            "状态:>>恭喜你，升级完成"};
  }
  return {fw::UiLanguage::English, LANG_ENGLISH, "GPRS-CDMA2011.05.03", "UPDATE", "CANCEL",
          "Status:>>Congratulations! updated!"};
}

std::string Message(fw::UiLanguage language, int id, std::size_t line = 0) {
  fw::MessageLines lines;
  fw::LoadMessage(brevan::BrevanStrings(), language, id, lines);
  return lines[line];
}

// "…Counting down " + two digits + "S!", as the program puts it together.
std::string CountdownLine(fw::UiLanguage language, int secondsLeft) {
  char digits[8];
  std::snprintf(digits, sizeof digits, "%02d", secondsLeft);
  return Message(language, brevan::IDS_COUNTDOWN_LINE, 0) + digits + Message(language, brevan::IDS_COUNTDOWN_LINE, 1);
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class Driver {
 public:
  Driver(Options options) : m_opt(std::move(options)), m_expect(ExpectedFor(m_opt.lang)) {}

  int Run();

 private:
  void CheckLanguage();
  void FindWindow();
  void CheckStartUp();
  void ClickUpdate();
  void FollowProbing();
  void FollowWriting();
  void FollowFailure();
  void HandleBox();
  void CheckDone();
  void Close();
  void Choose();
  void Recall();
  HWND FindBox();

  // Polls cond every 20 ms until it holds, failing with what after timeout.
  // Each round also fails on a message box or a vanished window.
  void WaitFor(const std::function<bool()>& cond, Clock::duration timeout, const std::string& what);
  void CheckNoOtherWindow();
  std::string Status() { return TextOf(Item(brevan::IDC_EDIT_STATUS)); }
  int BarPos() { return static_cast<int>(Send(Item(brevan::IDC_PROGRESS), PBM_GETPOS, 0, 0)); }
  HWND Item(int id);
  void Capture(const std::string& stage) { Capture(m_window, stage); }
  void Capture(HWND window, const std::string& stage);

  Options m_opt;
  Expected m_expect;
  HWND m_window = nullptr;
  DWORD m_pid = 0;
  bool m_boxHandled = false;
};

HWND Driver::Item(int id) {
  HWND item = GetDlgItem(m_window, id);
  if (item == nullptr) Fail("the window has no control with id " + std::to_string(id));
  return item;
}

void Driver::CheckNoOtherWindow() {
  if (!IsWindow(m_window)) Fail("the updater window went away");
  for (HWND w : ForeignDialogs()) {
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (w == m_window || pid != m_pid) continue;
    const std::string caption = TextOf(w), text = TextOf(GetDlgItem(w, 0xFFFF));
    if (!m_opt.box.empty() && !m_boxHandled && text == m_opt.box) continue;  // HandleBox's
    Capture(w, "unexpected-box");
    // Answered so that the program can still be closed.
    PostMessageW(w, WM_COMMAND, IDOK, 0);
    Fail("a message box came up, caption \"" + caption + "\", text \"" + text + "\"");
  }
}

void Driver::WaitFor(const std::function<bool()>& cond, Clock::duration timeout, const std::string& what) {
  const auto end = Clock::now() + timeout;
  for (;;) {
    CheckNoOtherWindow();
    if (cond()) return;
    if (Clock::now() > end) {
      Fail(what + " (gave up after " +
           std::to_string(std::chrono::duration_cast<milliseconds>(timeout).count()) + " ms); status box: \"" +
           Status() + "\", bar at " + std::to_string(BarPos()));
    }
    std::this_thread::sleep_for(milliseconds(20));
  }
}

void Driver::Capture(HWND window, const std::string& stage) {
  drive::CaptureScreenPng(window, m_opt.shots + "\\" + m_opt.shotName + "-" + stage + ".png");
}

void Driver::CheckLanguage() {
  const LANGID system = GetSystemDefaultLangID();
  const LANGID user = GetUserDefaultLangID();
  char ids[96];
  std::snprintf(ids, sizeof ids, "system language 0x%04X, user language 0x%04X", system, user);
  Note(ids);
  if (PRIMARYLANGID(system) != m_expect.primaryLanguage) {
    Fail(std::string(ids) + ": the system language does not follow LANG/LC_ALL for " + m_opt.lang);
  }
}

void Driver::FindWindow() {
  m_window = drive::FindForeignDialog(seconds(60));
  GetWindowThreadProcessId(m_window, &m_pid);
  const std::string caption = TextOf(m_window);
  Note("window \"" + caption + "\"");
  if (caption != m_expect.caption) Fail("caption \"" + caption + "\", expected \"" + m_expect.caption + "\"");
}

void Driver::CheckStartUp() {
  const std::string running = Message(m_expect.language, brevan::IDS_STATUS_RUNNING);
  WaitFor([&] { return Contains(Status(), running); }, seconds(10), "the status box never said \"" + running + "\"");
  const std::string update = TextOf(Item(1)), cancel = TextOf(Item(2));
  if (update != m_expect.update || cancel != m_expect.cancel) {
    Fail("buttons read \"" + update + "\" and \"" + cancel + "\", expected \"" + m_expect.update + "\" and \"" +
         m_expect.cancel + "\"");
  }
  const std::string port = TextOf(Item(brevan::IDC_COMBO_PORT));
  if (port != "COM1") Fail("the port box reads \"" + port + "\", expected the default COM1");

  // The version boxes show what the program's own bank carries.
  auto bank = std::make_unique<brevan::CImageBank>();
  bank->m_strExePath = m_opt.program;
  bank->PrepareSlots();
  if (!bank->FindImageBank() || !bank->LoadImageBank()) Fail("cannot load the image bank of " + m_opt.program);
  constexpr int kBoxes[brevan::kModuleCount] = {
      brevan::IDC_EDIT_VERSION_0,     brevan::IDC_EDIT_VERSION_0 + 1, brevan::IDC_EDIT_VERSION_0 + 2,
      brevan::IDC_EDIT_VERSION_0 + 3, brevan::IDC_EDIT_VERSION_0 + 4, brevan::IDC_EDIT_VERSION_5,
      brevan::IDC_EDIT_VERSION_6,     brevan::IDC_EDIT_VERSION_7,     brevan::IDC_EDIT_VERSION_8,
      brevan::IDC_EDIT_VERSION_9};
  for (int k = 0; k < brevan::kModuleCount; ++k) {
    const std::string shown = TextOf(Item(kBoxes[k]));
    const std::string& version = bank->m_strImageVersion[static_cast<std::size_t>(k)];
    if (shown != version || version.empty()) {
      Fail("version box of slot " + std::to_string(k) + " reads \"" + shown + "\", the bank has \"" + version + "\"");
    }
  }
  if (BarPos() != 0) Fail("the bar starts at " + std::to_string(BarPos()) + ", not 0");
  Note("start-up texts as expected; status \"" + running + "\"");
  Capture("start");
}

void Driver::ClickUpdate() {
  // A real click: the button turns it into its own notification to the dialog.
  if (!PostMessageW(Item(1), BM_CLICK, 0, 0)) Fail("cannot post BM_CLICK to UPDATE");
  Note("UPDATE clicked");
}

void Driver::FollowProbing() {
  const std::string first = CountdownLine(m_expect.language, 15);
  const std::string opened = Message(m_expect.language, brevan::IDS_PORT_OPENED);
  const std::string wrongPort = Message(m_expect.language, brevan::IDS_PORT_WRONG);
  WaitFor(
      [&] {
        const std::string s = Status();
        if (Contains(s, wrongPort)) Fail("the updater could not open COM1: \"" + s + "\"");
        return Contains(s, opened) && Contains(s, first);
      },
      seconds(10), "no countdown after UPDATE");
  // One more second of countdown, so the shot shows it running.
  const std::string second = CountdownLine(m_expect.language, 14);
  const std::string updating = Message(m_expect.language, brevan::IDS_UPDATING);
  WaitFor([&] { return Contains(Status(), second) || Contains(Status(), updating); }, seconds(5),
          "the countdown stopped at 15");
  if (Contains(Status(), updating)) Fail("the board answered before a countdown second passed: raise --power-on-delay");
  Capture("probing");
  const std::string after = Status();
  if (Contains(after, updating)) Fail("probing ended while the probing screenshot was taken: raise --power-on-delay");
  Note("probing, countdown shown: \"" + second + "\"");
}

void Driver::FollowWriting() {
  const std::string updating = Message(m_expect.language, brevan::IDS_UPDATING);
  WaitFor([&] { return Contains(Status(), updating); }, seconds(20), "the board never started taking pages");
  const auto started = Clock::now();
  int pos = 0;
  WaitFor(
      [&] {
        pos = BarPos();
        if (Contains(Status(), m_expect.done)) Fail("the upgrade finished before the bar was seen part-way");
        return pos >= 25 && pos <= 75;
      },
      seconds(60), "the bar never stood between 25 and 75 while writing");
  Capture("writing");
  const int after = BarPos();
  Note("writing, bar at " + std::to_string(pos) + " (" + std::to_string(after) + " after the screenshot)");
  if (after < pos) Fail("the bar went back from " + std::to_string(pos) + " to " + std::to_string(after));
  if (m_opt.boxWhen == "last") HandleBox();
  WaitFor([&] { return Contains(Status(), m_expect.done); }, seconds(90), "the upgrade never finished");
  const auto ms = std::chrono::duration_cast<milliseconds>(Clock::now() - started).count();
  Note("pages written in " + std::to_string(ms) + " ms as the window saw it");
}

HWND Driver::FindBox() {
  for (HWND w : ForeignDialogs()) {
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (w != m_window && pid == m_pid && TextOf(GetDlgItem(w, 0xFFFF)) == m_opt.box) return w;
  }
  return nullptr;
}

void Driver::HandleBox() {
  HWND box = nullptr;
  std::optional<Clock::time_point> doneAt;
  WaitFor(
      [&] {
        if ((box = FindBox()) != nullptr) return true;
        // The window closed the port before the ',' that came with the last
        // acknowledgement was read: the box can no longer come. Said so at once.
        if (m_opt.boxWhen == "last" && Contains(Status(), m_expect.done)) {
          if (!doneAt) doneAt = Clock::now();
          if (Clock::now() - *doneAt > seconds(3)) {
            std::fprintf(stderr, "brevan-gui-driver: the upgrade ended and the port closed before the loader's \"%s\" was read\n",
                         m_opt.box.c_str());
            std::exit(3);
          }
        }
        return false;
      },
      seconds(60), "the loader's box \"" + m_opt.box + "\" never came up");
  const auto opened = Clock::now();
  Note("box \"" + m_opt.box + "\" up, caption \"" + TextOf(box) + "\", owner " +
       (GetWindow(box, GW_OWNER) == m_window ? "the updater window" : "another window"));
  if (GetWindow(box, GW_OWNER) != m_window) Fail("the box is not owned by the updater window");
  // Left open: the window must keep answering what other threads send it.
  int answered = 0;
  while (Clock::now() - opened < kBoxHold) {
    const auto asked = Clock::now();
    if (!drive::Answers(m_window, 1000)) Fail("the window did not answer WM_NULL within 1 s while the box was open");
    const auto ms = std::chrono::duration_cast<milliseconds>(Clock::now() - asked).count();
    if (ms > 1000) Fail("the window took " + std::to_string(ms) + " ms to answer WM_NULL");
    ++answered;
    if (!IsWindow(box)) Fail("the box went away before OK was clicked");
    std::this_thread::sleep_for(milliseconds(250));
  }
  if (m_opt.boxWhen == "last") {
    // The upgrade has ended under the box: the window shows it even while it waits for the box.
    WaitFor([&] { return Contains(Status(), m_expect.done); }, seconds(5),
            "the status box does not show the end of the upgrade while the box is open");
  }
  Capture(m_window, "box");  // the box stands over the window
  Note("window answered " + std::to_string(answered) + " times in " +
       std::to_string(std::chrono::duration_cast<milliseconds>(Clock::now() - opened).count()) +
       " ms with the box open; clicking OK");
  HWND ok = GetDlgItem(box, IDOK);
  if (ok != nullptr) PostMessageW(ok, BM_CLICK, 0, 0);
  else PostMessageW(box, WM_COMMAND, IDOK, 0);
  m_boxHandled = true;
  const auto end = Clock::now() + seconds(5);
  while (IsWindow(box)) {
    if (Clock::now() > end) Fail("the box did not close on its OK");
    std::this_thread::sleep_for(milliseconds(20));
  }
  if (!drive::Answers(m_window, 1000)) Fail("the window did not answer WM_NULL within 1 s after the box closed");
  Note("box closed; the window answers");
}

void Driver::CheckDone() {
  const std::string serial = TextOf(Item(brevan::IDC_EDIT_SERIAL_NO));
  const std::string hardware = TextOf(Item(brevan::IDC_EDIT_HARDWARE_VERSION));
  const std::string software = TextOf(Item(brevan::IDC_EDIT_SOFTWARE_VERSION));
  if (serial != m_opt.serial || hardware != m_opt.module || software != m_opt.softwareVersion) {
    Fail("module boxes read \"" + serial + "\", \"" + hardware + "\", \"" + software + "\"; the board reported \"" +
         m_opt.serial + "\", \"" + m_opt.module + "\", \"" + m_opt.softwareVersion + "\"");
  }
  Note("done: \"" + m_expect.done + "\", bar at " + std::to_string(BarPos()) + ", module " + hardware + " S/N " +
       serial);
  // A late message box (old firmware) would come right after the last line.
  std::this_thread::sleep_for(milliseconds(300));
  CheckNoOtherWindow();
  Capture("done");
}

void Driver::Close() {
  // Opened before CANCEL, so the handle is the program's even once it has ended.
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, m_pid);
  if (!PostMessageW(Item(2), BM_CLICK, 0, 0)) Fail("cannot post BM_CLICK to CANCEL");
  const auto clicked = Clock::now();
  const auto end = clicked + seconds(10);
  while (IsWindow(m_window)) {
    if (Clock::now() > end) Fail("the window is still there 10 s after CANCEL");
    std::this_thread::sleep_for(milliseconds(20));
  }
  Note("CANCEL closed the window in " +
       std::to_string(std::chrono::duration_cast<milliseconds>(Clock::now() - clicked).count()) + " ms");
  if (m_opt.box.empty() && m_opt.end.empty()) {
    if (process) CloseHandle(process);
    return;
  }
  if (process == nullptr) Fail("cannot open the updater's process to see it end");
  const auto left = std::chrono::duration_cast<milliseconds>(seconds(2) - (Clock::now() - clicked)).count();
  const DWORD ended = WaitForSingleObject(process, static_cast<DWORD>(std::max<long long>(left, 0)));
  const auto took = std::chrono::duration_cast<milliseconds>(Clock::now() - clicked).count();
  CloseHandle(process);
  if (ended != WAIT_OBJECT_0) Fail("the program still runs 2 s after CANCEL (" + std::to_string(took) + " ms)");
  Note("the program ended " + std::to_string(took) + " ms after CANCEL");
}

void Driver::FollowFailure() {
  const bool overtime = m_opt.end == "overtime";
  const std::string expected = Message(m_expect.language, overtime ? brevan::IDS_OVERTIME : brevan::IDS_PORT_WRONG);
  const std::string updating = Message(m_expect.language, brevan::IDS_UPDATING);
  if (overtime) WaitFor([&] { return Contains(Status(), updating); }, seconds(30), "the board never started taking pages");
  WaitFor([&] { return Contains(Status(), expected); }, seconds(40), "the window never said \"" + expected + "\"");
  if (Contains(Status(), m_expect.done)) Fail("the window says the upgrade is done: \"" + Status() + "\"");
  Capture(m_opt.end);
  Note("ended as expected: \"" + expected + "\"");
}

// As a person picks them: the port typed into its box, the speed chosen from its list.
void Driver::Choose() {
  HWND port = Item(brevan::IDC_COMBO_PORT), baud = Item(brevan::IDC_COMBO_BAUD);
  const std::wstring name = fw::win32::Widen(m_opt.port);
  Send(port, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
  Send(m_window, WM_COMMAND, MAKEWPARAM(brevan::IDC_COMBO_PORT, CBN_EDITCHANGE), reinterpret_cast<LPARAM>(port));
  const auto count = static_cast<int>(Send(baud, CB_GETCOUNT, 0, 0));
  int chosen = -1;
  for (int i = 0; i < count && chosen < 0; ++i) {
    Send(baud, CB_SETCURSEL, static_cast<WPARAM>(i), 0);
    if (TextOf(baud) == m_opt.baud) chosen = i;
  }
  if (chosen < 0) Fail("the speed list has no \"" + m_opt.baud + "\" among its " + std::to_string(count) + " items");
  Send(m_window, WM_COMMAND, MAKEWPARAM(brevan::IDC_COMBO_BAUD, CBN_SELCHANGE), reinterpret_cast<LPARAM>(baud));
  if (TextOf(port) != m_opt.port) Fail("the port box reads \"" + TextOf(port) + "\" after typing " + m_opt.port);
  Note("chose " + m_opt.port + " at " + m_opt.baud + " (item " + std::to_string(chosen) + ")");
  Capture("chosen");
  ClickUpdate();
  const std::string opened = Message(m_expect.language, brevan::IDS_PORT_OPENED);
  const std::string wrongPort = Message(m_expect.language, brevan::IDS_PORT_WRONG);
  WaitFor(
      [&] {
        if (Contains(Status(), wrongPort)) Fail(m_opt.port + " did not open: \"" + Status() + "\"");
        return Contains(Status(), opened);
      },
      seconds(10), m_opt.port + " never opened after UPDATE");
  Capture("started");
}

void Driver::Recall() {
  const std::string running = Message(m_expect.language, brevan::IDS_STATUS_RUNNING);
  WaitFor([&] { return Contains(Status(), running); }, seconds(10), "the status box never said \"" + running + "\"");
  const std::string port = TextOf(Item(brevan::IDC_COMBO_PORT)), baud = TextOf(Item(brevan::IDC_COMBO_BAUD));
  Capture("recalled");
  if (port != m_opt.port || baud != m_opt.baud) {
    Fail("the window starts with " + port + " at " + baud + ", remembered were " + m_opt.port + " at " + m_opt.baud);
  }
  Note("the window starts with the remembered " + port + " at " + baud);
}

int Driver::Run() {
  CheckLanguage();
  FindWindow();
  if (!m_opt.remember.empty()) {
    if (m_opt.remember == "choose") {
      CheckStartUp();
      Choose();
    } else {
      Recall();
    }
    Close();
    Note("OK");
    return 0;
  }
  CheckStartUp();
  ClickUpdate();
  if (!m_opt.end.empty()) {
    if (m_opt.end == "overtime") FollowProbing();
    FollowFailure();
    Close();
    Note("OK");
    return 0;
  }
  FollowProbing();
  if (m_opt.boxWhen == "early") HandleBox();
  FollowWriting();
  CheckDone();
  Close();
  Note("OK");
  return 0;
}

}  // namespace

int main() {
  drive::SetName("brevan-gui-driver");
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  Options o;
  for (int i = 1; argv != nullptr && i + 1 < argc; i += 2) {
    const std::wstring opt = argv[i];
    const std::string value = fw::win32::Narrow(argv[i + 1]);
    if (opt == L"--lang") o.lang = value;
    else if (opt == L"--program") o.program = value;
    else if (opt == L"--shots") o.shots = value;
    else if (opt == L"--module") o.module = value;
    else if (opt == L"--serial") o.serial = value;
    else if (opt == L"--software-version") o.softwareVersion = value;
    else if (opt == L"--shot-name") o.shotName = value;
    else if (opt == L"--box") o.box = value;
    else if (opt == L"--box-when") o.boxWhen = value;
    else if (opt == L"--end") o.end = value;
    else if (opt == L"--remember") o.remember = value;
    else if (opt == L"--port") o.port = value;
    else if (opt == L"--baud") o.baud = value;
    else Fail("unknown option " + fw::win32::Narrow(opt));
  }
  if (argv != nullptr) LocalFree(argv);
  if ((o.lang != "en" && o.lang != "zh") || o.program.empty() || o.shots.empty() || o.module.empty() ||
      o.serial.empty() || o.softwareVersion.empty() ||
      (!o.box.empty() && o.boxWhen != "early" && o.boxWhen != "last") ||
      (!o.end.empty() && o.end != "overtime" && o.end != "port-wrong") ||
      (!o.remember.empty() && ((o.remember != "choose" && o.remember != "recall") || o.port.empty() || o.baud.empty()))) {
    Fail("usage: brevan_gui_driver --lang en|zh --program EXE --shots DIR --module NAME --serial TEXT "
         "--software-version TEXT [--shot-name NAME] [--box TEXT --box-when early|last] "
         "[--end overtime|port-wrong] [--remember choose|recall --port NAME --baud TEXT]");
  }
  if (o.shotName.empty()) o.shotName = "brevan-" + o.lang;
  CreateDirectoryW(fw::win32::Widen(o.shots).c_str(), nullptr);
  return Driver(std::move(o)).Run();
}
