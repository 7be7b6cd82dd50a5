#include "toolbars/BarDock.h"

#include <algorithm>
#include <climits>
#include <map>

#include "classlib/Menus.h"
#include "toolbars/BarFiler.h"
#include "toolbars/BarFloat.h"
#include "toolbars/BarUtilsWin.h"

#include <cstdint>
#include <cwchar>

namespace {
// The identifiers of stored values.
const std::vector<const wchar_t*> kPositionNames{L"dpTop", L"dpBottom", L"dpLeft", L"dpRight"};
const std::vector<const wchar_t*> kBorderStyleNames{L"bsNone",   L"bsSingle",      L"bsSizeable",
                                                    L"bsDialog", L"bsToolWindow", L"bsSizeToolWin"};
constexpr TBarDockableTo kAllPositions{dpTop, dpBottom, dpLeft, dpRight};
// Every window that floats now.
std::vector<TBarCustomDockableWindow*> g_floatingWindows;
// The application's activation as last reported to its windows.
bool g_appActive = true;

// Whether W floats still: a window told of a notice may dock or free
// another one that the walk holds in its copy of the list.
bool StillFloating(TBarCustomDockableWindow* W) {
  return std::find(g_floatingWindows.begin(), g_floatingWindows.end(), W) != g_floatingWindows.end();
}

// Whether Owner is among the owners of the top-level window Wnd, however
// far up the chain.
bool OwnedBy(HWND Wnd, HWND Owner) {
  for (HWND o = GetWindow(Wnd, GW_OWNER); o; o = GetWindow(o, GW_OWNER))
    if (o == Owner) return true;
  return false;
}

// Floating windows follow application activation and their parent forms
// through the notices of the class library's windows; docked windows need
// nothing from them.
void DockNoticeProc(TWindowNotice Notice, HWND Wnd, WPARAM WParam, LPARAM) {
  std::vector<TBarCustomDockableWindow*> list = g_floatingWindows;
  switch (Notice) {
    case wnActivateApp:
      g_appActive = WParam != 0;
      for (TBarCustomDockableWindow* w : list)
        if (StillFloating(w)) w->UpdateVisibility();
      break;
    case wnWindowPosChanged:
      for (TBarCustomDockableWindow* w : list) {
        if (!StillFloating(w) || w->FloatingMode == fmOnTopOfAllForms) continue;
        TCustomForm* f = BarGetToolWindowParentForm(w);
        if (!f || !f->HandleAllocated()) continue;
        HWND fh = f->GetHandle();
        if (fh == Wnd || IsChild(Wnd, fh)) w->UpdateVisibility();
      }
      break;
    case wnSetFocus: {
      // The focus entering a form brings the form to the top: its floating
      // forms go back above it once that is through (see RaiseAboveOwner).
      HWND top = GetAncestor(Wnd, GA_ROOT);
      std::vector<HWND> forms;
      for (TBarCustomDockableWindow* w : list) {
        if (!StillFloating(w)) continue;
        TBarFloatingWindowParent* fp = w->GetFloatingParent();
        if (w->FloatingMode == fmOnTopOfAllForms || !fp || !fp->HandleAllocated() ||
            !IsWindowVisible(fp->GetHandle()) || BarFormTopWindow(fp->GetParentForm()) != top)
          continue;
        forms.push_back(fp->GetHandle());
      }
      if (forms.empty()) break;
      // Lowest first, from the lowest floating form up: going to the top in
      // turn they keep the order they have now (the one just clicked on
      // top), and so do the other windows the form owns among and above
      // them (a modeless dialog).
      std::vector<HWND> lowestFirst;
      size_t seen = 0;
      for (HWND h = GetTopWindow(nullptr); h && seen < forms.size(); h = GetWindow(h, GW_HWNDNEXT)) {
        if (std::find(forms.begin(), forms.end(), h) != forms.end())
          ++seen;
        else if (GetWindow(h, GW_OWNER) != top || !IsWindowVisible(h) ||
                 (GetWindowLongW(h, GWL_EXSTYLE) & WS_EX_TOPMOST))
          continue;
        lowestFirst.insert(lowestFirst.begin(), h);
      }
      TBarFloatingWindowParent::RaiseAboveOwner(top, lowestFirst);
      break;
    }
    case wnDestroying:
      // Floating forms outlive the window that owns them, also where it owns
      // them through other windows (a form owned by the one going away takes
      // its own floating forms with it, unseen here). Those it owns itself
      // come first: a floating form owned by one of them stays with it.
      for (int direct = 1; direct >= 0; --direct)
        for (TBarCustomDockableWindow* w : list) {
          if (!StillFloating(w)) continue;
          TBarFloatingWindowParent* fp = w->GetFloatingParent();
          if (!fp || !fp->HandleAllocated() || fp->GetHandle() == Wnd) continue;
          const HWND fh = fp->GetHandle();
          if (direct ? GetWindow(fh, GW_OWNER) == Wnd : OwnedBy(fh, Wnd))
            SetWindowLongPtrW(fh, GWLP_HWNDPARENT,
                              reinterpret_cast<LONG_PTR>(Application ? Application->GetHandle() : nullptr));
        }
      break;
    default:
      break;
  }
}

// Whether a window of this process has the foreground (no foreground
// window at all counts as active, as at start-up).
bool ApplicationOwnsForeground() {
  HWND fg = GetForegroundWindow();
  if (!fg) return true;
  DWORD pid = 0;
  GetWindowThreadProcessId(fg, &pid);
  return pid == GetCurrentProcessId();
}

// The notices are watched only while some window floats. They come from the
// class library's window procedures, not from a system message hook: such a
// hook makes every message sent in the thread pass through the system's
// hook chain (under Wine a round trip to the server per message), which made
// filling the editor's tree and list several times slower while a toolbar
// floated.
void SetFloatingListed(TBarCustomDockableWindow* W, bool Listed) {
  auto it = std::find(g_floatingWindows.begin(), g_floatingWindows.end(), W);
  if (Listed && it == g_floatingWindows.end()) {
    if (g_floatingWindows.empty()) {
      g_appActive = ApplicationOwnsForeground();
      AddWindowNoticeProc(DockNoticeProc);
    }
    g_floatingWindows.push_back(W);
  }
  if (!Listed && it != g_floatingWindows.end()) {
    g_floatingWindows.erase(it);
    if (g_floatingWindows.empty()) RemoveWindowNoticeProc(DockNoticeProc);
  }
}

const BYTE kCloseGlyph[8] = {0x00, 0xCC, 0x78, 0x30, 0x78, 0xCC, 0x00, 0x00};

void DrawGlyph8(HDC dc, const BYTE* rows, int x, int y, COLORREF color) {
  for (int r = 0; r < 8; ++r)
    for (int c = 0; c < 8; ++c)
      if (rows[r] & (0x80 >> c)) SetPixel(dc, x + c, y + r, color);
}
}  // namespace

TBarDockType BarGetDockTypeOf(TBarDock* Dock, bool Floating) {
  if (Floating) return dtFloating;
  if (!Dock) return dtNotDocked;
  return Dock->IsVertical() ? dtLeftRight : dtTopBottom;
}

TCustomForm* BarGetToolWindowParentForm(TControl* ToolWindow) {
  TCustomForm* result = nullptr;
  for (TControl* c = ToolWindow; c; c = c->GetParent()) {
    // A floating window belongs to the form its floating form stands for.
    if (auto* fp = dynamic_cast<TBarFloatingWindowParent*>(c))
      return fp->GetParentForm() ? BarGetToolWindowParentForm(fp->GetParentForm()) : nullptr;
    if (auto* f = dynamic_cast<TCustomForm*>(c)) result = f;
  }
  return result;
}

HWND BarFormTopWindow(TCustomForm* Form) {
  if (!Form || !Form->HandleAllocated()) return nullptr;
  HWND h = Form->GetHandle();
  return Form->GetFormStyle() == fsMDIChild ? GetAncestor(h, GA_ROOT) : h;
}

TCustomForm* BarValidToolWindowParentForm(TControl* ToolWindow) {
  TCustomForm* f = BarGetToolWindowParentForm(ToolWindow);
  if (!f) throw EInvalidOperation(L"Control '" + ToolWindow->GetName() + L"' has no parent window");
  return f;
}

// ---- dockable window ------------------------------------------------------------
TBarCustomDockableWindow::TBarCustomDockableWindow(TComponent* AOwner) : TCustomControl(AOwner) {
  SetColor(clBtnFace);
  ControlStyle += TControlStyle{csAcceptsControls, csClickEvents, csDoubleClicks, csSetCaption};
  ControlStyle -= TControlStyle{csCaptureMouse, csOpaque};
  InitTrackMouseEvent();
}

TBarCustomDockableWindow::~TBarCustomDockableWindow() {
  SetComponentStateFlag(csDestroying, true);
  SetFloatingListed(this, false);
  if (TBarFloatingWindowParent* fp = floatParent_) {
    floatParent_ = nullptr;
    fp->dockableWindow_ = nullptr;
    if (GetParent() == fp) fp->RemoveControl(this);
    delete fp;
  }
  floating_ = false;
  for (TCustomForm* f : dockForms_) f->RemoveFreeNotification(this);
  dockForms_.clear();
  if (lastDock_) lastDock_->ChangeDockList(false, this);
  if (currentDock_) currentDock_->ChangeDockList(false, this);
  lastDock_ = nullptr;
  currentDock_ = nullptr;
}

int TBarCustomDockableWindow::DragHandleWidth() {
  if (!currentDock_ || !currentDock_->GetAllowDrag()) return 0;
  if (closeButtonWhenDocked_) return 14;
  switch (dragHandleStyle_) {
    case dhDouble: return 9;
    case dhNone: return 0;
    default: return 6;
  }
}

POINT TBarCustomDockableWindow::CalcNCSizes() {
  if (!currentDock_) return POINT{0, 0};
  POINT p{4, 4};
  if (currentDock_->IsVertical())
    p.y += DragHandleWidth();
  else
    p.x += DragHandleWidth();
  return p;
}

bool TBarCustomDockableWindow::CanDockTo(TBarDock* ADock) {
  return ADock && DockableTo.Contains(ADock->GetPosition());
}

void TBarCustomDockableWindow::ControlExistsAtPos(POINT P, bool& ControlExists) {
  for (int i = 0; i < ControlCount(); ++i) {
    TControl* c = GetControl(i);
    if (!c->GetVisible() || ChildControlTransparent(c)) continue;
    if (PtInRectangle(c->GetBoundsRect(), P)) {
      ControlExists = true;
      return;
    }
  }
}

RECT TBarCustomDockableWindow::GetDockedCloseButtonRect(bool LeftRight) {
  int side = DragHandleWidth() - 3;
  if (!LeftRight) return Bounds(3, 2, side, side);
  return Bounds(GetClientWidth() + 2 - side, 3, side, side);
}

POINT TBarCustomDockableWindow::GetFloatingBorderSize() {
  if (Resizable) return POINT{GetSystemMetrics(SM_CXSIZEFRAME), GetSystemMetrics(SM_CYSIZEFRAME)};
  return POINT{GetSystemMetrics(SM_CXFIXEDFRAME), GetSystemMetrics(SM_CYFIXEDFRAME)};
}

bool TBarCustomDockableWindow::IsMovable() {
  return (currentDock_ && currentDock_->GetAllowDrag()) || floating_;
}

void TBarCustomDockableWindow::DrawNCArea(HDC DC, HRGN) {
  if (!currentDock_) return;
  RECT wr;
  GetWindowRect(GetHandle(), &wr);
  OffsetRect(&wr, -wr.left, -wr.top);
  RECT cr;
  ::GetClientRect(GetHandle(), &cr);
  int saved = SaveDC(DC);
  POINT nc = CalcNCSizes();
  bool vertical = currentDock_->IsVertical();
  // Everything outside the client area.
  RECT client = cr;
  OffsetRect(&client, vertical ? 2 : nc.x - 2, vertical ? nc.y - 2 : 2);
  ExcludeClipRect(DC, client.left, client.top, client.right, client.bottom);
  if (currentDock_->UsingBackground() && currentDock_->GetBackgroundOnToolbars() &&
      currentDock_->HandleAllocated()) {
    // The frame shows the dock's tiles, lined up with the dock.
    POINT o{0, 0};
    MapWindowPoints(GetHandle(), currentDock_->GetHandle(), &o, 1);
    POINT nco{0, 0};
    ::ClientToScreen(GetHandle(), &nco);
    RECT wsr;
    GetWindowRect(GetHandle(), &wsr);
    o.x -= nco.x - wsr.left;
    o.y -= nco.y - wsr.top;
    RECT dcr;
    ::GetClientRect(currentDock_->GetHandle(), &dcr);
    currentDock_->DrawBackground(DC, RECT{-o.x, -o.y, -o.x + dcr.right, -o.y + dcr.bottom});
  } else {
    HBRUSH face = CreateSolidBrush(ColorToRef(GetColor()));
    FillRect(DC, &wr, face);
    DeleteObject(face);
  }
  if (borderStyle_ == bsSingle) {
    RECT e = wr;
    DrawEdge(DC, &e, BDR_RAISEDINNER, BF_RECT);
  }
  if (currentDock_->GetAllowDrag()) {
    int hw = DragHandleWidth();
    bool cb = closeButtonWhenDocked_;
    if (dragHandleStyle_ != dhNone) {
      int start = cb ? (dragHandleStyle_ == dhDouble ? 5 : 7) : (dragHandleStyle_ == dhDouble ? 4 : 3);
      int bars = dragHandleStyle_ == dhDouble ? 2 : 1;
      int extent = vertical ? cr.right : cr.bottom;
      int from = 2, to = extent + 2 - (dragHandleStyle_ == dhSingle ? 1 : 0);
      // Leave the close button room.
      if (cb) {
        if (vertical)
          to -= hw - 2;
        else
          from += hw - 2;
      }
      for (int b = 0; b < bars; ++b) {
        int p = start + b * 3;
        RECT bar = vertical ? RECT{from, p, to, p + 3} : RECT{p, from, p + 3, to};
        DrawEdge(DC, &bar, BDR_RAISEDINNER, BF_RECT);
      }
    }
    if (cb) {
      RECT b = GetDockedCloseButtonRect(vertical);
      if (closePushed_)
        DrawEdge(DC, &b, BDR_SUNKENOUTER, BF_RECT);
      else if (closeHot_)
        DrawEdge(DC, &b, BDR_RAISEDINNER, BF_RECT);
      int off = closePushed_ ? 1 : 0;
      DrawGlyph8(DC, kCloseGlyph, b.left + (b.right - b.left - 8) / 2 + off,
                 b.top + (b.bottom - b.top - 8) / 2 + off, ColorToRef(clBtnText));
    }
  }
  RestoreDC(DC, saved);
}

void TBarCustomDockableWindow::RedrawNCArea() {
  if (HandleAllocated())
    SetWindowPos(GetHandle(), nullptr, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TBarCustomDockableWindow::SetParent(TWinControl* AParent) {
  if (AParent == GetParent()) {
    currentDock_ = dynamic_cast<TBarDock*>(AParent);
    floating_ = dynamic_cast<TBarFloatingWindowParent*>(AParent) != nullptr;
    SetFloatingListed(this, floating_);
    return;
  }
  if (dynamic_cast<TBarCustomDockableWindow*>(AParent))
    throw EInvalidOperation(String(SBarDockParentNotAllowed));
  TBarDock* newDock = dynamic_cast<TBarDock*>(AParent);
  auto* newFloat = dynamic_cast<TBarFloatingWindowParent*>(AParent);
  bool destroying = IsDestroying();
  if (!destroying && AParent) {
    if (OnDockChanging) OnDockChanging(this, newFloat != nullptr, newDock);
    if (OnRecreating) OnRecreating(this);
  }
  const bool leavingFloat = floating_ && floatParent_ && AParent != floatParent_;
  TBarDock* oldDock = currentDock_;
  inSetParent_ = true;
  // While the window changes parents nothing shows it: a floating form it
  // leaves (kept through a drag, say) hides now, not when the drag ends.
  UpdateVisibility();
  if (oldDock) oldDock->BeginUpdate();
  if (newDock) newDock->BeginUpdate();
  BeginUpdate();
  DoDockChangingHidden(newFloat != nullptr, newDock);
  currentDock_ = newDock;
  floating_ = newFloat != nullptr;
  if (newFloat) floatParent_ = newFloat;
  if (oldDock) {
    if (useLastDock_ && oldDock == lastDock_)
      oldDock->ToolbarVisibilityChanged(this, true);
    else
      oldDock->ChangeDockList(false, this);
  }
  TCustomControl::SetParent(AParent);
  SetFloatingListed(this, floating_);
  if (leavingFloat && !smoothDragging_) ReleaseFloatingParent();
  if (newDock) {
    // A smooth drag passing over a dock does not make it the last dock:
    // the drag's end decides.
    if (useLastDock_ && !smoothDragging_)
      SetLastDock(newDock);
    else
      newDock->ChangeDockList(true, this);
    newDock->ToolbarVisibilityChanged(this, false);
  }
  RedrawNCArea();
  Arrange();
  EndUpdate();
  inSetParent_ = false;
  if (newDock) newDock->EndUpdate();
  if (oldDock) oldDock->EndUpdate();
  if (floating_ && floatParent_) floatParent_->FitToWindow();
  UpdateVisibility();
  if (AParent) {
    Moved();
    if (!destroying) {
      if (OnRecreated) OnRecreated(this);
      if (OnDockChanged) OnDockChanged(this);
    }
  }
}

void TBarCustomDockableWindow::DoDockChangingHidden(bool NewFloating, TBarDock* DockingTo) {
  if (!IsDestroying() && OnDockChangingHidden) OnDockChangingHidden(this, NewFloating, DockingTo);
}

void TBarCustomDockableWindow::SetCurrentDock(TBarDock* Value) {
  if (Value)
    SetParent(Value);
  else if (currentDock_)
    SetParent(BarValidToolWindowParentForm(this));
}

TBarFloatingWindowParentClass TBarCustomDockableWindow::GetFloatingWindowParentClass() {
  return &BarClassOf<TBarFloatingWindowParent, TBarFloatingWindowParent, TComponent*>;
}

void TBarCustomDockableWindow::SetFloating(bool Value) {
  if (Value == floating_) return;
  // A designed window never floats: it stays on its form.
  if (!Value || IsDesigning()) {
    SetParent(BarValidToolWindowParentForm(this));
    return;
  }
  TCustomForm* pf = BarValidToolWindowParentForm(this);
  if (!floatParent_) {
    TBarFloatingWindowParent* fp = GetFloatingWindowParentClass()(nullptr);
    // The form's own address names it: no two floating forms share a name.
    wchar_t name[64];
    swprintf(name, 64, L"NBFloatingWindowParent_%016llx",
             static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(fp)));
    fp->SetName(name);
    fp->dockableWindow_ = this;
    fp->SetParentForm(pf);
    if (floatForm_ != pf) {
      if (floatForm_) floatForm_->RemoveFreeNotification(this);
      floatForm_ = pf;
      pf->FreeNotification(this);
    }
    fp->SetText(GetText());
    POINT nc{GetWidth(), GetHeight()};
    AddFloatingNCAreaToSize(nc);
    fp->SetBounds(FloatingPosition.x, FloatingPosition.y, nc.x, nc.y);
    floatParent_ = fp;
  } else if (floatParent_->GetLeft() != FloatingPosition.x || floatParent_->GetTop() != FloatingPosition.y) {
    // A form kept through a drag shows where the window is dropped, never
    // for a moment where it was left. The window, still docked, has not
    // moved: it says so once it is in the form.
    ++disableMove_;
    floatParent_->SetBounds(FloatingPosition.x, FloatingPosition.y, floatParent_->GetWidth(),
                            floatParent_->GetHeight());
    --disableMove_;
  }
  // With a window to go to, the toolbar keeps its own (and its controls').
  // The form made and placed, the window has not moved yet: it moves (and
  // says so) as it goes into the form.
  if (HandleAllocated()) {
    ++disableMove_;
    try {
      floatParent_->HandleNeeded();
    } catch (...) {
      --disableMove_;
      throw;
    }
    --disableMove_;
  }
  SetParent(floatParent_);
  ++disableMove_;
  SetBounds(0, 0, GetWidth(), GetHeight());
  --disableMove_;
  floatParent_->FitToWindow();
  floatParent_->SetVisible(true);
  UpdateVisibility();
}

void TBarCustomDockableWindow::ReleaseFloatingParent() {
  TBarFloatingWindowParent* fp = floatParent_;
  if (!fp || GetParent() == fp) return;
  floatParent_ = nullptr;
  fp->dockableWindow_ = nullptr;
  // It may be in the middle of handling a message of its own: let it go
  // once the message loop comes back.
  if (fp->HandleAllocated()) {
    ShowWindow(fp->GetHandle(), SW_HIDE);
    fp->Release();
  } else {
    delete fp;
  }
}

void TBarCustomDockableWindow::DoubleClick() {
  if (currentDock_) {
    if (DblClickUndock && DockMode == dmCanFloat) {
      SetFloating(true);
      MoveOnScreen(true);
    }
    return;
  }
  if (!floating_) return;
  if (lastDock_) {
    SetParent(lastDock_);
  } else if (DefaultDock) {
    // Before every window of row 0: the arrangement never places a window
    // ahead of the row's start.
    dockRow_ = 0;
    dockPos_ = -8;
    SetParent(DefaultDock);
  }
}

POINT TBarCustomDockableWindow::ClientSizeOfFrame() {
  POINT nc = CalcNCSizes();
  if (!currentDock_) nc.x = nc.y = 2 * NonClientBorderWidth();
  return POINT{std::max<LONG>(0, GetWidth() - nc.x), std::max<LONG>(0, GetHeight() - nc.y)};
}

TRect TBarCustomDockableWindow::GetClientRect() {
  // Without a handle the class library knows nothing of the frame
  // WM_NCCALCSIZE sets aside: what is sized against the client area before
  // the window shows (an address box, say) would take the grip's room.
  if (HandleAllocated() || !currentDock_) return TCustomControl::GetClientRect();
  POINT c = ClientSizeOfFrame();
  return TRect{0, 0, c.x, c.y};
}

void TBarCustomDockableWindow::Resize() {
  toldClientSize_ = ClientSizeOfFrame();
  TCustomControl::Resize();
}

void TBarCustomDockableWindow::ResizeIfClientChanged() {
  // Never told yet: its first sizing tells it.
  if (toldClientSize_.x < 0 || IsDestroying()) return;
  POINT c = ClientSizeOfFrame();
  if (c.x != toldClientSize_.x || c.y != toldClientSize_.y) Resize();
}

void TBarCustomDockableWindow::Moved() {
  if (disableMove_ == 0 && OnMove) OnMove(this);
}

void TBarCustomDockableWindow::AddDockForm(TCustomForm* Form) {
  if (!Form || std::find(dockForms_.begin(), dockForms_.end(), Form) != dockForms_.end()) return;
  dockForms_.push_back(Form);
  Form->FreeNotification(this);
}

void TBarCustomDockableWindow::RemoveDockForm(TCustomForm* Form) {
  auto it = std::find(dockForms_.begin(), dockForms_.end(), Form);
  if (it == dockForms_.end()) return;
  dockForms_.erase(it);
  Form->RemoveFreeNotification(this);
}

bool TBarCustomDockableWindow::GetShowingState() {
  if (!GetVisible() || inSetParent_) return false;
  if (!floating_ || IsDesigning()) return true;
  if (FloatingMode == fmOnTopOfParentForm) {
    TCustomForm* f = BarGetToolWindowParentForm(this);
    if (!f || !f->HandleAllocated()) return false;
    HWND fh = f->GetHandle();
    if (!IsWindowVisible(fh) || IsIconic(fh)) return false;
    if (f->GetFormStyle() == fsMDIChild) {
      HWND top = BarFormTopWindow(f);
      if (!IsWindowVisible(top) || IsIconic(top)) return false;
    }
    if (Application && IsIconic(Application->GetHandle())) return false;
  }
  return !HideWhenInactive || g_appActive;
}

void TBarCustomDockableWindow::UpdateVisibility() {
  if (!floating_ || !floatParent_) return;
  bool inactive = !HideWhenInactive && !g_appActive;
  if (inactive != shownInactive_) {
    shownInactive_ = inactive;
    floatParent_->RedrawNCArea(TBarToolWindowNCRedrawWhat{twrdCaption, twrdCloseButton});
  }
  UpdateTopmostFlag();
  floatParent_->ShouldShow = GetShowingState();
  floatParent_->UpdateShowing();
}

void TBarCustomDockableWindow::RedrawFloatingCaption() {
  if (floating_ && floatParent_) floatParent_->RedrawNCArea(TBarToolWindowNCRedrawWhat{twrdCaption, twrdCloseButton});
}

void TBarCustomDockableWindow::CloseButtonChanged() {
  if (!floating_ || !floatParent_) return;
  Arrange();
  RedrawFloatingCaption();
}

void TBarCustomDockableWindow::ShowCaptionChanged() {
  if (!floating_ || !floatParent_) return;
  ReframeFloatingForm();
  Arrange();
}

void TBarCustomDockableWindow::ReframeFloatingForm() {
  if (!floating_ || !floatParent_) return;
  // The sizing frame goes with Resizable.
  if (floatParent_->HandleAllocated()) {
    const HWND h = floatParent_->GetHandle();
    const LONG_PTR style = GetWindowLongPtrW(h, GWL_STYLE);
    const LONG_PTR wanted = Resizable ? (style | WS_THICKFRAME) : (style & ~static_cast<LONG_PTR>(WS_THICKFRAME));
    if (wanted != style) SetWindowLongPtrW(h, GWL_STYLE, wanted);
  }
  // The border and caption change size: the form grows or shrinks round
  // the window, which keeps its size.
  floatParent_->FitToWindow();
  if (floatParent_->HandleAllocated())
    SetWindowPos(floatParent_->GetHandle(), nullptr, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TBarCustomDockableWindow::FloatingModeChanged() {
  if (!floating_ || !floatParent_ || !floatParent_->HandleAllocated()) return;
  UpdateTopmostFlag();
  floatParent_->PlaceAboveOwner();
  UpdateTopmostFlag();
  UpdateVisibility();
}

void TBarCustomDockableWindow::UpdateTopmostFlag() {
  if (!floating_ || !floatParent_ || !floatParent_->HandleAllocated()) return;
  const HWND h = floatParent_->GetHandle();
  if (FloatingMode == fmOnTopOfAllForms && GetEnabled())
    SetWindowPos(h, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE | SWP_NOOWNERZORDER);
  else if (FloatingMode != fmOnTopOfAllForms && (GetWindowLongW(h, GWL_EXSTYLE) & WS_EX_TOPMOST))
    SetWindowPos(h, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE | SWP_NOOWNERZORDER);
}

void TBarCustomDockableWindow::ShowNCContextMenu() {
  if (IsDesigning()) return;  // the designer has its own menu
  // The nearest menu is the window's, shown only where it pops up by itself.
  for (TControl* c = this; c; c = c->GetParent()) {
    TPopupMenu* pm = c->GetPopupMenu();
    if (!pm) continue;
    if (pm->GetAutoPopup()) {
      SendMessageW(GetHandle(), WM_CANCELMODE, 0, 0);
      pm->SetPopupComponent(this);
      POINT p;
      GetCursorPos(&p);
      pm->Popup(p.x, p.y);
    }
    return;
  }
}

void TBarCustomDockableWindow::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TCustomControl::MouseDown(Button, Shift, X, Y);
  if (Button != mbLeft || !IsMovable()) return;
  bool exists = false;
  ControlExistsAtPos(POINT{X, Y}, exists);
  if (exists) return;
  if (Shift.Contains(ssDouble)) {
    DoubleClick();
    return;
  }
  BeginMoving(X, Y);
  MouseUp(mbLeft, TShiftState{}, -1, -1);
}

void TBarCustomDockableWindow::SetLastDock(TBarDock* Value) {
  if (!useLastDock_) {
    lastDock_ = Value;
    return;
  }
  if (lastDock_ == Value) {
    if (Value) Value->ChangeDockList(true, this);
    return;
  }
  if (lastDock_) {
    TBarDock* old = lastDock_;
    lastDock_ = nullptr;
    if (old != currentDock_) old->ChangeDockList(false, this);
  }
  lastDock_ = Value;
  if (Value) {
    Value->FreeNotification(this);
    Value->ChangeDockList(true, this);
  }
}

void TBarCustomDockableWindow::SetUseLastDock(bool Value) {
  if (useLastDock_ == Value) return;
  useLastDock_ = Value;
}

void TBarCustomDockableWindow::SetDockRow(int Value) {
  if (dockRow_ == Value) return;
  dockRow_ = Value;
  if (currentDock_) currentDock_->ArrangeToolbars();
}

void TBarCustomDockableWindow::SetDockPos(int Value) {
  if (dockPos_ == Value) return;
  dockPos_ = Value;
  if (currentDock_) currentDock_->ArrangeToolbars();
}

void TBarCustomDockableWindow::SetCloseButtonWhenDocked(bool Value) {
  if (closeButtonWhenDocked_ == Value) return;
  closeButtonWhenDocked_ = Value;
  if (currentDock_) {
    RedrawNCArea();
    currentDock_->ArrangeToolbars();
  }
}

void TBarCustomDockableWindow::SetDragHandleStyle(TBarDragHandleStyle Value) {
  if (dragHandleStyle_ == Value) return;
  dragHandleStyle_ = Value;
  if (currentDock_) {
    RedrawNCArea();
    currentDock_->ArrangeToolbars();
  }
}

void TBarCustomDockableWindow::SetBorderStyle(TBorderStyle Value) {
  if (borderStyle_ == Value) return;
  borderStyle_ = Value;
  if (currentDock_) RedrawNCArea();
}

void TBarCustomDockableWindow::SetFullSize(bool Value) {
  if (fullSize_ == Value) return;
  fullSize_ = Value;
  if (currentDock_) currentDock_->ArrangeToolbars();
}

void TBarCustomDockableWindow::SetStretch(bool Value) {
  if (stretch_ == Value) return;
  stretch_ = Value;
  if (currentDock_) currentDock_->ArrangeToolbars();
}

void TBarCustomDockableWindow::SetAutoResize(bool Value) {
  if (autoResize_ == Value) return;
  autoResize_ = Value;
  if (Value) Arrange();
}

void TBarCustomDockableWindow::Arrange() {
  if (updateCount_ > 0 || IsLoading() || !GetParent()) {
    arrangeNeeded_ = true;
    return;
  }
  arrangeNeeded_ = false;
  POINT size = DoArrange(true, BarGetDockTypeOf(currentDock_, floating_), floating_, currentDock_);
  if (IsAutoResized()) ChangeSize(size.x, size.y);
}

void TBarCustomDockableWindow::EndUpdate() {
  if (updateCount_ > 0 && --updateCount_ == 0 && arrangeNeeded_) Arrange();
}

void TBarCustomDockableWindow::ChangeSize(int AWidth, int AHeight) {
  if (currentDock_) {
    currentDock_->ArrangeToolbars();
    return;
  }
  // Off a dock the frame is the border the window draws around its client.
  const int border = 2 * NonClientBorderWidth();
  AWidth += border;
  AHeight += border;
  if (!floating_) {
    TAnchors a = GetAnchors();
    if (a.Contains(akLeft) && a.Contains(akRight)) AWidth = GetWidth();
    if (a.Contains(akTop) && a.Contains(akBottom)) AHeight = GetHeight();
  }
  ++disableSizeReactions_;
  SetBounds(GetLeft(), GetTop(), AWidth, AHeight);
  --disableSizeReactions_;
}

void TBarCustomDockableWindow::SetBounds(int l, int t, int w, int h) {
  bool moved = l != GetLeft() || t != GetTop();
  TCustomControl::SetBounds(l, t, w, h);
  // Dropped on a dock in the designer: the drop point picks row and place.
  if (IsDesigning() && moved && currentDock_ && !inSetParent_ && disableSizeReactions_ == 0 &&
      !currentDock_->arranging_) {
    const bool vertical = currentDock_->IsVertical();
    SetDockRow(currentDock_->GetDesignModeRowOf(vertical ? l + w / 2 : t + h / 2));
    SetDockPos(vertical ? t : l);
    currentDock_->ArrangeToolbars();
  }
  // A floating window's form follows its size.
  if (floating_ && floatParent_ && !inSetParent_) floatParent_->FitToWindow();
  if (moved && !inSetParent_) Moved();
}

// A window class is registered once, with the styles of the first window
// made of it: a designed window, which keeps the redraw styles, has a
// class of its own.
namespace {
void BarDesignedWindowClass(TControl* Control, TCreateParams& Params) {
  if (Control->IsDesigning())
    Params.WinClassName += L".Designed";
  else
    Params.WindowClass.style &= ~(CS_HREDRAW | CS_VREDRAW);
}
}  // namespace

void TBarCustomDockableWindow::CreateParams(TCreateParams& Params) {
  TCustomControl::CreateParams(Params);
  BarDesignedWindowClass(this, Params);
}

void TBarCustomDockableWindow::Close() {
  bool canClose = true;
  if (OnCloseQuery) OnCloseQuery(this, canClose);
  if (!canClose) return;
  SetVisible(false);
  if (OnClose) OnClose(this);
}

void TBarCustomDockableWindow::MoveOnScreen(bool OnlyIfFullyOffscreen) {
  if (!floating_ || !floatParent_) return;
  RECT r = floatParent_->GetBoundsRect();
  RECT mon = GetRectOfMonitorContainingRect(r, true);
  RECT tmp;
  if (OnlyIfFullyOffscreen && IntersectRect(&tmp, &r, &mon)) return;
  if (r.right > mon.right) OffsetRect(&r, mon.right - r.right, 0);
  if (r.bottom > mon.bottom) OffsetRect(&r, 0, mon.bottom - r.bottom);
  if (r.left < mon.left) OffsetRect(&r, mon.left - r.left, 0);
  if (r.top < mon.top) OffsetRect(&r, 0, mon.top - r.top);
  floatParent_->SetBoundsRect(r);
  FloatingPosition = POINT{r.left, r.top};
}

void TBarCustomDockableWindow::Notification(TComponent* AComponent, TOperation Operation) {
  TCustomControl::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  if (AComponent == DefaultDock) DefaultDock = nullptr;
  if (AComponent == lastDock_) lastDock_ = nullptr;
  if (AComponent == currentDock_) currentDock_ = nullptr;
  auto it = std::find(dockForms_.begin(), dockForms_.end(), AComponent);
  if (it != dockForms_.end()) dockForms_.erase(it);
  // The form a floating window belongs to goes away: on top of all forms it
  // stays, owned by the application window; else it leaves its floating
  // form, which is freed. A window that goes with the form leaves it too,
  // now, while the form's other components (a theme manager that watches
  // its window, say) are still there to see its window go.
  if (AComponent == floatForm_) {
    floatForm_ = nullptr;
    if (!floatParent_) return;
    floatParent_->SetParentForm(nullptr);
    if (FloatingMode == fmOnTopOfAllForms && !IsDestroying()) {
      if (floatParent_->HandleAllocated()) floatParent_->PlaceAboveOwner();
    } else if (GetParent() == floatParent_) {
      SetParent(nullptr);
    }
  }
}

void TBarCustomDockableWindow::Loaded() {
  TCustomControl::Loaded();
  if (!pendingLastDock_.empty()) {
    if (auto* d = dynamic_cast<TBarDock*>(BarFiler::Find(this, pendingLastDock_))) SetLastDock(d);
    pendingLastDock_.clear();
  }
  // Stored floating by the designer: its place is on its form, not yet on
  // the screen.
  if (!savedAtRunTime_ && !IsDesigning() && floating_ && floatParent_) {
    TCustomForm* form = BarValidToolWindowParentForm(this);
    POINT p{floatParent_->GetLeft(), floatParent_->GetTop()};
    if (form->HandleAllocated()) ::ClientToScreen(form->GetHandle(), &p);
    floatParent_->SetBounds(p.x, p.y, floatParent_->GetWidth(), floatParent_->GetHeight());
    MoveOnScreen(false);
  }
  InitializeOrdering();
  Arrange();
}

void TBarCustomDockableWindow::DefineProperties(TFiler* Filer) {
  TCustomControl::DefineProperties(Filer);
  const auto* a = dynamic_cast<TBarCustomDockableWindow*>(Filer->GetAncestor());
  using namespace BarFiler;
  // Written only by the running program, never by a designer.
  Boolean(Filer, L"SavedAtRunTime", true, false, [this](bool v) { savedAtRunTime_ = v; }, !IsDesigning());
  Integer(Filer, L"DockRow", dockRow_, a ? a->dockRow_ : 0, [this](int v) { SetDockRow(v); });
  Integer(Filer, L"DockPos", dockPos_, a ? a->dockPos_ : -1, [this](int v) { SetDockPos(v); });
  // A window placed on the form stores its bounds with the control's other
  // settings. Read into a window that is on a dock or floating, stored bounds
  // are taken (and the dock or floating window places it again).
  if (!StoresBounds()) {
    Integer(Filer, L"Left", GetLeft(), 0, [this](int v) { SetLeft(v); }, false);
    Integer(Filer, L"Top", GetTop(), 0, [this](int v) { SetTop(v); }, false);
    Integer(Filer, L"Width", GetWidth(), 0, [this](int v) { SetWidth(v); }, false);
    Integer(Filer, L"Height", GetHeight(), 0, [this](int v) { SetHeight(v); }, false);
  }
  // A docked window's last dock is the one it is on.
  Reference(Filer, L"LastDock", lastDock_, a ? a->lastDock_ : nullptr, pendingLastDock_, !GetDocked());
  Boolean(Filer, L"ActivateParent", ActivateParent, a ? a->ActivateParent : true,
          [this](bool v) { ActivateParent = v; });
  Boolean(Filer, L"AutoResize", autoResize_, a ? a->autoResize_ : true, [this](bool v) { SetAutoResize(v); });
  Enum(Filer, L"BorderStyle", borderStyle_, a ? a->borderStyle_ : bsSingle, kBorderStyleNames,
       [this](int v) { SetBorderStyle(static_cast<TBorderStyle>(v)); });
  Boolean(Filer, L"CloseButton", CloseButton, a ? a->CloseButton.Get() : true, [this](bool v) { CloseButton = v; });
  Boolean(Filer, L"CloseButtonWhenDocked", closeButtonWhenDocked_, a ? a->closeButtonWhenDocked_ : false,
          [this](bool v) { SetCloseButtonWhenDocked(v); });
  Boolean(Filer, L"DblClickUndock", DblClickUndock, a ? a->DblClickUndock : DefaultDblClickUndock(),
          [this](bool v) { DblClickUndock = v; });
  Link(Filer, L"DefaultDock", DefaultDock, a ? a->DefaultDock : nullptr,
       [this](TComponent* c) { DefaultDock = dynamic_cast<TBarDock*>(c); });
  Set(Filer, L"DockableTo", static_cast<unsigned>(DockableTo.Bits()),
      static_cast<unsigned>(a ? a->DockableTo.Bits() : kAllPositions.Bits()), kPositionNames,
      [this](unsigned v) { DockableTo = TBarDockableTo::FromBits(v); });
  Enum(Filer, L"DockMode", DockMode, a ? a->DockMode : dmCanFloat, {L"dmCanFloat", L"dmCannotFloat",
       L"dmCannotFloatOrChangeDocks"}, [this](int v) { DockMode = static_cast<TBarDockMode>(v); });
  Enum(Filer, L"DragHandleStyle", dragHandleStyle_, a ? a->dragHandleStyle_ : dhSingle,
       {L"dhDouble", L"dhNone", L"dhSingle"},
       [this](int v) { SetDragHandleStyle(static_cast<TBarDragHandleStyle>(v)); });
  Enum(Filer, L"FloatingMode", FloatingMode, a ? a->FloatingMode.Get() : fmOnTopOfParentForm,
       {L"fmOnTopOfParentForm", L"fmOnTopOfAllForms"},
       [this](int v) { FloatingMode = static_cast<TBarFloatingMode>(v); });
  Boolean(Filer, L"FullSize", fullSize_, a ? a->fullSize_ : false, [this](bool v) { SetFullSize(v); });
  Boolean(Filer, L"HideWhenInactive", HideWhenInactive, a ? a->HideWhenInactive.Get() : true,
          [this](bool v) { HideWhenInactive = v; });
  Boolean(Filer, L"Resizable", Resizable, a ? a->Resizable.Get() : true, [this](bool v) { Resizable = v; });
  Boolean(Filer, L"ShowCaption", ShowCaption, a ? a->ShowCaption.Get() : true, [this](bool v) { ShowCaption = v; });
  Boolean(Filer, L"SmoothDrag", SmoothDrag, a ? a->SmoothDrag : true, [this](bool v) { SmoothDrag = v; });
  Boolean(Filer, L"Stretch", stretch_, a ? a->stretch_ : false, [this](bool v) { SetStretch(v); });
  Boolean(Filer, L"UseLastDock", useLastDock_, a ? a->useLastDock_ : true, [this](bool v) { SetUseLastDock(v); });
  DefineDockableWindowEvents(Filer, this);
}

void TBarDock::DefineProperties(TFiler* Filer) {
  TCustomControl::DefineProperties(Filer);
  auto* a = dynamic_cast<TBarDock*>(Filer->GetAncestor());
  using namespace BarFiler;
  // Read first: the position decides the edge before any window arrives.
  Enum(Filer, L"Position", position_, a ? a->position_ : dpTop, kPositionNames,
       [this](int v) { SetPosition(static_cast<TBarDockPosition>(v)); });
  Boolean(Filer, L"AllowDrag", allowDrag_, a ? a->allowDrag_ : true, [this](bool v) { SetAllowDrag(v); });
  Link(Filer, L"Background", background_, a ? a->background_ : nullptr,
       [this](TComponent* c) { SetBackground(dynamic_cast<TBarBasicBackground*>(c)); });
  Boolean(Filer, L"BackgroundOnToolbars", backgroundOnToolbars_, a ? a->backgroundOnToolbars_ : true,
          [this](bool v) { SetBackgroundOnToolbars(v); });
  Set(Filer, L"BoundLines", static_cast<unsigned>(boundLines_.Bits()),
      static_cast<unsigned>(a ? a->boundLines_.Bits() : 0), {L"blTop", L"blBottom", L"blLeft", L"blRight"},
      [this](unsigned v) { SetBoundLines(TBarDockBoundLines::FromBits(v)); });
  Boolean(Filer, L"FixAlign", fixAlign_, a ? a->fixAlign_ : false, [this](bool v) { SetFixAlign(v); });
  Boolean(Filer, L"LimitToOneRow", limitToOneRow_, a ? a->limitToOneRow_ : false,
          [this](bool v) { SetLimitToOneRow(v); });
  DefineDockEvents(Filer, this);
}

void TBarCustomDockableWindow::RepaintOverBackground() {
  if (!HandleAllocated() || !IsWindowVisible(GetHandle())) return;
  const HWND h = GetHandle();
  RECT cr;
  ::GetClientRect(h, &cr);
  RECT upd{};
  HRGN rgn = CreateRectRgn(0, 0, 0, 0);
  const int kind = GetUpdateRgn(h, rgn, FALSE);
  bool wholeInvalid = false;
  if (kind == SIMPLEREGION) {
    GetRgnBox(rgn, &upd);
    RECT both;
    IntersectRect(&both, &upd, &cr);
    wholeInvalid = EqualRect(&both, &cr) != 0;
  }
  DeleteObject(rgn);
  if (wholeInvalid || IsRectEmpty(&cr)) {
    // To be painted anyway: the frame joins it.
    RedrawWindow(h, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
    return;
  }
  // Frame, background and content drawn off the screen and copied in one
  // go, so that the window never shows the old tiles or a blank.
  RECT wr;
  GetWindowRect(h, &wr);
  const int w = wr.right - wr.left, ht = wr.bottom - wr.top;
  HDC wdc = GetWindowDC(h);
  HDC mem = CreateCompatibleDC(wdc);
  HBITMAP bmp = CreateCompatibleBitmap(wdc, w, ht);
  HGDIOBJ old = SelectObject(mem, bmp);
  SendMessageW(h, WM_PRINT, reinterpret_cast<WPARAM>(mem), PRF_NONCLIENT | PRF_ERASEBKGND | PRF_CLIENT);
  BitBlt(wdc, 0, 0, w, ht, mem, 0, 0, SRCCOPY);
  SelectObject(mem, old);
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(h, wdc);
  ValidateRect(h, nullptr);
  // Controls on it have tiles of their own to show.
  for (HWND c = GetWindow(h, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
    RedrawWindow(c, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}

void TBarCustomDockableWindow::UpdateCloseHover(bool Hot) {
  if (closeHot_ == Hot) return;
  closeHot_ = Hot;
  RedrawNCArea();
}

void TBarCustomDockableWindow::TrackCloseButton() {
  const bool vertical = currentDock_ && currentDock_->IsVertical();
  const RECT b = GetDockedCloseButtonRect(vertical);
  const bool close = TrackFrameButton(
      GetHandle(), [&] { return b; },
      [this](bool Pushed) {
        if (Pushed == closePushed_) return;
        closePushed_ = Pushed;
        RedrawNCArea();
      });
  if (close) Close();
}

void TBarCustomDockableWindow::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_NCCALCSIZE:
      if (currentDock_) {
        auto* r = reinterpret_cast<RECT*>(m.LParam);
        POINT nc = CalcNCSizes();
        bool vertical = currentDock_->IsVertical();
        r->left += vertical ? 2 : nc.x - 2;
        r->top += vertical ? nc.y - 2 : 2;
        r->right -= 2;
        r->bottom -= 2;
        if (r->right < r->left) r->right = r->left;
        if (r->bottom < r->top) r->bottom = r->top;
        m.Result = 0;
        return;
      }
      break;
    case WM_NCPAINT:
      if (currentDock_) {
        HDC dc = GetWindowDC(GetHandle());
        DrawNCArea(dc, reinterpret_cast<HRGN>(m.WParam));
        ReleaseDC(GetHandle(), dc);
        m.Result = 0;
        return;
      }
      break;
    case WM_PRINT:
      m.Result = HandleWMPrint(
          GetHandle(), m.WParam, m.LParam,
          [](HWND, HDC DC, LPARAM App) { reinterpret_cast<TBarCustomDockableWindow*>(App)->DrawNCArea(DC, nullptr); },
          reinterpret_cast<LPARAM>(this));
      return;
    case WM_PRINTCLIENT:
      HandleWMPrintClient(this, m);
      return;
    case WM_NCHITTEST:
      if (currentDock_) {
        POINT p{static_cast<short>(LOWORD(m.LParam)), static_cast<short>(HIWORD(m.LParam))};
        POINT cp = p;
        ::ScreenToClient(GetHandle(), &cp);
        RECT cr;
        ::GetClientRect(GetHandle(), &cr);
        if (PtInRect(&cr, cp)) {
          m.Result = HTCLIENT;
          return;
        }
        RECT wr;
        GetWindowRect(GetHandle(), &wr);
        POINT wp{p.x - wr.left, p.y - wr.top};
        RECT b = GetDockedCloseButtonRect(currentDock_->IsVertical());
        m.Result = (closeButtonWhenDocked_ && currentDock_->GetAllowDrag() && PtInRect(&b, wp))
                       ? HTBARCLOSE
                       : HTBARDRAG;
        return;
      }
      break;
    case WM_SETCURSOR:
      if (LOWORD(m.LParam) == HTBARDRAG && currentDock_ && currentDock_->GetAllowDrag() &&
          dragHandleStyle_ != dhNone) {
        POINT p;
        GetCursorPos(&p);
        RECT wr;
        GetWindowRect(GetHandle(), &wr);
        int d = currentDock_->IsVertical() ? p.y - wr.top : p.x - wr.left;
        if (d < DragHandleWidth() + 2) {
          ::SetCursor(LoadCursorW(nullptr, IDC_SIZEALL));
          m.Result = 1;
          return;
        }
      }
      break;
    case WM_NCLBUTTONDOWN:
      if (m.WParam == HTBARCLOSE) {
        TrackCloseButton();
        m.Result = 0;
        return;
      }
      if (m.WParam == HTBARDRAG) {
        if (IsMovable()) {
          // Where the press happened, not where the mouse is by now.
          POINT p{static_cast<short>(LOWORD(m.LParam)), static_cast<short>(HIWORD(m.LParam))};
          ::ScreenToClient(GetHandle(), &p);
          BeginMoving(p.x, p.y);
        }
        m.Result = 0;
        return;
      }
      break;
    case WM_NCLBUTTONDBLCLK:
      if (m.WParam == HTBARDRAG) {
        if (IsMovable()) DoubleClick();
        m.Result = 0;
        return;
      }
      break;
    case WM_NCMOUSEMOVE: {
      if (currentDock_ && closeButtonWhenDocked_) {
        UpdateCloseHover(m.WParam == HTBARCLOSE);
        CallTrackMouseEvent(GetHandle(), TME_LEAVE | TME_NONCLIENT);
      }
      break;
    }
    case WM_NCMOUSELEAVE:
    case WM_MOUSEMOVE:
      UpdateCloseHover(false);
      break;
    case WM_ENABLE:
      TWinControl::WndProc(m);
      UpdateTopmostFlag();
      return;
    case WM_MOVE:
      TCustomControl::WndProc(m);
      // The dock's tiles line up with the dock: a window that moves over
      // them shows other tiles, painted at once.
      if (currentDock_ && currentDock_->UsingBackground() && currentDock_->GetBackgroundOnToolbars())
        RepaintOverBackground();
      return;
    case CM_COLORCHANGED:
      TWinControl::WndProc(m);
      if (HandleAllocated()) RedrawNCArea();
      return;
    case CM_TEXTCHANGED:
      // The floating form's caption follows the window's text, and the
      // window is laid out again for a caption that needs other room.
      TWinControl::WndProc(m);
      if (floating_ && floatParent_) {
        floatParent_->SetText(GetText());
        Arrange();
      }
      return;
    case WM_NCRBUTTONUP:
      // The context menu of the window or of its nearest parent that has one.
      ShowNCContextMenu();
      m.Result = 0;
      return;
    case WM_ERASEBKGND:
      // On a dock with a background the window shows the dock's tiles,
      // lined up with those of the dock.
      if (currentDock_ && currentDock_->UsingBackground() && currentDock_->GetBackgroundOnToolbars() &&
          currentDock_->HandleAllocated()) {
        HDC dc = reinterpret_cast<HDC>(m.WParam);
        POINT o{0, 0};
        MapWindowPoints(GetHandle(), currentDock_->GetHandle(), &o, 1);
        RECT dcr;
        ::GetClientRect(currentDock_->GetHandle(), &dcr);
        RECT cr;
        ::GetClientRect(GetHandle(), &cr);
        int saved = SaveDC(dc);
        IntersectClipRect(dc, cr.left, cr.top, cr.right, cr.bottom);
        currentDock_->DrawBackground(dc, RECT{-o.x, -o.y, -o.x + dcr.right, -o.y + dcr.bottom});
        RestoreDC(dc, saved);
        m.Result = 1;
        return;
      }
      break;
    case CM_VISIBLECHANGED:
      TCustomControl::WndProc(m);
      UpdateVisibility();
      if (currentDock_) currentDock_->ToolbarVisibilityChanged(this, false);
      if (OnVisibleChanged) OnVisibleChanged(this);
      return;
    default:
      break;
  }
  TCustomControl::WndProc(m);
}

// ---- dock ------------------------------------------------------------------------------
TBarDock::TBarDock(TComponent* AOwner) : TCustomControl(AOwner) {
  ControlStyle -= TControlStyle{csCaptureMouse, csClickEvents, csOpaque};
  // Menu events: the form's keyboard-menu commands reach a menu bar that
  // floats from this dock through it.
  ControlStyle += TControlStyle{csAcceptsControls, csMenuEvents};
  SetColor(clBtnFace);
  SetAlign(alTop);
  SetHeight(0);
}

TBarDock::~TBarDock() {
  SetComponentStateFlag(csDestroying, true);
  if (background_) background_->UnregisterChanges(TNotifyEvent(this, &TBarDock::BackgroundChanged));
  background_ = nullptr;
  for (TBarCustomDockableWindow* w : std::vector<TBarCustomDockableWindow*>(dockList_)) {
    if (w->lastDock_ == this) w->lastDock_ = nullptr;
    if (w->currentDock_ == this) w->currentDock_ = nullptr;
  }
  dockList_.clear();
  visibleList_.clear();
}

void TBarDock::SetBackground(TBarBasicBackground* Value) {
  if (background_ == Value) return;
  if (background_) background_->UnregisterChanges(TNotifyEvent(this, &TBarDock::BackgroundChanged));
  background_ = Value;
  if (Value) {
    Value->FreeNotification(this);
    Value->RegisterChanges(TNotifyEvent(this, &TBarDock::BackgroundChanged));
  }
  InvalidateBackgrounds();
}

void TBarDock::SetBackgroundOnToolbars(bool Value) {
  if (backgroundOnToolbars_ == Value) return;
  backgroundOnToolbars_ = Value;
  InvalidateBackgrounds();
}

bool TBarDock::UsingBackground() { return background_ && background_->UsingBackground(); }

void TBarDock::DrawBackground(HDC DC, const RECT& DrawRect) {
  if (!background_) return;
  // DrawRect starts at the dock's client origin; the tiles start at the
  // parent's, so that the docks of a form sharing a background line up
  // (and a dock that moves shows other tiles: see WM_MOVE).
  POINT o{GetLeft(), GetTop()};
  if (HandleAllocated() && GetParent() && GetParent()->HandleAllocated()) {
    o = POINT{0, 0};
    MapWindowPoints(GetHandle(), GetParent()->GetHandle(), &o, 1);
  }
  background_->Draw(DC, RECT{DrawRect.left - o.x, DrawRect.top - o.y, DrawRect.right, DrawRect.bottom});
}

void TBarDock::BackgroundChanged(TObject*) { InvalidateBackgrounds(); }

void TBarDock::InvalidateBackgrounds() {
  if (!HandleAllocated()) return;
  RedrawWindow(GetHandle(), nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_FRAME);
  for (TBarCustomDockableWindow* w : visibleList_)
    if (w->HandleAllocated())
      RedrawWindow(w->GetHandle(), nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN);
}

void TBarDock::SetParent(TWinControl* AParent) {
  if (dynamic_cast<TBarCustomDockableWindow*>(AParent) || dynamic_cast<TBarDock*>(AParent))
    throw EInvalidOperation(String(SBarDockParentNotAllowed));
  TCustomControl::SetParent(AParent);
}

void TBarDock::SetPosition(TBarDockPosition Value) {
  if (position_ == Value) return;
  if (ControlCount() > 0) throw EInvalidOperation(String(SBarDockCannotChangePosition));
  position_ = Value;
  static const TAlign aligns[4] = {alTop, alBottom, alLeft, alRight};
  SetAlign(aligns[Value]);
  ArrangeToolbars();
}

void TBarDock::SetAllowDrag(bool Value) {
  if (allowDrag_ == Value) return;
  allowDrag_ = Value;
  for (TBarCustomDockableWindow* w : visibleList_) w->RedrawNCArea();
  ArrangeToolbars();
}

void TBarDock::SetBoundLines(TBarDockBoundLines Value) {
  if (boundLines_ == Value) return;
  boundLines_ = Value;
  if (HandleAllocated())
    SetWindowPos(GetHandle(), nullptr, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  ArrangeToolbars();
}

void TBarDock::SetFixAlign(bool Value) {
  if (fixAlign_ == Value) return;
  fixAlign_ = Value;
  ArrangeToolbars();
}

void TBarDock::SetLimitToOneRow(bool Value) {
  if (limitToOneRow_ == Value) return;
  limitToOneRow_ = Value;
  ArrangeToolbars();
}

int TBarDock::NonClientWidth() const {
  return (boundLines_.Contains(blLeft) ? 1 : 0) + (boundLines_.Contains(blRight) ? 1 : 0);
}
int TBarDock::NonClientHeight() const {
  return (boundLines_.Contains(blTop) ? 1 : 0) + (boundLines_.Contains(blBottom) ? 1 : 0);
}

void TBarDock::EndUpdate() {
  if (updateCount_ > 0 && --updateCount_ == 0 && arrangeNeeded_) ArrangeToolbars();
}

void TBarDock::Loaded() {
  TCustomControl::Loaded();
  ArrangeToolbars();
}

void TBarDock::Notification(TComponent* AComponent, TOperation Operation) {
  TCustomControl::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  if (AComponent && AComponent == background_) background_ = nullptr;
  auto* w = dynamic_cast<TBarCustomDockableWindow*>(AComponent);
  if (!w) return;
  dockList_.erase(std::remove(dockList_.begin(), dockList_.end(), w), dockList_.end());
  visibleList_.erase(std::remove(visibleList_.begin(), visibleList_.end(), w), visibleList_.end());
}

void TBarDock::ChangeDockList(bool Insert, TBarCustomDockableWindow* Bar) {
  auto it = std::find(dockList_.begin(), dockList_.end(), Bar);
  if (Insert) {
    if (it == dockList_.end()) {
      dockList_.push_back(Bar);
      Bar->FreeNotification(this);
    }
  } else if (it != dockList_.end()) {
    dockList_.erase(it);
  }
  ToolbarVisibilityChanged(Bar, false);
}

bool TBarDock::ToolbarVisibleOnDock(TBarCustomDockableWindow* AToolbar) {
  return AToolbar->GetParent() == this && (AToolbar->GetVisible() || IsDesigning());
}

void TBarDock::ToolbarVisibilityChanged(TBarCustomDockableWindow* Bar, bool ForceRemove) {
  bool want = !ForceRemove && ToolbarVisibleOnDock(Bar) && !Bar->IsDestroying();
  auto it = std::find(visibleList_.begin(), visibleList_.end(), Bar);
  bool has = it != visibleList_.end();
  if (want == has) return;
  if (want)
    visibleList_.push_back(Bar);
  else
    visibleList_.erase(it);
  ArrangeToolbars();
  if (OnInsertRemoveBar) OnInsertRemoveBar(this, want, Bar);
}

int TBarDock::GetCurrentRowSize(int Row, bool& AFullSize) {
  int size = 0;
  AFullSize = false;
  for (TBarCustomDockableWindow* w : visibleList_) {
    if (w->EffectiveDockRow != Row) continue;
    int s = IsVertical() ? w->GetWidth() : w->GetHeight();
    size = std::max(size, s);
    AFullSize = w->GetFullSize();
  }
  return size;
}

int TBarDock::GetMinRowSize(int Row, TBarCustomDockableWindow* ExcludeControl) {
  int size = 0;
  for (TBarCustomDockableWindow* w : visibleList_) {
    if (w == ExcludeControl || w->EffectiveDockRow != Row) continue;
    size = std::max(size, (IsVertical() ? w->GetWidth() : w->GetHeight()) - 4);
  }
  return size;
}

int TBarDock::GetDesignModeRowOf(int Pos) {
  const int highest = GetHighestRow(true);
  int acc = 0;
  bool fullSize;
  for (int row = 0; row <= highest; ++row) {
    acc += GetCurrentRowSize(row, fullSize);
    if (acc > Pos) return row;
  }
  return highest + 1;
}

int TBarDock::GetHighestRow(bool HighestEffective) {
  int r = -1;
  for (TBarCustomDockableWindow* w : dockList_)
    r = std::max(r, HighestEffective ? w->EffectiveDockRow : w->GetDockRow());
  return r;
}

void TBarDock::CommitPositions() {
  for (TBarCustomDockableWindow* w : visibleList_) {
    w->dockRow_ = w->EffectiveDockRow;
    w->dockPos_ = w->EffectiveDockPos;
  }
}

void TBarDock::ChangeWidthHeight(int NewWidth, int NewHeight) {
  int l = GetLeft(), t = GetTop();
  if (position_ == dpBottom) t = GetTop() + GetHeight() - NewHeight;
  if (position_ == dpRight) l = GetLeft() + GetWidth() - NewWidth;
  SetBounds(l, t, NewWidth, NewHeight);
}

void TBarDock::AlignControls(TControl*, TRect&) { ArrangeToolbars(); }

void TBarDock::ArrangeToolbars() {
  if (updateCount_ > 0 || IsLoading() || arranging_) {
    arrangeNeeded_ = true;
    return;
  }
  arranging_ = true;
  for (int pass = 0; pass < 3; ++pass) {
    arrangeNeeded_ = false;
    const bool vertical = IsVertical();
    auto setThickness = [&](int t) {
      if (vertical)
        ChangeWidthHeight(t, GetHeight());
      else
        ChangeWidthHeight(GetWidth(), t);
    };
    if (visibleList_.empty()) {
      setThickness(IsDesigning() ? 9 : fixAlign_ ? 1 : 0);
      break;
    }
    int avail = std::max(0, (vertical ? GetHeight() - NonClientHeight() : GetWidth() - NonClientWidth()));
    dockList_.erase(std::remove_if(dockList_.begin(), dockList_.end(),
                                   [](TBarCustomDockableWindow* w) { return w->IsDestroying(); }),
                    dockList_.end());
    if (limitToOneRow_)
      for (TBarCustomDockableWindow* w : dockList_) w->dockRow_ = 0;
    // Sorted copy of the dock list.
    // A position of -1 means "at the end of the row": it sorts after every
    // other; any other position before the row's start sorts first.
    auto byRowAndPos = [](TBarCustomDockableWindow* a, TBarCustomDockableWindow* b) {
      if (a->dockRow_ != b->dockRow_) return a->dockRow_ < b->dockRow_;
      auto key = [](int pos) { return pos == -1 ? INT_MAX : pos; };
      return key(a->dockPos_) < key(b->dockPos_);
    };
    std::vector<TBarCustomDockableWindow*> list = dockList_;
    std::stable_sort(list.begin(), list.end(), byRowAndPos);
    std::stable_sort(visibleList_.begin(), visibleList_.end(), byRowAndPos);
    // A window dragged along its locked row keeps its place among the others.
    if (rowLocked_ && draggingWindow_) {
      auto from = std::find(dockList_.begin(), dockList_.end(), draggingWindow_);
      auto cur = std::find(list.begin(), list.end(), draggingWindow_);
      if (from != dockList_.end() && cur != list.end()) {
        list.erase(cur);
        list.insert(list.begin() + (from - dockList_.begin()), draggingWindow_);
      }
    }
    struct Rec {
      TBarCustomDockableWindow* W;
      bool Visible;
      int Row;
      int FullLen = 0, MinLen = 0, Len = 0, Gap = 0, Pos = 0, Overlap = 0;
      TBarShrinkMode Mode = tbsmNone;
    };
    std::vector<Rec> recs;
    for (auto* w : list) recs.push_back(Rec{w, ToolbarVisibleOnDock(w), w->dockRow_});
    // A window dropped between rows starts a row of its own.
    if (!limitToOneRow_) {
      for (size_t i = 0; i < recs.size(); ++i) {
        if (!recs[i].W->insertRowBefore_ || !recs[i].Visible) continue;
        int row = recs[i].Row;
        bool shared = false;
        for (size_t k = 0; k < recs.size(); ++k)
          if (k != i && recs[k].Row == row) shared = true;
        if (!shared) continue;
        for (size_t k = 0; k < recs.size(); ++k)
          if (k != i && recs[k].Row >= row) ++recs[k].Row;
      }
    }
    // Full-size windows get a row of their own.
    if (!limitToOneRow_) {
      for (size_t i = 0; i < recs.size(); ++i) {
        if (!recs[i].W->GetFullSize() || !recs[i].Visible) continue;
        int row = recs[i].Row;
        bool shared = false;
        for (size_t k = 0; k < recs.size(); ++k)
          if (k != i && recs[k].Row == row && recs[k].Visible) shared = true;
        if (!shared) continue;
        // It keeps the row; every other window of that row or later moves down.
        for (size_t k = 0; k < recs.size(); ++k)
          if (k != i && recs[k].Row >= row) ++recs[k].Row;
      }
    }
    // Close up empty rows.
    {
      std::vector<int> rows;
      for (auto& r : recs) rows.push_back(r.Row);
      std::sort(rows.begin(), rows.end());
      rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
      std::map<int, int> remap;
      for (size_t i = 0; i < rows.size(); ++i) remap[rows[i]] = static_cast<int>(i);
      for (auto& r : recs) r.Row = remap[r.Row];
    }
    // Lengths and wrapping.
    for (auto& r : recs) {
      if (!r.Visible) continue;
      POINT base{0, 0};
      r.W->GetBaseSize(base);
      POINT nc = r.W->CalcNCSizes();
      r.FullLen = vertical ? base.y + nc.y : base.x + nc.x;
      r.Mode = r.W->GetShrinkMode();
      int minLen = r.FullLen;
      if (r.Mode != tbsmNone) {
        minLen = 0;
        r.W->GetMinShrinkSize(minLen);
        minLen = std::min(minLen, r.FullLen);
      }
      r.MinLen = minLen;
      r.Len = r.FullLen;
    }
    std::stable_sort(recs.begin(), recs.end(), [](const Rec& a, const Rec& b) { return a.Row < b.Row; });
    {
      int curRow = -1, total = 0, shift = 0;
      bool first = true;
      for (size_t i = 0; i < recs.size(); ++i) {
        Rec& r = recs[i];
        r.Row += shift;
        if (r.Row != curRow) {
          curRow = r.Row;
          total = 0;
          first = true;
        }
        if (!r.Visible) continue;
        total += r.Mode == tbsmChevron ? r.MinLen : r.FullLen;
        if (first || total <= avail || limitToOneRow_) {
          first = false;
          continue;
        }
        // Wrap: this window and every later one move one row down.
        ++shift;
        ++r.Row;
        curRow = r.Row;
        total = r.Mode == tbsmChevron ? r.MinLen : r.FullLen;
        first = false;
      }
    }
    int rowCount = 0;
    for (auto& r : recs) rowCount = std::max(rowCount, r.Row + 1);
    // Positions, gaps and shrinking per row.
    for (int row = 0; row < rowCount; ++row) {
      std::vector<Rec*> rr;
      for (auto& r : recs)
        if (r.Row == row && r.Visible) rr.push_back(&r);
      if (rr.empty()) continue;
      // A gap that would push the row past its end is not kept; the
      // windows after it move back by as much (the shift), so that they
      // keep their distance. A window wanting to start inside the one
      // before it records the overlap.
      int cursor = 0, minSum = 0, shift = 0;
      for (size_t k = 0; k < rr.size(); ++k) {
        Rec& r = *rr[k];
        int want;
        if (k == 0 && (r.W->GetFullSize() || r.W->GetStretch()))
          want = 0;
        else
          want = r.W->dockPos_ < 0 ? cursor : r.W->dockPos_ + shift;
        want = std::max(want, minSum);
        r.Gap = 0;
        r.Overlap = 0;
        if (want > cursor) {
          if (want + r.Len <= avail)
            r.Gap = want - cursor;
          else
            shift -= want - cursor;
        } else if (want < cursor) {
          r.Overlap = cursor - want;
        }
        cursor += r.Gap + r.Len;
        minSum += r.MinLen;
      }
      // A dragged window pushes the windows before it (their gaps shrink,
      // nearest first) while the windows after it keep their places.
      if (draggingWindow_) {
        int total = 0;
        for (Rec* r : rr) total += r->Gap + r->Len;
        for (size_t d = 0; d < rr.size() && total < avail; ++d) {
          if (rr[d]->W != draggingWindow_) continue;
          int start = 0, minBefore = 0;
          for (size_t k = 0; k < d; ++k) {
            start += rr[k]->Gap + rr[k]->Len;
            minBefore += rr[k]->MinLen;
          }
          int want = std::max(rr[d]->W->dockPos_, minBefore);
          int need = start + rr[d]->Gap - want;
          int removed = 0;
          for (int k = static_cast<int>(d) - 1; k >= 0 && need > 0; --k) {
            int take = std::min(rr[static_cast<size_t>(k)]->Gap, need);
            rr[static_cast<size_t>(k)]->Gap -= take;
            need -= take;
            removed += take;
          }
          if (removed > 0 && d + 1 < rr.size()) rr[d + 1]->Gap += removed;
          break;
        }
      }
      // Take gaps away from the end until the row fits.
      int used = 0;
      for (Rec* r : rr) used += r->Gap + r->Len;
      for (int k = static_cast<int>(rr.size()) - 1; k >= 0 && used > avail; --k) {
        int take = std::min(rr[k]->Gap, used - avail);
        rr[k]->Gap -= take;
        used -= take;
      }
      if (used > avail && rr.size() > 1 && draggingWindow_ &&
          std::any_of(rr.begin(), rr.end(), [&](Rec* x) { return x->W == draggingWindow_; }))
        draggedOnOverfullRow_ = true;
      // Over-full: a window that wants to start inside the ones before it
      // takes the overlap from their lengths, nearest first (chevron windows
      // only, each down to its minimum), up to the dragged window.
      for (size_t k = 0; k < rr.size() && used > avail; ++k) {
        int amount = std::min(rr[k]->Overlap, used - avail);
        for (int j = static_cast<int>(k) - 1; j >= 0 && amount > 0; --j) {
          Rec& e = *rr[static_cast<size_t>(j)];
          if (e.Mode == tbsmChevron) {
            int take = std::min(e.Len - e.MinLen, amount);
            if (take > 0) {
              e.Len -= take;
              used -= take;
              amount -= take;
            }
          }
          if (e.W == draggingWindow_) break;
        }
      }
      // Still too long: shrink windows from the end.
      for (int k = static_cast<int>(rr.size()) - 1; k >= 0 && used > avail; --k) {
        Rec& r = *rr[k];
        if (r.Mode == tbsmChevron || (r.Mode == tbsmWrap && rr.size() == 1)) {
          int take = std::min(r.Len - r.MinLen, used - avail);
          if (take > 0) {
            r.Len -= take;
            used -= take;
          }
        }
      }
      // Final placement.
      cursor = 0;
      for (size_t k = 0; k < rr.size(); ++k) {
        Rec& r = *rr[k];
        // A full-size or stretched window takes its own gap into its
        // length: it starts where the window before it ends.
        if (r.W->GetFullSize() || r.W->GetStretch()) {
          r.Len += r.Gap;
          r.Gap = 0;
        }
        cursor += r.Gap;
        if (r.W->GetFullSize()) {
          r.Len = std::max(r.Len, avail);
        } else if (r.W->GetStretch()) {
          if (k + 1 < rr.size()) {
            r.Len += rr[k + 1]->Gap;
            rr[k + 1]->Gap = 0;
          } else {
            r.Len = std::max(r.Len, avail - cursor);
          }
        }
        r.Pos = cursor;
        cursor += r.Len;
      }
    }
    // Every registered window takes its row as renumbered here (rows keep
    // their order); a place along the row only the windows placed on it
    // have: a hidden or floating one keeps the place it will come back to.
    for (auto& r : recs) {
      r.W->EffectiveDockRow = r.Row;
      if (commitPositions_) r.W->dockRow_ = r.Row;
      if (!r.Visible) continue;
      r.W->EffectiveDockPos = r.Pos;
      if (commitPositions_) r.W->dockPos_ = r.Pos;
    }
    // Stack the rows.
    int offset = 0;
    std::vector<TBarCustomDockableWindow*> toArrange;
    for (int row = 0; row < rowCount; ++row) {
      int thick = 0;
      std::vector<std::pair<Rec*, int>> items;
      for (auto& r : recs) {
        if (r.Row != row || !r.Visible) continue;
        int shrunk = r.Len < r.FullLen ? r.Len : 0;
        int across;
        if (r.Mode != tbsmNone && shrunk != r.W->ShrunkLength) {
          r.W->ShrunkLength = shrunk;
          toArrange.push_back(r.W);
        } else {
          r.W->ShrunkLength = shrunk;
        }
        POINT size{0, 0};
        if (r.Mode != tbsmNone && shrunk) {
          size = r.W->DoArrange(false, BarGetDockTypeOf(this, false), false, this);
        } else {
          r.W->GetBaseSize(size);
        }
        across = vertical ? size.x : size.y;
        items.push_back({&r, across});
        thick = std::max(thick, across);
      }
      if (items.empty()) continue;
      thick += 4;
      for (auto& [r, a] : items) {
        ++r->W->disableSizeReactions_;
        if (vertical)
          r->W->SetBounds(offset, r->Pos, thick, r->Len);
        else
          r->W->SetBounds(r->Pos, offset, r->Len, thick);
        --r->W->disableSizeReactions_;
      }
      offset += thick;
    }
    setThickness(offset + (vertical ? NonClientWidth() : NonClientHeight()));
    commitPositions_ = false;
    // Laid out for the length it was given, the window keeps knowing it
    // (its own layout forgets it, so that a layout of its own making lets
    // the dock share the row out again).
    for (auto* w : toArrange) {
      const int given = w->ShrunkLength;
      w->Arrange();
      w->ShrunkLength = given;
    }
    // A window whose client length changed while its size stayed (its frame
    // grew or shrank) hears of it as of any sizing: what stretches with the
    // window (an address box, say) gives way or takes the room before the
    // next pass decides what leaves the row.
    for (auto& r : recs)
      if (r.Visible) r.W->ResizeIfClientChanged();
    if (!arrangeNeeded_) break;
  }
  arrangeNeeded_ = false;
  arranging_ = false;
}

void TBarDock::Paint() {
  // A designed dock shows where it is even while it is empty.
  if (IsDesigning()) BarDrawDesignOutline(Canvas(), GetClientRect());
}

void TBarDock::CreateParams(TCreateParams& Params) {
  TCustomControl::CreateParams(Params);
  BarDesignedWindowClass(this, Params);
}

void TBarDock::PaintNCArea(HDC DC) {
  RECT r;
  GetWindowRect(GetHandle(), &r);
  OffsetRect(&r, -r.left, -r.top);
  auto line = [&](int x1, int y1, int x2, int y2, TColor c) {
    HPEN p = CreatePen(PS_SOLID, 1, ColorToRef(c));
    HGDIOBJ o = SelectObject(DC, p);
    MoveToEx(DC, x1, y1, nullptr);
    LineTo(DC, x2, y2);
    SelectObject(DC, o);
    DeleteObject(p);
  };
  // The frame is the bound lines; without windows to bound (outside the
  // designer) it is plain.
  const int saved = SaveDC(DC);
  const RECT client{boundLines_.Contains(blLeft) ? 1 : 0, boundLines_.Contains(blTop) ? 1 : 0,
                    r.right - (boundLines_.Contains(blRight) ? 1 : 0),
                    r.bottom - (boundLines_.Contains(blBottom) ? 1 : 0)};
  if (client.right > client.left && client.bottom > client.top)
    ExcludeClipRect(DC, client.left, client.top, client.right, client.bottom);
  HBRUSH face = CreateSolidBrush(ColorToRef(GetColor()));
  FillRect(DC, &r, face);
  DeleteObject(face);
  RestoreDC(DC, saved);
  if (!IsDesigning() && !HasVisibleToolbars()) return;
  if (boundLines_.Contains(blTop)) line(0, 0, r.right, 0, clBtnShadow);
  if (boundLines_.Contains(blLeft)) line(0, 0, 0, r.bottom, clBtnShadow);
  if (boundLines_.Contains(blBottom)) line(0, r.bottom - 1, r.right, r.bottom - 1, clBtnHighlight);
  if (boundLines_.Contains(blRight)) line(r.right - 1, 0, r.right - 1, r.bottom, clBtnHighlight);
}

void TBarDock::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_NCCALCSIZE: {
      auto* r = reinterpret_cast<RECT*>(m.LParam);
      if (boundLines_.Contains(blTop)) r->top += 1;
      if (boundLines_.Contains(blBottom)) r->bottom -= 1;
      if (boundLines_.Contains(blLeft)) r->left += 1;
      if (boundLines_.Contains(blRight)) r->right -= 1;
      m.Result = 0;
      return;
    }
    case WM_ERASEBKGND:
      if (UsingBackground()) {
        RECT cr;
        ::GetClientRect(GetHandle(), &cr);
        DrawBackground(reinterpret_cast<HDC>(m.WParam), cr);
        m.Result = 1;
        return;
      }
      break;
    case CM_SYSCOLORCHANGE:
      // The form tells its controls of changed system colours.
      if (background_) background_->SysColorChanged();
      break;
    case WM_MOVE:
      // The tiles line up with the parent: moving the dock shifts them
      // under it and under its windows.
      TCustomControl::WndProc(m);
      if (UsingBackground()) InvalidateBackgrounds();
      return;
    case WM_PRINT:
      m.Result = HandleWMPrint(
          GetHandle(), m.WParam, m.LParam,
          [](HWND, HDC DC, LPARAM App) { reinterpret_cast<TBarDock*>(App)->PaintNCArea(DC); },
          reinterpret_cast<LPARAM>(this));
      return;
    case WM_PRINTCLIENT: {
      TMessage erase{WM_ERASEBKGND, m.WParam, 0, 0};
      WndProc(erase);
      HandleWMPrintClient(this, m);
      return;
    }
    case WM_SYSCOMMAND:
    case CM_DIALOGKEY:
    case CM_DIALOGCHAR:
      // Windows of this dock that float now (a floating menu bar) hear the
      // form's keyboard menu keys first.
      for (TBarCustomDockableWindow* w : std::vector<TBarCustomDockableWindow*>(dockList_)) {
        if (!w->GetFloating() || !w->HandleAllocated() || !IsWindowVisible(w->GetHandle()) ||
            !w->GetEnabled() || !w->ControlStyle.Contains(csMenuEvents))
          continue;
        LRESULT r = w->Perform(m.Msg, m.WParam, m.LParam);
        if (r != 0) {
          m.Result = r;
          return;
        }
      }
      // A command none of them takes is not the dock's: the default window
      // procedure would hand it up to the form, which asks the dock again.
      if (m.Msg == WM_SYSCOMMAND) {
        m.Result = 0;
        return;
      }
      break;
    case WM_NCPAINT: {
      HDC dc = GetWindowDC(GetHandle());
      PaintNCArea(dc);
      ReleaseDC(GetHandle(), dc);
      m.Result = 0;
      return;
    }
    case WM_SIZE: {
      TCustomControl::WndProc(m);
      int len = IsVertical() ? HIWORD(m.LParam) : LOWORD(m.LParam);
      if (len != lastClientLength_) {
        lastClientLength_ = len;
        ArrangeToolbars();
      }
      return;
    }
    default:
      break;
  }
  TCustomControl::WndProc(m);
}
