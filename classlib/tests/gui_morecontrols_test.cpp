// Speed and bitmap buttons, check list box, static text, track bar, tool
// bar, cool bar, scroll box, rich edit, animation and double buffering on
// real windows, driven by real mouse and keyboard input.
#include "classlib/Buttons.h"
#include "classlib/CheckLst.h"
#include "classlib/ExtCtrls.h"
#include "classlib/ToolWin.h"
#include "classlib/tests/gui_support.h"
#include "testsupport/Input.h"

using namespace guitest;

namespace {

std::unique_ptr<TForm> ShownForm() {
  std::unique_ptr<TForm> f(new TForm(Application));
  f->SetBorderStyle(bsNone);
  f->SetBounds(40, 40, 420, 320);
  f->Show();
  SetForegroundWindow(f->GetHandle());
  PumpUntil([&] { return GetForegroundWindow() == f->GetHandle(); });
  return f;
}

template <class T>
T* Put(TWinControl* parent, int x, int y, int w, int h) {
  T* c = new T(parent);
  c->SetParent(parent);
  c->SetBounds(x, y, w, h);
  return c;
}

// Records the messages of a control's WindowProc.
struct Spy {
  Spy(TControl* c, UINT msg) : control(c), old(c->WindowProc) {
    c->WindowProc = TWndMethod([this, msg](TMessage& m) {
      if (m.Msg == msg) ++count;
      old(m);
    });
  }
  ~Spy() { control->WindowProc = old; }
  TControl* control;
  TWndMethod old;
  int count = 0;
};

void MouseButton(TControl* c, int x, int y, DWORD flags) {
  const TPoint p = c->ClientToScreen(TPoint{x, y});
  SetCursorPos(p.x, p.y);
  INPUT in{};
  in.type = INPUT_MOUSE;
  in.mi.dwFlags = flags;
  SendInput(1, &in, sizeof(INPUT));
}

// A solid glyph of one colour (with a differently coloured transparent corner).
std::unique_ptr<TBitmap> SolidGlyph(TColor c, int size = 16) {
  auto b = std::make_unique<TBitmap>();
  b->SetWidth(size);
  b->SetHeight(size);
  b->Canvas()->Brush()->SetColor(c);
  b->Canvas()->FillRect(Rect(0, 0, size, size));
  return b;
}

COLORREF ScreenPixel(TControl* c, int x, int y) {
  const TPoint p = c->ClientToScreen(TPoint{x, y});
  HDC dc = GetDC(nullptr);
  const COLORREF px = GetPixel(dc, p.x, p.y);
  ReleaseDC(nullptr, dc);
  return px;
}

}  // namespace

TEST(SpeedButton, AGroupKeepsOneButtonDownAndDrawsItsGlyph) {
  auto f = ShownForm();
  auto* a = Put<TSpeedButton>(f.get(), 10, 10, 40, 40);
  auto* b = Put<TSpeedButton>(f.get(), 60, 10, 40, 40);
  a->SetGroupIndex(1);
  b->SetGroupIndex(1);
  auto glyph = SolidGlyph(clRed);
  glyph->SetTransparentColor(clLime);  // nothing of the glyph is see-through
  a->SetGlyph(glyph.get());
  int clicks = 0;
  a->OnClick = b->OnClick = [&](TObject*) { ++clicks; };

  MouseButton(a, 20, 20, MOUSEEVENTF_LEFTDOWN);
  ASSERT_TRUE(PumpUntil([&] { return a->GetState() == bsDown; }));
  MouseButton(a, 20, 20, MOUSEEVENTF_LEFTUP);
  ASSERT_TRUE(PumpUntil([&] { return clicks == 1; }));
  EXPECT_TRUE(a->GetDown());
  EXPECT_EQ(a->GetState(), bsExclusive);
  MouseClick(b, 20, 20);
  ASSERT_TRUE(PumpUntil([&] { return clicks == 2; }));
  EXPECT_TRUE(b->GetDown());
  EXPECT_FALSE(a->GetDown());
  // The last one down stays down unless all may be up.
  MouseClick(b, 22, 22);
  ASSERT_TRUE(PumpUntil([&] { return clicks == 3; }));
  EXPECT_TRUE(b->GetDown());
  b->SetAllowAllUp(true);
  EXPECT_TRUE(a->GetAllowAllUp());
  b->SetDown(false);
  EXPECT_FALSE(b->GetDown());
  // A press released outside is no click.
  MouseButton(a, 20, 20, MOUSEEVENTF_LEFTDOWN);
  ASSERT_TRUE(PumpUntil([&] { return a->GetState() == bsDown; }));
  MouseButton(a, 200, 200, MOUSEEVENTF_MOVE);
  MouseButton(a, 200, 200, MOUSEEVENTF_LEFTUP);
  ASSERT_TRUE(PumpUntil([&] { return a->GetState() == bsUp; }));
  EXPECT_EQ(clicks, 3);

  // The glyph is drawn, centred; the mouse over the button is known.
  MouseButton(a, 20, 20, MOUSEEVENTF_MOVE);
  EXPECT_TRUE(PumpUntil([&] { return a->MouseInControl(); }));
  a->Repaint();
  EXPECT_TRUE(PumpUntil([&] { return ScreenPixel(a, 20, 20) == RGB(255, 0, 0); }));
  a->SetEnabled(false);
  EXPECT_EQ(a->GetState(), bsDisabled);
}

TEST(BitBtn, DrawsItselfThroughItsWindowProcAndClicks) {
  auto f = ShownForm();
  auto* b = Put<TBitBtn>(f.get(), 10, 10, 80, 40);
  auto glyph = SolidGlyph(clBlue);
  glyph->SetTransparentColor(clLime);
  b->SetGlyph(glyph.get());
  b->SetModalResult(mrOk);
  EXPECT_EQ(GetWindowLongW(b->GetHandle(), GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
  Spy draw(b, CN_DRAWITEM);
  b->Repaint();
  EXPECT_TRUE(PumpUntil([&] { return draw.count > 0; }));
  EXPECT_TRUE(PumpUntil([&] { return ScreenPixel(b, 40, 20) == RGB(0, 0, 255); }));
  int clicks = 0;
  b->OnClick = [&](TObject*) { ++clicks; };
  MouseClick(b, 40, 20);
  EXPECT_TRUE(PumpUntil([&] { return clicks == 1; }));
  // Becoming the default button keeps the face its own.
  b->SetDefault(true);
  EXPECT_EQ(GetWindowLongW(b->GetHandle(), GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
}

TEST(CheckListBox, ClicksAndSpaceToggleEnabledItemsAndStatesFollowTheItems) {
  auto f = ShownForm();
  auto* l = Put<TCheckListBox>(f.get(), 10, 10, 200, 150);
  for (auto s : {L"one", L"two", L"three"}) l->Items()->Add(s);
  Spy draw(l, CN_DRAWITEM);
  l->Repaint();
  EXPECT_TRUE(PumpUntil([&] { return draw.count > 0; }));
  int checks = 0;
  l->OnClickCheck = [&](TObject*) { ++checks; };
  const TRect r1 = l->ItemRect(1);
  MouseClick(l, r1.left + l->CheckWidth() / 2, (r1.top + r1.bottom) / 2);
  ASSERT_TRUE(PumpUntil([&] { return checks == 1; }));
  EXPECT_EQ(l->GetState(1), cbChecked);
  EXPECT_EQ(l->GetState(0), cbUnchecked);
  // A click on the text selects without checking; space checks.
  const TRect r0 = l->ItemRect(0);
  MouseClick(l, r0.left + 60, (r0.top + r0.bottom) / 2);
  ASSERT_TRUE(PumpUntil([&] { return l->GetItemIndex() == 0; }));
  EXPECT_EQ(l->GetState(0), cbUnchecked);
  PressKey(VK_SPACE);
  ASSERT_TRUE(PumpUntil([&] { return checks == 2; }));
  EXPECT_EQ(l->GetState(0), cbChecked);
  // Grayed comes between when allowed; a disabled item does not change.
  l->SetAllowGrayed(true);
  l->SetState(0, cbUnchecked);
  PressKey(VK_SPACE);
  ASSERT_TRUE(PumpUntil([&] { return checks == 3; }));
  EXPECT_EQ(l->GetState(0), cbGrayed);
  l->SetItemEnabled(0, false);
  PressKey(VK_SPACE);
  Pump(100);
  EXPECT_EQ(l->GetState(0), cbGrayed);
  // Inserting and deleting items moves the states with them.
  l->Items()->Insert(0, L"zero");
  EXPECT_EQ(l->GetState(2), cbChecked);  // "two"
  EXPECT_EQ(l->GetState(0), cbUnchecked);
  EXPECT_FALSE(l->GetItemEnabled(1));  // "one"
  l->Items()->Delete(1);
  EXPECT_EQ(l->GetState(1), cbChecked);
  EXPECT_TRUE(l->GetItemEnabled(1));
  l->RecreateWnd();
  EXPECT_EQ(l->GetState(1), cbChecked);
  EXPECT_THROW(l->GetState(9), EListError);
}

TEST(ListBox, ADoubleClickIsReportedOnce) {
  auto f = ShownForm();
  auto* l = Put<TListBox>(f.get(), 10, 10, 200, 150);
  for (auto s : {L"one", L"two", L"three"}) l->Items()->Add(s);
  int dbl = 0, atIndex = -2;
  l->OnDblClick = [&](TObject*) {
    ++dbl;
    atIndex = l->GetItemIndex();
  };
  const TRect r = l->ItemRect(1);
  testsupport::DoubleClick(testsupport::ScreenPoint(l->GetHandle(), r.left + 20, (r.top + r.bottom) / 2));
  ASSERT_TRUE(PumpUntil([&] { return dbl > 0; }));
  Pump(100);
  EXPECT_EQ(1, dbl);
  EXPECT_EQ(1, atIndex);
  // And once more for a second double click: nothing left over from the first.
  const TRect r2 = l->ItemRect(2);
  testsupport::DoubleClick(testsupport::ScreenPoint(l->GetHandle(), r2.left + 20, (r2.top + r2.bottom) / 2));
  ASSERT_TRUE(PumpUntil([&] { return dbl > 1; }));
  Pump(100);
  EXPECT_EQ(2, dbl);
  EXPECT_EQ(2, atIndex);
}

// Border, columns, selection kind, integral height and tab stops shape the
// list's window; changing one makes the window again with the items, the
// selection and the top item kept.
TEST(ListBox, ShapePropertiesSetTheWindowStyleAndKeepTheItems) {
  auto f = ShownForm();
  auto* l = Put<TListBox>(f.get(), 10, 10, 200, 97);
  auto style = [&] { return GetWindowLongPtrW(l->GetHandle(), GWL_STYLE); };
  auto exStyle = [&] { return GetWindowLongPtrW(l->GetHandle(), GWL_EXSTYLE); };
  for (int i = 0; i < 40; ++i) l->Items()->Add(L"item\t" + std::to_wstring(i));
  l->SetItemIndex(3);
  EXPECT_EQ(l->GetBorderStyle(), bsSingle);
  EXPECT_TRUE(exStyle() & WS_EX_CLIENTEDGE);
  EXPECT_TRUE(style() & LBS_NOINTEGRALHEIGHT);
  EXPECT_FALSE(style() & (LBS_MULTICOLUMN | LBS_USETABSTOPS | LBS_EXTENDEDSEL | LBS_MULTIPLESEL));

  l->SetBorderStyle(bsNone);
  EXPECT_FALSE(exStyle() & WS_EX_CLIENTEDGE);
  EXPECT_FALSE(style() & WS_BORDER);
  l->SetCtl3D(false);
  l->SetBorderStyle(bsSingle);
  EXPECT_TRUE(style() & WS_BORDER);
  EXPECT_FALSE(exStyle() & WS_EX_CLIENTEDGE);

  // Multiple selection: extended by default, toggling without it.
  l->SetMultiSelect(true);
  EXPECT_TRUE(style() & LBS_EXTENDEDSEL);
  l->SetSelected(5, true);
  l->SetExtendedSelect(false);
  EXPECT_TRUE(style() & LBS_MULTIPLESEL);
  EXPECT_FALSE(style() & LBS_EXTENDEDSEL);
  EXPECT_TRUE(l->GetSelected(5));
  // A click toggles an item without clearing the others.
  const TRect r = l->ItemRect(1);
  testsupport::Click(testsupport::ScreenPoint(l->GetHandle(), r.left + 10, (r.top + r.bottom) / 2));
  ASSERT_TRUE(PumpUntil([&] { return l->GetSelected(1); }));
  EXPECT_TRUE(l->GetSelected(5));
  l->SetMultiSelect(false);

  // Columns: side by side, each a share of the client width.
  l->SetColumns(2);
  EXPECT_TRUE(style() & LBS_MULTICOLUMN);
  EXPECT_EQ(l->Items()->GetCount(), 40);
  RECT c;
  GetClientRect(l->GetHandle(), &c);
  const int half = (c.right + 1) / 2;
  const TRect first = l->ItemRect(0);
  EXPECT_EQ(first.right - first.left, half);
  const int perColumn = c.bottom / (first.bottom - first.top);
  EXPECT_EQ(l->ItemRect(perColumn).left, half);
  l->SetColumns(4);
  EXPECT_EQ(l->ItemRect(0).right - l->ItemRect(0).left, (c.right + 3) / 4);
  l->SetColumns(0);
  EXPECT_FALSE(style() & LBS_MULTICOLUMN);

  // Integral height: the window shrinks to whole items.
  l->SetIntegralHeight(true);
  EXPECT_FALSE(style() & LBS_NOINTEGRALHEIGHT);
  GetClientRect(l->GetHandle(), &c);
  EXPECT_EQ(c.bottom % (l->ItemRect(0).bottom - l->ItemRect(0).top), 0);

  // Tab stops: the window is made again with them, its items unchanged.
  l->SetTabWidth(100);
  EXPECT_TRUE(style() & LBS_USETABSTOPS);
  EXPECT_EQ(l->GetTabWidth(), 100);
  EXPECT_EQ(l->Items()->GetCount(), 40);
  EXPECT_EQ(l->Items()->Get(7), L"item\t7");
}

// An lbOwnerDrawVariable list asks each item's height of OnMeasureItem.
TEST(ListBox, VariableItemsTakeTheHeightOnMeasureItemGives) {
  auto f = ShownForm();
  auto* l = Put<TListBox>(f.get(), 10, 10, 200, 150);
  std::vector<int> asked;
  l->OnMeasureItem = [&](TWinControl* c, int index, int& height) {
    EXPECT_EQ(c, l);
    EXPECT_EQ(height, l->GetItemHeight());
    asked.push_back(index);
    height = 10 + 5 * index;
  };
  for (auto s : {L"a", L"b", L"c"}) l->Items()->Add(s);
  // Fixed items never ask.
  EXPECT_TRUE(asked.empty());
  l->SetStyle(lbOwnerDrawVariable);
  EXPECT_EQ(asked, (std::vector<int>{0, 1, 2}));
  for (int i = 0; i < 3; ++i) {
    const TRect r = l->ItemRect(i);
    EXPECT_EQ(r.bottom - r.top, 10 + 5 * i) << i;
  }
  l->Items()->Add(L"d");
  EXPECT_EQ(asked.back(), 3);
  EXPECT_EQ(l->ItemRect(3).bottom - l->ItemRect(3).top, 25);
}

TEST(StaticText, ColoursComeThroughItsWindowProcAndTheAcceleratorFocuses) {
  auto f = ShownForm();
  auto* t = Put<TStaticText>(f.get(), 10, 10, 120, 20);
  auto* e = Put<TEdit>(f.get(), 10, 40, 120, 24);
  auto* other = Put<TEdit>(f.get(), 10, 80, 120, 24);
  t->SetText(L"&Name");
  t->SetFocusControl(e);
  t->Font()->SetColor(clRed);
  Spy colour(t, CN_CTLCOLORSTATIC);
  t->Repaint();
  EXPECT_TRUE(PumpUntil([&] { return colour.count > 0; }));
  t->SetBorderStyle(sbsSunken);
  EXPECT_TRUE(GetWindowLongW(t->GetHandle(), GWL_STYLE) & SS_SUNKEN);
  MouseClick(other, 5, 5);
  ASSERT_TRUE(PumpUntil([&] { return GetFocus() == other->GetHandle(); }));
  INPUT in[4] = {};
  for (INPUT& i : in) i.type = INPUT_KEYBOARD;
  in[0].ki.wVk = in[3].ki.wVk = VK_MENU;
  in[1].ki.wVk = in[2].ki.wVk = 'N';
  in[2].ki.dwFlags = in[3].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(4, in, sizeof(INPUT));
  EXPECT_TRUE(PumpUntil([&] { return GetFocus() == e->GetHandle(); }));
}

TEST(TrackBar, KeysMoveItWithinItsRangeAndCustomDrawReachesWindowProc) {
  auto f = ShownForm();
  auto* t = Put<TTrackBar>(f.get(), 10, 10, 200, 40);
  t->SetRange(0, 4);
  int changes = 0;
  t->OnChange = [&](TObject*) { ++changes; };
  t->SetPosition(9);
  EXPECT_EQ(t->GetPosition(), 4);
  EXPECT_EQ(changes, 1);
  Spy notify(t, CN_NOTIFY);
  t->Repaint();
  EXPECT_TRUE(PumpUntil([&] { return notify.count > 0; }));
  t->SetFocus();
  ASSERT_TRUE(PumpUntil([&] { return GetFocus() == t->GetHandle(); }));
  PressKey(VK_LEFT);
  EXPECT_TRUE(PumpUntil([&] { return t->GetPosition() == 3 && changes == 2; }));
  t->SetOrientation(trVertical);  // a new window, the position kept
  EXPECT_TRUE(GetWindowLongW(t->GetHandle(), GWL_STYLE) & TBS_VERT);
  EXPECT_EQ(t->GetPosition(), 3);
  t->SetMax(2);
  EXPECT_EQ(t->GetPosition(), 2);
}

namespace {
class TRecordingMenu : public TPopupMenu {
 public:
  explicit TRecordingMenu(TComponent* Owner) : TPopupMenu(Owner) {}
  void Popup(int X, int Y) override { At.push_back(TPoint{X, Y}); }
  std::vector<TPoint> At;
};
}  // namespace

TEST(ToolBar, ButtonsStandInOrderCheckGroupAndDropDown) {
  auto f = ShownForm();
  auto* bar = new TToolBar(f.get());
  bar->SetParent(f.get());
  bar->SetButtonWidth(30);
  auto add = [&](TToolButtonStyle s) {
    auto* b = new TToolButton(f.get());
    b->SetStyle(s);
    b->SetParent(bar);
    return b;
  };
  TToolButton* plain = add(tbsButton);
  TToolButton* sep = add(tbsSeparator);
  TToolButton* c1 = add(tbsCheck);
  TToolButton* c2 = add(tbsCheck);
  TToolButton* drop = add(tbsDropDown);
  ASSERT_EQ(bar->ButtonCount(), 5);
  EXPECT_EQ(bar->Buttons(0), plain);
  EXPECT_EQ(bar->Buttons(4), drop);
  EXPECT_EQ(sep->GetLeft(), 30);
  EXPECT_EQ(c1->GetLeft(), 38);
  EXPECT_GT(drop->GetWidth(), 30);
  EXPECT_FALSE(sep->ControlStyle.Contains(csCaptureMouse));
  EXPECT_TRUE(drop->ControlStyle.Contains(csCaptureMouse));
  int clicks = 0;
  plain->OnClick = [&](TObject*) { ++clicks; };
  MouseClick(plain, 10, 10);
  EXPECT_TRUE(PumpUntil([&] { return clicks == 1; }));
  // Grouped check buttons: one down at a time.
  c1->SetGrouped(true);
  c2->SetGrouped(true);
  MouseClick(c1, 10, 10);
  ASSERT_TRUE(PumpUntil([&] { return c1->GetDown(); }));
  MouseClick(c2, 12, 12);
  ASSERT_TRUE(PumpUntil([&] { return c2->GetDown(); }));
  EXPECT_FALSE(c1->GetDown());
  // The arrow of a drop-down button opens its menu below the button.
  auto* menu = new TRecordingMenu(f.get());
  drop->SetDropdownMenu(menu);
  MouseClick(drop, drop->GetWidth() - 4, 10);
  ASSERT_TRUE(PumpUntil([&] { return menu->At.size() == 1; }));
  const TPoint below = drop->ClientToScreen(TPoint{0, drop->GetHeight()});
  EXPECT_EQ(menu->At[0].x, below.x);
  EXPECT_EQ(menu->At[0].y, below.y);
  delete menu;
  EXPECT_EQ(drop->GetDropdownMenu(), nullptr);
}

TEST(CoolBar, BandsHoldTheirControls) {
  auto f = ShownForm();
  auto* cool = new TCoolBar(f.get());
  cool->SetParent(f.get());
  auto* e = new TEdit(f.get());
  auto* b = new TButton(f.get());
  TCoolBand* b1 = cool->Bands()->Add();
  b1->SetControl(e);
  b1->SetText(L"Address");
  TCoolBand* b2 = cool->Bands()->Add();
  b2->SetControl(b);
  EXPECT_EQ(SendMessageW(cool->GetHandle(), RB_GETBANDCOUNT, 0, 0), 2);
  EXPECT_EQ(GetParent(e->GetHandle()), cool->GetHandle());
  EXPECT_EQ(cool->BandIndex(b2), 1);
  delete b;
  EXPECT_EQ(b2->GetControl(), nullptr);
  delete b1;
  EXPECT_EQ(SendMessageW(cool->GetHandle(), RB_GETBANDCOUNT, 0, 0), 1);
}

TEST(ScrollBox, ChildrenBeyondTheEdgeScrollIntoView) {
  auto f = ShownForm();
  auto* box = Put<TScrollBox>(f.get(), 10, 10, 200, 150);
  box->SetBorderStyle(bsNone);
  auto* top = Put<TPanel>(box, 0, 0, 50, 50);
  auto* distant = Put<TPanel>(box, 0, 400, 50, 50);
  EXPECT_EQ(box->VertScrollBar()->GetRange(), 450);
  EXPECT_TRUE(box->VertScrollBar()->IsScrollBarVisible());
  EXPECT_FALSE(box->HorzScrollBar()->IsScrollBarVisible());
  SCROLLINFO si{sizeof(si), SIF_ALL, 0, 0, 0, 0, 0};
  ASSERT_TRUE(GetScrollInfo(box->GetHandle(), SB_VERT, &si));
  EXPECT_EQ(si.nMax, 449);
  SendMessageW(box->GetHandle(), WM_VSCROLL, SB_LINEDOWN, 0);
  EXPECT_EQ(box->VertScrollBar()->GetPosition(), 8);
  EXPECT_EQ(top->GetTop(), -8);
  box->ScrollInView(distant);
  const int pos = box->VertScrollBar()->GetPosition();
  EXPECT_EQ(distant->GetTop() + distant->GetHeight(), RectHeight(box->GetClientRect()));
  EXPECT_EQ(top->GetTop(), -pos);
  SendMessageW(box->GetHandle(), WM_VSCROLL, SB_BOTTOM, 0);  // never past the end
  EXPECT_EQ(box->VertScrollBar()->GetPosition(), 450 - RectHeight(box->GetClientRect()));
  SendMessageW(box->GetHandle(), WM_VSCROLL, SB_TOP, 0);
  EXPECT_EQ(top->GetTop(), 0);
}

TEST(RichEdit, KeepsTextAndRichTextComesBack) {
  auto f = ShownForm();
  auto* r = Put<TRichEdit>(f.get(), 10, 10, 300, 100);
  r->Lines()->Add(L"first");
  r->Lines()->Add(L"zwei \u00fc");
  EXPECT_EQ(r->Lines()->GetCount(), 2);
  EXPECT_EQ(r->Lines()->Get(1), L"zwei \u00fc");
  const String rtf = r->GetRichText();
  EXPECT_EQ(rtf.rfind(L"{\\rtf", 0), 0u);
  r->SetText(L"");
  r->SetRichText(L"{\\rtf1 back \u00e9}");
  EXPECT_NE(r->GetText().find(L"back \u00e9"), String::npos);
}

TEST(Animate, AMissingClipLeavesItClosedAndStill) {
  auto f = ShownForm();
  auto* a = Put<TAnimate>(f.get(), 10, 10, 80, 60);
  EXPECT_TRUE(GetWindowLongW(a->GetHandle(), GWL_STYLE) & ACS_TRANSPARENT);
  a->SetFileName(L"C:\\no such folder\\clip.avi");
  EXPECT_FALSE(a->GetOpen());
  a->SetActive(true);
  EXPECT_FALSE(a->GetActive());
  a->SetTransparent(false);
  EXPECT_FALSE(GetWindowLongW(a->GetHandle(), GWL_STYLE) & ACS_TRANSPARENT);
}

namespace {
// Paints its whole client area in one colour and notes the kind of context.
class TFiller : public TCustomControl {
 public:
  explicit TFiller(TComponent* Owner) : TCustomControl(Owner) {}
  DWORD Kind = 0;

 protected:
  void Paint() override {
    Kind = GetObjectType(Canvas()->GetHandle());
    Canvas()->Brush()->SetColor(clGreen);
    Canvas()->FillRect(GetClientRect());
  }
};
// A parent that erases in a colour of its own.
class TErasingPanel : public TPanel {
 public:
  explicit TErasingPanel(TComponent* Owner) : TPanel(Owner) {}
  void WndProc(TMessage& m) override {
    if (m.Msg == WM_ERASEBKGND) {
      RECT r{0, 0, 1000, 1000};
      HBRUSH b = CreateSolidBrush(RGB(0, 0, 255));
      FillRect(HDC(m.WParam), &r, b);
      DeleteObject(b);
      m.Result = 1;
      return;
    }
    TPanel::WndProc(m);
  }
};
}  // namespace

TEST(DoubleBuffered, PaintsThroughABitmapAndTheParentErasesBehind) {
  auto f = ShownForm();
  auto* c = Put<TFiller>(f.get(), 10, 10, 60, 60);
  c->Repaint();
  EXPECT_TRUE(PumpUntil([&] { return c->Kind == OBJ_DC; }));
  c->SetDoubleBuffered(true);
  c->Repaint();
  EXPECT_TRUE(PumpUntil([&] { return c->Kind == OBJ_MEMDC; }));
  EXPECT_TRUE(PumpUntil([&] { return ScreenPixel(c, 30, 30) == RGB(0, 128, 0); }));

  auto* p = Put<TErasingPanel>(f.get(), 100, 10, 100, 100);
  auto* child = Put<TFiller>(p, 20, 20, 30, 30);
  HDC mem = CreateCompatibleDC(nullptr);
  HBITMAP bmp = CreateBitmap(30, 30, 1, 32, nullptr);
  HGDIOBJ old = SelectObject(mem, bmp);
  PerformEraseBackground(child, mem);
  EXPECT_EQ(GetPixel(mem, 5, 5), RGB(0, 0, 255));
  SelectObject(mem, old);
  DeleteObject(bmp);
  DeleteDC(mem);
}

// A turn of the wheel over a focused control: towards the user it is
// OnMouseWheelDown, away OnMouseWheelUp, each with the pointer's screen
// place; an OnMouseWheel that handles the turn keeps both quiet.
TEST(MouseWheel, TurnsReachWheelDownAndUpUnlessOnMouseWheelHandlesThem) {
  auto f = ShownForm();
  auto* l = Put<TListBox>(f.get(), 10, 10, 200, 150);
  for (int i = 0; i < 40; ++i) l->Items()->Add(L"line " + std::to_wstring(i));
  l->SetFocus();
  int downs = 0, ups = 0;
  TPoint at{};
  l->OnMouseWheelDown = [&](TObject*, TShiftState, TPoint P, bool& Handled) {
    ++downs;
    at = P;
    Handled = true;
  };
  l->OnMouseWheelUp = [&](TObject*, TShiftState, TPoint, bool& Handled) {
    ++ups;
    Handled = true;
  };
  const POINT centre = testsupport::ClientCentre(l->GetHandle());
  testsupport::MoveMouse(centre);
  testsupport::InputScript().Wheel(-WHEEL_DELTA).Send();
  ASSERT_TRUE(PumpUntil([&] { return downs == 1; }));
  EXPECT_EQ(ups, 0);
  EXPECT_EQ(at.x, centre.x);
  EXPECT_EQ(at.y, centre.y);
  testsupport::InputScript().Wheel(WHEEL_DELTA).Send();
  ASSERT_TRUE(PumpUntil([&] { return ups == 1; }));
  EXPECT_EQ(downs, 1);
  int wheels = 0;
  l->OnMouseWheel = [&](TObject*, TShiftState, int, TPoint, bool& Handled) {
    ++wheels;
    Handled = true;
  };
  testsupport::InputScript().Wheel(-WHEEL_DELTA).Wheel(WHEEL_DELTA).Send();
  ASSERT_TRUE(PumpUntil([&] { return wheels == 2; }));
  EXPECT_EQ(downs, 1);
  EXPECT_EQ(ups, 1);
}
