// The editor's windows on the screen they are shown on, at any dots per
// inch: every control inside its parent, check and radio buttons wide
// enough for their text, the tree's and the list's rows as tall as their
// text, a first start's sizes scaled to the screen. These run in the usual
// prefix at 96 dots per inch and once more in a prefix at 144.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "app/Dialogs.h"
#include "app/EditValue.h"
#include "app/EditValueBin.h"
#include "app/FindForm.h"
#include "app/OptionsForm.h"
#include "app/tests/e2e_support.h"
#include "classlib/ExtCtrls.h"
#include "testsupport/Input.h"
#include "toolbars/BarFloat.h"

using namespace e2e;

namespace {

int Dpi() { return Screen->PixelsPerInch(); }

// The height of a line of the window's font.
int LineHeight(HWND Window) {
  HDC dc = GetDC(Window);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(Window, WM_GETFONT, 0, 0)));
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  SelectObject(dc, old);
  ReleaseDC(Window, dc);
  return tm.tmHeight + tm.tmExternalLeading;
}

int TextWidth(HWND Window, String Text) {
  Text.erase(std::remove(Text.begin(), Text.end(), L'&'), Text.end());
  HDC dc = GetDC(Window);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(Window, WM_GETFONT, 0, 0)));
  SIZE size{};
  GetTextExtentPoint32W(dc, Text.c_str(), static_cast<int>(Text.size()), &size);
  SelectObject(dc, old);
  ReleaseDC(Window, dc);
  return size.cx;
}

// The control's place in its parent's client area as the screen shows it.
RECT PlaceInParent(TControl* C) {
  TWinControl* parent = C->GetParent();
  auto* win = dynamic_cast<TWinControl*>(C);
  if (!win || !win->HandleAllocated()) {
    return RECT{C->GetLeft(), C->GetTop(), C->GetLeft() + C->GetWidth(), C->GetTop() + C->GetHeight()};
  }
  RECT r;
  GetWindowRect(win->GetHandle(), &r);
  MapWindowPoints(nullptr, parent->GetHandle(), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

String Describe(TControl* C, const RECT& R, const RECT& Room) {
  wchar_t t[160];
  swprintf(t, 160, L" (%ld,%ld)-(%ld,%ld) in (%ld,%ld)-(%ld,%ld)", R.left, R.top, R.right, R.bottom, Room.left,
           Room.top, Room.right, Room.bottom);
  return (C->GetName().empty() ? String(L"<") + Utf8ToWide(C->ClassName()) + L">" : C->GetName()) + t;
}

// What the shown controls below Parent do wrong: a control reaching out of
// its parent's client area; a check or radio button narrower than its box
// and its text. Radio groups' buttons are left out with LeaveGroups.
void Faults(TWinControl* Parent, std::vector<String>& Out, bool LeaveGroups = false) {
  RECT room;
  GetClientRect(Parent->GetHandle(), &room);
  for (int i = 0; i < Parent->ControlCount(); ++i) {
    TControl* c = Parent->Controls(i);
    if (!c->GetVisible()) continue;
    const RECT r = PlaceInParent(c);
    if (r.left < room.left || r.top < room.top || r.right > room.right || r.bottom > room.bottom)
      Out.push_back(L"outside its parent: " + Describe(c, r, room));
    if (auto* box = dynamic_cast<TButtonControl*>(c); box && !dynamic_cast<TButton*>(c) && box->HandleAllocated()) {
      const int need = GetSystemMetrics(SM_CXMENUCHECK) + TextWidth(box->GetHandle(), box->GetCaption());
      if (r.right - r.left < need) Out.push_back(L"narrower than its text: " + Describe(c, r, room));
    }
    auto* win = dynamic_cast<TWinControl*>(c);
    if (win && win->HandleAllocated() && !(LeaveGroups && dynamic_cast<TCustomRadioGroup*>(c)))
      Faults(win, Out, LeaveGroups);
  }
}

String Joined(const std::vector<String>& Texts) {
  String all;
  for (const String& t : Texts) all += t + L"\n";
  return all;
}

// The buttons of a radio group inside its etched frame, each wide enough
// for its text.
void GroupFaults(TCustomRadioGroup* Group, std::vector<String>& Out) {
  RECT frame;
  GetClientRect(Group->GetHandle(), &frame);
  InflateRect(&frame, -2, -2);
  for (int i = 0; i < Group->ButtonCount(); ++i) {
    TRadioButton* b = Group->Buttons(i);
    const RECT r = PlaceInParent(b);
    if (r.left < frame.left || r.top < frame.top || r.right > frame.right || r.bottom > frame.bottom)
      Out.push_back(Group->GetName() + L": outside the frame: " + Describe(b, r, frame));
    if (r.right - r.left < GetSystemMetrics(SM_CXMENUCHECK) + TextWidth(b->GetHandle(), b->GetCaption()))
      Out.push_back(Group->GetName() + L": narrower than its text: " + Describe(b, r, frame));
  }
}

// How far down a control shows something: a label's text may end above
// its bottom.
LONG ShownBottom(TControl* C, const RECT& R) {
  auto* label = dynamic_cast<TCustomLabel*>(C);
  if (!label) return R.bottom;
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, label->Font()->GetHandle());
  const String text = label->GetCaption();
  RECT t{0, 0, R.right - R.left, 0};
  DrawTextW(dc, text.c_str(), int(text.size()), &t, DT_CALCRECT | DT_NOPREFIX | (label->GetWordWrap() ? DT_WORDBREAK : 0));
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return std::min(R.bottom, R.top + t.bottom);
}

// A horizontal band of the form's client area, taller than a wide gap
// between two rows of controls, that no shown control reaches into.
void EmptyBands(TWinControl* Form, std::vector<String>& Out) {
  RECT room;
  GetClientRect(Form->GetHandle(), &room);
  std::vector<std::pair<LONG, LONG>> rows;
  for (int i = 0; i < Form->ControlCount(); ++i)
    if (TControl* c = Form->Controls(i); c->GetVisible()) {
      const RECT r = PlaceInParent(c);
      rows.push_back({r.top, ShownBottom(c, r)});
    }
  std::sort(rows.begin(), rows.end());
  rows.push_back({room.bottom, room.bottom});
  const LONG widest = MulDiv(24, Dpi(), 96);
  LONG reached = room.top;
  for (const auto& [top, bottom] : rows) {
    if (top - reached > widest) {
      wchar_t t[100];
      swprintf(t, 100, L"%ls: nothing from y %ld to %ld of %ld", Form->GetName().c_str(), reached, top, room.bottom);
      Out.push_back(t);
    }
    reached = std::max(reached, bottom);
  }
}

// Sends the key and returns at once: a dialog's modal loop reads it.
void Post(WORD Vk) { testsupport::InputScript().Press(Vk).Post(); }

class ScreenDpi : public EditorTest {
 protected:
  // Opens the value with Enter in the values list, runs Check on the
  // editor that comes up and closes it with Escape.
  void WithValueEditor(const String& Name, const std::function<void(TForm*)>& Check) {
    SelectOnly(Window->lvKeyValues, {Name});
    Foreground(Window->lvKeyValues);
    auto shown = [&]() -> TForm* {
      for (TForm* f : {static_cast<TForm*>(F.EditValue), static_cast<TForm*>(F.EditValueBin)})
        if (f->GetVisible() && GetForegroundWindow() == f->GetHandle()) return f;
      return nullptr;
    };
    Script s;
    s.Steps = {{[] { return true; }, [] { Post(VK_RETURN); }},
               {[&] { return shown() != nullptr; },
                [&] {
                  Check(shown());
                  Post(VK_ESCAPE);
                }},
               {[&] { return !F.EditValue->GetVisible() && !F.EditValueBin->GetVisible(); }, [] {}}};
    EXPECT_EQ(s.Run(), s.Steps.size()) << WideToAnsi(Name) << ": 1: Enter; 2: the editor up; 3: Escape closed it";
  }
};

// The 144 run is at 144 indeed (a prefix whose setting took no effect
// would pass everything at 96).
TEST_F(ScreenDpi, TheScreenHasTheDotsPerInchOfThePrefix) {
  const char* wanted = std::getenv("ZEMBRIO_LOG_PIXELS");
  EXPECT_EQ(Dpi(), wanted && *wanted ? std::atoi(wanted) : 96);
}

// A first start: the window, the tree's width and the upper pane's height
// are the defaults scaled to the screen; the tree's rows and the values
// list's rows are as tall as their text; the panes lie inside the window.
TEST_F(ScreenDpi, TheMainWindowFitsItsPanesAndRowsToTheScreen) {
  Write(Data, L"Value", REG_SZ, Sz(L"text"));
  Start();
  dlgtest::Pump(50);
  EXPECT_EQ(Window->GetWidth(), MulDiv(500, Dpi(), 96));
  EXPECT_EQ(Window->GetHeight(), MulDiv(400, Dpi(), 96));
  EXPECT_EQ(Window->treeRegTree->GetWidth(), MulDiv(150, Dpi(), 96));
  EXPECT_EQ(Window->panelTop->GetHeight(), MulDiv(150, Dpi(), 96));
  ASSERT_NE(Open(), nullptr);
  dlgtest::Pump(50);

  HWND tree = Window->treeRegTree->GetHandle();
  const int treeLine = LineHeight(tree);
  EXPECT_GE(Window->treeRegTree->GetItemHeight(), treeLine);
  EXPECT_GE(Window->treeRegTree->GetItemHeight(), MulDiv(16, Dpi(), 96));
  TTreeExNode* node = Window->GetSelectedNode();
  ASSERT_NE(node, nullptr);
  const TRect row = node->DisplayRect(true);
  EXPECT_GE(row.bottom - row.top, treeLine);

  HWND list = Window->lvKeyValues->GetHandle();
  ASSERT_NE(ValueItem(L"Value"), nullptr);
  RECT item{LVIR_BOUNDS};
  ASSERT_TRUE(SendMessageW(list, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&item)));
  EXPECT_GE(item.bottom - item.top, LineHeight(list));

  std::vector<String> faults;
  for (TWinControl* pane : {static_cast<TWinControl*>(Window->panelTop), static_cast<TWinControl*>(Window->pagExtras),
                            static_cast<TWinControl*>(Window->sbStatus)}) {
    RECT r = PlaceInParent(pane), room;
    GetClientRect(Window->GetHandle(), &room);
    if (r.left < room.left || r.top < room.top || r.right > room.right || r.bottom > room.bottom)
      faults.push_back(L"outside the window: " + Describe(pane, r, room));
    Faults(pane, faults);
  }
  // The search panel with its Stop button, as a search shows it.
  Window->SearchStarted();
  dlgtest::Pump(30);
  Faults(Window->tbsFindResults, faults);
  Window->SearchFinished();
  EXPECT_TRUE(faults.empty()) << WideToUtf8(Joined(faults));
  // Off its row, the address box keeps a width of its own, scaled too.
  Window->tbrNavigation->SetFloating(true);
  EXPECT_EQ(Window->txtPath->GetEditWidth(), MulDiv(200, Dpi(), 96));
}

// Sizes saved on a screen of 96 dots per inch, stored with it, come up
// scaled to this screen: the window, the tree wide enough for the root
// names, the upper pane, the stored column widths; a list without a stored
// layout gets its first-start widths scaled too, its first column as wide
// as a root name needs. Closing stores the sizes with the screen's dots per
// inch, and the next start shows the same sizes again. Sizes stored without
// the dots per inch (older versions kept them in the screen's own pixels)
// come up as they are.
TEST_F(ScreenDpi, SizesSavedAtOneDpiComeUpScaledToTheScreen) {
  const String form = Settings + L"\\MainForm", values = Settings + L"\\ListViews\\Values";
  auto store = [&](bool WithDpi) {
    Write(Settings + L"\\General", L"BookmarkFile", REG_SZ, Sz(BookmarkFile));
    Write(Settings + L"\\General", L"ReopenPrevious", REG_DWORD, Dw(0));
    for (const auto& [name, size] : {std::pair{L"Top", 10}, {L"Left", 10}, {L"Width", 694}, {L"Height", 540},
                                     {L"LPWidth", 200}, {L"TPHeight", 250}})
      Write(form, name, REG_DWORD, Dw(size));
    Write(values, L"ColumnSizes", REG_SZ, Sz(L"150,310"));
    if (!WithDpi) return;
    Write(form, L"PixelsPerInch", REG_DWORD, Dw(96));
    Write(values, L"PixelsPerInch", REG_DWORD, Dw(96));
  };
  store(true);
  auto scaled = [](int Size) { return MulDiv(Size, Dpi(), 96); };
  auto check = [&](const char* When) {
    SCOPED_TRACE(When);
    dlgtest::Pump(50);
    EXPECT_EQ(Window->GetWidth(), scaled(694));
    EXPECT_EQ(Window->GetHeight(), scaled(540));
    EXPECT_EQ(Window->treeRegTree->GetWidth(), scaled(200));
    EXPECT_EQ(Window->panelTop->GetHeight(), scaled(250));
    EXPECT_EQ(Window->lvKeyValues->Columns()->GetItem(0)->GetWidth(), scaled(150));
    EXPECT_EQ(Window->lvKeyValues->Columns()->GetItem(1)->GetWidth(), scaled(310));
    EXPECT_EQ(Window->lvFindResults->Columns()->GetItem(1)->GetWidth(), scaled(180));
    // The root names show whole in the tree.
    RECT client;
    GetClientRect(Window->treeRegTree->GetHandle(), &client);
    for (TTreeExNode* root = Window->treeRegTree->Items()->GetFirstNode()->GetFirstChild(); root;
         root = root->GetNextSibling())
      EXPECT_LE(root->DisplayRect(true).right, client.right) << WideToUtf8(root->GetText());
    // The find results show rows, and their first column a root name whole
    // (the width the list would give it for its text).
    HWND results = Window->lvFindResults->GetHandle();
    EXPECT_GE(SendMessageW(results, LVM_GETCOUNTPERPAGE, 0, 0), 5);
    Window->AddFindResult(new TSearchHit{hkKeyName, RegRoot::CurrentUser, L"\\", L"", L""});
    const int given = Window->lvFindResults->Columns()->GetItem(0)->GetWidth();
    SendMessageW(results, LVM_SETCOLUMNWIDTH, 0, LVSCW_AUTOSIZE);
    EXPECT_GE(given, int(SendMessageW(results, LVM_GETCOLUMNWIDTH, 0, 0)));
    SendMessageW(results, LVM_SETCOLUMNWIDTH, 0, given);
    Window->lvFindResults->Items()->Clear();
  };
  Start();
  check("started");
  Stop();
  std::string dpi;
  DWORD type = 0;
  ASSERT_TRUE(Read(form, L"PixelsPerInch", type, dpi));
  EXPECT_EQ(dpi, Dw(Dpi()));
  ASSERT_TRUE(Read(values, L"PixelsPerInch", type, dpi));
  EXPECT_EQ(dpi, Dw(Dpi()));
  Start();
  check("started again");
  Stop();

  DeleteTree(Settings);
  store(false);
  Start();
  dlgtest::Pump(50);
  EXPECT_EQ(Window->GetWidth(), 694);
  EXPECT_EQ(Window->GetHeight(), 540);
  EXPECT_EQ(Window->treeRegTree->GetWidth(), 200);
  EXPECT_EQ(Window->panelTop->GetHeight(), 250);
  EXPECT_EQ(Window->lvKeyValues->Columns()->GetItem(0)->GetWidth(), 150);
  EXPECT_EQ(Window->lvKeyValues->Columns()->GetItem(1)->GetWidth(), 310);
}

// A DWORD of the settings, -1 when there is none.
int StoredInt(const String& Key, const wchar_t* Name) {
  DWORD type = 0;
  std::string bytes;
  if (!Read(Key, Name, type, bytes) || type != REG_DWORD || bytes.size() != 4) return -1;
  int v = 0;
  memcpy(&v, bytes.data(), 4);
  return v;
}

// Sizes stored on a screen of other dots per inch (144 here at 96, 96 at
// 144) that no longer fit once scaled: the window maximised, its normal
// size and place, the tree's width, the upper pane's height and the binary
// editor's size and place too large for the work area. A start that
// changed none of them stores them as they were asked for, so that back on
// the screen they were stored on they are what they were (an upper pane of
// 526 pixels at 96 came back at 236 after one start at 144). A split the
// user moved is stored as shown.
TEST_F(ScreenDpi, SizesFittedToTheScreenComeBackWholeOnTheirOwnScreen) {
  const int other = Dpi() == 96 ? 144 : 96;
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  // Sizes at the other dots per inch larger than this work area once
  // scaled, in multiples of 6 pixels, which scale between 96 and 144
  // without rounding.
  auto tooLarge = [&](LONG Pixels) {
    const int v = MulDiv(Pixels, other, Dpi());
    return v + 6 - v % 6;
  };
  const String form = Settings + L"\\MainForm", bin = Settings + L"\\EditBinForm";
  struct TStored {
    String Key;
    const wchar_t* Name;
    int Value;
    bool Size;  // scaled by dots per inch (a place is not)
  };
  const std::vector<TStored> stored = {
      {form, L"Left", 120, false},
      {form, L"Top", 90, false},
      {form, L"Width", tooLarge(work.right - work.left), true},
      {form, L"Height", tooLarge(work.bottom - work.top), true},
      {form, L"LPWidth", tooLarge(work.right - work.left), true},
      {form, L"TPHeight", tooLarge(work.bottom - work.top), true},
      {bin, L"EditBinLeft", 150, false},
      {bin, L"EditBinTop", 60, false},
      {bin, L"EditBinWidth", tooLarge(work.right - work.left), true},
      {bin, L"EditBinHeight", tooLarge(work.bottom - work.top), true}};
  for (const TStored& s : stored) Write(s.Key, s.Name, REG_DWORD, Dw(s.Value));
  Write(form, L"WindowState", REG_DWORD, Dw(2));
  Write(form, L"PixelsPerInch", REG_DWORD, Dw(other));
  Write(Data, L"Bin", REG_BINARY, std::string(40, '\x5A'));
  // What the next start on the other screen takes from the registry.
  auto expectKept = [&](const wchar_t* Except) {
    const int dpi = StoredInt(form, L"PixelsPerInch");
    ASSERT_GT(dpi, 0);
    for (const TStored& s : stored) {
      if (Except && s.Name == String(Except)) continue;
      const int v = StoredInt(s.Key, s.Name);
      EXPECT_EQ(s.Size ? MulDiv(v, other, dpi) : v, s.Value) << WideToUtf8(s.Name) << " stored as " << v << " at " << dpi;
    }
    EXPECT_EQ(StoredInt(form, L"WindowState"), 2);
  };

  Start();
  ASSERT_TRUE(PumpUntil([&] { return Window->GetWindowState() == wsMaximized; }));
  ASSERT_NE(Open(), nullptr);
  WithValueEditor(L"Bin", [](TForm*) {});
  Stop();
  expectKept(nullptr);

  // The split dragged with the mouse is stored as the window showed it.
  Start();
  ASSERT_TRUE(PumpUntil([&] { return Window->GetWindowState() == wsMaximized; }));
  SetForegroundWindow(Window->GetHandle());
  // The maximised layout settles in steps: the drag waits until the
  // splitter has stayed put over a few pumps.
  int same = 0, last = -1;
  ASSERT_TRUE(PumpUntil([&] {
    dlgtest::Pump(30);
    const int now = Window->spltHorizontal->GetTop();
    same = now == last ? same + 1 : 0;
    last = now;
    return same >= 3;
  }));
  TSplitter* split = Window->spltHorizontal;
  const int x = split->GetLeft() + split->GetWidth() / 2, y = split->GetTop() + split->GetHeight() / 2;
  const int before = Window->panelTop->GetHeight();
  testsupport::DragScript drag;
  drag.From = testsupport::ScreenPoint(Window->GetHandle(), x, y);
  drag.To = testsupport::ScreenPoint(Window->GetHandle(), x, y - 60);
  ASSERT_TRUE(testsupport::Drag(drag));
  ASSERT_TRUE(PumpUntil([&] { return Window->panelTop->GetHeight() == before - 60; }))
      << Window->panelTop->GetHeight() << " after " << before;
  Stop();
  EXPECT_EQ(StoredInt(form, L"TPHeight"), before - 60);
  EXPECT_EQ(StoredInt(form, L"PixelsPerInch"), Dpi());
  expectKept(L"TPHeight");
}

// A normal window stored larger than the screen is fitted to it, and its
// panes to the fitted window: the upper pane as asked where it fits, else
// as tall as the window allows, the find pane the rest (the find pane kept
// the height it was laid out at in the stored window, squashing the upper
// pane). The heights asked for are stored again while nobody moves them.
TEST_F(ScreenDpi, AWindowStoredLargerThanTheScreenSplitsAsAsked) {
  const String form = Settings + L"\\MainForm";
  for (const int asked : {400, 900}) {
    SCOPED_TRACE(asked);
    DeleteTree(Settings);
    Write(Settings + L"\\General", L"BookmarkFile", REG_SZ, Sz(BookmarkFile));
    for (const auto& [name, value] : {std::pair{L"Left", 40}, {L"Top", 10}, {L"Width", 1800}, {L"Height", 1500},
                                      {L"TPHeight", asked}, {L"WindowState", 0}, {L"PixelsPerInch", 96}})
      Write(form, name, REG_DWORD, Dw(value));
    Start();
    dlgtest::Pump(50);
    const int room = Window->GetClientHeight() - Window->tbdTop->GetHeight() - Window->sbStatus->GetHeight() -
                     Window->spltHorizontal->GetHeight();
    const int upper = std::min(MulDiv(asked, Dpi(), 96), room - Window->spltHorizontal->GetMinSize());
    EXPECT_EQ(Window->panelTop->GetHeight(), upper);
    EXPECT_EQ(Window->pagExtras->GetHeight(), room - upper);
    Stop();
    EXPECT_EQ(MulDiv(StoredInt(form, L"TPHeight"), 96, StoredInt(form, L"PixelsPerInch")), asked);
  }
}

// A size stored with the wrong type takes its default, which is this
// screen's already: it is not scaled once more from the dots per inch
// stored with the other sizes.
TEST_F(ScreenDpi, ASizeStoredWithTheWrongTypeTakesItsDefaultForThisScreen) {
  const String form = Settings + L"\\MainForm";
  Write(form, L"PixelsPerInch", REG_DWORD, Dw(Dpi() == 96 ? 144 : 96));
  Write(form, L"Width", REG_SZ, Sz(L"700"));
  Write(form, L"LPWidth", REG_BINARY, std::string(4, '\x01'));
  Write(Settings + L"\\EditBinForm", L"EditBinHeight", REG_SZ, Sz(L"300"));
  Start();
  dlgtest::Pump(30);
  EXPECT_EQ(Window->GetWidth(), MulDiv(500, Dpi(), 96));
  EXPECT_EQ(Window->treeRegTree->GetWidth(), MulDiv(150, Dpi(), 96));
  EXPECT_EQ(dmodCommon->OptionInt(SettingName::EditBinHeight), MulDiv(359, Dpi(), 96));
}

// A toolbar dragged off its dock floats with its whole caption: its
// floating window shows every pixel of the caption's text (at 144 dots per
// inch the caption font grows and the buttons do not: "View Toolbar"
// showed as "View ...").
TEST_F(ScreenDpi, AFloatingToolbarShowsItsWholeCaption) {
  Start();
  Window->SetBounds(20, 20, MulDiv(600, Dpi(), 96), MulDiv(450, Dpi(), 96));
  SetForegroundWindow(Window->GetHandle());
  dlgtest::Pump(50);
  RECT tr;
  GetWindowRect(Window->tbrView->GetHandle(), &tr);
  const POINT centre = testsupport::ClientCentre(Window->GetHandle());
  ASSERT_TRUE(testsupport::Drag({POINT{tr.left + 4, (tr.top + tr.bottom) / 2}, centre}));
  ASSERT_TRUE(PumpUntil([&] { return Window->tbrView->GetFloating(); }));
  TBarFloatingWindowParent* floating = Window->tbrView->GetFloatingParent();
  ASSERT_NE(floating, nullptr);
  const HWND fh = floating->GetHandle();
  ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(fh) != FALSE; }));
  // The pixels of the caption's text colours (active or not) in a stretch
  // of a device context.
  auto ink = [](HDC Dc, const RECT& R) {
    int count = 0;
    for (int y = R.top; y < R.bottom; ++y)
      for (int x = R.left; x < R.right; ++x) {
        const COLORREF c = GetPixel(Dc, x, y);
        count += c == GetSysColor(COLOR_CAPTIONTEXT) || c == GetSysColor(COLOR_INACTIVECAPTIONTEXT);
      }
    return count;
  };
  // The caption drawn where nothing cuts it.
  HDC screen = GetDC(nullptr), mem = CreateCompatibleDC(screen);
  RECT all{0, 0, 1000, GetSystemMetrics(SM_CYSMCAPTION)};
  HBITMAP bmp = CreateCompatibleBitmap(screen, all.right, all.bottom);
  HGDIOBJ old = SelectObject(mem, bmp);
  DrawCaption(fh, mem, &all, DC_SMALLCAP | DC_TEXT | DC_ACTIVE);
  const int whole = ink(mem, all);
  SelectObject(mem, old);
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  // What the floating window shows of it, once it has painted its frame.
  auto shown = [&] {
    RECT cap = floating->GetCaptionRect();
    if (Window->tbrView->CloseButton) cap.right = floating->GetCloseButtonRect().left;
    RedrawWindow(fh, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_UPDATENOW);
    HDC dc = GetWindowDC(fh);
    const int n = ink(dc, cap);
    ReleaseDC(fh, dc);
    return n;
  };
  EXPECT_GT(whole, 0);
  PumpUntil([&] { return shown() == whole; });
  EXPECT_EQ(shown(), whole);
}

// A toolbar stored floating near the work area's bottom-right corner,
// where at the dots per inch it was stored at it fitted, comes up as big
// as it is on this screen wholly on the work area, its close button in
// reach; one stored wholly on the work area comes up where it was. Left
// where the start brought it, it is stored where it was stored (back on
// its own screen it was 45 pixels left of where the user put it); moved by
// the user, where the user put it; docked by the user, where it last
// floated.
TEST_F(ScreenDpi, AToolbarStoredFloatingComesUpWhollyOnTheWorkArea) {
  const String stored = Settings + L"\\Toolbars\\tbrView";
  auto storeFloating = [&](LONG Left, LONG Top) {
    for (const auto& [name, text] : {std::pair{L"Rev", L"2000"}, {L"Visible", L"1"}, {L"DockedTo", L"+"},
                                     {L"LastDock", L"tbdTop"}})
      Write(stored, name, REG_SZ, Sz(text));
    Write(stored, L"FloatLeft", REG_SZ, Sz(IntToStr(Left)));
    Write(stored, L"FloatTop", REG_SZ, Sz(IntToStr(Top)));
  };
  auto floatingRect = [&] {
    RECT r{};
    TBarFloatingWindowParent* f = Window->tbrView->GetFloatingParent();
    if (Window->tbrView->GetFloating() && f) GetWindowRect(f->GetHandle(), &r);
    return r;
  };
  storeFloating(100, 120);
  Start();
  RECT fr = floatingRect();
  EXPECT_EQ(fr.left, 100);
  EXPECT_EQ(fr.top, 120);
  const LONG width = fr.right - fr.left, height = fr.bottom - fr.top;
  ASSERT_GT(width, 0);
  Stop();

  RECT wa;
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &wa, 0);
  storeFloating(wa.right - width + 45, wa.bottom - height + 10);
  Start();
  fr = floatingRect();
  EXPECT_EQ(fr.right - fr.left, width);
  EXPECT_EQ(fr.right, wa.right);
  EXPECT_EQ(fr.bottom, wa.bottom);
  const RECT close = Window->tbrView->GetFloatingParent()->GetCloseButtonRect();
  const POINT closeCentre{fr.left + (close.left + close.right) / 2, fr.top + (close.top + close.bottom) / 2};
  EXPECT_TRUE(PtInRect(&wa, closeCentre));
  Stop();
  auto storedAt = [&] {
    DWORD type = 0;
    std::string left, top;
    Read(stored, L"FloatLeft", type, left);
    Read(stored, L"FloatTop", type, top);
    return std::pair{left, top};
  };
  EXPECT_EQ(storedAt(), std::pair(Sz(IntToStr(wa.right - width + 45)), Sz(IntToStr(wa.bottom - height + 10))));

  // Dragged by its caption 40 pixels left and up.
  Start();
  fr = floatingRect();
  const RECT caption = Window->tbrView->GetFloatingParent()->GetCaptionRect();
  const POINT grip{fr.left + caption.left + 8, fr.top + (caption.top + caption.bottom) / 2};
  ASSERT_TRUE(testsupport::Drag({grip, POINT{grip.x - 40, grip.y - 40}}));
  ASSERT_TRUE(PumpUntil([&] { return floatingRect().left == fr.left - 40; })) << floatingRect().left;
  Stop();
  EXPECT_EQ(storedAt(), std::pair(Sz(IntToStr(fr.left - 40)), Sz(IntToStr(fr.top - 40))));

  // Brought onto the work area, then docked with a double click on its
  // caption: the place stored is where it last floated, on this screen
  // (the place it was stored at would float it partly off the screen).
  storeFloating(wa.right - width + 45, wa.bottom - height + 10);
  Start();
  fr = floatingRect();
  const RECT cap = Window->tbrView->GetFloatingParent()->GetCaptionRect();
  dlgtest::Pump(int(GetDoubleClickTime()) + 30);  // apart from the drag's click
  testsupport::DoubleClick(POINT{fr.left + cap.left + 6, fr.top + (cap.top + cap.bottom) / 2});
  ASSERT_TRUE(PumpUntil([&] { return Window->tbrView->GetDocked(); }));
  Stop();
  EXPECT_EQ(storedAt(), std::pair(Sz(IntToStr(fr.left)), Sz(IntToStr(fr.top))));
}

// The tree's rows follow the font the options give, up and down again.
TEST_F(ScreenDpi, TheTreeRowsFollowTheFont) {
  const String look = Settings + L"\\Appearance";
  Write(Settings + L"\\General", L"BookmarkFile", REG_SZ, Sz(BookmarkFile));
  Write(look, L"UseSystemFont", REG_DWORD, Dw(0));
  Write(look, L"FontSize", REG_DWORD, Dw(20));
  Start();
  HWND tree = Window->treeRegTree->GetHandle();
  const int big = Window->treeRegTree->GetItemHeight();
  EXPECT_GE(big, LineHeight(tree));
  Write(look, L"FontSize", REG_DWORD, Dw(8));
  Window->LoadOptions(false);
  const int small = Window->treeRegTree->GetItemHeight();
  EXPECT_GE(small, LineHeight(tree));
  EXPECT_GE(small, MulDiv(16, Dpi(), 96));
  EXPECT_LT(small, big);
}

// The find dialog and every page of the options dialog: each control in
// its parent and every check box as wide as its text. The radio groups'
// buttons are checked on their own below.
TEST_F(ScreenDpi, TheDialogsKeepTheirControlsInside) {
  Start();
  std::vector<String> faults;
  ASSERT_TRUE(WithModal([&] { Window->mnuEdit_FindClick(nullptr); }, {[&] {
                          Faults(F.Find, faults, true);
                          F.Find->SetModalResult(mrCancel);
                        }}));
  TfrmOptions* options = F.Options;
  std::vector<std::function<void()>> steps;
  for (int page = 0; page < options->pagesOptions->PageCount(); ++page)
    steps.push_back([&, page] {
      options->pagesOptions->SetActivePageIndex(page);
      dlgtest::Pump(20);
      Faults(options, faults, true);
      if (page == options->pagesOptions->PageCount() - 1) options->btnCancel->Click();
    });
  ASSERT_TRUE(WithModal([&] { Window->mnuFile_PreferencesClick(nullptr); }, steps));
  EXPECT_TRUE(faults.empty()) << WideToUtf8(Joined(faults));
}

// Every choice of the find dialog's "Search Type" and "Search Scope" and of
// the options' "Toolbar Grip Style" shows whole inside its group's frame
// (the group's buttons are scaled once: at 144 dots per inch a 242-pixel
// group once held 347-pixel buttons).
TEST_F(ScreenDpi, RadioGroupsShowEveryChoiceWhole) {
  Start();
  std::vector<String> faults;
  ASSERT_TRUE(WithModal([&] { Window->mnuEdit_FindClick(nullptr); }, {[&] {
                          GroupFaults(F.Find->rgrpType, faults);
                          GroupFaults(F.Find->rgrpScope, faults);
                          F.Find->SetModalResult(mrCancel);
                        }}));
  TfrmOptions* options = F.Options;
  ASSERT_TRUE(WithModal([&] { Window->mnuFile_PreferencesClick(nullptr); }, {[&] {
                          options->pagesOptions->SetActivePage(options->pagAppearance);
                          dlgtest::Pump(20);
                          GroupFaults(options->rgrpDragHandleStyle, faults);
                          options->btnCancel->Click();
                        }}));
  EXPECT_TRUE(faults.empty()) << WideToUtf8(Joined(faults));
}

// Each value editor (string, expandable string, integer, binary) and the
// error box hold every control inside and no empty band. The binary
// editor, sizeable, does so at its first-start size, maximised and at a
// size an earlier run stored too small or too large for the screen (at 144
// dots per inch its anchored controls once lay out for a dialog half as big
// again: OK and Cancel out of sight even maximised).
TEST_F(ScreenDpi, TheValueEditorsAndTheMessageBoxesKeepTheirControlsInside) {
  Write(Data, L"Str", REG_SZ, Sz(L"text"));
  Write(Data, L"Exp", REG_EXPAND_SZ, Sz(L"%PATH%"));
  Write(Data, L"Int", REG_DWORD, Dw(42));
  Write(Data, L"Bin", REG_BINARY, std::string(40, '\x5A'));
  Start();
  ASSERT_NE(Open(), nullptr);
  std::vector<String> faults;
  auto check = [&](TForm* Form) {
    dlgtest::Pump(20);
    Faults(Form, faults, true);
    EmptyBands(Form, faults);
  };
  for (const wchar_t* name : {L"Str", L"Exp", L"Int"}) {
    WithValueEditor(name, [&](TForm* Form) {
      EXPECT_EQ(Form, F.EditValue) << WideToAnsi(name);
      check(Form);
    });
  }
  WithValueEditor(L"Bin", [&](TForm* Form) {
    ASSERT_EQ(Form, F.EditValueBin);
    check(Form);
    SendMessageW(Form->GetHandle(), WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    ASSERT_TRUE(IsZoomed(Form->GetHandle()));
    check(Form);
    SendMessageW(Form->GetHandle(), WM_SYSCOMMAND, SC_RESTORE, 0);
  });
  TfrmError::ShowHook = nullptr;
  for (const String& text : {String(L"Short."), String(L"Unable to save.\n\n") + String(30, L'x') + L"\nMessage: m"})
    ASSERT_TRUE(WithModal([&] { dmodCommon->ShowErrorText(text); }, {[&] {
                            check(frmError);
                            frmError->btnOK->Click();
                          }}));
  for (const String& item : {String(L"Key"), String(L"HKEY_CURRENT_USER\\") + String(120, L'k')})
    ASSERT_TRUE(WithModal([&] { dmodCommon->ConfirmDelete(L"key", item); }, {[&] {
                            check(frmConfirm);
                            frmConfirm->btnNo->Click();
                          }}));
  EXPECT_TRUE(faults.empty()) << WideToUtf8(Joined(faults));
}

// A binary editor size stored too small or too large opens at a size that
// holds every control, inside the work area.
TEST_F(ScreenDpi, ABinaryEditorSizeStoredByAnEarlierRunNeverHidesItsControls) {
  Write(Data, L"Bin", REG_BINARY, std::string(40, '\x5A'));
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  for (const auto& [w, h] : std::vector<std::pair<int, int>>{{60, 40}, {20000, 20000}}) {
    SCOPED_TRACE(testing::Message() << w << " x " << h);
    Write(Settings + L"\\EditBinForm", L"EditBinWidth", REG_DWORD, Dw(w));
    Write(Settings + L"\\EditBinForm", L"EditBinHeight", REG_DWORD, Dw(h));
    Start();
    ASSERT_NE(Open(), nullptr);
    std::vector<String> faults;
    WithValueEditor(L"Bin", [&](TForm* Form) {
      dlgtest::Pump(20);
      Faults(Form, faults, true);
      RECT r;
      GetWindowRect(Form->GetHandle(), &r);
      EXPECT_TRUE(r.left >= work.left && r.top >= work.top && r.right <= work.right && r.bottom <= work.bottom)
          << r.left << "," << r.top << "-" << r.right << "," << r.bottom;
      // Some rows of bytes.
      THexEditor* he = F.EditValueBin->heValue;
      EXPECT_GE(he->GetClientHeight(), 4 * he->RowHeightPx());
    });
    Stop();
    EXPECT_TRUE(faults.empty()) << WideToUtf8(Joined(faults));
  }
}

// The "..." buttons of the options stand beside their edits as tall as them.
TEST_F(ScreenDpi, ThePreferencesBrowseButtonsAreAsTallAsTheirEdits) {
  Start();
  TfrmOptions* options = F.Options;
  std::vector<String> faults;
  std::vector<std::function<void()>> steps;
  for (auto [edit, button] : {std::pair<TEdit*, TButton*>{options->edtBookmarkFile, options->btnSelectBookmarkFile},
                              std::pair<TEdit*, TButton*>{options->edtFont, options->btnFont}})
    steps.push_back([&, edit, button] {
      options->pagesOptions->SetActivePage(static_cast<TTabSheet*>(edit->GetParent()));
      dlgtest::Pump(20);
      const RECT e = PlaceInParent(edit), b = PlaceInParent(button);
      if (b.top != e.top || b.bottom != e.bottom) faults.push_back(Describe(button, b, e));
      if (edit == options->edtFont) options->btnCancel->Click();
    });
  ASSERT_TRUE(WithModal([&] { Window->mnuFile_PreferencesClick(nullptr); }, steps));
  EXPECT_TRUE(faults.empty()) << WideToUtf8(Joined(faults));
}

}  // namespace

