// The items, actions, lists and menus of the framework hold each published
// property and event in a form stream: set away from its default it is
// written and reads back; left at its default it is not written.
#include <gtest/gtest.h>

#include "classlib/ExtCtrls.h"
#include "toolbars/BarEditItem.h"
#include "toolbars/BarFiler.h"
#include "toolbars/BarImages.h"
#include "toolbars/BarMRU.h"
#include "toolbars/BarPopup.h"
#include "toolbars/tests/DeclaredNames.h"

namespace {

using declared::Handler;

// The published names of the items, by class.
const std::vector<const wchar_t*> kItemNames = {
    L"AutoCheck", L"Caption", L"Checked", L"DisplayMode", L"Enabled", L"GroupIndex", L"HelpContext", L"Hint",
    L"ImageIndex", L"Images", L"InheritOptions", L"MaskOptions", L"Options", L"ShortCut", L"Visible", L"OnClick",
    L"OnSelect"};
const std::vector<const wchar_t*> kSubmenuNames = {L"DropdownCombo", L"LinkSubitems", L"SubMenuImages", L"OnPopup"};
const std::vector<const wchar_t*> kEditItemNames = {L"CharCase",  L"EditCaption", L"EditOptions",  L"EditWidth",
                                                    L"MaxLength", L"Text",        L"OnAcceptText", L"OnBeginEdit"};
const std::vector<const wchar_t*> kEditActionNames = {
    L"EditCaption", L"EditOptions", L"EditWidth", L"Text", L"OnAcceptText",
    // the action's own
    L"AutoCheck", L"Caption", L"Category", L"Checked", L"Enabled", L"GroupIndex", L"HelpContext", L"Hint",
    L"ImageIndex", L"ShortCut", L"Visible", L"OnExecute", L"OnHint", L"OnUpdate"};
const std::vector<const wchar_t*> kToggleNames = {
    L"Control",        L"Caption",     L"DisplayMode", L"Enabled",  L"HelpContext", L"Hint",     L"ImageIndex",
    L"Images",         L"InheritOptions", L"MaskOptions", L"Options", L"ShortCut", L"Visible", L"OnClick",
    L"OnSelect"};
const std::vector<const wchar_t*> kMRUListNames = {L"AddFullPath", L"HidePathExtension", L"MaxItems", L"Items",
                                                   L"OnClick",     L"OnChange",          L"Prefix"};

// A form root offering a handler for every event kind of the framework, with
// a panel for the toggles.
class TFormRoot : public declared::TItemsRoot<TNotifyEvent, TBarSelectEvent, TBarPopupEvent, TBarAcceptTextEvent,
                                              TBarBeginEditEvent, THintEvent, TBarMRUListClickEvent> {
 public:
  TFormRoot() {
    panel = new TPanel(this);
    panel->SetName(L"pnlShown");
    wrapped = new TPanel(this);
    wrapped->SetName(L"pnlWrapped");
  }
  TPanel* panel;
  TPanel* wrapped;
};

// Every property of the core item away from its default.
void ChangeItem(TBarCustomItem* I, TFormRoot& R) {
  I->SetAutoCheck(true);
  I->SetCaption(L"&Changed");
  I->SetChecked(true);
  I->SetDisplayMode(nbdmImageAndText);
  I->SetEnabled(false);
  static int group = 0;  // a group of its own: checking it unchecks no other
  I->SetGroupIndex(++group);
  I->SetHelpContext(77);
  I->SetHint(L"A hint");
  I->SetImageIndex(4);
  I->SetImages(R.images);
  I->SetInheritOptions(false);
  I->SetMaskOptions(TBarItemOptions{tboShowHint});
  I->SetOptions(TBarItemOptions{tboDropdownArrow, tboToolbarStyle});
  I->SetShortCut(0x4041);
  I->SetVisible(false);
  I->OnClick = Handler<TNotifyEvent>(&R);
  I->OnSelect = Handler<TBarSelectEvent>(&R);
}

TEST(BarPublished, EachItemPropertyAndEventIsWrittenAndReadBack) {
  BarFiler::RegisterClasses();
  TFormRoot src;
  auto* item = src.Add<TBarItem>(L"Item");
  ChangeItem(item, src);
  auto* sub = src.Add<TBarSubmenuItem>(L"Sub");
  ChangeItem(sub, src);
  sub->SetDropdownCombo(true);
  sub->SetLinkSubitems(item);
  sub->SetSubMenuImages(src.images);
  sub->OnPopup = Handler<TBarPopupEvent>(&src);
  auto* group = src.Add<TBarGroupItem>(L"Group");
  group->SetInheritOptions(false);
  group->SetLinkSubitems(sub);
  group->SetMaskOptions(TBarItemOptions{tboNoRotation});
  group->SetOptions(TBarItemOptions{tboSameWidth});
  auto* sep = src.Add<TBarSeparatorItem>(L"Sep");
  sep->SetBlank(true);
  sep->SetHint(L"gap");
  sep->SetVisible(false);
  auto* edit = src.Add<TBarEditItem>(L"Edit");
  ChangeItem(edit, src);
  edit->SetCharCase(ecUpperCase);
  edit->SetEditCaption(L"Path:");
  edit->SetEditOptions(TBarEditItemOptions{tboUseEditWhenVertical});
  edit->SetEditWidth(150);
  edit->SetMaxLength(20);
  edit->SetText(L"HKEY");
  edit->OnAcceptText = Handler<TBarAcceptTextEvent>(&src);
  edit->OnBeginEdit = Handler<TBarBeginEditEvent>(&src);
  auto* toggle = src.Add<TBarVisibilityToggleItem>(L"Toggle");
  ChangeItem(toggle, src);
  toggle->SetControl(src.panel);

  auto* wrapper = src.Add<TBarControlItem>(L"Wrapper");
  wrapper->DontFreeControl = true;  // the root frees it
  wrapper->SetControl(src.wrapped);

  declared::ExpectWritten(item, &src, kItemNames);
  declared::ExpectWritten(wrapper, &src, {L"Control"});
  declared::ExpectWritten(sub, &src, kItemNames);
  declared::ExpectWritten(sub, &src, kSubmenuNames);
  declared::ExpectWritten(group, &src, {L"InheritOptions", L"LinkSubitems", L"MaskOptions", L"Options"});
  declared::ExpectWritten(sep, &src, {L"Blank", L"Hint", L"Visible"});
  declared::ExpectWritten(edit, &src, kItemNames);
  declared::ExpectWritten(edit, &src, kEditItemNames);
  declared::ExpectWritten(toggle, &src, kToggleNames);

  TFormRoot dst;
  declared::ExpectReadsBack(&src, &dst);
  auto* readEdit = dynamic_cast<TBarEditItem*>(dst.FindComponent(L"Edit"));
  ASSERT_NE(readEdit, nullptr);
  EXPECT_EQ(readEdit->OnAcceptText, Handler<TBarAcceptTextEvent>(&dst));
  EXPECT_EQ(readEdit->GetEditWidth(), 150);
  auto* readSub = dynamic_cast<TBarSubmenuItem*>(dst.FindComponent(L"Sub"));
  ASSERT_NE(readSub, nullptr);
  EXPECT_EQ(readSub->OnPopup, Handler<TBarPopupEvent>(&dst));
  EXPECT_EQ(readSub->GetLinkSubitems(), dst.FindComponent(L"Item"));
  auto* readWrapper = dynamic_cast<TBarControlItem*>(dst.FindComponent(L"Wrapper"));
  ASSERT_NE(readWrapper, nullptr);
  readWrapper->DontFreeControl = true;
  EXPECT_EQ(readWrapper->GetControl(), dst.wrapped);
}

TEST(BarPublished, ItemsListsAndMenusAtTheirDefaultsWriteNothing) {
  BarFiler::RegisterClasses();
  TFormRoot src;
  std::vector<TComponent*> fresh = {src.Add<TBarItem>(L"Item"),        src.Add<TBarSubmenuItem>(L"Sub"),
                                    src.Add<TBarGroupItem>(L"Group"),  src.Add<TBarSeparatorItem>(L"Sep"),
                                    src.Add<TBarEditItem>(L"Edit"),    src.Add<TBarVisibilityToggleItem>(L"Toggle"),
                                    src.Add<TBarMRUListItem>(L"Recent"), new TBarEditAction(&src),
                                    new TBarMRUList(&src),             new TBarPopupMenu(&src)};
  for (TComponent* c : fresh) declared::ExpectNothingWritten(c, &src);
  declared::ExpectNothingWritten(src.images, &src);
  declared::ExpectNothingWritten(src.box, &src);
}

// A visibility toggle read back holds its control again: clicking it shows
// and hides that control.
TEST(BarPublished, AToggleReadBackTogglesItsControl) {
  BarFiler::RegisterClasses();
  TFormRoot src;
  auto* toggle = src.Add<TBarVisibilityToggleItem>(L"Toggle");
  toggle->SetControl(src.panel);
  EXPECT_EQ(toggle->GetCaption(), src.panel->GetText());
  TFormRoot dst;
  declared::ExpectReadsBack(&src, &dst);
  auto* read = dynamic_cast<TBarVisibilityToggleItem*>(dst.FindComponent(L"Toggle"));
  ASSERT_NE(read, nullptr);
  ASSERT_EQ(read->GetControl(), dst.panel);
  ASSERT_TRUE(dst.panel->GetVisible());
  read->Click();
  EXPECT_FALSE(dst.panel->GetVisible());
  read->InitiateAction();
  EXPECT_FALSE(read->GetChecked());
  read->Click();
  EXPECT_TRUE(dst.panel->GetVisible());
}

// While designed, the toggle keeps the check the designer gave it, whatever
// its control shows; running again it follows the control.
TEST(BarPublished, ADesignedToggleKeepsItsCheck) {
  TFormRoot root;
  auto* toggle = root.Add<TBarVisibilityToggleItem>(L"Toggle");
  root.SetDesigning(true);
  ASSERT_TRUE(toggle->IsDesigning());
  toggle->SetChecked(false);
  toggle->SetControl(root.panel);  // visible
  toggle->InitiateAction();
  EXPECT_FALSE(toggle->GetChecked());
  root.SetDesigning(false);
  toggle->InitiateAction();
  EXPECT_TRUE(toggle->GetChecked());
}

TEST(BarPublished, TheEditActionAndItsOwnActionPropertiesReadBack) {
  BarFiler::RegisterClasses();
  TFormRoot src;
  auto* act = new TBarEditAction(&src);
  act->SetName(L"actPath");
  act->SetEditCaption(L"Path:");
  act->SetEditOptions(TBarEditItemOptions{tboUseEditWhenVertical});
  act->SetEditWidth(120);
  act->SetText(L"HKEY_CURRENT_USER");
  act->SetOnAcceptText(Handler<TBarAcceptTextEvent>(&src));
  act->SetAutoCheck(true);
  act->SetCaption(L"Go");
  act->SetCategory(L"Navigation");
  act->SetChecked(true);
  act->SetEnabled(false);
  act->SetGroupIndex(2);
  act->SetHelpContext(5);
  act->SetHint(L"Go there");
  act->SetImageIndex(9);
  act->SetShortCut(0x2047);
  act->SetVisible(false);
  act->OnExecute = Handler<TNotifyEvent>(&src);
  act->OnUpdate = Handler<TNotifyEvent>(&src);
  act->OnHint = Handler<THintEvent>(&src);
  declared::ExpectWritten(act, &src, kEditActionNames);
  // An item showing the action: its click handler is the action's, written
  // with the action only, and it comes back from there.
  auto* item = src.Add<TBarItem>(L"Go");
  item->SetAction(act);
  EXPECT_EQ(item->OnClick, act->OnExecute);
  EXPECT_FALSE(declared::Of(item, &src).at(L"OnClick"));
  TFormRoot dst;
  declared::ExpectReadsBack(&src, &dst);
  EXPECT_EQ(dynamic_cast<TBarItem*>(dst.FindComponent(L"Go"))->OnClick, Handler<TNotifyEvent>(&dst));
  auto* read = dynamic_cast<TBarEditAction*>(dst.FindComponent(L"actPath"));
  ASSERT_NE(read, nullptr);
  EXPECT_EQ(read->GetEditWidth(), 120);
  EXPECT_EQ(read->GetText(), L"HKEY_CURRENT_USER");
  EXPECT_EQ(read->GetOnAcceptText(), Handler<TBarAcceptTextEvent>(&dst));
  EXPECT_EQ(read->GetCategory(), L"Navigation");
  EXPECT_FALSE(read->GetEnabled());
}

TEST(BarPublished, MRUListsMenusContainersAndImageListsReadBack) {
  BarFiler::RegisterClasses();
  TFormRoot src;
  auto* mru = new TBarMRUList(&src);
  mru->SetName(L"mruFiles");
  mru->AddFullPath = false;
  mru->SetHidePathExtension(false);
  mru->SetMaxItems(6);
  mru->Add(L"a.reg");
  mru->Prefix = L"Recent";
  mru->OnClick = Handler<TBarMRUListClickEvent>(&src);
  mru->OnChange = Handler<TNotifyEvent>(&src);
  auto* recent = src.Add<TBarMRUListItem>(L"Recent");
  recent->SetMRUList(mru);
  auto* link = src.Add<TBarItem>(L"Linked");
  auto* menu = new TBarPopupMenu(&src);
  menu->SetName(L"pmMain");
  menu->SetImages(src.images);
  menu->SetLinkSubitems(link);
  menu->SetOptions(TBarItemOptions{tboShowHint});
  menu->SetTrackButton(tbLeftButton);
  src.box->SetImages(src.images);
  auto* more = new TBarImageList(&src);
  more->SetName(L"ilMore");
  src.images->SetCheckedImages(more);
  src.images->SetDisabledImages(more);
  src.images->SetHotImages(more);
  src.images->SetImagesBitmapMaskColor(clLime);
  TBitmap strip;
  strip.SetSize(32, 16);
  src.images->SetImagesBitmap(&strip);

  declared::ExpectWritten(mru, &src, kMRUListNames);
  declared::ExpectWritten(recent, &src, {L"MRUList"});
  declared::ExpectWritten(menu, &src, {L"Images", L"LinkSubitems", L"Options", L"TrackButton"});
  declared::ExpectWritten(src.box, &src, {L"Images"});
  declared::ExpectWritten(src.images, &src,
                          {L"CheckedImages", L"DisabledImages", L"HotImages", L"ImagesBitmap",
                           L"ImagesBitmapMaskColor"});
  TFormRoot dst;
  declared::ExpectReadsBack(&src, &dst);
  auto* readMru = dynamic_cast<TBarMRUList*>(dst.FindComponent(L"mruFiles"));
  ASSERT_NE(readMru, nullptr);
  EXPECT_EQ(readMru->OnClick, Handler<TBarMRUListClickEvent>(&dst));
  EXPECT_EQ(dst.images->GetHotImages(), dst.FindComponent(L"ilMore"));
  auto* readMenu = dynamic_cast<TBarPopupMenu*>(dst.FindComponent(L"pmMain"));
  ASSERT_NE(readMenu, nullptr);
  EXPECT_EQ(readMenu->GetTrackButton(), tbLeftButton);
}

}  // namespace
