// The main window's toolbars: the Navigation toolbar's address box and the
// room its row has on the dock, and a toolbar floating over the window.
#include <atomic>
#include <fstream>

#include "app/frmConfirmU.h"
#include "app/SearchMatch.h"
#include "app/tests/e2e_support.h"
#include "testsupport/Input.h"
#include "toolbars/BarDock.h"
#include "toolbars/BarEditItem.h"
#include "toolbars/BarFloat.h"
#include "toolbars/BarUtilsWin.h"

using namespace e2e;

namespace {

class Toolbars : public EditorTest {
 protected:
  TBarItemViewer* Viewer(TBarCustomItem* Item) { return Window->tbrNavigation->View()->Find(Item); }
  bool Shown(TBarCustomItem* Item) {
    TBarItemViewer* v = Viewer(Item);
    return v && v->Show && !v->OffEdge;
  }
  int BoxWidth() {
    TBarItemViewer* v = Viewer(Window->txtPath);
    return v ? v->BoundsRect.right - v->BoundsRect.left : 0;
  }
  int NavRight() { return Window->tbrNavigation->GetLeft() + Window->tbrNavigation->GetWidth(); }
  int DockEnd() { return Window->tbdTop->GetClientWidth(); }
  // The toolbar floats in a form owned by the main window, above it in the
  // window list and on the screen.
  void ExpectFloatingOverTheWindow(TSkinToolbar* T) {
    ASSERT_TRUE(T->GetFloating());
    TBarFloatingWindowParent* f = T->GetFloatingParent();
    ASSERT_NE(f, nullptr);
    const HWND fh = f->GetHandle(), main = Window->GetHandle();
    ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(fh) != FALSE; }));
    EXPECT_EQ(GetWindow(fh, GW_OWNER), main);
    RECT fr, mr, both;
    GetWindowRect(fh, &fr);
    GetWindowRect(main, &mr);
    ASSERT_TRUE(IntersectRect(&both, &fr, &mr));
    ASSERT_TRUE(EqualRect(&both, &fr));
    // How many of the toolbar's pixels the screen shows otherwise, of how
    // many.
    auto notShown = [&] {
      HDC screen = GetDC(nullptr), own = GetWindowDC(fh);
      int differ = 0, seen = 0;
      for (int y = 0; y < fr.bottom - fr.top; y += 3)
        for (int x = 0; x < fr.right - fr.left; x += 3, ++seen)
          if (GetPixel(screen, fr.left + x, fr.top + y) != GetPixel(own, x, y)) ++differ;
      ReleaseDC(fh, own);
      ReleaseDC(nullptr, screen);
      return std::pair<int, int>{differ, seen};
    };
    // Late reports of the window's place come in first.
    dlgtest::Pump(100);
    PumpUntil([&] {
      const auto [differ, seen] = notShown();
      return testsupport::Above(fh, main) && differ * 20 < seen;
    });
    EXPECT_TRUE(testsupport::Above(fh, main));
    const auto [differ, seen] = notShown();
    EXPECT_LT(differ * 20, seen) << differ << " of " << seen << " pixels are not the toolbar's";
  }
  // Every item of the toolbar in sight, none in its chevron.
  void ExpectAllShown() {
    EXPECT_TRUE(Shown(Window->tbtnNavigation_Bookmark));
    EXPECT_TRUE(Shown(Window->txtPath));
    EXPECT_TRUE(Shown(Window->tbtnNavigation_Go));
  }
};

TEST_F(Toolbars, TheAddressBoxUsesTheRoomOfItsRow) {
  Start();
  Window->SetBounds(20, 20, 1000, 500);
  SetForegroundWindow(Window->GetHandle());
  dlgtest::Pump(50);
  // Alone in its row the toolbar spans the dock and the box takes the room.
  TSkinToolbar* nav = Window->tbrNavigation;
  EXPECT_EQ(nav->GetLeft(), 0);
  EXPECT_EQ(NavRight(), DockEnd());
  ExpectAllShown();
  const int alone = BoxWidth();
  EXPECT_GT(alone, 600);

  // Beside the menu bar (dragged there with the mouse, the menu bar no
  // longer full-sized): it starts where the menu bar ends and keeps no
  // room empty.
  Window->tbrMainMenu->SetFullSize(false);
  dlgtest::Pump(50);
  RECT nr, mr;
  GetWindowRect(nav->GetHandle(), &nr);
  GetWindowRect(Window->tbrMainMenu->GetHandle(), &mr);
  ASSERT_TRUE(testsupport::Drag(
      {POINT{nr.left + 4, (nr.top + nr.bottom) / 2}, POINT{mr.right + 300, (mr.top + mr.bottom) / 2}}));
  dlgtest::Pump(50);
  ASSERT_EQ(nav->EffectiveDockRow, Window->tbrMainMenu->EffectiveDockRow);
  EXPECT_EQ(nav->GetLeft(), Window->tbrMainMenu->GetLeft() + Window->tbrMainMenu->GetWidth());
  EXPECT_EQ(NavRight(), DockEnd());
  ExpectAllShown();
  const int beside = BoxWidth();
  EXPECT_EQ(alone - beside, nav->GetLeft());

  // The box follows the window's width, both ways, before any item has to
  // go into the chevron.
  Window->SetBounds(20, 20, 1200, 500);
  dlgtest::Pump(50);
  EXPECT_EQ(BoxWidth(), beside + 200);
  EXPECT_EQ(NavRight(), DockEnd());
  Window->SetBounds(20, 20, 600, 500);
  dlgtest::Pump(50);
  EXPECT_EQ(BoxWidth(), beside - 400);
  EXPECT_EQ(NavRight(), DockEnd());
  ExpectAllShown();
  // Short of room: the box keeps a usable width and the chevron takes the rest.
  Window->SetBounds(20, 20, 420, 500);
  dlgtest::Pump(50);
  EXPECT_GE(Window->txtPath->GetEditWidth(), 100);
  EXPECT_LE(NavRight(), DockEnd());
  EXPECT_TRUE(Errors.empty());
}

// With the close buttons shown on docked toolbars the Navigation toolbar's
// frame grows: the stretching address box gives that room, not a button.
TEST_F(Toolbars, TheAddressBoxGivesWayBeforeAnyButtonWithCloseButtonsShown) {
  Write(Settings + L"\\Appearance", L"CloseButtonDocked", REG_DWORD, Dw(1));
  Start();
  dlgtest::Pump(50);
  auto check = [&](const char* When) {
    SCOPED_TRACE(When);
    ASSERT_TRUE(Window->tbrNavigation->GetCloseButtonWhenDocked());
    ExpectAllShown();
    EXPECT_GT(BoxWidth(), 100);
    EXPECT_LE(NavRight(), DockEnd());
  };
  check("first start's size");
  Window->SetWindowState(wsMaximized);
  dlgtest::Pump(50);
  check("maximised");
  Window->SetWindowState(wsNormal);
  dlgtest::Pump(50);
  check("restored");
  EXPECT_TRUE(Errors.empty());
  // Started maximised, as the window was left.
  Stop();
  Write(Settings + L"\\MainForm", L"WindowState", REG_DWORD, Dw(2));
  Start();
  dlgtest::Pump(50);
  ASSERT_EQ(Window->GetWindowState(), wsMaximized);
  check("started maximised");
  EXPECT_TRUE(Errors.empty());
}

// Started restored with the default grip (a single bar, no close button):
// the box is sized against the room the grip leaves, so every button stays
// in the row, at the first start's size and at a stored one alike, and the
// box is as wide as a resize to that size makes it.
TEST_F(Toolbars, TheAddressBoxLeavesTheGripRoomWhenStartedRestored) {
  auto check = [&](const char* When, int Width) {
    SCOPED_TRACE(When);
    ASSERT_EQ(Window->GetWindowState(), wsNormal);
    ASSERT_EQ(Window->GetWidth(), Width);
    ASSERT_EQ(Window->tbrNavigation->GetDragHandleStyle(), dhSingle);
    ASSERT_FALSE(Window->tbrNavigation->GetCloseButtonWhenDocked());
    ExpectAllShown();
    const int started = BoxWidth();
    EXPECT_GT(started, 100);
    EXPECT_LE(NavRight(), DockEnd());
    // A border drag away and back gives the same box.
    Window->SetBounds(Window->GetLeft(), Window->GetTop(), Width + 50, Window->GetHeight());
    dlgtest::Pump(50);
    Window->SetBounds(Window->GetLeft(), Window->GetTop(), Width, Window->GetHeight());
    dlgtest::Pump(50);
    ExpectAllShown();
    EXPECT_EQ(BoxWidth(), started);
  };
  Start();
  dlgtest::Pump(50);
  check("first start", 500);
  EXPECT_TRUE(Errors.empty());
  Stop();
  Write(Settings + L"\\MainForm", L"Width", REG_DWORD, Dw(608));
  Write(Settings + L"\\MainForm", L"Height", REG_DWORD, Dw(450));
  Start();
  dlgtest::Pump(50);
  check("stored size", 608);
  EXPECT_TRUE(Errors.empty());
}

// The screen's pixels along one row, from its left edge.
std::vector<COLORREF> ScreenRow(int Y, int Width) {
  std::vector<COLORREF> row(static_cast<size_t>(Width));
  HDC screen = GetDC(nullptr), mem = CreateCompatibleDC(screen);
  HBITMAP bmp = CreateCompatibleBitmap(screen, Width, 1);
  HGDIOBJ old = SelectObject(mem, bmp);
  BitBlt(mem, 0, 0, Width, 1, screen, 0, Y, SRCCOPY);
  for (int x = 0; x < Width; ++x) row[static_cast<size_t>(x)] = GetPixel(mem, x, 0);
  SelectObject(mem, old);
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return row;
}

// The screen's row through the pointer, taken while a drag's outline is
// shown with the pointer resting at At.
struct OutlineWatch {
  POINT At{};
  int Width = 0;
  int TicksThere = 0;
  std::vector<COLORREF> Row;
  std::atomic<bool> Taken{false};
};
OutlineWatch* g_outline = nullptr;
void CALLBACK TakeTheOutlineRow(HWND, UINT, UINT_PTR, DWORD) {
  if (!g_outline || g_outline->Taken) return;
  POINT p;
  GetCursorPos(&p);
  if (p.x != g_outline->At.x || p.y != g_outline->At.y) {
    g_outline->TicksThere = 0;
    return;
  }
  // Timers come after input: by the second tick with the pointer there the
  // drag loop has drawn the outline for it.
  if (++g_outline->TicksThere < 2) return;
  g_outline->Row = ScreenRow(p.y, g_outline->Width);
  g_outline->Taken = true;
}

// The Navigation toolbar, stretched over its row while docked, dragged off
// its dock by its grip: it floats at its own width under the pointer where
// it was held, wholly on the work area, wherever it is dropped. With live
// dragging off, the outline that follows the pointer shows it there, at
// that width.
TEST_F(Toolbars, TheNavigationToolbarFloatsUnderThePointer) {
  Start();
  Window->SetWindowState(wsMaximized);
  Foreground(Window->treeRegTree);
  TSkinToolbar* nav = Window->tbrNavigation;
  for (const auto& [x, live] : {std::pair{300L, true}, {700L, true}, {500L, false}}) {
    SCOPED_TRACE(x);
    ASSERT_TRUE(nav->GetDocked());
    nav->SmoothDrag = live;
    RECT tr, mr;
    GetWindowRect(nav->GetHandle(), &tr);
    GetWindowRect(Window->GetHandle(), &mr);
    const POINT from{tr.left + 4, (tr.top + tr.bottom) / 2}, to{x, (mr.top + mr.bottom) / 2};
    const RECT wa = GetRectOfMonitorContainingPoint(to, true);
    OutlineWatch outline;
    std::vector<COLORREF> still;
    if (live) {
      ASSERT_TRUE(testsupport::Drag({from, to}));
    } else {
      dlgtest::Pump(static_cast<int>(GetDoubleClickTime()) + 30);
      outline.At = to;
      outline.Width = wa.right;
      still = ScreenRow(to.y, wa.right);
      g_outline = &outline;
      const UINT_PTR timer = SetTimer(nullptr, 0, 10, TakeTheOutlineRow);
      const bool played = testsupport::RunInput([&] {
        testsupport::InputScript().Move(from).Wait(30).Down().Wait(30).Move(POINT{from.x + 20, to.y}).Wait(30)
            .Move(to).Post();
        for (int i = 0; i < 500 && !outline.Taken; ++i) Sleep(10);
        testsupport::InputScript().Up().Post();
      });
      KillTimer(nullptr, timer);
      g_outline = nullptr;
      ASSERT_TRUE(played);
      ASSERT_TRUE(outline.Taken);
    }
    ASSERT_TRUE(PumpUntil([&] { return nav->GetFloating(); }));
    TBarFloatingWindowParent* f = nav->GetFloatingParent();
    ASSERT_NE(f, nullptr);
    dlgtest::Pump(50);
    RECT fr, both;
    GetWindowRect(f->GetHandle(), &fr);
    EXPECT_LT(fr.right - fr.left, tr.right - tr.left);
    EXPECT_TRUE(PtInRect(&fr, to)) << fr.left << "," << fr.top << "-" << fr.right << "," << fr.bottom;
    EXPECT_LE(fr.left, to.x);
    EXPECT_GT(fr.left, to.x - 20);
    ASSERT_TRUE(IntersectRect(&both, &fr, &wa));
    EXPECT_TRUE(EqualRect(&both, &fr));
    if (!live) {
      // The outline's frame: the first and the last pixel of the row that
      // the drag inverted (every other one of its border is).
      int first = -1, last = -1;
      for (int i = 0; i < wa.right; ++i)
        if (outline.Row[static_cast<size_t>(i)] != still[static_cast<size_t>(i)]) {
          if (first < 0) first = i;
          last = i;
        }
      ASSERT_GE(first, 0);
      EXPECT_NEAR(first, fr.left, 1);
      EXPECT_NEAR(last, fr.right - 1, 1);
    }
    // Docked again by a double click on its caption.
    const RECT cap = f->GetCaptionRect();
    testsupport::DoubleClick(POINT{fr.left + cap.left + 6, fr.top + (cap.top + cap.bottom) / 2});
    ASSERT_TRUE(PumpUntil([&] { return nav->GetDocked(); }));
  }
  EXPECT_TRUE(Errors.empty());
}

// A toolbar floating over the main window lies above it, owned by it: when
// it was dragged there, when the window takes the focus again, and after
// restarts (where it appears while the window is being shown); closing the
// window with it floating shows no error.
TEST_F(Toolbars, AToolbarFloatingOverTheWindowStaysAboveIt) {
  auto check = [&](const char* When) {
    SCOPED_TRACE(When);
    ExpectFloatingOverTheWindow(Window->tbrFile);
    EXPECT_TRUE(Window->mnuView_TB_File->GetChecked());
  };
  Start();
  Window->SetBounds(20, 20, 800, 560);
  SetForegroundWindow(Window->GetHandle());
  dlgtest::Pump(50);
  RECT tr, mr;
  GetWindowRect(Window->tbrFile->GetHandle(), &tr);
  GetWindowRect(Window->GetHandle(), &mr);
  ASSERT_TRUE(testsupport::Drag({POINT{tr.left + 4, (tr.top + tr.bottom) / 2},
                                 POINT{(mr.left + mr.right) / 2, (mr.top + mr.bottom) / 2}}));
  check("floated");
  // Another window of the program takes the activation; a click on the
  // key tree brings the main window back, a click on the values list moves
  // the focus within it.
  {
    TForm other(Application);
    other.SetBounds(mr.right + 20, mr.top, 200, 150);
    other.Show();
    ASSERT_TRUE(PumpUntil([&] { return GetActiveWindow() == other.GetHandle(); }));
    testsupport::Click(testsupport::ClientCentre(Window->treeRegTree->GetHandle()));
    ASSERT_TRUE(PumpUntil([&] { return GetFocus() == Window->treeRegTree->GetHandle(); }));
  }
  check("activated again");
  testsupport::Click(testsupport::ScreenPoint(Window->lvKeyValues->GetHandle(), 20, 60));
  ASSERT_TRUE(PumpUntil([&] { return GetFocus() == Window->lvKeyValues->GetHandle(); }));
  check("focus moved");
  for (const char* when : {"restarted", "restarted again"}) {
    Stop();
    EXPECT_TRUE(dlgtest::ShownExceptions().empty());
    Start();
    check(when);
  }
  EXPECT_TRUE(Errors.empty());
}

// The main window maximised with a toolbar floated over its middle: each
// dialog the program shows over it comes above the toolbar and shows whole,
// also where it comes up as the window takes the focus back from another
// (the import's confirmation after the system's file dialog, the system's
// warning box after a delete's confirmation), and a click on the Yes
// button where the toolbar lies over it answers it. The toolbar stays
// above the window meanwhile, and is so once the dialog is gone.
TEST_F(Toolbars, TheProgramsDialogsComeAboveAFloatingToolbar) {
  const String file = TempFile(L"above.reg");
  std::ofstream(WideToAnsi(file), std::ios::binary)
      << "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\" << WideToAnsi(Data) << "\\Imported]\r\n\"A\"=\"1\"\r\n";
  // Warnings come in the system's own message box.
  struct RealMessageBoxes {
    decltype(MessageBoxHook) Kept = MessageBoxHook;
    RealMessageBoxes() { MessageBoxHook = nullptr; }
    ~RealMessageBoxes() { MessageBoxHook = Kept; }
  } realBoxes;
  Start();
  Window->SetWindowState(wsMaximized);
  Foreground(Window->treeRegTree);
  TSkinToolbar* edit = Window->tbrEdit;
  RECT tr, mr;
  GetWindowRect(edit->GetHandle(), &tr);
  GetWindowRect(Window->GetHandle(), &mr);
  ASSERT_TRUE(testsupport::Drag(
      {POINT{tr.left + 4, (tr.top + tr.bottom) / 2}, POINT{(mr.left + mr.right) / 2, (mr.top + mr.bottom) / 2}}));
  {
    SCOPED_TRACE("floated");
    ExpectFloatingOverTheWindow(edit);
  }
  TBarFloatingWindowParent* floating = edit->GetFloatingParent();
  const HWND toolbar = floating->GetHandle();
  // The screen shows the dialog where it lies over the toolbar.
  auto shownWhole = [toolbar](HWND Dialog) {
    RECT dr, fr, both;
    GetWindowRect(Dialog, &dr);
    GetWindowRect(toolbar, &fr);
    return !IntersectRect(&both, &dr, &fr) || testsupport::ShowsOver(Dialog, toolbar);
  };
  // A dialog to answer: its window, and the button clicked in it (without
  // one, the file name typed into it and Enter).
  struct Dialog {
    std::function<HWND()> Window;
    std::function<HWND()> Button;
  };
  auto systemDialog = [] {
    wchar_t cls[16] = {};
    const HWND a = GetActiveWindow();
    return a && GetClassNameW(a, cls, 16) && wcscmp(cls, L"#32770") == 0 ? a : nullptr;
  };
  const Dialog fileDialog{systemDialog, nullptr};
  const Dialog messageBox{systemDialog, [=] { return GetDlgItem(systemDialog(), IDOK); }};
  TfrmConfirm* confirm = F.Confirm;
  auto confirmWith = [=](TButton* B) {
    return Dialog{[=] { return confirm->GetHandle(); }, [=] { return B->GetHandle(); }};
  };
  POINT yes{};  // where the confirmation's Yes button was
  TBarView* bar = Window->tbrMainMenu->View();
  // With the keyboard on Focus, the menu Menu (Alt and the letter after the
  // "&" of its caption) and its item of Letter, then each dialog as it
  // comes up: once the screen shows it over the toolbar (or a while after
  // it came up) it is checked and answered.
  auto run = [&](const char* What, TWinControl* Focus, TBarCustomItem* Menu, wchar_t Letter,
                 const std::vector<Dialog>& Dialogs) {
    SCOPED_TRACE(What);
    Foreground(Focus);
    Script s;
    s.Steps.push_back({[] { return true; },
                       [=] { testsupport::InputScript().Press(WORD(Menu->GetCaption()[1]), {VK_MENU}).Post(); }});
    s.Steps.push_back({[=] { return bar->OpenViewer && bar->OpenViewer->Item == Menu; },
                       [=] { testsupport::InputScript().Press(WORD(Letter)).Post(); }});
    DWORD upSince = 0;
    for (const Dialog& d : Dialogs) {
      s.Steps.push_back({[&, d] {
                           const HWND w = d.Window();
                           if (!w || !IsWindowVisible(w) || (d.Button && !IsWindowVisible(d.Button()))) return false;
                           if (!upSince) upSince = GetTickCount();
                           return shownWhole(w) || GetTickCount() - upSince > 3000;
                         },
                         [&, d] {
                           upSince = 0;
                           const HWND w = d.Window();
                           wchar_t title[64] = {};
                           GetWindowTextW(w, title, 64);
                           SCOPED_TRACE(WideToAnsi(title));
                           EXPECT_TRUE(testsupport::Above(w, toolbar));
                           EXPECT_TRUE(shownWhole(w));
                           // The toolbar still lies above the window.
                           EXPECT_TRUE(testsupport::Above(toolbar, Window->GetHandle()));
                           EXPECT_TRUE(testsupport::ShowsOver(toolbar, Window->GetHandle()));
                           if (!d.Button) {
                             testsupport::InputScript().Text(file.c_str()).Press(VK_RETURN).Post();
                             return;
                           }
                           if (w == confirm->GetHandle()) yes = testsupport::ClientCentre(confirm->btnYes->GetHandle());
                           const POINT at = testsupport::ClientCentre(d.Button());
                           EXPECT_EQ(WindowFromPoint(at), d.Button());
                           testsupport::InputScript().Click(at).Post();
                         }});
      s.Steps.push_back({[d] { return !d.Window() || !IsWindowVisible(d.Window()); }, [] {}});
    }
    EXPECT_EQ(s.Run(20000), s.Steps.size());
    SCOPED_TRACE("closed");
    ExpectFloatingOverTheWindow(edit);
  };

  const String imported = Data + L"\\Imported";
  run("import, No", Window->treeRegTree, Window->mnuFile, L'I', {fileDialog, confirmWith(confirm->btnNo)});
  EXPECT_FALSE(KeyExists(imported));
  // The toolbar moved by its caption to lie over the Yes button.
  RECT fr;
  GetWindowRect(toolbar, &fr);
  const RECT cap = floating->GetCaptionRect();
  const POINT grip{fr.left + cap.left + 6, fr.top + (cap.top + cap.bottom) / 2};
  const POINT centre = testsupport::ClientCentre(edit->GetHandle());
  ASSERT_TRUE(testsupport::Drag({grip, POINT{grip.x + yes.x - centre.x, grip.y + yes.y - centre.y}}));
  GetWindowRect(toolbar, &fr);
  ASSERT_TRUE(PtInRect(&fr, yes));
  run("import, Yes", Window->treeRegTree, Window->mnuFile, L'I', {fileDialog, confirmWith(confirm->btnYes)});
  DWORD type = 0;
  std::string bytes;
  ASSERT_TRUE(Read(imported, L"A", type, bytes));
  EXPECT_EQ(type, DWORD(REG_SZ));
  EXPECT_EQ(bytes, Sz(L"1"));

  // A find result whose key another program deleted: the system's box
  // says so.
  Window->SearchStarted();
  Window->AddFindResult(new TSearchHit{hkValueName, RegRoot::CurrentUser, L"\\" + Data + L"\\Gone\\", L"Stale", L""});
  Window->SearchFinished();
  TListItem* result = Window->lvFindResults->Items()->GetItem(0);
  result->SetSelected(true);
  Window->lvFindResults->SetItemFocused(result);
  run("delete", Window->lvFindResults, Window->mnuEdit, L'D', {confirmWith(confirm->btnYes), messageBox});
  EXPECT_EQ(Window->lvFindResults->Items()->GetCount(), 0);
  EXPECT_TRUE(Errors.empty());
}

}  // namespace
