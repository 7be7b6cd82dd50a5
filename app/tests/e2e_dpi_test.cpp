// The editor's windows on the screen they are shown on, at any dots per
// inch: every control inside its parent, check and radio buttons wide
// enough for their text, the tree's and the list's rows as tall as their
// text, a first start's sizes scaled to the screen. These run in the usual
// prefix at 96 dots per inch and once more in a prefix at 144.
#include <algorithm>
#include <cstdlib>

#include "app/FindForm.h"
#include "app/OptionsForm.h"
#include "app/tests/e2e_support.h"
#include "classlib/ExtCtrls.h"

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

class ScreenDpi : public EditorTest {};

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

}  // namespace
