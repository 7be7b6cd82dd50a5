// What the themed items store in a stream, and the themed classes a stream
// may name. Each property is written where it differs from the ancestor's
// value or, without an ancestor, from the class's default.
#include "toolbars/skin/SkinFiler.h"

#include "classlib/Filer.h"
#include "toolbars/BarFiler.h"
#include "toolbars/skin/SkinExtItems.h"
#include "toolbars/skin/SkinLists.h"
#include "toolbars/skin/SkinSwitcher.h"
#include "toolbars/skin/SkinWindows.h"

namespace {
using namespace BarFiler;

const std::vector<const wchar_t*> kTriStateNames = {L"tsDefault", L"tsTrue", L"tsFalse"};
const std::vector<const wchar_t*> kLayoutNames = {L"skinlAuto", L"skinlGlyphLeft", L"skinlGlyphTop"};
const std::vector<const wchar_t*> kAlignmentNames = {L"taLeftJustify", L"taRightJustify", L"taCenter"};
const std::vector<const wchar_t*> kValueTypeNames = {L"evtInteger", L"evtFloat", L"evtHex"};
const std::vector<const wchar_t*> kOrientationNames = {L"skinoAuto", L"skinoHorizontal", L"skinoVertical"};
const std::vector<const wchar_t*> kItemTransparencyNames = {L"itAuto", L"itEnable", L"itDisable"};
const std::vector<const wchar_t*> kFlatMenuStyleNames = {L"fmsAuto", L"fmsEnable", L"fmsDisable"};

// A floating-point value, written as a double; an integer in the stream
// reads too.
void Float(TFiler* Filer, const wchar_t* Name, double Value, double Base, const std::function<void(double)>& Set) {
  Filer->DefineProperty(
      Name,
      [&](TReader* R) {
        if (R->NextValue() == vaDouble) {
          R->ReadValue();
          double v = 0;
          R->Read(&v, sizeof v);
          Set(v);
        } else {
          Set(static_cast<double>(R->ReadInt64()));
        }
      },
      [&](TWriter* W) {
        W->WriteValue(vaDouble);
        W->Write(&Value, sizeof Value);
      },
      Value != Base);
}

// Font overrides as "FontSettings.<name>" properties.
void DefineFontSettings(TFiler* Filer, TFontSettings* F, const TFontSettings* A) {
  TFontSettings defaults;
  const TFontSettings& b = A ? *A : defaults;
  Enum(Filer, L"FontSettings.Bold", F->GetBold(), b.GetBold(), kTriStateNames,
       [F](int v) { F->SetBold(static_cast<TTriState>(v)); });
  Enum(Filer, L"FontSettings.Italic", F->GetItalic(), b.GetItalic(), kTriStateNames,
       [F](int v) { F->SetItalic(static_cast<TTriState>(v)); });
  Enum(Filer, L"FontSettings.Underline", F->GetUnderline(), b.GetUnderline(), kTriStateNames,
       [F](int v) { F->SetUnderline(static_cast<TTriState>(v)); });
  Enum(Filer, L"FontSettings.StrikeOut", F->GetStrikeOut(), b.GetStrikeOut(), kTriStateNames,
       [F](int v) { F->SetStrikeOut(static_cast<TTriState>(v)); });
  Integer(Filer, L"FontSettings.Size", F->GetSize(), b.GetSize(), [F](int v) { F->SetSize(static_cast<uint16_t>(v)); });
  Integer(Filer, L"FontSettings.Color", F->GetColor(), b.GetColor(), [F](int v) { F->SetColor(v); });
  Text(Filer, L"FontSettings.Name", F->GetName(), b.GetName(), [F](const String& v) { F->SetName(v); });
}
}  // namespace

void TSkinCustomItem::DefineProperties(TFiler* Filer) {
  TBarCustomItem::DefineProperties(Filer);
  auto* a = dynamic_cast<TSkinCustomItem*>(Filer->GetAncestor());
  DefineFontSettings(Filer, fontSettings_, a ? a->fontSettings_ : nullptr);
  Enum(Filer, L"Layout", layout_, a ? a->layout_ : skinlAuto, kLayoutNames,
       [this](int v) { SetLayout(static_cast<TSkinItemLayout>(v)); });
  Integer(Filer, L"MinHeight", minHeight_, a ? a->minHeight_ : 0, [this](int v) { SetMinHeight(v); });
  const int minWidthDefault = dynamic_cast<TSkinCustomList*>(this) ? 32 : 0;
  Integer(Filer, L"MinWidth", minWidth_, a ? a->minWidth_ : minWidthDefault, [this](int v) { SetMinWidth(v); });
  Boolean(Filer, L"Stretch", GetStretch(), a ? a->GetStretch() : false, [this](bool v) { SetStretch(v); });
  if (auto* sub = dynamic_cast<TSkinSubmenuItem*>(this)) {
    auto* as = dynamic_cast<TSkinSubmenuItem*>(a);
    Boolean(Filer, L"DropdownCombo", sub->GetDropdownCombo(), as ? as->GetDropdownCombo() : false,
            [sub](bool v) { sub->SetDropdownCombo(v); });
  }
  Event(Filer, L"OnAdjustFont", OnAdjustFont, a ? &a->OnAdjustFont : nullptr);
  Event(Filer, L"OnDrawImage", OnDrawImage, a ? &a->OnDrawImage : nullptr);
}

void TSkinVisibilityToggleItem::DefineProperties(TFiler* Filer) {
  TSkinCustomItem::DefineProperties(Filer);
  auto* a = dynamic_cast<TSkinVisibilityToggleItem*>(Filer->GetAncestor());
  Reference(Filer, L"Control", control_, a ? a->control_ : nullptr, pendingControl_);
}

void TSkinVisibilityToggleItem::Loaded() {
  // Still loading: a stored caption, even an empty one, is not replaced.
  if (!pendingControl_.empty()) {
    auto* c = dynamic_cast<TControl*>(BarFiler::Find(this, pendingControl_));
    pendingControl_.clear();
    SetControl(c);
  }
  TSkinCustomItem::Loaded();
}

void TSkinSeparatorItem::DefineProperties(TFiler* Filer) {
  TBarSeparatorItem::DefineProperties(Filer);
  auto* a = dynamic_cast<TSkinSeparatorItem*>(Filer->GetAncestor());
  Integer(Filer, L"Size", size_, a ? a->size_ : -1, [this](int v) { SetSize(v); });
}

void TSkinEditItem::DefineProperties(TFiler* Filer) {
  TBarEditItem::DefineProperties(Filer);
  auto* a = dynamic_cast<TSkinEditItem*>(Filer->GetAncestor());
  const TAlignment alignDefault = dynamic_cast<TSkinCustomSpinEditItem*>(this) ? taRightJustify : taLeftJustify;
  Enum(Filer, L"Alignment", alignment_, a ? a->alignment_ : alignDefault, kAlignmentNames,
       [this](int v) { SetAlignment(static_cast<TAlignment>(v)); });
  Boolean(Filer, L"ExtendedAccept", ExtendedAccept, a ? a->ExtendedAccept : false,
          [this](bool v) { ExtendedAccept = v; });
  DefineFontSettings(Filer, fontSettings_, a ? a->fontSettings_ : nullptr);
  Integer(Filer, L"PasswordChar", passwordChar_, a ? a->passwordChar_ : 0,
          [this](int v) { SetPasswordChar(static_cast<wchar_t>(v)); });
  Boolean(Filer, L"ReadOnly", ReadOnly, a ? a->ReadOnly : false, [this](bool v) { ReadOnly = v; });
  Boolean(Filer, L"ShowImage", showImage_, a ? a->showImage_ : false, [this](bool v) { SetShowImage(v); });
  Event(Filer, L"OnChange", OnChange, a ? &a->OnChange : nullptr);
}

void TSkinCustomSpinEditItem::DefineProperties(TFiler* Filer) {
  TSkinEditItem::DefineProperties(Filer);
  auto* a = dynamic_cast<TSkinCustomSpinEditItem*>(Filer->GetAncestor());
  // The type first: it decides how the rest reads and formats.
  Enum(Filer, L"ValueType", valueType_, a ? a->valueType_ : evtInteger, kValueTypeNames,
       [this](int v) { SetValueType(static_cast<TSEValueType>(v)); });
  Integer(Filer, L"Decimal", decimal_, a ? a->decimal_ : 2, [this](int v) { SetDecimal(v); });
  Float(Filer, L"Increment", increment_, a ? a->increment_ : 1.0, [this](double v) { SetIncrement(v); });
  Float(Filer, L"MaxValue", MaxValue, a ? a->MaxValue : 0, [this](double v) { MaxValue = v; });
  Float(Filer, L"MinValue", MinValue, a ? a->MinValue : 0, [this](double v) { MinValue = v; });
  Text(Filer, L"Postfix", postfix_, a ? a->postfix_ : String(), [this](const String& v) { SetPostfix(v); });
  Text(Filer, L"Prefix", prefix_, a ? a->prefix_ : String(), [this](const String& v) { SetPrefix(v); });
  Boolean(Filer, L"Snap", Snap, a ? a->Snap : true, [this](bool v) { Snap = v; });
  Boolean(Filer, L"SpaceAfterPrefix", spaceAfterPrefix_, a ? a->spaceAfterPrefix_ : false,
          [this](bool v) { SetSpaceAfterPrefix(v); });
  Boolean(Filer, L"SpaceBeforePostfix", spaceBeforePostfix_, a ? a->spaceBeforePostfix_ : false,
          [this](bool v) { SetSpaceBeforePostfix(v); });
  Float(Filer, L"Value", GetValue(), a ? a->GetValue() : 0, [this](double v) { SetValue(v); });
  // The text is the value's while it reads as what the value gives: stored
  // only when it says something else, and then read after the value.
  Text(Filer, L"Text", GetText(), a ? a->GetText() : String(), [this](const String& v) { SetText(v); },
       IsTextStored() && GetText() != AsText(GetValue()));
  Event(Filer, L"OnConvert", OnConvert, a ? &a->OnConvert : nullptr);
  Event(Filer, L"OnStep", OnStep, a ? &a->OnStep : nullptr);
  Event(Filer, L"OnTextToValue", OnTextToValue, a ? &a->OnTextToValue : nullptr);
  Event(Filer, L"OnValueChange", OnValueChange, a ? &a->OnValueChange : nullptr);
  Event(Filer, L"OnValueToText", OnValueToText, a ? &a->OnValueToText : nullptr);
}

void TSkinCustomDropDownItem::DefineProperties(TFiler* Filer) {
  TSkinEditItem::DefineProperties(Filer);
  auto* a = dynamic_cast<TSkinCustomDropDownItem*>(Filer->GetAncestor());
  Boolean(Filer, L"AlwaysSelectFirst", AlwaysSelectFirst, a ? a->AlwaysSelectFirst : true,
          [this](bool v) { AlwaysSelectFirst = v; });
  Boolean(Filer, L"DropDownList", DropDownList, a ? a->DropDownList : false, [this](bool v) { DropDownList = v; });
}

void TSkinComboBoxItem::DefineProperties(TFiler* Filer) {
  TSkinCustomDropDownItem::DefineProperties(Filer);
  auto* a = dynamic_cast<TSkinComboBoxItem*>(Filer->GetAncestor());
  Boolean(Filer, L"AutoComplete", AutoComplete, a ? a->AutoComplete : true, [this](bool v) { AutoComplete = v; });
  Integer(Filer, L"MaxListWidth", GetMaxListWidth(), a ? a->GetMaxListWidth() : 0,
          [this](int v) { SetMaxListWidth(v); });
  Integer(Filer, L"MaxVisibleItems", GetMaxVisibleItems(), a ? a->GetMaxVisibleItems() : 8,
          [this](int v) { SetMaxVisibleItems(v); });
  Integer(Filer, L"MinListWidth", GetMinListWidth(), a ? a->GetMinListWidth() : 64,
          [this](int v) { SetMinListWidth(v); });
  Boolean(Filer, L"ShowListImages", GetShowListImages(), a ? a->GetShowListImages() : false,
          [this](bool v) { SetShowListImages(v); });
  Lines(Filer, L"Strings", Strings(), a ? a->Strings() : nullptr);
  Event(Filer, L"OnAdjustImageIndex", OnAdjustImageIndex, a ? &a->OnAdjustImageIndex : nullptr);
  Event(Filer, L"OnItemClick", OnItemClick, a ? &a->OnItemClick : nullptr);
  // The list's own events, kept in the list.
  TSkinStringList* al = a ? a->list_ : nullptr;
  Event(Filer, L"OnClearItem", list_->OnClearItem, al ? &al->OnClearItem : nullptr);
  Event(Filer, L"OnDrawItem", list_->OnDrawItem, al ? &al->OnDrawItem : nullptr);
  Event(Filer, L"OnMeasureHeight", list_->OnMeasureHeight, al ? &al->OnMeasureHeight : nullptr);
  Event(Filer, L"OnMeasureWidth", list_->OnMeasureWidth, al ? &al->OnMeasureWidth : nullptr);
}

void TSkinComboBoxItem::GetChildren(const TGetChildProc& Proc, TComponent* Root) {
  TSkinCustomDropDownItem::GetChildren([&](TComponent* C) {
    if (C != list_) Proc(C);
  }, Root);
}

void TSkinLabelItem::DefineProperties(TFiler* Filer) {
  TBarCustomItem::DefineProperties(Filer);
  auto* a = dynamic_cast<TSkinLabelItem*>(Filer->GetAncestor());
  // Declared after the item's own caption, which a label does not show,
  // so it replaces it.
  Text(Filer, L"Caption", caption_, a ? a->caption_ : String(), [this](const String& v) { SetLabelCaption(v); });
  DefineFontSettings(Filer, fontSettings_, a ? a->fontSettings_ : nullptr);
  Integer(Filer, L"Margin", margin_, a ? a->margin_ : 0, [this](int v) { SetMargin(v); });
  Enum(Filer, L"Orientation", orientation_, a ? a->orientation_ : skinoAuto, kOrientationNames,
       [this](int v) { SetOrientation(static_cast<TSkinLabelOrientation>(v)); });
  Event(Filer, L"OnAdjustFont", OnAdjustFont, a ? &a->OnAdjustFont : nullptr);
}

void TSkinColorItem::DefineProperties(TFiler* Filer) {
  TSkinCustomItem::DefineProperties(Filer);
  auto* a = dynamic_cast<TSkinColorItem*>(Filer->GetAncestor());
  Integer(Filer, L"Color", color_, a ? a->color_ : 0xFFFFFF, [this](int v) { SetColor(v); });
}

void TSkinCustomList::DefineProperties(TFiler* Filer) {
  TSkinCustomItem::DefineProperties(Filer);
  auto* a = dynamic_cast<TSkinCustomList*>(Filer->GetAncestor());
  Integer(Filer, L"MaxWidth", MaxWidth, a ? a->MaxWidth : 0, [this](int v) { MaxWidth = v; });
  Integer(Filer, L"MaxVisibleItems", MaxVisibleItems, a ? a->MaxVisibleItems : 8,
          [this](int v) { MaxVisibleItems = v; });
  Boolean(Filer, L"ShowImages", ShowImages, a ? a->ShowImages : false, [this](bool v) { ShowImages = v; });
  if (auto* sl = dynamic_cast<TSkinStringList*>(this)) {
    auto* as = dynamic_cast<TSkinStringList*>(a);
    Lines(Filer, L"Strings", sl->Strings(), as ? as->Strings() : nullptr);
  }
  Integer(Filer, L"ItemIndex", itemIndex_, a ? a->itemIndex_ : -1, [this](int v) { itemIndex_ = v; });
  Event(Filer, L"OnAdjustImageIndex", OnAdjustImageIndex, a ? &a->OnAdjustImageIndex : nullptr);
  Event(Filer, L"OnChange", OnChange, a ? &a->OnChange : nullptr);
  Event(Filer, L"OnClearItem", OnClearItem, a ? &a->OnClearItem : nullptr);
  Event(Filer, L"OnDrawItem", OnDrawItem, a ? &a->OnDrawItem : nullptr);
  Event(Filer, L"OnMeasureHeight", OnMeasureHeight, a ? &a->OnMeasureHeight : nullptr);
  Event(Filer, L"OnMeasureWidth", OnMeasureWidth, a ? &a->OnMeasureWidth : nullptr);
}

void TSkinMRUList::DefineProperties(TFiler* Filer) {
  TBarMRUList::DefineProperties(Filer);
  auto* a = dynamic_cast<TSkinMRUList*>(Filer->GetAncestor());
  Integer(Filer, L"KeyShift", keyShift_, a ? a->keyShift_ : 0, [this](int v) { SetKeyShift(v); });
}

void TSkinMRUListItem::DefineProperties(TFiler* Filer) {
  TSkinCustomItem::DefineProperties(Filer);
  auto* a = dynamic_cast<TSkinMRUListItem*>(Filer->GetAncestor());
  Reference(Filer, L"MRUList", mruList_, a ? a->mruList_ : nullptr, pendingMRUList_);
}

void TSkinMRUListItem::Loaded() {
  TSkinCustomItem::Loaded();
  if (pendingMRUList_.empty()) return;
  auto* l = dynamic_cast<TBarMRUList*>(BarFiler::Find(this, pendingMRUList_));
  pendingMRUList_.clear();
  SetMRUList(l);
}

void TSkinToolbar::DefineProperties(TFiler* Filer) {
  TSkinDockableWindow<TBarCustomToolbar>::DefineProperties(Filer);
  auto* a = dynamic_cast<TSkinToolbar*>(Filer->GetAncestor());
  Enum(Filer, L"ItemTransparency", itemTransparency_, a ? a->itemTransparency_ : itAuto, kItemTransparencyNames,
       [this](int v) { SetItemTransparency(static_cast<TSkinItemTransparency>(v)); });
  Integer(Filer, L"SnapDistance", snapDistance_, a ? a->snapDistance_ : 0, [this](int v) { SetSnapDistance(v); });
}

void TSkinToolWindow::DefineProperties(TFiler* Filer) {
  TSkinDockableWindow<TBarToolWindow>::DefineProperties(Filer);
  auto* a = dynamic_cast<TSkinToolWindow*>(Filer->GetAncestor());
  Integer(Filer, L"SnapDistance", snapDistance_, a ? a->snapDistance_ : 0, [this](int v) { SetSnapDistance(v); });
}

void TSkinDock::DefineProperties(TFiler* Filer) {
  TBarDock::DefineProperties(Filer);
  auto* a = dynamic_cast<TSkinDock*>(Filer->GetAncestor());
  Boolean(Filer, L"UseParentBackground", useParentBackground_, a ? a->useParentBackground_ : false,
          [this](bool v) { SetUseParentBackground(v); });
}

void TSkinSwitcher::DefineProperties(TFiler* Filer) {
  TComponent::DefineProperties(Filer);
  // Each is the program-wide state: read, it is set at once, in this order.
  auto* a = dynamic_cast<TSkinSwitcher*>(Filer->GetAncestor());
  Text(Filer, L"Theme", GetTheme(), a ? a->GetTheme() : String(), [this](const String& v) { SetTheme(v); });
  Boolean(Filer, L"EnableXPStyles", GetEnableXPStyles(), a ? a->GetEnableXPStyles() : true,
          [this](bool v) { SetEnableXPStyles(v); });
  Enum(Filer, L"FlatMenuStyle", GetFlatMenuStyle(), a ? a->GetFlatMenuStyle() : fmsAuto, kFlatMenuStyleNames,
       [this](int v) { SetFlatMenuStyle(static_cast<TFlatMenuStyle>(v)); });
  Event(Filer, L"OnThemeChange", OnThemeChange, a ? &a->OnThemeChange : nullptr);
}

void RegisterSkinClasses() {
  static const bool done = [] {
    BarFiler::RegisterClasses();
    Register<TSkinItem>(L"TSkinItem");
    Register<TSkinSubmenuItem>(L"TSkinSubmenuItem");
    Register<TSkinSeparatorItem>(L"TSkinSeparatorItem");
    Register<TSkinVisibilityToggleItem>(L"TSkinVisibilityToggleItem");
    Register<TSkinEditItem>(L"TSkinEditItem");
    Register<TSkinSpinEditItem>(L"TSkinSpinEditItem");
    Register<TSkinDropDownItem>(L"TSkinDropDownItem");
    Register<TSkinComboBoxItem>(L"TSkinComboBoxItem");
    Register<TSkinLabelItem>(L"TSkinLabelItem");
    Register<TSkinColorItem>(L"TSkinColorItem");
    Register<TSkinMRUList>(L"TSkinMRUList");
    Register<TSkinMRUListItem>(L"TSkinMRUListItem");
    Register<TSkinStringList>(L"TSkinStringList");
    Register<TSkinUndoList>(L"TSkinUndoList");
    Register<TSkinPopupMenu>(L"TSkinPopupMenu");
    Register<TSkinToolbar>(L"TSkinToolbar");
    Register<TSkinToolWindow>(L"TSkinToolWindow");
    Register<TSkinDock>(L"TSkinDock");
    Register<TSkinSwitcher>(L"TSkinSwitcher");
    // Written against a new one of their class, as the framework's own.
    CompareWithNewComponents({L"TSkinToolbar", L"TSkinToolWindow", L"TSkinDock"});
    return true;
  }();
  (void)done;
}
