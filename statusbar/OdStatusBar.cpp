#include "statusbar/OdStatusBar.h"

#include <algorithm>
#include <cmath>

#include "classlib/PropFiler.h"
#include "statusbar/KbMon.h"

String SCapsLock, SNumLock, SScrollLock;
TDateTime (*OdStatusNow)() = &Now;

namespace {

HHOOK gHook = nullptr;
std::vector<TOdStatusPanel*> gHookClients;
int gTimerRegs = 0;
// Bars with monitor registrations, counted whether or not their window is
// registered with the library yet: the library stays while there is one.
// It follows the bars, so a restart of the unit leaves it alone.
int gMonitorBars = 0;
bool gRefreshAll = false;

constexpr UINT kTextFlags = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX;  // 0x824

int LockKey(TOdStatusPanelType t) {
  switch (t) {
    case sptCapsLock: return VK_CAPITAL;
    case sptNumLock: return VK_NUMLOCK;
    case sptScrollLock: return VK_SCROLL;
    default: return 0;
  }
}

const wchar_t* const kTypeNames[] = {
    L"sptNormal", L"sptCapsLock", L"sptNumLock", L"sptScrollLock", L"sptDate",
    L"sptTime", L"sptDateTime", L"sptTimeDate", L"sptEllipsisText", L"sptEllipsisPath",
    L"sptGlyph", L"sptGauge", L"sptOwnerDraw"};

void DrawTextIn(TCanvas* c, TRect r, const String& s, UINT flags, TColor color) {
  HDC dc = c->GetHandle();
  HGDIOBJ old = SelectObject(dc, c->Font()->GetHandle());
  COLORREF oldColor = SetTextColor(dc, ColorToRef(color));
  int oldMode = SetBkMode(dc, TRANSPARENT);
  DrawTextW(dc, s.c_str(), int(s.size()), &r, flags);
  SetBkMode(dc, oldMode);
  SetTextColor(dc, oldColor);
  SelectObject(dc, old);
}

// A lock key's new state is the thread's once it has taken the key's
// message, which is after its keyboard hook: a panel painted from the hook
// would show the state before the key. The panel is painted by the bar's
// next paint instead, after the key.
void RepaintAfterKey(TOdStatusPanel* P) {
  TOdStatusBar* bar = P->GetStatusBar();
  if (!bar || bar->IsDestroying() || !bar->HandleAllocated()) return;
  TRect r = bar->GetPanelRect(P->GetIndex());
  if (!IsRectEmpty(&r)) InvalidateRect(bar->GetHandle(), &r, FALSE);
}

}  // namespace

LRESULT CALLBACK OdStatusKeyboardHookProc(int nCode, WPARAM wParam, LPARAM lParam) {
  if (nCode >= 0) {
    try {
      std::vector<TOdStatusPanel*> clients = gHookClients;
      if (gRefreshAll) {
        gRefreshAll = false;
        for (TOdStatusPanel* p : clients) RepaintAfterKey(p);
      } else if ((wParam == VK_CAPITAL || wParam == VK_NUMLOCK || wParam == VK_SCROLL) &&
                 !(lParam & (LPARAM(1) << 31)) && !(lParam & (LPARAM(1) << 30))) {
        for (TOdStatusPanel* p : clients)
          if (LockKey(p->GetPanelType()) == int(wParam)) RepaintAfterKey(p);
      }
    } catch (...) {
      if (Application) Application->HandleException(nullptr);
    }
  }
  return CallNextHookEx(gHook, nCode, wParam, lParam);
}

HHOOK OdStatusKeyboardHook() { return gHook; }
int OdStatusTimerRegistrations() { return gTimerRegs; }
int OdStatusHookClients() { return int(gHookClients.size()); }

// ===========================================================================
// Gauge attributes

void TOdGaugeAttrs::SetStyle(TOdGaugeStyle Value) {
  if (Value == style_) return;
  bool live = owner_->GetPanelType() == sptGauge && owner_->GetEnabled();
  if (live) owner_->Leave();
  style_ = Value;
  owner_->Invalidate();
  if (live) owner_->Enter();
}

void TOdGaugeAttrs::SetPosition(int Value) {
  TPercent v = TPercent(std::clamp(Value, 0, 100));
  if (v == position_) return;
  position_ = v;
  owner_->Invalidate();
}

void TOdGaugeAttrs::SetSpeed(int Value) {
  if (Value < 1 || Value == speed_) return;
  speed_ = Value;
  owner_->gaugeStep_ = owner_->gaugeStep_ < 0 ? -Value : Value;
  owner_->Invalidate();
}

void TOdGaugeAttrs::SetColor(TColor Value) {
  if (Value == color_) return;
  color_ = Value;
  owner_->DiscardGaugeBitmap();
  owner_->Invalidate();
}

void TOdGaugeAttrs::SetTextColor(TColor Value) {
  if (Value == textColor_) return;
  textColor_ = Value;
  owner_->Invalidate();
}

void TOdGaugeAttrs::Assign(const TOdGaugeAttrs& Source) {
  SetPosition(Source.position_);
  SetStyle(Source.style_);
}

// ===========================================================================
// Panel

TOdStatusPanel::TOdStatusPanel(TOdStatusPanels* Collection) : collection_(Collection) {
  if (!Collection) throw Exception(L"TOdStatusPanel owner must be TOdStatusPanesls");
  linked_ = Collection->linked_->Add();
  linked_->SetStyle(psOwnerDraw);
  gaugeAttrs_ = std::make_unique<TOdGaugeAttrs>(this);
  glyph_ = std::make_unique<TPicture>();
  glyph_->OnChange = TNotifyEvent(this, &TOdStatusPanel::GlyphChanged);
}

TOdStatusPanel::~TOdStatusPanel() {
  Leave();
  glyph_->OnChange = TNotifyEvent();
  auto& items = collection_->items_;
  items.erase(std::remove(items.begin(), items.end(), this), items.end());
  int i = linked_ ? linked_->GetIndex() : -1;
  if (i >= 0) collection_->linked_->Delete(i);
}

TOdStatusBar* TOdStatusPanel::GetStatusBar() const { return collection_->bar_; }

bool TOdStatusPanel::Designed() const {
  TOdStatusBar* bar = GetStatusBar();
  return bar && bar->IsDesigning();
}

int TOdStatusPanel::GetIndex() const {
  auto& v = collection_->items_;
  auto it = std::find(v.begin(), v.end(), this);
  return it == v.end() ? -1 : int(it - v.begin());
}

bool TOdStatusPanel::IsIndeterminateGauge() const {
  return panelType_ == sptGauge && IndeterminateGuages.Contains(gaugeAttrs_->GetStyle());
}

bool TOdStatusPanel::GetEnabled() const {
  TOdStatusBar* bar = GetStatusBar();
  // A bar being written stores each panel's own flag, not the bar's.
  if (bar && bar->GetComponentState().Contains(csWriting)) return enabled_;
  return enabled_ && (!bar || bar->GetEnabled());
}

bool TOdStatusPanel::KeyOn() const {
  if (GetStatusBar()->GetUseMonitorDLL()) return keyState_ != 0;
  return (GetKeyState(LockKey(panelType_)) & 1) != 0;
}

void TOdStatusPanel::EnterHook() {
  if (!gHook) gHook = SetWindowsHookExW(WH_KEYBOARD, &OdStatusKeyboardHookProc, nullptr, GetCurrentThreadId());
  if (std::find(gHookClients.begin(), gHookClients.end(), this) == gHookClients.end())
    gHookClients.push_back(this);
  GetStatusBar()->RegisterMainWinHook(this);
  reg_ = regHook;
}

void TOdStatusPanel::LeaveHook() {
  gHookClients.erase(std::remove(gHookClients.begin(), gHookClients.end(), this), gHookClients.end());
  if (gHookClients.empty() && gHook) {
    UnhookWindowsHookEx(gHook);
    gHook = nullptr;
  }
  GetStatusBar()->DeregisterMainWinHook(this);
  reg_ = regNone;
}

// Takes the registration the panel's type needs while it is enabled.
void TOdStatusPanel::Enter() {
  if (reg_ != regNone) return;
  TOdStatusBar* bar = GetStatusBar();
  if (IsLockType()) {
    if (bar->GetUseMonitorDLL()) {
      bar->RegisterSystemHook();
      keyState_ = uint8_t(GetKeyState(LockKey(panelType_)) & 1);
      reg_ = regMonitor;
    } else {
      EnterHook();
    }
  } else if (IsDateTimeType() || IsIndeterminateGauge()) {
    collection_->RegisterTimer(this);
    reg_ = regTimer;
  }
}

// Gives up exactly the registration the panel holds.
void TOdStatusPanel::Leave() {
  switch (reg_) {
    case regHook: LeaveHook(); break;
    case regMonitor:
      reg_ = regNone;
      GetStatusBar()->DeregisterSystemHook();
      break;
    case regTimer:
      reg_ = regNone;
      collection_->DeregisterTimer(this);
      break;
    case regNone: break;
  }
}

void TOdStatusPanel::ResetGauge() {
  gaugeOffset_ = 0;
  gaugeStep_ = gaugeAttrs_->GetSpeed();
}

void TOdStatusPanel::SetPanelType(TOdStatusPanelType Value) {
  if (Value == panelType_) return;
  Leave();
  panelType_ = Value;
  bool en = GetEnabled();
  switch (Value) {
    case sptCapsLock: case sptNumLock: case sptScrollLock:
      text_ = Value == sptCapsLock ? SCapsLock : Value == sptNumLock ? SNumLock : SScrollLock;
      autoFit_ = true;
      if (en) Enter();
      UpdateAutoFitWidth();
      break;
    case sptDate: case sptTime: case sptDateTime: case sptTimeDate:
      autoFit_ = false;
      if (en) Enter();
      UpdateDateTime();
      break;
    case sptEllipsisText: case sptEllipsisPath:
      autoFit_ = false;
      if (GetHint().empty()) hint_ = L"...";
      break;
    case sptGlyph:
      autoFit_ = true;
      UpdateAutoFitWidth();
      break;
    case sptGauge:
      autoFit_ = false;
      linked_->SetAlignment(taCenter);
      if (IsIndeterminateGauge()) {
        // An indeterminate gauge starts stopped; enabling it starts it.
        enabled_ = false;
        ResetGauge();
      }
      break;
    default:
      autoFit_ = false;
      break;
  }
  Invalidate();
}

void TOdStatusPanel::SetEnabled(bool Value) {
  if (Value == enabled_) return;
  enabled_ = Value;
  EnabledChanged();
}

void TOdStatusPanel::EnabledChanged() {
  if (!GetEnabled()) {
    Leave();
    ResetGauge();
  } else {
    Enter();
  }
  Invalidate();
}

void TOdStatusPanel::UpdateKeyboardHook() {
  if (!IsLockType() || !GetEnabled()) return;
  bool monitor = GetStatusBar()->GetUseMonitorDLL();
  if (monitor && reg_ == regHook) Leave();
  if (!monitor && reg_ == regMonitor) Leave();
  Enter();
  Invalidate();
}

void TOdStatusPanel::SetText(const String& Value) {
  if (Value == text_) return;
  text_ = Value;
  Invalidate();
  UpdateAutoFitWidth();
}

void TOdStatusPanel::SetDateFormat(const String& Value) {
  if (Value == dateFormat_) return;
  dateFormat_ = Value;
  UpdateDateTime();
}

void TOdStatusPanel::SetTimeFormat(const String& Value) {
  if (Value == timeFormat_) return;
  timeFormat_ = Value;
  UpdateDateTime();
}

void TOdStatusPanel::SetAutoFit(bool Value) {
  if (Value == autoFit_) return;
  autoFit_ = Value;
  UpdateAutoFitWidth();
}

void TOdStatusPanel::SetBorderWidth(TBorderWidth Value) {
  if (Value == borderWidth_) return;
  borderWidth_ = Value;
  UpdateAutoFitWidth();
  Invalidate();
}

void TOdStatusPanel::SetGlyph(TPicture* Value) {
  if (Value == glyph_.get()) return;
  glyph_->SetGraphic(Value ? Value->GetGraphic() : nullptr);
}

void TOdStatusPanel::GlyphChanged(TObject*) {
  if (panelType_ != sptGlyph) return;
  Invalidate();
  UpdateAutoFitWidth();
}

TAlignment TOdStatusPanel::GetAlignment() const { return linked_->GetAlignment(); }
void TOdStatusPanel::SetAlignment(TAlignment Value) {
  if (Value == linked_->GetAlignment()) return;
  linked_->SetAlignment(Value);
  Invalidate();
}
TStatusPanelBevel TOdStatusPanel::GetBevel() const { return linked_->GetBevel(); }
TBiDiMode TOdStatusPanel::GetBiDiMode() const { return linked_->GetBiDiMode(); }
void TOdStatusPanel::SetBiDiMode(TBiDiMode Value) { linked_->SetBiDiMode(Value); }
bool TOdStatusPanel::GetParentBiDiMode() const { return linked_->GetParentBiDiMode(); }
void TOdStatusPanel::SetParentBiDiMode(bool Value) { linked_->SetParentBiDiMode(Value); }
void TOdStatusPanel::SetBevel(TStatusPanelBevel Value) {
  if (Value != linked_->GetBevel()) linked_->SetBevel(Value);
}
int TOdStatusPanel::GetWidth() const { return linked_->GetWidth(); }

void TOdStatusPanel::SetWidth(int Value) {
  TOdStatusBar* bar = GetStatusBar();
  if (autoFit_ && !(bar && bar->IsLoading())) return;  // an AutoFit width is not set by hand
  if (Value != linked_->GetWidth()) linked_->SetWidth(Value);
  if (IsIndeterminateGauge()) {
    ResetGauge();
    Invalidate();
  }
}

void TOdStatusPanel::UpdateAutoFitWidth() {
  TOdStatusBar* bar = GetStatusBar();
  if (autoFit_ && bar && bar->HandleAllocated()) {
    int w = bar->TextExtent(text_).cx;
    int g = glyph_->GetWidth();
    int width;
    if (panelType_ == sptGlyph)
      width = text_.empty() ? g + borderWidth_ + 4 : w + 2 + 2 * borderWidth_ + g + 4;
    else
      width = w + 6 + borderWidth_;
    if (width != linked_->GetWidth()) linked_->SetWidth(width);
  }
  Invalidate();
}

void TOdStatusPanel::UpdateDateTime() {
  // Only the clock panels show the time; other panels keep their text.
  if (!IsDateTimeType()) return;
  String d = dateFormat_.empty() ? ShortDateFormat : dateFormat_;
  String t = timeFormat_.empty() ? LongTimeFormat : timeFormat_;
  String f;
  switch (panelType_) {
    case sptDate: f = d; break;
    case sptTime: f = t; break;
    case sptDateTime: f = d + L" " + t; break;
    default: f = t + L" " + d; break;
  }
  SetText(FormatDateTime(f, OdStatusNow()));
}

String TOdStatusPanel::GetHint() {
  String h = hint_;
  // A designer shows the hint as set.
  if ((panelType_ == sptEllipsisText || panelType_ == sptEllipsisPath) && hint_ == L"..." && !Designed()) h = text_;
  DoHintText(h);
  return h;
}

void TOdStatusPanel::DoHintText(String& Hint) {
  if (OnHintText) OnHintText(GetStatusBar(), this, Hint);
}

String TOdStatusPanel::GetDisplayName() const {
  String s;
  if (panelType_ == sptNormal || panelType_ == sptEllipsisText || panelType_ == sptEllipsisPath) s = text_;
  else s = kTypeNames[panelType_];
  return s.empty() ? String(L"TOdStatusPanel") : s;
}

void TOdStatusPanel::Assign(TOdStatusPanel* Source) {
  if (!Source || Source == this) return;
  gaugeAttrs_->Assign(*Source->gaugeAttrs_);
  SetAlignment(Source->GetAlignment());
  SetBevel(Source->GetBevel());
  SetBiDiMode(Source->GetBiDiMode());
  SetParentBiDiMode(Source->GetParentBiDiMode());
  SetGlyph(Source->glyph_.get());
  SetText(Source->text_);
  SetDateFormat(Source->dateFormat_);
  SetTimeFormat(Source->timeFormat_);
  SetEnabled(Source->enabled_);
  bool fit = autoFit_;
  autoFit_ = false;  // so that the width is taken
  SetWidth(Source->GetWidth());
  autoFit_ = fit;
  SetAutoFit(Source->autoFit_);
  hint_ = Source->GetHint();
  OnDrawPanel = Source->OnDrawPanel;
  OnHintText = Source->OnHintText;
  SetPanelType(Source->panelType_);
}

void TOdStatusPanel::SetIndex(int Value) {
  auto& items = collection_->items_;
  int cur = GetIndex();
  int n = int(items.size());
  if (Value < 0) Value = 0;
  if (Value >= n) Value = n - 1;
  if (cur < 0 || Value == cur) return;
  // The linked panels cannot move themselves: their settings move instead,
  // and every panel is paired again with the linked panel at its index.
  struct TLinked {
    int Width;
    TAlignment Alignment;
    TStatusPanelBevel Bevel;
    TBiDiMode BiDiMode;
    bool ParentBiDiMode;
  };
  std::vector<TLinked> saved;
  for (TOdStatusPanel* p : items) {
    TStatusPanel* l = p->linked_;
    saved.push_back({l->GetWidth(), l->GetAlignment(), l->GetBevel(), l->GetBiDiMode(), l->GetParentBiDiMode()});
  }
  TLinked mine = saved[size_t(cur)];
  saved.erase(saved.begin() + cur);
  saved.insert(saved.begin() + Value, mine);
  items.erase(items.begin() + cur);
  items.insert(items.begin() + Value, this);
  TStatusPanels* linked = collection_->linked_;
  linked->BeginUpdate();
  for (int i = 0; i < n; ++i) {
    TStatusPanel* l = linked->GetItem(i);
    l->SetWidth(saved[size_t(i)].Width);
    l->SetAlignment(saved[size_t(i)].Alignment);
    l->SetBevel(saved[size_t(i)].Bevel);
    l->SetBiDiMode(saved[size_t(i)].BiDiMode);
    l->SetParentBiDiMode(saved[size_t(i)].ParentBiDiMode);
    l->SetStyle(psOwnerDraw);
    items[size_t(i)]->linked_ = l;
  }
  linked->EndUpdate();
  GetStatusBar()->Invalidate();
}

void TOdStatusPanel::Invalidate() {
  TOdStatusBar* bar = GetStatusBar();
  if (!bar || bar->IsDestroying()) return;
  int i = GetIndex();
  if (i >= 0) bar->InvalidatePanel(i);
}

void TOdStatusPanel::TimerNotification() {
  if (IsDateTimeType()) {
    UpdateDateTime();
  } else if (IsIndeterminateGauge()) {
    TOdStatusBar* bar = GetStatusBar();
    TRect r = bar->GetPanelRect(GetIndex());
    bar->WithCanvas([&](TCanvas* c) { Redraw(c, r); });
  }
}

void TOdStatusPanel::Click() {
  if (OnClick) OnClick(this);
}

void TOdStatusPanel::DrawPanel(const TRect& Rect) {
  TOdStatusBar* bar = GetStatusBar();
  // A designed owner-drawn panel shows that it is one (Redraw).
  if (panelType_ == sptOwnerDraw && !Designed()) {
    if (OnDrawPanel) OnDrawPanel(bar, this, Rect);
    return;
  }
  Redraw(bar->Canvas(), Rect);
}

TBitmap* TOdStatusPanel::GetGaugeBitmap() {
  if (!gaugeBitmap_) gaugeBitmap_.reset(InitGaugeBitmap());
  return gaugeBitmap_.get();
}

// ---------------------------------------------------------------------------
// Painting: each panel is composed off-screen and copied in one step.

void TOdStatusPanel::Redraw(TCanvas* Canvas, const TRect& Rect) {
  TOdStatusBar* bar = GetStatusBar();
  if (!bar->HandleAllocated() || IsRectEmpty(&Rect)) return;
  if (panelType_ == sptOwnerDraw && GetEnabled() && !Designed()) return;  // the application paints it
  TRect r = Rect;
  InflateRect(&r, -1, -1);
  int w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0) return;
  TBitmap bmp(w, h);
  TCanvas* bc = bmp.Canvas();
  bc->Font()->Assign(*Canvas->Font());
  bc->Brush()->SetColor(bar->GetColor());
  bc->Brush()->SetStyle(bsSolid);
  bc->FillRect(TRect{0, 0, w, h});
  TRect dr{0, 0, w, h};
  if (borderWidth_ > 0) InflateRect(&dr, -borderWidth_, -borderWidth_);
  if (GetEnabled()) {
    switch (panelType_) {
      case sptCapsLock: case sptNumLock: case sptScrollLock: DrawKeyLock(bc, dr); break;
      case sptGlyph: DrawGlyph(bc, dr); break;
      case sptGauge:
        if (IsIndeterminateGauge()) DrawIndeterminateGauge(bc, dr);
        else DrawGauge(bc, dr);
        break;
      default: DrawTextBased(bc, dr); break;
    }
  }
  BitBlt(Canvas->GetHandle(), r.left, r.top, w, h, bc->GetHandle(), 0, 0, SRCCOPY);
}

void TOdStatusPanel::DrawKeyLock(TCanvas* Canvas, const TRect& Rect) {
  TColor c = KeyOn() ? GetStatusBar()->Font()->GetColor() : clGrayText;
  UINT flags = kTextFlags;
  if (autoFit_) flags |= DT_CENTER;
  else if (GetAlignment() == taRightJustify) flags |= DT_RIGHT;
  else if (GetAlignment() == taCenter) flags |= DT_CENTER;
  DrawTextIn(Canvas, Rect, text_, flags, c);
}

void TOdStatusPanel::DrawTextBased(TCanvas* Canvas, const TRect& Rect) {
  TRect r = Rect;
  UINT flags = kTextFlags;
  if (autoFit_) {
    flags |= DT_CENTER;
  } else if (GetAlignment() == taRightJustify) {
    flags |= DT_RIGHT;
    r.right -= 1;
  } else if (GetAlignment() == taCenter) {
    flags |= DT_CENTER;
  }
  if (panelType_ == sptEllipsisText) flags |= DT_END_ELLIPSIS;
  if (panelType_ == sptEllipsisPath) flags |= DT_PATH_ELLIPSIS;
  String s = panelType_ == sptOwnerDraw ? String(L" *OD* ") : text_;
  DrawTextIn(Canvas, r, s, flags, GetStatusBar()->Font()->GetColor());
}

void TOdStatusPanel::DrawGlyph(TCanvas* Canvas, const TRect& Rect) {
  TGraphic* g = glyph_->GetGraphic();
  int gw = g ? g->GetWidth() : 0, gh = g ? g->GetHeight() : 0;
  int t = text_.empty() ? 0 : GetStatusBar()->TextExtent(text_).cx + 2;
  int left;
  if (GetAlignment() == taCenter || autoFit_) left = Rect.left + (Rect.right - Rect.left - gw - t) / 2;
  else if (GetAlignment() == taRightJustify) left = Rect.right - gw;
  else left = Rect.left;
  int top = Rect.top + (Rect.bottom - Rect.top - gh) / 2;
  if (g && !g->Empty()) {
    if (auto* b = dynamic_cast<TBitmap*>(g)) {
      // Transparent where the bitmap has its bottom-left colour.
      COLORREF key = GetPixel(b->Canvas()->GetHandle(), 0, gh - 1);
      TransparentBlt(Canvas->GetHandle(), left, top, gw, gh, b->Canvas()->GetHandle(), 0, 0, gw, gh, key);
    } else {
      Canvas->Draw(left, top, g);
    }
  }
  if (!text_.empty()) {
    TRect tr{left + gw + 2, Rect.top, Rect.right, Rect.bottom};
    if (GetAlignment() == taRightJustify) tr.left = left - t - 2;  // the text left of the glyph
    DrawTextIn(Canvas, tr, text_, kTextFlags, GetStatusBar()->Font()->GetColor());
  }
}

void TOdStatusPanel::DrawGauge(TCanvas* Canvas, const TRect& Rect) {
  TOdStatusBar* bar = GetStatusBar();
  int split = Rect.left + MulDiv(Rect.right - Rect.left, gaugeAttrs_->GetPosition(), 100);
  TRect full{Rect.left, Rect.top, split, Rect.bottom};
  TRect empty{split, Rect.top, Rect.right, Rect.bottom};
  Canvas->Brush()->SetStyle(bsSolid);
  Canvas->Brush()->SetColor(gaugeAttrs_->GetColor());
  if (split > Rect.left) Canvas->FillRect(full);
  Canvas->Brush()->SetColor(bar->GetColor());
  if (split < Rect.right) Canvas->FillRect(empty);
  String caption = text_.empty() ? IntToStr(gaugeAttrs_->GetPosition()) + L"%" : text_;
  UINT flags = kTextFlags;
  if (GetAlignment() == taRightJustify) flags |= DT_RIGHT;
  else if (GetAlignment() == taCenter) flags |= DT_CENTER;
  HDC dc = Canvas->GetHandle();
  HRGN saved = CreateRectRgn(0, 0, 0, 0);
  bool hadClip = GetClipRgn(dc, saved) == 1;
  HRGN a = CreateRectRgnIndirect(&full);
  SelectClipRgn(dc, a);
  DrawTextIn(Canvas, Rect, caption, flags, gaugeAttrs_->GetTextColor());
  HRGN b = CreateRectRgnIndirect(&empty);
  SelectClipRgn(dc, b);
  DrawTextIn(Canvas, Rect, caption, flags, bar->Font()->GetColor());
  SelectClipRgn(dc, hadClip ? saved : nullptr);
  DeleteObject(a);
  DeleteObject(b);
  DeleteObject(saved);
}

TBitmap* TOdStatusPanel::InitGaugeBitmap() {
  TOdStatusBar* bar = GetStatusBar();
  int h = std::max(1, bar->GetHeight());
  auto* b = new TBitmap(100, h);
  TCanvas* c = b->Canvas();
  c->Brush()->SetColor(clRed);
  c->FillRect(TRect{0, 0, 100, h});
  COLORREF s = ColorToRef(bar->GetColor()), e = ColorToRef(gaugeAttrs_->GetColor());
  HDC dc = c->GetHandle();
  for (int x = 0; x < 100; ++x) {
    auto mix = [x](int from, int to) { return from + (to - from) * x / 99; };
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(mix(GetRValue(s), GetRValue(e)), mix(GetGValue(s), GetGValue(e)),
                                          mix(GetBValue(s), GetBValue(e))));
    HGDIOBJ old = SelectObject(dc, pen);
    MoveToEx(dc, x, 0, nullptr);
    LineTo(dc, x, h);
    SelectObject(dc, old);
    DeleteObject(pen);
  }
  return b;
}

void TOdStatusPanel::DrawIndeterminateGauge(TCanvas* Canvas, const TRect& Rect) {
  int w = Rect.right - Rect.left;
  int speed = gaugeAttrs_->GetSpeed();
  gaugeOffset_ += gaugeStep_;
  if (gaugeAttrs_->GetStyle() == gsIndeterminate) {
    Canvas->Brush()->SetColor(gaugeAttrs_->GetColor());
    Canvas->Pen()->SetColor(gaugeAttrs_->GetColor());
    TRect block = Rect;
    InflateRect(&block, 0, -((Rect.bottom - Rect.top) / 3));
    int s = block.bottom - block.top;
    if (gaugeStep_ > 0 && gaugeOffset_ + s + 1 >= w) gaugeStep_ = -speed;
    else if (gaugeStep_ < 0 && gaugeOffset_ <= 1) gaugeStep_ = speed;
    block.left = Rect.left + gaugeOffset_;
    block.right = block.left + s;
    InflateRect(&block, 1, 1);
    Canvas->Ellipse(block);
    return;
  }
  TBitmap* b = GetGaugeBitmap();
  int bw = b->GetWidth(), bh = b->GetHeight();
  if (gaugeStep_ > 0 && gaugeOffset_ + 1 >= w) gaugeStep_ = -speed;
  else if (gaugeStep_ < 0 && gaugeOffset_ <= -bw) gaugeStep_ = speed;
  int dl = Rect.left + gaugeOffset_;
  int remaining = Rect.right - dl;
  if (remaining <= 0) return;
  int sl = 0, sw = bw;
  if (bw > remaining) {
    sw = remaining;
    if (gaugeStep_ < 0) sl = bw - remaining;  // moving left: keep the right part
  }
  HDC dst = Canvas->GetHandle(), src = b->Canvas()->GetHandle();
  int dh = Rect.bottom - Rect.top;
  if (gaugeStep_ > 0)
    StretchBlt(dst, dl, Rect.top, sw, dh, src, sl, 0, sw, bh, SRCCOPY);
  else  // mirrored, so that the gauge colour leads
    StretchBlt(dst, dl, Rect.top, sw, dh, src, sl + sw - 1, bh - 1, -sw, -bh, SRCCOPY);
}

// ===========================================================================
// Panel collection

TOdStatusPanels::TOdStatusPanels(TOdStatusBar* StatusBar, TStatusPanels* Linked)
    : bar_(StatusBar), linked_(Linked) {}

TOdStatusPanels::~TOdStatusPanels() { Clear(); }

TOdStatusPanel* TOdStatusPanels::Add() {
  auto* p = new TOdStatusPanel(this);
  items_.push_back(p);
  return p;
}

void TOdStatusPanels::Assign(TOdStatusPanels* Source) {
  if (!Source || Source == this) return;
  BeginUpdate();
  try {
    Clear();
    for (TOdStatusPanel* p : Source->items_) Add()->Assign(p);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

TOdStatusPanel* TOdStatusPanels::GetItem(int Index) const {
  if (Index < 0 || Index >= GetCount()) throw EListError(Format(L"List index out of bounds (%d)", Index));
  return items_[size_t(Index)];
}

void TOdStatusPanels::SetItem(int Index, TOdStatusPanel* Value) { GetItem(Index)->Assign(Value); }

void TOdStatusPanels::Delete(int Index) { delete GetItem(Index); }

void TOdStatusPanels::Clear() {
  while (!items_.empty()) delete items_.back();
}

void TOdStatusPanels::BeginUpdate() { linked_->BeginUpdate(); }
void TOdStatusPanels::EndUpdate() { linked_->EndUpdate(); }

void TOdStatusPanels::Update(TOdStatusPanel* Item) {
  if (Item) Item->Invalidate();
  else bar_->Invalidate();
}

void TOdStatusPanels::RegisterTimer(TOdStatusPanel* Panel) {
  if (!timer_) {
    timer_ = new TTimer(bar_);
    timer_->SetEnabled(false);
    lastDate_ = std::floor(OdStatusNow());
    timer_->SetOnTimer(TNotifyEvent(this, &TOdStatusPanels::TimerEvent));
  }
  if (std::find(clients_.begin(), clients_.end(), Panel) == clients_.end()) {
    clients_.push_back(Panel);
    ++gTimerRegs;
    switch (Panel->GetPanelType()) {
      case sptDate:
        if (clients_.size() == 1) timer_->SetInterval(60000);
        break;
      case sptTime: case sptDateTime: case sptTimeDate:
        if (clients_.size() == 1 || timer_->GetInterval() > 1000) timer_->SetInterval(1000);
        break;
      case sptGauge:
        timer_->SetInterval(INDETERMINATE_GAUGE_UPDATE_INTERVAL);
        break;
      default: break;
    }
  }
  timer_->SetEnabled(true);
}

void TOdStatusPanels::DeregisterTimer(TOdStatusPanel* Panel) {
  auto it = std::find(clients_.begin(), clients_.end(), Panel);
  if (it == clients_.end()) return;
  clients_.erase(it);
  --gTimerRegs;
  if (clients_.empty()) {
    delete timer_;
    timer_ = nullptr;
    return;
  }
  unsigned interval = 60000;
  for (TOdStatusPanel* p : clients_) {
    if (p->IsIndeterminateGauge()) {
      interval = INDETERMINATE_GAUGE_UPDATE_INTERVAL;
      break;
    }
    if (p->GetPanelType() >= sptTime && p->GetPanelType() <= sptTimeDate) interval = 1000;
  }
  timer_->SetInterval(interval);
}

void TOdStatusPanels::TimerEvent(TObject*) {
  TDateTime today = std::floor(OdStatusNow());
  bool dateChanged = today != lastDate_;
  if (dateChanged) lastDate_ = today;
  std::vector<TOdStatusPanel*> clients = clients_;  // a notification may change the list
  for (TOdStatusPanel* p : clients) {
    if (std::find(clients_.begin(), clients_.end(), p) == clients_.end()) continue;
    TOdStatusPanelType t = p->GetPanelType();
    if ((t >= sptTime && t <= sptTimeDate) || (t == sptDate && dateChanged) || p->IsIndeterminateGauge())
      p->TimerNotification();
  }
}

// ===========================================================================
// Bar

TOdStatusBar::TOdStatusBar(TComponent* AOwner) : TStatusBar(AOwner) {
  panels_ = std::make_unique<TOdStatusPanels>(this, TStatusBar::Panels());
  extentDC_ = CreateCompatibleDC(nullptr);
  ControlStyle.Include(csAcceptsControls);
  appHook_ = TWindowHook(this, &TOdStatusBar::AppWinHook);
}

TOdStatusBar::~TOdStatusBar() {
  Destroying();
  panels_.reset();  // each panel leaves its registrations
  if (extentDC_) {
    if (replacedFont_) SelectObject(extentDC_, replacedFont_);
    DeleteDC(extentDC_);
  }
  if (extentFont_) DeleteObject(extentFont_);
  // Every panel has left by now; an application hook still in place would
  // call into a freed object, so it goes in any case.
  if (!mainWinClients_.empty() && Application) Application->UnhookMainWindow(appHook_);
  mainWinClients_.clear();
}

String TOdStatusBar::GetVersion() const { return L"1.0"; }

TOdStatusPanel* TOdStatusBar::FindLinkedPanel(TStatusPanel* Panel) const {
  for (int i = 0; i < panels_->GetCount(); ++i)
    if ((*panels_)[i]->GetLinkedPanel() == Panel) return (*panels_)[i];
  return nullptr;
}

TRect TOdStatusBar::GetPanelRect(int Index) {
  TRect r{};
  if (!HandleAllocated()) return r;
  if (!SendMessageW(GetHandle(), SB_GETRECT, WPARAM(Index), LPARAM(&r))) return TRect{};
  return r;
}

void TOdStatusBar::InvalidatePanel(int Index) {
  if (Index < 0 || Index >= panels_->GetCount())
    throw EListError(Format(L"List index out of bounds (%d)", Index));
  TRect r = GetPanelRect(Index);
  if (IsRectEmpty(&r)) return;
  TOdStatusPanel* p = (*panels_)[Index];
  WithCanvas([&](TCanvas* c) { p->Redraw(c, r); });
}

TSize TOdStatusBar::TextExtent(const String& S) {
  SIZE s{};
  if (!extentDC_ || !GetTextExtentPoint32W(extentDC_, S.c_str(), int(S.size()), &s)) return TSize{-1, -1};
  return TSize{s.cx, s.cy};
}

void TOdStatusBar::UpdateExtentFont() {
  if (!extentDC_) return;
  if (replacedFont_) SelectObject(extentDC_, replacedFont_);
  if (extentFont_) DeleteObject(extentFont_);
  LOGFONTW lf{};
  Font()->GetLogFont(lf);
  extentFont_ = CreateFontIndirectW(&lf);
  replacedFont_ = SelectObject(extentDC_, extentFont_);
}

void TOdStatusBar::UpdateKeyboardHooks() {
  for (int i = 0; i < panels_->GetCount(); ++i) (*panels_)[i]->UpdateKeyboardHook();
}

void TOdStatusBar::RegisterMainWinHook(TOdStatusPanel* Panel) {
  if (std::find(mainWinClients_.begin(), mainWinClients_.end(), Panel) != mainWinClients_.end()) return;
  mainWinClients_.push_back(Panel);
  if (mainWinClients_.size() == 1 && Application) Application->HookMainWindow(appHook_);
}

void TOdStatusBar::DeregisterMainWinHook(TOdStatusPanel* Panel) {
  auto it = std::find(mainWinClients_.begin(), mainWinClients_.end(), Panel);
  if (it == mainWinClients_.end()) return;
  mainWinClients_.erase(it);
  if (mainWinClients_.empty() && Application) Application->UnhookMainWindow(appHook_);
}

void TOdStatusBar::RegisterSystemHook() {
  if (++monitorCount_ != 1) return;
  ++gMonitorBars;
  if (!KbMonDLL_Loaded) InitKbMonDLL();
  RegisterMonitorWindow();
}

void TOdStatusBar::RegisterMonitorWindow() {
  if (HandleAllocated() && KbMonDLL_Loaded) monitorMessage_ = DLLRegisterKeyboardHook(GetHandle());
}

void TOdStatusBar::DeregisterSystemHook() {
  if (--monitorCount_ >= 1) return;
  if (KbMonDLL_Loaded && HandleAllocated()) DLLDeregisterKeyboardHook(GetHandle());
  monitorCount_ = 0;
  monitorMessage_ = 0;
  if (gMonitorBars > 0) --gMonitorBars;
  // Other bars may still count on it, their windows made or not: the
  // library goes only with the last.
  if (KbMonDLL_Loaded && gMonitorBars == 0) UnloadKbMonDLL();
}

void TOdStatusBar::SetUseMonitorDLL(bool Value) {
  if (Value == useMonitorDLL_) return;
  useMonitorDLL_ = Value;
  // The enabled lock panels load the library as they register with it.
  UpdateKeyboardHooks();
  // A form being read sets this before its panels: Loaded checks it then.
  if (!IsLoading()) CheckMonitorLoaded(IsDesigning());
}

void TOdStatusBar::CheckMonitorLoaded(bool Report) {
  if (!useMonitorDLL_ || KbMonDLL_Loaded) return;
  // Not loaded is not yet missing: a bar without an enabled lock panel has
  // had no reason to load the library, so it is loaded here to find out.
  // Lock panels already counted, here or on another bar (their own load
  // failed), keep it; otherwise it goes again until a lock panel registers.
  if (InitKbMonDLL()) {
    if (monitorCount_ > 0) RegisterMonitorWindow();
    else if (gMonitorBars == 0) UnloadKbMonDLL();
    return;
  }
  // No library: back to the bar's own keyboard hook, which a designer is
  // told about.
  useMonitorDLL_ = false;
  UpdateKeyboardHooks();
  if (Report) throw Exception(L"Could not load " + KbMonDLLName);
}

bool TOdStatusBar::AppWinHook(TMessage& Message) {
  if (!useMonitorDLL_ && Message.Msg == WM_ACTIVATEAPP) {
    if (Message.WParam == 0) gRefreshAll = true;
    if (HandleAllocated()) PostMessageW(GetHandle(), WM_REFRESHLOCKINDICATORS, 0, 0);
  }
  return false;
}

void TOdStatusBar::Loaded() {
  TStatusBar::Loaded();
  CheckMonitorLoaded(false);
  UpdateExtentFont();
  for (int i = 0; i < panels_->GetCount(); ++i)
    if ((*panels_)[i]->GetAutoFit()) (*panels_)[i]->UpdateAutoFitWidth();
}

void TOdStatusBar::CreateWnd() {
  TStatusBar::CreateWnd();
  if (!IsLoading()) {
    UpdateExtentFont();
    for (int i = 0; i < panels_->GetCount(); ++i)
      if ((*panels_)[i]->GetAutoFit()) (*panels_)[i]->UpdateAutoFitWidth();
  }
  if (monitorCount_ > 0) RegisterMonitorWindow();
}

void TOdStatusBar::DrawPanel(TStatusPanel* Panel, const TRect& Rect) {
  TOdStatusPanel* p = FindLinkedPanel(Panel);
  if (!p) throw EOdAssertion(L"Panel links corrupted");
  // Handlers and panels draw in the font the widths were measured with; the
  // canvas lets go of its own selections around it.
  TCanvas* c = Canvas();
  HDC dc = c->GetHandle();
  c->Refresh();
  HGDIOBJ old = extentFont_ ? SelectObject(dc, extentFont_) : nullptr;
  auto restore = [&] {
    c->Refresh();
    if (old) SelectObject(dc, old);
  };
  try {
    if (onDrawPanel_) onDrawPanel_(this, p, Rect);
    p->DrawPanel(Rect);
  } catch (...) {
    restore();
    throw;
  }
  restore();
}

bool TOdStatusBar::ExecuteAction(TBasicAction* Action) {
  bool done = TStatusBar::ExecuteAction(Action);
  Invalidate();
  return done;
}

void TOdStatusBar::Click() {
  POINT pt{};
  GetCursorPos(&pt);
  if (HandleAllocated()) ::ScreenToClient(GetHandle(), &pt);
  for (int i = 0; i < panels_->GetCount(); ++i) {
    TRect r = GetPanelRect(i);
    if (PtInRect(&r, pt)) {
      (*panels_)[i]->Click();
      break;
    }
  }
  TStatusBar::Click();
}

void TOdStatusBar::PaintSizeGrip() {
  if (!GetSizeGrip() || !HandleAllocated()) return;
  TRect cr = GetClientRect();
  TRect r{cr.right - 15, cr.top + 3, cr.right, cr.bottom - 1};
  OffsetRect(&r, -1, -1);
  HDC dc = GetDC(GetHandle());
  HBRUSH br = CreateSolidBrush(ColorToRef(GetColor()));
  FillRect(dc, &r, br);
  DeleteObject(br);
  auto line = [&](TColor col, int d) {
    HPEN pen = CreatePen(PS_SOLID, 1, ColorToRef(col));
    HGDIOBJ old = SelectObject(dc, pen);
    MoveToEx(dc, r.right - d, r.bottom, nullptr);
    LineTo(dc, r.right, r.bottom - d);
    SelectObject(dc, old);
    DeleteObject(pen);
  };
  for (int d : {2, 13, 9, 5}) line(clBtnHighlight, d);
  SetPixel(dc, r.right - 1, r.bottom, ColorToRef(clBtnHighlight));
  for (int d : {11, 7, 3}) line(clBtnShadow, d);
  HPEN pen = CreatePen(PS_SOLID, 1, ColorToRef(clBtnShadow));
  HGDIOBJ old = SelectObject(dc, pen);
  MoveToEx(dc, r.left, r.top, nullptr);
  LineTo(dc, r.right, r.top);
  SelectObject(dc, old);
  DeleteObject(pen);
  ReleaseDC(GetHandle(), dc);
}

void TOdStatusBar::ShowPanelHint(THintInfo& Info) {
  const POINT pt = Info.CursorPos;
  int n = panels_->GetCount();
  std::vector<TRect> rects(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) rects[size_t(i)] = GetPanelRect(i);
  for (int i = 0; i < n; ++i) {
    if (!PtInRect(&rects[size_t(i)], pt)) continue;
    String hint = (*panels_)[i]->GetHint();
    if (hint.empty()) break;
    Info.HintStr = hint;
    Info.CursorRect = rects[size_t(i)];
    return;
  }
  // The bar's own hint: only between the nearest panels with hints of
  // their own.
  int left = -1;
  for (int i = 0; i < n; ++i)
    if (rects[size_t(i)].left < pt.x) left = i;
  for (int i = left; i >= 0; --i)
    if (!(*panels_)[i]->GetHint().empty()) {
      Info.CursorRect.left = rects[size_t(i)].right;
      break;
    }
  int right = n;
  for (int i = 0; i < n; ++i)
    if (rects[size_t(i)].right > pt.x) {
      right = i;
      break;
    }
  for (int i = right; i < n; ++i)
    if (!(*panels_)[i]->GetHint().empty()) {
      Info.CursorRect.right = rects[size_t(i)].left;
      break;
    }
}

void TOdStatusBar::WndProc(TMessage& m) {
  if (monitorMessage_ != 0 && m.Msg == monitorMessage_) {
    TOdStatusPanelType t = m.WParam == VK_NUMLOCK ? sptNumLock : m.WParam == VK_SCROLL ? sptScrollLock : sptCapsLock;
    for (int i = 0; i < panels_->GetCount(); ++i) {
      TOdStatusPanel* p = (*panels_)[i];
      if (p->GetPanelType() != t) continue;
      p->keyState_ = uint8_t(m.LParam & 1);
      p->Invalidate();
    }
    return;
  }
  switch (m.Msg) {
    case CN_DRAWITEM:
      inDraw_ = true;
      try {
        TStatusBar::WndProc(m);
      } catch (...) {
        inDraw_ = false;
        throw;
      }
      inDraw_ = false;
      return;
    case WM_DESTROY:
      if (useMonitorDLL_ && monitorCount_ >= 1 && KbMonDLL_Loaded) DLLDeregisterKeyboardHook(GetHandle());
      break;
    case WM_REFRESHLOCKINDICATORS:
      panels_->BeginUpdate();
      try {
        for (int i = 0; i < panels_->GetCount(); ++i)
          if ((*panels_)[i]->IsLockType()) InvalidatePanel(i);
      } catch (...) {
        panels_->EndUpdate();
        throw;
      }
      panels_->EndUpdate();
      return;
    case CM_FONTCHANGED:
      TStatusBar::WndProc(m);
      UpdateExtentFont();
      panels_->BeginUpdate();
      for (int i = 0; i < panels_->GetCount(); ++i)
        if ((*panels_)[i]->GetAutoFit()) (*panels_)[i]->UpdateAutoFitWidth();
      panels_->EndUpdate();
      return;
    case CM_ENABLEDCHANGED:
      TStatusBar::WndProc(m);
      Invalidate();
      for (int i = 0; i < panels_->GetCount(); ++i) (*panels_)[i]->EnabledChanged();
      return;
    case CM_HINTSHOW:
      TStatusBar::WndProc(m);
      if (m.Result == 0 && m.LParam) ShowPanelHint(*reinterpret_cast<THintInfo*>(m.LParam));
      return;
    case WM_PAINT:
      TStatusBar::WndProc(m);
      if (GetColor() != clBtnFace) PaintSizeGrip();
      return;
    default: break;
  }
  TStatusBar::WndProc(m);
}

// ===========================================================================
// Form streaming: the bar stores its panels as a collection, each panel as
// a list of its stored properties.

namespace {

const PropFiler::TNames kPanelTypeNames(std::begin(kTypeNames), std::end(kTypeNames));
const PropFiler::TNames kGaugeStyleNames{L"gsPercent", L"gsIndeterminate", L"gsIndeterminate2"};
const PropFiler::TNames kAlignmentNames{L"taLeftJustify", L"taRightJustify", L"taCenter"};
const PropFiler::TNames kBevelNames{L"pbNone", L"pbLowered", L"pbRaised"};
const PropFiler::TNames kBiDiModeNames{L"bdLeftToRight", L"bdRightToLeft", L"bdRightToLeftNoAlign",
                                       L"bdRightToLeftReadingOnly"};
// The width of a new panel.
constexpr int kNewPanelWidth = 50;

// The panels as the collection helpers reach them.
class TPanelItems : public PropFiler::TItemList {
 public:
  explicit TPanelItems(TOdStatusPanels* Panels) : panels_(Panels) {}
  int Count() override { return panels_->GetCount(); }
  void Declare(int Index, TFiler* Filer) override { panels_->GetItem(Index)->DefineProperties(Filer); }
  void Clear() override { panels_->Clear(); }
  void Add() override { panels_->Add(); }
  void BeginUpdate() override { panels_->BeginUpdate(); }
  void EndUpdate() override { panels_->EndUpdate(); }
  // The panels of a bar of their own, on no form.
  std::unique_ptr<PropFiler::TItemList> Scratch() override {
    auto Bar = std::make_unique<TOdStatusBar>(nullptr);
    auto List = std::make_unique<TPanelItems>(Bar->Panels());
    List->bar_ = std::move(Bar);
    return List;
  }

 private:
  TOdStatusPanels* panels_;
  std::unique_ptr<TOdStatusBar> bar_;  // a scratch list's bar
};

void WritePanels(TWriter* W, TOdStatusPanels* Panels, TComponent* Root) {
  TPanelItems items(Panels);
  PropFiler::WriteCollection(W, items, Root);
}

std::vector<uint8_t> PanelsBytes(TOdStatusPanels* Panels, TComponent* Root) {
  TMemoryStream m;
  {
    TWriter w(&m);
    WritePanels(&w, Panels, Root);
  }
  const auto* b = static_cast<const uint8_t*>(m.Memory());
  return std::vector<uint8_t>(b, b + m.GetSize());
}

// A glyph is stored as the class of its graphic (a short string) and the
// graphic's bytes: a bitmap as its file image, an icon as the file images
// of its colour and mask bitmaps, each with its length.
void PutBytes(TStream* S, const std::vector<uint8_t>& B) {
  const auto n = static_cast<uint32_t>(B.size());
  S->WriteBuffer(&n, sizeof n);
  if (n) S->WriteBuffer(B.data(), n);
}

std::vector<uint8_t> GetBytes(TStream* S) {
  uint32_t n = 0;
  S->ReadBuffer(&n, sizeof n);
  if (static_cast<int64_t>(n) > S->GetSize() - S->GetPosition()) throw EReadError(L"Invalid stream format");
  std::vector<uint8_t> b(n);
  if (n) S->ReadBuffer(b.data(), n);
  return b;
}

std::vector<uint8_t> BitmapBytes(HBITMAP H) {
  if (!H) return {};
  TBitmap b;
  b.SetHandle(static_cast<HBITMAP>(CopyImage(H, IMAGE_BITMAP, 0, 0, 0)));
  return b.SaveToBytes();
}

void WriteGlyph(TStream* S, TGraphic* G) {
  const std::string kind = dynamic_cast<TIcon*>(G) ? "TIcon" : "TBitmap";
  const auto n = static_cast<uint8_t>(kind.size());
  S->WriteBuffer(&n, 1);
  S->WriteBuffer(kind.data(), n);
  if (auto* icon = dynamic_cast<TIcon*>(G)) {
    ICONINFO ii{};
    std::vector<uint8_t> color, mask;
    if (icon->GetHandle() && GetIconInfo(icon->GetHandle(), &ii)) {
      color = BitmapBytes(ii.hbmColor);
      mask = BitmapBytes(ii.hbmMask);
      if (ii.hbmColor) DeleteObject(ii.hbmColor);
      if (ii.hbmMask) DeleteObject(ii.hbmMask);
    }
    PutBytes(S, color);
    PutBytes(S, mask);
  } else {
    PutBytes(S, static_cast<TBitmap*>(G)->SaveToBytes());
  }
}

void ReadGlyph(TStream* S, TPicture* Glyph) {
  uint8_t n = 0;
  S->ReadBuffer(&n, 1);
  std::string kind(n, '\0');
  if (n) S->ReadBuffer(kind.data(), n);
  if (kind == "TBitmap") {
    std::vector<uint8_t> b = GetBytes(S);
    TBitmap bmp;
    bmp.LoadFromBytes(b.data(), b.size());
    Glyph->SetGraphic(&bmp);
  } else if (kind == "TIcon") {
    std::vector<uint8_t> c = GetBytes(S), m = GetBytes(S);
    TBitmap color, mask;
    if (!c.empty()) color.LoadFromBytes(c.data(), c.size());
    mask.LoadFromBytes(m.data(), m.size());
    ICONINFO ii{TRUE, 0, 0, mask.GetHandle(), c.empty() ? nullptr : color.GetHandle()};
    TIcon icon;
    icon.SetHandle(CreateIconIndirect(&ii));
    Glyph->SetGraphic(&icon);
  } else {
    throw EReadError(L"Invalid property value: unknown glyph class " + AnsiToWide(kind));
  }
}

}  // namespace

void TOdStatusPanel::DefineProperties(TFiler* Filer) {
  using namespace PropFiler;
  // What setting the type gives a new panel is its default here.
  const bool ellipsis = panelType_ == sptEllipsisText || panelType_ == sptEllipsisPath;
  String typeText;
  if (IsLockType()) typeText = panelType_ == sptCapsLock ? SCapsLock : panelType_ == sptNumLock ? SNumLock : SScrollLock;
  Enum(Filer, L"PanelType", panelType_, sptNormal, kPanelTypeNames,
       [this](int v) { SetPanelType(static_cast<TOdStatusPanelType>(v)); });
  // Stored always: the type sets it on its own.
  Boolean(Filer, L"AutoFit", autoFit_, !autoFit_, [this](bool v) { SetAutoFit(v); });
  Boolean(Filer, L"Enabled", GetEnabled(), true, [this](bool v) { SetEnabled(v); });
  Text(Filer, L"TimeFormat", timeFormat_, String(), [this](const String& v) { SetTimeFormat(v); });
  Text(Filer, L"DateFormat", dateFormat_, String(), [this](const String& v) { SetDateFormat(v); });
  // A clock panel's text is the time it shows when read.
  Text(Filer, L"Text", text_, typeText, [this](const String& v) { SetText(v); }, !IsDateTimeType());
  TGraphic* g = glyph_->GetGraphic();
  {
    // Written only when there is one.
    TDeclaringReset noGlyph([this] { glyph_->SetGraphic(nullptr); });
    Filer->DefineBinaryProperty(
        L"Glyph", [this](TStream* S) { ReadGlyph(S, glyph_.get()); }, [g](TStream* S) { WriteGlyph(S, g); },
        g && !g->Empty());
  }
  Text(Filer, L"Hint", hint_, ellipsis ? String(L"...") : String(), [this](const String& v) { SetHint(v); });
  Integer(Filer, L"BorderWidth", borderWidth_, 0, [this](int64_t v) { SetBorderWidth(TBorderWidth(v)); });
  TOdGaugeAttrs* ga = gaugeAttrs_.get();
  Enum(Filer, L"GaugeAttrs.Style", ga->GetStyle(), gsPercent, kGaugeStyleNames,
       [ga](int v) { ga->SetStyle(static_cast<TOdGaugeStyle>(v)); });
  Integer(Filer, L"GaugeAttrs.Position", ga->GetPosition(), 0, [ga](int64_t v) { ga->SetPosition(int(v)); });
  Integer(Filer, L"GaugeAttrs.Speed", ga->GetSpeed(), 4, [ga](int64_t v) { ga->SetSpeed(int(v)); });
  Integer(Filer, L"GaugeAttrs.Color", ga->GetColor(), clHighlight, [ga](int64_t v) { ga->SetColor(TColor(v)); });
  Integer(Filer, L"GaugeAttrs.TextColor", ga->GetTextColor(), clHighlightText,
          [ga](int64_t v) { ga->SetTextColor(TColor(v)); });
  Enum(Filer, L"Alignment", GetAlignment(), panelType_ == sptGauge ? taCenter : taLeftJustify, kAlignmentNames,
       [this](int v) { SetAlignment(static_cast<TAlignment>(v)); });
  Enum(Filer, L"Bevel", GetBevel(), pbLowered, kBevelNames,
       [this](int v) { SetBevel(static_cast<TStatusPanelBevel>(v)); });
  Integer(Filer, L"Width", GetWidth(), kNewPanelWidth, [this](int64_t v) { SetWidth(int(v)); });
  Enum(Filer, L"BiDiMode", GetBiDiMode(), bdLeftToRight, kBiDiModeNames,
       [this](int v) { SetBiDiMode(static_cast<TBiDiMode>(v)); }, IsBiDiModeStored());
  Boolean(Filer, L"ParentBiDiMode", GetParentBiDiMode(), true, [this](bool v) { SetParentBiDiMode(v); });
  Event<TOdDrawPanelEvent>(Filer, L"OnDrawPanel", OnDrawPanel, nullptr);
  Event<TOdPanelHintTextEvent>(Filer, L"OnHintText", OnHintText, nullptr);
  Event<TNotifyEvent>(Filer, L"OnClick", OnClick, nullptr);
}

void TOdStatusBar::DefineProperties(TFiler* Filer) {
  TStatusBar::DefineProperties(Filer);
  using namespace PropFiler;
  auto* a = dynamic_cast<TOdStatusBar*>(Filer->GetAncestor());
  Boolean(Filer, L"UseMonitorDLL", useMonitorDLL_, a ? a->useMonitorDLL_ : false,
          [this](bool v) { SetUseMonitorDLL(v); });
  Event(Filer, L"OnDrawPanel", onDrawPanel_, a ? &a->onDrawPanel_ : nullptr);
  // The panels are stored whole when they differ from the ancestor's, or,
  // without one, when there are any.
  bool differs = panels_->GetCount() > 0;
  if (a && dynamic_cast<TWriter*>(Filer)) {
    // The ancestor's panels as they would be written (their own Enabled).
    const bool wasWriting = a->GetComponentState().Contains(csWriting);
    a->SetComponentStateFlag(csWriting, true);
    std::vector<uint8_t> theirs;
    try {
      theirs = PanelsBytes(a->panels_.get(), a->GetOwner());
    } catch (...) {
      a->SetComponentStateFlag(csWriting, wasWriting);
      throw;
    }
    a->SetComponentStateFlag(csWriting, wasWriting);
    differs = PanelsBytes(panels_.get(), Filer->GetRoot()) != theirs;
  }
  Filer->DefineProperty(
      L"Panels",
      [this](TReader* R) {
        // As many panels as the bar has are read where they are (a
        // property storage puts them back so): callers keep theirs, with
        // the handlers no stream names.
        TPanelItems items(panels_.get());
        ReadCollection(R, items, L"Panels");
      },
      [this, Filer](TWriter* W) { WritePanels(W, panels_.get(), Filer->GetRoot()); }, differs);
  // Streams of older versions may carry the version text.
  Ignored(Filer, L"Version");
}

// ===========================================================================
// Unit set-up and tear-down

void OdStatusBarInitialize() {
  RegisterClasses({ComponentClass<TOdStatusBar>(L"TOdStatusBar")});
  CompareWithNewComponents({L"TOdStatusBar"});
  SCapsLock = L" CAPS ";
  SNumLock = L" NUM ";
  SScrollLock = L" SCROLL ";
  gRefreshAll = false;
  gHook = nullptr;
  gHookClients.clear();
  gTimerRegs = 0;
}

void OdStatusBarFinalize() {
  UnRegisterClass(L"TOdStatusBar");
  bool hookLeft = gHook != nullptr;
  if (hookLeft) {
    UnhookWindowsHookEx(gHook);
    gHook = nullptr;
  }
  bool timersLeft = gTimerRegs != 0;
  gHookClients.clear();
  if (KbMonDLL_Loaded) UnloadKbMonDLL();
  if (hookLeft) throw EOdAssertion(L"TOdStatusBar: Keyboard hook still installed");
  if (timersLeft) throw EOdAssertion(L"TOdStatusBar: Unbalanced timer registrations");
}
