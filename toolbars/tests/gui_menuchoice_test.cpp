// Choosing from menus and chevron lists with real input, and a pop-up that
// fails while it is being shown.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "classlib/Actions.h"
#include "classlib/Forms.h"
#include "testsupport/Input.h"
#include "testsupport/LoopScript.h"
#include "testsupport/Pump.h"
#include "toolbars/BarPopup.h"
#include "toolbars/tests/BarTestHost.h"

using namespace testsupport;

namespace {

using bartest::FloatHost;

POINT CentreOf(TBarView* V, TBarCustomItem* Item) {
  const RECT r = V->Find(Item)->BoundsRect;
  return ScreenPoint(V->Window->GetHandle(), (r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

using bartest::LeftButton;
using bartest::MouseTo;

bool AnyPopupVisible() { return bartest::VisiblePopupWindow() != nullptr; }

// The chevron's list shows the items that did not fit as buttons; a click on
// one of them runs it.
TEST(BarChevron, AClickOnAButtonOfTheChevronListRunsIt) {
  FloatHost h(260, 300);
  auto* t = h.AddToolbar(L"tbrChevronClick", 0, 0, 0);
  std::vector<TBarItem*> items;
  std::vector<int> clicks(8, 0);
  for (int i = 0; i < 8; ++i) {
    auto* it = new TBarItem(h.Form.get());
    it->SetCaption(L"Item " + IntToStr(i));
    it->OnClick = [&clicks, i](TObject*) { ++clicks[i]; };
    t->Items()->Add(it);
    items.push_back(it);
  }
  h.Show();
  TBarView* v = t->View();
  v->ValidatePositions();
  int hidden = -1;
  for (int i = 0; i < 8 && hidden < 0; ++i)
    if (v->Find(items[i])->OffEdge) hidden = i;
  ASSERT_GE(hidden, 0);
  TBarItemViewer* chevron = v->Viewers(v->ViewerCount() - 1);
  ASSERT_EQ(chevron->Item, t->ChevronItem());
  MoveMouse(CentreOf(v, chevron->Item));
  {
    LoopScript s({[&] { LeftButton(false); },
                  [&] {
                    TBarView* list = v->OpenViewerView;
                    if (!list || !IsWindowVisible(list->Window->GetHandle())) {
                      LoopScript::Current()->Again();
                      return;
                    }
                    MouseTo(CentreOf(list, items[hidden]));
                  },
                  [&] {},
                  [&] { LeftButton(true); },
                  [&] { LeftButton(false); }});
    LeftButton(true);
    PumpUntil([&] { return clicks[hidden] > 0 || LoopScript::Current()->StepsRun() >= 5; }, 10000);
  }
  EXPECT_TRUE(PumpUntil([&] { return clicks[hidden] == 1; }, 10000));
  EXPECT_FALSE(AnyPopupVisible());
  int others = 0;
  for (int i = 0; i < 8; ++i) others += i == hidden ? 0 : clicks[i];
  EXPECT_EQ(others, 0);
}

// A letter that an enabled item and a disabled one share as accelerator runs
// the enabled one at once.
TEST(BarMenuBar, ALetterSharedOnlyWithADisabledItemRunsTheEnabledOne) {
  FloatHost h(500, 300);
  auto* bar = h.AddToolbar(L"tbrMenuKeys", 0, 0, 0);
  bar->SetMenuBar(true);
  auto* edit = new TBarSubmenuItem(h.Form.get());
  edit->SetCaption(L"&Edit");
  bar->Items()->Add(edit);
  int copies = 0, cuts = 0;
  auto* copy = new TBarItem(h.Form.get());
  copy->SetCaption(L"&Copy");
  copy->OnClick = [&](TObject*) { ++copies; };
  edit->Add(copy);
  auto* cut = new TBarItem(h.Form.get());
  cut->SetCaption(L"&Cut");
  cut->SetEnabled(false);
  cut->OnClick = [&](TObject*) { ++cuts; };
  edit->Add(cut);
  h.Show();
  ASSERT_TRUE(PumpUntil([&] { return GetForegroundWindow() == h.Form->GetHandle(); }, 10000));
  {
    LoopScript s({[&] {
      TBarView* menu = bar->View()->OpenViewerView;
      if (!menu || !IsWindowVisible(menu->Window->GetHandle())) {
        LoopScript::Current()->Again();
        return;
      }
      InputScript().Press('C').Post();
    }});
    PressKey('E', {VK_MENU});
    PumpUntil([&] { return copies > 0 || LoopScript::Current()->StepsRun() >= 1; }, 10000);
  }
  EXPECT_TRUE(PumpUntil([&] { return copies == 1; }, 10000));
  EXPECT_EQ(cuts, 0);
  EXPECT_FALSE(AnyPopupVisible());
  EXPECT_FALSE(bar->View()->State.Contains(vsModal));
}

// A shortcut reached through a linked list of items: a failing pop-up handler
// of the list is reported and the menu's own handler still runs; a designed
// tree leaves its actions to the designer.
TEST(BarShortCuts, PopupHandlersFailAloneAndDesignedItemsUpdateNoAction) {
  TComponent owner(nullptr);
  TBarRootItem root(&owner);
  auto* menu = new TBarSubmenuItem(&owner);
  auto* list = new TBarSubmenuItem(&owner);
  auto* save = new TBarItem(&owner);
  root.Add(menu);
  list->Add(save);
  menu->SetLinkSubitems(list);
  auto* act = new TAction(&owner);
  act->SetShortCut(ShortCut('S', TShiftState{ssAlt}));  // the item takes it
  int updates = 0, executed = 0;
  act->OnUpdate = [&](TObject*) { ++updates; };
  act->OnExecute = [&](TObject*) { ++executed; };
  save->SetAction(act);
  std::vector<String> reported;
  const TExceptionEvent oldHandler = Application->OnException;
  Application->OnException = [&](TObject*, const Exception& E) { reported.push_back(E.Message()); };
  int menuPopups = 0;
  list->OnPopup = [&](TBarCustomItem*, bool) { throw Exception(String(L"list refused")); };
  menu->OnPopup = [&](TBarCustomItem*, bool) { ++menuPopups; };
  TWMKey msg;
  msg.CharCode = 'S';
  msg.KeyData = 1 << 29;  // with Alt
  auto altS = [&] { return root.IsShortCut(msg); };
  EXPECT_TRUE(altS());
  EXPECT_EQ(menuPopups, 1);
  EXPECT_EQ(executed, 1);
  EXPECT_GE(updates, 1);
  EXPECT_EQ(reported, std::vector<String>{String(L"list refused")});
  owner.SetDesigning(true);
  ASSERT_TRUE(root.IsDesigning());
  updates = 0;
  save->OnClick = [&](TObject*) {};
  EXPECT_TRUE(altS());
  EXPECT_EQ(updates, 0);
  EXPECT_EQ(menuPopups, 2);
  owner.SetDesigning(false);
  Application->OnException = oldHandler;
}

// A pop-up window whose showing fails.
struct FailingPopupWindow : TBarPopupWindow {
  static int Alive;
  FailingPopupWindow(TComponent* AOwner, TBarView* AParentView, TBarCustomItem* AItem, bool ACustomizing)
      : TBarPopupWindow(AOwner, AParentView, AItem, ACustomizing) {
    ++Alive;
  }
  ~FailingPopupWindow() override { --Alive; }
  void WndProc(TMessage& m) override {
    if (m.Msg == CM_SHOWINGCHANGED && m.WParam) throw Exception(String(L"cannot show"));
    TBarPopupWindow::WndProc(m);
  }
};
int FailingPopupWindow::Alive = 0;

struct FailingMenu : TBarSubmenuItem {
  using TBarSubmenuItem::TBarSubmenuItem;
  TBarPopupWindowClass GetPopupWindowClass() override {
    return &TBarPopupWindow::CreatePopupWindow<FailingPopupWindow>;
  }
};

TEST(BarPopupMenu, APopupThatFailsWhileBeingShownIsFreed) {
  FailingMenu menu(nullptr);
  auto* it = new TBarItem(&menu);
  it->SetCaption(L"Never shown");
  menu.Add(it);
  EXPECT_THROW(menu.Popup(300, 300, false), Exception);
  EXPECT_EQ(FailingPopupWindow::Alive, 0);
  EXPECT_FALSE(AnyPopupVisible());
  EXPECT_EQ(GetCapture(), nullptr);
}

}  // namespace
