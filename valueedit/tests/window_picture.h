// What a control shows on the screen, read back pixel by pixel.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "classlib/Controls.h"

inline TColor Rgb(int r, int g, int b) { return static_cast<TColor>(RGB(r, g, b)); }

// A control's client area as it paints itself, read back pixel by pixel.
// The caret is hidden while it is read: it blinks by inverting its cell.
class Picture {
 public:
  explicit Picture(TWinControl* c) {
    c->Invalidate();
    c->Update();
    const HWND wnd = c->GetHandle();
    const bool hid = HideCaret(wnd) != 0;
    RECT r;
    GetClientRect(wnd, &r);
    w_ = r.right;
    h_ = r.bottom;
    HDC dc = GetDC(wnd);
    HDC mem = CreateCompatibleDC(dc);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = w_;
    bi.bmiHeader.biHeight = -h_;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, w_, h_, dc, 0, 0, SRCCOPY);
    GdiFlush();
    const auto* p = static_cast<const uint32_t*>(bits);
    px_.resize(static_cast<size_t>(w_) * static_cast<size_t>(h_));
    for (size_t i = 0; i < px_.size(); ++i) px_[i] = RGB((p[i] >> 16) & 255, (p[i] >> 8) & 255, p[i] & 255);
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(wnd, dc);
    if (hid) ShowCaret(wnd);
  }
  int Width() const { return w_; }
  int Height() const { return h_; }
  COLORREF At(int x, int y) const {
    if (x < 0 || y < 0 || x >= w_ || y >= h_) return CLR_INVALID;
    return px_[static_cast<size_t>(y) * static_cast<size_t>(w_) + static_cast<size_t>(x)];
  }
  // Whether the colour shows somewhere inside r.
  bool Has(const TRect& r, TColor c) const { return Count(r, c) > 0; }
  // Whether each colour of `in` shows inside r and none of `out`.
  bool Shows(const TRect& r, std::initializer_list<TColor> in, std::initializer_list<TColor> out = {}) const {
    return std::all_of(in.begin(), in.end(), [&](TColor c) { return Has(r, c); }) &&
           std::none_of(out.begin(), out.end(), [&](TColor c) { return Has(r, c); });
  }
  // Whether every pixel of r has one of the colours.
  bool Only(const TRect& r, std::initializer_list<TColor> cs) const {
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x)
        if (std::none_of(cs.begin(), cs.end(), [&](TColor c) { return At(x, y) == ColorToRef(c); })) return false;
    return RectWidth(r) > 0 && RectHeight(r) > 0;
  }
  int Count(const TRect& r, TColor c) const {
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x) n += At(x, y) == ColorToRef(c);
    return n;
  }
  // A column or a row of pixels.
  static TRect VLine(int x, int top, int bottom) { return TRect{x, top, x + 1, bottom}; }
  static TRect HLine(int y, int left, int right) { return TRect{left, y, right, y + 1}; }

 private:
  int w_ = 0, h_ = 0;
  std::vector<COLORREF> px_;
};
