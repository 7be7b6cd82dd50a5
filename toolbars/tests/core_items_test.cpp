// Helpers and the item tree: captions, lists, notifications, radio groups,
// options, shortcuts and the queued click.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstddef>
#include <cstring>
#include <memory>
#include <vector>

#include "classlib/Actions.h"
#include "classlib/Filer.h"
#include "testsupport/Pump.h"
#include "toolbars/BarEditItem.h"
#include "toolbars/BarFiler.h"
#include "toolbars/BarItems.h"
#include "toolbars/BarPopup.h"
#include "toolbars/tests/DeclaredNames.h"
#include "toolbars/BarUtilsWin.h"
#include "testsupport/Registry.h"

namespace {

TEST(BarHelpers, MenuShowDelayFromRegistry) {
  testsupport::ScratchKey scratch(L"toolbars");
  const std::wstring path = scratch.Path(L"Desktop");
  const wchar_t* key = path.c_str();
  EXPECT_EQ(BarReadMenuShowDelay(HKEY_CURRENT_USER, key), 400);  // no key
  scratch.CreateKey(L"Desktop");
  EXPECT_EQ(BarReadMenuShowDelay(HKEY_CURRENT_USER, key), 400);  // no value
  auto set = [&](const wchar_t* s) { scratch.Write(L"Desktop", L"MenuShowDelay", REG_SZ, testsupport::Sz(s)); };
  set(L"abc");
  EXPECT_EQ(BarReadMenuShowDelay(HKEY_CURRENT_USER, key), 0);
  set(L"250");
  EXPECT_EQ(BarReadMenuShowDelay(HKEY_CURRENT_USER, key), 250);
  set(L"-5");
  EXPECT_EQ(BarReadMenuShowDelay(HKEY_CURRENT_USER, key), 0);
  scratch.Write(L"Desktop", L"MenuShowDelay", REG_DWORD, testsupport::Dw(100));
  EXPECT_EQ(BarReadMenuShowDelay(HKEY_CURRENT_USER, key), 0);
}

UINT g_spiSizes[4];
int g_spiCalls = 0;
BOOL WINAPI OldSystemsOnly(UINT, UINT Param, PVOID Data, UINT) {
  g_spiSizes[g_spiCalls++ & 3] = Param;
  if (Param != offsetof(NONCLIENTMETRICSW, iPaddedBorderWidth)) return FALSE;
  auto* m = static_cast<NONCLIENTMETRICSW*>(Data);
  wcscpy(m->lfMenuFont.lfFaceName, L"Old Menu Face");
  return TRUE;
}
BOOL WINAPI AlwaysFails(UINT, UINT, PVOID, UINT) { return FALSE; }

TEST(BarHelpers, MenuFontWorksWithEitherStructureSizeAndFallsBack) {
  LOGFONTW lf = BarGetMenuLogFont();
  EXPECT_NE(lf.lfFaceName[0], 0);
  auto saved = BarSystemParametersInfo;
  // A system that only knows the shorter structure still gives its menu font.
  BarSystemParametersInfo = OldSystemsOnly;
  g_spiCalls = 0;
  lf = BarGetMenuLogFont();
  EXPECT_STREQ(lf.lfFaceName, L"Old Menu Face");
  EXPECT_EQ(g_spiSizes[0], sizeof(NONCLIENTMETRICSW));
  // Nothing works: the default GUI font.
  BarSystemParametersInfo = AlwaysFails;
  lf = BarGetMenuLogFont();
  LOGFONTW gui{};
  GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(gui), &gui);
  EXPECT_STREQ(lf.lfFaceName, gui.lfFaceName);
  EXPECT_EQ(lf.lfHeight, gui.lfHeight);
  BarSystemParametersInfo = saved;
}

// Records every notification an item sends.
struct Recorder {
  struct Entry {
    TBarCustomItem* Sender;
    bool Relayed;
    TBarItemChangedAction Action;
    int Index;
    TBarCustomItem* Item;
  };
  std::vector<Entry> Log;
  void Proc(TBarCustomItem* S, bool R, TBarItemChangedAction A, int I, TBarCustomItem* It) {
    Log.push_back({S, R, A, I, It});
  }
  TBarItemChangedProc Handler() { return TBarItemChangedProc(this, &Recorder::Proc); }
  int Count(TBarItemChangedAction A) const {
    int n = 0;
    for (auto& e : Log) n += e.Action == A;
    return n;
  }
};

TEST(BarItemTree, InsertDeleteAndRangeChecks) {
  TBarRootItem root(nullptr);
  auto* a = new TBarItem(nullptr);
  auto* b = new TBarItem(nullptr);
  Recorder rec;
  root.RegisterNotification(rec.Handler());
  root.Add(a);
  root.Insert(root.Count(), b);
  EXPECT_EQ(root.Count(), 2);
  EXPECT_EQ(root.GetItem(1), b);
  EXPECT_EQ(a->GetParent(), &root);
  ASSERT_EQ(rec.Count(tbicInserted), 2);
  EXPECT_EQ(rec.Log[1].Action, tbicInserted);  // bracketed by begin/end update
  EXPECT_EQ(rec.Log[1].Index, 0);
  auto* c = new TBarItem(nullptr);
  try {
    root.Insert(root.Count() + 1, c);
    FAIL() << "no range error";
  } catch (const EBarItemError& e) {
    EXPECT_EQ(e.Message(), L"Toolbar item index out of range");
  }
  try {
    root.Insert(0, a);
    FAIL() << "inserted twice";
  } catch (const EBarItemError& e) {
    EXPECT_EQ(e.Message(), L"Toolbar item already inserted");
  }
  EXPECT_THROW(root.GetItem(2), EBarItemError);
  EXPECT_THROW(root.GetItem(-1), EBarItemError);
  root.Move(0, 1);
  EXPECT_EQ(root.GetItem(0), b);
  EXPECT_THROW(root.Move(0, 2), EBarItemError);
  root.Remove(a);
  EXPECT_EQ(a->GetParent(), nullptr);
  EXPECT_EQ(root.Count(), 1);
  delete a;
  delete c;
  // Freeing an item takes it out of its parent.
  delete b;
  EXPECT_EQ(root.Count(), 0);
  root.UnregisterNotification(rec.Handler());
}

TEST(BarItemTree, RadioGroupsAndChangeKinds) {
  TBarRootItem root(nullptr);
  TBarItem* it[4];
  for (auto*& p : it) {
    p = new TBarItem(&root);
    root.Add(p);
  }
  it[0]->SetGroupIndex(3);
  it[1]->SetGroupIndex(3);
  it[2]->SetGroupIndex(4);
  it[1]->SetChecked(true);
  it[2]->SetChecked(true);
  it[3]->SetChecked(true);
  Recorder rec;
  root.RegisterNotification(rec.Handler());
  it[0]->SetChecked(true);
  EXPECT_TRUE(it[0]->GetChecked());
  EXPECT_FALSE(it[1]->GetChecked());  // same group: unchecked
  EXPECT_TRUE(it[2]->GetChecked());   // other group
  EXPECT_TRUE(it[3]->GetChecked());   // no group
  EXPECT_EQ(rec.Count(tbicInvalidate), 2);  // each item its own notification
  rec.Log.clear();
  it[0]->SetChecked(false);
  EXPECT_FALSE(it[1]->GetChecked());
  EXPECT_EQ(rec.Count(tbicInvalidate), 1);
  rec.Log.clear();
  it[3]->SetGroupIndex(0);
  it[3]->SetChecked(false);
  it[3]->SetChecked(true);  // group 0 touches no sibling
  EXPECT_TRUE(it[2]->GetChecked());

  rec.Log.clear();
  it[0]->SetImageIndex(2);  // -1 -> 2
  it[0]->SetImageIndex(5);  // 2 -> 5
  it[0]->SetImageIndex(-1);
  ASSERT_EQ(rec.Log.size(), 3u);
  EXPECT_EQ(rec.Log[0].Action, tbicInvalidateAndResize);
  EXPECT_EQ(rec.Log[1].Action, tbicInvalidate);
  EXPECT_EQ(rec.Log[2].Action, tbicInvalidateAndResize);
  rec.Log.clear();
  it[0]->SetImageIndex(-1);  // unchanged: nothing
  it[0]->SetEnabled(true);
  EXPECT_TRUE(rec.Log.empty());
  root.UnregisterNotification(rec.Handler());
}

// A subscriber that removes itself while being notified.
struct SelfRemover {
  TBarCustomItem* Item;
  int Calls = 0;
  void Proc(TBarCustomItem*, bool, TBarItemChangedAction, int, TBarCustomItem*) {
    ++Calls;
    Item->UnregisterNotification(TBarItemChangedProc(this, &SelfRemover::Proc));
  }
};

TEST(BarItemTree, SubscriberRemovingItselfDoesNotHideTheNext) {
  TBarRootItem root(nullptr);
  SelfRemover first{&root};
  Recorder second;
  root.RegisterNotification(TBarItemChangedProc(&first, &SelfRemover::Proc));
  root.RegisterNotification(second.Handler());
  root.Notify(tbicNameChanged, -1, nullptr);
  EXPECT_EQ(first.Calls, 1);
  EXPECT_EQ(second.Log.size(), 1u);
  root.Notify(tbicNameChanged, -1, nullptr);
  EXPECT_EQ(first.Calls, 1);
  EXPECT_EQ(second.Log.size(), 2u);
  // Registered twice: needs two unregistrations.
  root.RegisterNotification(second.Handler());
  root.UnregisterNotification(second.Handler());
  root.Notify(tbicNameChanged, -1, nullptr);
  EXPECT_EQ(second.Log.size(), 3u);
  root.UnregisterNotification(second.Handler());
  root.Notify(tbicNameChanged, -1, nullptr);
  EXPECT_EQ(second.Log.size(), 3u);
}

TEST(BarItemTree, GroupRelayStopsAfterTenLevels) {
  TBarRootItem root(nullptr);
  Recorder rec;
  root.RegisterNotification(rec.Handler());
  TBarCustomItem* parent = &root;
  std::vector<TBarGroupItem*> groups;
  for (int i = 0; i < 11; ++i) {
    auto* g = new TBarGroupItem(&root);
    parent->Add(g);
    groups.push_back(g);
    parent = g;
  }
  // Ten levels below the root: relayed up.
  rec.Log.clear();
  groups[9]->Notify(tbicNameChanged, -1, nullptr);
  ASSERT_EQ(rec.Log.size(), 1u);
  EXPECT_TRUE(rec.Log[0].Relayed);
  EXPECT_EQ(rec.Log[0].Sender, groups[9]);  // the group whose contents changed
  // Eleven levels: no further than ten.
  rec.Log.clear();
  groups[10]->Notify(tbicNameChanged, -1, nullptr);
  EXPECT_TRUE(rec.Log.empty());
  root.UnregisterNotification(rec.Handler());
}

TEST(BarItemTree, OptionsInheritAndLinkSubitems) {
  TBarRootItem root(nullptr);
  auto* sub = new TBarSubmenuItem(&root);
  auto* leaf = new TBarItem(&root);
  root.Add(sub);
  sub->Add(leaf);
  root.SetOptions(TBarItemOptions{tboDefault, tboShowHint, tboToolbarSize});
  // tboToolbarSize needs tboToolbarStyle; tboDefault is never inherited.
  EXPECT_TRUE(root.GetOptions() == (TBarItemOptions{tboDefault, tboShowHint}));
  EXPECT_TRUE(leaf->GetEffectiveOptions() == (TBarItemOptions{tboShowHint}));
  leaf->SetMaskOptions(TBarItemOptions{tboShowHint});
  EXPECT_TRUE(leaf->GetEffectiveOptions().Empty());

  TBarItem other(nullptr);
  other.SetLinkSubitems(&other);
  EXPECT_EQ(other.GetLinkSubitems(), nullptr);
  other.SetLinkSubitems(sub);
  EXPECT_EQ(other.GetLinkSubitems(), sub);
  TBarCustomItem* top = nullptr;
  leaf->SetShortCut(ShortCut('S', TShiftState{ssCtrl}));
  EXPECT_EQ(other.FindItemWithShortCut(ShortCut('S', TShiftState{ssCtrl}), top), leaf);
  EXPECT_EQ(top, nullptr);  // a direct subitem of the linked item
  EXPECT_EQ(root.FindItemWithShortCut(ShortCut('S', TShiftState{ssCtrl}), top), leaf);
  EXPECT_EQ(top, sub);
  other.SetLinkSubitems(nullptr);
}

TEST(BarItemTree, ShortcutBeyondTwentyFiveLinksIsNotFound) {
  // chain[i] holds one item that shows chain[i + 1]'s subitems.
  std::vector<std::unique_ptr<TBarItem>> chain;
  for (int i = 0; i < 28; ++i) chain.push_back(std::make_unique<TBarItem>(nullptr));
  std::vector<TBarItem*> links;
  for (int i = 0; i + 1 < 28; ++i) {
    auto* l = new TBarItem(nullptr);
    chain[i]->Add(l);
    l->SetLinkSubitems(chain[i + 1].get());
    links.push_back(l);
  }
  auto* target = new TBarItem(nullptr);
  target->SetShortCut(ShortCut(VK_F5, TShiftState()));
  chain.back()->Add(target);
  TBarCustomItem* top = nullptr;
  EXPECT_EQ(chain[0]->FindItemWithShortCut(ShortCut(VK_F5, TShiftState()), top), nullptr);  // 27 links
  EXPECT_EQ(chain[5]->FindItemWithShortCut(ShortCut(VK_F5, TShiftState()), top), target);   // 22 links
  EXPECT_EQ(top, links[5]);
  for (auto* l : links) l->SetLinkSubitems(nullptr);
}

TEST(BarItemTree, ShortcutTextAndClick) {
  TBarItem it(nullptr);
  it.SetShortCut(ShortCut('O', TShiftState{ssCtrl}));
  EXPECT_EQ(it.GetShortCutText(), L"Ctrl+O");
  it.SetCaption(L"&Open\tCtrl+Alt+O");
  EXPECT_EQ(it.GetShortCutText(), L"Ctrl+Alt+O");
  EXPECT_EQ(ShortCutToText(ShortCut(VK_DELETE, TShiftState{ssShift})), L"Shift+Del");
  EXPECT_EQ(ShortCutToText(ShortCut(VK_F3, TShiftState())), L"F3");

  int clicks = 0;
  it.OnClick = [&](TObject*) { ++clicks; };
  it.SetAutoCheck(true);
  it.SetEnabled(false);
  it.Click();
  EXPECT_EQ(clicks, 0);
  EXPECT_FALSE(it.GetChecked());  // not even the toggle
  it.SetEnabled(true);
  it.Click();
  EXPECT_EQ(clicks, 1);
  EXPECT_TRUE(it.GetChecked());
}

using testsupport::PumpPending;

TEST(BarClickQueue, QueuedClickRunsLaterAndFreedItemIsSkipped) {
  TBarRootItem keep(nullptr);  // keeps the thread's queue alive
  int clicks = 0;
  auto* a = new TBarItem(nullptr);
  a->OnClick = [&](TObject*) { ++clicks; };
  a->PostClick();
  EXPECT_EQ(clicks, 0);
  PumpPending();
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(BarClickQueue::SlotCount(), 0);

  a->PostClick();
  delete a;  // freed before the message arrives
  auto* b = new TBarItem(nullptr);
  b->OnClick = [&](TObject*) { clicks += 10; };
  b->PostClick();
  // The freed item's slot is not reused while its message is on its way.
  EXPECT_EQ(BarClickQueue::SlotCount(), 2);
  PumpPending();
  EXPECT_EQ(clicks, 11);
  EXPECT_EQ(BarClickQueue::SlotCount(), 0);
  delete b;
}

TEST(BarClickQueue, ExceptionInQueuedClickDoesNotEscape) {
  TBarItem it(nullptr), next(nullptr);
  int raised = 0, ran = 0;
  it.OnClick = [&](TObject*) {
    ++raised;
    throw Exception(String(L"boom"));
  };
  next.OnClick = [&](TObject*) { ++ran; };
  it.PostClick();
  next.PostClick();
  EXPECT_NO_THROW(PumpPending());
  // The failing click ran once, the click queued after it still ran, and
  // both left the queue.
  EXPECT_EQ(raised, 1);
  EXPECT_EQ(ran, 1);
  EXPECT_EQ(BarClickQueue::SlotCount(), 0);
  next.PostClick();
  PumpPending();
  EXPECT_EQ(ran, 2);
}

TEST(BarItemTree, ShortcutRunsPopupHandlersFirst) {
  TBarRootItem root(nullptr);
  auto* file = new TBarSubmenuItem(&root);
  auto* save = new TBarItem(&root);
  root.Add(file);
  file->Add(save);
  save->SetShortCut(ShortCut('S', TShiftState()));
  save->SetEnabled(false);
  std::vector<int> order;
  file->OnPopup = [&](TBarCustomItem*, bool) {
    order.push_back(1);
    save->SetEnabled(true);  // the handler updates the state before the click
  };
  save->OnClick = [&](TObject*) { order.push_back(2); };
  TWMKey msg;
  msg.CharCode = 'S';
  EXPECT_TRUE(root.IsShortCut(msg));
  EXPECT_EQ(order, (std::vector<int>{1, 2}));
  msg.CharCode = 'Q';
  EXPECT_FALSE(root.IsShortCut(msg));
  file->SetEnabled(false);
  msg.CharCode = 'S';
  EXPECT_FALSE(root.IsShortCut(msg));
}

// ---- actions --------------------------------------------------------------------
TEST(BarItemAction, TheActionDrivesTheItemUntilTheItemDiffers) {
  TComponent owner(nullptr);
  auto* act = new TAction(&owner);
  int executed = 0, updated = 0, own = 0;
  act->OnExecute = [&](TObject*) { ++executed; };
  act->OnUpdate = [&](TObject*) { ++updated; };
  act->SetCaption(L"&Open");
  act->SetChecked(true);
  act->SetHint(L"Open|Opens a key");
  act->SetImageIndex(3);
  act->SetShortCut(ShortCut('O', TShiftState{ssCtrl}));
  act->SetHelpContext(12);
  TBarRootItem root(&owner);
  auto* item = new TBarItem(&owner);
  root.Add(item);
  item->SetAction(act);
  EXPECT_EQ(item->GetCaption(), L"&Open");
  EXPECT_TRUE(item->GetChecked());
  EXPECT_EQ(item->GetHint(), L"Open|Opens a key");
  EXPECT_EQ(item->GetImageIndex(), 3);
  EXPECT_EQ(item->GetShortCut(), ShortCut('O', TShiftState{ssCtrl}));
  EXPECT_EQ(item->GetHelpContext(), 12);
  EXPECT_FALSE(item->IsCaptionStored());  // tied: the action stores it

  // Later changes of the action reach the item.
  act->SetCaption(L"&Open key");
  act->SetEnabled(false);
  act->SetChecked(false);
  EXPECT_EQ(item->GetCaption(), L"&Open key");
  EXPECT_FALSE(item->GetEnabled());
  EXPECT_FALSE(item->GetChecked());
  act->SetEnabled(true);

  // A click runs the action; InitiateAction updates it.
  item->Click();
  EXPECT_EQ(executed, 1);
  const int before = updated;
  item->InitiateAction();
  EXPECT_GT(updated, before);

  // A caption of the item's own is stored; any change of the action brings
  // all its values back.
  item->SetCaption(L"Mine");
  EXPECT_TRUE(item->IsCaptionStored());
  EXPECT_FALSE(item->IsImageIndexStored());
  act->SetImageIndex(4);
  EXPECT_EQ(item->GetCaption(), L"&Open key");
  EXPECT_FALSE(item->IsCaptionStored());
  EXPECT_EQ(item->GetImageIndex(), 4);

  // A handler of the item's own runs instead of the action.
  item->OnClick = [&](TObject*) { ++own; };
  item->Click();
  EXPECT_EQ(own, 1);
  EXPECT_EQ(executed, 1);

  // Freeing the action leaves the item with its last values.
  delete act;
  EXPECT_EQ(item->GetAction(), nullptr);
  EXPECT_EQ(item->GetImageIndex(), 4);
  item->Click();
  EXPECT_EQ(own, 2);
}

TEST(BarItemAction, CheckingDefaultsKeepsWhatTheItemSetItself) {
  TComponent owner(nullptr);
  TAction act(&owner);
  int executed = 0, own = 0;
  act.SetCaption(L"Action");
  act.SetHint(L"action hint");
  act.SetImageIndex(2);
  act.OnExecute = [&](TObject*) { ++executed; };
  TBarItem item(&owner);
  item.SetCaption(L"Item");
  item.OnClick = [&](TObject*) { ++own; };
  item.ActionChange(&act, true);  // as after loading
  EXPECT_EQ(item.GetCaption(), L"Item");
  EXPECT_EQ(item.GetHint(), L"action hint");
  EXPECT_EQ(item.GetImageIndex(), 2);
  item.Click();
  EXPECT_EQ(own, 1);
  item.ActionChange(&act, false);
  EXPECT_EQ(item.GetCaption(), L"Action");
  item.Click();
  EXPECT_EQ(executed, 1);
  EXPECT_EQ(own, 1);
}

// ---- streaming -------------------------------------------------------------------
class TItemsRoot : public TComponent {
 public:
  explicit TItemsRoot() : TComponent(nullptr) { SetName(L"Root"); }
  const char* ClassName() const override { return "TItemsRoot"; }
};

TEST(BarItemStreaming, ItemTreeRoundTripsWithLinkedPropertiesLeftToTheAction) {
  BarFiler::RegisterClasses();
  TMemoryStream m;
  {
    TItemsRoot src;
    auto* act = new TAction(&src);
    act->SetName(L"actOpen");
    act->SetCaption(L"Open");
    auto* box = new TBarItemContainer(&src);
    box->SetName(L"Box");
    auto* file = new TBarSubmenuItem(&src);
    file->SetName(L"File");
    file->SetCaption(L"&File");
    file->SetOptions(TBarItemOptions{tboDropdownArrow, tboShowHint});
    box->Items()->Add(file);
    auto* open = new TBarItem(&src);
    open->SetName(L"Open");
    open->SetAction(act);
    file->Add(open);
    auto* sep = new TBarSeparatorItem(&src);
    sep->SetName(L"Sep");
    sep->SetBlank(true);
    file->Add(sep);
    auto* quit = new TBarItem(&src);
    quit->SetName(L"Quit");
    quit->SetCaption(L"E&xit");
    quit->SetImageIndex(7);
    quit->SetEnabled(false);
    quit->SetDisplayMode(nbdmTextOnlyInMenus);
    file->Add(quit);
    file->SetChildOrder(quit, 0);  // Quit Open Sep
    TWriter(&m).WriteRootComponent(&src);
  }
  // Into a root whose action says something else now: the action reads its
  // own caption back, and the item, whose linked caption was not stored,
  // shows the action's.
  TItemsRoot dst;
  auto* act = new TAction(&dst);
  act->SetName(L"actOpen");
  act->SetCaption(L"Open now");
  m.SetPosition(0);
  TReader(&m).ReadRootComponent(&dst);
  auto* box = dynamic_cast<TBarItemContainer*>(dst.FindComponent(L"Box"));
  ASSERT_NE(box, nullptr);
  ASSERT_EQ(box->Items()->Count(), 1);
  auto* file = dynamic_cast<TBarSubmenuItem*>(box->Items()->GetItem(0));
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->GetCaption(), L"&File");
  EXPECT_EQ(file->GetOptions(), (TBarItemOptions{tboDropdownArrow, tboShowHint}));
  ASSERT_EQ(file->Count(), 3);
  EXPECT_EQ(file->GetItem(0)->GetName(), L"Quit");
  EXPECT_EQ(file->GetItem(1)->GetName(), L"Open");
  EXPECT_EQ(file->GetItem(2)->GetName(), L"Sep");
  TBarCustomItem* quit = file->GetItem(0);
  EXPECT_EQ(quit->GetCaption(), L"E&xit");
  EXPECT_EQ(quit->GetImageIndex(), 7);
  EXPECT_FALSE(quit->GetEnabled());
  EXPECT_EQ(quit->GetDisplayMode(), nbdmTextOnlyInMenus);
  EXPECT_TRUE(dynamic_cast<TBarSeparatorItem*>(file->GetItem(2))->GetBlank());
  TBarCustomItem* open = file->GetItem(1);
  EXPECT_EQ(open->GetAction(), act);
  EXPECT_EQ(act->GetCaption(), L"Open");
  EXPECT_EQ(open->GetCaption(), L"Open");
  act->SetCaption(L"Open later");
  EXPECT_EQ(open->GetCaption(), L"Open later");
  EXPECT_EQ(open->GetParentComponent(), file);
  EXPECT_EQ(file->GetParentComponent(), box);
}

TEST(BarEditAction, EditPropertiesReachTheLinkedEditItemsAndReadBackFromTheAction) {
  BarFiler::RegisterClasses();
  TItemsRoot root;
  auto* act = new TBarEditAction(&root);
  act->SetName(L"actPath");
  EXPECT_TRUE(act->Update() || act->GetEnabled());  // no handler needed
  EXPECT_EQ(act->GetEditWidth(), 64);
  int accepted = 0;
  act->SetEditCaption(L"Path:");
  act->SetText(L"HKEY_CURRENT_USER");
  act->SetEditOptions(TBarEditItemOptions{tboUseEditWhenVertical});
  act->SetOnAcceptText([&](TObject*, String&, bool&) { ++accepted; });
  auto* box = new TBarItemContainer(&root);
  box->SetName(L"Box");
  auto* edit = new TBarEditItem(&root);
  edit->SetName(L"Edit");
  box->Items()->Add(edit);
  edit->SetAction(act);
  EXPECT_EQ(edit->GetEditCaption(), L"Path:");
  EXPECT_EQ(edit->GetText(), L"HKEY_CURRENT_USER");
  EXPECT_EQ(edit->GetEditOptions(), TBarEditItemOptions{tboUseEditWhenVertical});
  ASSERT_TRUE(static_cast<bool>(edit->OnAcceptText));
  String t;
  bool ok = true;
  edit->OnAcceptText(edit, t, ok);
  EXPECT_EQ(accepted, 1);

  act->SetText(L"HKEY_LOCAL_MACHINE");
  act->SetEditWidth(120);  // equal before, so tied
  EXPECT_EQ(edit->GetText(), L"HKEY_LOCAL_MACHINE");
  EXPECT_EQ(edit->GetEditWidth(), 120);
  EXPECT_FALSE(edit->IsTextStored());
  EXPECT_FALSE(edit->IsEditWidthStored());
  EXPECT_FALSE(edit->IsEditOptionsStored());
  // The tied values are the action's: stored with it, not with the item.
  const auto itemStores = declared::Of(edit, &root);
  EXPECT_FALSE(itemStores.at(L"Text"));
  EXPECT_FALSE(itemStores.at(L"EditWidth"));
  EXPECT_FALSE(itemStores.at(L"EditCaption"));
  TMemoryStream m;
  TWriter(&m).WriteRootComponent(&root);
  TItemsRoot read;
  m.SetPosition(0);
  TReader(&m).ReadRootComponent(&read);
  auto* readAct = dynamic_cast<TBarEditAction*>(read.FindComponent(L"actPath"));
  auto* readEdit = dynamic_cast<TBarEditItem*>(read.FindComponent(L"Edit"));
  ASSERT_TRUE(readAct && readEdit);
  EXPECT_EQ(readAct->GetText(), L"HKEY_LOCAL_MACHINE");
  EXPECT_EQ(readAct->GetEditWidth(), 120);
  EXPECT_EQ(readAct->GetEditCaption(), L"Path:");
  EXPECT_EQ(readAct->GetEditOptions(), TBarEditItemOptions{tboUseEditWhenVertical});
  EXPECT_EQ(readEdit->GetAction(), readAct);
  EXPECT_EQ(readEdit->GetText(), L"HKEY_LOCAL_MACHINE");
  EXPECT_EQ(readEdit->GetEditWidth(), 120);
  EXPECT_EQ(readEdit->GetEditCaption(), L"Path:");
  readAct->SetText(L"HKEY_USERS");
  EXPECT_EQ(readEdit->GetText(), L"HKEY_USERS");

  // A text typed into the item is its own and stored.
  edit->SetText(L"HKEY_USERS");
  EXPECT_TRUE(edit->IsTextStored());
}

}  // namespace
