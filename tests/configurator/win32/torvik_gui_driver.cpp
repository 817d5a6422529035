// Drives a running Torvik.exe from a second process by real messages, as an
// operator at the window would, and keeps a screenshot of each stage.
//
// Settings on the first port: picks the receiver type, opens the port, presses
// Set, waits for the last label and checks the whole log; writes the values
// the window showed before Set (serial number, local id, user:password) to
// --values for the script to find on the board. Then the about box.
//
// Then, on the race port, the mount point: 98 characters typed into the
// combo's edit field one WM_CHAR at a time (the box is far narrower) all
// show; a 99th shows too and Set is refused with the exchange's prompt; taken
// back, Set goes and the line carries the 98 (the script finds them on the
// board: --values gets mount=). The port is closed again once IPSET is
// acknowledged.
//
// Then, on the race port (a receiver answering --ack-delay ms late), the port
// is closed while the monitor thread reports an acknowledgement, at
// --close-after moments after its bytes come in (the item's label showing
// plus --ack-delay; the link's wire time is under 2 ms); the window must go on
// answering and show the port closed within 2 s. Last, WM_CLOSE at such a
// moment must end the program within 2 s.
//
//   torvik_gui_driver --shots Z:\dir --values Z:\file --type NAME --type-rate N
//                     --port COM1 --race-port COM2 --ack-delay MS --close-after 0,100,250
//
// With --vanish-port the faults instead: the Set on --port as above (its
// receiver splits its replies), then a Set on the vanish port whose receiver
// never answers KAVEL,NO. and is killed once that line shows (the driver
// writes --vanish-flag, the script kills): the window keeps answering, the
// rest times out, the port closes within 2 s. Then --held-port, a port whose
// open is denied as for a port another program holds (Wine does not keep
// two processes off one COM port): the window's box names the port as taken. Last,
// WM_CLOSE ends the program within 2 s.
//   torvik_gui_driver --shots DIR --values FILE --type NAME --type-rate N --port COM1
//                     --vanish-port COM2 --vanish-flag Z:\file --held-port COM3
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "configurator/resources/torvik_ids.h"
#include "framework/win32/wide_text.h"
#include "tests/support/win32/foreign_window.h"

namespace {

using drive::Clock;
using drive::Fail;
using drive::MsSince;
using drive::Note;
using drive::Send;
using drive::TextOf;
using std::chrono::milliseconds;
using std::chrono::seconds;

struct Options {
  std::string shots, values, type, typeRate, port, racePort, vanishPort, vanishFlag, heldPort;
  int ackDelayMs = 0;
  std::vector<int> closeAfterMs;
};

// The window's texts, written out so that a wrong table entry shows.
const std::string kCaption = "GTM900/CM320/EM310/EM200 生产设置 2010年01月26日";
const std::string kOpen = "打开串口", kClose = "关闭串口";
const std::string kOk = "....OK....", kTimeout = "超时错误";
const std::string kAboutCaption = "关于 Torvik";
const std::string kTooLong = "“请填入不多于98个的字符。”";
constexpr int kMountChars = 98;
// WM_CLOSE this long after an acknowledgement is due: inside its 200 ms report pause.
constexpr int kEndAfterMs = 100;

struct Step {
  std::string label;
  bool awaited;
};

// The log of a port opened with 直通 on, then one Set with the defaults
// (移动APN, HERON): from the fourth settings command on, a label names the
// command after it, and the two GGA commands carry empty labels.
std::vector<Step> ExpectedLog(const std::string& rate) {
  return {{"KAVEL,CLOSE", false},
          {"KAVEL,DIRECT,ON", false},
          {"KAVEL,CLOSE", false},
          {"KAVEL,DIRECT,ON", false},
          {"设置APN VPN", true},
          {"设置本机机号", true},
          {"设置本机电话号码", true},
          {"设置用户名密码", true},
          {"设置工作模式为 GPRS GSM CDMA", true},
          {"设置工作模式 MODEKAVEL  MODEVRS MODENTRIP", true},
          {"设置指示灯模式", true},
          {"设置自启动模式 ", true},
          {"设置是否使用DNS模式 ", true},
          {"设置DNS", true},
          {"设置GGA", true},
          {"", true},
          {"", true},
          {"SERIAL No. Setting ", true},
          {"9600 AT+IPR=115200", false},
          {"COM1==>" + rate + " COM2==>115200", true},
          {"CLOSE GPRS Dispplay..", false},
          {"KAVEL,NO.,,", true},
          {"KAVEL,SAVECONFIG", true},
          {"KAVEL,DIRECT,OFF", false}};
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string all;
  for (const std::string& line : lines) all += "\n    \"" + line + "\"";
  return all;
}

class Driver {
 public:
  explicit Driver(Options o) : m_opt(std::move(o)) {}
  int Run();

 private:
  HWND Item(int id);
  std::vector<std::string> Log() { return drive::ListBoxLines(Item(torvik::IDC_LIST_LOG)); }
  std::string LastLine();
  void Wait(const std::function<bool()>& cond, Clock::duration timeout, const std::string& what);
  void CheckNoBox();
  void Shot(const std::string& stage) { Shot(m_window, stage); }
  void Shot(HWND window, const std::string& stage);
  void Select(int comboId, const std::string& text);
  void Click(int id);
  void OpenPort(const std::string& port);
  Clock::time_point SetUntilFirstAwaited();

  void FindWindow();
  void Settings();
  void About();
  void ClosePort();
  void TypeChars(HWND edit, const std::string& text, HWND shows, const std::string& expected);
  void MountPoint();
  void CloseDuringAck(int afterMs);
  void EndDuringAck(int afterMs);
  void Vanish();
  void Held();
  int RunFaults();

  Options m_opt;
  HWND m_window = nullptr;
  DWORD m_pid = 0;
  HANDLE m_process = nullptr;
  int m_hits = 0;
};

HWND Driver::Item(int id) {
  HWND item = GetDlgItem(m_window, id);
  if (item == nullptr) Fail("the window has no control with id " + std::to_string(id));
  return item;
}

std::string Driver::LastLine() {
  const std::vector<std::string> log = Log();
  return log.empty() ? std::string() : log.back();
}

void Driver::CheckNoBox() {
  if (!IsWindow(m_window)) Fail("the window went away");
  if (HWND box = drive::FindDialogOf(m_pid, m_window)) {
    HWND textItem = GetDlgItem(box, 0xFFFF);
    const std::string caption = TextOf(box), text = textItem != nullptr ? TextOf(textItem) : "";
    Shot(box, "unexpected-box");
    PostMessageW(box, WM_COMMAND, IDOK, 0);  // so that the program can still be closed
    Fail("a box came up, caption \"" + caption + "\", text \"" + text + "\"");
  }
}

void Driver::Wait(const std::function<bool()>& cond, Clock::duration timeout, const std::string& what) {
  drive::WaitFor(cond, timeout, what + "; log:" + Joined(Log()), [this] { CheckNoBox(); });
}

void Driver::Shot(HWND window, const std::string& stage) {
  drive::CaptureScreenPng(window, m_opt.shots + "\\torvik-" + stage + ".png");
}

void Driver::Select(int comboId, const std::string& text) {
  HWND combo = Item(comboId);
  const std::wstring wide = fw::win32::Widen(text);
  const LRESULT index = Send(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(wide.c_str()));
  if (index == CB_ERR) Fail("combo " + std::to_string(comboId) + " offers no \"" + text + "\"");
  Send(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  if (TextOf(combo) != text) Fail("combo " + std::to_string(comboId) + " shows \"" + TextOf(combo) + "\"");
}

void Driver::Click(int id) {
  // The button turns it into its own notification to the window.
  if (!PostMessageW(Item(id), BM_CLICK, 0, 0)) Fail("cannot post BM_CLICK to " + std::to_string(id));
}

void Driver::OpenPort(const std::string& port) {
  if (TextOf(Item(torvik::IDC_BUTTON_PORT)) != kOpen) Fail("the port button does not read \"" + kOpen + "\"");
  Select(torvik::IDC_COMBO_PORT, port);
  Click(torvik::IDC_BUTTON_PORT);
  Wait([&] { return TextOf(Item(torvik::IDC_BUTTON_PORT)) == kClose; }, seconds(5),
       "the port button never read \"" + kClose + "\" after opening " + port);
  // The link preparation: two items without reply, 400 ms each.
  Wait([&] { return Log() == std::vector<std::string>{"KAVEL,CLOSE", "KAVEL,DIRECT,ON"}; }, seconds(5),
       "the link preparation was not logged");
  if (IsWindowEnabled(Item(torvik::IDC_COMBO_PORT))) Fail("the port combo stays enabled with the port open");
}

void Driver::FindWindow() {
  m_window = drive::FindForeignDialog(seconds(60));
  GetWindowThreadProcessId(m_window, &m_pid);
  m_process = OpenProcess(SYNCHRONIZE, FALSE, m_pid);
  if (m_process == nullptr) Fail("cannot open the program's process");
  if (TextOf(m_window) != kCaption) Fail("caption \"" + TextOf(m_window) + "\", expected \"" + kCaption + "\"");
  Note("window \"" + kCaption + "\"");
}

void Driver::Settings() {
  Select(torvik::IDC_COMBO_TYPE, m_opt.type);
  Select(torvik::IDC_COMBO_PORT, m_opt.port);
  Shot("start");
  OpenPort(m_opt.port);
  Shot("port-open");

  // What the board must end with: the window's values as Set reads them.
  const std::string serial = TextOf(Item(torvik::IDC_EDIT_SERIAL_NO));
  const std::string localId = TextOf(Item(torvik::IDC_EDIT_LOCAL_ID));
  const std::string userPass = TextOf(Item(torvik::IDC_EDIT_USER_PASS));
  if (FILE* f = _wfopen(fw::win32::Widen(m_opt.values).c_str(), L"w")) {
    std::fprintf(f, "serial=%s\nlocalId=%s\nuserPass=%s\n", serial.c_str(), localId.c_str(), userPass.c_str());
    std::fclose(f);
  } else {
    Fail("cannot write " + m_opt.values);
  }
  Note("before Set: serial number " + serial + ", local id " + localId + ", user:password " + userPass);

  const auto pressed = Clock::now();
  Click(torvik::IDC_BUTTON_SET);
  Wait([&] { return LastLine() == "KAVEL,DIRECT,OFF"; }, seconds(60), "the settings never reached KAVEL,DIRECT,OFF");
  const long long took = MsSince(pressed);
  // Anything late (an acknowledgement, a time-out) would land meanwhile.
  std::this_thread::sleep_for(milliseconds(1200));
  const std::vector<std::string> log = Log();
  std::vector<std::string> want;
  for (const Step& s : ExpectedLog(m_opt.typeRate)) want.push_back(s.awaited ? s.label + kOk : s.label);
  if (std::find(log.begin(), log.end(), kTimeout) != log.end()) Fail("\"" + kTimeout + "\" in the log:" + Joined(log));
  if (log != want) Fail("the log reads:" + Joined(log) + "\n  expected:" + Joined(want));
  Note("Set to the last label in " + std::to_string(took) + " ms; " + std::to_string(log.size()) +
       " log lines as expected");
  if (TextOf(Item(torvik::IDC_EDIT_SERIAL_NO)) == serial) Fail("the serial number did not advance after Set");
  Shot("after-set");
}

void Driver::About() {
  PostMessageW(m_window, WM_SYSCOMMAND, 0x0010, 0);
  HWND about = nullptr;
  drive::WaitFor([&] { return (about = drive::FindDialogOf(m_pid, m_window, kAboutCaption)) != nullptr; },
                 seconds(5), "no \"" + kAboutCaption + "\" box after system command 0x0010");
  if (GetWindow(about, GW_OWNER) != m_window) Fail("the about box is not owned by the window");
  Shot(about, "about");
  PostMessageW(GetDlgItem(about, IDOK), BM_CLICK, 0, 0);
  drive::WaitFor([&] { return !IsWindow(about); }, seconds(5), "the about box did not close on 确定");
}

void Driver::ClosePort() {
  Click(torvik::IDC_BUTTON_PORT);
  Wait([&] { return TextOf(Item(torvik::IDC_BUTTON_PORT)) == kOpen; }, seconds(2),
       "the port button did not read \"" + kOpen + "\" after the close");
}

// One WM_CHAR per character, posted as the keyboard's come; shows must then read expected.
void Driver::TypeChars(HWND edit, const std::string& text, HWND shows, const std::string& expected) {
  for (char c : text) PostMessageW(edit, WM_CHAR, static_cast<WPARAM>(static_cast<unsigned char>(c)), 1);
  const auto typed = Clock::now();
  while (TextOf(shows) != expected) {
    if (Clock::now() - typed > seconds(5))
      Fail("typed " + std::to_string(text.size()) + " characters: the box holds " +
           std::to_string(TextOf(shows).size()) + ", \"" + TextOf(shows) + "\", expected " +
           std::to_string(expected.size()));
    std::this_thread::sleep_for(milliseconds(20));
  }
}

void Driver::MountPoint() {
  OpenPort(m_opt.racePort);
  Click(torvik::IDC_CHECK_NTRIP);
  HWND combo = Item(torvik::IDC_COMBO_MOUNT);
  Wait([&] { return IsWindowEnabled(combo) != FALSE; }, seconds(2), "the mount point box stays disabled in NTRIP");
  // The drop-down's edit field is its child of class Edit (GetComboBoxInfo does not reach across processes here).
  HWND edit = FindWindowExW(combo, nullptr, L"Edit", nullptr);
  if (edit == nullptr) Fail("the mount point box has no edit field");
  SendMessageW(edit, EM_SETSEL, 0, -1);
  TypeChars(edit, "\b", combo, "");  // "RTCM30" goes
  std::string mount;
  for (int i = 0; i < kMountChars; ++i) mount += "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"[i % 36];
  TypeChars(edit, mount, combo, mount);
  Shot("mount-98");
  TypeChars(edit, "Z", combo, mount + "Z");  // the box takes it; the check comes at Set

  Click(torvik::IDC_BUTTON_SET);
  HWND box = nullptr;
  drive::WaitFor([&] { return (box = drive::FindDialogOf(m_pid, m_window)) != nullptr; }, seconds(5),
                 "no prompt after Set with 99 characters in the mount point");
  HWND textItem = GetDlgItem(box, 0xFFFF);
  const std::string text = textItem != nullptr ? TextOf(textItem) : "";
  Shot(box, "mount-99");
  PostMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
  drive::WaitFor([&] { return !IsWindow(box); }, seconds(5), "the prompt did not close");
  if (text != kTooLong) Fail("the prompt says \"" + text + "\", expected \"" + kTooLong + "\"");
  if (Log() != std::vector<std::string>{"KAVEL,CLOSE", "KAVEL,DIRECT,ON"})
    Fail("the refused Set logged:" + Joined(Log()));

  // The prompt put the focus back on the box, which selects all of its text: the caret goes to the end first.
  SendMessageW(edit, EM_SETSEL, mount.size() + 1, static_cast<LPARAM>(mount.size() + 1));
  TypeChars(edit, "\b", combo, mount);
  Click(torvik::IDC_BUTTON_SET);
  Wait([&] { return LastLine() == "设置用户名密码" + kOk; }, seconds(20), "IPSET was never acknowledged");
  ClosePort();
  if (FILE* f = _wfopen(fw::win32::Widen(m_opt.values).c_str(), L"a")) {
    std::fprintf(f, "mount=%s\n", mount.c_str());
    std::fclose(f);
  } else {
    Fail("cannot write " + m_opt.values);
  }
  Note("mount point: " + std::to_string(kMountChars) + " typed characters went with Set, a 99th brought \"" + text +
       "\"");
}

Clock::time_point Driver::SetUntilFirstAwaited() {
  Click(torvik::IDC_BUTTON_SET);
  // Written after the rate broadcast (about 4.4 s) and the link preparation.
  Clock::time_point written{};
  Wait(
      [&] {
        if (LastLine() != "设置APN VPN") return false;
        written = Clock::now();
        return true;
      },
      seconds(15), "the first awaited item was never written");
  return written;
}

void Driver::CloseDuringAck(int afterMs) {
  OpenPort(m_opt.racePort);
  const Clock::time_point written = SetUntilFirstAwaited();
  std::this_thread::sleep_until(written + milliseconds(m_opt.ackDelayMs + afterMs));
  Click(torvik::IDC_BUTTON_PORT);
  const auto clicked = Clock::now();
  drive::WaitFor(
      [&] {
        if (!drive::Answers(m_window, 2000)) Fail("the window did not answer WM_NULL within 2 s of the close");
        return TextOf(Item(torvik::IDC_BUTTON_PORT)) == kOpen;
      },
      seconds(2), "the port button did not read \"" + kOpen + "\" within 2 s of the close");
  const long long took = MsSince(clicked);
  // The log is emptied as the close begins: an acknowledgement in it was
  // reported while the window was closing the port.
  std::this_thread::sleep_for(milliseconds(300));
  const std::vector<std::string> log = Log();
  const bool hit = log == std::vector<std::string>{kOk};
  if (!log.empty() && !hit) Fail("after the close the log reads:" + Joined(log));
  m_hits += hit ? 1 : 0;
  if (!IsWindowEnabled(Item(torvik::IDC_COMBO_PORT))) Fail("the port combo stays disabled after the close");
  Note("closed " + std::to_string(afterMs) + " ms after the acknowledgement was due: port closed in " +
       std::to_string(took) + " ms, " + (hit ? "the acknowledgement was reported during the close" : "log empty"));
}

void Driver::EndDuringAck(int afterMs) {
  OpenPort(m_opt.racePort);
  const Clock::time_point written = SetUntilFirstAwaited();
  std::this_thread::sleep_until(written + milliseconds(m_opt.ackDelayMs + afterMs));
  PostMessageW(m_window, WM_CLOSE, 0, 0);
  const auto posted = Clock::now();
  const DWORD ended = WaitForSingleObject(m_process, 2000);
  if (ended != WAIT_OBJECT_0) Fail("the program still runs 2 s after WM_CLOSE (" + std::to_string(MsSince(posted)) + " ms)");
  Note("WM_CLOSE " + std::to_string(afterMs) + " ms after the acknowledgement was due: the program ended in " +
       std::to_string(MsSince(posted)) + " ms");
}

void Driver::Vanish() {
  OpenPort(m_opt.vanishPort);
  Click(torvik::IDC_BUTTON_SET);
  Wait([&] { return LastLine() == "KAVEL,NO.,,"; }, seconds(30), "KAVEL,NO. was never written");
  if (FILE* f = _wfopen(fw::win32::Widen(m_opt.vanishFlag).c_str(), L"w")) std::fclose(f);
  else Fail("cannot write " + m_opt.vanishFlag);
  const auto flagged = Clock::now();
  Wait(
      [&] {
        if (!drive::Answers(m_window, 2000)) Fail("the window did not answer WM_NULL within 2 s with its port gone");
        return LastLine() == "KAVEL,DIRECT,OFF";
      },
      seconds(20), "the items after the port went never all went out");
  // Acknowledged byte by byte up to NO.; from there on the port is gone.
  std::vector<std::string> want;
  for (const Step& s : ExpectedLog(m_opt.typeRate)) {
    if (s.label == "KAVEL,NO.,,") break;
    want.push_back(s.awaited ? s.label + kOk : s.label);
  }
  for (const char* line : {"KAVEL,NO.,,", "超时错误", "KAVEL,SAVECONFIG", "超时错误", "KAVEL,DIRECT,OFF"}) want.push_back(line);
  const std::vector<std::string> log = Log();
  if (log != want) Fail("with the port gone the log reads:" + Joined(log) + "\n  expected:" + Joined(want));
  Note("port gone: the rest timed out in " + std::to_string(MsSince(flagged)) + " ms, the window answering");
  Shot("vanished");
  const auto clicked = Clock::now();
  ClosePort();
  Note("the gone port closed in " + std::to_string(MsSince(clicked)) + " ms");
}

void Driver::Held() {
  Select(torvik::IDC_COMBO_PORT, m_opt.heldPort);
  Click(torvik::IDC_BUTTON_PORT);
  HWND box = nullptr;
  drive::WaitFor([&] { return (box = drive::FindDialogOf(m_pid, m_window)) != nullptr; }, seconds(5),
                 "no box after opening the held port");
  HWND textItem = GetDlgItem(box, 0xFFFF);
  const std::string text = textItem != nullptr ? TextOf(textItem) : "";
  Shot(box, "held");
  PostMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
  drive::WaitFor([&] { return !IsWindow(box); }, seconds(5), "the box did not close");
  if (text.find("通讯建立错误,串口已被其他程序打开") == std::string::npos) Fail("the box says \"" + text + "\"");
  if (TextOf(Item(torvik::IDC_BUTTON_PORT)) != kOpen) Fail("the port button changed for a port not opened");
  Note("held port: \"" + text + "\"");
}

int Driver::RunFaults() {
  FindWindow();
  Settings();
  ClosePort();
  Vanish();
  Held();
  PostMessageW(m_window, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(m_process, 2000) != WAIT_OBJECT_0) Fail("the program still runs 2 s after WM_CLOSE");
  CloseHandle(m_process);
  Note("OK");
  return 0;
}

int Driver::Run() {
  if (!m_opt.vanishPort.empty()) return RunFaults();
  FindWindow();
  Settings();
  About();
  ClosePort();
  MountPoint();
  const auto race = Clock::now();
  for (int afterMs : m_opt.closeAfterMs) CloseDuringAck(afterMs);
  if (m_hits == 0) Fail("no close fell while an acknowledgement was being reported: the moments miss it");
  EndDuringAck(kEndAfterMs);
  Note(std::to_string(m_hits) + " of " + std::to_string(m_opt.closeAfterMs.size()) +
       " closes fell inside an acknowledgement's report; race rounds took " + std::to_string(MsSince(race)) + " ms");
  CloseHandle(m_process);
  Note("OK");
  return 0;
}

std::vector<int> Numbers(const std::string& list) {
  std::vector<int> out;
  std::size_t at = 0;
  while (at < list.size()) {
    std::size_t end = list.find(',', at);
    if (end == std::string::npos) end = list.size();
    out.push_back(std::atoi(list.substr(at, end - at).c_str()));
    at = end + 1;
  }
  return out;
}

}  // namespace

int main() {
  drive::SetName("torvik-gui-driver");
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  Options o;
  for (int i = 1; argv != nullptr && i + 1 < argc; i += 2) {
    const std::wstring opt = argv[i];
    const std::string value = fw::win32::Narrow(argv[i + 1]);
    if (opt == L"--shots") o.shots = value;
    else if (opt == L"--values") o.values = value;
    else if (opt == L"--type") o.type = value;
    else if (opt == L"--type-rate") o.typeRate = value;
    else if (opt == L"--port") o.port = value;
    else if (opt == L"--race-port") o.racePort = value;
    else if (opt == L"--ack-delay") o.ackDelayMs = std::atoi(value.c_str());
    else if (opt == L"--close-after") o.closeAfterMs = Numbers(value);
    else if (opt == L"--vanish-port") o.vanishPort = value;
    else if (opt == L"--vanish-flag") o.vanishFlag = value;
    else if (opt == L"--held-port") o.heldPort = value;
    else Fail("unknown option " + fw::win32::Narrow(opt));
  }
  if (argv != nullptr) LocalFree(argv);
  const bool faults = !o.vanishPort.empty() && !o.vanishFlag.empty() && !o.heldPort.empty();
  if (o.shots.empty() || o.values.empty() || o.type.empty() || o.typeRate.empty() || o.port.empty() ||
      (!faults && (o.racePort.empty() || o.closeAfterMs.empty()))) {
    Fail("usage: torvik_gui_driver --shots DIR --values FILE --type NAME --type-rate N --port COMn "
         "--race-port COMn --ack-delay MS --close-after MS,MS,...");
  }
  CreateDirectoryW(fw::win32::Widen(o.shots).c_str(), nullptr);
  return Driver(std::move(o)).Run();
}
