// Drawing, bitmap, window and small text helpers of the extended library:
// transparent and disabled bitmap drawing, gradient fills, cell text,
// cursors from resources, window centring and activation, and the Windows
// version text.
#pragma once

#include <cstring>
#include <memory>

#include "classlib/Dialogs.h"
#include "classlib/Forms.h"
#include "classlib/Grids.h"
#include "classlib/ImgList.h"
#include "classlib/Variants.h"

// A system error: the message and the system's error code.
class EWin32Error : public Exception {
 public:
  using Exception::Exception;
  EWin32Error(String Message, DWORD Code, TRaiseSite At = TRaiseSite::Caller())
      : Exception(std::move(Message), At), ErrorCode(Code) {}
  Exception* Clone() const override { return new EWin32Error(*this); }
  [[noreturn]] void Raise() const override { throw *this; }
  const char* ClassName() const override { return "EWin32Error"; }

  DWORD ErrorCode = 0;
};

enum TFillDirection { fdTopToBottom, fdBottomToTop, fdLeftToRight, fdRightToLeft };
enum TVertAlignment { vaTopJustify, vaCenter, vaBottomJustify };

// Bitmaps from resources: module 0 means the system's bitmaps; a name whose
// high word is 0 is a numeric id. Missing ones raise EResNotFound.
TBitmap* MakeModuleBitmap(HINSTANCE Module, const wchar_t* ResID);
TBitmap* MakeBitmap(const wchar_t* ResName);
TBitmap* MakeBitmapID(WORD ResID);
[[noreturn]] void ResourceNotFound(const wchar_t* ResID);
// One of the library's own pictures: the program's bitmap ResName as a DIB
// with fuchsia as its transparent colour, loaded into Slot on first use.
TBitmap* LibraryBitmap(std::unique_ptr<TBitmap>& Slot, const wchar_t* ResName);

// One cell of a Cols x Rows strip into Dest (taking over the transparent
// colour and flag).
void AssignBitmapCell(TGraphic* Source, TBitmap* Dest, int Cols, int Rows, int Index);
// A copy in which the pixels of Color become NewColor.
TBitmap* ChangeBitmapColor(TBitmap* Bitmap, TColor Color, TColor NewColor);
// An 8 x 8 checkerboard of Color1 with Color2 where x and y are both odd
// or both even.
TBitmap* CreateTwoColorsBrushPattern(TColor Color1, TColor Color2);

// Draws the source rectangle stretched to the destination, leaving the
// pixels of TransparentColor out (mask method).
void StretchBltTransparent(HDC DstDC, int DstX, int DstY, int DstW, int DstH, HDC SrcDC, int SrcX, int SrcY,
                           int SrcW, int SrcH, HPALETTE Palette, COLORREF TransparentColor);
void DrawTransparentBitmap(HDC DC, HBITMAP Bitmap, int DstX, int DstY, COLORREF TransparentColor);
// TransparentColor clNone copies opaquely; clDefault takes the bitmap's
// bottom-left pixel.
void DrawBitmapTransparent(TCanvas* Dest, int XOrigin, int YOrigin, TBitmap* Bitmap, TColor TransparentColor);
void DrawBitmapRectTransparent(TCanvas* Dest, int XOrigin, int YOrigin, const TRect& Rect, TBitmap* Bitmap,
                               TColor TransparentColor);
void StretchBitmapRectTransparent(TCanvas* Dest, int X, int Y, int W, int H, const TRect& Rect, TBitmap* Bitmap,
                                  TColor TransparentColor);
COLORREF PaletteColor(TColor Color);
// Paints into Dest what lies under Control: its parent's background and
// own painting, then the windowless siblings before it that overlap it.
// Does nothing when called again for a control whose copy is under way
// (a parent whose painting paints the control).
void CopyParentImage(TControl* Control, TCanvas* Dest);

// The engraved look of a disabled glyph: outline pixels drawn in shadow
// colour over a highlight copy shifted by one pixel.
TBitmap* CreateDisabledBitmapEx(TBitmap* FOriginal, TColor OutlineColor, TColor BackColor, TColor HighlightColor,
                                TColor ShadowColor, bool DrawHighlight);
TBitmap* CreateDisabledBitmap(TBitmap* FOriginal, TColor OutlineColor);

// Colors bands from StartColor to EndColor, cut to 2 .. the rect's extent
// in the fill's direction; fewer than 2 fill with StartColor.
void GradientFillRect(TCanvas* Canvas, const TRect& ARect, TColor StartColor, TColor EndColor,
                      TFillDirection Direction, int Colors);
// Darkens every other pixel along diagonals.
void ShadeRect(HDC DC, const TRect& Rect);

void WriteText(TCanvas* ACanvas, const TRect& ARect, int DX, int DY, const String& Text, TAlignment Alignment,
               bool WordWrap, bool ARightToLeft = false);
void DrawCellTextEx(TCustomGrid* Control, int ACol, int ARow, const String& S, const TRect& ARect,
                    TAlignment Align, TVertAlignment VertAlign, bool WordWrap, bool ARightToLeft = false);
void DrawCellText(TCustomGrid* Control, int ACol, int ARow, const String& S, const TRect& ARect,
                  TAlignment Align, TVertAlignment VertAlign);
// The graphic centred in the cell's rectangle.
void DrawCellBitmap(TCustomGrid* Control, int ACol, int ARow, TGraphic* Graphic, const TRect& Rect);
// The text cut and ended in "..." until it fits MaxWidth.
String MinimizeText(const String& Text, TCanvas* Canvas, int MaxWidth);
// DrawText flags in Control's reading order: with right-to-left alignment
// left and right justification trade places (centred text stays), with
// right-to-left reading DT_RTLREADING is added.
UINT DrawTextBiDiModeFlags(const TControl* Control, UINT Flags);
TPoint GetAveCharSize(TCanvas* Canvas);

// A canvas on the whole screen.
class TScreenCanvas : public TCanvas {
 public:
  ~TScreenCanvas() override;
  void FreeHandle();
  // Makes (X, Y) of the screen the canvas's origin.
  void SetOrigin(int X, int Y);

 protected:
  void CreateHandle() override;

 private:
  HDC dc_ = nullptr;
};

// Icons from resources; nullptr when there is none.
TIcon* MakeModuleIcon(HINSTANCE Module, const wchar_t* ResID);
TIcon* MakeIcon(const wchar_t* ResName);
TIcon* MakeIconID(WORD ResID);
// The icon drawn on its own back colour, which becomes transparent.
TBitmap* CreateBitmapFromIcon(TIcon* Icon, TColor BackColor);
// A one-image icon of the bitmap; clDefault takes the bitmap's
// transparent colour.
TIcon* CreateIconFromBitmap(TBitmap* Bitmap, TColor TransparentColor);
// An image of the list in the disabled look: its shape in GrayColor, with
// a HighlightColor copy one pixel down-right beneath when asked.
void ImageListDrawDisabled(TCustomImageList* Images, TCanvas* Canvas, int X, int Y, int Index,
                           TColor HighlightColor, TColor GrayColor, bool DrawHighlight);
// A font handle like Font turned by Angle degrees (the caller frees it).
HFONT CreateRotatedFont(TFont* Font, int Angle);
// Inverted on the screen: a rectangle between two points, a frame of
// Width focus rectangles.
void PaintInverseRect(const TPoint& RectOrg, const TPoint& RectEnd);
void DrawInvertFrame(const TRect& ScreenRect, int Width);
// Winding-mode polygon of Points[0..High].
bool PointInPolyRgn(const TPoint& P, const TPoint* Points, int High);
// Processes messages for MSecs milliseconds.
void Delay(DWORD MSecs);

// Windows.
// Whether the foreground window belongs to the calling thread.
bool IsForegroundTask();
String WindowClassName(HWND Wnd);
TRect ScreenWorkArea();
// Removes one pending message of that kind; a removed WM_QUIT is posted
// again with its exit code.
void KillMessage(HWND Wnd, UINT Msg);
// Centred on the screen and kept inside it.
void CenterWindow(HWND Wnd);
// A control in its parent's client area, an MDI child in the main form's,
// any other form on the screen; never at negative coordinates.
void CenterControl(TControl* Control);
// Embeds a form in a control: no border or border icons, the control as
// its parent, aligned (or, with alNone, moved by the control's client
// origin) and shown when asked.
void MergeForm(TWinControl* AControl, TForm* AForm, TAlign Align, bool Show);
// Sets or clears the sunken client edge of a window.
void ShowMDIClientEdge(HWND ClientHandle, bool ShowEdge);
// Brings the running instance with this main window class or title to the
// front; false when there is none.
bool ActivatePrevInstance(const String& MainFormClass, const String& ATitle);
void ShowWinNoAnimate(HWND Handle, int CmdShow);
void ActivateWindow(HWND Wnd);
HWND FindPrevInstance(const String& MainFormClass, const String& ATitle);
String GetWindowsVersion();

int DialogUnitsToPixelsX(int DlgUnits);
int DialogUnitsToPixelsY(int DlgUnits);
int PixelsToDialogUnitsX(int PixUnits);
int PixelsToDialogUnitsY(int PixUnits);
inline int WidthOf(const TRect& R) { return R.right - R.left; }
inline int HeightOf(const TRect& R) { return R.bottom - R.top; }
// Edges included.
bool PointInRect(const TPoint& P, const TRect& R);

// Loads a library with file error boxes off; raises the OS error.
HMODULE LoadDLL(const String& LibName);
// Calls the library's DllRegisterServer; false when it has none or fails.
bool RegisterServer(const String& ModuleName);
int MsgBox(const String& Caption, const String& Text, UINT Flags);
inline int MsgDlg(const String& Msg, TMsgDlgType AType, TMsgDlgButtons AButtons, THelpContext HelpCtx) {
  return MessageDlg(Msg, AType, AButtons, HelpCtx);
}
// Default cursor, the information box "Function not yet implemented", then
// a silent abort (EAbort).
[[noreturn]] void NotImplemented();
// Lets COM unload the libraries nobody uses any more. (It never frees a
// library by its handle alone: one this program did not load itself would
// go away under its users.)
void FreeUnusedOle();
// The number of colours of a palette (0 for none).
int PaletteEntries(HPALETTE Palette);
// One value as itself, several as a variant array of them (bounds 0 to
// count - 1); no value at all gives an unassigned variant.
Variant MakeVariant(const std::vector<Variant>& Values);

// The library's beep: the system's default sound (MessageBeep(0)). Named
// apart from the class library's Beep, which plays the simple beep.
namespace Vclutils {
inline void Beep() { PlayMessageBeep(0); }
}  // namespace Vclutils

// Memory blocks of the global heap, zero-filled; a size below 1 gives
// nullptr. ReallocMemo keeps the contents and zero-fills what grows.
void* AllocMemo(long Size);
void* ReallocMemo(void* Block, long Size);
void FreeMemo(void*& Block);
long GetMemoSize(void* Block);
inline bool CompareMem(const void* P1, const void* P2, size_t Length) {
  return std::memcmp(P1, P2, Length) == 0;
}
// FreeAndNil is the class library's (classlib/SysUtils.h).
// Pointer arithmetic in bytes, and moves (HugeMove moves Count 4-byte
// elements from index Src to index Dst of Base).
inline void* HugeOffset(void* P, ptrdiff_t Offset) { return static_cast<char*>(P) + Offset; }
inline void HugeInc(void*& P, ptrdiff_t Offset) { P = HugeOffset(P, Offset); }
inline void HugeDec(void*& P, ptrdiff_t Offset) { P = HugeOffset(P, -Offset); }
inline void HMemCpy(void* Dst, const void* Src, size_t Count) { std::memmove(Dst, Src, Count); }
inline void HugeMove(void* Base, ptrdiff_t Dst, ptrdiff_t Src, size_t Count) {
  std::memmove(static_cast<int32_t*>(Base) + Dst, static_cast<int32_t*>(Base) + Src, Count * sizeof(int32_t));
}
// A zero-ended copy of S on the heap (free it with delete[]).
wchar_t* StrPAlloc(const String& S);
// The zero-ended text of S, valid while S is unchanged.
inline const wchar_t* StringToPChar(const String& S) { return S.c_str(); }
inline const String& ResStr(const String& Ident) { return Ident; }

// Text helpers.
String GetEnvVar(const String& VarName);
// Program parameters: blanks separate, double quotes group and are
// removed; the parameters come back joined by spaces, quoted when they
// hold one.
void SplitCommandLine(const String& CmdLine, String& ExeName, String& Params);
String AnsiUpperFirstChar(const String& S);
String DropT(const String& S);
// A non-zero code raises EWin32Error with the system's message.
void RaiseWin32Error(DWORD Code);
void CheckWin32(bool OK);

// An animated cursor (RT_ANICURSOR) of the module's resources, through a
// temporary file; nullptr when there is none.
HCURSOR LoadAniCursor(HINSTANCE Instance, const wchar_t* ResID);
// Registers a cursor (or animated cursor) of the program's resources in the
// screen's cursor table at the first free index from 100 on.
TCursor DefineCursor(HINSTANCE Instance, const wchar_t* ResID);

// The library's hand and drag cursors, installed in the screen's cursor
// table at start-up.
constexpr TCursor crExtHand = 14000;
constexpr TCursor crExtDrag = 14001;

void ExDrawUtilInitialize();
void ExDrawUtilFinalize();
