// Themed floating toolbars, own pop-up shadows and the item record the
// viewers hand to the theme.
#include <gtest/gtest.h>

#include <memory>
#include <set>

#include "classlib/ComCtrls.h"
#include "classlib/Forms.h"
#include "classlib/ImgList.h"
#include "testsupport/Gui.h"
#include "testsupport/MemCanvas.h"
#include "testsupport/Pump.h"
#include "toolbars/skin/SkinDefaultTheme.h"
#include "toolbars/skin/SkinEditItems.h"
#include "toolbars/skin/SkinExtItems.h"
#include "toolbars/skin/SkinUxThemes.h"
#include "toolbars/skin/SkinWindows.h"
#include "toolbars/skin/tests/WindowPixels.h"

using namespace testsupport;

namespace {
// The Default theme with the layer's own shadow joined to the opening item.
class ShadowTheme : public TSkinDefaultTheme {
 public:
  using TSkinDefaultTheme::TSkinDefaultTheme;
  int GetPopupShadowType() override { return 2; }
};
TSkinTheme* MakeShadowTheme(const String& Name) { return new ShadowTheme(Name); }

struct WinHost {
  std::unique_ptr<TForm> Form;
  TSkinDock* Dock;
  TSkinToolbar* Bar;
  WinHost() {
    Form.reset(new TForm(Application));
    Form->SetBounds(80, 80, 500, 300);
    Dock = new TSkinDock(Form.get());
    Dock->SetName(L"tbdTop");
    Dock->SetParent(Form.get());
    Bar = new TSkinToolbar(Form.get());
    Bar->SetName(L"tbrWin");
    Bar->SetCaption(L"Tools");
    Bar->SetParent(Dock);
  }
  void Show() {
    Form->Show();
    Pump(50);
    Bar->View()->ValidatePositions();
  }
};
}  // namespace

TEST(SkinFloatingToolbar, FloatsInAThemedFormWithSizeFrameBorders) {
  WinHost h;
  auto* it = new TSkinItem(h.Form.get());
  it->SetCaption(L"Item");
  h.Bar->Items()->Add(it);
  h.Bar->SetSnapDistance(-5);
  EXPECT_EQ(h.Bar->GetSnapDistance(), 0);
  h.Bar->SetSnapDistance(12);
  h.Show();
  h.Bar->SetFloating(true);
  Pump(50);
  ASSERT_TRUE(h.Bar->GetFloating());
  auto* fp = dynamic_cast<TSkinFloatingWindowParent*>(h.Bar->GetFloatingParent());
  ASSERT_NE(fp, nullptr);
  EXPECT_EQ(fp->SnapDistance, 12);
  int vt = GetWinViewType(h.Bar);
  EXPECT_EQ(vt & (VT_FLOATING | VT_RESIZABLE), VT_FLOATING | VT_RESIZABLE);
  EXPECT_EQ(vt & VT_ITEMTRANSPARENCY, 0);  // floating is not embedded
  POINT b = h.Bar->GetFloatingBorderSize();
  EXPECT_EQ(b.x, GetSystemMetrics(SM_CXSIZEFRAME));
  h.Bar->Resizable = false;
  b = h.Bar->GetFloatingBorderSize();
  EXPECT_EQ(b.y, GetSystemMetrics(SM_CYFIXEDFRAME));
  h.Bar->Resizable = true;
  // Floating views get the theme's floating margins.
  TBarMargins m;
  h.Bar->View()->GetMargins(tbvoFloating, m);
  EXPECT_EQ(m.Left, 4);
  EXPECT_EQ(m.Bottom, 1);
  h.Bar->View()->GetMargins(tbvoHorizontal, m);
  EXPECT_EQ(m.Left, 0);
  // The close button lights up under the mouse and goes dark when it leaves.
  SendMessageW(fp->GetHandle(), WM_NCMOUSEMOVE, HTBARCLOSE, 0);
  EXPECT_TRUE(fp->CloseButtonHot());
  SendMessageW(fp->GetHandle(), WM_NCMOUSEMOVE, HTBARCAPTION, 0);
  EXPECT_FALSE(fp->CloseButtonHot());
  SendMessageW(fp->GetHandle(), WM_NCMOUSEMOVE, HTBARCLOSE, 0);
  SendMessageW(fp->GetHandle(), WM_MOUSELEAVE, 0, 0);
  EXPECT_FALSE(fp->CloseButtonHot());
  RedrawWindow(fp->GetHandle(), nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW);
  Pump(30);
  EXPECT_TRUE(ShownExceptions().empty());
  // On screen: a caption strip in a caption colour (classic) and a close
  // button with its glyph.
  RECT cap = fp->GetCaptionRect(), close = fp->GetCloseButtonRect();
  ASSERT_GT(cap.right - cap.left, 20);
  HDC wdc = GetWindowDC(fp->GetHandle());
  std::set<COLORREF> inClose;
  for (int y = close.top + 2; y < close.bottom - 2; ++y)
    for (int x = close.left + 2; x < close.right - 2; ++x) inClose.insert(GetPixel(wdc, x, y));
  COLORREF capPx = GetPixel(wdc, cap.left + 2, (cap.top + cap.bottom) / 2);
  ReleaseDC(fp->GetHandle(), wdc);
  EXPECT_GE(inClose.size(), 2u);  // a glyph on a face
  if (!USE_THEMES) {
    std::set<COLORREF> captionColours;
    for (int i : {COLOR_ACTIVECAPTION, COLOR_INACTIVECAPTION, COLOR_GRADIENTACTIVECAPTION, COLOR_GRADIENTINACTIVECAPTION})
      captionColours.insert(GetSysColor(i));
    EXPECT_TRUE(captionColours.count(capPx)) << std::hex << capPx;
    EXPECT_TRUE(inClose.count(GetSysColor(COLOR_BTNTEXT)));
  }
  h.Bar->SetFloating(false);
  Pump(30);
}

// A separator where a toolbar's items wrap is a line across the toolbar,
// 4 pixels from its ends on a dock and 1 on a floating toolbar.
TEST(SkinFloatingToolbar, LineSeparatorsRunCloserToTheEdgesThanOnADock) {
  WinHost h;
  SetSkinSysParam(2, 1);  // the classic painter
  h.Bar->SetShrinkMode(tbsmWrap);
  auto* first = new TSkinItem(h.Form.get());
  first->SetCaption(L"A first item of some width");
  auto* sep = new TSkinSeparatorItem(h.Form.get());
  auto* second = new TSkinItem(h.Form.get());
  second->SetCaption(L"A second item of some width");
  h.Bar->Items()->Add(first);
  h.Bar->Items()->Add(sep);
  h.Bar->Items()->Add(second);
  h.Show();
  TBarView* v = h.Bar->View();
  const int one = v->Find(first)->BoundsRect.right - v->Find(first)->BoundsRect.left;
  // Room for either item, not for both.
  h.Form->SetClientWidth(one + 60);
  h.Bar->SetFloatingWidth(one + 20);
  // Where the line starts in the separator, counted from its left end.
  auto lineStart = [&] {
    Pump(30);
    v->ValidatePositions();
    TBarItemViewer* sv = v->Find(sep);
    EXPECT_TRUE(sv->State.Contains(tbisLineSep));
    const RECT r = sv->BoundsRect;
    std::vector<int> cols =
        skintest::WindowPixels(h.Bar->GetHandle())->ColumnsOf(r.top + (r.bottom - r.top) / 2 - 1, ColorToRef(clBtnShadow));
    while (!cols.empty() && cols.front() < r.left) cols.erase(cols.begin());
    return cols.empty() ? -1 : cols.front() - r.left;
  };
  EXPECT_EQ(lineStart(), 4);
  h.Bar->SetFloating(true);
  ASSERT_TRUE(h.Bar->GetFloating());
  EXPECT_EQ(lineStart(), 1);
  h.Bar->SetFloating(false);
  Pump(30);
  SetSkinSysParam(2, 0);
}

namespace {
struct MySkinView : TSkinToolbarView {
  using TSkinToolbarView::TSkinToolbarView;
};
struct MySkinToolbar : TSkinToolbar {
  using TSkinToolbar::TSkinToolbar;
  TBarToolbarViewClass GetViewClass() override {
    return &BarClassOf<TBarToolbarView, MySkinView, TBarCustomToolbar*, TBarCustomItem*, bool>;
  }
};
}  // namespace

// The themed toolbar and menu make themed parts, and a class derived from
// them still chooses its own (the themed constructor makes no part early).
TEST(SkinClassReferences, ThemedPartsAndADerivedToolbarsOwnView) {
  WinHost h;
  EXPECT_NE(dynamic_cast<TSkinRootItem*>(h.Bar->Items()), nullptr);
  EXPECT_NE(dynamic_cast<TSkinChevronItem*>(h.Bar->ChevronItem()), nullptr);
  EXPECT_NE(dynamic_cast<TSkinToolbarView*>(h.Bar->View()), nullptr);
  auto* mine = new MySkinToolbar(h.Form.get());
  mine->SetName(L"tbrMine");
  mine->SetParent(h.Dock);
  h.Show();
  EXPECT_NE(dynamic_cast<MySkinView*>(mine->View()), nullptr);
  EXPECT_NE(dynamic_cast<TSkinChevronItem*>(mine->ChevronItem()), nullptr);
  EXPECT_EQ(mine->View()->BackgroundColor, clNone);  // a themed toolbar has no colour of its own
  TSkinPopupMenu pm(nullptr);
  EXPECT_NE(dynamic_cast<TSkinRootItem*>(pm.Items()), nullptr);
}

TEST(SkinPopupShadows, OwnShadowJoinsTheToolbarButtonAndFollowsThePopup) {
  InitSkin();
  if (!IsSkinThemeAvailable(L"Shadowed")) RegisterSkinTheme(L"Shadowed", &MakeShadowTheme);
  SkinSetTheme(L"Shadowed");
  {
    WinHost h;
    auto* sub = new TSkinSubmenuItem(h.Form.get());
    sub->SetCaption(L"Menu");
    auto* child = new TSkinItem(h.Form.get());
    child->SetCaption(L"A rather long entry");
    sub->Add(child);
    h.Bar->Items()->Add(sub);
    h.Show();
    TBarView* v = h.Bar->View();
    TBarItemViewer* sv = v->Find(sub);
    POINT none{0, 0};
    std::unique_ptr<TBarPopupWindow> w(sub->CreatePopup(v, sv, false, false, false, none, tbpaLeft));
    auto* sw = dynamic_cast<TSkinPopupWindow*>(w.get());
    ASSERT_NE(sw, nullptr);
    // Shown without animation under Xvfb, or at the end of it: then the shadow.
    PumpUntil([&] { return sw->Shadow() != nullptr; }, 2000);
    ASSERT_NE(sw->Shadow(), nullptr);
    // The pop-up hangs below a narrower button: strips right of the button
    // and right of and under the pop-up, none under the button.
    EXPECT_EQ(sw->Shadow()->Count(), 3);
    RECT r;
    GetWindowRect(sw->GetHandle(), &r);
    SetWindowPos(sw->GetHandle(), nullptr, r.left + 10, r.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ASSERT_NE(sw->Shadow(), nullptr);  // made again at the new place
    bool followed = false;
    for (int i = 0; i < sw->Shadow()->SlotCount(); ++i)
      if (TShadow* s = sw->Shadow()->Strip(i))
        if (s->Vertical() && s->Bounds().left == r.right + 10) followed = true;
    EXPECT_TRUE(followed);
    sw->ShowPopup(false);
    EXPECT_EQ(sw->Shadow(), nullptr);  // hiding drops it
    v->OpenViewer = nullptr;
    v->OpenViewerView = nullptr;
    v->OpenViewerWindow = nullptr;
  }
  SkinSetTheme(L"Default");
}

TEST(SkinItemInfo, HoverKindsAndMenuSizes) {
  WinHost h;
  auto* on = new TSkinItem(h.Form.get());
  on->SetCaption(L"On");
  auto* off = new TSkinItem(h.Form.get());
  off->SetCaption(L"Off");
  off->SetEnabled(false);
  off->SetChecked(true);
  h.Bar->Items()->Add(on);
  h.Bar->Items()->Add(off);
  h.Show();
  TBarView* v = h.Bar->View();
  auto* von = dynamic_cast<TSkinItemViewer*>(v->Find(on));
  auto* voff = dynamic_cast<TSkinItemViewer*>(v->Find(off));
  ASSERT_TRUE(von && voff);
  TSkinItemInfo I;
  v->SetSelected(von);
  von->FillItemInfo(I, false);
  EXPECT_EQ(I.HoverKind, hkMouseHover);
  EXPECT_EQ(I.ItemOptions & IO_TOOLBARSTYLE, IO_TOOLBARSTYLE);
  EXPECT_EQ(I.ViewType, static_cast<uint32_t>(VT_TOOLBARBAR));
  v->SetSelected(voff);
  v->MouseOverSelected = false;
  voff->FillItemInfo(I, true);
  EXPECT_EQ(I.HoverKind, hkKeyboardHover);  // reached by the keyboard
  EXPECT_FALSE(I.Enabled);
  EXPECT_TRUE(I.Selected);
  EXPECT_TRUE(I.Pushed);
  EXPECT_EQ(GetStateFlags(I), ISF_DISABLED | ISF_PUSHED | ISF_SELECTED);
  v->MouseOverSelected = true;
  voff->FillItemInfo(I, false);
  EXPECT_EQ(I.HoverKind, hkNone);
  v->SetSelected(nullptr);

  // In a menu a shortcut widens the row by its text and (row height - 6).
  auto* parent = new TSkinSubmenuItem(h.Form.get());
  auto* plain = new TSkinItem(h.Form.get());
  plain->SetCaption(L"Open");
  auto* shortcut = new TSkinItem(h.Form.get());
  shortcut->SetCaption(L"Open");
  shortcut->SetShortCut(ShortCut('O', TShiftState{ssCtrl}));
  parent->Add(plain);
  parent->Add(shortcut);
  std::unique_ptr<TBarPopupWindow> w(parent->GetPopupWindowClass()(nullptr, nullptr, parent, false));
  TCanvas* c = w->Canvas();
  int w1 = 0, h1 = 0, w2 = 0, h2 = 0;
  w->View->UpdatePositions();
  w->View->Find(plain)->CalcSize(c, w1, h1);
  w->View->Find(shortcut)->CalcSize(c, w2, h2);
  EXPECT_EQ(h1, h2);
  int scw = c->TextWidth(shortcut->GetShortCutText());
  EXPECT_NEAR(w2 - w1, scw + (h2 - 6), 2);
  EXPECT_GE(h1, 2 * CurrentSkinTheme()->GetIntegerMetrics(30) + 16);  // room for a 16-pixel image
}

namespace {
// An item of class T with a caption.
template <class T>
T* Captioned(TComponent* Owner, const String& Caption) {
  auto* it = new T(Owner);
  it->SetCaption(Caption);
  return it;
}
// What a pop-up window shows, frame included.
std::unique_ptr<MemCanvas> Printed(TBarPopupWindow* W) {
  RECT r;
  GetWindowRect(W->GetHandle(), &r);
  auto s = std::make_unique<MemCanvas>(r.right - r.left, r.bottom - r.top);
  SendMessageW(W->GetHandle(), WM_PRINT, reinterpret_cast<WPARAM>(s->DC),
               PRF_NONCLIENT | PRF_CLIENT | PRF_ERASEBKGND);
  return s;
}
// The columns of a window print in the rows of R (client coordinates,
// frame NC around it) that have the colour.
std::vector<int> ColumnsIn(const MemCanvas& S, RECT R, int NC, COLORREF C) {
  std::vector<int> cols;
  for (int x = R.left; x < R.right; ++x)
    for (int y = R.top; y < R.bottom; ++y)
      if (S.At(x + NC, y + NC) == C) {
        cols.push_back(x);
        break;
      }
  return cols;
}
}  // namespace

// A themed submenu item with GridPopup opens a grid of buttons: its items
// measure and paint as toolbar buttons (a hot one is no highlighted menu
// row, a colour item's caption stands in the middle), one to a row and as
// wide as the widest, on the toolbar's colour inside a frame of that colour.
TEST(SkinGridPopup, ItemsAreToolbarButtonsOneToARow) {
  WinHost h;
  auto* sub = Captioned<TSkinSubmenuItem>(h.Form.get(), L"Colours");
  sub->GridPopup = true;
  auto* red = Captioned<TSkinColorItem>(h.Form.get(), L"Red");
  red->SetColor(clRed);
  auto* wide = Captioned<TSkinItem>(h.Form.get(), L"A much wider entry than the others");
  auto* label = Captioned<TSkinLabelItem>(h.Form.get(), L"Label");
  auto* edit = new TSkinEditItem(h.Form.get());
  edit->SetText(L"12");
  for (TBarCustomItem* it : std::initializer_list<TBarCustomItem*>{red, wide, label, edit}) sub->Add(it);
  // Twins of the colour and the plain item on the toolbar itself.
  auto* redOnBar = Captioned<TSkinColorItem>(h.Form.get(), L"Red");
  auto* wideOnBar = Captioned<TSkinItem>(h.Form.get(), wide->GetCaption());
  h.Bar->Items()->Add(sub);
  h.Bar->Items()->Add(redOnBar);
  h.Bar->Items()->Add(wideOnBar);
  h.Show();
  TBarView* v = h.Bar->View();
  const POINT none{0, 0};
  const bool classic = !USE_THEMES;
  const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT), text = GetSysColor(COLOR_BTNTEXT);
  auto open = [&] {
    return std::unique_ptr<TBarPopupWindow>(sub->CreatePopup(v, v->Find(sub), false, false, false, none, tbpaLeft));
  };
  auto close = [&](std::unique_ptr<TBarPopupWindow>& W) {
    v->OpenViewer = nullptr;
    v->OpenViewerView = nullptr;
    v->OpenViewerWindow = nullptr;
    W.reset();
  };
  int redCentreInMenu = 0, redRowCentreInMenu = 0;
  {
    // As a plain menu first: menu rows, a hot row highlighted.
    sub->GridPopup = false;
    auto w = open();
    TBarView* pv = w->View;
    EXPECT_EQ(GetViewType(pv), VT_POPUPMENU);
    EXPECT_FALSE(pv->Find(red)->IsToolbarStyle());
    EXPECT_FALSE(pv->Find(label)->IsToolbarSize());
    EXPECT_FALSE(pv->Find(edit)->IsToolbarStyle());
    pv->SetSelected(pv->Find(red));
    auto s = Printed(w.get());
    const RECT r = pv->Find(red)->BoundsRect;
    if (classic) {
      EXPECT_FALSE(ColumnsIn(*s, r, 3, highlight).empty());
      std::vector<int> t = ColumnsIn(*s, r, 3, GetSysColor(COLOR_HIGHLIGHTTEXT));
      ASSERT_FALSE(t.empty());
      redCentreInMenu = (t.front() + t.back()) / 2;
      redRowCentreInMenu = (r.left + r.right) / 2;
    }
    close(w);
  }
  sub->GridPopup = true;
  auto w = open();
  auto* sw = dynamic_cast<TSkinPopupWindow*>(w.get());
  ASSERT_NE(sw, nullptr);
  TBarView* gv = w->View;
  EXPECT_EQ(GetViewType(gv), VT_GRIDPOPUP);
  EXPECT_EQ(sw->GetNCSize().cx, 3);
  for (TBarCustomItem* it : std::initializer_list<TBarCustomItem*>{red, wide, label, edit}) {
    TBarItemViewer* iv = gv->Find(it);
    ASSERT_NE(iv, nullptr);
    EXPECT_TRUE(iv->IsToolbarStyle()) << it->ClassName();
    EXPECT_TRUE(iv->IsToolbarSize()) << it->ClassName();
  }
  // Measured as the same items on the toolbar.
  int gw = 0, gh = 0, tw = 0, th = 0;
  gv->Find(wide)->CalcSize(w->Canvas(), gw, gh);
  v->Find(wideOnBar)->CalcSize(h.Bar->Canvas(), tw, th);
  EXPECT_EQ(gw, tw);
  EXPECT_EQ(gh, th);
  gv->Find(red)->CalcSize(w->Canvas(), gw, gh);
  v->Find(redOnBar)->CalcSize(h.Bar->Canvas(), tw, th);
  EXPECT_EQ(gh, th);
  // One to a row, each as wide as the widest.
  RECT prev{};
  bool first = true;
  for (TBarCustomItem* it : std::initializer_list<TBarCustomItem*>{red, wide, label, edit}) {
    const RECT r = gv->Find(it)->BoundsRect;
    if (!first) {
      EXPECT_EQ(r.top, prev.bottom) << it->ClassName();
      EXPECT_EQ(r.left, prev.left) << it->ClassName();
      EXPECT_EQ(r.right, prev.right) << it->ClassName();
    }
    prev = r;
    first = false;
  }

  gv->SetSelected(gv->Find(red));
  auto s = Printed(w.get());
  if (classic) {
    const COLORREF bar = ColorToRef(CurrentSkinTheme()->GetViewColor(VT_TOOLBARBAR));
    // The frame: a raised edge, then a ring in the toolbar's colour.
    EXPECT_EQ(s->At(2, s->H / 2), bar);
    EXPECT_EQ(s->At(s->W - 3, s->H / 2), bar);
    // The hot colour button is no highlighted menu row, and its caption
    // stands in the middle of the row (in the menu it sat left).
    const RECT r = gv->Find(red)->BoundsRect;
    EXPECT_TRUE(ColumnsIn(*s, r, 3, highlight).empty());
    std::vector<int> t = ColumnsIn(*s, RECT{r.left + 3, r.top + 3, r.right - 3, r.bottom - 3}, 3, text);
    ASSERT_FALSE(t.empty());
    EXPECT_NEAR((t.front() + t.back()) / 2, (r.left + r.right) / 2, 3);
    EXPECT_LT(redCentreInMenu, redRowCentreInMenu - 20);
  }
  close(w);
}

// A checked themed button tells its font and image handlers what it is and
// in what state, once a paint; what the font handler sets is what shows.
// A submenu item that forces it opens with its first item selected even
// when opened by the mouse.
TEST(SkinItemEvents, FontAndImageHandlersAndForcedFirstSelection) {
  WinHost h;
  TImageList il(nullptr);
  il.SetWidth(16);
  il.SetHeight(16);
  {
    TBitmap b;
    b.SetSize(16, 16);
    b.Canvas()->GetBrush()->SetColor(clBlue);
    b.Canvas()->FillRect(TRect{0, 0, 16, 16});
    il.Add(&b, nullptr);
  }
  h.Bar->SetImages(&il);
  auto* it = Captioned<TSkinItem>(h.Form.get(), L"WWWW");
  it->SetImageIndex(0);
  it->SetDisplayMode(nbdmImageAndText);
  it->SetChecked(true);
  h.Bar->Items()->Add(it);
  h.Show();
  TBarItemViewer* v = h.Bar->View()->Find(it);
  ASSERT_NE(v, nullptr);
  struct Font {
    int Calls = 0;
    TBarCustomItem* Item = nullptr;
    TBarItemViewer* Viewer = nullptr;
    unsigned Flags = 0;
  } font;
  struct Image {
    int Calls = 0;
    TBarCustomItem* Item = nullptr;
    TBarItemViewer* Viewer = nullptr;
    RECT Rect{};
    POINT Offset{};
    unsigned Flags = 0;
    COLORREF Under = 0;
  } image;
  it->OnAdjustFont = TAdjustFontEvent([&](TBarCustomItem* I, TBarItemViewer* V, TFont* F, unsigned S) {
    ++font.Calls;
    font.Item = I;
    font.Viewer = V;
    font.Flags = S;
    F->SetColor(clRed);
  });
  it->OnDrawImage = TDrawImageEvent([&](TBarCustomItem* I, TBarItemViewer* V, TCanvas* C, RECT R, POINT O, unsigned S) {
    ++image.Calls;
    image.Item = I;
    image.Viewer = V;
    image.Rect = R;
    image.Offset = O;
    image.Flags = S;
    image.Under = GetPixel(C->GetHandle(), (R.left + R.right) / 2 + O.x, (R.top + R.bottom) / 2 + O.y);
  });
  const int w = v->BoundsRect.right - v->BoundsRect.left, ht = v->BoundsRect.bottom - v->BoundsRect.top;
  MemCanvas c(w, ht);
  c.C.Font()->Assign(*h.Bar->View()->GetFont());
  v->Paint(&c.C, RECT{0, 0, w, ht}, false, false, false);
  EXPECT_EQ(font.Calls, 1);
  EXPECT_EQ(font.Item, it);
  EXPECT_EQ(font.Viewer, v);
  EXPECT_EQ(font.Flags, ISF_SELECTED);  // checked
  EXPECT_GT(c.Count(RGB(255, 0, 0)), 10);  // the caption in the handler's colour
  EXPECT_EQ(image.Calls, 1);
  EXPECT_EQ(image.Item, it);
  EXPECT_EQ(image.Viewer, v);
  EXPECT_EQ(image.Rect.right - image.Rect.left, 16);
  EXPECT_EQ(image.Rect.bottom - image.Rect.top, 16);
  EXPECT_EQ(image.Offset.x, 1);  // a checked button's image sits one pixel in
  EXPECT_EQ(image.Offset.y, 1);
  EXPECT_EQ(image.Flags, ISF_SELECTED);
  EXPECT_EQ(image.Under, RGB(0, 0, 255));  // called after the image is drawn
  h.Bar->SetImages(nullptr);

  // Forced first selection.
  auto* sub = Captioned<TSkinSubmenuItem>(h.Form.get(), L"Menu");
  auto* first = Captioned<TSkinItem>(h.Form.get(), L"First");
  sub->Add(first);
  sub->Add(Captioned<TSkinItem>(h.Form.get(), L"Second"));
  h.Bar->Items()->Add(sub);
  h.Bar->View()->ValidatePositions();
  TBarView* bv = h.Bar->View();
  auto selectedOnOpen = [&] {
    const POINT none{0, 0};
    std::unique_ptr<TBarPopupWindow> pw(sub->CreatePopup(bv, bv->Find(sub), false, false, false, none, tbpaLeft));
    TBarItemViewer* s = pw->View->GetSelected();
    TBarCustomItem* r = s ? s->Item : nullptr;
    bv->OpenViewer = nullptr;
    bv->OpenViewerView = nullptr;
    bv->OpenViewerWindow = nullptr;
    return r;
  };
  EXPECT_EQ(selectedOnOpen(), nullptr);
  sub->ForceSelectFirst = true;
  EXPECT_EQ(selectedOnOpen(), first);
}

// A control on a tab sheet shows the sheet's themed body behind it while the
// program runs under visual styles; while designed it shows the sheet's
// colour plainly.
TEST(SkinParentBackground, ATabSheetsThemedBodyShowsOnlyOutsideDesign) {
  InitSkin();
  std::unique_ptr<TForm> form(new TForm(Application));
  form->SetBounds(80, 80, 400, 300);
  auto* pages = new TPageControl(form.get());
  pages->SetBounds(0, 0, 380, 260);
  pages->SetParent(form.get());
  auto* sheet = new TTabSheet(form.get());
  sheet->SetPageControl(pages);
  auto* bar = new TSkinToolbar(form.get());
  bar->SetParent(sheet);
  bar->SetBounds(10, 12, 120, 30);
  form->Show();
  Pump(30);
  const RECT r{0, 0, 120, 30};
  auto paint = [&](MemCanvas& C) { DrawParentBackground(bar, C.DC, r); };
  const COLORREF plain = ColorToRef(GetEffectiveColor(sheet));

  // What the sheet's body looks like under the bar, drawn by the platform.
  MemCanvas body(120, 30, RGB(1, 2, 3));
  HTHEME theme = USE_THEMES && skinux::OpenThemeData ? skinux::OpenThemeData(sheet->GetHandle(), L"TAB") : nullptr;
  if (theme) {
    RECT pr{-10, -12, sheet->GetClientWidth() - 10, sheet->GetClientHeight() - 12};
    skinux::DrawThemeBackground(theme, body.DC, 10, 0, &pr, &r);
    skinux::CloseThemeData(theme);
  } else {
    body.Fill(plain);
  }
  MemCanvas running(120, 30, RGB(1, 2, 3));
  paint(running);
  for (int y = 0; y < 30; y += 7)
    for (int x = 0; x < 120; x += 11) EXPECT_EQ(running.At(x, y), body.At(x, y)) << x << "," << y;

  form->SetDesigning(true);
  ASSERT_TRUE(bar->IsDesigning());
  MemCanvas designed(120, 30, RGB(1, 2, 3));
  paint(designed);
  EXPECT_EQ(designed.Count(plain), 120 * 30);
}

namespace {
// The Default theme with a wider border round floating views.
class WideFloatTheme : public TSkinDefaultTheme {
 public:
  using TSkinDefaultTheme::TSkinDefaultTheme;
  void GetViewBorder(int ViewType, POINT& Border) override {
    TSkinDefaultTheme::GetViewBorder(ViewType, Border);
    if (ViewType & VT_FLOATING) Border = POINT{Border.x + 5, Border.y + 5};
  }
};
TSkinTheme* MakeWideFloat(const String& Name) { return new WideFloatTheme(Name); }

SIZE WindowSize(HWND W) {
  RECT r;
  GetWindowRect(W, &r);
  return SIZE{r.right - r.left, r.bottom - r.top};
}
}  // namespace

// Over a theme change a floating toolbar and a floating tool window keep
// their own size and their floating forms take the new border around it;
// a docked one keeps its client size.
TEST(SkinFloatingToolbar, ThemeChangeKeepsTheClientSizeAndRefitsTheForm) {
  InitSkin();
  if (!IsSkinThemeAvailable(L"WideFloat")) RegisterSkinTheme(L"WideFloat", &MakeWideFloat);
  WinHost h;
  auto* it = new TSkinItem(h.Form.get());
  it->SetCaption(L"Item");
  h.Bar->Items()->Add(it);
  auto* w = new TSkinToolWindow(h.Form.get());
  w->SetName(L"twFloat");
  w->SetParent(h.Dock);
  w->SetClientAreaSize(70, 50);
  auto* docked = new TSkinToolWindow(h.Form.get());
  docked->SetName(L"twDocked");
  docked->SetParent(h.Dock);
  docked->SetClientAreaSize(60, 30);
  h.Show();
  h.Bar->SetFloating(true);
  w->SetFloating(true);
  Pump(50);
  ASSERT_TRUE(h.Bar->GetFloating() && w->GetFloating());
  const SIZE bar{h.Bar->GetWidth(), h.Bar->GetHeight()};
  const SIZE barForm = WindowSize(h.Bar->GetFloatingParent()->GetHandle());
  const SIZE toolForm = WindowSize(w->GetFloatingParent()->GetHandle());
  SkinSetTheme(L"WideFloat");
  Pump(30);
  EXPECT_EQ(h.Bar->GetWidth(), bar.cx);
  EXPECT_EQ(h.Bar->GetHeight(), bar.cy);
  EXPECT_EQ(WindowSize(h.Bar->GetFloatingParent()->GetHandle()).cx, barForm.cx + 10);
  EXPECT_EQ(WindowSize(h.Bar->GetFloatingParent()->GetHandle()).cy, barForm.cy + 10);
  EXPECT_EQ(w->GetClientAreaWidth(), 70);
  EXPECT_EQ(w->GetClientAreaHeight(), 50);
  EXPECT_EQ(WindowSize(w->GetFloatingParent()->GetHandle()).cx, toolForm.cx + 10);
  EXPECT_EQ(WindowSize(w->GetFloatingParent()->GetHandle()).cy, toolForm.cy + 10);
  EXPECT_EQ(docked->GetClientAreaWidth(), 60);
  EXPECT_EQ(docked->GetClientAreaHeight(), 30);
  SkinSetTheme(L"Default");
  Pump(30);
  EXPECT_EQ(WindowSize(w->GetFloatingParent()->GetHandle()).cx, toolForm.cx);
  EXPECT_EQ(w->GetClientAreaWidth(), 70);
}
