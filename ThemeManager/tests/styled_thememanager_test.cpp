// The theme manager on the system's own visual-styles library with a visual
// style switched on. Wine ships the style "light.msstyles" in every prefix,
// but the test prefix runs the classic look; the style is switched on for
// this process only: the library reads the theme settings of the current
// user when it loads, so it is loaded once, before anything else does, while
// the current user's key stands for a copy whose style is active.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "ThemeManager/ThemeMgr.h"
#include "ThemeManager/tests/tm_support.h"
#include "classlib/Buttons.h"
#include "classlib/CheckLst.h"
#include "classlib/ComCtrls.h"
#include "classlib/ExtCtrls.h"
#include "classlib/Grids.h"
#include "classlib/StdCtrls.h"
#include "classlib/Forms.h"
#include "testsupport/Gui.h"
#include "testsupport/Pump.h"
#include "testsupport/Runner.h"

using namespace testsupport;
using namespace tmtest;

namespace {

const wchar_t kThemeKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\ThemeManager";

// Loads the visual-styles library with the user's style switched on; the
// library stays loaded (and styled) for the whole run. Empty when done, else
// why not.
std::string ActivateVisualStyle() {
  if (::GetModuleHandleW(L"uxtheme.dll")) return "the visual-styles library was loaded before the style was set";
  wchar_t rootName[80];
  swprintf(rootName, 80, L"Software\\ZembrioTests\\StyledRun%lu", ::GetCurrentProcessId());
  HKEY root = nullptr, copy = nullptr, user = nullptr;
  std::string why;
  if (::RegCreateKeyExW(HKEY_CURRENT_USER, rootName, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &root, nullptr) ||
      ::RegCreateKeyExW(root, kThemeKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &copy, nullptr) ||
      ::RegOpenKeyExW(HKEY_CURRENT_USER, kThemeKey, 0, KEY_READ, &user) || ::RegCopyTreeW(user, nullptr, copy)) {
    why = "the theme settings could not be copied";
  } else {
    wchar_t file[MAX_PATH] = {}, path[MAX_PATH] = {};
    DWORD size = sizeof(file);
    if (::RegQueryValueExW(copy, L"DllName", nullptr, nullptr, reinterpret_cast<BYTE*>(file), &size) ||
        !::ExpandEnvironmentStringsW(file, path, MAX_PATH) || ::GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES) {
      why = "the system names no visual style file that exists";
    } else {
      static const wchar_t on[] = L"1";
      ::RegSetValueExW(copy, L"ThemeActive", 0, REG_SZ, reinterpret_cast<const BYTE*>(on), sizeof(on));
      ::RegOverridePredefKey(HKEY_CURRENT_USER, root);
      HMODULE library = ::LoadLibraryW(L"uxtheme.dll");  // kept to the end
      ::RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
      auto active = library ? reinterpret_cast<BOOL(WINAPI*)()>(
                                  reinterpret_cast<void*>(::GetProcAddress(library, "IsThemeActive")))
                            : nullptr;
      if (!active || !active()) why = "the visual style did not switch on";
    }
  }
  for (HKEY k : {user, copy, root})
    if (k) ::RegCloseKey(k);
  ::RegDeleteTreeW(HKEY_CURRENT_USER, rootName);
  ::RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\ZembrioTests");  // only when nothing else is in it
  return why;
}

// Wine's common controls 6.0 (loaded through the manifest) call themselves
// 5.81; the manager wants 6.0 before it themes anything.
DWORD ComCtl6() { return 0x60000; }

class StyledFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    FreeThemeServices();
    SetComCtlVersionProvider(&ComCtl6);
  }
  void TearDown() override {
    FreeThemeServices();
    SetComCtlVersionProvider(nullptr);
  }
};

// A panel that paints 4-pixel stripes, red and blue, counted from its own
// left edge, as its background.
class TStripedPanel : public TPanel {
 public:
  using TPanel::TPanel;
  static COLORREF StripeAt(int x) { return (x / 4) % 2 ? RGB(0, 0, 255) : RGB(255, 0, 0); }
  void WndProc(TMessage& m) override {
    if (m.Msg != WM_ERASEBKGND) return TPanel::WndProc(m);
    HDC dc = HDC(m.WParam);
    for (int x = 0; x < GetWidth(); x += 4) {
      HBRUSH b = ::CreateSolidBrush(StripeAt(x));
      RECT r{x, 0, x + 4, GetHeight()};
      ::FillRect(dc, &r, b);
      ::DeleteObject(b);
    }
    m.Result = 1;
  }
};

struct StyledForm {
  TForm* Form;
  StyledForm() {
    Form = new TForm(Application);
    Form->SetBorderStyle(bsNone);
    Form->SetBounds(30, 30, 420, 300);
  }
  ~StyledForm() { delete Form; }
  template <class T> T* Add(int l, int t, int w, int h, TWinControl* parent = nullptr) {
    T* c = new T(Form);
    c->SetParent(parent ? parent : Form);
    c->SetBounds(l, t, w, h);
    return c;
  }
  void Show() {
    Form->Show();
    Form->Update();
    Pump(30);
  }
};

bool IsWhite(COLORREF c) { return c == RGB(255, 255, 255); }

}  // namespace

TEST_F(StyledFixture, TheStyleIsOnForTheControls) {
  TThemeServices* s = ThemeServices();
  EXPECT_TRUE(UseThemes());
  EXPECT_TRUE(s->ThemesEnabled());
  EXPECT_NE(s->GetTheme(teButton), nullptr);
  EXPECT_NE(s->GetTheme(teEdit), nullptr);
  EXPECT_NE(s->GetTheme(teStatus), nullptr);
}

TEST_F(StyledFixture, GroupBoxesDrawTheStyledFrameAroundTheirCaption) {
  StyledForm f;
  auto* box = f.Add<TGroupBox>(10, 10, 200, 100);
  box->SetCaption(L"Settings");
  TThemeManager m(f.Form);
  m.CollectForms();
  f.Show();
  ASSERT_TRUE(m.IsSubclassed(box, skGroupBox));
  Canvas32 pic(200, 100);
  box->Perform(WM_PAINT, WPARAM(pic.DC), 0);

  // The frame: its top edge found right of the caption, its left edge at
  // mid-height.
  int top = -1;
  for (int y = 0; y < 40 && top < 0; ++y)
    if (!IsWhite(pic.At(190, y))) top = y;
  ASSERT_GE(top, 0) << "no top edge";
  COLORREF frame = pic.At(190, top);
  bool left = false;
  for (int x = 0; x < 4; ++x) left = left || !IsWhite(pic.At(x, 60));
  EXPECT_TRUE(left) << "no left edge";
  // The caption starts 8 pixels in and cuts the top edge.
  auto ink = pic.InkColumns({});
  EXPECT_EQ(ink.first, 0);
  int captionInk = 0, frameUnderCaption = 0;
  for (int x = 10; x < 40; ++x) {
    for (int y = 0; y < top * 2; ++y) captionInk += !IsWhite(pic.At(x, y));
    frameUnderCaption += pic.At(x, top) == frame;
  }
  EXPECT_GT(captionInk, 10);
  EXPECT_LT(frameUnderCaption, 10);
  for (int x = 3; x < 7; ++x) EXPECT_EQ(pic.At(x, top), frame) << "the edge runs up to the caption at " << x;
}

TEST_F(StyledFixture, PanelsShowTheirParentsBackground) {
  StyledForm f;
  auto* striped = f.Add<TStripedPanel>(0, 0, 300, 200);
  striped->SetColor(clRed);  // a colour of its own: left to its own painting
  auto* panel = f.Add<TPanel>(13, 21, 100, 60, striped);
  panel->SetParentColor(true);
  panel->SetBevelOuter(bvNone);
  panel->SetCaption(L"");
  TThemeManager m(f.Form);
  m.CollectForms();
  f.Show();
  ASSERT_TRUE(m.IsSubclassed(panel, skPanel));
  Canvas32 pic(100, 60);
  EXPECT_EQ(panel->Perform(WM_PRINTCLIENT, WPARAM(pic.DC), PRF_CLIENT), 0);
  // The stripes continue where the panel sits in its parent.
  for (int x : {0, 2, 3, 4, 10, 50, 99}) EXPECT_EQ(pic.At(x, 30), TStripedPanel::StripeAt(x + 13)) << x;
  Canvas32 erased(100, 60);
  EXPECT_EQ(panel->Perform(WM_ERASEBKGND, WPARAM(erased.DC), 0), 1);
  EXPECT_EQ(erased.At(0, 0), TStripedPanel::StripeAt(13));
  // A double-buffered parent erases into the panel's context itself, at the
  // panel's place.
  striped->SetDoubleBuffered(true);
  Canvas32 buffered(100, 60);
  EXPECT_EQ(panel->Perform(WM_ERASEBKGND, WPARAM(buffered.DC), 0), 1);
  for (int x : {0, 2, 3, 4, 50}) EXPECT_EQ(buffered.At(x, 30), TStripedPanel::StripeAt(x + 13)) << x;
}

TEST_F(StyledFixture, StatusBarsAndClientEdgesTakeTheStyle) {
  StyledForm f;
  auto* status = f.Add<TStatusBar>(0, 250, 420, 24);
  auto* grid = f.Add<TDrawGrid>(10, 10, 150, 100);  // drawn by the class library, not by the system
  TThemeManager m(f.Form);
  m.CollectForms();
  f.Show();
  ASSERT_TRUE(m.IsSubclassed(status, skStatusBar));
  ASSERT_TRUE(m.IsSubclassed(grid, skWinControl));

  Canvas32 pic(420, 24);
  EXPECT_EQ(status->Perform(WM_ERASEBKGND, WPARAM(pic.DC), 0), 1);
  Canvas32 element(420, 24);
  ThemeServices()->DrawElement(element.DC, TThemeServices::GetElementDetails(tsStatusRoot), TRect(0, 0, 420, 24));
  EXPECT_EQ(pic.At(200, 12), element.At(200, 12)) << "the status background is the style's";

  // The classic sunken edge is dark above and light below; the styled edit
  // border is one colour all round.
  ::SendMessageW(grid->GetHandle(), WM_NCPAINT, 1, 0);
  HDC dc = ::GetWindowDC(grid->GetHandle());
  RECT wr;
  ::GetWindowRect(grid->GetHandle(), &wr);
  int w = wr.right - wr.left, h = wr.bottom - wr.top;
  COLORREF topEdge = ::GetPixel(dc, w / 2, 0), bottomEdge = ::GetPixel(dc, w / 2, h - 1);
  COLORREF leftEdge = ::GetPixel(dc, 0, h / 2), rightEdge = ::GetPixel(dc, w - 1, h / 2);
  ::ReleaseDC(grid->GetHandle(), dc);
  EXPECT_EQ(topEdge, bottomEdge);
  EXPECT_EQ(leftEdge, rightEdge);
  EXPECT_EQ(topEdge, leftEdge);
}

TEST_F(StyledFixture, ButtonsDrawTheStyledElementsWithGlyphAndCaption) {
  TThemeManager m(nullptr);
  TestFace t(2, L"Open");
  TThemedButtonFace& face = t.Face;
  const TRect r(0, 0, 120, 32);

  Canvas32 push(120, 32), flat(120, 32), off(120, 32);
  m.DrawButton(face, tbPushButtonNormal, false, r, push.DC);
  face.Flat = true;
  m.DrawButton(face, tbPushButtonNormal, false, r, flat.DC);
  face.Flat = false;
  face.Enabled = false;
  face.State = bsDisabled;
  m.DrawButton(face, tbPushButtonDisabled, false, r, off.DC);

  // A push button has a border; a flat tool-bar button at rest has none.
  EXPECT_FALSE(IsWhite(push.At(60, 0)) && IsWhite(push.At(0, 16)));
  EXPECT_TRUE(IsWhite(flat.At(60, 0)));
  EXPECT_TRUE(IsWhite(flat.At(0, 16)));
  // The glyph's square shows, its transparent colour does not.
  EXPECT_NE(push.Span(kCellColours[0], true).first, -1);
  EXPECT_EQ(push.Span(RGB(255, 0, 255), true).first, -1);
  EXPECT_NE(off.Span(kCellColours[1], true).first, -1) << "the disabled cell";
  EXPECT_EQ(off.Span(kCellColours[0], true).first, -1);
  EXPECT_NE(off.Span(::GetSysColor(COLOR_GRAYTEXT), true).first, -1) << "greyed caption";
}

TEST_F(StyledFixture, CheckListBoxesAndBitButtonsDrawTheStyledElements) {
  StyledForm f;
  auto* list = f.Add<TCheckListBox>(10, 10, 150, 80);
  list->SetColor(clWindow);
  list->Items()->Add(L"on");
  list->Items()->Add(L"off");
  list->SetChecked(0, true);
  auto* bit = f.Add<TBitBtn>(200, 10, 80, 30);
  bit->SetCaption(L"Go");
  TThemeManager m(f.Form);
  m.CollectForms();
  f.Show();
  ASSERT_TRUE(m.IsSubclassed(list, skCheckListBox));
  ASSERT_TRUE(m.IsSubclassed(bit, skButton));

  // Each item's check is the style's check box of its state.
  Canvas32 pic(150, 80);
  ::SendMessageW(list->GetHandle(), WM_PRINT, WPARAM(pic.DC), PRF_CLIENT);
  const TSize box = TThemeManager::CheckBoxSize();
  const int strip = list->CheckWidth();
  int cellsDiffer = 0;
  for (int i = 0; i < 2; ++i) {
    TRect r = list->ItemRect(i);
    int x = r.left + (strip - box.cx) / 2, y = r.top + (r.bottom - r.top - box.cy) / 2;
    Canvas32 element(box.cx, box.cy);
    ThemeServices()->DrawElement(
        element.DC, TThemeServices::GetElementDetails(i == 0 ? tbCheckBoxCheckedNormal : tbCheckBoxUncheckedNormal),
        TRect(0, 0, box.cx, box.cy));
    int wrong = 0;
    for (int dy = 0; dy < box.cy; ++dy)
      for (int dx = 0; dx < box.cx; ++dx) {
        wrong += pic.At(x + dx, y + dy) != element.At(dx, dy);
        if (i == 1) cellsDiffer += pic.At(x + dx, y + dy) != pic.At(x + dx, y + dy - (r.bottom - r.top));
      }
    EXPECT_EQ(wrong, 0) << "item " << i;
  }
  EXPECT_GT(cellsDiffer, 0) << "checked and unchecked look alike";

  // The bit button's face is the style's push button over the form.
  Canvas32 face(80, 30), element(80, 30);
  ::SendMessageW(bit->GetHandle(), WM_PRINT, WPARAM(face.DC), PRF_CLIENT);
  HBRUSH formColour = ::CreateSolidBrush(ColorToRef(f.Form->GetColor()));
  RECT all{0, 0, 80, 30};
  ::FillRect(element.DC, &all, formColour);
  ::DeleteObject(formColour);
  ThemeServices()->DrawElement(element.DC, TThemeServices::GetElementDetails(tbPushButtonNormal),
                               TRect(0, 0, 80, 30));
  int wrong = 0;
  for (int x = 0; x < 80; ++x)
    for (int y : {0, 1, 28, 29}) wrong += face.At(x, y) != element.At(x, y);
  EXPECT_EQ(wrong, 0);
  EXPECT_GT(face.InkColumns({element.At(40, 3)}).first, -1);
}

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  std::string why = ActivateVisualStyle();
  if (!why.empty()) {
    std::fprintf(stderr, "No visual style for the styled run: %s\n", why.c_str());
    return 1;
  }
  ::testing::AddGlobalTestEnvironment(new GuiEnvironment);
  testsupport::InstallTestGuards();
  const int rc = RUN_ALL_TESTS();
  return testsupport::AnyTestHung() ? 1 : rc;
}
