// The pictures of the main window as a person sees them: the screen shows
// the icons built into the program, at their command's index.
#include <cstdlib>
#include <vector>

#include "app/AppImages.h"
#include "app/tests/e2e_support.h"

using namespace e2e;

namespace {

struct TShot {
  int W = 0, H = 0;
  std::vector<COLORREF> Px;
  COLORREF At(int X, int Y) const { return Px[size_t(Y) * size_t(W) + size_t(X)]; }
};

// The window's area as the screen shows it.
TShot Capture(HWND Wnd) {
  RECT r;
  GetWindowRect(Wnd, &r);
  TShot s;
  s.W = r.right - r.left;
  s.H = r.bottom - r.top;
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  HBITMAP bmp = CreateCompatibleBitmap(screen, s.W, s.H);
  HGDIOBJ old = SelectObject(mem, bmp);
  BitBlt(mem, 0, 0, s.W, s.H, screen, r.left, r.top, SRCCOPY);
  s.Px.resize(size_t(s.W) * size_t(s.H));
  for (int y = 0; y < s.H; ++y)
    for (int x = 0; x < s.W; ++x) s.Px[size_t(y) * size_t(s.W) + size_t(x)] = GetPixel(mem, x, y);
  SelectObject(mem, old);
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return s;
}

// True when the shot holds the strip's image somewhere: nearly every pixel
// the image covers fully shows the image's own colour.
bool Shows(const TShot& Shot, const TImageStrip& Strip, int Image) {
  const int n = Strip.Size;
  for (int oy = 0; oy + n <= Shot.H; ++oy)
    for (int ox = 0; ox + n <= Shot.W; ++ox) {
      int opaque = 0, same = 0;
      for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
          const unsigned char* p = Strip.Pixel(Image, x, y);
          if (p[3] < 250) continue;
          ++opaque;
          COLORREF c = Shot.At(ox + x, oy + y);
          if (std::abs(GetRValue(c) - p[2]) <= 8 && std::abs(GetGValue(c) - p[1]) <= 8 &&
              std::abs(GetBValue(c) - p[0]) <= 8)
            ++same;
        }
      if (opaque >= 40 && same * 100 >= opaque * 95) return true;
    }
  return false;
}

class Pictures : public EditorTest {};

TEST_F(Pictures, ToolbarAndTreeShowTheBuiltIcons) {
  Start();
  SetForegroundWindow(Window->GetHandle());
  HWND file = Window->tbrFile->GetHandle();
  ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(file) != FALSE; }));
  RedrawWindow(Window->GetHandle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  dlgtest::Pump(50);

  // The File toolbar: Import 18, Export 19, Preferences 20, Exit 0.
  TShot bar = Capture(file);
  for (int image : {18, 19, 20, 0}) EXPECT_TRUE(Shows(bar, ImageStripMenu16, image)) << "menu image " << image;
  // Each image is its own picture: the toolbar does not show the Find icon.
  EXPECT_FALSE(Shows(bar, ImageStripMenu16, 21));

  // The tree: "My Registry" 0, the root keys 1.
  TShot tree = Capture(Window->treeRegTree->GetHandle());
  EXPECT_TRUE(Shows(tree, ImageStripTree16, 0));
  EXPECT_TRUE(Shows(tree, ImageStripTree16, 1));
}

}  // namespace
