#include "toolbars/BarAnimation.h"

#include <atomic>

namespace {
using UpdateLayeredWindowFn = TBarUpdateLayeredWindow;

struct AnimationRecord {
  HWND Wnd = nullptr;
  int Time = 0;
  bool Blend = false;
  UpdateLayeredWindowFn Ulw = nullptr;  // the function a fade draws with
  std::atomic<int> Step{0};  // written by the animation thread, read by the window thread
  HDC WindowDC = nullptr;
  HDC MemDC = nullptr;
  HBITMAP Bitmap = nullptr;
  HGDIOBJ OldBitmap = nullptr;
  RECT ClientRect{};
  int Width = 0, Height = 0;
  POINT LastPos{};
  TBarAnimationDirection Dir = 0;
  std::atomic<bool> Stop{false};
  std::atomic<bool> Finished{false};
  std::atomic<long> StepPending{0};
};

AnimationRecord g_anim;
std::atomic<LONG_PTR> g_number{0};
HANDLE g_thread = nullptr;
UpdateLayeredWindowFn g_ulw = nullptr;
bool g_ulwLooked = false;
bool g_disableLayered = false;
UpdateLayeredWindowFn g_ulwInstead = nullptr;

void LookUpLayeredFunction() {
  if (g_ulwLooked) return;
  g_ulwLooked = true;
  if (HMODULE u = GetModuleHandleW(L"user32.dll"))
    g_ulw = reinterpret_cast<UpdateLayeredWindowFn>(reinterpret_cast<void*>(GetProcAddress(u, "UpdateLayeredWindow")));
}

void ResetRecord() {
  g_anim.Wnd = nullptr;
  g_anim.Time = 0;
  g_anim.Blend = false;
  g_anim.Ulw = nullptr;
  g_anim.Step = 0;
  g_anim.WindowDC = nullptr;
  g_anim.MemDC = nullptr;
  g_anim.Bitmap = nullptr;
  g_anim.OldBitmap = nullptr;
  g_anim.ClientRect = RECT{};
  g_anim.Width = g_anim.Height = 0;
  g_anim.Dir = 0;
  g_anim.Stop = false;
  g_anim.Finished = false;
  g_anim.StepPending = 0;
}

// Frees the record's resources and tells the window the animation is over.
void EndProcedure() {
  HWND w = g_anim.Wnd;
  if (!w) return;
  if (g_anim.Blend)
    SetWindowLongPtrW(w, GWL_EXSTYLE, GetWindowLongPtrW(w, GWL_EXSTYLE) & ~WS_EX_LAYERED);
  else
    SetWindowRgn(w, nullptr, FALSE);
  if (g_anim.WindowDC && g_anim.MemDC)
    BitBlt(g_anim.WindowDC, 0, 0, g_anim.Width, g_anim.Height, g_anim.MemDC, 0, 0, SRCCOPY);
  if (g_anim.MemDC) {
    SelectObject(g_anim.MemDC, g_anim.OldBitmap);
    DeleteDC(g_anim.MemDC);
  }
  if (g_anim.Bitmap) DeleteObject(g_anim.Bitmap);
  if (g_anim.WindowDC) ReleaseDC(w, g_anim.WindowDC);
  g_anim.Wnd = nullptr;
  g_anim.MemDC = nullptr;
  g_anim.Bitmap = nullptr;
  g_anim.WindowDC = nullptr;
  SendNotifyMessageW(w, WMVmoxAnimationEnded, 0, 0);
}

DWORD WINAPI AnimationThread(LPVOID Param) {
  LONG_PTR number = reinterpret_cast<LONG_PTR>(Param);
  LARGE_INTEGER freq, start, now;
  QueryPerformanceFrequency(&freq);
  QueryPerformanceCounter(&start);
  double ticksPerMs = static_cast<double>(freq.QuadPart) / 1000.0;
  HWND w = g_anim.Wnd;
  while (!g_anim.Stop) {
    QueryPerformanceCounter(&now);
    int elapsed = static_cast<int>((now.QuadPart - start.QuadPart) / ticksPerMs);
    int V = MulDiv(255, elapsed, g_anim.Time);
    int S = V & ~0xF;
    if (S < 0 || S >= 255 || elapsed >= g_anim.Time) break;
    POINT p;
    GetCursorPos(&p);
    if (p.x != g_anim.LastPos.x || p.y != g_anim.LastPos.y) {
      if (PtInRect(&g_anim.ClientRect, p)) break;
      g_anim.LastPos = p;
    }
    if (S <= g_anim.Step) {
      int ms = MulDiv(g_anim.Step + 16 - V, g_anim.Time, 255);
      Sleep(ms < 1 ? 1 : static_cast<DWORD>(ms));
    } else {
      g_anim.Step = S;
      if (g_anim.StepPending.exchange(1) != 1) SendNotifyMessageW(w, WMVmoxStepAnimation, 0, number);
    }
  }
  g_anim.Finished = true;
  SendNotifyMessageW(w, WMVmoxStepAnimation, 0, number);
  return 0;
}
}  // namespace

void BarAnimationDisableLayered(bool Disable) { g_disableLayered = Disable; }
TBarUpdateLayeredWindow BarAnimationSystemLayeredFunction() {
  LookUpLayeredFunction();
  return g_ulw;
}
void BarAnimationUseLayeredFunction(TBarUpdateLayeredWindow Fn) { g_ulwInstead = Fn; }
bool BarAnimationRunning() { return g_thread != nullptr; }

void BarStartAnimation(HWND Wnd, int Time, bool Blend, TBarAnimationDirection Directions) {
  BarEndAnimation(nullptr);
  ResetRecord();
  LookUpLayeredFunction();
  UpdateLayeredWindowFn ulw = g_disableLayered || !g_ulw ? nullptr : g_ulwInstead ? g_ulwInstead : g_ulw;
  g_anim.Wnd = Wnd;
  g_anim.Time = Time > 0 ? Time : 1;
  g_anim.Blend = Blend && ulw;
  g_anim.Ulw = ulw;
  g_anim.Dir = Directions;
  GetCursorPos(&g_anim.LastPos);
  GetClientRect(Wnd, &g_anim.ClientRect);
  MapWindowPoints(Wnd, nullptr, reinterpret_cast<POINT*>(&g_anim.ClientRect), 2);
  RECT wr;
  GetWindowRect(Wnd, &wr);
  g_anim.Width = wr.right - wr.left;
  g_anim.Height = wr.bottom - wr.top;
  g_anim.WindowDC = GetDCEx(Wnd, nullptr, DCX_WINDOW | DCX_CACHE);
  g_anim.MemDC = CreateCompatibleDC(g_anim.WindowDC);
  g_anim.Bitmap = CreateCompatibleBitmap(g_anim.WindowDC, g_anim.Width, g_anim.Height);
  g_anim.OldBitmap = SelectObject(g_anim.MemDC, g_anim.Bitmap);
  SendMessageW(Wnd, WM_PRINT, reinterpret_cast<WPARAM>(g_anim.MemDC),
               PRF_NONCLIENT | PRF_CLIENT | PRF_ERASEBKGND | PRF_CHILDREN);
  if (g_anim.Blend) {
    SetWindowLongPtrW(Wnd, GWL_EXSTYLE, GetWindowLongPtrW(Wnd, GWL_EXSTYLE) | WS_EX_LAYERED);
    g_anim.Step = 32;
    POINT pos{wr.left, wr.top}, src{0, 0};
    SIZE size{g_anim.Width, g_anim.Height};
    BLENDFUNCTION bf{AC_SRC_OVER, 0, 32, 0};
    ulw(Wnd, nullptr, &pos, &size, g_anim.MemDC, &src, 0, &bf, ULW_ALPHA);
  } else {
    g_anim.Step = 0;
    HRGN r = CreateRectRgn(0, 0, 0, 0);
    if (!SetWindowRgn(Wnd, r, FALSE)) DeleteObject(r);
  }
  SetWindowPos(Wnd, nullptr, 0, 0, 0, 0,
               SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOREDRAW | SWP_NOACTIVATE |
                   SWP_SHOWWINDOW | SWP_NOOWNERZORDER | SWP_ASYNCWINDOWPOS);
  LONG_PTR number = g_number + 1;
  DWORD id;
  g_thread = CreateThread(nullptr, 0, AnimationThread, reinterpret_cast<LPVOID>(number),
                          CREATE_SUSPENDED, &id);
  if (g_thread) {
    ++g_number;
    ResumeThread(g_thread);
  } else {
    EndProcedure();
  }
}

void BarStepAnimation(WPARAM, LPARAM LParam) {
  if (LParam != g_number || !g_anim.Wnd) return;
  if (g_anim.Finished) {
    // Ending releases the device contexts: nothing more is drawn here.
    BarEndAnimation(g_anim.Wnd);
    return;
  }
  HWND w = g_anim.Wnd;
  int F = g_anim.Step;
  if (g_anim.Blend) {
    BLENDFUNCTION bf{AC_SRC_OVER, 0, static_cast<BYTE>(F), 0};
    g_anim.Ulw(w, nullptr, nullptr, nullptr, nullptr, nullptr, 0, &bf, ULW_ALPHA);
  } else {
    int W = g_anim.Width, H = g_anim.Height;
    int Y = 0, X = 0;
    if (g_anim.Dir & tbadDown)
      Y = MulDiv(H, F, 255) - H;
    else if (g_anim.Dir & tbadUp)
      Y = H - MulDiv(H, F, 255);
    if (g_anim.Dir & tbadRight)
      X = MulDiv(W, F, 255) - W;
    else if (g_anim.Dir & tbadLeft)
      X = W - MulDiv(W, F, 255);
    HRGN r = CreateRectRgn(X, Y, X + W, Y + H);
    if (!SetWindowRgn(w, r, FALSE)) DeleteObject(r);
    BitBlt(g_anim.WindowDC, X, Y, W, H, g_anim.MemDC, 0, 0, SRCCOPY);
  }
  g_anim.StepPending = 0;
}

void BarEndAnimation(HWND Wnd) {
  if (!g_thread) return;
  if (Wnd && Wnd != g_anim.Wnd) return;
  g_anim.Stop = true;
  WaitForSingleObject(g_thread, INFINITE);
  CloseHandle(g_thread);
  g_thread = nullptr;
  EndProcedure();
}
