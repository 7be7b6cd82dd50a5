// The themed layer on real windows: theme registry and broadcasts, the
// Default theme's answers and painting, themed items, toolbars and shadows.
#include <gtest/gtest.h>
#include <windows.h>
#include <vssym32.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

#include "classlib/ImgList.h"
#include "classlib/Forms.h"
#include "testsupport/Gui.h"
#include "testsupport/Input.h"
#include "testsupport/MemCanvas.h"
#include "testsupport/Pump.h"
#include "ThemeManager/ThemeLibrary.h"
#include "toolbars/BarUtilsWin.h"
#include "classlib/ExtCtrls.h"
#include "toolbars/skin/SkinDefaultTheme.h"
#include "toolbars/skin/SkinEditItems.h"
#include "toolbars/skin/SkinExtItems.h"
#include "toolbars/skin/SkinItems.h"
#include "toolbars/skin/SkinSwitcher.h"
#include "toolbars/skin/SkinUtils.h"
#include "toolbars/skin/SkinUxThemes.h"
#include "toolbars/skin/SkinWindows.h"

using namespace testsupport;

static ::testing::Environment* const kGuiEnv = ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

namespace {
// Records the layer's broadcasts.
class Listener : public TObject, public ISkinListener {
 public:
  struct Msg {
    UINT Msg;
    WPARAM W;
    LPARAM L;
  };
  std::vector<Msg> Got;
  void SkinMessage(TMessage& m) override { Got.push_back({m.Msg, m.WParam, m.LParam}); }
};

TSkinTheme* MakeOther(const String& Name) { return new TSkinDefaultTheme(Name); }

struct Host {
  std::unique_ptr<TForm> Form;
  TSkinDock* Dock = nullptr;
  Host() {
    Form.reset(new TForm(Application));
    Form->SetBounds(40, 40, 500, 300);
    Dock = new TSkinDock(Form.get());
    Dock->SetName(L"tbdTop");
    Dock->SetParent(Form.get());
  }
  TSkinToolbar* AddToolbar(const String& Name) {
    auto* t = new TSkinToolbar(Form.get());
    t->SetName(Name);
    t->SetParent(Dock);
    return t;
  }
  void Show() {
    Form->Show();
    Pump(50);
  }
};

int Width(TBarItemViewer* v) { return v->BoundsRect.right - v->BoundsRect.left; }
}  // namespace

TEST(SkinRegistry, SharedInstancesAndReleaseErrors) {
  InitSkin();
  EXPECT_TRUE(IsSkinThemeAvailable(L"default"));
  try {
    RegisterSkinTheme(L"DEFAULT", &MakeOther);
    FAIL() << "a name differing only in case registered";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), L"Theme DEFAULT is already registered");
  }
  EXPECT_THROW(RegisterSkinTheme(L"", &MakeOther), Exception);
  EXPECT_THROW(RegisterSkinTheme(L"X", nullptr), Exception);
  // A name longer than the 255 characters kept is found by itself and
  // registers once.
  const String longName = L"Long" + String(296, L'x');
  if (!IsSkinThemeAvailable(longName)) RegisterSkinTheme(longName, &MakeOther);
  EXPECT_TRUE(IsSkinThemeAvailable(longName));
  try {
    RegisterSkinTheme(longName, &MakeOther);
    FAIL() << "a long name registered twice";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), L"Theme " + longName + L" is already registered");
  }
  if (!IsSkinThemeAvailable(L"Other")) RegisterSkinTheme(L"Other", &MakeOther);
  auto list = std::make_unique<TStringList>();
  GetAvailableSkinThemes(list.get());
  ASSERT_GE(list->GetCount(), 2);
  EXPECT_EQ(list->Get(0), L"Default");

  TSkinTheme* a = GetSkinTheme(L"Other");
  TSkinTheme* b = GetSkinTheme(L"other");
  EXPECT_EQ(a, b);
  EXPECT_EQ(SkinThemeRefCount(L"Other"), 2);
  ReleaseSkinTheme(b);
  EXPECT_EQ(b, a);  // still alive: the caller's variable is left as it was
  ReleaseSkinTheme(a);
  EXPECT_EQ(a, nullptr);
  EXPECT_EQ(SkinThemeRefCount(L"Other"), 0);
  TSkinTheme* stale = b;  // the destroyed instance
  try {
    ReleaseSkinTheme(stale);
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), L"Cannot release theme");
  }
  try {
    GetSkinTheme(L"Nope");
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), L"Unknown theme Nope");
  }
}

TEST(SkinRegistry, ThemeSwitchAndSystemParametersBroadcast) {
  InitSkin();
  Listener l;
  AddThemeNotification(&l);
  AddThemeNotification(&l);  // only once
  SkinSetTheme(L"NotRegistered");
  EXPECT_TRUE(l.Got.empty());
  EXPECT_EQ(SkinCurrentTheme(), L"Default");

  if (!IsSkinThemeAvailable(L"Other")) RegisterSkinTheme(L"Other", &MakeOther);
  SkinSetTheme(L"Other");
  ASSERT_EQ(l.Got.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(l.Got[i].Msg, BarMThemeChange);
    EXPECT_EQ(l.Got[i].W, WPARAM(i + 1));
    EXPECT_EQ(l.Got[i].L, 1);
  }
  EXPECT_EQ(SkinCurrentTheme(), L"Other");
  SkinSetTheme(L"Default");
  EXPECT_EQ(SkinThemeRefCount(L"Other"), 0);  // the switch released it
  l.Got.clear();

  // Visual styles: any non-zero value forbids them and reads back as 2.
  SetSkinSysParam(2, 5);
  EXPECT_EQ(GetSkinSysParam(2), 2);
  EXPECT_FALSE(USE_THEMES);
  ASSERT_EQ(l.Got.size(), 3u);  // relayed system change, LParam 0
  EXPECT_EQ(l.Got[2].W, 3u);
  EXPECT_EQ(l.Got[2].L, 0);
  l.Got.clear();
  SetSkinSysParam(2, 7);
  EXPECT_TRUE(l.Got.empty());
  SetSkinSysParam(2, 0);
  EXPECT_EQ(GetSkinSysParam(2), 0);
  EXPECT_EQ(GetSkinSysParam(3), -1);
  SetSkinSysParam(9, 1);  // ignored
  RemoveThemeNotification(&l);
}

// A listener whose handler unregisters (or frees) one that follows it in the
// list: the one taken out hears nothing more of that broadcast.
TEST(SkinRegistry, AListenerTakenOutDuringABroadcastIsNotCalled) {
  InitSkin();
  struct Remover : Listener {
    Listener* Victim = nullptr;
    void SkinMessage(TMessage& m) override {
      Listener::SkinMessage(m);
      if (Victim) RemoveThemeNotification(Victim);
      Victim = nullptr;
    }
  } first;
  Listener second;
  AddThemeNotification(&first);
  AddThemeNotification(&second);
  first.Victim = &second;
  if (!IsSkinThemeAvailable(L"Other")) RegisterSkinTheme(L"Other", &MakeOther);
  SkinSetTheme(L"Other");
  SkinSetTheme(L"Default");
  EXPECT_EQ(first.Got.size(), 6u);
  EXPECT_TRUE(second.Got.empty());
  RemoveThemeNotification(&first);
}

TEST(SkinRegistry, FlatMenuSettingChoosesPopupColours) {
  InitSkin();
  auto oldSeam = SkinSystemFlatMenusSeam;
  SkinSystemFlatMenusSeam = [] { return true; };
  SetSkinSysParam(1, 1);  // off on a system with flat menus: toolbar colours
  EXPECT_FALSE(USE_FLATMENUS);
  EXPECT_EQ(clPopup, clToolbar);
  SetSkinSysParam(1, 0);
  EXPECT_TRUE(USE_FLATMENUS);
  EXPECT_EQ(clPopup, clMenu);
  SkinSystemFlatMenusSeam = [] { return false; };
  SetSkinSysParam(1, 2);  // forced on without system support: window colours
  EXPECT_TRUE(USE_FLATMENUS);
  EXPECT_EQ(clPopup, clWindow);
  EXPECT_EQ(clPopupText, clWindowText);
  SetSkinSysParam(1, 0);
  EXPECT_FALSE(USE_FLATMENUS);
  SkinSystemFlatMenusSeam = oldSeam;
  SkinRecomputeAndNotify();
}

TEST(SkinSwitcher, PropertiesAreProgramWide) {
  InitSkin();
  Listener l;
  AddThemeNotification(&l);
  auto s1 = std::make_unique<TSkinSwitcher>(nullptr);
  auto s2 = std::make_unique<TSkinSwitcher>(nullptr);
  int changes = 0;
  s1->OnThemeChange = TNotifyEvent([&](TObject* Sender) {
    EXPECT_EQ(Sender, s1.get());
    ++changes;
  });
  EXPECT_EQ(s1->GetTheme(), L"Default");
  EXPECT_EQ(s1->GetThemes(0), L"Default");
  EXPECT_TRUE(s1->GetEnableXPStyles());
  s1->SetEnableXPStyles(false);
  EXPECT_FALSE(s2->GetEnableXPStyles());
  EXPECT_EQ(l.Got.size(), 3u);
  EXPECT_EQ(changes, 3);
  s2->SetEnableXPStyles(true);
  EXPECT_EQ(l.Got.size(), 6u);
  s2->SetFlatMenuStyle(fmsDisable);
  EXPECT_EQ(s1->GetFlatMenuStyle(), fmsDisable);
  EXPECT_EQ(GetSkinSysParam(1), 1);
  s2->SetFlatMenuStyle(fmsAuto);
  EXPECT_EQ(GetSkinSysParam(1), 0);
  EXPECT_EQ(TSkinSwitcher::Count(), 2);
  s1.reset();
  EXPECT_EQ(TSkinSwitcher::Count(), 1);
  RemoveThemeNotification(&l);
}

// The last switcher of a designer, freed, leaves the program on "Default";
// freeing a running one, or a designed one while another lives, keeps the
// theme chosen.
TEST(SkinSwitcher, TheLastDesignedSwitcherPutsTheDefaultThemeBack) {
  InitSkin();
  if (!IsSkinThemeAvailable(L"Other")) RegisterSkinTheme(L"Other", &MakeOther);
  {
    TSkinSwitcher running(nullptr);
    running.SetTheme(L"Other");
  }
  EXPECT_EQ(SkinCurrentTheme(), L"Other");
  {
    TComponent designer(nullptr);
    designer.SetDesigning(true);
    auto* first = new TSkinSwitcher(&designer);
    new TSkinSwitcher(&designer);
    ASSERT_TRUE(first->IsDesigning());
    delete first;
    EXPECT_EQ(SkinCurrentTheme(), L"Other");
  }
  EXPECT_EQ(SkinCurrentTheme(), L"Default");
}

TEST(SkinDefaultTheme, MetricsColoursAndBorders) {
  InitSkin();
  TSkinTheme* t = CurrentSkinTheme();
  EXPECT_EQ(t->GetPopupShadowType(), 1);
  if (!USE_THEMES) EXPECT_EQ(t->GetIntegerMetrics(10), 11);  // classic; styled: SkinVisualStyles
  EXPECT_EQ(t->GetIntegerMetrics(20), 8);
  EXPECT_EQ(t->GetIntegerMetrics(65), 13);
  EXPECT_EQ(t->GetIntegerMetrics(35), -1);
  EXPECT_EQ(t->GetIntegerMetrics(999), -1);
  EXPECT_TRUE(t->GetBooleanMetrics(6));
  EXPECT_FALSE(t->GetBooleanMetrics(1));
  EXPECT_EQ(t->GetBooleanMetrics(5), USE_THEMES);

  // A view type of 0: toolbar colour, no border, no margins.
  POINT b{9, 9};
  t->GetViewBorder(0, b);
  EXPECT_EQ(b.x, 0);
  EXPECT_EQ(t->GetViewColor(0), clToolbar);
  TSkinMargins m{1, 1, 1, 1};
  t->GetViewMargins(0, m);
  EXPECT_EQ(m.LeftWidth + m.RightWidth + m.TopHeight + m.BottomHeight, 0);
  t->GetViewMargins(VT_TOOLBARBAR | VT_FLOATING, m);
  EXPECT_EQ(m.LeftWidth, 4);
  EXPECT_EQ(m.BottomHeight, 1);
  t->GetViewBorder(VT_TOOLBARBAR, b);
  EXPECT_EQ(b.x, 2);
  t->GetViewBorder(VT_TOOLBARBAR | VT_FLOATING | VT_RESIZABLE, b);
  EXPECT_EQ(b.x, GetSystemMetrics(SM_CXSIZEFRAME));
  t->GetViewBorder(VT_TOOLBARBAR | VT_FLOATING, b);
  EXPECT_EQ(b.y, GetSystemMetrics(SM_CYFIXEDFRAME));
  t->GetViewBorder(VT_POPUPMENU, b);
  EXPECT_EQ(b.x, 3);
  t->GetViewBorder(VT_LISTBOX, b);
  EXPECT_EQ(b.x, 1);
  EXPECT_EQ(t->GetViewColor(VT_LISTBOX), clWindow);
  EXPECT_EQ(t->GetViewColor(VT_POPUPMENU), clPopup);
  EXPECT_EQ(t->GetViewColor(VT_TOOLBAR | VT_POPUPMENU), clToolbar);  // toolbar bit wins

  TSkinItemInfo I;
  I.ViewType = VT_TOOLBARBAR;
  I.ItemOptions = IO_TOOLBARSTYLE;
  I.Enabled = false;
  EXPECT_EQ(t->GetItemTextColor(I), clGrayText);
  I.Enabled = true;
  EXPECT_EQ(t->GetItemTextColor(I), clBtnText);
  I.ViewType = VT_POPUPMENU;
  I.ItemOptions = 0;
  I.HoverKind = hkMouseHover;
  EXPECT_EQ(t->GetItemTextColor(I), clHighlightText);
  I.HoverKind = hkNone;
  EXPECT_EQ(t->GetItemTextColor(I), clPopupText);
  I.Pushed = true;
  EXPECT_EQ(t->GetImageOffset(nullptr, I, nullptr).x, 1);

  // Text colour from state flags goes through the same rules.
  EXPECT_EQ(GetSkinTextColor(ISF_DISABLED), clGrayText);
  EXPECT_EQ(GetSkinTextColor(0), clBtnText);
}

TEST(SkinDefaultTheme, CachedToolbarColourFollowsSystemChangeOnly) {
  InitSkin();
  auto* t = dynamic_cast<TSkinDefaultTheme*>(CurrentSkinTheme());
  ASSERT_NE(t, nullptr);
  TColor saved = clToolbar;
  clToolbar = 0x123456;
  EXPECT_EQ(t->GetViewColor(VT_TOOLBARBAR), saved);
  TMessage m1{SkinMSysChange, 1, 0, 0};
  t->SkinMessage(m1);
  EXPECT_EQ(t->GetViewColor(VT_TOOLBARBAR), saved);
  TMessage m2{SkinMSysChange, 2, 0, 0};
  t->SkinMessage(m2);
  EXPECT_EQ(t->GetViewColor(VT_TOOLBARBAR), 0x123456);
  clToolbar = saved;
  t->SkinMessage(m2);
}

TEST(SkinDefaultTheme, ClassicPaintingOfSeparatorsAndDisabledText) {
  InitSkin();
  if (USE_THEMES) GTEST_SKIP() << "visual styles active";
  TSkinTheme* t = CurrentSkinTheme();
  const COLORREF white = RGB(255, 255, 255);
  {
    MemCanvas s(20, 20, white);
    TSkinItemInfo I;
    I.ViewType = VT_TOOLBARBAR;
    I.ItemOptions = IO_TOOLBARSTYLE;
    I.Enabled = false;
    t->PaintSeparator(&s.C, RECT{0, 0, 20, 20}, I, false, false);
    EXPECT_EQ(s.CountNot(white), 0);  // nothing for a disabled separator
    I.Enabled = true;
    t->PaintSeparator(&s.C, RECT{0, 0, 20, 20}, I, false, false);
    EXPECT_GT(s.CountNot(white), 0);
  }
  {
    // A disabled caption is embossed: highlight one pixel down-right of the shadow.
    MemCanvas s(60, 20, RGB(0, 0, 0));
    TSkinItemInfo I;
    I.ViewType = VT_TOOLBARBAR;
    I.ItemOptions = IO_TOOLBARSTYLE;
    I.Enabled = false;
    s.C.Font()->SetColor(clGrayText);
    t->PaintCaption(&s.C, RECT{0, 0, 60, 20}, I, L"WWW", DT_SINGLELINE | DT_LEFT | DT_TOP, false);
    EXPECT_GT(s.Count(ColorToRef(clBtnHighlight)), 0);
    EXPECT_GT(s.Count(ColorToRef(clBtnShadow)), 0);
    EXPECT_EQ(s.C.Brush()->GetStyle(), bsSolid);
  }
  {
    // A hot flat menu-bar item is one solid highlight block.
    bool oldFlat = USE_FLATMENUS;
    USE_FLATMENUS = true;
    MemCanvas s(30, 20, white);
    TSkinItemInfo I;
    I.ViewType = VT_MENUBAR;
    I.ItemOptions = IO_TOOLBARSTYLE | IO_APPACTIVE;
    I.Enabled = true;
    I.HoverKind = hkMouseHover;
    t->PaintButton(&s.C, RECT{0, 0, 30, 20}, I);
    EXPECT_EQ(s.Count(ColorToRef(clHighlight)), 30 * 20);
    EXPECT_EQ(t->GetItemTextColor(I), clHighlightText);
    USE_FLATMENUS = oldFlat;
  }
}

TEST(SkinGeometry, DragHandlesAndCloseButtons) {
  TSkinToolbarInfo T;
  T.BorderSize = POINT{2, 2};
  T.ClientWidth = 100;
  EXPECT_EQ(GetSkinDragHandleSize(T), 0);  // dock forbids dragging
  T.AllowDrag = true;
  T.DragHandleStyle = dhDouble;
  EXPECT_EQ(GetSkinDragHandleSize(T), 9);
  T.DragHandleStyle = dhNone;
  EXPECT_EQ(GetSkinDragHandleSize(T), 0);
  T.DragHandleStyle = dhSingle;
  EXPECT_EQ(GetSkinDragHandleSize(T), 6);
  T.CloseButtonState = 1;
  T.DragHandleStyle = dhNone;
  EXPECT_EQ(GetSkinDragHandleSize(T), 14);
  RECT r;
  GetSkinDockedCloseButtonRect(T, r);
  EXPECT_EQ(r.left, 2);
  EXPECT_EQ(r.right - r.left, 13);
  T.IsVertical = true;
  GetSkinDockedCloseButtonRect(T, r);
  EXPECT_EQ(r.right, 102);

  TSkinWindowInfo W;
  W.ClientWidth = 120;
  W.FloatingBorderSize = POINT{3, 4};
  RECT cap, close;
  GetSkinCaptionRect(W, true, true, cap);
  GetSkinCloseButtonRect(W, true, close);
  int h = GetSystemMetrics(SM_CYSMCAPTION) - 1;
  EXPECT_EQ(cap.top, 4);
  EXPECT_EQ(cap.bottom - cap.top, h);
  EXPECT_EQ(cap.right, 123 - h);
  EXPECT_EQ(close.right, 123);
  EXPECT_EQ(close.right - close.left, h);
}

TEST(SkinItems, FontSettingsScaleAndNotify) {
  TFontSettings fs;
  int changes = 0;
  fs.OnChange = TNotifyEvent([&](TObject*) { ++changes; });
  fs.SetSize(150);
  fs.SetSize(150);
  EXPECT_EQ(changes, 1);
  TFont f;
  f.SetSize(8);
  fs.Apply(&f);
  EXPECT_EQ(f.GetSize(), 12);
  fs.SetSize(125);
  TFont g;
  g.SetSize(9);
  fs.SetBold(tsTrue);
  fs.Apply(&g);
  EXPECT_EQ(g.GetSize(), 11);  // 11.25 rounded half up
  EXPECT_TRUE(g.GetStyle().Contains(fsBold));
  TFontSettings other;
  other.Assign(&fs);
  changes = 0;
  fs.Assign(&other);  // nothing differs
  EXPECT_EQ(changes, 0);
  other.SetItalic(tsTrue);
  fs.Assign(&other);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(fs.GetItalic(), tsTrue);
}

TEST(SkinToolbars, ItemsMeasureThroughTheTheme) {
  Host h;
  TSkinToolbar* t = h.AddToolbar(L"tbrTest");
  auto* plain = new TSkinSubmenuItem(h.Form.get());
  plain->SetCaption(L"Go");
  auto* split = new TSkinSubmenuItem(h.Form.get());
  split->SetCaption(L"Go");
  split->SetDropdownCombo(true);
  auto* wide = new TSkinItem(h.Form.get());
  wide->SetCaption(L"W");
  wide->SetMinWidth(90);
  auto* narrow = new TSkinItem(h.Form.get());
  narrow->SetCaption(L"Wide caption here");
  narrow->SetMinWidth(5);
  auto* sep = new TSkinSeparatorItem(h.Form.get());
  t->Items()->Add(plain);
  t->Items()->Add(split);
  t->Items()->Add(wide);
  t->Items()->Add(sep);
  t->Items()->Add(narrow);
  h.Show();
  TBarView* v = t->View();
  v->ValidatePositions();
  TBarItemViewer* pv = v->Find(plain);
  TBarItemViewer* sv = v->Find(split);
  ASSERT_TRUE(dynamic_cast<TSkinItemViewer*>(sv));
  EXPECT_EQ(Width(sv) - Width(pv), CurrentSkinTheme()->GetIntegerMetrics(10));
  // The arrow part of a split button opens the sub-menu instead of clicking.
  EXPECT_TRUE(sv->IsPtInButtonPart(2, 2));
  EXPECT_FALSE(sv->IsPtInButtonPart(Width(sv) - 2, 2));
  EXPECT_FALSE(pv->IsPtInButtonPart(2, 2));
  EXPECT_EQ(Width(v->Find(wide)), 90);
  EXPECT_GT(Width(v->Find(narrow)), 5);
  EXPECT_TRUE(dynamic_cast<TSkinSeparatorItemViewer*>(v->Find(sep)));

  // Docked: a plain toolbar view type; its items paint without raising.
  EXPECT_EQ(GetWinViewType(t), VT_TOOLBARBAR);
  EXPECT_EQ(GetViewType(v), VT_TOOLBARBAR);
  t->Invalidate();
  Pump(50);
  EXPECT_TRUE(ShownExceptions().empty());
}

TEST(SkinToolbars, EmbeddedToolbarTakesTheFormColour) {
  std::unique_ptr<TForm> f(new TForm(Application));
  f->SetBounds(60, 60, 300, 200);
  f->SetColor(0x00336699);
  auto* t = new TSkinToolbar(f.get());
  t->SetParent(f.get());
  auto* it = new TSkinItem(f.get());
  it->SetCaption(L"A");
  t->Items()->Add(it);
  f->Show();
  Pump(50);
  EXPECT_EQ(GetWinViewType(t), VT_TOOLBARBAR | VT_ITEMTRANSPARENCY);
  EXPECT_EQ(GetEffectiveColor(t), 0x00336699);
  t->SetItemTransparency(itEnable);
  EXPECT_EQ(GetWinViewType(t), VT_TOOLBARBAR);
  t->SetColor(clRed);
  EXPECT_EQ(GetEffectiveColor(t), clRed);
  // The form's background shows through where no item is.
  t->SetColor(clNone);
  t->Invalidate();
  Pump(50);
  HDC dc = GetDC(t->GetHandle());
  COLORREF px = GetPixel(dc, t->GetClientWidth() - 2, t->GetClientHeight() - 2);
  ReleaseDC(t->GetHandle(), dc);
  EXPECT_EQ(px, RGB(0x99, 0x66, 0x33));
}

namespace {
// A theme with its own toolbar colour and a dock background of its own.
class TintedTheme : public TSkinDefaultTheme {
 public:
  using TSkinDefaultTheme::TSkinDefaultTheme;
  static constexpr COLORREF Bar = RGB(10, 120, 30), DockFill = RGB(200, 10, 10);
  TColor GetViewColor(int ViewType) override {
    return (ViewType & VT_TOOLBAR) ? TColor(Bar) : TSkinDefaultTheme::GetViewColor(ViewType);
  }
  bool GetBooleanMetrics(int Index) override { return Index == 5 || TSkinDefaultTheme::GetBooleanMetrics(Index); }
  void PaintDock(TCanvas* Canvas, const RECT& AClientRect, const RECT&, int) override {
    FillRectEx(Canvas, AClientRect, TColor(DockFill));
  }
};
TSkinTheme* MakeTinted(const String& Name) { return new TintedTheme(Name); }

COLORREF PixelOf(TWinControl* C, int X, int Y) {
  HDC dc = GetDC(C->GetHandle());
  COLORREF px = GetPixel(dc, X, Y);
  ReleaseDC(C->GetHandle(), dc);
  return px;
}
}  // namespace

TEST(SkinToolbars, ThemeChangeReachesToolbarsAndDocks) {
  InitSkin();
  if (!IsSkinThemeAvailable(L"Tinted")) RegisterSkinTheme(L"Tinted", &MakeTinted);
  Host h;
  h.Form->SetColor(0x00336699);
  TSkinToolbar* t = h.AddToolbar(L"tbrA");
  auto* it = new TSkinItem(h.Form.get());
  it->SetCaption(L"A");
  t->Items()->Add(it);
  h.Show();
  EXPECT_EQ(GetEffectiveColor(h.Dock), GetEffectiveColor(h.Form.get()));
  const TColor before = GetEffectiveColor(t);
  // A point of the toolbar and one of the dock that no item covers.
  auto barPoint = [&] { return PixelOf(t, t->GetClientWidth() - 2, t->GetClientHeight() / 2); };
  auto dockPoint = [&] { return PixelOf(h.Dock, h.Dock->GetClientWidth() - 3, h.Dock->GetClientHeight() / 2); };
  SkinSetTheme(L"Tinted");
  EXPECT_TRUE(h.Dock->ThemedBackground());
  EXPECT_EQ(GetEffectiveColor(t), TColor(TintedTheme::Bar));
  // The dock paints the theme's background, under its toolbar too.
  EXPECT_TRUE(PumpUntil([&] { return barPoint() == TintedTheme::DockFill && dockPoint() == TintedTheme::DockFill; }, 5000))
      << std::hex << barPoint() << " " << dockPoint();
  SkinSetTheme(L"Default");
  EXPECT_EQ(GetEffectiveColor(t), before);
  if (!h.Dock->ThemedBackground())
    EXPECT_TRUE(PumpUntil([&] { return dockPoint() == RGB(0x99, 0x66, 0x33); }, 5000)) << std::hex << dockPoint();
  EXPECT_TRUE(ShownExceptions().empty());
}

TEST(SkinPopups, PopupWindowsAnswerAsMenusWithoutOwnShadow) {
  InitSkin();
  auto* pm = new TSkinPopupMenu(nullptr);
  std::unique_ptr<TSkinPopupMenu> own(pm);
  auto* it = new TSkinItem(pm);
  it->SetCaption(L"Item");
  pm->Items()->Add(it);
  TMessage q{BarMGetViewType, 0, 0, 0};
  SkinDispatch(pm, q);
  EXPECT_EQ(q.Result, VT_POPUPMENU);
  std::unique_ptr<TBarPopupWindow> w(pm->Items()->GetPopupWindowClass()(nullptr, nullptr, pm->Items(), false));
  auto* sw = dynamic_cast<TSkinPopupWindow*>(w.get());
  ASSERT_NE(sw, nullptr);
  EXPECT_EQ(GetWinViewType(sw), VT_POPUPMENU);
  EXPECT_EQ(sw->GetNCSize().cx, 3);
  EXPECT_TRUE(sw->GetShowShadow());
  sw->CreateShadow();  // the Default theme asks for the system's shadow only
  EXPECT_EQ(sw->Shadow(), nullptr);
  w->View->UpdatePositions();
  w->ShowPopup(true);
  Pump(50);
  EXPECT_TRUE(ShownExceptions().empty());
  w->ShowPopup(false);
}

TEST(SkinShadows, StripsLetTheMouseThroughAndSaveTheScreenBeneath) {
  InitSkin();
  auto saveBits = [](HWND W) { return (GetClassLongPtrW(W, GCL_STYLE) & CS_SAVEBITS) != 0; };
  RECT item{100, 100, 140, 120}, popup{100, 120, 300, 300};
  TShadows s(item, popup, 4, 61, false);
  EXPECT_EQ(s.Count(), 3);
  s.Show(HWND_TOPMOST);
  for (int i = 0; i < s.SlotCount(); ++i) {
    TShadow* st = s.Strip(i);
    if (!st) continue;
    EXPECT_EQ(SendMessageW(st->Handle(), WM_NCHITTEST, 0, 0), HTTRANSPARENT);
    EXPECT_TRUE(IsWindowVisible(st->Handle()));
    EXPECT_TRUE(saveBits(st->Handle()));  // the set sets it after rendering
  }
  // A lone strip saves nothing until told; told while shown, it stays
  // shown, layered and in its place.
  TVertShadow v(RECT{300, 124, 304, 300}, 61, false, 1);
  v.Render();
  v.Show(HWND_TOPMOST);
  ASSERT_NE(v.Handle(), nullptr);
  EXPECT_FALSE(saveBits(v.Handle()));
  v.SetSaveBits(true);
  ASSERT_TRUE(IsWindow(v.Handle()));
  EXPECT_TRUE(saveBits(v.Handle()));
  EXPECT_TRUE(IsWindowVisible(v.Handle()));
  RECT vr{};
  GetWindowRect(v.Handle(), &vr);
  EXPECT_EQ(vr.left, 300);
  EXPECT_EQ(vr.bottom, 300);
  EXPECT_EQ(v.Style(), ssLayered);
  EXPECT_TRUE(GetWindowLongPtrW(v.Handle(), GWL_EXSTYLE) & WS_EX_LAYERED);
  EXPECT_EQ(SendMessageW(v.Handle(), WM_NCHITTEST, 0, 0), HTTRANSPARENT);
  // Low colour: flat strips half as wide.
  TShadows lo(RECT{}, popup, 4, 61, true);
  ASSERT_EQ(lo.Count(), 2);
  EXPECT_EQ(lo.Strip(0)->Style(), ssFlat);
  RECT b = lo.Strip(0)->Bounds();
  EXPECT_EQ(b.right - b.left, 2);
}

TEST(SkinFloating, SnapsToTheWorkAreaEdges) {
  InitSkin();
  auto* fp = new TSkinFloatingWindowParent(nullptr);
  std::unique_ptr<TSkinFloatingWindowParent> own(fp);
  fp->SetBounds(200, 200, 120, 80);
  fp->HandleNeeded();
  RECT work = GetRectOfMonitorContainingWindow(fp->GetHandle(), true);
  fp->SnapDistance = 10;
  SetWindowPos(fp->GetHandle(), nullptr, work.left + 6, work.top + 300, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  RECT r;
  GetWindowRect(fp->GetHandle(), &r);
  EXPECT_EQ(r.left, work.left);
  fp->SnapDistance = 0;
  SetWindowPos(fp->GetHandle(), nullptr, work.left + 6, work.top + 300, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  GetWindowRect(fp->GetHandle(), &r);
  EXPECT_EQ(r.left, work.left + 6);
}

TEST(SkinColours, ExtendedNamesRegisteredAtStart) {
  InitSkin();
  EXPECT_EQ(SkinColorToString(0xC0DCC0), L"clMoneyGreen");
  EXPECT_EQ(SkinStringToColor(L"clCream"), 0xF0FBFF);
  TColor c = 0;
  EXPECT_TRUE(SkinIdentToColor(L"clHotLight", c));
  EXPECT_EQ(c, clSkinHotLight);
}

TEST(SkinToolbars, ReleaseOverAnItemPressedElsewhereRunsIt) {
  Host h;
  TSkinToolbar* t = h.AddToolbar(L"tbrRelease");
  auto* it = new TSkinItem(h.Form.get());
  it->SetCaption(L"Run");
  auto* sub = new TSkinSubmenuItem(h.Form.get());
  sub->SetCaption(L"Menu");
  t->Items()->Add(it);
  t->Items()->Add(sub);
  h.Show();
  TBarView* v = t->View();
  TBarItemViewer* iv = v->Find(it);
  v->SetSelected(iv);
  v->MouseOverSelected = true;
  ASSERT_FALSE(v->Capture);
  iv->MouseUp(2, 2, false);
  EXPECT_EQ(v->DoneActionData.DoneAction, tbdaClickItem);
  EXPECT_EQ(v->DoneActionData.ClickItem, it);
  // A sub-menu item released outside a button part only opens its menu.
  v->DoneActionData = TBarDoneActionData{};
  TBarItemViewer* sv = v->Find(sub);
  v->SetSelected(sv);
  v->MouseOverSelected = true;
  sv->MouseUp(2, 2, false);
  EXPECT_NE(v->DoneActionData.DoneAction, tbdaClickItem);
  v->SetSelected(nullptr);
}

namespace {
// Draws a part of the active visual style through the theme manager's own
// binding of the library, apart from the layer's.
void DrawStylePart(const wchar_t* Class, HDC DC, int Part, int State, const RECT& R) {
  ASSERT_TRUE(InitThemeLibrary());
  HTHEME h = uxtheme::OpenThemeData(nullptr, Class);
  ASSERT_NE(h, nullptr) << Class;
  uxtheme::DrawThemeBackground(h, DC, Part, State, &R, nullptr);
  uxtheme::CloseThemeData(h);
  FreeThemeLibrary();
}
}  // namespace

// With a visual style active (the skin.gui_styled run), the Default theme's
// painters take their visual-style branches: each draws something, and
// something else than with visual styles forbidden.
TEST(SkinVisualStyles, PaintersTakeTheStyledBranches) {
  InitSkin();
  if (!USE_THEMES) GTEST_SKIP() << "no visual style active";
  TSkinTheme* t = CurrentSkinTheme();
  EXPECT_GE(t->GetIntegerMetrics(10), 3);  // the split button's drop-down part, plus 2
  TSkinItemInfo I;
  I.ViewType = VT_TOOLBARBAR;
  I.ItemOptions = IO_TOOLBARSTYLE;
  I.Enabled = true;
  I.HoverKind = hkMouseHover;
  TSkinToolbarInfo tb;
  tb.AllowDrag = true;
  tb.BorderSize = POINT{2, 2};
  tb.ClientWidth = 60;
  tb.ClientHeight = 22;
  tb.DragHandleStyle = dhSingle;
  tb.CloseButtonState = 1;
  TSkinEditBtnInfo eb;
  eb.ButtonType = 1;
  struct Case {
    const char* Name;
    std::function<void(TCanvas*)> Paint;
    // The style's part and state the painter shows alone (class empty: more
    // than one part).
    const wchar_t* Class;
    int Part, State;
    RECT Rect;
  };
  const RECT R{0, 0, 64, 26};
  const std::vector<Case> cases = {
      {"button", [&](TCanvas* C) { t->PaintButton(C, R, I); }, L"TOOLBAR", TP_BUTTON, TS_HOT, R},
      {"toolbar frame", [&](TCanvas* C) { t->PaintToolbarNCArea(C, R, tb); }, nullptr, 0, 0, R},
      {"edit button", [&](TCanvas* C) { t->PaintEditButton(C, RECT{0, 0, 16, 20}, I, eb); }, nullptr, 0, 0, R},
      {"check box", [&](TCanvas* C) { t->PaintGlyph(C, RECT{0, 0, 13, 13}, 1, 1); }, L"BUTTON", BP_CHECKBOX,
       CBS_CHECKEDNORMAL, RECT{0, 0, 13, 13}},
      {"status grip", [&](TCanvas* C) { t->PaintStatusBar(C, R, 3); }, L"STATUS", SP_GRIPPER, 0, R},
  };
  const COLORREF bg = RGB(255, 0, 255);
  auto pixels = [](MemCanvas& S) {
    std::vector<COLORREF> v;
    for (int y = 0; y < S.H; ++y)
      for (int x = 0; x < S.W; ++x) v.push_back(GetPixel(S.DC, x, y));
    return v;
  };
  for (const Case& c : cases) {
    MemCanvas styled(64, 26, bg);
    c.Paint(&styled.C);
    SetSkinSysParam(2, 1);  // visual styles forbidden: the classic picture
    ASSERT_FALSE(USE_THEMES);
    MemCanvas classic(64, 26, bg);
    c.Paint(&classic.C);
    SetSkinSysParam(2, 0);
    ASSERT_TRUE(USE_THEMES);
    EXPECT_GT(styled.CountNot(bg), 0) << c.Name;
    EXPECT_NE(pixels(styled), pixels(classic)) << c.Name;
    if (c.Class) {
      // Pixel for pixel what the style itself draws for that part and state.
      MemCanvas want(64, 26, bg);
      DrawStylePart(c.Class, want.DC, c.Part, c.State, c.Rect);
      EXPECT_EQ(pixels(styled), pixels(want)) << c.Name;
    }
  }

  // Button and status-panel margins come from the style's own content
  // margins, asked of the visual-styles library here directly.
  HMODULE ux = GetModuleHandleW(L"uxtheme.dll");
  ASSERT_NE(ux, nullptr);
  using OpenFn = HANDLE(WINAPI*)(HWND, LPCWSTR);
  using CloseFn = HRESULT(WINAPI*)(HANDLE);
  using MarginsFn = HRESULT(WINAPI*)(HANDLE, HDC, int, int, int, const RECT*, MARGINS*);
  using ContentFn = HRESULT(WINAPI*)(HANDLE, HDC, int, int, const RECT*, RECT*);
  auto open = reinterpret_cast<OpenFn>(GetProcAddress(ux, "OpenThemeData"));
  auto close = reinterpret_cast<CloseFn>(GetProcAddress(ux, "CloseThemeData"));
  auto margins = reinterpret_cast<MarginsFn>(GetProcAddress(ux, "GetThemeMargins"));
  auto content = reinterpret_cast<ContentFn>(GetProcAddress(ux, "GetThemeBackgroundContentRect"));
  ASSERT_TRUE(open && close && margins && content);
  HDC dc = CreateCompatibleDC(nullptr);
  HANDLE toolbarStyle = open(nullptr, L"TOOLBAR"), sb = open(nullptr, L"STATUS");
  MARGINS want{};
  RECT whole{0, 0, 100, 100}, inner{};
  const bool haveButton = toolbarStyle && SUCCEEDED(margins(toolbarStyle, dc, 1 /*TP_BUTTON*/, 2 /*TS_HOT*/, 3603, nullptr, &want));
  const bool havePane = sb && SUCCEEDED(content(sb, dc, 1 /*SP_PANE*/, 0, &whole, &inner));
  if (toolbarStyle) close(toolbarStyle);
  if (sb) close(sb);
  DeleteDC(dc);
  TSkinMargins m;
  t->GetMargins(1, m);
  if (haveButton) {
    EXPECT_EQ(m.LeftWidth, want.cxLeftWidth);
    EXPECT_EQ(m.RightWidth, want.cxRightWidth);
    EXPECT_EQ(m.TopHeight, want.cyTopHeight);
    EXPECT_EQ(m.BottomHeight, want.cyBottomHeight);
  }
  t->GetMargins(3, m);
  if (havePane) {
    EXPECT_EQ(m.LeftWidth, inner.left);
    EXPECT_EQ(m.RightWidth, 100 - inner.right);
    EXPECT_EQ(m.TopHeight, inner.top);
    EXPECT_EQ(m.BottomHeight, 100 - inner.bottom);
  }
  EXPECT_TRUE(haveButton || havePane) << "the style answers neither margin";
  t->GetMargins(2, m);  // menu items: none, styled or not
  EXPECT_EQ(m.LeftWidth + m.RightWidth + m.TopHeight + m.BottomHeight, 0);
  SetSkinSysParam(2, 1);
  t->GetMargins(1, m);
  EXPECT_EQ(m.LeftWidth, 2);
  EXPECT_EQ(m.BottomHeight, 2);
  t->GetMargins(3, m);
  EXPECT_EQ(m.RightWidth, 3);
  SetSkinSysParam(2, 0);
}

TEST(SkinToolbars, CaptionLinesStayOnToolbarsAndJoinInMenus) {
  Host h;
  TSkinToolbar* t = h.AddToolbar(L"tbrLines");
  auto* one = new TSkinItem(h.Form.get());
  one->SetCaption(L"Top");
  auto* two = new TSkinItem(h.Form.get());
  two->SetCaption(L"Top\nLow");
  t->Items()->Add(one);
  t->Items()->Add(two);
  h.Show();
  TBarView* v = t->View();
  v->ValidatePositions();
  auto* ov = dynamic_cast<TSkinItemViewer*>(v->Find(one));
  auto* tv = dynamic_cast<TSkinItemViewer*>(v->Find(two));
  ASSERT_TRUE(ov && tv);
  MemCanvas probe(4, 4, RGB(255, 255, 255));
  probe.C.Font()->Assign(*v->GetFont());
  int line = tv->GetTextSize(&probe.C, L"Top", 0, false).cy;
  int oh = 0, ow = 0, th = 0, tw = 0;
  ov->CalcSize(&probe.C, ow, oh);
  tv->CalcSize(&probe.C, tw, th);
  EXPECT_EQ(th - oh, line);  // two lines measured on a toolbar

  // Painted, the caption's ink reaches down into the second line.
  const COLORREF bg = RGB(255, 0, 255);
  MemCanvas s(tw, th, bg);
  tv->Paint(&s.C, RECT{0, 0, tw, th}, false, false, false);
  int lowest = -1;
  for (int y = 0; y < th; ++y)
    for (int x = 0; x < tw; ++x) {
      COLORREF c = GetPixel(s.DC, x, y);
      if (c != bg && GetRValue(c) + GetGValue(c) + GetBValue(c) < 300) lowest = y;  // dark ink
    }
  EXPECT_GT(lowest, th / 2 + 1);

  // In a menu the same caption is one line.
  std::unique_ptr<TSkinSubmenuItem> parent(new TSkinSubmenuItem(nullptr));
  auto* m1 = new TSkinItem(parent.get());
  m1->SetCaption(L"Top");
  auto* m2 = new TSkinItem(parent.get());
  m2->SetCaption(L"Top\nLow");
  parent->Add(m1);
  parent->Add(m2);
  std::unique_ptr<TBarPopupWindow> w(parent->GetPopupWindowClass()(nullptr, nullptr, parent.get(), false));
  w->View->UpdatePositions();
  auto height = [&](TBarItemViewer* x) { return x->BoundsRect.bottom - x->BoundsRect.top; };
  EXPECT_EQ(height(w->View->Find(m1)), height(w->View->Find(m2)));
}

// A caption of two lines in a tall button sits in its middle, beside a
// glyph or alone.
TEST(SkinToolbars, CaptionLinesAreCentredInTallButtons) {
  Host h;
  TSkinToolbar* t = h.AddToolbar(L"tbrCentre");
  TCustomImageList il(nullptr, 16, 16);
  t->SetImages(&il);
  auto* alone = new TSkinItem(h.Form.get());
  auto* beside = new TSkinItem(h.Form.get());
  for (TSkinItem* it : {alone, beside}) {
    it->SetCaption(L"Top\nLow");
    it->SetMinHeight(72);
    t->Items()->Add(it);
  }
  beside->SetImageIndex(0);  // an empty cell: its column holds no ink
  beside->SetLayout(skinlGlyphLeft);
  beside->SetDisplayMode(nbdmImageAndText);
  h.Show();
  TBarView* v = t->View();
  v->ValidatePositions();
  MemCanvas probe(4, 4, RGB(255, 255, 255));
  probe.C.Font()->Assign(*v->GetFont());
  int lines = 0;
  for (TSkinItem* it : {alone, beside}) {
    auto* iv = dynamic_cast<TSkinItemViewer*>(v->Find(it));
    ASSERT_TRUE(iv);
    lines = iv->GetTextSize(&probe.C, it->GetCaption(), 0, false).cy;
    int w = 0, hgt = 0;
    iv->CalcSize(&probe.C, w, hgt);
    ASSERT_EQ(hgt, 72);
    const COLORREF bg = RGB(255, 0, 255);
    MemCanvas s(w, hgt, bg);
    iv->Paint(&s.C, RECT{0, 0, w, hgt}, false, false, false);
    int first = -1, last = -1;
    for (int y = 0; y < hgt; ++y)
      for (int x = 0; x < w; ++x) {
        COLORREF c = GetPixel(s.DC, x, y);
        if (c != bg && GetRValue(c) + GetGValue(c) + GetBValue(c) < 300) {
          if (first < 0) first = y;
          last = y;
        }
      }
    ASSERT_GE(first, 0);
    // Ink from both lines, as far above the middle as below it (the ink of
    // a line is not its cell, hence the slack).
    EXPECT_GT(last - first, lines / 2) << it->GetImageIndex();
    EXPECT_NEAR(hgt / 2 - first, last - hgt / 2, 4) << it->GetImageIndex();
  }
}

namespace {
// The Default theme noting whether the label caption and the separator it
// is asked to paint come from designed items.
class DesignNotingTheme : public TSkinDefaultTheme {
 public:
  using TSkinDefaultTheme::TSkinDefaultTheme;
  void PaintCaption(TCanvas* C, const RECT& R, const TSkinItemInfo& I, const String& S, UINT F, bool Rot) override {
    Captions.push_back((I.ItemOptions & IO_DESIGNING) != 0);
    TSkinDefaultTheme::PaintCaption(C, R, I, S, F, Rot);
  }
  void PaintSeparator(TCanvas* C, const RECT& R, const TSkinItemInfo& I, bool H, bool L) override {
    Separators.push_back((I.ItemOptions & IO_DESIGNING) != 0);
    TSkinDefaultTheme::PaintSeparator(C, R, I, H, L);
  }
  std::vector<bool> Captions, Separators;
};
TSkinTheme* MakeDesignNoting(const String& Name) { return new DesignNotingTheme(Name); }
}  // namespace

// A label and a separator tell the theme when they are being designed.
TEST(SkinItems, DesignedLabelsAndSeparatorsSayTheyAreDesigned) {
  InitSkin();
  if (!IsSkinThemeAvailable(L"DesignNoting")) RegisterSkinTheme(L"DesignNoting", &MakeDesignNoting);
  SkinSetTheme(L"DesignNoting");
  auto* theme = dynamic_cast<DesignNotingTheme*>(CurrentSkinTheme());
  ASSERT_NE(theme, nullptr);
  Host h;
  TSkinToolbar* t = h.AddToolbar(L"tbrLabels");
  auto* label = new TSkinLabelItem(h.Form.get());
  label->SetLabelCaption(L"Find:");
  auto* sep = new TSkinSeparatorItem(h.Form.get());
  t->Items()->Add(label);
  t->Items()->Add(sep);
  h.Show();
  t->View()->ValidatePositions();
  auto paint = [&](TBarCustomItem* It) {
    MemCanvas s(40, 24);
    t->View()->Find(It)->Paint(&s.C, RECT{0, 0, 40, 24}, false, false, false);
  };
  for (bool designing : {false, true, false}) {
    h.Form->SetDesigning(designing);
    ASSERT_EQ(label->IsDesigning(), designing);
    theme->Captions.clear();
    theme->Separators.clear();
    paint(label);
    paint(sep);
    EXPECT_EQ(theme->Captions, std::vector<bool>{designing});
    EXPECT_EQ(theme->Separators, std::vector<bool>{designing});
  }
  SkinSetTheme(L"Default");
}

// Items being designed: buttons and the chevron show a raised frame and
// edit fields a sunken one without the mouse over them; a visibility toggle
// keeps the check it was given whatever its control shows.
TEST(SkinItems, DesignedItemsShowTheirFrameAndKeepTheirCheck) {
  InitSkin();
  SetSkinSysParam(2, 1);  // the classic painter draws plain edges
  Host h;
  TComponent designer(nullptr);
  designer.SetDesigning(true);
  TSkinToolbar* t = h.AddToolbar(L"tbrDesign");
  auto* runButton = new TSkinItem(h.Form.get());
  auto* designedButton = new TSkinItem(&designer);
  auto* runEdit = new TSkinEditItem(h.Form.get());
  auto* designedEdit = new TSkinEditItem(&designer);
  ASSERT_TRUE(designedButton->IsDesigning() && designedEdit->IsDesigning());
  for (TBarCustomItem* it : std::initializer_list<TBarCustomItem*>{runButton, designedButton, runEdit, designedEdit}) {
    it->SetCaption(L"Go");
    t->Items()->Add(it);
  }
  h.Show();
  TBarView* v = t->View();
  v->ValidatePositions();
  const COLORREF bg = RGB(255, 0, 255);
  auto topEdge = [&](TBarItemViewer* iv) {
    MemCanvas s(40, 24, bg);
    iv->Paint(&s.C, RECT{0, 0, 40, 24}, false, false, false);
    return GetPixel(s.DC, 20, 0);
  };
  const COLORREF light = GetSysColor(COLOR_BTNHIGHLIGHT), dark = GetSysColor(COLOR_BTNSHADOW);
  EXPECT_EQ(topEdge(v->Find(runButton)), bg);
  EXPECT_EQ(topEdge(v->Find(designedButton)), light);
  EXPECT_EQ(topEdge(v->Find(runEdit)), bg);
  EXPECT_EQ(topEdge(v->Find(designedEdit)), dark);
  TBarCustomItem* chevron = t->ChevronItem();
  std::unique_ptr<TBarItemViewer> cv(TSkinChevronItemViewer::CreateViewer(v, chevron, 0));
  EXPECT_EQ(topEdge(cv.get()), bg);
  chevron->SetDesigning(true);
  EXPECT_EQ(topEdge(cv.get()), light);
  chevron->SetDesigning(false);
  SetSkinSysParam(2, 0);

  auto* panel = new TPanel(h.Form.get());
  panel->SetParent(h.Form.get());
  auto* toggle = new TSkinVisibilityToggleItem(&designer);
  toggle->SetControl(panel);
  EXPECT_FALSE(toggle->GetChecked());  // not taken from the shown panel
  toggle->SetChecked(true);
  panel->SetVisible(false);
  toggle->InitiateAction();
  EXPECT_TRUE(toggle->GetChecked());
  toggle->SetControl(nullptr);
  toggle->SetControl(panel);
  EXPECT_TRUE(toggle->GetChecked());
}

TEST(SkinToolbars, SubmenuItemsShowOpenWhilePushedOnTheirArrow) {
  Host h;
  TSkinToolbar* t = h.AddToolbar(L"tbrOpen");
  auto* plain = new TSkinItem(h.Form.get());
  plain->SetCaption(L"P");
  auto* sub = new TSkinSubmenuItem(h.Form.get());
  sub->SetCaption(L"S");
  auto* split = new TSkinSubmenuItem(h.Form.get());
  split->SetCaption(L"C");
  split->SetDropdownCombo(true);
  t->Items()->Add(plain);
  t->Items()->Add(sub);
  t->Items()->Add(split);
  h.Show();
  TBarView* v = t->View();
  v->ValidatePositions();
  auto info = [&](TBarCustomItem* it, bool pushed) {
    TSkinItemInfo I;
    dynamic_cast<TSkinItemViewer*>(v->Find(it))->FillItemInfo(I, pushed);
    return I.IsPopupParent;
  };
  EXPECT_FALSE(info(plain, true));  // a plain button has nothing to open
  EXPECT_TRUE(info(sub, true));
  EXPECT_FALSE(info(sub, false));
  EXPECT_TRUE(info(split, true));  // pushed, no capture: the arrow
  v->Capture = true;               // pushed on the button part
  EXPECT_FALSE(info(split, true));
  v->Capture = false;
  // The item whose sub-menu the view holds open counts whatever its style.
  v->OpenViewer = v->Find(plain);
  EXPECT_TRUE(info(plain, true));
  v->OpenViewer = nullptr;
}

// A split item pushed on its arrow paints its caption pushed, one pixel down
// and to the right, like an item pushed on its button part.
TEST(SkinToolbars, SplitItemPushedOnItsArrowShiftsItsCaption) {
  Host h;
  TSkinToolbar* t = h.AddToolbar(L"tbrSplitInk");
  auto* split = new TSkinSubmenuItem(h.Form.get());
  split->SetCaption(L"HH");
  split->SetDropdownCombo(true);
  const COLORREF ink = RGB(200, 0, 0);
  split->FontSettings()->SetColor(TColor(ink));
  t->Items()->Add(split);
  h.Show();
  TBarView* v = t->View();
  v->ValidatePositions();
  auto* sv = dynamic_cast<TSkinItemViewer*>(v->Find(split));
  ASSERT_NE(sv, nullptr);
  const RECT b = sv->BoundsRect;
  const int W = b.right - b.left, H = b.bottom - b.top;
  // The top-left corner of the caption's ink.
  auto inkCorner = [&](bool Pushed, bool Capture) {
    MemCanvas c(W, H, RGB(255, 255, 255));
    v->Capture = Capture;
    sv->Paint(&c.C, RECT{0, 0, W, H}, false, Pushed, false);
    v->Capture = false;
    POINT p{W, H};
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x)
        if (c.At(x, y) == ink) p.x = std::min<LONG>(p.x, x), p.y = std::min<LONG>(p.y, y);
    return p;
  };
  const POINT up = inkCorner(false, false), onArrow = inkCorner(true, false), onButton = inkCorner(true, true);
  ASSERT_LT(up.x, W) << "no caption painted";
  EXPECT_EQ(onArrow.x, up.x + 1);
  EXPECT_EQ(onArrow.y, up.y + 1);
  EXPECT_EQ(onButton.x, up.x + 1);
  EXPECT_EQ(onButton.y, up.y + 1);
}

namespace {
// Notes the close-button state of every docked frame it paints, by view type.
std::vector<std::pair<int, int>> g_closeStates;
class CloseNotingTheme : public TintedTheme {
 public:
  using TintedTheme::TintedTheme;
  bool GetBooleanMetrics(int Index) override { return TSkinDefaultTheme::GetBooleanMetrics(Index); }
  void PaintToolbarNCArea(TCanvas* Canvas, const RECT& R, const TSkinToolbarInfo& I) override {
    g_closeStates.push_back({I.ViewType, I.CloseButtonState});
    TintedTheme::PaintToolbarNCArea(Canvas, R, I);
  }
};
TSkinTheme* MakeCloseNoting(const String& Name) { return new CloseNotingTheme(Name); }

// Holds the docked close button of W down and lets it go away from it; the
// states its frame was painted with meanwhile.
std::vector<int> CloseStatesWhilePressed(TBarCustomDockableWindow* W, int ViewType) {
  RECT wr, b = W->GetDockedCloseButtonRect(false);
  GetWindowRect(W->GetHandle(), &wr);
  const POINT on{wr.left + (b.left + b.right) / 2, wr.top + (b.top + b.bottom) / 2};
  const POINT off{wr.left + 60, wr.bottom + 40};
  MoveMouse(on);
  PumpUntil([&] { return !g_closeStates.empty(); }, 2000);
  g_closeStates.clear();
  RunInput([&] {
    InputScript().Down().Wait(80).Move(off).Wait(80).Up().Post();
  });
  Pump(30);
  std::vector<int> v;
  for (auto& s : g_closeStates)
    if (s.first == ViewType) v.push_back(s.second);
  return v;
}
}  // namespace

// A tool window answers as one, shows its close button both pushed and hot
// at once, hands its colour to every control put on it, and keeps its client
// size when the theme changes.
TEST(SkinToolWindows, ViewTypeCloseStateChildColourAndSize) {
  InitSkin();
  if (!IsSkinThemeAvailable(L"CloseNoting")) RegisterSkinTheme(L"CloseNoting", &MakeCloseNoting);
  Host h;
  auto* w = new TSkinToolWindow(h.Form.get());
  w->SetName(L"twTools");
  w->SetCloseButtonWhenDocked(true);
  w->SetParent(h.Dock);
  w->SetClientAreaSize(90, 40);
  TSkinToolbar* t = h.AddToolbar(L"tbrBeside");
  t->SetCloseButtonWhenDocked(true);
  auto* it = new TSkinItem(h.Form.get());
  it->SetCaption(L"Item");
  t->Items()->Add(it);
  h.Show();
  EXPECT_EQ(GetWinViewType(w), 0x1004);
  EXPECT_EQ(GetWinViewType(t), 0x1001);

  SkinSetTheme(L"CloseNoting");
  Pump(30);
  EXPECT_EQ(w->GetClientAreaWidth(), 90);
  EXPECT_EQ(w->GetClientAreaHeight(), 40);
  EXPECT_EQ(GetEffectiveColor(w), TColor(TintedTheme::Bar));
  // A control put on it while its Color is clNone takes its colour at once.
  auto* p = new TPanel(h.Form.get());
  p->SetParentColor(true);
  p->SetBounds(0, 0, 20, 20);
  p->SetParent(w);
  EXPECT_EQ(p->GetColor(), TColor(TintedTheme::Bar));
  // Deeper in, a control takes the colour of the control it is put on.
  auto* own = new TPanel(h.Form.get());
  own->SetColor(clRed);
  own->SetBounds(30, 0, 20, 20);
  own->SetParent(w);
  auto* in = new TPanel(h.Form.get());
  in->SetParentColor(true);
  in->SetParent(own);
  EXPECT_EQ(in->GetColor(), clRed);

  // Pushed and hot together: 4 and 2 both for the tool window, only 4 for
  // the toolbar.
  const std::vector<int> ws = CloseStatesWhilePressed(w, 0x1004);
  EXPECT_NE(std::find(ws.begin(), ws.end(), 1 | 4 | 2), ws.end()) << ::testing::PrintToString(ws);
  const std::vector<int> ts = CloseStatesWhilePressed(t, 0x1001);
  EXPECT_NE(std::find(ts.begin(), ts.end(), 1 | 4), ts.end()) << ::testing::PrintToString(ts);
  EXPECT_EQ(std::find(ts.begin(), ts.end(), 1 | 4 | 2), ts.end()) << ::testing::PrintToString(ts);
  EXPECT_TRUE(w->GetVisible());  // released away from the button: not closed

  // Back to Default: the child follows, the client size stays.
  SkinSetTheme(L"Default");
  EXPECT_EQ(p->GetColor(), GetEffectiveColor(w));
  EXPECT_NE(p->GetColor(), TColor(TintedTheme::Bar));
  EXPECT_EQ(w->GetClientAreaWidth(), 90);
  EXPECT_EQ(w->GetClientAreaHeight(), 40);
  ParkPointer();
}

namespace {
int g_uxLoads = 0, g_uxFrees = 0;
HMODULE g_uxFreed = nullptr;
}  // namespace

// The layer binds the visual-styles library by itself: freeing its binding
// unloads its own hold and nulls its pointers, while the theme manager's
// binding of the same library stays as it was.
TEST(SkinVisualStylesBinding, FreeingTheLayersBindingLeavesTheThemeManagersAlone) {
  InitSkin();
  const bool styled = USE_THEMES;
  const bool managerHas = InitThemeLibrary();
  g_uxLoads = g_uxFrees = 0;
  FreeXPThemes();  // what the layer held goes through the system's FreeLibrary
  const TXPThemesLoader old = SetXPThemesLoader(
      {[]() -> HMODULE {
         ++g_uxLoads;
         return ::LoadLibraryW(L"uxtheme.dll");
       },
       [](HMODULE M) {
         ++g_uxFrees;
         g_uxFreed = M;
         ::FreeLibrary(M);
       }});
  ASSERT_TRUE(InitXPThemes());
  ASSERT_TRUE(InitXPThemes());
  EXPECT_EQ(g_uxLoads, 1);  // a loaded library is not loaded again
  const HMODULE m = XPThemesModule();
  ASSERT_NE(m, nullptr);
  EXPECT_NE(skinux::OpenThemeData, nullptr);
  EXPECT_NE(skinux::IsThemeActive, nullptr);

  FreeXPThemes();
  EXPECT_EQ(g_uxFrees, 1);
  EXPECT_EQ(g_uxFreed, m);
  EXPECT_EQ(XPThemesModule(), nullptr);
  EXPECT_FALSE(CanUseXPThemes());
  for (int i = 0; i < skinux::FunctionCount; ++i) EXPECT_EQ(skinux::Pointers()[i], nullptr) << i;
  FreeXPThemes();
  EXPECT_EQ(g_uxFrees, 1);
  if (managerHas) {
    EXPECT_TRUE(ThemeLibraryLoaded());
    ASSERT_NE(uxtheme::IsThemeActive, nullptr);
    uxtheme::IsThemeActive();  // still callable: the manager's hold keeps the library
  }
  FreeThemeLibrary();

  // The layer binds again when it recomputes its state.
  SetXPThemesLoader(old);
  SetSkinSysParam(2, 1);
  SetSkinSysParam(2, 0);
  EXPECT_EQ(USE_THEMES, styled);
  if (styled) EXPECT_NE(XPThemesModule(), nullptr);
}

// The manager's hidden window recomputes the layer's state on the system's
// colour, display and theme broadcasts and relays them in three steps; an
// application (de)activation goes out once as 4 or 5.
TEST(SkinRegistry, UtilityWindowRecomputesAndRelaysSystemBroadcasts) {
  InitSkin();
  Listener l;
  AddThemeNotification(&l);
  HWND w = SkinSysChangeWindow();
  ASSERT_TRUE(IsWindow(w));
  const TColor toolbar = clToolbar;
  for (UINT msg : {UINT(WM_SYSCOLORCHANGE), UINT(WM_DISPLAYCHANGE), UINT(WM_THEMECHANGED)}) {
    l.Got.clear();
    clToolbar = 0x123456;
    SendMessageW(w, msg, 0, 0);
    EXPECT_EQ(clToolbar, toolbar) << msg;
    ASSERT_EQ(l.Got.size(), 3u) << msg;
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(l.Got[i].Msg, BarMThemeChange);
      EXPECT_EQ(l.Got[i].W, WPARAM(i + 1));
      EXPECT_EQ(l.Got[i].L, 0);
    }
  }
  for (BOOL active : {FALSE, TRUE}) {
    l.Got.clear();
    SendMessageW(w, WM_ACTIVATEAPP, active, 0);
    ASSERT_EQ(l.Got.size(), 1u);
    EXPECT_EQ(l.Got[0].W, active ? 4u : 5u);
  }
  RemoveThemeNotification(&l);
}

// A menu bar repaints when the application is (de)activated, a plain
// toolbar does not; a toolbar hands its colour to its controls, at their
// insertion and at every theme change.
TEST(SkinToolbars, MenuBarRepaintsOnActivationAndControlsTakeTheColour) {
  InitSkin();
  if (!IsSkinThemeAvailable(L"Tinted")) RegisterSkinTheme(L"Tinted", &MakeTinted);
  Host h;
  TSkinToolbar* menu = h.AddToolbar(L"tbrMenuBar");
  menu->SetMenuBar(true);
  auto* file = new TSkinSubmenuItem(h.Form.get());
  file->SetCaption(L"&File");
  menu->Items()->Add(file);
  TSkinToolbar* bar = h.AddToolbar(L"tbrPlainBar");
  auto* it = new TSkinItem(h.Form.get());
  it->SetCaption(L"Go");
  bar->Items()->Add(it);
  auto* p = new TPanel(h.Form.get());
  p->SetParentColor(true);
  p->SetBounds(60, 0, 20, 16);
  p->SetParent(bar);
  h.Show();
  EXPECT_EQ(p->GetColor(), GetEffectiveColor(bar));
  auto pending = [](TWinControl* c) {
    RECT r;
    return GetUpdateRect(c->GetHandle(), &r, FALSE) != FALSE;
  };
  for (BOOL active : {FALSE, TRUE}) {
    UpdateWindow(menu->GetHandle());
    UpdateWindow(bar->GetHandle());
    ASSERT_FALSE(pending(menu));
    ASSERT_FALSE(pending(bar));
    SendMessageW(SkinSysChangeWindow(), WM_ACTIVATEAPP, active, 0);
    EXPECT_TRUE(pending(menu)) << active;
    EXPECT_FALSE(pending(bar)) << active;
  }
  SkinSetTheme(L"Tinted");
  EXPECT_EQ(p->GetColor(), TColor(TintedTheme::Bar));
  SkinSetTheme(L"Default");
  EXPECT_EQ(p->GetColor(), GetEffectiveColor(bar));
}

// Styled, a designed button shows the outline of its hot shape in the
// button-shadow colour over the normal picture, filled with the toolbar's
// colour only on a transparent toolbar; a designed edit frame shows the
// combo-box frame of the style.
TEST(SkinVisualStyles, DesignedButtonsAndFramesShowTheirOutline) {
  InitSkin();
  if (!USE_THEMES) GTEST_SKIP() << "no visual style active";
  TSkinTheme* t = CurrentSkinTheme();
  const COLORREF bg = RGB(255, 0, 255);
  const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW), fill = ColorToRef(t->GetViewColor(VT_TOOLBARBAR));
  const RECT R{0, 0, 40, 24};
  TSkinItemInfo I;
  I.ViewType = VT_TOOLBARBAR;
  I.ItemOptions = IO_TOOLBARSTYLE;
  I.Enabled = true;
  MemCanvas plain(40, 24, bg);
  t->PaintButton(&plain.C, R, I);
  I.ItemOptions |= IO_DESIGNING;
  MemCanvas designed(40, 24, bg);
  t->PaintButton(&designed.C, R, I);
  I.ViewType |= VT_ITEMTRANSPARENCY;
  MemCanvas transparent(40, 24, bg);
  t->PaintButton(&transparent.C, R, I);
  int outline = 0, filled = 0, filledOnGlass = 0, open = 0;
  for (int y = 0; y < 24; ++y)
    for (int x = 0; x < 40; ++x) {
      if (plain.At(x, y) != bg) continue;  // the normal picture covers it
      ++open;
      outline += designed.At(x, y) == shadow;
      filled += designed.At(x, y) == fill;
      filledOnGlass += transparent.At(x, y) == fill;
    }
  ASSERT_GT(open, 0) << "the style's normal button covers everything";
  EXPECT_GT(outline, 0);
  EXPECT_EQ(filled, 0);
  EXPECT_GT(filledOnGlass, 0);

  // The edit frame: the combo-box part only when designed (or active).
  TSkinItemInfo E;
  E.ViewType = VT_TOOLBARBAR;
  E.ItemOptions = IO_TOOLBARSTYLE;
  E.Enabled = true;
  MemCanvas frame(40, 24, bg), designedFrame(40, 24, bg), combo(40, 24, bg);
  t->PaintFrame(&frame.C, R, E);
  E.ItemOptions |= IO_DESIGNING;
  t->PaintFrame(&designedFrame.C, R, E);
  DrawStylePart(L"COMBOBOX", combo.DC, 0, 0, R);
  EXPECT_EQ(frame.At(0, 0), bg);
  EXPECT_EQ(frame.At(1, 1), fill);
  EXPECT_EQ(frame.At(2, 2), ColorToRef(clWindow));
  EXPECT_EQ(designedFrame.At(2, 2), ColorToRef(clWindow));
  for (int x = 0; x < 40; ++x) {
    EXPECT_EQ(designedFrame.At(x, 0), combo.At(x, 0)) << x;
    EXPECT_EQ(designedFrame.At(x, 23), combo.At(x, 23)) << x;
  }
}
