#include "framework/win32/win32_host.h"

#include <algorithm>
#include <array>

#include "framework/platform_paths.h"
#include "framework/win32/dialog_template_builder.h"
#include "framework/win32/gdi_dc.h"
#include "framework/win32/message_box.h"
#include "framework/win32/sent_message_wait.h"
#include "framework/win32/wide_text.h"
#include "framework/win32/win32_api.h"

namespace fw {
namespace {

constexpr wchar_t kSiteProperty[] = L"fw.ControlSite";

HWND H(void* p) { return static_cast<HWND>(p); }

std::string TextOf(HWND hwnd) {
  if (hwnd == nullptr) return {};
  const int n = GetWindowTextLengthW(hwnd);
  if (n <= 0) return {};
  std::wstring buf(static_cast<std::size_t>(n) + 1, L'\0');
  const int got = GetWindowTextW(hwnd, buf.data(), n + 1);
  buf.resize(static_cast<std::size_t>(std::max(got, 0)));
  return win32::Narrow(buf);
}

Box BoxOf(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }

INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == WM_INITDIALOG) {
    auto* host = reinterpret_cast<Win32DialogHost*>(lparam);
    SetWindowLongPtrW(hwnd, DWLP_USER, lparam);
    return host->InitDialog(hwnd);
  }
  auto* host = reinterpret_cast<Win32DialogHost*>(GetWindowLongPtrW(hwnd, DWLP_USER));
  if (host == nullptr) return FALSE;
  bool handled = false;
  const std::intptr_t result = host->HandleMessage(msg, wparam, lparam, handled);
  if (!handled) return FALSE;
  switch (msg) {
    // These return their result straight from the dialog procedure.
    case WM_QUERYDRAGICON:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
      return result;
    default:
      SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, result);
      return TRUE;
  }
}

}  // namespace

// The window behind a control class: the control's HWND with the class in
// front of its window procedure.
class Win32ControlSite final : public IControlSite {
 public:
  Win32ControlSite(HWND hwnd, int id, CControlClass& cls) : m_hwnd(hwnd), m_id(id), m_class(&cls) {}
  ~Win32ControlSite() override { Restore(); }
  Win32ControlSite(const Win32ControlSite&) = delete;
  Win32ControlSite& operator=(const Win32ControlSite&) = delete;

  void Install() {
    m_oldProc = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(m_hwnd, GWLP_WNDPROC));
    SetPropW(m_hwnd, kSiteProperty, this);
    // The class sees its site before any message: PreSubclassWindow may change the style.
    m_class->Attach(*this);
    SetWindowLongPtrW(m_hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Win32ControlSite::Proc));
    m_installed = true;
  }
  // Puts the control's own procedure back and lets the class go.
  void Restore() {
    if (!m_installed) return;
    m_installed = false;
    if (IsWindow(m_hwnd)) {
      if (reinterpret_cast<WNDPROC>(GetWindowLongPtrW(m_hwnd, GWLP_WNDPROC)) == &Win32ControlSite::Proc)
        SetWindowLongPtrW(m_hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_oldProc));
      RemovePropW(m_hwnd, kSiteProperty);
    }
    if (m_class) m_class->Detach();
    m_class = nullptr;
  }
  HWND Window() const { return m_hwnd; }
  // The class object is going: the window gets its own procedure back.
  void ClassGone() override {
    m_class = nullptr;
    Restore();
  }

  int Id() const override { return m_id; }
  std::intptr_t DefaultProc(unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) override {
    return m_oldProc ? CallWindowProcW(m_oldProc, m_hwnd, msg, wparam, lparam) : 0;
  }
  bool TrackMouseEvent(unsigned flags, unsigned hoverMs) override {
    TRACKMOUSEEVENT tme{};
    tme.cbSize = sizeof(tme);
    tme.dwFlags = ((flags & kTmeHover) ? TME_HOVER : 0u) | ((flags & kTmeLeave) ? TME_LEAVE : 0u);
    tme.hwndTrack = m_hwnd;
    tme.dwHoverTime = hoverMs;
    return tme.dwFlags != 0 && ::TrackMouseEvent(&tme) != FALSE;
  }
  void Invalidate(bool erase) override { InvalidateRect(m_hwnd, nullptr, erase ? TRUE : FALSE); }
  void RedrawWindow(unsigned flags) override { ::RedrawWindow(m_hwnd, nullptr, nullptr, flags); }
  void SetTimer(unsigned id, unsigned ms) override { ::SetTimer(m_hwnd, id, ms, nullptr); }
  void KillTimer(unsigned id) override { ::KillTimer(m_hwnd, id); }
  Point GetCursorPos() const override {
    POINT p{};
    ::GetCursorPos(&p);
    return {p.x, p.y};
  }
  Box GetWindowRect() const override {
    RECT r{};
    ::GetWindowRect(m_hwnd, &r);
    return BoxOf(r);
  }
  Box GetClientRect() const override {
    RECT r{};
    ::GetClientRect(m_hwnd, &r);
    return BoxOf(r);
  }
  unsigned GetStyle() const override { return static_cast<unsigned>(GetWindowLongW(m_hwnd, GWL_STYLE)); }
  void ModifyStyle(unsigned remove, unsigned add) override {
    const unsigned style = (GetStyle() & ~remove) | add;
    SetWindowLongW(m_hwnd, GWL_STYLE, static_cast<LONG>(style));
  }
  std::string GetWindowText() const override { return TextOf(m_hwnd); }
  bool IsWindowEnabled() const override { return ::IsWindowEnabled(m_hwnd) != FALSE; }

  std::unique_ptr<CDC> BeginPaint() override { return win32::GdiDC::ForPaint(m_hwnd); }
  std::unique_ptr<CDC> GetDC() override { return win32::GdiDC::ForClient(m_hwnd); }
  std::unique_ptr<CDC> GetWindowDC() override { return win32::GdiDC::ForWindow(m_hwnd); }
  // Through the window, so the class sees the message before the control does.
  std::intptr_t SendMessage(unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) override {
    return SendMessageW(m_hwnd, msg, wparam, lparam);
  }

  // The parent's draw-item request for this control, handed to the class; false without one.
  bool DrawItem(const DRAWITEMSTRUCT& dis) {
    if (m_class == nullptr) return false;
    std::unique_ptr<win32::GdiDC> dc = win32::GdiDC::Borrow(dis.hDC);
    if (!dc) return false;
    m_class->DrawItem({dc.get(), BoxOf(dis.rcItem), dis.itemState});
    return true;
  }

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    auto* site = static_cast<Win32ControlSite*>(GetPropW(hwnd, kSiteProperty));
    if (site == nullptr) return DefWindowProcW(hwnd, msg, wparam, lparam);
    if (msg == WM_NCDESTROY) {
      // The control goes away: its own procedure finishes the destruction.
      const WNDPROC old = site->m_oldProc;
      site->Restore();
      return CallWindowProcW(old, hwnd, msg, wparam, lparam);
    }
    if (site->m_class == nullptr) return site->DefaultProc(msg, wparam, lparam);
    return site->m_class->WindowProc(msg, wparam, lparam);
  }

  HWND m_hwnd;
  int m_id;
  CControlClass* m_class;
  WNDPROC m_oldProc = nullptr;
  bool m_installed = false;
};

Win32DialogHost::Win32DialogHost(void* instance, void* owner)
    : m_instance(instance ? instance : GetModuleHandleW(nullptr)), m_owner(owner) {}

Win32DialogHost::~Win32DialogHost() { ReleaseSites(); }

void Win32DialogHost::ReleaseSites() {
  for (auto& site : m_sites) site->Restore();
  m_sites.clear();
}

int Win32DialogHost::RunModal(CDialog& dialog) {
  static const bool commonControls = [] {
    INITCOMMONCONTROLSEX icc{sizeof(INITCOMMONCONTROLSEX), ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    return InitCommonControlsEx(&icc) != FALSE;
  }();
  (void)commonControls;
  m_dialog = &dialog;
  {
    std::lock_guard<std::mutex> lock(m_captionLock);
    m_caption = win32::Widen(dialog.Template().caption);
  }
  const std::vector<std::uint16_t> words = win32::BuildDialogTemplate(dialog.Template());
  const INT_PTR result =
      DialogBoxIndirectParamW(static_cast<HINSTANCE>(m_instance), reinterpret_cast<LPCDLGTEMPLATEW>(words.data()),
                              H(m_owner), &DialogProc, reinterpret_cast<LPARAM>(this));
  // Done at WM_DESTROY already, unless the window never came up.
  if (m_dialog != nullptr) m_dialog->Detach();
  ReleaseSites();
  m_controls.clear();
  m_hwnd.store(nullptr);
  m_dialog = nullptr;
  return static_cast<int>(result);
}

void Win32DialogHost::ForgetDialog(CDialog& dialog) {
  if (m_dialog == &dialog) m_dialog = nullptr;
}

void Win32DialogHost::JoinServingSentMessages(std::intptr_t platformHandle, const std::function<void()>& join) {
  win32::JoinServingSentMessages(platformHandle, join, win32::WaitPaints::Yes);
}

std::intptr_t Win32DialogHost::InitDialog(void* hwnd) {
  m_hwnd.store(hwnd);
  m_controls.clear();
  const DialogTemplate& t = m_dialog->Template();
  // The dialog's children are the template's controls, in template order.
  HWND child = GetWindow(H(hwnd), GW_CHILD);
  for (const ControlTemplate& c : t.controls) {
    HWND found = child;
    if (found == nullptr || GetDlgCtrlID(found) != (c.id & 0xFFFF)) found = GetDlgItem(H(hwnd), c.id & 0xFFFF);
    m_controls.push_back({c.id, c.kind, found});
    if (child != nullptr) child = GetWindow(child, GW_HWNDNEXT);
  }
  for (const ControlTemplate& c : t.controls)
    for (std::string_view item : c.items) AddString(c.id, item);
  m_dialog->Attach(*this);
  return m_dialog->OnInitDialog() ? TRUE : FALSE;
}

const Win32DialogHost::Control* Win32DialogHost::Find(int id) const {
  for (const Control& c : m_controls)
    if (c.id == id && c.hwnd != nullptr) return &c;
  return nullptr;
}

void* Win32DialogHost::Hwnd(int id) const {
  const Control* c = Find(id);
  return c ? c->hwnd : nullptr;
}

void* Win32DialogHost::ControlWindow(int id) const { return Hwnd(id); }

std::intptr_t Win32DialogHost::Send(int id, unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) const {
  HWND h = H(Hwnd(id));
  return h ? SendMessageW(h, msg, wparam, lparam) : 0;
}

// --- Messages -----------------------------------------------------------------

void Win32DialogHost::Command(int id, unsigned code, bool fromControl) {
  if (m_dialog == nullptr) return;
  // Enter, Esc and the close box arrive as IDOK / IDCANCEL, possibly without a control.
  if (!fromControl) {
    if (code == 0 || code == 1) {
      if (id == IDOK || id == IDCANCEL) m_dialog->DispatchCommand(id, Notify::Clicked);
    }
    return;
  }
  const Control* c = nullptr;
  for (const Control& k : m_controls)
    if (k.id == id) {
      c = &k;
      break;
    }
  if (c == nullptr) {
    if ((id == IDOK || id == IDCANCEL) && code == BN_CLICKED) m_dialog->DispatchCommand(id, Notify::Clicked);
    return;
  }
  switch (c->kind) {
    case ControlKind::Button:
    case ControlKind::CheckBox:
      if (code == BN_CLICKED) m_dialog->DispatchCommand(id, Notify::Clicked);
      break;
    case ControlKind::Edit:
      if (code == EN_CHANGE && !IsBeingWritten(id)) m_dialog->DispatchCommand(id, Notify::Change);
      break;
    case ControlKind::ComboBox:
      switch (code) {
        case CBN_SELCHANGE: m_dialog->DispatchCommand(id, Notify::SelChange); break;
        case CBN_EDITCHANGE: m_dialog->DispatchCommand(id, Notify::EditChange); break;
        case CBN_EDITUPDATE: m_dialog->DispatchCommand(id, Notify::EditUpdate); break;
        case CBN_SETFOCUS: m_dialog->DispatchCommand(id, Notify::SetFocus); break;
        case CBN_SELENDOK: m_dialog->DispatchCommand(id, Notify::SelEndOk); break;
        default: break;
      }
      break;
    case ControlKind::ListBox:
      if (code == LBN_SELCHANGE) m_dialog->DispatchCommand(id, Notify::SelChange);
      break;
    default:
      break;
  }
}

void Win32DialogHost::PaintIconic() {
  HWND hwnd = H(m_hwnd.load());
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  SendMessageW(hwnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  RECT client{};
  GetClientRect(hwnd, &client);
  const int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
  const int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
  DrawIcon(dc, x, y, static_cast<HICON>(m_icon));
  EndPaint(hwnd, &ps);
}

std::intptr_t Win32DialogHost::HandleMessage(unsigned msg, std::uintptr_t wparam, std::intptr_t lparam,
                                             bool& handled) {
  handled = false;
  if (m_dialog == nullptr) return 0;
  switch (msg) {
    case WM_COMMAND:
      handled = true;
      Command(LOWORD(wparam), HIWORD(wparam), lparam != 0);
      return 0;
    case WM_TIMER:
      handled = true;
      m_dialog->OnTimer(static_cast<unsigned>(wparam));
      return 0;
    case WM_SYSCOMMAND:
      handled = m_dialog->OnSysCommand(static_cast<unsigned>(wparam));
      return 0;
    case WM_QUERYDRAGICON:
      if (m_icon == nullptr) return 0;
      handled = true;
      return reinterpret_cast<std::intptr_t>(m_icon);
    case WM_PAINT:
      if (m_icon == nullptr || !IsIconic(H(m_hwnd.load()))) return 0;
      handled = true;
      PaintIconic();
      return 0;
    case WM_DESTROY:
      // While the window still exists: the engines' monitor threads may be in
      // message boxes it owns, whose closing sends it messages.
      m_dialog->Detach();
      ReleaseSites();
      return 0;
    case WM_DRAWITEM: {
      // Reflected to the owner-drawn control's class, which paints itself.
      const auto* dis = reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
      if (dis == nullptr) break;
      for (const auto& site : m_sites)
        if (site->Window() == dis->hwndItem && site->DrawItem(*dis)) {
          handled = true;
          return TRUE;
        }
      break;
    }
    default:
      break;
  }
  // The program's own messages; a handler for a lower message takes it only when it returns non-zero.
  const std::intptr_t result = m_dialog->DispatchMessage(msg, wparam, lparam);
  handled = msg >= kWmUser || result != 0;
  return result;
}

// --- IDialogHost: controls ----------------------------------------------------

void Win32DialogHost::SetWindowText(int id, std::string_view text) {
  const Control* c = Find(id);
  if (c == nullptr || c->kind == ControlKind::ListBox || (c->kind == ControlKind::ComboBox && IsDropDownList(id)))
    return;
  // An edit reports the new text with EN_CHANGE from inside SetWindowTextW;
  // that is the program's write, not the user's, and Command drops it. (A
  // combo box sends no edit notifications for it.) A handler that runs
  // meanwhile, such as a control class's WM_SETTEXT, may write other
  // controls: the writes nest.
  const std::size_t depth = m_writing.size();
  m_writing.push_back(id);
  SetWindowTextW(H(c->hwnd), win32::Widen(text).c_str());
  m_writing.resize(depth);
}

bool Win32DialogHost::IsBeingWritten(int id) const {
  return std::find(m_writing.begin(), m_writing.end(), id) != m_writing.end();
}

std::string Win32DialogHost::GetWindowText(int id) const { return TextOf(H(Hwnd(id))); }

void Win32DialogHost::EnableWindow(int id, bool enable) {
  if (HWND h = H(Hwnd(id))) ::EnableWindow(h, enable ? TRUE : FALSE);
}

bool Win32DialogHost::IsWindowEnabled(int id) const {
  HWND h = H(Hwnd(id));
  return h != nullptr && ::IsWindowEnabled(h) != FALSE;
}

void Win32DialogHost::SetFocus(int id) {
  HWND h = H(Hwnd(id));
  HWND dlg = H(m_hwnd.load());
  // Through the dialog manager, so the default button follows and an edit's text is selected.
  if (h != nullptr && dlg != nullptr) SendMessageW(dlg, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(h), TRUE);
}

int Win32DialogHost::GetFocus() const {
  HWND focus = ::GetFocus();
  if (focus == nullptr) return 0;
  for (const Control& c : m_controls)
    if (c.hwnd != nullptr && (H(c.hwnd) == focus || IsChild(H(c.hwnd), focus))) return c.id;
  return 0;
}

void Win32DialogHost::SetCheck(int id, int state) {
  const Control* c = Find(id);
  if (c && (c->kind == ControlKind::CheckBox || c->kind == ControlKind::Button))
    SendMessageW(H(c->hwnd), BM_SETCHECK, static_cast<WPARAM>(state), 0);
}

int Win32DialogHost::GetCheck(int id) const {
  const Control* c = Find(id);
  if (!c || (c->kind != ControlKind::CheckBox && c->kind != ControlKind::Button)) return 0;
  return static_cast<int>(SendMessageW(H(c->hwnd), BM_GETCHECK, 0, 0));
}

void Win32DialogHost::SetLimitText(int id, int units) {
  const Control* c = Find(id);
  if (!c) return;
  const WPARAM limit = static_cast<WPARAM>(std::max(units, 0));
  if (c->kind == ControlKind::Edit) SendMessageW(H(c->hwnd), EM_LIMITTEXT, limit, 0);
  else if (c->kind == ControlKind::ComboBox) SendMessageW(H(c->hwnd), CB_LIMITTEXT, limit, 0);
}

bool Win32DialogHost::LineScroll(int id, int lines, int columns) {
  const Control* c = Find(id);
  if (!c || c->kind != ControlKind::Edit) return false;
  return SendMessageW(H(c->hwnd), EM_LINESCROLL, static_cast<WPARAM>(columns), lines) != 0;
}

int Win32DialogHost::GetFirstVisibleLine(int id) const {
  const Control* c = Find(id);
  if (!c || c->kind != ControlKind::Edit) return 0;
  return static_cast<int>(SendMessageW(H(c->hwnd), EM_GETFIRSTVISIBLELINE, 0, 0));
}

int Win32DialogHost::AddString(int id, std::string_view text) {
  const Control* c = Find(id);
  if (!c || !IsList(*c)) return -1;
  const std::wstring wide = win32::Widen(text);
  const UINT msg = c->kind == ControlKind::ComboBox ? CB_ADDSTRING : LB_ADDSTRING;
  const LRESULT r = SendMessageW(H(c->hwnd), msg, 0, reinterpret_cast<LPARAM>(wide.c_str()));
  return r < 0 ? -1 : static_cast<int>(r);
}

int Win32DialogHost::DeleteString(int id, int index) {
  const Control* c = Find(id);
  if (!c || !IsList(*c) || index < 0) return -1;
  const UINT msg = c->kind == ControlKind::ComboBox ? CB_DELETESTRING : LB_DELETESTRING;
  const LRESULT r = SendMessageW(H(c->hwnd), msg, static_cast<WPARAM>(index), 0);
  return r < 0 ? -1 : static_cast<int>(r);
}

void Win32DialogHost::ResetContent(int id) {
  const Control* c = Find(id);
  if (!c || !IsList(*c)) return;
  SendMessageW(H(c->hwnd), c->kind == ControlKind::ComboBox ? CB_RESETCONTENT : LB_RESETCONTENT, 0, 0);
}

int Win32DialogHost::GetCount(int id) const {
  const Control* c = Find(id);
  if (!c || !IsList(*c)) return -1;
  const LRESULT r = SendMessageW(H(c->hwnd), c->kind == ControlKind::ComboBox ? CB_GETCOUNT : LB_GETCOUNT, 0, 0);
  return r < 0 ? -1 : static_cast<int>(r);
}

std::string Win32DialogHost::GetItemText(int id, int index) const {
  const Control* c = Find(id);
  if (!c || !IsList(*c) || index < 0) return {};
  const bool combo = c->kind == ControlKind::ComboBox;
  const LRESULT n = SendMessageW(H(c->hwnd), combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
  if (n <= 0) return {};
  std::wstring buf(static_cast<std::size_t>(n) + 1, L'\0');
  const LRESULT got = SendMessageW(H(c->hwnd), combo ? CB_GETLBTEXT : LB_GETTEXT, static_cast<WPARAM>(index),
                                   reinterpret_cast<LPARAM>(buf.data()));
  if (got < 0) return {};
  buf.resize(static_cast<std::size_t>(std::min<LRESULT>(got, n)));
  return win32::Narrow(buf);
}

int Win32DialogHost::SetCurSel(int id, int index) {
  const Control* c = Find(id);
  if (!c || !IsList(*c)) return -1;
  // A bad index clears the selection, as the platform documents; Wine's controls keep it otherwise.
  if (index < 0 || index >= GetCount(id)) index = -1;
  const LRESULT r = SendMessageW(H(c->hwnd), c->kind == ControlKind::ComboBox ? CB_SETCURSEL : LB_SETCURSEL,
                                 static_cast<WPARAM>(index), 0);
  return r < 0 ? -1 : static_cast<int>(r);
}

int Win32DialogHost::GetCurSel(int id) const {
  const Control* c = Find(id);
  if (!c || !IsList(*c)) return -1;
  const LRESULT r = SendMessageW(H(c->hwnd), c->kind == ControlKind::ComboBox ? CB_GETCURSEL : LB_GETCURSEL, 0, 0);
  return r < 0 ? -1 : static_cast<int>(r);
}

int Win32DialogHost::FindString(int id, int startAfter, std::string_view prefix) const {
  const Control* c = Find(id);
  if (!c || !IsList(*c)) return -1;
  const int n = GetCount(id);
  if (n <= 0) return -1;
  const WPARAM start = (startAfter < 0 || startAfter >= n) ? static_cast<WPARAM>(-1) : static_cast<WPARAM>(startAfter);
  const std::wstring wide = win32::Widen(prefix);
  const LRESULT r = SendMessageW(H(c->hwnd), c->kind == ControlKind::ComboBox ? CB_FINDSTRING : LB_FINDSTRING, start,
                                 reinterpret_cast<LPARAM>(wide.c_str()));
  return r < 0 ? -1 : static_cast<int>(r);
}

int Win32DialogHost::SelectString(int id, int startAfter, std::string_view prefix) {
  const Control* c = Find(id);
  if (!c || !IsList(*c)) return -1;
  const int n = GetCount(id);
  if (n <= 0) return -1;
  const WPARAM start = (startAfter < 0 || startAfter >= n) ? static_cast<WPARAM>(-1) : static_cast<WPARAM>(startAfter);
  const std::wstring wide = win32::Widen(prefix);
  const LRESULT r = SendMessageW(H(c->hwnd), c->kind == ControlKind::ComboBox ? CB_SELECTSTRING : LB_SELECTSTRING,
                                 start, reinterpret_cast<LPARAM>(wide.c_str()));
  return r < 0 ? -1 : static_cast<int>(r);
}

bool Win32DialogHost::IsDropDownList(int id) const {
  const Control* c = Find(id);
  if (!c || c->kind != ControlKind::ComboBox) return false;
  return (GetWindowLongW(H(c->hwnd), GWL_STYLE) & 0x3) == CBS_DROPDOWNLIST;
}

void Win32DialogHost::SetRange(int id, int lower, int upper) {
  const Control* c = Find(id);
  if (c && c->kind == ControlKind::Progress) SendMessageW(H(c->hwnd), PBM_SETRANGE32, static_cast<WPARAM>(lower), upper);
}

int Win32DialogHost::SetPos(int id, int pos) {
  const Control* c = Find(id);
  if (!c || c->kind != ControlKind::Progress) return 0;
  return static_cast<int>(SendMessageW(H(c->hwnd), PBM_SETPOS, static_cast<WPARAM>(pos), 0));
}

int Win32DialogHost::GetPos(int id) const {
  const Control* c = Find(id);
  if (!c || c->kind != ControlKind::Progress) return 0;
  return static_cast<int>(SendMessageW(H(c->hwnd), PBM_GETPOS, 0, 0));
}

void Win32DialogHost::SetStep(int id, int step) {
  const Control* c = Find(id);
  if (c && c->kind == ControlKind::Progress) SendMessageW(H(c->hwnd), PBM_SETSTEP, static_cast<WPARAM>(step), 0);
}

int Win32DialogHost::StepIt(int id) {
  const Control* c = Find(id);
  if (!c || c->kind != ControlKind::Progress) return 0;
  return static_cast<int>(SendMessageW(H(c->hwnd), PBM_STEPIT, 0, 0));
}

// --- IDialogHost: dialog ------------------------------------------------------

void Win32DialogHost::SetTimer(unsigned id, unsigned ms) {
  if (HWND h = H(m_hwnd.load())) ::SetTimer(h, id, ms, nullptr);
}

void Win32DialogHost::KillTimer(unsigned id) {
  if (HWND h = H(m_hwnd.load())) ::KillTimer(h, id);
}

void Win32DialogHost::EndDialog(int result) {
  if (HWND h = H(m_hwnd.load())) ::EndDialog(h, result);
}

int Win32DialogHost::MessageBox(std::string_view text) {
  std::wstring caption;
  {
    std::lock_guard<std::mutex> lock(m_captionLock);
    caption = m_caption;
  }
  return win32::ShowMessageBox(m_hwnd.load(), win32::Widen(text), caption);
}

std::intptr_t Win32DialogHost::SendMessage(unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) {
  HWND h = H(m_hwnd.load());
  return h ? SendMessageW(h, msg, wparam, lparam) : 0;
}

void Win32DialogHost::PostMessage(unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) {
  if (HWND h = H(m_hwnd.load())) PostMessageW(h, msg, wparam, lparam);
}

void Win32DialogHost::Sleep(unsigned ms) { ::Sleep(ms); }

std::uint32_t Win32DialogHost::GetTickCount() const { return ::GetTickCount(); }

std::string Win32DialogHost::GetModuleFileName() const { return ModuleFilePath(); }

bool Win32DialogHost::GetOpenFileName(const OpenFileRequest& request, std::string& path) {
  std::vector<wchar_t> file(32768, L'\0');
  const std::wstring initial = win32::Widen(path);
  if (initial.size() < file.size() && initial.find(L'\0') == std::wstring::npos)
    std::copy(initial.begin(), initial.end(), file.begin());
  // "Text|*.txt|All|*.*" becomes "Text\0*.txt\0All\0*.*\0\0".
  std::wstring filter = win32::Widen(request.filter);
  std::replace(filter.begin(), filter.end(), L'|', L'\0');
  filter.append(2, L'\0');
  const std::wstring title = win32::Widen(request.title);

  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof(ofn);
  ofn.hwndOwner = H(m_hwnd.load());
  ofn.lpstrFilter = request.filter.empty() ? nullptr : filter.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = static_cast<DWORD>(file.size());
  ofn.lpstrTitle = title.empty() ? nullptr : title.c_str();
  ofn.Flags = OFN_HIDEREADONLY | (request.mustExist ? (OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST) : 0u);
  if (!GetOpenFileNameW(&ofn)) return false;
  path = win32::Narrow(file.data());
  return true;
}

void Win32DialogHost::AppendSystemMenu(unsigned commandId, std::string_view text) {
  HWND h = H(m_hwnd.load());
  if (h == nullptr) return;
  HMENU menu = GetSystemMenu(h, FALSE);
  if (menu == nullptr) return;
  if (text.empty()) AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  else AppendMenuW(menu, MF_STRING, commandId, win32::Widen(text).c_str());
}

void Win32DialogHost::SetIcon(int resourceId) {
  m_icon = resourceId == 0 ? nullptr
                           : LoadIconW(static_cast<HINSTANCE>(m_instance),
                                       MAKEINTRESOURCEW(static_cast<WORD>(resourceId & 0xFFFF)));
  if (HWND h = H(m_hwnd.load())) {
    SendMessageW(h, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_icon));
    SendMessageW(h, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_icon));
  }
}

int Win32DialogHost::DoModal(CDialog& child) {
  Win32DialogHost nested(m_instance, m_hwnd.load());
  const int result = nested.RunModal(child);
  // The child was attached to the nested host; a later call on it would find no window.
  return result;
}

bool Win32DialogHost::SubclassControl(int id, CControlClass& controlClass) {
  HWND h = H(Hwnd(id));
  if (h == nullptr || controlClass.IsAttached()) return false;
  // One class per control: a second would find the first's procedure as the control's own.
  if (GetPropW(h, kSiteProperty) != nullptr) return false;
  auto site = std::make_unique<Win32ControlSite>(h, id, controlClass);
  site->Install();
  m_sites.push_back(std::move(site));
  return true;
}

}  // namespace fw
