// The modal mouse loops of dockable windows: moving between docks and
// floating, and sizing a floating window by its border.
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <vector>

#include "toolbars/BarDock.h"
#include "toolbars/BarFloat.h"
#include "toolbars/BarUtilsWin.h"

namespace {

struct DragRow {
  int Size;
  bool FullSize;
};

// One place the window could go: a dock, or floating (no dock).
struct DragCandidate {
  TBarDock* Dock = nullptr;
  RECT ScreenRect{};
  POINT BarSize{0, 0};
  std::vector<DragRow> Rows;
};

RECT ScreenRectOf(TWinControl* C) {
  RECT r{};
  if (C->HandleAllocated()) GetWindowRect(C->GetHandle(), &r);
  return r;
}

// Integer multiply-divide; a zero divisor (a window one pixel wide or high)
// gives 0 instead of MulDiv's -1.
int MulDivSafe(int A, int B, int C) { return C == 0 ? 0 : MulDiv(A, B, C); }

}  // namespace

void TBarCustomDockableWindow::DrawDraggingOutline(HDC DC, const RECT* NewRect, const RECT* OldRect,
                                                   bool NewDocking, bool OldDocking) {
  POINT b = GetFloatingBorderSize();
  SIZE ns = NewDocking ? SIZE{1, 1} : SIZE{b.x, b.x};
  SIZE os = OldDocking ? SIZE{1, 1} : SIZE{b.x, b.x};
  DrawHalftoneInvertRect(DC, NewRect, OldRect, ns, os);
}

int TBarCustomDockableWindow::DragHandleWidthOn(TBarDock* Dock) const {
  if (!Dock || !Dock->GetAllowDrag()) return 0;
  if (closeButtonWhenDocked_) return 14;
  switch (dragHandleStyle_) {
    case dhDouble: return 9;
    case dhNone: return 0;
    default: return 6;
  }
}

void TBarCustomDockableWindow::GetDockedNCArea(POINT& TopLeft, POINT& BottomRight, bool LeftRight,
                                               TBarDock* Dock) {
  int hw = DragHandleWidthOn(Dock ? Dock : currentDock_);
  TopLeft = POINT{2, 2};
  BottomRight = POINT{2, 2};
  if (LeftRight)
    TopLeft.y += hw;
  else
    TopLeft.x += hw;
}

void TBarCustomDockableWindow::AddDockedNCAreaToSize(POINT& S, bool LeftRight, TBarDock* Dock) {
  POINT tl, br;
  GetDockedNCArea(tl, br, LeftRight, Dock);
  S.x += tl.x + br.x;
  S.y += tl.y + br.y;
}

void TBarCustomDockableWindow::GetFloatingNCArea(POINT& TopLeft, POINT& BottomRight) {
  POINT b = GetFloatingBorderSize();
  TopLeft = b;
  BottomRight = b;
  if (ShowCaption) TopLeft.y += GetSystemMetrics(SM_CYSMCAPTION);
}

void TBarCustomDockableWindow::AddFloatingNCAreaToSize(POINT& S) {
  POINT tl, br;
  GetFloatingNCArea(tl, br);
  S.x += tl.x + br.x;
  S.y += tl.y + br.y;
}

void TBarCustomDockableWindow::SetFloatingPosition(POINT P) {
  FloatingPosition = P;
  if (floating_ && floatParent_) {
    ++disableMove_;
    floatParent_->SetBounds(P.x, P.y, floatParent_->GetWidth(), floatParent_->GetHeight());
    --disableMove_;
  }
}

namespace {
void AddDocksOf(TWinControl* Parent, TBarCustomDockableWindow* W, std::vector<DragCandidate>& List) {
  auto listed = [&](TBarDock* d) {
    return std::any_of(List.begin(), List.end(), [&](const DragCandidate& c) { return c.Dock == d; });
  };
  auto consider = [&](TBarDock* d) {
    if (d->GetVisible() && d->Accepts(W) && W->CanDockTo(d) && !listed(d)) {
      DragCandidate c;
      c.Dock = d;
      List.push_back(c);
    }
  };
  static const TBarDockPosition order[4] = {dpTop, dpBottom, dpLeft, dpRight};
  for (TBarDockPosition pos : order)
    for (int i = 0; i < Parent->ControlCount(); ++i)
      if (auto* d = dynamic_cast<TBarDock*>(Parent->GetControl(i)); d && d->GetPosition() == pos) {
        AddDocksOf(d, W, List);
        consider(d);
      }
  for (int i = 0; i < Parent->ControlCount(); ++i) {
    auto* c = dynamic_cast<TWinControl*>(Parent->GetControl(i));
    if (!c || dynamic_cast<TBarDock*>(c) || c == W) continue;
    AddDocksOf(c, W, List);
  }
}
}  // namespace

void TBarCustomDockableWindow::BeginMoving(int InitX, int InitY) {
  TBarDock* startDock = currentDock_;
  const int startRow = dockRow_, startPos = dockPos_;
  const bool startedFloating = floating_;
  bool rowLockChance = false;
  if (startDock) {
    startDock->draggingWindow_ = this;
    startDock->rowLocked_ = false;
    startDock->draggedOnOverfullRow_ = false;
    startDock->CommitPositions();
    startDock->commitPositions_ = true;
    startDock->ArrangeToolbars();
    // Sharing a row that is too long, the window may be held to that row.
    rowLockChance = startDock->draggedOnOverfullRow_;
  }
  const int startEffectiveRow = dockRow_;
  auto endDrag = [&] {
    smoothDragging_ = false;
    if (startDock) {
      startDock->draggingWindow_ = nullptr;
      startDock->rowLocked_ = false;
    }
  };
  const bool smooth = SmoothDrag;
  smoothDragging_ = smooth;

  // Where inside the window (or its floating form) the mouse took hold.
  POINT press{InitX, InitY};
  ::ClientToScreen(GetHandle(), &press);
  RECT outer = floating_ && floatParent_ ? ScreenRectOf(floatParent_) : ScreenRectOf(this);
  POINT grab{press.x - outer.left, press.y - outer.top};
  const POINT outerSize{std::max<LONG>(1, outer.right - outer.left), std::max<LONG>(1, outer.bottom - outer.top)};
  bool noDocking = GetKeyState(VK_CONTROL) < 0;
  const bool cantFloat = DockMode != dmCanFloat;

  // Candidates: floating first, then the docks in search order.
  std::vector<DragCandidate> cands;
  cands.push_back(DragCandidate{});
  if (DockMode == dmCannotFloatOrChangeDocks) {
    if (startDock) {
      DragCandidate c;
      c.Dock = startDock;
      cands.push_back(c);
    }
  } else {
    if (startDock && startDock->Accepts(this) && CanDockTo(startDock)) {
      DragCandidate c;
      c.Dock = startDock;
      cands.push_back(c);
    }
    std::vector<TWinControl*> forms;
    if (TCustomForm* f = BarGetToolWindowParentForm(this)) forms.push_back(f);
    for (TCustomForm* f : dockForms_)
      if (std::find(forms.begin(), forms.end(), f) == forms.end()) forms.push_back(f);
    for (TWinControl* f : forms) AddDocksOf(f, this, cands);
  }
  for (DragCandidate& c : cands) {
    if (!c.Dock) {
      c.BarSize = DoArrange(false, dtFloating, true, nullptr);
      AddFloatingNCAreaToSize(c.BarSize);
      continue;
    }
    c.Dock->CommitPositions();
    c.ScreenRect = ScreenRectOf(c.Dock);
    if (c.Dock == currentDock_) {
      c.BarSize = POINT{GetWidth(), GetHeight()};
    } else {
      c.BarSize = DoArrange(false, BarGetDockTypeOf(c.Dock, false), false, c.Dock);
      AddDockedNCAreaToSize(c.BarSize, c.Dock->IsVertical(), c.Dock);
    }
    for (int r = 0; r <= c.Dock->GetHighestRow(false); ++r) {
      bool full = false;
      int s = c.Dock->GetCurrentRowSize(r, full);
      c.Rows.push_back(DragRow{s, full});
    }
  }

  ProcessPaintMessages();
  HCURSOR startCursor = ::GetCursor();
  HWND desktop = GetDesktopWindow();
  HDC screenDC = nullptr;
  if (!smooth) {
    LockWindowUpdate(desktop);
    screenDC = GetDCEx(desktop, nullptr, DCX_LOCKWINDOWUPDATE | DCX_CACHE | DCX_WINDOW);
  }

  TBarDock* target = nullptr;
  RECT curRect{};
  bool curDocking = false, haveOutline = false;
  bool first = true;
  bool accepted = false;
  POINT lastPt{INT_MIN, INT_MIN};
  int newRow = 0;
  bool insertBefore = false;

  auto apply = [&](TBarDock* Dock, RECT R) {
    if (IsRectEmpty(&R)) return;
    if (!Dock) {
      SetFloatingPosition(POINT{R.left, R.top});
      SetFloating(true);
      MoveOnScreen(false);
      return;
    }
    dockRow_ = newRow;
    dockPos_ = Dock->IsVertical() ? R.top : R.left;
    insertRowBefore_ = insertBefore;
    Dock->commitPositions_ = true;
    if (GetParent() != Dock)
      SetParent(Dock);
    else
      Dock->ArrangeToolbars();
    insertRowBefore_ = false;
  };

  // The outer size floating: the floating form's own once the window
  // floats, for a window whose contents follow the room its dock gives it
  // (a box stretched over its row) is another size off the dock than it
  // measured on it; until then, as measured.
  auto floatingSize = [&]() -> POINT {
    if (floating_ && floatParent_ && floatParent_->HandleAllocated()) {
      const RECT fr = ScreenRectOf(floatParent_);
      return POINT{fr.right - fr.left, fr.bottom - fr.top};
    }
    return cands[0].BarSize;
  };
  // Floating at Size, held at the cursor where it was held: the grab point
  // at the same fraction of the window, the window wholly on the screen the
  // cursor is on (it stops at the edge of the work area while the cursor
  // goes on; left and top win when it is larger than the work area).
  auto floatingRect = [&](POINT pt, POINT Size) {
    RECT wa = GetRectOfMonitorContainingPoint(pt, true);
    pt.x = std::clamp<LONG>(pt.x, wa.left, std::max(wa.left, wa.right - 1));
    pt.y = std::clamp<LONG>(pt.y, wa.top, std::max(wa.top, wa.bottom - 1));
    RECT r = Bounds(pt.x - MulDivSafe(grab.x, Size.x, outerSize.x), pt.y - MulDivSafe(grab.y, Size.y, outerSize.y),
                    Size.x, Size.y);
    if (r.right > wa.right) OffsetRect(&r, wa.right - r.right, 0);
    if (r.bottom > wa.bottom) OffsetRect(&r, 0, wa.bottom - r.bottom);
    if (r.left < wa.left) OffsetRect(&r, wa.left - r.left, 0);
    if (r.top < wa.top) OffsetRect(&r, 0, wa.top - r.top);
    return r;
  };
  // Floated at R for the cursor at Pt: where the window came out another
  // size than R, it is placed again for its own size.
  auto placeAfterFloating = [&](POINT Pt, const RECT& R) {
    if (!floating_ || IsRectEmpty(&R)) return R;
    const POINT now = floatingSize();
    if (now.x == R.right - R.left && now.y == R.bottom - R.top) return R;
    const RECT r = floatingRect(Pt, now);
    SetFloatingPosition(POINT{r.left, r.top});
    return r;
  };

  auto recompute = [&](POINT pt) {
    const DragCandidate* hit = nullptr;
    const bool locked = startDock && startDock->rowLocked_;
    if (locked) {
      for (const DragCandidate& c : cands)
        if (c.Dock == startDock) hit = &c;
    } else if (!noDocking && !(first && startedFloating)) {
      for (const DragCandidate& c : cands) {
        if (!c.Dock) continue;
        RECT g = c.ScreenRect;
        InflateRect(&g, 3, 3);
        // The catch area reaches 25 pixels further out, split by where the
        // window is held.
        int afterX = std::clamp(MulDivSafe(25, grab.x, outerSize.x > 1 ? outerSize.x - 1 : 0), 0, 25);
        int afterY = std::clamp(MulDivSafe(25, grab.y, outerSize.y > 1 ? outerSize.y - 1 : 0), 0, 25);
        RECT area{g.left - (25 - afterX), g.top - (25 - afterY), g.right + afterX, g.bottom + afterY};
        if (!PtInRect(&area, pt)) continue;
        if (c.Dock->IsVertical() && (pt.y < g.top || pt.y >= g.bottom)) continue;
        RECT would = Bounds(pt.x - MulDivSafe(grab.x, c.BarSize.x, outerSize.x),
                            pt.y - MulDivSafe(grab.y, c.BarSize.y, outerSize.y), c.BarSize.x, c.BarSize.y);
        RECT tmp;
        if (!IntersectRect(&tmp, &would, &g)) continue;
        if (c.Dock->OnRequestDock) {
          bool accept = true;
          c.Dock->OnRequestDock(c.Dock, this, accept);
          if (!accept) continue;
        }
        hit = &c;
        break;
      }
    }
    first = false;
    RECT r = hit ? Bounds(pt.x - MulDivSafe(grab.x, hit->BarSize.x, outerSize.x),
                          pt.y - MulDivSafe(grab.y, hit->BarSize.y, outerSize.y), hit->BarSize.x, hit->BarSize.y)
                 : floatingRect(pt, floatingSize());
    bool docking = hit != nullptr;
    if (!hit && cantFloat) {
      SetRectEmpty(&r);
      ::SetCursor(LoadCursorW(nullptr, IDC_NO));
    } else if (locked) {
      ::SetCursor(LoadCursorW(nullptr, startDock->IsVertical() ? IDC_SIZENS : IDC_SIZEWE));
    } else {
      ::SetCursor(startCursor);
    }
    target = hit ? hit->Dock : nullptr;
    if (hit && locked) {
      POINT o{0, 0};
      ::ClientToScreen(hit->Dock->GetHandle(), &o);
      OffsetRect(&r, -o.x, -o.y);
      newRow = dockRow_;
      insertBefore = false;
    } else if (hit) {
      // The row: by the rectangle's centre across the dock.
      RECT dr = hit->ScreenRect;
      bool v = hit->Dock->IsVertical();
      int centre = v ? (r.left + r.right) / 2 - dr.left : (r.top + r.bottom) / 2 - dr.top;
      centre -= v ? hit->Dock->NonClientWidth() / 2 : hit->Dock->NonClientHeight() / 2;
      int start = 0;
      newRow = static_cast<int>(hit->Rows.size());
      insertBefore = false;
      for (size_t i = 0; i < hit->Rows.size(); ++i) {
        const DragRow& row = hit->Rows[i];
        if (row.Size == 0) continue;
        bool halves = row.FullSize || fullSize_;
        int q = halves ? row.Size / 2 : row.Size / 4;
        if (centre < start + q) {
          newRow = static_cast<int>(i);
          insertBefore = true;
          break;
        }
        if (!halves && centre < start + row.Size - q) {
          newRow = static_cast<int>(i);
          break;
        }
        start += row.Size;
      }
      if (insertBefore || newRow >= static_cast<int>(hit->Rows.size())) rowLockChance = false;
      if (rowLockChance && hit->Dock == startDock && newRow == startEffectiveRow &&
          std::abs(v ? pt.y - press.y : pt.x - press.x) > 9) {
        // Moved along its own row far enough: the row holds it from now on.
        startDock->rowLocked_ = true;
        ::SetCursor(LoadCursorW(nullptr, v ? IDC_SIZENS : IDC_SIZEWE));
      }
      POINT o{dr.left, dr.top};
      if (hit->Dock->HandleAllocated()) {
        o = POINT{0, 0};
        ::ClientToScreen(hit->Dock->GetHandle(), &o);
      }
      OffsetRect(&r, -o.x, -o.y);
    }
    if (!smooth) {
      RECT screenRect = r;
      if (hit) {
        POINT o{0, 0};
        ::ClientToScreen(hit->Dock->GetHandle(), &o);
        OffsetRect(&screenRect, o.x, o.y);
      }
      DrawDraggingOutline(screenDC, IsRectEmpty(&screenRect) ? nullptr : &screenRect,
                          haveOutline ? &curRect : nullptr, docking, curDocking);
      curRect = screenRect;
      haveOutline = !IsRectEmpty(&screenRect);
      curDocking = docking;
    } else {
      apply(target, r);
      curRect = target ? r : placeAfterFloating(pt, r);
    }
  };

  // Docking and floating keep the window, and with it the capture.
  const HWND h = GetHandle();
  ::SetCapture(h);
  try {
    MSG msg;
    for (;;) {
      if (GetCapture() != h) break;
      if (!GetMessageW(&msg, nullptr, 0, 0)) {
        PostQuitMessage(static_cast<int>(msg.wParam));
        break;
      }
      bool end = false;
      switch (msg.message) {
        case WM_LBUTTONUP:
          // The drag ends where the button went up; the last move before a
          // quick release need not have been reported.
          if (msg.pt.x != lastPt.x || msg.pt.y != lastPt.y) {
            lastPt = msg.pt;
            recompute(msg.pt);
          }
          accepted = true;
          end = true;
          break;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
          end = true;
          break;
        case WM_KEYDOWN:
        case WM_KEYUP:
          if (msg.wParam == VK_ESCAPE) {
            end = msg.message == WM_KEYDOWN;
          } else if (msg.wParam == VK_CONTROL) {
            bool down = msg.message == WM_KEYDOWN;
            if (down != noDocking) {
              noDocking = down;
              POINT p;
              GetCursorPos(&p);
              recompute(p);
            }
          }
          break;
        case WM_MOUSEMOVE: {
          POINT p = msg.pt;
          if (p.x != lastPt.x || p.y != lastPt.y) {
            lastPt = p;
            recompute(p);
          }
          break;
        }
        case WM_RBUTTONDOWN: case WM_RBUTTONUP: case WM_RBUTTONDBLCLK:
        case WM_MBUTTONDOWN: case WM_MBUTTONUP: case WM_MBUTTONDBLCLK:
        case WM_SYSKEYDOWN: case WM_SYSKEYUP: case WM_CHAR: case WM_SYSCHAR:
          break;
        default:
          TranslateMessage(&msg);
          DispatchMessageW(&msg);
          break;
      }
      if (end) break;
    }
  } catch (...) {
    if (GetCapture() == GetHandle()) ReleaseCapture();
    if (!smooth) {
      if (haveOutline) DrawDraggingOutline(screenDC, nullptr, &curRect, false, curDocking);
      ReleaseDC(desktop, screenDC);
      LockWindowUpdate(nullptr);
    }
    endDrag();
    throw;
  }
  if (GetCapture() == GetHandle()) ReleaseCapture();
  if (!smooth) {
    if (haveOutline) DrawDraggingOutline(screenDC, nullptr, &curRect, false, curDocking);
    ReleaseDC(desktop, screenDC);
    LockWindowUpdate(nullptr);
    if (accepted && (target || !IsRectEmpty(&curRect))) {
      RECT r = curRect;
      if (target) {
        POINT o{0, 0};
        ::ClientToScreen(target->GetHandle(), &o);
        OffsetRect(&r, -o.x, -o.y);
      }
      apply(target, r);
      if (!target) placeAfterFloating(lastPt, r);
    }
  }
  endDrag();
  if (useLastDock_ && currentDock_) SetLastDock(currentDock_);
  if (!floating_) ReleaseFloatingParent();
  if (floating_) {
    // Docking again through LastDock returns to the row the drag began
    // with, whatever docks the window passed over.
    dockRow_ = startRow;
    dockPos_ = startPos;
  }
  ::SetCursor(startCursor);
}

void TBarCustomDockableWindow::BeginSizing(TBarSizeHandle SizeHandle) {
  if (!floating_ || !floatParent_) return;
  const bool horz = SizeHandle != twshTop && SizeHandle != twshBottom;
  const bool vert = SizeHandle != twshLeft && SizeHandle != twshRight;
  const bool moveLeft = SizeHandle == twshLeft || SizeHandle == twshTopLeft || SizeHandle == twshBottomLeft;
  const bool moveTop = SizeHandle == twshTop || SizeHandle == twshTopLeft || SizeHandle == twshTopRight;
  int minW = 0, minH = 0, maxW = 0, maxH = 0;
  GetMinMaxSize(minW, minH, maxW, maxH);
  POINT nc{0, 0};
  AddFloatingNCAreaToSize(nc);
  minW += nc.x;
  minH += nc.y;
  if (maxW > 0) maxW += nc.x;
  if (maxH > 0) maxH += nc.y;
  const bool smooth = SmoothDrag;
  smoothDragging_ = smooth;
  ResizeBegin(SizeHandle);
  ProcessPaintMessages();
  const RECT startRect = ScreenRectOf(floatParent_);
  // Where the press was (the message being handled), not where the mouse is by now.
  DWORD mp = GetMessagePos();
  POINT startPt{static_cast<short>(LOWORD(mp)), static_cast<short>(HIWORD(mp))};
  RECT curRect = startRect;
  HWND desktop = GetDesktopWindow();
  HDC screenDC = nullptr;
  if (!smooth) {
    LockWindowUpdate(desktop);
    screenDC = GetDCEx(desktop, nullptr, DCX_LOCKWINDOWUPDATE | DCX_CACHE | DCX_WINDOW);
    DrawDraggingOutline(screenDC, &curRect, nullptr, false, false);
  }
  bool clip = !UsingMultipleMonitors() && DockableWindowStyles.Contains(tbdsResizeClipCursor);
  if (clip) {
    RECT wa = GetRectOfPrimaryMonitor(true);
    ClipCursor(&wa);
  }
  bool accepted = false;
  POINT lastPt = startPt;
  auto track = [&](POINT pt) {
    RECT r = startRect;
    int dx = pt.x - startPt.x, dy = pt.y - startPt.y;
    if (horz) {
      if (moveLeft) r.left += dx; else r.right += dx;
      int w = r.right - r.left;
      int nw = std::max(w, minW);
      if (maxW > 0) nw = std::min(nw, maxW);
      if (moveLeft) r.left = r.right - nw; else r.right = r.left + nw;
    }
    if (vert) {
      if (moveTop) r.top += dy; else r.bottom += dy;
      int hgt = r.bottom - r.top;
      int nh = std::max(hgt, minH);
      if (maxH > 0) nh = std::min(nh, maxH);
      if (moveTop) r.top = r.bottom - nh; else r.bottom = r.top + nh;
    }
    ResizeTrack(r, curRect);
    if (EqualRect(&r, &curRect)) return;
    if (!smooth) {
      DrawDraggingOutline(screenDC, &r, &curRect, false, false);
      curRect = r;
    } else {
      curRect = r;
      ResizeTrackAccept();
      ApplyFloatingSize(r);
    }
  };
  HWND h = floatParent_->GetHandle();
  ::SetCapture(h);
  try {
    MSG msg;
    for (;;) {
      if (!floatParent_ || GetCapture() != h) break;
      if (!GetMessageW(&msg, nullptr, 0, 0)) {
        PostQuitMessage(static_cast<int>(msg.wParam));
        break;
      }
      bool end = false;
      switch (msg.message) {
        case WM_LBUTTONUP:
          if (msg.pt.x != lastPt.x || msg.pt.y != lastPt.y) {
            lastPt = msg.pt;
            track(msg.pt);
          }
          accepted = true;
          end = true;
          break;
        case WM_LBUTTONDOWN: case WM_LBUTTONDBLCLK: end = true; break;
        case WM_KEYDOWN:
          if (msg.wParam == VK_ESCAPE) end = true;
          break;
        case WM_MOUSEMOVE:
          if (msg.pt.x != lastPt.x || msg.pt.y != lastPt.y) {
            lastPt = msg.pt;
            track(msg.pt);
          }
          break;
        case WM_KEYUP: case WM_SYSKEYDOWN: case WM_SYSKEYUP: case WM_CHAR: case WM_SYSCHAR:
        case WM_RBUTTONDOWN: case WM_RBUTTONUP: case WM_RBUTTONDBLCLK:
        case WM_MBUTTONDOWN: case WM_MBUTTONUP: case WM_MBUTTONDBLCLK:
          break;
        default:
          TranslateMessage(&msg);
          DispatchMessageW(&msg);
          break;
      }
      if (end) break;
    }
  } catch (...) {
    if (GetCapture() == h) ReleaseCapture();
    if (clip) ClipCursor(nullptr);
    if (!smooth) {
      DrawDraggingOutline(screenDC, nullptr, &curRect, false, false);
      ReleaseDC(desktop, screenDC);
      LockWindowUpdate(nullptr);
    }
    smoothDragging_ = false;
    ResizeEnd();
    throw;
  }
  if (GetCapture() == h) ReleaseCapture();
  if (clip) ClipCursor(nullptr);
  if (!smooth) {
    DrawDraggingOutline(screenDC, nullptr, &curRect, false, false);
    ReleaseDC(desktop, screenDC);
    LockWindowUpdate(nullptr);
    if (accepted && !EqualRect(&curRect, &startRect)) {
      ResizeTrackAccept();
      ApplyFloatingSize(curRect);
    }
  }
  smoothDragging_ = false;
  ResizeEnd();
}

void TBarCustomDockableWindow::ApplyFloatingSize(const RECT& R) {
  if (!floatParent_) return;
  POINT nc{0, 0};
  AddFloatingNCAreaToSize(nc);
  SizeChanging(R.right - R.left - nc.x, R.bottom - R.top - nc.y);
  floatParent_->SetBounds(R.left, R.top, R.right - R.left, R.bottom - R.top);
  FloatingPosition = POINT{R.left, R.top};
  Arrange();
}
