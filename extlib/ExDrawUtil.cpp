#include "extlib/ExDrawUtil.h"

#include <objbase.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

std::unique_ptr<TBitmap> TextBitmap;  // the off-screen bitmap of WriteText

bool IsIntResource(const wchar_t* ResID) { return (reinterpret_cast<ULONG_PTR>(ResID) >> 16) == 0; }

// Drawing contexts and objects released in reverse order on leaving.
struct TMemDC {
  HDC DC;
  HGDIOBJ Old = nullptr;
  explicit TMemDC(HDC Compatible) : DC(CreateCompatibleDC(Compatible)) {}
  void Select(HBITMAP B) {
    HGDIOBJ Prev = SelectObject(DC, B);
    if (!Old) Old = Prev;
  }
  ~TMemDC() {
    if (Old) SelectObject(DC, Old);
    DeleteDC(DC);
  }
};

}  // namespace

// ---------------------------------------------------------------------------
// Bitmaps

[[noreturn]] void ResourceNotFound(const wchar_t* ResID) {
  String Name = IsIntResource(ResID) ? IntToStr(static_cast<int>(reinterpret_cast<ULONG_PTR>(ResID)))
                                     : String(ResID);
  throw EResNotFound(Format(L"Resource %s not found", Name));
}

TBitmap* MakeModuleBitmap(HINSTANCE Module, const wchar_t* ResID) {
  HBITMAP B = LoadBitmapW(Module, ResID);
  if (!B) ResourceNotFound(ResID);
  auto* R = new TBitmap;
  R->SetHandle(B);
  return R;
}

TBitmap* LibraryBitmap(std::unique_ptr<TBitmap>& Slot, const wchar_t* ResName) {
  if (!Slot) {
    auto B = std::make_unique<TBitmap>();
    B->LoadFromResourceName(MainInstance(), ResName);
    B->SetTransparentColor(clFuchsia);
    Slot = std::move(B);
  }
  return Slot.get();
}

TBitmap* MakeBitmap(const wchar_t* ResName) { return MakeModuleBitmap(MainInstance(), ResName); }
TBitmap* MakeBitmapID(WORD ResID) { return MakeModuleBitmap(MainInstance(), MAKEINTRESOURCEW(ResID)); }

void AssignBitmapCell(TGraphic* Source, TBitmap* Dest, int Cols, int Rows, int Index) {
  if (!Source || !Dest) return;
  Cols = std::max(Cols, 1);
  Rows = std::max(Rows, 1);
  Index = std::max(Index, 0);
  int W = Source->GetWidth() / Cols, H = Source->GetHeight() / Rows;
  Dest->SetSize(W, H);
  int X = (Index % Cols) * W, Y = (Index / Cols) * H;
  if (auto* B = dynamic_cast<TBitmap*>(Source)) {
    Dest->Canvas()->CopyRect(Rect(0, 0, W, H), B->Canvas(), Rect(X, Y, X + W, Y + H));
    Dest->SetTransparentColor(B->GetTransparentColor());
  } else {
    Dest->Canvas()->Brush()->SetColor(clSilver);
    Dest->Canvas()->FillRect(Rect(0, 0, W, H));
    Dest->Canvas()->Draw(-X, -Y, Source);
  }
  Dest->SetTransparent(Source->GetTransparent());
}

TBitmap* ChangeBitmapColor(TBitmap* Bitmap, TColor Color, TColor NewColor) {
  auto* R = new TBitmap;
  R->Assign(*Bitmap);
  COLORREF From = ColorToRef(Color);
  TColor To = ColorToRGB(NewColor);
  TCanvas* C = R->Canvas();
  for (int Y = 0; Y < R->GetHeight(); ++Y)
    for (int X = 0; X < R->GetWidth(); ++X)
      if (static_cast<COLORREF>(C->GetPixel(X, Y) & 0xFFFFFF) == From) C->SetPixel(X, Y, To);
  return R;
}

TBitmap* CreateTwoColorsBrushPattern(TColor Color1, TColor Color2) {
  auto* R = new TBitmap;
  R->SetSize(8, 8);
  TCanvas* C = R->Canvas();
  C->Brush()->SetColor(Color1);
  C->FillRect(Rect(0, 0, 8, 8));
  TColor C2 = ColorToRGB(Color2);
  for (int Y = 0; Y < 8; ++Y)
    for (int X = 0; X < 8; ++X)
      if (X % 2 == Y % 2) C->SetPixel(X, Y, C2);
  return R;
}

COLORREF PaletteColor(TColor Color) { return ColorToRef(Color) | 0x02000000; }

namespace {
// Reaches the protected window painting of a parent control.
class TParentPaint : public TCustomControl {
 public:
  static void PaintWindowOf(TCustomControl* C, HDC DC) { (C->*(&TParentPaint::PaintWindow))(DC); }
};
// The controls whose parent image is being copied now (innermost last).
std::vector<TControl*> CopiesUnderWay;
}  // namespace

void CopyParentImage(TControl* Control, TCanvas* Dest) {
  if (!Control || !Control->GetParent()) return;
  if (std::find(CopiesUnderWay.begin(), CopiesUnderWay.end(), Control) != CopiesUnderWay.end()) return;
  TWinControl* Parent = Control->GetParent();
  CopiesUnderWay.push_back(Control);
  bool WasCopying = Parent->ControlState.Contains(csPaintCopy);
  Parent->ControlState += csPaintCopy;
  struct TDone {
    TWinControl* P;
    bool Was;
    ~TDone() {
      if (!Was) P->ControlState -= csPaintCopy;
      CopiesUnderWay.pop_back();
    }
  } Done{Parent, WasCopying};

  HDC DC = Dest->GetHandle();
  TRect Self = Control->GetBoundsRect();
  int X = -Control->GetLeft(), Y = -Control->GetTop();
  int Saved = SaveDC(DC);
  SetViewportOrgEx(DC, X, Y, nullptr);
  IntersectClipRect(DC, 0, 0, Parent->GetClientWidth(), Parent->GetClientHeight());
  if (Parent->HandleAllocated()) Parent->Perform(WM_ERASEBKGND, reinterpret_cast<WPARAM>(DC), 0);
  if (auto* Custom = dynamic_cast<TCustomControl*>(Parent)) TParentPaint::PaintWindowOf(Custom, DC);
  RestoreDC(DC, Saved);

  for (int I = 0; I < Parent->ControlCount(); ++I) {
    TControl* C = Parent->Controls(I);
    if (C == Control) break;
    auto* G = dynamic_cast<TGraphicControl*>(C);
    TRect Overlap;
    TRect R = G ? G->GetBoundsRect() : TRect{};
    if (!G || !G->GetVisible() || !IntersectRect(&Overlap, &Self, &R)) continue;
    bool GWas = G->ControlState.Contains(csPaintCopy);
    G->ControlState += csPaintCopy;
    Saved = SaveDC(DC);
    SetViewportOrgEx(DC, G->GetLeft() + X, G->GetTop() + Y, nullptr);
    IntersectClipRect(DC, 0, 0, G->GetWidth(), G->GetHeight());
    try {
      G->Perform(WM_PAINT, reinterpret_cast<WPARAM>(DC), 0);
    } catch (...) {
      RestoreDC(DC, Saved);
      if (!GWas) G->ControlState -= csPaintCopy;
      throw;
    }
    RestoreDC(DC, Saved);
    if (!GWas) G->ControlState -= csPaintCopy;
  }
}

void StretchBltTransparent(HDC DstDC, int DstX, int DstY, int DstW, int DstH, HDC SrcDC, int SrcX, int SrcY,
                           int SrcW, int SrcH, HPALETTE Palette, COLORREF TransparentColor) {
  if (DstW <= 0 || DstH <= 0 || SrcW <= 0 || SrcH <= 0) return;
  // Work contexts: colour copy of the source, mask, inverse mask, and the
  // destination's background.
  HBITMAP Bmps[4] = {CreateCompatibleBitmap(DstDC, SrcW, SrcH), CreateBitmap(SrcW, SrcH, 1, 1, nullptr),
                     CreateBitmap(SrcW, SrcH, 1, 1, nullptr), CreateCompatibleBitmap(DstDC, DstW, DstH)};
  HDC Dcs[4];
  HGDIOBJ OldBmps[4];
  HPALETTE OldPals[4] = {};
  for (int I = 0; I < 4; ++I) {
    Dcs[I] = CreateCompatibleDC(DstDC);
    OldBmps[I] = SelectObject(Dcs[I], Bmps[I]);
    SetMapMode(Dcs[I], GetMapMode(DstDC));
    if (Palette) {
      OldPals[I] = SelectPalette(Dcs[I], Palette, FALSE);
      RealizePalette(Dcs[I]);
    }
  }
  HDC Color = Dcs[0], Mask = Dcs[1], InvMask = Dcs[2], Save = Dcs[3];
  // The mask is 1 where the source has the transparent colour.
  BitBlt(Color, 0, 0, SrcW, SrcH, SrcDC, SrcX, SrcY, SRCCOPY);
  SetBkColor(Color, TransparentColor);
  BitBlt(Mask, 0, 0, SrcW, SrcH, Color, 0, 0, SRCCOPY);
  BitBlt(InvMask, 0, 0, SrcW, SrcH, Mask, 0, 0, NOTSRCCOPY);
  // The background with the opaque area cleared...
  BitBlt(Save, 0, 0, DstW, DstH, DstDC, DstX, DstY, SRCCOPY);
  SetBkColor(Save, RGB(255, 255, 255));
  SetTextColor(Save, RGB(0, 0, 0));
  StretchBlt(Save, 0, 0, DstW, DstH, Mask, 0, 0, SrcW, SrcH, SRCAND);
  // ...plus the source with the transparent area cleared.
  SetBkColor(Color, RGB(255, 255, 255));
  SetTextColor(Color, RGB(0, 0, 0));
  BitBlt(Color, 0, 0, SrcW, SrcH, InvMask, 0, 0, SRCAND);
  StretchBlt(Save, 0, 0, DstW, DstH, Color, 0, 0, SrcW, SrcH, SRCPAINT);
  BitBlt(DstDC, DstX, DstY, DstW, DstH, Save, 0, 0, SRCCOPY);
  for (int I = 0; I < 4; ++I) {
    if (Palette) SelectPalette(Dcs[I], OldPals[I], FALSE);
    SelectObject(Dcs[I], OldBmps[I]);
    DeleteDC(Dcs[I]);
    DeleteObject(Bmps[I]);
  }
}

void DrawTransparentBitmap(HDC DC, HBITMAP Bitmap, int DstX, int DstY, COLORREF TransparentColor) {
  BITMAP BM{};
  if (!GetObjectW(Bitmap, sizeof(BM), &BM)) return;
  TMemDC Src(DC);
  Src.Select(Bitmap);
  StretchBltTransparent(DC, DstX, DstY, BM.bmWidth, BM.bmHeight, Src.DC, 0, 0, BM.bmWidth, BM.bmHeight, nullptr,
                        TransparentColor);
}

void StretchBitmapRectTransparent(TCanvas* Dest, int X, int Y, int W, int H, const TRect& Rect, TBitmap* Bitmap,
                                  TColor TransparentColor) {
  if (!Dest || !Bitmap || Bitmap->Empty()) return;
  TRect R = Rect;
  if (WidthOf(R) < 1 || HeightOf(R) < 1) R = ::Rect(0, 0, Bitmap->GetWidth(), Bitmap->GetHeight());
  if (W < 1 || H < 1) {
    W = WidthOf(R);
    H = HeightOf(R);
  }
  HDC SrcDC = Bitmap->CanvasDC();
  HDC DstDC = Dest->GetHandle();
  if (!Bitmap->GetMonochrome()) SetStretchBltMode(DstDC, STRETCH_DELETESCANS);
  if (TransparentColor == clNone) {
    StretchBlt(DstDC, X, Y, W, H, SrcDC, R.left, R.top, WidthOf(R), HeightOf(R), Dest->GetCopyMode());
    return;
  }
  COLORREF Key;
  if (TransparentColor == clDefault)
    Key = ColorToRef(Bitmap->Canvas()->GetPixel(0, Bitmap->GetHeight() - 1));
  else if (Bitmap->GetMonochrome())
    Key = RGB(255, 255, 255);
  else
    Key = ColorToRef(TransparentColor);
  StretchBltTransparent(DstDC, X, Y, W, H, SrcDC, R.left, R.top, WidthOf(R), HeightOf(R), nullptr, Key);
}

void DrawBitmapTransparent(TCanvas* Dest, int XOrigin, int YOrigin, TBitmap* Bitmap, TColor TransparentColor) {
  StretchBitmapRectTransparent(Dest, XOrigin, YOrigin, 0, 0, Rect(0, 0, 0, 0), Bitmap, TransparentColor);
}

void DrawBitmapRectTransparent(TCanvas* Dest, int XOrigin, int YOrigin, const TRect& R, TBitmap* Bitmap,
                               TColor TransparentColor) {
  StretchBitmapRectTransparent(Dest, XOrigin, YOrigin, WidthOf(R), HeightOf(R), R, Bitmap, TransparentColor);
}

TBitmap* CreateDisabledBitmapEx(TBitmap* FOriginal, TColor OutlineColor, TColor BackColor, TColor HighlightColor,
                                TColor ShadowColor, bool DrawHighlight) {
  int W = FOriginal->GetWidth(), H = FOriginal->GetHeight();
  auto* Result = new TBitmap;
  Result->SetSize(W, H);
  // Monochrome copy: the outline colour (and anything not the background)
  // becomes black.
  TBitmap Mono;
  Mono.SetMonochrome(true);
  Mono.SetSize(W, H);
  {
    TCanvas* M = Mono.Canvas();
    if (FOriginal->GetMonochrome()) {
      M->CopyRect(Rect(0, 0, W, H), FOriginal->Canvas(), Rect(0, 0, W, H));
    } else {
      HDC Src = FOriginal->CanvasDC();
      SetBkColor(Src, ColorToRef(OutlineColor));
      BitBlt(M->GetHandle(), 0, 0, W, H, Src, 0, 0, SRCCOPY);
      BitBlt(M->GetHandle(), 0, 0, W, H, M->GetHandle(), 0, 0, DSTINVERT);
    }
  }
  TCanvas* C = Result->Canvas();
  C->Brush()->SetColor(BackColor);
  C->FillRect(Rect(0, 0, W, H));
  HDC DC = C->GetHandle();
  HDC MonoDC = Mono.CanvasDC();
  SetTextColor(DC, RGB(0, 0, 0));
  SetBkColor(DC, RGB(255, 255, 255));
  if (DrawHighlight) {
    HBRUSH B = CreateSolidBrush(ColorToRef(HighlightColor));
    HGDIOBJ Old = SelectObject(DC, B);
    BitBlt(DC, 1, 1, W - 1, H - 1, MonoDC, 0, 0, 0x00E20746);
    SelectObject(DC, Old);
    DeleteObject(B);
  }
  HBRUSH B = CreateSolidBrush(ColorToRef(ShadowColor));
  HGDIOBJ Old = SelectObject(DC, B);
  BitBlt(DC, 0, 0, W, H, MonoDC, 0, 0, 0x00E20746);
  SelectObject(DC, Old);
  DeleteObject(B);
  C->Refresh();
  return Result;
}

TBitmap* CreateDisabledBitmap(TBitmap* FOriginal, TColor OutlineColor) {
  return CreateDisabledBitmapEx(FOriginal, OutlineColor, clBtnFace, clBtnHighlight, clBtnShadow, true);
}

// ---------------------------------------------------------------------------
// Fills and text

void GradientFillRect(TCanvas* Canvas, const TRect& ARect, TColor StartColor, TColor EndColor,
                      TFillDirection Direction, int Colors) {
  if (IsRectEmpty(&ARect)) return;
  Canvas->Pen()->SetStyle(psSolid);
  Canvas->Pen()->SetMode(pmCopy);
  if (Colors < 2) {
    Canvas->Brush()->SetColor(StartColor);
    Canvas->FillRect(ARect);
    return;
  }
  bool Vertical = Direction == fdTopToBottom || Direction == fdBottomToTop;
  int Extent = Vertical ? HeightOf(ARect) : WidthOf(ARect);
  int Count = std::clamp(Colors, 2, std::max(Extent, 2));
  int Band = Extent / Count;
  TColor From = ColorToRGB(StartColor), To = ColorToRGB(EndColor);
  bool Reverse = Direction == fdBottomToTop || Direction == fdRightToLeft;
  if (Reverse) std::swap(From, To);
  int B[3] = {GetRValue(From), GetGValue(From), GetBValue(From)};
  int E[3] = {GetRValue(To), GetGValue(To), GetBValue(To)};
  for (int I = 0; I < Count; ++I) {
    int Ch[3];
    for (int K = 0; K < 3; ++K) Ch[K] = (B[K] + MulDiv(I, E[K] - B[K], Count - 1)) & 0xFF;
    TRect R = ARect;
    if (Vertical) {
      R.top = ARect.top + I * Band;
      R.bottom = R.top + Band;
    } else {
      R.left = ARect.left + I * Band;
      R.right = R.left + Band;
    }
    Canvas->Brush()->SetColor(static_cast<TColor>(RGB(Ch[0], Ch[1], Ch[2])));
    Canvas->FillRect(R);
  }
  int Rest = Extent % Count;
  if (Rest > 0) {
    TRect R = ARect;
    if (Vertical)
      R.top = ARect.bottom - Rest;
    else
      R.left = ARect.right - Rest;
    Canvas->Brush()->SetColor(Reverse ? StartColor : EndColor);
    Canvas->FillRect(R);
  }
}

void ShadeRect(HDC DC, const TRect& Rect) {
  static const WORD Pattern[8] = {0x11, 0x22, 0x44, 0x88, 0x11, 0x22, 0x44, 0x88};
  HBITMAP Bmp = CreateBitmap(8, 8, 1, 1, Pattern);
  HBRUSH Brush = CreatePatternBrush(Bmp);
  COLORREF OldText = SetTextColor(DC, RGB(255, 255, 255));
  COLORREF OldBk = SetBkColor(DC, RGB(0, 0, 0));
  HGDIOBJ Old = SelectObject(DC, Brush);
  PatBlt(DC, Rect.left, Rect.top, WidthOf(Rect), HeightOf(Rect), 0x00A000C9);
  SelectObject(DC, Old);
  SetTextColor(DC, OldText);
  SetBkColor(DC, OldBk);
  DeleteObject(Brush);
  DeleteObject(Bmp);
}

void WriteText(TCanvas* ACanvas, const TRect& ARect, int DX, int DY, const String& Text, TAlignment Alignment,
               bool WordWrap, bool ARightToLeft) {
  HDC DC = ACanvas->GetHandle();
  COLORREF Brush = ColorToRef(ACanvas->Brush()->GetColor());
  if (!WordWrap && GetNearestColor(DC, Brush) == Brush && Text.find(L'\r') == String::npos) {
    TAlignment A = Alignment;
    bool CanvasRTL = (GetLayout(DC) & LAYOUT_RTL) != 0;
    if (CanvasRTL && !ARightToLeft) {
      if (A == taLeftJustify)
        A = taRightJustify;
      else if (A == taRightJustify)
        A = taLeftJustify;
    }
    int X;
    switch (A) {
      case taRightJustify: X = ARect.right - ACanvas->TextWidth(Text) - 3; break;
      case taCenter: X = ARect.left + WidthOf(ARect) / 2 - ACanvas->TextWidth(Text) / 2; break;
      default: X = ARect.left + DX; break;
    }
    ACanvas->TextRect(ARect, X, ARect.top + DY, Text);
    return;
  }
  int W = WidthOf(ARect), H = HeightOf(ARect);
  if (W <= 0 || H <= 0) return;
  if (!TextBitmap) TextBitmap = std::make_unique<TBitmap>();
  if (TextBitmap->GetWidth() < W || TextBitmap->GetHeight() < H)
    TextBitmap->SetSize(std::max(W, TextBitmap->GetWidth()), std::max(H, TextBitmap->GetHeight()));
  TCanvas* C = TextBitmap->Canvas();
  C->Font()->Assign(*ACanvas->Font());
  C->Brush()->Assign(*ACanvas->Brush());
  C->FillRect(Rect(0, 0, W, H));
  UINT Flags = DT_EXPANDTABS | DT_NOPREFIX;
  Flags |= Alignment == taRightJustify ? DT_RIGHT : Alignment == taCenter ? DT_CENTER : DT_LEFT;
  if (WordWrap) Flags |= DT_WORDBREAK;
  if (ARightToLeft) Flags |= DT_RTLREADING;
  TRect R = Rect(DX, DY, W - 1, H - 1);
  SetBkMode(C->GetHandle(), TRANSPARENT);
  SetTextColor(C->GetHandle(), ColorToRef(ACanvas->Font()->GetColor()));
  DrawTextW(C->GetHandle(), Text.c_str(), static_cast<int>(Text.size()), &R, Flags);
  ACanvas->CopyRect(ARect, C, Rect(0, 0, W, H));
}

void DrawCellTextEx(TCustomGrid* Control, int, int, const String& S, const TRect& ARect, TAlignment Align,
                    TVertAlignment VertAlign, bool WordWrap, bool ARightToLeft) {
  TCanvas* C = Control->Canvas();
  int H = HeightOf(ARect), TH = C->TextHeight(L"W");
  int DY = 2;
  if (VertAlign == vaCenter)
    DY = std::max(1, (H - TH) / 2);
  else if (VertAlign == vaBottomJustify)
    DY = std::max(2, H - TH);
  WriteText(C, ARect, 2, DY, S, Align, WordWrap, ARightToLeft);
}

void DrawCellBitmap(TCustomGrid* Control, int ACol, int ARow, TGraphic* Graphic, const TRect& Rect) {
  (void)ACol;
  (void)ARow;
  if (!Graphic || Graphic->Empty()) return;
  int X = (Rect.left + Rect.right - Graphic->GetWidth()) / 2;
  int Y = (Rect.top + Rect.bottom - Graphic->GetHeight()) / 2;
  Control->Canvas()->Draw(X, Y, Graphic);
}

void DrawCellText(TCustomGrid* Control, int ACol, int ARow, const String& S, const TRect& ARect,
                  TAlignment Align, TVertAlignment VertAlign) {
  DrawCellTextEx(Control, ACol, ARow, S, ARect, Align, VertAlign, false, false);
}

UINT DrawTextBiDiModeFlags(const TControl* Control, UINT Flags) {
  if (Control->UseRightToLeftAlignment()) {
    if ((Flags & DT_RIGHT) == DT_RIGHT)
      Flags &= ~DT_RIGHT;  // DT_LEFT is no bit
    else if ((Flags & DT_CENTER) != DT_CENTER)
      Flags |= DT_RIGHT;
  }
  if (Control->UseRightToLeftReading()) Flags |= DT_RTLREADING;
  return Flags;
}

String MinimizeText(const String& Text, TCanvas* Canvas, int MaxWidth) {
  String R = Text;
  size_t I = 1;
  while (I <= Text.size() && Canvas->TextWidth(R) > MaxWidth) {
    ++I;
    R = Text.substr(0, Text.size() >= I ? Text.size() - I : 0) + L"...";
  }
  return R;
}

TPoint GetAveCharSize(TCanvas* Canvas) {
  String S;
  for (wchar_t C = L'A'; C <= L'Z'; ++C) S += C;
  for (wchar_t C = L'a'; C <= L'z'; ++C) S += C;
  TSize E = Canvas->TextExtent(S);
  return TPoint{E.cx / 52, E.cy};
}

// ---------------------------------------------------------------------------
// Screen canvas, icons, fonts, inverted frames

TScreenCanvas::~TScreenCanvas() { FreeHandle(); }

void TScreenCanvas::CreateHandle() {
  if (!dc_) dc_ = GetDC(nullptr);
  SetHandle(dc_);
}

void TScreenCanvas::FreeHandle() {
  if (!dc_) return;
  SetHandle(nullptr);
  ReleaseDC(nullptr, dc_);
  dc_ = nullptr;
}

void TScreenCanvas::SetOrigin(int X, int Y) { SetWindowOrgEx(GetHandle(), -X, -Y, nullptr); }

TIcon* MakeModuleIcon(HINSTANCE Module, const wchar_t* ResID) {
  HICON H = LoadIconW(Module, ResID);
  if (!H) return nullptr;
  auto* I = new TIcon;
  I->SetHandle(CopyIcon(H));  // shared system icons are not ours to free
  ICONINFO Info{};
  if (GetIconInfo(H, &Info)) {
    BITMAP BM{};
    if (GetObjectW(Info.hbmColor ? Info.hbmColor : Info.hbmMask, sizeof(BM), &BM)) {
      I->SetWidth(BM.bmWidth);
      I->SetHeight(Info.hbmColor ? BM.bmHeight : BM.bmHeight / 2);
    }
    if (Info.hbmColor) DeleteObject(Info.hbmColor);
    if (Info.hbmMask) DeleteObject(Info.hbmMask);
  }
  return I;
}

TIcon* MakeIcon(const wchar_t* ResName) { return MakeModuleIcon(MainInstance(), ResName); }
TIcon* MakeIconID(WORD ResID) { return MakeModuleIcon(MainInstance(), MAKEINTRESOURCEW(ResID)); }

TBitmap* CreateBitmapFromIcon(TIcon* Icon, TColor BackColor) {
  auto* B = new TBitmap;
  B->SetSize(Icon->GetWidth(), Icon->GetHeight());
  TCanvas* C = B->Canvas();
  C->Brush()->SetColor(BackColor);
  C->FillRect(Rect(0, 0, B->GetWidth(), B->GetHeight()));
  DrawIconEx(C->GetHandle(), 0, 0, Icon->GetHandle(), B->GetWidth(), B->GetHeight(), 0, nullptr, DI_NORMAL);
  B->SetTransparentColor(BackColor);
  B->SetTransparent(true);
  return B;
}

TIcon* CreateIconFromBitmap(TBitmap* Bitmap, TColor TransparentColor) {
  TImageList List(nullptr, Bitmap->GetWidth(), Bitmap->GetHeight());
  TColor Key = TransparentColor == clDefault ? Bitmap->GetTransparentColor() : TransparentColor;
  if (List.AddMasked(Bitmap, Key) < 0) return nullptr;
  HICON H = ImageList_GetIcon(List.GetHandle(), 0, ILD_NORMAL);
  if (!H) return nullptr;
  auto* I = new TIcon;
  I->SetHandle(H);
  I->SetWidth(Bitmap->GetWidth());
  I->SetHeight(Bitmap->GetHeight());
  return I;
}

void ImageListDrawDisabled(TCustomImageList* Images, TCanvas* Canvas, int X, int Y, int Index,
                           TColor HighlightColor, TColor GrayColor, bool DrawHighlight) {
  int W = Images->GetWidth(), H = Images->GetHeight();
  TBitmap Mono;
  Mono.SetMonochrome(true);
  Mono.SetSize(W, H);
  HDC MonoDC = Mono.Canvas()->GetHandle();
  PatBlt(MonoDC, 0, 0, W, H, WHITENESS);
  ImageList_Draw(Images->GetHandle(), Index, MonoDC, 0, 0, ILD_MASK);
  TColor SavedBrush = Canvas->Brush()->GetColor();
  HDC DC = Canvas->GetHandle();
  COLORREF OldText = SetTextColor(DC, RGB(255, 255, 255));
  COLORREF OldBk = SetBkColor(DC, RGB(0, 0, 0));
  // Inverted, the mask is set in the image's shape, where the brush shows;
  // the destination stays elsewhere.
  BitBlt(MonoDC, 0, 0, W, H, MonoDC, 0, 0, DSTINVERT);
  auto Stamp = [&](int DX, int DY, TColor Color) {
    HBRUSH B = CreateSolidBrush(ColorToRef(Color));
    HGDIOBJ Old = SelectObject(DC, B);
    BitBlt(DC, X + DX, Y + DY, W, H, MonoDC, 0, 0, 0x00E20746);
    SelectObject(DC, Old);
    DeleteObject(B);
  };
  if (DrawHighlight) Stamp(1, 1, HighlightColor);
  Stamp(0, 0, GrayColor);
  SetTextColor(DC, OldText);
  SetBkColor(DC, OldBk);
  Canvas->Refresh();
  Canvas->Brush()->SetColor(SavedBrush);
}

HFONT CreateRotatedFont(TFont* Font, int Angle) {
  LOGFONTW LF{};
  LF.lfHeight = Font->GetHeight();
  LF.lfEscapement = Angle * 10;
  LF.lfOrientation = Angle * 10;
  LF.lfWeight = Font->GetStyle().Contains(fsBold) ? FW_BOLD : FW_NORMAL;
  LF.lfItalic = Font->GetStyle().Contains(fsItalic);
  LF.lfUnderline = Font->GetStyle().Contains(fsUnderline);
  LF.lfStrikeOut = Font->GetStyle().Contains(fsStrikeOut);
  LF.lfCharSet = static_cast<BYTE>(Font->GetCharset());
  String Face = SameText(Font->GetName(), L"Default") ? String() : Font->GetName();
  wcsncpy(LF.lfFaceName, Face.c_str(), LF_FACESIZE - 1);
  LF.lfQuality = DEFAULT_QUALITY;
  LF.lfOutPrecision = OUT_DEFAULT_PRECIS;
  LF.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  switch (Font->GetPitch()) {
    case fpVariable: LF.lfPitchAndFamily = VARIABLE_PITCH; break;
    case fpFixed: LF.lfPitchAndFamily = FIXED_PITCH; break;
    default: LF.lfPitchAndFamily = DEFAULT_PITCH; break;
  }
  return CreateFontIndirectW(&LF);
}

void PaintInverseRect(const TPoint& RectOrg, const TPoint& RectEnd) {
  HDC DC = GetDC(nullptr);
  RECT R{std::min(RectOrg.x, RectEnd.x), std::min(RectOrg.y, RectEnd.y), std::max(RectOrg.x, RectEnd.x),
         std::max(RectOrg.y, RectEnd.y)};
  InvertRect(DC, &R);
  ReleaseDC(nullptr, DC);
}

void DrawInvertFrame(const TRect& ScreenRect, int Width) {
  HDC DC = GetDC(nullptr);
  TRect R = ScreenRect;
  for (int I = 0; I < Width; ++I) {
    DrawFocusRect(DC, &R);
    InflateRect(&R, -1, -1);
  }
  ReleaseDC(nullptr, DC);
}

bool PointInPolyRgn(const TPoint& P, const TPoint* Points, int High) {
  if (!Points || High < 0) return false;
  HRGN Rgn = CreatePolygonRgn(Points, High + 1, WINDING);
  if (!Rgn) return false;
  bool R = PtInRegion(Rgn, P.x, P.y) != FALSE;
  DeleteObject(Rgn);
  return R;
}

void Delay(DWORD MSecs) {
  DWORD Start = GetTickCount();
  for (;;) {
    MSG M;
    while (PeekMessageW(&M, nullptr, 0, 0, PM_REMOVE)) {
      if (M.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(M.wParam));
        return;
      }
      TranslateMessage(&M);
      DispatchMessageW(&M);
    }
    DWORD Now = GetTickCount();
    if (Now < Start || Now - Start >= MSecs) return;  // done, or the tick count wrapped
    MsgWaitForMultipleObjects(0, nullptr, FALSE, MSecs - (Now - Start), QS_ALLINPUT);
  }
}

// ---------------------------------------------------------------------------
// Windows

bool IsForegroundTask() {
  HWND W = GetForegroundWindow();
  return W && GetWindowThreadProcessId(W, nullptr) == GetCurrentThreadId();
}

String WindowClassName(HWND Wnd) {
  wchar_t Buf[256] = {};
  int N = GetClassNameW(Wnd, Buf, 256);
  return String(Buf, static_cast<size_t>(std::max(N, 0)));
}

TRect ScreenWorkArea() {
  TRect R{};
  if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &R, 0))
    R = Rect(0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
  return R;
}

void KillMessage(HWND Wnd, UINT Msg) {
  MSG M{};
  if (PeekMessageW(&M, Wnd, Msg, Msg, PM_REMOVE) && M.message == WM_QUIT)
    PostQuitMessage(static_cast<int>(M.wParam));
}

void CenterWindow(HWND Wnd) {
  RECT R{};
  GetWindowRect(Wnd, &R);
  int W = R.right - R.left, H = R.bottom - R.top;
  int SW = GetSystemMetrics(SM_CXSCREEN), SH = GetSystemMetrics(SM_CYSCREEN);
  int X = (SW - W) / 2, Y = (SH - H) / 2;
  if (X + W > SW) X = SW - W;
  if (Y + H > SH) Y = SH - H;
  X = std::max(X, 0);
  Y = std::max(Y, 0);
  SetWindowPos(Wnd, nullptr, X, Y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CenterControl(TControl* Control) {
  int X, Y;
  auto* F = dynamic_cast<TCustomForm*>(Control);
  TWinControl* Parent = Control->GetParent();
  TCustomForm* Main = Application ? Application->GetMainForm() : nullptr;
  if (F && F->GetFormStyle() == fsMDIChild && Main && Main != F && Main->ClientHandle()) {
    // An MDI child's place is in its MDI client window's coordinates.
    RECT R{};
    GetClientRect(Main->ClientHandle(), &R);
    X = (R.right - Control->GetWidth()) / 2;
    Y = (R.bottom - Control->GetHeight()) / 2;
  } else if (!F && Parent) {
    X = (Parent->GetClientWidth() - Control->GetWidth()) / 2;
    Y = (Parent->GetClientHeight() - Control->GetHeight()) / 2;
  } else if (!F) {
    X = Control->GetLeft();
    Y = Control->GetTop();
  } else {
    X = (GetSystemMetrics(SM_CXSCREEN) - Control->GetWidth()) / 2;
    Y = (GetSystemMetrics(SM_CYSCREEN) - Control->GetHeight()) / 2;
  }
  Control->SetBounds(std::max(X, 0), std::max(Y, 0), Control->GetWidth(), Control->GetHeight());
}

void MergeForm(TWinControl* AControl, TForm* AForm, TAlign Align, bool Show) {
  AControl->DisableAlign();
  try {
    AForm->SetVisible(false);
    AForm->SetBorderStyle(bsNone);
    AForm->SetBorderIcons(TBorderIcons());
    AForm->SetParent(AControl);
    if (Align == alNone) {
      TPoint P = AControl->GetClientOrigin();
      AForm->SetBounds(AForm->GetLeft() - P.x, AForm->GetTop() - P.y, AForm->GetWidth(), AForm->GetHeight());
    } else {
      AForm->SetAlign(Align);
    }
    AForm->SetVisible(Show);
  } catch (...) {
    AControl->EnableAlign();
    throw;
  }
  AControl->EnableAlign();
}

void ShowMDIClientEdge(HWND ClientHandle, bool ShowEdge) {
  if (!ClientHandle) return;
  LONG_PTR Style = GetWindowLongPtrW(ClientHandle, GWL_EXSTYLE);
  bool Has = (Style & WS_EX_CLIENTEDGE) != 0;
  if (Has == ShowEdge) return;
  SetWindowLongPtrW(ClientHandle, GWL_EXSTYLE, ShowEdge ? Style | WS_EX_CLIENTEDGE : Style & ~LONG_PTR(WS_EX_CLIENTEDGE));
  SetWindowPos(ClientHandle, nullptr, 0, 0, 0, 0,
               SWP_FRAMECHANGED | SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER);
}

void ShowWinNoAnimate(HWND Handle, int CmdShow) {
  ANIMATIONINFO Info{};
  Info.cbSize = sizeof(Info);
  bool Animated = SystemParametersInfoW(SPI_GETANIMATION, sizeof(Info), &Info, 0) && Info.iMinAnimate;
  if (Animated) {
    Info.iMinAnimate = 0;
    SystemParametersInfoW(SPI_SETANIMATION, sizeof(Info), &Info, 0);
  }
  ShowWindow(Handle, CmdShow);
  if (Animated) {
    Info.iMinAnimate = 1;
    SystemParametersInfoW(SPI_SETANIMATION, sizeof(Info), &Info, 0);
  }
}

void ActivateWindow(HWND Wnd) {
  if (!Wnd) return;
  ShowWinNoAnimate(Wnd, SW_SHOW);
  SetForegroundWindow(Wnd);
}

HWND FindPrevInstance(const String& MainFormClass, const String& ATitle) {
  if (MainFormClass.empty() && ATitle.empty()) return nullptr;
  return FindWindowW(MainFormClass.empty() ? nullptr : MainFormClass.c_str(),
                     ATitle.empty() ? nullptr : ATitle.c_str());
}

bool ActivatePrevInstance(const String& MainFormClass, const String& ATitle) {
  HWND Wnd = FindPrevInstance(MainFormClass, ATitle);
  if (!Wnd) return false;
  // Climb to the last owner below the desktop.
  for (HWND Owner = reinterpret_cast<HWND>(GetWindowLongPtrW(Wnd, GWLP_HWNDPARENT)); Owner;
       Owner = reinterpret_cast<HWND>(GetWindowLongPtrW(Owner, GWLP_HWNDPARENT)))
    Wnd = Owner;
  if (WindowClassName(Wnd) == L"TApplication") {
    // An instance running inside the development environment: leave it be.
    bool InBuilder = false;
    EnumThreadWindows(
        GetWindowThreadProcessId(Wnd, nullptr),
        [](HWND W, LPARAM Found) -> BOOL {
          if (WindowClassName(W) != L"TAppBuilder") return TRUE;
          *reinterpret_cast<bool*>(Found) = true;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&InBuilder));
    if (InBuilder) return false;
    if (IsIconic(Wnd)) {
      SendMessageW(Wnd, WM_SYSCOMMAND, SC_RESTORE, 0);
      return true;
    }
    ShowWinNoAnimate(Wnd, SW_SHOWNOACTIVATE);
  } else {
    ActivateWindow(Wnd);
  }
  HWND Popup = GetLastActivePopup(Wnd);
  if (Popup && Popup != Wnd && IsWindowVisible(Popup) && IsWindowEnabled(Popup))
    SetForegroundWindow(Popup);
  else
    ActivateWindow(Wnd);
  return true;
}

String GetWindowsVersion() {
  OSVERSIONINFOW V{};
  V.dwOSVersionInfoSize = sizeof(V);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  GetVersionExW(&V);
#pragma GCC diagnostic pop
  String Platform;
  DWORD Build = V.dwBuildNumber;
  switch (V.dwPlatformId) {
    case VER_PLATFORM_WIN32s: Platform = L"32s"; break;
    case VER_PLATFORM_WIN32_WINDOWS:
      Platform = (V.dwMajorVersion < 4 || (V.dwMajorVersion == 4 && V.dwMinorVersion < 10)) ? L"95" : L"98";
      Build &= 0xFFFF;
      break;
    default: Platform = L"NT"; break;
  }
  return Trim(Format(L"Windows %s %d.%.2d.%.3d %s", Platform, static_cast<int>(V.dwMajorVersion),
                     static_cast<int>(V.dwMinorVersion), static_cast<int>(Build), String(V.szCSDVersion)));
}

int DialogUnitsToPixelsX(int DlgUnits) { return DlgUnits * LOWORD(GetDialogBaseUnits()) / 4; }
int DialogUnitsToPixelsY(int DlgUnits) { return DlgUnits * HIWORD(GetDialogBaseUnits()) / 8; }
int PixelsToDialogUnitsX(int PixUnits) { return PixUnits * 4 / LOWORD(GetDialogBaseUnits()); }
int PixelsToDialogUnitsY(int PixUnits) { return PixUnits * 8 / HIWORD(GetDialogBaseUnits()); }

bool PointInRect(const TPoint& P, const TRect& R) {
  return P.x >= R.left && P.x <= R.right && P.y >= R.top && P.y <= R.bottom;
}

// ---------------------------------------------------------------------------
// Text helpers

HMODULE LoadDLL(const String& LibName) {
  UINT Old = SetErrorMode(SEM_NOOPENFILEERRORBOX);
  HMODULE H = LoadLibraryW(LibName.c_str());
  DWORD Err = GetLastError();
  SetErrorMode(Old);
  if (reinterpret_cast<ULONG_PTR>(H) < 32) RaiseWin32Error(Err ? Err : ERROR_MOD_NOT_FOUND);
  return H;
}

bool RegisterServer(const String& ModuleName) {
  HMODULE H = LoadDLL(ModuleName);
  using TRegister = HRESULT(WINAPI*)();
  auto Proc = reinterpret_cast<TRegister>(reinterpret_cast<void*>(GetProcAddress(H, "DllRegisterServer")));
  bool R = Proc && SUCCEEDED(Proc());
  FreeLibrary(H);
  return R;
}

int MsgBox(const String& Caption, const String& Text, UINT Flags) {
  HWND Owner = Application && Application->GetMainForm() && Application->GetMainForm()->HandleAllocated()
                   ? Application->GetMainForm()->Handle()
                   : GetActiveWindow();
  return MessageBoxW(Owner, Text.c_str(), Caption.c_str(), Flags);
}

void NotImplemented() {
  if (Screen) Screen->SetCursor(crDefault);
  MessageDlg(L"Function not yet implemented", mtInformation, TMsgDlgButtons{mbOK}, 0);
  throw EAbort(L"");
}

void FreeUnusedOle() { CoFreeUnusedLibraries(); }

int PaletteEntries(HPALETTE Palette) {
  WORD Count = 0;
  if (!Palette || !GetObjectW(Palette, sizeof(Count), &Count)) return 0;
  return Count;
}

Variant MakeVariant(const std::vector<Variant>& Values) {
  if (Values.size() == 1) return Values[0];
  return Values.empty() ? Variant() : VarArrayOf(Values);
}

void* AllocMemo(long Size) {
  return Size < 1 ? nullptr : GlobalAlloc(GPTR, static_cast<SIZE_T>(Size));
}

void* ReallocMemo(void* Block, long Size) {
  if (!Block) return AllocMemo(Size);
  if (Size < 1) {
    FreeMemo(Block);
    return nullptr;
  }
  return GlobalReAlloc(Block, static_cast<SIZE_T>(Size), GMEM_MOVEABLE | GMEM_ZEROINIT);
}

void FreeMemo(void*& Block) {
  if (Block) GlobalFree(Block);
  Block = nullptr;
}

long GetMemoSize(void* Block) { return Block ? static_cast<long>(GlobalSize(Block)) : 0; }

wchar_t* StrPAlloc(const String& S) {
  auto* P = new wchar_t[S.size() + 1];
  std::copy(S.begin(), S.end(), P);
  P[S.size()] = L'\0';
  return P;
}

String GetEnvVar(const String& VarName) {
  wchar_t Buf[2048];
  DWORD N = GetEnvironmentVariableW(VarName.c_str(), Buf, 2048);
  return N == 0 || N >= 2048 ? String() : String(Buf, N);
}

void SplitCommandLine(const String& CmdLine, String& ExeName, String& Params) {
  std::vector<String> Tokens;
  size_t I = 0, N = CmdLine.size();
  for (;;) {
    for (;;) {
      while (I < N && CmdLine[I] <= L' ') ++I;
      if (I + 1 < N && CmdLine[I] == L'"' && CmdLine[I + 1] == L'"')
        I += 2;  // an empty quoted pair is no token
      else
        break;
    }
    if (I >= N) break;
    String T;
    while (I < N && CmdLine[I] > L' ') {
      if (CmdLine[I] == L'"') {
        ++I;
        while (I < N && CmdLine[I] != L'"') T += CmdLine[I++];
        if (I < N) ++I;
      } else {
        T += CmdLine[I++];
      }
    }
    Tokens.push_back(T);
  }
  ExeName = Tokens.empty() ? String() : Tokens[0];
  Params.clear();
  for (size_t K = 1; K < Tokens.size(); ++K) {
    if (K > 1) Params += L' ';
    Params += Tokens[K].find(L' ') != String::npos ? L"\"" + Tokens[K] + L"\"" : Tokens[K];
  }
}

String AnsiUpperFirstChar(const String& S) {
  String R = AnsiLowerCase(S);
  if (!R.empty()) R = AnsiUpperCase(R.substr(0, 1)) + R.substr(1);
  return R;
}

String DropT(const String& S) {
  if (S.size() > 1 && (S[0] == L'T' || S[0] == L't')) return S.substr(1);
  return S;
}

void RaiseWin32Error(DWORD Code) {
  if (Code == 0) return;
  throw EWin32Error(Format(L"Win32 Error.  Code: %d.\n%s", static_cast<int>(Code), SysErrorMessage(Code)), Code);
}

void CheckWin32(bool OK) {
  if (OK) return;
  const DWORD Code = GetLastError();
  // A call that failed without saying why is still a failure.
  if (Code == 0) throw EWin32Error(String(L"A call to an OS function failed"), 0);
  RaiseWin32Error(Code);
}

HCURSOR LoadAniCursor(HINSTANCE Instance, const wchar_t* ResID) {
  HRSRC Res = FindResourceW(Instance, ResID, MAKEINTRESOURCEW(21));  // RT_ANICURSOR
  if (!Res) return nullptr;
  HGLOBAL Data = LoadResource(Instance, Res);
  const void* Bytes = Data ? LockResource(Data) : nullptr;
  DWORD Size = SizeofResource(Instance, Res);
  if (!Bytes || !Size) return nullptr;
  wchar_t Dir[MAX_PATH], Name[MAX_PATH];
  if (!GetTempPathW(MAX_PATH, Dir) || !GetTempFileNameW(Dir, L"ANI", 0, Name)) return nullptr;
  HCURSOR Cursor = nullptr;
  HANDLE F = CreateFileW(Name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr);
  if (F != INVALID_HANDLE_VALUE) {
    DWORD Written = 0;
    bool Ok = WriteFile(F, Bytes, Size, &Written, nullptr) && Written == Size;
    CloseHandle(F);
    if (Ok) Cursor = LoadCursorFromFileW(Name);
  }
  DeleteFileW(Name);
  return Cursor;
}

TCursor DefineCursor(HINSTANCE Instance, const wchar_t* ResID) {
  HCURSOR H = LoadCursorW(Instance, ResID);
  if (!H) H = LoadAniCursor(Instance, ResID);
  if (!H) ResourceNotFound(ResID);
  if (Screen) {
    HCURSOR Default = Screen->Cursors(crDefault);
    for (TCursor C = 100; C < 32768; ++C)
      if (Screen->Cursors(C) == Default) {
        Screen->SetCursors(C, H);
        return C;
      }
  }
  DestroyCursor(H);
  throw EOutOfResources(String(L"Out of system resources"));
}

namespace {

HCURSOR HandCursor = nullptr;
HCURSOR DragCursor = nullptr;

}  // namespace

// The hand and drag cursors are the program's "EXT_HANDCUR" and "EXT_DRAGCUR".
// Cursors loaded from a module's resources are shared and never destroyed.
void ExDrawUtilInitialize() {
  if (!Screen) return;
  HandCursor = LoadCursorW(MainInstance(), L"EXT_HANDCUR");
  DragCursor = LoadCursorW(MainInstance(), L"EXT_DRAGCUR");
  if (HandCursor) Screen->SetCursors(crExtHand, HandCursor);
  if (DragCursor) Screen->SetCursors(crExtDrag, DragCursor);
}

void ExDrawUtilFinalize() {
  TextBitmap.reset();
  HCURSOR Arrow = LoadCursorW(nullptr, IDC_ARROW);
  if (Screen) {
    if (HandCursor) Screen->SetCursors(crExtHand, Arrow);
    if (DragCursor) Screen->SetCursors(crExtDrag, Arrow);
  }
  HandCursor = DragCursor = nullptr;
}
