// A memory surface for painting tests: a screen-compatible bitmap in a
// memory device context, filled with one colour, with a class-library canvas
// on it and ways to read back what was painted.
#pragma once

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "classlib/Graphics.h"

namespace testsupport {

class MemCanvas {
 public:
  HDC DC;
  HBITMAP Bmp;
  TCanvas C;
  int W, H;

  MemCanvas(int Width, int Height, COLORREF FillColour = RGB(0, 0, 0)) : W(Width), H(Height) {
    HDC screen = GetDC(nullptr);
    DC = CreateCompatibleDC(screen);
    Bmp = CreateCompatibleBitmap(screen, W, H);
    ReleaseDC(nullptr, screen);
    old_ = SelectObject(DC, Bmp);
    Fill(FillColour);
    C.SetHandle(DC);
  }
  ~MemCanvas() {
    C.SetHandle(nullptr);
    SelectObject(DC, old_);
    DeleteObject(Bmp);
    DeleteDC(DC);
  }
  MemCanvas(const MemCanvas&) = delete;
  MemCanvas& operator=(const MemCanvas&) = delete;

  void Fill(COLORREF Colour) {
    RECT r{0, 0, W, H};
    HBRUSH b = CreateSolidBrush(Colour);
    FillRect(DC, &r, b);
    DeleteObject(b);
  }
  COLORREF At(int X, int Y) const { return GetPixel(DC, X, Y); }
  // How many pixels have the colour.
  int Count(COLORREF Colour) const {
    int n = 0;
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x)
        if (At(x, y) == Colour) ++n;
    return n;
  }
  int CountNot(COLORREF Colour) const { return W * H - Count(Colour); }
  // Columns (x) in row Y whose pixel has the colour.
  std::vector<int> ColumnsOf(int Y, COLORREF Colour) const {
    std::vector<int> v;
    for (int x = 0; x < W; ++x)
      if (At(x, Y) == Colour) v.push_back(x);
    return v;
  }
  // The pixels of the colour inside [X0, X1) x [Y0, Y1) (X1, Y1 < 0: to the
  // edge), cut to their bounding box: one text a row, '#' for the colour,
  // '.' for anything else.
  std::vector<std::string> Shape(COLORREF Colour, int X0 = 0, int Y0 = 0, int X1 = -1, int Y1 = -1) const {
    if (X1 < 0) X1 = W;
    if (Y1 < 0) Y1 = H;
    int l = X1, t = Y1, r = X0 - 1, b = Y0 - 1;
    for (int y = Y0; y < Y1; ++y)
      for (int x = X0; x < X1; ++x)
        if (At(x, y) == Colour) l = std::min(l, x), r = std::max(r, x), t = std::min(t, y), b = std::max(b, y);
    std::vector<std::string> rows;
    for (int y = t; y <= b; ++y) {
      std::string row;
      for (int x = l; x <= r; ++x) row += At(x, y) == Colour ? '#' : '.';
      rows.push_back(row);
    }
    return rows;
  }

 private:
  HGDIOBJ old_;
};

}  // namespace testsupport
