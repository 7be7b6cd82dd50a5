#include "toolbars/skin/SkinUtils.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>

#include "classlib/Forms.h"
#include "toolbars/BarUtilsWin.h"

TSkinStockBitmap StockBitmap1, StockBitmap2;
HBITMAP StockMonoBitmap = nullptr;
HBITMAP StockCompatibleBitmap = nullptr;
HFONT SmCaptionFont = nullptr;
TUpdateLayeredWindow SkinUpdateLayeredWindow = nullptr;
TAlphaBlend SkinAlphaBlend = nullptr;

namespace {
HMODULE g_msimg = nullptr;
HDC g_compatDC = nullptr;
HGDIOBJ g_compatOld = nullptr;
bool g_inited = false;
const uint32_t kKey = 0x203241;

uint32_t WinSysColor(int Index) { return GetSysColor(Index); }

void MakeStock() {
  HDC screen = GetDC(nullptr);
  StockCompatibleBitmap = CreateCompatibleBitmap(screen, 8, 8);
  g_compatDC = CreateCompatibleDC(screen);
  g_compatOld = SelectObject(g_compatDC, StockCompatibleBitmap);
  ReleaseDC(nullptr, screen);
  StockMonoBitmap = CreateBitmap(8, 8, 1, 1, nullptr);
  NONCLIENTMETRICSW ncm{};
  ncm.cbSize = sizeof(ncm);
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(ncm), &ncm, 0))
    SmCaptionFont = CreateFontIndirectW(&ncm.lfSmCaptionFont);
}

void FreeStock() {
  StockBitmap1.Free();
  StockBitmap2.Free();
  if (g_compatDC) {
    SelectObject(g_compatDC, g_compatOld);
    DeleteDC(g_compatDC);
    g_compatDC = nullptr;
  }
  if (StockCompatibleBitmap) DeleteObject(StockCompatibleBitmap);
  StockCompatibleBitmap = nullptr;
  if (StockMonoBitmap) DeleteObject(StockMonoBitmap);
  StockMonoBitmap = nullptr;
  if (SmCaptionFont) DeleteObject(SmCaptionFont);
  SmCaptionFont = nullptr;
}

inline int R8(uint32_t p) { return (p >> 16) & 0xFF; }
inline int G8(uint32_t p) { return (p >> 8) & 0xFF; }
inline int B8(uint32_t p) { return p & 0xFF; }
inline uint32_t Pix(int r, int g, int b) {
  return (static_cast<uint32_t>(r) << 16) | (static_cast<uint32_t>(g) << 8) | static_cast<uint32_t>(b);
}
// A TColor (0x00BBGGRR, resolved) as a DIB pixel (0x00RRGGBB).
uint32_t ColorToPix(TColor C) {
  COLORREF c = ColorToRef(C);
  return Pix(GetRValue(c), GetGValue(c), GetBValue(c));
}

// Draws the image over a key colour and the background into the stock
// bitmaps, calls Fn(background, image) for every pixel the image covers,
// writes the results back to the canvas.
template <class F>
void ProcessIcon(TCanvas* Canvas, const RECT& R, TCustomImageList* IL, int Index, bool Enabled, F Fn) {
  if (!IL || Index < 0) return;
  int w = std::min<int>(R.right - R.left, IL->GetWidth());
  int h = std::min<int>(R.bottom - R.top, IL->GetHeight());
  if (w <= 0 || h <= 0) return;
  HDC dst = Canvas->GetHandle();
  StockBitmap1.Resize(w, h);
  StockBitmap2.Resize(w, h);
  if (!StockBitmap1.Bits || !StockBitmap2.Bits) return;
  HDC mem = CreateCompatibleDC(dst);
  HGDIOBJ old = SelectObject(mem, StockBitmap1.Handle);
  BitBlt(mem, 0, 0, w, h, dst, R.left, R.top, SRCCOPY);
  SelectObject(mem, StockBitmap2.Handle);
  GdiFlush();
  FillLongword(StockBitmap2.Bits, w * h, kKey);
  if (Enabled)
    ImageList_Draw(IL->GetHandle(), Index, mem, 0, 0, ILD_NORMAL);
  else
    ImageList_DrawEx(IL->GetHandle(), Index, mem, 0, 0, 0, 0, CLR_NONE, CLR_NONE, ILD_NORMAL);
  GdiFlush();
  for (int i = 0; i < w * h; ++i) {
    uint32_t img = StockBitmap2.Bits[i] & 0xFFFFFF;
    if (img == kKey) continue;
    StockBitmap1.Bits[i] = Fn(StockBitmap1.Bits[i] & 0xFFFFFF, img) & 0xFFFFFF;
  }
  SelectObject(mem, StockBitmap1.Handle);
  BitBlt(dst, R.left, R.top, w, h, mem, 0, 0, SRCCOPY);
  SelectObject(mem, old);
  DeleteDC(mem);
}

inline int Lum(uint32_t p) { return 76 * R8(p) + 150 * G8(p) + 29 * B8(p); }
}  // namespace

void TSkinStockBitmap::Resize(int W, int H) {
  if (W <= Width && H <= Height && Handle && W == Width) return;
  if (Handle && W == Width && H == Height) return;
  Free();
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = W;
  bi.bmiHeader.biHeight = -H;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  Handle = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  Bits = static_cast<uint32_t*>(bits);
  Width = Handle ? W : 0;
  Height = Handle ? H : 0;
}

void TSkinStockBitmap::Free() {
  if (Handle) DeleteObject(Handle);
  Handle = nullptr;
  Bits = nullptr;
  Width = Height = 0;
}

void InitSkinUtils() {
  if (g_inited) return;
  g_inited = true;
  SetSkinSysColorProc(&WinSysColor);
  MakeStock();
  if (HMODULE u = GetModuleHandleW(L"user32.dll"))
    SkinUpdateLayeredWindow =
        reinterpret_cast<TUpdateLayeredWindow>(reinterpret_cast<void*>(GetProcAddress(u, "UpdateLayeredWindow")));
  g_msimg = LoadLibraryW(L"msimg32.dll");
  if (g_msimg)
    SkinAlphaBlend = reinterpret_cast<TAlphaBlend>(reinterpret_cast<void*>(GetProcAddress(g_msimg, "AlphaBlend")));
}

void FreeSkinUtils() {
  if (!g_inited) return;
  g_inited = false;
  SkinAlphaBlend = nullptr;
  SkinUpdateLayeredWindow = nullptr;
  if (g_msimg) FreeLibrary(g_msimg);
  g_msimg = nullptr;
  FreeStock();
}

void RecreateStock() {
  InitSkinUtils();
  FreeStock();
  MakeStock();
}

HDC StockCompatibleDC() {
  InitSkinUtils();
  return g_compatDC;
}

bool SkinIsNT5OrLater() {
  DWORD v = GetVersion();
  return !(v & 0x80000000u) && LOBYTE(LOWORD(v)) >= 5;
}

TColor NearestMixedColor(TColor C1, TColor C2, int W) {
  TColor m = MixColors(C1, C2, W);
  HDC dc = StockCompatibleDC();
  if (!dc) return m;
  return static_cast<TColor>(GetNearestColor(dc, static_cast<COLORREF>(m)) & 0xFFFFFF);
}

// ---- rectangles and lines ---------------------------------------------------------
bool FillRectEx2(HDC DC, const RECT& R, TColor Color) {
  if (Color == clNone) return false;
  if (Color < 0) {
    FillRect(DC, &R, GetSysColorBrush(Color & 0xFF));
  } else {
    HBRUSH b = CreateSolidBrush(static_cast<COLORREF>(Color & 0xFFFFFF));
    FillRect(DC, &R, b);
    DeleteObject(b);
  }
  return true;
}

bool FillRectEx(TCanvas* Canvas, const RECT& R, TColor Color) { return FillRectEx2(Canvas->GetHandle(), R, Color); }

bool FrameRectEx(TCanvas* Canvas, RECT& R, TColor Color, bool Adjust) {
  bool drawn = false;
  if (Color != clNone) {
    HDC dc = Canvas->GetHandle();
    if (Color < 0) {
      FrameRect(dc, &R, GetSysColorBrush(Color & 0xFF));
    } else {
      HBRUSH b = CreateSolidBrush(static_cast<COLORREF>(Color & 0xFFFFFF));
      FrameRect(dc, &R, b);
      DeleteObject(b);
    }
    drawn = true;
  }
  if (Adjust) InflateRect(&R, -1, -1);
  return drawn;
}

bool DrawLineEx(TCanvas* Canvas, int X1, int Y1, int X2, int Y2, TColor Color) {
  if (Color == clNone) return false;
  HDC dc = Canvas->GetHandle();
  HPEN p = CreatePen(PS_SOLID, 1, ColorToRef(Color));
  HGDIOBJ o = SelectObject(dc, p);
  MoveToEx(dc, X1, Y1, nullptr);
  LineTo(dc, X2, Y2);
  SelectObject(dc, o);
  DeleteObject(p);
  return true;
}

void Frame3D(TCanvas* Canvas, RECT& R, TColor TopLeft, TColor BottomRight) {
  HDC dc = Canvas->GetHandle();
  R.right -= 1;
  R.bottom -= 1;
  auto line = [&](TColor c, POINT a, POINT b, POINT d) {
    HPEN p = CreatePen(PS_SOLID, 1, ColorToRef(c));
    HGDIOBJ o = SelectObject(dc, p);
    POINT pts[3] = {a, b, d};
    Polyline(dc, pts, 3);
    SelectObject(dc, o);
    DeleteObject(p);
  };
  line(TopLeft, POINT{R.left, R.bottom}, POINT{R.left, R.top}, POINT{R.right, R.top});
  line(BottomRight, POINT{R.right, R.top}, POINT{R.right, R.bottom}, POINT{R.left - 1, R.bottom});
  R.left += 1;
  R.top += 1;
}

void DitherRect(TCanvas* Canvas, const RECT& R, TColor C1, TColor C2) {
  BarDitherRect(Canvas->GetHandle(), R, ColorToRef(C1), ColorToRef(C2));
}

void DrawDraggingOutline(HDC DC, const RECT* NewRect, const RECT* OldRect) {
  SIZE s{3, 2};
  DrawHalftoneInvertRect(DC, NewRect, OldRect, s, s);
}

void FillLongword(uint32_t* P, int Count, uint32_t Value) {
  if (!P) return;
  for (int i = 0; i < Count; ++i) P[i] = Value;
}

void MoveLongword(const uint32_t* Source, uint32_t* Dest, int Count) {
  if (Source == Dest || Count <= 0) return;
  std::memmove(Dest, Source, static_cast<size_t>(Count) * sizeof(uint32_t));
}

void GetClientSizeEx(TWinControl* Control, SIZE& Size) {
  RECT r{};
  auto* f = dynamic_cast<TCustomForm*>(Control);
  HWND mdiClient = nullptr;
  if (f && f->GetFormStyle() == fsMDIForm && !Control->GetComponentState().Contains(csDesigning))
    mdiClient = f->ClientHandle();
  if (mdiClient) {
    GetWindowRect(mdiClient, &r);
  } else if (Control->HandleAllocated()) {
    ::GetClientRect(Control->GetHandle(), &r);
  } else {
    r = RECT{0, 0, Control->GetClientWidth(), Control->GetClientHeight()};
  }
  Size = SIZE{r.right - r.left, r.bottom - r.top};
}

// ---- images -------------------------------------------------------------------------
void DrawSkinIcon(TCanvas* Canvas, const RECT& R, TCustomImageList* IL, int Index, bool HiContrast) {
  if (!IL || Index < 0) return;
  if (!HiContrast) {
    IL->Draw(Canvas, R.left, R.top, Index, true);
    return;
  }
  ProcessIcon(Canvas, R, IL, Index, true, [](uint32_t, uint32_t p) {
    int l = Lum(p);
    uint32_t q = l >= 64769 ? 0 : (l < 25600 ? 0xFFFFFF : p);
    auto c = [](int v) { return std::min(255, v + 32); };
    return Pix(c(R8(q)), c(G8(q)), c(B8(q)));
  });
}

void BlendSkinIcon(TCanvas* Canvas, const RECT& R, TCustomImageList* IL, int Index, int Opacity) {
  int o = std::clamp(Opacity, 0, 255);
  ProcessIcon(Canvas, R, IL, Index, true, [o](uint32_t bg, uint32_t img) {
    auto f = [o](int i, int b) { return (i * o + b * (255 - o)) >> 8; };
    return Pix(f(R8(img), R8(bg)), f(G8(img), G8(bg)), f(B8(img), B8(bg)));
  });
}

void HighlightSkinIcon(TCanvas* Canvas, const RECT& R, TCustomImageList* IL, int Index, TColor Color,
                       int Opacity) {
  int o = std::clamp(Opacity, 0, 255);
  uint32_t c = ColorToPix(Color);
  ProcessIcon(Canvas, R, IL, Index, true, [o, c](uint32_t, uint32_t img) {
    auto f = [o](int i, int b) { return (i * o + b * (255 - o)) >> 8; };
    return Pix(f(R8(img), R8(c)), f(G8(img), G8(c)), f(B8(img), B8(c)));
  });
}

void DrawSkinIconShadow(TCanvas* Canvas, const RECT& R, TCustomImageList* IL, int Index, int Depth) {
  if (Depth < 0 || Depth > 2) throw ESkinAssertion(L"Shadow depth out of range (SkinUtils)");
  static const int D[3] = {3, 8, 20}, O[3] = {170, 224, 243};
  int d = D[Depth], off = O[Depth];
  ProcessIcon(Canvas, R, IL, Index, true, [d, off](uint32_t bg, uint32_t img) {
    int f = ((Lum(img) >> 8) / d) + off;
    auto s = [f](int v) { return std::min(255, (v * f) >> 8); };
    return Pix(s(R8(bg)), s(G8(bg)), s(B8(bg)));
  });
}

void DrawSkinIconFlatShadow(TCanvas* Canvas, const RECT& R, TCustomImageList* IL, int Index, TColor Color) {
  uint32_t c = ColorToPix(Color);
  ProcessIcon(Canvas, R, IL, Index, true,
              [c](uint32_t bg, uint32_t img) { return Lum(img) < 46081 ? c : bg; });
}

void DrawSkinIconFullShadow(TCanvas* Canvas, const RECT& R, TCustomImageList* IL, int Index, TColor Color) {
  uint32_t c = ColorToPix(Color);
  ProcessIcon(Canvas, R, IL, Index, true, [c](uint32_t, uint32_t) { return c; });
}

void FillTriangle(HDC DC, const POINT* P, TColor Color) {
  HPEN pen = CreatePen(PS_SOLID, 1, ColorToRef(Color));
  HBRUSH br = CreateSolidBrush(ColorToRef(Color));
  HGDIOBJ op = SelectObject(DC, pen), ob = SelectObject(DC, br);
  Polygon(DC, P, 3);
  SelectObject(DC, op);
  SelectObject(DC, ob);
  DeleteObject(pen);
  DeleteObject(br);
}

void DrawSkinPattern(HDC DC, const uint8_t* Rows, int X, int Y, int W, int H, int SysColorIndex) {
  WORD bits[8];
  // With text colour black and background white a set bit is white in
  // the target's terms, and rop 0xE20746 puts the brush exactly there.
  for (int i = 0; i < 8; ++i) bits[i] = static_cast<WORD>(Rows[i]);
  HBITMAP bmp = CreateBitmap(8, 8, 1, 1, bits);
  HDC mem = CreateCompatibleDC(DC);
  HGDIOBJ ob = SelectObject(mem, bmp);
  COLORREF ot = SetTextColor(DC, RGB(0, 0, 0));
  COLORREF obk = SetBkColor(DC, RGB(255, 255, 255));
  HGDIOBJ obr = SelectObject(DC, GetSysColorBrush(SysColorIndex));
  BitBlt(DC, X, Y, W, H, mem, 0, 0, 0x00E20746);
  SelectObject(DC, obr);
  SetTextColor(DC, ot);
  SetBkColor(DC, obk);
  SelectObject(mem, ob);
  DeleteDC(mem);
  DeleteObject(bmp);
}

// ---- drop shadows -------------------------------------------------------------------------
namespace {
const wchar_t kShadowClass[] = L"ZembrioSkinShadow";
const wchar_t kShadowSaveBitsClass[] = L"ZembrioSkinShadowSaveBits";
// A live window's class can't change: a strip with the save-bits flag is
// made from a class of its own.
void RegisterShadowClasses() {
  static bool done = false;
  if (done) return;
  done = true;
  for (bool saveBits : {false, true}) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = saveBits ? CS_SAVEBITS : 0;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = saveBits ? kShadowSaveBitsClass : kShadowClass;
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.lpfnWndProc = DefWindowProcW;  // replaced per window
    RegisterClassExW(&wc);
  }
}
}  // namespace

TShadow::TShadow(const RECT& R, uint8_t Opacity, bool LoColor, unsigned Edges, bool Vertical)
    : bounds_(R), opacity_(Opacity), edges_(Edges), vertical_(Vertical) {
  InitSkinUtils();
  if (LoColor)
    style_ = ssFlat;
  else if (SkinIsNT5OrLater() && SkinUpdateLayeredWindow)
    style_ = ssLayered;
  else if (SkinAlphaBlend)
    style_ = ssAlphaBlend;
  else
    style_ = ssFlat;
}

// The window is made when the strip is first shown, once its save-bits flag
// is known; a rendered strip takes its picture along.
void TShadow::CreateStripWindow() {
  RegisterShadowClasses();
  HWND owner = Application && Application->Handle() ? Application->Handle() : nullptr;
  const RECT& R = bounds_;
  wnd_ = CreateWindowExW(WS_EX_TOOLWINDOW | (style_ == ssLayered ? WS_EX_LAYERED : 0),
                         saveBits_ ? kShadowSaveBitsClass : kShadowClass, L"", WS_POPUP, R.left, R.top,
                         R.right - R.left, R.bottom - R.top, owner, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!wnd_) return;
  SetWindowLongPtrW(wnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  SetWindowLongPtrW(wnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TShadow::WndProc));
  if (rendered_) UpdateLayered();
}

void TShadow::DestroyStripWindow() {
  if (!wnd_) return;
  SetWindowLongPtrW(wnd_, GWLP_USERDATA, 0);
  DestroyWindow(wnd_);
  wnd_ = nullptr;
}

TShadow::~TShadow() { DestroyStripWindow(); }

void THorzShadow::FillBuffer(uint32_t* Pixels, int W, int H) { FillHorzShadowBuffer(Pixels, W, H, Edges()); }

void TVertShadow::FillBuffer(uint32_t* Pixels, int W, int H) { FillVertShadowBuffer(Pixels, W, H, Edges()); }

void TShadow::Render() {
  if (style_ != ssLayered) return;
  rendered_ = true;
  if (wnd_) UpdateLayered();
}

void TShadow::UpdateLayered() {
  int w = bounds_.right - bounds_.left, h = bounds_.bottom - bounds_.top;
  if (w <= 0 || h <= 0) return;
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HDC screen = GetDC(nullptr);
  HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bmp && bits) {
    FillBuffer(static_cast<uint32_t*>(bits), w, h);
    HDC mem = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(mem, bmp);
    POINT pos{bounds_.left, bounds_.top}, src{0, 0};
    SIZE size{w, h};
    BLENDFUNCTION bf{AC_SRC_OVER, 0, opacity_, AC_SRC_ALPHA};
    SkinUpdateLayeredWindow(wnd_, screen, &pos, &size, mem, &src, 0, &bf, ULW_ALPHA);
    SelectObject(mem, old);
    DeleteDC(mem);
  }
  if (bmp) DeleteObject(bmp);
  ReleaseDC(nullptr, screen);
}

void TShadow::EraseBackground(HDC DC) {
  int w = bounds_.right - bounds_.left, h = bounds_.bottom - bounds_.top;
  if (style_ == ssAlphaBlend && SkinAlphaBlend && w > 0 && h > 0) {
    ProcessPaintMessages();
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(DC, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bmp && bits) {
      FillBuffer(static_cast<uint32_t*>(bits), w, h);
      HDC mem = CreateCompatibleDC(DC);
      HGDIOBJ old = SelectObject(mem, bmp);
      BLENDFUNCTION bf{AC_SRC_OVER, 0, opacity_, AC_SRC_ALPHA};
      SkinAlphaBlend(DC, 0, 0, w, h, mem, 0, 0, w, h, bf);
      SelectObject(mem, old);
      DeleteDC(mem);
    }
    if (bmp) DeleteObject(bmp);
    return;
  }
  RECT r{0, 0, w, h};
  FillRect(DC, &r, GetSysColorBrush(COLOR_BTNSHADOW));
}

LRESULT CALLBACK TShadow::WndProc(HWND Wnd, UINT Msg, WPARAM W, LPARAM L) {
  auto* self = reinterpret_cast<TShadow*>(GetWindowLongPtrW(Wnd, GWLP_USERDATA));
  try {
    switch (Msg) {
      case WM_NCHITTEST:
        return HTTRANSPARENT;
      case WM_ERASEBKGND:
        if (self) self->EraseBackground(reinterpret_cast<HDC>(W));
        return 1;
      case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(Wnd, &ps);
        EndPaint(Wnd, &ps);
        return 0;
      }
      default:
        break;
    }
  } catch (...) {
    if (Application) Application->HandleException(nullptr);
    return 0;
  }
  return DefWindowProcW(Wnd, Msg, W, L);
}

void TShadow::Show(HWND InsertAfter) {
  if (!wnd_) CreateStripWindow();
  if (!wnd_) return;
  SetWindowPos(wnd_, InsertAfter, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER | SWP_NOSENDCHANGING |
                   SWP_SHOWWINDOW);
}

void TShadow::SetSaveBits(bool Value) {
  if (saveBits_ == Value) return;
  saveBits_ = Value;
  if (!wnd_) return;
  // Made again from the other class, in the same place in the z-order.
  const bool shown = IsWindowVisible(wnd_) != FALSE;
  HWND above = GetWindow(wnd_, GW_HWNDPREV);
  DestroyStripWindow();
  CreateStripWindow();
  if (shown) Show(above ? above : HWND_TOP);
}

TShadows::TShadows(const RECT& R1, const RECT& R2, int Size, uint8_t Opacity, bool LoColor) {
  InitSkinUtils();
  if (LoColor || (!SkinUpdateLayeredWindow && !SkinAlphaBlend)) Size /= 2;
  auto conv = [](const RECT& r) { return TSkinRect{r.left, r.top, r.right, r.bottom}; };
  auto strips = BuildShadowStrips(conv(R1), conv(R2), Size);
  for (size_t i = 0; i < strips.size() && i < 6; ++i) {
    const auto& s = strips[i];
    RECT r{s.Bounds.Left, s.Bounds.Top, s.Bounds.Right, s.Bounds.Bottom};
    if (s.Vertical)
      strips_[i].reset(new TVertShadow(r, Opacity, LoColor, s.Edges));
    else
      strips_[i].reset(new THorzShadow(r, Opacity, LoColor, s.Edges));
  }
  for (auto& s : strips_)
    if (s) s->Render();
  SetSaveBits(true);
}

TShadows::~TShadows() {
  for (int i = 5; i >= 0; --i) strips_[i].reset();
}

void TShadows::Show(HWND InsertAfter) {
  for (auto& s : strips_)
    if (s) s->Show(InsertAfter);
}

void TShadows::SetSaveBits(bool Value) {
  saveBits_ = Value;
  for (auto& s : strips_)
    if (s) s->SetSaveBits(Value);
}

int TShadows::Count() const {
  int n = 0;
  for (auto& s : strips_)
    if (s) ++n;
  return n;
}
