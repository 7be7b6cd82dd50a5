#include "extlib/ExCtlSpeedButton.h"

#include "extlib/ExCtlTrack.h"
#include "extlib/ExDrawUtil.h"
#include "extlib/ExFiler.h"

#include <windowsx.h>

namespace {

COLORREF Ref(TColor c) { return ColorToRef(c); }

// One-pixel frame, top-left in one colour and bottom-right in another; the
// rectangle shrinks by the frame.
void Frame(HDC dc, TRect& r, TColor topLeft, TColor bottomRight) {
  HBRUSH tl = CreateSolidBrush(Ref(topLeft));
  HBRUSH br = CreateSolidBrush(Ref(bottomRight));
  RECT t{r.left, r.top, r.right - 1, r.top + 1};
  FillRect(dc, &t, tl);
  RECT l{r.left, r.top, r.left + 1, r.bottom - 1};
  FillRect(dc, &l, tl);
  RECT b{r.left, r.bottom - 1, r.right, r.bottom};
  FillRect(dc, &b, br);
  RECT rt{r.right - 1, r.top, r.right, r.bottom};
  FillRect(dc, &rt, br);
  DeleteObject(tl);
  DeleteObject(br);
  InflateRect(&r, -1, -1);
}

// Fills with the checkered pattern of button face and button highlight.
void FillDither(HDC dc, const TRect& r) {
  TBitmap pattern(8, 8);
  HDC p = pattern.Canvas()->GetHandle();
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) SetPixel(p, x, y, Ref(((x + y) & 1) ? clBtnHighlight : clBtnFace));
  HBRUSH brush = CreatePatternBrush(pattern.GetHandle());
  FillRect(dc, &r, brush);
  DeleteObject(brush);
}

}  // namespace

TExtSpeedButton::TExtSpeedButton(TComponent* AOwner)
    : TGraphicControl(AOwner), glyph_(std::make_unique<TExtButtonGlyph>()), drawBitmap_(std::make_unique<TBitmap>()) {
  width_ = 25;
  height_ = 25;
  ControlStyle = TControlStyle{csCaptureMouse, csOpaque, csDoubleClicks, csReplicatable};
  glyph_->OnChange = TNotifyEvent(this, &TExtSpeedButton::GlyphChanged);
  parentFont_ = true;
  parentShowHint_ = false;
  showHint_ = true;
}

TExtSpeedButton::~TExtSpeedButton() {
  glyph_->OnChange = TNotifyEvent();
  // The repeat timer is owned (and freed) as a component.
}

void TExtSpeedButton::GlyphChanged(TObject*) { Invalidate(); }

bool TExtSpeedButton::InClient(int x, int y) { return x >= 0 && x < width_ && y >= 0 && y < height_; }

void TExtSpeedButton::Paint() {
  if (!enabled_) {
    state_ = rbsDisabled;
    dragging_ = false;
  } else if (state_ == rbsDisabled) {
    state_ = down_ && groupIndex_ ? rbsExclusive : rbsUp;
  }
  // A designed flat button keeps its frame, so it can be seen on the form.
  TExtButtonState painted = flat_ && !mouseInside_ && !IsDesigning() ? rbsInactive : state_;
  if (drawBitmap_->GetWidth() != width_ || drawBitmap_->GetHeight() != height_) {
    drawBitmap_ = std::make_unique<TBitmap>(std::max(width_, 1), std::max(height_, 1));
  }
  TCanvas* c = drawBitmap_->Canvas();
  HDC dc = c->GetHandle();
  TRect r{0, 0, width_, height_};
  c->Brush()->SetColor(clBtnFace);
  c->Brush()->SetStyle(bsSolid);
  c->FillRect(r);
  if (transparent_) CopyParentImage(this, c);
  const bool pressed = state_ == rbsDown || state_ == rbsExclusive;
  if (painted == rbsInactive && state_ != rbsExclusive) {
    if (flat_) InflateRect(&r, -2, -2);
  } else {
    const bool newLook = style_ != bsWin31;
    if (newLook) {
      if (!pressed) {
        if (flat_) {
          Frame(dc, r, clBtnHighlight, clBtnShadow);
        } else {
          Frame(dc, r, clBtnHighlight, clWindowFrame);
          Frame(dc, r, clBtnFace, clBtnShadow);
        }
      } else {
        if (flat_) {
          Frame(dc, r, clWindowFrame, clBtnHighlight);
        } else {
          Frame(dc, r, clWindowFrame, clBtnHighlight);
          Frame(dc, r, clBtnShadow, clBtnFace);
        }
      }
    } else {
      if (!pressed) {
        if (flat_) {
          Frame(dc, r, clBtnHighlight, clWindowFrame);
        } else {
          Frame(dc, r, clWindowFrame, clWindowFrame);
          Frame(dc, r, clBtnHighlight, clBtnShadow);
        }
      } else {
        if (flat_) {
          Frame(dc, r, clWindowFrame, clBtnHighlight);
        } else {
          Frame(dc, r, clWindowFrame, clWindowFrame);
          // A shadow line along the left and top edges.
          HBRUSH sh = CreateSolidBrush(Ref(clBtnShadow));
          RECT t{r.left, r.top, r.right, r.top + 1};
          RECT l{r.left, r.top, r.left + 1, r.bottom};
          FillRect(dc, &t, sh);
          FillRect(dc, &l, sh);
          DeleteObject(sh);
          InflateRect(&r, -1, -1);
        }
      }
    }
    InflateRect(&r, -1, -1);
  }
  if (state_ == rbsExclusive && !transparent_ && (!flat_ || painted == rbsInactive)) FillDither(dc, r);
  if (pressed) OffsetRect(&r, 1, 1);
  c->Font()->Assign(*font_);
  TExtButtonState glyphState = grayedInactive_ ? painted : state_;
  PaintGlyph(c, r, glyphState, markDropDown_ && dropDownMenu_);
  BitBlt(Canvas()->GetHandle(), 0, 0, width_, height_, dc, 0, 0, SRCCOPY);
}

void TExtSpeedButton::PaintGlyph(TCanvas* canvas, const TRect& r, TExtButtonState state, bool drawMark) {
  UINT align = glyph_->GetAlignment() == taLeftJustify    ? DT_LEFT
               : glyph_->GetAlignment() == taRightJustify ? DT_RIGHT
                                                          : DT_CENTER;
  glyph_->Draw(canvas, r, GetText(), layout_, margin_, spacing_, drawMark, state, align);
}

void TExtSpeedButton::Click() {
  if (TCustomForm* f = GetParentForm()) f->SetModalResult(modalResult_);
  TGraphicControl::Click();
}

void TExtSpeedButton::ButtonClick() {
  if (menuTracking_ || !enabled_ || (dropDownMenu_ && dropDownMenu_->GetAutoPopup())) return;
  if (!down_) {
    state_ = rbsDown;
    Repaint();
  }
  // Let the pressed look show for a moment.
  Sleep(20);
  if (groupIndex_ == 0) Click();
  state_ = rbsUp;
  if (groupIndex_ == 0) {
    Repaint();
  } else {
    SetDown(!down_);
    Click();
  }
}

void TExtSpeedButton::MouseEnter() {
  if (OnMouseEnter) OnMouseEnter(this);
}

void TExtSpeedButton::MouseLeave() {
  if (OnMouseLeave) OnMouseLeave(this);
}

void TExtSpeedButton::UpdateTracking() {
  bool inside = enabled_ && exctl::ControlUnderCursor() == this && IsForegroundTask();
  if (inside == mouseInside_) return;
  mouseInside_ = inside;
  if (inside) MouseEnter();
  else MouseLeave();
  if (flat_) {
    if (inside) Repaint();
    else Invalidate();
  }
}

void TExtSpeedButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TGraphicControl::MouseDown(button, shift, x, y);
  if (menuTracking_) return;
  if (!mouseInside_ && enabled_) {
    mouseInside_ = true;
    MouseEnter();
    Repaint();
  }
  if (button != mbLeft || !enabled_) return;
  if (!down_) {
    state_ = rbsDown;
    Repaint();
  }
  dragging_ = true;
  menuTracking_ = true;
  if (CheckMenuDropDown(GetDropDownMenuPos(), false)) {
    // The menu has had the mouse: finish the press now, and drop a press
    // on the button that closed the menu so that it does not reopen it.
    MouseUp(button, shift, x, y);
    if (parent_ && parent_->HandleAllocated()) {
      MSG msg;
      while (PeekMessageW(&msg, parent_->GetHandle(), WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, PM_NOREMOVE)) {
        if (msg.message == WM_LBUTTONUP) break;
        POINT pt{GET_X_LPARAM(msg.lParam), GET_Y_LPARAM(msg.lParam)};
        pt.x -= left_;
        pt.y -= top_;
        if (pt.x < 0 || pt.x >= width_ || pt.y < 0 || pt.y > height_) break;
        PeekMessageW(&msg, parent_->GetHandle(), msg.message, msg.message, PM_REMOVE);
      }
    }
  }
  menuTracking_ = false;
  if (!dragging_) return;
  if (allowTimer_) {
    if (!repeatTimer_) {
      repeatTimer_ = new TTimer(this);
      repeatTimer_->SetEnabled(false);
      repeatTimer_->OnTimer = TNotifyEvent(this, &TExtSpeedButton::TimerExpired);
    }
    repeatTimer_->SetInterval(initPause_);
    repeatTimer_->SetEnabled(true);
  }
}

void TExtSpeedButton::MouseMove(TShiftState shift, int x, int y) {
  TGraphicControl::MouseMove(shift, x, y);
  if (!dragging_) return;
  TExtButtonState s = InClient(x, y) ? (down_ ? rbsExclusive : rbsDown) : (down_ ? rbsExclusive : rbsUp);
  if (s != state_) {
    state_ = s;
    Repaint();
  }
}

void TExtSpeedButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  TGraphicControl::MouseUp(button, shift, x, y);
  if (!dragging_ || button != mbLeft) return;
  dragging_ = false;
  bool click = InClient(x, y);
  if (groupIndex_ == 0) {
    state_ = rbsUp;
    mouseInside_ = false;
    if (click) Repaint();
    else Invalidate();
  } else if (click) {
    SetDown(!down_);
    if (down_) Repaint();
  } else if (down_) {
    state_ = rbsExclusive;
    Repaint();
  }
  if (click && !menuTracking_) Click();
  UpdateTracking();
  StopRepeat();
}

void TExtSpeedButton::StopRepeat() {
  if (repeatTimer_) repeatTimer_->SetEnabled(false);
}

void TExtSpeedButton::TimerExpired(TObject*) {
  repeatTimer_->SetInterval(repeatInterval_);
  bool captured = dragging_ && parent_ && parent_->HandleAllocated() && GetCapture() == parent_->GetHandle();
  if (state_ == rbsDown && captured) {
    try {
      Click();
    } catch (...) {
      StopRepeat();
      throw;
    }
  }
}

TPoint TExtSpeedButton::GetDropDownMenuPos() {
  if (!dropDownMenu_) return TPoint{0, 0};
  // The point the menu's left edge, right edge or middle is placed at.
  switch (dropDownMenu_->GetAlignment()) {
    case paRight: return menuPosition_ == dmpBottom ? TPoint{width_ + 1, height_} : TPoint{-1, -1};
    case paCenter: return TPoint{width_ / 2, height_};
    default: return menuPosition_ == dmpBottom ? TPoint{-1, height_} : TPoint{width_, -1};
  }
}

bool TExtSpeedButton::CheckMenuDropDown(TPoint p, bool manual) {
  if (IsDesigning() || !dropDownMenu_ || !(manual || dropDownMenu_->GetAutoPopup())) return false;
  // Whatever the form's focused control has open (a drop-down, a capture)
  // closes before the menu takes the mouse.
  if (TCustomForm* f = GetParentForm()) f->SendCancelMode(this);
  dropDownMenu_->SetPopupComponent(this);
  TPoint s = ClientToScreen(p);
  dropDownMenu_->Popup(s.x, s.y);
  return true;
}

bool TExtSpeedButton::CheckBtnMenuDropDown() { return CheckMenuDropDown(GetDropDownMenuPos(), true); }

void TExtSpeedButton::SetDropDownMenu(TPopupMenu* m) {
  if (m == dropDownMenu_) return;
  if (dropDownMenu_) dropDownMenu_->RemoveFreeNotification(this);
  dropDownMenu_ = m;
  if (m) m->FreeNotification(this);
  if (markDropDown_) Invalidate();
}

void TExtSpeedButton::SetMarkDropDown(bool v) {
  if (v == markDropDown_) return;
  markDropDown_ = v;
  Invalidate();
}

void TExtSpeedButton::Notification(TComponent* AComponent, TOperation Operation) {
  TGraphicControl::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == dropDownMenu_) {
    dropDownMenu_ = nullptr;
    Invalidate();
  }
}

void TExtSpeedButton::SetDown(bool v) {
  if (groupIndex_ == 0) v = false;
  if (v == down_) return;
  if (down_ && !allowAllUp_) return;  // the last down button of a group stays down
  down_ = v;
  if (v) {
    if (state_ == rbsUp) Invalidate();
    state_ = rbsExclusive;
  } else {
    state_ = rbsUp;
  }
  Repaint();
  if (v) UpdateExclusive();
}

void TExtSpeedButton::UpdateExclusive() {
  if (groupIndex_ == 0 || !parent_) return;
  for (int i = 0; i < parent_->ControlCount(); ++i) {
    TControl* c = parent_->GetControl(i);
    if (c != this) c->Perform(CM_BUTTONPRESSED, WPARAM(groupIndex_), LPARAM(this));
  }
}

void TExtSpeedButton::SetGroupIndex(int v) {
  if (v == groupIndex_) return;
  groupIndex_ = v;
  if (v == 0 && down_) {
    // Only a grouped button can stay down.
    down_ = false;
    state_ = rbsUp;
    Invalidate();
  }
  UpdateExclusive();
}

void TExtSpeedButton::SetAllowAllUp(bool v) {
  if (v == allowAllUp_) return;
  allowAllUp_ = v;
  UpdateExclusive();
}

void TExtSpeedButton::SetFlat(bool v) {
  if (v == flat_) return;
  flat_ = v;
  Invalidate();
}

void TExtSpeedButton::SetStyle(TButtonStyle s) {
  if (s == style_) return;
  style_ = s;
  Invalidate();
}

void TExtSpeedButton::SetLayout(TButtonLayout l) {
  if (l == layout_) return;
  layout_ = l;
  Invalidate();
}

void TExtSpeedButton::SetSpacing(int v) {
  if (v == spacing_) return;
  spacing_ = v;
  Invalidate();
}

void TExtSpeedButton::SetMargin(int v) {
  if (v < -1) v = -1;
  if (v == margin_) return;
  margin_ = v;
  Invalidate();
}

void TExtSpeedButton::SetGrayedInactive(bool v) {
  if (v == grayedInactive_) return;
  grayedInactive_ = v;
  Invalidate();
}

void TExtSpeedButton::SetGlyph(TBitmap* b) {
  glyph_->SetGlyph(b);
  Invalidate();
}

void TExtSpeedButton::SetNumGlyphs(int n) {
  if (n > 5) n = 5;
  glyph_->SetNumGlyphs(n);
  Invalidate();
}

void TExtSpeedButton::ActionChange(TObject* Sender, bool CheckDefaults) {
  TGraphicControl::ActionChange(Sender, CheckDefaults);
  auto* A = dynamic_cast<TCustomAction*>(Sender);
  if (!A) return;
  if (groupIndex_ > 0 && (!CheckDefaults || !down_)) SetDown(A->GetChecked());
  TCustomImageList* Images = A->GetImages();
  int Index = A->GetImageIndex();
  if (glyph_->GetGlyph()->Empty() && Images && Index >= 0 && Index < Images->GetCount()) {
    TBitmap B(Images->GetWidth(), Images->GetHeight());
    B.Canvas()->Brush()->SetColor(clFuchsia);
    B.Canvas()->FillRect(TRect{0, 0, B.GetWidth(), B.GetHeight()});
    ImageList_Draw(Images->GetHandle(), Index, B.Canvas()->GetHandle(), 0, 0, ILD_NORMAL);
    B.SetTransparentColor(clFuchsia);
    SetGlyph(&B);
  }
}

void TExtSpeedButton::PrepareGlyph() {
  glyph_->CreateButtonGlyph(!enabled_ ? rbsDisabled : flat_ ? rbsInactive : rbsUp);
}

void TExtSpeedButton::SetWordWrap(bool v) {
  if (v == GetWordWrap()) return;
  glyph_->SetWordWrap(v);
  Invalidate();
}

void TExtSpeedButton::SetAlignment(TAlignment a) {
  if (a == GetAlignment()) return;
  glyph_->SetAlignment(a);
  Invalidate();
}

void TExtSpeedButton::Loaded() {
  TGraphicControl::Loaded();
  if (!dropDownMenuName_.empty()) {
    SetDropDownMenu(dynamic_cast<TPopupMenu*>(ExFiler::Find(this, dropDownMenuName_)));
    dropDownMenuName_.clear();
  }
  PrepareGlyph();
  Invalidate();
}

void TExtSpeedButton::SetTransparent(bool v) {
  if (v == transparent_) return;
  transparent_ = v;
  Invalidate();
}

void TExtSpeedButton::SetAllowTimer(bool v) {
  if (v == allowTimer_) return;
  allowTimer_ = v;
  if (!v && repeatTimer_) {
    delete repeatTimer_;
    repeatTimer_ = nullptr;
  }
}

void TExtSpeedButton::WndProc(TMessage& m) {
  switch (m.Msg) {
    case CM_BUTTONPRESSED: {
      if (int(m.WParam) != groupIndex_ || groupIndex_ == 0 || !parent_ || !parent_->HandleAllocated()) return;
      auto* sender = dynamic_cast<TExtSpeedButton*>(reinterpret_cast<TObject*>(m.LParam));
      if (!sender || sender == this) return;
      if (sender->down_ && down_) {
        down_ = false;
        state_ = rbsUp;
        Repaint();
      }
      allowAllUp_ = sender->allowAllUp_;
      return;
    }
    case CM_DIALOGCHAR: {
      wchar_t a = exctl::AccelOf(GetText());
      if (enabled_ && visible_ && a && exctl::UpperChar(a) == exctl::UpperChar(wchar_t(m.WParam))) {
        Click();
        m.Result = 1;
        return;
      }
      m.Result = 0;
      return;
    }
    case CM_MOUSEENTER:
      TGraphicControl::WndProc(m);
      if (!mouseInside_ && enabled_ && IsForegroundTask()) {
        mouseInside_ = true;
        MouseEnter();
        if (flat_) Repaint();
      }
      return;
    case CM_MOUSELEAVE:
      TGraphicControl::WndProc(m);
      if (mouseInside_ && !dragging_) {
        mouseInside_ = false;
        MouseLeave();
        if (flat_) Invalidate();
      }
      return;
    case CM_ENABLEDCHANGED:
      PrepareGlyph();
      UpdateTracking();
      Repaint();
      return;
    case WM_LBUTTONDBLCLK:
      // A double click presses like a click; only a button that is down
      // reports it as a double click.
      if (menuTracking_) return;
      ControlStyle -= csDoubleClicks;
      TGraphicControl::WndProc(m);
      ControlStyle += csDoubleClicks;
      if (down_) DblClick();
      return;
    case CM_VISIBLECHANGED:
      TGraphicControl::WndProc(m);
      if (visible_) UpdateTracking();
      return;
    case CM_SYSCOLORCHANGE:
      glyph_->Invalidate();
      Invalidate();
      return;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
      TGraphicControl::WndProc(m);
      UpdateTracking();
      return;
    default: break;
  }
  TGraphicControl::WndProc(m);
}

// ---------------------------------------------------------------------------
// Form streams

void TExtSpeedButton::DefineProperties(TFiler* Filer) {
  TGraphicControl::DefineProperties(Filer);
  auto* A = dynamic_cast<TExtSpeedButton*>(Filer->GetAncestor());
  using namespace ExFiler;
  Boolean(Filer, L"AllowAllUp", allowAllUp_, A ? A->allowAllUp_ : false, [this](bool V) { SetAllowAllUp(V); });
  Boolean(Filer, L"AllowTimer", allowTimer_, A ? A->allowTimer_ : defaultAllowTimer_, [this](bool V) { SetAllowTimer(V); });
  Enum(Filer, L"Alignment", GetAlignment(), A ? A->GetAlignment() : taCenter,
       AlignmentNames,
       [this](int V) { SetAlignment(static_cast<TAlignment>(V)); });
  Text(Filer, L"Caption", GetText(), A ? A->GetText() : String(), [this](const String& V) { SetText(V); });
  // The group before Down: a grouped button going down lets the others up.
  Integer(Filer, L"GroupIndex", groupIndex_, A ? A->groupIndex_ : 0,
          [this](int64_t V) { SetGroupIndex(static_cast<int>(V)); });
  Boolean(Filer, L"Down", down_, A ? A->down_ : false, [this](bool V) { SetDown(V); });
  Reference(Filer, L"DropDownMenu", dropDownMenu_, A ? A->dropDownMenu_ : nullptr, dropDownMenuName_);
  Boolean(Filer, L"Flat", flat_, A ? A->flat_ : false, [this](bool V) { SetFlat(V); });
  Picture(Filer, L"Glyph.Data", GetGlyph(), A ? A->GetGlyph() : nullptr, [this](TBitmap* B) { SetGlyph(B); });
  Boolean(Filer, L"GrayedInactive", grayedInactive_, A ? A->grayedInactive_ : true,
          [this](bool V) { SetGrayedInactive(V); });
  Integer(Filer, L"InitPause", initPause_, A ? A->initPause_ : 500,
          [this](int64_t V) { SetInitPause(static_cast<unsigned>(V)); });
  Enum(Filer, L"Layout", layout_, A ? A->layout_ : blGlyphTop,
       {L"blGlyphLeft", L"blGlyphRight", L"blGlyphTop", L"blGlyphBottom"},
       [this](int V) { SetLayout(static_cast<TButtonLayout>(V)); });
  Integer(Filer, L"Margin", margin_, A ? A->margin_ : -1, [this](int64_t V) { SetMargin(static_cast<int>(V)); });
  Boolean(Filer, L"MarkDropDown", markDropDown_, A ? A->markDropDown_ : true, [this](bool V) { SetMarkDropDown(V); });
  Enum(Filer, L"MenuPosition", menuPosition_, A ? A->menuPosition_ : dmpBottom, {L"dmpBottom", L"dmpRight"},
       [this](int V) { SetMenuPosition(static_cast<TExtDropDownMenuPos>(V)); });
  Integer(Filer, L"ModalResult", modalResult_, A ? A->modalResult_ : mrNone,
          [this](int64_t V) { SetModalResult(static_cast<TModalResult>(V)); });
  Integer(Filer, L"NumGlyphs", GetNumGlyphs(), A ? A->GetNumGlyphs() : 1,
          [this](int64_t V) { SetNumGlyphs(static_cast<int>(V)); });
  Integer(Filer, L"RepeatInterval", repeatInterval_, A ? A->repeatInterval_ : 100,
          [this](int64_t V) { SetRepeatInterval(static_cast<unsigned>(V)); });
  Integer(Filer, L"Spacing", spacing_, A ? A->spacing_ : 1, [this](int64_t V) { SetSpacing(static_cast<int>(V)); });
  Enum(Filer, L"Style", style_, A ? A->style_ : defaultStyle_, {L"bsAutoDetect", L"bsWin31", L"bsNew"},
       [this](int V) { SetStyle(static_cast<TButtonStyle>(V)); });
  Boolean(Filer, L"Transparent", transparent_, A ? A->transparent_ : false, [this](bool V) { SetTransparent(V); });
  Boolean(Filer, L"WordWrap", GetWordWrap(), A ? A->GetWordWrap() : false, [this](bool V) { SetWordWrap(V); });
  // The action by its name, found once the whole form is read.
  Link(
      Filer, L"Action", GetAction(), A ? A->GetAction() : nullptr,
      [this](TComponent* C) { SetAction(dynamic_cast<TBasicAction*>(C)); },
      GetAction() && !GetAction()->GetName().empty());
  Event(Filer, L"OnMouseEnter", OnMouseEnter, A ? &A->OnMouseEnter : nullptr);
  Event(Filer, L"OnMouseLeave", OnMouseLeave, A ? &A->OnMouseLeave : nullptr);
}
