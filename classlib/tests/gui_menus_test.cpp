// Menus: shortcut texts, a form's menu bar with real mouse and keyboard.
#include <atomic>
#include <memory>

#include "classlib/Forms.h"
#include "classlib/Menus.h"
#include "classlib/StdCtrls.h"
#include "testsupport/Gui.h"
#include "testsupport/Input.h"
#include "testsupport/Pump.h"

using testsupport::PumpUntil;

static ::testing::Environment* const kGuiEnv = ::testing::AddGlobalTestEnvironment(new testsupport::GuiEnvironment);

namespace {

TMenuItem* NewItem(TComponent* Owner, TMenuItem* Parent, const String& Caption, TShortCut Sc = 0) {
  auto* i = new TMenuItem(Owner);
  i->SetCaption(Caption);
  i->SetShortCut(Sc);
  Parent->Add(i);
  return i;
}

// A form with "&File" (Open Ctrl+O, a line, "&Recent" with one item) and
// "&Edit" (Delete, disabled) on its bar; the clicks are counted.
struct MenuForm {
  std::unique_ptr<TForm> form{new TForm(Application)};
  TMainMenu* menu = new TMainMenu(form.get());
  TMenuItem *file, *open, *recent, *recentOne, *edit, *del;
  std::atomic<int> fileClicks{0}, openClicks{0}, delClicks{0};

  MenuForm() {
    file = NewItem(form.get(), menu->Items(), L"&File");
    open = NewItem(form.get(), file, L"&Open", ShortCut('O', TShiftState{ssCtrl}));
    NewItem(form.get(), file, L"-");
    recent = NewItem(form.get(), file, L"&Recent");
    recentOne = NewItem(form.get(), recent, L"one.reg");
    edit = NewItem(form.get(), menu->Items(), L"&Edit");
    del = NewItem(form.get(), edit, L"&Delete", ShortCut(VK_DELETE, TShiftState()));
    del->SetEnabled(false);
    file->OnClick = [this](TObject*) { ++fileClicks; };
    open->OnClick = [this](TObject*) { ++openClicks; };
    del->OnClick = [this](TObject*) { ++delClicks; };
    form->SetBounds(60, 60, 360, 240);
    form->SetMenu(menu);
  }
  void Show() {
    form->Show();
    SetForegroundWindow(form->GetHandle());
    ASSERT_TRUE(PumpUntil([&] { return GetForegroundWindow() == form->GetHandle(); }));
  }
};

// Waits on a script thread (the window thread runs the menu's loop).
bool WaitFor(const std::function<bool()>& Done) {
  for (int i = 0; i < 1000; ++i) {
    if (Done()) return true;
    Sleep(10);
  }
  return false;
}

POINT Centre(const RECT& R) { return POINT{(R.left + R.right) / 2, (R.top + R.bottom) / 2}; }

}  // namespace

TEST(Menus, ShortCutTextsRoundTrip) {
  EXPECT_EQ(L"Ctrl+O", ShortCutToText(ShortCut('O', TShiftState{ssCtrl})));
  EXPECT_EQ(L"Shift+Del", ShortCutToText(ShortCut(VK_DELETE, TShiftState{ssShift})));
  EXPECT_EQ(L"F1", ShortCutToText(ShortCut(VK_F1, TShiftState())));
  EXPECT_EQ(L"Shift+Ctrl+Alt+F12", ShortCutToText(ShortCut(VK_F12, TShiftState{ssShift, ssCtrl, ssAlt})));
  EXPECT_EQ(L"", ShortCutToText(0));
  for (TShortCut sc : {TShortCut(ShortCut('O', TShiftState{ssCtrl})), TShortCut(ShortCut(VK_F5, TShiftState())),
                       TShortCut(ShortCut(VK_RETURN, TShiftState{ssAlt})), TShortCut(ShortCut('7', TShiftState{ssShift}))})
    EXPECT_EQ(sc, TextToShortCut(ShortCutToText(sc))) << ShortCutToText(sc);
  EXPECT_EQ(ShortCut(VK_DELETE, TShiftState{ssCtrl}), TextToShortCut(L"ctrl+del"));
  EXPECT_EQ(0, TextToShortCut(L"Ctrl+"));
  EXPECT_EQ(0, TextToShortCut(L"Ctrl+NoSuchKey"));
}

TEST(Menus, ItemsKeepTheirSubMenusAndCommands) {
  MenuForm m;
  HMENU bar = m.menu->Handle();
  ASSERT_TRUE(bar);
  EXPECT_EQ(2, GetMenuItemCount(bar));
  EXPECT_EQ(m.file->Handle(), GetSubMenu(bar, 0));
  EXPECT_EQ(nullptr, m.open->Handle());
  // The shortcut shows beside the caption; the line is a separator.
  wchar_t text[64] = {};
  GetMenuStringW(m.file->Handle(), 0, text, 64, MF_BYPOSITION);
  EXPECT_STREQ(L"&Open\tCtrl+O", text);
  EXPECT_EQ(MF_SEPARATOR, GetMenuState(m.file->Handle(), 1, MF_BYPOSITION) & MF_SEPARATOR);
  EXPECT_EQ(m.open->Command(), GetMenuItemID(m.file->Handle(), 0));
  EXPECT_TRUE(GetMenuState(m.edit->Handle(), 0, MF_BYPOSITION) & MF_GRAYED);

  // Dispatching by sub-menu handle and by command id.
  EXPECT_TRUE(m.menu->DispatchPopup(m.file->Handle()));
  EXPECT_EQ(1, m.fileClicks);
  EXPECT_FALSE(m.menu->DispatchPopup(reinterpret_cast<HMENU>(0x7FFF0)));
  EXPECT_FALSE(m.menu->DispatchPopup(m.menu->Handle()));
  EXPECT_TRUE(m.menu->DispatchCommand(m.open->Command()));
  EXPECT_EQ(1, m.openClicks);
  m.menu->DispatchCommand(m.del->Command());  // disabled: no click
  EXPECT_EQ(0, m.delClicks);
  EXPECT_FALSE(m.menu->DispatchCommand(0));

  // Hidden items leave the menu; the last item gone takes the sub-menu away.
  m.open->SetVisible(false);
  EXPECT_EQ(2, GetMenuItemCount(m.file->Handle()));
  m.recent->Remove(m.recentOne);
  EXPECT_EQ(nullptr, m.recent->Handle());
  EXPECT_EQ(nullptr, GetSubMenu(m.file->Handle(), 1));
  delete m.recentOne;
  // Freeing an item takes it out of its parent and frees its items.
  delete m.edit;
  EXPECT_EQ(1, m.menu->Items()->Count());
  EXPECT_EQ(1, GetMenuItemCount(bar));
}

TEST(Menus, TheFormsBarOpensWithTheMouseAndRunsItsCommands) {
  MenuForm m;
  m.Show();
  HWND h = m.form->GetHandle();
  ASSERT_EQ(m.menu->Handle(), GetMenu(h));
  RECT fileRect{};
  ASSERT_TRUE(GetMenuItemRect(h, m.menu->Handle(), 0, &fileRect));
  std::atomic<bool> popupShown{false};
  const bool ended = testsupport::RunInput([&] {
    testsupport::InputScript().Click(Centre(fileRect)).Post();
    if (!WaitFor([&] { return m.fileClicks > 0; })) return;
    RECT openRect{};
    popupShown = WaitFor([&] {
      HWND popup = FindWindowW(L"#32768", nullptr);
      return popup && IsWindowVisible(popup) && GetMenuItemRect(h, m.file->Handle(), 0, &openRect) &&
             openRect.right > openRect.left;
    });
    if (!popupShown) return;
    testsupport::InputScript().Click(Centre(openRect)).Post();
    WaitFor([&] { return m.openClicks > 0; });
  });
  EXPECT_TRUE(ended);
  EXPECT_EQ(1, m.fileClicks);
  EXPECT_TRUE(popupShown);
  EXPECT_TRUE(PumpUntil([&] { return m.openClicks == 1; }));
}

TEST(Menus, AShortCutTypedRunsItsItemAfterItsSubMenusNotice) {
  MenuForm m;
  auto* edit = new TEdit(m.form.get());
  edit->SetParent(m.form.get());
  m.Show();
  m.form->FocusControl(edit);
  ASSERT_TRUE(PumpUntil([&] { return GetFocus() == edit->GetHandle(); }));
  testsupport::PressKey('O', {VK_CONTROL});
  EXPECT_TRUE(PumpUntil([&] { return m.openClicks == 1; }));
  EXPECT_EQ(1, m.fileClicks);
  // A disabled item's shortcut does nothing (the key goes to the edit).
  edit->SetText(L"abc");
  testsupport::PressKey(VK_DELETE);
  testsupport::PumpPending();
  EXPECT_EQ(0, m.delClicks);
  // The sub-menu's notice can enable the item before its shortcut runs.
  m.edit->OnClick = [&](TObject*) { m.del->SetEnabled(true); };
  testsupport::PressKey(VK_DELETE);
  EXPECT_TRUE(PumpUntil([&] { return m.delClicks == 1; }));
}

TEST(Menus, TheFormLetsGoOfAMenuThatIsFreed) {
  MenuForm m;
  m.Show();
  HWND h = m.form->GetHandle();
  const int withBar = m.form->GetClientHeight();
  delete m.menu;
  EXPECT_EQ(nullptr, m.form->GetMenu());
  EXPECT_EQ(nullptr, GetMenu(h));
  EXPECT_GT(m.form->GetClientHeight(), withBar);
}
