#include "toolbars/skin/SkinExtItems.h"

#include <algorithm>

#include "toolbars/BarUtilsWin.h"
#include "toolbars/skin/SkinUtils.h"

namespace {
TSkinTheme* Theme() { return CurrentSkinTheme(); }

bool VerticalWithoutEdit(TBarView* V, TBarEditItem* I) {
  return V && V->Orientation == tbvoVertical && !I->GetEditOptions().Contains(tboUseEditWhenVertical);
}

// Whether Text begins with Prefix, compared in the system's locale without case.
bool StartsWithNoCase(const String& Text, const String& Prefix) {
  if (Text.size() < Prefix.size()) return false;
  return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, Text.c_str(), static_cast<int>(Prefix.size()),
                        Prefix.c_str(), static_cast<int>(Prefix.size())) == CSTR_EQUAL;
}
bool SameNoCase(const String& A, const String& B) {
  return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, A.c_str(), static_cast<int>(A.size()), B.c_str(),
                        static_cast<int>(B.size())) == CSTR_EQUAL;
}
}  // namespace

// ---- drop-down item ---------------------------------------------------------------------
TSkinCustomDropDownItem::TSkinCustomDropDownItem(TComponent* AOwner) : TSkinEditItem(AOwner) {
  SetItemStyle(GetItemStyle() + TBarItemStyle{tbisSubmenu, tbisCombo, tbisSubitemsEditable} -
               TBarItemStyle{tbisDontSelectFirst});
}

TBarItemViewerClass TSkinCustomDropDownItem::GetItemViewerClass(TBarView* AView) {
  if (VerticalWithoutEdit(AView, this)) return &TSkinItemViewer::CreateViewer;
  return &TSkinDropDownItemViewer::CreateViewer;
}

TBarPopupWindow* TSkinCustomDropDownItem::CreatePopup(TBarView* ParentView, TBarItemViewer* ParentViewer,
                                                      bool PositionAsSubmenu, bool SelectFirstItem,
                                                      bool Customizing, POINT APopupPoint,
                                                      TBarPopupAlignment Alignment) {
  return TSkinEditItem::CreatePopup(ParentView, ParentViewer, PositionAsSubmenu, SelectFirstItem || AlwaysSelectFirst,
                                    Customizing, APopupPoint, Alignment);
}

TBarItemViewer* TSkinDropDownItemViewer::CreateViewer(TBarView* AView, TBarCustomItem* AItem, int AGroupLevel) {
  return new TSkinDropDownItemViewer(AView, AItem, AGroupLevel);
}

void TSkinDropDownItemViewer::GetEditInfo(TSkinEditInfo& E, const TSkinItemInfo& I) {
  TSkinEditItemViewer::GetEditInfo(E, I);
  E.RightBtnInfo.ButtonType = 1;
  int s = 0;
  if (!Item->GetEnabled()) s |= 1;
  if (I.HoverKind == hkMouseHover) s |= 2;
  if (I.Pushed) s |= 4;
  E.RightBtnInfo.ButtonState = s;
}

int TSkinDropDownItemViewer::GetIndentAfter() {
  return IsToolbarStyle() ? Theme()->GetIntegerMetrics(65) : GetSystemMetrics(SM_CXMENUCHECK);
}

bool TSkinDropDownItemViewer::HandleEditMessage(TMessage& M) {
  if (M.Msg == WM_KEYDOWN && M.WParam == VK_F4) {
    View->OpenChildPopup(true);
    return true;
  }
  return TSkinEditItemViewer::HandleEditMessage(M);
}

bool TSkinDropDownItemViewer::IsPtInButtonPart(int X, int) {
  if (DropDownItem()->DropDownList) return false;  // the whole item opens the list
  TBarItemStyle s = Item->GetItemStyle();
  if (!s.Contains(tbisCombo)) return !s.Contains(tbisSubmenu);
  return X < (BoundsRect.right - BoundsRect.left) - GetIndentAfter();
}

// A list-only item has no field to type in: running it opens the list.
bool TSkinDropDownItemViewer::DoExecute() {
  if (!DropDownItem()->DropDownList) return TSkinEditItemViewer::DoExecute();
  View->OpenChildPopup(true);
  return false;
}

void TSkinDropDownItemViewer::GetCursor(POINT Pt, HCURSOR& ACursor) {
  if (DropDownItem()->DropDownList) return;
  TSkinEditItemViewer::GetCursor(Pt, ACursor);
}

void TSkinDropDownItemViewer::KeyDown(WORD& Key, TBarShift Shift) {
  if (DropDownItem()->DropDownList) return;
  TSkinEditItemViewer::KeyDown(Key, Shift);
}

// ---- combo box ----------------------------------------------------------------------------
TSkinComboBoxItem::TSkinComboBoxItem(TComponent* AOwner) : TSkinCustomDropDownItem(AOwner) {
  SetItemStyle(GetItemStyle() - TBarItemStyle{tbisSubitemsEditable});
  list_ = GetStringListClass(this);
  list_->OnChange = TNotifyEvent(this, &TSkinComboBoxItem::ListChangeHandler);
  list_->OnClick = TNotifyEvent(this, &TSkinComboBoxItem::ListClickHandler);
  list_->OnAdjustImageIndex = TSkinLAdjustImageIndex(this, &TSkinComboBoxItem::ListImageIndexHandler);
  list_->SetMinWidth(64);
  // The list is what drops down: it becomes the sub-item here, since forms
  // built in code never stream in, or in Loaded. A designed combo box has
  // no sub-items, as the designer shows only the item's own.
  if (!GetComponentState().Contains(csDesigning)) Add(list_);
}

TBarItemViewerClass TSkinComboBoxItem::GetItemViewerClass(TBarView* AView) {
  if (VerticalWithoutEdit(AView, this)) return &TSkinItemViewer::CreateViewer;
  return &TSkinComboBoxItemViewer::CreateViewer;
}

void TSkinComboBoxItem::SetDesigning(bool Value, bool SetChildren) {
  TSkinCustomDropDownItem::SetDesigning(Value, SetChildren);
  if (Value && ContainsItem(list_))
    Remove(list_);
  else if (!Value && !ContainsItem(list_))
    Add(list_);
}

void TSkinComboBoxItem::Loaded() {
  TSkinCustomDropDownItem::Loaded();
  int i = Strings()->IndexOf(GetText());
  if (i >= 0) {
    updating_ = true;
    list_->SetItemIndex(i);
    updating_ = false;
  }
  if (!GetComponentState().Contains(csDesigning) && !ContainsItem(list_)) Add(list_);
}

void TSkinComboBoxItem::DoPopup(TBarCustomItem* Sender, bool FromLink) {
  TSkinCustomDropDownItem::DoPopup(Sender, FromLink);
  list_->SetItemIndex(Strings()->IndexOf(GetText()));
}

void TSkinComboBoxItem::DoBeginEdit(TBarEditItemViewer* Viewer) {
  TSkinCustomDropDownItem::DoBeginEdit(Viewer);
  if (Viewer->EditControl) lastText_ = Viewer->EditControl->GetText();
}

void TSkinComboBoxItem::DoChange(TObject* EditControl, const String& AText) {
  TSkinCustomDropDownItem::DoChange(EditControl, AText);
  cacheValid_ = false;
  if (updating_ || GetComponentState().Contains(csLoading)) return;
  updating_ = true;
  try {
    String S = AText;
    int found = -1;
    String T;
    if (!S.empty()) {
      for (int i = 0; i < Strings()->GetCount(); ++i) {
        if (StartsWithNoCase(Strings()->Get(i), S)) {
          found = i;
          T = Strings()->Get(i);
          break;
        }
      }
    }
    if (found >= 0) {
      list_->MakeVisible(found);
      auto* edit = dynamic_cast<TCustomEdit*>(EditControl);
      if (AutoComplete && edit && S.size() > lastText_.size() && StartsWithNoCase(S, lastText_)) {
        edit->SetText(T);
        edit->SetSelStart(static_cast<int>(S.size()));
        edit->SetSelLength(static_cast<int>(T.size() - S.size()));
        S = T;
      }
      list_->SetItemIndex(SameNoCase(S, T) ? found : -1);
    } else {
      list_->SetItemIndex(-1);
    }
    lastText_ = AText;
  } catch (...) {
    updating_ = false;
    throw;
  }
  updating_ = false;
}

void TSkinComboBoxItem::DoListChange() {
  int i = list_->GetItemIndex();
  if (i < 0 || i >= Strings()->GetCount()) return;
  // May run inside the completion of DoChange: keep its flag as it was.
  bool was = updating_;
  updating_ = true;
  try {
    String T = Strings()->Get(i);
    if (GetText() != T) {
      SetText(T);
      DoChange(nullptr, GetText());
    }
  } catch (...) {
    updating_ = was;
    throw;
  }
  updating_ = was;
}

void TSkinComboBoxItem::DoListClick() {
  if (OnItemClick) OnItemClick(this);
}

void TSkinComboBoxItem::ListChangeHandler(TObject*) {
  cacheValid_ = false;
  DoListChange();
}

void TSkinComboBoxItem::ListClickHandler(TObject*) {
  cacheValid_ = false;
  DoListClick();
}

void TSkinComboBoxItem::ListImageIndexHandler(TObject*, int AIndex, int& ImageIndex) {
  if (AIndex >= 0 && AIndex < Strings()->GetCount()) AdjustImageIndex(Strings()->Get(AIndex), AIndex, ImageIndex);
}

void TSkinComboBoxItem::AdjustImageIndex(const String& AText, int AIndex, int& ImageIndex) {
  if (OnAdjustImageIndex) OnAdjustImageIndex(this, AText, AIndex, ImageIndex);
}

TImageIndex TSkinComboBoxItem::GetImageIndexOf() {
  if (!cacheValid_) {
    cachedImageIndex_ = GetImageIndex();
    if (list_->GetItemIndex() >= 0) cachedImageIndex_ = list_->GetItemIndex();
    AdjustImageIndex(GetText(), -1, cachedImageIndex_);
    cacheValid_ = true;
  }
  return cachedImageIndex_;
}

TBarItemViewer* TSkinComboBoxItemViewer::CreateViewer(TBarView* AView, TBarCustomItem* AItem, int AGroupLevel) {
  return new TSkinComboBoxItemViewer(AView, AItem, AGroupLevel);
}

bool TSkinComboBoxItemViewer::HandleEditMessage(TMessage& M) {
  if (M.Msg == WM_KEYDOWN && (M.WParam == VK_UP || M.WParam == VK_DOWN)) {
    auto* c = static_cast<TSkinComboBoxItem*>(Item);
    // Up from the first string clears the selection; the index never
    // leaves the list (Down stays on the last string, Up on no selection).
    const int i = std::clamp(c->GetItemIndex() + (M.WParam == VK_UP ? -1 : 1), -1, c->Strings()->GetCount() - 1);
    if (i != c->GetItemIndex()) c->SetItemIndex(i);
    if (EditControl) {
      EditControl->SetText(c->GetText());
      EditControl->SelectAll();
    }
    return true;
  }
  return TSkinDropDownItemViewer::HandleEditMessage(M);
}

// ---- label ---------------------------------------------------------------------------------
TSkinLabelItem::TSkinLabelItem(TComponent* AOwner) : TBarCustomItem(AOwner), fontSettings_(new TFontSettings) {
  InitSkin();
  fontSettings_->OnChange = TNotifyEvent(this, &TSkinLabelItem::FontSettingsChanged);
  SetItemStyle(GetItemStyle() - TBarItemStyle{tbisSelectable} + TBarItemStyle{tbisClicksTransparent, tbisStretch});
}

TSkinLabelItem::~TSkinLabelItem() {
  fontSettings_->OnChange = nullptr;
  delete fontSettings_;
}

TBarItemViewerClass TSkinLabelItem::GetItemViewerClass(TBarView*) { return &TSkinLabelItemViewer::CreateViewer; }

void TSkinLabelItem::SetLabelCaption(const TCaption& Value) {
  if (caption_ == Value) return;
  caption_ = Value;
  Change(true);
}

void TSkinLabelItem::UpdateCaption(const TCaption& Value) {
  caption_ = Value;
  Change(false);
}

void TSkinLabelItem::SetMargin(int Value) {
  if (margin_ == Value) return;
  margin_ = Value;
  Change(true);
}

void TSkinLabelItem::SetOrientation(TSkinLabelOrientation Value) {
  if (orientation_ == Value) return;
  orientation_ = Value;
  Change(true);
}

TBarItemViewer* TSkinLabelItemViewer::CreateViewer(TBarView* AView, TBarCustomItem* AItem, int AGroupLevel) {
  return new TSkinLabelItemViewer(AView, AItem, AGroupLevel);
}

String TSkinLabelItemViewer::GetCaptionText() {
  auto* l = dynamic_cast<TSkinLabelItem*>(Item);
  String c = l ? l->GetLabelCaption() : Item->GetCaption();
  size_t tab = c.find(L'\t');
  return tab == String::npos ? c : c.substr(0, tab);
}

bool TSkinLabelItemViewer::GetIsHoriz() {
  auto* l = dynamic_cast<TSkinLabelItem*>(Item);
  TSkinLabelOrientation o = l ? l->GetOrientation() : skinoAuto;
  if (o == skinoHorizontal) return true;
  if (o == skinoVertical) return false;
  return View->Orientation != tbvoVertical;
}

static bool LabelInGrid(TBarView* V) { return (GetViewType(V) & VT_GRIDPOPUP) == VT_GRIDPOPUP; }
bool TSkinLabelItemViewer::IsToolbarSize() { return TBarItemViewer::IsToolbarSize() || LabelInGrid(View); }
bool TSkinLabelItemViewer::IsToolbarStyle() { return TBarItemViewer::IsToolbarStyle() || LabelInGrid(View); }

void TSkinLabelItemViewer::DoAdjustFont(TFont* AFont, unsigned StateFlags) {
  if (auto* l = dynamic_cast<TSkinLabelItem*>(Item)) {
    l->FontSettings()->Apply(AFont);
    if (l->OnAdjustFont) l->OnAdjustFont(Item, this, AFont, StateFlags);
  }
}

void TSkinLabelItemViewer::CalcSize(TCanvas* Canvas, int& AWidth, int& AHeight) {
  Canvas->Font()->Assign(*View->GetFont());
  DoAdjustFont(Canvas->Font(), 0);
  HDC dc = Canvas->GetHandle();
  SelectObject(dc, Canvas->Font()->GetHandle());
  String text = GetCaptionText();
  if (text.empty()) text = L"0";
  auto* l = dynamic_cast<TSkinLabelItem*>(Item);
  int margin = l ? l->GetMargin() : 0;
  int w, h;
  if (IsToolbarStyle()) {
    w = h = margin;
    if (GetIsHoriz()) {
      h += GetTextHeight(dc);
      w += GetTextWidth(dc, text, true);
    } else {
      HFONT rf = CreateRotatedFont(dc);
      HGDIOBJ old = rf ? SelectObject(dc, rf) : nullptr;
      w += GetTextHeight(dc);
      h += GetTextWidth(dc, text, true);
      if (rf) {
        SelectObject(dc, old);
        DeleteObject(rf);
      }
    }
  } else {
    w = GetTextWidth(dc, text, true);
    h = GetTextHeight(dc);
  }
  w = std::max(w, 6) + 2 * margin + 1;
  h = std::max(h, 6) + 2 * margin + 1;
  AWidth = w;
  AHeight = h;
}

void TSkinLabelItemViewer::Paint(TCanvas* Canvas, RECT CR, bool, bool, bool) {
  TSkinItemInfo I;
  I.ViewType = static_cast<uint32_t>(GetViewType(View));
  I.ItemOptions = IO_TOOLBARSTYLE;
  if (Item->GetComponentState().Contains(csDesigning)) I.ItemOptions |= IO_DESIGNING;
  I.Enabled = Item->GetEnabled() || View->Customizing;
  bool horiz = GetIsHoriz();
  I.IsVertical = !horiz;
  Canvas->Font()->Assign(*View->GetFont());
  Canvas->Font()->SetColor(Theme()->GetItemTextColor(I));
  DoAdjustFont(Canvas->Font(), I.Enabled ? 0 : ISF_DISABLED);
  Canvas->Brush()->SetStyle(bsClear);
  Theme()->PaintCaption(Canvas, CR, I, GetCaptionText(), DT_CENTER | DT_VCENTER | DT_SINGLELINE, !horiz);
  Canvas->Brush()->SetStyle(bsSolid);
}

// ---- colour item ---------------------------------------------------------------------------
TBarItemViewerClass TSkinColorItem::GetItemViewerClass(TBarView*) { return &TSkinColorItemViewer::CreateViewer; }

void TSkinColorItem::SetColor(TColor Value) {
  if (color_ == Value) return;
  color_ = Value;
  Change(false);
}

TSkinColorItemViewer::TSkinColorItemViewer(TBarView* AView, TBarCustomItem* AItem, int AGroupLevel)
    : TSkinItemViewer(AView, AItem, AGroupLevel) {
  glyphGap_ = false;
}

TBarItemViewer* TSkinColorItemViewer::CreateViewer(TBarView* AView, TBarCustomItem* AItem, int AGroupLevel) {
  return new TSkinColorItemViewer(AView, AItem, AGroupLevel);
}

SIZE TSkinColorItemViewer::GetImageSize() { return IsToolbarStyle() ? SIZE{12, 12} : SIZE{16, 16}; }

bool TSkinColorItemViewer::GetImageShown() {
  switch (Item->GetDisplayMode()) {
    case nbdmDefault:
    case nbdmImageAndText: return true;
    case nbdmTextOnlyInMenus: return IsToolbarStyle();
    default: return false;
  }
}

void TSkinColorItemViewer::DrawItemImage(TCanvas* Canvas, const RECT& ARect, const TSkinItemInfo& I) {
  RECT R = ARect;
  if (I.Enabled) {
    if (!IsToolbarStyle()) InflateRect(&R, -2, -2);
    TColor c = static_cast<TSkinColorItem*>(Item)->GetColor();
    if (c != clNone) {
      FrameRectEx(Canvas, R, clBtnShadow, true);
      FillRectEx(Canvas, R, c);
    }
  } else {
    R.right += 1;
    R.bottom += 1;
    DrawEdge(Canvas->GetHandle(), &R, EDGE_ETCHED, BF_RECT);
  }
}

void TSkinColorItemViewer::DoPaintCaption(TCanvas* Canvas, const RECT& CR, RECT& CaptionRect, bool IsRotated,
                                          bool&) {
  if ((GetViewType(View) & VT_GRIDPOPUP) != VT_GRIDPOPUP) return;
  // The caption's own width is centred in the row, not the room the
  // swatch leaves beside it.
  if (!IsRotated)
    CaptionRect.right = CaptionRect.left + GetTextSize(Canvas, GetCaptionText(), GetTextFlags(), false).cx;
  OffsetRect(&CaptionRect, -CaptionRect.left, 0);
  OffsetRect(&CaptionRect, (CR.right - CaptionRect.right) / 2, 0);
}

// ---- MRU ------------------------------------------------------------------------------------
namespace {
TBarCustomItem* NewSkinMRUItem(TComponent* AOwner) { return new TSkinItem(AOwner); }
}  // namespace

TBarMRUItemClass TSkinMRUList::GetItemClass() { return &NewSkinMRUItem; }

void TSkinMRUList::SetKeyShift(int Value) {
  keyShift_ = Value < 0 ? 0 : Value;
  SetItemCaptions();
}

void TSkinMRUList::SetItemCaptions() {
  TBarMRUList::SetItemCaptions();
  auto* container = dynamic_cast<TSkinCustomItem*>(GetItemContainer());
  if (!container) return;
  for (int i = 0; i < container->Count(); ++i)
    if (auto* it = dynamic_cast<TSkinCustomItem*>(container->GetItem(i)))
      it->FontSettings()->Assign(container->FontSettings());
}

TSkinMRUListItem::TSkinMRUListItem(TComponent* AOwner) : TSkinCustomItem(AOwner) {
  SetItemStyle(GetItemStyle() + TBarItemStyle{tbisEmbeddedGroup});
  SetCaption(GetDefaultCaption());
}

String TSkinMRUListItem::GetDefaultCaption() const {
  String c = SBarMRUListItemDefCaption;
  if (!c.empty()) c.insert(1, L"Skin ");
  return c;
}

void TSkinMRUListItem::SetMRUList(TBarMRUList* Value) {
  if (mruList_ == Value) return;
  mruList_ = Value;
  if (Value) {
    Value->FreeNotification(this);
    SetLinkSubitems(Value->GetItemContainer());
  } else {
    SetLinkSubitems(nullptr);
  }
}

void TSkinMRUListItem::Notification(TComponent* AComponent, TOperation Operation) {
  TSkinCustomItem::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == mruList_) SetMRUList(nullptr);
}
