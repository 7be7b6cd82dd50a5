// Mouse tracking shared by the extended controls: which control is under the
// cursor and whether this program is the one the user works with.
#pragma once

#include "classlib/Controls.h"

namespace exctl {

// The control (windowed or not) under the mouse cursor, or nullptr.
inline TControl* ControlUnderCursor() {
  POINT p;
  if (!GetCursorPos(&p)) return nullptr;
  TWinControl* wc = TWinControl::FindControl(WindowFromPoint(p));
  if (!wc) return nullptr;
  TControl* c = wc;
  if (wc->HandleAllocated()) {
    POINT q = p;
    ScreenToClient(wc->GetHandle(), &q);
    if (TControl* g = wc->ControlAtPos(q, false)) c = g;
  }
  return c;
}

// The accelerator character of a caption (the one after a single '&'), or 0.
inline wchar_t AccelOf(const String& s) {
  for (size_t i = 0; i + 1 < s.size(); ++i) {
    if (s[i] != L'&') continue;
    if (s[i + 1] == L'&') {
      ++i;
      continue;
    }
    return s[i + 1];
  }
  return 0;
}

inline wchar_t UpperChar(wchar_t c) {
  return wchar_t(uintptr_t(CharUpperW(reinterpret_cast<LPWSTR>(uintptr_t(c)))));
}

}  // namespace exctl
