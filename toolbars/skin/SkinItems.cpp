#include "toolbars/skin/SkinItems.h"

#include <algorithm>

#include "toolbars/BarImages.h"
#include "toolbars/BarUtilsWin.h"
#include "toolbars/skin/SkinEditItems.h"
#include "toolbars/skin/SkinUtils.h"
#include "toolbars/skin/SkinWindows.h"

namespace {
TSkinTheme* Theme() { return CurrentSkinTheme(); }

HDC PrepDC(TCanvas* C) {
  HDC dc = C->GetHandle();
  SelectObject(dc, C->Font()->GetHandle());
  return dc;
}

bool IsSubmenu(TBarCustomItem* I) { return I->GetItemStyle().Contains(tbisSubmenu); }
bool IsCombo(TBarCustomItem* I) { return I->GetItemStyle().Contains(tbisCombo); }
}  // namespace

// ---- font settings -----------------------------------------------------------------------
void TFontSettings::Assign(TPersistent* Source) {
  if (auto* s = dynamic_cast<TFontSettings*>(Source)) {
    if (bold_ == s->bold_ && italic_ == s->italic_ && underline_ == s->underline_ && strikeOut_ == s->strikeOut_ &&
        size_ == s->size_ && color_ == s->color_ && name_ == s->name_)
      return;
    bold_ = s->bold_;
    italic_ = s->italic_;
    underline_ = s->underline_;
    strikeOut_ = s->strikeOut_;
    size_ = s->size_;
    color_ = s->color_;
    name_ = s->name_;
    if (OnChange) OnChange(this);
    return;
  }
  TPersistent::Assign(Source);
}

void TFontSettings::Apply(TFont* Font) const {
  if (!Font) return;
  if (size_ != 100) Font->SetSize((Font->GetSize() * size_ + 50) / 100);
  if (color_ != clNone) Font->SetColor(color_);
  if (!name_.empty()) Font->SetName(name_);
  TFontStyles st = Font->GetStyle();
  auto apply = [&st](TTriState t, TFontStyle f) {
    if (t == tsTrue) st += f;
    if (t == tsFalse) st -= f;
  };
  apply(bold_, fsBold);
  apply(italic_, fsItalic);
  apply(underline_, fsUnderline);
  apply(strikeOut_, fsStrikeOut);
  if (st != Font->GetStyle()) Font->SetStyle(st);
}

// ---- items --------------------------------------------------------------------------------
TSkinCustomItem::TSkinCustomItem(TComponent* AOwner) : TBarCustomItem(AOwner), fontSettings_(new TFontSettings) {
  fontSettings_->OnChange = TNotifyEvent(this, &TSkinCustomItem::FontSettingsChanged);
  InitSkin();
}

TSkinCustomItem::~TSkinCustomItem() {
  fontSettings_->OnChange = nullptr;
  delete fontSettings_;
}

TBarItemViewerClass TSkinCustomItem::GetItemViewerClass(TBarView*) { return &TSkinItemViewer::CreateViewer; }

TBarPopupWindow* TSkinCustomItem::CreatePopup(TBarView* ParentView, TBarItemViewer* ParentViewer,
                                              bool PositionAsSubmenu, bool SelectFirstItem, bool Customizing,
                                              POINT APopupPoint, TBarPopupAlignment Alignment) {
  return TBarCustomItem::CreatePopup(ParentView, ParentViewer, PositionAsSubmenu,
                                     SelectFirstItem || ForceSelectFirst, Customizing, APopupPoint, Alignment);
}

TBarPopupWindowClass TSkinCustomItem::GetPopupWindowClass() {
  return &TBarPopupWindow::CreatePopupWindow<TSkinPopupWindow>;
}

void TSkinCustomItem::GetPopupPosition(TBarView* ParentView, TBarPopupWindow* PopupWindow,
                                       TBarPopupPositionRec& Rec) {
  SkinAdjustPopupPosition(this, ParentView, PopupWindow, Rec, true);
}

void TSkinCustomItem::SetLayout(TSkinItemLayout Value) {
  if (layout_ == Value) return;
  layout_ = Value;
  Change(true);
}

void TSkinCustomItem::SetMinHeight(int Value) {
  if (minHeight_ == Value) return;
  minHeight_ = Value;
  Change(true);
}

void TSkinCustomItem::SetMinWidth(int Value) {
  if (minWidth_ == Value) return;
  minWidth_ = Value;
  Change(true);
}

void TSkinCustomItem::SetStretch(bool Value) { ChangeItemStyleFlag(tbisStretch, Value); }

TSkinSubmenuItem::TSkinSubmenuItem(TComponent* AOwner) : TSkinCustomItem(AOwner) {
  SetItemStyle(GetItemStyle() + TBarItemStyle{tbisSubmenu, tbisSubitemsEditable});
}

void TSkinSubmenuItem::SetDropdownCombo(bool Value) { ChangeItemStyleFlag(tbisCombo, Value); }

TBarItemViewerClass TSkinSeparatorItem::GetItemViewerClass(TBarView*) {
  return &TSkinSeparatorItemViewer::CreateViewer;
}

void TSkinSeparatorItem::SetSize(int Value) {
  if (size_ == Value) return;
  size_ = Value;
  Change(true);
}

void TSkinVisibilityToggleItem::Click() {
  if (control_) control_->SetVisible(!control_->GetVisible());
  TSkinCustomItem::Click();
}

void TSkinVisibilityToggleItem::UpdateProps() {
  TComponentState s = GetComponentState();
  if (s.Contains(csLoading) || s.Contains(csDestroying) || s.Contains(csDesigning)) return;
  SetChecked(control_ && control_->GetVisible());
}

void TSkinVisibilityToggleItem::SetControl(TControl* Value) {
  if (control_ == Value) return;
  if (control_) control_->RemoveFreeNotification(this);
  control_ = Value;
  if (control_) {
    control_->FreeNotification(this);
    if (GetCaption().empty() && !GetComponentState().Contains(csLoading)) SetCaption(control_->GetText());
  }
  UpdateProps();
}

void TSkinVisibilityToggleItem::Notification(TComponent* AComponent, TOperation Operation) {
  TSkinCustomItem::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == control_) SetControl(nullptr);
}

// ---- helpers ------------------------------------------------------------------------------
int GetPopupMargin(TBarItemViewer* Viewer) {
  SIZE img{16, 16};
  if (auto* sv = dynamic_cast<TSkinItemViewer*>(Viewer)) {
    img = sv->GetImageSize();
  } else if (TCustomImageList* IL = Viewer->GetImageList()) {
    img = SIZE{BarImageWidth(IL), BarImageHeight(IL)};
  }
  int m = Theme()->GetIntegerMetrics(30);
  HDC dc = StockCompatibleDC();
  TFont* f = Viewer->View->GetFont();
  HGDIOBJ old = SelectObject(dc, f->GetHandle());
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  SelectObject(dc, old);
  int h = std::max<int>(tm.tmHeight + tm.tmExternalLeading + 2 * m, img.cy + 2 * m);
  int d = img.cy + 2 * m;
  return d > 0 ? (img.cx + 2 * m) * h / d : h;
}

static TSkinItemInfo InfoFromFlags(unsigned StateFlags, uint32_t ViewType) {
  TSkinItemInfo I;
  I.ViewType = ViewType;
  I.ItemOptions = IO_TOOLBARSTYLE;
  I.Enabled = !(StateFlags & ISF_DISABLED);
  I.Pushed = (StateFlags & ISF_PUSHED) != 0;
  I.HoverKind = (StateFlags & ISF_HOT) ? hkMouseHover : hkNone;
  I.Selected = (StateFlags & ISF_SELECTED) != 0;
  return I;
}

void DrawSkinCaption(TCanvas* Canvas, const RECT& R, const String& Text, UINT Format, unsigned StateFlags) {
  TSkinItemInfo I = InfoFromFlags(StateFlags, (StateFlags & 16) ? VT_PANEL : VT_TOOLBAR);
  Theme()->PaintCaption(Canvas, R, I, Text, Format, false);
}

void DrawSkinImage(TCanvas* Canvas, const RECT& R, TCustomImageList* ImageList, int ImageIndex, unsigned StateFlags) {
  TSkinItemInfo I = InfoFromFlags(StateFlags, VT_TOOLBAR);
  Theme()->PaintImage(Canvas, R, I, ImageList, ImageIndex);
}

void SkinAdjustPopupPosition(TBarCustomItem* Item, TBarView* ParentView, TBarPopupWindow* PopupWindow,
                             TBarPopupPositionRec& Rec, bool IsSkinItem) {
  if (!Theme()->GetBooleanMetrics(1)) {
    Item->TBarCustomItem::GetPopupPosition(ParentView, PopupWindow, Rec);
  } else {
    if (Rec.PositionAsSubmenu) {
      Rec.X += Rec.NCSizeX;
      Rec.Y += Rec.NCSizeY;
    }
    Rec.NCSizeX = Rec.NCSizeY = 0;
    RECT& P = Rec.ParentItemRect;
    int oldRight = P.right, oldBottom = P.bottom;
    P.right -= 1;
    P.bottom -= 1;
    if (Rec.X == oldRight) Rec.X -= 1;
    if (Rec.X + Rec.W <= P.left) Rec.X += 1;
    if (Rec.Y == oldBottom) Rec.Y -= 1;
    if (Rec.Y + Rec.H <= P.top) Rec.Y += 1;
    Rec.W -= 1;
    Rec.H -= 1;
    Item->TBarCustomItem::GetPopupPosition(ParentView, PopupWindow, Rec);
    if (!Rec.PositionAsSubmenu) {
      Rec.W += 1;
      Rec.H += 1;
    }
  }
  if (IsSkinItem) {
    int vt = PopupWindow ? GetWinViewType(PopupWindow) : 0;
    Rec.PlayPopupSound = (vt & VT_LISTBOX) != VT_LISTBOX;
  }
}

// ---- item viewer ------------------------------------------------------------------------------
TSkinItemViewer::TSkinItemViewer(TBarView* AView, TBarCustomItem* AItem, int AGroupLevel)
    : TBarItemViewer(AView, AItem, AGroupLevel) {}

TBarItemViewer* TSkinItemViewer::CreateViewer(TBarView* AView, TBarCustomItem* AItem, int AGroupLevel) {
  return new TSkinItemViewer(AView, AItem, AGroupLevel);
}

static bool InGridPopup(TBarView* View) { return (GetViewType(View) & VT_GRIDPOPUP) == VT_GRIDPOPUP; }

bool TSkinItemViewer::IsToolbarSize() { return TBarItemViewer::IsToolbarSize() || InGridPopup(View); }
bool TSkinItemViewer::IsToolbarStyle() { return TBarItemViewer::IsToolbarStyle() || InGridPopup(View); }

int TSkinItemViewer::GetAccRole() {
  auto* si = dynamic_cast<TSkinCustomItem*>(Item);
  if (si && si->GridPopup && IsSubmenu(Item)) return 58;
  return TBarItemViewer::GetAccRole();
}

bool TSkinItemViewer::GetImageShown() {
  if (Item->GetImageIndex() < 0) return false;
  switch (Item->GetDisplayMode()) {
    case nbdmDefault:
    case nbdmImageAndText: return true;
    case nbdmTextOnlyInMenus: return IsToolbarStyle();
    default: return false;
  }
}

SIZE TSkinItemViewer::GetImageSize() {
  TCustomImageList* IL = GetImageList();
  return IL ? SIZE{BarImageWidth(IL), BarImageHeight(IL)} : SIZE{0, 0};
}

UINT TSkinItemViewer::GetTextFlags() {
  if (!AreKeyboardCuesEnabled() && View->Style.Contains(vsUseHiddenAccels) && !View->State.Contains(vsShowAccels))
    return DT_HIDEPREFIX;
  return 0;
}

SIZE TSkinItemViewer::GetTextSize(TCanvas* Canvas, const String& Text, UINT Flags, bool Rotated) {
  HDC dc = PrepDC(Canvas);
  HFONT rf = nullptr;
  HGDIOBJ old = nullptr;
  if (Rotated) {
    rf = CreateRotatedFont(dc);
    if (rf) old = SelectObject(dc, rf);
  }
  RECT r{0, 0, 0, 0};
  if (Text.empty()) {
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    r.bottom = tm.tmHeight;
  } else {
    DrawTextW(dc, Text.c_str(), static_cast<int>(Text.size()), &r, Flags | DT_CALCRECT);
  }
  if (rf) {
    SelectObject(dc, old);
    DeleteObject(rf);
  }
  // A rotated caption runs downwards: its width is the text's height.
  return Rotated ? SIZE{r.bottom - r.top, r.right - r.left} : SIZE{r.right - r.left, r.bottom - r.top};
}

TSkinItemLayout TSkinItemViewer::EffectiveLayout() {
  auto* si = dynamic_cast<TSkinCustomItem*>(Item);
  if (si && si->GetLayout() != skinlAuto) return si->GetLayout();
  if (Item->GetEffectiveOptions().Contains(tboImageAboveCaption) || View->Orientation == tbvoVertical)
    return skinlGlyphTop;
  return skinlGlyphLeft;
}

bool TSkinItemViewer::CaptionRotated() {
  auto* si = dynamic_cast<TSkinCustomItem*>(Item);
  if (si && si->GetLayout() != skinlAuto) return false;
  TBarItemOptions o = Item->GetEffectiveOptions();
  return View->Orientation == tbvoVertical && IsToolbarStyle() && !o.Contains(tboImageAboveCaption) &&
         !o.Contains(tboNoRotation);
}

void TSkinItemViewer::DoAdjustFont(TFont* AFont, unsigned StateFlags) {
  if (Item->GetEffectiveOptions().Contains(tboDefault)) AFont->SetStyle(AFont->GetStyle() + fsBold);
  if (auto* si = dynamic_cast<TSkinCustomItem*>(Item)) {
    si->FontSettings()->Apply(AFont);
    if (si->OnAdjustFont) si->OnAdjustFont(Item, this, AFont, StateFlags);
  } else if (auto* ei = dynamic_cast<TSkinEditItem*>(Item)) {
    ei->FontSettings()->Apply(AFont);  // an edit item shown as a button
  }
}

void TSkinItemViewer::FillItemInfo(TSkinItemInfo& I, bool IsPushed) {
  I = TSkinItemInfo{};
  I.ViewType = static_cast<uint32_t>(GetViewType(View));
  bool TS = IsToolbarStyle();
  if (TS) I.ItemOptions |= IO_TOOLBARSTYLE;
  if (IsSubmenu(Item)) I.ItemOptions |= IO_SUBMENUITEM;
  if (IsCombo(Item)) I.ItemOptions |= IO_COMBO;
  if (Item->GetComponentState().Contains(csDesigning)) I.ItemOptions |= IO_DESIGNING;
  if (ApplicationIsActive()) I.ItemOptions |= IO_APPACTIVE;
  I.Enabled = Item->GetEnabled() || View->Customizing;
  I.Pushed = IsPushed;
  bool selected = View->GetSelected() == this;
  if (selected && Item->GetEnabled())
    I.HoverKind = hkMouseHover;
  else if (selected && !Item->GetEnabled() && !View->MouseOverSelected)
    I.HoverKind = hkKeyboardHover;
  I.Selected = Item->GetChecked();
  // Whether an image shows depends on its size alone: a viewer that draws
  // its own image (the colour swatch) needs no image list.
  SIZE img = GetImageSize();
  I.ImageShown = GetImageShown() && img.cx >= 1 && img.cy >= 1;
  if (I.ImageShown) {
    I.ImageWidth = img.cx;
    I.ImageHeight = img.cy;
  }
  I.IsVertical = View->Orientation == tbvoVertical && !IsCombo(Item);
  // A split item shows its sub-menu open only while pushed on the arrow:
  // pushed without the view's capture, the button part being released.
  bool pushedOnPart = IsCombo(Item) ? IsPushed && !View->Capture : IsPushed;
  I.IsPopupParent = TS && (View->OpenViewer == this || IsSubmenu(Item)) && pushedOnPart;
  if (!TS) I.PopupMargin = GetPopupMargin(this);
}

bool TSkinItemViewer::IsPtInButtonPart(int X, int Y) {
  if (IsCombo(Item)) {
    int arrow = IsToolbarStyle() ? Theme()->GetIntegerMetrics(10) : GetSystemMetrics(SM_CXMENUCHECK);
    return X < (BoundsRect.right - BoundsRect.left) - arrow;
  }
  return !IsSubmenu(Item);
}

void TSkinItemViewer::MouseUp(int X, int Y, bool MouseWasDownOnMenu) {
  // A themed item also runs when the button is released over it without
  // having been pressed there (a press dragged in from elsewhere, as in
  // menus); the core runs it itself in every other case.
  bool selected = View->GetSelected() == this, overSelected = View->MouseOverSelected;
  bool clickable = Item->GetEnabled() && !Item->GetItemStyle().Contains(tbisClicksTransparent) &&
                   !(IsSubmenu(Item) && !IsPtInButtonPart(X, Y));
  bool coreRuns = clickable && selected && overSelected && !(IsToolbarStyle() && !View->Capture);
  TBarItemViewer::MouseUp(X, Y, MouseWasDownOnMenu);
  if (!coreRuns && clickable && selected && overSelected) Execute(true);
}

void TSkinItemViewer::CalcSize(TCanvas* Canvas, int& AWidth, int& AHeight) {
  TSkinTheme* T = Theme();
  bool TS = IsToolbarStyle();
  Canvas->Font()->Assign(*View->GetFont());
  DoAdjustFont(Canvas->Font(), 0);
  HDC dc = PrepDC(Canvas);
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  String caption = GetCaptionText();
  SIZE img = GetImageSize();
  bool imageShown = GetImageShown() && img.cx >= 1 && img.cy >= 1;
  int w, h;
  if (TS) {
    bool rotated = CaptionRotated();
    TSkinItemLayout layout = EffectiveLayout();
    w = h = 6;
    if (CaptionShown()) {
      // A toolbar caption keeps its line breaks unless it runs rotated.
      SIZE ts = GetTextSize(Canvas, caption, GetTextFlags() | (rotated ? DT_SINGLELINE : 0), rotated);
      w += ts.cx;
      h += ts.cy;
      if (rotated)
        h += 4;
      else
        w += 4;
    }
    if (imageShown) {
      if (layout == skinlGlyphTop) {
        h += img.cy;
        w = std::max<int>(w, img.cx + 7);
      } else {
        w += img.cx + (glyphGap_ ? 1 : 0);
        h = std::max<int>(h, img.cy + 6);
      }
    }
    if (IsSubmenu(Item)) {
      int m20 = T->GetIntegerMetrics(20);
      bool vertical = View->Orientation == tbvoVertical;
      if (IsCombo(Item)) {
        w += T->GetIntegerMetrics(10);
      } else if (Item->GetEffectiveOptions().Contains(tboDropdownArrow)) {
        if (layout == skinlGlyphTop && imageShown && !rotated) {
          if (!vertical)
            w = std::max<int>(w, m20 + img.cx + 9);
          else
            h = std::max<int>(h, m20 + img.cy + 9);
        } else if (vertical) {
          h += m20;
        } else {
          w += m20;
        }
      }
    }
  } else {
    int m30 = T->GetIntegerMetrics(30), m31 = T->GetIntegerMetrics(31);
    SIZE ts = GetTextSize(Canvas, caption, GetTextFlags() | DT_SINGLELINE, false);
    w = 2 * m31 + ts.cx;
    h = 2 * m30 + ts.cy + tm.tmExternalLeading;
    SIZE im = imageShown ? img : SIZE{16, 16};
    h = std::max<int>(h, 2 * m30 + im.cy);
    w += T->GetIntegerMetrics(32) + GetPopupMargin(this) + T->GetIntegerMetrics(33) + T->GetIntegerMetrics(34);
    String sc = Item->GetShortCutText();
    if (!sc.empty()) w += GetTextSize(Canvas, sc, DT_NOPREFIX | DT_SINGLELINE, false).cx + (h - 6);
    w += h;
  }
  if (auto* si = dynamic_cast<TSkinCustomItem*>(Item)) {
    w = std::max(w, si->GetMinWidth());
    h = std::max(h, si->GetMinHeight());
  }
  AWidth = w;
  AHeight = h;
}

void TSkinItemViewer::DrawItemImage(TCanvas* Canvas, const RECT& ARect, const TSkinItemInfo& I) {
  TCustomImageList* IL = GetImageList();
  if (IL && Item->GetImageIndex() < IL->GetCount()) Theme()->PaintImage(Canvas, ARect, I, IL, Item->GetImageIndex());
  auto* si = dynamic_cast<TSkinCustomItem*>(Item);
  if (si && si->OnDrawImage)
    si->OnDrawImage(Item, this, Canvas, ARect, Theme()->GetImageOffset(Canvas, I, IL), GetStateFlags(I));
}

void TSkinItemViewer::Paint(TCanvas* Canvas, RECT CR, bool IsSelected, bool IsPushed, bool) {
  TSkinTheme* T = Theme();
  TSkinItemInfo I;
  FillItemInfo(I, IsPushed);
  unsigned flags = GetStateFlags(I);
  bool TS = IsToolbarStyle();
  Canvas->Font()->Assign(*View->GetFont());
  Canvas->Font()->SetColor(T->GetItemTextColor(I));
  DoAdjustFont(Canvas->Font(), flags);
  HDC dc = PrepDC(Canvas);
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);

  bool captionShown = CaptionShown();
  String caption = captionShown ? GetCaptionText() : String();
  bool rotated = TS && CaptionRotated();
  UINT textFlags = GetTextFlags() | (TS && !rotated ? 0 : DT_SINGLELINE);
  SIZE textSize = captionShown ? GetTextSize(Canvas, caption, textFlags, rotated) : SIZE{0, 0};
  TSkinItemLayout layout = EffectiveLayout();
  bool imageShown = I.ImageShown;
  SIZE img{I.ImageWidth, I.ImageHeight};
  bool submenu = IsSubmenu(Item), combo = IsCombo(Item);
  bool hasArrow = submenu && (combo || Item->GetEffectiveOptions().Contains(tboDropdownArrow));
  bool vertical = View->Orientation == tbvoVertical;
  int m20 = T->GetIntegerMetrics(20), m21 = T->GetIntegerMetrics(21);
  bool arrowBesideGlyph = hasArrow && !combo && layout == skinlGlyphTop && imageShown && captionShown && !rotated;
  RECT R = CR;

  if (TS) {
    RECT arrow{0, 0, 0, 0};
    if (hasArrow) {
      if (combo) {
        I.ComboPart = cpSplitLeft;
        int m10 = T->GetIntegerMetrics(10);
        arrow = RECT{R.right - m10, R.top, R.right, R.bottom};
        R.right -= m10;
      } else {
        I.ComboPart = cpCombo;
        if (arrowBesideGlyph) {
          int right = (m20 + img.cx + 2 + R.left + R.right + 2) / 2;
          int top = R.top + ((R.bottom - R.top) - (img.cy + 1 + textSize.cy)) / 2;
          arrow = RECT{right - m20, top, right, top + img.cy};
        } else if (!vertical) {
          arrow = RECT{R.right - m20 - m21, 0, R.right - m21, R.bottom};
        } else {
          arrow = RECT{0, R.bottom - m20 - m21, R.right, R.bottom - m21};
        }
      }
    }
    if (!combo) {
      T->PaintButton(Canvas, R, I);
      if (hasArrow) {
        T->PaintDropDownArrow(Canvas, arrow, I);
        if (!arrowBesideGlyph) {
          if (!vertical)
            R.right -= m20;
          else
            R.bottom -= m20;
        }
      }
    } else {
      // The button part shows pushed only while the mouse holds it; the
      // arrow shows pushed while its pop-up is open. The caption and image
      // below take the item's own pushed state again.
      bool capture = View->Capture;
      I.Pushed = IsPushed && capture;
      T->PaintButton(Canvas, R, I);
      TSkinItemInfo A = I;
      A.ComboPart = cpSplitRight;
      A.Pushed = IsPushed && !capture;
      A.Selected = false;
      T->PaintButton(Canvas, arrow, A);
      I.ComboPart = cpSplitLeft;
      I.Pushed = IsPushed;
    }
    InflateRect(&R, -2, -2);
  } else {
    RECT copy = R;
    T->PaintMenuItem(Canvas, copy, I);
    int m31 = T->GetIntegerMetrics(31);
    R.left += m31;
    R.right -= m31;
  }

  if (captionShown) {
    if (TS) {
      RECT tr = R;
      UINT f = textFlags | DT_CENTER | DT_VCENTER;
      if (imageShown) {
        if (layout == skinlGlyphLeft) {
          tr.left += img.cx + 3;
          f &= ~DT_CENTER;
        } else {
          tr.top += img.cy + 1 + (rotated ? 3 : 0);
          f &= ~DT_VCENTER;
        }
      }
      // Without DT_SINGLELINE the system ignores DT_VCENTER: a caption of
      // several lines is centred here.
      if (!rotated && (f & DT_VCENTER)) {
        int room = (tr.bottom - tr.top) - textSize.cy;
        if (room > 0) tr.top += room / 2;
      }
      bool def = true;
      DoPaintCaption(Canvas, CR, tr, rotated, def);
      if (def) T->PaintCaption(Canvas, tr, I, caption, f, rotated);
    } else {
      int m30 = T->GetIntegerMetrics(30);
      UINT f = textFlags | DT_SINGLELINE | DT_VCENTER;
      SIZE ts = GetTextSize(Canvas, caption, f, false);
      RECT tr = R;
      tr.left += I.PopupMargin + T->GetIntegerMetrics(32) + T->GetIntegerMetrics(33);
      if ((tr.bottom - tr.top) - (tm.tmHeight + tm.tmExternalLeading) == m30) tr.bottom -= 1;
      tr.top += tm.tmExternalLeading;
      tr.right = tr.left + ts.cx;
      bool def = true;
      DoPaintCaption(Canvas, CR, tr, false, def);
      if (def) T->PaintCaption(Canvas, tr, I, caption, f, false);
      String sc = Item->GetShortCutText();
      if (!sc.empty()) {
        SIZE ss = GetTextSize(Canvas, sc, DT_NOPREFIX | DT_SINGLELINE, false);
        RECT sr = R;
        sr.right = R.right - (CR.bottom - CR.top);
        sr.left = sr.right - ss.cx;
        if ((sr.bottom - sr.top) - (tm.tmHeight + tm.tmExternalLeading) == m30) sr.bottom -= 1;
        sr.top += tm.tmExternalLeading;
        T->PaintCaption(Canvas, sr, I, sc, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX, false);
      }
    }
  } else if (!TS) {
    String sc = Item->GetShortCutText();
    (void)sc;
  }

  bool checked = Item->GetChecked();
  if (imageShown || (!TS && checked)) {
    RECT cell = R;
    if (!TS) {
      int side = CR.bottom - CR.top;
      cell = RECT{R.left, CR.top, R.left + side, CR.bottom};
    } else if (layout == skinlGlyphLeft) {
      cell.right = cell.left + img.cx + 2;
    } else {
      cell.bottom = cell.top + img.cy + 2;
      if (arrowBesideGlyph) OffsetRect(&cell, -(m20 - 1) / 2, 0);
    }
    if (imageShown) {
      int x = cell.left + ((cell.right - cell.left) - img.cx + 1) / 2;
      int y = cell.top + ((cell.bottom - cell.top) - img.cy + 1) / 2;
      RECT ir{x, y, x + img.cx, y + img.cy};
      DrawItemImage(Canvas, ir, I);
    } else {
      T->PaintCheckMark(Canvas, cell, I);
    }
  }
  (void)IsSelected;
}

// ---- separator viewer -------------------------------------------------------------------------------
TBarItemViewer* TSkinSeparatorItemViewer::CreateViewer(TBarView* AView, TBarCustomItem* AItem, int AGroupLevel) {
  return new TSkinSeparatorItemViewer(AView, AItem, AGroupLevel);
}

void TSkinSeparatorItemViewer::CalcSize(TCanvas* Canvas, int& AWidth, int& AHeight) {
  auto* sep = dynamic_cast<TSkinSeparatorItem*>(Item);
  int size = sep ? sep->GetSize() : -1;
  bool TS = IsToolbarStyle();
  if (size < 0) {
    size = Theme()->GetIntegerMetrics(TS ? 50 : 35);
    if (size < 0) {
      TBarSeparatorItemViewer::CalcSize(Canvas, AWidth, AHeight);
      return;
    }
  }
  if (TS) {
    AWidth = size;
    AHeight = size;
  } else {
    AHeight = size;
  }
}

void TSkinSeparatorItemViewer::Paint(TCanvas* Canvas, RECT CR, bool, bool IsPushed, bool) {
  auto* sep = dynamic_cast<TBarSeparatorItem*>(Item);
  bool blank = sep && sep->GetBlank();
  if (blank) return;
  TSkinItemInfo I;
  I.ViewType = static_cast<uint32_t>(GetViewType(View));
  bool TS = IsToolbarStyle();
  if (TS) I.ItemOptions |= IO_TOOLBARSTYLE;
  if (Item->GetComponentState().Contains(csDesigning)) I.ItemOptions |= IO_DESIGNING;
  if (View->Orientation == tbvoFloating) I.ItemOptions |= IO_FLOATING;
  I.Enabled = !blank;
  I.Pushed = IsPushed;
  I.IsVertical = View->Orientation == tbvoVertical;
  if (!TS) I.PopupMargin = GetPopupMargin(this);
  bool lineSep = State.Contains(tbisLineSep);
  bool viewVertical = View->Orientation == tbvoVertical || !TS;
  bool horizontal = viewVertical != lineSep;
  int vt = static_cast<int>(I.ViewType);
  bool popupNotChevron = (vt & VT_POPUP) && (vt & VT_CHEVRONPOPUP) != VT_CHEVRONPOPUP;
  bool lineFlag = !(viewVertical != lineSep && !View->Customizing && popupNotChevron);
  Theme()->PaintSeparator(Canvas, CR, I, horizontal, lineFlag);
}

// ---- chevron viewer -----------------------------------------------------------------------------------
TBarItemViewer* TSkinChevronItemViewer::CreateViewer(TBarView* AView, TBarCustomItem* AItem, int AGroupLevel) {
  return new TSkinChevronItemViewer(AView, AItem, AGroupLevel);
}

void TSkinChevronItemViewer::Paint(TCanvas* Canvas, RECT CR, bool, bool IsPushed, bool) {
  TSkinItemInfo I;
  I.ViewType = static_cast<uint32_t>(GetViewType(View));
  I.ItemOptions = IO_TOOLBARSTYLE;
  if (Item->GetComponentState().Contains(csDesigning)) I.ItemOptions |= IO_DESIGNING;
  I.Enabled = Item->GetEnabled() || View->Customizing;
  I.Pushed = IsPushed;
  I.IsPopupParent = IsPushed;
  bool selected = View->GetSelected() == this;
  if (selected && Item->GetEnabled())
    I.HoverKind = hkMouseHover;
  else if (selected && !View->MouseOverSelected)
    I.HoverKind = hkKeyboardHover;
  I.IsVertical = View->Orientation == tbvoVertical;
  Theme()->PaintChevron(Canvas, CR, I);
}
