// The themed items, lists, windows and the theme switcher hold each published
// property and event in a form stream: set away from its default it is
// written and reads back; left at its default it is not written.
#include <gtest/gtest.h>

#include "classlib/ExtCtrls.h"
#include "classlib/Forms.h"
#include "testsupport/Pump.h"
#include "toolbars/BarImages.h"
#include "toolbars/BarPopup.h"
#include "toolbars/skin/SkinExtItems.h"
#include "toolbars/skin/SkinFiler.h"
#include "toolbars/skin/SkinLists.h"
#include "toolbars/skin/SkinSwitcher.h"
#include "toolbars/skin/SkinWindows.h"
#include "toolbars/tests/DeclaredNames.h"

namespace {

using declared::Handler;

const std::vector<const wchar_t*> kSkinItemNames = {L"FontSettings", L"Layout",       L"MinHeight",
                                                    L"MinWidth",     L"Stretch",      L"OnAdjustFont",
                                                    L"OnDrawImage"};
const std::vector<const wchar_t*> kEditNames = {L"Alignment",   L"ExtendedAccept", L"FontSettings", L"ImageIndex",
                                                L"Images",      L"PasswordChar",   L"ReadOnly",     L"ShowImage",
                                                L"OnChange",    L"OnSelect",       L"EditCaption",  L"EditWidth",
                                                L"Text",        L"OnAcceptText",   L"OnBeginEdit"};
const std::vector<const wchar_t*> kSpinNames = {
    L"ValueType", L"Alignment", L"Decimal", L"Increment", L"MaxValue", L"MinValue", L"Postfix", L"Prefix", L"Snap",
    L"SpaceAfterPrefix", L"SpaceBeforePostfix", L"Value", L"OnConvert", L"OnStep", L"OnTextToValue",
    L"OnValueChange", L"OnValueToText"};
const std::vector<const wchar_t*> kDropDownNames = {L"AlwaysSelectFirst", L"DropDownList", L"LinkSubitems",
                                                    L"SubMenuImages"};
const std::vector<const wchar_t*> kComboNames = {
    L"AutoComplete", L"DropDownList", L"MaxListWidth", L"MaxVisibleItems", L"MinListWidth", L"ShowListImages",
    L"Strings", L"SubMenuImages", L"OnChange", L"OnAdjustImageIndex", L"OnClearItem", L"OnDrawItem",
    L"OnItemClick", L"OnMeasureHeight", L"OnMeasureWidth", L"OnPopup"};
const std::vector<const wchar_t*> kLabelNames = {L"Caption", L"Enabled", L"FontSettings", L"Margin",
                                                 L"Orientation", L"Visible", L"OnAdjustFont"};
const std::vector<const wchar_t*> kColorNames = {
    L"AutoCheck", L"Caption", L"Checked", L"Color", L"DisplayMode", L"Enabled", L"FontSettings",
    L"GroupIndex", L"HelpContext", L"Hint", L"InheritOptions", L"MaskOptions", L"MinHeight", L"MinWidth",
    L"Options", L"ShortCut", L"Visible", L"OnAdjustFont", L"OnClick"};
const std::vector<const wchar_t*> kListNames = {L"ItemIndex",  L"MinWidth",         L"MaxWidth",
                                                L"MaxVisibleItems", L"ShowImages",  L"Strings",
                                                L"OnChange",   L"OnClearItem",      L"OnDrawItem",
                                                L"OnAdjustImageIndex", L"OnMeasureHeight", L"OnMeasureWidth"};

// A form root offering a handler for every event kind of the themed layer.
using TFormRoot =
    declared::TItemsRoot<TNotifyEvent, TBarSelectEvent, TBarPopupEvent, TBarAcceptTextEvent, TBarBeginEditEvent,
                         TAdjustFontEvent, TDrawImageEvent, TSkinEditChange, TSEConvertEvent, TSEStepEvent,
                         TSETextToValueEvent, TSEChangeEvent, TSEValueToTextEvent, TSkinCAdjustImageIndex,
                         TSkinLPaintEvent, TSkinLAdjustImageIndex, TSkinLMeasureHeight, TSkinLMeasureWidth>;

void ChangeSkinItem(TSkinCustomItem* I, TFormRoot& R) {
  I->FontSettings()->SetBold(tsTrue);
  I->SetLayout(skinlGlyphTop);
  I->SetMinHeight(30);
  I->SetMinWidth(50);
  I->SetStretch(true);
  I->OnAdjustFont = Handler<TAdjustFontEvent>(&R);
  I->OnDrawImage = Handler<TDrawImageEvent>(&R);
}

void ChangeEdit(TSkinEditItem* E, TFormRoot& R) {
  E->SetAlignment(taCenter);
  E->ExtendedAccept = true;
  E->FontSettings()->SetSize(120);
  E->SetImageIndex(2);
  E->SetImages(R.images);
  E->SetPasswordChar(L'*');
  E->ReadOnly = true;
  E->SetShowImage(true);
  E->OnChange = Handler<TSkinEditChange>(&R);
  E->OnSelect = Handler<TBarSelectEvent>(&R);
  E->SetEditCaption(L"Find:");
  E->SetEditWidth(90);
  E->SetText(L"7");
  E->OnAcceptText = Handler<TBarAcceptTextEvent>(&R);
  E->OnBeginEdit = Handler<TBarBeginEditEvent>(&R);
}

TEST(SkinPublished, EachThemedItemPropertyAndEventIsWrittenAndReadBack) {
  InitSkin();
  RegisterSkinClasses();
  TFormRoot src;
  auto* item = src.Add<TSkinItem>(L"Item");
  ChangeSkinItem(item, src);
  auto* sub = src.Add<TSkinSubmenuItem>(L"Sub");
  ChangeSkinItem(sub, src);
  sub->SetDropdownCombo(true);
  sub->OnPopup = Handler<TBarPopupEvent>(&src);
  auto* sep = src.Add<TSkinSeparatorItem>(L"Sep");
  sep->SetSize(7);
  auto* edit = src.Add<TSkinEditItem>(L"Edit");
  ChangeEdit(edit, src);
  auto* spin = src.Add<TSkinSpinEditItem>(L"Spin");
  ChangeEdit(spin, src);
  spin->SetValueType(evtFloat);
  spin->SetAlignment(taLeftJustify);
  spin->SetDecimal(4);
  spin->SetIncrement(0.25);
  spin->MaxValue = 50;
  spin->MinValue = -5;
  spin->SetPostfix(L"cm");
  spin->SetPrefix(L"~");
  spin->Snap = false;
  spin->SetSpaceAfterPrefix(true);
  spin->SetSpaceBeforePostfix(true);
  spin->SetValue(3.5);
  spin->OnConvert = Handler<TSEConvertEvent>(&src);
  spin->OnStep = Handler<TSEStepEvent>(&src);
  spin->OnTextToValue = Handler<TSETextToValueEvent>(&src);
  spin->OnValueChange = Handler<TSEChangeEvent>(&src);
  spin->OnValueToText = Handler<TSEValueToTextEvent>(&src);
  auto* drop = src.Add<TSkinDropDownItem>(L"Drop");
  drop->AlwaysSelectFirst = false;
  drop->DropDownList = true;
  drop->SetLinkSubitems(sub);
  drop->SetSubMenuImages(src.images);
  auto* combo = src.Add<TSkinComboBoxItem>(L"Combo");
  combo->AutoComplete = false;
  combo->DropDownList = true;
  combo->SetMaxListWidth(300);
  combo->SetMaxVisibleItems(3);
  combo->SetMinListWidth(70);
  combo->SetShowListImages(true);
  combo->Strings()->Add(L"Apple");
  combo->SetSubMenuImages(src.images);
  combo->OnChange = Handler<TSkinEditChange>(&src);
  combo->OnAdjustImageIndex = Handler<TSkinCAdjustImageIndex>(&src);
  combo->List()->OnClearItem = Handler<TSkinLPaintEvent>(&src);
  combo->List()->OnDrawItem = Handler<TSkinLPaintEvent>(&src);
  combo->OnItemClick = Handler<TNotifyEvent>(&src);
  combo->List()->OnMeasureHeight = Handler<TSkinLMeasureHeight>(&src);
  combo->List()->OnMeasureWidth = Handler<TSkinLMeasureWidth>(&src);
  combo->OnPopup = Handler<TBarPopupEvent>(&src);
  auto* label = src.Add<TSkinLabelItem>(L"Label");
  label->SetLabelCaption(L"Size:");
  label->SetEnabled(false);
  label->FontSettings()->SetItalic(tsTrue);
  label->SetMargin(4);
  label->SetOrientation(skinoHorizontal);
  label->SetVisible(false);
  label->OnAdjustFont = Handler<TAdjustFontEvent>(&src);
  auto* colour = src.Add<TSkinColorItem>(L"Colour");
  ChangeSkinItem(colour, src);
  colour->SetColor(0x00FF00);
  colour->SetCaption(L"Green");
  colour->SetChecked(true);
  colour->SetEnabled(false);
  colour->SetDisplayMode(nbdmTextOnly);
  colour->SetAutoCheck(true);
  colour->SetGroupIndex(1);
  colour->SetHelpContext(3);
  colour->SetHint(L"green");
  colour->SetInheritOptions(false);
  colour->SetMaskOptions(TBarItemOptions{tboShowHint});
  colour->SetOptions(TBarItemOptions{tboToolbarStyle});
  colour->SetShortCut(0x4047);
  colour->SetVisible(false);
  colour->OnClick = Handler<TNotifyEvent>(&src);
  auto* list = src.Add<TSkinStringList>(L"List");
  list->Strings()->Add(L"one");
  list->Strings()->Add(L"two");
  list->SetItemIndex(1);
  list->SetMinWidth(10);
  list->MaxWidth = 200;
  list->MaxVisibleItems = 4;
  list->ShowImages = true;
  list->OnChange = Handler<TNotifyEvent>(&src);
  list->OnClearItem = Handler<TSkinLPaintEvent>(&src);
  list->OnDrawItem = Handler<TSkinLPaintEvent>(&src);
  list->OnAdjustImageIndex = Handler<TSkinLAdjustImageIndex>(&src);
  list->OnMeasureHeight = Handler<TSkinLMeasureHeight>(&src);
  list->OnMeasureWidth = Handler<TSkinLMeasureWidth>(&src);

  declared::ExpectWritten(item, &src, kSkinItemNames);
  declared::ExpectWritten(sub, &src, kSkinItemNames);
  declared::ExpectWritten(sub, &src, {L"DropdownCombo", L"OnPopup"});
  declared::ExpectWritten(sep, &src, {L"Size"});
  declared::ExpectWritten(edit, &src, kEditNames);
  declared::ExpectWritten(spin, &src, kSpinNames);
  declared::ExpectWritten(drop, &src, kDropDownNames);
  declared::ExpectWritten(combo, &src, kComboNames);
  declared::ExpectWritten(label, &src, kLabelNames);
  declared::ExpectWritten(colour, &src, kColorNames);
  declared::ExpectDeclared(colour, &src, {L"Action"});  // tying the others: the action test's matter
  declared::ExpectWritten(list, &src, kListNames);

  TFormRoot dst;
  declared::ExpectReadsBack(&src, &dst);
  auto* readCombo = dynamic_cast<TSkinComboBoxItem*>(dst.FindComponent(L"Combo"));
  ASSERT_NE(readCombo, nullptr);
  EXPECT_EQ(readCombo->List()->OnMeasureWidth, Handler<TSkinLMeasureWidth>(&dst));
  EXPECT_EQ(readCombo->OnAdjustImageIndex, Handler<TSkinCAdjustImageIndex>(&dst));
  auto* readSpin = dynamic_cast<TSkinSpinEditItem*>(dst.FindComponent(L"Spin"));
  ASSERT_NE(readSpin, nullptr);
  EXPECT_EQ(readSpin->OnValueToText, Handler<TSEValueToTextEvent>(&dst));
  EXPECT_EQ(readSpin->OnChange, Handler<TSkinEditChange>(&dst));
}

TEST(SkinPublished, ThemedItemsAndListsAtTheirDefaultsWriteNothing) {
  InitSkin();
  RegisterSkinClasses();
  TFormRoot src;
  // A spin edit's text starts as "0", and an edit item's text is stored
  // whatever it holds unless an action ties it.
  declared::ExpectNothingWritten(src.Add<TSkinSpinEditItem>(L"Spin"), &src, {L"Text"});
  for (TComponent* c : std::vector<TComponent*>{
           src.Add<TSkinItem>(L"Item"), src.Add<TSkinSubmenuItem>(L"Sub"), src.Add<TSkinSeparatorItem>(L"Sep"),
           src.Add<TSkinEditItem>(L"Edit"),
           src.Add<TSkinDropDownItem>(L"Drop"), src.Add<TSkinComboBoxItem>(L"Combo"),
           src.Add<TSkinLabelItem>(L"Label"), src.Add<TSkinColorItem>(L"Colour"),
           src.Add<TSkinStringList>(L"List"), src.Add<TSkinUndoList>(L"Undo"),
           src.Add<TSkinVisibilityToggleItem>(L"Toggle"), new TSkinMRUList(&src), new TSkinPopupMenu(&src)})
    declared::ExpectNothingWritten(c, &src);
}

// The themed windows' own settings, and their defaults left out (they start
// without double-click undocking).
TEST(SkinPublished, ThemedWindowsStoreTheirOwnSettings) {
  InitSkin();
  RegisterSkinClasses();
  std::unique_ptr<TForm> form(new TForm(Application));
  form->SetBounds(40, 40, 500, 300);
  auto* dock = new TSkinDock(form.get());
  dock->SetName(L"dkTop");
  dock->SetParent(form.get());
  auto* bar = new TSkinToolbar(form.get());
  bar->SetName(L"tbMain");
  bar->SetParent(dock);
  auto* tw = new TSkinToolWindow(form.get());
  tw->SetName(L"twTools");
  tw->SetParent(dock);
  const auto plainBar = declared::Of(bar, form.get());
  EXPECT_FALSE(plainBar.at(L"ItemTransparency"));
  EXPECT_FALSE(plainBar.at(L"SnapDistance"));
  EXPECT_FALSE(declared::Of(tw, form.get()).at(L"SnapDistance"));
  EXPECT_FALSE(plainBar.at(L"DblClickUndock"));  // false from the start
  EXPECT_FALSE(declared::Of(tw, form.get()).at(L"DblClickUndock"));
  EXPECT_FALSE(declared::Of(dock, form.get()).at(L"UseParentBackground"));

  bar->SetItemTransparency(itDisable);
  bar->SetSnapDistance(12);
  tw->DblClickUndock = true;
  tw->SetSnapDistance(8);
  dock->SetUseParentBackground(true);
  declared::ExpectWritten(bar, form.get(), {L"ItemTransparency", L"SnapDistance"});
  declared::ExpectWritten(tw, form.get(), {L"SnapDistance"});
  declared::ExpectWritten(dock, form.get(), {L"UseParentBackground"});
  form->Show();
  testsupport::Pump(30);

  std::unique_ptr<TForm> again(new TForm(Application));
  TMemoryStream m;
  TWriter(&m).WriteRootComponent(form.get());
  m.SetPosition(0);
  TReader(&m).ReadRootComponent(again.get());
  auto* readBar = dynamic_cast<TSkinToolbar*>(again->FindComponent(L"tbMain"));
  auto* readWindow = dynamic_cast<TSkinToolWindow*>(again->FindComponent(L"twTools"));
  auto* readDock = dynamic_cast<TSkinDock*>(again->FindComponent(L"dkTop"));
  ASSERT_TRUE(readBar && readWindow && readDock);
  EXPECT_EQ(readBar->GetItemTransparency(), itDisable);
  EXPECT_EQ(readBar->GetSnapDistance(), 12);
  EXPECT_EQ(readWindow->GetSnapDistance(), 8);
  EXPECT_TRUE(readDock->GetUseParentBackground());
  EXPECT_EQ(readBar->GetColor(), clNone);
  EXPECT_FALSE(readBar->DblClickUndock);
  EXPECT_TRUE(readWindow->DblClickUndock);
  EXPECT_EQ(readDock->GetColor(), clNone);
}

// A switcher stores the program-wide state it shows, and reading one sets
// that state at once.
TEST(SkinPublished, TheSwitcherStoresAndSetsTheProgramWideState) {
  InitSkin();
  RegisterSkinClasses();
  TFormRoot src;
  auto* sw = new TSkinSwitcher(&src);
  sw->SetName(L"Switcher");
  {
    const auto plain = declared::Of(sw, &src);
    EXPECT_TRUE(plain.at(L"Theme"));  // the current theme's name, always
    EXPECT_FALSE(plain.at(L"EnableXPStyles"));
    EXPECT_FALSE(plain.at(L"FlatMenuStyle"));
    EXPECT_FALSE(plain.at(L"OnThemeChange"));
  }
  sw->SetEnableXPStyles(false);
  sw->SetFlatMenuStyle(fmsDisable);
  sw->OnThemeChange = Handler<TNotifyEvent>(&src);
  declared::ExpectWritten(sw, &src, {L"Theme", L"EnableXPStyles", L"FlatMenuStyle", L"OnThemeChange"});
  TMemoryStream m;
  TWriter(&m).WriteRootComponent(&src);
  sw->SetEnableXPStyles(true);
  sw->SetFlatMenuStyle(fmsAuto);

  TFormRoot dst;
  m.SetPosition(0);
  TReader(&m).ReadRootComponent(&dst);
  auto* read = dynamic_cast<TSkinSwitcher*>(dst.FindComponent(L"Switcher"));
  ASSERT_NE(read, nullptr);
  EXPECT_EQ(GetSkinSysParam(2), 2);  // visual styles off
  EXPECT_EQ(GetSkinSysParam(1), 1);  // flat menus off
  EXPECT_EQ(read->GetTheme(), L"Default");
  EXPECT_EQ(read->OnThemeChange, Handler<TNotifyEvent>(&dst));
  read->SetEnableXPStyles(true);
  read->SetFlatMenuStyle(fmsAuto);
}

}  // namespace
