// Accessibility objects of toolbars, menu bars and pop-up menus, read the way
// an assistive tool reads them: through the windows' WM_GETOBJECT.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "classlib/StdCtrls.h"
#include "classlib/Forms.h"
#include "testsupport/Gui.h"
#include "testsupport/LoopScript.h"
#include "testsupport/Pump.h"
#include "toolbars/BarAcc.h"
#include "toolbars/tests/BarTestHost.h"
#include "toolbars/BarDock.h"
#include "toolbars/BarEditItem.h"
#include "toolbars/BarPopup.h"
#include "toolbars/BarToolbar.h"

using namespace testsupport;

namespace {

// A counted reference that releases itself.
struct Acc {
  IAccessible* P = nullptr;
  Acc() = default;
  explicit Acc(IAccessible* p) : P(p) {}
  Acc(Acc&& o) noexcept : P(o.P) { o.P = nullptr; }
  Acc& operator=(Acc&& o) noexcept {
    std::swap(P, o.P);
    return *this;
  }
  ~Acc() {
    if (P) P->Release();
  }
  IAccessible* operator->() const { return P; }
  explicit operator bool() const { return P != nullptr; }
};

VARIANT Int(LONG n) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = n;
  return v;
}
VARIANT Self() { return Int(CHILDID_SELF); }

Acc FromDispatch(IDispatch* d) {
  IAccessible* a = nullptr;
  if (d) {
    d->QueryInterface(__uuidof(IAccessible), reinterpret_cast<void**>(&a));
    d->Release();
  }
  return Acc(a);
}

Acc FromVariant(VARIANT& v) {
  IDispatch* d = v.vt == VT_DISPATCH ? v.pdispVal : nullptr;
  if (!d) VariantClear(&v);
  v.vt = VT_EMPTY;
  return FromDispatch(d);
}

// The client object of a window as a tool gets it.
Acc FromWindow(HWND w) {
  IAccessible* a = nullptr;
  if (InitializeOleAcc())
    AccessibleObjectFromWindowFunc(w, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                   reinterpret_cast<void**>(&a));
  return Acc(a);
}

// The same through the raw message and ObjectFromLresult.
Acc FromGetObject(HWND w) {
  LRESULT r = SendMessageW(w, WM_GETOBJECT, 0, static_cast<LPARAM>(OBJID_CLIENT));
  auto fn = reinterpret_cast<LPFNOBJECTFROMLRESULT>(
      GetProcAddress(GetModuleHandleW(L"oleacc.dll"), "ObjectFromLresult"));
  IAccessible* a = nullptr;
  if (r > 0 && fn) fn(r, __uuidof(IAccessible), 0, reinterpret_cast<void**>(&a));
  return Acc(a);
}

String Text(const Acc& a, HRESULT (STDMETHODCALLTYPE IAccessible::*Get)(VARIANT, BSTR*)) {
  BSTR b = nullptr;
  (a.P->*Get)(Self(), &b);
  String s = b ? String(b, SysStringLen(b)) : String();
  SysFreeString(b);
  return s;
}
String Name(const Acc& a) { return Text(a, &IAccessible::get_accName); }
String DefaultAction(const Acc& a) { return Text(a, &IAccessible::get_accDefaultAction); }
String Shortcut(const Acc& a) { return Text(a, &IAccessible::get_accKeyboardShortcut); }

LONG IntProp(const Acc& a, HRESULT (STDMETHODCALLTYPE IAccessible::*Get)(VARIANT, VARIANT*)) {
  VARIANT v;
  VariantInit(&v);
  return SUCCEEDED((a.P->*Get)(Self(), &v)) && v.vt == VT_I4 ? v.lVal : -1;
}
LONG Role(const Acc& a) { return IntProp(a, &IAccessible::get_accRole); }
LONG State(const Acc& a) { return IntProp(a, &IAccessible::get_accState); }

LONG ChildCount(const Acc& a) {
  long n = -1;
  a->get_accChildCount(&n);
  return n;
}

Acc Child(const Acc& a, LONG n) {
  IDispatch* d = nullptr;
  a->get_accChild(Int(n), &d);
  return FromDispatch(d);
}

Acc Parent(const Acc& a) {
  IDispatch* d = nullptr;
  a->get_accParent(&d);
  return FromDispatch(d);
}

Acc Navigate(const Acc& a, long Dir, HRESULT* Result = nullptr) {
  VARIANT v;
  HRESULT r = a->accNavigate(Dir, Self(), &v);
  if (Result) *Result = r;
  return FromVariant(v);
}

RECT Location(const Acc& a) {
  long x = 0, y = 0, w = 0, h = 0;
  a->accLocation(&x, &y, &w, &h, Self());
  return RECT{x, y, x + w, y + h};
}

bool SameObject(const Acc& a, IAccessible* b) {
  IUnknown *ua = nullptr, *ub = nullptr;
  a->QueryInterface(__uuidof(IUnknown), reinterpret_cast<void**>(&ua));
  b->QueryInterface(__uuidof(IUnknown), reinterpret_cast<void**>(&ub));
  bool same = ua && ua == ub;
  if (ua) ua->Release();
  if (ub) ub->Release();
  return same;
}

template <class T = TBarItem>
T* AddItem(TBarCustomItem* Parent, const String& Caption, int* Clicks = nullptr) {
  auto* it = new T(Parent->GetOwner());
  it->SetCaption(Caption);
  if (Clicks) it->OnClick = [Clicks](TObject*) { ++*Clicks; };
  Parent->Add(it);
  return it;
}

struct Host {
  std::unique_ptr<TForm> Form{new TForm(Application)};
  TBarDock* Dock = new TBarDock(Form.get());
  explicit Host(int w = 500) {
    Form->SetBounds(40, 40, w, 300);
    Dock->SetParent(Form.get());
  }
  TBarToolbar* AddToolbar(const String& Name) {
    auto* t = new TBarToolbar(Form.get());
    t->SetName(Name);
    t->SetParent(Dock);
    return t;
  }
  void Show() {
    Form->Show();
    SetForegroundWindow(Form->GetHandle());
    SetActiveWindow(Form->GetHandle());
    Pump(50);
  }
};


HWND WindowOf(TBarView* V) {
  return V && V->Window && V->Window->HandleAllocated() ? V->Window->GetHandle() : nullptr;
}

// The visible pop-up window of this thread.
HWND VisiblePopup() { return bartest::VisiblePopupWindow(); }

String AltName() {
  wchar_t buf[256] = {};
  if (GetKeyNameTextW(static_cast<LONG>(MapVirtualKeyW(VK_MENU, 0) << 16), buf, 256) > 0 && buf[0]) return buf;
  return L"Alt";
}

}  // namespace

// ---- toolbars ------------------------------------------------------------------------
TEST(BarAccToolbar, DescribesTheBarAndItsButtons) {
  Host h;
  auto* t = h.AddToolbar(L"tbrTools");
  t->SetCaption(L"Tools");
  TBarItem* open = AddItem(t->Items(), L"&Open");
  auto* sep = new TBarSeparatorItem(h.Form.get());
  t->Items()->Add(sep);
  TBarItem* hidden = AddItem(t->Items(), L"Hidden");
  hidden->SetVisible(false);
  TBarItem* off = AddItem(t->Items(), L"O&ff");
  off->SetEnabled(false);
  off->SetChecked(true);
  TBarSubmenuItem* more = AddItem<TBarSubmenuItem>(t->Items(), L"More");
  AddItem(more, L"Inner");
  h.Show();

  Acc bar = FromWindow(t->GetHandle());
  ASSERT_TRUE(bar);
  EXPECT_TRUE(SameObject(bar, t->View()->GetAccObject()));
  EXPECT_EQ(Role(bar), ROLE_SYSTEM_TOOLBAR);
  EXPECT_EQ(Name(bar), L"Tools");
  RECT wr;
  GetWindowRect(t->GetHandle(), &wr);
  RECT loc = Location(bar);
  EXPECT_TRUE(EqualRect(&loc, &wr));

  // The hidden item is no child; the separator is.
  EXPECT_EQ(ChildCount(bar), 4);
  Acc self = Child(bar, 0);
  ASSERT_TRUE(self);
  EXPECT_TRUE(SameObject(self, bar.P));
  IDispatch* d = reinterpret_cast<IDispatch*>(1);
  EXPECT_EQ(bar->get_accChild(Int(5), &d), E_INVALIDARG);
  EXPECT_EQ(d, nullptr);
  VARIANT notInt;
  VariantInit(&notInt);
  EXPECT_EQ(bar->get_accChild(notInt, &d), E_INVALIDARG);
  EXPECT_EQ(bar->get_accRole(Int(1), &notInt), E_INVALIDARG);

  Acc first = Child(bar, 1);
  ASSERT_TRUE(first);
  EXPECT_EQ(Name(first), L"Open");
  EXPECT_EQ(Role(first), ROLE_SYSTEM_PUSHBUTTON);
  EXPECT_EQ(DefaultAction(first), L"Press");
  EXPECT_EQ(Shortcut(first), AltName() + L"+o");
  EXPECT_EQ(State(first) & (STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_UNAVAILABLE | STATE_SYSTEM_INVISIBLE),
            STATE_SYSTEM_FOCUSABLE);
  EXPECT_TRUE(SameObject(Parent(first), bar.P));
  EXPECT_EQ(ChildCount(first), 0);
  EXPECT_EQ(first->get_accChild(Int(1), &d), E_INVALIDARG);
  TBarItemViewer* ov = t->View()->Find(open);
  POINT origin{0, 0};
  ClientToScreen(t->GetHandle(), &origin);
  loc = Location(first);
  EXPECT_EQ(loc.left, ov->BoundsRect.left + origin.x);
  EXPECT_EQ(loc.top, ov->BoundsRect.top + origin.y);
  EXPECT_EQ(loc.right - loc.left, ov->BoundsRect.right - ov->BoundsRect.left);

  Acc separator = Child(bar, 2);
  EXPECT_EQ(Role(separator), ROLE_SYSTEM_SEPARATOR);
  EXPECT_TRUE(State(separator) & STATE_SYSTEM_UNAVAILABLE);

  // Disabled and checked: no action, and asking for one fails.
  Acc disabled = Child(bar, 3);
  EXPECT_EQ(Name(disabled), L"Off");
  LONG st = State(disabled);
  EXPECT_TRUE(st & STATE_SYSTEM_UNAVAILABLE);
  EXPECT_TRUE(st & STATE_SYSTEM_CHECKED);
  BSTR b = reinterpret_cast<BSTR>(1);
  EXPECT_EQ(disabled->get_accDefaultAction(Self(), &b), S_FALSE);
  EXPECT_EQ(b, nullptr);
  EXPECT_EQ(disabled->accDoDefaultAction(Self()), E_FAIL);

  Acc sub = Child(bar, 4);
  EXPECT_EQ(Role(sub), ROLE_SYSTEM_BUTTONMENU);
  EXPECT_TRUE(State(sub) & STATE_SYSTEM_HASPOPUP);
  EXPECT_EQ(DefaultAction(sub), L"Open");

  // Navigation skips the hidden item and stops at the ends.
  EXPECT_TRUE(SameObject(Navigate(bar, NAVDIR_FIRSTCHILD), first.P));
  EXPECT_TRUE(SameObject(Navigate(bar, NAVDIR_LASTCHILD), sub.P));
  EXPECT_TRUE(SameObject(Navigate(separator, NAVDIR_NEXT), disabled.P));
  EXPECT_TRUE(SameObject(Navigate(disabled, NAVDIR_LEFT), separator.P));
  HRESULT r = S_OK;
  EXPECT_FALSE(Navigate(sub, NAVDIR_RIGHT, &r));
  EXPECT_EQ(r, S_FALSE);
  EXPECT_FALSE(Navigate(first, NAVDIR_FIRSTCHILD));

  // Hit tests: a button's centre, the bar's frame, a point outside.
  VARIANT hit;
  POINT c{(loc.left + loc.right) / 2, (loc.top + loc.bottom) / 2};
  ASSERT_EQ(bar->accHitTest(c.x, c.y, &hit), S_OK);
  EXPECT_TRUE(SameObject(FromVariant(hit), first.P));
  ASSERT_EQ(first->accHitTest(c.x, c.y, &hit), S_OK);
  EXPECT_EQ(hit.vt, VT_I4);
  EXPECT_EQ(hit.lVal, CHILDID_SELF);
  EXPECT_EQ(first->accHitTest(wr.right + 50, c.y, &hit), S_FALSE);
  EXPECT_EQ(hit.vt, VT_EMPTY);
  EXPECT_EQ(bar->accHitTest(wr.right + 50, c.y, &hit), S_FALSE);
  ASSERT_EQ(bar->accHitTest(wr.left + 1, wr.top + 1, &hit), S_OK);
  EXPECT_EQ(hit.vt, VT_I4);
  EXPECT_EQ(hit.lVal, CHILDID_SELF);

  // Parent of the bar: its window's object, not ours.
  Acc window = Parent(bar);
  ASSERT_TRUE(window);
  EXPECT_FALSE(SameObject(window, bar.P));
}

// The buttons of a toolbar being designed are not focusable: the designer
// owns the keyboard there.
TEST(BarAccToolbar, ButtonsOfADesignedToolbarAreNotFocusable) {
  Host h;
  auto* t = h.AddToolbar(L"tbrDesigned");
  AddItem(t->Items(), L"&Open");
  h.Show();
  Acc bar = FromWindow(t->GetHandle());
  ASSERT_TRUE(bar);
  EXPECT_EQ(State(Child(bar, 1)) & STATE_SYSTEM_FOCUSABLE, STATE_SYSTEM_FOCUSABLE);
  h.Form->SetDesigning(true);
  ASSERT_TRUE(t->IsDesigning());
  EXPECT_EQ(State(Child(bar, 1)) & STATE_SYSTEM_FOCUSABLE, 0);
  h.Form->SetDesigning(false);
  EXPECT_EQ(State(Child(bar, 1)) & STATE_SYSTEM_FOCUSABLE, STATE_SYSTEM_FOCUSABLE);
}

TEST(BarAccToolbar, ItemsOffTheEdgeCountButHiddenOnesDoNot) {
  Host h(260);
  auto* t = h.AddToolbar(L"tbrWide");
  std::vector<TBarItem*> items;
  for (int i = 0; i < 8; ++i) items.push_back(AddItem(t->Items(), L"Item " + std::to_wstring(i)));
  h.Show();
  TBarView* v = t->View();
  v->ValidatePositions();
  ASSERT_TRUE(v->Find(items.front())->OffEdge);
  Acc bar = FromGetObject(t->GetHandle());
  ASSERT_TRUE(bar);
  EXPECT_EQ(ChildCount(bar), 9);  // eight items and the chevron
  Acc offEdge = Child(bar, 1);
  EXPECT_EQ(Name(offEdge), L"Item 0");
  // In the chevron's list, not on the bar.
  EXPECT_TRUE(State(offEdge) & STATE_SYSTEM_INVISIBLE);
  EXPECT_FALSE(State(Child(bar, 8)) & STATE_SYSTEM_INVISIBLE);
  items[3]->SetVisible(false);
  Pump(20);
  EXPECT_EQ(ChildCount(bar), 8);
  EXPECT_EQ(Name(Child(bar, 4)), L"Item 4");
}

TEST(BarAccToolbar, ControlItemIsItsWindowsObjectAndEditItemsUseTheViewerHooks) {
  Host h;
  auto* t = h.AddToolbar(L"tbrCtl");
  auto* edit = new TEdit(h.Form.get());
  edit->SetParent(t);
  edit->SetWidth(60);  // the toolbar wraps it in a control item
  auto* path = new TBarEditItem(h.Form.get());
  path->SetText(L"HKEY_CURRENT_USER\\Software");
  t->Items()->Add(path);
  h.Show();
  Acc bar = FromWindow(t->GetHandle());
  ASSERT_TRUE(bar);
  ASSERT_EQ(ChildCount(bar), 2);
  Acc control = Child(bar, 1);
  ASSERT_TRUE(control);
  TBarItemViewer* cv = t->View()->Viewers(0);
  ASSERT_TRUE(dynamic_cast<TBarControlItem*>(cv->Item));
  EXPECT_FALSE(SameObject(control, cv->GetAccObject()));
  // A hit test over the edit answers with the edit window's object too.
  RECT er;
  GetWindowRect(edit->GetHandle(), &er);
  VARIANT hit;
  ASSERT_EQ(bar->accHitTest((er.left + er.right) / 2, (er.top + er.bottom) / 2, &hit), S_OK);
  ASSERT_EQ(hit.vt, VT_DISPATCH);
  Acc hitObj = FromVariant(hit);
  ASSERT_TRUE(hitObj);
  EXPECT_FALSE(SameObject(hitObj, cv->GetAccObject()));
  EXPECT_FALSE(SameObject(hitObj, bar.P));
  // The edit viewer's own role and value.
  Acc pathAcc = Child(bar, 2);
  EXPECT_EQ(Role(pathAcc), ROLE_SYSTEM_TEXT);
  EXPECT_EQ(Text(pathAcc, &IAccessible::get_accValue), L"HKEY_CURRENT_USER\\Software");
}

TEST(BarAccToolbar, FocusAndDefaultActionAreQueuedIntoTheToolbarLoop) {
  Host h;
  auto* t = h.AddToolbar(L"tbrPress");
  int clicks = 0;
  AddItem(t->Items(), L"&One");
  TBarItem* two = AddItem(t->Items(), L"&Two", &clicks);
  h.Show();
  Acc bar = FromWindow(t->GetHandle());
  Acc second = Child(bar, 2);
  ASSERT_TRUE(second);
  EXPECT_EQ(second->accSelect(SELFLAG_TAKESELECTION, Self()), E_INVALIDARG);
  EXPECT_EQ(second->accSelect(SELFLAG_TAKEFOCUS | SELFLAG_TAKESELECTION, Self()), E_INVALIDARG);

  // Taking the focus enters the keyboard loop at that item, running nothing.
  bool modal = false;
  TBarCustomItem* selected = nullptr;
  {
    LoopScript s({[&] {
      modal = t->View()->State.Contains(vsModal);
      selected = t->View()->GetSelected() ? t->View()->GetSelected()->Item : nullptr;
      PostKey(VK_ESCAPE);
    }});
    EXPECT_EQ(second->accSelect(SELFLAG_TAKEFOCUS, Self()), S_OK);
    EXPECT_TRUE(PumpUntil([&] { return modal; }, 3000));
  }
  EXPECT_EQ(selected, two);
  EXPECT_FALSE(t->View()->State.Contains(vsModal));
  Pump(30);
  EXPECT_EQ(clicks, 0);

  // The default action presses it, once the call has returned.
  EXPECT_EQ(second->accDoDefaultAction(Self()), S_OK);
  EXPECT_EQ(clicks, 0);
  EXPECT_TRUE(PumpUntil([&] { return clicks == 1; }, 3000));
  EXPECT_FALSE(t->View()->State.Contains(vsModal));
}

// ---- menus ---------------------------------------------------------------------------
namespace {
struct MenuHost : Host {
  TBarToolbar* Bar = nullptr;
  TBarSubmenuItem* File = nullptr;
  TBarSubmenuItem* Edit = nullptr;
  TBarItem* Save = nullptr;
  int SaveClicks = 0;
  MenuHost() {
    Bar = AddToolbar(L"tbrMainMenu");
    Bar->SetMenuBar(true);
    File = AddItem<TBarSubmenuItem>(Bar->Items(), L"&File");
    AddItem(File, L"&Open");
    Save = AddItem(File, L"&Save\tCtrl+S", &SaveClicks);
    Edit = AddItem<TBarSubmenuItem>(Bar->Items(), L"&Edit");
    AddItem(Edit, L"&Copy");
    Show();
  }
  TBarView* OpenView() { return Bar->View()->OpenViewerView; }
};
}  // namespace

TEST(BarAccMenu, MenuBarAndOpenSubmenuLinkUp) {
  MenuHost h;
  Acc menuBar = FromWindow(h.Bar->GetHandle());
  ASSERT_TRUE(menuBar);
  EXPECT_EQ(Role(menuBar), ROLE_SYSTEM_MENUBAR);
  EXPECT_EQ(Shortcut(menuBar), AltName());
  Acc file = Child(menuBar, 1);
  EXPECT_EQ(Role(file), ROLE_SYSTEM_MENUITEM);
  EXPECT_EQ(Name(file), L"File");
  EXPECT_EQ(Shortcut(file), AltName() + L"+f");
  EXPECT_EQ(DefaultAction(file), L"Open");

  String popupName, closeAction, editChild1, itemName, itemShortcut, itemAction, popupParent;
  LONG popupRole = 0, fileChildren = -1, saveState = 0;
  bool childIsPopup = false, focusIsSelf = false, firstChildIsPopup = false, selectMoved = false;
  HRESULT editChildResult = S_OK;
  {
    LoopScript s({[&] {
                    HWND pw = WindowOf(h.OpenView());
                    Acc popup = FromWindow(pw);
                    if (!popup) return;
                    popupRole = Role(popup);
                    popupName = Name(popup);
                    popupParent = Name(Parent(popup));
                    fileChildren = ChildCount(file);
                    childIsPopup = SameObject(Child(file, 1), popup.P);
                    firstChildIsPopup = SameObject(Navigate(file, NAVDIR_FIRSTCHILD), popup.P);
                    closeAction = DefaultAction(file);
                    Acc edit = Child(menuBar, 2);
                    IDispatch* d = nullptr;
                    editChildResult = edit->get_accChild(Int(1), &d);
                    Acc save = Child(popup, 2);
                    itemName = Name(save);
                    itemShortcut = Shortcut(save);
                    itemAction = DefaultAction(save);
                    // Taking the focus moves the selection inside the menu.
                    selectMoved = save->accSelect(SELFLAG_TAKEFOCUS, Self()) == S_OK &&
                                  h.OpenView()->GetSelected() &&
                                  h.OpenView()->GetSelected()->Item == h.Save;
                    saveState = State(save);
                    VARIANT f;
                    focusIsSelf = save->get_accFocus(&f) == S_OK && f.vt == VT_I4 && f.lVal == CHILDID_SELF;
                  },
                  [&] { PostKey(VK_ESCAPE); }, [&] { PostKey(VK_ESCAPE); }});
    SendMessageW(h.Form->GetHandle(), WM_SYSCOMMAND, SC_KEYMENU, L'f');
  }
  EXPECT_EQ(popupRole, ROLE_SYSTEM_MENUPOPUP);
  EXPECT_EQ(popupName, L"File");
  EXPECT_EQ(popupParent, L"File");
  EXPECT_EQ(fileChildren, 1);
  EXPECT_TRUE(childIsPopup);
  EXPECT_TRUE(firstChildIsPopup);
  EXPECT_EQ(closeAction, L"Close");
  // A sub-menu that is not open is no child.
  EXPECT_EQ(editChildResult, E_INVALIDARG);
  EXPECT_EQ(itemName, L"Save\tCtrl+S");
  EXPECT_EQ(itemShortcut, L"s");
  EXPECT_EQ(itemAction, L"Execute");
  EXPECT_TRUE(selectMoved);
  EXPECT_EQ(saveState & (STATE_SYSTEM_HOTTRACKED | STATE_SYSTEM_FOCUSED),
            STATE_SYSTEM_HOTTRACKED | STATE_SYSTEM_FOCUSED);
  EXPECT_TRUE(focusIsSelf);
  EXPECT_EQ(h.SaveClicks, 0);
}

TEST(BarAccMenu, DefaultActionOfTheOpenMenuTitleClosesTheMenu) {
  MenuHost h;
  Acc file = Child(FromWindow(h.Bar->GetHandle()), 1);
  ASSERT_TRUE(file);
  HRESULT r = E_FAIL;
  bool wasOpen = false, closedAtOnce = false, loopWentOn = false;
  {
    LoopScript s({[&] {
                    wasOpen = h.OpenView() != nullptr;
                    r = file->accDoDefaultAction(Self());
                    closedAtOnce = h.OpenView() == nullptr;
                  },
                  [&] { loopWentOn = true; }});
    SendMessageW(h.Form->GetHandle(), WM_SYSCOMMAND, SC_KEYMENU, L'f');
  }
  EXPECT_TRUE(wasOpen);
  EXPECT_EQ(r, S_OK);
  EXPECT_TRUE(closedAtOnce);
  EXPECT_FALSE(loopWentOn);
  EXPECT_EQ(h.OpenView(), nullptr);
  EXPECT_FALSE(h.Bar->View()->State.Contains(vsModal));
  EXPECT_EQ(h.SaveClicks, 0);
}

TEST(BarAccMenu, DefaultActionInAPopupRunsTheCommandAfterTheMenuClosed) {
  TBarPopupMenu menu(nullptr);
  int clicks = 0;
  AddItem(menu.Items(), L"&First");
  AddItem(menu.Items(), L"&Second", &clicks);
  HRESULT r = E_FAIL;
  {
    LoopScript s({[&] {
      HWND pw = VisiblePopup();
      Acc popup = FromGetObject(pw);
      if (!popup) return;
      r = Child(popup, 2)->accDoDefaultAction(Self());
    }});
    menu.Popup(100, 100);
  }
  EXPECT_EQ(r, S_OK);
  EXPECT_TRUE(PumpUntil([&] { return clicks == 1; }, 3000));
}

TEST(BarAccMenu, ObjectsHeldAfterTheMenuClosedFailCleanly) {
  MenuHost h;
  Acc popup, save;
  LONG viewsDuring = 0;
  {
    LoopScript s({[&] {
                    popup = FromWindow(WindowOf(h.OpenView()));
                    if (popup) save = Child(popup, 2);
                    viewsDuring = ViewAccObjectInstances;
                  },
                  [&] { PostKey(VK_ESCAPE); }, [&] { PostKey(VK_ESCAPE); }});
    SendMessageW(h.Form->GetHandle(), WM_SYSCOMMAND, SC_KEYMENU, L'f');
  }
  Pump(30);
  ASSERT_TRUE(popup);
  ASSERT_TRUE(save);
  EXPECT_GE(viewsDuring, 1);
  BSTR b = nullptr;
  VARIANT v;
  long n = 0, x, y, w, hgt;
  IDispatch* d = nullptr;
  for (IAccessible* a : {popup.P, save.P}) {
    EXPECT_EQ(a->get_accName(Self(), &b), E_FAIL);
    EXPECT_EQ(a->get_accRole(Self(), &v), E_FAIL);
    EXPECT_EQ(a->get_accState(Self(), &v), E_FAIL);
    EXPECT_EQ(a->get_accChildCount(&n), E_FAIL);
    EXPECT_EQ(a->get_accChild(Int(1), &d), E_FAIL);
    EXPECT_EQ(a->get_accParent(&d), E_FAIL);
    EXPECT_EQ(a->accLocation(&x, &y, &w, &hgt, Self()), E_FAIL);
    EXPECT_EQ(a->accNavigate(NAVDIR_NEXT, Self(), &v), E_FAIL);
    EXPECT_EQ(a->accHitTest(0, 0, &v), E_FAIL);
    EXPECT_EQ(a->accDoDefaultAction(Self()), E_FAIL);
    EXPECT_EQ(a->accSelect(SELFLAG_TAKEFOCUS, Self()), E_FAIL);
    EXPECT_EQ(a->get_accFocus(&v), E_FAIL);
    EXPECT_EQ(a->get_accKeyboardShortcut(Self(), &b), E_FAIL);
  }
  // Releasing the last references frees them.
  LONG viewers = ItemViewerAccObjectInstances, views = ViewAccObjectInstances;
  save = Acc();
  popup = Acc();
  EXPECT_EQ(ItemViewerAccObjectInstances, viewers - 1);
  EXPECT_EQ(ViewAccObjectInstances, views - 1);
}

TEST(BarAccMenu, FocusEventNamesTheSelectedChildAmongTheAccessibleOnes) {
  static std::vector<std::pair<HWND, LONG>> focus;
  focus.clear();
  HWINEVENTHOOK hook = SetWinEventHook(
      EVENT_OBJECT_FOCUS, EVENT_OBJECT_FOCUS, nullptr,
      [](HWINEVENTHOOK, DWORD, HWND w, LONG obj, LONG child, DWORD, DWORD) {
        if (obj == OBJID_CLIENT) focus.push_back({w, child});
      },
      GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
  ASSERT_TRUE(hook);
  TBarPopupMenu menu(nullptr);
  AddItem(menu.Items(), L"&First");
  AddItem(menu.Items(), L"Hidden")->SetVisible(false);
  AddItem(menu.Items(), L"&Third");
  HWND popupWnd = nullptr;
  {
    LoopScript s({[&] { PostKey(VK_DOWN); }, [&] { PostKey(VK_DOWN); },
                  [&] {
                    popupWnd = VisiblePopup();
                  }});
    menu.Popup(100, 100);
  }
  Pump(50);
  UnhookWinEvent(hook);
  ASSERT_TRUE(popupWnd);
  std::vector<LONG> ids;
  for (auto& f : focus)
    if (f.first == popupWnd) ids.push_back(f.second);
  ASSERT_GE(ids.size(), 2u);
  EXPECT_EQ(ids[0], 1);
  EXPECT_EQ(ids[1], 2);  // "Third": the hidden item is not counted
}

// ---- without the accessibility library -----------------------------------------------------
TEST(BarAccBinding, WithoutTheLibraryNoObjectsAndMenusStillWork) {
  Host h;
  auto* t = h.AddToolbar(L"tbrBefore");
  AddItem(t->Items(), L"Item");
  h.Show();
  Acc before = FromWindow(t->GetHandle());
  ASSERT_TRUE(before);
  BarAccResetBinding(L"zembrio-no-such-oleacc.dll");
  struct Restore {
    ~Restore() { BarAccResetBinding(nullptr); }
  } restore;
  EXPECT_FALSE(InitializeOleAcc());
  // A view that made its object earlier no longer hands it out either.
  EXPECT_EQ(SendMessageW(t->GetHandle(), WM_GETOBJECT, 0, static_cast<LPARAM>(OBJID_CLIENT)), 0);
  TBarPopupMenu menu(nullptr);
  int clicks = 0;
  AddItem(menu.Items(), L"&Only", &clicks);
  LRESULT answer = -1;
  IAccessible* viewObj = reinterpret_cast<IAccessible*>(1);
  {
    LoopScript s({[&] {
                    HWND pw = VisiblePopup();
                    if (auto* w = dynamic_cast<TBarPopupWindow*>(TWinControl::FindControl(pw)))
                      viewObj = w->View->GetAccObject();
                    answer = SendMessageW(pw, WM_GETOBJECT, 0, static_cast<LPARAM>(OBJID_CLIENT));
                  },
                  [&] { PostKey(VK_DOWN); }, [&] { PostKey(VK_RETURN); }});
    menu.Popup(100, 100);
  }
  EXPECT_EQ(viewObj, nullptr);
  EXPECT_EQ(answer, 0);
  EXPECT_TRUE(PumpUntil([&] { return clicks == 1; }, 3000));
  BarAccResetBinding(nullptr);
  EXPECT_TRUE(InitializeOleAcc());
}

// ---- objects cut off at exit ----------------------------------------------------------------
// A tool on another thread letting go of its last reference while the
// objects are cut off at exit: the object, whose destructor waits for the
// list to unlink it, is not taken again (and freed twice).
TEST(BarAccObjects, CuttingOffSkipsAnObjectWhoseLastReferenceIsGoing) {
  auto* obj = new TBarViewAccObject(nullptr);
  obj->AddRef();
  const LONG live = ViewAccObjectInstances;
  std::thread tool;
  {
    CRITICAL_SECTION& lock = BarAccObjectsLock();
    EnterCriticalSection(&lock);
    tool = std::thread([obj] { obj->Release(); });
    // Its destructor has begun: the count of live objects is down, and the
    // list is held here.
    while (ViewAccObjectInstances != live - 1) SwitchToThread();
    BarAccDisconnectObjects();
    EXPECT_EQ(ViewAccObjectInstances, live - 1) << "the object was destroyed a second time";
    LeaveCriticalSection(&lock);
  }
  tool.join();
  EXPECT_EQ(ViewAccObjectInstances, live - 1);
}
