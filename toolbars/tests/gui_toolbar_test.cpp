// Toolbars, docks, menus and pop-ups on real windows.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <vector>

#include "classlib/Actions.h"
#include "classlib/Filer.h"
#include "classlib/ImgList.h"
#include "classlib/Forms.h"
#include "classlib/Registry.h"
#include "testsupport/Gui.h"
#include "testsupport/Input.h"
#include "testsupport/LoopScript.h"
#include "testsupport/Pump.h"
#include "testsupport/Registry.h"
#include "toolbars/BarDock.h"
#include "toolbars/BarEditItem.h"
#include "toolbars/BarFiler.h"
#include "toolbars/BarFloat.h"
#include "toolbars/BarHooks.h"
#include "toolbars/BarImages.h"
#include "toolbars/BarPopup.h"
#include "toolbars/BarToolbar.h"
#include "toolbars/BarUtilsWin.h"
#include "toolbars/tests/BarTestHost.h"
#include "classlib/StdCtrls.h"

using namespace testsupport;

static ::testing::Environment* const kGuiEnv = ::testing::AddGlobalTestEnvironment(new GuiEnvironment);


namespace {

struct Host {
  std::unique_ptr<TForm> Form;
  TBarDock* Dock = nullptr;
  Host(int w = 500, int h = 300) {
    Form.reset(new TForm(Application));
    Form->SetBounds(40, 40, w, h);
    Dock = new TBarDock(Form.get());
    Dock->SetName(L"tbdTop");
    Dock->SetParent(Form.get());
  }
  TBarToolbar* AddToolbar(const String& Name, int Row, int Pos) {
    auto* t = new TBarToolbar(Form.get());
    t->SetName(Name);
    t->SetDockRow(Row);
    t->SetDockPos(Pos);
    t->SetParent(Dock);
    return t;
  }
  void Show() {
    Form->Show();
    Pump(50);
  }
  // An edit box on the form, below the dock.
  TEdit* AddEdit() {
    auto* e = new TEdit(Form.get());
    e->SetBounds(10, 100, 100, 20);
    e->SetParent(Form.get());
    return e;
  }
};

TBarItem* AddItem(TBarCustomItem* Parent, const String& Caption, int* Clicks = nullptr) {
  auto* it = new TBarItem(Parent->GetOwner());
  it->SetCaption(Caption);
  if (Clicks) it->OnClick = [Clicks](TObject*) { ++*Clicks; };
  Parent->Add(it);
  return it;
}

TEST(BarToolbarLayout, ImageOnlyButtonMeasures23x22) {
  Host h;
  auto* t = h.AddToolbar(L"tbrTest", 0, 0);
  TCustomImageList il(nullptr, 16, 16);
  t->SetImages(&il);
  auto* b = AddItem(t->Items(), L"");
  b->SetImageIndex(0);
  h.Show();
  TBarItemViewer* v = t->View()->Find(b);
  EXPECT_EQ(v->BoundsRect.right - v->BoundsRect.left, 23);
  EXPECT_EQ(v->BoundsRect.bottom - v->BoundsRect.top, 22);
  // A combo is 11 wider; its drop-down part is outside the button part.
  auto* c = new TBarSubmenuItem(h.Form.get());
  c->SetDropdownCombo(true);
  c->SetImageIndex(0);
  t->Items()->Add(c);
  Pump(20);
  TBarItemViewer* cv = t->View()->Find(c);
  int cw = cv->BoundsRect.right - cv->BoundsRect.left;
  EXPECT_EQ(cw, 34);
  EXPECT_TRUE(cv->IsPtInButtonPart(cw - 12, 5));
  EXPECT_FALSE(cv->IsPtInButtonPart(cw - 11, 5));
}

TEST(BarToolbarLayout, DockedFrameSizes) {
  Host h;
  auto* t = h.AddToolbar(L"tbrFrame", 0, 0);
  AddItem(t->Items(), L"One");
  h.Show();
  EXPECT_EQ(t->CalcNCSizes().x, 4 + 6);  // single handle
  EXPECT_EQ(t->CalcNCSizes().y, 4);
  t->SetDragHandleStyle(dhDouble);
  EXPECT_EQ(t->CalcNCSizes().x, 4 + 9);
  t->SetDragHandleStyle(dhNone);
  EXPECT_EQ(t->CalcNCSizes().x, 4);
  t->SetCloseButtonWhenDocked(true);
  EXPECT_EQ(t->CalcNCSizes().x, 4 + 14);  // 14 with the close button, whatever the style
  RECT b = t->GetDockedCloseButtonRect(false);
  EXPECT_EQ(b.left, 3);
  EXPECT_EQ(b.top, 2);
  EXPECT_EQ(b.right - b.left, 11);
  // The client area is the window less the frame.
  RECT wr, cr;
  GetWindowRect(t->GetHandle(), &wr);
  GetClientRect(t->GetHandle(), &cr);
  EXPECT_EQ((wr.right - wr.left) - cr.right, 18);
  EXPECT_EQ((wr.bottom - wr.top) - cr.bottom, 4);
  // The dock is one row: the toolbar's height.
  EXPECT_EQ(h.Dock->GetHeight(), t->GetHeight());
}

}  // namespace

// ---- menu bar and menu loop ------------------------------------------------------------
namespace {


// Menu start and end as accessibility clients see them.
struct MenuEvents {
  static std::vector<DWORD>& Log() {
    static std::vector<DWORD> l;
    return l;
  }
  HWINEVENTHOOK Hook;
  MenuEvents() {
    Log().clear();
    Hook = SetWinEventHook(EVENT_SYSTEM_MENUSTART, EVENT_SYSTEM_MENUPOPUPEND, nullptr, &MenuEvents::Proc,
                           GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
  }
  ~MenuEvents() {
    if (Hook) UnhookWinEvent(Hook);
  }
  static void CALLBACK Proc(HWINEVENTHOOK, DWORD Event, HWND, LONG, LONG, DWORD, DWORD) {
    Log().push_back(Event);
  }
  static int Count(DWORD E) {
    int n = 0;
    for (DWORD e : Log()) n += e == E;
    return n;
  }
};

struct MenuHost : Host {
  TBarToolbar* Bar = nullptr;
  TBarSubmenuItem* File = nullptr;
  TBarSubmenuItem* Edit = nullptr;
  TBarItem* Open = nullptr;
  TBarItem* Exit = nullptr;
  TBarItem* Copy = nullptr;
  TBarItem* Cut = nullptr;
  int OpenClicks = 0, CopyClicks = 0, CutClicks = 0;
  bool PopupVisibleDuringClick = false;
  MenuHost(int w = 500) : Host(w) {
    Bar = AddToolbar(L"tbrMainMenu", 0, 0);
    Bar->SetMenuBar(true);
    File = new TBarSubmenuItem(Form.get());
    File->SetCaption(L"&File");
    Bar->Items()->Add(File);
    Open = AddItem(File, L"&Open", &OpenClicks);
    Open->OnClick = [this](TObject*) {
      ++OpenClicks;
      PopupVisibleDuringClick = AnyPopupVisible();
    };
    Exit = AddItem(File, L"E&xit");
    Edit = new TBarSubmenuItem(Form.get());
    Edit->SetCaption(L"&Edit");
    Bar->Items()->Add(Edit);
    Copy = AddItem(Edit, L"&Copy", &CopyClicks);
    Cut = AddItem(Edit, L"&Cut", &CutClicks);  // shares its accelerator
    Show();
    SetForegroundWindow(Form->GetHandle());
    SetActiveWindow(Form->GetHandle());
    Pump(30);
  }
  static bool AnyPopupVisible() { return bartest::VisiblePopupWindow() != nullptr; }
  TBarView* OpenView() { return Bar->View()->OpenViewerView; }
};

TEST(BarMenuBar, AltAloneSelectsTheFirstItemWithoutOpeningIt) {
  MenuHost h;
  MenuEvents events;
  TBarCustomItem* selected = nullptr;
  bool opened = true;
  bool modal = false;
  {
    LoopScript s({[&] {
      modal = h.Bar->View()->State.Contains(vsModal);
      selected = h.Bar->View()->GetSelected() ? h.Bar->View()->GetSelected()->Item : nullptr;
      opened = h.OpenView() != nullptr;
      PostKey(VK_ESCAPE);
    }});
    // Alt pressed and released alone: the release asks for the menu.
    InputScript().Press(VK_MENU).Post();
    EXPECT_TRUE(PumpUntil([&] { return s.StepsRun() == 1 && !h.Bar->View()->State.Contains(vsModal); }, 10000));
  }
  EXPECT_TRUE(modal);
  EXPECT_EQ(selected, h.File);
  EXPECT_FALSE(opened);
  EXPECT_FALSE(h.Bar->View()->State.Contains(vsModal));
  EXPECT_EQ(h.Bar->View()->GetSelected(), nullptr);
  Pump(30);
  EXPECT_EQ(MenuEvents::Count(EVENT_SYSTEM_MENUSTART), 1);
  EXPECT_EQ(MenuEvents::Count(EVENT_SYSTEM_MENUEND), 1);

  // The system's own handling of Alt alone still works afterwards: a form
  // without a menu bar is asked for its keyboard menu.
  TForm other(Application);
  other.SetBounds(560, 40, 200, 150);
  other.Show();
  SetActiveWindow(other.GetHandle());
  ASSERT_TRUE(PumpUntil([&] { return GetFocus() == other.GetHandle(); }));
  int keyMenus = 0;
  const TWndMethod inherited = other.WindowProc;
  other.WindowProc = [&](TMessage& m) {
    if (m.Msg == WM_SYSCOMMAND && (m.WParam & 0xFFF0) == SC_KEYMENU) {
      ++keyMenus;
      return;
    }
    inherited(m);
  };
  PressKey(VK_MENU);
  EXPECT_EQ(keyMenus, 1);
  other.WindowProc = inherited;
}

TEST(BarMenuBar, F10SelectsTheFirstItem) {
  MenuHost h;
  TBarCustomItem* selected = nullptr;
  {
    LoopScript s({[&] {
      selected = h.Bar->View()->GetSelected() ? h.Bar->View()->GetSelected()->Item : nullptr;
      PostKey(VK_ESCAPE);
    }});
    // F10 reaches the window procedure as a system key; its default handling
    // asks for the menu.
    HWND f = h.Form->GetHandle();
    SendMessageW(f, WM_SYSKEYDOWN, VK_F10, 0x00440001);
    SendMessageW(f, WM_SYSKEYUP, VK_F10, 0xC0440001);
    // (DefWindowProc turns F10 into SC_KEYMENU.)
  }
  EXPECT_EQ(selected, h.File);
}

TEST(BarMenuBar, AltLetterOpensItsMenuWithTheFirstItemSelected) {
  MenuHost h;
  TBarCustomItem* openFrom = nullptr;
  TBarCustomItem* firstSelected = nullptr;
  {
    LoopScript s({[&] {
      if (TBarView* v = h.OpenView()) {
        openFrom = v->GetParentItem();
        firstSelected = v->GetSelected() ? v->GetSelected()->Item : nullptr;
      }
      PostKey(VK_ESCAPE);
      PostKey(VK_ESCAPE);
    }});
    // Alt+F arrives as a system character; its default handling asks for the menu.
    SendMessageW(h.Form->GetHandle(), WM_SYSCHAR, L'f', 0x20210001);
  }
  EXPECT_EQ(openFrom, h.File);
  EXPECT_EQ(firstSelected, h.Open);
  EXPECT_EQ(h.OpenClicks, 0);
  EXPECT_FALSE(MenuHost::AnyPopupVisible());
}

TEST(BarMenuBar, UniqueAcceleratorRunsTheItemAfterTheMenusClosed) {
  MenuHost h;
  {
    LoopScript s({[&] { PostChar(L'o'); }});
    SendMessageW(h.Form->GetHandle(), WM_SYSCOMMAND, SC_KEYMENU, L'f');
  }
  // The click is queued: it runs when the message loop dispatches it.
  EXPECT_EQ(h.OpenClicks, 0);
  EXPECT_FALSE(MenuHost::AnyPopupVisible());
  EXPECT_TRUE(PumpUntil([&] { return h.OpenClicks == 1; }, 2000));
  EXPECT_FALSE(h.PopupVisibleDuringClick);
  Pump(30);
  EXPECT_EQ(h.OpenClicks, 1);
}

TEST(BarMenuBar, SharedAcceleratorOnlyMovesTheSelection) {
  MenuHost h;
  TBarCustomItem* sel1 = nullptr;
  TBarCustomItem* sel2 = nullptr;
  {
    LoopScript s({[&] { PostChar(L'c'); },
                  [&] {
                    if (h.OpenView() && h.OpenView()->GetSelected()) sel1 = h.OpenView()->GetSelected()->Item;
                    PostChar(L'c');
                  },
                  [&] {
                    if (h.OpenView() && h.OpenView()->GetSelected()) sel2 = h.OpenView()->GetSelected()->Item;
                    PostKey(VK_ESCAPE);
                    PostKey(VK_ESCAPE);
                  }});
    SendMessageW(h.Form->GetHandle(), WM_SYSCOMMAND, SC_KEYMENU, L'e');
  }
  Pump(30);
  EXPECT_EQ(sel1, h.Cut);   // from Copy (selected first) to the next match
  EXPECT_EQ(sel2, h.Copy);  // and round again
  EXPECT_EQ(h.CopyClicks + h.CutClicks, 0);
}

// Alt with a letter that no item has leaves the underlines showing what
// the keys would open; a letter of a disabled item hides them again.
TEST(BarMenuBar, ALetterThatMatchesNothingKeepsTheUnderlinesShowing) {
  BOOL cues = FALSE;
  SystemParametersInfoW(SPI_GETKEYBOARDCUES, 0, &cues, 0);
  SystemParametersInfoW(SPI_SETKEYBOARDCUES, 0, reinterpret_cast<PVOID>(FALSE), 0);
  {
    MenuHost h;
    auto* zoom = new TBarItem(h.Form.get());
    zoom->SetCaption(L"&Zoom");
    zoom->SetEnabled(false);
    h.Bar->Items()->Add(zoom);
    Pump(20);
    ASSERT_FALSE(h.Bar->View()->State.Contains(vsShowAccels));
    PressKey('Q', {VK_MENU});
    Pump(20);
    EXPECT_TRUE(h.Bar->View()->State.Contains(vsShowAccels));
    EXPECT_FALSE(h.Bar->View()->State.Contains(vsModal));
    PressKey('Z', {VK_MENU});
    Pump(20);
    EXPECT_FALSE(h.Bar->View()->State.Contains(vsShowAccels));
    EXPECT_FALSE(h.Bar->View()->State.Contains(vsModal));
  }
  SystemParametersInfoW(SPI_SETKEYBOARDCUES, 0, reinterpret_cast<PVOID>(static_cast<INT_PTR>(cues)), 0);
}

TEST(BarMenuBar, DownArrowInTheMenuBarOpensAndMovesInThePopup) {
  MenuHost h;
  TBarCustomItem* inPopup = nullptr;
  {
    LoopScript s({[&] { PostKey(VK_DOWN); },
                  [&] { PostKey(VK_DOWN); },
                  [&] {
                    if (h.OpenView() && h.OpenView()->GetSelected()) inPopup = h.OpenView()->GetSelected()->Item;
                    PostKey(VK_RETURN);
                  }});
    SendMessageW(h.Form->GetHandle(), WM_SYSCOMMAND, SC_KEYMENU, 0);
  }
  EXPECT_EQ(inPopup, h.Exit);
}

TEST(BarMenuLoop, QuitMessageEndsTheLoopAndIsKeptForTheApplication) {
  MenuHost h;
  {
    LoopScript s({[&] { PostQuitMessage(7); }});
    SendMessageW(h.Form->GetHandle(), WM_SYSCOMMAND, SC_KEYMENU, L'f');
  }
  EXPECT_FALSE(MenuHost::AnyPopupVisible());
  MSG m;
  ASSERT_TRUE(PeekMessageW(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(m.wParam, 7u);
}

// The application's main form as an MDI parent form with a menu bar, for
// one test; plain again afterwards.
// The item whose menu a real Alt+F opens from the menu bar (null when none
// opens); the menu is closed again.
TBarCustomItem* MenuOpenedByAltF(TBarToolbar* Bar) {
  TBarCustomItem* openFrom = nullptr;
  LoopScript s({[&] {
    TBarView* open = Bar->View()->OpenViewerView;
    if (!open) return LoopScript::Current()->Again();
    openFrom = open->GetParentItem();
    PostKey(VK_ESCAPE);
    PostKey(VK_ESCAPE);
  }});
  InputScript().Press('F', {VK_MENU}).Post();
  EXPECT_TRUE(PumpUntil([&] { return s.StepsRun() == 1 && !Bar->View()->State.Contains(vsModal); }, 10000));
  return openFrom;
}

struct MDIMenuHost {
  TCustomForm* Frame = Application->MainForm();
  std::unique_ptr<TComponent> Owner{new TComponent(nullptr)};
  TBarToolbar* Bar = nullptr;
  TBarSubmenuItem* File = nullptr;
  int OpenClicks = 0;
  MDIMenuHost() {
    Frame->SetFormStyle(fsMDIForm);
    Frame->SetBounds(40, 40, 500, 300);
    auto* dock = new TBarDock(Owner.get());
    dock->SetParent(Frame);
    Bar = new TBarToolbar(Owner.get());
    Bar->SetParent(dock);
    Bar->SetMenuBar(true);
    File = new TBarSubmenuItem(Owner.get());
    File->SetCaption(L"&File");
    Bar->Items()->Add(File);
    AddItem(File, L"&Open", &OpenClicks);
    Frame->Show();
  }
  ~MDIMenuHost() {
    Owner.reset();
    Frame->Hide();
    Frame->SetFormStyle(fsNormal);
  }
  TBarView* OpenView() { return Bar->View()->OpenViewerView; }
};

// Alt+letter typed in the MDI area opens the menu bar of the MDI parent
// form: with the MDI client focused (no child open), and with the focus in
// a control of an MDI child.
TEST(BarMenuBar, AltLetterInTheMDIAreaOpensTheMenuBar) {
  MDIMenuHost h;
  const HWND frame = h.Frame->GetHandle(), client = h.Frame->ClientHandle();
  ASSERT_NE(client, nullptr);
  std::unique_ptr<TForm> child;
  for (bool inChild : {false, true}) {
    SCOPED_TRACE(inChild ? "a control of an MDI child" : "the MDI client");
    HWND focus = client;
    if (inChild) {
      child = std::make_unique<TForm>(Application);
      child->SetFormStyle(fsMDIChild);
      auto* edit = new TEdit(child.get());
      edit->SetParent(child.get());
      child->Show();
      focus = edit->GetHandle();
    }
    SetForegroundWindow(frame);
    SetFocus(focus);
    ASSERT_TRUE(PumpUntil([&] { return GetForegroundWindow() == frame && GetFocus() == focus; }, 10000));
    EXPECT_EQ(MenuOpenedByAltF(h.Bar), h.File);
    EXPECT_EQ(h.OpenClicks, 0);
  }
}

// A menu bar being designed elsewhere registers the message watcher without
// a system hook of its own: switching it off or freeing it leaves the
// running menu bar's hook, and Alt+letter in the MDI area, working.
TEST(BarMenuBar, ADesignedMenuBarLeavesTheRunningOnesHook) {
  MDIMenuHost h;
  const HWND frame = h.Frame->GetHandle(), client = h.Frame->ClientHandle();
  ASSERT_TRUE(BarHookInstalled(2));
  auto designed = std::make_unique<TForm>(Application);
  designed->SetDesigning(true);
  auto* dock = new TBarDock(designed.get());
  dock->SetParent(designed.get());
  auto* other = new TBarToolbar(designed.get());
  other->SetParent(dock);
  ASSERT_TRUE(other->IsDesigning());
  other->SetMenuBar(true);
  other->SetMenuBar(false);
  EXPECT_TRUE(BarHookInstalled(2));
  other->SetMenuBar(true);
  designed.reset();  // freed while a menu bar
  EXPECT_TRUE(BarHookInstalled(2));
  SetForegroundWindow(frame);
  SetFocus(client);
  ASSERT_TRUE(PumpUntil([&] { return GetForegroundWindow() == frame && GetFocus() == client; }, 10000));
  EXPECT_EQ(MenuOpenedByAltF(h.Bar), h.File);
  EXPECT_EQ(h.OpenClicks, 0);
}

TEST(BarMenuBar, AltLetterOnTheFormOpensTheMenuBarFloatingFromItsDock) {
  MenuHost h;
  h.Bar->HideWhenInactive = false;
  h.Bar->SetFloating(true);
  ASSERT_TRUE(h.Bar->GetFloating());
  ASSERT_EQ(h.Dock->GetHeight(), 0);
  const HWND form = h.Form->GetHandle();
  SetForegroundWindow(form);
  SetFocus(form);
  ASSERT_TRUE(PumpUntil([&] { return GetForegroundWindow() == form && IsWindowVisible(h.Bar->GetHandle()); }, 10000));
  EXPECT_EQ(MenuOpenedByAltF(h.Bar), h.File);
  // Without a floating window to take it the dock answers for itself
  // (handed on, the command would come back to it through the form).
  h.Bar->SetParent(h.Dock);
  EXPECT_EQ(SendMessageW(h.Dock->GetHandle(), WM_SYSCOMMAND, SC_KEYMENU, L'f'), 0);
  EXPECT_FALSE(h.Bar->View()->State.Contains(vsModal));
}

}  // namespace

// ---- shortcuts ---------------------------------------------------------------------------
namespace {

struct KeyState {
  BYTE Saved[256];
  explicit KeyState(std::initializer_list<BYTE> Down) {
    GetKeyboardState(Saved);
    BYTE s[256];
    memcpy(s, Saved, sizeof(s));
    for (BYTE k : Down) s[k] = 0x80;
    SetKeyboardState(s);
  }
  ~KeyState() { SetKeyboardState(Saved); }
};

TEST(BarShortCuts, RunOnceWithTheFocusElsewhereButNotWhileTheFormIsDisabled) {
  MenuHost h;
  TEdit* edit = h.AddEdit();
  h.Open->SetShortCut(ShortCut('O', TShiftState{ssCtrl}));
  Pump(20);
  edit->SetFocus();
  Pump(20);
  ASSERT_EQ(GetFocus(), edit->GetHandle());
  {
    KeyState ctrl({VK_CONTROL});
    PostMessageW(edit->GetHandle(), WM_KEYDOWN, 'O', 0x00180001);
    Pump(50);
  }
  EXPECT_EQ(h.OpenClicks, 1);
  EXPECT_EQ(edit->GetText(), L"");  // the key did not reach the edit box
  // A modal dialog disables the form: the shortcut waits.
  EnableWindow(h.Form->GetHandle(), FALSE);
  {
    KeyState ctrl({VK_CONTROL});
    TMessage km{WM_KEYDOWN, 'O', 0x00180001, 0};
    Application->IsShortCut(km);
    Pump(30);
  }
  EnableWindow(h.Form->GetHandle(), TRUE);
  EXPECT_EQ(h.OpenClicks, 1);
  // A toolbar that does not process shortcuts is not asked.
  h.Bar->SetMenuBar(false);
  h.Bar->SetProcessShortCuts(false);
  {
    KeyState ctrl({VK_CONTROL});
    TMessage km{WM_KEYDOWN, 'O', 0x00180001, 0};
    EXPECT_FALSE(Application->IsShortCut(km));
  }
  EXPECT_EQ(h.OpenClicks, 1);
}

// A key typed in a control runs the item of the control's own bar pop-up
// menu, or of a parent's, that has it as shortcut; any other key is the
// control's.
TEST(BarShortCuts, TheFocusedControlsPopupMenuRunsItsItem) {
  Host h;
  auto* edit = new TEdit(h.Form.get());
  edit->SetBounds(10, 100, 120, 22);
  edit->SetParent(h.Form.get());
  auto* own = new TBarPopupMenu(h.Form.get());
  int kClicks = 0, lClicks = 0;
  AddItem(own->Items(), L"Kill", &kClicks)->SetShortCut(ShortCut('K', TShiftState{ssCtrl}));
  edit->SetPopupMenu(own);
  auto* parents = new TBarPopupMenu(h.Form.get());
  AddItem(parents->Items(), L"Load", &lClicks)->SetShortCut(ShortCut('L', TShiftState{ssCtrl}));
  h.Form->SetPopupMenu(parents);
  h.Show();
  SetForegroundWindow(h.Form->GetHandle());
  Click(ScreenPoint(edit->GetHandle(), 5, 5));
  ASSERT_TRUE(PumpUntil([&] { return GetFocus() == edit->GetHandle(); }, 10000));

  PressKey('K', {VK_CONTROL});
  PumpPending();
  EXPECT_EQ(kClicks, 1);
  EXPECT_EQ(lClicks, 0);
  EXPECT_EQ(edit->GetText(), L"");
  PressKey('L', {VK_CONTROL});
  PumpPending();
  EXPECT_EQ(kClicks, 1);
  EXPECT_EQ(lClicks, 1);
  // A key that is no item's shortcut is typed into the edit box.
  PressKey('K');
  ASSERT_TRUE(PumpUntil([&] { return edit->GetText() == L"k"; }, 5000));
  EXPECT_EQ(kClicks, 1);
  EXPECT_EQ(lClicks, 1);
  edit->SetPopupMenu(nullptr);
  h.Form->SetPopupMenu(nullptr);
}

// ---- chevron and wrapping --------------------------------------------------------------
TEST(BarChevron, HidesItemsByPriorityAndListsThem) {
  Host h(260);
  auto* t = h.AddToolbar(L"tbrWide", 0, 0);
  std::vector<TBarItem*> items;
  for (int i = 0; i < 8; ++i) items.push_back(AddItem(t->Items(), L"Item " + std::to_wstring(i)));
  h.Show();
  TBarView* v = t->View();
  v->ValidatePositions();
  int shown = 0, off = 0;
  for (auto* it : items) {
    TBarItemViewer* iv = v->Find(it);
    shown += iv->Show;
    off += iv->OffEdge;
  }
  ASSERT_GT(off, 0);
  ASSERT_GT(shown, 0);
  EXPECT_EQ(shown + off, 8);
  // Items added at run time go to the front of the priority list, so the
  // earliest have the lowest priority and leave first.
  EXPECT_TRUE(v->Find(items.front())->OffEdge);
  EXPECT_TRUE(v->Find(items.back())->Show);
  TBarItemViewer* chevron = v->Viewers(v->ViewerCount() - 1);
  EXPECT_EQ(chevron->Item, t->ChevronItem());
  EXPECT_TRUE(chevron->Show);
  EXPECT_TRUE(t->ChevronItem()->GetEnabled());
  EXPECT_LE(chevron->BoundsRect.right, t->GetClientWidth());
  // Priority: an item that was used moves onto the bar.
  v->GivePriority(v->Find(items.front()));
  EXPECT_TRUE(v->Find(items.front())->Show);
  EXPECT_TRUE(v->Find(items.back())->Show);
  EXPECT_TRUE(v->Find(items[1])->OffEdge);
  // The chevron's pop-up lists exactly the hidden items.
  std::vector<TBarCustomItem*> listed;
  {
    LoopScript s({[&] {
      if (TBarView* pv = v->OpenViewerView)
        for (int i = 0; i < pv->ViewerCount(); ++i)
          if (pv->Viewers(i)->Show) listed.push_back(pv->Viewers(i)->Item);
      PostKey(VK_ESCAPE);
      PostKey(VK_ESCAPE);
    }});
    v->SetSelected(chevron);
    v->EnterToolbarLoop(TBarEnterToolbarLoopOptions{tbetExecuteSelected});
  }
  std::vector<TBarCustomItem*> hidden;
  for (auto* it : items)
    if (v->Find(it)->OffEdge) hidden.push_back(it);
  EXPECT_EQ(listed, hidden);
  EXPECT_FALSE(hidden.empty());
}

TEST(BarChevron, MenuBarWrapsInsteadOfShowingAChevron) {
  MenuHost h(500);
  for (int i = 0; i < 10; ++i) {
    auto* s = new TBarSubmenuItem(h.Form.get());
    s->SetCaption(L"Menu &" + std::to_wstring(i));
    h.Bar->Items()->Add(s);
  }
  h.Form->SetWidth(220);
  Pump(50);
  TBarView* v = h.Bar->View();
  v->ValidatePositions();
  EXPECT_GT(v->WrappedLines, 1);
  TBarItemViewer* chevron = v->Viewers(v->ViewerCount() - 1);
  EXPECT_EQ(chevron->Item, h.Bar->ChevronItem());
  EXPECT_FALSE(chevron->Show);
  for (int i = 0; i < v->ViewerCount() - 1; ++i) EXPECT_FALSE(v->Viewers(i)->OffEdge);
  // Every item is inside the bar, and the bar is as tall as its lines.
  int bottom = 0;
  for (int i = 0; i < v->ViewerCount() - 1; ++i) {
    EXPECT_LE(v->Viewers(i)->BoundsRect.right, h.Bar->GetClientWidth());
    bottom = std::max<int>(bottom, v->Viewers(i)->BoundsRect.bottom);
  }
  EXPECT_GE(h.Bar->GetClientHeight(), bottom);
  EXPECT_EQ(h.Bar->GetWidth(), h.Dock->GetClientWidth());  // full row
}

// Laid out on trial over another dock (as a drag over it does), a wrapping
// toolbar wraps within the frame it will have there: the same rows it has
// on a dock of that width.
TEST(BarChevron, WrappingToolbarMeasuredOverAnotherDockWrapsForThatDocksFrame) {
  Host h(800);
  auto* bottom = new TBarDock(h.Form.get());
  bottom->SetName(L"tbdBottom");
  bottom->SetPosition(dpBottom);
  bottom->SetParent(h.Form.get());
  auto* t = h.AddToolbar(L"tbrWrap", 0, 0);
  for (int i = 0; i < 6; ++i) AddItem(t->Items(), L"Item" + IntToStr(i));
  t->SetShrinkMode(tbsmWrap);
  h.Show();
  const int oneRow = t->GetWidth();
  ASSERT_EQ(t->CalcNCSizes().x, 4 + 6);
  // Docks a little narrower than the row with its frame, wider than the row alone.
  h.Form->SetClientWidth(oneRow - 3);
  Pump(30);
  ASSERT_EQ(bottom->GetClientWidth(), h.Dock->GetClientWidth());
  t->View()->ValidatePositions();
  ASSERT_GT(t->View()->WrappedLines, 1);
  const POINT docked{t->GetClientWidth(), t->GetClientHeight()};
  const POINT trial = t->DoArrange(false, dtTopBottom, false, bottom);
  EXPECT_GT(t->WrappedLines, 1);
  EXPECT_EQ(trial.x, docked.x);
  EXPECT_EQ(trial.y, docked.y);
  EXPECT_LE(trial.x + 4 + 6, bottom->GetClientWidth());
  // With no drag handle on that dock the frame is only the border.
  bottom->SetAllowDrag(false);
  const POINT bare = t->DoArrange(false, dtTopBottom, false, bottom);
  EXPECT_EQ(t->WrappedLines, 1);
  EXPECT_LE(bare.x + 4, bottom->GetClientWidth());
}

// ---- pop-up menus ----------------------------------------------------------------------
struct PopupProbe {
  RECT Rect{};
  bool Up = false, Down = false;
  int Clipped = 0, MaxHeight = 0;
  void Capture(TBarView* Root) {
    (void)Root;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND w, LPARAM p) -> BOOL {
          auto* self = reinterpret_cast<PopupProbe*>(p);
          if (auto* pw = dynamic_cast<TBarPopupWindow*>(TWinControl::FindControl(w))) {
            if (!IsWindowVisible(w)) return TRUE;
            GetWindowRect(w, &self->Rect);
            self->Up = pw->View->ShowUpArrow;
            self->Down = pw->View->ShowDownArrow;
            self->MaxHeight = pw->View->MaxHeight;
            for (int i = 0; i < pw->View->ViewerCount(); ++i) self->Clipped += pw->View->Viewers(i)->Clipped;
          }
          return TRUE;
        },
        reinterpret_cast<LPARAM>(this));
  }
};

TEST(BarPopupMenu, PlacedInsideTheWorkAreaAtItsEdges) {
  TBarPopupMenu menu(nullptr);
  for (int i = 0; i < 5; ++i) AddItem(menu.Items(), L"Command " + std::to_wstring(i));
  RECT wa = GetRectOfPrimaryMonitor(true);
  PopupProbe p1, p2, p3;
  {
    LoopScript s({[&] {
      p1.Capture(nullptr);
      PostKey(VK_ESCAPE);
    }});
    menu.Popup(wa.right - 5, 100);
  }
  int w = p1.Rect.right - p1.Rect.left;
  ASSERT_GT(w, 20);
  EXPECT_LE(p1.Rect.right, wa.right);
  EXPECT_EQ(p1.Rect.right, wa.right - 5);  // flipped to the left of the point
  EXPECT_EQ(p1.Rect.top, 100);
  {
    LoopScript s({[&] {
      p2.Capture(nullptr);
      PostKey(VK_ESCAPE);
    }});
    menu.Popup(50, wa.bottom - 3);
  }
  EXPECT_EQ(p2.Rect.bottom, wa.bottom - 3);  // opens upwards from the point
  EXPECT_EQ(p2.Rect.left, 50);
  {
    LoopScript s({[&] {
      p3.Capture(nullptr);
      PostKey(VK_ESCAPE);
    }});
    menu.Popup(wa.left - 40, wa.top - 40);
  }
  EXPECT_EQ(p3.Rect.left, wa.left);
  EXPECT_EQ(p3.Rect.top, wa.top);
}

TEST(BarPopupMenu, TallerThanTheWorkAreaScrolls) {
  TBarPopupMenu menu(nullptr);
  for (int i = 0; i < 120; ++i) AddItem(menu.Items(), L"Entry " + std::to_wstring(i));
  RECT wa = GetRectOfPrimaryMonitor(true);
  PopupProbe before, after;
  int offset = -1;
  {
    LoopScript s({[&] { before.Capture(nullptr); },
                  [&] {
                    // Scroll one step down.
                    EnumThreadWindows(
                        GetCurrentThreadId(),
                        [](HWND w, LPARAM p) -> BOOL {
                          if (auto* pw = dynamic_cast<TBarPopupWindow*>(TWinControl::FindControl(w))) {
                            if (IsWindowVisible(w)) {
                              pw->View->Scroll(true);
                              *reinterpret_cast<int*>(p) = pw->View->ScrollOffset;
                            }
                          }
                          return TRUE;
                        },
                        reinterpret_cast<LPARAM>(&offset));
                  },
                  [&] {
                    after.Capture(nullptr);
                    PostKey(VK_ESCAPE);
                  }});
    menu.Popup(10, 10);
  }
  EXPECT_EQ(before.Rect.bottom - before.Rect.top, (wa.bottom - wa.top));
  EXPECT_EQ(before.MaxHeight, (wa.bottom - wa.top) - 6);
  EXPECT_FALSE(before.Up);
  EXPECT_TRUE(before.Down);
  EXPECT_GT(before.Clipped, 0);
  EXPECT_GT(offset, 0);
  EXPECT_TRUE(after.Up);
}

TEST(BarPopupMenu, ChosenItemRunsAfterThePopupIsGone) {
  TBarPopupMenu menu(nullptr);
  int clicks = 0, popups = 0;
  menu.OnPopup = [&](TObject* s) {
    ++popups;
    EXPECT_EQ(s, &menu);
  };
  AddItem(menu.Items(), L"&First");
  AddItem(menu.Items(), L"&Second", &clicks);
  {
    LoopScript s({[&] { PostKey(VK_DOWN); }, [&] { PostKey(VK_DOWN); }, [&] { PostKey(VK_RETURN); }});
    menu.Popup(100, 100);
  }
  EXPECT_EQ(popups, 1);
  EXPECT_EQ(clicks, 0);
  EXPECT_TRUE(PumpUntil([&] { return clicks == 1; }, 10000));
}

// The menu's TrackButton reaches its pop-up: a right click on an item runs
// it while the menu follows the right button, and is passed over while it
// follows the left one alone.
TEST(BarPopupMenu, TheRightButtonChoosesAnItemOnlyWhileTracked) {
  TBarPopupMenu menu(nullptr);
  int clicks = 0;
  TBarItem* item = AddItem(menu.Items(), L"&Run", &clicks);
  // Each half of the click is sent once the loop has taken the one before.
  auto press = [&] {
    HWND w = bartest::VisiblePopupWindow();
    if (!w) return LoopScript::Current()->Again();
    auto* pw = dynamic_cast<TBarPopupWindow*>(TWinControl::FindControl(w));
    const RECT r = pw->View->Find(item)->BoundsRect;
    InputScript().Move(ScreenPoint(w, (r.left + r.right) / 2, (r.top + r.bottom) / 2)).Down(Button::Right).Post();
  };
  auto release = [] {
    if (GetKeyState(VK_RBUTTON) >= 0) return LoopScript::Current()->Again();
    InputScript().Up(Button::Right).Post();
  };
  auto released = [] {
    if (GetKeyState(VK_RBUTTON) < 0) return LoopScript::Current()->Again();
    PostKey(VK_ESCAPE);
  };
  menu.SetTrackButton(tbLeftButton);
  {
    LoopScript s({press, release, released});
    menu.Popup(100, 100);
  }
  Pump(20);
  EXPECT_EQ(clicks, 0);
  menu.SetTrackButton(tbRightButton);
  {
    LoopScript s({press, release, released});
    menu.Popup(100, 100);
  }
  EXPECT_TRUE(PumpUntil([&] { return clicks == 1; }, 10000));
}

}  // namespace

// ---- the address box -------------------------------------------------------------------
namespace {

struct EditHost : Host {
  TBarToolbar* Bar;
  TBarEditItem* Path;
  int Accepts = 0;
  bool Refuse = false;
  EditHost() {
    Bar = AddToolbar(L"tbrNavigation", 0, 0);
    AddItem(Bar->Items(), L"Bookmark");
    Path = new TBarEditItem(Form.get());
    Path->SetEditCaption(L"Path");
    Path->SetEditWidth(200);
    Path->OnAcceptText = [this](TObject*, String& NewText, bool& Accept) {
      ++Accepts;
      if (Refuse) Accept = false;
    };
    Bar->Items()->Add(Path);
    Show();
    SetForegroundWindow(Form->GetHandle());
    Pump(20);
  }
  TBarEditItemViewer* Viewer() { return static_cast<TBarEditItemViewer*>(Bar->View()->Find(Path)); }
  // Starts editing and types through the edit control from inside the edit loop.
  bool Edit(const std::vector<std::function<void(HWND)>>& Steps) {
    std::vector<std::function<void()>> s;
    for (auto& step : Steps)
      s.push_back([this, step] {
        if (TEdit* e = Viewer()->EditControl) step(e->GetHandle());
      });
    LoopScript script(s);
    return Viewer()->DoExecute();
  }
};

void TypeInto(HWND Edit, const wchar_t* Text) {
  SendMessageW(Edit, EM_SETSEL, 0, -1);
  SendMessageW(Edit, WM_CLEAR, 0, 0);
  for (const wchar_t* p = Text; *p; ++p) SendMessageW(Edit, WM_CHAR, *p, 0);
}

TEST(BarEditItem, EnterAcceptsEscapeDropsAndTheHandlerMayRefuse) {
  EditHost h;
  h.Path->SetText(L"HKEY_CURRENT_USER");
  EXPECT_TRUE(h.Viewer()->CaptionShown() == false);  // a toolbar shows no caption
  // Enter: accepted once, the item counts as executed.
  bool executed = h.Edit({[](HWND e) {
    TypeInto(e, L"HKEY_USERS");
    PostMessageW(e, WM_CHAR, 13, 0);
  }});
  EXPECT_TRUE(executed);
  EXPECT_EQ(h.Path->GetText(), L"HKEY_USERS");
  EXPECT_EQ(h.Accepts, 1);
  // Escape: the text stays and nobody is asked.
  executed = h.Edit({[](HWND e) {
    TypeInto(e, L"dropped");
    PostMessageW(e, WM_CHAR, 27, 0);
  }});
  EXPECT_FALSE(executed);
  EXPECT_EQ(h.Path->GetText(), L"HKEY_USERS");
  EXPECT_EQ(h.Accepts, 1);
  // Refused by the handler: the old text stays.
  h.Refuse = true;
  h.Edit({[](HWND e) {
    TypeInto(e, L"refused");
    PostMessageW(e, WM_CHAR, 13, 0);
  }});
  EXPECT_EQ(h.Path->GetText(), L"HKEY_USERS");
  EXPECT_EQ(h.Accepts, 2);
  EXPECT_EQ(h.Viewer()->EditControl, nullptr);
}

TEST(BarEditItem, ClickElsewhereEndsWithoutAcceptingAndTheClickArrives) {
  EditHost h;
  h.Path->SetText(L"old");
  auto* other = new TEdit(h.Form.get());
  other->SetBounds(10, 150, 100, 20);
  other->SetParent(h.Form.get());
  Pump(20);
  h.Edit({[&](HWND e) {
    TypeInto(e, L"new");
    RECT r;
    GetWindowRect(other->GetHandle(), &r);
    PostMessageW(other->GetHandle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  }});
  EXPECT_EQ(h.Path->GetText(), L"old");
  EXPECT_EQ(h.Accepts, 0);
  // The press is still queued for its window.
  MSG m;
  EXPECT_TRUE(PeekMessageW(&m, other->GetHandle(), WM_LBUTTONDOWN, WM_LBUTTONDOWN, PM_NOREMOVE));
  Pump(20);
  // With extended acceptance the text is taken.
  h.Path->ExtendedAccept = true;
  h.Edit({[&](HWND e) {
    TypeInto(e, L"taken");
    PostMessageW(other->GetHandle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  }});
  EXPECT_EQ(h.Path->GetText(), L"taken");
  Pump(20);
}

TEST(BarEditItem, CharCaseAndVerticalViews) {
  TBarEditItem it(nullptr);
  it.SetCharCase(ecUpperCase);
  it.SetText(L"hkey");
  EXPECT_EQ(it.GetText(), L"HKEY");
  it.SetCharCase(ecLowerCase);
  EXPECT_EQ(it.GetText(), L"hkey");
  Host h;
  auto* t = h.AddToolbar(L"tbrSide", 0, 0);
  auto* e = new TBarEditItem(h.Form.get());
  t->Items()->Add(e);
  h.Show();
  TBarView* v = t->View();
  v->Orientation = tbvoVertical;
  EXPECT_NE(e->GetItemViewerClass(v), &TBarEditItemViewer::CreateViewer);
  e->SetEditOptions(TBarEditItemOptions{tboUseEditWhenVertical});
  EXPECT_EQ(e->GetItemViewerClass(v), &TBarEditItemViewer::CreateViewer);
}

TEST(BarEditItem, QuitMessageEndsTheEditAndStaysQueued) {
  EditHost h;
  h.Path->SetText(L"kept");
  h.Edit({[](HWND e) {
    TypeInto(e, L"lost");
    PostQuitMessage(3);
  }});
  EXPECT_EQ(h.Path->GetText(), L"kept");
  MSG m;
  ASSERT_TRUE(PeekMessageW(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(m.wParam, 3u);
}

// ---- positions ------------------------------------------------------------------------
// The positions go below a scratch key of the running test.
class BarPositions : public ScratchKeyTest {
 protected:
  BarPositions() : ScratchKeyTest(L"toolbars") {}
  String PosKey() const { return Path(L"Toolbars"); }
  // A stored text of a toolbar's key, or what is there instead.
  String RegText(const String& Bar, const wchar_t* Value) const {
    if (!reg::KeyExists(PosKey() + L"\\" + Bar)) return L"<no key>";
    DWORD type = 0;
    std::string bytes;
    if (!reg::Read(PosKey() + L"\\" + Bar, Value, type, bytes)) return L"<none>";
    if (type != REG_SZ) return L"<type>";
    String text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
    while (!text.empty() && text.back() == L'\0') text.pop_back();
    return text;
  }
  void SetText(const String& Bar, const wchar_t* Name, const wchar_t* Value) const {
    reg::Write(PosKey() + L"\\" + Bar, Name, REG_SZ, Sz(Value));
  }
};

TEST_F(BarPositions, WrittenToAndReadFromTheRegistry) {
  Host h;
  auto* a = h.AddToolbar(L"tbrFile", 1, 0);
  auto* b = h.AddToolbar(L"tbrEdit", 1, 104);
  AddItem(a->Items(), L"New");
  AddItem(b->Items(), L"Copy");
  h.Show();
  BarRegSavePositions(h.Form.get(), HKEY_CURRENT_USER, PosKey());
  EXPECT_EQ(RegText(L"tbrFile", L"Rev"), L"2000");
  EXPECT_EQ(RegText(L"tbrFile", L"Visible"), L"1");
  EXPECT_EQ(RegText(L"tbrFile", L"DockedTo"), L"tbdTop");
  EXPECT_EQ(RegText(L"tbrFile", L"LastDock"), L"tbdTop");
  EXPECT_EQ(RegText(L"tbrEdit", L"DockRow"), L"1");
  EXPECT_EQ(RegText(L"tbrEdit", L"DockPos"), L"104");
  EXPECT_EQ(RegText(L"tbrFile", L"FloatLeft"), L"0");
  EXPECT_EQ(RegText(L"tbrFile", L"FloatTop"), L"0");
  EXPECT_EQ(RegText(L"tbrFile", L"FloatRightX"), L"0");

  // A second form of the same design picks the stored layout up.
  b->SetVisible(false);
  b->SetDockRow(3);
  b->SetDockPos(40);
  BarRegSavePositions(h.Form.get(), HKEY_CURRENT_USER, PosKey());
  EXPECT_EQ(RegText(L"tbrEdit", L"Visible"), L"0");
  // A toolbar of its own (nothing stored for it) holds row 0 there; the
  // loaded rows are taken as the dock arranges them: the hidden one's row 3
  // becomes the next after row 1, its place stays.
  Host h2;
  h2.AddToolbar(L"tbrNotStored", 0, 0);
  auto* a2 = h2.AddToolbar(L"tbrFile", 0, 0);
  auto* b2 = h2.AddToolbar(L"tbrEdit", 0, 0);
  h2.Show();
  BarRegLoadPositions(h2.Form.get(), HKEY_CURRENT_USER, PosKey());
  EXPECT_FALSE(b2->GetVisible());
  EXPECT_EQ(b2->GetDockRow(), 2);
  EXPECT_EQ(b2->GetDockPos(), 40);
  EXPECT_TRUE(a2->GetVisible());
  EXPECT_EQ(a2->GetDockRow(), 1);
}

TEST_F(BarPositions, RevisionAndDockNamesDecide) {
  Host h;
  auto* t = h.AddToolbar(L"tbrView", 2, 10);
  h.Show();
  reg::CreateKey(PosKey() + L"\\tbrView");
  auto set = [&](const wchar_t* n, const wchar_t* v) { SetText(L"tbrView", n, v); };
  set(L"Rev", L"1999");
  set(L"Visible", L"0");
  set(L"DockedTo", L"tbdtop");
  set(L"DockRow", L"5");
  set(L"DockPos", L"7");
  BarRegLoadPositions(h.Form.get(), HKEY_CURRENT_USER, PosKey());
  EXPECT_TRUE(t->GetVisible());  // another revision is ignored whole
  EXPECT_EQ(t->GetDockRow(), 2);
  set(L"Rev", L"2000");
  BarRegLoadPositions(h.Form.get(), HKEY_CURRENT_USER, PosKey());
  EXPECT_FALSE(t->GetVisible());
  EXPECT_EQ(t->GetDockRow(), 5);  // "tbdtop" finds tbdTop
  EXPECT_EQ(t->GetDockPos(), 7);
  // "+" floats it; the row is kept for docking again and the last dock stays.
  set(L"DockedTo", L"+");
  set(L"Visible", L"1");
  set(L"DockRow", L"9");
  BarRegLoadPositions(h.Form.get(), HKEY_CURRENT_USER, PosKey());
  EXPECT_TRUE(t->GetVisible());
  EXPECT_TRUE(t->GetFloating());
  EXPECT_EQ(t->GetDockRow(), 9);
  EXPECT_EQ(t->GetLastDock(), h.Dock);
  // An unknown dock leaves the window where it is.
  set(L"DockedTo", L"tbdNowhere");
  set(L"DockRow", L"5");
  BarRegLoadPositions(h.Form.get(), HKEY_CURRENT_USER, PosKey());
  EXPECT_TRUE(t->GetFloating());
  EXPECT_EQ(t->GetDockRow(), 9);
}

TEST_F(BarPositions, NameErrorsAndForbiddenDocks) {
  Host h;
  auto* t = h.AddToolbar(L"tbrNoDrag", 0, 0);
  h.Show();
  h.Dock->SetAllowDrag(false);
  BarRegSavePositions(h.Form.get(), HKEY_CURRENT_USER, PosKey());
  EXPECT_EQ(RegText(L"tbrNoDrag", L"DockedTo"), L"");
  h.Dock->SetAllowDrag(true);
  h.Dock->SetName(L"");
  try {
    BarRegSavePositions(h.Form.get(), HKEY_CURRENT_USER, PosKey());
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), L"Cannot save dockable window's position because DockedTo's Name property not set");
  }
  (void)t;
}

}  // namespace

// ---- hooks, animation, painting, input ----------------------------------------------------
#include "toolbars/BarAnimation.h"
#include "toolbars/BarHooks.h"

namespace {

int g_hookA = 0, g_hookB = 0;
void HookA(THookProcCode, HWND, WPARAM, LPARAM) { ++g_hookA; }
void HookB(THookProcCode, HWND, WPARAM, LPARAM) { ++g_hookB; }
void HookRemovesAll(THookProcCode, HWND, WPARAM, LPARAM) {
  ++g_hookA;
  UninstallHookProc(HookRemovesAll);
  UninstallHookProc(HookB);
}
void HookThrows(THookProcCode, HWND, WPARAM, LPARAM) { throw Exception(String(L"client failure")); }

// How often HookA is called while this thread retrieves one message.
int HookACallsForOneMessage() {
  g_hookA = 0;
  PostThreadMessageW(GetCurrentThreadId(), WM_NULL, 0, 0);
  MSG m;
  GetMessageW(&m, nullptr, 0, 0);
  return g_hookA;
}

TEST(BarThreadHooks, SharedSystemHooksFollowTheirRegistrations) {
  InstallHookProc(HookA, THookProcCodes{hpGetMessage}, false);
  InstallHookProc(HookB, THookProcCodes{hpPreDestroy}, false);
  EXPECT_FALSE(BarHookInstalled(0));
  EXPECT_TRUE(BarHookInstalled(1));
  EXPECT_TRUE(BarHookInstalled(2));
  UninstallHookProc(HookA);
  EXPECT_FALSE(BarHookInstalled(2));
  EXPECT_TRUE(BarHookInstalled(1));
  EXPECT_FALSE(BarHookInstalled(0));
  // Registered twice: two removals.
  InstallHookProc(HookA, THookProcCodes{hpGetMessage}, false);
  InstallHookProc(HookA, THookProcCodes{hpGetMessage}, false);
  UninstallHookProc(HookA);
  EXPECT_GT(HookACallsForOneMessage(), 0);
  UninstallHookProc(HookA);
  EXPECT_EQ(HookACallsForOneMessage(), 0);
  EXPECT_FALSE(BarHookInstalled(2));
  // Destroying a window reaches the pre-destroy client.
  g_hookB = 0;
  HWND w = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  DestroyWindow(w);
  EXPECT_EQ(g_hookB, 1);
  UninstallHookProc(HookB);
}

// The send-message kind: a sent WM_WINDOWPOSCHANGED reaches the client
// that asked for it, once for one SetWindowPos, a sent WM_SIZE none, and a
// sent WM_ACTIVATEAPP the client of application activation, each with its
// window and parameters; the system hook goes with the last of them.
struct SentCall {
  THookProc Proc;
  THookProcCode Code;
  HWND Wnd;
  WPARAM WParam;
  LPARAM LParam;
};
std::vector<SentCall> g_sentCalls;
void HookPosChanged(THookProcCode Code, HWND Wnd, WPARAM WParam, LPARAM LParam) {
  g_sentCalls.push_back({HookPosChanged, Code, Wnd, WParam, LParam});
}
void HookActivateApp(THookProcCode Code, HWND Wnd, WPARAM WParam, LPARAM LParam) {
  g_sentCalls.push_back({HookActivateApp, Code, Wnd, WParam, LParam});
}

// The window and the registrations of the test, given back however it ends
// (a failed assertion returns early), so that no later test meets them.
struct SentMessageClients {
  HWND Window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  std::vector<THookProc> Registered;
  void Install(THookProc Proc, THookProcCode Code) {
    InstallHookProc(Proc, THookProcCodes{Code}, false);
    Registered.push_back(Proc);
  }
  void Uninstall(THookProc Proc) {
    Registered.erase(std::find(Registered.begin(), Registered.end(), Proc));
    UninstallHookProc(Proc);
  }
  ~SentMessageClients() {
    while (!Registered.empty()) Uninstall(Registered.back());
    DestroyWindow(Window);
    g_sentCalls.clear();
  }
};

TEST(BarThreadHooks, SentMessagesReachTheClientsOfTheirKind) {
  SentMessageClients clients;
  const HWND w = clients.Window;
  clients.Install(HookPosChanged, hpSendWindowPosChanged);
  clients.Install(HookActivateApp, hpSendActivateApp);
  EXPECT_TRUE(BarHookInstalled(0));
  auto callsFor = [w] {
    std::vector<SentCall> mine;
    for (const SentCall& c : g_sentCalls)
      if (c.Wnd == w) mine.push_back(c);
    g_sentCalls.clear();
    return mine;
  };
  g_sentCalls.clear();
  SendMessageW(w, WM_SIZE, SIZE_RESTORED, MAKELPARAM(20, 20));
  EXPECT_TRUE(callsFor().empty());
  SetWindowPos(w, nullptr, 5, 5, 20, 20, SWP_NOZORDER | SWP_NOACTIVATE);
  std::vector<SentCall> calls = callsFor();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].Proc, &HookPosChanged);
  EXPECT_EQ(calls[0].Code, hpSendWindowPosChanged);
  ASSERT_NE(calls[0].LParam, 0);
  EXPECT_EQ(reinterpret_cast<WINDOWPOS*>(calls[0].LParam)->hwnd, w);
  SendMessageW(w, WM_ACTIVATEAPP, TRUE, 77);
  calls = callsFor();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].Proc, &HookActivateApp);
  EXPECT_EQ(calls[0].Code, hpSendActivateApp);
  EXPECT_EQ(calls[0].WParam, WPARAM(TRUE));
  EXPECT_EQ(calls[0].LParam, 77);
  clients.Uninstall(HookPosChanged);
  EXPECT_TRUE(BarHookInstalled(0));
  clients.Uninstall(HookActivateApp);
  EXPECT_FALSE(BarHookInstalled(0));
  SetWindowPos(w, nullptr, 0, 0, 10, 10, SWP_NOZORDER | SWP_NOACTIVATE);
  SendMessageW(w, WM_ACTIVATEAPP, FALSE, 0);
  EXPECT_TRUE(callsFor().empty());
}

// A registration made without a system hook (a designer's) gives none back
// when it goes, whether it shares the procedure or has one of its own.
TEST(BarThreadHooks, RegistrationsWithoutAHookLeaveTheOthersHook) {
  InstallHookProc(HookA, THookProcCodes{hpGetMessage}, false);
  InstallHookProc(HookB, THookProcCodes{hpGetMessage}, true);
  UninstallHookProc(HookB);
  EXPECT_TRUE(BarHookInstalled(2));
  InstallHookProc(HookA, THookProcCodes{hpGetMessage}, true);
  UninstallHookProc(HookA);
  EXPECT_TRUE(BarHookInstalled(2));
  EXPECT_GT(HookACallsForOneMessage(), 0);
  UninstallHookProc(HookA);
  EXPECT_FALSE(BarHookInstalled(2));
  // The uses taken are all given back, in whatever order the clients go.
  InstallHookProc(HookA, THookProcCodes{hpGetMessage}, true);
  InstallHookProc(HookA, THookProcCodes{hpGetMessage}, false);
  UninstallHookProc(HookA);
  UninstallHookProc(HookA);
  EXPECT_FALSE(BarHookInstalled(2));
}

TEST(BarThreadHooks, ClientsRemovingThemselvesOrFailingDuringDispatch) {
  g_hookA = g_hookB = 0;
  InstallHookProc(HookThrows, THookProcCodes{hpGetMessage}, false);
  InstallHookProc(HookRemovesAll, THookProcCodes{hpGetMessage}, false);
  InstallHookProc(HookB, THookProcCodes{hpGetMessage}, false);
  PostThreadMessageW(GetCurrentThreadId(), WM_NULL, 0, 0);
  MSG m;
  EXPECT_NO_THROW(GetMessageW(&m, nullptr, 0, 0));
  EXPECT_EQ(g_hookA, 1);
  EXPECT_EQ(g_hookB, 0);  // removed before its turn came
  UninstallHookProc(HookThrows);
  EXPECT_FALSE(BarHookInstalled(2));
}

struct AnimWindow {
  HWND Wnd;
  static int& Ended() {
    static int n = 0;
    return n;
  }
  // Step messages received, the last one (that ends the animation) included.
  static int& Steps() {
    static int n = 0;
    return n;
  }
  static LRESULT CALLBACK Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WMVmoxStepAnimation) {
      ++Steps();
      BarStepAnimation(wp, lp);
      return 0;
    }
    if (m == WMVmoxAnimationEnded) {
      ++Ended();
      return 0;
    }
    return DefWindowProcW(w, m, wp, lp);
  }
  AnimWindow() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"BarAnimTest";
    RegisterClassW(&wc);
    Wnd = CreateWindowExW(WS_EX_TOOLWINDOW, L"BarAnimTest", L"", WS_POPUP | WS_BORDER, 600, 300, 120, 160,
                          nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  }
  ~AnimWindow() { DestroyWindow(Wnd); }
};

TEST(BarAnimation, SlideEndsWithTheWholeWindowShown) {
  AnimWindow w;
  AnimWindow::Ended() = 0;
  BarStartAnimation(w.Wnd, 150, false, tbadDown);
  EXPECT_TRUE(IsWindowVisible(w.Wnd));
  EXPECT_TRUE(PumpUntil([] { return !BarAnimationRunning(); }, 3000));
  EXPECT_TRUE(PumpUntil([] { return AnimWindow::Ended() == 1; }, 1000));
  HRGN r = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(GetWindowRgn(w.Wnd, r), ERROR);  // the region is gone again
  DeleteObject(r);
}

// A slide draws at most 15 steps (16, 32, ... 240) before the message that
// ends it; the mouse reaching the window's client area ends it at once, the
// window shown whole.
TEST(BarAnimation, SlideTakesAtMost15StepsAndEndsWhenTheMouseReachesTheWindow) {
  {
    AnimWindow w;
    AnimWindow::Steps() = 0;
    AnimWindow::Ended() = 0;
    BarStartAnimation(w.Wnd, 1000, false, tbadDown);
    EXPECT_TRUE(PumpUntil([] { return !BarAnimationRunning() && AnimWindow::Ended() == 1; }, 10000));
    EXPECT_GE(AnimWindow::Steps(), 1);
    EXPECT_LE(AnimWindow::Steps(), 15 + 1);
  }
  {
    AnimWindow w;
    AnimWindow::Ended() = 0;
    BarStartAnimation(w.Wnd, 20000, false, tbadUp);
    MoveMouse(ClientCentre(w.Wnd));
    EXPECT_TRUE(PumpUntil([] { return !BarAnimationRunning() && AnimWindow::Ended() == 1; }, 10000))
        << "the slide went on with the mouse over the window";
    HRGN r = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(GetWindowRgn(w.Wnd, r), ERROR);
    DeleteObject(r);
    BarEndAnimation(0);
  }
}

// What GetWindowRgn reports of a window's region: ERROR when it has none.
int RegionKind(HWND W) {
  HRGN r = CreateRectRgn(0, 0, 0, 0);
  const int kind = GetWindowRgn(W, r);
  DeleteObject(r);
  return kind;
}

TEST(BarAnimation, StartingAnotherEndsTheFirstAndFadeWithoutLayeringSlides) {
  AnimWindow a, b;
  AnimWindow::Ended() = 0;
  BarAnimationDisableLayered(true);
  BarStartAnimation(a.Wnd, 2000, true, tbadRight);
  EXPECT_EQ(GetWindowLongPtrW(a.Wnd, GWL_EXSTYLE) & WS_EX_LAYERED, 0);  // a slide instead
  BarStartAnimation(b.Wnd, 2000, false, tbadLeft);
  BarAnimationDisableLayered(false);
  // The first one ended at once and shows whole.
  EXPECT_EQ(AnimWindow::Ended(), 1);
  EXPECT_EQ(RegionKind(a.Wnd), ERROR);
  // Step messages that are not the running animation's draw nothing: the
  // first window stays whole, the second as it started, with nothing shown
  // (no message has run since).
  SendMessageW(a.Wnd, WMVmoxStepAnimation, 0, 12345);
  SendMessageW(b.Wnd, WMVmoxStepAnimation, 0, 12345);
  EXPECT_EQ(RegionKind(a.Wnd), ERROR);
  EXPECT_EQ(RegionKind(b.Wnd), NULLREGION);
  EXPECT_TRUE(BarAnimationRunning());
  EXPECT_EQ(AnimWindow::Ended(), 1);
  BarEndAnimation(0);
  EXPECT_FALSE(BarAnimationRunning());
  EXPECT_EQ(AnimWindow::Ended(), 2);
  // Nor do late ones after the end (the thread's last one among them): the
  // window is not cut again, nor ended twice.
  SendMessageW(b.Wnd, WMVmoxStepAnimation, 0, 12345);
  PumpPending();
  EXPECT_EQ(RegionKind(b.Wnd), ERROR);
  EXPECT_EQ(AnimWindow::Ended(), 2);
}

COLORREF PrintedPixel(TWinControl* C, int X, int Y, LPARAM Flags = PRF_NONCLIENT | PRF_CLIENT | PRF_ERASEBKGND) {
  RECT wr;
  GetWindowRect(C->GetHandle(), &wr);
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  HBITMAP bmp = CreateCompatibleBitmap(screen, wr.right - wr.left, wr.bottom - wr.top);
  HGDIOBJ old = SelectObject(mem, bmp);
  PatBlt(mem, 0, 0, wr.right - wr.left, wr.bottom - wr.top, WHITENESS);
  SendMessageW(C->GetHandle(), WM_PRINT, reinterpret_cast<WPARAM>(mem), Flags);
  COLORREF c = GetPixel(mem, X, Y);
  SelectObject(mem, old);
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return c;
}

TEST(BarPainting, FrameHandleAndCheckedButtonPixels) {
  Host h;
  auto* t = h.AddToolbar(L"tbrPaint", 0, 0);
  auto* b = AddItem(t->Items(), L"Bold");
  h.Show();
  COLORREF hi = GetSysColor(COLOR_BTNHIGHLIGHT), sh = GetSysColor(COLOR_BTNSHADOW);
  // Raised inner border: light top-left, dark bottom-right.
  EXPECT_EQ(PrintedPixel(t, 0, 0), hi);
  EXPECT_EQ(PrintedPixel(t, t->GetWidth() - 1, t->GetHeight() - 1), sh);
  // The single drag-handle bar starts at x = 3 and runs from y = 2.
  EXPECT_EQ(PrintedPixel(t, 3, 5), hi);
  EXPECT_EQ(PrintedPixel(t, 5, 5), sh);
  // A checked button is sunk: dark top-left corner of its rectangle.
  b->SetChecked(true);
  Pump(20);
  TBarItemViewer* v = t->View()->Find(b);
  int x = t->CalcNCSizes().x - 2 + v->BoundsRect.left;
  int y = 2 + v->BoundsRect.top;
  EXPECT_EQ(PrintedPixel(t, x, y), sh);
  EXPECT_EQ(PrintedPixel(t, x + (v->BoundsRect.right - v->BoundsRect.left) - 1, y + 5), hi);
}

// A pop-up window prints its items into a given context (the opening
// animation takes its picture that way): the client part alone is not blank.
TEST(BarPainting, APopupWindowPrintsItsItemsIntoAContext) {
  TBarSubmenuItem sub(nullptr);
  auto* it = new TBarItem(&sub);
  it->SetCaption(L"Registry editor");
  sub.Add(it);
  std::unique_ptr<TBarPopupWindow> w(sub.GetPopupWindowClass()(nullptr, nullptr, &sub, false));
  w->SetBounds(0, 0, 200, 60);
  w->View->UpdatePositions();
  w->HandleNeeded();
  // Printed with a white margin of M pixels round the client area: ink in
  // the item's rectangle, none beyond the window's frame.
  const HWND h = w->GetHandle();
  RECT cr, frame;
  GetClientRect(h, &cr);
  GetWindowRect(h, &frame);
  MapWindowPoints(nullptr, h, reinterpret_cast<POINT*>(&frame), 2);
  const RECT item = w->View->Viewers(0)->BoundsRect;
  const int M = 20;
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  HBITMAP bmp = CreateCompatibleBitmap(screen, cr.right + 2 * M, cr.bottom + 2 * M);
  HGDIOBJ old = SelectObject(mem, bmp);
  PatBlt(mem, 0, 0, cr.right + 2 * M, cr.bottom + 2 * M, WHITENESS);
  SetViewportOrgEx(mem, M, M, nullptr);
  SendMessageW(h, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(mem), PRF_CLIENT);
  SetViewportOrgEx(mem, 0, 0, nullptr);
  int inItem = 0, outside = 0;
  for (int y = -M; y < cr.bottom + M; ++y)
    for (int x = -M; x < cr.right + M; ++x) {
      if (GetPixel(mem, x + M, y + M) == RGB(255, 255, 255)) continue;
      const POINT p{x, y};
      inItem += PtInRect(&item, p);
      outside += !PtInRect(&frame, p);
    }
  SelectObject(mem, old);
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  EXPECT_GT(inItem, 20);
  EXPECT_EQ(outside, 0);
}

TEST(BarPainting, ChevronGlyphPixels) {
  Host h(200);
  auto* t = h.AddToolbar(L"tbrChevronPaint", 0, 0);
  for (int i = 0; i < 8; ++i) AddItem(t->Items(), L"Item " + std::to_wstring(i));
  h.Show();
  TBarView* v = t->View();
  TBarItemViewer* ch = v->Viewers(v->ViewerCount() - 1);
  ASSERT_TRUE(ch->Show);
  // The double arrow's first row is 11001100, starting 2 in and 4 down.
  int x = t->CalcNCSizes().x - 2 + ch->BoundsRect.left + 2;
  int y = 2 + 4;
  COLORREF text = GetSysColor(COLOR_BTNTEXT), face = GetSysColor(COLOR_BTNFACE);
  EXPECT_EQ(PrintedPixel(t, x, y), text);
  EXPECT_EQ(PrintedPixel(t, x + 1, y), text);
  EXPECT_EQ(PrintedPixel(t, x + 2, y), face);
  EXPECT_EQ(PrintedPixel(t, x + 4, y), text);
}

// A filled 16x16 (or Size) image of one colour.
std::unique_ptr<TBitmap> Solid(TColor C, int Size = 16) {
  auto b = std::make_unique<TBitmap>(Size, Size, pf24bit);
  b->Canvas()->Brush()->SetColor(C);
  b->Canvas()->FillRect(Rect(0, 0, Size, Size));
  return b;
}

TEST(BarImages, ListChangesReachTheItemsThatShowThem) {
  Host h;
  TBarImageList il(nullptr, 16, 16);
  il.Add(Solid(clRed).get(), nullptr);
  auto* t = h.AddToolbar(L"tbrImageChanges", 0, 0);
  t->SetImages(&il);
  auto* b = AddItem(t->Items(), L"");
  b->SetImageIndex(0);
  h.Show();
  auto centre = [&] {
    TBarItemViewer* v = t->View()->Find(b);
    return POINT{t->CalcNCSizes().x - 2 + (v->BoundsRect.left + v->BoundsRect.right) / 2,
                 2 + (v->BoundsRect.top + v->BoundsRect.bottom) / 2};
  };
  POINT c = centre();
  EXPECT_EQ(PrintedPixel(t, c.x, c.y), RGB(255, 0, 0));
  // A new picture in the list repaints the button.
  il.Replace(0, Solid(clBlue).get(), nullptr);
  Pump(30);
  EXPECT_EQ(PrintedPixel(t, c.x, c.y), RGB(0, 0, 255));
  // A new size resizes it.
  const int before = t->View()->Find(b)->BoundsRect.right - t->View()->Find(b)->BoundsRect.left;
  il.SetSize(24, 24);
  il.Add(Solid(clLime, 24).get(), nullptr);
  Pump(30);
  EXPECT_EQ(t->View()->Find(b)->BoundsRect.right - t->View()->Find(b)->BoundsRect.left, before + 8);
  c = centre();
  EXPECT_EQ(PrintedPixel(t, c.x, c.y), RGB(0, 255, 0));

  // The state lists: assigning one, or a change in one, is a change of the
  // list itself for everything that watches it.
  int changes = 0;
  TChangeLink watcher;
  watcher.OnChange = [&](TObject*) { ++changes; };
  il.RegisterChanges(&watcher);
  {
    TCustomImageList hot(nullptr, 24, 24);
    il.SetHotImages(&hot);
    EXPECT_EQ(changes, 1);
    il.SetHotImages(&il);  // the list itself counts as none
    EXPECT_EQ(il.GetHotImages(), nullptr);
    EXPECT_EQ(changes, 2);
    il.SetHotImages(&hot);
    hot.Add(Solid(clYellow, 24).get(), nullptr);
    EXPECT_EQ(changes, 4);
  }
  EXPECT_EQ(il.GetHotImages(), nullptr);  // freed: forgotten
  il.UnRegisterChanges(&watcher);
  t->SetImages(nullptr);
}

TEST(BarInput, RealMouseClickOnAButtonRunsIt) {
  Host h;
  auto* t = h.AddToolbar(L"tbrClick", 0, 0);
  int clicks = 0;
  auto* b = AddItem(t->Items(), L"Press", &clicks);
  h.Show();
  SetForegroundWindow(h.Form->GetHandle());
  Pump(30);
  TBarItemViewer* v = t->View()->Find(b);
  POINT p{(v->BoundsRect.left + v->BoundsRect.right) / 2, (v->BoundsRect.top + v->BoundsRect.bottom) / 2};
  ClientToScreen(t->GetHandle(), &p);
  Click(p);
  EXPECT_TRUE(PumpUntil([&] { return clicks == 1; }, 10000));
  Pump(30);
  EXPECT_EQ(clicks, 1);
}

TEST_F(BarPositions, RegistryFailureWhileSavingIsReported) {
  Host h;
  h.AddToolbar(L"tbrSaved", 0, 0);
  h.Show();
  BarRegistryFailureSeam = [](const String&) { return true; };
  EXPECT_THROW(BarRegSavePositions(h.Form.get(), HKEY_CURRENT_USER, PosKey()), Exception);
  BarRegistryFailureSeam = nullptr;
  EXPECT_EQ(RegText(L"tbrSaved", L"Rev"), L"<no key>");

  // A window whose key can't be made (a name longer than a key name may
  // be) fails; the windows after it are still saved, then the failure is
  // reported.
  Host h2;
  h2.AddToolbar(String(300, L'n'), 0, 0);
  h2.AddToolbar(L"tbrAfter", 1, 0);
  h2.Show();
  try {
    BarRegSavePositions(h2.Form.get(), HKEY_CURRENT_USER, PosKey());
    ADD_FAILURE() << "a failed save reported nothing";
  } catch (const Exception& E) {
    EXPECT_NE(E.Message().find(PosKey()), String::npos);
  }
  EXPECT_EQ(RegText(L"tbrAfter", L"Rev"), L"2000");
}

}  // namespace

// ---- menus by mouse ---------------------------------------------------------------------
namespace {

POINT ScreenCentre(TBarView* V, TBarCustomItem* Item) {
  TBarItemViewer* v = V->Find(Item);
  POINT p{(v->BoundsRect.left + v->BoundsRect.right) / 2, (v->BoundsRect.top + v->BoundsRect.bottom) / 2};
  ClientToScreen(V->Window->GetHandle(), &p);
  return p;
}

using bartest::LeftButton;
using bartest::MouseTo;

TEST(BarMenuMouse, ClickOpensMovingOverTheBarSwitchesMenusAndAClickRunsTheItem) {
  MenuHost h;
  TBarCustomItem* first = nullptr;
  TBarCustomItem* second = nullptr;
  MouseTo(ScreenCentre(h.Bar->View(), h.File));
  Pump(50);
  {
    LoopScript s({[&] { LeftButton(false); },
                  [&] {
                    if (h.OpenView()) first = h.OpenView()->GetParentItem();
                    MouseTo(ScreenCentre(h.Bar->View(), h.Edit));
                  },
                  [&] {},
                  [&] {
                    if (h.OpenView()) {
                      second = h.OpenView()->GetParentItem();
                      MouseTo(ScreenCentre(h.OpenView(), h.Copy));
                    }
                  },
                  [&] {},
                  [&] { LeftButton(true); },
                  [&] { LeftButton(false); }});
    LeftButton(true);
    // The press reaches the toolbar, which runs the menu loop until done.
    PumpUntil([&] { return h.CopyClicks > 0 || LoopScript::Current()->StepsRun() >= 7; }, 10000);
  }
  EXPECT_EQ(first, h.File);
  EXPECT_EQ(second, h.Edit);
  EXPECT_TRUE(PumpUntil([&] { return h.CopyClicks == 1; }, 10000));
  EXPECT_FALSE(MenuHost::AnyPopupVisible());
}

}  // namespace

// ---- layout rules ----------------------------------------------------------------------
namespace {

TEST(BarViewLayout, SeparatorsAtTheEdgesOrInARowShowAsNoneAndEmptyViewsAreDefaultSized) {
  Host h;
  auto* t = h.AddToolbar(L"tbrSeps", 0, 0);
  auto sep = [&] {
    auto* s = new TBarSeparatorItem(h.Form.get());
    t->Items()->Add(s);
    return s;
  };
  auto* s0 = sep();
  auto* a = AddItem(t->Items(), L"A");
  auto* s1 = sep();
  auto* s2 = sep();
  auto* s3 = sep();
  auto* b = AddItem(t->Items(), L"B");
  auto* s4 = sep();
  h.Show();
  TBarView* v = t->View();
  v->ValidatePositions();
  EXPECT_FALSE(v->Find(s0)->Show);
  EXPECT_TRUE(v->Find(s1)->Show);
  EXPECT_FALSE(v->Find(s2)->Show);
  EXPECT_FALSE(v->Find(s3)->Show);
  EXPECT_FALSE(v->Find(s4)->Show);
  EXPECT_EQ(v->Find(s1)->BoundsRect.right - v->Find(s1)->BoundsRect.left, 6);
  a->SetVisible(false);
  b->SetVisible(false);
  v->ValidatePositions();
  EXPECT_EQ(v->BaseSize.x, 23);
  EXPECT_EQ(v->BaseSize.y, 22);
  EXPECT_FALSE(v->Find(s1)->Show);
  EXPECT_THROW(v->Find(nullptr), EBarItemError);
}

TEST(BarViewLayout, WrappedToolbarTurnsTheSeparatorIntoALine) {
  Host h;
  auto* t = h.AddToolbar(L"tbrWrap", 0, 0);
  for (int i = 0; i < 3; ++i) AddItem(t->Items(), L"Left " + std::to_wstring(i));
  auto* sep = new TBarSeparatorItem(h.Form.get());
  t->Items()->Add(sep);
  for (int i = 0; i < 3; ++i) AddItem(t->Items(), L"Right " + std::to_wstring(i));
  h.Show();
  TBarView* v = t->View();
  v->ValidatePositions();
  int full = v->BaseSize.x;
  POINT base{0, 0}, total{0, 0};
  int lines = 0;
  int wrap = full / 2 + 10;
  v->CalculatePositions(true, tbvoHorizontal, wrap, 0, 0, base, total, lines);
  EXPECT_EQ(lines, 2);
  EXPECT_GE(total.x, wrap);
  TBarItemViewer* sv = v->Find(sep);
  EXPECT_TRUE(sv->State.Contains(tbisLineSep));
  EXPECT_EQ(sv->BoundsRect.bottom - sv->BoundsRect.top, 6);
  EXPECT_EQ(sv->BoundsRect.left, 0);
  EXPECT_EQ(sv->BoundsRect.right, total.x);
  v->InvalidatePositions();
}

TEST(BarViewLayout, KeyboardStepsSkipHiddenAndUnselectableItems) {
  Host h;
  auto* t = h.AddToolbar(L"tbrKeys", 0, 0);
  auto* a = AddItem(t->Items(), L"&Alpha");
  t->Items()->Add(new TBarSeparatorItem(h.Form.get()));
  auto* b = AddItem(t->Items(), L"&Beta");
  auto* c = AddItem(t->Items(), L"Gamma");
  auto* d = AddItem(t->Items(), L"&Delta");
  b->SetVisible(false);
  h.Show();
  TBarView* v = t->View();
  EXPECT_EQ(v->NextSelectable(nullptr, true)->Item, a);
  EXPECT_EQ(v->NextSelectable(v->Find(a), true)->Item, c);
  EXPECT_EQ(v->NextSelectable(v->Find(a), false)->Item, t->ChevronItem() == v->Viewers(v->ViewerCount() - 1)->Item && v->Viewers(v->ViewerCount() - 1)->Show ? t->ChevronItem() : d);
  bool only = false;
  EXPECT_EQ(v->NextSelectableWithAccel(nullptr, L'g', false, only)->Item, c);  // first letter
  EXPECT_TRUE(only);
  EXPECT_EQ(v->NextSelectableWithAccel(nullptr, L'g', true, only), nullptr);  // primary only
  EXPECT_EQ(v->NextSelectableWithAccel(nullptr, L'D', true, only)->Item, d);
  EXPECT_EQ(v->NextSelectableWithAccel(nullptr, L'b', false, only), nullptr);  // hidden
}

TEST(BarDockRows, RowsCloseUpWrapAndPlaceAfterEachOther) {
  Host h(600);
  auto* a = h.AddToolbar(L"tbrA", 0, 0);
  auto* b = h.AddToolbar(L"tbrB", 5, 0);
  auto* c = h.AddToolbar(L"tbrC", 7, 0);
  for (auto* t : {a, b, c}) AddItem(t->Items(), L"Button");
  h.Show();
  EXPECT_EQ(a->EffectiveDockRow, 0);
  EXPECT_EQ(b->EffectiveDockRow, 1);
  EXPECT_EQ(c->EffectiveDockRow, 2);
  EXPECT_EQ(b->GetTop(), a->GetHeight());
  EXPECT_EQ(h.Dock->GetHeight(), a->GetHeight() + b->GetHeight() + c->GetHeight());
  // Same row, positions 0 and 10: the second follows the first.
  c->SetDockRow(0);
  c->SetDockPos(10);
  EXPECT_EQ(c->EffectiveDockRow, 0);
  EXPECT_EQ(c->GetLeft(), a->GetWidth());
  EXPECT_EQ(c->GetTop(), 0);
  // A full-size window sharing a row gets one of its own across the dock.
  c->SetFullSize(true);
  EXPECT_NE(c->EffectiveDockRow, a->EffectiveDockRow);
  EXPECT_EQ(c->GetWidth(), h.Dock->GetClientWidth());
  c->SetFullSize(false);
  // Hidden windows leave no room.
  a->SetVisible(false);
  b->SetVisible(false);
  c->SetVisible(false);
  EXPECT_EQ(h.Dock->GetHeight(), 0);
  h.Dock->SetFixAlign(true);
  EXPECT_EQ(h.Dock->GetHeight(), 1);
}

TEST(BarDockRows, TooLongForTheRowWrapsOrShrinksWhenLimitedToOneRow) {
  Host h(300);
  auto* a = h.AddToolbar(L"tbrA", 0, 0);
  auto* b = h.AddToolbar(L"tbrB", 0, 200);
  b->SetShrinkMode(tbsmNone);  // cannot shrink: it wraps when the row is full
  for (int i = 0; i < 4; ++i) {
    AddItem(a->Items(), L"First " + std::to_wstring(i));
    AddItem(b->Items(), L"Second " + std::to_wstring(i));
  }
  h.Show();
  int aMin = 0;
  a->GetMinShrinkSize(aMin);
  // Even the chevron toolbar's shortest form and the other do not fit.
  ASSERT_GT(aMin + b->GetWidth(), h.Dock->GetClientWidth());
  EXPECT_EQ(a->EffectiveDockRow, 0);
  EXPECT_EQ(b->EffectiveDockRow, 1);  // wrapped below
  h.Dock->SetLimitToOneRow(true);
  EXPECT_EQ(a->EffectiveDockRow, 0);
  EXPECT_EQ(b->EffectiveDockRow, 0);
  EXPECT_GT(a->ShrunkLength, 0);
  EXPECT_EQ(b->ShrunkLength, 0);
  int off = 0;
  for (int i = 0; i < a->View()->ViewerCount(); ++i) off += a->View()->Viewers(i)->OffEdge;
  EXPECT_GT(off, 0);  // the chevron took the rest
  EXPECT_TRUE(a->View()->Viewers(a->View()->ViewerCount() - 1)->Show);
}

TEST(BarDockRows, DockRulesAndErrors) {
  Host h;
  auto* t = h.AddToolbar(L"tbrOnly", 0, 0);
  EXPECT_THROW(h.Dock->SetPosition(dpLeft), EInvalidOperation);
  auto* inner = new TBarDock(h.Form.get());
  try {
    inner->SetParent(h.Dock);
    FAIL();
  } catch (const EInvalidOperation& e) {
    EXPECT_EQ(e.Message(), L"A TBarDock control cannot be placed inside a tool window or another TBarDock");
  }
  EXPECT_THROW(inner->SetParent(t), EInvalidOperation);
  auto* side = new TBarDock(h.Form.get());
  side->SetPosition(dpLeft);
  side->SetParent(h.Form.get());
  t->SetParent(side);
  h.Show();
  EXPECT_EQ(t->GetCurrentDock(), side);
  EXPECT_EQ(t->View()->Orientation, tbvoVertical);
  EXPECT_EQ(t->CalcNCSizes().y, 4 + 6);
  EXPECT_EQ(t->GetDockedCloseButtonRect(true).left, t->GetClientWidth() + 2 - 3);
}

TEST(BarPopupPosition, SubmenusKeepOpeningOnTheOppositeSide) {
  TBarItem item(nullptr);
  std::unique_ptr<TBarPopupWindow> w(TBarPopupWindow::CreatePopupWindow<TBarPopupWindow>(nullptr, nullptr, &item, false));
  TBarPopupPositionRec r;
  r.PositionAsSubmenu = true;
  r.MonitorRect = RECT{0, 0, 800, 600};
  r.ParentItemRect = RECT{600, 100, 780, 120};
  r.NCSizeX = r.NCSizeY = 3;
  r.X = 777;
  r.Y = 97;
  r.W = 150;
  r.H = 200;
  item.GetPopupPosition(nullptr, w.get(), r);
  EXPECT_EQ(r.X, 777 - 150);  // opens to the left
  EXPECT_TRUE(w->View->State.Contains(vsOppositePopup));
  // A deeper level that would fit on the right still opens on the left...
  TBarPopupPositionRec r2 = r;
  r2.Opposite = true;
  r2.ParentItemRect = RECT{400, 100, 600, 120};
  r2.X = 597;
  r2.Y = 97;
  item.GetPopupPosition(nullptr, w.get(), r2);
  EXPECT_EQ(r2.X, 597 - 150);
  // ...until it no longer fits there.
  TBarPopupPositionRec r3 = r;
  r3.Opposite = true;
  r3.ParentItemRect = RECT{10, 100, 100, 120};
  r3.X = 97;
  r3.Y = 97;
  item.GetPopupPosition(nullptr, w.get(), r3);
  EXPECT_EQ(r3.X, 97);
  EXPECT_EQ(r3.AnimDir, tbadRight);
  // A submenu near the bottom moves up to fit.
  TBarPopupPositionRec r4;
  r4.PositionAsSubmenu = true;
  r4.MonitorRect = RECT{0, 0, 800, 600};
  r4.ParentItemRect = RECT{100, 550, 200, 570};
  r4.NCSizeY = 3;
  r4.X = 197;
  r4.Y = 547;
  r4.W = 100;
  r4.H = 200;
  item.GetPopupPosition(nullptr, w.get(), r4);
  EXPECT_EQ(r4.Y, 570 + 3 - 200);
}

}  // namespace

// ---- pictures: what a person sees, read back pixel by pixel -------------------------------
namespace {

// A window's picture: the screen (an open menu) or what it prints.
struct Picture {
  int W = 0, H = 0;
  std::vector<COLORREF> Px;
  static Picture FromScreen(const RECT& R) {
    Picture p;
    p.W = R.right - R.left;
    p.H = R.bottom - R.top;
    HDC screen = GetDC(nullptr);
    p.Read(screen, R.left, R.top);
    ReleaseDC(nullptr, screen);
    return p;
  }
  static Picture Printed(TWinControl* C) {
    RECT wr;
    GetWindowRect(C->GetHandle(), &wr);
    Picture p;
    p.W = wr.right - wr.left;
    p.H = wr.bottom - wr.top;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, p.W, p.H);
    HGDIOBJ old = SelectObject(mem, bmp);
    PatBlt(mem, 0, 0, p.W, p.H, WHITENESS);
    SendMessageW(C->GetHandle(), WM_PRINT, reinterpret_cast<WPARAM>(mem), PRF_NONCLIENT | PRF_CLIENT | PRF_ERASEBKGND);
    p.Read(mem, 0, 0);
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    return p;
  }
  void Read(HDC DC, int X, int Y) {
    HDC mem = CreateCompatibleDC(DC);
    HBITMAP bmp = CreateCompatibleBitmap(DC, W, H);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, W, H, DC, X, Y, SRCCOPY);
    Px.resize(size_t(W) * size_t(H));
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x) Px[size_t(y) * size_t(W) + size_t(x)] = GetPixel(mem, x, y) & 0xFFFFFF;
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
  }
  // Pixels of colour C inside R (clipped to the picture).
  int Count(RECT R, COLORREF C) const {
    int n = 0;
    for (int y = std::max<LONG>(R.top, 0); y < std::min<LONG>(R.bottom, H); ++y)
      for (int x = std::max<LONG>(R.left, 0); x < std::min<LONG>(R.right, W); ++x) n += Px[size_t(y) * size_t(W) + size_t(x)] == C;
    return n;
  }
  // The bounding box of colour C inside R (empty when none).
  RECT Extent(RECT R, COLORREF C) const {
    RECT e{R.right, R.bottom, R.left, R.top};
    for (int y = std::max<LONG>(R.top, 0); y < std::min<LONG>(R.bottom, H); ++y)
      for (int x = std::max<LONG>(R.left, 0); x < std::min<LONG>(R.right, W); ++x)
        if (Px[size_t(y) * size_t(W) + size_t(x)] == C) {
          e.left = std::min<LONG>(e.left, x), e.top = std::min<LONG>(e.top, y);
          e.right = std::max<LONG>(e.right, x + 1), e.bottom = std::max<LONG>(e.bottom, y + 1);
        }
    return e;
  }
};

// A viewer's rectangle within its window's picture (non-client included).
RECT InWindow(TBarItemViewer* V, TWinControl* Window) {
  RECT r = V->BoundsRect;
  POINT o{0, 0};
  ClientToScreen(Window->GetHandle(), &o);
  RECT wr;
  GetWindowRect(Window->GetHandle(), &wr);
  OffsetRect(&r, o.x - wr.left, o.y - wr.top);
  return r;
}

TEST(BarPicture, AnOpenMenuShowsItsStates) {
  MenuHost h(420);
  h.Open->SetShortCut(ShortCut('O', TShiftState{ssCtrl}));
  h.Exit->SetChecked(true);
  auto* recent = new TBarSubmenuItem(h.Form.get());
  recent->SetCaption(L"&Recent");
  h.File->Insert(1, recent);
  AddItem(recent, L"One");
  auto* disabled = AddItem(h.File, L"&Disabled");
  disabled->SetEnabled(false);
  Pump(50);
  const COLORREF text = GetSysColor(COLOR_MENUTEXT) & 0xFFFFFF, grey = GetSysColor(COLOR_BTNSHADOW) & 0xFFFFFF;
  bool seen = false;
  RECT popup{}, fileItem{};
  std::map<TBarCustomItem*, RECT> rows;
  Picture pic;
  LoopScript s({[&] {}, [&] {}, [&] {
                  TBarView* pv = h.OpenView();
                  if (!pv) return;
                  seen = true;
                  GetWindowRect(pv->Window->GetHandle(), &popup);
                  pic = Picture::FromScreen(popup);
                  for (TBarCustomItem* it : {static_cast<TBarCustomItem*>(h.Open), static_cast<TBarCustomItem*>(recent),
                                             static_cast<TBarCustomItem*>(h.Exit), static_cast<TBarCustomItem*>(disabled)})
                    if (TBarItemViewer* v = pv->Find(it)) rows[it] = InWindow(v, pv->Window);
                  TBarItemViewer* fv = h.Bar->View()->Find(h.File);
                  fileItem = fv->BoundsRect;
                  MapWindowPoints(h.Bar->GetHandle(), nullptr, reinterpret_cast<POINT*>(&fileItem), 2);
                  PostKey(VK_ESCAPE);
                  PostKey(VK_ESCAPE);
                }});
  SendMessageW(h.Form->GetHandle(), WM_SYSCOMMAND, SC_KEYMENU, L'f');
  ASSERT_TRUE(seen);
  ASSERT_EQ(rows.size(), 4u);
  // The menu hangs from the File item, its left edge under the item's.
  EXPECT_EQ(popup.left, fileItem.left);
  EXPECT_EQ(popup.top, fileItem.bottom);
  auto part = [](RECT r, int from, int to) {  // a share (in 1/8) of a row
    int w = r.right - r.left;
    return RECT{r.left + w * from / 8, r.top, r.left + w * to / 8, r.bottom};
  };
  // Open (selected, as the keyboard opened the menu): its caption at the
  // left, its shortcut right-aligned, both in the highlight's text colour.
  const COLORREF selText = GetSysColor(COLOR_HIGHLIGHTTEXT) & 0xFFFFFF;
  EXPECT_GT(pic.Count(part(rows[h.Open], 1, 4), selText), 5);
  EXPECT_GT(pic.Count(part(rows[h.Open], 5, 8), selText), 5);
  EXPECT_GT(pic.Extent(rows[h.Open], selText).right, rows[h.Open].right - 30);  // near the arrow column
  // Recent: the submenu arrow at the right end, no shortcut before it.
  RECT arrow = pic.Extent(part(rows[recent], 6, 8), text);
  EXPECT_GT(arrow.right, rows[recent].right - 16);
  EXPECT_LT(arrow.right - arrow.left, 8);
  // Exit: the check mark in the left column.
  EXPECT_GT(pic.Count(RECT{rows[h.Exit].left, rows[h.Exit].top, rows[h.Exit].left + 18, rows[h.Exit].bottom}, text), 4);
  // Disabled: greyed, none of the text colour.
  EXPECT_EQ(pic.Count(rows[disabled], text), 0);
  EXPECT_GT(pic.Count(rows[disabled], grey), 5);
}

TEST(BarPicture, ImagesStatesAndASideDock) {
  Host h(420);
  h.Form->SetHeight(300);
  TCustomImageList il(nullptr, 16, 16);
  for (TColor c : {clRed, clLime, clBlue}) il.Add(Solid(c).get(), nullptr);
  auto* t = h.AddToolbar(L"tbrImages", 0, 0);
  t->SetImages(&il);
  auto* a = AddItem(t->Items(), L"");
  a->SetImageIndex(0);
  auto* b = AddItem(t->Items(), L"");
  b->SetImageIndex(1);
  b->SetChecked(true);
  auto* c = AddItem(t->Items(), L"Text");
  c->SetImageIndex(2);
  c->SetDisplayMode(nbdmImageAndText);
  auto* d = AddItem(t->Items(), L"Off");
  d->SetEnabled(false);
  auto* side = new TBarDock(h.Form.get());
  side->SetName(L"tbdLeft");
  side->SetPosition(dpLeft);
  side->SetParent(h.Form.get());
  auto* v = new TBarToolbar(h.Form.get());
  v->SetName(L"tbrSide");
  v->SetParent(side);
  auto* rotated = AddItem(v->Items(), L"Rotated");
  h.Show();
  Pump(100);
  const COLORREF text = GetSysColor(COLOR_BTNTEXT) & 0xFFFFFF;
  Picture p = Picture::Printed(t);
  auto row = [&](TBarCustomItem* It) { return InWindow(t->View()->Find(It), t); };
  EXPECT_EQ(p.Count(row(a), RGB(255, 0, 0)), 256);
  EXPECT_EQ(p.Count(row(b), RGB(0, 255, 0)), 256);
  EXPECT_EQ(p.Count(row(c), RGB(0, 0, 255)), 256);
  EXPECT_GT(p.Count(row(c), text), 5);  // and its caption
  // The checked button is sunk: shadow on its top edge.
  RECT rb = row(b);
  EXPECT_EQ(p.Px[size_t(rb.top) * size_t(p.W) + size_t((rb.left + rb.right) / 2)], GetSysColor(COLOR_BTNSHADOW) & 0xFFFFFF);
  // The disabled one is grey, not in the text colour.
  EXPECT_EQ(p.Count(row(d), text), 0);
  EXPECT_GT(p.Count(row(d), GetSysColor(COLOR_BTNSHADOW) & 0xFFFFFF), 5);
  // On the side dock the toolbar stands upright and its caption is turned.
  EXPECT_GT(v->GetHeight(), v->GetWidth());
  Picture sp = Picture::Printed(v);
  RECT e = sp.Extent(InWindow(v->View()->Find(rotated), v), text);
  EXPECT_GT(e.bottom - e.top, 2 * (e.right - e.left));
}
}  // namespace

// ---- more of the toolbar -----------------------------------------------------------------
namespace {

TEST(BarToolbarControls, PlainControlsGetWrappersAndLeaveWithThem) {
  Host h;
  auto* t = h.AddToolbar(L"tbrControls", 0, 0);
  AddItem(t->Items(), L"Before");
  auto* e = new TEdit(h.Form.get());
  e->SetBounds(0, 0, 80, 21);
  e->SetParent(t);
  h.Show();
  TBarControlItem* w = t->FindWrapper(e);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(t->Items()->IndexOf(w), 1);
  TBarItemViewer* before = t->View()->Viewers(0);
  EXPECT_EQ(e->GetLeft(), before->BoundsRect.right);  // laid out after the button
  // Removing the control frees its wrapper but not the control.
  e->SetParent(h.Form.get());
  EXPECT_EQ(t->FindWrapper(e), nullptr);
  EXPECT_EQ(t->Items()->Count(), 1);
  EXPECT_EQ(e->GetParent(), h.Form.get());
}

struct ExposedBar : TBarToolbar {
  using TBarToolbar::TBarToolbar;
  using TBarCustomToolbar::HandleSysCommand;
};

TEST(BarToolbarKeys, MenuBarKeyRulesAndLoadTimeSetting) {
  MenuHost h;
  auto* bar = new ExposedBar(h.Form.get());
  bar->SetName(L"tbrExposed");
  bar->SetParent(h.Dock);
  bar->SetMenuBar(true);
  AddItem(bar->Items(), L"&Only");
  Pump(20);
  // (The unhandled keys would go on to the system's own menu handling.)
  TMessage dash{WM_SYSCOMMAND, SC_KEYMENU, L'-', 0};
  EXPECT_FALSE(bar->HandleSysCommand(dash));  // no '-' item: default processing
  TMessage q{WM_SYSCOMMAND, SC_KEYMENU, L'q', 0};
  EXPECT_TRUE(bar->HandleSysCommand(q));  // nothing with 'q': a beep, handled
  EXPECT_EQ(q.Result, 1);
  TMessage space{WM_SYSCOMMAND, SC_KEYMENU, L' ', 0};
  EXPECT_FALSE(bar->HandleSysCommand(space));  // the system menu's key
  // Switching the mode on while loading changes only styles and hooks.
  auto* t = h.AddToolbar(L"tbrLoading", 1, 0);
  t->BeginLoading();
  t->SetMenuBar(true);
  EXPECT_TRUE(t->View()->Style.Contains(vsMenuBar));
  EXPECT_FALSE(t->GetFullSize());
  EXPECT_EQ(t->GetShrinkModeProp(), tbsmChevron);
  EXPECT_FALSE(t->GetProcessShortCuts());
  t->EndLoading();
  t->SetMenuBar(false);
  t->SetMenuBar(true);  // at run time the whole mode follows
  EXPECT_TRUE(t->GetFullSize());
  EXPECT_EQ(t->GetShrinkModeProp(), tbsmWrap);
  EXPECT_TRUE(t->GetProcessShortCuts());
  EXPECT_FALSE(t->CloseButton);
}

TEST(BarToolbarKeys, OrdinaryToolbarAcceleratorsNeedAUniqueMatch) {
  Host h;
  auto* t = h.AddToolbar(L"tbrAccel", 0, 0);
  int refresh = 0;
  AddItem(t->Items(), L"&Refresh", &refresh);
  AddItem(t->Items(), L"&Go");
  AddItem(t->Items(), L"&Goto");
  h.Show();
  EXPECT_FALSE(t->KeyboardOpen(L'g', true));  // shared on an ordinary toolbar
  EXPECT_TRUE(t->KeyboardOpen(L'r', true));
  EXPECT_TRUE(PumpUntil([&] { return refresh == 1; }, 2000));
  EXPECT_FALSE(t->View()->State.Contains(vsModal));
}

TEST(BarEditItem, AltWithKeypadDigitsKeepsEditing) {
  EditHost h;
  h.Path->SetText(L"x");
  bool stillEditing = false;
  h.Edit({[](HWND e) {
            UINT scan = MapVirtualKeyW(VK_NUMPAD6, MAPVK_VK_TO_VSC);
            PostMessageW(e, WM_SYSKEYDOWN, VK_NUMPAD6, (scan << 16) | 0x20000001);
          },
          [&](HWND e) {
            stillEditing = true;
            UINT scan = MapVirtualKeyW('K', MAPVK_VK_TO_VSC);
            PostMessageW(e, WM_SYSKEYDOWN, 'K', (scan << 16) | 0x20000001);  // Alt+K closes
          },
          [&](HWND) { stillEditing = false; }});
  EXPECT_TRUE(stillEditing);
  EXPECT_EQ(h.Viewer()->EditControlStatus, TBarEditControlStatus{ecsClose});
  EXPECT_EQ(h.Path->GetText(), L"x");
}

TEST(BarItems, VisibilityToggleFollowsItsControl) {
  Host h;
  auto* t = h.AddToolbar(L"tbrToggled", 0, 0);
  TBarVisibilityToggleItem toggle(nullptr);
  t->SetCaption(L"Toolbar caption");
  toggle.SetControl(t);
  EXPECT_EQ(toggle.GetCaption(), L"Toolbar caption");
  EXPECT_TRUE(toggle.GetChecked());
  toggle.Click();
  EXPECT_FALSE(t->GetVisible());
  toggle.InitiateAction();
  EXPECT_FALSE(toggle.GetChecked());
  toggle.Click();
  EXPECT_TRUE(t->GetVisible());
  // Its control freed, it is unchecked at once.
  auto* gone = h.AddToolbar(L"tbrGone", 1, 0);
  toggle.SetControl(gone);
  EXPECT_TRUE(toggle.GetChecked());
  delete gone;
  EXPECT_EQ(toggle.GetControl(), nullptr);
  EXPECT_FALSE(toggle.GetChecked());

  // An action linked to the item is updated by the same call.
  TAction act(h.Form.get());
  int updates = 0;
  act.OnUpdate = [&](TObject*) {
    ++updates;
    act.SetEnabled(false);
  };
  toggle.SetAction(&act);
  EXPECT_TRUE(toggle.GetEnabled());
  toggle.InitiateAction();
  EXPECT_EQ(updates, 1);
  EXPECT_FALSE(toggle.GetEnabled());
  toggle.SetAction(nullptr);
}

TEST_F(BarPositions, IniFileVariantUsesThePrefixedSections) {
  wchar_t dir[MAX_PATH];
  GetTempPathW(MAX_PATH, dir);
  String file = String(dir) + L"zembrio_toolbars_test.ini";
  DeleteFileW(file.c_str());
  {
    Host h;
    auto* a = h.AddToolbar(L"tbrFile", 1, 30);
    a->SetFloatingWidth(0);
    h.Show();
    BarIniSavePositions(h.Form.get(), file, L"Bar_");
  }
  wchar_t buf[64];
  GetPrivateProfileStringW(L"Bar_tbrFile", L"Rev", L"", buf, 64, file.c_str());
  EXPECT_STREQ(buf, L"2000");
  GetPrivateProfileStringW(L"Bar_tbrFile", L"DockPos", L"", buf, 64, file.c_str());
  EXPECT_STREQ(buf, L"30");
  GetPrivateProfileStringW(L"Bar_tbrFile", L"DockedTo", L"?", buf, 64, file.c_str());
  EXPECT_STREQ(buf, L"tbdTop");
  Host h2;
  h2.AddToolbar(L"tbrNotStored", 0, 0);  // row 0 stays taken
  auto* a2 = h2.AddToolbar(L"tbrFile", 0, 0);
  h2.Show();
  BarIniLoadPositions(h2.Form.get(), file, L"Bar_");
  EXPECT_EQ(a2->GetDockRow(), 1);
  EXPECT_EQ(a2->GetDockPos(), 30);
  DeleteFileW(file.c_str());
}

}  // namespace

namespace {
TEST(BarGroups, EmbeddedGroupItemsShowInlineAndFollowChanges) {
  Host h;
  auto* t = h.AddToolbar(L"tbrGroups", 0, 0);
  auto* first = AddItem(t->Items(), L"First");
  auto* group = new TBarGroupItem(h.Form.get());
  t->Items()->Add(group);
  auto* last = AddItem(t->Items(), L"Last");
  auto* g1 = AddItem(group, L"G1");
  auto* g2 = AddItem(group, L"G2");
  h.Show();
  TBarView* v = t->View();
  auto order = [&] {
    std::vector<TBarCustomItem*> r;
    for (int i = 0; i < v->ViewerCount(); ++i)
      if (v->Viewers(i)->Item != t->ChevronItem()) r.push_back(v->Viewers(i)->Item);
    return r;
  };
  EXPECT_EQ(order(), (std::vector<TBarCustomItem*>{first, group, g1, g2, last}));
  EXPECT_EQ(v->Find(g1)->GroupLevel, 1);
  EXPECT_FALSE(v->Find(group)->Show);  // the group itself takes no room
  EXPECT_TRUE(v->Find(g2)->Show);
  // Inserted into the group: its viewer lands inside the group's run.
  auto* gm = new TBarItem(h.Form.get());
  gm->SetCaption(L"Gm");
  group->Insert(1, gm);
  EXPECT_EQ(order(), (std::vector<TBarCustomItem*>{first, group, g1, gm, g2, last}));
  // Deleting the group takes its contents' viewers too.
  t->Items()->Remove(group);
  EXPECT_EQ(order(), (std::vector<TBarCustomItem*>{first, last}));
  t->Items()->Insert(1, group);
  EXPECT_EQ(order(), (std::vector<TBarCustomItem*>{first, group, g1, gm, g2, last}));
  // A group that links another item shows that item's subitems.
  TBarItem source(nullptr);
  auto* s1 = AddItem(&source, L"S1");
  auto* linked = new TBarGroupItem(h.Form.get());
  linked->SetLinkSubitems(&source);
  t->Items()->Add(linked);
  auto o = order();
  ASSERT_EQ(o.size(), 8u);
  EXPECT_EQ(o[6], linked);
  EXPECT_EQ(o[7], s1);
  auto* s2 = AddItem(&source, L"S2");  // relayed through the link
  o = order();
  ASSERT_EQ(o.size(), 9u);
  EXPECT_EQ(o[8], s2);
  linked->SetLinkSubitems(nullptr);
  delete s1;
  delete s2;
}
}  // namespace

namespace {
TEST(BarDockedCloseButton, ClickHidesTheToolbarAndTellsItsOwner) {
  Host h;
  auto* a = h.AddToolbar(L"tbrClosable", 0, 0);
  auto* b = h.AddToolbar(L"tbrBelow", 1, 0);
  AddItem(a->Items(), L"One");
  AddItem(b->Items(), L"Two");
  a->SetCloseButtonWhenDocked(true);
  int visibleChanges = 0, closes = 0;
  a->OnVisibleChanged = [&](TObject*) { ++visibleChanges; };
  a->OnClose = [&](TObject*) { ++closes; };
  h.Show();
  SetForegroundWindow(h.Form->GetHandle());
  Pump(30);
  int rowHeight = a->GetHeight();
  EXPECT_EQ(b->GetTop(), rowHeight);
  RECT btn = a->GetDockedCloseButtonRect(false);
  RECT wr;
  GetWindowRect(a->GetHandle(), &wr);
  POINT p{wr.left + (btn.left + btn.right) / 2, wr.top + (btn.top + btn.bottom) / 2};
  EXPECT_EQ(SendMessageW(a->GetHandle(), WM_NCHITTEST, 0, MAKELPARAM(p.x, p.y)), HTBARCLOSE);
  EXPECT_EQ(SendMessageW(a->GetHandle(), WM_NCHITTEST, 0, MAKELPARAM(wr.left + 3, wr.bottom - 3)), HTBARDRAG);
  Click(p);
  EXPECT_TRUE(PumpUntil([&] { return closes == 1; }, 10000));
  EXPECT_FALSE(a->GetVisible());
  EXPECT_EQ(visibleChanges, 1);
  EXPECT_EQ(b->GetTop(), 0);  // the row closed up
  // A veto keeps it.
  a->SetVisible(true);
  a->OnCloseQuery = [](TObject*, bool& CanClose) { CanClose = false; };
  a->Close();
  EXPECT_TRUE(a->GetVisible());
}
}  // namespace

namespace {
BOOL WINAPI MenuAnimationOn(UINT Action, UINT Param, PVOID Data, UINT WinIni) {
  if (Action == SPI_GETMENUANIMATION) {
    *static_cast<BOOL*>(Data) = TRUE;
    return TRUE;
  }
  if (Action == SPI_GETMENUFADE) {
    *static_cast<BOOL*>(Data) = FALSE;
    return TRUE;
  }
  return SystemParametersInfoW(Action, Param, Data, WinIni);
}

std::vector<WPARAM>& ShowingNotes() {
  static std::vector<WPARAM> v;
  return v;
}
LRESULT CALLBACK ShowingHook(int Code, WPARAM WParam, LPARAM LParam) {
  auto* cwp = reinterpret_cast<CWPSTRUCT*>(LParam);
  if (Code == HC_ACTION && cwp->message == BarMPopupShowing) ShowingNotes().push_back(cwp->wParam);
  return CallNextHookEx(nullptr, Code, WParam, LParam);
}

TEST(BarPopupAnimation, MouseOpenedMenusSlideKeyboardOpenedOnesDoNot) {
  auto saved = BarSystemParametersInfo;
  BarSystemParametersInfo = MenuAnimationOn;
  HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, ShowingHook, nullptr, GetCurrentThreadId());
  TBarPopupMenu menu(nullptr);
  for (int i = 0; i < 4; ++i) AddItem(menu.Items(), L"Animated " + std::to_wstring(i));
  ShowingNotes().clear();
  bool runningLater = true, visibleLater = false;
  {
    LoopScript s({[&] {
      PumpUntil([] { return !BarAnimationRunning(); }, 2000);
      Pump(20);
      runningLater = BarAnimationRunning();
      visibleLater = MenuHost::AnyPopupVisible();
      PostKey(VK_ESCAPE);
    }});
    menu.Popup(200, 200);
  }
  Pump(20);
  // Asked whether to skip the animation, then told that it ended.
  ASSERT_GE(ShowingNotes().size(), 2u);
  EXPECT_EQ(ShowingNotes()[0], 1u);
  EXPECT_EQ(ShowingNotes()[1], 2u);
  EXPECT_FALSE(runningLater);
  EXPECT_TRUE(visibleLater);
  // From the keyboard (first item selected): shown at once.
  ShowingNotes().clear();
  {
    LoopScript s({[&] { PostKey(VK_ESCAPE); }});
    menu.Items()->OpenPopup(true, false, POINT{200, 200}, tbpaLeft);
  }
  Pump(20);
  ASSERT_GE(ShowingNotes().size(), 1u);
  EXPECT_EQ(ShowingNotes()[0], 3u);
  UnhookWindowsHookEx(hook);
  BarSystemParametersInfo = saved;
}
}  // namespace

namespace {
TEST_F(BarPositions, StoredPlacesOutOfReachComeBackIntoTheDock) {
  Host h;
  auto* a = h.AddToolbar(L"tbrFar", 0, 0);
  auto* b = h.AddToolbar(L"tbrNear", 0, 60);
  AddItem(a->Items(), L"Far");
  AddItem(b->Items(), L"Near");
  h.Show();
  reg::CreateKey(PosKey() + L"\\tbrFar");
  auto set = [&](const wchar_t* n, const wchar_t* v) { SetText(L"tbrFar", n, v); };
  set(L"Rev", L"2000");
  set(L"Visible", L"1");
  set(L"DockedTo", L"tbdTop");
  set(L"DockRow", L"1000");
  set(L"DockPos", L"99999");
  BarRegLoadPositions(h.Form.get(), HKEY_CURRENT_USER, PosKey());
  Pump(20);
  // The row closes up to the next one after the others and the window stays inside the dock.
  EXPECT_EQ(a->EffectiveDockRow, 1);
  EXPECT_LE(a->GetLeft() + a->GetWidth(), h.Dock->GetClientWidth());
  EXPECT_GE(a->GetLeft(), 0);
  EXPECT_LE(a->GetTop() + a->GetHeight(), h.Dock->GetClientHeight());
}

// A value stored with a type it cannot be read as (binary, multi-string)
// takes its own default only: the rest of that toolbar's values and the
// later toolbars' are restored as stored.
TEST_F(BarPositions, AValueOfTheWrongTypeLosesOnlyItself) {
  Host h;
  auto* first = h.AddToolbar(L"tbrFirst", 0, 0);
  auto* second = h.AddToolbar(L"tbrSecond", 0, 60);
  h.Show();
  const String firstKey = PosKey() + L"\\tbrFirst";
  reg::CreateKey(firstKey);
  reg::CreateKey(PosKey() + L"\\tbrSecond");
  for (const auto& [name, text] : {std::pair{L"Rev", L"2000"}, {L"DockedTo", L"+"}, {L"FloatLeft", L"300"}}) {
    SetText(L"tbrFirst", name, text);
    SetText(L"tbrSecond", name, text);
  }
  reg::Write(firstKey, L"Visible", REG_BINARY, std::string(1, '\0'));
  reg::Write(firstKey, L"DockRow", REG_MULTI_SZ, Sz(L"5") + std::string(2, '\0'));
  SetText(L"tbrFirst", L"FloatTop", L"200");
  SetText(L"tbrSecond", L"FloatTop", L"260");
  SetText(L"tbrSecond", L"Visible", L"0");
  BarRegLoadPositions(h.Form.get(), HKEY_CURRENT_USER, PosKey());
  // The first floats where stored, visible as it was and on its row.
  ASSERT_TRUE(first->GetFloating());
  EXPECT_TRUE(first->GetVisible());
  EXPECT_EQ(first->GetDockRow(), 0);
  EXPECT_EQ(first->FloatingPosition.y, 200);
  ASSERT_TRUE(second->GetFloating());
  EXPECT_FALSE(second->GetVisible());
  EXPECT_EQ(second->FloatingPosition.x, 300);
  EXPECT_EQ(second->FloatingPosition.y, 260);
}

// Read through an ini file kept in the registry, a value of another type
// or text that is no number loses only itself, as read from the registry
// directly.
TEST_F(BarPositions, AnIniFileInTheRegistryLosesOnlyTheValuesItCannotRead) {
  Host h;
  auto* first = h.AddToolbar(L"tbrFirst", 0, 0);
  auto* second = h.AddToolbar(L"tbrSecond", 0, 60);
  h.Show();
  const String firstKey = PosKey() + L"\\Bar_tbrFirst";
  for (const wchar_t* bar : {L"Bar_tbrFirst", L"Bar_tbrSecond"})
    for (const auto& [name, text] : {std::pair{L"Rev", L"2000"}, {L"DockedTo", L"+"}, {L"FloatLeft", L"300"}})
      SetText(bar, name, text);
  reg::Write(firstKey, L"Visible", REG_BINARY, std::string(1, '\0'));
  SetText(L"Bar_tbrFirst", L"DockRow", L"five");
  reg::Write(firstKey, L"LastDock", REG_BINARY, std::string(2, '\0'));
  SetText(L"Bar_tbrFirst", L"FloatTop", L"200");
  SetText(L"Bar_tbrSecond", L"FloatTop", L"260");
  SetText(L"Bar_tbrSecond", L"Visible", L"0");
  TRegistryIniFile ini(PosKey());
  BarIniLoadPositions(h.Form.get(), &ini, L"Bar_");
  ASSERT_TRUE(first->GetFloating());
  EXPECT_TRUE(first->GetVisible());
  EXPECT_EQ(first->GetDockRow(), 0);
  EXPECT_EQ(first->FloatingPosition.y, 200);
  EXPECT_EQ(first->GetLastDock(), h.Dock);
  ASSERT_TRUE(second->GetFloating());
  EXPECT_FALSE(second->GetVisible());
  EXPECT_EQ(second->FloatingPosition.x, 300);
  EXPECT_EQ(second->FloatingPosition.y, 260);
}
}  // namespace

namespace {
TEST(BarMenuLoop, RightArrowMovesToTheNextMenu) {
  MenuHost h;
  TBarCustomItem* openFrom = nullptr;
  TBarCustomItem* sel = nullptr;
  {
    LoopScript s({[&] { PostKey(VK_RIGHT); },
                  [&] {
                    if (TBarView* v = h.OpenView()) {
                      openFrom = v->GetParentItem();
                      sel = v->GetSelected() ? v->GetSelected()->Item : nullptr;
                    }
                    PostKey(VK_ESCAPE);
                    PostKey(VK_ESCAPE);
                  }});
    SendMessageW(h.Form->GetHandle(), WM_SYSCOMMAND, SC_KEYMENU, L'f');
  }
  EXPECT_EQ(openFrom, h.Edit);
  EXPECT_EQ(sel, h.Copy);
}

TEST(BarMenuLoop, FirstReleaseOutsideIsIgnoredAndRightReleasesNeedTracking) {
  TBarPopupMenu menu(nullptr);
  int clicks = 0;
  AddItem(menu.Items(), L"Target", &clicks);
  bool openAfterFirst = false, openAfterSecond = true;
  MoveMouse(POINT{5, 5});
  {
    LoopScript s({[&] { PostThreadMessageW(GetCurrentThreadId(), WM_LBUTTONUP, 0, 0); },
                  [&] {
                    openAfterFirst = MenuHost::AnyPopupVisible();
                    PostThreadMessageW(GetCurrentThreadId(), WM_LBUTTONUP, 0, 0);
                  },
                  [&] { openAfterSecond = MenuHost::AnyPopupVisible(); }});
    menu.Items()->Popup(300, 300, false);
  }
  EXPECT_TRUE(openAfterFirst);
  EXPECT_FALSE(MenuHost::AnyPopupVisible());
  // A right release over the item does nothing without right-button tracking.
  auto overItem = [] {
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND w, LPARAM) -> BOOL {
          if (dynamic_cast<TBarPopupWindow*>(TWinControl::FindControl(w)) && IsWindowVisible(w)) {
            RECT r;
            GetWindowRect(w, &r);
            MouseTo(POINT{r.left + 20, r.top + 8});
          }
          return TRUE;
        },
        0);
  };
  auto rightClick = [] { InputScript().Down(testsupport::Button::Right).Up(testsupport::Button::Right).Post(); };
  {
    LoopScript s({overItem, [] {}, rightClick, [] {}, [] {}});
    menu.Items()->Popup(300, 300, false);
  }
  Pump(50);
  EXPECT_EQ(clicks, 0);
  // With tracking, the same release runs the item.
  {
    LoopScript s({overItem, [] {}, rightClick});
    menu.Items()->Popup(300, 300, true);
  }
  EXPECT_TRUE(PumpUntil([&] { return clicks == 1; }, 10000));
}
}  // namespace

namespace {
TEST(BarToolbarLayout, OnAFormTheToolbarSizesItselfAndHintsDefaultToCaptions) {
  std::unique_ptr<TForm> f(new TForm(Application));
  f->SetBounds(40, 40, 400, 200);
  auto* t = new TBarToolbar(f.get());
  t->SetName(L"tbrLoose");
  t->SetParent(f.get());
  auto* a = AddItem(t->Items(), L"&Open...");
  auto* b = AddItem(t->Items(), L"Save");
  b->SetHint(L"Save it|Saves the document");
  b->SetShortCut(ShortCut('S', TShiftState{ssCtrl}));
  f->Show();
  Pump(30);
  TBarView* v = t->View();
  int sum = 0;
  for (auto* it : {a, b}) sum += v->Find(it)->BoundsRect.right - v->Find(it)->BoundsRect.left;
  EXPECT_EQ(t->GetWidth(), sum);  // no frame off a dock
  EXPECT_EQ(t->GetHeight(), v->Find(a)->BoundsRect.bottom - v->Find(a)->BoundsRect.top);
  EXPECT_EQ(v->Find(a)->GetHintText(), L"Open");
  EXPECT_EQ(v->Find(b)->GetHintText(), L"Save it (Ctrl+S)");

  // The item's action may change its hint or refuse it; shortcuts are added
  // only while the application asks for them.
  auto* act = new TAction(f.get());
  act->SetCaption(L"Save");
  act->SetHint(L"Save it|Saves the document");
  act->SetShortCut(ShortCut('S', TShiftState{ssCtrl}));
  act->OnExecute = [](TObject*) {};
  b->SetAction(act);
  act->OnHint = [](String& H, bool& CanShow) { CanShow = H != L"Save it"; };
  EXPECT_EQ(v->Find(b)->GetHintText(), L"");
  act->OnHint = [](String& H, bool&) { H = L"Store"; };
  EXPECT_EQ(v->Find(b)->GetHintText(), L"Store (Ctrl+S)");
  Application->SetHintShortCuts(false);
  EXPECT_EQ(v->Find(b)->GetHintText(), L"Store");
  Application->SetHintShortCuts(true);
  AddItem(t->Items(), L"More");
  Pump(20);
  EXPECT_GT(t->GetWidth(), sum);  // grows with its items
}
}  // namespace

// ---- override points for a themed layer ---------------------------------------------------
namespace {
struct CountingView : TBarToolbarView {
  using TBarToolbarView::TBarToolbarView;
  int Draws = 0;
  void DrawItem(TBarItemViewer* V, TCanvas* C, bool Off) override {
    ++Draws;
    TBarToolbarView::DrawItem(V, C, Off);
  }
};

struct BigViewer : TBarItemViewer {
  using TBarItemViewer::TBarItemViewer;
  static TBarItemViewer* Create(TBarView* V, TBarCustomItem* I, int G) { return new BigViewer(V, I, G); }
  TBarItemViewerClass GetClass() const override { return &Create; }
  void CalcSize(TCanvas*, int& W, int& H) override {
    W = 50;
    H = 30;
  }
};

struct BigItem : TBarItem {
  using TBarItem::TBarItem;
  TBarItemViewerClass GetItemViewerClass(TBarView*) override { return &BigViewer::Create; }
};

struct MyChevron : TBarChevronItem {
  using TBarChevronItem::TBarChevronItem;
};
struct MyRoot : TBarRootItem {
  using TBarRootItem::TBarRootItem;
};
struct MyFloatingParent : TBarFloatingWindowParent {
  using TBarFloatingWindowParent::TBarFloatingWindowParent;
};
struct MyPopupView : TBarPopupView {
  using TBarPopupView::TBarPopupView;
};
struct MyPopupWindow : TBarPopupWindow {
  using TBarPopupWindow::TBarPopupWindow;
  TBarPopupViewClass GetViewClass() override {
    return &BarClassOf<TBarView, MyPopupView, TComponent*, TBarView*, TBarCustomItem*, TWinControl*, bool, bool, bool>;
  }
};
struct MyEdit : TEdit {
  using TEdit::TEdit;
};
struct MyEditViewer : TBarEditItemViewer {
  using TBarEditItemViewer::TBarEditItemViewer;
  static TBarItemViewer* Create(TBarView* V, TBarCustomItem* I, int G) { return new MyEditViewer(V, I, G); }
  TBarItemViewerClass GetClass() const override { return &Create; }
  TBarEditControlClass GetEditControlClass() override { return &BarClassOf<TEdit, MyEdit, TComponent*>; }
};
struct MyEditItem : TBarEditItem {
  using TBarEditItem::TBarEditItem;
  TBarItemViewerClass GetItemViewerClass(TBarView*) override { return &MyEditViewer::Create; }
};
struct MySubmenu : TBarSubmenuItem {
  using TBarSubmenuItem::TBarSubmenuItem;
  TBarPopupWindowClass GetPopupWindowClass() override { return &TBarPopupWindow::CreatePopupWindow<MyPopupWindow>; }
};
struct MyToolbar : TBarToolbar {
  using TBarToolbar::TBarToolbar;
  CountingView* Counting = nullptr;
  TBarRootItemClass GetItemClass() override { return &BarClassOf<TBarRootItem, MyRoot, TComponent*>; }
  TBarChevronItemClass GetChevronItemClass() override {
    return &BarClassOf<TBarChevronItem, MyChevron, TBarCustomToolbar*>;
  }
  TBarToolbarViewClass GetViewClass() override {
    return &BarClassOf<TBarToolbarView, CountingView, TBarCustomToolbar*, TBarCustomItem*, bool>;
  }
  TBarFloatingWindowParentClass GetFloatingWindowParentClass() override {
    return &BarClassOf<TBarFloatingWindowParent, MyFloatingParent, TComponent*>;
  }
};
struct MyPopupMenu : TBarPopupMenu {
  using TBarPopupMenu::TBarPopupMenu;
  TBarRootItemClass GetRootItemClass() override { return &BarClassOf<TBarRootItem, MyRoot, TComponent*>; }
};

// Every part a toolbar, menu or item makes comes from the class its
// (derived) owner answers: views, items, chevron, floating form, pop-up
// windows and their views, edit controls.
TEST(BarThemingHooks, DerivedClassReferencesAreTheClassesMade) {
  Host h;
  auto* t = new MyToolbar(h.Form.get());
  t->SetName(L"tbrThemed");
  t->SetParent(h.Dock);
  auto* big = new BigItem(h.Form.get());
  t->Items()->Add(big);
  auto* sub = new MySubmenu(h.Form.get());
  sub->SetCaption(L"More");
  AddItem(sub, L"Inside");
  t->Items()->Add(sub);
  auto* edit = new MyEditItem(h.Form.get());
  edit->SetText(L"abc");
  t->Items()->Add(edit);
  h.Show();
  EXPECT_NE(dynamic_cast<MyRoot*>(t->Items()), nullptr);
  EXPECT_NE(dynamic_cast<MyChevron*>(t->ChevronItem()), nullptr);
  auto* view = dynamic_cast<CountingView*>(t->View());
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(t->View()->GetChevronItem(), t->ChevronItem());
  TBarItemViewer* v = t->View()->Find(big);
  EXPECT_NE(dynamic_cast<BigViewer*>(v), nullptr);
  EXPECT_EQ(v->BoundsRect.right - v->BoundsRect.left, 50);
  EXPECT_EQ(t->GetClientHeight(), 30);
  InvalidateRect(t->GetHandle(), nullptr, TRUE);
  UpdateWindow(t->GetHandle());
  EXPECT_GT(view->Draws, 0);

  std::unique_ptr<TBarPopupWindow> w(sub->GetPopupWindowClass()(nullptr, nullptr, sub, false));
  EXPECT_NE(dynamic_cast<MyPopupWindow*>(w.get()), nullptr);
  EXPECT_NE(dynamic_cast<MyPopupView*>(w->View), nullptr);
  w.reset();

  // The control that edits the edit item.
  String seenClass;
  edit->OnBeginEdit = [&](TBarEditItem*, TBarEditItemViewer*, TEdit* E) {
    seenClass = dynamic_cast<MyEdit*>(E) ? L"MyEdit" : L"other";
  };
  auto* ev = dynamic_cast<MyEditViewer*>(t->View()->Find(edit));
  ASSERT_NE(ev, nullptr);
  {
    LoopScript s({[&] {
      if (TEdit* e = ev->EditControl) PostMessageW(e->GetHandle(), WM_CHAR, 27, 0);
    }});
    ev->DoExecute();
  }
  EXPECT_EQ(seenClass, L"MyEdit");

  HWND before = t->GetHandle();
  t->SetFloating(true);
  Pump(20);
  EXPECT_NE(dynamic_cast<MyFloatingParent*>(t->GetFloatingParent()), nullptr);
  EXPECT_EQ(t->GetHandle(), before);
  t->SetFloating(false);

  MyPopupMenu pm(nullptr);
  EXPECT_NE(dynamic_cast<MyRoot*>(pm.Items()), nullptr);
  EXPECT_EQ(pm.GetItems(), pm.Items());
}
}  // namespace

namespace {
TEST(BarMenuLoop, TheSelectedItemsLongHintShowsWhileTheMenuIsOpen) {
  MenuHost h;
  h.Open->SetHint(L"Open|Opens a registry file");
  String during;
  {
    LoopScript s({[&] {
      during = Application->GetHint();
      PostKey(VK_ESCAPE);
      PostKey(VK_ESCAPE);
    }});
    SendMessageW(h.Form->GetHandle(), WM_SYSCOMMAND, SC_KEYMENU, L'f');
  }
  EXPECT_EQ(during, L"Opens a registry file");
  EXPECT_EQ(Application->GetHint(), L"");
}
}  // namespace

namespace {
// The application's hint window while it shows, else null.
THintWindow* ShownHint() {
  THintWindow* w = Application->GetHintWindow();
  return w && w->HandleAllocated() && IsWindowVisible(w->GetHandle()) ? w : nullptr;
}

TEST(BarMenuLoop, ItemHintsShowInsideAnOpenMenu) {
  MenuHost h;
  h.Open->SetHint(L"Opens a file|Opens a registry file");
  h.Exit->SetHint(L"Leaves");
  h.File->SetOptions(TBarItemOptions{tboShowHint});
  h.Show();
  const int savedPause = Application->HintPause;
  Application->HintPause = 50;
  String first, second;
  auto pointAt = [&](TBarCustomItem* Item) {
    TBarView* pv = h.Bar->View()->OpenViewerView;
    TBarItemViewer* v = pv ? pv->Find(Item) : nullptr;
    if (!v) return;
    POINT c{(v->BoundsRect.left + v->BoundsRect.right) / 2, (v->BoundsRect.top + v->BoundsRect.bottom) / 2};
    ClientToScreen(pv->Window->GetHandle(), &c);
    MouseTo(c);
  };
  int wait = 0;  // each step waits (up to a generous count of ticks) for the hint it needs
  LoopScript s({[&] { pointAt(h.Open); },
                [&] {
                  if (!ShownHint() && ++wait < 150) return LoopScript::Current()->Again();
                  first = ShownHint() ? ShownHint()->GetCaption() : String();
                  wait = 0;
                  pointAt(h.Exit);
                },
                [&] {
                  THintWindow* w = ShownHint();
                  if ((!w || w->GetCaption() != L"Leaves") && ++wait < 150) return LoopScript::Current()->Again();
                  second = w ? w->GetCaption() : String();
                  PostKey(VK_ESCAPE);
                  PostKey(VK_ESCAPE);
                }});
  SendMessageW(h.Form->GetHandle(), WM_SYSCOMMAND, SC_KEYMENU, L'f');
  Application->HintPause = savedPause;
  EXPECT_EQ(first.rfind(L"Opens a file", 0), 0u) << WideToAnsi(first);
  EXPECT_EQ(second, L"Leaves");
  EXPECT_EQ(ShownHint(), nullptr);  // gone with the menu
}
}  // namespace


namespace {
TEST(BarMenuLoop, F1OnAnItemAsksForItsTopicAsAPopupOnAFormWithAHelpButton) {
  MenuHost h;
  h.Open->SetHelpContext(31);
  std::vector<std::pair<WORD, intptr_t>> asked;
  Application->HelpHandler = [&](WORD Command, intptr_t Data) {
    asked.emplace_back(Command, Data);
    return true;
  };
  auto f1InFileMenu = [&] {
    LoopScript s({[&] { PostKey(VK_F1); }});
    SendMessageW(h.Form->GetHandle(), WM_SYSCOMMAND, SC_KEYMENU, L'f');
  };
  f1InFileMenu();  // Open is selected first
  EXPECT_TRUE(PumpUntil([&] { return asked.size() == 1; }, 10000));
  EXPECT_FALSE(MenuHost::AnyPopupVisible());
  EXPECT_EQ(h.OpenClicks, 0);

  h.Form->SetBorderIcons(TBorderIcons{biSystemMenu, biHelp});
  Screen->SetActiveForm(h.Form.get());
  f1InFileMenu();
  EXPECT_TRUE(PumpUntil([&] { return asked.size() == 2; }, 10000));
  Application->HelpHandler = nullptr;
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[0], std::make_pair(WORD(HELP_CONTEXT), intptr_t(31)));
  EXPECT_EQ(asked[1], std::make_pair(WORD(HELP_CONTEXTPOPUP), intptr_t(31)));
}
}  // namespace

namespace {
TEST(BarDockRows, DesignRowsAndTheStoredPlace) {
  Host h;
  auto* a = h.AddToolbar(L"tbrA", 0, 0);
  h.AddToolbar(L"tbrB", 1, 0);
  AddItem(a->Items(), L"Item");
  h.Show();
  bool full;
  const int row0 = h.Dock->GetCurrentRowSize(0, full), row1 = h.Dock->GetCurrentRowSize(1, full);
  ASSERT_GT(row0, 0);
  EXPECT_EQ(h.Dock->GetDesignModeRowOf(0), 0);
  EXPECT_EQ(h.Dock->GetDesignModeRowOf(row0 - 1), 0);
  EXPECT_EQ(h.Dock->GetDesignModeRowOf(row0), 1);
  EXPECT_EQ(h.Dock->GetDesignModeRowOf(row0 + row1), 2);

  // The place is stored, marked as stored by the running program.
  a->SetDockRow(1);
  a->SetDockPos(40);
  TMemoryStream plain;
  TWriter(&plain).WriteRootComponent(h.Form.get());
  const char* pp = static_cast<const char*>(plain.Memory());
  EXPECT_EQ(std::string(pp, pp + plain.GetSize()).find("ChevronHint"), std::string::npos);  // the default
  a->SetChevronHint(L"More|More buttons");
  TMemoryStream m;
  TWriter(&m).WriteRootComponent(h.Form.get());
  const char* p = static_cast<const char*>(m.Memory());
  const std::string bytes(p, p + m.GetSize());
  EXPECT_NE(bytes.find("SavedAtRunTime"), std::string::npos);
  BarFiler::RegisterClasses();
  Host again;
  auto* b = again.AddToolbar(L"tbrA", 0, 0);
  again.AddToolbar(L"tbrB", 1, 0);
  EXPECT_FALSE(b->GetSavedAtRunTime());
  m.SetPosition(0);
  TReader(&m).ReadRootComponent(again.Form.get());
  EXPECT_TRUE(b->GetSavedAtRunTime());
  EXPECT_EQ(b->GetDockRow(), 1);
  EXPECT_EQ(b->GetDockPos(), 40);
  EXPECT_EQ(b->GetChevronHint(), L"More|More buttons");
  ASSERT_EQ(b->Items()->Count(), 1);  // the toolbar's items came along
  EXPECT_EQ(b->Items()->GetItem(0)->GetCaption(), L"Item");
}
}  // namespace

namespace {
TEST(BarChevron, TabPassesOverTheControlsTheChevronHides) {
  Host h(230);
  auto* t = h.AddToolbar(L"tbrEdits", 0, 0);
  AddItem(t->Items(), L"Button");
  TEdit* edits[3];
  for (TEdit*& e : edits) {
    e = new TEdit(h.Form.get());
    e->SetBounds(0, 0, 90, 21);
    e->SetParent(t);
  }
  auto* after = new TEdit(h.Form.get());
  after->SetBounds(10, 100, 90, 21);
  after->SetParent(h.Form.get());
  h.Show();
  std::vector<TWinControl*> hidden;
  t->View()->GetOffEdgeControlList(hidden);
  ASSERT_FALSE(hidden.empty());
  ASSERT_LT(hidden.size(), 3u);
  TEdit* shown = nullptr;
  for (TEdit* e : edits)
    if (std::find(hidden.begin(), hidden.end(), e) == hidden.end()) shown = e;
  ASSERT_NE(shown, nullptr);
  Click(ScreenPoint(shown->GetHandle(), 5, 5));
  ASSERT_TRUE(PumpUntil([&] { return GetFocus() == shown->GetHandle(); }, 10000));
  // Tab goes round the visible controls only.
  std::vector<HWND> seen;
  for (int i = 0; i < 4; ++i) {
    const HWND before = GetFocus();
    PressKey(VK_TAB);
    ASSERT_TRUE(PumpUntil([&] { return GetFocus() != before; }, 10000));
    seen.push_back(GetFocus());
  }
  for (TWinControl* c : hidden)
    EXPECT_EQ(std::find(seen.begin(), seen.end(), c->GetHandle()), seen.end());
  EXPECT_NE(std::find(seen.begin(), seen.end(), after->GetHandle()), seen.end());
}
}  // namespace

// ---- hints, colour and keys of a toolbar under real input -----------------------------------
namespace {

// A real click into a control, which then has the focus.
void ClickToFocus(TWinControl* C) {
  Click(ScreenPoint(C->GetHandle(), 5, 5));
  ASSERT_TRUE(PumpUntil([&] { return GetFocus() == C->GetHandle(); }, 10000));
}

// What the application offers to show for the control under the pointer.
struct ShownHintInfo {
  int Count = 0;
  String Text;
  TRect CursorRect{};
  TControl* Control = nullptr;
  ShownHintInfo() {
    Application->OnShowHint = [this](String& HintStr, bool&, THintInfo& Info) {
      ++Count;
      Text = HintStr;
      CursorRect = Info.CursorRect;
      Control = Info.HintControl;
    };
  }
  ~ShownHintInfo() { Application->OnShowHint = TShowHintEvent(); }
};

// A short hint pause for one test; the application's own comes back
// however the test ends.
struct ShortHintPause {
  int Saved = Application->HintPause;
  explicit ShortHintPause(int Ms) { Application->HintPause = Ms; }
  ~ShortHintPause() { Application->HintPause = Saved; }
};

// The pointer over a button shows that button's hint for as long as it
// stays within the button; the toolbar's own hint (the status text) follows
// the button, unless the item keeps its long hint for menus; the frame and
// bare places have none.
TEST(BarToolbarHints, HoveredButtonsShowTheirHintsForTheirRectangles) {
  Host h;
  auto* t = h.AddToolbar(L"tbrHints", 0, 0);
  auto* open = AddItem(t->Items(), L"Open");
  open->SetHint(L"Open a file|Opens a registry file");
  auto* save = AddItem(t->Items(), L"Save");
  save->SetHint(L"Save it|Saves the file");
  auto* menuOnly = AddItem(t->Items(), L"Find");
  menuOnly->SetHint(L"Find|Finds a key");
  menuOnly->SetOptions(TBarItemOptions{tboLongHintInMenuOnly});
  t->SetShowHint(true);
  h.Show();
  SetForegroundWindow(h.Form->GetHandle());
  Pump(30);
  ShortHintPause pause(50);
  ShownHintInfo shown;
  TBarItemViewer* ov = t->View()->Find(open);
  TBarItemViewer* sv = t->View()->Find(save);

  MoveMouse(ScreenCentre(t->View(), open));
  EXPECT_EQ(t->GetHint(), L"Open a file|Opens a registry file");
  ASSERT_TRUE(PumpUntil([&] { return ShownHint() != nullptr; }, 10000));
  EXPECT_EQ(ShownHint()->GetCaption(), L"Open a file");
  EXPECT_EQ(shown.Control, t);
  EXPECT_EQ(shown.Text, L"Open a file");
  EXPECT_EQ(shown.CursorRect, TRect(ov->BoundsRect));
  // Within the same button the hint stays as it is. (Moved without the
  // key that marks the end of sent input: a key hides any hint.)
  const int count = shown.Count;
  const POINT corner = ScreenPoint(t->GetHandle(), ov->BoundsRect.left + 2, ov->BoundsRect.top + 2);
  MouseTo(corner);
  ASSERT_TRUE(PumpUntil([&] { return PointerPos() == corner; }, 5000));
  Pump(100);
  EXPECT_EQ(shown.Count, count);
  EXPECT_NE(ShownHint(), nullptr);
  // The next button: its own hint over its own rectangle.
  MoveMouse(ScreenCentre(t->View(), save));
  EXPECT_EQ(t->GetHint(), L"Save it|Saves the file");
  ASSERT_TRUE(PumpUntil([&] { return shown.Count > count && ShownHint() != nullptr; }, 10000));
  EXPECT_EQ(shown.Text, L"Save it");
  EXPECT_EQ(shown.CursorRect, TRect(sv->BoundsRect));
  // A long hint kept for menus: none for the toolbar.
  MoveMouse(ScreenCentre(t->View(), menuOnly));
  EXPECT_EQ(t->GetHint(), L"");
  // The drag handle is the frame: no item, no hint.
  MoveMouse(ScreenCentre(t->View(), open));
  EXPECT_NE(t->GetHint(), L"");
  RECT wr;
  GetWindowRect(t->GetHandle(), &wr);
  MoveMouse(POINT{wr.left + 4, (wr.top + wr.bottom) / 2});
  Pump(30);
  EXPECT_EQ(t->GetHint(), L"");
  MoveMouse(ParkingPlace());
  Pump(30);
}

// The view shows hints in its menus too while the toolbar shows hints, and
// paints its background in the toolbar's colour.
TEST(BarToolbarHints, ShowHintAndColourReachTheView) {
  Host h;
  auto* t = h.AddToolbar(L"tbrLook", 0, 0);
  AddItem(t->Items(), L"A");
  AddItem(t->Items(), L"B");
  h.Show();
  t->SetShowHint(true);
  EXPECT_TRUE(t->View()->Style.Contains(vsAlwaysShowHints));
  t->SetShowHint(false);
  EXPECT_FALSE(t->View()->Style.Contains(vsAlwaysShowHints));
  // Taken from the form as well.
  t->SetParentShowHint(true);
  h.Form->SetShowHint(true);
  EXPECT_TRUE(t->GetShowHint());
  EXPECT_TRUE(t->View()->Style.Contains(vsAlwaysShowHints));

  t->SetColor(clRed);
  EXPECT_EQ(t->View()->BackgroundColor, clRed);
  Pump(30);
  // The button's blank corner, inside the frame (2 pixels and the handle).
  TBarItemViewer* v = t->View()->Viewers(0);
  const int x = 2 + 6 + v->BoundsRect.left + 1, y = 2 + v->BoundsRect.top + 1;
  EXPECT_EQ(PrintedPixel(t, x, y), RGB(255, 0, 0));
  t->SetColor(clLime);
  EXPECT_EQ(PrintedPixel(t, x, y), RGB(0, 255, 0));
}

// A button's hint goes when its drop-down opens and stays away while the
// drop-down is open: shown at the pointer, it would cover the first item.
// Clicked while its hint waits for its pause, and clicked with it showing.
TEST(BarToolbarHints, OpeningADropDownHidesTheButtonsHintWhileItIsOpen) {
  Host h;
  auto* t = h.AddToolbar(L"tbrDrop", 0, 0);
  auto* drop = new TBarSubmenuItem(h.Form.get());
  drop->SetCaption(L"Toolbars");
  drop->SetHint(L"Show / hide toolbars");
  drop->SetOptions(TBarItemOptions{tboDropdownArrow});
  t->Items()->Add(drop);
  AddItem(drop, L"Menu toolbar");
  AddItem(drop, L"Edit toolbar");
  t->SetShowHint(true);
  h.Show();
  SetForegroundWindow(h.Form->GetHandle());
  Pump(30);
  ShortHintPause pause(100);
  TBarItemViewer* v = t->View()->Find(drop);
  // The arrow part of the button.
  const POINT arrow =
      ScreenPoint(t->GetHandle(), v->BoundsRect.right - 5, (v->BoundsRect.top + v->BoundsRect.bottom) / 2);
  // Whether the hint showed while the drop-down was up, watched for many
  // times the hint's pause.
  auto hintWhileDropped = [&](InputScript Click) {
    bool dropped = false, hint = false;
    DWORD since = 0;
    LoopScript s({[&] {
                    if (!MenuHost::AnyPopupVisible() && GetTickCount() - since < 10000)
                      return LoopScript::Current()->Again();
                    dropped = MenuHost::AnyPopupVisible();
                    since = GetTickCount();
                  },
                  [&] {
                    hint = hint || ShownHint() != nullptr;
                    if (GetTickCount() - since < 10u * Application->HintPause)
                      return LoopScript::Current()->Again();
                    PostKey(VK_ESCAPE);
                  }});
    since = GetTickCount();
    Click.Post();
    PumpUntil([&] { return LoopScript::Current()->StepsRun() >= 2 && !MenuHost::AnyPopupVisible(); }, 20000);
    EXPECT_TRUE(dropped);
    return hint;
  };
  // Pointed at and clicked in one go: the press comes before the pause is over.
  EXPECT_FALSE(hintWhileDropped(InputScript().Move(arrow).Down().Up()));
  MoveMouse(ParkingPlace());
  Pump(30);
  MouseTo(arrow);
  ASSERT_TRUE(PumpUntil([&] { return ShownHint() != nullptr; }, 10000));
  ASSERT_EQ(ShownHint()->GetCaption(), L"Show / hide toolbars");
  EXPECT_FALSE(hintWhileDropped(InputScript().Down().Up()));
  MoveMouse(ParkingPlace());
  Pump(30);
}

// Holding Alt down shows the menu bar's accelerator underlines; Alt
// released alone selects the first item, and leaving hides them again.
// The system's keyboard cues off (underlines only while the keyboard is
// used) for one test.
struct NoKeyboardCues {
  BOOL Saved = TRUE;
  NoKeyboardCues() {
    SystemParametersInfoW(SPI_GETKEYBOARDCUES, 0, &Saved, 0);
    SystemParametersInfoW(SPI_SETKEYBOARDCUES, 0, reinterpret_cast<PVOID>(FALSE), 0);
  }
  ~NoKeyboardCues() {
    SystemParametersInfoW(SPI_SETKEYBOARDCUES, 0, reinterpret_cast<PVOID>(static_cast<INT_PTR>(Saved)), 0);
  }
};

TEST(BarToolbarKeys, HoldingAltShowsTheMenuBarsUnderlines) {
  NoKeyboardCues cues;
  MenuHost h;
  TEdit* edit = h.AddEdit();
  Pump(20);
  ClickToFocus(edit);
  ASSERT_FALSE(h.Bar->View()->State.Contains(vsShowAccels));
  // (Posted: the key that marks the end of sent input would make the Alt
  // press no lone one.)
  InputScript().Key(VK_MENU, true).Post();
  EXPECT_TRUE(PumpUntil([&] { return h.Bar->View()->State.Contains(vsShowAccels); }, 5000));
  EXPECT_FALSE(h.Bar->View()->State.Contains(vsModal));
  TBarCustomItem* selected = nullptr;
  {
    int waits = 0;
    LoopScript s({[&] {
      if (!h.Bar->View()->State.Contains(vsModal) && ++waits < 300) return LoopScript::Current()->Again();
      if (TBarItemViewer* v = h.Bar->View()->GetSelected()) selected = v->Item;
      PostKey(VK_ESCAPE);
    }});
    InputScript().Key(VK_MENU, false).Post();
    EXPECT_TRUE(PumpUntil([&] { return s.StepsRun() == 1 && !h.Bar->View()->State.Contains(vsModal); }, 10000));
  }
  EXPECT_EQ(selected, h.File);
  EXPECT_FALSE(h.Bar->View()->State.Contains(vsShowAccels));
}

// The toolbar's OnShortCut is asked before its items: it may take a key, or
// turn it into another one that an item then runs.
TEST(BarShortCuts, TheToolbarsHandlerIsAskedFirst) {
  MenuHost h;
  TEdit* edit = h.AddEdit();
  h.Open->SetShortCut(ShortCut('O', TShiftState{ssCtrl}));
  h.Copy->SetShortCut(ShortCut('C', TShiftState{ssCtrl}));
  std::vector<WORD> asked;
  h.Bar->OnShortCut = [&](TWMKey& Message, bool& Handled) {
    asked.push_back(Message.CharCode);
    if (Message.CharCode == 'O') Handled = true;  // taken: the item does not run
    if (Message.CharCode == 'K') Message.CharCode = 'C';
  };
  Pump(20);
  ClickToFocus(edit);
  PressKey('O', {VK_CONTROL});
  Pump(30);
  EXPECT_EQ(h.OpenClicks, 0);
  ASSERT_FALSE(asked.empty());
  EXPECT_EQ(asked.back(), 'O');
  PressKey('K', {VK_CONTROL});
  EXPECT_TRUE(PumpUntil([&] { return h.CopyClicks == 1; }, 5000));
  EXPECT_EQ(asked.back(), 'K');
  EXPECT_EQ(h.OpenClicks, 0);
  EXPECT_EQ(edit->GetText(), L"");
  h.Bar->OnShortCut = TShortCutEvent();
}

}  // namespace

// ---- the address box under the mouse ----------------------------------------------------------
namespace {

// Clicking the box starts the edit at once; typed text and Tab accept it
// and move to the next item (Shift+Tab the one before), the toolbar's loop
// still running.
TEST(BarEditItem, ClickedBoxEditsAndTabAcceptsAndMovesOn) {
  EditHost h;
  auto* go = AddItem(h.Bar->Items(), L"Go");
  Pump(30);
  TBarCustomItem* bookmark = h.Bar->Items()->GetItem(0);
  int began = 0;
  h.Path->OnBeginEdit = [&](TObject*, TBarEditItemViewer*, TEdit*) { ++began; };
  struct Round {
    std::vector<WORD> Mods;
    const wchar_t* Text;
    TBarCustomItem* Next;
  };
  for (const Round& r : {Round{{}, L"HKEY_USERS", go}, Round{{VK_SHIFT}, L"HKCU", bookmark}}) {
    SCOPED_TRACE(WideToAnsi(r.Text));
    h.Path->SetText(L"old");
    bool focused = false;
    TBarCustomItem* after = nullptr;
    bool stillModal = false;
    int waits = 0;
    LoopScript s({[&] {
                    TEdit* e = h.Viewer()->EditControl;
                    if (!e && ++waits < 300) return LoopScript::Current()->Again();
                    focused = e && GetFocus() == e->GetHandle();
                    InputScript().Text(r.Text).Press(VK_TAB, r.Mods).Post();
                  },
                  [&] {
                    if ((h.Viewer()->EditControl || h.Path->GetText() != r.Text) && ++waits < 600)
                      return LoopScript::Current()->Again();
                    stillModal = h.Bar->View()->State.Contains(vsModal);
                    if (TBarItemViewer* v = h.Bar->View()->GetSelected()) after = v->Item;
                    PostKey(VK_ESCAPE);
                  }});
    InputScript().Click(ScreenCentre(h.Bar->View(), h.Path)).Post();
    EXPECT_TRUE(PumpUntil([&] { return s.StepsRun() == 2 && !h.Bar->View()->State.Contains(vsModal); }, 20000));
    EXPECT_TRUE(focused);
    EXPECT_EQ(h.Path->GetText(), r.Text);
    EXPECT_TRUE(stillModal);
    EXPECT_EQ(after, r.Next);
  }
  // (The press starts an edit that the release ends unaccepted; the release
  // starts the one typed into.)
  EXPECT_GE(began, 2);
  EXPECT_EQ(h.Accepts, 2);
}

// Pressing a disabled box ends the toolbar's loop at once, the button still
// held: no edit starts.
TEST(BarEditItem, PressOnADisabledBoxEndsTheLoop) {
  EditHost h;
  int began = 0;
  h.Path->OnBeginEdit = [&](TObject*, TBarEditItemViewer*, TEdit*) { ++began; };
  h.Path->SetEnabled(false);
  Pump(30);
  MenuEvents events;
  InputScript().Move(ScreenCentre(h.Bar->View(), h.Path)).Down().Post();
  EXPECT_TRUE(PumpUntil([&] { return MenuEvents::Count(EVENT_SYSTEM_MENUEND) == 1; }, 10000));
  EXPECT_EQ(MenuEvents::Count(EVENT_SYSTEM_MENUSTART), 1);
  EXPECT_LT(GetAsyncKeyState(VK_LBUTTON), 0);  // still held
  EXPECT_FALSE(h.Bar->View()->State.Contains(vsModal));
  InputScript().Up().Send();
  EXPECT_EQ(began, 0);
  EXPECT_EQ(h.Viewer()->EditControl, nullptr);
  EXPECT_EQ(h.Accepts, 0);
}

}  // namespace

// ---- fading pop-ups -----------------------------------------------------------------------------
namespace {

struct LayeredCall {
  BYTE Alpha;
  DWORD Flags;
  bool Layered;  // the window had WS_EX_LAYERED when it was drawn
  bool WithPicture;
};
std::vector<LayeredCall> g_layeredCalls;
TBarUpdateLayeredWindow g_systemLayered = nullptr;

BOOL WINAPI RecordingLayered(HWND W, HDC Dst, POINT* Pos, SIZE* Size, HDC Src, POINT* SrcPos, COLORREF Key,
                             BLENDFUNCTION* Blend, DWORD Flags) {
  g_layeredCalls.push_back(LayeredCall{Blend ? Blend->SourceConstantAlpha : BYTE(0), Flags,
                                       (GetWindowLongPtrW(W, GWL_EXSTYLE) & WS_EX_LAYERED) != 0, Src != nullptr});
  return g_systemLayered(W, Dst, Pos, Size, Src, SrcPos, Key, Blend, Flags);
}

bool Layered(HWND W) { return (GetWindowLongPtrW(W, GWL_EXSTYLE) & WS_EX_LAYERED) != 0; }

// A fade makes the window layered, draws its picture at alpha 32 and raises
// the alpha in steps of 16 while it runs; at its end the window is plain
// again. A whole fade takes at most 13 steps after the first picture.
TEST(BarAnimation, FadeRaisesTheAlphaOfALayeredWindowAndEndsPlain) {
  g_systemLayered = BarAnimationSystemLayeredFunction();
  ASSERT_NE(g_systemLayered, nullptr);
  BarAnimationUseLayeredFunction(RecordingLayered);
  auto checkSteps = [] {
    ASSERT_FALSE(g_layeredCalls.empty());
    EXPECT_EQ(g_layeredCalls[0].Alpha, 32);
    EXPECT_TRUE(g_layeredCalls[0].WithPicture);
    for (size_t i = 0; i < g_layeredCalls.size(); ++i) {
      EXPECT_TRUE(g_layeredCalls[i].Layered) << i;
      EXPECT_EQ(g_layeredCalls[i].Flags, DWORD(ULW_ALPHA)) << i;
      EXPECT_EQ(g_layeredCalls[i].Alpha % 16, 0) << i;
      if (i > 0) {
        EXPECT_FALSE(g_layeredCalls[i].WithPicture) << i;
        EXPECT_GT(g_layeredCalls[i].Alpha, g_layeredCalls[i - 1].Alpha) << i;
      }
    }
  };
  {
    // Stopped while it runs.
    AnimWindow w;
    g_layeredCalls.clear();
    BarStartAnimation(w.Wnd, 4000, true, tbadDown);
    EXPECT_TRUE(Layered(w.Wnd));
    EXPECT_TRUE(IsWindowVisible(w.Wnd));
    EXPECT_TRUE(PumpUntil([] { return g_layeredCalls.size() >= 3; }, 10000));
    EXPECT_TRUE(Layered(w.Wnd));
    BarEndAnimation(0);
    EXPECT_FALSE(Layered(w.Wnd));
    checkSteps();
  }
  {
    // Run to its end.
    AnimWindow w;
    g_layeredCalls.clear();
    AnimWindow::Ended() = 0;
    BarStartAnimation(w.Wnd, 300, true, 0);
    EXPECT_TRUE(PumpUntil([] { return !BarAnimationRunning() && AnimWindow::Ended() == 1; }, 10000));
    EXPECT_FALSE(Layered(w.Wnd));
    EXPECT_TRUE(IsWindowVisible(w.Wnd));
    EXPECT_LE(g_layeredCalls.size(), 14u);
    checkSteps();
  }
  BarAnimationUseLayeredFunction(nullptr);
}

}  // namespace
