#include "classlib/Controls.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <unordered_map>
#include <typeinfo>

#include "classlib/Forms.h"
#include "classlib/Menus.h"
#include "classlib/PropFiler.h"

namespace {

// Window -> control. A map of our own: window properties cost a round trip
// to the window server per lookup under Wine, and every message needs one.
struct ControlMap {
  SRWLOCK lock = SRWLOCK_INIT;
  std::unordered_map<HWND, TWinControl*> map;
};
ControlMap& Controls() {
  static ControlMap* m = new ControlMap();
  return *m;
}
// A one-entry cache per thread, valid while no window left the map.
std::atomic<unsigned> mapGeneration{0};
thread_local HWND lastWnd = nullptr;
thread_local TWinControl* lastControl = nullptr;
thread_local unsigned lastGeneration = 0;

void MapControl(HWND h, TWinControl* c) {
  ControlMap& m = Controls();
  AcquireSRWLockExclusive(&m.lock);
  m.map[h] = c;
  ReleaseSRWLockExclusive(&m.lock);
  lastWnd = nullptr;
}

void UnmapControl(HWND h) {
  ControlMap& m = Controls();
  AcquireSRWLockExclusive(&m.lock);
  m.map.erase(h);
  ++mapGeneration;
  ReleaseSRWLockExclusive(&m.lock);
  lastWnd = nullptr;
}

TWinControl* LookupControl(HWND h) {
  if (!h) return nullptr;
  unsigned gen = mapGeneration.load(std::memory_order_acquire);
  if (h == lastWnd && gen == lastGeneration) return lastControl;
  ControlMap& m = Controls();
  AcquireSRWLockShared(&m.lock);
  auto it = m.map.find(h);
  TWinControl* c = it == m.map.end() ? nullptr : it->second;
  gen = mapGeneration.load(std::memory_order_relaxed);
  ReleaseSRWLockShared(&m.lock);
  if (c) {
    lastWnd = h;
    lastControl = c;
    lastGeneration = gen;
  }
  return c;
}

thread_local TWinControl* creationControl = nullptr;
// This thread's window watchers (null while there are none).
thread_local std::vector<TWindowNoticeProc>* windowWatchers = nullptr;

void TellWatchers(TWindowNotice Notice, HWND Wnd, WPARAM WParam, LPARAM LParam) {
  // A copy: a watcher may add or remove watchers (the last one frees the list).
  const std::vector<TWindowNoticeProc> procs = *windowWatchers;
  for (TWindowNoticeProc p : procs) {
    // Skip one removed by an earlier watcher meanwhile.
    if (!windowWatchers || std::find(windowWatchers->begin(), windowWatchers->end(), p) == windowWatchers->end())
      continue;
    try {
      p(Notice, Wnd, WParam, LParam);
    } catch (...) {
      // One watcher's failure must not keep the others or the window from it.
    }
  }
}

// The windowless control that holds the mouse capture of its parent window.
TControl* captureControl = nullptr;

bool IsMouseMsg(UINT m) {
  return (m >= WM_MOUSEFIRST && m <= WM_MOUSELAST);
}

}  // namespace

HINSTANCE MainInstance() { return GetModuleHandleW(nullptr); }

void HandleCallbackException(TObject* sender) {
  try {
    if (Application) {
      Application->HandleException(sender);
      return;
    }
    throw;
  } catch (const Exception& e) {
    OutputDebugStringW(e.Message().c_str());
  } catch (...) {
    OutputDebugStringW(L"Unhandled exception in a window procedure");
  }
}

void InitCommonControl(DWORD iccClass) {
  INITCOMMONCONTROLSEX icc{sizeof icc, iccClass};
  InitCommonControlsEx(&icc);
}

TShiftState KeysToShiftState(WPARAM keys) {
  TShiftState s;
  if (keys & MK_SHIFT) s += ssShift;
  if (keys & MK_CONTROL) s += ssCtrl;
  if (keys & MK_LBUTTON) s += ssLeft;
  if (keys & MK_RBUTTON) s += ssRight;
  if (keys & MK_MBUTTON) s += ssMiddle;
  if (GetKeyState(VK_MENU) < 0) s += ssAlt;
  return s;
}

TShiftState KeyDataToShiftState(LPARAM data) {
  TShiftState s;
  if (GetKeyState(VK_SHIFT) < 0) s += ssShift;
  if (GetKeyState(VK_CONTROL) < 0) s += ssCtrl;
  if (data & (1 << 29)) s += ssAlt;
  return s;
}

String GetShortHint(const String& Hint) {
  const size_t bar = Hint.find(L'|');
  return bar == String::npos ? Hint : Hint.substr(0, bar);
}

String GetLongHint(const String& Hint) {
  const size_t bar = Hint.find(L'|');
  return bar == String::npos ? Hint : Hint.substr(bar + 1);
}

TShiftState GetShiftState() {
  TShiftState s;
  if (GetKeyState(VK_SHIFT) < 0) s += ssShift;
  if (GetKeyState(VK_CONTROL) < 0) s += ssCtrl;
  if (GetKeyState(VK_MENU) < 0) s += ssAlt;
  if (GetKeyState(VK_LBUTTON) < 0) s += ssLeft;
  if (GetKeyState(VK_RBUTTON) < 0) s += ssRight;
  if (GetKeyState(VK_MBUTTON) < 0) s += ssMiddle;
  return s;
}

void TSizeConstraints::ScaleBy(int m, int d) {
  if (d == 0 || m == d) return;
  for (int* v : {&MinWidth, &MinHeight, &MaxWidth, &MaxHeight}) *v = MulDiv(*v, m, d);
  if (OnChange) OnChange(this);
}

void TSizeConstraints::Apply(int& w, int& h) const {
  if (MaxWidth > 0 && w > MaxWidth) w = MaxWidth;
  if (MinWidth > 0 && w < MinWidth) w = MinWidth;
  if (MaxHeight > 0 && h > MaxHeight) h = MaxHeight;
  if (MinHeight > 0 && h < MinHeight) h = MinHeight;
}

// ===========================================================================
// TControl

TControl::TControl(TComponent* AOwner)
    : TComponent(AOwner), constraints_(std::make_unique<TSizeConstraints>()), font_(std::make_unique<TFont>()) {
  WindowProc = TWndMethod(this, &TControl::WndProc);
  font_->OnChange = TNotifyEvent(this, &TControl::FontChangedThunk);
}

void DragControlFreed(TControl* c);
void StartControlDrag(TControl* Source, bool Immediate, int Threshold);
bool DragPendingMouse(TControl* c, const TMessage& m);
void DragRetakeCapture(TControl* c);

// A windowless control that starts a drag gives up the mouse it holds.
void ReleaseControlCapture(TControl* c) {
  if (captureControl == c) captureControl = nullptr;
}

TControl::~TControl() {
  DragControlFreed(this);
  if (captureControl == this) captureControl = nullptr;
  if (Application) Application->CancelHintFor(this);
  if (parent_) parent_->RemoveControl(this);
}

LRESULT TControl::Perform(UINT msg, WPARAM w, LPARAM l) {
  TMessage m{msg, w, l, 0};
  WindowProc(m);
  return m.Result;
}

void TControl::SetParent(TWinControl* p) {
  if (p == parent_) return;
  if (p == this) throw EInvalidOperation(L"A control cannot have itself as its parent");
  // A window moving to a parent that has one keeps its window (and its
  // children's): InsertControl hands it over with the system's SetParent.
  auto* self = dynamic_cast<TWinControl*>(this);
  const bool keepWindow = self && self->handle_ && p && p->handle_ && !p->IsDestroying();
  if (parent_) {
    if (keepWindow) self->keepWindow_ = true;
    try {
      parent_->RemoveControl(this);
    } catch (...) {
      if (self) self->keepWindow_ = false;
      throw;
    }
    if (self) self->keepWindow_ = false;
  }
  if (p) p->InsertControl(this);
}

void TControl::SetBounds(int l, int t, int w, int h) {
  if (w < 0) w = 0;
  if (h < 0) h = 0;
  ConstrainedResize(w, h);
  if (l == left_ && t == top_ && w == width_ && h == height_) return;
  if (!CanResize(w, h)) return;
  InvalidateControl(visible_, false);
  left_ = l;
  top_ = t;
  width_ = w;
  height_ = h;
  InvalidateControl(visible_, false);
  if (!ControlState.Contains(csAlignmentNeeded)) UpdateAnchorRules();
  RequestAlign();
  Resize();
}

void TControl::UpdateBoundsRect(const TRect& r) {
  left_ = r.left;
  top_ = r.top;
  width_ = RectWidth(r);
  height_ = RectHeight(r);
}

bool TControl::CanResize(int& newWidth, int& newHeight) {
  bool ok = true;
  if (OnCanResize) OnCanResize(this, newWidth, newHeight, ok);
  return ok;
}

void TControl::ConstrainedResize(int& w, int& h) { constraints_->Apply(w, h); }

TRect TControl::GetClientRect() { return Rect(0, 0, width_, height_); }

void TControl::SetClientWidth(int w) { SetWidth(w + (width_ - GetClientWidth())); }

void TControl::SetClientHeight(int h) { SetHeight(h + (height_ - GetClientHeight())); }

TPoint TControl::GetClientOrigin() {
  if (!parent_) throw EInvalidOperation(L"Control has no parent window");
  TPoint p = parent_->GetClientOrigin();
  p.x += left_;
  p.y += top_;
  return p;
}

TPoint TControl::ClientToScreen(TPoint p) {
  TPoint o = GetClientOrigin();
  return Point(p.x + o.x, p.y + o.y);
}

TPoint TControl::ScreenToClient(TPoint p) {
  TPoint o = GetClientOrigin();
  return Point(p.x - o.x, p.y - o.y);
}

void TControl::SetVisible(bool v) {
  if (v == visible_) return;
  VisibleChanging();
  visible_ = v;
  Perform(CM_VISIBLECHANGED, v ? 1 : 0, 0);
  RequestAlign();
}

void TControl::Show() { SetVisible(true); }
void TControl::Hide() { SetVisible(false); }

bool TControl::Showing() const { return visible_ && parent_ && parent_->Showing(); }

void TControl::SetEnabled(bool v) {
  if (v == enabled_) return;
  enabled_ = v;
  Perform(CM_ENABLEDCHANGED, 0, 0);
}

void TControl::SetAlign(TAlign a) {
  if (a == align_) return;
  align_ = a;
  anchors_ = TAnchors{akLeft, akTop};
  switch (a) {
    case alTop: anchors_ = TAnchors{akLeft, akTop, akRight}; break;
    case alBottom: anchors_ = TAnchors{akLeft, akRight, akBottom}; break;
    case alLeft: anchors_ = TAnchors{akLeft, akTop, akBottom}; break;
    case alRight: anchors_ = TAnchors{akRight, akTop, akBottom}; break;
    case alClient: anchors_ = TAnchors{akLeft, akTop, akRight, akBottom}; break;
    default: break;
  }
  RequestAlign();
}

void TControl::SetAnchors(TAnchors a) {
  anchors_ = a;
  UpdateAnchorRules();
}

void TControl::UpdateAnchorRules() {
  if (!parent_) {
    anchorValid_ = false;
    return;
  }
  TRect pr = parent_->GetClientRect();
  anchorParentSize_ = TSize{RectWidth(pr), RectHeight(pr)};
  anchorRules_ = Rect(left_, top_, anchorParentSize_.cx - (left_ + width_), anchorParentSize_.cy - (top_ + height_));
  anchorValid_ = true;
}

void TControl::SetParentFont(bool v) {
  if (v == parentFont_) return;
  parentFont_ = v;
  if (v && parent_) Perform(CM_PARENTFONTCHANGED, 0, 0);
}

void TControl::FontChanged(TObject*) {
  if (!ControlState.Contains(csReadingState)) parentFont_ = false;
  Perform(CM_FONTCHANGED, 0, 0);
}

void TControl::SetColor(TColor c) {
  if (c == color_ && !parentColor_) return;
  color_ = c;
  parentColor_ = false;
  Perform(CM_COLORCHANGED, 0, 0);
}

void TControl::SetParentColor(bool v) {
  if (v == parentColor_) return;
  parentColor_ = v;
  if (v && parent_) Perform(CM_PARENTCOLORCHANGED, 0, 0);
}

TColor TControl::EffectiveColor() const { return color_; }

String TControl::GetText() { return GetTextImpl(); }

void TControl::SetText(const String& s) {
  if (GetTextImpl() == s) return;
  SetTextImpl(s);
  Perform(CM_TEXTCHANGED, 0, 0);
}

void TControl::SetTextImpl(const String& s) {
  text_ = s;
  Invalidate();
}

void TControl::SetHint(const String& h) {
  if (h == hint_) return;
  hint_ = h;
  if (Application) Application->HintChanged(this);
}

void TControl::SetShowHint(bool v) {
  parentShowHint_ = false;
  if (v == showHint_) return;
  showHint_ = v;
  Perform(CM_SHOWHINTCHANGED, 0, 0);
}

void TControl::SetBiDiMode(TBiDiMode v) {
  parentBiDiMode_ = false;
  if (v == biDiMode_) return;
  biDiMode_ = v;
  Perform(CM_BIDIMODECHANGED, 0, 0);
}

void TControl::SetParentBiDiMode(bool v) {
  if (v == parentBiDiMode_) return;
  parentBiDiMode_ = v;
  if (v && parent_) Perform(CM_PARENTBIDIMODECHANGED, 0, 0);
}

void TControl::SetParentShowHint(bool v) {
  if (v == parentShowHint_) return;
  parentShowHint_ = v;
  if (v && parent_) Perform(CM_PARENTSHOWHINTCHANGED, 0, 0);
}

void TControl::SetCursor(TCursor c) {
  if (c == cursor_) return;
  cursor_ = c;
  Perform(CM_CURSORCHANGED, 0, 0);
}

void TControl::InvalidateControl(bool isVisible, bool isOpaque) {
  if (!parent_ || !parent_->HandleAllocated() || !isVisible) return;
  if (dynamic_cast<TWinControl*>(this)) return;  // windows repaint themselves
  RECT r = GetBoundsRect();
  InvalidateRect(parent_->handle_, &r, !isOpaque);
}

void TControl::Invalidate() { InvalidateControl(visible_, ControlStyle.Contains(csOpaque)); }

void TControl::Update() {
  if (parent_) parent_->Update();
}

void TControl::Repaint() {
  Invalidate();
  Update();
}

TComponent* TControl::GetParentComponent() const { return parent_; }

void TControl::SetParentComponent(TComponent* Value) {
  if (auto* w = dynamic_cast<TWinControl*>(Value)) SetParent(w);
}

void TWinControl::GetChildren(const TGetChildProc& Proc, TComponent* Root) {
  TControl::GetChildren(Proc, Root);
  const std::vector<TControl*> children = controls_;  // Proc may change the list
  for (TControl* c : children)
    if (c->GetOwner() == Root) Proc(c);
}

void TWinControl::SetChildOrder(TComponent* Child, int Order) {
  auto* control = dynamic_cast<TControl*>(Child);
  auto it = std::find(controls_.begin(), controls_.end(), control);
  if (!control || it == controls_.end()) return TControl::SetChildOrder(Child, Order);
  // The children the base hands come first.
  int before = 0;
  TControl::GetChildren([&](TComponent*) { ++before; }, Child->GetOwner());
  // Order counts the children Child's owner stores here; find the one at
  // that place among them (or the end).
  int index = Order - before, seen = 0;
  size_t to = controls_.size();
  for (size_t i = 0; i < controls_.size(); ++i) {
    if (controls_[i]->GetOwner() != Child->GetOwner()) continue;
    if (seen++ == index) {
      to = i;
      break;
    }
  }
  const size_t from = static_cast<size_t>(it - controls_.begin());
  if (to >= controls_.size()) to = controls_.size() - 1;
  if (to == from) return;
  controls_.erase(it);
  controls_.insert(controls_.begin() + static_cast<std::ptrdiff_t>(to), control);
  // The child windows stack in the list's order, later ones on top.
  if (dynamic_cast<TWinControl*>(control))
    for (TControl* c : controls_)
      if (auto* w = dynamic_cast<TWinControl*>(c); w && w->HandleAllocated())
        SetWindowPos(w->handle_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  control->Invalidate();
}

void TControl::BringToFront() {
  if (!parent_) return;
  auto& v = parent_->controls_;
  auto it = std::find(v.begin(), v.end(), this);
  if (it != v.end()) {
    v.erase(it);
    v.push_back(this);
  }
  if (auto* w = dynamic_cast<TWinControl*>(this); w && w->HandleAllocated())
    SetWindowPos(w->handle_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  Invalidate();
}

void TControl::SendToBack() {
  if (!parent_) return;
  auto& v = parent_->controls_;
  auto it = std::find(v.begin(), v.end(), this);
  if (it != v.end()) {
    v.erase(it);
    v.insert(v.begin(), this);
  }
  if (auto* w = dynamic_cast<TWinControl*>(this); w && w->HandleAllocated())
    SetWindowPos(w->handle_, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  Invalidate();
}

void TControl::RequestAlign() {
  if (parent_) parent_->AlignControl(this);
}

TCustomForm* TControl::GetParentForm() const {
  const TControl* c = this;
  while (c->parent_) c = c->parent_;
  return dynamic_cast<TCustomForm*>(const_cast<TControl*>(c));
}

TCustomForm* GetParentForm(TControl* c) { return c ? c->GetParentForm() : nullptr; }

void TControl::Click() {
  TBasicAction* action = GetAction();
  if (OnClick && action && OnClick != action->OnExecute)
    OnClick(this);
  else if (actionLink_ && action)
    actionLink_->Execute(this);
  else if (OnClick)
    OnClick(this);
}

TBasicAction* TControl::GetAction() const { return actionLink_ ? actionLink_->GetAction() : nullptr; }

TControlActionLink* TControl::CreateActionLink() { return new TControlActionLink(this); }

void TControl::SetAction(TBasicAction* Value) {
  if (!Value) {
    actionLink_.reset();
    return;
  }
  if (!actionLink_) actionLink_.reset(CreateActionLink());
  actionLink_->SetAction(Value);
  actionLink_->OnChange = TNotifyEvent(this, &TControl::DoActionChange);
  ActionChange(Value, Value->IsLoading());
  Value->FreeNotification(this);
}

void TControl::DoActionChange(TObject* Sender) {
  if (Sender == GetAction()) ActionChange(Sender, false);
}

void TControl::ActionChange(TObject* Sender, bool CheckDefaults) {
  auto* a = dynamic_cast<TCustomAction*>(Sender);
  if (!a) return;
  if (!CheckDefaults || GetCaption().empty()) SetCaption(a->GetCaption());
  if (!CheckDefaults || enabled_) SetEnabled(a->GetEnabled());
  if (!CheckDefaults || hint_.empty()) SetHint(a->GetHint());
  if (!CheckDefaults || visible_) SetVisible(a->GetVisible());
  if (!CheckDefaults || !OnClick) OnClick = a->OnExecute;
  if (!CheckDefaults || helpContext_ == 0) SetHelpContext(a->GetHelpContext());
}

TControl* TControl::HelpTopicControl() {
  for (TControl* c = this; c; c = c->GetParent())
    if (c->helpType_ == htKeyword ? !c->helpKeyword_.empty() : c->helpContext_ != 0) return c;
  return nullptr;
}

void TControl::InitiateAction() {
  if (actionLink_) actionLink_->Update();
}

void TControl::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && actionLink_ && AComponent == actionLink_->GetAction()) SetAction(nullptr);
}

void TControl::Loaded() {
  TComponent::Loaded();
  if (TBasicAction* a = GetAction()) ActionChange(a, true);
}

bool TControlActionLink::IsCaptionLinked() {
  return TActionLink::IsCaptionLinked() && client_->GetCaption() == CustomAction()->GetCaption();
}
bool TControlActionLink::IsEnabledLinked() {
  return TActionLink::IsEnabledLinked() && client_->GetEnabled() == CustomAction()->GetEnabled();
}
bool TControlActionLink::IsHintLinked() {
  return TActionLink::IsHintLinked() && client_->GetHint() == CustomAction()->GetHint();
}
bool TControlActionLink::IsVisibleLinked() {
  return TActionLink::IsVisibleLinked() && client_->GetVisible() == CustomAction()->GetVisible();
}
bool TControlActionLink::IsHelpContextLinked() {
  return TActionLink::IsHelpContextLinked() && client_->GetHelpContext() == CustomAction()->GetHelpContext();
}
void TControlActionLink::SetHelpContext(THelpContext Value) {
  if (IsHelpContextLinked()) client_->SetHelpContext(Value);
}
bool TControlActionLink::IsOnExecuteLinked() {
  return TActionLink::IsOnExecuteLinked() && action_ && client_->OnClick == action_->OnExecute;
}
void TControlActionLink::SetCaption(const String& Value) {
  if (IsCaptionLinked()) client_->SetCaption(Value);
}
void TControlActionLink::SetEnabled(bool Value) {
  if (IsEnabledLinked()) client_->SetEnabled(Value);
}
void TControlActionLink::SetHint(const String& Value) {
  if (IsHintLinked()) client_->SetHint(Value);
}
void TControlActionLink::SetVisible(bool Value) {
  if (IsVisibleLinked()) client_->SetVisible(Value);
}
void TControlActionLink::SetOnExecute(const TNotifyEvent& Value) {
  if (IsOnExecuteLinked()) client_->OnClick = Value;
}

void TControl::DblClick() {
  if (OnDblClick) OnDblClick(this);
}

void TControl::MouseDown(TMouseButton b, TShiftState s, int x, int y) {
  if (OnMouseDown) OnMouseDown(this, b, s, x, y);
}

void TControl::MouseMove(TShiftState s, int x, int y) {
  if (OnMouseMove) OnMouseMove(this, s, x, y);
}

void TControl::MouseUp(TMouseButton b, TShiftState s, int x, int y) {
  if (OnMouseUp) OnMouseUp(this, b, s, x, y);
}

void TControl::Resize() {
  if (OnResize) OnResize(this);
}

void TControl::DoContextPopup(TPoint mousePos, bool& handled) {
  if (OnContextPopup) OnContextPopup(this, mousePos, handled);
}

void TControl::SendCancelMode(TControl* sender) {
  for (TControl* c = this; c; c = c->parent_)
    if (auto* f = dynamic_cast<TCustomForm*>(c)) f->SendCancelMode(sender);
}

void TControl::HandleMouse(TMessage& m) {
  int x = GET_X_LPARAM(m.LParam), y = GET_Y_LPARAM(m.LParam);
  TShiftState s = KeysToShiftState(m.WParam);
  bool dbl = false;
  TMouseButton b = mbLeft;
  switch (m.Msg) {
    case WM_LBUTTONDBLCLK: dbl = true; [[fallthrough]];
    case WM_LBUTTONDOWN: b = mbLeft; break;
    case WM_RBUTTONDBLCLK: dbl = true; [[fallthrough]];
    case WM_RBUTTONDOWN: b = mbRight; break;
    case WM_MBUTTONDBLCLK: dbl = true; [[fallthrough]];
    case WM_MBUTTONDOWN: b = mbMiddle; break;
    case WM_LBUTTONUP: b = mbLeft; break;
    case WM_RBUTTONUP: b = mbRight; break;
    case WM_MBUTTONUP: b = mbMiddle; break;
    case WM_MOUSEMOVE:
      MouseMove(s, x, y);
      return;
    default: return;
  }
  switch (m.Msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
      if (dbl) s += ssDouble;
      if (b == mbLeft && !ControlStyle.Contains(csNoStdEvents)) {
        // A double click is reported as such, not as one more click.
        if (ControlStyle.Contains(csClickEvents) && !dbl) ControlState += csClicked;
        ControlState += csLButtonDown;
      }
      if (dbl && b == mbLeft && ControlStyle.Contains(csDoubleClicks)) DblClick();
      MouseDown(b, s, x, y);
      break;
    default: {
      bool clicked = b == mbLeft && ControlState.Contains(csClicked);
      if (b == mbLeft) {
        ControlState -= csClicked;
        ControlState -= csLButtonDown;
      }
      if (clicked && PtInRectangle(GetClientRect(), Point(x, y))) Click();
      MouseUp(b, s, x, y);
      break;
    }
  }
}

void TControl::WndProc(TMessage& m) {
  if (IsMouseMsg(m.Msg)) {
    // A press anywhere on a form ends what its active control holds open.
    if (m.Msg == WM_LBUTTONDOWN || m.Msg == WM_LBUTTONDBLCLK) SendCancelMode(this);
    // An automatic drag starts once the pointer moves far enough with the
    // left button down; a release before that is an ordinary click.
    if (DragPendingMouse(this, m)) {
      m.Result = 0;
      return;
    }
    // A designed control is moved by its designer, never dragged by itself.
    if (m.Msg == WM_LBUTTONDOWN && dragMode_ == dmAutomatic && !SuppressAutoDrag && !Dragging() && !IsDesigning())
      StartControlDrag(this, false, -1);
    // A windowless control gets mouse messages from its parent.
    if (m.Msg == WM_LBUTTONDOWN && ControlStyle.Contains(csCaptureMouse) && !dynamic_cast<TWinControl*>(this) &&
        parent_ && parent_->HandleAllocated()) {
      captureControl = this;
      SetCapture(parent_->handle_);
    }
    if (m.Msg == WM_LBUTTONUP && captureControl == this) {
      captureControl = nullptr;
      if (parent_ && GetCapture() == parent_->handle_) ReleaseCapture();
    }
    if (m.Msg != WM_MOUSEWHEEL && !ControlStyle.Contains(csNoStdEvents)) HandleMouse(m);
  }
  switch (m.Msg) {
    case CM_PARENTFONTCHANGED:
      if (parentFont_ && parent_) {
        ControlState += csReadingState;
        font_->Assign(*parent_->Font());
        ControlState -= csReadingState;
        parentFont_ = true;
      }
      return;
    case CM_PARENTCOLORCHANGED:
      if (parentColor_ && parent_) {
        TColor c = m.WParam ? TColor(m.LParam) : parent_->GetColor();
        color_ = c;
        parentColor_ = true;
        Perform(CM_COLORCHANGED, 0, 0);
        parentColor_ = true;
      }
      return;
    case CM_PARENTBIDIMODECHANGED:
      if (parentBiDiMode_ && parent_ && parent_->biDiMode_ != biDiMode_) {
        biDiMode_ = parent_->biDiMode_;
        Perform(CM_BIDIMODECHANGED, 0, 0);
      }
      return;
    case CM_BIDIMODECHANGED:
      Invalidate();
      return;
    case CM_PARENTSHOWHINTCHANGED:
      if (parentShowHint_ && parent_) {
        showHint_ = parent_->GetShowHint();
        Perform(CM_SHOWHINTCHANGED, 0, 0);
        parentShowHint_ = true;
      }
      return;
    case CM_VISIBLECHANGED:
      InvalidateControl(true, ControlStyle.Contains(csOpaque));
      return;
    case CM_FONTCHANGED:
    case CM_COLORCHANGED:
    case CM_TEXTCHANGED:
    case CM_ENABLEDCHANGED:
      Invalidate();
      return;
    case CM_MOUSELEAVE:
      mouseInControl_ = false;
      return;
    case CM_HITTEST:
      m.Result = 1;  // HTCLIENT
      return;
    case CM_DRAG:
      DoDragMsg(m);
      return;
    default: break;
  }
  DefaultHandler(m);
  if (m.Msg == WM_LBUTTONDOWN || m.Msg == WM_LBUTTONDBLCLK) DragRetakeCapture(this);
}

void TControl::DefaultHandler(TMessage& m) {
  if (m.Msg == WM_GETTEXTLENGTH) m.Result = LRESULT(text_.size());
}

void AddWindowNoticeProc(TWindowNoticeProc Proc) {
  if (!windowWatchers) windowWatchers = new std::vector<TWindowNoticeProc>();
  windowWatchers->push_back(Proc);
}

void RemoveWindowNoticeProc(TWindowNoticeProc Proc) {
  if (!windowWatchers) return;
  auto it = std::find(windowWatchers->begin(), windowWatchers->end(), Proc);
  if (it != windowWatchers->end()) windowWatchers->erase(it);
  if (windowWatchers->empty()) {
    delete windowWatchers;
    windowWatchers = nullptr;
  }
}

void TellWindowWatchers(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (!windowWatchers) return;
  switch (Msg) {
    case WM_ACTIVATEAPP: TellWatchers(wnActivateApp, Wnd, WParam, LParam); break;
    case WM_WINDOWPOSCHANGED: TellWatchers(wnWindowPosChanged, Wnd, WParam, LParam); break;
    case WM_SETFOCUS: TellWatchers(wnSetFocus, Wnd, WParam, LParam); break;
    default: break;
  }
}

// ===========================================================================
// TWinControl

LRESULT CALLBACK ZembrioStdWndProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
  // The watchers first: one may free the control (a floating form closed
  // on the notice), so it is looked up only after them.
  if (windowWatchers && LookupControl(h)) TellWindowWatchers(h, msg, w, l);
  TWinControl* c = LookupControl(h);
  if (!c) return DefWindowProcW(h, msg, w, l);
  TMessage m{msg, w, l, 0};
  try {
    c->WindowProc(m);
  } catch (...) {
    HandleCallbackException(c);
  }
  if (msg == WM_NCDESTROY) {
    UnmapControl(h);
    if (c->handle_ == h) {
      c->handle_ = nullptr;
      c->defWndProc_ = nullptr;
    }
  }
  return m.Result;
}

LRESULT CALLBACK ZembrioInitWndProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
  TWinControl* c = creationControl;
  if (!c) return DefWindowProcW(h, msg, w, l);
  creationControl = nullptr;
  c->handle_ = h;
  MapControl(h, c);
  SetWindowLongPtrW(h, GWLP_WNDPROC, LONG_PTR(&ZembrioStdWndProc));
  return ZembrioStdWndProc(h, msg, w, l);
}

TWinControl* TWinControl::FindControl(HWND wnd) { return LookupControl(wnd); }

TWinControl::TWinControl(TComponent* AOwner) : TControl(AOwner), brush_(std::make_unique<TBrush>()) {
  color_ = clBtnFace;
  brush_->SetColor(color_);
  brush_->OnChange = TNotifyEvent(this, &TWinControl::BrushChangedThunk);
}

TWinControl::~TWinControl() {
  // Children go first, while this control is still whole.
  while (!controls_.empty()) {
    TControl* c = controls_.back();
    RemoveControl(c);
    delete c;
  }
  if (TCustomForm* f = GetParentForm(); f && f != static_cast<TControl*>(this)) f->ControlDestroyed(this);
  if (Screen && Screen->GetActiveControl() == this) Screen->SetActiveControl(nullptr);
  // Leave the parent while this is still a windowed control.
  if (parent_) parent_->RemoveControl(this);
  DestroyHandle();
}

HWND TWinControl::GetHandle() {
  HandleNeeded();
  return handle_;
}

void TWinControl::HandleNeeded() {
  if (handle_) return;
  if (parent_) parent_->HandleNeeded();
  if (!handle_) CreateHandle();
}

void TWinControl::SetParentWindow(HWND w) {
  if (parent_ || w == parentWindow_) {
    parentWindow_ = w;
    return;
  }
  parentWindow_ = w;
  if (handle_) {
    if (w) ::SetParent(handle_, w);
    else DestroyHandle();
  }
}

void TWinControl::CreateParams(TCreateParams& p) {
  p = TCreateParams();
  p.Caption = text_;
  p.Style = WS_CHILD | WS_CLIPSIBLINGS;
  if (ControlStyle.Contains(csAcceptsControls)) p.Style |= WS_CLIPCHILDREN;
  if (visible_) p.Style |= WS_VISIBLE;
  if (!enabled_) p.Style |= WS_DISABLED;
  if (UseRightToLeftReading()) p.ExStyle |= WS_EX_RTLREADING;
  if (UseRightToLeftAlignment()) p.ExStyle |= WS_EX_RIGHT;
  if (UseRightToLeftScrollBar()) p.ExStyle |= WS_EX_LEFTSCROLLBAR;
  if (tabStop_) p.Style |= WS_TABSTOP;
  p.X = left_;
  p.Y = top_;
  p.Width = width_;
  p.Height = height_;
  p.WndParent = parent_ ? parent_->GetHandle() : parentWindow_;
  p.WindowClass.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
  p.WindowClass.lpfnWndProc = DefWindowProcW;
  // A shared system object, loaded once (each load is dear under Wine, and
  // forms without a window ask for their parameters often).
  static const HCURSOR arrow = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  p.WindowClass.hCursor = arrow;
  p.WindowClass.hbrBackground = nullptr;
  p.WindowClass.hInstance = MainInstance();
  String n = Utf8ToWide(typeid(*this).name());
  p.WinClassName = L"Zembrio." + n;
}

void TWinControl::CreateSubClass(TCreateParams& p, const wchar_t* className) {
  WNDCLASSW wc{};
  if (!GetClassInfoW(nullptr, className, &wc) && !GetClassInfoW(MainInstance(), className, &wc))
    throw EOSError(String(L"Window class not registered: ") + className);
  p.SubclassName = className;
  // Keep the system class's layout (extra bytes, styles, cursor); our class
  // gets its own name and procedure.
  DWORD keep = p.WindowClass.style & CS_DBLCLKS;
  p.WindowClass = wc;
  p.WindowClass.style = (wc.style & ~CS_GLOBALCLASS) | keep;
  p.WindowClass.hInstance = MainInstance();
  p.WinClassName = L"Zembrio." + String(className) + L"." + Utf8ToWide(typeid(*this).name());
}

void TWinControl::CreateWnd() {
  TCreateParams p;
  CreateParams(p);
  if ((p.Style & WS_CHILD) && !p.WndParent) {
    if (!parent_ && !parentWindow_)
      throw EInvalidOperation(L"Control '" + GetName() + L"' has no parent window");
  }
  defWndProc_ = p.WindowClass.lpfnWndProc ? p.WindowClass.lpfnWndProc : DefWindowProcW;
  WNDCLASSW existing{};
  if (!GetClassInfoW(MainInstance(), p.WinClassName.c_str(), &existing)) {
    WNDCLASSW wc = p.WindowClass;
    wc.lpfnWndProc = ZembrioInitWndProc;
    wc.hInstance = MainInstance();
    wc.lpszClassName = p.WinClassName.c_str();
    wc.lpszMenuName = nullptr;
    if (!RegisterClassW(&wc)) throw EOSError(L"Cannot register the window class " + p.WinClassName);
  }
  CreateWindowHandle(p);
  if (!handle_) throw EOSError(L"Error creating window " + p.WinClassName);
  SendMessageW(handle_, WM_SETFONT, WPARAM(font_->GetHandle()), 0);
}

void TWinControl::CreateWindowHandle(const TCreateParams& p) {
  static int nextId = 1000;
  HMENU id = (p.Style & WS_CHILD) ? reinterpret_cast<HMENU>(intptr_t(nextId++)) : nullptr;
  CreateWindowThrough([&] {
    return CreateWindowExW(p.ExStyle, p.WinClassName.c_str(), p.Caption.c_str(), p.Style, p.X, p.Y, p.Width, p.Height,
                           p.WndParent, id, MainInstance(), p.Param);
  });
}

HWND TWinControl::CreateWindowThrough(const std::function<HWND()>& Create) {
  TWinControl* saved = creationControl;
  creationControl = this;
  HWND h = nullptr;
  try {
    h = Create();
  } catch (...) {
    creationControl = saved;
    throw;
  }
  creationControl = saved;
  if (h && handle_ != h) {
    // Created, but not through our class procedure (a foreign class).
    handle_ = h;
    MapControl(h, this);
    defWndProc_ = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(h, GWLP_WNDPROC, LONG_PTR(&ZembrioStdWndProc)));
  }
  return h;
}

void TWinControl::CreateHandle() {
  if (handle_) return;
  ControlState += csCreating;
  try {
    CreateWnd();
  } catch (...) {
    ControlState -= csCreating;
    throw;
  }
  ControlState -= csCreating;
  // Child windows stack in the order they are made, the first on top. A
  // window made after a later sibling's (a control shown or asked for its
  // handle after its parent's window was made) goes where it would have
  // been: just below the nearest earlier sibling that has a window.
  if (parent_ && parent_->handle_) {
    const auto& v = parent_->controls_;
    auto it = std::find(v.begin(), v.end(), static_cast<TControl*>(this));
    auto windowOf = [](TControl* c) {
      auto* w = dynamic_cast<TWinControl*>(c);
      return w ? w->handle_ : nullptr;
    };
    if (it != v.end() && std::any_of(it + 1, v.end(), windowOf)) {
      HWND after = HWND_TOP;
      for (auto j = it; j != v.begin();)
        if (HWND h = windowOf(*--j)) {
          after = h;
          break;
        }
      SetWindowPos(handle_, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
  }
  // The windowed children that show get their windows now, in the list's
  // order (which keeps their z-order); hidden ones get theirs when first
  // shown (CM_VISIBLECHANGED) or asked for (HandleNeeded).
  for (TControl* c : controls_)
    if (auto* w = dynamic_cast<TWinControl*>(c); w && w->visible_) w->HandleNeeded();
  RestoreWindowState();
  ControlState -= csRecreating;
  TRect cr = GetClientRect();
  lastClientSize_ = TSize{RectWidth(cr), RectHeight(cr)};
  Realign();
}

void TWinControl::DestroyHandle() {
  if (!handle_) return;
  for (TControl* c : controls_)
    if (auto* w = dynamic_cast<TWinControl*>(c)) w->DestroyHandle();
  DestroyWnd();
}

void TWinControl::DestroyWnd() {
  if (!handle_) return;
  SaveWindowState();
  if (ControlStyle.Contains(csSetCaption) || true) {
    int n = GetWindowTextLengthW(handle_);
    String s(size_t(n), L'\0');
    if (n) GetWindowTextW(handle_, s.data(), n + 1);
    text_ = s;
  }
  DestroyWindowHandle();
}

void TWinControl::DestroyWindowHandle() {
  ControlState += csDestroyingHandle;
  HWND h = handle_;
  // Watchers may take the windows this one owns away from it first.
  if (h && windowWatchers) TellWatchers(wnDestroying, h, 0, 0);
  if (h) DestroyWindow(h);
  if (handle_ == h) {  // the window was not ours to watch
    UnmapControl(h);
    handle_ = nullptr;
  }
  ControlState -= csDestroyingHandle;
}

void TWinControl::RecreateWnd() {
  if (!handle_) return;
  ControlState += csRecreating;
  bool hadFocus = GetFocus() == handle_;
  DestroyHandle();
  HandleNeeded();
  ControlState -= csRecreating;
  if (hadFocus && handle_) ::SetFocus(handle_);
}

void TWinControl::InsertControl(TControl* c) {
  if (!c || c->parent_ == this) return;
  c->parent_ = this;
  controls_.push_back(c);
  if (auto* w = dynamic_cast<TWinControl*>(c)) tabList_.push_back(w);
  if (c->parentFont_) c->Perform(CM_PARENTFONTCHANGED, 0, 0);
  if (c->parentColor_) c->Perform(CM_PARENTCOLORCHANGED, 0, 0);
  if (c->parentShowHint_) c->Perform(CM_PARENTSHOWHINTCHANGED, 0, 0);
  if (c->parentBiDiMode_) c->Perform(CM_PARENTBIDIMODECHANGED, 0, 0);
  if (auto* w = dynamic_cast<TWinControl*>(c)) {
    if (w->parentCtl3D_) w->Perform(CM_PARENTCTL3DCHANGED, 0, 0);
    if (handle_) {
      if (w->handle_) ::SetParent(w->handle_, handle_);
      else if (w->visible_) w->HandleNeeded();
    }
  }
  c->UpdateAnchorRules();
  Perform(CM_CONTROLCHANGE, WPARAM(c), 1);
  Perform(CM_CONTROLLISTCHANGE, WPARAM(c), 1);
  AlignControl(c);
  c->Invalidate();
}

void TWinControl::RemoveControl(TControl* c) {
  auto it = std::find(controls_.begin(), controls_.end(), c);
  if (it == controls_.end()) return;
  Perform(CM_CONTROLCHANGE, WPARAM(c), 0);
  c->Invalidate();
  controls_.erase(it);
  // By address: a control on its way out may no longer know it is windowed.
  tabList_.erase(std::remove_if(tabList_.begin(), tabList_.end(),
                                [c](TWinControl* w) { return static_cast<TControl*>(w) == c; }),
                 tabList_.end());
  if (auto* w = dynamic_cast<TWinControl*>(c)) {
    TCustomForm* f = GetParentForm();
    if (w->handle_ && !IsDestroying() && !w->keepWindow_) {
      // The window goes with the control tree it belonged to.
      w->DestroyHandle();
    }
    // After the window: while it went, the focus it had may have passed to
    // one of its own windows, which then became the form's active control.
    if (f) f->ControlDestroyed(w);
  }
  c->parent_ = nullptr;
  Perform(CM_CONTROLLISTCHANGE, WPARAM(c), 0);
  if (!IsDestroying()) Realign();
}

bool TWinControl::ContainsControl(TControl* c) const {
  while (c) {
    if (c->parent_ == this) return true;
    c = c->parent_;
  }
  return false;
}

TControl* TWinControl::ControlAtPos(TPoint p, bool allowDisabled, bool allowWinControls) {
  for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
    TControl* c = *it;
    bool isWin = dynamic_cast<TWinControl*>(c) != nullptr;
    if (isWin && !allowWinControls) continue;
    if (!c->visible_ || (!c->enabled_ && !allowDisabled)) continue;
    TPoint q = Point(p.x - c->left_, p.y - c->top_);
    if (q.x >= 0 && q.y >= 0 && q.x < c->width_ && q.y < c->height_) {
      if (!isWin && c->Perform(CM_HITTEST, 0, MAKELPARAM(q.x, q.y)) == 0) continue;
      return c;
    }
  }
  return nullptr;
}

int TWinControl::GetTabOrder() const {
  if (!parent_) return -1;
  auto& v = parent_->tabList_;
  auto it = std::find(v.begin(), v.end(), this);
  return it == v.end() ? -1 : int(it - v.begin());
}

void TWinControl::SetTabOrder(int order) {
  if (!parent_) return;
  auto& v = parent_->tabList_;
  auto it = std::find(v.begin(), v.end(), this);
  if (it == v.end()) return;
  v.erase(it);
  if (order < 0 || order > int(v.size())) order = int(v.size());
  v.insert(v.begin() + order, this);
}

void TWinControl::SetTabStop(bool v) {
  if (v == tabStop_) return;
  tabStop_ = v;
  if (handle_) {
    LONG_PTR s = GetWindowLongPtrW(handle_, GWL_STYLE);
    SetWindowLongPtrW(handle_, GWL_STYLE, v ? (s | WS_TABSTOP) : (s & ~LONG_PTR(WS_TABSTOP)));
  }
  Perform(CM_TABSTOPCHANGED, 0, 0);
}

bool TWinControl::CanFocus() {
  TCustomForm* f = GetParentForm();
  if (!f) return false;
  for (TControl* c = this; c != f; c = c->parent_)
    if (!c || !c->visible_ || !c->enabled_) return false;
  return f->GetVisible() && f->GetEnabled();
}

void TWinControl::SetFocus() {
  TCustomForm* f = GetParentForm();
  if (f) {
    f->FocusControl(this);
  } else if (parentWindow_) {
    ::SetFocus(GetHandle());
  } else {
    throw EInvalidOperation(L"Cannot focus a window without a form");
  }
}

bool TWinControl::Focused() { return handle_ && GetFocus() == handle_; }

void TWinControl::GetTabOrderList(std::vector<TWinControl*>& list) {
  for (TWinControl* c : tabList_) {
    list.push_back(c);
    c->GetTabOrderList(list);
  }
}

TWinControl* TWinControl::FindNextControl(TWinControl* cur, bool goForward, bool checkTabStop, bool checkParent) {
  std::vector<TWinControl*> list;
  GetTabOrderList(list);
  if (list.empty()) return nullptr;
  int n = int(list.size());
  int start = -1;
  for (int i = 0; i < n; ++i)
    if (list[size_t(i)] == cur) start = i;
  if (start < 0) start = goForward ? n - 1 : 0;
  int i = start;
  for (int k = 0; k < n; ++k) {
    i = goForward ? (i + 1) % n : (i - 1 + n) % n;
    TWinControl* c = list[size_t(i)];
    if (c == cur && k > 0) break;
    if ((!checkTabStop || c->tabStop_) && (!checkParent || c->parent_ == this) && c->CanFocus()) return c;
  }
  return nullptr;
}

void TWinControl::SelectNext(TWinControl* cur, bool goForward, bool checkTabStop) {
  TWinControl* c = FindNextControl(cur, goForward, checkTabStop, false);
  if (c) c->SetFocus();
}

bool TWinControl::Showing() const {
  if (!visible_) return false;
  if (parent_) return parent_->Showing();
  if (parentWindow_) return IsWindowVisible(parentWindow_) != FALSE;
  return handle_ && IsWindowVisible(handle_);
}

void TWinControl::SetBounds(int l, int t, int w, int h) {
  if (w < 0) w = 0;
  if (h < 0) h = 0;
  ConstrainedResize(w, h);
  if (l == left_ && t == top_ && w == width_ && h == height_) return;
  if (!CanResize(w, h)) return;
  bool sizeChanged = w != width_ || h != height_;
  left_ = l;
  top_ = t;
  width_ = w;
  height_ = h;
  if (handle_ && !IsIconic(handle_) && !IsZoomed(handle_)) {
    SetWindowPos(handle_, nullptr, l, t, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
    // WM_SIZE has realigned; the window manager may have changed the size.
  } else if (sizeChanged) {
    Realign();
    Resize();
  }
  if (!ControlState.Contains(csAlignmentNeeded)) UpdateAnchorRules();
  RequestAlign();
}

TRect TWinControl::GetClientRect() {
  if (handle_) {
    RECT r;
    ::GetClientRect(handle_, &r);
    return r;
  }
  TRect r = TControl::GetClientRect();
  const int b = NonClientBorderWidth();
  if (b > 0) {
    r.right = std::max(r.left, r.right - 2 * b);
    r.bottom = std::max(r.top, r.bottom - 2 * b);
  }
  return r;
}

void TWinControl::SetBorderWidth(int Value) {
  if (Value < 0 || Value == borderWidth_) return;
  borderWidth_ = Value;
  // The frame is measured again (WM_NCCALCSIZE); the children are laid out
  // in what is left.
  if (handle_)
    SetWindowPos(handle_, nullptr, 0, 0, 0, 0,
                 SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOOWNERZORDER | SWP_FRAMECHANGED);
  Realign();
}

void TWinControl::PaintBorderWidth() {
  const int b = NonClientBorderWidth();
  if (b <= 0 || !handle_) return;
  // The ring between the window's own frame and its client area, in window
  // coordinates.
  RECT window, client;
  GetWindowRect(handle_, &window);
  ::GetClientRect(handle_, &client);
  MapWindowPoints(handle_, nullptr, reinterpret_cast<POINT*>(&client), 2);
  OffsetRect(&client, -window.left, -window.top);
  RECT outer = client;
  InflateRect(&outer, b, b);
  HDC dc = GetWindowDC(handle_);
  ExcludeClipRect(dc, client.left, client.top, client.right, client.bottom);
  FillRect(dc, &outer, brush_->GetHandle());
  ReleaseDC(handle_, dc);
}

TPoint TWinControl::GetClientOrigin() {
  if (!parent_ && !handle_) return Point(left_, top_);
  POINT p{0, 0};
  ::ClientToScreen(GetHandle(), &p);
  return p;
}

void TWinControl::Invalidate() {
  if (handle_) InvalidateRect(handle_, nullptr, !ControlStyle.Contains(csOpaque));
}

void TWinControl::Update() {
  if (handle_) UpdateWindow(handle_);
}

void TWinControl::SetEnabled(bool v) {
  if (v == enabled_) return;
  enabled_ = v;
  if (handle_) EnableWindow(handle_, v);
  Perform(CM_ENABLEDCHANGED, 0, 0);
}

// ---------------------------------------------------------------------------
// Layout

void TWinControl::DisableAlign() { ++alignLevel_; }

void TWinControl::EnableAlign() {
  if (--alignLevel_ == 0 && ControlState.Contains(csAlignmentNeeded)) Realign();
}

void TWinControl::Realign() { AlignControl(nullptr); }

void TWinControl::AlignControl(TControl* aControl) {
  if (alignLevel_ > 0 || IsDestroying()) {
    ControlState += csAlignmentNeeded;
    return;
  }
  // Nested requests from the children being moved are folded in.
  if (ControlState.Contains(csAlignmentNeeded) && aControl) return;
  DisableAlign();
  ControlState += csAlignmentNeeded;
  try {
    TRect r = GetClientRect();
    AdjustClientRect(r);
    AnchorChildren();
    AlignControls(aControl, r);
  } catch (...) {
    ControlState -= csAlignmentNeeded;
    --alignLevel_;
    throw;
  }
  ControlState -= csAlignmentNeeded;
  --alignLevel_;
}

void TWinControl::AnchorChildren() {
  TRect cr = GetClientRect();
  int pw = RectWidth(cr), ph = RectHeight(cr);
  for (TControl* c : controls_) {
    if (c->align_ != alNone || !c->anchorValid_) continue;
    if (c->anchors_ == TAnchors{akLeft, akTop}) continue;
    const TRect& ar = c->anchorRules_;
    int l = c->left_, t = c->top_, w = c->width_, h = c->height_;
    bool L = c->anchors_.Contains(akLeft), R = c->anchors_.Contains(akRight);
    bool T = c->anchors_.Contains(akTop), B = c->anchors_.Contains(akBottom);
    if (L && R) {
      l = ar.left;
      w = pw - ar.left - ar.right;
    } else if (R) {
      l = pw - ar.right - w;
    } else if (!L) {
      l = ar.left + (pw - c->anchorParentSize_.cx) / 2;
    } else {
      l = ar.left;
    }
    if (T && B) {
      t = ar.top;
      h = ph - ar.top - ar.bottom;
    } else if (B) {
      t = ph - ar.bottom - h;
    } else if (!T) {
      t = ar.top + (ph - c->anchorParentSize_.cy) / 2;
    } else {
      t = ar.top;
    }
    if (w < 0) w = 0;
    if (h < 0) h = 0;
    // Keep the rules of the first layout: later moves are relative to it.
    TRect keepRules = c->anchorRules_;
    TSize keepSize = c->anchorParentSize_;
    c->SetBounds(l, t, w, h);
    c->anchorRules_ = keepRules;
    c->anchorParentSize_ = keepSize;
  }
}

void TWinControl::DoAlign(TAlign a, TControl* aControl, TRect& r) {
  std::vector<TControl*> list;
  if (aControl && aControl->align_ == a && aControl->visible_ && aControl->parent_ == this) list.push_back(aControl);
  auto before = [a](TControl* c1, TControl* c2) {
    switch (a) {
      case alTop: return c1->top_ < c2->top_;
      case alBottom: return c1->top_ + c1->height_ > c2->top_ + c2->height_;
      case alLeft: return c1->left_ < c2->left_;
      case alRight: return c1->left_ + c1->width_ > c2->left_ + c2->width_;
      default: return false;
    }
  };
  for (TControl* c : controls_) {
    if (c == aControl || c->align_ != a || !c->visible_) continue;
    size_t j = 0;
    // The control being placed keeps its spot ahead of equals.
    while (j < list.size() && !before(c, list[j])) ++j;
    list.insert(list.begin() + long(j), c);
  }
  for (TControl* c : list) {
    int w = c->width_, h = c->height_;
    int rw = std::max(0, RectWidth(r)), rh = std::max(0, RectHeight(r));
    switch (a) {
      case alTop: c->SetBounds(r.left, r.top, rw, h); r.top += c->height_; break;
      case alBottom: c->SetBounds(r.left, r.bottom - h, rw, h); r.bottom -= c->height_; break;
      case alLeft: c->SetBounds(r.left, r.top, w, rh); r.left += c->width_; break;
      case alRight: c->SetBounds(r.right - w, r.top, w, rh); r.right -= c->width_; break;
      case alClient: c->SetBounds(r.left, r.top, rw, rh); break;
      default: break;
    }
  }
}

void TWinControl::AlignControls(TControl* aControl, TRect& r) {
  DoAlign(alTop, aControl, r);
  DoAlign(alBottom, aControl, r);
  DoAlign(alLeft, aControl, r);
  DoAlign(alRight, aControl, r);
  DoAlign(alClient, aControl, r);
}

void TWinControl::ScaleBy(int m, int d) {
  if (d == 0 || m == d) return;
  DisableAlign();
  for (TControl* c : std::vector<TControl*>(controls_)) {
    // A container's own controls first: a container that lays them out
    // itself when it is resized (a radio group's buttons) then has the last
    // word, and nothing is scaled twice.
    if (auto* w = dynamic_cast<TWinControl*>(c)) w->ScaleBy(m, d);
    c->Constraints()->ScaleBy(m, d);
    c->SetBounds(MulDiv(c->left_, m, d), MulDiv(c->top_, m, d), MulDiv(c->width_, m, d), MulDiv(c->height_, m, d));
  }
  EnableAlign();
}

// ---------------------------------------------------------------------------
// Text, font, colour

String TWinControl::GetTextImpl() {
  if (!handle_) return text_;
  int n = GetWindowTextLengthW(handle_);
  String s(size_t(n), L'\0');
  if (n) {
    int got = GetWindowTextW(handle_, s.data(), n + 1);
    s.resize(size_t(std::max(0, got)));
  }
  return s;
}

void TWinControl::SetTextImpl(const String& s) {
  text_ = s;
  if (handle_) SetWindowTextW(handle_, s.c_str());
}

void TWinControl::FontChanged(TObject* s) {
  TControl::FontChanged(s);
}

void TWinControl::ColorChanged() {
  brush_->SetColor(color_);
  NotifyControls(CM_PARENTCOLORCHANGED);
}

void TWinControl::BrushChanged(TObject*) { Invalidate(); }

void TWinControl::NotifyControls(UINT msg, WPARAM wParam, LPARAM lParam) {
  for (TControl* c : std::vector<TControl*>(controls_)) c->Perform(msg, wParam, lParam);
}

void TWinControl::SetCtl3D(bool v) {
  parentCtl3D_ = false;
  if (v == ctl3D_) return;
  ctl3D_ = v;
  Perform(CM_CTL3DCHANGED, 0, 0);
}

void TWinControl::SetParentCtl3D(bool v) {
  if (v == parentCtl3D_) return;
  parentCtl3D_ = v;
  if (v && parent_) Perform(CM_PARENTCTL3DCHANGED, 0, 0);
}

LRESULT TWinControl::DoCtlColor(HDC dc) {
  SetTextColor(dc, ColorToRef(font_->GetColor()));
  SetBkColor(dc, ColorToRef(brush_->GetColor()));
  return LRESULT(brush_->GetHandle());
}

// ---------------------------------------------------------------------------
// Keys and focus

void TWinControl::DoEnter() {
  if (OnEnter) OnEnter(this);
}

void TWinControl::DoExit() {
  if (OnExit) OnExit(this);
}

void TWinControl::KeyDown(WORD& key, TShiftState shift) {
  if (OnKeyDown) OnKeyDown(this, key, shift);
}

void TWinControl::KeyUp(WORD& key, TShiftState shift) {
  if (OnKeyUp) OnKeyUp(this, key, shift);
}

void TWinControl::KeyPress(wchar_t& key) {
  if (OnKeyPress) OnKeyPress(this, key);
}

bool TWinControl::DoKeyDown(TMessage& m) {
  WORD key = WORD(m.WParam);
  TShiftState shift = KeyDataToShiftState(m.LParam);
  TCustomForm* f = GetParentForm();
  if (f && f != static_cast<TControl*>(this) && f->GetKeyPreview()) {
    if (f->KeyPreviewDown(key, shift)) return true;
  }
  if (!ControlStyle.Contains(csNoStdEvents)) {
    KeyDown(key, shift);
    if (key == 0) return true;
  }
  m.WParam = key;
  return false;
}

bool TWinControl::DoKeyPress(TMessage& m) {
  wchar_t ch = wchar_t(m.WParam);
  TCustomForm* f = GetParentForm();
  if (f && f != static_cast<TControl*>(this) && f->GetKeyPreview()) {
    f->KeyPress(ch);
    if (ch == 0) return true;
  }
  if (!ControlStyle.Contains(csNoStdEvents)) {
    KeyPress(ch);
    if (ch == 0) return true;
  }
  m.WParam = WPARAM(ch);
  return false;
}

bool TWinControl::DoKeyUp(TMessage& m) {
  WORD key = WORD(m.WParam);
  TShiftState shift = KeyDataToShiftState(m.LParam);
  TCustomForm* f = GetParentForm();
  if (f && f != static_cast<TControl*>(this) && f->GetKeyPreview()) {
    f->KeyUp(key, shift);
    if (key == 0) return true;
  }
  if (!ControlStyle.Contains(csNoStdEvents)) {
    KeyUp(key, shift);
    if (key == 0) return true;
  }
  m.WParam = key;
  return false;
}

bool TWinControl::DoMouseWheel(TShiftState shift, int delta, TPoint pos) {
  bool handled = false;
  if (OnMouseWheel) OnMouseWheel(this, shift, delta, pos, handled);
  if (handled || delta == 0) return handled;
  TMouseWheelUpDownEvent& turn = delta < 0 ? OnMouseWheelDown : OnMouseWheelUp;
  if (turn) turn(this, shift, pos, handled);
  return handled;
}

bool TWinControl::IsControlMouseMsg(TMessage& m) {
  TControl* c = nullptr;
  if (captureControl && captureControl->parent_ == this && GetCapture() == handle_) {
    c = captureControl;
  } else {
    c = ControlAtPos(Point(GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam)), false);
  }
  if (!c) return false;
  LPARAM l = MAKELPARAM(GET_X_LPARAM(m.LParam) - c->left_, GET_Y_LPARAM(m.LParam) - c->top_);
  m.Result = c->Perform(m.Msg, m.WParam, l);
  return true;
}

// ---------------------------------------------------------------------------
// Messages

bool TWinControl::ReflectNotification(TMessage& m) {
  HWND child = nullptr;
  switch (m.Msg) {
    case WM_COMMAND:
      if (m.LParam) child = HWND(m.LParam);
      break;
    case WM_NOTIFY: child = reinterpret_cast<NMHDR*>(m.LParam)->hwndFrom; break;
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_CHARTOITEM:
    case WM_VKEYTOITEM: child = HWND(m.LParam); break;
    case WM_DRAWITEM: {
      auto* d = reinterpret_cast<DRAWITEMSTRUCT*>(m.LParam);
      if (d->CtlType != ODT_MENU) child = d->hwndItem;
      break;
    }
    case WM_DELETEITEM: child = reinterpret_cast<DELETEITEMSTRUCT*>(m.LParam)->hwndItem; break;
    case WM_COMPAREITEM: child = reinterpret_cast<COMPAREITEMSTRUCT*>(m.LParam)->hwndItem; break;
    case WM_MEASUREITEM: {
      auto* mi = reinterpret_cast<MEASUREITEMSTRUCT*>(m.LParam);
      if (mi->CtlType != ODT_MENU && handle_) child = GetDlgItem(handle_, int(mi->CtlID));
      break;
    }
    default: return false;
  }
  TWinControl* c = FindControl(child);
  if (!c || c == this) return false;
  m.Result = c->Perform(CN_BASE + m.Msg, m.WParam, m.LParam);
  return true;
}

void TWinControl::WMPaint(TMessage& m) {
  bool own = defWndProc_ == DefWindowProcW || !defWndProc_;
  bool hasGraphic = false;
  for (TControl* c : controls_)
    if (!dynamic_cast<TWinControl*>(c)) hasGraphic = true;
  if (!own && !hasGraphic) {
    DefaultHandler(m);
    return;
  }
  if (!own) {
    // A system window paints itself; windowless children go on top.
    DefaultHandler(m);
    HDC dc = GetDC(handle_);
    PaintControls(dc, nullptr);
    ReleaseDC(handle_, dc);
    return;
  }
  PaintHandler(m);
}

void TWinControl::SetDoubleBuffered(bool v) {
  if (v == doubleBuffered_) return;
  doubleBuffered_ = v;
  Invalidate();
}

void PerformEraseBackground(TControl* Control, HDC DC) {
  TWinControl* parent = Control ? Control->GetParent() : nullptr;
  if (!parent || !parent->HandleAllocated()) return;
  // The parent erases as if the control's origin were its own.
  POINT old;
  SetWindowOrgEx(DC, Control->GetLeft(), Control->GetTop(), &old);
  parent->Perform(WM_ERASEBKGND, WPARAM(DC), LPARAM(DC));
  SetWindowOrgEx(DC, old.x, old.y, nullptr);
}

void TWinControl::PaintHandler(TMessage& m) {
  PAINTSTRUCT ps;
  if (doubleBuffered_ && !m.WParam) {
    // Painted whole into a bitmap first, then shown at once: no flicker.
    HDC wdc = BeginPaint(handle_, &ps);
    RECT cr;
    ::GetClientRect(handle_, &cr);
    HDC mem = CreateCompatibleDC(wdc);
    HBITMAP bmp = CreateCompatibleBitmap(wdc, std::max(1L, cr.right), std::max(1L, cr.bottom));
    HGDIOBJ old = SelectObject(mem, bmp);
    bufferDC_ = mem;
    try {
      Perform(WM_ERASEBKGND, WPARAM(mem), 0);
      TMessage inner{WM_PAINT, WPARAM(mem), 0, 0};
      PaintHandler(inner);
    } catch (...) {
      bufferDC_ = nullptr;
      SelectObject(mem, old);
      DeleteObject(bmp);
      DeleteDC(mem);
      EndPaint(handle_, &ps);
      throw;
    }
    bufferDC_ = nullptr;
    BitBlt(wdc, 0, 0, cr.right, cr.bottom, mem, 0, 0, SRCCOPY);
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    EndPaint(handle_, &ps);
    return;
  }
  HDC dc = m.WParam ? HDC(m.WParam) : BeginPaint(handle_, &ps);
  try {
    if (auto* cc = dynamic_cast<TCustomControl*>(this)) cc->PaintWindow(dc);
    PaintControls(dc, nullptr);
  } catch (...) {
    if (!m.WParam) EndPaint(handle_, &ps);
    throw;
  }
  if (!m.WParam) EndPaint(handle_, &ps);
}

void TWinControl::PaintControls(HDC dc, TControl* first) {
  bool started = first == nullptr;
  for (TControl* c : std::vector<TControl*>(controls_)) {
    if (!started) {
      started = c == first;
      if (!started) continue;
    }
    auto* g = dynamic_cast<TGraphicControl*>(c);
    if (!g || !g->visible_) continue;
    RECT r = g->GetBoundsRect();
    if (!RectVisible(dc, &r)) continue;
    int saved = SaveDC(dc);
    POINT old;
    SetViewportOrgEx(dc, g->left_, g->top_, &old);
    // The viewport already moved: clip in the control's own coordinates,
    // offset by the current viewport as IntersectClipRect uses logical units.
    IntersectClipRect(dc, 0, 0, g->width_, g->height_);
    // Through the control's window procedure, so a replaced WindowProc
    // (a theme, a hook) paints what it wants.
    try {
      g->Perform(WM_PAINT, WPARAM(dc), 0);
    } catch (...) {
      RestoreDC(dc, saved);
      throw;
    }
    RestoreDC(dc, saved);
  }
}

void TWinControl::WndProc(TMessage& m) {
  switch (m.Msg) {
    case CM_FOCUSCHANGED:
      // Every control of the tree hears which control has the focus now.
      for (TControl* c : std::vector<TControl*>(controls_)) c->Perform(m.Msg, m.WParam, m.LParam);
      return;
    case WM_SETFOCUS: {
      if (TCustomForm* f = GetParentForm(); f && f != static_cast<TControl*>(this)) f->ActiveControlChanged(this);
      DefaultHandler(m);
      return;
    }
    case WM_KILLFOCUS:
      DefaultHandler(m);
      return;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      if (DoKeyDown(m)) return;
      break;
    case WM_KEYUP:
    case WM_SYSKEYUP:
      if (DoKeyUp(m)) return;
      break;
    case WM_CHAR:
      if (DoKeyPress(m)) return;
      break;
    case WM_MOUSEWHEEL: {
      TPoint p = Point(GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam));
      if (DoMouseWheel(KeysToShiftState(GET_KEYSTATE_WPARAM(m.WParam)), GET_WHEEL_DELTA_WPARAM(m.WParam), p)) {
        m.Result = 0;
        return;
      }
      break;
    }
    case WM_WINDOWPOSCHANGED: {
      auto* wp = reinterpret_cast<WINDOWPOS*>(m.LParam);
      if (!(wp->flags & SWP_NOSIZE) || !(wp->flags & SWP_NOMOVE)) {
        if (!IsIconic(handle_)) {
          RECT r;
          GetWindowRect(handle_, &r);
          HWND p = ::GetParent(handle_);
          if (p && (GetWindowLongPtrW(handle_, GWL_STYLE) & WS_CHILD)) MapWindowPoints(nullptr, p, reinterpret_cast<POINT*>(&r), 2);
          bool sized = RectWidth(r) != width_ || RectHeight(r) != height_;
          UpdateBoundsRect(r);
          DefaultHandler(m);
          if (sized || !(wp->flags & SWP_NOSIZE)) {
            TRect cr = GetClientRect();
            TSize cs{RectWidth(cr), RectHeight(cr)};
            // Whoever changed the size (the user, SetBounds, a parent's
            // alignment), the control hears it.
            if (sized || cs.cx != lastClientSize_.cx || cs.cy != lastClientSize_.cy) {
              lastClientSize_ = cs;
              Realign();
              Resize();
            }
          }
          return;
        }
      }
      break;
    }
    case WM_NCCALCSIZE:
      DefaultHandler(m);
      if (const int b = NonClientBorderWidth(); b > 0) {
        // The first rectangle becomes the client area: it loses the border
        // on every side.
        RECT& r = reinterpret_cast<NCCALCSIZE_PARAMS*>(m.LParam)->rgrc[0];
        InflateRect(&r, -b, -b);
        if (r.right < r.left) r.right = r.left;
        if (r.bottom < r.top) r.bottom = r.top;
      }
      return;
    case WM_NCPAINT:
      DefaultHandler(m);
      PaintBorderWidth();
      return;
    case WM_PAINT:
      WMPaint(m);
      return;
    case WM_ERASEBKGND:
      // A double-buffered control erases only into its buffer.
      if (doubleBuffered_ && defWndProc_ == DefWindowProcW && HDC(m.WParam) != bufferDC_) {
        m.Result = 1;
        return;
      }
      if (defWndProc_ == DefWindowProcW && brush_->GetStyle() != bsClear) {
        RECT r;
        ::GetClientRect(handle_, &r);
        FillRect(HDC(m.WParam), &r, brush_->GetHandle());
        m.Result = 1;
        return;
      }
      break;
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_CHARTOITEM:
    case WM_VKEYTOITEM:
    case WM_DRAWITEM:
    case WM_DELETEITEM:
    case WM_COMPAREITEM:
    case WM_MEASUREITEM:
      if (ReflectNotification(m)) return;
      break;
    case CN_CTLCOLORBTN:
    case CN_CTLCOLORDLG:
    case CN_CTLCOLOREDIT:
    case CN_CTLCOLORLISTBOX:
    case CN_CTLCOLORMSGBOX:
    case CN_CTLCOLORSCROLLBAR:
    case CN_CTLCOLORSTATIC:
      m.Result = DoCtlColor(HDC(m.WParam));
      return;
    case WM_SETCURSOR:
      if (LOWORD(m.LParam) == HTCLIENT && HWND(m.WParam) == handle_) {
        TCursor cur = Screen ? Screen->GetCursor() : crDefault;
        if (cur == crDefault) {
          POINT p;
          GetCursorPos(&p);
          ::ScreenToClient(handle_, &p);
          TControl* c = ControlAtPos(p, false);
          cur = c ? c->cursor_ : cursor_;
        }
        if (cur != crDefault && Screen) {
          ::SetCursor(Screen->Cursors(cur));
          m.Result = 1;
          return;
        }
      }
      break;
    case WM_CONTEXTMENU: {
      TPoint p = Point(GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam));
      bool keyboard = p.x == -1 && p.y == -1;
      TPoint local = keyboard ? Point(-1, -1) : ScreenToClient(p);
      TControl* target = this;
      if (!keyboard) {
        if (TControl* c = ControlAtPos(local, false)) target = c;
      }
      bool handled = false;
      target->DoContextPopup(local, handled);
      if (handled) {
        m.Result = 1;
        return;
      }
      for (TControl* c = target; c; c = c->parent_) {
        if (c->popupMenu_ && c->popupMenu_->GetAutoPopup()) {
          if (keyboard) p = ClientToScreen(Point(0, 0));
          c->popupMenu_->SetPopupComponent(target);
          c->popupMenu_->Popup(p.x, p.y);
          m.Result = 1;
          return;
        }
      }
      break;
    }
    case WM_MOUSELEAVE:
      break;
    case WM_SYSCOLORCHANGE:
      // Only top-level windows hear of it; every control of the tree is told.
      RefreshSystemColors();
      Perform(CM_SYSCOLORCHANGE, 0, 0);
      break;
    case CM_SYSCOLORCHANGE:
      // A child window of the system's (the common controls) redraws its
      // cached colours once told the way the system tells top-level ones.
      if (handle_ && parent_) {
        TMessage w{WM_SYSCOLORCHANGE, 0, 0, 0};
        DefaultHandler(w);
      }
      for (TControl* c : std::vector<TControl*>(controls_)) c->Perform(CM_SYSCOLORCHANGE, m.WParam, m.LParam);
      return;
    case WM_SETTINGCHANGE:
      // Only top-level windows hear of a changed system setting (metrics,
      // fonts, locale); every control of the tree is told, with the same
      // arguments.
      Perform(CM_WININICHANGE, m.WParam, m.LParam);
      break;
    case CM_WININICHANGE:
      for (TControl* c : std::vector<TControl*>(controls_)) c->Perform(CM_WININICHANGE, m.WParam, m.LParam);
      return;
    case WM_SYSCOMMAND:
      // Alt+letter typed in a control: its form hears it (and passes it to
      // the application's hooks, CM_APPSYSCOMMAND), as the form's menus need.
      if ((m.WParam & 0xFFF0) == SC_KEYMENU && LOWORD(m.LParam) != ' ' && parent_) {
        TWinControl* top = parent_;
        while (top->parent_) top = top->parent_;
        if (top->HandleAllocated()) {
          m.Result = top->Perform(WM_SYSCOMMAND, m.WParam, m.LParam);
          return;
        }
      }
      break;
    case WM_CANCELMODE:
      if (captureControl && captureControl->parent_ == this) {
        captureControl = nullptr;
      }
      break;
    case CM_FONTCHANGED:
      if (handle_) {
        SendMessageW(handle_, WM_SETFONT, WPARAM(font_->GetHandle()), 1);
      }
      NotifyControls(CM_PARENTFONTCHANGED);
      Invalidate();
      return;
    case CM_COLORCHANGED:
      ColorChanged();
      Invalidate();
      return;
    case CM_SHOWHINTCHANGED:
      NotifyControls(CM_PARENTSHOWHINTCHANGED);
      return;
    case CM_CTL3DCHANGED:
      NotifyControls(CM_PARENTCTL3DCHANGED, 1, ctl3D_);
      return;
    case CM_BIDIMODECHANGED:
      // The window's reading order, alignment and scroll bar side follow.
      if (handle_) {
        const LONG_PTR bidi = WS_EX_RTLREADING | WS_EX_RIGHT | WS_EX_LEFTSCROLLBAR;
        LONG_PTR ex = GetWindowLongPtrW(handle_, GWL_EXSTYLE) & ~bidi;
        if (UseRightToLeftReading()) ex |= WS_EX_RTLREADING;
        if (UseRightToLeftAlignment()) ex |= WS_EX_RIGHT;
        if (UseRightToLeftScrollBar()) ex |= WS_EX_LEFTSCROLLBAR;
        SetWindowLongPtrW(handle_, GWL_EXSTYLE, ex);
        SetWindowPos(handle_, nullptr, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
        Invalidate();
      }
      NotifyControls(CM_PARENTBIDIMODECHANGED);
      return;
    case CM_PARENTCTL3DCHANGED:
      if (parentCtl3D_ && parent_) {
        const bool v = m.WParam ? m.LParam != 0 : parent_->GetCtl3D();
        if (v != ctl3D_) {
          ctl3D_ = v;
          Perform(CM_CTL3DCHANGED, 0, 0);
        }
      }
      return;
    case CM_VISIBLECHANGED:
      if (handle_) {
        ShowWindow(handle_, visible_ ? SW_SHOWNA : SW_HIDE);
      } else if (visible_ && parent_ && parent_->HandleAllocated()) {
        HandleNeeded();
      }
      return;
    case CM_ENABLEDCHANGED:
      Invalidate();
      NotifyControls(CM_ENABLEDCHANGED + 0x1000);  // no-op for children; keeps the message unique
      return;
    case CM_RECREATEWND:
      RecreateWnd();
      return;
    case CN_KEYDOWN:
    case CN_SYSKEYDOWN: {
      m.Result = 1;
      // Shortcuts of the pop-up menus of this control and its parents, of
      // the form's menu (an MDI child's main form's too) and the
      // application's hooks first.
      for (TControl* c = this; c; c = c->parent_)
        if (c->popupMenu_ && c->popupMenu_->IsShortCut(static_cast<WORD>(m.WParam), m.LParam)) return;
      if (TCustomForm* f = GetParentForm()) {
        if (f->IsShortCut(m)) return;
        TCustomForm* main = Application ? Application->MainForm() : nullptr;
        if (main && main != f && f->GetFormStyle() == fsMDIChild && main->IsShortCut(m)) return;
      }
      if (Application && Application->IsShortCut(m)) return;
      UINT mask = 0;
      switch (m.WParam) {
        case VK_TAB: mask = DLGC_WANTTAB; break;
        case VK_LEFT:
        case VK_RIGHT:
        case VK_UP:
        case VK_DOWN: mask = DLGC_WANTARROWS; break;
        case VK_RETURN:
        case VK_EXECUTE:
        case VK_ESCAPE:
        case VK_CANCEL: mask = DLGC_WANTALLKEYS; break;
        case VK_PRIOR:
        case VK_NEXT:
          // Ctrl+PageUp and Ctrl+PageDown turn the pages around a control
          // that does not want every key.
          if (GetKeyState(VK_CONTROL) < 0) mask = DLGC_WANTALLKEYS;
          break;
        default: break;
      }
      if (mask && m.Msg == CN_KEYDOWN && Perform(CM_WANTSPECIALKEY, m.WParam, 0) == 0) {
        LRESULT code = Perform(WM_GETDLGCODE, 0, 0);
        if (!(code & mask) && !(code & DLGC_WANTALLKEYS) && !(code & DLGC_WANTMESSAGE)) {
          if (TCustomForm* f = GetParentForm()) {
            if (f->Perform(CM_DIALOGKEY, m.WParam, m.LParam) != 0) return;
          }
        }
      }
      m.Result = 0;
      return;
    }
    case CN_CHAR:
    case CN_SYSCHAR:
      m.Result = 0;
      if (!(Perform(WM_GETDLGCODE, 0, 0) & DLGC_WANTCHARS) || m.Msg == CN_SYSCHAR) {
        if (TCustomForm* f = GetParentForm()) {
          if (f->Perform(CM_DIALOGCHAR, m.WParam, m.LParam) != 0) m.Result = 1;
        }
      }
      return;
    case CM_CONTROLLISTCHANGE:
      // Up to the form, which hears of changes anywhere in its tree.
      TControl::WndProc(m);
      if (parent_) parent_->Perform(m.Msg, m.WParam, m.LParam);
      return;
    case CM_DIALOGKEY:
    case CM_DIALOGCHAR:
      // Offered to every child until one takes it.
      for (TControl* c : std::vector<TControl*>(controls_)) {
        if (!c->GetVisible() || !c->GetEnabled()) continue;
        m.Result = c->Perform(m.Msg, m.WParam, m.LParam);
        if (m.Result) return;
      }
      m.Result = 0;
      return;
    default:
      break;
  }
  if (IsMouseMsg(m.Msg) && handle_) {
    if (IsControlMouseMsg(m)) return;
  }
  TControl::WndProc(m);
}

void TWinControl::DefaultHandler(TMessage& m) {
  if (!handle_) {
    TControl::DefaultHandler(m);
    return;
  }
  if (m.Msg >= CN_BASE && m.Msg < CN_BASE + 0x400) {
    // A reflected notification nobody handled: colours come from the brush,
    // anything else gets the answer of a parent that ignores it (0). The
    // child's own procedure never sees its parent's messages.
    UINT orig = m.Msg - CN_BASE;
    m.Result = (orig >= WM_CTLCOLORMSGBOX && orig <= WM_CTLCOLORSTATIC) ? DoCtlColor(HDC(m.WParam)) : 0;
    return;
  }
  if (m.Msg >= CM_BASE && m.Msg < CM_BASE + 0x1000) return;  // ours, never for the system
  m.Result = CallWindowProcW(defWndProc_ ? defWndProc_ : DefWindowProcW, handle_, m.Msg, m.WParam, m.LParam);
}

void TWinControl::UpdateControlState() {}
void TWinControl::UpdateShowing() {}

// ===========================================================================
// TCustomControl, TGraphicControl, TControlCanvas

TCustomControl::TCustomControl(TComponent* AOwner) : TWinControl(AOwner), canvas_(std::make_unique<TControlCanvas>(this)) {}

TCustomControl::~TCustomControl() {
  static_cast<TControlCanvas*>(canvas_.get())->FreeHandle();
}

void TCustomControl::Paint() {}

void TCustomControl::PaintWindow(HDC dc) {
  auto* cc = static_cast<TControlCanvas*>(canvas_.get());
  cc->Lock();
  cc->FreeHandle();
  cc->SetHandle(dc);
  try {
    Paint();
  } catch (...) {
    cc->SetHandle(nullptr);
    cc->Unlock();
    throw;
  }
  cc->SetHandle(nullptr);
  cc->Unlock();
}

void TCustomControl::WndProc(TMessage& m) { TWinControl::WndProc(m); }

TControlCanvas::~TControlCanvas() { FreeHandle(); }

void TControlCanvas::CreateHandle() {
  if (ownDC_ || !control_) return;
  auto* w = dynamic_cast<TWinControl*>(control_);
  if (w) {
    window_ = w->GetHandle();
    ownDC_ = GetDCEx(window_, nullptr, DCX_CACHE | DCX_CLIPSIBLINGS);
  } else if (control_->GetParent()) {
    window_ = control_->GetParent()->GetHandle();
    ownDC_ = GetDCEx(window_, nullptr, DCX_CACHE | DCX_CLIPSIBLINGS);
    SetViewportOrgEx(ownDC_, control_->GetLeft(), control_->GetTop(), nullptr);
    IntersectClipRect(ownDC_, 0, 0, control_->GetWidth(), control_->GetHeight());
  } else {
    window_ = nullptr;
    ownDC_ = GetDC(nullptr);
  }
  AttachDC(ownDC_);
}

void TControlCanvas::FreeHandle() {
  if (!ownDC_) return;
  AttachDC(nullptr);
  ReleaseDC(window_, ownDC_);
  ownDC_ = nullptr;
  window_ = nullptr;
}

TGraphicControl::TGraphicControl(TComponent* AOwner)
    : TControl(AOwner), canvas_(std::make_unique<TControlCanvas>(this)) {}

TGraphicControl::~TGraphicControl() { static_cast<TControlCanvas*>(canvas_.get())->FreeHandle(); }

void TGraphicControl::WndProc(TMessage& m) {
  if (m.Msg == WM_PAINT) {
    // Painted into a given context (PaintTo and friends).
    if (m.WParam) {
      auto* cc = static_cast<TControlCanvas*>(canvas_.get());
      cc->FreeHandle();
      cc->SetHandle(HDC(m.WParam));
      try {
        Paint();
      } catch (...) {
        cc->SetHandle(nullptr);
        throw;
      }
      cc->SetHandle(nullptr);
    }
    return;
  }
  TControl::WndProc(m);
}

void TGraphicControl::TrackPress(bool Tracking, bool& Pressed, int X, int Y) {
  if (!Tracking || IsInside(X, Y) == Pressed) return;
  Pressed = !Pressed;
  Invalidate();
}

// ---------------------------------------------------------------------------
// Stored properties

// StdClasses.cpp: the class library's components for readers and writers.
void RegisterStandardComponentClasses();
namespace {
const bool kStandardClassesRegistered = (RegisterStandardComponentClasses(), true);
const PropFiler::TNames kFontStyleNames{L"fsBold", L"fsItalic", L"fsUnderline", L"fsStrikeOut"};
const PropFiler::TNames kAlignNames{L"alNone", L"alTop", L"alBottom", L"alLeft", L"alRight", L"alClient", L"alCustom"};
const PropFiler::TNames kAnchorNames{L"akLeft", L"akTop", L"akRight", L"akBottom"};
const PropFiler::TNames kBiDiModeNames{L"bdLeftToRight", L"bdRightToLeft", L"bdRightToLeftNoAlign",
                                       L"bdRightToLeftReadingOnly"};
const PropFiler::TNames kDragKindNames{L"dkDrag", L"dkDock"};
const PropFiler::TNames kDragModeNames{L"dmManual", L"dmAutomatic"};
const PropFiler::TNames kHelpTypeNames{L"htKeyword", L"htContext"};
}  // namespace

void TControl::DefineProperties(TFiler* Filer) {
  TComponent::DefineProperties(Filer);
  using namespace PropFiler;
  auto* a = dynamic_cast<TControl*>(Filer->GetAncestor());
  if (StoresBounds()) {
    Integer(Filer, L"Left", left_, a ? a->left_ : 0, [this](int64_t v) { SetLeft(int(v)); });
    Integer(Filer, L"Top", top_, a ? a->top_ : 0, [this](int64_t v) { SetTop(int(v)); });
    Integer(Filer, L"Width", width_, a ? a->width_ : 0, [this](int64_t v) { SetWidth(int(v)); });
    Integer(Filer, L"Height", height_, a ? a->height_ : 0, [this](int64_t v) { SetHeight(int(v)); });
  }
  Enum(Filer, L"Align", align_, a ? a->align_ : alNone, kAlignNames,
       [this](int v) { SetAlign(static_cast<TAlign>(v)); });
  Set(Filer, L"Anchors", anchors_.Bits(), a ? a->anchors_.Bits() : TAnchors{akLeft, akTop}.Bits(), kAnchorNames,
      [this](uint64_t v) { SetAnchors(TAnchors::FromBits(v)); });
  Boolean(Filer, L"Enabled", enabled_, a ? a->enabled_ : true, [this](bool v) { SetEnabled(v); });
  Boolean(Filer, L"Visible", visible_, a ? a->visible_ : true, [this](bool v) { SetVisible(v); });
  Text(Filer, L"Hint", hint_, a ? a->hint_ : String(), [this](const String& v) { SetHint(v); });
  Boolean(Filer, L"ParentShowHint", parentShowHint_, a ? a->parentShowHint_ : true,
          [this](bool v) { SetParentShowHint(v); });
  Boolean(Filer, L"ShowHint", showHint_, a ? a->showHint_ : false, [this](bool v) { SetShowHint(v); },
          !parentShowHint_);
  if (const wchar_t* name = StoredTextName()) {
    // Only the text is asked for: a windowed control reads its window.
    const bool writing = dynamic_cast<TWriter*>(Filer) != nullptr;
    const String text = writing ? GetText() : String();
    const String base = writing && a ? a->GetText() : String();
    Text(Filer, name, text, base, [this](const String& v) { SetText(v); });
  }
  Boolean(Filer, L"ParentColor", parentColor_, a ? a->parentColor_ : false, [this](bool v) { SetParentColor(v); });
  Integer(Filer, L"Color", color_, a ? a->color_ : clWindow, [this](int64_t v) { SetColor(TColor(v)); },
          !parentColor_);
  Boolean(Filer, L"ParentFont", parentFont_, a ? a->parentFont_ : true, [this](bool v) { SetParentFont(v); });
  // The font's description, where it differs from a new font's, while the
  // control has a font of its own.
  TFont fresh;
  const TFont& f = *font_;
  const TFont& b = a ? *a->font_ : fresh;
  const bool own = !parentFont_;
  Integer(Filer, L"Font.Charset", f.GetCharset(), b.GetCharset(),
          [this](int64_t v) { font_->SetCharset(TFontCharset(v)); }, own);
  Integer(Filer, L"Font.Color", f.GetColor(), b.GetColor(), [this](int64_t v) { font_->SetColor(TColor(v)); }, own);
  Integer(Filer, L"Font.Height", f.GetHeight(), b.GetHeight(), [this](int64_t v) { font_->SetHeight(int(v)); }, own);
  Text(Filer, L"Font.Name", f.GetName(), b.GetName(), [this](const String& v) { font_->SetName(v); }, own);
  Set(Filer, L"Font.Style", f.GetStyle().Bits(), b.GetStyle().Bits(), kFontStyleNames,
      [this](uint64_t v) { font_->SetStyle(TFontStyles::FromBits(v)); }, own);
  // The pop-up menu by its name (a menu without one can't be found again).
  Link(Filer, L"PopupMenu", popupMenu_, a ? a->popupMenu_ : nullptr,
       [this](TComponent* c) { SetPopupMenu(dynamic_cast<TPopupMenu*>(c)); },
       popupMenu_ && !popupMenu_->GetName().empty());
  // Reading order: the control's own only while it does not follow its
  // parent's.
  Boolean(Filer, L"ParentBiDiMode", parentBiDiMode_, a ? a->parentBiDiMode_ : true,
          [this](bool v) { SetParentBiDiMode(v); });
  Enum(Filer, L"BiDiMode", biDiMode_, a ? a->biDiMode_ : bdLeftToRight, kBiDiModeNames,
       [this](int v) { SetBiDiMode(static_cast<TBiDiMode>(v)); }, !parentBiDiMode_);
  // The size limits (after the bounds): each one read clamps the size.
  TSizeConstraints none;
  const TSizeConstraints& c = *constraints_;
  const TSizeConstraints& cb = a ? *a->constraints_ : none;
  auto limit = [this](int TSizeConstraints::*Field) {
    return [this, Field](int64_t v) {
      constraints_.get()->*Field = int(v);
      SetBounds(left_, top_, width_, height_);
    };
  };
  Integer(Filer, L"Constraints.MaxHeight", c.MaxHeight, cb.MaxHeight, limit(&TSizeConstraints::MaxHeight));
  Integer(Filer, L"Constraints.MaxWidth", c.MaxWidth, cb.MaxWidth, limit(&TSizeConstraints::MaxWidth));
  Integer(Filer, L"Constraints.MinHeight", c.MinHeight, cb.MinHeight, limit(&TSizeConstraints::MinHeight));
  Integer(Filer, L"Constraints.MinWidth", c.MinWidth, cb.MinWidth, limit(&TSizeConstraints::MinWidth));
  Integer(Filer, L"Cursor", cursor_, a ? a->cursor_ : crDefault, [this](int64_t v) { SetCursor(TCursor(v)); });
  Integer(Filer, L"HelpContext", helpContext_, a ? a->helpContext_ : 0,
          [this](int64_t v) { SetHelpContext(THelpContext(v)); });
  Text(Filer, L"HelpKeyword", helpKeyword_, a ? a->helpKeyword_ : String(),
       [this](const String& v) { SetHelpKeyword(v); });
  Enum(Filer, L"HelpType", helpType_, a ? a->helpType_ : htContext, kHelpTypeNames,
       [this](int v) { SetHelpType(static_cast<THelpType>(v)); });
  Integer(Filer, L"DragCursor", dragCursor_, a ? a->dragCursor_ : crDrag,
          [this](int64_t v) { SetDragCursor(TCursor(v)); });
  Enum(Filer, L"DragKind", dragKind_, a ? a->dragKind_ : dkDrag, kDragKindNames,
       [this](int v) { SetDragKind(static_cast<TDragKind>(v)); });
  Enum(Filer, L"DragMode", dragMode_, a ? a->dragMode_ : dmManual, kDragModeNames,
       [this](int v) { SetDragMode(static_cast<TDragMode>(v)); });
  Event(Filer, L"OnClick", OnClick, a ? &a->OnClick : nullptr);
  Event(Filer, L"OnDblClick", OnDblClick, a ? &a->OnDblClick : nullptr);
  Event(Filer, L"OnResize", OnResize, a ? &a->OnResize : nullptr);
  Event(Filer, L"OnMouseDown", OnMouseDown, a ? &a->OnMouseDown : nullptr);
  Event(Filer, L"OnMouseMove", OnMouseMove, a ? &a->OnMouseMove : nullptr);
  Event(Filer, L"OnMouseUp", OnMouseUp, a ? &a->OnMouseUp : nullptr);
  Event(Filer, L"OnMouseWheelDown", OnMouseWheelDown, a ? &a->OnMouseWheelDown : nullptr);
  Event(Filer, L"OnMouseWheelUp", OnMouseWheelUp, a ? &a->OnMouseWheelUp : nullptr);
  Event(Filer, L"OnContextPopup", OnContextPopup, a ? &a->OnContextPopup : nullptr);
  Event(Filer, L"OnCanResize", OnCanResize, a ? &a->OnCanResize : nullptr);
  Event(Filer, L"OnDragDrop", OnDragDrop, a ? &a->OnDragDrop : nullptr);
  Event(Filer, L"OnDragOver", OnDragOver, a ? &a->OnDragOver : nullptr);
  Event(Filer, L"OnEndDock", OnEndDock, a ? &a->OnEndDock : nullptr);
  Event(Filer, L"OnEndDrag", OnEndDrag, a ? &a->OnEndDrag : nullptr);
  Event(Filer, L"OnStartDock", OnStartDock, a ? &a->OnStartDock : nullptr);
  Event(Filer, L"OnStartDrag", OnStartDrag, a ? &a->OnStartDrag : nullptr);
}

void TWinControl::DefineProperties(TFiler* Filer) {
  TControl::DefineProperties(Filer);
  using namespace PropFiler;
  auto* a = dynamic_cast<TWinControl*>(Filer->GetAncestor());
  Integer(Filer, L"TabOrder", GetTabOrder(), a ? a->GetTabOrder() : -1, [this](int64_t v) { SetTabOrder(int(v)); });
  Boolean(Filer, L"TabStop", tabStop_, a ? a->tabStop_ : false, [this](bool v) { SetTabStop(v); });
  Integer(Filer, L"BorderWidth", borderWidth_, a ? a->borderWidth_ : 0,
          [this](int64_t v) { SetBorderWidth(int(v)); });
  Boolean(Filer, L"ParentCtl3D", parentCtl3D_, a ? a->parentCtl3D_ : true, [this](bool v) { SetParentCtl3D(v); });
  Boolean(Filer, L"Ctl3D", ctl3D_, a ? a->ctl3D_ : true, [this](bool v) { SetCtl3D(v); }, !parentCtl3D_);
  Event(Filer, L"OnEnter", OnEnter, a ? &a->OnEnter : nullptr);
  Event(Filer, L"OnExit", OnExit, a ? &a->OnExit : nullptr);
  Event(Filer, L"OnKeyDown", OnKeyDown, a ? &a->OnKeyDown : nullptr);
  Event(Filer, L"OnKeyPress", OnKeyPress, a ? &a->OnKeyPress : nullptr);
  Event(Filer, L"OnKeyUp", OnKeyUp, a ? &a->OnKeyUp : nullptr);
  Event(Filer, L"OnMouseWheel", OnMouseWheel, a ? &a->OnMouseWheel : nullptr);
}
