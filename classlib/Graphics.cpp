#include "classlib/Graphics.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

// ---------------------------------------------------------------------------
namespace {
// The system colours read so far; bit 24 marks a colour as read.
std::atomic<uint32_t> sysColors[256];
}  // namespace

TColor ColorToRGB(TColor c) {
  if (c >= 0) return c;
  const unsigned index = unsigned(c) & 0xFF;
  uint32_t v = sysColors[index].load(std::memory_order_relaxed);
  if (!(v & 0x1000000)) {
    v = GetSysColor(int(index)) | 0x1000000;
    sysColors[index].store(v, std::memory_order_relaxed);
  }
  return static_cast<TColor>(v & 0xFFFFFF);
}

void RefreshSystemColors() {
  for (auto& v : sysColors) v.store(0, std::memory_order_relaxed);
}

int ScreenPixelsPerInch() {
  static int ppi = 0;
  if (!ppi) {
    HDC dc = GetDC(nullptr);
    ppi = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
    if (dc) ReleaseDC(nullptr, dc);
    if (ppi <= 0) ppi = 96;
  }
  return ppi;
}

void TGraphicsObject::Changed() {
  if (OnChange) OnChange(this);
  // Listeners have deselected the old handle by now.
  if (stale_) DeleteObject(stale_);
  stale_ = nullptr;
}

TGraphicsObject::~TGraphicsObject() {
  if (stale_) DeleteObject(stale_);
}

void TGraphicsObject::Retire(HGDIOBJ h) {
  if (!h) return;
  if (stale_) DeleteObject(stale_);
  stale_ = h;
}

// ---------------------------------------------------------------------------
// Font handles are shared: one per distinct description, counted by the
// font objects that use it and deleted when the last of them lets go.
namespace {

struct TFontEntry {
  LOGFONTW Data;
  HFONT Handle;
  int Users;
};

class TFontHandles {
 public:
  HFONT Acquire(const LOGFONTW& lf) {
    std::lock_guard<std::mutex> lock(lock_);
    for (TFontEntry& e : fonts_)
      if (std::memcmp(&e.Data, &lf, sizeof lf) == 0) {
        ++e.Users;
        return e.Handle;
      }
    HFONT h = CreateFontIndirectW(&lf);
    if (!h) return nullptr;
    fonts_.push_back(TFontEntry{lf, h, 1});
    return h;
  }
  // True when H has no users left (the caller deletes it).
  bool Release(HFONT H) {
    std::lock_guard<std::mutex> lock(lock_);
    for (size_t i = 0; i < fonts_.size(); ++i)
      if (fonts_[i].Handle == H) {
        if (--fonts_[i].Users > 0) return false;
        fonts_[i] = fonts_.back();
        fonts_.pop_back();
        return true;
      }
    return false;  // not a shared handle (the stock font)
  }

 private:
  std::mutex lock_;
  std::vector<TFontEntry> fonts_;
};

// Never destroyed: font objects of static lifetime may let go of their
// handles after the end of main.
TFontHandles& FontHandles() {
  static TFontHandles* handles = new TFontHandles;
  return *handles;
}

}  // namespace

TFont::TFont() : pixelsPerInch_(ScreenPixelsPerInch()) {
  height_ = -MulDiv(8, pixelsPerInch_, 72);
}

TFont::~TFont() {
  if (handle_ && FontHandles().Release(handle_)) DeleteObject(handle_);
}

void TFont::FreeHandle() {
  // Deleted once the listeners have deselected it, if nobody else uses it.
  if (handle_ && FontHandles().Release(handle_)) Retire(handle_);
  handle_ = nullptr;
}

void TFont::Assign(const TFont& src) {
  if (&src == this) return;
  if (SameAs(src) && color_ == src.color_) return;
  FreeHandle();
  name_ = src.name_;
  height_ = src.height_;
  style_ = src.style_;
  color_ = src.color_;
  charset_ = src.charset_;
  pitch_ = src.pitch_;
  if (src.pixelsPerInch_ != pixelsPerInch_ && src.pixelsPerInch_ > 0)
    height_ = MulDiv(height_, pixelsPerInch_, src.pixelsPerInch_);
  Changed();
}

bool TFont::SameAs(const TFont& o) const {
  return name_ == o.name_ && height_ == o.height_ && style_ == o.style_ &&
         charset_ == o.charset_ && pitch_ == o.pitch_ && color_ == o.color_;
}

void TFont::GetLogFont(LOGFONTW& lf) const {
  std::memset(&lf, 0, sizeof lf);
  lf.lfHeight = height_;
  lf.lfWeight = style_.Contains(fsBold) ? FW_BOLD : FW_NORMAL;
  lf.lfItalic = style_.Contains(fsItalic);
  lf.lfUnderline = style_.Contains(fsUnderline);
  lf.lfStrikeOut = style_.Contains(fsStrikeOut);
  lf.lfCharSet = charset_;
  lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
  lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  lf.lfQuality = DEFAULT_QUALITY;
  lf.lfPitchAndFamily = BYTE(pitch_ == fpFixed ? int(FIXED_PITCH) : pitch_ == fpVariable ? int(VARIABLE_PITCH) : int(DEFAULT_PITCH));
  size_t n = std::min<size_t>(name_.size(), LF_FACESIZE - 1);
  std::memcpy(lf.lfFaceName, name_.data(), n * sizeof(wchar_t));
  lf.lfFaceName[n] = 0;
}

HFONT TFont::GetHandle() {
  if (!handle_) {
    LOGFONTW lf;
    GetLogFont(lf);
    handle_ = FontHandles().Acquire(lf);
    if (!handle_) handle_ = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  }
  return handle_;
}

void TFont::SetHandle(HFONT font) {
  LOGFONTW lf{};
  if (!font || !GetObjectW(font, sizeof lf, &lf)) return;
  FreeHandle();
  name_ = lf.lfFaceName;
  height_ = lf.lfHeight;
  style_ = TFontStyles();
  if (lf.lfWeight >= FW_BOLD) style_ += fsBold;
  if (lf.lfItalic) style_ += fsItalic;
  if (lf.lfUnderline) style_ += fsUnderline;
  if (lf.lfStrikeOut) style_ += fsStrikeOut;
  charset_ = lf.lfCharSet;
  pitch_ = (lf.lfPitchAndFamily & 3) == FIXED_PITCH ? fpFixed
           : (lf.lfPitchAndFamily & 3) == VARIABLE_PITCH ? fpVariable : fpDefault;
  Changed();
}

void TFont::SetName(const String& v) {
  if (v.empty() || v == name_) return;
  FreeHandle();
  name_ = v;
  Changed();
}

int TFont::GetSize() const { return -MulDiv(height_, 72, pixelsPerInch_); }

void TFont::SetSize(int points) { SetHeight(-MulDiv(points, pixelsPerInch_, 72)); }

void TFont::SetHeight(int h) {
  if (h == height_) return;
  FreeHandle();
  height_ = h;
  Changed();
}

void TFont::SetStyle(TFontStyles s) {
  if (s == style_) return;
  FreeHandle();
  style_ = s;
  Changed();
}

void TFont::SetColor(TColor c) {
  if (c == color_) return;
  color_ = c;
  Changed();
}

void TFont::SetCharset(TFontCharset c) {
  if (c == charset_) return;
  FreeHandle();
  charset_ = c;
  Changed();
}

void TFont::SetPitch(TFontPitch p) {
  if (p == pitch_) return;
  FreeHandle();
  pitch_ = p;
  Changed();
}

// ---------------------------------------------------------------------------
TPen::~TPen() {
  if (handle_) DeleteObject(handle_);
}

void TPen::FreeHandle() {
  Retire(handle_);
  handle_ = nullptr;
}

void TPen::Assign(const TPen& src) {
  if (&src == this) return;
  FreeHandle();
  color_ = src.color_;
  width_ = src.width_;
  style_ = src.style_;
  mode_ = src.mode_;
  Changed();
}

HPEN TPen::GetHandle() {
  if (!handle_) {
    static const int styles[] = {PS_SOLID, PS_DASH, PS_DOT, PS_DASHDOT, PS_DASHDOTDOT, PS_NULL, PS_INSIDEFRAME};
    handle_ = CreatePen(styles[style_], width_, ColorToRef(color_));
  }
  return handle_;
}

void TPen::SetColor(TColor c) {
  if (c == color_) return;
  FreeHandle();
  color_ = c;
  Changed();
}

void TPen::SetWidth(int w) {
  if (w < 0 || w == width_) return;
  FreeHandle();
  width_ = w;
  Changed();
}

void TPen::SetStyle(TPenStyle s) {
  if (s == style_) return;
  FreeHandle();
  style_ = s;
  Changed();
}

void TPen::SetMode(TPenMode m) {
  if (m == mode_) return;
  mode_ = m;
  Changed();
}

// ---------------------------------------------------------------------------
TBrush::~TBrush() {
  if (handle_) DeleteObject(handle_);
}

void TBrush::FreeHandle() {
  Retire(handle_);
  handle_ = nullptr;
}

void TBrush::Assign(const TBrush& src) {
  if (&src == this) return;
  FreeHandle();
  color_ = src.color_;
  style_ = src.style_;
  if (src.bitmap_) {
    bitmap_ = std::make_unique<TBitmap>();
    bitmap_->Assign(*src.bitmap_);
  } else {
    bitmap_.reset();
  }
  Changed();
}

HBRUSH TBrush::GetHandle() {
  if (!handle_) {
    if (bitmap_ && !bitmap_->Empty()) {
      handle_ = CreatePatternBrush(bitmap_->GetHandle());
    } else if (style_ == bsClear) {
      LOGBRUSH lb{BS_NULL, 0, 0};
      handle_ = CreateBrushIndirect(&lb);
    } else if (style_ == bsSolid) {
      handle_ = CreateSolidBrush(ColorToRef(color_));
    } else {
      static const int hatch[] = {0, 0, HS_HORIZONTAL, HS_VERTICAL, HS_FDIAGONAL, HS_BDIAGONAL, HS_CROSS, HS_DIAGCROSS};
      handle_ = CreateHatchBrush(hatch[style_], ColorToRef(color_));
    }
  }
  return handle_;
}

void TBrush::SetColor(TColor c) {
  if (c == color_ && style_ != bsClear) return;
  FreeHandle();
  color_ = c;
  if (style_ == bsClear) style_ = bsSolid;
  Changed();
}

void TBrush::SetStyle(TBrushStyle s) {
  if (s == style_) return;
  FreeHandle();
  style_ = s;
  Changed();
}

void TBrush::SetBitmap(TBitmap* bmp) {
  FreeHandle();
  if (bmp) {
    bitmap_ = std::make_unique<TBitmap>();
    bitmap_->Assign(*bmp);
  } else {
    bitmap_.reset();
  }
  Changed();
}

// ---------------------------------------------------------------------------
TCanvas::TCanvas()
    : font_(std::make_unique<TFont>()), pen_(std::make_unique<TPen>()), brush_(std::make_unique<TBrush>()) {
  InitializeCriticalSection(&lock_);
  font_->OnChange = TNotifyEvent(this, &TCanvas::FontChanged);
  pen_->OnChange = TNotifyEvent(this, &TCanvas::PenChanged);
  brush_->OnChange = TNotifyEvent(this, &TCanvas::BrushChanged);
}

TCanvas::~TCanvas() {
  AttachDC(nullptr);
  DeleteCriticalSection(&lock_);
}

HDC TCanvas::GetHandle() {
  if (!dc_) CreateHandle();
  if (!dc_) throw EInvalidOperation(L"Canvas does not allow drawing");
  return dc_;
}

void TCanvas::SetHandle(HDC dc) { AttachDC(dc); }

void TCanvas::AttachDC(HDC dc) {
  if (dc_ == dc) return;
  if (dc_) DeselectHandles();
  dc_ = dc;
  state_ = dc ? TCanvasState(csHandleValid) : TCanvasState(0);
}

void TCanvas::DeselectHandles() {
  if (dc_) {
    if (oldFont_) SelectObject(dc_, oldFont_);
    if (oldPen_) SelectObject(dc_, oldPen_);
    if (oldBrush_) SelectObject(dc_, oldBrush_);
  }
  oldFont_ = oldPen_ = oldBrush_ = nullptr;
  state_ &= ~(csFontValid | csPenValid | csBrushValid);
}

void TCanvas::Refresh() { DeselectHandles(); }

void TCanvas::FontChanged(TObject*) {
  if (state_ & csFontValid) {
    // The old font may be freed now: select the stock one first.
    if (dc_) SelectObject(dc_, GetStockObject(SYSTEM_FONT));
    state_ &= ~csFontValid;
  }
}

void TCanvas::PenChanged(TObject*) {
  if (state_ & csPenValid) {
    if (dc_) SelectObject(dc_, GetStockObject(BLACK_PEN));
    state_ &= ~csPenValid;
  }
}

void TCanvas::BrushChanged(TObject*) {
  if (state_ & csBrushValid) {
    if (dc_) SelectObject(dc_, GetStockObject(WHITE_BRUSH));
    state_ &= ~csBrushValid;
  }
}

void TCanvas::SelectFont() {
  HGDIOBJ old = SelectObject(dc_, font_->GetHandle());
  if (!oldFont_) oldFont_ = old;
  SetTextColor(dc_, ColorToRef(font_->GetColor()));
}

void TCanvas::SelectPen() {
  HGDIOBJ old = SelectObject(dc_, pen_->GetHandle());
  if (!oldPen_) oldPen_ = old;
  static const int rop2[] = {R2_BLACK, R2_WHITE, R2_NOP, R2_NOT, R2_COPYPEN, R2_NOTCOPYPEN,
                             R2_MERGEPENNOT, R2_MASKPENNOT, R2_MERGENOTPEN, R2_MASKNOTPEN, R2_MERGEPEN,
                             R2_NOTMERGEPEN, R2_MASKPEN, R2_NOTMASKPEN, R2_XORPEN, R2_NOTXORPEN};
  SetROP2(dc_, rop2[pen_->GetMode()]);
}

void TCanvas::SelectBrush() {
  HGDIOBJ old = SelectObject(dc_, brush_->GetHandle());
  if (!oldBrush_) oldBrush_ = old;
  SetBkColor(dc_, ColorToRef(brush_->GetColor()));
  SetBkMode(dc_, brush_->GetStyle() == bsSolid ? OPAQUE : TRANSPARENT);
}

void TCanvas::RequiredState(TCanvasState req) {
  if (!dc_) CreateHandle();
  if (!dc_) throw EInvalidOperation(L"Canvas does not allow drawing");
  TCanvasState need = req & ~state_;
  if (need & csFontValid) SelectFont();
  if (need & csPenValid) SelectPen();
  if (need & csBrushValid) SelectBrush();
  state_ |= req;
}

void TCanvas::Changing() {
  if (OnChanging) OnChanging(this);
}

void TCanvas::Changed() {
  if (OnChange) OnChange(this);
}

TPoint TCanvas::GetPenPos() {
  RequiredState(csHandleValid);
  POINT p;
  GetCurrentPositionEx(dc_, &p);
  return p;
}

void TCanvas::SetPenPos(TPoint p) { MoveTo(p.x, p.y); }

void TCanvas::MoveTo(int x, int y) {
  RequiredState(csHandleValid);
  MoveToEx(dc_, x, y, nullptr);
}

void TCanvas::LineTo(int x, int y) {
  Changing();
  RequiredState(csHandleValid | csPenValid | csBrushValid);
  ::LineTo(dc_, x, y);
  Changed();
}

void TCanvas::Rectangle(int l, int t, int r, int b) {
  Changing();
  RequiredState(csHandleValid | csPenValid | csBrushValid);
  ::Rectangle(dc_, l, t, r, b);
  Changed();
}

void TCanvas::RoundRect(int l, int t, int r, int b, int w, int h) {
  Changing();
  RequiredState(csHandleValid | csPenValid | csBrushValid);
  ::RoundRect(dc_, l, t, r, b, w, h);
  Changed();
}

void TCanvas::Ellipse(int l, int t, int r, int b) {
  Changing();
  RequiredState(csHandleValid | csPenValid | csBrushValid);
  ::Ellipse(dc_, l, t, r, b);
  Changed();
}

void TCanvas::Polygon(const TPoint* pts, int count) {
  if (count <= 0) return;
  Changing();
  RequiredState(csHandleValid | csPenValid | csBrushValid);
  ::Polygon(dc_, pts, count);
  Changed();
}

void TCanvas::Polyline(const TPoint* pts, int count) {
  if (count <= 0) return;
  Changing();
  RequiredState(csHandleValid | csPenValid | csBrushValid);
  ::Polyline(dc_, pts, count);
  Changed();
}

void TCanvas::FillRect(const TRect& r) {
  Changing();
  RequiredState(csHandleValid | csBrushValid);
  ::FillRect(dc_, &r, brush_->GetHandle());
  Changed();
}

void TCanvas::FrameRect(const TRect& r) {
  Changing();
  RequiredState(csHandleValid | csBrushValid);
  ::FrameRect(dc_, &r, brush_->GetHandle());
  Changed();
}

void TCanvas::DrawFocusRect(const TRect& r) {
  Changing();
  RequiredState(csHandleValid | csBrushValid);
  ::DrawFocusRect(dc_, &r);
  Changed();
}

void TCanvas::FloodFill(int x, int y, TColor c, bool surface) {
  Changing();
  RequiredState(csHandleValid | csBrushValid);
  ExtFloodFill(dc_, x, y, ColorToRef(c), surface ? FLOODFILLSURFACE : FLOODFILLBORDER);
  Changed();
}

void TCanvas::TextOut(int x, int y, const String& text) {
  Changing();
  RequiredState(csHandleValid | csFontValid | csBrushValid);
  ExtTextOutW(dc_, x, y, UINT(textFlags_), nullptr, text.c_str(), UINT(text.size()), nullptr);
  MoveToEx(dc_, x + TextWidth(text), y, nullptr);
  Changed();
}

void TCanvas::TextRect(const TRect& r, int x, int y, const String& text) {
  Changing();
  RequiredState(csHandleValid | csFontValid | csBrushValid);
  UINT opts = ETO_CLIPPED | UINT(textFlags_);
  if (brush_->GetStyle() != bsClear) opts |= ETO_OPAQUE;
  ExtTextOutW(dc_, x, y, opts, &r, text.c_str(), UINT(text.size()), nullptr);
  Changed();
}

void TCanvas::TextRect(TRect& r, const String& text, TTextFormat f) {
  Changing();
  RequiredState(csHandleValid | csFontValid | csBrushValid);
  UINT dt = 0;
  if (f & tfBottom) dt |= DT_BOTTOM;
  if (f & tfCalcRect) dt |= DT_CALCRECT;
  if (f & tfCenter) dt |= DT_CENTER;
  if (f & tfEditControl) dt |= DT_EDITCONTROL;
  if (f & tfEndEllipsis) dt |= DT_END_ELLIPSIS;
  if (f & tfPathEllipsis) dt |= DT_PATH_ELLIPSIS;
  if (f & tfExpandTabs) dt |= DT_EXPANDTABS;
  if (f & tfNoClip) dt |= DT_NOCLIP;
  if (f & tfNoPrefix) dt |= DT_NOPREFIX;
  if (f & tfRight) dt |= DT_RIGHT;
  if (f & tfSingleLine) dt |= DT_SINGLELINE;
  if (f & tfVerticalCenter) dt |= DT_VCENTER;
  if (f & tfWordBreak) dt |= DT_WORDBREAK;
  if (!(f & tfCalcRect) && brush_->GetStyle() != bsClear) ::FillRect(dc_, &r, brush_->GetHandle());
  int old = SetBkMode(dc_, TRANSPARENT);
  DrawTextW(dc_, text.c_str(), int(text.size()), &r, dt);
  SetBkMode(dc_, old);
  Changed();
}

TSize TCanvas::TextExtent(const String& text) {
  RequiredState(csHandleValid | csFontValid);
  SIZE s{0, 0};
  GetTextExtentPoint32W(dc_, text.c_str(), int(text.size()), &s);
  return s;
}

void TCanvas::Draw(int x, int y, TGraphic* g) {
  if (!g || g->Empty()) return;
  Changing();
  RequiredState(csHandleValid);
  g->Draw(this, Bounds(x, y, g->GetWidth(), g->GetHeight()));
  Changed();
}

void TCanvas::StretchDraw(const TRect& r, TGraphic* g) {
  if (!g || g->Empty()) return;
  Changing();
  RequiredState(csHandleValid);
  g->Draw(this, r);
  Changed();
}

void TCanvas::CopyRect(const TRect& d, TCanvas* src, const TRect& s) {
  Changing();
  RequiredState(csHandleValid | csBrushValid);
  HDC sdc = src->GetHandle();
  src->RequiredState(csHandleValid | csBrushValid);
  StretchBlt(dc_, d.left, d.top, RectWidth(d), RectHeight(d), sdc, s.left, s.top, RectWidth(s), RectHeight(s),
             copyMode_);
  Changed();
}

TColor TCanvas::GetPixel(int x, int y) {
  RequiredState(csHandleValid);
  COLORREF c = ::GetPixel(dc_, x, y);
  return c == CLR_INVALID ? clNone : TColor(c);
}

void TCanvas::SetPixel(int x, int y, TColor c) {
  Changing();
  RequiredState(csHandleValid | csPenValid);
  ::SetPixel(dc_, x, y, ColorToRef(c));
  Changed();
}

TRect TCanvas::GetClipRect() {
  RequiredState(csHandleValid);
  RECT r{};
  GetClipBox(dc_, &r);
  return r;
}

void TCanvas::Lock() {
  EnterCriticalSection(&lock_);
  ++lockCount_;
}

void TCanvas::Unlock() {
  --lockCount_;
  LeaveCriticalSection(&lock_);
}

bool TCanvas::TryLock() {
  if (!TryEnterCriticalSection(&lock_)) return false;
  ++lockCount_;
  return true;
}

// ---------------------------------------------------------------------------
void TGraphic::Changed() {
  if (OnChange) OnChange(this);
}

TBitmap::TBitmap() = default;

TBitmap::TBitmap(int w, int h, TPixelFormat pf) {
  pixelFormat_ = pf;
  SetSize(w, h);
}

TBitmap::~TBitmap() {
  canvas_.reset();
  FreeImage();
}

void TBitmap::FreeImage() {
  if (canvas_) canvas_->FreeContext();
  if (handle_) DeleteObject(handle_);
  handle_ = nullptr;
  bits_ = nullptr;
  stride_ = 0;
}

int TBitmap::BitsPerPixel() const {
  switch (pixelFormat_) {
    case pf1bit: return 1;
    case pf4bit: return 4;
    case pf8bit: return 8;
    case pf15bit:
    case pf16bit: return 16;
    case pf24bit: return 24;
    case pf32bit: return 32;
    default: return 0;
  }
}

// Builds a new image of the given size and format; the old picture is
// copied into it (top-left aligned) when keepImage is set.
void TBitmap::Recreate(int w, int h, TPixelFormat pf, bool keepImage, bool notify) {
  if (w < 0 || h < 0) throw EInvalidGraphic(L"Invalid bitmap size");
  HBITMAP nb = nullptr;
  uint8_t* nbits = nullptr;
  int nstride = 0;
  if (w > 0 && h > 0) {
    TPixelFormat savePf = pixelFormat_;
    pixelFormat_ = pf;
    int bpp = BitsPerPixel();
    pixelFormat_ = savePf;
    if (bpp == 0) {
      HDC sdc = GetDC(nullptr);
      nb = CreateCompatibleBitmap(sdc, w, h);
      ReleaseDC(nullptr, sdc);
    } else {
      struct {
        BITMAPINFOHEADER h;
        RGBQUAD colors[256];
      } bi{};
      bi.h.biSize = sizeof(BITMAPINFOHEADER);
      bi.h.biWidth = w;
      bi.h.biHeight = -h;  // top-down
      bi.h.biPlanes = 1;
      bi.h.biBitCount = WORD(bpp);
      bi.h.biCompression = BI_RGB;
      if (bpp <= 8) {
        int n = 1 << bpp;
        bi.h.biClrUsed = DWORD(n);
        if (bpp == 1) {
          bi.colors[1] = RGBQUAD{255, 255, 255, 0};
        } else {
          // A gray ramp keeps low-colour images deterministic.
          for (int i = 0; i < n; ++i) {
            BYTE v = BYTE(i * 255 / (n - 1));
            bi.colors[i] = RGBQUAD{v, v, v, 0};
          }
        }
      }
      void* bits = nullptr;
      nb = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&bi), DIB_RGB_COLORS, &bits, nullptr, 0);
      nbits = static_cast<uint8_t*>(bits);
      nstride = ((w * bpp + 31) / 32) * 4;
    }
    if (!nb) throw EOutOfResources(L"Out of system resources");
    if (nbits) std::memset(nbits, 0xFF, size_t(nstride) * size_t(h));  // white, like a new bitmap
    else {
      HDC sdc = GetDC(nullptr);
      HDC mdc = CreateCompatibleDC(sdc);
      HGDIOBJ o = SelectObject(mdc, nb);
      PatBlt(mdc, 0, 0, w, h, WHITENESS);
      SelectObject(mdc, o);
      DeleteDC(mdc);
      ReleaseDC(nullptr, sdc);
    }
    if (keepImage && handle_) {
      if (canvas_) canvas_->FreeContext();
      HDC sdc = GetDC(nullptr);
      HDC a = CreateCompatibleDC(sdc);
      HDC b = CreateCompatibleDC(sdc);
      HGDIOBJ oa = SelectObject(a, handle_);
      HGDIOBJ ob = SelectObject(b, nb);
      BitBlt(b, 0, 0, std::min(w, width_), std::min(h, height_), a, 0, 0, SRCCOPY);
      SelectObject(a, oa);
      SelectObject(b, ob);
      DeleteDC(a);
      DeleteDC(b);
      ReleaseDC(nullptr, sdc);
    }
  }
  FreeImage();
  handle_ = nb;
  bits_ = nbits;
  stride_ = nstride;
  bottomUp_ = false;
  width_ = w;
  height_ = h;
  pixelFormat_ = pf;
  if (notify) Changed();
}

void TBitmap::Assign(const TBitmap& src) {
  if (&src == this) return;
  // One change notice, once the picture is copied: a handler that reads
  // this bitmap meanwhile would hold it in its canvas.
  Recreate(src.width_, src.height_, src.pixelFormat_, false, false);
  if (canvas_) canvas_->FreeContext();
  TBitmap& s = const_cast<TBitmap&>(src);
  if (src.handle_ && handle_ && bits_ && src.bits_ && BitsPerPixel() > 0 && BitsPerPixel() <= 8) {
    // A paletted image keeps its own colour table and its pixels' indexes:
    // a copy through a device context would map them onto the new table.
    if (s.canvas_) s.canvas_->FreeContext();
    RGBQUAD colors[256];
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ o = SelectObject(dc, s.handle_);
    const UINT n = GetDIBColorTable(dc, 0, 256, colors);
    SelectObject(dc, handle_);
    if (n > 0) SetDIBColorTable(dc, 0, n, colors);
    SelectObject(dc, o);
    DeleteDC(dc);
    GdiFlush();
    const size_t rowBytes = size_t(std::min(stride_, s.stride_));
    for (int y = 0; y < height_; ++y) std::memcpy(ScanLine(y), s.ScanLine(y), rowBytes);
  } else if (src.handle_ && handle_) {
    if (s.canvas_) s.canvas_->FreeContext();
    HDC sdc = GetDC(nullptr);
    HDC a = CreateCompatibleDC(sdc);
    HDC b = CreateCompatibleDC(sdc);
    HGDIOBJ oa = SelectObject(a, s.handle_);
    HGDIOBJ ob = SelectObject(b, handle_);
    BitBlt(b, 0, 0, width_, height_, a, 0, 0, SRCCOPY);
    SelectObject(a, oa);
    SelectObject(b, ob);
    DeleteDC(a);
    DeleteDC(b);
    ReleaseDC(nullptr, sdc);
  }
  transparent_ = src.transparent_;
  transparentColor_ = src.transparentColor_;
  transparentMode_ = src.transparentMode_;
  Changed();
}

bool TBitmap::Empty() const { return handle_ == nullptr; }

void TBitmap::SetWidth(int w) {
  if (w != width_) Recreate(w, height_, pixelFormat_, true);
}

void TBitmap::SetHeight(int h) {
  if (h != height_) Recreate(width_, h, pixelFormat_, true);
}

void TBitmap::SetSize(int w, int h) {
  if (w != width_ || h != height_ || (!handle_ && w > 0 && h > 0)) Recreate(w, h, pixelFormat_, true);
}

void TBitmap::SetPixelFormat(TPixelFormat pf) {
  if (pf == pixelFormat_) return;
  if (pf == pfCustom) throw EInvalidGraphic(L"Unsupported pixel format");
  Recreate(width_, height_, pf, true);
}

void TBitmap::SetMonochrome(bool m) {
  if (m != GetMonochrome()) SetPixelFormat(m ? pf1bit : pfDevice);
}

TCanvas* TBitmap::Canvas() {
  if (!canvas_) canvas_ = std::make_unique<TBitmapCanvas>(this);
  return canvas_.get();
}

HDC TBitmap::CanvasDC() { return Canvas()->GetHandle(); }

HBITMAP TBitmap::GetHandle() {
  if (canvas_) canvas_->FreeContext();
  return handle_;
}

void TBitmap::TakeBitmap(HBITMAP bmp) {
  FreeImage();
  handle_ = bmp;
  width_ = height_ = 0;
  bits_ = nullptr;
  if (!bmp) {
    Changed();
    return;
  }
  DIBSECTION ds{};
  int n = GetObjectW(bmp, sizeof ds, &ds);
  width_ = ds.dsBm.bmWidth;
  height_ = std::abs(ds.dsBm.bmHeight);
  if (n == sizeof(DIBSECTION) && ds.dsBm.bmBits) {
    bits_ = static_cast<uint8_t*>(ds.dsBm.bmBits);
    stride_ = ds.dsBm.bmWidthBytes;
    bottomUp_ = ds.dsBmih.biHeight > 0;
    switch (ds.dsBm.bmBitsPixel) {
      case 1: pixelFormat_ = pf1bit; break;
      case 4: pixelFormat_ = pf4bit; break;
      case 8: pixelFormat_ = pf8bit; break;
      case 16: pixelFormat_ = pf16bit; break;
      case 24: pixelFormat_ = pf24bit; break;
      case 32: pixelFormat_ = pf32bit; break;
      default: pixelFormat_ = pfCustom; break;
    }
  } else {
    pixelFormat_ = ds.dsBm.bmBitsPixel == 1 ? pf1bit : pfDevice;
  }
  Changed();
}

void TBitmap::SetHandle(HBITMAP bmp) { TakeBitmap(bmp); }

HBITMAP TBitmap::ReleaseHandle() {
  if (canvas_) canvas_->FreeContext();
  HBITMAP h = handle_;
  handle_ = nullptr;
  bits_ = nullptr;
  width_ = height_ = 0;
  return h;
}

void* TBitmap::ScanLine(int row) {
  if (!bits_ || row < 0 || row >= height_) throw EInvalidGraphicOperation(L"Scan line index out of range");
  GdiFlush();
  int r = bottomUp_ ? height_ - 1 - row : row;
  return bits_ + size_t(r) * size_t(stride_);
}

TColor TBitmap::GetTransparentColor() {
  if (transparentColor_ == clDefault || transparentMode_ == tmAuto) {
    if (Empty()) return clDefault;
    return Canvas()->GetPixel(0, height_ - 1) & 0xFFFFFF;
  }
  return ColorToRGB(transparentColor_);
}

void TBitmap::SetTransparentColor(TColor c) {
  transparentColor_ = c;
  transparentMode_ = c == clDefault ? tmAuto : tmFixed;
  Changed();
}

void TBitmap::Draw(TCanvas* canvas, const TRect& r) {
  if (Empty()) return;
  HDC dst = canvas->GetHandle();
  HDC src = CanvasDC();
  if (transparent_) {
    TransparentBlt(dst, r.left, r.top, RectWidth(r), RectHeight(r), src, 0, 0, width_, height_,
                   UINT(GetTransparentColor() & 0xFFFFFF));
  } else if (RectWidth(r) == width_ && RectHeight(r) == height_) {
    BitBlt(dst, r.left, r.top, width_, height_, src, 0, 0, canvas->GetCopyMode());
  } else {
    int old = SetStretchBltMode(dst, COLORONCOLOR);
    StretchBlt(dst, r.left, r.top, RectWidth(r), RectHeight(r), src, 0, 0, width_, height_, canvas->GetCopyMode());
    SetStretchBltMode(dst, old);
  }
}

void TBitmap::LoadFromResourceName(HINSTANCE inst, const String& name) {
  HBITMAP b = static_cast<HBITMAP>(LoadImageW(inst, name.c_str(), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  if (!b) throw EResNotFound(L"Resource " + name + L" not found");
  TakeBitmap(b);
}

void TBitmap::LoadFromResourceID(HINSTANCE inst, int id) {
  HBITMAP b = static_cast<HBITMAP>(LoadImageW(inst, MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  if (!b) throw EResNotFound(L"Resource " + std::to_wstring(id) + L" not found");
  TakeBitmap(b);
}

std::vector<uint8_t> TBitmap::SaveToBytes() {
  std::vector<uint8_t> out;
  if (Empty()) return out;
  HBITMAP h = GetHandle();
  int bpp = BitsPerPixel();
  if (bpp == 0 || bpp == 16 || bpp == 4 || bpp == 8) bpp = bpp == 0 ? 32 : bpp == 16 ? 24 : bpp;
  struct {
    BITMAPINFOHEADER h;
    RGBQUAD colors[256];
  } bi{};
  bi.h.biSize = sizeof(BITMAPINFOHEADER);
  bi.h.biWidth = width_;
  bi.h.biHeight = height_;  // bottom-up, as files have it
  bi.h.biPlanes = 1;
  bi.h.biBitCount = WORD(bpp);
  bi.h.biCompression = BI_RGB;
  int stride = ((width_ * bpp + 31) / 32) * 4;
  std::vector<uint8_t> pixels(size_t(stride) * size_t(height_));
  HDC sdc = GetDC(nullptr);
  int got = GetDIBits(sdc, h, 0, UINT(height_), pixels.data(), reinterpret_cast<BITMAPINFO*>(&bi), DIB_RGB_COLORS);
  ReleaseDC(nullptr, sdc);
  if (got != height_) throw EInvalidGraphicOperation(L"Cannot read the bitmap's pixels");
  int ncolors = bpp <= 8 ? (bi.h.biClrUsed ? int(bi.h.biClrUsed) : 1 << bpp) : 0;
  BITMAPFILEHEADER fh{};
  fh.bfType = 0x4D42;
  fh.bfOffBits = DWORD(sizeof fh + sizeof(BITMAPINFOHEADER) + size_t(ncolors) * sizeof(RGBQUAD));
  fh.bfSize = DWORD(fh.bfOffBits + pixels.size());
  bi.h.biSizeImage = DWORD(pixels.size());
  bi.h.biClrUsed = DWORD(ncolors);
  out.resize(fh.bfSize);
  std::memcpy(out.data(), &fh, sizeof fh);
  std::memcpy(out.data() + sizeof fh, &bi.h, sizeof(BITMAPINFOHEADER));
  std::memcpy(out.data() + sizeof fh + sizeof(BITMAPINFOHEADER), bi.colors, size_t(ncolors) * sizeof(RGBQUAD));
  std::memcpy(out.data() + fh.bfOffBits, pixels.data(), pixels.size());
  return out;
}

void TBitmap::LoadFromBytes(const uint8_t* data, size_t size) {
  if (size < sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)) throw EInvalidGraphic(L"Bitmap image is not valid");
  BITMAPFILEHEADER fh;
  std::memcpy(&fh, data, sizeof fh);
  BITMAPINFOHEADER ih;
  std::memcpy(&ih, data + sizeof fh, sizeof ih);
  if (fh.bfType != 0x4D42 || ih.biSize < sizeof(BITMAPINFOHEADER) || ih.biWidth <= 0 || ih.biHeight == 0 ||
      ih.biWidth > 65536 || std::abs(ih.biHeight) > 65536 || fh.bfOffBits >= size ||
      (ih.biBitCount != 1 && ih.biBitCount != 4 && ih.biBitCount != 8 && ih.biBitCount != 16 &&
       ih.biBitCount != 24 && ih.biBitCount != 32) ||
      (ih.biCompression != BI_RGB && ih.biCompression != BI_BITFIELDS))
    throw EInvalidGraphic(L"Bitmap image is not valid");
  size_t stride = ((size_t(ih.biWidth) * ih.biBitCount + 31) / 32) * 4;
  size_t need = stride * size_t(std::abs(ih.biHeight));
  if (size - fh.bfOffBits < need) throw EInvalidGraphic(L"Bitmap image is not valid");
  size_t infoSize = fh.bfOffBits - sizeof fh;
  std::vector<uint8_t> info(std::max(infoSize, sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD)));
  std::memcpy(info.data(), data + sizeof fh, infoSize);
  void* bits = nullptr;
  HBITMAP b = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(info.data()), DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!b) throw EInvalidGraphic(L"Bitmap image is not valid");
  std::memcpy(bits, data + fh.bfOffBits, need);
  TakeBitmap(b);
}

void TBitmap::SaveToFile(const String& fileName) {
  std::vector<uint8_t> bytes = SaveToBytes();
  FILE* f = _wfopen(fileName.c_str(), L"wb");
  if (!f) throw EFCreateError(L"Cannot create file \"" + fileName + L"\"");
  size_t n = fwrite(bytes.data(), 1, bytes.size(), f);
  bool ok = fclose(f) == 0 && n == bytes.size();
  if (!ok) throw EWriteError(L"Stream write error");
}

void TBitmap::LoadFromFile(const String& fileName) {
  FILE* f = _wfopen(fileName.c_str(), L"rb");
  if (!f) throw EFOpenError(L"Cannot open file \"" + fileName + L"\"");
  std::vector<uint8_t> bytes;
  uint8_t buf[65536];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) bytes.insert(bytes.end(), buf, buf + n);
  fclose(f);
  LoadFromBytes(bytes.data(), bytes.size());
}

// ---------------------------------------------------------------------------
TBitmapCanvas::~TBitmapCanvas() { FreeContext(); }

void TBitmapCanvas::CreateHandle() {
  if (memDC_ || !bitmap_->handle_) return;
  memDC_ = CreateCompatibleDC(nullptr);
  oldBitmap_ = SelectObject(memDC_, bitmap_->handle_);
  AttachDC(memDC_);
}

void TBitmapCanvas::FreeContext() {
  if (!memDC_) return;
  AttachDC(nullptr);
  SelectObject(memDC_, oldBitmap_);
  DeleteDC(memDC_);
  memDC_ = nullptr;
  oldBitmap_ = nullptr;
}

// ---------------------------------------------------------------------------
TIcon::~TIcon() {
  if (handle_) DestroyIcon(handle_);
}

void TIcon::SetHandle(HICON icon) {
  if (handle_ && handle_ != icon) DestroyIcon(handle_);
  handle_ = icon;
  width_ = height_ = 0;
  if (icon) {
    ICONINFO ii{};
    if (GetIconInfo(icon, &ii)) {
      BITMAP bm{};
      HBITMAP b = ii.hbmColor ? ii.hbmColor : ii.hbmMask;
      GetObjectW(b, sizeof bm, &bm);
      width_ = bm.bmWidth;
      height_ = ii.hbmColor ? bm.bmHeight : bm.bmHeight / 2;
      if (ii.hbmColor) DeleteObject(ii.hbmColor);
      if (ii.hbmMask) DeleteObject(ii.hbmMask);
    }
  }
  Changed();
}

HICON TIcon::ReleaseHandle() {
  HICON h = handle_;
  handle_ = nullptr;
  return h;
}

void TIcon::LoadFromResourceName(HINSTANCE inst, const String& name, int size) {
  HICON h = static_cast<HICON>(LoadImageW(inst, name.c_str(), IMAGE_ICON, size, size, size ? 0 : LR_DEFAULTSIZE));
  if (!h) throw EResNotFound(L"Resource " + name + L" not found");
  SetHandle(h);
}

void TIcon::LoadFromResourceID(HINSTANCE inst, int id, int size) {
  HICON h = static_cast<HICON>(LoadImageW(inst, MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, size ? 0 : LR_DEFAULTSIZE));
  if (!h) throw EResNotFound(L"Resource " + std::to_wstring(id) + L" not found");
  SetHandle(h);
}

void TIcon::Draw(TCanvas* canvas, const TRect& r) {
  if (handle_) DrawIconEx(canvas->GetHandle(), r.left, r.top, handle_, RectWidth(r), RectHeight(r), 0, nullptr, DI_NORMAL);
}

void TIcon::LoadFromFile(const String& fileName) {
  HICON h = static_cast<HICON>(LoadImageW(nullptr, fileName.c_str(), IMAGE_ICON, 0, 0, LR_LOADFROMFILE | LR_DEFAULTSIZE));
  if (!h) throw EFOpenError(L"Cannot open file \"" + fileName + L"\"");
  SetHandle(h);
}

void TIcon::SaveToFile(const String&) { throw EInvalidGraphicOperation(L"Cannot save icons"); }

// ---------------------------------------------------------------------------
TPicture::~TPicture() = default;

void TPicture::GraphicChanged(TObject*) {
  if (OnChange) OnChange(this);
}

void TPicture::SetGraphic(TGraphic* g) {
  if (!g) {
    Clear();
    return;
  }
  if (auto* b = dynamic_cast<TBitmap*>(g)) {
    Bitmap()->Assign(*b);
  } else if (auto* i = dynamic_cast<TIcon*>(g)) {
    Icon()->SetHandle(i->GetHandle() ? CopyIcon(i->GetHandle()) : nullptr);
  }
  GraphicChanged(this);
}

TBitmap* TPicture::Bitmap() {
  auto* b = dynamic_cast<TBitmap*>(graphic_.get());
  if (!b) {
    b = new TBitmap();
    graphic_.reset(b);
    b->OnChange = TNotifyEvent(this, &TPicture::GraphicChanged);
  }
  return b;
}

TIcon* TPicture::Icon() {
  auto* i = dynamic_cast<TIcon*>(graphic_.get());
  if (!i) {
    i = new TIcon();
    graphic_.reset(i);
    i->OnChange = TNotifyEvent(this, &TPicture::GraphicChanged);
  }
  return i;
}

void TPicture::LoadFromFile(const String& fileName) {
  String ext = fileName.size() >= 4 ? fileName.substr(fileName.size() - 4) : String();
  for (auto& c : ext) c = wchar_t(towlower(c));
  if (ext == L".ico") Icon()->LoadFromFile(fileName);
  else Bitmap()->LoadFromFile(fileName);
  GraphicChanged(this);
}

void TPicture::Clear() {
  graphic_.reset();
  GraphicChanged(this);
}

// ---------------------------------------------------------------------------
void DrawDisabledBitmap(TCanvas* canvas, int x, int y, TBitmap* bmp, TColor transparent) {
  if (!bmp || bmp->Empty()) return;
  int w = bmp->GetWidth(), h = bmp->GetHeight();
  // Monochrome mask: 0 where the image has a pixel, 1 where it is transparent.
  TBitmap mono(w, h, pf1bit);
  HDC src = bmp->CanvasDC();
  HDC mdc = mono.CanvasDC();
  COLORREF oldBk = SetBkColor(src, ColorToRef(transparent));
  BitBlt(mdc, 0, 0, w, h, src, 0, 0, SRCCOPY);
  SetBkColor(src, oldBk);
  HDC dst = canvas->GetHandle();
  COLORREF oldText = SetTextColor(dst, RGB(0, 0, 0));
  COLORREF oldBack = SetBkColor(dst, RGB(255, 255, 255));
  // ROP 0x00B8074A: where the mask is 0, paint the brush; elsewhere keep dest.
  HBRUSH hi = CreateSolidBrush(ColorToRef(clBtnHighlight));
  HGDIOBJ ob = SelectObject(dst, hi);
  BitBlt(dst, x + 1, y + 1, w, h, mdc, 0, 0, 0x00B8074A);
  HBRUSH sh = CreateSolidBrush(ColorToRef(clBtnShadow));
  SelectObject(dst, sh);
  BitBlt(dst, x, y, w, h, mdc, 0, 0, 0x00B8074A);
  SelectObject(dst, ob);
  DeleteObject(hi);
  DeleteObject(sh);
  SetTextColor(dst, oldText);
  SetBkColor(dst, oldBack);
  canvas->Refresh();
}
