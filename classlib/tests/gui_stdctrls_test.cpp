// Standard controls: combo box, memo, check boxes, radio buttons and groups,
// labels, panels and the progress bar.
#include "classlib/ComCtrls.h"
#include "classlib/ExtCtrls.h"
#include "classlib/tests/gui_support.h"

using namespace guitest;

namespace {

std::unique_ptr<TForm> Host() {
  std::unique_ptr<TForm> f(new TForm(Application));
  f->SetBorderStyle(bsNone);
  f->SetBounds(30, 30, 400, 300);
  return f;
}

}  // namespace

TEST(GuiStdControls, ComboBoxItemsIndexTextAndStyleChange) {
  auto f = Host();
  auto* cb = new TComboBox(f.get());
  cb->SetParent(f.get());
  cb->Items()->Add(L"Exact");
  cb->Items()->Add(L"Substring");
  cb->Items()->Add(L"Regular expression");
  cb->SetItemIndex(1);  // before the window exists
  EXPECT_EQ(L"Substring", cb->GetText());
  f->Show();
  EXPECT_EQ(3, int(SendMessageW(cb->GetHandle(), CB_GETCOUNT, 0, 0)));
  EXPECT_EQ(1, cb->GetItemIndex());
  // The height is the closed box's, however long the drop-down list is.
  int closed = cb->GetHeight();
  EXPECT_LT(closed, 40);
  cb->SetWidth(200);
  EXPECT_EQ(closed, cb->GetHeight());
  RECT dropped{};
  SendMessageW(cb->GetHandle(), CB_GETDROPPEDCONTROLRECT, 0, LPARAM(&dropped));
  EXPECT_GT(RectHeight(dropped), closed + 40);
  EXPECT_EQ(L"Substring", cb->GetText());
  int changes = 0, selects = 0;
  cb->OnChange = [&](TObject*) { ++changes; };
  cb->OnSelect = [&](TObject*) { ++selects; };
  // A user's pick arrives as CBN_SELCHANGE.
  SendMessageW(cb->GetHandle(), CB_SETCURSEL, 2, 0);
  SendMessageW(f->GetHandle(), WM_COMMAND, MAKEWPARAM(0, CBN_SELCHANGE), LPARAM(cb->GetHandle()));
  EXPECT_EQ(2, cb->GetItemIndex());
  EXPECT_EQ(1, selects);
  EXPECT_EQ(1, changes);
  // Items inserted and deleted go straight to the control.
  cb->Items()->Insert(0, L"First");
  cb->Items()->Delete(1);
  EXPECT_EQ(3, int(SendMessageW(cb->GetHandle(), CB_GETCOUNT, 0, 0)));
  wchar_t buf[64] = {};
  SendMessageW(cb->GetHandle(), CB_GETLBTEXT, 0, LPARAM(buf));
  EXPECT_EQ(String(L"First"), buf);
  // A new style means a new window with the same items and selection.
  cb->SetItemIndex(2);
  cb->SetStyle(csDropDownList);
  EXPECT_EQ(3, int(SendMessageW(cb->GetHandle(), CB_GETCOUNT, 0, 0)));
  EXPECT_EQ(2, cb->GetItemIndex());
  EXPECT_TRUE((GetWindowLongW(cb->GetHandle(), GWL_STYLE) & 3) == CBS_DROPDOWNLIST);
  cb->SetItemIndex(7);  // out of range: nothing selected
  EXPECT_EQ(-1, cb->GetItemIndex());
  // Sorted lists keep their order as items come.
  cb->Clear();
  cb->SetSorted(true);
  for (auto s : {L"pear", L"apple", L"fig"}) cb->Items()->Add(s);
  SendMessageW(cb->GetHandle(), CB_GETLBTEXT, 0, LPARAM(buf));
  EXPECT_EQ(String(L"apple"), buf);
  EXPECT_EQ(L"fig", cb->Items()->Get(1));
}

TEST(GuiStdControls, MemoLinesReadAndWriteTheText) {
  auto f = Host();
  auto* m = new TMemo(f.get());
  m->SetParent(f.get());
  m->Lines()->Add(L"first");
  m->Lines()->Add(L"second");
  EXPECT_EQ(L"first\r\nsecond", m->GetText());
  m->Lines()->Insert(1, L"middle");
  EXPECT_EQ(3, m->Lines()->GetCount());
  EXPECT_EQ(L"middle", m->Lines()->Get(1));
  m->Lines()->Delete(0);
  EXPECT_EQ(L"middle\r\nsecond", m->GetText());
  m->Lines()->SetText(L"a\nb\r\nc\r");
  EXPECT_EQ(3, m->Lines()->GetCount());
  EXPECT_EQ(L"c", m->Lines()->Get(2));
  EXPECT_THROW(m->Lines()->Get(3), EStringListError);
  // The lines survive new scroll bars (a new window).
  m->SetScrollBars(ssVertical);
  EXPECT_TRUE(GetWindowLongW(m->GetHandle(), GWL_STYLE) & WS_VSCROLL);
  EXPECT_EQ(L"b", m->Lines()->Get(1));
  // A multi-line edit wants Enter itself: the dialog keys leave it alone.
  EXPECT_TRUE(m->Perform(WM_GETDLGCODE) & DLGC_WANTALLKEYS);
  m->SetWantReturns(false);
  EXPECT_FALSE(m->Perform(WM_GETDLGCODE) & DLGC_WANTALLKEYS);
}

// Tab leaves a memo that does not want tabs for the next control, though
// the memo wants Enter; one that wants tabs types it.
TEST(GuiStdControls, TabLeavesAMemoUnlessItWantsTabs) {
  auto f = Host();
  f->SetBorderStyle(bsSingle);
  auto* m = new TMemo(f.get());
  m->SetParent(f.get());
  auto* e = new TEdit(f.get());
  e->SetParent(f.get());
  e->SetTop(120);
  f->Show();
  SetForegroundWindow(f->GetHandle());
  m->SetFocus();
  Pump(50);
  guitest::PressKey(VK_TAB);
  EXPECT_EQ(e, f->GetActiveControl());
  m->SetWantTabs(true);
  m->SetFocus();
  Pump(20);
  guitest::PressKey(VK_TAB);
  EXPECT_EQ(m, f->GetActiveControl());
  EXPECT_EQ(L"\t", m->GetText());
}

TEST(GuiStdControls, CheckBoxesAndRadioButtons) {
  auto f = Host();
  auto* cb = new TCheckBox(f.get());
  cb->SetParent(f.get());
  int clicks = 0;
  cb->OnClick = [&](TObject*) { ++clicks; };
  cb->SetChecked(true);
  EXPECT_EQ(1, clicks);
  f->Show();
  EXPECT_EQ(BST_CHECKED, SendMessageW(cb->GetHandle(), BM_GETCHECK, 0, 0));
  // A user's click toggles.
  SendMessageW(f->GetHandle(), WM_COMMAND, MAKEWPARAM(0, BN_CLICKED), LPARAM(cb->GetHandle()));
  EXPECT_FALSE(cb->GetChecked());
  EXPECT_EQ(2, clicks);
  cb->SetAllowGrayed(true);
  SendMessageW(f->GetHandle(), WM_COMMAND, MAKEWPARAM(0, BN_CLICKED), LPARAM(cb->GetHandle()));
  EXPECT_EQ(cbGrayed, cb->GetState());

  auto* r1 = new TRadioButton(f.get());
  r1->SetParent(f.get());
  auto* r2 = new TRadioButton(f.get());
  r2->SetParent(f.get());
  r1->SetChecked(true);
  r2->SetChecked(true);
  EXPECT_FALSE(r1->GetChecked());
  EXPECT_EQ(BST_UNCHECKED, SendMessageW(r1->GetHandle(), BM_GETCHECK, 0, 0));
  SendMessageW(f->GetHandle(), WM_COMMAND, MAKEWPARAM(0, BN_CLICKED), LPARAM(r1->GetHandle()));
  EXPECT_TRUE(r1->GetChecked());
  EXPECT_FALSE(r2->GetChecked());
}

TEST(GuiStdControls, RadioGroupItemsIndexAndColumns) {
  auto f = Host();
  auto* g = new TRadioGroup(f.get());
  g->SetParent(f.get());
  g->SetBounds(0, 0, 300, 120);
  g->Items()->Add(L"Keys");
  g->Items()->Add(L"Values");
  g->Items()->Add(L"Data");
  EXPECT_EQ(3, g->ButtonCount());
  EXPECT_EQ(-1, g->GetItemIndex());
  int clicks = 0;
  g->OnClick = [&](TObject*) { ++clicks; };
  g->SetItemIndex(1);
  EXPECT_TRUE(g->Buttons(1)->GetChecked());
  EXPECT_EQ(0, clicks);  // set by code: no click
  f->Show();
  SendMessageW(g->GetHandle(), WM_COMMAND, MAKEWPARAM(0, BN_CLICKED), LPARAM(g->Buttons(2)->GetHandle()));
  EXPECT_EQ(2, g->GetItemIndex());
  EXPECT_EQ(1, clicks);
  EXPECT_FALSE(g->Buttons(1)->GetChecked());
  g->SetColumns(2);
  // Two columns: the third button starts the second column.
  EXPECT_EQ(g->Buttons(0)->GetTop(), g->Buttons(2)->GetTop());
  EXPECT_GT(g->Buttons(2)->GetLeft(), g->Buttons(0)->GetLeft());
  EXPECT_THROW(g->SetItemIndex(3), EListError);
  g->Items()->Delete(2);
  EXPECT_EQ(2, g->ButtonCount());
  EXPECT_EQ(1, g->GetItemIndex());
}

TEST(GuiStdControls, RadioGroupButtonsStayInsideTheFrame) {
  auto f = Host();
  auto* g = new TRadioGroup(f.get());
  g->SetParent(f.get());
  g->SetCaption(L"Search Scope");
  for (auto s : {L"Keys", L"Values", L"Data", L"All"}) g->Items()->Add(s);
  // The etched frame takes the two outer pixels on each side; the buttons
  // fill the rest, whatever the size and the number of columns.
  for (int cols : {1, 2, 3}) {
    for (TRect b : {Rect(0, 0, 160, 110), Rect(0, 0, 97, 57), Rect(0, 0, 301, 40)}) {
      g->SetColumns(cols);
      g->SetBounds(b.left, b.top, b.right, b.bottom);
      const int w = g->GetClientWidth(), h = g->GetClientHeight();
      for (int i = 0; i < g->ButtonCount(); ++i) {
        const TRect r = g->Buttons(i)->GetBoundsRect();
        SCOPED_TRACE(testing::Message() << cols << " columns, " << w << "x" << h << ", button " << i);
        EXPECT_GE(r.left, 2);
        EXPECT_LE(r.right, w - 2);
        EXPECT_LE(r.bottom, h - 2);
      }
    }
  }
  // What reaches the screen: the right frame's dark line runs past the
  // buttons unbroken.
  g->SetColumns(1);
  g->SetBounds(0, 0, 150, 100);
  f->Show();
  RedrawWindow(f->GetHandle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  HDC dc = GetDC(g->GetHandle());
  const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
  for (int i = 0; i < g->ButtonCount(); ++i) {
    const TRect r = g->Buttons(i)->GetBoundsRect();
    EXPECT_EQ(shadow, GetPixel(dc, 148, (r.top + r.bottom) / 2)) << "button " << i;
  }
  ReleaseDC(g->GetHandle(), dc);
}

TEST(GuiStdControls, LabelSizesToItsTextAndFocusesItsControl) {
  auto f = Host();
  auto* l = new TLabel(f.get());
  l->SetParent(f.get());
  l->SetCaption(L"&Name:");
  int w1 = l->GetWidth();
  EXPECT_GT(w1, 0);
  l->SetCaption(L"&Name of the key:");
  EXPECT_GT(l->GetWidth(), w1);
  int oneLine = l->GetHeight();
  l->SetWordWrap(true);
  l->SetWidth(40);
  l->SetCaption(L"several words that will wrap");
  EXPECT_EQ(40, l->GetWidth());
  EXPECT_GT(l->GetHeight(), oneLine);
  l->SetAutoSize(false);
  l->SetBounds(0, 0, 10, 10);
  l->SetCaption(L"long text that does not resize");
  EXPECT_EQ(10, l->GetWidth());
  l->SetTransparent(true);
  EXPECT_TRUE(l->GetTransparent());

  auto* e = new TEdit(f.get());
  e->SetParent(f.get());
  e->SetTop(50);
  l->SetCaption(L"&Key:");
  l->SetFocusControl(e);
  f->Show();
  SetForegroundWindow(f->GetHandle());
  Pump(50);
  // Alt+K focuses the edit through the label's accelerator.
  BYTE keys[256] = {};
  GetKeyboardState(keys);
  keys[VK_MENU] = 0x80;
  SetKeyboardState(keys);
  EXPECT_EQ(1, f->Perform(CM_DIALOGCHAR, L'k', 1 << 29));
  keys[VK_MENU] = 0;
  SetKeyboardState(keys);
  Pump(20);
  EXPECT_EQ(e, f->GetActiveControl());
}

TEST(GuiStdControls, PanelClientAreaAndProgressBar) {
  auto f = Host();
  auto* p = new TPanel(f.get());
  p->SetParent(f.get());
  p->SetBounds(0, 0, 200, 100);
  p->SetBevelOuter(bvRaised);
  p->SetBevelInner(bvLowered);
  p->SetBevelWidth(2);
  p->SetBorderWidth(3);
  auto* inner = new TPanel(f.get());
  inner->SetParent(p);
  inner->SetAlign(alClient);
  // 2 + 2 bevels and a border of 3 on each side.
  EXPECT_EQ(Bounds(7, 7, 186, 86), inner->GetBoundsRect());
  p->SetBevelInner(bvNone);
  EXPECT_EQ(Bounds(5, 5, 190, 90), inner->GetBoundsRect());

  auto* pb = new TProgressBar(f.get());
  pb->SetParent(f.get());
  pb->SetMax(50);
  pb->SetPosition(60);
  EXPECT_EQ(50, pb->GetPosition());
  pb->SetPosition(20);
  f->Show();
  EXPECT_EQ(20, int(SendMessageW(pb->GetHandle(), PBM_GETPOS, 0, 0)));
  pb->SetStep(15);
  pb->StepIt();
  EXPECT_EQ(35, pb->GetPosition());
  pb->SetSmooth(true);  // a new window keeps the position
  EXPECT_EQ(35, pb->GetPosition());
  EXPECT_THROW(pb->SetMin(60), EInvalidOperation);
}
