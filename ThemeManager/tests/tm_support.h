// Helpers shared by the theme manager's tests: a white 32-bit picture to
// paint into and read back, and a strip of glyph cells.
#pragma once

#include <windows.h>

#include <algorithm>
#include <initializer_list>
#include <memory>
#include <utility>

#include "ThemeManager/ThemeMgr.h"
#include "classlib/Graphics.h"

namespace tmtest {

inline const COLORREF kCellColours[4] = {RGB(255, 0, 0), RGB(0, 160, 0), RGB(0, 0, 255), RGB(255, 200, 0)};

// A strip of four 16 x 16 glyph cells: magenta (the transparent colour, as
// the bottom-left pixel says) with an 8 x 8 square of the cell's colour in
// the middle.
inline std::unique_ptr<TBitmap> GlyphStrip() {
  auto b = std::make_unique<TBitmap>(64, 16);
  TCanvas* c = b->Canvas();
  c->Brush()->SetColor(TColor(RGB(255, 0, 255)));
  c->FillRect(TRect(0, 0, 64, 16));
  for (int i = 0; i < 4; ++i) {
    c->Brush()->SetColor(TColor(kCellColours[i]));
    c->FillRect(TRect(i * 16 + 4, 4, i * 16 + 12, 12));
  }
  return b;
}

// A white memory picture to draw buttons into.
struct Canvas32 {
  HDC DC;
  HBITMAP Bitmap;
  HGDIOBJ Old;
  int W, H;
  Canvas32(int w, int h) : W(w), H(h) {
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    DC = ::CreateCompatibleDC(nullptr);
    Bitmap = ::CreateDIBSection(DC, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    Old = ::SelectObject(DC, Bitmap);
    RECT r{0, 0, w, h};
    ::FillRect(DC, &r, HBRUSH(::GetStockObject(WHITE_BRUSH)));
  }
  ~Canvas32() {
    ::SelectObject(DC, Old);
    ::DeleteObject(Bitmap);
    ::DeleteDC(DC);
  }
  COLORREF At(int x, int y) const { return ::GetPixel(DC, x, y); }
  // The columns (or rows) holding pixels of the colour.
  std::pair<int, int> Span(COLORREF c, bool columns) const {
    int lo = -1, hi = -1;
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x)
        if (At(x, y) == c) {
          int v = columns ? x : y;
          if (lo < 0 || v < lo) lo = v;
          if (v > hi) hi = v;
        }
    return {lo, hi};
  }
  // The columns holding anything but white and the given colours.
  std::pair<int, int> InkColumns(std::initializer_list<COLORREF> ignore) const {
    int lo = -1, hi = -1;
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x) {
        COLORREF p = At(x, y);
        if (p == RGB(255, 255, 255) || std::find(ignore.begin(), ignore.end(), p) != ignore.end()) continue;
        if (lo < 0 || x < lo) lo = x;
        if (x > hi) hi = x;
      }
    return {lo, hi};
  }
};

// A button face with the first `Cells` cells of the strip as its glyph and a
// black caption.
struct TestFace {
  std::unique_ptr<TBitmap> Strip = GlyphStrip();
  TFont Font;
  TThemedButtonFace Face;
  TestFace(int Cells, const wchar_t* Caption) {
    Strip->SetWidth(16 * Cells);
    Font.SetColor(clBlack);
    Face.Glyph = Strip.get();
    Face.NumGlyphs = Cells;
    Face.Caption = Caption;
    Face.Font = &Font;
  }
};

}  // namespace tmtest
