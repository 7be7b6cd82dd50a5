// Building a form's controls in code: a control of type T owned by Owner,
// named, placed on Parent at the given bounds.
#pragma once

#include <algorithm>
#include <cstdint>

#include "classlib/Controls.h"
#include "classlib/Forms.h"

template <class T>
T* Place(TComponent* Owner, TWinControl* Parent, const wchar_t* Name, int L, int T_, int W, int H) {
  T* c = new T(Owner);
  c->SetName(Name);
  c->SetParent(Parent);
  static_cast<TControl*>(c)->SetBounds(L, T_, W, H);
  return c;
}

// The same, owned by its parent.
template <class T>
T* Place(TWinControl* Parent, const wchar_t* Name, int L, int T_, int W, int H) {
  return Place<T>(Parent, Parent, Name, L, T_, W, H);
}

// A measure of the form's layout at 96 dots per inch at the dots per inch
// the form is laid out for (the screen's once its window is made).
inline int Scaled(TCustomForm* Form, int V) { return MulDiv(V, Form->GetPixelsPerInch(), 96); }

// A size or place a window took from a setting, and what the window
// showed of it once fitted to the screen or to its pane: a size stored on
// a screen of fewer dots per inch is scaled up and may not fit. While the
// window still shows just what it was fitted to, the setting keeps what it
// asked for, so that a start on a smaller or denser screen loses nothing
// of it; what the user changed is stored as it is.
struct TKeptSize {
  int Asked = 0, Shown = 0;
  bool Taken = false;
  void Take(int AskedValue, int ShownValue) {
    Asked = AskedValue;
    Shown = ShownValue;
    Taken = true;
  }
  int ToStore(int Now) const { return Taken && Now == Shown ? Asked : Now; }
};

// Keeps a window whose stored place lies off every monitor (one since
// removed, a damaged setting) where it can be used: a window larger than
// the monitor's work area is made to fit it, and one whose title strip
// shows on no monitor is moved into the work area of the nearest.
inline void KeepOnScreen(TControl* Window) {
  const int64_t left = Window->GetLeft(), top = Window->GetTop();
  const int64_t width = std::max(Window->GetWidth(), 0), height = std::max(Window->GetHeight(), 0);
  auto clampLong = [](int64_t v) { return static_cast<LONG>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); };
  const RECT whole{clampLong(left), clampLong(top), clampLong(left + width), clampLong(top + height)};
  const int strip = GetSystemMetrics(SM_CYCAPTION) + GetSystemMetrics(SM_CYFRAME);
  const RECT title{whole.left, whole.top, whole.right, clampLong(top + strip)};
  HMONITOR monitor = MonitorFromRect(&title, MONITOR_DEFAULTTONULL);
  const bool seen = monitor != nullptr;
  if (!seen) monitor = MonitorFromRect(&whole, MONITOR_DEFAULTTONEAREST);
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (!monitor || !GetMonitorInfoW(monitor, &info)) return;
  const RECT& work = info.rcWork;
  const int64_t w = std::min<int64_t>(width, work.right - work.left);
  const int64_t h = std::min<int64_t>(height, work.bottom - work.top);
  if (seen && w == width && h == height) return;
  const int64_t l = std::clamp<int64_t>(left, work.left, work.right - w);
  const int64_t t = std::clamp<int64_t>(top, work.top, work.bottom - h);
  Window->SetBounds(static_cast<int>(l), static_cast<int>(t), static_cast<int>(w), static_cast<int>(h));
}
