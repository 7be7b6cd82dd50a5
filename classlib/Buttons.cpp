#include "classlib/Buttons.h"

#include <algorithm>

void DrawButtonGlyphAndCaption(TCanvas* Canvas, const TRect& r, TBitmap* Glyph, int NumGlyphs, TButtonState State,
                               const String& Caption, TButtonLayout Layout, int Margin, int Spacing, int Offset) {
  const bool hasGlyph = Glyph && !Glyph->Empty();
  NumGlyphs = std::clamp(NumGlyphs, 1, 4);
  const int gw = hasGlyph ? Glyph->GetWidth() / NumGlyphs : 0;
  const int gh = hasGlyph ? Glyph->GetHeight() : 0;
  TRect textR = Rect(0, 0, 0, 0);
  HDC dc = Canvas->GetHandle();
  const HGDIOBJ oldFont = SelectObject(dc, Canvas->Font()->GetHandle());
  if (!Caption.empty()) {
    RECT t{0, 0, RectWidth(r), 0};
    DrawTextW(dc, Caption.c_str(), int(Caption.size()), &t, DT_CALCRECT | DT_SINGLELINE);
    textR = Rect(0, 0, t.right - t.left, t.bottom - t.top);
  }
  const bool across = Layout == blGlyphLeft || Layout == blGlyphRight;
  const int room = across ? RectWidth(r) : RectHeight(r);
  const int glyphSize = across ? gw : gh;
  const int textSize = across ? RectWidth(textR) : RectHeight(textR);
  if (!gw || Caption.empty()) Spacing = 0;
  int margin = Margin, spacing = Spacing;
  if (margin < 0) {
    // The block of glyph and caption centred.
    const int block = glyphSize + textSize + std::max(0, spacing);
    margin = spacing < 0 ? (room - glyphSize - textSize) / 3 : (room - block) / 2;
    if (spacing < 0) spacing = margin;
  } else if (spacing < 0) {
    spacing = (room - margin - glyphSize - textSize) / 2;
  }
  // Positions along the layout axis, from the near edge.
  int glyphAt = margin, textAt = margin + glyphSize + spacing;
  if (Layout == blGlyphRight || Layout == blGlyphBottom) {
    glyphAt = room - margin - glyphSize;
    textAt = glyphAt - spacing - textSize;
  }
  TPoint g, t;
  if (across) {
    g = {r.left + glyphAt, r.top + (RectHeight(r) - gh) / 2};
    t = {r.left + textAt, r.top + (RectHeight(r) - RectHeight(textR)) / 2};
  } else {
    g = {r.left + (RectWidth(r) - gw) / 2, r.top + glyphAt};
    t = {r.left + (RectWidth(r) - RectWidth(textR)) / 2, r.top + textAt};
  }
  g.x += Offset, g.y += Offset, t.x += Offset, t.y += Offset;
  if (hasGlyph) {
    int cell = 0;
    if (State == bsDisabled && NumGlyphs > 1) cell = 1;
    else if (State == bsDown && NumGlyphs > 2) cell = 2;
    else if (State == bsExclusive && NumGlyphs > 3) cell = 3;
    else if (State == bsExclusive && NumGlyphs > 2) cell = 2;
    const COLORREF key = COLORREF(ColorToRGB(Glyph->GetTransparentColor()));
    HDC src = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(src, Glyph->GetHandle());
    GdiTransparentBlt(dc, g.x, g.y, gw, gh, src, cell * gw, 0, gw, gh, key);
    SelectObject(src, old);
    DeleteDC(src);
  }
  if (!Caption.empty()) {
    SetBkMode(dc, TRANSPARENT);
    RECT tr{t.x, t.y, t.x + RectWidth(textR), t.y + RectHeight(textR)};
    if (State == bsDisabled) {
      OffsetRect(&tr, 1, 1);
      SetTextColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
      DrawTextW(dc, Caption.c_str(), int(Caption.size()), &tr, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
      OffsetRect(&tr, -1, -1);
      SetTextColor(dc, GetSysColor(COLOR_BTNSHADOW));
    } else {
      SetTextColor(dc, COLORREF(ColorToRGB(Canvas->Font()->GetColor())));
    }
    DrawTextW(dc, Caption.c_str(), int(Caption.size()), &tr, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
  }
  SelectObject(dc, oldFont);
}

// Copies a glyph strip; its cells are square when it has 1 to 4 of them,
// and the count is then taken from its width (else NumGlyphs stays).
static void AssignGlyph(TBitmap* glyph, TBitmap* Value, int& numGlyphs) {
  if (Value) glyph->Assign(*Value);
  else glyph->SetHandle(nullptr);
  if (Value && Value->GetHeight() > 0 && Value->GetWidth() % Value->GetHeight() == 0) {
    const int n = Value->GetWidth() / Value->GetHeight();
    if (n >= 1 && n <= 4) numGlyphs = n;
  }
}

// --- TSpeedButton -------------------------------------------------------------

TSpeedButton::TSpeedButton(TComponent* AOwner) : TGraphicControl(AOwner), glyph_(std::make_unique<TBitmap>()) {
  ControlStyle = TControlStyle{csCaptureMouse, csDoubleClicks, csSetCaption, csOpaque};
  glyph_->OnChange = TNotifyEvent(this, &TSpeedButton::GlyphChanged);
  SetBounds(left_, top_, 23, 22);
}

TSpeedButton::~TSpeedButton() = default;

void TSpeedButton::SetGlyph(TBitmap* Value) {
  AssignGlyph(glyph_.get(), Value, numGlyphs_);
  Invalidate();
}

void TSpeedButton::SetNumGlyphs(int Value) {
  Value = std::clamp(Value, 1, 4);
  if (Value == numGlyphs_) return;
  numGlyphs_ = Value;
  Invalidate();
}

void TSpeedButton::SetLayout(TButtonLayout Value) {
  if (Value == layout_) return;
  layout_ = Value;
  Invalidate();
}

void TSpeedButton::SetMargin(int Value) {
  Value = std::max(-1, Value);
  if (Value == margin_) return;
  margin_ = Value;
  Invalidate();
}

void TSpeedButton::SetSpacing(int Value) {
  if (Value == spacing_) return;
  spacing_ = Value;
  Invalidate();
}

void TSpeedButton::SetFlat(bool Value) {
  if (Value == flat_) return;
  flat_ = Value;
  Invalidate();
}

void TSpeedButton::SetGroupIndex(int Value) {
  if (Value == groupIndex_) return;
  groupIndex_ = Value;
  if (groupIndex_ == 0 && down_) SetDown(false);
}

void TSpeedButton::SetAllowAllUp(bool Value) {
  allowAllUp_ = Value;
  // The rule holds for the whole group.
  if (groupIndex_ && parent_)
    for (int i = 0; i < parent_->ControlCount(); ++i)
      if (auto* b = dynamic_cast<TSpeedButton*>(parent_->Controls(i)); b && b->groupIndex_ == groupIndex_)
        b->allowAllUp_ = Value;
}

void TSpeedButton::SetDown(bool Value) {
  if (groupIndex_ == 0) Value = false;
  if (Value == down_) return;
  if (!Value && !allowAllUp_) {
    // The last one down of a group stays down unless all may be up.
    bool otherDown = false;
    if (parent_)
      for (int i = 0; i < parent_->ControlCount(); ++i)
        if (auto* b = dynamic_cast<TSpeedButton*>(parent_->Controls(i));
            b && b != this && b->groupIndex_ == groupIndex_ && b->down_)
          otherDown = true;
    if (!otherDown) return;
  }
  down_ = Value;
  if (down_ && parent_)
    for (int i = 0; i < parent_->ControlCount(); ++i)
      if (auto* b = dynamic_cast<TSpeedButton*>(parent_->Controls(i));
          b && b != this && b->groupIndex_ == groupIndex_ && b->down_) {
        b->down_ = false;
        b->Invalidate();
      }
  Invalidate();
}

TButtonState TSpeedButton::GetState() const {
  if (!enabled_) return bsDisabled;
  if (pressed_) return bsDown;
  if (down_) return bsExclusive;
  return bsUp;
}

void TSpeedButton::Click() { TGraphicControl::Click(); }

void TSpeedButton::WndProc(TMessage& m) {
  switch (m.Msg) {
    case CM_MOUSEENTER:
      mouseIn_ = true;
      if (flat_ && enabled_) Invalidate();
      break;
    case CM_MOUSELEAVE:
      mouseIn_ = false;
      if (flat_ && enabled_) Invalidate();
      break;
    case CM_ENABLEDCHANGED:
      pressed_ = tracking_ = false;
      break;
    default: break;
  }
  TGraphicControl::WndProc(m);
}

void TSpeedButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TGraphicControl::MouseDown(button, shift, x, y);
  if (button != mbLeft || !enabled_) return;
  tracking_ = pressed_ = true;
  Invalidate();
}

void TSpeedButton::MouseMove(TShiftState shift, int x, int y) {
  TGraphicControl::MouseMove(shift, x, y);
  TrackPress(tracking_, pressed_, x, y);
}

void TSpeedButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  TGraphicControl::MouseUp(button, shift, x, y);
  if (button != mbLeft || !tracking_) return;
  tracking_ = false;
  const bool inside = IsInside(x, y);
  pressed_ = false;
  Invalidate();
  if (!inside) return;
  if (groupIndex_) SetDown(!down_);
  Click();
}

void TSpeedButton::Paint() {
  TCanvas* c = canvas_.get();
  TRect r = GetClientRect();
  const TButtonState state = GetState();
  c->Brush()->SetColor(color_);
  c->FillRect(r);
  const bool sunk = state == bsDown || state == bsExclusive;
  HDC dc = c->GetHandle();
  if (!flat_) {
    RECT fr = r;
    DrawFrameControl(dc, &fr, DFC_BUTTON, DFCS_BUTTONPUSH | DFCS_ADJUSTRECT | (sunk ? DFCS_PUSHED : 0));
  } else if (sunk || (mouseIn_ && enabled_)) {
    RECT fr = r;
    DrawEdge(dc, &fr, sunk ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
  }
  c->Font()->Assign(*font_);
  InflateRect(&r, -2, -2);
  DrawButtonGlyphAndCaption(c, r, glyph_.get(), numGlyphs_, state, text_, layout_, margin_, spacing_, sunk ? 1 : 0);
}

// --- TBitBtn -----------------------------------------------------------------

TBitBtn::TBitBtn(TComponent* AOwner) : TButton(AOwner), glyph_(std::make_unique<TBitmap>()) {
  glyph_->OnChange = TNotifyEvent(this, &TBitBtn::GlyphChanged);
}

TBitBtn::~TBitBtn() = default;

void TBitBtn::SetGlyph(TBitmap* Value) {
  AssignGlyph(glyph_.get(), Value, numGlyphs_);
  Invalidate();
}

void TBitBtn::SetNumGlyphs(int Value) {
  numGlyphs_ = std::clamp(Value, 1, 4);
  Invalidate();
}

void TBitBtn::SetLayout(TButtonLayout Value) {
  layout_ = Value;
  Invalidate();
}

void TBitBtn::SetMargin(int Value) {
  margin_ = std::max(-1, Value);
  Invalidate();
}

void TBitBtn::SetSpacing(int Value) {
  spacing_ = Value;
  Invalidate();
}

void TBitBtn::CreateParams(TCreateParams& p) {
  TButton::CreateParams(p);
  p.Style = (p.Style & ~DWORD(BS_TYPEMASK)) | BS_OWNERDRAW;
}

void TBitBtn::WndProc(TMessage& m) {
  switch (m.Msg) {
    case BM_SETSTYLE:
      // The system marks the default button by its style; the face is ours.
      m.WParam = (m.WParam & ~WPARAM(BS_TYPEMASK)) | BS_OWNERDRAW;
      Invalidate();
      break;
    case CN_DRAWITEM:
      DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(m.LParam));
      m.Result = 1;
      return;
    case WM_LBUTTONDBLCLK:
      // A quick second click presses the button again.
      m.Msg = WM_LBUTTONDOWN;
      break;
    default: break;
  }
  TButton::WndProc(m);
}

void TBitBtn::DrawItem(const DRAWITEMSTRUCT& Item) {
  TCanvas c;
  c.SetHandle(Item.hDC);
  c.Font()->Assign(*font_);
  HGDIOBJ oldFont = SelectObject(Item.hDC, font_->GetHandle());
  RECT r = Item.rcItem;
  const bool pressed = Item.itemState & ODS_SELECTED;
  const bool disabled = Item.itemState & ODS_DISABLED;
  const bool isDefault = default_ || (Item.itemState & ODS_FOCUS);
  if (isDefault) {
    FrameRect(Item.hDC, &r, HBRUSH(GetStockObject(BLACK_BRUSH)));
    InflateRect(&r, -1, -1);
  }
  DrawFrameControl(Item.hDC, &r, DFC_BUTTON, DFCS_BUTTONPUSH | DFCS_ADJUSTRECT | (pressed ? DFCS_PUSHED : 0));
  const TButtonState state = disabled ? bsDisabled : pressed ? bsDown : bsUp;
  DrawButtonGlyphAndCaption(&c, r, glyph_.get(), numGlyphs_, state, GetText(), layout_, margin_, spacing_,
                            pressed ? 1 : 0);
  if (Item.itemState & ODS_FOCUS) {
    InflateRect(&r, -1, -1);
    DrawFocusRect(Item.hDC, &r);
  }
  SelectObject(Item.hDC, oldFont);
  c.SetHandle(nullptr);
}
