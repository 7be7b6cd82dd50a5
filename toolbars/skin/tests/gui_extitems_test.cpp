// Drop-down, combo-box, label, colour and MRU items.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <vector>

#include "classlib/Forms.h"
#include "testsupport/Gui.h"
#include "testsupport/Input.h"
#include "testsupport/Pump.h"
#include "toolbars/skin/SkinExtItems.h"
#include "toolbars/skin/SkinWindows.h"

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
  b.T->Items()->Add(empty);
  b.T->Items()->Add(zero);
  b.T->Items()->Add(tab);
  b.T->Items()->Add(col);
  b.Show();
  TBarView* v = b.T->View();
  RECT e = v->Find(empty)->BoundsRect, z = v->Find(zero)->BoundsRect;
  EXPECT_EQ(e.right - e.left, z.right - z.left);  // an empty caption measures as "0"
  EXPECT_EQ(v->Find(tab)->GetCaptionText(), L"Left");
  auto* cv = dynamic_cast<TSkinColorItemViewer*>(v->Find(col));
  ASSERT_NE(cv, nullptr);
  EXPECT_EQ(cv->GetImageSize().cx, 12);
  EXPECT_TRUE(cv->GetImageShown());
  b.T->Invalidate();
  Pump(30);
  EXPECT_TRUE(ShownExceptions().empty());

  // In a menu a colour item without a colour shows an empty box.
  HDC s = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(s);
  HBITMAP bmp = CreateCompatibleBitmap(s, 20, 20);
  ReleaseDC(nullptr, s);
  HGDIOBJ old = SelectObject(dc, bmp);
  RECT all{0, 0, 20, 20};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  TCanvas c;
  c.SetHandle(dc);
  col->SetColor(clNone);
  TSkinItemInfo info;
  info.Enabled = true;
  cv->DrawItemImage(&c, RECT{2, 2, 18, 18}, info);
  int nonWhite = 0;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x)
      if (GetPixel(dc, x, y) != RGB(255, 255, 255)) ++nonWhite;
  EXPECT_EQ(nonWhite, 0);
  col->SetColor(clRed);
  cv->DrawItemImage(&c, RECT{2, 2, 18, 18}, info);
  EXPECT_EQ(GetPixel(dc, 8, 8), RGB(255, 0, 0));
  c.SetHandle(nullptr);
  SelectObject(dc, old);
  DeleteObject(bmp);
  DeleteDC(dc);
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
