// Drawing helpers of the themed toolbar layer: rectangles and lines that
// accept system colours, image-list images drawn dimmed, blended, tinted
// or as shadows, and the soft drop shadows beside pop-up windows.
#pragma once

#include <windows.h>

#include <memory>

#include "classlib/Controls.h"
#include "classlib/Graphics.h"
#include "classlib/ImgList.h"
#include "toolbars/skin/SkinColorMath.h"

// ---- stock objects ------------------------------------------------------------
// A 32-bit top-down DIB section that is resized rather than recreated.
struct TSkinStockBitmap {
  HBITMAP Handle = nullptr;
  uint32_t* Bits = nullptr;
  int Width = 0, Height = 0;
  void Resize(int W, int H);
  void Free();
  // Pixel (x, y) as 0x00RRGGBB.
  uint32_t& Pixel(int x, int y) { return Bits[y * Width + x]; }
};
extern TSkinStockBitmap StockBitmap1, StockBitmap2;
extern HBITMAP StockMonoBitmap;
// 8 x 8 and screen-compatible; its DC answers GetNearestColor.
extern HBITMAP StockCompatibleBitmap;
// The small-caption font of the system's non-client metrics (or null).
extern HFONT SmCaptionFont;
void InitSkinUtils();
void FreeSkinUtils();
void RecreateStock();
// A DC (memory, compatible with the screen) holding the compatible bitmap.
HDC StockCompatibleDC();

// Optional system functions (null when missing).
using TUpdateLayeredWindow = BOOL(WINAPI*)(HWND, HDC, POINT*, SIZE*, HDC, POINT*, COLORREF,
                                           BLENDFUNCTION*, DWORD);
using TAlphaBlend = BOOL(WINAPI*)(HDC, int, int, int, int, HDC, int, int, int, int, BLENDFUNCTION);
extern TUpdateLayeredWindow SkinUpdateLayeredWindow;
extern TAlphaBlend SkinAlphaBlend;
bool SkinIsNT5OrLater();

// ---- colours --------------------------------------------------------------------
// The nearest colour the screen-compatible device can show.
TColor NearestMixedColor(TColor C1, TColor C2, int W);

// ---- rectangles and lines ------------------------------------------------------------
// A colour of clNone draws nothing and returns false.
bool FillRectEx(TCanvas* Canvas, const RECT& R, TColor Color);
bool FillRectEx2(HDC DC, const RECT& R, TColor Color);
bool FrameRectEx(TCanvas* Canvas, RECT& R, TColor Color, bool Adjust);
bool DrawLineEx(TCanvas* Canvas, int X1, int Y1, int X2, int Y2, TColor Color);
void Frame3D(TCanvas* Canvas, RECT& R, TColor TopLeft, TColor BottomRight);
void DitherRect(TCanvas* Canvas, const RECT& R, TColor C1, TColor C2);
// A filled triangle (the three points of P) in one colour, outline included.
void FillTriangle(HDC DC, const POINT* P, TColor Color);
void DrawDraggingOutline(HDC DC, const RECT* NewRect, const RECT* OldRect);
void FillLongword(uint32_t* P, int Count, uint32_t Value);
void MoveLongword(const uint32_t* Source, uint32_t* Dest, int Count);
void GetClientSizeEx(TWinControl* Control, SIZE& Size);

// ---- images -------------------------------------------------------------------------
void DrawSkinIcon(TCanvas* Canvas, const RECT& R, TCustomImageList* IL, int Index, bool HiContrast);
void BlendSkinIcon(TCanvas* Canvas, const RECT& R, TCustomImageList* IL, int Index, int Opacity);
void HighlightSkinIcon(TCanvas* Canvas, const RECT& R, TCustomImageList* IL, int Index, TColor Color,
                       int Opacity);
void DrawSkinIconShadow(TCanvas* Canvas, const RECT& R, TCustomImageList* IL, int Index, int Depth);
void DrawSkinIconFlatShadow(TCanvas* Canvas, const RECT& R, TCustomImageList* IL, int Index, TColor Color);
void DrawSkinIconFullShadow(TCanvas* Canvas, const RECT& R, TCustomImageList* IL, int Index, TColor Color);
// Draws an 8 x 8 monochrome pattern (one byte per row) so that Color shows
// where the pattern has set bits.
void DrawSkinPattern(HDC DC, const uint8_t* Rows, int X, int Y, int W, int H, int SysColorIndex);

// ---- drop shadows -------------------------------------------------------------------------
enum TShadowStyle { ssFlat, ssLayered, ssAlphaBlend };

// One strip: a thin top-level window that lets the mouse through. Its kind
// (THorzShadow, TVertShadow) fills the alpha buffer.
class TShadow : public TObject {
 public:
  ~TShadow() override;
  void Render();
  void Show(HWND InsertAfter);
  void Clear(const RECT& R) { cleared_ = R; }
  void SetSaveBits(bool Value);
  // The strip's window, made when it is first shown (null before).
  HWND Handle() const { return wnd_; }
  TShadowStyle Style() const { return style_; }
  bool Vertical() const { return vertical_; }
  TShadowEdges Edges() const { return edges_; }
  RECT Bounds() const { return bounds_; }

 protected:
  TShadow(const RECT& R, uint8_t Opacity, bool LoColor, TShadowEdges Edges, bool Vertical);
  virtual void FillBuffer(uint32_t* Pixels, int W, int H) = 0;

 private:
  static LRESULT CALLBACK WndProc(HWND Wnd, UINT Msg, WPARAM W, LPARAM L);
  void EraseBackground(HDC DC);
  void CreateStripWindow();
  void DestroyStripWindow();
  void UpdateLayered();
  HWND wnd_ = nullptr;
  RECT bounds_{};
  RECT cleared_{};
  uint8_t opacity_;
  unsigned edges_;
  bool vertical_;
  TShadowStyle style_ = ssFlat;
  bool saveBits_ = false;
  bool rendered_ = false;  // a layered strip has its picture
};

// A strip under an edge: corners at its left and right ends.
class THorzShadow : public TShadow {
 public:
  THorzShadow(const RECT& R, uint8_t Opacity, bool LoColor, TShadowEdges Edges)
      : TShadow(R, Opacity, LoColor, Edges, false) {}

 protected:
  void FillBuffer(uint32_t* Pixels, int W, int H) override;
};

// A strip right of an edge: corners at its top and bottom ends.
class TVertShadow : public TShadow {
 public:
  TVertShadow(const RECT& R, uint8_t Opacity, bool LoColor, TShadowEdges Edges)
      : TShadow(R, Opacity, LoColor, Edges, true) {}

 protected:
  void FillBuffer(uint32_t* Pixels, int W, int H) override;
};

// The strips around one rectangle or two touching ones (an item and the
// pop-up it opened).
class TShadows : public TObject {
 public:
  TShadows(const RECT& R1, const RECT& R2, int Size, uint8_t Opacity, bool LoColor);
  ~TShadows() override;
  void Show(HWND InsertAfter);
  void SetSaveBits(bool Value);
  int Count() const;
  TShadow* Strip(int I) const { return strips_[I].get(); }
  int SlotCount() const { return 6; }

 private:
  std::unique_ptr<TShadow> strips_[6];
  bool saveBits_ = false;
};
