#include "extlib/ExHook.h"

#include <algorithm>
#include <unordered_map>

#include "classlib/Forms.h"
#include "extlib/ExFiler.h"

namespace {
THookList* GHookList = nullptr;

// Windows whose procedure chain still holds the hook procedure although no
// control hook watches them any more (another subclasser sat above it when
// the hook was taken away), with the procedure to pass their messages to.
// Kept apart from the hook list: such a window may outlive it.
std::unordered_map<HWND, WNDPROC>& Stranded() {
  static auto* Map = new std::unordered_map<HWND, WNDPROC>();
  return *Map;
}

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
  if (Old && Old->HookCount() == 0 && GHookList) GHookList->Release(Old);
  if (WasActive)
    HookControl();
  else
    active_ = false;
}

void TExtWindowHook::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  // The control goes, or the owner does: forget the control but stay
  // active for the next. (A control hooked earlier going leaves the
  // current one alone.)
  if (AComponent == GetWinControl() || AComponent == winControl_ || (GetOwner() && AComponent == GetOwner())) {
    bool WasActive = active_;
    SetWinControl(nullptr);
    active_ = WasActive;
  }
  // The control itself goes: a control hook kept for it (all its hooks
  // switched off) cannot serve it again.
  if (GHookList)
    if (TControlHook* H = GHookList->FindControlHook(AComponent); H && H->HookCount() == 0) GHookList->Release(H);
}

HWND TExtWindowHook::GetHookHandle() {
  return GHookList ? GHookList->GetHandle() : reinterpret_cast<HWND>(static_cast<intptr_t>(-1));
}

bool TExtWindowHook::IsForm() const {
  TWinControl* C = GetWinControl();
  return C && C == GetOwner() && dynamic_cast<TCustomForm*>(C) != nullptr;
}

bool TExtWindowHook::NotIsForm() const {
  TWinControl* C = GetWinControl();
  return C && dynamic_cast<TCustomForm*>(C) == nullptr;
}

void TExtWindowHook::WriteForm(TWriter* Writer) { Writer->WriteBoolean(IsForm()); }

void TExtWindowHook::DefineProperties(TFiler* Filer) {
  TComponent::DefineProperties(Filer);
  auto* Ancestor = dynamic_cast<TExtWindowHook*>(Filer->GetAncestor());
  using namespace ExFiler;
  // Read first: a hook read inactive does not attach when its control is
  // found once the form is read.
  Boolean(Filer, L"Active", active_, Ancestor ? Ancestor->active_ : true, [this](bool V) { SetActive(V); });
  Link(
      Filer, L"WinControl", GetWinControl(), Ancestor ? Ancestor->GetWinControl() : nullptr,
      [this](TComponent* C) { SetWinControl(dynamic_cast<TWinControl*>(C)); }, NotIsForm());
  Event(Filer, L"BeforeMessage", BeforeMessage, Ancestor ? &Ancestor->BeforeMessage : nullptr);
  Event(Filer, L"AfterMessage", AfterMessage, Ancestor ? &Ancestor->AfterMessage : nullptr);
  bool HasData = Ancestor ? IsForm() != Ancestor->IsForm() : IsForm();
  Filer->DefineProperty(
      L"IsForm", [this](TReader* Reader) { ReadForm(Reader->ReadBoolean()); },
      [this](TWriter* Writer) { WriteForm(Writer); }, HasData);
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
  // A control being designed keeps its own window procedure.
  if (!control_ || control_->IsDesigning() || control_->IsDestroying() || destroying_) return;
  control_->HandleNeeded();
  HWND W = control_->GetHandle();
  if (hookedWnd_ == W && prevWndProc_) return;  // already watching it
  auto It = Stranded().find(W);
  if (It != Stranded().end()) {
    // The hook procedure is still in this window's chain: take up the
    // procedure it passes to instead of installing it a second time (which
    // would make the two procedures call each other without end).
    prevWndProc_ = It->second;
    Stranded().erase(It);
    hookedWnd_ = W;
    return;
  }
  WNDPROC Current = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(W, GWLP_WNDPROC));
  if (Current == &HookWndProc) return;
  prevWndProc_ = Current;
  hookedWnd_ = W;
  SetWindowLongPtrW(W, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&HookWndProc));
}

void TControlHook::UnhookControl() {
  if (prevWndProc_ && hookedWnd_ && IsWindow(hookedWnd_)) {
    // Put the old procedure back only when nobody subclassed after us;
    // otherwise the hook procedure stays in the chain and passes the
    // window's messages straight on from now on.
    if (reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hookedWnd_, GWLP_WNDPROC)) == &HookWndProc)
      SetWindowLongPtrW(hookedWnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(prevWndProc_));
    else
      Stranded()[hookedWnd_] = prevWndProc_;
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
  // The control comes from the class library's window map (no window
  // property lookup per message).
  TControlHook* Self = nullptr;
  if (GHookList)
    if (TWinControl* C = TWinControl::FindControl(Wnd)) Self = GHookList->FindControlHook(C);
  if (Self && Self->hookedWnd_ == Wnd && Self->prevWndProc_) {
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
  // Not watched (any more): on to the procedure the hook once replaced.
  WNDPROC Next = nullptr;
  auto It = Stranded().find(Wnd);
  if (It != Stranded().end()) {
    Next = It->second;
    if (Msg == WM_NCDESTROY) Stranded().erase(It);
  }
  return Next ? CallWindowProcW(Next, Wnd, Msg, WParam, LParam) : DefWindowProcW(Wnd, Msg, WParam, LParam);
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
    Msg.Result = CallWindowProcW(Prev, W, Msg.Msg, Msg.WParam, Msg.LParam);
  }
  if (Msg.Msg == WM_DESTROY) {
    UnhookControl();
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

TControlHook* THookList::FindControlHook(const TComponent* Control) const {
  if (!Control) return nullptr;
  for (TControlHook* H : items_)
    if (static_cast<const TComponent*>(H->GetControl()) == Control) return H;
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

void THookList::Release(TControlHook* Hook) {
  // Its window may already be gone while a re-hook request for it waits
  // in the queue (a control's window goes before the control is marked as
  // being destroyed): that request then finds no control.
  Hook->SetControl(nullptr);
  if (handle_) PostMessageW(handle_, CM_DESTROYHOOK, 0, reinterpret_cast<LPARAM>(Hook));
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

// ---------------------------------------------------------------------------
// Virtual method tables (this compiler's: the table pointer is the first
// word of an object, one code pointer per slot).

namespace {
void** VirtualTableOf(const void* Instance) { return *static_cast<void** const*>(Instance); }

// Whether Size bytes at P can be read (a slot beyond the table may lie on
// a page that is not there).
bool Readable(const void* P, size_t Size) {
  MEMORY_BASIC_INFORMATION Info{};
  if (!VirtualQuery(P, &Info, sizeof(Info)) || Info.State != MEM_COMMIT) return false;
  if (Info.Protect & (PAGE_NOACCESS | PAGE_GUARD)) return false;
  auto End = static_cast<const char*>(Info.BaseAddress) + Info.RegionSize;
  return static_cast<const char*>(P) + Size <= End;
}
}  // namespace

void* GetVirtualMethodAddress(const void* Instance, int Index) { return VirtualTableOf(Instance)[Index - 1]; }

void* SetVirtualMethodAddress(const void* Instance, int Index, void* Method) {
  void** Slot = VirtualTableOf(Instance) + (Index - 1);
  void* Previous = *Slot;
  DWORD OldProtect = 0;
  if (VirtualProtect(Slot, sizeof(void*), PAGE_EXECUTE_READWRITE, &OldProtect)) {
    *Slot = Method;
    FlushInstructionCache(GetCurrentProcess(), Slot, sizeof(void*));
    VirtualProtect(Slot, sizeof(void*), OldProtect, &OldProtect);
  }
  return Previous;
}

int FindVirtualMethodIndex(const void* Instance, void* Method) {
  void** Table = VirtualTableOf(Instance);
  for (int I = 0; I < MaxVirtualMethodSlots; ++I) {
    if (!Readable(Table + I, sizeof(void*))) break;
    if (Table[I] == Method) return I + 1;
  }
  return -1;
}

void ExHookInitialize() { RegisterClass(ComponentClass<TExtWindowHook>(L"TExtWindowHook")); }

void ExHookFinalize() {
  UnRegisterClass(L"TExtWindowHook");
  delete GHookList;
  GHookList = nullptr;
}
