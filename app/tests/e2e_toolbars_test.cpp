// The main window's toolbars on their dock: the Navigation toolbar's
// address box and the room its row has.
#include "app/tests/e2e_support.h"
#include "testsupport/Input.h"
#include "toolbars/BarDock.h"
#include "toolbars/BarEditItem.h"

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

}  // namespace
