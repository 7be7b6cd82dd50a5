// The main window's frame as a user meets it: the menu bar and the way back
// to it, the panes after a restart and in a small window, the tree's
// context menu from the mouse and the keyboard, a key deleted elsewhere, a
// renamed key's expand button, the program's icon, and the error and
// confirm dialogs answered from the keyboard.
#include <algorithm>
#include <vector>

#include "app/AboutForm.h"
#include "app/frmConfirmU.h"
#include "app/frmErrorU.h"
#include "app/Help.h"
#include "app/tests/e2e_support.h"
#include "classlib/Clipbrd.h"
#include "testsupport/Input.h"
#include "toolbars/BarPopup.h"
#include "toolbars/BarViews.h"

using namespace e2e;

namespace {

// Sends the keys and returns at once (a modal loop may be the one to read them).
void Post(WORD Vk, const std::vector<WORD>& Mods = {}) { testsupport::InputScript().Press(Vk, Mods).Post(); }

// The pixels of an icon drawn on white at Size by Size.
std::vector<DWORD> IconPixels(HICON Icon, int Size) {
  BITMAPINFO bi{};
  bi.bmiHeader = {sizeof(BITMAPINFOHEADER), Size, -Size, 1, 32, BI_RGB};
  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bmp = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(dc, bmp);
  RECT r{0, 0, Size, Size};
  FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  DrawIconEx(dc, 0, 0, Icon, Size, Size, 0, nullptr, DI_NORMAL);
  GdiFlush();
  std::vector<DWORD> px(static_cast<const DWORD*>(bits), static_cast<const DWORD*>(bits) + Size * Size);
  SelectObject(dc, old);
  DeleteObject(bmp);
  DeleteDC(dc);
  return px;
}

HWND OpenPopup() { return Shown<TBarPopupWindow>(); }
String ShownHint() {
  wchar_t text[256] = {};
  if (HWND w = Shown<THintWindow>()) GetWindowTextW(w, text, 255);
  return text;
}

class AppWindow : public EditorTest {
 protected:
  // Bounds of a control in the main window's client coordinates.
  RECT InWindow(TControl* C) {
    RECT r;
    GetWindowRect(static_cast<TWinControl*>(C)->GetHandle(), &r);
    MapWindowPoints(nullptr, Window->GetHandle(), reinterpret_cast<POINT*>(&r), 2);
    return r;
  }
  void StoreGeometry(int Width, int Height, int UpperPane) {
    for (const auto& [name, v] : std::vector<std::pair<const wchar_t*, int>>{
             {L"Top", 0}, {L"Left", 0}, {L"Width", Width}, {L"Height", Height}, {L"TPHeight", UpperPane}})
      Write(Settings + L"\\MainForm", name, REG_DWORD, Dw(uint32_t(v)));
  }
  // Clicks Item where View shows it (posted: a menu's loop may read it).
  static void ClickItem(TBarView* View, TBarCustomItem* Item) {
    TBarItemViewer* v = View->Find(Item);
    if (!v) return;
    const RECT& r = v->BoundsRect;
    testsupport::InputScript()
        .Click(testsupport::ScreenPoint(View->Window->GetHandle(), (r.left + r.right) / 2, (r.top + r.bottom) / 2))
        .Post();
  }
  // Clicks Path's items one after the other, each in the pop-up the one
  // before opened, the first on Bar; true when every pop-up came and went.
  static bool ChooseFrom(TSkinToolbar* Bar, std::vector<TBarCustomItem*> Path) {
    TBarView* view = Bar->View();
    Script s;
    for (size_t i = 0; i < Path.size(); ++i) {
      TBarCustomItem* item = Path[i];
      TBarCustomItem* opener = i ? Path[i - 1] : nullptr;
      s.Steps.push_back({[&view, opener] {
                           if (!opener) return true;
                           if (!view->OpenViewer || view->OpenViewer->Item != opener || !view->OpenViewerView)
                             return false;
                           view = view->OpenViewerView;
                           return true;
                         },
                         [&view, item] { ClickItem(view, item); }});
    }
    s.Steps.push_back({[] { return OpenPopup() == nullptr; }, [] {}});
    return s.Run() == s.Steps.size();
  }
  // The screen point of the middle of a node's text.
  POINT NodeCentre(TTreeExNode* Node) {
    const TRect r = Node->DisplayRect(true);
    return testsupport::ScreenPoint(Window->treeRegTree->GetHandle(), (r.left + r.right) / 2, (r.top + r.bottom) / 2);
  }
  // Toolbars, key and values panes, splitter, lower pane and status bar lie
  // one below the other inside the window, none over another; the upper
  // panel keeps at least MinUpper pixels and the lower pane at least MinLower.
  void ExpectStacked(int MinUpper, int MinLower) {
    RECT client;
    ::GetClientRect(Window->GetHandle(), &client);
    const RECT dock = InWindow(Window->tbdTop), upper = InWindow(Window->panelTop),
               lower = InWindow(Window->pagExtras), status = InWindow(Window->sbStatus);
    SCOPED_TRACE(testing::Message() << "client height " << client.bottom);
    EXPECT_EQ(dock.top, 0);
    EXPECT_GE(upper.top, dock.bottom);
    EXPECT_GE(upper.bottom - upper.top, MinUpper);
    EXPECT_GE(lower.top, upper.bottom);
    EXPECT_GE(lower.bottom - lower.top, MinLower);
    EXPECT_LE(lower.bottom, status.top);
    EXPECT_EQ(status.bottom, client.bottom);
    EXPECT_GT(Window->treeRegTree->GetHeight(), 0);
    EXPECT_GT(Window->lvKeyValues->GetHeight(), 0);
  }
};

// With close buttons on docked toolbars the menu bar has one too: a click
// on it hides the menu bar and clears "Menu toolbar", which the View
// toolbar's drop-down then brings back; closing the one of the two while
// the other is hidden shows the other, at once and at the next start.
TEST_F(AppWindow, TheMenuBarClosesByItsButtonAndAWayBackStays) {
  Write(Settings + L"\\Appearance", L"CloseButtonDocked", REG_DWORD, Dw(1));
  Start();
  Foreground(Window->treeRegTree);
  TSkinToolbar *menuBar = Window->tbrMainMenu, *viewBar = Window->tbrView;
  // A click on a docked toolbar's close button, beside its grip.
  auto closeByButton = [](TSkinToolbar* Bar) {
    RECT r;
    GetWindowRect(Bar->GetHandle(), &r);
    testsupport::Click(POINT{r.left + 7, r.top + 7});
  };
  ASSERT_TRUE(menuBar->GetCloseButtonWhenDocked());
  closeByButton(menuBar);
  ASSERT_TRUE(PumpUntil([&] { return !menuBar->GetVisible(); }));
  EXPECT_FALSE(Window->mnuView_TB_Menu->GetChecked());
  EXPECT_TRUE(viewBar->GetVisible());
  // Back through the View toolbar's Toolbars drop-down.
  ASSERT_TRUE(ChooseFrom(viewBar, {Window->tbtnView_Toolbars, Window->mnuView_TB_Menu}));
  ASSERT_TRUE(PumpUntil([&] { return menuBar->GetVisible(); }));
  EXPECT_TRUE(Window->mnuView_TB_Menu->GetChecked());
  // The View toolbar closed by its button, then the menu bar by its own:
  // the View toolbar comes back.
  closeByButton(viewBar);
  ASSERT_TRUE(PumpUntil([&] { return !viewBar->GetVisible(); }));
  closeByButton(menuBar);
  EXPECT_TRUE(PumpUntil([&] { return !menuBar->GetVisible() && viewBar->GetVisible(); }));
  EXPECT_FALSE(Window->mnuView_TB_Menu->GetChecked());
  EXPECT_TRUE(Window->mnuView_TB_View->GetChecked());
  ASSERT_TRUE(ChooseFrom(viewBar, {Window->tbtnView_Toolbars, Window->mnuView_TB_Menu}));
  EXPECT_TRUE(PumpUntil([&] { return menuBar->GetVisible(); }));
  Stop();

  // A menu bar stored hidden stays hidden while the View toolbar shows...
  auto storeVisible = [&](const wchar_t* Bar, const wchar_t* Visible) {
    Write(Settings + L"\\Toolbars\\" + Bar, L"Visible", REG_SZ, Sz(Visible));
  };
  storeVisible(L"tbrMainMenu", L"0");
  storeVisible(L"tbrView", L"1");
  Start();
  EXPECT_FALSE(Window->tbrMainMenu->GetVisible());
  EXPECT_FALSE(Window->mnuView_TB_Menu->GetChecked());
  Stop();
  // ... and comes back when the View toolbar is stored hidden too.
  storeVisible(L"tbrView", L"0");
  Start();
  EXPECT_TRUE(Window->tbrMainMenu->GetVisible());
  EXPECT_TRUE(Window->mnuView_TB_Menu->GetChecked());
  EXPECT_FALSE(Window->tbrView->GetVisible());
  Stop();
  DWORD type = 0;
  std::string bytes;
  ASSERT_TRUE(Read(Settings + L"\\Toolbars\\tbrMainMenu", L"Visible", type, bytes));
  EXPECT_EQ(bytes, Sz(L"1"));
}

// The Toolbars submenu chosen with the mouse, from the menu bar and from the
// View toolbar's drop-down: "Menu toolbar" hides the menu bar and clears
// its check; the drop-down brings it back. Hiding the one of the two while
// the other is hidden shows the other.
TEST_F(AppWindow, TheMenuToolbarItemHidesTheMenuBarAndTheViewToolbarBringsItBack) {
  Start();
  Foreground(Window->treeRegTree);
  auto menuBar = [&] { return Window->tbrMainMenu->GetVisible(); };
  auto viewBar = [&] { return Window->tbrView->GetVisible(); };
  ASSERT_TRUE(ChooseFrom(Window->tbrMainMenu, {Window->mnuView, Window->mnuView_Toolbars, Window->mnuView_TB_Menu}));
  EXPECT_TRUE(PumpUntil([&] { return !menuBar(); }));
  EXPECT_FALSE(Window->mnuView_TB_Menu->GetChecked());
  EXPECT_TRUE(viewBar());
  ASSERT_TRUE(ChooseFrom(Window->tbrView, {Window->tbtnView_Toolbars, Window->mnuView_TB_Menu}));
  EXPECT_TRUE(PumpUntil(menuBar));
  EXPECT_TRUE(Window->mnuView_TB_Menu->GetChecked());

  // The View toolbar hidden, then the menu bar: the View toolbar comes back.
  ASSERT_TRUE(ChooseFrom(Window->tbrMainMenu, {Window->mnuView, Window->mnuView_Toolbars, Window->mnuView_TB_View}));
  ASSERT_TRUE(PumpUntil([&] { return !viewBar(); }));
  ASSERT_TRUE(ChooseFrom(Window->tbrMainMenu, {Window->mnuView, Window->mnuView_Toolbars, Window->mnuView_TB_Menu}));
  EXPECT_TRUE(PumpUntil([&] { return !menuBar() && viewBar(); }));
  EXPECT_TRUE(Window->mnuView_TB_View->GetChecked());
  // And the View toolbar hidden from its own drop-down: the menu bar.
  ASSERT_TRUE(ChooseFrom(Window->tbrView, {Window->tbtnView_Toolbars, Window->mnuView_TB_View}));
  EXPECT_TRUE(PumpUntil([&] { return menuBar() && !viewBar(); }));
  EXPECT_TRUE(Window->mnuView_TB_Menu->GetChecked());
  EXPECT_FALSE(Window->mnuView_TB_View->GetChecked());
}

// A right click on a key other than the selected one: the pop-up's "Copy
// key path" copies the key clicked. A right click below the keys clears the
// selection, and the pop-up's key commands find no key.
TEST_F(AppWindow, ARightClickChoosesTheKeyThePopupActsOn) {
  CreateKey(Data + L"\\A");
  CreateKey(Data + L"\\B");
  StoreGeometry(640, 600, 400);  // room for the top node and the root keys
  Start();
  TTreeExNode* a = Open(L"A");
  ASSERT_NE(a, nullptr);
  TTreeExNode* b = Window->FindChild(a->GetParent(), L"B");
  ASSERT_NE(b, nullptr);
  Foreground(Window->treeRegTree);
  auto copyFromPopupAt = [&](POINT At) {
    Script s;
    s.Steps = {{[] { return true; },
                [At] { testsupport::InputScript().Click(At, {}, testsupport::Button::Right).Post(); }},
               {[] { return OpenPopup() != nullptr; },
                [&] {
                  auto* popup = static_cast<TBarPopupWindow*>(TWinControl::FindControl(OpenPopup()));
                  ClickItem(popup->View, Window->pmnuTree_CopyKey);
                }},
               {[] { return OpenPopup() == nullptr; }, [] {}}};
    return s.Run() == s.Steps.size();
  };
  Clipboard()->SetAsText(L"untouched");
  ASSERT_TRUE(copyFromPopupAt(NodeCentre(b)));
  EXPECT_EQ(Window->GetSelectedNode(), b);
  EXPECT_EQ(Clipboard()->GetAsText(), L"HKEY_CURRENT_USER\\" + Data + L"\\B");
  EXPECT_EQ(Window->GetStatusText(), L"Copied path of the selected key to the clipboard.");

  // Only the top node and the root keys left, so that the tree has room
  // below its last row: HKEY_CURRENT_USER is then the selected key.
  TTreeExNode* user = Window->FindChild(Window->treeRegTree->Items()->GetFirstNode(), L"HKEY_CURRENT_USER");
  ASSERT_NE(user, nullptr);
  user->Collapse(true);
  dlgtest::Pump(30);
  ASSERT_EQ(Window->GetSelectedNode(), user);
  const TRect last = Window->treeRegTree->GetLastVisibleNode()->DisplayRect(false);
  ASSERT_LT(last.bottom + 20, Window->treeRegTree->GetClientHeight());
  Clipboard()->SetAsText(L"untouched");
  ASSERT_TRUE(copyFromPopupAt(testsupport::ScreenPoint(Window->treeRegTree->GetHandle(), 20, last.bottom + 12)));
  EXPECT_EQ(Window->GetSelectedNode(), nullptr);
  EXPECT_EQ(Clipboard()->GetAsText(), L"untouched");
  EXPECT_EQ(Window->GetStatusText(), L"No registry key is selected.");
}

// A key deleted by another program, then clicked in the tree: the error
// text says the program has lost step with the registry, and the list
// shows nothing the value commands could take for the key's values.
TEST_F(AppWindow, ClickingAKeyDeletedElsewhereShowsTheErrorAndAnEmptyList) {
  CreateKey(Data + L"\\Gone");
  Write(Data, L"Here", REG_SZ, Sz(L"x"));
  Start();
  TTreeExNode* gone = Open(L"Gone");
  ASSERT_NE(gone, nullptr);
  ASSERT_NE(Open(), nullptr);
  ASSERT_NE(ValueItem(L"Here"), nullptr);
  Foreground(Window->treeRegTree);
  DeleteTree(Data + L"\\Gone");
  testsupport::Click(NodeCentre(gone));
  ASSERT_TRUE(PumpUntil([&] { return Window->GetSelectedNode() == gone; }));
  EXPECT_EQ(Errors, std::vector<String>{L"An exception occurred attempting to load values for a key. This is a "
                                        L"symptom that Zembrio has lost synchronization with the registry.  Please "
                                        L"restart the program."});
  EXPECT_EQ(Window->lvKeyValues->Items()->GetCount(), 0);
  EXPECT_FALSE(KeyExists(Data + L"\\Gone"));
}

// A key that is listed but can't be opened (a link to a key that is not
// there), clicked in the tree: said plainly to be unreadable, and why (the
// program has not lost step, and no restart helps), with an empty list.
// Opened by its path typed in the address box, it is said so too, never
// "Key opened" (nor, made while the tree showed its parent's keys, "does
// not exist"). The key above it deleted from the tree (Delete) takes it
// along.
TEST_F(AppWindow, AListedKeyThatCantBeOpenedIsSaidUnreadableAndGoesWithTheKeyAbove) {
  const String target = L"\\Registry\\User\\ZembrioNoSuchUser\\Missing";
  testsupport::reg::CreateLink(Data + L"\\Top\\Dangling", target);
  Write(Data + L"\\Top", L"v", REG_SZ, Sz(L"x"));
  Start();
  TTreeExNode* top = Open(L"Top");
  ASSERT_NE(top, nullptr);
  top->Expand(false);
  TTreeExNode* link = Window->FindChild(top, L"Dangling");
  ASSERT_NE(link, nullptr);
  Foreground(Window->treeRegTree);
  testsupport::Click(NodeCentre(link));
  ASSERT_TRUE(PumpUntil([&] { return Window->GetSelectedNode() == link; }));
  const String where = L"HKEY_CURRENT_USER\\" + Data + L"\\Top\\Dangling";
  EXPECT_EQ(Errors, std::vector<String>{L"The values of the key can't be read.\n\nKey: " + where +
                                        L"\nIt is a link to a key that does not exist: " + target + L"."});
  EXPECT_EQ(Window->GetStatusText(), L"Unable to read the values of the key " + where + L".");
  EXPECT_EQ(Window->lvKeyValues->Items()->GetCount(), 0);

  for (const String name : {L"Dangling", L"Later"}) {
    SCOPED_TRACE(WideToAnsi(name));
    if (name == L"Later") testsupport::reg::CreateLink(Data + L"\\Top\\Later", target);
    testsupport::Click(NodeCentre(top));
    ASSERT_TRUE(PumpUntil([&] { return Window->GetSelectedNode() == top; }));
    Errors.clear();
    const String path = L"HKEY_CURRENT_USER\\" + Data + L"\\Top\\" + name;
    Window->txtPath->SetText(path);
    TBarItemViewer* box = Window->tbrNavigation->View()->Find(Window->txtPath);
    ASSERT_NE(box, nullptr);
    const RECT r = box->BoundsRect;
    testsupport::InputScript()
        .Click(testsupport::ScreenPoint(Window->tbrNavigation->GetHandle(), (r.left + r.right) / 2,
                                        (r.top + r.bottom) / 2))
        .Press(VK_RETURN)
        .Post();
    ASSERT_TRUE(PumpUntil([&] { return !Errors.empty() || !Messages().empty(); }));
    dlgtest::Pump(30);
    EXPECT_EQ(Errors, std::vector<String>{L"The values of the key can't be read.\n\nKey: " + path +
                                          L"\nIt is a link to a key that does not exist: " + target + L"."});
    EXPECT_TRUE(Messages().empty()) << WideToAnsi(Messages().empty() ? String() : Messages()[0]);
    EXPECT_EQ(Window->GetStatusText(), L"Unable to read the values of the key " + path + L".");
  }

  testsupport::Click(NodeCentre(top));
  ASSERT_TRUE(PumpUntil([&] { return Window->GetSelectedNode() == top; }));
  Errors.clear();
  TfrmConfirm::ExecuteHook = [](TfrmConfirm*) { return int(mrYes); };
  testsupport::PressKey(VK_DELETE);
  EXPECT_TRUE(PumpUntil([&] { return !KeyExists(Data + L"\\Top"); }, 5000));
  EXPECT_EQ(Window->GetStatusText(), L"Key deleted.");
  EXPECT_TRUE(Errors.empty()) << WideToAnsi(Errors.empty() ? String() : Errors[0]);
}

// The start reopening a key that can't be read says so once the window is
// on the screen, not before it shows.
TEST_F(AppWindow, AReopenedKeyThatCantBeReadIsSaidOnceTheWindowShows) {
  const String target = L"\\Registry\\User\\ZembrioNoSuchUser\\Missing";
  testsupport::reg::CreateLink(Data + L"\\Dangling", target);
  Write(Settings + L"\\General", L"BookmarkFile", REG_SZ, Sz(BookmarkFile));
  Write(Settings + L"\\General", L"PreviousHKEY", REG_SZ, Sz(L"HKEY_CURRENT_USER"));
  Write(Settings + L"\\General", L"PreviousPath", REG_SZ, Sz(L"\\" + Data + L"\\Dangling"));
  std::vector<bool> windowShown;
  TfrmError::ShowHook = [&](const String& Text) {
    Errors.push_back(Text);
    windowShown.push_back(Window && IsWindowVisible(Window->GetHandle()));
  };
  Start();
  ASSERT_TRUE(PumpUntil([&] { return !Errors.empty(); }));
  EXPECT_EQ(Errors, std::vector<String>{L"The values of the key can't be read.\n\nKey: HKEY_CURRENT_USER\\" + Data +
                                        L"\\Dangling\nIt is a link to a key that does not exist: " + target + L"."});
  EXPECT_EQ(windowShown, std::vector<bool>{true});
  EXPECT_EQ(Window->GetSelectedNode()->GetText(), L"Dangling");
}

// An exception that escapes the start's reopening of the previous key
// (memory running out while a key of many values is read) is shown by the
// application once the window is on the screen, as the errors are.
TEST_F(AppWindow, AnExceptionOfTheReopeningIsShownOnceTheWindowShows) {
  for (int i = 0; i < 1000; ++i) {
    Write(Data + L"\\Many", L"v" + IntToStr(i), REG_DWORD, Dw(DWORD(i)));
    Write(Data + L"\\More", L"v" + IntToStr(i), REG_DWORD, Dw(DWORD(i)));
  }
  Write(Settings + L"\\General", L"BookmarkFile", REG_SZ, Sz(BookmarkFile));
  Write(Settings + L"\\General", L"PreviousHKEY", REG_SZ, Sz(L"HKEY_CURRENT_USER"));
  Write(Settings + L"\\General", L"PreviousPath", REG_SZ, Sz(L"\\" + Data + L"\\Many"));
  TfrmMain::ReadingValuesHook = [] { throw std::bad_alloc(); };
  std::vector<bool> windowShown;
  const auto shownBy = Application->ShowExceptionHook;
  Application->ShowExceptionHook = [&](const String&, const String&) {
    windowShown.push_back(Window && IsWindowVisible(Window->GetHandle()));
  };
  Start();
  PumpUntil([&] { return !windowShown.empty(); });
  TfrmMain::ReadingValuesHook = nullptr;
  Application->ShowExceptionHook = shownBy;
  EXPECT_EQ(windowShown, std::vector<bool>{true});
  EXPECT_EQ(Window->GetSelectedNode()->GetText(), L"Many");
  // A listing broken so by a click leaves no hourglass behind it.
  TTreeExNode* more = Window->FindChild(Window->GetSelectedNode()->GetParent(), L"More");
  ASSERT_NE(more, nullptr);
  TfrmMain::ReadingValuesHook = [] { throw std::bad_alloc(); };
  Application->ShowExceptionHook = [&](const String&, const String&) { windowShown.push_back(true); };
  testsupport::Click(NodeCentre(more));
  PumpUntil([&] { return windowShown.size() == 2; });
  TfrmMain::ReadingValuesHook = nullptr;
  Application->ShowExceptionHook = shownBy;
  EXPECT_EQ(windowShown.size(), 2u);
  EXPECT_NE(Screen->GetCursor(), crHourGlass);
}

// Numpad * on a key expands its whole branch, following links; a link back
// to a key above it stays closed (its subkeys would hold it again, deeper
// each time, and the expansion would never end) and the status bar says so.
TEST_F(AppWindow, ABranchExpandedWholeStopsAtALinkBackToAKeyAboveIt) {
  Write(Data + L"\\Top\\Inner\\Leaf", L"v", REG_SZ, Sz(L"x"));
  Write(Data + L"\\Elsewhere\\Far", L"w", REG_SZ, Sz(L"y"));
  testsupport::reg::CreateLink(Data + L"\\Top\\Inner\\Back", testsupport::reg::NativePath(Data + L"\\Top"));
  testsupport::reg::CreateLink(Data + L"\\Top\\Out", testsupport::reg::NativePath(Data + L"\\Elsewhere"));
  Start();
  TTreeExNode* top = Open(L"Top");
  ASSERT_NE(top, nullptr);
  Foreground(Window->treeRegTree);
  testsupport::PressKey(VK_MULTIPLY);
  const String where = L"HKEY_CURRENT_USER\\" + Data + L"\\Top";
  const String said =
      L"The key " + where + L"\\Inner\\Back is not expanded: it is a link back to the key " + where + L" above it.";
  ASSERT_TRUE(PumpUntil([&] { return Window->GetStatusText() == said; })) << WideToAnsi(Window->GetStatusText());
  TTreeExNode* inner = Window->FindChild(top, L"Inner");
  TTreeExNode* out = Window->FindChild(top, L"Out");
  ASSERT_TRUE(inner && out);
  TTreeExNode* back = Window->FindChild(inner, L"Back");
  ASSERT_NE(back, nullptr);
  EXPECT_NE(Window->FindChild(inner, L"Leaf"), nullptr);
  EXPECT_NE(Window->FindChild(out, L"Far"), nullptr);
  EXPECT_FALSE(back->GetExpanded());
  EXPECT_EQ(back->GetCount(), 0);
}

TEST_F(AppWindow, PanesStayInOrderAfterARestartAndInASmallWindow) {
  // A stored split that gives the lower pane more than it had while the
  // window was built: the status bar stays below it, at the bottom.
  StoreGeometry(640, 520, 40);
  Start();
  EXPECT_EQ(Window->panelTop->GetHeight(), 40);
  ExpectStacked(40, 50);
  Stop();
  Start();
  ExpectStacked(40, 50);
  // The window sized as small as it goes keeps every pane in it.
  for (int pass = 0; pass < 2; ++pass) {
    // (The toolbars take more rows in the narrower window.)
    MINMAXINFO mm{};
    SendMessageW(Window->GetHandle(), WM_GETMINMAXINFO, 0, LPARAM(&mm));
    SetWindowPos(Window->GetHandle(), nullptr, 0, 0, 200, mm.ptMinTrackSize.y, SWP_NOZORDER | SWP_NOMOVE);
    dlgtest::Pump(50);
  }
  ExpectStacked(30, Window->spltHorizontal->GetMinSize());
  Stop();

  // A small window stored: the lower pane gives way to the upper panel's
  // minimum.
  StoreGeometry(252, 202, 150);
  Start();
  ExpectStacked(30, 0);
}

TEST_F(AppWindow, ToolbarButtonsShowTheirHints) {
  Start();
  SetForegroundWindow(Window->GetHandle());
  auto centre = [&](TBarCustomItem* Item) {
    TBarItemViewer* v = Window->tbrView->View()->Find(Item);
    const RECT& b = v->BoundsRect;
    return testsupport::ScreenPoint(Window->tbrView->GetHandle(), (b.left + b.right) / 2, (b.top + b.bottom) / 2);
  };
  testsupport::MoveMouse(testsupport::ClientCentre(Window->treeRegTree->GetHandle()));
  for (const auto& [item, hint] : {std::pair<TBarCustomItem*, const wchar_t*>{Window->tbtnRefresh, L"Refresh"},
                                   {Window->tbtnView_Toolbars, L"Show / hide toolbars"}}) {
    POINT p = centre(item);
    testsupport::MoveMouse(POINT{p.x - 2, p.y});
    testsupport::MoveMouse(p);
    EXPECT_TRUE(PumpUntil([&] { return ShownHint() == hint; }, 5000)) << WideToAnsi(hint) << ": "
                                                                       << WideToAnsi(ShownHint());
  }
}

TEST_F(AppWindow, AltSpaceThenALetterRunsTheSystemCommandOnce) {
  Start();
  Foreground(Window->treeRegTree);
  const DWORD tid = GetCurrentThreadId();
  const HWND main = Window->GetHandle();
  // Played from a thread of its own: the system menu's loop runs here.
  auto menuMode = [tid] {
    GUITHREADINFO gi{sizeof gi};
    return GetGUIThreadInfo(tid, &gi) && (gi.flags & GUI_INMENUMODE);
  };
  auto waitFor = [](const std::function<bool()>& Cond, int Ms) {
    for (int t = 0; t < Ms; t += 10) {
      if (Cond()) return true;
      Sleep(10);
    }
    return Cond();
  };
  for (WORD letter : {WORD('X'), WORD('R')}) {
    bool opened = false, done = false, reopened = false;
    EXPECT_TRUE(testsupport::RunInput([&] {
      testsupport::InputScript().Press(VK_SPACE, {VK_MENU}).Post();
      opened = waitFor(menuMode, 5000);
      if (!opened) return;
      testsupport::InputScript().Press(letter).Post();
      done = waitFor([&] { return !menuMode() && bool(IsZoomed(main)) == (letter == 'X'); }, 5000);
      // Nothing opens the menu again by itself.
      reopened = waitFor(menuMode, 1000);
      if (reopened) testsupport::InputScript().Press(VK_ESCAPE).Post();
    }, 20000));
    EXPECT_TRUE(opened) << char(letter);
    EXPECT_TRUE(done) << char(letter);
    EXPECT_FALSE(reopened) << char(letter);
    PumpUntil([&] { return !menuMode(); }, 3000);
  }
}

// The pop-up menu asked for from the keyboard (Shift+F10, the Apps key)
// opens below the selected key of the tree and below the row the keyboard
// is on in each list (values, bookmarks, find results), never over the
// rows at the list's corner.
TEST_F(AppWindow, ShiftF10AndTheAppsKeyOpenTheMenusAtTheSelectedKeyOrRow) {
  for (int i = 0; i < 12; ++i) CreateKey(Data + L"\\K" + IntToStr(i));
  for (int i = 0; i < 6; ++i) Write(Data + L"\\K9", L"V" + IntToStr(i), REG_SZ, Sz(L"x"));
  Start();
  for (int i = 0; i < 6; ++i) {
    Window->AddBookmarkItem(L"B" + IntToStr(i), RegRoot::CurrentUser, L"\\" + Data + L"\\K" + IntToStr(i));
    Window->AddFindResult(new TSearchHit{hkKeyName, RegRoot::CurrentUser, L"\\" + Data + L"\\K" + IntToStr(i) + L"\\",
                                         L"", L""});
  }
  TTreeExNode* key = Open(L"K9");
  ASSERT_NE(key, nullptr);
  // Each key in turn opens the control's menu; where it showed, in the
  // control's client coordinates.
  auto menuPlace = [&](TWinControl* Control) {
    std::vector<POINT> places;
    for (const std::vector<WORD>& mods : {std::vector<WORD>{VK_SHIFT}, std::vector<WORD>{}}) {
      const WORD vk = mods.empty() ? VK_APPS : VK_F10;
      RECT shown{-1000, -1000};
      Script s;
      s.Steps = {{[&] { return OpenPopup() != nullptr; },
                  [&] {
                    GetWindowRect(OpenPopup(), &shown);
                    Post(VK_ESCAPE);
                  }}};
      EXPECT_EQ(s.Run([&] { testsupport::InputScript().Press(vk, mods).Post(); }), s.Steps.size())
          << (mods.empty() ? "Apps" : "Shift+F10");
      EXPECT_TRUE(PumpUntil([&] { return OpenPopup() == nullptr; }, 5000));
      POINT p{shown.left, shown.top};
      ScreenToClient(Control->GetHandle(), &p);
      places.push_back(p);
    }
    return places;
  };
  Foreground(Window->treeRegTree);
  const TRect node = key->DisplayRect(true);
  for (const POINT p : menuPlace(Window->treeRegTree)) {
    EXPECT_NEAR(p.x, node.left, 8);
    EXPECT_NEAR(p.y, node.bottom, 8);
  }
  for (auto [list, page] : {std::pair<TListViewQ*, TTabSheet*>{Window->lvKeyValues, nullptr},
                            {Window->lvBookmarks, Window->tbsBookmarks},
                            {Window->lvFindResults, Window->tbsFindResults}}) {
    SCOPED_TRACE(WideToAnsi(list->GetName()));
    if (page) Window->pagExtras->SetActivePage(page);
    Foreground(list);
    // The third row clicked.
    RECT row{LVIR_LABEL};
    ASSERT_TRUE(SendMessageW(list->GetHandle(), LVM_GETITEMRECT, 2, LPARAM(&row)));
    testsupport::Click(testsupport::ScreenPoint(list->GetHandle(), row.left + 4, (row.top + row.bottom) / 2));
    ASSERT_TRUE(PumpUntil([&] { return list->GetItemFocused() == list->Items()->GetItem(2); }));
    for (const POINT p : menuPlace(list)) {
      EXPECT_NEAR(p.x, row.left, 8);
      EXPECT_NEAR(p.y, row.bottom, 8);
    }
  }
}

TEST_F(AppWindow, ARenamedKeyShowsAnExpandButtonOnlyWithSubkeys) {
  CreateKey(Data + L"\\Full\\Inner");
  Start();
  ASSERT_NE(Open(), nullptr);
  Foreground(Window->treeRegTree);
  Window->mnuEdit_New_KeyClick(nullptr);
  ASSERT_TRUE(PumpUntil([&] { return Window->treeRegTree->IsEditing(); }));
  testsupport::PressKey(VK_RETURN);
  ASSERT_TRUE(PumpUntil([&] { return !Window->treeRegTree->IsEditing(); }));
  TTreeExNode* made = Window->GetSelectedNode();
  ASSERT_EQ(made->GetText(), L"New Key");
  auto rename = [&](const std::wstring& Name) {
    testsupport::PressKey(VK_F2);
    ASSERT_TRUE(PumpUntil([&] { return Window->treeRegTree->IsEditing(); }));
    testsupport::PressKey('A', {VK_CONTROL});
    testsupport::TypeText(Name);
    testsupport::PressKey(VK_RETURN);
    ASSERT_TRUE(PumpUntil([&] { return !Window->treeRegTree->IsEditing(); }));
  };
  rename(L"Empty");
  EXPECT_TRUE(KeyExists(Data + L"\\Empty"));
  EXPECT_EQ(made->GetText(), L"Empty");
  EXPECT_FALSE(made->GetChildren());

  TTreeExNode* full = Open(L"Full");
  ASSERT_NE(full, nullptr);
  Foreground(Window->treeRegTree);
  rename(L"Filled");
  EXPECT_TRUE(KeyExists(Data + L"\\Filled\\Inner"));
  EXPECT_TRUE(full->GetChildren());
}

TEST_F(AppWindow, TheProgramShowsItsOwnIconInTheWindowAndTheAboutBox) {
  Start();
  const HINSTANCE module = GetModuleHandleW(nullptr);
  HICON own = static_cast<HICON>(LoadImageW(module, L"MAINICON", IMAGE_ICON, 32, 32, LR_SHARED));
  ASSERT_NE(own, nullptr);
  const std::vector<DWORD> expected = IconPixels(own, 32);
  EXPECT_NE(expected, IconPixels(LoadIconW(nullptr, IDI_APPLICATION), 32));
  // The title bar and the taskbar show the small one, Alt+Tab the large one.
  for (const auto& [which, size] : {std::pair<WPARAM, int>{ICON_BIG, 32}, std::pair<WPARAM, int>{ICON_SMALL, 16}}) {
    auto icon = reinterpret_cast<HICON>(SendMessageW(Window->GetHandle(), WM_GETICON, which, 0));
    ASSERT_NE(icon, nullptr) << size;
    EXPECT_EQ(IconPixels(icon, size),
              IconPixels(static_cast<HICON>(LoadImageW(module, L"MAINICON", IMAGE_ICON, size, size, LR_SHARED)), size))
        << size;
  }
  std::vector<DWORD> about;
  ASSERT_TRUE(WithModal([&] { Window->mnuHelp_AboutClick(nullptr); },
                        {[&] {
                          about = IconPixels(F.About->imgIcon->Picture()->Icon()->GetHandle(), 32);
                          F.About->SetModalResult(mrOk);
                        }}));
  EXPECT_EQ(about, expected);
}

TEST_F(AppWindow, TheErrorDialogShowsItsWholeTextAndEscapeClosesIt) {
  Start();
  TfrmError::ShowHook = nullptr;
  TfrmError* e = F.Error;
  bool fits = false, inside = false;
  String why;
  Script s;
  s.Steps = {{[&] { return e->GetVisible() && GetForegroundWindow() == e->GetHandle(); },
              [&] {
                // Each label is at least as tall as its text in its font at
                // its width; nothing lies over another.
                HDC dc = GetDC(e->GetHandle());
                fits = true;
                for (TLabel* l : {e->lblHead, e->lblInfo, e->Label1}) {
                  HGDIOBJ old = SelectObject(dc, l->Font()->GetHandle());
                  RECT r{0, 0, l->GetWidth(), 0};
                  const String text = l->GetCaption();
                  DrawTextW(dc, text.c_str(), int(text.size()), &r, DT_CALCRECT | DT_WORDBREAK);
                  SelectObject(dc, old);
                  if (r.bottom > l->GetHeight()) {
                    fits = false;
                    why += l->GetName() + L" ";
                  }
                }
                ReleaseDC(e->GetHandle(), dc);
                inside = e->lblInfo->GetTop() >= e->txtDescription->GetTop() + e->txtDescription->GetHeight() &&
                         e->Label1->GetTop() >= e->lblInfo->GetTop() + e->lblInfo->GetHeight() &&
                         e->btnOK->GetTop() >= e->Label1->GetTop() + e->Label1->GetHeight() &&
                         e->btnOK->GetTop() + e->btnOK->GetHeight() <= e->GetClientHeight();
                Post(VK_ESCAPE);
              }}};
  // Escape ends the dialog: the script is not left pressing it past its time.
  EXPECT_EQ(s.Run([&] { e->ShowError(L"Something failed."); }), s.Steps.size());
  EXPECT_FALSE(s.TimedOut);
  EXPECT_TRUE(fits) << WideToAnsi(why);
  EXPECT_TRUE(inside);

  // A text naming a value of 16,384 characters: the dialog comes up at once
  // (laying out such a line took minutes) with the name's beginning and
  // end around "…", in lines of a thousand characters at most.
  String name = L"W";
  while (name.size() < 16384) name += IntToStr(int(name.size()));
  name.resize(16384);
  String shown;
  Script big;
  big.Steps = {{[&] { return e->GetVisible() && GetForegroundWindow() == e->GetHandle(); },
                [&] {
                  shown = e->txtDescription->GetText();
                  Post(VK_ESCAPE);
                }}};
  EXPECT_EQ(big.Run([&] { e->ShowError(L"Rename failed.\n\nFailed to set data for '" + name + L"'"); }),
            big.Steps.size());
  EXPECT_FALSE(big.TimedOut);
  const std::vector<String> lines = SplitDialogLines(shown);
  EXPECT_EQ(lines.front(), L"Rename failed.");
  EXPECT_TRUE(std::all_of(lines.begin(), lines.end(), [](const String& l) { return l.size() <= 1000; }));
  EXPECT_EQ(shown.find(L"Failed to set data for 'W12345678"), 18u);
  EXPECT_NE(shown.find(L"\u2026"), String::npos);
  EXPECT_TRUE(shown.size() > 4 && shown.substr(shown.size() - 4) == name.substr(name.size() - 3) + L"'");
}

TEST_F(AppWindow, EnterAnswersTheButtonDrawnAsDefaultAfterANo) {
  CreateKey(Data + L"\\Doomed");
  Start();
  TfrmConfirm* c = F.Confirm;
  TTreeExNode* doomed = Open(L"Doomed");
  ASSERT_NE(doomed, nullptr);
  // The first question answered No with the mouse.
  Foreground(Window->treeRegTree);
  auto asking = [&] { return c->GetVisible() && GetForegroundWindow() == c->GetHandle(); };
  Script no;
  no.Steps = {{asking, [&] { testsupport::InputScript().Click(testsupport::ClientCentre(c->btnNo->GetHandle())).Post(); }}};
  ASSERT_EQ(no.Run([&] { testsupport::InputScript().Press(VK_DELETE).Post(); }), no.Steps.size());
  ASSERT_TRUE(PumpUntil([&] { return !c->GetVisible(); }));
  ASSERT_TRUE(KeyExists(Data + L"\\Doomed"));
  // The next opens on the default button: Enter answers Yes.
  Foreground(Window->treeRegTree);
  bool focusOnDefault = false;
  Script yes;
  yes.Steps = {{asking, [&] {
                  const HWND focus = GetFocus();
                  focusOnDefault = focus == c->btnYes->GetHandle() &&
                                   (GetWindowLongW(focus, GWL_STYLE) & 0x0F) == BS_DEFPUSHBUTTON;
                  Post(VK_RETURN);
                }}};
  ASSERT_EQ(yes.Run([&] { testsupport::InputScript().Press(VK_DELETE).Post(); }), yes.Steps.size());
  EXPECT_TRUE(focusOnDefault);
  EXPECT_TRUE(PumpUntil([&] { return !KeyExists(Data + L"\\Doomed"); }, 5000));
}

}  // namespace

namespace {

// The window's placement in the normal state (where it comes back to).
RECT NormalBounds(HWND Window) {
  WINDOWPLACEMENT wp{};
  wp.length = sizeof wp;
  GetWindowPlacement(Window, &wp);
  return wp.rcNormalPosition;
}

}  // namespace

// A window moved with the mouse, then maximised and closed from its title
// bar, opens maximised at the next start and comes back, restored, where
// it was moved to; minimised when it closes, it keeps that place too.
TEST_F(AppWindow, AMovedThenMaximisedWindowComesBackWhereItWasMoved) {
  StoreGeometry(500, 400, 150);
  Start();
  const HWND main = Window->GetHandle();
  SetForegroundWindow(main);
  ASSERT_TRUE(PumpUntil([&] { return GetForegroundWindow() == main; }));
  const int left = Window->GetLeft() + 120, top = Window->GetTop() + 90;
  testsupport::DragScript move;
  move.From = dlgtest::TitleBarPoint(main, HTCAPTION);
  move.To = POINT{move.From.x + 120, move.From.y + 90};
  ASSERT_TRUE(testsupport::Drag(move));
  ASSERT_TRUE(PumpUntil([&] { return Window->GetLeft() == left && Window->GetTop() == top; }))
      << Window->GetLeft() << "," << Window->GetTop();
  testsupport::Click(dlgtest::TitleBarPoint(main, HTMAXBUTTON));
  ASSERT_TRUE(PumpUntil([&] { return IsZoomed(main) && Window->GetWindowState() == wsMaximized; }));
  testsupport::Click(dlgtest::TitleBarPoint(main, HTCLOSE));
  ASSERT_TRUE(PumpUntil([&] { return !Window->GetVisible(); }));
  auto stored = [&](const wchar_t* Name) {
    DWORD type = 0;
    std::string raw;
    EXPECT_TRUE(Read(Settings + L"\\MainForm", Name, type, raw)) << WideToAnsi(Name);
    return raw.size() == 4 ? *reinterpret_cast<const int32_t*>(raw.data()) : INT32_MIN;
  };
  EXPECT_EQ(stored(L"Left"), left);
  EXPECT_EQ(stored(L"Top"), top);
  EXPECT_EQ(stored(L"Width"), 500);
  EXPECT_EQ(stored(L"Height"), 400);
  EXPECT_EQ(stored(L"WindowState"), 2);
  Stop();

  Start();
  const HWND again = Window->GetHandle();
  ASSERT_TRUE(PumpUntil([&] { return IsZoomed(again) != FALSE; }));
  RECT normal = NormalBounds(again);
  EXPECT_EQ(normal.left, left);
  EXPECT_EQ(normal.top, top);
  // Restored from the title bar: where it was moved to, at its size.
  testsupport::Click(dlgtest::TitleBarPoint(again, HTMAXBUTTON));
  ASSERT_TRUE(PumpUntil([&] { return !IsZoomed(again) && Window->GetWindowState() == wsNormal; }));
  EXPECT_EQ(Window->GetLeft(), left);
  EXPECT_EQ(Window->GetTop(), top);
  EXPECT_EQ(Window->GetWidth(), 500);
  EXPECT_EQ(Window->GetHeight(), 400);

  // Minimised, then closed: the place is the restored one, not the place
  // off the screen where a minimised window lies.
  testsupport::Click(dlgtest::TitleBarPoint(again, HTMINBUTTON));
  ASSERT_TRUE(PumpUntil([&] { return IsIconic(again) != FALSE; }));
  Stop();
  EXPECT_EQ(stored(L"Left"), left);
  EXPECT_EQ(stored(L"Top"), top);
  EXPECT_EQ(stored(L"WindowState"), 1);
}

// The confirm dialog answered from the keyboard and the title bar, in both
// layouts: Escape answers No, the close box Cancel, which the single
// questions (delete, import) take as No. The error dialog's "Manual" opens
// the manual and leaves the dialog up.
TEST_F(AppWindow, TheConfirmDialogsEscapeAnswersNoAndItsCloseBoxCancel) {
  Start();
  TfrmConfirm* c = F.Confirm;
  auto asking = [c] { return c->GetVisible() && GetForegroundWindow() == c->GetHandle(); };
  auto answer = [&](const std::function<void()>& Input, const std::function<int()>& Ask) {
    int got = -1;
    Script s;
    s.Steps = {{asking, Input}};
    EXPECT_EQ(s.Run([&] { got = Ask(); }), s.Steps.size());
    EXPECT_FALSE(s.TimedOut);
    return got;
  };
  auto escape = [] { Post(VK_ESCAPE); };
  // (Two clicks at one place within the double-click time make a double
  // click, which the close box ignores: the time of the last is waited out.)
  auto closeBox = [c] {
    Sleep(GetDoubleClickTime());
    testsupport::InputScript().Click(dlgtest::CloseBoxPoint(c->GetHandle())).Post();
  };
  for (bool single : {true, false}) {
    SCOPED_TRACE(single ? "two buttons" : "four buttons");
    EXPECT_EQ(answer(escape, [&] { return c->Execute(L"Prompt", L"Item", L"Question?", single); }), int(mrNo));
    EXPECT_EQ(answer(closeBox, [&] { return c->Execute(L"Prompt", L"Item", L"Question?", single); }), int(mrCancel));
  }
  EXPECT_EQ(answer(closeBox, [&] { return int(dmodCommon->ConfirmDelete(L"key", L"HKEY_CURRENT_USER\\X")); }), 0);
  EXPECT_EQ(answer(closeBox, [&] { return int(dmodCommon->ConfirmImport(L"C:\\a.reg")); }), 0);
  EXPECT_EQ(answer(escape, [&] { return dmodCommon->ConfirmDeleteEach(L"value", L"v"); }), int(mrNo));

  TfrmError::ShowHook = nullptr;
  TfrmError* e = F.Error;
  std::vector<String> help;
  HelpDisplayHook = [&](const String& Target) { help.push_back(Target); };
  bool stillUp = false;
  Script s;
  s.Steps = {{[&] { return e->GetVisible() && GetForegroundWindow() == e->GetHandle(); },
              [&] { testsupport::InputScript().Click(testsupport::ClientCentre(e->btnManual->GetHandle())).Post(); }},
             {[&] { return !help.empty(); },
              [&] {
                stillUp = e->GetVisible();
                testsupport::InputScript().Click(testsupport::ClientCentre(e->btnOK->GetHandle())).Post();
              }}};
  EXPECT_EQ(s.Run([&] { e->ShowError(L"Something failed."); }), s.Steps.size());
  HelpDisplayHook = nullptr;
  EXPECT_FALSE(s.TimedOut);
  EXPECT_TRUE(stillUp);
  ASSERT_EQ(help.size(), 1u);
  EXPECT_EQ(help[0], HelpFileName() + L"::/int_welcome.htm");
  EXPECT_FALSE(e->GetVisible());
}
