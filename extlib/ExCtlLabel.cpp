#include "extlib/ExCtlLabel.h"

#include "extlib/ExCtlTrack.h"
#include "extlib/ExDrawUtil.h"
#include "extlib/ExFiler.h"

using exctl::AccelOf;
using exctl::ControlUnderCursor;

namespace {
wchar_t Upper(wchar_t c) { return exctl::UpperChar(c); }
}  // namespace

int DrawShadowText(HDC dc, const wchar_t* text, int len, RECT& r, UINT format, BYTE shadowSize,
                   COLORREF shadowColor, TShadowPosition pos) {
  RECT plain = r;
  RECT shadow = r;
  COLORREF old = SetTextColor(dc, shadowColor);
  int s = shadowSize;
  switch (pos) {
    case spLeftTop: OffsetRect(&shadow, -s, -s); break;
    case spLeftBottom: OffsetRect(&shadow, -s, s); break;
    case spRightBottom: OffsetRect(&shadow, s, s); break;
    case spRightTop: OffsetRect(&shadow, s, -s); break;
  }
  int h = DrawTextW(dc, text, len, &shadow, format);
  if (h > 0) h += s;
  SetTextColor(dc, old);
  DrawTextW(dc, text, len, &plain, format);
  UnionRect(&r, &plain, &shadow);
  return h;
}

// ===========================================================================

TExtCustomLabel::TExtCustomLabel(TComponent* AOwner) : TGraphicControl(AOwner) {
  ControlStyle += csOpaque;
  ControlStyle += csReplicatable;
  width_ = 65;
  height_ = 17;
  // Sized to its (empty) caption from the start: a label written before any
  // change reads back the size it was written with.
  AdjustBounds();
}

void TExtCustomLabel::DoDrawText(HDC dc, TRect& r, UINT flags) {
  String text = GetLabelCaption();
  if ((flags & DT_CALCRECT) && (text.empty() || (showAccelChar_ && text == L"&"))) text += L' ';
  if (!showAccelChar_) flags |= DT_NOPREFIX;
  flags = DrawTextBiDiModeFlags(this, flags);
  TColor fontColor = GetDefaultFontColor();
  TColor shColor = shadowColor_;
  BYTE shSize = shadowSize_;
  TShadowPosition shPos = shadowPos_;
  if (!enabled_) {
    fontColor = clGrayText;
    shColor = clBtnHighlight;
    // Every supported platform draws new-style controls: engrave the text.
    if (shSize == 0) {
      shSize = 1;
      shPos = spRightBottom;
    }
  }
  HGDIOBJ oldFont = SelectObject(dc, font_->GetHandle());
  int oldMode = SetBkMode(dc, TRANSPARENT);
  COLORREF oldColor = SetTextColor(dc, ColorToRef(fontColor));
  DrawShadowText(dc, text.c_str(), int(text.size()), r, flags, shSize, ColorToRef(shColor), shPos);
  SetTextColor(dc, oldColor);
  SetBkMode(dc, oldMode);
  SelectObject(dc, oldFont);
}

void TExtCustomLabel::Paint() {
  if (!enabled_ && !IsDesigning()) pressed_ = false;
  TCanvas* c = Canvas();
  TRect client = GetClientRect();
  if (!GetTransparent()) {
    c->Brush()->SetColor(color_);
    c->Brush()->SetStyle(bsSolid);
    c->FillRect(client);
  }
  c->Brush()->SetStyle(bsClear);
  TRect r = client;
  r.left += leftMargin_;
  r.right -= rightMargin_;
  InflateRect(&r, -1, 0);
  UINT flags = DT_EXPANDTABS;
  if (wordWrap_) flags |= DT_WORDBREAK;
  if (alignment_ == taRightJustify) flags |= DT_RIGHT;
  else if (alignment_ == taCenter) flags |= DT_CENTER;
  else flags |= DT_LEFT;
  HDC dc = c->GetHandle();
  if (layout_ != tlTop) {
    DoDrawText(dc, r, flags | DT_CALCRECT);
    r.left = client.left + leftMargin_ + 1;
    r.right = client.right - rightMargin_ - 1;
    int delta = layout_ == tlCenter ? (height_ - r.bottom) / 2 : height_ - r.bottom;
    OffsetRect(&r, 0, delta);
  }
  DoDrawText(dc, r, flags);
  if (showFocus_ && focusControl_ && focused_ && !IsDesigning()) {
    InflateRect(&r, 1, 0);
    c->Brush()->SetStyle(bsSolid);
    c->Brush()->SetColor(color_);
    c->DrawFocusRect(r);
  }
}

void TExtCustomLabel::AdjustBounds() {
  // While a form is read the caption may come after the font: the size is
  // measured once everything is read.
  if (!autoSize_ || ControlState.Contains(csReadingState) || GetComponentState().Contains(csReading)) return;
  TRect r = GetClientRect();
  r.left += leftMargin_;
  r.right -= rightMargin_;
  InflateRect(&r, -1, 0);
  HDC dc = GetDC(nullptr);
  DoDrawText(dc, r, DT_EXPANDTABS | DT_CALCRECT | (wordWrap_ ? DT_WORDBREAK : 0));
  ReleaseDC(nullptr, dc);
  r.left -= leftMargin_ + 1;
  r.right += rightMargin_ + 1;
  // The text starts at the client's left edge; the width is its right edge.
  int w = r.right;
  int h = r.bottom;
  int x = left_;
  // Right-justified as drawn: a right-to-left label swaps the sides.
  const TAlignment drawn =
      UseRightToLeftAlignment() && alignment_ != taCenter
          ? (alignment_ == taLeftJustify ? taRightJustify : taLeftJustify)
          : alignment_;
  if (drawn == taRightJustify) x += width_ - w;
  adjusting_ = true;
  TGraphicControl::SetBounds(x, top_, w, h);
  adjusting_ = false;
}

void TExtCustomLabel::SetBounds(int l, int t, int w, int h) {
  TGraphicControl::SetBounds(l, t, w, h);
  if (!adjusting_ && GetAlign() == alNone) AdjustBounds();
}

void TExtCustomLabel::UpdateTracking() {
  bool inside = enabled_ && ControlUnderCursor() == this && IsForegroundTask();
  if (inside == mouseInside_) return;
  mouseInside_ = inside;
  if (inside) MouseEnter();
  else MouseLeave();
}

void TExtCustomLabel::MouseEnter() {
  if (OnMouseEnter) OnMouseEnter(this);
}

void TExtCustomLabel::MouseLeave() {
  if (OnMouseLeave) OnMouseLeave(this);
}

void TExtCustomLabel::Notification(TComponent* AComponent, TOperation Operation) {
  TGraphicControl::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == focusControl_) {
    focusControl_ = nullptr;
    focused_ = false;
  }
}

void TExtCustomLabel::WndProc(TMessage& m) {
  switch (m.Msg) {
    case CM_TEXTCHANGED:
    case CM_FONTCHANGED:
      AdjustBounds();
      Invalidate();
      return;
    case CM_DIALOGCHAR:
      if (focusControl_ && enabled_ && showAccelChar_) {
        wchar_t a = AccelOf(GetLabelCaption());
        if (a && Upper(a) == Upper(wchar_t(m.WParam))) {
          if (focusControl_->CanFocus()) {
            focusControl_->SetFocus();
            m.Result = 1;
          }
          return;
        }
      }
      m.Result = 0;
      return;
    case CM_FOCUSCHANGED: {
      // LParam: the control that has just received the focus.
      bool f = focusControl_ && reinterpret_cast<TControl*>(m.LParam) == focusControl_;
      if (f != focused_) {
        focused_ = f;
        if (showFocus_) Invalidate();
      }
      return;
    }
    case CM_MOUSEENTER:
      TGraphicControl::WndProc(m);
      if (!mouseInside_ && enabled_ && IsForegroundTask()) {
        mouseInside_ = true;
        MouseEnter();
      }
      return;
    case CM_MOUSELEAVE:
      TGraphicControl::WndProc(m);
      if (mouseInside_ && !pressed_) {
        mouseInside_ = false;
        MouseLeave();
      }
      return;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      if (enabled_) pressed_ = true;
      TGraphicControl::WndProc(m);
      return;
    case WM_LBUTTONUP:
      TGraphicControl::WndProc(m);
      pressed_ = false;
      UpdateTracking();
      return;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
      TGraphicControl::WndProc(m);
      UpdateTracking();
      return;
    case CM_ENABLEDCHANGED:
      TGraphicControl::WndProc(m);
      UpdateTracking();
      return;
    case CM_VISIBLECHANGED:
      TGraphicControl::WndProc(m);
      if (visible_) UpdateTracking();
      return;
    default: break;
  }
  TGraphicControl::WndProc(m);
}

void TExtCustomLabel::SetFocusControl(TWinControl* c) {
  if (c == focusControl_) return;
  if (focusControl_) focusControl_->RemoveFreeNotification(this);
  focusControl_ = c;
  focused_ = false;
  if (c) c->FreeNotification(this);
  if (showFocus_) Invalidate();
}

void TExtCustomLabel::SetAlignment(TAlignment a) {
  if (a == alignment_) return;
  alignment_ = a;
  Invalidate();
}

void TExtCustomLabel::SetAutoSize(bool v) {
  if (v == autoSize_) return;
  autoSize_ = v;
  AdjustBounds();
}

void TExtCustomLabel::SetLayout(TTextLayout l) {
  if (l == layout_) return;
  layout_ = l;
  Invalidate();
}

void TExtCustomLabel::SetShadowColor(TColor c) {
  if (c == shadowColor_) return;
  shadowColor_ = c;
  Invalidate();
}

void TExtCustomLabel::SetShadowSize(BYTE s) {
  if (s == shadowSize_) return;
  shadowSize_ = s;
  AdjustBounds();
  Invalidate();
}

void TExtCustomLabel::SetShadowPos(TShadowPosition p) {
  if (p == shadowPos_) return;
  shadowPos_ = p;
  // The shadow's side decides which way the measured text grows.
  AdjustBounds();
  Invalidate();
}

void TExtCustomLabel::SetWordWrap(bool v) {
  if (v == wordWrap_) return;
  wordWrap_ = v;
  AdjustBounds();
}

void TExtCustomLabel::SetShowAccelChar(bool v) {
  if (v == showAccelChar_) return;
  showAccelChar_ = v;
  Invalidate();
}

void TExtCustomLabel::SetShowFocus(bool v) {
  if (v == showFocus_) return;
  showFocus_ = v;
  Invalidate();
}

void TExtCustomLabel::SetTransparent(bool v) {
  if (v == GetTransparent()) return;
  if (v) ControlStyle -= csOpaque;
  else ControlStyle += csOpaque;
  Invalidate();
}

void TExtCustomLabel::SetLeftMargin(int v) {
  v = v < 0 ? 0 : v;
  if (v == leftMargin_) return;
  leftMargin_ = v;
  AdjustBounds();
  Invalidate();
}

void TExtCustomLabel::SetRightMargin(int v) {
  v = v < 0 ? 0 : v;
  if (v == rightMargin_) return;
  rightMargin_ = v;
  AdjustBounds();
  Invalidate();
}

// ---------------------------------------------------------------------------
// Form streams

void TExtLabel::DefineProperties(TFiler* Filer) {
  TExtCustomLabel::DefineProperties(Filer);
  auto* A = dynamic_cast<TExtLabel*>(Filer->GetAncestor());
  using namespace ExFiler;
  Enum(Filer, L"Alignment", GetAlignment(), A ? A->GetAlignment() : taLeftJustify,
       AlignmentNames,
       [this](int V) { SetAlignment(static_cast<TAlignment>(V)); });
  Boolean(Filer, L"AutoSize", GetAutoSize(), A ? A->GetAutoSize() : true, [this](bool V) { SetAutoSize(V); });
  Text(Filer, L"Caption", GetText(), A ? A->GetText() : String(), [this](const String& V) { SetText(V); });
  Reference(Filer, L"FocusControl", GetFocusControl(), A ? A->GetFocusControl() : nullptr, focusControlName_);
  Enum(Filer, L"Layout", GetLayout(), A ? A->GetLayout() : tlTop, {L"tlTop", L"tlCenter", L"tlBottom"},
       [this](int V) { SetLayout(static_cast<TTextLayout>(V)); });
  Integer(Filer, L"ShadowColor", GetShadowColor(), A ? A->GetShadowColor() : clBtnHighlight,
          [this](int64_t V) { SetShadowColor(static_cast<TColor>(V)); });
  Integer(Filer, L"ShadowSize", GetShadowSize(), A ? A->GetShadowSize() : 1,
          [this](int64_t V) { SetShadowSize(static_cast<BYTE>(V)); });
  Enum(Filer, L"ShadowPos", GetShadowPos(), A ? A->GetShadowPos() : spLeftTop,
       {L"spLeftTop", L"spLeftBottom", L"spRightBottom", L"spRightTop"},
       [this](int V) { SetShadowPos(static_cast<TShadowPosition>(V)); });
  Boolean(Filer, L"ShowAccelChar", GetShowAccelChar(), A ? A->GetShowAccelChar() : true,
          [this](bool V) { SetShowAccelChar(V); });
  Boolean(Filer, L"ShowFocus", GetShowFocus(), A ? A->GetShowFocus() : false, [this](bool V) { SetShowFocus(V); });
  Boolean(Filer, L"Transparent", GetTransparent(), A ? A->GetTransparent() : false,
          [this](bool V) { SetTransparent(V); });
  Boolean(Filer, L"WordWrap", GetWordWrap(), A ? A->GetWordWrap() : false, [this](bool V) { SetWordWrap(V); });
  Event(Filer, L"OnMouseEnter", OnMouseEnter, A ? &A->OnMouseEnter : nullptr);
  Event(Filer, L"OnMouseLeave", OnMouseLeave, A ? &A->OnMouseLeave : nullptr);
}

void TExtLabel::Loaded() {
  TExtCustomLabel::Loaded();
  AdjustBounds();
  if (focusControlName_.empty()) return;
  SetFocusControl(dynamic_cast<TWinControl*>(ExFiler::Find(this, focusControlName_)));
  focusControlName_.clear();
}
