// Drop-down, combo-box, label, colour and MRU items.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>

#include "classlib/Forms.h"
#include "testsupport/Gui.h"
#include "testsupport/Input.h"
#include "testsupport/LoopScript.h"
#include "testsupport/MemCanvas.h"
#include "testsupport/Pump.h"
#include "toolbars/tests/BarTestHost.h"
#include "toolbars/skin/SkinExtItems.h"
#include "toolbars/skin/SkinWindows.h"
#include "toolbars/skin/tests/WindowPixels.h"

using namespace testsupport;

namespace {
struct Bar {
  std::unique_ptr<TForm> Form;
  TSkinToolbar* T;
  Bar() {
    Form.reset(new TForm(Application));
    Form->SetBounds(70, 70, 500, 200);
    auto* d = new TSkinDock(Form.get());
    d->SetParent(Form.get());
    T = new TSkinToolbar(Form.get());
    T->SetParent(d);
  }
  void Show() {
    Form->Show();
    Pump(30);
    T->View()->ValidatePositions();
  }
};
}  // namespace

TEST(SkinComboBox, CompletesForwardTypingOnly) {
  Bar b;
  auto* c = new TSkinComboBoxItem(b.Form.get());
  c->Strings()->Add(L"Apple");
  c->Strings()->Add(L"Apricot");
  b.T->Items()->Add(c);
  b.Show();
  auto* edit = new TSkinEdit(b.Form.get());
  edit->SetParent(b.Form.get());
  auto type = [&](const String& s) {
    edit->SetText(s);
    c->DoChange(edit, s);
  };
  type(L"a");
  EXPECT_EQ(edit->GetText(), L"Apple");
  EXPECT_EQ(edit->GetSelStart(), 1);
  EXPECT_EQ(edit->GetSelLength(), 4);
  EXPECT_EQ(c->GetItemIndex(), 0);
  type(L"ap");
  EXPECT_EQ(edit->GetText(), L"Apple");
  EXPECT_EQ(edit->GetSelStart(), 2);
  type(L"apr");
  EXPECT_EQ(edit->GetText(), L"Apricot");
  EXPECT_EQ(c->GetItemIndex(), 1);
  type(L"ap");  // shorter: no completion, and no whole-string match
  EXPECT_EQ(edit->GetText(), L"ap");
  EXPECT_EQ(c->GetItemIndex(), -1);
  c->AutoComplete = false;
  type(L"APPLE");  // matches only in case: still that entry
  EXPECT_EQ(c->GetItemIndex(), 0);
  type(L"Apr");
  EXPECT_EQ(c->GetItemIndex(), -1);
  EXPECT_EQ(c->GetMinListWidth(), 64);
  EXPECT_TRUE(c->ContainsItem(c->List()));
}

namespace {
// A combo box of a later kind: it hears the changes the list's choices make
// (those come without an edit control).
class TRecordingCombo : public TSkinComboBoxItem {
 public:
  using TSkinComboBoxItem::TSkinComboBoxItem;
  void DoChange(TObject* EditControl, const String& AText) override {
    if (!EditControl) Seen.push_back(AText);
    TSkinComboBoxItem::DoChange(EditControl, AText);
  }
  std::vector<String> Seen;
};
}  // namespace

// Up and Down in the field step through the strings and show the chosen
// one; Up on the first string clears the choice, Down on the last stays.
TEST(SkinComboBox, ArrowKeysStepThroughTheStrings) {
  Bar b;
  auto* c = new TRecordingCombo(b.Form.get());
  for (const wchar_t* s : {L"one", L"two", L"three"}) c->Strings()->Add(s);
  b.T->Items()->Add(c);
  b.Show();
  auto* v = dynamic_cast<TSkinComboBoxItemViewer*>(b.T->View()->Find(c));
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(v->GetAccRole(), 46);
  std::atomic<int> began{0}, accepted{0};
  std::atomic<int> indexAtAccept[2] = {{-5}, {-5}};
  c->OnBeginEdit = [&](TBarEditItem*, TBarEditItemViewer*, TEdit*) { ++began; };
  c->OnAcceptText = [&](TObject*, String&, bool&) {
    const int n = accepted.load();
    if (n < 2) indexAtAccept[n] = c->GetItemIndex();
    ++accepted;
  };
  auto wait = [](std::atomic<int>& N, int Above) {
    for (int i = 0; i < 500 && N <= Above; ++i) Sleep(10);
  };
  const POINT p = ScreenPoint(b.T->GetHandle(), v->BoundsRect.left + 6, (v->BoundsRect.top + v->BoundsRect.bottom) / 2);
  ASSERT_TRUE(RunInput([&] {
    InputScript().Click(p).Post();
    wait(began, 0);
    InputScript().Press(VK_DOWN).Press(VK_DOWN).Press(VK_UP).Press(VK_UP).Press(VK_DOWN).Press(VK_RETURN).Post();
    wait(accepted, 0);
    InputScript().Click(p).Post();
    wait(began, 1);
    InputScript().Press(VK_DOWN).Press(VK_DOWN).Press(VK_DOWN).Press(VK_DOWN).Press(VK_RETURN).Post();
    wait(accepted, 1);
  }, 20000));
  ASSERT_EQ(accepted, 2);
  // one, two, one, no choice, one again (the text unchanged, so no change).
  EXPECT_EQ(indexAtAccept[0], 0);
  // one, two, three, and Down on the last stays there.
  EXPECT_EQ(indexAtAccept[1], 2);
  EXPECT_EQ(c->GetItemIndex(), 2);
  EXPECT_EQ(c->GetText(), L"three");
  // The list's choices reach the later kind's DoChange.
  EXPECT_EQ(c->Seen, (std::vector<String>{L"one", L"two", L"one", L"two", L"three"}));
  EXPECT_TRUE(ShownExceptions().empty());
  int w = v->BoundsRect.right - v->BoundsRect.left;
  EXPECT_TRUE(v->IsPtInButtonPart(2, 2));
  EXPECT_FALSE(v->IsPtInButtonPart(w - 2, 2));
  c->DropDownList = true;
  EXPECT_FALSE(v->IsPtInButtonPart(2, 2));
}

// The combo box's list rows make room for the images only when it shows them.
TEST(SkinComboBox, ListRowsGrowForImagesOnlyWhenShown) {
  Bar b;
  auto* c = new TSkinComboBoxItem(b.Form.get());
  c->Strings()->Add(L"one");
  TImageList il(nullptr);
  il.SetWidth(30);
  il.SetHeight(30);
  c->SetSubMenuImages(&il);
  b.T->Items()->Add(c);
  b.Show();
  EXPECT_FALSE(c->GetShowListImages());
  std::unique_ptr<TBarPopupWindow> w(c->GetPopupWindowClass()(nullptr, nullptr, c, false));
  EXPECT_EQ(GetWinViewType(w.get()), VT_LISTBOX);  // an edit item, but its only item is a list
  w->View->UpdatePositions();
  auto* lv = dynamic_cast<TSkinCustomListViewer*>(w->View->Find(c->List()));
  ASSERT_NE(lv, nullptr);
  int plain = lv->GetItemHeight(w->Canvas());
  EXPECT_LT(plain, 32);
  c->SetShowListImages(true);
  EXPECT_EQ(lv->GetItemHeight(w->Canvas()), 32);
  c->SetSubMenuImages(nullptr);
}

TEST(SkinLabelAndColour, MeasureAndPaint) {
  Bar b;
  auto* empty = new TSkinLabelItem(b.Form.get());
  empty->SetMargin(2);
  auto* zero = new TSkinLabelItem(b.Form.get());
  zero->SetLabelCaption(L"0");
  zero->SetMargin(2);
  auto* tab = new TSkinLabelItem(b.Form.get());
  tab->SetLabelCaption(L"Left\tRight");
  auto* col = new TSkinColorItem(b.Form.get());
  col->SetCaption(L"Red");
  col->SetColor(clRed);
  auto* plain = new TSkinItem(b.Form.get());
  plain->SetCaption(L"Red");
  auto* sub = new TSkinSubmenuItem(b.Form.get());
  sub->SetCaption(L"More");
  auto* inMenu = new TSkinColorItem(b.Form.get());
  inMenu->SetCaption(L"Red");
  inMenu->SetColor(clRed);
  sub->Add(inMenu);
  for (TBarCustomItem* it : std::initializer_list<TBarCustomItem*>{empty, zero, tab, col, plain, sub})
    b.T->Items()->Add(it);
  b.Show();
  TBarView* v = b.T->View();
  RECT e = v->Find(empty)->BoundsRect, z = v->Find(zero)->BoundsRect;
  EXPECT_EQ(e.right - e.left, z.right - z.left);  // an empty caption measures as "0"
  EXPECT_EQ(v->Find(tab)->GetCaptionText(), L"Left");
  auto* cv = dynamic_cast<TSkinColorItemViewer*>(v->Find(col));
  ASSERT_NE(cv, nullptr);

  // Neither the toolbar nor the menu has images: the swatch needs none. On
  // the toolbar it is 12 pixels beside the caption, in the menu 16 less 2 on
  // each side; either way a shadow-coloured frame round the colour.
  const RECT cr = cv->BoundsRect, pr = v->Find(plain)->BoundsRect;
  EXPECT_EQ(cr.right - cr.left, pr.right - pr.left + 12);
  auto expectSwatch = [](const MemCanvas& S, RECT R, const char* Where) {
    int l = R.right, t = R.bottom, r = R.left - 1, bt = R.top - 1;
    for (int y = R.top; y < R.bottom; ++y)
      for (int x = R.left; x < R.right; ++x)
        if (S.At(x, y) == RGB(255, 0, 0)) l = std::min(l, x), r = std::max(r, x), t = std::min(t, y), bt = std::max(bt, y);
    ASSERT_LE(l, r) << Where << ": no swatch";
    EXPECT_EQ(r - l + 1, 10) << Where;
    EXPECT_EQ(bt - t + 1, 10) << Where;
    const COLORREF shadow = ColorToRef(clBtnShadow);
    for (int i = -1; i <= 10; ++i) {
      EXPECT_EQ(S.At(l + i, t - 1), shadow) << Where;
      EXPECT_EQ(S.At(l + i, bt + 1), shadow) << Where;
      EXPECT_EQ(S.At(l - 1, t + i), shadow) << Where;
      EXPECT_EQ(S.At(r + 1, t + i), shadow) << Where;
    }
  };
  b.T->Invalidate();
  expectSwatch(*skintest::WindowPixels(b.T->GetHandle()), cr, "toolbar");
  auto inPopup = [&](const std::function<void(const MemCanvas&, RECT)>& Check) {
    std::unique_ptr<TBarPopupWindow> w(sub->CreatePopup(v, v->Find(sub), false, false, false, POINT{0, 0}, tbpaLeft));
    Pump(50);
    Check(*skintest::WindowPixels(w->GetHandle()), w->View->Find(inMenu)->BoundsRect);
    v->OpenViewer = nullptr;
    v->OpenViewerView = nullptr;
    v->OpenViewerWindow = nullptr;
  };
  inPopup([&](const MemCanvas& S, RECT R) { expectSwatch(S, R, "menu"); });
  // Without a colour the menu shows neither colour nor frame.
  inMenu->SetColor(clNone);
  inPopup([&](const MemCanvas& S, RECT R) {
    for (COLORREF c : {RGB(255, 0, 0), ColorToRef(clBtnShadow)})
      EXPECT_TRUE(S.Shape(c, R.left, R.top, R.right, R.bottom).empty()) << std::hex << c;
  });
  EXPECT_TRUE(ShownExceptions().empty());
}

TEST(SkinMRU, KeyShiftAndEmbeddingItem) {
  InitSkin();
  auto* owner = new TComponent(nullptr);
  std::unique_ptr<TComponent> own(owner);
  auto* mru = new TSkinMRUList(owner);
  mru->SetKeyShift(-3);
  EXPECT_EQ(mru->GetKeyShift(), 0);
  mru->SetKeyShift(2);
  EXPECT_EQ(mru->GetFirstKey(), 2);
  mru->Add(L"C:\\a.reg");
  ASSERT_NE(mru->GetItemContainer(), nullptr);
  ASSERT_EQ(mru->GetItemContainer()->Count(), 1);
  EXPECT_TRUE(dynamic_cast<TSkinCustomItem*>(mru->GetItemContainer()->GetItem(0)));
  auto* item = new TSkinMRUListItem(owner);
  EXPECT_EQ(item->GetCaption(), L"(Skin MRU List)");
  item->SetMRUList(mru);
  EXPECT_EQ(item->GetLinkSubitems(), mru->GetItemContainer());
  delete mru;
  EXPECT_EQ(item->GetMRUList(), nullptr);
  EXPECT_EQ(item->GetLinkSubitems(), nullptr);
}

// A themed list whose container is a themed item gives every item the
// container's font settings, also those added later.
TEST(SkinMRU, ItemsTakeAThemedContainersFontSettings) {
  InitSkin();
  struct TThemedContainerList : TSkinMRUList {
    explicit TThemedContainerList(TComponent* O)
        : TSkinMRUList(O, [](TComponent* C) -> TBarCustomItem* { return new TSkinCustomItem(C); }) {}
  };
  std::unique_ptr<TComponent> owner(new TComponent(nullptr));
  auto* mru = new TThemedContainerList(owner.get());
  auto* container = dynamic_cast<TSkinCustomItem*>(mru->GetItemContainer());
  ASSERT_NE(container, nullptr);
  container->FontSettings()->SetBold(tsTrue);
  mru->Add(L"C:\\a.reg");
  mru->Add(L"C:\\b.reg");
  ASSERT_EQ(container->Count(), 2);
  for (int i = 0; i < 2; ++i) {
    auto* it = dynamic_cast<TSkinCustomItem*>(container->GetItem(i));
    ASSERT_NE(it, nullptr);
    EXPECT_EQ(it->FontSettings()->GetBold(), tsTrue) << i;
  }
  // A plain themed list keeps the plain container of the framework.
  auto* plain = new TSkinMRUList(owner.get());
  EXPECT_EQ(dynamic_cast<TSkinCustomItem*>(plain->GetItemContainer()), nullptr);
}

namespace {
// The smallest rectangle within R holding every pixel that differs from the
// colour at R's top-left corner (what an item drew over its background).
RECT InkBox(const MemCanvas& S, RECT R) {
  const COLORREF bg = S.At(R.left, R.top);
  RECT ink{R.right, R.bottom, R.left, R.top};
  for (int y = R.top; y < R.bottom; ++y)
    for (int x = R.left; x < R.right; ++x)
      if (S.At(x, y) != bg) {
        ink.left = std::min<LONG>(ink.left, x), ink.right = std::max<LONG>(ink.right, x + 1);
        ink.top = std::min<LONG>(ink.top, y), ink.bottom = std::max<LONG>(ink.bottom, y + 1);
      }
  return ink;
}
}  // namespace

// A label lies along its toolbar unless its orientation says otherwise:
// turned, it is measured and painted rotated (taller than wide), and
// straight on a vertical toolbar it is measured and painted along the line.
TEST(SkinLabelAndColour, OrientationTurnsTheLabelsExtentAndItsText) {
  Bar b;
  auto* left = new TSkinDock(b.Form.get());
  left->SetPosition(dpLeft);
  left->SetParent(b.Form.get());
  auto* side = new TSkinToolbar(b.Form.get());
  side->SetParent(left);
  auto label = [&](TSkinToolbar* T, TSkinLabelOrientation O) {
    auto* l = new TSkinLabelItem(b.Form.get());
    l->SetLabelCaption(L"Wide label text");
    l->SetOrientation(O);
    T->Items()->Add(l);
    return l;
  };
  struct Case {
    TSkinToolbar* T;
    TSkinLabelItem* L;
    bool Along;  // laid out and painted as a line of text
    const char* What;
  };
  const std::vector<Case> cases{{b.T, label(b.T, skinoAuto), true, "auto, horizontal toolbar"},
                                {b.T, label(b.T, skinoVertical), false, "vertical, horizontal toolbar"},
                                {b.T, label(b.T, skinoHorizontal), true, "horizontal, horizontal toolbar"},
                                {side, label(side, skinoAuto), false, "auto, vertical toolbar"},
                                {side, label(side, skinoHorizontal), true, "horizontal, vertical toolbar"},
                                {side, label(side, skinoVertical), false, "vertical, vertical toolbar"}};
  b.Show();
  side->View()->ValidatePositions();
  ASSERT_EQ(side->View()->Orientation, tbvoVertical);
  MemCanvas measure(8, 8);
  for (const Case& c : cases) {
    // Its own extent (a row of the toolbar is as thick as its thickest item).
    TBarItemViewer* v = c.T->View()->Find(c.L);
    int w = 0, h = 0;
    v->CalcSize(&measure.C, w, h);
    EXPECT_EQ(w > 2 * h, c.Along) << c.What << ": " << w << " x " << h;
    EXPECT_EQ(h > 2 * w, !c.Along) << c.What << ": " << w << " x " << h;
    const RECT r = v->BoundsRect;
    const RECT ink = InkBox(*skintest::WindowPixels(c.T->GetHandle()), r);
    const int iw = ink.right - ink.left, ih = ink.bottom - ink.top;
    ASSERT_GT(iw, 0) << c.What << ": nothing painted";
    EXPECT_EQ(iw > 2 * ih, c.Along) << c.What << ": ink " << iw << " x " << ih;
    EXPECT_EQ(ih > 2 * iw, !c.Along) << c.What << ": ink " << iw << " x " << ih;
  }
}

// A label setter given its current value tells nobody; a new value makes
// the item change with a resize.
TEST(SkinLabelAndColour, LabelSettersChangeOnlyOnANewValue) {
  TBarRootItem root(nullptr);
  auto* l = new TSkinLabelItem(nullptr);
  root.Add(l);
  int resizes = 0;
  struct Counter {
    int* N;
    void Proc(TBarCustomItem*, bool, TBarItemChangedAction A, int, TBarCustomItem*) {
      if (A == tbicInvalidateAndResize) ++*N;
    }
  } counter{&resizes};
  root.RegisterNotification(TBarItemChangedProc(&counter, &Counter::Proc));
  l->SetLabelCaption(L"");
  l->SetMargin(0);
  l->SetOrientation(skinoAuto);
  EXPECT_EQ(resizes, 0);
  l->SetLabelCaption(L"Path");
  l->SetLabelCaption(L"Path");
  l->SetMargin(3);
  l->SetMargin(3);
  l->SetOrientation(skinoVertical);
  l->SetOrientation(skinoVertical);
  EXPECT_EQ(resizes, 3);
  root.UnregisterNotification(TBarItemChangedProc(&counter, &Counter::Proc));
}

// F4 in a drop-down item's field opens its list; a list-only item opens the
// list wherever it is clicked, with no field and no typing.
TEST(SkinDropDown, F4InTheFieldAndAClickOnAListOnlyItemOpenTheList) {
  Bar b;
  auto* d = new TSkinDropDownItem(b.Form.get());
  auto* one = new TSkinItem(b.Form.get());
  one->SetCaption(L"One");
  d->Add(one);
  b.T->Items()->Add(d);
  auto* l = new TSkinDropDownItem(b.Form.get());
  auto* two = new TSkinItem(b.Form.get());
  two->SetCaption(L"Two");
  l->Add(two);
  l->DropDownList = true;
  b.T->Items()->Add(l);
  b.Show();
  std::atomic<int> began{0}, lBegan{0}, dOpened{0}, lOpened{0}, opensBefore{0};
  d->OnBeginEdit = [&](TBarEditItem*, TBarEditItemViewer*, TEdit*) { ++began; };
  l->OnBeginEdit = [&](TBarEditItem*, TBarEditItemViewer*, TEdit*) { ++lBegan; };
  d->OnPopup = [&](TBarCustomItem*, bool) { ++dOpened; };
  l->OnPopup = [&](TBarCustomItem*, bool) { ++lOpened; };
  TBarItemViewer* dv = b.T->View()->Find(d);
  auto* lv = dynamic_cast<TSkinDropDownItemViewer*>(b.T->View()->Find(l));
  ASSERT_TRUE(dynamic_cast<TSkinDropDownItemViewer*>(dv) && lv);
  EXPECT_EQ(dv->GetAccRole(), 46);
  // A list-only item has no text part and takes no keys.
  EXPECT_FALSE(lv->IsPtInButtonPart(2, 2));
  WORD key = 'A';
  lv->KeyDown(key, 0);
  EXPECT_EQ(key, 'A');
  HCURSOR cursor = nullptr;
  lv->GetCursor(POINT{2, 2}, cursor);
  EXPECT_EQ(cursor, nullptr);
  auto wait = [](std::atomic<int>& N) {
    for (int i = 0; i < 500 && N == 0; ++i) Sleep(10);
  };
  const POINT dp = ScreenPoint(b.T->GetHandle(), dv->BoundsRect.left + 6, (dv->BoundsRect.top + dv->BoundsRect.bottom) / 2);
  const POINT lp = ScreenPoint(b.T->GetHandle(), lv->BoundsRect.left + 6, (lv->BoundsRect.top + lv->BoundsRect.bottom) / 2);
  ASSERT_TRUE(RunInput([&] {
    InputScript().Click(dp).Post();
    wait(began);
    InputScript().Press(VK_F4).Post();
    wait(dOpened);
    InputScript().Press(VK_ESCAPE).Post();
    Sleep(100);
    InputScript().Press(VK_ESCAPE).Post();
    Sleep(200);
    InputScript().Click(lp).Post();
    wait(lOpened);
    InputScript().Press(VK_ESCAPE).Post();
    Sleep(100);
    // Return on the still selected list-only item opens its list again.
    opensBefore = lOpened.load();
    InputScript().Press(VK_RETURN).Post();
    for (int i = 0; i < 500 && lOpened == opensBefore; ++i) Sleep(10);
    InputScript().Press(VK_ESCAPE).Post();
    Sleep(100);
    InputScript().Press(VK_ESCAPE).Post();
  }, 20000));
  EXPECT_GT(lOpened, opensBefore);
  EXPECT_GE(began, 1);
  EXPECT_EQ(lBegan, 0);  // the list-only item opened no field, clicked or run
  EXPECT_GE(dOpened, 1);
  EXPECT_GE(lOpened, 1);
  EXPECT_TRUE(ShownExceptions().empty());
}

// A drop-down item's arrow opens a grid of buttons in the toolbar's colours
// inside a raised edge, not a menu, also where menus are flat and take the
// window's colour.
TEST(SkinDropDown, TheArrowOpensAGridInTheToolbarsColours) {
  InitSkin();
  auto oldSeam = SkinSystemFlatMenusSeam;
  SkinSystemFlatMenusSeam = [] { return false; };
  SetSkinSysParam(1, 2);
  Bar b;
  auto* d = new TSkinDropDownItem(b.Form.get());
  for (const wchar_t* caption : {L"One", L"Two"}) {
    auto* it = new TSkinItem(b.Form.get());
    it->SetCaption(caption);
    d->Add(it);
  }
  b.T->Items()->Add(d);
  b.Show();
  TSkinTheme* t = CurrentSkinTheme();
  const COLORREF bar = ColorToRef(t->GetViewColor(VT_GRIDPOPUP));
  ASSERT_NE(bar, ColorToRef(t->GetViewColor(VT_POPUPMENU)));
  const RECT dr = b.T->View()->Find(d)->BoundsRect;
  const POINT arrow = ScreenPoint(b.T->GetHandle(), dr.right - 4, (dr.top + dr.bottom) / 2);
  int viewType = 0, polls = 0;
  std::unique_ptr<MemCanvas> whole, client;
  RECT two{};
  {
    LoopScript s({[&] {
      HWND pw = bartest::VisiblePopupWindow();
      if (!pw) {
        if (++polls < 300) LoopScript::Current()->Again();
        return;
      }
      auto* w = dynamic_cast<TBarPopupWindow*>(TWinControl::FindControl(pw));
      viewType = GetWinViewType(w);
      two = w->View->Find(d->GetItem(1))->BoundsRect;
      whole = skintest::WindowPixels(pw, true);
      client = skintest::WindowPixels(pw);
      PostKey(VK_ESCAPE);
    }});
    RunInput([&] { InputScript().Click(arrow).Post(); });
    PumpUntil([&] { return whole && !bartest::VisiblePopupWindow(); }, 10000);
  }
  SetSkinSysParam(1, 0);
  SkinSystemFlatMenusSeam = oldSeam;
  SkinRecomputeAndNotify();
  ASSERT_TRUE(whole && client);
  EXPECT_EQ(viewType, VT_GRIDPOPUP);
  const int mid = whole->H / 2;
  EXPECT_EQ(whole->At(0, mid), GetSysColor(COLOR_3DLIGHT));  // the raised edge, no flat shadow line
  EXPECT_EQ(whole->At(2, mid), bar);
  EXPECT_EQ(whole->At(whole->W - 3, mid), bar);
  EXPECT_EQ(client->At(two.left + 1, two.top + 1), bar);  // behind the item that is not hot
  EXPECT_TRUE(ShownExceptions().empty());
}
