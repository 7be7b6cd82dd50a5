#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

#include "classlib/ExtCtrls.h"
#include "extlib/ExDrawUtil.h"

namespace {

TColor Px(TBitmap& B, int X, int Y) { return B.Canvas()->GetPixel(X, Y) & 0xFFFFFF; }

}  // namespace

TEST(ExDrawUtil, GradientBandsStayInsideTheRect) {
  TBitmap B(20, 120, pf24bit);
  B.Canvas()->Brush()->SetColor(clWhite);
  B.Canvas()->FillRect(Rect(0, 0, 20, 120));
  GradientFillRect(B.Canvas(), Rect(0, 10, 20, 110), clBlack, static_cast<TColor>(RGB(90, 0, 180)), fdTopToBottom,
                   10);
  EXPECT_EQ(Px(B, 5, 9), clWhite);
  EXPECT_EQ(Px(B, 5, 110), clWhite);
  EXPECT_EQ(Px(B, 5, 10), clBlack);
  EXPECT_EQ(Px(B, 5, 19), clBlack);          // first band: 10 pixels
  EXPECT_EQ(Px(B, 5, 20), TColor(RGB(10, 0, 20)));
  EXPECT_EQ(Px(B, 5, 109), TColor(RGB(90, 0, 180)));  // the last band is the end colour
  EXPECT_EQ(Px(B, 5, 100), TColor(RGB(90, 0, 180)));

  // More colours than pixels: one colour per row; bottom-to-top starts at
  // the end colour.
  GradientFillRect(B.Canvas(), Rect(0, 10, 20, 110), clBlack, clWhite, fdBottomToTop, 255);
  EXPECT_EQ(Px(B, 0, 10), clWhite);
  EXPECT_EQ(Px(B, 0, 109), clBlack);
  EXPECT_NE(Px(B, 0, 11), Px(B, 0, 12));

  // 256 colours over 100 rows: cut to one colour per row, not a plain fill.
  GradientFillRect(B.Canvas(), Rect(0, 10, 20, 110), clBlack, clWhite, fdTopToBottom, 256);
  EXPECT_EQ(Px(B, 0, 10), clBlack);
  EXPECT_EQ(Px(B, 0, 109), clWhite);
  EXPECT_EQ(Px(B, 0, 60), TColor(RGB(MulDiv(50, 255, 99), MulDiv(50, 255, 99), MulDiv(50, 255, 99))));

  // Fewer than two colours: a plain fill; an empty rect draws nothing.
  GradientFillRect(B.Canvas(), Rect(0, 0, 20, 5), clRed, clBlue, fdLeftToRight, 1);
  EXPECT_EQ(Px(B, 19, 4), clRed);
  GradientFillRect(B.Canvas(), Rect(0, 0, 0, 5), clBlue, clBlue, fdLeftToRight, 5);
  EXPECT_EQ(Px(B, 0, 0), clRed);
}

TEST(ExDrawUtil, GradientRemainderTakesTheFarColour) {
  TBitmap B(13, 2, pf24bit);
  GradientFillRect(B.Canvas(), Rect(0, 0, 13, 2), clBlack, clWhite, fdLeftToRight, 4);  // bands of 3, 1 left
  EXPECT_EQ(Px(B, 12, 0), clWhite);
  GradientFillRect(B.Canvas(), Rect(0, 0, 13, 2), clBlack, clWhite, fdRightToLeft, 4);
  EXPECT_EQ(Px(B, 12, 0), clBlack);
  EXPECT_EQ(Px(B, 0, 0), clWhite);
}

TEST(ExDrawUtil, TransparentDrawingKeepsTheBackground) {
  TBitmap Glyph(4, 4, pf24bit);
  Glyph.Canvas()->Brush()->SetColor(clFuchsia);
  Glyph.Canvas()->FillRect(Rect(0, 0, 4, 4));
  Glyph.Canvas()->Brush()->SetColor(clBlue);
  Glyph.Canvas()->FillRect(Rect(1, 1, 3, 3));
  TBitmap Dest(10, 10, pf24bit);
  Dest.Canvas()->Brush()->SetColor(clLime);
  Dest.Canvas()->FillRect(Rect(0, 0, 10, 10));

  DrawBitmapTransparent(Dest.Canvas(), 2, 2, &Glyph, clFuchsia);
  EXPECT_EQ(Px(Dest, 2, 2), clLime);
  EXPECT_EQ(Px(Dest, 3, 3), clBlue);
  EXPECT_EQ(Px(Dest, 5, 5), clLime);

  // clDefault takes the bottom-left pixel; clNone copies everything.
  DrawBitmapTransparent(Dest.Canvas(), 6, 6, &Glyph, clDefault);
  EXPECT_EQ(Px(Dest, 6, 6), clLime);
  DrawBitmapTransparent(Dest.Canvas(), 0, 6, &Glyph, clNone);
  EXPECT_EQ(Px(Dest, 0, 6), clFuchsia);

  // Stretched: a 2x2 source cell onto 4x4.
  Dest.Canvas()->Brush()->SetColor(clLime);
  Dest.Canvas()->FillRect(Rect(0, 0, 10, 10));
  StretchBitmapRectTransparent(Dest.Canvas(), 0, 0, 4, 4, Rect(1, 1, 3, 3), &Glyph, clFuchsia);
  EXPECT_EQ(Px(Dest, 0, 0), clBlue);
  EXPECT_EQ(Px(Dest, 3, 3), clBlue);
  EXPECT_EQ(Px(Dest, 4, 4), clLime);
}

TEST(ExDrawUtil, BitmapMakers) {
  std::unique_ptr<TBitmap> P(CreateTwoColorsBrushPattern(clWhite, clBlack));
  EXPECT_EQ(P->GetWidth(), 8);
  EXPECT_EQ(Px(*P, 0, 0), clBlack);
  EXPECT_EQ(Px(*P, 1, 0), clWhite);
  EXPECT_EQ(Px(*P, 3, 5), clBlack);

  std::unique_ptr<TBitmap> C(ChangeBitmapColor(P.get(), clBlack, clRed));
  EXPECT_EQ(Px(*C, 0, 0), clRed);
  EXPECT_EQ(Px(*C, 1, 0), clWhite);
  EXPECT_EQ(Px(*P, 0, 0), clBlack);  // the original is untouched

  TBitmap Strip(30, 10, pf24bit);
  Strip.Canvas()->Brush()->SetColor(clRed);
  Strip.Canvas()->FillRect(Rect(0, 0, 30, 10));
  Strip.Canvas()->Brush()->SetColor(clBlue);
  Strip.Canvas()->FillRect(Rect(20, 0, 30, 10));
  TBitmap Cell;
  AssignBitmapCell(&Strip, &Cell, 3, 1, 2);
  EXPECT_EQ(Cell.GetWidth(), 10);
  EXPECT_EQ(Px(Cell, 0, 0), clBlue);
  AssignBitmapCell(&Strip, &Cell, 0, 0, -4);  // nonsense counts: the whole strip, cell 0
  EXPECT_EQ(Cell.GetWidth(), 30);

  TBitmap Glyph(6, 6, pf24bit);
  Glyph.Canvas()->Brush()->SetColor(clWhite);
  Glyph.Canvas()->FillRect(Rect(0, 0, 6, 6));
  Glyph.Canvas()->Brush()->SetColor(clBlack);
  Glyph.Canvas()->FillRect(Rect(1, 1, 3, 3));
  std::unique_ptr<TBitmap> D(
      CreateDisabledBitmapEx(&Glyph, clBlack, clSilver, clWhite, clGray, true));
  EXPECT_EQ(Px(*D, 1, 1), clGray);    // the outline in shadow colour
  EXPECT_EQ(Px(*D, 3, 3), clWhite);   // its highlight copy one pixel down-right
  EXPECT_EQ(Px(*D, 5, 0), clSilver);  // background

  EXPECT_THROW(MakeBitmap(L"NO_SUCH_BITMAP"), EResNotFound);
  try {
    MakeBitmapID(31999);
  } catch (const EResNotFound& E) {
    EXPECT_EQ(E.Message(), L"Resource 31999 not found");
  }
  std::unique_ptr<TBitmap> Sys(MakeModuleBitmap(nullptr, MAKEINTRESOURCEW(32738)));  // combo arrow
  EXPECT_FALSE(Sys->Empty());
}

TEST(ExDrawUtil, TextFitting) {
  TBitmap B(10, 10, pf24bit);
  TCanvas* C = B.Canvas();
  EXPECT_EQ(MinimizeText(L"fits", C, 1000), L"fits");
  String M = MinimizeText(L"A rather long caption", C, C->TextWidth(L"A rather...") + 1);
  EXPECT_EQ(M.substr(M.size() - 3), L"...");
  EXPECT_LE(C->TextWidth(M), C->TextWidth(L"A rather...") + 1);
  EXPECT_EQ(MinimizeText(L"abc", C, 0), L"...");  // used up: only the ellipsis is left

  TPoint Ave = GetAveCharSize(C);
  EXPECT_GT(Ave.x, 0);
  EXPECT_EQ(Ave.y, C->TextHeight(L"Ay"));

  // WriteText on a pure colour: left, right and centred placement.
  C->Brush()->SetColor(clWhite);
  C->Font()->SetColor(clBlack);
  TBitmap Wide(200, 20, pf24bit);
  TCanvas* W = Wide.Canvas();
  W->Brush()->SetColor(clWhite);
  W->FillRect(Rect(0, 0, 200, 20));
  WriteText(W, Rect(0, 0, 200, 20), 2, 2, L"||||", taRightJustify, false);
  bool InkRight = false, InkLeft = false;
  for (int X = 150; X < 200; ++X)
    for (int Y = 0; Y < 20; ++Y) InkRight |= Px(Wide, X, Y) != clWhite;
  for (int X = 0; X < 100; ++X)
    for (int Y = 0; Y < 20; ++Y) InkLeft |= Px(Wide, X, Y) != clWhite;
  EXPECT_TRUE(InkRight);
  EXPECT_FALSE(InkLeft);
  // Word wrap goes through the off-screen bitmap and still draws inside.
  W->FillRect(Rect(0, 0, 200, 20));
  WriteText(W, Rect(10, 0, 60, 20), 2, 2, L"wrapped words", taLeftJustify, true);
  bool Outside = false;
  for (int X = 60; X < 200; ++X)
    for (int Y = 0; Y < 20; ++Y) Outside |= Px(Wide, X, Y) != clWhite;
  EXPECT_FALSE(Outside);
}

TEST(ExDrawUtil, CommandLinesAndText) {
  String Exe, Params;
  SplitCommandLine(L"\"C:\\Program Files\\app.exe\" /a \"two words\"  b\"c d\"", Exe, Params);
  EXPECT_EQ(Exe, L"C:\\Program Files\\app.exe");
  EXPECT_EQ(Params, L"/a \"two words\" \"bc d\"");
  SplitCommandLine(L"\"\" app.exe", Exe, Params);
  EXPECT_EQ(Exe, L"app.exe");
  EXPECT_EQ(Params, L"");
  SplitCommandLine(L"   ", Exe, Params);
  EXPECT_EQ(Exe, L"");

  EXPECT_EQ(AnsiUpperFirstChar(L"hELLO"), L"Hello");
  EXPECT_EQ(AnsiUpperFirstChar(L""), L"");
  EXPECT_EQ(DropT(L"TForm"), L"Form");
  EXPECT_EQ(DropT(L"tx"), L"x");
  EXPECT_EQ(DropT(L"T"), L"T");
  EXPECT_EQ(DropT(L"Form"), L"Form");
  EXPECT_TRUE(PointInRect(TPoint{10, 10}, Rect(0, 0, 10, 10)));
  EXPECT_FALSE(PointInRect(TPoint{11, 10}, Rect(0, 0, 10, 10)));

  SetEnvironmentVariableW(L"ZEMBRIO_EXT_VAR", L"value");
  EXPECT_EQ(GetEnvVar(L"ZEMBRIO_EXT_VAR"), L"value");
  EXPECT_EQ(GetEnvVar(L"ZEMBRIO_EXT_MISSING"), L"");

  EXPECT_NO_THROW(RaiseWin32Error(0));
  try {
    RaiseWin32Error(ERROR_FILE_NOT_FOUND);
    FAIL();
  } catch (const EWin32Error& E) {
    EXPECT_EQ(E.Message().rfind(L"Win32 Error.  Code: 2.\n", 0), 0u);
    EXPECT_EQ(E.ErrorCode, 2u);
    // Each error keeps its own code, also once another has been raised.
    try {
      SetLastError(ERROR_ACCESS_DENIED);
      CheckWin32(false);
      FAIL();
    } catch (const EWin32Error& Later) {
      EXPECT_EQ(Later.ErrorCode, 5u);
    }
    EXPECT_EQ(E.ErrorCode, 2u);
    std::unique_ptr<Exception> Copy(E.Clone());
    EXPECT_EQ(dynamic_cast<EWin32Error&>(*Copy).ErrorCode, 2u);
  }
  EXPECT_NO_THROW(CheckWin32(true));
  // A failure that left no error code still raises.
  SetLastError(0);
  try {
    CheckWin32(false);
    FAIL();
  } catch (const EWin32Error& E) {
    EXPECT_EQ(E.Message(), L"A call to an OS function failed");
    EXPECT_EQ(E.ErrorCode, 0u);
  }

  String V = GetWindowsVersion();
  EXPECT_EQ(V.rfind(L"Windows NT ", 0), 0u);
  EXPECT_EQ(V, Trim(V));
  EXPECT_EQ(PixelsToDialogUnitsX(DialogUnitsToPixelsX(40)), 40);
}

TEST(ExDrawUtil, WindowsCentreAndMessages) {
  HWND W = CreateWindowExW(0, L"STATIC", L"zembrio-drawutil", WS_POPUP, 5000, 5000, 200, 100, nullptr, nullptr,
                           nullptr, nullptr);
  ASSERT_NE(W, nullptr);
  EXPECT_EQ(WindowClassName(W), L"Static");
  CenterWindow(W);
  RECT R;
  GetWindowRect(W, &R);
  EXPECT_EQ(R.left, (GetSystemMetrics(SM_CXSCREEN) - 200) / 2);
  EXPECT_EQ(R.right - R.left, 200);
  EXPECT_EQ(FindPrevInstance(L"", L"zembrio-drawutil"), W);
  EXPECT_EQ(FindPrevInstance(L"", L""), nullptr);

  // A removed quit message comes back with its code; others just go.
  PostMessageW(W, WM_USER + 5, 0, 0);
  KillMessage(W, WM_USER + 5);
  MSG M;
  EXPECT_FALSE(PeekMessageW(&M, W, WM_USER + 5, WM_USER + 5, PM_REMOVE));
  PostQuitMessage(7);
  KillMessage(nullptr, WM_QUIT);
  ASSERT_TRUE(PeekMessageW(&M, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(M.wParam, 7u);
  DestroyWindow(W);

  TRect Work = ScreenWorkArea();
  EXPECT_GT(WidthOf(Work), 0);
}

TEST(ExDrawUtil, IconsFontsRegionsAndScreen) {
  EXPECT_EQ(MakeIcon(L"NO_SUCH_ICON"), nullptr);
  std::unique_ptr<TIcon> I(MakeModuleIcon(nullptr, IDI_APPLICATION));
  ASSERT_NE(I, nullptr);
  EXPECT_GT(I->GetWidth(), 0);
  std::unique_ptr<TBitmap> B(CreateBitmapFromIcon(I.get(), clFuchsia));
  EXPECT_EQ(B->GetWidth(), I->GetWidth());
  EXPECT_EQ(B->GetTransparentColor() & 0xFFFFFF, clFuchsia);
  EXPECT_TRUE(B->GetTransparent());

  TFont F;
  F.SetStyle(TFontStyles{fsBold, fsItalic});
  HFONT H = CreateRotatedFont(&F, 90);
  LOGFONTW LF{};
  ASSERT_EQ(GetObjectW(H, sizeof(LF), &LF), static_cast<int>(sizeof(LF)));
  EXPECT_EQ(LF.lfEscapement, 900);
  EXPECT_EQ(LF.lfWeight, FW_BOLD);
  EXPECT_TRUE(LF.lfItalic);
  EXPECT_EQ(String(LF.lfFaceName), F.GetName());
  DeleteObject(H);

  const TPoint Tri[3] = {{0, 0}, {20, 0}, {0, 20}};
  EXPECT_TRUE(PointInPolyRgn(TPoint{3, 3}, Tri, 2));
  EXPECT_FALSE(PointInPolyRgn(TPoint{18, 18}, Tri, 2));
  EXPECT_FALSE(PointInPolyRgn(TPoint{3, 3}, nullptr, 2));

  TScreenCanvas S;
  EXPECT_NE(S.GetHandle(), nullptr);
  EXPECT_GT(S.TextWidth(L"x"), 0);
  S.FreeHandle();
  EXPECT_FALSE(S.HandleAllocated());

  DWORD T0 = GetTickCount();
  Delay(40);
  EXPECT_GE(GetTickCount() - T0, 30u);
}

TEST(ExDrawUtil, LibrariesAndInstances) {
  EXPECT_THROW(LoadDLL(L"zembrio-no-such-library.dll"), EWin32Error);
  HMODULE K = LoadDLL(L"kernel32.dll");
  EXPECT_NE(K, nullptr);
  FreeLibrary(K);
  EXPECT_FALSE(RegisterServer(L"kernel32.dll"));  // it has no DllRegisterServer

  EXPECT_FALSE(ActivatePrevInstance(L"", L"zembrio-no-such-window"));
  HWND W = CreateWindowExW(0, L"STATIC", L"zembrio-prev-instance", WS_OVERLAPPEDWINDOW, 10, 10, 100, 50, nullptr,
                           nullptr, nullptr, nullptr);
  EXPECT_TRUE(ActivatePrevInstance(L"", L"zembrio-prev-instance"));
  EXPECT_TRUE(IsWindowVisible(W));
  DestroyWindow(W);
}

TEST(ExDrawUtil, PrevInstanceOfAnApplicationWindow) {
  WNDCLASSW C{};
  C.lpfnWndProc = DefWindowProcW;
  C.hInstance = GetModuleHandleW(nullptr);
  C.lpszClassName = L"TApplication";
  RegisterClassW(&C);
  C.lpszClassName = L"TAppBuilder";
  RegisterClassW(&C);
  HWND App = CreateWindowExW(0, L"TApplication", L"zembrio-prev-app", WS_OVERLAPPEDWINDOW, 10, 10, 100, 50,
                             nullptr, nullptr, C.hInstance, nullptr);
  ASSERT_NE(App, nullptr);
  // Found on the thread of a development environment: left alone.
  HWND Builder = CreateWindowExW(0, L"TAppBuilder", L"", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, nullptr, nullptr,
                                 C.hInstance, nullptr);
  EXPECT_FALSE(ActivatePrevInstance(L"", L"zembrio-prev-app"));
  EXPECT_FALSE(IsWindowVisible(App));
  DestroyWindow(Builder);
  // A minimised one is restored.
  ShowWindow(App, SW_SHOWMINNOACTIVE);
  ASSERT_TRUE(IsIconic(App));
  EXPECT_TRUE(ActivatePrevInstance(L"TApplication", L"zembrio-prev-app"));
  EXPECT_FALSE(IsIconic(App));
  ShowWindow(App, SW_HIDE);
  EXPECT_TRUE(ActivatePrevInstance(L"", L"zembrio-prev-app"));
  EXPECT_TRUE(IsWindowVisible(App));
  DestroyWindow(App);
}

TEST(ExDrawUtil, CenterControlInItsParent) {
  InitForms();
  std::unique_ptr<TForm> F(new TForm(Application));
  F->SetBounds(0, 0, 300, 200);
  auto* P = new TPanel(F.get());
  P->SetParent(F.get());
  P->SetBounds(0, 0, 100, 50);
  CenterControl(P);
  EXPECT_EQ(P->GetLeft(), (F->GetClientWidth() - 100) / 2);
  EXPECT_EQ(P->GetTop(), (F->GetClientHeight() - 50) / 2);
  P->SetBounds(0, 0, 1000, 50);  // wider than the parent: kept at 0
  CenterControl(P);
  EXPECT_EQ(P->GetLeft(), 0);
  CenterControl(F.get());
  EXPECT_EQ(F->GetLeft(), (GetSystemMetrics(SM_CXSCREEN) - 300) / 2);
}

TEST(ExDrawUtil, DisabledImagesAndIconsFromBitmaps) {
  TBitmap Glyph(8, 8, pf24bit);
  Glyph.Canvas()->Brush()->SetColor(clFuchsia);
  Glyph.Canvas()->FillRect(Rect(0, 0, 8, 8));
  Glyph.Canvas()->Brush()->SetColor(clBlue);
  Glyph.Canvas()->FillRect(Rect(2, 2, 5, 5));
  TImageList List(nullptr, 8, 8);
  ASSERT_EQ(List.AddMasked(&Glyph, clFuchsia), 0);
  TBitmap Dest(12, 12, pf24bit);
  Dest.Canvas()->Brush()->SetColor(clWhite);
  Dest.Canvas()->FillRect(Rect(0, 0, 12, 12));
  ImageListDrawDisabled(&List, Dest.Canvas(), 2, 2, 0, clYellow, clGray, true);
  EXPECT_EQ(Px(Dest, 4, 4), clGray);     // the shape, in grey
  EXPECT_EQ(Px(Dest, 7, 7), clYellow);   // the highlight copy peeks out down-right
  EXPECT_EQ(Px(Dest, 2, 2), clWhite);    // the transparent part keeps the ground
  EXPECT_EQ(Px(Dest, 11, 11), clWhite);
  EXPECT_EQ(Dest.Canvas()->Brush()->GetColor(), clWhite);

  std::unique_ptr<TIcon> I(CreateIconFromBitmap(&Glyph, clFuchsia));
  ASSERT_NE(I, nullptr);
  EXPECT_EQ(I->GetWidth(), 8);
  std::unique_ptr<TBitmap> Back(CreateBitmapFromIcon(I.get(), clWhite));
  EXPECT_EQ(Px(*Back, 0, 0), clWhite);  // the transparent colour became see-through
  EXPECT_EQ(Px(*Back, 3, 3), clBlue);
}

TEST(ExDrawUtil, LibraryCursorsAndDefinedCursors) {
  InitForms();
  ExDrawUtilInitialize();
  HCURSOR Arrow = Screen->Cursors(crDefault);
  EXPECT_NE(Screen->Cursors(crExtHand), Arrow);
  EXPECT_NE(Screen->Cursors(crExtDrag), Arrow);
  ExDrawUtilFinalize();
  EXPECT_EQ(Screen->Cursors(crExtHand), Arrow);

  // Defined cursors take the first free entries from 100 on.
  TCursor First = DefineCursor(nullptr, IDC_HAND);
  EXPECT_EQ(First, 100);
  EXPECT_EQ(DefineCursor(nullptr, IDC_CROSS), 101);
  EXPECT_THROW(DefineCursor(nullptr, L"NO_SUCH_CURSOR"), EResNotFound);
  Screen->SetCursors(100, Arrow);
  Screen->SetCursors(101, Arrow);
}

TEST(ExDrawUtil, MergedFormsAndClientEdges) {
  InitForms();
  std::unique_ptr<TForm> Host(new TForm(Application));
  Host->SetBounds(20, 20, 400, 300);
  auto* Panel = new TPanel(Host.get());
  Panel->SetParent(Host.get());
  Panel->SetBounds(10, 10, 200, 150);
  Panel->SetBevelOuter(bvNone);
  Host->Show();
  std::unique_ptr<TForm> Inner(new TForm(Application));
  Inner->SetBounds(0, 0, 120, 80);
  MergeForm(Panel, Inner.get(), alClient, true);
  EXPECT_EQ(Inner->GetParent(), Panel);
  EXPECT_EQ(Inner->GetBorderStyle(), bsNone);
  EXPECT_TRUE(Inner->GetBorderIcons().Empty());
  EXPECT_EQ(Inner->GetWidth(), Panel->GetClientWidth());
  EXPECT_TRUE(Inner->GetVisible());
  Inner->SetParent(nullptr);

  HWND W = Panel->Handle();
  ShowMDIClientEdge(W, true);
  EXPECT_TRUE(GetWindowLongPtrW(W, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
  ShowMDIClientEdge(W, false);
  EXPECT_FALSE(GetWindowLongPtrW(W, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
}

namespace {
// A windowless control that fills itself with one colour.
class TSwatch : public TGraphicControl {
 public:
  TSwatch(TComponent* AOwner, TColor C) : TGraphicControl(AOwner), Fill(C) {}
  TColor Fill;
  void Paint() override {
    Canvas()->Brush()->SetColor(Fill);
    Canvas()->FillRect(GetClientRect());
  }
};

// A panel whose own painting paints a child's copy of it (a parent that
// paints its transparent children itself).
class TCopyingPanel : public TPanel {
 public:
  using TPanel::TPanel;
  TControl* Child = nullptr;
  int Paints = 0;

 protected:
  void Paint() override {
    ++Paints;
    TPanel::Paint();
    if (Child) {
      TBitmap B(4, 4, pf24bit);
      CopyParentImage(Child, B.Canvas());
    }
  }
};
}  // namespace

TEST(ExDrawUtil, CopyParentImageTakesParentAndEarlierSiblings) {
  InitForms();
  std::unique_ptr<TForm> F(new TForm(Application));
  F->SetBounds(0, 0, 200, 150);
  auto* P = new TCopyingPanel(F.get());
  P->SetParent(F.get());
  P->SetBounds(0, 0, 120, 100);
  P->SetColor(clRed);
  P->SetBevelOuter(bvNone);
  auto* Before = new TSwatch(P, clBlue);
  Before->SetParent(P);
  Before->SetBounds(30, 30, 20, 20);
  auto* Self = new TSwatch(P, clLime);
  Self->SetParent(P);
  Self->SetBounds(20, 20, 40, 40);
  auto* After = new TSwatch(P, clYellow);
  After->SetParent(P);
  After->SetBounds(20, 20, 10, 10);
  F->Show();

  TBitmap B(40, 40, pf24bit);
  B.Canvas()->Brush()->SetColor(clWhite);
  B.Canvas()->FillRect(Rect(0, 0, 40, 40));
  CopyParentImage(Self, B.Canvas());
  EXPECT_EQ(Px(B, 2, 2), clRed);     // the panel's own painting (not the later sibling)
  EXPECT_EQ(Px(B, 15, 15), clBlue);  // the earlier sibling at its offset
  EXPECT_EQ(Px(B, 35, 35), clRed);
  EXPECT_FALSE(P->ControlState.Contains(csPaintCopy));

  // The parent's painting asks for the same copy: it is not started again.
  P->Child = Self;
  P->Paints = 0;
  CopyParentImage(Self, B.Canvas());
  EXPECT_EQ(P->Paints, 1);
}

TEST(ExDrawUtil, AnimatedCursorsFromResources) {
  InitForms();
  HCURSOR Ani = LoadAniCursor(GetModuleHandleW(nullptr), L"EXT_TESTANI");
  ASSERT_NE(Ani, nullptr);
  ICONINFO Info{};
  ASSERT_TRUE(GetIconInfo(Ani, &Info));
  EXPECT_EQ(Info.xHotspot, 3u);
  if (Info.hbmMask) DeleteObject(Info.hbmMask);
  if (Info.hbmColor) DeleteObject(Info.hbmColor);
  DestroyCursor(Ani);
  EXPECT_EQ(LoadAniCursor(GetModuleHandleW(nullptr), L"NO_SUCH_CURSOR"), nullptr);

  // Not a plain cursor resource: DefineCursor falls back to the animated one.
  HCURSOR Arrow = Screen->Cursors(crDefault);
  TCursor C = DefineCursor(GetModuleHandleW(nullptr), L"EXT_TESTANI");
  EXPECT_GE(C, 100);
  EXPECT_NE(Screen->Cursors(C), Arrow);
  Screen->SetCursors(C, Arrow);
}

TEST(ExDrawUtil, SmallSystemHelpers) {
  InitForms();
  // The information box, then a silent abort.
  String Shown;
  auto OldHook = MessageBoxHook;
  MessageBoxHook = [&](const String& Text, const String&, UINT) {
    Shown = Text;
    return IDOK;
  };
  EXPECT_THROW(NotImplemented(), EAbort);
  MessageBoxHook = OldHook;
  EXPECT_EQ(Shown, L"Function not yet implemented");

  // Freeing unused libraries leaves one in use loaded and working.
  HMODULE Ole = LoadLibraryW(L"oleaut32.dll");
  ASSERT_NE(Ole, nullptr);
  FreeUnusedOle();
  EXPECT_EQ(GetModuleHandleW(L"oleaut32.dll"), Ole);
  FreeLibrary(Ole);

  struct {
    LOGPALETTE Head;
    PALETTEENTRY More[4];
  } Pal{};
  Pal.Head.palVersion = 0x300;
  Pal.Head.palNumEntries = 5;
  HPALETTE H = CreatePalette(&Pal.Head);
  EXPECT_EQ(PaletteEntries(H), 5);
  EXPECT_EQ(PaletteEntries(nullptr), 0);
  DeleteObject(H);
}

TEST(ExDrawUtil, MakeVariantKeepsOneValueAndArraysSeveral) {
  Variant One = MakeVariant({Variant(7)});
  EXPECT_FALSE(VarIsArray(One));
  EXPECT_EQ(One.AsInteger(), 7);
  Variant Three = MakeVariant({Variant(1), Variant(String(L"two")), Variant(3)});
  ASSERT_TRUE(VarIsArray(Three));
  EXPECT_EQ(VarArrayLowBound(Three, 1), 0);
  EXPECT_EQ(VarArrayHighBound(Three, 1), 2);
  EXPECT_EQ(Three[1].AsString(), L"two");
  EXPECT_EQ(Three[2].AsInteger(), 3);
  EXPECT_TRUE(MakeVariant({}).IsEmpty());
}

TEST(ExDrawUtil, MemoryHelpers) {
  EXPECT_EQ(AllocMemo(0), nullptr);
  auto* P = static_cast<unsigned char*>(AllocMemo(6));
  ASSERT_NE(P, nullptr);
  EXPECT_GE(GetMemoSize(P), 6);
  EXPECT_EQ(P[5], 0);
  P[0] = 7;
  P = static_cast<unsigned char*>(ReallocMemo(P, 4000));
  ASSERT_NE(P, nullptr);
  EXPECT_EQ(P[0], 7);  // kept
  EXPECT_EQ(P[3999], 0);  // grown zero-filled
  void* V = P;
  FreeMemo(V);
  EXPECT_EQ(V, nullptr);

  // Overlapping moves of 4-byte elements, both ways.
  int32_t A[5] = {1, 2, 3, 4, 5};
  HugeMove(A, 1, 0, 3);
  EXPECT_EQ(std::vector<int32_t>(A, A + 5), (std::vector<int32_t>{1, 1, 2, 3, 5}));
  HugeMove(A, 0, 2, 3);
  EXPECT_EQ(std::vector<int32_t>(A, A + 5), (std::vector<int32_t>{2, 3, 5, 3, 5}));

  std::unique_ptr<wchar_t[]> S(StrPAlloc(L"abc"));
  EXPECT_STREQ(S.get(), L"abc");
}

TEST(ExDrawUtil, ForegroundTaskIsTheCallingThreads) {
  InitForms();
  std::unique_ptr<TForm> F(new TForm(Application));
  F->Show();
  SetForegroundWindow(F->Handle());
  if (GetForegroundWindow() != F->Handle()) GTEST_SKIP() << "no foreground window here";
  EXPECT_TRUE(IsForegroundTask());
  bool Other = true;
  std::thread([&] { Other = IsForegroundTask(); }).join();
  EXPECT_FALSE(Other);
}
