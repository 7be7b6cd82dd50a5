#include "classlib/Forms.h"

#include "classlib/Thread.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>

TApplication* Application = nullptr;
TScreen* Screen = nullptr;

namespace {

const UINT CM_RELEASEFORM = CM_RELEASE;
constexpr UINT_PTR kHintTimerId = 0x5A01;
constexpr UINT_PTR kHintHideTimerId = 0x5A02;

BOOL CALLBACK DisableThreadWindow(HWND w, LPARAM l) {
  auto* ctx = reinterpret_cast<std::pair<HWND, std::vector<HWND>*>*>(l);
  if (w != ctx->first && IsWindowVisible(w) && IsWindowEnabled(w)) {
    ctx->second->push_back(w);
    EnableWindow(w, FALSE);
  }
  return TRUE;
}

}  // namespace

// ===========================================================================
// TCustomForm

TCustomForm::TCustomForm(TComponent* AOwner) : TWinControl(AOwner), icon_(std::make_unique<TIcon>()) {
  visible_ = false;
  ControlStyle = TControlStyle{csAcceptsControls, csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks};
  parentFont_ = false;
  parentShowHint_ = false;
  parentColor_ = false;
  left_ = 0;
  top_ = 0;
  width_ = 320;
  height_ = 240;
  if (Screen) Screen->AddForm(this);
}

void TCustomForm::DoDestroy() {
  if (destroyed_) return;
  destroyed_ = true;
  if (OnDestroy) {
    try {
      OnDestroy(this);
    } catch (...) {
      HandleCallbackException(this);
    }
  }
}

TCustomForm::~TCustomForm() {
  DoDestroy();
  // The window would take the menu's handles with it.
  SetMenu(nullptr);
  // An MDI child leaves through its client (which activates the next one).
  if (formStyle_ == fsMDIChild) DestroyHandle();
  if (Screen) Screen->RemoveForm(this);
  if (Application) Application->FormDestroyed(this);
}

void TCustomForm::DoCreate() {
  if (created_) return;
  created_ = true;
  if (OnCreate) OnCreate(this);
}

void TCustomForm::CreateParams(TCreateParams& p) {
  TWinControl::CreateParams(p);
  p.Style = WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
  p.ExStyle = 0;
  switch (borderStyle_) {
    case bsNone: p.Style |= WS_POPUP; break;
    case bsSingle: p.Style |= WS_CAPTION | WS_BORDER; break;
    case bsSizeable: p.Style |= WS_CAPTION | WS_THICKFRAME; break;
    case bsDialog:
      p.Style |= WS_POPUP | WS_CAPTION;
      p.ExStyle |= WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE;
      break;
    case bsToolWindow:
      p.Style |= WS_CAPTION;
      p.ExStyle |= WS_EX_TOOLWINDOW;
      break;
    case bsSizeToolWin:
      p.Style |= WS_CAPTION | WS_THICKFRAME;
      p.ExStyle |= WS_EX_TOOLWINDOW;
      break;
  }
  if (borderStyle_ != bsNone) {
    if (borderIcons_.Contains(biSystemMenu)) p.Style |= WS_SYSMENU;
    if (borderStyle_ != bsDialog && borderStyle_ != bsToolWindow && borderStyle_ != bsSizeToolWin) {
      if (borderIcons_.Contains(biMinimize)) p.Style |= WS_MINIMIZEBOX;
      if (borderIcons_.Contains(biMaximize)) p.Style |= WS_MAXIMIZEBOX;
    }
    if (borderIcons_.Contains(biHelp) &&
        (borderStyle_ == bsDialog || !borderIcons_.Contains(biMinimize) || !borderIcons_.Contains(biMaximize)))
      p.ExStyle |= WS_EX_CONTEXTHELP;
  }
  if (formStyle_ == fsStayOnTop) p.ExStyle |= WS_EX_TOPMOST;
  if (!enabled_) p.Style |= WS_DISABLED;
  p.WndParent = nullptr;
  if (parentWindow_) {
    p.Style = (p.Style & ~DWORD(WS_POPUP | WS_CAPTION | WS_THICKFRAME | WS_SYSMENU)) | WS_CHILD;
    p.WndParent = parentWindow_;
  } else if (Application && Application->MainForm() && Application->MainForm() != this &&
             Application->MainForm()->HandleAllocated()) {
    p.WndParent = Application->MainForm()->handle_;
  }
  if (!defaultPlaced_ && !parentWindow_ && !(p.Style & WS_POPUP) &&
      (position_ == poDefault || position_ == poDefaultPosOnly)) {
    p.X = CW_USEDEFAULT;
    p.Y = CW_USEDEFAULT;
    if (position_ == poDefault) p.Width = p.Height = CW_USEDEFAULT;
  }
  p.WindowClass.style = CS_DBLCLKS;
  static const HICON icon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
  p.WindowClass.hIcon = icon;
}

void TCustomForm::CreateWnd() {
  TWinControl::CreateWnd();
  if (formStyle_ == fsMDIForm && !clientHandle_) {
    CLIENTCREATESTRUCT ccs{nullptr, 0xFF00};
    const TRect r = GetClientRect();
    clientHandle_ = CreateWindowExW(WS_EX_CLIENTEDGE, L"MDICLIENT", nullptr,
                                    WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | WS_HSCROLL | WS_VSCROLL,
                                    r.left, r.top, RectWidth(r), RectHeight(r), handle_, nullptr, MainInstance(), &ccs);
    if (!clientHandle_) throw EOSError(L"Cannot create the MDI client window");
  }
  defaultPlaced_ = true;
  const int screenPpi = Screen ? Screen->PixelsPerInch() : pixelsPerInch_;
  const bool first = !scaleDone_;
  scaleDone_ = true;
  if (first && scaled_ && pixelsPerInch_ > 0 && screenPpi != pixelsPerInch_) {
    const TRect cr = GetClientRect();
    const int m = screenPpi, d = pixelsPerInch_;
    pixelsPerInch_ = screenPpi;
    DisableAlign();
    ScaleBy(m, d);
    Constraints()->ScaleBy(m, d);
    SetClientWidth(MulDiv(RectWidth(cr), m, d));
    SetClientHeight(MulDiv(RectHeight(cr), m, d));
    EnableAlign();
  }
  if (!icon_->Empty()) SendMessageW(handle_, WM_SETICON, ICON_BIG, LPARAM(icon_->GetHandle()));
  if (menu_) ::SetMenu(handle_, menu_->Handle());
}

void TCustomForm::DestroyWindowHandle() {
  // The menu outlives the window.
  if (menu_ && handle_) ::SetMenu(handle_, nullptr);
  if (handle_ && (GetWindowLongPtrW(handle_, GWL_EXSTYLE) & WS_EX_MDICHILD)) {
    ControlState += csDestroyingHandle;
    SendMessageW(::GetParent(handle_), WM_MDIDESTROY, WPARAM(handle_), 0);
    ControlState -= csDestroyingHandle;
  }
  TWinControl::DestroyWindowHandle();
  clientHandle_ = nullptr;  // went with the frame
}

void TCustomForm::CreateWindowHandle(const TCreateParams& p) {
  if (formStyle_ != fsMDIChild) {
    TWinControl::CreateWindowHandle(p);
    return;
  }
  TCustomForm* main = Application ? Application->MainForm() : nullptr;
  if (!main || main == this || main->formStyle_ != fsMDIForm || !main->clientHandle_)
    throw EInvalidOperation(L"Cannot create form. No MDI forms are currently active");
  MDICREATESTRUCTW cs{};
  cs.szClass = p.WinClassName.c_str();
  cs.szTitle = p.Caption.c_str();
  cs.hOwner = MainInstance();
  cs.x = p.X;
  cs.y = p.Y;
  cs.cx = p.Width;
  cs.cy = p.Height;
  cs.style = p.Style & ~DWORD(WS_POPUP | WS_CHILD | WS_VISIBLE);
  cs.lParam = reinterpret_cast<LPARAM>(p.Param);
  const HWND client = main->clientHandle_;
  CreateWindowThrough([&] { return reinterpret_cast<HWND>(SendMessageW(client, WM_MDICREATE, 0, LPARAM(&cs))); });
}

void TCustomForm::AlignControls(TControl* aControl, TRect& r) {
  TWinControl::AlignControls(aControl, r);
  // The MDI client takes what the aligned controls leave.
  if (clientHandle_)
    SetWindowPos(clientHandle_, nullptr, r.left, r.top, std::max(0, int(RectWidth(r))), std::max(0, int(RectHeight(r))),
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void TCustomForm::DefaultHandler(TMessage& m) {
  const bool ours = m.Msg >= CM_BASE && m.Msg < 0xC000;
  if (handle_ && !ours) {
    // The frame's procedure would size the client over the aligned controls.
    if (formStyle_ == fsMDIForm && clientHandle_ && m.Msg != WM_SIZE) {
      m.Result = DefFrameProcW(handle_, clientHandle_, m.Msg, m.WParam, m.LParam);
      return;
    }
    if (formStyle_ == fsMDIChild && (GetWindowLongPtrW(handle_, GWL_EXSTYLE) & WS_EX_MDICHILD)) {
      m.Result = DefMDIChildProcW(handle_, m.Msg, m.WParam, m.LParam);
      return;
    }
  }
  TWinControl::DefaultHandler(m);
}

namespace {

std::vector<TCustomForm*> MDIChildList(HWND Client) {
  std::vector<TCustomForm*> list;
  if (!Client) return list;
  for (HWND w = GetWindow(Client, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT))
    if (auto* f = dynamic_cast<TCustomForm*>(TWinControl::FindControl(w)); f && f->GetFormStyle() == fsMDIChild)
      list.push_back(f);
  return list;
}

}  // namespace

int TCustomForm::MDIChildCount() const { return static_cast<int>(MDIChildList(clientHandle_).size()); }

TCustomForm* TCustomForm::MDIChildren(int I) const {
  const auto list = MDIChildList(clientHandle_);
  if (I < 0 || I >= static_cast<int>(list.size())) throw EListError(L"List index out of bounds (" + std::to_wstring(I) + L")");
  return list[static_cast<size_t>(I)];
}

TCustomForm* TCustomForm::ActiveMDIChild() const {
  if (!clientHandle_) return nullptr;
  HWND h = reinterpret_cast<HWND>(SendMessageW(clientHandle_, WM_MDIGETACTIVE, 0, 0));
  auto* f = dynamic_cast<TCustomForm*>(FindControl(h));
  return f && f->formStyle_ == fsMDIChild ? f : nullptr;
}

void TCustomForm::Cascade() {
  if (clientHandle_) SendMessageW(clientHandle_, WM_MDICASCADE, 0, 0);
}

void TCustomForm::Tile() {
  if (clientHandle_)
    SendMessageW(clientHandle_, WM_MDITILE, tileMode_ == tbHorizontal ? MDITILE_HORIZONTAL : MDITILE_VERTICAL, 0);
}

void TCustomForm::ArrangeIcons() {
  if (clientHandle_) SendMessageW(clientHandle_, WM_MDIICONARRANGE, 0, 0);
}

void TCustomForm::Next() {
  if (TCustomForm* c = ActiveMDIChild()) SendMessageW(clientHandle_, WM_MDINEXT, WPARAM(c->handle_), 0);
}

void TCustomForm::Previous() {
  if (TCustomForm* c = ActiveMDIChild()) SendMessageW(clientHandle_, WM_MDINEXT, WPARAM(c->handle_), 1);
}

void TCustomForm::SetMenu(TMainMenu* Value) {
  if (Value == menu_) return;
  if (Value && Value->GetForm() && Value->GetForm() != this) Value->GetForm()->SetMenu(nullptr);
  if (menu_) {
    menu_->SetForm(nullptr);
    menu_->RemoveFreeNotification(this);
  }
  menu_ = Value;
  if (menu_) {
    menu_->SetForm(this);
    menu_->FreeNotification(this);
  }
  if (handle_) {
    // Showing or hiding the bar changes the client area.
    ::SetMenu(handle_, menu_ ? menu_->Handle() : nullptr);
    DrawMenuBar(handle_);
  }
}

void TCustomForm::Notification(TComponent* AComponent, TOperation Operation) {
  TWinControl::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == menu_) {
    if (handle_) ::SetMenu(handle_, nullptr);
    menu_ = nullptr;
  }
}

bool TCustomForm::IsShortCut(TMessage& Message) {
  return menu_ && menu_->IsShortCut(WORD(Message.WParam), Message.LParam);
}

void TCustomForm::WMInitMenuPopup(TMessage& m) {
  DefaultHandler(m);
  if (!HIWORD(m.LParam) && menu_) menu_->DispatchPopup(reinterpret_cast<HMENU>(m.WParam));
}

void TCustomForm::SaveWindowState() {
  windowState_ = GetWindowState();
  wasActive_ = GetActiveWindow() == handle_ || GetForegroundWindow() == handle_;
}

void TCustomForm::RestoreWindowState() {
  if (!ControlState.Contains(csRecreating) || !visible_) return;
  static const int active[] = {SW_SHOWNORMAL, SW_SHOWMINIMIZED, SW_SHOWMAXIMIZED};
  static const int quiet[] = {SW_SHOWNA, SW_SHOWMINNOACTIVE, SW_SHOWMAXIMIZED};
  ShowWindow(handle_, (wasActive_ ? active : quiet)[windowState_]);
  if (wasActive_) SetForegroundWindow(handle_);
}

// Without a window, the client area is what the border would leave.
TRect TCustomForm::GetClientRect() {
  if (handle_) return TWinControl::GetClientRect();
  TCreateParams p;
  CreateParams(p);
  // The frame of a style pair, measured once: forms without a window ask
  // for it on every layout step.
  static std::vector<std::pair<std::pair<DWORD, DWORD>, TSize>> frames;
  const auto key = std::make_pair(p.Style, p.ExStyle);
  auto it = std::find_if(frames.begin(), frames.end(), [&](const auto& f) { return f.first == key; });
  if (it == frames.end()) {
    RECT r{0, 0, 0, 0};
    AdjustWindowRectEx(&r, p.Style, FALSE, p.ExStyle);
    frames.emplace_back(key, TSize{RectWidth(r), RectHeight(r)});
    it = frames.end() - 1;
  }
  return Rect(0, 0, std::max(0, width_ - int(it->second.cx)), std::max(0, height_ - int(it->second.cy)));
}

void TCustomForm::SetBorderStyle(TFormBorderStyle s) {
  if (s == borderStyle_) return;
  borderStyle_ = s;
  RecreateWnd();
}

void TCustomForm::SetBorderIcons(TBorderIcons b) {
  if (b == borderIcons_) return;
  borderIcons_ = b;
  RecreateWnd();
}

void TCustomForm::SetFormStyle(TFormStyle s) {
  if (s == formStyle_) return;
  const TFormStyle old = formStyle_;
  formStyle_ = s;
  if (!handle_) return;
  if (old == fsMDIForm || old == fsMDIChild || s == fsMDIForm || s == fsMDIChild) {
    RecreateWnd();
    return;
  }
  const UINT flags = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;
  SetWindowPos(handle_, s == fsStayOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, flags);
  auto topmost = [this] { return (GetWindowLongPtrW(handle_, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; };
  if (s == fsStayOnTop || !topmost()) return;
  // A form owned by another window may keep the topmost state through
  // HWND_NOTOPMOST (the system keeps owned windows above their owner); the
  // bottom of the z-order takes it away, and the form comes back on top of
  // the windows that are not topmost. Failing that, a new window is made.
  SetWindowPos(handle_, HWND_BOTTOM, 0, 0, 0, 0, flags);
  SetWindowPos(handle_, HWND_TOP, 0, 0, 0, 0, flags);
  if (topmost()) RecreateWnd();
}

TWindowState TCustomForm::GetWindowState() {
  if (handle_) {
    if (IsIconic(handle_)) return wsMinimized;
    if (IsZoomed(handle_)) return wsMaximized;
    return wsNormal;
  }
  return windowState_;
}

namespace {
void PlaceHiddenMaximised(HWND handle_, bool Maximised);
}  // namespace

void TCustomForm::SetWindowState(TWindowState s) {
  windowState_ = s;
  // A window already in the state stays as it is (no show, no activation).
  if (handle_ && visible_ && IsWindowVisible(handle_) && GetWindowState() == s) return;
  // While OnShow runs, the show that follows applies the state, so the
  // window appears once, already in it. Maximised, the hidden window takes
  // its maximised place at once, so that what OnShow does after this sees
  // the maximised layout.
  if (inShow_) {
    if (handle_ && !IsWindowVisible(handle_) && !(GetWindowLongPtrW(handle_, GWL_EXSTYLE) & WS_EX_MDICHILD))
      PlaceHiddenMaximised(handle_, s == wsMaximized);
    return;
  }
  if (handle_ && visible_ && (GetWindowLongPtrW(handle_, GWL_EXSTYLE) & WS_EX_MDICHILD)) {
    // The client keeps its books of the maximised child.
    const HWND client = ::GetParent(handle_);
    if (s == wsMaximized) SendMessageW(client, WM_MDIMAXIMIZE, WPARAM(handle_), 0);
    else if (s == wsNormal) SendMessageW(client, WM_MDIRESTORE, WPARAM(handle_), 0);
    else ShowWindow(handle_, SW_MINIMIZE);
    return;
  }
  if (handle_ && visible_) {
    static const int cmds[] = {SW_SHOWNORMAL, SW_SHOWMINIMIZED, SW_SHOWMAXIMIZED};
    ShowWindow(handle_, cmds[s]);
  }
}

namespace {

// A hidden window takes (or leaves) its maximised place without being
// shown.
void PlaceHiddenMaximised(HWND handle_, bool Maximised) {
  const LONG_PTR style = GetWindowLongPtrW(handle_, GWL_STYLE);
  if (bool(style & WS_MAXIMIZE) == Maximised) return;
  if (!Maximised) {
    // Back to the normal place the window had before.
    WINDOWPLACEMENT wp{};
    wp.length = sizeof wp;
    GetWindowPlacement(handle_, &wp);
    SetWindowLongPtrW(handle_, GWL_STYLE, style & ~WS_MAXIMIZE);
    const RECT& r = wp.rcNormalPosition;
    SetWindowPos(handle_, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    return;
  }
  // The place the system gives a maximised window: the work area of the
  // window's monitor with the sizing frame just outside it, as the window
  // itself narrows it (WM_GETMINMAXINFO).
  MONITORINFO mi{};
  mi.cbSize = sizeof mi;
  GetMonitorInfoW(MonitorFromWindow(handle_, MONITOR_DEFAULTTOPRIMARY), &mi);
  RECT r = mi.rcWork;
  const DWORD frameStyle = (style & WS_CAPTION) == WS_CAPTION ? DWORD(style & ~WS_BORDER) : DWORD(style);
  AdjustWindowRectEx(&r, frameStyle, FALSE, DWORD(GetWindowLongPtrW(handle_, GWL_EXSTYLE)));
  MINMAXINFO mm{};
  mm.ptMaxPosition = POINT{r.left - mi.rcMonitor.left, r.top - mi.rcMonitor.top};
  mm.ptMaxSize = POINT{r.right - r.left, r.bottom - r.top};
  mm.ptMaxTrackSize = POINT{GetSystemMetrics(SM_CXMAXTRACK), GetSystemMetrics(SM_CYMAXTRACK)};
  SendMessageW(handle_, WM_GETMINMAXINFO, 0, LPARAM(&mm));
  const int w = std::min<int>(mm.ptMaxSize.x, mm.ptMaxTrackSize.x), h = std::min<int>(mm.ptMaxSize.y, mm.ptMaxTrackSize.y);
  SetWindowLongPtrW(handle_, GWL_STYLE, style | WS_MAXIMIZE);
  SetWindowPos(handle_, nullptr, mi.rcMonitor.left + mm.ptMaxPosition.x, mi.rcMonitor.top + mm.ptMaxPosition.y, w, h,
               SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

}  // namespace

void TCustomForm::ApplyPosition() {
  if (positioned_ || formStyle_ == fsMDIChild) return;
  positioned_ = true;
  TRect work = Screen ? Screen->GetWorkAreaRect() : Rect(0, 0, 1024, 768);
  int l = left_, t = top_;
  switch (position_) {
    case poScreenCenter:
    case poDesktopCenter:
      l = work.left + (RectWidth(work) - width_) / 2;
      t = work.top + (RectHeight(work) - height_) / 2;
      break;
    case poMainFormCenter:
    case poOwnerFormCenter: {
      TCustomForm* m = Application ? Application->MainForm() : nullptr;
      if (position_ == poOwnerFormCenter) {
        if (auto* o = dynamic_cast<TCustomForm*>(GetOwner())) m = o;
      }
      if (m && m != this && m->GetVisible()) {
        l = m->left_ + (m->width_ - width_) / 2;
        t = m->top_ + (m->height_ - height_) / 2;
      } else {
        l = work.left + (RectWidth(work) - width_) / 2;
        t = work.top + (RectHeight(work) - height_) / 2;
      }
      break;
    }
    default: return;
  }
  // Keep the window on the work area.
  l = std::max<int>(work.left, std::min<int>(l, work.right - width_));
  t = std::max<int>(work.top, std::min<int>(t, work.bottom - height_));
  SetBounds(l, t, width_, height_);
}

void TCustomForm::Show() {
  SetVisible(true);
  if (handle_) {
    SetForegroundWindow(handle_);
    SetActiveWindow(handle_);
  }
}

void TCustomForm::Hide() { SetVisible(false); }

void TCustomForm::SetVisibleImpl(bool v) {
  if (v) {
    ApplyPosition();
    HandleNeeded();
    inShow_ = true;
    try {
      DoShow();
    } catch (...) {
      inShow_ = false;
      throw;
    }
    inShow_ = false;
    static const int cmds[] = {SW_SHOWNORMAL, SW_SHOWMINIMIZED, SW_SHOWMAXIMIZED};
    ShowWindow(handle_, cmds[windowState_]);
    if (!activeControl_) {
      if (TWinControl* c = FindNextControl(nullptr, true, true, false)) activeControl_ = c;
    }
    if (GetWindowLongPtrW(handle_, GWL_EXSTYLE) & WS_EX_MDICHILD) {
      // A child shown becomes the client's active one.
      const HWND client = ::GetParent(handle_);
      SendMessageW(client, WM_MDIACTIVATE, WPARAM(handle_), 0);
      if (windowState_ == wsMaximized) SendMessageW(client, WM_MDIMAXIMIZE, WPARAM(handle_), 0);
    }
    if (activeControl_ && GetForegroundWindow() == handle_) FocusControl(activeControl_);
  } else {
    if (handle_ && (GetWindowLongPtrW(handle_, GWL_EXSTYLE) & WS_EX_MDICHILD)) {
      // Another child takes over before this one goes out of sight.
      const HWND client = ::GetParent(handle_);
      if (reinterpret_cast<HWND>(SendMessageW(client, WM_MDIGETACTIVE, 0, 0)) == handle_)
        SendMessageW(client, WM_MDINEXT, WPARAM(handle_), 0);
    }
    if (handle_) {
      windowState_ = GetWindowState();
      ShowWindow(handle_, SW_HIDE);
    }
    DoHide();
  }
}

void TCustomForm::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONDBLCLK:
      // A press on the frame (caption, border, menu bar) ends what the
      // active control holds open, as a press inside the form does: a
      // pop-up would otherwise stay where it was while the form moves.
      SendCancelMode(this);
      break;
    case CM_VISIBLECHANGED:
      SetVisibleImpl(visible_);
      return;
    case WM_CLOSE:
      Close();
      m.Result = 0;
      return;
    case WM_ACTIVATE: {
      bool act = LOWORD(m.WParam) != WA_INACTIVE;
      DefaultHandler(m);
      if (act) {
        active_ = true;
        if (Screen) Screen->SetActiveForm(this);
        // An MDI form's active child is the active form; the frame's
        // procedure gave it the focus.
        if (TCustomForm* child = ActiveMDIChild()) {
          if (Screen) Screen->SetActiveForm(child);
        } else if (focusedControl_ && focusedControl_->HandleAllocated() && focusedControl_->CanFocus())
          ::SetFocus(focusedControl_->handle_);
        else if (activeControl_ && activeControl_->HandleAllocated() && activeControl_->CanFocus())
          ::SetFocus(activeControl_->handle_);
        Activate();
      } else {
        active_ = false;
        Deactivate();
      }
      return;
    }
    case WM_MDIACTIVATE:
      DefaultHandler(m);
      if (formStyle_ == fsMDIChild) {
        if (reinterpret_cast<HWND>(m.LParam) == handle_) {
          active_ = true;
          if (Screen) Screen->SetActiveForm(this);
          Activate();
        } else if (reinterpret_cast<HWND>(m.WParam) == handle_) {
          active_ = false;
          Deactivate();
        }
      }
      return;
    case WM_SETFOCUS:
      // The form itself got the focus: hand it to the active control.
      if (activeControl_ && activeControl_ != static_cast<TWinControl*>(this) && activeControl_->HandleAllocated() &&
          activeControl_->CanFocus()) {
        ::SetFocus(activeControl_->handle_);
        return;
      }
      DefaultHandler(m);
      return;
    case WM_GETMINMAXINFO: {
      DefaultHandler(m);
      auto* mm = reinterpret_cast<MINMAXINFO*>(m.LParam);
      if (constraints_->MinWidth > 0) mm->ptMinTrackSize.x = constraints_->MinWidth;
      if (constraints_->MinHeight > 0) mm->ptMinTrackSize.y = constraints_->MinHeight;
      if (constraints_->MaxWidth > 0) mm->ptMaxTrackSize.x = constraints_->MaxWidth;
      if (constraints_->MaxHeight > 0) mm->ptMaxTrackSize.y = constraints_->MaxHeight;
      return;
    }
    case WM_SYSCOMMAND:
      if (formStyle_ == fsMDIChild && (m.WParam & 0xFFF0) == SC_KEYMENU && m.LParam == L'-' &&
          (GetWindowLongPtrW(handle_, GWL_STYLE) & WS_SYSMENU)) {
        // Alt+'-' opens an MDI child's own system menu (Alt+Space the frame's).
        RECT r{};
        GetWindowRect(handle_, &r);
        const int x = r.left + GetSystemMetrics(SM_CXFRAME);
        const int y = r.top + GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION);
        const UINT cmd = TrackPopupMenu(GetSystemMenu(handle_, FALSE), TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RETURNCMD,
                                        x, y, 0, handle_, nullptr);
        if (cmd) PostMessageW(handle_, WM_SYSCOMMAND, cmd, 0);
        m.Result = 0;
        return;
      }
      if ((m.WParam & 0xFFF0) == SC_KEYMENU && Application) {
        MSG msg{handle_, m.Msg, m.WParam, m.LParam, 0, {0, 0}};
        TMessage am{CM_APPSYSCOMMAND, 0, LPARAM(&msg), 0};
        if (Application->HandleNeededAndSend(am)) {
          m.Result = 0;
          return;
        }
      }
      break;
    case CM_RELEASE:
      delete this;
      return;
    case WM_HELP:
      WMHelp(m);
      return;
    case WM_COMMAND:
      // A menu's command: no control, no notification code.
      if (m.LParam == 0 && HIWORD(m.WParam) == 0 && menu_ && menu_->DispatchCommand(LOWORD(m.WParam))) {
        m.Result = 0;
        return;
      }
      break;
    case WM_INITMENUPOPUP:
      WMInitMenuPopup(m);
      return;
    case CM_DIALOGKEY:
      if (DialogKey(WORD(m.WParam), KeyDataToShiftState(m.LParam))) {
        m.Result = 1;
        return;
      }
      break;
    default: break;
  }
  TWinControl::WndProc(m);
}

bool TCustomForm::DialogKey(WORD key, TShiftState shift) {
  if (GetKeyState(VK_MENU) >= 0) {
    // Ctrl+Tab and Ctrl+PageDown turn to the next page of the innermost
    // page control around the focus, Ctrl+Shift+Tab and Ctrl+PageUp to the
    // page before, whichever of its controls has the keyboard.
    if (GetKeyState(VK_CONTROL) < 0 && (key == VK_TAB || key == VK_NEXT || key == VK_PRIOR)) {
      const bool forward = key == VK_TAB ? GetKeyState(VK_SHIFT) >= 0 : key == VK_NEXT;
      for (TWinControl* c = activeControl_; c && c != this; c = c->GetParent())
        if (c->Perform(CM_TURNPAGE, forward ? 1 : 0, 0) != 0) return true;
    }
    switch (key) {
      case VK_TAB:
        if (GetKeyState(VK_CONTROL) >= 0) {
          SelectNext(activeControl_, GetKeyState(VK_SHIFT) >= 0, true);
          return true;
        }
        break;
      case VK_LEFT:
      case VK_RIGHT:
      case VK_UP:
      case VK_DOWN:
        if (activeControl_ && activeControl_->GetParent()) {
          activeControl_->GetParent()->SelectNext(activeControl_, key == VK_RIGHT || key == VK_DOWN, false);
          return true;
        }
        return false;
      default: break;
    }
  }
  // Offer the key to the controls (default and cancel buttons take
  // Enter and Esc).
  TMessage dm{CM_DIALOGKEY, key, 0, 0};
  if (shift.Contains(ssAlt)) dm.LParam = 1 << 29;
  for (TControl* c : std::vector<TControl*>(controls_)) {
    if (!c->GetVisible() || !c->GetEnabled()) continue;
    dm.Result = 0;
    c->WindowProc(dm);
    if (dm.Result) return true;
  }
  return false;
}

bool TCustomForm::KeyPreviewDown(WORD& key, TShiftState shift) {
  KeyDown(key, shift);
  return key == 0;
}

void TCustomForm::Close() {
  if (modal_) {
    modalResult_ = mrCancel;
    return;
  }
  if (!CloseQuery()) return;
  TCloseAction action = caHide;
  if (Application && Application->MainForm() == this) action = caFree;
  else if (formStyle_ == fsMDIChild) action = borderIcons_.Contains(biMinimize) ? caMinimize : caNone;
  DoClose(action);
  if (action == caNone) return;
  if (Application && Application->MainForm() == this) {
    Application->Terminate();
    return;
  }
  switch (action) {
    case caHide: Hide(); break;
    case caMinimize: SetWindowState(wsMinimized); break;
    case caFree: Release(); break;
    default: break;
  }
}

bool TCustomForm::CloseQuery() {
  bool can = true;
  if (OnCloseQuery) OnCloseQuery(this, can);
  return can;
}

void TCustomForm::DoClose(TCloseAction& action) {
  if (OnClose) OnClose(this, action);
}

void TCustomForm::DoShow() {
  if (OnShow) OnShow(this);
}

void TCustomForm::DoHide() {
  if (OnHide) OnHide(this);
}

void TCustomForm::Activate() {
  if (OnActivate) OnActivate(this);
}

void TCustomForm::Deactivate() {
  if (OnDeactivate) OnDeactivate(this);
}

TModalResult TCustomForm::ShowModal() {
  if (visible_ || !enabled_ || modal_) throw EInvalidOperation(L"Cannot make a visible window modal");
  if (GetCapture()) ReleaseCapture();
  if (Application) Application->CancelHint();
  HWND prevActive = GetActiveWindow();
  HandleNeeded();
  std::vector<HWND> disabled;
  std::pair<HWND, std::vector<HWND>*> ctx{handle_, &disabled};
  EnumThreadWindows(GetCurrentThreadId(), DisableThreadWindow, LPARAM(&ctx));
  modal_ = true;
  modalResult_ = mrNone;
  if (Application) Application->ModalStarted();
  // A dialog shown in the middle of long work (the hourglass up) is
  // answered with the ordinary pointer; the hourglass comes back after.
  const TCursor busy = Screen ? Screen->GetCursor() : crDefault;
  if (Screen) Screen->SetCursor(crDefault);
  auto finish = [&]() {
    for (HWND w : disabled)
      if (IsWindow(w)) EnableWindow(w, TRUE);
    if (Application) Application->ModalFinished();
    if (Screen) Screen->SetCursor(busy);
  };
  try {
    Show();
    for (;;) {
      Application->HandleMessage();
      if (Application->Terminated()) modalResult_ = mrCancel;
      if (modalResult_ != mrNone) {
        // Closing a modal form runs the close events; caNone keeps it open.
        TCloseAction action = caHide;
        if (CloseQuery()) {
          DoClose(action);
        } else {
          action = caNone;
        }
        if (action == caNone && !Application->Terminated()) {
          modalResult_ = mrNone;
          continue;
        }
        break;
      }
    }
  } catch (...) {
    modal_ = false;
    finish();
    Hide();
    throw;
  }
  TModalResult r = modalResult_;
  finish();
  modal_ = false;
  Hide();
  if (prevActive && IsWindow(prevActive)) SetActiveWindow(prevActive);
  return r;
}

void TCustomForm::Release() {
  if (handle_) PostMessageW(handle_, CM_RELEASEFORM, 0, 0);
  else delete this;
}

void TCustomForm::SetActiveControl(TWinControl* c) {
  if (c == activeControl_) return;
  if (c && (!ContainsControl(c) || (visible_ && !c->CanFocus())))
    throw EInvalidOperation(L"Cannot focus a disabled or invisible window");
  activeControl_ = c;
  if (c && visible_ && active_) FocusControl(c);
}

void TCustomForm::FocusControl(TWinControl* c) {
  if (!c) return;
  activeControl_ = c;
  if (handle_ && IsWindowVisible(handle_) && c->CanFocus()) {
    ::SetFocus(c->GetHandle());
    // Some window managers deliver WM_SETFOCUS late; keep our books now.
    if (GetFocus() == c->handle_) ActiveControlChanged(c);
  }
}

void TCustomForm::SetFocus() {
  if (!handle_ || !visible_ || !enabled_) throw EInvalidOperation(L"Cannot focus a disabled or invisible window");
  SetActiveWindow(handle_);
  SetForegroundWindow(handle_);
}

void TCustomForm::SendCancelMode(TControl* Sender) {
  TWinControl* c = focusedControl_ ? focusedControl_ : activeControl_;
  if (active_ && c && c != Sender) c->Perform(CM_CANCELMODE, 0, reinterpret_cast<LPARAM>(Sender));
  if (formStyle_ == fsMDIForm)
    if (TCustomForm* child = ActiveMDIChild()) child->SendCancelMode(Sender);
}

void TCustomForm::ActiveControlChanged(TWinControl* c) {
  if (c == focusedControl_) return;
  if (focusedControl_ && c) SendCancelMode(c);
  TWinControl* old = focusedControl_;
  focusedControl_ = c;
  activeControl_ = c;
  if (Screen) {
    Screen->SetActiveControl(c);
    if (Screen->OnActiveControlChange) Screen->OnActiveControlChange(Screen);
  }
  if (old) old->DoExit();
  if (focusedControl_ == c && c) c->DoEnter();
  if (focusedControl_ == c) Perform(CM_FOCUSCHANGED, 0, reinterpret_cast<LPARAM>(c));
}

void TCustomForm::ControlDestroyed(TWinControl* c) {
  if (activeControl_ == c) activeControl_ = nullptr;
  if (focusedControl_ == c) focusedControl_ = nullptr;
  if (defaultButton_ == c) defaultButton_ = nullptr;
  if (cancelButton_ == c) cancelButton_ = nullptr;
  if (activeControl_ && c->ContainsControl(activeControl_)) activeControl_ = nullptr;
  if (focusedControl_ && c->ContainsControl(focusedControl_)) focusedControl_ = nullptr;
}

void TCustomForm::WMHelp(TMessage& m) {
  m.Result = 1;
  const auto* info = reinterpret_cast<const HELPINFO*>(m.LParam);
  if (!info || info->iContextType != HELPINFO_WINDOW || !Application) return;
  // The control of the window that asked (a control's inner window asks
  // through its control), then the nearest one with a topic.
  TControl* c = nullptr;
  for (HWND w = static_cast<HWND>(info->hItemHandle); w && !c; w = ::GetParent(w)) c = TWinControl::FindControl(w);
  if (c && ::GetParentForm(c) != this) c = nullptr;
  if (!c) c = this;
  c = c->HelpTopicControl();
  if (!c) return;
  if (c->GetHelpType() == htKeyword)
    Application->HelpKeyword(c->GetHelpKeyword());
  else if (borderIcons_.Contains(biHelp))
    Application->HelpCommand(HELP_CONTEXTPOPUP, c->GetHelpContext());
  else
    Application->HelpContext(c->GetHelpContext());
}

void TCustomForm::UpdateActions() {
  if (IsDestroying()) return;
  InitiateAction();
  std::function<void(TWinControl*)> walk = [&](TWinControl* p) {
    // By index: an update may add or remove controls.
    for (int i = 0; i < p->ControlCount(); ++i) {
      TControl* c = p->Controls(i);
      if (!c->GetVisible()) continue;
      c->InitiateAction();
      if (i < p->ControlCount() && p->Controls(i) == c)
        if (auto* w = dynamic_cast<TWinControl*>(c)) walk(w);
    }
  };
  walk(this);
}

TForm::TForm(TComponent* AOwner) : TCustomForm(AOwner) {}

// ===========================================================================
// THintWindow

THintWindow::THintWindow(TComponent* AOwner) : TCustomControl(AOwner) {
  visible_ = false;
  color_ = clInfoBk;
  brush_->SetColor(clInfoBk);
  parentFont_ = false;
  if (Screen) font_->Assign(*Screen->HintFont());
  font_->SetColor(clInfoText);
}

void THintWindow::CreateParams(TCreateParams& p) {
  TCustomControl::CreateParams(p);
  p.Style = WS_POPUP | WS_BORDER;
  p.ExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
  p.WndParent = nullptr;
  p.WindowClass.style |= CS_SAVEBITS;
}

TRect THintWindow::CalcHintRect(int maxWidth, const String& hint) {
  TRect r = Rect(0, 0, maxWidth, 0);
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font_->GetHandle());
  DrawTextW(dc, hint.c_str(), int(hint.size()), &r, DT_CALCRECT | DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  r.right += 6;
  r.bottom += 2;
  return r;
}

void THintWindow::ActivateHint(TRect r, const String& hint) {
  text_ = hint;
  HandleNeeded();
  SetWindowTextW(handle_, hint.c_str());
  SetBounds(r.left, r.top, RectWidth(r), RectHeight(r));
  SetWindowPos(handle_, HWND_TOPMOST, r.left, r.top, RectWidth(r), RectHeight(r), SWP_SHOWWINDOW | SWP_NOACTIVATE);
  visible_ = true;
  InvalidateRect(handle_, nullptr, TRUE);
}

void THintWindow::ReleaseHandleHidden() {
  visible_ = false;
  if (handle_) ShowWindow(handle_, SW_HIDE);
}

void THintWindow::Paint() {
  TRect r = GetClientRect();
  Canvas()->Brush()->SetColor(color_);
  Canvas()->FillRect(r);
  r.left += 2;
  r.top += 1;
  Canvas()->Font()->Assign(*font_);
  Canvas()->Brush()->SetStyle(bsClear);
  Canvas()->TextRect(r, text_, tfLeft | tfWordBreak | tfNoPrefix);
}

// ===========================================================================
// TApplication

static void ApplicationExceptionHook(const Exception& e) {
  if (Application) Application->HandleExceptionObject(nullptr, e);
}

TApplication::TApplication(TComponent* AOwner) : TComponent(AOwner) {
  ApplicationHandleExceptionHook = &ApplicationExceptionHook;
}

TApplication::~TApplication() {
  StopHintTimer();
  delete hintWindow_;
  hintWindow_ = nullptr;
  if (ApplicationHandleExceptionHook == &ApplicationExceptionHook) ApplicationHandleExceptionHook = nullptr;
  // Forms first (they refer to the application while they die).
  DestroyComponents();
  if (handle_) DestroyWindow(handle_);
  handle_ = nullptr;
}

LRESULT CALLBACK TApplication::AppWindowProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
  TApplication* app = Application;
  if (!app || app->handle_ != h) return DefWindowProcW(h, msg, w, l);
  TellWindowWatchers(h, msg, w, l);
  TMessage m{msg, w, l, 0};
  try {
    app->AppWndProc(m);
  } catch (...) {
    HandleCallbackException(app);
  }
  return m.Result;
}

void TApplication::AppWndProc(TMessage& m) {
  if (m.Msg == WM_SYSCOLORCHANGE) RefreshSystemColors();
  for (size_t i = 0; i < windowHooks_.size(); ++i) {
    TWindowHook hook = windowHooks_[i];
    if (hook(m)) return;
  }
  switch (m.Msg) {
    case WM_TIMER:
      if (m.WParam == kHintTimerId || m.WParam == kHintHideTimerId) {
        HintTimerExpired();
        return;
      }
      break;
    case WM_CLOSE:
      if (mainForm_) mainForm_->Close();
      return;
    case WM_ACTIVATEAPP:
      if (m.WParam) {
        if (OnActivate) OnActivate(this);
      } else {
        CancelHint();
        if (OnDeactivate) OnDeactivate(this);
      }
      break;
    case CM_APPKEYDOWN:
    case CM_APPSYSCOMMAND:
      m.Result = 0;
      return;
    default: break;
  }
  m.Result = DefWindowProcW(handle_, m.Msg, m.WParam, m.LParam);
}

HWND TApplication::Handle() {
  if (!handle_) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = AppWindowProc;
    wc.hInstance = MainInstance();
    wc.lpszClassName = L"Zembrio.TApplication";
    wc.hIcon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
    WNDCLASSW existing{};
    if (!GetClassInfoW(MainInstance(), wc.lpszClassName, &existing)) RegisterClassW(&wc);
    handle_ = CreateWindowExW(WS_EX_TOOLWINDOW, wc.lpszClassName, title_.c_str(),
                              WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX, 0, 0, 0, 0,
                              nullptr, nullptr, MainInstance(), nullptr);
  }
  return handle_;
}

bool TApplication::HandleNeededAndSend(TMessage& m) {
  Handle();
  m.Result = 0;
  AppWndProc(m);
  return m.Result != 0;
}

void TApplication::Initialize() {
  InitCommonControl(ICC_WIN95_CLASSES);
  // Worker threads wake this (the window) thread for their synchronised calls.
  InitThreadSynchronization();
  Handle();
}

void TApplication::FormCreated(TCustomForm* f) {
  if (!mainForm_) mainForm_ = f;
  f->DoCreate();
}

void TApplication::FormDestroyed(TCustomForm* f) {
  if (mainForm_ == f) mainForm_ = nullptr;
}

void TApplication::SetTitle(const String& t) {
  title_ = t;
  if (handle_) SetWindowTextW(handle_, t.c_str());
}

String TApplication::ExeName() const {
  wchar_t buf[MAX_PATH * 2];
  DWORD n = GetModuleFileNameW(nullptr, buf, DWORD(std::size(buf)));
  return String(buf, n);
}

void TApplication::Run() {
  running_ = true;
  if (mainForm_ && showMainForm_) {
    mainForm_->Show();
  }
  while (!terminated_) {
    try {
      HandleMessage();
    } catch (...) {
      HandleException(this);
    }
  }
  running_ = false;
  // Workers still waiting for the window thread are let go before the
  // forms (which their calls may touch) are freed.
  ShutdownSynchronize();
}

void TApplication::Terminate() {
  if (!terminated_) PostQuitMessage(0);
  terminated_ = true;
}

bool TApplication::ProcessMessage(MSG& msg) {
  if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
  if (msg.message == WM_QUIT) {
    terminated_ = true;
    return true;
  }
  DispatchOne(msg);
  return true;
}

void TApplication::DispatchOne(MSG& msg) {
  for (size_t i = 0; i < messageHooks_.size(); ++i) {
    auto hook = messageHooks_[i].second;
    if (hook(msg)) return;
  }
  bool handled = false;
  if (OnMessage) OnMessage(msg, handled);
  if (handled) return;
  if (IsHintMsg(msg)) {
    // fall through: hint tracking never consumes a message
  }
  if (IsMDIMsg(msg)) return;
  if (IsKeyMsg(msg)) return;
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
}

void TApplication::ProcessMessages() {
  MSG msg;
  while (ProcessMessage(msg)) {
    if (terminated_) break;
  }
}

void TApplication::HandleMessage() {
  MSG msg;
  if (!ProcessMessage(msg)) Idle(msg);
}

void TApplication::Idle(const MSG&) {
  DoMouseIdle();
  CheckSynchronize();
  bool done = true;
  if (OnIdle) {
    try {
      OnIdle(this, done);
    } catch (...) {
      HandleException(this);
    }
  }
  if (done) {
    try {
      DoActionIdle();
    } catch (...) {
      HandleException(this);
    }
  }
  if (done && !terminated_) WaitMessage();
}

bool TApplication::HelpCommand(WORD Command, intptr_t Data) {
  bool callHelp = true;
  bool result = false;
  if (OnHelp) result = OnHelp(Command, Data, callHelp);
  if (callHelp) result = HelpHandler && HelpHandler(Command, Data);
  return result;
}

bool TApplication::HelpContext(THelpContext Context) { return HelpCommand(HELP_CONTEXT, Context); }

bool TApplication::HelpKeyword(const String& Keyword) {
  return HelpCommand(HELP_KEY, reinterpret_cast<intptr_t>(Keyword.c_str()));
}

void TApplication::DoActionIdle() {
  if (!Screen) return;
  for (int i = 0; i < Screen->FormCount(); ++i) {
    TCustomForm* f = Screen->Forms(i);
    if (f->handle_ && IsWindowVisible(f->handle_) && IsWindowEnabled(f->handle_)) f->UpdateActions();
  }
}

bool TApplication::ExecuteAction(TBasicAction* Action) {
  bool handled = false;
  if (OnActionExecute) OnActionExecute(Action, handled);
  return handled;
}

bool TApplication::UpdateAction(TBasicAction* Action) {
  bool handled = false;
  if (OnActionUpdate) OnActionUpdate(Action, handled);
  return handled;
}

bool TApplication::DispatchAction(TBasicAction* Action, bool Execute) {
  auto offer = [&](TComponent* c) { return Execute ? c->ExecuteAction(Action) : c->UpdateAction(Action); };
  TCustomForm* form = Screen ? Screen->GetActiveForm() : nullptr;
  if (!form)
    if (TWinControl* focused = TWinControl::FindControl(GetFocus())) form = ::GetParentForm(focused);
  if (!form) return false;
  std::vector<TControl*> offered;
  for (TControl* c = form->GetActiveControl(); c; c = c->GetParent()) {
    offered.push_back(c);
    if (offer(c)) return true;
  }
  if (std::find(offered.begin(), offered.end(), form) == offered.end() && offer(form)) return true;
  std::function<bool(TWinControl*)> others = [&](TWinControl* p) {
    for (int i = 0; i < p->ControlCount(); ++i) {
      TControl* c = p->Controls(i);
      if (!c->GetVisible()) continue;
      if (std::find(offered.begin(), offered.end(), c) == offered.end() && offer(c)) return true;
      if (auto* w = dynamic_cast<TWinControl*>(c); w && others(w)) return true;
    }
    return false;
  };
  return others(form);
}

bool TApplication::IsKeyMsg(MSG& msg) {
  if (msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST) return false;
  if (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN && msg.message != WM_CHAR &&
      msg.message != WM_SYSCHAR)
    return false;
  HWND w = GetCapture();
  if (!w) {
    w = msg.hwnd;
    while (w && !TWinControl::FindControl(w)) w = GetParent(w);
    if (!w) w = msg.hwnd;
  }
  TWinControl* c = TWinControl::FindControl(w);
  if (!c) return false;
  return c->Perform(CN_BASE + msg.message, msg.wParam, msg.lParam) != 0;
}

bool TApplication::IsShortCut(TMessage& keyMsg) {
  TMessage m{CM_APPKEYDOWN, keyMsg.WParam, keyMsg.LParam, 0};
  return HandleNeededAndSend(m);
}

bool TApplication::IsHintMsg(MSG& msg) {
  if (hintActive_ && ((msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST) ||
                      msg.message == WM_LBUTTONDOWN || msg.message == WM_RBUTTONDOWN ||
                      msg.message == WM_MBUTTONDOWN || msg.message == WM_NCLBUTTONDOWN))
    CancelHint();
  if (msg.message == WM_MOUSEMOVE) DoMouseIdle();
  return false;
}

bool TApplication::IsDlgMsg(MSG&) { return false; }

bool TApplication::IsMDIMsg(MSG& msg) {
  if (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN) return false;
  const HWND client = mainForm_ && mainForm_->GetFormStyle() == fsMDIForm ? mainForm_->ClientHandle() : nullptr;
  return client && msg.hwnd && IsChild(client, msg.hwnd) && TranslateMDISysAccel(client, &msg);
}

void TApplication::DoMouseIdle() {
  POINT p;
  if (!GetCursorPos(&p)) return;
  HWND w = WindowFromPoint(p);
  TControl* c = nullptr;
  if (TWinControl* wc = TWinControl::FindControl(w)) {
    c = wc;
    if (wc->HandleAllocated()) {
      POINT q = p;
      ScreenToClient(wc->GetHandle(), &q);
      if (TControl* g = wc->ControlAtPos(q, false)) c = g;
    }
  }
  MouseOver(c, TPoint{p.x, p.y});
}

void TApplication::HintMouseMessage(TControl* Control, TMessage& Message) {
  if (Message.Msg == WM_MOUSEMOVE) {
    TControl* c = Control;
    const TPoint p{short(LOWORD(Message.LParam)), short(HIWORD(Message.LParam))};
    auto* wc = dynamic_cast<TWinControl*>(Control);
    if (wc && wc->HandleAllocated()) {
      if (TControl* g = wc->ControlAtPos(p, false)) c = g;
    }
    MouseOver(c, Control ? Control->ClientToScreen(p) : p);
  } else if (hintActive_ && (Message.Msg == WM_LBUTTONDOWN || Message.Msg == WM_RBUTTONDOWN ||
                             Message.Msg == WM_MBUTTONDOWN)) {
    CancelHint();
  }
}

void TApplication::MouseOver(TControl* c, TPoint screenPos) {
  if (c == mouseControl_) {
    // The same control: its hint holds over its CursorRect only.
    if (c && c == hintControl_ && hintRectValid_ && !PtInRect(&hintCursorRect_, screenPos)) RestartHint(c);
    return;
  }
  TControl* old = mouseControl_;
  mouseControl_ = c;
  if (old) old->Perform(CM_MOUSELEAVE, 0, 0);
  if (c) c->Perform(CM_MOUSEENTER, 0, 0);
  // Hints follow the control under the mouse.
  hintControl_ = c;
  RestartHint(c);
}

void TApplication::HintChanged(TControl* c) {
  if (!c || c != mouseControl_ || c != hintControl_ || c->GetHint() == hint_) return;
  RestartHint(c);
}

void TApplication::RestartHint(TControl* c) {
  const bool reshow = hintActive_ || (hintReshow_ && hintTimer_ && hintTimerKind_ == 0);
  if (hintActive_) CancelHint();
  StopHintTimer();
  hintRectValid_ = false;
  hintReshow_ = false;
  String h = c ? c->GetHint() : String();
  SetHint(h);
  if (c && showHint_ && c->GetShowHint() && !h.empty()) {
    hintReshow_ = reshow;
    StartHintTimer(reshow ? HintShortPause : HintPause, 0);
  }
}

void TApplication::SetHint(const String& h) {
  if (h == hint_) return;
  hint_ = h;
  if (OnHint) OnHint(this);
}

void TApplication::SetShowHint(bool v) {
  showHint_ = v;
  if (!v) CancelHint();
}

void TApplication::StartHintTimer(int delay, int kind) {
  StopHintTimer();
  hintTimerKind_ = kind;
  hintTimer_ = SetTimer(Handle(), kind == 0 ? kHintTimerId : kHintHideTimerId, UINT(std::max(1, delay)), nullptr);
}

void TApplication::StopHintTimer() {
  if (hintTimer_ && handle_) KillTimer(handle_, hintTimer_);
  hintTimer_ = 0;
}

void TApplication::HintTimerExpired() {
  int kind = hintTimerKind_;
  StopHintTimer();
  if (kind == 0) {
    POINT p;
    GetCursorPos(&p);
    ActivateHint(p);
  } else {
    CancelHint();
  }
}

void TApplication::ActivateHint(TPoint cursorPos) {
  TControl* c = hintControl_;
  if (!c || !showHint_) return;
  THintInfo info;
  info.HintControl = c;
  info.CursorPos = c->ScreenToClient(cursorPos);
  info.CursorRect = c->GetClientRect();
  info.HintStr = c->GetHint();
  info.HideTimeout = HintHidePause;
  const LRESULT refused = c->Perform(CM_HINTSHOW, 0, LPARAM(&info));
  // Shown or not, this answer holds until the pointer leaves the rectangle.
  const TPoint tl = c->ClientToScreen(TPoint{info.CursorRect.left, info.CursorRect.top});
  const TPoint br = c->ClientToScreen(TPoint{info.CursorRect.right, info.CursorRect.bottom});
  hintCursorRect_ = TRect{tl.x, tl.y, br.x, br.y};
  hintRectValid_ = true;
  if (refused != 0) return;
  bool canShow = true;
  if (OnShowHint) OnShowHint(info.HintStr, canShow, info);
  if (!canShow || info.HintStr.empty()) return;
  if (!hintWindow_) hintWindow_ = new THintWindow(nullptr);
  TRect r = hintWindow_->CalcHintRect(Screen ? Screen->GetWidth() / 2 : 400, info.HintStr);
  int x = cursorPos.x, y = cursorPos.y + 20;
  hintWindow_->ActivateHint(Bounds(x, y, RectWidth(r), RectHeight(r)), info.HintStr);
  hintActive_ = true;
  if (info.HideTimeout > 0) StartHintTimer(info.HideTimeout, 1);
}

void TApplication::CancelHint() {
  StopHintTimer();
  if (hintWindow_) hintWindow_->ReleaseHandleHidden();
  hintActive_ = false;
}

void TApplication::CancelHintFor(TControl* c) {
  if (hintControl_ == c) {
    CancelHint();
    hintControl_ = nullptr;
    hintRectValid_ = false;
  }
  if (mouseControl_ == c) mouseControl_ = nullptr;
}

void TApplication::HandleException(TObject* sender) {
  if (!std::current_exception()) return;
  if (inException_) return;  // a failing handler must not loop
  inException_ = true;
  struct Reset {
    bool& b;
    ~Reset() { b = false; }
  } reset{inException_};
  try {
    try {
      throw;
    } catch (const EAbort&) {
      return;
    } catch (const Exception& e) {
      DoHandle(sender, e);
    } catch (const std::exception& e) {
      DoHandle(sender, Exception(Utf8ToWide(e.what())));
    } catch (...) {
      DoHandle(sender, Exception(String(L"Unknown exception")));
    }
  } catch (...) {
    // The handler itself failed: show the plain text without hooks.
    try {
      ShowException(Exception(String(L"Exception in the exception handler")));
    } catch (...) {
    }
  }
}

void TApplication::DoHandle(TObject* sender, const Exception& e) {
  if (dynamic_cast<const EAbort*>(&e)) return;
  if (OnException) OnException(sender, e);
  else ShowException(e);
}

void TApplication::HandleExceptionObject(TObject* sender, const Exception& e) {
  if (inException_) return;
  inException_ = true;
  try {
    DoHandle(sender, e);
  } catch (...) {
  }
  inException_ = false;
}

void TApplication::ShowException(const Exception& e) {
  String msg = e.Message();
  if (!msg.empty() && msg.back() > L'.') msg += L'.';
  if (ShowExceptionHook) {
    ShowExceptionHook(msg, title_);
    return;
  }
  ::MessageBoxW(GetActiveWindow(), msg.c_str(), title_.c_str(), MB_OK | MB_ICONSTOP);
}

int TApplication::MessageBox(const String& text, const String& caption, UINT flags) {
  HWND owner = GetActiveWindow();
  if (!owner && mainForm_ && mainForm_->HandleAllocated()) owner = mainForm_->GetHandle();
  return ::MessageBoxW(owner, text.c_str(), caption.c_str(), flags);
}

void TApplication::HookMainWindow(const TWindowHook& hook) { windowHooks_.push_back(hook); }

void TApplication::UnhookMainWindow(const TWindowHook& hook) {
  auto it = std::find(windowHooks_.begin(), windowHooks_.end(), hook);
  if (it != windowHooks_.end()) windowHooks_.erase(it);
}

int TApplication::AddMessageHook(TApplicationHook hook) {
  int id = nextHookId_++;
  messageHooks_.emplace_back(id, std::move(hook));
  return id;
}

void TApplication::RemoveMessageHook(int id) {
  messageHooks_.erase(std::remove_if(messageHooks_.begin(), messageHooks_.end(),
                                     [id](const auto& p) { return p.first == id; }),
                      messageHooks_.end());
}

// ===========================================================================
// TScreen

TScreen::TScreen(TComponent* AOwner) : TComponent(AOwner) {}

TScreen::~TScreen() {
  for (auto& c : cursors_)
    if (c.first > 0 && c.second) DestroyCursor(c.second);
}

void TScreen::SetCursor(TCursor c) {
  if (c == cursor_) return;
  cursor_ = c;
  if (c == crDefault) {
    POINT p;
    GetCursorPos(&p);
    HWND w = WindowFromPoint(p);
    if (w && TWinControl::FindControl(w))
      SendMessageW(w, WM_SETCURSOR, WPARAM(w), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    else
      ::SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW)));
  } else {
    ::SetCursor(Cursors(c));
  }
}

HCURSOR TScreen::Cursors(TCursor c) {
  for (auto& e : cursors_)
    if (e.first == c) return e.second;
  LPCWSTR id = IDC_ARROW;
  switch (c) {
    case crNone: return nullptr;
    case crCross: id = IDC_CROSS; break;
    case crIBeam: id = IDC_IBEAM; break;
    case crSizeNESW: id = IDC_SIZENESW; break;
    case crSizeNS: id = IDC_SIZENS; break;
    case crSizeNWSE: id = IDC_SIZENWSE; break;
    case crSizeWE: id = IDC_SIZEWE; break;
    case crUpArrow: id = IDC_UPARROW; break;
    case crHourGlass: id = IDC_WAIT; break;
    case crNoDrop:
    case crNo: id = IDC_NO; break;
    case crHSplit: id = IDC_SIZEWE; break;
    case crVSplit: id = IDC_SIZENS; break;
    case crSQLWait: id = IDC_WAIT; break;
    case crAppStart: id = IDC_APPSTARTING; break;
    case crHelp: id = IDC_HELP; break;
    case crHandPoint: id = IDC_HAND; break;
    case crSizeAll: id = IDC_SIZEALL; break;
    default: id = IDC_ARROW; break;
  }
  return LoadCursorW(nullptr, id);
}

void TScreen::SetCursors(TCursor c, HCURSOR h) {
  for (auto& e : cursors_)
    if (e.first == c) {
      e.second = h;
      return;
    }
  cursors_.emplace_back(c, h);
}

static void FontFromLogFont(TFont* f, const LOGFONTW& lf) {
  HFONT h = CreateFontIndirectW(&lf);
  f->SetHandle(h);
  DeleteObject(h);
}

TFont* TScreen::IconFont() {
  if (!iconFont_) {
    iconFont_ = std::make_unique<TFont>();
    LOGFONTW lf{};
    if (SystemParametersInfoW(SPI_GETICONTITLELOGFONT, sizeof lf, &lf, 0)) FontFromLogFont(iconFont_.get(), lf);
  }
  return iconFont_.get();
}

TFont* TScreen::HintFont() {
  if (!hintFont_) {
    hintFont_ = std::make_unique<TFont>();
    NONCLIENTMETRICSW nm{};
    nm.cbSize = sizeof nm;
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof nm, &nm, 0)) FontFromLogFont(hintFont_.get(), nm.lfStatusFont);
  }
  return hintFont_.get();
}

TFont* TScreen::MenuFont() {
  if (!menuFont_) {
    menuFont_ = std::make_unique<TFont>();
    NONCLIENTMETRICSW nm{};
    nm.cbSize = sizeof nm;
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof nm, &nm, 0)) FontFromLogFont(menuFont_.get(), nm.lfMenuFont);
  }
  return menuFont_.get();
}

int TScreen::GetWidth() const { return GetSystemMetrics(SM_CXSCREEN); }
int TScreen::GetHeight() const { return GetSystemMetrics(SM_CYSCREEN); }
int TScreen::PixelsPerInch() const { return pixelsPerInch_ > 0 ? pixelsPerInch_ : ScreenPixelsPerInch(); }

static BOOL CALLBACK CollectMonitor(HMONITOR m, HDC, LPRECT, LPARAM l) {
  auto* v = reinterpret_cast<std::vector<TMonitorInfo>*>(l);
  MONITORINFO mi{};
  mi.cbSize = sizeof mi;
  if (GetMonitorInfoW(m, &mi)) v->push_back(TMonitorInfo{m, mi.rcMonitor, mi.rcWork, (mi.dwFlags & MONITORINFOF_PRIMARY) != 0});
  return TRUE;
}

int TScreen::MonitorCount() {
  monitors_.clear();
  EnumDisplayMonitors(nullptr, nullptr, CollectMonitor, LPARAM(&monitors_));
  return int(monitors_.size());
}

TMonitorInfo TScreen::Monitors(int i) {
  if (monitors_.empty()) MonitorCount();
  if (i < 0 || i >= int(monitors_.size())) throw EListError(L"List index out of bounds (" + std::to_wstring(i) + L")");
  return monitors_[size_t(i)];
}

TRect TScreen::GetWorkAreaRect() const {
  RECT r{};
  if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0)) r = Rect(0, 0, GetWidth(), GetHeight());
  return r;
}

TRect TScreen::GetDesktopRect() const {
  int x = GetSystemMetrics(SM_XVIRTUALSCREEN), y = GetSystemMetrics(SM_YVIRTUALSCREEN);
  return Bounds(x, y, GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN));
}

TRect TScreen::WorkAreaOf(const TRect& r) const {
  HMONITOR m = MonitorFromRect(&r, MONITOR_DEFAULTTONEAREST);
  MONITORINFO mi{};
  mi.cbSize = sizeof mi;
  if (m && GetMonitorInfoW(m, &mi)) return mi.rcWork;
  return GetWorkAreaRect();
}

void TScreen::AddForm(TCustomForm* f) { forms_.push_back(f); }

void TScreen::RemoveDataModule(TDataModule* d) {
  dataModules_.erase(std::remove(dataModules_.begin(), dataModules_.end(), d), dataModules_.end());
}

TDataModule::TDataModule(TComponent* AOwner) : TComponent(AOwner) {
  if (Screen) Screen->AddDataModule(this);
}

TDataModule::~TDataModule() {
  DoDestroy();
  if (Screen) Screen->RemoveDataModule(this);
}

void TScreen::RemoveForm(TCustomForm* f) {
  forms_.erase(std::remove(forms_.begin(), forms_.end(), f), forms_.end());
  if (activeForm_ == f) activeForm_ = nullptr;
  if (activeControl_ && activeControl_->GetParentForm() == f) activeControl_ = nullptr;
}

void TScreen::SetActiveForm(TCustomForm* f) {
  if (f == activeForm_) return;
  activeForm_ = f;
  // The active form moves to the front of the list.
  auto it = std::find(forms_.begin(), forms_.end(), f);
  if (it != forms_.end()) {
    forms_.erase(it);
    forms_.insert(forms_.begin(), f);
  }
  if (OnActiveFormChange) OnActiveFormChange(this);
}

// ===========================================================================

void NotifyDesigner(TControl* c) {
  if (!c || !c->IsDesigning() || c->IsDestroying()) return;
  if (TCustomForm* f = GetParentForm(c))
    if (IDesigner* d = f->GetDesigner()) d->Modified();
}

void InitForms() {
  if (!Application) {
    Application = new TApplication(nullptr);
    Screen = new TScreen(nullptr);
  }
}

void DoneForms() {
  if (Application) ShutdownSynchronize();
  delete Application;
  Application = nullptr;
  delete Screen;
  Screen = nullptr;
}

// --- TScrollingWinControl --------------------------------------------------------

int TControlScrollBar::ClientSize() const {
  const TRect r = control_->GetClientRect();
  return kind_ == sbHorizontal ? RectWidth(r) : RectHeight(r);
}

bool TControlScrollBar::IsScrollBarVisible() const { return visible_ && range_ > ClientSize(); }

void TControlScrollBar::SetPosition(int Value) {
  Value = std::clamp(Value, 0, std::max(0, range_ - ClientSize()));
  if (Value == position_) return;
  control_->ScrollTo(this, Value);
}

void TControlScrollBar::SetRange(int Value) {
  control_->autoScroll_ = false;
  range_ = std::max(0, Value);
  control_->UpdateScrollBars();
}

void TControlScrollBar::SetVisible(bool Value) {
  visible_ = Value;
  control_->UpdateScrollBars();
}

TScrollingWinControl::TScrollingWinControl(TComponent* AOwner)
    : TWinControl(AOwner),
      horz_(std::make_unique<TControlScrollBar>(this, TControlScrollBar::sbHorizontal)),
      vert_(std::make_unique<TControlScrollBar>(this, TControlScrollBar::sbVertical)) {
  ControlStyle += csAcceptsControls;
}

TScrollingWinControl::~TScrollingWinControl() = default;

void TScrollingWinControl::SetAutoScroll(bool Value) {
  if (Value == autoScroll_) return;
  autoScroll_ = Value;
  UpdateScrollBars();
}

void TScrollingWinControl::CreateWnd() {
  TWinControl::CreateWnd();
  UpdateScrollBars();
}

void TScrollingWinControl::AlignControls(TControl* aControl, TRect& r) {
  TWinControl::AlignControls(aControl, r);
  UpdateScrollBars();
}

void TScrollingWinControl::ScrollTo(TControlScrollBar* Bar, int Position) {
  const int delta = Bar->position_ - Position;
  Bar->position_ = Position;
  if (delta) {
    const bool wasUpdating = updating_;
    updating_ = true;
    DisableAlign();
    for (TControl* c : std::vector<TControl*>(controls_))
      if (Bar->kind_ == TControlScrollBar::sbHorizontal) c->SetBounds(c->GetLeft() + delta, c->GetTop(), c->GetWidth(), c->GetHeight());
      else c->SetBounds(c->GetLeft(), c->GetTop() + delta, c->GetWidth(), c->GetHeight());
    EnableAlign();
    updating_ = wasUpdating;
  }
  if (handle_) {
    SCROLLINFO si{sizeof(si), SIF_POS, 0, 0, 0, Position, 0};
    SetScrollInfo(handle_, Bar->kind_ == TControlScrollBar::sbHorizontal ? SB_HORZ : SB_VERT, &si, TRUE);
    Invalidate();
  }
}

void TScrollingWinControl::UpdateScrollBars() {
  if (updating_) return;
  updating_ = true;
  if (autoScroll_) {
    // The children's extent, measured from the unscrolled origin.
    int right = 0, bottom = 0;
    for (TControl* c : controls_) {
      if (!c->GetVisible()) continue;
      right = std::max(right, c->GetLeft() + c->GetWidth() + horz_->position_);
      bottom = std::max(bottom, c->GetTop() + c->GetHeight() + vert_->position_);
    }
    horz_->range_ = right;
    vert_->range_ = bottom;
  }
  for (TControlScrollBar* b : {horz_.get(), vert_.get()}) {
    const int page = b->ClientSize();
    const int maxPos = std::max(0, b->range_ - page);
    if (b->position_ > maxPos) ScrollTo(b, maxPos);
    if (!handle_) continue;
    const int bar = b->kind_ == TControlScrollBar::sbHorizontal ? SB_HORZ : SB_VERT;
    SCROLLINFO si{sizeof(si), SIF_ALL, 0, 0, 0, 0, 0};
    if (b->IsScrollBarVisible()) {
      si.nMax = b->range_ - 1;
      si.nPage = UINT(page);
      si.nPos = b->position_;
    }
    SetScrollInfo(handle_, bar, &si, TRUE);
  }
  updating_ = false;
}

void TScrollingWinControl::ScrollInView(TControl* AControl) {
  if (!AControl || !ContainsControl(AControl)) return;
  // Its place in this control's client coordinates.
  TPoint p = ScreenToClient(AControl->ClientToScreen(TPoint{0, 0}));
  const TRect cr = GetClientRect();
  if (p.x < 0) horz_->SetPosition(horz_->position_ + p.x);
  else if (p.x + AControl->GetWidth() > cr.right)
    horz_->SetPosition(horz_->position_ + std::min(p.x, p.x + AControl->GetWidth() - cr.right));
  if (p.y < 0) vert_->SetPosition(vert_->position_ + p.y);
  else if (p.y + AControl->GetHeight() > cr.bottom)
    vert_->SetPosition(vert_->position_ + std::min(p.y, p.y + AControl->GetHeight() - cr.bottom));
}

void TScrollingWinControl::ScrollMessage(TControlScrollBar* Bar, WORD Code) {
  const int page = Bar->ClientSize();
  int pos = Bar->position_;
  switch (Code) {
    case SB_LINEUP: pos -= Bar->increment_; break;
    case SB_LINEDOWN: pos += Bar->increment_; break;
    case SB_PAGEUP: pos -= page; break;
    case SB_PAGEDOWN: pos += page; break;
    case SB_TOP: pos = 0; break;
    case SB_BOTTOM: pos = Bar->range_; break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: {
      SCROLLINFO si{sizeof(si), SIF_TRACKPOS, 0, 0, 0, 0, 0};
      GetScrollInfo(handle_, Bar->kind_ == TControlScrollBar::sbHorizontal ? SB_HORZ : SB_VERT, &si);
      pos = si.nTrackPos;
      break;
    }
    default: return;
  }
  Bar->SetPosition(pos);
}

void TScrollingWinControl::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_HSCROLL:
    case WM_VSCROLL:
      if (m.LParam == 0) {  // the window's own bars
        ScrollMessage(m.Msg == WM_HSCROLL ? horz_.get() : vert_.get(), LOWORD(m.WParam));
        m.Result = 0;
        return;
      }
      break;
    case WM_SIZE:
      TWinControl::WndProc(m);
      UpdateScrollBars();
      return;
    default: break;
  }
  TWinControl::WndProc(m);
}

TScrollBox::TScrollBox(TComponent* AOwner) : TScrollingWinControl(AOwner) { SetBounds(left_, top_, 185, 41); }

void TScrollBox::CreateParams(TCreateParams& p) {
  TScrollingWinControl::CreateParams(p);
  if (borderStyle_ == bsSingle) {
    if (ctl3D_) p.ExStyle |= WS_EX_CLIENTEDGE;
    else p.Style |= WS_BORDER;
  }
}

void TScrollBox::SetBorderStyle(TBorderStyle Value) {
  if (Value == borderStyle_) return;
  borderStyle_ = Value;
  RecreateWnd();
}
