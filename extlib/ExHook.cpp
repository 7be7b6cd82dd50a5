#include "extlib/ExHook.h"

#include <algorithm>

#include "classlib/Forms.h"

namespace {
THookList* GHookList = nullptr;
const wchar_t* const HookProp = L"ZembrioExtControlHook";

THookList* EnsureHookList() {
  if (!GHookList) GHookList = new THookList();
  return GHookList;
}
}  // namespace

THookList* HookList() { return GHookList; }

// ---------------------------------------------------------------------------
// TExtWindowHook

TExtWindowHook::TExtWindowHook(TComponent* AOwner) : TComponent(AOwner) {}

TExtWindowHook::~TExtWindowHook() {
  SetActive(false);
  SetWinControl(nullptr);
}

void TExtWindowHook::SetActive(bool Value) {
  if (Value == active_) return;
  if (Value)
    HookControl();
  else
    UnhookControl();
}

void TExtWindowHook::HookControl() {
  if (winControl_ && !IsDestroying()) EnsureHookList()->GetControlHook(winControl_)->AddHook(this);
  active_ = true;
}

void TExtWindowHook::UnhookControl() {
  DoUnhookControl();
  active_ = false;
}

TControlHook* TExtWindowHook::DoUnhookControl() {
  TControlHook* Old = controlHook_;
  if (Old) Old->RemoveHook(this);
  active_ = false;
  return Old;
}

TWinControl* TExtWindowHook::GetWinControl() const {
  return controlHook_ ? controlHook_->GetControl() : winControl_;
}

void TExtWindowHook::SetWinControl(TWinControl* Value) {
  if (Value == GetWinControl()) return;
  bool WasActive = active_;
  TControlHook* Old = DoUnhookControl();
  winControl_ = Value;
  if (Value) Value->FreeNotification(this);
  if (Old && Old->HookCount() == 0 && GHookList && GHookList->GetHandle())
    PostMessageW(GHookList->GetHandle(), CM_DESTROYHOOK, 0, reinterpret_cast<LPARAM>(Old));
  if (WasActive)
    HookControl();
  else
    active_ = false;
}

void TExtWindowHook::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  if (AComponent == GetWinControl() || AComponent == winControl_) {
    // The control goes: forget it but stay active for the next one.
    bool WasActive = active_;
    SetWinControl(nullptr);
    active_ = WasActive;
  }
}

HWND TExtWindowHook::GetHookHandle() {
  return GHookList ? GHookList->GetHandle() : reinterpret_cast<HWND>(static_cast<intptr_t>(-1));
}

bool TExtWindowHook::IsForm() const {
  TWinControl* C = GetWinControl();
  return C && C == GetOwner() && dynamic_cast<TCustomForm*>(C) != nullptr;
}

void TExtWindowHook::ReadForm(bool Value) {
  if (!Value) return;
  if (auto* F = dynamic_cast<TCustomForm*>(GetOwner())) SetWinControl(F);
}

void TExtWindowHook::DoBeforeMessage(TMessage& Msg, bool& Handled) {
  if (BeforeMessage) BeforeMessage(this, Msg, Handled);
}

void TExtWindowHook::DoAfterMessage(TMessage& Msg, bool& Handled) {
  if (AfterMessage) AfterMessage(this, Msg, Handled);
}

// ---------------------------------------------------------------------------
// TControlHook

TControlHook::TControlHook() = default;

TControlHook::~TControlHook() {
  destroying_ = true;
  if (GHookList) GHookList->Remove(this);
  while (!hooks_.empty()) RemoveHook(hooks_.back());
  UnhookControl();
  control_ = nullptr;
}

void TControlHook::SetControl(TWinControl* Value) {
  if (Value == control_) return;
  UnhookControl();
  control_ = Value;
  if (!hooks_.empty()) HookControl();
}

void TControlHook::AddHook(TExtWindowHook* Hook) {
  if (std::find(hooks_.begin(), hooks_.end(), Hook) == hooks_.end()) {
    hooks_.push_back(Hook);
    Hook->controlHook_ = this;
    SetControl(Hook->winControl_);
  }
  HookControl();
}

void TControlHook::RemoveHook(TExtWindowHook* Hook) {
  Hook->controlHook_ = nullptr;
  hooks_.erase(std::remove(hooks_.begin(), hooks_.end(), Hook), hooks_.end());
  if (hooks_.empty()) UnhookControl();
}

void TControlHook::HookControl() {
  if (!control_ || control_->IsDestroying() || destroying_) return;
  control_->HandleNeeded();
  HWND W = control_->GetHandle();
  WNDPROC Current = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(W, GWLP_WNDPROC));
  if (Current == &HookWndProc && GetPropW(W, HookProp) == this) return;
  SetPropW(W, HookProp, this);
  prevWndProc_ = Current;
  hookedWnd_ = W;
  SetWindowLongPtrW(W, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&HookWndProc));
}

void TControlHook::UnhookControl() {
  if (prevWndProc_ && hookedWnd_ && IsWindow(hookedWnd_)) {
    // Put the old procedure back only when nobody subclassed after us.
    if (reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hookedWnd_, GWLP_WNDPROC)) == &HookWndProc) {
      SetWindowLongPtrW(hookedWnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(prevWndProc_));
      RemovePropW(hookedWnd_, HookProp);
    }
  }
  prevWndProc_ = nullptr;
}

bool TControlHook::PhaseAllowed() const {
  return !hooks_.empty() && control_ && !destroying_ && !control_->IsDestroying();
}

void TControlHook::RunPhase(TMessage& Msg, bool& Handled, bool Before) {
  if (!PhaseAllowed()) return;
  // Newest first; a hook may remove itself while it runs.
  std::vector<TExtWindowHook*> Snapshot = hooks_;
  for (auto It = Snapshot.rbegin(); It != Snapshot.rend(); ++It) {
    if (std::find(hooks_.begin(), hooks_.end(), *It) == hooks_.end()) continue;
    try {
      if (Before)
        (*It)->DoBeforeMessage(Msg, Handled);
      else
        (*It)->DoAfterMessage(Msg, Handled);
    } catch (...) {
      if (Application) Application->HandleException(this);
    }
    if (Handled) break;
  }
}

LRESULT CALLBACK TControlHook::HookWndProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  auto* Self = static_cast<TControlHook*>(GetPropW(Wnd, HookProp));
  if (!Self || !Self->control_) return DefWindowProcW(Wnd, Msg, WParam, LParam);
  TMessage M;
  M.Msg = Msg;
  M.WParam = WParam;
  M.LParam = LParam;
  try {
    Self->WndProc(M);
  } catch (...) {
    if (Application) Application->HandleException(Self);
  }
  return M.Result;
}

void TControlHook::WndProc(TMessage& Msg) {
  HWND W = hookedWnd_;
  WNDPROC Prev = prevWndProc_;
  bool Handled = false;
  if (Msg.Msg != WM_QUIT) RunPhase(Msg, Handled, true);
  if (!Handled || Msg.Msg == WM_DESTROY) {
    struct AfterPhase {
      TControlHook* Self;
      TMessage& M;
      bool& H;
      ~AfterPhase() { Self->RunPhase(M, H, false); }
    } Finally{this, Msg, Handled};
    // Without a saved procedure (another subclasser replaced ours) the
    // window's class procedure still gives the control its default handling.
    WNDPROC Target = Prev ? Prev : control_->DefWndProc();
    if (Target)
      Msg.Result = CallWindowProcW(Target, W, Msg.Msg, Msg.WParam, Msg.LParam);
    else
      Msg.Result = DefWindowProcW(W, Msg.Msg, Msg.WParam, Msg.LParam);
  }
  if (Msg.Msg == WM_DESTROY) {
    UnhookControl();
    if (GetPropW(W, HookProp) == this) RemovePropW(W, HookProp);
    hookedWnd_ = nullptr;
    if (GHookList && !destroying_ && control_ && !control_->IsDestroying())
      PostMessageW(GHookList->GetHandle(), CM_RECREATEWINDOW, 0, reinterpret_cast<LPARAM>(this));
  }
}

// ---------------------------------------------------------------------------
// THookList

THookList::THookList() { handle_ = AllocateHWnd(TWndMethodEvent(this, &THookList::WndProc)); }

THookList::~THookList() {
  while (!items_.empty()) {
    TControlHook* H = items_.back();
    items_.pop_back();
    delete H;
  }
  if (handle_) DeallocateHWnd(handle_);
}

TControlHook* THookList::FindControlHook(TWinControl* Control) const {
  if (!Control) return nullptr;
  for (TControlHook* H : items_)
    if (H->GetControl() == Control) return H;
  return nullptr;
}

TControlHook* THookList::GetControlHook(TWinControl* Control) {
  TControlHook* H = FindControlHook(Control);
  if (!H) {
    H = new TControlHook();
    items_.push_back(H);
    H->SetControl(Control);
  }
  return H;
}

bool THookList::Contains(TControlHook* Hook) const {
  return std::find(items_.begin(), items_.end(), Hook) != items_.end();
}

void THookList::Remove(TControlHook* Hook) {
  items_.erase(std::remove(items_.begin(), items_.end(), Hook), items_.end());
}

void THookList::WndProc(TMessage& Msg) {
  try {
    auto* H = reinterpret_cast<TControlHook*>(Msg.LParam);
    if (Msg.Msg == CM_RECREATEWINDOW) {
      if (Contains(H)) H->HookControl();
      return;
    }
    if (Msg.Msg == CM_DESTROYHOOK) {
      if (Contains(H) && H->HookCount() == 0) delete H;
      return;
    }
  } catch (...) {
    if (Application) Application->HandleException(this);
    return;
  }
  Msg.Result = DefWindowProcW(handle_, Msg.Msg, Msg.WParam, Msg.LParam);
}

void ExHookInitialize() {}

void ExHookFinalize() {
  delete GHookList;
  GHookList = nullptr;
}
