// The menu bar of the main window reached from the keyboard, as a user
// types: Alt+letter, then an item's letter; F10 or Alt, then the arrow keys.
#include "app/PlacesDialogs.h"
#include "app/tests/e2e_support.h"
#include "testsupport/Input.h"
#include "toolbars/BarViews.h"

using namespace e2e;

namespace {

// Sends the keys and returns at once (a menu loop may be the one to read them).
void Keys(std::vector<std::pair<WORD, bool>> Seq) {
  testsupport::InputScript in;
  for (auto [k, up] : Seq) in.Key(k, !up);
  in.Post();
}
void Tap(WORD K) { Keys({{K, false}, {K, true}}); }


class MenuKeys : public EditorTest {
 protected:
  TBarView* Bar() { return Window->tbrMainMenu->View(); }
  // The menu bar's selected item, or null.
  TBarCustomItem* Selected() {
    TBarItemViewer* v = Bar()->GetSelected();
    return v ? v->Item : nullptr;
  }
  // The item whose pop-up is open below the menu bar, or null; and that
  // pop-up's selected item.
  TBarCustomItem* OpenMenu() {
    TBarItemViewer* v = Bar()->OpenViewer;
    return v && Bar()->OpenViewerView ? v->Item : nullptr;
  }
  TBarCustomItem* OpenMenuSelected() {
    TBarItemViewer* v = OpenMenu() ? Bar()->OpenViewerView->GetSelected() : nullptr;
    return v ? v->Item : nullptr;
  }
};

TEST_F(MenuKeys, AltLetterOpensFileAndItsLetterReachesTheOpenDialog) {
  Start();
  ASSERT_NE(Open(), nullptr);
  Window->pagExtras->SetActivePage(Window->tbsBookmarks);
  for (TWinControl* focus :
       std::vector<TWinControl*>{Window->treeRegTree, Window->lvKeyValues, Window->lvBookmarks}) {
    SCOPED_TRACE(WideToAnsi(focus->GetName()));
    Foreground(focus);
    bool reached = false;
    TPlacesOpenDialog::DialogHook = [&](OPENFILENAMEW&, bool Save) -> BOOL {
      reached = !Save;
      return FALSE;  // cancelled
    };
    Script s;
    s.Steps = {
        {[] { return true; }, [] { Keys({{VK_MENU, false}, {'F', false}, {'F', true}, {VK_MENU, true}}); }},
        {[&] { return OpenMenu() == Window->mnuFile; }, [] { Tap('I'); }},
        {[&] { return reached; }, [] {}},
    };
    EXPECT_EQ(s.Run(), s.Steps.size()) << "step 1: Alt+F opens File; step 2: I reaches the open dialog";
    EXPECT_EQ(OpenMenu(), nullptr);
  }
}

TEST_F(MenuKeys, F10OrAltSelectsFileAndDownOpensIt) {
  Start();
  ASSERT_NE(Open(), nullptr);
  Foreground(Window->treeRegTree);
  for (WORD first : {WORD(VK_F10), WORD(VK_MENU)}) {
    SCOPED_TRACE(first == VK_F10 ? "F10" : "Alt");
    bool selectedOnly = false;
    Script s;
    s.Steps = {
        {[] { return true; }, [first] { Tap(first); }},
        {[&] { return Selected() == Window->mnuFile; },
         [&] {
           selectedOnly = OpenMenu() == nullptr;
           Tap(VK_DOWN);
         }},
        {[&] { return OpenMenu() == Window->mnuFile && OpenMenuSelected() == Window->mnuFile_Import; },
         [] { Tap(VK_ESCAPE); }},
        {[&] { return !OpenMenu() && Selected() == Window->mnuFile; }, [] { Tap(VK_ESCAPE); }},
        {[&] { return !Selected(); }, [] {}},
    };
    EXPECT_EQ(s.Run(), s.Steps.size())
        << "step 1: selects File; 2: Down opens it on Import; 3: Escape closes it; 4: Escape leaves the bar"
        << " (selected " << (Selected() ? WideToAnsi(Selected()->GetName()) : "none") << ", foreground "
        << (GetForegroundWindow() == Window->GetHandle()) << ", capture " << (GetCapture() != nullptr) << ")";
    EXPECT_TRUE(selectedOnly) << "the key opened File instead of selecting it";
    EXPECT_EQ(GetFocus(), Window->treeRegTree->GetHandle());
  }
}

}  // namespace

namespace {

// Alt+letter typed while a key's or value's name is being edited in place
// (the tree's or list's own edit box) opens the menu bar as from the lists
// themselves; the edit is still there afterwards and Enter commits it.
TEST_F(MenuKeys, AltLetterWhileANameIsEditedOpensFileAndTheEditGoesOn) {
  CreateKey(String(Data) + L"\\Old");
  Write(String(Data) + L"\\Old", L"OldValue", REG_SZ, Sz(L"x"));
  Start();
  ASSERT_NE(Open(L"Old"), nullptr);
  struct Case {
    TWinControl* List;
    std::function<bool()> Editing;
    std::function<bool()> Renamed;
  };
  const String key = String(Data) + L"\\Old";
  std::vector<Case> cases = {
      {Window->lvKeyValues, [&] { return Window->lvKeyValues->IsEditing(); },
       [&] { return ValueNames(key) == std::vector<String>{L"NewValue"}; }},
      {Window->treeRegTree, [&] { return Window->treeRegTree->IsEditing(); },
       [&] { return KeyExists(String(Data) + L"\\NewKey") && !KeyExists(key); }},
  };
  const wchar_t* names[] = {L"NewValue", L"NewKey"};
  for (size_t i = 0; i < cases.size(); ++i) {
    Case& c = cases[i];
    SCOPED_TRACE(WideToAnsi(c.List->GetName()));
    if (c.List == Window->lvKeyValues) SelectOnly(Window->lvKeyValues, {L"OldValue"});
    Foreground(c.List);
    testsupport::InputScript().Press(VK_F2).Send();
    ASSERT_TRUE(PumpUntil(c.Editing, 10000)) << "F2 starts the edit";
    testsupport::InputScript().Text(names[i]).Send();
    Script s;
    s.Steps = {
        {[] { return true; }, [] { Keys({{VK_MENU, false}, {'F', false}, {'F', true}, {VK_MENU, true}}); }},
        {[&] { return OpenMenu() == Window->mnuFile; }, [] { Tap(VK_ESCAPE); }},
        {[&] { return !OpenMenu() && Selected() == Window->mnuFile; }, [] { Tap(VK_ESCAPE); }},
        {[&] { return !Selected(); }, [] {}},
    };
    EXPECT_EQ(s.Run(), s.Steps.size()) << "step 1: Alt+F opens File; 2: Escape closes it; 3: Escape leaves the bar";
    EXPECT_TRUE(c.Editing()) << "the edit ended";
    EXPECT_FALSE(c.Renamed());
    testsupport::InputScript().Press(VK_RETURN).Send();
    EXPECT_TRUE(PumpUntil([&] { return !c.Editing() && c.Renamed(); }, 10000)) << "Enter commits the new name";
  }
}

// Edit > New > String Value typed on the menu bar while the selected key
// has been deleted by another program: the error says the key is gone, no
// empty key is made in its place and no item is added to the list.
TEST_F(MenuKeys, NewStringValueInAKeyDeletedElsewhereSaysTheKeyNoLongerExists) {
  const String key = String(Data) + L"\\Doomed";
  CreateKey(key);
  Start();
  ASSERT_NE(Open(L"Doomed"), nullptr);
  Foreground(Window->treeRegTree);
  const int items = Window->lvKeyValues->Items()->GetCount();
  DeleteTree(key);
  ASSERT_FALSE(KeyExists(key));
  auto subOpen = [&] {
    TBarView* menu = OpenMenu() == Window->mnuEdit ? Bar()->OpenViewerView : nullptr;
    return menu && menu->OpenViewer && menu->OpenViewerView && menu->OpenViewer->Item == Window->mnuEdit_New;
  };
  Script s;
  s.Steps = {
      {[] { return true; }, [] { Keys({{VK_MENU, false}, {'E', false}, {'E', true}, {VK_MENU, true}}); }},
      // N is also Rename's letter: it would only move between the two.
      {[&] { return OpenMenu() == Window->mnuEdit && OpenMenuSelected() == Window->mnuEdit_New; },
       [] { Tap(VK_RIGHT); }},
      {subOpen, [] { Tap('S'); }},
      {[&] { return !Errors.empty() && !OpenMenu(); }, [] {}},
  };
  EXPECT_EQ(s.Run(), s.Steps.size()) << "step 1: Alt+E opens Edit; 2: Right opens New; 3: S runs String Value";
  ASSERT_EQ(Errors.size(), 1u);
  EXPECT_EQ(Errors[0].find(L"Unable to successfully create a new string value."), 0u) << WideToAnsi(Errors[0]);
  EXPECT_NE(Errors[0].find(L"The key no longer exists: it may have been deleted or renamed by another process or "
                           L"application."),
            String::npos);
  EXPECT_NE(Errors[0].find(L"Doomed"), String::npos);
  EXPECT_FALSE(KeyExists(key));
  EXPECT_EQ(Window->lvKeyValues->Items()->GetCount(), items);
}

}  // namespace
