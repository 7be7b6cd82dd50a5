#include "extlib/ExSecretPanel.h"

#include <algorithm>

#include "classlib/Forms.h"
#include "extlib/ExDrawUtil.h"
#include "extlib/ExFiler.h"

namespace {

bool Blank(const String& S) { return Trim(S).empty(); }

// A bevel of the given colours around R, which shrinks by Width.
void Frame3D(TCanvas* C, TRect& R, TColor TopLeft, TColor BottomRight, int Width) {
  for (int I = 0; I < Width; ++I) {
    C->Pen()->SetColor(TopLeft);
    C->MoveTo(R.left, R.bottom - 1);
    C->LineTo(R.left, R.top);
    C->LineTo(R.right - 1, R.top);
    C->Pen()->SetColor(BottomRight);
    C->LineTo(R.right - 1, R.bottom - 1);
    C->LineTo(R.left - 1, R.bottom - 1);
    InflateRect(&R, -1, -1);
  }
}

}  // namespace

TSecretPanel::TSecretPanel(TComponent* AOwner) : TCustomPanel(AOwner) {
  ControlStyle -= csSetCaption;
  SetBevelOuter(bvLowered);
  lines_ = std::make_unique<TStringList>();
  lines_->OnChange = TNotifyEvent(this, &TSecretPanel::LinesChanged);
  glyph_ = std::make_unique<TBitmap>();
  glyph_->OnChange = TNotifyEvent(this, &TSecretPanel::GlyphChanged);
  timer_ = new TExtTimer(this);
  timer_->SetEnabled(false);
  timer_->SetInterval(30);
  timer_->SyncEvent = false;
  timer_->SetOnTimer(TNotifyEvent(this, &TSecretPanel::TimerExpired));
}

TSecretPanel::~TSecretPanel() {
  // The timer goes first, waiting for a tick in flight; the children stay
  // as they are.
  destroying_ = true;
  timer_->SetEnabled(false);
  delete timer_;
  timer_ = nullptr;
  bool WasActive = active_;
  {
    std::lock_guard<std::recursive_mutex> Guard(imageLock_);
    active_ = false;
    counter_ = 0;
    memImage_.reset();
  }
  // Going away while playing ends the play like Stop does.
  if (WasActive) {
    try {
      StopPlay();
    } catch (...) {
      // A destructor lets nothing out.
    }
  }
}

int TSecretPanel::FrameWidth() const {
  int W = borderWidth_;
  if (bevelOuter_ != bvNone) W += bevelWidth_;
  if (bevelInner_ != bvNone) W += bevelWidth_;
  return W;
}

TSecretPanel::TDrawLayout TSecretPanel::CalcDrawLayout() {
  TDrawLayout L;
  TRect& T = L.Text;
  TPoint& G = L.Glyph;
  TRect C = GetClientRect();
  int W = FrameWidth();
  L.Paint = C;
  InflateRect(&L.Paint, -W, -W);
  T = C;
  InflateRect(&T, -(W + 3), -(W + 3));
  int GW = glyph_->Empty() ? 0 : glyph_->GetWidth(), GH = glyph_->Empty() ? 0 : glyph_->GetHeight();
  switch (glyphLayout_) {
    case glGlyphLeft:
      G.x = T.left;
      G.y = std::max<int>((T.top + T.bottom - GH) / 2, T.top);
      if (GW != 0) {
        G.x += 3;
        T.left = G.x + GW + W + 3;
      }
      break;
    case glGlyphRight:
      G.y = std::max<int>((T.top + T.bottom - GH) / 2, T.top);
      G.x = T.right - GW;
      if (GW != 0) {
        G.x = std::max<int>(G.x - 3, T.left);
        T.right = G.x - (W + 3);
      }
      break;
    case glGlyphTop:
      G.x = std::max<int>((T.left + T.right - GW) / 2, T.left);
      G.y = T.top;
      if (GH != 0) {
        G.y += 3;
        T.top = G.y + GH + W + 6;
      }
      break;
    case glGlyphBottom:
      G.x = std::max<int>((T.left + T.right - GW) / 2, T.left);
      G.y = T.bottom - GH;
      if (GH != 0) {
        G.y = std::max<int>(G.y - 3, T.top);
        T.bottom = G.y - (W + 6);
      }
      break;
  }
  if (scrollDirection_ == sdHorizontal) {
    int Last = lines_->GetCount() - 1;
    while (Last >= 0 && Blank(lines_->Get(Last))) --Last;
    int N = Last + 1 - firstLine_;
    int Height = RectHeight(T);
    if (N > 0 && Height > N * lineHeight_) {
      int D = (Height - N * lineHeight_) / 2;
      T.top += D;
      T.bottom -= D;
    }
  }
  if (T.right <= T.left || T.bottom <= T.top) T = TRect{0, 0, 0, 0};
  return L;
}

void TSecretPanel::RecalcDrawRect() {
  const TDrawLayout L = CalcDrawLayout();
  paintRect_ = L.Paint;
  textRect_ = L.Text;
  glyphOrigin_ = L.Glyph;
}

void TSecretPanel::UpdateMemoryImage() {
  std::lock_guard<std::recursive_mutex> Guard(imageLock_);
  if (!memImage_) memImage_ = std::make_unique<TBitmap>(1, 1, pf24bit);
  firstLine_ = 0;
  while (firstLine_ < lines_->GetCount() && Blank(lines_->Get(firstLine_))) ++firstLine_;
  drawLines_.clear();
  for (int I = 0; I < lines_->GetCount(); ++I) drawLines_.push_back(lines_->Get(I));
  TCanvas* C = memImage_->Canvas();
  C->Font()->Assign(*Font());
  HDC DC = C->GetHandle();
  C->TextHeight(L"W");  // selects the font
  TEXTMETRICW TM{};
  GetTextMetricsW(DC, &TM);
  lineHeight_ = TM.tmHeight + TM.tmExternalLeading + (textStyle_ != bvNone ? 1 : 0);
  RecalcDrawRect();
  int TW = RectWidth(textRect_), TH = RectHeight(textRect_);
  if (scrollDirection_ == sdVertical) {
    scrollLength_ = TH + (lines_->GetCount() - firstLine_) * lineHeight_;
  } else {
    int Widest = 0;
    for (int I = firstLine_; I < lines_->GetCount(); ++I) Widest = std::max(Widest, C->TextWidth(lines_->Get(I)));
    scrollLength_ = TW + Widest;
  }
  memImage_->SetSize(std::max(TW, 1), std::max(TH, 1));
  C = memImage_->Canvas();
  C->Font()->Assign(*Font());
  C->Brush()->SetColor(GetColor());
  SetBkMode(C->GetHandle(), TRANSPARENT);
}

void TSecretPanel::PaintClient(TCanvas* Canvas, const TRect& Rect) {
  if (OnPaintClient) {
    OnPaintClient(this, Canvas, Rect);
  } else {
    Canvas->FillRect(Rect);
  }
}

void TSecretPanel::PaintText() {
  std::lock_guard<std::recursive_mutex> Guard(imageLock_);
  if (!memImage_ || drawLines_.empty() || IsRectEmpty(&textRect_) || !paintWnd_.load()) return;
  TCanvas* C = memImage_->Canvas();
  int TW = RectWidth(textRect_), TH = RectHeight(textRect_);
  HDC DC = C->GetHandle();
  POINT OldOrg;
  SetWindowOrgEx(DC, textRect_.left, textRect_.top, &OldOrg);
  C->Brush()->SetColor(GetColor());
  PaintClient(C, paintRect_);
  SetWindowOrgEx(DC, OldOrg.x, OldOrg.y, nullptr);
  C->TextHeight(L"W");  // selects the font
  SetBkMode(DC, TRANSPARENT);
  TRect R{0, 0, TW, TH};
  if (scrollDirection_ == sdVertical) {
    R.top = TH - counter_;
  } else {
    R.top = 0;
    // Read right to left, the text enters from the left edge.
    if (!UseRightToLeftReading()) {
      R.left = TW - counter_;
      R.right = R.left + (scrollLength_ - TW);
    } else {
      R.right = counter_;
      R.left = R.right - (scrollLength_ - TW);
    }
  }
  R.bottom = R.top + lineHeight_;
  UINT Flags = DT_SINGLELINE | DT_EXPANDTABS | DT_NOCLIP | DT_NOPREFIX;
  Flags |= textAlignment_ == taLeftJustify ? DT_LEFT : textAlignment_ == taRightJustify ? DT_RIGHT : DT_CENTER;
  Flags = DrawTextBiDiModeFlags(this, Flags);
  for (size_t I = static_cast<size_t>(firstLine_); I < drawLines_.size(); ++I) {
    if (R.top >= TH) break;
    if (R.bottom > 0) {
      String S = drawLines_[I].substr(0, 255);
      int Len = static_cast<int>(S.size());
      if (textStyle_ == bvLowered || textStyle_ == bvRaised) {
        TRect Shadow = R;
        int D = textStyle_ == bvLowered ? 1 : -1;
        OffsetRect(&Shadow, D, D);
        SetTextColor(DC, ColorToRef(clBtnHighlight));
        DrawTextW(DC, S.c_str(), Len, &Shadow, Flags);
      }
      SetTextColor(DC, ColorToRef(Font()->GetColor()));
      TRect Line = R;
      DrawTextW(DC, S.c_str(), Len, &Line, Flags);
    }
    OffsetRect(&R, 0, lineHeight_);
  }
  // Onto the control, straight from the image; a window gone meanwhile
  // gives no device context.
  HWND Wnd = paintWnd_.load();
  if (!Wnd) return;
  canvas_->Lock();
  if (HDC WndDC = GetDC(Wnd)) {
    BitBlt(WndDC, textRect_.left, textRect_.top, TW, TH, DC, 0, 0, SRCCOPY);
    ReleaseDC(Wnd, WndDC);
  }
  canvas_->Unlock();
  ValidateRect(Wnd, &textRect_);
}

void TSecretPanel::CreateWnd() {
  TCustomPanel::CreateWnd();
  paintWnd_ = handle_;
}

void TSecretPanel::DestroyWnd() {
  paintWnd_ = nullptr;
  TCustomPanel::DestroyWnd();
}

void TSecretPanel::TimerExpired(TObject*) {
  if (destroying_ || !active_) return;
  {
    std::lock_guard<std::recursive_mutex> Guard(imageLock_);
    if (!active_) return;
    if (counter_ < scrollLength_) {
      ++counter_;
      PaintText();
      return;
    }
    if (Cycled) {
      counter_ = 0;
      PaintText();
      return;
    }
  }
  // The end of the text: stop on the window thread (without the lock,
  // which stopping takes).
  timer_->Synchronize(TThreadMethod([this] {
    if (!destroying_) Stop();
  }));
}

void TSecretPanel::StartPlay() {
  if (OnStartPlay) OnStartPlay(this);
}

void TSecretPanel::StopPlay() {
  if (OnStopPlay) OnStopPlay(this);
}

void TSecretPanel::SetActive(bool Value) {
  if (Value == active_) return;
  if (Value) {
    active_ = true;
    counter_ = 0;
    try {
      UpdateMemoryImage();
      timer_->SetEnabled(true);
      StartPlay();
    } catch (...) {
      active_ = false;
      timer_->SetEnabled(false);
      throw;
    }
    for (int I = 0; I < ControlCount(); ++I) {
      TControl* C = Controls(I);
      if (C->GetVisible()) {
        hidden_.push_back(C);
        // The designer keeps showing the children it lays out.
        if (!IsDesigning()) C->SetVisible(false);
      }
    }
  } else {
    timer_->SetEnabled(false);
    {
      std::lock_guard<std::recursive_mutex> Guard(imageLock_);
      active_ = false;
      counter_ = 0;
      memImage_.reset();
    }
    StopPlay();
    NotifyDesigner(this);
    if (!IsDestroying()) {
      for (TControl* C : hidden_) {
        C->SetVisible(true);
        C->Invalidate();
        if (IsDesigning()) C->Update();
      }
    }
    hidden_.clear();
  }
  Invalidate();
}

void TSecretPanel::RefreshImage() {
  if (active_) UpdateMemoryImage();
  Invalidate();
}

void TSecretPanel::LinesChanged(TObject*) {
  if (active_) {
    std::lock_guard<std::recursive_mutex> Guard(imageLock_);
    counter_ = 0;
  }
  RefreshImage();
}

void TSecretPanel::GlyphChanged(TObject*) { RefreshImage(); }

void TSecretPanel::SetTextAlignment(TAlignment Value) {
  if (Value == textAlignment_) return;
  textAlignment_ = Value;
  Invalidate();
}

void TSecretPanel::SetTextStyle(TBevelCut Value) {
  if (Value == textStyle_) return;
  textStyle_ = Value;
  RefreshImage();
}

void TSecretPanel::SetScrollDirection(TScrollDirection Value) {
  if (Value == scrollDirection_) return;
  scrollDirection_ = Value;
  if (active_) {
    std::lock_guard<std::recursive_mutex> Guard(imageLock_);
    counter_ = 0;
  }
  RefreshImage();
}

void TSecretPanel::SetGlyphLayout(TGlyphLayout Value) {
  if (Value == glyphLayout_) return;
  glyphLayout_ = Value;
  RefreshImage();
}

void TSecretPanel::Paint() {
  TCanvas* C = Canvas();
  TRect R = GetClientRect();
  if (bevelOuter_ != bvNone)
    Frame3D(C, R, bevelOuter_ == bvLowered ? clBtnShadow : clBtnHighlight,
            bevelOuter_ == bvLowered ? clBtnHighlight : clBtnShadow, bevelWidth_);
  Frame3D(C, R, GetColor(), GetColor(), borderWidth_);
  if (bevelInner_ != bvNone)
    Frame3D(C, R, bevelInner_ == bvLowered ? clBtnShadow : clBtnHighlight,
            bevelInner_ == bvLowered ? clBtnHighlight : clBtnShadow, bevelWidth_);
  HDC DC = C->GetHandle();
  int Saved = SaveDC(DC);
  IntersectClipRect(DC, R.left, R.top, R.right, R.bottom);
  C->Brush()->SetColor(GetColor());
  PaintClient(C, R);
  RestoreDC(DC, Saved);
  C->Refresh();
  if (active_ && !glyph_->Empty()) {
    // Laid out afresh without the image lock: the canvas lock is held here,
    // and a frame on the timer's thread takes the two the other way round
    // (the image's, then the canvas's to copy it). The layout frames use is
    // rebuilt under the image lock whenever what it depends on changes.
    const TPoint G = CalcDrawLayout().Glyph;
    DrawBitmapTransparent(C, G.x, G.y, glyph_.get(), glyph_->GetTransparentColor());
  }
}

void TSecretPanel::AlignControls(TControl* AControl, TRect& Rect) {
  TCustomPanel::AlignControls(AControl, Rect);
  if (active_) RefreshImage();
}

void TSecretPanel::WndProc(TMessage& M) {
  TCustomPanel::WndProc(M);
  switch (M.Msg) {
    case CM_FONTCHANGED:
    case CM_COLORCHANGED:
    case WM_SIZE:
      if (active_) RefreshImage();
      break;
    default:
      break;
  }
}

// ---------------------------------------------------------------------------
// Form streams

void TSecretPanel::DefineProperties(TFiler* Filer) {
  TCustomPanel::DefineProperties(Filer);
  auto* A = dynamic_cast<TSecretPanel*>(Filer->GetAncestor());
  using namespace ExFiler;
  const TNames Cuts{L"bvNone", L"bvLowered", L"bvRaised", L"bvSpace"};
  Enum(Filer, L"BevelInner", GetBevelInner(), A ? A->GetBevelInner() : bvNone, Cuts,
       [this](int V) { SetBevelInner(static_cast<TBevelCut>(V)); });
  Enum(Filer, L"BevelOuter", GetBevelOuter(), A ? A->GetBevelOuter() : bvLowered, Cuts,
       [this](int V) { SetBevelOuter(static_cast<TBevelCut>(V)); });
  Integer(Filer, L"BevelWidth", GetBevelWidth(), A ? A->GetBevelWidth() : 1,
          [this](int64_t V) { SetBevelWidth(static_cast<int>(V)); });
  Enum(Filer, L"BorderStyle", GetBorderStyle(), A ? A->GetBorderStyle() : bsNone, BorderStyleNames,
       [this](int V) { SetBorderStyle(V == bsSingle ? bsSingle : bsNone); });
  Boolean(Filer, L"Active", active_, A ? A->GetActive() : false, [this](bool V) { activeRead_ = V; });
  Enum(Filer, L"Alignment", textAlignment_, A ? A->textAlignment_ : taCenter,
       AlignmentNames,
       [this](int V) { SetTextAlignment(static_cast<TAlignment>(V)); });
  Boolean(Filer, L"AsyncDrawing", GetAsyncDrawing(), A ? A->GetAsyncDrawing() : true,
          [this](bool V) { SetAsyncDrawing(V); });
  Boolean(Filer, L"Cycled", Cycled, A ? A->Cycled : false, [this](bool V) { Cycled = V; });
  Picture(Filer, L"Glyph.Data", Glyph(), A ? A->Glyph() : nullptr, [this](TBitmap* B) { SetGlyph(B); });
  Enum(Filer, L"GlyphLayout", glyphLayout_, A ? A->glyphLayout_ : glGlyphLeft,
       {L"glGlyphLeft", L"glGlyphRight", L"glGlyphTop", L"glGlyphBottom"},
       [this](int V) { SetGlyphLayout(static_cast<TGlyphLayout>(V)); });
  Integer(Filer, L"Interval", GetInterval(), A ? A->GetInterval() : 30,
          [this](int64_t V) { SetInterval(static_cast<unsigned>(V)); });
  ExFiler::Lines(Filer, L"Lines", Lines(), A ? A->Lines() : nullptr);
  Enum(Filer, L"ScrollDirection", scrollDirection_, A ? A->scrollDirection_ : sdVertical,
       {L"sdVertical", L"sdHorizontal"}, [this](int V) { SetScrollDirection(static_cast<TScrollDirection>(V)); });
  Enum(Filer, L"TextStyle", textStyle_, A ? A->textStyle_ : bvNone, Cuts,
       [this](int V) { SetTextStyle(static_cast<TBevelCut>(V)); });
  Event(Filer, L"OnPaintClient", OnPaintClient, A ? &A->OnPaintClient : nullptr);
  Event(Filer, L"OnStartPlay", OnStartPlay, A ? &A->OnStartPlay : nullptr);
  Event(Filer, L"OnStopPlay", OnStopPlay, A ? &A->OnStopPlay : nullptr);
}

void TSecretPanel::Loaded() {
  TCustomPanel::Loaded();
  if (activeRead_) SetActive(true);
  activeRead_ = false;
}
