// Drawing objects over GDI: colours, fonts, pens, brushes, canvases,
// bitmaps and icons. Windows only.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "classlib/Classes.h"
#include "classlib/Events.h"
#include "classlib/SysUtils.h"

ZEMBRIO_DECLARE_EXCEPTION(EInvalidGraphic, Exception)
ZEMBRIO_DECLARE_EXCEPTION(EInvalidGraphicOperation, Exception)
ZEMBRIO_DECLARE_EXCEPTION(EOutOfResources, Exception)

// ---------------------------------------------------------------------------
// Geometry
using TPoint = POINT;
using TRect = RECT;
using TSize = SIZE;

inline TPoint Point(int x, int y) { return TPoint{x, y}; }
inline TRect Rect(int l, int t, int r, int b) { return TRect{l, t, r, b}; }
inline TRect Bounds(int l, int t, int w, int h) { return TRect{l, t, l + w, t + h}; }
inline int RectWidth(const TRect& r) { return r.right - r.left; }
inline int RectHeight(const TRect& r) { return r.bottom - r.top; }
inline bool PtInRectangle(const TRect& r, TPoint p) {
  return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}
inline bool operator==(const TRect& a, const TRect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
inline bool operator!=(const TRect& a, const TRect& b) { return !(a == b); }
inline bool operator==(const TPoint& a, const TPoint& b) { return a.x == b.x && a.y == b.y; }
inline bool operator!=(const TPoint& a, const TPoint& b) { return !(a == b); }

// ---------------------------------------------------------------------------
// Colours: 0x00BBGGRR, or 0x80000000 | COLOR_xxx for a system colour.
using TColor = int32_t;

constexpr TColor clSystemColor = static_cast<TColor>(0x80000000u);
constexpr TColor SysColor(int index) { return static_cast<TColor>(0x80000000u | unsigned(index)); }

constexpr TColor clScrollBar = SysColor(0);
constexpr TColor clBackground = SysColor(1);
constexpr TColor clActiveCaption = SysColor(2);
constexpr TColor clInactiveCaption = SysColor(3);
constexpr TColor clMenu = SysColor(4);
constexpr TColor clWindow = SysColor(5);
constexpr TColor clWindowFrame = SysColor(6);
constexpr TColor clMenuText = SysColor(7);
constexpr TColor clWindowText = SysColor(8);
constexpr TColor clCaptionText = SysColor(9);
constexpr TColor clActiveBorder = SysColor(10);
constexpr TColor clInactiveBorder = SysColor(11);
constexpr TColor clAppWorkSpace = SysColor(12);
constexpr TColor clHighlight = SysColor(13);
constexpr TColor clHighlightText = SysColor(14);
constexpr TColor clBtnFace = SysColor(15);
constexpr TColor clBtnShadow = SysColor(16);
constexpr TColor clGrayText = SysColor(17);
constexpr TColor clBtnText = SysColor(18);
constexpr TColor clInactiveCaptionText = SysColor(19);
constexpr TColor clBtnHighlight = SysColor(20);
constexpr TColor cl3DDkShadow = SysColor(21);
constexpr TColor cl3DLight = SysColor(22);
constexpr TColor clInfoText = SysColor(23);
constexpr TColor clInfoBk = SysColor(24);
constexpr TColor clHotLight = SysColor(26);
constexpr TColor clGradientActiveCaption = SysColor(27);
constexpr TColor clGradientInactiveCaption = SysColor(28);
constexpr TColor clMenuHighlight = SysColor(29);
constexpr TColor clMenuBar = SysColor(30);

constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clOlive = 0x008080;
constexpr TColor clNavy = 0x800000;
constexpr TColor clPurple = 0x800080;
constexpr TColor clTeal = 0x808000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clLtGray = 0xC0C0C0;
constexpr TColor clDkGray = 0x808080;
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clDefault = 0x20000000;

// A system colour becomes its current RGB value; others are returned as is
// (clNone and clDefault included).
TColor ColorToRGB(TColor c);
// System colours are read once each; WM_SYSCOLORCHANGE (seen by any of the
// program's windows) makes them read again.
void RefreshSystemColors();
inline COLORREF ColorToRef(TColor c) { return static_cast<COLORREF>(ColorToRGB(c) & 0xFFFFFF); }

// ---------------------------------------------------------------------------
// Fonts, pens and brushes. Each owns its GDI handle, created lazily and
// released whenever an attribute changes.
class TGraphicsObject : public TObject {
 public:
  ~TGraphicsObject() override;
  TNotifyEvent OnChange;

 protected:
  // Tells the listeners, then deletes a handle retired by the change (the
  // listeners deselect it from their contexts first).
  virtual void Changed();
  void Retire(HGDIOBJ h);

 private:
  HGDIOBJ stale_ = nullptr;
};

enum TFontStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };
using TFontStyles = TSet<TFontStyle>;
enum TFontPitch { fpDefault, fpVariable, fpFixed };
using TFontCharset = uint8_t;

class TFont : public TGraphicsObject {
 public:
  TFont();
  ~TFont() override;
  void Assign(const TFont& src);
  bool SameAs(const TFont& other) const;

  HFONT GetHandle();
  void SetHandle(HFONT font);  // takes a copy of the font's description

  const String& GetName() const { return name_; }
  void SetName(const String& v);
  // Size in points; Height in pixels (negative: character height).
  int GetSize() const;
  void SetSize(int points);
  int GetHeight() const { return height_; }
  void SetHeight(int h);
  TFontStyles GetStyle() const { return style_; }
  void SetStyle(TFontStyles s);
  TColor GetColor() const { return color_; }
  void SetColor(TColor c);
  TFontCharset GetCharset() const { return charset_; }
  void SetCharset(TFontCharset c);
  TFontPitch GetPitch() const { return pitch_; }
  void SetPitch(TFontPitch p);
  int GetPixelsPerInch() const { return pixelsPerInch_; }
  void SetPixelsPerInch(int ppi) { pixelsPerInch_ = ppi; }

  // Fills a LOGFONTW for this description.
  void GetLogFont(LOGFONTW& lf) const;

 private:
  void FreeHandle();
  String name_ = L"MS Sans Serif";
  int height_ = -11;
  TFontStyles style_;
  TColor color_ = clWindowText;
  TFontCharset charset_ = DEFAULT_CHARSET;
  TFontPitch pitch_ = fpDefault;
  int pixelsPerInch_ = 96;
  HFONT handle_ = nullptr;
};

enum TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };
enum TPenMode {
  pmBlack, pmWhite, pmNop, pmNot, pmCopy, pmNotCopy, pmMergePenNot, pmMaskPenNot,
  pmMergeNotPen, pmMaskNotPen, pmMerge, pmNotMerge, pmMask, pmNotMask, pmXor, pmNotXor
};

class TPen : public TGraphicsObject {
 public:
  TPen() = default;
  ~TPen() override;
  void Assign(const TPen& src);
  HPEN GetHandle();
  TColor GetColor() const { return color_; }
  void SetColor(TColor c);
  int GetWidth() const { return width_; }
  void SetWidth(int w);
  TPenStyle GetStyle() const { return style_; }
  void SetStyle(TPenStyle s);
  TPenMode GetMode() const { return mode_; }
  void SetMode(TPenMode m);

 private:
  void FreeHandle();
  TColor color_ = clBlack;
  int width_ = 1;
  TPenStyle style_ = psSolid;
  TPenMode mode_ = pmCopy;
  HPEN handle_ = nullptr;
};

enum TBrushStyle { bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, bsDiagCross };

class TBitmap;

class TBrush : public TGraphicsObject {
 public:
  TBrush() = default;
  ~TBrush() override;
  void Assign(const TBrush& src);
  HBRUSH GetHandle();
  TColor GetColor() const { return color_; }
  void SetColor(TColor c);
  TBrushStyle GetStyle() const { return style_; }
  void SetStyle(TBrushStyle s);
  // A pattern brush from a bitmap (the brush keeps its own copy).
  void SetBitmap(TBitmap* bmp);
  TBitmap* GetBitmap() const { return bitmap_.get(); }

 private:
  void FreeHandle();
  TColor color_ = clWhite;
  TBrushStyle style_ = bsSolid;
  std::unique_ptr<TBitmap> bitmap_;
  HBRUSH handle_ = nullptr;
};

// ---------------------------------------------------------------------------
class TGraphic;

enum TCanvasStateFlag : unsigned { csHandleValid = 1, csFontValid = 2, csPenValid = 4, csBrushValid = 8 };
using TCanvasState = unsigned;
enum TTextFormatFlag : unsigned {
  tfBottom = 1, tfCalcRect = 2, tfCenter = 4, tfEditControl = 8, tfEndEllipsis = 16,
  tfPathEllipsis = 32, tfExpandTabs = 64, tfLeft = 0, tfNoClip = 128, tfNoPrefix = 256,
  tfRight = 512, tfSingleLine = 1024, tfVerticalCenter = 2048, tfWordBreak = 4096
};
using TTextFormat = unsigned;

struct TTextStyle {
  bool Clipping = true;
  bool SingleLine = true;
  bool WordBreak = false;
  bool EndEllipsis = false;
  int Alignment = 0;  // 0 left, 1 right, 2 centre
  bool VerticalCenter = false;
  bool ShowPrefix = false;
  bool Opaque = false;
};

// A canvas draws through a device context with its own pen, brush and font.
// The canvas selects them into the context lazily before each drawing call.
class TCanvas : public TObject {
 public:
  TCanvas();
  ~TCanvas() override;

  HDC GetHandle();
  void SetHandle(HDC dc);  // a context owned by someone else
  bool HandleAllocated() const { return dc_ != nullptr; }

  TPen* Pen() const { return pen_.get(); }
  TBrush* Brush() const { return brush_.get(); }
  TFont* Font() const { return font_.get(); }
  // Delphi-style spelling for property access: canvas->GetPen() etc.
  TPen* GetPen() const { return pen_.get(); }
  TBrush* GetBrush() const { return brush_.get(); }
  TFont* GetFont() const { return font_.get(); }

  TPoint GetPenPos();
  void SetPenPos(TPoint p);
  void MoveTo(int x, int y);
  void LineTo(int x, int y);
  void Rectangle(int l, int t, int r, int b);
  void Rectangle(const TRect& r) { Rectangle(r.left, r.top, r.right, r.bottom); }
  void RoundRect(int l, int t, int r, int b, int w, int h);
  void Ellipse(int l, int t, int r, int b);
  void Ellipse(const TRect& r) { Ellipse(r.left, r.top, r.right, r.bottom); }
  void Polygon(const TPoint* pts, int count);
  void Polygon(const std::vector<TPoint>& pts) { Polygon(pts.data(), int(pts.size())); }
  void Polyline(const TPoint* pts, int count);
  void Polyline(const std::vector<TPoint>& pts) { Polyline(pts.data(), int(pts.size())); }
  void FillRect(const TRect& r);
  void FrameRect(const TRect& r);
  void DrawFocusRect(const TRect& r);
  void FloodFill(int x, int y, TColor c, bool surface);

  void TextOut(int x, int y, const String& text);
  void TextRect(const TRect& r, int x, int y, const String& text);
  // Draws with a text style; `r` is in/out (clipped box or computed size).
  void TextRect(TRect& r, const String& text, TTextFormat format);
  TSize TextExtent(const String& text);
  int TextWidth(const String& text) { return TextExtent(text).cx; }
  int TextHeight(const String& text) { return TextExtent(text).cy; }
  int GetTextFlags() const { return textFlags_; }
  void SetTextFlags(int f) { textFlags_ = f; }

  void Draw(int x, int y, TGraphic* g);
  void StretchDraw(const TRect& r, TGraphic* g);
  void CopyRect(const TRect& dest, TCanvas* src, const TRect& source);
  DWORD GetCopyMode() const { return copyMode_; }
  void SetCopyMode(DWORD rop) { copyMode_ = rop; }

  TColor GetPixel(int x, int y);
  void SetPixel(int x, int y, TColor c);
  TColor Pixels(int x, int y) { return GetPixel(x, y); }

  TRect GetClipRect();

  // Serialises drawing across threads.
  void Lock();
  void Unlock();
  bool TryLock();
  int LockCount() const { return lockCount_; }

  // Drops the selections of pen, brush and font (so they get reselected).
  void Refresh();

  TNotifyEvent OnChange;
  TNotifyEvent OnChanging;

 protected:
  virtual void CreateHandle() {}
  // Selects the pieces the next drawing call needs.
  void RequiredState(TCanvasState req);
  void Changing();
  void Changed();
  void DeselectHandles();
  // Sets or clears the context without calling the owner hooks.
  void AttachDC(HDC dc);

 private:
  void FontChanged(TObject*);
  void PenChanged(TObject*);
  void BrushChanged(TObject*);
  void SelectFont();
  void SelectPen();
  void SelectBrush();

  HDC dc_ = nullptr;
  TCanvasState state_ = 0;
  std::unique_ptr<TFont> font_;
  std::unique_ptr<TPen> pen_;
  std::unique_ptr<TBrush> brush_;
  HGDIOBJ oldFont_ = nullptr, oldPen_ = nullptr, oldBrush_ = nullptr;
  DWORD copyMode_ = SRCCOPY;
  int textFlags_ = 0;
  CRITICAL_SECTION lock_;
  int lockCount_ = 0;
};

// ---------------------------------------------------------------------------
class TGraphic : public TObject {
 public:
  virtual bool Empty() const = 0;
  virtual int GetWidth() const = 0;
  virtual int GetHeight() const = 0;
  virtual void SetWidth(int w) = 0;
  virtual void SetHeight(int h) = 0;
  virtual void Draw(TCanvas* canvas, const TRect& r) = 0;
  virtual void LoadFromFile(const String& fileName) = 0;
  virtual void SaveToFile(const String& fileName) = 0;
  bool GetTransparent() const { return transparent_; }
  virtual void SetTransparent(bool t) { transparent_ = t; Changed(); }

  TNotifyEvent OnChange;

 protected:
  virtual void Changed();
  bool transparent_ = false;
};

enum TPixelFormat { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfCustom };
enum TTransparentMode { tmAuto, tmFixed };

class TBitmapCanvas;

// A bitmap. Apart from pfDevice (a device-dependent bitmap), the image is a
// DIB section so ScanLine gives direct access to the pixels (bottom-up rows
// are hidden: ScanLine(0) is always the top row).
class TBitmap : public TGraphic {
 public:
  TBitmap();
  TBitmap(int width, int height, TPixelFormat pf = pf32bit);
  ~TBitmap() override;
  void Assign(const TBitmap& src);

  bool Empty() const override;
  int GetWidth() const override { return width_; }
  int GetHeight() const override { return height_; }
  void SetWidth(int w) override;
  void SetHeight(int h) override;
  void SetSize(int w, int h);
  TPixelFormat GetPixelFormat() const { return pixelFormat_; }
  void SetPixelFormat(TPixelFormat pf);
  bool GetMonochrome() const { return pixelFormat_ == pf1bit; }
  void SetMonochrome(bool m);

  TCanvas* Canvas();
  TCanvas* GetCanvas() { return Canvas(); }
  // The bitmap handle, deselected from the canvas's context so that it can
  // be handed to other GDI calls.
  HBITMAP GetHandle();
  // Takes ownership of a bitmap handle.
  void SetHandle(HBITMAP bmp);
  // Gives up ownership of the handle.
  HBITMAP ReleaseHandle();
  // A pointer to the first byte of row `row` (DIB formats only).
  void* ScanLine(int row);

  TColor GetTransparentColor();
  void SetTransparentColor(TColor c);
  TTransparentMode GetTransparentMode() const { return transparentMode_; }
  void SetTransparentMode(TTransparentMode m) { transparentMode_ = m; }

  void Draw(TCanvas* canvas, const TRect& r) override;
  void LoadFromResourceName(HINSTANCE inst, const String& name);
  void LoadFromResourceID(HINSTANCE inst, int id);
  void LoadFromFile(const String& fileName) override;
  void SaveToFile(const String& fileName) override;
  // Writes/reads a whole .bmp file image.
  std::vector<uint8_t> SaveToBytes();
  void LoadFromBytes(const uint8_t* data, size_t size);

  // Drawing context of the bitmap's canvas (internal).
  HDC CanvasDC();

 private:
  friend class TBitmapCanvas;
  // notify: report the change (Changed) once the new image is made.
  void Recreate(int w, int h, TPixelFormat pf, bool keepImage, bool notify = true);
  void FreeImage();
  int BitsPerPixel() const;
  void TakeBitmap(HBITMAP bmp);

  int width_ = 0, height_ = 0;
  TPixelFormat pixelFormat_ = pfDevice;
  HBITMAP handle_ = nullptr;
  uint8_t* bits_ = nullptr;  // DIB section bits
  int stride_ = 0;
  bool bottomUp_ = true;
  TColor transparentColor_ = clDefault;
  TTransparentMode transparentMode_ = tmAuto;
  std::unique_ptr<TBitmapCanvas> canvas_;
};

class TBitmapCanvas : public TCanvas {
 public:
  explicit TBitmapCanvas(TBitmap* owner) : bitmap_(owner) {}
  ~TBitmapCanvas() override;
  void FreeContext();

 protected:
  void CreateHandle() override;

 private:
  TBitmap* bitmap_;
  HDC memDC_ = nullptr;
  HGDIOBJ oldBitmap_ = nullptr;
};

class TIcon : public TGraphic {
 public:
  TIcon() = default;
  ~TIcon() override;
  bool Empty() const override { return handle_ == nullptr; }
  int GetWidth() const override { return width_; }
  int GetHeight() const override { return height_; }
  void SetWidth(int w) override { width_ = w; }
  void SetHeight(int h) override { height_ = h; }
  HICON GetHandle() const { return handle_; }
  void SetHandle(HICON icon);  // takes ownership
  HICON ReleaseHandle();
  void LoadFromResourceName(HINSTANCE inst, const String& name, int size = 0);
  void LoadFromResourceID(HINSTANCE inst, int id, int size = 0);
  void Draw(TCanvas* canvas, const TRect& r) override;
  void LoadFromFile(const String& fileName) override;
  void SaveToFile(const String& fileName) override;

 private:
  HICON handle_ = nullptr;
  int width_ = 0, height_ = 0;
};

// Holds one graphic (bitmap or icon) for an image control.
class TPicture : public TObject {
 public:
  TPicture() = default;
  ~TPicture() override;
  TGraphic* GetGraphic() const { return graphic_.get(); }
  void SetGraphic(TGraphic* g);  // copies a bitmap, takes nothing
  TBitmap* Bitmap();             // makes the picture a bitmap if it is not
  TIcon* Icon();                 // makes the picture an icon if it is not
  int GetWidth() const { return graphic_ ? graphic_->GetWidth() : 0; }
  int GetHeight() const { return graphic_ ? graphic_->GetHeight() : 0; }
  void LoadFromFile(const String& fileName);
  void Clear();
  TNotifyEvent OnChange;

 private:
  void GraphicChanged(TObject*);
  std::unique_ptr<TGraphic> graphic_;
};

// Pixels per inch of the screen.
int ScreenPixelsPerInch();

// Draws `bmp` grayed (as a disabled glyph): the pixels that differ from
// `transparent` are painted in the button highlight colour offset by one
// pixel, then in the button shadow colour.
void DrawDisabledBitmap(TCanvas* canvas, int x, int y, TBitmap* bmp, TColor transparent);
