// What a window shows on the screen, read from its own device context.
#pragma once

#include <windows.h>

#include <memory>

#include "testsupport/MemCanvas.h"

namespace skintest {

// The window's client area, or with Whole the window with its frame, as it
// stands on the screen once its pending painting is done.
inline std::unique_ptr<testsupport::MemCanvas> WindowPixels(HWND W, bool Whole = false) {
  RedrawWindow(W, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  RECT r;
  if (Whole)
    GetWindowRect(W, &r);
  else
    GetClientRect(W, &r);
  auto s = std::make_unique<testsupport::MemCanvas>(r.right - r.left, r.bottom - r.top);
  HDC dc = Whole ? GetWindowDC(W) : GetDC(W);
  BitBlt(s->DC, 0, 0, s->W, s->H, dc, 0, 0, SRCCOPY);
  ReleaseDC(W, dc);
  return s;
}

}  // namespace skintest
