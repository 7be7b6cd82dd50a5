// The main window's toolbars: the Navigation toolbar's address box and the
// room its row has on the dock, and a toolbar floating over the window.
#include "app/tests/e2e_support.h"
#include "testsupport/Input.h"
#include "toolbars/BarDock.h"
#include "toolbars/BarEditItem.h"
#include "toolbars/BarFloat.h"

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

// A toolbar floating over the main window lies above it, owned by it: when
// it was dragged there, when the window takes the focus again, and after
// restarts (where it appears while the window is being shown); closing the
// window with it floating shows no error.
TEST_F(Toolbars, AToolbarFloatingOverTheWindowStaysAboveIt) {
  auto check = [&](const char* When) {
    SCOPED_TRACE(When);
    ASSERT_TRUE(Window->tbrFile->GetFloating());
    TBarFloatingWindowParent* f = Window->tbrFile->GetFloatingParent();
    ASSERT_NE(f, nullptr);
    const HWND fh = f->GetHandle(), main = Window->GetHandle();
    ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(fh) != FALSE; }));
    dlgtest::Pump(100);
    EXPECT_EQ(GetWindow(fh, GW_OWNER), main);
    bool above = false;
    for (HWND w = GetWindow(main, GW_HWNDPREV); w && !above; w = GetWindow(w, GW_HWNDPREV)) above = w == fh;
    EXPECT_TRUE(above);
    // The screen shows the toolbar's form where it lies over the window.
    RECT fr, mr, both;
    GetWindowRect(fh, &fr);
    GetWindowRect(main, &mr);
    ASSERT_TRUE(IntersectRect(&both, &fr, &mr));
    ASSERT_TRUE(EqualRect(&both, &fr));
    HDC screen = GetDC(nullptr), own = GetWindowDC(fh);
    int differ = 0, seen = 0;
    for (int y = 0; y < fr.bottom - fr.top; y += 3)
      for (int x = 0; x < fr.right - fr.left; x += 3, ++seen)
        if (GetPixel(screen, fr.left + x, fr.top + y) != GetPixel(own, x, y)) ++differ;
    ReleaseDC(fh, own);
    ReleaseDC(nullptr, screen);
    EXPECT_LT(differ * 20, seen) << differ << " of " << seen << " pixels are not the toolbar's";
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

}  // namespace
