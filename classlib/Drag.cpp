// Drag and drop: the drag objects, the modal drag loop and the base
// handling of CM_DRAG.
#include "classlib/Controls.h"
#include "classlib/Forms.h"
#include "classlib/ImgList.h"

#include <windowsx.h>

#include <cstdlib>

void ReleaseControlCapture(TControl* c);

namespace {

constexpr UINT WM_DRAGFINISH = WM_APP + 0x3A0;  // WParam: drop
constexpr UINT WM_DRAGCHECK = WM_APP + 0x3A1;   // the capture went somewhere
constexpr UINT WM_DRAGREFRESH = WM_APP + 0x3A2;  // Ctrl or Shift changed

// The one drag of the program (drags do not nest). A drag first waits for
// the threshold (Pending, the source's window holding the mouse), then
// runs (Active): the hidden capture window gets the mouse, a keyboard hook
// of the thread takes the keys, and the thread's own message loop goes on.
struct TDragSession {
  TControl* Source = nullptr;  // null once freed
  TDragObject* Object = nullptr;
  bool OwnObject = false;
  bool Docking = false;
  bool Pending = false;
  bool Active = false;
  bool Finishing = false;
  POINT Start{};
  int ThresholdX = 0, ThresholdY = 0;
  HWND PendingCapture = nullptr;  // the window captured for the wait, when this set it
  TControl* Target = nullptr;  // the control under the pointer, null once freed
  bool Accepted = false;
  TDragImageList* Images = nullptr;  // null once freed
  bool WaitRightUp = false;  // cancelled by a right press: its release is swallowed too
  bool FinishPosted = false;
  int Depth = 0;  // inside the handlers called by the drag
};

TDragSession* session = nullptr;
HWND captureWnd = nullptr;
HHOOK keyHook = nullptr;

struct TDepth {
  TDragSession& S;
  explicit TDepth(TDragSession& s) : S(s) { ++S.Depth; }
  ~TDepth() { --S.Depth; }
};

HWND WindowOf(TControl* c) {
  for (; c; c = c->GetParent()) {
    if (auto* w = dynamic_cast<TWinControl*>(c)) return w->HandleAllocated() ? w->GetHandle() : nullptr;
  }
  return nullptr;
}

// Performs CM_DRAG on the target and hands back its answer.
LRESULT PerformDrag(TDragSession& s, TControl* target, TDragMessage msg, const TPoint& pos) {
  TDragRec rec;
  rec.Pos = pos;
  rec.Source = s.Object;
  rec.Target = target;
  rec.Docking = s.Docking;
  TDepth d(s);
  return target->Perform(CM_DRAG, WPARAM(msg), LPARAM(&rec));
}

bool SendDrag(TDragSession& s, TControl* target, TDragMessage msg, const TPoint& pos) {
  return PerformDrag(s, target, msg, pos) != 0;
}

TControl* DragFindTarget(TDragSession& s, const TPoint& pos) {
  TControl* c = FindDragTarget(pos, false);
  if (!c) return nullptr;
  if (LRESULT r = PerformDrag(s, c, dmFindTarget, pos)) c = reinterpret_cast<TControl*>(r);
  return c;
}

// The picture follows the pointer over controls that show drag images,
// locked to their top-level window.
void MoveDragImage(TDragSession& s, const TPoint& pos) {
  if (!s.Images || s.Images->GetCount() == 0) return;
  HWND lock = nullptr;
  if (s.Target && s.Target->ControlStyle.Contains(csDisplayDragImage)) {
    if (HWND w = WindowOf(s.Target)) lock = GetAncestor(w, GA_ROOT);
  }
  if (!lock) {
    s.Images->DragUnlock();
    return;
  }
  RECT r;
  GetWindowRect(lock, &r);
  const int x = pos.x - r.left, y = pos.y - r.top;
  if (!s.Images->Dragging()) {
    s.Images->BeginDrag(lock, x, y);
  } else {
    s.Images->DragLock(lock, x, y);
  }
}

void EndDragImage(TDragSession& s) {
  if (s.Images) s.Images->EndDrag();
  s.Images = nullptr;
}

bool Running(const TDragSession& s) { return s.Active && !s.Finishing && !s.FinishPosted && s.Source; }

void DragTo(TDragSession& s, const TPoint& pos) {
  if (!Running(s)) return;
  // The drag is at pos before any target hears of it: a drag ended while a
  // handler runs ends where the targets were last told it is.
  if (s.Object) s.Object->DragPos = pos;
  TControl* target = DragFindTarget(s, pos);
  if (!Running(s)) return;
  if (target != s.Target) {
    if (TControl* old = s.Target) {
      s.Target = nullptr;
      s.Accepted = false;
      SendDrag(s, old, dmDragLeave, pos);
      if (!Running(s)) return;
    }
    s.Target = target;
    s.Accepted = false;
    if (target) {
      const bool a = SendDrag(s, target, dmDragEnter, pos);
      if (s.Target == target) s.Accepted = a;
    }
  } else if (target) {
    const bool a = SendDrag(s, target, dmDragMove, pos);
    if (s.Target == target) s.Accepted = a;
  }
  if (!Running(s)) return;
  s.Object->DragPos = pos;
  s.Object->DragTarget = s.Target;
  s.Object->DragTargetPos = s.Target ? s.Target->ScreenToClient(pos) : pos;
  const TCursor c = s.Object->GetDragCursor(s.Accepted, s.Object->DragTargetPos.x, s.Object->DragTargetPos.y);
  if (Screen) ::SetCursor(Screen->Cursors(c));
  MoveDragImage(s, pos);
}

void RemoveKeyHook() {
  if (keyHook) UnhookWindowsHookEx(keyHook);
  keyHook = nullptr;
}

// Ends the drag: the capture, the key hook and the picture go first (so
// the handlers may show dialogs), then the target hears the drop or that
// the drag left it (and, when cancelled, dmDragCancel), then the source
// hears the end. The session stays known meanwhile, so that controls
// freed by those handlers are forgotten.
void Finish(TDragSession& s, bool drop) {
  if (s.Finishing) return;
  s.Finishing = true;
  RemoveKeyHook();
  EndDragImage(s);
  if (s.PendingCapture && GetCapture() == s.PendingCapture) ReleaseCapture();
  if (captureWnd && GetCapture() == captureWnd) ReleaseCapture();
  try {
    if (s.Active && s.Object) {
      if (Screen) ::SetCursor(Screen->Cursors(crArrow));
      TControl* target = s.Target;
      const bool accepted = drop && target && s.Accepted && s.Source;
      const TPoint pos = s.Object->DragPos;
      s.Object->Cancelling = !drop;
      if (target) {
        if (accepted) {
          SendDrag(s, target, dmDragDrop, pos);
        } else {
          SendDrag(s, target, dmDragLeave, pos);
          if (!drop && s.Target) SendDrag(s, s.Target, dmDragCancel, pos);
        }
      }
      s.Object->Dropped = accepted;
      TControl* to = accepted ? s.Target : nullptr;
      const TPoint p = to ? to->ScreenToClient(pos) : s.Source ? s.Source->ScreenToClient(pos) : pos;
      TDepth d(s);
      s.Object->Finished(to, p.x, p.y, accepted);
    }
  } catch (...) {
    if (s.OwnObject) delete s.Object;
    session = nullptr;
    delete &s;
    throw;
  }
  if (s.OwnObject) delete s.Object;
  session = nullptr;
  delete &s;
}

// Ends the drag now when no drag handler is running, else as soon as the
// thread's messages run again.
void RequestFinish(TDragSession& s, bool drop, bool now) {
  if (s.Finishing) return;
  if (!s.Active) {
    Finish(s, false);
    return;
  }
  if (now && s.Depth == 0) {
    Finish(s, drop);
    return;
  }
  if (s.FinishPosted) return;
  s.FinishPosted = true;
  PostMessageW(captureWnd, WM_DRAGFINISH, drop ? 1 : 0, 0);
}

LRESULT CALLBACK KeyHookProc(int code, WPARAM w, LPARAM l) {
  if (code == HC_ACTION && session && session->Active && !session->Finishing) {
    const bool down = (l & (LPARAM(1) << 31)) == 0;
    if (down && w == VK_ESCAPE) {
      session->WaitRightUp = false;
      RequestFinish(*session, false, false);
    } else if (w == VK_CONTROL || w == VK_SHIFT) {
      PostMessageW(captureWnd, WM_DRAGREFRESH, 0, 0);
    }
    return 1;  // the keys are not for the windows while dragging
  }
  return CallNextHookEx(keyHook, code, w, l);
}

TPoint MessagePos() {
  const DWORD p = GetMessagePos();
  return TPoint{GET_X_LPARAM(p), GET_Y_LPARAM(p)};
}

void HandleCaptureMessage(TDragSession& s, UINT msg, WPARAM w) {
  switch (msg) {
    case WM_MOUSEMOVE:
      if (!s.WaitRightUp) DragTo(s, MessagePos());
      break;
    case WM_LBUTTONUP:
      if (s.WaitRightUp) break;
      DragTo(s, MessagePos());
      RequestFinish(s, true, true);
      break;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
      s.WaitRightUp = true;
      break;
    case WM_RBUTTONUP:
      if (s.WaitRightUp) RequestFinish(s, false, true);
      break;
    case WM_CAPTURECHANGED:
      if (!s.Finishing) PostMessageW(captureWnd, WM_DRAGCHECK, 0, 0);
      break;
    case WM_DRAGCHECK:
      if (!s.Finishing && s.Active && GetCapture() != captureWnd) RequestFinish(s, false, true);
      break;
    case WM_DRAGREFRESH: {
      POINT p;
      GetCursorPos(&p);
      DragTo(s, TPoint{p.x, p.y});  // the target may answer differently now
      break;
    }
    case WM_DRAGFINISH:
      s.FinishPosted = false;
      Finish(s, w != 0 && s.Source);
      break;
    default: break;
  }
}

LRESULT CALLBACK CaptureWndProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
  if (session && session->Active && !session->Finishing) {
    TDragSession& s = *session;
    try {
      HandleCaptureMessage(s, msg, w);
    } catch (...) {
      if (session == &s && !s.Finishing) {
        try {
          Finish(s, false);
        } catch (...) {
        }
      }
      HandleCallbackException(nullptr);
    }
    if (msg == WM_SETCURSOR) return TRUE;  // the drag's cursor stays
    if (msg >= WM_MOUSEFIRST && msg <= WM_MOUSELAST) return 0;
  }
  return DefWindowProcW(h, msg, w, l);
}

HWND CaptureWindow() {
  if (captureWnd && IsWindow(captureWnd)) return captureWnd;
  static const wchar_t* cls = L"ZembrioDragCapture";
  WNDCLASSW wc{};
  if (!GetClassInfoW(MainInstance(), cls, &wc)) {
    wc.lpfnWndProc = CaptureWndProc;
    wc.hInstance = MainInstance();
    wc.lpszClassName = cls;
    RegisterClassW(&wc);
  }
  captureWnd = CreateWindowExW(WS_EX_TOOLWINDOW, cls, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, MainInstance(),
                               nullptr);
  return captureWnd;
}

// Past the threshold: the drag object is made and the drag runs.
void Activate(TDragSession& s) {
  s.Pending = false;
  s.Active = true;
  if (s.PendingCapture && GetCapture() == s.PendingCapture) ReleaseCapture();
  s.PendingCapture = nullptr;
  // The press is no click any more.
  s.Source->ControlState -= csClicked;
  s.Source->ControlState -= csLButtonDown;
  ReleaseControlCapture(s.Source);
  SetCapture(CaptureWindow());
  keyHook = SetWindowsHookExW(WH_KEYBOARD, KeyHookProc, nullptr, GetCurrentThreadId());
  {
    TDepth d(s);
    if (s.Docking) {
      TDragDockObject* o = nullptr;
      s.Source->DoStartDock(o);
      s.Object = o;
    } else {
      s.Source->DoStartDrag(s.Object);
    }
  }
  if (!s.Source) {
    RequestFinish(s, false, true);
    return;
  }
  if (!s.Object) {
    s.Object = s.Docking ? new TDragDockObject(s.Source) : new TDragControlObject(s.Source);
    s.OwnObject = true;
  }
  s.Images = s.Object->GetDragImages();
  if (s.FinishPosted) return;
  POINT p;
  GetCursorPos(&p);
  DragTo(s, TPoint{p.x, p.y});
}

}  // namespace

// Called as a control goes: the drag forgets it, and ends (as soon as the
// messages run again) when it was the source.
void DragControlFreed(TControl* c) {
  if (!session) return;
  TDragSession& s = *session;
  if (s.Target == c) {
    s.Target = nullptr;
    s.Accepted = false;
  }
  if (s.Object && s.Object->DragTarget == c) s.Object->DragTarget = nullptr;
  if (auto* co = dynamic_cast<TDragControlObject*>(s.Object); co && co->Control == c) co->Control = nullptr;
  if (s.Source == c) {
    s.Source = nullptr;
    EndDragImage(s);
    if (!s.Finishing) {
      if (s.Active) {
        if (captureWnd && GetCapture() == captureWnd) ReleaseCapture();
        RequestFinish(s, false, false);
      } else {
        Finish(s, false);
      }
    }
  }
}

void DragImagesFreed(TDragImageList* images) {
  if (session && session->Images == images) session->Images = nullptr;
}

// The automatic drag's and BeginDrag's start.
void StartControlDrag(TControl* Source, bool Immediate, int Threshold) {
  if (session) {
    // A wait for the threshold that nobody ended gives way; a running drag
    // does not.
    if (session->Active || session->Finishing) return;
    Finish(*session, false);
  }
  auto* s = new TDragSession;
  s->Source = Source;
  s->Docking = Source->GetDragKind() == dkDock;
  session = s;
  if (Immediate) {
    Activate(*s);
    return;
  }
  GetCursorPos(&s->Start);
  s->ThresholdX = Threshold < 0 ? GetSystemMetrics(SM_CXDRAG) : Threshold;
  s->ThresholdY = Threshold < 0 ? GetSystemMetrics(SM_CYDRAG) : Threshold;
  s->Pending = true;
  if (HWND w = WindowOf(Source); w && GetCapture() != w) {
    SetCapture(w);
    s->PendingCapture = w;
  }
}

// A mouse message reaching a control that waits for its drag threshold:
// true when it started the drag (and is used up).
bool DragPendingMouse(TControl* c, const TMessage& m) {
  if (!session || !session->Pending || session->Source != c) return false;
  TDragSession& s = *session;
  if (m.Msg == WM_MOUSEMOVE) {
    if (!(m.WParam & MK_LBUTTON)) {
      Finish(s, false);
      return false;
    }
    const TPoint p = c->ClientToScreen(TPoint{GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam)});
    if (std::abs(p.x - s.Start.x) < s.ThresholdX && std::abs(p.y - s.Start.y) < s.ThresholdY) return false;
    Activate(s);
    return true;
  }
  if (m.Msg != WM_MOUSEWHEEL) Finish(s, false);  // a button: no drag
  return false;
}

// After a press has been handled: a drag started by it keeps the mouse
// even when the control's own handling took it.
void DragRetakeCapture(TControl* c) {
  if (session && session->Active && !session->Finishing && session->Source == c && captureWnd &&
      GetCapture() != captureWnd)
    SetCapture(captureWnd);
}

// ---------------------------------------------------------------------------
// Drag objects

TCursor TDragObject::GetDragCursor(bool Accepted, int, int) { return Accepted ? crDrag : crNoDrop; }

void TDragObject::HideDragImage() {
  if (session && session->Object == this) {
    if (session->Images) session->Images->HideDragImage();
  } else if (TDragImageList* i = GetDragImages()) {
    i->HideDragImage();
  }
}

void TDragObject::ShowDragImage() {
  if (session && session->Object == this) {
    if (session->Images) session->Images->ShowDragImage();
  } else if (TDragImageList* i = GetDragImages()) {
    i->ShowDragImage();
  }
}

TCursor TDragControlObject::GetDragCursor(bool Accepted, int, int) {
  return Accepted ? (Control ? Control->GetDragCursor() : crDrag) : crNoDrop;
}

TDragImageList* TDragControlObject::GetDragImages() { return Control ? Control->GetDragImages() : nullptr; }

void TDragControlObject::Finished(TObject* Target, int X, int Y, bool) {
  if (Control) Control->DoEndDrag(Target, X, Y);
}

void TDragDockObject::Finished(TObject* Target, int X, int Y, bool) {
  if (Control) Control->DoEndDock(Target, X, Y);
}

// ---------------------------------------------------------------------------
// TControl

void TControl::BeginDrag(bool Immediate, int Threshold) { StartControlDrag(this, Immediate, Threshold); }

void TControl::EndDrag(bool Drop) {
  if (session && session->Source == this) RequestFinish(*session, Drop, true);
}

bool TControl::Dragging() const { return session && session->Source == this && !session->Finishing; }

void TControl::DoStartDrag(TDragObject*& DragObject) {
  if (OnStartDrag) OnStartDrag(this, DragObject);
}

void TControl::DoStartDock(TDragDockObject*& DragObject) {
  if (OnStartDock) OnStartDock(this, DragObject);
}

void TControl::DoEndDrag(TObject* Target, int X, int Y) {
  if (OnEndDrag) OnEndDrag(this, Target, X, Y);
}

void TControl::DoEndDock(TObject* Target, int X, int Y) {
  if (OnEndDock) OnEndDock(this, Target, X, Y);
}

void TControl::DragOver(TObject* Source, int X, int Y, TDragState State, bool& Accept) {
  if (OnDragOver) OnDragOver(this, Source, X, Y, State, Accept);
}

void TControl::DragDrop(TObject* Source, int X, int Y) {
  if (OnDragDrop) OnDragDrop(this, Source, X, Y);
}

void TControl::DoDragMsg(TMessage& m) {
  TDragRec* rec = DragRecOf(m);
  if (!rec) return;
  TObject* source = rec->Source;
  if (auto* co = dynamic_cast<TDragControlObject*>(rec->Source); co && co->Control) source = co->Control;
  const TPoint p = ScreenToClient(rec->Pos);
  switch (DragMessageOf(m)) {
    case dmFindTarget: m.Result = LRESULT(this); break;
    case dmDragEnter:
    case dmDragLeave:
    case dmDragMove: {
      const TDragState state = DragMessageOf(m) == dmDragEnter   ? dsDragEnter
                               : DragMessageOf(m) == dmDragLeave ? dsDragLeave
                                                                 : dsDragMove;
      bool accept = false;
      DragOver(source, p.x, p.y, state, accept);
      m.Result = accept ? 1 : 0;
      break;
    }
    case dmDragDrop: DragDrop(source, p.x, p.y); break;
    case dmDragCancel: break;
  }
}

TControl* FindDragTarget(const TPoint& Pos, bool AllowDisabled) {
  HWND h = WindowFromPoint(POINT{Pos.x, Pos.y});
  TWinControl* w = nullptr;
  while (h && !(w = TWinControl::FindControl(h))) {
    if (!(GetWindowLongPtrW(h, GWL_STYLE) & WS_CHILD)) break;
    h = GetParent(h);
  }
  while (w && !AllowDisabled && !w->GetEnabled()) w = w->GetParent();
  if (!w) return nullptr;
  TControl* c = w->ControlAtPos(w->ScreenToClient(Pos), AllowDisabled, AllowDisabled);
  return c ? c : w;
}
