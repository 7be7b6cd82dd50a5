// The class library's own component classes, registered by name so that a
// reader makes them and a writer knows what a new one of each class holds,
// and the properties and events each stores beyond its base's.
#include <objbase.h>
#include <commctrl.h>

#include <algorithm>
#include <cstring>

#include "classlib/Actions.h"
#include "classlib/Buttons.h"
#include "classlib/CheckLst.h"
#include "classlib/ComCtrls.h"
#include "classlib/Dialogs.h"
#include "classlib/ExtCtrls.h"
#include "classlib/Forms.h"
#include "classlib/Grids.h"
#include "classlib/ImgList.h"
#include "classlib/Mask.h"
#include "classlib/Menus.h"
#include "classlib/PropFiler.h"
#include "classlib/StdCtrls.h"
#include "classlib/Filer.h"
#include "classlib/ToolWin.h"

void RegisterStandardComponentClasses() {
  RegisterClasses({
      ComponentClass<TLabel>(L"TLabel"),           ComponentClass<TButton>(L"TButton"),
      ComponentClass<TCheckBox>(L"TCheckBox"),     ComponentClass<TRadioButton>(L"TRadioButton"),
      ComponentClass<TEdit>(L"TEdit"),             ComponentClass<TMemo>(L"TMemo"),
      ComponentClass<TComboBox>(L"TComboBox"),     ComponentClass<TListBox>(L"TListBox"),
      ComponentClass<TGroupBox>(L"TGroupBox"),     ComponentClass<TStaticText>(L"TStaticText"),
      ComponentClass<TPanel>(L"TPanel"),           ComponentClass<TBevel>(L"TBevel"),
      ComponentClass<TImage>(L"TImage"),           ComponentClass<TPaintBox>(L"TPaintBox"),
      ComponentClass<TSplitter>(L"TSplitter"),     ComponentClass<TRadioGroup>(L"TRadioGroup"),
      ComponentClass<TTimer>(L"TTimer"),           ComponentClass<TSpeedButton>(L"TSpeedButton"),
      ComponentClass<TBitBtn>(L"TBitBtn"),         ComponentClass<TCheckListBox>(L"TCheckListBox"),
      ComponentClass<TListView>(L"TListView"),     ComponentClass<TTabSheet>(L"TTabSheet"),
      ComponentClass<TPageControl>(L"TPageControl"), ComponentClass<TStatusBar>(L"TStatusBar"),
      ComponentClass<TProgressBar>(L"TProgressBar"), ComponentClass<TTrackBar>(L"TTrackBar"),
      ComponentClass<TAnimate>(L"TAnimate"),       ComponentClass<TRichEdit>(L"TRichEdit"),
      ComponentClass<TDrawGrid>(L"TDrawGrid"),     ComponentClass<TMaskEdit>(L"TMaskEdit"),
      ComponentClass<TToolButton>(L"TToolButton"), ComponentClass<TToolBar>(L"TToolBar"),
      ComponentClass<TCoolBar>(L"TCoolBar"),       ComponentClass<TScrollBox>(L"TScrollBox"),
      ComponentClass<TOpenDialog>(L"TOpenDialog"), ComponentClass<TSaveDialog>(L"TSaveDialog"),
      ComponentClass<TFontDialog>(L"TFontDialog"), ComponentClass<TImageList>(L"TImageList"),
      ComponentClass<TMainMenu>(L"TMainMenu"),     ComponentClass<TPopupMenu>(L"TPopupMenu"),
      ComponentClass<TMenuItem>(L"TMenuItem"),     ComponentClass<TActionList>(L"TActionList"),
      ComponentClass<TAction>(L"TAction"),
  });
  // Making one of these touches nothing but the new component.
  CompareWithNewComponents({L"TLabel",       L"TButton",      L"TCheckBox",    L"TRadioButton", L"TEdit",
                            L"TMemo",        L"TComboBox",    L"TListBox",     L"TGroupBox",    L"TStaticText",
                            L"TPanel",       L"TBevel",       L"TImage",       L"TPaintBox",    L"TSplitter",
                            L"TRadioGroup",  L"TTimer",       L"TSpeedButton", L"TBitBtn",      L"TCheckListBox",
                            L"TListView",    L"TTabSheet",    L"TPageControl", L"TStatusBar",   L"TProgressBar",
                            L"TTrackBar",    L"TAnimate",     L"TRichEdit",    L"TDrawGrid",    L"TMaskEdit",
                            L"TToolButton",  L"TToolBar",     L"TCoolBar",     L"TScrollBox",   L"TOpenDialog",
                            L"TSaveDialog",  L"TFontDialog",  L"TImageList",   L"TMainMenu",    L"TPopupMenu",
                            L"TMenuItem",    L"TActionList",  L"TAction"});
}

// An event of the component being declared, stored by its handler's name
// where it differs from the ancestor's (a, or none).
#define STORE_EVENT(Name) PropFiler::Event(Filer, L"" #Name, Name, a ? &a->Name : nullptr)

namespace {
const PropFiler::TNames kListBoxStyleNames{L"lbStandard", L"lbOwnerDrawFixed", L"lbOwnerDrawVariable"};
const PropFiler::TNames kComboBoxStyleNames{L"csDropDown", L"csSimple", L"csDropDownList", L"csOwnerDrawFixed",
                                            L"csOwnerDrawVariable"};
const PropFiler::TNames kPopupAlignmentNames{L"paLeft", L"paRight", L"paCenter"};
const PropFiler::TNames kTrackButtonNames{L"tbRightButton", L"tbLeftButton"};
const PropFiler::TNames kFontDialogOptionNames{
    L"fdAnsiOnly",      L"fdTrueTypeOnly", L"fdEffects",   L"fdFixedPitchOnly", L"fdForceFontExist", L"fdNoFaceSel",
    L"fdNoOEMFonts",    L"fdNoSimulations", L"fdNoSizeSel", L"fdNoStyleSel",    L"fdNoVectorFonts",  L"fdShowHelp",
    L"fdWysiwyg",       L"fdLimitSize",    L"fdScalableOnly", L"fdApplyButton"};
const PropFiler::TNames kFontStyleNames{L"fsBold", L"fsItalic", L"fsUnderline", L"fsStrikeOut"};

// The selected line: asked of the window only while writing; read, set once
// the lines are read (they come first).
int WrittenIndex(TFiler* Filer, const std::function<int()>& Get) {
  return dynamic_cast<TWriter*>(Filer) ? Get() : -1;
}
}  // namespace

void TCustomEdit::DefineProperties(TFiler* Filer) {
  TWinControl::DefineProperties(Filer);
  auto* a = dynamic_cast<TCustomEdit*>(Filer->GetAncestor());
  STORE_EVENT(OnChange);
}

void TCustomComboBox::DefineProperties(TFiler* Filer) {
  TWinControl::DefineProperties(Filer);
  using namespace PropFiler;
  auto* a = dynamic_cast<TCustomComboBox*>(Filer->GetAncestor());
  Enum(Filer, L"Style", style_, a ? a->style_ : csDropDown, kComboBoxStyleNames,
       [this](int v) { SetStyle(static_cast<TComboBoxStyle>(v)); });
  Integer(Filer, L"DropDownCount", dropDownCount_, a ? a->dropDownCount_ : 8,
          [this](int64_t v) { SetDropDownCount(int(v)); });
  Integer(Filer, L"MaxLength", maxLength_, a ? a->maxLength_ : 0, [this](int64_t v) { SetMaxLength(int(v)); });
  Boolean(Filer, L"Sorted", sorted_, a ? a->sorted_ : false, [this](bool v) { SetSorted(v); });
  Lines(Filer, L"Items.Strings", Items(), a ? a->Items() : nullptr);
  Integer(Filer, L"ItemIndex", WrittenIndex(Filer, [this] { return GetItemIndex(); }),
          a ? WrittenIndex(Filer, [a] { return a->GetItemIndex(); }) : -1,
          [this](int64_t v) { SetItemIndex(int(v)); });
  STORE_EVENT(OnChange);
  STORE_EVENT(OnCloseUp);
  STORE_EVENT(OnDrawItem);
  STORE_EVENT(OnDropDown);
  STORE_EVENT(OnSelect);
}

void TCustomListBox::DefineProperties(TFiler* Filer) {
  TWinControl::DefineProperties(Filer);
  using namespace PropFiler;
  auto* a = dynamic_cast<TCustomListBox*>(Filer->GetAncestor());
  // The shape of the list before its lines, the lines before the selection.
  Enum(Filer, L"Style", style_, a ? a->style_ : lbStandard, kListBoxStyleNames,
       [this](int v) { SetStyle(static_cast<TListBoxStyle>(v)); });
  Integer(Filer, L"ItemHeight", itemHeight_, a ? a->itemHeight_ : 16, [this](int64_t v) { SetItemHeight(int(v)); });
  Boolean(Filer, L"MultiSelect", multiSelect_, a ? a->multiSelect_ : false, [this](bool v) { SetMultiSelect(v); });
  Boolean(Filer, L"Sorted", sorted_, a ? a->sorted_ : false, [this](bool v) { SetSorted(v); });
  Enum(Filer, L"BorderStyle", borderStyle_ == bsNone ? 0 : 1, a ? (a->borderStyle_ == bsNone ? 0 : 1) : 1,
       {L"bsNone", L"bsSingle"}, [this](int v) { SetBorderStyle(v ? bsSingle : bsNone); });
  Integer(Filer, L"Columns", columns_, a ? a->columns_ : 0, [this](int64_t v) { SetColumns(int(v)); });
  Boolean(Filer, L"ExtendedSelect", extendedSelect_, a ? a->extendedSelect_ : true,
          [this](bool v) { SetExtendedSelect(v); });
  Boolean(Filer, L"IntegralHeight", integralHeight_, a ? a->integralHeight_ : false,
          [this](bool v) { SetIntegralHeight(v); });
  Integer(Filer, L"TabWidth", tabWidth_, a ? a->tabWidth_ : 0, [this](int64_t v) { SetTabWidth(int(v)); });
  Lines(Filer, L"Items.Strings", Items(), a ? a->Items() : nullptr);
  Integer(Filer, L"ItemIndex", WrittenIndex(Filer, [this] { return GetItemIndex(); }),
          a ? WrittenIndex(Filer, [a] { return a->GetItemIndex(); }) : -1,
          [this](int64_t v) { SetItemIndex(int(v)); });
  STORE_EVENT(OnDrawItem);
  STORE_EVENT(OnMeasureItem);
}

void TCheckListBox::DefineProperties(TFiler* Filer) {
  TCustomListBox::DefineProperties(Filer);
  auto* a = dynamic_cast<TCheckListBox*>(Filer->GetAncestor());
  STORE_EVENT(OnClickCheck);
}

void TTimer::DefineProperties(TFiler* Filer) {
  TComponent::DefineProperties(Filer);
  using namespace PropFiler;
  auto* a = dynamic_cast<TTimer*>(Filer->GetAncestor());
  Boolean(Filer, L"Enabled", enabled_, a ? a->enabled_ : true, [this](bool v) { SetEnabled(v); });
  Integer(Filer, L"Interval", interval_, a ? a->interval_ : 1000,
          [this](int64_t v) { SetInterval(static_cast<unsigned>(v)); });
  // Read through the setter: the timer runs once it has a handler.
  TNotifyEvent handler = OnTimer;
  Event(Filer, L"OnTimer", handler, a ? &a->OnTimer : nullptr);
  if (handler != OnTimer) SetOnTimer(handler);
}

void TPaintBox::DefineProperties(TFiler* Filer) {
  TGraphicControl::DefineProperties(Filer);
  auto* a = dynamic_cast<TPaintBox*>(Filer->GetAncestor());
  STORE_EVENT(OnPaint);
}

void TSplitter::DefineProperties(TFiler* Filer) {
  TGraphicControl::DefineProperties(Filer);
  auto* a = dynamic_cast<TSplitter*>(Filer->GetAncestor());
  // The splitter's own OnCanResize (a new size), declared after the
  // control's, replaces it.
  STORE_EVENT(OnCanResize);
  STORE_EVENT(OnMoved);
  STORE_EVENT(OnPaint);
}

void TMenuItem::DefineProperties(TFiler* Filer) {
  TComponent::DefineProperties(Filer);
  auto* a = dynamic_cast<TMenuItem*>(Filer->GetAncestor());
  STORE_EVENT(OnClick);
}

void TPopupMenu::DefineProperties(TFiler* Filer) {
  TComponent::DefineProperties(Filer);
  using namespace PropFiler;
  auto* a = dynamic_cast<TPopupMenu*>(Filer->GetAncestor());
  Enum(Filer, L"Alignment", alignment_, a ? a->alignment_ : paLeft, kPopupAlignmentNames,
       [this](int v) { SetAlignment(static_cast<TPopupAlignment>(v)); });
  Boolean(Filer, L"AutoPopup", GetAutoPopup(), a ? a->GetAutoPopup() : true, [this](bool v) { SetAutoPopup(v); });
  Enum(Filer, L"TrackButton", trackButton_, a ? a->trackButton_ : tbRightButton, kTrackButtonNames,
       [this](int v) { SetTrackButton(static_cast<TTrackButton>(v)); });
  STORE_EVENT(OnPopup);
}

void TCustomForm::DefineProperties(TFiler* Filer) {
  TWinControl::DefineProperties(Filer);
  auto* a = dynamic_cast<TCustomForm*>(Filer->GetAncestor());
  STORE_EVENT(OnActivate);
  STORE_EVENT(OnClose);
  STORE_EVENT(OnCloseQuery);
  STORE_EVENT(OnCreate);
  STORE_EVENT(OnDeactivate);
  STORE_EVENT(OnDestroy);
  STORE_EVENT(OnHide);
  STORE_EVENT(OnShow);
}

void TDataModule::DefineProperties(TFiler* Filer) {
  TComponent::DefineProperties(Filer);
  auto* a = dynamic_cast<TDataModule*>(Filer->GetAncestor());
  STORE_EVENT(OnCreate);
  STORE_EVENT(OnDestroy);
}

void TPageControl::DefineProperties(TFiler* Filer) {
  TWinControl::DefineProperties(Filer);
  auto* a = dynamic_cast<TPageControl*>(Filer->GetAncestor());
  STORE_EVENT(OnChange);
  STORE_EVENT(OnChanging);
}

void TTabSheet::DefineProperties(TFiler* Filer) {
  TWinControl::DefineProperties(Filer);
  auto* a = dynamic_cast<TTabSheet*>(Filer->GetAncestor());
  STORE_EVENT(OnHide);
  STORE_EVENT(OnShow);
}

void TTrackBar::DefineProperties(TFiler* Filer) {
  TWinControl::DefineProperties(Filer);
  auto* a = dynamic_cast<TTrackBar*>(Filer->GetAncestor());
  STORE_EVENT(OnChange);
}

void TAnimate::DefineProperties(TFiler* Filer) {
  TWinControl::DefineProperties(Filer);
  auto* a = dynamic_cast<TAnimate*>(Filer->GetAncestor());
  STORE_EVENT(OnOpen);
}

void TStatusBar::DefineProperties(TFiler* Filer) {
  TWinControl::DefineProperties(Filer);
  using namespace PropFiler;
  auto* a = dynamic_cast<TStatusBar*>(Filer->GetAncestor());
  Boolean(Filer, L"SimplePanel", simplePanel_, a ? a->simplePanel_ : false, [this](bool v) { SetSimplePanel(v); });
  Text(Filer, L"SimpleText", simpleText_, a ? a->simpleText_ : String(), [this](const String& v) { SetSimpleText(v); });
  Boolean(Filer, L"SizeGrip", sizeGrip_, a ? a->sizeGrip_ : true, [this](bool v) { SetSizeGrip(v); });
  STORE_EVENT(OnDrawPanel);
}

namespace {
const PropFiler::TNames kAlignmentNames{L"taLeftJustify", L"taRightJustify", L"taCenter"};

// A list view's columns as a list of their caption, width, alignment and
// automatic sizing, four values a column.
void WriteColumns(TWriter* W, TListColumns* Columns) {
  W->WriteListBegin();
  for (int i = 0; i < Columns->GetCount(); ++i) {
    TListColumn* c = Columns->GetItem(i);
    W->WriteString(c->GetCaption());
    W->WriteInteger(c->GetWidth());
    W->WriteIdent(kAlignmentNames[c->GetAlignment()]);
    W->WriteBoolean(c->GetAutoSize());
  }
  W->WriteListEnd();
}

bool SameColumns(TListColumns* X, TListColumns* Y) {
  if (X->GetCount() != Y->GetCount()) return false;
  for (int i = 0; i < X->GetCount(); ++i) {
    TListColumn* a = X->GetItem(i);
    TListColumn* b = Y->GetItem(i);
    if (a->GetCaption() != b->GetCaption() || a->GetWidth() != b->GetWidth() ||
        a->GetAlignment() != b->GetAlignment() || a->GetAutoSize() != b->GetAutoSize())
      return false;
  }
  return true;
}

// A list view's items as a list of their caption, image index and
// sub-items (a list of texts), three values an item.
void WriteItems(TWriter* W, TListItems* Items) {
  W->WriteListBegin();
  for (int i = 0; i < Items->GetCount(); ++i) {
    TListItem* it = Items->GetItem(i);
    W->WriteString(it->GetCaption());
    W->WriteInteger(it->GetImageIndex());
    W->WriteListBegin();
    for (int j = 0; j < it->SubItems()->GetCount(); ++j) W->WriteString(it->SubItems()->Get(j));
    W->WriteListEnd();
  }
  W->WriteListEnd();
}

bool SameItems(TListItems* X, TListItems* Y) {
  if (X->GetCount() != Y->GetCount()) return false;
  for (int i = 0; i < X->GetCount(); ++i) {
    TListItem* a = X->GetItem(i);
    TListItem* b = Y->GetItem(i);
    if (a->GetCaption() != b->GetCaption() || a->GetImageIndex() != b->GetImageIndex() ||
        a->SubItems()->GetCount() != b->SubItems()->GetCount())
      return false;
    for (int j = 0; j < a->SubItems()->GetCount(); ++j)
      if (a->SubItems()->Get(j) != b->SubItems()->Get(j)) return false;
  }
  return true;
}
}  // namespace

void TCustomListView::DefineProperties(TFiler* Filer) {
  TWinControl::DefineProperties(Filer);
  using namespace PropFiler;
  auto* a = dynamic_cast<TCustomListView*>(Filer->GetAncestor());
  // The columns are read whole; into the columns there are when as many
  // are read (callers keep theirs), else made anew.
  struct TColumnRead {
    String Caption;
    int Width = 0;
    TAlignment Alignment = taLeftJustify;
    bool AutoSize = false;
  };
  Filer->DefineProperty(
      L"Columns",
      [this](TReader* R) {
        ReadList<TColumnRead>(
            R,
            [](TReader* R) {
              TColumnRead c;
              c.Caption = R->ReadString();
              c.Width = R->ReadInteger();
              const String align = R->ReadIdent();
              const auto at = std::find_if(kAlignmentNames.begin(), kAlignmentNames.end(),
                                           [&](const wchar_t* n) { return align == n; });
              if (at == kAlignmentNames.end()) throw EReadError(L"Invalid property value: " + align);
              c.Alignment = static_cast<TAlignment>(at - kAlignmentNames.begin());
              c.AutoSize = R->ReadBoolean();
              return c;
            },
            columns_->GetCount(),
            [this](int n) {
              columns_->Clear();
              for (int i = 0; i < n; ++i) columns_->Add();
            },
            [this](int i, const TColumnRead& c) {
              TListColumn* column = columns_->GetItem(i);
              column->SetCaption(c.Caption);
              column->SetWidth(c.Width);
              column->SetAlignment(c.Alignment);
              column->SetAutoSize(c.AutoSize);
            });
      },
      [this](TWriter* W) { WriteColumns(W, columns_.get()); },
      a ? !SameColumns(columns_.get(), a->columns_.get()) : columns_->GetCount() > 0);
  Boolean(Filer, L"ColumnClick", columnClick_, a ? a->columnClick_ : true, [this](bool v) { SetColumnClick(v); });
  Boolean(Filer, L"GridLines", gridLines_, a ? a->gridLines_ : false, [this](bool v) { SetGridLines(v); });
  Boolean(Filer, L"HideSelection", hideSelection_, a ? a->hideSelection_ : true,
          [this](bool v) { SetHideSelection(v); });
  Link(Filer, L"LargeImages", largeImages_, a ? a->largeImages_ : nullptr,
       [this](TComponent* c) { SetLargeImages(dynamic_cast<TCustomImageList*>(c)); },
       largeImages_ && !largeImages_->GetName().empty());
  Boolean(Filer, L"MultiSelect", multiSelect_, a ? a->multiSelect_ : false, [this](bool v) { SetMultiSelect(v); });
  Boolean(Filer, L"ReadOnly", readOnly_, a ? a->readOnly_ : false, [this](bool v) { SetReadOnly(v); });
  Boolean(Filer, L"RowSelect", rowSelect_, a ? a->rowSelect_ : false, [this](bool v) { SetRowSelect(v); });
  Boolean(Filer, L"ShowColumnHeaders", showColumnHeaders_, a ? a->showColumnHeaders_ : true,
          [this](bool v) { SetShowColumnHeaders(v); });
  Link(Filer, L"SmallImages", smallImages_, a ? a->smallImages_ : nullptr,
       [this](TComponent* c) { SetSmallImages(dynamic_cast<TCustomImageList*>(c)); },
       smallImages_ && !smallImages_->GetName().empty());
  Enum(Filer, L"SortType", sortType_, a ? a->sortType_ : stNone, {L"stNone", L"stData", L"stText", L"stBoth"},
       [this](int v) { SetSortType(static_cast<TSortType>(v)); });
  Enum(Filer, L"ViewStyle", viewStyle_, a ? a->viewStyle_ : vsIcon, {L"vsIcon", L"vsSmallIcon", L"vsList", L"vsReport"},
       [this](int v) { SetViewStyle(static_cast<TViewStyle>(v)); });
  // The items after the look they are shown in, read whole: into the items
  // there are when as many are read (callers keep theirs, with their data),
  // else made anew; before the events, so that none runs for them.
  struct TItemRead {
    String Caption;
    int ImageIndex = -1;
    std::vector<String> SubItems;
  };
  Filer->DefineProperty(
      L"Items",
      [this](TReader* R) {
        items_->BeginUpdate();
        try {
          ReadList<TItemRead>(
              R,
              [](TReader* R) {
                TItemRead it;
                it.Caption = R->ReadString();
                it.ImageIndex = R->ReadInteger();
                R->ReadListBegin();
                while (!R->EndOfList()) it.SubItems.push_back(R->ReadString());
                R->ReadListEnd();
                return it;
              },
              items_->GetCount(),
              [this](int n) {
                items_->Clear();
                for (int i = 0; i < n; ++i) items_->Add();
              },
              [this](int i, const TItemRead& read) {
                TListItem* it = items_->GetItem(i);
                it->SetCaption(read.Caption);
                it->SetImageIndex(read.ImageIndex);
                TStringList sub;
                for (const String& t : read.SubItems) sub.Add(t);
                it->SubItems()->Assign(&sub);
              });
        } catch (...) {
          items_->EndUpdate();
          throw;
        }
        items_->EndUpdate();
      },
      [this](TWriter* W) { WriteItems(W, items_.get()); },
      a ? !SameItems(items_.get(), a->items_.get()) : items_->GetCount() > 0);
  STORE_EVENT(OnChange);
  STORE_EVENT(OnColumnClick);
  STORE_EVENT(OnCompare);
  STORE_EVENT(OnDeletion);
  STORE_EVENT(OnEdited);
  STORE_EVENT(OnEditing);
  STORE_EVENT(OnInsert);
  STORE_EVENT(OnSelectItem);
}

void TCustomGrid::DefineProperties(TFiler* Filer) {
  TCustomControl::DefineProperties(Filer);
  using namespace PropFiler;
  auto* a = dynamic_cast<TCustomGrid*>(Filer->GetAncestor());
  Enum(Filer, L"BorderStyle", borderStyle_ == bsNone ? 0 : 1, a ? (a->borderStyle_ == bsNone ? 0 : 1) : 1,
       {L"bsNone", L"bsSingle"}, [this](int v) { SetBorderStyle(v ? bsSingle : bsNone); });
  // The counts before the fixed ones they bound.
  Integer(Filer, L"ColCount", colCount_, a ? a->colCount_ : 5, [this](int64_t v) { SetColCount(int(v)); });
  Integer(Filer, L"RowCount", rowCount_, a ? a->rowCount_ : 5, [this](int64_t v) { SetRowCount(int(v)); });
  Integer(Filer, L"DefaultColWidth", defaultColWidth_, a ? a->defaultColWidth_ : 64,
          [this](int64_t v) { SetDefaultColWidth(int(v)); });
  Integer(Filer, L"DefaultRowHeight", defaultRowHeight_, a ? a->defaultRowHeight_ : 24,
          [this](int64_t v) { SetDefaultRowHeight(int(v)); });
  Integer(Filer, L"FixedCols", fixedCols_, a ? a->fixedCols_ : 1, [this](int64_t v) { SetFixedCols(int(v)); });
  Integer(Filer, L"FixedRows", fixedRows_, a ? a->fixedRows_ : 1, [this](int64_t v) { SetFixedRows(int(v)); });
  Integer(Filer, L"GridLineWidth", gridLineWidth_, a ? a->gridLineWidth_ : 1,
          [this](int64_t v) { SetGridLineWidth(int(v)); });
  Set(Filer, L"Options", options_.Bits(),
      (a ? a->options_ : TGridOptions{goFixedVertLine, goFixedHorzLine, goVertLine, goHorzLine, goRangeSelect}).Bits(),
      {L"goFixedVertLine", L"goFixedHorzLine", L"goVertLine", L"goHorzLine", L"goRangeSelect", L"goDrawFocusSelected",
       L"goRowSizing", L"goColSizing", L"goRowMoving", L"goColMoving", L"goEditing", L"goTabs", L"goRowSelect",
       L"goAlwaysShowEditor", L"goThumbTracking"},
      [this](uint64_t v) { SetOptions(TGridOptions::FromBits(v)); });
  Enum(Filer, L"ScrollBars", scrollBars_, a ? a->scrollBars_ : ssBoth, {L"ssNone", L"ssHorizontal", L"ssVertical", L"ssBoth"},
       [this](int v) { SetScrollBars(static_cast<TScrollStyle>(v)); });
  STORE_EVENT(OnDrawCell);
  STORE_EVENT(OnSelectCell);
  STORE_EVENT(OnTopLeftChanged);
}

void TCommonDialog::DefineProperties(TFiler* Filer) {
  TComponent::DefineProperties(Filer);
  auto* a = dynamic_cast<TCommonDialog*>(Filer->GetAncestor());
  PropFiler::Integer(Filer, L"HelpContext", helpContext_, a ? a->helpContext_ : 0,
                     [this](int64_t v) { SetHelpContext(static_cast<THelpContext>(v)); });
  STORE_EVENT(OnClose);
  STORE_EVENT(OnShow);
}

const std::vector<const wchar_t*>& OpenOptionNames() {
  static const std::vector<const wchar_t*> names{
      L"ofReadOnly",         L"ofOverwritePrompt",    L"ofHideReadOnly",        L"ofNoChangeDir",
      L"ofShowHelp",         L"ofNoValidate",         L"ofAllowMultiSelect",    L"ofExtensionDifferent",
      L"ofPathMustExist",    L"ofFileMustExist",      L"ofCreatePrompt",        L"ofShareAware",
      L"ofNoReadOnlyReturn", L"ofNoTestFileCreate",   L"ofNoNetworkButton",     L"ofNoLongNames",
      L"ofOldStyleDialog",   L"ofNoDereferenceLinks", L"ofEnableIncludeNotify", L"ofEnableSizing",
      L"ofDontAddToRecent",  L"ofForceShowHidden"};
  return names;
}

void TOpenDialog::DefineProperties(TFiler* Filer) {
  TCommonDialog::DefineProperties(Filer);
  using namespace PropFiler;
  auto* a = dynamic_cast<TOpenDialog*>(Filer->GetAncestor());
  Text(Filer, L"DefaultExt", defaultExt_, a ? a->defaultExt_ : String(), [this](const String& v) { SetDefaultExt(v); });
  Enum(Filer, L"FileEditStyle", fileEditStyle_, a ? a->fileEditStyle_ : fsEdit, {L"fsEdit", L"fsComboBox"},
       [this](int v) { SetFileEditStyle(static_cast<TFileEditStyle>(v)); });
  Text(Filer, L"FileName", fileName_, a ? a->fileName_ : String(), [this](const String& v) { SetFileName(v); });
  Text(Filer, L"Filter", filter_, a ? a->filter_ : String(), [this](const String& v) { SetFilter(v); });
  Integer(Filer, L"FilterIndex", filterIndex_, a ? a->filterIndex_ : 1, [this](int64_t v) { SetFilterIndex(int(v)); });
  Lines(Filer, L"HistoryList.Strings", HistoryList(), a ? a->HistoryList() : nullptr);
  Text(Filer, L"InitialDir", initialDir_, a ? a->initialDir_ : String(), [this](const String& v) { SetInitialDir(v); });
  Set(Filer, L"Options", options_.Bits(), (a ? a->options_ : TOpenOptions{ofHideReadOnly, ofEnableSizing}).Bits(),
      OpenOptionNames(), [this](uint64_t v) { SetOptions(TOpenOptions::FromBits(v)); });
  Set(Filer, L"OptionsEx", optionsEx_.Bits(), a ? a->optionsEx_.Bits() : 0, {L"ofExNoPlacesBar"},
      [this](uint64_t v) { SetOptionsEx(TOpenOptionsEx::FromBits(v)); });
  Text(Filer, L"Title", title_, a ? a->title_ : String(), [this](const String& v) { SetTitle(v); });
}

void TFontDialog::DefineProperties(TFiler* Filer) {
  TCommonDialog::DefineProperties(Filer);
  using namespace PropFiler;
  auto* a = dynamic_cast<TFontDialog*>(Filer->GetAncestor());
  TFont fresh;
  const TFont& f = *font_;
  const TFont& b = a ? *a->font_ : fresh;
  Integer(Filer, L"Font.Charset", f.GetCharset(), b.GetCharset(),
          [this](int64_t v) { font_->SetCharset(TFontCharset(v)); });
  Integer(Filer, L"Font.Color", f.GetColor(), b.GetColor(), [this](int64_t v) { font_->SetColor(TColor(v)); });
  Integer(Filer, L"Font.Height", f.GetHeight(), b.GetHeight(), [this](int64_t v) { font_->SetHeight(int(v)); });
  Text(Filer, L"Font.Name", f.GetName(), b.GetName(), [this](const String& v) { font_->SetName(v); });
  Set(Filer, L"Font.Style", f.GetStyle().Bits(), b.GetStyle().Bits(), kFontStyleNames,
      [this](uint64_t v) { font_->SetStyle(TFontStyles::FromBits(v)); });
  Integer(Filer, L"MaxFontSize", MaxFontSize, a ? a->MaxFontSize : 0, [this](int64_t v) { MaxFontSize = int(v); });
  Integer(Filer, L"MinFontSize", MinFontSize, a ? a->MinFontSize : 0, [this](int64_t v) { MinFontSize = int(v); });
  Set(Filer, L"Options", options_.Bits(), (a ? a->options_ : TFontDialogOptions{fdEffects}).Bits(),
      kFontDialogOptionNames, [this](uint64_t v) { SetOptions(TFontDialogOptions::FromBits(v)); });
}

void TCustomAction::DefineProperties(TFiler* Filer) {
  TContainedAction::DefineProperties(Filer);
  using namespace PropFiler;
  auto* a = dynamic_cast<TCustomAction*>(Filer->GetAncestor());
  Boolean(Filer, L"AutoCheck", autoCheck_, a ? a->autoCheck_ : false, [this](bool v) { SetAutoCheck(v); });
  Text(Filer, L"Caption", caption_, a ? a->caption_ : String(), [this](const String& v) { SetCaption(v); });
  Text(Filer, L"Category", GetCategory(), a ? a->GetCategory() : String(), [this](const String& v) { SetCategory(v); });
  Boolean(Filer, L"Checked", checked_, a ? a->checked_ : false, [this](bool v) { SetChecked(v); });
  Boolean(Filer, L"DisableIfNoHandler", disableIfNoHandler_, a ? a->disableIfNoHandler_ : true,
          [this](bool v) { SetDisableIfNoHandler(v); });
  Boolean(Filer, L"Enabled", enabled_, a ? a->enabled_ : true, [this](bool v) { SetEnabled(v); });
  Integer(Filer, L"GroupIndex", groupIndex_, a ? a->groupIndex_ : 0, [this](int64_t v) { SetGroupIndex(int(v)); });
  Integer(Filer, L"HelpContext", helpContext_, a ? a->helpContext_ : 0,
          [this](int64_t v) { SetHelpContext(static_cast<THelpContext>(v)); });
  Text(Filer, L"Hint", hint_, a ? a->hint_ : String(), [this](const String& v) { SetHint(v); });
  Integer(Filer, L"ImageIndex", imageIndex_, a ? a->imageIndex_ : -1, [this](int64_t v) { SetImageIndex(int(v)); });
  Integer(Filer, L"ShortCut", shortCut_, a ? a->shortCut_ : 0,
          [this](int64_t v) { SetShortCut(static_cast<TShortCut>(v)); });
  Boolean(Filer, L"Visible", visible_, a ? a->visible_ : true, [this](bool v) { SetVisible(v); });
  STORE_EVENT(OnExecute);
  STORE_EVENT(OnHint);
  STORE_EVENT(OnUpdate);
}

void TCustomActionList::DefineProperties(TFiler* Filer) {
  TComponent::DefineProperties(Filer);
  auto* a = dynamic_cast<TCustomActionList*>(Filer->GetAncestor());
  PropFiler::Link(Filer, L"Images", GetImages(), a ? a->GetImages() : nullptr,
                  [this](TComponent* c) { SetImages(dynamic_cast<TCustomImageList*>(c)); },
                  GetImages() && !GetImages()->GetName().empty());
  STORE_EVENT(OnChange);
  STORE_EVENT(OnExecute);
  STORE_EVENT(OnUpdate);
}

// The image list's stream functions, which commctrl.h declares only where
// it was included after the COM stream interface.
#ifndef __IStream_INTERFACE_DEFINED__
#error the COM stream interface is needed
#endif
extern "C" {
BOOL WINAPI ImageList_Write(HIMAGELIST, IStream*);
HIMAGELIST WINAPI ImageList_Read(IStream*);
}

namespace {
// The images of a list (with their masks and depth) as the system writes
// them to a stream; empty for a list without images.
std::vector<uint8_t> ImageListBytes(TCustomImageList* List) {
  std::vector<uint8_t> bytes;
  if (List->GetCount() == 0) return bytes;
  IStream* s = nullptr;
  if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &s))) return bytes;
  if (ImageList_Write(List->GetHandle(), s)) {
    HGLOBAL g = nullptr;
    if (SUCCEEDED(GetHGlobalFromStream(s, &g))) {
      STATSTG st{};
      s->Stat(&st, STATFLAG_NONAME);
      const auto* p = static_cast<const uint8_t*>(GlobalLock(g));
      if (p) bytes.assign(p, p + st.cbSize.QuadPart);
      GlobalUnlock(g);
    }
  }
  s->Release();
  return bytes;
}

// A list of the images Bytes hold, or null for bytes that hold none.
HIMAGELIST ImageListFromBytes(TMemoryStream* Bytes) {
  HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE, static_cast<SIZE_T>(Bytes->GetSize()) + 1);
  if (!g) return nullptr;
  if (void* p = GlobalLock(g)) {
    if (Bytes->GetSize()) memcpy(p, Bytes->Memory(), static_cast<size_t>(Bytes->GetSize()));
    GlobalUnlock(g);
  }
  IStream* s = nullptr;
  if (FAILED(CreateStreamOnHGlobal(g, TRUE, &s))) {
    GlobalFree(g);
    return nullptr;
  }
  HIMAGELIST h = ImageList_Read(s);
  s->Release();
  return h;
}
}  // namespace

void TCustomImageList::DefineProperties(TFiler* Filer) {
  TComponent::DefineProperties(Filer);
  using namespace PropFiler;
  auto* a = dynamic_cast<TCustomImageList*>(Filer->GetAncestor());
  // The size and kind of list before its images: changing them empties it.
  Integer(Filer, L"Height", height_, a ? a->height_ : 16, [this](int64_t v) { SetHeight(int(v)); });
  Integer(Filer, L"Width", width_, a ? a->width_ : 16, [this](int64_t v) { SetWidth(int(v)); });
  Boolean(Filer, L"Masked", masked_, a ? a->masked_ : true, [this](bool v) { SetMasked(v); });
  Integer(Filer, L"BkColor", bkColor_, a ? a->bkColor_ : clNone, [this](int64_t v) { SetBkColor(TColor(v)); });
  const bool writing = dynamic_cast<TWriter*>(Filer) != nullptr;
  std::vector<uint8_t> images = writing ? ImageListBytes(this) : std::vector<uint8_t>();
  const bool differs = writing && (a ? images != ImageListBytes(a) : !images.empty());
  Filer->DefineBinaryProperty(
      L"Bitmap",
      [this](TStream* S) {
        auto* m = dynamic_cast<TMemoryStream*>(S);
        HIMAGELIST h = m ? ImageListFromBytes(m) : nullptr;
        if (!h) throw EReadError(L"Invalid image list data");
        SetHandle(h);
        if (bkColor_ != clNone) ImageList_SetBkColor(h, ColorToRef(bkColor_));
        Change();
      },
      [&images](TStream* S) { S->WriteBuffer(images.data(), static_cast<int64_t>(images.size())); }, differs);
  STORE_EVENT(OnChange);
}
