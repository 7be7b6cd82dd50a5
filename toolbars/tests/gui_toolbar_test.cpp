// Toolbars, docks, menus and pop-ups on real windows.
#include <gtest/gtest.h>

#include <memory>

#include "classlib/ImgList.h"
#include "classlib/tests/gui_support.h"
#include "toolbars/BarDock.h"
#include "toolbars/BarEditItem.h"
#include "toolbars/BarPopup.h"
#include "toolbars/BarToolbar.h"

using namespace guitest;

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

// Runs a step from inside a modal loop: thread timers are dispatched by it.
struct LoopScript {
  static LoopScript*& Current() {
    static LoopScript* c = nullptr;
    return c;
  }
  std::vector<std::function<void()>> Steps;
  size_t Next = 0;
  UINT_PTR Timer = 0;
  explicit LoopScript(std::vector<std::function<void()>> S) : Steps(std::move(S)) {
    Current() = this;
    Timer = SetTimer(nullptr, 0, 30, &LoopScript::Tick);
  }
  ~LoopScript() {
    KillTimer(nullptr, Timer);
    Current() = nullptr;
  }
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    LoopScript* s = Current();
    if (!s) return;
    if (s->Next < s->Steps.size()) {
      auto step = s->Steps[s->Next++];
      step();
    } else {
      // Whatever still runs is cancelled.
      PostThreadMessageW(GetCurrentThreadId(), WM_KEYDOWN, VK_ESCAPE, 0);
    }
  }
};

void PostKey(WORD vk) { PostThreadMessageW(GetCurrentThreadId(), WM_KEYDOWN, vk, 0); }
void PostChar(wchar_t c) { PostThreadMessageW(GetCurrentThreadId(), WM_CHAR, c, 0); }

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
  static bool AnyPopupVisible() {
    bool any = false;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND w, LPARAM p) -> BOOL {
          if (IsWindowVisible(w) && dynamic_cast<TBarPopupWindow*>(TWinControl::FindControl(w)))
            *reinterpret_cast<bool*>(p) = true;
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&any));
    return any;
  }
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
    // What the system sends for Alt pressed and released alone.
    SendMessageW(h.Form->GetHandle(), WM_SYSCOMMAND, SC_KEYMENU, 0);
  }
  EXPECT_TRUE(modal);
  EXPECT_EQ(selected, h.File);
  EXPECT_FALSE(opened);
  EXPECT_FALSE(h.Bar->View()->State.Contains(vsModal));
  EXPECT_EQ(h.Bar->View()->GetSelected(), nullptr);
  Pump(30);
  EXPECT_EQ(MenuEvents::Count(EVENT_SYSTEM_MENUSTART), 1);
  EXPECT_EQ(MenuEvents::Count(EVENT_SYSTEM_MENUEND), 1);
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
    if (!selected) SendMessageW(f, WM_SYSCOMMAND, SC_KEYMENU, 0);
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
    SendMessageW(h.Form->GetHandle(), WM_SYSCOMMAND, SC_KEYMENU, L'f');
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

}  // namespace
