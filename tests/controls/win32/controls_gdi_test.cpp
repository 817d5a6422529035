// The owner-drawn controls on real windows under Wine, drawing through GDI:
// the GDI context's selection and ownership rules, its primitives against the
// software raster's, and the four controls driven by the mouse and by paint
// messages, with their progress bar compared pixel by pixel with the raster.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "controls/flat_combo_box.h"
#include "controls/gradient_progress_ctrl.h"
#include "controls/hover_edit.h"
#include "controls/xp_button.h"
#include "framework/drawing/raster/raster_dc.h"
#include "framework/win32/gdi_dc.h"
#include "win32_gui_driver.h"

using namespace fwgui;
using namespace std::chrono_literals;
using fw::win32::GdiDC;

namespace {

// --- Pixels -------------------------------------------------------------------

// A block of a context's pixels as 0x00BBGGRR, read through a DIB.
std::vector<fw::Colour> ReadPixels(HDC dc, int x, int y, int w, int h) {
  std::vector<fw::Colour> out;
  HDC mem = CreateCompatibleDC(dc);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (dib != nullptr && bits != nullptr) {
    HGDIOBJ old = SelectObject(mem, dib);
    ::BitBlt(mem, 0, 0, w, h, dc, x, y, SRCCOPY);
    GdiFlush();
    const auto* px = static_cast<const std::uint8_t*>(bits);
    out.resize(static_cast<std::size_t>(w) * h);
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = fw::Rgb(px[i * 4 + 2], px[i * 4 + 1], px[i * 4]);
    SelectObject(mem, old);
  }
  if (dib) DeleteObject(dib);
  DeleteDC(mem);
  return out;
}

std::vector<fw::Colour> ClientPixels(HWND hwnd) {
  RECT r{};
  GetClientRect(hwnd, &r);
  HDC dc = GetDC(hwnd);
  std::vector<fw::Colour> px = ReadPixels(dc, 0, 0, r.right, r.bottom);
  ReleaseDC(hwnd, dc);
  return px;
}

fw::Colour WindowPixel(HWND hwnd, int x, int y) {
  HDC dc = GetWindowDC(hwnd);
  const fw::Colour c = static_cast<fw::Colour>(GetPixel(dc, x, y));
  ReleaseDC(hwnd, dc);
  return c;
}

fw::Colour ClientPixel(HWND hwnd, int x, int y) {
  HDC dc = GetDC(hwnd);
  const fw::Colour c = static_cast<fw::Colour>(GetPixel(dc, x, y));
  ReleaseDC(hwnd, dc);
  return c;
}

std::string Hex(fw::Colour c) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02X%02X%02X", fw::RedOf(c), fw::GreenOf(c), fw::BlueOf(c));
  return buf;
}

// Pixels that differ between a GDI memory context and a raster surface, outside skip.
int Mismatches(GdiDC& gdi, const fw::RasterSurface& raster, const fw::Box& skip = {}) {
  const std::vector<fw::Colour> px = ReadPixels(gdi.Handle(), 0, 0, raster.Width(), raster.Height());
  int bad = 0;
  for (int y = 0; y < raster.Height(); ++y)
    for (int x = 0; x < raster.Width(); ++x) {
      if (x >= skip.left && x < skip.right && y >= skip.top && y < skip.bottom) continue;
      if (px[static_cast<std::size_t>(y) * raster.Width() + x] != raster.Pixel(x, y)) ++bad;
    }
  return bad;
}

// --- A raster site for a control class -----------------------------------------

// The window a control class sees, with its painting going to a raster surface
// in the running system's colours.
class RasterSite final : public fw::IControlSite {
 public:
  RasterSite(int width, int height) : surface(width, height, fw::Rgb(0, 0, 0)), m_width(width), m_height(height) {}
  int Id() const override { return 1; }
  std::intptr_t DefaultProc(unsigned, std::uintptr_t, std::intptr_t) override { return 0; }
  bool TrackMouseEvent(unsigned, unsigned) override { return true; }
  void Invalidate(bool) override {}
  void RedrawWindow(unsigned) override {}
  void SetTimer(unsigned, unsigned) override {}
  void KillTimer(unsigned) override {}
  fw::Point GetCursorPos() const override { return {-1, -1}; }
  fw::Box GetWindowRect() const override { return {0, 0, m_width, m_height}; }
  fw::Box GetClientRect() const override { return {0, 0, m_width, m_height}; }
  unsigned GetStyle() const override { return 0; }
  void ModifyStyle(unsigned, unsigned) override {}
  std::string GetWindowText() const override { return text; }
  bool IsWindowEnabled() const override { return true; }
  void ClassGone() override {}
  std::unique_ptr<fw::CDC> BeginPaint() override { return std::make_unique<fw::RasterDC>(surface, look); }
  std::unique_ptr<fw::CDC> GetDC() override { return std::make_unique<fw::RasterDC>(surface, look); }

  fw::RasterSurface surface;
  fw::win32::GdiSystemLook look;
  std::string text;

 private:
  int m_width, m_height;
};

// A screen-compatible memory context of w x h, as the controls' off-screen drawing gets.
std::unique_ptr<fw::CDC> ScreenMemory(int w, int h) {
  std::unique_ptr<GdiDC> screen = GdiDC::ForClient(nullptr);
  return screen ? screen->CreateCompatibleMemoryDC(w, h) : nullptr;
}

GdiDC& AsGdi(fw::CDC& dc) { return dynamic_cast<GdiDC&>(dc); }

}  // namespace

// --- The GDI context on its own ------------------------------------------------

TEST(GdiDC, SelectionGivesBackThePreviousObjectsAndDeletesWhatItMade) {
  std::unique_ptr<fw::CDC> mem = ScreenMemory(20, 20);
  ASSERT_NE(mem, nullptr);
  HDC dc = AsGdi(*mem).Handle();
  const HGDIOBJ ownPen = GetCurrentObject(dc, OBJ_PEN);
  const HGDIOBJ ownBrush = GetCurrentObject(dc, OBJ_BRUSH);
  // A new context holds the black pen and the white brush.
  EXPECT_EQ(mem->CurrentPen().colour, fw::Rgb(0, 0, 0));
  EXPECT_FALSE(mem->CurrentBrush().hollow);
  EXPECT_EQ(mem->CurrentBrush().colour, fw::Rgb(255, 255, 255));

  const fw::Pen red{fw::PenStyle::InsideFrame, 3, fw::Rgb(255, 0, 0)};
  const fw::Pen before = mem->SelectPen(red);
  EXPECT_EQ(before.colour, fw::Rgb(0, 0, 0));
  const HGDIOBJ madeRed = GetCurrentObject(dc, OBJ_PEN);
  ASSERT_NE(madeRed, ownPen);
  LOGPEN lp{};
  ASSERT_EQ(GetObjectW(madeRed, sizeof(lp), &lp), static_cast<int>(sizeof(lp)));
  EXPECT_EQ(lp.lopnStyle, static_cast<UINT>(PS_INSIDEFRAME));
  EXPECT_EQ(lp.lopnWidth.x, 3);
  EXPECT_EQ(lp.lopnColor, RGB(255, 0, 0));

  // Replacing a made pen deletes it; the null pen is the stock one; going back
  // to the original makes nothing.
  mem->SelectPen({fw::PenStyle::Null, 1, 0});
  EXPECT_EQ(GetObjectType(madeRed), 0u);
  EXPECT_EQ(GetCurrentObject(dc, OBJ_PEN), GetStockObject(NULL_PEN));
  mem->SelectPen({fw::PenStyle::Solid, 1, fw::Rgb(0, 255, 0)});
  const HGDIOBJ madeGreen = GetCurrentObject(dc, OBJ_PEN);
  const fw::Pen wasGreen = mem->SelectPen(before);
  EXPECT_EQ(wasGreen.colour, fw::Rgb(0, 255, 0));
  EXPECT_EQ(GetCurrentObject(dc, OBJ_PEN), ownPen);
  EXPECT_EQ(GetObjectType(madeGreen), 0u);
  EXPECT_NE(GetObjectType(GetStockObject(NULL_PEN)), 0u);

  // The null brush is the stock one and survives deselection.
  const fw::Brush white = mem->SelectBrush({true, 0});
  EXPECT_EQ(GetCurrentObject(dc, OBJ_BRUSH), GetStockObject(NULL_BRUSH));
  mem->SelectBrush({false, fw::Rgb(1, 2, 3)});
  const HGDIOBJ madeBrush = GetCurrentObject(dc, OBJ_BRUSH);
  LOGBRUSH lb{};
  ASSERT_EQ(GetObjectW(madeBrush, sizeof(lb), &lb), static_cast<int>(sizeof(lb)));
  EXPECT_EQ(lb.lbColor, RGB(1, 2, 3));
  EXPECT_NE(GetObjectType(GetStockObject(NULL_BRUSH)), 0u);
  // The object going deletes the brush still selected.
  mem.reset();
  EXPECT_EQ(GetObjectType(madeBrush), 0u);
  (void)white;
  (void)ownBrush;
}

TEST(GdiDC, BorrowedContextIsGivenBackAsItWasAndMemoryContextOwnsItsBitmap) {
  HDC screen = GetDC(nullptr);
  HDC raw = CreateCompatibleDC(screen);
  HBITMAP bmp = CreateCompatibleBitmap(screen, 8, 8);
  ReleaseDC(nullptr, screen);
  const HGDIOBJ oldBmp = SelectObject(raw, bmp);
  const HGDIOBJ ownPen = GetCurrentObject(raw, OBJ_PEN);
  SetBkMode(raw, OPAQUE);
  SetTextColor(raw, RGB(9, 9, 9));
  HGDIOBJ madePen = nullptr;
  HBITMAP memBitmap = nullptr;
  {
    std::unique_ptr<GdiDC> dc = GdiDC::Borrow(raw);
    ASSERT_NE(dc, nullptr);
    dc->SelectPen({fw::PenStyle::Solid, 2, fw::Rgb(0, 0, 255)});
    madePen = GetCurrentObject(raw, OBJ_PEN);
    EXPECT_EQ(dc->SetBkMode(fw::BkMode::Transparent), fw::BkMode::Opaque);
    EXPECT_EQ(dc->SetTextColor(fw::Rgb(200, 0, 0)), fw::Rgb(9, 9, 9));
    EXPECT_EQ(dc->SetWindowOrg({3, 4}), (fw::Point{0, 0}));
    dc->MoveTo({5, 5});
    EXPECT_EQ(dc->CurrentPosition(), (fw::Point{5, 5}));
    EXPECT_FALSE(dc->IsPrinting());

    std::unique_ptr<fw::CDC> mem = dc->CreateCompatibleMemoryDC(4, 4);
    ASSERT_NE(mem, nullptr);
    memBitmap = static_cast<HBITMAP>(GetCurrentObject(AsGdi(*mem).Handle(), OBJ_BITMAP));
    EXPECT_EQ(GetObjectType(memBitmap), static_cast<DWORD>(OBJ_BITMAP));
    BITMAP info{};
    GetObjectW(memBitmap, sizeof(info), &info);
    EXPECT_EQ(info.bmWidth, 4);
    EXPECT_GT(info.bmBitsPixel, 1);  // compatible with the target, not monochrome
    EXPECT_EQ(dc->CreateCompatibleMemoryDC(0, 4), nullptr);
  }
  EXPECT_EQ(GetObjectType(memBitmap), 0u);  // deleted with its context
  EXPECT_EQ(GetObjectType(madePen), 0u);
  EXPECT_EQ(GetCurrentObject(raw, OBJ_PEN), ownPen);
  EXPECT_EQ(GetBkMode(raw), OPAQUE);
  EXPECT_EQ(GetTextColor(raw), RGB(9, 9, 9));
  POINT org{};
  GetWindowOrgEx(raw, &org);
  EXPECT_EQ(org.x, 0);
  EXPECT_EQ(org.y, 0);
  EXPECT_EQ(GetCurrentObject(raw, OBJ_BITMAP), bmp);  // a borrowed context keeps its bitmap
  SelectObject(raw, oldBmp);
  DeleteObject(bmp);
  DeleteDC(raw);
}

TEST(GdiDC, PrimitivesMatchTheSoftwareRaster) {
  const int w = 40, h = 30;
  fw::win32::GdiSystemLook look;
  // Each case draws the same thing on a GDI memory context and a raster surface.
  struct Case {
    const char* name;
    void (*draw)(fw::CDC&);
  };
  const Case cases[] = {
      {"fill", [](fw::CDC& dc) { dc.FillSolidRect({3, 4, 30, 20}, fw::Rgb(10, 200, 30)); }},
      {"3d rect", [](fw::CDC& dc) { dc.Draw3dRect({2, 3, 35, 25}, fw::Rgb(255, 0, 0), fw::Rgb(0, 0, 255)); }},
      {"rectangle inside-frame 1",
       [](fw::CDC& dc) {
         dc.SelectPen({fw::PenStyle::InsideFrame, 1, fw::Rgb(250, 196, 88)});
         dc.SelectBrush({false, fw::Rgb(1, 100, 200)});
         dc.Rectangle({1, 2, 33, 27});
       }},
      {"rectangle default pen", [](fw::CDC& dc) { dc.Rectangle({0, 0, 40, 30}); }},
      {"rectangle null pen",
       [](fw::CDC& dc) {
         dc.SelectPen({fw::PenStyle::Null, 1, 0});
         dc.Rectangle({4, 4, 20, 20});
       }},
      {"lines",
       [](fw::CDC& dc) {
         dc.MoveTo({2, 3});
         dc.LineTo({30, 3});
         dc.MoveTo({5, 25});
         dc.LineTo({5, 6});
         dc.MoveTo({1, 1});
         dc.LineTo({20, 20});
       }},
      {"edge sunken flat", [](fw::CDC& dc) { dc.DrawEdge({0, 0, 40, 30}, fw::kEdgeSunken, fw::kBfRect | fw::kBfFlat); }},
      {"edge sunken", [](fw::CDC& dc) { dc.DrawEdge({3, 3, 37, 27}, fw::kEdgeSunken, fw::kBfRect); }},
      {"edge raised", [](fw::CDC& dc) { dc.DrawEdge({3, 3, 37, 27}, fw::kEdgeRaised, fw::kBfRect); }},
      {"window origin",
       [](fw::CDC& dc) {
         dc.SetWindowOrg({10, 10});
         dc.FillSolidRect({10, 10, 20, 20}, fw::Rgb(5, 6, 7));
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::unique_ptr<fw::CDC> mem = ScreenMemory(w, h);
    ASSERT_NE(mem, nullptr);
    mem->FillSolidRect({0, 0, w, h}, fw::Rgb(0, 0, 0));
    c.draw(*mem);
    mem->SetWindowOrg({0, 0});
    fw::RasterSurface surface(w, h, fw::Rgb(0, 0, 0));
    {
      fw::RasterDC raster(surface, look);
      c.draw(raster);
    }
    EXPECT_EQ(Mismatches(AsGdi(*mem), surface), 0);
  }
}

TEST(GdiDC, WidePenRectangleHasRoundedJoinsWhereTheRasterHasSquareOnes) {
  // A geometric pen joins its sides round: the outermost corner pixel of a
  // 3-pixel frame stays unpainted in GDI, the raster paints it.
  fw::win32::GdiSystemLook look;
  const auto draw = [](fw::CDC& dc) {
    dc.SelectPen({fw::PenStyle::InsideFrame, 3, fw::Rgb(250, 196, 88)});
    dc.SelectBrush({false, fw::Rgb(1, 100, 200)});
    dc.Rectangle({1, 2, 33, 27});
  };
  std::unique_ptr<fw::CDC> mem = ScreenMemory(40, 30);
  ASSERT_NE(mem, nullptr);
  mem->FillSolidRect({0, 0, 40, 30}, fw::Rgb(0, 0, 0));
  draw(*mem);
  fw::RasterSurface surface(40, 30, fw::Rgb(0, 0, 0));
  {
    fw::RasterDC raster(surface, look);
    draw(raster);
  }
  HDC dc = AsGdi(*mem).Handle();
  for (const POINT p : {POINT{1, 2}, POINT{32, 2}, POINT{1, 26}, POINT{32, 26}}) {
    EXPECT_EQ(GetPixel(dc, p.x, p.y), RGB(0, 0, 0));
    EXPECT_EQ(surface.Pixel(p.x, p.y), fw::Rgb(250, 196, 88));
  }
  // Everything else agrees.
  EXPECT_EQ(Mismatches(AsGdi(*mem), surface), 4);
}

TEST(GdiDC, MemoryContextCopiesBackThroughBitBltInTheTargetsCoordinates) {
  std::unique_ptr<fw::CDC> target = ScreenMemory(30, 20);
  ASSERT_NE(target, nullptr);
  target->FillSolidRect({0, 0, 30, 20}, fw::Rgb(0, 0, 0));
  {
    std::unique_ptr<fw::CDC> mem = target->CreateCompatibleMemoryDC(10, 5);
    ASSERT_NE(mem, nullptr);
    mem->SetWindowOrg({12, 7});  // draws in the target's coordinates
    mem->FillSolidRect({12, 7, 22, 12}, fw::Rgb(0, 128, 255));
    mem->FillSolidRect({12, 7, 13, 8}, fw::Rgb(255, 255, 0));
    target->BitBlt(12, 7, 10, 5, *mem, 12, 7);
  }
  HDC dc = AsGdi(*target).Handle();
  EXPECT_EQ(GetPixel(dc, 12, 7), RGB(255, 255, 0));
  EXPECT_EQ(GetPixel(dc, 21, 11), RGB(0, 128, 255));
  EXPECT_EQ(GetPixel(dc, 22, 11), RGB(0, 0, 0));
  EXPECT_EQ(GetPixel(dc, 11, 7), RGB(0, 0, 0));
  const fw::Size extent = target->GetTextExtent("UPDATE");
  EXPECT_GT(extent.cx, 0);
  EXPECT_GT(extent.cy, 0);
}

TEST(GdiDC, ButtonFaceMatchesTheRasterAwayFromTheCornersAndCaption) {
  // The button's own drawing on both backends, normal and hovered: only the
  // rounded outline's corners, the round ends of the wide frame lines and the
  // caption (fonts differ) may differ.
  for (const bool hovered : {false, true}) {
    SCOPED_TRACE(hovered ? "hovered" : "normal");
    RasterSite site(75, 25);
    site.text = "UPDATE";
    controls::CXPButton button;
    button.Attach(site);
    if (hovered) button.WindowProc(fw::kWmMouseHover, 0, 0);
    std::unique_ptr<fw::CDC> mem = ScreenMemory(75, 25);
    ASSERT_NE(mem, nullptr);
    mem->FillSolidRect({0, 0, 75, 25}, fw::Rgb(0, 0, 0));
    button.DrawItem({mem.get(), {0, 0, 75, 25}, 0});
    {
      fw::RasterDC raster(site.surface, site.look);
      button.DrawItem({&raster, {0, 0, 75, 25}, 0});
    }
    const fw::Size text = mem->GetTextExtent("UPDATE");
    const fw::Box caption{37 - text.cx / 2 - 1, 12 - text.cy / 2 - 1, 37 + text.cx / 2 + 2, 12 + text.cy / 2 + 2};
    const std::vector<fw::Colour> px = ReadPixels(AsGdi(*mem).Handle(), 0, 0, 75, 25);
    int corners = 0, elsewhere = 0;
    for (int y = 0; y < 25; ++y)
      for (int x = 0; x < 75; ++x) {
        if (px[static_cast<std::size_t>(y) * 75 + x] == site.surface.Pixel(x, y)) continue;
        if (caption.Contains({x, y})) continue;
        const bool corner = (x < 6 || x >= 69) && (y < 6 || y >= 19);
        ++(corner ? corners : elsewhere);
        if (!corner) ADD_FAILURE() << "differs at " << x << "," << y << ": GDI " << Hex(px[static_cast<std::size_t>(y) * 75 + x]) << " raster " << Hex(site.surface.Pixel(x, y));
      }
    std::printf("button %s: %d pixels differ in the corners, %d elsewhere outside the caption\n",
                hovered ? "hovered" : "normal", corners, elsewhere);
    button.Detach();
  }
}

// --- The four controls on a real dialog ------------------------------------------

namespace {

enum : int { kButtonId = 1101, kComboId = 1001, kProgressId = 1002, kEditId = 1003 };

fw::DialogTemplate ControlsTemplate() {
  using fw::ControlKind;
  fw::DialogTemplate t{"Controls",
                       {{kButtonId, ControlKind::Button, "UPDATE", 0, {10, 10, 50, 14}},
                        {kComboId, ControlKind::ComboBox, "", fw::kVScroll, {80, 10, 80, 60}, {"COM1", "COM2"}},
                        {kProgressId, ControlKind::Progress, "", 0, {10, 40, 140, 10}},
                        {kEditId, ControlKind::Edit, "Ready",
                         fw::kEditMultiLine | fw::kBorder | fw::kAutoVScroll, {10, 60, 150, 40}},
                        {fw::kIdCancel, ControlKind::Button, "Close", 0, {170, 100, 40, 14}}}};
  t.font = {"MS Shell Dlg", 8};
  t.width = 220;
  t.height = 120;
  return t;
}

// The controls with what the test needs to see from the inside.
class ProbeButton : public controls::CXPButton {
 public:
  void DrawItem(const fw::DrawItemInfo& info) override {
    ++draws;
    lastState = info.state;
    lastItem = info.item;
    CXPButton::DrawItem(info);
  }
  int draws = 0;
  unsigned lastState = 0;
  fw::Box lastItem;
};

class ProbeCombo : public controls::CFlatComboBox {
 public:
  std::intptr_t WindowProc(unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) override {
    if (msg == fw::kWmTimer && wparam == kPollTimer) ++ticks;
    return CFlatComboBox::WindowProc(msg, wparam, lparam);
  }
  int ticks = 0;
};

class ProbeEdit : public controls::CHoverEdit {
 public:
  std::intptr_t WindowProc(unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) override {
    if (msg == fw::kWmNcPaint) ++ncPaints;
    return CHoverEdit::WindowProc(msg, wparam, lparam);
  }
  int ncPaints = 0;
};

// Moves a control so that its client area is cx x cy pixels at (x, y) in the dialog.
void PlaceClient(HWND control, int x, int y, int cx, int cy) {
  RECT window{}, client{};
  GetWindowRect(control, &window);
  GetClientRect(control, &client);
  const int extraX = (window.right - window.left) - client.right;
  const int extraY = (window.bottom - window.top) - client.bottom;
  MoveWindow(control, x, y, cx + extraX, cy + extraY, TRUE);
}

POINT CentreOf(HWND hwnd) {
  RECT r{};
  GetWindowRect(hwnd, &r);
  return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

// Puts the cursor on a control and tells it so, as a real move would.
void MouseTo(HWND hwnd, POINT screen) {
  SetCursorPos(screen.x, screen.y);
  POINT client = screen;
  ScreenToClient(hwnd, &client);
  PostMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(client.x, client.y));
}

void MouseAway(HWND dlg) {
  RECT r{};
  GetWindowRect(dlg, &r);
  SetCursorPos(r.right + 40, r.bottom + 40);
}

void Repaint(HWND hwnd) {
  InvalidateRect(hwnd, nullptr, TRUE);
  UpdateWindow(hwnd);
}

class ControlsGdi : public ::testing::Test {
 protected:
  // Binds the classes and lays the controls out at the product's pixel sizes.
  void Bind(HWND dlg) {
    OnUi(dlg, [&] {
      button = static_cast<HWND>(host.ControlWindow(kButtonId));
      combo = static_cast<HWND>(host.ControlWindow(kComboId));
      progressWnd = static_cast<HWND>(host.ControlWindow(kProgressId));
      edit = static_cast<HWND>(host.ControlWindow(kEditId));
      MoveWindow(button, 12, 12, 75, 25, TRUE);
      MoveWindow(combo, 110, 12, 120, 150, TRUE);
      PlaceClient(progressWnd, 12, 60, 200, 16);
      MoveWindow(edit, 12, 90, 200, 60, TRUE);
      ASSERT_TRUE(host.SubclassControl(kButtonId, xp));
      ASSERT_TRUE(host.SubclassControl(kComboId, flat));
      ASSERT_TRUE(host.SubclassControl(kProgressId, progress));
      ASSERT_TRUE(host.SubclassControl(kEditId, hover));
      progress.SetRange(0, 100);
      progress.SetShowText(1);
      progress.SetPos(50);
      RedrawWindow(dlg, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    });
  }
  template <class T>
  T Ui(HWND dlg, const std::function<T()>& fn) {
    T value{};
    OnUi(dlg, [&] { value = fn(); });
    return value;
  }

  fw::Win32DialogHost host;
  ProbeButton xp;
  ProbeCombo flat;
  controls::CGradientProgressCtrl progress;
  ProbeEdit hover;
  HWND button = nullptr, combo = nullptr, progressWnd = nullptr, edit = nullptr;
};

}  // namespace

TEST_F(ControlsGdi, ButtonHoversOnRestAndIsDrawnWithTheItemStateBits) {
  DrivenDialog dialog(ControlsTemplate());
  RunDriven(host, dialog, [&](HWND dlg) {
    MouseAway(dlg);
    Bind(dlg);
    OnUi(dlg, [&] {
      EXPECT_EQ(GetWindowLongW(button, GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
      RECT r{};
      GetClientRect(button, &r);
      EXPECT_EQ(r.right, 75);
      EXPECT_EQ(r.bottom, 25);
      EXPECT_GE(xp.draws, 1);  // the dialog's repaint came as a draw-item request
      EXPECT_EQ(xp.lastItem, (fw::Box{0, 0, 75, 25}));
      EXPECT_EQ(xp.lastState & (fw::kOdsSelected | fw::kOdsDisabled), 0u);
      EXPECT_EQ(xp.Tracking(), 0);  // no mouse move yet, no request
      EXPECT_EQ(xp.Hovering(), 0);
      // Normal look: no frame, face entry 6 on the first inner row (edges of 2 pixels).
      EXPECT_EQ(GetSystemMetrics(SM_CXEDGE), 2);
      EXPECT_EQ(Hex(ClientPixel(button, 3, 2)), Hex(controls::CXPButton::GradientEntry(6, false, xp.Focused() != 0)));
      EXPECT_EQ(ClientPixel(button, 12, 0), RGB(0, 0, 0));  // the outline
    });
    std::string png;
    OnUi(dlg, [&] { png = CaptureWindowPng(dlg, "controls-gdi.png"); });
    EXPECT_FALSE(png.empty()) << "screenshot not written";

    // Resting on the button: one request, then the hover and a repaint with the frame.
    const int drawsBefore = Ui<int>(dlg, [&] { return xp.draws; });
    OnUi(dlg, [&] { MouseTo(button, CentreOf(button)); });
    EXPECT_TRUE(WaitFor([&] { return Ui<int>(dlg, [&] { return xp.Tracking(); }) != 0; }, 5s));
    EXPECT_TRUE(WaitFor([&] { return Ui<int>(dlg, [&] { return xp.Hovering(); }) == 1; }, 5s));
    EXPECT_TRUE(WaitFor([&] { return Ui<int>(dlg, [&] { return xp.draws; }) > drawsBefore; }, 5s));
    OnUi(dlg, [&] {
      UpdateWindow(button);
      EXPECT_EQ(Hex(ClientPixel(button, 2, 12)), Hex(fw::Rgb(250, 196, 88)));  // left frame
      EXPECT_EQ(Hex(ClientPixel(button, 12, 22)), Hex(fw::Rgb(229, 151, 0)));   // bottom frame
      png = CaptureWindowPng(dlg, "controls-gdi-hover.png");
    });
    EXPECT_FALSE(png.empty());

    // Pressing: the button shows itself selected, with focus, and the click reaches the dialog.
    OnUi(dlg, [&] {
      SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(30, 12));
      UpdateWindow(button);
      EXPECT_TRUE(xp.lastState & fw::kOdsSelected);
      EXPECT_TRUE(xp.lastState & fw::kOdsFocus);
      EXPECT_EQ(xp.Focused(), 1);
      png = CaptureWindowPng(dlg, "controls-gdi-pressed.png");
      SendMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(30, 12));
      UpdateWindow(button);
      EXPECT_FALSE(xp.lastState & fw::kOdsSelected);
      EXPECT_TRUE(xp.lastState & fw::kOdsFocus);
    });
    EXPECT_FALSE(png.empty());

    // Leaving ends the hover; the next move registers again.
    MouseAway(dlg);
    EXPECT_TRUE(WaitFor([&] { return Ui<int>(dlg, [&] { return xp.Hovering() == 0 && xp.Tracking() == 0; }); }, 5s));
    OnUi(dlg, [&] {
      UpdateWindow(button);
      EXPECT_NE(Hex(ClientPixel(button, 2, 12)), Hex(fw::Rgb(250, 196, 88)));
      EnableWindow(button, FALSE);
      UpdateWindow(button);
      EXPECT_TRUE(xp.lastState & fw::kOdsDisabled);
      EnableWindow(button, TRUE);
    });
    PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
  });
  EXPECT_FALSE(dialog.timedOut);
}

TEST_F(ControlsGdi, FlatComboPollsOnlyWhileTheMouseIsNearAndDrawsItsLooks) {
  DrivenDialog dialog(ControlsTemplate());
  RunDriven(host, dialog, [&](HWND dlg) {
    MouseAway(dlg);
    Bind(dlg);
    const fw::Colour face = GetSysColor(COLOR_BTNFACE);
    const fw::Colour shadow = GetSysColor(COLOR_BTNSHADOW);
    const fw::Colour light = GetSysColor(COLOR_BTNHIGHLIGHT);
    RECT client{};
    OnUi(dlg, [&] {
      GetClientRect(combo, &client);
      // Every paint ends with the flat look: the outer ring in face.
      Repaint(combo);
      EXPECT_EQ(Hex(ClientPixel(combo, 0, 0)), Hex(face));
      EXPECT_EQ(Hex(ClientPixel(combo, client.right - 1, client.bottom - 1)), Hex(face));
      EXPECT_EQ(flat.ticks, 0);
      EXPECT_EQ(controls::CFlatComboBox::Highlighted(), 0);
    });
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(Ui<int>(dlg, [&] { return flat.ticks; }), 0);  // no timer before a move

    // On the drop-down button (the combo's own area, not its edit).
    RECT r{};
    GetWindowRect(combo, &r);
    OnUi(dlg, [&] { MouseTo(combo, {r.right - 4, (r.top + r.bottom) / 2}); });
    EXPECT_TRUE(WaitFor([&] { return Ui<int>(dlg, [&] { return flat.ticks; }) >= 1; }, 5s));
    EXPECT_TRUE(WaitFor([&] { return Ui<int>(dlg, [] { return int{controls::CFlatComboBox::Highlighted()}; }) == 1; }, 5s));
    OnUi(dlg, [&] {
      EXPECT_EQ(Hex(ClientPixel(combo, 0, 0)), Hex(shadow));  // raised: outer ring shadow / light
      EXPECT_EQ(Hex(ClientPixel(combo, client.right - 1, client.bottom - 1)), Hex(light));
      EXPECT_EQ(Hex(ClientPixel(combo, 1, 1)), Hex(face));
    });
    // The timer keeps running while the cursor stays inside.
    const int inside = Ui<int>(dlg, [&] { return flat.ticks; });
    EXPECT_TRUE(WaitFor([&] { return Ui<int>(dlg, [&] { return flat.ticks; }) >= inside + 3; }, 5s));

    // Leaving: the poll stops its timer and draws the flat look.
    MouseAway(dlg);
    EXPECT_TRUE(WaitFor([&] { return Ui<int>(dlg, [] { return int{controls::CFlatComboBox::Highlighted()}; }) == 0; }, 5s));
    std::this_thread::sleep_for(50ms);
    const int stopped = Ui<int>(dlg, [&] { return flat.ticks; });
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(Ui<int>(dlg, [&] { return flat.ticks; }), stopped);
    OnUi(dlg, [&] { EXPECT_EQ(Hex(ClientPixel(combo, 0, 0)), Hex(face)); });

    // A press stops the poll with the pressed look at its next tick; the release repaints flat.
    OnUi(dlg, [&] {
      MouseTo(combo, {r.right - 4, (r.top + r.bottom) / 2});
    });
    EXPECT_TRUE(WaitFor([&] { return Ui<int>(dlg, [] { return int{controls::CFlatComboBox::Highlighted()}; }) == 1; }, 5s));
    OnUi(dlg, [&] {
      SendMessageW(combo, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(client.right - 4, client.bottom / 2));
      EXPECT_EQ(flat.Pressed(), 1);
    });
    EXPECT_TRUE(WaitFor([&] { return Ui<int>(dlg, [] { return int{controls::CFlatComboBox::Highlighted()}; }) == 0; }, 5s));
    OnUi(dlg, [&] {
      EXPECT_EQ(Hex(ClientPixel(combo, 0, 0)), Hex(shadow));  // pressed: outer ring shadow / light
      SendMessageW(combo, CB_SHOWDROPDOWN, FALSE, 0);
      SendMessageW(combo, WM_LBUTTONUP, 0, MAKELPARAM(client.right - 4, client.bottom / 2));
      EXPECT_EQ(flat.Pressed(), 0);
      UpdateWindow(combo);
      EXPECT_EQ(Hex(ClientPixel(combo, 0, 0)), Hex(face));
    });
    MouseAway(dlg);
    PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
  });
  EXPECT_FALSE(dialog.timedOut);
}

TEST_F(ControlsGdi, ProgressBarMatchesTheRasterOutsideItsCaption) {
  DrivenDialog dialog(ControlsTemplate());
  RunDriven(host, dialog, [&](HWND dlg) {
    MouseAway(dlg);
    Bind(dlg);
    std::vector<fw::Colour> gdi;
    fw::Size caption;
    OnUi(dlg, [&] {
      RECT client{};
      GetClientRect(progressWnd, &client);
      ASSERT_EQ(client.right, 200);
      ASSERT_EQ(client.bottom, 16);
      EXPECT_EQ(SendMessageW(progressWnd, PBM_GETPOS, 0, 0), 50);  // forwarded to the control
      EXPECT_EQ(progress.BackgroundColour(), static_cast<fw::Colour>(GetSysColor(COLOR_BTNFACE)));
      Repaint(progressWnd);
      gdi = ClientPixels(progressWnd);
      // Erasing never clears the bar.
      HDC dc = GetDC(progressWnd);
      EXPECT_EQ(SendMessageW(progressWnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0), 1);
      ReleaseDC(progressWnd, dc);
      EXPECT_EQ(ClientPixels(progressWnd), gdi);
      // The caption's box as the paint context measures it (the context's default font).
      std::unique_ptr<GdiDC> measure = GdiDC::ForClient(progressWnd);
      caption = measure->GetTextExtent(progress.Caption());
    });
    ASSERT_EQ(gdi.size(), 200u * 16u);
    EXPECT_EQ(progress.Caption(), "50%");

    // The same control state painted by the raster backend.
    RasterSite site(200, 16);
    controls::CGradientProgressCtrl raster;
    raster.Attach(site);
    raster.SetRange(0, 100);
    raster.SetShowText(1);
    raster.SetPos(50);
    raster.WindowProc(fw::kWmPaint, 0, 0);
    ASSERT_EQ(site.surface.TextRuns().size(), 1u);
    fw::Box skip = site.surface.TextRuns()[0].Bounds();
    const fw::Box gdiCaption{(200 - caption.cx) / 2, (16 - caption.cy) / 2, (200 + caption.cx + 1) / 2,
                             (16 + caption.cy + 1) / 2};
    skip = {std::min(skip.left, gdiCaption.left) - 1, std::min(skip.top, gdiCaption.top) - 1,
            std::max(skip.right, gdiCaption.right) + 1, std::max(skip.bottom, gdiCaption.bottom) + 1};
    int outside = 0, inside = 0, firstBad = -1;
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 200; ++x) {
        const bool differs = gdi[static_cast<std::size_t>(y) * 200 + x] != site.surface.Pixel(x, y);
        const bool inCaption = x >= skip.left && x < skip.right && y >= skip.top && y < skip.bottom;
        if (differs && inCaption) ++inside;
        if (differs && !inCaption) {
          if (firstBad < 0) firstBad = y * 200 + x;
          ++outside;
        }
      }
    std::printf("progress at 50: %d of %d pixels differ outside the caption box (%d,%d)-(%d,%d); %d inside it\n",
                outside, 200 * 16 - skip.Width() * skip.Height(), skip.left, skip.top, skip.right, skip.bottom,
                inside);
    EXPECT_EQ(outside, 0) << "first at x=" << firstBad % 200 << " y=" << firstBad / 200 << ": GDI "
                          << Hex(gdi[static_cast<std::size_t>(std::max(firstBad, 0))]) << " raster "
                          << Hex(site.surface.Pixel(std::max(firstBad, 0) % 200, std::max(firstBad, 0) / 200));
    // The caption is really there in purple on the GDI side.
    int purple = 0;
    for (fw::Colour c : gdi) purple += c == fw::Rgb(128, 0, 128);
    EXPECT_GT(purple, 5);
    // Known columns: bands are narrower than a pixel (200 / 208), so band 0 is empty and
    // x = 0 shows band 1; the last band covers 100..101, then the background.
    EXPECT_EQ(Hex(gdi[0]), Hex(fw::Rgb(254, 215, 1)));
    EXPECT_EQ(Hex(gdi[15 * 200 + 100]), Hex(fw::Rgb(158, 219, 105)));
    EXPECT_EQ(Hex(gdi[15 * 200 + 101]), Hex(GetSysColor(COLOR_BTNFACE)));

    // At the bottom of the range the control is plain button face, without a caption.
    OnUi(dlg, [&] {
      progress.SetPos(0);
      Repaint(progressWnd);
      const std::vector<fw::Colour> empty = ClientPixels(progressWnd);
      int notFace = 0;
      for (fw::Colour c : empty) notFace += c != static_cast<fw::Colour>(GetSysColor(COLOR_BTNFACE));
      EXPECT_EQ(notFace, 0);
    });
    PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
  });
  EXPECT_FALSE(dialog.timedOut);
}

TEST_F(ControlsGdi, HoverEditBorderTurnsBlackWhileTheMouseRestsOnIt) {
  DrivenDialog dialog(ControlsTemplate());
  RunDriven(host, dialog, [&](HWND dlg) {
    MouseAway(dlg);
    Bind(dlg);
    const fw::Colour shadow = GetSysColor(COLOR_BTNSHADOW);
    RECT wr{};
    GetWindowRect(edit, &wr);
    const int w = wr.right - wr.left, h = wr.bottom - wr.top;
    // The frame's first paint comes when the UI thread gets to it: on a loaded machine after the bind.
    int ncPaints = 0;
    for (int tries = 0; tries < 250 && ncPaints == 0; ++tries) {
      OnUi(dlg, [&] { ncPaints = hover.ncPaints; });
      if (ncPaints == 0) Sleep(20);
    }
    OnUi(dlg, [&] {
      EXPECT_GE(hover.ncPaints, 1);
      // Flat sunken edge: the one-pixel border in shadow on all four sides.
      EXPECT_EQ(Hex(WindowPixel(edit, 0, 0)), Hex(shadow));
      EXPECT_EQ(Hex(WindowPixel(edit, w - 1, h / 2)), Hex(shadow));
      EXPECT_EQ(Hex(WindowPixel(edit, w / 2, h - 1)), Hex(shadow));
      EXPECT_EQ(hover.Tracking(), 0);
    });
    OnUi(dlg, [&] { MouseTo(edit, CentreOf(edit)); });
    EXPECT_TRUE(WaitFor([&] { return Ui<int>(dlg, [&] { return hover.Hovering(); }) == 1; }, 5s));
    OnUi(dlg, [&] {
      EXPECT_EQ(hover.Tracking(), 1);
      UpdateWindow(edit);
      EXPECT_EQ(Hex(WindowPixel(edit, 0, 0)), Hex(fw::Rgb(0, 0, 0)));
      EXPECT_EQ(Hex(WindowPixel(edit, w - 1, h / 2)), Hex(fw::Rgb(0, 0, 0)));
      EXPECT_EQ(Hex(WindowPixel(edit, w / 2, h - 1)), Hex(fw::Rgb(0, 0, 0)));
      EXPECT_EQ(TextOf(edit), "Ready");  // the edit still shows its own text
    });
    // A second move while tracking registers nothing new, and the hover stays.
    OnUi(dlg, [&] { MouseTo(edit, {CentreOf(edit).x + 2, CentreOf(edit).y}); });
    MouseAway(dlg);
    EXPECT_TRUE(WaitFor([&] { return Ui<int>(dlg, [&] { return hover.Hovering() == 0 && hover.Tracking() == 0; }); }, 5s));
    OnUi(dlg, [&] {
      UpdateWindow(edit);
      EXPECT_EQ(Hex(WindowPixel(edit, 0, 0)), Hex(shadow));
    });
    PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
  });
  EXPECT_FALSE(dialog.timedOut);
}
