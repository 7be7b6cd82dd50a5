// Item viewers: measuring, painting and mouse handling of one item in one view.
#include <algorithm>

#include "classlib/Forms.h"
#include "toolbars/BarAcc.h"
#include "toolbars/BarImages.h"
#include "toolbars/BarUtilsWin.h"
#include "toolbars/BarViews.h"

namespace {
// The canvas's DC with its font, text colour and brush mode in place.
HDC PrepDC(TCanvas* C) {
  HDC dc = C->GetHandle();
  SelectObject(dc, C->Font()->GetHandle());
  SetTextColor(dc, ColorToRef(C->Font()->GetColor()));
  SetBkMode(dc, C->Brush()->GetStyle() == bsClear ? TRANSPARENT : OPAQUE);
  return dc;
}

void DitherFill(HDC dc, const RECT& r) { BarDitherRect(dc, r, ColorToRef(clBtnFace), ColorToRef(clBtnHighlight)); }

// Paints a monochrome glyph: where the glyph is black the colour goes down.
void DrawMonoGlyph(HDC dc, HBITMAP glyph, int x, int y, int w, int h, TColor color) {
  HDC mem = CreateCompatibleDC(dc);
  HGDIOBJ oldBmp = SelectObject(mem, glyph);
  HBRUSH b = CreateSolidBrush(ColorToRef(color));
  HGDIOBJ oldBrush = SelectObject(dc, b);
  COLORREF oldText = SetTextColor(dc, RGB(0, 0, 0));
  COLORREF oldBk = SetBkColor(dc, RGB(255, 255, 255));
  BitBlt(dc, x, y, w, h, mem, 0, 0, 0x00E20746);
  SetTextColor(dc, oldText);
  SetBkColor(dc, oldBk);
  SelectObject(dc, oldBrush);
  DeleteObject(b);
  SelectObject(mem, oldBmp);
  DeleteDC(mem);
}

void Polyline2(HDC dc, TColor c, int cx, int cy, const POINT* pts, int n) {
  std::vector<POINT> p(pts, pts + n);
  for (auto& q : p) {
    q.x += cx;
    q.y += cy;
  }
  HPEN pen = CreatePen(PS_SOLID, 1, ColorToRef(c));
  HGDIOBJ old = SelectObject(dc, pen);
  Polyline(dc, p.data(), n);
  SelectObject(dc, old);
  DeleteObject(pen);
}
}  // namespace

// ---- TBarItemViewer -------------------------------------------------------------
TBarItemViewer::TBarItemViewer(TBarView* AView, TBarCustomItem* AItem, int AGroupLevel)
    : GroupLevel(AGroupLevel), Item(AItem), View(AView) {
  BarClickQueue::AddRef();
}

TBarItemViewer::~TBarItemViewer() {
  BarClickQueue::Forget(this);
  ReleaseAccObject();
  BarClickQueue::Release();
}

TBarItemViewer* TBarItemViewer::CreateViewer(TBarView* AView, TBarCustomItem* AItem, int AGroupLevel) {
  return new TBarItemViewer(AView, AItem, AGroupLevel);
}

int TBarItemViewer::GetIndex() { return View->IndexOf(this); }

POINT TBarItemViewer::ScreenToClient(POINT P) {
  if (View->Window && View->Window->HandleAllocated()) ::ScreenToClient(View->Window->GetHandle(), &P);
  P.x -= BoundsRect.left;
  P.y -= BoundsRect.top;
  return P;
}

String TBarItemViewer::GetCaptionText() {
  const String& c = Item->GetCaption();
  size_t tab = c.find(L'\t');
  return tab == String::npos ? c : c.substr(0, tab);
}

String TBarItemViewer::GetHintText() {
  String h = GetShortHint(Item->GetHint());
  bool submenuShown = Item->GetItemStyle().Contains(tbisSubmenu) &&
                      !Item->GetItemStyle().Contains(tbisCombo) && CaptionShown();
  if (h.empty() && !submenuShown) h = StripAccelChars(StripTrailingPunctuation(GetCaptionText()));
  // The item's action may change the hint or refuse it.
  if (auto* a = dynamic_cast<TCustomAction*>(Item->GetAction()))
    if (!a->DoHint(h)) h.clear();
  if (!h.empty() && Application && Application->GetHintShortCuts() && Item->GetShortCut() != 0)
    h = h + L" (" + ShortCutToText(Item->GetShortCut()) + L")";
  return h;
}

bool TBarItemViewer::CaptionShown() {
  if (Item->GetEffectiveOptions().Contains(tboImageAboveCaption)) return true;
  if (GetCaptionText().empty()) return false;
  return !IsToolbarSize() || Item->GetImageIndex() < 0 ||
         Item->GetDisplayMode() == nbdmTextOnly || Item->GetDisplayMode() == nbdmImageAndText;
}

bool TBarItemViewer::ImageShown() {
  if (Item->GetImageIndex() < 0) return false;
  switch (Item->GetDisplayMode()) {
    case nbdmDefault:
    case nbdmImageAndText:
      return true;
    default:
      return IsToolbarStyle() && Item->GetDisplayMode() == nbdmTextOnlyInMenus;
  }
}

TCustomImageList* TBarItemViewer::GetImageList() {
  if (Item->GetImages()) return Item->GetImages();
  for (TBarView* v = View; v; v = v->ParentView) {
    if (v->GetCurParentItem() && v->GetCurParentItem()->GetSubMenuImages())
      return v->GetCurParentItem()->GetSubMenuImages();
    if (v->GetParentItem() && v->GetParentItem()->GetSubMenuImages())
      return v->GetParentItem()->GetSubMenuImages();
  }
  return nullptr;
}

bool TBarItemViewer::IsRotated() {
  TBarItemOptions o = Item->GetEffectiveOptions();
  return View->Orientation == tbvoVertical && !o.Contains(tboNoRotation) &&
         !o.Contains(tboImageAboveCaption);
}

bool TBarItemViewer::IsToolbarStyle() {
  return View->IsToolbar || Item->GetEffectiveOptions().Contains(tboToolbarStyle);
}

bool TBarItemViewer::IsToolbarSize() {
  return View->IsToolbar || Item->GetEffectiveOptions().Contains(tboToolbarSize);
}

bool TBarItemViewer::UsesSameWidth() {
  TBarItemOptions o = Item->GetEffectiveOptions();
  return o.Contains(tboImageAboveCaption) && o.Contains(tboSameWidth) && IsToolbarSize();
}

bool TBarItemViewer::IsPtInButtonPart(int X, int) {
  TBarItemStyle s = Item->GetItemStyle();
  if (!s.Contains(tbisSubmenu)) return true;
  if (!s.Contains(tbisCombo)) return false;
  int part = IsToolbarStyle() ? 11 : GetSystemMetrics(SM_CXMENUCHECK);
  return X < (BoundsRect.right - BoundsRect.left) - part;
}

void TBarItemViewer::Entering(TBarItemViewer*) {
  if (Item->OnSelect) Item->OnSelect(Item, this, true);
}

void TBarItemViewer::Leaving() {
  if (Item->OnSelect) Item->OnSelect(Item, this, false);
}

bool TBarItemViewer::DoExecute() {
  View->EndModalWithClick(this);
  return true;
}

void TBarItemViewer::Execute(bool AGivePriority) {
  if (DoExecute() && AGivePriority) View->GivePriority(this);
}

void TBarItemViewer::AccSelect(bool AExecute) {
  if (GetAccObject()) AccObject->HandleAccSelect(AExecute);
}

void TBarItemViewer::PostAccSelect(bool AExecute) { BarClickQueue::QueueClick(this, AExecute ? 1 : 0); }

int TBarItemViewer::GetAccRole() {
  if (dynamic_cast<TBarControlItem*>(Item)) return 10;
  if (dynamic_cast<TBarSeparatorItem*>(Item)) return 21;
  if (View->IsPopup || View->Style.Contains(vsMenuBar)) return 12;
  return Item->GetItemStyle().Contains(tbisSubmenu) ? 57 : 43;
}

void TBarItemViewer::CalcSize(TCanvas* Canvas, int& AWidth, int& AHeight) {
  bool TS = IsToolbarStyle();
  HDC dc = PrepDC(Canvas);
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  String caption = GetCaptionText();
  TCustomImageList* IL = GetImageList();
  int w = TS ? 6 : 0, h = TS ? 6 : 0;
  if (!TS || CaptionShown()) {
    if (IsRotated()) {
      HFONT rf = CreateRotatedFont(dc);
      HGDIOBJ old = rf ? SelectObject(dc, rf) : nullptr;
      w += tm.tmHeight;
      h += GetTextWidth(dc, caption, true);
      if (TS) h += 6;
      if (rf) {
        SelectObject(dc, old);
        DeleteObject(rf);
      }
    } else {
      h += tm.tmHeight;
      w += GetTextWidth(dc, caption, true);
      if (TS) w += 6;
    }
  }
  if (TS && ImageShown() && IL) {
    int iw = BarImageWidth(IL), ih = BarImageHeight(IL);
    if (!IsRotated() && !Item->GetEffectiveOptions().Contains(tboImageAboveCaption)) {
      w += iw + 1;
      h = std::max(h, ih + 6);
    } else {
      h += ih;
      w = std::max(w, iw + 7);
    }
  }
  if (TS && Item->GetItemStyle().Contains(tbisSubmenu)) {
    if (Item->GetItemStyle().Contains(tbisCombo))
      w += 11;
    else if (Item->GetEffectiveOptions().Contains(tboDropdownArrow)) {
      if (View->Orientation == tbvoVertical)
        h += 8;
      else
        w += 8;
    }
  }
  if (!TS) {
    h += tm.tmExternalLeading + 4;
    int imgCol;
    if (IL) {
      int rowH = BarImageHeight(IL) + 3;
      h = std::max(h, rowH);
      imgCol = MulDiv(BarImageWidth(IL) + 3, h, BarImageHeight(IL) + 3);
    } else {
      imgCol = h;
    }
    w += imgCol + 6;
    String sc = Item->GetShortCutText();
    if (!sc.empty()) w += GetTextWidth(dc, sc, true) + (h - 6);
    w += h;
  }
  AWidth = w;
  AHeight = h;
}

void TBarItemViewer::DrawItemCaption(TCanvas* Canvas, RECT ARect, const String& ACaption,
                                     bool ADrawDisabledShadow, UINT AFormat) {
  HDC dc = PrepDC(Canvas);
  auto draw = [&](RECT r) {
    if (IsRotated())
      DrawRotatedText(dc, ACaption, r, AFormat);
    else
      DrawTextW(dc, ACaption.c_str(), static_cast<int>(ACaption.size()), &r, AFormat);
  };
  if (ADrawDisabledShadow) {
    COLORREF old = GetTextColor(dc);
    RECT r = ARect;
    OffsetRect(&r, 1, 1);
    SetTextColor(dc, ColorToRef(clBtnHighlight));
    draw(r);
    SetTextColor(dc, ColorToRef(clBtnShadow));
    draw(ARect);
    SetTextColor(dc, old);
  } else {
    draw(ARect);
  }
}

void TBarItemViewer::DrawDropdownArrow(TCanvas* Canvas, RECT D, bool UseDisabledShadow) {
  HDC dc = Canvas->GetHandle();
  auto tri = [&](int dx, int dy, TColor c) {
    int CX = (D.left + D.right) / 2 + dx, CY = (D.top + D.bottom) / 2 + dy;
    POINT p[3];
    if (View->Orientation != tbvoVertical) {
      CY -= 1;
      p[0] = {CX - 2, CY};
      p[1] = {CX + 2, CY};
      p[2] = {CX, CY + 2};
    } else {
      CX -= 1;
      p[0] = {CX, CY + 2};
      p[1] = {CX, CY - 2};
      p[2] = {CX - 2, CY};
    }
    HPEN pen = CreatePen(PS_SOLID, 1, ColorToRef(c));
    HBRUSH br = CreateSolidBrush(ColorToRef(c));
    HGDIOBJ op = SelectObject(dc, pen), ob = SelectObject(dc, br);
    Polygon(dc, p, 3);
    SelectObject(dc, op);
    SelectObject(dc, ob);
    DeleteObject(pen);
    DeleteObject(br);
  };
  if (UseDisabledShadow) {
    tri(1, 1, clBtnHighlight);
    tri(0, 0, clBtnShadow);
  } else {
    tri(0, 0, Canvas->Font()->GetColor());
  }
}

void TBarItemViewer::Paint(TCanvas* Canvas, RECT RC, bool IsSelected, bool IsPushed,
                           bool UseDisabledShadow) {
  HDC dc = PrepDC(Canvas);
  bool TS = IsToolbarStyle();
  bool ShowEnabled = Item->GetEnabled() || View->Customizing;
  TBarItemStyle st = Item->GetItemStyle();
  bool isSubmenu = st.Contains(tbisSubmenu);
  bool isCombo = st.Contains(tbisCombo);
  bool HasArrow = isSubmenu && (isCombo || Item->GetEffectiveOptions().Contains(tboDropdownArrow));
  int CheckW = GetSystemMetrics(SM_CXMENUCHECK), CheckH = GetSystemMetrics(SM_CYMENUCHECK);
  TCustomImageList* IL = GetImageList();
  bool ImageOn = ImageShown() && IL;
  bool checked = Item->GetChecked();
  bool selEnabled = IsSelected && ShowEnabled;
  int M = 0;
  if (!TS) M = IL ? MulDiv(BarImageWidth(IL) + 3, RC.bottom, BarImageHeight(IL) + 3) : RC.bottom;
  const RECT full = RC;

  if (!TS && IsSelected) {
    RECT hr = RC;
    if (ImageOn || checked) hr.left += M + 1;
    if (isCombo && selEnabled) hr.right -= CheckW;
    Canvas->FillRect(hr);
  }
  bool viewCapture = View->Capture;
  if (TS) {
    RECT D{0, 0, 0, 0};
    if (HasArrow) {
      if (!isCombo) {
        if (View->Orientation != tbvoVertical)
          D = RECT{RC.right - 11, 0, RC.right - 3, RC.bottom};
        else
          D = RECT{0, RC.bottom - 11, RC.right, RC.bottom - 3};
      } else {
        RC.right -= 2;
        D = RECT{RC.right - 9, RC.top, RC.right, RC.bottom};
        RC.right = D.left;
      }
    }
    // A designed item shows its button frame whatever its state.
    const bool designed = Item->IsDesigning();
    if (selEnabled || checked || designed) {
      if (!isCombo) {
        RECT e = RC;
        DrawEdge(dc, &e, (IsPushed || checked) ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
      } else {
        RECT e = RC;
        bool pushed = (IsPushed && viewCapture) || checked;
        DrawEdge(dc, &e, pushed ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
        if (selEnabled || designed) {
          RECT d = D;
          DrawEdge(dc, &d, (IsPushed && !viewCapture) ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
        }
      }
    }
    if (HasArrow) {
      RECT d = D;
      if (!isCombo && IsPushed) OffsetRect(&d, 1, 1);
      DrawDropdownArrow(Canvas, d, UseDisabledShadow);
    }
    InflateRect(&RC, -1, -1);
    if (checked && !selEnabled) DitherFill(dc, RC);
    InflateRect(&RC, -1, -1);
    if (checked || (IsSelected && IsPushed && (!isCombo || viewCapture))) OffsetRect(&RC, 1, 1);
    if (HasArrow && !isCombo) {
      if (View->Orientation == tbvoVertical)
        RC.bottom -= 8;
      else
        RC.right -= 8;
    }
  }

  SetBkMode(dc, TRANSPARENT);
  HFONT boldFont = nullptr;
  HGDIOBJ oldFont = nullptr;
  if (Item->GetEffectiveOptions().Contains(tboDefault)) {
    LOGFONTW lf{};
    GetObjectW(GetCurrentObject(dc, OBJ_FONT), sizeof(lf), &lf);
    lf.lfWeight = FW_BOLD;
    boldFont = CreateFontIndirectW(&lf);
    oldFont = SelectObject(dc, boldFont);
  }
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);

  if (CaptionShown()) {
    UINT flags = 0;
    if (!AreKeyboardCuesEnabled() && View->Style.Contains(vsUseHiddenAccels) &&
        !View->State.Contains(vsShowAccels))
      flags = DT_HIDEPREFIX;
    RECT cr = RC;
    if (!TS) {
      cr.left = RC.left + M + 3;
      if ((cr.bottom - cr.top) - (tm.tmHeight + tm.tmExternalLeading) == 4) cr.bottom -= 1;
      cr.top += tm.tmExternalLeading;
      flags |= DT_SINGLELINE | DT_VCENTER;
    } else {
      if (ImageOn) {
        if (!IsRotated() && !Item->GetEffectiveOptions().Contains(tboImageAboveCaption))
          cr.left += BarImageWidth(IL) + 1;
        else
          cr.top += BarImageHeight(IL) + 1;
      }
      flags |= DT_SINGLELINE | DT_VCENTER | DT_CENTER;
    }
    DrawItemCaption(Canvas, cr, GetCaptionText(), UseDisabledShadow, flags);
  }

  if (!TS) {
    String sc = Item->GetShortCutText();
    if (!sc.empty()) {
      int w = GetTextWidth(dc, sc, false);
      RECT sr = RC;
      sr.left = RC.right - (RC.bottom - RC.top) - w;
      if ((sr.bottom - sr.top) - (tm.tmHeight + tm.tmExternalLeading) == 4) sr.bottom -= 1;
      sr.top += tm.tmExternalLeading;
      DrawItemCaption(Canvas, sr, sc, UseDisabledShadow, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    }
    if (isSubmenu) {
      if (isCombo) {
        RECT b{RC.right - CheckW, RC.top, RC.right, RC.bottom};
        if (!selEnabled) b.left -= 1;
        if (!IsSelected)
          DrawEdge(dc, &b, EDGE_ETCHED, BF_LEFT);
        else if (!ShowEnabled)
          DrawEdge(dc, &b, BDR_SUNKENOUTER, BF_LEFT);
        else
          DrawEdge(dc, &b, BDR_SUNKENOUTER, BF_RECT | BF_MIDDLE);
      }
      HBITMAP glyph = CreateBitmap(CheckW, CheckH, 1, 1, nullptr);
      HDC mem = CreateCompatibleDC(dc);
      HGDIOBJ ob = SelectObject(mem, glyph);
      RECT gr{0, 0, CheckW, CheckH};
      PatBlt(mem, 0, 0, CheckW, CheckH, WHITENESS);
      DrawFrameControl(mem, &gr, DFC_MENU, DFCS_MENUARROW);
      // The arrow comes out black on white; the glyph blit paints set bits.
      PatBlt(mem, 0, 0, CheckW, CheckH, DSTINVERT);
      SelectObject(mem, ob);
      DeleteDC(mem);
      int gx = RC.right - CheckW, gy = RC.top + ((RC.bottom - RC.top) - CheckH) / 2;
      if (UseDisabledShadow) {
        DrawMonoGlyph(dc, glyph, gx + 1, gy + 1, CheckW, CheckH, clBtnHighlight);
        DrawMonoGlyph(dc, glyph, gx, gy, CheckW, CheckH, clBtnShadow);
      } else if (isCombo && selEnabled) {
        DrawMonoGlyph(dc, glyph, gx + 1, gy + 1, CheckW, CheckH, clBtnText);
      } else {
        DrawMonoGlyph(dc, glyph, gx, gy, CheckW, CheckH, Canvas->Font()->GetColor());
      }
      DeleteObject(glyph);
    }
  }

  if (ImageOn || (!TS && checked)) {
    RECT box;
    if (!TS) {
      box = RECT{RC.left, RC.top, RC.left + M, RC.bottom};
      if (selEnabled || checked) {
        RECT e = box;
        DrawEdge(dc, &e, checked ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT | BF_MIDDLE);
      }
      if (checked && !IsSelected) {
        RECT in = box;
        InflateRect(&in, -1, -1);
        DitherFill(dc, in);
      }
      if (checked) OffsetRect(&box, 1, 1);
    } else {
      box = RC;
      if (IsRotated() || Item->GetEffectiveOptions().Contains(tboImageAboveCaption))
        box.bottom = box.top + BarImageHeight(IL) + 2;
      else
        box.right = box.left + BarImageWidth(IL) + 2;
    }
    if (!ImageOn) {
      int cx = (box.left + box.right) / 2 - 2, cy = (box.top + box.bottom) / 2 + 1;
      static const POINT dark[7] = {{-2, -2}, {0, 0}, {4, -4}, {4, -3}, {0, 1}, {-2, -1}, {-2, -2}};
      static const POINT light[5] = {{-3, -2}, {-3, -1}, {0, 2}, {5, -3}, {5, -5}};
      Polyline2(dc, clBtnText, cx, cy, dark, 7);
      Polyline2(dc, clBtnHighlight, cx, cy, light, 5);
    } else {
      int iw = BarImageWidth(IL), ih = BarImageHeight(IL);
      int x = box.left + ((box.right - box.left) - iw + 1) / 2;
      int y = box.top + ((box.bottom - box.top) - ih + 1) / 2;
      BarImageDrawState(IL, Canvas, x, y, Item->GetImageIndex(), ShowEnabled, IsSelected, checked);
    }
  }
  (void)full;
  if (boldFont) {
    SelectObject(dc, oldFont);
    DeleteObject(boldFont);
  }
}

void TBarItemViewer::MouseDown(TBarShift Shift, int X, int Y, bool& MouseDownOnMenu) {
  bool topToolbar = !View->ParentView && !View->IsPopup;
  if (!Item->GetEnabled()) {
    if (topToolbar) View->EndModal();
    return;
  }
  if (IsPtInButtonPart(X, Y)) {
    if (IsToolbarStyle()) {
      View->CancelChildPopups();
      View->SetCapture();
      View->Invalidate(this);
    }
    return;
  }
  TBarItemViewer* wasOpen = View->OpenViewer;
  if (View->OpenChildPopup(false)) {
    if (wasOpen == this && topToolbar) MouseDownOnMenu = true;
    if ((Shift & barShiftDouble) && !Item->GetItemStyle().Contains(tbisCombo) && View->OpenViewerView) {
      TBarView* pv = View->OpenViewerView;
      for (int i = 0; i < pv->ViewerCount(); ++i) {
        TBarItemViewer* v = pv->Viewers(i);
        TBarCustomItem* it = v->Item;
        if ((v->Show || v->Clipped) && it->GetEffectiveOptions().Contains(tboDefault) &&
            it->GetItemStyle().Contains(tbisSelectable) && it->GetEnabled() && it->GetVisible()) {
          v->Execute(true);
          break;
        }
      }
    }
  }
}

void TBarItemViewer::MouseUp(int X, int Y, bool MouseWasDownOnMenu) {
  bool hadCapture = View->Capture;
  View->CancelCapture();
  bool topToolbar = !View->ParentView && !View->IsPopup;
  if (!View->MouseOverSelected || View->GetSelected() != this || !Item->GetEnabled() ||
      Item->GetItemStyle().Contains(tbisClicksTransparent)) {
    if (topToolbar) View->EndModal();
    return;
  }
  if (Item->GetItemStyle().Contains(tbisSubmenu) && !IsPtInButtonPart(X, Y)) {
    if (MouseWasDownOnMenu && topToolbar) View->EndModal();
    return;
  }
  if (IsToolbarStyle() && !hadCapture) return;
  Execute(true);
}

void TBarItemViewer::LosingCapture() { View->Invalidate(this); }

// ---- separator viewer --------------------------------------------------------------
TBarItemViewer* TBarSeparatorItemViewer::CreateViewer(TBarView* AView, TBarCustomItem* AItem,
                                                      int AGroupLevel) {
  return new TBarSeparatorItemViewer(AView, AItem, AGroupLevel);
}

void TBarSeparatorItemViewer::CalcSize(TCanvas* Canvas, int& AWidth, int& AHeight) {
  if (IsToolbarStyle()) {
    AWidth = 6;
    AHeight = 6;
  } else {
    HDC dc = PrepDC(Canvas);
    AHeight += DivRoundUp(GetTextHeight(dc) * 2, 3);
  }
}

void TBarSeparatorItemViewer::Paint(TCanvas* Canvas, RECT R, bool, bool, bool) {
  auto* sep = dynamic_cast<TBarSeparatorItem*>(Item);
  if (sep && sep->GetBlank()) return;
  HDC dc = Canvas->GetHandle();
  bool horiz = !IsToolbarStyle() || View->Orientation == tbvoVertical;
  bool lineSep = State.Contains(tbisLineSep);
  if (lineSep) horiz = !horiz;
  if (horiz) {
    RECT r = R;
    r.top = R.bottom / 2 - 1;
    if (!IsToolbarStyle()) {
      r.left += 12;
      r.right -= 12;
    }
    if (lineSep) {
      int inset = View->Orientation == tbvoFloating ? 1 : 4;
      r.left += inset;
      r.right -= inset;
    }
    DrawEdge(dc, &r, EDGE_ETCHED, BF_TOP);
  } else {
    RECT r = R;
    r.left = R.right / 2 - 1;
    if (lineSep) {
      r.top += 4;
      r.bottom -= 4;
    }
    DrawEdge(dc, &r, EDGE_ETCHED, BF_LEFT);
  }
}
